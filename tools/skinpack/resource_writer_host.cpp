// The resource writer where the system has none: rebuilds the program's resource section by hand.
//
// Why not a library: Debian's LIEF 0.9 was tried on launcher.exe. Its rebuild keeps the old
// resource section and appends a new one (".l2") on every write, so one skin replacement took a
// program carrying its skins from 352 KB to 614 KB (past the shipped program's 256 KiB); it copies
// uninitialised memory into the padding of every section name (the bytes change from run to run);
// it leaves the header checksum stale and SizeOfInitializedData unchanged.
//
// What this writer does, and nothing more: the resource section must be the last section, or be
// followed only by the base relocations (as MinGW links it). The merged tree is written in place
// of the old one; a relocation section after it moves up or down whole (its contents hold no
// address of its own). The section's sizes, SizeOfImage, SizeOfInitializedData, the resource and
// relocation directories and, when the program had one, the checksum are set; every other byte
// before the resource section stays where it was.
#include "resource_writer.h"

#include <algorithm>

#include "pe_file.h"

namespace {

// Each resource's data starts at a multiple of this in the section.
constexpr uint32_t DataAlignment = 8;
constexpr uint32_t ResourceHighBit = 0x80000000u;
constexpr uint16_t RelocationHighLow = 3;
constexpr uint16_t RelocationDir64 = 10;

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

uint64_t AlignUp(uint64_t value, uint32_t alignment) { return (value + alignment - 1) & ~uint64_t(alignment - 1); }

void Put16(std::vector<uint8_t>* out, size_t at, uint32_t v) {
  (*out)[at] = uint8_t(v);
  (*out)[at + 1] = uint8_t(v >> 8);
}

void Put32(std::vector<uint8_t>* out, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) (*out)[at + i] = uint8_t(v >> (8 * i));
}

uint32_t Get32(const std::vector<uint8_t>& f, size_t at) {
  return uint32_t(f[at]) | uint32_t(f[at + 1]) << 8 | uint32_t(f[at + 2]) << 16 | uint32_t(f[at + 3]) << 24;
}

char16_t FoldAscii(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }

