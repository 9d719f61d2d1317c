// The DirectX check: the installed version is read from the registry once, before the window
// opens, and only blocks "Play" when it is older than 9.0c.
#pragma once

// The "Version" value of HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\DirectX as text, up to its first
// zero byte, whatever the value's type and length. The result is a stored string (a RuntimeHeap
// block of exactly length + 1 bytes) that the caller owns; null when the key or the value
// cannot be read.
char* ReadDirectXVersion();

// Reads and classifies the version into DirectXAccepted, DirectXVersionName,
// DirectXVersionText and DirectXVersionNumber of the launcher's variables.
void CheckDirectXVersion();

// Tells the player, in a modal message box, that the version found is too old.
void ShowDirectXRefusal();
