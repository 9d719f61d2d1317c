// A helper of the end-to-end tests, run under Wine beside the launcher: it reads and closes the
// launcher's windows the way another program on the desktop could, and writes the DirectX
// version value into the registry in any form, including forms no installer would write.
//
//   window_probe texts TITLE            prints the title and every child window's text of the
//                                       visible top-level window titled TITLE, one per line;
//                                       exit code 1 when there is no such window
//   window_probe close TITLE            posts WM_CLOSE to that window (a close request)
//   window_probe rect TITLE             prints that window's left, top, right and bottom
//   window_probe version sz TEXT        "Version" as REG_SZ TEXT, terminator included
//   window_probe version raw-sz TEXT    as REG_SZ without its terminating zero
//   window_probe version long COUNT TAIL  REG_SZ of COUNT digits '4' followed by TAIL
//   window_probe version dword NUMBER   as REG_DWORD
//   window_probe version binary HEX     as REG_BINARY, bytes in hex ("" for none)
//   window_probe version delete         removes the value
//   window_probe version delete-key     removes the key SOFTWARE\Microsoft\DirectX
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

const char DirectXKey[] = "SOFTWARE\\Microsoft\\DirectX";

// The caller waits for windows to appear: the probe answers at once.
HWND FindVisible(const char* title) {
  for (HWND w = FindWindowExA(nullptr, nullptr, nullptr, title); w; w = FindWindowExA(nullptr, w, nullptr, title)) {
    if (IsWindowVisible(w)) return w;
  }
  return nullptr;
}

BOOL CALLBACK PrintChild(HWND child, LPARAM) {
  char text[4096];
  GetWindowTextA(child, text, sizeof text);
  // A carriage return inside a text is shown as \r so that one text stays on one line.
  std::string line;
  for (const char* p = text; *p; ++p) line += *p == '\r' ? std::string("\\r") : *p == '\n' ? std::string("\\n") : std::string(1, *p);
  printf("%s\n", line.c_str());
  return TRUE;
}

int SetVersion(DWORD type, const void* data, DWORD size) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, DirectXKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return 2;
  LONG result = RegSetValueExA(key, "Version", 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? 0 : 2;
}

int Version(int argc, char** argv) {
  std::string form = argv[2];
  std::string value = argc > 3 ? argv[3] : "";
  if (form == "sz") return SetVersion(REG_SZ, value.c_str(), DWORD(value.size() + 1));
  if (form == "raw-sz") return SetVersion(REG_SZ, value.data(), DWORD(value.size()));
  if (form == "long" && argc > 4) {
    std::string text(size_t(atol(argv[3])), '4');
    text += argv[4];
    return SetVersion(REG_SZ, text.c_str(), DWORD(text.size() + 1));
  }
  if (form == "dword") {
    DWORD number = DWORD(strtoul(value.c_str(), nullptr, 0));
    return SetVersion(REG_DWORD, &number, sizeof number);
  }
  if (form == "binary") {
    std::string bytes;
    for (size_t i = 0; i + 1 < value.size(); i += 2) bytes += char(strtoul(value.substr(i, 2).c_str(), nullptr, 16));
    return SetVersion(REG_BINARY, bytes.data(), DWORD(bytes.size()));
  }
  HKEY key;
  if (form == "delete") {
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, DirectXKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return 0;
    RegDeleteValueA(key, "Version");
    RegCloseKey(key);
    return 0;
  }
  if (form == "delete-key") {
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, DirectXKey);
    return 0;
  }
  return 3;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 3;
  std::string command = argv[1];
  if (command == "version") return Version(argc, argv);
  HWND window = FindVisible(argv[2]);
  if (!window) return 1;
  if (command == "texts") {
    PrintChild(window, 0);
    EnumChildWindows(window, PrintChild, 0);
    return 0;
  }
  if (command == "close") return PostMessageA(window, WM_CLOSE, 0, 0) ? 0 : 2;
  if (command == "rect") {
    RECT r;
    GetWindowRect(window, &r);
    printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    return 0;
  }
  return 3;
}
