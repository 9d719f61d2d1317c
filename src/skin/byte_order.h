// Little-endian fields of the skin formats (JC stream, SkinBlock, BMP). Portable.
#pragma once
#include <cstdint>
#include <cstring>

// Reads 4 bytes at any alignment.
inline uint32_t LoadLittleEndian32(const uint8_t* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  uint32_t v;
  std::memcpy(&v, p, 4);  // one unaligned load
  return v;
#else
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
#endif
}

inline uint32_t LoadLittleEndian16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }

inline void StoreLittleEndian16(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void StoreLittleEndian32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

// Appends a field to a byte container (anything with push_back): for the tools and tests that
// build skin data.
template <class Bytes>
void AppendLittleEndian16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
template <class Bytes>
void AppendLittleEndian32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
