// The DirectX classification of the registry's version text, as one table.
#include <gtest/gtest.h>

#include <string>

#include "launcher/directx_classify.h"

namespace {

TEST(DirectXClassification, WholeTable) {
  struct Case {
    const char* text;
    int32_t number;
    const char* name;
    int accepted;
  } cases[] = {
      // The table's rows, as registry texts.
      {"4.09.00.0904", 904, "9.0c", 1},
      {"4.09.00.0905", 905, "9.0c", 1},
      {"4.09.00.9999", 9999, "9.0c", 1},
      {"4.09.00.0903", 903, "????", 1},  // not listed: accepted
      {"4.09.00.0902", 902, "9.0b", 0},
      {"4.09.00.0901", 901, "9.0a", 0},
      {"4.09.00.0900", 900, "9.0", 0},
      {"4.08.01.0881", 881, "8.1", 0},
      {"4.08.01.0810", 810, "8.1", 0},
      {"4.08.00.0400", 400, "8", 0},
      {"4.07.00.0716", 716, "7.0a", 0},
      {"4.07.00.0700", 700, "7.0", 0},
      {"4.06.02.0436", 436, "????", 1},
      // An older version whose build number is above 903 passes as 9.0c.
      {"4.05.01.1721", 1721, "9.0c", 1},
      // Neighbours of refused numbers are accepted.
      {"4.07.00.0701", 701, "????", 1},
      {"4.08.01.0880", 880, "????", 1},
      {"4.08.01.0811", 811, "????", 1},
      // Only the last four characters count.
      {"garbage 0902", 902, "9.0b", 0},
      {"0902 garbage", 0, "????", 1},
      {"9.0c", 9, "????", 1},
      {"abcd", 0, "????", 1},
      {"xyzabcd", 0, "????", 1},
      // Shorter texts are parsed whole.
      {"9", 9, "????", 1},
      {"902", 902, "9.0b", 0},
      {" 400", 400, "8", 0},
      {"  -1", -1, "????", 1},
      {"+810", 810, "8.1", 0},
      {"9\r\n", 9, "????", 1},
      // Nothing recorded.
      {"", 0, "????", 1},
      {nullptr, 0, "????", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(null)");
    DirectXVerdict verdict = ClassifyDirectXVersion(c.text);
    EXPECT_EQ(verdict.number, c.number);
    EXPECT_STREQ(verdict.name, c.name);
    EXPECT_EQ(verdict.accepted, c.accepted);
  }
}

TEST(DirectXClassification, LongTextIsClassifiedByItsEnd) {
  std::string text(100000, '7');
  text += "0881";
  DirectXVerdict verdict = ClassifyDirectXVersion(text.c_str());
  EXPECT_EQ(verdict.number, 881);
  EXPECT_STREQ(verdict.name, "8.1");
  EXPECT_EQ(verdict.accepted, 0);
}

}  // namespace
