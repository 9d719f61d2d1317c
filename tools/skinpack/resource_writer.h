// Setting named RT_RCDATA resources in a built program. On Windows the system's resource update
// does it; elsewhere resource_writer_host.cpp rebuilds the resource section itself.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "pe_file.h"

// One RT_RCDATA resource to set in a program; empty data removes it.
struct ProgramResource {
  std::string name;
  std::vector<uint8_t> data;
};

// Writes `program` (a PE file's bytes) with these RT_RCDATA resources replaced, added or removed
// into `result`. Any Authenticode signature is dropped (it no longer matches). Every other
// resource keeps its bytes, type, name and language (icons, the version resource, the manifest).
// Same inputs give the same bytes. False with `error` set when it cannot.
bool WriteProgramResources(const std::vector<uint8_t>& program, const std::vector<ProgramResource>& resources,
                           std::vector<uint8_t>* result, std::string* error);

// The resource set a program is to carry once `requests` are applied to `resources` (as read from
// it), for both writers: a replaced resource keeps its language, a new one takes that of the
// program's other RT_RCDATA or version resource (so all of them agree), a removed one goes in
// every language. Refuses names the system's lookup would not find as given (empty, starting
// with '#', not printable ASCII), a name given twice, and replacing a name the program has in
// several languages. False with `error` set.
bool MergeProgramResources(const std::vector<ProgramResource>& requests, std::vector<PeResource>* resources,
                           std::string* error);
