// The ImageTable and the building of images from memory.
#include "skin/image_store.h"

#include <string.h>

#include "runtime/runtime_state.h"
#include "skin/bmp_bands.h"
#include "skin/image_headers.h"

ImageTableRecord ImageTable;

namespace {

struct DecoderRegistryRecord {
  const ImageDecoder* decoders[MostImageDecoders];  // in registration order
  int32_t count;
  const ImageDecoder* current;  // the decoder that recognised the data last
};
DecoderRegistryRecord DecoderRegistry;

bool IsTableNumber(ObjectNumber number) { return number >= 0 && number <= ImageTable.capacity; }

ImageRecord* DynamicImage(ObjectNumber number) {
  if (IsTableNumber(number)) return nullptr;
  return static_cast<ImageRecord*>(
      FindObjectRecord(ImageTable.dynamicImages, reinterpret_cast<void*>(number)));
}

// Grows the table so that it addresses number; a current record inside the table follows it.
bool GrowTableFor(ObjectNumber number) {
  ObjectNumber capacity = number + ImageTableGrowth;
  ImageRecord* old = ImageTable.records;
  void* grown = GrowRecordTable(old, capacity + 1, sizeof(ImageRecord));
  if (!grown) return false;
  ImageTable.records = static_cast<ImageRecord*>(grown);
  if (ImageTable.currentImage >= old && ImageTable.currentImage <= old + ImageTable.capacity)
    ImageTable.currentImage = ImageTable.records + (ImageTable.currentImage - old);
  ImageTable.capacity = capacity;
  return true;
}

// The record a build under number uses: a new AnyNumber record, the live AnyNumber record the
// number names, or the table slot (growing the table). 0 for numbers the store does not take.
ImageRecord* ReserveImageRecord(ObjectNumber number) {
  if (number == AnyNumber) {
    return static_cast<ImageRecord*>(AllocateObjectRecord(
        &ImageTable.dynamicImages, sizeof(ObjectRecordHeader) + sizeof(ImageRecord)));
  }
  // An identifier handed out under AnyNumber is rebuilt in place; it must not grow the table.
  if (ImageRecord* dynamic = DynamicImage(number)) return dynamic;
  if (number < 0 || number > HighestImageNumber) return nullptr;
  if (number >= ImageTable.capacity && !GrowTableFor(number)) return nullptr;
  return &ImageTable.records[number];
}

// Frees the platform object of a record; the record stays.
void ReleaseImageHandle(ImageRecord* record) {
  if (!record->handle) return;
  if (GetObjectType(record->handle) == OBJ_BITMAP) {
    DeleteObject(record->handle);
  } else {
    DestroyIcon(static_cast<HICON>(record->handle));
  }
  record->handle = nullptr;
}

void FreeDynamicRecord(ImageRecord* record) {
  if (ImageTable.currentImage == record) ImageTable.currentImage = nullptr;
  ReleaseObjectRecord(&ImageTable.dynamicImages, record);
}

// Reserves the record of a new build and makes it current. What the record holds stays until
// the new object exists (TakeBuiltObject): a control that shows it never holds a deleted one,
// and a build that fails leaves the number's image as it was.
ImageRecord* BeginBuild(ObjectNumber number) {
  ImageRecord* record = ReserveImageRecord(number);
  if (!record) return nullptr;
  ImageTable.currentImage = record;
  return record;
}

// The new object takes the record's place; the one it held is freed.
void TakeBuiltObject(ImageRecord* record, HANDLE handle) {
  ReleaseImageHandle(record);
  record->handle = handle;
}

// A build that failed after its record was reserved: the number keeps what it held, and a
// record made for AnyNumber is not kept under a number nobody was given.
ObjectNumber FailBuild(ObjectNumber number, ImageRecord* record) {
  if (number == AnyNumber) FreeDynamicRecord(record);
  return 0;
}

ObjectNumber BuildResult(ObjectNumber number, ImageRecord* record) {
  return number == AnyNumber ? reinterpret_cast<ObjectNumber>(record)
                             : reinterpret_cast<ObjectNumber>(record->handle);
}

bool DescribeBitmap(HBITMAP bitmap, BITMAP* description) {
  return bitmap && GetObjectA(bitmap, sizeof(*description), description) != 0;
}

// Hands pixels to the platform for conversion into the current image's bitmap. Returns the rows
// transferred (0 when none could be).
int TransferPixels(const void* pixels, const BITMAPINFO* info, UINT rows) {
  HDC memory = CreateCompatibleDC(nullptr);
  if (!memory) return 0;
  int copied = SetDIBits(memory, static_cast<HBITMAP>(ImageTable.currentImage->handle), 0, rows, pixels, info,
                         DIB_RGB_COLORS);
  DeleteDC(memory);
  return copied;
}

// Fills the bitmap with black.
void ClearBitmap(HBITMAP bitmap, long width, long height) {
  HDC memory = CreateCompatibleDC(nullptr);
  if (!memory) return;
  HGDIOBJ previous = SelectObject(memory, bitmap);
  if (previous) {
    RECT all = {0, 0, width, height};
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SelectObject(memory, previous);
  }
  DeleteDC(memory);
}

// A bitmap in the display's format under number, its record filled; black only when asked, for
// a caller that writes every pixel itself. Returns what CreateBlankImage returns.
ObjectNumber CreateDisplayBitmap(ObjectNumber number, long width, long height, bool clear) {
  if (width < 1 || width > LargestImageSide || height < 1 || height > LargestImageSide) return 0;
  ImageRecord* record = BeginBuild(number);
  if (!record) return 0;
  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  if (!display) return FailBuild(number, record);
  HBITMAP bitmap = CreateCompatibleBitmap(display, width, height);
  BITMAP description;
  if (!DescribeBitmap(bitmap, &description)) {
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(display);
    return FailBuild(number, record);
  }
  TakeBuiltObject(record, bitmap);
  record->width = int16_t(description.bmWidth);
  record->height = int16_t(description.bmHeight);
  record->depth = uint16_t(description.bmBitsPixel);
  if (clear) ClearBitmap(bitmap, width, height);
  DeleteDC(display);
  return BuildResult(number, record);
}

// Bytes of BMP rows handed to the platform at a time when the file's pages are released as they go.
const size_t BandBytes = 64 * 1024;

size_t PageSize() {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  return system.dwPageSize;
}

// Hands a plain bottom-up file's rows to the current image's bitmap a band at a time, decommitting
// each page of pixels once the platform has taken all its rows: the bitmap grows as the file
// shrinks. The pages of the headers stay (see BeginBmpBands). Rows the platform does not take
// cannot be given again: the picture is then left black.
void TransferBandsReleasingPages(const uint8_t* data, const BmpLayout& layout) {
  HBITMAP bitmap = static_cast<HBITMAP>(ImageTable.currentImage->handle);
  const BITMAPINFO* info = reinterpret_cast<const BITMAPINFO*>(data + layout.infoOffset);
  BmpBandWalk walk;
  BeginBmpBands(&walk, layout, uintptr_t(data), PageSize(), BandBytes);
  HDC memory = CreateCompatibleDC(nullptr);
  bool whole = memory != nullptr;
  BmpBand band;
  while (whole && NextBmpBand(&walk, &band)) {
    whole = SetDIBits(memory, bitmap, band.firstRow, band.rows, reinterpret_cast<const void*>(band.pixels), info,
                      DIB_RGB_COLORS) == int(band.rows);
    if (whole && band.releaseTo > band.releaseFrom)
      VirtualFree(reinterpret_cast<void*>(band.releaseFrom), band.releaseTo - band.releaseFrom, MEM_DECOMMIT);
  }
  if (memory) DeleteDC(memory);
  if (!whole) ClearBitmap(bitmap, layout.width, long(layout.rows));
}

// The display's bits per pixel, 0 when it cannot be told.
long DisplayDepth() {
  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  if (!display) return 0;
  long depth = GetDeviceCaps(display, BITSPIXEL) * GetDeviceCaps(display, PLANES);
  DeleteDC(display);
  return depth;
}

// A plain 24-bit bottom-up file on a 32-bit display: a bitmap of the display's format whose
// pixels the program writes itself, row by row in the file's order, releasing the file's pages
// as their rows are taken. The platform's conversion of the same rows costs several times as
// much, which at 200 % is most of a start-up's skin. 0 when the bitmap cannot be made.
ObjectNumber ImageFromRowsInPages(ObjectNumber number, const uint8_t* data, const BmpLayout& layout) {
  ImageRecord* record = BeginBuild(number);
  if (!record) return 0;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = layout.width;
  info.bmiHeader.biHeight = layout.height;  // bottom-up, as the file
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap || !bits) {
    if (bitmap) DeleteObject(bitmap);
    return FailBuild(number, record);
  }
  BmpBandWalk walk;
  BeginBmpBands(&walk, layout, uintptr_t(data), PageSize(), BandBytes);
  BmpBand band;
  uint32_t* to = static_cast<uint32_t*>(bits);
  while (NextBmpBand(&walk, &band)) {
    for (uint32_t row = 0; row < band.rows; ++row) {
      const uint8_t* from = reinterpret_cast<const uint8_t*>(band.pixels) + size_t(row) * walk.stride;
      for (int32_t x = 0; x < layout.width; ++x, from += 3)
        *to++ = uint32_t(from[0]) | uint32_t(from[1]) << 8 | uint32_t(from[2]) << 16;
    }
    if (band.releaseTo > band.releaseFrom)
      VirtualFree(reinterpret_cast<void*>(band.releaseFrom), band.releaseTo - band.releaseFrom, MEM_DECOMMIT);
  }
  GdiFlush();
  TakeBuiltObject(record, bitmap);
  record->width = int16_t(layout.width);
  record->height = int16_t(layout.rows);
  record->depth = 32;
  return BuildResult(number, record);
}

