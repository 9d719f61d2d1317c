// Fuzz target: the PE reader and the host's resource writer on any bytes. Whatever the reader
// accepts it reads whole (AddressSanitizer reports a read past the input); whatever the writer
// accepts must read back with the skins it was given and every other resource unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "pe_file.h"
#include "resource_writer.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool IsSkin(const PeResource& r) {
  return !r.type.named && r.type.id == PeTypeRcdata &&
         (PeSameResourceId(r.name, PeNamedId("SKIN_100")) || PeSameResourceId(r.name, PeNamedId("SKIN_200")) ||
          PeSameResourceId(r.name, PeNamedId("NEW")));
}

bool SameResource(const PeResource& a, const PeResource& b) {
  return a.type.named == b.type.named && a.type.id == b.type.id && a.type.name == b.type.name &&
         a.name.named == b.name.named && a.name.id == b.name.id && a.name.name == b.name.name &&
         a.language == b.language && a.codePage == b.codePage && a.data == b.data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> file(data, data + size);
  PeFile pe;
  std::string error;
  if (!ParsePeFile(file, &pe, &error)) return 0;
  ComputePeChecksum(file, PeChecksumOffset(pe));
  std::vector<PeResource> before;
  bool readable = ReadPeResources(file, pe, &before, &error);
  if (readable) FindPeRcdata(before, "SKIN_100");

  std::vector<uint8_t> stripped = file;
  if (StripPeSignature(&stripped, &error)) {
    PeFile again;
    Check(ParsePeFile(stripped, &again, &error));
    Check(!PeHasSignature(again));
  } else {
    Check(stripped == file);
  }

  const std::vector<uint8_t> skin = {1, 2, 3, 4, 5};
  const std::vector<ProgramResource> requests = {{"SKIN_100", skin}, {"SKIN_200", {}}, {"NEW", {9}}};
  std::vector<uint8_t> out;
  if (!WriteProgramResources(file, requests, &out, &error)) return 0;
  Check(readable);
  PeFile written;
  Check(ParsePeFile(out, &written, &error));
  Check(!PeHasSignature(written));
  std::vector<PeResource> after;
  Check(ReadPeResources(out, written, &after, &error));
  const PeResource* s100 = FindPeRcdata(after, "SKIN_100");
  const PeResource* added = FindPeRcdata(after, "NEW");
  Check(s100 && s100->data == skin && added && added->data == std::vector<uint8_t>{9});
  Check(!FindPeRcdata(after, "SKIN_200"));
  // Every other resource is still there, in the writer's order.
  std::vector<const PeResource*> kept;
  for (const PeResource& r : after)
    if (!IsSkin(r)) kept.push_back(&r);
  size_t others = 0;
  for (const PeResource& r : before) {
    if (IsSkin(r)) continue;
    bool found = false;
    for (const PeResource* k : kept) found = found || SameResource(r, *k);
    Check(found);
    ++others;
  }
  Check(others == kept.size());
  return 0;
}
