// Bitmap import into a frame, transparency from a mask, and the rendering of a
// frame back into a bitmap with its mask.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "ColorTestUtil.h"
#include "gif/GIFImage.h"
#include "gif/color/ColorMessages.h"
#include "gif/color/DitherEngine.h"

namespace {

std::vector<uint8_t> FrameIndices(TGIFSubImage& frame) {
  return std::vector<uint8_t>(frame.Data(), frame.Data() + frame.DataSize());
}

std::vector<Rgb> MapColors(const TGIFColorMap& map) {
  std::vector<Rgb> out;
  for (int i = 0; i < map.Count(); ++i) out.push_back(Rgb{map.Entry(i).Red, map.Entry(i).Green, map.Entry(i).Blue});
  return out;
}

struct ProgressLog {
  struct Call {
    int stage, percent;
    std::string msg;
    friend bool operator==(const Call&, const Call&) = default;
  };
  std::vector<Call> calls;
  void Attach(TGIFImage& doc) {
    doc.OnProgress = [this](void*, TProgressStage stage, uint8_t percent, bool, const TRect&, const std::string& msg) {
      calls.push_back(Call{stage, percent, msg});
    };
  }
};

TEST(BitmapImport, CapturedFrameGetsTheCubeMapAndCubeIndices) {
  // A screen capture arrives as a device bitmap; the defaults reduce it to the
  // 216-colour cube pixel by pixel.
  std::mt19937 rng(42);
  const int w = 37, h = 9;
  const auto pixels = RandomPixels(rng, w * h);
  TBitmap capture(w, h, pfDevice);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const Rgb& p = pixels[size_t(y) * w + x];
      capture.Canvas().SetPixel(x, y, RGBColor(p.r, p.g, p.b));
    }
  TGIFImage doc;
  std::vector<std::string> warnings;
  doc.OnWarning = [&](void*, int, const std::string& m) { warnings.push_back(m); };
  ASSERT_EQ(doc.Add(capture), 0);
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(capture.PixelFormat(), pfDevice) << "the caller's bitmap is not converted";
  EXPECT_EQ(doc.Width(), w);
  EXPECT_EQ(doc.Height(), h);
  TGIFSubImage& frame = *doc.Images()[0];
  ASSERT_EQ(frame.Width(), w);
  ASSERT_EQ(frame.Height(), h);
  const auto map = MapColors(frame.ColorMap());
  ASSERT_EQ(map.size(), 256u);
  for (int i = 0; i < 216; ++i)
    ASSERT_EQ(map[i], (Rgb{uint8_t(51 * (i / 36)), uint8_t(51 * (i / 6 % 6)), uint8_t(51 * (i % 6))})) << i;
  for (int i = 216; i < 256; ++i) ASSERT_EQ(map[i], (Rgb{0, 0, 0})) << i;
  const auto idx = FrameIndices(frame);
  for (size_t i = 0; i < idx.size(); ++i) {
    const Rgb& p = pixels[i];
    const int want = 36 * ((p.r + 3) / 51) + 6 * ((p.g + 3) / 51) + (p.b + 3) / 51;
    ASSERT_EQ(idx[i], want) << "pixel " << i;
  }
}

TEST(BitmapImport, TrueColourTakenOverInOrderOfFirstAppearance) {
  const Rgb a{1, 2, 3}, b{200, 0, 0}, c{0, 0, 255};
  TBitmap src = Make24(3, 2, {b, a, b, c, a, c});
  TGIFImage doc;
  doc.SetColorReduction(ReduceNone);
  doc.Add(src);
  TGIFSubImage& frame = *doc.Images()[0];
  EXPECT_EQ(MapColors(frame.ColorMap()), (std::vector<Rgb>{b, a, c}));
  EXPECT_EQ(FrameIndices(frame), (std::vector<uint8_t>{0, 1, 0, 2, 1, 2}));
  ASSERT_TRUE(frame.HasBitmap());
  EXPECT_EQ(frame.Bitmap()->PixelFormat(), pf24bit);
}

