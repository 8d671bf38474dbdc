// What the benchmarks share: the flip board's 757 x 90 pictures (its text on
// the flat background, cube-mapped; 8-bit noise), giflib reading from and
// writing to memory, the memcpy peer, and a console reporter that keeps each
// run's CPU time for the ratios printed at the end. Header-only, because every
// bench/*.cpp is an executable of its own.
#pragma once

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "platform/Graphics.h"

namespace bench {

// The main window's display.
inline constexpr int kBoardWidth = 757;
inline constexpr int kBoardHeight = 90;

using Pixels = std::vector<uint8_t>;

// Makes `bmp` the board: 24-bit, filled with its dark background, the canvas
// ready to draw its 64-pixel yellow Arial text with a clear brush.
inline void SetUpBoard(TBitmap& bmp) {
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(kBoardWidth, kBoardHeight);
  TCanvas& c = bmp.Canvas();
  c.Brush().SetColor(RGBColor(56, 56, 56));
  c.FillRect(Rect(0, 0, kBoardWidth, kBoardHeight));
  c.Brush().SetStyle(bsClear);
  c.Font().SetName("Arial");
  c.Font().SetHeight(-64);
  c.Font().SetColor(RGBColor(213, 213, 0));
}

// One line of text centred on the board, drawn `shift` pixels lower, as
// indices into the 216-colour cube (what a rendering produces).
inline Pixels CubeTextFrame(const std::string& line, int shift = 0) {
  TBitmap bmp;
  SetUpBoard(bmp);
  TRect r = Rect(0, 9 + shift, kBoardWidth, kBoardHeight + shift);
  bmp.Canvas().DrawText(line, r, DT_CENTER);
  Pixels px(static_cast<size_t>(kBoardWidth * kBoardHeight));
  for (int y = 0; y < kBoardHeight; ++y) {
    const uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < kBoardWidth; ++x) {
      const int b = (row[x * 3] + 3) / 51, g = (row[x * 3 + 1] + 3) / 51, rr = (row[x * 3 + 2] + 3) / 51;
      px[static_cast<size_t>(y * kBoardWidth + x)] = static_cast<uint8_t>(36 * rr + 6 * g + b);
    }
  }
  return px;
}

// `count` board-sized frames of 8-bit noise, drawn in turn from one generator.
inline std::vector<Pixels> NoiseFrames(int count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<Pixels> frames(static_cast<size_t>(count), Pixels(static_cast<size_t>(kBoardWidth * kBoardHeight)));
  for (auto& f : frames)
    for (auto& v : f) v = static_cast<uint8_t>(rng());
  return frames;
}

// giflib output collected in memory: EGifOpen(&sink, WriteToMemory, &err).
struct GifMemorySink {
  std::vector<uint8_t> Data;
};

inline int WriteToMemory(GifFileType* gif, const GifByteType* buf, int n) {
  auto* sink = static_cast<GifMemorySink*>(gif->UserData);
  sink->Data.insert(sink->Data.end(), buf, buf + n);
  return n;
}

// giflib input from memory: DGifOpen(&source, ReadFromMemory, &err).
struct GifMemorySource {
  const std::vector<uint8_t>* Data;
  size_t Pos = 0;
};

inline int ReadFromMemory(GifFileType* gif, GifByteType* buf, int n) {
  auto* s = static_cast<GifMemorySource*>(gif->UserData);
  const size_t k = std::min<size_t>(static_cast<size_t>(n), s->Data->size() - s->Pos);
  std::memcpy(buf, s->Data->data() + s->Pos, k);
  s->Pos += k;
  return static_cast<int>(k);
}

// The peer of block copies: memcpy of `bytes` bytes between two buffers.
inline void MeasureMemcpy(benchmark::State& state, size_t bytes) {
  std::vector<uint8_t> src(bytes, 7), dst(bytes);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), bytes);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
}

// Console output as usual, plus each run's CPU time in microseconds by name.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> Micros;
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& r : runs)
      if (r.run_type == Run::RT_Iteration && r.iterations > 0)
        Micros[r.benchmark_name()] = r.GetAdjustedCPUTime() *
                                     benchmark::GetTimeUnitMultiplier(benchmark::kMicrosecond) /
                                     benchmark::GetTimeUnitMultiplier(r.time_unit);
  }
  // 0 for a benchmark that did not run (filtered out or failed).
  double Get(const std::string& name) const {
    const auto it = Micros.find(name);
    return it == Micros.end() ? 0.0 : it->second;
  }
};

}  // namespace bench
