// ApplySkin, ShowSkinnedWindow and the gadget colours.
#include "skin/skin_engine.h"

#include "gadget/gadget_table.h"
#include "gadget/picture_gadget.h"
#include "runtime/heaps.h"
#include "skin/image_headers.h"
#include "skin/image_store.h"
#include "skin/skin_block.h"
#include "skin/skin_region.h"
#include "skin/skin_resample.h"
#include "skin/skin_runs.h"
#include "runtime/runtime_state.h"
#include "window/window_scale.h"
#include "window/events.h"
#include "window/window_table.h"

ListVariable GadgetColourList;

namespace {

GadgetColourRecord* ColourRecordOf(ListElement* element) {
  return static_cast<GadgetColourRecord*>(ListPayload(element));
}

// The skin's image unpacked into zero-filled pages of its own, or null. A stream that cannot be
// unpacked whole (malformed, cut short, or failing its checksum) yields nothing: its pixels are
// not the drawing's, and the drawing gives way as a damaged block does.
void* UnpackIntoPages(const SkinBlockView& view) {
  if (view.unpackedSize == 0 || view.unpackedSize > 0x7FFFFFFF) return nullptr;
  void* unpacked = AllocateImagePages(view.unpackedSize);
  if (unpacked && UnpackSkinImage(view, unpacked) != view.unpackedSize) {
    ReleaseImagePages(unpacked);
    return nullptr;
  }
  return unpacked;
}

// Centres the window, hidden, for the given size. A hidden window already in place is left alone:
// a move to where it is would still have the platform prepare the window for the screen now,
// work that showing it does anyway.
void CentreOnScreen(HWND window, long width, long height) {
  long x = GetSystemMetrics(SM_CXSCREEN) / 2 - width / 2;
  long y = GetSystemMetrics(SM_CYSCREEN) / 2 - height / 2;
  RECT now;
  if (!IsWindowVisible(window) && GetWindowRect(window, &now) && now.left == x && now.top == y &&
      now.right - now.left == width && now.bottom - now.top == height)
    return;
  SetWindowPos(window, nullptr, x, y, width, height, SWP_HIDEWINDOW);
}

// Lays the face over the whole window and lets presses on it through to the window.
void LayFace(ObjectNumber gadget, ObjectNumber image, long width, long height) {
  CreatePictureGadget(gadget, 0, 0, width, height, MakeImageCurrent(image));
  HWND control = GadgetHandleOf(gadget);
  SetWindowLongA(control, GWL_STYLE, GetWindowLongA(control, GWL_STYLE) ^ SS_NOTIFY);
}

// Gives the window its client size and its outline (which it owns from then on; none for 0), and
// centres it when asked.
void ShapeWindow(ObjectNumber window, long width, long height, HRGN region, long centre) {
  SelectCurrentWindow(window);
  SetCurrentWindowClientSize(width, height);
  SetWindowRgn(WindowHandleOf(window), region, TRUE);
  if (centre) CentreOnScreen(WindowHandleOf(window), width, height);
}

// Sizes the window to the skin, gives it its outline, centres it when asked, and lays the face
// over it.
void DressWindow(ObjectNumber window, ObjectNumber gadget, ObjectNumber image, long width, long height, HRGN region,
                 long centre) {
  ShapeWindow(window, width, height, region, centre);
  LayFace(gadget, image, width, height);
}

struct ScaledSkin {
  long width;
  long height;
  HRGN region;
};

// The outline of a skin image made at run time: the runs of its key-colour pixels, cut out of its
// rectangle as a block's run table would be; 0 for one of more than LargestSkinOutline rectangles.
HRGN RegionOfSkinImage(const SkinImageView& image) {
  static_assert(sizeof(SkinRun) == SkinRunSize, "runs are handed on as a block's run table");
  uint32_t count = CollectKeyColourRuns(image, nullptr, 0);
  SkinRun* runs = count ? static_cast<SkinRun*>(HeapAlloc(RuntimeState.heap, 0, count * sizeof(SkinRun))) : nullptr;
  if (count && !runs) return CreateRectRgn(0, 0, image.width, image.height);
  if (runs) CollectKeyColourRuns(image, runs, count);
  SkinBlockView table = {};
  table.runHeight = 1;
  table.runs = reinterpret_cast<const uint8_t*>(runs);
  table.runTableSize = count * SkinRunSize;
  HRGN region = SkinRegionFromSpans(table, image.width, image.height);
  if (runs) HeapFree(RuntimeState.heap, 0, runs);
  return region;
}

// Unpacks the art, resamples it from artDpi to dpi with its outline kept apart from its colours,
// makes the outline from the resampled mask and builds the image, releasing each stage's pages
// as soon as the next one stands.
bool BuildScaledSkinImage(const SkinBlockView& view, long artDpi, long dpi, ObjectNumber image, ScaledSkin* scaled) {
  void* unpacked = UnpackIntoPages(view);
  if (!unpacked) return false;
  SkinImageView source;
  if (!ReadSkinImage(unpacked, view.unpackedSize, &source)) {
    ReleaseImagePages(unpacked);
    return false;
  }
  long width = ScaledLength(source.width, dpi, artDpi), height = ScaledLength(source.height, dpi, artDpi);
  if (width < 1 || height < 1 || width > LargestImageSide || height > LargestImageSide) {
    ReleaseImagePages(unpacked);
    return false;
  }
  size_t bytes = ResampledSkinBytes(width, height);
  void* resampled = AllocateImagePages(bytes);
  bool made = resampled && ResampleSkinImage(source, width, height, resampled);
  ReleaseImagePages(unpacked);
  SkinImageView result;
  if (!made || !ReadSkinImage(resampled, bytes, &result)) {
    ReleaseImagePages(resampled);
    return false;
  }
  scaled->region = RegionOfSkinImage(result);
  if (!scaled->region) {  // an outline too fine to make in time
    ReleaseImagePages(resampled);
    return false;
  }
  scaled->width = width;
  scaled->height = height;
  if (!ImageFromImagePages(image, resampled, bytes)) {
    DeleteObject(scaled->region);
    return false;
  }
  return true;
}

// The art drawn for dpi; else the one drawn for the next larger DPI, which is scaled down; above
// the largest, the largest, which is scaled up. Art is never scaled up while larger art exists.
// Art whose bit is set in `passed` (an earlier choice that could not be applied) is passed over.
const SkinArt* ChooseSkinArt(const SkinArt* arts, long count, long dpi, unsigned long passed) {
  const SkinArt* larger = nullptr;
  const SkinArt* largest = nullptr;
  for (long i = 0; i < count && i < 32; ++i) {
    const SkinArt* art = &arts[i];
    if (!art->block || !art->blockSize || art->dpi <= 0 || (passed >> i & 1)) continue;
    if (art->dpi == dpi) return art;
    if (art->dpi > dpi && (!larger || art->dpi < larger->dpi)) larger = art;
    if (!largest || art->dpi > largest->dpi) largest = art;
  }
  return larger ? larger : largest;
}

// Skins the window with one drawing, as it stands or resampled to the window's scale.
long ApplySkinArt(ObjectNumber window, ObjectNumber gadget, ObjectNumber image, const SkinArt* art, long dpi,
                  long centre) {
  if (art->dpi == dpi) return ApplySkin(window, gadget, image, art->block, centre, art->blockSize);
  SkinBlockView view;
  if (!WindowHandleOf(window) || !ReadSkinBlock(art->block, art->blockSize, &view) || !SkinBannerAccepted(view))
    return 0;
  ScaledSkin scaled = {};
  if (!BuildScaledSkinImage(view, art->dpi, dpi, image, &scaled)) return 0;
  DressWindow(window, gadget, image, scaled.width, scaled.height, scaled.region, centre);
  return 1;
}

}  // namespace