// inPages: the file lies in pages of its own (AllocateImagePages) that the caller releases after
// the call, so a plain bottom-up file's pages can go as their rows are taken.
ObjectNumber ImageFromBmp(ObjectNumber number, const uint8_t* data, size_t size, bool inPages) {
  BmpLayout layout;
  if (!ReadBmpLayout(data, size, &layout)) return 0;
  if (inPages && layout.height > 0 && layout.compression == BI_RGB && layout.bitCount == 24 && DisplayDepth() == 32)
    return ImageFromRowsInPages(number, data, layout);
  // A file stored top row first yields the same picture: the platform reads its rows in order.
  // Its rows cover the whole bitmap, so the bitmap is cleared to black only when they do not all
  // arrive: then it is cleared and given again what the platform takes of them.
  ObjectNumber result = CreateDisplayBitmap(number, layout.width, long(layout.rows), false);
  if (!result) return 0;
  if (inPages && layout.height > 0 && (layout.compression == BI_RGB || layout.compression == BI_BITFIELDS)) {
    TransferBandsReleasingPages(data, layout);
    return result;
  }
  const uint8_t* pixels = data + layout.pixelOffset;
  const BITMAPINFO* info = reinterpret_cast<const BITMAPINFO*>(data + layout.infoOffset);
  int copied = TransferPixels(pixels, info, layout.rows);
  if (copied < int(layout.rows)) {
    ClearBitmap(static_cast<HBITMAP>(ImageTable.currentImage->handle), layout.width, long(layout.rows));
    if (copied > 0) TransferPixels(pixels, info, layout.rows);
  }
  return result;
}