TEST(BitmapImport, CacheNeverChangesTheResult) {
  // Nine colours in rotation overflow the 8-slot cache on every pixel; the
  // indices must still be the plain first-appearance numbering.
  std::mt19937 rng(8);
  std::vector<Rgb> palette = RandomPixels(rng, 9);
  for (int pattern = 0; pattern < 3; ++pattern) {
    SCOPED_TRACE(pattern);
    std::vector<Rgb> pixels;
    std::uniform_int_distribution<int> pick(0, 8);
    for (int i = 0; i < 20 * 7; ++i) {
      const int k = pattern == 0 ? i % 9 : pattern == 1 ? (i * 4) % 9 : pick(rng);
      pixels.push_back(palette[k]);
    }
    TBitmap src = Make24(20, 7, pixels);
    TGIFSubImage frame(nullptr);
    frame.Assign(src);  // a free-standing frame uses a new document's settings
    std::vector<Rgb> order;
    std::vector<uint8_t> want;
    for (const Rgb& p : pixels) {
      auto it = std::find(order.begin(), order.end(), p);
      if (it == order.end()) it = order.insert(order.end(), p);
      want.push_back(uint8_t(it - order.begin()));
    }
    // The default method maps to the cube first; compare with ReduceNone too.
    TGIFImage doc;
    doc.SetColorReduction(ReduceNone);
    doc.Add(src);
    EXPECT_EQ(FrameIndices(*doc.Images()[0]), want);
    EXPECT_EQ(MapColors(doc.Images()[0]->ColorMap()), order);
  }
}

TEST(BitmapImport, The257thColourOverflowsAndAddAddsNothing) {
  std::vector<Rgb> pixels;
  for (int i = 0; i < 257; ++i) pixels.push_back(Rgb{uint8_t(i), uint8_t(i >> 8), 7});
  TBitmap src = Make24(257, 1, pixels);
  TGIFImage doc;
  doc.SetColorReduction(ReduceNone);
  ProgressLog log;
  log.Attach(doc);
  try {
    doc.Add(src);
    FAIL() << "no exception";
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), gifmsg::TooManyColors);
  }
  EXPECT_EQ(doc.Images().Count(), 0);
  ASSERT_FALSE(log.calls.empty());
  EXPECT_EQ(log.calls.back(), (ProgressLog::Call{psEnding, 0, gifmsg::ProgressConverting}));
  // 256 colours fit.
  pixels.pop_back();
  TBitmap fits = Make24(256, 1, pixels);
  EXPECT_EQ(doc.Add(fits), 0);
  EXPECT_EQ(doc.Images()[0]->ColorMap().Count(), 256);
}

