// skinpack: builds and inspects Zindle skin blocks.
//
//   skinpack pack  [OPTIONS] IMAGE OUT.skin   write a SkinBlock
//   skinpack embed [OPTIONS] IMAGE OUT.cpp    write the SkinBlock as C++ source (ZindleSkinBlock)
//   skinpack unpack [--scale 100|200] FILE OUT.bmp
//                                             the art of a launcher at that scale (100 % unless
//                                             told), or of a SkinBlock or bare JC stream
//   skinpack info [--strict] [--scale PERCENT] [--button X,Y,W,H]... FILE
//                                             first what a team needs: of a launcher whether it is
//                                             signed and each scale's art (size, picture hash,
//                                             buttons); then header fields, checksum, runs, pixels
//   skinpack reskin [--strict] [--raw] PROGRAM IMAGE [IMAGE_200] -o OUT.exe
//                                             a copy of a built launcher with new skins: IMAGE drawn
//                                             for 100 %, IMAGE_200 the same drawn for 200 % (without
//                                             it the launcher scales the 100 % art)
//   skinpack --help
//
// IMAGE is a PNG or a BMP (1, 4, 8, 24 or 32 bits, uncompressed), told apart by content; it is
// converted to the 24-bit bottom-up BMP the skin carries (see artwork.h for transparency).
// Options of pack and embed:
//   --raw               store the image unpacked (compressed 0)
//   --bmp OUT.bmp       also write the 24-bit BMP that the block carries
//   --button X,Y,W,H    a button rectangle to check, repeatable; replaces the launcher's two
//   --strict            a warning is an error: exit 1 and write nothing
//   --scale PERCENT     the art is drawn for this display scale: the launcher's buttons are
//                       checked at their places at that scale, and its size against the layout's
//                       (default 100)
//   --name SYMBOL       embed: the block's name in the source (default ZindleSkinBlock)
//   --block OUT.skin    embed: also write the block itself
// --overwrite (pack, embed, unpack, reskin): a file to write may be one of the command's inputs;
// without it such a command is refused, whatever path or link names the file.
//
// reskin packs each image as pack does, checking the launcher's buttons at the image's scale, and
// writes the blocks into the copy as its skin resources (skin/skin_resource_names.h); the copy
// takes the program's file mode. It refuses a program that carries no skin resources, and it drops
// the program's signature, which would no longer match: the result is to be signed again.

// On stderr: a warning for art whose size is not the launcher's layout at its scale (unless
// --button gives other buttons), for a button that lies on KeyColour pixels or outside the image,
// and for a skin whose window outline has more rectangles than the launcher takes
// (LargestSkinOutline); and a line before packing art large enough to take a second or more.
// unpack and info refuse an unpackedSize above SkinUnpackLimit (256 MiB) before allocating.
//
// Exit code 0 on success, 1 on bad input, 2 on bad usage (one line naming the problem, then the
// usage).
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

constexpr char UsageText[] =
    "usage: skinpack pack  [--raw] [--bmp OUT.bmp] [--strict] [--scale PERCENT] [--button X,Y,W,H]...\n"
    "                      [--overwrite] IMAGE OUT.skin\n"
    "       skinpack embed [--raw] [--bmp OUT.bmp] [--strict] [--scale PERCENT] [--name SYMBOL]\n"
    "                      [--block OUT.skin] [--button X,Y,W,H]... [--overwrite] IMAGE OUT.cpp\n"
    "       skinpack unpack [--scale 100|200] [--overwrite] FILE OUT.bmp\n"
    "       skinpack info [--strict] [--scale PERCENT] [--button X,Y,W,H]... FILE\n"
    "       skinpack reskin [--strict] [--raw] [--overwrite] PROGRAM IMAGE [IMAGE_200] -o OUT.exe\n"
    "       skinpack --help\n"
    "IMAGE: PNG or BMP (1, 4, 8, 24 or 32 bits, uncompressed); for reskin IMAGE is the art drawn for\n"
    "100 % (575 x 385), IMAGE_200 the same drawn for 200 % (1150 x 770). --button replaces the\n"
    "launcher's buttons (Play 160,250,60,20 and Quit 355,250,60,20 at 100 %) in the check for\n"
    "cut-away pixels. unpack writes a launcher's 100 % art, or its 200 % art with --scale 200.\n"
    "No command writes over one of its own input files unless given --overwrite.\n";

