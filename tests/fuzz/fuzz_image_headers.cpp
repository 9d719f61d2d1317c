// Fuzz target: the BMP and icon header checks. Whatever they accept with a known size, every
// byte the platform would then read (info header, masks, colour table, pixel rows; the icon's
// image) is read here, so AddressSanitizer reports any accepted file that reaches past its end.
#include <cstddef>
#include <cstdint>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  BmpLayout layout;
  if (ReadBmpLayout(data, size, &layout)) {
    if (layout.width < 1 || layout.width > LargestImageSide || layout.rows < 1 ||
        layout.rows > uint32_t(LargestImageSide))
      __builtin_trap();
    TouchBmp(data, layout);
  }
  IconImageSpan span;
  if (ReadIconImage(data, size, &span)) Touch(data, span.offset, span.size);
  return 0;
}
