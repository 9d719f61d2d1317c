// Picture gadgets: static controls that paint a bitmap or an icon, size themselves to it and
// report double clicks and right clicks beyond the platform's own click notification.
#pragma once
#include <windows.h>

#include "runtime/numbers.h"

const DWORD PictureGadgetStyle = 0x50000100;  // child, visible; SS_NOTIFY

// Creates a picture gadget showing image (a bitmap or an icon, or 0) with the given extended
// style; the control takes the picture's size (4 more both ways with WS_EX_CLIENTEDGE). Returns
// the control, the new number under AnyNumber, or 0 on failure. The image stays the caller's.
ObjectNumber CreatePictureGadget(ObjectNumber number, long x, long y, long width, long height,
                                 HANDLE image, DWORD extendedStyle = 0);
// The picture kind's ApplyState: SendMessageA(control, STM_SETIMAGE, 0, image).
LRESULT SetPictureImage(HWND control, LPARAM image);
LRESULT CALLBACK PictureGadgetProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam);

struct PictureGadgetStateRecord {
  WNDPROC keptProcedure;  // the STATIC class procedure that PictureGadgetProcedure replaced
  bool rightButtonFlag;   // set by a right double click, cleared by the next right release
};
extern PictureGadgetStateRecord PictureGadgetState;
