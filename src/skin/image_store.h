// The image store: platform bitmaps and icons under small numbers chosen by the caller, built
// from BMP or icon files in memory, from registered decoders, or blank. Numbers 0 .. capacity
// address the ImageTable; AnyNumber (-1) asks for a record outside it, whose address is then the
// image's number.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "runtime/heaps.h"
#include "runtime/numbers.h"

struct ImageRecord {
  HANDLE handle;    // HBITMAP or HICON; 0 marks a free record
  int16_t width;
  int16_t height;
  uint16_t depth;   // bits per pixel of the bitmap (of an icon: of its colour bitmap)
};

struct ImageTableRecord {
  ObjectNumber capacity;               // highest number addressed without growth; 10 at start
  ImageRecord* records;                // capacity + 1 records on the RuntimeHeap, zero-filled
  ObjectRecordHeader* dynamicImages;   // records created under AnyNumber, on the ObjectHeap
  ImageRecord* currentImage;           // 0: none
};
extern ImageTableRecord ImageTable;

// A decoder for another image format. DecoderCheck answers non-zero when it recognises the data
// (file and fileName are 0 when the data is in memory); DecoderDecode then writes the image as
// 24-bit pixels (blue, green, red), rows top to bottom, rowStride bytes apart.
struct ImageDecoder {
  int32_t (*DecoderCheck)(const void* file, const void* data, const char* fileName);
  int32_t (*DecoderDecode)(void* destination, int32_t rowStride, int32_t flags);
  int32_t (*DecoderWidth)();
  int32_t (*DecoderHeight)();
};

const ObjectNumber ImageTableInitialCapacity = 10;
const ObjectNumber ImageTableGrowth = 10;
// Highest table number the store takes: keeps the table below 0x10000, the lowest address a
// heap record can have, so that AnyNumber identifiers never fall inside it.
const ObjectNumber HighestImageNumber = 0xFFFF - ImageTableGrowth;
const int32_t MostImageDecoders = 100;

// Empties the decoder registry, allocates the 11 records, and leaves no image current.
void InitImageLibrary();
// Releases every image: the AnyNumber ones, newest first, then numbers 0 .. capacity - 1.
void ReleaseAllImages();

// A black bitmap in the display's format. Returns its handle (the new identifier for
// AnyNumber), or 0. Sides outside 1 .. 32767 are refused before the number is touched.
ObjectNumber CreateBlankImage(ObjectNumber number, long width, long height);
// Builds the image from a BMP file, an icon file (its first image) or data a registered decoder
// recognises. Returns the bitmap or icon handle (the new identifier for AnyNumber), or 0. The
// data is not kept. A number's old image is freed only once the new one exists: a build that
// fails leaves it as it was (so do CreateBlankImage and ImageFromImagePages). With a size, every header, table and pixel the platform would read is first
// checked to lie inside size bytes; without one only the structure is checked.
ObjectNumber ImageFromMemory(ObjectNumber number, const void* data);
ObjectNumber ImageFromMemory(ObjectNumber number, const void* data, size_t size);
// Zero-filled pages of their own for data that ImageFromImagePages consumes; 0 for a size of 0 or
// when the system refuses. ReleaseImagePages gives back pages that were not handed over.
void* AllocateImagePages(size_t size);
void ReleaseImagePages(void* pages);
// As ImageFromMemory with a size, for data in pages from AllocateImagePages, which the call
// releases. The rows of a plain bottom-up BMP go to the bitmap a band at a time and the pages
// they lay in are released at once, so the file and the bitmap are never held whole together.
ObjectNumber ImageFromImagePages(ObjectNumber number, void* pages, size_t size);
// An icon from the first image of an icon file in memory, or 0.
HICON IconFromMemory(const void* data, size_t size);
// Releases the number's image (DeleteObject for a bitmap, DestroyIcon for an icon); an
// AnyNumber record is unlinked and freed. A number without an image: nothing happens.
void ReleaseImage(ObjectNumber number);
// Makes the number's image current and returns its handle; 0 (and none current) without one.
HANDLE MakeImageCurrent(ObjectNumber number);
// The current image's sides; 0 when none is current.
long CurrentImageWidth();
long CurrentImageHeight();
// Appends a decoder to the registry; 0 when it is full (MostImageDecoders) or decoder is 0.
long RegisterImageDecoder(const ImageDecoder* decoder);

// The record holding the number's image, or 0. Safe for any number.
ImageRecord* FindImage(ObjectNumber number);
