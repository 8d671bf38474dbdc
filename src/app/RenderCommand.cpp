#include "app/RenderCommand.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>

#include "app/FlipFile.h"
#include "app/TextFiles.h"
#include "app/main.h"

volatile std::sig_atomic_t RenderInterrupted = 0;

bool IsRenderCommand(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "--") break;
    if (a == "--render" || a.rfind("--render=", 0) == 0) return true;
  }
  return false;
}

TRenderOptions ParseRenderArgs(const std::vector<std::string>& args) {
  TRenderOptions o;
  bool haveOutput = false;
  bool optionsEnded = false;
  auto positional = [&](const std::string& a) {
    if (!o.FlipFile.empty()) throw ECommandLine("only one flip file can be given ('" + o.FlipFile +
                                                "' and '" + a + "')");
    o.FlipFile = a;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.empty() || a[0] != '-' || a == "-") {
      positional(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    if (a == "--quiet" || a == "-q") {
      o.Quiet = true;
      continue;
    }
    // Options with a value: "--opt value" or "--opt=value".
    std::string name = a, value;
    bool inlineValue = false;
    if (const size_t eq = a.find('='); eq != std::string::npos && a.rfind("--", 0) == 0) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      inlineValue = true;
    }
    if (name != "--render" && name != "--text" && name != "--set")
      throw ECommandLine("unknown option '" + a + "' (see --help)");
    if (!inlineValue) {
      if (i + 1 >= args.size()) throw ECommandLine(name + " needs a value (see --help)");
      value = args[++i];
    }
    if (name == "--render") {
      if (haveOutput) throw ECommandLine("--render is given twice");
      if (value.empty()) throw ECommandLine("--render needs an output file name");
      o.Output = value;
      haveOutput = true;
    } else if (name == "--text") {
      if (value.empty()) throw ECommandLine("--text needs a file name");
      o.TextFile = value;
    } else {
      const size_t eq = value.find('=');
      if (eq == std::string::npos || eq == 0)
        throw ECommandLine("--set needs KEY=VALUE, got '" + value + "'");
      o.Sets.emplace_back(value.substr(0, eq), value.substr(eq + 1));
    }
  }
  if (!haveOutput) throw ECommandLine("--render needs an output file name");
  return o;
}

namespace {

std::string KeyList() {
  std::string list;
  for (const std::string& k : FlipSettingKeys()) list += (list.empty() ? "" : ", ") + k;
  return list;
}

[[noreturn]] void Refuse(const std::string& key, const std::string& value, const std::string& want) {
  throw ECommandLine("--set " + key + "='" + value + "': " + want);
}

int WholeNumber(const std::string& key, const std::string& value, int lo, int hi, const char* what) {
  int v;
  if (!TryStrToInt(value, v) || v < lo || v > hi)
    Refuse(key, value, std::string(what) + " from " + std::to_string(lo) + " to " + std::to_string(hi));
  return v;
}

std::string Color(const std::string& key, const std::string& value) {
  // "#RRGGBB" as people write colours, or the flip file's signed integer.
  if (value.size() == 7 && value[0] == '#') {
    int rgb;
    if (TryStrToInt("$" + value.substr(1), rgb) &&
        value.find_first_not_of("0123456789abcdefABCDEF", 1) == std::string::npos)
      return IntToStr(RGBColor(static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                               static_cast<uint8_t>(rgb)));
  }
  int v;
  if (!TryStrToInt(value, v)) Refuse(key, value, "a colour as #RRGGBB or a flip-file colour number");
  return IntToStr(v);
}

}  // namespace

