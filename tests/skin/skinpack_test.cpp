// The skin packer: packing small BMPs, unpacking and describing skins, and its refusals; reading
// artwork in every accepted form; the check of the buttons against cut-away pixels.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "artwork.h"
#include "artwork_fixtures.h"
#include "png_fixtures.h"
#include "button_check.h"
#include "skin/byte_order.h"
#include "skin/jc_stream.h"
#include "skin/skin_runs.h"
#include "skin/skin_spans.h"
#include "jc_encoder.h"
#include "jc_reference.h"
#include "pe_file.h"
#include "pe_test_files.h"
#include "reskin.h"
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

// The encoder's choices are pinned, ties included: the same input gives the same stream byte for
// byte, so a faster search cannot quietly change what it picks. Each input may have a run of one
// byte put in its middle, for matches longer than the lengths the parse prices one by one. The
// sizes and FNV-1a hashes are those of the streams the encoder wrote when they were recorded.
TEST(SkinPack, EncoderStreamsStayTheSame) {
  struct Case {
    uint32_t seed;
    size_t size;
    size_t run;
    size_t streamSize;
    uint32_t hash;
  };
  const Case cases[] = {{1, 3500, 0, 1906, 0x9D54D35Bu},
                        {20, 9000, 3000, 4818, 0x99ED49DCu},
                        {7, 18500, 700, 11070, 0x3B7828F0u},
                        {28, 81000, 5000, 45982, 0x7D093364u}};
  for (const Case& c : cases) {
    SCOPED_TRACE("seed " + std::to_string(c.seed));
    Bytes input = EncoderInput(c.seed, c.size);
    input.insert(input.begin() + long(c.size / 2), c.run, uint8_t(0x41));
    JcEncodeReport report;
    Bytes stream = EncodeJcStream(input.data(), input.size(), &report);
    uint32_t hash = 2166136261u;
    for (uint8_t byte : stream) hash = (hash ^ byte) * 16777619u;
    EXPECT_EQ(stream.size(), c.streamSize);
    EXPECT_EQ(hash, c.hash) << std::hex << hash;
  }
}

