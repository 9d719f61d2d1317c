#include "skin/image_headers.h"

#include <cstring>

#include "skin/byte_order.h"

namespace {

// Whether length bytes from offset lie inside a file of size bytes (always, when unknown).
bool Inside(size_t size, uint64_t offset, uint64_t length) {
  if (size == ImageSizeUnknown) return true;
  return offset <= size && length <= size - offset;
}

int32_t Load32s(const uint8_t* p) { return int32_t(LoadLittleEndian32(p)); }

bool KnownInfoHeaderSize(uint32_t size) {
  // BITMAPINFOHEADER and the longer forms that keep its first 40 bytes; the 12-byte core header
  // keeps its sides in 16 bits and is not read the same way.
  return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// Bytes of one stored row: whole 32-bit words.
uint64_t RowBytes(int32_t width, uint32_t bitCount) {
  return (uint64_t(uint32_t(width)) * bitCount + 31) / 32 * 4;
}

// Colour table entries the platform reads behind the header: those in use, at most 256, or the
// whole palette of a format that has one.
uint32_t ColourTableEntries(uint32_t bitCount, uint32_t coloursUsed) {
  if (coloursUsed != 0) return coloursUsed < 256 ? coloursUsed : 256;
  return bitCount <= 8 ? 1u << bitCount : 0;
}

bool PixelFormatConverts(uint32_t bitCount, uint32_t compression, int32_t height) {
  switch (compression) {
    case 0:  // BI_RGB
      return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
             bitCount == 32;
    case 1:  // BI_RLE8; run-length data is always stored bottom-up
      return bitCount == 8 && height > 0;
    case 2:  // BI_RLE4
      return bitCount == 4 && height > 0;
    case 3:  // BI_BITFIELDS
      return bitCount == 16 || bitCount == 32;
    default:  // JPEG and PNG data cannot be set into a display bitmap
      return false;
  }
}

const uint8_t PngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

}  // namespace

bool ReadBmpLayout(const void* data, size_t size, BmpLayout* layout) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  if (!p || !Inside(size, 0, 18) || p[0] != 'B' || p[1] != 'M') return false;
  uint32_t headerSize = LoadLittleEndian32(p + 14);
  if (!KnownInfoHeaderSize(headerSize) || !Inside(size, 14, headerSize)) return false;

  BmpLayout l = {};
  l.width = Load32s(p + 18);
  l.height = Load32s(p + 22);
  l.bitCount = uint16_t(LoadLittleEndian16(p + 28));
  l.compression = LoadLittleEndian32(p + 30);
  if (l.width < 1 || l.width > LargestImageSide) return false;
  if (l.height == 0 || l.height < -LargestImageSide || l.height > LargestImageSide) return false;
  if (!PixelFormatConverts(l.bitCount, l.compression, l.height)) return false;
  l.rows = uint32_t(l.height < 0 ? -l.height : l.height);
  l.infoOffset = 14;
  l.pixelOffset = LoadLittleEndian32(p + 10);

  // Three masks follow a 40-byte header with bit fields; longer headers hold them inside.
  uint64_t masks = (l.compression == 3 && headerSize == 40) ? 12 : 0;
  uint64_t table = uint64_t(ColourTableEntries(l.bitCount, LoadLittleEndian32(p + 46))) * 4;
  if (!Inside(size, 14, headerSize + masks + table)) return false;
  l.infoEnd = uint32_t(14 + headerSize + masks + table);

  uint64_t pixelBytes;
  if (l.compression == 1 || l.compression == 2) {
    // Run-length data is as long as the header says; without a length it cannot be bounded.
    pixelBytes = LoadLittleEndian32(p + 34);
    if (pixelBytes == 0) return false;
  } else {
    pixelBytes = RowBytes(l.width, l.bitCount) * l.rows;
  }
  if (!Inside(size, l.pixelOffset, pixelBytes)) return false;
  *layout = l;
  return true;
}

bool ReadIconImage(const void* data, size_t size, IconImageSpan* span) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  // Directory: reserved 0, type 1 (icon), entry count; then 16-byte entries from byte 6.
  if (!p || !Inside(size, 0, 6) || LoadLittleEndian16(p) != 0 || LoadLittleEndian16(p + 2) != 1 ||
      LoadLittleEndian16(p + 4) == 0)
    return false;
  if (!Inside(size, 6, 16)) return false;
  IconImageSpan s = {};
  s.size = LoadLittleEndian32(p + 6 + 8);
  s.offset = LoadLittleEndian32(p + 6 + 12);
  if (!Inside(size, s.offset, s.size)) return false;
  const uint8_t* image = p + s.offset;

  if (s.size >= 8 && std::memcmp(image, PngSignature, 8) == 0) {
    s.png = true;
    *span = s;
    return true;
  }
  // A BITMAPINFOHEADER, its colour table, the colour rows and the mask rows, all in the image.
  if (s.size < 40) return false;
  uint32_t headerSize = LoadLittleEndian32(image);
  s.width = Load32s(image + 4);
  s.height = Load32s(image + 8);
  s.bitCount = uint16_t(LoadLittleEndian16(image + 14));
  if (headerSize < 40 || headerSize > s.size) return false;
  if (s.width < 1 || s.width > LargestImageSide || s.height < 2 || s.height > 2 * LargestImageSide)
    return false;
  if (s.bitCount != 1 && s.bitCount != 4 && s.bitCount != 8 && s.bitCount != 16 && s.bitCount != 24 &&
      s.bitCount != 32)
    return false;
  uint64_t rows = uint64_t(s.height / 2);
  uint64_t need = headerSize + uint64_t(ColourTableEntries(s.bitCount, LoadLittleEndian32(image + 32))) * 4 +
                  RowBytes(s.width, s.bitCount) * rows + RowBytes(s.width, 1) * rows;
  if (need > s.size) return false;
  *span = s;
  return true;
}
