// Skin art resampled to another scale: the picture's colours and its outline kept apart, so that
// neither bleeds into the other, the same size giving the source back, and the refusals.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "skin/skin_resample.h"
#include "skin/skin_runs.h"

namespace {

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
const Rgb Key = {255, 0, 255};
const double Pi = 3.14159265358979323846;

// A 24-bit bottom-up BMP of width x height whose pixel (x, y from the top) is paint(x, y).
std::vector<uint8_t> Picture(int32_t width, int32_t height, const std::function<Rgb(int32_t, int32_t)>& paint) {
  std::vector<uint8_t> file(ResampledSkinBytes(width, height));
  // The resampler's own writer gives the headers: a resample to the same size of a blank image.
  std::vector<uint8_t> blank(size_t(54 + ((width * 3 + 3) & ~3) * height), 0);
  uint32_t stride = uint32_t((width * 3 + 3) & ~3);
  SkinImageView view = {width, height, stride, blank.data() + 54};
  EXPECT_TRUE(ResampleSkinImage(view, width, height, file.data()));
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      Rgb c = paint(x, y);
      uint8_t* p = &file[54 + size_t(height - 1 - y) * stride + size_t(x) * 3];
      p[0] = c.b, p[1] = c.g, p[2] = c.r;
    }
  return file;
}

SkinImageView View(const std::vector<uint8_t>& file) {
  SkinImageView view = {};
  EXPECT_TRUE(ReadSkinImage(file.data(), file.size(), &view));
  return view;
}

std::vector<uint8_t> Resampled(const std::vector<uint8_t>& file, int32_t width, int32_t height) {
  std::vector<uint8_t> out(ResampledSkinBytes(width, height));
  EXPECT_TRUE(ResampleSkinImage(View(file), width, height, out.data()));
  SkinImageView view = View(out);
  EXPECT_EQ(width, view.width);
  EXPECT_EQ(height, view.height);
  return out;
}

Rgb PixelAt(const SkinImageView& v, int32_t x, int32_t y) {
  const uint8_t* p = v.pixels + size_t(v.height - 1 - y) * v.stride + size_t(x) * 3;
  return {p[2], p[1], p[0]};
}

// A disc of radius r (in pixels of this drawing) centred at (c, c), sampled at pixel centres.
std::vector<uint8_t> Disc(int32_t side, double c, double r, Rgb colour) {
  return Picture(side, side, [=](int32_t x, int32_t y) {
    return std::hypot(x + 0.5 - c, y + 0.5 - c) < r ? colour : Key;
  });
}

TEST(SkinResample, SameSizeGivesTheSourceBack) {
  std::vector<uint8_t> art = Picture(37, 23, [](int32_t x, int32_t y) {
    if ((x < 3 && y < 3) || (x + y) % 11 == 0) return Key;
    return Rgb{uint8_t(x * 7), uint8_t(y * 11), uint8_t(x * y)};
  });
  EXPECT_EQ(art, Resampled(art, 37, 23));
}

TEST(SkinResample, NoKeyColourBleedsIntoThePictureAndNoPictureIntoTheOutline) {
  const Rgb colour = {40, 90, 200};
  std::vector<uint8_t> art = Disc(80, 40, 30, colour);
  struct Case {
    const char* name;
    int32_t side;
  } cases[] = {{"0.625", 50}, {"0.75", 60}, {"0.875", 70}, {"1.5", 120}, {"0.5", 40}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> out = Resampled(art, c.side, c.side);
    SkinImageView v = View(out);
    int opaque = 0;
    for (int32_t y = 0; y < v.height; ++y)
      for (int32_t x = 0; x < v.width; ++x) {
        Rgb p = PixelAt(v, x, y);
        if (p == Key) continue;
        ++opaque;
        ASSERT_TRUE(p == colour) << x << "," << y << ": " << int(p.r) << " " << int(p.g) << " " << int(p.b);
      }
    // About the disc's area at that scale.
    double area = Pi * std::pow(30.0 * c.side / 80, 2);
    EXPECT_NEAR(area, opaque, 0.06 * area);
  }
}

// The outline made from the 2x drawing differs from the exact 1x drawing only on a thin rim.
TEST(SkinResample, OutlineFollowsTheExactDrawingAtTheScale) {
  std::vector<uint8_t> twice = Disc(200, 100, 70, {10, 20, 30});
  for (int32_t side : {100, 150, 125, 175}) {
    SCOPED_TRACE(side);
    double scale = side / 200.0;
    std::vector<uint8_t> made = Resampled(twice, side, side);
    SkinImageView v = View(made);
    int differing = 0;
    for (int32_t y = 0; y < side; ++y)
      for (int32_t x = 0; x < side; ++x) {
        double distance = std::hypot(x + 0.5 - 100 * scale, y + 0.5 - 100 * scale) - 70 * scale;
        bool exact = distance < 0, made = !(PixelAt(v, x, y) == Key);
        if (exact == made) continue;
        ++differing;
        EXPECT_LT(std::fabs(distance), 1.0) << x << "," << y;
      }
    EXPECT_LT(differing, 2 * Pi * 70 * scale / 4) << "more than a quarter of the rim differs";
  }
}

