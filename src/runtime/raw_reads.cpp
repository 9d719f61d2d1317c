// Reads of values and strings at an address (fields of in-memory formats and structures).
#include <cstring>

#include "runtime/raw_reads.h"
#include "runtime/string_output.h"
#include "runtime/strings.h"

int32_t ReadByteAt(const void* address) {
  return static_cast<int8_t>(*static_cast<const uint8_t*>(address));
}

int32_t ReadWordAt(const void* address) {
  const uint8_t* p = static_cast<const uint8_t*>(address);
  return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

int32_t ReadLongAt(const void* address) {
  const uint8_t* p = static_cast<const uint8_t*>(address);
  uint32_t v = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
               (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
  return static_cast<int32_t>(v);
}

char* ReadStringAt(const void* address, int32_t maximum) {
  int32_t room;
  char* d = BeginOutput(WritePosition, &room);
  if (!d) return nullptr;
  int32_t limit = room;
  if (maximum >= 0 && maximum < limit) limit = maximum;
  // Front to back, stopping at the source's zero: reads no byte past the string or the limit.
  const char* s = static_cast<const char*>(address);
  int32_t n = 0;
  if (s) {
    while (n < limit && s[n]) {
      d[n] = s[n];
      ++n;
    }
  }
  EndOutput(d + n);
  return d;
}
