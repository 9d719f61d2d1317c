// Keyboard focus between the controls of runtime windows: every window gets a shortcut table
// that turns Tab and Shift+Tab into focus commands, and the commands move the focus to the next
// or previous eligible control (enabled, visible, WS_TABSTOP) of the active window, wrapping
// around at both ends.
#pragma once
#include <windows.h>

#include "runtime/numbers.h"

// Flags of the two default entries (ACCEL fVirt).
const BYTE FocusNextKeyFlags = FVIRTKEY | FNOINVERT;
const BYTE FocusPreviousKeyFlags = FVIRTKEY | FNOINVERT | FSHIFT;
// Entries in a window's default shortcut table.
const DWORD DefaultShortcutCount = 2;

// State passed out of the platform's child enumeration; cleared at the start of each navigation.
struct FocusNavigationRecord {
  HWND startControl;   // the focused control when it lies inside the active window, else 0
  bool pastFocus;      // Tab: the walk has passed the start control
  bool keepGoing;      // Tab: the callback's answer
  HWND lastEligible;   // Shift+Tab: the latest eligible control seen
  bool moved;          // Shift+Tab: the focus has been moved
};
extern FocusNavigationRecord FocusNavigation;

// Gives the window its Tab / Shift+Tab table. A number without a window: nothing happens. When
// the entry block cannot be allocated the window has no table (shortcutCount 0).
void CreateDefaultShortcuts(ObjectNumber number);
// The table to translate with while window is active: none for a plain Tab while a control whose
// class name begins with "Rich" has the focus, nor for a window that is not a runtime window.
HACCEL ShortcutTableFor(HWND window);
// Tab: the next eligible control after the focused one, the first when the focus is outside the
// active window's controls; after the last comes the first. Focus on a control that is not
// eligible: nothing moves.
void FocusNextControl();
// Shift+Tab: the eligible control before the focused one; the last one when the focus is on the
// first, outside the controls, or on a control that is not eligible.
void FocusPreviousControl();
