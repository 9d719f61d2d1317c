#include "skin_pack.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>

#include "skin/byte_order.h"
#include "skin/jc_stream.h"
#include "skin/skin_block.h"
#include "skin/skin_runs.h"
#include "skin/skin_spans.h"

namespace {

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
  AppendLittleEndian32(b, uint32_t(bmp.size()));
  AppendLittleEndian32(b, uint32_t(stream.size()));
  b.insert(b.end(), SkinBanner, SkinBanner + SkinBannerLength);
  b.push_back('\r');
  b.push_back('\n');
  if (raw) b.insert(b.end(), bmp.begin(), bmp.end());
  else b.insert(b.end(), stream.begin(), stream.end());
  AppendLittleEndian32(b, uint32_t(runs.size() * SkinRunSize));
  for (const SkinRun& r : runs) {
    AppendLittleEndian16(b, uint16_t(r.left));
    AppendLittleEndian16(b, uint16_t(r.top));
    AppendLittleEndian16(b, uint16_t(r.right));
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

uint32_t SkinOutlineRects(const SkinImageView& image) {
  std::vector<SkinRun> runs = RunsOf(image);
  std::vector<uint8_t> table;
  for (const SkinRun& r : runs) {
    AppendLittleEndian16(table, uint16_t(r.left));
    AppendLittleEndian16(table, uint16_t(r.top));
    AppendLittleEndian16(table, uint16_t(r.right));
  }
  SkinBlockView view = {};
  view.runHeight = 1;
  view.runs = table.data();
  view.runTableSize = uint32_t(table.size());
  // Runs beyond what can be counted here (a 32-bit program and an image of over 150 million
  // pixels) are taken as more rectangles than any bound.
  size_t workBytes = SkinSpanWorkBytes(uint32_t(runs.size()));
  if (workBytes == 0) return UINT32_MAX;
  std::vector<uint32_t> work(workBytes / sizeof(uint32_t));
  return CollectSkinSpans(view, image.width, image.height, nullptr, 0, work.data());
}

std::string OutlineWarning(const SkinImageView& image) {
  uint32_t rects = SkinOutlineRects(image);
  if (rects <= LargestSkinOutline) return "";
  return Format("its cut-away pixels make an outline of %u rectangles, more than the %u the launcher takes: the "
                "launcher will not use this drawing (finely dithered transparency does this; cut away larger areas)",
                rects, LargestSkinOutline);
}

std::string SkinPictureHash(const SkinImageView& image) {
  uint64_t hash = 0xCBF29CE484222325u;
  auto add = [&hash](uint8_t byte) { hash = (hash ^ byte) * 0x100000001B3u; };
  for (int32_t side : {image.width, image.height})
    for (int shift = 0; shift < 32; shift += 8) add(uint8_t(uint32_t(side) >> shift));
  for (int32_t y = 0; y < image.height; ++y) {
    const uint8_t* row = image.pixels + size_t(image.height - 1 - y) * image.stride;  // rows are stored bottom-up
    for (int32_t x = 0; x < image.width; ++x) {
      add(row[x * 3 + 2]);
      add(row[x * 3 + 1]);
      add(row[x * 3]);
    }
  }
  return Format("%012llx", static_cast<unsigned long long>(hash >> 16));
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

namespace {

// The skin found in a file, its headers read.
struct LocatedSkin {
  SkinLocation where;
  SkinBlockView view;        // the block's fields, when not a bare stream
  bool compressed;           // the image is a JC stream
  bool streamHeaderRead;     // stream (below) holds the stream's header fields
  JcHeader stream;
  const uint8_t* imageData;  // the JC stream or the raw image
  size_t imageDataSize;
  uint32_t unpackedSize;
};

// Locates the skin and reads its headers. On failure, what was read so far stays in `skin`.
bool ReadLocatedSkin(const std::vector<uint8_t>& file, LocatedSkin* skin, std::string* error) {
  *skin = LocatedSkin{};
  if (!LocateSkin(file, &skin->where, error)) return false;
  const uint8_t* p = file.data() + skin->where.offset;
  size_t size = file.size() - skin->where.offset;
  if (skin->where.bareStream) {
    skin->compressed = true;
    skin->imageData = p;
    skin->imageDataSize = size;
  } else {
    ReadSkinBlock(p, size, &skin->view);  // LocateSkin has checked that it reads
    skin->compressed = skin->view.compressed != 0;
    skin->imageData = skin->view.imageData;
    skin->imageDataSize = skin->view.imageDataSize;
    skin->unpackedSize = skin->view.unpackedSize;
  }
  if (skin->compressed) {
    if (!ReadJcHeader(skin->imageData, skin->imageDataSize, &skin->stream)) {
      *error = "truncated JC header";
      return false;
    }
    skin->streamHeaderRead = true;
    if (!skin->where.bareStream && skin->stream.unpackedSize != skin->unpackedSize) {
      *error = Format("the JC stream unpacks to %u bytes, the block says %u", skin->stream.unpackedSize,
                      skin->unpackedSize);
      return false;
    }
    skin->unpackedSize = skin->stream.unpackedSize;
  }
  return true;
}

// Unpacks the image without checking the stream's checksum (so a caller can report stored and
// computed checksums). Refuses sizes above SkinUnpackLimit before allocating anything.
bool UnpackLocatedSkin(const LocatedSkin& skin, SkinImageBytes* image, std::string* error) {
  if (skin.unpackedSize == 0) {
    *error = "unpackedSize is 0: there is no image";
    return false;
  }
  if (skin.unpackedSize > SkinUnpackLimit) {
    *error = Format("unpackedSize %u is above the limit of %u bytes (256 MiB)", skin.unpackedSize, SkinUnpackLimit);
    return false;
  }
  image->data.reset(new (std::nothrow) uint8_t[skin.unpackedSize]());
  image->size = image->data ? skin.unpackedSize : 0;
  if (!image->data) {
    *error = Format("out of memory for %u bytes", skin.unpackedSize);
    return false;
  }
  if (!skin.compressed) {
    std::memcpy(image->data.get(), skin.imageData, skin.unpackedSize);
    return true;
  }
  // A copy of the stream with its checksum field cleared decodes without the check.
  std::vector<uint8_t> stream(skin.imageData, skin.imageData + skin.imageDataSize);
  std::memset(stream.data() + 6, 0, 4);
  if (DecodeJcStream(stream.data(), stream.size(), image->data.get()) != skin.unpackedSize) {
    *error = "the JC stream is damaged (decoding failed)";
    return false;
  }
  return true;
}

bool ChecksumMatches(const LocatedSkin& skin, const SkinImageBytes& image, uint32_t* computed) {
  *computed = JcChecksum(image.data.get(), uint32_t(image.size));
  return !skin.compressed || skin.stream.checksum == 0 || skin.stream.checksum == *computed;
}

}  // namespace

bool UnpackSkinFile(const std::vector<uint8_t>& file, SkinImageBytes* image, std::string* error) {
  LocatedSkin skin;
  if (!ReadLocatedSkin(file, &skin, error) || !UnpackLocatedSkin(skin, image, error)) return false;
  uint32_t computed;
  if (!ChecksumMatches(skin, *image, &computed)) {
    *error = Format("checksum differs: stored 0x%08X, computed 0x%08X", skin.stream.checksum, computed);
    return false;
  }
  return true;
}

bool DescribeSkinFile(const std::vector<uint8_t>& file, std::string* text, std::string* error) {
  std::string& t = *text;
  LocatedSkin skin;
  bool ok = ReadLocatedSkin(file, &skin, error);
  if (skin.where.bareStream) {
    t += "kind:            bare JC stream\n";
  } else if (skin.view.banner != nullptr) {
    const SkinBlockView& view = skin.view;
    t += Format("kind:            skin block at byte %zu of the file, %u bytes\n", skin.where.offset,
                unsigned(view.runs - (file.data() + skin.where.offset) + view.runTableSize));
    t += Format("runHeight:       %d\n", view.runHeight);
    t += Format("compressed:      %u\n", view.compressed);
    t += Format("unpackedSize:    %u\n", view.unpackedSize);
    t += Format("storedSize:      %u\n", view.storedSize);
    t += Format("banner:          %s\n", SkinBannerMatches(view) ? "matches" : "DIFFERS");
    t += Format("runs:            %u (runTableSize %u)\n", SkinRunCount(view), view.runTableSize);
  }
  if (skin.streamHeaderRead)
    t += Format("stream:          %zu bytes, unpacks to %u, checksum 0x%08X\n", skin.imageDataSize,
                skin.stream.unpackedSize, skin.stream.checksum);
  SkinImageBytes image;
  if (!ok || !UnpackLocatedSkin(skin, &image, error)) return false;

  uint32_t computed;
  bool matches = ChecksumMatches(skin, image, &computed);
  if (skin.compressed) {
    t += Format("checksum:        stored 0x%08X, computed 0x%08X, %s\n", skin.stream.checksum, computed,
                skin.stream.checksum == 0 ? "not checked" : matches ? "matches" : "DIFFERS");
  }
  if (!matches) {
    *error = "the image's checksum differs from the stored one";
    return false;
  }
  SkinImageView bmp;
  if (!ReadSkinImage(image.data.get(), image.size, &bmp)) {
    t += "image:           not a 24-bit BMP\n";
    return true;
  }
  t += Format("image:           %d x %d, 24 bits, %zu bytes\n", bmp.width, bmp.height, image.size);
  uint32_t keyPixels = 0;
  for (int32_t y = 0; y < bmp.height; ++y)
    for (int32_t x = 0; x < bmp.width; ++x) keyPixels += IsKeyColourPixel(bmp, x, y);
  t += Format("opaque pixels:   %u of %u\n", unsigned(bmp.width * bmp.height - keyPixels),
              unsigned(bmp.width * bmp.height));
  if (!skin.where.bareStream)
    t += Format("runs vs image:   %s\n", RunsMatchImage(skin.view, bmp) ? "exactly the KeyColour pixels" : "DIFFER");
  return true;
}

std::string SkinBlockSource(const std::vector<uint8_t>& block, const std::string& origin, const std::string& name) {
  std::string s = "// Generated by skinpack from " + origin + "; do not edit.\n";
  s += "#include \"skin/zindle_skin.h\"\n\n";
  s += "extern const unsigned char " + name + "[] = {";
  for (size_t i = 0; i < block.size(); ++i) {
    if (i % 24 == 0) s += "\n ";
    s += Format(" %u,", block[i]);
  }
  s += Format("\n};\nextern const unsigned int %sSize = %zu;\n", name.c_str(), block.size());
  return s;
}
