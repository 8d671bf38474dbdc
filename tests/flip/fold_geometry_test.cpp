// Squeeze heights and phases of the fold: the worked values for 10, 14 and 7
// frames, and invariants over many fold lengths and heights.
#include <gtest/gtest.h>

#include <vector>

#include "flip/FoldGeometry.h"

namespace {

struct WorkedFold {
  const char* Name;
  int Frames;
  int Half;
  std::vector<int> Squeeze;  // by step 0..Frames
  int EdgeOn;                // the edge-on step, or -1
};

class WorkedFoldTest : public ::testing::TestWithParam<WorkedFold> {};

TEST_P(WorkedFoldTest, SqueezeAndPhasePerStep) {
  const WorkedFold& w = GetParam();
  ASSERT_EQ(w.Squeeze.size(), static_cast<size_t>(w.Frames + 1));
  for (int n = 0; n <= w.Frames; ++n) {
    SCOPED_TRACE(testing::Message() << "step " << n);
    const TFoldStep s = FoldStep(n, w.Frames, w.Half);
    EXPECT_EQ(s.Squeeze, w.Squeeze[n]);
    TFoldPhase want = fpSecondHalf;
    if (n == w.EdgeOn)
      want = fpEdgeOn;
    else if (2 * n < w.Frames)
      want = fpFirstHalf;
    EXPECT_EQ(s.Phase, want) << "key " << s.PhaseKey;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Worked, WorkedFoldTest,
    ::testing::Values(
        WorkedFold{"F10_H90", 10, 45, {45, 43, 36, 26, 14, 0, 14, 26, 36, 43, 45}, 5},
        WorkedFold{"F14_H90", 14, 45, {45, 44, 41, 35, 28, 20, 10, 0, 10, 20, 28, 35, 41, 44, 45}, 7},
        // cos(3pi/7) * 45 = 10.01: no step is edge-on with an odd count.
        WorkedFold{"F7_H90", 7, 45, {45, 41, 28, 10, 10, 28, 41, 45}, -1}),
    [](const testing::TestParamInfo<WorkedFold>& i) { return i.param.Name; });

TEST(FoldStepTest, AngleAndKeyAtTheKeySteps) {
  const TFoldStep start = FoldStep(0, 10, 45);
  EXPECT_EQ(start.Angle, 0.0);
  EXPECT_EQ(start.PhaseKey, 0);
  const TFoldStep middle = FoldStep(5, 10, 45);
  EXPECT_EQ(middle.PhaseKey, 157079);
  const TFoldStep end = FoldStep(10, 10, 45);
  EXPECT_EQ(end.PhaseKey, 314159);
  EXPECT_DOUBLE_EQ(end.Angle, 3.141592653589793);
}

TEST(FoldStepTest, NearHalvesFollowTheExtendedProduct) {
  // cos(pi/3) * 5 is 2.5 on paper; the stored angle makes the product
  // 2.49999999999999953 at step 1 and 2.50000000000000093 at step 2.
  EXPECT_EQ(FoldStep(1, 3, 5).Squeeze, 2);
  EXPECT_EQ(FoldStep(2, 3, 5).Squeeze, 3);
  EXPECT_EQ(FoldStep(4, 12, 45).Squeeze, 22);
  EXPECT_EQ(FoldStep(8, 12, 45).Squeeze, 23);
}

TEST(FoldStepTest, FewerThanOneFrameFoldsLikeOne) {
  for (int frames : {0, -1, -10, -2147483647 - 1}) {
    SCOPED_TRACE(frames);
    for (int n : {0, 1}) {
      const TFoldStep got = FoldStep(n, frames, 45);
      const TFoldStep one = FoldStep(n, 1, 45);
      EXPECT_EQ(got.Squeeze, one.Squeeze);
      EXPECT_EQ(got.Phase, one.Phase);
      EXPECT_EQ(got.PhaseKey, one.PhaseKey);
    }
  }
  EXPECT_EQ(FoldStep(0, 1, 45).Phase, fpFirstHalf);
  EXPECT_EQ(FoldStep(1, 1, 45).Phase, fpSecondHalf);
  EXPECT_EQ(FoldStep(1, 1, 45).Squeeze, 45);
}

// Over many fold lengths and heights: the flap starts and ends flat, never
// leaves its half, and the phases come in order with at most one edge-on
// step, exactly in the middle of an even fold.
TEST(FoldStepTest, InvariantsOverManyFolds) {
  for (int frames = 1; frames <= 300; ++frames) {
    for (int half : {0, 1, 8, 45, 377, 5000}) {
      SCOPED_TRACE(testing::Message() << "frames " << frames << " half " << half);
      EXPECT_EQ(FoldStep(0, frames, half).Squeeze, half);
      EXPECT_EQ(FoldStep(frames, frames, half).Squeeze, half);
      TFoldPhase last = fpFirstHalf;
      int edgeOn = -1;
      for (int n = 0; n <= frames; ++n) {
        const TFoldStep s = FoldStep(n, frames, half);
        ASSERT_GE(s.Squeeze, 0);
        ASSERT_LE(s.Squeeze, half);
        ASSERT_GE(s.Phase, last) << "step " << n;
        last = s.Phase;
        if (s.Phase == fpEdgeOn) {
          ASSERT_EQ(edgeOn, -1) << "second edge-on step " << n;
          edgeOn = n;
        }
        if (s.Phase == fpFirstHalf) {
          ASSERT_LT(2 * n, frames);
        } else if (s.Phase == fpSecondHalf) {
          ASSERT_GT(2 * n, frames);
        }
      }
      EXPECT_EQ(edgeOn, frames % 2 == 0 ? frames / 2 : -1);
    }
  }
}

}  // namespace
