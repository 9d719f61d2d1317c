// Procedures of system libraries that the launcher needs only after a player's action: the
// library is loaded from the system folder on first use instead of at process start, where
// loading the shell and COM libraries would delay the window. The launcher sits in a game folder
// that players unpack from archives, so neither a library nor the libraries it imports in turn
// may be taken from that folder or the current one.
#pragma once
#include <windows.h>

// LOAD_LIBRARY_SEARCH_SYSTEM32, spelled out for headers that predate it.
const DWORD SearchSystemFolderOnly = 0x00000800;

// The procedure `name` of the system library `library` (a file name such as L"shell32.dll"),
// loading the library from the system folder when the process has not got it yet; null when
// either cannot be found. The library stays loaded for the rest of the process.
FARPROC SystemProcedure(const wchar_t* library, const char* name);
// The same as a pointer of the procedure's own type.
template <class Procedure>
Procedure SystemProcedureAs(const wchar_t* library, const char* name) {
  return reinterpret_cast<Procedure>(reinterpret_cast<void*>(SystemProcedure(library, name)));
}
// The flags SystemProcedure loads a library with: SearchSystemFolderOnly where the system takes
// it (Windows 8 and later, Windows 7 with KB2533623: those that have AddDllDirectory), which
// keeps the library's own imports in the system folder too; else 0, and the library is loaded
// by its full path in the system folder.
DWORD SystemLibraryLoadFlags();
// Takes the current folder out of the search for libraries, where the system allows it (XP SP1
// and later). Called once at start-up.
void RestrictLibrarySearch();
