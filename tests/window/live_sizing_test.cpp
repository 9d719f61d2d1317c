// Live window sizing with full-window dragging switched on (and restored after each test): border
// grabs followed by real pointer moves, tracking limits and WM_SIZING answers from a hook, the
// keyboard form with real arrows, Enter and Escape, a child window, the events the caller's loop
// sees, and the platform's own sizing when the setting is off.
#include <vector>

#include "window/live_sizing.h"
#include "window_fixture.h"

namespace {

const std::initializer_list<long> PointerNoise = {WM_MOUSEMOVE, WM_NCMOUSEMOVE, WM_PAINT, 0x118,
                                                  WM_SETCURSOR};
// The same, and the character and release that follow a key press.
const std::initializer_list<long> KeyNoise = {WM_MOUSEMOVE, WM_NCMOUSEMOVE, WM_PAINT, 0x118,
                                              WM_SETCURSOR, WM_CHAR, WM_KEYUP};

RECT WindowRectOf(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return rect;
}

void ExpectRect(const RECT& expected, const RECT& actual) {
  EXPECT_EQ(expected.left, actual.left);
  EXPECT_EQ(expected.top, actual.top);
  EXPECT_EQ(expected.right, actual.right);
  EXPECT_EQ(expected.bottom, actual.bottom);
}

POINT CursorPosition() {
  POINT point;
  GetCursorPos(&point);
  return point;
}

HCURSOR SystemCursor(WORD number) {
  return static_cast<HCURSOR>(LoadImageA(nullptr, MAKEINTRESOURCEA(number), IMAGE_CURSOR, 0, 0,
                                         LR_DEFAULTSIZE | LR_SHARED));
}

// A hook that answers WM_GETMINMAXINFO with its own tracking sizes and may change the rectangle
// of WM_SIZING; it notes what it saw.
struct SizingHookRecord {
  bool answerLimits;
  POINT minimum, maximum;
  LONG snap;  // WM_SIZING: width and height rounded down to a multiple of this; 0 leaves them
  int limitQuestions;
  std::vector<WPARAM> sizingEdges;
  int presses;            // WM_LBUTTONDOWN seen
  WPARAM pressFlags;
  LPARAM pressPoint;
  bool pressWhileActive;
};
SizingHookRecord SizingHook;

LRESULT CALLBACK SizingTestHook(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_GETMINMAXINFO:
      ++SizingHook.limitQuestions;
      if (!SizingHook.answerLimits) break;
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = SizingHook.minimum;
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMaxTrackSize = SizingHook.maximum;
      return 0;
    case WM_SIZING: {
      SizingHook.sizingEdges.push_back(wParam);
      if (!SizingHook.snap) break;
      RECT* rect = reinterpret_cast<RECT*>(lParam);
      rect->right = rect->left + (rect->right - rect->left) / SizingHook.snap * SizingHook.snap;
      rect->bottom = rect->top + (rect->bottom - rect->top) / SizingHook.snap * SizingHook.snap;
      return TRUE;
    }
    case WM_LBUTTONDOWN:
      ++SizingHook.presses;
      SizingHook.pressFlags = wParam;
      SizingHook.pressPoint = lParam;
      SizingHook.pressWhileActive = SizingState.active;
      break;
  }
  return HookPassOn;
}

class SizingTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    WindowStages = BuiltStages;
    SizingState = SizingStateRecord();
    SizingHook = SizingHookRecord();
    SystemParametersInfoA(SPI_GETDRAGFULLWINDOWS, 0, &savedSetting_, 0);
    SetFullWindowDragging(TRUE);
    main_ = OpenWindow(1, WS_OVERLAPPEDWINDOW, 300, 200);
    ASSERT_TRUE(IsWindow(main_));
    SetForegroundWindow(main_);
    Drain();
    InstallWindowHook(SizingTestHook);
  }
  void TearDown() override {
    SendMouse(MOUSEEVENTF_LEFTUP);
    for (WORD key : {VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN, VK_RETURN, VK_ESCAPE}) SendKey(key, true);
    Drain();
    if (SizingState.active) ReleaseCapture();
    SizingState = SizingStateRecord();
    SetFullWindowDragging(savedSetting_);
    WindowTest::TearDown();
  }

  static void SetFullWindowDragging(BOOL on) {
    SystemParametersInfoA(SPI_SETDRAGFULLWINDOWS, on, nullptr, 0);
  }

  // Presses the left button on the border of window at screen point and returns once the size
  // command has started the sizing (the loop sees the press, then WM_ENTERSIZEMOVE).
  static void GrabBorder(HWND window, POINT at, LRESULT border) {
    ASSERT_EQ(border, SendMessageA(window, WM_NCHITTEST, 0, MAKELPARAM(at.x, at.y)));
    SetCursorPos(at.x, at.y);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    EXPECT_EQ(long(WM_NCLBUTTONDOWN), AwaitEventIgnoring(PointerNoise));
    ASSERT_TRUE(SizingState.active);
    EXPECT_EQ(long(WM_ENTERSIZEMOVE), AwaitEventIgnoring(PointerNoise));
  }

  // Moves the pointer to a screen point with a real move; returns the event the loop gave.
  static long MovePointer(POINT to) {
    SetCursorPos(to.x, to.y);
    SendMouse(MOUSEEVENTF_MOVE);
    return AwaitEventIgnoring({WM_PAINT, 0x118, WM_SETCURSOR});
  }

  // Releases the button; the loop sees the release, then WM_EXITSIZEMOVE.
  static void ReleaseBorder() {
    SendMouse(MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(long(WM_LBUTTONUP), AwaitEventIgnoring(PointerNoise));
    EXPECT_EQ(long(WM_EXITSIZEMOVE), AwaitEventIgnoring(PointerNoise));
    EXPECT_FALSE(SizingState.active);
    EXPECT_EQ(nullptr, GetCapture());
  }

  // Starts a keyboard sizing as the window menu's Size command does, with the pointer at the
  // window's centre and the keyboard focus on the window.
  void StartFromKeyboard() {
    RECT rect = WindowRectOf(main_);
    SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    SetFocus(main_);
    Drain();
    PostMessageA(main_, WM_SYSCOMMAND, SC_SIZE, 0);
    EXPECT_EQ(long(WM_SYSCOMMAND), AwaitEventIgnoring(PointerNoise));
    ASSERT_TRUE(SizingState.active);
    EXPECT_EQ(long(WM_ENTERSIZEMOVE), AwaitEventIgnoring(PointerNoise));
  }

  // Presses a key and returns the event the loop gave for the press, then releases it and lets
  // the loop run up to the release.
  static long PressKey(WORD key) {
    SendKey(key, false);
    long event = AwaitEventIgnoring({WM_PAINT, 0x118, WM_SETCURSOR, WM_MOUSEMOVE});
    SendKey(key, true);
    for (int wait = 0; wait < 50; ++wait) {
      if (AwaitEvent() == WM_KEYUP && EventState.retrieved.wParam == key) break;
    }
    return event;
  }

  HWND main_ = nullptr;
  BOOL savedSetting_ = FALSE;
};

TEST(SizingPoint, EdgesFollowThePointWithinTheTrackingLimits) {
  struct Case {
    UINT edge;
    LONG x, y;
    RECT expected;
  } cases[] = {
      {0, 500, 500, {100, 100, 300, 250}},               // no edge chosen: nothing moves
      {WMSZ_LEFT, 50, 0, {50, 100, 300, 250}},
      {WMSZ_LEFT, 500, 0, {200, 100, 300, 250}},         // past the right edge: minimum width
      {WMSZ_LEFT, -200, 0, {-100, 100, 300, 250}},       // maximum width
      {WMSZ_RIGHT, 350, 0, {100, 100, 352, 250}},
      {WMSZ_RIGHT, 0, 0, {100, 100, 200, 250}},
      {WMSZ_TOP, 0, 90, {100, 90, 300, 250}},
      {WMSZ_TOP, 0, 240, {100, 170, 300, 250}},
      {WMSZ_TOPLEFT, 60, 70, {58, 68, 300, 250}},
      {WMSZ_TOPRIGHT, 320, 80, {100, 80, 322, 250}},
      {WMSZ_BOTTOM, 0, 300, {100, 100, 300, 302}},
      {WMSZ_BOTTOM, 0, 1000, {100, 100, 300, 400}},
      {WMSZ_BOTTOMLEFT, 80, 120, {80, 100, 300, 180}},
      {WMSZ_BOTTOMRIGHT, 398, 298, {100, 100, 400, 300}},
      {WMSZ_BOTTOMRIGHT, 900, 900, {100, 100, 500, 400}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "edge " << c.edge << " at " << c.x << "," << c.y);
    SizingState = SizingStateRecord();
    SizingState.limits.ptMinTrackSize = {100, 80};
    SizingState.limits.ptMaxTrackSize = {400, 300};
    SizingState.rect = {100, 100, 300, 250};
    SizingState.edge = c.edge;
    ApplySizingPoint(c.x, c.y);
    ExpectRect(c.expected, SizingState.rect);
  }
  SizingState = SizingStateRecord();
}

