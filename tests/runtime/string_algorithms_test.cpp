// The string algorithms that need no platform: comparisons, queries, producing operations, the
// in-place rules of the expression protocol and the work buffer's capacity guard.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/raw_reads.h"
#include "runtime/strings.h"

namespace {

// Binds a zero-filled work buffer of its own for each test; WritePosition starts at its start.
class WorkBuffer : public ::testing::Test {
 protected:
  static char buffer[StringWorkBufferSize];
  void SetUp() override {
    memset(buffer, 0, sizeof buffer);
    UseStringWorkBuffer(buffer, sizeof buffer);
  }
  // Checks a producing operation's result: the text, a terminator after it, WritePosition on
  // that terminator. Then puts WritePosition back to the start for the next case.
  void ExpectProduced(const char* result, const std::string& expected) {
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(std::string(result, expected.size()), expected);
    EXPECT_EQ(result[expected.size()], 0);
    EXPECT_EQ(WritePosition, result + expected.size());
    WritePosition = buffer;
  }
};
char WorkBuffer::buffer[StringWorkBufferSize];

// Builds a temporary at WritePosition and steps WritePosition one byte past its terminator, as
// a caller does before handing the temporary to an in-place operation.
char* TemporaryBeforeInPlace(const char* text) {
  char* start = AppendString(text);
  ++WritePosition;
  return start;
}

TEST(StringComparisons, NullEmptyCaseAndUnsignedBytes) {
  struct Case {
    const char* a;
    const char* b;
    int equal, greater, less;
  } cases[] = {
      {nullptr, "", 1, 0, 0},
      {nullptr, nullptr, 1, 0, 0},
      {"a", "A", 0, 1, 0},
      {"abc", "abc", 1, 0, 0},
      {"ab", "abc", 0, 0, 1},
      {"abd", "abc", 0, 1, 0},
      {"", "x", 0, 0, 1},
      {"\xE9", "z", 0, 1, 0},  // 0xE9 sorts after 'z' as an unsigned byte
      {"z", "\x80", 0, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a ? c.a : "(null)") + " vs " + (c.b ? c.b : "(null)"));
    EXPECT_EQ(StringsEqual(c.a, c.b), c.equal);
    EXPECT_EQ(StringGreater(c.a, c.b), c.greater);
    EXPECT_EQ(StringLess(c.a, c.b), c.less);
  }
}

TEST(StringQueries, LengthAndCharacterCode) {
  EXPECT_EQ(StringLength(nullptr), 0);
  EXPECT_EQ(StringLength(""), 0);
  EXPECT_EQ(StringLength("hello"), 5);
  EXPECT_EQ(CharacterCode(nullptr), 0);
  EXPECT_EQ(CharacterCode(""), 0);
  EXPECT_EQ(CharacterCode("A"), 65);
  EXPECT_EQ(CharacterCode("\xFF"), 255);  // unsigned, not -1
}

TEST(StringQueries, ParseInteger) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {
      {nullptr, 0},       {"", 0},          {"  -42x", -42},         {"+7", 7},
      {"4294967297", 1},  {"- 5", 0},       {"-", 0},                {"abc", 0},
      {"12abc", 12},      {"\t5", 0},       {"2147483647", 2147483647},
      {"2147483648", INT32_MIN},            {"-2147483648", INT32_MIN},
      {"007", 7},         {"--3", 0},       {"   +0012 34", 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(null)");
    EXPECT_EQ(ParseInteger(c.text), c.value);
  }
}

TEST(StringQueries, FindSubstring) {
  struct Case {
    const char* s;
    const char* needle;
    int32_t start;
    int32_t position;
  } cases[] = {
      {"abcabc", "c", 4, 6},  {"abc", "", 2, 2},      {"abc", "d", 1, 0},
      {"abc", "c", 5, 0},     {"abc", "c", 0, 3},     {"abc", "c", -7, 3},
      {"abc", "", 0, 1},      {"abc", "", 4, 4},      {"abc", "", 5, 0},
      {"abc", "abc", 1, 1},   {"abc", "abcd", 1, 0},  {"aab", "ab", 1, 2},
      {"abcabc", "bc", 3, 5}, {nullptr, "a", 1, 0},   {"abc", nullptr, 1, 0},
      {"", "", 1, 1},         {"", "a", 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.s ? c.s : "(null)") + " / " + (c.needle ? c.needle : "(null)") +
                 " from " + std::to_string(c.start));
    EXPECT_EQ(FindSubstring(c.s, c.needle, c.start), c.position);
  }
}

