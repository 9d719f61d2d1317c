// Doubly linked lists of fixed-size structures with a current element, arrays of structures, and
// the release of the strings that structures hold. Lists, elements and arrays live on the
// RuntimeHeap.
#pragma once
#include <cstdint>

// A StringFieldDescription is a sequence of words read in order:
//  - an offset (below StringFieldArray) of a string pointer inside the structure;
//  - StringFieldArray, element count, offset of the array, element size, and the description of
//    the array's elements: an embedded array;
//  - StringFieldEnd.
typedef intptr_t StringFieldWord;
const StringFieldWord StringFieldArray = -2;
const StringFieldWord StringFieldEnd = -1;

struct ListElement {
  ListElement* next;
  ListElement* previous;
  // the payload follows
};

struct ListHeader {
  ListElement* first;
  ListElement* last;
  int32_t elementSize;  // payload size plus the two link words
  int32_t count;
  int32_t position;     // 1-based position of the current element; 0 when there is none
  const StringFieldWord* description;  // null when the payload holds no strings
  intptr_t unused[2];
};

struct ListVariable {
  ListHeader* header;
  ListElement* current;  // null when there is none
};

// The payload of an element.
inline void* ListPayload(ListElement* element) { return element ? element + 1 : nullptr; }

// Creates an empty list. When the heap refuses, list->header stays null and every list operation
// on it does nothing and returns 0.
void CreateList(ListVariable* list, int32_t payloadSize, const StringFieldWord* description);
void RewindList(ListVariable* list);
// Steps to the next element (the first after a rewind); returns it, or 0 at the end, where the
// current element stays on the last one.
ListElement* NextListElement(ListVariable* list);
// Inserts a zero-filled element after the current one (at the front when there is none) and
// makes it current. Returns 0, list unchanged, when the heap refuses.
ListElement* InsertListElement(ListVariable* list);
// Deletes the current element (releasing its strings); the previous element becomes current.
void DeleteListElement(ListVariable* list);

// Frees every string the description names in the structure at address (pointers not cleared).
void ReleaseStructureStrings(void* address, const StringFieldWord* description);

// Array block: this header lies immediately in front of the array's data.
struct ArrayHeader {
  intptr_t elementSize;
  const StringFieldWord* description;  // of the elements; null if none
  intptr_t unused1;
  intptr_t count;
  intptr_t unused2;
};
// Frees the array block, header included; null does nothing.
void ReleaseArray(void* data);
// Releases each element's strings, then frees the block; null does nothing.
void ReleaseStructureArray(void* data);
