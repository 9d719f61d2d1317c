#include "skin_pack.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "skin/jc_stream.h"
#include "skin/skin_block.h"
#include "skin/skin_runs.h"

namespace {

void Put32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* fmt, ...) {
  char buf[512];
  va_list args;
  va_start(args, fmt);
  vsnprintf(buf, sizeof buf, fmt, args);
  va_end(args);
  return buf;
}

std::vector<SkinRun> RunsOf(const SkinImageView& image) {
  std::vector<SkinRun> runs(CollectKeyColourRuns(image, nullptr, 0));
  CollectKeyColourRuns(image, runs.data(), uint32_t(runs.size()));
  return runs;
}

// True when the block's runs are exactly the KeyColour runs of `image`.
bool RunsMatchImage(const SkinBlockView& view, const SkinImageView& image) {
  std::vector<SkinRun> expect = RunsOf(image);
  if (SkinRunCount(view) != expect.size()) return false;
  for (uint32_t i = 0; i < expect.size(); ++i) {
    SkinRun r = SkinRunAt(view, i);
    if (r.left != expect[i].left || r.top != expect[i].top || r.right != expect[i].right) return false;
  }
  return true;
}

}  // namespace

bool PackSkin(const std::vector<uint8_t>& bmp, bool raw, std::vector<uint8_t>* block, JcEncodeReport* report,
              std::string* error) {
  SkinImageView image;
  if (!ReadSkinImage(bmp.data(), bmp.size(), &image)) {
    *error = "not an uncompressed bottom-up 24-bit BMP (or truncated)";
    return false;
  }
  if (bmp.size() > 0x7FFFFFFF) {
    *error = "image too large";
    return false;
  }
  std::vector<SkinRun> runs = RunsOf(image);
  std::vector<uint8_t> stream;
  *report = JcEncodeReport{};
  if (!raw) stream = EncodeJcStream(bmp.data(), bmp.size(), report);

  std::vector<uint8_t>& b = *block;
  b.clear();
  b.push_back(1);              // runHeight
  b.push_back(raw ? 0 : 9);    // compressed
  Put32(b, uint32_t(bmp.size()));
  Put32(b, uint32_t(stream.size()));
  b.insert(b.end(), SkinBanner, SkinBanner + SkinBannerLength);
  b.push_back('\r');
  b.push_back('\n');
  if (raw) b.insert(b.end(), bmp.begin(), bmp.end());
  else b.insert(b.end(), stream.begin(), stream.end());
  Put32(b, uint32_t(runs.size() * SkinRunSize));
  for (const SkinRun& r : runs) {
    Put16(b, uint16_t(r.left));
    Put16(b, uint16_t(r.top));
    Put16(b, uint16_t(r.right));
  }

  // Check the block with the program's own reader and decoder.
  SkinBlockView view;
  std::vector<uint8_t> back(bmp.size());
  if (!ReadSkinBlock(b.data(), b.size(), &view) || !SkinBannerMatches(view) ||
      UnpackSkinImage(view, back.data()) != bmp.size() || back != bmp || !RunsMatchImage(view, image)) {
    *error = "internal error: the packed block does not decode to the image";
    return false;
  }
  return true;
}

bool LocateSkin(const std::vector<uint8_t>& file, SkinLocation* where, std::string* error) {
  if (file.size() >= 2 && file[0] == 'J' && file[1] == 'C') {
    *where = SkinLocation{true, 0};
    return true;
  }
  std::string mark(SkinBanner);
  mark += "\r\n";
  for (size_t at = SkinBlockBannerOffset; at + mark.size() <= file.size(); ++at) {
    if (std::memcmp(file.data() + at, mark.data(), mark.size()) != 0) continue;
    SkinBlockView view;
    if (ReadSkinBlock(file.data() + at - SkinBlockBannerOffset, file.size() - at + SkinBlockBannerOffset, &view)) {
      *where = SkinLocation{false, at - SkinBlockBannerOffset};
      return true;
    }
  }
  *error = "no JC stream or skin block found";
  return false;
}

