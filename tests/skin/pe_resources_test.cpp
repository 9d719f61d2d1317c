// PE files on the host: headers, resources, the certificate table and the checksum, and the
// resource writer, on small programs built byte by byte (pe_test_files.h) and on the real
// launcher.exe of the Windows trees.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "pe_file.h"
#include "pe_test_files.h"
#include "pe_test_steps.h"
#include "resource_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;
using pe_test::Get32;
using pe_test::Name;
using pe_test::Num;
using pe_test::Parse;
using pe_test::Put32;
using pe_test::Read;
using pe_test::Write;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

Bytes Pattern(size_t n, uint8_t seed) {
  Bytes v(n);
  uint32_t x = seed * 2654435761u + 1;
  for (uint8_t& b : v) {
    x = x * 1103515245u + 12345u;
    b = uint8_t(x >> 16);
  }
  return v;
}

// A resource as text and bytes, so that lists compare and print readably.
struct Flat {
  std::string type;
  std::string name;
  uint32_t language;
  uint32_t codePage;
  Bytes data;
  bool operator==(const Flat& o) const {
    return type == o.type && name == o.name && language == o.language && codePage == o.codePage && data == o.data;
  }
};
void PrintTo(const Flat& f, std::ostream* os) {
  *os << f.type << "/" << f.name << " language " << std::hex << f.language << std::dec << " code page "
      << f.codePage << ", " << f.data.size() << " bytes";
}

std::string IdText(const pe_test::Id& id) {
  return id.name.empty() ? "#" + std::to_string(id.number) : std::string(id.name.begin(), id.name.end());
}
std::vector<Flat> Flatten(const std::vector<pe_test::Resource>& list) {
  std::vector<Flat> out;
  for (const auto& r : list) out.push_back({IdText(r.type), IdText(r.name), r.language, r.codePage, r.data});
  return out;
}
std::vector<Flat> Flatten(const std::vector<PeResource>& list) {
  std::vector<Flat> out;
  for (const auto& r : list)
    out.push_back({PeResourceIdText(r.type), PeResourceIdText(r.name), r.language, r.codePage, r.data});
  return out;
}

uint32_t Align(uint32_t v, uint32_t a) { return (v + a - 1) / a * a; }

// Checks that `out` is `in` with its resource section rebuilt and nothing else moved: the bytes
// before the resource section are the same but for the fields a new resource section changes
// (each computed here from the new section's size), the relocations that follow it are the same
// bytes at their new place, and the file ends there.
void ExpectOnlyTheResourceSectionChanged(const Bytes& in, const Bytes& out) {
  PeFile a = Parse(in), b = Parse(out);
  ASSERT_EQ(a.sections.size(), b.sections.size());
  uint32_t treeAddress = a.directories[PeDirectoryResource].address;
  size_t s = 0;
  while (a.sections[s].virtualAddress != treeAddress) ++s;
  const PeSection& rsrc = a.sections[s];
  uint32_t treeSize = b.directories[PeDirectoryResource].size;
  uint32_t rawSize = Align(treeSize, a.fileAlignment);
  ASSERT_GT(treeSize, 0u);

  Bytes expected(in.begin(), in.begin() + rsrc.rawOffset);
  Put32(&expected, rsrc.headerOffset + 8, treeSize);
  Put32(&expected, rsrc.headerOffset + 16, rawSize);
  Put32(&expected, PeDirectoryOffset(a, PeDirectoryResource) + 4, treeSize);
  Put32(&expected, PeSizeOfInitializedDataOffset(a),
        Get32(in, PeSizeOfInitializedDataOffset(a)) - rsrc.rawSize + rawSize);
  uint32_t imageEnd = Align(treeAddress + treeSize, a.sectionAlignment);
  size_t fileEnd = rsrc.rawOffset + size_t(rawSize);
  if (s + 1 < a.sections.size()) {
    const PeSection& reloc = a.sections[s + 1];
    Put32(&expected, reloc.headerOffset + 12, imageEnd);
    Put32(&expected, reloc.headerOffset + 20, uint32_t(fileEnd));
    Put32(&expected, PeDirectoryOffset(a, PeDirectoryRelocation), imageEnd);
    EXPECT_EQ(Bytes(out.begin() + fileEnd, out.begin() + fileEnd + reloc.rawSize),
              Bytes(in.begin() + reloc.rawOffset, in.begin() + reloc.rawOffset + reloc.rawSize))
        << "the relocations moved whole";
    imageEnd = Align(imageEnd + reloc.virtualSize, a.sectionAlignment);
    fileEnd += reloc.rawSize;
  }
  Put32(&expected, PeSizeOfImageOffset(a), imageEnd);
  if (a.checksum != 0) {
    EXPECT_EQ(b.checksum, ComputePeChecksum(out, PeChecksumOffset(b)));
    Put32(&expected, PeChecksumOffset(a), b.checksum);
  }
  EXPECT_EQ(out.size(), fileEnd);
  EXPECT_TRUE(Bytes(out.begin(), out.begin() + rsrc.rawOffset) == expected)
      << "headers and sections before the resources differ beyond the resource fields";
  for (const PeSection& section : b.sections)
    EXPECT_EQ(section.rawOffset % b.fileAlignment, 0u) << section.name << " lost its file alignment";
}

