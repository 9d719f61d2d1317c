// Reads a whole file of the platform's file system (test and benchmark programs).
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The file's bytes; empty when it cannot be opened or read whole.
inline std::vector<unsigned char> ReadWholeFile(const std::string& path) {
  std::vector<unsigned char> bytes;
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return bytes;
  bytes.resize(GetFileSize(f, nullptr));
  DWORD got = 0;
  if (!ReadFile(f, bytes.data(), DWORD(bytes.size()), &got, nullptr) || got != bytes.size()) bytes.clear();
  CloseHandle(f);
  return bytes;
}
