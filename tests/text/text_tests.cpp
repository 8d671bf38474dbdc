// Text drawing on a canvas: font lookup, metrics, DrawText layout rules and
// the pixels they ink. The face is pinned to Liberation Sans (fonts-liberation)
// and the checks are measured properties (extents, alignment, which rows and
// columns carry ink), not pixel hashes that move with FreeType versions.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "platform/Graphics.h"
#include "platform/TextEngine.h"

namespace {

const char* const kFace = "Liberation Sans";
const char* const kFaceFile = "LiberationSans-Regular.ttf";
// Liberation Sans: unitsPerEm 2048, usWinAscent 1854, usWinDescent 434,
// xAvgCharWidth 1208. At a 32-pixel em: ascent 28.97 -> 29, descent 6.78 -> 7,
// average width 18.88 -> 19, so tab stops every 152 pixels.
constexpr int kEm = 32;
constexpr int kAscent32 = 29;
constexpr int kLine32 = 36;
constexpr int kTab32 = 152;

constexpr TColor kBack = 0x383838;  // red 56, green 56, blue 56
constexpr TColor kInk = 54741;      // red 213, green 213, blue 0

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// A 24-bit bitmap filled with kBack; the canvas draws kInk text with a clear
// brush, as the flip display does.
struct Board {
  TBitmap Bitmap;
  explicit Board(int w = 400, int h = 120, TPixelFormat pf = pf24bit, int em = kEm) {
    Bitmap.SetPixelFormat(pf);
    Bitmap.SetSize(w, h);
    TCanvas& c = Bitmap.Canvas();
    c.Brush().SetColor(kBack);
    c.Brush().SetStyle(bsSolid);
    c.FillRect(Rect(0, 0, w, h));
    c.Brush().SetStyle(bsClear);
    c.Font().SetName(kFace);
    c.Font().SetHeight(-em);
    c.Font().SetColor(kInk);
  }
  TCanvas& Canvas() { return Bitmap.Canvas(); }
  bool Inked(int x, int y) const { return Bitmap.GetPixelColor(x, y) != kBack; }
  // Bounding box of every pixel that is not the background (empty when none).
  TRect Ink() const {
    TRect box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int y = 0; y < Bitmap.Height(); ++y)
      for (int x = 0; x < Bitmap.Width(); ++x)
        if (Inked(x, y)) {
          box.Left = std::min(box.Left, x);
          box.Top = std::min(box.Top, y);
          box.Right = std::max(box.Right, x + 1);
          box.Bottom = std::max(box.Bottom, y + 1);
        }
    return box.Left == INT_MAX ? TRect{} : box;
  }
  int InkCount(int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += Inked(x, y);
    return n;
  }
  // With a named rectangle DT_CALCRECT writes back into it.
  int Draw(const std::string& text, TRect& r, unsigned flags) {
    return Canvas().DrawText(text, r, flags);
  }
  int Draw(const std::string& text, const TRect& r, unsigned flags) {
    TRect copy = r;
    return Canvas().DrawText(text, copy, flags);
  }
};

bool SamePixels(const TBitmap& a, const TBitmap& b) {
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.GetPixelColor(x, y) != b.GetPixelColor(x, y)) return false;
  return true;
}

TFont Font(const std::string& name, int height, TFontStyles style = 0) {
  TFont f;
  f.SetName(name);
  f.SetHeight(height);
  f.SetStyle(style);
  return f;
}

// ---------------------------------------------------------------- TFont

TEST(Font, DefaultsAndSizeInPointsAt96Ppi) {
  TFont f;
  EXPECT_EQ(f.Name(), "Arial");
  EXPECT_EQ(f.Color(), clWindowText);
  EXPECT_EQ(f.Charset(), 1);
  EXPECT_EQ(f.Style(), 0u);
  f.SetSize(48);
  EXPECT_EQ(f.Height(), -64);  // the flip display's 64-pixel character height
  EXPECT_EQ(f.Size(), 48);
  f.SetSize(8);
  EXPECT_EQ(f.Height(), -11);  // 10.67 rounds to 11
  f.SetHeight(-13);
  EXPECT_EQ(f.Size(), 10);  // 9.75 rounds to 10
}

