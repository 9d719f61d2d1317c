// Opening and closing numbered windows, and the operations that act on an open window.
#include <windows.h>

#include <string.h>

#include "runtime/runtime_state.h"
#include "window/window_slots.h"
#include "window/window_scale.h"
#include "window/window_stages.h"

namespace {

enum class Centring { None, Screen, ActiveWindow };

// The style a window is created with, worked out from the caller's flags.
struct WindowStyle {
  DWORD style;
  Centring centring;
  bool showMaximized;
};

WindowStyle StyleFromFlags(DWORD flags) {
  WindowStyle result = {flags, Centring::None, false};
  if (result.style & CenterOnScreen) {
    result.style &= ~CenterOnScreen;
    result.centring = Centring::Screen;
  }
  if (result.style & CenterOnActiveWindow) {
    result.style &= ~CenterOnActiveWindow;
    result.centring = Centring::ActiveWindow;
  }
  if (result.style == 0 || result.style == StartHidden) result.style |= WS_CAPTION;
  if (result.style & StartHidden) {
    result.style &= ~StartHidden;
  } else {
    result.style |= WS_VISIBLE;
    result.showMaximized = (result.style & WS_MAXIMIZE) != 0;
  }
  return result;
}

// Left or top edge that centres a length within a screen extent; wider windows start at 0.
long CentredOnScreen(long screen, long length) {
  return (screen >> 1) - ((length < screen ? length : screen) >> 1);
}

// Outer position for an outer size W x H, following the centring asked for.
POINT PlaceWindow(Centring centring, long x, long y, long width, long height) {
  POINT place = {x, y};
  HWND active = centring == Centring::ActiveWindow ? GetActiveWindow() : nullptr;
  if (centring == Centring::Screen || (centring == Centring::ActiveWindow && !active)) {
    place.x = CentredOnScreen(GetSystemMetrics(SM_CXSCREEN), width);
    place.y = CentredOnScreen(GetSystemMetrics(SM_CYSCREEN), height);
  } else if (centring == Centring::ActiveWindow) {
    RECT around;
    GetWindowRect(active, &around);
    place.x = around.left - (width >> 1) + ((around.right - around.left) >> 1);
    place.y = around.top - (height >> 1) + ((around.bottom - around.top) >> 1);
    if (place.x < 0) place.x = 0;
    if (place.y < 0) place.y = 0;
  }
  return place;
}

// Hands the activation to a window's owner before the window goes away or hides.
void ActivateOwner(HWND window) {
  HWND owner = GetWindow(window, GW_OWNER);
  if (owner) SetActiveWindow(owner);
}

}  // namespace

