// The event loop and the shared window procedure, driven by posted and sent messages: every row
// of the event tables, the hook, the stage seam and the delivery of codes set outside a wait.
#include "window_fixture.h"

#include <commctrl.h>

#include <cstdint>

namespace {

// An event loop fixture: window 1 is a visible captioned window, window 2 a runtime window
// that is a child of window 1 (to see the ancestor rule).
class EventTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    main_ = OpenWindow(1, WS_OVERLAPPEDWINDOW, 400, 300);
    ASSERT_TRUE(IsWindow(main_));
    inner_ = reinterpret_cast<HWND>(
        CreateNumberedWindow(2, 10, 10, 300, 200, WS_CHILD | WS_VISIBLE, "", main_));
    ASSERT_TRUE(IsWindow(inner_));
    Drain();
  }

  // A child control of the inner window with a full 32-bit identifier.
  HWND Control(const char* className, ObjectNumber identifier, DWORD style = 0) {
    HWND control = CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE | style, 0, 0, 120,
                                   60, inner_, reinterpret_cast<HMENU>(identifier),
                                   RuntimeState.instance, nullptr);
    Drain();
    return control;
  }

  // Sends a message outside a wait, notes what it left in EventState, and returns the code the
  // next wait delivers.
  struct Outcome {
    long code;
    ObjectNumber item;
    long detail;
    ObjectNumber source;
    LRESULT answer;
  };
  Outcome SendThenWait(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    EventState.item = -77;
    EventState.detail = DetailNone;
    Outcome outcome;
    outcome.answer = SendMessageA(window, message, wParam, lParam);
    outcome.item = EventSourceItem();
    outcome.detail = EventDetail();
    outcome.source = EventSourceWindow();
    outcome.code = AwaitAfterMarker(main_);
    return outcome;
  }

  HWND main_ = nullptr;
  HWND inner_ = nullptr;
};

TEST_F(EventTest, RawMessagesReturnTheirNumberAndParameters) {
  PostMessageA(main_, MarkerMessage, 0x1234, 0x56789A);
  EXPECT_EQ(long(MarkerMessage), AwaitEvent());
  EXPECT_EQ(WPARAM(0x1234), EventWParam());
  EXPECT_EQ(LPARAM(0x56789A), EventLParam());
  EXPECT_EQ(DetailNone, EventDetail());
  EXPECT_EQ(1, EventSourceWindow());

  // A thread message reaches no window procedure; a quit message comes back as raw 18.
  PostThreadMessageA(GetCurrentThreadId(), WM_APP + 3, 7, 8);
  EXPECT_EQ(long(WM_APP + 3), AwaitEvent());
  EXPECT_EQ(WPARAM(7), EventWParam());
  PostQuitMessage(0);
  EXPECT_EQ(long(WM_QUIT), AwaitEvent());
}

