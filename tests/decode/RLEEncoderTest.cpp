// The run-length coder: its arithmetic, exact code streams for small frames,
// and decodability by giflib and by our decoder.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "DecodeTestUtil.h"
#include "gif/GIFImage.h"
#include "gif/codec/RLEEncoder.h"

using namespace dtest;

namespace {

Bytes Encode(const Bytes& Pixels, int Width, int Height, int Bpp, bool Interlaced = false, int MaxColor = -1) {
  TMemoryStream out;
  TRLEEncoder enc;
  enc.Compress(out, Bpp, Width, Height, Interlaced, Pixels.data(), MaxColor < 0 ? 1 << Bpp : MaxColor);
  return Bytes(out.Memory(), out.Memory() + out.Size());
}

}  // namespace

TEST(RLEEncoder, IntegerSqrtIsTheFloorOfTheRoot) {
  EXPECT_EQ(TRLEEncoder::IntegerSqrt(0), 0);
  EXPECT_EQ(TRLEEncoder::IntegerSqrt(1), 1);
  EXPECT_EQ(TRLEEncoder::IntegerSqrt(15), 3);
  EXPECT_EQ(TRLEEncoder::IntegerSqrt(16), 4);
  for (int x = 0; x < 300000; ++x) {
    const int r = TRLEEncoder::IntegerSqrt(x);
    ASSERT_TRUE(int64_t{r} * r <= x && int64_t{r + 1} * (r + 1) > x) << "x " << x << " have " << r;
  }
  for (int x : {2147395599, 2147395600, 2147483647}) {
    const int64_t r = TRLEEncoder::IntegerSqrt(x);
    EXPECT_TRUE(r * r <= x && (r + 1) * (r + 1) > x) << x;
  }
}

TEST(RLEEncoder, RunCost) {
  const std::pair<int, int> cases[] = {{1, 1}, {3, 2}, {6, 3}, {7, 4}, {10, 4}};
  for (auto [count, want] : cases) EXPECT_EQ(TRLEEncoder::RunCost(count, 3837), want) << "count " << count;
  // Whole triangles of the longest run, then what is left.
  EXPECT_EQ(TRLEEncoder::RunCost(3 * 6 + 1, 3), 3 * 3 + 1);
}

TEST(RLEEncoder, OneColourTenPixels) {
  // Clear, C, then 258, 259, 260 for runs of 2, 3 and 4, the end code; 9 bits.
  const Bytes px(10, 42);
  CodeStream want(8);
  for (int c : {256, 42, 258, 259, 260, 257}) want.Raw(c, 9);
  EXPECT_EQ(Encode(px, 10, 1, 8), want.Finish());
}

TEST(RLEEncoder, NoRunsMeansPlainCodesAndAClearEvery254) {
  // 508 pixels without two equal neighbours: two groups of 254 plain codes,
  // each followed by a clear; so the data ends with a clear and the end code.
  Bytes px(508);
  for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i % 200);
  CodeStream want(8);
  want.Raw(256, 9);
  for (size_t i = 0; i < px.size(); ++i) {
    want.Raw(px[i], 9);
    if (i % 254 == 253) want.Raw(256, 9);
  }
  want.Raw(257, 9);
  const Bytes data = Encode(px, 508, 1, 8);
  EXPECT_EQ(data, want.Finish());
  DecodeResult r = Decode(data, 508, 1);
  EXPECT_EQ(r.Pixels, px);
  EXPECT_EQ(r.Position, int64_t(data.size()));
}

TEST(RLEEncoder, ShortFreshRunsArePlainLongerOnesBuildTheTriangle) {
  struct Case {
    int Run;
    std::vector<int> Codes;  // after the leading clear and pixel 1, before the end code
  };
  // A pixel 1 first, so the table holds runs of nothing else; then a run of 7.
  const Case cases[] = {
      {2, {7, 7}},
      {4, {7, 7, 7, 7}},
      {5, {256, 7, 258, 258}},  // clear, then runs 1 + 2 + 2 (code 258 again)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("run " + std::to_string(c.Run));
    Bytes px{1};
    px.insert(px.end(), size_t(c.Run), 7);
    const Bytes data = Encode(px, int(px.size()), 1, 8);
    CodeStream want(8);
    for (int code : {256, 1}) want.Raw(code, 9);
    for (int code : c.Codes) want.Raw(code, 9);
    want.Raw(257, 9);
    EXPECT_EQ(data, want.Finish());
    EXPECT_EQ(Decode(data, int(px.size()), 1).Pixels, px);
  }
}

TEST(RLEEncoder, CodeSizeTwoClearsAfterNineCodes) {
  // 1-bit pixels alternating: the width grows to 4 after 3 codes, and a clear
  // follows every 9 codes (back to 3 bits).
  Bytes px(20);
  for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i & 1);
  CodeStream want(2);
  want.Raw(4, 3);
  int out = 0;
  for (uint8_t p : px) {
    want.Raw(p, out < 3 ? 3 : 4);
    if (++out == 9) {
      want.Raw(4, 4);
      out = 0;
    }
  }
  want.Raw(5, out < 3 ? 3 : 4);
  EXPECT_EQ(Encode(px, 20, 1, 1), want.Finish());
}

TEST(RLEEncoder, PixelAtMaxColorAborts) {
  const Bytes px{0, 1, 2, 3, 16};
  TMemoryStream out;
  TRLEEncoder enc;
  try {
    enc.Compress(out, 4, 5, 1, false, px.data(), 16);
    FAIL() << "no exception";
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), gifmsg::InvalidColor);
  }
}

TEST(RLEEncoder, EveryFrameDecodesToItsPixelsInGiflibAndHere) {
  std::mt19937 rng(77);
  for (int iter = 0; iter < 120; ++iter) {
    const int bpp = 1 + iter % 8;
    const bool interlaced = iter % 3 == 0;
    const int w = 1 + int(rng() % 150), h = 1 + int(rng() % 40);
    // From noise to very long runs, so that clears fall inside triangles and
    // run tables are reused.
    const double runs = std::vector<double>{0.0, 0.5, 0.9, 0.99, 0.999}[size_t(iter % 5)];
    const Bytes px = RandomPixels(rng, size_t(w) * h, 1 << bpp, runs);
    SCOPED_TRACE("iteration " + std::to_string(iter));
    const Bytes data = Encode(px, w, h, bpp, interlaced);

    // Wrap the image data into a file giflib can read: header, screen,
    // global table, descriptor, data, trailer.
    Bytes file{'G', 'I', 'F', '8', '7', 'a', uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8),
               uint8_t(0x80 | (bpp - 1)), 0, 0};
    file.resize(file.size() + 3 * (size_t(1) << bpp), 0);
    const Bytes desc{0x2C, 0, 0, 0, 0, uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8),
                     uint8_t(interlaced ? 0x40 : 0)};
    file.insert(file.end(), desc.begin(), desc.end());
    file.insert(file.end(), data.begin(), data.end());
    file.push_back(0x3B);
    int err = 0;
    auto frames = GiflibDecode(file, &err);
    ASSERT_EQ(err, 0);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].Pixels, px) << "giflib";

    DecodeResult r = Decode(data, w, h, interlaced, 0);
    EXPECT_EQ(r.Pixels, px) << "ours";
    EXPECT_EQ(r.Position, int64_t(data.size()));
    EXPECT_TRUE(r.Warnings.empty());
    if (HasFailure()) break;
  }
}