void FormatClassName(ObjectNumber number) {
  // Digits from the lowest up, of the magnitude taken unsigned so that the most negative number
  // has one too. An intptr_t has at most 19 digits and a sign.
  char digits[20];
  char* first = digits + sizeof(digits);
  uintptr_t magnitude = static_cast<uintptr_t>(number);
  if (number < 0) magnitude = 0 - magnitude;
  do {
    *--first = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  if (number < 0) *--first = '-';
  static const char Prefix[] = "WindowClass_";
  char* name = WindowTable.className;
  memcpy(name, Prefix, sizeof(Prefix) - 1);
  name += sizeof(Prefix) - 1;
  size_t length = static_cast<size_t>(digits + sizeof(digits) - first);
  memcpy(name, first, length);
  name[length] = 0;
}

ObjectNumber CreateNumberedWindow(ObjectNumber number, long x, long y, long width, long height,
                                  DWORD flags, const char* title, HWND parent) {
  // An identifier of a live AnyNumber window is not a table number: reopening it is refused.
  if (number != -1 && DynamicRecordOf(number)) return 0;
  ObjectNumber identifier = number;
  WindowRecord* record = SlotFor(number, &identifier);
  if (!record) return 0;
  if (number != -1) DestroyNumberedWindow(number);

  FormatClassName(identifier);
  RegisterSharedWindowClass();

  WindowStyle style = StyleFromFlags(flags);
  RECT outer = {x, y, x + width, y + height};
  AdjustWindowRect(&outer, style.style, FALSE);
  long outerWidth = outer.right - outer.left;
  long outerHeight = outer.bottom - outer.top;
  POINT place = PlaceWindow(style.centring, x, y, outerWidth, outerHeight);

  HWND handle = CreateWindowExA(0, WindowTable.className, title, style.style, place.x, place.y,
                                outerWidth, outerHeight, parent, nullptr, RuntimeState.instance,
                                nullptr);
  // Creation sends messages to the hook, which may open windows that move the table: the slot is
  // taken again rather than trusted (an AnyNumber record stays where it is).
  record = LinkedRecordOf(identifier);
  record->handle = handle;
  if (!handle) return 0;
  record->dpi = DpiOfHandle(handle);
  WindowTable.currentWindow = handle;
  if (style.showMaximized) ShowWindow(handle, SW_SHOWMAXIMIZED);
  if (WindowStages.createShortcuts) WindowStages.createShortcuts(identifier);
  return number == -1 ? identifier : reinterpret_cast<ObjectNumber>(handle);
}

void DestroyNumberedWindow(ObjectNumber number) {
  WindowRecord* record = RecordOf(number);
  if (!record->handle) return;
  // Activation and destruction send messages to the hook, which may open windows that move the
  // table or destroy this same number again. The record is copied and its shortcut table detached
  // first, so that only this call frees it; the slot is looked up again afterwards and cleared
  // only while it still holds this window.
  WindowRecord detached = *record;
  record->shortcutCount = 0;
  record->shortcutEntries = nullptr;
  record->shortcutTable = nullptr;
  ActivateOwner(detached.handle);
  DestroyWindow(detached.handle);

  record = LinkedRecordOf(number);
  if (record && record->handle == detached.handle) {
    if (IsTableNumber(number)) {
      record->handle = nullptr;
    } else {
      ReleaseDynamicRecord(record);
    }
  }
  FormatClassName(number);
  UnregisterClassA(WindowTable.className, RuntimeState.instance);
  if (detached.shortcutCount) {
    HeapFree(RuntimeState.heap, 0, detached.shortcutEntries);
    DestroyAcceleratorTable(detached.shortcutTable);
  }
}

void DestroyAllWindows() {
  // Closing a window runs hooks that may close other AnyNumber windows and free their records,
  // so no record is held across a closing: each pass looks for the newest window afresh. Records
  // that hold no window (left by a failed opening) are passed over, as a closing would leave them.
  for (;;) {
    WindowRecord* record = FirstDynamicRecord();
    while (record && !record->handle) record = NextDynamicRecord(record);
    if (!record) break;
    DestroyNumberedWindow(IdentifierOf(record));
  }
  for (ObjectNumber number = WindowTable.capacity - 1; number >= 0; --number) {
    DestroyNumberedWindow(number);
  }
}

void SetCurrentWindowClientSize(long width, long height) {
  RECT outer = {0, 0, width, height};
  AdjustWindowRect(&outer, (DWORD)GetWindowLongA(WindowTable.currentWindow, GWL_STYLE), FALSE);
  // A window of that size already is left alone (see CentreOnScreen in the skin engine).
  RECT now;
  if (GetWindowRect(WindowTable.currentWindow, &now) && now.right - now.left == outer.right - outer.left &&
      now.bottom - now.top == outer.bottom - outer.top)
    return;
  SetWindowPos(WindowTable.currentWindow, nullptr, 0, 0, outer.right - outer.left,
               outer.bottom - outer.top, SWP_NOMOVE | SWP_NOZORDER);
}

void SetWindowHidden(ObjectNumber number, long hidden) {
  HWND handle = RecordOf(number)->handle;
  if (hidden) {
    if (handle) ActivateOwner(handle);
    ShowWindow(handle, SW_HIDE);
  } else {
    ShowWindow(handle, SW_SHOWNORMAL);
  }
}