// The committed skin packs to a stream no larger than it did (30,034 bytes, header included; the
// hash-chain search before gave 30,214) and decodes back to the picture: a quicker search or parse
// must not cost the launcher's own skin bytes.
TEST(SkinPack, CommittedSkinPacksNoLargerThanBefore) {
  Bytes committed;
  if (FILE* f = std::fopen(ZINDLE_COMMITTED_SKIN_PATH, "rb")) {
    for (int c; (c = std::fgetc(f)) != EOF;) committed.push_back(uint8_t(c));
    std::fclose(f);
  }
  ASSERT_EQ(committed.size(), 665334u) << ZINDLE_COMMITTED_SKIN_PATH;
  JcEncodeReport report;
  Bytes stream = EncodeJcStream(committed.data(), committed.size(), &report);
  EXPECT_LE(stream.size(), 30034u);
  Bytes out(committed.size());
  EXPECT_EQ(DecodeJcStream(stream.data(), stream.size(), out.data()), committed.size());
  EXPECT_TRUE(out == committed);
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

// The program itself: exit codes and messages (stdout and stderr go to `output`), run in `folder`
// when one is given.
int RunSkinpack(const std::string& args, std::string* output, const std::string& folder = "") {
  std::string log = testing::TempDir() + "skinpack_test.log";
  // A memory limit well below 4 GB: a refusal must come before any attempt to allocate.
  std::string command = (folder.empty() ? "" : "cd '" + folder + "' && ") + "ulimit -v 1000000; " +
                        std::string(ZINDLE_SKINPACK_PATH) + " " + args + " >" + log + " 2>&1";
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

// ---- Artwork: every accepted form of one picture gives the same skin BMP.

using namespace artwork_fixtures;

BmpForm Bmp(uint16_t bits, uint32_t headerSize = 40, bool topDown = false) {
  BmpForm f;
  f.bits = bits;
  f.headerSize = headerSize;
  f.topDown = topDown;
  return f;
}

BmpForm Bitfields(uint32_t headerSize, bool topDown, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
  BmpForm f = Bmp(32, headerSize, topDown);
  f.compression = 3;
  f.redMask = r, f.greenMask = g, f.blueMask = b, f.alphaMask = a;
  return f;
}

struct ArtworkCase {
  const char* what;
  Bytes file;
  std::vector<std::string> expect;  // the skin BMP's picture
};

std::vector<ArtworkCase> ArtworkCases() {
  BmpForm rgb32 = Bmp(32);
  BmpForm rgb32Alpha = Bmp(32, 40, true);
  rgb32Alpha.alphaMask = 0xFF000000;
  BmpForm full8 = Bmp(8, 40, true);
  full8.fullPalette = true;
  return {
      {"BMP 24 bits bottom-up", WriteBmp(Draw(Opaque), Bmp(24)), Opaque},
      {"BMP 24 bits top-down", WriteBmp(Draw(Opaque), Bmp(24, 40, true)), Opaque},
      {"BMP 24 bits top-down, V5 header", WriteBmp(Draw(Opaque), Bmp(24, 124, true)), Opaque},
      {"BMP 32 bits BI_RGB, fourth byte 0", WriteBmp(Draw(Opaque), rgb32), Opaque},
      {"BMP 32 bits BI_RGB top-down, fourth byte alpha", WriteBmp(Draw(Alpha), rgb32Alpha), AlphaCut},
      {"BMP 32 bits BI_BITFIELDS after a 40-byte header, R G B X",
       WriteBmp(Draw(Opaque), Bitfields(40, false, 0xFF, 0xFF00, 0xFF0000, 0)), Opaque},
      {"BMP 32 bits BI_BITFIELDS V5 top-down with alpha",
       WriteBmp(Draw(Alpha), Bitfields(124, true, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)), AlphaCut},
      {"BMP 32 bits BI_BITFIELDS V3, 10-bit colour and 2-bit alpha",
       WriteBmp(Draw(Alpha), Bitfields(56, false, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000)), AlphaCut},
      {"BMP 8 bits, 6 colours", WriteBmp(Draw(Opaque), Bmp(8)), Opaque},
      {"BMP 8 bits top-down, 256-entry table stated as 0", WriteBmp(Draw(Opaque), full8), Opaque},
      {"BMP 4 bits", WriteBmp(Draw(Opaque), Bmp(4)), Opaque},
      {"BMP 1 bit", WriteBmp(Draw(TwoColour), Bmp(1)), TwoColour},
      {"PNG RGB 8", WritePng(Draw(Opaque), {PNG_COLOR_TYPE_RGB, 8}), Opaque},
      {"PNG RGBA 8", WritePng(Draw(Alpha), {PNG_COLOR_TYPE_RGB_ALPHA, 8}), AlphaCut},
      {"PNG RGBA 16", WritePng(Draw(Alpha), {PNG_COLOR_TYPE_RGB_ALPHA, 16}), AlphaCut},
      {"PNG RGBA 8 interlaced", WritePng(Draw(Alpha), {PNG_COLOR_TYPE_RGB_ALPHA, 8, true}), AlphaCut},
      {"PNG palette 8 with tRNS", WritePng(Draw(Alpha), {PNG_COLOR_TYPE_PALETTE, 8}), AlphaCut},
      {"PNG palette 4", WritePng(Draw(Opaque), {PNG_COLOR_TYPE_PALETTE, 4}), Opaque},
      {"PNG grey 8", WritePng(Draw(Grey), {PNG_COLOR_TYPE_GRAY, 8}), Grey},
      {"PNG grey 1", WritePng(Draw(TwoColour), {PNG_COLOR_TYPE_GRAY, 1}), TwoColour},
      {"PNG grey with alpha 8", WritePng(Draw(GreyAlpha), {PNG_COLOR_TYPE_GRAY_ALPHA, 8}), GreyAlphaCut},
  };
}

// The readers get buffers of exactly the file's size, so that AddressSanitizer sees any read past it.
bool Convert(const Bytes& file, Bytes* bmp, ArtworkReport* report, std::string* error) {
  Bytes exact(file.begin(), file.end());
  return ConvertToSkinBmp(exact, bmp, report, error);
}

TEST(SkinArtwork, EveryAcceptedFormGivesTheSame24BitSkinBmp) {
  for (const ArtworkCase& c : ArtworkCases()) {
    SCOPED_TRACE(c.what);
    Bytes bmp;
    ArtworkReport report;
    std::string error;
    ASSERT_TRUE(Convert(c.file, &bmp, &report, &error)) << error;
    EXPECT_TRUE(bmp == SkinBmpOf(Draw(c.expect)));
    EXPECT_EQ(report.width, c.expect[0].size());
    EXPECT_EQ(report.height, c.expect.size());
    SkinImageView view;
    EXPECT_TRUE(ReadSkinImage(bmp.data(), bmp.size(), &view));
  }
}

TEST(SkinArtwork, ReportsWhatTransparencyBecame) {
  Bytes bmp;
  ArtworkReport report;
  std::string error;
  ASSERT_TRUE(Convert(WritePng(Draw(Alpha), {}), &bmp, &report, &error)) << error;
  EXPECT_FALSE(report.unchanged);
  EXPECT_TRUE(report.hasAlpha);
  EXPECT_EQ(report.cutPixels, 5u);      // three t (alpha 0), two l (127)
  EXPECT_EQ(report.partialPixels, 4u);  // two l, two h (128)
  ASSERT_TRUE(Convert(SkinBmpOf(Draw(Opaque)), &bmp, &report, &error)) << error;
  EXPECT_TRUE(report.unchanged);
  EXPECT_FALSE(report.hasAlpha);
}

// The PNG files written byte by byte, on which the Windows reader (WIC) is tested against the same
// pictures: libpng reads each of them as expected, so the two readers agree on them.
TEST(SkinArtwork, StoredPngFilesGiveTheExpectedSkinBmp) {
  for (const StoredPngCase& c : StoredPngCases()) {
    SCOPED_TRACE(c.what);
    Bytes bmp;
    ArtworkReport report;
    std::string error;
    ASSERT_TRUE(Convert(c.file, &bmp, &report, &error)) << error;
    EXPECT_TRUE(bmp == SkinBmpOf(Draw(c.expect)));
  }
}

// Colour with 16-bit samples and interlacing: the distribution's libpng (1.6.39) places rows of
// the early passes wrongly through the reader the tool uses, so the host tool refuses that one
// form with a way out rather than pack a scrambled picture (skinpack.exe on Windows reads it).
TEST(SkinArtwork, SixteenBitInterlacedColourPngIsRefusedOnTheHost) {
  const std::vector<std::string> nine = NineByNine("mrtlhgbwk");
  for (const Bytes& file : {StoredPng(Draw(Opaque), PngOf(PngRgb, 16, true)),
                            StoredPng(Draw(nine), PngOf(PngRgbAlpha, 16, true))}) {
    Bytes bmp;
    ArtworkReport report;
    std::string error;
    EXPECT_FALSE(Convert(file, &bmp, &report, &error));
    EXPECT_NE(std::string::npos, error.find("16-bit interlaced colour PNG")) << error;
  }
  // The same pictures without interlacing, and 16-bit interlaced grey, are read as drawn.
  Bytes bmp;
  ArtworkReport report;
  std::string error;
  ASSERT_TRUE(Convert(StoredPng(Draw(nine), PngOf(PngRgbAlpha, 16)), &bmp, &report, &error)) << error;
  EXPECT_TRUE(bmp == SkinBmpOf(Draw(CutAway(nine))));
  ASSERT_TRUE(Convert(StoredPng(Draw(Grey), PngOf(PngGrey, 16, true)), &bmp, &report, &error)) << error;
  EXPECT_TRUE(bmp == SkinBmpOf(Draw(Grey)));
}

// Every shortened copy of every accepted file is refused with a message, or (where the end held
// nothing the picture needs) still gives the same picture; none is read past its end.
TEST(SkinArtwork, ShortenedFilesAreRefusedWithoutReadingPastTheirEnd) {
  for (const ArtworkCase& c : ArtworkCases()) {
    SCOPED_TRACE(c.what);
    const Bytes expect = SkinBmpOf(Draw(c.expect));
    for (size_t n = 0; n < c.file.size(); ++n) {
      Bytes bmp;
      ArtworkReport report;
      std::string error;
      if (Convert(Bytes(c.file.begin(), c.file.begin() + n), &bmp, &report, &error))
        EXPECT_TRUE(bmp == expect) << "cut to " << n << " bytes";
      else
        EXPECT_FALSE(error.empty()) << "cut to " << n << " bytes";
    }
  }
}

Bytes WithField32(Bytes file, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) file[at + i] = uint8_t(v >> (8 * i));
  return file;
}
Bytes WithField16(Bytes file, size_t at, uint16_t v) {
  file[at] = uint8_t(v);
  file[at + 1] = uint8_t(v >> 8);
  return file;
}

TEST(SkinArtwork, RefusesWhatItCannotTakeWithAReason) {
  const Bytes bmp8 = WriteBmp(Draw(Opaque), Bmp(8));
  const Bytes bmp4 = WriteBmp(Draw(Opaque), Bmp(4));
  const Bytes bmp24 = WriteBmp(Draw(Opaque), Bmp(24));
  const Bytes bmp32 = WriteBmp(Draw(Opaque), Bmp(32, 40, true));
  const Bytes bitfields = WriteBmp(Draw(Opaque), Bitfields(40, false, 0xFF0000, 0xFF00, 0xFF, 0));
  const Bytes png = WritePng(Draw(Alpha), {});
  BmpForm rle8 = Bmp(8), rle4 = Bmp(4), sixteen = Bmp(16);
  rle8.compression = 1;
  rle4.compression = 2;
  const Bytes header12 = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 26, 0, 0, 0, 12, 0, 0, 0, 5, 0, 3, 0, 1, 0, 24, 0};
  const std::string wideLine(40000, 'k');
  struct Refusal {
    const char* what;
    Bytes file;
    const char* reason;
  };
  const Refusal refusals[] = {
      {"RLE8", WriteBmp(Draw(Opaque), rle8), "RLE-compressed (RLE8)"},
      {"RLE4", WriteBmp(Draw(Opaque), rle4), "RLE-compressed (RLE4)"},
      {"16 bits", WriteBmp(Draw(Opaque), sixteen), "16-bit images are not accepted"},
      {"embedded PNG", WithField32(bmp24, 30, 5), "holding JPEG or PNG data"},
      {"bit fields at 24 bits", WithField32(bmp24, 30, 3), "bit fields with 24 bits"},
      {"2 bits", WithField16(bmp8, 28, 2), "2 bits per pixel"},
      {"OS/2 header", header12, "OS/2"},
      {"unknown header size", WithField32(bmp24, 14, 20), "unknown header size 20"},
      {"width 32768", WithField32(bmp32, 18, 32768), "larger than a skin allows"},
      {"24-bit bottom-up, 32768 high", WithField32(bmp24, 22, 32768), "larger than a skin allows"},
      {"top-down, 32768 high", WithField32(bmp32, 22, uint32_t(-32768)), "larger than a skin allows"},
      {"PNG 40000 wide", WritePng(Draw({wideLine}), {PNG_COLOR_TYPE_GRAY, 1}), "larger than a skin allows"},
      {"width 0", WithField32(bmp32, 18, 0), "bad size 0 x -3"},
      {"two planes", WithField16(bmp24, 26, 2), "2 planes"},
      {"non-contiguous mask", WriteBmp(Draw(Opaque), Bitfields(40, false, 0xF0F000, 0xFF00, 0xFF, 0)), "not contiguous"},
      {"24-bit pixels cut short", Bytes(bmp24.begin(), bmp24.end() - 1), "truncated: the pixel rows"},
      {"32-bit pixels cut short", Bytes(bmp32.begin(), bmp32.end() - 1), "truncated: the pixel rows"},
      {"headers cut short", Bytes(bmp24.begin(), bmp24.begin() + 30), "truncated: the headers"},
      {"bit-field masks cut short", Bytes(bitfields.begin(), bitfields.begin() + 60), "the bit-field masks are missing"},
      {"colour table stated larger than the file", WithField32(bmp8, 46, 200), "colour table is incomplete"},
      {"pixel data offset inside the headers", WithField32(bmp32, 10, 40), "inside the headers"},
      {"colour index beyond the table", WithField32(bmp4, 46, 3), "uses colour 3 beyond the colour table of 3"},
      {"PNG cut short", Bytes(png.begin(), png.begin() + png.size() / 2), "PNG: "},
      {"PNG signature only", Bytes(png.begin(), png.begin() + 8), "PNG: "},
      {"JPEG", {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F'}, "a JPEG image is not accepted"},
      {"text named .png", {'h', 'e', 'l', 'l', 'o'}, "not a PNG or BMP image"},
      {"empty file", {}, "the file is empty"},
  };
  for (const Refusal& r : refusals) {
    Bytes bmp;
    ArtworkReport report;
    std::string error;
    EXPECT_FALSE(Convert(r.file, &bmp, &report, &error)) << r.what;
    EXPECT_TRUE(Contains(error, r.reason)) << r.what << ": " << error;
  }
}

// The committed artwork is already a skin BMP and is kept byte for byte; the PNG an artist would
// export from it (KeyColour as transparency) converts back to exactly the same file.
TEST(SkinArtwork, CommittedSkinAndItsPngExportGiveTheSameBmp) {
  Bytes committed;
  if (FILE* f = std::fopen(ZINDLE_COMMITTED_SKIN_PATH, "rb")) {
    for (int c; (c = std::fgetc(f)) != EOF;) committed.push_back(uint8_t(c));
    std::fclose(f);
  }
  SkinImageView view;
  ASSERT_TRUE(ReadSkinImage(committed.data(), committed.size(), &view)) << ZINDLE_COMMITTED_SKIN_PATH;
  Bytes bmp;
  ArtworkReport report;
  std::string error;
  ASSERT_TRUE(Convert(committed, &bmp, &report, &error)) << error;
  EXPECT_TRUE(report.unchanged);
  EXPECT_TRUE(bmp == committed);

  Picture exported;
  exported.width = uint32_t(view.width);
  exported.height = uint32_t(view.height);
  for (int32_t y = 0; y < view.height; ++y)
    for (int32_t x = 0; x < view.width; ++x) {
      const uint8_t* px = view.pixels + size_t(view.height - 1 - y) * view.stride + size_t(x) * 3;
      exported.pixels.push_back(IsKeyColourPixel(view, x, y) ? Rgba{0, 0, 0, 0} : Rgba{px[2], px[1], px[0], 255});
    }
  ASSERT_TRUE(Convert(WritePng(exported, {}), &bmp, &report, &error)) << error;
  EXPECT_FALSE(report.unchanged);
  EXPECT_TRUE(bmp == committed);
  EXPECT_TRUE(ButtonWarnings(view, LauncherButtons()).empty());
}

// ---- Buttons against cut-away pixels.

TEST(SkinButtons, PlacementOnOpaqueCutAwayAndOutsidePixels) {
  const Bytes bmp = MakeBmp({"mmmmmmmm", "mxxxxxxm", "mxxxxxxm", "mmmmmmmm"});
  SkinImageView image;
  ASSERT_TRUE(ReadSkinImage(bmp.data(), bmp.size(), &image));
  struct Case {
    SkinButton button;
    bool outside, whollyOutside;
    uint32_t keyPixels;
    int32_t firstX, firstY;
  };
  const Case cases[] = {
      {{"inside", 1, 1, 6, 2}, false, false, 0, 0, 0},
      {{"one pixel over the left edge of the face", 0, 1, 2, 1}, false, false, 1, 0, 1},
      {{"the whole image", 0, 0, 8, 4}, false, false, 20, 0, 0},
      {{"first cut pixel below the face", 3, 2, 2, 2}, false, false, 2, 3, 3},
      {{"past the right and bottom", 6, 2, 4, 4}, true, false, 3, 7, 2},
      {{"above and left of the image", -2, -2, 4, 4}, true, false, 3, 0, 0},
      {{"wholly outside", 100, 100, 5, 5}, true, true, 0, 0, 0},
      {{"ending at the left edge", -3, 0, 3, 2}, true, true, 0, 0, 0},
      {{"starting at the bottom edge", 0, 4, 3, 2}, true, true, 0, 0, 0},
      {{"one pixel in at the top right", 7, -1, 3, 2}, true, false, 1, 7, 0},
  };
  for (const Case& c : cases) {
    ButtonPlacement p = CheckButtonPlacement(image, c.button);
    EXPECT_EQ(p.outside, c.outside) << c.button.name;
    EXPECT_EQ(p.whollyOutside, c.whollyOutside) << c.button.name;
    EXPECT_EQ(p.keyPixels, c.keyPixels) << c.button.name;
    if (c.keyPixels > 0) EXPECT_EQ(p.firstKeyX * 100 + p.firstKeyY, c.firstX * 100 + c.firstY) << c.button.name;
  }
  std::vector<std::string> warnings =
      ButtonWarnings(image, {cases[0].button, cases[1].button, cases[6].button, cases[4].button});
  ASSERT_EQ(warnings.size(), 3u);
  EXPECT_TRUE(Contains(warnings[0], "sits on 1 cut-away pixels (magenta or transparent), the first at 0,1")) << warnings[0];
  EXPECT_TRUE(Contains(warnings[1], "lies wholly outside the 8 x 4 image: it will not show")) << warnings[1];
  EXPECT_TRUE(Contains(warnings[2], "is cut by the edge of the 8 x 4 image and sits on 3 cut-away pixels")) << warnings[2];
}

TEST(SkinButtons, ParsesButtonOptions) {
  SkinButton b;
  ASSERT_TRUE(ParseSkinButton("160,250,60,20", "button 1", &b));
  EXPECT_EQ(b.x * 1000000 + b.y * 1000 + b.width, 160250060);
  EXPECT_EQ(b.height, 20);
  EXPECT_TRUE(ParseSkinButton("-5,-6,1,1", "button 1", &b));
  EXPECT_EQ(b.x + b.y, -11);
  for (const char* bad : {"", "1,2,3", "1,2,3,4,5", "1,2,0,4", "1,2,3,-4", "a,b,c,d", "1,2,3,4x", "1;2;3;4", "40000,0,1,1"})
    EXPECT_FALSE(ParseSkinButton(bad, "button 1", &b)) << bad;
}

bool FileExists(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f) std::fclose(f);
  return f != nullptr;
}

// The program: a PNG packs, the block carries the converted picture, and the launcher's buttons
// are checked (a 10 x 3 picture has room for neither).
TEST(SkinPackProgram, PacksAPngAndWarnsAboutButtonsOutsideTheImage) {
  std::string png = WriteTemp("art.png", WritePng(Draw(Alpha), {PNG_COLOR_TYPE_PALETTE, 8}));
  std::string skin = testing::TempDir() + "art.skin", bmp = testing::TempDir() + "art.bmp";
  std::remove(skin.c_str());
  std::string output;
  ASSERT_EQ(RunSkinpack("pack --bmp " + bmp + " " + png + " " + skin, &output), 0) << output;
  EXPECT_TRUE(Contains(output, "warning: Play button (160,250, 60 x 20) lies wholly outside the 5 x 3 image")) << output;
  EXPECT_TRUE(Contains(output, "warning: Quit button (355,250, 60 x 20)")) << output;
  EXPECT_TRUE(Contains(output, "PNG, palette with alpha, 5 x 3, converted to 24 bits")) << output;

  Bytes block;
  if (FILE* f = std::fopen(skin.c_str(), "rb")) {
    for (int c; (c = std::fgetc(f)) != EOF;) block.push_back(uint8_t(c));
    std::fclose(f);
  }
  SkinImageBytes image;
  std::string error;
  ASSERT_TRUE(UnpackSkinFile(block, &image, &error)) << error;
  EXPECT_TRUE(Bytes(image.data.get(), image.data.get() + image.size) == SkinBmpOf(Draw(AlphaCut)));

  EXPECT_EQ(RunSkinpack("info " + skin, &output), 0) << output;
  EXPECT_TRUE(Contains(output, "button:          Play button (160,250, 60 x 20): lies wholly outside")) << output;
  EXPECT_EQ(RunSkinpack("info --button 0,2,2,1 " + skin, &output), 0) << output;
  EXPECT_TRUE(Contains(output, "button 1 (0,2, 2 x 1): on opaque pixels")) << output;
  EXPECT_FALSE(Contains(output, "warning")) << output;
}

TEST(SkinPackProgram, ButtonOnCutAwayPixelsWarnsAndFailsOnlyWithStrict) {
  std::string png = WriteTemp("art.png", WritePng(Draw(Alpha), {}));
  std::string skin = testing::TempDir() + "strict.skin";
  std::string output;
  // Opaque under the button: no warning.
  std::remove(skin.c_str());
  EXPECT_EQ(RunSkinpack("pack --strict --button 0,2,2,1 " + png + " " + skin, &output), 0) << output;
  EXPECT_FALSE(Contains(output, "warning")) << output;
  EXPECT_TRUE(FileExists(skin));
  // On the cut-away pixels of the second row (t and l): a warning, still packed.
  std::remove(skin.c_str());
  EXPECT_EQ(RunSkinpack("pack --button 0,2,2,1 --button 0,1,3,1 " + png + " " + skin, &output), 0) << output;
  EXPECT_TRUE(Contains(output, "warning: button 2 (0,1, 3 x 1) sits on 2 cut-away pixels (magenta or transparent), the first at 0,1"))
      << output;
  EXPECT_FALSE(Contains(output, "button 1")) << output;
  EXPECT_TRUE(FileExists(skin));
  // --strict: exit 1 and nothing written.
  std::remove(skin.c_str());
  EXPECT_EQ(RunSkinpack("pack --strict --button 0,1,3,1 " + png + " " + skin, &output), 1) << output;
  EXPECT_TRUE(Contains(output, "nothing written")) << output;
  EXPECT_FALSE(FileExists(skin));
}

// A skin cut like a fine checkerboard was packed without a word, and the launcher then worked on
// its outline for minutes and died. An outline of more than the launcher takes is warned about;
// with --strict nothing is written.
TEST(SkinPackProgram, OutlineOfMoreRectanglesThanTheLauncherTakesWarnsAndFailsWithStrict) {
  std::string atBound = WriteTemp("outline at the bound.bmp", MakeBmp(CheckeredRows(575, 385, 1, LargestSkinOutline)));
  std::string over = WriteTemp("outline over.bmp", MakeBmp(CheckeredRows(575, 385, 1, LargestSkinOutline + 1)));
  std::string skin = testing::TempDir() + "outline.skin";
  const std::string warning = "warning: its cut-away pixels make an outline of " +
                              std::to_string(LargestSkinOutline + 1) + " rectangles, more than the " +
                              std::to_string(LargestSkinOutline) + " the launcher takes";
  struct Case {
    const char* what;
    std::string args;
    int exitCode;
    bool warns, written;
  } cases[] = {
      {"at the bound", "pack --raw --strict '" + atBound + "' '" + skin + "'", 0, false, true},
      {"one more", "pack --raw '" + over + "' '" + skin + "'", 0, true, true},
      {"one more, --strict", "pack --raw --strict '" + over + "' '" + skin + "'", 1, true, false},
  };
  std::string output;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::remove(skin.c_str());
    EXPECT_EQ(c.exitCode, RunSkinpack(c.args, &output)) << output;
    EXPECT_EQ(c.warns, Contains(output, warning)) << output;
    EXPECT_EQ(c.written, FileExists(skin));
    if (c.exitCode) EXPECT_TRUE(Contains(output, "outline warning with --strict: nothing written")) << output;
  }
  // info checks a packed skin the same way.
  ASSERT_EQ(0, RunSkinpack("pack --raw '" + over + "' '" + skin + "'", &output)) << output;
  EXPECT_EQ(1, RunSkinpack("info --strict '" + skin + "'", &output)) << output;
  EXPECT_TRUE(Contains(output, warning)) << output;
}

