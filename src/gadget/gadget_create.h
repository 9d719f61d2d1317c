// The creation core shared by the gadget kinds, the procedure every such control runs, and how
// gadgets report to their window.
#pragma once
#include <windows.h>

#include "gadget/gadget_table.h"
#include "window/window_table.h"

// The creation core of every kind: prepares the record for number, creates a control of the
// given class as a child of GadgetParent with its number as child identifier, and records the
// control and its kind. Returns the record, or 0 when the number is refused or the control cannot
// be created (an AnyNumber record is then freed again). The caller puts on its procedure.
GadgetRecord* CreateBareGadget(ObjectNumber number, const char* className, DWORD style,
                               DWORD extendedStyle, const GadgetKindTable* kind, long x, long y,
                               long width, long height, const char* caption);
// What a creation under number returns for the gadget of record: the control, or the new number
// (the record's address) under AnyNumber.
ObjectNumber GadgetCreationResult(ObjectNumber number, const GadgetRecord* record);
// CreateBareGadget, then puts GadgetProcedure on the control and gives it the GadgetFont.
// Returns GadgetCreationResult, or 0 on failure.
ObjectNumber CreateGadgetControl(ObjectNumber number, const char* className, DWORD style,
                                 DWORD extendedStyle, const GadgetKindTable* kind, long x, long y,
                                 long width, long height, const char* caption);
// Passes every message on to the control's previous procedure, and frees the gadget's number
// when the control receives WM_NCDESTROY.
LRESULT CALLBACK GadgetProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
// Sends GadgetNoticeMessage with the control's identifier and detail to its top-level window,
// which turns it into an item event before the call returns.
void SendGadgetNotice(HWND control, long detail);
