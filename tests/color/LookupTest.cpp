// Colour lookups: the cube, gray and monochrome arithmetic, and the nearest
// colour search with its per-cell memory.
#include <gtest/gtest.h>

#include "ColorTestUtil.h"
#include "gif/Palettes.h"
#include "gif/color/ColorLookup.h"
#include "gif/color/FixedPalettes.h"

namespace {

struct LookupCase {
  const char* name;
  Rgb in;
  int index;
  Rgb out;
};

void CheckCases(TColorLookup& lookup, const std::vector<LookupCase>& cases) {
  for (const LookupCase& c : cases) {
    SCOPED_TRACE(c.name);
    Rgb got{};
    const int index = lookup.Lookup(c.in.r, c.in.g, c.in.b, got.r, got.g, got.b);
    EXPECT_EQ(index, c.index);
    EXPECT_EQ(got, c.out) << "have (" << int(got.r) << "," << int(got.g) << "," << int(got.b) << ")";
  }
}

TEST(NetscapeLookup, LevelsAndIndices) {
  TNetscapeColorLookup lookup;
  EXPECT_EQ(lookup.ColorCount(), 216);
  CheckCases(lookup, {
                         {"(200,100,47) -> levels 3,2,0", {200, 100, 47}, 120, {153, 102, 0}},
                         {"(47,48,255) -> levels 0,1,5", {47, 48, 255}, 11, {0, 51, 255}},
                         {"black", {0, 0, 0}, 0, {0, 0, 0}},
                         {"white", {255, 255, 255}, 215, {255, 255, 255}},
                         {"pure red", {255, 0, 0}, 180, {255, 0, 0}},
                         {"pure green", {0, 255, 0}, 30, {0, 255, 0}},
                         {"pure blue", {0, 0, 255}, 5, {0, 0, 255}},
                     });
}

TEST(NetscapeLookup, LevelBoundaries) {
  // Level of a channel value: 0-47 -> 0, 48-98 -> 1, 99-149 -> 2, 150-200 -> 3,
  // 201-251 -> 4, 252-255 -> 5.
  const int firstOfLevel[] = {0, 48, 99, 150, 201, 252, 256};
  TNetscapeColorLookup lookup;
  for (int level = 0; level < 6; ++level) {
    for (int v = firstOfLevel[level]; v < firstOfLevel[level + 1]; ++v) {
      uint8_t r, g, b;
      ASSERT_EQ(lookup.Lookup(0, 0, uint8_t(v), r, g, b), level) << "value " << v;
      ASSERT_EQ(lookup.Lookup(0, uint8_t(v), 0, r, g, b), 6 * level) << "value " << v;
      ASSERT_EQ(lookup.Lookup(uint8_t(v), 0, 0, r, g, b), 36 * level) << "value " << v;
      ASSERT_EQ(r, 51 * level);
    }
  }
}

TEST(NetscapeLookup, AgreesWithNetscapePalette) {
  auto palette = NetscapePalette();
  ASSERT_EQ(palette->Count(), 216);
  TNetscapeColorLookup lookup;
  for (int i = 0; i < 216; ++i) {
    const TPaletteEntry& e = (*palette)[i];
    uint8_t r, g, b;
    ASSERT_EQ(lookup.Lookup(e.peRed, e.peGreen, e.peBlue, r, g, b), i);
  }
}

TEST(GrayScaleLookup, Cases) {
  TGrayScaleLookup lookup;
  EXPECT_EQ(lookup.ColorCount(), 256);
  CheckCases(lookup, {
                         {"white", {255, 255, 255}, 255, {255, 255, 255}},
                         {"red", {255, 0, 0}, 76, {76, 76, 76}},
                         {"blue", {0, 0, 255}, 28, {28, 28, 28}},
                         {"green", {0, 255, 0}, 149, {149, 149, 149}},
                     });
}

TEST(MonochromeLookup, Threshold) {
  TMonochromeLookup lookup;
  EXPECT_EQ(lookup.ColorCount(), 2);
  CheckCases(lookup, {
                         {"128 gray: s = 32768", {128, 128, 128}, 1, {255, 255, 255}},
                         {"127 gray: s = 32512, not above", {127, 127, 127}, 0, {0, 0, 0}},
                         {"pure green weighs 150 x 255", {0, 255, 0}, 1, {255, 255, 255}},
                         {"pure red weighs 77 x 255", {255, 0, 0}, 0, {0, 0, 0}},
                     });
}

TEST(FastColorLookup, Gray4NearestAndTies) {
  auto gray4 = Gray4Palette();
  TFastColorLookup lookup(gray4.get());
  EXPECT_EQ(lookup.ColorCount(), 4);
  CheckCases(lookup, {
                         {"(100) nearest 0x80 at 84", {100, 100, 100}, 1, {128, 128, 128}},
                         {"(200) nearest 0xC0 at 24", {200, 200, 200}, 2, {192, 192, 192}},
                         {"(64) tie 192/192 -> lower index", {64, 64, 64}, 0, {0, 0, 0}},
                         {"palette colour itself", {255, 255, 255}, 3, {255, 255, 255}},
                     });
}

TEST(FastColorLookup, CellSharingDependsOnOrder) {
  // (64,64,64) and (65,65,65) share the cell 8,8,8; the first answer stays.
  auto gray4 = Gray4Palette();
  struct Order {
    const char* name;
    Rgb first, second;
    int index;
  } orders[] = {
      {"64 first", {64, 64, 64}, {65, 65, 65}, 0},
      {"65 first", {65, 65, 65}, {64, 64, 64}, 1},
  };
  for (const Order& o : orders) {
    SCOPED_TRACE(o.name);
    TFastColorLookup lookup(gray4.get());
    uint8_t r, g, b;
    EXPECT_EQ(lookup.Lookup(o.first.r, o.first.g, o.first.b, r, g, b), o.index);
    EXPECT_EQ(lookup.Lookup(o.second.r, o.second.g, o.second.b, r, g, b), o.index);
  }
}

TEST(FastColorLookup, DuplicateColourGivesLowerIndex) {
  const TPalette palette = PaletteOf({{9, 9, 9}, {200, 10, 10}, {9, 9, 9}, {200, 10, 10}});
  TFastColorLookup lookup(&palette);
  uint8_t r, g, b;
  EXPECT_EQ(lookup.Lookup(200, 10, 10, r, g, b), 1) << "prefilled cell";
  EXPECT_EQ(lookup.Lookup(190, 30, 30, r, g, b), 1) << "searched";
  EXPECT_EQ(lookup.Lookup(30, 30, 30, r, g, b), 0) << "searched";
}

TEST(FastColorLookup, EmptyOrMissingPaletteHasNoColours) {
  const TPalette empty;
  EXPECT_EQ(TFastColorLookup(&empty).ColorCount(), 0);
  EXPECT_EQ(TFastColorLookup(nullptr).ColorCount(), 0);
}

TEST(FastColorLookup, RowLookupMatchesPixelLookupsInBothDirections) {
  std::mt19937 rng(7);
  const TPalette palette = [&] {
    std::vector<TPaletteEntry> e;
    for (const Rgb& c : RandomPixels(rng, 40)) e.push_back({c.r, c.g, c.b, 0});
    return TPalette(std::move(e));
  }();
  for (int direction : {1, -1}) {
    SCOPED_TRACE(direction);
    const std::vector<Rgb> pixels = RandomPixels(rng, 300);
    std::vector<uint8_t> bgr;
    for (const Rgb& p : pixels) bgr.insert(bgr.end(), {p.b, p.g, p.r});
    TFastColorLookup byRow(&palette), byPixel(&palette);
    std::vector<uint8_t> rowOut(pixels.size()), pixelOut(pixels.size());
    byRow.LookupRow(bgr.data(), rowOut.data(), int(pixels.size()), direction);
    for (size_t k = 0; k < pixels.size(); ++k) {
      const size_t i = direction > 0 ? k : pixels.size() - 1 - k;
      uint8_t r, g, b;
      pixelOut[i] = byPixel.Lookup(pixels[i].r, pixels[i].g, pixels[i].b, r, g, b);
    }
    EXPECT_EQ(rowOut, pixelOut);
  }
}

TEST(ArithmeticLookups, RowLookupMatchesPixelLookups) {
  std::mt19937 rng(11);
  const std::vector<Rgb> pixels = RandomPixels(rng, 2000);
  std::vector<uint8_t> bgr;
  for (const Rgb& p : pixels) bgr.insert(bgr.end(), {p.b, p.g, p.r});
  TNetscapeColorLookup cube;
  TGrayScaleLookup gray;
  TMonochromeLookup mono;
  for (TColorLookup* lookup : std::initializer_list<TColorLookup*>{&cube, &gray, &mono}) {
    std::vector<uint8_t> out(pixels.size());
    lookup->LookupRow(bgr.data(), out.data(), int(pixels.size()), 1);
    for (size_t i = 0; i < pixels.size(); ++i) {
      uint8_t r, g, b;
      ASSERT_EQ(out[i], lookup->Lookup(pixels[i].r, pixels[i].g, pixels[i].b, r, g, b)) << i;
    }
  }
}

}  // namespace
