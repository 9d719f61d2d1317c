// Shared fixture of the window tests: a fresh window table per test, no hook, no stages, an
// empty message queue, and a guard timer so that a wait that finds nothing ends within seconds
// (it then returns WM_TIMER and the test fails instead of hanging).
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include "runtime/runtime_state.h"
#include "window/events.h"
#include "window/window_stages.h"
#include "window/window_table.h"

// A message no part of the runtime gives a meaning to; posted to end a wait with a known number.
const UINT MarkerMessage = WM_APP + 17;

// The stages the window library is built with, as they were before any test ran. The fixture
// starts each test without stages; tests of the stages plug these in.
extern WindowStageHooks BuiltStages;

// Real input through SendInput: one mouse event at the pointer, one key going down or up.
void SendMouse(DWORD flags);
void SendKey(WORD key, bool up);

class WindowTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Dispatches every pending message (without AwaitEvent) and clears the event code.
  static void Drain();
  // Posts the marker to the window and waits: the result is a code set before the wait, or the
  // marker's own number when none was set.
  static long AwaitAfterMarker(HWND window);
  // Waits until an event other than the given raw messages arrives (at most 50 waits).
  static long AwaitEventIgnoring(std::initializer_list<long> ignored);
  // Opens a visible captioned window under number with its client area at client (screen).
  static HWND OpenWindow(ObjectNumber number, DWORD flags = WS_OVERLAPPEDWINDOW,
                         long width = 300, long height = 200);

 private:
  UINT_PTR guardTimer_ = 0;
};

// Hook that writes each message it sees (window, message, wParam) into a small log.
struct HookEntry {
  HWND window;
  UINT message;
  WPARAM wParam;
};
struct HookLogRecord {
  HookEntry entries[512];
  int count;
};
extern HookLogRecord HookLog;
LRESULT CALLBACK LoggingHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Index of the first entry for (window, message) at or after from, or -1.
int FindHookEntry(HWND window, UINT message, int from = 0);
