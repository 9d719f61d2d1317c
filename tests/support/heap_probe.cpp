#include "support/heap_probe.h"

#include <algorithm>

#include "runtime/runtime_state.h"

std::vector<void*> BusyBlocks(HANDLE heap) {
  std::vector<void*> busy;
  PROCESS_HEAP_ENTRY entry = {};
  HeapLock(heap);
  while (HeapWalk(heap, &entry)) {
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) busy.push_back(entry.lpData);
  }
  HeapUnlock(heap);
  return busy;
}

bool IsLiveBlock(void* p, HANDLE heap) {
  std::vector<void*> busy = BusyBlocks(heap ? heap : RuntimeState.heap);
  return std::find(busy.begin(), busy.end(), p) != busy.end();
}
