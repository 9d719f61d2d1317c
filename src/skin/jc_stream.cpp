// JC stream decoder.
//
// Stream layout (all fields little-endian):
//   0  "JC"            magic
//   2  unpackedSize    bytes the stream decodes to
//   6  checksum        JcChecksum of the decoded bytes, 0 = not checked
//   10 bit stream      32-bit words, each read from its most significant bit down
//
// Bit reader: `tag` holds the unread bits of the current word at its top, followed by a single
// sentinel 1. Taking a bit shifts the tag left; when the tag becomes zero the sentinel has left
// and the next word is loaded (its top bit is the bit taken; the tag becomes word << 1 | 1).
// n bits can be taken in one shift whenever the sentinel survives it, i.e. (tag << n) != 0;
// otherwise they are taken one at a time across the word boundary. Both give the same bits.
// Gamma number: start at 1, then (data bit, continue bit) pairs; the smallest value is 2.
//
// Codes, by prefix:
//   1                 literal: literalWidth bits + literalBase (mod 256)
//   01 g              g = 2: repeat match, offset lastOffset, length gamma
//                     g > 2: offset ((g - 3) << indexWidth) | indexWidth bits, lastOffset = offset,
//                            length gamma + 4 / 0 / 1 / 2 / 3 for offsets below
//                            128 / 639 / 14335 / 65536 / above
//   000 o7 l2         short match: offset o (1..127), length l + 2, lastOffset = o;
//                     o = 0, l = 0: end of stream; o = 0, l > 0: indexWidth = (l + 2)-bit number
//   001 v4            v = 1: byte 0; v = 2..15: one byte from offset v - 1;
//                     v = 0 then 1: raw blocks of 256 bytes (8 bits each), another while a 1 follows;
//                     v = 0 then 0: literalWidth = 7 + bit, literalBase = 8 bits if the width is 7
// Matches copy forward byte by byte in meaning: an offset below the length repeats a pattern.
//
// Guards: the output never passes unpackedSize, a copy never reaches before the destination,
// the reader never passes the known end of the stream (it then feeds zero bits, which end the
// loop within a few codes, and the decode fails), literals need a literal width first, and
// indexWidth must lie in 1..31. A stream that ends short of unpackedSize bytes is refused too.
// All state is local; nothing is allocated.

#include "jc_stream.h"

#include <cstring>

namespace {

inline uint32_t LoadLittleEndian32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Wide-copy step for short offsets: the smallest multiple of the offset that is at least 8.
constexpr uint8_t WideStep[8] = {0, 8, 8, 9, 8, 10, 12, 14};

// Copies `length` bytes from `offset` back. The caller has checked that the match starts inside
// the written output and ends inside the block; `room` counts the block's bytes from `out` on.
// With 8 bytes of slack after the match, 8-byte moves are used: they may scribble past the
// match's end, but only over bytes of the block that are written later anyway.
inline uint8_t* CopyMatch(uint8_t* out, uint32_t offset, uint32_t length, size_t room) {
  const uint8_t* from = out - offset;
  uint8_t* const stop = out + length;
  if (length >= 8 && room - length >= 8) {
    if (offset < 8) {
      // The first 8 bytes one at a time; after that the pattern repeats at a distance >= 8.
      for (int i = 0; i < 8; ++i) out[i] = from[i];
      out += 8;
      from = out - WideStep[offset];
    }
    while (out < stop) {
      std::memcpy(out, from, 8);
      out += 8;
      from += 8;
    }
    return stop;
  }
  while (out < stop) *out++ = *from++;
  return stop;
}

}  // namespace

bool ReadJcHeader(const void* source, size_t sourceSize, JcHeader* header) {
  const uint8_t* p = static_cast<const uint8_t*>(source);
  if (sourceSize < JcHeaderSize || p[0] != 'J' || p[1] != 'C') return false;
  header->unpackedSize = LoadLittleEndian32(p + 2);
  header->checksum = LoadLittleEndian32(p + 6);
  return true;
}

uint32_t JcChecksum(const void* data, uint32_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  uint32_t c = 0;
  if (size < 4) return 0;
  auto fold = [&c](uint32_t d) {
    c += d;
    c ^= ((d << 1) | (d >> 31)) + 1u;
  };
  uint32_t i = 0;
  for (; size - i >= 4; i += 4) fold(LoadLittleEndian32(p + i));
  if (i != size) fold(LoadLittleEndian32(p + size - 4));  // overlaps the word before
  return c;
}

