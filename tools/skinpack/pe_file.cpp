#include "pe_file.h"

#include <set>

namespace {

// Layout of the headers: the COFF header follows "PE\0\0"; the optional header's fixed part ends
// with NumberOfRvaAndSizes, and the directories follow it.
constexpr size_t CoffHeaderSize = 20;
constexpr size_t SectionEntrySize = 40;
constexpr uint32_t MaxSections = 96;
constexpr uint32_t MaxDirectories = 16;
// A resource tree is type, name, language; each directory entry that leads on has this bit set.
constexpr uint32_t ResourceSubdirectory = 0x80000000u;
constexpr uint32_t ResourceNamed = 0x80000000u;
// Most data a resource tree may yield: far beyond any program's, and a bound on what a tree whose
// leaves share one large block can make the reader copy.
constexpr uint64_t MaxResourceBytes = 256u << 20;
// Most text of types and names the list may hold. Each resource holds its own copy of its type's
// and its name's, while a tree may have all its entries share one name of up to 65,535 characters:
// without this bound a file of 190 KB makes the reader copy 1.5 GB. 16 MiB is some 8 million
// characters, beyond any program's (10,000 named resources of 100 characters come to 2 MB).
constexpr uint64_t MaxResourceNameBytes = 16u << 20;

bool Fits(size_t size, uint64_t offset, uint64_t length) {
  return offset <= size && length <= size - offset;
}

uint16_t Get16(const std::vector<uint8_t>& f, size_t at) { return uint16_t(f[at] | f[at + 1] << 8); }

uint32_t Get32(const std::vector<uint8_t>& f, size_t at) {
  return uint32_t(f[at]) | uint32_t(f[at + 1]) << 8 | uint32_t(f[at + 2]) << 16 | uint32_t(f[at + 3]) << 24;
}

uint64_t Get64(const std::vector<uint8_t>& f, size_t at) { return Get32(f, at) | uint64_t(Get32(f, at + 4)) << 32; }

bool IsPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

size_t FixedOptionalSize(bool wide) { return wide ? 112 : 96; }

// The part of a section the loader maps from the file.
uint32_t MappedRawSize(const PeSection& s) {
  if (s.virtualSize == 0) return s.rawSize;
  return s.rawSize < s.virtualSize ? s.rawSize : s.virtualSize;
}

char16_t FoldAscii(char16_t c) { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }

// Walks the resource tree inside `area` (the bytes from the resource directory to the end of its
// section's raw data). Offsets in the tree count from the directory's start.
struct ResourceWalk {
  const std::vector<uint8_t>& file;
  const PeFile& pe;
  size_t base;      // file offset of the resource directory
  size_t areaSize;  // bytes from there to the end of the section's raw data
  std::set<uint32_t> visited;
  uint64_t totalBytes = 0;
  uint64_t nameBytes = 0;
  std::vector<PeResource>* out;
  std::string* error;
};

bool ReadResourceId(ResourceWalk* w, uint32_t field, PeResourceId* id) {
  if (!(field & ResourceNamed)) {
    *id = PeNumberedId(field);
    return true;
  }
  uint32_t at = field & ~ResourceNamed;
  if (!Fits(w->areaSize, at, 2)) return Fail(w->error, "resources: a name lies outside the resource section");
  uint16_t length = Get16(w->file, w->base + at);
  if (!Fits(w->areaSize, uint64_t(at) + 2, uint64_t(length) * 2))
    return Fail(w->error, "resources: a name runs past the resource section");
  id->named = true;
  id->id = 0;
  id->name.resize(length);
  for (uint16_t i = 0; i < length; ++i) id->name[i] = char16_t(Get16(w->file, w->base + at + 2 + 2 * size_t(i)));
  return true;
}

bool ReadResourceData(ResourceWalk* w, uint32_t at, const PeResourceId& type, const PeResourceId& name,
                      uint32_t language) {
  if (!w->visited.insert(at).second) return Fail(w->error, "resources: a data entry is reached twice");
  if (!Fits(w->areaSize, at, 16)) return Fail(w->error, "resources: a data entry lies outside the resource section");
  uint32_t rva = Get32(w->file, w->base + at);
  uint32_t size = Get32(w->file, w->base + at + 4);
  size_t offset = 0;
  if (size != 0 && !PeAddressToOffset(w->pe, rva, size, &offset))
    return Fail(w->error, "resources: the data of " + PeResourceIdText(type) + "/" + PeResourceIdText(name) +
                              " lies outside the file's sections");
  w->totalBytes += size;
  if (w->totalBytes > MaxResourceBytes) return Fail(w->error, "resources: more data than any program carries");
  w->nameBytes += 2 * (uint64_t(type.name.size()) + name.name.size());
  if (w->nameBytes > MaxResourceNameBytes)
    return Fail(w->error, "resources: more text in type and resource names than any program carries");
  PeResource r;
  r.type = type;
  r.name = name;
  r.language = language;
  r.codePage = Get32(w->file, w->base + at + 8);
  r.data.assign(w->file.begin() + offset, w->file.begin() + offset + size);
  w->out->push_back(std::move(r));
  return true;
}

// level 0: types, 1: names, 2: languages.
bool ReadResourceDirectory(ResourceWalk* w, uint32_t at, int level, const PeResourceId& type,
                           const PeResourceId& name) {
  if (!w->visited.insert(at).second) return Fail(w->error, "resources: a directory is reached twice");
  if (!Fits(w->areaSize, at, 16)) return Fail(w->error, "resources: a directory lies outside the resource section");
  uint32_t count = uint32_t(Get16(w->file, w->base + at + 12)) + Get16(w->file, w->base + at + 14);
  if (!Fits(w->areaSize, uint64_t(at) + 16, uint64_t(count) * 8))
    return Fail(w->error, "resources: a directory's entries run past the resource section");
  for (uint32_t i = 0; i < count; ++i) {
    size_t entry = w->base + at + 16 + 8 * size_t(i);
    uint32_t field = Get32(w->file, entry);
    uint32_t target = Get32(w->file, entry + 4);
    PeResourceId id;
    if (!ReadResourceId(w, field, &id)) return false;
    bool subdirectory = (target & ResourceSubdirectory) != 0;
    if (level < 2) {
      if (!subdirectory) return Fail(w->error, "resources: the tree ends above the language level");
      bool ok = level == 0 ? ReadResourceDirectory(w, target & ~ResourceSubdirectory, 1, id, name)
                           : ReadResourceDirectory(w, target & ~ResourceSubdirectory, 2, type, id);
      if (!ok) return false;
    } else {
      if (subdirectory) return Fail(w->error, "resources: the tree goes deeper than the language level");
      if (id.named) return Fail(w->error, "resources: a language given by name");
      if (!ReadResourceData(w, target, type, name, id.id)) return false;
    }
  }
  return true;
}

}  // namespace