TEST(SkinResample, GradientsStaySmoothAndInRange) {
  std::vector<uint8_t> art = Picture(256, 8, [](int32_t x, int32_t) { return Rgb{uint8_t(x), 30, uint8_t(255 - x)}; });
  for (int32_t width : {97, 160, 200, 300}) {
    SCOPED_TRACE(width);
    std::vector<uint8_t> made = Resampled(art, width, 5);
    SkinImageView v = View(made);
    for (int32_t y = 0; y < 5; ++y) {
      Rgb previous = PixelAt(v, 0, y);
      for (int32_t x = 1; x < width; ++x) {
        Rgb p = PixelAt(v, x, y);
        EXPECT_GE(p.r, previous.r);
        EXPECT_LE(p.b, previous.b);
        EXPECT_EQ(30, p.g);
        previous = p;
      }
    }
  }
  // A gradient over a stretch of the range, 60 to 187, with its ends: no value beyond them, and the
  // ends reached where the picture is flat.
  std::vector<uint8_t> ramp = Picture(400, 6, [](int32_t x, int32_t) {
    uint8_t v = uint8_t(x < 72 ? 60 : x >= 328 ? 187 : 60 + (x - 72) / 2);
    return Rgb{v, v, v};
  });
  for (int32_t width : {250, 300, 350, 500}) {
    SCOPED_TRACE(width);
    std::vector<uint8_t> made = Resampled(ramp, width, 4);
    SkinImageView v = View(made);
    EXPECT_EQ(60, PixelAt(v, 0, 2).r);
    EXPECT_EQ(187, PixelAt(v, width - 1, 2).r);
    for (int32_t x = 1; x < width; ++x) {
      Rgb p = PixelAt(v, x, 2), previous = PixelAt(v, x - 1, 2);
      EXPECT_TRUE(p.r >= previous.r && p.r <= 187 && p.g == p.r && p.b == p.r) << x << ": " << int(p.r);
    }
  }
}

