// Cost of the flip display at the main window's size (757 x 90): composing a
// fold step whole (direct frame choice, paints) and as a timed tick (only the
// changed bands), against a memcpy of one frame's bytes in the same run; and
// redrawing the caption image (fill, text, hinge), which happens once per
// caption change.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

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
    Label.SetBounds(0, 0, 757, 90);
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
  const TBitmap frame(757, 90);
  const size_t bytes = static_cast<size_t>(frame.BytesPerRow()) * frame.Height();
  std::vector<uint8_t> src(bytes, 7), dst(bytes);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), bytes);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_MemcpyFrame);

// Steps 0..Frames in turn, so every phase is weighed as in a real fold.
void BM_ComposeFullFrame(benchmark::State& state) {
  Display d;
  int n = 0;
  for (auto _ : state) {
    d.Label.DrawFrame(n, true);
    n = n == d.Label.Frames() ? 0 : n + 1;
  }
}
BENCHMARK(BM_ComposeFullFrame);

void BM_ComposeTimedFrame(benchmark::State& state) {
  Display d;
  int n = 0;
  for (auto _ : state) {
    d.Label.DrawFrame(n, false);
    n = n == d.Label.Frames() ? 0 : n + 1;
  }
}
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
