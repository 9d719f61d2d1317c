// Linked lists with a current element, arrays of structures, and the release of the strings
// that structures hold.
#include <windows.h>

#include "runtime/lists.h"
#include "runtime/runtime_state.h"

void CreateList(ListVariable* list, int32_t payloadSize, const StringFieldWord* description) {
  list->current = nullptr;
  list->header =
      static_cast<ListHeader*>(HeapAlloc(RuntimeState.heap, HEAP_ZERO_MEMORY, sizeof(ListHeader)));
  if (!list->header) return;
  list->header->elementSize = payloadSize + static_cast<int32_t>(sizeof(ListElement));
  list->header->description = description;
}

void RewindList(ListVariable* list) {
  list->current = nullptr;
  if (list->header) list->header->position = 0;
}

ListElement* NextListElement(ListVariable* list) {
  ListHeader* header = list->header;
  if (!header) return nullptr;
  if (!list->current) {
    list->current = header->first;
    if (header->first) header->position = 1;
    return list->current;
  }
  if (!list->current->next) return nullptr;  // stays on the last element
  list->current = list->current->next;
  header->position += 1;
  return list->current;
}

ListElement* InsertListElement(ListVariable* list) {
  ListHeader* header = list->header;
  if (!header || header->elementSize < static_cast<int32_t>(sizeof(ListElement))) return nullptr;
  ListElement* element = static_cast<ListElement*>(
      HeapAlloc(RuntimeState.heap, HEAP_ZERO_MEMORY, static_cast<size_t>(header->elementSize)));
  if (!element) return nullptr;  // a refusal leaves the list as it was
  header->count += 1;
  header->position += 1;
  ListElement* current = list->current;
  if (!current) {
    element->next = header->first;
    if (header->first) header->first->previous = element;
  } else {
    element->previous = current;
    element->next = current->next;
    if (current->next) current->next->previous = element;
    current->next = element;
  }
  list->current = element;
  if (!element->previous) header->first = element;
  if (!element->next) header->last = element;
  return element;
}

void DeleteListElement(ListVariable* list) {
  ListHeader* header = list->header;
  ListElement* element = list->current;
  if (!header || !element) return;
  header->count -= 1;
  header->position -= 1;
  ListElement* previous = element->previous;
  ListElement* next = element->next;
  if (!previous && !next) {
    header->first = header->last = nullptr;
    list->current = nullptr;
  } else if (!previous) {
    next->previous = nullptr;
    header->first = next;
    list->current = nullptr;
  } else if (!next) {
    previous->next = nullptr;
    header->last = previous;
    list->current = previous;
  } else {
    previous->next = next;
    next->previous = previous;
    list->current = previous;
  }
  if (header->description) ReleaseStructureStrings(ListPayload(element), header->description);
  HeapFree(RuntimeState.heap, 0, element);
}

void ReleaseStructureStrings(void* address, const StringFieldWord* description) {
  if (!address || !description) return;
  char* base = static_cast<char*>(address);
  for (const StringFieldWord* word = description; *word != StringFieldEnd;) {
    if (*word == StringFieldArray) {
      intptr_t count = word[1];
      intptr_t offset = word[2];
      intptr_t elementSize = word[3];
      const StringFieldWord* elementDescription = reinterpret_cast<const StringFieldWord*>(word[4]);
      for (intptr_t i = 0; i < count; ++i) {
        ReleaseStructureStrings(base + offset + i * elementSize, elementDescription);
      }
      word += 5;
    } else {
      char* s = *reinterpret_cast<char**>(base + *word);
      if (s) HeapFree(RuntimeState.heap, 0, s);
      word += 1;
    }
  }
}

namespace {

ArrayHeader* ArrayHeaderOf(void* data) { return static_cast<ArrayHeader*>(data) - 1; }

}  // namespace

void ReleaseArray(void* data) {
  if (data) HeapFree(RuntimeState.heap, 0, ArrayHeaderOf(data));
}

void ReleaseStructureArray(void* data) {
  if (!data) return;
  ArrayHeader* header = ArrayHeaderOf(data);
  if (header->description) {
    char* element = static_cast<char*>(data);
    for (intptr_t i = 0; i < header->count; ++i) {
      ReleaseStructureStrings(element + i * header->elementSize, header->description);
    }
  }
  HeapFree(RuntimeState.heap, 0, header);
}