ObjectNumber ImageFromIcon(ObjectNumber number, HICON icon) {
  ImageRecord* record = BeginBuild(number);
  if (!record) {
    DestroyIcon(icon);
    return 0;
  }
  ICONINFO info;
  if (!GetIconInfo(icon, &info)) {
    DestroyIcon(icon);
    return FailBuild(number, record);
  }
  // A monochrome icon has no colour bitmap: its mask holds both halves, mask on top.
  BITMAP colour = {};
  bool monochrome = !DescribeBitmap(info.hbmColor, &colour);
  if (monochrome && DescribeBitmap(info.hbmMask, &colour)) colour.bmHeight /= 2;
  if (info.hbmMask) DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  TakeBuiltObject(record, icon);
  record->width = int16_t(colour.bmWidth);
  record->height = int16_t(colour.bmHeight);
  record->depth = uint16_t(colour.bmBitsPixel);
  return BuildResult(number, record);
}

// The first registered decoder that recognises data becomes current.
bool FindImageDecoder(const void* data) {
  for (int32_t i = 0; i < DecoderRegistry.count; ++i) {
    if (DecoderRegistry.decoders[i]->DecoderCheck(nullptr, data, nullptr)) {
      DecoderRegistry.current = DecoderRegistry.decoders[i];
      return true;
    }
  }
  return false;
}

ObjectNumber ImageFromDecoder(ObjectNumber number) {
  const ImageDecoder* decoder = DecoderRegistry.current;
  int32_t width = decoder->DecoderWidth(), height = decoder->DecoderHeight();
  if (width < 1 || width > LargestImageSide || height < 1 || height > LargestImageSide) return 0;
  // Rows of 24-bit pixels padded to whole 32-bit words, and one spare row.
  int32_t stride = 3 * width + width % 4;
  void* pixels = GlobalAlloc(GPTR, size_t(stride) * size_t(height + 1));
  if (!pixels) return 0;
  decoder->DecoderDecode(pixels, stride, 0);
  ObjectNumber result = CreateBlankImage(number, width, height);
  if (result) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // rows top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    TransferPixels(pixels, &info, UINT(height));
  }
  GlobalFree(pixels);
  return result;
}

