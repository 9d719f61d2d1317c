// Keyboard focus under real keys (SendInput): the default shortcut table of every window, Tab and
// Shift+Tab over controls that are disabled, hidden, without a tab stop or inside a container,
// the edge cases of both directions, keys the table leaves alone, further commands, and a pop-up
// built like the launcher's window.
#include <vector>

#include "gadget/gadget_kinds.h"
#include "gadget/gadget_table.h"
#include "support/heap_probe.h"
#include "window/focus_navigation.h"
#include "window_fixture.h"

namespace {

// Raw messages that key presses bring along and that these tests do not look at.
const std::initializer_list<long> KeyNoise = {WM_KEYDOWN, WM_CHAR, WM_SYSKEYDOWN, WM_SYSKEYUP,
                                              WM_PAINT, 0x118};

// Presses the keys in order and releases them in reverse, then lets the loop run until the
// release of the first key has been returned (the focus command has run by then).
void PressKeys(std::initializer_list<WORD> keys) {
  for (WORD key : keys) SendKey(key, false);
  for (auto key = keys.end(); key != keys.begin();) SendKey(*--key, true);
  WORD last = *keys.begin();
  for (int wait = 0; wait < 50; ++wait) {
    long event = AwaitEvent();
    if ((event == WM_KEYUP || event == WM_SYSKEYUP) && EventState.retrieved.wParam == last) return;
  }
  ADD_FAILURE() << "the key release never came back";
}

class FocusTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    WindowStages = BuiltStages;
    main_ = OpenWindow(1, WS_OVERLAPPEDWINDOW, 400, 300);
    ASSERT_TRUE(IsWindow(main_));
    SetForegroundWindow(main_);
    Drain();
    ASSERT_EQ(main_, GetActiveWindow());
  }
  void TearDown() override {
    for (WORD key : {VK_TAB, VK_SHIFT, VK_CONTROL, VK_SPACE}) SendKey(key, true);
    Drain();
    WindowTest::TearDown();
  }

  // A push button (or another control) under parent, placed one below the other.
  HWND Control(HWND parent, int id, DWORD style, const char* className = "Button") {
    HWND control = CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE | style, 10,
                                   10 + 30 * (id % 10), 100, 26, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   RuntimeState.instance, nullptr);
    Drain();
    return control;
  }

  HWND main_ = nullptr;
};

TEST_F(FocusTest, EveryWindowGetsTabAndShiftTabAndLosesThemWhenItCloses) {
  EXPECT_EQ(BuiltStages.createShortcuts, &CreateDefaultShortcuts);
  EXPECT_EQ(BuiltStages.shortcutTableFor, &ShortcutTableFor);
  EXPECT_EQ(BuiltStages.focusNext, &FocusNextControl);
  EXPECT_EQ(BuiltStages.focusPrevious, &FocusPreviousControl);

  ObjectNumber dynamic = CreateNumberedWindow(AnyNumber, 0, 0, 80, 80, WS_POPUP, "any");
  for (ObjectNumber number : {ObjectNumber(1), dynamic}) {
    SCOPED_TRACE(number);
    WindowRecord* record = RecordOf(number);
    ASSERT_EQ(2u, record->shortcutCount);
    ACCEL expected[] = {{FVIRTKEY | FNOINVERT, VK_TAB, 1212},
                        {FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, 1213}};
    ACCEL copied[3] = {};
    ASSERT_EQ(2, CopyAcceleratorTableA(record->shortcutTable, copied, 3));
    for (int i = 0; i < 2; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(expected[i].fVirt, record->shortcutEntries[i].fVirt);
      EXPECT_EQ(expected[i].key, record->shortcutEntries[i].key);
      EXPECT_EQ(expected[i].cmd, record->shortcutEntries[i].cmd);
      EXPECT_EQ(expected[i].fVirt, copied[i].fVirt & ~0x80);  // 0x80 marks the last entry
      EXPECT_EQ(expected[i].key, copied[i].key);
      EXPECT_EQ(expected[i].cmd, copied[i].cmd);
    }
    EXPECT_EQ(record->shortcutTable, ShortcutTableFor(WindowHandleOf(number)));

    ACCEL* entries = record->shortcutEntries;
    HACCEL table = record->shortcutTable;
    DestroyNumberedWindow(number);
    EXPECT_FALSE(IsLiveBlock(entries)) << "the entry block outlived its window";
    EXPECT_FALSE(DestroyAcceleratorTable(table)) << "the table outlived its window";
  }
  // Windows that are not runtime windows, and no window, have no table.
  HWND foreign = CreateWindowExA(0, "Static", "", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                 RuntimeState.instance, nullptr);
  EXPECT_EQ(nullptr, ShortcutTableFor(foreign));
  EXPECT_EQ(nullptr, ShortcutTableFor(nullptr));
  DestroyWindow(foreign);
  // A number without a window gets nothing.
  CreateDefaultShortcuts(5);
  EXPECT_EQ(0u, WindowTable.records[5].shortcutCount);
}

