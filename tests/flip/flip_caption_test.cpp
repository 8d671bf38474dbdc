// The caption image (ArrivingImage): fill, background picture, text placement
// and hinge line. Text is checked by measured properties (which rows and
// columns carry ink, images that must equal each other shifted), never by
// pixel hashes. The face is pinned to Liberation Sans.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "FlipTestKit.h"

namespace {

constexpr int kW = 200;
constexpr int kH = 90;

struct CaptionFixture : ::testing::Test {
  LoopScope Scope;
  TProbeLabel Label;

  void SetUp() override {
    Label.SetAutoAnimate(false);
    Label.SetBounds(0, 0, kW, kH);
    Label.Font().SetName("Liberation Sans");
    Label.Font().SetHeight(-40);
    Label.Font().SetColor(clWhite);
    Label.SetColor(clBlack);
    Label.SetHingeSize(0);
    Label.SetCaption("x");
    Scope.Loop.AdvanceTime(0);
  }

  // Shows caption and returns the caption image.
  TBitmap Render(const std::string& caption) {
    Label.SetCaption(caption);
    Scope.Loop.AdvanceTime(0);
    return Label.ArrivingImage();
  }
  TBitmap Repaint() {
    Label.Invalidate();
    Scope.Loop.AdvanceTime(0);
    return Label.ArrivingImage();
  }
};

TRect InkBox(const TBitmap& bm, TColor back) {
  const std::vector<int> rows = InkedRows(bm, back);
  const std::vector<int> cols = InkedColumns(bm, back);
  if (rows.empty()) return TRect{};
  return TRect{cols.front(), rows.front(), cols.back() + 1, rows.back() + 1};
}

std::string Str(const TRect& r) {
  return std::to_string(r.Left) + "," + std::to_string(r.Top) + "-" + std::to_string(r.Right) + "," +
         std::to_string(r.Bottom);
}

// Rows y of `moved` equal rows y - dy of `base` wherever both exist.
std::string ShiftDiff(const TBitmap& base, const TBitmap& moved, int dx, int dy) {
  for (int y = 0; y < moved.Height(); ++y) {
    const int sy = y - dy;
    if (sy < 0 || sy >= base.Height()) continue;
    for (int x = 0; x < moved.Width(); ++x) {
      const int sx = x - dx;
      if (sx < 0 || sx >= base.Width()) continue;
      if (moved.GetPixelColor(x, y) != base.GetPixelColor(sx, sy))
        return "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
    }
  }
  return "";
}

bool RowIs(const TBitmap& bm, int y, TColor c) {
  for (int x = 0; x < bm.Width(); ++x)
    if (bm.GetPixelColor(x, y) != ColorToRGB(c)) return false;
  return true;
}

TEST_F(CaptionFixture, HingeLineWidths) {
  struct Case {
    int Height, Size;
    std::vector<int> Rows;
  };
  // A 3-pixel pen is centred on the hinge row, also with an odd height.
  const Case cases[] = {{90, 0, {}},         {90, 1, {45}},  {90, 3, {44, 45, 46}},
                        {91, 3, {44, 45, 46}}, {90, -2, {}}, {17, 2, {7, 8}}};
  Label.SetColor(clWindow);
  Label.SetHingeColor(clRed);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "height " << c.Height << " size " << c.Size);
    Label.SetBounds(0, 0, kW, c.Height);
    Label.SetHingeSize(c.Size);
    const TBitmap img = Render("h" + std::to_string(c.Height) + "s" + std::to_string(c.Size) + "\t");
    for (int y = 0; y < c.Height; ++y) {
      const bool hinge = std::find(c.Rows.begin(), c.Rows.end(), y) != c.Rows.end();
      // The hinge is drawn over the text, across the whole width.
      if (hinge) {
        EXPECT_TRUE(RowIs(img, y, clRed)) << "row " << y;
      } else {
        EXPECT_EQ(img.GetPixelColor(kW - 1, y), ColorToRGB(clWindow)) << "row " << y;
      }
    }
  }
}

