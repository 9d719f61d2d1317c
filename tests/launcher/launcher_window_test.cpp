// The launcher's window as it opens with its own skin and with skins of other sizes: where it
// lands on the screen and the size it takes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/launcher_main.h"
#include "launcher/startup.h"
#include "skin/image_store.h"
#include "skin/skin_block.h"
#include "skin/skin_resource_names.h"
#include "skin/skin_resources.h"
#include "skin/zindle_skin.h"
#include "skin_test_data.h"
#include "gadget/gadget_table.h"
#include "window/events.h"
#include "window/window_scale.h"
#include "window/window_table.h"

namespace {

// A raw SkinBlock whose image is width x height opaque pixels.
std::vector<uint8_t> PlainSkin(int width, int height) {
  std::vector<uint8_t> bmp = MakeBmp(std::vector<std::string>(size_t(height), std::string(size_t(width), 'x')));
  return MakeSkinBlock(0, uint32_t(bmp.size()), 0, bmp, {});
}

RECT OpenAndMeasure(const void* block, size_t size) {
  RECT placed = {};
  HWND window = OpenSkinnedLauncherWindow(block, size);
  EXPECT_TRUE(IsWindow(window));
  GetWindowRect(window, &placed);
  DestroyNumberedWindow(1);
  ReleaseAllImages();
  return placed;
}

// A skin of another size kept the top-left corner the product's skin is centred with.
TEST(LauncherWindow, SkinOfAnySizeIsCentredOnTheScreen) {
  long screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
  struct Case {
    int width, height;
    long left1024, top768;  // where it lands on a 1024 x 768 screen
  } cases[] = {
      {575, 385, 225, 192},  // the product's own size
      {300, 200, 362, 284},
      {800, 600, 112, 84},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.width) + " x " + testing::PrintToString(c.height));
    std::vector<uint8_t> block = PlainSkin(c.width, c.height);
    RECT placed = OpenAndMeasure(block.data(), block.size());
    EXPECT_EQ(placed.right - placed.left, c.width);
    EXPECT_EQ(placed.bottom - placed.top, c.height);
    EXPECT_EQ(placed.left, screenWidth / 2 - c.width / 2);
    EXPECT_EQ(placed.top, screenHeight / 2 - c.height / 2);
    if (screenWidth == 1024 && screenHeight == 768) {
      EXPECT_EQ(placed.left, c.left1024);
      EXPECT_EQ(placed.top, c.top768);
    }
  }
}

TEST(LauncherWindow, ProductSkinLandsWhereItAlwaysHas) {
  RECT placed = OpenAndMeasure(ZindleSkinBlock, ZindleSkinBlockSize);
  EXPECT_EQ(placed.right - placed.left, 575);
  EXPECT_EQ(placed.bottom - placed.top, 385);
  if (GetSystemMetrics(SM_CXSCREEN) == 1024 && GetSystemMetrics(SM_CYSCREEN) == 768) {
    EXPECT_EQ(placed.left, 225);
    EXPECT_EQ(placed.top, 192);
  }
}

// The skins the launcher opens with are the program's resources, mapped with its image: the same
// bytes as the blocks the build packed, read in place.
TEST(LauncherWindow, SkinsAreTheProgramsResourcesReadInPlace) {
  HINSTANCE module = GetModuleHandleA(nullptr);
  const auto* base = reinterpret_cast<const uint8_t*>(module);
  const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
  const uint8_t* end = base + headers->OptionalHeader.SizeOfImage;
  struct Case {
    const char* name;
    const unsigned char* built;
    size_t builtSize;
  } cases[] = {{"SKIN_100", ZindleSkinBlock, ZindleSkinBlockSize}, {"SKIN_200", ZindleSkinBlock200, ZindleSkinBlock200Size}};
  ASSERT_EQ(2, SkinResourceNameCount);
  for (int i = 0; i < SkinResourceNameCount; ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_STREQ(cases[i].name, SkinResourceNames[i].name);
    EXPECT_EQ(i ? 200 : 100, SkinResourceNames[i].percent);
    size_t size = 1;
    const auto* block = static_cast<const uint8_t*>(FindSkinResource(module, cases[i].name, &size));
    if (cases[i].builtSize == 0) {  // a build without 200 % art
      EXPECT_EQ(nullptr, block);
      continue;
    }
    ASSERT_NE(nullptr, block);
    ASSERT_EQ(cases[i].builtSize, size);
    EXPECT_TRUE(block > base && block + size <= end) << "not inside the program's image";
    EXPECT_EQ(0, memcmp(block, cases[i].built, size));
  }
  size_t size = 1;
  EXPECT_EQ(nullptr, FindSkinResource(module, "SKIN_150", &size));
  EXPECT_EQ(0u, size);
}