// --- Reading -------------------------------------------------------------------------------------

std::vector<pe_test::Resource> ManyResources() {
  auto list = pe_test::ProgramResources();
  // A named type, a named resource of a numbered type, and one name in two languages.
  list.insert(list.begin(), {Name("CUSTOM"), Num(1), 0x409, Pattern(33, 9)});
  list.insert(list.begin() + 3, {Num(10), Num(7), 0x407, Pattern(5, 10)});
  list.insert(list.begin() + 4, {Num(10), Num(7), 0x409, Pattern(6, 11), 1252});
  return list;
}

TEST(PeFile, ReadsHeadersSectionsAndEveryResource) {
  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "PE32+" : "PE32");
    pe_test::Options options;
    options.wide = wide;
    pe_test::File f = pe_test::Build(ManyResources(), options);
    PeFile pe = Parse(f.bytes);
    EXPECT_EQ(pe.wide, wide);
    EXPECT_EQ(pe.machine, wide ? 0x8664 : 0x14C);
    EXPECT_EQ(pe.imageBase, wide ? 0x140000000ull : 0x400000u);
    EXPECT_EQ(pe.fileAlignment, pe_test::FileAlignment);
    EXPECT_EQ(pe.sectionAlignment, pe_test::SectionAlignment);
    ASSERT_EQ(pe.sections.size(), 3u);
    EXPECT_EQ(pe.sections[1].name, ".rsrc");
    EXPECT_EQ(pe.sections[1].rawOffset, f.resourceOffset);
    EXPECT_EQ(pe.directories.size(), 16u);
    EXPECT_EQ(pe.directories[PeDirectoryResource].address, pe_test::ResourceAddress);
    EXPECT_FALSE(PeHasSignature(pe));
    EXPECT_EQ(Flatten(Read(f.bytes)), Flatten(ManyResources()));
  }
}

TEST(PeFile, FindsAnRcdataResourceByNameWhateverItsCase) {
  auto list = Read(pe_test::Build(ManyResources()).bytes);
  for (const char* name : {"SKIN_100", "skin_100", "Skin_100"}) {
    const PeResource* found = FindPeRcdata(list, name);
    ASSERT_NE(found, nullptr) << name;
    EXPECT_EQ(found->data, pe_test::ProgramResources()[1].data);
  }
  EXPECT_EQ(FindPeRcdata(list, "SKIN_10"), nullptr);
  EXPECT_EQ(FindPeRcdata(list, "SKIN_1000"), nullptr);
  EXPECT_EQ(FindPeRcdata(list, "7"), nullptr) << "a numbered resource is no name";
  EXPECT_EQ(FindPeRcdata(list, "CUSTOM"), nullptr) << "a type's name is no resource";
}

TEST(PeFile, ChecksumIsTheOnesComplementSumOfWordsPlusTheLength) {
  struct Case { Bytes file; size_t field; uint32_t sum; };
  const Case cases[] = {
      {{}, 100, 0},
      {{0x01, 0x02, 0xFF, 0xFF, 0x03}, 100, 0x0204 + 5},  // 0x0201 + 0xFFFF + 0x0003, carry folded; odd byte
      {{0x01, 0x02, 0xFF, 0xFF, 0x03}, 0, 0x0003 + 5},    // the field's four bytes count as zero
      {{0xFF, 0xFF, 0xFF, 0xFF}, 100, 0xFFFF + 4},
      {{0x10, 0x00, 0xAA, 0xBB, 0xCC, 0xDD, 0x20, 0x00}, 2, 0x30 + 8},
  };
  for (const Case& c : cases) EXPECT_EQ(ComputePeChecksum(c.file, c.field), c.sum);
}

