// Skin images at another size: the art drawn for one display scale made for another, with its
// outline kept apart from its colours. Portable: no platform headers.
#pragma once
#include <cstddef>
#include <cstdint>

#include "skin/skin_runs.h"

// Bytes of the 24-bit bottom-up BMP file (14 + 40 byte headers, rows padded to 4 bytes) of a
// picture of width x height.
size_t ResampledSkinBytes(int32_t width, int32_t height);
// Writes into `out` (ResampledSkinBytes(width, height) bytes) a complete BMP file: the source
// skin resampled to width x height. Per axis a tent filter whose radius is one source pixel or
// one destination pixel, whichever is larger: an average over each destination pixel's footprint
// when scaling down, bilinear when scaling up. Transparent and opaque parts are resampled apart,
// so that no key colour bleeds into the picture and no picture colour into the outline: a pixel
// is opaque when at least half of its filter weight falls on opaque source pixels, and its colour
// is then the weighted mean of those alone; every other pixel is exactly KeyColour. The same size
// gives the source back. False when a side is < 1 or > 32767, the source is no picture, or memory
// runs out.
bool ResampleSkinImage(const SkinImageView& source, int32_t width, int32_t height, void* out);
