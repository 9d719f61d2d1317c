// skinpack.exe's PNG reader, the system's WIC, on the PNG files of png_fixtures.h: the skin BMP that
// libpng gives on the host for every ordinary form, what WIC reports of each file, refusals of
// damaged files with a message, and sizes refused before a decoder sees the file.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "artwork.h"
#include "png_fixtures.h"
#include "skin/skin_runs.h"

namespace {

using namespace artwork_fixtures;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

struct Converted {
  bool ok = false;
  Bytes bmp;
  ArtworkReport report;
  std::string error;
};

Converted Convert(const Bytes& file) {
  Converted c;
  c.ok = ConvertToSkinBmp(file, &c.bmp, &c.report, &c.error);
  return c;
}

TEST(SkinArtworkWic, StoredPngFilesGiveTheSameSkinBmpAsLibpng) {
  for (const StoredPngCase& c : StoredPngCases()) {
    SCOPED_TRACE(c.what);
    Converted out = Convert(c.file);
    ASSERT_TRUE(out.ok) << out.error;
    EXPECT_TRUE(out.bmp == SkinBmpOf(Draw(c.expect)));
    EXPECT_EQ(out.report.width * 1000 + out.report.height, c.expect[0].size() * 1000 + c.expect.size());
  }
}

// Colour with 16-bit samples, interlaced: the host's libpng 1.6.39 places rows of the early passes
// wrongly through the same reader, WIC does not.
TEST(SkinArtworkWic, SixteenBitColourInterlaced) {
  const std::vector<std::string> nine = NineByNine("mrtlhgbwk");
  EXPECT_TRUE(Convert(StoredPng(Draw(Opaque), PngOf(PngRgb, 16, true))).bmp == SkinBmpOf(Draw(Opaque)));
  EXPECT_TRUE(Convert(StoredPng(Draw(nine), PngOf(PngRgbAlpha, 16, true))).bmp == SkinBmpOf(Draw(CutAway(nine))));
}

// The kind named in skinpack's message and whether the picture had transparency: as libpng names
// them, except where WIC's formats cannot tell (see png_artwork_wic.cpp).
TEST(SkinArtworkWic, ReportsTheFilesKindFromTheDecodersFormat) {
  StoredPngForm opaquePalette = PngOf(PngPalette, 4);
  opaquePalette.paletteAlpha = false;
  struct Case {
    Bytes file;
    const char* kind;
    bool hasAlpha;
  };
  const Case cases[] = {
      {StoredPng(Draw(Opaque), PngOf(PngRgb, 8)), "PNG, colour", false},
      {StoredPng(Draw(Alpha), PngOf(PngRgbAlpha, 8)), "PNG, colour with alpha", true},
      {StoredPng(Draw(Alpha), PngOf(PngRgbAlpha, 16)), "PNG, colour with alpha, 16 bits", true},
      {StoredPng(Draw(Opaque), PngOf(PngRgb, 16)), "PNG, colour, 16 bits", false},
      {StoredPng(Draw(Grey), PngOf(PngGrey, 8)), "PNG, grey", false},
      {StoredPng(Draw(TwoColour), PngOf(PngGrey, 1)), "PNG, grey", false},
      {StoredPng(Draw(Grey), PngOf(PngGrey, 16)), "PNG, grey, 16 bits", false},
      {StoredPng(Draw(Alpha), PngOf(PngPalette, 8)), "PNG, palette with alpha", true},
      {StoredPng(Draw(Opaque), opaquePalette), "PNG, palette", false},
      {StoredPng(Draw(GreyAlpha), PngOf(PngGreyAlpha, 8)), "PNG, colour with alpha", true},  // libpng: grey
  };
  for (const Case& c : cases) {
    Converted out = Convert(c.file);
    ASSERT_TRUE(out.ok) << c.kind << ": " << out.error;
    EXPECT_EQ(out.report.kind, c.kind);
    EXPECT_EQ(out.report.hasAlpha, c.hasAlpha) << c.kind;
  }
  Converted alpha = Convert(StoredPng(Draw(Alpha), PngOf(PngRgbAlpha, 8)));
  EXPECT_EQ(alpha.report.cutPixels, 5u);      // three t (alpha 0), two l (127)
  EXPECT_EQ(alpha.report.partialPixels, 4u);  // two l, two h (128)
}

// Where the two readers differ by design: 16-bit samples off the v * 257 grid. libpng rounds
// each sample s to s / 257, WIC keeps its high byte: at most 1 apart, and the same pixels cut.
TEST(SkinArtworkWic, SixteenBitSamplesComeWithinOneOfLibpng) {
  for (int low : {0x00, 0x7F, 0x80, 0xFF}) {
    StoredPngForm form = PngOf(PngRgbAlpha, 16);
    form.lowByte = low;
    Converted out = Convert(StoredPng(Draw(Alpha), form));
    ASSERT_TRUE(out.ok) << out.error;
    Picture libpng = Draw(Alpha);
    for (Rgba& p : libpng.pixels) {
      for (uint8_t* c : {&p.r, &p.g, &p.b, &p.a}) *c = uint8_t((*c * 256 + low + 128) / 257);
      if (p.a < ArtworkAlphaCut) p = PixelOf('m');
    }
    const Bytes expect = SkinBmpOf(libpng);
    ASSERT_EQ(out.bmp.size(), expect.size());
    for (size_t i = 0; i < expect.size(); ++i)
      EXPECT_LE(std::abs(int(out.bmp[i]) - int(expect[i])), 1) << "low byte " << low << ", byte " << i;
  }
}

// A PNG cut anywhere, or with damaged image data, is refused with a message or (where the cut
// took nothing the picture needs, such as IEND) gives the whole picture.
TEST(SkinArtworkWic, CutOrDamagedFilesAreRefusedWithAMessage) {
  for (const StoredPngCase& c : StoredPngCases()) {
    SCOPED_TRACE(c.what);
    const Bytes expect = SkinBmpOf(Draw(c.expect));
    for (size_t n = 8; n < c.file.size(); ++n) {
      Converted out = Convert(Bytes(c.file.begin(), c.file.begin() + n));
      if (out.ok)
        EXPECT_TRUE(out.bmp == expect) << "cut to " << n << " bytes";
      else
        EXPECT_TRUE(Contains(out.error, "PNG: ")) << "cut to " << n << " bytes: " << out.error;
    }
  }
  const Bytes png = StoredPng(Draw(Alpha), PngOf(PngRgbAlpha, 8));
  const size_t idatData = 8 + 25 + 8;
  Bytes badBlockType = png, badStoredLength = png;
  badBlockType[idatData + 2] = 0x07;  // final block of the reserved type 3
  badStoredLength[idatData + 5] ^= 0xFF;  // LEN and ~LEN disagree
  for (const Bytes& bad : {badBlockType, badStoredLength}) {
    // The chunk's CRC made right again: only the deflate stream is wrong.
    Bytes file = bad;
    const uint32_t length = uint32_t(file[33]) << 24 | uint32_t(file[34]) << 16 | uint32_t(file[35]) << 8 | file[36];
    const uint32_t crc = PngCrc(file.data() + 37, 4 + length);
    for (int i = 0; i < 4; ++i) file[37 + 4 + length + i] = uint8_t(crc >> (24 - 8 * i));
    Converted out = Convert(file);
    EXPECT_FALSE(out.ok);
    EXPECT_TRUE(Contains(out.error, "PNG: the ")) << out.error;
  }
}

// A file that declares a size a skin cannot have is refused on its header alone, with the size
// named: the decoder never sees it (Wine's would decode all rows, allocating, as it opens it).
TEST(SkinArtworkWic, RefusesSizesFromTheHeaderBeforeDecoding) {
  struct Case {
    uint32_t width, height;
    const char* reason;
  };
  const Case cases[] = {
      {40000, 1, "PNG: the image is 40000 x 1, larger than a skin allows"},
      {1, 32768, "PNG: the image is 1 x 32768, larger than a skin allows"},
      {30000, 30000, "PNG: the image is 30000 x 30000: its 24-bit BMP of"},
      {0xFFFFFFFFu, 0xFFFFFFFFu, "larger than a skin allows"},
      {0, 3, "PNG: the image is empty (0 x 3)"},
  };
  Bytes idat;
  StoredPngChunks(Draw(Opaque), PngOf(PngRgbAlpha, 8), &idat);
  for (const Case& c : cases) {
    Bytes file = PngSignature();
    AppendPngChunk(file, "IHDR", PngHeaderChunk(c.width, c.height, 8, PngRgbAlpha, false));
    AppendPngChunk(file, "IDAT", idat);
    AppendPngChunk(file, "IEND", {});
    Converted out = Convert(file);
    EXPECT_FALSE(out.ok) << c.reason;
    EXPECT_TRUE(Contains(out.error, c.reason)) << out.error;
  }
}

// A thread that has not started COM gets a message from the reader, as a system without WIC would.
TEST(SkinArtworkWic, WithoutComTheReaderSaysWhatIsMissing) {
  Converted out;
  std::thread([&out] { out = Convert(StoredPng(Draw(Opaque), PngOf(PngRgb, 8))); }).join();
  EXPECT_FALSE(out.ok);
  EXPECT_TRUE(Contains(out.error, "PNG: the Windows Imaging Component (WIC) is not available")) << out.error;
  EXPECT_TRUE(Contains(out.error, "(0x800401F0)")) << out.error;  // CO_E_NOTINITIALIZED
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  StartArtworkReaders();
  return RUN_ALL_TESTS();
}
