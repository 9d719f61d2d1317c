// Push buttons, text labels and edit fields: class, styles and kind table over the creation core.
#include "gadget/gadget_kinds.h"

#include "gadget/gadget_create.h"
#include "window/events.h"

namespace {

LRESULT QueryButtonState(HWND control) { return SendMessageA(control, BM_GETCHECK, 0, 0); }

LRESULT ApplyButtonState(HWND control, LPARAM state) {
  return SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(state), 0);
}

const GadgetKindTable PushButtonKind = {nullptr, QueryButtonState, ApplyButtonState, nullptr,
                                        nullptr};
const GadgetKindTable TextLabelKind = {};
const GadgetKindTable EditFieldKind = {};

// What EditFocusProcedure replaced: one slot for every edit field, since it is always
// GadgetProcedure.
WNDPROC EditKeptProcedure;

}  // namespace

ObjectNumber CreatePushButton(ObjectNumber number, long x, long y, long width, long height,
                              const char* caption) {
  return CreateGadgetControl(number, "BUTTON", PushButtonStyle, 0, &PushButtonKind, x, y, width,
                             height, caption);
}

ObjectNumber CreateTextLabel(ObjectNumber number, long x, long y, long width, long height,
                             const char* caption) {
  return CreateGadgetControl(number, "STATIC", TextLabelStyle, 0, &TextLabelKind, x, y, width,
                             height, caption);
}

ObjectNumber CreateTextLabelWithFlags(ObjectNumber number, long x, long y, long width, long height,
                                      const char* caption, DWORD flags) {
  DWORD extendedStyle = (flags & SunkenBorderFlag) ? WS_EX_CLIENTEDGE : 0;
  return CreateGadgetControl(number, "STATIC", TextLabelStyle | flags, extendedStyle,
                             &TextLabelKind, x, y, width, height, caption);
}

ObjectNumber CreateEditField(ObjectNumber number, long x, long y, long width, long height,
                             const char* text) {
  ObjectNumber result = CreateGadgetControl(number, "EDIT", EditFieldStyle, WS_EX_CLIENTEDGE,
                                            &EditFieldKind, x, y, width, height, text);
  if (!result) return 0;
  HWND control = number == AnyNumber ? GadgetHandleOf(result) : reinterpret_cast<HWND>(result);
  EditKeptProcedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditFocusProcedure)));
  return result;
}

LRESULT CALLBACK EditFocusProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_SETFOCUS || message == WM_KILLFOCUS) {
    long detail = message == WM_SETFOCUS ? DetailFocusGained : DetailFocusLost;
    PostMessageA(TopLevelAncestor(control), GadgetNoticeMessage,
                 static_cast<WPARAM>(GetWindowLongPtrA(control, GWLP_ID)), detail);
  }
  return CallWindowProcA(EditKeptProcedure, control, message, wParam, lParam);
}
