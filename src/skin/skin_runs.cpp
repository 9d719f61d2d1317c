#include "skin/skin_runs.h"

#include "skin/byte_order.h"

bool ReadSkinImage(const void* bmp, size_t size, SkinImageView* image) {
  const uint8_t* p = static_cast<const uint8_t*>(bmp);
  if (p == nullptr || size < 54 || p[0] != 'B' || p[1] != 'M') return false;
  uint32_t pixelOffset = LoadLittleEndian32(p + 10);
  int32_t width = int32_t(LoadLittleEndian32(p + 18));
  int32_t height = int32_t(LoadLittleEndian32(p + 22));
  if (LoadLittleEndian32(p + 14) < 40 || LoadLittleEndian16(p + 26) != 1 || LoadLittleEndian16(p + 28) != 24 ||
      LoadLittleEndian32(p + 30) != 0)
    return false;
  if (width <= 0 || height <= 0 || width > 32767 || height > 32767) return false;
  uint32_t stride = (uint32_t(width) * 3 + 3) & ~3u;
  uint64_t need = uint64_t(stride) * uint32_t(height);
  if (pixelOffset > size || need > size - pixelOffset) return false;
  *image = SkinImageView{width, height, stride, p + pixelOffset};
  return true;
}

bool IsKeyColourPixel(const SkinImageView& image, int32_t x, int32_t y) {
  const uint8_t* px = image.pixels + size_t(image.height - 1 - y) * image.stride + size_t(x) * 3;
  uint32_t colour = uint32_t(px[2]) | uint32_t(px[1]) << 8 | uint32_t(px[0]) << 16;
  return colour == KeyColour;
}

uint32_t CollectKeyColourRuns(const SkinImageView& image, SkinRun* runs, uint32_t capacity) {
  uint32_t count = 0;
  for (int32_t y = 0; y < image.height; ++y) {
    int32_t x = 0;
    while (x < image.width) {
      if (!IsKeyColourPixel(image, x, y)) {
        ++x;
        continue;
      }
      int32_t left = x;
      while (x < image.width && IsKeyColourPixel(image, x, y)) ++x;
      if (count < capacity) runs[count] = SkinRun{int16_t(left), int16_t(y), int16_t(x)};
      ++count;
    }
  }
  return count;
}