// A gadget's rectangle in its window's client coordinates.
RECT ClientRectOf(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// A digest of the face's pixels, to tell which drawing the window wears.
uint64_t FaceDigest() {
  ImageRecord* face = FindImage(1);
  if (!face) return 0;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = face->width;
  info.bmiHeader.biHeight = -face->height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  std::vector<uint32_t> pixels(size_t(face->width) * size_t(face->height));
  HDC screen = GetDC(nullptr);
  int rows = GetDIBits(screen, static_cast<HBITMAP>(face->handle), 0, face->height, pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(face->height, rows);
  uint64_t digest = 0xCBF29CE484222325ull;
  for (uint32_t p : pixels) digest = (digest ^ (p & 0xFFFFFF)) * 0x100000001B3ull;
  return digest;
}

// Both buttons lie inside the window's client area. A window that wears no skin has no face, no
// image and no outline, and the 100 % size at its scale.
void ExpectButtonsOnTheWindow(HWND window, bool skinned) {
  long dpi = WindowDpi(1);
  SCOPED_TRACE(testing::Message() << dpi << " DPI");
  RECT client;
  GetClientRect(window, &client);
  for (ObjectNumber button : {2, 6}) {
    RECT r = ClientRectOf(GadgetHandleOf(button));
    EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom)
        << "gadget " << button << " at " << r.left << "," << r.top << " - " << r.right << "," << r.bottom
        << " outside " << client.right << " x " << client.bottom;
  }
  HRGN outline = CreateRectRgn(0, 0, 0, 0);
  if (skinned) {
    ImageRecord* face = FindImage(1);
    ASSERT_NE(nullptr, face);
    EXPECT_EQ(face->width, client.right);
    EXPECT_EQ(face->height, client.bottom);
    EXPECT_NE(ERROR, GetWindowRgn(window, outline)) << "no outline";
  } else {
    EXPECT_EQ(nullptr, FindImage(1));
    EXPECT_EQ(nullptr, GadgetHandleOf(1)) << "a face without a skin";
    EXPECT_EQ(ERROR, GetWindowRgn(window, outline)) << "an outline without a skin";
    EXPECT_EQ(MulDiv(575, dpi, BaseDpi), client.right);
    EXPECT_EQ(MulDiv(385, dpi, BaseDpi), client.bottom);
  }
  DeleteObject(outline);
}

void SendScale(HWND window, long dpi) {
  RECT suggested = {50, 40, 50 + MulDiv(575, dpi, BaseDpi), 40 + MulDiv(385, dpi, BaseDpi)};
  SendMessageA(window, DpiChangedMessage, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

// A drawing that cannot be applied gives way to the next best: a 200 % block the launcher refuses
// (cut short, another banner, a stream failing its checksum) leaves the window skinned at 200 %
// from the 100 % art, and the other way round. With every drawing refused the window is plain, of
// the 100 % size at its scale, with both buttons on it, at every scale it is moved to.
TEST(LauncherWindow, ADrawingThatCannotBeAppliedGivesWayToTheNextBest) {
  if (ZindleSkinBlock200Size == 0) GTEST_SKIP() << "built without 200 % art";
  enum Damage { Whole, OtherBanner, CutShort, BadChecksum };
  // The block with the damage; its size in *size.
  auto damaged = [](const unsigned char* block, size_t blockSize, Damage damage, size_t* size) {
    std::vector<uint8_t> bytes(block, block + blockSize);
    *size = damage == CutShort ? 40 : blockSize;  // 40 bytes: not even the header
    if (damage == OtherBanner) bytes[SkinBlockBannerOffset + 1] ^= 0x20;
    if (damage == BadChecksum) {
      SkinBlockView view;
      EXPECT_TRUE(ReadSkinBlock(block, blockSize, &view) && view.compressed) << "a block without a stream";
      bytes[size_t(view.imageData - block) + 6] ^= 0x01;  // the stream's checksum
    }
    return bytes;
  };
  static std::vector<uint8_t> block100, block200;
  static SkinArt arts[2];
  auto open = [&](Damage at100, Damage at200) {
    size_t size100, size200;
    block100 = damaged(ZindleSkinBlock, ZindleSkinBlockSize, at100, &size100);
    block200 = damaged(ZindleSkinBlock200, ZindleSkinBlock200Size, at200, &size200);
    arts[0] = {BaseDpi, block100.data(), size100};
    arts[1] = {2 * BaseDpi, block200.data(), size200};
    HWND window = OpenLauncherWindowWithArt(arts, 2);
    InstallWindowHook(LauncherWindowHook);
    return window;
  };
  auto close = [] {
    InstallWindowHook(nullptr);
    DestroyNumberedWindow(1);
    ReleaseAllImages();
  };
  // What the face shows at 200 % from each drawing.
  uint64_t from[2];
  for (int i = 0; i < 2; ++i) {
    HWND window = open(i == 0 ? Whole : CutShort, i == 0 ? CutShort : Whole);
    SendScale(window, 2 * BaseDpi);
    from[i] = FaceDigest();
    close();
  }
  ASSERT_NE(from[0], from[1]) << "the two drawings look alike at 200 %";
  struct Case {
    const char* what;
    Damage at100, at200;
    int shown;  // at 200 %: 100 or 200, the drawing shown; 0, none
  } cases[] = {
      {"both whole", Whole, Whole, 200},
      {"200 % cut short", Whole, CutShort, 100},
      {"100 % with another banner", OtherBanner, Whole, 200},
      {"200 % failing its checksum", Whole, BadChecksum, 100},
      {"100 % failing its checksum", BadChecksum, Whole, 200},
      {"both refused", OtherBanner, CutShort, 0},
      {"both failing their checksums", BadChecksum, BadChecksum, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HWND window = open(c.at100, c.at200);
    ASSERT_TRUE(IsWindow(window));
    EXPECT_TRUE(IsWindowVisible(window)) << "skinned or plain, the window is shown";
    ExpectButtonsOnTheWindow(window, c.shown != 0);
    for (long dpi : {144L, 192L, 120L, 480L, 96L}) {
      SendScale(window, dpi);
      ExpectButtonsOnTheWindow(window, c.shown != 0);
      if (dpi == 192) EXPECT_EQ(c.shown ? from[c.shown / 100 - 1] : 0, FaceDigest()) << "not the drawing expected";
    }
    close();
  }
  // Without a skin the window opens centred for its size at the screen's scale, and stays plain
  // at scales far beyond any monitor's.
  HWND window = open(OtherBanner, CutShort);
  RECT placed;
  GetWindowRect(window, &placed);
  long dpi = WindowDpi(1);
  EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN) / 2 - MulDiv(575, dpi, BaseDpi) / 2, placed.left);
  EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN) / 2 - MulDiv(385, dpi, BaseDpi) / 2, placed.top);
  for (long absurd : {960L, 2400L}) {
    SendScale(window, absurd);
    ExpectButtonsOnTheWindow(window, false);
  }
  close();
}