// Bad usage: the problem on one line, then the usage.
int Usage(const std::string& problem) {
  std::fprintf(stderr, "skinpack: %s\n", problem.c_str());
  std::fputs(UsageText, stderr);
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

// `mode`: the new file's permission bits on the host (less the umask).
bool WriteFile(const std::string& path, const void* data, size_t size, std::string* error, unsigned mode = 0666) {
  // Write a new file of its own beside the target and rename it over the target, so a failed run
  // never leaves half a file behind; on failure only that new file is removed.
  std::string temp, reason;
  FILE* f = CreateToolTempFile(path, &temp, &reason, mode);
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
  bool overwrite = false;
  bool customButtons = false;
  std::vector<SkinButton> buttons = LauncherButtons();
  std::string bmpOut;
  std::string blockOut;
  std::string output;  // reskin's -o
  std::string name = "ZindleSkinBlock";
  int32_t percent = 100;
  std::vector<std::string> given;  // the options given, by name
  std::vector<std::string> files;
};

// Reads the options into `o`: "", or the problem with them.
std::string ParseOptions(const std::vector<std::string>& args, Options* o) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() < 2 || a[0] != '-') {
      o->files.push_back(a);
      continue;
    }
    o->given.push_back(a);
    if (a == "--raw") {
      o->raw = true;
      continue;
    }
    if (a == "--strict") {
      o->strict = true;
      continue;
    }
    if (a == "--overwrite") {
      o->overwrite = true;
      continue;
    }
    if (a != "--bmp" && a != "--block" && a != "-o" && a != "--name" && a != "--scale" && a != "--button")
      return "no such option " + a;
    if (i + 1 == args.size()) return a + " wants a value";
    const std::string& value = args[++i];
    if (a == "--bmp") {
      o->bmpOut = value;
    } else if (a == "--block") {
      o->blockOut = value;
    } else if (a == "-o") {
      o->output = value;
    } else if (a == "--name") {
      o->name = value;
      bool identifier = !value.empty() && !std::isdigit(static_cast<unsigned char>(value[0]));
      for (char c : value) identifier = identifier && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
      if (!identifier) return "--name wants a C++ identifier, not \"" + value + "\"";
    } else if (a == "--scale") {
      char* end;
      long percent = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end || percent < 100 || percent > 400)
        return "--scale wants a percentage from 100 to 400, not \"" + value + "\"";
      o->percent = int32_t(percent);
      if (!o->customButtons) o->buttons = LauncherButtonsAt(o->percent);
    } else {
      if (!o->customButtons) o->buttons.clear();
      o->customButtons = true;
      SkinButton b;
      if (!ParseSkinButton(value, "button " + std::to_string(o->buttons.size() + 1), &b))
        return "--button wants X,Y,W,H with W and H positive, not \"" + value + "\"";
      o->buttons.push_back(b);
    }
  }
  return "";
}

bool Given(const Options& o, const char* option) {
  for (const std::string& g : o.given)
    if (g == option) return true;
  return false;
}

// The commands, each with the options it takes and the files it wants.
struct Command {
  const char* mode;
  const char* options;  // separated by spaces
  const char* files;    // for messages
  size_t fewestFiles;
  size_t mostFiles;
};
constexpr Command Commands[] = {
    {"pack", "--raw --bmp --strict --scale --button --overwrite", "IMAGE and OUT.skin are", 2, 2},
    {"embed", "--raw --bmp --strict --scale --button --name --block --overwrite", "IMAGE and OUT.cpp are", 2, 2},
    {"unpack", "--scale --overwrite", "FILE and OUT.bmp are", 2, 2},
    {"info", "--strict --scale --button", "FILE is", 1, 1},
    {"reskin", "--raw --strict --overwrite -o", "PROGRAM and one or two images are", 2, 1 + SkinResourceNameCount},
};

// The problem with the command line of `command`, or "".
std::string CheckCommandLine(const Command& command, const Options& o) {
  const std::string mode = command.mode, options = std::string(" ") + command.options + " ";
  for (const std::string& g : o.given)
    if (options.find(" " + g + " ") == std::string::npos) return mode + ": " + g + " is not an option of " + mode;
  if (mode == "reskin" && o.output.empty()) return "reskin: -o OUT.exe is missing";
  if (mode == "unpack" && o.percent != 100 && o.percent != 200)
    return "unpack: --scale wants 100 or 200, the scales a launcher carries art for";
  const size_t n = o.files.size();
  if (n < command.fewestFiles || n > command.mostFiles)
    return mode + ": " + command.files + " wanted, " + std::to_string(n) + (n == 1 ? " file" : " files") + " given";
  return "";
}

