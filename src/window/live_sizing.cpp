// Live window sizing through the ordinary message flow: the size command starts it, the pointer
// is captured, and each mouse move or arrow key resizes the window.
#include "window/live_sizing.h"

#include "window/events.h"

SizingStateRecord SizingState;

namespace {

void ShowSystemCursor(WORD cursor) {
  SetCursor(static_cast<HCURSOR>(LoadImageA(nullptr, MAKEINTRESOURCEA(cursor), IMAGE_CURSOR, 0, 0,
                                            LR_DEFAULTSIZE | LR_SHARED)));
}

bool FullWindowDraggingOn() {
  BOOL on = FALSE;
  return SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &on, 0) && on;
}

// The platform's defaults, which the window may change when asked with WM_GETMINMAXINFO.
void FillDefaultLimits(HWND window) {
  MINMAXINFO& limits = SizingState.limits;
  limits.ptReserved = {0, 0};
  limits.ptMaxSize = {GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CYMAXIMIZED)};
  if (GetWindowLongA(window, GWL_STYLE) & WS_BORDER) {
    limits.ptMaxPosition = {GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYBORDER)};
  } else if (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_WINDOWEDGE) {
    limits.ptMaxPosition = {GetSystemMetrics(SM_CXEDGE), GetSystemMetrics(SM_CYEDGE)};
  } else {
    limits.ptMaxPosition = {0, 0};
  }
  limits.ptMinTrackSize = {GetSystemMetrics(SM_CXMINTRACK), GetSystemMetrics(SM_CYMINTRACK)};
  limits.ptMaxTrackSize = {GetSystemMetrics(SM_CXMAXTRACK), GetSystemMetrics(SM_CYMAXTRACK)};
}

LRESULT StartSizing(HWND window, WPARAM command) {
  SizingState.active = true;
  SizingState.window = window;
  SizingState.edge = command & 0xF;  // the grabbed border; 0 from the keyboard
  GetWindowRect(window, &SizingState.rect);
  SizingState.startRect = SizingState.rect;
  FillDefaultLimits(window);
  SendMessageA(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&SizingState.limits));
  // A keyboard start has no press behind it: the window is told of one, at 0, 0. Only the
  // key-down bit counts; the toggle bit flips with every press and says nothing about now.
  if (!(GetKeyState(VK_LBUTTON) & 0x8000)) SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, 0);
  SetCapture(window);
  PostMessageA(window, WM_ENTERSIZEMOVE, 0, 0);
  SizingState.restoreCursor = SizingState.edge == 0;
  if (SizingState.restoreCursor) {
    GetCursorPos(&SizingState.savedCursor);
    ShowSystemCursor(SizeAllCursor);
  }
  return 0;
}

// The end common to every way out, after the capture has been released.
void EndSizing() {
  PostMessageA(SizingState.window, WM_EXITSIZEMOVE, 0, 0);
  SizingState.active = false;
  if (SizingState.restoreCursor) {
    SetCursorPos(SizingState.savedCursor.x, SizingState.savedCursor.y);
  }
}

// Gives the capture back and ends the sizing. Losing the capture ends it already (see
// WM_CAPTURECHANGED); the end is made here only when the capture had gone before.
void ReleaseAndEndSizing() {
  ReleaseCapture();
  if (SizingState.active) EndSizing();
}

// The rectangle as it now stands goes to the window's WM_SIZING handler, which may change it,
// and then to the screen.
void ResizeToRect(HWND window) {
  SendMessageA(window, WM_SIZING, SizingState.edge, reinterpret_cast<LPARAM>(&SizingState.rect));
  MoveWindowToScreenRect(window, SizingState.rect);
}

// The point is in the client coordinates of the window the move was for, which need not be the
// window being sized.
LRESULT OnSizingMouseMove(HWND window, LPARAM lParam) {
  SizingState.restoreCursor = false;
  POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  MapWindowPoints(window, nullptr, &point, 1);
  ApplySizingPoint(point.x, point.y);
  ResizeToRect(SizingState.window);
  return 0;
}

