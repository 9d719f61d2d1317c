// Memory blocks and object records.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "runtime/heaps.h"
#include "runtime/runtime_state.h"
#include "support/heap_probe.h"
#include "support/runtime_setup.h"

namespace {

class Heaps : public ::testing::Test {
 protected:
  void SetUp() override { StartRuntimeForTests(); }
};

TEST_F(Heaps, StartUpCreatesThreeHeaps) {
  EXPECT_NE(RuntimeState.heap, nullptr);
  EXPECT_NE(MemoryState.objectHeap, nullptr);
  EXPECT_NE(MemoryState.blockHeap, nullptr);
  EXPECT_NE(MemoryState.objectHeap, MemoryState.blockHeap);
  EXPECT_NE(MemoryState.objectHeap, RuntimeState.heap);
}

TEST_F(Heaps, AllocateBlockGivesZeroFilledBlocksOrZero) {
  EXPECT_EQ(AllocateBlock(0), nullptr);
  EXPECT_EQ(AllocateBlock(-5), nullptr);
  // The heap refuses: the largest size there is, from a heap that cannot grow to it.
  EXPECT_EQ(AllocateFromFixedHeap(&MemoryState.blockHeap, [] { return AllocateBlock(0x7FFFFFFF); }),
            nullptr);
  unsigned char* block = static_cast<unsigned char*>(AllocateBlock(100));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(HeapSize(MemoryState.blockHeap, 0, block), 100u);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(block[i], 0) << i;
  ReleaseBlock(block);
  ReleaseBlock(nullptr);  // does nothing
  EXPECT_TRUE(HeapValidate(MemoryState.blockHeap, 0, nullptr));
}

TEST_F(Heaps, CopyBlockReturnsTheEndOfTheCopy) {
  char source[16] = "0123456789abcde";
  char destination[16] = {};
  EXPECT_EQ(CopyBlock(source, destination, 10), destination + 10);
  EXPECT_EQ(memcmp(destination, "0123456789\0", 11), 0);
  EXPECT_EQ(CopyBlock(source, destination, 0), destination);
  EXPECT_EQ(CopyBlock(source, destination, -3), destination);  // copies nothing
  EXPECT_EQ(memcmp(destination, "0123456789\0", 11), 0);
  // Overlapping ranges are copied as if through a temporary.
  EXPECT_EQ(CopyBlock(source, source + 2, 8), source + 10);
  EXPECT_EQ(memcmp(source, "0101234567ab", 12), 0);
}

TEST_F(Heaps, AllBlocksStartsAFreshBlockHeap) {
  void* a = AllocateBlock(32);
  void* b = AllocateBlock(64);
  ASSERT_TRUE(a && b);
  ASSERT_TRUE(IsLiveBlock(a, MemoryState.blockHeap) && IsLiveBlock(b, MemoryState.blockHeap));
  ReleaseBlock(AllBlocks);
  ASSERT_NE(MemoryState.blockHeap, nullptr);
  EXPECT_TRUE(HeapValidate(MemoryState.blockHeap, 0, nullptr));
  // No earlier block survives: the BlockHeap holds nothing in use.
  EXPECT_EQ(BusyBlocks(MemoryState.blockHeap), std::vector<void*>{});
  unsigned char* c = static_cast<unsigned char*>(AllocateBlock(48));
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(HeapSize(MemoryState.blockHeap, 0, c), 48u);
  EXPECT_EQ(BusyBlocks(MemoryState.blockHeap), std::vector<void*>{c});
  ReleaseBlock(c);
}

// Walks a list and checks both link directions; returns the payloads from the head on.
std::vector<void*> Payloads(ObjectRecordHeader* head) {
  std::vector<void*> result;
  ObjectRecordHeader* previous = nullptr;
  for (ObjectRecordHeader* r = head; r; r = r->next) {
    if (previous) EXPECT_EQ(r->previous, previous);
    result.push_back(r + 1);
    previous = r;
  }
  return result;
}

TEST_F(Heaps, ObjectRecordsLinkAtTheHead) {
  ObjectRecordHeader* list = nullptr;
  const int32_t size = static_cast<int32_t>(sizeof(ObjectRecordHeader)) + 12;
  void* a = AllocateObjectRecord(&list, size);
  void* b = AllocateObjectRecord(&list, size);
  void* c = AllocateObjectRecord(&list, size);
  ASSERT_TRUE(a && b && c);
  EXPECT_EQ(Payloads(list), (std::vector<void*>{c, b, a}));
  // The payload follows the header, the size includes the header, the record is zero-filled.
  EXPECT_EQ(static_cast<ObjectRecordHeader*>(a) - 1, list->next->next);
  EXPECT_EQ(HeapSize(MemoryState.objectHeap, 0, static_cast<ObjectRecordHeader*>(b) - 1),
            static_cast<size_t>(size));
  EXPECT_EQ(memcmp(c, "\0\0\0\0\0\0\0\0\0\0\0\0", 12), 0);

  EXPECT_EQ(FindObjectRecord(list, a), a);
  EXPECT_EQ(FindObjectRecord(list, c), c);
  EXPECT_EQ(FindObjectRecord(nullptr, a), nullptr);
  int notARecord[4] = {};
  EXPECT_EQ(FindObjectRecord(list, &notARecord[2]), nullptr);
  EXPECT_EQ(FindObjectRecord(list, nullptr), nullptr);

  ReleaseObjectRecord(&list, b);  // from the middle
  EXPECT_EQ(Payloads(list), (std::vector<void*>{c, a}));
  EXPECT_EQ(FindObjectRecord(list, b), nullptr);
  ReleaseObjectRecord(&list, c);  // the head
  EXPECT_EQ(Payloads(list), (std::vector<void*>{a}));
  ReleaseObjectRecord(&list, a);  // the last one
  EXPECT_EQ(list, nullptr);
  EXPECT_TRUE(HeapValidate(MemoryState.objectHeap, 0, nullptr));
}

TEST_F(Heaps, ReleasingARecordOfAnotherListChangesNothing) {
  ObjectRecordHeader* mine = nullptr;
  ObjectRecordHeader* other = nullptr;
  void* x = AllocateObjectRecord(&mine, 16);
  void* y = AllocateObjectRecord(&other, 16);
  ReleaseObjectRecord(&mine, y);
  EXPECT_EQ(Payloads(mine), (std::vector<void*>{x}));
  EXPECT_EQ(Payloads(other), (std::vector<void*>{y}));
  ReleaseObjectRecord(&mine, x);
  ReleaseObjectRecord(&mine, x);  // a second release of the same record does nothing
  EXPECT_EQ(mine, nullptr);
  ReleaseObjectRecord(&other, y);
  EXPECT_TRUE(HeapValidate(MemoryState.objectHeap, 0, nullptr));
}

TEST_F(Heaps, RefusedRecordLeavesTheListUnchanged) {
  ObjectRecordHeader* list = nullptr;
  void* a = AllocateObjectRecord(&list, 16);
  void* refused = AllocateFromFixedHeap(&MemoryState.objectHeap,
                                        [&] { return AllocateObjectRecord(&list, 0x7FFFFFF0); });
  EXPECT_EQ(refused, nullptr);
  EXPECT_EQ(Payloads(list), (std::vector<void*>{a}));
  // A size below the header still gets a whole header.
  void* tiny = AllocateObjectRecord(&list, 2);
  ASSERT_NE(tiny, nullptr);
  EXPECT_GE(HeapSize(MemoryState.objectHeap, 0, static_cast<ObjectRecordHeader*>(tiny) - 1),
            sizeof(ObjectRecordHeader));
  ReleaseObjectRecord(&list, tiny);
  ReleaseObjectRecord(&list, a);
}

TEST_F(Heaps, GrowRecordTableKeepsRecordsAndRefusesTablesBeyond31Bits) {
  intptr_t* table =
      static_cast<intptr_t*>(HeapAlloc(RuntimeState.heap, HEAP_ZERO_MEMORY, 4 * sizeof(intptr_t)));
  ASSERT_NE(table, nullptr);
  table[3] = 0x5A;
  // The last count's table is 2^64 bytes on 64-bit: a product taken in pointer-sized arithmetic
  // wraps to 0 and would pass for a small table.
  const intptr_t refused[] = {0, -1, INTPTR_MIN, 0x7FFFFFFF / 16 + 1, INTPTR_MAX,
                              static_cast<intptr_t>(SIZE_MAX / 16 + 1)};
  for (intptr_t count : refused) {
    SCOPED_TRACE(count);
    EXPECT_EQ(GrowRecordTable(table, count, 16), nullptr);
  }
  EXPECT_TRUE(IsLiveBlock(table));
  intptr_t* grown = static_cast<intptr_t*>(GrowRecordTable(table, 8, sizeof(intptr_t)));
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(HeapSize(RuntimeState.heap, 0, grown), 8 * sizeof(intptr_t));
  EXPECT_EQ(grown[3], 0x5A);
  for (int i = 4; i < 8; ++i) EXPECT_EQ(grown[i], 0) << i;
  HeapFree(RuntimeState.heap, 0, grown);
}

TEST_F(Heaps, DestroyingTheObjectHeapTakesEveryRecord) {
  DestroyObjectHeap();
  EXPECT_EQ(MemoryState.objectHeap, nullptr);
  ObjectRecordHeader* list = nullptr;
  EXPECT_EQ(AllocateObjectRecord(&list, 16), nullptr);  // no heap, no record
  EXPECT_EQ(list, nullptr);
  CreateObjectHeap();
  ASSERT_NE(MemoryState.objectHeap, nullptr);
  EXPECT_NE(AllocateObjectRecord(&list, 16), nullptr);
}

}  // namespace
