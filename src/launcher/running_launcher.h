// One launcher per folder and session: a second start of the same launcher.exe brings the
// running one's window to the front and ends, so that a double double-click does not start the
// game twice. Launchers in other folders (other installs) and other sessions do not meet.
#pragma once
#include <windows.h>

// Looks for a launcher of this folder that runs in this session. When one is there and answers,
// its window (or the box it shows) is brought to the front and the answer is true: this start
// ends. Otherwise this launcher becomes the one later starts find, and the answer is false. A
// launcher that has ended, crashed or stopped answering does not count; one still starting is
// waited for a while.
bool HandOverToRunningLauncher();
// Makes window the one later starts bring to the front.
void NoteLauncherWindow(HWND window);
// The launcher is ending: later starts no longer wait for it.
void NoteLauncherEnding();
