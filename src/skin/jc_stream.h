// JC streams: the compressed form of the skin image. Portable, no platform headers.
#pragma once
#include <cstddef>
#include <cstdint>

// Bytes before the bit stream: magic "JC", unpackedSize, checksum.
constexpr uint32_t JcHeaderSize = 10;
// Source size to pass when the caller does not know how long the stored stream is.
constexpr size_t JcSizeUnknown = static_cast<size_t>(-1);

struct JcHeader {
  uint32_t unpackedSize;  // bytes the stream decodes to
  uint32_t checksum;      // JcChecksum of those bytes; 0 means "not checked"
};

// Reads the 10-byte header. False when fewer than 10 bytes are given or the magic is not "JC".
bool ReadJcHeader(const void* source, size_t sourceSize, JcHeader* header);

// The stream's checksum over `size` bytes: words in order, a short tail taken as the last four bytes.
uint32_t JcChecksum(const void* data, uint32_t size);

// Decodes a JC stream into `destination`, which holds at least the header's unpackedSize bytes.
// Returns the number of bytes written (= unpackedSize), or 0 when the stream is malformed, reads
// past `sourceSize`, or fails its checksum. Never writes outside the destination's unpackedSize
// bytes, and never reads past `sourceSize` bytes of the source.
uint32_t DecodeJcStream(const void* source, size_t sourceSize, void* destination);
// The same with the stream's size unknown: writes stay bounded, but reads are bounded only by the
// stream itself. A well-formed stream is read up to its end code and no further; a malformed one
// (codes without output can repeat without end) may be read past its real end. Product callers
// pass the stored size (UnpackSkinImage does).
uint32_t DecodeJcStream(const void* source, void* destination);

// As DecodeJcStream, but 0 when either pointer is null. Reads are bounded only in the first form.
uint32_t UnpackBlock(const void* source, size_t sourceSize, void* destination);
uint32_t UnpackBlock(const void* source, void* destination);
