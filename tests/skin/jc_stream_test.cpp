// The JC decoder: the two worked streams, every decoding rule, and refusal of broken streams.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "jc_bit_writer.h"
#include "skin/jc_stream.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Decoded {
  uint32_t result;
  Bytes output;
};

// Decodes with the stream in a block of exactly its size and the output in a block of exactly
// unpackedSize bytes (so the sanitizers see any stray access), then again with guard bytes
// around the output, which must survive.
Decoded Decode(const Bytes& stream, uint32_t unpackedSize) {
  std::unique_ptr<uint8_t[]> source(new uint8_t[stream.size()]);
  if (!stream.empty()) std::memcpy(source.get(), stream.data(), stream.size());
  std::unique_ptr<uint8_t[]> exact(new uint8_t[unpackedSize ? unpackedSize : 1]);
  uint32_t first = DecodeJcStream(source.get(), stream.size(), exact.get());

  const size_t guard = 64;
  Bytes padded(unpackedSize + 2 * guard, 0xA5);
  uint32_t second = DecodeJcStream(source.get(), stream.size(), padded.data() + guard);
  EXPECT_EQ(first, second);
  for (size_t i = 0; i < guard; ++i) {
    EXPECT_EQ(padded[i], 0xA5) << "guard before output, byte " << i;
    EXPECT_EQ(padded[guard + unpackedSize + i], 0xA5) << "guard after output, byte " << i;
  }
  return {first, Bytes(padded.begin() + guard, padded.begin() + guard + unpackedSize)};
}

Bytes Text(const char* s) { return Bytes(s, s + std::strlen(s)); }

// Reference LZ copy: byte by byte, so overlapping matches repeat their pattern.
void CopyBack(Bytes& out, size_t offset, size_t length) {
  for (size_t i = 0; i < length; ++i) out.push_back(out[out.size() - offset]);
}

// Distinct-looking bytes for prefixes that offsets reach into.
Bytes Noise(size_t n, uint32_t seed) {
  Bytes b(n);
  for (auto& v : b) {
    seed = seed * 1103515245u + 12345u;
    v = uint8_t(seed >> 16);
  }
  return b;
}

const Bytes WorkedAbc = {0x4A, 0x43, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                         0x00, 0x56, 0x6C, 0xD8, 0x20, 0x00, 0x00, 0x00, 0x30};
const Bytes WorkedAbcAbcAbc = {0x4A, 0x43, 0x09, 0x00, 0x00, 0x00, 0xE3, 0xEC, 0xEC, 0xE0, 0x56,
                               0x6C, 0xD8, 0x20, 0x00, 0x28, 0x0F, 0x30, 0x00, 0x00, 0x00, 0x00};

TEST(JcStream, WorkedStreamWithoutChecksumDecodesToAbc) {
  Decoded d = Decode(WorkedAbc, 3);
  EXPECT_EQ(d.result, 3u);
  EXPECT_EQ(d.output, Text("abc"));

  // The same stream two bytes past a word boundary, and with its size unknown.
  Bytes shifted(2 + WorkedAbc.size());
  std::memcpy(shifted.data() + 2, WorkedAbc.data(), WorkedAbc.size());
  uint8_t out[3] = {};
  EXPECT_EQ(DecodeJcStream(shifted.data() + 2, out), 3u);
  EXPECT_EQ(Bytes(out, out + 3), Text("abc"));
  EXPECT_EQ(UnpackBlock(shifted.data() + 2, out), 3u);
}

TEST(JcStream, WorkedStreamWithChecksumDecodesToAbcAbcAbc) {
  Decoded d = Decode(WorkedAbcAbcAbc, 9);
  EXPECT_EQ(d.result, 9u);
  EXPECT_EQ(d.output, Text("abcabcabc"));
  EXPECT_EQ(JcChecksum(d.output.data(), 9), 0xE0ECECE3u);

  // Any other non-zero checksum fails; the bytes are decoded all the same.
  for (uint32_t checksum : {1u, 0xE0ECECE2u, 0xE3ECECE0u, 0xFFFFFFFFu}) {
    Bytes s = WorkedAbcAbcAbc;
    for (int i = 0; i < 4; ++i) s[6 + i] = uint8_t(checksum >> (8 * i));
    Decoded bad = Decode(s, 9);
    EXPECT_EQ(bad.result, 0u) << std::hex << checksum;
    EXPECT_EQ(bad.output, Text("abcabcabc"));
  }
  // Checksum 0: no check.
  Bytes unchecked = WorkedAbcAbcAbc;
  std::memset(unchecked.data() + 6, 0, 4);
  EXPECT_EQ(Decode(unchecked, 9).result, 9u);
}

