// The message requester on real windows: which windows it disables while the box is up, who owns
// the box, and that it leaves every window and the DisabledWindowList as it found them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "box_watch.h"
#include "launcher/message_requester.h"
#include "runtime/heaps.h"
#include "support/runtime_setup.h"

namespace {

const char TestWindowClass[] = "RequesterTestWindow";
const char Caption[] = "Requester test";

struct WindowState {
  bool enabled;
  bool visible;
};

// The records of DisabledWindowList, newest first.
std::vector<DisabledWindowRecord> ListedRecords() {
  std::vector<DisabledWindowRecord> records;
  for (void* p = FirstObjectRecord(DisabledWindowList); p; p = NextObjectRecord(p))
    records.push_back(*static_cast<DisabledWindowRecord*>(p));
  return records;
}

// What the watcher saw while the box was up.
struct Sighting {
  std::vector<HWND> windows;  // the windows to look at
  std::vector<WindowState> states;
  std::vector<DisabledWindowRecord> records;
};

void LookAtWindows(BoxWatch*, void* context) {
  Sighting* sighting = static_cast<Sighting*>(context);
  for (HWND w : sighting->windows)
    sighting->states.push_back({IsWindowEnabled(w) != 0, IsWindowVisible(w) != 0});
  // The requester's thread waits in the box's modal loop: the list does not change meanwhile.
  sighting->records = ListedRecords();
}

HWND OpenTestWindow(bool visible, bool enabled, int x = 60) {
  HWND window = CreateWindowExA(0, TestWindowClass, "requester test", WS_OVERLAPPEDWINDOW, x, 80, 200,
                                120, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (visible) ShowWindow(window, SW_SHOWNOACTIVATE);
  if (!enabled) EnableWindow(window, FALSE);
  return window;
}

void DispatchPending() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

// Makes window the foreground window; true when the platform agreed.
bool BringToForeground(HWND window) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    SetForegroundWindow(window);
    DispatchPending();
    if (GetForegroundWindow() == window) return true;
    Sleep(20);
  }
  return false;
}

class Requester : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = TestWindowClass;
    RegisterClassA(&windowClass);
    ASSERT_EQ(DisabledWindowList, nullptr);
  }
  void TearDown() override {
    for (HWND w : windows) DestroyWindow(w);
    DispatchPending();
    EXPECT_EQ(DisabledWindowList, nullptr) << "the requester left records behind";
  }
  HWND Open(bool visible, bool enabled) {
    windows.push_back(OpenTestWindow(visible, enabled, 60 + 30 * static_cast<int>(windows.size())));
    return windows.back();
  }
  std::vector<HWND> windows;
};

TEST_F(Requester, OwnForegroundWindowOwnsTheBoxAndOtherWindowsAreLocked) {
  HWND front = Open(true, true);
  HWND other = Open(true, true);
  HWND hidden = Open(false, true);
  HWND disabled = Open(true, false);
  ASSERT_TRUE(BringToForeground(front));

  Sighting sighting;
  sighting.windows = {front, other, hidden, disabled};
  BoxWatch watch = {Caption, IDOK, LookAtWindows, &sighting};
  StartBoxWatch(&watch);
  int32_t answer = ShowModalMessage(Caption, "Some text\rafter a carriage return");
  ASSERT_TRUE(FinishBoxWatch(&watch));

  EXPECT_EQ(answer, IDOK);
  EXPECT_STREQ(watch.title, Caption);
  EXPECT_STREQ(watch.text, "Some text\rafter a carriage return");
  EXPECT_EQ(watch.owner, front);
  ASSERT_EQ(sighting.states.size(), 4u);
  EXPECT_FALSE(sighting.states[0].enabled) << "the box disables its owner itself";
  EXPECT_FALSE(sighting.states[1].enabled) << "another visible window of the thread is locked";
  EXPECT_TRUE(sighting.states[2].enabled) << "a hidden window is left alone";
  EXPECT_FALSE(sighting.states[3].enabled);
  // Only the window the requester disabled is recorded: not the owner, the hidden or the
  // already disabled window.
  ASSERT_EQ(sighting.records.size(), 1u);
  EXPECT_EQ(sighting.records[0].window, other);
  EXPECT_EQ(sighting.records[0].thread, GetCurrentThreadId());

  EXPECT_TRUE(IsWindowEnabled(front));
  EXPECT_TRUE(IsWindowEnabled(other));
  EXPECT_TRUE(IsWindowEnabled(hidden));
  EXPECT_FALSE(IsWindowVisible(hidden));
  EXPECT_FALSE(IsWindowEnabled(disabled)) << "a window disabled before the box stays disabled";
}

