// Looks into a private heap with HeapWalk, to check what a test's operations allocated or freed.
#pragma once
#include <windows.h>

#include <vector>

// The data addresses of every block in use on heap, in walk order.
std::vector<void*> BusyBlocks(HANDLE heap);
// True while the block at p is in use on heap (the RuntimeHeap when none is given).
bool IsLiveBlock(void* p, HANDLE heap = nullptr);
