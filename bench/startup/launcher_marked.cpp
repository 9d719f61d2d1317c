// The launcher's start-up with a mark after each step, for the start-up benchmark: the same calls
// as the launcher's own LauncherMain (its window laid out at the screen's scale), in the same
// order, up to the first paint; then it waits for
// a close request and ends as the launcher does.
#include <windows.h>

#include "gadget/gadget_kinds.h"
#include "gadget/gadget_table.h"
#include "launcher/directx_check.h"
#include "launcher/shown_window.h"
#include "launcher/startup.h"
#include "skin/skin_engine.h"
#include "skin/skin_resource_names.h"
#include "skin/skin_resources.h"
#include "startup_marks.h"
#include "window/events.h"
#include "window/window_scale.h"
#include "window/window_table.h"

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
  static SkinArt art[SkinResourceNameCount];
  ApplySkinForScale(1, 1, 1, art, FindSkinArts(GetModuleHandleA(nullptr), art), 1);
  MarkStartupStep();
  auto scaled = [](long length) { return ScaledForWindow(1, length); };
  CreatePushButton(2, scaled(160), scaled(250), scaled(60), scaled(20), "Play");
  CreatePushButton(6, scaled(355), scaled(250), scaled(60), scaled(20), "Quit");
  MarkStartupStep();
  ShowSkinnedWindow(1, 0);
  MarkStartupStep();
  TakeKeyboardFocus(CurrentWindowHandle());
  InstallWindowHook(LauncherHook);
  MarkStartupStep();
  MarkFirstPaint();
  SendStartupMarks();
  while (AwaitEvent() != EventCloseRequest) {
  }
  DestroyNumberedWindow(1);
  EndProgram();
}
