#include "artwork.h"

#include <cstring>

#include "skin/byte_order.h"
#include "skin/skin_runs.h"
#include "skin_pack.h"

namespace {

uint32_t SkinBmpStride(uint32_t width) { return (width * 3 + 3) & ~3u; }

bool StartsWith(const std::vector<uint8_t>& file, const char* magic, size_t length) {
  return file.size() >= length && std::memcmp(file.data(), magic, length) == 0;
}

// Kinds that are recognised only to be named in the refusal.
struct ForeignKind {
  const char* magic;
  size_t length;
  const char* name;
};
const ForeignKind ForeignKinds[] = {
    {"\xFF\xD8\xFF", 3, "a JPEG image"},     {"GIF87a", 6, "a GIF image"},  {"GIF89a", 6, "a GIF image"},
    {"II*\0", 4, "a TIFF image"},            {"MM\0*", 4, "a TIFF image"},  {"JC", 2, "a JC stream"},
};

}  // namespace

bool CheckArtworkSize(uint64_t width, uint64_t height, std::string* error) {
  if (width == 0 || height == 0) {
    *error = "the image is empty (" + std::to_string(width) + " x " + std::to_string(height) + ")";
    return false;
  }
  if (width > ArtworkMaxSide || height > ArtworkMaxSide) {
    *error = "the image is " + std::to_string(width) + " x " + std::to_string(height) + ", larger than a skin allows (at most " +
             std::to_string(ArtworkMaxSide) + " pixels a side)";
    return false;
  }
  uint64_t bmpSize = 54 + uint64_t(SkinBmpStride(uint32_t(width))) * height;
  if (bmpSize > SkinUnpackLimit) {
    *error = "the image is " + std::to_string(width) + " x " + std::to_string(height) + ": its 24-bit BMP of " +
             std::to_string(bmpSize) + " bytes is above the limit of " + std::to_string(SkinUnpackLimit) + " bytes";
    return false;
  }
  return true;
}

std::vector<uint8_t> WriteSkinBmp(const ArtworkPixels& pixels, ArtworkReport* report) {
  const uint32_t width = pixels.width, height = pixels.height, stride = SkinBmpStride(width);
  std::vector<uint8_t> b = {'B', 'M'};
  b.reserve(54 + size_t(stride) * height);
  AppendLittleEndian32(b, 54 + stride * height);
  AppendLittleEndian32(b, 0);
  AppendLittleEndian32(b, 54);
  AppendLittleEndian32(b, 40);
  AppendLittleEndian32(b, width);
  AppendLittleEndian32(b, height);  // positive: rows bottom-up
  AppendLittleEndian16(b, 1);
  AppendLittleEndian16(b, 24);
  AppendLittleEndian32(b, 0);
  AppendLittleEndian32(b, stride * height);
  AppendLittleEndian32(b, 2835);
  AppendLittleEndian32(b, 2835);
  AppendLittleEndian32(b, 0);
  AppendLittleEndian32(b, 0);
  report->width = width;
  report->height = height;
  report->hasAlpha = pixels.hasAlpha;
  report->cutPixels = report->partialPixels = 0;
  for (uint32_t y = height; y-- > 0;) {
    const uint8_t* px = pixels.rgba.data() + size_t(y) * width * 4;
    for (uint32_t x = 0; x < width; ++x, px += 4) {
      uint8_t alpha = pixels.hasAlpha ? px[3] : 255;
      report->partialPixels += alpha != 0 && alpha != 255;
      if (alpha < ArtworkAlphaCut) {
        ++report->cutPixels;
        b.insert(b.end(), {uint8_t(KeyColour >> 16), uint8_t(KeyColour >> 8), uint8_t(KeyColour)});
      } else {
        b.insert(b.end(), {px[2], px[1], px[0]});
      }
    }
    b.resize(b.size() + stride - width * 3, 0);
  }
  return b;
}

bool ConvertToSkinBmp(const std::vector<uint8_t>& file, std::vector<uint8_t>* bmp, ArtworkReport* report,
                      std::string* error) {
  *report = ArtworkReport{};
  SkinImageView view;
  if (ReadSkinImage(file.data(), file.size(), &view)) {
    *bmp = file;
    report->kind = "BMP, 24 bits, bottom-up";
    report->unchanged = true;
    report->width = uint32_t(view.width);
    report->height = uint32_t(view.height);
    return true;
  }
  ArtworkPixels pixels;
  bool ok;
  if (StartsWith(file, "BM", 2)) {
    ok = ReadBmpArtwork(file.data(), file.size(), &pixels, &report->kind, error);
  } else if (StartsWith(file, "\x89PNG\r\n\x1A\n", 8)) {
    ok = ReadPngArtwork(file.data(), file.size(), &pixels, &report->kind, error);
  } else {
    *error = file.empty() ? "the file is empty" : "not a PNG or BMP image";
    for (const ForeignKind& k : ForeignKinds)
      if (StartsWith(file, k.magic, k.length)) *error = std::string(k.name) + " is not accepted: export PNG or BMP";
    return false;
  }
  if (!ok) return false;
  *bmp = WriteSkinBmp(pixels, report);
  return true;
}
