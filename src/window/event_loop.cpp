// AwaitEvent and the accessors of the EventState.
#include "window/events.h"
#include "window/window_stages.h"
#include "window/window_table.h"

EventStateRecord EventState;

long AwaitEvent() {
  // A code raised outside a wait is returned by this one together with the detail it came with.
  if (EventState.code == 0) EventState.detail = DetailNone;
  // A quit message or a failure comes back like any other message; the caller sees its number.
  GetMessageA(&EventState.retrieved, nullptr, 0, 0);
  EventState.activeWindow = GetActiveWindow();

  HACCEL table = WindowStages.shortcutTableFor
                     ? WindowStages.shortcutTableFor(EventState.activeWindow)
                     : nullptr;
  if (!table || !TranslateAcceleratorA(EventState.activeWindow, table, &EventState.retrieved)) {
    TranslateMessage(&EventState.retrieved);
    DispatchMessageA(&EventState.retrieved);
  }

  long result = EventState.code;
  if (result == 0) {
    result = (long)EventState.retrieved.message;
    EventState.wParam = EventState.retrieved.wParam;
    EventState.lParam = EventState.retrieved.lParam;
  }
  EventState.code = 0;
  return result;
}

ObjectNumber EventSourceWindow() { return NumberOfHandle(EventState.sourceWindow); }

ObjectNumber EventSourceItem() { return EventState.item; }

long EventDetail() { return EventState.detail; }

WPARAM EventWParam() { return EventState.wParam; }

LPARAM EventLParam() { return EventState.lParam; }

void InstallWindowHook(WindowHook hook) { EventState.hook = hook; }
