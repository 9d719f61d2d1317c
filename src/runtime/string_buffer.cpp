// The StringWorkBuffer and WritePosition, with the capacity guard every producing operation uses.
#include <cstring>

#include "runtime/string_output.h"
#include "runtime/strings.h"

char* WritePosition;
// The protocol itself keeps no pointer to the buffer but WritePosition. The end is kept only so
// that no operation can write past the buffer, whatever a caller builds: outputs are cut short at
// the last byte, which is never written with anything but a zero.
char* StringWorkBufferEnd;

void UseStringWorkBuffer(char* start, int32_t size) {
  WritePosition = start;
  StringWorkBufferEnd = start + size;
  StringWorkBufferEnd[-1] = 0;
}

int32_t WorkBufferRoom() {
  int32_t room = 0;
  BeginOutput(WritePosition, &room);
  return room;
}

char* BeginOutput(char* destination, int32_t* room) {
  *room = 0;
  if (!destination || !StringWorkBufferEnd) return nullptr;
  char* last = StringWorkBufferEnd - 1;
  if (destination >= last) return last;
  *room = static_cast<int32_t>(last - destination);
  return destination;
}

void EndOutput(char* end) {
  *end = 0;
  WritePosition = end;
}

char* ProduceCopy(char* destination, const char* source, int32_t length) {
  int32_t room;
  char* d = BeginOutput(destination, &room);
  if (!d) return nullptr;
  if (length > room) length = room;
  if (length > 0) memmove(d, source, static_cast<size_t>(length));
  EndOutput(d + (length > 0 ? length : 0));
  return d;
}

char* AppendString(const char* source) {
  // The length is taken before anything is written, so a source that overlaps the output
  // (appending the temporary to itself) is still copied whole.
  return ProduceCopy(WritePosition, source, source ? static_cast<int32_t>(strlen(source)) : 0);
}
