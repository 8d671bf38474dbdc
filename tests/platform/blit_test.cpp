// BitBlt and StretchBlt: clipping at both bitmaps' edges, nearest row and
// column sampling, overlapping copies, and copies between formats.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/Graphics.h"

namespace {

constexpr TColor kUntouched = 0x00ABCDEF;

// Pixel (x, y) of a source gets colour x + 256 * y + 0x010000 * tag.
TBitmap Source(int w, int h, TPixelFormat pf = pf24bit, int tag = 1) {
  TBitmap b(w, h, pf);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixelColor(x, y, x + 256 * y + 0x010000 * tag);
  return b;
}

TBitmap Target(int w, int h, TPixelFormat pf = pf24bit) {
  TBitmap b(w, h, pf);
  b.Canvas().Brush().SetColor(kUntouched);
  b.Canvas().FillRect(Rect(0, 0, w, h));
  return b;
}

// Source row each target row shows: -1 untouched; taken from column 0.
std::vector<int> RowsOf(const TBitmap& b, int x = 0) {
  std::vector<int> rows;
  for (int y = 0; y < b.Height(); ++y) {
    const TColor c = b.GetPixelColor(x, y);
    rows.push_back(c == kUntouched ? -1 : (c >> 8) & 0xFF);
  }
  return rows;
}

std::vector<int> ColumnsOf(const TBitmap& b, int y = 0) {
  std::vector<int> cols;
  for (int x = 0; x < b.Width(); ++x) {
    const TColor c = b.GetPixelColor(x, y);
    cols.push_back(c == kUntouched ? -1 : c & 0xFF);
  }
  return cols;
}

// Every target pixel either shows the source pixel the 1:1 rule gives or is
// untouched.
void ExpectBlit(const TBitmap& dst, const TBitmap& src, int x, int y, int w, int h, int sx, int sy,
                TColor untouched) {
  for (int Y = 0; Y < dst.Height(); ++Y)
    for (int X = 0; X < dst.Width(); ++X) {
      const int u = X - x + sx, v = Y - y + sy;
      const bool inBlock = X >= x && X < x + w && Y >= y && Y < y + h;
      const bool inSource = u >= 0 && u < src.Width() && v >= 0 && v < src.Height();
      const TColor want = inBlock && inSource ? src.GetPixelColor(u, v) : untouched;
      ASSERT_EQ(dst.GetPixelColor(X, Y), want) << "target pixel (" << X << ", " << Y << ")";
    }
}

TEST(BitBlt, ClipsAtBothBitmapsEdges) {
  struct Case {
    int x, y, w, h, sx, sy;
    bool copies;
  } cases[] = {
      {0, 0, 5, 4, 0, 0, true},      {3, 2, 5, 4, 0, 0, true},     // target's right/bottom edge
      {-2, -3, 5, 4, 0, 0, true},    {2, 1, 5, 4, -2, -1, true},   // left/top edges of both
      {1, 1, 10, 10, 2, 1, true},    {0, 0, 5, 4, 4, 3, true},     // source edges
      {6, 0, 5, 4, 0, 0, false},     {0, 5, 5, 4, 0, 0, false},    // wholly outside the target
      {0, 0, 5, 4, 5, 0, false},     {0, 0, 5, 4, -5, 0, false},   // wholly outside the source
      {0, 0, 0, 4, 0, 0, false},     {0, 0, 5, -1, 0, 0, false},   // empty block
  };
  for (TPixelFormat pf : {pf24bit, pf32bit, pf8bit}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << "pf " << pf << " block (" << c.x << ", " << c.y << ", " << c.w << ", "
                                      << c.h << ") from (" << c.sx << ", " << c.sy << ")");
      // Source and target of the same format, so the fast path is used.
      TBitmap src = Source(5, 4, pf24bit);
      TBitmap dst = Target(6, 5, pf24bit);
      if (pf != pf24bit) {
        src.SetPixelFormat(pf);
        dst.SetPixelFormat(pf);
      }
      const TColor untouched = dst.GetPixelColor(0, 0);
      EXPECT_EQ(BitBlt(dst, c.x, c.y, c.w, c.h, src, c.sx, c.sy), c.copies);
      ExpectBlit(dst, src, c.x, c.y, c.w, c.h, c.sx, c.sy, untouched);
    }
  }
}

// What colour c becomes when stored in a bitmap like `like` (same format and
// palette).
TColor AsStored(const TBitmap& like, TColor c) {
  TBitmap one(1, 1, like.PixelFormat());
  one.SetPalette(like.Palette());
  one.SetPixelColor(0, 0, c);
  return one.GetPixelColor(0, 0);
}

