// The launcher's own program: entered once every runtime library is ready; ends in EndProgram.
#pragma once
#include <windows.h>

[[noreturn]] void LauncherMain();
// Opens window 1, skins it, puts "Play" and "Quit" on it and shows it. Returns its handle, or 0
// when the window cannot be opened or bound as the gadgets' parent.
HWND OpenLauncherWindow();
// Gives the shown window the keyboard.
void TakeKeyboardFocus(HWND window);
// The launcher's window hook: control-colour messages are answered from the gadget colours.
LRESULT CALLBACK LauncherHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// What "Play" does: the refusal message on a refused DirectX version, else the game is started
// and the launcher ends.
void PlayPressed();