TEST(Font, OnChangeFiresForEachRealChangeAndAssignOnce) {
  TFont f;
  int changes = 0;
  f.OnChange = [&] { ++changes; };
  f.SetHeight(-64);
  f.SetHeight(-64);
  f.SetName("Courier");
  f.SetName("");  // ignored: a font always has a name
  f.SetColor(clRed);
  f.SetStyle((1u << fsBold) | (1u << fsUnderline));
  f.SetCharset(0);
  EXPECT_EQ(changes, 5);
  EXPECT_EQ(f.Name(), "Courier");

  TFont other = Font("Liberation Sans", 20, 1u << fsItalic);
  changes = 0;
  f.Assign(other);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(f.Name(), "Liberation Sans");
  EXPECT_EQ(f.Height(), 20);
  EXPECT_EQ(f.Style(), 1u << fsItalic);
  f.Assign(other);
  EXPECT_EQ(changes, 1);
  TFont copy(f);
  EXPECT_FALSE(copy.OnChange);  // the owner's handler does not travel with a copy
}

// ---------------------------------------------------------------- face lookup

TEST(FontLookup, NamesResolveThroughFontconfig) {
  struct Case {
    const char* name;
    TFontStyles style;
    const char* file;
  } cases[] = {
      {"Liberation Sans", 0, "LiberationSans-Regular.ttf"},
      {"Arial", 0, "LiberationSans-Regular.ttf"},  // metric-compatible alias
      {"Liberation Sans", 1u << fsBold, "LiberationSans-Bold.ttf"},
      {"Liberation Sans", 1u << fsItalic, "LiberationSans-Italic.ttf"},
      {"Liberation Sans", (1u << fsBold) | (1u << fsItalic), "LiberationSans-BoldItalic.ttf"},
      {"Liberation Sans", 1u << fsUnderline, "LiberationSans-Regular.ttf"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " style " + std::to_string(c.style));
    const std::string file = kltext::ResolvedFile(Font(c.name, -20, c.style));
    EXPECT_TRUE(EndsWith(file, c.file)) << "have " << file << ", want " << c.file;
  }
}

