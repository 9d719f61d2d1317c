// A program that starts the stand-in game beside itself the way the launcher does, for the
// tests to run from folders with awkward names. The tests copy it next to a stand-in
// "zindle.exe" and run it.
//   (no argument)  StartGameBesideLauncher, then waits for the started process itself;
//   hidden         StartBesideLauncher("zindle.exe", WaitForExit | LaunchHidden).
// Exit code: 0 when a process was started and has ended, 1 when the shell reported success
// without a process, 3 when nothing was started.
#include <windows.h>

#include <cstring>

#include "launcher/game_start.h"
#include "launcher/program_runner.h"
#include "support/runtime_setup.h"

int main(int argc, char** argv) {
  StartRuntimeForTests();
  intptr_t started = argc > 1 && strcmp(argv[1], "hidden") == 0
                         ? StartBesideLauncher(L"zindle.exe", WaitForExit | LaunchHidden)
                         : StartGameBesideLauncher();
  if (started == 0) return 3;
  if (started == 1) return 1;
  HANDLE process = reinterpret_cast<HANDLE>(started);
  WaitForSingleObject(process, INFINITE);
  CloseHandle(process);
  return 0;
}
