// The desktop front end's entry: `klaptor [FILE.Flp]` opens the main window
// (loading FILE when given) and runs Qt's event loop until it closes.
//
// For screenshots (tools/screenshot.sh) the window can photograph itself:
//   KLAPTOR_SCREENSHOT=OUT.png      write the window as the screen shows it,
//   KLAPTOR_SCREENSHOT_DELAY=MS     this long after start (default 2500),
//   KLAPTOR_SCREENSHOT_RENDER=N     or: start Render after the delay and take
//                                   the picture at frame N, then cancel,
// and the program ends after the picture.
#pragma once

#include <string>

// Returns the process exit code. `flipFile` may be empty.
int RunGui(int argc, char** argv, const std::string& flipFile);
