// Classification of the installed DirectX version, from the text of the registry's "Version"
// value. No platform calls: it builds in both trees.
#pragma once
#include <cstdint>

struct DirectXVerdict {
  int32_t number;    // decimal value of the text's last four characters (0 without digits)
  const char* name;  // short version name; "????" for a number no row lists
  uint8_t accepted;  // 1 when the game may start
};

// Only the text's last four characters count (all of it when shorter). An empty or null text
// is accepted: no version recorded means nothing to refuse.
DirectXVerdict ClassifyDirectXVersion(const char* text);

// The table row for a number: the eight older builds are refused, every other number accepted.
DirectXVerdict ClassifyDirectXNumber(int32_t number);
