// JC stream decoder.
//
// Stream layout (all fields little-endian):
//   0  "JC"            magic
//   2  unpackedSize    bytes the stream decodes to
//   6  checksum        JcChecksum of the decoded bytes, 0 = not checked
//   10 bit stream      32-bit words, each read from its most significant bit down
//
// Bit reader: the format reads the words in stream order, each from its most significant bit
// down (its reference reader shifts a 32-bit tag with a sentinel 1 below the unread bits and
// loads the next word when the sentinel leaves). This decoder takes the same bits from a buffer
// the size of a register (64 bits, or 32 on 32-bit targets), `bits` (next bit at the top) holding
// `count` bits: a chunk of half the buffer (a word, or a half-word) is appended below them when
// fewer bits are left than the next step needs, so a code's bits, a literal, or a byte of a gamma
// number can be peeked and dropped with one shift. A chunk is only loaded when the stream is sure
// to use it (see refill), so the reader never reads further than the reference reader.
// Gamma number: start at 1, then (data bit, continue bit) pairs; the smallest value is 2. They are
// decoded four pairs at a time through GammaTable.
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

#include "skin/jc_stream.h"

#include <cstring>

#include "skin/byte_order.h"

namespace {

// The bit buffer is a machine register: on 32-bit targets a 64-bit buffer would cost a register
// pair and a multi-instruction sequence for every shift. It is refilled by chunks of half its
// width, so after a refill it holds at least ChunkBits bits. A 16-bit chunk is one half of a
// stream word: its high half (bytes 2-3) comes first in stream order, then its low half.
#if UINTPTR_MAX > 0xFFFFFFFFu
using BitBuffer = uint64_t;
constexpr uint32_t ChunkBits = 32;
inline uint32_t LoadChunk(const uint8_t* stream, size_t position) { return LoadLittleEndian32(stream + position); }
#else
using BitBuffer = uint32_t;
constexpr uint32_t ChunkBits = 16;
inline uint32_t LoadChunk(const uint8_t* stream, size_t position) {
  return LoadLittleEndian16(stream + (position ^ 2));
}
#endif
constexpr uint32_t BufferBits = 8 * sizeof(BitBuffer);
constexpr uint32_t ChunksPerWord = 32 / ChunkBits;

// The checksum fold, word by word: c = (c + d) XOR (rotl(d, 1) + 1).
inline uint32_t FoldWords(uint32_t c, const uint8_t* p, size_t words) {
  for (size_t i = 0; i < words; ++i, p += 4) {
    uint32_t d = LoadLittleEndian32(p);
    c += d;
    c ^= ((d << 1) | (d >> 31)) + 1u;
  }
  return c;
}

// Completes a checksum of the `size` bytes at `begin` whose words before `at` are folded into c:
// the remaining whole words, then for a short tail the last four bytes (overlapping).
inline uint32_t FinishChecksum(uint32_t c, const uint8_t* begin, const uint8_t* at, uint32_t size) {
  if (size < 4) return 0;
  size_t done = size_t(at - begin);
  c = FoldWords(c, at, (size - done) / 4);
  if (size % 4 != 0) c = FoldWords(c, begin + size - 4, 1);
  return c;
}

// Gamma numbers come as (data, continue) bit pairs. For each byte of the stream, the entry gives
// the data bits of its first pairs up to and including the first pair whose continue bit is 0,
// below a leading 1: bits 0-4 that value (the whole number when it starts and ends there), bits
// 5-6 the number of pairs - 1, bit 7 set when the number ends there.
constexpr uint32_t GammaDone = 0x80;
struct GammaTableRecord {
  uint8_t entry[256];
};
constexpr GammaTableRecord MakeGammaTable() {
  GammaTableRecord t = {};
  for (uint32_t b = 0; b < 256; ++b) {
    uint32_t value = 0, pairs = 0, done = 0;
    while (pairs < 4 && !done) {
      uint32_t pair = (b >> (6 - 2 * pairs)) & 3;
      value = (value << 1) | (pair >> 1);
      ++pairs;
      done = (pair & 1) == 0;
    }
    t.entry[b] = uint8_t((1u << pairs | value) | (pairs - 1) << 5 | (done ? GammaDone : 0));
  }
  return t;
}
constexpr GammaTableRecord GammaTableData = MakeGammaTable();
constexpr const uint8_t* GammaTable = GammaTableData.entry;

// Copies `length` bytes from `offset` back. The caller has checked that the match starts inside
// the written output and ends inside the block; `room` counts the block's bytes from `out` on.
// With 16 bytes of slack after the match, it moves 16 bytes at a time: such moves may scribble
// past the match's end, but only over bytes of the block that are written later anyway.
// Offsets below 16 repeat a short pattern: it is built once in a 16-byte register and stored at
// steps of the largest multiple of the offset that fits, so no load waits on a recent store.
inline uint8_t* CopyMatch(uint8_t* out, uint32_t offset, uint32_t length, size_t room) {
  const uint8_t* from = out - offset;
  uint8_t* const stop = out + length;
  if (room - length >= 16) {
    if (offset >= 16) {
      do {
        std::memcpy(out, from, 16);
        out += 16;
        from += 16;
      } while (out < stop);
      return stop;
    }
    uint8_t pattern[16];
    // One 16-byte load; its bytes from `offset` on lie at `out` or after, not yet written, and are
    // replaced by the repeat (the slack keeps the load inside the block).
    std::memcpy(pattern, from, 16);
    for (uint32_t i = offset; i < 16; ++i) pattern[i] = pattern[i - offset];
    const uint32_t step = 16 - 16 % offset;
    do {
      std::memcpy(out, pattern, 16);
      out += step;
    } while (out < stop);
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
  return FinishChecksum(0, static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data), size);
}

uint32_t DecodeJcStream(const void* source, size_t sourceSize, void* destination) {
  JcHeader header;
  if (!ReadJcHeader(source, sourceSize, &header)) return 0;

  // The bit stream, taken a chunk at a time; `chunksLeft` counts the chunks the known size holds.
  const uint8_t* const stream = static_cast<const uint8_t*>(source) + JcHeaderSize;
  size_t position = 0;  // byte offset of the next chunk, in stream order
  size_t chunksLeft = sourceSize == JcSizeUnknown ? JcSizeUnknown / 4 : (sourceSize - JcHeaderSize) / 4 * ChunksPerWord;

  uint8_t* const begin = static_cast<uint8_t*>(destination);
  uint8_t* const end = begin + header.unpackedSize;
  uint8_t* out = begin;

  BitBuffer bits = 0;    // unread bits, the next one at the top
  uint32_t count = 0;    // how many of them there are
  uint32_t lastOffset = 1;
  uint32_t indexWidth = 8;
  uint32_t literalWidth = 0;  // 0: no literal-width code seen yet
  uint32_t literalBase = 0;

  // Loads the next chunk when fewer than `need` bits (need <= ChunkBits) are buffered. A chunk is
  // loaded only when the stream is sure to use some of its bits: either they are needed now, or
  // (need = 12) the end code, 12 bits, is still to come. So even with the size unknown, a
  // well-formed stream is not read past its last word (a malformed one can be: only a known size
  // bounds it). Past the known end the reader appends zero bits instead, counted in `phantom`:
  // they end the main loop within a code or two, and the decode fails if any of them was taken.
  // So every step has its bits buffered and dropping them needs no test.
  uint32_t phantom = 0;
  auto refill = [&](uint32_t need) {
    if (count < need) {
      if (chunksLeft != 0) {
        bits |= BitBuffer(LoadChunk(stream, position)) << (BufferBits - ChunkBits - count);
        position += ChunkBits / 8;
        --chunksLeft;
      } else {
        phantom += ChunkBits;
      }
      count += ChunkBits;
    }
  };
  // Drops n bits (n <= ChunkBits) after a refill for at least n.
  auto skip = [&](uint32_t n) {
    bits <<= n;
    count -= n;
  };
  // The next n bits as a number, 1 <= n <= ChunkBits.
  auto peek = [&](uint32_t n) -> uint32_t { return uint32_t(bits >> (BufferBits - n)); };
  auto takeChunkBits = [&](uint32_t n) -> uint32_t {
    refill(n);
    uint32_t v = peek(n);
    skip(n);
    return v;
  };
  auto takeBits = [&](uint32_t n) -> uint32_t {  // 1 <= n <= 31
    if (ChunkBits < 32 && n > ChunkBits) {  // in two steps; only with 16-bit chunks
      uint32_t high = takeChunkBits(n - ChunkBits);
      return uint32_t(uint64_t(high) << ChunkBits | takeChunkBits(ChunkBits));
    }
    return takeChunkBits(n);
  };
  auto takeBit = [&]() -> uint32_t { return takeBits(1); };
  // Gamma numbers a byte (four data/continue pairs) at a time.
  // Most end within their first byte, which cannot overflow. Inlined at its three uses, which
  // the compiler's size estimate would otherwise refuse.
  auto takeGamma = [&]() __attribute__((always_inline)) -> uint32_t {  // 0 when the number does not fit 32 bits
    refill(12);  // the end code follows
    uint32_t e = GammaTable[peek(8)];
    skip(2 * ((e >> 5 & 3) + 1));
    uint32_t v = e & 31;
    while (!(e & GammaDone)) {
      refill(12);
      e = GammaTable[peek(8)];
      uint32_t pairs = (e >> 5 & 3) + 1;
      if (v >> (32 - pairs)) return 0;
      v = ((v - 1) << pairs) + (e & 31);  // (v << pairs) | the data bits
      skip(2 * pairs);
    }
    return v;
  };
  auto written = [&]() -> size_t { return size_t(out - begin); };
  auto room = [&]() -> size_t { return size_t(end - out); };

  // The checksum is folded while decoding, 64 bytes behind the output at a time, so its serial
  // chain overlaps the decoding work; bytes below `out` are final.
  const bool checking = header.checksum != 0;
  uint32_t sum = 0;
  const uint8_t* summed = begin;

  for (;;) {
    if (checking && size_t(out - summed) >= 64) {
      sum = FoldWords(sum, summed, 16);
      summed += 64;
    }
    refill(12);  // a code starts: at least the end code is to come
    const uint32_t prefix = peek(3);
    if (prefix >= 4) {  // 1: literal
      if (literalWidth == 0) return 0;
      // Literals come in runs: stay here while the next code is one too, which spares the
      // checksum step and the dispatch. Past the end the reader feeds zero bits, ending the run.
      do {
        if (out == end) return 0;
        uint32_t v = peek(1 + literalWidth) & ((1u << literalWidth) - 1);
        skip(1 + literalWidth);
        *out++ = uint8_t(v + literalBase);
        refill(12);  // a code starts: at least the end code is to come
      } while (peek(1) != 0);
      continue;
    }
    if (prefix >= 2) {  // 01: gamma match
      skip(2);
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
    skip(3);
    if (prefix == 1) {  // 001: four-bit code
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
    // 000: short match, end code or index-width code
    const uint32_t fields = takeBits(9);
    uint32_t offset = fields >> 2;
    uint32_t length = (fields & 3) + 2;
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

  // Zero bits from past the stream's end are the last in the buffer: some were taken when fewer
  // than them are left.
  if (count < phantom || out != end) return 0;
  if (checking && FinishChecksum(sum, begin, summed, header.unpackedSize) != header.checksum) return 0;
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
