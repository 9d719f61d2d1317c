// The message requester: a modal platform message box during which none of the calling thread's
// other visible windows can be used.
#pragma once
#include <windows.h>

#include <cstdint>

#include "runtime/heaps.h"

// One window the requester disabled, and the thread that disabled it.
struct DisabledWindowRecord {
  DWORD thread;
  HWND window;
  LONG lockCall;  // the ShowModalMessage call that disabled it; 0 for LockThreadWindows
};

// Every window a requester has disabled and not yet enabled again: an ObjectList on the
// ObjectHeap, newest first. Empty between two requesters.
extern ObjectRecordHeader* DisabledWindowList;

// Disables the calling thread's other visible, enabled top-level windows, shows a message box
// owned by the foreground window (when it belongs to this process), enables exactly those
// windows again and returns the box's answer (MessageBoxA's result; 0 when it failed to show).
// A requester shown on the same thread while the box is up (from a timer, a hook) enables only
// the windows it disabled itself.
int32_t ShowModalMessage(const char* caption, const char* text, UINT style);
// The same with style 0: one OK button, no icon.
int32_t ShowModalMessage(const char* caption, const char* text);

// lock != 0: disables and records the calling thread's visible, enabled top-level windows, but
// not the foreground window. lock == 0: enables the windows this thread recorded and drops
// their records; other threads' records stay.
void LockThreadWindows(int32_t lock);

// The per-window test of LockThreadWindows' enumeration; data is the lockCall recorded with each
// window it disables. Always TRUE.
BOOL CALLBACK LockOneWindow(HWND window, LPARAM data);

// The foreground window if it belongs to this process, else 0.
HWND RequesterOwner();
