#include "endurance/gui_counts.h"

#include <algorithm>
#include <cstdio>

#include "runtime/heaps.h"
#include "runtime/runtime_state.h"

namespace {

// One entry of the GDI handle table that the process environment block points to, as Wine lays
// it out (one per handle slot; Type 0 marks a free slot, bit 7 of Unique a stock object).
struct GdiHandleEntry {
  unsigned long long object;
  unsigned long owner;
  unsigned short unique;
  unsigned char type;
  unsigned char flags;
  unsigned long long userPointer;
};
static_assert(sizeof(GdiHandleEntry) == 24, "Wine's GDI_HANDLE_ENTRY");
const int GdiHandleSlots = 0x10000;
const unsigned short StockFlag = 0x80;

// Where the TEB keeps the PEB and the PEB the GdiSharedHandleTable: both move with the pointer size.
#ifdef _WIN64
const size_t TebPebOffset = 0x60;
const size_t PebGdiTableOffset = 0xF8;
#else
const size_t TebPebOffset = 0x30;
const size_t PebGdiTableOffset = 0x94;
#endif

const GdiHandleEntry* GdiHandleTable() {
  const char* teb = reinterpret_cast<const char*>(NtCurrentTeb());
  const char* peb = *reinterpret_cast<const char* const*>(teb + TebPebOffset);
  return *reinterpret_cast<const GdiHandleEntry* const*>(peb + PebGdiTableOffset);
}

long CountGdiObjects(long* byType) {
  const GdiHandleEntry* table = GdiHandleTable();
  if (!table) return -1;
  long count = 0;
  for (int i = 0; i < GdiHandleSlots; ++i) {
    if (!table[i].type || (table[i].unique & StockFlag)) continue;
    ++count;
    ++byType[table[i].type & 31];
  }
  return count;
}

// USER handles are slot numbers: (slot << 1) + 0x20 in the low word, a generation in the high
// word, which the platform accepts as 0 for any generation.
const int UserHandleSlots = 0x7FF0;

void CountUserObjects(ProcessHoldings* h) {
  DWORD self = GetCurrentProcessId();
  h->windows = h->icons = h->acceleratorTables = h->menus = 0;
  for (int slot = 0; slot < UserHandleSlots; ++slot) {
    HANDLE handle = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>((slot << 1) + 0x20));
    HWND window = static_cast<HWND>(handle);
    if (IsWindow(window)) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      if (owner == self) ++h->windows;
      continue;
    }
    if (IsMenu(static_cast<HMENU>(handle))) {
      ++h->menus;
      continue;
    }
    if (CopyAcceleratorTableA(static_cast<HACCEL>(handle), nullptr, 0) > 0) {
      ++h->acceleratorTables;
      continue;
    }
    ICONINFO info;
    if (GetIconInfo(static_cast<HICON>(handle), &info)) {
      if (info.hbmMask) DeleteObject(info.hbmMask);
      if (info.hbmColor) DeleteObject(info.hbmColor);
      ++h->icons;
    }
  }
  h->userObjects = h->windows + h->icons + h->acceleratorTables + h->menus;
}

long long BytesInUse(HANDLE heap) {
  if (!heap) return 0;
  long long total = 0;
  PROCESS_HEAP_ENTRY entry = {};
  HeapLock(heap);
  while (HeapWalk(heap, &entry)) {
    if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
  }
  HeapUnlock(heap);
  return total;
}

}  // namespace

ProcessHoldings TakeHoldings() {
  ProcessHoldings h = {};
  HANDLE self = GetCurrentProcess();
  // The probes below make and free GDI objects of their own: the user count goes first.
  h.platformCounted = GetGuiResources(self, GR_GDIOBJECTS) > 0;
  if (h.platformCounted) {
    h.gdiObjects = long(GetGuiResources(self, GR_GDIOBJECTS));
    h.userObjects = long(GetGuiResources(self, GR_USEROBJECTS));
    h.windows = h.icons = h.acceleratorTables = h.menus = -1;
  } else {
    CountUserObjects(&h);
    h.gdiObjects = CountGdiObjects(h.gdiByType);
  }
  h.runtimeHeapBytes = BytesInUse(RuntimeState.heap);
  h.objectHeapBytes = BytesInUse(MemoryState.objectHeap);
  h.blockHeapBytes = BytesInUse(MemoryState.blockHeap);
  h.processHeapBytes = BytesInUse(GetProcessHeap());
  return h;
}

std::string DescribeHoldings(const ProcessHoldings& h) {
  char text[600];
  std::string types;
  for (int t = 0; t < 32; ++t) {
    if (!h.gdiByType[t]) continue;
    std::snprintf(text, sizeof text, "%stype %d: %ld", types.empty() ? "" : ", ", t, h.gdiByType[t]);
    types += text;
  }
  std::snprintf(text, sizeof text,
                "GDI objects %ld (%s), USER objects %ld (windows %ld, icons %ld, accelerator tables %ld, menus %ld; %s), "
                "bytes in use: RuntimeHeap %lld, ObjectHeap %lld, BlockHeap %lld, process heap %lld",
                h.gdiObjects, types.c_str(), h.userObjects, h.windows, h.icons, h.acceleratorTables, h.menus,
                h.platformCounted ? "GetGuiResources" : "counted in the handle tables", h.runtimeHeapBytes,
                h.objectHeapBytes, h.blockHeapBytes, h.processHeapBytes);
  return text;
}

std::vector<HGDIOBJ> LiveGdiHandles() {
  std::vector<HGDIOBJ> handles;
  const GdiHandleEntry* table = GdiHandleTable();
  if (!table) return handles;
  for (int i = 0; i < GdiHandleSlots; ++i) {
    if (!table[i].type || (table[i].unique & StockFlag)) continue;
    // A handle is its slot in the low word and the slot's generation in the high word.
    handles.push_back(reinterpret_cast<HGDIOBJ>(static_cast<ULONG_PTR>(i | (unsigned(table[i].unique) << 16))));
  }
  return handles;
}

std::string DescribeNewGdiObjects(const std::vector<HGDIOBJ>& before, const std::vector<HGDIOBJ>& now) {
  std::string text;
  for (HGDIOBJ h : now) {
    if (std::find(before.begin(), before.end(), h) != before.end()) continue;
    char line[96];
    BITMAP bitmap;
    DWORD type = GetObjectType(h);
    if (type == OBJ_BITMAP && GetObjectA(h, sizeof bitmap, &bitmap)) {
      std::snprintf(line, sizeof line, " bitmap %p %ldx%ld %u bits;", h, bitmap.bmWidth, bitmap.bmHeight,
                    unsigned(bitmap.bmBitsPixel));
    } else {
      std::snprintf(line, sizeof line, " object %p of type %lu;", h, type);
    }
    text += line;
  }
  return text.empty() ? " none" : text;
}