// The order the system's lookup expects in every resource directory: named entries first, ordered
// by their text with ASCII letters taken as upper case, then numbers in ascending order. Names that
// differ only in case keep a fixed order too, so that the same tree always gives the same bytes.
int CompareIds(const PeResourceId& a, const PeResourceId& b) {
  if (a.named != b.named) return a.named ? -1 : 1;
  if (!a.named) return a.id < b.id ? -1 : a.id > b.id ? 1 : 0;
  size_t common = std::min(a.name.size(), b.name.size());
  for (size_t i = 0; i < common; ++i) {
    char16_t x = FoldAscii(a.name[i]), y = FoldAscii(b.name[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.name.size() != b.name.size()) return a.name.size() < b.name.size() ? -1 : 1;
  return a.name < b.name ? -1 : b.name < a.name ? 1 : 0;
}

bool ResourceLess(const PeResource& a, const PeResource& b) {
  if (int c = CompareIds(a.type, b.type)) return c < 0;
  if (int c = CompareIds(a.name, b.name)) return c < 0;
  return a.language < b.language;
}


// The resource section's bytes for `resources`, placed at address `base`: the directories (types,
// then names, then languages, each level in order), the data entries, the names, then the data,
// each block aligned to DataAlignment. Time stamps and versions in the directories are 0.
bool SerialiseResources(std::vector<PeResource> resources, uint32_t base, std::vector<uint8_t>* out,
                        std::string* error) {
  std::stable_sort(resources.begin(), resources.end(), ResourceLess);
  struct NameNode { const PeResourceId* id; std::vector<const PeResource*> leaves; uint64_t at; };
  struct TypeNode { const PeResourceId* id; std::vector<NameNode> names; uint64_t at; };
  std::vector<TypeNode> types;
  for (const PeResource& r : resources) {
    if (types.empty() || CompareIds(*types.back().id, r.type) != 0) types.push_back({&r.type, {}, 0});
    std::vector<NameNode>& names = types.back().names;
    if (names.empty() || CompareIds(*names.back().id, r.name) != 0) names.push_back({&r.name, {}, 0});
    names.back().leaves.push_back(&r);
  }

  // Offsets of everything, from the start of the section.
  uint64_t at = 16 + 8 * uint64_t(types.size());
  for (TypeNode& t : types) {
    t.at = at;
    at += 16 + 8 * uint64_t(t.names.size());
  }
  for (TypeNode& t : types)
    for (NameNode& n : t.names) {
      n.at = at;
      at += 16 + 8 * uint64_t(n.leaves.size());
    }
  uint64_t entries = at;
  at += 16 * uint64_t(resources.size());
  uint64_t strings = at;
  for (const TypeNode& t : types) {
    if (t.id->named) at += 2 + 2 * uint64_t(t.id->name.size());
    for (const NameNode& n : t.names)
      if (n.id->named) at += 2 + 2 * uint64_t(n.id->name.size());
  }
  uint64_t data = at;
  for (const PeResource& r : resources)
    data = (data + DataAlignment - 1) / DataAlignment * DataAlignment + r.data.size();
  if (data >= ResourceHighBit || uint64_t(base) + data > 0xFFFFFFFFu)
    return Fail(error, "resources: too large for a resource section");

  out->assign(size_t(data), 0);
  uint64_t nextString = strings;
  auto writeName = [&](const PeResourceId& id) -> uint32_t {
    if (!id.named) return id.id;
    uint32_t where = uint32_t(nextString);
    Put16(out, size_t(nextString), uint32_t(id.name.size()));
    for (size_t i = 0; i < id.name.size(); ++i) Put16(out, size_t(nextString + 2 + 2 * i), id.name[i]);
    nextString += 2 + 2 * uint64_t(id.name.size());
    return ResourceHighBit | where;
  };
  auto writeDirectory = [&](uint64_t where, size_t named, size_t count) {
    Put16(out, size_t(where + 12), uint32_t(named));
    Put16(out, size_t(where + 14), uint32_t(count - named));
  };
  auto countNamed = [](const auto& nodes) {
    size_t named = 0;
    for (const auto& n : nodes) named += n.id->named ? 1 : 0;
    return named;
  };
  if (countNamed(types) > 0xFFFF || types.size() - countNamed(types) > 0xFFFF)
    return Fail(error, "resources: too many types for one directory");

  writeDirectory(0, countNamed(types), types.size());
  for (size_t i = 0; i < types.size(); ++i) {
    Put32(out, 16 + 8 * i, writeName(*types[i].id));
    Put32(out, 16 + 8 * i + 4, ResourceHighBit | uint32_t(types[i].at));
  }
  uint64_t entry = entries;
  uint64_t nextData = at;  // the data follow the names
  for (TypeNode& t : types) {
    if (countNamed(t.names) > 0xFFFF || t.names.size() - countNamed(t.names) > 0xFFFF)
      return Fail(error, "resources: too many names for one directory");
    writeDirectory(t.at, countNamed(t.names), t.names.size());
    for (size_t i = 0; i < t.names.size(); ++i) {
      Put32(out, size_t(t.at + 16 + 8 * i), writeName(*t.names[i].id));
      Put32(out, size_t(t.at + 16 + 8 * i + 4), ResourceHighBit | uint32_t(t.names[i].at));
    }
  }
  for (TypeNode& t : types)
    for (NameNode& n : t.names) {
      if (n.leaves.size() > 0xFFFF) return Fail(error, "resources: too many languages for one directory");
      writeDirectory(n.at, 0, n.leaves.size());
      for (size_t i = 0; i < n.leaves.size(); ++i) {
        const PeResource& r = *n.leaves[i];
        Put32(out, size_t(n.at + 16 + 8 * i), r.language);
        Put32(out, size_t(n.at + 16 + 8 * i + 4), uint32_t(entry));
        nextData = (nextData + DataAlignment - 1) / DataAlignment * DataAlignment;
        Put32(out, size_t(entry), uint32_t(base + nextData));
        Put32(out, size_t(entry + 4), uint32_t(r.data.size()));
        Put32(out, size_t(entry + 8), r.codePage);
        std::copy(r.data.begin(), r.data.end(), out->begin() + long(nextData));
        nextData += r.data.size();
        entry += 16;
      }
    }
  return true;
}

// Refuses a program whose base relocations would be wrong once the resource section changes: a
// fixed-up place inside the sections from `from` on (they move), or an address stored in the
// program that points into them (code or data that reads the resources directly).
bool CheckRelocations(const std::vector<uint8_t>& file, const PeFile& pe, uint32_t from, uint32_t end,
                      std::string* error) {
  PeDirectory relocations = PeDirectoryAt(pe, PeDirectoryRelocation);
  if (relocations.size == 0) return true;
  size_t base = 0;
  if (!PeAddressToOffset(pe, relocations.address, relocations.size, &base))
    return Fail(error, "relocations: the base relocations lie outside the file's sections");
  uint32_t at = 0;
  while (relocations.size - at >= 8) {
    uint32_t page = Get32(file, base + at);
    uint32_t blockSize = Get32(file, base + at + 4);
    if (blockSize < 8 || blockSize > relocations.size - at) return Fail(error, "relocations: a damaged block");
    for (uint32_t e = 8; e + 2 <= blockSize; e += 2) {
      uint16_t fixup = uint16_t(file[base + at + e] | file[base + at + e + 1] << 8);
      uint16_t kind = fixup >> 12;
      if (kind == 0) continue;
      uint64_t place = uint64_t(page) + (fixup & 0xFFF);
      if (place >= from)
        return Fail(error, "relocations: a fixed-up address lies in the resource section or after it");
      uint32_t width = kind == RelocationHighLow ? 4 : kind == RelocationDir64 ? 8 : 0;
      size_t offset = 0;
      if (width == 0 || !PeAddressToOffset(pe, uint32_t(place), width, &offset)) continue;
      uint64_t value = Get32(file, offset);
      if (width == 8) value |= uint64_t(Get32(file, offset + 4)) << 32;
      uint64_t target = value - pe.imageBase;
      if (target >= from && target < end)
        return Fail(error, "relocations: the program holds an address inside its resource section or after it");
    }
    at += blockSize;
  }
  return true;
}

}  // namespace

bool WriteProgramResources(const std::vector<uint8_t>& program, const std::vector<ProgramResource>& requests,
                           std::vector<uint8_t>* result, std::string* error) {
  std::vector<uint8_t> file = program;
  if (!StripPeSignature(&file, error)) return false;
  PeFile pe;
  if (!ParsePeFile(file, &pe, error)) return false;
  if (pe.symbolTableOffset != 0)
    return Fail(error, "the program carries a COFF symbol table after its sections; strip it first");

  std::vector<PeResource> resources;
  if (!ReadPeResources(file, pe, &resources, error)) return false;
  PeDirectory directory = PeDirectoryAt(pe, PeDirectoryResource);
  if (directory.address == 0) return Fail(error, "the program has no resource section to rebuild");
  size_t s = 0;
  while (s < pe.sections.size() && pe.sections[s].virtualAddress != directory.address) ++s;
  if (s == pe.sections.size()) return Fail(error, "the resource directory does not start a section");
  const PeSection rsrc = pe.sections[s];
  if (rsrc.rawSize == 0 || rsrc.rawOffset < pe.sections.back().headerOffset + 40)
    return Fail(error, "the resource section (" + rsrc.name + ") has no data in the file after the headers");

  // The sections after it: none, or the base relocations alone.
  PeDirectory relocations = PeDirectoryAt(pe, PeDirectoryRelocation);
  bool movesRelocations = s + 1 < pe.sections.size();
  if (s + 2 < pe.sections.size() ||
      (movesRelocations && (relocations.size == 0 || relocations.address != pe.sections[s + 1].virtualAddress)))
    return Fail(error, "the resource section (" + rsrc.name + ") is not the last section, and what follows it is "
                       "not the base relocations alone; only those can be moved");
  for (size_t i = 0; i < s; ++i) {
    const PeSection& other = pe.sections[i];
    uint64_t virtualEnd = uint64_t(other.virtualAddress) + (other.virtualSize ? other.virtualSize : other.rawSize);
    bool rawAfter = other.rawSize && uint64_t(other.rawOffset) + other.rawSize > rsrc.rawOffset;
    if (virtualEnd > rsrc.virtualAddress || rawAfter)
      return Fail(error, "section " + other.name + " lies after the resource section in memory or in the file");
  }
  uint64_t fileEnd = uint64_t(rsrc.rawOffset) + rsrc.rawSize;
  if (movesRelocations) {
    const PeSection& reloc = pe.sections[s + 1];
    if (reloc.virtualAddress < rsrc.virtualAddress || (reloc.rawSize && reloc.rawOffset < fileEnd))
      return Fail(error, "the base relocations lie before the resource section in the file");
    if (reloc.rawSize) fileEnd = uint64_t(reloc.rawOffset) + reloc.rawSize;
  }
  for (size_t d = 0; d < pe.directories.size(); ++d) {
    if (d == PeDirectoryResource || d == PeDirectorySecurity || (d == PeDirectoryRelocation && movesRelocations))
      continue;
    const PeDirectory& other = pe.directories[d];
    if (other.size != 0 && uint64_t(other.address) + other.size > rsrc.virtualAddress)
      return Fail(error, "data directory " + std::to_string(d) + " points into the resource section or after it");
  }
  for (size_t i = size_t(fileEnd); i < file.size(); ++i)
    if (file[i] != 0) return Fail(error, "the program has data after its last section (an overlay)");
  if (!CheckRelocations(file, pe, rsrc.virtualAddress, pe.sizeOfImage, error)) return false;

  if (!MergeProgramResources(requests, &resources, error)) return false;
  std::vector<uint8_t> tree;
  if (!SerialiseResources(std::move(resources), rsrc.virtualAddress, &tree, error)) return false;

  uint32_t rawSize = uint32_t(AlignUp(tree.size(), pe.fileAlignment));  // the tree is below 2 GiB
  uint64_t imageEnd = AlignUp(uint64_t(rsrc.virtualAddress) + tree.size(), pe.sectionAlignment);
  std::vector<uint8_t> out(file.begin(), file.begin() + rsrc.rawOffset);
  out.insert(out.end(), tree.begin(), tree.end());
  out.resize(size_t(rsrc.rawOffset) + rawSize, 0);
  Put32(&out, rsrc.headerOffset + 8, uint32_t(tree.size()));
  Put32(&out, rsrc.headerOffset + 16, rawSize);
  if (movesRelocations) {
    const PeSection& reloc = pe.sections[s + 1];
    uint64_t relocEnd = imageEnd + (reloc.virtualSize ? reloc.virtualSize : reloc.rawSize);
    if (relocEnd > 0xFFFFFFFFu) return Fail(error, "the program grows past the end of the address space");
    uint32_t address = uint32_t(imageEnd);
    Put32(&out, reloc.headerOffset + 12, address);
    if (reloc.rawSize) {
      Put32(&out, reloc.headerOffset + 20, uint32_t(out.size()));
      out.insert(out.end(), file.begin() + reloc.rawOffset, file.begin() + reloc.rawOffset + reloc.rawSize);
    }
    Put32(&out, PeDirectoryOffset(pe, PeDirectoryRelocation), relocations.address - reloc.virtualAddress + address);
    imageEnd = AlignUp(relocEnd, pe.sectionAlignment);
  }
  if (imageEnd > 0xFFFFFFFFu) return Fail(error, "the program grows past the end of the address space");
  Put32(&out, PeSizeOfImageOffset(pe), uint32_t(imageEnd));
  if (rsrc.characteristics & PeSectionInitializedData) {
    size_t field = PeSizeOfInitializedDataOffset(pe);
    Put32(&out, field, Get32(out, field) - rsrc.rawSize + rawSize);
  }
  Put32(&out, PeDirectoryOffset(pe, PeDirectoryResource), rsrc.virtualAddress);
  Put32(&out, PeDirectoryOffset(pe, PeDirectoryResource) + 4, uint32_t(tree.size()));
  if (pe.checksum != 0) SetPeChecksum(&out, pe);
  *result = std::move(out);
  return true;
}
