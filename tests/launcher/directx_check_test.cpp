// The DirectX check against real values in the test prefix's registry: values of every type and
// length are written with RegSetValueExA, read back through ReadDirectXVersion and classified by
// CheckDirectXVersion; the original value is put back after each test.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "box_watch.h"
#include "launcher/directx_check.h"
#include "launcher/launcher_state.h"
#include "runtime/runtime_state.h"
#include "runtime/strings.h"
#include "support/runtime_setup.h"

namespace {

const char DirectXKey[] = "SOFTWARE\\Microsoft\\DirectX";

std::string Bytes(const char* text, size_t length) { return std::string(text, length); }

// Keeps the original "Version" value (or its absence) and puts it back afterwards.
class DirectXRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, DirectXKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    DWORD size = 0;
    hadValue = RegQueryValueExA(key, "Version", nullptr, &originalType, nullptr, &size) == ERROR_SUCCESS;
    if (hadValue) {
      original.resize(size + 1);
      ASSERT_EQ(RegQueryValueExA(key, "Version", nullptr, &originalType, original.data(), &size), ERROR_SUCCESS);
      original.resize(size);
    }
    memset(&Launcher, 0xA5, sizeof Launcher);
    Launcher.DirectXVersionName = nullptr;
    Launcher.DirectXVersionText = nullptr;
    startPosition = WritePosition;
  }
  void TearDown() override {
    if (hadValue) {
      RegSetValueExA(key, "Version", 0, originalType, original.data(), static_cast<DWORD>(original.size()));
    } else {
      RegDeleteValueA(key, "Version");
    }
    RegCloseKey(key);
    EXPECT_EQ(WritePosition, startPosition);
    EXPECT_TRUE(HeapValidate(RuntimeState.heap, 0, nullptr));
  }
  void SetVersion(DWORD type, const std::string& data) {
    ASSERT_EQ(RegSetValueExA(key, "Version", 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
  }
  HKEY key = nullptr;
  bool hadValue = false;
  DWORD originalType = 0;
  std::vector<BYTE> original;
  char* startPosition = nullptr;
};

TEST_F(DirectXRegistry, ValuesOfEveryTypeAndLength) {
  struct Case {
    const char* what;
    DWORD type;
    std::string data;
    std::string text;  // what ReadDirectXVersion gives
    const char* name;
    int accepted;
  } cases[] = {
      {"9.0c", REG_SZ, Bytes("4.09.00.0904", 13), "4.09.00.0904", "9.0c", 1},
      {"9.0b", REG_SZ, Bytes("4.09.00.0902", 13), "4.09.00.0902", "9.0b", 0},
      {"unterminated string", REG_SZ, "4.08.01.0881", "4.08.01.0881", "8.1", 0},
      {"unlisted build", REG_SZ, Bytes("4.06.02.0436", 13), "4.06.02.0436", "????", 1},
      {"single digit", REG_SZ, Bytes("9", 2), "9", "????", 1},
      {"letters at the end", REG_SZ, Bytes("4.09.abcd", 10), "4.09.abcd", "????", 1},
      {"empty string", REG_SZ, Bytes("", 1), "", "????", 1},
      {"zero bytes of string", REG_SZ, "", "", "????", 1},
      {"expandable string", REG_EXPAND_SZ, Bytes("4.09.00.0901", 13), "4.09.00.0901", "9.0a", 0},
      {"first of several strings", REG_MULTI_SZ, Bytes("4.07.00.0700\0second\0", 21), "4.07.00.0700", "7.0", 0},
      {"binary text", REG_BINARY, "4.08.00.0400", "4.08.00.0400", "8", 0},
      {"binary cut at a zero", REG_BINARY, Bytes("9\0" "0902", 6), "9", "????", 1},
      {"empty binary", REG_BINARY, "", "", "????", 1},
      {"number whose bytes read 0904", REG_DWORD, Bytes("0904", 4), "0904", "9.0c", 1},
      {"number 0x902", REG_DWORD, Bytes("\x02\x09\0\0", 4), "\x02\x09", "????", 1},
      {"number 0", REG_DWORD, Bytes("\0\0\0\0", 4), "", "????", 1},
      {"huge string", REG_SZ, std::string(100000, '7') + Bytes("0902", 5), std::string(100000, '7') + "0902",
       "9.0b", 0},
      {"huge unterminated binary", REG_BINARY, std::string(70000, 'x') + "0716", std::string(70000, 'x') + "0716",
       "7.0a", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetVersion(c.type, c.data);

    char* text = ReadDirectXVersion();
    EXPECT_EQ(std::string(text ? text : ""), c.text);
    if (text) {
      EXPECT_EQ(HeapSize(RuntimeState.heap, 0, text), c.text.size() + 1) << "a stored string's block";
    }
    ReleaseString(text);
    EXPECT_EQ(WritePosition, startPosition);

    CheckDirectXVersion();
    EXPECT_STREQ(Launcher.DirectXVersionName, c.name);
    EXPECT_EQ(Launcher.DirectXAccepted, c.accepted);
    std::string lastFour = c.text.size() > 4 ? c.text.substr(c.text.size() - 4) : c.text;
    EXPECT_EQ(std::string(Launcher.DirectXVersionText ? Launcher.DirectXVersionText : ""), lastFour);
    EXPECT_EQ(WritePosition, startPosition);
    ASSERT_TRUE(HeapValidate(RuntimeState.heap, 0, nullptr));
  }
  EXPECT_EQ(Launcher.DirectXVersionNumber, 716);
}

TEST_F(DirectXRegistry, MissingValueIsAccepted) {
  RegDeleteValueA(key, "Version");
  EXPECT_EQ(ReadDirectXVersion(), nullptr);
  CheckDirectXVersion();
  EXPECT_EQ(Launcher.DirectXAccepted, 1);
  EXPECT_STREQ(Launcher.DirectXVersionName, "????");
  EXPECT_EQ(Launcher.DirectXVersionText, nullptr);
}

TEST_F(DirectXRegistry, RefusalNamesTheVersionFound) {
  SetVersion(REG_SZ, Bytes("4.08.00.0400", 13));
  CheckDirectXVersion();
  ASSERT_EQ(Launcher.DirectXAccepted, 0);
  BoxWatch watch = {"Incorrect DirectX detected", IDOK, nullptr, nullptr};
  StartBoxWatch(&watch);
  ShowDirectXRefusal();
  ASSERT_TRUE(FinishBoxWatch(&watch));
  EXPECT_STREQ(watch.title, "Incorrect DirectX detected");
  EXPECT_EQ(std::string(watch.text),
            "Zindle requires DirectX 9c or above to work, this computer is running DirectX 8"
            "\r            Please visit www.microsoft.com To update To latest version.");
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  StartRuntimeForTests();
  return RUN_ALL_TESTS();
}
