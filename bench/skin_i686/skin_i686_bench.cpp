// Decoding speed of Zindle's skin on the platform players run: the product's JC decoder (the
// skin library as the product links it) against zlib's inflate built for i686, under Wine.
//
//   skin_i686_bench [rounds, default 41] [milliseconds per measurement, default 20]
//
// Each round times the JC decoder on the embedded SkinBlock, then zlib's uncompress on a level-9
// zlib stream of the same 665,334-byte image (made here at start), each decoding again and again
// for the given time; which goes first alternates from round to round. Both verify their checksum
// (JC's own, Adler-32). Prints MB/s of output (10^6 bytes) per decoder, the ratio of the medians,
// and the spread of the ratios taken round by round.
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "support/bench_timing.h"
#include "skin/jc_stream.h"
#include "skin/skin_block.h"
#include "skin/zindle_skin.h"

namespace {



void PrintRow(const char* name, const std::vector<double>& v, int decimals) {
  std::printf("%-24s", name);
  for (double q : {0.0, 0.25, 0.5, 0.75, 1.0}) std::printf(" %9.*f", decimals, Quantile(v, q));
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 41;
  const double seconds = (argc > 2 ? std::atof(argv[2]) : 20.0) / 1000.0;

  SkinBlockView view;
  if (!ReadSkinBlock(ZindleSkinBlock, ZindleSkinBlockSize, &view) || view.compressed == 0) {
    std::fprintf(stderr, "the embedded skin block is unusable\n");
    return 1;
  }
  const size_t size = view.unpackedSize;
  std::vector<uint8_t> image(size), out(size);
  if (UnpackSkinImage(view, image.data()) != size) return 1;

  uLongf zlibSize = compressBound(uLong(size));
  std::vector<uint8_t> zlibData(zlibSize);
  if (compress2(zlibData.data(), &zlibSize, image.data(), uLong(size), 9) != Z_OK) return 1;
  zlibData.resize(zlibSize);

  auto jc = [&] { return size_t(DecodeJcStream(view.imageData, view.storedSize, out.data())); };
  auto inflate = [&] {
    uLongf n = uLongf(size);
    return uncompress(out.data(), &n, zlibData.data(), uLong(zlibData.size())) == Z_OK ? size_t(n) : 0;
  };
  // Both must give back the image before any timing.
  std::memset(out.data(), 0, size);
  if (jc() != size || out != image) {
    std::fprintf(stderr, "the JC decoder does not give back the image\n");
    return 1;
  }
  std::memset(out.data(), 0, size);
  if (inflate() != size || out != image) {
    std::fprintf(stderr, "zlib does not give back the image\n");
    return 1;
  }

  // One untimed round first: page faults, caches and the CPU's clock settle.
  MegabytesPerSecond(jc, size, seconds);
  MegabytesPerSecond(inflate, size, seconds);

  std::vector<double> jcSpeed, zlibSpeed, ratio;
  for (int r = 0; r < rounds; ++r) {
    double a, b;
    if (r % 2 == 0) {
      a = MegabytesPerSecond(jc, size, seconds);
      b = MegabytesPerSecond(inflate, size, seconds);
    } else {
      b = MegabytesPerSecond(inflate, size, seconds);
      a = MegabytesPerSecond(jc, size, seconds);
    }
    jcSpeed.push_back(a);
    zlibSpeed.push_back(b);
    ratio.push_back(a / b);
  }

  std::printf("Zindle skin: %u bytes unpacked; JC stream %u bytes, zlib -9 %u bytes (zlib %s)\n",
              unsigned(size), unsigned(view.storedSize), unsigned(zlibData.size()), zlibVersion());
  std::printf("%d alternating rounds of %.0f ms per decoder\n\n", rounds, seconds * 1000);
  std::printf("%-24s %9s %9s %9s %9s %9s\n", "MB/s", "min", "25%", "median", "75%", "max");
  PrintRow("JC (DecodeJcStream)", jcSpeed, 1);
  PrintRow("zlib inflate (-9)", zlibSpeed, 1);
  PrintRow("ratio, round by round", ratio, 2);
  std::printf("\nJC decode: %.2fx zlib inflate (ratio of medians); round-by-round ratios %.2f to %.2f, "
              "middle half %.2f to %.2f\n",
              Quantile(jcSpeed, 0.5) / Quantile(zlibSpeed, 0.5), Quantile(ratio, 0), Quantile(ratio, 1),
              Quantile(ratio, 0.25), Quantile(ratio, 0.75));
  return 0;
}
