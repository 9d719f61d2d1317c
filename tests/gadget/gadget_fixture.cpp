#include "gadget_fixture.h"

#include "support/runtime_setup.h"

// Window 1 is a borderless popup, like the launcher's own window, and it stays open from one
// test to the next: Wine waits two seconds for the test screen (which has no window manager) to
// confirm that a window is gone, so each test only destroys the gadgets it made. Every test
// starts with a fresh gadget table.
void GadgetTest::SetUp() {
  ZeroMemory(&EventState, sizeof(EventState));
  PictureGadgetState.rightButtonFlag = false;
  InitGadgetLibrary();
  main_ = WindowHandleOf(1);
  if (!main_) {
    main_ = reinterpret_cast<HWND>(CreateNumberedWindow(1, 100, 100, 700, 500, WS_POPUP, "gadgets"));
  }
  ASSERT_TRUE(IsWindow(main_));
  ASSERT_EQ(main_, BindGadgetParent(main_));
  SetForegroundWindow(main_);
  InvalidateRect(main_, nullptr, TRUE);
  UpdateWindow(main_);
  Drain();
}

void GadgetTest::TearDown() {
  // Never leave a button down for the next test.
  INPUT release[2] = {};
  release[0].type = release[1].type = INPUT_MOUSE;
  release[0].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  release[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
  SendInput(2, release, sizeof(INPUT));
  InstallWindowHook(nullptr);
  DestroyNumberedWindow(2);
  HWND window = WindowHandleOf(1);
  while (HWND child = window ? GetWindow(window, GW_CHILD) : nullptr) DestroyWindow(child);
  Drain();
}

void GadgetTest::Drain() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  EventState.code = 0;
}

std::vector<SeenEvent> GadgetTest::CollectEvents(UINT span) {
  std::vector<SeenEvent> events;
  UINT_PTR timer = SetTimer(nullptr, 0, span, nullptr);
  for (int wait = 0; wait < 500; ++wait) {
    long code = AwaitEvent();
    if (code == WM_TIMER && EventState.retrieved.wParam == timer) break;
    events.push_back({code, EventSourceItem(), EventDetail(), EventSourceWindow()});
  }
  KillTimer(nullptr, timer);
  return events;
}

std::vector<SeenEvent> GadgetTest::ItemActions(const std::vector<SeenEvent>& events) {
  std::vector<SeenEvent> actions;
  for (const SeenEvent& event : events) {
    if (event.code == EventItemAction) actions.push_back(event);
  }
  return actions;
}

void GadgetTest::ClickAt(HWND window, int x, int y, DWORD downFlag, DWORD upFlag, int clicks) {
  POINT point = {x, y};
  ClientToScreen(window, &point);
  SetCursorPos(point.x, point.y);
  for (int click = 0; click < clicks; ++click) {
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = downFlag;
    input[1].mi.dwFlags = upFlag;
    SendInput(2, input, sizeof(INPUT));
  }
}

namespace {

BOOL CALLBACK CountIdentifier(HWND child, LPARAM context) {
  auto* search = reinterpret_cast<std::pair<ObjectNumber, int>*>(context);
  if (GetWindowLongPtrA(child, GWLP_ID) == search->first) ++search->second;
  return TRUE;
}

}  // namespace

int GadgetTest::ChildrenWithIdentifier(ObjectNumber id) const {
  std::pair<ObjectNumber, int> search(id, 0);
  EnumChildWindows(main_, CountIdentifier, reinterpret_cast<LPARAM>(&search));
  return search.second;
}

SIZE GadgetTest::SizeOf(HWND control) {
  RECT area;
  GetWindowRect(control, &area);
  return {area.right - area.left, area.bottom - area.top};
}

COLORREF GadgetTest::PixelOf(HWND control, int x, int y) {
  HWND top = TopLevelAncestor(control);
  POINT point = {x, y};
  MapWindowPoints(control, top, &point, 1);
  HDC dc = GetDC(top);
  COLORREF colour = GetPixel(dc, point.x, point.y);
  ReleaseDC(top, dc);
  return colour;
}

HBITMAP MakeQuadrantBitmap(int width, int height, COLORREF topLeft, COLORREF topRight,
                           COLORREF bottomLeft, COLORREF bottomRight) {
  HDC screen = GetDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ old = SelectObject(memory, bitmap);
  const COLORREF colours[4] = {topLeft, topRight, bottomLeft, bottomRight};
  for (int quadrant = 0; quadrant < 4; ++quadrant) {
    RECT part = {quadrant % 2 ? width / 2 : 0, quadrant / 2 ? height / 2 : 0,
                 quadrant % 2 ? width : width / 2, quadrant / 2 ? height : height / 2};
    HBRUSH brush = CreateSolidBrush(colours[quadrant]);
    FillRect(memory, &part, brush);
    DeleteObject(brush);
  }
  SelectObject(memory, old);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return bitmap;
}

HICON MakeHalfIcon(COLORREF colour) {
  // Mask: 0 keeps the icon's colour, 1 shows what is behind. Rows of 32 bits.
  BYTE maskBits[32 * 4];
  for (int row = 0; row < 32; ++row) {
    maskBits[row * 4 + 0] = maskBits[row * 4 + 1] = 0x00;
    maskBits[row * 4 + 2] = maskBits[row * 4 + 3] = 0xFF;
  }
  HBITMAP mask = CreateBitmap(32, 32, 1, 1, maskBits);
  // Colour: the icon's colour on the left, black (no change) on the right.
  HBITMAP colourBitmap = MakeQuadrantBitmap(32, 32, colour, RGB(0, 0, 0), colour, RGB(0, 0, 0));
  ICONINFO info = {TRUE, 0, 0, mask, colourBitmap};
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(mask);
  DeleteObject(colourBitmap);
  return icon;
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  StartRuntimeForTests();
  InitWindowLibrary();
  return RUN_ALL_TESTS();
}
