// The shared colour map: which colours it keeps, in which order, the
// transparent entry, colours beyond 256, and how the frames are rewritten.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "gif/GIFImage.h"
#include "gif/optimize/ColorMapOptimizer.h"
#include "optimize/OptimizeTestKit.h"

namespace {

using namespace otest;

const RGB kBlack{0, 0, 0}, kWhite{255, 255, 255}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255};

std::vector<uint8_t> PixelsOf(TGIFSubImage* f) { return std::vector<uint8_t>(f->Data(), f->Data() + f->DataSize()); }

std::vector<RGB> GlobalOf(TGIFImage& doc) {
  std::vector<RGB> out;
  for (int i = 0; i < doc.GlobalColorMap().Count(); ++i) {
    const TGIFColor& c = doc.GlobalColorMap().Entry(i);
    out.push_back(RGB{c.Red, c.Green, c.Blue});
  }
  return out;
}

TEST(SharedColorMap, TwoFramesTwoTables) {
  TGIFImage doc;
  // black once, white three times; white twice, red twice.
  TGIFSubImage* a = AddFrame(doc, {.Width = 4, .Height = 1, .Pixels = {0, 1, 1, 1}, .Local = {kBlack, kWhite}});
  TGIFSubImage* b = AddFrame(doc, {.Width = 4, .Height = 1, .Pixels = {0, 1, 0, 1}, .Local = {kWhite, kRed}});
  const std::vector<Shown> want = Play(FromDocument(doc));
  doc.OptimizeColorMaps();

  EXPECT_EQ(GlobalOf(doc), (std::vector<RGB>{kWhite, kRed, kBlack}));  // 5, 2, 1 uses
  EXPECT_TRUE(doc.GlobalColorMap().Optimized());
  EXPECT_EQ(a->ColorMap().Count(), 0);
  EXPECT_EQ(b->ColorMap().Count(), 0);
  EXPECT_EQ(PixelsOf(a), (std::vector<uint8_t>{2, 0, 0, 0}));
  EXPECT_EQ(PixelsOf(b), (std::vector<uint8_t>{0, 1, 0, 1}));
  EXPECT_EQ("", CompareTimelines(want, Play(FromDocument(doc))));
}

// Equal uses keep the order the list quicksort gives: pruning reverses three
// equal entries, the colour sort leaves blue, green, red as they are (highest
// key first), and the use sort reverses them back. A stable sort would give
// blue, green, red.
TEST(SharedColorMap, TiesFollowTheListSort) {
  TGIFImage doc;
  AddFrame(doc, {.Width = 3, .Height = 1, .Pixels = {0, 1, 2}, .Local = {kRed, kGreen, kBlue}});
  doc.OptimizeColorMaps();
  EXPECT_EQ(GlobalOf(doc), (std::vector<RGB>{kRed, kGreen, kBlue}));
}

TEST(SharedColorMap, OnlyUsedEntriesOfAFullTable) {
  TGIFImage doc;
  std::vector<RGB> table;
  for (int i = 0; i < 256; ++i) table.push_back(RGB{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7});
  std::vector<uint8_t> pixels;
  for (int i = 0; i < 10; ++i) pixels.insert(pixels.end(), static_cast<size_t>(i + 1), static_cast<uint8_t>(i * 25));
  TGIFSubImage* f = AddFrame(doc, {.Width = static_cast<int>(pixels.size()), .Height = 1, .Pixels = pixels, .Local = table});
  doc.OptimizeColorMaps();
  ASSERT_EQ(doc.GlobalColorMap().Count(), 10);
  // Most used first: the colour of index 225 (10 uses) down to index 0 (1 use).
  for (int i = 0; i < 10; ++i) EXPECT_EQ(GlobalOf(doc)[static_cast<size_t>(i)], table[static_cast<size_t>((9 - i) * 25)]);
  EXPECT_EQ(f->Data()[0], 9);
  EXPECT_EQ(f->Data()[f->DataSize() - 1], 0);
}

