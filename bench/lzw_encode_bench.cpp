// LZW encoding speed of our TLZWEncoder against giflib's EGifPutLine on the
// same pixels in the same run: 757 x 90 frames of anti-aliased text on a flat
// background mapped to the 216-colour cube (what a rendering produces), and
// 757 x 90 frames of 8-bit noise. Both coders write to memory. Prints the
// throughput ratio ours / giflib at the end (CPU time: the machine is shared).
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "gif/codec/LZWEncoder.h"
#include "platform/Graphics.h"

namespace {

constexpr int kWidth = 757;
constexpr int kHeight = 90;

using Pixels = std::vector<uint8_t>;

// Several lines of text, as the flip board shows them, cube-mapped.
std::vector<Pixels> TextFrames() {
  const char* lines[] = {"Departures 12:45 Gate 7", "Welcome to Klaptor!", "Platform 3: delayed",
                         "The quick brown fox jumps"};
  std::vector<Pixels> frames;
  for (const char* line : lines) {
    TBitmap bmp;
    bmp.SetPixelFormat(pf24bit);
    bmp.SetSize(kWidth, kHeight);
    TCanvas& c = bmp.Canvas();
    c.Brush().SetColor(RGBColor(56, 56, 56));
    c.FillRect(Rect(0, 0, kWidth, kHeight));
    c.Brush().SetStyle(bsClear);
    c.Font().SetName("Arial");
    c.Font().SetHeight(-64);
    c.Font().SetColor(RGBColor(213, 213, 0));
    TRect r = Rect(0, 9, kWidth, kHeight);
    c.DrawText(line, r, DT_CENTER);
    Pixels px(static_cast<size_t>(kWidth * kHeight));
    for (int y = 0; y < kHeight; ++y) {
      const uint8_t* row = bmp.ScanLine(y);
      for (int x = 0; x < kWidth; ++x) {
        const int b = (row[x * 3] + 3) / 51, g = (row[x * 3 + 1] + 3) / 51, rr = (row[x * 3 + 2] + 3) / 51;
        px[static_cast<size_t>(y * kWidth + x)] = static_cast<uint8_t>(36 * rr + 6 * g + b);
      }
    }
    frames.push_back(std::move(px));
  }
  return frames;
}

std::vector<Pixels> NoiseFrames() {
  std::mt19937 rng(7);
  std::vector<Pixels> frames(4, Pixels(static_cast<size_t>(kWidth * kHeight)));
  for (auto& f : frames)
    for (auto& v : f) v = static_cast<uint8_t>(rng());
  return frames;
}

const std::vector<Pixels>& Frames(int kind) {
  static const std::vector<Pixels> text = TextFrames();
  static const std::vector<Pixels> noise = NoiseFrames();
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

struct Sink {
  std::vector<uint8_t> data;
};

int WriteToSink(GifFileType* gif, const GifByteType* buf, int n) {
  auto* sink = static_cast<Sink*>(gif->UserData);
  sink->data.insert(sink->data.end(), buf, buf + n);
  return n;
}

void BM_Giflib(benchmark::State& state) {
  const auto& frames = Frames(static_cast<int>(state.range(0)));
  Sink sink;
  sink.data.reserve(1 << 20);
  ColorMapObject* map = GifMakeMapObject(256, nullptr);
  size_t i = 0;
  int64_t bytes = 0;
  for (auto _ : state) {
    sink.data.clear();
    int err = 0;
    GifFileType* gif = EGifOpen(&sink, WriteToSink, &err);
    EGifPutScreenDesc(gif, kWidth, kHeight, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, kWidth, kHeight, false, nullptr);
    uint8_t* px = const_cast<uint8_t*>(frames[i++ % frames.size()].data());
    for (int y = 0; y < kHeight; ++y) EGifPutLine(gif, px + y * kWidth, kWidth);
    EGifCloseFile(gif, &err);
    bytes += static_cast<int64_t>(sink.data.size());
    benchmark::ClobberMemory();
  }
  GifFreeMapObject(map);
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
  state.counters["out_bytes"] = static_cast<double>(bytes) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Giflib)->Arg(0)->Arg(1)->ArgNames({"noise"});

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
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  auto get = [&](const std::string& name) {
    auto it = reporter.Micros.find(name);
    return it == reporter.Micros.end() ? 0.0 : it->second;
  };
  const char* kinds[] = {"text", "noise"};
  for (int k = 0; k < 2; ++k) {
    const double ours = get("BM_Ours/noise:" + std::to_string(k));
    const double theirs = get("BM_Giflib/noise:" + std::to_string(k));
    if (ours > 0 && theirs > 0)
      std::printf("%-5s %dx%d 8 bpp: ours %.1f us, giflib %.1f us per frame: throughput %.2fx giflib\n", kinds[k],
                  kWidth, kHeight, ours, theirs, theirs / ours);
  }
  benchmark::Shutdown();
  return 0;
}
