#include "window_fixture.h"

#include <commctrl.h>

#include "support/runtime_setup.h"

HookLogRecord HookLog;
WindowStageHooks BuiltStages;

void SendMouse(DWORD flags) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  SendInput(1, &input, sizeof(input));
}

void SendKey(WORD key, bool up) {
  INPUT input = {};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof(input));
}

void WindowTest::SetUp() {
  InitWindowLibrary();
  ZeroMemory(&EventState, sizeof(EventState));
  WindowStages = WindowStageHooks();
  HookLog.count = 0;
  Drain();
  guardTimer_ = SetTimer(nullptr, 0, 3000, nullptr);
}

void WindowTest::TearDown() {
  KillTimer(nullptr, guardTimer_);
  InstallWindowHook(nullptr);
  WindowStages = WindowStageHooks();
  DestroyAllWindows();
  Drain();
  HeapFree(RuntimeState.heap, 0, WindowTable.records);
}

void WindowTest::Drain() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_TIMER && !message.hwnd) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  EventState.code = 0;
}

long WindowTest::AwaitAfterMarker(HWND window) {
  PostMessageA(window, MarkerMessage, 0, 0);
  return AwaitEvent();
}

long WindowTest::AwaitEventIgnoring(std::initializer_list<long> ignored) {
  long event = 0;
  for (int wait = 0; wait < 50; ++wait) {
    event = AwaitEvent();
    bool skip = false;
    for (long raw : ignored) skip = skip || raw == event;
    if (!skip) return event;
  }
  return event;
}

HWND WindowTest::OpenWindow(ObjectNumber number, DWORD flags, long width, long height) {
  ObjectNumber result = CreateNumberedWindow(number, 100, 120, width, height, flags, "test");
  HWND handle = number == AnyNumber ? WindowHandleOf(result) : reinterpret_cast<HWND>(result);
  Drain();
  return handle;
}

LRESULT CALLBACK LoggingHook(HWND window, UINT message, WPARAM wParam, LPARAM) {
  if (HookLog.count < 512) HookLog.entries[HookLog.count++] = {window, message, wParam};
  return HookPassOn;
}

int FindHookEntry(HWND window, UINT message, int from) {
  for (int i = from; i < HookLog.count; ++i) {
    if (HookLog.entries[i].window == window && HookLog.entries[i].message == message) return i;
  }
  return -1;
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  BuiltStages = WindowStages;
  StartRuntimeForTests();
  InitCommonControls();
  return RUN_ALL_TESTS();
}
