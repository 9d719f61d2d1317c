// Builders of BMP and icon files in memory for the image tests, field by field, so that each
// malformed case shows which field it breaks.
#pragma once
#include <cstdint>
#include <vector>

#include "skin/byte_order.h"

using Bytes = std::vector<uint8_t>;

inline void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}
inline void Put16(Bytes& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}

// Bytes of one stored row.
inline uint32_t RowBytes(int32_t width, uint32_t bitCount) { return (uint32_t(width) * bitCount + 31) / 32 * 4; }

// A BMP file: 40-byte info header, a colour table of `colours` entries (palette entry i is
// palette[i], 0x00RRGGBB), and pixel rows as given (already in stored order and padded).
inline Bytes MakeBmpFile(int32_t width, int32_t height, uint16_t bitCount, const std::vector<uint32_t>& palette,
                         const Bytes& pixels, uint32_t compression = 0) {
  Bytes b;
  b.push_back('B');
  b.push_back('M');
  uint32_t pixelOffset = 14 + 40 + uint32_t(palette.size()) * 4;
  AppendLittleEndian32(b, pixelOffset + uint32_t(pixels.size()));
  AppendLittleEndian32(b, 0);
  AppendLittleEndian32(b, pixelOffset);
  AppendLittleEndian32(b, 40);
  AppendLittleEndian32(b, uint32_t(width));
  AppendLittleEndian32(b, uint32_t(height));
  AppendLittleEndian16(b, 1);
  AppendLittleEndian16(b, bitCount);
  AppendLittleEndian32(b, compression);
  AppendLittleEndian32(b, uint32_t(pixels.size()));
  AppendLittleEndian32(b, 2835);
  AppendLittleEndian32(b, 2835);
  AppendLittleEndian32(b, uint32_t(palette.size()));
  AppendLittleEndian32(b, 0);
  for (uint32_t c : palette) AppendLittleEndian32(b, c);
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

// A 24-bit BMP of one colour (0x00RRGGBB); a negative height stores it top-down.
inline Bytes MakeSolidBmp(int32_t width, int32_t height, uint32_t rgb) {
  uint32_t rows = uint32_t(height < 0 ? -height : height), stride = RowBytes(width, 24);
  Bytes pixels(size_t(stride) * rows, 0);
  for (uint32_t y = 0; y < rows; ++y)
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* p = &pixels[y * stride + uint32_t(x) * 3];
      p[0] = uint8_t(rgb), p[1] = uint8_t(rgb >> 8), p[2] = uint8_t(rgb >> 16);
    }
  return MakeBmpFile(width, height, 24, {}, pixels);
}

// A run-length BMP of the largest sides, whose run data ends at once: a few bytes that ask for a
// bitmap of 4 GB, which the platform refuses to make.
inline Bytes MakeHugeRunLengthBmp() { return MakeBmpFile(32767, 32767, 8, {0x808080}, {0x00, 0x01}, 1); }

// The bytes of one icon image: BITMAPINFOHEADER (height doubled), colour rows of one 32-bit
// colour, an all-opaque mask.
inline Bytes MakeIconImage(int32_t side, uint32_t rgb) {
  Bytes b;
  AppendLittleEndian32(b, 40);
  AppendLittleEndian32(b, uint32_t(side));
  AppendLittleEndian32(b, uint32_t(side * 2));
  AppendLittleEndian16(b, 1);
  AppendLittleEndian16(b, 32);
  for (int i = 0; i < 6; ++i) AppendLittleEndian32(b, 0);
  for (int32_t i = 0; i < side * side; ++i) AppendLittleEndian32(b, rgb | 0xFF000000u);
  b.resize(b.size() + size_t(RowBytes(side, 1)) * uint32_t(side), 0);
  return b;
}

// An icon file holding the given images in order, one directory entry each.
inline Bytes MakeIconFile(const std::vector<Bytes>& images, const std::vector<int32_t>& sides) {
  Bytes b;
  AppendLittleEndian16(b, 0);
  AppendLittleEndian16(b, 1);
  AppendLittleEndian16(b, uint32_t(images.size()));
  uint32_t offset = 6 + 16 * uint32_t(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    b.push_back(uint8_t(sides[i]));
    b.push_back(uint8_t(sides[i]));
    b.push_back(0);
    b.push_back(0);
    AppendLittleEndian16(b, 1);
    AppendLittleEndian16(b, 32);
    AppendLittleEndian32(b, uint32_t(images[i].size()));
    AppendLittleEndian32(b, offset);
    offset += uint32_t(images[i].size());
  }
  for (const Bytes& image : images) b.insert(b.end(), image.begin(), image.end());
  return b;
}