// Damaged files: every refusal names its reason, and AddressSanitizer (this test's sources are
// built with it in the host tree) shows that nothing is read past the bytes.
TEST(PeFile, RefusesDamagedHeadersAndTreesWithoutReadingPastThem) {
  struct Case {
    const char* what;
    std::function<void(Bytes*, const pe_test::File&)> damage;
    const char* reason;
  };
  const size_t coff = 0x44;
  // Tree offsets, read from the file: entry i of the directory at tree offset `dir`.
  auto entry = [](const Bytes& b, const pe_test::File& f, uint32_t dir, size_t i) {
    return f.resourceOffset + dir + 16 + 8 * i;
  };
  auto down = [&](const Bytes& b, const pe_test::File& f, uint32_t dir, size_t i) {
    return Get32(b, entry(b, f, dir, i) + 4) & 0x7FFFFFFFu;
  };
  // The first icon's language entry and data entry: root entry 0 -> its name 0 -> language 0.
  auto language = [&](const Bytes& b, const pe_test::File& f) { return down(b, f, down(b, f, 0, 0), 0); };
  auto dataEntry = [&](const Bytes& b, const pe_test::File& f) {
    return f.resourceOffset + Get32(b, entry(b, f, language(b, f), 0) + 4);
  };
  const Case cases[] = {
      {"no MZ", [](Bytes* b, const pe_test::File&) { (*b)[0] = 'X'; }, "no MZ header"},
      {"header offset far out", [](Bytes* b, const pe_test::File&) { Put32(b, 0x3C, 0xFFFFFFF0u); },
       "PE header lies outside"},
      {"no PE signature", [](Bytes* b, const pe_test::File&) { (*b)[0x41] = 'X'; }, "no PE signature"},
      {"no sections", [&](Bytes* b, const pe_test::File&) { pe_test::Put16(b, coff + 2, 0); }, "0 sections"},
      {"97 sections", [&](Bytes* b, const pe_test::File&) { pe_test::Put16(b, coff + 2, 97); }, "97 sections"},
      {"optional header past the file", [&](Bytes* b, const pe_test::File&) { pe_test::Put16(b, coff + 16, 0xFFFF); },
       "optional header lies outside"},
      {"optional header too short", [&](Bytes* b, const pe_test::File&) { pe_test::Put16(b, coff + 16, 0x40); },
       "too short"},
      {"unknown optional header", [&](Bytes* b, const pe_test::File& f) { pe_test::Put16(b, f.optionalHeader, 0x107); },
       "unknown optional header"},
      {"directories past the optional header",
       [&](Bytes* b, const pe_test::File& f) {
         pe_test::Put16(b, coff + 16, uint32_t(f.directories - f.optionalHeader + 8));
       },
       "data directories run past"},
      {"file alignment not a power of two",
       [](Bytes* b, const pe_test::File& f) { Put32(b, f.optionalHeader + 36, 0x300); },
       "power of two"},
      {"section table past the file", [&](Bytes* b, const pe_test::File&) { pe_test::Put16(b, coff + 2, 60); },
       "section table lies outside"},
      {"section data past the file",
       [](Bytes* b, const pe_test::File& f) { Put32(b, f.sectionTable + 40 + 20, 0x7FFFFF00u); },
       "its data lies outside the file"},
      {"section past the address space",
       [](Bytes* b, const pe_test::File& f) { Put32(b, f.sectionTable + 40 + 12, 0xFFFFFF00u); },
       "end of the address space"},
      {"resource directory in no section",
       [](Bytes* b, const pe_test::File& f) { Put32(b, f.directories + 16, 0x90000); },
       "resource directory lies outside"},
      {"root with more entries than the section holds",
       [](Bytes* b, const pe_test::File& f) { pe_test::Put16(b, f.resourceOffset + 14, 0xFFFF); }, "entries run past"},
      {"a directory that holds itself",
       [&](Bytes* b, const pe_test::File& f) { Put32(b, entry(*b, f, 0, 0) + 4, 0x80000000u); }, "reached twice"},
      {"two types sharing one directory",
       [&](Bytes* b, const pe_test::File& f) { Put32(b, entry(*b, f, 0, 1) + 4, Get32(*b, entry(*b, f, 0, 0) + 4)); },
       "reached twice"},
      {"two languages sharing one data entry",
       [&](Bytes* b, const pe_test::File& f) {
         uint32_t other = down(*b, f, down(*b, f, 0, 2), 0);  // the group icon's language directory
         Put32(b, entry(*b, f, other, 0) + 4, Get32(*b, entry(*b, f, language(*b, f), 0) + 4));
       },
       "reached twice"},
      {"directory past the section",
       [&](Bytes* b, const pe_test::File& f) { Put32(b, entry(*b, f, 0, 0) + 4, 0x80000000u | 0x7FFF0); },
       "directory lies outside"},
      {"name past the section",
       [&](Bytes* b, const pe_test::File& f) { Put32(b, entry(*b, f, 0, 0), 0x80000000u | 0x7FFF0); },
       "name lies outside"},
      {"name longer than the section",
       [&](Bytes* b, const pe_test::File& f) {
         Put32(b, entry(*b, f, 0, 0), 0x80000000u);  // the root's first bytes: Characteristics
         Put32(b, f.resourceOffset, 0xFFFF);
       },
       "name runs past"},
      {"a type without names",
       [&](Bytes* b, const pe_test::File& f) { Put32(b, entry(*b, f, 0, 0) + 4, down(*b, f, 0, 0)); },
       "ends above the language level"},
      {"a language with a directory below",
       [&](Bytes* b, const pe_test::File& f) {
         size_t e = entry(*b, f, language(*b, f), 0) + 4;
         Put32(b, e, Get32(*b, e) | 0x80000000u);
       },
       "deeper than the language level"},
      {"a language by name",
       [&](Bytes* b, const pe_test::File& f) { Put32(b, entry(*b, f, language(*b, f), 0), 0x80000000u); },
       "language given by name"},
      {"data entry past the section",
       [&](Bytes* b, const pe_test::File& f) { Put32(b, entry(*b, f, language(*b, f), 0) + 4, 0x7FFF0); },
       "data entry lies outside"},
      {"data at no address of the file",
       [&](Bytes* b, const pe_test::File& f) { Put32(b, dataEntry(*b, f), 0x90000); }, "outside the file's sections"},
      {"data larger than its section",
       [&](Bytes* b, const pe_test::File& f) { Put32(b, dataEntry(*b, f) + 4, 0xFFFFFFF0u); },
       "outside the file's sections"},
  };
  for (bool wide : {false, true}) {
    pe_test::Options options;
    options.wide = wide;
    const pe_test::File f = pe_test::Build(pe_test::ProgramResources(), options);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (wide ? ", PE32+" : ", PE32"));
      Bytes damaged = f.bytes;
      c.damage(&damaged, f);
      ASSERT_NE(damaged, f.bytes);
      PeFile pe{};
      std::vector<PeResource> list;
      std::string error;
      bool read = ParsePeFile(damaged, &pe, &error) && ReadPeResources(damaged, pe, &list, &error);
      EXPECT_FALSE(read);
      EXPECT_TRUE(Contains(error, c.reason)) << error;
      Bytes out = {1, 2, 3};
      std::string writeError;
      EXPECT_FALSE(WriteProgramResources(damaged, {{"SKIN_100", {1}}}, &out, &writeError));
      EXPECT_EQ(writeError, error);
      EXPECT_EQ(out, Bytes({1, 2, 3}));
    }
  }
}

