// Small PE files for the resource reader and writer tests (and the fuzz seeds), built byte by byte
// without the code under test: a .text section holding one absolute address with its base
// relocation, the resource section, and by default the relocations after it, as MinGW links them.
// The resource tree is laid out depth first with the data last, unlike the writer's layout, so that
// the reader is shown to follow the tree rather than a layout.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace pe_test {

constexpr uint32_t FileAlignment = 0x200;
constexpr uint32_t SectionAlignment = 0x1000;
constexpr uint32_t TextAddress = 0x1000;
constexpr uint32_t ResourceAddress = 0x2000;
constexpr uint32_t AddressPlace = 0x10;  // in .text: the absolute address the relocation fixes up

// A type, name or language: a number, or a name when `name` is not empty.
struct Id {
  uint32_t number = 0;
  std::u16string name;
};
inline Id Num(uint32_t n) { return Id{n, {}}; }
inline Id Name(const std::string& s) { return Id{0, std::u16string(s.begin(), s.end())}; }

struct Resource {
  Id type;
  Id name;
  uint32_t language;
  std::vector<uint8_t> data;
  uint32_t codePage = 0;
};

struct Options {
  bool wide = false;                  // PE32+
  bool relocationsAfter = true;       // .reloc follows .rsrc; else .rsrc is last
  bool dataAfter = false;             // a .data section follows .rsrc
  bool addressIntoResources = false;  // the relocated address in .text points into .rsrc
  uint32_t checksum = 0;              // stored as is
  std::vector<uint8_t> certificate;   // appended at an 8-byte boundary, security directory set
  std::vector<uint8_t> overlay;       // appended after the last section
  std::vector<uint8_t> resourceSection;  // as given, instead of a tree of the resources
};

struct File {
  std::vector<uint8_t> bytes;
  size_t optionalHeader;  // offsets in `bytes`
  size_t directories;
  size_t sectionTable;
  size_t resourceOffset;  // raw data of .rsrc
  uint32_t resourceRawSize;
  size_t sectionCount;
};

inline void Put16(std::vector<uint8_t>* v, size_t at, uint32_t x) {
  (*v)[at] = uint8_t(x);
  (*v)[at + 1] = uint8_t(x >> 8);
}
inline void Put32(std::vector<uint8_t>* v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) (*v)[at + i] = uint8_t(x >> (8 * i));
}
inline uint32_t Get32(const std::vector<uint8_t>& v, size_t at) {
  return uint32_t(v[at]) | uint32_t(v[at + 1]) << 8 | uint32_t(v[at + 2]) << 16 | uint32_t(v[at + 3]) << 24;
}
inline uint32_t Align(uint32_t v, uint32_t a) { return (v + a - 1) / a * a; }

// A resource tree at address `base`. Resources of one type (and of one name) must be adjacent.
inline std::vector<uint8_t> ResourceTree(const std::vector<Resource>& resources, uint32_t base) {
  auto same = [](const Id& a, const Id& b) { return a.number == b.number && a.name == b.name; };
  std::vector<uint8_t> t;
  std::vector<std::pair<size_t, const Id*>> namePatches;  // entry field -> its id
  std::vector<std::pair<size_t, const Resource*>> leafPatches;
  auto directory = [&](size_t named, size_t total) {
    size_t at = t.size();
    t.resize(at + 16 + 8 * total);
    Put16(&t, at + 12, uint32_t(named));
    Put16(&t, at + 14, uint32_t(total - named));
    return at;
  };
  auto entry = [&](size_t dir, size_t i, const Id& id, uint32_t target) {
    size_t at = dir + 16 + 8 * i;
    if (id.name.empty()) Put32(&t, at, id.number);
    else namePatches.push_back({at, &id});
    Put32(&t, at + 4, target);
  };
  // Groups: types, then names within a type, in the order given (named before numbered assumed).
  std::vector<std::vector<std::vector<const Resource*>>> types;
  for (const Resource& r : resources) {
    if (types.empty() || !same(types.back()[0][0]->type, r.type)) types.push_back({});
    auto& names = types.back();
    if (names.empty() || !same(names.back()[0]->name, r.name)) names.push_back({});
    names.back().push_back(&r);
  }
  size_t namedTypes = 0;
  for (const auto& names : types) namedTypes += !names[0][0]->type.name.empty();
  size_t root = directory(namedTypes, types.size());
  for (size_t i = 0; i < types.size(); ++i) {
    size_t namedNames = 0;
    for (const auto& leaves : types[i]) namedNames += !leaves[0]->name.name.empty();
    size_t typeDir = directory(namedNames, types[i].size());
    entry(root, i, types[i][0][0]->type, 0x80000000u | uint32_t(typeDir));
    for (size_t j = 0; j < types[i].size(); ++j) {
      const auto& leaves = types[i][j];
      size_t languageDir = directory(0, leaves.size());
      entry(typeDir, j, leaves[0]->name, 0x80000000u | uint32_t(languageDir));
      for (size_t k = 0; k < leaves.size(); ++k) {
        entry(languageDir, k, Num(leaves[k]->language), 0);
        leafPatches.push_back({languageDir + 16 + 8 * k, leaves[k]});
      }
    }
  }
  for (auto& [at, id] : namePatches) {
    size_t s = t.size();
    t.resize(s + 2 + 2 * id->name.size());
    Put16(&t, s, uint32_t(id->name.size()));
    for (size_t c = 0; c < id->name.size(); ++c) Put16(&t, s + 2 + 2 * c, id->name[c]);
    Put32(&t, at, 0x80000000u | uint32_t(s));
  }
  t.resize(Align(uint32_t(t.size()), 4));
  std::vector<size_t> dataEntries;
  for (auto& [at, r] : leafPatches) {
    size_t e = t.size();
    t.resize(e + 16);
    Put32(&t, at + 4, uint32_t(e));
    Put32(&t, e + 4, uint32_t(r->data.size()));
    Put32(&t, e + 8, r->codePage);
    dataEntries.push_back(e);
  }
  for (size_t i = 0; i < leafPatches.size(); ++i) {
    const Resource* r = leafPatches[i].second;
    Put32(&t, dataEntries[i], base + uint32_t(t.size()));
    t.insert(t.end(), r->data.begin(), r->data.end());
    t.resize(Align(uint32_t(t.size()), 4));
  }
  return t;
}

