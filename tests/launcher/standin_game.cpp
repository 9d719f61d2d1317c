// A stand-in for the game, built by the tests as "zindle.exe", to be started in its place.
//
// Each start appends one record to "zindle-record.txt" in the folder of its own file (not in its
// working folder), in UTF-8, one field per line:
//   start
//   path=<its own full path, from GetModuleFileNameW>
//   folder=<its working folder, from GetCurrentDirectoryW>
//   show=<wShowWindow of its STARTUPINFO, or -1 when STARTF_USESHOWWINDOW is not set>
//   command=<its whole command line>
// and, once it is about to exit, the line "end". A test counts starts by the "start" lines.
//
// Without arguments it exits at once with code 0. Arguments, in any order:
//   --window     opens a visible top-level window of class and title "ZindleStandIn" and makes
//                it the foreground window; closing it ends the program;
//   --wait NAME  before exiting, waits until the named event NAME is signalled (at most 60 s,
//                so that a test that fails to signal it cannot leave the program behind).
#include <windows.h>
#include <shellapi.h>

namespace {

const wchar_t StandInClass[] = L"ZindleStandIn";
const DWORD LongestWait = 60000;

wchar_t OwnPath[32768];
wchar_t Line[32768 + 16];

void AppendRecord(HANDLE file, const wchar_t* key, const wchar_t* value) {
  lstrcpyW(Line, key);
  lstrcatW(Line, value);
  lstrcatW(Line, L"\n");
  static char utf8[sizeof Line * 2];
  int bytes = WideCharToMultiByte(CP_UTF8, 0, Line, -1, utf8, sizeof utf8, nullptr, nullptr);
  DWORD written;
  if (bytes > 1) WriteFile(file, utf8, bytes - 1, &written, nullptr);
}

HANDLE OpenRecord() {
  wchar_t path[32768 + 32];
  lstrcpyW(path, OwnPath);
  wchar_t* cut = path;
  for (wchar_t* p = path; *p; ++p) {
    if (*p == L'\\') cut = p + 1;
  }
  lstrcpyW(cut, L"zindle-record.txt");
  return CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

LRESULT CALLBACK StandInProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND OpenStandInWindow(HINSTANCE instance) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = StandInProcedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = StandInClass;
  RegisterClassW(&windowClass);
  HWND window = CreateWindowExW(0, StandInClass, StandInClass, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40,
                                240, 120, nullptr, nullptr, instance, nullptr);
  SetForegroundWindow(window);
  return window;
}

// Serves the window (if any) until the event is signalled, the window is closed or the longest
// wait has passed.
void WaitForRelease(HANDLE event, HWND window) {
  DWORD started = GetTickCount();
  for (;;) {
    DWORD waited = GetTickCount() - started;
    if (waited >= LongestWait) return;
    DWORD count = event ? 1 : 0;
    DWORD woke = MsgWaitForMultipleObjects(count, &event, FALSE, LongestWait - waited, QS_ALLINPUT);
    if (woke == WAIT_OBJECT_0 + count) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) return;
        DispatchMessageW(&message);
      }
    } else {
      return;
    }
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  GetModuleFileNameW(nullptr, OwnPath, sizeof OwnPath / sizeof OwnPath[0]);
  wchar_t folder[32768];
  folder[0] = 0;
  GetCurrentDirectoryW(sizeof folder / sizeof folder[0], folder);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  GetStartupInfoW(&startup);
  wchar_t show[16];
  wsprintfW(show, L"%d", (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1);

  HANDLE record = OpenRecord();
  AppendRecord(record, L"start", L"");
  AppendRecord(record, L"path=", OwnPath);
  AppendRecord(record, L"folder=", folder);
  AppendRecord(record, L"show=", show);
  AppendRecord(record, L"command=", GetCommandLineW());

  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  HANDLE event = nullptr;
  HWND window = nullptr;
  for (int i = 1; arguments && i < count; ++i) {
    if (lstrcmpW(arguments[i], L"--window") == 0) window = OpenStandInWindow(instance);
    if (lstrcmpW(arguments[i], L"--wait") == 0 && i + 1 < count) {
      event = OpenEventW(SYNCHRONIZE, FALSE, arguments[++i]);
    }
  }
  if (event || window) WaitForRelease(event, window);

  AppendRecord(record, L"end", L"");
  CloseHandle(record);
  return 0;
}
