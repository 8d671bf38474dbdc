// A whole render (the Render command, 757 x 90, 15 frames a line, all three
// size optimisations, saved to a file) against the sum of its stages measured
// alone in the same run: composing the frames, capturing and colour-reducing
// them, optimising, encoding. The ratio whole / sum shows the waste between the
// stages (target: at most 1.2). Peak memory of a render is measured in a fresh
// child process against 2 x the unoptimised frames' pixel bytes + 64 MiB.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/main.h"
#include "platform/FileUtils.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

std::vector<std::string> FortyLines() {
  const char* places[] = {"BERLIN", "PARIS", "MADRID", "OSLO", "ROME", "VIENNA", "PRAGUE", "LISBON"};
  std::vector<std::string> lines;
  for (int i = 0; i < 40; ++i) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d:%02d  %s  Platform %d", 6 + i / 4, (i * 13) % 60,
                  places[i % 8], 1 + i % 9);
    lines.push_back(buf);
  }
  return lines;
}

std::vector<std::string> Text(int which) { return which == 0 ? WelcomeText() : FortyLines(); }

std::string OutputDir() {
  // A memory file system keeps disk speed out of the comparison.
  if (std::filesystem::is_directory("/dev/shm")) return "/dev/shm";
  return std::filesystem::temp_directory_path().string();
}

// A window as the user leaves it: fields applied (Interval 50, 14 frames, so
// 15 frames a line), all three optimisations on, the text given.
std::unique_ptr<TForm1> MakeForm(TScriptedHost& host, int which) {
  auto form = std::make_unique<TForm1>(host);
  for (TEdit* e : {&form->Edit1, &form->Edit2, &form->Edit3, &form->Edit4}) e->Exit();
  form->Memo1.SetLines(Text(which));
  return form;
}

struct Stages {
  double compose = 0, captureReduce = 0, optimise = 0, encode = 0, whole = 0;
  int frames = 0;
  double sum() const { return compose + captureReduce + optimise + encode; }
};

// Steps the display through every frame as the renderer does; with `keep`
// copies each frame's pixels (untimed use only).
void Compose(TForm1& form, const std::vector<std::string>& lines, std::vector<TBitmap>* keep) {
  TFlipLabel& d = *form.FlipLabel2;
  d.SetAutoAnimate(false);
  d.SetCaption(lines.back());
  d.SetCurrentFrame(d.Frames());
  d.Invalidate();
  MessageLoop().ProcessMessages();
  for (const std::string& line : lines) {
    d.SetCaption(line);
    for (int f = 0; f <= d.Frames(); ++f) {
      d.SetCurrentFrame(f);
      MessageLoop().ProcessMessages();
      if (keep) keep->push_back(d.Surface());
    }
  }
}

Stages MeasureStages(int which) {
  Stages s;
  const std::vector<std::string> lines = Text(which);
  const std::string out = OutputDir() + "/klaptor-render-bench.gif";

  {  // composition alone
    TScriptedHost host;
    auto form = MakeForm(host, which);
    const auto t0 = Clock::now();
    Compose(*form, lines, nullptr);
    s.compose = Seconds(t0, Clock::now());
  }
  TScriptedHost host;
  auto form = MakeForm(host, which);
  std::vector<TBitmap> frames;
  Compose(*form, lines, &frames);
  s.frames = static_cast<int>(frames.size());

  TGIFImage doc;
  {  // capture and colour reduction alone
    const int w = form->FlipLabel2->Width(), h = form->FlipLabel2->Height();
    TBitmap capture(w, h, frames.front().PixelFormat());
    const auto t0 = Clock::now();
    for (const TBitmap& frame : frames) {
      BitBlt(capture, 0, 0, w, h, frame, 0, 0);
      form->AddBitmap(doc, capture, false);
    }
    s.captureReduce = Seconds(t0, Clock::now());
  }
  frames.clear();
  frames.shrink_to_fit();
  {  // optimisation alone
    const auto t0 = Clock::now();
    doc.OptimizeColorMaps();
    doc.Optimize(foMerge | foCrop, ReduceNone, DitherNone, 0);
    s.optimise = Seconds(t0, Clock::now());
  }
  {  // encoding alone, written as the renderer writes
    const auto t0 = Clock::now();
    WriteFileAtomically(out, [&doc](TStream& st) { doc.SaveToStream(st); });
    s.encode = Seconds(t0, Clock::now());
  }
  std::filesystem::remove(out);
  return s;
}

double WholeRender(int which) {
  const std::string out = OutputDir() + "/klaptor-render-bench-whole.gif";
  TScriptedHost host;
  auto form = MakeForm(host, which);
  host.FileAnswers.push_back(out);
  const auto t0 = Clock::now();
  form->tbRenderClick(nullptr);
  const double t = Seconds(t0, Clock::now());
  if (!host.Errors.empty()) std::fprintf(stderr, "render failed: %s\n", host.Errors[0].c_str());
  std::filesystem::remove(out);
  return t;
}

// Peak resident memory (MiB) of one whole render in a fresh process.
double PeakMiBOfRender(int which) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    WholeRender(which);
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    const long kib = u.ru_maxrss;
    (void)!write(fds[1], &kib, sizeof kib);
    _exit(0);
  }
  close(fds[1]);
  long kib = -1;
  (void)!read(fds[0], &kib, sizeof kib);
  close(fds[0]);
  waitpid(pid, nullptr, 0);
  return kib / 1024.0;
}

void BM_Render(benchmark::State& state) {
  const int which = static_cast<int>(state.range(0));
  state.SetLabel(which == 0 ? "welcome text, 5 lines" : "40 lines");
  Stages total;
  int runs = 0;
  for (auto _ : state) {
    Stages s = MeasureStages(which);
    s.whole = WholeRender(which);
    state.SetIterationTime(s.whole);
    total.compose += s.compose;
    total.captureReduce += s.captureReduce;
    total.optimise += s.optimise;
    total.encode += s.encode;
    total.whole += s.whole;
    total.frames = s.frames;
    ++runs;
  }
  const double sum = total.sum();
  state.counters["frames"] = total.frames;
  state.counters["frames_per_s"] = total.frames * runs / total.whole;
  state.counters["whole_over_stages"] = total.whole / sum;
  state.counters["share_compose"] = total.compose / sum;
  state.counters["share_capture_reduce"] = total.captureReduce / sum;
  state.counters["share_optimise"] = total.optimise / sum;
  state.counters["share_encode"] = total.encode / sum;
  const double pixelMiB = total.frames * 757.0 * 90.0 / (1024 * 1024);
  const double peak = PeakMiBOfRender(which);
  state.counters["peak_MiB"] = peak;
  state.counters["peak_limit_MiB"] = 2 * pixelMiB + 64;
  state.counters["peak_over_limit"] = peak / (2 * pixelMiB + 64);
}

BENCHMARK(BM_Render)->Arg(0)->Arg(1)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
