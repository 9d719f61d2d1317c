#include "launcher/system_procedure.h"

#include <cwchar>

namespace {

FARPROC KernelProcedure(const char* name) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  return kernel ? GetProcAddress(kernel, name) : nullptr;
}

// By full path: a file of the same name in the launcher's or the current folder is never taken
// for the system's, though the libraries it imports are searched for the usual way.
HMODULE LoadByFullPath(const wchar_t* library) {
  wchar_t path[MAX_PATH];
  UINT folder = GetSystemDirectoryW(path, MAX_PATH);
  size_t length = wcslen(library);
  if (folder == 0 || folder + 1 + length >= MAX_PATH) return nullptr;
  path[folder] = L'\\';
  memcpy(path + folder + 1, library, (length + 1) * sizeof(wchar_t));
  return LoadLibraryW(path);
}

}  // namespace

DWORD SystemLibraryLoadFlags() { return KernelProcedure("AddDllDirectory") ? SearchSystemFolderOnly : 0; }

void RestrictLibrarySearch() {
  typedef BOOL(WINAPI * SetDllDirectoryProcedure)(const wchar_t*);
  auto setDirectory = reinterpret_cast<SetDllDirectoryProcedure>(
      reinterpret_cast<void*>(KernelProcedure("SetDllDirectoryW")));
  if (setDirectory) setDirectory(L"");
}

FARPROC SystemProcedure(const wchar_t* library, const char* name) {
  HMODULE module = GetModuleHandleW(library);
  if (!module) {
    DWORD flags = SystemLibraryLoadFlags();
    module = flags ? LoadLibraryExW(library, nullptr, flags) : LoadByFullPath(library);
    if (!module) return nullptr;
  }
  return GetProcAddress(module, name);
}
