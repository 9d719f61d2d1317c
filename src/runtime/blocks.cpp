// Memory blocks: raw, zero-filled byte ranges from the BlockHeap.
#include <cstring>

#include "runtime/heaps.h"

void InitBlockLibrary() { MemoryState.blockHeap = HeapCreate(0, 4096, 0); }

void* AllocateBlock(int32_t size) {
  if (size <= 0 || !MemoryState.blockHeap) return nullptr;
  return HeapAlloc(MemoryState.blockHeap, HEAP_ZERO_MEMORY, static_cast<size_t>(size));
}

void ReleaseBlock(void* block) {
  if (!block) return;
  if (block == AllBlocks) {
    // Destroyed rather than abandoned: every earlier block goes back to the system at once.
    if (MemoryState.blockHeap) HeapDestroy(MemoryState.blockHeap);
    InitBlockLibrary();
    return;
  }
  HeapFree(MemoryState.blockHeap, 0, block);
}

void* CopyBlock(const void* source, void* destination, int32_t length) {
  if (length <= 0) return destination;
  memmove(destination, source, static_cast<size_t>(length));
  return static_cast<char*>(destination) + length;
}
