// The launcher's window as it opens with its own skin and with skins of other sizes: where it
// lands on the screen and the size it takes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/launcher_main.h"
#include "launcher/startup.h"
#include "skin/image_store.h"
#include "skin/zindle_skin.h"
#include "skin_test_data.h"
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

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  StartLibraries(GetModuleHandleA(nullptr));
  return RUN_ALL_TESTS();
}
