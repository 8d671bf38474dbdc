// Composition of fold steps from row-tagged pictures: each row of the frame
// must come from the expected picture and row, so a band that is one row off,
// from the wrong picture or squeezed wrongly shows up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FlipTestKit.h"

namespace {

constexpr int kLeaving = 1;
constexpr int kArriving = 2;
constexpr int kUntouched = 3;

// Rows first..last-1 of the frame show `count` rows of `image` from `from` on,
// scaled by nearest row: target row k of n takes source from + (2k+1)*count/(2n).
struct Band {
  int First, Last, Image, From, Count;
};

std::vector<RowTag> Expected(int height, const std::vector<Band>& bands) {
  std::vector<RowTag> rows(static_cast<size_t>(height), RowTag{kUntouched, 0});
  for (int y = 0; y < height; ++y) rows[y].Row = y;
  for (const Band& b : bands) {
    const int n = b.Last - b.First;
    for (int k = 0; k < n; ++k)
      rows[b.First + k] = RowTag{b.Image, b.From + (2 * k + 1) * b.Count / (2 * n)};
  }
  return rows;
}

std::string Describe(const std::vector<RowTag>& have, const std::vector<RowTag>& want) {
  for (size_t y = 0; y < have.size() && y < want.size(); ++y)
    if (!(have[y] == want[y]))
      return "row " + std::to_string(y) + ": have image " + std::to_string(have[y].Image) + " row " +
             std::to_string(have[y].Row) + ", want image " + std::to_string(want[y].Image) +
             " row " + std::to_string(want[y].Row);
  return have.size() == want.size() ? "" : "row count differs";
}

struct FoldFixture : ::testing::Test {
  LoopScope Scope;
  TProbeLabel Label;