void InitSkinLibrary() { CreateList(&GadgetColourList, sizeof(GadgetColourRecord), nullptr); }

long ApplySkin(ObjectNumber window, ObjectNumber gadget, ObjectNumber image, const void* block, long centre,
               size_t blockSize) {
  SkinBlockView view;
  if (!WindowHandleOf(window) || !ReadSkinBlock(block, blockSize, &view) || !SkinBannerAccepted(view)) return 0;
  // An outline too fine to make in time: refused before unpacking where the run table tells,
  // else once the image's size is known.
  if (!SkinOutlineMayFit(view)) return 0;
  void* unpacked = UnpackIntoPages(view);
  if (!unpacked) return 0;
  // The outline is made before the image where the image's size can be read first, so that a
  // drawing refused for its outline leaves the image, and the face showing it, as they were.
  BmpLayout layout;
  HRGN region = nullptr;
  if (ReadBmpLayout(unpacked, view.unpackedSize, &layout)) {
    region = SkinRegionFromSpans(view, layout.width, long(layout.rows));
    if (!region) {
      ReleaseImagePages(unpacked);
      return 0;
    }
  }
  // The image store releases the pages as the bitmap takes their rows, so the unpacked file and
  // the bitmap do not both stand whole in memory.
  if (!ImageFromImagePages(image, unpacked, view.unpackedSize)) {
    if (region) DeleteObject(region);
    return 0;
  }
  MakeImageCurrent(image);
  long width = CurrentImageWidth(), height = CurrentImageHeight();
  if (!region) region = SkinRegionFromSpans(view, width, height);
  if (!region) {
    ReleaseImage(image);
    return 0;
  }
  DressWindow(window, gadget, image, width, height, region, centre);
  return 1;
}

