#include "cli/GifOptimizeCommand.h"

#include <cstdio>
#include <sys/stat.h>

#include "gif/GIFImage.h"

namespace {

long long FileBytes(const std::string& Name) {
  struct stat st;
  return stat(Name.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

int Usage(const std::string& Message) {
  std::fprintf(stderr, "klaptor-gif: %s; see --help\n", Message.c_str());
  return 2;
}

// Runs Op; an error is printed naming Path (file errors name it already).
template <class F>
bool OnFile(const std::string& Path, F Op) {
  try {
    Op();
    return true;
  } catch (const EStreamError& e) {
    std::fprintf(stderr, "klaptor-gif: %s\n", e.Message().c_str());
  } catch (const Exception& e) {
    std::fprintf(stderr, "klaptor-gif: %s: %s\n", Path.c_str(), e.Message().c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "klaptor-gif: %s: %s\n", Path.c_str(), e.what());
  }
  return false;
}

}  // namespace

int GifOptimizeCommand(const std::vector<std::string>& Args) {
  std::vector<std::string> files;
  bool palette = false;
  TGIFOptimizeOptions options = 0;
  for (const std::string& a : Args) {
    if (a == "--palette")
      palette = true;
    else if (a == "--merge")
      options |= foMerge;
    else if (a == "--crop")
      options |= foCrop;
    else if (a == "--cleanup")
      options |= foCleanup;
    else if (a == "--colormaps")
      options |= foColorMaps;
    else if (a.rfind("--", 0) == 0)
      return Usage("optimize: unknown option '" + a + "'");
    else
      files.push_back(a);
  }
  if (files.size() != 2) return Usage("optimize takes an input and an output file");
  const std::string& in = files[0];
  const std::string& out = files[1];

  TGIFImage gif;
  std::string current = in;
  gif.OnWarning = [&current](void*, int, const std::string& Message) {
    std::fprintf(stderr, "klaptor-gif: %s: warning: %s\n", current.c_str(), Message.c_str());
  };
  if (!OnFile(in, [&] {
        gif.LoadFromFile(in);
        // The shared colour map first: merging then finds room for a
        // transparent entry in it.
        if (palette) gif.OptimizeColorMaps();
        if (options != 0) gif.Optimize(options, ReduceNone, DitherNone, 0);
      }))
    return 1;
  current = out;
  if (!OnFile(out, [&] { gif.SaveToFile(out); })) return 1;

  const long long before = FileBytes(in);
  const long long after = FileBytes(out);
  std::printf("%s: %lld bytes\n%s: %lld bytes", in.c_str(), before, out.c_str(), after);
  if (before > 0) std::printf(" (%.1f%% of the input)", 100.0 * static_cast<double>(after) / static_cast<double>(before));
  std::printf("\n");
  return 0;
}
