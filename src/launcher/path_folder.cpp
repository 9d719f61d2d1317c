#include "launcher/path_folder.h"

#include <cstring>

#include "runtime/string_output.h"

char* FolderOfPath(char* destination, const char* path) {
  if (!path) return ProduceCopy(destination, nullptr, 0);
  const char* start = path[0] == '"' ? path + 1 : path;
  const char* end = start;
  const char* lastBackslash = strrchr(path, '\\');
  if (lastBackslash && lastBackslash + 1 > start) end = lastBackslash + 1;
  // A quoted path ends at its closing quote, even if backslashes follow it.
  const char* quote = static_cast<const char*>(memchr(start, '"', static_cast<size_t>(end - start)));
  if (quote) end = quote;
  // Everything is measured before the copy, which moves the bytes overlap-safely: the result
  // may replace its own input.
  return ProduceCopy(destination, start, static_cast<int32_t>(end - start));
}

DefaultFolderResult DefaultFolderOfFile(const char* file, char* folder, int32_t size) {
  if (!file || !file[0]) return DefaultFolderNone;
  size_t at = strlen(file) - 1;
  while (at > 0 && file[at] != '\\') --at;
  if (at == 0) return DefaultFolderNone;
  // The text before the backslash, the backslash and the terminator.
  if (size < 2 || at > static_cast<size_t>(size) - 2) return DefaultFolderTooLong;
  memcpy(folder, file, at);
  folder[at] = '\\';
  folder[at + 1] = 0;
  return DefaultFolderBuilt;
}

size_t WideFolderLength(const wchar_t* path) {
  if (!path) return 0;
  size_t length = 0;
  for (size_t i = 0; path[i]; ++i) {
    if (path[i] == L'\\') length = i + 1;
  }
  return length;
}

uint32_t NextPathBufferSize(uint32_t size) {
  if (size >= LongestWidePath) return 0;
  return size > LongestWidePath / 2 ? LongestWidePath : size * 2;
}
