// Brings the runtime up in a test program the way start-up does.
#pragma once

// Stores the module instance, creates the RuntimeHeap and the ObjectHeap, the file table, the
// BlockHeap and the StringWorkBuffer, in start-up's order. Calling it again does nothing.
void StartRuntimeForTests();
