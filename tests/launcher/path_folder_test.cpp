// The folder part of paths: FolderOfPath, the default working folder of a started program, and
// the folder of a wide path.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "launcher/path_folder.h"
#include "runtime/strings.h"

namespace {

class FolderOfPathTest : public ::testing::Test {
 protected:
  static char buffer[StringWorkBufferSize];
  void SetUp() override {
    memset(buffer, 0, sizeof buffer);
    UseStringWorkBuffer(buffer, sizeof buffer);
  }
};
char FolderOfPathTest::buffer[StringWorkBufferSize];

TEST_F(FolderOfPathTest, Cases) {
  struct Case {
    const char* path;
    const char* folder;
  } cases[] = {
      {"C:\\Games\\Z\\launcher.exe", "C:\\Games\\Z\\"},
      {"\"C:\\Program Files\\Z\\run.exe\"", "C:\\Program Files\\Z\\"},
      {"\"C:\\Program Files\\Z\\run.exe\" /x", "C:\\Program Files\\Z\\"},
      {"C:\\Games\\Z\\", "C:\\Games\\Z\\"},
      {"\\run.exe", "\\"},
      {"\"\\run.exe\"", "\\"},
      // A quote inside the folder part cuts the result there.
      {"\"C:\\a\" \\b\\c.exe", "C:\\a"},
      {"C:\\x\"y\\z.exe", "C:\\x"},
      {"launcher.exe", ""},
      {"\"launcher.exe\"", ""},
      {"\"", ""},
      {"", ""},
      {nullptr, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path ? c.path : "(null)");
    char* start = WritePosition;
    char* result = FolderOfPath(WritePosition, c.path);
    EXPECT_EQ(result, start);
    EXPECT_STREQ(result, c.folder);
    EXPECT_EQ(WritePosition, result + strlen(c.folder));
    WritePosition = buffer;
  }
}

TEST_F(FolderOfPathTest, AppendsToTheTextBeingBuilt) {
  char* start = AppendString("folder=");
  FolderOfPath(WritePosition, "D:\\z\\a.exe");
  EXPECT_STREQ(start, "folder=D:\\z\\");
}

TEST_F(FolderOfPathTest, ReplacesItsOwnInputInPlace) {
  char* temporary = AppendString("\"C:\\Program Files\\Z\\run.exe\"");
  ++WritePosition;
  char* result = FolderOfPath(temporary, temporary);
  EXPECT_EQ(result, temporary);
  EXPECT_STREQ(result, "C:\\Program Files\\Z\\");
  EXPECT_EQ(WritePosition, temporary + strlen("C:\\Program Files\\Z\\"));
}

TEST(DefaultFolderOfFile, Cases) {
  struct Case {
    const char* file;
    DefaultFolderResult result;
    const char* folder;
  } cases[] = {
      {"C:\\Games\\Z\\zindle.exe", DefaultFolderBuilt, "C:\\Games\\Z\\"},
      {"C:\\Program Files\\Z\\zindle.exe", DefaultFolderBuilt, "C:\\Program Files\\Z\\"},
      {"C:\\zindle.exe", DefaultFolderBuilt, "C:\\"},
      {"a\\", DefaultFolderBuilt, "a\\"},
      {"zindle.exe", DefaultFolderNone, ""},
      // A backslash in first position is not searched.
      {"\\zindle.exe", DefaultFolderNone, ""},
      {"\\", DefaultFolderNone, ""},
      {"", DefaultFolderNone, ""},
      {nullptr, DefaultFolderNone, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file ? c.file : "(null)");
    char folder[512] = "untouched";
    EXPECT_EQ(DefaultFolderOfFile(c.file, folder, sizeof folder), c.result);
    EXPECT_STREQ(folder, c.result == DefaultFolderBuilt ? c.folder : "untouched");
  }
}

TEST(DefaultFolderOfFile, FolderMustFitWithBackslashAndTerminator) {
  // 510 characters, the backslash and the terminator fill 512 bytes exactly.
  std::string fits = std::string(510, 'f') + "\\zindle.exe";
  char folder[513];
  folder[512] = 'x';
  ASSERT_EQ(DefaultFolderOfFile(fits.c_str(), folder, 512), DefaultFolderBuilt);
  EXPECT_EQ(std::string(folder), std::string(510, 'f') + "\\");
  EXPECT_EQ(folder[512], 'x');

  std::string tooLong = std::string(511, 'f') + "\\zindle.exe";
  memset(folder, 'x', sizeof folder);
  EXPECT_EQ(DefaultFolderOfFile(tooLong.c_str(), folder, 512), DefaultFolderTooLong);
  EXPECT_EQ(folder[0], 'x');
  EXPECT_EQ(DefaultFolderOfFile("C:\\z.exe", folder, 3), DefaultFolderTooLong);
  EXPECT_EQ(DefaultFolderOfFile("C:\\z.exe", folder, 0), DefaultFolderTooLong);
}

TEST(WideFolderLength, Cases) {
  struct Case {
    const wchar_t* path;
    size_t length;
  } cases[] = {
      {L"C:\\Games\\Z\\launcher.exe", 11},
      {L"C:\\\u0418\u0433\u0440\u044b \u6e38\u620f\\launcher.exe", 11},
      {L"\\\\?\\C:\\very\\long\\launcher.exe", 17},
      {L"C:\\Games\\Z\\", 11},
      {L"\\launcher.exe", 1},
      {L"launcher.exe", 0},
      {L"", 0},
      {nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.length));
    EXPECT_EQ(WideFolderLength(c.path), c.length);
  }
}

// Reading the launcher's own path never tried a buffer between 16,640 and 32,767 characters.
TEST(NextPathBufferSize, GrowsToTheLongestPathAndStopsThere) {
  struct Case {
    uint32_t size;
    uint32_t next;
  } cases[] = {
      {260, 520},         {8320, 16640},      {16384, 32768},
      {16385, 32768},     {16640, 32768},     {32767, 32768},
      {32768, 0},         {65536, 0},         {0xFFFFFFFFu, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.size));
    EXPECT_EQ(NextPathBufferSize(c.size), c.next);
  }
  // From MAX_PATH the sizes tried end with the longest path itself.
  uint32_t last = 0;
  int tries = 0;
  for (uint32_t size = 260; size != 0 && tries < 64; size = NextPathBufferSize(size), ++tries) last = size;
  EXPECT_EQ(last, LongestWidePath);
  EXPECT_EQ(tries, 8);
}

}  // namespace
