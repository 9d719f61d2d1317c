// The ObjectHeap and its records: the lists of objects created under AnyNumber.
#include "runtime/heaps.h"

MemoryStateRecord MemoryState;

namespace {

ObjectRecordHeader* HeaderOf(void* payload) { return static_cast<ObjectRecordHeader*>(payload) - 1; }

}  // namespace

void CreateObjectHeap() { MemoryState.objectHeap = HeapCreate(0, 1024, 0); }

void DestroyObjectHeap() {
  if (MemoryState.objectHeap) HeapDestroy(MemoryState.objectHeap);
  MemoryState.objectHeap = nullptr;
}

void* AllocateObjectRecord(ObjectRecordHeader** list, int32_t totalSize) {
  // The size includes the header; a smaller request still gets room for the header.
  size_t size = totalSize > static_cast<int32_t>(sizeof(ObjectRecordHeader))
                    ? static_cast<size_t>(totalSize)
                    : sizeof(ObjectRecordHeader);
  if (!MemoryState.objectHeap) return nullptr;
  ObjectRecordHeader* record =
      static_cast<ObjectRecordHeader*>(HeapAlloc(MemoryState.objectHeap, HEAP_ZERO_MEMORY, size));
  if (!record) return nullptr;
  if (*list) {
    (*list)->previous = record;
    record->next = *list;
  }
  *list = record;
  return record + 1;
}

void ReleaseObjectRecord(ObjectRecordHeader** list, void* payload) {
  // Only a record that is linked in this list is unlinked and freed: a stale or foreign
  // identifier must neither corrupt the list nor free memory twice.
  if (!payload || !FindObjectRecord(*list, payload)) return;
  ObjectRecordHeader* record = HeaderOf(payload);
  if (record == *list) {
    *list = record->next;
    if (*list) (*list)->previous = nullptr;
  } else {
    record->previous->next = record->next;
    if (record->next) record->next->previous = record->previous;
  }
  HeapFree(MemoryState.objectHeap, 0, record);
}

void* FindObjectRecord(ObjectRecordHeader* head, void* payload) {
  if (!payload) return nullptr;
  ObjectRecordHeader* record = HeaderOf(payload);
  for (ObjectRecordHeader* r = head; r; r = r->next) {
    if (r == record) return payload;
  }
  return nullptr;
}