// The width of an icon's colour image (of its mask for a monochrome icon).
long IconWidth(HICON icon) {
  ICONINFO info;
  if (!icon || !GetIconInfo(icon, &info)) return 0;
  BITMAP bitmap = {};
  GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
  DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  return bitmap.bmWidth;
}

// Every class carries the program's icon and the icon's own small image, one shared handle each,
// not a small copy made for each class.
TEST(LauncherWindow, ClassesCarryTheProgramIconAndItsSmallImage) {
  HWND window = OpenSkinnedLauncherWindow(ZindleSkinBlock, ZindleSkinBlockSize);
  ASSERT_TRUE(IsWindow(window));
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA windowClass = {sizeof windowClass}, templateClass = {sizeof templateClass};
  EXPECT_TRUE(GetClassInfoExA(instance, "WindowClass_1", &windowClass));
  EXPECT_TRUE(GetClassInfoExA(instance, "TemplateClass", &templateClass));
  DestroyNumberedWindow(1);
  ReleaseAllImages();
  EXPECT_NE(nullptr, windowClass.hIcon);
  EXPECT_EQ(LoadIconA(instance, MAKEINTRESOURCEA(1)), windowClass.hIcon);
  EXPECT_EQ(GetSystemMetrics(SM_CXICON), IconWidth(windowClass.hIcon));
  EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), IconWidth(windowClass.hIconSm));
  EXPECT_EQ(windowClass.hIcon, templateClass.hIcon);
  EXPECT_EQ(windowClass.hIconSm, templateClass.hIconSm);
}