// What an arrow chooses: a new edge or corner with the pointer's place and cursor, or edge 0
// when the arrow moves the edge already chosen.
struct EdgeChoice {
  UINT edge;
  POINT at;
  WORD cursor;
};

EdgeChoice ChoiceOf(WPARAM key, POINT p) {
  const RECT& r = SizingState.rect;
  UINT edge = SizingState.edge;
  switch (key) {
    case VK_LEFT:
      if (edge == 0) return {WMSZ_LEFT, {r.left, p.y}, SizeWeCursor};
      if (edge == WMSZ_TOP) return {WMSZ_TOPLEFT, {r.left + 2, r.top + 2}, SizeNwseCursor};
      if (edge == WMSZ_BOTTOM) return {WMSZ_BOTTOMLEFT, {r.left, r.bottom - 2}, SizeNeswCursor};
      break;
    case VK_RIGHT:
      if (edge == 0) return {WMSZ_RIGHT, {r.right - 2, p.y}, SizeWeCursor};
      if (edge == WMSZ_TOP) return {WMSZ_TOPRIGHT, {r.right - 2, r.top}, SizeNeswCursor};
      if (edge == WMSZ_BOTTOM) {
        return {WMSZ_BOTTOMRIGHT, {r.right - 2, r.bottom - 2}, SizeNwseCursor};
      }
      break;
    case VK_UP:
      if (edge == 0) return {WMSZ_TOP, {p.x, r.top}, SizeNsCursor};
      if (edge == WMSZ_LEFT) return {WMSZ_TOPLEFT, {r.left + 2, r.top + 2}, SizeNwseCursor};
      if (edge == WMSZ_RIGHT) return {WMSZ_TOPRIGHT, {r.right - 2, r.top}, SizeNeswCursor};
      break;
    case VK_DOWN:
      if (edge == 0) return {WMSZ_BOTTOM, {p.x, r.bottom - 2}, SizeNsCursor};
      if (edge == WMSZ_LEFT) return {WMSZ_BOTTOMLEFT, {r.left, r.bottom - 2}, SizeNeswCursor};
      if (edge == WMSZ_RIGHT) {
        return {WMSZ_BOTTOMRIGHT, {r.right - 2, r.bottom - 2}, SizeNwseCursor};
      }
      break;
  }
  return {0, {0, 0}, 0};
}

void OnSizingArrow(WPARAM key) {
  POINT p;
  GetCursorPos(&p);
  EdgeChoice choice = ChoiceOf(key, p);
  if (choice.edge) {
    SizingState.edge = choice.edge;
    PlaceSizingCursor(choice.cursor, choice.at.x, choice.at.y);
    return;
  }
  LONG step = KeyboardSizingStepLength;
  switch (key) {
    case VK_LEFT: p.x -= step; break;
    case VK_RIGHT: p.x += step; break;
    case VK_UP: p.y -= step; break;
    case VK_DOWN: p.y += step; break;
  }
  KeyboardSizingStep(SizingState.window, p.x, p.y);
}

LRESULT OnSizingKey(WPARAM key) {
  switch (key) {
    case VK_RETURN:
      ReleaseAndEndSizing();
      return 0;
    case VK_ESCAPE:
      MoveWindowToScreenRect(SizingState.window, SizingState.startRect);
      ReleaseAndEndSizing();
      return 0;
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN:
      OnSizingArrow(key);
      return DefaultProcessing;
    default: return DefaultProcessing;
  }
}

bool IsSizeCommand(WPARAM wParam) { return (wParam & 0xFFF0) == SC_SIZE; }

// Moves one edge (leading: left or top) within [minimum, maximum] of length, keeping the far edge.
void ClampLeading(LONG& leading, LONG trailing, LONG minimum, LONG maximum) {
  if (trailing - leading < minimum) {
    leading = trailing - minimum;
  } else if (trailing - leading > maximum) {
    leading = trailing - maximum;
  }
}

