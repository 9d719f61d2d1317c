// skinpack: builds and inspects Zindle skin blocks.
//
//   skinpack pack  [OPTIONS] IMAGE OUT.skin   write a SkinBlock
//   skinpack embed [OPTIONS] IMAGE OUT.cpp    write the SkinBlock as C++ source (ZindleSkinBlock)
//   skinpack unpack FILE OUT.bmp              image of a SkinBlock, a bare JC stream, or a
//                                             program that embeds a SkinBlock
//   skinpack info [--strict] [--button X,Y,W,H]... FILE
//                                             header fields, checksum, runs, opaque pixels, buttons;
//                                             of a launcher, each skin resource, its buttons checked
//                                             at that skin's scale
//   skinpack reskin [--strict] [--raw] PROGRAM IMAGE [IMAGE_200] -o OUT.exe
//                                             a copy of a built launcher with new skins: IMAGE drawn
//                                             for 100 %, IMAGE_200 the same drawn for 200 % (without
//                                             it the launcher scales the 100 % art)
//
// IMAGE is a PNG or a BMP (1, 4, 8, 24 or 32 bits, uncompressed), told apart by content; it is
// converted to the 24-bit bottom-up BMP the skin carries (see artwork.h for transparency).
// Options of pack and embed:
//   --raw               store the image unpacked (compressed 0)
//   --bmp OUT.bmp       also write the 24-bit BMP that the block carries
//   --button X,Y,W,H    a button rectangle to check, repeatable; replaces the launcher's two
//   --strict            a warning is an error: exit 1 and write nothing
//   --scale PERCENT     the art is drawn for this display scale: the launcher's buttons are
//                       checked at their places at that scale (default 100)
//   --name SYMBOL       embed: the block's name in the source (default ZindleSkinBlock)
//   --block OUT.skin    embed: also write the block itself
//
// reskin packs each image as pack does, checking the launcher's buttons at the image's scale, and
// writes the blocks into the copy as its skin resources (skin/skin_resource_names.h). It refuses a
// program that carries no skin resources, and it drops the program's signature, which would no
// longer match: the result is to be signed again.

// A button that lies on KeyColour pixels or outside the image is warned about on stderr, and so is
// a skin whose window outline has more rectangles than the launcher takes (LargestSkinOutline).
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
#include "reskin.h"
#include "resource_writer.h"
#include "skin/skin_resource_names.h"
#include "skin_pack.h"
#include "tool_files.h"

