#include "tool_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Names tried for a new file beside the target before giving up.
constexpr unsigned TempFileAttempts = 100;

}  // namespace

std::vector<std::string> ToolArguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

FILE* OpenToolFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

FILE* CreateToolTempFile(const std::string& path, std::string* tempPath, std::string* error) {
  for (unsigned attempt = 0; attempt < TempFileAttempts; ++attempt) {
    std::string name = path + "." + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
    // O_EXCL fails on any name that exists, a link included; 0666 leaves the mode to the umask, as
    // fopen does.
    int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) {
      *error = std::strerror(errno);
      return nullptr;
    }
    FILE* f = fdopen(fd, "wb");
    if (!f) {
      *error = std::strerror(errno);
      close(fd);
      unlink(name.c_str());
      return nullptr;
    }
    *tempPath = name;
    return f;
  }
  *error = std::strerror(EEXIST);
  return nullptr;
}

bool ReplaceToolFile(const std::string& from, const std::string& to, std::string* error) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  *error = std::strerror(errno);
  return false;
}

bool RemoveToolFile(const std::string& path) { return std::remove(path.c_str()) == 0; }
