// Octree quantizer: leaves, merge order, averages, tree order, and the
// palettes built from it.
#include <gtest/gtest.h>


#include "ColorTestUtil.h"
#include "gif/color/FixedPalettes.h"
#include "gif/color/Octree.h"

namespace {

std::vector<Rgb> Quantize(const std::vector<Rgb>& pixels, int limit, int* leaves = nullptr) {
  TColorQuantizer q(limit, 8);
  TBitmap bmp = Make24(int(pixels.size()), 1, pixels);
  TDIBReader reader(bmp, pf24bit);
  EXPECT_TRUE(q.AddImage(reader));
  std::array<TQuantizedColor, 256> colors{};
  const int n = q.ReadColors(colors.data(), 256);
  if (leaves) *leaves = q.Leaves();
  EXPECT_EQ(n, q.Leaves());
  std::vector<Rgb> out;
  for (int i = 0; i < n; ++i) out.push_back(Rgb{colors[i].Red, colors[i].Green, colors[i].Blue});
  return out;
}

TEST(Octree, Cases) {
  struct Case {
    const char* name;
    std::vector<Rgb> pixels;
    int limit;
    std::vector<Rgb> want;
  } cases[] = {
      {"one colour, exactly", {{17, 130, 250}, {17, 130, 250}}, 256, {{17, 130, 250}}},
      {"limit 2: the later inner node of level 7 (the light pair) merges",
       {{0, 0, 0}, {255, 255, 255}, {254, 254, 254}}, 2, {{0, 0, 0}, {254, 254, 254}}},
      {"averages round down: blue 3 over 2 pixels", {{0, 0, 1}, {0, 0, 2}}, 1, {{0, 0, 1}}},
      {"tree order: blue bit, green bit, red bit", {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}}, 256,
       {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}}},
      {"a limit below 1 is taken as 1", {{10, 10, 10}, {30, 30, 30}}, 0, {{20, 20, 20}}},
      {"merged leaf keeps summing later pixels", {{0, 0, 0}, {0, 0, 3}, {0, 0, 5}, {0, 0, 4}}, 1, {{0, 0, 3}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<Rgb> got = Quantize(c.pixels, c.limit);
    ASSERT_EQ(got.size(), c.want.size());
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i], c.want[i]) << "entry " << i << " have (" << int(got[i].r) << "," << int(got[i].g)
                                   << "," << int(got[i].b) << ")";
    }
  }
}

TEST(Octree, OfTwoInnerNodesOnALevelTheLaterMergesFirst) {
  // Pairs of colours that differ only in the lowest bit make one inner node
  // of level 7 each; with limit 3 the fourth pixel forces one merge, and it
  // must be the pair created later (the 200s), not the earlier (the 10s).
  const std::vector<Rgb> got =
      Quantize({{10, 10, 10}, {10, 10, 11}, {200, 200, 200}, {200, 200, 201}}, 3);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0], (Rgb{10, 10, 10}));
  EXPECT_EQ(got[1], (Rgb{10, 10, 11}));
  EXPECT_EQ(got[2], (Rgb{200, 200, 200}));
}

TEST(Octree, LeavesNeverExceedTheLimit) {
  std::mt19937 rng(99);
  for (int limit : {1, 2, 3, 7, 16, 100, 236, 256}) {
    SCOPED_TRACE(limit);
    TColorQuantizer q(limit, 8);
    for (const Rgb& p : RandomPixels(rng, 3000)) {
      q.AddColor(p.r, p.g, p.b);
      ASSERT_LE(q.Leaves(), limit);
      ASSERT_GE(q.Leaves(), 1);
    }
    std::array<TQuantizedColor, 256> colors{};
    EXPECT_EQ(q.ReadColors(colors.data(), 256), q.Leaves());
  }
}

TEST(OctreePalette, WithoutSystemColoursUnfilledEntriesAreBlack) {
  TBitmap bmp = Make24(2, 1, {{40, 50, 60}, {40, 50, 60}});
  TDIBReader reader(bmp, pf24bit);
  auto palette = OctreePalette(reader, 4, 8, false);
  ASSERT_EQ(palette->Count(), 4);
  EXPECT_EQ((*palette)[0], (TPaletteEntry{40, 50, 60, 0}));
  for (int i = 1; i < 4; ++i) EXPECT_EQ((*palette)[i], (TPaletteEntry{0, 0, 0, 0})) << i;
}

TEST(OctreePalette, SystemColoursFrameTheQuantizedOnes) {
  std::mt19937 rng(5);
  const auto pixels = RandomPixels(rng, 64 * 16);
  TBitmap bmp = Make24(64, 16, pixels);
  auto palette = BitmapOctreePalette(bmp, 256, 8, true);
  EXPECT_EQ(bmp.PixelFormat(), pf24bit);
  ASSERT_EQ(palette->Count(), 256);
  const auto& statics = StaticSystemColors();
  ASSERT_EQ(statics.size(), 20u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ((*palette)[i], statics[i]) << i;
    EXPECT_EQ((*palette)[246 + i], statics[10 + i]) << 246 + i;
  }
  // Between them the quantizer's own colours for a limit of 236, then black.
  TColorQuantizer q(236, 8);
  for (const Rgb& p : pixels) q.AddColor(p.r, p.g, p.b);
  std::array<TQuantizedColor, 256> colors{};
  const int n = q.ReadColors(colors.data(), 256);
  ASSERT_GT(n, 100);
  for (int i = 0; i < 236; ++i) {
    const TPaletteEntry want =
        i < n ? TPaletteEntry{colors[i].Red, colors[i].Green, colors[i].Blue, 0} : TPaletteEntry{};
    ASSERT_EQ((*palette)[10 + i], want) << "entry " << 10 + i;
  }
}

TEST(OctreePalette, OneColourWithSystemColours) {
  TBitmap bmp = Make24(1, 1, {{1, 2, 3}});
  auto palette = BitmapOctreePalette(bmp, 256, 8, true);
  ASSERT_EQ(palette->Count(), 256);
  EXPECT_EQ((*palette)[10], (TPaletteEntry{1, 2, 3, 0}));
  EXPECT_EQ((*palette)[11], (TPaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ((*palette)[245], (TPaletteEntry{0, 0, 0, 0}));
}

}  // namespace