TEST_F(SizingTest, BorderGrabFollowsThePointerAndTheLoopSeesTheSizingBracket) {
  RECT start = WindowRectOf(main_);
  GrabBorder(main_, {start.right - 2, start.bottom - 2}, HTBOTTOMRIGHT);
  EXPECT_EQ(UINT(WMSZ_BOTTOMRIGHT), SizingState.edge);
  EXPECT_EQ(main_, GetCapture());
  ExpectRect(start, SizingState.startRect);
  EXPECT_FALSE(SizingState.restoreCursor);

  POINT moves[] = {{start.right + 38, start.bottom + 28}, {start.right - 52, start.bottom + 8}};
  for (POINT to : moves) {
    SCOPED_TRACE(to.x);
    EXPECT_EQ(EventWindowSized, MovePointer(to));
    ExpectRect({start.left, start.top, to.x + 2, to.y + 2}, WindowRectOf(main_));
  }
  ReleaseBorder();
  ExpectRect({start.left, start.top, start.right - 50, start.bottom + 10}, WindowRectOf(main_));
  ASSERT_FALSE(SizingHook.sizingEdges.empty());
  for (WPARAM edge : SizingHook.sizingEdges) EXPECT_EQ(WPARAM(WMSZ_BOTTOMRIGHT), edge);
  EXPECT_EQ(0, SizingHook.presses) << "a border grab tells the window of no press";
}

