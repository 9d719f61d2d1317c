// Linked lists with a current element, arrays of structures and the release of their strings.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "runtime/lists.h"
#include "runtime/runtime_state.h"
#include "runtime/strings.h"
#include "support/heap_probe.h"
#include "support/runtime_setup.h"

namespace {

struct Item {
  char* name;
  int32_t value;
  char* note;
};
const StringFieldWord ItemStrings[] = {offsetof(Item, name), offsetof(Item, note), StringFieldEnd};

char* StoredString(const char* text) {
  char* s = nullptr;
  AssignString(&s, text);
  return s;
}

class Lists : public ::testing::Test {
 protected:
  ListVariable list = {};
  void SetUp() override {
    StartRuntimeForTests();
    CreateList(&list, sizeof(Item), ItemStrings);
    ASSERT_NE(list.header, nullptr);
  }
  void TearDown() override { EXPECT_TRUE(HeapValidate(RuntimeState.heap, 0, nullptr)); }

  Item* ItemOf(ListElement* e) { return static_cast<Item*>(ListPayload(e)); }
  // Inserts an element after the current one and gives it a value.
  ListElement* Insert(int32_t value) {
    ListElement* e = InsertListElement(&list);
    if (e) ItemOf(e)->value = value;
    return e;
  }
  // The values from first to last, checking the backward links and the ends on the way.
  std::vector<int32_t> Values() {
    std::vector<int32_t> values;
    ListElement* previous = nullptr;
    for (ListElement* e = list.header->first; e; e = e->next) {
      EXPECT_EQ(e->previous, previous);
      values.push_back(ItemOf(e)->value);
      previous = e;
    }
    EXPECT_EQ(list.header->last, previous);
    EXPECT_EQ(list.header->count, static_cast<int32_t>(values.size()));
    return values;
  }
  int32_t CurrentValue() { return list.current ? ItemOf(list.current)->value : -1; }
};

TEST_F(Lists, CreateListSetsUpAnEmptyHeader) {
  EXPECT_EQ(list.current, nullptr);
  EXPECT_EQ(list.header->first, nullptr);
  EXPECT_EQ(list.header->last, nullptr);
  EXPECT_EQ(list.header->elementSize, static_cast<int32_t>(sizeof(Item) + 2 * sizeof(void*)));
  EXPECT_EQ(list.header->count, 0);
  EXPECT_EQ(list.header->position, 0);
  EXPECT_EQ(list.header->description, ItemStrings);
  EXPECT_EQ(NextListElement(&list), nullptr);  // empty list
  EXPECT_EQ(list.header->position, 0);
  DeleteListElement(&list);  // no current element: nothing happens
  EXPECT_EQ(list.header->count, 0);
}

TEST_F(Lists, InsertIntoAnEmptyList) {
  ListElement* e = Insert(1);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(list.header->count, 1);
  EXPECT_EQ(list.header->position, 1);
  EXPECT_EQ(list.header->first, e);
  EXPECT_EQ(list.header->last, e);
  EXPECT_EQ(list.current, e);
  // Elements are exactly element size, zero-filled apart from the value just set.
  EXPECT_EQ(HeapSize(RuntimeState.heap, 0, e), static_cast<size_t>(list.header->elementSize));
  EXPECT_EQ(ItemOf(e)->name, nullptr);
  EXPECT_EQ(ItemOf(e)->note, nullptr);
}

TEST_F(Lists, InsertAfterCurrentAndAfterRewind) {
  Insert(1);
  Insert(2);
  Insert(3);
  EXPECT_EQ(Values(), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(list.header->position, 3);
  RewindList(&list);
  EXPECT_EQ(list.current, nullptr);
  EXPECT_EQ(list.header->position, 0);
  Insert(0);  // in front of the old first
  EXPECT_EQ(Values(), (std::vector<int32_t>{0, 1, 2, 3}));
  EXPECT_EQ(list.header->position, 1);
  EXPECT_EQ(NextListElement(&list), list.header->first->next);
  Insert(15);  // between 1 and 2
  EXPECT_EQ(Values(), (std::vector<int32_t>{0, 1, 15, 2, 3}));
  EXPECT_EQ(list.header->position, 3);
  EXPECT_EQ(CurrentValue(), 15);
}

TEST_F(Lists, WalkToTheEndThenAppend) {
  for (int v = 1; v <= 3; ++v) Insert(v);
  RewindList(&list);
  std::vector<int32_t> walked;
  std::vector<int32_t> positions;
  while (ListElement* e = NextListElement(&list)) {
    walked.push_back(ItemOf(e)->value);
    positions.push_back(list.header->position);
  }
  EXPECT_EQ(walked, (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(positions, (std::vector<int32_t>{1, 2, 3}));
  // Past the end: 0, and the current element stays the last.
  EXPECT_EQ(list.current, list.header->last);
  EXPECT_EQ(list.header->position, 3);
  EXPECT_EQ(NextListElement(&list), nullptr);
  EXPECT_EQ(list.header->position, 3);
  Insert(4);
  EXPECT_EQ(Values(), (std::vector<int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(list.header->last, list.current);
}

TEST_F(Lists, DeleteEachKindOfElement) {
  struct Case {
    const char* name;
    int deletePosition;  // 1-based
    std::vector<int32_t> remaining;
    int32_t currentValue;  // -1: no current element
    int32_t position;
    int32_t nextValue;  // what the walk reaches next; -1: the walk is over
  } cases[] = {
      {"first", 1, {2, 3, 4}, -1, 0, 2},
      {"middle at 3", 3, {1, 2, 4}, 2, 2, 4},
      {"last", 4, {1, 2, 3}, 3, 3, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CreateList(&list, sizeof(Item), nullptr);
    for (int v = 1; v <= 4; ++v) Insert(v);
    RewindList(&list);
    for (int i = 0; i < c.deletePosition; ++i) NextListElement(&list);
    DeleteListElement(&list);
    EXPECT_EQ(Values(), c.remaining);
    EXPECT_EQ(CurrentValue(), c.currentValue);
    EXPECT_EQ(list.header->position, c.position);
    // The walk goes on with the element after the deleted one.
    ListElement* next = NextListElement(&list);
    EXPECT_EQ(next ? ItemOf(next)->value : -1, c.nextValue);
  }
}

TEST_F(Lists, DeleteTheOnlyElement) {
  Insert(7);
  DeleteListElement(&list);
  EXPECT_EQ(list.header->first, nullptr);
  EXPECT_EQ(list.header->last, nullptr);
  EXPECT_EQ(list.current, nullptr);
  EXPECT_EQ(list.header->count, 0);
  EXPECT_EQ(list.header->position, 0);
}

TEST_F(Lists, DeletingWhileWalkingVisitsEveryOtherElementOnce) {
  for (int v = 1; v <= 6; ++v) Insert(v);
  RewindList(&list);
  std::vector<int32_t> visited;
  while (ListElement* e = NextListElement(&list)) {
    visited.push_back(ItemOf(e)->value);
    if (ItemOf(e)->value % 2 == 0) DeleteListElement(&list);
  }
  EXPECT_EQ(visited, (std::vector<int32_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(Values(), (std::vector<int32_t>{1, 3, 5}));
}

TEST_F(Lists, DeleteReleasesTheElementsStrings) {
  ListElement* e = Insert(1);
  char* name = StoredString("name");
  char* note = StoredString("note");
  ItemOf(e)->name = name;
  ItemOf(e)->note = note;
  ASSERT_TRUE(IsLiveBlock(name) && IsLiveBlock(note) && IsLiveBlock(e));
  DeleteListElement(&list);
  EXPECT_FALSE(IsLiveBlock(name));
  EXPECT_FALSE(IsLiveBlock(note));
  EXPECT_FALSE(IsLiveBlock(e));
}

TEST_F(Lists, RefusedElementLeavesTheListAsItWas) {
  ListVariable huge = {};
  CreateList(&huge, 0x7FFFFF00, nullptr);
  ASSERT_NE(huge.header, nullptr);
  // Refused by a heap that cannot grow to the element: the growable RuntimeHeap may serve it on 64-bit.
  EXPECT_EQ(AllocateFromFixedHeap(&RuntimeState.heap, [&] { return InsertListElement(&huge); }),
            nullptr);
  EXPECT_EQ(huge.header->count, 0);
  EXPECT_EQ(huge.header->position, 0);
  EXPECT_EQ(huge.current, nullptr);
  // A list whose header could not be made takes every operation as a no-op.
  ListVariable none = {};
  EXPECT_EQ(InsertListElement(&none), nullptr);
  EXPECT_EQ(NextListElement(&none), nullptr);
  DeleteListElement(&none);
  RewindList(&none);
}

// A structure with two strings around an embedded array of two structures with one string each.
struct Pair {
  int32_t id;
  char* label;
};
struct Record {
  char* title;
  Pair pairs[2];
  char* footer;
};
const StringFieldWord PairStrings[] = {offsetof(Pair, label), StringFieldEnd};
const StringFieldWord RecordStrings[] = {
    offsetof(Record, title),
    StringFieldArray, 2, offsetof(Record, pairs), sizeof(Pair),
    reinterpret_cast<StringFieldWord>(PairStrings),
    offsetof(Record, footer),
    StringFieldEnd};

TEST_F(Lists, ReleaseStructureStringsFollowsEmbeddedArrays) {
  Record r = {};
  r.title = StoredString("title");
  r.pairs[0].label = StoredString("first");
  r.pairs[1].label = nullptr;  // null pointers are skipped
  r.footer = StoredString("footer");
  char* unrelated = StoredString("kept");
  ReleaseStructureStrings(&r, RecordStrings);
  EXPECT_FALSE(IsLiveBlock(r.title));
  EXPECT_FALSE(IsLiveBlock(r.pairs[0].label));
  EXPECT_FALSE(IsLiveBlock(r.footer));
  EXPECT_TRUE(IsLiveBlock(unrelated));
  EXPECT_NE(r.title, nullptr);  // pointers are not cleared
  ReleaseStructureStrings(&r, nullptr);  // no description: nothing to do
  ReleaseString(unrelated);
}

// Builds an array block the way the arrays' owner lays it out: header, then the elements.
Item* NewItemArray(intptr_t count, const StringFieldWord* description) {
  ArrayHeader* header = static_cast<ArrayHeader*>(
      HeapAlloc(RuntimeState.heap, HEAP_ZERO_MEMORY, sizeof(ArrayHeader) + count * sizeof(Item)));
  header->elementSize = sizeof(Item);
  header->description = description;
  header->count = count;
  return reinterpret_cast<Item*>(header + 1);
}

TEST_F(Lists, ReleaseStructureArrayFreesStringsAndTheBlock) {
  Item* items = NewItemArray(3, ItemStrings);
  std::vector<char*> strings;
  for (int i = 0; i < 3; ++i) {
    items[i].name = StoredString("n");
    strings.push_back(items[i].name);
  }
  items[2].note = StoredString("last note");
  strings.push_back(items[2].note);
  void* block = reinterpret_cast<ArrayHeader*>(items) - 1;
  ReleaseStructureArray(items);
  EXPECT_FALSE(IsLiveBlock(block));
  for (char* s : strings) EXPECT_FALSE(IsLiveBlock(s));
  ReleaseStructureArray(nullptr);
}

TEST_F(Lists, ReleaseArrayFreesTheBlockOnly) {
  Item* items = NewItemArray(2, ItemStrings);
  char* name = StoredString("stays");
  items[0].name = name;
  void* block = reinterpret_cast<ArrayHeader*>(items) - 1;
  ReleaseArray(items);
  EXPECT_FALSE(IsLiveBlock(block));
  EXPECT_TRUE(IsLiveBlock(name));
  ReleaseArray(nullptr);
  ReleaseString(name);
}

}  // namespace
