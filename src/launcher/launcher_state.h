// The launcher's global variables. Start-up clears them to zero with RuntimeState, so every
// string starts empty (null) and every number at 0.
#pragma once

struct LauncherVariables {
  char* LauncherPath;    // full path of launcher.exe
  char* LauncherFolder;  // folder of LauncherPath, ending with a backslash
  long LastEvent;        // code of the event being handled
  long QuitRequested;    // 1 makes the event loop stop after the current event
};

extern LauncherVariables Launcher;