bool UnpackSkinFile(const std::vector<uint8_t>& file, std::vector<uint8_t>* image, std::string* error) {
  SkinLocation where;
  if (!LocateSkin(file, &where, error)) return false;
  const uint8_t* p = file.data() + where.offset;
  size_t size = file.size() - where.offset;
  if (where.bareStream) {
    JcHeader header;
    if (!ReadJcHeader(p, size, &header)) {
      *error = "truncated JC header";
      return false;
    }
    image->assign(header.unpackedSize, 0);
    if (DecodeJcStream(p, size, image->data()) != header.unpackedSize || header.unpackedSize == 0) {
      *error = "the JC stream is damaged (decoding or checksum failed)";
      return false;
    }
    return true;
  }
  SkinBlockView view;
  ReadSkinBlock(p, size, &view);
  image->assign(view.unpackedSize, 0);
  if (view.unpackedSize == 0 || UnpackSkinImage(view, image->data()) != view.unpackedSize) {
    *error = "the skin block's image is damaged (decoding or checksum failed)";
    return false;
  }
  return true;
}

bool DescribeSkinFile(const std::vector<uint8_t>& file, std::string* text, std::string* error) {
  SkinLocation where;
  if (!LocateSkin(file, &where, error)) return false;
  const uint8_t* p = file.data() + where.offset;
  size_t size = file.size() - where.offset;
  std::string& t = *text;
  const uint8_t* stream = p;
  size_t streamSize = size;
  SkinBlockView view = {};
  if (where.bareStream) {
    t += "kind:            bare JC stream\n";
  } else {
    ReadSkinBlock(p, size, &view);
    t += Format("kind:            skin block at byte %zu of the file, %u bytes\n", where.offset,
                unsigned(view.runs - p + view.runTableSize));
    t += Format("runHeight:       %d\n", view.runHeight);
    t += Format("compressed:      %u\n", view.compressed);
    t += Format("unpackedSize:    %u\n", view.unpackedSize);
    t += Format("storedSize:      %u\n", view.storedSize);
    t += Format("banner:          %s\n", SkinBannerMatches(view) ? "matches" : "DIFFERS");
    stream = view.imageData;
    streamSize = view.imageDataSize;
  }
  if (where.bareStream || view.compressed) {
    JcHeader header;
    if (!ReadJcHeader(stream, streamSize, &header)) {
      *error = "truncated JC header";
      return false;
    }
    t += Format("stream:          %zu bytes, unpacks to %u\n", streamSize, header.unpackedSize);
  }
  std::vector<uint8_t> image;
  if (!UnpackSkinFile(file, &image, error)) return false;
  if (where.bareStream || view.compressed) {
    JcHeader header;
    ReadJcHeader(stream, streamSize, &header);
    uint32_t computed = JcChecksum(image.data(), uint32_t(image.size()));
    t += Format("checksum:        stored 0x%08X, computed 0x%08X, %s\n", header.checksum, computed,
                header.checksum == 0 ? "not checked" : header.checksum == computed ? "matches" : "DIFFERS");
  }
  SkinImageView bmp;
  if (!ReadSkinImage(image.data(), image.size(), &bmp)) {
    t += "image:           not a 24-bit BMP\n";
    return true;
  }
  t += Format("image:           %d x %d, 24 bits, %zu bytes\n", bmp.width, bmp.height, image.size());
  uint32_t keyPixels = 0;
  for (int32_t y = 0; y < bmp.height; ++y)
    for (int32_t x = 0; x < bmp.width; ++x) keyPixels += IsKeyColourPixel(bmp, x, y);
  t += Format("opaque pixels:   %u of %u\n", unsigned(bmp.width * bmp.height - keyPixels),
              unsigned(bmp.width * bmp.height));
  if (!where.bareStream) {
    t += Format("runs:            %u (runTableSize %u)\n", SkinRunCount(view), view.runTableSize);
    t += Format("runs vs image:   %s\n", RunsMatchImage(view, bmp) ? "exactly the KeyColour pixels" : "DIFFER");
  }
  return true;
}

std::string SkinBlockSource(const std::vector<uint8_t>& block, const std::string& origin) {
  std::string s = "// Generated by skinpack from " + origin + "; do not edit.\n";
  s += "#include \"skin/zindle_skin.h\"\n\n";
  s += "extern const unsigned char ZindleSkinBlock[] = {";
  for (size_t i = 0; i < block.size(); ++i) {
    if (i % 24 == 0) s += "\n ";
    s += Format(" %u,", block[i]);
  }
  s += Format("\n};\nextern const unsigned int ZindleSkinBlockSize = %zu;\n", block.size());
  return s;
}
