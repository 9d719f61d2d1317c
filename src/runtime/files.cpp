// Files opened under numbers, and the value operations on the current file.
#include "runtime/files.h"

#include <cstring>

#include "runtime/runtime_state.h"
#include "runtime/string_output.h"
#include "runtime/strings.h"

FileTableRecord FileTable;
HANDLE CurrentFile;

namespace {

bool IsTableNumber(ObjectNumber number) {
  return number >= 0 && number <= FileTable.highestNumber;
}

// The slot holding a dynamic file's handle, or null when number was not handed out under
// AnyNumber. Unknown numbers are never dereferenced.
HANDLE* DynamicSlotOf(ObjectNumber number) {
  return static_cast<HANDLE*>(
      FindObjectRecord(FileTable.dynamicFiles, reinterpret_cast<void*>(number)));
}

// The slot of a number's file: its DynamicFileList record, else its table slot, else null. The
// records are looked up first, so a table number can never hide a dynamic file.
HANDLE* SlotOf(ObjectNumber number) {
  if (number == AnyNumber) return nullptr;
  if (HANDLE* slot = DynamicSlotOf(number)) return slot;
  if (IsTableNumber(number)) return &FileTable.handles[number];
  return nullptr;
}

// Grows the table so that number is below the highest number; false when the number is above
// HighestFileNumber or the heap refuses.
bool GrowFileTable(ObjectNumber number) {
  if (number < 0 || number > HighestFileNumber) return false;
  if (number < FileTable.highestNumber) return true;
  void* grown = GrowRecordTable(FileTable.handles, number + FileTableGrowth + 1, sizeof(HANDLE));
  if (!grown) return false;
  FileTable.handles = static_cast<HANDLE*>(grown);
  FileTable.highestNumber = static_cast<int32_t>(number + FileTableGrowth);
  return true;
}

HANDLE CreateForMode(const char* path, int32_t mode) {
  HANDLE h = INVALID_HANDLE_VALUE;
  switch (mode) {
    case FileModeRead:
      h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
      break;
    case FileModeUpdate:
      h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
      break;
    case FileModeCreate:
      h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
      // CREATE_ALWAYS with normal attributes is refused for a hidden or system file; truncating
      // it keeps its attributes and empties it.
      if (h == INVALID_HANDLE_VALUE) {
        h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, TRUNCATE_EXISTING, 0,
                        nullptr);
      }
      break;
    case FileModeExclusive:
      h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
      break;
    default:
      break;
  }
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}

