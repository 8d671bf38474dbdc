// The two animation optimisations on what the renderer makes: 600 frames of
// text folds on the 757 x 90 board (40 lines, 14 fold steps each), every
// frame with its own 256-entry colour table. Measured in the same run against
// peers that touch the same pixels: memcpy of every frame's pixels, and
// giflib decoding the unoptimised file. Prints CPU time, the extra heap the
// optimisation needs at its peak (against the document's pixel bytes), and
// the saved file's size against the unoptimised file, then the ratios.
//
//   optimize_bench                       run the benchmarks
//   optimize_bench --write DIR           write DIR/folds.gif (unoptimised) and
//                                        DIR/folds-klaptor.gif (shared map,
//                                        merge, crop) and stop
//   optimize_bench --write-small FILE    a short render (18 frames, 160 x 30)
//                                        for the tests' data
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "flip/FlipLabel.h"
#include "gif/GIFImage.h"
#include "platform/Controls.h"

// --- Heap accounting: every allocation carries its size in front.
namespace {
std::atomic<int64_t> gLive{0};
std::atomic<int64_t> gPeak{0};
constexpr size_t kHead = alignof(std::max_align_t);
void* Allocate(size_t n) {
  void* p = std::malloc(n + kHead);
  if (p == nullptr) throw std::bad_alloc();
  *static_cast<size_t*>(p) = n;
  const int64_t live = gLive.fetch_add(static_cast<int64_t>(n)) + static_cast<int64_t>(n);
  int64_t peak = gPeak.load();
  while (live > peak && !gPeak.compare_exchange_weak(peak, live)) {
  }
  return static_cast<char*>(p) + kHead;
}
void Release(void* p) {
  if (p == nullptr) return;
  char* base = static_cast<char*>(p) - kHead;
  gLive.fetch_sub(static_cast<int64_t>(*reinterpret_cast<size_t*>(base)));
  std::free(base);
}
}  // namespace
void* operator new(size_t n) { return Allocate(n); }
void* operator new[](size_t n) { return Allocate(n); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, size_t) noexcept { Release(p); }
void operator delete[](void* p, size_t) noexcept { Release(p); }

