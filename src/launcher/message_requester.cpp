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

// Unlinks and frees the newest record of the thread and returns its window; 0 when the thread
// has none left.
HWND DropNewestRecordOf(DWORD thread) {
  HWND window = nullptr;
  TakeDisabledWindowList();
  for (void* p = FirstObjectRecord(DisabledWindowList); p; p = NextObjectRecord(p)) {
    DisabledWindowRecord* record = static_cast<DisabledWindowRecord*>(p);
    if (record->thread != thread) continue;
    window = record->window;
    ReleaseObjectRecord(&DisabledWindowList, record);
    break;
  }
  LeaveDisabledWindowList();
  return window;
}

}  // namespace

int32_t ShowModalMessage(const char* caption, const char* text, UINT style) {
  LockThreadWindows(1);
  // Taken after the lock: the foreground window is never disabled, so the owner is enabled.
  HWND owner = RequesterOwner();
  int32_t answer = MessageBoxA(owner, text, caption, style);
  LockThreadWindows(0);
  return answer;
}

int32_t ShowModalMessage(const char* caption, const char* text) {
  return ShowModalMessage(caption, text, 0);
}

void LockThreadWindows(int32_t lock) {
  if (lock) {
    EnumWindows(LockOneWindow, lock);
    return;
  }
  DWORD thread = GetCurrentThreadId();
  while (HWND window = DropNewestRecordOf(thread)) EnableWindow(window, TRUE);
}

BOOL CALLBACK LockOneWindow(HWND window, LPARAM) {
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
