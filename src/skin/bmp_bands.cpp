#include "skin/bmp_bands.h"

namespace {

uintptr_t PageDown(uintptr_t address, size_t page) { return address / page * page; }
uintptr_t PageUp(uintptr_t address, size_t page) { return (address + page - 1) / page * page; }

}  // namespace

void BeginBmpBands(BmpBandWalk* walk, const BmpLayout& layout, uintptr_t data, size_t pageSize, size_t bandBytes) {
  walk->data = data;
  walk->pixels = data + layout.pixelOffset;
  walk->stride = (size_t(layout.width) * layout.bitCount + 31) / 32 * 4;
  walk->bandRows = uint32_t(bandBytes / walk->stride > 0 ? bandBytes / walk->stride : 1);
  walk->rows = layout.rows;
  walk->nextRow = 0;
  walk->page = pageSize;
  uint32_t kept = layout.pixelOffset > layout.infoEnd ? layout.pixelOffset : layout.infoEnd;
  walk->released = PageUp(data + kept, pageSize);
}

bool NextBmpBand(BmpBandWalk* walk, BmpBand* band) {
  if (walk->nextRow >= walk->rows) return false;
  uint32_t left = walk->rows - walk->nextRow;
  band->firstRow = walk->nextRow;
  band->rows = left < walk->bandRows ? left : walk->bandRows;
  band->pixels = walk->pixels + size_t(band->firstRow) * walk->stride;
  // Pages wholly below the band's end have given all their rows.
  uintptr_t taken = PageDown(band->pixels + size_t(band->rows) * walk->stride, walk->page);
  band->releaseFrom = band->releaseTo = walk->released;
  if (taken > walk->released) {
    band->releaseTo = taken;
    walk->released = taken;
  }
  walk->nextRow += band->rows;
  return true;
}
