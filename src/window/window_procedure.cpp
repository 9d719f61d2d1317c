// SharedWindowProcedure: turns the platform's notifications to runtime windows into event codes.
// The switch only routes; each handler sets the EventState and gives the message's answer.
#include <windows.h>

#include <commctrl.h>
#include <string.h>

#include "window/events.h"
#include "window/window_scale.h"
#include "window/window_stages.h"
#include "window/window_table.h"

namespace {

// Notification codes, spelled out so that the meaning does not depend on the SDK's version.
const int NotifyClick = -2;               // NM_CLICK
const int NotifyDoubleClick = -3;         // NM_DBLCLK
const int NotifyRightClick = -5;          // NM_RCLICK
const int NotifyRightDoubleClick = -6;    // NM_RDBLCLK
const int ListItemChanged = -101;         // LVN_ITEMCHANGED
const int ListItemActivate = -114;        // LVN_ITEMACTIVATE
const int TreeSelectionChanged = -402;    // TVN_SELCHANGEDA
const int UpDownDeltaPosition = -722;     // UDN_DELTAPOS
const int MonthSelectionChanged = -749;   // MCN_SELCHANGE
const int DateTimeChanged = -759;         // DTN_DATETIMECHANGE

// Reads a window's class name into the scratch buffer; an unreadable name counts as empty.
void ReadClassName(HWND window) {
  EventState.classScratch[0] = 0;
  GetClassNameA(window, EventState.classScratch, sizeof(EventState.classScratch));
}

bool ClassBeginsWith(const char* prefix) {
  return strncmp(EventState.classScratch, prefix, strlen(prefix)) == 0;
}

// Reports a child window's item event for the top-level window that holds it.
void SourceToAncestor() { EventState.sourceWindow = TopLevelAncestor(EventState.sourceWindow); }

void RaiseItemAction(ObjectNumber item) {
  EventState.code = EventItemAction;
  EventState.item = item;
}

// Click kind of a tree-view or list-view notification, or DetailNone when it is no click.
long ClickDetailOf(int notification) {
  switch (notification) {
    case NotifyClick: return DetailLeftClick;
    case NotifyDoubleClick: return DetailLeftDoubleClick;
    case NotifyRightClick: return DetailRightClick;
    case NotifyRightDoubleClick: return DetailRightDoubleClick;
    case ListItemActivate: return DetailLeftDoubleClick;
    default: return DetailNone;
  }
}

LRESULT OnGadgetNotice(WPARAM wParam, LPARAM lParam) {
  RaiseItemAction(static_cast<ObjectNumber>(wParam));
  EventState.detail = (long)lParam;
  return 0;
}

LRESULT OnNotify(const NMHDR* header) {
  if (!header) return 0;  // a notification without its record carries nothing to read
  ReadClassName(header->hwndFrom);
  ObjectNumber item = static_cast<ObjectNumber>(header->idFrom);
  int notification = (int)header->code;
  if (ClassBeginsWith("SysT") || ClassBeginsWith("SysL")) {
    // Only notifications that are clicks or selection changes raise an event; a detail left by
    // an earlier event of the same dispatch does not turn other notifications into events.
    long detail = ClickDetailOf(notification);
    if (detail != DetailNone) EventState.detail = detail;
    if (detail != DetailNone || notification == TreeSelectionChanged ||
        notification == ListItemChanged) {
      RaiseItemAction(item);
      SourceToAncestor();
      return 0;
    }
  }
  if ((ClassBeginsWith("SysD") && notification == DateTimeChanged) ||
      (ClassBeginsWith("SysM") && notification == MonthSelectionChanged)) {
    RaiseItemAction(item);
    SourceToAncestor();
    return 0;
  }
  if (notification == UpDownDeltaPosition) {
    RaiseItemAction(item);
    EventState.detail = reinterpret_cast<const NMUPDOWN*>(header)->iDelta;
    SourceToAncestor();
  }
  return 0;
}

LRESULT OnScroll(HWND control) {
  RaiseItemAction(control ? GetWindowLongPtrA(control, GWLP_ID) : 0);
  SourceToAncestor();
  return 0;
}

// WM_COMMAND from a control: the item is the control's whole identifier (GWLP_ID, pointer-sized),
// not the low word that wParam carries.
LRESULT OnControlCommand(WPARAM wParam, HWND control) {
  ObjectNumber identifier = GetWindowLongPtrA(control, GWLP_ID);
  EventState.detail = HIWORD(wParam);
  RaiseItemAction(identifier);
  if (identifier == CommandBarIdentifier) {
    EventState.code = EventCommand;
    EventState.item = LOWORD(wParam);
  }
  ReadClassName(control);
  if (ClassBeginsWith("List")) {
    // List boxes: selection change is a click, double click stays; anything else is no event.
    if (EventState.detail == LBN_SELCHANGE) {
      EventState.detail = DetailLeftClick;
    } else if (EventState.detail != LBN_DBLCLK) {
      EventState.code = 0;
    }
  }
  return 0;
}

// WM_COMMAND from a menu (high word 0) or a shortcut (high word 1).
LRESULT OnMenuOrShortcut(WPARAM wParam) {
  if (HIWORD(wParam) == 0) {
    EventState.code = EventCommand;
    EventState.item = static_cast<ObjectNumber>(wParam);
    return 0;
  }
  WORD command = LOWORD(wParam);
  if (command == FocusNextCommand) {
    if (WindowStages.focusNext) WindowStages.focusNext();
  } else if (command == FocusPreviousCommand) {
    if (WindowStages.focusPrevious) WindowStages.focusPrevious();
  } else {
    EventState.code = EventCommand;
    EventState.item = command;
  }
  return 0;
}

LRESULT OnItemMouse(WPARAM wParam, LPARAM lParam) {
  EventState.code = 0;
  EventState.item = static_cast<ObjectNumber>(wParam);
  long detail;
  switch (lParam) {
    case WM_LBUTTONUP: detail = DetailLeftClick; break;
    case WM_RBUTTONUP: detail = DetailRightClick; break;
    case WM_LBUTTONDBLCLK: detail = DetailLeftDoubleClick; break;
    case WM_RBUTTONDBLCLK: detail = DetailRightDoubleClick; break;
    default: return 0;  // moves and other messages raise no event
  }
  EventState.code = EventItemMouse;
  EventState.detail = detail;
  return 0;
}

LRESULT OnItemMouseRelay(HWND window, WPARAM wParam, LPARAM lParam) {
  PostMessageA(window, ItemMouseMessage, wParam, lParam);
  return 0;
}

// A move to a monitor of another scale: the window now carries the new DPI (noted before the hook
// saw the message). A program that lays itself out again answers the message in its hook; left
// to the library, the window takes the rectangle the platform suggests, which keeps it under the
// pointer.
LRESULT OnScaleChanged(HWND window, LPARAM lParam) {
  const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
  if (suggested)
    SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  return 0;
}

// Move, size and close become events; closing is the caller's decision.
LRESULT OnWindowEvent(UINT message) {
  EventState.code = (long)message;
  return 0;
}

LRESULT ProcedureCore(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  EventState.sourceWindow = window;
  EventState.message = message;
  EventState.wParam = wParam;
  EventState.lParam = lParam;

  if (message == DpiChangedMessage) NoteWindowDpi(window, LOWORD(wParam));

  bool sizingHandled = WindowStages.liveSizingFilter &&
                       WindowStages.liveSizingFilter(window, message, wParam, lParam) == 0;
  if (EventState.hook) {
    LRESULT answer = EventState.hook(window, message, wParam, lParam);
    if (answer != HookPassOn) return answer;
  }

  switch (message) {
    case GadgetNoticeMessage: return OnGadgetNotice(wParam, lParam);
    case WM_NOTIFY: return OnNotify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_HSCROLL:
    case WM_VSCROLL: return OnScroll(reinterpret_cast<HWND>(lParam));
    case WM_COMMAND:
      if (lParam) return OnControlCommand(wParam, reinterpret_cast<HWND>(lParam));
      return OnMenuOrShortcut(wParam);
    case ItemMouseMessage: return OnItemMouse(wParam, lParam);
    case ItemMouseRelayMessage: return OnItemMouseRelay(window, wParam, lParam);
    case DpiChangedMessage: return OnScaleChanged(window, lParam);
    case WM_MOVE:
    case WM_CLOSE:
    case WM_SIZE: return OnWindowEvent(message);
    default: return sizingHandled ? 0 : DefaultProcessing;
  }
}

}  // namespace

LRESULT CALLBACK SharedWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = ProcedureCore(window, message, wParam, lParam);
  if (result == DefaultProcessing) return DefWindowProcA(window, message, wParam, lParam);
  return result;
}
