#include "tool_files.h"

#include <windows.h>
#include <shellapi.h>

namespace {

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

bool ReplaceToolFile(const std::string& from, const std::string& to) {
  return MoveFileExW(WideOf(from).c_str(), WideOf(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool RemoveToolFile(const std::string& path) { return _wremove(WideOf(path).c_str()) == 0; }
