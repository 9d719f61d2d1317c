// PNG files of the pictures in artwork_pictures.h written byte by byte, without libpng: the image
// data goes into stored (uncompressed) deflate blocks, so every chunk and sample is what the test
// says and a test can break any of them. Used in both trees: the host reads them with libpng, the
// Windows trees with the system's imaging component, against the same expected pictures.
//
// A file is the signature, then chunks: IHDR, the form's extra chunks (gAMA, sRGB, ...), PLTE and
// tRNS where asked, one IDAT, IEND. Each chunk is length (big-endian), type, data, CRC-32 of type
// and data. IDAT holds a zlib stream: header 78 01, stored blocks (byte 0 or 1 for the last, then
// LEN and ~LEN little-endian, then LEN bytes), Adler-32 big-endian. Every row starts with filter 0.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "artwork_pictures.h"

namespace artwork_fixtures {

// Colour types as IHDR holds them.
enum PngColourType : uint8_t { PngGrey = 0, PngRgb = 2, PngPalette = 3, PngGreyAlpha = 4, PngRgbAlpha = 6 };

struct PngChunk {
  std::string type;
  Bytes data;
};

struct StoredPngForm {
  uint8_t colourType = PngRgbAlpha;
  uint8_t depth = 8;
  bool interlaced = false;
  // Palette: a tRNS chunk with each entry's alpha. Grey and RGB: -1 for none, else a tRNS chunk
  // naming this picture colour's samples (alpha ignored) as transparent.
  bool paletteAlpha = true;
  int transparentPixel = -1;  // a character of PixelOf, e.g. 'r'
  // 16-bit samples are v * 257 (both bytes v); lowByte >= 0 puts this byte below v instead.
  int lowByte = -1;
  std::vector<PngChunk> extraChunks;  // before PLTE
};

inline uint32_t PngCrc(const uint8_t* data, size_t size, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

inline void AppendBigEndian32(Bytes& b, uint32_t v) {
  b.insert(b.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

inline void AppendPngChunk(Bytes& file, const std::string& type, const Bytes& data) {
  AppendBigEndian32(file, uint32_t(data.size()));
  Bytes typed(type.begin(), type.end());
  typed.insert(typed.end(), data.begin(), data.end());
  file.insert(file.end(), typed.begin(), typed.end());
  AppendBigEndian32(file, PngCrc(typed.data(), typed.size()));
}

inline Bytes StoredZlib(const Bytes& raw) {
  Bytes z = {0x78, 0x01};
  size_t at = 0;
  do {
    size_t n = raw.size() - at < 65535 ? raw.size() - at : 65535;
    z.push_back(at + n == raw.size() ? 1 : 0);
    z.insert(z.end(), {uint8_t(n), uint8_t(n >> 8), uint8_t(~n), uint8_t(~n >> 8)});
    z.insert(z.end(), raw.begin() + at, raw.begin() + at + n);
    at += n;
  } while (at < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t v : raw) a = (a + v) % 65521, b = (b + a) % 65521;
  AppendBigEndian32(z, b << 16 | a);
  return z;
}

// The header alone: for files that declare a size and hold nothing else.
inline Bytes PngHeaderChunk(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType, bool interlaced) {
  Bytes ihdr;
  AppendBigEndian32(ihdr, width);
  AppendBigEndian32(ihdr, height);
  ihdr.insert(ihdr.end(), {depth, colourType, 0, 0, uint8_t(interlaced ? 1 : 0)});
  return ihdr;
}

inline Bytes PngSignature() { return {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}; }

// The samples of one pixel. Grey takes the red value; depths below 8 scale it down.
inline std::vector<uint32_t> PngSamples(Rgba c, const std::vector<Rgba>& palette, const StoredPngForm& f) {
  const uint32_t top = (1u << (f.depth == 16 ? 8 : f.depth)) - 1;
  auto scaled = [&](uint8_t v) { return (v * top + 127) / 255; };
  switch (f.colourType) {
    case PngPalette: return {IndexOf(palette, c)};
    case PngGrey: return {scaled(c.r)};
    case PngGreyAlpha: return {scaled(c.r), scaled(c.a)};
    case PngRgb: return {scaled(c.r), scaled(c.g), scaled(c.b)};
  }
  return {scaled(c.r), scaled(c.g), scaled(c.b), scaled(c.a)};
}

inline uint32_t Sample16(uint32_t v, const StoredPngForm& f) { return v << 8 | (f.lowByte >= 0 ? uint32_t(f.lowByte) : v); }

// One row of pixels x0, x0 + step, ... of picture row y, with its filter byte.
inline void AppendPngRow(Bytes& raw, const Picture& p, uint32_t y, uint32_t x0, uint32_t step,
                         const std::vector<Rgba>& palette, const StoredPngForm& f) {
  raw.push_back(0);
  uint32_t bits = 0;
  uint8_t partial = 0;
  for (uint32_t x = x0; x < p.width; x += step) {
    for (uint32_t s : PngSamples(p.At(x, y), palette, f)) {
      if (f.depth == 16) {
        raw.push_back(uint8_t(Sample16(s, f) >> 8));
        raw.push_back(uint8_t(Sample16(s, f)));
      } else if (f.depth == 8) {
        raw.push_back(uint8_t(s));
      } else {
        partial |= uint8_t(s << (8 - f.depth - bits % 8));
        bits += f.depth;
        if (bits % 8 == 0) raw.push_back(partial), partial = 0;
      }
    }
  }
  if (bits % 8) raw.push_back(partial);
}

inline Bytes StoredPngChunks(const Picture& p, const StoredPngForm& f, Bytes* idat) {
  const std::vector<Rgba> palette = PaletteOf(p);
  Bytes raw;
  if (!f.interlaced) {
    for (uint32_t y = 0; y < p.height; ++y) AppendPngRow(raw, p, y, 0, 1, palette, f);
  } else {
    // Adam7: each pass's first column and row and its steps; a pass without pixels has no rows.
    const uint32_t passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                   {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    for (const auto& pass : passes) {
      if (pass[0] >= p.width) continue;
      for (uint32_t y = pass[1]; y < p.height; y += pass[3]) AppendPngRow(raw, p, y, pass[0], pass[2], palette, f);
    }
  }
  *idat = StoredZlib(raw);
  Bytes before;
  for (const PngChunk& c : f.extraChunks) AppendPngChunk(before, c.type, c.data);
  if (f.colourType == PngPalette) {
    Bytes plte, trns;
    for (Rgba c : palette) plte.insert(plte.end(), {c.r, c.g, c.b}), trns.push_back(c.a);
    AppendPngChunk(before, "PLTE", plte);
    if (f.paletteAlpha) AppendPngChunk(before, "tRNS", trns);
  } else if (f.transparentPixel >= 0) {
    Bytes trns;
    for (uint32_t s : PngSamples(PixelOf(char(f.transparentPixel)), palette, f)) {
      uint32_t v = f.depth == 16 ? Sample16(s, f) : s;
      trns.insert(trns.end(), {uint8_t(v >> 8), uint8_t(v)});
    }
    AppendPngChunk(before, "tRNS", trns);
  }
  return before;
}

inline Bytes StoredPng(const Picture& p, const StoredPngForm& f) {
  Bytes idat;
  Bytes middle = StoredPngChunks(p, f, &idat);
  Bytes file = PngSignature();
  AppendPngChunk(file, "IHDR", PngHeaderChunk(p.width, p.height, f.depth, f.colourType, f.interlaced));
  file.insert(file.end(), middle.begin(), middle.end());
  AppendPngChunk(file, "IDAT", idat);
  AppendPngChunk(file, "IEND", {});
  return file;
}

struct StoredPngCase {
  const char* what;
  Bytes file;
  std::vector<std::string> expect;  // the skin BMP's picture
};

inline StoredPngForm PngOf(uint8_t colourType, uint8_t depth, bool interlaced = false) {
  StoredPngForm f;
  f.colourType = colourType;
  f.depth = depth;
  f.interlaced = interlaced;
  return f;
}

// Nine rows of these nine pixels, each row shifted by one from the row above: every Adam7 pass
// has pixels.
inline std::vector<std::string> NineByNine(const std::string& pixels) {
  std::vector<std::string> rows;
  for (size_t y = 0; y < 9; ++y) rows.push_back(pixels.substr(y) + pixels.substr(0, y));
  return rows;
}

// The picture as the skin shows it: t (alpha 0) and l (alpha 127) cut away.
inline std::vector<std::string> CutAway(std::vector<std::string> rows) {
  for (std::string& row : rows)
    for (char& c : row) c = c == 't' || c == 'l' ? 'm' : c;
  return rows;
}

// Every ordinary form, each of which every PNG reader must turn into exactly this picture.
inline std::vector<StoredPngCase> StoredPngCases() {
  StoredPngForm rgbKey = PngOf(PngRgb, 8), greyKey = PngOf(PngGrey, 8), opaquePalette = PngOf(PngPalette, 8);
  rgbKey.transparentPixel = 'r';
  greyKey.transparentPixel = 'e';
  opaquePalette.paletteAlpha = false;
  StoredPngForm srgbGamma = PngOf(PngRgbAlpha, 8);  // gAMA 1/2.2 and sRGB: what image editors write
  srgbGamma.extraChunks = {{"sRGB", {0}}, {"gAMA", {0, 0, 0xB1, 0x8F}}};
  const std::vector<std::string> nine = NineByNine("mrtlhgbwk");
  return {
      {"RGB 8", StoredPng(Draw(Opaque), PngOf(PngRgb, 8)), Opaque},
      {"RGB 8, tRNS colour key red", StoredPng(Draw(Opaque), rgbKey), {"mmgbw", "kwmmg", "bgmkm"}},
      {"RGBA 8", StoredPng(Draw(Alpha), PngOf(PngRgbAlpha, 8)), AlphaCut},
      {"RGBA 8, sRGB and gAMA 1/2.2", StoredPng(Draw(Alpha), srgbGamma), AlphaCut},
      {"RGBA 8 interlaced", StoredPng(Draw(Alpha), PngOf(PngRgbAlpha, 8, true)), AlphaCut},
      {"RGBA 8 interlaced, 9 x 9", StoredPng(Draw(nine), PngOf(PngRgbAlpha, 8, true)), CutAway(nine)},
      {"RGBA 16", StoredPng(Draw(Alpha), PngOf(PngRgbAlpha, 16)), AlphaCut},
      {"grey 8", StoredPng(Draw(Grey), PngOf(PngGrey, 8)), Grey},
      {"grey 8, tRNS colour key", StoredPng(Draw(Grey), greyKey), {"kwmkw", "mwkkm"}},
      {"grey 16", StoredPng(Draw(Grey), PngOf(PngGrey, 16)), Grey},
      {"grey 16 interlaced", StoredPng(Draw(Grey), PngOf(PngGrey, 16, true)), Grey},
      {"grey 1", StoredPng(Draw(TwoColour), PngOf(PngGrey, 1)), TwoColour},
      {"grey 1 interlaced", StoredPng(Draw(TwoColour), PngOf(PngGrey, 1, true)), TwoColour},
      {"grey with alpha 8", StoredPng(Draw(GreyAlpha), PngOf(PngGreyAlpha, 8)), GreyAlphaCut},
      {"grey with alpha 16", StoredPng(Draw(GreyAlpha), PngOf(PngGreyAlpha, 16)), GreyAlphaCut},
      {"palette 8", StoredPng(Draw(Opaque), opaquePalette), Opaque},
      {"palette 8 with tRNS", StoredPng(Draw(Alpha), PngOf(PngPalette, 8)), AlphaCut},
      {"palette 8 with tRNS, interlaced, 9 x 9", StoredPng(Draw(nine), PngOf(PngPalette, 8, true)), CutAway(nine)},
      {"palette 4", StoredPng(Draw(Opaque), PngOf(PngPalette, 4)), Opaque},
      {"palette 2", StoredPng(Draw({"mrg", "rgm"}), PngOf(PngPalette, 2)), {"mrg", "rgm"}},
  };
}

}  // namespace artwork_fixtures
