// LZW encoding speed of our TLZWEncoder against giflib's EGifPutLine on the
// same pixels in the same run: 757 x 90 frames of anti-aliased text on a flat
// background mapped to the 216-colour cube (what a rendering produces), and
// 757 x 90 frames of 8-bit noise. Both coders write to memory. Prints the
// throughput ratio ours / giflib at the end (CPU time: the machine is shared).
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "gif/codec/LZWEncoder.h"

namespace {

constexpr int kWidth = bench::kBoardWidth;
constexpr int kHeight = bench::kBoardHeight;

using bench::Pixels;

// Several lines of text, as the flip board shows them, cube-mapped.
std::vector<Pixels> TextFrames() {
  const char* lines[] = {"Departures 12:45 Gate 7", "Welcome to Klaptor!", "Platform 3: delayed",
                         "The quick brown fox jumps"};
  std::vector<Pixels> frames;
  for (const char* line : lines) frames.push_back(bench::CubeTextFrame(line));
  return frames;
}

const std::vector<Pixels>& Frames(int kind) {
  static const std::vector<Pixels> text = TextFrames();
  static const std::vector<Pixels> noise = bench::NoiseFrames(4, 7);
  return kind == 0 ? text : noise;
}

void BM_Ours(benchmark::State& state) {
  const auto& frames = Frames(static_cast<int>(state.range(0)));
  TMemoryStream out;
  size_t i = 0;
  int64_t bytes = 0;
  for (auto _ : state) {
    out.SetPosition(0);
    TLZWEncoder encoder;
    encoder.Compress(out, 8, kWidth, kHeight, false, frames[i++ % frames.size()].data(), 256);
    bytes += out.Position();
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
  state.counters["out_bytes"] = static_cast<double>(bytes) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Ours)->Arg(0)->Arg(1)->ArgNames({"noise"});

void BM_Giflib(benchmark::State& state) {
  const auto& frames = Frames(static_cast<int>(state.range(0)));
  bench::GifMemorySink sink;
  sink.Data.reserve(1 << 20);
  ColorMapObject* map = GifMakeMapObject(256, nullptr);
  size_t i = 0;
  int64_t bytes = 0;
  for (auto _ : state) {
    sink.Data.clear();
    int err = 0;
    GifFileType* gif = EGifOpen(&sink, bench::WriteToMemory, &err);
    EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, kWidth, kHeight, false, nullptr);
    uint8_t* px = const_cast<uint8_t*>(frames[i++ % frames.size()].data());
    for (int y = 0; y < kHeight; ++y) EGifPutLine(gif, px + y * kWidth, kWidth);
    EGifCloseFile(gif, &err);
    bytes += static_cast<int64_t>(sink.Data.size());
    benchmark::ClobberMemory();
  }
  GifFreeMapObject(map);
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
  state.counters["out_bytes"] = static_cast<double>(bytes) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Giflib)->Arg(0)->Arg(1)->ArgNames({"noise"});

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const char* kinds[] = {"text", "noise"};
  for (int k = 0; k < 2; ++k) {
    const double ours = reporter.Get("BM_Ours/noise:" + std::to_string(k));
    const double theirs = reporter.Get("BM_Giflib/noise:" + std::to_string(k));
    if (ours > 0 && theirs > 0)
      std::printf("%-5s %dx%d 8 bpp: ours %.1f us, giflib %.1f us per frame: throughput %.2fx giflib\n", kinds[k],
                  kWidth, kHeight, ours, theirs, theirs / ours);
  }
  benchmark::Shutdown();
  return 0;
}
