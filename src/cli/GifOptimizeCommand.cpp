#include "cli/GifOptimizeCommand.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <sys/stat.h>

#include "gif/GIFImage.h"

namespace {

const char kOptimizeUsage[] =
    "Usage: klaptor-gif optimize IN.gif OUT.gif [--palette] [--merge] [--crop] [--cleanup] [--colormaps]\n";

long long FileBytes(const std::string& name) {
  struct stat st;
  return stat(name.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

}  // namespace

int GifOptimizeCommand(int argc, char** argv) {
  std::string in, out;
  bool palette = false;
  TGIFOptimizeOptions options = 0;
  for (int i = 0; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--palette") == 0) {
      palette = true;
    } else if (std::strcmp(a, "--merge") == 0) {
      options |= foMerge;
    } else if (std::strcmp(a, "--crop") == 0) {
      options |= foCrop;
    } else if (std::strcmp(a, "--cleanup") == 0) {
      options |= foCleanup;
    } else if (std::strcmp(a, "--colormaps") == 0) {
      options |= foColorMaps;
    } else if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
      std::fputs(kOptimizeUsage, stdout);
      return 0;
    } else if (a[0] == '-' && a[1] != '\0') {
      std::fprintf(stderr, "klaptor-gif optimize: unknown option '%s'\n%s", a, kOptimizeUsage);
      return 2;
    } else if (in.empty()) {
      in = a;
    } else if (out.empty()) {
      out = a;
    } else {
      std::fprintf(stderr, "klaptor-gif optimize: unexpected argument '%s'\n%s", a, kOptimizeUsage);
      return 2;
    }
  }
  if (out.empty()) {
    std::fputs(kOptimizeUsage, stderr);
    return 2;
  }

  try {
    TGIFImage gif;
    gif.OnWarning = [](void*, int, const std::string& message) {
      std::fprintf(stderr, "klaptor-gif: warning: %s\n", message.c_str());
    };
    gif.LoadFromFile(in);
    // The shared colour map first, as the main window does: merging then finds
    // room for a transparent entry.
    if (palette) gif.OptimizeColorMaps();
    if (options != 0) gif.Optimize(options, ReduceNone, DitherNone, 0);
    gif.SaveToFile(out);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "klaptor-gif: %s\n", e.what());
    return 1;
  }
  const long long before = FileBytes(in);
  const long long after = FileBytes(out);
  std::printf("%s: %lld bytes\n%s: %lld bytes", in.c_str(), before, out.c_str(), after);
  if (before > 0) std::printf(" (%.1f%%)", 100.0 * static_cast<double>(after) / static_cast<double>(before));
  std::printf("\n");
  return 0;
}