// Refuses to write any of `outputs` when it is one of `inputs`, by whatever path, unless
// --overwrite: 0, or the exit code after the message has been printed.
int CheckNotInputs(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                   const Options& o) {
  if (o.overwrite) return 0;
  for (const std::string& out : outputs)
    for (const std::string& in : inputs)
      if (!out.empty() && SameToolFile(in, out))
        return Fail(out, "the file to write is also an input (" + in +
                             "): nothing written; give --overwrite to write over it");
  return 0;
}

// Prints the warnings about the skin: its size against the launcher's layout at `percent` (0: not
// checked, as for buttons of the caller's own), its buttons and its outline. With --strict they
// fail the command: returns what to fail with ("size and button warnings with --strict"), else "".
std::string ReportSkinWarnings(const std::string& path, const SkinImageView& image,
                               const std::vector<SkinButton>& buttons, int32_t percent, bool strict) {
  std::vector<std::string> warnings, kinds;
  auto add = [&](const std::vector<std::string>& found, const char* kind) {
    warnings.insert(warnings.end(), found.begin(), found.end());
    if (!found.empty()) kinds.push_back(kind);
  };
  std::string size = percent ? ArtSizeWarning(uint32_t(image.width), uint32_t(image.height), percent) : "";
  add(size.empty() ? std::vector<std::string>() : std::vector<std::string>{size}, "size");
  add(ButtonWarnings(image, buttons), "button");
  std::string outline = OutlineWarning(image);
  add(outline.empty() ? std::vector<std::string>() : std::vector<std::string>{outline}, "outline");
  for (const std::string& w : warnings) std::fprintf(stderr, "skinpack: %s: warning: %s\n", path.c_str(), w.c_str());
  if (warnings.empty() || !strict) return "";
  std::string failed;
  for (size_t i = 0; i < kinds.size(); ++i)
    failed += (i == 0 ? "" : i + 1 == kinds.size() ? " and " : ", ") + kinds[i];
  const bool several = kinds.size() > 1 || kinds[0] == "button";
  return failed + (several ? " warnings" : " warning") + " with --strict";
}

// The size to check art against: the scale it is drawn for, or 0 when --button gave other buttons.
int32_t LayoutPercent(const Options& o, long percent) { return o.customButtons ? 0 : int32_t(percent); }

// Art packed with more pixels than this gets a line before it is packed: the encoder takes about
// half a second here for the launcher's 1150 x 770 art (885,500 pixels), and a slow machine, or
// skinpack.exe under emulation, several times as long; the 575 x 385 art takes a fifth of that.
constexpr uint64_t ProgressArtPixels = 500000;

// One image packed as the build packs it: converted to the skin BMP, its size and buttons checked,
// packed, and the block decoded again and compared.
struct PackedArt {
  std::vector<uint8_t> bmp;
  std::vector<uint8_t> block;
  std::string hash;  // SkinPictureHash
  ArtworkReport artwork;
  JcEncodeReport encode;
};

// 0, or the exit code after the message has been printed.
int PackArt(const std::string& path, const Options& o, const std::vector<SkinButton>& buttons, long percent,
            PackedArt* art) {
  std::string error;
  std::vector<uint8_t> input;
  if (!ReadFile(path, &input, &error)) return Fail(path, error);
  if (!ConvertToSkinBmp(input, &art->bmp, &art->artwork, &error)) return Fail(path, error);
  SkinImageView image;
  if (!ReadSkinImage(art->bmp.data(), art->bmp.size(), &image))
    return Fail(path, "internal error: the conversion is no skin BMP");
  std::string failed = ReportSkinWarnings(path, image, buttons, LayoutPercent(o, percent), o.strict);
  if (!failed.empty()) return Fail(path, failed + ": nothing written");
  art->hash = SkinPictureHash(image);
  if (!o.raw && uint64_t(image.width) * uint64_t(image.height) >= ProgressArtPixels)
    std::fprintf(stderr, "skinpack: %s: packing the %d x %d art for %ld %%...\n", path.c_str(), image.width,
                 image.height, percent);
  if (!PackSkin(art->bmp, o.raw, &art->block, &art->encode, &error)) return Fail(path, error);
  return 0;
}