// Controls a, e, f and g are eligible, in this order; b is disabled, c has no tab stop, d is
// hidden, and e and f lie inside a container that is no tab stop itself.
class TabOrderTest : public FocusTest {
 protected:
  void SetUp() override {
    FocusTest::SetUp();
    a_ = Control(main_, 11, WS_TABSTOP);
    b_ = Control(main_, 12, WS_TABSTOP | WS_DISABLED);
    c_ = Control(main_, 13, 0);
    d_ = Control(main_, 14, WS_TABSTOP);
    ShowWindow(d_, SW_HIDE);
    container_ = CreateWindowExA(0, "Static", "", WS_CHILD | WS_VISIBLE, 200, 10, 150, 100,
                                 main_, reinterpret_cast<HMENU>(15), RuntimeState.instance,
                                 nullptr);
    e_ = Control(container_, 16, WS_TABSTOP);
    f_ = Control(container_, 17, WS_TABSTOP);
    g_ = Control(main_, 18, WS_TABSTOP);
    Drain();
  }
  HWND a_, b_, c_, d_, container_, e_, f_, g_;
};

TEST_F(TabOrderTest, TabAndShiftTabWalkTheEligibleControlsAndWrapAround) {
  struct Case {
    const char* name;
    bool shift;
    std::vector<HWND> order;
  };
  Case cases[] = {
      {"Tab", false, {e_, f_, g_, a_, e_}},
      {"Shift+Tab", true, {g_, f_, e_, a_, g_}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetFocus(a_);
    for (size_t step = 0; step < c.order.size(); ++step) {
      if (c.shift) {
        PressKeys({VK_SHIFT, VK_TAB});
      } else {
        PressKeys({VK_TAB});
      }
      EXPECT_EQ(c.order[step], GetFocus()) << "step " << step;
    }
  }
}

TEST_F(TabOrderTest, FocusOutsideTheControlsOrOnAControlThatIsNotEligible) {
  struct Case {
    const char* name;
    HWND focus;
    HWND afterTab;
    HWND afterShiftTab;
  } cases[] = {
      {"on the window itself", main_, a_, g_},
      {"nowhere", nullptr, a_, g_},
      {"without tab stop: Tab stays, Shift+Tab goes to the last", c_, c_, g_},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetFocus(c.focus);
    ASSERT_EQ(c.focus, GetFocus());
    PressKeys({VK_TAB});
    EXPECT_EQ(c.afterTab, GetFocus());
    SetFocus(c.focus);
    PressKeys({VK_SHIFT, VK_TAB});
    EXPECT_EQ(c.afterShiftTab, GetFocus());
  }
}

TEST_F(TabOrderTest, SingleEligibleControlKeepsTheFocusBothWays) {
  for (HWND other : {e_, f_, g_}) EnableWindow(other, FALSE);
  SetFocus(a_);
  PressKeys({VK_TAB});
  EXPECT_EQ(a_, GetFocus());
  PressKeys({VK_SHIFT, VK_TAB});
  EXPECT_EQ(a_, GetFocus());
  // From outside the controls both directions find the one control.
  for (bool shift : {false, true}) {
    SetFocus(main_);
    if (shift) {
      PressKeys({VK_SHIFT, VK_TAB});
    } else {
      PressKeys({VK_TAB});
    }
    EXPECT_EQ(a_, GetFocus()) << shift;
  }
  // Without any eligible control nothing moves.
  EnableWindow(a_, FALSE);
  SetFocus(main_);
  PressKeys({VK_TAB});
  EXPECT_EQ(main_, GetFocus());
  PressKeys({VK_SHIFT, VK_TAB});
  EXPECT_EQ(main_, GetFocus());
}

TEST_F(TabOrderTest, CtrlTabMatchesNoEntryAndReachesTheFocusedControl) {
  SetFocus(e_);
  SendKey(VK_CONTROL, false);
  SendKey(VK_TAB, false);
  EXPECT_EQ(long(WM_KEYDOWN), AwaitEventIgnoring({WM_PAINT, 0x118}));  // Control
  EXPECT_EQ(long(WM_KEYDOWN), AwaitEventIgnoring({WM_PAINT, 0x118}));
  EXPECT_EQ(WPARAM(VK_TAB), EventState.retrieved.wParam);
  EXPECT_EQ(e_, EventState.retrieved.hwnd) << "dispatched to the focused control";
  SendKey(VK_TAB, true);
  SendKey(VK_CONTROL, true);
  Drain();
  EXPECT_EQ(e_, GetFocus());
}

TEST_F(TabOrderTest, RichEditKeepsAPlainTabAndShiftTabLeavesIt) {
  ASSERT_NE(nullptr, LoadLibraryA("riched20.dll"));
  HWND rich = CreateWindowExA(0, "RichEdit20A", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP |
                                  ES_MULTILINE, 10, 250, 150, 30, main_,
                              reinterpret_cast<HMENU>(19), RuntimeState.instance, nullptr);
  ASSERT_NE(nullptr, rich);
  Drain();
  SetFocus(rich);
  Drain();  // the rich edit's focus notification
  SendKey(VK_TAB, false);
  AwaitEventIgnoring({WM_PAINT, 0x118});
  EXPECT_EQ(UINT(WM_KEYDOWN), EventState.retrieved.message);
  EXPECT_EQ(rich, EventState.retrieved.hwnd) << "the plain Tab went to the rich edit";
  SendKey(VK_TAB, true);
  Drain();
  EXPECT_EQ(rich, GetFocus());
  char text[8] = {};
  GetWindowTextA(rich, text, sizeof(text));
  EXPECT_STREQ("\t", text) << "the rich edit took the Tab itself";

  PressKeys({VK_SHIFT, VK_TAB});
  EXPECT_EQ(g_, GetFocus());
  // From the last control, a plain Tab still leads into the rich edit.
  PressKeys({VK_TAB});
  EXPECT_EQ(rich, GetFocus());
}

TEST_F(TabOrderTest, OtherCommandsOfALongerTableReachTheCallerAsCommands) {
  WindowRecord* record = RecordOf(1);
  HACCEL own = record->shortcutTable;
  ACCEL entries[] = {{FVIRTKEY | FNOINVERT, VK_TAB, 1212},
                     {FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, 1213},
                     {FVIRTKEY | FNOINVERT, VK_F5, 300},
                     {FVIRTKEY | FNOINVERT | FCONTROL, 'K', 301}};
  HACCEL longer = CreateAcceleratorTableA(entries, 4);
  record->shortcutTable = longer;
  struct Case {
    std::initializer_list<WORD> keys;
    ObjectNumber command;
  } cases[] = {{{VK_F5}, 300}, {{VK_CONTROL, 'K'}, 301}};
  SetFocus(a_);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    for (WORD key : c.keys) SendKey(key, false);
    EXPECT_EQ(EventCommand, AwaitEventIgnoring(KeyNoise));
    EXPECT_EQ(c.command, EventSourceItem());
    EXPECT_EQ(1, EventSourceWindow());
    for (auto key = c.keys.end(); key != c.keys.begin();) SendKey(*--key, true);
    Drain();
    EXPECT_EQ(a_, GetFocus());
  }
  PressKeys({VK_TAB});
  EXPECT_EQ(e_, GetFocus()) << "Tab still moves the focus";
  record->shortcutTable = own;
  DestroyAcceleratorTable(longer);
}

