// Producing operations that need no platform call: case mapping, slicing, blanks, trims,
// binary digits and padding.
//
// Each writes at its destination, which may lie at or before its input in the work buffer (the
// in-place case): an input's length is measured before anything is written, and bytes are then
// copied front to back (or with memmove), so every input byte is read before the output can
// reach it.
#include <cstring>

#include "runtime/string_output.h"
#include "runtime/strings.h"

namespace {

int32_t LengthOf(const char* s) { return s ? static_cast<int32_t>(strlen(s)) : 0; }

// Copies s through a byte mapping; front to back, so in place is safe.
template <typename Mapping>
char* ProduceMapped(char* destination, const char* s, Mapping map) {
  int32_t room;
  char* d = BeginOutput(destination, &room);
  if (!d) return nullptr;
  int32_t length = LengthOf(s);
  if (length > room) length = room;
  const unsigned char* in = reinterpret_cast<const unsigned char*>(s);
  for (int32_t i = 0; i < length; ++i) d[i] = static_cast<char>(map(in[i]));
  EndOutput(d + length);
  return d;
}

}  // namespace

char* CharacterString(char* destination, int32_t code) {
  int32_t room;
  char* d = BeginOutput(destination, &room);
  if (!d) return nullptr;
  if (room < 1) {
    EndOutput(d);
    return d;
  }
  // A code of 0 writes two zeros: the byte itself and the terminator after it.
  d[0] = static_cast<char>(code & 0xFF);
  EndOutput(d + 1);
  return d;
}

char* LowerCaseString(char* destination, const char* s) {
  return ProduceMapped(destination, s, [](unsigned char c) {
    return ((c >= 0x41 && c <= 0x5A) || (c >= 0xC0 && c <= 0xDE)) ? c + 0x20 : c;
  });
}

char* UpperCaseString(char* destination, const char* s) {
  return ProduceMapped(destination, s, [](unsigned char c) {
    return ((c >= 0x61 && c <= 0x7A) || c >= 0xE0) ? c - 0x20 : c;
  });
}

char* SubString(char* destination, const char* s, int32_t start, int32_t count) {
  int32_t length = LengthOf(s);
  if (start < 1) start = 1;
  if (count <= 0 || start > length) return ProduceCopy(destination, nullptr, 0);
  int32_t available = length - (start - 1);
  return ProduceCopy(destination, s + start - 1, count < available ? count : available);
}

char* LeftPart(char* destination, const char* s, int32_t count) {
  return SubString(destination, s, 1, count);
}

char* RightPart(char* destination, const char* s, int32_t count) {
  int32_t length = LengthOf(s);
  if (count <= 0) return ProduceCopy(destination, nullptr, 0);
  if (count > length) count = length;
  return ProduceCopy(destination, s ? s + length - count : nullptr, count);
}

char* RepeatSpaces(char* destination, int32_t count) {
  int32_t room;
  char* d = BeginOutput(destination, &room);
  if (!d) return nullptr;
  if (count < 0) count = 0;  // a negative count gives the empty string
  if (count > room) count = room;
  memset(d, ' ', static_cast<size_t>(count));
  EndOutput(d + count);
  return d;
}

char* TrimLeading(char* destination, const char* s) {
  if (!s) return ProduceCopy(destination, nullptr, 0);
  while (*s == ' ') ++s;
  return ProduceCopy(destination, s, LengthOf(s));
}

char* TrimTrailing(char* destination, const char* s) {
  int32_t length = LengthOf(s);
  while (length > 0 && s[length - 1] == ' ') --length;
  return ProduceCopy(destination, s, length);
}

char* TrimBoth(char* destination, const char* s) {
  if (!s) return ProduceCopy(destination, nullptr, 0);
  while (*s == ' ') ++s;
  return TrimTrailing(destination, s);
}

char* FormatBinary(int32_t value) {
  char digits[33];
  int32_t count = 0;
  if (value == 0 || value == 1) {
    digits[count++] = static_cast<char>('0' + value);
  } else {
    // The highest position whose arithmetic shift is not zero: 31 for every negative value.
    int p = 31;
    while (p > 0 && (value >> p) == 0) --p;
    for (int bit = p; bit >= 0; --bit) digits[count++] = ((value >> bit) & 1) ? '1' : '0';
  }
  return ProduceCopy(WritePosition, digits, count);
}

char* PadLeft(char* destination, const char* s, int32_t width, const char* fill) {
  int32_t room;
  char* d = BeginOutput(destination, &room);
  if (!d) return nullptr;
  if (width <= 0) {
    EndOutput(d);
    return d;
  }
  // The fill byte is read first: the fill string may lie where the padding goes.
  char pad = fill ? fill[0] : ' ';
  int32_t kept = LengthOf(s);
  if (kept > width) kept = width;
  int32_t pads = width - kept;
  // Cut to the buffer from the right, like any other output.
  if (pads > room) pads = room;
  if (kept > room - pads) kept = room - pads;
  // The text moves right of where it may now lie (in place), so it moves with memmove before the
  // padding overwrites its old place.
  if (kept > 0) memmove(d + pads, s, static_cast<size_t>(kept));
  memset(d, pad, static_cast<size_t>(pads));
  EndOutput(d + pads + kept);
  return d;
}
