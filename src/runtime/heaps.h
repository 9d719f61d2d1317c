// Private heaps, memory blocks and object records.
//
// Three private heaps serve different lifetimes: the RuntimeHeap (RuntimeState.heap, strings and
// tables), the ObjectHeap (records of objects created under AnyNumber) and the BlockHeap (raw,
// zero-filled memory blocks).
#pragma once
#include <cstdint>
#include <windows.h>

struct MemoryStateRecord {
  HANDLE objectHeap;  // the ObjectHeap: ObjectList records
  HANDLE blockHeap;   // the BlockHeap: memory blocks
};
extern MemoryStateRecord MemoryState;

// ---- Object records -------------------------------------------------------------------------
// Every record of an ObjectList starts with this header; the caller's payload follows it. A list
// is one pointer (the head) to the most recently added record.
struct ObjectRecordHeader {
  ObjectRecordHeader* next;
  ObjectRecordHeader* previous;  // never read for the head record
};

// Creates the ObjectHeap (initial 1024 bytes, growable).
void CreateObjectHeap();
// Destroys the ObjectHeap together with every record in it.
void DestroyObjectHeap();

// Allocates a zero-filled record of totalSize bytes (header included) and makes it the head of
// *list. Returns the payload address, or 0 (list unchanged) when the heap refuses.
void* AllocateObjectRecord(ObjectRecordHeader** list, int32_t totalSize);
// Unlinks the record whose payload is given from *list and frees it. A payload that is not
// linked in the list is left alone.
void ReleaseObjectRecord(ObjectRecordHeader** list, void* payload);
// Returns payload if its record is linked in the list starting at head, else 0.
void* FindObjectRecord(ObjectRecordHeader* head, void* payload);
// Walk of a list from its head (newest first): the payload of the head record, then the payload
// of the record after the one given; 0 at the end.
void* FirstObjectRecord(ObjectRecordHeader* head);
void* NextObjectRecord(void* payload);

// ---- Record tables --------------------------------------------------------------------------
// Grows a table of numbered records on the RuntimeHeap to count records of recordSize bytes; the
// records it held keep their contents, the new ones are zero. Returns the table's address, which
// may have moved, or 0 with the table untouched when the heap refuses or the size does not fit in
// 31 bits.
void* GrowRecordTable(void* table, intptr_t count, size_t recordSize);

// ---- Memory blocks --------------------------------------------------------------------------
// Passed to ReleaseBlock: releases every block at once.
inline void* const AllBlocks = reinterpret_cast<void*>(static_cast<intptr_t>(-1));

// Creates the BlockHeap (initial 4096 bytes, growable).
void InitBlockLibrary();
// A zero-filled block of size bytes from the BlockHeap; 0 when size <= 0 or the heap refuses.
void* AllocateBlock(int32_t size);
// Frees one block (null does nothing). AllBlocks discards the whole BlockHeap and creates a
// fresh one, so no earlier block may be used afterwards.
void ReleaseBlock(void* block);
// Copies length bytes from source to destination (overlap-safe); returns destination + length.
// A length <= 0 copies nothing and returns destination.
void* CopyBlock(const void* source, void* destination, int32_t length);
