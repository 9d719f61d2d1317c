// The skinned window under Wine: window 1 opened as the launcher opens it and dressed in the
// product's own skin; its size, outline, face, placement, presses and gadget colours.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "gadget/gadget_kinds.h"
#include "gadget/gadget_table.h"
#include "image_test_data.h"
#include "runtime/lists.h"
#include "skin/image_store.h"
#include "skin/skin_block.h"
#include "skin/skin_engine.h"
#include "skin/skin_region.h"
#include "skin/skin_runs.h"
#include "skin/skin_spans.h"
#include "skin/zindle_skin.h"
#include "skin_test_data.h"
#include "support/runtime_setup.h"
#include "window/events.h"
#include "window/window_scale.h"
#include "window/window_table.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes CommittedArtwork() { return ReadBuildFile(ZINDLE_SKIN_IMAGE_PATH); }

Bytes ProductBlock() { return Bytes(ZindleSkinBlock, ZindleSkinBlock + ZindleSkinBlockSize); }

SkinBlockView ViewOf(const Bytes& block) {
  SkinBlockView view = {};
  EXPECT_TRUE(ReadSkinBlock(block.data(), block.size(), &view));
  return view;
}

void Drain() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  EventState.code = 0;
}

// The window region, or 0 when the window has none.
HRGN RegionOf(HWND window) {
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  if (GetWindowRgn(window, region) == ERROR) {
    DeleteObject(region);
    return nullptr;
  }
  return region;
}

SIZE ClientSize(HWND window) {
  RECT client;
  GetClientRect(window, &client);
  return SIZE{client.right, client.bottom};
}

// How many points in and around the image the region gets wrong: a point belongs to it exactly
// when it is a pixel of the image that is not the key colour. Counts those pixels in *opaque.
long PointsAgainstArtwork(HRGN region, const SkinImageView& image, long* opaque) {
  long wrong = 0;
  *opaque = 0;
  for (int y = -2; y < image.height + 2; ++y)
    for (int x = -2; x < image.width + 2; ++x) {
      bool inside = x >= 0 && y >= 0 && x < image.width && y < image.height && !IsKeyColourPixel(image, x, y);
      *opaque += inside;
      if ((PtInRegion(region, x, y) != 0) != inside) ++wrong;
    }
  return wrong;
}

LRESULT CALLBACK LauncherStyleHook(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CTLCOLORSTATIC || message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX)
    return ResolveGadgetColours(reinterpret_cast<HWND>(lParam), reinterpret_cast<HDC>(wParam));
  return HookPassOn;
}

class SkinnedWindowTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    StartRuntimeForTests();
    InitWindowLibrary();
    InitSkinLibrary();
  }
  void SetUp() override {
    ZeroMemory(&EventState, sizeof EventState);
    InitGadgetLibrary();
    InitImageLibrary();
    // Window 1 as the launcher opens it: a popup, hidden, centred, 575 x 385 asked for.
    window_ = reinterpret_cast<HWND>(CreateNumberedWindow(1, 122, 105, 575, 385, 0x90000001, "Zindle"));
    ASSERT_TRUE(IsWindow(window_));
    ASSERT_EQ(window_, BindGadgetParent(window_));
    Drain();
  }
  void TearDown() override {
    INPUT release = {};
    release.type = INPUT_MOUSE;
    release.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &release, sizeof release);
    InstallWindowHook(nullptr);
    DestroyNumberedWindow(1);
    ReleaseAllImages();
    Drain();
  }
  long Skin(const Bytes& block, long centre = 0) {
    return ApplySkin(1, 1, 1, block.data(), centre, block.size());
  }
  // Nothing of a refused skin reached the window, the image store or the gadgets.
  void ExpectUntouched() {
    EXPECT_EQ(nullptr, MakeImageCurrent(1));
    EXPECT_EQ(nullptr, GadgetExists(1));
    EXPECT_EQ(nullptr, RegionOf(window_));
    SIZE size = ClientSize(window_);
    EXPECT_EQ(575, size.cx);
    EXPECT_EQ(385, size.cy);
  }

  HWND window_ = nullptr;
};

