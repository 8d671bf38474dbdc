// Block copies of a 757 x 90 24-bit image (the flip display's render size)
// against a plain memcpy of the same pixel bytes, measured in the same run.
// Compare BM_BitBlt and BM_StretchBlt_1to1 with BM_Memcpy: the target is at most
// 1.5 times the memcpy time.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

namespace {

constexpr int kW = bench::kBoardWidth, kH = bench::kBoardHeight;

TBitmap Filled(TPixelFormat pf) {
  TBitmap b(kW, kH, pf);
  for (int y = 0; y < kH; ++y) {
    uint8_t* row = b.ScanLine(y);
    for (int i = 0; i < b.BytesPerRow(); ++i) row[i] = static_cast<uint8_t>(i * 7 + y);
  }
  return b;
}

void BM_Memcpy(benchmark::State& state) { bench::MeasureMemcpy(state, static_cast<size_t>(kW) * 3 * kH); }
BENCHMARK(BM_Memcpy);

void BM_BitBlt(benchmark::State& state) {
  const TBitmap src = Filled(pf24bit);
  TBitmap dst(kW, kH, pf24bit);
  for (auto _ : state) {
    BitBlt(dst, 0, 0, kW, kH, src, 0, 0);
    benchmark::DoNotOptimize(dst.ScanLine(0));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kW * 3 * kH);
}
BENCHMARK(BM_BitBlt);

void BM_StretchBlt_1to1(benchmark::State& state) {
  const TBitmap src = Filled(pf24bit);
  TBitmap dst(kW, kH, pf24bit);
  for (auto _ : state) {
    StretchBlt(dst, 0, 0, kW, kH, src, 0, 0, kW, kH);
    benchmark::DoNotOptimize(dst.ScanLine(0));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kW * 3 * kH);
}
BENCHMARK(BM_StretchBlt_1to1);

// The fold's typical squeeze: one 45-row half onto 26 rows (no peer target;
// shown for scale).
void BM_StretchBlt_HalfOnto26Rows(benchmark::State& state) {
  const TBitmap src = Filled(pf24bit);
  TBitmap dst(kW, kH, pf24bit);
  for (auto _ : state) {
    StretchBlt(dst, 0, 45 - 26, kW, 26, src, 0, 0, kW, 45);
    benchmark::DoNotOptimize(dst.ScanLine(0));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_StretchBlt_HalfOnto26Rows);

// The display's own buffers are device (32-bit) bitmaps.
void BM_BitBlt_Device(benchmark::State& state) {
  const TBitmap src = Filled(pfDevice);
  TBitmap dst(kW, kH, pfDevice);
  for (auto _ : state) {
    BitBlt(dst, 0, 0, kW, kH, src, 0, 0);
    benchmark::DoNotOptimize(dst.ScanLine(0));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BitBlt_Device);

}  // namespace

BENCHMARK_MAIN();