TEST(SkinPackProgram, RefusesRleAndBadButtonOptions) {
  BmpForm rle = Bmp(8);
  rle.compression = 1;
  std::string path = WriteTemp("rle.bmp", WriteBmp(Draw(Opaque), rle));
  std::string output;
  EXPECT_EQ(RunSkinpack("pack " + path + " " + testing::TempDir() + "rle.skin", &output), 1) << output;
  EXPECT_TRUE(Contains(output, "RLE-compressed (RLE8) images are not accepted")) << output;
  EXPECT_EQ(RunSkinpack("pack --button 1,2,3 " + path + " " + testing::TempDir() + "rle.skin", &output), 2) << output;
  EXPECT_TRUE(Contains(output, "--button wants X,Y,W,H")) << output;
  EXPECT_EQ(RunSkinpack("unpack --button 1,2,3,4 a b", &output), 2) << output;
}

// Art for another scale: the launcher's buttons are checked where the launcher lays them out at
// that scale, and the embedded block takes the name it is given.
TEST(SkinPackProgram, ScaledArtAndNamedBlocks) {
  std::vector<SkinButton> doubled = LauncherButtonsAt(200), half = LauncherButtonsAt(150);
  ASSERT_EQ(2u, doubled.size());
  EXPECT_EQ(320 * 1000 + 500, doubled[0].x * 1000 + doubled[0].y);
  EXPECT_EQ(120 * 1000 + 40, doubled[0].width * 1000 + doubled[0].height);
  EXPECT_EQ(533 * 1000 + 375, half[1].x * 1000 + half[1].y);  // 532.5 rounded up
  EXPECT_EQ(90 * 1000 + 30, half[1].width * 1000 + half[1].height);

  std::string png = WriteTemp("scaled.png", WritePng(Draw(Alpha), {}));
  std::string source = testing::TempDir() + "scaled.cpp";
  std::string output;
  ASSERT_EQ(RunSkinpack("embed --scale 200 --name SkinForTwice " + png + " " + source, &output), 0) << output;
  EXPECT_TRUE(Contains(output, "Play button (320,500, 120 x 40) lies wholly outside")) << output;
  std::string text;
  if (FILE* f = std::fopen(source.c_str(), "rb")) {
    for (int c; (c = std::fgetc(f)) != EOF;) text += char(c);
    std::fclose(f);
  }
  EXPECT_TRUE(Contains(text, "extern const unsigned char SkinForTwice[] = {")) << text.substr(0, 200);
  EXPECT_TRUE(Contains(text, "extern const unsigned int SkinForTwiceSize = ")) << text.substr(text.size() - 100);
  struct Bad {
    const char* args;
  } bad[] = {{"embed --scale 99 "}, {"embed --scale 2x "}, {"embed --name 9lives "}, {"embed --name a-b "},
             {"pack --name Skin "}};
  for (const Bad& b : bad)
    EXPECT_EQ(2, RunSkinpack(std::string(b.args) + png + " " + source, &output)) << b.args << output;
}

