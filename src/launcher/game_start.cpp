#include "launcher/game_start.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstring>

#include "launcher/path_folder.h"
#include "launcher/program_runner.h"
#include "launcher/system_procedure.h"
#include "runtime/runtime_state.h"

namespace {

wchar_t* AllocateWide(size_t count) {
  return static_cast<wchar_t*>(HeapAlloc(RuntimeState.heap, 0, count * sizeof(wchar_t)));
}

// The running program's full path in a RuntimeHeap block, or null. GetModuleFileNameW fills the
// whole buffer, cut and perhaps without a terminator, when the path does not fit: the buffer
// grows until the path and its terminator fit, the last try at the longest path there can be.
wchar_t* OwnPathW() {
  for (DWORD size = MAX_PATH; size != 0; size = NextPathBufferSize(size)) {
    wchar_t* path = AllocateWide(size);
    if (!path) return nullptr;
    DWORD length = GetModuleFileNameW(nullptr, path, size);
    if (length > 0 && length < size) return path;
    HeapFree(RuntimeState.heap, 0, path);
    if (length == 0) return nullptr;
  }
  return nullptr;
}

// The shell and COM are loaded when the game is started, not with the launcher.
BOOL WINAPI ShellExecuteExWOnDemand(SHELLEXECUTEINFOW* info) {
  auto open = SystemProcedureAs<BOOL(WINAPI*)(SHELLEXECUTEINFOW*)>(L"shell32.dll", "ShellExecuteExW");
  if (!open) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return FALSE;
  }
  return open(info);
}

HRESULT EnterApartment() {
  auto enter = SystemProcedureAs<HRESULT(WINAPI*)(void*, DWORD)>(L"ole32.dll", "CoInitializeEx");
  return enter ? enter(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE) : E_FAIL;
}

void LeaveApartment() {
  auto leave = SystemProcedureAs<void(WINAPI*)()>(L"ole32.dll", "CoUninitialize");
  if (leave) leave();
}

}  // namespace

BOOL(WINAPI* ShellOpenW)(SHELLEXECUTEINFOW*) = ShellExecuteExWOnDemand;

wchar_t* LauncherFolderW() {
  wchar_t* path = OwnPathW();
  if (!path) return nullptr;
  size_t length = WideFolderLength(path);
  if (length == 0) {
    HeapFree(RuntimeState.heap, 0, path);
    return nullptr;
  }
  path[length] = 0;
  return path;
}

intptr_t StartBesideLauncher(const wchar_t* fileName, int32_t flags) {
  if (!fileName) return 0;
  wchar_t* folder = LauncherFolderW();
  if (!folder) return 0;
  size_t folderLength = wcslen(folder);
  size_t nameLength = wcslen(fileName);
  wchar_t* file = AllocateWide(folderLength + nameLength + 1);
  intptr_t result = 0;
  if (file) {
    memcpy(file, folder, folderLength * sizeof(wchar_t));
    memcpy(file + folderLength, fileName, (nameLength + 1) * sizeof(wchar_t));
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
    info.lpVerb = L"Open";
    info.lpFile = file;
    info.lpDirectory = folder;
    info.nShow = (flags & LaunchHidden) ? SW_HIDE : SW_SHOWNORMAL;
    // The apartment is held only for the shell call: not while waiting for the game, which an
    // apartment that pumps no messages must not do. A thread already in another apartment
    // (RPC_E_CHANGED_MODE) is left as it is.
    HRESULT com = EnterApartment();
    BOOL opened = ShellOpenW(&info);
    if (com == S_OK || com == S_FALSE) LeaveApartment();
    if (opened) {
      result = info.hProcess ? reinterpret_cast<intptr_t>(info.hProcess) : 1;
      if (info.hProcess && (flags & WaitForExit)) WaitForSingleObject(info.hProcess, INFINITE);
    }
    HeapFree(RuntimeState.heap, 0, file);
  }
  HeapFree(RuntimeState.heap, 0, folder);
  return result;
}

intptr_t StartGameBesideLauncher() { return StartBesideLauncher(L"zindle.exe", 0); }
