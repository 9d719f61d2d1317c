#include "reskin.h"

#include <cstring>

#include "pe_file.h"
#include "skin/skin_resource_names.h"

namespace {

bool IsSkinResource(const PeResource& r, const std::vector<ProgramResource>& skins) {
  if (r.type.named || r.type.id != PeTypeRcdata) return false;
  for (const ProgramResource& skin : skins)
    if (PeSameResourceId(r.name, PeNamedId(skin.name))) return true;
  return false;
}

bool SameResource(const PeResource& a, const PeResource& b) {
  return a.type.named == b.type.named && a.type.id == b.type.id && a.type.name == b.type.name &&
         a.name.named == b.name.named && a.name.id == b.name.id && a.name.name == b.name.name &&
         a.language == b.language && a.data == b.data;
}

bool ReadResources(const std::vector<uint8_t>& file, PeFile* pe, std::vector<PeResource>* resources,
                   std::string* error) {
  return ParsePeFile(file, pe, error) && ReadPeResources(file, *pe, resources, error);
}

// The bytes of a section's raw data, or empty when they do not lie in the file.
std::vector<uint8_t> SectionBytes(const std::vector<uint8_t>& file, const PeSection& s) {
  if (uint64_t(s.rawOffset) + s.rawSize > file.size()) return {};
  return std::vector<uint8_t>(file.begin() + s.rawOffset, file.begin() + s.rawOffset + s.rawSize);
}

}  // namespace

bool ReadProgramSkins(const std::vector<uint8_t>& program, ProgramSkins* skins, std::string* error) {
  PeFile pe;
  std::vector<PeResource> resources;
  if (!ReadResources(program, &pe, &resources, error)) {
    *error = "not a program whose resources can be read: " + *error;
    return false;
  }
  *skins = ProgramSkins{};
  skins->signedProgram = PeHasSignature(pe);
  for (const SkinResourceName& skin : SkinResourceNames)
    if (const PeResource* found = FindPeRcdata(resources, skin.name)) skins->skins.push_back({skin.name, found->data});
  if (skins->skins.empty() || skins->skins[0].name != SkinResourceNames[0].name) {
    *error = std::string("carries no skin resource ") + SkinResourceNames[0].name +
             ": not a launcher whose skin can be replaced";
    return false;
  }
  return true;
}

std::string ScaledArtWarning(const ArtworkReport& art100, const ArtworkReport& art200) {
  if (art200.width == 2 * art100.width && art200.height == 2 * art100.height) return "";
  return "the 200 % art is " + std::to_string(art200.width) + " x " + std::to_string(art200.height) +
         ", not twice the 100 % art's " + std::to_string(art100.width) + " x " + std::to_string(art100.height) +
         ": the window will change its shape between scales";
}

bool CheckReskinnedProgram(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after,
                           const std::vector<ProgramResource>& skins, std::string* error) {
  PeFile old, now;
  std::vector<PeResource> oldResources, newResources;
  if (!ReadResources(before, &old, &oldResources, error)) return false;
  if (!ReadResources(after, &now, &newResources, error)) return false;
  if (PeHasSignature(now)) {
    *error = "it still carries a signature";
    return false;
  }
  for (const ProgramResource& skin : skins) {
    const PeResource* found = FindPeRcdata(newResources, skin.name);
    if (skin.data.empty() ? found != nullptr : !found || found->data != skin.data) {
      *error = "resource " + skin.name + (skin.data.empty() ? " is still there" : " does not hold its skin");
      return false;
    }
  }
  // Every other resource as it was, in the same order.
  std::vector<const PeResource*> kept, carried;
  for (const PeResource& r : oldResources)
    if (!IsSkinResource(r, skins)) kept.push_back(&r);
  for (const PeResource& r : newResources)
    if (!IsSkinResource(r, skins)) carried.push_back(&r);
  if (kept.size() != carried.size()) {
    *error = "other resources were added or lost";
    return false;
  }
  for (size_t i = 0; i < kept.size(); ++i) {
    if (!SameResource(*kept[i], *carried[i])) {
      *error = "resource " + PeResourceIdText(kept[i]->type) + "/" + PeResourceIdText(kept[i]->name) + " changed";
      return false;
    }
  }
  // Code and data as they were: every section before the resources, at the same address with the
  // same bytes.
  const uint32_t resources = PeDirectoryAt(old, PeDirectoryResource).address;
  for (const PeSection& s : old.sections) {
    if (s.virtualAddress >= resources) break;
    bool same = false;
    for (const PeSection& t : now.sections)
      same = same || (t.name == s.name && t.virtualAddress == s.virtualAddress && t.virtualSize == s.virtualSize &&
                      SectionBytes(after, t) == SectionBytes(before, s));
    if (!same) {
      *error = "section " + s.name + " changed";
      return false;
    }
  }
  return true;
}