TEST_F(SizingTest, TrackingLimitsAreAskedOnceAtTheStartAndBoundEveryEdge) {
  SizingHook.answerLimits = true;
  SizingHook.minimum = {220, 160};
  SizingHook.maximum = {420, 330};
  // Far enough from the screen's left edge for the widest window to fit.
  SetWindowPos(main_, nullptr, 500, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  Drain();
  RECT start = WindowRectOf(main_);
  LONG middle = (start.top + start.bottom) / 2;
  GrabBorder(main_, {start.left + 1, middle}, HTLEFT);
  EXPECT_EQ(1, SizingHook.limitQuestions);
  EXPECT_EQ(220, SizingState.limits.ptMinTrackSize.x);
  EXPECT_EQ(330, SizingState.limits.ptMaxTrackSize.y);
  // The left edge stops short of the minimum width, also when dragged past the right edge, and
  // the right edge stays where it is.
  MovePointer({start.right + 50, middle});
  ExpectRect({start.right - 220, start.top, start.right, start.bottom}, WindowRectOf(main_));
  MovePointer({start.left - 500, middle});
  ExpectRect({start.right - 420, start.top, start.right, start.bottom}, WindowRectOf(main_));
  ReleaseBorder();

  start = WindowRectOf(main_);
  GrabBorder(main_, {start.right - 2, start.bottom - 2}, HTBOTTOMRIGHT);
  MovePointer({start.right + 300, start.bottom + 300});
  ExpectRect({start.left, start.top, start.left + 420, start.top + 330}, WindowRectOf(main_));
  MovePointer({start.left - 50, start.top - 50});
  ExpectRect({start.left, start.top, start.left + 220, start.top + 160}, WindowRectOf(main_));
  ReleaseBorder();
}

TEST_F(SizingTest, WindowThatChangesTheRectangleOfWmSizingIsMovedToTheChangedOne) {
  SizingHook.snap = 50;
  RECT start = WindowRectOf(main_);
  GrabBorder(main_, {start.right - 2, start.bottom - 2}, HTBOTTOMRIGHT);
  POINT to = {start.right + 37, start.bottom + 23};
  MovePointer(to);
  LONG width = (to.x + 2 - start.left) / 50 * 50;
  LONG height = (to.y + 2 - start.top) / 50 * 50;
  ExpectRect({start.left, start.top, start.left + width, start.top + height},
             WindowRectOf(main_));
  ExpectRect(WindowRectOf(main_), SizingState.rect);
  ReleaseBorder();
}

TEST_F(SizingTest, ArrowsFromAKeyboardStartChooseAnEdgeThenTurnItIntoACorner) {
  struct Case {
    WORD first, second;
    UINT edge;      // after the first arrow
    char firstAt;   // where the pointer goes along the edge: 'x' keeps p.x, 'y' keeps p.y
    WORD firstCursor;
    UINT corner;    // after the second arrow
    POINT cornerOffset;  // from the corner of the start rectangle that the edges meet at
    WORD cornerCursor;
  } cases[] = {
      {VK_LEFT, VK_UP, WMSZ_LEFT, 'y', SizeWeCursor, WMSZ_TOPLEFT, {2, 2}, SizeNwseCursor},
      {VK_LEFT, VK_DOWN, WMSZ_LEFT, 'y', SizeWeCursor, WMSZ_BOTTOMLEFT, {0, -2}, SizeNeswCursor},
      {VK_RIGHT, VK_UP, WMSZ_RIGHT, 'y', SizeWeCursor, WMSZ_TOPRIGHT, {-2, 0}, SizeNeswCursor},
      {VK_RIGHT, VK_DOWN, WMSZ_RIGHT, 'y', SizeWeCursor, WMSZ_BOTTOMRIGHT, {-2, -2},
       SizeNwseCursor},
      {VK_UP, VK_LEFT, WMSZ_TOP, 'x', SizeNsCursor, WMSZ_TOPLEFT, {2, 2}, SizeNwseCursor},
      {VK_UP, VK_RIGHT, WMSZ_TOP, 'x', SizeNsCursor, WMSZ_TOPRIGHT, {-2, 0}, SizeNeswCursor},
      {VK_DOWN, VK_LEFT, WMSZ_BOTTOM, 'x', SizeNsCursor, WMSZ_BOTTOMLEFT, {0, -2},
       SizeNeswCursor},
      {VK_DOWN, VK_RIGHT, WMSZ_BOTTOM, 'x', SizeNsCursor, WMSZ_BOTTOMRIGHT, {-2, -2},
       SizeNwseCursor},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "edge " << c.edge << " then corner " << c.corner);
    RECT start = WindowRectOf(main_);
    StartFromKeyboard();
    EXPECT_EQ(0u, SizingState.edge);
    EXPECT_TRUE(SizingState.restoreCursor);
    EXPECT_EQ(SystemCursor(SizeAllCursor), GetCursor());
    POINT p = CursorPosition();

    PressKey(c.first);
    EXPECT_EQ(c.edge, SizingState.edge);
    POINT at = CursorPosition();
    bool horizontal = c.edge == WMSZ_LEFT || c.edge == WMSZ_RIGHT;
    LONG edgeLine = c.edge == WMSZ_LEFT ? start.left
                    : c.edge == WMSZ_RIGHT ? start.right - 2
                    : c.edge == WMSZ_TOP ? start.top
                                         : start.bottom - 2;
    EXPECT_EQ(horizontal ? edgeLine : p.x, at.x);
    EXPECT_EQ(horizontal ? p.y : edgeLine, at.y);
    EXPECT_EQ(SystemCursor(c.firstCursor), GetCursor());

    PressKey(c.second);
    EXPECT_EQ(c.corner, SizingState.edge);
    bool left = c.corner == WMSZ_TOPLEFT || c.corner == WMSZ_BOTTOMLEFT;
    bool top = c.corner == WMSZ_TOPLEFT || c.corner == WMSZ_TOPRIGHT;
    at = CursorPosition();
    EXPECT_EQ((left ? start.left : start.right) + c.cornerOffset.x, at.x);
    EXPECT_EQ((top ? start.top : start.bottom) + c.cornerOffset.y, at.y);
    EXPECT_EQ(SystemCursor(c.cornerCursor), GetCursor());
    ExpectRect(start, WindowRectOf(main_));  // choosing an edge does not move it

    PressKey(VK_ESCAPE);
    EXPECT_FALSE(SizingState.active);
  }
}

