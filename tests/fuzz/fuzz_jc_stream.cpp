// Fuzz target: the JC decoder on arbitrary streams of known size.
// Whatever the input, decoding must stay inside the stream and the destination (the sanitizers
// watch). Its result is checked against the plain reference decoder: where that one completes,
// the result and the decoded bytes must be the same; where it stops, the decoder must return 0.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "jc_reference.h"
#include "skin/jc_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  JcHeader header;
  if (!ReadJcHeader(data, size, &header)) {
    uint8_t out[1];
    if (DecodeJcStream(data, size, out) != 0) __builtin_trap();
    return 0;
  }
  if (header.unpackedSize > (1u << 20)) return 0;  // keep allocations small
  std::vector<uint8_t> out(header.unpackedSize);
  uint32_t n = DecodeJcStream(data, size, out.data());

  JcReferenceResult reference = JcReferenceDecode(data, size);
  if (!reference.completed && n != 0) __builtin_trap();
  // A checksum mismatch still leaves the decoded bytes in the destination.
  if (reference.completed && (n != reference.result || out != reference.output)) __builtin_trap();

  if (n != 0) {
    if (n != header.unpackedSize) __builtin_trap();
    if (header.checksum != 0 && JcChecksum(out.data(), n) != header.checksum) __builtin_trap();
    // A stream that decodes must decode the same when its size is not given.
    std::vector<uint8_t> again(header.unpackedSize);
    if (DecodeJcStream(data, again.data()) != n || again != out) __builtin_trap();
  }
  return 0;
}