// Moved to a monitor of another scale, the window takes the new DPI, the suggested place, the
// skin at that scale with its outline, and buttons and captions laid out for it; back at 100 %
// it is as it opened. The platform under test never sends the message: it is sent as the
// platform would, with the new DPI and the suggested rectangle.
TEST(LauncherWindow, TakesANewScaleWhenMovedToAnotherMonitor) {
  HWND window = OpenLauncherWindow();
  ASSERT_TRUE(IsWindow(window));
  ASSERT_EQ(BaseDpi, WindowDpi(1)) << "the test screen runs at 100 %";
  InstallWindowHook(LauncherWindowHook);
  SetFocus(GadgetHandleOf(6));
  struct Case {
    long dpi;
    long width, height;     // 575 x 385 scaled, rounded half up
    RECT play, quit;        // (160, 250, 60, 20) and (355, 250, 60, 20) scaled, as left, top, right, bottom
    POINT cut, opaque;      // a point the outline cuts away, one inside it
  } cases[] = {
      {192, 1150, 770, {320, 500, 440, 540}, {710, 500, 830, 540}, {10, 10}, {574, 200}},
      {144, 863, 578, {240, 375, 330, 405}, {533, 375, 623, 405}, {8, 8}, {431, 150}},
      {120, 719, 481, {200, 313, 275, 338}, {444, 313, 519, 338}, {6, 6}, {359, 125}},
      {96, 575, 385, {160, 250, 220, 270}, {355, 250, 415, 270}, {0, 0}, {287, 100}},
  };
  LOGFONTA stock = {};
  GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof stock, &stock);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dpi);
    RECT suggested = {40 + c.dpi, 30, 40 + c.dpi + c.width + 3, 30 + c.height + 3};
    EXPECT_EQ(0, SendMessageA(window, DpiChangedMessage, MAKEWPARAM(c.dpi, c.dpi), reinterpret_cast<LPARAM>(&suggested)));
    EXPECT_EQ(c.dpi, WindowDpi(1));
    RECT placed;
    GetWindowRect(window, &placed);
    EXPECT_EQ(suggested.left, placed.left);
    EXPECT_EQ(suggested.top, placed.top);
    EXPECT_EQ(c.width, placed.right - placed.left);
    EXPECT_EQ(c.height, placed.bottom - placed.top);
    ImageRecord* face = FindImage(1);
    ASSERT_NE(nullptr, face);
    EXPECT_EQ(c.width, face->width);
    EXPECT_EQ(c.height, face->height);
    HRGN outline = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(ERROR, GetWindowRgn(window, outline));
    RECT box;
    GetRgnBox(outline, &box);
    EXPECT_LE(box.right, c.width);
    EXPECT_LE(box.bottom, c.height);
    EXPECT_FALSE(PtInRegion(outline, c.cut.x, c.cut.y));
    EXPECT_TRUE(PtInRegion(outline, c.opaque.x, c.opaque.y));
    DeleteObject(outline);
    for (const auto& button : {std::make_pair(2, c.play), std::make_pair(6, c.quit)}) {
      RECT r = ClientRectOf(GadgetHandleOf(button.first));
      EXPECT_EQ(button.second.left, r.left) << "gadget " << button.first;
      EXPECT_EQ(button.second.top, r.top) << "gadget " << button.first;
      EXPECT_EQ(button.second.right, r.right) << "gadget " << button.first;
      EXPECT_EQ(button.second.bottom, r.bottom) << "gadget " << button.first;
      LOGFONTA font = {};
      GetObjectA(reinterpret_cast<HGDIOBJ>(SendMessageA(GadgetHandleOf(button.first), WM_GETFONT, 0, 0)), sizeof font,
                 &font);
      EXPECT_EQ(MulDiv(stock.lfHeight, c.dpi, GadgetTable.fontDpi), font.lfHeight) << "gadget " << button.first;
      EXPECT_STREQ(stock.lfFaceName, font.lfFaceName);
    }
    EXPECT_EQ(GadgetHandleOf(6), GetFocus()) << "the focused button keeps the keyboard";
  }
  InstallWindowHook(nullptr);
  DestroyNumberedWindow(1);
  ReleaseAllImages();
}

