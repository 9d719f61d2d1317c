// ApplySkin, ShowSkinnedWindow and the gadget colours.
#include "skin/skin_engine.h"

#include "gadget/gadget_table.h"
#include "gadget/picture_gadget.h"
#include "runtime/heaps.h"
#include "skin/image_store.h"
#include "skin/skin_block.h"
#include "skin/skin_region.h"
#include "window/events.h"
#include "window/window_table.h"

ListVariable GadgetColourList;

namespace {

GadgetColourRecord* ColourRecordOf(ListElement* element) {
  return static_cast<GadgetColourRecord*>(ListPayload(element));
}

// Unpacks the skin image into zero-filled pages and builds the image from them; the image store
// releases the pages as the bitmap takes their rows, so the unpacked file and the bitmap do not
// both stand whole in memory.
bool BuildSkinImage(const SkinBlockView& view, ObjectNumber image) {
  if (view.unpackedSize == 0 || view.unpackedSize > 0x7FFFFFFF) return false;
  void* unpacked = AllocateImagePages(view.unpackedSize);
  if (!unpacked) return false;
  // Whatever the stream yields is offered to the image store, which checks the bitmap's headers
  // against the unpacked size before the platform reads it.
  UnpackSkinImage(view, unpacked);
  return ImageFromImagePages(image, unpacked, view.unpackedSize) != 0;
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

}  // namespace

void InitSkinLibrary() { CreateList(&GadgetColourList, sizeof(GadgetColourRecord), nullptr); }

long ApplySkin(ObjectNumber window, ObjectNumber gadget, ObjectNumber image, const void* block, long centre,
               size_t blockSize) {
  SkinBlockView view;
  if (!WindowHandleOf(window) || !ReadSkinBlock(block, blockSize, &view) || !SkinBannerAccepted(view)) return 0;
  if (!BuildSkinImage(view, image)) return 0;

  MakeImageCurrent(image);
  long width = CurrentImageWidth(), height = CurrentImageHeight();
  SelectCurrentWindow(window);
  SetCurrentWindowClientSize(width, height);
  // The region belongs to the window from here on.
  SetWindowRgn(WindowHandleOf(window), SkinRegionFromSpans(view, width, height), TRUE);
  if (centre) CentreOnScreen(WindowHandleOf(window), width, height);
  LayFace(gadget, image, width, height);
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