TEST_F(SizingTest, ArrowStepsMoveTheEdgeTenPixelsAndEscapeRestoresTheStartExactly) {
  RECT start = WindowRectOf(main_);
  StartFromKeyboard();
  EXPECT_EQ(long(WM_KEYDOWN), PressKey(VK_LEFT)) << "choosing changes nothing";
  struct Step {
    WORD key;
    RECT expected;
  } steps[] = {
      {VK_LEFT, {start.left - 10, start.top, start.right, start.bottom}},
      {VK_LEFT, {start.left - 20, start.top, start.right, start.bottom}},
      {VK_RIGHT, {start.left - 10, start.top, start.right, start.bottom}},
      {VK_UP, {start.left - 10, start.top, start.right, start.bottom}},  // the top-left corner
      {VK_UP, {start.left - 10, start.top - 10, start.right, start.bottom}},
      {VK_LEFT, {start.left - 20, start.top - 10, start.right, start.bottom}},
      {VK_DOWN, {start.left - 20, start.top, start.right, start.bottom}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message() << "key " << step.key << " left " << step.expected.left);
    bool changes = memcmp(&step.expected, &SizingState.rect, sizeof(RECT)) != 0;
    EXPECT_EQ(changes ? EventWindowSized : long(WM_KEYDOWN), PressKey(step.key));
    ExpectRect(step.expected, WindowRectOf(main_));
  }
  EXPECT_EQ(UINT(WMSZ_TOPLEFT), SizingState.edge);
  EXPECT_EQ(WPARAM(WMSZ_TOPLEFT), SizingHook.sizingEdges.back());

  SendKey(VK_ESCAPE, false);
  EXPECT_EQ(EventWindowSized, AwaitEventIgnoring(PointerNoise));
  EXPECT_EQ(long(WM_EXITSIZEMOVE), AwaitEventIgnoring(KeyNoise));
  SendKey(VK_ESCAPE, true);
  ExpectRect(start, WindowRectOf(main_));
  EXPECT_FALSE(SizingState.active);
  EXPECT_EQ(nullptr, GetCapture());
}

TEST_F(SizingTest, EnterRightAfterAKeyboardStartPutsThePointerBackAndAfterAMoveLeavesIt) {
  for (bool realMove : {false, true}) {
    SCOPED_TRACE(realMove ? "after a mouse move" : "without a mouse move");
    StartFromKeyboard();
    POINT saved = SizingState.savedCursor;
    EXPECT_EQ(saved.x, CursorPosition().x);
    POINT elsewhere = {saved.x + 40, saved.y - 30};
    if (realMove) {
      MovePointer(elsewhere);
      EXPECT_FALSE(SizingState.restoreCursor);
    } else {
      // The pointer moves without any move reaching the window.
      SetCursorPos(elsewhere.x, elsewhere.y);
      MSG move;
      while (PeekMessageA(&move, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE)) {
      }
      EXPECT_TRUE(SizingState.restoreCursor);
    }
    RECT before = WindowRectOf(main_);
    SendKey(VK_RETURN, false);
    EXPECT_EQ(long(WM_KEYDOWN), AwaitEventIgnoring(PointerNoise));
    EXPECT_FALSE(SizingState.active);
    EXPECT_EQ(long(WM_EXITSIZEMOVE), AwaitEventIgnoring(KeyNoise));
    SendKey(VK_RETURN, true);
    Drain();
    POINT now = CursorPosition();
    POINT expected = realMove ? elsewhere : saved;
    EXPECT_EQ(expected.x, now.x);
    EXPECT_EQ(expected.y, now.y);
    ExpectRect(before, WindowRectOf(main_));
  }
}

