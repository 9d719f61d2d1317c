/* Keeps the Wine desktop of a test run in use from its start to its end. Wine starts the desktop
   process for the first program that needs a desktop, and ends it a moment after the last one
   lets go; started by a test, it would hold that test's output open, and CTest would wait for it
   long after the test ended. scripts/test starts this program first, detached, so that the
   desktop process is started once, by it, and lives until the run ends. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  (void)instance;
  (void)previous;
  (void)commandLine;
  (void)show;
  GetDesktopWindow();
  Sleep(INFINITE);
  return 0;
}
