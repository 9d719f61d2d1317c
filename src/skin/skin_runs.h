// The run-table rule: the transparent parts of a skin image as maximal horizontal runs of
// KeyColour, row by row from the top, each one pixel high. Used where skins are authored
// and checked; the program itself only reads the finished table.
#pragma once
#include <cstddef>
#include <cstdint>

#include "skin/skin_block.h"

// Transparent colour of a skin: magenta (red 255, green 0, blue 255), as 0x00BBGGRR.
constexpr uint32_t KeyColour = 0x00FF00FF;

// A 24-bit, uncompressed, bottom-up BMP as skins use it.
struct SkinImageView {
  int32_t width;
  int32_t height;
  uint32_t stride;          // bytes per stored row, a multiple of 4
  const uint8_t* pixels;    // stored row 0 = bottom row of the picture; B, G, R per pixel
};

// Reads the BMP's headers. False unless it is a complete 24-bit BI_RGB bottom-up image whose
// pixels lie inside `size` bytes and whose sides fit a SkinRun coordinate.
bool ReadSkinImage(const void* bmp, size_t size, SkinImageView* image);

// True when the pixel at column x, row y (counted from the top) is KeyColour.
bool IsKeyColourPixel(const SkinImageView& image, int32_t x, int32_t y);

// Builds the run table of `image`. Writes at most `capacity` runs and returns how many there are.
uint32_t CollectKeyColourRuns(const SkinImageView& image, SkinRun* runs, uint32_t capacity);