TEST(BitBlt, RandomBlocksAcrossFormatsAgreeWithTheRule) {
  std::mt19937 rng(11);
  const TPixelFormat formats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfDevice};
  for (int round = 0; round < 400; ++round) {
    const TPixelFormat sf = formats[rng() % 8], df = formats[rng() % 8];
    TBitmap src = Source(9, 7, pf24bit, static_cast<int>(rng() % 200));
    src.SetPixelFormat(sf);
    TBitmap dst = Target(8, 6);
    dst.SetPixelFormat(df);
    const TBitmap before = dst;
    const int x = static_cast<int>(rng() % 14) - 4, y = static_cast<int>(rng() % 12) - 4;
    const int w = static_cast<int>(rng() % 12), h = static_cast<int>(rng() % 10);
    const int sx = static_cast<int>(rng() % 14) - 3, sy = static_cast<int>(rng() % 12) - 3;
    SCOPED_TRACE(testing::Message() << "round " << round << ": format " << sf << " -> " << df << ", block ("
                                    << x << ", " << y << ", " << w << ", " << h << ") from (" << sx << ", " << sy
                                    << ")");
    BitBlt(dst, x, y, w, h, src, sx, sy);
    for (int Y = 0; Y < 6; ++Y)
      for (int X = 0; X < 8; ++X) {
        const int u = X - x + sx, v = Y - y + sy;
        const bool copied = X >= x && X < x + w && Y >= y && Y < y + h && u >= 0 && u < 9 && v >= 0 && v < 7;
        const TColor want = copied ? AsStored(dst, src.GetPixelColor(u, v)) : before.GetPixelColor(X, Y);
        ASSERT_EQ(dst.GetPixelColor(X, Y), want) << "(" << X << ", " << Y << ")";
      }
  }
}

TEST(BitBlt, OverlappingCopyWithinOneBitmap) {
  for (TPixelFormat pf : {pf24bit, pf4bit}) {
    SCOPED_TRACE(pf);
    TBitmap b = Source(6, 5);
    b.SetPixelFormat(pf);
    const TBitmap before = b;
    // Scroll down and right by one: each pixel takes its old upper-left neighbour.
    BitBlt(b, 1, 1, 5, 4, b, 0, 0);
    for (int y = 1; y < 5; ++y)
      for (int x = 1; x < 6; ++x) ASSERT_EQ(b.GetPixelColor(x, y), before.GetPixelColor(x - 1, y - 1));
    // And back up-left.
    BitBlt(b, 0, 0, 5, 4, b, 1, 1);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) ASSERT_EQ(b.GetPixelColor(x, y), before.GetPixelColor(x, y));
  }
}

TEST(StretchBlt, NearestRowMapping) {
  struct Case {
    int srcRows, dstRows;
    std::vector<int> rows;
  } cases[] = {
      {4, 8, {0, 0, 1, 1, 2, 2, 3, 3}},
      {8, 4, {0, 2, 4, 6}},  // integer shrink keeps rows 0, f, 2f ...
      {8, 3, {1, 3, 6}},     // row under each target row's centre, the upper one on a tie
      {3, 7, {0, 0, 1, 1, 1, 2, 2}},
      {45, 1, {22}},
      {45, 45, {}},  // 1:1 (filled in below)
      {1, 5, {0, 0, 0, 0, 0}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.srcRows << " rows onto " << c.dstRows);
    if (c.rows.empty())
      for (int i = 0; i < c.dstRows; ++i) c.rows.push_back(i);
    const TBitmap src = Source(2, c.srcRows);
    TBitmap dst = Target(2, c.dstRows);
    EXPECT_TRUE(StretchBlt(dst, 0, 0, 2, c.dstRows, src, 0, 0, 2, c.srcRows));
    EXPECT_EQ(RowsOf(dst), c.rows);
  }
}

TEST(StretchBlt, NearestColumnMappingAndMirroring) {
  const TBitmap src = Source(4, 1);
  TBitmap dst = Target(8, 1);
  StretchBlt(dst, 0, 0, 8, 1, src, 0, 0, 4, 1);
  EXPECT_EQ(ColumnsOf(dst), (std::vector<int>{0, 0, 1, 1, 2, 2, 3, 3}));
  dst = Target(8, 1);
  StretchBlt(dst, 8, 0, -8, 1, src, 0, 0, 4, 1);  // negative width mirrors
  EXPECT_EQ(ColumnsOf(dst), (std::vector<int>{3, 3, 2, 2, 1, 1, 0, 0}));
  dst = Target(8, 1);
  StretchBlt(dst, 0, 0, 4, 1, src, 4, 0, -4, 1);  // mirrored source
  EXPECT_EQ(ColumnsOf(dst), (std::vector<int>{3, 2, 1, 0, -1, -1, -1, -1}));
}

