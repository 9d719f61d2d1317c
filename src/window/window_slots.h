// Internal to the window library: finding and walking the records behind window numbers.
#pragma once
#include "window/window_table.h"

// The record an opening uses for number (may grow the table or add a DynamicWindowList element).
// For AnyNumber, *identifier receives the new record's identifier; otherwise number itself.
// Returns 0 when the table cannot grow or the element cannot be allocated.
WindowRecord* SlotFor(ObjectNumber number, ObjectNumber* identifier);
// Whether number addresses a table slot (0 .. capacity) rather than naming an AnyNumber record.
inline bool IsTableNumber(ObjectNumber number) {
  return number >= 0 && number <= WindowTable.capacity;
}
// The record behind number whether or not it holds a window: the table slot, or the linked
// DynamicWindowList record whose identifier is number; 0 for anything else.
WindowRecord* LinkedRecordOf(ObjectNumber number);
// The linked DynamicWindowList record whose identifier is number, or 0.
WindowRecord* DynamicRecordOf(ObjectNumber number);
// Walk of the DynamicWindowList from its head (newest first); 0 at the end.
WindowRecord* FirstDynamicRecord();
WindowRecord* NextDynamicRecord(WindowRecord* record);
// The identifier (number) of a DynamicWindowList record.
inline ObjectNumber IdentifierOf(WindowRecord* record) { return reinterpret_cast<ObjectNumber>(record); }
// Unlinks and frees a DynamicWindowList record.
void ReleaseDynamicRecord(WindowRecord* record);
// Writes the class name of the number's windows into WindowTable.className: "WindowClass_" and
// the number in decimal, every digit of it, since an AnyNumber identifier is a whole address.
void FormatClassName(ObjectNumber number);
