// A program with the launcher's own start-up and end sequence but a LauncherMain of its own,
// which reports what start-up left behind and then leaves through EndProgram. CTest reads its
// output and its exit code. With the argument "busy" it leaves objects open for the end
// sequence to release.
#include <windows.h>

#include <string.h>

#include "launcher/launcher_main.h"
#include "launcher/launcher_state.h"
#include "launcher/startup.h"
#include "runtime/files.h"
#include "runtime/heaps.h"
#include "runtime/runtime_state.h"
#include "runtime/strings.h"
#include "skin/image_store.h"
#include "skin/skin_engine.h"
#include "window/window_table.h"

namespace {

int failures;

void Say(const char* text) {
  DWORD written;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, lstrlenA(text), &written, nullptr);
}

void Check(bool ok, const char* what) {
  if (ok) return;
  ++failures;
  Say("FAIL: ");
  Say(what);
  Say("\n");
}

bool AllZero(const void* p, size_t n) {
  const unsigned char* b = static_cast<const unsigned char*>(p);
  for (size_t i = 0; i < n; ++i)
    if (b[i]) return false;
  return true;
}

}  // namespace

void LauncherMain() {
  Check(RuntimeState.instance == GetModuleHandleA(nullptr), "instance stored");
  Check(RuntimeState.heap != nullptr, "RuntimeHeap created");
  Check(AllZero(&Launcher, sizeof Launcher), "launcher variables cleared");
  Check(WritePosition != nullptr, "string work buffer allocated");
  Check(WritePosition && HeapSize(RuntimeState.heap, 0, WritePosition) == 64000, "work buffer is 64000 bytes");
  Check(WritePosition && AllZero(WritePosition, 64000), "work buffer zero-filled");
  Check(FileTable.highestNumber == 10, "file table holds numbers 0 to 10");
  Check(CurrentFile == 0, "no current file");
  Check(WindowTable.capacity == 10, "window table holds numbers 0 to 10");
  Check(ImageTable.capacity == 10 && ImageTable.records != nullptr, "image table holds numbers 0 to 10");
  Check(ImageTable.currentImage == nullptr, "no current image");
  Check(GadgetColourList.header != nullptr && GadgetColourList.header->count == 0, "gadget colour list empty");
  void* block = AllocateBlock(16);
  Check(block != nullptr, "BlockHeap serves blocks");
  ReleaseBlock(block);
  ObjectRecordHeader* list = nullptr;
  Check(AllocateObjectRecord(&list, sizeof(ObjectRecordHeader) + 4) != nullptr, "ObjectHeap serves records");

  if (strstr(GetCommandLineA(), "busy")) {
    char first[MAX_PATH], second[MAX_PATH], dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    GetTempFileNameA(dir, "zsp", 0, first);
    GetTempFileNameA(dir, "zsp", 0, second);
    Check(OpenFileForUpdate(3, first) != 0, "file 3 opened");
    Check(OpenFileForUpdate(AnyNumber, second) != 0, "AnyNumber file opened");
    Check(CreateNumberedWindow(1, 0, 0, 200, 100, 0, "probe") != 0, "window 1 opened");
    Check(CreateNumberedWindow(AnyNumber, 0, 0, 200, 100, StartHidden, "probe") != 0, "AnyNumber window opened");
    Check(CreateBlankImage(2, 16, 16) != 0, "image 2 built");
    Check(CreateBlankImage(AnyNumber, 16, 16) != 0, "AnyNumber image built");
  }
  Say(failures ? "startup probe: checks failed\n" : "startup probe: all checks passed\n");
  EndProgram();
}