Bytes ReadBytes(const std::string& path) {
  Bytes data;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    for (int c; (c = std::fgetc(f)) != EOF;) data.push_back(uint8_t(c));
    std::fclose(f);
  }
  return data;
}

// The skin resources of a program file: name -> block (absent names are not listed).
std::vector<std::pair<std::string, Bytes>> SkinsOf(const Bytes& program) {
  PeFile pe;
  std::vector<PeResource> resources;
  std::string error;
  std::vector<std::pair<std::string, Bytes>> skins;
  EXPECT_TRUE(ParsePeFile(program, &pe, &error) && ReadPeResources(program, pe, &resources, &error)) << error;
  for (const char* name : {"SKIN_100", "SKIN_200"})
    if (const PeResource* r = FindPeRcdata(resources, name)) skins.push_back({name, r->data});
  return skins;
}

// reskin writes each image's block, packed as pack packs it, into a copy of the program; a scale
// given no art loses its old skin; the source program is left alone.
TEST(SkinPackProgram, ReskinWritesTheBlocksOfEachScaleIntoACopy) {
  std::vector<pe_test::Resource> resources = pe_test::ProgramResources();
  resources.insert(resources.begin() + 2, {pe_test::Num(10), pe_test::Name("SKIN_200"), 0x407, Bytes(500, 7)});
  const Bytes program = pe_test::Build(resources).bytes;
  std::string programPath = WriteTemp("reskin source.exe", program);
  std::string small = WriteTemp("reskin small.png", WritePng(Draw(Alpha), {}));
  std::string twice = WriteTemp("reskin twice.bmp", MakeBmp(Pictures[3]));
  std::string out = testing::TempDir() + "reskinned.exe", output;

  std::string packed = testing::TempDir() + "reskin small.skin", packedTwice = testing::TempDir() + "reskin twice.skin";
  ASSERT_EQ(0, RunSkinpack("pack '" + small + "' '" + packed + "'", &output)) << output;
  ASSERT_EQ(0, RunSkinpack("pack --scale 200 '" + twice + "' '" + packedTwice + "'", &output)) << output;

  ASSERT_EQ(0, RunSkinpack("reskin '" + programPath + "' '" + small + "' '" + twice + "' -o '" + out + "'", &output))
      << output;
  EXPECT_TRUE(Contains(output, "with skins 100 % (")) << output;
  EXPECT_TRUE(Contains(output, "warning: the 200 % art is 20 x 7, not twice")) << output;
  auto skins = SkinsOf(ReadBytes(out));
  ASSERT_EQ(2u, skins.size());
  EXPECT_EQ(ReadBytes(packed), skins[0].second);
  EXPECT_EQ(ReadBytes(packedTwice), skins[1].second);
  EXPECT_EQ(program, ReadBytes(programPath)) << "the source program was changed";

  // info on the copy describes each skin resource, its buttons where they lie at its scale.
  ASSERT_EQ(0, RunSkinpack("info '" + out + "'", &output)) << output;
  EXPECT_TRUE(Contains(output, "resource SKIN_100 (100 %):\nkind:            skin block at byte 0")) << output;
  EXPECT_TRUE(Contains(output, "resource SKIN_200 (200 %):")) << output;
  EXPECT_TRUE(Contains(output, "image:           20 x 7, 24 bits")) << output;
  EXPECT_TRUE(Contains(output, "Play button (320,500, 120 x 40)")) << output;

  // One image: the old 200 % art goes, so that the launcher scales the new art.
  ASSERT_EQ(0, RunSkinpack("reskin '" + programPath + "' '" + small + "' -o '" + out + "'", &output)) << output;
  EXPECT_TRUE(Contains(output, "larger scales are made from the 100 % art")) << output;
  skins = SkinsOf(ReadBytes(out));
  ASSERT_EQ(1u, skins.size());
  EXPECT_EQ("SKIN_100", skins[0].first);
  EXPECT_EQ(ReadBytes(packed), skins[0].second);
}