long ApplySkinForScale(ObjectNumber window, ObjectNumber gadget, ObjectNumber image, const SkinArt* arts,
                       long artCount, long centre) {
  // A drawing that cannot be applied (a damaged block, say, in a program whose skins were
  // replaced) gives way to the next best one, so one bad drawing costs a scale its crispness
  // rather than the window its skin.
  const long dpi = WindowDpi(window);
  unsigned long passed = 0;
  while (const SkinArt* art = ChooseSkinArt(arts, artCount, dpi, passed)) {
    if (ApplySkinArt(window, gadget, image, art, dpi, centre)) return 1;
    passed |= 1ul << (art - arts);
  }
  return 0;
}

long RemoveSkin(ObjectNumber window, ObjectNumber gadget, ObjectNumber image, long width, long height, long centre) {
  if (!WindowHandleOf(window)) return 0;
  DestroyGadget(gadget);
  ReleaseImage(image);
  ShapeWindow(window, width, height, nullptr, centre);
  return 1;
}

long ShowSkinnedWindow(ObjectNumber window, long hide) {
  if (hide) {
    SetWindowHidden(window, 1);
    return 0;
  }
  RedrawWindow(WindowHandleOf(window), nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  SetWindowHidden(window, 0);
  return 0;
}

long AssignGadgetColours(ObjectNumber gadget, COLORREF textColour, COLORREF backColour) {
  RewindList(&GadgetColourList);
  while (ListElement* element = NextListElement(&GadgetColourList)) {
    GadgetColourRecord* record = ColourRecordOf(element);
    if (record->gadget != gadget) continue;
    DeleteObject(record->faceBrush);
    DeleteObject(record->backBrush);  // the stock hollow brush ignores this
    DeleteListElement(&GadgetColourList);
    break;
  }
  ListElement* element = InsertListElement(&GadgetColourList);
  if (!element) return 0;
  GadgetColourRecord* record = ColourRecordOf(element);
  record->gadget = gadget;
  record->textColour = textColour;
  record->backColour = backColour;
  record->faceBrush = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  record->backBrush = backColour == TransparentBackground ? static_cast<HBRUSH>(GetStockObject(NULL_BRUSH))
                                                          : CreateSolidBrush(backColour);
  return 0;
}

LRESULT ResolveGadgetColours(HWND control, HDC dc) {
  LRESULT answer = HookPassOn;
  RewindList(&GadgetColourList);
  while (ListElement* element = NextListElement(&GadgetColourList)) {
    GadgetColourRecord* record = ColourRecordOf(element);
    if (!GadgetExists(record->gadget) || GadgetHandleOf(record->gadget) != control) continue;
    SetTextColor(dc, record->textColour);
    LONG back = static_cast<LONG>(record->backColour);
    if (back > 0) {
      SetBkMode(dc, OPAQUE);
      SetBkColor(dc, record->backColour);
      answer = reinterpret_cast<LRESULT>(record->backBrush);
    } else {
      SetBkMode(dc, TRANSPARENT);
      answer = reinterpret_cast<LRESULT>(back == 0 ? record->faceBrush : record->backBrush);
    }
  }
  return answer;
}
