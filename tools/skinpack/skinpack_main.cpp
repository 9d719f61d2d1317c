// skinpack: builds and inspects Zindle skin blocks.
//
//   skinpack pack  [--raw] IMAGE.bmp OUT.skin   write a SkinBlock
//   skinpack embed [--raw] IMAGE.bmp OUT.cpp    write the SkinBlock as C++ source (ZindleSkinBlock)
//   skinpack unpack FILE OUT.bmp                image of a SkinBlock, a bare JC stream, or a
//                                               program that embeds a SkinBlock
//   skinpack info FILE                          header fields, checksum, runs, opaque pixels
//
// unpack and info refuse an unpackedSize above SkinUnpackLimit (256 MiB) before allocating.
//
// Exit code 0 on success, 1 on bad input, 2 on bad usage.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "skin_pack.h"

namespace {

int Usage() {
  std::fputs(
      "usage: skinpack pack [--raw] IMAGE.bmp OUT.skin\n"
      "       skinpack embed [--raw] IMAGE.bmp OUT.cpp\n"
      "       skinpack unpack FILE OUT.bmp\n"
      "       skinpack info FILE\n",
      stderr);
  return 2;
}

int Fail(const std::string& path, const std::string& why) {
  std::fprintf(stderr, "skinpack: %s: %s\n", path.c_str(), why.c_str());
  return 1;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* data, std::string* error) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    *error = std::string("cannot open: ") + std::strerror(errno);
    return false;
  }
  data->clear();
  uint8_t buf[65536];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) data->insert(data->end(), buf, buf + got);
  bool ok = !std::ferror(f);
  std::fclose(f);
  if (!ok) *error = "read error";
  return ok;
}

bool WriteFile(const std::string& path, const void* data, size_t size, std::string* error) {
  // Write beside the target and rename, so a failed run never leaves half a file behind.
  std::string temp = path + ".tmp";
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) {
    *error = std::string("cannot create: ") + std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(data, 1, size, f) == size;
  ok = (std::fclose(f) == 0) && ok;
  if (ok && std::rename(temp.c_str(), path.c_str()) != 0) ok = false;
  if (!ok) {
    std::remove(temp.c_str());
    *error = "write error";
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return Usage();
  std::string mode = args[0];
  args.erase(args.begin());
  bool raw = false;
  if (!args.empty() && args[0] == "--raw") {
    raw = true;
    args.erase(args.begin());
  }
  std::string error;
  std::vector<uint8_t> input;

  if (mode == "pack" || mode == "embed") {
    if (args.size() != 2) return Usage();
    if (!ReadFile(args[0], &input, &error)) return Fail(args[0], error);
    std::vector<uint8_t> block;
    JcEncodeReport report;
    if (!PackSkin(input, raw, &block, &report, &error)) return Fail(args[0], error);
    bool ok;
    if (mode == "pack") {
      ok = WriteFile(args[1], block.data(), block.size(), &error);
    } else {
      std::string name = args[0].substr(args[0].find_last_of('/') + 1);
      std::string source = SkinBlockSource(block, name);
      ok = WriteFile(args[1], source.data(), source.size(), &error);
    }
    if (!ok) return Fail(args[1], error);
    std::printf("skinpack: %s: %zu bytes -> block of %zu bytes", args[0].c_str(), input.size(), block.size());
    if (!raw)
      std::printf(" (stream: index width %u, %u literals, %u new matches, %u repeats, %u short, %u near, %u raw blocks)",
                  report.indexWidth, report.literals, report.newMatches, report.repeatMatches, report.shortMatches,
                  report.nearCopies, report.rawBlocks);
    std::printf("\n");
    return 0;
  }
  if (mode == "unpack") {
    if (args.size() != 2 || raw) return Usage();
    if (!ReadFile(args[0], &input, &error)) return Fail(args[0], error);
    SkinImageBytes image;
    if (!UnpackSkinFile(input, &image, &error)) return Fail(args[0], error);
    if (!WriteFile(args[1], image.data.get(), image.size, &error)) return Fail(args[1], error);
    return 0;
  }
  if (mode == "info") {
    if (args.size() != 1 || raw) return Usage();
    if (!ReadFile(args[0], &input, &error)) return Fail(args[0], error);
    std::string text;
    bool ok = DescribeSkinFile(input, &text, &error);
    std::fputs(text.c_str(), stdout);  // what could be read, even when the image cannot be unpacked
    return ok ? 0 : Fail(args[0], error);
  }
  return Usage();
}