std::pair<std::string, std::string> CheckSetting(const std::string& key, const std::string& value) {
  std::string canonical;
  for (const std::string& k : FlipSettingKeys())
    if (SameText(k, key)) canonical = k;
  if (SameText(key, "Palette")) canonical = flipkey::Palette;  // the usual spelling
  if (canonical.empty())
    throw ECommandLine("--set: unknown setting '" + key + "' (one of " + KeyList() + ")");
  const std::string& k = canonical;

  if (k == flipkey::Alignment) {
    for (const char* a : {"Left", "Center", "Right"})
      if (SameText(value, a)) return {k, a};
    if (SameText(value, "Centre")) return {k, "Center"};
    Refuse(k, value, "Left, Center or Right");
  }
  if (k == flipkey::Interval) return {k, IntToStr(WholeNumber(k, value, 0, 655350, "milliseconds"))};
  if (k == flipkey::FramesPerLine) return {k, IntToStr(WholeNumber(k, value, 1, 1000, "frames"))};
  if (k == flipkey::HingeSize) return {k, IntToStr(WholeNumber(k, value, 0, 8192, "pixels"))};
  if (k == flipkey::TimePerLine)
    return {k, IntToStr(WholeNumber(k, value, 0, 6553500, "milliseconds"))};
  if (k == flipkey::FontSize) return {k, IntToStr(WholeNumber(k, value, 1, 1000, "points"))};
  if (k == flipkey::Width || k == flipkey::Height) {
    double v;
    if (!TryStrToFloat(value, v) || !std::isfinite(v) || RoundHalfEven(v) < 1 || RoundHalfEven(v) > 8192)
      Refuse(k, value, "whole pixels from 1 to 8192");
    return {k, value};
  }
  if (k == flipkey::BackColor || k == flipkey::HingeColor || k == flipkey::FontColor)
    return {k, Color(k, value)};
  if (k == flipkey::FontName) {
    if (value.empty()) Refuse(k, value, "a font name");
    return {k, value};
  }
  if (k == flipkey::Bitmap) return {k, value};
  // The switches.
  if (SameText(value, "True")) return {k, flipkey::True};
  if (SameText(value, "False")) return {k, flipkey::False};
  Refuse(k, value, "True or False");
}

namespace {

// Answers the window's dialogs from the command line and turns its error box
// into a remembered message.
class TCliHost : public TFormHost {
 public:
  explicit TCliHost(std::string output) : FOutput(std::move(output)) {}
  TForm1* Form = nullptr;
  std::string Error;

  bool Execute(TFileDialog& dialog) override {
    if (dialog.Name != "SaveDialog1" || RenderInterrupted) return false;
    dialog.FileName = FOutput;
    return true;
  }
  bool Execute(TColorDialog&) override { return false; }
  bool Execute(TFontDialog&) override { return false; }
  void ShowError(const std::string& message) override {
    if (Error.empty()) Error = message;
  }
  void ProcessMessages() override {
    TFormHost::ProcessMessages();
    // Ctrl+C is the Cancel button.
    if (RenderInterrupted && Form) Form->ToolbarButton973Click(nullptr);
  }
  bool KeepWrittenFile() override {
    Committed = !RenderInterrupted;
    return Committed;
  }
  bool Committed = false;  // the output file was replaced

 private:
  std::string FOutput;
};

std::string OneLine(std::string s) {
  std::replace(s.begin(), s.end(), '\n', ' ');
  std::replace(s.begin(), s.end(), '\r', ' ');
  return s;
}

// A progress line on a terminal, redrawn in place.
class TProgressLine {
 public:
  TProgressLine(std::FILE* out, bool enabled) : FOut(out), FEnabled(enabled) {}
  ~TProgressLine() { Finish(); }
  void Frames(int done, int total) {
    // The window empties its bar at the end; the terminal keeps the last state.
    if (!FEnabled || total <= 0 || (done == 0 && FLast > 0)) return;
    FLast = done;
    constexpr int kWidth = 30;
    const int filled = static_cast<int>(int64_t{done} * kWidth / total);
    std::fprintf(FOut, "\r\033[KRendering [%s%s] %d/%d frames", std::string(static_cast<size_t>(filled), '#').c_str(),
                 std::string(static_cast<size_t>(kWidth - filled), '.').c_str(), done, total);
    std::fflush(FOut);
    FDrawn = true;
  }
  void Stage(const std::string& message, int percent) {
    if (!FEnabled) return;
    std::fprintf(FOut, "\r\033[K%s %d%%", message.c_str(), percent);
    std::fflush(FOut);
    FDrawn = true;
  }
  void Finish() {
    if (FDrawn) std::fprintf(FOut, "\r\033[K");
    FDrawn = false;
  }

