// The launcher's own program: window 1 dressed in Zindle's skin with "Play" and "Quit", and the
// event loop that starts the game, ends the launcher or moves the window.
#include "launcher/launcher_main.h"

#include <windows.h>

#include "gadget/gadget_kinds.h"
#include "gadget/gadget_table.h"
#include "launcher/directx_check.h"
#include "launcher/game_start.h"
#include "launcher/launcher_state.h"
#include "launcher/path_folder.h"
#include "launcher/running_launcher.h"
#include "launcher/shown_window.h"
#include "launcher/startup.h"
#include "runtime/runtime_state.h"
#include "runtime/strings.h"
#include "skin/skin_engine.h"
#include "skin/skin_resource_names.h"
#include "skin/skin_resources.h"
#include "window/events.h"
#include "window/window_scale.h"
#include "window/window_table.h"

namespace {

const ObjectNumber LauncherWindow = 1;
const ObjectNumber SkinImage = 1;
const ObjectNumber FaceGadget = 1;
const ObjectNumber PlayButton = 2;
const ObjectNumber QuitButton = 6;
// WS_POPUP | StartHidden | CenterOnScreen
const DWORD LauncherWindowFlags = 0x90000001;

// The skin the window wears, kept for laying it out again at another scale.
struct LauncherLayoutRecord {
  const SkinArt* arts;
  long artCount;
};
LauncherLayoutRecord LauncherLayout;

// The launcher's own path and folder, as the runtime's ANSI strings.
void FindLauncherPath() {
  char* start = WritePosition;
  RepeatSpaces(start, 260);
  AssignFromWorkBuffer(&Launcher.LauncherPath, start);
  GetModuleFileNameA(nullptr, Launcher.LauncherPath, 260);
  start = WritePosition;
  FolderOfPath(start, Launcher.LauncherPath);
  AssignFromWorkBuffer(&Launcher.LauncherFolder, start);
}

// A press that lands on the skin itself (the window, or the face, which lets presses through).
// Presses on the buttons are left to the buttons: the platform's move loop would swallow the
// release that makes their click.
bool PressIsOnSkin() {
  HWND target = EventState.retrieved.hwnd;
  return target && (target == WindowHandleOf(LauncherWindow) || target == GadgetHandleOf(FaceGadget));
}

void OnItemAction(ObjectNumber item) {
  switch (item) {
    case PlayButton:
      PlayPressed();
      break;
    case QuitButton:
      Launcher.QuitRequested = 1;
      break;
    default:
      break;
  }
}

// Notes the events of the move loop that must not be lost: a close request for the window and a
// button's click (its WM_COMMAND names the gadget by the control's identifier). Only the first
// click counts, as the first one decides what happens.
void HoldEventDuringMove(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE && window == WindowHandleOf(LauncherWindow)) {
    Launcher.HeldClose = 1;
  } else if (message == WM_COMMAND && lParam && HIWORD(wParam) == BN_CLICKED && !Launcher.HeldItem) {
    Launcher.HeldItem = GetWindowLongPtrA(reinterpret_cast<HWND>(lParam), GWLP_ID);
  }
}

// The skin and the buttons at the window's scale; the buttons' places and sizes are those of the
// 100 % layout, scaled. Without a drawing it can take at this scale the window is plain, of the
// 100 % size scaled, so that the buttons still lie on it.
void LayOutLauncherWindow(long centre) {
  auto scaled = [](long length) { return ScaledForWindow(LauncherWindow, length); };
  if (!ApplySkinForScale(LauncherWindow, FaceGadget, SkinImage, LauncherLayout.arts, LauncherLayout.artCount, centre))
    RemoveSkin(LauncherWindow, FaceGadget, SkinImage, scaled(575), scaled(385), centre);
  CreatePushButton(PlayButton, scaled(160), scaled(250), scaled(60), scaled(20), "Play");
  CreatePushButton(QuitButton, scaled(355), scaled(250), scaled(60), scaled(20), "Quit");
}

// The window was moved to a monitor of another scale, whose DPI it now carries: skin, outline,
// buttons and their font are made again for it, and the window goes to the place the platform
// suggests, so that it stays under the pointer (also in the middle of a drag). The button that
// had the keyboard keeps it.
LRESULT OnScaleChanged(HWND window, const RECT* suggested) {
  HWND focus = GetFocus();
  ObjectNumber focused = focus == GadgetHandleOf(PlayButton) ? PlayButton
                         : focus == GadgetHandleOf(QuitButton) ? QuitButton : 0;
  LayOutLauncherWindow(0);
  if (suggested)
    SetWindowPos(window, nullptr, suggested->left, suggested->top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (focused) SetFocus(GadgetHandleOf(focused));
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  return 0;
}

}  // namespace

