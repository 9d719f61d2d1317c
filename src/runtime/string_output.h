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
// Writes length bytes of source (overlap-safe; null with length 0 writes none) at destination,
// cut to the buffer, terminates and leaves WritePosition on the terminator. Returns where the
// text starts, or null when the buffer has not been set up.
char* ProduceCopy(char* destination, const char* source, int32_t length);
