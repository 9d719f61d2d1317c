#include "launcher/system_procedure.h"

#include <cwchar>

FARPROC SystemProcedure(const wchar_t* library, const char* name) {
  HMODULE module = GetModuleHandleW(library);
  if (!module) {
    // By full path: a file of the same name in the launcher's or the current folder is never
    // taken for the system's.
    wchar_t path[MAX_PATH];
    UINT folder = GetSystemDirectoryW(path, MAX_PATH);
    size_t length = wcslen(library);
    if (folder == 0 || folder + 1 + length >= MAX_PATH) return nullptr;
    path[folder] = L'\\';
    memcpy(path + folder + 1, library, (length + 1) * sizeof(wchar_t));
    module = LoadLibraryW(path);
    if (!module) return nullptr;
  }
  return GetProcAddress(module, name);
}
