// Small skin artwork in every form the packer takes: pictures drawn as characters, written as
// BMP by hand (every header field spelled out) and as PNG with libpng.
#pragma once
#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

#include "skin/byte_order.h"

namespace artwork_fixtures {

using Bytes = std::vector<uint8_t>;

struct Rgba {
  uint8_t r, g, b, a;
};
inline bool operator==(Rgba x, Rgba y) { return x.r == y.r && x.g == y.g && x.b == y.b && x.a == y.a; }

// One character a pixel:
//   m magenta (KeyColour)   r red   g green   b blue   w near white   W white   k black   e grey
//   t grey, alpha 0         l red, alpha 127 (just transparent)   h blue, alpha 128 (just opaque)
inline Rgba PixelOf(char c) {
  switch (c) {
    case 'm': return {255, 0, 255, 255};
    case 'r': return {200, 30, 30, 255};
    case 'g': return {20, 180, 60, 255};
    case 'b': return {10, 20, 220, 255};
    case 'w': return {250, 250, 250, 255};
    case 'W': return {255, 255, 255, 255};
    case 'k': return {0, 0, 0, 255};
    case 'e': return {128, 128, 128, 255};
    case 't': return {128, 128, 128, 0};
    case 'l': return {200, 30, 30, 127};
    case 'h': return {10, 20, 220, 128};
  }
  return {1, 2, 3, 255};
}

// A picture: rows from the top, RGBA.
struct Picture {
  uint32_t width = 0, height = 0;
  std::vector<Rgba> pixels;
  Rgba At(uint32_t x, uint32_t y) const { return pixels[size_t(y) * width + x]; }
};

inline Picture Draw(const std::vector<std::string>& rows) {
  Picture p;
  p.width = uint32_t(rows[0].size());
  p.height = uint32_t(rows.size());
  for (const std::string& row : rows)
    for (char c : row) p.pixels.push_back(PixelOf(c));
  return p;
}

// The distinct colours of a picture in order of first use: its palette.
inline std::vector<Rgba> PaletteOf(const Picture& p) {
  std::vector<Rgba> palette;
  for (Rgba c : p.pixels) {
    bool known = false;
    for (Rgba k : palette) known |= k == c;
    if (!known) palette.push_back(c);
  }
  return palette;
}

inline uint32_t IndexOf(const std::vector<Rgba>& palette, Rgba c) {
  for (uint32_t i = 0; i < palette.size(); ++i)
    if (palette[i] == c) return i;
  return 0;
}

// How a BMP is written. Masks are used for 32-bit pixels (with BI_RGB, only to place the bytes:
// alphaMask 0 leaves the fourth byte 0, as many writers do).
struct BmpForm {
  uint16_t bits = 24;
  uint32_t headerSize = 40;
  uint32_t compression = 0;  // 0 BI_RGB, 3 BI_BITFIELDS (others only for refusals)
  bool topDown = false;
  uint32_t redMask = 0x00FF0000, greenMask = 0x0000FF00, blueMask = 0x000000FF, alphaMask = 0;
  bool fullPalette = false;  // colour table of 2^bits entries, stated as 0 in the header
};

inline uint32_t PackChannel(uint8_t v, uint32_t mask) {
  if (mask == 0) return 0;
  uint32_t shift = 0;
  while (!(mask >> shift & 1)) ++shift;
  uint64_t top = mask >> shift;
  return uint32_t((v * top + 127) / 255) << shift;
}

inline Bytes WriteBmp(const Picture& p, const BmpForm& f) {
  std::vector<Rgba> palette;
  uint32_t entries = 0;
  if (f.bits <= 8) {
    palette = PaletteOf(p);
    entries = f.fullPalette ? 1u << f.bits : uint32_t(palette.size());
  }
  const bool masksAfterHeader = f.compression == 3 && f.headerSize == 40;
  const uint32_t pixelOffset = 14 + f.headerSize + (masksAfterHeader ? 12 : 0) + entries * 4;
  const uint32_t stride = (p.width * f.bits + 31) / 32 * 4;
  Bytes b = {'B', 'M'};
  AppendLittleEndian32(b, pixelOffset + stride * p.height);
  AppendLittleEndian32(b, 0);
  AppendLittleEndian32(b, pixelOffset);
  AppendLittleEndian32(b, f.headerSize);
  AppendLittleEndian32(b, p.width);
  AppendLittleEndian32(b, f.topDown ? uint32_t(-int32_t(p.height)) : p.height);
  AppendLittleEndian16(b, 1);
  AppendLittleEndian16(b, f.bits);
  AppendLittleEndian32(b, f.compression);
  AppendLittleEndian32(b, stride * p.height);
  AppendLittleEndian32(b, 2835);
  AppendLittleEndian32(b, 2835);
  AppendLittleEndian32(b, f.fullPalette ? 0 : entries);
  AppendLittleEndian32(b, 0);
  if (f.headerSize >= 52 || masksAfterHeader)
    for (uint32_t m : {f.redMask, f.greenMask, f.blueMask}) AppendLittleEndian32(b, m);
  if (f.headerSize >= 56) AppendLittleEndian32(b, f.alphaMask);
  b.resize(14 + f.headerSize + (masksAfterHeader ? 12 : 0), 0);  // V4/V5 colour-space fields: 0
  for (uint32_t i = 0; i < entries; ++i) {
    Rgba c = i < palette.size() ? palette[i] : Rgba{0, 0, 0, 0};
    b.insert(b.end(), {c.b, c.g, c.r, 0});
  }
  for (uint32_t row = 0; row < p.height; ++row) {
    uint32_t y = f.topDown ? row : p.height - 1 - row;
    Bytes line(stride, 0);
    for (uint32_t x = 0; x < p.width; ++x) {
      Rgba c = p.At(x, y);
      if (f.bits == 24) {
        line[x * 3] = c.b;
        line[x * 3 + 1] = c.g;
        line[x * 3 + 2] = c.r;
      } else if (f.bits == 32) {
        uint32_t v = PackChannel(c.r, f.redMask) | PackChannel(c.g, f.greenMask) | PackChannel(c.b, f.blueMask) |
                     PackChannel(c.a, f.alphaMask);
        for (int i = 0; i < 4; ++i) line[x * 4 + i] = uint8_t(v >> (8 * i));
      } else if (f.bits <= 8) {  // other depths (16) only for refusals: pixels left 0
        uint32_t bit = x * f.bits;
        line[bit / 8] |= uint8_t(IndexOf(palette, c) << (8 - f.bits - bit % 8));
      }
    }
    b.insert(b.end(), line.begin(), line.end());
  }
  return b;
}

// The skin BMP expected for a picture: 24 bits, bottom-up, 54-byte headers.
inline Bytes SkinBmpOf(const Picture& p) { return WriteBmp(p, BmpForm{}); }

// How a PNG is written: colour type and bit depth as libpng names them.
struct PngForm {
  int colourType = PNG_COLOR_TYPE_RGB_ALPHA;
  int bitDepth = 8;
  bool interlaced = false;
};

inline void AppendToBytes(png_structp png, png_bytep data, size_t length) {
  Bytes* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

// Writes the picture with libpng's own writer (no gAMA or sRGB chunk). Palette types get the
// picture's colours in order of first use, their alpha in a tRNS chunk.
inline Bytes WritePng(const Picture& p, const PngForm& f) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendToBytes, nullptr);
  png_set_IHDR(png, info, p.width, p.height, f.bitDepth, f.colourType,
               f.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  const bool palette8 = f.colourType == PNG_COLOR_TYPE_PALETTE;
  std::vector<Rgba> palette;
  if (palette8) {
    palette = PaletteOf(p);
    std::vector<png_color> colours;
    std::vector<png_byte> alphas;
    for (Rgba c : palette) {
      colours.push_back(png_color{c.r, c.g, c.b});
      alphas.push_back(c.a);
    }
    png_set_PLTE(png, info, colours.data(), int(colours.size()));
    png_set_tRNS(png, info, alphas.data(), int(alphas.size()), nullptr);
  }
  png_write_info(png, info);

  // Samples: grey takes the red value; 16-bit samples are v * 257, big-endian.
  const int channels = palette8 ? 1 : png_get_channels(png, info);
  std::vector<Bytes> rows(p.height);
  std::vector<png_bytep> rowPointers;
  for (uint32_t y = 0; y < p.height; ++y) {
    Bytes& line = rows[y];
    line.assign((size_t(p.width) * channels * f.bitDepth + 7) / 8, 0);
    for (uint32_t x = 0; x < p.width; ++x) {
      Rgba c = p.At(x, y);
      uint32_t samples[4];
      if (palette8) samples[0] = IndexOf(palette, c);
      else if (f.colourType == PNG_COLOR_TYPE_GRAY) samples[0] = c.r;
      else if (f.colourType == PNG_COLOR_TYPE_GRAY_ALPHA) samples[0] = c.r, samples[1] = c.a;
      else samples[0] = c.r, samples[1] = c.g, samples[2] = c.b, samples[3] = c.a;
      for (int s = 0; s < channels; ++s) {
        size_t at = size_t(x) * channels + s;
        if (f.bitDepth == 16) {
          line[at * 2] = uint8_t(samples[s]);
          line[at * 2 + 1] = uint8_t(samples[s]);
        } else if (f.bitDepth == 8) {
          line[at] = uint8_t(samples[s]);
        } else {
          uint32_t v = palette8 ? samples[s] : (samples[s] * ((1u << f.bitDepth) - 1) + 127) / 255;
          size_t bit = at * f.bitDepth;
          line[bit / 8] |= uint8_t(v << (8 - f.bitDepth - bit % 8));
        }
      }
    }
    rowPointers.push_back(line.data());
  }
  png_write_image(png, rowPointers.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

}  // namespace artwork_fixtures
