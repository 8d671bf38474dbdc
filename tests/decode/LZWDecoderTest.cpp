// The LZW decoder on hand-made image data: worked examples, row orders,
// sub-block boundaries, damaged data, and cross-checks against giflib and
// against its own table-walk path.
#include <gtest/gtest.h>

#include <random>

#include "DecodeTestUtil.h"
#include "gif/GIFMessages.h"

using namespace dtest;

namespace {

// Image data of literal codes only: a clear, one code per pixel, the end code.
Bytes LiteralData(int SizeByte, const Bytes& Pixels, int BlockSize = 255, bool EndCode = true) {
  CodeStream cs(SizeByte, BlockSize);
  cs.Clear();
  for (uint8_t p : Pixels) cs.Code(p);
  if (EndCode) cs.End();
  return cs.Finish();
}

// The same coded bits, cut into sub-blocks of another size.
Bytes Reblock(const Bytes& Data, int BlockSize) {
  Bytes bits;
  size_t p = 1;
  while (Data.at(p) != 0) {
    bits.insert(bits.end(), Data.begin() + static_cast<long>(p + 1), Data.begin() + static_cast<long>(p + 1 + Data[p]));
    p += Data[p] + 1u;
  }
  Bytes out{Data[0]};
  for (size_t i = 0; i < bits.size(); i += static_cast<size_t>(BlockSize)) {
    size_t n = std::min(bits.size() - i, static_cast<size_t>(BlockSize));
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), bits.begin() + static_cast<long>(i), bits.begin() + static_cast<long>(i + n));
  }
  out.push_back(0);
  return out;
}

std::string Join(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& x : v) s += "[" + x + "]";
  return s;
}

void ExpectSame(const DecodeResult& Have, const DecodeResult& Want) {
  EXPECT_EQ(Have.Pixels, Want.Pixels);
  EXPECT_EQ(Join(Have.Warnings), Join(Want.Warnings));
  EXPECT_EQ(Have.Position, Want.Position);
  EXPECT_EQ(Have.Error, Want.Error);
}

}  // namespace

TEST(LZWDecoder, OnePixelWorkedExample) {
  // code size 2 | one sub-block of 2 bytes: clear 4, pixel 0, end 5 (3 bits each) | terminator
  const Bytes data{0x02, 0x02, 0x44, 0x01, 0x00};
  for (bool ref : {false, true}) {
    DecodeResult r = Decode(data, 1, 1, false, /*Fill*/ 7, ref);
    EXPECT_EQ(r.Pixels, Bytes{0});
    EXPECT_TRUE(r.Warnings.empty()) << Join(r.Warnings);
    EXPECT_EQ(r.Position, 5) << "the terminator is consumed";
  }
}

TEST(LZWDecoder, InterlacedRowOrder) {
  struct Case {
    int Height;
    std::vector<int> Order;  // rows in the order the data delivers them
  };
  const Case cases[] = {
      {1, {0}},
      {2, {0, 1}},
      {3, {0, 2, 1}},
      {5, {0, 4, 2, 1, 3}},
      {10, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}},
      {17, {0, 8, 16, 4, 12, 2, 6, 10, 14, 1, 3, 5, 7, 9, 11, 13, 15}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("height " + std::to_string(c.Height));
    // Row k of the data holds the value k in both of its pixels.
    Bytes stream;
    for (int k = 0; k < c.Height; ++k) stream.insert(stream.end(), {uint8_t(k), uint8_t(k)});
    for (bool ref : {false, true}) {
      DecodeResult r = Decode(LiteralData(8, stream), 2, c.Height, true, 0xEE, ref);
      for (int k = 0; k < c.Height; ++k) {
        EXPECT_EQ(r.Pixels[size_t(c.Order[size_t(k)]) * 2], k) << "data row " << k;
        EXPECT_EQ(r.Pixels[size_t(c.Order[size_t(k)]) * 2 + 1], k) << "data row " << k;
      }
      EXPECT_TRUE(r.Warnings.empty()) << Join(r.Warnings);
    }
  }
}