void SendMouse(DWORD flags, LONG dx = 0, LONG dy = 0) {
  INPUT input = {};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  input.mi.dx = dx;
  input.mi.dy = dy;
  SendInput(1, &input, sizeof input);
}

// What the timer does, step by step, inside the platform's move loop.
struct DragScript {
  HWND window;
  POINT start;
  int step;
  RECT afterChange;  // the window once the pointer moved after the change of scale
};
DragScript Drag;

void CALLBACK DragStep(HWND, UINT, UINT_PTR timer, DWORD) {
  POINT at = {Drag.start.x + 20 + 10 * Drag.step, Drag.start.y + 10 + 5 * Drag.step};
  switch (Drag.step++) {
    case 0:
    case 1:
      SetCursorPos(at.x, at.y);
      SendMouse(MOUSEEVENTF_MOVE);
      break;
    case 2: {
      RECT suggested = {100, 80, 100 + 863, 80 + 578};
      SendMessageA(Drag.window, DpiChangedMessage, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
      break;
    }
    case 3:
      SetCursorPos(at.x, at.y);
      SendMouse(MOUSEEVENTF_MOVE);
      break;
    case 4: {
      GetWindowRect(Drag.window, &Drag.afterChange);
      POINT now;
      GetCursorPos(&now);
      SetCursorPos(now.x + 30, now.y + 20);
      SendMouse(MOUSEEVENTF_MOVE);
      break;
    }
    default:
      SendMouse(MOUSEEVENTF_LEFTUP);
      KillTimer(nullptr, timer);
      break;
  }
}

// A change of scale in the middle of a drag: the window takes the new scale at once, the drag
// goes on with the window following the pointer, and ends when the button is released.
TEST(LauncherWindow, ADragSurvivesAChangeOfScale) {
  HWND window = OpenLauncherWindow();
  ASSERT_TRUE(IsWindow(window));
  InstallWindowHook(LauncherWindowHook);
  RECT before;
  GetWindowRect(window, &before);
  Drag = {window, {before.left + 287, before.top + 100}, 0, {}};
  SetCursorPos(Drag.start.x, Drag.start.y);
  SendMouse(MOUSEEVENTF_LEFTDOWN);
  UINT_PTR timer = SetTimer(nullptr, 0, 60, DragStep);
  ASSERT_NE(0u, timer);
  // The platform's move loop runs until the button is released; the timer drives it.
  SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(Drag.start.x, Drag.start.y));
  KillTimer(nullptr, timer);
  EXPECT_GE(Drag.step, 6) << "the move loop ended before the button was released";
  RECT after;
  GetWindowRect(window, &after);
  EXPECT_EQ(144, WindowDpi(1));
  EXPECT_EQ(863, after.right - after.left);
  EXPECT_EQ(578, after.bottom - after.top);
  EXPECT_EQ(863, FindImage(1)->width);
  // The last move of the pointer, after the change, moved the window with it.
  EXPECT_EQ(Drag.afterChange.left + 30, after.left);
  EXPECT_EQ(Drag.afterChange.top + 20, after.top);
  EXPECT_TRUE(IsWindowVisible(window));
  InstallWindowHook(nullptr);
  DestroyNumberedWindow(1);
  ReleaseAllImages();
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  StartLibraries(GetModuleHandleA(nullptr));
  return RUN_ALL_TESTS();
}
