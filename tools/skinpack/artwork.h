// Skin artwork as artists export it (PNG, or BMP of 1, 4, 8, 24 or 32 bits), turned into the
// 24-bit bottom-up BMP that a SkinBlock carries.
//
// The file's kind is told by its first bytes, never by its name. Transparency becomes the
// KeyColour: a pixel whose alpha is below ArtworkAlphaCut becomes magenta (cut away from the
// window); any other pixel keeps its colour as it is, unblended, since the window is either there
// or not. In a 32-bit BMP, an alpha channel that is zero in every pixel is taken as absent (many
// writers leave the fourth byte at 0), so such an image is wholly opaque; a PNG's alpha is always
// taken as it is.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Alpha below this becomes KeyColour; this and above is opaque.
constexpr uint32_t ArtworkAlphaCut = 128;

// Widest and tallest picture a skin can have: run coordinates are signed 16-bit.
constexpr uint32_t ArtworkMaxSide = 32767;

// A decoded picture: rows from the top, 4 bytes per pixel (red, green, blue, alpha).
struct ArtworkPixels {
  uint32_t width = 0;
  uint32_t height = 0;
  bool hasAlpha = false;  // alpha came from the file (else every pixel has alpha 255)
  std::vector<uint8_t> rgba;
};

// What a conversion did, for the tool's messages.
struct ArtworkReport {
  std::string kind;             // e.g. "PNG, colour with alpha" or "BMP, 8 bits, palette"
  bool unchanged = false;       // already a skin BMP: taken byte for byte
  bool hasAlpha = false;        // the picture had transparency
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t cutPixels = 0;       // alpha below ArtworkAlphaCut: made KeyColour
  uint32_t partialPixels = 0;   // alpha strictly between 0 and 255 (rounded either way)
};

// Refuses sides of 0, sides above ArtworkMaxSide, and pictures whose skin BMP would exceed the
// packer's unpack limit. Called by the readers before they allocate pixels.
bool CheckArtworkSize(uint64_t width, uint64_t height, std::string* error);

// BMP of 1, 4 or 8 bits (palette), 24 bits, or 32 bits (BI_RGB or BI_BITFIELDS), rows top-down or
// bottom-up, headers of 40 to 124 bytes. Refuses RLE and other compressions, 16 bits, the 12-byte
// OS/2 header, colour indexes beyond the palette, and anything that does not lie inside `size`.
bool ReadBmpArtwork(const uint8_t* file, size_t size, ArtworkPixels* pixels, std::string* kind, std::string* error);

// Any PNG that libpng reads (every colour type and bit depth, palette transparency, interlace).
// 16-bit files without colour-space chunks are taken as sRGB, like their 8-bit counterparts.
// Two sources: png_artwork.cpp through libpng (host), png_artwork_wic.cpp through the system's
// Windows Imaging Component (Windows), which keeps the differences its comment names.
bool ReadPngArtwork(const uint8_t* file, size_t size, ArtworkPixels* pixels, std::string* kind, std::string* error);

// Readies the image readers once, at the program's start: on Windows COM for WIC (apartment-
// threaded); nothing on the host. Without it the Windows PNG reader refuses every file.
void StartArtworkReaders();

// The skin BMP for `pixels`: "BM", 54-byte headers, 24 bits, bottom-up, 2835 pixels per metre,
// transparency turned into KeyColour as described above.
std::vector<uint8_t> WriteSkinBmp(const ArtworkPixels& pixels, ArtworkReport* report);

// Reads any accepted image file and yields the skin BMP. A 24-bit bottom-up uncompressed BMP is
// already one and is kept byte for byte. False with `error` set for anything else.
bool ConvertToSkinBmp(const std::vector<uint8_t>& file, std::vector<uint8_t>* bmp, ArtworkReport* report,
                      std::string* error);
