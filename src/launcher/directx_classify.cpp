#include "launcher/directx_classify.h"

#include <cstring>

#include "runtime/strings.h"

namespace {

const char UnknownVersionName[] = "????";

// The builds older than 9.0c, each refused under its own name.
struct RefusedBuild {
  int32_t number;
  const char* name;
};
const RefusedBuild RefusedBuilds[] = {
    {902, "9.0b"}, {901, "9.0a"}, {900, "9.0"}, {810, "8.1"},
    {881, "8.1"},  {400, "8"},    {716, "7.0a"}, {700, "7.0"},
};

// Build 904 (9.0c) and everything after it.
const int32_t NewestRefusedBuild = 903;

}  // namespace

DirectXVerdict ClassifyDirectXNumber(int32_t number) {
  if (number > NewestRefusedBuild) return {number, "9.0c", 1};
  for (const RefusedBuild& row : RefusedBuilds) {
    if (row.number == number) return {number, row.name, 0};
  }
  return {number, UnknownVersionName, 1};
}

DirectXVerdict ClassifyDirectXVersion(const char* text) {
  size_t length = text ? strlen(text) : 0;
  if (length == 0) return {0, UnknownVersionName, 1};
  // The last four characters are parsed where they lie: no copy, whatever the text's length.
  return ClassifyDirectXNumber(ParseInteger(text + (length > 4 ? length - 4 : 0)));
}
