// Comparisons and queries: they read strings and write nothing.
#include <cstring>

#include "runtime/strings.h"

namespace {

const unsigned char* Bytes(const char* s) {
  return reinterpret_cast<const unsigned char*>(s ? s : "");
}

// <0, 0 or >0 as a sorts before, with or after b; bytes compare unsigned.
int CompareBytes(const char* a, const char* b) {
  const unsigned char* x = Bytes(a);
  const unsigned char* y = Bytes(b);
  while (*x && *x == *y) {
    ++x;
    ++y;
  }
  return static_cast<int>(*x) - static_cast<int>(*y);
}

}  // namespace

int32_t StringsEqual(const char* a, const char* b) { return CompareBytes(a, b) == 0; }
int32_t StringGreater(const char* a, const char* b) { return CompareBytes(a, b) > 0; }
int32_t StringLess(const char* a, const char* b) { return CompareBytes(a, b) < 0; }

int32_t StringLength(const char* s) { return s ? static_cast<int32_t>(strlen(s)) : 0; }

int32_t CharacterCode(const char* s) { return *Bytes(s); }

int32_t ParseInteger(const char* s) {
  const unsigned char* p = Bytes(s);
  while (*p == ' ') ++p;
  bool negative = false;
  if (*p == '-') {
    negative = true;
    ++p;
  } else if (*p == '+') {
    ++p;
  }
  // Unsigned arithmetic wraps modulo 2^32, exactly like summing digit * 10^k with wrapping.
  uint32_t sum = 0;
  while (*p >= '0' && *p <= '9') sum = sum * 10u + static_cast<uint32_t>(*p++ - '0');
  if (negative) sum = 0u - sum;
  return static_cast<int32_t>(sum);
}

int32_t FindSubstring(const char* s, const char* needle, int32_t start) {
  if (!s || !needle) return 0;
  if (start < 1) start = 1;
  const char* first = s;
  for (int32_t i = 1; i < start; ++i) {
    if (!*first) return 0;  // s ends before the start position
    ++first;
  }
  for (const char* candidate = first;; ++candidate) {
    const char* x = candidate;
    const char* y = needle;
    while (*y && *x == *y) {
      ++x;
      ++y;
    }
    if (!*y) return start + static_cast<int32_t>(candidate - first);
    if (!*x) return 0;  // s ran out: no later candidate can match either
  }
}
