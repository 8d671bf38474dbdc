// klaptor-gif: inspect, re-encode, optimise and unpack GIF files.
#include <cstdio>
#include <cstring>

#include "cli/GifOptimizeCommand.h"

namespace {

const char kUsage[] =
    "Usage: klaptor-gif info FILE.gif\n"
    "       klaptor-gif recode IN.gif OUT.gif [--rle]\n"
    "       klaptor-gif optimize IN.gif OUT.gif [--palette] [--merge] [--crop] [--cleanup] [--colormaps]\n"
    "       klaptor-gif frames IN.gif DIR\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("klaptor-gif %s\n", KLAPTOR_VERSION);
    return 0;
  }
  if (std::strcmp(argv[1], "optimize") == 0) return GifOptimizeCommand(argc - 2, argv + 2);
  std::fprintf(stderr, "klaptor-gif: unknown command '%s'; see --help\n", argv[1]);
  return 2;
}
