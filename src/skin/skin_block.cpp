#include "skin/skin_block.h"

#include <cstring>

#include "skin/byte_order.h"
#include "skin/jc_stream.h"

const char SkinBanner[SkinBannerLength + 1] = "ZINDLE SKIN 1.0 - launcher face and outline runs";

namespace {

int16_t Load16(const uint8_t* p) { return int16_t(uint16_t(LoadLittleEndian16(p))); }

}  // namespace

bool ReadSkinBlock(const void* block, size_t blockSize, SkinBlockView* view) {
  const uint8_t* p = static_cast<const uint8_t*>(block);
  if (p == nullptr || blockSize < SkinBlockHeaderSize) return false;
  SkinBlockView v = {};
  v.runHeight = int8_t(p[0]);
  v.compressed = p[1];
  v.unpackedSize = LoadLittleEndian32(p + 2);
  v.storedSize = LoadLittleEndian32(p + 6);
  v.banner = p + SkinBlockBannerOffset;
  v.imageData = p + SkinBlockHeaderSize;
  v.imageDataSize = v.compressed ? v.storedSize : v.unpackedSize;
  size_t left = blockSize - SkinBlockHeaderSize;
  if (v.imageDataSize > left || left - v.imageDataSize < 4) return false;
  left -= v.imageDataSize + 4;
  v.runTableSize = LoadLittleEndian32(v.imageData + v.imageDataSize);
  v.runs = v.imageData + v.imageDataSize + 4;
  if (v.runTableSize > left || v.runTableSize % SkinRunSize != 0) return false;
  *view = v;
  return true;
}

bool SkinBannerMatches(const SkinBlockView& view) {
  return std::memcmp(view.banner, SkinBanner, SkinBannerLength) == 0 &&
         view.banner[SkinBannerLength] == '\r' && view.banner[SkinBannerLength + 1] == '\n';
}

bool SkinBannerAccepted(const SkinBlockView& view) {
  // SkinBanner holds no zero byte, so a banner text cut short by one differs from it.
  return std::memcmp(view.banner, SkinBanner, SkinBannerLength) == 0;
}

uint32_t SkinRunCount(const SkinBlockView& view) { return view.runTableSize / SkinRunSize; }

SkinRun SkinRunAt(const SkinBlockView& view, uint32_t index) {
  const uint8_t* r = view.runs + size_t(index) * SkinRunSize;
  return SkinRun{Load16(r), Load16(r + 2), Load16(r + 4)};
}

uint32_t UnpackSkinImage(const SkinBlockView& view, void* destination) {
  if (destination == nullptr) return 0;
  if (view.compressed == 0) {
    std::memcpy(destination, view.imageData, view.unpackedSize);
    return view.unpackedSize;
  }
  // The stream's own header must agree with the block's.
  JcHeader header;
  if (!ReadJcHeader(view.imageData, view.storedSize, &header) || header.unpackedSize != view.unpackedSize)
    return 0;
  return UnpackBlock(view.imageData, view.storedSize, destination);
}
