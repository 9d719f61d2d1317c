// Checks of BMP and icon files held in memory, made before the platform reads them. Portable:
// no platform headers, so the same checks run under the fuzzer.
#pragma once
#include <cstddef>
#include <cstdint>

// Size to pass when the caller does not know how many bytes the file holds: the structure is
// still checked, but nothing is bounded by an end.
constexpr size_t ImageSizeUnknown = static_cast<size_t>(-1);
// Largest side an image may have: its record keeps width and height in 16 bits.
constexpr int32_t LargestImageSide = 32767;

// Where the parts of a BMP file lie.
struct BmpLayout {
  int32_t width;
  int32_t height;         // as stored: negative when the rows are stored top row first
  uint32_t rows;          // number of pixel rows, |height|
  uint32_t infoOffset;    // the BITMAPINFO (header, masks, colour table), always 14
  uint32_t infoEnd;       // the first byte after the BITMAPINFO
  uint32_t pixelOffset;   // the first pixel byte, from the start of the file
  uint16_t bitCount;
  uint32_t compression;
};

// Reads a BMP file's headers. False unless the file starts with "BM", carries an info header of
// 40 bytes or one of its longer forms, a width and height from 1 to LargestImageSide, a pixel
// format the platform converts (1, 4, 8, 16, 24 or 32 bits, plain, run-length or bit fields),
// and, when size is known, its info header, colour masks, colour table and every pixel byte lie
// inside the size bytes.
bool ReadBmpLayout(const void* data, size_t size, BmpLayout* layout);

// The image of an icon file that is used: the first directory entry's.
struct IconImageSpan {
  uint32_t offset;     // of the image, from the start of the file
  uint32_t size;       // bytes of the image
  bool png;            // the image is PNG data rather than a BITMAPINFOHEADER and its bitmaps
  int32_t width;       // from the image's BITMAPINFOHEADER (0 for PNG data)
  int32_t height;      // the header's height: colour and mask rows together (0 for PNG data)
  uint16_t bitCount;   // the header's bits per pixel (0 for PNG data)
};

// Reads an icon file's directory (reserved 0, type 1, at least one entry) and its first entry.
// False when it is not an icon file, when the first image is too small to hold its header, or,
// when size is known, when the directory entry or the image does not lie inside the size bytes.
bool ReadIconImage(const void* data, size_t size, IconImageSpan* span);