TEST(FontLookup, UnknownNameFallsBackAndStillDraws) {
  for (const char* name : {"No Such Face Qwzx", "Arial:weight=bold", "-*-", "\xff\xfe"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(kltext::ResolvedFile(Font(name, -20)).empty());
    Board b;
    b.Canvas().Font().SetName(name);
    EXPECT_GT(b.Draw("Hello", Rect(0, 0, 400, 120), 0), 0);
    EXPECT_FALSE(b.Ink().IsEmpty());
    EXPECT_GT(b.Canvas().TextWidth("Hello"), 0);
  }
}

TEST(FontLookup, BoldAndItalicChangeTheInkEvenWithoutSuchAFace) {
  // DejaVu Math TeX Gyre (fonts-dejavu-extra) has one regular face only, so
  // fontconfig asks for synthetic emboldening and slanting, which must show.
  // Without that package the name falls back to DejaVu Sans, whose core
  // package has no oblique face: the slant is synthetic there too.
  for (const char* name : {kFace, "DejaVu Math TeX Gyre"}) {
    SCOPED_TRACE(name);
    auto draw = [&](TFontStyles style) {
      auto b = std::make_unique<Board>(200, 300, pf24bit, 64);  // the math face is tall
      b->Canvas().Font().SetName(name);
      b->Canvas().Font().SetStyle(style);
      b->Draw("I", Rect(20, 0, 200, 300), 0);
      return b;
    };
    auto regular = draw(0), bold = draw(1u << fsBold), italic = draw(1u << fsItalic);
    const TRect r = regular->Ink();
    EXPECT_GT(bold->InkCount(0, 0, 200, 300), regular->InkCount(0, 0, 200, 300) * 5 / 4);
    // An upright "I" has its top and bottom rows over the same columns; a
    // slanted one leans right.
    const TRect i = italic->Ink();
    auto firstInked = [](const Board& b, int y) {
      for (int x = 0; x < 200; ++x)
        if (b.Inked(x, y)) return x;
      return -1;
    };
    EXPECT_NEAR(firstInked(*regular, r.Top + 1), firstInked(*regular, r.Bottom - 2), 1);
    EXPECT_GT(firstInked(*italic, i.Top + 1), firstInked(*italic, i.Bottom - 2) + 5);
  }
}

// ---------------------------------------------------------------- metrics

TEST(FontMetrics, NegativeHeightIsEmPositiveIsCell) {
  Board b;
  TCanvas& c = b.Canvas();
  c.Font().SetHeight(-kEm);
  EXPECT_EQ(c.TextHeight("x"), kLine32);
  c.Font().SetHeight(-64);
  EXPECT_EQ(c.TextHeight(""), 72);  // ascent 58 + descent 14, as Arial at 48 pt
  // A positive height is the whole cell, exactly.
  for (int h : {1, 7, 13, 36, 64, 72, 90, 200}) {
    c.Font().SetHeight(h);
    EXPECT_EQ(c.TextHeight("Ag"), h) << "height " << h;
  }
}

TEST(FontMetrics, CellHeightScalesTheGlyphs) {
  // "H" ink: cap height 1409/2048 of the em. -64 and +72 name the same size;
  // +64 is the cell of a 57.3-pixel em.
  auto capHeight = [](int height) {
    Board b(200, 120);
    b.Canvas().Font().SetHeight(height);
    b.Draw("H", Rect(0, 0, 200, 120), 0);
    return b.Ink().Height();
  };
  const int em64 = capHeight(-64), cell72 = capHeight(72), cell64 = capHeight(64);
  EXPECT_NEAR(em64, 44, 1);
  EXPECT_NEAR(cell72, em64, 1);
  EXPECT_NEAR(cell64, 39, 1);
}

TEST(FontMetrics, BaselineSitsAscentBelowTheTop) {
  Board b;
  b.Draw("H", Rect(10, 20, 400, 120), 0);
  EXPECT_EQ(b.Ink().Bottom, 20 + kAscent32);  // "H" stands on the baseline
  EXPECT_EQ(b.Ink().Top, 20 + kAscent32 - 22);  // cap height 1409/2048 * 32 = 22
}

TEST(FontMetrics, HugeAndDegenerateHeightsStayBounded) {
  for (int h : {INT_MAX, INT_MIN, 1000000, -1000000, 0}) {
    SCOPED_TRACE(h);
    Board b(64, 64);
    b.Canvas().Font().SetHeight(h);
    const int lh = b.Canvas().TextHeight("W");
    EXPECT_GT(lh, 0);
    EXPECT_LE(lh, 2000);
    b.Draw("W", Rect(0, 0, 64, 64), 0);
  }
}

TEST(FontMetrics, ManyFontsInTurnKeepTheirOwnMetrics) {
  // More sizes than the cache keeps: evicted fonts must come back the same.
  std::vector<int> first;
  for (int pass = 0; pass < 2; ++pass)
    for (int h = 8; h < 48; ++h) {
      const int lh = kltext::Metrics(Font(kFace, -h)).Height();
      const int w = kltext::TextWidth(Font(kFace, -h), "Wolf");
      if (pass == 0) {
        first.push_back(lh * 1000 + w);
      } else {
        EXPECT_EQ(lh * 1000 + w, first[h - 8]) << "height " << -h;
      }
    }
}

// ---------------------------------------------------------------- DrawText

TEST(DrawText, AlignmentShiftsTheLineExactly) {
  const std::string text = "Hamburg";
  const TRect r = Rect(20, 10, 380, 110);
  Board left;
  left.Draw(text, r, DT_LEFT);
  const TRect base = left.Ink();
  const int w = left.Canvas().TextWidth(text);
  ASSERT_FALSE(base.IsEmpty());
  EXPECT_GE(base.Left, r.Left);
  EXPECT_LE(base.Left, r.Left + 4);  // only the side bearing of "H"
  EXPECT_LE(base.Right, r.Left + w);

  struct Case {
    unsigned flags;
    int shift;
  } cases[] = {{DT_CENTER, (r.Width() - w) / 2}, {DT_RIGHT, r.Width() - w}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    Board b;
    b.Draw(text, r, c.flags);
    const TRect ink = b.Ink();
    EXPECT_EQ(ink.Left, base.Left + c.shift);
    EXPECT_EQ(ink.Right, base.Right + c.shift);
    EXPECT_EQ(ink.Top, base.Top);
    EXPECT_EQ(ink.Bottom, base.Bottom);
  }
}

TEST(DrawText, CalcRectMeasuresWithoutDrawing) {
  struct Case {
    const char* text;
    unsigned flags;
    int lines;
    const char* widest;
  } cases[] = {
      {"Hamburg", 0, 1, "Hamburg"},
      {"Hamburg", DT_CENTER, 1, "Hamburg"},
      {"Hamburg", DT_RIGHT, 1, "Hamburg"},
      {"Wide line\nshort", 0, 2, "Wide line"},
      {"a\r\nthe longest\rmid", DT_CENTER, 3, "the longest"},
      {"x&&y", 0, 1, "x&y"},
      {"&Open", 0, 1, "Open"},
      {"&Open", DT_NOPREFIX, 1, "&Open"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Board b;
    TRect r = Rect(30, 15, 60, 20);
    const int h = b.Draw(c.text, r, c.flags | DT_CALCRECT);
    EXPECT_EQ(h, c.lines * kLine32);
    EXPECT_EQ(r.Left, 30);
    EXPECT_EQ(r.Top, 15);
    EXPECT_EQ(r.Right, 30 + b.Canvas().TextWidth(c.widest));
    EXPECT_EQ(r.Bottom, 15 + c.lines * kLine32);
    EXPECT_TRUE(b.Ink().IsEmpty()) << "measuring must not draw";

    // Drawn into the measured rectangle, the ink stays inside it.
    const int hd = b.Draw(c.text, r, c.flags);
    EXPECT_EQ(hd, h);
    const TRect ink = b.Ink();
    EXPECT_GE(ink.Left, r.Left);
    EXPECT_LE(ink.Right, r.Right);
    EXPECT_GE(ink.Top, r.Top);
    EXPECT_LE(ink.Bottom, r.Bottom);
  }
}

TEST(DrawText, EmptyTextDrawsNothingAndMeasuresZero) {
  Board b;
  TRect r = Rect(5, 6, 100, 100);
  EXPECT_EQ(b.Draw("", r, 0), 0);
  EXPECT_TRUE(b.Ink().IsEmpty());
  EXPECT_EQ(b.Draw("", r, DT_CALCRECT), 0);
  EXPECT_EQ(r, Rect(5, 6, 5, 6));
  EXPECT_EQ(b.Canvas().TextWidth(""), 0);
  EXPECT_EQ(b.Canvas().TextHeight(""), kLine32);
}

TEST(DrawText, PrefixAmpersands) {
  const TRect r = Rect(10, 10, 390, 110);
  auto render = [&](const std::string& text, unsigned flags) {
    auto b = std::make_unique<Board>();
    b->Draw(text, r, flags);
    return b;
  };
  // "&&" is one ampersand; one before a line break vanishes; one that ends
  // the text is drawn.
  EXPECT_TRUE(SamePixels(render("A&&B", 0)->Bitmap, render("A&B", DT_NOPREFIX)->Bitmap));
  EXPECT_TRUE(SamePixels(render("ab&\nc", 0)->Bitmap, render("ab\nc", 0)->Bitmap));
  EXPECT_TRUE(SamePixels(render("ab&", 0)->Bitmap, render("ab&", DT_NOPREFIX)->Bitmap));
  EXPECT_FALSE(SamePixels(render("A&B", DT_NOPREFIX)->Bitmap, render("AB", 0)->Bitmap));

  // "&x" draws x and underlines it: ink below the baseline (x has no
  // descender) across x's advance only.
  auto plain = render("ax", 0);
  auto marked = render("a&x", 0);
  const int baseline = r.Top + kAscent32;
  const int ax = plain->Canvas().TextWidth("a");
  const int xw = plain->Canvas().TextWidth("x");
  // (The row right under the baseline may carry a trace of the letters'
  // overshoot; the underline starts below it.)
  EXPECT_EQ(plain->InkCount(0, baseline + 1, 400, 120), 0);
  int underlineRows = 0;
  for (int y = baseline + 1; y < r.Top + kLine32; ++y) {
    const int n = marked->InkCount(r.Left + ax, y, r.Left + ax + xw, y + 1);
    if (n == xw) ++underlineRows;
    EXPECT_EQ(marked->InkCount(0, y, r.Left + ax, y + 1), 0) << "row " << y << " under a";
  }
  EXPECT_GE(underlineRows, 1);
  // Above the baseline both draw the same letters.
  EXPECT_EQ(marked->InkCount(0, 0, 400, baseline), plain->InkCount(0, 0, 400, baseline));

  // With DT_NOPREFIX the ampersand is a character and nothing is underlined.
  auto literal = render("a&x", DT_NOPREFIX);
  EXPECT_EQ(literal->InkCount(0, baseline + 1, 400, 120), 0);
  EXPECT_EQ(literal->Ink().Right - plain->Ink().Right, plain->Canvas().TextWidth("&"));
}

TEST(DrawText, ExpandTabsToEightAverageWidths) {
  Board b;
  auto width = [&](const std::string& text, unsigned flags) {
    TRect r = Rect(0, 0, 10, 10);
    b.Draw(text, r, flags | DT_CALCRECT);
    return r.Right;
  };
  const int wb = b.Canvas().TextWidth("b");
  EXPECT_EQ(width("\tb", DT_EXPANDTABS), kTab32 + wb);
  EXPECT_EQ(width("abc\tb", DT_EXPANDTABS), kTab32 + wb);
  EXPECT_EQ(width("\t\tb", DT_EXPANDTABS), 2 * kTab32 + wb);
  // A tab right at a stop moves on to the next one.
  const std::string full(8, 'n');
  ASSERT_LT(b.Canvas().TextWidth(full), kTab32);
  EXPECT_EQ(width(full + "\t" + full + "\tb", DT_EXPANDTABS), 2 * kTab32 + wb);
  // Each line starts its own tab stops.
  EXPECT_EQ(width("abc\tb\n\tb", DT_EXPANDTABS), kTab32 + wb);

  // Drawn: the "b" after a tab starts at the stop.
  b.Draw("\tb", Rect(20, 0, 400, 100), DT_EXPANDTABS);
  EXPECT_GE(b.Ink().Left, 20 + kTab32);
  EXPECT_LE(b.Ink().Left, 20 + kTab32 + 3);
}

TEST(DrawText, LinesBreakAtCrLfAndCrLf) {
  struct Case {
    const char* text;
    int lines;
  } cases[] = {
      {"one", 1},         {"one\rtwo", 2},   {"one\ntwo", 2},     {"one\r\ntwo", 2},
      {"one\n\rtwo", 3},  {"one\r\n", 1},    {"\n", 1},           {"one\n\ntwo", 3},
      {"a\r\r\nb", 3},    {"\r\n\r\n", 2},   {"a\nb\nc\nd", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.text)));
    Board b;
    TRect r = Rect(0, 0, 400, 120);
    EXPECT_EQ(b.Draw(c.text, r, DT_CALCRECT), c.lines * kLine32);
    EXPECT_EQ(r.Bottom, c.lines * kLine32);
  }
  // Drawn: each line at its own row band, each aligned on its own.
  Board b(400, 160);
  b.Draw("WW\nW", Rect(0, 0, 400, 160), DT_RIGHT);
  const int ww = b.Canvas().TextWidth("WW");
  EXPECT_GT(b.InkCount(400 - ww, 0, 400 - ww / 2, kLine32), 0);
  EXPECT_EQ(b.InkCount(0, kLine32, 400 - ww / 2, 2 * kLine32), 0);
  EXPECT_GT(b.InkCount(400 - ww / 2, kLine32, 400, 2 * kLine32), 0);
  EXPECT_EQ(b.InkCount(0, 2 * kLine32, 400, 160), 0);
}

