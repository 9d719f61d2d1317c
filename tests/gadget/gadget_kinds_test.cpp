// Push buttons, text labels and edit fields: their classes and styles, a real click on a button,
// and the focus notices of edit fields as the event loop returns them.
#include <string.h>

#include "gadget_fixture.h"

namespace {

using GadgetKindsTest = GadgetTest;

TEST_F(GadgetKindsTest, EachKindGetsItsClassAndStyles) {
  const struct {
    const char* name;
    ObjectNumber made;
    const char* className;
    DWORD style;
    DWORD extendedStyle;
  } cases[] = {
      {"push button", CreatePushButton(1, 10, 10, 80, 24, "b"), "Button", 0x50030000, 0},
      {"text label", CreateTextLabel(2, 10, 40, 80, 24, "l"), "Static", 0x50020000, 0},
      {"label, centred", CreateTextLabelWithFlags(3, 10, 70, 80, 24, "c", SS_CENTER), "Static",
       0x50020001, 0},
      {"label, sunken right", CreateTextLabelWithFlags(4, 10, 100, 80, 24, "r", 0x20002), "Static",
       0x50020002, WS_EX_CLIENTEDGE},
      {"edit field", CreateEditField(5, 10, 130, 80, 24, "e"), "Edit", 0x50030080,
       WS_EX_CLIENTEDGE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HWND control = reinterpret_cast<HWND>(c.made);
    ASSERT_TRUE(IsWindow(control));
    char className[32] = {};
    GetClassNameA(control, className, sizeof(className));
    EXPECT_EQ(0, lstrcmpiA(c.className, className));
    EXPECT_EQ(c.style, static_cast<DWORD>(GetWindowLongA(control, GWL_STYLE)) & c.style);
    // Only the sunken kinds have the client edge.
    EXPECT_EQ(c.extendedStyle,
              static_cast<DWORD>(GetWindowLongA(control, GWL_EXSTYLE)) & WS_EX_CLIENTEDGE);
  }
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(EditFocusProcedure),
            GetWindowLongPtrA(GadgetHandleOf(5), GWLP_WNDPROC));
}

// The push button's state slots are the button messages: a button that holds a check state (a
// push button holds none and answers unchecked) gives back what was put.
TEST_F(GadgetKindsTest, PushButtonStateSlotsSetAndReadTheCheckState) {
  HWND button = reinterpret_cast<HWND>(CreatePushButton(1, 10, 10, 80, 24, "b"));
  const GadgetKindTable* kind = LookupGadget(1)->kind;
  ASSERT_TRUE(kind && kind->queryState && kind->applyState);
  kind->applyState(button, BST_CHECKED);
  EXPECT_EQ(BST_UNCHECKED, kind->queryState(button));
  SetWindowLongA(button, GWL_STYLE, (GetWindowLongA(button, GWL_STYLE) & ~0xF) | BS_3STATE);
  for (LPARAM state : {BST_CHECKED, BST_INDETERMINATE, BST_UNCHECKED}) {
    SCOPED_TRACE(state);
    kind->applyState(button, state);
    EXPECT_EQ(state, kind->queryState(button));
    EXPECT_EQ(state, SendMessageA(button, BM_GETCHECK, 0, 0));
  }
}

TEST_F(GadgetKindsTest, RightAlignedLabelDrawsItsTextAtTheRightEdge) {
  HWND label = reinterpret_cast<HWND>(CreateTextLabelWithFlags(4, 10, 10, 300, 30, "WWW", 0x20002));
  HWND left = reinterpret_cast<HWND>(CreateTextLabel(5, 10, 60, 300, 30, "WWW"));
  UpdateWindow(main_);
  // Column of the leftmost and rightmost text pixel (far from the face colour) of a label.
  auto textColumns = [](HWND control, int* first, int* lastColumn) {
    RECT client;
    GetClientRect(control, &client);
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    *first = -1;
    *lastColumn = -1;
    HDC dc = GetDC(control);
    for (int x = 0; x < client.right; ++x) {
      for (int y = 0; y < client.bottom; ++y) {
        COLORREF pixel = GetPixel(dc, x, y);
        if (pixel != CLR_INVALID && pixel != face && GetRValue(pixel) < 100) {
          if (*first < 0) *first = x;
          *lastColumn = x;
          break;
        }
      }
    }
    ReleaseDC(control, dc);
  };
  int first, lastColumn;
  textColumns(label, &first, &lastColumn);
  ASSERT_GE(first, 0) << "no text drawn";
  EXPECT_GT(first, 200);
  EXPECT_GT(lastColumn, 280);
  textColumns(left, &first, &lastColumn);
  ASSERT_GE(first, 0) << "no text drawn";
  EXPECT_LT(lastColumn, 100);
}

TEST_F(GadgetKindsTest, ARealClickOnAPushButtonGivesOneItemEvent) {
  HWND button = reinterpret_cast<HWND>(CreatePushButton(6, 40, 40, 120, 30, "Quit"));
  ObjectNumber any = CreatePushButton(AnyNumber, 40, 100, 120, 30, "Any");
  Drain();
  const struct {
    HWND control;
    ObjectNumber item;
  } cases[] = {{button, 6}, {GadgetHandleOf(any), any}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.item);
    LeftClick(c.control, 60, 15);
    std::vector<SeenEvent> actions = ItemActions(CollectEvents());
    ASSERT_EQ(1u, actions.size());
    EXPECT_EQ(c.item, actions[0].item);
    EXPECT_EQ(DetailLeftClick, actions[0].detail);
    EXPECT_EQ(1, actions[0].window);
  }
  // A click on a plain label reports nothing; with SS_NOTIFY among its flags it is a click.
  CreateTextLabel(7, 200, 40, 120, 30, "plain");
  CreateTextLabelWithFlags(8, 200, 100, 120, 30, "notify", SS_NOTIFY);
  Drain();
  LeftClick(GadgetHandleOf(7), 20, 10);
  EXPECT_TRUE(ItemActions(CollectEvents()).empty());
  LeftClick(GadgetHandleOf(8), 20, 10);
  std::vector<SeenEvent> actions = ItemActions(CollectEvents());
  ASSERT_FALSE(actions.empty());
  EXPECT_EQ(8, actions[0].item);
  EXPECT_EQ(DetailLeftClick, actions[0].detail);
}

