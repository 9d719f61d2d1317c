// Building and inspecting SkinBlocks on the host.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "jc_encoder.h"

// Packs a 24-bit BMP into a complete SkinBlock: header, banner, the image as a JC stream (or raw
// when `raw`), and the run table of its KeyColour pixels. The block is decoded again with the
// skin library and compared with the BMP before it is returned. False with `error` set otherwise.
bool PackSkin(const std::vector<uint8_t>& bmp, bool raw, std::vector<uint8_t>* block,
              JcEncodeReport* report, std::string* error);

// Where a skin is found inside a file: a bare JC stream at its start, or a SkinBlock anywhere
// (located by its banner, so a program that embeds one can be inspected directly).
struct SkinLocation {
  bool bareStream;
  size_t offset;  // of the block (or stream) in the file
};
bool LocateSkin(const std::vector<uint8_t>& file, SkinLocation* where, std::string* error);

// Unpacks the image of the skin found in `file`. False with `error` set when it cannot.
bool UnpackSkinFile(const std::vector<uint8_t>& file, std::vector<uint8_t>* image, std::string* error);

// A readable description of the skin found in `file` (header fields, checksum, runs, pixels).
bool DescribeSkinFile(const std::vector<uint8_t>& file, std::string* text, std::string* error);

// C++ source that defines the block as ZindleSkinBlock[] and ZindleSkinBlockSize.
std::string SkinBlockSource(const std::vector<uint8_t>& block, const std::string& origin);