TEST_F(SkinnedWindowTest, ProductSkinGivesSizeFaceAndExactlyTheOpaquePixels) {
  ASSERT_EQ(1, Skin(ProductBlock()));
  SIZE size = ClientSize(window_);
  EXPECT_EQ(575, size.cx);
  EXPECT_EQ(385, size.cy);

  // The outline holds exactly the artwork's pixels that are not the key colour.
  Bytes artwork = CommittedArtwork();
  SkinImageView image;
  ASSERT_TRUE(ReadSkinImage(artwork.data(), artwork.size(), &image));
  ASSERT_EQ(575, image.width);
  ASSERT_EQ(385, image.height);
  HRGN region = RegionOf(window_);
  ASSERT_NE(nullptr, region);
  long opaque = 0;
  EXPECT_EQ(0, PointsAgainstArtwork(region, image, &opaque));
  DeleteObject(region);
  EXPECT_GT(opaque, 100000);

  // The face: gadget 1 over the whole window, showing image 1, without click notices.
  HWND face = GadgetHandleOf(1);
  ASSERT_NE(nullptr, face);
  RECT faceRect;
  GetWindowRect(face, &faceRect);
  EXPECT_EQ(575, faceRect.right - faceRect.left);
  EXPECT_EQ(385, faceRect.bottom - faceRect.top);
  EXPECT_EQ(0, GetWindowLongA(face, GWL_STYLE) & SS_NOTIFY);
  EXPECT_EQ(reinterpret_cast<LRESULT>(MakeImageCurrent(1)), SendMessageA(face, STM_GETIMAGE, IMAGE_BITMAP, 0));
  // Skinning leaves the window hidden; showing it is the caller's step.
  EXPECT_FALSE(IsWindowVisible(window_));
}

// Run tables for a 120 x 100 image whose outlines are awkward to make.
struct RegionCase {
  const char* name;
  std::vector<SkinRun> runs;
  int8_t runHeight;
};

std::vector<RegionCase> RegionCases() {
  return {
      {"overlapping runs", {{10, 10, 60}, {30, 10, 90}, {20, 5, 40}}, 8},
      {"runs reaching outside", {{-50, -3, 20}, {100, 90, 140}, {40, 120, 300}}, 5},
      {"corners reversed", {{70, 20, 30}}, -6},
      {"empty runs", {{4, 4, 4}, {10, 10, 50}}, 0},
      {"no runs", {}, 1},
      {"everything cut away", {{0, 0, 120}}, 100},
  };
}

// Stands in for the platform's one-call region maker, refusing every outline.
int RegionCallsRefused = 0;
HRGN WINAPI RefuseRegionData(const XFORM*, DWORD, const RGNDATA*) {
  ++RegionCallsRefused;
  return nullptr;
}

// Puts the refusing stand-in in place for as long as it lives.
struct RegionCallRefused {
  RegionCallRefused() {
    RegionCallsRefused = 0;
    SkinRegionFromData = RefuseRegionData;
  }
  ~RegionCallRefused() { SkinRegionFromData = ExtCreateRegion; }
};

TEST_F(SkinnedWindowTest, OneRegionCallEqualsOneOperationPerRun) {
  std::vector<RegionCase> cases = RegionCases();
  Bytes product = ProductBlock();
  SkinBlockView view = ViewOf(product);
  HRGN byRuns = SkinRegionByRuns(view, 575, 385), fromSpans = SkinRegionFromSpans(view, 575, 385);
  EXPECT_TRUE(EqualRgn(byRuns, fromSpans)) << "product skin";
  DeleteObject(byRuns);
  DeleteObject(fromSpans);
  for (const RegionCase& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes block = MakeSkinBlock(0, 0, 0, {}, c.runs, c.runHeight);
    SkinBlockView v = ViewOf(block);
    byRuns = SkinRegionByRuns(v, 120, 100);
    fromSpans = SkinRegionFromSpans(v, 120, 100);
    EXPECT_TRUE(EqualRgn(byRuns, fromSpans));
    DeleteObject(byRuns);
    DeleteObject(fromSpans);
  }
}

