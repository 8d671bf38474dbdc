// Colour maps: table padding, growth, overflow, lookup direction, imports,
// and sorting by use with its pixel remap and truncation.
#include <gtest/gtest.h>

#include "gif/GIFImage.h"
#include "GifTestUtil.h"

using namespace giftest;

namespace {

Bytes Written(TGIFColorMap& map) {
  TMemoryStream s;
  map.SaveToStream(s);
  return StreamBytes(s);
}

TEST(ColorMap, TableIsPaddedToAPowerOfTwo) {
  struct Case {
    int colors, entries, bits;
  };
  const Case cases[] = {{0, 0, 0}, {1, 2, 1}, {2, 2, 1}, {3, 4, 2}, {5, 8, 3}, {129, 256, 8}, {200, 256, 8}, {256, 256, 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.colors);
    TGIFLocalColorMap map(nullptr);
    for (int i = 0; i < c.colors; ++i) map.Add(RGBColor(static_cast<uint8_t>(i), 1, 2));
    EXPECT_EQ(map.BitsPerPixel(), c.bits);
    const Bytes b = Written(map);
    ASSERT_EQ(b.size(), static_cast<size_t>(c.entries * 3));
    for (int i = 0; i < c.colors; ++i) EXPECT_EQ(b[static_cast<size_t>(i * 3)], i);
    for (size_t i = static_cast<size_t>(c.colors * 3); i < b.size(); ++i) EXPECT_EQ(b[i], 0) << "pad byte " << i;
  }
}

TEST(ColorMap, CapacityGrowsInSteps) {
  TGIFLocalColorMap map(nullptr);
  std::vector<int> capacities;
  for (int i = 0; i < 256; ++i) {
    map.Add(clBlack);
    if (capacities.empty() || capacities.back() != map.Capacity()) capacities.push_back(map.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<int>{16, 32, 64, 96, 128, 160, 192, 224, 256}));
  ExpectError<GIFException>([&] { map.Add(clWhite); }, gifmsg::TooManyColors);
  EXPECT_EQ(map.Count(), 256);
  EXPECT_EQ(Written(map).size(), 768u);
}

TEST(ColorMap, IndexOfDirectionAndLowThreeBytes) {
  TGIFLocalColorMap map(nullptr);
  for (TColor c : {clRed, clLime, clBlue, clWhite, clBlack, clAqua, clFuchsia, clBlue}) map.Add(c);
  EXPECT_EQ(map.IndexOf(clBlue), 7);  // unsorted: the latest duplicate
  map.SetOptimized(true);
  EXPECT_EQ(map.IndexOf(clBlue), 2);  // sorted: the first
  EXPECT_EQ(map.IndexOf(clYellow), -1);
  // A system colour value is taken by its low three bytes, unresolved.
  const int i = map.Add(clBtnFace);
  EXPECT_EQ(map.IndexOf(clBtnFace), i);
  EXPECT_EQ(map.Colors(i), 0x00000F);
  EXPECT_EQ(map.AddUnique(clRed), 0);
  EXPECT_EQ(map.AddUnique(clYellow), 9);
}

TEST(ColorMap, ColorsOutOfRangeWarnsAndUsesEntryZero) {
  TGIFImage doc;
  Warnings w(doc);
  TGIFSubImage* f = AddFrame(doc, 1, 1, {clRed, clLime, clBlue});
  EXPECT_EQ(f->ColorMap().Colors(5), clRed);
  EXPECT_EQ(f->ColorMap().Colors(-1), clRed);
  EXPECT_EQ(w.Messages(), (std::vector<std::string>{gifmsg::BadColorIndex, gifmsg::BadColorIndex}));
  EXPECT_EQ(w.List[0].first, &f->ColorMap());
  ExpectError<GIFException>([&] { doc.GlobalColorMap().Colors(0); }, gifmsg::EmptyColorMap);
  EXPECT_EQ(w.List.back().first, &doc.GlobalColorMap());
}

TEST(ColorMap, DeleteAndBadIndex) {
  TGIFLocalColorMap map(nullptr);
  for (TColor c : {clRed, clLime, clBlue}) map.Add(c);
  map.SetOptimized(true);
  map.Delete(1);
  EXPECT_EQ(map.Count(), 2);
  EXPECT_EQ(map.Colors(1), clBlue);
  EXPECT_FALSE(map.Optimized());
  ExpectError<GIFException>([&] { map.Delete(2); }, gifmsg::BadColorIndex);
  ExpectError<GIFException>([&] { map.Delete(-1); }, gifmsg::BadColorIndex);
  EXPECT_EQ(map.Count(), 2);
}

TEST(ColorMap, Imports) {
  TGIFLocalColorMap map(nullptr);
  const uint8_t quads[] = {1, 2, 3, 0, 4, 5, 6, 0};  // blue, green, red, reserved
  map.ImportColorTable(quads, 2);
  ASSERT_EQ(map.Count(), 2);
  EXPECT_EQ(map.Colors(0), RGBColor(3, 2, 1));
  EXPECT_EQ(map.Colors(1), RGBColor(6, 5, 4));
  map.ImportColorTable(quads, 0);
  EXPECT_EQ(map.Count(), 0);

  TPalette pal({{10, 20, 30, 0}, {40, 50, 60, 0}, {70, 80, 90, 0}});
  map.ImportPalette(pal);
  EXPECT_EQ(map.Count(), 3);
  EXPECT_EQ(map.Colors(2), RGBColor(70, 80, 90));
  auto back = map.ExportPalette();
  ASSERT_NE(back, nullptr);
  ASSERT_EQ(back->Count(), 3);
  EXPECT_EQ((*back)[1], (TPaletteEntry{40, 50, 60, PC_NOCOLLAPSE}));

  // From its own entries: they are copied aside before the map is cleared.
  map.ImportColors(map.Data(), 2);
  EXPECT_EQ(map.Count(), 2);
  EXPECT_EQ(map.Colors(1), RGBColor(40, 50, 60));

  TBitmap bmp(2, 2, pf8bit);
  bmp.SetPalette({{1, 2, 3, 0}, {4, 5, 6, 0}});
  map.ImportDIBColors(bmp);
  EXPECT_GE(map.Count(), 2);
  EXPECT_EQ(map.Colors(1), RGBColor(4, 5, 6));

  TGIFLocalColorMap copy(nullptr);
  map.SetOptimized(true);
  copy.Assign(map);
  EXPECT_EQ(copy.Count(), map.Count());
  EXPECT_EQ(copy.Capacity(), map.Capacity());
  EXPECT_TRUE(copy.Optimized());
  EXPECT_EQ(copy.Colors(0), map.Colors(0));
}

TEST(ColorMap, LoadReadsExactlyTheEntries) {
  TGIFLocalColorMap map(nullptr);
  TMemoryStream s;
  Fill(s, {1, 2, 3, 4, 5, 6, 7});
  map.LoadFromStream(s, 2);
  EXPECT_EQ(map.Count(), 2);
  EXPECT_FALSE(map.Optimized());
  EXPECT_EQ(s.Position(), 6);
  s.SetPosition(0);
  ExpectError<GIFException>([&] { map.LoadFromStream(s, 4); }, gifmsg::OutOfData);
}

// Sorting by use: most used first, unused ones dropped, pixels remapped.
TEST(ColorMap, OptimizeSortsByUseAndDropsUnused) {
  TGIFImage doc;
  // Colour 2 five times, colour 0 three times, 1 and 3 never.
  TGIFSubImage* f = AddFrame(doc, 8, 1, {clRed, clLime, clBlue, clWhite}, {2, 0, 2, 0, 2, 0, 2, 2});
  auto* gce = new TGIFGraphicControlExtension(f);
  f->Extensions().Add(gce);
  gce->SetTransparent(true);
  gce->SetTransparentColorIndex(0);
  EXPECT_TRUE(f->ColorMap().Optimize());
  EXPECT_TRUE(f->ColorMap().Optimized());
  ASSERT_EQ(f->ColorMap().Count(), 2);
  EXPECT_EQ(f->ColorMap().Colors(0), clBlue);
  EXPECT_EQ(f->ColorMap().Colors(1), clRed);
  EXPECT_EQ(Bytes(f->Data(), f->Data() + 8), (Bytes{0, 1, 0, 1, 0, 1, 0, 0}));
  EXPECT_EQ(gce->TransparentColorIndex(), 1);
}

TEST(ColorMap, OptimizeOfSortedMapChangesNothing) {
  TGIFImage doc;
  TGIFSubImage* f = AddFrame(doc, 6, 1, {clRed, clLime, clBlue, clWhite}, {0, 0, 0, 1, 1, 2});
  EXPECT_TRUE(f->ColorMap().Optimize());
  EXPECT_TRUE(f->ColorMap().Optimized());
  EXPECT_EQ(f->ColorMap().Count(), 4);  // colour 3, unused, stays
  EXPECT_EQ(Bytes(f->Data(), f->Data() + 6), (Bytes{0, 0, 0, 1, 1, 2}));
}

TEST(ColorMap, OptimizeTieOrderFollowsTheQuicksort) {
  // Equal counts keep the order the middle-pivot quicksort leaves. Counts
  // by colour (1, 2, 1, 2); pivot 2 (entry 1). I stops at 0, J at 3: swap ->
  // colours (3, 1, 2, 0); I = 1, J = 2; J moves to 1; swap 1 with itself;
  // I = 2, J = 0. Right part [2, 3], pivot 1: swap -> (3, 1, 0, 2).
  TGIFImage doc;
  TGIFSubImage* f = AddFrame(doc, 6, 1, {clRed, clLime, clBlue, clWhite}, {0, 1, 1, 2, 3, 3});
  EXPECT_TRUE(f->ColorMap().Optimize());
  ASSERT_EQ(f->ColorMap().Count(), 4);
  EXPECT_EQ(f->ColorMap().Colors(0), clWhite);
  EXPECT_EQ(f->ColorMap().Colors(1), clLime);
  EXPECT_EQ(f->ColorMap().Colors(2), clRed);
  EXPECT_EQ(f->ColorMap().Colors(3), clBlue);
  EXPECT_EQ(Bytes(f->Data(), f->Data() + 6), (Bytes{2, 1, 1, 3, 0, 0}));
}

TEST(ColorMap, GlobalOptimizeCountsEveryFrameThatUsesIt) {
  TGIFImage doc;
  EXPECT_FALSE(doc.GlobalColorMap().Optimize());  // no frames
  for (TColor c : {clRed, clLime, clBlue}) doc.GlobalColorMap().Add(c);
  EXPECT_FALSE(doc.GlobalColorMap().Optimize());
  EXPECT_FALSE(doc.GlobalColorMap().Optimized());
  TGIFSubImage* a = AddFrame(doc, 2, 1, {}, {2, 1});
  TGIFSubImage* b = AddFrame(doc, 2, 1, {}, {2, 2});
  TGIFSubImage* own = AddFrame(doc, 2, 1, {clBlack, clWhite}, {1, 1});  // has its own map
  EXPECT_TRUE(doc.GlobalColorMap().Optimize());
  EXPECT_EQ(doc.GlobalColorMap().Count(), 2);
  EXPECT_EQ(doc.GlobalColorMap().Colors(0), clBlue);
  EXPECT_EQ(Bytes(a->Data(), a->Data() + 2), (Bytes{0, 1}));
  EXPECT_EQ(Bytes(b->Data(), b->Data() + 2), (Bytes{0, 0}));
  EXPECT_EQ(Bytes(own->Data(), own->Data() + 2), (Bytes{1, 1}));
}

// A colour change drops the palette built from the map.
TEST(ColorMap, ChangeDropsThePalette) {
  TGIFImage doc;
  TGIFSubImage* f = AddFrame(doc, 1, 1, {clRed, clLime});
  const TPalette* p = f->Palette();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->Count(), 2);
  f->ColorMap().Add(clBlue);
  p = f->Palette();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->Count(), 3);

  doc.GlobalColorMap().Add(clWhite);
  ASSERT_NE(doc.Palette(), nullptr);
  EXPECT_EQ(doc.Palette()->Count(), 1);
  doc.GlobalColorMap().Add(clBlack);
  EXPECT_EQ(doc.Palette()->Count(), 2);
}

}  // namespace