size_t PeChecksumOffset(const PeFile& pe) { return pe.optionalOffset + 64; }
size_t PeSizeOfInitializedDataOffset(const PeFile& pe) { return pe.optionalOffset + 8; }
size_t PeSizeOfImageOffset(const PeFile& pe) { return pe.optionalOffset + 56; }
size_t PeDirectoryOffset(const PeFile& pe, size_t index) {
  return pe.optionalOffset + FixedOptionalSize(pe.wide) + 8 * index;
}

bool ParsePeFile(const std::vector<uint8_t>& file, PeFile* pe, std::string* error) {
  size_t size = file.size();
  if (size < 64 || file[0] != 'M' || file[1] != 'Z') return Fail(error, "not a PE file: no MZ header");
  uint32_t at = Get32(file, 0x3C);
  if (!Fits(size, at, 4 + CoffHeaderSize)) return Fail(error, "not a PE file: the PE header lies outside the file");
  if (file[at] != 'P' || file[at + 1] != 'E' || file[at + 2] != 0 || file[at + 3] != 0)
    return Fail(error, "not a PE file: no PE signature");
  PeFile p;
  p.coffOffset = size_t(at) + 4;
  p.machine = Get16(file, p.coffOffset);
  uint32_t sectionCount = Get16(file, p.coffOffset + 2);
  p.symbolTableOffset = Get32(file, p.coffOffset + 8);
  uint32_t optionalSize = Get16(file, p.coffOffset + 16);
  if (sectionCount == 0 || sectionCount > MaxSections)
    return Fail(error, "PE header: " + std::to_string(sectionCount) + " sections");
  p.optionalOffset = p.coffOffset + CoffHeaderSize;
  if (optionalSize < 2 || !Fits(size, p.optionalOffset, optionalSize))
    return Fail(error, "PE header: the optional header lies outside the file");
  uint16_t magic = Get16(file, p.optionalOffset);
  if (magic != 0x10B && magic != 0x20B) return Fail(error, "PE header: unknown optional header kind");
  p.wide = magic == 0x20B;
  size_t fixed = FixedOptionalSize(p.wide);
  if (optionalSize < fixed) return Fail(error, "PE header: the optional header is too short");
  const size_t o = p.optionalOffset;
  p.imageBase = p.wide ? Get64(file, o + 24) : Get32(file, o + 28);
  p.sectionAlignment = Get32(file, o + 32);
  p.fileAlignment = Get32(file, o + 36);
  p.sizeOfImage = Get32(file, o + 56);
  p.sizeOfHeaders = Get32(file, o + 60);
  p.checksum = Get32(file, o + 64);
  uint32_t directoryCount = Get32(file, o + fixed - 4);
  if (directoryCount > MaxDirectories) directoryCount = MaxDirectories;
  if (fixed + 8 * size_t(directoryCount) > optionalSize)
    return Fail(error, "PE header: the data directories run past the optional header");
  if (!IsPowerOfTwo(p.sectionAlignment) || !IsPowerOfTwo(p.fileAlignment))
    return Fail(error, "PE header: section or file alignment is not a power of two");
  for (uint32_t i = 0; i < directoryCount; ++i)
    p.directories.push_back({Get32(file, o + fixed + 8 * i), Get32(file, o + fixed + 8 * i + 4)});

  size_t table = p.optionalOffset + optionalSize;
  if (!Fits(size, table, uint64_t(sectionCount) * SectionEntrySize))
    return Fail(error, "PE header: the section table lies outside the file");
  for (uint32_t i = 0; i < sectionCount; ++i) {
    size_t e = table + SectionEntrySize * i;
    PeSection s;
    size_t length = 0;
    while (length < 8 && file[e + length] != 0) ++length;
    s.name.assign(reinterpret_cast<const char*>(&file[e]), length);
    s.virtualSize = Get32(file, e + 8);
    s.virtualAddress = Get32(file, e + 12);
    s.rawSize = Get32(file, e + 16);
    s.rawOffset = Get32(file, e + 20);
    s.characteristics = Get32(file, e + 36);
    s.headerOffset = e;
    if (s.rawSize != 0 && !Fits(size, s.rawOffset, s.rawSize))
      return Fail(error, "section " + std::to_string(i + 1) + " (" + s.name + "): its data lies outside the file");
    if (uint64_t(s.virtualAddress) + (s.virtualSize ? s.virtualSize : s.rawSize) > 0xFFFFFFFFu)
      return Fail(error, "section " + std::to_string(i + 1) + " (" + s.name + "): past the end of the address space");
    p.sections.push_back(s);
  }
  *pe = std::move(p);
  return true;
}

