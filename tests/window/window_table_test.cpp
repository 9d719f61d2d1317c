// The window table: start-up, opening with the runtime's flags, geometry and centring, growth,
// AnyNumber identifiers, replacement, closing, the lookups, and refusal of bad numbers.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>

#include "runtime/heaps.h"
#include "window/window_slots.h"
#include "window_fixture.h"

namespace {

RECT WindowRectOf(HWND window) {
  RECT rect;
  GetWindowRect(window, &rect);
  return rect;
}

SIZE ClientSizeOf(HWND window) {
  RECT rect;
  GetClientRect(window, &rect);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

bool ClassRegistered(const char* name) {
  WNDCLASSA description;
  return GetClassInfoA(RuntimeState.instance, name, &description) != 0;
}

LONG StyleOf(HWND window) { return GetWindowLongA(window, GWL_STYLE); }

void ExpectScreen1024x768() {
  ASSERT_EQ(1024, GetSystemMetrics(SM_CXSCREEN)) << "the tests expect the 1024x768 test screen";
  ASSERT_EQ(768, GetSystemMetrics(SM_CYSCREEN));
}

}  // namespace

TEST_F(WindowTest, StartUpRegistersTheTemplateClassAndAnEmptyTable) {
  UnregisterClassA("TemplateClass", RuntimeState.instance);
  InitWindowLibrary();
  WNDCLASSA description;
  ASSERT_TRUE(GetClassInfoA(RuntimeState.instance, "TemplateClass", &description));
  EXPECT_EQ(UINT(CS_DBLCLKS), description.style);
  EXPECT_EQ(WNDPROC(SharedWindowProcedure), description.lpfnWndProc);
  EXPECT_EQ(0, description.cbClsExtra);
  EXPECT_EQ(0, description.cbWndExtra);
  EXPECT_EQ(HBRUSH(COLOR_BTNFACE + 1), description.hbrBackground);
  EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), description.hCursor);
  EXPECT_EQ(nullptr, description.lpszMenuName);

  EXPECT_EQ(10, WindowTable.capacity);
  ASSERT_NE(nullptr, WindowTable.records);
  EXPECT_EQ(12 * sizeof(WindowRecord), HeapSize(RuntimeState.heap, 0, WindowTable.records));
  for (int i = 0; i < 12; ++i) EXPECT_EQ(nullptr, WindowTable.records[i].handle);
  EXPECT_EQ(nullptr, WindowTable.dynamicWindows);
  EXPECT_EQ(nullptr, CurrentWindowHandle());
}