TEST(DrawText, WordBreakWrapsAtSpaces) {
  Board b;
  const int fits = b.Canvas().TextWidth("alpha beta");
  TRect r = Rect(0, 0, fits, 10);
  EXPECT_EQ(b.Draw("alpha beta gamma", r, DT_WORDBREAK | DT_CALCRECT), 2 * kLine32);
  EXPECT_EQ(r.Right, fits);
  // Without DT_WORDBREAK the text stays one line however narrow the rectangle.
  r = Rect(0, 0, 10, 10);
  EXPECT_EQ(b.Draw("alpha beta gamma", r, DT_CALCRECT), kLine32);
}

TEST(DrawText, SingleLinePlacesVertically) {
  // DT_SINGLELINE ignores line breaks; only then do DT_VCENTER and DT_BOTTOM
  // move the line (as Windows).
  struct Case {
    unsigned flags;
    int top;   // top of the cell in Rect(0, 10, 200, 110)
    int lines;
  } cases[] = {
      {DT_SINGLELINE, 10, 1},
      {DT_SINGLELINE | DT_VCENTER, 10 + 50 - kLine32 / 2, 1},
      {DT_SINGLELINE | DT_BOTTOM, 110 - kLine32, 1},
      {DT_VCENTER, 10, 2},
      {DT_BOTTOM, 10, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    Board b(200, 120);
    TRect r = Rect(0, 10, 200, 110);
    TRect m = r;
    EXPECT_EQ(b.Draw("H\nH", m, c.flags | DT_CALCRECT), c.lines * kLine32);
    b.Draw("H\nH", r, c.flags);
    EXPECT_EQ(b.Ink().Bottom, c.top + kAscent32 + (c.lines - 1) * kLine32);
  }
}

TEST(DrawText, ClipsToTheRectangle) {
  struct Case {
    TRect r;
    unsigned flags;
  } cases[] = {
      {Rect(50, 30, 120, 50), 0},            // cuts through the glyphs
      {Rect(50, 30, 120, 50), DT_CENTER},
      {Rect(-40, -20, 60, 25), DT_RIGHT},    // partly off the bitmap
      {Rect(300, 90, 500, 200), 0},          // past the right and bottom edges
      {Rect(100, 40, 100, 80), 0},           // empty
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    Board b(400, 120, pf24bit, 64);
    TRect r = c.r;
    b.Draw("Wg Wg Wg Wg", r, c.flags);
    const TRect ink = b.Ink();
    if (c.r.IsEmpty()) {
      EXPECT_TRUE(ink.IsEmpty());
      continue;
    }
    ASSERT_FALSE(ink.IsEmpty());
    EXPECT_GE(ink.Left, c.r.Left);
    EXPECT_GE(ink.Top, c.r.Top);
    EXPECT_LE(ink.Right, c.r.Right);
    EXPECT_LE(ink.Bottom, c.r.Bottom);
  }
  // DT_NOCLIP lets the same text spill out of the rectangle.
  Board b(400, 120, pf24bit, 64);
  b.Draw("Wg Wg", Rect(50, 30, 120, 50), DT_NOCLIP);
  EXPECT_GT(b.Ink().Right, 120);
  EXPECT_GT(b.Ink().Bottom, 50);
}

TEST(DrawText, GeneratedTextsStayInsideTheirRectangle) {
  // Random mixes of letters, prefixes, tabs, breaks, multi-byte and broken
  // UTF-8 under random flags: the ink never leaves the rectangle, and
  // drawing reports the height that measuring does.
  const char* const pieces[] = {"a",  "W", "&", "&&", "\t", "\r", "\n", "\r\n", " ",
                                "\xC3\xA9", "\xE2\x99\x94", "\xFF", "\xE2\x82"};
  const unsigned flagBits[] = {DT_CENTER, DT_RIGHT, DT_EXPANDTABS, DT_NOPREFIX,
                               DT_WORDBREAK, DT_SINGLELINE};
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1664525u + 1013904223u;
    return (seed >> 8) % n;
  };
  for (int round = 0; round < 150; ++round) {
    std::string text;
    const int len = static_cast<int>(next(12));
    for (int i = 0; i < len; ++i) text += pieces[next(std::size(pieces))];
    unsigned flags = 0;
    for (unsigned bit : flagBits)
      if (next(3) == 0) flags |= bit;
    const int l = static_cast<int>(next(160)) - 20, t = static_cast<int>(next(60)) - 10;
    const TRect r = Rect(l, t, l + static_cast<int>(next(150)), t + static_cast<int>(next(90)));
    SCOPED_TRACE(testing::PrintToString(text) + " flags " + std::to_string(flags));

    Board b(160, 80, pf24bit, 20);
    TRect m = r;
    const int measured = b.Draw(text, m, flags | DT_CALCRECT);
    // (Empty single-line text measures one line's height but returns 0.)
    if (!text.empty()) {
      EXPECT_EQ(m.Bottom - m.Top, measured);
    }
    EXPECT_GE(m.Right, m.Left);
    EXPECT_EQ(b.Draw(text, r, flags), measured);
    const TRect ink = b.Ink();
    if (ink.IsEmpty()) continue;
    EXPECT_GE(ink.Left, r.Left);
    EXPECT_GE(ink.Top, r.Top);
    EXPECT_LE(ink.Right, r.Right);
    EXPECT_LE(ink.Bottom, r.Bottom);
  }
}

