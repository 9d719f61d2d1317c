// The event loop and the window procedure shared by every runtime window.
#pragma once
#include <windows.h>

#include "runtime/numbers.h"

// Event codes returned by AwaitEvent. Any other value is a raw platform message number.
const long EventWindowMoved = 3;
const long EventWindowSized = 5;
const long EventCloseRequest = 16;
const long EventLeftButtonDown = 513;  // raw WM_LBUTTONDOWN
const long EventItemAction = 13100;
const long EventCommand = 13101;
const long EventItemMouse = 13102;

// Event details.
const long DetailNone = -1;
const long DetailLeftClick = 0;
const long DetailRightClick = 1;
const long DetailLeftDoubleClick = 2;
const long DetailRightDoubleClick = 3;
const long DetailFocusGained = 14000;
const long DetailFocusLost = 14001;

// Private window messages.
const UINT ItemMouseRelayMessage = 12501;  // re-posted to the same window as ItemMouseMessage
const UINT ItemMouseMessage = 12502;       // wParam: item number, lParam: a mouse message number
const UINT GadgetNoticeMessage = 13103;    // wParam: gadget identifier, lParam: detail

// Identifier of a command-bar control: its WM_COMMAND reaches the caller as EventCommand.
const long CommandBarIdentifier = -10000;
// Shortcut commands run by the focus stage, without an event.
const WORD FocusNextCommand = 1212;
const WORD FocusPreviousCommand = 1213;

// A WindowHook answers a message before the runtime does, or returns HookPassOn.
typedef LRESULT(CALLBACK* WindowHook)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
const LRESULT HookPassOn = (LRESULT)0xE0E0E0E1;
// Result by which the procedure's core and the sizing filter hand a message to DefWindowProcA.
const LRESULT DefaultProcessing = (LRESULT)0xD0D0D0D1;

struct EventStateRecord {
  long code;           // set by the window procedure; 0 = none; cleared when AwaitEvent returns
  long detail;         // DetailNone at the start of each wait that finds no code pending
  HWND sourceWindow;   // window of the last message through the procedure (or its ancestor)
  ObjectNumber item;   // gadget, command or item number of the last event; never cleared
  UINT message;        // last message through the procedure
  WPARAM wParam;       // its parameters; those of the retrieved message for a raw event
  LPARAM lParam;
  MSG retrieved;       // last message retrieved by AwaitEvent
  HWND activeWindow;   // active window at the last retrieval
  WindowHook hook;     // 0: none installed
  char classScratch[50];
};

extern EventStateRecord EventState;

// Waits for the next message, translates and dispatches it, and returns the event code.
long AwaitEvent();
// Number of the window in EventState.sourceWindow, or -1 when it is not a runtime window.
ObjectNumber EventSourceWindow();
ObjectNumber EventSourceItem();
long EventDetail();
WPARAM EventWParam();
LPARAM EventLParam();
// Installs the process-wide hook; 0 removes it.
void InstallWindowHook(WindowHook hook);
// The window procedure of every runtime window class.
LRESULT CALLBACK SharedWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