// What reskin refuses, with exit code 1 (bad input) or 2 (bad usage); nothing is written.
TEST(SkinPackProgram, ReskinRefusesAndWritesNothing) {
  std::vector<pe_test::Resource> noSkin = pe_test::ProgramResources();
  noSkin.erase(noSkin.begin() + 1);
  std::string programPath = WriteTemp("refuse source.exe", pe_test::Build(pe_test::ProgramResources()).bytes);
  std::string noSkinPath = WriteTemp("refuse plain.exe", pe_test::Build(noSkin).bytes);
  std::string image = WriteTemp("refuse image.png", WritePng(Draw(Alpha), {}));
  std::string cut = WriteTemp("refuse cut.bmp", MakeBmp(std::vector<std::string>(300, std::string(450, 'm'))));
  std::string fine = WriteTemp("refuse fine.bmp", MakeBmp(CheckeredRows(575, 385, 1, LargestSkinOutline + 1)));
  std::string jpeg = WriteTemp("refuse photo.png", Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 0});
  std::string out = testing::TempDir() + "refused.exe";
  struct Case {
    const char* what;
    std::string args;
    int exitCode;
    const char* message;
  } cases[] = {
      {"no skin resource", "reskin '" + noSkinPath + "' '" + image + "' -o '" + out + "'", 1,
       "carries no skin resource SKIN_100"},
      {"not a program", "reskin '" + image + "' '" + image + "' -o '" + out + "'", 1, "not a program"},
      {"an image it cannot read", "reskin '" + programPath + "' '" + jpeg + "' -o '" + out + "'", 1,
       "a JPEG image is not accepted"},
      {"buttons on cut-away pixels, --strict", "reskin --strict '" + programPath + "' '" + cut + "' -o '" + out + "'",
       1, "sits on"},
      {"an outline too fine, --strict", "reskin --strict --raw '" + programPath + "' '" + fine + "' -o '" + out + "'",
       1, "rectangles, more than the"},
      {"no output named", "reskin '" + programPath + "' '" + image + "'", 2, "usage:"},
      {"three images", "reskin '" + programPath + "' '" + image + "' '" + image + "' '" + image + "' -o '" + out + "'",
       2, "usage:"},
      {"buttons of its own", "reskin --button 1,1,2,2 '" + programPath + "' '" + image + "' -o '" + out + "'", 2,
       "usage:"},
      {"-o elsewhere", "pack -o '" + out + "' '" + image + "' x.skin", 2, "usage:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::remove(out.c_str());
    std::string output;
    EXPECT_EQ(c.exitCode, RunSkinpack(c.args, &output)) << output;
    EXPECT_TRUE(Contains(output, c.message)) << output;
    EXPECT_EQ(nullptr, std::fopen(out.c_str(), "rb")) << "a program was written";
  }
}

