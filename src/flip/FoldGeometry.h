// Geometry of one step of the split-flap fold: how far the flap has turned,
// how many rows its squeezed image takes, and which phase of the fold the step
// belongs to. Pure arithmetic, so the display and its tests share one answer.
#pragma once

#include <cstdint>

enum TFoldPhase {
  fpFirstHalf,   // the old upper flap tilts down towards the hinge
  fpEdgeOn,      // the flap is seen edge-on: only the new upper half shows
  fpSecondHalf,  // the new lower flap swings down over the old lower half
};

struct TFoldStep {
  double Angle = 0;      // flap angle in radians: 0 at the start, pi at the end
  int Squeeze = 0;       // rows the flap covers next to the hinge (0..HalfHeight)
  int64_t PhaseKey = 0;  // trunc(Angle * 100000)
  TFoldPhase Phase = fpFirstHalf;
};

// A fold needs at least one step; fewer frames would divide by zero.
inline int FoldFrames(int frames) { return frames < 1 ? 1 : frames; }

// Step `frame` of a fold of `frames` steps (below 1 counts as 1) for a control
// whose upper half is `halfHeight` rows tall.
TFoldStep FoldStep(int frame, int frames, int halfHeight);