TEST(LZWDecoder, CodeEndingOnLastBitOfSubBlock) {
  // Code size 2, sub-blocks of 3 bytes: clear, 1, 2, 3 take 3 bits each (12),
  // then the width is 4, so the seventh code ends on bit 24, the last bit of
  // the first sub-block. The next sub-block carries on.
  CodeStream cs(2, 3);
  cs.Clear();
  for (int p : {1, 2, 3, 0, 1, 2}) cs.Code(p);
  ASSERT_EQ(cs.BitsWritten(), 24u);
  for (int p : {3, 3, 0, 1}) cs.Code(p);
  cs.End();
  const Bytes data = cs.Finish();
  ASSERT_EQ(data[1], 3);
  for (bool ref : {false, true}) {
    DecodeResult r = Decode(data, 10, 1, false, 9, ref);
    EXPECT_EQ(r.Pixels, (Bytes{1, 2, 3, 0, 1, 2, 3, 3, 0, 1}));
    EXPECT_TRUE(r.Warnings.empty()) << Join(r.Warnings);
    EXPECT_EQ(r.Position, int64_t(data.size()));
  }
}

TEST(LZWDecoder, AnySubBlockSizeGivesTheSamePixels) {
  // Codes of up to 12 bits over sub-blocks of 1 byte span three sub-blocks.
  std::mt19937 rng(7);
  for (int bpp : {1, 4, 8}) {
    const Bytes px = RandomPixels(rng, 64 * 48, 1 << bpp, 0.6);
    const Bytes data = FirstImageData(GiflibFile({px}, 64, 48, bpp, false));
    for (int bs : {1, 2, 3, 4, 5, 7, 254, 255}) {
      SCOPED_TRACE("bpp " + std::to_string(bpp) + " block " + std::to_string(bs));
      const Bytes re = Reblock(data, bs);
      for (bool ref : {false, true}) {
        DecodeResult r = Decode(re, 64, 48, false, 0, ref);
        EXPECT_EQ(r.Pixels, px);
        EXPECT_TRUE(r.Warnings.empty()) << Join(r.Warnings);
        EXPECT_EQ(r.Position, int64_t(re.size()));
      }
    }
  }
}

TEST(LZWDecoder, EndCodeAfterHalfThePixelsLeavesTheFill) {
  const Bytes half{1, 2, 3, 1, 2};
  const Bytes data = LiteralData(2, half);
  DecodeResult r = Decode(data, 5, 2, false, 0xAA);
  EXPECT_EQ(r.Pixels, (Bytes{1, 2, 3, 1, 2, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA}));
  EXPECT_TRUE(r.Error.empty());
  EXPECT_TRUE(r.Warnings.empty()) << Join(r.Warnings);
  EXPECT_EQ(r.Position, int64_t(data.size()));
}

TEST(LZWDecoder, StreamCutInsideASubBlock) {
  std::mt19937 rng(3);
  const Bytes px = RandomPixels(rng, 40 * 40, 16, 0.5);
  Bytes data = FirstImageData(GiflibFile({px}, 40, 40, 4, false));
  data.resize(data.size() / 2);
  DecodeResult r = Decode(data, 40, 40, false, 0xAA);
  EXPECT_TRUE(r.Error.empty());
  EXPECT_EQ(Join(r.Warnings), "[" + std::string(gifmsg::OutOfData) + "]");
  size_t k = 0;
  while (k < px.size() && r.Pixels[k] == px[k]) ++k;
  EXPECT_GT(k, px.size() / 4) << "the first part is decoded";
  for (size_t i = k; i < px.size(); ++i) ASSERT_EQ(r.Pixels[i], 0xAA) << "pixel " << i << " after the cut";
}

