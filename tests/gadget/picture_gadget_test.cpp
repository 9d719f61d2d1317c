// Picture gadgets: sizing to the picture, the image messages, painting bitmaps and icons, the
// repaint behind a cleared picture or an icon, and the click notices from real mouse input.
#include <algorithm>

#include "gadget_fixture.h"

namespace {

const COLORREF Red = RGB(255, 0, 0);
const COLORREF Blue = RGB(0, 0, 255);
const COLORREF Green = RGB(0, 255, 0);
const COLORREF Yellow = RGB(255, 255, 0);
const COLORREF White = RGB(255, 255, 255);

// Paints window 1's client area green: what lies behind a picture is then recognisable.
LRESULT CALLBACK GreenBackgroundHook(HWND window, UINT message, WPARAM, LPARAM) {
  if (message != WM_PAINT || NumberOfHandle(window) != 1) return HookPassOn;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  HBRUSH green = CreateSolidBrush(Green);
  FillRect(dc, &paint.rcPaint, green);
  DeleteObject(green);
  EndPaint(window, &paint);
  return 0;
}

class PictureGadgetTest : public GadgetTest {
 protected:
  void SetUp() override {
    GadgetTest::SetUp();
    InstallWindowHook(GreenBackgroundHook);
    InvalidateRect(main_, nullptr, TRUE);
    UpdateWindow(main_);
  }
  void TearDown() override {
    GadgetTest::TearDown();
    for (HGDIOBJ object : objects_) DeleteObject(object);
    for (HICON icon : icons_) DestroyIcon(icon);
  }
  HBITMAP Bitmap(int width, int height, COLORREF a, COLORREF b, COLORREF c, COLORREF d) {
    HBITMAP bitmap = MakeQuadrantBitmap(width, height, a, b, c, d);
    objects_.push_back(bitmap);
    return bitmap;
  }
  HBITMAP Bitmap(int width, int height, COLORREF colour) {
    return Bitmap(width, height, colour, colour, colour, colour);
  }
  HICON Icon(COLORREF colour) {
    HICON icon = MakeHalfIcon(colour);
    icons_.push_back(icon);
    return icon;
  }
  HWND Picture(ObjectNumber number, HANDLE image, DWORD extendedStyle = 0) {
    ObjectNumber made = CreatePictureGadget(number, 20, 30, 10, 10, image, extendedStyle);
    return number == AnyNumber ? GadgetHandleOf(made) : reinterpret_cast<HWND>(made);
  }
  std::vector<HGDIOBJ> objects_;
  std::vector<HICON> icons_;
};

TEST_F(PictureGadgetTest, TheControlTakesThePicturesSize) {
  HICON monochrome = CreateIcon(GetModuleHandleA(nullptr), 32, 32, 1, 1,
                                std::vector<BYTE>(128, 0x00).data(),
                                std::vector<BYTE>(128, 0xFF).data());
  icons_.push_back(monochrome);
  HICON destroyed = MakeHalfIcon(Red);
  DestroyIcon(destroyed);
  HBRUSH brush = CreateSolidBrush(Red);
  objects_.push_back(brush);
  const struct {
    const char* name;
    HANDLE image;
    DWORD extendedStyle;
    SIZE expected;
  } cases[] = {
      {"bitmap", Bitmap(575, 385, Red), 0, {575, 385}},
      {"bitmap, sunken", Bitmap(575, 385, Red), WS_EX_CLIENTEDGE, {579, 389}},
      {"small bitmap", Bitmap(7, 3, Red), 0, {7, 3}},
      {"icon", Icon(Blue), 0, {32, 32}},
      {"icon, sunken", Icon(Blue), WS_EX_CLIENTEDGE, {36, 36}},
      {"monochrome icon", monochrome, 0, {32, 32}},
      // No size can be had: the control keeps the size it was created with.
      {"no picture", nullptr, 0, {10, 10}},
      {"no picture, sunken", nullptr, WS_EX_CLIENTEDGE, {10, 10}},
      {"destroyed icon", destroyed, 0, {10, 10}},
      {"a brush", brush, 0, {10, 10}},
      {"not a handle", reinterpret_cast<HANDLE>(0x1234), 0, {10, 10}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HWND control = Picture(3, c.image, c.extendedStyle);
    ASSERT_TRUE(IsWindow(control));
    SIZE size = SizeOf(control);
    EXPECT_EQ(c.expected.cx, size.cx);
    EXPECT_EQ(c.expected.cy, size.cy);
    RECT place;
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&place), 1);
    EXPECT_EQ(20, place.left);
    EXPECT_EQ(30, place.top);
  }
}

