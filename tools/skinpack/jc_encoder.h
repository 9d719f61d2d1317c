// JC stream encoder for the skin packer (host only). Finds a near-optimal parse over every code
// the format has and writes the stream with its header and checksum.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct JcEncodeReport {
  uint32_t indexWidth;      // index width the stream uses after its start
  uint32_t literals;        // codes of each kind in the stream
  uint32_t newMatches;
  uint32_t repeatMatches;
  uint32_t shortMatches;
  uint32_t nearCopies;      // one-byte copies and zero bytes
  uint32_t rawBlocks;
  uint32_t literalWidthCodes;
};

// Encodes `size` bytes as a complete JC stream (header included).
std::vector<uint8_t> EncodeJcStream(const uint8_t* data, size_t size, JcEncodeReport* report);