// What ImageFromMemory and ImageFromImagePages build: a BMP, an icon file's first image, or data
// a registered decoder recognises.
ObjectNumber ImageFromData(ObjectNumber number, const void* data, size_t size, bool inPages) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  if (!bytes) return 0;
  if (size >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return ImageFromBmp(number, bytes, size, inPages);
  if (HICON icon = IconFromMemory(data, size)) return ImageFromIcon(number, icon);
  if (FindImageDecoder(data)) return ImageFromDecoder(number);
  return 0;
}

}  // namespace

void InitImageLibrary() {
  memset(&DecoderRegistry, 0, sizeof DecoderRegistry);
  memset(&ImageTable, 0, sizeof ImageTable);
  ImageTable.capacity = ImageTableInitialCapacity;
  ImageTable.records = static_cast<ImageRecord*>(
      HeapAlloc(RuntimeState.heap, HEAP_ZERO_MEMORY, (ImageTable.capacity + 1) * sizeof(ImageRecord)));
}

void ReleaseAllImages() {
  // Always the head: no record is freed under the walk.
  while (ImageTable.dynamicImages) {
    ImageRecord* record = static_cast<ImageRecord*>(FirstObjectRecord(ImageTable.dynamicImages));
    ReleaseImageHandle(record);
    FreeDynamicRecord(record);
  }
  for (ObjectNumber number = 0; number < ImageTable.capacity; ++number) ReleaseImage(number);
}

ImageRecord* FindImage(ObjectNumber number) {
  ImageRecord* record = IsTableNumber(number) ? &ImageTable.records[number] : DynamicImage(number);
  return record && record->handle ? record : nullptr;
}

void ReleaseImage(ObjectNumber number) {
  ImageRecord* record = FindImage(number);
  if (!record) return;
  ReleaseImageHandle(record);
  if (!IsTableNumber(number)) FreeDynamicRecord(record);
}

ObjectNumber CreateBlankImage(ObjectNumber number, long width, long height) {
  return CreateDisplayBitmap(number, width, height, true);
}

ObjectNumber ImageFromMemory(ObjectNumber number, const void* data) {
  return ImageFromMemory(number, data, ImageSizeUnknown);
}

ObjectNumber ImageFromMemory(ObjectNumber number, const void* data, size_t size) {
  return ImageFromData(number, data, size, false);
}

void* AllocateImagePages(size_t size) {
  return size ? VirtualAlloc(nullptr, size, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE) : nullptr;
}

void ReleaseImagePages(void* pages) {
  if (pages) VirtualFree(pages, 0, MEM_RELEASE);
}

ObjectNumber ImageFromImagePages(ObjectNumber number, void* pages, size_t size) {
  if (!pages) return 0;
  ObjectNumber result = ImageFromData(number, pages, size, true);
  ReleaseImagePages(pages);
  return result;
}

HICON IconFromMemory(const void* data, size_t size) {
  IconImageSpan span;
  if (!ReadIconImage(data, size, &span)) return nullptr;
  // The platform wants the image alone, in memory of its own.
  void* image = GlobalAlloc(GMEM_FIXED, span.size);
  if (!image) return nullptr;
  memcpy(image, static_cast<const uint8_t*>(data) + span.offset, span.size);
  // The header's height counts colour and mask rows. PNG data carries its own size: 0 asks for it.
  HICON icon = CreateIconFromResourceEx(static_cast<PBYTE>(image), span.size, TRUE, 0x00030000,
                                        span.width, span.height / 2, 0);
  if (!icon && span.bitCount != 16)
    icon = CreateIconFromResource(static_cast<PBYTE>(image), span.size, TRUE, 0x00030000);
  GlobalFree(image);
  return icon;
}

HANDLE MakeImageCurrent(ObjectNumber number) {
  ImageTable.currentImage = FindImage(number);
  return ImageTable.currentImage ? ImageTable.currentImage->handle : nullptr;
}

long CurrentImageWidth() { return ImageTable.currentImage ? ImageTable.currentImage->width : 0; }

long CurrentImageHeight() { return ImageTable.currentImage ? ImageTable.currentImage->height : 0; }

long RegisterImageDecoder(const ImageDecoder* decoder) {
  if (!decoder || DecoderRegistry.count >= MostImageDecoders) return 0;
  DecoderRegistry.decoders[DecoderRegistry.count++] = decoder;
  return 1;
}
