// The launcher's own main routine when its window cannot be opened: a hook installed before it
// refuses the window's creation (WM_NCCREATE answered 0). LauncherMain must then end the process
// at once with exit code 0, showing nothing. CTest reads the report and the exit code.
#include <windows.h>

#include "launcher/launcher_main.h"
#include "launcher/startup.h"
#include "window/events.h"

namespace {

void Say(const char* text) {
  DWORD written;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, lstrlenA(text), &written, nullptr);
}

LRESULT CALLBACK RefuseCreation(HWND, UINT message, WPARAM, LPARAM) {
  if (message == WM_NCCREATE) {
    Say("no-window probe: creation refused\n");
    return 0;
  }
  if (message == WM_SHOWWINDOW) Say("no-window probe: FAIL, a window is shown\n");
  return HookPassOn;
}

}  // namespace

int main() {
  StartLibraries(GetModuleHandleA(nullptr));
  InstallWindowHook(RefuseCreation);
  LauncherMain();
}
