// CreatePictureGadget and PictureGadgetProcedure. The procedure's switch only routes; each
// handler gives the message's answer.
#include "gadget/picture_gadget.h"

#include "gadget/gadget_create.h"
#include "gadget/gadget_table.h"
#include "gadget/picture_size.h"
#include "window/events.h"

PictureGadgetStateRecord PictureGadgetState;

namespace {

const GadgetKindTable PictureKind = {nullptr, nullptr, SetPictureImage, nullptr, nullptr};

bool IsBitmap(HANDLE picture) { return GetObjectType(picture) == OBJ_BITMAP; }

IconBitmapInfo DescribeBitmap(HBITMAP bitmap) {
  BITMAP description;
  if (!bitmap || !GetObjectA(bitmap, sizeof(description), &description)) return {false, 0, 0};
  return {true, description.bmWidth, description.bmHeight};
}

// The picture's own size. An icon's bitmaps are copies made for the caller: they are freed.
PictureExtent PictureSizeOf(HANDLE picture) {
  if (IsBitmap(picture)) {
    IconBitmapInfo bitmap = DescribeBitmap(static_cast<HBITMAP>(picture));
    return {bitmap.width, bitmap.height, bitmap.present};
  }
  ICONINFO icon;
  if (!GetIconInfo(static_cast<HICON>(picture), &icon)) return {0, 0, false};
  PictureExtent size = IconExtent(DescribeBitmap(icon.hbmColor), DescribeBitmap(icon.hbmMask));
  if (icon.hbmMask) DeleteObject(icon.hbmMask);
  if (icon.hbmColor) DeleteObject(icon.hbmColor);
  return size;
}

// Repaints the part of the top-level window that lies under the control.
void RepaintBehind(HWND control) {
  HWND top = TopLevelAncestor(control);
  RECT area;
  GetWindowRect(control, &area);
  POINT corners[2] = {{area.left, area.top}, {area.right, area.bottom}};
  ScreenToClient(top, &corners[0]);
  ScreenToClient(top, &corners[1]);
  RECT inTop = {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  InvalidateRect(top, &inTop, FALSE);
  UpdateWindow(top);
}

// Shows picture in the gadget and sizes the control to it.
void ShowPicture(GadgetRecord* record, HWND control, HANDLE picture) {
  record->picture = picture;
  // A bitmap covers its whole rectangle; an icon may leave parts uncovered, and no picture
  // leaves all of it.
  if (!picture || !IsBitmap(picture)) RepaintBehind(control);
  if (!picture) return;
  bool sunken = (GetWindowLongA(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0;
  PictureExtent size = ControlExtentFor(PictureSizeOf(picture), sunken);
  if (size.known) {
    SetWindowPos(control, nullptr, 0, 0, size.width, size.height, SWP_NOMOVE | SWP_NOZORDER);
  }
  InvalidateRect(control, nullptr, FALSE);
  UpdateWindow(control);
}

LRESULT OnPaint(GadgetRecord* record, HWND control) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(control, &paint);
  HANDLE picture = record->picture;
  if (picture) {
    UINT kind = IsBitmap(picture) ? DST_BITMAP : DST_ICON;
    DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(picture), 0, 0, 0, 0, 0,
               kind | DSS_NORMAL);
  }
  EndPaint(control, &paint);
  return 0;
}

LRESULT OnRightButtonUp(HWND control) {
  // The second release of a right double click reports nothing.
  if (PictureGadgetState.rightButtonFlag) {
    PictureGadgetState.rightButtonFlag = false;
  } else {
    SendGadgetNotice(control, DetailRightClick);
  }
  return 0;
}

LRESULT OnRightDoubleClick(HWND control) {
  SendGadgetNotice(control, DetailRightDoubleClick);
  PictureGadgetState.rightButtonFlag = true;
  return 0;
}

LRESULT PassOn(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcA(PictureGadgetState.keptProcedure, control, message, wParam, lParam);
}

}  // namespace

ObjectNumber CreatePictureGadget(ObjectNumber number, long x, long y, long width, long height,
                                 HANDLE image, DWORD extendedStyle) {
  GadgetRecord* record = CreateBareGadget(number, "STATIC", PictureGadgetStyle, extendedStyle,
                                          &PictureKind, x, y, width, height, nullptr);
  if (!record) return 0;
  HWND control = record->control;
  ObjectNumber result = GadgetCreationResult(number, record);
  // No GadgetProcedure and no font: this procedure does all a picture gadget needs.
  PictureGadgetState.keptProcedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(PictureGadgetProcedure)));
  SetPictureImage(control, reinterpret_cast<LPARAM>(image));
  return result;
}

LRESULT SetPictureImage(HWND control, LPARAM image) {
  return SendMessageA(control, STM_SETIMAGE, 0, image);
}

LRESULT CALLBACK PictureGadgetProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  ObjectNumber number = GetWindowLongPtrA(control, GWLP_ID);
  GadgetRecord* record = GadgetExists(number);
  // A control whose number no longer names it has no picture and no record to write.
  if (!record || record->control != control) return PassOn(control, message, wParam, lParam);
  switch (message) {
    case WM_NCDESTROY:
      ReleaseGadgetRecord(number);
      return PassOn(control, message, wParam, lParam);
    case WM_PAINT:
      return OnPaint(record, control);
    case STM_SETIMAGE:
    case STM_SETICON: {
      // Like the platform's static control: the image comes in lParam, an icon for STM_SETICON
      // in wParam, and the answer is the picture shown before, so that a caller may free it.
      HANDLE previous = record->picture;
      HANDLE picture = reinterpret_cast<HANDLE>(message == STM_SETICON ? wParam : lParam);
      ShowPicture(record, control, picture);
      return reinterpret_cast<LRESULT>(previous);
    }
    case STM_GETIMAGE:
    case STM_GETICON:
      return reinterpret_cast<LRESULT>(record->picture);
    case WM_LBUTTONDBLCLK:
      SendGadgetNotice(control, DetailLeftDoubleClick);
      return 0;
    case WM_RBUTTONUP:
      return OnRightButtonUp(control);
    case WM_RBUTTONDBLCLK:
      return OnRightDoubleClick(control);
    default:
      return PassOn(control, message, wParam, lParam);
  }
}