// A resource tree of `count` resources (at most 65,535) without data, whose type and name are one
// name of `length` characters, stored once. Their 16-byte data entries overlap, one byte apart, in
// a run of zeros, so that the file grows by 9 bytes a resource.
inline std::vector<uint8_t> SharedNameTree(size_t length, size_t count) {
  const size_t languages = 48;  // after the root and the type directory, one entry each
  const size_t data = languages + 16 + 8 * count;
  const size_t name = data + count + 15;
  std::vector<uint8_t> t(name + 2 + 2 * length);
  for (size_t directory : {size_t(0), size_t(24)}) {
    Put16(&t, directory + 12, 1);
    Put32(&t, directory + 16, 0x80000000u | uint32_t(name));
    Put32(&t, directory + 20, 0x80000000u | uint32_t(directory + 24));
  }
  Put16(&t, languages + 14, uint32_t(count));
  for (size_t i = 0; i < count; ++i) {
    Put32(&t, languages + 16 + 8 * i, 0x409);
    Put32(&t, languages + 20 + 8 * i, uint32_t(data + i));
  }
  Put16(&t, name, uint32_t(length));
  for (size_t c = 0; c < length; ++c) Put16(&t, name + 2 + 2 * c, 'N');
  return t;
}

inline File Build(const std::vector<Resource>& resources, const Options& o = Options()) {
  struct Section { const char* name; uint32_t address; std::vector<uint8_t> data; uint32_t flags; };
  const uint64_t imageBase = o.wide ? 0x140000000ull : 0x400000u;
  const uint32_t tree = ResourceAddress;

  std::vector<uint8_t> text(0x60);
  for (size_t i = 0; i < text.size(); ++i) text[i] = uint8_t(0x90 + i);
  uint64_t target = imageBase + (o.addressIntoResources ? tree + 0x10 : TextAddress + 0x40);
  for (int i = 0; i < (o.wide ? 8 : 4); ++i) text[AddressPlace + i] = uint8_t(target >> (8 * i));

  std::vector<Section> sections = {{".text", TextAddress, text, 0x60000020}};
  std::vector<uint8_t> rsrc = o.resourceSection.empty() ? ResourceTree(resources, tree) : o.resourceSection;
  sections.push_back({".rsrc", tree, rsrc, 0xC0000040});
  uint32_t next = Align(tree + uint32_t(rsrc.size()), SectionAlignment);
  if (o.dataAfter) {
    sections.push_back({".data", next, std::vector<uint8_t>(0x20, 0xDA), 0xC0000040});
    next += SectionAlignment;
  }
  uint32_t relocAddress = 0;
  std::vector<uint8_t> reloc(12);
  Put32(&reloc, 0, TextAddress);
  Put32(&reloc, 4, 12);
  Put16(&reloc, 8, (o.wide ? 10u : 3u) << 12 | AddressPlace);
  if (o.relocationsAfter) {
    relocAddress = next;
    sections.push_back({".reloc", next, reloc, 0x42000040});
  } else {
    // In .text, after the code, so that the resource section is the last.
    relocAddress = TextAddress + 0x100;
    sections[0].data.resize(0x100);
    sections[0].data.insert(sections[0].data.end(), reloc.begin(), reloc.end());
  }

  const size_t optionalSize = o.wide ? 240 : 224;
  File f;
  f.sectionCount = sections.size();
  f.optionalHeader = 0x40 + 24;
  f.sectionTable = f.optionalHeader + optionalSize;
  std::vector<uint8_t>& b = f.bytes;
  b.assign(FileAlignment, 0);
  b[0] = 'M';
  b[1] = 'Z';
  Put32(&b, 0x3C, 0x40);
  b[0x40] = 'P';
  b[0x41] = 'E';
  Put16(&b, 0x44, o.wide ? 0x8664 : 0x14C);
  Put16(&b, 0x46, uint32_t(sections.size()));
  Put16(&b, 0x54, uint32_t(optionalSize));
  Put16(&b, 0x56, o.wide ? 0x22 : 0x102);
  const size_t op = f.optionalHeader;
  Put16(&b, op, o.wide ? 0x20B : 0x10B);
  Put32(&b, op + 16, TextAddress);  // entry point
  if (o.wide) {
    Put32(&b, op + 24, uint32_t(imageBase));
    Put32(&b, op + 28, uint32_t(imageBase >> 32));
  } else {
    Put32(&b, op + 28, uint32_t(imageBase));
  }
  Put32(&b, op + 32, SectionAlignment);
  Put32(&b, op + 36, FileAlignment);
  Put16(&b, op + 40, 4);
  Put16(&b, op + 48, 4);
  Put32(&b, op + 60, FileAlignment);  // SizeOfHeaders
  Put32(&b, op + 64, o.checksum);
  Put16(&b, op + 68, 2);
  Put16(&b, op + 70, 0x8140);
  const size_t dirs = op + (o.wide ? 112 : 96);
  f.directories = dirs;
  Put32(&b, dirs - 4, 16);
  Put32(&b, dirs + 8 * 2, tree);
  Put32(&b, dirs + 8 * 2 + 4, uint32_t(rsrc.size()));
  Put32(&b, dirs + 8 * 5, relocAddress);
  Put32(&b, dirs + 8 * 5 + 4, uint32_t(reloc.size()));

  uint32_t initialised = 0, imageEnd = 0;
  for (size_t i = 0; i < sections.size(); ++i) {
    const Section& s = sections[i];
    size_t e = f.sectionTable + 40 * i;
    for (size_t c = 0; s.name[c]; ++c) b[e + c] = uint8_t(s.name[c]);
    uint32_t raw = Align(uint32_t(s.data.size()), FileAlignment);
    Put32(&b, e + 8, uint32_t(s.data.size()));
    Put32(&b, e + 12, s.address);
    Put32(&b, e + 16, raw);
    Put32(&b, e + 20, uint32_t(b.size()));
    Put32(&b, e + 36, s.flags);
    if (s.flags & 0x40) initialised += raw;
    if (std::string(s.name) == ".rsrc") {
      f.resourceOffset = b.size();
      f.resourceRawSize = raw;
    }
    b.insert(b.end(), s.data.begin(), s.data.end());
    b.resize(Align(uint32_t(b.size()), FileAlignment));
    imageEnd = Align(s.address + uint32_t(s.data.size()), SectionAlignment);
  }
  Put32(&b, op + 8, initialised);
  Put32(&b, op + 56, imageEnd);
  b.insert(b.end(), o.overlay.begin(), o.overlay.end());
  if (!o.certificate.empty()) {
    b.resize(Align(uint32_t(b.size()), 8));
    Put32(&b, dirs + 8 * 4, uint32_t(b.size()));
    Put32(&b, dirs + 8 * 4 + 4, uint32_t(o.certificate.size()));
    b.insert(b.end(), o.certificate.begin(), o.certificate.end());
  }
  return f;
}

// A program's usual resources: an icon, its group and a manifest in language 0x409, the version
// resource in 0x809 and one RT_RCDATA skin in 0x407 (each language differs, so that a new
// resource's language shows where it came from).
inline std::vector<Resource> ProgramResources() {
  auto bytes = [](size_t n, uint8_t seed) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(seed + i * 13);
    return v;
  };
  return {
      {Num(3), Num(1), 0x409, bytes(40, 1)},
      {Num(10), Name("SKIN_100"), 0x407, bytes(300, 2)},
      {Num(14), Num(1), 0x409, bytes(20, 3)},
      {Num(16), Num(1), 0x809, bytes(92, 4), 1200},
      {Num(24), Num(1), 0x409, bytes(61, 5)},
  };
}

}  // namespace pe_test