// A file cut anywhere: before its last section's end the headers are refused; inside the
// certificate table the file still reads, but the table no longer ends the file.
TEST(PeFile, EveryShortenedFileIsRefused) {
  for (bool wide : {false, true}) {
    pe_test::Options options;
    options.wide = wide;
    const size_t sectionsEnd = pe_test::Build(pe_test::ProgramResources(), options).bytes.size();
    options.certificate = Pattern(40, 1);
    const Bytes file = pe_test::Build(pe_test::ProgramResources(), options).bytes;
    for (size_t n = 0; n < file.size(); ++n) {
      SCOPED_TRACE(std::to_string(n) + " bytes" + (wide ? ", PE32+" : ", PE32"));
      Bytes cut(file.begin(), file.begin() + long(n));  // exactly n bytes: a read past them is caught
      PeFile pe{};
      std::string error;
      bool parsed = ParsePeFile(cut, &pe, &error);
      EXPECT_EQ(parsed, n >= sectionsEnd) << error;
      std::vector<PeResource> list;
      if (parsed) EXPECT_TRUE(ReadPeResources(cut, pe, &list, &error)) << error;
      Bytes stripped = cut;
      EXPECT_FALSE(StripPeSignature(&stripped, &error));
      EXPECT_EQ(stripped, cut);
      Bytes out;
      EXPECT_FALSE(WriteProgramResources(cut, {{"SKIN_100", {1}}}, &out, &error));
    }
  }
}

// --- The certificate table ----------------------------------------------------------------------

TEST(PeSignature, StripsATableAtTheEndAndSetsTheChecksum) {
  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "PE32+" : "PE32");
    pe_test::Options options;
    options.wide = wide;
    options.checksum = 1;
    const pe_test::File plain = pe_test::Build(pe_test::ProgramResources(), options);
    options.certificate = Pattern(0x123, 2);
    const pe_test::File signed_ = pe_test::Build(pe_test::ProgramResources(), options);
    EXPECT_TRUE(PeHasSignature(Parse(signed_.bytes)));

    Bytes stripped = signed_.bytes;
    std::string error;
    ASSERT_TRUE(StripPeSignature(&stripped, &error)) << error;
    EXPECT_EQ(stripped.size(), signed_.bytes.size() - 0x123);
    PeFile pe = Parse(stripped);
    EXPECT_FALSE(PeHasSignature(pe));
    EXPECT_EQ(pe.directories[PeDirectorySecurity].address, 0u);
    EXPECT_NE(pe.checksum, 1u);
    EXPECT_EQ(pe.checksum, ComputePeChecksum(stripped, PeChecksumOffset(pe)));
    Bytes expected = plain.bytes;
    Put32(&expected, PeChecksumOffset(pe), pe.checksum);
    EXPECT_EQ(stripped, expected) << "the unsigned program, but for its checksum";

    Bytes unsigned_ = plain.bytes;
    EXPECT_TRUE(StripPeSignature(&unsigned_, &error));
    EXPECT_EQ(unsigned_, plain.bytes) << "nothing to strip, nothing changed";
  }
}

