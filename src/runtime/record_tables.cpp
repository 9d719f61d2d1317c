// Helpers for the record tables of the subsystems: growing a numbered table, walking an ObjectList.
#include "runtime/heaps.h"
#include "runtime/runtime_state.h"

void* GrowRecordTable(void* table, intptr_t count, size_t recordSize) {
  // Compared before multiplying: a pointer-sized count times the record size can wrap.
  const size_t LargestTable = 0x7FFFFFFF;
  if (count <= 0 || (recordSize && static_cast<size_t>(count) > LargestTable / recordSize)) return nullptr;
  return HeapReAlloc(RuntimeState.heap, HEAP_ZERO_MEMORY, table, static_cast<size_t>(count) * recordSize);
}

void* FirstObjectRecord(ObjectRecordHeader* head) { return head ? head + 1 : nullptr; }

void* NextObjectRecord(void* payload) {
  return FirstObjectRecord((static_cast<ObjectRecordHeader*>(payload) - 1)->next);
}
