#include "launcher/shown_window.h"

#include "skin/skin_engine.h"
#include "window/events.h"

LRESULT CALLBACK LauncherHook(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX)
    return ResolveGadgetColours(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam));
  return HookPassOn;
}

// Showing the window activates it, but on a display without a window manager (Wine's own
// placement) the activation can come before the window is on the screen, and the keyboard then
// stays with whatever lies under the pointer. Focusing the shown window again hands it the keys,
// as a player expects of a window that has just opened.
void TakeKeyboardFocus(HWND window) {
  SetFocus(nullptr);
  SetFocus(window);
}
