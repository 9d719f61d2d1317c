// The resource writer of skinpack.exe, the system's UpdateResourceW, on small programs built byte
// by byte: what it writes reads back, everything else stays, a signature goes, and the header
// checksum is right again afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pe_file.h"
#include "pe_test_files.h"
#include "pe_test_steps.h"
#include "reskin.h"
#include "resource_writer.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(SystemResourceWriter, WritesReplacesAndRemovesSkinsKeepingEverythingElse) {
  std::vector<pe_test::Resource> resources = pe_test::ProgramResources();
  resources.insert(resources.begin() + 2, {pe_test::Num(10), pe_test::Name("SKIN_200"), 0x407, Bytes(700, 5)});
  pe_test::Options options;
  options.checksum = 0x1234;  // a program that carries a checksum gets a right one back
  const Bytes program = pe_test::Build(resources, options).bytes;
  const Bytes big(5000, 0xA5), small(100, 0x5A);
  struct Case {
    const char* what;
    std::vector<ProgramResource> skins;
  } cases[] = {
      {"both replaced, one larger than the section was", {{"SKIN_100", big}, {"SKIN_200", small}}},
      {"100 % replaced, 200 % removed", {{"SKIN_100", small}, {"SKIN_200", {}}}},
      {"a name in lower case finds the resource", {{"skin_100", small}, {"SKIN_200", {}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes out = pe_test::Write(program, c.skins);
    std::string error;
    EXPECT_TRUE(CheckReskinnedProgram(program, out, c.skins, &error)) << error;
    const std::vector<PeResource> after = pe_test::Read(out);
    for (const ProgramResource& skin : c.skins) {
      const PeResource* found = FindPeRcdata(after, skin.name);
      if (skin.data.empty()) {
        EXPECT_EQ(nullptr, found) << skin.name;
      } else {
        ASSERT_NE(nullptr, found) << skin.name;
        EXPECT_EQ(skin.data, found->data);
        EXPECT_EQ(0x407u, found->language) << "the language of the resource it replaced";
      }
    }
    PeFile pe;
    ASSERT_TRUE(ParsePeFile(out, &pe, &error)) << error;
    EXPECT_EQ(ComputePeChecksum(out, PeChecksumOffset(pe)), pe.checksum);
    EXPECT_EQ(out, pe_test::Write(program, c.skins)) << "the same inputs gave other bytes";
  }
}

TEST(SystemResourceWriter, ASignedProgramComesOutUnsignedAsFromItsUnsignedSelf) {
  pe_test::Options options;
  options.certificate = Bytes(64, 0x30);
  const Bytes signedProgram = pe_test::Build(pe_test::ProgramResources(), options).bytes;
  const Bytes program = pe_test::Build(pe_test::ProgramResources()).bytes;
  const std::vector<ProgramResource> skins = {{"SKIN_100", Bytes(300, 1)}, {"SKIN_200", Bytes(600, 2)}};
  const Bytes out = pe_test::Write(signedProgram, skins);
  PeFile pe;
  std::string error;
  ASSERT_TRUE(ParsePeFile(out, &pe, &error)) << error;
  EXPECT_FALSE(PeHasSignature(pe));
  EXPECT_EQ(pe_test::Write(program, skins), out);
}

TEST(SystemResourceWriter, RefusesWhatIsNoProgram) {
  Bytes out;
  std::string error;
  EXPECT_FALSE(WriteProgramResources(Bytes{'M', 'Z', 0, 0}, {{"SKIN_100", Bytes(4, 1)}}, &out, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
