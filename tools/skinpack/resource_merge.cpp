// The resource set a program is to carry once the requests are applied, shared by the writers.
#include <string>
#include <utility>
#include <vector>

#include "pe_file.h"
#include "resource_writer.h"

namespace {

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

// Names as the system finds them: FindResource upper-cases the name it is given.
bool CheckRequestName(const std::string& name, PeResourceId* id, std::string* error) {
  if (name.empty()) return Fail(error, "resource: an empty name");
  if (name[0] == '#') return Fail(error, "resource " + name + ": a name starting with '#' would be read as a number");
  if (name.size() > 0xFFFF) return Fail(error, "resource: a name too long for a resource directory");
  std::string upper;
  for (char c : name) {
    if (c < 0x20 || c > 0x7E) return Fail(error, "resource " + name + ": names are printable ASCII");
    upper.push_back(c >= 'a' && c <= 'z' ? char(c - 32) : c);
  }
  *id = PeNamedId(upper);
  return true;
}

bool IsRcdata(const PeResource& r) { return !r.type.named && r.type.id == PeTypeRcdata; }

// The language for a new resource: that of the program's RT_RCDATA, else of its version resource,
// so that all of them agree; neutral when it has neither.
uint32_t NewResourceLanguage(const std::vector<PeResource>& resources) {
  for (const PeResource& r : resources)
    if (IsRcdata(r)) return r.language;
  for (const PeResource& r : resources)
    if (!r.type.named && r.type.id == PeTypeVersion) return r.language;
  return 0;
}

}  // namespace

bool MergeProgramResources(const std::vector<ProgramResource>& requests, std::vector<PeResource>* resources,
                           std::string* error) {
  uint32_t language = NewResourceLanguage(*resources);
  std::vector<PeResourceId> seen;
  for (const ProgramResource& request : requests) {
    PeResourceId name;
    if (!CheckRequestName(request.name, &name, error)) return false;
    for (const PeResourceId& other : seen)
      if (PeSameResourceId(other, name)) return Fail(error, "resource " + request.name + ": given twice");
    seen.push_back(name);

    std::vector<size_t> matches;
    for (size_t i = 0; i < resources->size(); ++i)
      if (IsRcdata((*resources)[i]) && PeSameResourceId((*resources)[i].name, name)) matches.push_back(i);
    if (request.data.empty()) {
      for (size_t i = matches.size(); i-- > 0;) resources->erase(resources->begin() + long(matches[i]));
    } else if (matches.size() > 1) {
      return Fail(error, "resource " + request.name + ": the program has it in " + std::to_string(matches.size()) +
                             " languages; which to replace is unclear");
    } else if (matches.size() == 1) {
      (*resources)[matches[0]].data = request.data;
    } else {
      PeResource added;
      added.type = PeNumberedId(PeTypeRcdata);
      added.name = name;
      added.language = language;
      added.data = request.data;
      resources->push_back(std::move(added));
    }
  }
  return true;
}
