// The folder part of file paths, for starting programs beside a given file. No platform calls:
// it builds in both trees.
#pragma once
#include <cstddef>
#include <cstdint>

// The folder of path, ending with its last backslash, written at destination (normally
// WritePosition) by the string convention; returns destination. A leading double quote is
// skipped and the result is cut at its first double quote. Null, or a path without a
// backslash, gives the empty string. destination may lie at or before path in the work buffer.
char* FolderOfPath(char* destination, const char* path);

// Outcome of DefaultFolderOfFile.
enum DefaultFolderResult {
  DefaultFolderNone = 0,     // file has no backslash after its first character
  DefaultFolderBuilt = 1,    // folder holds the text before the last backslash, plus a backslash
  DefaultFolderTooLong = 2,  // that folder, its backslash and a terminator exceed size bytes
};

// The working folder a program started from file gets when the caller names none: the text
// before file's last backslash (a backslash in first position does not count) followed by a
// backslash, in folder (size bytes). folder is written only when the result is
// DefaultFolderBuilt.
DefaultFolderResult DefaultFolderOfFile(const char* file, char* folder, int32_t size);

// Number of characters of a wide path's folder part, up to and including its last backslash;
// 0 for null or a path without a backslash.
size_t WideFolderLength(const wchar_t* path);

// The longest path the platform's wide-character calls can name, with its terminator.
const uint32_t LongestWidePath = 32768;

// The buffer size, in characters, to try after a buffer of size characters proved too small for
// a path: twice as large, but never past LongestWidePath, which is always the last size tried;
// 0 once size has reached LongestWidePath.
uint32_t NextPathBufferSize(uint32_t size);
