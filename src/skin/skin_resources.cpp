#include "skin/skin_resources.h"

const void* FindSkinResource(HINSTANCE module, const char* name, size_t* size) {
  *size = 0;
  HRSRC found = FindResourceA(module, name, MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (!found) return nullptr;
  HGLOBAL loaded = LoadResource(module, found);
  const void* block = loaded ? LockResource(loaded) : nullptr;
  if (block) *size = SizeofResource(module, found);
  return block;
}
