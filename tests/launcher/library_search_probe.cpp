// Loads the shell the way the launcher does, after the launcher's start-up restriction of the
// library search, and tells whether a planted library (tests/launcher/planted_library.c, named
// like one the shell imports) was taken for the system's. Exit code 0: it was not; 1: it was;
// 2: the shell could not be loaded.
#include <windows.h>

#include "launcher/system_procedure.h"

int main() {
  RestrictLibrarySearch();
  if (!SystemProcedure(L"shell32.dll", "ShellExecuteExW")) return 2;
  HMODULE planted = GetModuleHandleW(L"shcore.dll");
  return planted && GetProcAddress(planted, "PlantedLibraryMarker") ? 1 : 0;
}
