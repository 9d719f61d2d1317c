// Building and inspecting SkinBlocks on the host.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jc_encoder.h"
#include "skin/skin_runs.h"

// Packs a 24-bit BMP into a complete SkinBlock: header, banner, the image as a JC stream (or raw
// when `raw`), and the run table of its KeyColour pixels. The block is decoded again with the
// skin library and compared with the BMP before it is returned. False with `error` set otherwise.
bool PackSkin(const std::vector<uint8_t>& bmp, bool raw, std::vector<uint8_t>* block,
              JcEncodeReport* report, std::string* error);

// The rectangles of the window outline the launcher makes for `image`: its rectangle with the
// runs of its KeyColour pixels cut out, counted as skin/skin_spans.h counts them.
uint32_t SkinOutlineRects(const SkinImageView& image);
// A warning when the outline has more than LargestSkinOutline rectangles, which the launcher does
// not take; empty when it has not.
std::string OutlineWarning(const SkinImageView& image);

// A short name for the picture a skin shows, the same however it was packed: the first 12 hex
// digits of the 64-bit FNV-1a hash of its width and height (32-bit little-endian each) and then
// its pixels as red, green, blue, rows from the top.
std::string SkinPictureHash(const SkinImageView& image);

// Where a skin is found inside a file: a bare JC stream at its start, or a SkinBlock anywhere
// (located by its banner, so a program that embeds one can be inspected directly).
struct SkinLocation {
  bool bareStream;
  size_t offset;  // of the block (or stream) in the file
};
bool LocateSkin(const std::vector<uint8_t>& file, SkinLocation* where, std::string* error);

// Largest unpackedSize the tool accepts: a header claiming more is refused before anything is
// allocated (a skin is well under a megabyte).
constexpr uint32_t SkinUnpackLimit = 256u << 20;

// An unpacked image, allocated without throwing.
struct SkinImageBytes {
  std::unique_ptr<uint8_t[]> data;
  size_t size = 0;
};

// Unpacks the image of the skin found in `file` and checks its checksum. False with `error` set
// when it cannot (no skin, unpackedSize 0 or above SkinUnpackLimit, out of memory, a damaged
// stream, a checksum that differs).
bool UnpackSkinFile(const std::vector<uint8_t>& file, SkinImageBytes* image, std::string* error);

// A readable description of the skin found in `file`: header fields, checksum, runs, pixels.
// When the image cannot be unpacked or its checksum differs, `text` still holds what could be
// read (the header fields, the stored and computed checksums) and the result is false with `error` set.
bool DescribeSkinFile(const std::vector<uint8_t>& file, std::string* text, std::string* error);

// C++ source that defines the block as NAME[] and NAMESize (ZindleSkinBlock[] and
// ZindleSkinBlockSize unless another name is given).
std::string SkinBlockSource(const std::vector<uint8_t>& block, const std::string& origin,
                            const std::string& name = "ZindleSkinBlock");
