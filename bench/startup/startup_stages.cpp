// Where the launcher's start-up time and memory go: the process's own steps, in the launcher's
// order, each timed on the real platform, in a fresh process (the first pass, what a player waits for) and
// then again in the same process (later passes, with everything loaded). The window is shown and
// its first paint served before the clock stops.
//
//   startup_stages [passes]          (default 21; the first pass is printed on its own)
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "gadget/gadget_kinds.h"
#include "gadget/gadget_table.h"
#include "gadget/picture_gadget.h"
#include "launcher/directx_check.h"
#include "launcher/launcher_main.h"
#include "launcher/startup.h"
#include "support/bench_timing.h"
#include "skin/image_store.h"
#include "skin/skin_block.h"
#include "skin/skin_engine.h"
#include "skin/skin_region.h"
#include "skin/zindle_skin.h"
#include "window/window_table.h"

namespace {

double NowUs() { return SecondsNow() * 1e6; }

const char* const StageNames[] = {
    "libraries (heaps, classes, controls)",
    "DirectX check",
    "window 1, hidden",
    "skin: decode the stream",
    "skin: bitmap from the BMP",
    "skin: client size",
    "skin: outline region, SetWindowRgn",
    "skin: face gadget",
    "buttons",
    "show: redraw while hidden",
    "show: ShowWindow (now visible)",
    "show: first paint served",
};
const int StageCount = sizeof StageNames / sizeof StageNames[0];

// Private memory as the platform counts it (under Wine: the process's anonymous resident pages).
double PrivateKiB() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return double(counters.PagefileUsage) / 1024;
}

// Serves what the window has pending (its paints) without waiting.
void ServePending() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

// Each mark ends one step: its time, then the private memory after it (read outside the clock).
struct PassMarks {
  double began, time[StageCount], memory[StageCount + 1];
  int next;
};

void Mark(PassMarks* m) {
  m->time[m->next] = NowUs() - m->began;
  m->memory[++m->next] = PrivateKiB();
  m->began = NowUs();
}

// The launcher's start-up, with ApplySkin and ShowSkinnedWindow taken apart into their own steps
// in their own order (skin/skin_engine.cpp), so that each can be timed.
void OnePass(PassMarks* m) {
  m->next = 0;
  m->memory[0] = PrivateKiB();
  m->began = NowUs();
  StartLibraries(GetModuleHandleA(nullptr));
  Mark(m);
  CheckDirectXVersion();
  Mark(m);
  CreateNumberedWindow(1, 122, 105, 575, 385, 0x90000001, "Zindle");
  BindGadgetParent(WindowHandleOf(1));
  Mark(m);
  SkinBlockView view;
  ReadSkinBlock(ZindleSkinBlock, ZindleSkinBlockSize, &view);
  SkinBannerAccepted(view);
  void* bmp = AllocateImagePages(view.unpackedSize);
  UnpackSkinImage(view, bmp);
  Mark(m);
  ImageFromImagePages(1, bmp, view.unpackedSize);
  Mark(m);
  MakeImageCurrent(1);
  long width = CurrentImageWidth(), height = CurrentImageHeight();
  SelectCurrentWindow(1);
  SetCurrentWindowClientSize(width, height);
  Mark(m);
  SetWindowRgn(WindowHandleOf(1), SkinRegionFromSpans(view, width, height), TRUE);
  Mark(m);
  CreatePictureGadget(1, 0, 0, width, height, MakeImageCurrent(1));
  HWND face = GadgetHandleOf(1);
  SetWindowLongA(face, GWL_STYLE, GetWindowLongA(face, GWL_STYLE) ^ SS_NOTIFY);
  Mark(m);
  CreatePushButton(2, 160, 250, 60, 20, "Play");
  CreatePushButton(6, 355, 250, 60, 20, "Quit");
  Mark(m);
  RedrawWindow(WindowHandleOf(1), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Mark(m);
  SetWindowHidden(1, 0);
  Mark(m);
  ServePending();
  Mark(m);
  DestroyNumberedWindow(1);
  ShutDownLibraries();
  ServePending();
}

}  // namespace

// The frame enters this in the product; here the passes call the steps themselves.
void LauncherMain() { ExitProcess(0); }

int main(int argc, char** argv) {
  int passes = argc > 1 ? std::max(2, std::atoi(argv[1])) : 21;
  std::vector<PassMarks> marks(passes);
  for (PassMarks& m : marks) OnePass(&m);
  std::printf("%s build\n", BuildArchitecture());
  std::printf("launcher start-up steps: first pass (us, private KiB after it), then median (min-max) of %d later "
              "passes (us)\n", passes - 1);
  std::printf("%-38s %9s %9.0f\n", "(private memory at the start)", "", marks[0].memory[0]);
  double first = 0, later = 0;
  for (int s = 0; s < StageCount; ++s) {
    std::vector<double> v;
    for (int p = 1; p < passes; ++p) v.push_back(marks[p].time[s]);
    std::sort(v.begin(), v.end());
    std::printf("%-38s %9.0f %9.0f %9.0f (%.0f-%.0f)\n", StageNames[s], marks[0].time[s], marks[0].memory[s + 1],
                v[v.size() / 2], v.front(), v.back());
    first += marks[0].time[s];
    later += v[v.size() / 2];
  }
  std::printf("%-38s %9.0f %9s %9.0f\n", "all steps", first, "", later);
  return 0;
}
