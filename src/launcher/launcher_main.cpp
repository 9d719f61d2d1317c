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
#include "launcher/shown_window.h"
#include "launcher/startup.h"
#include "runtime/strings.h"
#include "skin/skin_engine.h"
#include "skin/zindle_skin.h"
#include "window/events.h"
#include "window/window_table.h"

namespace {

const ObjectNumber LauncherWindow = 1;
const ObjectNumber SkinImage = 1;
const ObjectNumber FaceGadget = 1;
const ObjectNumber PlayButton = 2;
const ObjectNumber QuitButton = 6;
// WS_POPUP | StartHidden | CenterOnScreen
const DWORD LauncherWindowFlags = 0x90000001;

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

void OnItemAction() {
  switch (EventSourceItem()) {
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

void RunEventLoop() {
  Launcher.QuitRequested = 0;
  while (!Launcher.QuitRequested) {
    Launcher.LastEvent = AwaitEvent();
    switch (Launcher.LastEvent) {
      case EventCloseRequest:
        if (EventSourceWindow() == LauncherWindow) Launcher.QuitRequested = 1;
        break;
      case EventLeftButtonDown:
        // The platform moves the window with the pointer until the button is released.
        if (PressIsOnSkin()) {
          SendMessageA(WindowHandleOf(LauncherWindow), WM_NCLBUTTONDOWN, HTCAPTION, 0);
          // The move loop's WM_MOVE raised "window moved" outside any wait; left pending, it
          // would stand in for the next message, such as the next press on the skin.
          EventState.code = 0;
        }
        break;
      case EventItemAction:
        OnItemAction();
        break;
      default:
        break;
    }
  }
}

}  // namespace

HWND OpenLauncherWindow() { return OpenSkinnedLauncherWindow(ZindleSkinBlock, ZindleSkinBlockSize); }

HWND OpenSkinnedLauncherWindow(const void* skinBlock, size_t skinBlockSize) {
  if (!CreateNumberedWindow(LauncherWindow, 122, 105, 575, 385, LauncherWindowFlags, "Zindle")) return nullptr;
  if (!BindGadgetParent(WindowHandleOf(LauncherWindow))) return nullptr;
  // The window was centred for 575 x 385; the skin gives it the image's size, so it is centred
  // again for that size. A skin that cannot be applied leaves a plain hidden popup, still
  // centred, which is filled and shown.
  ApplySkin(LauncherWindow, FaceGadget, SkinImage, skinBlock, 1, skinBlockSize);
  CreatePushButton(PlayButton, 160, 250, 60, 20, "Play");
  CreatePushButton(QuitButton, 355, 250, 60, 20, "Quit");
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
  FindLauncherPath();
  CheckDirectXVersion();
  if (HWND window = OpenLauncherWindow()) {
    TakeKeyboardFocus(window);
    InstallWindowHook(LauncherHook);
    RunEventLoop();
    DestroyNumberedWindow(LauncherWindow);
  }
  EndProgram();
}