TEST(DrawText, AntiAliasedInkBlendsBetweenBackgroundAndFont) {
  Board b(400, 120, pf24bit, 64);
  b.Draw("Sphinx of black quartz", Rect(0, 0, 400, 120), 0);
  int full = 0, partial = 0;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 400; ++x) {
      const TColor c = b.Bitmap.GetPixelColor(x, y);
      if (c == kBack) continue;
      if (c == kInk) {
        ++full;
        continue;
      }
      ++partial;
      // On the segment from (56,56,56) to (213,213,0): red equals green,
      // blue falls as red rises.
      const int r = GetRValue(c), g = GetGValue(c), bl = GetBValue(c);
      ASSERT_EQ(r, g) << x << "," << y;
      ASSERT_GE(r, 56);
      ASSERT_LE(r, 213);
      ASSERT_NEAR(bl, 56 - (r - 56) * 56 / 157, 2) << x << "," << y;
    }
  EXPECT_GT(full, 100);
  EXPECT_GT(partial, 100);
}

TEST(DrawText, SolidBrushFillsEachLineCellClearBrushDoesNot) {
  for (TBrushStyle style : {bsSolid, bsClear}) {
    SCOPED_TRACE(style);
    Board b;
    b.Canvas().Brush().SetStyle(style);
    b.Canvas().Brush().SetColor(clBlue);
    b.Draw("i i\nii", Rect(10, 10, 390, 110), 0);
    const int w1 = b.Canvas().TextWidth("i i");
    const int w2 = b.Canvas().TextWidth("ii");
    // The space between the two i's.
    const int gap = 10 + b.Canvas().TextWidth("i") + 1;
    const bool filled = b.Bitmap.GetPixelColor(gap, 10 + 2) == clBlue;
    EXPECT_EQ(filled, style == bsSolid);
    if (style == bsSolid) {
      EXPECT_EQ(b.Bitmap.GetPixelColor(10, 10), clBlue);
      EXPECT_EQ(b.Bitmap.GetPixelColor(10 + w1 - 1, 10 + kLine32 - 1), clBlue);
      EXPECT_EQ(b.Bitmap.GetPixelColor(10 + w2, 10 + kLine32), kBack);  // beyond line 2
      EXPECT_EQ(b.Bitmap.GetPixelColor(10 + w1, 10), kBack);
      EXPECT_EQ(b.Bitmap.GetPixelColor(10, 10 + 2 * kLine32), kBack);
    }
  }
}