  void Prepare(int width, int height, int frames) {
    Label.SetBounds(0, 0, width, height);
    Label.ResizeBuffers();
    Label.SetFrames(frames);
    TagRows(Label.Leaving(), kLeaving);
    TagRows(Label.Arriving(), kArriving);
    TagRows(Label.Frame(), kUntouched);
  }
};

struct FullCase {
  const char* Name;
  int Frames, Height, Step;
  std::vector<Band> Bands;
};

class FullFrameTest : public FoldFixture, public ::testing::WithParamInterface<FullCase> {};

TEST_P(FullFrameTest, RowsComeFromTheExpectedBands) {
  const FullCase& c = GetParam();
  Prepare(3, c.Height, c.Frames);
  Label.DrawFrame(c.Step, true);
  const std::string diff = Describe(ReadTags(Label.FrameImage()), Expected(c.Height, c.Bands));
  EXPECT_EQ(diff, "");
  // The frame is what the control shows.
  EXPECT_EQ(PixelDiff(Label.Surface(), Label.FrameImage()), "");
}

// Half height 45 throughout (91 rows keep the hinge at 45).
INSTANTIATE_TEST_SUITE_P(
    Worked, FullFrameTest,
    ::testing::Values(
        // The old picture whole: its upper half through a stretch of factor 1.
        FullCase{"F10_N0", 10, 90, 0, {{0, 45, kLeaving, 0, 45}, {45, 90, kLeaving, 45, 45}}},
        // 19 rows of the new picture, the old upper half squeezed into 26 rows
        // above the hinge, the old lower half below it.
        FullCase{"F10_N3",
                 10,
                 90,
                 3,
                 {{0, 19, kArriving, 0, 19}, {19, 45, kLeaving, 0, 45}, {45, 90, kLeaving, 45, 45}}},
        FullCase{"F10_N5_EdgeOn", 10, 90, 5, {{0, 45, kArriving, 0, 45}, {45, 90, kLeaving, 45, 45}}},
        // The new lower half swings down to 26 rows below the hinge.
        FullCase{"F10_N7",
                 10,
                 90,
                 7,
                 {{0, 45, kArriving, 0, 45}, {45, 71, kArriving, 45, 45}, {71, 90, kLeaving, 71, 19}}},
        FullCase{"F10_N10", 10, 90, 10, {{0, 45, kArriving, 0, 45}, {45, 90, kArriving, 45, 45}}},
        FullCase{"F7_N3",
                 7,
                 90,
                 3,
                 {{0, 35, kArriving, 0, 35}, {35, 45, kLeaving, 0, 45}, {45, 90, kLeaving, 45, 45}}},
        FullCase{"F7_N4",
                 7,
                 90,
                 4,
                 {{0, 45, kArriving, 0, 45}, {45, 55, kArriving, 45, 45}, {55, 90, kLeaving, 55, 35}}},
        // Odd height: the last row is never composed.
        FullCase{"H91_F10_N3",
                 10,
                 91,
                 3,
                 {{0, 19, kArriving, 0, 19}, {19, 45, kLeaving, 0, 45}, {45, 90, kLeaving, 45, 45}}},
        FullCase{"H91_F10_N10", 10, 91, 10, {{0, 45, kArriving, 0, 45}, {45, 90, kArriving, 45, 45}}},
        // Fewer than one frame folds in one step.
        FullCase{"F0_N0", 0, 90, 0, {{0, 45, kLeaving, 0, 45}, {45, 90, kLeaving, 45, 45}}},
        FullCase{"Fneg_N1", -5, 90, 1, {{0, 45, kArriving, 0, 45}, {45, 90, kArriving, 45, 45}}}),
    [](const testing::TestParamInfo<FullCase>& i) { return i.param.Name; });

TEST_F(FoldFixture, LastStepHandsTheArrivingPictureOn) {
  Prepare(3, 90, 10);
  for (int n = 0; n < 10; ++n) {
    Label.DrawFrame(n, true);
    ASSERT_EQ(ReadTags(Label.LeavingImage())[0].Image, kLeaving) << "step " << n;
  }
  Label.DrawFrame(10, true);
  EXPECT_EQ(PixelDiff(Label.LeavingImage(), Label.ArrivingImage()), "");
}

TEST_F(FoldFixture, OddHeightLeavesTheLastRowOfTheFrameAlone) {
  Prepare(3, 91, 10);
  for (int n = 0; n <= 10; ++n) {
    Label.DrawFrame(n, n % 2 == 0);
    ASSERT_EQ(ReadTags(Label.FrameImage())[90], (RowTag{kUntouched, 90})) << "step " << n;
  }
}

// A timed fold copies only what changed since the previous step; every step
// must still equal the same step composed whole, also with an odd number of
// frames (no edge-on step to clear the old flap) and in one-step folds.
TEST(TimedStepsTest, EveryPartialStepEqualsTheFullStep) {
  LoopScope scope;
  for (int frames : {1, 2, 3, 5, 7, 10, 14, 0, -3}) {
    for (int height : {90, 91, 17, 2}) {
      SCOPED_TRACE(testing::Message() << "frames " << frames << " height " << height);
      TProbeLabel timed, full;
      for (TProbeLabel* l : {&timed, &full}) {
        l->SetBounds(0, 0, 3, height);
        l->ResizeBuffers();
        l->SetFrames(frames);
        TagRows(l->Leaving(), kLeaving);
        TagRows(l->Arriving(), kArriving);
        // Whatever an earlier, interrupted fold left on screen.
        TagRows(l->Frame(), kUntouched);
      }
      for (int n = 0; n <= FoldFrames(frames); ++n) {
        timed.DrawFrame(n, false);
        full.DrawFrame(n, true);
        ASSERT_EQ(Describe(ReadTags(timed.FrameImage()), ReadTags(full.FrameImage())), "")
            << "step " << n;
      }
    }
  }
}

// Steps outside 0..Frames (Frames lowered during a fold) compose without
// touching anything outside the buffers.
TEST_F(FoldFixture, StepsOutsideTheFoldStayInsideTheBuffers) {
  Prepare(3, 90, 4);
  for (int n : {-7, -1, 5, 9, 1000}) {
    SCOPED_TRACE(n);
    Label.DrawFrame(n, false);
    Label.DrawFrame(n, true);
    for (const RowTag& t : ReadTags(Label.FrameImage())) ASSERT_NE(t.Image, -1);
  }
}

// The buffers keep their size until they are resized: composing with the
// control larger than its buffers copies what exists and leaves the rest.
TEST_F(FoldFixture, ComposesAgainstBuffersOfAnOlderSize) {
  Prepare(3, 40, 10);
  Label.SetBounds(0, 0, 5, 90);
  ASSERT_EQ(Label.FrameImage().Height(), 40);
  for (int n = 0; n <= 10; ++n) Label.DrawFrame(n, n == 0);
  EXPECT_EQ(Label.Surface().Height(), 90);
  EXPECT_EQ(Label.FrameImage().Height(), 40);
}

}  // namespace
