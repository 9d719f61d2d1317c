// Seam for the later stages of the window subsystem: keyboard focus with per-window shortcut
// tables, and live window sizing. Each entry is called where the stage acts; an empty entry means
// the stage is not built and its step is skipped, exactly as a build without it behaves.
// A stage plugs in by naming its functions in window_stages.cpp; tests may also set entries.
#pragma once
#include <windows.h>

#include "runtime/numbers.h"

struct WindowStageHooks {
  // After a window opened: give it its shortcut table (CreateDefaultShortcuts).
  void (*createShortcuts)(ObjectNumber number);
  // For each retrieved message: the table to translate with for the active window, or 0.
  HACCEL (*shortcutTableFor)(HWND activeWindow);
  // Shortcut commands FocusNextCommand and FocusPreviousCommand.
  void (*focusNext)();
  void (*focusPrevious)();
  // First stage of the window procedure, with the window-procedure signature: 0 when it handled
  // the message, DefaultProcessing when it left it alone. Empty: every message is left alone.
  LRESULT(CALLBACK* liveSizingFilter)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// Not touched by InitWindowLibrary, so stages stay plugged in across start-up.
extern WindowStageHooks WindowStages;
