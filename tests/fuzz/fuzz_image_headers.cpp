// Fuzz target: the BMP and icon header checks. Whatever they accept with a known size, every
// byte the platform would then read (info header, masks, colour table, pixel rows; the icon's
// image) is read here, so AddressSanitizer reports any accepted file that reaches past its end.
// A plain bottom-up file also walks the band schedule by which the image store hands rows over and
// releases pages: no band may read a released byte, and no header byte is ever released.
#include <cstddef>
#include <cstdint>

#include "skin/bmp_bands.h"
#include "skin/byte_order.h"
#include "skin/image_headers.h"

namespace {

volatile uint8_t Sink;

void Touch(const uint8_t* data, uint64_t from, uint64_t length) {
  for (uint64_t i = 0; i < length; ++i) Sink = data[from + i];
}

void TouchBmp(const uint8_t* data, const BmpLayout& l) {
  uint32_t headerSize = LoadLittleEndian32(data + 14);
  uint32_t used = LoadLittleEndian32(data + 46);
  uint64_t table = used ? (used < 256 ? used : 256) : (l.bitCount <= 8 ? 1u << l.bitCount : 0);
  uint64_t masks = (l.compression == 3 && headerSize == 40) ? 12 : 0;
  Touch(data, 14, headerSize + masks + table * 4);
  uint64_t pixels = (l.compression == 1 || l.compression == 2)
                        ? LoadLittleEndian32(data + 34)
                        : (uint64_t(l.width) * l.bitCount + 31) / 32 * 4 * l.rows;
  Touch(data, l.pixelOffset, pixels);
}

void WalkBands(const uint8_t* data, size_t size, const BmpLayout& l, size_t page, size_t bandBytes) {
  BmpBandWalk walk;
  BeginBmpBands(&walk, l, uintptr_t(data), page, bandBytes);
  const uintptr_t start = uintptr_t(data), end = start + size;
  uintptr_t releasedFrom = 0, releasedTo = 0;  // one growing range
  uint32_t nextRow = 0;
  BmpBand band;
  while (NextBmpBand(&walk, &band)) {
    uintptr_t first = band.pixels, last = band.pixels + size_t(band.rows) * walk.stride;
    if (band.firstRow != nextRow || band.rows == 0 || first < start || last > end) __builtin_trap();
    if (releasedTo > releasedFrom && first < releasedTo && last > releasedFrom) __builtin_trap();
    nextRow += band.rows;
    if (band.releaseTo == band.releaseFrom) continue;
    if (band.releaseTo < band.releaseFrom || band.releaseFrom % page || band.releaseTo % page) __builtin_trap();
    if (band.releaseFrom < start + l.infoEnd || band.releaseTo > end) __builtin_trap();
    if (releasedTo == 0) releasedFrom = band.releaseFrom;
    else if (band.releaseFrom != releasedTo) __builtin_trap();
    releasedTo = band.releaseTo;
  }
  if (nextRow != l.rows) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  BmpLayout layout;
  if (ReadBmpLayout(data, size, &layout)) {
    if (layout.width < 1 || layout.width > LargestImageSide || layout.rows < 1 ||
        layout.rows > uint32_t(LargestImageSide))
      __builtin_trap();
    TouchBmp(data, layout);
    if (layout.height > 0 && (layout.compression == 0 || layout.compression == 3)) {
      // Small pages and bands, so that short inputs span many of them, and the real sizes.
      WalkBands(data, size, layout, 64, 200);
      WalkBands(data, size, layout, 4096, 64 * 1024);
    }
  }
  IconImageSpan span;
  if (ReadIconImage(data, size, &span)) Touch(data, span.offset, span.size);
  return 0;
}