TEST(JcStream, ChecksumTakesTheLastFourBytesForAShortTail) {
  Bytes d = Text("abcabcabc");
  // Words 0x61636261, 0x62616362 and the overlapping 0x63626163.
  EXPECT_EQ(JcChecksum(d.data(), 9), 0xE0ECECE3u);
  EXPECT_EQ(JcChecksum(d.data(), 3), 0u);
  EXPECT_EQ(JcChecksum(d.data(), 0), 0u);
  uint32_t c = 0;
  for (uint32_t w : {0x61636261u, 0x62616362u}) {
    c += w;
    c ^= ((w << 1) | (w >> 31)) + 1;
  }
  EXPECT_EQ(JcChecksum(d.data(), 8), c);
}

TEST(JcStream, TinyOrEmptyOutputs) {
  // Fewer than four bytes with a checksum: always 0, whatever the checksum.
  for (uint32_t checksum : {1u, 0x61u, 0xFFFFFFFFu}) {
    Bytes s = WorkedAbc;
    for (int i = 0; i < 4; ++i) s[6 + i] = uint8_t(checksum >> (8 * i));
    EXPECT_EQ(Decode(s, 3).result, 0u);
  }
  // A stream that decodes to no bytes yields 0, like a failure.
  JcWriter w;
  PutLiteralWidth(w, 8);
  PutEnd(w);
  EXPECT_EQ(Decode(FinishStream(w, 0, 0), 0).result, 0u);
}

TEST(JcStream, WrongMagicOrNullPointersFailAndLeaveTheDestinationAlone) {
  for (auto magic : {std::make_pair('j', 'C'), std::make_pair('J', 'X'), std::make_pair('C', 'J')}) {
    Bytes s = WorkedAbc;
    s[0] = uint8_t(magic.first);
    s[1] = uint8_t(magic.second);
    uint8_t out[3] = {7, 7, 7};
    EXPECT_EQ(DecodeJcStream(s.data(), s.size(), out), 0u);
    EXPECT_EQ(Bytes(out, out + 3), Bytes({7, 7, 7}));
  }
  uint8_t out[3];
  EXPECT_EQ(UnpackBlock(nullptr, out), 0u);
  EXPECT_EQ(UnpackBlock(WorkedAbc.data(), nullptr), 0u);
  EXPECT_EQ(UnpackBlock(WorkedAbc.data(), WorkedAbc.size(), out), 3u);
}

// A stream built code by code, with the bytes it must decode to.
struct RuleCase {
  const char* name;
  std::function<void(JcWriter&, Bytes&)> build;  // writes codes and the expected output
};

void Literals(JcWriter& w, Bytes& expect, const Bytes& bytes) {
  for (uint8_t b : bytes) {
    PutLiteral(w, b);
    expect.push_back(b);
  }
}

// A prefix of noise, as raw blocks.
void RawPrefix(JcWriter& w, Bytes& expect, size_t blocks) {
  Bytes noise = Noise(blocks * 256, 99);
  PutRawBlocks(w, noise);
  expect.insert(expect.end(), noise.begin(), noise.end());
}

