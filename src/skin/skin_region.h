// Window regions of skins: the image's rectangle with the run table cut out.
#pragma once
#include <windows.h>

#include "skin/skin_block.h"

// One rectangle operation per run: the run's rectangle combined by exclusive-or into the
// image's rectangle.
HRGN SkinRegionByRuns(const SkinBlockView& view, long width, long height);
// The same region made in one call from its precomputed rectangles (see skin_spans.h); falls
// back to SkinRegionByRuns when the work space cannot be had or the platform refuses the call,
// so that a skinned window always gets its outline.
HRGN SkinRegionFromSpans(const SkinBlockView& view, long width, long height);

// The call SkinRegionFromSpans makes its region with: ExtCreateRegion. Process-wide, so that the
// tests can put a refusing stand-in here to reach the run-by-run way.
extern HRGN(WINAPI* SkinRegionFromData)(const XFORM* transform, DWORD bytes, const RGNDATA* data);