TEST_F(SkinnedWindowTest, RefusedRegionCallStillGivesTheWindowItsOutline) {
  Bytes product = ProductBlock();
  SkinBlockView view = ViewOf(product);
  HRGN expected = SkinRegionByRuns(view, 575, 385);
  {
    RegionCallRefused refused;
    ASSERT_EQ(1, Skin(product));
    EXPECT_GE(RegionCallsRefused, 1);
  }
  HRGN region = RegionOf(window_);
  ASSERT_NE(nullptr, region) << "the window was left without an outline";
  EXPECT_TRUE(EqualRgn(expected, region));
  Bytes artwork = CommittedArtwork();
  SkinImageView image;
  ASSERT_TRUE(ReadSkinImage(artwork.data(), artwork.size(), &image));
  long opaque = 0;
  EXPECT_EQ(0, PointsAgainstArtwork(region, image, &opaque));
  EXPECT_GT(opaque, 100000);
  DeleteObject(region);
  DeleteObject(expected);

  RegionCallRefused refused;
  for (const RegionCase& c : RegionCases()) {
    SCOPED_TRACE(c.name);
    Bytes block = MakeSkinBlock(0, 0, 0, {}, c.runs, c.runHeight);
    SkinBlockView v = ViewOf(block);
    HRGN byRuns = SkinRegionByRuns(v, 120, 100), fromSpans = SkinRegionFromSpans(v, 120, 100);
    ASSERT_NE(nullptr, fromSpans);
    EXPECT_TRUE(EqualRgn(byRuns, fromSpans));
    DeleteObject(byRuns);
    DeleteObject(fromSpans);
  }
}

TEST_F(SkinnedWindowTest, CentringPlacesTheWindowHiddenUntilShown) {
  ASSERT_EQ(1, Skin(ProductBlock(), 1));
  RECT placed;
  GetWindowRect(window_, &placed);
  long expectX = GetSystemMetrics(SM_CXSCREEN) / 2 - 575 / 2, expectY = GetSystemMetrics(SM_CYSCREEN) / 2 - 385 / 2;
  EXPECT_EQ(expectX, placed.left);
  EXPECT_EQ(expectY, placed.top);
  if (GetSystemMetrics(SM_CXSCREEN) == 1024 && GetSystemMetrics(SM_CYSCREEN) == 768) {
    EXPECT_EQ(225, placed.left);
    EXPECT_EQ(192, placed.top);
  }
  EXPECT_FALSE(IsWindowVisible(window_));
  ShowSkinnedWindow(1, 0);
  EXPECT_TRUE(IsWindowVisible(window_));
  ShowSkinnedWindow(1, 1);
  EXPECT_FALSE(IsWindowVisible(window_));
}

