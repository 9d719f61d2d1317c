// skinpack: builds and inspects Zindle skin blocks.
//
//   skinpack pack  [OPTIONS] IMAGE OUT.skin   write a SkinBlock
//   skinpack embed [OPTIONS] IMAGE OUT.cpp    write the SkinBlock as C++ source (ZindleSkinBlock)
//   skinpack unpack FILE OUT.bmp              image of a SkinBlock, a bare JC stream, or a
//                                             program that embeds a SkinBlock
//   skinpack info [--strict] [--button X,Y,W,H]... FILE
//                                             header fields, checksum, runs, opaque pixels, buttons
//
// IMAGE is a PNG or a BMP (1, 4, 8, 24 or 32 bits, uncompressed), told apart by content; it is
// converted to the 24-bit bottom-up BMP the skin carries (see artwork.h for transparency).
// Options of pack and embed:
//   --raw               store the image unpacked (compressed 0)
//   --bmp OUT.bmp       also write the 24-bit BMP that the block carries
//   --button X,Y,W,H    a button rectangle to check, repeatable; replaces the launcher's two
//   --strict            a button warning is an error: exit 1 and write nothing
//   --scale PERCENT     the art is drawn for this display scale: the launcher's buttons are
//                       checked at their places at that scale (default 100)
//   --name SYMBOL       embed: the block's name in the source (default ZindleSkinBlock)
//
// A button that lies on KeyColour pixels or outside the image is warned about on stderr.
// unpack and info refuse an unpackedSize above SkinUnpackLimit (256 MiB) before allocating.
//
// Exit code 0 on success, 1 on bad input, 2 on bad usage.
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "artwork.h"
#include "button_check.h"
#include "skin/skin_runs.h"
#include "skin_pack.h"
#include "tool_files.h"

namespace {

int Usage() {
  std::fputs(
      "usage: skinpack pack  [--raw] [--bmp OUT.bmp] [--strict] [--scale PERCENT] [--button X,Y,W,H]... IMAGE OUT.skin\n"
      "       skinpack embed [--raw] [--bmp OUT.bmp] [--strict] [--scale PERCENT] [--name SYMBOL]\n"
      "                      [--button X,Y,W,H]... IMAGE OUT.cpp\n"
      "       skinpack unpack FILE OUT.bmp\n"
      "       skinpack info [--strict] [--button X,Y,W,H]... FILE\n"
      "IMAGE: PNG or BMP (1, 4, 8, 24 or 32 bits, uncompressed). --button replaces the launcher's\n"
      "buttons (Play 160,250,60,20 and Quit 355,250,60,20 at 100 %) in the check for cut-away pixels.\n",
      stderr);
  return 2;
}

int Fail(const std::string& path, const std::string& why) {
  std::fprintf(stderr, "skinpack: %s: %s\n", path.c_str(), why.c_str());
  return 1;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>* data, std::string* error) {
  FILE* f = OpenToolFile(path, "rb");
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
  FILE* f = OpenToolFile(temp, "wb");
  if (!f) {
    *error = std::string("cannot create: ") + std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(data, 1, size, f) == size;
  ok = (std::fclose(f) == 0) && ok;
  if (ok && !ReplaceToolFile(temp, path)) ok = false;
  if (!ok) {
    RemoveToolFile(temp);
    *error = "write error";
  }
  return ok;
}

// The command line after the mode: options anywhere, the rest in order.
struct Options {
  bool raw = false;
  bool strict = false;
  bool customButtons = false;
  std::vector<SkinButton> buttons = LauncherButtons();
  std::string bmpOut;
  std::string name = "ZindleSkinBlock";
  bool named = false;
  int32_t percent = 100;
  bool scaled = false;
  std::vector<std::string> files;
};

bool ParseOptions(const std::vector<std::string>& args, Options* o) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool hasValue = i + 1 < args.size();
    if (a == "--raw") {
      o->raw = true;
    } else if (a == "--strict") {
      o->strict = true;
    } else if (a == "--bmp" && hasValue) {
      o->bmpOut = args[++i];
    } else if (a == "--name" && hasValue) {
      o->name = args[++i];
      o->named = true;
      bool identifier = !o->name.empty() && !std::isdigit(static_cast<unsigned char>(o->name[0]));
      for (char c : o->name) identifier = identifier && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
      if (!identifier) {
        std::fprintf(stderr, "skinpack: --name wants a C++ identifier, not \"%s\"\n", o->name.c_str());
        return false;
      }
    } else if (a == "--scale" && hasValue) {
      char* end;
      long percent = std::strtol(args[++i].c_str(), &end, 10);
      if (*end || percent < 100 || percent > 400) {
        std::fprintf(stderr, "skinpack: --scale wants a percentage from 100 to 400, not \"%s\"\n", args[i].c_str());
        return false;
      }
      o->percent = int32_t(percent);
      o->scaled = true;
      if (!o->customButtons) o->buttons = LauncherButtonsAt(o->percent);
    } else if (a == "--button" && hasValue) {
      if (!o->customButtons) o->buttons.clear();
      o->customButtons = true;
      SkinButton b;
      if (!ParseSkinButton(args[++i], "button " + std::to_string(o->buttons.size() + 1), &b)) {
        std::fprintf(stderr, "skinpack: --button wants X,Y,W,H with W and H positive, not \"%s\"\n", args[i].c_str());
        return false;
      }
      o->buttons.push_back(b);
    } else if (a.size() > 1 && a[0] == '-') {
      return false;
    } else {
      o->files.push_back(a);
    }
  }
  return true;
}

