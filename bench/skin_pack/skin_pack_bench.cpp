// Packing speed and packed size of Zindle's skins, next to zlib level 9.
//
//   skin_pack_bench [rounds, default 9]
//
// Each skin's BMP (unpacked from the embedded blocks: 575 x 385 for 100 %, 1150 x 770 for 200 %)
// is packed by skinpack's JC encoder (EncodeJcStream) and by zlib's compress2 at level 9, in
// rounds that take the two in turn (the order reversed every other round), so that a busy machine
// slows them alike. The encoder's time is shown as a ratio to zlib's: the ratio of the medians,
// and the round-by-round ratios' median and spread. Every JC stream is decoded and compared with
// its input; a stream that does not give it back ends the program.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "jc_encoder.h"
#include "support/bench_timing.h"
#include "skin/jc_stream.h"
#include "skin/skin_block.h"
#include "skin/zindle_skin.h"

namespace {

struct Figures {
  size_t jcSize = 0, zlibSize = 0;
  std::vector<double> jcSeconds, zlibSeconds, ratio;
};

std::vector<uint8_t> SkinBmp(const unsigned char* block, unsigned int size) {
  SkinBlockView view;
  if (size == 0 || !ReadSkinBlock(block, size, &view)) return {};
  std::vector<uint8_t> bmp(view.unpackedSize);
  if (UnpackSkinImage(view, bmp.data()) != bmp.size()) return {};
  return bmp;
}

double PackJc(const std::vector<uint8_t>& bmp, Figures* f) {
  double start = SecondsNow();
  JcEncodeReport report;
  std::vector<uint8_t> stream = EncodeJcStream(bmp.data(), bmp.size(), &report);
  double seconds = SecondsNow() - start;
  std::vector<uint8_t> out(bmp.size());
  if (DecodeJcStream(stream.data(), stream.size(), out.data()) != bmp.size() || out != bmp) {
    std::fprintf(stderr, "the JC stream does not decode to its input\n");
    std::exit(1);
  }
  f->jcSize = stream.size();
  return seconds;
}

double PackZlib(const std::vector<uint8_t>& bmp, Figures* f) {
  double start = SecondsNow();
  uLongf size = compressBound(uLong(bmp.size()));
  std::vector<uint8_t> packed(size);
  if (compress2(packed.data(), &size, bmp.data(), uLong(bmp.size()), 9) != Z_OK) {
    std::fprintf(stderr, "zlib failed\n");
    std::exit(1);
  }
  double seconds = SecondsNow() - start;
  f->zlibSize = size;
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
  struct Skin {
    const char* name;
    std::vector<uint8_t> bmp;
    Figures figures;
  } skins[] = {{"100 %", SkinBmp(ZindleSkinBlock, ZindleSkinBlockSize), {}},
               {"200 %", SkinBmp(ZindleSkinBlock200, ZindleSkinBlock200Size), {}}};
  if (skins[0].bmp.empty()) {
    std::fprintf(stderr, "the embedded skin block is unusable\n");
    return 1;
  }
  for (Skin& s : skins) {
    if (s.bmp.empty()) continue;  // a build without 200 % art
    Figures& f = s.figures;
    PackJc(s.bmp, &f);  // warm-up
    PackZlib(s.bmp, &f);
    for (int r = 0; r < rounds; ++r) {
      double jc, zlib;
      if (r % 2 == 0) {
        jc = PackJc(s.bmp, &f);
        zlib = PackZlib(s.bmp, &f);
      } else {
        zlib = PackZlib(s.bmp, &f);
        jc = PackJc(s.bmp, &f);
      }
      f.jcSeconds.push_back(jc);
      f.zlibSeconds.push_back(zlib);
      f.ratio.push_back(jc / zlib);
    }
  }

  std::printf("JC encoder against zlib level 9 on the same BMP, %s; %d alternating rounds, medians\n\n",
              BuildArchitecture(), rounds);
  std::printf("%-6s %10s %10s %10s %9s %9s %9s %10s  %s\n", "skin", "BMP", "JC stream", "zlib -9", "size",
              "JC ms", "zlib ms", "time", "time round by round: median, middle half, all");
  for (const Skin& s : skins) {
    if (s.bmp.empty()) continue;
    const Figures& f = s.figures;
    double jc = Quantile(f.jcSeconds, 0.5), zlib = Quantile(f.zlibSeconds, 0.5);
    std::printf("%-6s %10zu %10zu %10zu %8.3fx %9.1f %9.2f %9.1fx  %.1fx, %.1fx to %.1fx, %.1fx to %.1fx\n", s.name,
                s.bmp.size(), f.jcSize, f.zlibSize, double(f.jcSize) / double(f.zlibSize), jc * 1e3, zlib * 1e3,
                jc / zlib, Quantile(f.ratio, 0.5), Quantile(f.ratio, 0.25), Quantile(f.ratio, 0.75),
                Quantile(f.ratio, 0), Quantile(f.ratio, 1));
  }
  std::printf("\nsize: JC stream (header included) / zlib stream; time: JC encoder / zlib level 9\n");
  return 0;
}
