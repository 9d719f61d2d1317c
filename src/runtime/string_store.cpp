// Storing strings in variables: each stored string owns a RuntimeHeap block of exactly its
// length + 1 bytes.
#include <windows.h>

#include <cstring>

#include "runtime/runtime_state.h"
#include "runtime/strings.h"

namespace {

// A copy of length bytes of source plus a terminator, or null when the heap refuses.
char* StoreCopy(const char* source, size_t length) {
  char* block = static_cast<char*>(HeapAlloc(RuntimeState.heap, 0, length + 1));
  if (!block) return nullptr;
  memcpy(block, source, length);
  block[length] = 0;
  return block;
}

}  // namespace

void InitStringBuffer() {
  if (WritePosition) return;
  char* buffer =
      static_cast<char*>(HeapAlloc(RuntimeState.heap, HEAP_ZERO_MEMORY, StringWorkBufferSize));
  if (buffer) UseStringWorkBuffer(buffer, StringWorkBufferSize);
}

void AssignFromWorkBuffer(char** variable, const char* start) {
  // The block is sized by the text up to its first zero, not by the distance to WritePosition:
  // after a CharacterString(0) the stored string is shorter than what was built, and its block
  // must still be exactly length + 1 bytes.
  char* stored = start ? StoreCopy(start, strlen(start)) : nullptr;
  ReleaseString(*variable);
  *variable = stored;
  if (start) WritePosition = const_cast<char*>(start);
}

void AssignString(char** variable, const char* source) {
  // Copy first, release afterwards: the source may be the variable's own block.
  char* stored = source ? StoreCopy(source, strlen(source)) : nullptr;
  ReleaseString(*variable);
  *variable = stored;
}

void ReleaseString(char* s) {
  if (s) HeapFree(RuntimeState.heap, 0, s);
}
