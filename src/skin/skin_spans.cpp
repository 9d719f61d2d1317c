#include "skin/skin_spans.h"

#include <algorithm>
#include <cstdint>

namespace {

// A span of one band: [left, right).
struct Span {
  int32_t left, right;
};

struct SpanWork {
  SpanRect* rects;    // the image's rectangle and every non-empty run, normalised
  int32_t* ys;        // every top and bottom, sorted, without repeats
  uint32_t* order;    // rects by top
  uint32_t* active;   // rects that cover the current band
  int32_t* edges;     // left and right edges of the active rects
  Span* previous;     // spans of the band above
  Span* current;
};

// Carves the work space into its arrays; n is the most rectangles there can be.
SpanWork CarveWork(void* work, uint32_t n) {
  SpanWork w;
  char* p = static_cast<char*>(work);
  w.rects = reinterpret_cast<SpanRect*>(p);
  p += sizeof(SpanRect) * n;
  w.previous = reinterpret_cast<Span*>(p);
  p += sizeof(Span) * n;
  w.current = reinterpret_cast<Span*>(p);
  p += sizeof(Span) * n;
  w.ys = reinterpret_cast<int32_t*>(p);
  p += sizeof(int32_t) * 2 * n;
  w.edges = reinterpret_cast<int32_t*>(p);
  p += sizeof(int32_t) * 2 * n;
  w.order = reinterpret_cast<uint32_t*>(p);
  p += sizeof(uint32_t) * n;
  w.active = reinterpret_cast<uint32_t*>(p);
  return w;
}

// The spans where an odd number of the edges' intervals overlap: equal edges cancel in pairs.
uint32_t OddCoverage(int32_t* edges, uint32_t edgeCount, Span* spans) {
  std::sort(edges, edges + edgeCount);
  uint32_t count = 0;
  bool inside = false;
  int32_t start = 0;
  for (uint32_t i = 0; i < edgeCount;) {
    uint32_t j = i;
    while (j < edgeCount && edges[j] == edges[i]) ++j;
    if ((j - i) % 2 == 1) {
      if (!inside) {
        start = edges[i];
      } else {
        spans[count++] = Span{start, edges[i]};
      }
      inside = !inside;
    }
    i = j;
  }
  return count;
}

bool SameSpans(const Span* a, const Span* b, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i)
    if (a[i].left != b[i].left || a[i].right != b[i].right) return false;
  return true;
}

}  // namespace

uint64_t SkinSpanWorkBytesWithin(uint32_t runCount, uint64_t largest) {
  // At most 2^32 entries of 56 bytes: the product cannot wrap 64 bits.
  uint64_t n = uint64_t(runCount) + 1;
  uint64_t bytes = n * (sizeof(SpanRect) + 2 * sizeof(Span) + 4 * sizeof(int32_t) + 2 * sizeof(uint32_t));
  return bytes > largest ? 0 : bytes;
}

size_t SkinSpanWorkBytes(uint32_t runCount) { return size_t(SkinSpanWorkBytesWithin(runCount, SIZE_MAX)); }

namespace {

// What CollectSkinSpans makes besides the rectangles: how many bands it starts (a band joined with
// the one above is not counted again) and the most rectangles in one of them.
struct SpanTally {
  uint32_t count, bands, widest;
};

SpanTally BandSpans(const SkinBlockView& view, int32_t width, int32_t height, SpanRect* out, uint32_t capacity,
                    void* work) {
  uint32_t runCount = SkinRunCount(view);
  SpanWork w = CarveWork(work, runCount + 1);

  uint32_t rectCount = 0;
  auto add = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    if (x0 > x1) std::swap(x0, x1);
    if (y0 > y1) std::swap(y0, y1);
    if (x0 == x1 || y0 == y1) return;  // an empty rectangle changes nothing
    w.rects[rectCount++] = SpanRect{x0, y0, x1, y1};
  };
  add(0, 0, width, height);
  for (uint32_t i = 0; i < runCount; ++i) {
    SkinRun run = SkinRunAt(view, i);
    add(run.left, run.top, run.right, int32_t(run.top) + view.runHeight);
  }

  uint32_t yCount = 0;
  for (uint32_t i = 0; i < rectCount; ++i) {
    w.ys[yCount++] = w.rects[i].top;
    w.ys[yCount++] = w.rects[i].bottom;
    w.order[i] = i;
  }
  std::sort(w.ys, w.ys + yCount);
  yCount = uint32_t(std::unique(w.ys, w.ys + yCount) - w.ys);
  std::sort(w.order, w.order + rectCount,
            [&](uint32_t a, uint32_t b) { return w.rects[a].top < w.rects[b].top; });

  uint32_t count = 0, next = 0, activeCount = 0, bands = 0, widest = 0;
  uint32_t previousCount = 0, previousStart = 0;
  int32_t previousBottom = 0;
  for (uint32_t b = 0; b + 1 < yCount; ++b) {
    int32_t top = w.ys[b], bottom = w.ys[b + 1];
    // Band boundaries include every top and bottom, so an active rectangle covers the whole band.
    uint32_t kept = 0;
    for (uint32_t i = 0; i < activeCount; ++i)
      if (w.rects[w.active[i]].bottom > top) w.active[kept++] = w.active[i];
    activeCount = kept;
    while (next < rectCount && w.rects[w.order[next]].top == top) w.active[activeCount++] = w.order[next++];

    uint32_t edgeCount = 0;
    for (uint32_t i = 0; i < activeCount; ++i) {
      w.edges[edgeCount++] = w.rects[w.active[i]].left;
      w.edges[edgeCount++] = w.rects[w.active[i]].right;
    }
    uint32_t spanCount = OddCoverage(w.edges, edgeCount, w.current);
    if (spanCount == 0) {
      previousCount = 0;
      continue;
    }
    if (previousCount == spanCount && previousBottom == top && SameSpans(w.previous, w.current, spanCount)) {
      for (uint32_t i = previousStart; i < previousStart + spanCount && i < capacity; ++i) out[i].bottom = bottom;
    } else {
      previousStart = count;
      for (uint32_t i = 0; i < spanCount; ++i, ++count)
        if (count < capacity) out[count] = SpanRect{w.current[i].left, top, w.current[i].right, bottom};
      std::swap(w.previous, w.current);
      previousCount = spanCount;
      ++bands;
      widest = std::max(widest, spanCount);
    }
    previousBottom = bottom;
  }
  return SpanTally{count, bands, widest};
}

}  // namespace

uint32_t CollectSkinSpans(const SkinBlockView& view, int32_t width, int32_t height, SpanRect* out,
                          uint32_t capacity, void* work) {
  return BandSpans(view, width, height, out, capacity, work).count;
}

uint32_t FewestSkinSpans(const SkinBlockView& view, void* work) {
  // The runs' own rectangles, without the image's. Within the image's rows the image's rectangle
  // adds two edges to each row, which takes at most one span from it: each band of the runs keeps
  // at least one fewer. Bands are told apart by the same rows with or without the image's
  // rectangle, except at its top and bottom edge, where a band may be joined with its neighbour:
  // at most two bands of at most the widest band's spans and one more are lost that way.
  SpanTally runs = BandSpans(view, 0, 0, nullptr, 0, work);
  uint64_t lost = uint64_t(runs.bands) + 2 * (uint64_t(runs.widest) + 1);
  return runs.count > lost ? uint32_t(runs.count - lost) : 0;
}