TEST(StretchBlt, ClippingDoesNotShiftTheSampling) {
  // Target block starts 3 rows above the bitmap: visible rows are targets
  // 3..7 of the unclipped 4 -> 8 mapping.
  const TBitmap src = Source(2, 4);
  TBitmap dst = Target(2, 6);
  EXPECT_TRUE(StretchBlt(dst, 0, -3, 2, 8, src, 0, 0, 2, 4));
  EXPECT_EQ(RowsOf(dst), (std::vector<int>{1, 2, 2, 3, 3, -1}));
  // Target block runs past the bottom edge.
  dst = Target(2, 6);
  EXPECT_TRUE(StretchBlt(dst, 0, 3, 2, 8, src, 0, 0, 2, 4));
  EXPECT_EQ(RowsOf(dst), (std::vector<int>{-1, -1, -1, 0, 0, 1}));
  // Source block starts above the source: those target rows stay untouched.
  dst = Target(2, 8);
  EXPECT_TRUE(StretchBlt(dst, 0, 0, 2, 8, src, 0, -2, 2, 4));
  EXPECT_EQ(RowsOf(dst), (std::vector<int>{-1, -1, -1, -1, 0, 0, 1, 1}));
  // Source block below the source entirely, or an empty block: nothing.
  dst = Target(2, 4);
  EXPECT_FALSE(StretchBlt(dst, 0, 0, 2, 4, src, 0, 4, 2, 4));
  EXPECT_FALSE(StretchBlt(dst, 0, 0, 2, 0, src, 0, 0, 2, 4));
  EXPECT_FALSE(StretchBlt(dst, 0, 0, 2, 4, src, 0, 0, 2, 0));
  EXPECT_EQ(RowsOf(dst), (std::vector<int>{-1, -1, -1, -1}));
}

TEST(StretchBlt, FoldBandsWriteOnlyTheirRowsInOrder) {
  // Squeezing a 45-row half onto d rows writes exactly rows 45-d .. 44, each
  // showing a source row at or below the previous one; d = 45 is the 1:1 copy.
  const TBitmap src = Source(3, 90);
  for (int d : {0, 1, 14, 26, 36, 43, 44, 45}) {
    SCOPED_TRACE(d);
    TBitmap dst = Target(3, 90);
    EXPECT_EQ(StretchBlt(dst, 0, 45 - d, 3, d, src, 0, 0, 3, 45), d > 0);
    const auto rows = RowsOf(dst);
    int last = -1;
    for (int y = 0; y < 90; ++y) {
      const int r = rows[static_cast<size_t>(y)];
      if (y < 45 - d || y >= 45) {
        ASSERT_EQ(r, -1) << "row " << y << " lies outside the band";
      } else {
        ASSERT_GE(r, last) << "row " << y;
        ASSERT_LT(r, 45) << "row " << y;
        if (d == 45) {
          ASSERT_EQ(r, y) << "row " << y;
        }
        last = r;
      }
    }
    if (d == 44) {
      EXPECT_EQ(rows[1], 0);  // 45 -> 44 drops a single middle row
    }
  }
}

TEST(StretchBlt, OneToOneEqualsBitBltAndConvertsFormats) {
  TBitmap src = Source(7, 5);
  src.SetPixelFormat(pf8bit);
  TBitmap a = Target(9, 6, pf32bit), b = Target(9, 6, pf32bit);
  StretchBlt(a, 1, 2, 7, 5, src, 0, 0, 7, 5);
  BitBlt(b, 1, 2, 7, 5, src, 0, 0);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 9; ++x) ASSERT_EQ(a.GetPixelColor(x, y), b.GetPixelColor(x, y));
  EXPECT_EQ(a.GetPixelColor(1, 2), src.GetPixelColor(0, 0));
  // A real stretch from 8 bits into 24 bits goes through the palette.
  TBitmap c = Target(14, 5);
  StretchBlt(c, 0, 0, 14, 5, src, 0, 0, 7, 5);
  EXPECT_EQ(c.GetPixelColor(13, 4), src.GetPixelColor(6, 4));
}

}  // namespace
