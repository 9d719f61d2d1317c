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
