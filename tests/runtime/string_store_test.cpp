// Stored strings, the real StringWorkBuffer and the number formats.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/runtime_state.h"
#include "runtime/strings.h"
#include "support/heap_probe.h"
#include "support/runtime_setup.h"

namespace {

class StringStore : public ::testing::Test {
 protected:
  char* start = nullptr;
  void SetUp() override {
    StartRuntimeForTests();
    start = WritePosition;
  }
  void TearDown() override {
    WritePosition = start;
    EXPECT_TRUE(HeapValidate(RuntimeState.heap, 0, nullptr));
  }
};

size_t BlockSize(const char* s) { return HeapSize(RuntimeState.heap, 0, s); }

TEST_F(StringStore, WorkBufferIsAllocatedOnceFromTheRuntimeHeap) {
  // The tests leave WritePosition where they found it: at the buffer's start.
  EXPECT_EQ(BlockSize(WritePosition), static_cast<size_t>(StringWorkBufferSize));
  EXPECT_EQ(StringWorkBufferEnd, WritePosition + StringWorkBufferSize);
  InitStringBuffer();  // a second call keeps the buffer
  EXPECT_EQ(WritePosition, start);
  EXPECT_EQ(WorkBufferRoom(), StringWorkBufferSize - 1);
}

TEST_F(StringStore, StoredStringsOccupyExactlyLengthPlusOne) {
  const char* texts[] = {"", "a", "hello", "a somewhat longer text of forty-one bytes"};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    char* fromBuffer = nullptr;
    char* temporary = AppendString(text);
    AssignFromWorkBuffer(&fromBuffer, temporary);
    ASSERT_NE(fromBuffer, nullptr);
    EXPECT_STREQ(fromBuffer, text);
    EXPECT_EQ(BlockSize(fromBuffer), strlen(text) + 1);
    EXPECT_EQ(WritePosition, temporary);  // the temporary is consumed

    char* copy = nullptr;
    AssignString(&copy, text);
    EXPECT_STREQ(copy, text);
    EXPECT_EQ(BlockSize(copy), strlen(text) + 1);
    EXPECT_NE(copy, text);
    ReleaseString(copy);
    ReleaseString(fromBuffer);
  }
}

// Each reassignment frees the block the variable held before.
TEST_F(StringStore, ReassigningReplacesTheBlock) {
  char* v = nullptr;
  AssignString(&v, "first value");
  char* old = v;
  AssignFromWorkBuffer(&v, FormatSigned(WritePosition, -12));
  EXPECT_STREQ(v, "-12");
  EXPECT_EQ(BlockSize(v), 4u);
  EXPECT_FALSE(IsLiveBlock(old));
  old = v;
  AssignString(&v, "second value");
  EXPECT_STREQ(v, "second value");
  EXPECT_FALSE(IsLiveBlock(old));
  old = v;
  AssignFromWorkBuffer(&v, AppendString(""));  // an empty temporary still replaces the block
  EXPECT_STREQ(v, "");
  EXPECT_FALSE(IsLiveBlock(old));
  old = v;
  AssignString(&v, nullptr);  // a null source leaves the variable null
  EXPECT_EQ(v, nullptr);
  EXPECT_FALSE(IsLiveBlock(old));
  ReleaseString(nullptr);  // does nothing
}

// Regression: a stored string after CharacterString(0) was sized by the distance to
// WritePosition (4 bytes for "A"), not by its length.
TEST_F(StringStore, CharacterStringOfZeroStoresTheTextBeforeIt) {
  char* v = nullptr;
  char* temporary = AppendString("A");
  CharacterString(WritePosition, 0);
  AppendString("B");
  AssignFromWorkBuffer(&v, temporary);
  EXPECT_STREQ(v, "A");
  EXPECT_EQ(BlockSize(v), 2u);
  EXPECT_EQ(WritePosition, temporary);
  ReleaseString(v);
}

// Assigning a variable its own value copies before releasing, so it never reads a freed block.
TEST_F(StringStore, AssignStringOfTheVariablesOwnBlock) {
  char* v = nullptr;
  AssignString(&v, "a value longer than any heap free-list link");
  char* old = v;
  AssignString(&v, v);
  ASSERT_NE(v, nullptr);
  EXPECT_NE(v, old);
  EXPECT_FALSE(IsLiveBlock(old));
  EXPECT_STREQ(v, "a value longer than any heap free-list link");
  EXPECT_EQ(BlockSize(v), strlen(v) + 1);
  // Also a source inside the own block (a tail of it).
  old = v;
  AssignString(&v, v + 2);
  EXPECT_STREQ(v, "value longer than any heap free-list link");
  EXPECT_FALSE(IsLiveBlock(old));
  ReleaseString(v);
}

TEST_F(StringStore, AppendStringOfAStoredString) {
  char* v = nullptr;
  AssignString(&v, "xyz");
  char* temporary = AppendString("<");
  AppendString(v);
  AppendString(">");
  EXPECT_STREQ(temporary, "<xyz>");
  EXPECT_EQ(WritePosition, temporary + 5);
  ReleaseString(v);
}