void PrintPacked(const std::string& path, const PackedArt& art, bool raw) {
  const ArtworkReport& a = art.artwork;
  std::printf("skinpack: %s: %s, %u x %u", path.c_str(), a.kind.c_str(), a.width, a.height);
  if (!a.unchanged) std::printf(", converted to 24 bits");
  if (a.hasAlpha)
    std::printf(" (alpha: %u pixels below %u cut away, %u pixels partly transparent)", a.cutPixels, ArtworkAlphaCut,
                a.partialPixels);
  std::printf(": %zu bytes -> block of %zu bytes", art.bmp.size(), art.block.size());
  const JcEncodeReport& r = art.encode;
  if (!raw)
    std::printf(" (stream: index width %u, %u literals, %u new matches, %u repeats, %u short, %u near, %u raw blocks)",
                r.indexWidth, r.literals, r.newMatches, r.repeatMatches, r.shortMatches, r.nearCopies, r.rawBlocks);
  std::printf("; hash %s\n", art.hash.c_str());
}

int PackMode(const std::string& mode, const Options& o) {
  const std::vector<std::string>& files = o.files;
  if (int refused = CheckNotInputs({files[0]}, {files[1], o.bmpOut, o.blockOut}, o)) return refused;
  PackedArt art;
  if (int failed = PackArt(files[0], o, o.buttons, o.percent, &art)) return failed;
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
  const std::string& programPath = files[0];
  if (int refused = CheckNotInputs(files, {o.output}, o)) return refused;
  std::string error;
  std::vector<uint8_t> program;
  if (!ReadFile(programPath, &program, &error)) return Fail(programPath, error);
  ProgramSkins before;
  if (!ReadProgramSkins(program, &before, &error)) return Fail(programPath, error);

  std::vector<ProgramResource> skins;
  std::vector<PackedArt> arts(files.size() - 1);
  for (size_t i = 0; i < arts.size(); ++i) {
    const SkinResourceName& skin = SkinResourceNames[i];
    if (int failed = PackArt(files[i + 1], o, LauncherButtonsAt(int32_t(skin.percent)), skin.percent, &arts[i]))
      return failed;
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
  // The copy runs as the program did: it takes the program's mode (0755 stays 0755).
  if (!WriteFile(o.output, result.data(), result.size(), &error, ToolFileMode(programPath)))
    return Fail(o.output, error);
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

// The skin resource of a launcher for `percent`, or null.
const ProgramResource* SkinAt(const ProgramSkins& program, long percent) {
  for (const SkinResourceName& name : SkinResourceNames)
    if (name.percent == percent)
      for (const ProgramResource& skin : program.skins)
        if (skin.name == name.name) return &skin;
  return nullptr;
}

int UnpackMode(const Options& o) {
  const std::vector<std::string>& files = o.files;
  if (int refused = CheckNotInputs({files[0]}, {files[1]}, o)) return refused;
  std::string error;
  std::vector<uint8_t> input;
  if (!ReadFile(files[0], &input, &error)) return Fail(files[0], error);
  // A launcher: the art of the scale asked for, found by its resource name. Anything else: the
  // skin found in it.
  ProgramSkins program;
  const bool launcher = ReadProgramSkins(input, &program, &error);
  if (!launcher && Given(o, "--scale"))
    return Fail(files[0], "not a launcher, whose art --scale picks by its scale: " + error);
  const ProgramResource* skin = launcher ? SkinAt(program, o.percent) : nullptr;
  if (launcher && !skin)
    return Fail(files[0], "carries no " + std::to_string(o.percent) +
                              " % art: the launcher makes larger scales from the 100 % art");
  SkinImageBytes image;
  if (!UnpackSkinFile(skin ? skin->data : input, &image, &error)) return Fail(files[0], error);
  if (!WriteFile(files[1], image.data.get(), image.size, &error)) return Fail(files[1], error);
  SkinImageView view;
  std::string size;
  if (ReadSkinImage(image.data.get(), image.size, &view))
    size = ", " + std::to_string(view.width) + " x " + std::to_string(view.height);
  if (!skin) {
    std::printf("skinpack: %s: the art of %s%s\n", files[1].c_str(), files[0].c_str(), size.c_str());
  } else {
    std::printf("skinpack: %s: the %d %% art of %s (resource %s)%s", files[1].c_str(), int(o.percent),
                files[0].c_str(), skin->name.c_str(), size.c_str());
    if (o.percent == 100 && SkinAt(program, 200)) std::printf("; --scale 200 gives its 200 %% art");
    std::printf("\n");
  }
  return 0;
}

// The summary line of one skin's art, its buttons' places and the warnings about it: 0, or the
// exit code of --strict. `title` leads the line ("100 % art:"), `resource` closes it.
int SummarizeArt(const std::string& label, const char* title, const std::vector<uint8_t>& file,
                 const std::vector<SkinButton>& buttons, int32_t percent, const std::string& resource, bool strict) {
  SkinImageBytes unpacked;
  SkinImageView image;
  std::string error;
  if (!UnpackSkinFile(file, &unpacked, &error) || !ReadSkinImage(unpacked.data.get(), unpacked.size, &image)) {
    if (error.empty()) error = "no 24-bit BMP";
    std::printf("%-17scannot be read: %s%s\n", title, error.c_str(), resource.c_str());
    return 0;  // the details below fail with the reason
  }
  std::printf("%-17s%d x %d, hash %s%s\n", title, image.width, image.height, SkinPictureHash(image).c_str(),
              resource.c_str());
  std::fputs(DescribeButtonPlacements(image, buttons).c_str(), stdout);
  std::string failed = ReportSkinWarnings(label, image, buttons, percent, strict);
  return failed.empty() ? 0 : Fail(label, failed);
}

// The fields of the skin found in `file`: 0, or the exit code when it cannot be read whole.
int DetailsOf(const std::string& label, const std::vector<uint8_t>& file) {
  std::string text, error;
  bool ok = DescribeSkinFile(file, &text, &error);
  std::fputs(text.c_str(), stdout);  // what could be read, even when the image cannot be unpacked
  return ok ? 0 : Fail(label, error);
}

// What a team needs first: of a launcher, whether it is signed and the art of each scale; of a
// skin, its art. The blocks' fields follow.
int InfoMode(const Options& o) {
  const std::string& path = o.files[0];
  std::string error;
  std::vector<uint8_t> input;
  if (!ReadFile(path, &input, &error)) return Fail(path, error);
  ProgramSkins program;
  if (!ReadProgramSkins(input, &program, &error)) {
    int failed = SummarizeArt(path, "art:", input, o.buttons, LayoutPercent(o, o.percent), "", o.strict);
    std::printf("\n");
    int details = DetailsOf(path, input);
    return details ? details : failed;
  }
  std::printf("%-17s%s\n", "signed:",
              program.signedProgram ? "yes (it carries an Authenticode certificate table)" : "no");
  int failed = 0;
  for (const SkinResourceName& name : SkinResourceNames) {
    const std::string title = std::to_string(name.percent) + " % art:";
    const ProgramResource* skin = SkinAt(program, name.percent);
    if (!skin) {
      std::printf("%-17snone: the launcher makes larger scales from the 100 %% art\n", title.c_str());
      continue;
    }
    const std::vector<SkinButton> buttons = o.customButtons ? o.buttons : LauncherButtonsAt(int32_t(name.percent));
    if (int code = SummarizeArt(path + ": " + skin->name, title.c_str(), skin->data, buttons,
                                LayoutPercent(o, name.percent), " (resource " + skin->name + ")", o.strict))
      failed = code;
  }
  for (const ProgramResource& skin : program.skins) {
    long percent = 100;
    for (const SkinResourceName& name : SkinResourceNames)
      if (skin.name == name.name) percent = name.percent;
    std::printf("\nresource %s (%ld %%):\n", skin.name.c_str(), percent);
    if (int code = DetailsOf(path + ": " + skin.name, skin.data)) failed = code;
  }
  return failed;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args = ToolArguments(argc, argv);
  StartArtworkReaders();
  for (const std::string& a : args)
    if (a == "--help" || a == "-h") {
      std::fputs(UsageText, stdout);
      return 0;
    }
  if (args.empty()) return Usage("no command given");
  const std::string mode = args[0];
  args.erase(args.begin());
  const Command* command = nullptr;
  for (const Command& c : Commands)
    if (mode == c.mode) command = &c;
  if (!command) return Usage(mode + ": no such command");
  Options o;
  std::string problem = ParseOptions(args, &o);
  if (problem.empty()) problem = CheckCommandLine(*command, o);
  else problem = mode + ": " + problem;
  if (!problem.empty()) return Usage(problem);

  if (mode == "pack" || mode == "embed") return PackMode(mode, o);
  if (mode == "reskin") return ReskinMode(o);
  if (mode == "unpack") return UnpackMode(o);
  return InfoMode(o);
}
