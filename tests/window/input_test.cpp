// The event loop under real input (SendInput): presses, button clicks, an up-down arrow, the
// close keys, and a window drag started between two waits as the launcher does it.
#include "window_fixture.h"

#include <commctrl.h>

namespace {

// Raw messages that real input brings along and that these tests do not look at.
const std::initializer_list<long> InputNoise = {WM_MOUSEMOVE, WM_NCMOUSEMOVE, WM_PAINT, 0x118};

int XOf(LPARAM value) { return short(LOWORD(value)); }
int YOf(LPARAM value) { return short(HIWORD(value)); }

POINT ScreenPoint(HWND window, int x, int y) {
  POINT point = {x, y};
  ClientToScreen(window, &point);
  return point;
}

class InputTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    main_ = OpenWindow(1, WS_OVERLAPPEDWINDOW, 400, 300);
    ASSERT_TRUE(IsWindow(main_));
    SetForegroundWindow(main_);
    Drain();
  }
  void TearDown() override {
    // Never leave a button or key down for the next test.
    SendMouse(MOUSEEVENTF_LEFTUP);
    SendKey(VK_CONTROL, true);
    SendKey(VK_MENU, true);
    Drain();
    WindowTest::TearDown();
  }
  HWND main_ = nullptr;
};

TEST_F(InputTest, LeftPressOnTheClientAreaIsRaw513WithKeyFlagsAndClientPoint) {
  POINT point = ScreenPoint(main_, 37, 23);
  SetCursorPos(point.x, point.y);
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  EXPECT_EQ(EventLeftButtonDown, AwaitEventIgnoring(InputNoise));
  EXPECT_EQ(WPARAM(MK_LBUTTON), EventWParam());
  EXPECT_EQ(37, XOf(EventLParam()));
  EXPECT_EQ(23, YOf(EventLParam()));
  EXPECT_EQ(1, EventSourceWindow());
  SendMouse(MOUSEEVENTF_LEFTUP);
  EXPECT_EQ(long(WM_LBUTTONUP), AwaitEventIgnoring(InputNoise));

  // With Control held, the key flags say so.
  point = ScreenPoint(main_, 120, 80);
  SetCursorPos(point.x, point.y);
  SendKey(VK_CONTROL, false);
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  EXPECT_EQ(EventLeftButtonDown, AwaitEventIgnoring({WM_MOUSEMOVE, WM_NCMOUSEMOVE, WM_PAINT,
                                                     0x118, WM_KEYDOWN}));
  EXPECT_EQ(WPARAM(MK_LBUTTON | MK_CONTROL), EventWParam());
  EXPECT_EQ(120, XOf(EventLParam()));
  EXPECT_EQ(80, YOf(EventLParam()));
}

TEST_F(InputTest, PushButtonClickIsRawPressThenItemActionOnRelease) {
  HWND button = CreateWindowExA(0, "Button", "Quit", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 20,
                                20, 100, 30, main_, reinterpret_cast<HMENU>(6),
                                RuntimeState.instance, nullptr);
  Drain();
  POINT point = ScreenPoint(main_, 70, 35);
  SetCursorPos(point.x, point.y);
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  EXPECT_EQ(EventLeftButtonDown, AwaitEventIgnoring(InputNoise));
  EXPECT_EQ(button, EventState.retrieved.hwnd) << "the press went to the button";
  SendMouse(MOUSEEVENTF_LEFTUP);
  EXPECT_EQ(EventItemAction, AwaitEventIgnoring(InputNoise));
  EXPECT_EQ(6, EventSourceItem());
  EXPECT_EQ(DetailLeftClick, EventDetail());
  EXPECT_EQ(1, EventSourceWindow());
}

TEST_F(InputTest, UpDownArrowClickReportsTheControlAndItsPositionChange) {
  HWND upDown = CreateWindowExA(0, UPDOWN_CLASSA, "", WS_CHILD | WS_VISIBLE, 200, 20, 24, 60,
                                main_, reinterpret_cast<HMENU>(40), RuntimeState.instance,
                                nullptr);
  SendMessageA(upDown, UDM_SETRANGE32, 0, 100);
  SendMessageA(upDown, UDM_SETPOS32, 0, 50);
  Drain();
  struct Case {
    int y;  // client y of the arrow
    long delta;
  } cases[] = {{30, 1}, {70, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.delta);
    POINT point = ScreenPoint(main_, 212, c.y);
    SetCursorPos(point.x, point.y);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    EXPECT_EQ(EventItemAction, AwaitEventIgnoring(InputNoise));
    EXPECT_EQ(40, EventSourceItem());
    EXPECT_EQ(c.delta, EventDetail());
    SendMouse(MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(EventItemAction, AwaitEventIgnoring(InputNoise));
    EXPECT_EQ(40, EventSourceItem());
    Drain();
  }
}

TEST_F(InputTest, AltF4IsACloseRequestAndTheWindowStaysOpen) {
  SetFocus(main_);
  ASSERT_EQ(main_, GetFocus());
  SendKey(VK_MENU, false);
  SendKey(VK_F4, false);
  SendKey(VK_F4, true);
  SendKey(VK_MENU, true);
  EXPECT_EQ(EventCloseRequest,
            AwaitEventIgnoring({WM_SYSKEYDOWN, WM_SYSKEYUP, WM_KEYUP, WM_PAINT, 0x118}));
  EXPECT_EQ(1, EventSourceWindow());
  EXPECT_TRUE(IsWindow(main_));
  EXPECT_TRUE(IsWindowVisible(main_));
}

struct DragPlan {
  POINT to;
};

DWORD WINAPI DragPointer(void* parameter) {
  const DragPlan* plan = static_cast<const DragPlan*>(parameter);
  Sleep(300);
  for (int step = 1; step <= 4; ++step) {
    POINT from;
    GetCursorPos(&from);
    SetCursorPos(from.x + (plan->to.x - from.x) / (5 - step),
                 from.y + (plan->to.y - from.y) / (5 - step));
    INPUT move = {};
    move.type = INPUT_MOUSE;
    move.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &move, sizeof(move));
    Sleep(60);
  }
  SendMouse(MOUSEEVENTF_LEFTUP);
  return 0;
}

// The launcher's way of moving its skinned pop-up: after a wait returned the press, it sends
// WM_NCLBUTTONDOWN with HTCAPTION; the platform's move loop runs until the release.
TEST_F(InputTest, DragStartedBetweenTwoWaitsMakesTheNextWaitReturnMoved) {
  DestroyNumberedWindow(1);
  HWND popup = OpenWindow(1, WS_POPUP, 300, 200);
  SetForegroundWindow(popup);
  Drain();
  RECT before;
  GetWindowRect(popup, &before);
  POINT start = ScreenPoint(popup, 50, 50);
  SetCursorPos(start.x, start.y);
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  ASSERT_EQ(EventLeftButtonDown, AwaitEventIgnoring(InputNoise));

  DragPlan plan = {{start.x + 40, start.y + 30}};
  HANDLE mover = CreateThread(nullptr, 0, DragPointer, &plan, 0, nullptr);
  SendMessageA(popup, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(start.x, start.y));
  WaitForSingleObject(mover, 5000);
  CloseHandle(mover);

  RECT after;
  GetWindowRect(popup, &after);
  EXPECT_EQ(before.left + 40, after.left);
  EXPECT_EQ(before.top + 30, after.top);
  EXPECT_EQ(EventWindowMoved, AwaitAfterMarker(popup));
  EXPECT_EQ(1, EventSourceWindow());
}

}  // namespace
