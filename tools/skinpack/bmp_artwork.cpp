// BMP artwork of every uncompressed kind a paint program writes, read with every offset and length
// checked against the file's size before it is used.
#include <string>

#include "artwork.h"
#include "skin/byte_order.h"

namespace {

constexpr uint32_t FileHeaderSize = 14;
enum : uint32_t { BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitfields = 3, BiJpeg = 4, BiPng = 5 };

// One channel of a bit-field pixel: where its bits are and how many.
struct Channel {
  uint32_t mask;
  uint32_t shift;
  uint32_t bits;
};

bool MakeChannel(uint32_t mask, Channel* c) {
  *c = Channel{mask, 0, 0};
  if (mask == 0) return true;
  while (!(mask >> c->shift & 1)) ++c->shift;
  uint32_t bits = mask >> c->shift;
  while (bits & 1) {
    bits >>= 1;
    ++c->bits;
  }
  return bits == 0;  // contiguous
}

// The channel's value scaled to 0..255 (0 for an absent channel).
uint8_t ChannelValue(const Channel& c, uint32_t pixel) {
  if (c.bits == 0) return 0;
  uint64_t v = (pixel & c.mask) >> c.shift;
  uint64_t top = (uint64_t(1) << c.bits) - 1;
  return uint8_t((v * 255 + top / 2) / top);
}

bool Refuse(std::string* error, const std::string& why) {
  *error = "BMP: " + why;
  return false;
}

}  // namespace

