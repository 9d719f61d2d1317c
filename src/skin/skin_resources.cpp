#include "skin/skin_resources.h"

#include "skin/skin_resource_names.h"
#include "window/window_scale.h"

const void* FindSkinResource(HINSTANCE module, const char* name, size_t* size) {
  *size = 0;
  HRSRC found = FindResourceA(module, name, MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (!found) return nullptr;
  HGLOBAL loaded = LoadResource(module, found);
  const void* block = loaded ? LockResource(loaded) : nullptr;
  if (block) *size = SizeofResource(module, found);
  return block;
}

long FindSkinArts(HINSTANCE module, SkinArt* arts) {
  long count = 0;
  for (const SkinResourceName& skin : SkinResourceNames) {
    size_t size;
    if (const void* block = FindSkinResource(module, skin.name, &size))
      arts[count++] = {skin.percent * BaseDpi / 100, block, size};
  }
  return count;
}
