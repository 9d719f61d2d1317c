#include "tool_files.h"

std::vector<std::string> ToolArguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

FILE* OpenToolFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

bool ReplaceToolFile(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

bool RemoveToolFile(const std::string& path) { return std::remove(path.c_str()) == 0; }
