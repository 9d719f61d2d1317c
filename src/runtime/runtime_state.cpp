#include "runtime/runtime_state.h"

RuntimeStateRecord RuntimeState;

void CreateRuntimeHeap() { RuntimeState.heap = HeapCreate(0, 4000, 0); }

void DestroyRuntimeHeap() {
  if (RuntimeState.heap) HeapDestroy(RuntimeState.heap);
  RuntimeState.heap = nullptr;
}
