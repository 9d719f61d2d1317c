// PNG artwork through the Windows Imaging Component (WIC), the system's own decoders: Debian has no
// MinGW build of libpng, and this way skinpack.exe carries no decoder of its own. WIC is built into
// Vista and later and comes to XP SP3 as a redistributable; only the first factory (the one those
// systems have) is asked for, by CoCreateInstance, so that the program still starts where WIC is
// missing and says so.
//
// The file goes to the PNG decoder from memory (IWICStream), its first frame through a format
// converter to 32bppBGRA, the canonical format that every WIC version converts to, with alpha not
// premultiplied (a premultiplied format would change the colours of partly transparent pixels);
// red and blue are then swapped into ArtworkPixels' order.
//
// Where this differs from libpng's reader (png_artwork.cpp), found on the test fixtures under
// Wine 8: ordinary 8-bit files (colour, grey, palette, palette or colour key in tRNS, alpha,
// interlaced) give the same pixels, and so do 16-bit samples of the form v * 257. Otherwise
//  - 16-bit samples keep their high byte, where libpng rounds v / 257: at most 1 apart;
//  - a gAMA chunk is not applied (libpng converts such files to sRGB); gAMA 1/2.2 is sRGB anyway;
//  - a CRC error in the pixel data is not refused;
//  - in the report, grey with alpha comes as colour with alpha and grey with a tRNS colour key as
//    palette with alpha (WIC names no grey format with alpha); a palette whose tRNS leaves every
//    entry opaque comes as a palette without alpha.
#include <windows.h>
#include <wincodec.h>

#include <cstdio>
#include <cstring>
#include <utility>

#include "artwork.h"

namespace {

// Releases a COM interface when it goes out of scope.
template <typename T>
struct Held {
  T* p = nullptr;
  Held() = default;
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  ~Held() {
    if (p) p->Release();
  }
  T* operator->() const { return p; }
};

// What a decoder's own pixel format tells of the file, for the report.
struct SourceFormat {
  const GUID* format;
  const char* kind;
  bool alpha;
  bool sixteenBits;
};
const SourceFormat SourceFormats[] = {
    {&GUID_WICPixelFormatBlackWhite, "grey", false, false},
    {&GUID_WICPixelFormat2bppGray, "grey", false, false},
    {&GUID_WICPixelFormat4bppGray, "grey", false, false},
    {&GUID_WICPixelFormat8bppGray, "grey", false, false},
    {&GUID_WICPixelFormat16bppGray, "grey", false, true},
    {&GUID_WICPixelFormat1bppIndexed, "palette", false, false},
    {&GUID_WICPixelFormat2bppIndexed, "palette", false, false},
    {&GUID_WICPixelFormat4bppIndexed, "palette", false, false},
    {&GUID_WICPixelFormat8bppIndexed, "palette", false, false},
    {&GUID_WICPixelFormat24bppBGR, "colour", false, false},
    {&GUID_WICPixelFormat24bppRGB, "colour", false, false},
    {&GUID_WICPixelFormat32bppBGR, "colour", false, false},
    {&GUID_WICPixelFormat32bppBGRA, "colour", true, false},
    {&GUID_WICPixelFormat32bppRGBA, "colour", true, false},
    {&GUID_WICPixelFormat48bppRGB, "colour", false, true},
    {&GUID_WICPixelFormat64bppRGBA, "colour", true, true},
};

std::string Failure(const char* what, HRESULT hr) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
  return std::string("PNG: ") + what + " (" + code + ")";
}

uint32_t BigEndian32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

}  // namespace

void StartArtworkReaders() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }

bool ReadPngArtwork(const uint8_t* file, size_t size, ArtworkPixels* pixels, std::string* kind, std::string* error) {
  // The size in IHDR is checked before any decoder sees the file: a decoder may decode the whole
  // picture as it opens the file (Wine's reads every row in Initialize), allocating first.
  if (size >= 24 && BigEndian32(file + 8) == 13 && BigEndian32(file + 12) == 0x49484452 /* IHDR */ &&
      !CheckArtworkSize(BigEndian32(file + 16), BigEndian32(file + 20), error)) {
    *error = "PNG: " + *error;
    return false;
  }
  if (size > 0xFFFFFFFFu) {
    *error = "PNG: the file is larger than 4 GB";
    return false;
  }
  Held<IWICImagingFactory> factory;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory1, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&factory.p));
  if (FAILED(hr)) {
    *error = Failure("the Windows Imaging Component (WIC) is not available; Windows XP needs it installed", hr);
    return false;
  }
  Held<IWICStream> stream;
  Held<IWICBitmapDecoder> decoder;
  Held<IWICBitmapFrameDecode> frame;
  if (FAILED(hr = factory->CreateStream(&stream.p)) ||
      FAILED(hr = stream->InitializeFromMemory(const_cast<BYTE*>(file), DWORD(size)))) {
    *error = Failure("cannot make a stream of the file", hr);
    return false;
  }
  if (FAILED(hr = factory->CreateDecoder(GUID_ContainerFormatPng, nullptr, &decoder.p))) {
    *error = Failure("the system has no PNG decoder", hr);
    return false;
  }
  if (FAILED(hr = decoder->Initialize(stream.p, WICDecodeMetadataCacheOnDemand)) ||
      FAILED(hr = decoder->GetFrame(0, &frame.p))) {
    *error = Failure("the decoder refused the file: it is damaged or cut short", hr);
    return false;
  }
  UINT width = 0, height = 0;
  WICPixelFormatGUID source;
  if (FAILED(hr = frame->GetSize(&width, &height)) || FAILED(hr = frame->GetPixelFormat(&source))) {
    *error = Failure("the decoder refused the file", hr);
    return false;
  }
  if (!CheckArtworkSize(width, height, error)) {
    *error = "PNG: " + *error;
    return false;
  }

  const SourceFormat* known = nullptr;
  for (const SourceFormat& f : SourceFormats)
    if (IsEqualGUID(*f.format, source)) known = &f;
  bool alpha = known ? known->alpha : true;
  if (known && std::strcmp(known->kind, "palette") == 0) {
    Held<IWICPalette> palette;
    BOOL paletteAlpha = FALSE;
    if (SUCCEEDED(factory->CreatePalette(&palette.p)) && SUCCEEDED(frame->CopyPalette(palette.p)) &&
        SUCCEEDED(palette->HasAlpha(&paletteAlpha)))
      alpha = paletteAlpha != FALSE;
  }
  *kind = known ? std::string("PNG, ") + known->kind + (alpha ? " with alpha" : "") + (known->sixteenBits ? ", 16 bits" : "")
                : std::string("PNG");

  Held<IWICFormatConverter> converter;
  const UINT stride = width * 4;
  pixels->width = width;
  pixels->height = height;
  pixels->hasAlpha = alpha;
  if (FAILED(hr = factory->CreateFormatConverter(&converter.p)) ||
      FAILED(hr = converter->Initialize(frame.p, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                        WICBitmapPaletteTypeCustom))) {
    *error = Failure("cannot convert the pixels", hr);
    return false;
  }
  pixels->rgba.assign(size_t(stride) * height, 0);
  if (FAILED(hr = converter->CopyPixels(nullptr, stride, UINT(pixels->rgba.size()), pixels->rgba.data()))) {
    *error = Failure("the pixel data is damaged or cut short", hr);
    return false;
  }
  for (size_t i = 0; i < pixels->rgba.size(); i += 4) std::swap(pixels->rgba[i], pixels->rgba[i + 2]);
  return true;
}
