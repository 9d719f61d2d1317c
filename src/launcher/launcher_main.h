// The launcher's own program: entered once every runtime library is ready; ends in EndProgram.
#pragma once
#include <windows.h>

#include <cstddef>

[[noreturn]] void LauncherMain();
// Opens window 1, skins it, puts "Play" and "Quit" on it and shows it. Returns its handle, or 0
// when the window cannot be opened or bound as the gadgets' parent.
HWND OpenLauncherWindow();
// The same with another SkinBlock of skinBlockSize bytes: the window takes the skin image's
// size and is centred on the screen for it.
HWND OpenSkinnedLauncherWindow(const void* skinBlock, size_t skinBlockSize);
// What "Play" does: the refusal message on a refused DirectX version, else the game is started
// and the launcher ends.
void PlayPressed();