TEST_F(StringStore, NumberFormats) {
  struct Case {
    const char* name;
    char* (*run)();
    const char* expected;
  } cases[] = {
      {"signed 0", [] { return FormatSigned(WritePosition, 0); }, "0"},
      {"signed -42", [] { return FormatSigned(WritePosition, -42); }, "-42"},
      {"signed min", [] { return FormatSigned(WritePosition, INT32_MIN); }, "-2147483648"},
      {"signed max", [] { return FormatSigned(WritePosition, INT32_MAX); }, "2147483647"},
      {"unsigned -1 size 0", [] { return FormatUnsigned(WritePosition, -1, 0); }, "255"},
      {"unsigned -1 size 1", [] { return FormatUnsigned(WritePosition, -1, 1); }, "65535"},
      {"unsigned -1 size 2", [] { return FormatUnsigned(WritePosition, -1, 2); }, "4294967295"},
      {"unsigned -1 size 7", [] { return FormatUnsigned(WritePosition, -1, 7); }, "4294967295"},
      {"unsigned 0x1234 size 0", [] { return FormatUnsigned(WritePosition, 0x1234, 0); }, "52"},
      {"unsigned 0x12345 size 1", [] { return FormatUnsigned(WritePosition, 0x12345, 1); }, "9029"},
      {"hex 255", [] { return FormatHex(WritePosition, 255); }, "FF"},
      {"hex 0", [] { return FormatHex(WritePosition, 0); }, "0"},
      {"hex -1", [] { return FormatHex(WritePosition, -1); }, "FFFFFFFF"},
      {"hex 0xABC", [] { return FormatHex(WritePosition, 0xABC); }, "ABC"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char* before = WritePosition;
    char* result = c.run();
    EXPECT_EQ(result, before);
    EXPECT_STREQ(result, c.expected);
    EXPECT_EQ(WritePosition, result + strlen(c.expected));
    WritePosition = start;
  }
  // Formats concatenate like every producing operation.
  char* temporary = FormatSigned(WritePosition, 7);
  AppendString("/");
  FormatHex(WritePosition, 0x1F);
  EXPECT_STREQ(temporary, "7/1F");
}

// A routine that returns a string: it starts at the caller's destination, computes in a local
// variable, appends its result last and releases the local.
char* Greeting(char* destination, const char* name, const char* mark) {
  WritePosition = destination;
  char* local = nullptr;
  char* expressionStart = WritePosition;
  AppendString("Hello, ");
  UpperCaseString(WritePosition, name);
  AppendString(mark);
  AssignFromWorkBuffer(&local, expressionStart);
  AppendString(local);
  ReleaseString(local);
  return destination;
}

TEST_F(StringStore, ExpressionWithSeveralArgumentsAndARoutineResult) {
  // Two arguments, each stepped past so that the callee's work cannot overwrite them.
  char* name = TrimBoth(WritePosition, "  ada ");
  ++WritePosition;
  char* mark = CharacterString(WritePosition, '!');
  ++WritePosition;
  char* result = Greeting(WritePosition, name, mark);
  EXPECT_STREQ(name, "ada");
  EXPECT_STREQ(mark, "!");
  EXPECT_STREQ(result, "Hello, ADA!");
  EXPECT_EQ(WritePosition, result + strlen(result));
  char* stored = nullptr;
  AssignFromWorkBuffer(&stored, result);
  EXPECT_STREQ(stored, "Hello, ADA!");
  EXPECT_EQ(BlockSize(stored), 12u);
  ReleaseString(stored);
}

// The real 64000-byte buffer: a producing operation that would overflow it stops at its last
// byte, and the heap around the buffer stays intact (checked by HeapValidate in TearDown).
TEST_F(StringStore, ExpressionsStopAtTheEndOfTheWorkBuffer) {
  char* temporary = RepeatSpaces(WritePosition, 70000);
  EXPECT_EQ(strlen(temporary), static_cast<size_t>(StringWorkBufferSize - 1));
  EXPECT_EQ(WritePosition, start + StringWorkBufferSize - 1);
  FormatSigned(WritePosition, 123456);
  FormatHex(WritePosition, -1);
  AppendString("tail");
  EXPECT_EQ(WritePosition, start + StringWorkBufferSize - 1);
  EXPECT_EQ(*WritePosition, 0);
  // Near the end, a number is cut to the room that is left, still terminated.
  WritePosition = start + StringWorkBufferSize - 4;
  char* cut = FormatSigned(WritePosition, 123456);
  EXPECT_STREQ(cut, "123");
  // Storing the full buffer gives one exact block.
  char* v = nullptr;
  AssignFromWorkBuffer(&v, temporary);
  EXPECT_EQ(BlockSize(v), static_cast<size_t>(StringWorkBufferSize - 4 + 3 + 1));
  EXPECT_EQ(WritePosition, start);
  ReleaseString(v);
}

// When the heap refuses a string, the variable becomes the empty string (null) and its old
// block is released; the temporary is consumed all the same.
TEST_F(StringStore, RefusedAllocationLeavesAnEmptyVariable) {
  HANDLE runtimeHeap = RuntimeState.heap;
  HANDLE smallHeap = HeapCreate(0, 8192, 8192);  // fixed size: refuses big blocks
  ASSERT_NE(smallHeap, nullptr);
  RuntimeState.heap = smallHeap;
  char* v = nullptr;
  AssignString(&v, "old");
  ASSERT_NE(v, nullptr);
  char* temporary = RepeatSpaces(WritePosition, 40000);
  AssignFromWorkBuffer(&v, temporary);
  EXPECT_EQ(v, nullptr);
  EXPECT_EQ(WritePosition, temporary);
  AssignString(&v, "old");
  AssignString(&v, std::string(40000, 'x').c_str());
  EXPECT_EQ(v, nullptr);
  EXPECT_TRUE(HeapValidate(smallHeap, 0, nullptr));
  RuntimeState.heap = runtimeHeap;
  HeapDestroy(smallHeap);
}

}  // namespace