TEST_F(SizingTest, ChildWindowIsPlacedInItsParentsClientCoordinates) {
  HWND child = reinterpret_cast<HWND>(CreateNumberedWindow(
      2, 20, 30, 120, 80, WS_CHILD | WS_THICKFRAME, "", main_));
  ASSERT_TRUE(IsWindow(child));
  Drain();
  RECT start = WindowRectOf(child);
  GrabBorder(child, {start.right - 2, start.bottom - 2}, HTBOTTOMRIGHT);
  EXPECT_EQ(child, SizingState.window);
  MovePointer({start.right + 28, start.bottom + 18});
  ExpectRect({start.left, start.top, start.right + 30, start.bottom + 20}, WindowRectOf(child));
  ReleaseBorder();
  RECT placed = WindowRectOf(child);
  MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&placed), 2);
  EXPECT_EQ(20, placed.left);
  EXPECT_EQ(30, placed.top);
}

// Keys go to the focused window, which may be a runtime child window of the one being sized:
// they size the window being sized and leave the child where it is.
TEST_F(SizingTest, KeysTypedInAChildWindowSizeTheWindowBeingSized) {
  HWND child = reinterpret_cast<HWND>(
      CreateNumberedWindow(2, 20, 30, 120, 80, WS_CHILD, "", main_));
  ASSERT_TRUE(IsWindow(child));
  RECT start = WindowRectOf(main_);
  RECT childStart = WindowRectOf(child);
  StartFromKeyboard();
  SetFocus(child);
  Drain();
  PressKey(VK_RIGHT);
  EXPECT_EQ(EventWindowSized, PressKey(VK_RIGHT));
  EXPECT_EQ(child, EventState.retrieved.hwnd);
  ExpectRect({start.left, start.top, start.right + 10, start.bottom}, WindowRectOf(main_));
  ExpectRect(childStart, WindowRectOf(child));
  EXPECT_EQ(main_, SizingState.window);
  PressKey(VK_RETURN);
  EXPECT_FALSE(SizingState.active);
}

// The press a keyboard start tells the window of is sent, not posted: the window's hook sees one
// WM_LBUTTONDOWN with MK_LBUTTON at 0, 0 while the sizing is already active, and the caller's
// loop never returns it as 513. Only the button's down state counts, not its toggle state.
TEST_F(SizingTest, KeyboardStartTellsTheWindowOfOnePressAtTheOrigin) {
  for (BYTE buttonState : {BYTE(0x00), BYTE(0x01)}) {
    SCOPED_TRACE(buttonState ? "toggled" : "untouched");
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_LBUTTON] = buttonState;
    SetKeyboardState(keys);
    SizingHook.presses = 0;
    StartFromKeyboard();
    EXPECT_EQ(1, SizingHook.presses);
    EXPECT_EQ(WPARAM(MK_LBUTTON), SizingHook.pressFlags);
    EXPECT_EQ(0, SizingHook.pressPoint);
    EXPECT_TRUE(SizingHook.pressWhileActive);
    EXPECT_EQ(long(MarkerMessage), AwaitAfterMarker(main_)) << "no 513 reaches the loop";
    PressKey(VK_ESCAPE);
  }
  BYTE keys[256];
  GetKeyboardState(keys);
  keys[VK_LBUTTON] = 0;
  SetKeyboardState(keys);
}

TEST_F(SizingTest, ClosingTheWindowEndsItsSizingAndASecondSizeCommandIsIgnored) {
  StartFromKeyboard();
  EXPECT_EQ(0, SendMessageA(main_, WM_SYSCOMMAND, SC_SIZE | WMSZ_LEFT, 0));
  EXPECT_TRUE(SizingState.active);
  EXPECT_EQ(0u, SizingState.edge);
  EXPECT_EQ(1, SizingHook.limitQuestions);

  DestroyNumberedWindow(1);
  EXPECT_FALSE(SizingState.active);
  // Another window's keys are its own again.
  HWND other = OpenWindow(2, WS_OVERLAPPEDWINDOW, 200, 100);
  RECT before = WindowRectOf(other);
  SetForegroundWindow(other);
  SetFocus(other);
  Drain();
  PostMessageA(other, WM_KEYDOWN, VK_LEFT, 1);
  EXPECT_EQ(long(WM_KEYDOWN), AwaitEvent());
  ExpectRect(before, WindowRectOf(other));
}

