// The skin packer: packing small BMPs, unpacking and describing skins, and its refusals.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "skin/byte_order.h"
#include "skin/jc_stream.h"
#include "jc_encoder.h"
#include "jc_reference.h"
#include "skin/skin_block.h"
#include "skin_pack.h"
#include "skin_test_data.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pack(const Bytes& bmp, bool raw) {
  Bytes block;
  JcEncodeReport report;
  std::string error;
  EXPECT_TRUE(PackSkin(bmp, raw, &block, &report, &error)) << error;
  return block;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Small pictures: the encoder's tables are nearly empty or end right at the image's last byte.
const std::vector<std::vector<std::string>> Pictures = {
    {"mmxxxxmm", "mxxxxxxm"},  // 8x2: the encoder's candidate table used to be indexed at its end
    {"x"},
    {"m"},
    {"mmmmmmmmmmmmmmmmmmmm", "mmmmxxxxxxxxxxxxmmmm", "mmxxxxnnnnxxxxxxxxmm", "mxxxmmmmmmmmxxxxxxxm",
     "mxxxxxxxxxxxxxxxxxxm", "mmxxxxxxxxxxxxxxxxmm", "mmmmmmmmmmmmmmmmmmmm"},
};

TEST(SkinPack, SmallPicturesPackUnpackAndDescribe) {
  for (const auto& picture : Pictures) {
    Bytes bmp = MakeBmp(picture);
    for (bool raw : {false, true}) {
      SCOPED_TRACE(std::to_string(picture[0].size()) + "x" + std::to_string(picture.size()) + (raw ? " raw" : ""));
      Bytes block = Pack(bmp, raw);
      SkinImageBytes image;
      std::string error;
      ASSERT_TRUE(UnpackSkinFile(block, &image, &error)) << error;
      EXPECT_EQ(Bytes(image.data.get(), image.data.get() + image.size), bmp);

      std::string text;
      EXPECT_TRUE(DescribeSkinFile(block, &text, &error)) << error;
      EXPECT_TRUE(Contains(text, "image:           " + std::to_string(picture[0].size()) + " x " +
                                     std::to_string(picture.size())))
          << text;
      EXPECT_TRUE(Contains(text, "runs vs image:   exactly the KeyColour pixels")) << text;
      if (!raw) EXPECT_TRUE(Contains(text, ", matches")) << text;
    }
  }
}

// Inputs that make the encoder use every kind of code: long and short runs, repeats at near and
// far offsets, zero bytes, dark literals (width 7 with a base) and incompressible stretches.
Bytes EncoderInput(uint32_t seed, size_t size) {
  Bytes b;
  uint32_t x = seed;
  auto next = [&]() { return x = x * 1664525u + 1013904223u, x >> 8; };
  while (b.size() < size) {
    switch (next() % 6) {
      case 0: b.insert(b.end(), 1 + next() % 40, uint8_t(next())); break;
      case 1: for (uint32_t n = 1 + next() % 600; n > 0; --n) b.push_back(uint8_t(next())); break;
      case 2: for (uint32_t n = 1 + next() % 50; n > 0; --n) b.push_back(uint8_t(next() % 20)); break;
      case 3: b.insert(b.end(), 1 + next() % 8, 0); break;
      default:
        if (!b.empty()) {
          size_t from = next() % b.size(), length = 2 + next() % 300;
          for (size_t i = 0; i < length; ++i) b.push_back(b[from + i]);  // may overlap: repeats
        }
    }
  }
  b.resize(size);
  return b;
}

// The encoder's streams decode to their input with the product decoder and with the plain
// reference decoder alike, so both agree on every code the encoder uses.
TEST(SkinPack, EncoderStreamsDecodeTheSameWithTheReferenceDecoder) {
  for (uint32_t seed = 1; seed <= 12; ++seed) {
    Bytes input = EncoderInput(seed, 1000 + seed * 2500);
    JcEncodeReport report;
    Bytes stream = EncodeJcStream(input.data(), input.size(), &report);
    JcReferenceResult reference = JcReferenceDecode(stream.data(), stream.size());
    EXPECT_TRUE(reference.completed) << "seed " << seed;
    EXPECT_EQ(reference.result, input.size()) << "seed " << seed;
    EXPECT_TRUE(reference.output == input) << "seed " << seed;
    Bytes out(input.size());
    EXPECT_EQ(DecodeJcStream(stream.data(), stream.size(), out.data()), input.size()) << "seed " << seed;
    EXPECT_TRUE(out == input) << "seed " << seed;
  }
}