TEST(BitmapImport, UnusableReductionSettingsFailClearly) {
  struct Case {
    const char* name;
    int method, dither;
    const char* message;
  } cases[] = {
      {"method above 9", 10, 0, gifmsg::BadColorReduction},
      {"dither mode above 6", ReduceNetscape216, 7, gifmsg::BadDitherMode},
      {"method 9 has no palette to reduce to", ReducePalette, 0, gifmsg::NoReductionColors},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TGIFImage doc;
    doc.SetColorReduction(static_cast<TColorReduction>(c.method));
    doc.SetDitherMode(static_cast<TDitherMode>(c.dither));
    TBitmap src = Make24(4, 4, std::vector<Rgb>(16, Rgb{9, 9, 9}));
    try {
      doc.Add(src);
      ADD_FAILURE() << "no exception";
    } catch (const GIFException& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_EQ(doc.Images().Count(), 0);
    // An indexed bitmap is not reduced, so the same settings take it.
    TBitmap indexed(4, 4, pf8bit);
    EXPECT_EQ(doc.Add(indexed), 0);
  }
}

TEST(BitmapImport, OneBitRowsFromTheMostSignificantBit) {
  TBitmap src(10, 2, pf1bit);
  src.SetPalette({TPaletteEntry{10, 20, 30, 0}, TPaletteEntry{200, 210, 220, 0}});
  src.ScanLine(0)[0] = 0b10110000;
  src.ScanLine(0)[1] = 0b01000000;
  src.ScanLine(1)[0] = 0b00000001;
  src.ScanLine(1)[1] = 0b10000000;
  TGIFImage doc;
  doc.SetColorReduction(static_cast<TColorReduction>(200));  // never consulted
  doc.Add(src);
  TGIFSubImage& frame = *doc.Images()[0];
  EXPECT_EQ(MapColors(frame.ColorMap()), (std::vector<Rgb>{{10, 20, 30}, {200, 210, 220}}));
  EXPECT_EQ(FrameIndices(frame), (std::vector<uint8_t>{1, 0, 1, 1, 0, 0, 0, 0, 0, 1,  //
                                                       0, 0, 0, 0, 0, 0, 0, 1, 1, 0}));
}

TEST(BitmapImport, FourBitHighNibbleFirst) {
  TBitmap src(3, 1, pf4bit);
  std::vector<TPaletteEntry> pal;
  for (int i = 0; i < 16; ++i) pal.push_back(TPaletteEntry{uint8_t(i * 16), uint8_t(i), 0, 0});
  src.SetPalette(pal);
  src.ScanLine(0)[0] = 0xAB;
  src.ScanLine(0)[1] = 0xC7;
  TGIFImage doc;
  doc.Add(src);
  TGIFSubImage& frame = *doc.Images()[0];
  EXPECT_EQ(FrameIndices(frame), (std::vector<uint8_t>{0xA, 0xB, 0xC}));
  EXPECT_EQ(frame.ColorMap().Count(), 16);
  EXPECT_EQ(MapColors(frame.ColorMap())[11], (Rgb{176, 11, 0}));
}

TEST(BitmapImport, EightBitTakenOverWithItsTable) {
  TBitmap src(5, 2, pf8bit);
  std::vector<TPaletteEntry> pal;
  for (int i = 0; i < 256; ++i) pal.push_back(TPaletteEntry{uint8_t(i), uint8_t(255 - i), 9, 0});
  src.SetPalette(pal);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 5; ++x) src.ScanLine(y)[x] = uint8_t(50 * y + 7 * x);
  TGIFImage doc;
  doc.Add(src);
  TGIFSubImage& frame = *doc.Images()[0];
  EXPECT_EQ(FrameIndices(frame), (std::vector<uint8_t>{0, 7, 14, 21, 28, 50, 57, 64, 71, 78}));
  ASSERT_EQ(frame.ColorMap().Count(), 256);
  EXPECT_EQ(MapColors(frame.ColorMap())[57], (Rgb{57, 198, 9}));
  // The frame keeps a copy of the source as its rendering.
  ASSERT_TRUE(frame.HasBitmap());
  EXPECT_EQ(Indices(*frame.Bitmap()), Indices(src));
}

TEST(BitmapImport, ProgressEvery32Rows) {
  TBitmap src(3, 70, pf8bit);
  TGIFImage doc;
  ProgressLog log;
  log.Attach(doc);
  doc.Add(src);
  const std::string m = gifmsg::ProgressConverting;
  EXPECT_EQ(log.calls, (std::vector<ProgressLog::Call>{
                           {psStarting, 0, m}, {psRunning, 0, m}, {psRunning, 46, m}, {psRunning, 91, m}, {psEnding, 100, m}}));
}

TEST(BitmapImport, BitmapWiderThanAFrameCanBeIsRefused) {
  TGIFImage doc;
  TBitmap wide(0x10000, 1, pf8bit);
  try {
    doc.Add(wide);
    FAIL() << "no exception";
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), gifmsg::ImageTooLarge);
  }
  EXPECT_EQ(doc.Images().Count(), 0);
  EXPECT_EQ(doc.Width(), 0) << "the screen did not take the truncated width";
}

TEST(BitmapImport, FrameTakesItsOwnBitmapAgain) {
  TGIFImage doc;
  doc.SetColorReduction(ReduceNone);
  doc.Add(Make24(3, 1, {{1, 1, 1}, {2, 2, 2}, {1, 1, 1}}));
  TGIFSubImage& frame = *doc.Images()[0];
  frame.Assign(*frame.Bitmap());
  EXPECT_EQ(FrameIndices(frame), (std::vector<uint8_t>{0, 1, 0}));
  EXPECT_EQ(frame.ColorMap().Count(), 2);
}

TEST(BitmapImport, EmptyBitmapLeavesAnEmptyFrame) {
  TGIFSubImage frame(nullptr);
  frame.Assign(Make24(2, 1, {{1, 1, 1}, {2, 2, 2}}));
  frame.Assign(TBitmap());
  EXPECT_TRUE(frame.Empty());
  EXPECT_EQ(frame.ColorMap().Count(), 0);
  EXPECT_EQ(frame.Bitmap(), nullptr);
}

// --- Transparency from a mask ------------------------------------------------

