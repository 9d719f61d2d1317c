// Starting a program that lies in the launcher's own folder, whatever that folder is called:
// the launcher's path is read and the program started through the platform's wide-character
// calls, so folder names outside the ANSI code page and paths longer than MAX_PATH survive.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <cstdint>

// The folder of the running program's own file, ending with a backslash, in a RuntimeHeap
// block that the caller frees with HeapFree; null when the platform cannot tell that path or
// it holds no backslash.
wchar_t* LauncherFolderW();

// Asks the shell to open the file named fileName in the launcher's folder, with that folder as
// working folder and the whole path as one field; StartProgram's flags. When the launcher's
// folder cannot be told, nothing is started. Returns 0, the process handle (the caller closes
// it) or 1, as StartProgram does. The launcher may end right after, so the shell is asked to
// finish the start before it returns (SEE_MASK_NOASYNC), on a thread whose COM apartment is
// single-threaded for the call's length, as shell extensions that take the start over expect;
// a thread already in another apartment keeps it and the start still goes ahead.
intptr_t StartBesideLauncher(const wchar_t* fileName, int32_t flags);

// The game "zindle.exe" beside the launcher, not waited for.
intptr_t StartGameBesideLauncher();

// The shell call StartBesideLauncher hands its request to: ShellExecuteExW, from the shell
// library loaded on the first call. Process-wide, so that the tests can see the request and the
// thread's apartment without starting anything.
extern BOOL(WINAPI* ShellOpenW)(SHELLEXECUTEINFOW* info);
