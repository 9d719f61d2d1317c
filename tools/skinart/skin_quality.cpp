// skin_quality: how close one skin BMP is to another of the same size, and the product's
// resampler on the command line.
//   skin_quality A.bmp B.bmp                 PSNR (all pixels; pixels opaque in both), largest
//                                            channel difference, pixels whose opacity differs
//   skin_quality resample IN.bmp W H OUT.bmp IN resampled to W x H
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "skin/skin_resample.h"
#include "skin/skin_runs.h"

namespace {

bool ReadFile(const char* path, std::vector<uint8_t>* bytes) {
  FILE* f = std::fopen(path, "rb");
  if (!f) return false;
  uint8_t chunk[1 << 16];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes->insert(bytes->end(), chunk, chunk + n);
  bool ok = !std::ferror(f);
  std::fclose(f);
  return ok;
}

bool ReadSkin(const char* path, std::vector<uint8_t>* bytes, SkinImageView* view) {
  if (!ReadFile(path, bytes) || !ReadSkinImage(bytes->data(), bytes->size(), view)) {
    std::fprintf(stderr, "skin_quality: %s is no 24-bit bottom-up BMP\n", path);
    return false;
  }
  return true;
}

// PSNR of a sum of squared channel differences over `channels` channel values, in dB; identical
// pictures have none (infinite).
double Psnr(double squares, double channels) {
  if (channels == 0 || squares == 0) return INFINITY;
  return 10 * std::log10(255.0 * 255.0 / (squares / channels));
}

int Compare(const char* pathA, const char* pathB) {
  std::vector<uint8_t> fileA, fileB;
  SkinImageView a, b;
  if (!ReadSkin(pathA, &fileA, &a) || !ReadSkin(pathB, &fileB, &b)) return 2;
  if (a.width != b.width || a.height != b.height) {
    std::fprintf(stderr, "skin_quality: %dx%d against %dx%d\n", a.width, a.height, b.width, b.height);
    return 2;
  }
  double allSquares = 0, opaqueSquares = 0;
  long opaqueBoth = 0, opacityDiffers = 0, opaqueA = 0;
  int largest = 0;
  for (int32_t y = 0; y < a.height; ++y)
    for (int32_t x = 0; x < a.width; ++x) {
      const uint8_t* pa = a.pixels + size_t(a.height - 1 - y) * a.stride + size_t(x) * 3;
      const uint8_t* pb = b.pixels + size_t(b.height - 1 - y) * b.stride + size_t(x) * 3;
      bool keyA = IsKeyColourPixel(a, x, y), keyB = IsKeyColourPixel(b, x, y);
      double squares = 0;
      int differs = 0;
      for (int c = 0; c < 3; ++c) {
        int d = std::abs(int(pa[c]) - int(pb[c]));
        squares += double(d) * d;
        if (d > differs) differs = d;
      }
      allSquares += squares;
      opaqueA += !keyA;
      if (keyA != keyB) ++opacityDiffers;
      if (!keyA && !keyB) {
        ++opaqueBoth;
        opaqueSquares += squares;
        if (differs > largest) largest = differs;
      }
    }
  double pixels = double(a.width) * a.height;
  std::printf("size %dx%d  PSNR all %.2f dB  PSNR opaque %.2f dB  largest difference (opaque) %d  "
              "opacity differs %ld of %ld opaque (%.3f %%)\n",
              a.width, a.height, Psnr(allSquares, 3 * pixels), Psnr(opaqueSquares, 3 * double(opaqueBoth)), largest,
              opacityDiffers, opaqueA, opaqueA ? 100.0 * opacityDiffers / opaqueA : 0.0);
  return 0;
}

int Resample(const char* in, const char* widthText, const char* heightText, const char* outPath) {
  std::vector<uint8_t> file;
  SkinImageView source;
  if (!ReadSkin(in, &file, &source)) return 2;
  int32_t width = int32_t(std::atol(widthText)), height = int32_t(std::atol(heightText));
  std::vector<uint8_t> out(ResampledSkinBytes(width, height));
  if (!ResampleSkinImage(source, width, height, out.data())) {
    std::fprintf(stderr, "skin_quality: cannot resample to %s x %s\n", widthText, heightText);
    return 2;
  }
  FILE* f = std::fopen(outPath, "wb");
  bool ok = f && std::fwrite(out.data(), 1, out.size(), f) == out.size();
  if (f && std::fclose(f) != 0) ok = false;
  if (!ok) std::fprintf(stderr, "skin_quality: cannot write %s\n", outPath);
  return ok ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::string_view(argv[1]) == "resample") return Resample(argv[2], argv[3], argv[4], argv[5]);
  if (argc == 3) return Compare(argv[1], argv[2]);
  std::fprintf(stderr, "usage: skin_quality A.bmp B.bmp\n       skin_quality resample IN.bmp W H OUT.bmp\n");
  return 2;
}
