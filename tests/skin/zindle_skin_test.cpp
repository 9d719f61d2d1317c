// The skin compiled into the product: it must decode to the committed artwork byte for byte,
// and its run table must cover exactly the artwork's KeyColour pixels.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "skin/jc_stream.h"
#include "skin/skin_block.h"
#include "skin/skin_runs.h"
#include "skin/zindle_skin.h"
#include "skin_test_data.h"

namespace {

using Bytes = std::vector<uint8_t>;

uint32_t Field32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

Bytes CommittedArtwork() { return ReadBuildFile(ZINDLE_SKIN_IMAGE_PATH); }

class ZindleSkin : public testing::Test {
 protected:
  void SetUp() override {
    artwork = CommittedArtwork();
    ASSERT_FALSE(artwork.empty()) << "cannot read " << ZINDLE_SKIN_IMAGE_PATH;
    ASSERT_TRUE(ReadSkinBlock(ZindleSkinBlock, ZindleSkinBlockSize, &view));
    ASSERT_TRUE(ReadSkinImage(artwork.data(), artwork.size(), &image));
  }
  Bytes artwork;
  SkinBlockView view;
  SkinImageView image;
};

TEST_F(ZindleSkin, BlockHeaderAndBanner) {
  EXPECT_TRUE(SkinBannerMatches(view));
  EXPECT_EQ(view.runHeight, 1);
  EXPECT_NE(view.compressed, 0);
  EXPECT_EQ(view.unpackedSize, 665334u);
  // The block is exactly its parts: nothing missing, nothing after the run table.
  EXPECT_EQ(ZindleSkinBlockSize, SkinBlockHeaderSize + view.storedSize + 4 + view.runTableSize);
  JcHeader header;
  ASSERT_TRUE(ReadJcHeader(view.imageData, view.storedSize, &header));
  EXPECT_EQ(header.unpackedSize, view.unpackedSize);
  EXPECT_NE(header.checksum, 0u);
}

TEST_F(ZindleSkin, DecodesToTheCommittedArtworkByteForByte) {
  Bytes unpacked(view.unpackedSize);
  ASSERT_EQ(UnpackSkinImage(view, unpacked.data()), 665334u);
  EXPECT_TRUE(unpacked == artwork);
  JcHeader header;
  ReadJcHeader(view.imageData, view.storedSize, &header);
  EXPECT_EQ(JcChecksum(artwork.data(), uint32_t(artwork.size())), header.checksum);
}

// Checks that the block's runs are ordered, maximal and cover exactly the image's KeyColour pixels.
void ExpectRunsCoverExactlyTheKeyColour(const SkinBlockView& view, const SkinImageView& image) {
  const int w = image.width, h = image.height;
  std::vector<uint8_t> covered(size_t(w) * h, 0);
  std::vector<int> runsInRow(h, 0);
  int lastTop = -1, lastRight = 0;
  for (uint32_t i = 0; i < SkinRunCount(view); ++i) {
    SkinRun r = SkinRunAt(view, i);
    ASSERT_TRUE(r.top >= 0 && r.top < h && r.left >= 0 && r.left < r.right && r.right <= w) << "run " << i;
    // Ordered by top, then left, without overlap; each run maximal.
    ASSERT_TRUE(r.top > lastTop || (r.top == lastTop && r.left > lastRight)) << "run " << i;
    EXPECT_TRUE(r.left == 0 || !IsKeyColourPixel(image, r.left - 1, r.top)) << "run " << i;
    EXPECT_TRUE(r.right == w || !IsKeyColourPixel(image, r.right, r.top)) << "run " << i;
    for (int x = r.left; x < r.right; ++x) covered[size_t(r.top) * w + x] = 1;
    ++runsInRow[r.top];
    lastTop = r.top;
    lastRight = r.right;
  }
  int wrong = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) wrong += covered[size_t(y) * w + x] != IsKeyColourPixel(image, x, y);
  EXPECT_EQ(wrong, 0);
  for (int y = 0; y < h; ++y) EXPECT_GE(runsInRow[y], 1) << "row " << y;
}

TEST_F(ZindleSkin, RunTableCoversExactlyTheKeyColourPixels) { ExpectRunsCoverExactlyTheKeyColour(view, image); }

// The art for 200 % displays: the packed drawing byte for byte, twice the size, its runs exact,
// a cut-away border and opaque button areas where the launcher lays the buttons out at 200 %.
TEST(ZindleSkin200, DecodesToItsArtAndIsTheSameSkinAtTwiceTheSize) {
  if (ZindleSkinBlock200Size == 0) GTEST_SKIP() << "built without 200 % art";
  Bytes artwork = ReadBuildFile(ZINDLE_SKIN_IMAGE_200_PATH);
  SkinBlockView view;
  SkinImageView image;
  ASSERT_TRUE(ReadSkinBlock(ZindleSkinBlock200, ZindleSkinBlock200Size, &view));
  ASSERT_TRUE(SkinBannerMatches(view));
  ASSERT_TRUE(ReadSkinImage(artwork.data(), artwork.size(), &image));
  EXPECT_EQ(1150, image.width);
  EXPECT_EQ(770, image.height);
  Bytes unpacked(view.unpackedSize);
  ASSERT_EQ(view.unpackedSize, UnpackSkinImage(view, unpacked.data()));
  EXPECT_TRUE(unpacked == artwork);
  ExpectRunsCoverExactlyTheKeyColour(view, image);
  for (int y = 0; y < 770; y += 7)
    for (int x = 0; x < 1150; x += 7)
      if (y <= 11 || y >= 744 || x < 24 || x > 1125) ASSERT_TRUE(IsKeyColourPixel(image, x, y)) << x << "," << y;
  for (int bx : {320, 710})
    for (int y = 500; y < 540; ++y)
      for (int x = bx; x < bx + 120; ++x) ASSERT_FALSE(IsKeyColourPixel(image, x, y)) << x << "," << y;
}

TEST_F(ZindleSkin, ArtworkHasTheSkinFormatAndShape) {
  ASSERT_EQ(artwork.size(), 665334u);
  EXPECT_EQ(artwork[0], 'B');
  EXPECT_EQ(artwork[1], 'M');
  const std::pair<size_t, uint32_t> fields[] = {
      {2, 665334}, {10, 54}, {14, 40}, {18, 575}, {22, 385}, {30, 0}, {34, 665280}, {38, 2835}, {42, 2835}, {46, 0}};
  for (auto f : fields) EXPECT_EQ(Field32(artwork, f.first), f.second) << "field at " << f.first;
  EXPECT_EQ(artwork[26] | artwork[27] << 8, 1);
  EXPECT_EQ(artwork[28] | artwork[29] << 8, 24);
  EXPECT_EQ(image.stride, 1728u);

  EXPECT_TRUE(IsKeyColourPixel(image, 0, 0));
  for (int y = 0; y < 385; ++y)
    for (int x = 0; x < 575; ++x) {
      bool mustBeKey = y <= 5 || y >= 372 || x < 12 || x > 562;
      if (mustBeKey) ASSERT_TRUE(IsKeyColourPixel(image, x, y)) << x << "," << y;
    }
  // The button areas are opaque.
  for (int bx : {160, 355})
    for (int y = 250; y < 270; ++y)
      for (int x = bx; x < bx + 60; ++x) ASSERT_FALSE(IsKeyColourPixel(image, x, y)) << x << "," << y;
}

}  // namespace