TEST(PeSignature, RefusesATableThatIsNotAtTheEnd) {
  pe_test::Options options;
  options.certificate = Pattern(0x100, 3);
  const pe_test::File f = pe_test::Build(pe_test::ProgramResources(), options);
  const size_t entry = f.directories + 8 * PeDirectorySecurity;
  struct Case { const char* what; std::function<void(Bytes*)> damage; const char* reason; };
  const Case cases[] = {
      {"bytes after the table", [](Bytes* b) { b->push_back(0); }, "not at the end"},
      {"a table shorter than what follows it", [&](Bytes* b) { Put32(b, entry + 4, 0xF8); }, "not at the end"},
      {"a table over the sections",
       [&](Bytes* b) {
         Put32(b, entry, uint32_t(f.resourceOffset));
         Put32(b, entry + 4, uint32_t(b->size() - f.resourceOffset));
       },
       "overlaps the program's headers or sections"},
      // Cutting there would have left a file without its headers.
      {"a table over the section table, sections without data in the file",
       [&](Bytes* b) {
         Put32(b, f.optionalHeader + 60, 0);  // SizeOfHeaders
         for (size_t i = 0; i < f.sectionCount; ++i) Put32(b, f.sectionTable + 40 * i + 16, 0);
         Put32(b, entry, 0x40);
         Put32(b, entry + 4, uint32_t(b->size() - 0x40));
       },
       "overlaps the program's headers or sections"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes file = f.bytes;
    c.damage(&file);
    Bytes kept = file;
    std::string error;
    EXPECT_FALSE(StripPeSignature(&file, &error));
    EXPECT_TRUE(Contains(error, c.reason)) << error;
    EXPECT_EQ(file, kept);
    Bytes out;
    EXPECT_FALSE(WriteProgramResources(kept, {{"SKIN_100", {1}}}, &out, &error));
  }
}

// --- The writer ----------------------------------------------------------------------------------

TEST(ProgramResources, ReplacesAddsAndRemovesRcdataKeepingEveryOtherResource) {
  const auto base = pe_test::ProgramResources();
  auto without = [&](uint32_t type) {
    std::vector<pe_test::Resource> list;
    for (const auto& r : base)
      if (r.type.number != type) list.push_back(r);
    return list;
  };
  auto with = [](std::vector<pe_test::Resource> list, size_t at, pe_test::Resource r) {
    list.insert(list.begin() + long(at), r);
    return list;
  };
  const Bytes a = Pattern(500, 20), b = Pattern(7, 21);
  // The program's resources in order: icon #3, RCDATA SKIN_100 (0x407), group #14, version #16
  // (0x809), manifest #24.
  struct Case {
    const char* what;
    std::vector<pe_test::Resource> program;
    std::vector<ProgramResource> requests;
    std::vector<pe_test::Resource> expected;
  };
  const Case cases[] = {
      {"replace keeps the language and code page", base, {{"SKIN_100", a}},
       with(without(10), 1, {Num(10), Name("SKIN_100"), 0x407, a})},
      {"a lower-case name replaces the same resource", base, {{"skin_100", a}},
       with(without(10), 1, {Num(10), Name("SKIN_100"), 0x407, a})},
      {"add takes the language of the program's RCDATA", base, {{"SKIN_200", b}},
       with(base, 2, {Num(10), Name("SKIN_200"), 0x407, b})},
      {"add stores the name in upper case", base, {{"skin_200", b}},
       with(base, 2, {Num(10), Name("SKIN_200"), 0x407, b})},
      {"add without RCDATA takes the version's language", without(10), {{"SKIN_200", b}},
       with(without(10), 1, {Num(10), Name("SKIN_200"), 0x809, b})},
      {"remove drops the type when it empties", base, {{"SKIN_100", {}}}, without(10)},
      {"remove of a missing resource changes nothing", base, {{"SKIN_200", {}}}, base},
      {"nothing asked, nothing changed", base, {}, base},
      {"add, replace and remove together", with(base, 2, {Num(10), Name("SKIN_200"), 0x407, b}),
       {{"SKIN_300", b}, {"SKIN_100", {}}, {"SKIN_200", a}},
       with(with(without(10), 1, {Num(10), Name("SKIN_200"), 0x407, a}), 2, {Num(10), Name("SKIN_300"), 0x407, b})},
  };
  for (bool wide : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (wide ? ", PE32+" : ", PE32"));
      pe_test::Options options;
      options.wide = wide;
      const Bytes program = pe_test::Build(c.program, options).bytes;
      Bytes out = Write(program, c.requests);
      EXPECT_EQ(Flatten(Read(out)), Flatten(c.expected));
      ExpectOnlyTheResourceSectionChanged(program, out);
    }
  }
}