TEST_F(SkinnedWindowTest, ScreenShowsTheSkinAtOpaquePixelsAndTheDesktopElsewhere) {
  Bytes artwork = CommittedArtwork();
  SkinImageView image;
  ASSERT_TRUE(ReadSkinImage(artwork.data(), artwork.size(), &image));
  ASSERT_EQ(1, Skin(ProductBlock(), 1));
  RECT placed;
  GetWindowRect(window_, &placed);
  HDC screen = GetDC(nullptr);
  // Corners cut away, and points inside the panel.
  const POINT cutAway[] = {{0, 0}, {574, 384}, {3, 200}, {300, 2}};
  const POINT opaque[] = {{287, 100}, {100, 300}, {500, 60}, {287, 192}};
  COLORREF desktop[4];
  for (int i = 0; i < 4; ++i) desktop[i] = GetPixel(screen, placed.left + cutAway[i].x, placed.top + cutAway[i].y);
  ShowSkinnedWindow(1, 0);
  SetForegroundWindow(window_);
  Drain();
  Sleep(200);
  Drain();
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    ASSERT_FALSE(IsKeyColourPixel(image, opaque[i].x, opaque[i].y));
    const uint8_t* px = image.pixels + size_t(image.height - 1 - opaque[i].y) * image.stride + size_t(opaque[i].x) * 3;
    EXPECT_EQ(RGB(px[2], px[1], px[0]), GetPixel(screen, placed.left + opaque[i].x, placed.top + opaque[i].y));
    ASSERT_TRUE(IsKeyColourPixel(image, cutAway[i].x, cutAway[i].y));
    EXPECT_EQ(desktop[i], GetPixel(screen, placed.left + cutAway[i].x, placed.top + cutAway[i].y));
    EXPECT_NE(RGB(255, 0, 255), GetPixel(screen, placed.left + cutAway[i].x, placed.top + cutAway[i].y));
  }
  ReleaseDC(nullptr, screen);
}

TEST_F(SkinnedWindowTest, BannerIsComparedOverItsFirst48Bytes) {
  Bytes wrong48th = ProductBlock();
  wrong48th[SkinBlockBannerOffset + 47] ^= 1;
  Bytes cutShort = ProductBlock();
  cutShort[SkinBlockBannerOffset + 20] = 0;
  EXPECT_EQ(0, Skin(wrong48th));
  ExpectUntouched();
  EXPECT_EQ(0, Skin(cutShort));
  ExpectUntouched();

  Bytes otherLineEnd = ProductBlock();
  otherLineEnd[SkinBlockBannerOffset + 48] = 'x';
  otherLineEnd[SkinBlockBannerOffset + 49] = 'y';
  EXPECT_EQ(1, Skin(otherLineEnd));
}

TEST_F(SkinnedWindowTest, EmptyRunTableLeavesTheFullRectangle) {
  Bytes product = ProductBlock();  // the view points into it
  SkinBlockView view = ViewOf(product);
  Bytes image(view.imageData, view.imageData + view.imageDataSize);
  Bytes block = MakeSkinBlock(view.compressed, view.unpackedSize, view.storedSize, image, {});
  ASSERT_EQ(1, Skin(block));
  HRGN region = RegionOf(window_), full = CreateRectRgn(0, 0, 575, 385);
  ASSERT_NE(nullptr, region);
  EXPECT_TRUE(EqualRgn(region, full));
  DeleteObject(region);
  DeleteObject(full);
}

// A raw skin block of a checkered picture (see CheckeredRows) with its run table.
Bytes CheckeredBlock(int32_t width, int32_t height, int32_t cell, uint32_t rects) {
  Bytes bmp = MakeBmp(CheckeredRows(width, height, cell, rects));
  SkinImageView image;
  EXPECT_TRUE(ReadSkinImage(bmp.data(), bmp.size(), &image));
  std::vector<SkinRun> runs(CollectKeyColourRuns(image, nullptr, 0));
  CollectKeyColourRuns(image, runs.data(), uint32_t(runs.size()));
  return MakeSkinBlock(0, uint32_t(bmp.size()), 0, bmp, runs);
}

// The rectangles the platform keeps for a region.
DWORD RectanglesOf(HRGN region) { return (GetRegionData(region, 0, nullptr) - sizeof(RGNDATAHEADER)) / sizeof(RECT); }