TBitmap MaskOf(int w, int h, std::initializer_list<std::pair<int, int>> transparent) {
  TBitmap mask(w, h, pf24bit);
  for (auto [x, y] : transparent) mask.Canvas().SetPixel(x, y, RGBColor(1, 0, 0));  // any non-black
  return mask;
}

TEST(ApplyMask, MarkedPixelsTakeANewBlackEntry) {
  const Rgb a{10, 10, 10}, b{20, 20, 20}, c{30, 30, 30};
  TGIFImage doc;
  doc.SetColorReduction(ReduceNone);
  // Use counts 2, 3, 1: sorting by use puts b first.
  doc.Add(Make24(3, 2, {a, b, b, c, a, b}));
  TGIFSubImage& frame = *doc.Images()[0];
  frame.ApplyMask(MaskOf(3, 2, {{2, 1}}));
  EXPECT_EQ(MapColors(frame.ColorMap()), (std::vector<Rgb>{b, a, c, {0, 0, 0}}));
  EXPECT_EQ(FrameIndices(frame), (std::vector<uint8_t>{1, 0, 0, 2, 1, 3}));
  ASSERT_NE(frame.GraphicControlExtension(), nullptr);
  EXPECT_TRUE(frame.Transparent());
  EXPECT_EQ(frame.GraphicControlExtension()->TransparentColorIndex(), 3);
  EXPECT_EQ(frame.Extensions().Count(), 1);
}

TEST(ApplyMask, MaskOfAnotherSizeCountsWhereItOverlaps) {
  const Rgb a{10, 10, 10}, b{20, 20, 20};
  for (auto [mw, mh] : {std::pair{1, 1}, std::pair{5, 5}}) {
    SCOPED_TRACE(std::to_string(mw) + " x " + std::to_string(mh));
    TGIFImage doc;
    doc.SetColorReduction(ReduceNone);
    doc.Add(Make24(2, 2, {a, a, a, b}));
    TGIFSubImage& frame = *doc.Images()[0];
    TBitmap mask(mw, mh, pf24bit);
    mask.Canvas().Brush().SetColor(clWhite);
    mask.Canvas().FillRect(Rect(0, 0, mw, mh));
    frame.ApplyMask(mask);
    const std::vector<uint8_t> want = mw == 1 ? std::vector<uint8_t>{2, 0, 0, 1} : std::vector<uint8_t>{2, 2, 2, 2};
    EXPECT_EQ(FrameIndices(frame), want);
  }
}

