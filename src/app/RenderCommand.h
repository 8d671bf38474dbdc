// `klaptor --render OUT.gif [FILE.Flp]`: the main window run headless. The
// window is created (loading FILE), its settings fields are applied, the
// overrides of --text and --set go in, and the Render command runs with the
// save dialog answered by OUT. Errors become one line on stderr and a
// non-zero exit; an interrupt cancels cleanly (no file, or the old one kept).
#pragma once

#include <csignal>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/SysUtils.h"

// A command line that cannot be run as given; the message is one line.
class ECommandLine : public Exception {
 public:
  using Exception::Exception;
};

struct TRenderOptions {
  std::string Output;                                      // OUT.gif
  std::string FlipFile;                                    // optional
  std::string TextFile;                                    // --text
  std::vector<std::pair<std::string, std::string>> Sets;   // --set, in order
  bool Quiet = false;
};

// True when the arguments ask for a headless render (contain --render).
bool IsRenderCommand(const std::vector<std::string>& args);

// Parses the arguments after the program name. ECommandLine on a mistake.
TRenderOptions ParseRenderArgs(const std::vector<std::string>& args);

// A --set value checked and written as the flip file writes it; ECommandLine
// naming the key for a value the window would ignore or refuse.
// Returns (canonical key, value).
std::pair<std::string, std::string> CheckSetting(const std::string& key, const std::string& value);

// Exit codes of the renderer.
constexpr int kExitOk = 0;
constexpr int kExitError = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

// Set (from a signal handler) to cancel the render at the next frame.
extern volatile std::sig_atomic_t RenderInterrupted;

// Runs the render. `err` receives the one-line error and, when `showProgress`,
// the progress bar. Returns an exit code.
int RunRender(const TRenderOptions& options, std::FILE* err, bool showProgress);
