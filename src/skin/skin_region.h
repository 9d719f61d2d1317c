// Window regions of skins: the image's rectangle with the run table cut out.
#pragma once
#include <windows.h>

#include "skin/skin_block.h"

// One rectangle operation per run: the run's rectangle combined by exclusive-or into the
// image's rectangle.
HRGN SkinRegionByRuns(const SkinBlockView& view, long width, long height);
// The same region made in one call from its precomputed rectangles (see skin_spans.h); falls
// back to SkinRegionByRuns when the work space cannot be had or the platform refuses the call,
// so that a skinned window always gets its outline. 0 for an outline of more than
// LargestSkinOutline rectangles, which is never made: a skin with it cannot be taken. The
// run-by-run way is taken only for tables of at most that many runs, and its region too is
// refused above that many rectangles.
HRGN SkinRegionFromSpans(const SkinBlockView& view, long width, long height);
// False when the run table alone shows that the outline would have more than LargestSkinOutline
// rectangles at any image size (see FewestSkinSpans): the skin can be refused before its image
// is unpacked. True when it may fit, or when the work space to tell cannot be had.
bool SkinOutlineMayFit(const SkinBlockView& view);

// The call SkinRegionFromSpans makes its region with: ExtCreateRegion. Process-wide, so that the
// tests can put a refusing stand-in here to reach the run-by-run way.
extern HRGN(WINAPI* SkinRegionFromData)(const XFORM* transform, DWORD bytes, const RGNDATA* data);