TEST_F(WorkBuffer, SlicesTakeTheRightBytes) {
  struct Case {
    const char* s;
    int32_t start, count;
    const char* expected;
  } subCases[] = {
      {"abc", 0, 2, "ab"},   {"abc", 4, 1, ""},   {"abc", 2, 99, "bc"}, {"abc", 1, -1, ""},
      {"abc", 3, 1, "c"},    {nullptr, 1, 2, ""}, {"abc", 2, 0, ""},    {"abc", -5, 1, "a"},
  };
  for (const auto& c : subCases) {
    SCOPED_TRACE(std::to_string(c.start) + "," + std::to_string(c.count));
    ExpectProduced(SubString(WritePosition, c.s, c.start, c.count), c.expected);
  }
  struct PartCase {
    const char* s;
    int32_t count;
    const char* left;
    const char* right;
  } partCases[] = {
      {"abc", 5, "abc", "abc"}, {"abc", 0, "", ""},    {"abc", 2, "ab", "bc"},
      {"abc", -1, "", ""},      {nullptr, 2, "", ""},  {"abc", 3, "abc", "abc"},
  };
  for (const auto& c : partCases) {
    SCOPED_TRACE(c.count);
    ExpectProduced(LeftPart(WritePosition, c.s, c.count), c.left);
    ExpectProduced(RightPart(WritePosition, c.s, c.count), c.right);
  }
}

TEST_F(WorkBuffer, CaseMappingCoversWholeRanges) {
  ExpectProduced(LowerCaseString(WritePosition, "\xC0\x5A\xD7"), "\xE0\x7A\xF7");
  ExpectProduced(LowerCaseString(WritePosition, "AZ@[\xDE\xDF\xBF"), "az@[\xFE\xDF\xBF");
  ExpectProduced(UpperCaseString(WritePosition, "az`{\xE0\xF7\xFF\xDF"), "AZ`{\xC0\xD7\xDF\xDF");
  ExpectProduced(UpperCaseString(WritePosition, nullptr), "");
  ExpectProduced(LowerCaseString(WritePosition, nullptr), "");
}

TEST_F(WorkBuffer, BlanksAndTrims) {
  ExpectProduced(RepeatSpaces(WritePosition, 3), "   ");
  ExpectProduced(RepeatSpaces(WritePosition, 0), "");
  ExpectProduced(RepeatSpaces(WritePosition, -5), "");  // a negative count gives empty
  struct Case {
    const char* s;
    const char* leading;
    const char* trailing;
    const char* both;
  } cases[] = {
      {"  a b  ", "a b  ", "  a b", "a b"}, {"    ", "", "", ""},
      {"\tx ", "\tx ", "\tx", "\tx"},        {nullptr, "", "", ""},
      {"abc", "abc", "abc", "abc"},          {"", "", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.s ? c.s : "(null)");
    ExpectProduced(TrimLeading(WritePosition, c.s), c.leading);
    ExpectProduced(TrimTrailing(WritePosition, c.s), c.trailing);
    ExpectProduced(TrimBoth(WritePosition, c.s), c.both);
  }
}

