// Decimal and hexadecimal text of numbers, through the platform's wvsprintfA.
#include <windows.h>

#include <cstdarg>
#include <cstring>

#include "runtime/string_output.h"
#include "runtime/strings.h"

namespace {

// Formats one value into a local buffer (wvsprintfA has no length limit, so it never writes
// straight into the work buffer) and appends the text at destination, cut to the buffer.
char* ProduceFormatted(char* destination, const char* format, ...) {
  char text[40];
  va_list arguments;
  va_start(arguments, format);
  int length = wvsprintfA(text, format, arguments);
  va_end(arguments);
  return ProduceCopy(destination, text, length);
}

}  // namespace

char* FormatSigned(char* destination, int32_t value) {
  return ProduceFormatted(destination, "%ld", static_cast<long>(value));
}

char* FormatUnsigned(char* destination, int32_t value, int32_t size) {
  unsigned long bits = static_cast<uint32_t>(value);
  if (size == 0) bits &= 0xFFu;
  else if (size == 1) bits &= 0xFFFFu;
  return ProduceFormatted(destination, "%lu", bits);
}

char* FormatHex(char* destination, int32_t value) {
  return ProduceFormatted(destination, "%lX", static_cast<unsigned long>(static_cast<uint32_t>(value)));
}
