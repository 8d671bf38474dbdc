// klaptor: the split-flap GIF maker. With --render it works headless; without,
// it opens the window (arrives with the desktop front end).
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char kUsage[] =
    "Usage: klaptor [FILE.Flp]\n"
    "       klaptor --render OUT.gif [FILE.Flp] [--text LINES.txt] [--set KEY=VALUE]... [--quiet]\n"
    "\n"
    "Turns lines of text into a looping animated GIF that looks like a split-flap board.\n"
    "\n"
    "  FILE.Flp            flip file with the settings and text to load at start\n"
    "  --render OUT.gif    render the animation headless and write it to OUT.gif\n"
    "  --text LINES.txt    take the lines from a text file, one line per line\n"
    "  --set KEY=VALUE     override a flip-file setting (for example --set Frames=14)\n"
    "  --quiet             no progress on stderr\n"
    "  --help              show this help and exit\n"
    "  --version           show the version and exit\n";

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("klaptor %s\n", KLAPTOR_VERSION);
      return 0;
    }
  }
  std::fputs("klaptor: the window and the renderer are not built yet; see --help\n", stderr);
  return 2;
}
