// Resampling speed of Zindle's skin: the 200 % art (1150 x 770) made for 150, 125 and 175 %, as
// the launcher does at start-up on such displays. References in the same run: unpacking that art
// from its SkinBlock (the step before the resample at start-up) and a plain copy of each output's
// bytes. After the usual table it prints each resample's time as a ratio to both.
//
//   skin_resample_bench [Google Benchmark flags, e.g. --benchmark_repetitions=9]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "skin/skin_block.h"
#include "skin/skin_resample.h"
#include "skin/skin_runs.h"
#include "skin/zindle_skin.h"

namespace {

struct Art {
  SkinBlockView block;
  std::vector<uint8_t> file;
  SkinImageView image;
};

const Art& Art200() {
  static const Art art = [] {
    Art a = {};
    if (!ReadSkinBlock(ZindleSkinBlock200, ZindleSkinBlock200Size, &a.block)) return a;
    a.file.resize(a.block.unpackedSize);
    if (UnpackSkinImage(a.block, a.file.data()) != a.file.size() ||
        !ReadSkinImage(a.file.data(), a.file.size(), &a.image))
      a.file.clear();
    return a;
  }();
  return art;
}

struct Size {
  const char* name;
  int32_t width, height;
};
const Size Sizes[] = {{"150%", 863, 578}, {"125%", 719, 481}, {"175%", 1006, 674}};

void Resample(benchmark::State& state, Size size) {
  const Art& art = Art200();
  std::vector<uint8_t> out(ResampledSkinBytes(size.width, size.height));
  if (art.file.empty()) return state.SkipWithError("the embedded 200 % art is unusable");
  for (auto _ : state) {
    if (!ResampleSkinImage(art.image, size.width, size.height, out.data()))
      return state.SkipWithError("ResampleSkinImage refused");
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(out.size()));
}

void CopyOutput(benchmark::State& state, Size size) {
  std::vector<uint8_t> from(ResampledSkinBytes(size.width, size.height), 7), out(from.size());
  for (auto _ : state) {
    std::memcpy(out.data(), from.data(), out.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(out.size()));
}

void UnpackArt(benchmark::State& state) {
  const Art& art = Art200();
  if (art.file.empty()) return state.SkipWithError("the embedded 200 % art is unusable");
  std::vector<uint8_t> out(art.file.size());
  for (auto _ : state) {
    if (UnpackSkinImage(art.block, out.data()) != out.size()) return state.SkipWithError("unpack failed");
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(out.size()));
}

// The console table as usual (without colours, for logs), and each benchmark's CPU time kept (the
// median when repeated): the work is one thread's, and on a shared machine its wall time also
// counts the waits.
struct TimeKeeper : benchmark::ConsoleReporter {
  TimeKeeper() : ConsoleReporter(OO_Tabular) {}
  std::map<std::string, double> seconds;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const double s = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
      if (run.run_type == Run::RT_Iteration && !seconds.count(run.run_name.str()))
        seconds[run.run_name.str()] = s;
      else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
        seconds[run.run_name.str()] = s;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::RegisterBenchmark("UnpackArt200", UnpackArt)->Unit(benchmark::kMicrosecond);
  for (const Size& size : Sizes) {
    const std::string to = std::to_string(size.width) + "x" + std::to_string(size.height);
    benchmark::RegisterBenchmark(("Resample/" + to).c_str(), Resample, size)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("CopyOutput/" + to).c_str(), CopyOutput, size)->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  TimeKeeper keeper;
  benchmark::RunSpecifiedBenchmarks(&keeper);
  benchmark::Shutdown();

  const double unpack = keeper.seconds["UnpackArt200"];
  std::printf("\nResampling the 200 %% art (1150x770), CPU time, against unpacking it (%.0f us):\n", unpack * 1e6);
  for (const Size& size : Sizes) {
    const std::string to = std::to_string(size.width) + "x" + std::to_string(size.height);
    const double resample = keeper.seconds["Resample/" + to], copy = keeper.seconds["CopyOutput/" + to];
    if (resample == 0 || copy == 0 || unpack == 0) continue;
    std::printf("  %-5s %-9s %8.0f us   %5.2fx the unpack   %6.1fx a copy of its %zu bytes (%.0f us)\n", size.name,
                to.c_str(), resample * 1e6, resample / unpack, resample / copy,
                ResampledSkinBytes(size.width, size.height), copy * 1e6);
  }
  return 0;
}
