// A tiny JC stream writer for tests: each function emits one code exactly as the decoder reads
// it, so a test can spell out a stream (well-formed or broken) code by code.
#pragma once
#include <cstdint>
#include <vector>

#include "skin/byte_order.h"
#include "skin/jc_stream.h"

struct JcWriter {
  std::vector<uint32_t> words;
  int used = 32;  // bits used in the last word; 32 = start a new word
};

inline void PutBits(JcWriter& w, uint32_t value, int count) {
  for (int i = count - 1; i >= 0; --i) {
    if (w.used == 32) {
      w.words.push_back(0);
      w.used = 0;
    }
    w.words.back() |= ((value >> i) & 1u) << (31 - w.used);
    ++w.used;
  }
}

// Gamma number g >= 2: each bit below the top one, followed by 1 while more bits follow. Takes
// 64 bits so a test can write a number too wide for the decoder.
inline void PutGamma(JcWriter& w, uint64_t g) {
  int top = 63;
  while (!(g >> top)) --top;
  for (int i = top - 1; i >= 0; --i) {
    PutBits(w, uint32_t(g >> i) & 1u, 1);
    PutBits(w, i > 0 ? 1u : 0u, 1);
  }
}

inline void PutLiteralWidth(JcWriter& w, int width, uint32_t base = 0) {
  PutBits(w, 0x10, 7);  // 001 0000
  PutBits(w, 0, 1);
  PutBits(w, uint32_t(width - 7), 1);
  if (width == 7) PutBits(w, base, 8);
}
// `coded` is the value as stored: the byte minus the literal base.
inline void PutLiteral(JcWriter& w, uint32_t coded, int width = 8) {
  PutBits(w, 1, 1);
  PutBits(w, coded, width);
}
inline void PutRepeatMatch(JcWriter& w, uint32_t length) {
  PutBits(w, 1, 2);
  PutGamma(w, 2);
  PutGamma(w, length);
}
// A new gamma-coded offset; `gammaLength` is the coded length (before the decoder's adjustment).
inline void PutNewMatch(JcWriter& w, uint32_t offset, uint32_t gammaLength, int indexWidth = 8) {
  PutBits(w, 1, 2);
  PutGamma(w, (offset >> indexWidth) + 3);
  PutBits(w, offset & ((1u << indexWidth) - 1), indexWidth);
  PutGamma(w, gammaLength);
}
inline void PutShortMatch(JcWriter& w, uint32_t offset, uint32_t length) {
  PutBits(w, 0, 3);
  PutBits(w, offset, 7);
  PutBits(w, length - 2, 2);
}
inline void PutEnd(JcWriter& w) { PutShortMatch(w, 0, 2); }
// fieldWidth 4, 5 or 6 bits holding the new indexWidth.
inline void PutIndexWidth(JcWriter& w, int fieldWidth, uint32_t value) {
  PutShortMatch(w, 0, uint32_t(fieldWidth - 1));
  PutBits(w, value, fieldWidth);
}
inline void PutFourBit(JcWriter& w, uint32_t v) {
  PutBits(w, 1, 3);
  PutBits(w, v, 4);
}
inline void PutZeroByte(JcWriter& w) { PutFourBit(w, 1); }
inline void PutNearCopy(JcWriter& w, uint32_t offset) { PutFourBit(w, offset + 1); }
// Raw blocks: bytes.size() must be a multiple of 256.
inline void PutRawBlocks(JcWriter& w, const std::vector<uint8_t>& bytes) {
  PutFourBit(w, 0);
  PutBits(w, 1, 1);
  for (size_t i = 0; i < bytes.size(); ++i) {
    PutBits(w, bytes[i], 8);
    if (i % 256 == 255) PutBits(w, i + 1 < bytes.size() ? 1u : 0u, 1);
  }
}

// The complete stream: header, then the words little-endian.
inline std::vector<uint8_t> FinishStream(const JcWriter& w, uint32_t unpackedSize, uint32_t checksum) {
  std::vector<uint8_t> s = {'J', 'C'};
  AppendLittleEndian32(s, unpackedSize);
  AppendLittleEndian32(s, checksum);
  for (uint32_t v : w.words) AppendLittleEndian32(s, v);
  return s;
}
