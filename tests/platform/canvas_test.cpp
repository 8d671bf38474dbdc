// TCanvas drawing without text: fills, lines with wide pens, pixels, Draw.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Graphics.h"

namespace {

// Rows of a bitmap as text: '#' where the pixel is `ink`, '.' elsewhere.
std::vector<std::string> Picture(const TBitmap& b, TColor ink) {
  std::vector<std::string> rows;
  for (int y = 0; y < b.Height(); ++y) {
    std::string r;
    for (int x = 0; x < b.Width(); ++x) r += b.GetPixelColor(x, y) == ink ? '#' : '.';
    rows.push_back(r);
  }
  return rows;
}

TBitmap White(int w, int h, TPixelFormat pf = pf24bit) {
  TBitmap b(w, h, pf);
  b.Canvas().Brush().SetColor(clWhite);
  b.Canvas().FillRect(Rect(0, 0, w, h));
  return b;
}

TEST(Canvas, FillRectExcludesRightAndBottomAndClips) {
  TBitmap b = White(6, 4);
  TCanvas& c = b.Canvas();
  c.Brush().SetColor(clRed);
  c.FillRect(Rect(1, 1, 3, 3));
  c.FillRect(Rect(4, -5, 100, 1));  // clipped
  c.FillRect(Rect(3, 3, 2, 4));     // inverted: nothing
  EXPECT_EQ(Picture(b, clRed), (std::vector<std::string>{"....##", ".##...", ".##...", "......"}));
  c.Brush().SetStyle(bsClear);
  c.FillRect(Rect(0, 0, 6, 4));
  EXPECT_EQ(b.GetPixelColor(0, 3), clWhite) << "a clear brush fills nothing";
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(clBtnFace);  // system colours resolve
  c.FillRect(Rect(0, 3, 1, 4));
  EXPECT_EQ(b.GetPixelColor(0, 3), RGBColor(192, 192, 192));
}

TEST(Canvas, WidePenCoversRowsCentredOnTheLine) {
  struct Case {
    int width;
    std::vector<std::string> want;
  } cases[] = {
      {1, {"......", "......", "......", "######", "......", "......", "......"}},
      {2, {"......", "......", "######", "######", "......", "......", "......"}},
      {3, {"......", "......", "######", "######", "######", "......", "......"}},
      {4, {"......", "######", "######", "######", "######", "......", "......"}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.width);
    TBitmap b = White(6, 7);
    b.Canvas().Pen().SetColor(clBlue);
    b.Canvas().Pen().SetWidth(k.width);
    b.Canvas().MoveTo(0, 3);
    b.Canvas().LineTo(6, 3);  // across the whole width, as the fold's hinge
    EXPECT_EQ(Picture(b, clBlue), k.want);
    EXPECT_EQ(b.Canvas().PenPos(), Point(6, 3));
  }
}

TEST(Canvas, LinesLeaveOutTheirEndPoint) {
  TBitmap b = White(5, 5);
  TCanvas& c = b.Canvas();
  c.Pen().SetColor(clBlack);
  c.MoveTo(0, 0);
  c.LineTo(4, 4);  // diagonal: (4, 4) not drawn
  EXPECT_EQ(Picture(b, clBlack), (std::vector<std::string>{"#....", ".#...", "..#..", "...#.", "....."}));
  b = White(5, 5);
  b.Canvas().Pen().SetColor(clBlack);
  b.Canvas().MoveTo(4, 1);
  b.Canvas().LineTo(1, 1);  // leftwards: from 4 down to 2
  b.Canvas().LineTo(1, 4);  // then down: rows 1 to 3
  EXPECT_EQ(Picture(b, clBlack), (std::vector<std::string>{".....", ".####", ".#...", ".#...", "....."}));
  b = White(5, 5);
  b.Canvas().Pen().SetColor(clBlack);
  b.Canvas().Pen().SetWidth(3);
  b.Canvas().MoveTo(2, -10);
  b.Canvas().LineTo(2, 100);  // vertical wide line, clipped
  EXPECT_EQ(Picture(b, clBlack), std::vector<std::string>(5, ".###."));
}

TEST(Canvas, PixelsOutsideReadInvalidAndWritesAreIgnored) {
  TBitmap b = White(3, 2);
  TCanvas& c = b.Canvas();
  EXPECT_EQ(c.Pixels(-1, 0), -1);
  EXPECT_EQ(c.Pixels(3, 0), -1);
  EXPECT_EQ(c.Pixels(0, 2), -1);
  c.SetPixel(3, 0, clBlack);
  c.SetPixel(-1, -1, clBlack);
  c.SetPixel(2, 1, clWindowText);
  EXPECT_EQ(c.Pixels(2, 1), clBlack);
  EXPECT_EQ(c.Pixels(0, 0), clWhite);
}

TEST(Canvas, IndexedBitmapsTakeTheNearestPaletteEntry) {
  TBitmap b(2, 1, pf8bit);
  b.SetPalette({{0, 0, 0, 0}, {250, 10, 10, 0}, {10, 10, 250, 0}});
  b.Canvas().Brush().SetColor(clRed);
  b.Canvas().FillRect(Rect(0, 0, 1, 1));
  b.Canvas().SetPixel(1, 0, clNavy);
  EXPECT_EQ(b.ScanLine(0)[0], 1);
  EXPECT_EQ(b.ScanLine(0)[1], 2);
  TBitmap m(9, 1, pf1bit);
  m.Canvas().Brush().SetColor(clWhite);
  m.Canvas().FillRect(Rect(1, 0, 9, 1));
  EXPECT_EQ(m.ScanLine(0)[0], 0x7F);
  EXPECT_EQ(m.ScanLine(0)[1], 0x80);
}

TEST(Canvas, DrawCopiesTheWholeGraphicClipped) {
  TBitmap g(2, 2, pf24bit);
  g.Canvas().Brush().SetColor(clLime);
  g.Canvas().FillRect(Rect(0, 0, 2, 2));
  TBitmap b = White(4, 3);
  b.Canvas().Draw(3, 2, g);
  b.Canvas().Draw(-1, -1, g);
  EXPECT_EQ(Picture(b, clLime), (std::vector<std::string>{"#...", "....", "...#"}));
  TBitmap s = White(4, 4);
  s.Canvas().StretchDraw(Rect(0, 0, 4, 2), g);
  EXPECT_EQ(Picture(s, clLime), (std::vector<std::string>{"####", "####", "....", "...."}));
}

TEST(Canvas, RectangleOutlineInPenInsideInBrush) {
  TBitmap b = White(5, 4);
  TCanvas& c = b.Canvas();
  c.Pen().SetColor(clBlack);
  c.Brush().SetColor(clRed);
  c.Rectangle(0, 0, 5, 4);
  EXPECT_EQ(Picture(b, clBlack), (std::vector<std::string>{"#####", "#...#", "#...#", "#####"}));
  EXPECT_EQ(Picture(b, clRed), (std::vector<std::string>{".....", ".###.", ".###.", "....."}));
}

TEST(Palettes, LogicalPaletteAndPlatformPalettes) {
  TPalette p({{1, 2, 3, PC_NOCOLLAPSE}, {200, 200, 200, 0}});
  EXPECT_EQ(p.Version(), 0x300);
  EXPECT_EQ(p.Count(), 2);
  EXPECT_EQ(p[0].peFlags, PC_NOCOLLAPSE);
  EXPECT_EQ(p.NearestIndex(clWhite), 1);
  EXPECT_EQ(p.NearestIndex(clBlack), 0);
  EXPECT_EQ(TPalette().NearestIndex(clBlack), -1);
  EXPECT_THROW(TPalette(std::vector<TPaletteEntry>(257)), EInvalidGraphic);
  ASSERT_EQ(PlatformSystemPalette().Count(), 20);
  EXPECT_EQ(PlatformSystemPalette()[0], (TPaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ(PlatformSystemPalette()[19], (TPaletteEntry{255, 255, 255, 0}));
  const TPalette& h = PlatformHalftonePalette();
  ASSERT_EQ(h.Count(), 256);
  // Statics at both ends, every cube colour present.
  for (int i = 0; i < 10; ++i) EXPECT_EQ(h[i], PlatformSystemPalette()[i]);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(h[246 + i], PlatformSystemPalette()[10 + i]);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b) {
        const TColor c = RGBColor(static_cast<uint8_t>(r * 51), static_cast<uint8_t>(g * 51), static_cast<uint8_t>(b * 51));
        const auto& e = h[h.NearestIndex(c)];
        EXPECT_EQ(RGBColor(e.peRed, e.peGreen, e.peBlue), c);
      }
}

}  // namespace
