// klaptor: the split-flap GIF maker. With --render it works headless; without,
// it opens the window of the desktop front end.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/RenderCommand.h"
#if __has_include("gui/Gui.h")
#include "gui/Gui.h"
#define KLAPTOR_HAVE_GUI 1
#endif

namespace {

const char kUsage[] =
    "Usage: klaptor [FILE.Flp]\n"
    "       klaptor --render OUT.gif [FILE.Flp] [--text LINES.txt] [--set KEY=VALUE]... [--quiet]\n"
    "\n"
    "Turns lines of text into a looping animated GIF that looks like a split-flap board.\n"
    "\n"
    "  FILE.Flp            flip file with the settings and text to load at start\n"
    "  --render OUT.gif    render the animation headless and write it to OUT.gif\n"
    "                      (without FILE: the welcome text and the initial settings)\n"
    "  --text LINES.txt    take the lines from a text file, one line per line\n"
    "  --set KEY=VALUE     override a flip-file setting, for example --set FramesPerLine=14,\n"
    "                      --set Width=640, --set BackColor=#203040, --set Merge=False\n"
    "                      (keys: Alignment, Interval, FramesPerLine, HingeSize, TimePerLine,\n"
    "                      Width, Height, Bitmap, Stretch, Merge, Crop, Pallete, BackColor,\n"
    "                      HingeColor, FontColor, FontName, FontSize, Bold, Italic,\n"
    "                      Underline, StrikeOut)\n"
    "  --quiet             no progress on stderr\n"
    "  --help              show this help and exit\n"
    "  --version           show the version and exit\n"
    "\n"
    "Ctrl+C during --render cancels it: OUT.gif is not written (an existing one is kept).\n";

extern "C" void OnInterrupt(int) { RenderInterrupted = 1; }

void CatchInterrupts() {
  struct sigaction sa {};
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  // A second Ctrl+C ends the program at once.
  sa.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& a : args) {
    if (a == "--") break;
    if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (a == "--version") {
      std::printf("klaptor %s\n", KLAPTOR_VERSION);
      return 0;
    }
  }
  if (IsRenderCommand(args)) {
    TRenderOptions options;
    try {
      options = ParseRenderArgs(args);
    } catch (const ECommandLine& e) {
      std::fprintf(stderr, "klaptor: %s\n", e.Message().c_str());
      return kExitUsage;
    }
    CatchInterrupts();
    const bool progress = !options.Quiet && ::isatty(STDERR_FILENO) == 1;
    return RunRender(options, stderr, progress);
  }
#ifdef KLAPTOR_HAVE_GUI
  // The first argument that is not an option names the flip file to load.
  std::string flipFile;
  for (const std::string& a : args)
    if (!a.empty() && a[0] != '-') {
      flipFile = a;
      break;
    }
  return RunGui(argc, argv, flipFile);
#else
  std::fputs("klaptor: the window is not part of this build; use --render OUT.gif (see --help)\n", stderr);
  return kExitUsage;
#endif
}
