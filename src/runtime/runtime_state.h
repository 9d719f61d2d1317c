// Process-wide state that every runtime library reads.
#pragma once
#include <windows.h>

struct RuntimeStateRecord {
  HANDLE heap;          // the RuntimeHeap: strings, tables, records
  HINSTANCE instance;   // module instance; window classes and the program icon live under it
};

extern RuntimeStateRecord RuntimeState;

// Creates the RuntimeHeap (initial 4000 bytes, growable) and stores its handle in RuntimeState.
void CreateRuntimeHeap();
// Destroys the RuntimeHeap, releasing every string, table and record still allocated from it.
void DestroyRuntimeHeap();
