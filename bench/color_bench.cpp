// Colour reduction speed on 757 x 90 24-bit frames (the size the render
// pipeline captures): text on a flat background, and noise. Each reduction is
// reported in megapixels per second next to a plain loop that maps every pixel
// through a 256-entry table, over the same pixels in the same run; that loop
// is the practical limit for a per-pixel colour mapping.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "gif/GIFImage.h"
#include "gif/color/Reduce.h"
#include "platform/Graphics.h"

namespace {

constexpr int kWidth = 757;
constexpr int kHeight = 90;

TBitmap TextFrame() {
  TBitmap bmp(kWidth, kHeight, pf24bit);
  TCanvas& c = bmp.Canvas();
  c.Brush().SetColor(RGBColor(0x20, 0x30, 0x50));
  c.FillRect(Rect(0, 0, kWidth, kHeight));
  c.Brush().SetStyle(bsClear);
  c.Font().SetName("Arial");
  c.Font().SetHeight(-48);
  c.Font().SetColor(RGBColor(0xF0, 0xE0, 0x60));
  c.TextOut(10, 15, "Departures 12:45 Amsterdam Centraal");
  c.Pen().SetColor(RGBColor(0x10, 0x10, 0x10));
  c.MoveTo(0, kHeight / 2);
  c.LineTo(kWidth, kHeight / 2);
  return bmp;
}

TBitmap NoiseFrame() {
  TBitmap bmp(kWidth, kHeight, pf24bit);
  std::mt19937 rng(12345);
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = bmp.ScanLine(y);
    for (int i = 0; i < 3 * kWidth; ++i) row[i] = static_cast<uint8_t>(rng() >> 24);
  }
  return bmp;
}

TBitmap& Frame(int kind) {
  static TBitmap text = TextFrame();
  static TBitmap noise = NoiseFrame();
  return kind == 0 ? text : noise;
}

void SetPixelRate(benchmark::State& state) {
  state.counters["Mpx/s"] = benchmark::Counter(kWidth * kHeight / 1e6, benchmark::Counter::kIsIterationInvariantRate);
  state.SetLabel(state.range(0) == 0 ? "text" : "noise");
}

// The peer: one 256-entry table read per pixel (keyed on all three bytes),
// written to an 8-bit row.
void BM_PlainTableLookup(benchmark::State& state) {
  TBitmap& src = Frame(static_cast<int>(state.range(0)));
  std::array<uint8_t, 256> table;
  for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>((i * 7) % 216);
  std::vector<uint8_t> out(static_cast<size_t>(kWidth) * kHeight);
  for (auto _ : state) {
    for (int y = 0; y < kHeight; ++y) {
      const uint8_t* p = src.ScanLine(y);
      uint8_t* o = out.data() + static_cast<size_t>(y) * kWidth;
      for (int x = 0; x < kWidth; ++x, p += 3) o[x] = table[p[0] ^ p[1] ^ p[2]];
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  SetPixelRate(state);
}

void Reduce(benchmark::State& state, int method, int dither) {
  TBitmap& src = Frame(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto result = ReduceColors(src, method, dither, 8, nullptr);
    benchmark::DoNotOptimize(result.get());
  }
  SetPixelRate(state);
}

void BM_ReduceDefault(benchmark::State& state) { Reduce(state, ReduceNetscape216, DitherNone); }
void BM_ReduceFloydSteinberg(benchmark::State& state) { Reduce(state, ReduceNetscape216, DitherFloydSteinberg); }
void BM_ReduceOctree(benchmark::State& state) { Reduce(state, ReduceOctree, DitherNone); }

// The whole import of a captured frame as the render pipeline does it: a
// screen-format (32-bit) capture added to a document with default settings.
void BM_AddCapturedFrame(benchmark::State& state) {
  TBitmap capture(Frame(static_cast<int>(state.range(0))));
  capture.SetPixelFormat(pfDevice);
  TGIFImage doc;
  for (auto _ : state) {
    doc.Clear();
    benchmark::DoNotOptimize(doc.Add(capture));
  }
  SetPixelRate(state);
}

}  // namespace

BENCHMARK(BM_PlainTableLookup)->Arg(0)->Arg(1);
BENCHMARK(BM_ReduceDefault)->Arg(0)->Arg(1);
BENCHMARK(BM_ReduceFloydSteinberg)->Arg(0)->Arg(1);
BENCHMARK(BM_ReduceOctree)->Arg(0)->Arg(1);
BENCHMARK(BM_AddCapturedFrame)->Arg(0)->Arg(1);

BENCHMARK_MAIN();
