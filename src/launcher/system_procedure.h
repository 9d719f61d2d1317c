// Procedures of system libraries that the launcher needs only after a player's action: the
// library is loaded from the system folder on first use instead of at process start, where
// loading the shell and COM libraries would delay the window.
#pragma once
#include <windows.h>

// The procedure `name` of the system library `library` (a file name such as L"shell32.dll"),
// loading the library from the system folder when the process has not got it yet; null when
// either cannot be found. The library stays loaded for the rest of the process.
FARPROC SystemProcedure(const wchar_t* library, const char* name);
// The same as a pointer of the procedure's own type.
template <class Procedure>
Procedure SystemProcedureAs(const wchar_t* library, const char* name) {
  return reinterpret_cast<Procedure>(reinterpret_cast<void*>(SystemProcedure(library, name)));
}
