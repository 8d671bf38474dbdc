// Dithering engines against a plain reference that keeps a whole image of
// errors per channel, and a few hand-worked error shares.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "ColorTestUtil.h"
#include "gif/color/DitherEngine.h"
#include "gif/color/FixedPalettes.h"

namespace {

struct Tap {
  int ahead, below, weight;
};

struct Kernel {
  const char* name;
  TDitherEngineClass engine;
  int divisor;
  std::vector<Tap> taps;
};

const std::vector<Kernel>& Kernels() {
  static const std::vector<Kernel> kernels = {
      {"FloydSteinberg", &CreateDitherEngine<TFloydSteinbergDitherer>, 16,
       {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}}},
      {"Stucki", &CreateDitherEngine<TStuckiDitherer>, 42,
       {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2},
        {-2, 2, 1}, {-1, 2, 2}, {0, 2, 4}, {1, 2, 2}, {2, 2, 1}}},
      {"Sierra", &CreateDitherEngine<TSierraDitherer>, 32,
       {{1, 0, 5}, {2, 0, 3}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 5}, {1, 1, 4}, {2, 1, 2},
        {-1, 2, 2}, {0, 2, 3}, {1, 2, 2}}},
      {"JaJuNi", &CreateDitherEngine<TJaJuNiDitherer>, 48,
       {{1, 0, 7}, {2, 0, 5}, {-2, 1, 3}, {-1, 1, 5}, {0, 1, 7}, {1, 1, 5}, {2, 1, 3},
        {-2, 2, 1}, {-1, 2, 3}, {0, 2, 5}, {1, 2, 3}, {2, 2, 1}}},
      {"SteveArche", &CreateDitherEngine<TSteveArcheDitherer>, 200,
       {{2, 0, 32}, {-3, 1, 12}, {-1, 1, 26}, {1, 1, 30}, {3, 1, 16}, {-2, 2, 12}, {0, 2, 26},
        {2, 2, 12}, {-3, 3, 5}, {-1, 3, 12}, {1, 3, 12}, {3, 3, 5}}},
      {"Burkes", &CreateDitherEngine<TBurkesDitherer>, 32,
       {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2}}},
  };
  return kernels;
}

// Serpentine error diffusion with a full array of raw errors per channel; a
// skipped pixel reads nothing and passes nothing on.
std::vector<uint8_t> ReferenceDither(int width, int height, const std::vector<Rgb>& pixels,
                                     const std::vector<bool>& skip, const Kernel& k,
                                     TColorLookup& lookup) {
  std::vector<int> err[3];
  for (auto& e : err) e.assign(static_cast<size_t>(width) * height, 0);
  std::vector<uint8_t> out(static_cast<size_t>(width) * height, 0xEE);
  for (int y = 0; y < height; ++y) {
    const int dir = y % 2 == 0 ? 1 : -1;
    for (int i = 0; i < width; ++i) {
      const int x = dir > 0 ? i : width - 1 - i;
      const size_t at = static_cast<size_t>(y) * width + x;
      if (skip[at]) continue;
      const int in[3] = {pixels[at].r, pixels[at].g, pixels[at].b};
      int v[3];
      for (int c = 0; c < 3; ++c) {
        int corrected = in[c] + (err[c][at] + k.divisor / 2) / k.divisor;
        v[c] = std::clamp(corrected, 0, 255);
      }
      uint8_t p[3];
      out[at] = lookup.Lookup(uint8_t(v[0]), uint8_t(v[1]), uint8_t(v[2]), p[0], p[1], p[2]);
      for (int c = 0; c < 3; ++c) {
        const int e = v[c] - p[c];
        for (const Tap& t : k.taps) {
          const int nx = x + t.ahead * dir, ny = y + t.below;
          if (nx < 0 || nx >= width || ny >= height) continue;
          err[c][static_cast<size_t>(ny) * width + nx] += t.weight * e;
        }
      }
    }
  }
  return out;
}

// The caller's loop of the reduction and the renderer.
std::vector<uint8_t> RunEngine(int width, int height, const std::vector<Rgb>& pixels,
                               const std::vector<bool>& skip, TDitherEngine& engine) {
  std::vector<uint8_t> out(static_cast<size_t>(width) * height, 0xEE);
  for (int y = 0; y < height; ++y) {
    for (int x = engine.CurrentColumn(); x >= 0 && x < width; x = engine.CurrentColumn()) {
      const size_t at = static_cast<size_t>(y) * width + x;
      if (skip[at]) {
        engine.SkipColumn();
        continue;
      }
      uint8_t r, g, b;
      out[at] = engine.DitherPixel(pixels[at].r, pixels[at].g, pixels[at].b, r, g, b);
    }
    engine.EndRow();
  }
  return out;
}

