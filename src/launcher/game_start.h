// Starting a program that lies in the launcher's own folder, whatever that folder is called:
// the launcher's path is read and the program started through the platform's wide-character
// calls, so folder names outside the ANSI code page and paths longer than MAX_PATH survive.
#pragma once
#include <cstdint>

// The folder of the running program's own file, ending with a backslash, in a RuntimeHeap
// block that the caller frees with HeapFree; null when the platform cannot tell that path or
// it holds no backslash.
wchar_t* LauncherFolderW();

// Asks the shell to open the file named fileName in the launcher's folder, with that folder as
// working folder and the whole path as one field; StartProgram's flags. When the launcher's
// folder cannot be told, nothing is started. Returns 0, the process handle (the caller closes
// it) or 1, as StartProgram does.
intptr_t StartBesideLauncher(const wchar_t* fileName, int32_t flags);

// The game "zindle.exe" beside the launcher, not waited for.
intptr_t StartGameBesideLauncher();
