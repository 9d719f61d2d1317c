// Internal to the string library: the capacity guard shared by every operation that writes into
// the StringWorkBuffer.
#pragma once
#include <cstdint>

// Clamps destination so that it lies inside the buffer (a destination at or past the last byte
// becomes the last byte) and stores in *room how many text bytes fit there before the
// terminator would pass the last byte. Returns null when the buffer has not been set up.
char* BeginOutput(char* destination, int32_t* room);
// Writes the terminator at end, leaves WritePosition on it.
void EndOutput(char* end);
// Copies length bytes (overlap-safe) to destination, cut to room; returns the bytes copied.
int32_t CopyClipped(char* destination, const char* source, int32_t length, int32_t room);
