// The SkinBlock reader and the run-table rule.
#include <gtest/gtest.h>

#include <memory>

#include "skin/jc_stream.h"
#include "skin/skin_block.h"
#include "skin/skin_runs.h"
#include "skin_test_data.h"

namespace {

using Bytes = std::vector<uint8_t>;

// "abcabcabc" with its checksum, 22 bytes.
const Bytes AbcStream = {0x4A, 0x43, 0x09, 0x00, 0x00, 0x00, 0xE3, 0xEC, 0xEC, 0xE0, 0x56,
                         0x6C, 0xD8, 0x20, 0x00, 0x28, 0x0F, 0x30, 0x00, 0x00, 0x00, 0x00};
const std::vector<SkinRun> TwoRuns = {{0, 0, 3}, {-5, 1, 300}};

// Reads a copy of `block` held in memory of exactly its size.
bool Read(const Bytes& block, SkinBlockView* view, std::unique_ptr<uint8_t[]>* holder) {
  holder->reset(new uint8_t[block.size() ? block.size() : 1]);
  if (!block.empty()) std::memcpy(holder->get(), block.data(), block.size());
  return ReadSkinBlock(holder->get(), block.size(), view);
}

TEST(SkinBlock, CompressedBlockGivesItsFieldsRunsAndImage) {
  Bytes block = MakeSkinBlock(9, 9, 22, AbcStream, TwoRuns, -1);
  std::unique_ptr<uint8_t[]> mem;
  SkinBlockView view;
  ASSERT_TRUE(Read(block, &view, &mem));
  EXPECT_EQ(view.runHeight, -1);
  EXPECT_EQ(view.compressed, 9);
  EXPECT_EQ(view.unpackedSize, 9u);
  EXPECT_EQ(view.storedSize, 22u);
  EXPECT_EQ(view.imageData, mem.get() + 60);
  EXPECT_EQ(view.imageDataSize, 22u);
  EXPECT_EQ(view.runTableSize, 12u);
  EXPECT_TRUE(SkinBannerMatches(view));
  ASSERT_EQ(SkinRunCount(view), 2u);
  EXPECT_TRUE(SkinRunAt(view, 0) == TwoRuns[0]);
  EXPECT_TRUE(SkinRunAt(view, 1) == TwoRuns[1]);  // signed coordinates
  Bytes image(9);
  EXPECT_EQ(UnpackSkinImage(view, image.data()), 9u);
  EXPECT_EQ(std::string(image.begin(), image.end()), "abcabcabc");
}

TEST(SkinBlock, RawBlockCarriesTheImageAndThenTheRunTable) {
  // storedSize is not used when the image is raw.
  Bytes block = MakeSkinBlock(0, 5, 0xFFFFFFF0u, {'h', 'e', 'l', 'l', 'o'}, TwoRuns);
  std::unique_ptr<uint8_t[]> mem;
  SkinBlockView view;
  ASSERT_TRUE(Read(block, &view, &mem));
  EXPECT_EQ(view.imageDataSize, 5u);
  EXPECT_EQ(view.runs, mem.get() + 60 + 5 + 4);
  EXPECT_TRUE(SkinRunAt(view, 1) == TwoRuns[1]);
  Bytes image(5);
  EXPECT_EQ(UnpackSkinImage(view, image.data()), 5u);
  EXPECT_EQ(std::string(image.begin(), image.end()), "hello");
}

TEST(SkinBlock, EmptyRunTableHasNoRuns) {
  Bytes block = MakeSkinBlock(9, 9, 22, AbcStream, {});
  std::unique_ptr<uint8_t[]> mem;
  SkinBlockView view;
  ASSERT_TRUE(Read(block, &view, &mem));
  EXPECT_EQ(SkinRunCount(view), 0u);
}

TEST(SkinBlock, RefusesBlocksWhosePartsLieOutside) {
  Bytes good = MakeSkinBlock(9, 9, 22, AbcStream, TwoRuns);
  std::unique_ptr<uint8_t[]> mem;
  SkinBlockView view;
  for (size_t cut = 0; cut < good.size(); ++cut)
    EXPECT_FALSE(Read(Bytes(good.begin(), good.begin() + cut), &view, &mem)) << "cut at " << cut;

  Bytes storedTooBig = good;
  storedTooBig[6] = 0xFF;  // storedSize 255 + ...
  EXPECT_FALSE(Read(storedTooBig, &view, &mem));
  Bytes hugeStored = good;
  std::memset(hugeStored.data() + 6, 0xFF, 4);
  EXPECT_FALSE(Read(hugeStored, &view, &mem));
  Bytes rawTooBig = MakeSkinBlock(0, 0xFFFFFFFFu, 0, {'x'}, {});
  EXPECT_FALSE(Read(rawTooBig, &view, &mem));
  Bytes partialRun = good;
  partialRun[60 + 22] = 7;  // 7 bytes: one run and a piece of another
  partialRun.push_back(0);
  EXPECT_FALSE(Read(partialRun, &view, &mem));
  Bytes hugeRuns = good;
  std::memset(hugeRuns.data() + 60 + 22, 0xFF, 4);
  EXPECT_FALSE(Read(hugeRuns, &view, &mem));
  EXPECT_FALSE(ReadSkinBlock(nullptr, 100, &view));
}

TEST(SkinBlock, BannerMustMatchIncludingCrLf) {
  std::unique_ptr<uint8_t[]> mem;
  SkinBlockView view;
  for (size_t at : {size_t(10), size_t(33), size_t(57), size_t(58), size_t(59)}) {
    Bytes block = MakeSkinBlock(9, 9, 22, AbcStream, {});
    block[at] ^= 0x20;
    ASSERT_TRUE(Read(block, &view, &mem));
    EXPECT_FALSE(SkinBannerMatches(view)) << "byte " << at;
  }
  EXPECT_EQ(std::strlen(SkinBanner), 48u);
}

TEST(SkinBlock, ImageFailsWhenTheStreamDisagreesWithTheBlock) {
  std::unique_ptr<uint8_t[]> mem;
  SkinBlockView view;
  Bytes image(16);
  // The block claims 8 bytes, the stream 9: refused before decoding.
  ASSERT_TRUE(Read(MakeSkinBlock(9, 8, 22, AbcStream, {}), &view, &mem));
  EXPECT_EQ(UnpackSkinImage(view, image.data()), 0u);
  // storedSize one word short: the decoder may not read the last word.
  Bytes shortStream(AbcStream.begin(), AbcStream.end() - 4);
  ASSERT_TRUE(Read(MakeSkinBlock(9, 9, 18, shortStream, {}), &view, &mem));
  EXPECT_EQ(UnpackSkinImage(view, image.data()), 0u);
}

TEST(SkinRuns, MaximalKeyColourRunsRowByRowFromTheTop) {
  Bytes bmp = MakeBmp({
      "mmmmm",  // whole row
      "m.mm.",
      "..n..",  // near-magenta is opaque
      "mm.nm",
  });
  SkinImageView image;
  ASSERT_TRUE(ReadSkinImage(bmp.data(), bmp.size(), &image));
  EXPECT_EQ(image.width, 5);
  EXPECT_EQ(image.height, 4);
  EXPECT_EQ(image.stride, 16u);
  EXPECT_TRUE(IsKeyColourPixel(image, 0, 0));
  EXPECT_FALSE(IsKeyColourPixel(image, 2, 2));

  const std::vector<SkinRun> expect = {{0, 0, 5}, {0, 1, 1}, {2, 1, 4}, {0, 3, 2}, {4, 3, 5}};
  SkinRun runs[8];
  ASSERT_EQ(CollectKeyColourRuns(image, runs, 8), expect.size());
  for (size_t i = 0; i < expect.size(); ++i) EXPECT_TRUE(runs[i] == expect[i]) << "run " << i;

  // With too little room it still counts every run but writes only what fits.
  SkinRun two[3] = {{9, 9, 9}, {9, 9, 9}, {9, 9, 9}};
  EXPECT_EQ(CollectKeyColourRuns(image, two, 2), expect.size());
  EXPECT_TRUE(two[1] == expect[1]);
  EXPECT_TRUE(two[2] == (SkinRun{9, 9, 9}));
}

TEST(SkinRuns, RefusesImagesOfAnotherLayout) {
  Bytes good = MakeBmp({"m.", ".m"});
  SkinImageView image;
  ASSERT_TRUE(ReadSkinImage(good.data(), good.size(), &image));
  struct Patch {
    const char* what;
    size_t at;
    uint32_t value;  // written little-endian over `width` bytes
    int width;
  };
  const Patch patches[] = {
      {"magic", 1, 'X', 1},          {"planes", 26, 2, 2},          {"32 bits per pixel", 28, 32, 2},
      {"RLE compression", 30, 1, 4}, {"top-down rows", 22, uint32_t(-2), 4},
      {"zero width", 18, 0, 4},      {"pixels past the end", 10, 60, 4},
  };
  for (const Patch& p : patches) {
    Bytes bad = good;
    for (int i = 0; i < p.width; ++i) bad[p.at + i] = uint8_t(p.value >> (8 * i));
    EXPECT_FALSE(ReadSkinImage(bad.data(), bad.size(), &image)) << p.what;
  }
  EXPECT_FALSE(ReadSkinImage(good.data(), good.size() - 1, &image));
  EXPECT_FALSE(ReadSkinImage(good.data(), 40, &image));
}

}  // namespace
