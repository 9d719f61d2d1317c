// The display scale of runtime windows. Each window carries its DPI (96 = 100 %): read when it
// opens and taken anew when the platform moves it to a monitor of another scale (WM_DPICHANGED).
// The skin engine, the gadgets and the launcher scale through these, never on their own.
#pragma once
#include <windows.h>

#include "runtime/numbers.h"

const long BaseDpi = 96;
const UINT DpiChangedMessage = 0x02E0;  // WM_DPICHANGED, for headers that predate it

// The window's DPI; BaseDpi when the number has no window.
long WindowDpi(ObjectNumber window);
// A length in the window's 100 % layout at the window's scale: length * dpi / 96, rounded half
// away from zero.
long ScaledForWindow(ObjectNumber window, long length);
// A length drawn for fromDpi at toDpi, rounded the same way.
long ScaledLength(long length, long toDpi, long fromDpi);
// The DPI of the monitor a window is on, as the platform reports it to this process: per window
// where the system knows that (Windows 10 1607 on), else the screen's; BaseDpi when neither tells.
long DpiOfHandle(HWND handle);
// The DPI the window with this handle carries; for a window that is no runtime window, the
// platform's (DpiOfHandle).
long CarriedDpiOfHandle(HWND handle);
// Records the window's new DPI; the window procedure calls it for WM_DPICHANGED before anything
// else sees the message.
void NoteWindowDpi(HWND handle, long dpi);
// Declares the process aware of per-monitor scale, as far as the system allows, before any window
// opens: nothing when the process is aware already (the manifest decided); else the first of
// per-monitor v2, per-monitor, per-monitor (Windows 8.1) and system-aware (Vista) that the system
// takes. Every call is looked up at run time, so the program still loads on XP.
void DeclareDpiAwareness();