// Resources that share one long name: every resource's record holds its own copies of its type and
// name, and only the data used to count against a limit, so that 6,000 resources sharing a name of
// 65,535 characters (a file of 190 KB) took 1.5 GB and the tool died for want of memory. The names
// have a limit of their own now: the program is refused with a message within RunSkinpack's 1 GB.
TEST(SkinPackProgram, RefusesAProgramWhoseResourcesShareALongNameWithinTheMemoryLimit) {
  pe_test::Options options;
  options.resourceSection = pe_test::SharedNameTree(65535, 6000);
  std::string programPath = WriteTemp("shared name.exe", pe_test::Build({}, options).bytes);
  std::string image = WriteTemp("shared name.bmp", MakeBmp(Pictures[0]));
  std::string out = testing::TempDir() + "shared name new.exe", output;
  std::remove(out.c_str());
  EXPECT_EQ(1, RunSkinpack("reskin '" + programPath + "' '" + image + "' -o '" + out + "'", &output)) << output;
  EXPECT_TRUE(Contains(output, "not a program whose resources can be read: resources: more text in type and resource names"))
      << output;
  EXPECT_FALSE(FileExists(out));
  // info takes it for a file that may embed a skin, and finds none.
  EXPECT_EQ(1, RunSkinpack("info '" + programPath + "'", &output)) << output;
  EXPECT_TRUE(Contains(output, "no JC stream or skin block found")) << output;

  // Thirty of them (8 MB of names) are read whole.
  options.resourceSection = pe_test::SharedNameTree(65535, 30);
  const Bytes few = pe_test::Build({}, options).bytes;
  PeFile pe;
  std::vector<PeResource> resources;
  std::string error;
  ASSERT_TRUE(ParsePeFile(few, &pe, &error) && ReadPeResources(few, pe, &resources, &error)) << error;
  ASSERT_EQ(30u, resources.size());
  EXPECT_EQ(65535u, resources[29].type.name.size());
  EXPECT_EQ(std::u16string(65535, u'N'), resources[29].name.name);
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Every command writes a new file of its own beside the target and renames it over the target at
// the end. That file's name used to be fixed, the target's with ".tmp": a file of that name was
// overwritten and moved away, a link of that name followed (so that reskin wrote into its source
// program), and when the target could not be replaced (a folder) the file of that name was removed,
// even when it was the command's own input.
TEST(SkinPackProgram, WritesThroughANewFileOfItsOwnBesideTheTarget) {
  const Bytes program = pe_test::Build(pe_test::ProgramResources()).bytes;
  const Bytes art = MakeBmp(Pictures[0]);
  const Bytes block = Pack(art, false);
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, Bytes>> files;  // made first, in the case's own folder
    std::string link;    // a link of this name to the first file
    std::string folder;  // a folder of this name
    std::string args;
    int exitCode;
    std::string target;   // holds the new skin when the command succeeds
    const char* message;  // on failure
  };
  const Case cases[] = {
      {"a file named as the target with .tmp", {{"art.bmp", art}, {"out.skin.tmp", {'m', 'i', 'n', 'e'}}}, "", "",
       "pack art.bmp out.skin", 0, "out.skin", ""},
      {"a link so named, to the source program", {{"src.exe", program}, {"art.bmp", art}}, "new.exe.tmp", "",
       "reskin src.exe art.bmp -o new.exe", 0, "new.exe", ""},
      {"a folder as the target, the source named as the target with .tmp", {{"out.tmp", program}, {"art.bmp", art}},
       "", "out", "reskin out.tmp art.bmp -o out", 1, "", "skinpack: out: cannot replace: Is a directory"},
  };
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.what);
    std::string folder = testing::TempDir() + "skinpack writes " + std::to_string(i) + "/";
    std::system(("rm -rf '" + folder + "'").c_str());
    ASSERT_EQ(0, mkdir(folder.c_str(), 0755));
    std::vector<std::string> names;
    for (const auto& file : c.files) {
      WriteTemp("skinpack writes " + std::to_string(i) + "/" + file.first, file.second);
      names.push_back(file.first);
    }
    if (!c.link.empty()) ASSERT_EQ(0, symlink(c.files[0].first.c_str(), (folder + c.link).c_str()));
    if (!c.folder.empty()) ASSERT_EQ(0, mkdir((folder + c.folder).c_str(), 0755));
    for (const std::string& name : {c.link, c.folder, c.target})
      if (!name.empty()) names.push_back(name);
    std::sort(names.begin(), names.end());

    std::string output;
    EXPECT_EQ(c.exitCode, RunSkinpack(c.args, &output, folder)) << output;
    if (c.exitCode != 0) EXPECT_TRUE(Contains(output, c.message)) << output;
    for (const auto& file : c.files) EXPECT_TRUE(file.second == ReadBytes(folder + file.first)) << file.first << " changed";
    if (!c.link.empty()) {
      char to[256] = "";
      EXPECT_LT(0, readlink((folder + c.link).c_str(), to, sizeof to - 1));
      EXPECT_EQ(c.files[0].first, std::string(to));
    }
    if (!c.target.empty()) {
      Bytes written = ReadBytes(folder + c.target);
      if (written.size() > 2 && written[0] == 'M' && written[1] == 'Z') {
        auto skins = SkinsOf(written);
        ASSERT_FALSE(skins.empty());
        written = skins[0].second;
      }
      EXPECT_TRUE(block == written) << c.target << " does not hold the skin";
    }
    EXPECT_EQ(names, FolderNames(folder)) << "files were left behind or removed";
  }
}

// A picture of width x height opaque pixels.
Bytes PlainArt(size_t width, size_t height) { return MakeBmp(std::vector<std::string>(height, std::string(width, 'x'))); }