TEST_F(PictureGadgetTest, TheImageMessagesGiveTheLastPictureSet) {
  HBITMAP first = Bitmap(40, 30, Red);
  HBITMAP second = Bitmap(60, 20, Blue);
  HICON icon = Icon(Yellow);
  HWND control = Picture(4, first);
  ASSERT_TRUE(IsWindow(control));
  EXPECT_EQ(reinterpret_cast<LRESULT>(first), SendMessageA(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
  // Setting answers the picture shown before, as the platform's static control does, so that a
  // caller following the platform's rules frees the old picture and not the new one.
  EXPECT_EQ(reinterpret_cast<LRESULT>(first), SetPictureImage(control, (LPARAM)second));
  EXPECT_EQ(reinterpret_cast<LRESULT>(second), SendMessageA(control, STM_GETIMAGE, 0, 0));
  EXPECT_EQ(reinterpret_cast<LRESULT>(second), SendMessageA(control, STM_GETICON, 0, 0));
  EXPECT_EQ(60, SizeOf(control).cx);
  // STM_SETICON carries the icon in wParam.
  EXPECT_EQ(reinterpret_cast<LRESULT>(second),
            SendMessageA(control, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0));
  EXPECT_EQ(reinterpret_cast<LRESULT>(icon), SendMessageA(control, STM_GETICON, 0, 0));
  EXPECT_EQ(32, SizeOf(control).cx);
  // The kind's ApplyState is SetPictureImage.
  LookupGadget(4)->kind->applyState(control, reinterpret_cast<LPARAM>(first));
  EXPECT_EQ(reinterpret_cast<LRESULT>(first), SendMessageA(control, STM_GETIMAGE, 0, 0));
  // Clearing keeps the size.
  SetPictureImage(control, 0);
  EXPECT_EQ(0, SendMessageA(control, STM_GETIMAGE, 0, 0));
  EXPECT_EQ(40, SizeOf(control).cx);
  EXPECT_EQ(30, SizeOf(control).cy);
  // An AnyNumber picture gadget finds its record through its identifier.
  HWND any = Picture(AnyNumber, second);
  EXPECT_EQ(reinterpret_cast<LRESULT>(second), SendMessageA(any, STM_GETIMAGE, 0, 0));
  // Neither the gadget's procedure nor its font is that of the other kinds.
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(PictureGadgetProcedure), GetWindowLongPtrA(control, GWLP_WNDPROC));
  EXPECT_EQ(0, SendMessageA(control, WM_GETFONT, 0, 0));
}

TEST_F(PictureGadgetTest, ABitmapIsPaintedAtTheControlsCorner) {
  HWND control = Picture(1, Bitmap(80, 60, Red, Blue, Yellow, White));
  HWND sunken = Picture(2, Bitmap(80, 60, Blue, Red, White, Yellow), WS_EX_CLIENTEDGE);
  SetWindowPos(sunken, nullptr, 200, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  UpdateWindow(main_);
  const struct {
    int x, y;
    COLORREF expected;
  } plain[] = {{0, 0, Red}, {39, 29, Red}, {40, 0, Blue}, {79, 29, Blue},
               {0, 30, Yellow}, {39, 59, Yellow}, {40, 30, White}, {79, 59, White}};
  for (const auto& p : plain) {
    SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
    EXPECT_EQ(p.expected, PixelOf(control, p.x, p.y));
  }
  // Next to the picture, the window's own face.
  EXPECT_EQ(Green, PixelOf(control, 81, 10));
  // With a sunken edge the picture starts inside the 2-pixel edge.
  RECT client;
  GetClientRect(sunken, &client);
  EXPECT_EQ(80, client.right);
  POINT corner = {0, 0};
  MapWindowPoints(sunken, main_, &corner, 1);
  EXPECT_EQ(Blue, PixelOf(main_, corner.x, corner.y));
  EXPECT_EQ(White, PixelOf(main_, corner.x + 10, corner.y + 50));
}

TEST_F(PictureGadgetTest, TheScreenShowsThePaintedBitmap) {
  HWND control = Picture(1, Bitmap(120, 90, Blue, Yellow, Red, White));
  UpdateWindow(main_);
  // Let the window surfaces reach the X screen, then read the screen itself.
  CollectEvents(300);
  POINT origin = {0, 0};
  ClientToScreen(control, &origin);
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(Blue, GetPixel(screen, origin.x + 10, origin.y + 10));
  EXPECT_EQ(Yellow, GetPixel(screen, origin.x + 110, origin.y + 10));
  EXPECT_EQ(Red, GetPixel(screen, origin.x + 10, origin.y + 80));
  EXPECT_EQ(White, GetPixel(screen, origin.x + 110, origin.y + 80));
  EXPECT_EQ(Green, GetPixel(screen, origin.x + 125, origin.y + 10));
  ReleaseDC(nullptr, screen);
}

TEST_F(PictureGadgetTest, AClearedPictureShowsTheWindowBehindAndKeepsItsSize) {
  HWND control = Picture(1, Bitmap(100, 80, Red));
  UpdateWindow(main_);
  ASSERT_EQ(Red, PixelOf(control, 50, 40));
  SetPictureImage(control, 0);
  EXPECT_EQ(100, SizeOf(control).cx);
  EXPECT_EQ(80, SizeOf(control).cy);
  for (POINT p : {POINT{0, 0}, POINT{50, 40}, POINT{99, 79}}) {
    EXPECT_EQ(Green, PixelOf(control, p.x, p.y)) << p.x << "," << p.y;
  }
}

TEST_F(PictureGadgetTest, AnIconIsDrawnOverTheWindowRepaintedBehindIt) {
  HWND control = Picture(1, Bitmap(100, 80, Red));
  UpdateWindow(main_);
  ASSERT_EQ(Red, PixelOf(control, 20, 5));
  SetPictureImage(control, reinterpret_cast<LPARAM>(Icon(Blue)));
  EXPECT_EQ(32, SizeOf(control).cx);
  // Opaque half of the icon, at the control's top-left corner.
  EXPECT_EQ(Blue, PixelOf(control, 0, 0));
  EXPECT_EQ(Blue, PixelOf(control, 15, 31));
  // Transparent half: the window behind, not the bitmap shown before.
  EXPECT_EQ(Green, PixelOf(control, 20, 5));
  EXPECT_EQ(Green, PixelOf(control, 31, 31));
  // Where the larger bitmap was, outside the shrunken control, the window shows again.
  UpdateWindow(main_);
  EXPECT_EQ(Green, PixelOf(control, 60, 40));
}

TEST_F(PictureGadgetTest, DestroyingThePictureGadgetReleasesItsRecordNotItsImage) {
  HBITMAP bitmap = Bitmap(30, 30, Red);
  HWND control = Picture(5, bitmap);
  ObjectNumber any = CreatePictureGadget(AnyNumber, 100, 30, 10, 10, bitmap);
  DestroyGadget(5);
  EXPECT_FALSE(IsWindow(control));
  EXPECT_EQ(nullptr, GadgetExists(5));
  EXPECT_EQ(nullptr, GadgetTable.slots[5].picture);
  DestroyWindow(GadgetHandleOf(any));
  EXPECT_EQ(nullptr, GadgetExists(any));
  EXPECT_EQ(nullptr, GadgetTable.dynamicGadgets);
  EXPECT_EQ(OBJ_BITMAP, static_cast<int>(GetObjectType(bitmap)));
}

class PictureClickTest : public PictureGadgetTest {
 protected:
  void SetUp() override {
    PictureGadgetTest::SetUp();
    control_ = Picture(12, Bitmap(120, 90, Red));
    ASSERT_TRUE(IsWindow(control_));
    ASSERT_TRUE(GetClassLongA(control_, GCL_STYLE) & CS_DBLCLKS);
    Drain();
  }
  // Details of the item events that a burst of real input gave, all of which must be for item.
  static std::vector<long> DetailsAfter(ObjectNumber item) {
    std::vector<long> details;
    for (const SeenEvent& event : ItemActions(CollectEvents())) {
      EXPECT_EQ(item, event.item);
      details.push_back(event.detail);
    }
    return details;
  }
  HWND control_ = nullptr;
};

TEST_F(PictureClickTest, ClicksGiveTheirNotices) {
  const struct {
    const char* name;
    bool right;
    int clicks;
    std::vector<long> expected;
  } cases[] = {
      {"left click", false, 1, {DetailLeftClick}},
      {"right click", true, 1, {DetailRightClick}},
      // The first release reports a click, the second nothing.
      {"right double click", true, 2, {DetailRightClick, DetailRightDoubleClick}},
      {"right click after a double click", true, 1, {DetailRightClick}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.right) {
      RightClick(control_, 30, 30, c.clicks);
    } else {
      LeftClick(control_, 30, 30, c.clicks);
    }
    EXPECT_EQ(c.expected, DetailsAfter(12));
    Sleep(GetDoubleClickTime() + 50);  // the next case starts a fresh click
  }
}

TEST_F(PictureClickTest, ALeftDoubleClickGivesOneDoubleClickNotice) {
  LeftClick(control_, 30, 30, 2);
  std::vector<long> details = DetailsAfter(12);
  EXPECT_EQ(1, std::count(details.begin(), details.end(), DetailLeftDoubleClick));
  EXPECT_EQ(0, std::count(details.begin(), details.end(), DetailRightClick));
}

TEST_F(PictureClickTest, NoticesOfAnAnyNumberGadgetCarryItsIdentifier) {
  ObjectNumber any = CreatePictureGadget(AnyNumber, 300, 30, 10, 10, Bitmap(50, 50, Blue));
  Drain();
  RightClick(GadgetHandleOf(any), 20, 20);
  EXPECT_EQ(std::vector<long>{DetailRightClick}, DetailsAfter(any));
}

TEST_F(PictureClickTest, NoticesOfAGadgetInAnOwnedWindowGoToThatWindow) {
  // Regression: climbing with GetParent alone went on from the owned window to its owner.
  HWND owned = reinterpret_cast<HWND>(
      CreateNumberedWindow(2, 400, 300, 200, 150, WS_POPUP, "owned", main_));
  ASSERT_TRUE(IsWindow(owned));
  BindGadgetParent(owned);
  HWND inner = Picture(13, Bitmap(50, 50, Blue));
  Drain();
  RightClick(inner, 20, 20);
  std::vector<SeenEvent> actions = ItemActions(CollectEvents());
  ASSERT_EQ(1u, actions.size());
  EXPECT_EQ(13, actions[0].item);
  EXPECT_EQ(DetailRightClick, actions[0].detail);
  EXPECT_EQ(2, actions[0].window);
}

}  // namespace
