// The skin outline as rectangles: every pixel is covered exactly when an odd number of the
// image rectangle and the runs cover it, and the rectangles are in the form platform regions
// keep (the Wine tests compare them with the platform's own region).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "skin/skin_runs.h"
#include "skin/skin_spans.h"
#include "skin_test_data.h"

namespace {

struct Grid {
  int32_t x0, y0, x1, y1;  // the area examined, wider than the image
  std::vector<int> count;
  int& At(int32_t x, int32_t y) { return count[size_t(y - y0) * size_t(x1 - x0) + size_t(x - x0)]; }
};

void Cover(Grid& g, int32_t l, int32_t t, int32_t r, int32_t b) {
  if (l > r) std::swap(l, r);
  if (t > b) std::swap(t, b);
  for (int32_t y = t; y < b; ++y)
    for (int32_t x = l; x < r; ++x) g.At(x, y) += 1;
}

std::vector<SpanRect> Spans(const std::vector<SkinRun>& runs, int8_t runHeight, int32_t width, int32_t height) {
  std::vector<uint8_t> block = MakeSkinBlock(0, 0, 0, {}, runs, runHeight);
  SkinBlockView view;
  EXPECT_TRUE(ReadSkinBlock(block.data(), block.size(), &view));
  std::vector<uint8_t> work(SkinSpanWorkBytes(SkinRunCount(view)));
  // Too small at first, as the platform side may guess: the count tells how many are needed.
  std::vector<SpanRect> out(1);
  uint32_t count = CollectSkinSpans(view, width, height, out.data(), uint32_t(out.size()), work.data());
  out.resize(count);
  EXPECT_EQ(count, CollectSkinSpans(view, width, height, out.data(), count, work.data()));
  return out;
}

void ExpectCanonical(const std::vector<SpanRect>& rects) {
  for (size_t i = 0; i < rects.size(); ++i) {
    const SpanRect& r = rects[i];
    ASSERT_LT(r.left, r.right);
    ASSERT_LT(r.top, r.bottom);
    if (i == 0) continue;
    const SpanRect& p = rects[i - 1];
    if (p.top == r.top) {
      ASSERT_EQ(p.bottom, r.bottom) << "one band, one height";
      ASSERT_LT(p.right, r.left) << "rectangles of a band are apart and in order";
    } else {
      ASSERT_LE(p.bottom, r.top) << "bands in order without overlap";
    }
  }
}

void ExpectOddCoverage(const std::vector<SkinRun>& runs, int8_t runHeight, int32_t width, int32_t height) {
  Grid want{-20, -20, width + 20, height + 20, {}};
  want.count.assign(size_t(want.x1 - want.x0) * size_t(want.y1 - want.y0), 0);
  Grid got = want;
  Cover(want, 0, 0, width, height);
  for (const SkinRun& r : runs) Cover(want, r.left, r.top, r.right, r.top + runHeight);
  std::vector<SpanRect> rects = Spans(runs, runHeight, width, height);
  ExpectCanonical(rects);
  for (const SpanRect& r : rects) Cover(got, r.left, r.top, r.right, r.bottom);
  for (int32_t y = want.y0; y < want.y1; ++y)
    for (int32_t x = want.x0; x < want.x1; ++x) {
      ASSERT_EQ(want.At(x, y) % 2, got.At(x, y)) << "pixel " << x << "," << y;
    }
}

TEST(SkinSpansTest, UsualTableCutsEachRunOut) {
  // Rows 0 and 3 cut away whole, a notch on each side of rows 1 and 2.
  std::vector<SkinRun> runs = {{0, 0, 8}, {0, 1, 2}, {6, 1, 8}, {0, 2, 2}, {6, 2, 8}, {0, 3, 8}};
  std::vector<SpanRect> rects = Spans(runs, 1, 8, 4);
  // Rows 1 and 2 are the same band: one rectangle.
  ASSERT_EQ(1u, rects.size());
  EXPECT_EQ(2, rects[0].left);
  EXPECT_EQ(1, rects[0].top);
  EXPECT_EQ(6, rects[0].right);
  EXPECT_EQ(3, rects[0].bottom);
}

TEST(SkinSpansTest, NoRunsLeaveTheWholeRectangle) {
  std::vector<SpanRect> rects = Spans({}, 1, 575, 385);
  ASSERT_EQ(1u, rects.size());
  EXPECT_EQ(0, rects[0].left);
  EXPECT_EQ(0, rects[0].top);
  EXPECT_EQ(575, rects[0].right);
  EXPECT_EQ(385, rects[0].bottom);
}

TEST(SkinSpansTest, UnusualTablesFollowTheExclusiveOr) {
  struct Case {
    const char* name;
    std::vector<SkinRun> runs;
    int8_t runHeight;
  } cases[] = {
      {"overlapping runs", {{1, 1, 6}, {3, 1, 9}, {2, 0, 4}}, 2},
      {"runs outside the image", {{-5, -3, 2}, {10, 9, 14}, {4, 12, 30}}, 3},
      {"corners in reverse order", {{7, 2, 3}}, -2},
      {"empty runs", {{4, 4, 4}, {1, 1, 5}}, 0},
      {"a run cutting everything", {{0, 0, 12}}, 10},
      {"the same run twice", {{2, 2, 6}, {2, 2, 6}}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectOddCoverage(c.runs, c.runHeight, 12, 10);
  }
}

TEST(SkinSpansTest, RandomTablesFollowTheExclusiveOr) {
  std::mt19937 random(12345);
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    std::vector<SkinRun> runs(random() % 30);
    for (SkinRun& r : runs) {
      r.left = int16_t(int(random() % 40) - 5);
      r.right = int16_t(int(random() % 40) - 5);
      r.top = int16_t(int(random() % 30) - 5);
    }
    ExpectOddCoverage(runs, int8_t(int(random() % 7) - 2), 30, 20);
  }
}

// What the run table alone tells, before the image's size is known: never more rectangles than
// the outline has at any size, and for a dithered table nearly all of them.
TEST(SkinSpansTest, FewestSpansAreNeverMoreThanAnyImageSizeGives) {
  std::mt19937 random(2024);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    std::vector<SkinRun> runs(random() % 40);
    for (SkinRun& r : runs) {
      r.left = int16_t(int(random() % 16) - 2);
      r.right = int16_t(int(random() % 16) - 2);
      r.top = int16_t(int(random() % 14) - 2);
    }
    std::vector<uint8_t> block = MakeSkinBlock(0, 0, 0, {}, runs, int8_t(int(random() % 6) - 1));
    SkinBlockView view;
    ASSERT_TRUE(ReadSkinBlock(block.data(), block.size(), &view));
    std::vector<uint8_t> work(SkinSpanWorkBytes(SkinRunCount(view)));
    uint32_t fewest = FewestSkinSpans(view, work.data());
    for (int32_t width = 0; width <= 14; ++width)
      for (int32_t height = 0; height <= 12; ++height)
        ASSERT_LE(fewest, CollectSkinSpans(view, width, height, nullptr, 0, work.data())) << width << " x " << height;
  }