TEST(ApplyMask, NoTransparencyWhenNothingCanOrNeedsToChange) {
  struct Case {
    const char* name;
    int colours;      // distinct colours in a 16 x 16 frame; 0: no colour map at all
    bool maskAnything;
    int countAfter;
  } cases[] = {
      {"full map", 256, true, 256},
      {"empty map", 0, true, 0},
      {"no pixel marked: the black entry goes again", 3, false, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TGIFImage doc;
    doc.SetColorReduction(ReduceNone);
    TGIFSubImage* frame;
    if (c.colours > 0) {
      std::vector<Rgb> pixels;
      for (int i = 0; i < 256; ++i) pixels.push_back(Rgb{uint8_t(i % c.colours), 5, 5});
      doc.Add(Make24(16, 16, pixels));
      frame = doc.Images()[0];
    } else {
      frame = new TGIFSubImage(&doc);
      doc.Add(frame);
      frame->SetBounds(0, 0, 16, 16);
    }
    // What each pixel shows (sorting the map by use may renumber it).
    auto shown = [&] {
      std::vector<Rgb> out;
      const auto map = MapColors(frame->ColorMap());
      for (uint8_t i : FrameIndices(*frame)) out.push_back(i < map.size() ? map[i] : Rgb{1, 2, 3});
      return out;
    };
    const auto before = shown();
    frame->ApplyMask(c.maskAnything ? MaskOf(16, 16, {{3, 4}}) : MaskOf(16, 16, {}));
    EXPECT_EQ(frame->ColorMap().Count(), c.countAfter);
    EXPECT_EQ(frame->Extensions().Count(), 0);
    EXPECT_FALSE(frame->Transparent());
    EXPECT_EQ(shown(), before);
  }
}

// --- Rendering a frame back into a bitmap ----------------------------------------------

TEST(FrameBitmap, DirectRenderingCopiesIndicesAndBuildsTheMask) {
  const Rgb a{10, 10, 10}, b{20, 20, 20}, c{30, 30, 30};
  TGIFImage doc;
  doc.SetColorReduction(ReduceNone);
  doc.Add(Make24(3, 2, {a, b, c, c, b, a}));
  TGIFSubImage& frame = *doc.Images()[0];
  frame.ApplyMask(MaskOf(3, 2, {{2, 0}, {0, 1}}));
  const int t = frame.GraphicControlExtension()->TransparentColorIndex();
  frame.FreeBitmap();
  frame.FreeMask();
  ProgressLog log;
  log.Attach(doc);
  TBitmap* bmp = frame.Bitmap();
  ASSERT_NE(bmp, nullptr);
  EXPECT_EQ(bmp->PixelFormat(), pf8bit);
  EXPECT_EQ(Indices(*bmp), FrameIndices(frame));
  ASSERT_EQ(bmp->Palette().size(), 256u);
  for (int i = 0; i < frame.ColorMap().Count(); ++i) {
    const TGIFColor& e = frame.ColorMap().Entry(i);
    EXPECT_EQ(bmp->Palette()[i], (TPaletteEntry{e.Red, e.Green, e.Blue, 0})) << i;
  }
  EXPECT_EQ(frame.Pixels(2, 0), t);
  ASSERT_NE(frame.Mask(), nullptr);
  EXPECT_FALSE(frame.NeedMask());
  EXPECT_EQ(frame.Mask()->PixelFormat(), pf1bit);
  EXPECT_EQ(frame.Mask()->ScanLine(0)[0], 0x20);
  EXPECT_EQ(frame.Mask()->ScanLine(1)[0], 0x80);
  const std::string m = gifmsg::ProgressRendering;
  EXPECT_EQ(log.calls, (std::vector<ProgressLog::Call>{{psStarting, 0, m}, {psRunning, 0, m}, {psEnding, 100, m}}));
  EXPECT_EQ(frame.Bitmap(), bmp) << "cached";
}

TEST(FrameBitmap, DitheredRenderingOntoTheCubeSkipsTransparentPixels) {
  // Width 10: the right-to-left second row starts at bit 0x40 of byte 1.
  const int w = 10, h = 3;
  std::mt19937 rng(77);
  auto pixels = RandomPixels(rng, w * h);
  TGIFImage doc;
  doc.SetColorReduction(ReduceNone);
  doc.SetDrawOptions(doFixedPalette);  // the fixed cube on any screen
  ASSERT_TRUE(doc.UsesFixedPalette());
  doc.Add(Make24(w, h, pixels));
  TGIFSubImage& frame = *doc.Images()[0];
  frame.ApplyMask(MaskOf(w, h, {{9, 1}, {4, 2}}));
  ASSERT_TRUE(frame.Transparent());
  const int t = frame.GraphicControlExtension()->TransparentColorIndex();
  frame.FreeBitmap();
  frame.FreeMask();
  TBitmap* bmp = frame.Bitmap();
  ASSERT_NE(bmp, nullptr);

  // The same walk by hand: transparent pixels keep the fill index, pass no error.
  const TGIFColor black = frame.ColorMap().Entry(t);
  const int fill = black.Blue / 51 + (12 * black.Green + 51) / 102 + (72 * black.Red + 51) / 102 + 1;
  TNetscapeColorLookup lookup;
  TFloydSteinbergDitherer engine(w, lookup);
  std::vector<uint8_t> want(size_t(w) * h);
  for (int y = 0; y < h; ++y) {
    for (int x = engine.CurrentColumn(); x >= 0 && x < w; x = engine.CurrentColumn()) {
      const uint8_t index = frame.Pixels(x, y);
      if (index == t) {
        want[size_t(y) * w + x] = uint8_t(fill);
        engine.SkipColumn();
        continue;
      }
      const TGIFColor& c = frame.ColorMap().Entry(index);
      uint8_t r, g, b;
      want[size_t(y) * w + x] = engine.DitherPixel(c.Red, c.Green, c.Blue, r, g, b);
    }
    engine.EndRow();
  }
  EXPECT_EQ(Indices(*bmp), want);
  EXPECT_EQ(fill, 1) << "black gives the fill index 1";
  ASSERT_EQ(bmp->Palette().size(), 256u);
  EXPECT_EQ(bmp->Palette()[215], (TPaletteEntry{255, 255, 255, 0})) << "the cube's table";

  ASSERT_NE(frame.Mask(), nullptr);
  const TBitmap& mask = *frame.Mask();
  EXPECT_EQ(mask.ScanLine(0)[0], 0);
  EXPECT_EQ(mask.ScanLine(0)[1], 0);
  EXPECT_EQ(mask.ScanLine(1)[0], 0);
  EXPECT_EQ(mask.ScanLine(1)[1], 0x40);
  EXPECT_EQ(mask.ScanLine(2)[0], 0x08);
  EXPECT_EQ(mask.ScanLine(2)[1], 0);
}

TEST(FrameBitmap, FrameWithoutAnyColoursFailsToRender) {
  TGIFImage doc;
  auto* frame = new TGIFSubImage(&doc);
  doc.Add(frame);
  frame->SetBounds(0, 0, 3, 3);
  ProgressLog log;
  log.Attach(doc);
  try {
    frame->Bitmap();
    FAIL() << "no exception";
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), gifmsg::NoColorTable);
  }
  EXPECT_FALSE(frame->HasBitmap());
  const std::string m = gifmsg::ProgressRendering;
  EXPECT_EQ(log.calls, (std::vector<ProgressLog::Call>{{psStarting, 0, m}, {psEnding, 0, m}}));
}