TEST(ProgramResources, DirectoriesAreInTheOrderTheLoaderSearches) {
  auto program = pe_test::ProgramResources();
  program.insert(program.begin() + 2, {Num(10), Num(5), 0x407, Pattern(3, 30)});
  program.insert(program.begin() + 2, {Num(10), Num(2), 0x407, Pattern(3, 31)});
  pe_test::File f = pe_test::Build(program);
  // Named first, compared with ASCII letters as upper case ("_" sorts after "Z" and "B" before
  // "_X"), then numbers ascending.
  Bytes out = Write(f.bytes, {{"b", {1}}, {"_X", {2}}, {"Z", {3}}, {"SKIN_200", {4}}, {"A", {5}}, {"[", {6}}});
  const size_t tree = f.resourceOffset;
  auto u16 = [&](size_t at) { return uint32_t(out[at] | out[at + 1] << 8); };
  // The root: five numbered types, and RT_RCDATA is the second.
  EXPECT_EQ(u16(tree + 12), 0u);
  ASSERT_EQ(u16(tree + 14), 5u);
  std::vector<uint32_t> types;
  for (size_t i = 0; i < 5; ++i) types.push_back(Get32(out, tree + 16 + 8 * i));
  EXPECT_EQ(types, std::vector<uint32_t>({3, 10, 14, 16, 24}));
  size_t rcdata = tree + (Get32(out, tree + 16 + 8 + 4) & 0x7FFFFFFF);
  EXPECT_EQ(Get32(out, rcdata + 4), 0u) << "no time stamp";
  ASSERT_EQ(u16(rcdata + 12), 7u);
  ASSERT_EQ(u16(rcdata + 14), 2u);
  std::vector<std::string> order;
  for (size_t i = 0; i < 9; ++i) {
    uint32_t field = Get32(out, rcdata + 16 + 8 * i);
    size_t languages = tree + (Get32(out, rcdata + 16 + 8 * i + 4) & 0x7FFFFFFF);
    uint32_t dataAddress = Get32(out, tree + Get32(out, languages + 16 + 4));
    EXPECT_EQ(dataAddress % 8, 0u) << "data aligned to 8 bytes";
    if (!(field & 0x80000000u)) {
      order.push_back("#" + std::to_string(field));
      continue;
    }
    size_t at = tree + (field & 0x7FFFFFFF);
    std::string name;
    for (uint32_t c = 0; c < u16(at); ++c) name.push_back(char(u16(at + 2 + 2 * c)));
    order.push_back(name);
  }
  EXPECT_EQ(order, std::vector<std::string>({"A", "B", "SKIN_100", "SKIN_200", "Z", "[", "_X", "#2", "#5"}));
}

TEST(ProgramResources, RelocationsMoveWithTheResourceSectionBothWays) {
  struct Case { const char* what; std::vector<ProgramResource> requests; };
  const Case cases[] = {
      {"grows by pages", {{"SKIN_200", Pattern(20000, 40)}}},
      {"grows within its page", {{"SKIN_200", {1, 2, 3}}}},
      {"shrinks", {{"SKIN_100", {}}}},
  };
  for (bool wide : {false, true}) {
    for (bool checksum : {false, true}) {
      for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what) + (wide ? ", PE32+" : ", PE32") + (checksum ? ", checksum" : ""));
        pe_test::Options options;
        options.wide = wide;
        options.checksum = checksum ? 1 : 0;
        auto program = pe_test::ProgramResources();
        if (Contains(c.what, "shrinks")) program[1].data = Pattern(3000, 41);
        const Bytes in = pe_test::Build(program, options).bytes;
        Bytes out = Write(in, c.requests);
        ExpectOnlyTheResourceSectionChanged(in, out);
        EXPECT_EQ(Parse(out).checksum == 0, !checksum);
        // The relocated address in .text still names its place, and the relocations say where.
        PeFile pe = Parse(out);
        size_t relocations = 0;
        ASSERT_TRUE(PeAddressToOffset(pe, pe.directories[PeDirectoryRelocation].address, 12, &relocations));
        EXPECT_EQ(Get32(out, relocations), pe_test::TextAddress);
      }
    }
  }
  // Without relocations after it, the resource section is simply the last one.
  pe_test::Options last;
  last.relocationsAfter = false;
  const Bytes in = pe_test::Build(pe_test::ProgramResources(), last).bytes;
  ExpectOnlyTheResourceSectionChanged(in, Write(in, {{"SKIN_200", Pattern(9000, 42)}}));
}

