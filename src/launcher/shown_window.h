// What the launcher's window does once it is shown: it takes the keyboard, and its hook answers
// the controls' colour messages.
#pragma once
#include <windows.h>

// Gives the shown window the keyboard.
void TakeKeyboardFocus(HWND window);
// The launcher's window hook: control-colour messages are answered from the gadget colours.
LRESULT CALLBACK LauncherHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