bool ReadBmpArtwork(const uint8_t* p, size_t size, ArtworkPixels* pixels, std::string* kind, std::string* error) {
  if (size < FileHeaderSize + 4) return Refuse(error, "truncated: the headers are incomplete");
  const uint32_t headerSize = LoadLittleEndian32(p + 14);
  if (headerSize == 12) return Refuse(error, "the OS/2 BMP format (12-byte header) is not accepted");
  if (headerSize < 40 || headerSize > 124 || headerSize == 64)
    return Refuse(error, "unknown header size " + std::to_string(headerSize));
  if (size < FileHeaderSize + headerSize) return Refuse(error, "truncated: the headers are incomplete");

  const uint32_t pixelOffset = LoadLittleEndian32(p + 10);
  const int32_t width = int32_t(LoadLittleEndian32(p + 18));
  const int32_t storedHeight = int32_t(LoadLittleEndian32(p + 22));
  const uint32_t planes = LoadLittleEndian16(p + 26);
  const uint32_t bits = LoadLittleEndian16(p + 28);
  const uint32_t compression = LoadLittleEndian32(p + 30);
  const uint32_t coloursUsed = LoadLittleEndian32(p + 46);

  if (compression == BiRle8 || compression == BiRle4)
    return Refuse(error, std::string("RLE-compressed (") + (compression == BiRle8 ? "RLE8" : "RLE4") +
                             ") images are not accepted: save it uncompressed");
  if (compression == BiJpeg || compression == BiPng)
    return Refuse(error, "a BMP holding JPEG or PNG data is not accepted: export the PNG itself");
  if (compression != BiRgb && compression != BiBitfields)
    return Refuse(error, "compression " + std::to_string(compression) + " is not accepted");
  if (bits == 16) return Refuse(error, "16-bit images are not accepted: save as 24 or 32 bits");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32)
    return Refuse(error, std::to_string(bits) + " bits per pixel is not accepted");
  if (compression == BiBitfields && bits != 32)
    return Refuse(error, "bit fields with " + std::to_string(bits) + " bits per pixel are not accepted");
  if (planes != 1) return Refuse(error, std::to_string(planes) + " planes (must be 1)");
  if (width <= 0 || storedHeight == 0 || storedHeight == INT32_MIN)
    return Refuse(error, "bad size " + std::to_string(width) + " x " + std::to_string(storedHeight));
  const bool topDown = storedHeight < 0;
  const uint32_t height = uint32_t(topDown ? -storedHeight : storedHeight);
  if (!CheckArtworkSize(uint32_t(width), height, error)) return Refuse(error, *error);

  // Bit fields: in the header from 52 bytes on, else in the 12 bytes after it; alpha only in the
  // header (56 bytes and more). Plain 32-bit pixels are B, G, R and a fourth byte taken as alpha.
  Channel red, green, blue, alpha;
  size_t tableAt = FileHeaderSize + headerSize;
  if (compression == BiBitfields) {
    const size_t masksAt = FileHeaderSize + 40;
    if (headerSize < 52) {
      tableAt += 12;
      if (size < tableAt) return Refuse(error, "truncated: the bit-field masks are missing");
    }
    uint32_t alphaMask = headerSize >= 56 ? LoadLittleEndian32(p + masksAt + 12) : 0;
    if (!MakeChannel(LoadLittleEndian32(p + masksAt), &red) || !MakeChannel(LoadLittleEndian32(p + masksAt + 4), &green) ||
        !MakeChannel(LoadLittleEndian32(p + masksAt + 8), &blue) || !MakeChannel(alphaMask, &alpha))
      return Refuse(error, "a bit-field mask whose bits are not contiguous");
  } else {
    MakeChannel(0x00FF0000, &red);
    MakeChannel(0x0000FF00, &green);
    MakeChannel(0x000000FF, &blue);
    MakeChannel(0xFF000000, &alpha);
  }

  // Colour table: 4 bytes (B, G, R, unused) an entry; 0 entries stated means all 2^bits.
  uint32_t entries = 0;
  const uint8_t* table = nullptr;
  if (bits <= 8) {
    uint32_t most = 1u << bits;
    entries = coloursUsed == 0 || coloursUsed > most ? most : coloursUsed;
    if (tableAt > size || (size - tableAt) / 4 < entries) return Refuse(error, "truncated: the colour table is incomplete");
    table = p + tableAt;
  }

  const uint64_t stride = (uint64_t(uint32_t(width)) * bits + 31) / 32 * 4;
  const uint64_t need = stride * height;
  if (pixelOffset < tableAt) return Refuse(error, "the pixel data's offset " + std::to_string(pixelOffset) + " lies inside the headers");
  if (pixelOffset > size || need > size - pixelOffset)
    return Refuse(error, "truncated: the pixel rows need " + std::to_string(need) + " bytes from offset " +
                             std::to_string(pixelOffset) + ", the file has " + std::to_string(size));

  pixels->width = uint32_t(width);
  pixels->height = height;
  pixels->hasAlpha = false;
  pixels->rgba.assign(size_t(width) * height * 4, 255);
  bool anyAlpha = false;
  for (uint32_t row = 0; row < height; ++row) {
    const uint8_t* src = p + pixelOffset + stride * row;
    uint32_t y = topDown ? row : height - 1 - row;
    uint8_t* out = pixels->rgba.data() + size_t(y) * uint32_t(width) * 4;
    for (uint32_t x = 0; x < uint32_t(width); ++x, out += 4) {
      if (bits == 24) {
        out[0] = src[x * 3 + 2];
        out[1] = src[x * 3 + 1];
        out[2] = src[x * 3];
      } else if (bits == 32) {
        uint32_t v = LoadLittleEndian32(src + size_t(x) * 4);
        out[0] = ChannelValue(red, v);
        out[1] = ChannelValue(green, v);
        out[2] = ChannelValue(blue, v);
        out[3] = alpha.bits ? ChannelValue(alpha, v) : 255;
        anyAlpha |= alpha.bits && out[3] != 0;
      } else {
        // Indexes packed from the byte's top bits down.
        uint32_t bitAt = x * bits;
        uint32_t index = uint32_t(src[bitAt / 8] >> (8 - bits - bitAt % 8)) & ((1u << bits) - 1);
        if (index >= entries)
          return Refuse(error, "pixel " + std::to_string(x) + "," + std::to_string(y) + " uses colour " +
                                   std::to_string(index) + " beyond the colour table of " + std::to_string(entries));
        out[0] = table[index * 4 + 2];
        out[1] = table[index * 4 + 1];
        out[2] = table[index * 4];
      }
    }
  }
  // An alpha channel that is 0 everywhere was left unused by the writer: the image is opaque.
  pixels->hasAlpha = anyAlpha;
  *kind = "BMP, " + std::to_string(bits) + " bits" + (bits <= 8 ? ", palette" : "") +
          (compression == BiBitfields ? ", bit fields" : "") + (anyAlpha ? " with alpha" : "") +
          (topDown ? ", top-down" : ", bottom-up");
  return true;
}
