#include "box_watch.h"

namespace {

// The identifier the platform's message box gives its text control.
const int MessageBoxTextControl = 0xFFFF;

// A visible message box of this process with the caption, or 0.
HWND FindBox(const char* caption) {
  HWND box = FindWindowA("#32770", caption);
  DWORD process = 0;
  if (box) GetWindowThreadProcessId(box, &process);
  return box && process == GetCurrentProcessId() && IsWindowVisible(box) ? box : nullptr;
}

DWORD WINAPI WatchForBox(void* parameter) {
  BoxWatch* watch = static_cast<BoxWatch*>(parameter);
  for (int look = 0; look < 400 && !watch->box; ++look) {
    watch->box = FindBox(watch->caption);
    if (!watch->box) Sleep(50);
  }
  if (!watch->box) return 0;
  watch->owner = GetWindow(watch->box, GW_OWNER);
  GetWindowTextA(watch->box, watch->title, sizeof watch->title);
  GetWindowTextA(GetDlgItem(watch->box, MessageBoxTextControl), watch->text, sizeof watch->text);
  if (watch->whileShown) watch->whileShown(watch, watch->context);
  PostMessageA(watch->box, WM_COMMAND, watch->answer, 0);
  return 0;
}

}  // namespace

void StartBoxWatch(BoxWatch* watch) {
  watch->box = nullptr;
  watch->owner = nullptr;
  watch->text[0] = 0;
  watch->title[0] = 0;
  watch->thread = CreateThread(nullptr, 0, WatchForBox, watch, 0, nullptr);
}

bool FinishBoxWatch(BoxWatch* watch) {
  if (!watch->thread) return false;
  WaitForSingleObject(watch->thread, INFINITE);
  CloseHandle(watch->thread);
  watch->thread = nullptr;
  return watch->box != nullptr;
}
