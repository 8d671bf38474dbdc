// Frame optimisation, case by case: merge, crop, cleanup, the colour map
// option, the reduction check and the progress reports.
#include <gtest/gtest.h>

#include <utility>

#include "gif/GIFImage.h"
#include "optimize/OptimizeTestKit.h"

namespace {

using namespace otest;

const RGB kBlack{0, 0, 0}, kWhite{255, 255, 255}, kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255};

std::vector<uint8_t> Fill(int n, uint8_t v) { return std::vector<uint8_t>(static_cast<size_t>(n), v); }
std::vector<uint8_t> PixelsOf(TGIFSubImage* f) { return std::vector<uint8_t>(f->Data(), f->Data() + f->DataSize()); }

void Optimize(TGIFImage& doc, TGIFOptimizeOptions options) { doc.Optimize(options, ReduceNone, DitherNone, 0); }

// --- Merge

TEST(Merge, TwoIdenticalOpaqueFramesOnTheGlobalMap) {
  TGIFImage doc;
  SetGlobal(doc, {kRed, kGreen, kBlue});
  const std::vector<uint8_t> pixels = {0, 1, 2, 1, 0, 2};
  AddFrame(doc, {.Width = 3, .Height = 2, .Pixels = pixels, .Delay = 10});
  TGIFSubImage* second = AddFrame(doc, {.Width = 3, .Height = 2, .Pixels = pixels, .Delay = 25});
  Optimize(doc, foMerge);

  // A black entry appended to the global map becomes the transparent colour.
  ASSERT_EQ(doc.GlobalColorMap().Count(), 4);
  EXPECT_EQ(doc.GlobalColorMap().Colors(3), clBlack);
  EXPECT_TRUE(second->Transparent());
  EXPECT_EQ(second->GraphicControlExtension()->TransparentColorIndex(), 3);
  EXPECT_EQ(PixelsOf(second), Fill(6, 3));
  EXPECT_EQ(PixelsOf(doc.Images()[0]), pixels);

  // Cropping then drops the empty frame; its time stays with the first one.
  Optimize(doc, foCrop);
  ASSERT_EQ(doc.Images().Count(), 1);
  EXPECT_EQ(doc.Images()[0]->GraphicControlExtension()->Delay(), 35);
}

TEST(Merge, OnlyPixelsThatShowTheSameColourBecomeTransparent) {
  // Different tables, different indexes, equal colours: compared by colour.
  TGIFImage doc;
  AddFrame(doc, {.Width = 4, .Height = 1, .Pixels = {0, 1, 2, 0}, .Local = {kRed, kGreen, kBlue}});
  // red, white, blue, blue over red, green, blue, red.
  TGIFSubImage* top = AddFrame(doc, {.Width = 4, .Height = 1, .Pixels = {0, 2, 1, 1}, .Local = {kRed, kBlue, kWhite}});
  Optimize(doc, foMerge);
  // Red over red and blue over blue go; white over green and blue over red stay.
  ASSERT_EQ(top->ColorMap().Count(), 4);
  EXPECT_EQ(PixelsOf(top), (std::vector<uint8_t>{3, 2, 3, 1}));
  EXPECT_EQ(top->GraphicControlExtension()->TransparentColorIndex(), 3);
  EXPECT_EQ(top->ColorMap().Colors(3), clBlack);
}