// The launcher's window: a pop-up whose face is a label without tab stop, with push buttons
// 2 "Play" and 6 "Quit". A keyboard user reaches both buttons with Tab and presses them with Space.
TEST_F(FocusTest, LauncherLikePopUpTabsBetweenPlayAndQuitAndSpacePressesThem) {
  DestroyNumberedWindow(1);
  HWND popup = reinterpret_cast<HWND>(
      CreateNumberedWindow(1, 0, 0, 575, 385, WS_POPUP | CenterOnScreen, "Zindle"));
  ASSERT_TRUE(IsWindow(popup));
  InitGadgetLibrary();
  BindGadgetParent(popup);
  CreateTextLabel(1, 0, 0, 575, 385, "");
  HWND play = reinterpret_cast<HWND>(CreatePushButton(2, 100, 300, 120, 30, "Play"));
  HWND quit = reinterpret_cast<HWND>(CreatePushButton(6, 350, 300, 120, 30, "Quit"));
  ASSERT_TRUE(IsWindow(play));
  ASSERT_TRUE(IsWindow(quit));
  SetForegroundWindow(popup);
  Drain();
  ASSERT_EQ(popup, GetActiveWindow());

  PressKeys({VK_TAB});
  EXPECT_EQ(play, GetFocus());
  PressKeys({VK_TAB});
  EXPECT_EQ(quit, GetFocus());
  PressKeys({VK_TAB});
  EXPECT_EQ(play, GetFocus());
  PressKeys({VK_SHIFT, VK_TAB});
  EXPECT_EQ(quit, GetFocus());

  struct Case {
    HWND button;
    ObjectNumber item;
  } cases[] = {{quit, 6}, {play, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    if (GetFocus() != c.button) PressKeys({VK_TAB});
    ASSERT_EQ(c.button, GetFocus());
    SendKey(VK_SPACE, false);
    SendKey(VK_SPACE, true);
    EXPECT_EQ(EventItemAction, AwaitEventIgnoring(KeyNoise));
    EXPECT_EQ(c.item, EventSourceItem());
    EXPECT_EQ(1, EventSourceWindow());
    Drain();
  }
  DestroyNumberedWindow(1);
  HeapFree(RuntimeState.heap, 0, GadgetTable.slots);
}

}  // namespace