TEST_F(WorkBuffer, FormatBinary) {
  struct Case {
    int32_t value;
    std::string digits;
  } cases[] = {
      {0, "0"}, {1, "1"}, {2, "10"}, {5, "101"}, {-1, std::string(32, '1')},
      {INT32_MIN, "1" + std::string(31, '0')}, {INT32_MAX, std::string(31, '1')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    ExpectProduced(FormatBinary(c.value), c.digits);
  }
}

TEST_F(WorkBuffer, PadLeft) {
  struct Case {
    const char* s;
    int32_t width;
    const char* fill;
    std::string expected;
  } cases[] = {
      {"7", 3, "0", "007"},
      {"12345", 3, "0", "123"},
      {nullptr, 2, nullptr, "  "},
      {"ab", 4, "xyz", "xxab"},  // only the fill's first byte counts
      {"ab", 0, "0", ""},
      {"ab", -3, "0", ""},
      {"ab", 2, "0", "ab"},
      {"ab", 4, "", std::string("\0\0ab", 4)},  // an empty fill pads with zero bytes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.s ? c.s : "(null)") + " to " + std::to_string(c.width));
    ExpectProduced(PadLeft(WritePosition, c.s, c.width, c.fill), c.expected);
  }
}

TEST_F(WorkBuffer, ProducingOperationsConcatenate) {
  char* start = WritePosition;
  AppendString("x=");
  RepeatSpaces(WritePosition, 2);
  SubString(WritePosition, "hello", 2, 3);
  FormatBinary(6);
  AppendString(nullptr);  // writes only a terminator
  EXPECT_STREQ(start, "x=  ell110");
  EXPECT_EQ(WritePosition, start + strlen(start));
}

TEST_F(WorkBuffer, CharacterStringOfZeroEndsTheText) {
  char* start = WritePosition;
  AppendString("A");
  char* code = CharacterString(WritePosition, 0);
  EXPECT_EQ(WritePosition, code + 1);
  AppendString("B");
  EXPECT_STREQ(start, "A");
  EXPECT_EQ(std::string(start, 4), std::string("A\0B\0", 4));
  ExpectProduced(CharacterString(WritePosition, 0x141), "A");  // low 8 bits only
}

TEST_F(WorkBuffer, AppendingATemporaryToItselfCopiesItWhole) {
  char* start = AppendString("ab");
  AppendString(start);
  EXPECT_STREQ(start, "abab");
  EXPECT_EQ(WritePosition, start + 4);
}

// In place: the destination is the temporary's start and WritePosition stands past its end.
TEST_F(WorkBuffer, InPlaceOperationsReplaceTheirInput) {
  struct Case {
    const char* name;
    const char* input;
    char* (*run)(char* destination, const char* input);
    const char* expected;
  } cases[] = {
      {"SubString", "ABCDEF", [](char* d, const char* s) { return SubString(d, s, 2, 3); }, "BCD"},
      {"RightPart", "ABCDEF", [](char* d, const char* s) { return RightPart(d, s, 2); }, "EF"},
      {"LeftPart", "ABCDEF", [](char* d, const char* s) { return LeftPart(d, s, 4); }, "ABCD"},
      {"PadLeft", "101", [](char* d, const char* s) { return PadLeft(d, s, 5, "0"); }, "00101"},
      {"PadLeft cut", "12345", [](char* d, const char* s) { return PadLeft(d, s, 3, "0"); }, "123"},
      {"UpperCase", "mIxEd\xE9", UpperCaseString, "MIXED\xC9"},
      {"LowerCase", "MiXeD", LowerCaseString, "mixed"},
      {"TrimLeading", "   ab ", TrimLeading, "ab "},
      {"TrimTrailing", " ab   ", TrimTrailing, " ab"},
      {"TrimBoth", "  ab  ", TrimBoth, "ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Text before the temporary must survive: the in-place result lands at the temporary.
    char* expression = AppendString("<");
    char* temporary = TemporaryBeforeInPlace(c.input);
    char* result = c.run(temporary, temporary);
    EXPECT_EQ(result, temporary);
    EXPECT_STREQ(expression, (std::string("<") + c.expected).c_str());
    EXPECT_EQ(WritePosition, temporary + strlen(c.expected));
    WritePosition = buffer;
  }
}

TEST_F(WorkBuffer, InPlaceWithArgumentsBuiltAfterTheInput) {
  // Several arguments, each stepped past: the fill string lies behind the text to be padded.
  char* text = TemporaryBeforeInPlace("42");
  char* fill = TemporaryBeforeInPlace("*");
  EXPECT_STREQ(PadLeft(text, text, 6, fill), "****42");
  // The result overwrote the fill argument, which was read before the padding reached it.
  EXPECT_EQ(WritePosition, text + 6);
}

TEST(RawReads, SignExtendAndLittleEndian) {
  const unsigned char bytes[] = {0xFF, 0x00, 0x80, 0x78, 0x56, 0x34, 0x12, 0x7F};
  EXPECT_EQ(ReadByteAt(bytes), -1);
  EXPECT_EQ(ReadByteAt(bytes + 7), 127);
  EXPECT_EQ(ReadWordAt(bytes + 1), -32768);  // 0x8000
  EXPECT_EQ(ReadWordAt(bytes + 3), 0x5678);
  EXPECT_EQ(ReadLongAt(bytes + 3), 0x12345678);
  EXPECT_EQ(ReadLongAt(bytes), static_cast<int32_t>(0x788000FF));
}

TEST_F(WorkBuffer, ReadStringAtHonoursTheMaximum) {
  struct Case {
    const char* source;
    int32_t maximum;
    const char* expected;
  } cases[] = {
      {"abcdef", 3, "abc"}, {"abcdef", 0, ""},       {"abcdef", -1, "abcdef"},
      {"abcdef", 6, "abcdef"}, {"abcdef", 99, "abcdef"}, {nullptr, 5, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.maximum);
    ExpectProduced(ReadStringAt(c.source, c.maximum), c.expected);
  }
}

// A small work buffer between guard bytes: whatever an expression asks for, nothing lands
// outside the buffer, the buffer's last byte stays zero and every result is terminated.
class SmallWorkBuffer : public ::testing::Test {
 protected:
  static const int Size = 16;
  static const int Guard = 16;
  unsigned char memory[Guard + Size + Guard];
  char* buffer = reinterpret_cast<char*>(memory + Guard);
  void SetUp() override {
    memset(memory, 0xAA, sizeof memory);
    memset(buffer, 0, Size);
    UseStringWorkBuffer(buffer, Size);
  }
  void TearDown() override {
    for (int i = 0; i < Guard; ++i) {
      EXPECT_EQ(memory[i], 0xAA) << "guard before, byte " << i;
      EXPECT_EQ(memory[Guard + Size + i], 0xAA) << "guard after, byte " << i;
    }
    EXPECT_EQ(buffer[Size - 1], 0);
    EXPECT_GE(WritePosition, buffer);
    EXPECT_LE(WritePosition, buffer + Size - 1);
    EXPECT_EQ(*WritePosition, 0);
  }
};

TEST_F(SmallWorkBuffer, OutputsAreCutAtTheLastByte) {
  EXPECT_EQ(WorkBufferRoom(), Size - 1);
  char* start = AppendString("0123456789");
  RepeatSpaces(WritePosition, 100);
  EXPECT_EQ(std::string(start), "0123456789     ");
  EXPECT_EQ(WorkBufferRoom(), 0);
  // A full buffer takes nothing more but stays terminated.
  AppendString("more");
  FormatBinary(-1);
  CharacterString(WritePosition, 'x');
  PadLeft(WritePosition, "ab", 8, "0");
  EXPECT_EQ(std::string(start), "0123456789     ");
}

TEST_F(SmallWorkBuffer, EachProducingOperationStopsAtTheEnd) {
  const std::string longText(40, 'q');
  struct Case {
    const char* name;
    char* (*run)(const char* s);
  } cases[] = {
      {"Append", [](const char* s) { return AppendString(s); }},
      {"SubString", [](const char* s) { return SubString(WritePosition, s, 1, 99); }},
      {"RightPart", [](const char* s) { return RightPart(WritePosition, s, 99); }},
      {"UpperCase", [](const char* s) { return UpperCaseString(WritePosition, s); }},
      {"LowerCase", [](const char* s) { return LowerCaseString(WritePosition, s); }},
      {"TrimBoth", [](const char* s) { return TrimBoth(WritePosition, s); }},
      {"PadLeft", [](const char* s) { return PadLeft(WritePosition, s, 30, "0"); }},
      {"PadLeftWide", [](const char* s) { return PadLeft(WritePosition, s + 38, 30, "-"); }},
      {"RepeatSpaces", [](const char*) { return RepeatSpaces(WritePosition, 1000); }},
      {"FormatBinary", [](const char*) { return FormatBinary(-1); }},
      {"ReadStringAt", [](const char* s) { return ReadStringAt(s, -1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WritePosition = buffer + 3;
    char* result = c.run(longText.c_str());
    EXPECT_EQ(result, buffer + 3);
    EXPECT_EQ(strlen(result), static_cast<size_t>(Size - 1 - 3));
    EXPECT_EQ(WritePosition, buffer + Size - 1);
  }
}

TEST_F(SmallWorkBuffer, DestinationsPastTheLastByteGiveAnEmptyString) {
  AppendString(std::string(Size - 1, 'z').c_str());
  // Stepping past the terminator of an argument that filled the buffer leaves the buffer.
  ++WritePosition;
  ++WritePosition;
  char* result = SubString(WritePosition, "abc", 1, 3);
  EXPECT_EQ(result, buffer + Size - 1);
  EXPECT_STREQ(result, "");
  EXPECT_EQ(WorkBufferRoom(), 0);
}

TEST_F(SmallWorkBuffer, InPlaceNearTheEndKeepsTheInputsFirstBytes) {
  WritePosition = buffer + 8;
  char* temporary = TemporaryBeforeInPlace("abcdef");  // ends at buffer + 14
  char* result = PadLeft(temporary, temporary, 12, "0");
  EXPECT_STREQ(result, "000000a");  // 7 bytes of room: the output is cut on the right
  WritePosition = buffer + 8;
  temporary = TemporaryBeforeInPlace("abcdef");
  result = PadLeft(temporary, temporary, 9, "0");
  EXPECT_STREQ(result, "000abcd");
}

}  // namespace
