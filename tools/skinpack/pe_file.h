// Reading PE files (PE32 and PE32+) held in memory, without <windows.h>: headers, sections, data
// directories, the resource tree, the Authenticode certificate table and the header checksum.
//
// The tool may be handed any file, so every offset and size read from it is checked against what
// it points into before anything is read there; a file that does not hold together is refused
// with a message, never read past its end.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t PeTypeIcon = 3;
constexpr uint32_t PeTypeRcdata = 10;
constexpr uint32_t PeTypeGroupIcon = 14;
constexpr uint32_t PeTypeVersion = 16;
constexpr uint32_t PeTypeManifest = 24;

constexpr size_t PeDirectoryResource = 2;
constexpr size_t PeDirectorySecurity = 4;    // a file offset, not an address
constexpr size_t PeDirectoryRelocation = 5;

// Section flag: the section holds initialised data (counted in SizeOfInitializedData).
constexpr uint32_t PeSectionInitializedData = 0x40;

struct PeSection {
  std::string name;  // up to 8 characters, as stored
  uint32_t virtualAddress;
  uint32_t virtualSize;
  uint32_t rawOffset;
  uint32_t rawSize;
  uint32_t characteristics;
  size_t headerOffset;  // of its 40-byte entry in the section table
};

struct PeDirectory {
  uint32_t address;
  uint32_t size;
};

struct PeFile {
  bool wide;  // PE32+
  uint16_t machine;
  size_t coffOffset;      // of the COFF file header, just after "PE\0\0"
  size_t optionalOffset;  // of the optional header
  uint64_t imageBase;
  uint32_t sectionAlignment;
  uint32_t fileAlignment;
  uint32_t sizeOfImage;
  uint32_t sizeOfHeaders;
  uint32_t checksum;
  uint32_t symbolTableOffset;        // COFF symbols (unstripped programs), 0 when none
  std::vector<PeDirectory> directories;  // as many as the header declares, at most 16
  std::vector<PeSection> sections;
};

// Where header fields sit in the file, for writers.
size_t PeChecksumOffset(const PeFile& pe);
size_t PeSizeOfInitializedDataOffset(const PeFile& pe);
size_t PeSizeOfImageOffset(const PeFile& pe);
size_t PeDirectoryOffset(const PeFile& pe, size_t index);

// Reads the headers and the section table. Refuses a file whose headers or sections' raw data do
// not lie inside it, alignments that are not powers of two, and more than 96 sections.
bool ParsePeFile(const std::vector<uint8_t>& file, PeFile* pe, std::string* error);

// A directory entry, or {0, 0} when the header declares fewer directories.
PeDirectory PeDirectoryAt(const PeFile& pe, size_t index);

// The file offset of `size` bytes at address `rva` when they lie wholly in one section's raw data.
bool PeAddressToOffset(const PeFile& pe, uint32_t rva, uint32_t size, size_t* offset);

// A resource type, name or language: a number, or a UTF-16 name.
struct PeResourceId {
  bool named = false;
  uint32_t id = 0;
  std::u16string name;
};

PeResourceId PeNumberedId(uint32_t id);
PeResourceId PeNamedId(const std::string& ascii);
// "#10" for a number; the name itself, with '?' for characters outside printable ASCII.
std::string PeResourceIdText(const PeResourceId& id);
// Whether two ids are the same resource the way the system looks them up: numbers equal, or
// names equal without regard to the case of ASCII letters.
bool PeSameResourceId(const PeResourceId& a, const PeResourceId& b);

struct PeResource {
  PeResourceId type;
  PeResourceId name;
  uint32_t language = 0;
  uint32_t codePage = 0;
  std::vector<uint8_t> data;
};

// Every resource in the file, in the order of its resource tree. True with an empty list for a file
// without resources. Refuses a tree that points outside its section, meets a directory twice
// (a loop, or a shared branch), names a language, or whose data lies outside the file; and one
// that would make the list hold more than 256 MiB of data or 16 MiB of type and name text.
bool ReadPeResources(const std::vector<uint8_t>& file, const PeFile& pe, std::vector<PeResource>* resources,
                     std::string* error);

// The RT_RCDATA resource called `name` (case of ASCII letters ignored), its first language; null
// when there is none.
const PeResource* FindPeRcdata(const std::vector<PeResource>& resources, const std::string& name);

// Whether the file carries an Authenticode certificate table.
bool PeHasSignature(const PeFile& pe);

// Removes the certificate table: clears the security directory entry and cuts the table off the end
// of the file, and sets the checksum anew when the file had one. Refuses (changing nothing) when
// the table is not at the end of the file. True without a change for an unsigned file.
bool StripPeSignature(std::vector<uint8_t>* file, std::string* error);

// The header checksum: the 16-bit one's-complement sum of the file's words with the checksum field
// taken as zero (a last odd byte counts as a word of its own), plus the file's length.
uint32_t ComputePeChecksum(const std::vector<uint8_t>& file, size_t checksumOffset);

// Stores the file's checksum in its header field (PeChecksumOffset of `pe`, the file's parsed
// headers).
void SetPeChecksum(std::vector<uint8_t>* file, const PeFile& pe);
