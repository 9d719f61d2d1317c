#include "support/runtime_setup.h"

#include <windows.h>

#include "runtime/files.h"
#include "runtime/heaps.h"
#include "runtime/runtime_state.h"
#include "runtime/strings.h"

void StartRuntimeForTests() {
  if (RuntimeState.heap) return;
  RuntimeState.instance = GetModuleHandleA(nullptr);
  CreateRuntimeHeap();
  CreateObjectHeap();
  InitFileLibrary();
  InitBlockLibrary();
  InitStringBuffer();
}