// A skin cut like a fine checkerboard (dithered transparency, about 110,000 rectangles) had the
// launcher make its outline for minutes, after which the X server refused the window's shape and
// the process ended. An outline of more than LargestSkinOutline rectangles is not taken.
TEST_F(SkinnedWindowTest, OutlineOfMoreRectanglesThanTheBoundIsNotTaken) {
  struct Case {
    const char* name;
    Bytes block;
  } refused[] = {
      {"one rectangle more than the bound", CheckeredBlock(575, 385, 1, LargestSkinOutline + 1)},
      {"dithered all over", CheckeredBlock(575, 385, 1, UINT32_MAX)},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(0, Skin(c.block));
    ExpectUntouched();
  }
  ASSERT_EQ(1, Skin(CheckeredBlock(575, 385, 1, LargestSkinOutline)));
  HRGN region = RegionOf(window_);
  ASSERT_NE(nullptr, region);
  EXPECT_EQ(LargestSkinOutline, RectanglesOf(region));
  EXPECT_FALSE(PtInRegion(region, 1, 0)) << "a cut-away square";
  EXPECT_TRUE(PtInRegion(region, 0, 0));
  EXPECT_TRUE(PtInRegion(region, 574, 384));
  DeleteObject(region);
  EXPECT_NE(nullptr, GadgetExists(1));
}