TEST(DrawText, UnderlineAndStrikeOutSpanTheLine) {
  // The gap between two i's carries ink only from the line styles: under the
  // baseline for an underline, above it for a strike-out.
  const int baseline = 10 + kAscent32;
  struct Case {
    TFontStyles style;
    bool below, above;
  } cases[] = {
      {0, false, false},
      {1u << fsUnderline, true, false},
      {1u << fsStrikeOut, false, true},
      {(1u << fsUnderline) | (1u << fsStrikeOut), true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    Board b;
    b.Canvas().Font().SetStyle(c.style);
    b.Draw("i    i", Rect(10, 10, 390, 110), 0);
    const int x0 = 10 + b.Canvas().TextWidth("i") + 2;
    const int x1 = 10 + b.Canvas().TextWidth("i   ");
    EXPECT_EQ(b.InkCount(x0, baseline + 1, x1, 10 + kLine32) > 0, c.below);
    EXPECT_EQ(b.InkCount(x0, 10, x1, baseline) > 0, c.above);
  }
}

TEST(DrawText, MissingCharactersComeFromAFallbackFace) {
  // U+2654 (white chess king) is not in Liberation Sans; DejaVu Sans has it.
  const std::string king = "\xE2\x99\x94";
  const std::string nowhere = "\xF4\x8F\xBF\xBD";  // U+10FFFD, private use
  const TFont liberation = Font(kFace, -kEm);
  const TFont dejavu = Font("DejaVu Sans", -kEm);
  ASSERT_TRUE(EndsWith(kltext::ResolvedFile(dejavu), "DejaVuSans.ttf"));
  const int kingWidth = kltext::TextWidth(liberation, king);
  EXPECT_EQ(kingWidth, kltext::TextWidth(dejavu, king));
  EXPECT_NE(kingWidth, kltext::TextWidth(liberation, nowhere));

  Board a, d;
  a.Draw(king, Rect(0, 0, 400, 120), 0);
  d.Canvas().Font().SetName("DejaVu Sans");
  d.Draw(king, Rect(0, 0, 400, 120), 0);
  // Same glyph, on the other face's baseline.
  EXPECT_EQ(a.Ink().Width(), d.Ink().Width());
  EXPECT_EQ(a.Ink().Height(), d.Ink().Height());
}

TEST(DrawText, Utf8TextAndMalformedBytes) {
  Board b;
  // Multi-byte sequences are one character each: an accented letter has its
  // base letter's advance, and the euro sign is as wide as a digit in this face.
  EXPECT_EQ(b.Canvas().TextWidth("\xC3\xA9"), b.Canvas().TextWidth("e"));
  EXPECT_EQ(b.Canvas().TextWidth("\xE2\x82\xAC"), b.Canvas().TextWidth("0"));
  // Malformed input draws replacement characters, one per bad byte, and never
  // reads past the end.
  const int bad = b.Canvas().TextWidth("\xEF\xBF\xBD");
  for (const char* s : {"\xFF", "\xC3", "\xE2\x82", "\xC0\xAF", "\xED\xA0\x80", "\xF8\x88\x80\x80\x80"}) {
    SCOPED_TRACE(testing::PrintToString(std::string(s)));
    EXPECT_EQ(b.Canvas().TextWidth(s), bad * static_cast<int>(std::string(s).size()));
    TRect r = Rect(0, 0, 400, 120);
    EXPECT_EQ(b.Draw(s, r, 0), kLine32);
  }
}

TEST(DrawText, EveryPixelFormatGetsTheSameInkBox) {
  Board ref(200, 60);
  ref.Draw("Mg", Rect(0, 0, 200, 60), 0);
  for (TPixelFormat pf : {pf32bit, pfDevice, pf8bit, pf4bit, pf1bit, pf16bit}) {
    SCOPED_TRACE(pf);
    TBitmap bmp;
    bmp.SetPixelFormat(pf);
    bmp.SetSize(200, 60);
    TCanvas& c = bmp.Canvas();
    c.Brush().SetColor(clBlack);
    c.FillRect(Rect(0, 0, 200, 60));
    c.Brush().SetStyle(bsClear);
    c.Font().SetName(kFace);
    c.Font().SetHeight(-kEm);
    c.Font().SetColor(clWhite);
    TRect r = Rect(0, 0, 200, 60);
    c.DrawText("Mg", r, 0);
    TRect box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 200; ++x)
        if (bmp.GetPixelColor(x, y) == clWhite) {
          box.Left = std::min(box.Left, x);
          box.Top = std::min(box.Top, y);
          box.Right = std::max(box.Right, x + 1);
          box.Bottom = std::max(box.Bottom, y + 1);
        }
    // Fully covered pixels exist in every format and sit inside the 24-bit ink.
    ASSERT_NE(box.Left, INT_MAX);
    const TRect ink = ref.Ink();
    EXPECT_GE(box.Left, ink.Left);
    EXPECT_GE(box.Top, ink.Top);
    EXPECT_LE(box.Right, ink.Right);
    EXPECT_LE(box.Bottom, ink.Bottom);
  }
}

TEST(TextOut, DrawsTheCellAtTheGivenTopLeftWithoutPrefixes) {
  Board b;
  b.Canvas().TextOut(30, 20, "&H");
  const TRect ink = b.Ink();
  EXPECT_EQ(ink.Bottom, 20 + kAscent32);  // no underline: "&" is literal
  EXPECT_GE(ink.Left, 30);
  EXPECT_EQ(b.Canvas().PenPos().X, 30 + b.Canvas().TextWidth("&H"));
  // Off the bitmap: clipped, no fault.
  b.Canvas().TextOut(-1000, -1000, "Far away");
  b.Canvas().TextOut(390, 110, "Edge");
}

}  // namespace
