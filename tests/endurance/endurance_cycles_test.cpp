// A thousand cycles in one process of what a long-lived program on this runtime does again and
// again: a skinned window opened with its face, buttons, a coloured label and its image, shown,
// painted and closed; images built from a BMP, an icon file and blank, under numbers and under
// AnyNumber, rebuilt and released; gadget colours assigned and replaced. Afterwards the process
// holds exactly what it held after the first cycle: GDI and USER objects and heap bytes in use.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "endurance/gui_counts.h"
#include "gadget/gadget_kinds.h"
#include "gadget/gadget_table.h"
#include "runtime/heaps.h"
#include "skin/image_store.h"
#include "skin/skin_block.h"
#include "skin/skin_engine.h"
#include "skin/zindle_skin.h"
#include "support/runtime_setup.h"
#include "support/whole_file.h"
#include "window/events.h"
#include "window/window_table.h"

namespace {

const int Cycles = 1000;

LRESULT CALLBACK ColourHook(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLORBTN)
    return ResolveGadgetColours(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam));
  return HookPassOn;
}

void ServePending() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
}

// Lets the platform finish what it does after windows close (its display driver answers some of
// it later), so that the counts hold what the process keeps, not what is still on its way out.
void Settle() {
  for (int i = 0; i < 5; ++i) {
    ServePending();
    Sleep(100);
  }
}

bool SameHoldings(const ProcessHoldings& a, const ProcessHoldings& b) {
  return a.gdiObjects == b.gdiObjects && a.userObjects == b.userObjects && a.windows == b.windows &&
         a.icons == b.icons && a.runtimeHeapBytes == b.runtimeHeapBytes && a.objectHeapBytes == b.objectHeapBytes &&
         a.blockHeapBytes == b.blockHeapBytes && a.processHeapBytes == b.processHeapBytes;
}

// Counts taken once the platform has settled: up to ten seconds for them to come back to expected.
ProcessHoldings SettledHoldings(const ProcessHoldings& expected) {
  ProcessHoldings now = {};
  for (int wait = 0; wait < 20; ++wait) {
    Settle();
    now = TakeHoldings();
    if (SameHoldings(expected, now)) break;
  }
  return now;
}

// The runtime's own heaps and windows come back exactly. Now and then Wine keeps back what it
// made for a window just gone (a 16 x 16 copy of the class icon with its bitmaps, a few hundred
// bytes of its own heap), once in a run rather than once a cycle; that much is allowed, since a
// leak of anything in every cycle, or in every few hundred, would be far larger.
void ExpectOnlyPlatformResidue(const ProcessHoldings& before, const ProcessHoldings& after) {
  EXPECT_EQ(before.runtimeHeapBytes, after.runtimeHeapBytes);
  EXPECT_EQ(before.objectHeapBytes, after.objectHeapBytes);
  EXPECT_EQ(before.blockHeapBytes, after.blockHeapBytes);
  EXPECT_EQ(before.windows, after.windows);
  EXPECT_LE(after.icons - before.icons, 1);
  EXPECT_LE(after.userObjects - before.userObjects, 1);
  EXPECT_LE(after.gdiObjects - before.gdiObjects, 3);
  EXPECT_LE(after.processHeapBytes - before.processHeapBytes, 1024);
  EXPECT_GE(after.gdiObjects, before.gdiObjects - 3);
  EXPECT_GE(after.userObjects, before.userObjects - 1);
}

class EnduranceCycles : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    StartRuntimeForTests();
    InitWindowLibrary();
    InitGadgetLibrary();
    InitImageLibrary();
    InitSkinLibrary();
    InstallWindowHook(ColourHook);
    // The pointer rests off the windows, so that no cursor shape comes or goes with the cycles.
    SetCursorPos(0, 0);
  }

  void SetUp() override {
    icon = ReadWholeFile(ZINDLE_ICON_PATH);
    ASSERT_FALSE(icon.empty()) << ZINDLE_ICON_PATH;
    SkinBlockView view;
    ASSERT_TRUE(ReadSkinBlock(ZindleSkinBlock, ZindleSkinBlockSize, &view));
    bmp.resize(view.unpackedSize);
    UnpackSkinImage(view, bmp.data());
  }

  // The launcher's window, as it opens it, with a coloured label; shown, painted, closed.
  void WindowCycle(int cycle) {
    ASSERT_NE(0, CreateNumberedWindow(1, 122, 105, 575, 385, 0x90000001, "Zindle"));
    ASSERT_NE(nullptr, BindGadgetParent(WindowHandleOf(1)));
    ASSERT_EQ(1, ApplySkin(1, 1, 1, ZindleSkinBlock, 0, ZindleSkinBlockSize));
    ASSERT_NE(0, CreatePushButton(2, 160, 250, 60, 20, "Play"));
    ASSERT_NE(0, CreatePushButton(6, 355, 250, 60, 20, "Quit"));
    ASSERT_NE(0, CreateTextLabel(7, 160, 200, 255, 20, "Endurance"));
    // Each assignment replaces the gadget's record and frees its brushes. Every pair holds one
    // transparent background (the stock hollow brush), so each cycle ends with as many brushes.
    const COLORREF Solid = RGB(20, 40, 60), Face = 0;
    const COLORREF backs[4][2] = {{Solid, TransparentBackground}, {TransparentBackground, Face},
                                  {Face, TransparentBackground}, {TransparentBackground, Solid}};
    AssignGadgetColours(7, RGB(255, 255, 255), backs[cycle % 4][0]);
    AssignGadgetColours(2, RGB(0, 0, 0), backs[cycle % 4][1]);
    ShowSkinnedWindow(1, 0);
    ServePending();
    // The label paints through the hook with its colours.
    InvalidateRect(GadgetHandleOf(7), nullptr, TRUE);
    UpdateWindow(GadgetHandleOf(7));
    DestroyNumberedWindow(1);
    ReleaseImage(1);
    ServePending();
  }

  // Images of every kind, under numbers and AnyNumber; some rebuilt in place, then released one
  // by one or all at once.
  void ImageCycle(int cycle) {
    ASSERT_NE(0, ImageFromMemory(2, bmp.data(), bmp.size()));
    ASSERT_NE(0, ImageFromMemory(2, icon.data(), icon.size()));  // replaces the bitmap
    ASSERT_NE(0, ImageFromMemory(3, icon.data(), icon.size()));
    ASSERT_NE(0, CreateBlankImage(4, 64, 32));
    ASSERT_NE(0, CreateBlankImage(4, 32, 64));  // replaces it
    ObjectNumber anyBmp = ImageFromMemory(AnyNumber, bmp.data(), bmp.size());
    ObjectNumber anyIcon = ImageFromMemory(AnyNumber, icon.data(), icon.size());
    ObjectNumber anyBlank = CreateBlankImage(AnyNumber, 16, 16);
    ASSERT_NE(0, anyBmp);
    ASSERT_NE(0, anyIcon);
    ASSERT_NE(0, anyBlank);
    // A refused build leaves the number's image as it was.
    EXPECT_EQ(0, CreateBlankImage(3, 0, 0));
    EXPECT_NE(nullptr, FindImage(3));
    if (cycle % 2) {
      ReleaseAllImages();
    } else {
      for (ObjectNumber n : {ObjectNumber(2), ObjectNumber(3), ObjectNumber(4), anyBmp, anyIcon, anyBlank})
        ReleaseImage(n);
    }
  }

  void OneCycle(int cycle) {
    WindowCycle(cycle);
    if (HasFatalFailure()) return;
    ImageCycle(cycle);
  }

  std::vector<unsigned char> icon, bmp;
};

