// The GadgetTable: numbered child controls of runtime windows, their records and lookups.
//
// Numbers 0 .. highest address table slots. AnyNumber (-1) asks for a gadget outside the table:
// its record is the payload of a DynamicGadgetList element, and that payload's address is the
// gadget's number. Every control's child identifier (GWLP_ID) is its number, so notifications and
// window procedures find the record again from the control alone.
#pragma once
#include <windows.h>

#include "runtime/heaps.h"
#include "runtime/numbers.h"

// Optional operations of one gadget kind; an empty slot means the default noted beside it.
struct GadgetKindTable {
  void (*destroyHook)(HWND control);                 // default: DestroyWindow(control)
  LRESULT (*queryState)(HWND control);               // not used by the common operations
  LRESULT (*applyState)(HWND control, LPARAM state); // not used by the common operations
  char* (*queryCaption)(HWND control);               // default: GetWindowTextA at WritePosition
  void (*applyCaption)(HWND control, const char* text);  // default: SetWindowTextA
};

struct GadgetRecord {
  HWND control;                 // 0: the record holds no gadget
  const GadgetKindTable* kind;  // the kind's table; lives as long as the process
  HANDLE picture;               // bitmap or icon shown by a picture gadget; 0 for other kinds
  WNDPROC previousProcedure;    // what the control ran before GadgetProcedure was put on it
};

// Scales whose fonts are kept at once: more than the monitors of one desk.
const int ScaledGadgetFontSlots = 8;

struct GadgetTableRecord {
  ObjectNumber highest;                  // 30 after start-up; slots hold highest + 2 records
  GadgetRecord* slots;                   // RuntimeHeap, zero-filled; slot n is gadget n
  ObjectRecordHeader* dynamicGadgets;    // head of the DynamicGadgetList
  GadgetRecord emptyRecord;              // all zero; what lookups find for no gadget. Never written.
  HWND parent;                           // GadgetParent: receives the gadgets created next
  HGDIOBJ font;                          // GadgetFont: DEFAULT_GUI_FONT, given to every new control
  long fontDpi;                          // the screen's DPI, which the GadgetFont is made for
  // The GadgetFont made again for other scales, one per DPI. A slot is given to another DPI only
  // when no live gadget holds its font; with every slot's font in use, a further scale gets the
  // GadgetFont itself rather than a font that would be deleted under a control.
  HFONT scaledFonts[ScaledGadgetFontSlots];
  long scaledFontDpi[ScaledGadgetFontSlots];
};

extern GadgetTableRecord GadgetTable;

// Growth step beyond the number asked for, and the highest number after start-up.
const ObjectNumber GadgetTableGrowth = 30;
const ObjectNumber GadgetTableInitialHighest = 30;
// Highest table number a creation accepts. Keeps the table below 0x10000, the lowest address a
// heap record can have, so that AnyNumber identifiers never fall inside the table.
const ObjectNumber HighestGadgetNumber = 0xFFFF - GadgetTableGrowth;

// Zeroes the library state, allocates 32 zero-filled slots, fetches the GadgetFont and
// initialises the common controls.
void InitGadgetLibrary();
// The GadgetFont for controls of a window at dpi: the stock font itself at the screen's own DPI,
// else a font of the same face whose height is scaled to dpi, kept while any gadget holds it
// (the stock font when none can be made or every slot's font is in use).
HGDIOBJ GadgetFontFor(long dpi);
// Makes window the parent of the gadgets created next; returns it (0: there is no window).
HWND BindGadgetParent(HWND window);
// The record a new gadget under number will use: a fresh DynamicGadgetList payload for
// AnyNumber (its address is the new number), else the slot, growing the table when the number
// is not below the highest; a gadget already under the number is destroyed first. 0 for numbers
// the table does not take (other negatives, above HighestGadgetNumber) or when memory runs out.
GadgetRecord* PrepareGadgetRecord(ObjectNumber number);
// The record of the number's gadget, or &GadgetTable.emptyRecord (control 0) when there is none.
// Safe for any number: numbers outside the table are used only once found in the
// DynamicGadgetList.
GadgetRecord* LookupGadget(ObjectNumber number);
// The record of the number's gadget, or 0 when it has none. Safe for any number.
GadgetRecord* GadgetExists(ObjectNumber number);
// Frees the number: a table slot is cleared, a DynamicGadgetList element unlinked and freed.
// Anything else is left alone.
void ReleaseGadgetRecord(ObjectNumber number);
// The gadget's control, or 0.
HWND GadgetHandleOf(ObjectNumber number);
// Destroys the gadget through its kind's DestroyHook (default DestroyWindow); its record is
// released when the control receives WM_NCDESTROY. No gadget: nothing happens.
void DestroyGadget(ObjectNumber number);
