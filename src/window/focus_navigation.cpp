// Default shortcut tables of runtime windows and Tab / Shift+Tab focus navigation.
#include "window/focus_navigation.h"

#include <string.h>

#include "runtime/runtime_state.h"
#include "window/events.h"
#include "window/window_table.h"

FocusNavigationRecord FocusNavigation;

namespace {

bool KeyDown(int key) { return (GetKeyState(key) & 0x8000) != 0; }

bool IsEligible(HWND control) {
  return IsWindowEnabled(control) && IsWindowVisible(control) &&
         (GetWindowLongA(control, GWL_STYLE) & WS_TABSTOP);
}

// Whether the focused window's class name begins with "Rich" (a rich-edit control, which takes a
// plain Tab itself).
bool RichControlHasFocus() {
  char prefix[5] = {};  // four characters and the terminator
  HWND focus = GetFocus();
  if (!focus || !GetClassNameA(focus, prefix, sizeof(prefix))) return false;
  return strcmp(prefix, "Rich") == 0;
}

// The focused control when it lies inside the active window, else 0.
HWND FocusedControlOf(HWND active) {
  HWND focus = GetFocus();
  return focus && active && IsChild(active, focus) ? focus : nullptr;
}

BOOL CALLBACK NextCallback(HWND control, LPARAM) {
  FocusNavigationRecord& state = FocusNavigation;
  state.keepGoing = true;
  if (!IsEligible(control)) return TRUE;
  if (state.pastFocus || !state.startControl) {
    SetFocus(control);
    state.pastFocus = false;
    state.keepGoing = false;
  } else if (control == state.startControl) {
    state.pastFocus = true;
  }
  return state.keepGoing;
}

BOOL CALLBACK PreviousCallback(HWND control, LPARAM) {
  FocusNavigationRecord& state = FocusNavigation;
  if (!IsEligible(control)) return TRUE;
  if (control == state.startControl && state.lastEligible) {
    SetFocus(state.lastEligible);
    state.moved = true;
    state.lastEligible = control;
    return FALSE;
  }
  state.lastEligible = control;
  return TRUE;
}

}  // namespace

void CreateDefaultShortcuts(ObjectNumber number) {
  WindowRecord* record = RecordOf(number);
  if (!record->handle) return;
  ACCEL* entries = static_cast<ACCEL*>(
      HeapAlloc(RuntimeState.heap, HEAP_ZERO_MEMORY, DefaultShortcutCount * sizeof(ACCEL)));
  if (!entries) return;
  entries[0] = {FocusNextKeyFlags, VK_TAB, FocusNextCommand};
  entries[1] = {FocusPreviousKeyFlags, VK_TAB, FocusPreviousCommand};
  record->shortcutEntries = entries;
  record->shortcutCount = DefaultShortcutCount;
  record->shortcutTable = CreateAcceleratorTableA(entries, DefaultShortcutCount);
}

HACCEL ShortcutTableFor(HWND window) {
  bool plainTab = KeyDown(VK_TAB) && !KeyDown(VK_CONTROL) && !KeyDown(VK_SHIFT) &&
                  !KeyDown(VK_MENU);
  if (plainTab && RichControlHasFocus()) return nullptr;
  ObjectNumber number = NumberOfHandle(window);
  if (number == -1) return nullptr;
  return RecordOf(number)->shortcutTable;
}

// Both navigations walk the active window's descendants; without an active window there is
// nothing to walk (a null parent would make the platform walk every top-level window instead).
void FocusNextControl() {
  FocusNavigation = FocusNavigationRecord();
  HWND active = GetActiveWindow();
  if (!active) return;
  FocusNavigation.startControl = FocusedControlOf(active);
  EnumChildWindows(active, NextCallback, 0);
  // The focused control was the last eligible one: the first one follows it.
  if (FocusNavigation.pastFocus) EnumChildWindows(active, NextCallback, 0);
}

void FocusPreviousControl() {
  FocusNavigation = FocusNavigationRecord();
  HWND active = GetActiveWindow();
  if (!active) return;
  FocusNavigation.startControl = FocusedControlOf(active);
  EnumChildWindows(active, PreviousCallback, 0);
  // The focused control was the first eligible one, or none had the focus: the last one.
  if (!FocusNavigation.moved && FocusNavigation.lastEligible) {
    SetFocus(FocusNavigation.lastEligible);
  }
}
