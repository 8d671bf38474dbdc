// What users rely on: an optimised animation shows the same pictures for the
// same time as before, and every viewer can still read it. Checked over many
// generated animations with every option alone and with the main window's
// combination, on our document and on giflib's reading of the saved file.
#include <gtest/gtest.h>

#include <functional>

#include "gif/GIFImage.h"
#include "optimize/OptimizeTestKit.h"

namespace {

using namespace otest;

struct Treatment {
  const char* Name;
  std::function<void(TGIFImage&)> Apply;
};

const Treatment kTreatments[] = {
    {"merge", [](TGIFImage& d) { d.Optimize(foMerge, ReduceNone, DitherNone, 0); }},
    {"crop", [](TGIFImage& d) { d.Optimize(foCrop, ReduceNone, DitherNone, 0); }},
    {"cleanup", [](TGIFImage& d) { d.Optimize(foCleanup, ReduceNone, DitherNone, 0); }},
    {"colormaps", [](TGIFImage& d) { d.Optimize(foColorMaps, ReduceNone, DitherNone, 0); }},
    {"reducecolors", [](TGIFImage& d) { d.Optimize(foReduceColors, ReduceNetscape216, DitherNone, 8); }},
    {"shared map", [](TGIFImage& d) { d.OptimizeColorMaps(); }},
    {"merge+crop", [](TGIFImage& d) { d.Optimize(foMerge | foCrop, ReduceNone, DitherNone, 0); }},
    {"shared map, then merge+crop",
     [](TGIFImage& d) {
       d.OptimizeColorMaps();
       d.Optimize(foMerge | foCrop, ReduceNone, DitherNone, 0);
     }},
    {"all five", [](TGIFImage& d) { d.Optimize(31, ReduceNone, DitherNone, 8); }},
    {"shared map, then all five",
     [](TGIFImage& d) {
       d.OptimizeColorMaps();
       d.Optimize(31, ReduceNone, DitherNone, 8);
     }},
};

// Optimises Doc with T and checks the pictures in memory and through giflib.
void CheckKeepsPictures(TGIFImage& Doc, const Treatment& T, const std::vector<Shown>& Want) {
  SCOPED_TRACE(T.Name);
  T.Apply(Doc);
  EXPECT_EQ("", CompareTimelines(Want, Play(FromDocument(Doc)))) << "in memory";
  Bytes file = SaveToBytes(Doc);
  PlainAnimation read;
  std::string error;
  ASSERT_TRUE(FromGiflib(file, read, error)) << error;
  EXPECT_EQ("", CompareTimelines(Want, Play(read))) << "read back by giflib";
}

TEST(OptimizeInvariant, GeneratedAnimationsShowTheSamePictures) {
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    for (const Treatment& t : kTreatments) {
      std::mt19937 rng(seed);
      TGIFImage doc;
      GenerateAnimation(rng, doc);
      const std::vector<Shown> want = Play(FromDocument(doc));
      SCOPED_TRACE("seed " + std::to_string(seed));
      CheckKeepsPictures(doc, t, want);
      if (HasFatalFailure() || HasFailure()) return;  // one clear report, not hundreds
    }
  }
}

// The generated animations must give the optimisers something to do, or the
// test above proves nothing.
TEST(OptimizeInvariant, GeneratedAnimationsShrink) {
  int merged = 0, cropped = 0, dropped = 0, shared = 0;
  for (uint32_t seed = 1; seed <= 300; ++seed) {
    std::mt19937 rng(seed);
    TGIFImage doc;
    GenerateAnimation(rng, doc);
    const int frames = doc.Images().Count();
    int64_t pixels = 0;
    for (int i = 0; i < frames; ++i) pixels += doc.Images()[i]->DataSize();
    int transparentBefore = 0;
    for (int i = 0; i < frames; ++i) transparentBefore += doc.Images()[i]->Transparent() ? 1 : 0;
    doc.OptimizeColorMaps();
    shared += doc.GlobalColorMap().Optimized() ? 1 : 0;
    doc.Optimize(foMerge | foCrop, ReduceNone, DitherNone, 0);
    int transparentAfter = 0;
    int64_t pixelsAfter = 0;
    for (int i = 0; i < doc.Images().Count(); ++i) {
      transparentAfter += doc.Images()[i]->Transparent() ? 1 : 0;
      pixelsAfter += doc.Images()[i]->DataSize();
    }
    merged += transparentAfter > transparentBefore ? 1 : 0;
    cropped += pixelsAfter < pixels ? 1 : 0;
    dropped += doc.Images().Count() < frames ? 1 : 0;
  }
  EXPECT_GT(merged, 100);
  EXPECT_GT(cropped, 100);
  EXPECT_GT(dropped, 5);
  EXPECT_EQ(shared, 300);
}

}  // namespace

// A short render of the flip display (three lines, five fold steps, 160 x 30,
// each frame with its own 256-entry table as the renderer makes them), read
// with giflib so that this test needs nothing of our own reader.
TEST(OptimizeInvariant, RenderedTextFoldsShowTheSamePictures) {
  TMemoryStream file;
  file.LoadFromFile(std::string(KLAPTOR_TEST_DATA) + "/optimize/folds-160x30.gif");
  const Bytes bytes(file.Memory(), file.Memory() + file.Size());
  PlainAnimation read;
  std::string error;
  ASSERT_TRUE(FromGiflib(bytes, read, error)) << error;
  ASSERT_EQ(read.Frames.size(), 18u);
  for (const PlainFrame& f : read.Frames) ASSERT_EQ(f.Palette.size(), 256u);
  const std::vector<Shown> want = Play(read);

  for (const Treatment& t : kTreatments) {
    TGIFImage doc;
    ToDocument(read, doc);
    CheckKeepsPictures(doc, t, want);
  }
  // The main window's choice makes the file much smaller.
  TGIFImage doc;
  ToDocument(read, doc);
  doc.OptimizeColorMaps();
  doc.Optimize(foMerge | foCrop, ReduceNone, DitherNone, 0);
  EXPECT_LT(SaveToBytes(doc).size() * 2, bytes.size());
}
