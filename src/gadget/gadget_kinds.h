// The gadget kinds made through the creation core: push button, text labels, edit field.
// Each returns the control, the new number under AnyNumber, or 0 on failure.
#pragma once
#include <windows.h>

#include "runtime/numbers.h"

// Flag of CreateTextLabelWithFlags that gives the label a sunken edge (WS_EX_CLIENTEDGE).
const DWORD SunkenBorderFlag = 0x20000;

// Window styles of the kinds.
const DWORD PushButtonStyle = 0x50030000;   // child, visible, group, tab stop; BS_PUSHBUTTON
const DWORD TextLabelStyle = 0x50020000;    // child, visible, group; SS_LEFT
const DWORD EditFieldStyle = 0x50030080;    // child, visible, group, tab stop; ES_AUTOHSCROLL

ObjectNumber CreatePushButton(ObjectNumber number, long x, long y, long width, long height,
                              const char* caption);
ObjectNumber CreateTextLabel(ObjectNumber number, long x, long y, long width, long height,
                             const char* caption);
// flags go into the window style unchanged (1 = SS_CENTER, 2 = SS_RIGHT, 0x100 = SS_NOTIFY).
ObjectNumber CreateTextLabelWithFlags(ObjectNumber number, long x, long y, long width, long height,
                                      const char* caption, DWORD flags);
// A one-line edit field with a sunken edge that posts DetailFocusGained / DetailFocusLost
// notices to its top-level window.
ObjectNumber CreateEditField(ObjectNumber number, long x, long y, long width, long height,
                             const char* text);
// Posts the focus notices of an edit field, then hands every message to the procedure it replaced.
LRESULT CALLBACK EditFocusProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
