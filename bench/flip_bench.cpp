// Cost of the flip display at the main window's size (757 x 90): composing a
// fold step whole (direct frame choice, paints) and as a timed tick (only the
// changed bands), against a memcpy of one frame's bytes in the same run; and
// redrawing the caption image (fill, text, hinge), which happens once per
// caption change.
#include <benchmark/benchmark.h>

#include <string>

#include "BenchSupport.h"
#include "flip/FlipLabel.h"

namespace {

class BenchLabel : public TFlipLabel {
 public:
  using TCustomFlipLabel::DrawFrame;
};

// The main window's display, with a caption drawn and a fold set up.
struct Display {
  THeadlessLoop Loop;
  BenchLabel Label;
  Display() {
    SetMessageLoop(&Loop);
    Label.SetBounds(0, 0, bench::kBoardWidth, bench::kBoardHeight);
    Label.SetCenter(true);
    Label.SetColor(3684408);
    Label.Font().SetName("Arial");
    Label.Font().SetHeight(-64);
    Label.Font().SetColor(54741);
    Label.SetCaption("Split-flap board");
    Loop.AdvanceTime(5000);
    Label.SetCaption("Klaptor 0123");
    Loop.AdvanceTime(0);
  }
  ~Display() { SetMessageLoop(nullptr); }
};

void BM_MemcpyFrame(benchmark::State& state) {
  const TBitmap frame(bench::kBoardWidth, bench::kBoardHeight);
  bench::MeasureMemcpy(state, static_cast<size_t>(frame.BytesPerRow()) * frame.Height());
}
BENCHMARK(BM_MemcpyFrame);

// Steps 0..Frames in turn, so every phase is weighed as in a real fold.
void ComposeFoldSteps(benchmark::State& state, bool whole) {
  Display d;
  int n = 0;
  for (auto _ : state) {
    d.Label.DrawFrame(n, whole);
    n = n == d.Label.Frames() ? 0 : n + 1;
  }
}

void BM_ComposeFullFrame(benchmark::State& state) { ComposeFoldSteps(state, true); }
BENCHMARK(BM_ComposeFullFrame);

void BM_ComposeTimedFrame(benchmark::State& state) { ComposeFoldSteps(state, false); }
BENCHMARK(BM_ComposeTimedFrame);

// A caption change and the repaint it asks for: the caption image is drawn
// again (the timed fold's ticks put it on screen later).
void BM_PaintCaptionChange(benchmark::State& state) {
  Display d;
  const std::string captions[] = {"Klaptor 0123", "Split-flap board"};
  int i = 0;
  for (auto _ : state) {
    d.Label.SetCaption(captions[i ^= 1]);
    d.Label.Paint();
  }
}
BENCHMARK(BM_PaintCaptionChange);

}  // namespace

BENCHMARK_MAIN();
