#include "launcher/message_requester.h"

ObjectRecordHeader* DisabledWindowList;

namespace {

// The list is process-wide and each record names its thread, so requesters on several threads
// may add and drop records at the same time: every link change happens under this flag. It is
// never held while a window is enabled or disabled, since that sends the window messages.
volatile LONG DisabledWindowListBusy;

void TakeDisabledWindowList() {
  while (InterlockedExchange(&DisabledWindowListBusy, 1)) Sleep(0);
}

void LeaveDisabledWindowList() { InterlockedExchange(&DisabledWindowListBusy, 0); }

// The number of the latest ShowModalMessage call; each call marks its records with its own.
volatile LONG LastLockCall;

// A lockCall no record of LockThreadWindows carries: never 0, also once the count wraps.
LONG NextLockCall() {
  LONG call;
  do call = InterlockedIncrement(&LastLockCall);
  while (call == 0);
  return call;
}

// Unlinks and frees the newest record of the thread and returns its window; 0 when there is none
// left. A lockCall other than 0 takes only that call's records; 0 takes any of the thread's.
HWND DropNewestRecordOf(DWORD thread, LONG lockCall) {
  HWND window = nullptr;
  TakeDisabledWindowList();
  for (void* p = FirstObjectRecord(DisabledWindowList); p; p = NextObjectRecord(p)) {
    DisabledWindowRecord* record = static_cast<DisabledWindowRecord*>(p);
    if (record->thread != thread || (lockCall && record->lockCall != lockCall)) continue;
    window = record->window;
    ReleaseObjectRecord(&DisabledWindowList, record);
    break;
  }
  LeaveDisabledWindowList();
  return window;
}

}  // namespace

int32_t ShowModalMessage(const char* caption, const char* text, UINT style) {
  // The call's own number marks what it disables, so that it enables exactly those windows
  // again, even when another requester of this thread is still up around it.
  LONG call = NextLockCall();
  EnumWindows(LockOneWindow, call);
  // Taken after the lock: the foreground window is never disabled, so the owner is enabled.
  HWND owner = RequesterOwner();
  int32_t answer = MessageBoxA(owner, text, caption, style);
  DWORD thread = GetCurrentThreadId();
  while (HWND window = DropNewestRecordOf(thread, call)) EnableWindow(window, TRUE);
  return answer;
}

int32_t ShowModalMessage(const char* caption, const char* text) {
  return ShowModalMessage(caption, text, 0);
}

void LockThreadWindows(int32_t lock) {
  if (lock) {
    EnumWindows(LockOneWindow, 0);
    return;
  }
  DWORD thread = GetCurrentThreadId();
  while (HWND window = DropNewestRecordOf(thread, 0)) EnableWindow(window, TRUE);
}

BOOL CALLBACK LockOneWindow(HWND window, LPARAM lockCall) {
  DWORD thread = GetCurrentThreadId();
  if (GetWindowThreadProcessId(window, nullptr) != thread) return TRUE;
  if (!IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
  if (window == GetForegroundWindow()) return TRUE;
  // The record comes first: a window that cannot be recorded is never disabled, because no
  // one would enable it again.
  TakeDisabledWindowList();
  DisabledWindowRecord* record = static_cast<DisabledWindowRecord*>(AllocateObjectRecord(
      &DisabledWindowList, sizeof(ObjectRecordHeader) + sizeof(DisabledWindowRecord)));
  if (record) {
    record->thread = thread;
    record->window = window;
    record->lockCall = static_cast<LONG>(lockCall);
  }
  LeaveDisabledWindowList();
  if (record) EnableWindow(window, FALSE);
  return TRUE;
}

HWND RequesterOwner() {
  HWND window = GetForegroundWindow();
  if (!window) return nullptr;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process == GetCurrentProcessId() ? window : nullptr;
}
