// A second JC decoder, for tests and fuzzing, written straight from the format's description:
// the 32-bit tag with a sentinel bit below the unread bits, one bit at a time, byte-by-byte
// copies into a growing vector. Slow and plain, so the fast decoder can be checked against it.
//
// Unlike the format's own decoder it never trusts the stream: a step that would read past the
// source size, write past unpackedSize, copy from before the output, take a literal before a
// literal-width code, set an index width outside 1..31 or build a number wider than 32 bits
// stops the decode with `completed` false. So does an end code before unpackedSize bytes, which
// the format's decoder would answer with the short count and this project's decoder refuses.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "skin/byte_order.h"

struct JcReferenceResult {
  bool completed;        // the end code was reached within every bound, after unpackedSize bytes
  uint32_t result;       // when completed: what the decoder returns (bytes written, or 0)
  std::vector<uint8_t> output;
};

struct JcReferenceReader {
  const uint8_t* source;
  size_t size;
  size_t position;  // of the next word
  uint32_t tag;
  bool ok;          // sticky: false once a word past the source was needed
};

inline uint32_t JcReferenceBit(JcReferenceReader& r) {
  uint32_t bit = r.tag >> 31;
  r.tag <<= 1;
  if (r.tag == 0) {
    if (r.position + 4 > r.size) {
      r.ok = false;
      return 0;
    }
    uint32_t word = LoadLittleEndian32(r.source + r.position);
    r.position += 4;
    bit = word >> 31;
    r.tag = (word << 1) | 1;
  }
  return bit;
}

// n bits, the first taken the most significant (n <= 32).
inline uint32_t JcReferenceBits(JcReferenceReader& r, uint32_t n) {
  uint32_t v = 0;
  for (uint32_t i = 0; i < n; ++i) v = (v << 1) | JcReferenceBit(r);
  return v;
}

// A gamma number, in 64 bits so that one wider than 32 bits shows.
inline uint64_t JcReferenceGamma(JcReferenceReader& r) {
  uint64_t v = 1;
  do {
    v = (v << 1) | JcReferenceBit(r);
    if (v >> 32) return v;
  } while (JcReferenceBit(r) && r.ok);
  return v;
}

inline JcReferenceResult JcReferenceDecode(const uint8_t* source, size_t size) {
  JcReferenceResult res = {false, 0, {}};
  if (size < 10 || source[0] != 'J' || source[1] != 'C') return res;
  const uint32_t unpackedSize = LoadLittleEndian32(source + 2);
  const uint32_t checksum = LoadLittleEndian32(source + 6);
  JcReferenceReader r = {source, size, 10, 0x80000000u, true};
  std::vector<uint8_t>& out = res.output;
  uint32_t lastOffset = 1, indexWidth = 8, literalWidth = 0, literalBase = 0;

  auto put = [&](uint32_t byte) {
    if (out.size() >= unpackedSize) return false;
    out.push_back(uint8_t(byte));
    return true;
  };
  auto copy = [&](uint64_t offset, uint64_t length) {
    if (offset == 0 || offset > out.size() || length > unpackedSize - out.size()) return false;
    for (uint64_t i = 0; i < length; ++i) out.push_back(out[out.size() - offset]);
    return true;
  };

  for (;;) {
    bool fine = true;
    if (JcReferenceBit(r)) {  // 1: literal
      uint32_t v = JcReferenceBits(r, literalWidth);
      fine = literalWidth != 0 && r.ok && put(v + literalBase);
    } else if (JcReferenceBit(r)) {  // 01: gamma match
      uint64_t g = JcReferenceGamma(r);
      if (g == 2) {
        uint64_t length = JcReferenceGamma(r);
        fine = r.ok && length <= 0xFFFFFFFFu && copy(lastOffset, length);
      } else {
        uint64_t offset = ((g - 3) << indexWidth) | JcReferenceBits(r, indexWidth);
        uint64_t length = JcReferenceGamma(r);
        uint32_t extra = offset <= 127 ? 4 : offset <= 638 ? 0 : offset <= 14334 ? 1 : offset <= 65535 ? 2 : 3;
        fine = r.ok && g <= 0xFFFFFFFFu && offset <= 0xFFFFFFFFu && length <= 0xFFFFFFFFu &&
               copy(offset, length + extra);
        lastOffset = uint32_t(offset);
      }
    } else if (!JcReferenceBit(r)) {  // 000: short match, end code or index width
      uint32_t offset = JcReferenceBits(r, 7);
      uint32_t length = JcReferenceBits(r, 2) + 2;
      if (!r.ok) break;
      if (offset != 0) {
        lastOffset = offset;
        fine = copy(offset, length);
      } else if (length == 2) {
        res.completed = true;
        break;
      } else {
        indexWidth = JcReferenceBits(r, length + 1);
        fine = indexWidth >= 1 && indexWidth <= 31;
      }
    } else {  // 001: four-bit code
      uint32_t v = JcReferenceBits(r, 4);
      if (!r.ok) break;
      if (v == 1) {
        fine = put(0);
      } else if (v >= 2) {
        fine = copy(v - 1, 1);
      } else if (JcReferenceBit(r)) {  // raw blocks
        do {
          for (int i = 0; i < 256 && fine; ++i) {
            uint32_t byte = JcReferenceBits(r, 8);
            fine = r.ok && put(byte);
          }
        } while (fine && JcReferenceBit(r));
      } else {  // literal-width code
        literalWidth = 7 + JcReferenceBit(r);
        literalBase = literalWidth == 7 ? JcReferenceBits(r, 8) : 0;
      }
    }
    if (!fine || !r.ok) break;
  }
  if (!res.completed || !r.ok || out.size() != unpackedSize) {
    res.completed = false;
    return res;
  }
  res.result = unpackedSize;
  if (checksum != 0) {
    // The fold over the unpackedSize bytes; a short tail takes the last four, fewer than four
    // bytes take no word.
    uint32_t c = 0;
    auto fold = [&](size_t at) {
      uint32_t w = LoadLittleEndian32(out.data() + at);
      c += w;
      c ^= ((w << 1) | (w >> 31)) + 1;
    };
    if (unpackedSize >= 4) {
      for (size_t at = 0; at + 4 <= unpackedSize; at += 4) fold(at);
      if (unpackedSize % 4 != 0) fold(unpackedSize - 4);
    }
    if (c != checksum) res.result = 0;
  }
  return res;
}