// The focus notices queued for window 1, removed from the queue.
std::vector<MSG> TakeFocusNotices(HWND window) {
  std::vector<MSG> notices;
  MSG message;
  while (PeekMessageA(&message, window, GadgetNoticeMessage, GadgetNoticeMessage, PM_REMOVE)) {
    notices.push_back(message);
  }
  return notices;
}

TEST_F(GadgetKindsTest, FocusingAnEditFieldPostsOneNoticeForGainAndOneForLoss) {
  HWND edit = reinterpret_cast<HWND>(CreateEditField(9, 10, 10, 150, 24, "text"));
  ObjectNumber any = CreateEditField(AnyNumber, 10, 50, 150, 24, "other");
  HWND button = reinterpret_cast<HWND>(CreatePushButton(10, 10, 90, 80, 24, "b"));
  SetFocus(button);
  Drain();
  const struct {
    HWND control;
    ObjectNumber item;
  } cases[] = {{edit, 9}, {GadgetHandleOf(any), any}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.item);
    SetFocus(c.control);
    std::vector<MSG> notices = TakeFocusNotices(main_);
    ASSERT_EQ(1u, notices.size());
    EXPECT_EQ(static_cast<WPARAM>(c.item), notices[0].wParam);
    EXPECT_EQ(DetailFocusGained, notices[0].lParam);
    SetFocus(button);
    notices = TakeFocusNotices(main_);
    ASSERT_EQ(1u, notices.size());
    EXPECT_EQ(static_cast<WPARAM>(c.item), notices[0].wParam);
    EXPECT_EQ(DetailFocusLost, notices[0].lParam);
  }
}

TEST_F(GadgetKindsTest, AwaitEventReturnsTheFocusNoticesAsItemEvents) {
  HWND edit = reinterpret_cast<HWND>(CreateEditField(9, 10, 10, 150, 24, "text"));
  HWND button = reinterpret_cast<HWND>(CreatePushButton(10, 10, 90, 80, 24, "b"));
  SetFocus(button);
  Drain();
  const struct {
    const char* how;
    void (*move)(HWND edit, HWND button);
    long detail;
  } cases[] = {
      {"SetFocus into", [](HWND e, HWND) { SetFocus(e); }, DetailFocusGained},
      {"SetFocus away", [](HWND, HWND b) { SetFocus(b); }, DetailFocusLost},
      {"click into", [](HWND e, HWND) { LeftClick(e, 30, 10); }, DetailFocusGained},
      {"click away", [](HWND, HWND b) { LeftClick(b, 20, 10); }, DetailFocusLost},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    c.move(edit, button);
    int notices = 0;
    for (const SeenEvent& event : CollectEvents()) {
      if (event.code == EventItemAction && event.detail >= DetailFocusGained) {
        ++notices;
        EXPECT_EQ(9, event.item);
        EXPECT_EQ(c.detail, event.detail);
        EXPECT_EQ(1, event.window);
      }
    }
    EXPECT_EQ(1, notices);
  }
}

}  // namespace
