// Fuzz target: the SkinBlock reader, its run table and the unpacking of its image.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "skin/skin_block.h"
#include "skin/skin_runs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SkinBlockView view;
  if (!ReadSkinBlock(data, size, &view)) return 0;
  // Every part lies inside the block.
  const uint8_t* end = data + size;
  if (view.imageData + view.imageDataSize > end || view.runs + view.runTableSize > end) __builtin_trap();
  volatile int sum = SkinBannerMatches(view);
  for (uint32_t i = 0; i < SkinRunCount(view); ++i) {
    SkinRun r = SkinRunAt(view, i);
    sum = sum + r.left + r.top + r.right;
  }
  if (view.unpackedSize > (1u << 20)) return 0;
  std::vector<uint8_t> image(view.unpackedSize);
  uint32_t n = UnpackSkinImage(view, image.data());
  if (n != 0 && n != view.unpackedSize) __builtin_trap();
  if (n != 0) {
    SkinImageView bmp;
    if (ReadSkinImage(image.data(), n, &bmp)) {
      std::vector<SkinRun> runs(64);
      CollectKeyColourRuns(bmp, runs.data(), uint32_t(runs.size()));
    }
  }
  return 0;
}
