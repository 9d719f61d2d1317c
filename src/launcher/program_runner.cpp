#include "launcher/program_runner.h"

#include <windows.h>
#include <shellapi.h>

#include "launcher/path_folder.h"

intptr_t StartProgram(const char* file, const char* parameters, const char* folder, int32_t flags) {
  if (!file) return 0;
  char defaultFolder[DefaultFolderSize];
  const char* directory = nullptr;
  if (folder && folder[0]) {
    directory = folder;
  } else {
    DefaultFolderResult found = DefaultFolderOfFile(file, defaultFolder, DefaultFolderSize);
    if (found == DefaultFolderTooLong) return 0;
    if (found == DefaultFolderBuilt) directory = defaultFolder;
  }
  SHELLEXECUTEINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpVerb = "Open";
  info.lpFile = file;
  info.lpParameters = parameters;
  info.lpDirectory = directory;
  info.nShow = (flags & LaunchHidden) ? SW_HIDE : SW_SHOWNORMAL;
  if (!ShellExecuteExA(&info)) return 0;
  if (!info.hProcess) return 1;
  if (flags & WaitForExit) WaitForSingleObject(info.hProcess, INFINITE);
  return reinterpret_cast<intptr_t>(info.hProcess);
}

intptr_t StartProgram(const char* file, const char* parameters, const char* folder) {
  return StartProgram(file, parameters, folder, 0);
}

intptr_t StartProgram(const char* file) { return StartProgram(file, "", "", 0); }