  std::vector<uint8_t> bmp = MakeBmp(CheckeredRows(575, 385, 1, UINT32_MAX));
  SkinImageView image;
  ASSERT_TRUE(ReadSkinImage(bmp.data(), bmp.size(), &image));
  std::vector<SkinRun> runs(CollectKeyColourRuns(image, nullptr, 0));
  CollectKeyColourRuns(image, runs.data(), uint32_t(runs.size()));
  std::vector<uint8_t> block = MakeSkinBlock(0, 0, 0, {}, runs);
  SkinBlockView view;
  ASSERT_TRUE(ReadSkinBlock(block.data(), block.size(), &view));
  std::vector<uint8_t> work(SkinSpanWorkBytes(SkinRunCount(view)));
  uint32_t rects = CollectSkinSpans(view, 575, 385, nullptr, 0, work.data());
  EXPECT_EQ(385u * 287, rects);  // 385 rows of 286 squares, each row one rectangle more
  EXPECT_GT(FewestSkinSpans(view, work.data()), rects - rects / 50);
}

}  // namespace

// The work space's size wrapped in a 32-bit program: 76,695,844 runs asked for 24 bytes.
TEST(SkinSpanWorkBytes, RefusesWhatCannotBeAddressed) {
  const uint64_t Largest32 = UINT32_MAX;
  struct Case {
    uint32_t runCount;
    uint64_t largest;
    uint64_t bytes;
  } cases[] = {
      {0, Largest32, 56},
      {1, Largest32, 112},
      {76695843, Largest32, 4294967264u},  // the most a 32-bit address space can take
      {76695844, Largest32, 0},            // 4,294,967,320 bytes: wrapped to 24 before
      {UINT32_MAX / 6, Largest32, 0},      // the most runs a block can name
      {UINT32_MAX, Largest32, 0},
      {UINT32_MAX, UINT64_MAX, (uint64_t(UINT32_MAX) + 1) * 56},
      {76695844, UINT64_MAX, 4294967320u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.runCount));
    EXPECT_EQ(SkinSpanWorkBytesWithin(c.runCount, c.largest), c.bytes);
  }
  // This program's own width: the size either fits in size_t or is refused.
  EXPECT_EQ(uint64_t(SkinSpanWorkBytes(76695844)), sizeof(size_t) == 4 ? 0u : 4294967320u);
  EXPECT_EQ(SkinSpanWorkBytes(3), 224u);
}
