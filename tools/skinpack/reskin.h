// Putting new skins into a built launcher: what the program carries before, and the check of what
// was written.
#pragma once
#include <string>
#include <vector>

#include "artwork.h"
#include "resource_writer.h"

// What reskinning needs to know of a built launcher.
struct ProgramSkins {
  bool signedProgram = false;  // it carries an Authenticode signature
  std::vector<ProgramResource> skins;  // the skin resources it carries, in the order of SkinResourceNames
};

// Reads a program's skin resources. False with `error` set when it is no PE file, or carries no
// 100 % skin resource (no launcher that can be reskinned).
bool ReadProgramSkins(const std::vector<uint8_t>& program, ProgramSkins* skins, std::string* error);

// A warning when art for 200 % is not twice the size of the 100 % art, so that the window would
// change its shape between scales; empty when it is.
std::string ScaledArtWarning(const ArtworkReport& art100, const ArtworkReport& art200);

// Checks a reskinned program against the one it was made from: it is unsigned, each resource in
// `skins` holds exactly its block (or is gone when its data is empty), and every other resource
// and every section other than the resources is as it was. False with `error` naming the first
// difference.
bool CheckReskinnedProgram(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after,
                           const std::vector<ProgramResource>& skins, std::string* error);
