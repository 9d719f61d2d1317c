// The launcher's global variables. Start-up clears them to zero with RuntimeState, so every
// string starts empty (null) and every number at 0.
#pragma once
#include <cstdint>

struct LauncherVariables {
  char* LauncherPath;    // full path of launcher.exe
  char* LauncherFolder;  // folder of LauncherPath, ending with a backslash
  // The DirectX check, run once before the window opens.
  uint8_t DirectXAccepted;       // 1 when "Play" may start the game
  char* DirectXVersionName;      // short name of the version found, shown when refused
  char* DirectXVersionText;      // the registry value, then its last four characters
  int32_t DirectXVersionNumber;  // decimal value of those four characters
  long LastEvent;        // code of the event being handled
  long QuitRequested;    // 1 makes the event loop stop after the current event
  // While the platform moves the window with the pointer, its move loop dispatches messages that
  // raise events nobody waits for; those that matter are held here and acted on when it ends.
  uint8_t Dragging;      // 1 during the move
  uint8_t HeldClose;     // a close request for the launcher's window arrived during the move
  intptr_t HeldItem;     // a gadget whose action arrived during the move; 0 none
};

extern LauncherVariables Launcher;