// A bare stream header claiming `unpackedSize` bytes, with no stream after it.
Bytes BareHeader(uint32_t unpackedSize) {
  Bytes s = {'J', 'C'};
  AppendLittleEndian32(s, unpackedSize);
  AppendLittleEndian32(s, 0);
  AppendLittleEndian32(s, 0);
  return s;
}

TEST(SkinPack, RefusesUnpackedSizesAboveTheLimitBeforeAllocating) {
  Bytes stream = BareHeader(SkinUnpackLimit + 1);
  Bytes block = MakeSkinBlock(9, SkinUnpackLimit + 1, uint32_t(stream.size()), stream, {});
  for (const Bytes& file : {BareHeader(0xFFFFFFFFu), stream, block}) {
    SkinImageBytes image;
    std::string error, text;
    EXPECT_FALSE(UnpackSkinFile(file, &image, &error));
    EXPECT_TRUE(Contains(error, "above the limit")) << error;
    EXPECT_FALSE(image.data);
    error.clear();
    EXPECT_FALSE(DescribeSkinFile(file, &text, &error));
    EXPECT_TRUE(Contains(error, "above the limit")) << error;
  }
}

TEST(SkinPack, DescribesABlockWithABadChecksumAndFails) {
  Bytes block = Pack(MakeBmp(Pictures[0]), false);
  const size_t checksumAt = SkinBlockHeaderSize + 6;
  uint32_t good = LoadLittleEndian32(block.data() + checksumAt);
  ASSERT_NE(good, 0u);
  block[checksumAt] ^= 1;

  std::string text, error;
  EXPECT_FALSE(DescribeSkinFile(block, &text, &error));
  EXPECT_TRUE(Contains(text, "unpackedSize:    " + std::to_string(MakeBmp(Pictures[0]).size()))) << text;
  char line[128];
  std::snprintf(line, sizeof line, "stored 0x%08X, computed 0x%08X, DIFFERS", good ^ 1, good);
  EXPECT_TRUE(Contains(text, line)) << text;
  EXPECT_TRUE(Contains(error, "checksum")) << error;

  SkinImageBytes image;
  error.clear();
  EXPECT_FALSE(UnpackSkinFile(block, &image, &error));
  EXPECT_TRUE(Contains(error, "checksum differs")) << error;
}

// The program itself: exit codes and messages (stdout and stderr go to `output`).
int RunSkinpack(const std::string& args, std::string* output) {
  std::string log = testing::TempDir() + "skinpack_test.log";
  // A memory limit well below 4 GB: a refusal must come before any attempt to allocate.
  std::string command = "ulimit -v 1000000; " + std::string(ZINDLE_SKINPACK_PATH) + " " + args + " >" + log + " 2>&1";
  int status = std::system(command.c_str());
  output->clear();
  if (FILE* f = std::fopen(log.c_str(), "rb")) {
    char buf[4096];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) output->append(buf, got);
    std::fclose(f);
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string WriteTemp(const std::string& name, const Bytes& data) {
  std::string path = testing::TempDir() + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  EXPECT_NE(f, nullptr);
  if (f) {
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
  }
  return path;
}

TEST(SkinPackProgram, ExitsWithOneAndAMessageOnAHugeUnpackedSize) {
  std::string path = WriteTemp("huge.jc", BareHeader(0xFFFFFFFFu));
  for (const char* mode : {"info ", "unpack "}) {
    std::string output;
    std::string args = mode + path + (mode[0] == 'u' ? " " + testing::TempDir() + "huge.bmp" : "");
    EXPECT_EQ(RunSkinpack(args, &output), 1) << output;
    EXPECT_TRUE(Contains(output, "unpackedSize 4294967295 is above the limit")) << output;
  }
}

TEST(SkinPackProgram, InfoPrintsTheFieldsThenFailsOnABadChecksum) {
  std::string bmpPath = WriteTemp("tiny.bmp", MakeBmp(Pictures[0]));
  std::string skinPath = testing::TempDir() + "tiny.skin";
  std::string output;
  ASSERT_EQ(RunSkinpack("pack " + bmpPath + " " + skinPath, &output), 0) << output;
  EXPECT_EQ(RunSkinpack("info " + skinPath, &output), 0) << output;

  Bytes block = Pack(MakeBmp(Pictures[0]), false);
  block[SkinBlockHeaderSize + 6] ^= 1;
  std::string badPath = WriteTemp("bad.skin", block);
  EXPECT_EQ(RunSkinpack("info " + badPath, &output), 1) << output;
  EXPECT_TRUE(Contains(output, "storedSize:")) << output;
  EXPECT_TRUE(Contains(output, "DIFFERS")) << output;
}

}  // namespace
