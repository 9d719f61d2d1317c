// Starting programs through the platform shell with the verb "Open", beside their own file.
#pragma once
#include <cstdint>

// StartProgram flags; other bits are ignored.
const int32_t WaitForExit = 1;   // after a successful start, wait until the process has ended
const int32_t LaunchHidden = 2;  // show state SW_HIDE instead of SW_SHOWNORMAL

// Size of the buffer the default working folder is built in, terminator included.
const int32_t DefaultFolderSize = 512;

// Asks the shell to open file with parameters, in folder. A null or empty folder means the
// file's own folder (the text before its last backslash, plus a backslash); a file without a
// backslash gets the platform's default. A default folder that does not fit in
// DefaultFolderSize bytes starts nothing: the program would otherwise run in whatever folder
// the caller happens to be in. Returns 0 when nothing was started, the new process's handle
// (the caller closes it), or 1 when the shell reported success without a process.
intptr_t StartProgram(const char* file, const char* parameters, const char* folder, int32_t flags);
intptr_t StartProgram(const char* file, const char* parameters, const char* folder);
// No parameters, the file's own folder, no flags: how the launcher starts the game.
intptr_t StartProgram(const char* file);
