// Shared fixture of the gadget tests: a fresh gadget table and window 1 (the gadgets' parent) per
// test, an empty message queue, and helpers for real mouse input and for the events it brings.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "gadget/gadget_common.h"
#include "gadget/gadget_create.h"
#include "gadget/gadget_kinds.h"
#include "gadget/gadget_table.h"
#include "gadget/picture_gadget.h"
#include "runtime/runtime_state.h"
#include "runtime/strings.h"
#include "window/events.h"
#include "window/window_table.h"

// One event as AwaitEvent returned it.
struct SeenEvent {
  long code;
  ObjectNumber item;
  long detail;
  ObjectNumber window;  // EventSourceWindow at that moment
};

class GadgetTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Dispatches what is queued without going through AwaitEvent; clears the event code.
  static void Drain();
  // Runs AwaitEvent for span milliseconds, collecting every event it returns.
  static std::vector<SeenEvent> CollectEvents(UINT span = 400);
  // The item events (13100) among events.
  static std::vector<SeenEvent> ItemActions(const std::vector<SeenEvent>& events);
  // Real mouse input at a point of a window's client area (SetCursorPos, then SendInput).
  static void ClickAt(HWND window, int x, int y, DWORD downFlag, DWORD upFlag, int clicks = 1);
  static void LeftClick(HWND window, int x, int y, int clicks = 1) {
    ClickAt(window, x, y, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, clicks);
  }
  static void RightClick(HWND window, int x, int y, int clicks = 1) {
    ClickAt(window, x, y, MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, clicks);
  }
  // Number of direct children of window 1 whose identifier is id.
  int ChildrenWithIdentifier(ObjectNumber id) const;
  // Width and height of a control from GetWindowRect.
  static SIZE SizeOf(HWND control);
  // The colour at a point of a control, read from the top-level window's surface.
  static COLORREF PixelOf(HWND control, int x, int y);

  HWND main_ = nullptr;  // window 1, bound as the gadgets' parent
};

// A bitmap of width x height whose four quadrants have the given colours.
HBITMAP MakeQuadrantBitmap(int width, int height, COLORREF topLeft, COLORREF topRight,
                           COLORREF bottomLeft, COLORREF bottomRight);
// A 32 x 32 colour icon: the left half opaque in colour, the right half transparent.
HICON MakeHalfIcon(COLORREF colour);
