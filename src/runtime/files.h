// Files opened under numbers, with one current file on which every value operation acts. Values
// are read and written through the platform's file calls, one call per value (no buffering).
#pragma once
#include <cstdint>
#include <windows.h>
#include "runtime/heaps.h"
#include "runtime/numbers.h"

struct FileTableRecord {
  int32_t highestNumber;        // 10 after start-up; the array holds highestNumber + 1 slots
  HANDLE* handles;              // slot n: handle of file number n, 0 when free
  ObjectRecordHeader* dynamicFiles;  // DynamicFileList: files opened under AnyNumber
};
extern FileTableRecord FileTable;

// Table growth step beyond the number asked for (also the highest number after start-up).
const int32_t FileTableGrowth = 10;
// Highest table number an opening accepts. Keeps the table (number + growth) below 0x10000, the
// lowest address a heap record can have, so that AnyNumber numbers never fall in the table.
const ObjectNumber HighestFileNumber = 0xFFFF - FileTableGrowth;

// The handle the value operations use; 0 when there is none. Closing the current file clears it.
extern HANDLE CurrentFile;

enum FileOpenMode {
  FileModeRead = 1,       // read, OPEN_EXISTING
  FileModeUpdate = 2,     // read and write, OPEN_ALWAYS
  FileModeCreate = 3,     // write, CREATE_ALWAYS (then TRUNCATE_EXISTING)
  FileModeExclusive = 4,  // read and write, no sharing, OPEN_EXISTING
};

void InitFileLibrary();
// Opens path under number and makes it the CurrentFile. Returns the handle, the new number
// under AnyNumber, or 0 (no CurrentFile; an earlier file of that number stays open). Numbers
// are AnyNumber, 0 to HighestFileNumber, or a number handed out under AnyNumber (its file is
// replaced and the number stays valid); any other number is refused without opening anything.
intptr_t OpenNumberedFile(ObjectNumber number, const char* path, int32_t mode);
intptr_t OpenFileForReading(ObjectNumber number, const char* path);
intptr_t OpenFileForUpdate(ObjectNumber number, const char* path);
intptr_t CreateFileAnew(ObjectNumber number, const char* path);
intptr_t OpenFileExclusive(ObjectNumber number, const char* path);

// The handle of a number's file, 0 when it has none.
HANDLE FileHandleOf(ObjectNumber number);
void CloseNumberedFile(ObjectNumber number);
void CloseAllFiles();
// Makes the number's file current if it exists; returns the CurrentFile.
HANDLE SelectCurrentFile(ObjectNumber number);
// -1 when the number's file has no byte left to read, else 0 (also 0 without a file).
int32_t AtEndOfFile(ObjectNumber number);

// Value operations on the CurrentFile; without one they do nothing and give their zero result.
void SeekCurrentFile(int32_t position);
int32_t CurrentFilePosition();  // -1 without a current file
int32_t CurrentFileLength();    // -1 without a current file
int32_t ReadBytes(void* destination, int32_t count);
int32_t ReadSignedByte();
int32_t ReadSignedWord();
int32_t ReadLong32();
float ReadFloat32();
// Reads one line (ended by CR, LF, CR LF, a zero byte or the end of the file) to WritePosition
// and returns its start; the line end is not kept.
char* ReadTextLine();
int32_t WriteSingleByte(int32_t value);
