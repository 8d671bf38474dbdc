// `klaptor-gif optimize IN OUT [--palette] [--merge] [--crop] [--cleanup]
// [--colormaps]`: loads IN, builds the shared colour map first (--palette),
// then runs the frame optimisation with the other options, saves OUT and
// prints the file sizes before and after.
#pragma once

// Args are the words after "optimize". Returns the process exit code.
int GifOptimizeCommand(int argc, char** argv);
