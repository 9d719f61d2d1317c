// Small builders for skin test data: BMP files and SkinBlocks in memory.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "skin/byte_order.h"
#include "skin/skin_block.h"

// A 24-bit bottom-up BMP from rows given top first, one character per pixel:
// 'm' magenta (KeyColour), 'n' near-magenta (254, 0, 255), anything else dark grey.
inline std::vector<uint8_t> MakeBmp(const std::vector<std::string>& rows) {
  uint32_t width = uint32_t(rows[0].size()), height = uint32_t(rows.size());
  uint32_t stride = (width * 3 + 3) & ~3u;
  std::vector<uint8_t> b = {'B', 'M'};
  AppendLittleEndian32(b, 54 + stride * height);
  AppendLittleEndian32(b, 0);
  AppendLittleEndian32(b, 54);
  AppendLittleEndian32(b, 40);
  AppendLittleEndian32(b, width);
  AppendLittleEndian32(b, height);
  AppendLittleEndian16(b, 1);
  AppendLittleEndian16(b, 24);
  AppendLittleEndian32(b, 0);
  AppendLittleEndian32(b, stride * height);
  AppendLittleEndian32(b, 2835);
  AppendLittleEndian32(b, 2835);
  AppendLittleEndian32(b, 0);
  AppendLittleEndian32(b, 0);
  for (uint32_t r = height; r-- > 0;) {
    size_t start = b.size();
    for (char c : rows[r]) {
      if (c == 'm') b.insert(b.end(), {255, 0, 255});
      else if (c == 'n') b.insert(b.end(), {255, 0, 254});
      else b.insert(b.end(), {40, 40, 40});
    }
    b.resize(start + stride, 0);
  }
  return b;
}

// Rows for MakeBmp of a width x height picture whose outline has `rects` rectangles, or as many as
// it holds: from the top down, bands of cell x cell squares, each band with s cut-away squares at
// every other square (alternately odd and even ones, so that no two bands are alike), which leaves
// s + 1 rectangles; the rows below are left whole, one rectangle more.
inline std::vector<std::string> CheckeredRows(int32_t width, int32_t height, int32_t cell, uint32_t rects) {
  std::vector<std::string> rows(size_t(height), std::string(size_t(width), 'x'));
  const uint32_t most = uint32_t(width / cell - 2) / 2;  // an opaque square stays at either end
  uint32_t made = 1;
  for (int32_t band = 0; (band + 1) * cell <= height && made + 1 < rects; ++band) {
    uint32_t s = rects - made - 1 < most ? rects - made - 1 : most;
    if (rects - made - (s + 1) == 1) --s;  // a band makes at least two: never leave one to make
    for (uint32_t i = 0; i < s; ++i)
      for (int32_t y = band * cell; y < (band + 1) * cell; ++y)
        rows[size_t(y)].replace(size_t((2 * int32_t(i) + 1 + (band & 1)) * cell), size_t(cell), size_t(cell), 'm');
    made += s + 1;
  }
  return rows;
}

// A SkinBlock around `imageData` (a JC stream when compressed != 0, else the raw image).
inline std::vector<uint8_t> MakeSkinBlock(uint8_t compressed, uint32_t unpackedSize, uint32_t storedSize,
                                          const std::vector<uint8_t>& imageData,
                                          const std::vector<SkinRun>& runs, int8_t runHeight = 1) {
  std::vector<uint8_t> b = {uint8_t(runHeight), compressed};
  AppendLittleEndian32(b, unpackedSize);
  AppendLittleEndian32(b, storedSize);
  b.insert(b.end(), SkinBanner, SkinBanner + SkinBannerLength);
  b.push_back('\r');
  b.push_back('\n');
  b.insert(b.end(), imageData.begin(), imageData.end());
  AppendLittleEndian32(b, uint32_t(runs.size() * SkinRunSize));
  for (const SkinRun& r : runs) {
    AppendLittleEndian16(b, uint16_t(r.left));
    AppendLittleEndian16(b, uint16_t(r.top));
    AppendLittleEndian16(b, uint16_t(r.right));
  }
  return b;
}

inline bool operator==(const SkinRun& a, const SkinRun& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right;
}

// The bytes of a file of the build machine (empty when it cannot be read). Under Wine the build
// machine's file system is drive Z:.
inline std::vector<uint8_t> ReadBuildFile(std::string path) {
#ifdef _WIN32
  for (char& c : path)
    if (c == '/') c = '\\';
  path = "Z:" + path;
#endif
  std::vector<uint8_t> data;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    int c;
    while ((c = std::fgetc(f)) != EOF) data.push_back(uint8_t(c));
    std::fclose(f);
  }
  return data;
}
