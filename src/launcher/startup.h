// The frame of the process: start-up of every runtime library in a fixed order, and the one
// way out, which releases the libraries' objects and ends the process with exit code 0.
#pragma once
#include <windows.h>

// Clears the process-wide state, creates the heaps, starts the libraries and enters
// LauncherMain. Never returns.
[[noreturn]] void StartRuntime(HINSTANCE instance);

// Starts the libraries without entering LauncherMain (steps 1 to 11 of StartRuntime).
void StartLibraries(HINSTANCE instance);

// Releases the libraries' objects: images, windows, files, then the ObjectHeap.
void ShutDownLibraries();

// ShutDownLibraries, destroys the RuntimeHeap and ends the process with exit code 0.
[[noreturn]] void EndProgram();
