// Small skin artwork in every form the packer takes: the pictures and BMPs of artwork_pictures.h,
// and PNG files of them written with libpng (host tree).
#pragma once
#include <png.h>

#include <cstdint>
#include <string>
#include <vector>

#include "artwork_pictures.h"

namespace artwork_fixtures {

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