TEST_F(Requester, StyleIsPassedThroughAndTheAnswerReturned) {
  HWND front = Open(true, true);
  ASSERT_TRUE(BringToForeground(front));
  bool hasYes = false;
  BoxWatch watch = {Caption, IDNO, [](BoxWatch* w, void* hasYes) {
                      *static_cast<bool*>(hasYes) = GetDlgItem(w->box, IDYES) != nullptr;
                    }, &hasYes};
  StartBoxWatch(&watch);
  int32_t answer = ShowModalMessage(Caption, "Yes or no?", MB_YESNO);
  ASSERT_TRUE(FinishBoxWatch(&watch));
  EXPECT_EQ(answer, IDNO);
  EXPECT_TRUE(hasYes) << "the box has the buttons the style asks for";
}

// A second thread of this process with a window of its own, served until the thread is told to
// end.
struct OtherThread {
  HANDLE thread;
  DWORD id;
  HWND window;
  HANDLE ready;
};

DWORD WINAPI RunOtherThread(void* parameter) {
  OtherThread* other = static_cast<OtherThread*>(parameter);
  other->window = OpenTestWindow(true, true, 400);
  SetEvent(other->ready);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
  DestroyWindow(other->window);
  return 0;
}

TEST_F(Requester, AnotherThreadsForegroundWindowOwnsTheBoxAndIsNotRecorded) {
  HWND mine = Open(true, true);
  OtherThread other = {};
  other.ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  other.thread = CreateThread(nullptr, 0, RunOtherThread, &other, 0, &other.id);
  WaitForSingleObject(other.ready, INFINITE);
  ASSERT_TRUE(BringToForeground(other.window));

  Sighting sighting;
  sighting.windows = {mine, other.window};
  BoxWatch watch = {Caption, IDOK, LookAtWindows, &sighting};
  StartBoxWatch(&watch);
  ShowModalMessage(Caption, "text");
  ASSERT_TRUE(FinishBoxWatch(&watch));

  // The foreground window belongs to this process, so it owns the box.
  EXPECT_EQ(watch.owner, other.window);
  ASSERT_EQ(sighting.records.size(), 1u);
  EXPECT_EQ(sighting.records[0].window, mine);
  EXPECT_FALSE(sighting.states[0].enabled);
  EXPECT_TRUE(IsWindowEnabled(mine));
  EXPECT_TRUE(IsWindowEnabled(other.window));

  PostThreadMessageA(other.id, WM_QUIT, 0, 0);
  WaitForSingleObject(other.thread, INFINITE);
  CloseHandle(other.thread);
  CloseHandle(other.ready);
}

TEST_F(Requester, AnotherProgramInTheForegroundLeavesTheBoxWithoutOwner) {
  HWND first = Open(true, true);
  HWND second = Open(true, true);
  // The stand-in game opens a window, makes it the foreground window and waits for the event.
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, "ZindleRequesterTestRelease");
  std::string command = "\"" STANDIN_GAME_PATH "\" --window --wait ZindleRequesterTestRelease";
  STARTUPINFOA startup = {sizeof startup};
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  HWND foreign = nullptr;
  for (int look = 0; look < 400 && !foreign; ++look) {
    foreign = FindWindowA("ZindleStandIn", nullptr);
    if (!foreign) Sleep(50);
  }
  ASSERT_NE(foreign, nullptr);
  ASSERT_TRUE(BringToForeground(foreign));

  Sighting sighting;
  sighting.windows = {first, second, foreign};
  BoxWatch watch = {Caption, IDOK, LookAtWindows, &sighting};
  StartBoxWatch(&watch);
  ShowModalMessage(Caption, "text");
  ASSERT_TRUE(FinishBoxWatch(&watch));

  EXPECT_EQ(watch.owner, nullptr);
  ASSERT_EQ(sighting.states.size(), 3u);
  EXPECT_FALSE(sighting.states[0].enabled);
  EXPECT_FALSE(sighting.states[1].enabled);
  EXPECT_TRUE(sighting.states[2].enabled) << "another program's window is never touched";
  EXPECT_EQ(sighting.records.size(), 2u);
  EXPECT_TRUE(IsWindowEnabled(first));
  EXPECT_TRUE(IsWindowEnabled(second));

  SetEvent(release);
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  CloseHandle(release);
}