// Sizing went on after the capture was taken away: later moves without a button resized.
TEST_F(SizingTest, LosingTheCaptureEndsTheSizingAtTheSizeReached) {
  HWND other = OpenWindow(2, WS_OVERLAPPEDWINDOW, 200, 100);
  struct Loss {
    const char* name;
    void (*take)(HWND sized, HWND other);
  } losses[] = {
      {"another window takes the capture", [](HWND, HWND o) { SetCapture(o); }},
      {"the window is disabled, as under a requester", [](HWND s, HWND) { EnableWindow(s, FALSE); }},
      {"the capture is released", [](HWND, HWND) { ReleaseCapture(); }},
  };
  for (const Loss& loss : losses) {
    SCOPED_TRACE(loss.name);
    RECT start = WindowRectOf(main_);
    PostMessageA(main_, WM_SYSCOMMAND, SC_SIZE | WMSZ_RIGHT, 0);
    EXPECT_EQ(long(WM_SYSCOMMAND), AwaitEventIgnoring(PointerNoise));
    ASSERT_TRUE(SizingState.active);
    EXPECT_EQ(long(WM_ENTERSIZEMOVE), AwaitEventIgnoring(PointerNoise));
    POINT to = {start.right + 30, (start.top + start.bottom) / 2};
    EXPECT_EQ(EventWindowSized, MovePointer(to));
    RECT reached = WindowRectOf(main_);
    EXPECT_EQ(to.x + 2, reached.right);

    loss.take(main_, other);
    EXPECT_FALSE(SizingState.active);
    EXPECT_EQ(long(WM_EXITSIZEMOVE), AwaitEventIgnoring(PointerNoise)) << "the loop sees the end";
    // A move without a button, over the window that was being sized, leaves its size alone.
    SendMessageA(main_, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    ExpectRect(reached, WindowRectOf(main_));
    ReleaseCapture();
    EnableWindow(main_, TRUE);
    MoveWindowToScreenRect(main_, start);
    Drain();
  }
}

TEST_F(SizingTest, LosingTheCaptureAfterAKeyboardStartPutsThePointerBack) {
  StartFromKeyboard();
  POINT saved = SizingState.savedCursor;
  SetCursorPos(saved.x + 40, saved.y - 30);
  MSG move;
  while (PeekMessageA(&move, nullptr, WM_MOUSEMOVE, WM_MOUSEMOVE, PM_REMOVE)) {
  }
  RECT before = WindowRectOf(main_);
  EnableWindow(main_, FALSE);
  EXPECT_FALSE(SizingState.active);
  EXPECT_EQ(long(WM_EXITSIZEMOVE), AwaitEventIgnoring(PointerNoise));
  EnableWindow(main_, TRUE);
  POINT now = CursorPosition();
  EXPECT_EQ(saved.x, now.x);
  EXPECT_EQ(saved.y, now.y);
  ExpectRect(before, WindowRectOf(main_));
}

TEST_F(SizingTest, WithFullWindowDraggingOffThePlatformSizesTheWindow) {
  SetFullWindowDragging(FALSE);
  InstallWindowHook(LoggingHook);
  RECT start = WindowRectOf(main_);
  SetFocus(main_);
  Drain();
  // The platform's own sizing runs inside the size command: the queued Left chooses the left
  // edge, and the queued Escape ends the sizing.
  PostMessageA(main_, WM_KEYDOWN, VK_LEFT, 1);
  PostMessageA(main_, WM_KEYDOWN, VK_ESCAPE, 1);
  SendMessageA(main_, WM_SYSCOMMAND, SC_SIZE, 0);
  EXPECT_FALSE(SizingState.active);
  int entered = FindHookEntry(main_, WM_ENTERSIZEMOVE);
  EXPECT_GE(entered, 0) << "the platform ran its loop";
  EXPECT_GT(FindHookEntry(main_, WM_EXITSIZEMOVE), entered);
  EXPECT_EQ(-1, FindHookEntry(main_, WM_LBUTTONDOWN));
  EXPECT_EQ(long(MarkerMessage), AwaitAfterMarker(main_)) << "nothing was posted";
  ExpectRect(start, WindowRectOf(main_));
}

}  // namespace
