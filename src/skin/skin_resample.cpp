// Two passes over fixed-point weights (WeightOne to a pixel along an axis), all in integers, so
// that every build gives the same bytes: across each source row into a ring of rows holding each
// destination column's opacity and opacity-weighted colour sums, then down those rows into the
// picture. The ring holds only the source rows one destination row reaches; everything lives in
// one block from malloc, which may fail and then makes the call fail (operator new would bring
// the C++ library's exception machinery into the program).
// Weights of 12 bits keep both passes in 32-bit words: a colour sum over both axes is at most
// 255 x WeightOne^2 < 2^32.
#include "skin/skin_resample.h"

#include <cstdlib>
#include <cstring>

namespace {

const uint32_t WeightOne = 1 << 12;
// A destination pixel's whole weight over both axes: it is opaque when twice its opaque share
// reaches this.
const uint32_t WholeWeight = WeightOne * WeightOne;

// The source pixels one destination pixel reads along an axis: first .. first + count - 1, their
// weights from `offset` on in the axis's weight list.
struct Taps {
  int32_t first;
  int32_t count;
  int32_t offset;
};

int64_t FloorDivide(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// Destination pixel i's centre, (i + 0.5) source / destination - 0.5, and every distance are
// counted in units of 1 / (2 destination): the centre is then (2i + 1) source - destination and
// the tent's radius, max(source, destination) / destination, is 2 max(source, destination). Source
// pixel j weighs radius - |2 destination j - centre| where that is positive.
Taps TapsOf(int64_t source, int64_t destination, int64_t i) {
  const int64_t centre = (2 * i + 1) * source - destination, radius = 2 * (source > destination ? source : destination);
  int64_t first = FloorDivide(centre - radius, 2 * destination) + 1;
  int64_t last = -FloorDivide(-(centre + radius), 2 * destination) - 1;
  if (first < 0) first = 0;
  if (last > source - 1) last = source - 1;
  return Taps{int32_t(first), int32_t(last - first + 1), 0};
}

// Fills taps[0 .. destination) and their weights. Taps beyond the image's edges are left out and
// the rest renormalised; the weights are rounded along their running sum, so that each pixel's
// add up to exactly WeightOne.
void MakeAxisFilter(int32_t source, int32_t destination, Taps* taps, uint32_t* weights) {
  const int64_t src = source, dst = destination, radius = 2 * (src > dst ? src : dst);
  int32_t offset = 0;
  for (int64_t i = 0; i < dst; ++i) {
    Taps t = TapsOf(src, dst, i);
    t.offset = offset;
    const int64_t centre = (2 * i + 1) * src - dst;
    int64_t total = 0;
    for (int64_t j = t.first; j < t.first + t.count; ++j) {
      const int64_t distance = 2 * dst * j - centre;
      total += radius - (distance < 0 ? -distance : distance);
    }
    int64_t running = 0, given = 0;
    for (int64_t j = t.first; j < t.first + t.count; ++j) {
      const int64_t distance = 2 * dst * j - centre;
      running += radius - (distance < 0 ? -distance : distance);
      const int64_t upTo = (running * WeightOne + total / 2) / total;
      weights[offset++] = uint32_t(upTo - given);
      given = upTo;
    }
    taps[i] = t;
  }
}

// How many weights an axis has in all, and the most taps of one pixel.
void MeasureAxis(int32_t source, int32_t destination, size_t* weights, int32_t* mostTaps) {
  *weights = 0;
  *mostTaps = 0;
  for (int32_t i = 0; i < destination; ++i) {
    Taps t = TapsOf(source, destination, i);
    *weights += size_t(t.count);
    if (t.count > *mostTaps) *mostTaps = t.count;
  }
}

uint32_t StrideOf(int32_t width) { return (uint32_t(width) * 3 + 3) & ~3u; }

void StoreLittleEndian(uint8_t* p, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = uint8_t(v >> (8 * i));
}

void WriteBmpHeaders(uint8_t* out, int32_t width, int32_t height) {
  std::memset(out, 0, 54);
  out[0] = 'B';
  out[1] = 'M';
  StoreLittleEndian(out + 2, uint32_t(ResampledSkinBytes(width, height)), 4);
  StoreLittleEndian(out + 10, 54, 4);
  StoreLittleEndian(out + 14, 40, 4);
  StoreLittleEndian(out + 18, uint32_t(width), 4);
  StoreLittleEndian(out + 22, uint32_t(height), 4);
  StoreLittleEndian(out + 26, 1, 2);
  StoreLittleEndian(out + 28, 24, 2);
  StoreLittleEndian(out + 34, StrideOf(width) * uint32_t(height), 4);
  StoreLittleEndian(out + 38, 2835, 4);  // 72 DPI
  StoreLittleEndian(out + 42, 2835, 4);
}

// A source pixel as the taps read it: blue, green and red in lanes of 21 bits of one word, so that
// one multiply weighs all three (a lane's sum stays below 255 x WeightOne < 2^20), and a mask of
// all ones when the pixel is opaque; a key pixel is all zero.
struct Unpacked {
  uint64_t colour;
  uint32_t opaque;
};
const int LaneBits = 21;
const uint64_t LaneMask = (uint64_t(1) << LaneBits) - 1;

// One source row (y from the top) filtered across: for each destination column its opacity and
// the opacity-weighted sums of blue, green and red, 4 values a column.
void FilterRowAcross(const SkinImageView& source, int32_t y, const Taps* taps, const uint32_t* weights, int32_t width,
                     Unpacked* unpacked, uint32_t* to) {
  const uint8_t* p = source.pixels + size_t(source.height - 1 - y) * source.stride;
  for (int32_t x = 0; x < source.width; ++x, p += 3) {
    const bool key = p[0] == 0xFF && p[1] == 0x00 && p[2] == 0xFF;
    unpacked[x].colour = key ? 0 : uint64_t(p[0]) | uint64_t(p[1]) << LaneBits | uint64_t(p[2]) << 2 * LaneBits;
    unpacked[x].opaque = key ? 0 : ~0u;
  }
  for (int32_t x = 0; x < width; ++x, to += 4) {
    const Taps& t = taps[x];
    const uint32_t* w = weights + t.offset;
    const Unpacked* v = unpacked + t.first;
    uint64_t colour = 0;
    uint32_t opacity = 0;
    for (int32_t k = 0; k < t.count; ++k) {
      colour += w[k] * v[k].colour;
      opacity += w[k] & v[k].opaque;
    }
    to[0] = opacity;
    to[1] = uint32_t(colour & LaneMask);
    to[2] = uint32_t(colour >> LaneBits & LaneMask);
    to[3] = uint32_t(colour >> 2 * LaneBits);
  }
}

// The picture's pixel from its sums over both axes: KeyColour when less than half the weight is
// opaque, else the opaque taps' mean, rounded to nearest. Inside the picture all the weight is
// opaque and the mean is a shift.
void WritePixel(const uint32_t* sum, uint8_t* p) {
  const uint32_t opacity = sum[0];
  if (opacity == WholeWeight) {
    for (int c = 0; c < 3; ++c) p[c] = uint8_t((sum[c + 1] + WholeWeight / 2) / WholeWeight);
  } else if (2 * opacity < WholeWeight) {
    p[0] = 0xFF, p[1] = 0x00, p[2] = 0xFF;
    return;
  } else {
    for (int c = 0; c < 3; ++c) p[c] = uint8_t((sum[c + 1] + opacity / 2) / opacity);
  }
  // A mean that happens to be KeyColour would be cut away: keep it a step off.
  if (p[0] == 0xFF && p[1] == 0x00 && p[2] == 0xFF) p[1] = 0x01;
}

}  // namespace

size_t ResampledSkinBytes(int32_t width, int32_t height) {
  if (width < 1 || height < 1) return 54;
  return 54 + size_t(StrideOf(width)) * size_t(height);
}

bool ResampleSkinImage(const SkinImageView& source, int32_t width, int32_t height, void* out) {
  if (width < 1 || height < 1 || width > 32767 || height > 32767) return false;
  if (source.width < 1 || source.height < 1 || source.width > 32767 || source.height > 32767 || !source.pixels ||
      source.stride < uint32_t(source.width) * 3)
    return false;

  size_t acrossWeights, downWeights;
  int32_t acrossMost, ringRows;
  MeasureAxis(source.width, width, &acrossWeights, &acrossMost);
  MeasureAxis(source.height, height, &downWeights, &ringRows);
  // One block: one unpacked source row, then in 32-bit words one destination row's sums, the
  // taps, the weights and the ring of rows filtered across.
  const size_t rowWords = size_t(width) * 4;
  const uint64_t words = uint64_t(source.width) * (sizeof(Unpacked) / 4) + uint64_t(rowWords) * (1 + uint64_t(ringRows)) +
                         3 * uint64_t(width) + 3 * uint64_t(height) + acrossWeights + downWeights;
  if (words > uint64_t(size_t(-1) / 8)) return false;
  Unpacked* unpacked = static_cast<Unpacked*>(std::malloc(size_t(words) * 4));
  if (!unpacked) return false;
  uint32_t* sums = reinterpret_cast<uint32_t*>(unpacked + source.width);
  Taps* acrossTaps = reinterpret_cast<Taps*>(sums + rowWords);
  Taps* downTaps = acrossTaps + width;
  uint32_t* acrossWeight = reinterpret_cast<uint32_t*>(downTaps + height);
  uint32_t* downWeight = acrossWeight + acrossWeights;
  uint32_t* ring = downWeight + downWeights;
  MakeAxisFilter(source.width, width, acrossTaps, acrossWeight);
  MakeAxisFilter(source.height, height, downTaps, downWeight);

  uint8_t* file = static_cast<uint8_t*>(out);
  WriteBmpHeaders(file, width, height);
  const uint32_t stride = StrideOf(width);
  // Source row j sits in ring row j % ringRows: a destination row's taps never span more rows
  // than that, and their first row never goes back.
  int32_t filtered = 0;
  for (int32_t y = 0; y < height; ++y) {
    const Taps& t = downTaps[y];
    for (; filtered < t.first + t.count; ++filtered)
      FilterRowAcross(source, filtered, acrossTaps, acrossWeight, width, unpacked,
                      ring + size_t(filtered % ringRows) * rowWords);
    const uint32_t* w = downWeight + t.offset;
    for (int32_t k = 0; k < t.count; ++k) {
      const uint32_t* row = ring + size_t((t.first + k) % ringRows) * rowWords;
      const uint32_t weight = w[k];
      if (k == 0) {
        for (size_t i = 0; i < rowWords; ++i) sums[i] = weight * row[i];
      } else {
        for (size_t i = 0; i < rowWords; ++i) sums[i] += weight * row[i];
      }
    }
    uint8_t* to = file + 54 + size_t(height - 1 - y) * stride;
    for (int32_t x = 0; x < width; ++x) WritePixel(sums + size_t(x) * 4, to + size_t(x) * 3);
    std::memset(to + size_t(width) * 3, 0, stride - size_t(width) * 3);
  }
  std::free(unpacked);
  return true;
}
