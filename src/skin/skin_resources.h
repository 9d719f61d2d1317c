// Reading the skins a program carries as resources (skin_resource_names.h).
#pragma once
#include <windows.h>

#include <stddef.h>

#include "skin/skin_engine.h"

// The block of RT_RCDATA resource `name` in `module`, where the loader has mapped it with the
// program's image (nothing is copied); null with *size 0 when the module has no such resource.
const void* FindSkinResource(HINSTANCE module, const char* name, size_t* size);

// The module's skins as drawings for ApplySkinForScale: one for each skin resource it carries, in
// the order of SkinResourceNames, into `arts` (room for SkinResourceNameCount). Returns how many.
long FindSkinArts(HINSTANCE module, SkinArt* arts);