TEST(SharedColorMap, EqualColoursOfAllTablesMeet) {
  TGIFImage doc;
  SetGlobal(doc, {kRed, kGreen, kRed});
  // Global frames use both reds; a local table has red and green again.
  TGIFSubImage* g = AddFrame(doc, {.Width = 4, .Height = 1, .Pixels = {0, 2, 2, 1}});
  TGIFSubImage* l = AddFrame(doc, {.Width = 3, .Height = 1, .Pixels = {0, 1, 1}, .Local = {kGreen, kRed}});
  doc.OptimizeColorMaps();
  EXPECT_EQ(GlobalOf(doc), (std::vector<RGB>{kRed, kGreen}));  // red 5, green 2
  EXPECT_EQ(PixelsOf(g), (std::vector<uint8_t>{0, 0, 0, 1}));
  EXPECT_EQ(PixelsOf(l), (std::vector<uint8_t>{1, 0, 0}));
}

TEST(SharedColorMap, TransparentEntryAtTheEnd) {
  TGIFImage doc;
  AddFrame(doc, {.Width = 3, .Height = 1, .Pixels = {0, 1, 1}, .Local = {kRed, kGreen}});
  // Index 0 (blue) is transparent and occurs; the white entry is the only colour.
  TGIFSubImage* t = AddFrame(doc, {.Width = 3, .Height = 1, .Pixels = {0, 1, 0}, .Local = {kBlue, kWhite}, .Transparent = 0});
  // Transparent colour that never occurs: the frame loses its transparency.
  TGIFSubImage* u = AddFrame(doc, {.Width = 2, .Height = 1, .Pixels = {1, 1}, .Local = {kBlue, kRed}, .Transparent = 0});
  const std::vector<Shown> want = Play(FromDocument(doc));
  doc.OptimizeColorMaps();

  EXPECT_EQ(GlobalOf(doc), (std::vector<RGB>{kRed, kGreen, kWhite, kBlack}));  // red 3, green 2, white 1, then black
  ASSERT_TRUE(t->Transparent());
  EXPECT_EQ(t->GraphicControlExtension()->TransparentColorIndex(), 3);
  EXPECT_EQ(PixelsOf(t), (std::vector<uint8_t>{3, 2, 3}));
  EXPECT_FALSE(u->Transparent());
  EXPECT_EQ(u->GraphicControlExtension()->TransparentColorIndex(), 0);
  EXPECT_EQ("", CompareTimelines(want, Play(FromDocument(doc))));
}

TEST(SharedColorMap, NoTransparentEntryWhenNoFrameShowsTransparency) {
  TGIFImage doc;
  TGIFSubImage* u = AddFrame(doc, {.Width = 2, .Height = 1, .Pixels = {1, 1}, .Local = {kBlue, kRed}, .Transparent = 0});
  doc.OptimizeColorMaps();
  EXPECT_EQ(GlobalOf(doc), (std::vector<RGB>{kRed}));
  EXPECT_FALSE(u->Transparent());
}

// 300 colours in two tables; colour i is used 2 + i times in the first 256
// and once in the last 44. Pure red is among the dropped ones, pure blue and
// (200, 0, 0) among the kept.
struct ManyColors {
  std::vector<RGB> Colors;
  std::vector<int> Uses;
};
ManyColors MakeManyColors(bool withRed) {
  ManyColors m;
  for (int i = 0; i < 300; ++i) {
    // Distinct, spread over the cube, away from pure red and blue.
    m.Colors.push_back(RGB{static_cast<uint8_t>((i * 37) % 251), static_cast<uint8_t>(20 + (i * 11) % 200),
                           static_cast<uint8_t>(10 + i / 2)});
    m.Uses.push_back(i < 256 ? 2 + i : 1);
  }
  m.Colors[100] = kBlue;
  m.Colors[0] = RGB{200, 0, 0};
  if (withRed) m.Colors[299] = kRed;
  return m;
}

