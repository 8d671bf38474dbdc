// Cost of drawing one line of 64-pixel text on the flip display's 757 x 90
// 24-bit board once the font is cached, against copying the same block of
// pixels with memcpy and filling it with FillRect in the same run. Prints
// microseconds per line (CPU time: the machine is shared) and the ratios at
// the end.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

#include "BenchSupport.h"

namespace {

constexpr int kWidth = bench::kBoardWidth;
constexpr int kHeight = bench::kBoardHeight;
const char* const kLine = "Departures 12:45 Gate 7";

struct Board {
  TBitmap Bitmap;
  Board() { bench::SetUpBoard(Bitmap); }
};

void BM_DrawTextLine(benchmark::State& state) {
  Board b;
  TCanvas& c = b.Bitmap.Canvas();
  TRect r = Rect(0, 9, kWidth, kHeight);
  c.DrawText(kLine, r, DT_CENTER | DT_EXPANDTABS);  // loads the face and glyphs
  for (auto _ : state) {
    r = Rect(0, 9, kWidth, kHeight);
    benchmark::DoNotOptimize(c.DrawText(kLine, r, DT_CENTER | DT_EXPANDTABS));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_DrawTextLine);

void BM_MeasureTextLine(benchmark::State& state) {
  Board b;
  TCanvas& c = b.Bitmap.Canvas();
  for (auto _ : state) {
    TRect r = Rect(0, 9, kWidth, kHeight);
    benchmark::DoNotOptimize(c.DrawText(kLine, r, DT_CENTER | DT_EXPANDTABS | DT_CALCRECT));
  }
}
BENCHMARK(BM_MeasureTextLine);

// Every draw asks for a font the cache no longer holds: what caching saves.
void BM_DrawTextLineFontEvicted(benchmark::State& state) {
  Board b;
  TCanvas& c = b.Bitmap.Canvas();
  int i = 0;
  for (auto _ : state) {
    c.Font().SetHeight(-64 - (i++ % 40));
    TRect r = Rect(0, 9, kWidth, kHeight);
    benchmark::DoNotOptimize(c.DrawText(kLine, r, DT_CENTER | DT_EXPANDTABS));
  }
}
BENCHMARK(BM_DrawTextLineFontEvicted);

void BM_MemcpyBoard(benchmark::State& state) {
  Board src, dst;
  const size_t bytes = static_cast<size_t>(src.Bitmap.BytesPerRow()) * kHeight;
  for (auto _ : state) {
    std::memcpy(dst.Bitmap.ScanLine(0), src.Bitmap.ScanLine(0), bytes);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_MemcpyBoard);

void BM_FillRectBoard(benchmark::State& state) {
  Board b;
  TCanvas& c = b.Bitmap.Canvas();
  c.Brush().SetStyle(bsSolid);
  for (auto _ : state) {
    c.FillRect(Rect(0, 0, kWidth, kHeight));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_FillRectBoard);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double draw = reporter.Get("BM_DrawTextLine"), copy = reporter.Get("BM_MemcpyBoard");
  const double fill = reporter.Get("BM_FillRectBoard"), evicted = reporter.Get("BM_DrawTextLineFontEvicted");
  if (draw > 0) {
    std::printf("\none line of 64-pixel text, font cached: %.2f us\n", draw);
    if (copy > 0) std::printf("  vs memcpy of the %dx%d board:   %.2fx (%.2f us)\n", kWidth, kHeight, draw / copy, copy);
    if (fill > 0) std::printf("  vs FillRect of the board:        %.2fx (%.2f us)\n", draw / fill, fill);
    if (evicted > 0) std::printf("  font not cached (load + render): %.1fx slower (%.1f us)\n", evicted / draw, evicted);
  }
  benchmark::Shutdown();
  return 0;
}