TEST(FrameBitmap, NoMaskWithoutTransparency) {
  TGIFImage doc;
  doc.Add(Make24(4, 4, std::vector<Rgb>(16, Rgb{0, 0, 0})));
  TGIFSubImage& frame = *doc.Images()[0];
  frame.FreeBitmap();
  ASSERT_NE(frame.Bitmap(), nullptr);
  EXPECT_EQ(frame.Mask(), nullptr);
  EXPECT_FALSE(frame.HasMask());
}

}  // namespace

namespace {

// Any bitmap format, size and reduction setting ends in a whole frame whose
// indices lie inside its colour map, or in a clear GIFException; the frame
// renders back to its own indices.
TEST(BitmapImport, GeneratedBitmapsOfEveryFormatAndSetting) {
  std::mt19937 rng(31337);
  const TPixelFormat formats[] = {pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit};
  std::uniform_int_distribution<int> size(1, 37), method(0, 10), dither(0, 7), bits(-2, 40);
  int frames = 0, refused = 0;
  for (int round = 0; round < 120; ++round) {
    const TPixelFormat pf = formats[round % 8];
    const int w = size(rng), h = size(rng);
    const int m = method(rng), d = dither(rng), n = bits(rng);
    SCOPED_TRACE("format " + std::to_string(pf) + " " + std::to_string(w) + " x " + std::to_string(h) +
                 " method " + std::to_string(m) + " dither " + std::to_string(d) + " bits " + std::to_string(n));
    TBitmap src = Make24(w, h, RandomPixels(rng, w * h));
    if (round % 5 == 0) {
      // Few colours, so that method 0 fits in a map.
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < 3 * w; ++x) src.ScanLine(y)[x] &= 0xC0;
    }
    src.SetPixelFormat(pf);
    TGIFImage doc;
    doc.SetColorReduction(static_cast<TColorReduction>(m));
    doc.SetDitherMode(static_cast<TDitherMode>(d));
    doc.SetReductionBits(n);
    try {
      doc.Add(src);
    } catch (const GIFException&) {
      ++refused;
      EXPECT_EQ(doc.Images().Count(), 0);
      continue;
    }
    ++frames;
    TGIFSubImage& frame = *doc.Images()[0];
    ASSERT_EQ(frame.Width(), w);
    ASSERT_EQ(frame.Height(), h);
    ASSERT_EQ(frame.DataSize(), w * h);
    const int count = frame.ColorMap().Count();
    ASSERT_GT(count, 0);
    for (uint8_t i : FrameIndices(frame)) ASSERT_LT(i, count);
    frame.FreeBitmap();
    TBitmap* rendered = frame.Bitmap();
    ASSERT_NE(rendered, nullptr);
    EXPECT_EQ(Indices(*rendered), FrameIndices(frame));
  }
  EXPECT_GT(frames, 60);
  EXPECT_GT(refused, 5);
}

}  // namespace