TEST(ProgramResources, SameInputsGiveTheSameBytes) {
  const Bytes in = pe_test::Build(pe_test::ProgramResources()).bytes;
  const std::vector<ProgramResource> requests = {{"SKIN_200", Pattern(5000, 50)}, {"SKIN_100", Pattern(70, 51)}};
  const Bytes once = Write(in, requests);
  EXPECT_EQ(Write(in, requests), once);
  EXPECT_EQ(Write(once, requests), once) << "writing the same resources again changes nothing";
  const Bytes rewritten = Write(in, {});
  EXPECT_EQ(Write(Write(in, {{"EXTRA", {1, 2}}}), {{"EXTRA", {}}}), rewritten)
      << "adding then removing a resource leaves what a plain rewrite gives";
}

TEST(ProgramResources, ASignedProgramComesOutUnsignedAndShorter) {
  for (bool wide : {false, true}) {
    SCOPED_TRACE(wide ? "PE32+" : "PE32");
    pe_test::Options options;
    options.wide = wide;
    options.checksum = 1;
    const Bytes plain = pe_test::Build(pe_test::ProgramResources(), options).bytes;
    options.certificate = Pattern(0x300, 60);
    const Bytes signed_ = pe_test::Build(pe_test::ProgramResources(), options).bytes;
    const std::vector<ProgramResource> requests = {{"SKIN_100", Pattern(90, 61)}};
    Bytes out = Write(signed_, requests);
    EXPECT_FALSE(PeHasSignature(Parse(out)));
    EXPECT_LT(out.size(), signed_.size());
    EXPECT_EQ(out, Write(plain, requests)) << "the same as from the program never signed";
  }
}