TEST_F(EventTest, CloseRequestIsAnEventAndTheWindowStaysOpen) {
  PostMessageA(main_, WM_CLOSE, 0, 0);
  EXPECT_EQ(EventCloseRequest, AwaitEvent());
  EXPECT_EQ(1, EventSourceWindow());
  EXPECT_TRUE(IsWindow(main_));
  EXPECT_TRUE(IsWindowVisible(main_));

  // The close command of the window menu goes through DefWindowProcA to WM_CLOSE.
  PostMessageA(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(EventCloseRequest, AwaitEvent());
  EXPECT_TRUE(IsWindow(main_));
  EXPECT_EQ(0, SendMessageA(main_, WM_CLOSE, 0, 0));
}

TEST_F(EventTest, MoveAndSizeBecomeEvents) {
  SetWindowPos(main_, nullptr, 30, 40, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(EventWindowMoved, AwaitAfterMarker(main_));
  EXPECT_EQ(1, EventSourceWindow());
  SelectCurrentWindow(1);
  SetCurrentWindowClientSize(350, 250);
  EXPECT_EQ(EventWindowSized, AwaitAfterMarker(main_));
  // The codes are cleared by the wait that returns them.
  EXPECT_EQ(long(MarkerMessage), AwaitAfterMarker(main_));
}

TEST_F(EventTest, CodeSetOutsideAWaitIsDeliveredByTheNextUnlessItsOwnDispatchSetsAnother) {
  SendMessageA(main_, WM_CLOSE, 0, 0);
  EXPECT_EQ(EventCloseRequest, AwaitAfterMarker(main_));
  // The detail comes with its code: focus gained and lost must stay apart.
  SendMessageA(main_, GadgetNoticeMessage, 6, DetailFocusLost);
  EXPECT_EQ(EventItemAction, AwaitAfterMarker(main_));
  EXPECT_EQ(6, EventSourceItem());
  EXPECT_EQ(DetailFocusLost, EventDetail());
  // A wait that finds no code pending starts from no detail.
  EXPECT_EQ(long(MarkerMessage), AwaitAfterMarker(main_));
  EXPECT_EQ(DetailNone, EventDetail());
  SendMessageA(main_, WM_CLOSE, 0, 0);
  PostMessageA(main_, GadgetNoticeMessage, 4, 0);
  EXPECT_EQ(EventItemAction, AwaitEvent());
  EXPECT_EQ(4, EventSourceItem());
  EXPECT_EQ(long(MarkerMessage), AwaitAfterMarker(main_));
}

TEST_F(EventTest, GadgetNoticeCarriesItemAndDetailFromTheWindowItReached) {
  PostMessageA(main_, GadgetNoticeMessage, 9, DetailFocusGained);
  EXPECT_EQ(EventItemAction, AwaitEvent());
  EXPECT_EQ(9, EventSourceItem());
  EXPECT_EQ(DetailFocusGained, EventDetail());
  EXPECT_EQ(1, EventSourceWindow());
  // As received: the inner window keeps its own number.
  PostMessageA(inner_, GadgetNoticeMessage, 0x00ABCDEF, DetailRightDoubleClick);
  EXPECT_EQ(EventItemAction, AwaitEvent());
  EXPECT_EQ(0x00ABCDEF, EventSourceItem());
  EXPECT_EQ(DetailRightDoubleClick, EventDetail());
  EXPECT_EQ(2, EventSourceWindow());
}

TEST_F(EventTest, NotificationsMapByClassPrefixAndReportTheTopLevelAncestor) {
  HWND tree = Control(WC_TREEVIEWA, 21);
  HWND list = Control(WC_LISTVIEWA, 22);
  HWND date = Control(DATETIMEPICK_CLASSA, 23);
  HWND month = Control(MONTHCAL_CLASSA, 24);
  HWND plain = Control("Static", 25);
  ASSERT_TRUE(tree && list && date && month && plain);
  const long None = 0;  // no event: the wait returns the marker
  struct Case {
    HWND from;
    UINT notification;
    long code;
    long detail;
  } cases[] = {
      {tree, NM_CLICK, EventItemAction, DetailLeftClick},
      {tree, NM_RCLICK, EventItemAction, DetailRightClick},
      {tree, NM_DBLCLK, EventItemAction, DetailLeftDoubleClick},
      {tree, NM_RDBLCLK, EventItemAction, DetailRightDoubleClick},
      {tree, TVN_SELCHANGEDA, EventItemAction, DetailNone},
      {list, NM_CLICK, EventItemAction, DetailLeftClick},
      {list, LVN_ITEMACTIVATE, EventItemAction, DetailLeftDoubleClick},
      {list, LVN_ITEMCHANGED, EventItemAction, DetailNone},
      {list, NM_CUSTOMDRAW, None, DetailNone},
      {date, DTN_DATETIMECHANGE, EventItemAction, DetailNone},
      {date, NM_CLICK, None, DetailNone},
      {month, MCN_SELCHANGE, EventItemAction, DetailNone},
      {month, DTN_DATETIMECHANGE, None, DetailNone},
      {plain, NM_CLICK, None, DetailNone},
      {plain, TVN_SELCHANGEDA, None, DetailNone},
      {nullptr, NM_CLICK, None, DetailNone},  // unreadable class name counts as empty
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "notification " << int(c.notification) << " from "
                                    << GetWindowLongPtrA(c.from, GWLP_ID));
    NMHDR header = {c.from, UINT_PTR(0x00C0FFEE), c.notification};
    Outcome outcome = SendThenWait(inner_, WM_NOTIFY, 0, LPARAM(&header));
    EXPECT_EQ(0, outcome.answer);
    EXPECT_EQ(c.code ? c.code : long(MarkerMessage), outcome.code);
    EXPECT_EQ(c.detail, outcome.detail);
    if (c.code) {
      EXPECT_EQ(0x00C0FFEE, outcome.item);
      EXPECT_EQ(1, outcome.source) << "ancestor of the inner window";
    } else {
      EXPECT_EQ(-77, outcome.item);
      EXPECT_EQ(2, outcome.source);
    }
  }
}

TEST_F(EventTest, NotificationWithoutRecordIsAnsweredWithoutEvent) {
  Outcome outcome = SendThenWait(inner_, WM_NOTIFY, 0, 0);
  EXPECT_EQ(0, outcome.answer);
  EXPECT_EQ(long(MarkerMessage), outcome.code);
}

TEST_F(EventTest, UpDownDeltaFromAnyClassIsTheDetail) {
  HWND plain = Control("Static", 26);
  for (int delta : {1, -1, 5}) {
    NMUPDOWN change = {{plain, 26, UINT(UDN_DELTAPOS)}, 10, delta};
    Outcome outcome = SendThenWait(inner_, WM_NOTIFY, 0, LPARAM(&change));
    EXPECT_EQ(EventItemAction, outcome.code);
    EXPECT_EQ(26, outcome.item);
    EXPECT_EQ(delta, outcome.detail);
    EXPECT_EQ(1, outcome.source);
  }
}

// What broke: a click kind left in the detail by an earlier event of the same dispatch turned
// every later tree or list notification (custom draw, ...) into an action of that control.
TEST_F(EventTest, EarlierDetailDoesNotTurnOtherListNotificationsIntoEvents) {
  HWND list = Control(WC_LISTVIEWA, 22);
  SendMessageA(main_, GadgetNoticeMessage, 9, DetailLeftClick);
  NMHDR header = {list, 22, UINT(NM_CUSTOMDRAW)};
  SendMessageA(inner_, WM_NOTIFY, 0, LPARAM(&header));
  EXPECT_EQ(9, EventSourceItem());
  EXPECT_EQ(EventItemAction, AwaitAfterMarker(main_));
}

TEST_F(EventTest, ScrollMessagesReportTheScrollBarIdentifier) {
  HWND bar = Control("ScrollBar", 0x00B00031, SBS_HORZ);
  for (UINT message : {UINT(WM_HSCROLL), UINT(WM_VSCROLL)}) {
    Outcome outcome = SendThenWait(inner_, message, SB_LINEDOWN, LPARAM(bar));
    EXPECT_EQ(EventItemAction, outcome.code);
    EXPECT_EQ(0x00B00031, outcome.item);
    EXPECT_EQ(DetailNone, outcome.detail);
    EXPECT_EQ(1, outcome.source);
  }
  // The window's own scroll bars: item 0.
  Outcome own = SendThenWait(main_, WM_VSCROLL, SB_LINEUP, 0);
  EXPECT_EQ(EventItemAction, own.code);
  EXPECT_EQ(0, own.item);
}

// What broke: the ancestor step followed GetParent past a top-level window to its owner, so an
// owned window's item events were reported for the window that owns it.
TEST_F(EventTest, ItemEventsOfAnOwnedWindowStayWithIt) {
  HWND owned = reinterpret_cast<HWND>(
      CreateNumberedWindow(3, 0, 0, 200, 100, WS_POPUP | WS_VISIBLE, "", main_));
  ASSERT_TRUE(IsWindow(owned));
  ASSERT_EQ(main_, GetParent(owned)) << "an owned pop-up reports its owner as parent";
  Drain();
  HWND bar = CreateWindowExA(0, "ScrollBar", "", WS_CHILD | WS_VISIBLE | SBS_HORZ, 0, 0, 120, 20,
                             owned, reinterpret_cast<HMENU>(41), RuntimeState.instance, nullptr);
  Outcome outcome = SendThenWait(owned, WM_HSCROLL, SB_LINEDOWN, LPARAM(bar));
  EXPECT_EQ(EventItemAction, outcome.code);
  EXPECT_EQ(41, outcome.item);
  EXPECT_EQ(3, outcome.source);
  DestroyNumberedWindow(3);
}

TEST_F(EventTest, ControlCommandsCarryTheFullIdentifierAndTheNotificationCode) {
  HWND button = Control("Button", 0x12345678);
  // The button's own click posts nothing: BM_CLICK retrieved by the wait sends the command.
  PostMessageA(button, BM_CLICK, 0, 0);
  EXPECT_EQ(EventItemAction, AwaitEvent());
  EXPECT_EQ(0x12345678, EventSourceItem());
  EXPECT_EQ(DetailLeftClick, EventDetail());
  EXPECT_EQ(2, EventSourceWindow()) << "as received";

  HWND edit = Control("Edit", 31);
  Outcome focus = SendThenWait(inner_, WM_COMMAND, MAKEWPARAM(31, EN_SETFOCUS), LPARAM(edit));
  EXPECT_EQ(EventItemAction, focus.code);
  EXPECT_EQ(31, focus.item);
  EXPECT_EQ(EN_SETFOCUS, focus.detail);

  HWND bar = Control("Static", CommandBarIdentifier);
  Outcome command = SendThenWait(inner_, WM_COMMAND, MAKEWPARAM(42, 7), LPARAM(bar));
  EXPECT_EQ(EventCommand, command.code);
  EXPECT_EQ(42, command.item);
  EXPECT_EQ(7, command.detail);
}

// What broke: identifiers were read as 32-bit window longs, so on 64-bit a control whose
// identifier (an AnyNumber address) has bits above 31 reported another item.
TEST_F(EventTest, PointerSizedIdentifiersArriveWhole) {
  const ObjectNumber wide = static_cast<ObjectNumber>(UINTPTR_MAX / 3);  // every other bit set
  struct Case {
    const char* className;
    ObjectNumber identifier;
    UINT message;
    WPARAM wParam;
  } cases[] = {
      {"ScrollBar", wide, WM_HSCROLL, SB_LINEDOWN},
      {"ScrollBar", wide - 1, WM_VSCROLL, SB_LINEUP},
      {"Edit", wide - 2, WM_COMMAND, MAKEWPARAM(LOWORD(wide - 2), EN_CHANGE)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.identifier);
    HWND control = Control(c.className, c.identifier);
    ASSERT_EQ(c.identifier, GetWindowLongPtrA(control, GWLP_ID)) << "the platform keeps it whole";
    Outcome outcome = SendThenWait(inner_, c.message, c.wParam, LPARAM(control));
    EXPECT_EQ(EventItemAction, outcome.code);
    EXPECT_EQ(c.identifier, outcome.item);
  }
  // A gadget notice carries the identifier in wParam.
  Outcome notice = SendThenWait(main_, GadgetNoticeMessage, WPARAM(wide), DetailFocusLost);
  EXPECT_EQ(wide, notice.item);
  EXPECT_EQ(DetailFocusLost, notice.detail);
}

TEST_F(EventTest, ListBoxCommandsMapSelectionAndDoubleClickAndDropTheRest) {
  HWND listBox = Control("ListBox", 33, LBS_NOTIFY);
  struct Case {
    WORD notification;
    long code;
    long detail;
  } cases[] = {
      {LBN_SELCHANGE, EventItemAction, DetailLeftClick},
      {LBN_DBLCLK, EventItemAction, DetailLeftDoubleClick},
      {LBN_SETFOCUS, 0, LBN_SETFOCUS},
      {LBN_KILLFOCUS, 0, LBN_KILLFOCUS},
      {LBN_SELCANCEL, 0, LBN_SELCANCEL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.notification);
    Outcome outcome =
        SendThenWait(inner_, WM_COMMAND, MAKEWPARAM(33, c.notification), LPARAM(listBox));
    EXPECT_EQ(c.code ? c.code : long(MarkerMessage), outcome.code);
    EXPECT_EQ(33, outcome.item) << "item keeps its new value";
    EXPECT_EQ(c.detail, outcome.detail);
  }
}

TEST_F(EventTest, MenuAndShortcutCommands) {
  PostMessageA(main_, WM_COMMAND, 77, 0);
  EXPECT_EQ(EventCommand, AwaitEvent());
  EXPECT_EQ(77, EventSourceItem());
  PostMessageA(main_, WM_COMMAND, MAKEWPARAM(55, 1), 0);
  EXPECT_EQ(EventCommand, AwaitEvent());
  EXPECT_EQ(55, EventSourceItem());

  // Without the focus stage the focus commands do nothing and raise no event.
  PostMessageA(main_, WM_COMMAND, MAKEWPARAM(FocusNextCommand, 1), 0);
  EXPECT_EQ(long(WM_COMMAND), AwaitEvent());
  EXPECT_EQ(55, EventSourceItem());

  static int next, previous;
  next = previous = 0;
  WindowStages.focusNext = [] { ++next; };
  WindowStages.focusPrevious = [] { ++previous; };
  PostMessageA(main_, WM_COMMAND, MAKEWPARAM(FocusNextCommand, 1), 0);
  EXPECT_EQ(long(WM_COMMAND), AwaitEvent());
  PostMessageA(main_, WM_COMMAND, MAKEWPARAM(FocusPreviousCommand, 1), 0);
  EXPECT_EQ(long(WM_COMMAND), AwaitEvent());
  EXPECT_EQ(1, next);
  EXPECT_EQ(1, previous);
  // From a menu the same numbers are ordinary commands.
  PostMessageA(main_, WM_COMMAND, FocusNextCommand, 0);
  EXPECT_EQ(EventCommand, AwaitEvent());
  EXPECT_EQ(FocusNextCommand, EventSourceItem());
  EXPECT_EQ(1, next);
}

TEST_F(EventTest, ShortcutTableOfTheStageTranslatesKeysIntoCommands) {
  static HACCEL table;
  static HWND asked;
  ACCEL entries[] = {{FVIRTKEY | FNOINVERT, VK_F5, 300}};
  table = CreateAcceleratorTableA(entries, 1);
  WindowStages.shortcutTableFor = [](HWND active) {
    asked = active;
    return table;
  };
  SetActiveWindow(main_);
  ASSERT_EQ(main_, GetActiveWindow());
  PostMessageA(main_, WM_KEYDOWN, VK_F5, 1);
  EXPECT_EQ(EventCommand, AwaitEvent());
  EXPECT_EQ(300, EventSourceItem());
  EXPECT_EQ(main_, asked);
  EXPECT_EQ(main_, EventState.activeWindow);
  // A key without an entry is translated and dispatched as usual.
  PostMessageA(main_, WM_KEYDOWN, VK_F6, 1);
  EXPECT_EQ(long(WM_KEYDOWN), AwaitEvent());
  EXPECT_EQ(WPARAM(VK_F6), EventWParam());
  DestroyAcceleratorTable(table);
}

TEST_F(EventTest, ItemMouseMessagesAndTheirRelay) {
  struct Case {
    LPARAM mouse;
    long code;
    long detail;
  } cases[] = {
      {WM_LBUTTONUP, EventItemMouse, DetailLeftClick},
      {WM_RBUTTONUP, EventItemMouse, DetailRightClick},
      {WM_LBUTTONDBLCLK, EventItemMouse, DetailLeftDoubleClick},
      {WM_RBUTTONDBLCLK, EventItemMouse, DetailRightDoubleClick},
      {WM_MOUSEMOVE, long(ItemMouseMessage), DetailNone},
      {WM_LBUTTONDOWN, long(ItemMouseMessage), DetailNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mouse);
    PostMessageA(main_, ItemMouseRelayMessage, 7, c.mouse);
    EXPECT_EQ(long(ItemMouseRelayMessage), AwaitEvent());
    EXPECT_EQ(WPARAM(7), EventWParam());
    EXPECT_EQ(c.code, AwaitEvent());
    EXPECT_EQ(7, EventSourceItem());
    EXPECT_EQ(c.detail, EventDetail());
  }
  // Sent directly, outside a wait.
  Outcome outcome = SendThenWait(main_, ItemMouseMessage, 12, WM_RBUTTONUP);
  EXPECT_EQ(EventItemMouse, outcome.code);
  EXPECT_EQ(12, outcome.item);
  EXPECT_EQ(DetailRightClick, outcome.detail);
}

UINT AnsweredMessage;
LRESULT CALLBACK AnsweringHook(HWND, UINT message, WPARAM, LPARAM) {
  return message == AnsweredMessage ? 77 : HookPassOn;
}

TEST_F(EventTest, HookAnswersBeforeTheRuntimeAndPassesOnTheRest) {
  AnsweredMessage = WM_CLOSE;
  InstallWindowHook(AnsweringHook);
  Outcome outcome = SendThenWait(main_, WM_CLOSE, 0, 0);
  EXPECT_EQ(77, outcome.answer);
  EXPECT_EQ(long(MarkerMessage), outcome.code) << "no close event";
  EXPECT_TRUE(IsWindow(main_));
  // Messages the hook passes on are handled as usual.
  outcome = SendThenWait(main_, GadgetNoticeMessage, 3, 0);
  EXPECT_EQ(EventItemAction, outcome.code);
  // A hook answer also keeps a message from DefWindowProcA.
  AnsweredMessage = WM_GETTEXTLENGTH;
  EXPECT_EQ(77, SendMessageA(main_, WM_GETTEXTLENGTH, 0, 0));
  InstallWindowHook(nullptr);
  EXPECT_EQ(4, SendMessageA(main_, WM_GETTEXTLENGTH, 0, 0)) << "title \"test\"";
  EXPECT_EQ(EventCloseRequest, SendThenWait(main_, WM_CLOSE, 0, 0).code);
}

int FilterCalls, HookCalls, HookCallsAtFilter;
bool FilterHandles;
LRESULT CALLBACK CountingHook(HWND, UINT, WPARAM, LPARAM) {
  ++HookCalls;
  return HookPassOn;
}
LRESULT CALLBACK TestSizingFilter(HWND, UINT message, WPARAM, LPARAM) {
  ++FilterCalls;
  HookCallsAtFilter = HookCalls;
  bool handled = FilterHandles && (message == WM_GETTEXTLENGTH || message == WM_CLOSE);
  return handled ? 0 : DefaultProcessing;
}

TEST_F(EventTest, SizingFilterRunsFirstAndItsHandledMessagesSkipDefaultProcessing) {
  FilterCalls = HookCalls = 0;
  FilterHandles = true;
  WindowStages.liveSizingFilter = TestSizingFilter;
  InstallWindowHook(CountingHook);
  EXPECT_EQ(0, SendMessageA(main_, WM_GETTEXTLENGTH, 0, 0)) << "handled by the filter";
  EXPECT_EQ(1, FilterCalls);
  EXPECT_EQ(0, HookCallsAtFilter) << "the filter runs before the hook";
  EXPECT_EQ(1, HookCalls);
  // A handled message that is also an event still becomes one.
  EXPECT_EQ(EventCloseRequest, SendThenWait(main_, WM_CLOSE, 0, 0).code);
  FilterHandles = false;
  EXPECT_EQ(4, SendMessageA(main_, WM_GETTEXTLENGTH, 0, 0)) << "left alone: DefWindowProcA";
}

TEST_F(EventTest, SourceOutsideTheRuntimeWindowsIsMinusOne) {
  HWND foreign = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
                                 RuntimeState.instance, nullptr);
  HWND child = reinterpret_cast<HWND>(
      CreateNumberedWindow(3, 0, 0, 100, 100, WS_CHILD | WS_VISIBLE, "", foreign));
  ASSERT_TRUE(IsWindow(child));
  Drain();
  HWND bar = CreateWindowExA(0, "ScrollBar", "", WS_CHILD, 0, 0, 50, 10, child,
                             reinterpret_cast<HMENU>(5), RuntimeState.instance, nullptr);
  SendMessageA(child, WM_HSCROLL, SB_LINEUP, LPARAM(bar));
  EXPECT_EQ(foreign, EventState.sourceWindow);
  EXPECT_EQ(-1, EventSourceWindow());
  EXPECT_EQ(5, EventSourceItem());
  DestroyNumberedWindow(3);
  DestroyWindow(foreign);
}

}  // namespace