 private:
  std::FILE* FOut;
  bool FEnabled;
  bool FDrawn = false;
  int FLast = 0;
};

// Replaces the value of `key` in flip-file text (the first line with it).
std::string WithValue(const std::string& text, const std::string& key, const std::string& value) {
  std::string out;
  bool done = false;
  for (const std::string& line : SplitLines(text)) {
    if (line.empty()) continue;
    const size_t eq = line.find('=');
    if (!done && eq != std::string::npos && SameText(line.substr(0, eq), key)) {
      out += key + "=" + value + "\r\n";
      done = true;
    } else {
      out += line + "\r\n";
    }
  }
  if (!done) out += key + "=" + value + "\r\n";
  return out;
}

}  // namespace

int RunRender(const TRenderOptions& options, std::FILE* err, bool showProgress) {
  RenderInterrupted = 0;
  auto fail = [err](const std::string& message, int code) {
    std::fprintf(err, "klaptor: %s\n", OneLine(message).c_str());
    return code;
  };

  std::vector<std::pair<std::string, std::string>> sets;
  try {
    for (const auto& [k, v] : options.Sets) sets.push_back(CheckSetting(k, v));
  } catch (const ECommandLine& e) {
    return fail(e.Message(), kExitUsage);
  }
  // Find out before a long render that the result cannot be written.
  {
    const size_t slash = options.Output.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : options.Output.substr(0, slash + 1);
    if (::access(dir.c_str(), W_OK) != 0)
      return fail("cannot write '" + options.Output + "': the folder does not exist or is not writable",
                  kExitError);
  }

  TCliHost host(options.Output);
  std::vector<std::string> params;
  if (!options.FlipFile.empty()) params.push_back(options.FlipFile);
  TForm1 form(host, params);  // FormCreate loads the flip file
  host.Form = &form;
  if (!host.Error.empty()) return fail(host.Error, kExitError);

  // The settings fields as shown, applied as leaving each field does.
  for (TEdit* e : {&form.Edit1, &form.Edit2, &form.Edit3, &form.Edit4}) e->Exit();
  if (!options.TextFile.empty() && !form.Perform([&] { form.Memo1.LoadFromFile(options.TextFile); }))
    return fail(host.Error, kExitError);
  if (!sets.empty()) {
    std::string text = form.FlipFileText();
    for (const auto& [k, v] : sets) text = WithValue(text, k, v);
    if (!form.Perform([&] { form.ApplyFlipText(text); })) return fail(host.Error, kExitError);
  }
  if (form.Memo1.LineCount() == 0) return fail("the text is empty: nothing to render", kExitError);

  TProgressLine progress(err, showProgress);
  form.ProgressBar.OnUpdate = [&] { progress.Frames(form.ProgressBar.Position(), form.ProgressBar.Max()); };
  form.GIFDocument->OnProgress = [&](void*, TProgressStage, uint8_t percent, bool, const TRect&,
                                     const std::string& message) { progress.Stage(message, percent); };

  const bool ok = form.Perform([&] { form.tbRenderClick(nullptr); });
  progress.Finish();
  form.ProgressBar.OnUpdate = nullptr;
  if (RenderInterrupted && !host.Committed)
    return fail("interrupted; nothing was written to '" + options.Output + "'", kExitInterrupted);
  if (!ok) return fail(host.Error, kExitError);
  if (form.AdvStatusBar1.PanelText(0) != formtext::Done) return fail("the rendering did not finish", kExitError);
  if (showProgress) {
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(options.Output, ec);
    std::fprintf(err, "klaptor: wrote %s: %d frames, %lld KiB\n", options.Output.c_str(),
                 form.GIFDocument->Images().Count(), ec ? 0LL : static_cast<long long>((bytes + 1023) / 1024));
  }
  return kExitOk;
}