// Prints the warnings; with --strict they fail the command.
bool ReportButtonWarnings(const std::string& path, const SkinImageView& image, const Options& o) {
  std::vector<std::string> warnings = ButtonWarnings(image, o.buttons);
  for (const std::string& w : warnings) std::fprintf(stderr, "skinpack: %s: warning: %s\n", path.c_str(), w.c_str());
  return warnings.empty() || !o.strict;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args = ToolArguments(argc, argv);
  StartArtworkReaders();
  if (args.empty()) return Usage();
  std::string mode = args[0];
  args.erase(args.begin());
  Options o;
  if (!ParseOptions(args, &o)) return Usage();
  const std::vector<std::string>& files = o.files;
  const bool packing = mode == "pack" || mode == "embed";
  if (!packing && (o.raw || !o.bmpOut.empty())) return Usage();
  if (mode != "embed" && o.named) return Usage();
  if (mode == "unpack" && (o.strict || o.customButtons)) return Usage();
  std::string error;
  std::vector<uint8_t> input;

  if (packing) {
    if (files.size() != 2) return Usage();
    if (!ReadFile(files[0], &input, &error)) return Fail(files[0], error);
    std::vector<uint8_t> bmp;
    ArtworkReport artwork;
    if (!ConvertToSkinBmp(input, &bmp, &artwork, &error)) return Fail(files[0], error);
    SkinImageView image;
    if (!ReadSkinImage(bmp.data(), bmp.size(), &image)) return Fail(files[0], "internal error: the conversion is no skin BMP");
    if (!ReportButtonWarnings(files[0], image, o)) return Fail(files[0], "button warnings with --strict: nothing written");
    std::vector<uint8_t> block;
    JcEncodeReport report;
    if (!PackSkin(bmp, o.raw, &block, &report, &error)) return Fail(files[0], error);
    if (!o.bmpOut.empty() && !WriteFile(o.bmpOut, bmp.data(), bmp.size(), &error)) return Fail(o.bmpOut, error);
    bool ok;
    if (mode == "pack") {
      ok = WriteFile(files[1], block.data(), block.size(), &error);
    } else {
      std::string name = files[0].substr(files[0].find_last_of('/') + 1);
      std::string source = SkinBlockSource(block, name, o.name);
      ok = WriteFile(files[1], source.data(), source.size(), &error);
    }
    if (!ok) return Fail(files[1], error);
    std::printf("skinpack: %s: %s, %u x %u", files[0].c_str(), artwork.kind.c_str(), artwork.width, artwork.height);
    if (!artwork.unchanged) std::printf(", converted to 24 bits");
    if (artwork.hasAlpha)
      std::printf(" (alpha: %u pixels below %u made KeyColour, %u pixels partly transparent)",
                  artwork.cutPixels, ArtworkAlphaCut, artwork.partialPixels);
    std::printf(": %zu bytes -> block of %zu bytes", bmp.size(), block.size());
    if (!o.raw)
      std::printf(" (stream: index width %u, %u literals, %u new matches, %u repeats, %u short, %u near, %u raw blocks)",
                  report.indexWidth, report.literals, report.newMatches, report.repeatMatches, report.shortMatches,
                  report.nearCopies, report.rawBlocks);
    std::printf("\n");
    return 0;
  }
  if (mode == "unpack") {
    if (files.size() != 2) return Usage();
    if (!ReadFile(files[0], &input, &error)) return Fail(files[0], error);
    SkinImageBytes image;
    if (!UnpackSkinFile(input, &image, &error)) return Fail(files[0], error);
    if (!WriteFile(files[1], image.data.get(), image.size, &error)) return Fail(files[1], error);
    return 0;
  }
  if (mode == "info") {
    if (files.size() != 1) return Usage();
    if (!ReadFile(files[0], &input, &error)) return Fail(files[0], error);
    std::string text;
    bool ok = DescribeSkinFile(input, &text, &error);
    std::fputs(text.c_str(), stdout);  // what could be read, even when the image cannot be unpacked
    if (!ok) return Fail(files[0], error);
    SkinImageBytes unpacked;
    SkinImageView image;
    if (UnpackSkinFile(input, &unpacked, &error) && ReadSkinImage(unpacked.data.get(), unpacked.size, &image)) {
      std::fputs(DescribeButtonPlacements(image, o.buttons).c_str(), stdout);
      if (!ReportButtonWarnings(files[0], image, o)) return Fail(files[0], "button warnings with --strict");
    }
    return 0;
  }
  return Usage();
}