// The launcher's own window: WS_POPUP | StartHidden | CenterOnScreen, client 575 x 385.
TEST_F(WindowTest, LauncherFlagsGiveAHiddenCentredPopUp) {
  ExpectScreen1024x768();
  ObjectNumber result = CreateNumberedWindow(1, 122, 105, 575, 385, 0x90000001, "Zindle");
  HWND window = reinterpret_cast<HWND>(result);
  ASSERT_TRUE(IsWindow(window));
  EXPECT_EQ(window, WindowHandleOf(1));
  EXPECT_EQ(window, CurrentWindowHandle());
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(LONG(WS_POPUP), StyleOf(window) & ~(WS_CLIPSIBLINGS | WS_CLIPCHILDREN));
  SIZE client = ClientSizeOf(window);
  EXPECT_EQ(575, client.cx);
  EXPECT_EQ(385, client.cy);
  RECT outer = WindowRectOf(window);
  EXPECT_EQ(225, outer.left);
  EXPECT_EQ(192, outer.top);
  EXPECT_EQ(575, outer.right - outer.left);
  EXPECT_EQ(385, outer.bottom - outer.top);
  char className[64] = "";
  GetClassNameA(window, className, sizeof(className));
  EXPECT_STREQ("WindowClass_1", className);
  char title[64] = "";
  GetWindowTextA(window, title, sizeof(title));
  EXPECT_STREQ("Zindle", title);
  EXPECT_EQ(0, GetWindowLongA(window, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE);
}

TEST_F(WindowTest, StyleFollowsTheRuntimeFlags) {
  struct Case {
    DWORD flags;
    bool visible;
    DWORD present;  // style bits that must be set
    DWORD absent;   // style bits that must be clear
  } cases[] = {
      {0, true, WS_CAPTION | WS_VISIBLE, 0},
      {StartHidden, false, WS_CAPTION, WS_VISIBLE},
      {CenterOnScreen, true, WS_CAPTION | WS_VISIBLE, 0},
      {StartHidden | CenterOnScreen | CenterOnActiveWindow, false, WS_CAPTION, WS_VISIBLE},
      {WS_POPUP, true, WS_POPUP | WS_VISIBLE, WS_CAPTION},
      {WS_OVERLAPPEDWINDOW | StartHidden, false, WS_OVERLAPPEDWINDOW, WS_VISIBLE},
      {WS_OVERLAPPEDWINDOW | WS_MAXIMIZE | StartHidden, false, WS_MAXIMIZE, WS_VISIBLE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "flags 0x" << std::hex << c.flags);
    HWND window = reinterpret_cast<HWND>(CreateNumberedWindow(3, 40, 50, 200, 100, c.flags, ""));
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(c.visible, bool(IsWindowVisible(window)));
    EXPECT_EQ(c.present, DWORD(StyleOf(window)) & c.present);
    EXPECT_EQ(0u, DWORD(StyleOf(window)) & c.absent);
    // The client area has the size asked for (a maximized window is sized by the platform);
    // the runtime's bits 1 and 2 never reach the style.
    if (!(c.flags & WS_MAXIMIZE)) {
      SIZE client = ClientSizeOf(window);
      EXPECT_EQ(200, client.cx);
      EXPECT_EQ(100, client.cy);
    }
    EXPECT_EQ(0, StyleOf(window) & 3);
    DestroyNumberedWindow(3);
  }
}

TEST_F(WindowTest, UncentredWindowKeepsItsOuterPositionAndAdjustedSize) {
  HWND window = reinterpret_cast<HWND>(CreateNumberedWindow(2, 40, 50, 200, 100, 0, "t"));
  RECT expected = {40, 50, 240, 150};
  AdjustWindowRect(&expected, WS_CAPTION | WS_VISIBLE, FALSE);
  RECT outer = WindowRectOf(window);
  EXPECT_EQ(40, outer.left);
  EXPECT_EQ(50, outer.top);
  EXPECT_EQ(expected.right - expected.left, outer.right - outer.left);
  EXPECT_EQ(expected.bottom - expected.top, outer.bottom - outer.top);
}

TEST_F(WindowTest, VisibleMaximizeFlagShowsTheWindowMaximized) {
  HWND window = reinterpret_cast<HWND>(
      CreateNumberedWindow(2, 40, 50, 200, 100, WS_OVERLAPPEDWINDOW | WS_MAXIMIZE, "t"));
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_TRUE(IsZoomed(window));
}

TEST_F(WindowTest, ScreenCentringClampsWindowsLargerThanTheScreen) {
  ExpectScreen1024x768();
  struct Case {
    long width, height, left, top;
  } cases[] = {
      {2000, 300, 0, 234},   // wider than the screen: left edge at 0
      {300, 1000, 362, 0},   // taller than the screen: top edge at 0
      {301, 201, 362, 284},  // odd sizes halve by an arithmetic shift
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    HWND window = reinterpret_cast<HWND>(
        CreateNumberedWindow(4, 5, 5, c.width, c.height, WS_POPUP | CenterOnScreen, ""));
    RECT outer = WindowRectOf(window);
    EXPECT_EQ(c.left, outer.left);
    EXPECT_EQ(c.top, outer.top);
    DestroyNumberedWindow(4);
  }
}

// Centring places the outer rectangle, frame included, not the client area.
TEST_F(WindowTest, ScreenCentringCentresTheOuterRectangleOfAFramedWindow) {
  ExpectScreen1024x768();
  HWND window = reinterpret_cast<HWND>(
      CreateNumberedWindow(4, 5, 5, 300, 200, WS_CAPTION | CenterOnScreen, ""));
  RECT frame = {0, 0, 300, 200};
  AdjustWindowRect(&frame, WS_CAPTION | WS_VISIBLE, FALSE);
  long width = frame.right - frame.left;
  long height = frame.bottom - frame.top;
  ASSERT_GT(width, 300) << "the frame must add to the width for the case to show anything";
  ASSERT_GT(height, 200);
  RECT outer = WindowRectOf(window);
  EXPECT_EQ(width, outer.right - outer.left);
  EXPECT_EQ(height, outer.bottom - outer.top);
  EXPECT_EQ(512 - (width >> 1), outer.left);
  EXPECT_EQ(384 - (height >> 1), outer.top);
}

TEST_F(WindowTest, ActiveWindowCentringUsesTheActiveWindowAndClampsAtZero) {
  struct Case {
    RECT active;   // outer rectangle of the active pop-up
    DWORD flags;   // centring flags of the new window
    long left, top;
  } cases[] = {
      {{100, 100, 400, 300}, CenterOnActiveWindow, 200, 175},
      {{100, 100, 400, 300}, CenterOnScreen | CenterOnActiveWindow, 200, 175},  // 2 wins
      {{0, 10, 100, 110}, CenterOnActiveWindow, 0, 0},  // negative results become 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "active at " << c.active.left << "," << c.active.top);
    HWND active = reinterpret_cast<HWND>(CreateNumberedWindow(
        1, c.active.left, c.active.top, c.active.right - c.active.left,
        c.active.bottom - c.active.top, WS_POPUP, "active"));
    SetActiveWindow(active);
    ASSERT_EQ(active, GetActiveWindow());
    long width = c.active.left == 0 ? 400 : 100;
    long height = c.active.left == 0 ? 400 : 50;
    HWND window = reinterpret_cast<HWND>(
        CreateNumberedWindow(2, 700, 700, width, height, WS_POPUP | StartHidden | c.flags, ""));
    RECT outer = WindowRectOf(window);
    EXPECT_EQ(c.left, outer.left);
    EXPECT_EQ(c.top, outer.top);
    DestroyNumberedWindow(2);
    DestroyNumberedWindow(1);
  }
}

TEST_F(WindowTest, ActiveWindowCentringWithoutActiveWindowCentresOnScreen) {
  ExpectScreen1024x768();
  SetActiveWindow(nullptr);
  ASSERT_EQ(nullptr, GetActiveWindow());
  HWND window = reinterpret_cast<HWND>(CreateNumberedWindow(
      2, 7, 7, 200, 100, WS_POPUP | StartHidden | CenterOnScreen | CenterOnActiveWindow, ""));
  RECT outer = WindowRectOf(window);
  EXPECT_EQ(412, outer.left);
  EXPECT_EQ(334, outer.top);
}

TEST_F(WindowTest, TableGrowsByThirtyBeyondTheNumberAndKeepsItsWindows) {
  HWND handles[10];
  for (int number = 0; number < 10; ++number) {
    handles[number] = reinterpret_cast<HWND>(
        CreateNumberedWindow(number, 0, 0, 50, 50, WS_POPUP | StartHidden, ""));
    ASSERT_TRUE(IsWindow(handles[number]));
  }
  EXPECT_EQ(10, WindowTable.capacity);
  HWND ten = reinterpret_cast<HWND>(
      CreateNumberedWindow(10, 0, 0, 50, 50, WS_POPUP | StartHidden, ""));
  ASSERT_TRUE(IsWindow(ten));
  EXPECT_EQ(40, WindowTable.capacity);
  EXPECT_EQ(42 * sizeof(WindowRecord), HeapSize(RuntimeState.heap, 0, WindowTable.records));
  for (int number = 0; number < 10; ++number) {
    EXPECT_EQ(handles[number], WindowHandleOf(number));
    EXPECT_EQ(number, NumberOfHandle(handles[number]));
  }
  EXPECT_EQ(ten, WindowHandleOf(10));
  for (int slot = 11; slot < 42; ++slot) EXPECT_EQ(nullptr, WindowTable.records[slot].handle);

  // Slot capacity is never used: opening number capacity grows the table first.
  EXPECT_EQ(&WindowTable.emptyRecord, RecordOf(WindowTable.capacity));
  HWND forty = reinterpret_cast<HWND>(
      CreateNumberedWindow(40, 0, 0, 50, 50, WS_POPUP | StartHidden, ""));
  EXPECT_EQ(70, WindowTable.capacity);
  EXPECT_EQ(40, NumberOfHandle(forty));
  EXPECT_EQ(nullptr, WindowTable.records[70].handle);
  EXPECT_EQ(&WindowTable.emptyRecord, RecordOf(70));
}

TEST_F(WindowTest, AnyNumberWindowsLiveOutsideTheTableAndEveryLookupAcceptsThem) {
  ObjectNumber first = CreateNumberedWindow(AnyNumber, 10, 10, 120, 80, WS_POPUP, "any");
  ObjectNumber second = CreateNumberedWindow(AnyNumber, 10, 10, 120, 80, WS_POPUP, "any");
  for (ObjectNumber id : {first, second}) {
    EXPECT_NE(0, id);
    EXPECT_NE(AnyNumber, id);
    EXPECT_TRUE(id < 0 || id > WindowTable.capacity) << id;
  }
  EXPECT_NE(first, second);
  HWND window = WindowHandleOf(first);
  ASSERT_TRUE(IsWindow(window));
  EXPECT_EQ(WindowHandleOf(second), CurrentWindowHandle());
  EXPECT_EQ(first, NumberOfHandle(window));
  EXPECT_EQ(window, RecordOf(first)->handle);
  for (int slot = 0; slot < 12; ++slot) EXPECT_EQ(nullptr, WindowTable.records[slot].handle);

  const std::string expectedClass = "WindowClass_" + std::to_string(first);
  char className[64] = "";
  GetClassNameA(window, className, sizeof(className));
  EXPECT_EQ(expectedClass, className);

  SelectCurrentWindow(first);
  EXPECT_EQ(window, CurrentWindowHandle());
  SetWindowHidden(first, 1);
  EXPECT_FALSE(IsWindowVisible(window));
  SetWindowHidden(first, 0);
  EXPECT_TRUE(IsWindowVisible(window));

  DestroyNumberedWindow(first);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(nullptr, WindowHandleOf(first));
  EXPECT_EQ(&WindowTable.emptyRecord, RecordOf(first));
  EXPECT_FALSE(ClassRegistered(expectedClass.c_str()));
  EXPECT_EQ(nullptr, FindObjectRecord(WindowTable.dynamicWindows, reinterpret_cast<void*>(first)));
  EXPECT_TRUE(IsWindow(WindowHandleOf(second)));
}

// What broke: the number went through a 32-bit long, so on 64-bit AnyNumber windows whose
// addresses differ only above bit 31 got the same class name.
TEST_F(WindowTest, ClassNameCarriesEveryDigitOfThePointerSizedNumber) {
  const ObjectNumber numbers[] = {0, 7, HighestWindowNumber, AnyNumber, INTPTR_MAX, INTPTR_MIN};
  for (ObjectNumber number : numbers) {
    SCOPED_TRACE(number);
    FormatClassName(number);
    EXPECT_EQ("WindowClass_" + std::to_string(number), WindowTable.className);
  }
}

TEST_F(WindowTest, ReopeningANumberReplacesTheWindowAndItsClass) {
  HWND old = reinterpret_cast<HWND>(CreateNumberedWindow(1, 0, 0, 100, 100, WS_POPUP, "a"));
  ASSERT_TRUE(IsWindow(old));
  // A class that outlived its window would be reused; a re-registered one takes the new brush.
  HBRUSH brush = WindowTable.windowClass.hbrBackground;
  WindowTable.windowClass.hbrBackground = HBRUSH(COLOR_WINDOW + 1);
  HWND fresh = reinterpret_cast<HWND>(CreateNumberedWindow(1, 0, 0, 100, 100, WS_POPUP, "b"));
  WindowTable.windowClass.hbrBackground = brush;
  ASSERT_TRUE(IsWindow(fresh));
  EXPECT_FALSE(IsWindow(old));
  EXPECT_EQ(fresh, WindowHandleOf(1));
  EXPECT_EQ(ULONG_PTR(COLOR_WINDOW + 1), GetClassLongPtrA(fresh, GCLP_HBRBACKGROUND));

  DestroyNumberedWindow(1);
  EXPECT_FALSE(IsWindow(fresh));
  EXPECT_FALSE(ClassRegistered("WindowClass_1"));
  EXPECT_EQ(nullptr, WindowHandleOf(1));
  DestroyNumberedWindow(1);  // nothing left to destroy
}

TEST_F(WindowTest, ClosingOrHidingAnOwnedWindowActivatesItsOwnerFirst) {
  HWND owner = reinterpret_cast<HWND>(CreateNumberedWindow(1, 0, 0, 200, 200, WS_POPUP, "o"));
  HWND owned = reinterpret_cast<HWND>(
      CreateNumberedWindow(2, 50, 50, 100, 100, WS_POPUP, "p", owner));
  ASSERT_EQ(owner, GetWindow(owned, GW_OWNER));
  InstallWindowHook(LoggingHook);

  SetActiveWindow(owned);
  ASSERT_EQ(owned, GetActiveWindow());
  HookLog.count = 0;
  SetWindowHidden(2, 1);
  EXPECT_FALSE(IsWindowVisible(owned));
  int activated = FindHookEntry(owner, WM_ACTIVATE);
  int hidden = FindHookEntry(owned, WM_SHOWWINDOW);
  ASSERT_GE(activated, 0);
  ASSERT_GE(hidden, 0);
  EXPECT_LT(activated, hidden);

  // The platform itself activates the owner once the destroyed window has been hidden; the
  // owner is activated before the window starts to change at all.
  SetWindowHidden(2, 0);
  SetActiveWindow(owned);
  ASSERT_EQ(owned, GetActiveWindow());
  HookLog.count = 0;
  DestroyNumberedWindow(2);
  activated = FindHookEntry(owner, WM_ACTIVATE);
  int changing = FindHookEntry(owned, WM_WINDOWPOSCHANGING);
  ASSERT_GE(activated, 0);
  ASSERT_GE(changing, 0);
  EXPECT_LT(activated, changing);
}

namespace {

// What a re-entering hook does: on the first message of the given kind (to watched, or to any
// window when watched is 0) it opens window open, or closes the window it sees when open is -1.
struct ReentryRecord {
  UINT message;
  HWND watched;
  ObjectNumber open;
  bool done;
  void* grabbed;  // taken right after a nested closing, of the size of a two-entry shortcut block
};
ReentryRecord Reentry;

LRESULT CALLBACK ReenteringHook(HWND window, UINT message, WPARAM, LPARAM) {
  if (Reentry.done || message != Reentry.message) return HookPassOn;
  if (Reentry.watched && window != Reentry.watched) return HookPassOn;
  Reentry.done = true;
  if (Reentry.open == -1) {
    DestroyNumberedWindow(EventSourceWindow());
    // Reuses the shortcut block at once should the nested closing have freed it.
    Reentry.grabbed = HeapAlloc(RuntimeState.heap, 0, 2 * sizeof(ACCEL));
  } else {
    CreateNumberedWindow(Reentry.open, 0, 0, 50, 50, WS_POPUP | StartHidden, "grow");
  }
  return HookPassOn;
}

}  // namespace

// Broke: opening and closing kept the record's address across the messages they send, so a hook
// that opened a window and moved the table had them write into the freed table.
TEST_F(WindowTest, HookThatMovesTheTableWhileAWindowOpensOrClosesLeavesTheSlotsRight) {
  // Blocks larger than any the heap has free land after the table and keep it from growing in
  // place.
  void* guard = HeapAlloc(RuntimeState.heap, 0, 0x4000);
  InstallWindowHook(ReenteringHook);
  Reentry = {WM_CREATE, nullptr, 60, false, nullptr};
  WindowRecord* before = WindowTable.records;
  HWND one = reinterpret_cast<HWND>(CreateNumberedWindow(1, 0, 0, 80, 80, WS_POPUP, "one"));
  ASSERT_TRUE(Reentry.done);
  ASSERT_NE(before, WindowTable.records) << "the table grew in place: the case shows nothing";
  ASSERT_TRUE(IsWindow(one));
  EXPECT_EQ(one, WindowHandleOf(1));
  EXPECT_EQ(1, NumberOfHandle(one));
  EXPECT_EQ(60, NumberOfHandle(WindowHandleOf(60)));

  HWND two = reinterpret_cast<HWND>(CreateNumberedWindow(2, 0, 0, 80, 80, WS_POPUP, "two"));
  void* secondGuard = HeapAlloc(RuntimeState.heap, 0, 0x4000);
  Reentry = {WM_DESTROY, two, 90, false, nullptr};
  before = WindowTable.records;
  DestroyNumberedWindow(2);
  ASSERT_TRUE(Reentry.done);
  ASSERT_NE(before, WindowTable.records) << "the table grew in place: the case shows nothing";
  EXPECT_FALSE(IsWindow(two));
  EXPECT_EQ(nullptr, WindowTable.records[2].handle);
  EXPECT_EQ(-1, NumberOfHandle(two));
  EXPECT_EQ(90, NumberOfHandle(WindowHandleOf(90)));
  EXPECT_EQ(one, WindowHandleOf(1));
  HeapFree(RuntimeState.heap, 0, secondGuard);
  HeapFree(RuntimeState.heap, 0, guard);
}

// Broke: a hook closing the same window on WM_DESTROY ran the whole closing inside the first
// one, which then freed the shortcut block again (and for AnyNumber read its freed record).
TEST_F(WindowTest, ClosingTheSameWindowFromItsDestroyMessageFreesEverythingOnce) {
  InstallWindowHook(ReenteringHook);
  for (ObjectNumber number : {ObjectNumber(3), AnyNumber}) {
    SCOPED_TRACE(number);
    ObjectNumber result = CreateNumberedWindow(number, 0, 0, 80, 80, WS_POPUP, "closing");
    ObjectNumber id = number == AnyNumber ? result : number;
    HWND window = WindowHandleOf(id);
    ASSERT_TRUE(IsWindow(window));
    WindowRecord* record = RecordOf(id);
    ACCEL* entries =
        static_cast<ACCEL*>(HeapAlloc(RuntimeState.heap, HEAP_ZERO_MEMORY, 2 * sizeof(ACCEL)));
    entries[0] = {FVIRTKEY, 'A', 100};
    entries[1] = {FVIRTKEY, 'B', 101};
    record->shortcutCount = 2;
    record->shortcutEntries = entries;
    record->shortcutTable = CreateAcceleratorTableA(entries, 2);
    HACCEL table = record->shortcutTable;
    ASSERT_NE(nullptr, table);

    Reentry = {WM_DESTROY, window, -1, false, nullptr};
    DestroyNumberedWindow(id);
    ASSERT_TRUE(Reentry.done);
    ASSERT_NE(nullptr, Reentry.grabbed);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(nullptr, WindowHandleOf(id));
    EXPECT_EQ(nullptr, WindowTable.dynamicWindows);
    EXPECT_TRUE(HeapValidate(RuntimeState.heap, 0, Reentry.grabbed))
        << "the shortcut block was freed again after the nested closing";
    EXPECT_FALSE(DestroyAcceleratorTable(table)) << "the shortcut table was not destroyed";
    HeapFree(RuntimeState.heap, 0, Reentry.grabbed);
  }
}

TEST_F(WindowTest, DestroyAllWindowsClosesDynamicNewestFirstThenTableFromTheTop) {
  DestroyAllWindows();  // nothing open: nothing happens
  EXPECT_EQ(10, WindowTable.capacity);

  HWND three = reinterpret_cast<HWND>(CreateNumberedWindow(3, 0, 0, 50, 50, WS_POPUP, ""));
  HWND seven = reinterpret_cast<HWND>(CreateNumberedWindow(7, 0, 0, 50, 50, WS_POPUP, ""));
  HWND older = WindowHandleOf(CreateNumberedWindow(AnyNumber, 0, 0, 50, 50, WS_POPUP, ""));
  HWND newer = WindowHandleOf(CreateNumberedWindow(AnyNumber, 0, 0, 50, 50, WS_POPUP, ""));
  InstallWindowHook(LoggingHook);
  HookLog.count = 0;
  DestroyAllWindows();
  HWND order[] = {newer, older, seven, three};
  int previous = -1;
  for (HWND window : order) {
    EXPECT_FALSE(IsWindow(window));
    int at = FindHookEntry(window, WM_DESTROY);
    EXPECT_GT(at, previous);
    previous = at;
  }
  EXPECT_EQ(nullptr, WindowTable.dynamicWindows);
  EXPECT_FALSE(ClassRegistered("WindowClass_3"));
  EXPECT_FALSE(ClassRegistered("WindowClass_7"));
}

namespace {

// What a hook does on the WM_DESTROY of the window it watches, during DestroyAllWindows.
struct EndingRecord {
  HWND watched;
  ObjectNumber close;  // a window to close then, or 0
  bool openAnother;    // open another AnyNumber window then
  HWND opened;
};
EndingRecord Ending;

LRESULT CALLBACK EndingHook(HWND window, UINT message, WPARAM, LPARAM) {
  if (message != WM_DESTROY || window != Ending.watched) return HookPassOn;
  Ending.watched = nullptr;
  if (Ending.close) DestroyNumberedWindow(Ending.close);
  if (Ending.openAnother) {
    Ending.opened = WindowHandleOf(CreateNumberedWindow(AnyNumber, 0, 0, 50, 50, WS_POPUP, ""));
  }
  return HookPassOn;
}

// Ends the test program when DestroyAllWindows does not come back, so that the fault shows as a
// failure instead of a test that spins until CTest's own limit.
DWORD WINAPI EndingWatchdog(void*) {
  Sleep(30000);
  fprintf(stderr, "DestroyAllWindows never returned\n");
  fflush(stderr);
  ExitProcess(3);
}

}  // namespace

// Broke: DestroyAllWindows kept the next AnyNumber record across a closing; a hook that closed
// that window freed the record under the walk, which then followed the heap's free list forever.
TEST_F(WindowTest, DestroyAllWindowsSurvivesHooksThatCloseOrOpenAnyNumberWindows) {
  InstallWindowHook(EndingHook);
  struct Case {
    const char* name;
    bool closeOlder;
    bool openAnother;
  } cases[] = {
      {"the newest closes the next one on its destruction", true, false},
      {"the newest opens another one on its destruction", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HWND table = reinterpret_cast<HWND>(CreateNumberedWindow(4, 0, 0, 50, 50, WS_POPUP, ""));
    // A record left by a failed opening, oldest in the list: the walk passes over it.
    CreateNumberedWindow(AnyNumber, 0, 0, 50, 50, WS_CHILD, "", reinterpret_cast<HWND>(0x7FF0));
    ObjectNumber older = CreateNumberedWindow(AnyNumber, 0, 0, 50, 50, WS_POPUP, "");
    ObjectNumber newer = CreateNumberedWindow(AnyNumber, 0, 0, 50, 50, WS_POPUP, "");
    HWND olderWindow = WindowHandleOf(older);
    HWND newerWindow = WindowHandleOf(newer);
    Ending = {newerWindow, c.closeOlder ? older : 0, c.openAnother, nullptr};

    HANDLE watchdog = CreateThread(nullptr, 0, EndingWatchdog, nullptr, 0, nullptr);
    DestroyAllWindows();
    TerminateThread(watchdog, 0);
    CloseHandle(watchdog);

    EXPECT_EQ(nullptr, Ending.watched) << "the hook never ran";
    for (HWND window : {table, olderWindow, newerWindow, Ending.opened}) {
      EXPECT_FALSE(window && IsWindow(window));
    }
    if (c.openAnother) EXPECT_NE(nullptr, Ending.opened);
    for (void* record = FirstObjectRecord(WindowTable.dynamicWindows); record;
         record = NextObjectRecord(record)) {
      EXPECT_EQ(nullptr, static_cast<WindowRecord*>(record)->handle)
          << "only records of failed openings stay";
    }
    EXPECT_TRUE(HeapValidate(MemoryState.objectHeap, 0, nullptr));
  }
}

TEST_F(WindowTest, ClientSizeAndVisibilityOfTheCurrentWindow) {
  HWND first = reinterpret_cast<HWND>(CreateNumberedWindow(1, 60, 70, 300, 200, 0, ""));
  HWND second = reinterpret_cast<HWND>(CreateNumberedWindow(2, 0, 0, 100, 100, WS_POPUP, ""));
  EXPECT_EQ(second, CurrentWindowHandle());
  SelectCurrentWindow(1);
  EXPECT_EQ(first, CurrentWindowHandle());
  RECT before = WindowRectOf(first);
  SetCurrentWindowClientSize(575, 385);
  SIZE client = ClientSizeOf(first);
  EXPECT_EQ(575, client.cx);
  EXPECT_EQ(385, client.cy);
  RECT after = WindowRectOf(first);
  EXPECT_EQ(before.left, after.left);
  EXPECT_EQ(before.top, after.top);
  SIZE untouched = ClientSizeOf(second);
  EXPECT_EQ(100, untouched.cx);

  SetWindowHidden(1, 5);
  EXPECT_FALSE(IsWindowVisible(first));
  SetWindowHidden(1, 0);
  EXPECT_TRUE(IsWindowVisible(first));

  // Destroying the current window leaves the stale handle; selecting a free number gives 0.
  DestroyNumberedWindow(1);
  EXPECT_EQ(first, CurrentWindowHandle());
  SelectCurrentWindow(1);
  EXPECT_EQ(nullptr, CurrentWindowHandle());
}

TEST_F(WindowTest, FailedCreationLeavesTheSlotFreeAndTheClassRegistered) {
  HWND current = reinterpret_cast<HWND>(CreateNumberedWindow(1, 0, 0, 50, 50, WS_POPUP, ""));
  HWND notAWindow = reinterpret_cast<HWND>(0x7FF0);
  EXPECT_EQ(0, CreateNumberedWindow(5, 0, 0, 50, 50, WS_CHILD, "", notAWindow));
  EXPECT_EQ(nullptr, WindowTable.records[5].handle);
  EXPECT_EQ(current, CurrentWindowHandle());
  EXPECT_TRUE(ClassRegistered("WindowClass_5"));
  // The class of that name is still there; a later opening under 5 uses it and succeeds.
  current = reinterpret_cast<HWND>(CreateNumberedWindow(5, 0, 0, 50, 50, WS_POPUP, ""));
  EXPECT_TRUE(IsWindow(current));
  EXPECT_EQ(current, CurrentWindowHandle());

  EXPECT_EQ(0, CreateNumberedWindow(AnyNumber, 0, 0, 50, 50, WS_CHILD, "", notAWindow));
  ASSERT_NE(nullptr, WindowTable.dynamicWindows);
  EXPECT_EQ(nullptr, reinterpret_cast<WindowRecord*>(WindowTable.dynamicWindows + 1)->handle);
  EXPECT_EQ(current, CurrentWindowHandle());
}

TEST_F(WindowTest, ShortcutStageRunsOnceTheWindowExists) {
  static ObjectNumber seenNumber;
  static HWND seenHandle;
  seenNumber = -5;
  WindowStages.createShortcuts = [](ObjectNumber number) {
    seenNumber = number;
    seenHandle = WindowHandleOf(number);
  };
  HWND window = reinterpret_cast<HWND>(CreateNumberedWindow(6, 0, 0, 50, 50, WS_POPUP, ""));
  EXPECT_EQ(6, seenNumber);
  EXPECT_EQ(window, seenHandle);
  ObjectNumber id = CreateNumberedWindow(AnyNumber, 0, 0, 50, 50, WS_POPUP, "");
  EXPECT_EQ(id, seenNumber);
  EXPECT_EQ(WindowHandleOf(id), seenHandle);
  seenNumber = -5;
  CreateNumberedWindow(7, 0, 0, 50, 50, WS_CHILD, "", reinterpret_cast<HWND>(0x7FF0));
  EXPECT_EQ(-5, seenNumber) << "a failed opening makes no shortcut table";
}

// Numbers below -1, numbers past the highest table number and identifiers never handed out
// are refused by openings and yield no window in lookups, without touching any memory.
TEST_F(WindowTest, BadNumbersFailWithoutTouchingTheTableOrOtherObjects) {
  HWND victim = reinterpret_cast<HWND>(CreateNumberedWindow(1, 0, 0, 50, 50, WS_POPUP, "v"));
  ObjectNumber live = CreateNumberedWindow(AnyNumber, 0, 0, 50, 50, WS_POPUP, "live");
  HWND liveWindow = WindowHandleOf(live);

  // A look-alike of a dynamic record, naming a real window: a lookup that trusted the number
  // would act on the victim window or write into this block.
  struct {
    ObjectRecordHeader header;
    WindowRecord record;
    unsigned char guard[16];
  } fake;
  FillMemory(&fake, sizeof(fake), 0xAB);
  fake.record = {victim, 2, nullptr, nullptr};
  ObjectNumber forged = reinterpret_cast<ObjectNumber>(&fake.record);
  unsigned char expected[sizeof(fake)];
  CopyMemory(expected, &fake, sizeof(fake));

  ObjectNumber destroyed = CreateNumberedWindow(AnyNumber, 0, 0, 50, 50, WS_POPUP, "gone");
  DestroyNumberedWindow(destroyed);

  WindowRecord* records = WindowTable.records;
  ObjectNumber capacity = WindowTable.capacity;
  ObjectRecordHeader* head = WindowTable.dynamicWindows;

  ObjectNumber bad[] = {-2, -100, INT_MIN, INT_MAX, HighestWindowNumber + 1, forged, destroyed};
  for (ObjectNumber number : bad) {
    SCOPED_TRACE(number);
    SelectCurrentWindow(1);
    EXPECT_EQ(&WindowTable.emptyRecord, RecordOf(number));
    EXPECT_EQ(nullptr, WindowHandleOf(number));
    SelectCurrentWindow(number);
    EXPECT_EQ(nullptr, CurrentWindowHandle());
    DestroyNumberedWindow(number);
    SetWindowHidden(number, 1);
    SetWindowHidden(number, 0);
    EXPECT_EQ(0, CreateNumberedWindow(number, 0, 0, 50, 50, WS_POPUP, "bad"));
    EXPECT_TRUE(IsWindow(victim));
    EXPECT_TRUE(IsWindowVisible(victim));
    EXPECT_TRUE(IsWindow(liveWindow));
    EXPECT_EQ(records, WindowTable.records);
    EXPECT_EQ(capacity, WindowTable.capacity);
    EXPECT_EQ(head, WindowTable.dynamicWindows);
    EXPECT_EQ(0, memcmp(expected, &fake, sizeof(fake)));
    WindowRecord empty = {};
    EXPECT_EQ(0, memcmp(&empty, &WindowTable.emptyRecord, sizeof(empty)));
  }
  // A live identifier is no table number: reopening it is refused and leaves the window alone.
  EXPECT_EQ(0, CreateNumberedWindow(live, 0, 0, 50, 50, WS_POPUP, "again"));
  EXPECT_EQ(liveWindow, WindowHandleOf(live));
  EXPECT_EQ(capacity, WindowTable.capacity);
  // No handle names no window, even though free slots hold handle 0.
  EXPECT_EQ(-1, NumberOfHandle(nullptr));
  EXPECT_EQ(-1, NumberOfHandle(reinterpret_cast<HWND>(0x7FF0)));
}
