// Disabling, captions: the common operations on a gadget found by its number.
#include "gadget/gadget_common.h"

#include "gadget/gadget_table.h"
#include "runtime/strings.h"

void SetGadgetDisabled(ObjectNumber number, long state) {
  HWND control = GadgetHandleOf(number);
  if (control) EnableWindow(control, state == 0);
}

void SetGadgetCaption(ObjectNumber number, const char* text) {
  GadgetRecord* record = GadgetExists(number);
  if (!record) return;
  if (record->kind && record->kind->applyCaption) {
    record->kind->applyCaption(record->control, text);
  } else {
    SetWindowTextA(record->control, text);
  }
}

char* ReadGadgetCaption(ObjectNumber number) {
  // Terminates the empty text at WritePosition first (clamped into the buffer by the string
  // library), so that every way out leaves a valid string there.
  char* start = AppendString(nullptr);
  GadgetRecord* record = GadgetExists(number);
  if (!start || !record) return start;
  if (record->kind && record->kind->queryCaption) return record->kind->queryCaption(record->control);
  int limit = WorkBufferRoom() + 1;
  if (limit > GadgetCaptionLimit) limit = GadgetCaptionLimit;
  int count = GetWindowTextA(record->control, start, limit);
  if (count < 0) count = 0;
  if (count > limit - 1) count = limit - 1;
  WritePosition = start + count;
  *WritePosition = 0;
  return start;
}
