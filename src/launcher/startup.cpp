#include "launcher/startup.h"

#include <string.h>

#include "gadget/gadget_table.h"
#include "launcher/launcher_main.h"
#include "launcher/launcher_state.h"
#include "launcher/system_procedure.h"
#include "runtime/files.h"
#include "runtime/heaps.h"
#include "runtime/runtime_state.h"
#include "runtime/strings.h"
#include "skin/image_store.h"
#include "skin/skin_engine.h"
#include "window/window_scale.h"
#include "window/window_table.h"

// Each library's start-up allocates from the RuntimeHeap, and the window library registers
// its classes under the instance: both must be in place first.
void StartLibraries(HINSTANCE instance) {
  memset(&RuntimeState, 0, sizeof RuntimeState);
  memset(&Launcher, 0, sizeof Launcher);
  RuntimeState.instance = instance;
  CreateRuntimeHeap();
  CreateObjectHeap();
  InitFileLibrary();
  InitWindowLibrary();
  InitGadgetLibrary();
  InitBlockLibrary();
  InitImageLibrary();
  InitSkinLibrary();
  InitStringBuffer();
}

void StartRuntime(HINSTANCE instance) {
  RestrictLibrarySearch();
  // Before any window opens: the awareness decides the DPI every window is made for.
  DeclareDpiAwareness();
  StartLibraries(instance);
  LauncherMain();
}

void ShutDownLibraries() {
  ReleaseAllImages();
  DestroyAllWindows();
  CloseAllFiles();
  DestroyObjectHeap();
}

void EndProgram() {
  ShutDownLibraries();
  // Takes every string, table and record with it, the string work buffer included.
  DestroyRuntimeHeap();
  ExitProcess(0);
}
