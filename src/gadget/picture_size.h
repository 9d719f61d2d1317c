// The size a picture gadget takes for its picture. Plain arithmetic on what the platform reported
// about the picture's bitmaps, so it builds and is tested without <windows.h>.
#pragma once
#include <cstdint>

struct PictureExtent {
  int32_t width;
  int32_t height;
  bool known;  // false: no size could be had; the control keeps its own
};

// What the platform told about one of an icon's bitmaps.
struct IconBitmapInfo {
  bool present;  // the icon has this bitmap and its dimensions could be read
  int32_t width;
  int32_t height;
};

// Extra width and height of a control with a sunken edge (WS_EX_CLIENTEDGE).
const int32_t SunkenEdgeExtra = 4;

// An icon's size: its colour bitmap's; a monochrome icon has only its mask, which stacks the AND
// and XOR halves, so half the mask's height. Nothing usable: unknown.
PictureExtent IconExtent(IconBitmapInfo colour, IconBitmapInfo mask);
// The control's size for a picture of the given extent: 4 more both ways with a sunken edge.
// An unknown or empty extent stays unknown, so the control keeps its size.
PictureExtent ControlExtentFor(PictureExtent picture, bool sunkenEdge);
