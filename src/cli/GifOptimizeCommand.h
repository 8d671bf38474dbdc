// `klaptor-gif optimize IN OUT [--palette] [--merge] [--crop] [--cleanup]
// [--colormaps]`: loads IN, builds the shared colour map first (--palette, as
// the main window does), then runs the frame optimisation with the other
// options, saves OUT and prints the file sizes before and after.
#pragma once

#include <string>
#include <vector>

// Args are the words after "optimize". Prints its own messages in the tool's
// style ("klaptor-gif: FILE: message") and returns the exit status: 0 done,
// 1 a file could not be read or written, 2 bad usage.
int GifOptimizeCommand(const std::vector<std::string>& Args);