namespace {

int Usage() {
  std::fputs(
      "usage: skinpack pack  [--raw] [--bmp OUT.bmp] [--strict] [--scale PERCENT] [--button X,Y,W,H]... IMAGE OUT.skin\n"
      "       skinpack embed [--raw] [--bmp OUT.bmp] [--strict] [--scale PERCENT] [--name SYMBOL]\n"
      "                      [--block OUT.skin] [--button X,Y,W,H]... IMAGE OUT.cpp\n"
      "       skinpack unpack FILE OUT.bmp\n"
      "       skinpack info [--strict] [--button X,Y,W,H]... FILE\n"
      "       skinpack reskin [--strict] [--raw] PROGRAM IMAGE [IMAGE_200] -o OUT.exe\n"
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
  // Write a new file of its own beside the target and rename it over the target, so a failed run
  // never leaves half a file behind; on failure only that new file is removed.
  std::string temp, reason;
  FILE* f = CreateToolTempFile(path, &temp, &reason);
  if (!f) {
    *error = "cannot create: " + reason;
    return false;
  }
  bool ok = std::fwrite(data, 1, size, f) == size;
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) {
    *error = std::string("write error: ") + std::strerror(errno);
  } else if (!ReplaceToolFile(temp, path, &reason)) {
    *error = "cannot replace: " + reason;
    ok = false;
  }
  if (!ok) RemoveToolFile(temp);
  return ok;
}

// The command line after the mode: options anywhere, the rest in order.
struct Options {
  bool raw = false;
  bool strict = false;
  bool customButtons = false;
  std::vector<SkinButton> buttons = LauncherButtons();
  std::string bmpOut;
  std::string blockOut;
  std::string output;  // reskin's -o
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
    } else if (a == "--block" && hasValue) {
      o->blockOut = args[++i];
    } else if (a == "-o" && hasValue) {
      o->output = args[++i];
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

// Prints the warnings about the skin's buttons and its outline. With --strict they fail the
// command: returns what to fail with ("button warnings with --strict"), else "".
std::string ReportSkinWarnings(const std::string& path, const SkinImageView& image,
                               const std::vector<SkinButton>& buttons, bool strict) {
  std::vector<std::string> warnings = ButtonWarnings(image, buttons);
  const bool buttonsWarned = !warnings.empty();
  std::string outline = OutlineWarning(image);
  if (!outline.empty()) warnings.push_back(outline);
  for (const std::string& w : warnings) std::fprintf(stderr, "skinpack: %s: warning: %s\n", path.c_str(), w.c_str());
  if (warnings.empty() || !strict) return "";
  if (outline.empty()) return "button warnings with --strict";
  return buttonsWarned ? "button and outline warnings with --strict" : "outline warning with --strict";
}

// Describes the skin found in `file` and where the buttons sit on it: 0, or the exit code.
int InfoOf(const std::string& label, const std::vector<uint8_t>& file, const std::vector<SkinButton>& buttons,
           bool strict) {
  std::string text, error;
  bool ok = DescribeSkinFile(file, &text, &error);
  std::fputs(text.c_str(), stdout);  // what could be read, even when the image cannot be unpacked
  if (!ok) return Fail(label, error);
  SkinImageBytes unpacked;
  SkinImageView image;
  if (UnpackSkinFile(file, &unpacked, &error) && ReadSkinImage(unpacked.data.get(), unpacked.size, &image)) {
    std::fputs(DescribeButtonPlacements(image, buttons).c_str(), stdout);
    std::string failed = ReportSkinWarnings(label, image, buttons, strict);
    if (!failed.empty()) return Fail(label, failed);
  }
  return 0;
}

// One image packed as the build packs it: converted to the skin BMP, its buttons checked, packed,
// and the block decoded again and compared.
struct PackedArt {
  std::vector<uint8_t> bmp;
  std::vector<uint8_t> block;
  ArtworkReport artwork;
  JcEncodeReport encode;
};

// 0, or the exit code after the message has been printed.
int PackArt(const std::string& path, const Options& o, const std::vector<SkinButton>& buttons, PackedArt* art) {
  std::string error;
  std::vector<uint8_t> input;
  if (!ReadFile(path, &input, &error)) return Fail(path, error);
  if (!ConvertToSkinBmp(input, &art->bmp, &art->artwork, &error)) return Fail(path, error);
  SkinImageView image;
  if (!ReadSkinImage(art->bmp.data(), art->bmp.size(), &image))
    return Fail(path, "internal error: the conversion is no skin BMP");
  std::string failed = ReportSkinWarnings(path, image, buttons, o.strict);
  if (!failed.empty()) return Fail(path, failed + ": nothing written");
  if (!PackSkin(art->bmp, o.raw, &art->block, &art->encode, &error)) return Fail(path, error);
  return 0;
}

void PrintPacked(const std::string& path, const PackedArt& art, bool raw) {
  const ArtworkReport& a = art.artwork;
  std::printf("skinpack: %s: %s, %u x %u", path.c_str(), a.kind.c_str(), a.width, a.height);
  if (!a.unchanged) std::printf(", converted to 24 bits");
  if (a.hasAlpha)
    std::printf(" (alpha: %u pixels below %u made KeyColour, %u pixels partly transparent)", a.cutPixels,
                ArtworkAlphaCut, a.partialPixels);
  std::printf(": %zu bytes -> block of %zu bytes", art.bmp.size(), art.block.size());
  const JcEncodeReport& r = art.encode;
  if (!raw)
    std::printf(" (stream: index width %u, %u literals, %u new matches, %u repeats, %u short, %u near, %u raw blocks)",
                r.indexWidth, r.literals, r.newMatches, r.repeatMatches, r.shortMatches, r.nearCopies, r.rawBlocks);
  std::printf("\n");
}

int PackMode(const std::string& mode, const Options& o) {
  const std::vector<std::string>& files = o.files;
  if (files.size() != 2) return Usage();
  PackedArt art;
  if (int failed = PackArt(files[0], o, o.buttons, &art)) return failed;
  std::string error;
  if (!o.bmpOut.empty() && !WriteFile(o.bmpOut, art.bmp.data(), art.bmp.size(), &error)) return Fail(o.bmpOut, error);
  if (!o.blockOut.empty() && !WriteFile(o.blockOut, art.block.data(), art.block.size(), &error))
    return Fail(o.blockOut, error);
  bool ok;
  if (mode == "pack") {
    ok = WriteFile(files[1], art.block.data(), art.block.size(), &error);
  } else {
    std::string name = files[0].substr(files[0].find_last_of("/\\") + 1);
    std::string source = SkinBlockSource(art.block, name, o.name);
    ok = WriteFile(files[1], source.data(), source.size(), &error);
  }
  if (!ok) return Fail(files[1], error);
  PrintPacked(files[0], art, o.raw);
  return 0;
}

// A copy of a built launcher with new skins, checked after it is written: the blocks read back
// from it, and everything else it carries as before.
int ReskinMode(const Options& o) {
  const std::vector<std::string>& files = o.files;
  if (files.size() < 2 || files.size() > 1 + SkinResourceNameCount || o.output.empty()) return Usage();
  const std::string& programPath = files[0];
  std::string error;
  std::vector<uint8_t> program;
  if (!ReadFile(programPath, &program, &error)) return Fail(programPath, error);
  ProgramSkins before;
  if (!ReadProgramSkins(program, &before, &error)) return Fail(programPath, error);

  std::vector<ProgramResource> skins;
  std::vector<PackedArt> arts(files.size() - 1);
  for (size_t i = 0; i < arts.size(); ++i) {
    const SkinResourceName& skin = SkinResourceNames[i];
    if (int failed = PackArt(files[i + 1], o, LauncherButtonsAt(int32_t(skin.percent)), &arts[i])) return failed;
    skins.push_back({skin.name, arts[i].block});
  }
  // A scale without new art loses the old skin's, so that the launcher makes it from the new art.
  for (int i = int(arts.size()); i < SkinResourceNameCount; ++i) skins.push_back({SkinResourceNames[i].name, {}});
  if (arts.size() > 1) {
    std::string warning = ScaledArtWarning(arts[0].artwork, arts[1].artwork);
    if (!warning.empty()) {
      std::fprintf(stderr, "skinpack: %s: warning: %s\n", files[2].c_str(), warning.c_str());
      if (o.strict) return Fail(files[2], "warnings with --strict: nothing written");
    }
  }

  std::vector<uint8_t> result;
  if (!WriteProgramResources(program, skins, &result, &error)) return Fail(programPath, error);
  if (!CheckReskinnedProgram(program, result, skins, &error))
    return Fail(o.output, "internal error: the written program is not as meant: " + error);
  if (!WriteFile(o.output, result.data(), result.size(), &error)) return Fail(o.output, error);
  for (size_t i = 0; i < arts.size(); ++i) PrintPacked(files[i + 1], arts[i], o.raw);
  std::printf("skinpack: %s: the launcher of %s with skins", o.output.c_str(), programPath.c_str());
  for (size_t i = 0; i < arts.size(); ++i)
    std::printf("%s %ld %% (%u x %u)", i ? "," : "", SkinResourceNames[i].percent, arts[i].artwork.width,
                arts[i].artwork.height);
  if (arts.size() < size_t(SkinResourceNameCount))
    std::printf("; larger scales are made from the %ld %% art", SkinResourceNames[arts.size() - 1].percent);
  std::printf("\n");
  if (before.signedProgram)
    std::printf("skinpack: %s: not signed: the signature of %s no longer matched and was dropped; sign it again\n",
                o.output.c_str(), programPath.c_str());
  return 0;
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
  if (!packing && mode != "reskin" && (o.raw || !o.bmpOut.empty())) return Usage();
  if (mode != "embed" && (o.named || !o.blockOut.empty())) return Usage();
  if ((mode == "reskin") != !o.output.empty()) return Usage();
  if (mode == "reskin" && (o.customButtons || o.scaled || !o.bmpOut.empty())) return Usage();
  if (mode == "unpack" && (o.strict || o.customButtons)) return Usage();
  std::string error;
  std::vector<uint8_t> input;

  if (packing) return PackMode(mode, o);
  if (mode == "reskin") return ReskinMode(o);
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
    // A launcher: each of its skin resources, its buttons checked at that skin's scale.
    ProgramSkins program;
    if (ReadProgramSkins(input, &program, &error)) {
      int failed = 0;
      for (size_t i = 0; i < program.skins.size(); ++i) {
        const ProgramResource& skin = program.skins[i];
        long percent = 100;
        for (const SkinResourceName& name : SkinResourceNames)
          if (skin.name == name.name) percent = name.percent;
        std::printf("%sresource %s (%ld %%):\n", i ? "\n" : "", skin.name.c_str(), percent);
        const std::vector<SkinButton> buttons = o.customButtons ? o.buttons : LauncherButtonsAt(int32_t(percent));
        if (int code = InfoOf(files[0] + ": " + skin.name, skin.data, buttons, o.strict)) failed = code;
      }
      return failed;
    }
    return InfoOf(files[0], input, o.buttons, o.strict);
  }
  return Usage();
}
