// Decoding speed and packed size of Zindle's skin, next to zlib, libdeflate and xz.
//
//   skin_bench [seconds per measurement, default 1]
//
// Each decoder unpacks the same 665,334-byte image again and again, in rounds that take the
// decoders in turn (the order reversed every other round), so that a busy machine slows them
// alike. Throughput is the median over the rounds in MB/s of output (1 MB = 10^6 bytes), shown
// with its ratio to zlib's inflate; JC's ratios to zlib and libdeflate are also taken round by
// round, and their spread is printed. Sizes compare the JC stream (header included) with zlib -9,
// libdeflate -12 and xz -9.
#include <libdeflate.h>
#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "support/bench_timing.h"
#include "skin/jc_stream.h"
#include "skin/skin_block.h"
#include "skin/zindle_skin.h"

namespace {

volatile uint32_t Sink;

constexpr int Rounds = 15;

void PrintSpread(const char* name, const std::vector<double>& ratio) {
  std::printf("  %-16s median %.3f, middle half %.3f to %.3f, all %.3f to %.3f\n", name, Quantile(ratio, 0.5),
              Quantile(ratio, 0.25), Quantile(ratio, 0.75), Quantile(ratio, 0), Quantile(ratio, 1));
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = argc > 1 ? std::atof(argv[1]) : 1.0;
  SkinBlockView view;
  if (!ReadSkinBlock(ZindleSkinBlock, ZindleSkinBlockSize, &view) || view.compressed == 0) {
    std::fprintf(stderr, "the embedded skin block is unusable\n");
    return 1;
  }
  const size_t size = view.unpackedSize;
  std::vector<uint8_t> image(size), out(size);
  if (UnpackSkinImage(view, image.data()) != size) return 1;

  // Reference encodings of the same bytes.
  uLongf zlibSize = compressBound(uLong(size));
  std::vector<uint8_t> zlibData(zlibSize);
  compress2(zlibData.data(), &zlibSize, image.data(), uLong(size), 9);
  zlibData.resize(zlibSize);

  libdeflate_compressor* compressor = libdeflate_alloc_compressor(12);
  std::vector<uint8_t> deflateData(libdeflate_zlib_compress_bound(compressor, size));
  deflateData.resize(libdeflate_zlib_compress(compressor, image.data(), size, deflateData.data(), deflateData.size()));
  libdeflate_free_compressor(compressor);
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();

  std::vector<uint8_t> xzData(lzma_stream_buffer_bound(size));
  size_t xzSize = 0;
  lzma_easy_buffer_encode(9, LZMA_CHECK_CRC64, nullptr, image.data(), size, xzData.data(), &xzSize, xzData.size());

  struct Row {
    const char* name;
    size_t packed;
    std::function<size_t()> decode;
  };
  const Row rows[] = {
      {"JC (DecodeJcStream)", view.storedSize,
       [&] { return size_t(DecodeJcStream(view.imageData, view.storedSize, out.data())); }},
      {"zlib inflate (-9)", zlibData.size(),
       [&] {
         uLongf n = uLongf(size);
         return uncompress(out.data(), &n, zlibData.data(), uLong(zlibData.size())) == Z_OK ? size_t(n) : 0;
       }},
      {"libdeflate (-12)", deflateData.size(),
       [&] {
         size_t n = 0;
         return libdeflate_zlib_decompress(decompressor, deflateData.data(), deflateData.size(), out.data(), size, &n) ==
                        LIBDEFLATE_SUCCESS
                    ? n
                    : 0;
       }},
      {"memcpy", size,
       [&] {
         std::memcpy(out.data(), image.data(), size);
         Sink = out[size / 2];
         return size;
       }},
  };

  std::vector<double> samples[4], vsZlib, vsLibdeflate;
  for (int i = 0; i < 4; ++i) MegabytesPerSecond(rows[i].decode, size, seconds / Rounds);  // warm-up
  for (int r = 0; r < Rounds; ++r) {
    double speed[4];
    for (int k = 0; k < 4; ++k) {
      int i = r % 2 == 0 ? k : 3 - k;
      speed[i] = MegabytesPerSecond(rows[i].decode, size, seconds / Rounds);
      samples[i].push_back(speed[i]);
    }
    vsZlib.push_back(speed[0] / speed[1]);
    vsLibdeflate.push_back(speed[0] / speed[2]);
  }
  double speed[4];
  for (int i = 0; i < 4; ++i) speed[i] = Quantile(samples[i], 0.5);

  std::printf("Zindle skin: %zu bytes unpacked; %d alternating rounds\n\n", size, Rounds);
  std::printf("%-22s %10s %10s %12s %10s\n", "decoder", "packed", "vs zlib", "median MB/s", "vs zlib");
  for (int i = 0; i < 4; ++i)
    std::printf("%-22s %10zu %9.3fx %12.1f %9.2fx\n", rows[i].name, rows[i].packed,
                double(rows[i].packed) / double(zlibData.size()), speed[i], speed[i] / speed[1]);
  std::printf("%-22s %10zu %9.3fx\n", "xz -9 (size only)", xzSize, double(xzSize) / double(zlibData.size()));
  std::printf("\nJC decode: %.2fx zlib inflate, %.2fx libdeflate (ratios of medians), %.3fx memcpy; "
              "JC stream %.1f%% of zlib -9\nJC's ratio round by round:\n",
              speed[0] / speed[1], speed[0] / speed[2], speed[0] / speed[3],
              100.0 * double(view.storedSize) / double(zlibData.size()));
  PrintSpread("to zlib", vsZlib);
  PrintSpread("to libdeflate", vsLibdeflate);
  libdeflate_free_decompressor(decompressor);
  return 0;
}
