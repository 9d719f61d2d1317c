// Picture gadget sizing rules.
#include "gadget/picture_size.h"

PictureExtent IconExtent(IconBitmapInfo colour, IconBitmapInfo mask) {
  if (colour.present) return {colour.width, colour.height, true};
  if (mask.present) return {mask.width, mask.height / 2, true};
  return {0, 0, false};
}

PictureExtent ControlExtentFor(PictureExtent picture, bool sunkenEdge) {
  if (!picture.known || picture.width <= 0 || picture.height <= 0) return {0, 0, false};
  int32_t extra = sunkenEdge ? SunkenEdgeExtra : 0;
  return {picture.width + extra, picture.height + extra, true};
}
