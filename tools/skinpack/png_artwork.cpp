// PNG artwork through libpng's simplified reader, which reads from memory within the given size
// and reports its errors as text (no longjmp through this code).
#include <png.h>

#include <cstring>

#include "artwork.h"

void StartArtworkReaders() {}

bool ReadPngArtwork(const uint8_t* file, size_t size, ArtworkPixels* pixels, std::string* kind, std::string* error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, file, size)) {
    *error = std::string("PNG: ") + image.message;
    png_image_free(&image);
    return false;
  }
  const png_uint_32 format = image.format;
  // The header's bit depth, colour type and interlace method (bytes 24, 25 and 28: the header is
  // the first chunk, which png_image_begin_read_from_memory has checked). libpng 1.6.39's reader
  // here places the early passes' rows of 16-bit interlaced colour wrongly: refuse that one form
  // rather than pack a scrambled picture.
  if (size > 28 && file[24] == 16 && (file[25] & 2) && file[28] == 1) {
    *error = "PNG: a 16-bit interlaced colour PNG is not read correctly here: save it without interlacing "
             "or with 8-bit samples (skinpack.exe on Windows reads it)";
    png_image_free(&image);
    return false;
  }
  if (!CheckArtworkSize(image.width, image.height, error)) {
    *error = "PNG: " + *error;
    png_image_free(&image);
    return false;
  }
  *kind = std::string("PNG, ") + ((format & PNG_FORMAT_FLAG_COLORMAP) ? "palette" : (format & PNG_FORMAT_FLAG_COLOR) ? "colour" : "grey") +
          ((format & PNG_FORMAT_FLAG_ALPHA) ? " with alpha" : "") + ((format & PNG_FORMAT_FLAG_LINEAR) ? ", 16 bits" : "");

  // 8-bit RGBA, alpha not premultiplied. Without this flag libpng would take 16-bit samples as
  // linear light and brighten them; artists' tools mean them as sRGB like 8-bit ones.
  image.format = PNG_FORMAT_RGBA;
  image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
  pixels->width = image.width;
  pixels->height = image.height;
  pixels->hasAlpha = (format & PNG_FORMAT_FLAG_ALPHA) != 0;
  pixels->rgba.assign(PNG_IMAGE_SIZE(image), 0);
  if (!png_image_finish_read(&image, nullptr, pixels->rgba.data(), 0, nullptr)) {
    *error = std::string("PNG: ") + image.message;
    png_image_free(&image);
    return false;
  }
  png_image_free(&image);
  return true;
}
