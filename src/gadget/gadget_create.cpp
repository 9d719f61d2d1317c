// CreateGadgetControl, GadgetProcedure and the notices by which gadgets reach the event loop.
#include "gadget/gadget_create.h"

#include "runtime/runtime_state.h"
#include "window/events.h"
#include "window/window_scale.h"

GadgetRecord* CreateBareGadget(ObjectNumber number, const char* className, DWORD style,
                               DWORD extendedStyle, const GadgetKindTable* kind, long x, long y,
                               long width, long height, const char* caption) {
  GadgetRecord* record = PrepareGadgetRecord(number);
  if (!record) return nullptr;
  ObjectNumber identifier = number == AnyNumber ? reinterpret_cast<ObjectNumber>(record) : number;

  HWND control = CreateWindowExA(extendedStyle, className, caption, style, x, y, width, height,
                                 GadgetTable.parent, reinterpret_cast<HMENU>(identifier),
                                 RuntimeState.instance, nullptr);
  if (!control) {
    // A failure is a failure under AnyNumber too: the record would otherwise stay allocated
    // under a number that names nothing.
    if (number == AnyNumber) ReleaseGadgetRecord(identifier);
    return nullptr;
  }
  // Creation sends messages to the parent, whose handlers may create gadgets and so move the
  // table: the slot is taken again rather than trusted.
  if (number != AnyNumber) record = &GadgetTable.slots[number];
  record->control = control;
  record->kind = kind;
  return record;
}

ObjectNumber GadgetCreationResult(ObjectNumber number, const GadgetRecord* record) {
  return number == AnyNumber ? reinterpret_cast<ObjectNumber>(record)
                             : reinterpret_cast<ObjectNumber>(record->control);
}

ObjectNumber CreateGadgetControl(ObjectNumber number, const char* className, DWORD style,
                                 DWORD extendedStyle, const GadgetKindTable* kind, long x, long y,
                                 long width, long height, const char* caption) {
  GadgetRecord* record = CreateBareGadget(number, className, style, extendedStyle, kind, x, y,
                                          width, height, caption);
  if (!record) return 0;
  record->previousProcedure = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(record->control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(GadgetProcedure)));
  // The font of the parent window's scale.
  HGDIOBJ font = GadgetFontFor(CarriedDpiOfHandle(GadgetTable.parent));
  SendMessageA(record->control, WM_SETFONT, reinterpret_cast<WPARAM>(font), 1);
  return GadgetCreationResult(number, record);
}

LRESULT CALLBACK GadgetProcedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam) {
  ObjectNumber number = GetWindowLongPtrA(control, GWLP_ID);
  GadgetRecord* record = GadgetExists(number);
  if (!record || record->control != control) {
    return DefWindowProcA(control, message, wParam, lParam);
  }
  // Read before the release: a dynamic record is freed by it.
  WNDPROC previous = record->previousProcedure;
  if (message == WM_NCDESTROY) ReleaseGadgetRecord(number);
  return CallWindowProcA(previous, control, message, wParam, lParam);
}

void SendGadgetNotice(HWND control, long detail) {
  SendMessageA(TopLevelAncestor(control), GadgetNoticeMessage,
               static_cast<WPARAM>(GetWindowLongPtrA(control, GWLP_ID)), detail);
}
