// The launcher's start-up with a mark after each step, for the start-up benchmark: the same calls
// as the launcher's own LauncherMain, in the same order, up to the first paint; then it waits for
// a close request and ends as the launcher does.
#include <windows.h>

#include "gadget/gadget_kinds.h"
#include "gadget/gadget_table.h"
#include "launcher/directx_check.h"
#include "launcher/startup.h"
#include "runtime/strings.h"
#include "skin/skin_engine.h"
#include "skin/zindle_skin.h"
#include "startup_marks.h"
#include "window/events.h"
#include "window/window_table.h"

namespace {

// The launcher's hook: gadget colours.
LRESULT CALLBACK MarkedLauncherHook(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX)
    return ResolveGadgetColours(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam));
  return HookPassOn;
}

}  // namespace

// The process entry, as the launcher's own: the first step ends here. Then the runtime's libraries
// are started and LauncherMain entered.
extern "C" [[noreturn]] __attribute__((force_align_arg_pointer)) void __stdcall MarkedEntry() {
  MarkStartupStep();
  StartRuntime(GetModuleHandleA(nullptr));
}

void LauncherMain() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  CheckDirectXVersion();
  CreateNumberedWindow(1, 122, 105, 575, 385, 0x90000001, "Zindle");
  BindGadgetParent(WindowHandleOf(1));
  MarkStartupStep();
  ApplySkin(1, 1, 1, ZindleSkinBlock, 1, ZindleSkinBlockSize);
  MarkStartupStep();
  CreatePushButton(2, 160, 250, 60, 20, "Play");
  CreatePushButton(6, 355, 250, 60, 20, "Quit");
  MarkStartupStep();
  ShowSkinnedWindow(1, 0);
  MarkStartupStep();
  HWND window = CurrentWindowHandle();
  SetFocus(nullptr);
  SetFocus(window);
  InstallWindowHook(MarkedLauncherHook);
  MarkStartupStep();
  MarkFirstPaint();
  SendStartupMarks();
  while (AwaitEvent() != EventCloseRequest) {
  }
  DestroyNumberedWindow(1);
  EndProgram();
}