TEST(SharedColorMap, ColoursBeyondTheLimitGoToTheNearestKept) {
  const ManyColors m = MakeManyColors(true);
  TGIFImage doc;
  // Colours 0..149 in the first table, 150..299 in the second.
  TGIFSubImage* frames[2];
  for (int part = 0; part < 2; ++part) {
    FrameSpec s;
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 150; ++i) {
      s.Local.push_back(m.Colors[static_cast<size_t>(part * 150 + i)]);
      pixels.insert(pixels.end(), static_cast<size_t>(m.Uses[static_cast<size_t>(part * 150 + i)]), static_cast<uint8_t>(i));
    }
    s.Width = static_cast<int>(pixels.size());
    s.Height = 1;
    s.Pixels = pixels;
    frames[part] = AddFrame(doc, s);
  }
  doc.OptimizeColorMaps();

  const std::vector<RGB> table = GlobalOf(doc);
  ASSERT_EQ(table.size(), 256u);
  // Most used first: colour 255 (257 uses) down to colour 0 (2 uses).
  for (int i = 0; i < 256; ++i) ASSERT_EQ(table[static_cast<size_t>(i)], m.Colors[static_cast<size_t>(255 - i)]) << i;

  // Every pixel of a dropped colour shows the kept colour nearest by the sum
  // of absolute differences (ties: the lower index).
  auto nearest = [&](const RGB& c) {
    int best = 1 << 30, index = -1;
    for (int j = 0; j < 256; ++j) {
      const RGB& k = table[static_cast<size_t>(j)];
      const int d = std::abs(k.R - c.R) + std::abs(k.G - c.G) + std::abs(k.B - c.B);
      if (d < best) best = d, index = j;
    }
    return index;
  };
  TGIFSubImage* second = frames[1];
  const int droppedStart = second->DataSize() - 44;  // the last 44 pixels, one per dropped colour
  for (int i = 0; i < 44; ++i) {
    const RGB& c = m.Colors[static_cast<size_t>(256 + i)];
    EXPECT_EQ(int{second->Data()[droppedStart + i]}, nearest(c)) << "colour " << 256 + i;
  }
  // Red goes to (200, 0, 0), not to blue (whose summed differences cancel out).
  EXPECT_EQ(table[second->Data()[second->DataSize() - 1]], (RGB{200, 0, 0}));
}

TEST(SharedColorMap, AtMost255ColoursBesideTheTransparentEntry) {
  const ManyColors m = MakeManyColors(false);
  TGIFImage doc;
  for (int part = 0; part < 2; ++part) {
    FrameSpec s;
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 150; ++i) {
      s.Local.push_back(m.Colors[static_cast<size_t>(part * 150 + i)]);
      pixels.insert(pixels.end(), static_cast<size_t>(m.Uses[static_cast<size_t>(part * 150 + i)]), static_cast<uint8_t>(i));
    }
    s.Local.push_back(kBlack);
    pixels.push_back(150);
    s.Transparent = 150;
    s.Width = static_cast<int>(pixels.size());
    s.Height = 1;
    s.Pixels = pixels;
    AddFrame(doc, s);
  }
  doc.OptimizeColorMaps();
  const std::vector<RGB> table = GlobalOf(doc);
  ASSERT_EQ(table.size(), 256u);
  EXPECT_EQ(table[254], m.Colors[1]);  // colour 0, the least used of the first 256, is dropped
  EXPECT_EQ(table[255], kBlack);
  for (int i = 0; i < 2; ++i) EXPECT_EQ(doc.Images()[i]->GraphicControlExtension()->TransparentColorIndex(), 255);
}

TEST(SharedColorMap, PixelOutsideItsTableBecomesColourZero) {
  TGIFImage doc;
  WarningLog log;
  log.Attach(doc);
  TGIFSubImage* f = AddFrame(doc, {.Width = 4, .Height = 1, .Pixels = {1, 7, 2, 3}, .Local = {kRed, kGreen, kBlue, kWhite}});
  doc.OptimizeColorMaps();
  ASSERT_EQ(log.Messages.size(), 1u);
  EXPECT_EQ(log.Messages[0], gifmsg::InvalidColor);
  // Red (the 7, now 0) is counted once like each other colour; ties order
  // the four as the list sort leaves them, but the 7 shows red.
  const std::vector<RGB> table = GlobalOf(doc);
  ASSERT_EQ(table.size(), 4u);
  EXPECT_EQ(table[f->Data()[1]], kRed);
  EXPECT_EQ(table[f->Data()[0]], kGreen);
}

