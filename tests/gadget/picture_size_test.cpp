// Picture gadget sizing rules, without the platform.
#include "gadget/picture_size.h"

#include <gtest/gtest.h>

namespace {

TEST(PictureSize, IconSizeComesFromTheColourBitmapOrHalfTheMask) {
  const struct {
    const char* name;
    IconBitmapInfo colour, mask;
    PictureExtent expected;
  } cases[] = {
      {"colour icon", {true, 32, 32}, {true, 32, 32}, {32, 32, true}},
      {"colour wins over mask", {true, 48, 16}, {true, 48, 32}, {48, 16, true}},
      {"monochrome icon", {false, 0, 0}, {true, 32, 64}, {32, 32, true}},
      {"no bitmaps", {false, 0, 0}, {false, 0, 0}, {0, 0, false}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PictureExtent size = IconExtent(c.colour, c.mask);
    EXPECT_EQ(c.expected.known, size.known);
    EXPECT_EQ(c.expected.width, size.width);
    EXPECT_EQ(c.expected.height, size.height);
  }
}

TEST(PictureSize, ControlSizeAddsTheSunkenEdgeAndKeepsUnknownSizesUnknown) {
  const struct {
    PictureExtent picture;
    bool sunken;
    PictureExtent expected;
  } cases[] = {
      {{575, 385, true}, false, {575, 385, true}},
      {{575, 385, true}, true, {579, 389, true}},
      {{1, 1, true}, true, {5, 5, true}},
      {{0, 0, false}, true, {0, 0, false}},
      {{0, 385, true}, false, {0, 0, false}},
      {{575, -3, true}, true, {0, 0, false}},
  };
  for (const auto& c : cases) {
    PictureExtent size = ControlExtentFor(c.picture, c.sunken);
    EXPECT_EQ(c.expected.known, size.known);
    EXPECT_EQ(c.expected.width, size.width);
    EXPECT_EQ(c.expected.height, size.height);
  }
}

}  // namespace