uint32_t DecodeJcStream(const void* source, size_t sourceSize, void* destination) {
  JcHeader header;
  if (!ReadJcHeader(source, sourceSize, &header)) return 0;

  const uint8_t* in = static_cast<const uint8_t*>(source) + JcHeaderSize;
  size_t wordsLeft = sourceSize == JcSizeUnknown ? JcSizeUnknown / 4 : (sourceSize - JcHeaderSize) / 4;
  bool overrun = false;

  uint8_t* const begin = static_cast<uint8_t*>(destination);
  uint8_t* const end = begin + header.unpackedSize;
  uint8_t* out = begin;

  uint32_t tag = 0x80000000u;
  uint32_t lastOffset = 1;
  uint32_t indexWidth = 8;
  uint32_t literalWidth = 0;  // 0: no literal-width code seen yet
  uint32_t literalBase = 0;

  auto nextWord = [&]() -> uint32_t {
    if (wordsLeft == 0) {
      overrun = true;
      return 0;
    }
    --wordsLeft;
    uint32_t w = LoadLittleEndian32(in);
    in += 4;
    return w;
  };
  auto takeBit = [&]() -> uint32_t {
    uint32_t b = tag >> 31;
    tag <<= 1;
    if (tag == 0) {
      uint32_t w = nextWord();
      b = w >> 31;
      tag = (w << 1) | 1u;
    }
    return b;
  };
  auto takeBits = [&](uint32_t n) -> uint32_t {  // 1 <= n <= 31
    if ((tag << n) != 0) {
      uint32_t v = tag >> (32 - n);
      tag <<= n;
      return v;
    }
    uint32_t v = 0;
    do v = (v << 1) | takeBit();
    while (--n);
    return v;
  };
  auto takeGamma = [&]() -> uint32_t {  // 0 when the number does not fit 32 bits
    uint32_t v = 1;
    do {
      if (v >> 31) return 0;
      v = (v << 1) | takeBit();
    } while (takeBit());
    return v;
  };
  auto written = [&]() -> size_t { return size_t(out - begin); };
  auto room = [&]() -> size_t { return size_t(end - out); };

  for (;;) {
    if (takeBit()) {  // literal
      if (literalWidth == 0 || out == end) return 0;
      *out++ = uint8_t(takeBits(literalWidth) + literalBase);
      continue;
    }
    if (takeBit()) {  // gamma match
      uint32_t g = takeGamma();
      uint32_t offset, length;
      if (g == 2) {
        offset = lastOffset;
        length = takeGamma();
        if (length == 0 || length > room()) return 0;
      } else {
        if (g == 0 || ((g - 3) >> (32 - indexWidth)) != 0) return 0;
        offset = ((g - 3) << indexWidth) | takeBits(indexWidth);
        length = takeGamma();
        uint32_t extra = offset < 0x80 ? 4 : offset < 0x27F ? 0 : offset < 0x37FF ? 1 : offset < 0x10000 ? 2 : 3;
        if (length == 0 || length > room() || extra > room() - length) return 0;
        length += extra;
        lastOffset = offset;
      }
      if (offset == 0 || offset > written()) return 0;
      out = CopyMatch(out, offset, length, room());
      continue;
    }
    if (takeBit()) {  // four-bit code
      uint32_t v = takeBits(4);
      if (v >= 2) {  // near copy of one byte; lastOffset stays
        if (v - 1 > written() || out == end) return 0;
        *out = out[-int(v - 1)];
        ++out;
      } else if (v == 1) {
        if (out == end) return 0;
        *out++ = 0;
      } else if (takeBit()) {  // raw blocks
        do {
          if (room() < 256) return 0;
          for (int i = 0; i < 256; ++i) *out++ = uint8_t(takeBits(8));
        } while (takeBit());
      } else {  // literal-width code
        literalWidth = 7 + takeBit();
        literalBase = literalWidth == 7 ? takeBits(8) : 0;
      }
      continue;
    }
    // short match, end code or index-width code
    uint32_t offset = takeBits(7);
    uint32_t length = takeBits(2) + 2;
    if (offset != 0) {
      if (offset > written() || length > room()) return 0;
      lastOffset = offset;
      const uint8_t* from = out - offset;
      for (uint32_t i = 0; i < length; ++i) out[i] = from[i];
      out += length;
      continue;
    }
    if (length == 2) break;
    indexWidth = takeBits(length + 1);
    if (indexWidth == 0 || indexWidth > 31) return 0;
  }

  if (overrun || out != end) return 0;
  if (header.checksum != 0 && JcChecksum(begin, header.unpackedSize) != header.checksum) return 0;
  return header.unpackedSize;
}

uint32_t DecodeJcStream(const void* source, void* destination) {
  return DecodeJcStream(source, JcSizeUnknown, destination);
}

uint32_t UnpackBlock(const void* source, size_t sourceSize, void* destination) {
  if (source == nullptr || destination == nullptr) return 0;
  return DecodeJcStream(source, sourceSize, destination);
}

uint32_t UnpackBlock(const void* source, void* destination) {
  return UnpackBlock(source, JcSizeUnknown, destination);
}
