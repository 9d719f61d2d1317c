// Window outlines of many rectangles on the real platform: for run tables whose outline has about
// N rectangles (a 575 x 385 skin cut like a checkerboard from the top down, one pixel per square),
// the time to compute the rectangles, to make the region in one call, to make it one operation per
// run, and to apply it (SetWindowRgn on the hidden window, show, paint, and a read of the screen,
// which waits for the display server). Each figure is also given against an outline of
// N = 1,000 measured in the same run.
//   skin_outline_bench [N ...]     the table of figures (default sizes up to 65,000)
//   skin_outline_bench show N      makes, applies and shows one outline of about N rectangles in a
//                                  fresh process, as the launcher does, with the time of each, then
//                                  prints "shown"; a display server that refuses the outline ends
//                                  the process first (under Wine: X error, exit code 1)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "skin/skin_region.h"
#include "skin/skin_spans.h"
#include "skin/skin_test_data.h"
#include "support/bench_timing.h"
#include "support/runtime_setup.h"
#include "window/window_table.h"

namespace {

const int32_t Width = 575, Height = 385;

// Runs cut from the top row down: a row of s one-pixel runs, alternately at odd and even columns
// so that no two rows are alike, leaves s + 1 rectangles; the rows below are left whole (one
// more). Exactly `rects` rectangles, or one fewer.
std::vector<uint8_t> CheckerTable(uint32_t rects) {
  std::vector<SkinRun> runs;
  uint32_t made = 1;  // the rows left whole
  for (int16_t y = 0; y < Height && made + 1 < rects; ++y) {
    uint32_t s = std::min<uint32_t>(y & 1 ? 286 : 287, rects - made - 1);
    for (uint32_t i = 0; i < s; ++i) {
      int16_t x = int16_t(2 * i + 1 + (y & 1));
      runs.push_back(SkinRun{x, y, int16_t(x + 1)});
    }
    made += s + 1;
  }
  return MakeSkinBlock(0, 0, 0, {}, runs);
}

struct Outline {
  std::vector<uint8_t> block;
  SkinBlockView view;
  std::vector<uint8_t> work;
  std::vector<uint8_t> data;  // RGNDATA
  uint32_t count;
};

Outline MakeOutline(uint32_t rects) {
  Outline o;
  o.block = CheckerTable(rects);
  ReadSkinBlock(o.block.data(), o.block.size(), &o.view);
  o.work.resize(SkinSpanWorkBytes(SkinRunCount(o.view)));
  o.count = CollectSkinSpans(o.view, Width, Height, nullptr, 0, o.work.data());
  o.data.resize(sizeof(RGNDATAHEADER) + size_t(o.count) * sizeof(RECT));
  return o;
}

void CollectRects(Outline& o) {
  RGNDATA* d = reinterpret_cast<RGNDATA*>(o.data.data());
  CollectSkinSpans(o.view, Width, Height, reinterpret_cast<SpanRect*>(d->Buffer), o.count, o.work.data());
  d->rdh.dwSize = sizeof(RGNDATAHEADER);
  d->rdh.iType = RDH_RECTANGLES;
  d->rdh.nCount = o.count;
  d->rdh.nRgnSize = o.count * sizeof(RECT);
  SetRect(&d->rdh.rcBound, 0, 0, Width, Height);
}

HRGN MakeRegion(const Outline& o) {
  return ExtCreateRegion(nullptr, DWORD(o.data.size()), reinterpret_cast<const RGNDATA*>(o.data.data()));
}

void Pump() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
}

// Hands the region to the hidden window, shows and paints it, and reads a pixel of the screen,
// which waits for the display server to have taken the outline.
void ApplyAndShow(HWND window, HRGN region) {
  SetWindowRgn(window, region, TRUE);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  UpdateWindow(window);
  HDC screen = GetDC(nullptr);
  GetPixel(screen, 1, 1);
  ReleaseDC(nullptr, screen);
}

HWND OpenWindow() {
  HWND w = reinterpret_cast<HWND>(CreateNumberedWindow(1, 122, 105, Width, Height, 0x90000001, "Outline"));
  ShowWindow(w, SW_HIDE);
  Pump();
  return w;
}

struct Figures {
  double spans, region, byRuns, apply;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Medians of `rounds` rounds, in milliseconds; the run-by-run way only up to `byRunsUpTo` rectangles.
Figures Measure(HWND window, uint32_t rects, int rounds, uint32_t byRunsUpTo, uint32_t* count) {
  Outline o = MakeOutline(rects);
  *count = o.count;
  std::vector<double> spans, region, byRuns, apply;
  for (int r = 0; r < rounds; ++r) {
    double t0 = SecondsNow();
    CollectRects(o);
    double t1 = SecondsNow();
    HRGN made = MakeRegion(o);
    double t2 = SecondsNow();
    ApplyAndShow(window, made);
    double t3 = SecondsNow();
    ShowWindow(window, SW_HIDE);
    SetWindowRgn(window, nullptr, FALSE);
    Pump();
    spans.push_back((t1 - t0) * 1e3);
    region.push_back((t2 - t1) * 1e3);
    apply.push_back((t3 - t2) * 1e3);
    if (o.count <= byRunsUpTo) {
      double t4 = SecondsNow();
      DeleteObject(SkinRegionByRuns(o.view, Width, Height));
      byRuns.push_back((SecondsNow() - t4) * 1e3);
    }
  }
  return Figures{Median(spans), Median(region), byRuns.empty() ? -1 : Median(byRuns), Median(apply)};
}

}  // namespace

int main(int argc, char** argv) {
  StartRuntimeForTests();
  InitWindowLibrary();
  HWND window = OpenWindow();
  if (argc == 3 && std::strcmp(argv[1], "show") == 0) {
    Outline o = MakeOutline(uint32_t(std::atol(argv[2])));
    double t0 = SecondsNow();
    CollectRects(o);
    HRGN region = MakeRegion(o);
    double t1 = SecondsNow();
    std::printf("%u rectangles, region %s in %.1f ms\n", o.count, region ? "made" : "refused", (t1 - t0) * 1e3);
    std::fflush(stdout);
    ApplyAndShow(window, region);
    std::printf("applied and shown in %.1f ms\n", (SecondsNow() - t1) * 1e3);
    std::fflush(stdout);
    for (int i = 0; i < 20; ++i) {
      Pump();
      Sleep(10);
    }
    ApplyAndShow(window, nullptr);
    std::printf("shown\n");
    return 0;
  }
  std::vector<uint32_t> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(uint32_t(std::atol(argv[i])));
  if (sizes.empty()) sizes = {1000, 2000, 4000, 8000, 16000, 24000, 32000, 48000, 65000};
  std::printf("%s, milliseconds (median) and against N = 1,000\n", BuildArchitecture());
  std::printf("%8s %20s %20s %20s %20s\n", "N", "rectangles", "one call", "per run", "apply and show");
  uint32_t count;
  Figures base = Measure(window, 1000, 9, 1000000, &count);
  for (uint32_t n : sizes) {
    int rounds = n <= 8000 ? 9 : n <= 32000 ? 3 : 1;
    Figures f = Measure(window, n, rounds, 16000, &count);
    std::printf("%8u %9.2f %8.1fx %9.1f %8.1fx", count, f.spans, f.spans / base.spans, f.region, f.region / base.region);
    if (f.byRuns >= 0) std::printf(" %9.1f %8.1fx", f.byRuns, f.byRuns / base.byRuns);
    else std::printf(" %20s", "-");
    std::printf(" %9.1f %8.1fx\n", f.apply, f.apply / base.apply);
    std::fflush(stdout);
  }
  return 0;
}
