// Looks into a private heap with HeapWalk, to check what a test's operations allocated or freed.
#pragma once
#include <windows.h>

#include <vector>

// The data addresses of every block in use on heap, in walk order.
std::vector<void*> BusyBlocks(HANDLE heap);
// True while the block at p is in use on heap (the RuntimeHeap when none is given).
bool IsLiveBlock(void* p, HANDLE heap = nullptr);

// Most bytes a heap made by AllocateFromFixedHeap holds.
const SIZE_T FixedHeapBytes = 0x10000;

// Runs allocate() while *heap is a heap of FixedHeapBytes that cannot grow, then puts the heap
// back and destroys the small one; returns what allocate() returned. Such a heap refuses every
// block larger than itself on 32-bit and 64-bit alike, where a growable heap may well serve a
// block of 2 GB on 64-bit: tests of what a refusal leaves use it. When the small heap cannot be
// made, allocate() is not run and the result is heap itself, which no refusal check accepts.
template <class Allocate>
void* AllocateFromFixedHeap(HANDLE* heap, Allocate allocate) {
  HANDLE fixed = HeapCreate(0, 0, FixedHeapBytes);
  if (!fixed) return heap;
  HANDLE kept = *heap;
  *heap = fixed;
  void* result = allocate();
  *heap = kept;
  HeapDestroy(fixed);
  return result;
}
