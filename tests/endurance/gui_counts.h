// What a long-lived process holds, counted so that a run of cycles can be checked to give all of
// it back: GDI objects, USER objects and the bytes in use on its heaps.
#pragma once
#include <windows.h>

#include <string>

struct ProcessHoldings {
  long gdiObjects;
  long gdiByType[32];  // by the handle table's type field (1 DC, 4 region, 9 bitmap, 16 brush ...)
  long userObjects;
  long windows, icons, acceleratorTables, menus;  // the USER objects by kind, when counted by hand
  long long runtimeHeapBytes, objectHeapBytes, blockHeapBytes, processHeapBytes;
  bool platformCounted;  // GetGuiResources gave the GDI and USER counts
};

// Takes the counts. GetGuiResources answers where the platform keeps them; where it reports 0
// for a process that holds objects (Wine does), GDI objects are counted in the process's GDI
// handle table and USER objects by probing every USER handle slot for a window of this process,
// an icon or cursor, an accelerator table or a menu.
ProcessHoldings TakeHoldings();
std::string DescribeHoldings(const ProcessHoldings& h);
