// The GadgetTable: start-up, slots and their growth, lookups by number and destruction.
#include "gadget/gadget_table.h"

#include <commctrl.h>

#include "runtime/runtime_state.h"

GadgetTableRecord GadgetTable;

namespace {

bool IsTableNumber(ObjectNumber number) { return number >= 0 && number <= GadgetTable.highest; }

// Grows the table so that number lies below the highest; old records stay, new ones are zero.
bool GrowTableFor(ObjectNumber number) {
  ObjectNumber highest = number + GadgetTableGrowth;
  void* grown = GrowRecordTable(GadgetTable.slots, highest + 2, sizeof(GadgetRecord));
  if (!grown) return false;
  GadgetTable.slots = static_cast<GadgetRecord*>(grown);
  GadgetTable.highest = highest;
  return true;
}

bool ControlHoldsFont(HWND control, HFONT font) {
  return control && reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)) == font;
}

// True when a live gadget, in the table or outside it, was given font.
bool GadgetHoldsFont(HFONT font) {
  for (ObjectNumber n = 0; n <= GadgetTable.highest; ++n)
    if (ControlHoldsFont(GadgetTable.slots[n].control, font)) return true;
  for (void* record = FirstObjectRecord(GadgetTable.dynamicGadgets); record; record = NextObjectRecord(record))
    if (ControlHoldsFont(static_cast<GadgetRecord*>(record)->control, font)) return true;
  return false;
}

// A slot for a new scaled font: an empty one, else one whose font no gadget holds any more
// (its font is deleted when the new one takes the slot); -1 when every font is in use.
int FreeScaledFontSlot() {
  for (int i = 0; i < ScaledGadgetFontSlots; ++i)
    if (!GadgetTable.scaledFonts[i]) return i;
  for (int i = 0; i < ScaledGadgetFontSlots; ++i)
    if (!GadgetHoldsFont(GadgetTable.scaledFonts[i])) return i;
  return -1;
}

}  // namespace

void InitGadgetLibrary() {
  ZeroMemory(&GadgetTable, sizeof(GadgetTable));
  GadgetTable.highest = GadgetTableInitialHighest;
  GadgetTable.slots = static_cast<GadgetRecord*>(HeapAlloc(
      RuntimeState.heap, HEAP_ZERO_MEMORY, (GadgetTable.highest + 2) * sizeof(GadgetRecord)));
  GadgetTable.font = GetStockObject(DEFAULT_GUI_FONT);
  HDC screen = GetDC(nullptr);
  GadgetTable.fontDpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  InitCommonControls();
}

HWND BindGadgetParent(HWND window) {
  GadgetTable.parent = window;
  return window;
}

GadgetRecord* PrepareGadgetRecord(ObjectNumber number) {
  if (number == AnyNumber) {
    return static_cast<GadgetRecord*>(AllocateObjectRecord(
        &GadgetTable.dynamicGadgets, sizeof(ObjectRecordHeader) + sizeof(GadgetRecord)));
  }
  // Other negative numbers would index before the table, and numbers past the cap would let the
  // table reach the addresses that AnyNumber identifiers are made of.
  if (number < 0 || number > HighestGadgetNumber) return nullptr;
  if (number >= GadgetTable.highest && !GrowTableFor(number)) return nullptr;
  DestroyGadget(number);
  return &GadgetTable.slots[number];
}

GadgetRecord* GadgetExists(ObjectNumber number) {
  GadgetRecord* record;
  if (IsTableNumber(number)) {
    record = &GadgetTable.slots[number];
  } else {
    record = static_cast<GadgetRecord*>(
        FindObjectRecord(GadgetTable.dynamicGadgets, reinterpret_cast<void*>(number)));
  }
  return record && record->control ? record : nullptr;
}

GadgetRecord* LookupGadget(ObjectNumber number) {
  GadgetRecord* record = GadgetExists(number);
  return record ? record : &GadgetTable.emptyRecord;
}

void ReleaseGadgetRecord(ObjectNumber number) {
  if (IsTableNumber(number)) {
    // The whole record, so that a later gadget of another kind finds no picture of this one.
    ZeroMemory(&GadgetTable.slots[number], sizeof(GadgetRecord));
  } else {
    ReleaseObjectRecord(&GadgetTable.dynamicGadgets, reinterpret_cast<void*>(number));
  }
}

HWND GadgetHandleOf(ObjectNumber number) { return LookupGadget(number)->control; }

void DestroyGadget(ObjectNumber number) {
  GadgetRecord* record = GadgetExists(number);
  if (!record) return;
  HWND control = record->control;
  if (record->kind && record->kind->destroyHook) {
    record->kind->destroyHook(control);
  } else {
    DestroyWindow(control);
  }
  // The control's own procedure released the record on WM_NCDESTROY. Should the control have
  // died without passing through it (its procedure replaced by someone else), the number must
  // not keep naming a dead window. The record is found again: a dynamic one may be freed now.
  record = GadgetExists(number);
  if (record && record->control == control && !IsWindow(control)) ReleaseGadgetRecord(number);
}

HGDIOBJ GadgetFontFor(long dpi) {
  if (dpi <= 0 || dpi == GadgetTable.fontDpi || GadgetTable.fontDpi <= 0) return GadgetTable.font;
  for (int i = 0; i < ScaledGadgetFontSlots; ++i)
    if (GadgetTable.scaledFonts[i] && GadgetTable.scaledFontDpi[i] == dpi) return GadgetTable.scaledFonts[i];
  int slot = FreeScaledFontSlot();
  LOGFONTA face;
  if (slot < 0 || !GadgetTable.font || !GetObjectA(GadgetTable.font, sizeof face, &face)) return GadgetTable.font;
  face.lfHeight = MulDiv(face.lfHeight, dpi, GadgetTable.fontDpi);
  face.lfWidth = MulDiv(face.lfWidth, dpi, GadgetTable.fontDpi);
  HFONT font = CreateFontIndirectA(&face);
  if (!font) return GadgetTable.font;
  if (GadgetTable.scaledFonts[slot]) DeleteObject(GadgetTable.scaledFonts[slot]);
  GadgetTable.scaledFonts[slot] = font;
  GadgetTable.scaledFontDpi[slot] = dpi;
  return font;
}
