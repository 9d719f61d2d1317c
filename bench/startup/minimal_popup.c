/* The reference of the start-up benchmark: the least a program must do to show what the launcher
   shows. A 575 x 385 popup centred on the screen with two push buttons, built from plain C with
   the toolchain's own start-up code; on a screen above 96 DPI, window and buttons scaled as the
   launcher scales its own (the popup with the launcher's manifest is aware of the scale). Either button or a close request ends it with exit code 0. */
#include <windows.h>

#ifdef STARTUP_MARKS
/* The benchmark's marked build: the same steps as the launcher's marked build, where they exist. */
#include "startup_marks.h"
#define MARK() MarkStartupStep()
#define MARK_FIRST_PAINT() (MarkFirstPaint(), SendStartupMarks())
#else
#define MARK()
#define MARK_FIRST_PAINT()
#endif

#define POPUP_WIDTH 575
#define POPUP_HEIGHT 385

static LRESULT CALLBACK PopupProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  WNDCLASSA windowClass = {0};
  HWND window;
  MSG message;
  HDC screen = GetDC(NULL);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  int width = MulDiv(POPUP_WIDTH, dpi, 96), height = MulDiv(POPUP_HEIGHT, dpi, 96);
  int x = GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2;
  int y = GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2;
  if (screen) ReleaseDC(NULL, screen);
  (void)previous;
  (void)commandLine;
  (void)show;
  MARK(); /* entry */
  windowClass.lpfnWndProc = PopupProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
  windowClass.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = "MinimalPopup";
  RegisterClassA(&windowClass);
  window = CreateWindowExA(0, "MinimalPopup", "Minimal popup", WS_POPUP, x, y, width, height, NULL,
                           NULL, instance, NULL);
  if (!window) return 0;
  MARK(); /* window created */
  MARK(); /* no skin */
  CreateWindowExA(0, "BUTTON", "Play", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, MulDiv(160, dpi, 96),
                  MulDiv(250, dpi, 96), MulDiv(60, dpi, 96), MulDiv(20, dpi, 96), window, (HMENU)2, instance, NULL);
  CreateWindowExA(0, "BUTTON", "Quit", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, MulDiv(355, dpi, 96),
                  MulDiv(250, dpi, 96), MulDiv(60, dpi, 96), MulDiv(20, dpi, 96), window, (HMENU)6, instance, NULL);
  MARK(); /* gadgets */
  ShowWindow(window, SW_SHOW);
  MARK(); /* shown */
  MARK(); /* no focus step: showing activates the popup */
  MARK_FIRST_PAINT();
  while (GetMessageA(&message, NULL, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