TEST(SharedColorMap, NothingToCount) {
  TGIFImage empty;
  SetGlobal(empty, {kRed});
  empty.OptimizeColorMaps();
  EXPECT_EQ(empty.GlobalColorMap().Count(), 0);

  TGIFImage sizeless;
  TGIFSubImage* f = AddFrame(sizeless, {.Width = 0, .Height = 0, .Local = {kRed}});
  sizeless.OptimizeColorMaps();
  EXPECT_EQ(sizeless.GlobalColorMap().Count(), 0);
  EXPECT_EQ(f->ColorMap().Count(), 0);
}

TEST(SharedColorMap, GlobalAndLocalFramesTogether) {
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    TGIFImage doc;
    GenerateAnimation(rng, doc);
    const std::vector<Shown> want = Play(FromDocument(doc));
    doc.OptimizeColorMaps();
    // One table for everything; no colour twice except the transparent black.
    for (int i = 0; i < doc.Images().Count(); ++i) ASSERT_EQ(doc.Images()[i]->ColorMap().Count(), 0);
    std::map<uint32_t, int> seen;
    const std::vector<RGB> table = GlobalOf(doc);
    bool transparent = false;
    for (int i = 0; i < doc.Images().Count(); ++i) transparent = transparent || doc.Images()[i]->Transparent();
    for (size_t i = 0; i + (transparent ? 1 : 0) < table.size(); ++i)
      ASSERT_EQ(seen[(uint32_t{table[i].R} << 16) | (table[i].G << 8) | table[i].B]++, 0) << "entry " << i;
    ASSERT_EQ("", CompareTimelines(want, Play(FromDocument(doc))));
  }
}

TEST(Histogram, CountsPrunesAndReportsTransparency) {
  TGIFImage doc;
  TGIFSubImage* f = AddFrame(doc, {.Width = 6, .Height = 1, .Pixels = {3, 3, 0, 3, 4, 4},
                                   .Local = {kRed, kGreen, kBlue, kWhite, kBlack}, .Transparent = 4});
  THistogram h(f->ColorMap());
  EXPECT_EQ(h.UsedCount(), 5);
  EXPECT_TRUE(h.CountFrame(*f));
  EXPECT_EQ(h.EntryArray()[3].Uses, 3);
  EXPECT_EQ(h.EntryArray()[0].Uses, 1);
  EXPECT_EQ(h.EntryArray()[4].Uses, 0);  // transparent pixels are not counted
  EXPECT_EQ(h.Prune(), 2);
  ASSERT_EQ(h.EntryList().size(), 2u);
  EXPECT_EQ(h.EntryList()[0]->OldIndex, 3);
  EXPECT_EQ(h.EntryList()[1]->OldIndex, 0);
  for (int i : {1, 2, 4}) EXPECT_EQ(h.EntryArray()[static_cast<size_t>(i)].Uses, -1) << i;
  EXPECT_EQ(h.EntryArray()[1].NewIndex, 256);
  ASSERT_EQ(h.CountedFrames().size(), 1u);
  EXPECT_TRUE(f->Transparent());

  // A frame of no size is not counted at all.
  TGIFSubImage* empty = AddFrame(doc, {.Width = 0, .Height = 0, .Local = {kRed}});
  THistogram e(empty->ColorMap());
  EXPECT_FALSE(e.CountFrame(*empty));
  EXPECT_TRUE(e.CountedFrames().empty());
}

TEST(ColorMapOptimizer, ComparisonsOrderMostUsedAndHighestKeyFirst) {
  THistogramEntry a, b;
  a.Uses = 5;
  b.Uses = 9;
  EXPECT_GT(TColorMapOptimizer::CompareByUse(&a, &b), 0);
  EXPECT_LT(TColorMapOptimizer::CompareByUse(&b, &a), 0);
  a.Uses = 2147483647;
  b.Uses = 0;
  EXPECT_LT(TColorMapOptimizer::CompareByUse(&a, &b), 0);  // no overflow
  a.Key = 0x0000FF;
  b.Key = 0xFF0000;
  EXPECT_GT(TColorMapOptimizer::CompareByColor(&a, &b), 0);
}

}  // namespace