TEST_F(EnduranceCycles, AThousandCyclesGiveBackEveryObjectAndEveryHeapByte) {
  // The first cycles load what the platform keeps for the rest of the process (classes, the
  // common controls, fonts, themes) and grow the tables once.
  for (int cycle = 0; cycle < 3; ++cycle) {
    OneCycle(cycle);
    ASSERT_FALSE(HasFatalFailure()) << "cycle " << cycle;
  }
  Settle();
  ProcessHoldings before = TakeHoldings();
  std::vector<HGDIOBJ> gdiBefore = LiveGdiHandles();
  EXPECT_GT(before.gdiObjects, 0) << DescribeHoldings(before);
  for (int cycle = 3; cycle < 3 + Cycles; ++cycle) {
    OneCycle(cycle);
    ASSERT_FALSE(HasFatalFailure()) << "cycle " << cycle;
  }
  // The platform gives some objects back a moment later (window surfaces and icons of windows
  // just destroyed): wait up to ten seconds for the counts to come back before judging them.
  ProcessHoldings after = SettledHoldings(before);
  std::string made = DescribeNewGdiObjects(gdiBefore, LiveGdiHandles());
  SCOPED_TRACE("before: " + DescribeHoldings(before) + "\nafter:  " + DescribeHoldings(after) +
               "\nGDI objects made since:" + made);
  ExpectOnlyPlatformResidue(before, after);
  if (SameHoldings(before, after)) return;
  // Wine kept something back: further cycles must not add to it.
  for (int cycle = 0; cycle < Cycles / 4; ++cycle) {
    OneCycle(cycle);
    ASSERT_FALSE(HasFatalFailure()) << "cycle " << cycle;
  }
  ProcessHoldings later = SettledHoldings(before);
  SCOPED_TRACE("later:  " + DescribeHoldings(later));
  ExpectOnlyPlatformResidue(before, later);
}

// The counts themselves must see what they are meant to see, or the test above proves nothing.
TEST_F(EnduranceCycles, TheCountsSeeObjectsAndBytesComeAndGo) {
  ProcessHoldings empty = TakeHoldings();
  HBRUSH brushes[5];
  for (HBRUSH& b : brushes) b = CreateSolidBrush(RGB(1, 2, 3));
  ASSERT_NE(0, CreateNumberedWindow(1, 0, 0, 100, 100, 0x90000001, "Counted"));
  ASSERT_NE(0, ImageFromMemory(3, icon.data(), icon.size()));
  void* block = AllocateBlock(1000);
  ProcessHoldings held = TakeHoldings();
  SCOPED_TRACE("empty: " + DescribeHoldings(empty) + "\nheld:  " + DescribeHoldings(held));
  EXPECT_GE(held.gdiObjects, empty.gdiObjects + 5);
  EXPECT_GE(held.userObjects, empty.userObjects + 2);  // the window and the icon
  EXPECT_GE(held.blockHeapBytes, empty.blockHeapBytes + 1000);
  EXPECT_GT(held.runtimeHeapBytes, empty.runtimeHeapBytes);  // the window's record and class name
  for (HBRUSH b : brushes) DeleteObject(b);
  DestroyNumberedWindow(1);
  ReleaseImage(3);
  ReleaseBlock(block);
  ServePending();
  ProcessHoldings released = TakeHoldings();
  EXPECT_EQ(empty.gdiObjects, released.gdiObjects) << DescribeHoldings(released);
  EXPECT_EQ(empty.userObjects, released.userObjects) << DescribeHoldings(released);
  EXPECT_EQ(empty.blockHeapBytes, released.blockHeapBytes) << DescribeHoldings(released);
}

}  // namespace