// A skinned window offered a drawing whose outline is too fine keeps its image, its face and its
// outline: where the run table alone shows it the image is not even unpacked, and otherwise the
// outline is measured before the image is built.
TEST_F(SkinnedWindowTest, ATooFineOutlineLeavesASkinnedWindowAsItWas) {
  ASSERT_EQ(1, Skin(ProductBlock()));
  HANDLE image = MakeImageCurrent(1);
  HRGN before = RegionOf(window_);
  struct Case {
    const char* name;
    Bytes block;
  } cases[] = {
      {"dithered all over", CheckeredBlock(575, 385, 1, UINT32_MAX)},
      {"one rectangle more than the bound", CheckeredBlock(575, 385, 1, LargestSkinOutline + 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(0, Skin(c.block));
    EXPECT_EQ(image, MakeImageCurrent(1));
    EXPECT_EQ(OBJ_BITMAP, GetObjectType(image)) << "the face shows a deleted bitmap";
    EXPECT_EQ(image, LookupGadget(1)->picture);
    HRGN after = RegionOf(window_);
    ASSERT_NE(nullptr, after);
    EXPECT_TRUE(EqualRgn(before, after));
    DeleteObject(after);
  }
  DeleteObject(before);
}

// A drawing whose outline is too fine gives way to the next one, here art drawn for twice the scale
// and made at the window's; with every drawing too fine the window is left plain. The art for twice
// the scale is cut in squares of two pixels, which stay one pixel wide at the window's scale.
TEST_F(SkinnedWindowTest, TooFinelyCutDrawingGivesWayToTheNextOrToNone) {
  const long dpi = WindowDpi(1);
  Bytes fine = CheckeredBlock(575, 385, 1, LargestSkinOutline + 1);
  Bytes fineTwice = CheckeredBlock(400, 200, 2, UINT32_MAX), product = ProductBlock();
  SkinArt none[] = {{dpi, fine.data(), fine.size()}, {2 * dpi, fineTwice.data(), fineTwice.size()}};
  EXPECT_EQ(0, ApplySkinForScale(1, 1, 1, none, 2, 0));
  ExpectUntouched();

  SkinArt next[] = {{dpi, fine.data(), fine.size()}, {2 * dpi, product.data(), product.size()}};
  ASSERT_EQ(1, ApplySkinForScale(1, 1, 1, next, 2, 0));
  SIZE size = ClientSize(window_);
  EXPECT_EQ(288, size.cx);  // 575 / 2 and 385 / 2, rounded half up
  EXPECT_EQ(193, size.cy);
  HRGN region = RegionOf(window_);
  ASSERT_NE(nullptr, region);
  EXPECT_FALSE(PtInRegion(region, 0, 0)) << "the product skin's corner is cut away";
  DeleteObject(region);
}

TEST_F(SkinnedWindowTest, MalformedBlocksAndMissingWindowsTouchNothing) {
  SkinBlockView view = ViewOf(ProductBlock());
  struct Case {
    const char* name;
    std::function<Bytes()> make;
  } cases[] = {
      {"run table of a partial run",
       [&] {
         Bytes b = ProductBlock();
         size_t at = SkinBlockHeaderSize + view.imageDataSize;
         uint32_t size = view.runTableSize - 2;
         for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(size >> (8 * i));
         return b;
       }},
      {"run table past the block", [] { Bytes b = ProductBlock(); b.resize(b.size() - 6); return b; }},
      {"stream past the block", [] { return Bytes(ZindleSkinBlock, ZindleSkinBlock + 2000); }},
      {"header only", [] { return Bytes(ZindleSkinBlock, ZindleSkinBlock + 20); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(0, Skin(c.make()));
    ExpectUntouched();
  }
  EXPECT_EQ(0, ApplySkin(1, 1, 1, nullptr, 0));
  EXPECT_EQ(0, ApplySkin(7, 1, 1, ZindleSkinBlock, 0, ZindleSkinBlockSize));
  ExpectUntouched();
}

TEST_F(SkinnedWindowTest, StreamThatCannotBeUnpackedLeavesNoImageAndNoFace) {
  // A stream without its magic unpacks to nothing: the zero-filled block is no bitmap.
  Bytes block = ProductBlock();
  block[SkinBlockHeaderSize] = 'X';
  EXPECT_EQ(0, Skin(block));
  ExpectUntouched();
}

// A drawing whose picture the platform cannot make is refused, alone or as the only art for the
// window's scale, and the window keeps what it wore: the face never shows a deleted bitmap.
TEST_F(SkinnedWindowTest, ADrawingWhosePictureCannotBeMadeLeavesTheFaceAsItWas) {
  ASSERT_EQ(1, Skin(ProductBlock()));
  HANDLE worn = MakeImageCurrent(1);
  ASSERT_EQ(worn, LookupGadget(1)->picture);
  Bytes huge = MakeHugeRunLengthBmp();
  Bytes block = MakeSkinBlock(0, uint32_t(huge.size()), 0, huge, {});
  SkinArt art = {BaseDpi, block.data(), block.size()};
  for (int scaled = 0; scaled < 2; ++scaled) {
    SCOPED_TRACE(scaled ? "ApplySkinForScale" : "ApplySkin");
    EXPECT_EQ(0, scaled ? ApplySkinForScale(1, 1, 1, &art, 1, 0) : Skin(block));
    EXPECT_EQ(OBJ_BITMAP, GetObjectType(worn)) << "the face shows a deleted bitmap";
    EXPECT_EQ(worn, MakeImageCurrent(1));
    EXPECT_EQ(worn, LookupGadget(1)->picture);
  }
}

TEST_F(SkinnedWindowTest, LeftPressOnTheFaceReachesTheWindow) {
  ASSERT_EQ(1, Skin(ProductBlock(), 1));
  ShowSkinnedWindow(1, 0);
  SetForegroundWindow(window_);
  Drain();
  POINT point = {287, 100};
  ClientToScreen(window_, &point);
  SetCursorPos(point.x, point.y);
  INPUT press[2] = {};
  press[0].type = press[1].type = INPUT_MOUSE;
  press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  press[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, press, sizeof(INPUT));
  UINT_PTR guard = SetTimer(nullptr, 0, 3000, nullptr);
  long code = 0;
  for (int i = 0; i < 50 && code != EventLeftButtonDown && code != WM_TIMER; ++i) code = AwaitEvent();
  KillTimer(nullptr, guard);
  EXPECT_EQ(EventLeftButtonDown, code);
  EXPECT_EQ(1, EventSourceWindow());
}

TEST_F(SkinnedWindowTest, GadgetColoursAnswerControlColourMessagesThroughTheHook) {
  ASSERT_EQ(1, Skin(ProductBlock()));
  ASSERT_NE(0, CreateTextLabel(2, 10, 10, 100, 20, "label"));
  HWND label = GadgetHandleOf(2);
  InstallWindowHook(LauncherStyleHook);
  HDC dc = CreateCompatibleDC(nullptr);
  struct Case {
    const char* name;
    COLORREF back;
    int mode;
    std::function<HBRUSH(const GadgetColourRecord&)> brush;
  } cases[] = {
      {"opaque white", 0xFFFFFF, OPAQUE, [](const GadgetColourRecord& r) { return r.backBrush; }},
      {"transparent", TransparentBackground, TRANSPARENT,
       [](const GadgetColourRecord&) { return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)); }},
      {"button face", 0, TRANSPARENT, [](const GadgetColourRecord& r) { return r.faceBrush; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AssignGadgetColours(2, RGB(0, 0, 0), c.back);
    SetTextColor(dc, RGB(1, 2, 3));
    SetBkColor(dc, RGB(4, 5, 6));
    LRESULT answer = SendMessageA(window_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label));
    RewindList(&GadgetColourList);
    const GadgetColourRecord& record = *static_cast<GadgetColourRecord*>(ListPayload(NextListElement(&GadgetColourList)));
    EXPECT_EQ(reinterpret_cast<LRESULT>(c.brush(record)), answer);
    EXPECT_EQ(RGB(0, 0, 0), GetTextColor(dc));
    EXPECT_EQ(c.mode, GetBkMode(dc));
    if (c.mode == OPAQUE) {
      EXPECT_EQ(RGB(255, 255, 255), GetBkColor(dc));
      LOGBRUSH brush;
      ASSERT_NE(0, GetObjectA(record.backBrush, sizeof brush, &brush));
      EXPECT_EQ(RGB(255, 255, 255), brush.lbColor);
    }
    if (c.back == 0) {
      LOGBRUSH brush;
      ASSERT_NE(0, GetObjectA(record.faceBrush, sizeof brush, &brush));
      EXPECT_EQ(GetSysColor(COLOR_BTNFACE), brush.lbColor);
    }
  }
  DeleteDC(dc);
}

TEST_F(SkinnedWindowTest, ReassigningColoursKeepsOneRecordAndFreesTheFirstBrushes) {
  ASSERT_NE(0, CreateTextLabel(3, 10, 40, 100, 20, "other"));
  int before = GadgetColourList.header->count;
  AssignGadgetColours(3, RGB(10, 10, 10), RGB(0, 128, 0));
  RewindList(&GadgetColourList);
  GadgetColourRecord first = {};
  while (ListElement* e = NextListElement(&GadgetColourList)) {
    GadgetColourRecord* r = static_cast<GadgetColourRecord*>(ListPayload(e));
    if (r->gadget == 3) first = *r;
  }
  ASSERT_NE(nullptr, first.faceBrush);
  ASSERT_EQ(OBJ_BRUSH, GetObjectType(first.backBrush));
  AssignGadgetColours(3, RGB(20, 20, 20), RGB(0, 0, 128));
  EXPECT_EQ(before + 1, GadgetColourList.header->count);
  EXPECT_EQ(0u, GetObjectType(first.faceBrush));
  EXPECT_EQ(0u, GetObjectType(first.backBrush));
  int records = 0;
  RewindList(&GadgetColourList);
  while (ListElement* e = NextListElement(&GadgetColourList))
    records += static_cast<GadgetColourRecord*>(ListPayload(e))->gadget == 3;
  EXPECT_EQ(1, records);
}

TEST_F(SkinnedWindowTest, ControlWithoutRecordIsPassedOn) {
  ASSERT_NE(0, CreateTextLabel(4, 10, 70, 100, 20, "plain"));
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(HookPassOn, ResolveGadgetColours(GadgetHandleOf(4), dc));
  EXPECT_EQ(HookPassOn, ResolveGadgetColours(nullptr, dc));
  DeleteDC(dc);
}

}  // namespace
