// Helpers for the record tables of the subsystems: growing a numbered table, walking an ObjectList.
#include "runtime/heaps.h"
#include "runtime/runtime_state.h"

void* GrowRecordTable(void* table, int32_t count, size_t recordSize) {
  unsigned long long bytes = static_cast<unsigned long long>(count) * recordSize;
  if (count <= 0 || bytes > 0x7FFFFFFFull) return nullptr;
  return HeapReAlloc(RuntimeState.heap, HEAP_ZERO_MEMORY, table, static_cast<size_t>(bytes));
}

void* FirstObjectRecord(ObjectRecordHeader* head) { return head ? head + 1 : nullptr; }

void* NextObjectRecord(void* payload) {
  return FirstObjectRecord((static_cast<ObjectRecordHeader*>(payload) - 1)->next);
}
