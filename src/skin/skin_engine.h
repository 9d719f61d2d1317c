// The skin engine: gives a numbered window the shape, size and face of a SkinBlock, and keeps
// per-gadget text and background colours that a window hook answers control-colour messages
// with.
#pragma once
#include <windows.h>

#include <cstddef>

#include "runtime/lists.h"
#include "runtime/numbers.h"

// One coloured gadget. backColour -1: transparent; 0: the button face behind transparent text;
// any other value (positive as a signed number): an opaque background of that colour.
struct GadgetColourRecord {
  ObjectNumber gadget;
  COLORREF textColour;
  COLORREF backColour;
  HBRUSH faceBrush;   // solid, the system button-face colour
  HBRUSH backBrush;   // the stock hollow brush for -1, else solid backColour
};

// The records, at most one per gadget number; their brushes belong to the library.
extern ListVariable GadgetColourList;

// A block size for callers that do not know it: nothing is bounded by the block's end then.
constexpr size_t SkinBlockSizeUnknown = static_cast<size_t>(-1);
const COLORREF TransparentBackground = 0xFFFFFFFF;

// Creates the empty GadgetColourList.
void InitSkinLibrary();
// Skins window with the SkinBlock at block: the image under image, the window's client size, its
// region, optional centring (the window is then hidden), and a picture gadget under gadget that
// shows the image and lets presses through to the window. The gadgets' parent must be the window.
// Returns 1, or 0 with nothing touched when the window does not exist, the block is malformed
// (parts outside blockSize, a run table of partial runs), its banner is not SkinBanner, its run
// table alone shows an outline of more than LargestSkinOutline rectangles (skin_spans.h), its
// image cannot be unpacked whole (a damaged stream, one that fails its checksum), its outline has
// more than LargestSkinOutline rectangles at the image's size, or its image cannot be built. A
// refused skin leaves the image, and the face showing it, as they were.
long ApplySkin(ObjectNumber window, ObjectNumber gadget, ObjectNumber image, const void* block, long centre,
               size_t blockSize = SkinBlockSizeUnknown);
// One drawing of a skin: the SkinBlock of the art drawn for a display of dpi (96 = 100 %). Art
// without a block (0 bytes) is passed over.
struct SkinArt {
  long dpi;
  const void* block;
  size_t blockSize;
};
// Skins window as ApplySkin does, with the art for the window's scale (WindowDpi): the art drawn
// for that DPI as it stands; else the art of the next larger DPI (above the largest, the largest)
// resampled to the window's scale, each side length * dpi / art dpi rounded half up, its outline
// made from the resampled mask. Applied again to a skinned window, it replaces the image, the
// outline and the face. Art that cannot be applied (a damaged block, an outline of more than
// LargestSkinOutline rectangles at the window's scale) gives way to the next choice among the
// rest. Returns 1, or 0 when no art can be applied (also when none is given).
long ApplySkinForScale(ObjectNumber window, ObjectNumber gadget, ObjectNumber image, const SkinArt* arts,
                       long artCount, long centre);
// For a window whose skin cannot be had: takes off what a skin gave it (the outline, the face
// gadget and the image under those numbers) and gives it a client area of width x height,
// centred on the screen (and hidden) when asked. 1, or 0 when the window does not exist.
long RemoveSkin(ObjectNumber window, ObjectNumber gadget, ObjectNumber image, long width, long height, long centre);
// hide 0: redraws the window with all its children, then shows it; otherwise hides it. 0.
long ShowSkinnedWindow(ObjectNumber window, long hide);
// Gives the gadget its colours, replacing (and freeing the brushes of) an earlier record. 0.
long AssignGadgetColours(ObjectNumber gadget, COLORREF textColour, COLORREF backColour);
// For a control-colour message: sets the device context's colours from the control's record and
// returns the brush to paint with, or HookPassOn when the control has no record.
LRESULT ResolveGadgetColours(HWND control, HDC dc);
