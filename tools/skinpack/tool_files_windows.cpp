#include "tool_files.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

namespace {

// Names tried for a new file beside the target before giving up.
constexpr unsigned TempFileAttempts = 100;

std::wstring WideOf(const std::string& utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring wide(size_t(n), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0], n);
  return wide;
}

std::string Utf8Of(const wchar_t* wide) {
  int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string utf8(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], n, nullptr, nullptr);
  utf8.resize(size_t(n - 1));
  return utf8;
}

// The system's text for an error code, without its line break.
std::string SystemReason(DWORD code) {
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string reason = text ? Utf8Of(text) : std::string();
  if (text) LocalFree(text);
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' ')) reason.pop_back();
  return reason.empty() ? "error " + std::to_string(code) : reason;
}

}  // namespace

std::vector<std::string> ToolArguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return std::vector<std::string>(argv + 1, argv + argc);
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(Utf8Of(wide[i]));
  LocalFree(wide);
  return args;
}

FILE* OpenToolFile(const std::string& path, const char* mode) {
  return _wfopen(WideOf(path).c_str(), WideOf(mode).c_str());
}

FILE* CreateToolTempFile(const std::string& path, std::string* tempPath, std::string* error, unsigned) {
  for (unsigned attempt = 0; attempt < TempFileAttempts; ++attempt) {
    std::string name = path + "." + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt) + ".tmp";
    // CREATE_NEW fails on any name that exists, a link included.
    std::wstring wide = WideOf(name);
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      DWORD code = GetLastError();
      if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) continue;
      *error = SystemReason(code);
      return nullptr;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    FILE* f = fd == -1 ? nullptr : _fdopen(fd, "wb");
    if (!f) {
      *error = "cannot open the new file for writing";
      if (fd == -1) CloseHandle(handle);
      else _close(fd);
      DeleteFileW(wide.c_str());
      return nullptr;
    }
    *tempPath = name;
    return f;
  }
  *error = SystemReason(ERROR_FILE_EXISTS);
  return nullptr;
}

unsigned ToolFileMode(const std::string&) { return 0666; }

bool SameToolFile(const std::string& a, const std::string& b) {
  const std::wstring wa = WideOf(a), wb = WideOf(b);
  // Asking for no access still opens a file another program holds open; BACKUP_SEMANTICS lets a
  // folder be opened too.
  auto open = [](const std::wstring& path) {
    return CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  };
  HANDLE ha = open(wa), hb = open(wb);
  BY_HANDLE_FILE_INFORMATION ia, ib;
  const bool known = ha != INVALID_HANDLE_VALUE && hb != INVALID_HANDLE_VALUE && GetFileInformationByHandle(ha, &ia) &&
                     GetFileInformationByHandle(hb, &ib);
  if (ha != INVALID_HANDLE_VALUE) CloseHandle(ha);
  if (hb != INVALID_HANDLE_VALUE) CloseHandle(hb);
  if (known)
    return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber && ia.nFileIndexHigh == ib.nFileIndexHigh &&
           ia.nFileIndexLow == ib.nFileIndexLow;
  // A file that exists but cannot be opened to ask: compare the full paths.
  if (GetFileAttributesW(wa.c_str()) == INVALID_FILE_ATTRIBUTES ||
      GetFileAttributesW(wb.c_str()) == INVALID_FILE_ATTRIBUTES)
    return false;
  auto full = [](const std::wstring& path) {
    DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring text(n, L'\0');
    if (n == 0 || GetFullPathNameW(path.c_str(), n, &text[0], nullptr) >= n) return std::wstring();
    text.resize(wcslen(text.c_str()));
    return text;
  };
  const std::wstring fa = full(wa), fb = full(wb);
  return !fa.empty() && lstrcmpiW(fa.c_str(), fb.c_str()) == 0;
}

bool ReplaceToolFile(const std::string& from, const std::string& to, std::string* error) {
  if (MoveFileExW(WideOf(from).c_str(), WideOf(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  *error = SystemReason(GetLastError());
  return false;
}

bool RemoveToolFile(const std::string& path) { return _wremove(WideOf(path).c_str()) == 0; }
