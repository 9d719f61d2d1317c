// The launcher's skins live in its program as RT_RCDATA resources, one for each display scale the
// art is drawn for. The build writes them there, and tools that put new skins into a built
// program use the same names, so resource editors show them by what they are.
#pragma once

struct SkinResourceName {
  long percent;  // the display scale the art is drawn for
  const char* name;
};

inline constexpr SkinResourceName SkinResourceNames[] = {{100, "SKIN_100"}, {200, "SKIN_200"}};
inline constexpr int SkinResourceNameCount = int(sizeof SkinResourceNames / sizeof SkinResourceNames[0]);