const RuleCase RuleCases[] = {
    {"raw blocks, one then three in a row",
     [](JcWriter& w, Bytes& e) {
       PutLiteralWidth(w, 8);
       Literals(w, e, {1});
       RawPrefix(w, e, 1);
       Bytes more = Noise(768, 5);
       PutRawBlocks(w, more);
       e.insert(e.end(), more.begin(), more.end());
     }},
    {"width-7 literals add the base modulo 256",
     [](JcWriter& w, Bytes& e) {
       PutLiteralWidth(w, 7, 200);
       for (uint32_t coded : {0u, 55u, 100u, 127u}) {
         PutLiteral(w, coded, 7);
         e.push_back(uint8_t(coded + 200));  // 200, 255, 44, 71
       }
     }},
    {"width-8 code resets the base to 0",
     [](JcWriter& w, Bytes& e) {
       PutLiteralWidth(w, 7, 50);
       PutLiteral(w, 1, 7);
       e.push_back(51);
       PutLiteralWidth(w, 8);
       PutLiteral(w, 0x80, 8);
       e.push_back(0x80);
     }},
    {"index width set through 4-, 5- and 6-bit fields",
     [](JcWriter& w, Bytes& e) {
       PutLiteralWidth(w, 8);
       RawPrefix(w, e, 2);
       PutIndexWidth(w, 4, 3);  // offset 300 = (37 << 3) | 4
       PutNewMatch(w, 300, 2, 3);
       CopyBack(e, 300, 2);
       PutIndexWidth(w, 5, 17);  // offset 400 fits the 17 low bits: g = 3
       PutNewMatch(w, 400, 3, 17);
       CopyBack(e, 400, 3);
       PutIndexWidth(w, 6, 31);
       PutNewMatch(w, 5, 2, 31);
       CopyBack(e, 5, 6);
       PutIndexWidth(w, 4, 1);  // offset 129 = (64 << 1) | 1
       PutNewMatch(w, 129, 9, 1);
       CopyBack(e, 129, 9);
       PutIndexWidth(w, 4, 8);  // leaves lastOffset at 129
       PutRepeatMatch(w, 3);
       CopyBack(e, 129, 3);
     }},
    {"offset 1 repeats the last byte",
     [](JcWriter& w, Bytes& e) {
       PutLiteralWidth(w, 8);
       Literals(w, e, {'x'});
       PutShortMatch(w, 1, 5);
       CopyBack(e, 1, 5);
       PutNewMatch(w, 1, 40);  // 44 bytes
       CopyBack(e, 1, 44);
       Literals(w, e, {'y'});
     }},
    {"initial lastOffset is 1",
     [](JcWriter& w, Bytes& e) {
       PutLiteralWidth(w, 8);
       Literals(w, e, {'a'});
       PutRepeatMatch(w, 3);
       CopyBack(e, 1, 3);
     }},
    {"short match sets lastOffset; near copy and repeat keep it",
     [](JcWriter& w, Bytes& e) {
       PutLiteralWidth(w, 8);
       Literals(w, e, {'a', 'b', 'c', 'd'});
       PutShortMatch(w, 2, 2);
       CopyBack(e, 2, 2);
       PutNearCopy(w, 3);  // abcdcd + d
       CopyBack(e, 3, 1);
       PutRepeatMatch(w, 2);  // still offset 2: "dd" (offset 3 would give "cd")
       CopyBack(e, 2, 2);
       PutRepeatMatch(w, 3);
       CopyBack(e, 2, 3);
     }},
    {"new gamma offset sets lastOffset",
     [](JcWriter& w, Bytes& e) {
       PutLiteralWidth(w, 8);
       Literals(w, e, {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H'});
       PutNewMatch(w, 7, 2);  // below 128: length 2 + 4
       CopyBack(e, 7, 6);
       PutZeroByte(w);
       e.push_back(0);
       PutRepeatMatch(w, 2);
       CopyBack(e, 7, 2);
       PutShortMatch(w, 3, 4);
       CopyBack(e, 3, 4);
       PutRepeatMatch(w, 5);
       CopyBack(e, 3, 5);
     }},
    {"zero byte and near copies from every offset 1 to 14",
     [](JcWriter& w, Bytes& e) {
       PutLiteralWidth(w, 8);
       Literals(w, e, Noise(14, 3));
       for (uint32_t d = 1; d <= 14; ++d) {
         PutNearCopy(w, d);
         CopyBack(e, d, 1);
         PutZeroByte(w);
         e.push_back(0);
       }
     }},
    {"overlapping and wide copies at offsets 1 to 20",
     [](JcWriter& w, Bytes& e) {
       PutLiteralWidth(w, 8);
       Literals(w, e, Noise(20, 8));
       for (uint32_t d = 1; d <= 20; ++d) {
         PutNewMatch(w, d, 3 * d + 9);
         CopyBack(e, d, 3 * d + 13);
         Literals(w, e, {uint8_t(d)});
       }
       PutNewMatch(w, 9, 10);  // ends exactly at the end of the output
       CopyBack(e, 9, 14);
     }},
};

class JcRule : public testing::TestWithParam<RuleCase> {};

TEST_P(JcRule, DecodesAsSpelledOut) {
  JcWriter w;
  Bytes expect;
  GetParam().build(w, expect);
  PutEnd(w);
  uint32_t size = uint32_t(expect.size());
  for (uint32_t checksum : {0u, JcChecksum(expect.data(), size)}) {
    Decoded d = Decode(FinishStream(w, size, checksum), size);
    EXPECT_EQ(d.result, size) << "checksum " << checksum;
    EXPECT_EQ(d.output, expect);
  }
}

INSTANTIATE_TEST_SUITE_P(Rules, JcRule, testing::ValuesIn(RuleCases),
                         [](const testing::TestParamInfo<RuleCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });

// Each band of the length adjustment for a new offset, at both of its edges.
TEST(JcStream, LengthAdjustmentBands) {
  struct Band {
    uint32_t offset;
    uint32_t added;
  };
  const Band bands[] = {{1, 4},       {127, 4},     {128, 0},     {638, 0},    {639, 1},
                        {14334, 1},   {14335, 2},   {65535, 2},   {65536, 3},  {70000, 3}};
  for (const Band& band : bands) {
    JcWriter w;
    Bytes expect;
    PutLiteralWidth(w, 8);
    RawPrefix(w, expect, 280);  // 71,680 bytes of noise to reach back into
    PutIndexWidth(w, 4, 9);
    PutNewMatch(w, band.offset, 2, 9);
    CopyBack(expect, band.offset, 2 + band.added);
    PutRepeatMatch(w, 2);  // no adjustment for a repeat
    CopyBack(expect, band.offset, 2);
    PutEnd(w);
    uint32_t size = uint32_t(expect.size());
    Decoded d = Decode(FinishStream(w, size, JcChecksum(expect.data(), size)), size);
    EXPECT_EQ(d.result, size) << "offset " << band.offset;
    EXPECT_EQ(d.output, expect) << "offset " << band.offset;
  }
}

// Broken streams: each breaks one rule and must fail without touching memory outside the blocks.
struct BrokenCase {
  const char* rule;
  uint32_t unpackedSize;
  std::function<void(JcWriter&)> build;
};

const BrokenCase BrokenCases[] = {
    {"literal before any literal-width code", 1, [](JcWriter& w) { PutLiteral(w, 'a'); }},
    {"literal past unpackedSize", 1,
     [](JcWriter& w) {
       PutLiteralWidth(w, 8);
       PutLiteral(w, 'a');
       PutLiteral(w, 'b');
     }},
    {"short match past unpackedSize", 3,
     [](JcWriter& w) {
       PutLiteralWidth(w, 8);
       PutLiteral(w, 'a');
       PutShortMatch(w, 1, 5);
     }},
    {"gamma match past unpackedSize", 10,
     [](JcWriter& w) {
       PutLiteralWidth(w, 8);
       PutLiteral(w, 'a');
       PutNewMatch(w, 1, 100);
     }},
    {"length adjustment past unpackedSize", 6,
     [](JcWriter& w) {
       PutLiteralWidth(w, 8);
       PutLiteral(w, 'a');
       PutNewMatch(w, 1, 2);  // 2 + 4 bytes, one too many
     }},
    {"repeat match past unpackedSize", 4,
     [](JcWriter& w) {
       PutLiteralWidth(w, 8);
       PutLiteral(w, 'a');
       PutRepeatMatch(w, 4);
     }},
    {"raw block past unpackedSize", 300,
     [](JcWriter& w) {
       PutLiteralWidth(w, 8);
       PutLiteral(w, 'a');
       PutRawBlocks(w, Bytes(512, 1));
     }},
    {"zero byte past unpackedSize", 1,
     [](JcWriter& w) {
       PutLiteralWidth(w, 8);
       PutLiteral(w, 'a');
       PutZeroByte(w);
     }},
    {"near copy past unpackedSize", 1,
     [](JcWriter& w) {
       PutLiteralWidth(w, 8);
       PutLiteral(w, 'a');
       PutNearCopy(w, 1);
     }},
    {"short match reaching before the output", 3,
     [](JcWriter& w) {
       PutLiteralWidth(w, 8);
       PutLiteral(w, 'a');
       PutShortMatch(w, 2, 2);
     }},
    {"gamma match reaching before the output", 400,
     [](JcWriter& w) {
       PutLiteralWidth(w, 8);
       PutRawBlocks(w, Bytes(256, 1));
       PutNewMatch(w, 300, 2);
     }},
    {"repeat match before any output", 2,
     [](JcWriter& w) {
       PutLiteralWidth(w, 8);
       PutRepeatMatch(w, 2);
     }},
    {"near copy reaching before the output", 2,
     [](JcWriter& w) {
       PutLiteralWidth(w, 8);
       PutLiteral(w, 'a');
       PutNearCopy(w, 2);
     }},
    {"new offset 0", 8,
     [](JcWriter& w) {
       PutLiteralWidth(w, 8);
       PutLiteral(w, 'a');
       PutNewMatch(w, 0, 3);
     }},
    // Each of these would decode to one byte if its guard were missing: the stream goes on to
    // set a valid width and end.
    {"index width 0", 1,
     [](JcWriter& w) {
       PutLiteralWidth(w, 8);
       PutLiteral(w, 'a');
       PutIndexWidth(w, 4, 0);
       PutIndexWidth(w, 4, 8);
     }},
    {"index width 32", 1,
     [](JcWriter& w) {
       PutLiteralWidth(w, 8);
       PutLiteral(w, 'a');
       PutIndexWidth(w, 6, 32);
       PutIndexWidth(w, 4, 8);
     }},
    {"index width 63", 1,
     [](JcWriter& w) {
       PutLiteralWidth(w, 8);
       PutLiteral(w, 'a');
       PutIndexWidth(w, 6, 63);
       PutIndexWidth(w, 4, 8);
     }},
    // A repeat match whose length, 2^32 + 3, would wrap to 3 and complete the 4 bytes.
    {"gamma length beyond 32 bits", 4,
     [](JcWriter& w) {
       PutLiteralWidth(w, 8);
       PutLiteral(w, 'a');
       PutBits(w, 1, 2);
       PutGamma(w, 2);
       PutGamma(w, (uint64_t(1) << 32) + 3);
     }},
    // Offset (2 << 31) | 1 would wrap to 1: length 2 + 4 would complete the 7 bytes.
    {"gamma offset beyond 32 bits", 7,
     [](JcWriter& w) {
       PutLiteralWidth(w, 8);
       PutLiteral(w, 'a');
       PutIndexWidth(w, 5, 31);
       PutBits(w, 1, 2);
       PutGamma(w, 5);
       PutBits(w, 1, 31);
       PutGamma(w, 2);
     }},
    {"end code before unpackedSize bytes", 4,
     [](JcWriter& w) {
       PutLiteralWidth(w, 8);
       PutLiteral(w, 'a');
     }},
};

class JcBroken : public testing::TestWithParam<BrokenCase> {};

TEST_P(JcBroken, FailsWithZero) {
  JcWriter w;
  GetParam().build(w);
  PutEnd(w);
  Decoded d = Decode(FinishStream(w, GetParam().unpackedSize, 0), GetParam().unpackedSize);
  EXPECT_EQ(d.result, 0u) << GetParam().rule;
}

INSTANTIATE_TEST_SUITE_P(Rules, JcBroken, testing::ValuesIn(BrokenCases),
                         [](const testing::TestParamInfo<BrokenCase>& info) {
                           return "Case" + std::to_string(info.index);
                         });

TEST(JcStream, ReadingPastTheStoredStreamFails) {
  // A well-formed stream of 12 literals, cut short at every length: never decodes, never reads
  // beyond the cut (the source block is exactly the cut size).
  JcWriter w;
  PutLiteralWidth(w, 8);
  Bytes text = Text("hello, world");
  for (uint8_t c : text) PutLiteral(w, c);
  PutEnd(w);
  Bytes whole = FinishStream(w, 12, 0);
  ASSERT_EQ(Decode(whole, 12).result, 12u);
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    Bytes part(whole.begin(), whole.begin() + cut);
    EXPECT_EQ(Decode(part, 12).result, 0u) << "cut at " << cut;
  }
}

}  // namespace
