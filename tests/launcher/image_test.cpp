// Checks the built launcher.exe as a Windows loader sees it: a GUI program for the architecture of
// its build tree that imports only system DLLs and carries the program icon and the
// common-controls manifest.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/whole_file.h"

namespace {

std::string LauncherPath() { return LAUNCHER_EXE_PATH; }

// The launcher is built for the same architecture as this test: a PE32 image on i686, a PE32+
// image on x86_64, whose optional header is laid out differently.
typedef IMAGE_NT_HEADERS BuiltNtHeaders;
#ifdef _WIN64
const WORD BuiltMachine = IMAGE_FILE_MACHINE_AMD64;
#else
const WORD BuiltMachine = IMAGE_FILE_MACHINE_I386;
#endif

struct PeView {
  const std::vector<unsigned char>* file;
  const BuiltNtHeaders* nt;
};

// Maps a relative virtual address to its offset in the file through the section table.
long FileOffsetOf(const PeView& pe, DWORD rva) {
  const IMAGE_SECTION_HEADER* s = IMAGE_FIRST_SECTION(pe.nt);
  for (int i = 0; i < pe.nt->FileHeader.NumberOfSections; ++i, ++s) {
    if (rva >= s->VirtualAddress && rva < s->VirtualAddress + s->SizeOfRawData)
      return (long)(rva - s->VirtualAddress + s->PointerToRawData);
  }
  return -1;
}

// Reads an image of the build's architecture and checks its headers.
void LoadImage(const std::string& path, std::vector<unsigned char>* bytes, PeView* pe) {
  *bytes = ReadWholeFile(path);
  ASSERT_GT(bytes->size(), sizeof(IMAGE_DOS_HEADER)) << path;
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes->data());
  ASSERT_EQ(dos->e_magic, IMAGE_DOS_SIGNATURE);
  ASSERT_LT((size_t)dos->e_lfanew + sizeof(BuiltNtHeaders), bytes->size());
  pe->file = bytes;
  pe->nt = reinterpret_cast<const BuiltNtHeaders*>(bytes->data() + dos->e_lfanew);
  ASSERT_EQ(pe->nt->Signature, IMAGE_NT_SIGNATURE);
  // Only the optional header of the build's own format may be read through BuiltNtHeaders.
  ASSERT_EQ(pe->nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR_MAGIC) << path;
}

// The names of the DLLs the image imports, in table order.
void ReadImports(const PeView& pe, std::vector<std::string>* names) {
  const IMAGE_DATA_DIRECTORY& dir = pe.nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  long at = FileOffsetOf(pe, dir.VirtualAddress);
  ASSERT_GE(at, 0);
  for (auto imp = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(pe.file->data() + at); imp->Name; ++imp) {
    long nameAt = FileOffsetOf(pe, imp->Name);
    ASSERT_GE(nameAt, 0);
    names->push_back(reinterpret_cast<const char*>(pe.file->data() + nameAt));
  }
}

// The system DLLs the product may import.
bool IsAllowedImport(const std::string& name) {
  static const char* const allowed[] = {"KERNEL32.dll", "USER32.dll",   "GDI32.dll",  "ADVAPI32.dll",
                                        "SHELL32.dll",  "COMCTL32.dll", "msvcrt.dll", "ole32.dll"};
  for (const char* a : allowed) {
    if (lstrcmpiA(name.c_str(), a) == 0) return true;
  }
  return false;
}

bool Imports(const std::vector<std::string>& names, const char* library) {
  for (const std::string& name : names) {
    if (lstrcmpiA(name.c_str(), library) == 0) return true;
  }
  return false;
}

class LauncherImage : public ::testing::Test {
 protected:
  void SetUp() override { LoadImage(LauncherPath(), &bytes, &pe); }
  std::vector<unsigned char> bytes;
  PeView pe{};
};

TEST_F(LauncherImage, IsAGuiProgramOfTheBuildsArchitecture) {
  EXPECT_EQ(pe.nt->FileHeader.Machine, BuiltMachine);
  EXPECT_EQ(pe.nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR_MAGIC);
  EXPECT_EQ(pe.nt->OptionalHeader.Subsystem, IMAGE_SUBSYSTEM_WINDOWS_GUI);
  EXPECT_TRUE(pe.nt->FileHeader.Characteristics & IMAGE_FILE_EXECUTABLE_IMAGE);
}

TEST_F(LauncherImage, ImportsOnlySystemLibraries) {
  std::vector<std::string> names;
  ReadImports(pe, &names);
  EXPECT_GE(names.size(), 1u);
  for (const std::string& name : names) EXPECT_TRUE(IsAllowedImport(name)) << "imports " << name;
}

// The shell and COM libraries are loaded when the game is started: at process start they would
// delay the window by the time it takes to load them.
TEST_F(LauncherImage, LoadsNeitherShellNorComAtStart) {
  std::vector<std::string> names;
  ReadImports(pe, &names);
  EXPECT_FALSE(Imports(names, "SHELL32.dll"));
  EXPECT_FALSE(Imports(names, "ole32.dll"));
  EXPECT_TRUE(Imports(names, "USER32.dll")) << "the import table was read";
}

// The launcher's services (registry, shell, message box), linked the way launcher.exe is, bring
// in the registry and shell libraries and nothing but system DLLs.
TEST(ServicesImage, ImportsOnlySystemLibraries) {
  std::vector<unsigned char> bytes;
  PeView pe{};
  LoadImage(SERVICES_PROBE_PATH, &bytes, &pe);
  if (HasFatalFailure()) return;
  std::vector<std::string> names;
  ReadImports(pe, &names);
  for (const std::string& name : names) EXPECT_TRUE(IsAllowedImport(name)) << "imports " << name;
  EXPECT_TRUE(Imports(names, "ADVAPI32.dll"));
  EXPECT_TRUE(Imports(names, "SHELL32.dll"));
}

TEST_F(LauncherImage, CarriesIconAndCommonControlsManifest) {
  HMODULE mod = LoadLibraryExA(LauncherPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(mod, nullptr);
  EXPECT_NE(FindResourceA(mod, MAKEINTRESOURCEA(1), (LPCSTR)RT_GROUP_ICON), nullptr);
  HRSRC res = FindResourceA(mod, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
  ASSERT_NE(res, nullptr);
  const char* text = static_cast<const char*>(LockResource(LoadResource(mod, res)));
  ASSERT_NE(text, nullptr);
  std::string manifest(text, SizeofResource(mod, res));
  // One manifest serves the i686 and the x86_64 build: it names no architecture of its own.
  for (const char* part : {"name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
                           "processorArchitecture=\"*\"", "publicKeyToken=\"6595b64144ccf1df\"",
                           "language=\"*\""}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
  FreeLibrary(mod);
}

}  // namespace
