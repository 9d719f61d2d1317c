// What skinpack needs of the platform apart from images: its arguments and its files. The common
// code holds paths as UTF-8; on Windows they are opened through the UTF-16 calls, so that a file
// name outside the ANSI code page works too. One source per platform: tool_files_host.cpp,
// tool_files_windows.cpp.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

// The arguments after the program's name, as UTF-8. On Windows they are read from the wide command
// line, since argv holds them in the ANSI code page.
std::vector<std::string> ToolArguments(int argc, char** argv);

// fopen of a UTF-8 path; errno tells why it failed.
FILE* OpenToolFile(const std::string& path, const char* mode);

// Creates a new file for writing beside `path`, in its folder, to be renamed over it once written.
// Its name (into `tempPath`) is one no file has yet, and it is created exclusively, so that neither
// a file nor a link of that name is written through. On the host it gets the permission bits
// `mode` less the umask, as fopen gives 0666 less the umask; Windows has no such bits. Null with
// the system's reason in `error`.
FILE* CreateToolTempFile(const std::string& path, std::string* tempPath, std::string* error, unsigned mode = 0666);

// The permission bits of an existing file (0755 for a program one may run), for a copy to take;
// 0666 when they cannot be read, and on Windows.
unsigned ToolFileMode(const std::string& path);

// Whether two paths name one existing file, whatever names, links or folders lead to it: the same
// device and inode on the host; on Windows the same volume and file index, or where a file cannot
// be opened to ask, the same full path (letters compared without case).
bool SameToolFile(const std::string& a, const std::string& b);

// Moves `from` to `to`, replacing a file already there (rename() on Windows refuses to). False
// with the system's reason in `error`.
bool ReplaceToolFile(const std::string& from, const std::string& to, std::string* error);

bool RemoveToolFile(const std::string& path);
