#include "tool_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Names tried for a new file beside the target before giving up.
constexpr unsigned TempFileAttempts = 100;

}  // namespace

std::vector<std::string> ToolArguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

FILE* OpenToolFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

FILE* CreateToolTempFile(const std::string& path, std::string* tempPath, std::string* error, unsigned mode) {
  for (unsigned attempt = 0; attempt < TempFileAttempts; ++attempt) {
    std::string name = path + "." + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
    // O_EXCL fails on any name that exists, a link included; the umask applies to `mode`.
    int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode_t(mode & 0777));
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

unsigned ToolFileMode(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? unsigned(st.st_mode & 0777) : 0666;
}

bool SameToolFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool ReplaceToolFile(const std::string& from, const std::string& to, std::string* error) {
  if (std::rename(from.c_str(), to.c_str()) == 0) return true;
  *error = std::strerror(errno);
  return false;
}

bool RemoveToolFile(const std::string& path) { return std::remove(path.c_str()) == 0; }
