#include "launcher/running_launcher.h"

#include <cstdint>

#include "launcher/game_start.h"
#include "runtime/runtime_state.h"

namespace {

// What the running launcher shares with later starts, in a named page of the session.
struct SharedLauncherRecord {
  volatile LONG stage;      // LauncherStage
  volatile LONG processId;  // of the launcher that owns the record
  volatile LONG window;     // its window (window handles carry 32 significant bits), 0 before it opens
};

enum LauncherStage : LONG { StageNew = 0, StageStarting = 1, StageShown = 2, StageEnded = 3 };

struct RunningLauncherRecord {
  HANDLE mapping;  // kept open for the process's life; the system closes it at any end
  SharedLauncherRecord* shared;
};
RunningLauncherRecord RunningLauncher;

// How long a later start waits for a launcher that is still opening its window, and for a
// launcher's window to answer, before it opens a window of its own.
const DWORD StartingWaitMilliseconds = 20000;
const DWORD AnswerWaitMilliseconds = 2000;
const DWORD PollMilliseconds = 50;

// "Local\ZindleLauncher-" and 16 hexadecimal digits of a hash of the folder, upper-cased as the
// file system compares names: the same folder however its letters are cased, any length.
const wchar_t NamePrefix[] = L"Local\\ZindleLauncher-";
const int NameLength = sizeof NamePrefix / sizeof NamePrefix[0] - 1 + 16;

bool MakeSharedName(wchar_t name[NameLength + 1]) {
  wchar_t* folder = LauncherFolderW();
  if (!folder) return false;
  DWORD length = lstrlenW(folder);
  CharUpperBuffW(folder, length);
  uint64_t hash = 0xCBF29CE484222325ull;  // FNV-1a over the UTF-16 units
  for (DWORD i = 0; i < length; ++i) {
    hash ^= uint16_t(folder[i]);
    hash *= 0x100000001B3ull;
  }
  HeapFree(RuntimeState.heap, 0, folder);
  int at = 0;
  for (const wchar_t* p = NamePrefix; *p; ++p) name[at++] = *p;
  for (int shift = 60; shift >= 0; shift -= 4) name[at++] = L"0123456789ABCDEF"[(hash >> shift) & 15];
  name[at] = 0;
  return true;
}

bool ProcessRuns(DWORD processId) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  if (!process) return false;
  bool runs = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return runs;
}

// The other launcher's window once it is shown and answers; 0 when that launcher has ended,
// crashed, or does not show an answering window in time.
HWND AnsweringWindow(const SharedLauncherRecord* shared) {
  for (DWORD waited = 0;; waited += PollMilliseconds) {
    LONG stage = shared->stage;
    DWORD processId = DWORD(shared->processId);
    if (stage == StageEnded) return nullptr;
    if (stage == StageShown) {
      HWND window = reinterpret_cast<HWND>(static_cast<intptr_t>(shared->window));
      DWORD owner = 0;
      if (!IsWindow(window) || !GetWindowThreadProcessId(window, &owner) || owner != processId) return nullptr;
      DWORD_PTR answer;
      return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, AnswerWaitMilliseconds,
                                 &answer)
                 ? window
                 : nullptr;
    }
    // Still starting: the record is just made, or its launcher has not opened its window yet.
    if (stage == StageStarting && !ProcessRuns(processId)) return nullptr;
    if (waited >= StartingWaitMilliseconds) return nullptr;
    Sleep(PollMilliseconds);
  }
}

void BringToFront(HWND window) {
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  // A box the launcher shows (its DirectX message) is what the player must answer first.
  HWND front = GetLastActivePopup(window);
  SetForegroundWindow(front ? front : window);
}

}  // namespace

bool HandOverToRunningLauncher() {
  wchar_t name[NameLength + 1];
  if (!MakeSharedName(name)) return false;
  // Without the shared record (an old system, no memory) the launcher runs as if alone.
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SharedLauncherRecord),
                                      name);
  if (!mapping) return false;
  bool found = GetLastError() == ERROR_ALREADY_EXISTS;
  auto* shared = static_cast<SharedLauncherRecord*>(
      MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(SharedLauncherRecord)));
  if (!shared) {
    CloseHandle(mapping);
    return false;
  }
  if (found) {
    if (HWND window = AnsweringWindow(shared)) {
      BringToFront(window);
      UnmapViewOfFile(shared);
      CloseHandle(mapping);
      return true;
    }
  }
  RunningLauncher.mapping = mapping;
  RunningLauncher.shared = shared;
  InterlockedExchange(&shared->window, 0);
  InterlockedExchange(&shared->processId, LONG(GetCurrentProcessId()));
  InterlockedExchange(&shared->stage, StageStarting);
  return false;
}

void NoteLauncherWindow(HWND window) {
  SharedLauncherRecord* shared = RunningLauncher.shared;
  if (!shared) return;
  InterlockedExchange(&shared->window, LONG(reinterpret_cast<intptr_t>(window)));
  InterlockedExchange(&shared->stage, StageShown);
}

void NoteLauncherEnding() {
  if (RunningLauncher.shared) InterlockedExchange(&RunningLauncher.shared->stage, StageEnded);
}