PeDirectory PeDirectoryAt(const PeFile& pe, size_t index) {
  return index < pe.directories.size() ? pe.directories[index] : PeDirectory{0, 0};
}

bool PeAddressToOffset(const PeFile& pe, uint32_t rva, uint32_t size, size_t* offset) {
  for (const PeSection& s : pe.sections) {
    uint32_t mapped = MappedRawSize(s);
    if (rva >= s.virtualAddress && uint64_t(rva) + size <= uint64_t(s.virtualAddress) + mapped) {
      *offset = size_t(s.rawOffset) + (rva - s.virtualAddress);
      return true;
    }
  }
  return false;
}

PeResourceId PeNumberedId(uint32_t id) {
  PeResourceId r;
  r.id = id;
  return r;
}

PeResourceId PeNamedId(const std::string& ascii) {
  PeResourceId r;
  r.named = true;
  for (unsigned char c : ascii) r.name.push_back(char16_t(c));
  return r;
}

std::string PeResourceIdText(const PeResourceId& id) {
  if (!id.named) return "#" + std::to_string(id.id);
  std::string text;
  for (char16_t c : id.name) text.push_back(c >= 0x20 && c < 0x7F ? char(c) : '?');
  return text;
}

bool PeSameResourceId(const PeResourceId& a, const PeResourceId& b) {
  if (a.named != b.named) return false;
  if (!a.named) return a.id == b.id;
  if (a.name.size() != b.name.size()) return false;
  for (size_t i = 0; i < a.name.size(); ++i)
    if (FoldAscii(a.name[i]) != FoldAscii(b.name[i])) return false;
  return true;
}