// The filter on rows small enough to weigh by hand: tent radius max(1, source / destination),
// centres at (x + 0.5) source / destination - 0.5, weights beyond the edges left out, opaque
// when at least half the weight is, the opaque pixels' mean rounded to nearest.
TEST(SkinResample, FilterOnSmallRows) {
  const Rgb k = Key;
  auto grey = [](uint8_t v) { return Rgb{v, v, v}; };
  struct Case {
    const char* name;
    std::vector<Rgb> row;
    std::vector<Rgb> expected;
  } cases[] = {
      {"2 to 4: bilinear, the ends held", {grey(0), grey(200)}, {grey(0), grey(50), grey(150), grey(200)}},
      {"4 to 2: radius 2", {grey(0), grey(0), grey(200), grey(200)}, {grey(29), grey(171)}},
      {"3 to 2: radius 1.5", {grey(0), grey(90), grey(180)}, {grey(34), grey(146)}},
      {"the key's weight left out of the mean", {k, grey(100), grey(200)}, {grey(140)}},
      {"under half the weight opaque", {k, k, grey(100)}, {k}},
      {"exactly half the weight opaque", {k, grey(50)}, {grey(50)}},
      // (255, 0, 254) and (254, 0, 255) average to the key colour: kept opaque, a step off it.
      {"a mean that rounds to the key", {{255, 0, 254}, {254, 0, 255}}, {{255, 1, 255}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool across : {true, false}) {
      // The same row laid across and down: both axes filter alike.
      int32_t n = int32_t(c.row.size()), m = int32_t(c.expected.size());
      std::vector<uint8_t> art = Picture(across ? n : 1, across ? 1 : n,
                                         [&](int32_t x, int32_t y) { return c.row[size_t(x + y)]; });
      std::vector<uint8_t> made = Resampled(art, across ? m : 1, across ? 1 : m);
      SkinImageView v = View(made);
      for (int32_t i = 0; i < m; ++i) {
        Rgb p = PixelAt(v, across ? i : 0, across ? 0 : i);
        EXPECT_TRUE(p == c.expected[size_t(i)]) << (across ? "across" : "down") << ", pixel " << i << ": " << int(p.r)
                                                << " " << int(p.g) << " " << int(p.b);
      }
    }
  }
}

TEST(SkinResample, SmallestPicturesAndRefusals) {
  std::vector<uint8_t> one = Picture(1, 1, [](int32_t, int32_t) { return Rgb{9, 8, 7}; });
  std::vector<uint8_t> grownFile = Resampled(one, 3, 2);
  SkinImageView grown = View(grownFile);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) EXPECT_TRUE(PixelAt(grown, x, y) == (Rgb{9, 8, 7}));
  // A row of 0 and 200 in turn to one pixel: their mean.
  std::vector<uint8_t> stripes = Picture(64, 1, [](int32_t x, int32_t) {
    uint8_t v = x % 2 ? 200 : 0;
    return Rgb{v, v, v};
  });
  std::vector<uint8_t> meanFile = Resampled(stripes, 1, 1);
  Rgb mean = PixelAt(View(meanFile), 0, 0);
  EXPECT_NEAR(100, mean.r, 1);
  // A wide picture to one pixel: every column counts, the middle most.
  std::vector<uint8_t> wide = Picture(2000, 3, [](int32_t x, int32_t) { return x < 1000 ? Rgb{0, 0, 0} : Rgb{250, 100, 10}; });
  std::vector<uint8_t> wideFile = Resampled(wide, 1, 1);
  Rgb wideMean = PixelAt(View(wideFile), 0, 0);
  EXPECT_NEAR(125, wideMean.r, 1);
  EXPECT_NEAR(50, wideMean.g, 1);
  EXPECT_NEAR(5, wideMean.b, 1);
  // Mostly cut away: the pixel is cut away.
  std::vector<uint8_t> sparse = Picture(8, 8, [](int32_t x, int32_t y) { return x == 0 && y == 0 ? Rgb{1, 2, 3} : Key; });
  std::vector<uint8_t> sparseFile = Resampled(sparse, 1, 1);
  EXPECT_TRUE(PixelAt(View(sparseFile), 0, 0) == Key);

  std::vector<uint8_t> out(ResampledSkinBytes(4, 4));
  for (auto size : {std::make_pair(0, 4), std::make_pair(4, 0), std::make_pair(-3, 4), std::make_pair(32768, 1),
                    std::make_pair(1, 32768)}) {
    EXPECT_FALSE(ResampleSkinImage(View(one), size.first, size.second, out.data())) << size.first << " x " << size.second;
  }
  SkinImageView noPixels = View(one);
  noPixels.pixels = nullptr;
  EXPECT_FALSE(ResampleSkinImage(noPixels, 4, 4, out.data()));
  // The largest side is accepted.
  std::vector<uint8_t> longest = Resampled(one, 32767, 1);
  EXPECT_TRUE(PixelAt(View(longest), 32766, 0) == (Rgb{9, 8, 7}));
}

// Every byte of the file is written, headers and row padding included, whatever the buffer held,
// and the bytes are the same in every build: the hash below is the same on i686 and x86_64.
TEST(SkinResample, WritesTheSameFileInEveryBuild) {
  uint32_t seed = 12345;
  std::vector<uint8_t> art = Picture(230, 154, [&](int32_t x, int32_t y) {
    seed = seed * 1103515245u + 12345u;
    if ((x - 115) * (x - 115) + (y - 77) * (y - 77) > 70 * 70 || (x > 100 && x < 110)) return Key;  // integers only
    return Rgb{uint8_t(x), uint8_t(y + (seed >> 28)), uint8_t(seed >> 24)};
  });
  uint32_t hash = 2166136261u;  // FNV-1a over all the files
  for (auto size : {std::make_pair(143, 96), std::make_pair(172, 115), std::make_pair(201, 134),
                    std::make_pair(287, 192), std::make_pair(345, 231)}) {
    SCOPED_TRACE(size.first);
    std::vector<uint8_t> a(ResampledSkinBytes(size.first, size.second), 0xAA), b(a.size(), 0x55);
    ASSERT_TRUE(ResampleSkinImage(View(art), size.first, size.second, a.data()));
    ASSERT_TRUE(ResampleSkinImage(View(art), size.first, size.second, b.data()));
    EXPECT_EQ(a, b);
    const uint8_t header[] = {'B', 'M'};
    EXPECT_EQ(0, std::memcmp(a.data(), header, 2));
    EXPECT_EQ(a.size(), size_t(a[2] | a[3] << 8 | a[4] << 16 | a[5] << 24));
    for (uint8_t byte : a) hash = (hash ^ byte) * 16777619u;
  }
  EXPECT_EQ(0x2cd9e114u, hash) << std::hex << hash;
}

}  // namespace
