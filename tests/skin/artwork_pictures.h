// Small skin artwork drawn as characters, and BMP files of it written by hand (every header field
// spelled out). Needs no libpng: the Windows trees use it too.
#pragma once
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

// Six opaque colours over widths whose rows need padding at 4, 8 and 24 bits alike.
inline const std::vector<std::string> Opaque = {"mrgbw", "kwmrg", "bgrkm"};
// Transparency: t (alpha 0) and l (127) are cut, h (128) keeps its colour unblended.
inline const std::vector<std::string> Alpha = {"mrtlh", "thlgm", "wbtkr"};
inline const std::vector<std::string> AlphaCut = {"mrmmb", "mbmgm", "wbmkr"};
inline const std::vector<std::string> Grey = {"kwekw", "ewkke"};
inline const std::vector<std::string> GreyAlpha = {"kwtkw", "ewkte"};
inline const std::vector<std::string> GreyAlphaCut = {"kwmkw", "ewkme"};
// Black and white, ten pixels a row: 1-bit rows cross a byte.
inline const std::vector<std::string> TwoColour = {"kWWkkWkWWk", "WkkWWkWkkW", "kkWWkkWWkk"};

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

}  // namespace artwork_fixtures
