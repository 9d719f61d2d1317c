#include "reskin.h"

bool ReadProgramSkins(const std::vector<uint8_t>&, ProgramSkins*, std::string* error) {
  *error = "not yet";
  return false;
}
std::string ScaledArtWarning(const ArtworkReport&, const ArtworkReport&) { return ""; }
bool CheckReskinnedProgram(const std::vector<uint8_t>&, const std::vector<uint8_t>&,
                           const std::vector<ProgramResource>&, std::string* error) {
  *error = "not yet";
  return false;
}
bool WriteProgramResources(const std::vector<uint8_t>&, const std::vector<ProgramResource>&, std::vector<uint8_t>*,
                           std::string* error) {
  *error = "not yet";
  return false;
}
