// The launcher's own program: entered once every runtime library is ready; ends in EndProgram.
#pragma once
#include <windows.h>

#include <cstddef>

#include "skin/skin_engine.h"

[[noreturn]] void LauncherMain();
// Opens window 1, skins it, puts "Play" and "Quit" on it and shows it. Returns its handle, or 0
// when the window cannot be opened or bound as the gadgets' parent.
HWND OpenLauncherWindow();
// The same with another SkinBlock of skinBlockSize bytes, drawn for 100 %: the window takes the
// skin image's size at the window's scale and is centred on the screen for it.
HWND OpenSkinnedLauncherWindow(const void* skinBlock, size_t skinBlockSize);
// The same with art drawn for several scales (see ApplySkinForScale); arts must outlive the window.
HWND OpenLauncherWindowWithArt(const SkinArt* arts, long artCount);
// The launcher window's hook: control colours, events held during a drag, and a new layout when
// the window moves to a monitor of another scale.
LRESULT CALLBACK LauncherWindowHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// What "Play" does: the refusal message on a refused DirectX version, else the game is started
// and the launcher ends.
void PlayPressed();
