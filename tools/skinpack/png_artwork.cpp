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
