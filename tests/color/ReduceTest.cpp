// Colour reduction: methods, palettes in the result's colour table, serpentine
// order, the source's format afterwards, and the arguments that give nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "ColorTestUtil.h"
#include "gif/GIFImage.h"
#include "gif/Palettes.h"
#include "gif/color/ColorMessages.h"
#include "gif/color/DitherEngine.h"
#include "gif/color/FixedPalettes.h"
#include "gif/color/Reduce.h"

namespace {

TEST(ReduceColors, DefaultMethodCubeIndexAndTable) {
  TBitmap src = Make24(2, 1, {{200, 100, 47}, {255, 255, 255}});
  auto result = ReduceColors(src, ReduceNetscape216, DitherNone, 8, nullptr);
  ASSERT_EQ(result->PixelFormat(), pf8bit);
  EXPECT_EQ(Indices(*result), (std::vector<uint8_t>{120, 215}));
  ASSERT_EQ(result->Palette().size(), 256u);
  EXPECT_EQ(result->Palette()[120], (TPaletteEntry{153, 102, 0, 0}));
  for (int i = 0; i < 216; ++i) {
    const TPaletteEntry& e = result->Palette()[i];
    ASSERT_EQ(e, (TPaletteEntry{uint8_t(51 * (i / 36)), uint8_t(51 * (i / 6 % 6)), uint8_t(51 * (i % 6)), 0}))
        << "entry " << i;
  }
  for (int i = 216; i < 256; ++i) ASSERT_EQ(result->Palette()[i], TPaletteEntry{}) << "entry " << i;
}

TEST(ReduceColors, FixedPaletteMethods) {
  struct Case {
    const char* name;
    int method;
    Rgb pixel;
    int index;  // -1: not pinned
    Rgb chosen;
  } cases[] = {
      {"monochrome: green is white", ReduceMonochrome, {0, 255, 0}, 1, {255, 255, 255}},
      {"monochrome: red is black", ReduceMonochrome, {255, 0, 0}, 0, {0, 0, 0}},
      {"gray256: red", ReduceGray256, {255, 0, 0}, 76, {76, 76, 76}},
      {"gray4: 100 -> 0x80", ReduceGray4, {100, 100, 100}, 1, {128, 128, 128}},
      {"gray4: 200 -> 0xC0", ReduceGray4, {200, 200, 200}, 2, {192, 192, 192}},
      {"system 20: pure red", ReduceSystem20, {255, 0, 0}, 13, {255, 0, 0}},
      {"halftone: white", ReduceHalftone, {255, 255, 255}, -1, {255, 255, 255}},
      {"cube: (47, 48, 255)", ReduceNetscape216, {47, 48, 255}, 11, {0, 51, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TBitmap src = Make24(1, 1, {c.pixel});
    auto result = ReduceColors(src, c.method, DitherNone, 8, nullptr);
    ASSERT_EQ(result->PixelFormat(), pf8bit);
    ASSERT_EQ(result->Palette().size(), 256u);
    const int index = Indices(*result)[0];
    if (c.index >= 0) {
      EXPECT_EQ(index, c.index);
    }
    EXPECT_EQ(result->Palette()[index], (TPaletteEntry{c.chosen.r, c.chosen.g, c.chosen.b, 0}));
  }
}

TEST(ReduceColors, TableIsTheMethodsPaletteThenBlack) {
  struct Case {
    const char* name;
    int method;
    std::unique_ptr<TPalette> palette;
  };
  Case cases[] = {
      {"gray4", ReduceGray4, Gray4Palette()},
      {"monochrome", ReduceMonochrome, MonochromePalette()},
      {"gray256", ReduceGray256, Gray256Palette()},
      {"system 20", ReduceSystem20, std::make_unique<TPalette>(PlatformSystemPalette())},
      {"halftone", ReduceHalftone, HalftonePalette()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TBitmap src = Make24(1, 1, {{1, 2, 3}});
    auto result = ReduceColors(src, c.method, DitherNone, 8, nullptr);
    ASSERT_EQ(result->Palette().size(), 256u);
    for (int i = 0; i < 256; ++i) {
      TPaletteEntry want{};
      if (i < c.palette->Count()) want = {(*c.palette)[i].peRed, (*c.palette)[i].peGreen, (*c.palette)[i].peBlue, 0};
      ASSERT_EQ(result->Palette()[i], want) << "entry " << i;
    }
  }
}

TEST(ReduceColors, MethodNoneIsA24BitCopyAndLeavesTheSource) {
  TBitmap src(3, 2, pfDevice);
  src.Canvas().SetPixel(2, 1, RGBColor(9, 8, 7));
  auto result = ReduceColors(src, ReduceNone, DitherNone, 8, nullptr);
  EXPECT_EQ(src.PixelFormat(), pfDevice);
  EXPECT_EQ(result->PixelFormat(), pf24bit);
  EXPECT_EQ(result->Width(), 3);
  EXPECT_EQ(result->Height(), 2);
  EXPECT_EQ(result->GetPixelColor(2, 1), RGBColor(9, 8, 7));
}

TEST(ReduceColors, SourceIs24BitAfterEveryMethod) {
  const TPalette callers = PaletteOf({{0, 0, 0}, {255, 255, 255}});
  for (int method = 1; method <= 9; ++method) {
    SCOPED_TRACE(method);
    TBitmap src(4, 3, pf32bit);
    auto result = ReduceColors(src, method, DitherFloydSteinberg, 8, &callers);
    EXPECT_EQ(src.PixelFormat(), pf24bit);
    EXPECT_EQ(result->PixelFormat(), pf8bit);
    EXPECT_EQ(result->Width(), 4);
    EXPECT_EQ(result->Height(), 3);
  }
}

TEST(ReduceColors, SecondRowIsScannedRightToLeft) {
  // With the 4 grays, 160 and 161 share a cell: 160 alone ties between 0x80
  // and 0xC0 (index 1), 161 is nearer 0xC0 (index 2). Whichever is looked up
  // first decides both. Row 1 is scanned right to left, so 161 decides.
  TBitmap src = Make24(2, 2, {{0, 0, 0}, {255, 255, 255}, {160, 160, 160}, {161, 161, 161}});
  auto result = ReduceColors(src, ReduceGray4, DitherNone, 8, nullptr);
  EXPECT_EQ(Indices(*result), (std::vector<uint8_t>{0, 3, 2, 2}));
}

TEST(ReduceColors, EveryDitherModeWritesWhereItsEngineIs) {
  // The reduction's row loop against the same engine driven by hand in the
  // engine's own serpentine order.
  const TDitherEngineClass engines[] = {
      &CreateDitherEngine<TDitherEngine>,       &CreateDitherEngine<TFloydSteinbergDitherer>,
      &CreateDitherEngine<TStuckiDitherer>,     &CreateDitherEngine<TSierraDitherer>,
      &CreateDitherEngine<TJaJuNiDitherer>,     &CreateDitherEngine<TSteveArcheDitherer>,
      &CreateDitherEngine<TBurkesDitherer>,
  };
  std::mt19937 rng(21);
  const auto gray4 = Gray4Palette();
  for (int w : {1, 2, 5, 23}) {
    const int h = 5;
    const auto pixels = RandomPixels(rng, w * h);
    for (int mode = 0; mode <= 6; ++mode) {
      SCOPED_TRACE("mode " + std::to_string(mode) + " width " + std::to_string(w));
      TBitmap src = Make24(w, h, pixels);
      auto result = ReduceColors(src, ReduceGray4, mode, 8, nullptr);
      TFastColorLookup lookup(gray4.get());
      auto engine = engines[mode](w, lookup);
      std::vector<uint8_t> want(pixels.size());
      for (int y = 0; y < h; ++y) {
        for (int x = engine->CurrentColumn(); x >= 0 && x < w; x = engine->CurrentColumn()) {
          const Rgb& p = pixels[size_t(y) * w + x];
          uint8_t r, g, b;
          want[size_t(y) * w + x] = engine->DitherPixel(p.r, p.g, p.b, r, g, b);
        }
        engine->EndRow();
      }
      EXPECT_EQ(Indices(*result), want);
    }
  }
}

TEST(ReduceColors, OneRowIsScannedLeftToRight) {
  TBitmap src = Make24(2, 1, {{160, 160, 160}, {161, 161, 161}});
  auto result = ReduceColors(src, ReduceGray4, DitherNone, 8, nullptr);
  EXPECT_EQ(Indices(*result), (std::vector<uint8_t>{1, 1}));
}

TEST(ReduceColors, OctreeColourCountFollowsClampedReductionBits) {
  // The eight corners of the colour cube (in different lookup cells). Bits
  // above 8 must not wrap round to a tiny palette (31 and 32 would give 1 << 31
  // and 1 << 0 unclamped).
  std::vector<Rgb> pixels;
  for (int i = 0; i < 8; ++i)
    pixels.push_back(Rgb{uint8_t(i & 4 ? 250 : 5), uint8_t(i & 2 ? 250 : 5), uint8_t(i & 1 ? 250 : 5)});
  for (int bits : {-5, 0, 1, 2, 3, 8, 9, 31, 32, 1000}) {
    SCOPED_TRACE(bits);
    const int limit = 1 << std::clamp(bits, 1, 8);
    EXPECT_EQ(OctreeColorsForBits(bits), limit);
    TBitmap src = Make24(8, 1, pixels);
    auto result = ReduceColors(src, ReduceOctree, DitherNone, bits, nullptr);
    const auto idx = Indices(*result);
    const size_t distinct = std::set<uint8_t>(idx.begin(), idx.end()).size();
    if (limit >= 8) {
      EXPECT_EQ(distinct, 8u);
    } else {
      EXPECT_LE(distinct, size_t(limit));
    }
  }
}

TEST(ReduceColors, OctreeSystemTableFramedByStaticColours) {
  std::mt19937 rng(3);
  TBitmap src = Make24(30, 10, RandomPixels(rng, 300));
  auto result = ReduceColors(src, ReduceOctreeSystem, DitherNone, 8, nullptr);
  ASSERT_EQ(result->Palette().size(), 256u);
  const auto& statics = StaticSystemColors();
  for (int i = 0; i < 10; ++i) {
    const TPaletteEntry& lo = statics[i];
    const TPaletteEntry& hi = statics[10 + i];
    EXPECT_EQ(result->Palette()[i], (TPaletteEntry{lo.peRed, lo.peGreen, lo.peBlue, 0}));
    EXPECT_EQ(result->Palette()[246 + i], (TPaletteEntry{hi.peRed, hi.peGreen, hi.peBlue, 0}));
  }
}

TEST(ReduceColors, CallersPaletteIsUsedAndNotTakenOver) {
  const TPalette callers = PaletteOf({{10, 10, 10}, {250, 0, 0}, {0, 0, 250}});
  TBitmap src = Make24(3, 1, {{240, 20, 20}, {0, 0, 0}, {30, 30, 200}});
  auto result = ReduceColors(src, ReducePalette, DitherNone, 8, &callers);
  EXPECT_EQ(Indices(*result), (std::vector<uint8_t>{1, 0, 2}));
  EXPECT_EQ(callers.Count(), 3);
  EXPECT_EQ(result->Palette()[2], (TPaletteEntry{0, 0, 250, 0}));
}

TEST(ReduceColors, ArgumentsThatGiveNothingToDo) {
  const TPalette empty;
  struct Case {
    const char* name;
    int method, dither;
    const TPalette* palette;
    const char* problem;
  } cases[] = {
      {"method 10", 10, 0, nullptr, gifmsg::BadColorReduction},
      {"method 255", 255, 0, nullptr, gifmsg::BadColorReduction},
      {"dither mode 7", ReduceNetscape216, 7, nullptr, gifmsg::BadDitherMode},
      {"method 9 without palette", ReducePalette, 0, nullptr, gifmsg::NoReductionColors},
      {"method 9 with an empty palette", ReducePalette, 0, &empty, gifmsg::NoReductionColors},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_STREQ(ReductionArgumentsProblem(c.method, c.dither, c.palette), c.problem);
    TBitmap src = Make24(2, 2, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {1, 1, 1}});
    auto result = ReduceColors(src, c.method, c.dither, 8, c.palette);
    ASSERT_NE(result, nullptr);
    EXPECT_TRUE(result->Empty());
  }
  EXPECT_EQ(ReductionArgumentsProblem(ReduceNetscape216, DitherBurkes, nullptr), nullptr);
  EXPECT_EQ(ReductionArgumentsProblem(ReduceNone, 99, nullptr), nullptr);
}

TEST(ReduceColors, DitheringIsRepeatableAndDiffusesError) {
  std::mt19937 rng(21);
  const int w = 23, h = 7;
  const auto pixels = RandomPixels(rng, w * h);
  for (int mode = 1; mode <= 6; ++mode) {
    SCOPED_TRACE(mode);
    TBitmap src = Make24(w, h, pixels);
    auto result = ReduceColors(src, ReduceNetscape216, mode, 8, nullptr);
    auto again = ReduceColors(src, ReduceNetscape216, mode, 8, nullptr);
    EXPECT_EQ(Indices(*result), Indices(*again)) << "nothing carried between reductions";
    auto plain = ReduceColors(src, ReduceNetscape216, DitherNone, 8, nullptr);
    EXPECT_NE(Indices(*result), Indices(*plain)) << "error diffusion changes some index";
  }
}

}  // namespace

namespace {

TEST(ReduceColorsOf, SameResultAsReduceColorsAndTheSourceStays) {
  std::mt19937 rng(17);
  const TPalette callers = PaletteOf({{0, 0, 0}, {255, 0, 0}, {0, 200, 90}, {255, 255, 255}});
  for (TPixelFormat pf : {pf24bit, pf32bit, pfDevice, pf16bit, pf8bit}) {
    for (int method = 0; method <= 9; ++method) {
      const int dither = method % 7;
      SCOPED_TRACE("format " + std::to_string(pf) + " method " + std::to_string(method));
      TBitmap source = Make24(13, 4, RandomPixels(rng, 13 * 4));
      source.SetPixelFormat(pf);
      const TBitmap before(source);
      auto kept = ReduceColorsOf(source, method, dither, 4, &callers);
      EXPECT_EQ(source.PixelFormat(), pf);
      for (int y = 0; y < 4; ++y)
        ASSERT_EQ(0, std::memcmp(source.ScanLine(y), before.ScanLine(y), size_t(source.BytesPerRow())))
            << "source row " << y << " changed";
      TBitmap converted(source);
      auto reference = ReduceColors(converted, method, dither, 4, &callers);
      ASSERT_EQ(kept->PixelFormat(), reference->PixelFormat());
      EXPECT_EQ(kept->Palette(), reference->Palette());
      if (method == ReduceNone) {
        for (int y = 0; y < 4; ++y)
          for (int x = 0; x < 13; ++x) ASSERT_EQ(kept->GetPixelColor(x, y), reference->GetPixelColor(x, y));
      } else {
        EXPECT_EQ(Indices(*kept), Indices(*reference));
      }
    }
  }
}

}  // namespace