TEST_F(CaptionFixture, EmptyCaptionStillGetsFillPictureAndHinge) {
  TBitmap pic(10, 10);
  pic.Canvas().Brush().SetColor(clLime);
  pic.Canvas().FillRect(Rect(0, 0, 10, 10));
  Label.Setpicture(&pic);
  Label.SetHingeSize(1);
  Label.SetHingeColor(clRed);
  Label.SetColor(clBlue);
  const TBitmap img = Render("");
  EXPECT_EQ(img.GetPixelColor(0, 0), clLime);
  EXPECT_EQ(img.GetPixelColor(9, 9), clLime);
  EXPECT_EQ(img.GetPixelColor(10, 0), clBlue);
  EXPECT_EQ(img.GetPixelColor(kW - 1, kH - 1), clBlue);
  EXPECT_TRUE(RowIs(img, 45, clRed));
  EXPECT_EQ(InkedRows(img, clBlue), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 45}));

  Label.SetStretch(true);
  const TBitmap stretched = Repaint();
  for (int y : {0, 44, 46, 89}) EXPECT_TRUE(RowIs(stretched, y, clLime)) << y;
  EXPECT_TRUE(RowIs(stretched, 45, clRed));
}

TEST_F(CaptionFixture, PictureStretchedOrCopiedFromItsCorner) {
  // Four differently coloured quarters of a 2 x 2 picture.
  TBitmap pic(2, 2);
  pic.SetPixelColor(0, 0, clRed);
  pic.SetPixelColor(1, 0, clLime);
  pic.SetPixelColor(0, 1, clBlue);
  pic.SetPixelColor(1, 1, clYellow);
  Label.Setpicture(&pic);
  Label.SetStretch(true);
  TBitmap img = Render("");
  EXPECT_EQ(img.GetPixelColor(0, 0), clRed);
  EXPECT_EQ(img.GetPixelColor(99, 44), clRed);
  EXPECT_EQ(img.GetPixelColor(100, 0), clLime);
  EXPECT_EQ(img.GetPixelColor(0, 45), clBlue);
  EXPECT_EQ(img.GetPixelColor(kW - 1, kH - 1), clYellow);

  Label.SetStretch(false);
  img = Repaint();
  EXPECT_EQ(img.GetPixelColor(0, 0), clRed);
  EXPECT_EQ(img.GetPixelColor(1, 1), clYellow);
  EXPECT_EQ(img.GetPixelColor(2, 0), clBlack);
  EXPECT_EQ(img.GetPixelColor(0, 2), clBlack);

  // A picture larger than the control: its top-left W x H block, 1:1.
  TBitmap big(300, 120);
  TagRows(big, 9);
  Label.Setpicture(&big);
  img = Repaint();
  const std::vector<RowTag> tags = ReadTags(img);
  for (int y = 0; y < kH; ++y) ASSERT_EQ(tags[y], (RowTag{9, y}));

  Label.Setpicture(nullptr);
  EXPECT_EQ(Label.picture().Width(), 0);
  EXPECT_TRUE(InkedRows(Repaint(), clBlack).empty());
}

TEST_F(CaptionFixture, AmpersandsWithAndWithoutAcceleratorMarks) {
  Label.SetShowAccelChar(false);
  const TBitmap plainOne = Render("A&B");
  const TBitmap plainTwo = Render("A&&B");
  const TBitmap plainA = Render("A");
  Label.SetShowAccelChar(true);
  const TBitmap doubled = Render("A&&B");
  const TBitmap marked = Render("&A");
  // "&&" draws one ampersand while marks are on, two while they are off.
  EXPECT_EQ(PixelDiff(doubled, plainOne), "");
  EXPECT_GT(InkBox(plainTwo, clBlack).Right, InkBox(plainOne, clBlack).Right + 5);
  // "&A" underlines the A: the same columns, more rows below it.
  const TRect a = InkBox(plainA, clBlack);
  const TRect underlined = InkBox(marked, clBlack);
  EXPECT_EQ(underlined.Top, a.Top);
  EXPECT_GT(underlined.Bottom, a.Bottom);
  EXPECT_LE(underlined.Left, a.Left);
}

// Center puts the top of one text line at (H - text height) div 2, which is
// negative with a font taller than the control: (90 - 110) div 2 = -10.
TEST_F(CaptionFixture, CenterWithAFontTallerThanTheControl) {
  Label.Font().SetHeight(110);  // cell height 110 pixels
  ASSERT_EQ(Label.ArrivingImage().Height(), kH);
  TBitmap probe(10, 10);
  probe.Canvas().Font().Assign(Label.Font());
  ASSERT_EQ(probe.Canvas().TextHeight("Hj"), 110);
  const TBitmap top = Render("Hj");
  Label.SetCenter(true);
  const TBitmap centred = Repaint();
  ASSERT_FALSE(InkedRows(top, clBlack).empty());
  EXPECT_EQ(ShiftDiff(top, centred, 0, -10), "");
  EXPECT_NE(PixelDiff(top, centred), "");

  // A font shorter than the control: centred by its line height.
  Label.Font().SetHeight(30);
  Label.SetCenter(false);
  const TBitmap smallTop = Render("Hj ");
  Label.SetCenter(true);
  EXPECT_EQ(ShiftDiff(smallTop, Repaint(), 0, 30), "");
}

