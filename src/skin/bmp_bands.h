// The schedule by which a plain bottom-up BMP held in pages of its own is handed to the platform
// a band of rows at a time, and which of its pages may be released after each band. Portable: no
// platform headers, so the fuzzer walks the same schedule.
#pragma once
#include <cstddef>
#include <cstdint>

#include "skin/image_headers.h"

// One band: rows [firstRow, firstRow + rows) read from `pixels`, after which the whole pages in
// [releaseFrom, releaseTo) are no longer needed (empty when releaseFrom == releaseTo).
struct BmpBand {
  uint32_t firstRow;
  uint32_t rows;
  uintptr_t pixels;
  uintptr_t releaseFrom;
  uintptr_t releaseTo;
};

struct BmpBandWalk {
  uintptr_t data;      // address of the file's first byte
  uintptr_t pixels;    // address of its first pixel row
  size_t stride;       // bytes of one stored row
  uint32_t bandRows;   // rows handed over at a time
  uint32_t rows;       // rows of the whole picture
  uint32_t nextRow;
  size_t page;
  uintptr_t released;  // everything from here on that lies below a band's end may go
};

// Starts the walk over the file at `data` whose headers are `layout`: bands of about bandBytes,
// pages of pageSize bytes (a power of two). Pages that hold any of the headers are never
// released, even when the pixel offset points into or before them, since every band reads them.
void BeginBmpBands(BmpBandWalk* walk, const BmpLayout& layout, uintptr_t data, size_t pageSize, size_t bandBytes);
// The next band; false when every row has been handed over.
bool NextBmpBand(BmpBandWalk* walk, BmpBand* band);
