// Fuzz target: the SkinBlock reader, its run table and the unpacking of its image.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "skin/skin_block.h"
#include "skin/skin_runs.h"
#include "skin/skin_spans.h"

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
  // The outline's work space: never sized below what the run table needs, also where 32 bits
  // address it; the rectangles are written into exactly that space and a small output.
  uint32_t runCount = SkinRunCount(view);
  uint64_t need = (uint64_t(runCount) + 1) * (sizeof(SpanRect) + 40);
  uint64_t within32 = SkinSpanWorkBytesWithin(runCount, UINT32_MAX);
  if (within32 != 0 && (within32 < need || within32 > UINT32_MAX)) __builtin_trap();
  std::vector<uint8_t> work(SkinSpanWorkBytes(runCount));
  std::vector<SpanRect> rects(size % 7 + 1);
  CollectSkinSpans(view, data[0] % 97, data[1] % 89, rects.data(), uint32_t(rects.size()), work.data());
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
