// Two passes: across each source row into an intermediate of opacity and the opaque taps' mean
// colour (8 bits each, 4 bytes a pixel), then down each column, each tap weighted by its opacity,
// into the picture. Weights are fixed point
// (WeightOne to a pixel) and computed in integers, so every build gives the same bytes.
#include "skin/skin_resample.h"

#include <cstdlib>
#include <cstring>

#include "skin/byte_order.h"

namespace {

const int32_t WeightOne = 1 << 14;

// The taps of one destination pixel along an axis: source indices first .. first + count - 1.
struct Taps {
  int32_t first;
  int32_t count;
  int32_t offset;  // of the first weight in the weight list
};

// The filter of one axis: each destination pixel's taps, and their weights one after another.
struct AxisFilter {
  Taps* taps;
  int32_t* weights;
};

void ReleaseAxisFilter(AxisFilter* filter) {
  std::free(filter->taps);
  std::free(filter->weights);
  filter->taps = nullptr;
  filter->weights = nullptr;
}

// Destination pixel i's centre lies at source position c = ((2i + 1) src - dst) / (2 dst); the
// tent reaches max(src, dst) / dst source pixels either side. Scaled by 2 dst, a tap j weighs
// reach - |2 dst j - (2i + 1) src + dst|, reach = 2 max(src, dst). Taps outside the image are
// dropped and the others normalised.
bool MakeAxisFilter(int32_t source, int32_t destination, AxisFilter* filter) {
  const int64_t src = source, dst = destination, reach = 2 * (src > dst ? src : dst);
  // At most 2 reach / (2 dst) + 1 taps have a positive weight.
  const int64_t mostTaps = reach / dst + 2;
  if (mostTaps > 512) return false;
  filter->taps = static_cast<Taps*>(std::malloc(size_t(dst) * sizeof(Taps)));
  filter->weights = static_cast<int32_t*>(std::malloc(size_t(dst * mostTaps) * sizeof(int32_t)));
  if (!filter->taps || !filter->weights) return false;
  int32_t used = 0;
  for (int64_t i = 0; i < dst; ++i) {
    const int64_t centre = (2 * i + 1) * src - dst;  // the centre, times 2 dst
    int64_t low = (centre - reach) / (2 * dst) - 1, high = (centre + reach) / (2 * dst) + 1;
    if (low < 0) low = 0;
    if (high > src - 1) high = src - 1;
    int64_t raw[512];
    int64_t total = 0;
    int64_t first = -1, last = -1;
    for (int64_t j = low; j <= high; ++j) {
      int64_t distance = 2 * dst * j - centre;
      if (reach - (distance < 0 ? -distance : distance) <= 0) continue;
      if (first < 0) first = j;
      last = j;
    }
    if (first < 0 || last - first + 1 > mostTaps) return false;
    for (int64_t j = first; j <= last; ++j) {
      int64_t distance = 2 * dst * j - centre;
      int64_t w = reach - (distance < 0 ? -distance : distance);
      raw[j - first] = w > 0 ? w : 0;
      total += raw[j - first];
    }
    Taps& t = filter->taps[i];
    t.first = int32_t(first);
    t.count = int32_t(last - first + 1);
    t.offset = used;
    // Normalised to WeightOne; what rounding leaves over goes to the heaviest tap.
    int32_t sum = 0, heaviest = 0;
    for (int32_t k = 0; k < t.count; ++k) {
      int32_t w = int32_t(raw[k] * WeightOne / total);
      filter->weights[used + k] = w;
      sum += w;
      if (raw[k] > raw[heaviest]) heaviest = k;
    }
    filter->weights[used + heaviest] += WeightOne - sum;
    used += t.count;
  }
  return true;
}

uint32_t StrideOf(int32_t width) { return (uint32_t(width) * 3 + 3) & ~3u; }

void WriteBmpHeaders(uint8_t* out, int32_t width, int32_t height) {
  const uint32_t fields[] = {uint32_t(ResampledSkinBytes(width, height)), 0, 54, 40, uint32_t(width), uint32_t(height)};
  out[0] = 'B';
  out[1] = 'M';
  for (int i = 0; i < 6; ++i) StoreLittleEndian32(out + 2 + 4 * i, fields[i]);
  StoreLittleEndian16(out + 26, 1);   // planes
  StoreLittleEndian16(out + 28, 24);  // bits per pixel
  const uint32_t rest[] = {0, StrideOf(width) * uint32_t(height), 2835, 2835, 0, 0};
  for (int i = 0; i < 6; ++i) StoreLittleEndian32(out + 30 + 4 * i, rest[i]);
}

void ResampleAcross(const SkinImageView& source, int32_t width, const AxisFilter& across, uint8_t* middle) {
  for (int32_t y = 0; y < source.height; ++y) {
    const uint8_t* row = source.pixels + size_t(source.height - 1 - y) * source.stride;
    uint8_t* to = middle + size_t(y) * size_t(width) * 4;
    for (int32_t x = 0; x < width; ++x) {
      const Taps& t = across.taps[x];
      const int32_t* w = across.weights + t.offset;
      int32_t opacity = 0, b = 0, g = 0, r = 0;
      for (int32_t k = 0; k < t.count; ++k) {
        const uint8_t* p = row + size_t(t.first + k) * 3;
        if (p[0] == 0xFF && p[1] == 0x00 && p[2] == 0xFF) continue;  // KeyColour
        opacity += w[k];
        b += w[k] * p[0];
        g += w[k] * p[1];
        r += w[k] * p[2];
      }
      // The opaque taps' mean colour; a column of one colour stays exactly that colour.
      to[0] = uint8_t((opacity * 255 + WeightOne / 2) / WeightOne);
      to[1] = opacity ? uint8_t((b + opacity / 2) / opacity) : 0;
      to[2] = opacity ? uint8_t((g + opacity / 2) / opacity) : 0;
      to[3] = opacity ? uint8_t((r + opacity / 2) / opacity) : 0;
      to += 4;
    }
  }
}

// Down each column into the picture, bottom row stored first, each tap weighted by its opacity.
void ResampleDown(const uint8_t* middle, int32_t width, int32_t height, const AxisFilter& down, int32_t* sums,
                  uint8_t* file) {
  WriteBmpHeaders(file, width, height);
  const uint32_t stride = StrideOf(width);
  const int32_t half = 255 * WeightOne;  // twice the threshold: opacity at least half of 255
  const size_t count = size_t(width) * 4;
  for (int32_t y = 0; y < height; ++y) {
    const Taps& t = down.taps[y];
    const int32_t* w = down.weights + t.offset;
    std::memset(sums, 0, count * sizeof(int32_t));
    for (int32_t k = 0; k < t.count; ++k) {
      const uint8_t* m = middle + size_t(t.first + k) * count;
      const int32_t weight = w[k];
      for (size_t i = 0; i < count; i += 4) {
        const int32_t share = weight * m[i];  // the tap's weight times its opacity
        sums[i] += share;
        sums[i + 1] += share * m[i + 1];
        sums[i + 2] += share * m[i + 2];
        sums[i + 3] += share * m[i + 3];
      }
    }
    uint8_t* row = file + 54 + size_t(height - 1 - y) * stride;
    for (int32_t x = 0; x < width; ++x) {
      const int32_t* sum = sums + size_t(x) * 4;
      uint8_t* p = row + size_t(x) * 3;
      const int64_t opacity = sum[0];
      if (2 * opacity < half) {
        p[0] = 0xFF, p[1] = 0x00, p[2] = 0xFF;
        continue;
      }
      for (int k = 0; k < 3; ++k) {
        int64_t v = (int64_t(sum[k + 1]) + opacity / 2) / opacity;
        p[k] = uint8_t(v > 255 ? 255 : v);
      }
      // A mean that happens to be the key colour would be cut away: keep it a hair off.
      if (p[0] == 0xFF && p[1] == 0x00 && p[2] == 0xFF) p[1] = 0x01;
    }
    std::memset(row + size_t(width) * 3, 0, stride - size_t(width) * 3);
  }
}

}  // namespace

