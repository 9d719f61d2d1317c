// What a long-lived process holds, counted so that a run of cycles can be checked to give all of
// it back: GDI objects, USER objects and the bytes in use on its heaps.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

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

// The GDI objects of the process as handles, from its GDI handle table (empty where there is
// none), and a description of those in `now` that are not in `before` (kind, and a bitmap's
// size), to tell what stayed behind.
std::vector<HGDIOBJ> LiveGdiHandles();
std::string DescribeNewGdiObjects(const std::vector<HGDIOBJ>& before, const std::vector<HGDIOBJ>& now);
