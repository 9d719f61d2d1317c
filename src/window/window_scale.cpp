#include "window/window_scale.h"

#include "window/window_table.h"

namespace {

FARPROC UserProcedure(const char* name) {
  HMODULE user = GetModuleHandleW(L"user32.dll");
  return user ? GetProcAddress(user, name) : nullptr;
}

template <class Procedure>
Procedure UserProcedureAs(const char* name) {
  return reinterpret_cast<Procedure>(reinterpret_cast<void*>(UserProcedure(name)));
}

long ScreenDpi() {
  HDC screen = GetDC(nullptr);
  long dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi;
}

// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 and _PER_MONITOR_AWARE, PROCESS_PER_MONITOR_DPI_AWARE.
const intptr_t PerMonitorAwareV2 = -4;
const intptr_t PerMonitorAware = -3;
const int ProcessPerMonitorDpiAware = 2;

}  // namespace

long ScaledLength(long length, long toDpi, long fromDpi) {
  return fromDpi > 0 ? MulDiv(length, toDpi, fromDpi) : length;
}

long WindowDpi(ObjectNumber window) {
  WindowRecord* record = RecordOf(window);
  return record->handle && record->dpi > 0 ? record->dpi : BaseDpi;
}

long ScaledForWindow(ObjectNumber window, long length) { return ScaledLength(length, WindowDpi(window), BaseDpi); }

long DpiOfHandle(HWND handle) {
  auto perWindow = UserProcedureAs<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  long dpi = perWindow && handle ? long(perWindow(handle)) : 0;
  if (dpi <= 0) dpi = ScreenDpi();
  return dpi > 0 ? dpi : BaseDpi;
}

long CarriedDpiOfHandle(HWND handle) {
  ObjectNumber number = NumberOfHandle(handle);
  return number == -1 ? DpiOfHandle(handle) : WindowDpi(number);
}

void NoteWindowDpi(HWND handle, long dpi) {
  ObjectNumber number = NumberOfHandle(handle);
  if (number == -1 || dpi <= 0) return;
  WindowRecord* record = RecordOf(number);
  if (record->handle == handle) record->dpi = dpi;
}

void DeclareDpiAwareness() {
  // Aware already (the manifest decided, or the system treats every process so): nothing to ask,
  // and no library to load for asking.
  auto isAware = UserProcedureAs<BOOL(WINAPI*)()>("IsProcessDPIAware");
  if (isAware && isAware()) return;
  auto byContext = UserProcedureAs<BOOL(WINAPI*)(HANDLE)>("SetProcessDpiAwarenessContext");
  if (byContext && (byContext(reinterpret_cast<HANDLE>(PerMonitorAwareV2)) ||
                    byContext(reinterpret_cast<HANDLE>(PerMonitorAware))))
    return;
  // Windows 8.1 keeps its call in shcore, which only a system that has it loads.
  wchar_t path[MAX_PATH];
  UINT folder = GetSystemDirectoryW(path, MAX_PATH);
  if (folder > 0 && folder + 12 < MAX_PATH) {
    memcpy(path + folder, L"\\shcore.dll", 12 * sizeof(wchar_t));
    if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES) {
      HMODULE shcore = LoadLibraryW(path);
      auto byProcess = shcore ? reinterpret_cast<HRESULT(WINAPI*)(int)>(
                                    reinterpret_cast<void*>(GetProcAddress(shcore, "SetProcessDpiAwareness")))
                              : nullptr;
      if (byProcess && byProcess(ProcessPerMonitorDpiAware) == S_OK) return;
    }
  }
  auto systemAware = UserProcedureAs<BOOL(WINAPI*)()>("SetProcessDPIAware");
  if (systemAware) systemAware();
}
