// The table of numbered top-level windows: opening, closing, lookups and the current window.
// Numbers 0 .. capacity address table slots; -1 (AnyNumber) asks for a window outside the table,
// whose number is then the address of its record in the DynamicWindowList.
#pragma once
#include <windows.h>

#include "runtime/heaps.h"
#include "runtime/numbers.h"

// One window. The three shortcut fields belong to the focus/shortcut stage (see window_stages.h).
struct WindowRecord {
  HWND handle;              // 0: the record holds no window
  DWORD shortcutCount;      // entries in shortcutEntries; 0 when the window has no shortcut table
  ACCEL* shortcutEntries;   // block on the runtime heap
  HACCEL shortcutTable;     // made from shortcutEntries
  long dpi;                 // the window's display scale (96 = 100 %); see window_scale.h
};

struct WindowTableRecord {
  ObjectNumber capacity;      // highest number addressed without growing; 10 after start-up
  WindowRecord* records;      // capacity + 2 records on the runtime heap, zero-filled
  ObjectRecordHeader* dynamicWindows;  // head of the DynamicWindowList
  HWND currentWindow;         // set by a successful opening and by SelectCurrentWindow
  WindowRecord emptyRecord;   // all zero; handed out by lookups that find no window. Never written.
  WNDCLASSA windowClass;      // SharedWindowClass: reused for every registration
  HICON smallIcon;            // icon 1 at the small icon size, registered with every class
  char className[50];         // class name being registered or unregistered
};

extern WindowTableRecord WindowTable;

// Flag bits of CreateNumberedWindow with the runtime's own meaning; all others are WS_ styles.
const DWORD CenterOnScreen = 0x00000001;
const DWORD CenterOnActiveWindow = 0x00000002;
const DWORD StartHidden = 0x10000000;  // the WS_VISIBLE bit, with the opposite meaning

// Table slot growth step beyond the number asked for, and the initial capacity.
const ObjectNumber WindowTableGrowth = 30;
const ObjectNumber WindowTableInitialCapacity = 10;
// Highest table number an opening accepts. Keeps capacity (number + growth) below 0x10000, the
// lowest address a heap record can have, so that AnyNumber identifiers never fall in the table.
const ObjectNumber HighestWindowNumber = 0xFFFF - WindowTableGrowth;

// Zeroes the table state, allocates the first 12 records and registers "TemplateClass".
void InitWindowLibrary();
// Registers the SharedWindowClass under its current class name, with smallIcon as the class's
// small icon: the platform would otherwise make a small copy of the icon for every class.
ATOM RegisterSharedWindowClass();
// Opens a window whose client area is width x height. Returns the handle (table number), the new
// identifier (AnyNumber), or 0 on failure. Numbers below -1 and above HighestWindowNumber, and
// identifiers of live AnyNumber windows, are refused with 0 without touching the table.
ObjectNumber CreateNumberedWindow(ObjectNumber number, long x, long y, long width, long height,
                                  DWORD flags, const char* title, HWND parent = nullptr);
void DestroyNumberedWindow(ObjectNumber number);
// Dynamic windows newest first, then table windows from capacity - 1 down to 0.
void DestroyAllWindows();

// The record of a number's window, or &WindowTable.emptyRecord when there is none. Safe for any
// number: identifiers are checked against the DynamicWindowList before they are used.
WindowRecord* RecordOf(ObjectNumber number);
// The top-level window that holds window: the window itself when it is not a child window.
// Gadget notices go to it, and item events of child windows are reported for it.
HWND TopLevelAncestor(HWND window);
// The number of the window with this handle, or -1.
ObjectNumber NumberOfHandle(HWND handle);
HWND WindowHandleOf(ObjectNumber number);
void SelectCurrentWindow(ObjectNumber number);
HWND CurrentWindowHandle();
// Sizes the current window so that its client area is width x height; position and z-order stay.
void SetCurrentWindowClientSize(long width, long height);
// hidden != 0 hides (activating the owner first), 0 shows normally.
void SetWindowHidden(ObjectNumber number, long hidden);
