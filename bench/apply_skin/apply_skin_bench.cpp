// Times ApplySkin and each of its steps on Zindle's skin under the real platform: decoding the
// stream, building the bitmap, the window outline one operation per run and in one call, handing
// the outline to the window, laying the face. Prints the median and spread of each in
// microseconds, and the outline's two constructions as a ratio measured side by side.
//   apply_skin_bench [rounds] [100|200]    the skin drawn for 100 % (default) or for 200 %
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "gadget/gadget_table.h"
#include "gadget/picture_gadget.h"
#include "runtime/heaps.h"
#include "support/bench_timing.h"
#include "skin/image_store.h"
#include "skin/skin_block.h"
#include "skin/skin_engine.h"
#include "skin/skin_region.h"
#include "skin/zindle_skin.h"
#include "support/runtime_setup.h"
#include "window/window_table.h"

namespace {

double Now() { return SecondsNow() * 1e6; }

struct Figure {
  const char* name;
  std::vector<double> samples;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Print(const Figure& f) {
  std::vector<double> v = f.samples;
  std::sort(v.begin(), v.end());
  std::printf("%-34s %10.1f %10.1f %10.1f\n", f.name, v.front(), Median(v), v.back());
}

template <class Step>
void Time(Figure& f, Step step) {
  double start = Now();
  step();
  f.samples.push_back(Now() - start);
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 41;
  StartRuntimeForTests();
  InitWindowLibrary();
  InitGadgetLibrary();
  InitImageLibrary();
  InitSkinLibrary();
  HWND window = reinterpret_cast<HWND>(CreateNumberedWindow(1, 122, 105, 575, 385, 0x90000001, "Zindle"));
  BindGadgetParent(window);

  const bool twice = argc > 2 && std::atoi(argv[2]) == 200;
  const unsigned char* block = twice ? ZindleSkinBlock200 : ZindleSkinBlock;
  const size_t blockSize = twice ? ZindleSkinBlock200Size : ZindleSkinBlockSize;
  const long width = twice ? 1150 : 575, height = twice ? 770 : 385;
  SkinBlockView view;
  if (!ReadSkinBlock(block, blockSize, &view)) return 1;
  std::vector<uint8_t> bmp(view.unpackedSize);

  Figure decode{"decode the stream", {}}, bitmap{"bitmap from the BMP", {}},
      fromPages{"bitmap from the BMP in pages", {}}, byRuns{"outline, one operation per run", {}},
      fromSpans{"outline, one call", {}}, setRegion{"SetWindowRgn", {}}, face{"face gadget", {}},
      whole{"ApplySkin (all steps)", {}}, ratio{"ratio per run / one call", {}};
  for (int round = 0; round < rounds; ++round) {
    Time(decode, [&] { UnpackSkinImage(view, bmp.data()); });
    Time(bitmap, [&] { ImageFromMemory(2, bmp.data(), bmp.size()); });
    // As ApplySkin builds it: from pages released as the rows are taken.
    void* pages = AllocateImagePages(bmp.size());
    memcpy(pages, bmp.data(), bmp.size());
    Time(fromPages, [&] { ImageFromImagePages(4, pages, bmp.size()); });
    double a = Now();
    DeleteObject(SkinRegionByRuns(view, width, height));
    double b = Now();
    DeleteObject(SkinRegionFromSpans(view, width, height));
    double c = Now();
    byRuns.samples.push_back(b - a);
    fromSpans.samples.push_back(c - b);
    ratio.samples.push_back((b - a) / (c - b));
    HRGN region = SkinRegionFromSpans(view, width, height);
    Time(setRegion, [&] { SetWindowRgn(window, region, TRUE); });
    Time(face, [&] { CreatePictureGadget(3, 0, 0, width, height, MakeImageCurrent(2)); });
    Time(whole, [&] { ApplySkin(1, 1, 1, block, 0, blockSize); });
  }
  std::printf("ApplySkin on Zindle's skin (%ld x %ld, %u runs), %s build, %d rounds, microseconds\n", width, height,
              SkinRunCount(view), BuildArchitecture(), rounds);
  std::printf("%-34s %10s %10s %10s\n", "step", "min", "median", "max");
  for (const Figure* f : {&decode, &bitmap, &fromPages, &byRuns, &fromSpans, &setRegion, &face, &whole}) Print(*f);
  std::vector<double> r = ratio.samples;
  std::sort(r.begin(), r.end());
  std::printf("%-34s %10.2f %10.2f %10.2f\n", ratio.name, r.front(), Median(r), r.back());
  return 0;
}