// Random colours mixed with runs near black and white, so that corrections
// clamp often.
std::vector<Rgb> TestImage(std::mt19937& rng, int count) {
  std::vector<Rgb> pixels = RandomPixels(rng, count);
  std::uniform_int_distribution<int> pick(0, 5), small(0, 12);
  for (Rgb& p : pixels) {
    switch (pick(rng)) {
      case 0: p = Rgb{uint8_t(small(rng)), uint8_t(small(rng)), uint8_t(small(rng))}; break;
      case 1: p = Rgb{uint8_t(255 - small(rng)), uint8_t(255 - small(rng)), uint8_t(255 - small(rng))}; break;
      default: break;
    }
  }
  return pixels;
}

class EngineVersusReference : public ::testing::TestWithParam<size_t> {};

TEST_P(EngineVersusReference, IdenticalIndicesForWidths1To40) {
  const Kernel& k = Kernels()[GetParam()];
  std::mt19937 rng(1234 + static_cast<unsigned>(GetParam()));
  std::vector<TPaletteEntry> entries;
  for (const Rgb& c : RandomPixels(rng, 12)) entries.push_back({c.r, c.g, c.b, 0});
  const TPalette palette(entries);
  for (bool withSkips : {false, true}) {
    for (int width = 1; width <= 40; ++width) {
      const int height = 1 + (width * 7) % 6;  // 1 to 6 rows: both directions
      SCOPED_TRACE(std::string(k.name) + " width " + std::to_string(width) + " height " +
                   std::to_string(height) + (withSkips ? " with skipped columns" : ""));
      const std::vector<Rgb> pixels = TestImage(rng, width * height);
      std::vector<bool> skip(pixels.size(), false);
      if (withSkips) {
        std::bernoulli_distribution coin(0.25);
        for (size_t i = 0; i < skip.size(); ++i) skip[i] = coin(rng);
      }
      // Each side gets its own lookup: a cell's first answer depends on the
      // order of requests, which must therefore match too.
      for (bool cube : {false, true}) {
        std::unique_ptr<TColorLookup> mine, theirs;
        if (cube) {
          mine = std::make_unique<TNetscapeColorLookup>();
          theirs = std::make_unique<TNetscapeColorLookup>();
        } else {
          mine = std::make_unique<TFastColorLookup>(&palette);
          theirs = std::make_unique<TFastColorLookup>(&palette);
        }
        auto engine = k.engine(width, *mine);
        const auto got = RunEngine(width, height, pixels, skip, *engine);
        const auto want = ReferenceDither(width, height, pixels, skip, k, *theirs);
        ASSERT_EQ(got, want) << (cube ? "cube lookup" : "palette lookup");
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllKernels, EngineVersusReference,
                         ::testing::Range<size_t>(0, Kernels().size()),
                         [](const ::testing::TestParamInfo<size_t>& info) {
                           return std::string(Kernels()[info.param].name);
                         });

// Always answers index 0, black, and remembers what it was asked: the error
// passed on is then the corrected value itself.
class RecordingLookup : public TColorLookup {
 public:
  RecordingLookup() : TColorLookup(nullptr) { FColorCount = 1; }
  uint8_t Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override {
    Asked.push_back(Rgb{Red, Green, Blue});
    R = G = B = 0;
    return 0;
  }
  std::vector<Rgb> Asked;
};

TEST(FloydSteinberg, SharesAndRoundingByHand) {
  // Row 0, left to right: (16) passes 7*16 = 112 to its right: (112 + 8) / 16 = 7.
  // Below it gets 5*16 = 80 plus the right pixel's 3 * (0 + 7) = 21: (101 + 8) / 16 = 6.
  RecordingLookup lookup;
  TFloydSteinbergDitherer engine(2, lookup);
  uint8_t r, g, b;
  engine.DitherPixel(16, 0, 0, r, g, b);
  engine.DitherPixel(0, 0, 0, r, g, b);
  engine.EndRow();
  EXPECT_EQ(engine.ScanDirection(), -1);
  EXPECT_EQ(engine.CurrentColumn(), 1);
  engine.DitherPixel(0, 0, 0, r, g, b);  // column 1: 16 + 5 * 7 = 51 -> (51 + 8) / 16 = 3
  engine.DitherPixel(0, 0, 0, r, g, b);  // column 0
  ASSERT_EQ(lookup.Asked.size(), 4u);
  EXPECT_EQ(lookup.Asked[0].r, 16) << "the first pixel is looked up unchanged";
  EXPECT_EQ(lookup.Asked[1].r, 7);
  EXPECT_EQ(lookup.Asked[2].r, 3);
  // Column 0 of row 1: 80 + 21 from above, plus 7 * 3 = 21 carried leftwards
  // in the right-to-left row: (122 + 8) / 16 = 8.
  EXPECT_EQ(lookup.Asked[3].r, 8);
}

TEST(FloydSteinberg, RightToLeftRowSendsSevenLeftAndThreeLowerRight) {
  RecordingLookup lookup;
  TFloydSteinbergDitherer engine(3, lookup);
  uint8_t r, g, b;
  for (int i = 0; i < 3; ++i) engine.DitherPixel(0, 0, 0, r, g, b);
  engine.EndRow();
  // Right to left: column 2 then 1 then 0. Column 2 has error 32.
  engine.DitherPixel(0, 0, 32, r, g, b);
  engine.DitherPixel(0, 0, 0, r, g, b);  // column 1: 7 * 32 = 224 -> 14
  engine.DitherPixel(0, 0, 0, r, g, b);  // column 0: 7 * 14 = 98 -> 6
  engine.EndRow();
  for (int i = 0; i < 3; ++i) engine.DitherPixel(0, 0, 0, r, g, b);
  ASSERT_EQ(lookup.Asked.size(), 9u);
  EXPECT_EQ(lookup.Asked[4].b, 14);
  EXPECT_EQ(lookup.Asked[5].b, 6);
  // Row 2, left to right. Column 0 gets 5*6 + 1*14 = 44 -> 3. Column 1 gets
  // 3*6 + 5*14 + 1*32 = 120 plus 7*3 carried = 141 -> 9. Column 2 gets
  // 3*14 + 5*32 = 202 plus 7*9 = 63 -> (265 + 8) / 16 = 17.
  EXPECT_EQ(lookup.Asked[6].b, 3);
  EXPECT_EQ(lookup.Asked[7].b, 9);
  EXPECT_EQ(lookup.Asked[8].b, 17);
}

TEST(ErrorDiffusion, RoundingTowardZeroAndClamping) {
  // A negative error: white chosen for a value 200 gives e = -55.
  // Divisor 16, the 7/16 share -385 -> (-385 + 8) / 16 = -23 (toward zero).
  class WhiteLookup : public RecordingLookup {
   public:
    uint8_t Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G, uint8_t& B) override {
      Asked.push_back(Rgb{Red, Green, Blue});
      R = G = B = 255;
      return 1;
    }
  } lookup;
  TFloydSteinbergDitherer engine(3, lookup);
  uint8_t r, g, b;
  engine.DitherPixel(200, 0, 0, r, g, b);
  engine.DitherPixel(200, 250, 0, r, g, b);
  engine.DitherPixel(5, 0, 0, r, g, b);
  ASSERT_EQ(lookup.Asked.size(), 3u);
  EXPECT_EQ(lookup.Asked[1].r, 200 - 23);
  // Green: 0 - 255 = -255 -> 7 * -255 = -1785 -> -111 from 250 -> 139.
  EXPECT_EQ(lookup.Asked[1].g, 139);
  EXPECT_EQ(lookup.Asked[1].b, 0) << "clamped at 0";
  // Green at column 2: 139 - 255 = -116 -> 7 * -116 = -812 -> -50 from 0.
  EXPECT_EQ(lookup.Asked[2].g, 0) << "clamped at 0";
  // Red at column 2: e at column 1 = 177 - 255 = -78 -> 7 * -78 = -546 -> -33 from 5 -> clamped 0.
  EXPECT_EQ(lookup.Asked[2].r, 0);
}

TEST(ErrorDiffusion, OnePixelWideKeepsOnlyStraightDownShares) {
  // Width 1, Floyd-Steinberg: only 5/16 reaches the next row.
  RecordingLookup lookup;
  TFloydSteinbergDitherer engine(1, lookup);
  uint8_t r, g, b;
  engine.DitherPixel(32, 0, 0, r, g, b);
  engine.EndRow();
  engine.DitherPixel(0, 0, 0, r, g, b);
  ASSERT_EQ(lookup.Asked.size(), 2u);
  EXPECT_EQ(lookup.Asked[1].r, (5 * 32 + 8) / 16);
}

TEST(BaseEngine, SerpentineWalkWithoutDiffusion) {
  TMonochromeLookup lookup;
  TDitherEngine engine(4, lookup);
  EXPECT_EQ(engine.ScanDirection(), 1);
  EXPECT_EQ(engine.CurrentColumn(), 0);
  uint8_t r, g, b;
  EXPECT_EQ(engine.DitherPixel(200, 200, 200, r, g, b), 1);
  EXPECT_EQ(engine.CurrentColumn(), 1);
  engine.SkipColumn();
  EXPECT_EQ(engine.CurrentColumn(), 2);
  engine.EndRow();
  EXPECT_EQ(engine.ScanDirection(), -1);
  EXPECT_EQ(engine.CurrentColumn(), 3);
  EXPECT_EQ(engine.DitherPixel(10, 10, 10, r, g, b), 0);
  EXPECT_EQ(engine.CurrentColumn(), 2);
  engine.EndRow();
  EXPECT_EQ(engine.ScanDirection(), 1);
  EXPECT_EQ(engine.CurrentColumn(), 0);
}

}  // namespace