size_t ResampledSkinBytes(int32_t width, int32_t height) {
  if (width < 1 || height < 1) return 54;
  return 54 + size_t(StrideOf(width)) * size_t(height);
}

bool ResampleSkinImage(const SkinImageView& source, int32_t width, int32_t height, void* out) {
  if (width < 1 || height < 1 || width > 32767 || height > 32767) return false;
  if (source.width < 1 || source.height < 1 || !source.pixels) return false;
  AxisFilter across = {}, down = {};
  // Pass 1 writes each source row (top first) across to `width` pixels of opacity 0..255 and the
  // opaque taps' mean colour, B G R; pass 2 sums those down each column.
  uint8_t* middle = static_cast<uint8_t*>(std::malloc(size_t(width) * size_t(source.height) * 4));
  int32_t* sums = static_cast<int32_t*>(std::malloc(size_t(width) * 4 * sizeof(int32_t)));
  bool ready = middle && sums && MakeAxisFilter(source.width, width, &across) &&
               MakeAxisFilter(source.height, height, &down);
  if (ready) {
    ResampleAcross(source, width, across, middle);
    ResampleDown(middle, width, height, down, sums, static_cast<uint8_t*>(out));
  }
  ReleaseAxisFilter(&across);
  ReleaseAxisFilter(&down);
  std::free(middle);
  std::free(sums);
  return ready;
}