// Layout moves the measured text block to the middle or the bottom; the
// horizontal alignment is kept.
TEST_F(CaptionFixture, LayoutMovesTheBlockAndKeepsTheAlignment) {
  TBitmap probe(10, 10);
  probe.Canvas().Font().Assign(Label.Font());
  TRect block = Rect(0, 0, kW, kH);
  probe.Canvas().DrawText("Hg", block, DT_CALCRECT | DT_EXPANDTABS);
  const int th = block.Bottom;
  ASSERT_GT(th, 30);
  for (TAlignment align : {taLeftJustify, taRightJustify, taCenter}) {
    SCOPED_TRACE(static_cast<int>(align));
    Label.SetAlignment(align);
    Label.SetLayout(tlTop);
    const TBitmap topImg = Render("Hg");
    Label.SetLayout(tlCenter);
    const TBitmap middle = Repaint();
    Label.SetLayout(tlBottom);
    const TBitmap bottom = Repaint();
    EXPECT_EQ(ShiftDiff(topImg, middle, 0, (kH - th) / 2), "");
    EXPECT_EQ(ShiftDiff(topImg, bottom, 0, kH - th), "");
    const TRect ink = InkBox(bottom, clBlack);
    switch (align) {
      case taLeftJustify:
        EXPECT_LT(ink.Left, 6) << Str(ink);
        break;
      case taRightJustify:
        EXPECT_GT(ink.Right, kW - 6) << Str(ink);
        break;
      case taCenter:
        EXPECT_NEAR(ink.Left + ink.Right, kW, 6) << Str(ink);
        break;
    }
  }
}

// Disabled: a highlight copy one pixel right and down under a shadow copy,
// nothing in the font's own colour.
TEST_F(CaptionFixture, DisabledLook) {
  Label.Font().SetColor(clRed);
  const TRect enabled = InkBox(Render("Hg"), clBlack);
  Label.SetEnabled(false);
  const TBitmap img = Repaint();
  bool white = false, gray = false;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      const TColor c = img.GetPixelColor(x, y);
      ASSERT_TRUE(GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c)) << x << ", " << y;
      white = white || c == clWhite;
      gray = gray || c == RGBColor(128, 128, 128);
    }
  EXPECT_TRUE(white);
  EXPECT_TRUE(gray);
  const TRect disabled = InkBox(img, clBlack);
  EXPECT_EQ(Str(disabled), Str(TRect{enabled.Left, enabled.Top, enabled.Right + 1, enabled.Bottom + 1}));

  // With Center the highlight copy sits at the centred top and the shadow
  // one row above it.
  Label.SetEnabled(true);
  Label.SetCenter(true);
  const TRect centred = InkBox(Repaint(), clBlack);
  Label.SetEnabled(false);
  const TRect centredDisabled = InkBox(Repaint(), clBlack);
  EXPECT_EQ(Str(centredDisabled),
            Str(TRect{centred.Left, centred.Top - 1, centred.Right + 1, centred.Bottom}));
}

TEST_F(CaptionFixture, TransparentDrawsOverThePreviousCaption) {
  const TBitmap aAlone = Render("A");
  const TBitmap oAlone = Render("o");
  Render("A");
  Label.SetTransparent(true);
  const TBitmap both = Render("o");
  int kept = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      if (aAlone.GetPixelColor(x, y) == clBlack || oAlone.GetPixelColor(x, y) != clBlack) continue;
      ASSERT_EQ(both.GetPixelColor(x, y), aAlone.GetPixelColor(x, y)) << x << ", " << y;
      ++kept;
    }
  EXPECT_GT(kept, 50);
  Label.SetTransparent(false);
  EXPECT_EQ(PixelDiff(Repaint(), oAlone), "");
}

// Line breaks start new lines; long text is not wrapped but clipped.
TEST_F(CaptionFixture, LinesAreNotWrapped) {
  const TRect one = InkBox(Render("Hg"), clBlack);
  const TRect two = InkBox(Render("Hg\r\nHg"), clBlack);
  EXPECT_EQ(two.Top, one.Top);
  EXPECT_GT(two.Bottom, one.Bottom + 20);
  const TRect longLine = InkBox(Render("Hg Hg Hg Hg Hg Hg Hg Hg Hg Hg"), clBlack);
  EXPECT_EQ(longLine.Bottom, one.Bottom);
  EXPECT_EQ(longLine.Right, kW);
}

}  // namespace
