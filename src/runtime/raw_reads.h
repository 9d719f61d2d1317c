// Reads of bytes, words, longs and strings at an address.
#pragma once
#include <cstdint>

// The byte at address, sign-extended.
int32_t ReadByteAt(const void* address);
// The 16-bit little-endian value at address, sign-extended.
int32_t ReadWordAt(const void* address);
// The 32-bit little-endian value at address.
int32_t ReadLongAt(const void* address);
// Copies the string at address to WritePosition, at most maximum bytes (negative: no limit), and
// returns where it starts. A null address gives the empty string.
char* ReadStringAt(const void* address, int32_t maximum);