// Reads size bytes (little-endian) from the current file into a zeroed value; a short read
// leaves the missing bytes zero, and no current file reads nothing.
uint32_t ReadRaw(int32_t size) {
  uint8_t bytes[4] = {0, 0, 0, 0};
  ReadBytes(bytes, size);
  return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
         (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

}  // namespace

void InitFileLibrary() {
  FileTable.highestNumber = FileTableGrowth;
  FileTable.handles = static_cast<HANDLE*>(
      HeapAlloc(RuntimeState.heap, HEAP_ZERO_MEMORY, (FileTableGrowth + 1) * sizeof(HANDLE)));
  if (!FileTable.handles) FileTable.highestNumber = -1;  // no table: every number is unknown
  FileTable.dynamicFiles = nullptr;
  CurrentFile = nullptr;
}

intptr_t OpenNumberedFile(ObjectNumber number, const char* path, int32_t mode) {
  CurrentFile = nullptr;
  // A number that is neither AnyNumber, a linked DynamicFileList record nor an acceptable table
  // number is refused before anything is opened or grown.
  const bool dynamic = number != AnyNumber && DynamicSlotOf(number) != nullptr;
  if (number != AnyNumber && !dynamic && (number < 0 || number > HighestFileNumber)) return 0;
  HANDLE h = CreateForMode(path, mode);
  if (!h) return 0;
  HANDLE* slot = nullptr;
  if (number == AnyNumber) {
    slot = static_cast<HANDLE*>(AllocateObjectRecord(
        &FileTable.dynamicFiles, static_cast<int32_t>(sizeof(ObjectRecordHeader) + sizeof(HANDLE))));
  } else if (dynamic) {
    // Reopening under a number handed out under AnyNumber keeps its record (and so the number)
    // and closes the file it held.
    slot = DynamicSlotOf(number);
    HANDLE old = *slot;
    *slot = nullptr;
    if (old) CloseHandle(old);
  } else if (GrowFileTable(number)) {
    CloseNumberedFile(number);  // an earlier file of this number is closed
    slot = &FileTable.handles[number];
  }
  if (!slot) {
    // No place to keep the handle: the open fails as a whole.
    CloseHandle(h);
    return 0;
  }
  *slot = h;
  CurrentFile = h;
  return number == AnyNumber ? reinterpret_cast<intptr_t>(slot) : reinterpret_cast<intptr_t>(h);
}

intptr_t OpenFileForReading(ObjectNumber number, const char* path) {
  return OpenNumberedFile(number, path, FileModeRead);
}
intptr_t OpenFileForUpdate(ObjectNumber number, const char* path) {
  return OpenNumberedFile(number, path, FileModeUpdate);
}
intptr_t CreateFileAnew(ObjectNumber number, const char* path) {
  return OpenNumberedFile(number, path, FileModeCreate);
}
intptr_t OpenFileExclusive(ObjectNumber number, const char* path) {
  return OpenNumberedFile(number, path, FileModeExclusive);
}

HANDLE FileHandleOf(ObjectNumber number) {
  HANDLE* slot = SlotOf(number);
  return slot ? *slot : nullptr;
}

void CloseNumberedFile(ObjectNumber number) {
  HANDLE h = nullptr;
  if (HANDLE* slot = DynamicSlotOf(number)) {
    h = *slot;
    ReleaseObjectRecord(&FileTable.dynamicFiles, slot);
  } else if (HANDLE* slot = SlotOf(number)) {
    h = *slot;
    *slot = nullptr;
  }
  if (!h) return;
  // A closed handle must not stay current: the platform may hand the same value to another
  // object, which the value operations would then reach.
  if (h == CurrentFile) CurrentFile = nullptr;
  CloseHandle(h);
}

void CloseAllFiles() {
  // Dynamic records are closed and unlinked directly, never looked up by number, so each pass
  // removes the head and the loop ends.
  while (ObjectRecordHeader* head = FileTable.dynamicFiles) {
    HANDLE* slot = reinterpret_cast<HANDLE*>(head + 1);
    HANDLE h = *slot;
    ReleaseObjectRecord(&FileTable.dynamicFiles, slot);
    if (h) {
      if (h == CurrentFile) CurrentFile = nullptr;
      CloseHandle(h);
    }
  }
  for (int32_t n = 0; n <= FileTable.highestNumber; ++n) CloseNumberedFile(n);
}

HANDLE SelectCurrentFile(ObjectNumber number) {
  HANDLE h = FileHandleOf(number);
  if (h) CurrentFile = h;
  return CurrentFile;
}

int32_t AtEndOfFile(ObjectNumber number) {
  HANDLE h = FileHandleOf(number);
  if (!h) return 0;
  char byte;
  DWORD got = 0;
  if (!ReadFile(h, &byte, 1, &got, nullptr) || got == 0) return -1;
  SetFilePointer(h, -1, nullptr, FILE_CURRENT);
  return 0;
}

void SeekCurrentFile(int32_t position) {
  if (CurrentFile) SetFilePointer(CurrentFile, position, nullptr, FILE_BEGIN);
}

int32_t CurrentFilePosition() {
  if (!CurrentFile) return -1;
  return static_cast<int32_t>(SetFilePointer(CurrentFile, 0, nullptr, FILE_CURRENT));
}

int32_t CurrentFileLength() {
  if (!CurrentFile) return -1;
  return static_cast<int32_t>(GetFileSize(CurrentFile, nullptr));
}

int32_t ReadBytes(void* destination, int32_t count) {
  if (!CurrentFile || count <= 0) return 0;
  DWORD got = 0;
  if (!ReadFile(CurrentFile, destination, static_cast<DWORD>(count), &got, nullptr)) return 0;
  return static_cast<int32_t>(got);
}

int32_t ReadSignedByte() { return static_cast<int8_t>(ReadRaw(1)); }
int32_t ReadSignedWord() { return static_cast<int16_t>(ReadRaw(2)); }
int32_t ReadLong32() { return static_cast<int32_t>(ReadRaw(4)); }

float ReadFloat32() {
  uint32_t bits = ReadRaw(4);
  float value;
  memcpy(&value, &bits, sizeof value);
  return value;
}

char* ReadTextLine() {
  int32_t room;
  char* start = BeginOutput(WritePosition, &room);
  if (!start) return nullptr;
  char* p = start;
  // A line longer than the buffer's room stops there; its rest stays in the file for the next
  // read.
  while (CurrentFile && p - start < room) {
    char c;
    DWORD got = 0;
    if (!ReadFile(CurrentFile, &c, 1, &got, nullptr) || got == 0 || c == 0 || c == 10) break;
    if (c == 13) {
      // A lone carriage return also ends the line: whatever follows it is put back.
      if (ReadFile(CurrentFile, &c, 1, &got, nullptr) && got == 1 && c != 10) {
        SetFilePointer(CurrentFile, -1, nullptr, FILE_CURRENT);
      }
      break;
    }
    *p++ = c;
  }
  EndOutput(p);
  return start;
}

int32_t WriteSingleByte(int32_t value) {
  if (!CurrentFile) return 0;
  char byte = static_cast<char>(value & 0xFF);
  DWORD written = 0;
  if (!WriteFile(CurrentFile, &byte, 1, &written, nullptr)) return 0;
  return static_cast<int32_t>(written);
}
