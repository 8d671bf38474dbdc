// Developer aid, skipped unless KLAPTOR_FOLD_DIR names a folder: writes every
// frame of one timed fold as fold_NN.bmp, plus fold_strip.bmp with all frames
// stacked top to bottom, so a person can look at the fold. Optional:
// KLAPTOR_FOLD_FROM / KLAPTOR_FOLD_TO (the two texts), KLAPTOR_FOLD_FRAMES.
//
//   KLAPTOR_FOLD_DIR=/tmp/fold ./build/tests/flip_tests --gtest_filter='FoldFrames*'
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FlipTestKit.h"

namespace {

std::string EnvOr(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v && *v ? v : fallback;
}

TEST(FoldFrames, WriteOneFoldAsBitmaps) {
  const std::string dir = EnvOr("KLAPTOR_FOLD_DIR", "");
  if (dir.empty()) GTEST_SKIP() << "set KLAPTOR_FOLD_DIR to write the frames of a fold";
  LoopScope scope;
  TFlipLabel label;
  // The main window's display.
  label.SetBounds(0, 0, 757, 90);
  label.SetCenter(true);
  label.SetColor(3684408);
  label.SetHingeColor(clBlack);
  label.Font().SetName("Arial");
  label.Font().SetHeight(-64);
  label.Font().SetColor(54741);
  label.SetFrames(std::atoi(EnvOr("KLAPTOR_FOLD_FRAMES", "10").c_str()));
  label.SetCaption(EnvOr("KLAPTOR_FOLD_FROM", "Split-flap"));
  scope.Loop.AdvanceTime(60000);  // settle the first text

  label.SetCaption(EnvOr("KLAPTOR_FOLD_TO", "Klaptor 0123"));
  scope.Loop.AdvanceTime(0);
  std::vector<TBitmap> frames;
  while (label.FlipTimer().Enabled() && label.FramesLeft() >= 0) {
    scope.Loop.AdvanceTime(label.Interval());
    frames.push_back(label.Surface());
  }
  ASSERT_EQ(frames.size(), static_cast<size_t>(FoldFrames(label.Frames()) + 1));

  const int w = label.Width(), h = label.Height();
  TBitmap strip(w, static_cast<int>(frames.size()) * (h + 2));
  strip.Canvas().Brush().SetColor(clWhite);
  strip.Canvas().FillRect(Rect(0, 0, strip.Width(), strip.Height()));
  for (size_t i = 0; i < frames.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/fold_%02zu.bmp", i);
    frames[i].SaveToFile(dir + name);
    strip.Canvas().Draw(0, static_cast<int>(i) * (h + 2), frames[i]);
  }
  strip.SaveToFile(dir + "/fold_strip.bmp");
  std::printf("wrote %zu frames and fold_strip.bmp to %s\n", frames.size(), dir.c_str());
}

}  // namespace
