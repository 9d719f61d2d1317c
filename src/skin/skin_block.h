// The SkinBlock: header, banner, packed skin image and the table of transparent runs.
// Portable reader; the platform side (window region, bitmaps) builds on it.
#pragma once
#include <cstddef>
#include <cstdint>

// Offsets of the block's fixed fields.
constexpr uint32_t SkinBlockBannerOffset = 10;
constexpr uint32_t SkinBlockHeaderSize = 60;   // header, banner and its CR LF
constexpr uint32_t SkinBannerLength = 48;
constexpr uint32_t SkinRunSize = 6;

// The fixed text every SkinBlock repeats at offset 10 (followed there by CR LF).
extern const char SkinBanner[SkinBannerLength + 1];

// One transparent rectangle: (left, top) to (right, top + runHeight), right and bottom exclusive.
struct SkinRun {
  int16_t left;
  int16_t top;
  int16_t right;
};

// Where the parts of a SkinBlock lie; all pointers point into the block.
struct SkinBlockView {
  int8_t runHeight;
  uint8_t compressed;         // 0: raw image, otherwise a JC stream
  uint32_t unpackedSize;      // bytes of the image once unpacked
  uint32_t storedSize;        // bytes of the JC stream (header included) when compressed
  const uint8_t* banner;      // 50 bytes: SkinBanner, CR, LF
  const uint8_t* imageData;   // JC stream or raw image
  uint32_t imageDataSize;     // storedSize or unpackedSize
  const uint8_t* runs;        // SkinRun records, 6 bytes each, little-endian
  uint32_t runTableSize;      // bytes of the run table
};

// Splits a block of `blockSize` bytes into its parts. False when a part would lie outside the
// block or the run table is not a whole number of runs. Does not look at the banner.
bool ReadSkinBlock(const void* block, size_t blockSize, SkinBlockView* view);

// True when the block carries SkinBanner followed by CR LF.
bool SkinBannerMatches(const SkinBlockView& view);
// True when the banner's text (at most 48 bytes, up to a zero byte) is SkinBanner; what follows
// the 48th byte is not looked at. The program accepts a skin by this test.
bool SkinBannerAccepted(const SkinBlockView& view);

uint32_t SkinRunCount(const SkinBlockView& view);
SkinRun SkinRunAt(const SkinBlockView& view, uint32_t index);

// Unpacks (or copies) the image into `destination` of at least view.unpackedSize bytes.
// Returns view.unpackedSize, or 0 when the image cannot be unpacked.
uint32_t UnpackSkinImage(const SkinBlockView& view, void* destination);
