#include "skin/skin_region.h"

#include <stddef.h>

#include "runtime/runtime_state.h"
#include "skin/skin_spans.h"

static_assert(sizeof(SpanRect) == sizeof(RECT) && offsetof(SpanRect, bottom) == offsetof(RECT, bottom),
              "span rectangles are handed to the platform as RECTs");

HRGN(WINAPI* SkinRegionFromData)(const XFORM*, DWORD, const RGNDATA*) = ExtCreateRegion;

HRGN SkinRegionByRuns(const SkinBlockView& view, long width, long height) {
  HRGN region = CreateRectRgn(0, 0, width, height);
  for (uint32_t i = 0, count = SkinRunCount(view); i < count; ++i) {
    SkinRun r = SkinRunAt(view, i);
    HRGN run = CreateRectRgn(r.left, r.top, r.right, r.top + view.runHeight);
    CombineRgn(region, region, run, RGN_XOR);
    DeleteObject(run);
  }
  return region;
}

namespace {

// SkinRegionByRuns for tables of at most LargestSkinOutline runs (each run costs an operation on
// the whole region), its region refused above LargestSkinOutline rectangles; 0 otherwise.
HRGN BoundedRegionByRuns(const SkinBlockView& view, long width, long height) {
  if (SkinRunCount(view) > LargestSkinOutline) return nullptr;
  HRGN region = SkinRegionByRuns(view, width, height);
  DWORD bytes = region ? GetRegionData(region, 0, nullptr) : 0;
  if (bytes > sizeof(RGNDATAHEADER) + LargestSkinOutline * sizeof(RECT)) {
    DeleteObject(region);
    return nullptr;
  }
  return region;
}

}  // namespace

bool SkinOutlineMayFit(const SkinBlockView& view) {
  size_t workBytes = SkinSpanWorkBytes(SkinRunCount(view));
  void* work = workBytes ? HeapAlloc(RuntimeState.heap, 0, workBytes) : nullptr;
  if (!work) return true;
  uint32_t fewest = FewestSkinSpans(view, work);
  HeapFree(RuntimeState.heap, 0, work);
  return fewest <= LargestSkinOutline;
}

HRGN SkinRegionFromSpans(const SkinBlockView& view, long width, long height) {
  uint32_t runCount = SkinRunCount(view);
  HANDLE heap = RuntimeState.heap;
  // A table whose work space cannot be had is made run by run, where it is small enough for that.
  size_t workBytes = SkinSpanWorkBytes(runCount);
  void* work = workBytes ? HeapAlloc(heap, 0, workBytes) : nullptr;
  if (!work) return BoundedRegionByRuns(view, width, height);

  // A first guess that fits the usual table; a table that needs more is measured, then made, or
  // refused above LargestSkinOutline rectangles (which also keeps the size of the region's data
  // far from what would wrap in a 32-bit program).
  const DWORD HeaderBytes = sizeof(RGNDATAHEADER), RectBytes = sizeof(RECT);
  uint32_t capacity = runCount < LargestSkinOutline - 16 ? runCount + 16 : LargestSkinOutline;
  RGNDATA* data = nullptr;
  uint32_t count = 0;
  for (int attempt = 0; attempt < 2; ++attempt) {
    HeapFree(heap, 0, data);
    data = static_cast<RGNDATA*>(HeapAlloc(heap, 0, HeaderBytes + size_t(capacity) * RectBytes));
    if (!data) break;
    count = CollectSkinSpans(view, width, height, reinterpret_cast<SpanRect*>(data->Buffer), capacity, work);
    if (count <= capacity || count > LargestSkinOutline) break;
    capacity = count;
  }
  HeapFree(heap, 0, work);
  if (count > LargestSkinOutline) {
    HeapFree(heap, 0, data);
    return nullptr;
  }
  if (!data || count > capacity) {
    HeapFree(heap, 0, data);
    return BoundedRegionByRuns(view, width, height);
  }

  RGNDATAHEADER& header = data->rdh;
  header.dwSize = HeaderBytes;
  header.iType = RDH_RECTANGLES;
  header.nCount = count;
  header.nRgnSize = count * RectBytes;
  SetRectEmpty(&header.rcBound);
  const RECT* rects = reinterpret_cast<const RECT*>(data->Buffer);
  for (uint32_t i = 0; i < count; ++i) UnionRect(&header.rcBound, &header.rcBound, &rects[i]);
  HRGN region = SkinRegionFromData(nullptr, HeaderBytes + header.nRgnSize, data);
  HeapFree(heap, 0, data);
  if (region) return region;
  // An empty outline: a region with nothing in it, as the exclusive-or would leave. Any other
  // outline the platform would not take in one call is made run by run rather than left out.
  if (count == 0) return CreateRectRgn(0, 0, 0, 0);
  return BoundedRegionByRuns(view, width, height);
}