// The 200 % art given as the only image, or art of another size, was taken without a word, though
// the window takes the art's size while the buttons stay at their places for 575 x 385; a button
// that lay wholly off the art was said to "reach outside" it.
TEST(SkinPackProgram, ArtOfAnotherSizeThanTheLayoutWarns) {
  std::string programPath = WriteTemp("sizes source.exe", pe_test::Build(pe_test::ProgramResources()).bytes);
  std::string out = testing::TempDir() + "sizes new.exe";
  auto art = [](size_t w, size_t h) {
    return WriteTemp("sizes " + std::to_string(w) + "x" + std::to_string(h) + ".bmp", PlainArt(w, h));
  };
  const std::string right = art(575, 385), twice = art(1150, 770), smaller = art(500, 300), larger = art(640, 400),
                    narrow = art(400, 260);
  struct Case {
    const char* what;
    std::string images;
    std::vector<std::string> says;  // empty: no warning at all
  } cases[] = {
      {"the layout's sizes", "'" + right + "' '" + twice + "'", {}},
      {"the 200 % art alone",
       "'" + twice + "'",
       {"warning: the 100 % art is 1150 x 770, not the 575 x 385 the launcher's layout expects: the window takes the "
        "art's size (at 100 %, larger than a 1024 x 768 screen), but the buttons stay at their places for 575 x 385",
        "1150 x 770 is the size of the 200 % art"}},
      {"500 x 300", "'" + smaller + "'", {"the 100 % art is 500 x 300, not the 575 x 385", "so they may lie off the art"}},
      {"640 x 400", "'" + larger + "'", {"the 100 % art is 640 x 400, not the 575 x 385"}},
      {"a button cut by the edge", "'" + narrow + "'",
       {"Quit button (355,250, 60 x 20) is cut by the edge of the 400 x 260 image: that part of it will not show"}},
      {"the 100 % art given as the 200 % art", "'" + right + "' '" + right + "'",
       {"the 200 % art is 575 x 385, not the 1150 x 770", "575 x 385 is the size of the 100 % art",
        "Play button (320,500, 120 x 40) lies wholly outside the 575 x 385 image: it will not show"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string output;
    ASSERT_EQ(0, RunSkinpack("reskin --raw '" + programPath + "' " + c.images + " -o '" + out + "'", &output)) << output;
    EXPECT_EQ(c.says.empty(), !Contains(output, "warning")) << output;
    for (const std::string& part : c.says) EXPECT_TRUE(Contains(output, part)) << output;
  }
  // pack checks art at the scale it is drawn for; --strict refuses art of another size.
  std::string skin = testing::TempDir() + "sizes.skin", output;
  EXPECT_EQ(0, RunSkinpack("pack --raw --strict --scale 200 '" + twice + "' '" + skin + "'", &output)) << output;
  std::remove(skin.c_str());
  std::remove(out.c_str());
  EXPECT_EQ(1, RunSkinpack("pack --raw --strict '" + larger + "' '" + skin + "'", &output)) << output;
  EXPECT_TRUE(Contains(output, "size warning with --strict: nothing written")) << output;
  EXPECT_EQ(1, RunSkinpack("reskin --raw --strict '" + programPath + "' '" + twice + "' -o '" + out + "'", &output))
      << output;
  EXPECT_FALSE(FileExists(skin) || FileExists(out));
}

mode_t ModeOf(const std::string& path) {
  struct stat st = {};
  return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// reskin wrote over its own program when told to write to it, and the copy lost the program's
// execute bits. A command now refuses to write over one of its inputs, by any name, unless given
// --overwrite, and the copy takes the program's mode.
TEST(SkinPackProgram, WritesOverItsInputOnlyWhenToldAndKeepsTheProgramsMode) {
  const Bytes art = MakeBmp(Pictures[0]);
  const Bytes block = Pack(art, true);
  std::vector<pe_test::Resource> resources = pe_test::ProgramResources();
  resources[1].data = block;
  const Bytes program = pe_test::Build(resources).bytes;
  const mode_t mask = umask(0);
  umask(mask);
  const mode_t programMode = 0751 & ~mask;
  struct Case {
    const char* what;
    std::string args;
    int exitCode;
    std::string written;  // holds the new skin, with the program's mode, when the command succeeds
  } cases[] = {
      {"-o the program", "reskin --raw src.exe art.bmp -o src.exe", 1, ""},
      {"-o the program by another path", "reskin --raw src.exe art.bmp -o ../'skinpack inputs'/src.exe", 1, ""},
      {"-o a link to the program", "reskin --raw src.exe art.bmp -o link.exe", 1, ""},
      {"-o a hard link to the program", "reskin --raw src.exe art.bmp -o hard.exe", 1, ""},
      {"-o the art", "reskin --raw src.exe art.bmp -o art.bmp", 1, ""},
      {"pack onto its image", "pack --raw art.bmp art.bmp", 1, ""},
      {"unpack onto its file", "unpack src.exe ./src.exe", 1, ""},
      {"a copy", "reskin --raw src.exe art.bmp -o new.exe", 0, "new.exe"},
      {"-o the program with --overwrite", "reskin --raw --overwrite src.exe art.bmp -o src.exe", 0, "src.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string folder = testing::TempDir() + "skinpack inputs/";
    std::system(("rm -rf '" + folder + "'").c_str());
    ASSERT_EQ(0, mkdir(folder.c_str(), 0755));
    WriteTemp("skinpack inputs/src.exe", program);
    WriteTemp("skinpack inputs/art.bmp", art);
    ASSERT_EQ(0, chmod((folder + "src.exe").c_str(), programMode));
    ASSERT_EQ(0, symlink("src.exe", (folder + "link.exe").c_str()));
    ASSERT_EQ(0, link((folder + "src.exe").c_str(), (folder + "hard.exe").c_str()));

    std::string output;
    EXPECT_EQ(c.exitCode, RunSkinpack(c.args, &output, folder)) << output;
    if (c.exitCode != 0) {
      EXPECT_TRUE(Contains(output, "the file to write is also an input")) << output;
      EXPECT_TRUE(Contains(output, "--overwrite")) << output;
      EXPECT_TRUE(program == ReadBytes(folder + "src.exe")) << "the program was changed";
      EXPECT_TRUE(art == ReadBytes(folder + "art.bmp")) << "the art was changed";
      EXPECT_EQ(programMode, ModeOf(folder + "src.exe"));
    } else {
      auto skins = SkinsOf(ReadBytes(folder + c.written));
      ASSERT_EQ(1u, skins.size());
      EXPECT_TRUE(block == skins[0].second);
      EXPECT_EQ(programMode, ModeOf(folder + c.written)) << std::oct << ModeOf(folder + c.written);
    }
    std::vector<std::string> names = {"art.bmp", "hard.exe", "link.exe", "src.exe"};
    if (c.written == "new.exe") names.insert(names.begin() + 3, "new.exe");
    EXPECT_EQ(names, FolderNames(folder));
  }
}

// The printed line that starts with `label`, without it; empty when there is none.
std::string LineOf(const std::string& output, const std::string& label) {
  size_t at = output.find(label);
  if (at == std::string::npos) return "";
  at += label.size();
  return output.substr(at, output.find('\n', at) - at);
}

// The art of each scale comes out of a launcher again, and info leads with what it carries: each
// scale's size and a hash of its picture (the one pack prints for that art), the buttons' places,
// and whether the program is signed; the block's fields come after.
TEST(SkinPackProgram, UnpackAndInfoTellWhichArtALauncherCarries) {
  const std::string folder = testing::TempDir();
  std::string art100 = WriteTemp("carried 100.bmp", MakeBmp(Pictures[0]));
  std::string art200 = WriteTemp("carried 200.png", WritePng(Draw(Alpha), {}));
  std::string programPath = WriteTemp("carried source.exe", pe_test::Build(pe_test::ProgramResources()).bytes);
  std::string both = folder + "carried both.exe", one = folder + "carried one.exe", skin = folder + "carried.skin";
  std::string bmp100 = folder + "carried 100 back.bmp", bmp200 = folder + "carried 200 packed.bmp";
  std::string output;
  ASSERT_EQ(0, RunSkinpack("pack --bmp '" + bmp200 + "' --scale 200 '" + art200 + "' '" + skin + "'", &output));
  const std::string hash200 = LineOf(output, "; hash ").substr(0, 12);
  ASSERT_EQ(0, RunSkinpack("pack '" + art100 + "' '" + skin + "'", &output));
  const std::string hash100 = LineOf(output, "; hash ").substr(0, 12);
  ASSERT_EQ(12u, hash100.size()) << output;
  EXPECT_EQ("c5adcf92f420", hash100);  // FNV-1a of 8, 2 and the pixels: the same from every version
  EXPECT_NE(hash100, hash200);
  ASSERT_EQ(0, RunSkinpack("pack --raw '" + art100 + "' '" + skin + "'", &output));
  EXPECT_EQ(hash100, LineOf(output, "; hash ").substr(0, 12)) << "the hash depends on the packing";

  ASSERT_EQ(0, RunSkinpack("reskin '" + programPath + "' '" + art100 + "' '" + art200 + "' -o '" + both + "'", &output));
  ASSERT_EQ(0, RunSkinpack("reskin '" + programPath + "' '" + art100 + "' -o '" + one + "'", &output));

  ASSERT_EQ(0, RunSkinpack("info '" + both + "'", &output)) << output;
  EXPECT_EQ("no", LineOf(output, "signed:          ")) << output;
  EXPECT_EQ("8 x 2, hash " + hash100 + " (resource SKIN_100)", LineOf(output, "100 % art:       ")) << output;
  EXPECT_EQ("5 x 3, hash " + hash200 + " (resource SKIN_200)", LineOf(output, "200 % art:       ")) << output;
  EXPECT_TRUE(Contains(output, "200 % art:       5 x 3, hash " + hash200 + " (resource SKIN_200)\n"
                               "button:          Play button (320,500, 120 x 40): lies wholly outside"))
      << output;
  EXPECT_LT(output.find("200 % art:"), output.find("runHeight:")) << "the block's fields come first";
  ASSERT_EQ(0, RunSkinpack("info '" + one + "'", &output)) << output;
  EXPECT_EQ("none: the launcher makes larger scales from the 100 % art", LineOf(output, "200 % art:       "))
      << output;

  // Signed: a launcher that carries a certificate table.
  std::vector<pe_test::Resource> resources = pe_test::ProgramResources();
  resources[1].data = Pack(MakeBmp(Pictures[0]), false);
  pe_test::Options signedOptions;
  signedOptions.certificate = Bytes(48, 0x30);
  std::string signedPath = WriteTemp("carried signed.exe", pe_test::Build(resources, signedOptions).bytes);
  ASSERT_EQ(0, RunSkinpack("info '" + signedPath + "'", &output)) << output;
  EXPECT_EQ("yes (it carries an Authenticode certificate table)", LineOf(output, "signed:          ")) << output;
  EXPECT_EQ("8 x 2, hash " + hash100 + " (resource SKIN_100)", LineOf(output, "100 % art:       ")) << output;

  // unpack gives each scale's art back, and says which it gave.
  struct Case {
    const char* what;
    std::string args;
    int exitCode;
    std::string expect;  // the BMP written, or a part of the message
  } cases[] = {
      {"the 100 % art", "unpack '" + both + "' '" + bmp100 + "'", 0, art100},
      {"the 200 % art", "unpack --scale 200 '" + both + "' '" + bmp100 + "'", 0, bmp200},
      {"no 200 % art", "unpack --scale 200 '" + one + "' '" + bmp100 + "'", 1, "carries no 200 % art"},
      {"a skin file at 200 %", "unpack --scale 200 '" + skin + "' '" + bmp100 + "'", 1, "not a launcher"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::remove(bmp100.c_str());
    EXPECT_EQ(c.exitCode, RunSkinpack(c.args, &output)) << output;
    if (c.exitCode == 0) {
      EXPECT_TRUE(ReadBytes(c.expect) == ReadBytes(bmp100));
      EXPECT_TRUE(Contains(output, std::string(c.what) + " of ")) << output;
    } else {
      EXPECT_TRUE(Contains(output, c.expect)) << output;
      EXPECT_FALSE(FileExists(bmp100));
    }
  }
}

// Packing art of the launcher's 200 % size takes a second or more on slow machines and used to
// print nothing until done; art that large now gets a line before it is packed, smaller art and
// unpacked art none.
TEST(SkinPackProgram, LargeArtGetsALineBeforeItIsPacked) {
  std::string large = WriteTemp("progress large.bmp", PlainArt(1000, 600));
  std::string small = WriteTemp("progress small.bmp", PlainArt(40, 30));
  std::string skin = testing::TempDir() + "progress.skin";
  struct Case {
    std::string args;
    bool line;
  } cases[] = {
      {"pack '" + large + "' '" + skin + "'", true},
      {"pack --raw '" + large + "' '" + skin + "'", false},
      {"pack '" + small + "' '" + skin + "'", false},
  };
  for (const Case& c : cases) {
    std::string output;
    ASSERT_EQ(0, RunSkinpack(c.args, &output)) << output;
    EXPECT_EQ(c.line, Contains(output, "skinpack: " + large + ": packing the 1000 x 600 art for 100 %...\n")) << c.args
                                                                                                        << output;
    EXPECT_EQ(c.line, Contains(output, "packing")) << c.args << output;
  }
}

// A usage error printed the whole usage without naming the problem; now one line names it first.
TEST(SkinPackProgram, UsageErrorsNameTheProblem) {
  struct Case {
    const char* args;
    const char* problem;
  } cases[] = {
      {"", "skinpack: no command given"},
      {"frobnicate a", "skinpack: frobnicate: no such command"},
      {"reskin p.exe a.png", "skinpack: reskin: -o OUT.exe is missing"},
      {"reskin p.exe -o o.exe", "skinpack: reskin: PROGRAM and one or two images are wanted, 1 file given"},
      {"pack a.png", "skinpack: pack: IMAGE and OUT.skin are wanted, 1 file given"},
      {"unpack a b c", "skinpack: unpack: FILE and OUT.bmp are wanted, 3 files given"},
      {"info", "skinpack: info: FILE is wanted, 0 files given"},
      {"pack --frob a b", "skinpack: pack: no such option --frob"},
      {"pack a b --bmp", "skinpack: pack: --bmp wants a value"},
      {"info --raw a", "skinpack: info: --raw is not an option of info"},
      {"reskin --scale 200 p.exe a.png -o o.exe", "skinpack: reskin: --scale is not an option of reskin"},
      {"pack --scale 99 a b", "skinpack: pack: --scale wants a percentage from 100 to 400, not \"99\""},
  };
  for (const Case& c : cases) {
    std::string output;
    EXPECT_EQ(2, RunSkinpack(c.args, &output)) << c.args;
    EXPECT_EQ(std::string(c.problem) + "\nusage: skinpack pack", output.substr(0, std::strlen(c.problem) + 21))
        << c.args;
  }
  for (const char* args : {"--help", "reskin --help"}) {
    std::string output;
    EXPECT_EQ(0, RunSkinpack(args, &output)) << args;
    EXPECT_EQ(0u, output.find("usage: skinpack pack")) << output;
    EXPECT_TRUE(Contains(output, "--overwrite")) << output;
  }
}

// The check of a written program finds a changed byte outside the skins, a skin that does not hold
// its block, and a signature that was kept.
TEST(SkinPackReskin, CheckOfTheWrittenProgramFindsWhatIsNotAsMeant) {
  const Bytes before = pe_test::Build(pe_test::ProgramResources()).bytes;
  std::vector<ProgramResource> skins = {{"SKIN_100", Bytes(64, 9)}, {"SKIN_200", {}}};
  Bytes after;
  std::string error;
  ASSERT_TRUE(WriteProgramResources(before, skins, &after, &error)) << error;
  ASSERT_TRUE(CheckReskinnedProgram(before, after, skins, &error)) << error;

  PeFile pe;
  ASSERT_TRUE(ParsePeFile(after, &pe, &error)) << error;
  Bytes code = after;
  code[pe.sections[0].rawOffset + 3] ^= 1;
  EXPECT_FALSE(CheckReskinnedProgram(before, code, skins, &error));
  EXPECT_TRUE(Contains(error, "section .text changed")) << error;

  std::vector<ProgramResource> other = {{"SKIN_100", Bytes(64, 8)}, {"SKIN_200", {}}};
  EXPECT_FALSE(CheckReskinnedProgram(before, after, other, &error));
  EXPECT_TRUE(Contains(error, "SKIN_100 does not hold its skin")) << error;

  pe_test::Options signedOptions;
  signedOptions.certificate = Bytes(48, 0x30);
  const Bytes signedBefore = pe_test::Build(pe_test::ProgramResources(), signedOptions).bytes;
  ProgramSkins found;
  ASSERT_TRUE(ReadProgramSkins(signedBefore, &found, &error)) << error;
  EXPECT_TRUE(found.signedProgram);
  EXPECT_FALSE(CheckReskinnedProgram(signedBefore, signedBefore, skins, &error));
  EXPECT_TRUE(Contains(error, "still carries a signature")) << error;
}

}  // namespace
