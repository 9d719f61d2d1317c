// The outline of a skinned window as rectangles: the skin image's rectangle with every run of
// the run table combined into it by exclusive-or, which for the usual table (runs inside the
// image that do not overlap) cuts each run out. Portable; the platform side turns the
// rectangles into a window region in one call.
#pragma once
#include <cstddef>
#include <cstdint>

#include "skin/skin_block.h"

struct SpanRect {
  int32_t left, top, right, bottom;  // right and bottom exclusive
};

// The most rectangles a skin's outline may have: the launcher passes over a drawing whose outline
// has more, and skinpack warns about one. Under Wine the region is made one rectangle at a time
// and the time to make, apply and show it grows with the square of the count; measured in a fresh
// process each (x86_64, Wine 8, Xvfb; bench/skin_outline): 13 ms for 1,000 rectangles, 0.22 s for
// 8,000, 0.83 s for 16,000, 1.3 s for 20,000, 14 s for 32,000. The X server takes a window shape
// of at most 32,765 rectangles (a request's length has 16 bits): with one more the program hangs,
// with more still it dies of BadLength. 8,000 stays under a quarter of a second and a quarter of
// that limit. The launcher's own skin has 48 rectangles at 100 %, 97 at 200 %; transparency
// dithered all over a 575 x 385 skin makes about 110,000.
constexpr uint32_t LargestSkinOutline = 8000;

// Bytes of work space CollectSkinSpans needs for a table of runCount runs, or 0 when that is
// more than largest bytes. Counted in 64 bits, so that any address width can be checked.
uint64_t SkinSpanWorkBytesWithin(uint32_t runCount, uint64_t largest);

// SkinSpanWorkBytesWithin for this program's address width: 0 when the work space cannot be
// addressed, which a 32-bit program reaches with 76,695,844 runs.
size_t SkinSpanWorkBytes(uint32_t runCount);

// Computes the rectangles in the form platform regions keep: bands from top to bottom,
// rectangles from left to right within a band, touching rectangles joined, and a band joined
// with the one above when both have the same rectangles and meet. Runs are taken as the platform
// takes rectangles: corners in any order, empty ones ignored. Writes at most capacity rectangles
// and returns how many there are; work holds SkinSpanWorkBytes(SkinRunCount(view)) bytes,
// aligned for 32-bit values.
uint32_t CollectSkinSpans(const SkinBlockView& view, int32_t width, int32_t height, SpanRect* out,
                          uint32_t capacity, void* work);

// The fewest rectangles CollectSkinSpans can give for the view's runs, whatever the image's width
// and height: what the run table alone tells, before the image is unpacked. work as for
// CollectSkinSpans.
uint32_t FewestSkinSpans(const SkinBlockView& view, void* work);