bool ReadPeResources(const std::vector<uint8_t>& file, const PeFile& pe, std::vector<PeResource>* resources,
                     std::string* error) {
  resources->clear();
  PeDirectory directory = PeDirectoryAt(pe, PeDirectoryResource);
  if (directory.address == 0 && directory.size == 0) return true;
  for (const PeSection& s : pe.sections) {
    uint32_t mapped = MappedRawSize(s);
    if (directory.address < s.virtualAddress || directory.address - s.virtualAddress >= uint64_t(mapped)) continue;
    uint32_t into = directory.address - s.virtualAddress;
    std::vector<PeResource> found;
    ResourceWalk walk{file, pe, size_t(s.rawOffset) + into, size_t(mapped - into), {}, 0, 0, &found, error};
    if (!ReadResourceDirectory(&walk, 0, 0, PeResourceId(), PeResourceId())) return false;
    *resources = std::move(found);
    return true;
  }
  return Fail(error, "resources: the resource directory lies outside the file's sections");
}

const PeResource* FindPeRcdata(const std::vector<PeResource>& resources, const std::string& name) {
  PeResourceId wanted = PeNamedId(name);
  for (const PeResource& r : resources)
    if (!r.type.named && r.type.id == PeTypeRcdata && PeSameResourceId(r.name, wanted)) return &r;
  return nullptr;
}

bool PeHasSignature(const PeFile& pe) { return PeDirectoryAt(pe, PeDirectorySecurity).size != 0; }

bool StripPeSignature(std::vector<uint8_t>* file, std::string* error) {
  PeFile pe;
  if (!ParsePeFile(*file, &pe, error)) return false;
  if (!PeHasSignature(pe)) return true;
  PeDirectory table = pe.directories[PeDirectorySecurity];
  if (uint64_t(table.address) + table.size != file->size())
    return Fail(error, "signature: the certificate table is not at the end of the file");
  // The headers as declared, and at least as far as the section table reaches.
  uint64_t sectionsEnd = pe.sections.back().headerOffset + SectionEntrySize;
  if (pe.sizeOfHeaders > sectionsEnd) sectionsEnd = pe.sizeOfHeaders;
  for (const PeSection& s : pe.sections)
    if (s.rawSize != 0 && uint64_t(s.rawOffset) + s.rawSize > sectionsEnd)
      sectionsEnd = uint64_t(s.rawOffset) + s.rawSize;
  if (table.address < sectionsEnd)
    return Fail(error, "signature: the certificate table overlaps the program's headers or sections");
  size_t entry = PeDirectoryOffset(pe, PeDirectorySecurity);
  for (size_t i = 0; i < 8; ++i) (*file)[entry + i] = 0;
  file->resize(table.address);
  if (pe.checksum != 0) SetPeChecksum(file, pe);
  return true;
}

uint32_t ComputePeChecksum(const std::vector<uint8_t>& file, size_t checksumOffset) {
  size_t size = file.size();
  auto byte = [&](size_t i) -> uint32_t {
    return i < size && !(i >= checksumOffset && i - checksumOffset < 4) ? file[i] : 0;
  };
  uint64_t sum = 0;
  for (size_t i = 0; i < size; i += 2) sum += byte(i) | byte(i + 1) << 8;
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return uint32_t(sum) + uint32_t(size);
}

void SetPeChecksum(std::vector<uint8_t>* file, const PeFile& pe) {
  size_t at = PeChecksumOffset(pe);
  uint32_t sum = ComputePeChecksum(*file, at);
  for (size_t i = 0; i < 4; ++i) (*file)[at + i] = uint8_t(sum >> (8 * i));
}