TEST(LZWDecoder, TruncationAtEveryByteKeepsADecodedPrefix) {
  std::mt19937 rng(11);
  const Bytes px = RandomPixels(rng, 30 * 20, 4, 0.7);
  const Bytes full = Reblock(FirstImageData(GiflibFile({px}, 30, 20, 2, false)), 17);
  for (size_t cut = 0; cut < full.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    const Bytes part(full.begin(), full.begin() + static_cast<long>(cut));
    DecodeResult fast = Decode(part, 30, 20, false, 0xAA);
    ExpectSame(fast, Decode(part, 30, 20, false, 0xAA, true));
    ASSERT_TRUE(fast.Error.empty()) << fast.Error;
    size_t k = 0;
    while (k < px.size() && fast.Pixels[k] == px[k]) ++k;
    for (size_t i = k; i < px.size(); ++i) ASSERT_EQ(fast.Pixels[i], 0xAA) << "pixel " << i;
    EXPECT_EQ(fast.Position, int64_t(cut));
  }
}

TEST(LZWDecoder, CodeAboveFreeSlotActsAsTheFreeSlot) {
  // Code size 2: the free slot is 6; code 7 decodes as "previous string plus
  // its first pixel", here 1 1.
  CodeStream cs(2);
  cs.Clear();
  cs.Code(1);
  cs.Code(7);
  cs.Code(0);
  cs.Code(2);
  cs.End();
  for (bool ref : {false, true}) {
    DecodeResult r = Decode(cs.Finish(), 5, 1, false, 9, ref);
    EXPECT_EQ(r.Pixels, (Bytes{1, 1, 1, 0, 2}));
    EXPECT_TRUE(r.Error.empty()) << r.Error;
  }
}

TEST(LZWDecoder, EndCodeRightAfterClear) {
  // A clear directly followed by the end code, as the run-length coder ends
  // when its clear limit falls on its last code: all pixels are decoded and
  // the terminator is consumed.
  CodeStream cs(2);
  cs.Clear();
  cs.Code(0);
  cs.Code(6);  // 0 0
  cs.Code(7);  // 0 0 0
  cs.Clear();
  cs.End();
  const Bytes data = cs.Finish();
  for (bool ref : {false, true}) {
    DecodeResult r = Decode(data, 6, 1, false, 9, ref);
    EXPECT_EQ(r.Pixels, Bytes(6, 0));
    EXPECT_TRUE(r.Warnings.empty()) << Join(r.Warnings);
    EXPECT_EQ(r.Position, int64_t(data.size()));
    // With more pixels in the frame the same data stops at the end code.
    DecodeResult longer = Decode(data, 8, 1, false, 9, ref);
    EXPECT_EQ(longer.Pixels, (Bytes{0, 0, 0, 0, 0, 0, 9, 9}));
    EXPECT_EQ(longer.Position, int64_t(data.size()));
  }
}