namespace {

struct RenderSettings {
  int Width = 757, Height = 90;
  int Lines = 40;
  int Frames = 14;  // fold steps; each line gives Frames + 1 pictures
  int Interval = 50;
  int TimePerLine = 1500;
};

std::string LineText(int i) {
  static const char* const kWords[] = {"Departures", "Arrivals", "Gate", "Boarding", "Delayed", "On time",
                                       "Platform",   "Express",  "Final call", "Cancelled", "Berlin", "Lisbon"};
  return std::string(kWords[i % 12]) + " " + std::to_string(10 + (i * 7) % 14) + ":" + std::to_string(10 + (i * 13) % 50) +
         " " + kWords[(i * 5 + 3) % 12];
}

// Steps the flip display through every fold as the render command does and
// adds every picture with its delay; frame 0 gets the looping block.
void RenderFolds(const RenderSettings& s, TGIFImage& doc) {
  THeadlessLoop loop;
  SetMessageLoop(&loop);
  {
    TFlipLabel label;
    label.BeginLoading();
    label.SetBounds(0, 0, s.Width, s.Height);
    label.SetCenter(true);
    label.SetColor(RGBColor(56, 56, 56));
    TFont font;
    font.SetName("Arial");
    font.SetHeight(-s.Height * 64 / 90);
    font.SetColor(RGBColor(213, 213, 0));
    label.SetFont(font);
    label.SetFrames(s.Frames);
    label.SetInterval(s.Interval);
    label.SetHingeSize(2);
    label.EndLoading();
    label.SetAutoAnimate(false);

    TBitmap capture(s.Width, s.Height, label.Surface().PixelFormat());
    doc.Clear();
    label.SetCaption(LineText(s.Lines - 1));
    label.SetCurrentFrame(s.Frames);
    label.Invalidate();
    loop.ProcessMessages();
    for (int line = 0; line < s.Lines; ++line) {
      label.SetCaption(LineText(line));
      for (int f = 0; f <= s.Frames; ++f) {
        label.SetCurrentFrame(f);
        loop.ProcessMessages();
        BitBlt(capture, 0, 0, s.Width, s.Height, label.Surface(), 0, 0);
        const int index = doc.Add(capture);
        TGIFSubImage* frame = doc.Images()[index];
        if (index == 0) frame->Extensions().Add(std::make_unique<TGIFAppExtNSLoop>(frame));
        auto gce = std::make_unique<TGIFGraphicControlExtension>(frame);
        const int delay = f == s.Frames ? (s.TimePerLine - s.Interval * s.Frames) / 10 : s.Interval / 10;
        gce->SetDelay(static_cast<uint16_t>(delay));
        frame->Extensions().Add(std::move(gce));
      }
    }
  }
  SetMessageLoop(nullptr);
}

std::vector<uint8_t> Save(TGIFImage& doc) {
  TMemoryStream ms;
  doc.SaveToStream(ms);
  return std::vector<uint8_t>(ms.Memory(), ms.Memory() + ms.Size());
}

// The rendered animation and its unoptimised file, made once.
struct Input {
  TGIFImage Doc;
  std::vector<uint8_t> File;
  int64_t PixelBytes = 0;
  Input() {
    RenderFolds(RenderSettings{}, Doc);
    File = Save(Doc);
    for (int i = 0; i < Doc.Images().Count(); ++i) PixelBytes += Doc.Images()[i]->DataSize();
  }
};
Input& TheInput() {
  static Input input;
  return input;
}

// Runs one optimisation per iteration on a fresh copy of the rendered
// animation (copying is not timed) and reports extra heap and file size.
void RunOptimization(benchmark::State& state, void (*apply)(TGIFImage&), void (*prepare)(TGIFImage&) = nullptr) {
  Input& in = TheInput();
  int64_t extraPeak = 0;
  std::vector<uint8_t> out;
  for (auto _ : state) {
    state.PauseTiming();
    auto doc = std::make_unique<TGIFImage>();
    doc->Assign(&in.Doc);
    if (prepare != nullptr) prepare(*doc);
    const int64_t before = gLive.load();
    gPeak.store(before);
    state.ResumeTiming();
    apply(*doc);
    state.PauseTiming();
    extraPeak = std::max(extraPeak, gPeak.load() - before);
    out = Save(*doc);
    doc.reset();
    state.ResumeTiming();
  }
  state.counters["frames"] = static_cast<double>(in.Doc.Images().Count());
  state.counters["peak_extra_MB"] = static_cast<double>(extraPeak) / 1e6;
  state.counters["peak_extra_vs_pixels"] = static_cast<double>(extraPeak) / static_cast<double>(in.PixelBytes);
  state.counters["bytes_in"] = static_cast<double>(in.File.size());
  state.counters["bytes_out"] = static_cast<double>(out.size());
  state.counters["out_vs_in"] = static_cast<double>(out.size()) / static_cast<double>(in.File.size());
}

void SharedMap(TGIFImage& d) { d.OptimizeColorMaps(); }
void MergeCrop(TGIFImage& d) { d.Optimize(foMerge | foCrop, ReduceNone, DitherNone, 0); }
void SharedMapMergeCrop(TGIFImage& d) {
  d.OptimizeColorMaps();
  d.Optimize(foMerge | foCrop, ReduceNone, DitherNone, 0);
}
void AllOptions(TGIFImage& d) {
  d.OptimizeColorMaps();
  d.Optimize(31, ReduceNone, DitherNone, 8);
}

void BM_OptimizeColorMaps(benchmark::State& state) { RunOptimization(state, &SharedMap); }
void BM_MergeCropLocalMaps(benchmark::State& state) { RunOptimization(state, &MergeCrop); }
// Merge and crop alone, on the shared map made beforehand (untimed).
void BM_MergeCropSharedMap(benchmark::State& state) { RunOptimization(state, &MergeCrop, &SharedMap); }
void BM_SharedMapThenMergeCrop(benchmark::State& state) { RunOptimization(state, &SharedMapMergeCrop); }
void BM_SharedMapThenAllOptions(benchmark::State& state) { RunOptimization(state, &AllOptions); }

// Peer: copying every frame's pixels once.
void BM_PeerMemcpyPixels(benchmark::State& state) {
  Input& in = TheInput();
  std::vector<uint8_t> target(static_cast<size_t>(in.PixelBytes));
  for (auto _ : state) {
    size_t at = 0;
    for (int i = 0; i < in.Doc.Images().Count(); ++i) {
      const TGIFSubImage* f = in.Doc.Images()[i];
      std::memcpy(target.data() + at, f->Data(), static_cast<size_t>(f->DataSize()));
      at += static_cast<size_t>(f->DataSize());
    }
    benchmark::DoNotOptimize(target.data());
    benchmark::ClobberMemory();
  }
}

// Peer: giflib reading the unoptimised file.
void BM_PeerGiflibDecode(benchmark::State& state) {
  Input& in = TheInput();
  for (auto _ : state) {
    bench::GifMemorySource source{&in.File};
    int err = 0;
    GifFileType* gif = DGifOpen(&source, &bench::ReadFromMemory, &err);
    if (gif == nullptr || DGifSlurp(gif) != GIF_OK) state.SkipWithError("giflib could not read the render");
    benchmark::DoNotOptimize(gif);
    if (gif != nullptr) DGifCloseFile(gif, &err);
  }
}

// Every optimisation run needs a fresh copy and a save, both untimed and far
// slower than the optimisation itself: a fixed number of runs.
constexpr int kOptimizeRuns = 5;

BENCHMARK(BM_PeerMemcpyPixels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeerGiflibDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OptimizeColorMaps)->Unit(benchmark::kMillisecond)->Iterations(kOptimizeRuns);
BENCHMARK(BM_MergeCropLocalMaps)->Unit(benchmark::kMillisecond)->Iterations(kOptimizeRuns);
BENCHMARK(BM_MergeCropSharedMap)->Unit(benchmark::kMillisecond)->Iterations(kOptimizeRuns);
BENCHMARK(BM_SharedMapThenMergeCrop)->Unit(benchmark::kMillisecond)->Iterations(kOptimizeRuns);
BENCHMARK(BM_SharedMapThenAllOptions)->Unit(benchmark::kMillisecond)->Iterations(kOptimizeRuns);

int WriteFiles(const std::string& dir) {
  Input& in = TheInput();
  TGIFImage optimised;
  optimised.Assign(&in.Doc);
  SharedMapMergeCrop(optimised);
  in.Doc.SaveToFile(dir + "/folds.gif");
  optimised.SaveToFile(dir + "/folds-klaptor.gif");
  std::printf("%s/folds.gif: %zu bytes, %d frames\n", dir.c_str(), in.File.size(), in.Doc.Images().Count());
  return 0;
}

int WriteSmall(const std::string& file) {
  RenderSettings s;
  s.Width = 160;
  s.Height = 30;
  s.Lines = 3;
  s.Frames = 5;
  TGIFImage doc;
  RenderFolds(s, doc);
  doc.SaveToFile(file);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 3 && std::strcmp(argv[1], "--write") == 0) return WriteFiles(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--write-small") == 0) return WriteSmall(argv[2]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "optimize_bench: %s\n", e.what());
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  TheInput();  // render before any timing
  bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double memcpyTime = reporter.Get("BM_PeerMemcpyPixels");
  const double giflibTime = reporter.Get("BM_PeerGiflibDecode");
  if (memcpyTime > 0 && giflibTime > 0) {
    std::printf("\nCPU time against the peers (%d frames, %lld pixel bytes):\n", TheInput().Doc.Images().Count(),
                static_cast<long long>(TheInput().PixelBytes));
    for (const auto& [name, t] : reporter.Micros) {
      if (name.rfind("BM_Peer", 0) == 0) continue;
      std::printf("  %-42s %8.1f x memcpy   %6.2f x giflib decode\n", name.c_str(), t / memcpyTime, t / giflibTime);
    }
  }
  benchmark::Shutdown();
  return 0;
}
