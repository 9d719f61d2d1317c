// The image store under Wine: real bitmaps and icons built from files in memory, their numbers,
// and the refusal of files that claim more than they hold.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "image_test_data.h"
#include "runtime/heaps.h"
#include "runtime/runtime_state.h"
#include "skin/image_store.h"
#include "skin/skin_block.h"
#include "skin/zindle_skin.h"
#include "support/heap_probe.h"
#include "support/runtime_setup.h"

namespace {

class ImageStoreTest : public testing::Test {
 protected:
  void SetUp() override {
    StartRuntimeForTests();
    InitImageLibrary();
  }
  void TearDown() override { ReleaseAllImages(); }
};

Bytes ProductSkinBitmap() {
  SkinBlockView view;
  EXPECT_TRUE(ReadSkinBlock(ZindleSkinBlock, ZindleSkinBlockSize, &view));
  Bytes bmp(view.unpackedSize);
  EXPECT_EQ(view.unpackedSize, UnpackSkinImage(view, bmp.data()));
  return bmp;
}

bool IsGdiObject(HANDLE handle) { return GetObjectType(handle) != 0; }
bool IsIcon(HANDLE handle) {
  ICONINFO info;
  if (!GetIconInfo(static_cast<HICON>(handle), &info)) return false;
  DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  return true;
}

// The colour of a pixel of a bitmap, as 0x00BBGGRR.
COLORREF PixelOf(HANDLE bitmap, int x, int y) {
  HDC memory = CreateCompatibleDC(nullptr);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  COLORREF colour = GetPixel(memory, x, y);
  SelectObject(memory, previous);
  DeleteDC(memory);
  return colour;
}

int DisplayDepth() {
  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  int depth = GetDeviceCaps(display, BITSPIXEL);
  DeleteDC(display);
  return depth;
}

TEST_F(ImageStoreTest, ProductSkinBecomesImageOne) {
  Bytes bmp = ProductSkinBitmap();
  ObjectNumber handle = ImageFromMemory(1, bmp.data(), bmp.size());
  ASSERT_NE(0, handle);
  EXPECT_EQ(OBJ_BITMAP, GetObjectType(reinterpret_cast<HANDLE>(handle)));
  EXPECT_EQ(reinterpret_cast<HANDLE>(handle), MakeImageCurrent(1));
  EXPECT_EQ(575, CurrentImageWidth());
  EXPECT_EQ(385, CurrentImageHeight());
  // The bitmap is in the display's format, not the file's 24 bits.
  EXPECT_EQ(DisplayDepth(), FindImage(1)->depth);
  // The top-left pixel of the skin is its key colour, magenta.
  EXPECT_EQ(RGB(255, 0, 255), PixelOf(reinterpret_cast<HANDLE>(handle), 0, 0));
  // The form without a size builds the same image.
  EXPECT_NE(0, ImageFromMemory(2, bmp.data()));
  MakeImageCurrent(2);
  EXPECT_EQ(575, CurrentImageWidth());
}

TEST_F(ImageStoreTest, PixelsArriveRightWayUpInEveryFormat) {
  // Top row red, bottom row blue, stored bottom-up, top-down and through a palette.
  Bytes bottomUp = MakeBmpFile(1, 2, 24, {}, {0xFF, 0, 0, 0, 0, 0, 0xFF, 0});
  Bytes topDown = MakeBmpFile(1, -2, 24, {}, {0, 0, 0xFF, 0, 0xFF, 0, 0, 0});
  Bytes palette = MakeBmpFile(1, 2, 8, {0x0000FF, 0xFF0000}, {0, 0, 0, 0, 1, 0, 0, 0});
  for (const Bytes* file : {&bottomUp, &topDown, &palette}) {
    ObjectNumber handle = ImageFromMemory(3, file->data(), file->size());
    ASSERT_NE(0, handle);
    MakeImageCurrent(3);
    EXPECT_EQ(1, CurrentImageWidth());
    EXPECT_EQ(2, CurrentImageHeight());
    EXPECT_EQ(RGB(255, 0, 0), PixelOf(reinterpret_cast<HANDLE>(handle), 0, 0));
    EXPECT_EQ(RGB(0, 0, 255), PixelOf(reinterpret_cast<HANDLE>(handle), 0, 1));
  }
}

// Every pixel of a bitmap, as 32-bit rows top-down.
std::vector<uint32_t> PixelsOf(HANDLE bitmap, int width, int height) {
  std::vector<uint32_t> pixels(size_t(width) * size_t(height));
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(height, GetDIBits(screen, static_cast<HBITMAP>(bitmap), 0, UINT(height), pixels.data(), &info,
                              DIB_RGB_COLORS));
  ReleaseDC(nullptr, screen);
  return pixels;
}

// A file built from pages the store consumes gives the very image ImageFromMemory gives, whether
// its rows go over in bands (plain bottom-up files larger than a band) or in one piece; the pages
// are gone afterwards, also when the file is refused.
TEST_F(ImageStoreTest, ImagesFromConsumedPagesMatchImagesFromMemory) {
  // 24-bit rows of 999 pixels (2,1000 bytes): about 22 rows to a band, so 300 rows make 14 bands,
  // and the last band is a short one. Each row and column differs.
  const int width = 999, height = 300;
  Bytes wide(size_t(RowBytes(width, 24)) * height);
  for (size_t i = 0; i < wide.size(); ++i) wide[i] = uint8_t(i * 7 + i / 2997);
  Bytes indexed(size_t(RowBytes(width, 8)) * height);
  for (size_t i = 0; i < indexed.size(); ++i) indexed[i] = uint8_t(i % 3);
  Bytes truncated = MakeBmpFile(width, height, 24, {}, wide);
  truncated.resize(truncated.size() - 1);
  // A pixel offset that points into or before the headers: the rows then overlap the headers,
  // which every band still reads. Released under the bands, the headers' page was read after
  // it was gone, and the process ended.
  auto withPixelOffset = [](Bytes file, uint32_t offset) {
    Put32(file, 10, offset);
    return file;
  };
  Bytes tall(size_t(RowBytes(100, 24)) * 300);
  for (size_t i = 0; i < tall.size(); ++i) tall[i] = uint8_t(i * 13);
  Bytes wideIndexed(size_t(RowBytes(4096, 8)) * 40);
  for (size_t i = 0; i < wideIndexed.size(); ++i) wideIndexed[i] = uint8_t(i % 5);
  struct Case {
    const char* name;
    Bytes file;
    bool builds;
  } cases[] = {
      {"24-bit bottom-up, in bands", MakeBmpFile(width, height, 24, {}, wide), true},
      {"8-bit palette bottom-up, in bands", MakeBmpFile(width, height, 8, {0xFF0000, 0x00FF00, 0x0000FF}, indexed),
       true},
      {"top-down, in one piece", MakeBmpFile(width, -height, 24, {}, wide), true},
      {"smaller than a band", MakeSolidBmp(5, 3, 0x123456), true},
      {"product skin", ProductSkinBitmap(), true},
      {"icon file", MakeIconFile({MakeIconImage(16, 0xFF0000)}, {16}), true},
      {"pixels cut short", truncated, false},
      {"pixel offset 0, 24-bit", withPixelOffset(MakeBmpFile(100, 300, 24, {}, tall), 0), true},
      {"pixel offset 0, 8-bit rows of a page", withPixelOffset(MakeBmpFile(4096, 40, 8, {0xFF, 0xFF00}, wideIndexed), 0),
       true},
      {"pixel offset inside the info header", withPixelOffset(MakeBmpFile(width, height, 24, {}, wide), 20), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    void* pages = AllocateImagePages(c.file.size());
    ASSERT_NE(nullptr, pages);
    memcpy(pages, c.file.data(), c.file.size());
    ObjectNumber consumed = ImageFromImagePages(5, pages, c.file.size());
    MEMORY_BASIC_INFORMATION state;
    ASSERT_EQ(sizeof state, VirtualQuery(pages, &state, sizeof state));
    EXPECT_EQ(DWORD(MEM_FREE), state.State) << "the pages were released";
    ObjectNumber direct = ImageFromMemory(6, c.file.data(), c.file.size());
    EXPECT_EQ(c.builds, consumed != 0);
    EXPECT_EQ(c.builds, direct != 0);
    if (!consumed || !direct) continue;
    ImageRecord* a = FindImage(5);
    ImageRecord* b = FindImage(6);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(b->width, a->width);
    EXPECT_EQ(b->height, a->height);
    EXPECT_EQ(b->depth, a->depth);
    if (GetObjectType(a->handle) == OBJ_BITMAP)
      EXPECT_TRUE(PixelsOf(a->handle, a->width, a->height) == PixelsOf(b->handle, b->width, b->height));
  }
  EXPECT_EQ(nullptr, AllocateImagePages(0));
  EXPECT_EQ(0, ImageFromImagePages(7, nullptr, 10));
}

TEST_F(ImageStoreTest, TableGrowsBeyondTheNumberAskedFor) {
  Bytes bmp = MakeSolidBmp(2, 2, 0x00FF00);
  for (ObjectNumber n = 0; n < 10; ++n) ASSERT_NE(0, ImageFromMemory(n, bmp.data(), bmp.size()));
  EXPECT_EQ(10, ImageTable.capacity);
  ASSERT_NE(0, ImageFromMemory(10, bmp.data(), bmp.size()));
  EXPECT_EQ(20, ImageTable.capacity);
  EXPECT_EQ(21u * sizeof(ImageRecord), HeapSize(RuntimeState.heap, 0, ImageTable.records));
  // The images made before the growth are still there.
  for (ObjectNumber n = 0; n <= 10; ++n) EXPECT_NE(nullptr, MakeImageCurrent(n)) << n;
  EXPECT_EQ(0, ImageFromMemory(HighestImageNumber + 1, bmp.data(), bmp.size()));
  EXPECT_EQ(0, ImageFromMemory(-2, bmp.data(), bmp.size()));
  EXPECT_EQ(20, ImageTable.capacity);
}

TEST_F(ImageStoreTest, AnyNumberRecordsLiveOutsideTheTable) {
  Bytes bmp = MakeSolidBmp(3, 4, 0x00FF00);
  ObjectNumber id = ImageFromMemory(AnyNumber, bmp.data(), bmp.size());
  ASSERT_NE(0, id);
  EXPECT_TRUE(id < 0 || id > ImageTable.capacity);
  HANDLE handle = MakeImageCurrent(id);
  ASSERT_NE(nullptr, handle);
  EXPECT_EQ(3, CurrentImageWidth());
  // Rebuilding under the identifier keeps the record and does not grow the table.
  HANDLE rebuilt = reinterpret_cast<HANDLE>(CreateBlankImage(id, 5, 6));
  ASSERT_NE(nullptr, rebuilt);
  EXPECT_EQ(rebuilt, MakeImageCurrent(id));
  EXPECT_EQ(5, CurrentImageWidth());
  EXPECT_FALSE(IsGdiObject(handle));
  EXPECT_EQ(10, ImageTable.capacity);
  EXPECT_TRUE(IsLiveBlock(reinterpret_cast<ObjectRecordHeader*>(id) - 1, MemoryState.objectHeap));
  ReleaseImage(id);
  EXPECT_FALSE(IsLiveBlock(reinterpret_cast<ObjectRecordHeader*>(id) - 1, MemoryState.objectHeap));
  EXPECT_EQ(nullptr, ImageTable.dynamicImages);
  EXPECT_EQ(nullptr, MakeImageCurrent(id));
  // A build that fails under AnyNumber keeps no record.
  EXPECT_EQ(0, CreateBlankImage(AnyNumber, 0, 5));
  Bytes truncated = MakeSolidBmp(3, 4, 0);
  truncated.pop_back();
  EXPECT_EQ(0, ImageFromMemory(AnyNumber, truncated.data(), truncated.size()));
  EXPECT_EQ(nullptr, ImageTable.dynamicImages);
}

TEST_F(ImageStoreTest, RebuildingReleasesTheOldObjectWithTheRightCall) {
  Bytes bmp = MakeSolidBmp(4, 4, 0x0000FF);
  Bytes icon = MakeIconFile({MakeIconImage(16, 0xFF0000)}, {16});
  HANDLE bitmap = reinterpret_cast<HANDLE>(ImageFromMemory(4, bmp.data(), bmp.size()));
  ASSERT_TRUE(IsGdiObject(bitmap));
  HANDLE iconHandle = reinterpret_cast<HANDLE>(ImageFromMemory(4, icon.data(), icon.size()));
  ASSERT_TRUE(IsIcon(iconHandle));
  EXPECT_FALSE(IsGdiObject(bitmap));  // deleted with DeleteObject
  ASSERT_NE(0, ImageFromMemory(4, bmp.data(), bmp.size()));
  EXPECT_FALSE(IsIcon(iconHandle));  // destroyed with DestroyIcon
  ReleaseImage(4);
  EXPECT_EQ(nullptr, MakeImageCurrent(4));
}

TEST_F(ImageStoreTest, IconFileYieldsItsFirstImage) {
  Bytes icon = MakeIconFile({MakeIconImage(16, 0xFF0000), MakeIconImage(32, 0x0000FF)}, {16, 32});
  HANDLE handle = reinterpret_cast<HANDLE>(ImageFromMemory(5, icon.data(), icon.size()));
  ASSERT_TRUE(IsIcon(handle));
  MakeImageCurrent(5);
  EXPECT_EQ(16, CurrentImageWidth());
  EXPECT_EQ(16, CurrentImageHeight());
  EXPECT_EQ(32, FindImage(5)->depth);
  HICON direct = IconFromMemory(icon.data(), icon.size());
  ASSERT_NE(nullptr, direct);
  DestroyIcon(direct);
}

TEST_F(ImageStoreTest, SidesUpTo32767) {
  ASSERT_NE(0, CreateBlankImage(6, 32767, 1));
  MakeImageCurrent(6);
  EXPECT_EQ(32767, CurrentImageWidth());
  EXPECT_EQ(1, CurrentImageHeight());
  EXPECT_EQ(0, CreateBlankImage(7, 32768, 1));
  EXPECT_EQ(0, CreateBlankImage(7, 1, 0));
  EXPECT_EQ(nullptr, MakeImageCurrent(7));
}

TEST_F(ImageStoreTest, BlankImagesAreBlack) {
  HANDLE handle = reinterpret_cast<HANDLE>(CreateBlankImage(8, 7, 3));
  ASSERT_NE(nullptr, handle);
  EXPECT_EQ(RGB(0, 0, 0), PixelOf(handle, 0, 0));
  EXPECT_EQ(RGB(0, 0, 0), PixelOf(handle, 6, 2));
}

TEST_F(ImageStoreTest, FilesClaimingMoreThanTheyHoldAreRefusedAndTheNumberKept) {
  Bytes good = MakeSolidBmp(2, 2, 0xFFFFFF);
  HANDLE kept = reinterpret_cast<HANDLE>(ImageFromMemory(9, good.data(), good.size()));
  ASSERT_NE(nullptr, kept);
  Bytes shortBmp = MakeSolidBmp(40, 40, 0x808080);
  Bytes icon = MakeIconFile({MakeIconImage(16, 0xFF0000)}, {16});
  struct Case {
    const char* name;
    Bytes data;
    size_t size;
  } cases[] = {
      {"BMP missing its last row", shortBmp, shortBmp.size() - RowBytes(40, 24)},
      {"BMP cut in its header", shortBmp, 20},
      {"icon missing its mask's last byte", icon, icon.size() - 1},
      {"icon cut in its directory", icon, 10},
      {"neither BMP nor icon", Bytes(64, 0x55), 64},
      {"empty", Bytes(1, 0), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(0, ImageFromMemory(9, c.data.data(), c.size));
    EXPECT_EQ(kept, MakeImageCurrent(9));
    EXPECT_TRUE(IsGdiObject(kept));
  }
  EXPECT_EQ(0, ImageFromMemory(9, nullptr, 100));
  EXPECT_EQ(0, ImageFromMemory(9, nullptr));
}

// The old image stays until the new one exists: a build the platform refuses leaves the number's
// image, and any control showing it, as they were.
TEST_F(ImageStoreTest, ABuildThePlatformRefusesKeepsTheNumbersImage) {
  Bytes good = MakeSolidBmp(2, 2, 0x00FF00), huge = MakeHugeRunLengthBmp();
  ObjectNumber any = ImageFromMemory(AnyNumber, good.data(), good.size());
  for (ObjectNumber number : {ObjectNumber(9), any}) {
    SCOPED_TRACE(number == any ? "AnyNumber" : "table");
    HANDLE kept = number == any ? MakeImageCurrent(any) : reinterpret_cast<HANDLE>(ImageFromMemory(9, good.data(), good.size()));
    ASSERT_TRUE(IsGdiObject(kept));
    ASSERT_EQ(0, CreateBlankImage(number, 32767, 32767)) << "the platform made a bitmap of 4 GB";
    EXPECT_EQ(0, ImageFromMemory(number, huge.data(), huge.size()));
    EXPECT_TRUE(IsGdiObject(kept)) << "the old bitmap was deleted before the new one existed";
    EXPECT_EQ(kept, MakeImageCurrent(number));
    EXPECT_EQ(2, CurrentImageWidth());
  }
}

// A decoder of a made-up format: "TEST", then width and height bytes; every pixel is green.
int32_t TestWidth = 0, TestHeight = 0, TestStride = 0;
int32_t TestCheck(const void*, const void* data, const char*) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  if (memcmp(p, "TEST", 4) != 0) return 0;
  TestWidth = p[4];
  TestHeight = p[5];
  return 1;
}
int32_t TestDecode(void* destination, int32_t stride, int32_t) {
  TestStride = stride;
  for (int32_t y = 0; y < TestHeight; ++y)
    for (int32_t x = 0; x < TestWidth; ++x) {
      uint8_t* p = static_cast<uint8_t*>(destination) + y * stride + x * 3;
      p[0] = 0, p[1] = 0xFF, p[2] = 0;
    }
  return 1;
}
int32_t TestWidthOf() { return TestWidth; }
int32_t TestHeightOf() { return TestHeight; }
const ImageDecoder TestDecoder = {TestCheck, TestDecode, TestWidthOf, TestHeightOf};

TEST_F(ImageStoreTest, RegisteredDecodersBuildImagesAndTheRegistryHoldsAHundred) {
  const uint8_t data[] = {'T', 'E', 'S', 'T', 5, 3};
  EXPECT_EQ(0, ImageFromMemory(1, data));  // no decoder yet
  ASSERT_EQ(1, RegisterImageDecoder(&TestDecoder));
  HANDLE handle = reinterpret_cast<HANDLE>(ImageFromMemory(1, data));
  ASSERT_NE(nullptr, handle);
  EXPECT_EQ(16, TestStride);  // 3 x 5 rounded up to whole words
  MakeImageCurrent(1);
  EXPECT_EQ(5, CurrentImageWidth());
  EXPECT_EQ(3, CurrentImageHeight());
  EXPECT_EQ(RGB(0, 255, 0), PixelOf(handle, 4, 2));
  for (int i = 1; i < MostImageDecoders; ++i) ASSERT_EQ(1, RegisterImageDecoder(&TestDecoder));
  EXPECT_EQ(0, RegisterImageDecoder(&TestDecoder));
}

TEST_F(ImageStoreTest, ReleaseAllImagesFreesEveryObjectAndRecord) {
  ReleaseAllImages();  // with nothing held: nothing happens
  Bytes bmp = MakeSolidBmp(2, 2, 0);
  std::vector<HANDLE> handles;
  for (ObjectNumber n : {0, 3, 15}) handles.push_back(reinterpret_cast<HANDLE>(ImageFromMemory(n, bmp.data(), bmp.size())));
  for (int i = 0; i < 3; ++i) handles.push_back(MakeImageCurrent(ImageFromMemory(AnyNumber, bmp.data(), bmp.size())));
  for (HANDLE h : handles) ASSERT_TRUE(IsGdiObject(h));
  ReleaseAllImages();
  for (HANDLE h : handles) EXPECT_FALSE(IsGdiObject(h));
  EXPECT_EQ(nullptr, ImageTable.dynamicImages);
  for (ObjectNumber n = 0; n <= ImageTable.capacity; ++n) EXPECT_EQ(nullptr, ImageTable.records[n].handle);
}

}  // namespace