TEST(LZWDecoder, CircularTablesRaise) {
  struct Case {
    const char* Name;
    std::vector<std::pair<int, int>> Codes;  // (code, width), clear first
  };
  // Self reference: 7 after the first pixel makes the previous code 7, so
  // slot 7 is then defined with prefix 7.
  // Two-entry loop: 7 as the first code after a clear, then 6 defines slot 6
  // with prefix 7, then 1 defines slot 7 with prefix 6.
  const Case cases[] = {
      {"self", {{4, 3}, {0, 3}, {7, 3}, {1, 3}, {7, 4}, {5, 4}}},
      {"loop of two", {{4, 3}, {7, 3}, {6, 3}, {1, 3}, {7, 4}, {5, 4}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    CodeStream cs(2);
    for (auto [code, width] : c.Codes) cs.Raw(code, width);
    for (bool ref : {false, true}) {
      DecodeResult r = Decode(cs.Finish(), 16, 1, false, 0, ref);
      EXPECT_EQ(r.Error, gifmsg::DecodeCircular);
    }
  }
}

TEST(LZWDecoder, CodeSizeAboveElevenIsRefusedWithAWarning) {
  for (int size : {12, 13, 200, 255}) {
    SCOPED_TRACE(size);
    // code size | sub-block of 2 bytes | terminator | next block
    const Bytes data{uint8_t(size), 0x02, 0xAB, 0xCD, 0x00, 0x3B};
    DecodeResult r = Decode(data, 3, 3, false, 4);
    EXPECT_EQ(r.Pixels, Bytes(9, 4));
    EXPECT_EQ(Join(r.Warnings), "[" + std::string(gifmsg::DecodeBadCodeSize) + "]");
    EXPECT_EQ(r.Position, 5) << "stands at the next block";
  }
}

TEST(LZWDecoder, DamagedDataTable) {
  struct Case {
    const char* Name;
    Bytes Data;
    int Width;
    Bytes Want;
    std::vector<std::string> Warnings;
    int64_t Position;
  };
  // clear 1 1 1 1 at widths 3 3 3 3 4: exactly 16 bits, no end code.
  CodeStream exact(2);
  exact.Clear();
  for (int i = 0; i < 4; ++i) exact.Code(1);
  const Bytes exactData = exact.Finish();
  // clear 1 at 3 bits each: 6 of 8 bits used, no end code.
  CodeStream partial(2);
  partial.Clear();
  partial.Code(1);
  const Bytes partialData = partial.Finish();
  const std::string U = gifmsg::DecodeUnderrun, P = gifmsg::OutOfData;
  const Case cases[] = {
      {"no code-size byte", {}, 3, {7, 7, 7}, {}, 0},
      {"code size then nothing", {0x02}, 3, {7, 7, 7}, {}, 1},
      {"terminator only", {0x02, 0x00}, 3, {7, 7, 7}, {}, 2},
      {"all bits used, no end code", exactData, 6, {1, 1, 1, 1, 7, 7}, {U}, int64_t(exactData.size())},
      {"all bits used, frame full", exactData, 4, {1, 1, 1, 1}, {U}, int64_t(exactData.size())},
      {"part of a code left", partialData, 3, {1, 7, 7}, {}, int64_t(partialData.size())},
      {"sub-block longer than the stream", {0x02, 0xC8, 0x44, 0x01}, 3, {0, 7, 7}, {P}, 4},
      {"stream ends at a length byte", {0x02, 0x01, 0x0C}, 3, {1, 7, 7}, {}, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    for (bool ref : {false, true}) {
      DecodeResult r = Decode(c.Data, c.Width, 1, false, 7, ref);
      EXPECT_EQ(r.Pixels, c.Want);
      EXPECT_EQ(Join(r.Warnings), Join(c.Warnings));
      EXPECT_EQ(r.Position, c.Position);
      EXPECT_TRUE(r.Error.empty()) << r.Error;
    }
  }
}

TEST(LZWDecoder, SurplusPixelsAreSkippedToTheTerminator) {
  // Data for 6 pixels in a 2-pixel frame, followed by the next block.
  Bytes data = LiteralData(2, {1, 2, 3, 1, 2, 3});
  const int64_t end = int64_t(data.size());
  data.push_back(0x3B);
  for (bool ref : {false, true}) {
    DecodeResult r = Decode(data, 2, 1, false, 0, ref);
    EXPECT_EQ(r.Pixels, (Bytes{1, 2}));
    EXPECT_EQ(r.Position, end);
    EXPECT_TRUE(r.Warnings.empty()) << Join(r.Warnings);
  }
}

TEST(LZWDecoder, MatchesGiflibForEveryDepthAndOrder) {
  std::mt19937 rng(2024);
  for (int bpp = 1; bpp <= 8; ++bpp)
    for (bool interlaced : {false, true})
      for (double runs : {0.0, 0.9}) {
        const int w = 1 + int(rng() % 97), h = 1 + int(rng() % 61);
        SCOPED_TRACE("bpp " + std::to_string(bpp) + (interlaced ? " interlaced " : " ") + std::to_string(w) + "x" +
                     std::to_string(h) + " runs " + std::to_string(runs));
        const Bytes px = RandomPixels(rng, size_t(w) * h, 1 << bpp, runs);
        const Bytes data = FirstImageData(GiflibFile({px}, w, h, bpp, interlaced));
        DecodeResult fast = Decode(data, w, h, interlaced, 0xFF);
        EXPECT_EQ(fast.Pixels, px);
        EXPECT_TRUE(fast.Warnings.empty()) << Join(fast.Warnings);
        EXPECT_EQ(fast.Position, int64_t(data.size()));
        ExpectSame(fast, Decode(data, w, h, interlaced, 0xFF, true));
      }
}

TEST(LZWDecoder, LongRunsAndFullTables) {
  // Large flat areas make strings thousands of pixels long and fill the table
  // up to 4095 without a clear.
  std::mt19937 rng(5);
  const int w = 757, h = 90;
  Bytes px(size_t(w) * h, 3);
  for (int y = 30; y < 60; ++y)
    for (int x = 100; x < 600; x += 7) px[size_t(y) * w + size_t(x)] = uint8_t(rng() % 2 ? 1 : 2);
  const Bytes data = FirstImageData(GiflibFile({px}, w, h, 2, false));
  DecodeResult r = Decode(data, w, h);
  EXPECT_EQ(r.Pixels, px);
  ExpectSame(r, Decode(data, w, h, false, 0, true));
  // Literal codes alone fill the table; the width stays at 12 bits.
  const Bytes noise = RandomPixels(rng, 9000, 256);
  DecodeResult lit = Decode(LiteralData(8, noise), 9000, 1);
  EXPECT_EQ(lit.Pixels, noise);
}

TEST(LZWDecoder, FastPathAgreesWithTableWalkOnRandomCodes) {
  // Arbitrary code sequences: codes beyond the free slot, clears anywhere,
  // first codes after a clear that are not pixels, odd sub-block sizes, cuts.
  std::mt19937 rng(99);
  for (int iter = 0; iter < 3000; ++iter) {
    const int size = int(rng() % 12);
    CodeStream cs(size, 1 + int(rng() % 255));
    const int n = int(rng() % 400);
    const int anomaly = int(rng() % 4);
    for (int i = 0; i < n; ++i) {
      const int roll = int(rng() % 100);
      if (roll < 2) {
        cs.Clear();
      } else if (roll < 2 + anomaly) {
        cs.Code(int(rng() % (1u << cs.Width())));
      } else {
        // A valid code: a pixel or a slot already defined (or the next one).
        const int hi = std::max(cs.FreeSlot(), cs.ClearCode() + 2);
        int c = int(rng() % uint32_t(hi + 1));
        if (c == cs.ClearCode() || c == cs.EndCode()) c = int(rng() % uint32_t(cs.ClearCode()));
        if (c >= (1 << cs.Width())) c = 0;
        cs.Code(c);
      }
    }
    if (rng() % 2) cs.End();
    Bytes data = cs.Finish(rng() % 8 != 0);
    if (rng() % 4 == 0 && !data.empty()) data.resize(rng() % data.size());
    const int w = 1 + int(rng() % 40), h = 1 + int(rng() % 20);
    const bool il = rng() % 3 == 0;
    SCOPED_TRACE("iteration " + std::to_string(iter));
    ExpectSame(Decode(data, w, h, il, 0x5A), Decode(data, w, h, il, 0x5A, true));
    if (HasFailure()) break;
  }
}

TEST(LZWDecoder, MutatedDataNeverCrashesAndPathsAgree) {
  std::mt19937 rng(1234);
  const Bytes px = RandomPixels(rng, 50 * 30, 256, 0.8);
  const Bytes data = FirstImageData(GiflibFile({px}, 50, 30, 8, false));
  for (int iter = 0; iter < 2000; ++iter) {
    Bytes m = data;
    const int flips = 1 + int(rng() % 4);
    for (int i = 0; i < flips; ++i) m[1 + rng() % (m.size() - 1)] ^= uint8_t(1u << (rng() % 8));
    SCOPED_TRACE("iteration " + std::to_string(iter));
    ExpectSame(Decode(m, 50, 30, false, 0), Decode(m, 50, 30, false, 0, true));
    if (HasFailure()) break;
  }
}