LRESULT CALLBACK LauncherWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (Launcher.Dragging) HoldEventDuringMove(window, message, wParam, lParam);
  if (message == DpiChangedMessage && window == WindowHandleOf(LauncherWindow))
    return OnScaleChanged(window, reinterpret_cast<const RECT*>(lParam));
  return LauncherHook(window, message, wParam, lParam);
}

namespace {

// Moves the window with the pointer until the button is released, then acts on what was held.
void MoveWithPointer() {
  Launcher.Dragging = 1;
  Launcher.HeldClose = 0;
  Launcher.HeldItem = 0;
  SendMessageA(WindowHandleOf(LauncherWindow), WM_NCLBUTTONDOWN, HTCAPTION, 0);
  Launcher.Dragging = 0;
  // The move loop's own events were raised outside any wait; left pending, the last of them
  // (often "window moved") would stand in for the next message, such as the next press.
  EventState.code = 0;
  if (Launcher.HeldItem) OnItemAction(ObjectNumber(Launcher.HeldItem));
  if (Launcher.HeldClose) Launcher.QuitRequested = 1;
}

void RunEventLoop() {
  Launcher.QuitRequested = 0;
  while (!Launcher.QuitRequested) {
    Launcher.LastEvent = AwaitEvent();
    switch (Launcher.LastEvent) {
      case EventCloseRequest:
        if (EventSourceWindow() == LauncherWindow) Launcher.QuitRequested = 1;
        break;
      case EventLeftButtonDown:
        if (PressIsOnSkin()) MoveWithPointer();
        break;
      case EventItemAction:
        OnItemAction(EventSourceItem());
        break;
      default:
        break;
    }
  }
}

}  // namespace

HWND OpenLauncherWindow() {
  // The program's own skins, one resource for each scale its art is drawn for; other scales are
  // made from these. Read here rather than in a table filled by the compiler: the program runs no
  // static constructors, and a built program's skins can be replaced without compiling it.
  static SkinArt art[SkinResourceNameCount];
  return OpenLauncherWindowWithArt(art, FindSkinArts(RuntimeState.instance, art));
}

HWND OpenSkinnedLauncherWindow(const void* skinBlock, size_t skinBlockSize) {
  // Kept for the window's lifetime, as the window may be laid out again.
  static SkinArt single;
  single = {BaseDpi, skinBlock, skinBlockSize};
  return OpenLauncherWindowWithArt(&single, 1);
}

HWND OpenLauncherWindowWithArt(const SkinArt* arts, long artCount) {
  LauncherLayout.arts = arts;
  LauncherLayout.artCount = artCount;
  if (!CreateNumberedWindow(LauncherWindow, 122, 105, 575, 385, LauncherWindowFlags, "Zindle")) return nullptr;
  if (!BindGadgetParent(WindowHandleOf(LauncherWindow))) return nullptr;
  // The window was centred for 575 x 385; the skin gives it the image's size at the window's
  // scale, so it is centred again for that size. Without a skin it can take it is a plain popup
  // of 575 x 385 at its scale, centred for that size, which is filled and shown.
  LayOutLauncherWindow(1);
  ShowSkinnedWindow(LauncherWindow, 0);
  return CurrentWindowHandle();
}

void PlayPressed() {
  if (!Launcher.DirectXAccepted) {
    ShowDirectXRefusal();  // the launcher stays open
    return;
  }
  // The game's path goes to the shell as one field, built from the launcher's own path read in
  // wide characters; when that folder cannot be told, nothing is started.
  intptr_t started = StartGameBesideLauncher();
  if (started > 1) CloseHandle(reinterpret_cast<HANDLE>(started));
  Launcher.QuitRequested = 1;
}

void LauncherMain() {
  // A launcher of this folder already runs: its window comes to the front and this start ends.
  if (HandOverToRunningLauncher()) EndProgram();
  FindLauncherPath();
  CheckDirectXVersion();
  if (HWND window = OpenLauncherWindow()) {
    NoteLauncherWindow(window);
    TakeKeyboardFocus(window);
    InstallWindowHook(LauncherWindowHook);
    RunEventLoop();
    NoteLauncherEnding();
    DestroyNumberedWindow(LauncherWindow);
  }
  EndProgram();
}