// What the inner requester of NestedRequesterEnablesOnlyItsOwnWindows saw and did.
struct NestedRun {
  HWND other;
  HANDLE innerDone;  // set once the inner requester has returned
  bool innerShown;
  bool otherEnabledAfterInner;
};
NestedRun Nested;

// Runs inside the outer box's modal loop, on the requester's own thread.
void CALLBACK ShowInnerRequester(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  BoxWatch inner = {"Inner requester", IDOK};
  StartBoxWatch(&inner);
  ShowModalMessage("Inner requester", "inner");
  Nested.innerShown = FinishBoxWatch(&inner);
  Nested.otherEnabledAfterInner = IsWindowEnabled(Nested.other) != 0;
  SetEvent(Nested.innerDone);
}

void AwaitInnerRequester(BoxWatch*, void*) { WaitForSingleObject(Nested.innerDone, 20000); }

// A second requester on the same thread enabled the windows the first one still held disabled.
TEST_F(Requester, NestedRequesterEnablesOnlyItsOwnWindows) {
  HWND front = Open(true, true);
  HWND other = Open(true, true);
  ASSERT_TRUE(BringToForeground(front));
  Nested = {other, CreateEventA(nullptr, TRUE, FALSE, nullptr), false, true};

  BoxWatch outer = {"Outer requester", IDOK, AwaitInnerRequester};
  StartBoxWatch(&outer);
  UINT_PTR timer = SetTimer(nullptr, 0, 100, ShowInnerRequester);
  ASSERT_NE(timer, 0u);
  ShowModalMessage("Outer requester", "outer");
  ASSERT_TRUE(FinishBoxWatch(&outer));
  CloseHandle(Nested.innerDone);

  ASSERT_TRUE(Nested.innerShown);
  EXPECT_FALSE(Nested.otherEnabledAfterInner) << "the outer box was still up";
  EXPECT_TRUE(IsWindowEnabled(other));
  EXPECT_TRUE(IsWindowEnabled(front));
}

TEST_F(Requester, UnlockingLeavesOtherThreadsRecords) {
  HWND theirs = Open(true, false);
  HWND mine = Open(true, true);
  HWND front = Open(true, true);
  ASSERT_TRUE(BringToForeground(front));
  // A record another thread made for a window it disabled.
  auto* foreign = static_cast<DisabledWindowRecord*>(
      AllocateObjectRecord(&DisabledWindowList, sizeof(ObjectRecordHeader) + sizeof(DisabledWindowRecord)));
  ASSERT_NE(foreign, nullptr);
  foreign->thread = GetCurrentThreadId() + 4;
  foreign->window = theirs;

  LockThreadWindows(1);
  EXPECT_FALSE(IsWindowEnabled(mine));
  EXPECT_EQ(ListedRecords().size(), 2u);
  LockThreadWindows(0);

  EXPECT_TRUE(IsWindowEnabled(mine));
  EXPECT_FALSE(IsWindowEnabled(theirs));
  std::vector<DisabledWindowRecord> left = ListedRecords();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].window, theirs);
  ReleaseObjectRecord(&DisabledWindowList, foreign);
}

TEST_F(Requester, WindowThatCannotBeRecordedIsNotDisabled) {
  HWND front = Open(true, true);
  HWND other = Open(true, true);
  ASSERT_TRUE(BringToForeground(front));
  // Without an ObjectHeap no record can be allocated.
  HANDLE heap = MemoryState.objectHeap;
  MemoryState.objectHeap = nullptr;
  LockThreadWindows(1);
  MemoryState.objectHeap = heap;

  EXPECT_TRUE(IsWindowEnabled(other)) << "nothing would ever enable it again";
  EXPECT_EQ(DisabledWindowList, nullptr);
  LockThreadWindows(0);
  EXPECT_TRUE(IsWindowEnabled(other));
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  StartRuntimeForTests();
  return RUN_ALL_TESTS();
}