TEST(Merge, LeavesTheFrameAloneWhen) {
  struct Case {
    const char* Name;
    int BelowDisposal;
    bool FullMap;
  };
  const Case cases[] = {
      {"the frame beneath restores to background", 2, false},
      {"the frame beneath restores to previous and is the first", 3, false},
      {"the frame's own map is full and it is not transparent", 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TGIFImage doc;
    std::vector<RGB> table = {kRed, kGreen};
    if (c.FullMap)
      while (table.size() < 256) table.push_back(RGB{1, 2, static_cast<uint8_t>(table.size())});
    AddFrame(doc, {.Width = 2, .Height = 2, .Pixels = {0, 1, 1, 0}, .Local = table, .Disposal = c.BelowDisposal});
    TGIFSubImage* top = AddFrame(doc, {.Width = 2, .Height = 2, .Pixels = {0, 1, 1, 0}, .Local = table});
    Optimize(doc, foMerge);
    EXPECT_FALSE(top->Transparent());
    EXPECT_EQ(PixelsOf(top), (std::vector<uint8_t>{0, 1, 1, 0}));
    EXPECT_EQ(top->ColorMap().Count(), static_cast<int>(table.size()));
  }
}

TEST(Merge, SkipsFramesThatRestoreToPrevious) {
  TGIFImage doc;
  SetGlobal(doc, {kRed, kGreen, kBlue});
  AddFrame(doc, {.Width = 3, .Height = 1, .Pixels = {0, 1, 2}});
  AddFrame(doc, {.Width = 3, .Height = 1, .Pixels = {2, 2, 2}, .Disposal = 3});
  AddFrame(doc, {.Width = 3, .Height = 1, .Pixels = {1, 1, 1}, .Disposal = 3});
  TGIFSubImage* last = AddFrame(doc, {.Width = 3, .Height = 1, .Pixels = {0, 2, 2}});
  Optimize(doc, foMerge);
  // Compared with frame 0, not with the blue or green frames in between.
  EXPECT_EQ(PixelsOf(last), (std::vector<uint8_t>{3, 2, 3}));
}

TEST(Merge, TransparentPixelsOnEitherSideAreNotCompared) {
  TGIFImage doc;
  SetGlobal(doc, {kRed, kGreen, kBlue, kBlack});
  // Beneath: index 1 (green) is its transparent colour.
  AddFrame(doc, {.Width = 4, .Height = 1, .Pixels = {0, 1, 2, 2}, .Transparent = 1});
  // On top: index 2 (blue) is its transparent colour; it shows green where
  // the frame beneath is transparent, so that pixel must stay.
  TGIFSubImage* top = AddFrame(doc, {.Width = 4, .Height = 1, .Pixels = {0, 1, 2, 2}, .Transparent = 2});
  Optimize(doc, foMerge);
  EXPECT_EQ(PixelsOf(top), (std::vector<uint8_t>{2, 1, 2, 2}));
  EXPECT_EQ(doc.GlobalColorMap().Count(), 4);  // nothing added: it was transparent already
}

TEST(Merge, TransparentIndexOutsideTheTableIsLeftAlone) {
  // Merging would write an index that the saved table cannot hold.
  TGIFImage doc;
  SetGlobal(doc, {kRed, kGreen});
  AddFrame(doc, {.Width = 2, .Height = 1, .Pixels = {0, 1}});
  TGIFSubImage* top = AddFrame(doc, {.Width = 2, .Height = 1, .Pixels = {0, 1}, .Transparent = 1});
  top->GraphicControlExtension()->SetTransparentColorIndex(1);
  doc.GlobalColorMap().Delete(1);  // the table shrinks under the frame
  Optimize(doc, foMerge);
  EXPECT_EQ(PixelsOf(top), (std::vector<uint8_t>{0, 1}));
}

TEST(Merge, OnlyTheOverlapIsCompared) {
  TGIFImage doc;
  SetGlobal(doc, {kRed, kGreen});
  AddFrame(doc, {.Left = 0, .Top = 0, .Width = 2, .Height = 2, .Pixels = {0, 0, 0, 0}});
  TGIFSubImage* top = AddFrame(doc, {.Left = 1, .Top = 1, .Width = 2, .Height = 2, .Pixels = {0, 0, 0, 0}});
  Optimize(doc, foMerge);
  EXPECT_EQ(PixelsOf(top), (std::vector<uint8_t>{2, 0, 0, 0}));
}

TEST(PickTransparentIndex, SharesOneEntryOnTheGlobalMapButNotAColourInUse) {
  TGIFImage doc;
  SetGlobal(doc, {kRed, kGreen, kBlue});
  AddFrame(doc, {.Width = 2, .Height = 1, .Pixels = {0, 2}, .Transparent = 2});
  TGIFSubImage* user = AddFrame(doc, {.Width = 2, .Height = 1, .Pixels = {0, 1}});
  TGIFSubImage* clean = AddFrame(doc, {.Width = 2, .Height = 1, .Pixels = {0, 0}});
  EXPECT_TRUE(user->CanAddColor());
  // Index 2 is the first frame's transparent colour and no pixel of `clean`.
  EXPECT_EQ(clean->PickTransparentIndex(), 2);
  EXPECT_EQ(doc.GlobalColorMap().Count(), 3);
  // A frame that shows blue cannot borrow it: a new black entry instead.
  TGIFSubImage* blue = AddFrame(doc, {.Width = 2, .Height = 1, .Pixels = {2, 0}});
  EXPECT_EQ(blue->PickTransparentIndex(), 3);
  EXPECT_EQ(doc.GlobalColorMap().Count(), 4);
  EXPECT_EQ(doc.GlobalColorMap().Colors(3), clBlack);
}

TEST(CanAddColor, DependsOnTheTableTheFrameUses) {
  TGIFImage doc;
  TGIFSubImage* none = AddFrame(doc, {.Width = 1, .Height = 1, .Pixels = {0}});
  EXPECT_FALSE(none->CanAddColor());
  std::vector<RGB> full;
  for (int i = 0; i < 256; ++i) full.push_back(RGB{static_cast<uint8_t>(i), 0, 0});
  SetGlobal(doc, full);
  EXPECT_FALSE(none->CanAddColor());
  TGIFSubImage* local = AddFrame(doc, {.Width = 1, .Height = 1, .Pixels = {0}, .Local = {kRed}});
  EXPECT_TRUE(local->CanAddColor());
  doc.GlobalColorMap().Delete(255);
  EXPECT_TRUE(none->CanAddColor());
}

// --- Crop

TEST(Crop, TrimsToTheOnlyOpaquePixel) {
  TGIFImage doc;
  SetGlobal(doc, {kRed, kGreen});
  AddFrame(doc, {.Width = 130, .Height = 70, .Pixels = Fill(130 * 70, 0)});
  std::vector<uint8_t> pixels = Fill(20 * 10, 1);
  pixels[7 * 20 + 5] = 0;
  TGIFSubImage* f = AddFrame(doc, {.Left = 100, .Top = 50, .Width = 20, .Height = 10, .Pixels = pixels, .Transparent = 1});
  Optimize(doc, foCrop);
  EXPECT_EQ(f->Left(), 105);
  EXPECT_EQ(f->Top(), 57);
  EXPECT_EQ(f->Width(), 1);
  EXPECT_EQ(f->Height(), 1);
  EXPECT_EQ(f->DataSize(), 1);
  EXPECT_EQ(f->Data()[0], 0);
  EXPECT_EQ(doc.Width(), 130);
}

TEST(Crop, KeepsInnerTransparentPixelsAndTheScreen) {
  TGIFImage doc;
  SetGlobal(doc, {kRed, kGreen});
  // Columns 0 and 4 and the last row are clear; the hole at (2, 1) stays.
  const std::vector<uint8_t> pixels = {1, 0, 0, 0, 1,  //
                                       1, 0, 1, 0, 1,  //
                                       1, 1, 1, 1, 1};
  TGIFSubImage* f = AddFrame(doc, {.Width = 5, .Height = 3, .Pixels = pixels, .Transparent = 1});
  Optimize(doc, foCrop);
  EXPECT_EQ(f->BoundsRect().Left, 1);
  EXPECT_EQ(f->Width(), 3);
  EXPECT_EQ(f->Height(), 2);
  EXPECT_EQ(PixelsOf(f), (std::vector<uint8_t>{0, 0, 0, 0, 1, 0}));
  EXPECT_EQ(doc.Width(), 5);
  EXPECT_EQ(doc.Height(), 3);
}

TEST(Crop, LeavesOpaqueFramesAlone) {
  TGIFImage doc;
  SetGlobal(doc, {kRed, kGreen});
  // A uniform border, but no transparency: nothing to trim.
  TGIFSubImage* f = AddFrame(doc, {.Width = 3, .Height = 3, .Pixels = {1, 1, 1, 1, 0, 1, 1, 1, 1}});
  Optimize(doc, foCrop);
  EXPECT_EQ(f->Width(), 3);
  EXPECT_EQ(f->Height(), 3);
}

// An empty transparent frame goes; its time goes to the frame before, which
// stays on screen meanwhile. Where that would change what is seen, a
// one-pixel frame keeps its place instead.
TEST(Crop, FullyTransparentFrame) {
  struct Case {
    const char* Name;
    bool PreviousControl;
    int PreviousDelay;
    int PreviousDisposal;
    bool PreviousTransparent;
    int Delay;
    int WantFrames;
    int WantPreviousDelay;
  };
  const Case cases[] = {
      {"after an opaque frame", true, 10, 0, false, 25, 1, 35},
      {"after a transparent frame", true, 10, 1, true, 25, 1, 35},
      {"after a frame without control block", false, 0, 0, false, 25, 1, 25},
      {"sum saturates", true, 65000, 0, false, 1000, 1, 65535},
      {"after a frame restored to background", true, 10, 2, false, 25, 2, 10},
      {"after a frame restored to previous", true, 10, 3, false, 25, 2, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TGIFImage doc;
    SetGlobal(doc, {kRed, kGreen});
    FrameSpec first{.Width = 2, .Height = 2, .Pixels = {0, 0, 0, 0}, .Control = c.PreviousControl,
                    .Delay = c.PreviousDelay, .Disposal = c.PreviousDisposal};
    if (c.PreviousTransparent) first.Transparent = 1;
    TGIFSubImage* previous = AddFrame(doc, first);
    AddFrame(doc, {.Left = 1, .Top = 1, .Width = 1, .Height = 1, .Pixels = {1}, .Delay = c.Delay, .Transparent = 1});
    const std::vector<Shown> want = Play(FromDocument(doc));
    Optimize(doc, foCrop);
    ASSERT_EQ(doc.Images().Count(), c.WantFrames);
    ASSERT_NE(previous->GraphicControlExtension(), nullptr);
    EXPECT_EQ(previous->GraphicControlExtension()->Delay(), c.WantPreviousDelay);
    if (c.WantFrames == 2) {
      EXPECT_EQ(doc.Images()[1]->Width(), 1);
      EXPECT_EQ(doc.Images()[1]->GraphicControlExtension()->Delay(), c.Delay);
    }
    if (c.PreviousDelay + c.Delay <= 65535) {
      EXPECT_EQ("", CompareTimelines(want, Play(FromDocument(doc))));
    }
  }
}

TEST(Crop, FirstFrameKeepsItsPlaceAndLoopingBlock) {
  TGIFImage doc;
  SetGlobal(doc, {kRed, kGreen});
  TGIFSubImage* first = AddFrame(doc, {.Left = 2, .Top = 3, .Width = 4, .Height = 2, .Pixels = Fill(8, 1), .Delay = 40, .Transparent = 1});
  first->Extensions().Insert(0, std::make_unique<TGIFAppExtNSLoop>(first));
  AddFrame(doc, {.Width = 6, .Height = 5, .Pixels = Fill(30, 0)});
  Optimize(doc, foCrop);
  ASSERT_EQ(doc.Images().Count(), 2);
  EXPECT_EQ(first->Width(), 1);
  EXPECT_EQ(first->Height(), 1);
  EXPECT_EQ(first->Left(), 2);
  EXPECT_EQ(first->Top(), 3);
  EXPECT_EQ(first->Extensions().Count(), 2);
  EXPECT_EQ(first->GraphicControlExtension()->Delay(), 40);
}

TEST(Crop, FramesRestoredToBackgroundKeepTheirRectangle) {
  TGIFImage doc;
  SetGlobal(doc, {kRed, kGreen});
  AddFrame(doc, {.Width = 3, .Height = 3, .Pixels = Fill(9, 0)});
  TGIFSubImage* f = AddFrame(doc, {.Width = 3, .Height = 3, .Pixels = {1, 1, 1, 1, 0, 1, 1, 1, 1}, .Disposal = 2, .Transparent = 1});
  Optimize(doc, foCrop);
  EXPECT_EQ(f->Width(), 3);
  EXPECT_EQ(f->Height(), 3);
}

// --- Cleanup

TEST(Cleanup, OneFrameLosesLoopAndControlBlock) {
  TGIFImage doc;
  SetGlobal(doc, {kRed, kGreen});
  TGIFSubImage* f = AddFrame(doc, {.Width = 1, .Height = 1, .Pixels = {0}, .Delay = 500, .Disposal = 2});
  f->Extensions().Insert(0, std::make_unique<TGIFAppExtNSLoop>(f));
  Optimize(doc, foCleanup);
  EXPECT_EQ(f->Extensions().Count(), 0);
  EXPECT_EQ(f->GraphicControlExtension(), nullptr);
}

TEST(Cleanup, OneFrameKeepsAControlBlockThatSaysTransparentOrUserInput) {
  for (bool input : {false, true}) {
    TGIFImage doc;
    SetGlobal(doc, {kRed, kGreen});
    TGIFSubImage* f = AddFrame(doc, {.Width = 2, .Height = 1, .Pixels = {0, 1}, .Transparent = input ? -1 : 1});
    f->GraphicControlExtension()->SetUserInput(input);
    Optimize(doc, foCleanup);
    EXPECT_NE(f->GraphicControlExtension(), nullptr) << "user input " << input;
  }
}

TEST(Cleanup, ManyFrames) {
  TGIFImage doc;
  SetGlobal(doc, {kRed, kGreen});
  TGIFSubImage* a = AddFrame(doc, {.Width = 2, .Height = 1, .Pixels = {0, 1}, .Delay = 20});
  a->Extensions().Insert(0, std::make_unique<TGIFAppExtNSLoop>(a));
  auto comment = std::make_unique<TGIFCommentExtension>(a);
  comment->Text().Add("made by hand");
  a->Extensions().Add(std::move(comment));
  TGIFSubImage* b = AddFrame(doc, {.Width = 2, .Height = 1, .Pixels = {1, 0}, .Delay = 0});
  b->Extensions().Add(std::make_unique<TGIFAppExtNSLoop>(b));
  b->Extensions().Add(std::make_unique<TGIFTextExtension>(b));
  auto unknown = std::make_unique<TGIFUnknownAppExtension>(b);
  unknown->SetIdentifier("XMP DataXMP");
  b->Extensions().Add(std::move(unknown));
  // A transparent colour nobody uses: the flag goes, then the empty block.
  TGIFSubImage* d = AddFrame(doc, {.Width = 2, .Height = 1, .Pixels = {0, 0}, .Delay = 0, .Transparent = 1});
  // Restores to background but has no time: kept for its disposal.
  TGIFSubImage* c = AddFrame(doc, {.Width = 2, .Height = 1, .Pixels = {1, 1}, .Delay = 0, .Disposal = 2});
  Optimize(doc, foCleanup);

  ASSERT_EQ(doc.Images().Count(), 4);
  ASSERT_EQ(a->Extensions().Count(), 2);  // loop and control block with a delay
  EXPECT_EQ(&a->Extensions()[0]->ClassType(), &TGIFAppExtNSLoop::Class);
  EXPECT_EQ(a->GraphicControlExtension()->Delay(), 20);
  EXPECT_EQ(b->Extensions().Count(), 0);
  EXPECT_NE(c->GraphicControlExtension(), nullptr);
  EXPECT_FALSE(d->Transparent());
  EXPECT_EQ(d->GraphicControlExtension(), nullptr);
}

TEST(Cleanup, DisposalThatTheNextFrameHides) {
  struct Case {
    const char* Name;
    int Disposal;
    TRect Next;
    bool NextTransparent;
    int NextDisposal;
    int Want;
  };
  const Case cases[] = {
      {"covered completely", 2, Bounds(0, 0, 4, 4), false, 0, 0},
      {"restore to previous, covered", 3, Bounds(0, 0, 4, 4), false, 0, 0},
      {"covered in part", 2, Bounds(1, 0, 3, 4), false, 0, 2},
      {"next frame transparent", 2, Bounds(0, 0, 4, 4), true, 0, 2},
      {"next frame restores to previous", 2, Bounds(0, 0, 4, 4), false, 3, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TGIFImage doc;
    SetGlobal(doc, {kRed, kGreen});
    TGIFSubImage* f = AddFrame(doc, {.Width = 4, .Height = 4, .Pixels = Fill(16, 0), .Delay = 5, .Disposal = c.Disposal});
    FrameSpec next{.Left = c.Next.Left, .Top = c.Next.Top, .Width = c.Next.Width(), .Height = c.Next.Height(),
                   .Pixels = Fill(c.Next.Width() * c.Next.Height(), 1), .Delay = 5, .Disposal = c.NextDisposal};
    if (c.NextTransparent) next.Pixels[0] = 0, next.Transparent = 0;
    AddFrame(doc, next);
    Optimize(doc, foCleanup);
    EXPECT_EQ(f->GraphicControlExtension()->Disposal(), c.Want);
  }
}

// --- Colour maps, reduction, progress

TEST(ColorMapsOption, SortsEveryMapByUse) {
  TGIFImage doc;
  // Colour 2 five times, colour 0 three times, 1 and 3 never.
  TGIFSubImage* f = AddFrame(doc, {.Width = 8, .Height = 1, .Pixels = {2, 0, 2, 0, 2, 0, 2, 2},
                                   .Local = {kRed, kGreen, kBlue, kWhite}, .Transparent = 0});
  Optimize(doc, foColorMaps);
  ASSERT_EQ(f->ColorMap().Count(), 2);
  EXPECT_TRUE(f->ColorMap().Optimized());
  EXPECT_EQ(f->ColorMap().Colors(0), ColorOf(kBlue));
  EXPECT_EQ(f->ColorMap().Colors(1), ColorOf(kRed));
  EXPECT_EQ(PixelsOf(f), (std::vector<uint8_t>{0, 1, 0, 1, 0, 1, 0, 0}));
  EXPECT_EQ(f->GraphicControlExtension()->TransparentColorIndex(), 1);
}

TEST(ColorMapsOption, UnusedTransparentIndexIsDroppedWithItsColour) {
  // The transparent colour is an entry no pixel uses; once the unused
  // entries are gone a later merge must not write that index out of range.
  TGIFImage doc;
  AddFrame(doc, {.Width = 2, .Height = 1, .Pixels = {0, 1}, .Local = {kRed, kGreen, kBlue}});
  TGIFSubImage* top = AddFrame(doc, {.Width = 2, .Height = 1, .Pixels = {0, 1}, .Local = {kRed, kGreen, kBlue}, .Transparent = 2});
  Optimize(doc, foColorMaps | foMerge);
  EXPECT_TRUE(top->Transparent());
  EXPECT_LT(top->GraphicControlExtension()->TransparentColorIndex(), top->ColorMap().Count());
  PlainAnimation read;
  std::string error;
  EXPECT_TRUE(FromGiflib(SaveToBytes(doc), read, error)) << error;
}

TEST(ReduceColorsOption, OnlyTheCallersPaletteMethodIsRefused) {
  struct Case {
    TGIFOptimizeOptions Options;
    TColorReduction Method;
    bool Throws;
  };
  const Case cases[] = {
      {foReduceColors, ReducePalette, true},
      {foReduceColors | foMerge, ReducePalette, true},
      {foReduceColors | foCleanup, ReducePalette, false},
      {foReduceColors, ReduceNetscape216, false},
      {foMerge, ReducePalette, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "options " << int{c.Options} << " method " << int{c.Method});
    TGIFImage doc;
    SetGlobal(doc, {kRed, kGreen});
    AddFrame(doc, {.Width = 1, .Height = 1, .Pixels = {0}});
    AddFrame(doc, {.Width = 1, .Height = 1, .Pixels = {1}});
    std::vector<std::pair<int, int>> reports;
    doc.OnProgress = [&](void*, TProgressStage s, uint8_t p, bool, const TRect&, const std::string&) {
      reports.emplace_back(s, p);
    };
    if (c.Throws) {
      try {
        doc.Optimize(c.Options, c.Method, DitherNone, 8);
        ADD_FAILURE() << "no exception";
      } catch (const GIFException& e) {
        EXPECT_STREQ(e.what(), gifmsg::InvalidReduction);
      }
      EXPECT_EQ(reports.back(), std::make_pair(int{psEnding}, 0));
    } else {
      EXPECT_NO_THROW(doc.Optimize(c.Options, c.Method, DitherNone, 8));
      EXPECT_EQ(reports.back(), std::make_pair(int{psEnding}, 100));
      EXPECT_EQ(doc.Images().Count(), 2);
    }
  }
}

struct Report {
  void* Sender;
  int Stage;
  int Percent;
  bool Redraw;
  TRect R;
  std::string Msg;
};

TEST(Progress, EmptyDocumentReportsNothing) {
  TGIFImage doc;
  int calls = 0;
  doc.OnProgress = [&](void*, TProgressStage, uint8_t, bool, const TRect&, const std::string&) { ++calls; };
  doc.Optimize(31, ReduceNone, DitherNone, 8);
  EXPECT_EQ(calls, 0);
}

// Three equal frames: merge clears frames 2 and 1, crop drops both. Total is
// 6 x 3 = 18 steps; no cleanup counts 6 at once.
TEST(Progress, StepsAndTexts) {
  TGIFImage doc;
  SetGlobal(doc, {kRed, kGreen});
  for (int i = 0; i < 3; ++i) AddFrame(doc, {.Width = 2, .Height = 1, .Pixels = {0, 1}, .Delay = 10});
  std::vector<Report> reports;
  doc.OnProgress = [&](void* s, TProgressStage st, uint8_t p, bool redraw, const TRect& r, const std::string& m) {
    reports.push_back(Report{s, st, p, redraw, r, m});
  };
  Optimize(doc, foMerge | foCrop);
  const std::vector<std::pair<int, int>> want = {
      {0, 0},
      {1, 39},  // merge, frame 2: 7 of 18
      {1, 44},  // merge, frame 1: 8
      {1, 50},  // crop, frame 2 dropped: 9
      {1, 56},  // crop, frame 1 dropped: 10; frame 0 is opaque: no report
      {2, 100},
  };
  ASSERT_EQ(reports.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(reports[i].Stage, want[i].first);
    EXPECT_EQ(reports[i].Percent, want[i].second);
    EXPECT_EQ(reports[i].Sender, &doc);
    EXPECT_FALSE(reports[i].Redraw);
    EXPECT_EQ(reports[i].R.Right - reports[i].R.Left, 0);
    EXPECT_EQ(reports[i].Msg, gifmsg::ProgressOptimizing);
  }
  ASSERT_EQ(doc.Images().Count(), 1);
  EXPECT_EQ(doc.Images()[0]->GraphicControlExtension()->Delay(), 30);
}

// All five options on four frames: the colour map step reports per frame with
// a map, cleanup per cleared flag and per intersecting disposal check.
TEST(Progress, AllOptions) {
  TGIFImage doc;
  SetGlobal(doc, {kRed, kGreen});
  AddFrame(doc, {.Width = 2, .Height = 1, .Pixels = {0, 1}, .Local = {kRed, kGreen}, .Disposal = 2});
  AddFrame(doc, {.Width = 2, .Height = 1, .Pixels = {1, 0}});
  AddFrame(doc, {.Width = 2, .Height = 1, .Pixels = {1, 1}, .Transparent = 0});
  AddFrame(doc, {.Width = 2, .Height = 1, .Pixels = {0, 0}, .Local = {kBlue, kRed}});
  std::vector<std::pair<int, int>> reports;
  doc.OnProgress = [&](void*, TProgressStage s, uint8_t p, bool, const TRect&, const std::string&) {
    reports.emplace_back(s, p);
  };
  doc.Optimize(31, ReduceNone, DitherNone, 8);
  // Total 24 steps.
  // Colour maps: frame 0's map is re-sorted (step 1 of 24: 4 %), frame 3's
  // map is already in order but still reports (step 4: 17 %).
  // Cleanup: frame 2's transparent colour is unused, its flag goes (step 7:
  // 29 %); frame 1 covers frame 0, whose disposal becomes 0 (step 9: 38 %).
  // Merge reports every frame from the last: frame 3 differs (12: 50 %),
  // frame 2 takes a new black entry where it repeats frame 1 (13: 54 %),
  // frame 1 differs from frame 0 (14: 58 %).
  // Crop: only frame 2 is transparent; trimmed to one column (16: 67 %).
  // After crop 18 + 4 = 22; the second half of cleanup reports once (92 %).
  const std::vector<std::pair<int, int>> want = {{0, 0},  {1, 4},  {1, 17}, {1, 29}, {1, 38}, {1, 50},
                                                 {1, 54}, {1, 58}, {1, 67}, {1, 92}, {2, 100}};
  EXPECT_EQ(reports, want);
}

}  // namespace
