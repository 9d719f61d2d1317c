// The WindowTable: start-up, slots, growth and the lookups by number and by handle.
#include "window/window_slots.h"

#include "runtime/heaps.h"
#include "runtime/runtime_state.h"
#include "window/events.h"

WindowTableRecord WindowTable;

namespace {

ObjectRecordHeader** DynamicListHead() { return &WindowTable.dynamicWindows; }

// Grows the table so that it addresses number; new records are zero-filled, old ones stay.
bool GrowTableFor(ObjectNumber number) {
  ObjectNumber capacity = number + WindowTableGrowth;
  void* grown = GrowRecordTable(WindowTable.records, capacity + 2, sizeof(WindowRecord));
  if (!grown) return false;
  WindowTable.records = static_cast<WindowRecord*>(grown);
  WindowTable.capacity = capacity;
  return true;
}

}  // namespace

void InitWindowLibrary() {
  ZeroMemory(&WindowTable, sizeof(WindowTable));
  WindowTable.capacity = WindowTableInitialCapacity;
  WindowTable.records = static_cast<WindowRecord*>(HeapAlloc(
      RuntimeState.heap, HEAP_ZERO_MEMORY, (WindowTable.capacity + 2) * sizeof(WindowRecord)));

  // The SharedWindowClass: every runtime window class is this description under another name.
  WNDCLASSA& windowClass = WindowTable.windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = SharedWindowProcedure;
  windowClass.hInstance = RuntimeState.instance;
  windowClass.hIcon = LoadIconA(RuntimeState.instance, MAKEINTRESOURCEA(1));
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  // The small icon is the resource's own small image, loaded once and shared like the icon.
  WindowTable.smallIcon = static_cast<HICON>(LoadImageA(RuntimeState.instance, MAKEINTRESOURCEA(1), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  windowClass.lpszClassName = "TemplateClass";
  RegisterSharedWindowClass();
  windowClass.lpszClassName = WindowTable.className;
}

ATOM RegisterSharedWindowClass() {
  const WNDCLASSA& shared = WindowTable.windowClass;
  WNDCLASSEXA description = {sizeof description, shared.style,         shared.lpfnWndProc,
                             shared.cbClsExtra,  shared.cbWndExtra,    shared.hInstance,
                             shared.hIcon,       shared.hCursor,       shared.hbrBackground,
                             shared.lpszMenuName, shared.lpszClassName, WindowTable.smallIcon};
  return RegisterClassExA(&description);
}

WindowRecord* SlotFor(ObjectNumber number, ObjectNumber* identifier) {
  *identifier = number;
  if (number == -1) {
    WindowRecord* record = static_cast<WindowRecord*>(AllocateObjectRecord(
        DynamicListHead(), sizeof(ObjectRecordHeader) + sizeof(WindowRecord)));
    if (record) *identifier = IdentifierOf(record);
    return record;
  }
  if (number < 0 || number > HighestWindowNumber) return nullptr;
  if (number >= WindowTable.capacity && !GrowTableFor(number)) return nullptr;
  return &WindowTable.records[number];
}

WindowRecord* DynamicRecordOf(ObjectNumber number) {
  if (IsTableNumber(number)) return nullptr;
  void* found = FindObjectRecord(*DynamicListHead(), reinterpret_cast<void*>(number));
  return static_cast<WindowRecord*>(found);
}

WindowRecord* FirstDynamicRecord() {
  return static_cast<WindowRecord*>(FirstObjectRecord(*DynamicListHead()));
}

WindowRecord* NextDynamicRecord(WindowRecord* record) {
  return static_cast<WindowRecord*>(NextObjectRecord(record));
}

void ReleaseDynamicRecord(WindowRecord* record) { ReleaseObjectRecord(DynamicListHead(), record); }

WindowRecord* LinkedRecordOf(ObjectNumber number) {
  if (IsTableNumber(number)) return WindowTable.records ? &WindowTable.records[number] : nullptr;
  return DynamicRecordOf(number);
}

WindowRecord* RecordOf(ObjectNumber number) {
  WindowRecord* record = LinkedRecordOf(number);
  if (!record || !record->handle) return &WindowTable.emptyRecord;
  return record;
}

ObjectNumber NumberOfHandle(HWND handle) {
  // Free slots hold handle 0: no handle is never a window's.
  if (!handle) return -1;
  for (WindowRecord* record = FirstDynamicRecord(); record; record = NextDynamicRecord(record)) {
    if (record->handle == handle) return IdentifierOf(record);
  }
  for (ObjectNumber number = 0; number < WindowTable.capacity; ++number) {
    if (WindowTable.records[number].handle == handle) return number;
  }
  return -1;
}

HWND WindowHandleOf(ObjectNumber number) { return RecordOf(number)->handle; }

void SelectCurrentWindow(ObjectNumber number) { WindowTable.currentWindow = RecordOf(number)->handle; }

HWND CurrentWindowHandle() { return WindowTable.currentWindow; }

HWND TopLevelAncestor(HWND window) {
  // Climbs only through child windows: the parent of a top-level window is its owner, which is
  // another window altogether.
  while (window && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD)) {
    HWND parent = GetParent(window);
    if (!parent) break;
    window = parent;
  }
  return window;
}