void ClampTrailing(LONG leading, LONG& trailing, LONG minimum, LONG maximum) {
  if (trailing - leading < minimum) {
    trailing = leading + minimum;
  } else if (trailing - leading > maximum) {
    trailing = leading + maximum;
  }
}

}  // namespace

LRESULT CALLBACK LiveSizingFilter(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!SizingState.active) {
    if (message != WM_SYSCOMMAND || !IsSizeCommand(wParam)) return DefaultProcessing;
    if (!FullWindowDraggingOn()) return DefaultProcessing;
    return StartSizing(window, wParam);
  }
  switch (message) {
    case WM_MOUSEMOVE: return OnSizingMouseMove(window, lParam);
    case WM_KEYDOWN: return OnSizingKey(wParam);
    case WM_LBUTTONUP:
      ReleaseAndEndSizing();
      return 0;
    case WM_CAPTURECHANGED:
      // The window being sized lost the pointer (another window took it, or the window was
      // disabled): the sizing ends as the platform's own loop ends then, at the size reached.
      if (window == SizingState.window && reinterpret_cast<HWND>(lParam) != window) EndSizing();
      return DefaultProcessing;
    case WM_CANCELMODE:
      // Sent when the window is disabled or a modal box comes up: the sizing gives way.
      if (window == SizingState.window) ReleaseAndEndSizing();
      return DefaultProcessing;
    case WM_SYSCOMMAND:
      // One sizing at a time: a second size command must not start the platform's own loop.
      return IsSizeCommand(wParam) ? 0 : DefaultProcessing;
    case WM_DESTROY:
      // A window that goes away while being sized takes its sizing with it; nothing else could
      // end it, and its keys and pointer moves would keep being taken from the other windows.
      if (window == SizingState.window) SizingState.active = false;
      return DefaultProcessing;
    default: return DefaultProcessing;
  }
}

void ApplySizingPoint(LONG x, LONG y) {
  RECT& r = SizingState.rect;
  const POINT& minimum = SizingState.limits.ptMinTrackSize;
  const POINT& maximum = SizingState.limits.ptMaxTrackSize;
  // The offsets match where the arrows put the pointer: 2 pixels inside the right and bottom
  // edges, and inside both at the top-left corner, so that a chosen edge does not jump.
  switch (SizingState.edge) {
    case WMSZ_LEFT:
    case WMSZ_TOPLEFT:
    case WMSZ_BOTTOMLEFT:
      r.left = SizingState.edge == WMSZ_TOPLEFT ? x - 2 : x;
      ClampLeading(r.left, r.right, minimum.x, maximum.x);
      break;
    case WMSZ_RIGHT:
    case WMSZ_TOPRIGHT:
    case WMSZ_BOTTOMRIGHT:
      r.right = x + 2;
      ClampTrailing(r.left, r.right, minimum.x, maximum.x);
      break;
  }
  switch (SizingState.edge) {
    case WMSZ_TOP:
    case WMSZ_TOPLEFT:
    case WMSZ_TOPRIGHT:
      r.top = SizingState.edge == WMSZ_TOPLEFT ? y - 2 : y;
      ClampLeading(r.top, r.bottom, minimum.y, maximum.y);
      break;
    case WMSZ_BOTTOM:
    case WMSZ_BOTTOMLEFT:
    case WMSZ_BOTTOMRIGHT:
      r.bottom = y + 2;
      ClampTrailing(r.top, r.bottom, minimum.y, maximum.y);
      break;
  }
}

void MoveWindowToScreenRect(HWND window, const RECT& rect) {
  RECT place = rect;
  if (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) {
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&place), 2);
  }
  MoveWindow(window, place.left, place.top, place.right - place.left, place.bottom - place.top,
             TRUE);
}

void PlaceSizingCursor(WORD cursor, LONG x, LONG y) {
  SetCursorPos(x, y);
  ShowSystemCursor(cursor);
}

void KeyboardSizingStep(HWND window, LONG x, LONG y) {
  SetCursorPos(x, y);
  ApplySizingPoint(x, y);
  ResizeToRect(window);
}
