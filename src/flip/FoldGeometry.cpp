#include "flip/FoldGeometry.h"

#include <cmath>

namespace {

// pi rounded to the 64-bit mantissa of the x87 extended format, so the angle
// and the squeeze match what the board showed on the machines it came from.
constexpr long double kPi = 3.14159265358979323846264338327950288L;

// pi/2 * 100000 = 157079.63...: steps whose key falls strictly between these
// two bounds are within 0.00001 rad of edge-on.
constexpr int64_t kFirstHalfLast = 157078;
constexpr int64_t kSecondHalfFirst = 157080;

int64_t RoundTiesToEven(long double v) {
  long double lower = std::floor(v);
  long double rest = v - lower;
  int64_t n = static_cast<int64_t>(lower);
  if (rest > 0.5L || (rest == 0.5L && (n & 1) != 0)) ++n;
  return n;
}

}  // namespace

TFoldStep FoldStep(int frame, int frames, int halfHeight) {
  const int f = FoldFrames(frames);
  TFoldStep step;
  // Evaluated in this order (pi/F, times the steps left, taken from pi) and
  // then stored as a double.
  const long double remaining = static_cast<long double>(static_cast<int64_t>(f) - frame);
  step.Angle = static_cast<double>(kPi - (kPi / f) * remaining);
  const long double height =
      std::fabs(std::cos(static_cast<long double>(step.Angle)) * static_cast<long double>(halfHeight));
  step.Squeeze = static_cast<int>(RoundTiesToEven(height));
  step.PhaseKey = static_cast<int64_t>(static_cast<long double>(step.Angle) * 100000.0L);
  if (step.PhaseKey <= kFirstHalfLast)
    step.Phase = fpFirstHalf;
  else if (step.PhaseKey < kSecondHalfFirst)
    step.Phase = fpEdgeOn;
  else
    step.Phase = fpSecondHalf;
  return step;
}
