// The checks made on BMP and icon files before the platform reads them: well-formed files of
// every kind pass with their layout, and each malformed case is refused for the field it breaks.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "image_test_data.h"
#include "skin/image_headers.h"

namespace {

Bytes Palette8Bmp() {
  // 3 x 2, 8 bits, two colours in use.
  Bytes pixels = {0, 1, 0, 0, 1, 0, 1, 0};
  return MakeBmpFile(3, 2, 8, {0x00FF0000, 0x000000FF}, pixels);
}

TEST(BmpLayoutTest, WellFormedFilesGiveTheirLayout) {
  struct Case {
    const char* name;
    Bytes file;
    int32_t height;
    uint32_t rows;
    uint16_t bits;
  } cases[] = {
      {"24-bit bottom-up", MakeSolidBmp(5, 3, 0x123456), 3, 3, 24},
      {"24-bit top-down", MakeSolidBmp(5, -3, 0x123456), -3, 3, 24},
      {"8-bit palette", Palette8Bmp(), 2, 2, 8},
      {"32-bit", MakeBmpFile(2, 2, 32, {}, Bytes(16, 7)), 2, 2, 32},
      {"1-bit", MakeBmpFile(9, 1, 1, {0, 0xFFFFFF}, Bytes(4, 0xAA)), 1, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BmpLayout layout;
    ASSERT_TRUE(ReadBmpLayout(c.file.data(), c.file.size(), &layout));
    EXPECT_EQ(c.height, layout.height);
    EXPECT_EQ(c.rows, layout.rows);
    EXPECT_EQ(c.bits, layout.bitCount);
    EXPECT_EQ(14u, layout.infoOffset);
    EXPECT_EQ(c.file.size() - size_t(RowBytes(layout.width, c.bits)) * c.rows, layout.pixelOffset);
    EXPECT_TRUE(ReadBmpLayout(c.file.data(), ImageSizeUnknown, &layout));
  }
}

TEST(BmpLayoutTest, RefusesWhatItCannotBoundOrConvert) {
  struct Case {
    const char* name;
    std::function<void(Bytes&)> spoil;
    bool refusedWithoutSize;  // also refused when the size is not known
  } cases[] = {
      {"last pixel byte missing", [](Bytes& b) { b.pop_back(); }, false},
      {"pixel offset past the end", [](Bytes& b) { Put32(b, 10, uint32_t(b.size())); }, false},
      {"pixel offset wraps", [](Bytes& b) { Put32(b, 10, 0xFFFFFFF0u); }, false},
      {"height claims more rows", [](Bytes& b) { Put32(b, 22, 4); }, false},
      {"colour table claims 256 entries", [](Bytes& b) { Put32(b, 46, 256); }, false},
      {"cut inside the info header", [](Bytes& b) { b.resize(30); }, false},
      {"cut inside the file header", [](Bytes& b) { b.resize(10); }, false},
      {"not BM", [](Bytes& b) { b[1] = 'A'; }, true},
      {"core header", [](Bytes& b) { Put32(b, 14, 12); }, true},
      {"unknown header size", [](Bytes& b) { Put32(b, 14, 64000); }, true},
      {"zero width", [](Bytes& b) { Put32(b, 18, 0); }, true},
      {"negative width", [](Bytes& b) { Put32(b, 18, uint32_t(-3)); }, true},
      {"zero height", [](Bytes& b) { Put32(b, 22, 0); }, true},
      {"width past 16 bits", [](Bytes& b) { Put32(b, 18, 32768); }, true},
      {"height below -32767", [](Bytes& b) { Put32(b, 22, uint32_t(-32768)); }, true},
      {"12 bits per pixel", [](Bytes& b) { Put16(b, 28, 12); }, true},
      {"JPEG data", [](Bytes& b) { Put32(b, 30, 4); }, true},
      {"4-bit run-length data in an 8-bit file", [](Bytes& b) { Put32(b, 30, 2); }, true},
      {"bit fields with 8 bits", [](Bytes& b) { Put32(b, 30, 3); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file = Palette8Bmp();
    c.spoil(file);
    BmpLayout layout;
    EXPECT_FALSE(ReadBmpLayout(file.data(), file.size(), &layout));
    if (c.refusedWithoutSize) EXPECT_FALSE(ReadBmpLayout(file.data(), ImageSizeUnknown, &layout));
  }
  BmpLayout layout;
  EXPECT_FALSE(ReadBmpLayout(nullptr, 100, &layout));
}

TEST(BmpLayoutTest, RunLengthDataIsBoundedByItsStatedLength) {
  Bytes rle = {2, 1, 0, 1};  // two pixels of colour 1, end of bitmap
  Bytes file = MakeBmpFile(2, 1, 8, {0, 0xFFFFFF}, rle, 1);
  BmpLayout layout;
  EXPECT_TRUE(ReadBmpLayout(file.data(), file.size(), &layout));
  Put32(file, 34, 5);  // one byte more than there is
  EXPECT_FALSE(ReadBmpLayout(file.data(), file.size(), &layout));
  Put32(file, 34, 0);  // no length: nothing bounds the platform's read
  EXPECT_FALSE(ReadBmpLayout(file.data(), file.size(), &layout));
  Put32(file, 34, 4);
  Put32(file, 22, uint32_t(-1));  // run-length data has no top-down form
  EXPECT_FALSE(ReadBmpLayout(file.data(), file.size(), &layout));
}

TEST(IconImageTest, TakesTheFirstImageWhateverTheCount) {
  Bytes file = MakeIconFile({MakeIconImage(16, 0xFF0000), MakeIconImage(32, 0x0000FF)}, {16, 32});
  IconImageSpan span;
  ASSERT_TRUE(ReadIconImage(file.data(), file.size(), &span));
  EXPECT_EQ(6u + 2 * 16, span.offset);
  EXPECT_EQ(MakeIconImage(16, 0).size(), span.size);
  EXPECT_EQ(16, span.width);
  EXPECT_EQ(32, span.height);
  EXPECT_EQ(32, span.bitCount);
  EXPECT_FALSE(span.png);

  Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13};
  Bytes pngIcon = MakeIconFile({png}, {0});
  ASSERT_TRUE(ReadIconImage(pngIcon.data(), pngIcon.size(), &span));
  EXPECT_TRUE(span.png);
}

TEST(IconImageTest, RefusesEntriesAndImagesOutsideTheFile) {
  struct Case {
    const char* name;
    std::function<void(Bytes&)> spoil;
    bool refusedWithoutSize;
  } cases[] = {
      {"image cut short", [](Bytes& b) { b.pop_back(); }, false},
      {"image offset past the end", [](Bytes& b) { Put32(b, 18, uint32_t(b.size())); }, false},
      {"image size wraps past the end", [](Bytes& b) { Put32(b, 14, 0xFFFFFFF0u); }, false},
      {"directory entry cut", [](Bytes& b) { b.resize(20); }, false},
      {"reserved word set", [](Bytes& b) { Put16(b, 0, 1); }, true},
      {"cursor file", [](Bytes& b) { Put16(b, 2, 2); }, true},
      {"no entries", [](Bytes& b) { Put16(b, 4, 0); }, true},
      {"image smaller than its header", [](Bytes& b) { Put32(b, 14, 39); }, true},
      {"header claims more rows than the image holds", [](Bytes& b) { Put32(b, 22 + 8, 64); }, true},
      {"header claims a wider image", [](Bytes& b) { Put32(b, 22 + 4, 17); }, true},
      {"zero width", [](Bytes& b) { Put32(b, 22 + 4, 0); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file = MakeIconFile({MakeIconImage(16, 0xFF0000)}, {16});
    c.spoil(file);
    IconImageSpan span;
    EXPECT_FALSE(ReadIconImage(file.data(), file.size(), &span));
    if (c.refusedWithoutSize) EXPECT_FALSE(ReadIconImage(file.data(), ImageSizeUnknown, &span));
  }
}

}  // namespace