TEST(ProgramResources, RefusesWhatItCannotWriteSafely) {
  struct Case {
    const char* what;
    pe_test::Options options;
    std::vector<ProgramResource> requests;
    const char* reason;
  };
  auto opts = [](std::function<void(pe_test::Options*)> set) {
    pe_test::Options o;
    set(&o);
    return o;
  };
  const pe_test::Options plain;
  const Case cases[] = {
      {"a section other than the relocations after the resources",
       opts([](pe_test::Options* o) { o->dataAfter = true; }), {{"A", {1}}}, "not the last section"},
      {"a section after the resources, no relocations after them",
       opts([](pe_test::Options* o) { o->dataAfter = true; o->relocationsAfter = false; }), {{"A", {1}}},
       "not the last section"},
      {"code that holds an address in the resources",
       opts([](pe_test::Options* o) { o->addressIntoResources = true; }), {{"A", {1}}},
       "address inside its resource section"},
      {"an overlay after the last section", opts([](pe_test::Options* o) { o->overlay = {1, 2, 3}; }),
       {{"A", {1}}}, "overlay"},
      {"an empty name", plain, {{"", {1}}}, "empty name"},
      {"a name read as a number", plain, {{"#12", {1}}}, "starting with '#'"},
      {"a name beyond ASCII", plain, {{"SKIN\xC3\xA9", {1}}}, "printable ASCII"},
      {"a control character", plain, {{"A\nB", {1}}}, "printable ASCII"},
      {"one name twice", plain, {{"SKIN_200", {1}}, {"skin_200", {}}}, "given twice"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes in = pe_test::Build(pe_test::ProgramResources(), c.options).bytes;
    Bytes out = {7};
    std::string error;
    EXPECT_FALSE(WriteProgramResources(in, c.requests, &out, &error));
    EXPECT_TRUE(Contains(error, c.reason)) << error;
    EXPECT_EQ(out, Bytes({7}));
  }
  // A name in two languages: which to replace is unclear; removing takes both.
  auto program = pe_test::ProgramResources();
  program.insert(program.begin() + 2, {Num(10), Name("SKIN_100"), 0x409, Pattern(4, 70)});
  const Bytes in = pe_test::Build(program).bytes;
  Bytes out;
  std::string error;
  EXPECT_FALSE(WriteProgramResources(in, {{"SKIN_100", {1}}}, &out, &error));
  EXPECT_TRUE(Contains(error, "2 languages")) << error;
  EXPECT_EQ(FindPeRcdata(Read(Write(in, {{"SKIN_100", {}}})), "SKIN_100"), nullptr);
}

// --- The real program ----------------------------------------------------------------------------

// launcher.exe of a Windows tree, or empty when that tree is not built.
Bytes Launcher(const char* path) {
  Bytes file;
  if (FILE* f = std::fopen(path, "rb")) {
    int c;
    while ((c = std::fgetc(f)) != EOF) file.push_back(uint8_t(c));
    std::fclose(f);
  }
  return file;
}

// The launchers of the Windows trees that are built (the host tree's tests run after those are).
std::vector<std::pair<std::string, Bytes>> BuiltLaunchers() {
  std::vector<std::pair<std::string, Bytes>> found;
  for (const char* path : {ZINDLE_TEST_LAUNCHER_WIN32, ZINDLE_TEST_LAUNCHER_WIN64}) {
    Bytes file = Launcher(path);
    if (!file.empty()) found.push_back({path, file});
  }
  return found;
}

// The skins' sizes in the program today: the 100 % and 200 % blocks.
const size_t Skin100Size = 34784, Skin200Size = 87186;

std::vector<Flat> AllBut(const std::vector<PeResource>& list, const char* a, const char* b) {
  std::vector<PeResource> kept;
  for (const PeResource& r : list) {
    bool named = PeSameResourceId(r.name, PeNamedId(a)) || PeSameResourceId(r.name, PeNamedId(b));
    if (r.type.id != PeTypeRcdata || !named) kept.push_back(r);
  }
  return Flatten(kept);
}

TEST(LauncherResources, TheLinkersChecksumAndTheProgramsResourcesAreRead) {
  auto launchers = BuiltLaunchers();
  if (launchers.empty()) GTEST_SKIP() << "no Windows tree is built";
  for (const auto& [path, file] : launchers) {
    SCOPED_TRACE(path);
    PeFile pe = Parse(file);
    EXPECT_NE(pe.checksum, 0u);
    EXPECT_EQ(ComputePeChecksum(file, PeChecksumOffset(pe)), pe.checksum) << "the sum the linker stored";
    auto list = Read(file);
    for (uint32_t type : {PeTypeIcon, PeTypeGroupIcon, PeTypeVersion, PeTypeManifest}) {
      bool found = false;
      for (const PeResource& r : list) found |= !r.type.named && r.type.id == type && !r.data.empty();
      EXPECT_TRUE(found) << "type " << type;
    }
  }
}

TEST(LauncherResources, WrittenSkinsReadBackAndNothingElseChanges) {
  auto launchers = BuiltLaunchers();
  if (launchers.empty()) GTEST_SKIP() << "no Windows tree is built";
  for (const auto& [path, in] : launchers) {
    SCOPED_TRACE(path);
    const Bytes s100 = Pattern(Skin100Size, 80), s200 = Pattern(Skin200Size, 81);
    const std::vector<ProgramResource> requests = {{"SKIN_100", s100}, {"SKIN_200", s200}};
    Bytes out = Write(in, requests);
    ExpectOnlyTheResourceSectionChanged(in, out);
    auto before = Read(in), after = Read(out);
    ASSERT_NE(FindPeRcdata(after, "SKIN_100"), nullptr);
    ASSERT_NE(FindPeRcdata(after, "SKIN_200"), nullptr);
    EXPECT_EQ(FindPeRcdata(after, "SKIN_100")->data, s100);
    EXPECT_EQ(FindPeRcdata(after, "SKIN_200")->data, s200);
    EXPECT_EQ(AllBut(after, "SKIN_100", "SKIN_200"), AllBut(before, "SKIN_100", "SKIN_200"));
    uint32_t language = 0;
    for (const PeResource& r : before)
      if (r.type.id == PeTypeVersion) language = r.language;
    EXPECT_EQ(FindPeRcdata(after, "SKIN_200")->language, language) << "the skins agree with the version resource";
    EXPECT_EQ(Write(in, requests), out);
    EXPECT_EQ(Write(out, requests), out);
  }
}

TEST(LauncherResources, TheWrittenShippedProgramPassesTheReleaseCheck) {
  const Bytes in = Launcher(ZINDLE_TEST_LAUNCHER_WIN32);
  if (in.empty()) GTEST_SKIP() << ZINDLE_TEST_LAUNCHER_WIN32 << " is not built";
  // The program's own two skins, swapped: real skin blocks, as the check reads them, that change
  // the resource section's layout.
  const auto list = Read(in);
  ASSERT_NE(FindPeRcdata(list, "SKIN_100"), nullptr);
  ASSERT_NE(FindPeRcdata(list, "SKIN_200"), nullptr);
  Bytes out = Write(in, {{"SKIN_100", FindPeRcdata(list, "SKIN_200")->data},
                         {"SKIN_200", FindPeRcdata(list, "SKIN_100")->data}});
  ASSERT_NE(out, in);
  const std::string file = std::string(ZINDLE_TEST_OUTPUT_DIR) + "/written-launcher.exe";
  FILE* f = std::fopen(file.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fwrite(out.data(), 1, out.size(), f), out.size());
  std::fclose(f);
  const std::string command = std::string(ZINDLE_PYTHON) + " " + ZINDLE_RELEASE_CHECK + " --version " +
                              ZINDLE_VERSION + " " + file + " 2>&1";
  FILE* check = popen(command.c_str(), "r");
  ASSERT_NE(check, nullptr);
  std::string output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, check)) output += buffer;
  EXPECT_EQ(pclose(check), 0) << output;
  EXPECT_TRUE(Contains(output, "release check passed")) << output;
}

}  // namespace
