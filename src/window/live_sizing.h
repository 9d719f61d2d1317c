// Live window sizing: with full-window dragging on, the runtime sizes its windows itself instead
// of running the platform's modal sizing loop, so the caller's event loop keeps running (and sees
// WM_ENTERSIZEMOVE and WM_EXITSIZEMOVE as raw events 561 and 562). Sizing starts from a grabbed
// border or from the keyboard (the Size command of the window menu); the arrows choose an edge or
// corner and then move it by 10 pixels, Enter accepts, Escape restores the start rectangle.
#pragma once
#include <windows.h>

// System cursors shown while sizing from the keyboard.
const WORD SizeNwseCursor = 32642;  // IDC_SIZENWSE
const WORD SizeNeswCursor = 32643;  // IDC_SIZENESW
const WORD SizeWeCursor = 32644;    // IDC_SIZEWE
const WORD SizeNsCursor = 32645;    // IDC_SIZENS
const WORD SizeAllCursor = 32646;   // IDC_SIZEALL

// Pixels an arrow moves the chosen edge once it is chosen.
const LONG KeyboardSizingStepLength = 10;

// One sizing at a time, process-wide.
struct SizingStateRecord {
  bool active;          // a sizing is in progress
  HWND window;          // the window being sized
  UINT edge;            // WMSZ_ code of the edge or corner being moved; 0 none chosen yet
  RECT rect;            // outer rectangle being built, screen coordinates
  RECT startRect;       // outer rectangle when the sizing began
  MINMAXINFO limits;    // as the window answered WM_GETMINMAXINFO at the start
  POINT savedCursor;    // pointer position when a keyboard sizing began
  bool restoreCursor;   // put the pointer back at savedCursor at the end
};
extern SizingStateRecord SizingState;

// First stage of the shared window procedure: 0 when it handled the message, DefaultProcessing
// when it left it alone. Idle, it takes only the size command, and only while full-window
// dragging is on. Active, it takes mouse moves, Enter, Escape and the left-button release of any
// runtime window and applies them to the window being sized; arrows choose or move an edge and
// still go on to DefWindowProcA. The window being sized losing the capture (WM_CAPTURECHANGED,
// WM_CANCELMODE) ends the sizing at the size reached, as the release does.
LRESULT CALLBACK LiveSizingFilter(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Moves the chosen edges of SizingState.rect to the screen point, within the tracking limits.
void ApplySizingPoint(LONG x, LONG y);
// Moves and sizes window to the screen rectangle; a child window is placed in its parent's
// client coordinates.
void MoveWindowToScreenRect(HWND window, const RECT& rect);
// SetCursorPos(x, y), then shows the system cursor of that number.
void PlaceSizingCursor(WORD cursor, LONG x, LONG y);
// One keyboard step: the pointer goes to (x, y) and the chosen edges follow it.
void KeyboardSizingStep(HWND window, LONG x, LONG y);
