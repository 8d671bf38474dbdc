// klaptor --render end to end: the real program on every example, its output
// read by giflib; errors, Ctrl+C and the progress bar on a terminal. The
// argument checks run in-process.
#include <fcntl.h>
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <functional>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/RenderCommand.h"
#include "platform/Graphics.h"
#include "support/TestFiles.h"

namespace fs = std::filesystem;

namespace {

const std::string kKlaptor = std::string(KLAPTOR_BINARY_DIR) + "/klaptor";
const std::string kExamples = std::string(KLAPTOR_SOURCE_DIR) + "/examples";

// Each test's own folder.
struct Scratch : ScratchDir {
  Scratch() : ScratchDir("klaptor-cli-") {}
};

struct Outcome {
  int status = -1;  // exit code, or 128 + signal
  std::string err;
  std::string out;
};

// Starts klaptor with `args`; stderr goes to a pipe, or to a terminal when
// `pty` is set. `during` runs with the child's pid while it works.
Outcome Klaptor(const std::vector<std::string>& args, bool pty = false,
            const std::function<void(pid_t)>& during = {}) {
  Outcome r;
  int errFds[2] = {-1, -1};
  int master = -1;
  std::string slaveName;
  if (pty) {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master);
    unlockpt(master);
    slaveName = ptsname(master);
  } else if (pipe(errFds) != 0) {
    ADD_FAILURE() << "pipe";
    return r;
  }
  int outFds[2];
  if (pipe(outFds) != 0) return r;
  const pid_t pid = fork();
  if (pid == 0) {
    int errFd = pty ? open(slaveName.c_str(), O_RDWR) : errFds[1];
    dup2(errFd, STDERR_FILENO);
    dup2(outFds[1], STDOUT_FILENO);
    std::vector<char*> argv = {const_cast<char*>(kKlaptor.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(kKlaptor.c_str(), argv.data());
    _exit(127);
  }
  close(outFds[1]);
  if (!pty) close(errFds[1]);
  const int errRead = pty ? master : errFds[0];
  // Collect the output on a thread so that the child never blocks on a pipe.
  std::string err, out;
  std::thread reader([&] {
    char buf[4096];
    ssize_t n;
    while ((n = read(errRead, buf, sizeof buf)) > 0) err.append(buf, static_cast<size_t>(n));
  });
  std::thread outReader([&] {
    char buf[4096];
    ssize_t n;
    while ((n = read(outFds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  });
  if (during) during(pid);
  int status = 0;
  waitpid(pid, &status, 0);
  // A terminal's reads end with EIO once the child (its only user) has gone.
  reader.join();
  outReader.join();
  if (pty) close(master);
  if (!pty) close(errFds[0]);
  close(outFds[0]);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.err = err;
  r.out = out;
  return r;
}

struct Gif {
  int frames = -1;
  std::vector<int> delays;
  int width = 0, height = 0;
  int total() const {
    int t = 0;
    for (int d : delays) t += d;
    return t;
  }
};

Gif Decode(const std::string& path) {
  Gif g;
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (gif == nullptr) {
    ADD_FAILURE() << "giflib cannot open " << path << ": " << GifErrorString(error);
    return g;
  }
  if (DGifSlurp(gif) == GIF_OK) {
    g.frames = gif->ImageCount;
    g.width = gif->SWidth;
    g.height = gif->SHeight;
    for (int i = 0; i < gif->ImageCount; ++i) {
      GraphicsControlBlock gcb{};
      DGifSavedExtensionToGCB(gif, i, &gcb);
      g.delays.push_back(gcb.DelayTime);
    }
  } else {
    ADD_FAILURE() << "giflib cannot read " << path << ": " << GifErrorString(gif->Error);
  }
  DGifCloseFile(gif, &error);
  return g;
}

// The settings of an example as the flip file states them.
struct Example {
  const char* file;
  int lines, frames, interval, timePerLine, width, height;
};
const Example kExampleFiles[] = {
    {"welcome.Flp", 5, 14, 50, 1500, 757, 90},
    {"departures.Flp", 5, 12, 40, 2000, 640, 80},
    {"countdown.Flp", 4, 10, 30, 1000, 260, 160},
    {"greetings.Flp", 4, 16, 60, 1800, 560, 84},
};

}  // namespace

TEST(KlaptorRender, EveryExampleRendersRawWithTheExpectedFramesAndDelays) {
  Scratch dir;
  for (const Example& e : kExampleFiles) {
    SCOPED_TRACE(e.file);
    const std::string out = dir.File(std::string(e.file) + ".gif");
    const Outcome r = Klaptor({"--render", out, kExamples + "/" + e.file, "--set", "Merge=False", "--set",
                           "Crop=False", "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const Gif g = Decode(out);
    EXPECT_EQ(g.frames, e.lines * (e.frames + 1));
    EXPECT_EQ(g.width, e.width);
    EXPECT_EQ(g.height, e.height);
    std::vector<int> want;
    for (int l = 0; l < e.lines; ++l) {
      for (int f = 0; f < e.frames; ++f) want.push_back(e.interval / 10);
      want.push_back((e.timePerLine - e.interval * e.frames) / 10);
    }
    EXPECT_EQ(g.delays, want);
  }
}

TEST(KlaptorRender, OptimisedRendersKeepTheTotalTimeAndShrink) {
  Scratch dir;
  for (const Example& e : kExampleFiles) {
    SCOPED_TRACE(e.file);
    const std::string raw = dir.File("raw.gif"), small = dir.File("small.gif");
    ASSERT_EQ(Klaptor({"--render", raw, kExamples + "/" + e.file, "--set", "Merge=False", "--set",
                       "Crop=False", "--set", "Palette=False"})
                  .status,
              0);
    const Outcome r = Klaptor({"--render", small, kExamples + "/" + e.file});
    ASSERT_EQ(r.status, 0) << r.err;
    const Gif g = Decode(small);
    EXPECT_GT(g.frames, 0);
    EXPECT_LE(g.frames, e.lines * (e.frames + 1));
    EXPECT_EQ(g.total(), e.lines * (e.timePerLine / 10));
    EXPECT_LT(fs::file_size(small), fs::file_size(raw));
  }
}

TEST(KlaptorRender, WithoutAFileItRendersTheWelcomeTextWithTheShownSettings) {
  Scratch dir;
  const std::string out = dir.File("w.gif");
  const Outcome r = Klaptor({"--render", out, "--set", "Crop=False", "--set", "Merge=False"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Gif g = Decode(out);
  EXPECT_EQ(g.frames, 5 * 15);
  EXPECT_EQ(g.width, 757);
  EXPECT_EQ(g.height, 90);
  EXPECT_EQ(g.total(), 5 * 150);
}

TEST(KlaptorRender, TextAndSettingsFromTheCommandLine) {
  Scratch dir;
  const std::string text = dir.File("lines.txt");
  WriteAll(text, "first\nsecond\r\nthird\n");
  const std::string out = dir.File("t.gif");
  const Outcome r = Klaptor({"--render=" + out, "--text", text, "--set", "framesperline=4", "--set=Interval=20",
                         "--set", "Width=320.4", "--set", "Height=40", "--set", "BackColor=#102030",
                         "--set", "Crop=false", "--set", "Merge=False", "-q"});
  ASSERT_EQ(r.status, 0) << r.err;
  const Gif g = Decode(out);
  EXPECT_EQ(g.frames, 3 * 5);
  EXPECT_EQ(g.width, 320);
  EXPECT_EQ(g.height, 40);
  EXPECT_EQ(g.delays, (std::vector<int>{2, 2, 2, 2, 142, 2, 2, 2, 2, 142, 2, 2, 2, 2, 142}));
}

TEST(KlaptorRender, MistakesEndWithOneLineAndNoFile) {
  Scratch dir;
  const std::string out = dir.File("never.gif");
  const std::string notAFlip = dir.File("notes.txt");
  WriteAll(notAFlip, "just some notes\r\n");
  const std::string badTime = dir.File("bad.Flp");
  {
    std::string flp = ReadAll(kExamples + "/countdown.Flp");
    flp.replace(flp.find("TimePerLine=1000"), 16, "TimePerLine=1s");
    WriteAll(badTime, flp);
  }
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string message;  // part of the one line
  };
  const std::vector<Case> cases = {
      {"missing flip file", {"--render", out, dir.File("nope.Flp")}, 1, "nope.Flp"},
      {"not a flip file", {"--render", out, notAFlip}, 1, "is not a valid integer value"},
      {"time per line not a number", {"--render", out, badTime}, 1, "'1s' is not a valid integer value"},
      {"missing text file", {"--render", out, "--text", dir.File("none.txt")}, 1, "none.txt"},
      {"unknown option", {"--render", out, "--fast"}, 2, "unknown option '--fast'"},
      {"no output", {"--render"}, 2, "--render needs a value"},
      {"two flip files", {"--render", out, "a.Flp", "b.Flp"}, 2, "only one flip file"},
      {"unknown key", {"--render", out, "--set", "Colour=1"}, 2, "unknown setting 'Colour'"},
      {"width out of range", {"--render", out, "--set", "Width=9000"}, 2, "from 1 to 8192"},
      {"width not a number", {"--render", out, "--set", "Height=tall"}, 2, "Height='tall'"},
      {"set without value", {"--render", out, "--set", "Width"}, 2, "KEY=VALUE"},
      {"output folder missing", {"--render", dir.File("no/such/x.gif")}, 1, "cannot write"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome r = Klaptor(c.args);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.err.rfind("klaptor: ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_FALSE(fs::exists(out));
  }
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"bad.Flp", "notes.txt"}));
}

TEST(KlaptorRender, AnEmptyTextIsRefusedAndTheOldFileKept) {
  Scratch dir;
  const std::string empty = dir.File("empty.txt"), out = dir.File("old.gif");
  WriteAll(empty, "");
  WriteAll(out, "GIF89a old");
  const Outcome r = Klaptor({"--render", out, "--text", empty});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("empty"), std::string::npos) << r.err;
  EXPECT_EQ(ReadAll(out), "GIF89a old");
}

TEST(KlaptorRender, CtrlCCancelsCleanlyAndKeepsTheOldFile) {
  Scratch dir;
  // Many small frames: long enough to be interrupted half way.
  const std::string text = dir.File("many.txt");
  std::string lines;
  for (int i = 0; i < 3000; ++i) lines += "line " + std::to_string(i) + "\n";
  WriteAll(text, lines);
  const std::string out = dir.File("out.gif");
  WriteAll(out, "GIF89a old");
  const Outcome r = Klaptor({"--render", out, "--text", text, "--set", "Width=64", "--set", "Height=16",
                         "--set", "FontSize=8"},
                        false, [](pid_t pid) {
                          std::this_thread::sleep_for(std::chrono::milliseconds(600));
                          kill(pid, SIGINT);
                        });
  EXPECT_EQ(r.status, kExitInterrupted) << r.err;
  EXPECT_NE(r.err.find("interrupted"), std::string::npos) << r.err;
  EXPECT_EQ(ReadAll(out), "GIF89a old");
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"many.txt", "out.gif"}));
}

TEST(KlaptorRender, ProgressShowsOnATerminalOnly) {
  Scratch dir;
  const std::string out = dir.File("p.gif");
  const Outcome tty = Klaptor({"--render", out, kExamples + "/countdown.Flp"}, true);
  EXPECT_EQ(tty.status, 0) << tty.err;
  EXPECT_NE(tty.err.find("Rendering ["), std::string::npos) << tty.err;
  EXPECT_NE(tty.err.find("44/44 frames"), std::string::npos) << tty.err;
  EXPECT_NE(tty.err.find("klaptor: wrote " + out + ": "), std::string::npos) << tty.err;
  const Outcome quiet = Klaptor({"--render", out, kExamples + "/countdown.Flp", "--quiet"}, true);
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");
  const Outcome piped = Klaptor({"--render", out, kExamples + "/countdown.Flp"});
  EXPECT_EQ(piped.status, 0);
  EXPECT_EQ(piped.err, "");
}

TEST(KlaptorRender, HelpAndVersionStillWork) {
  const Outcome help = Klaptor({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("--render OUT.gif"), std::string::npos);
  const Outcome version = Klaptor({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("klaptor ", 0), 0u);
}

// --- In-process argument checks ---------------------------------------------

TEST(RenderArgs, ParsesEveryForm) {
  const TRenderOptions o = ParseRenderArgs(
      {"a.Flp", "--render", "out.gif", "--text=t.txt", "--set", "Width=5", "--set=Crop=False", "-q"});
  EXPECT_EQ(o.Output, "out.gif");
  EXPECT_EQ(o.FlipFile, "a.Flp");
  EXPECT_EQ(o.TextFile, "t.txt");
  EXPECT_TRUE(o.Quiet);
  EXPECT_EQ(o.Sets, (std::vector<std::pair<std::string, std::string>>{{"Width", "5"}, {"Crop", "False"}}));
  EXPECT_EQ(ParseRenderArgs({"--render", "x.gif", "--", "--odd.Flp"}).FlipFile, "--odd.Flp");
  EXPECT_TRUE(IsRenderCommand({"f.Flp", "--render=x.gif"}));
  EXPECT_FALSE(IsRenderCommand({"f.Flp"}));
  EXPECT_FALSE(IsRenderCommand({"--", "--render"}));
}

TEST(RenderArgs, SettingsAreCheckedAndWrittenAsTheFileWritesThem) {
  struct Case {
    std::string key, value;
    std::string wantKey, wantValue;  // empty wantKey: refused
  };
  const std::vector<Case> cases = {
      {"alignment", "center", "Alignment", "Center"},
      {"Alignment", "Centre", "Alignment", "Center"},
      {"Alignment", "middle", "", ""},
      {"Interval", "40", "Interval", "40"},
      {"Interval", "-1", "", ""},
      {"FramesPerLine", "0", "", ""},
      {"FramesPerLine", "1000", "FramesPerLine", "1000"},
      {"TimePerLine", "1.5", "", ""},
      {"Width", "64.6", "Width", "64.6"},
      {"Width", "0.4", "", ""},
      {"Height", "8192", "Height", "8192"},
      {"Height", "8192.6", "", ""},
      {"Height", "inf", "", ""},
      {"BackColor", "#FF8000", "BackColor", "33023"},  // red 255, green 128, blue 0
      {"BackColor", "-2147483640", "BackColor", "-2147483640"},
      {"HingeColor", "#GG0000", "", ""},
      {"Merge", "true", "Merge", "True"},
      {"Palette", "FALSE", "Pallete", "False"},
      {"Bold", "yes", "", ""},
      {"FontName", "", "", ""},
      {"FontSize", "0", "", ""},
      {"Bitmap", "", "Bitmap", ""},
      {"Line0", "x", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key + "=" + c.value);
    if (c.wantKey.empty()) {
      EXPECT_THROW(CheckSetting(c.key, c.value), ECommandLine);
    } else {
      EXPECT_EQ(CheckSetting(c.key, c.value), std::make_pair(c.wantKey, c.wantValue));
    }
  }
}

namespace {

// Colour of pixel (x, y) of the first frame.
std::array<int, 3> FirstFramePixel(const std::string& path, int x, int y) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  std::array<int, 3> rgb = {-1, -1, -1};
  if (gif && DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0) {
    const SavedImage& im = gif->SavedImages[0];
    const ColorMapObject* map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : gif->SColorMap;
    const GifColorType c = map->Colors[im.RasterBits[(y - im.ImageDesc.Top) * im.ImageDesc.Width + x - im.ImageDesc.Left]];
    rgb = {c.Red, c.Green, c.Blue};
  } else {
    ADD_FAILURE() << "giflib cannot read " << path;
  }
  if (gif) DGifCloseFile(gif, &error);
  return rgb;
}

}  // namespace

TEST(KlaptorRender, ABackgroundPictureShowsCopiedOrStretched) {
  Scratch dir;
  const std::string bmp = dir.File("red.bmp");
  TBitmap picture(100, 90, pf24bit);
  picture.Canvas().Brush().SetColor(RGBColor(204, 0, 0));  // a colour of the 216-colour cube
  picture.Canvas().FillRect(Rect(0, 0, 100, 90));
  picture.SaveToFile(bmp);
  const std::string out = dir.File("pic.gif"), text = dir.File("t.txt");
  WriteAll(text, "Hi\nThere\n");
  const std::array<int, 3> red = {204, 0, 0}, grey = {51, 51, 51};  // 56, 56, 56 on the cube
  for (const bool stretch : {false, true}) {
    SCOPED_TRACE(stretch ? "stretched" : "copied");
    const Outcome r = Klaptor({"--render", out, "--set", "Bitmap=" + bmp, "--set",
                               std::string("Stretch=") + (stretch ? "True" : "False"), "--set", "Merge=False",
                               "--set", "Crop=False", "--text", text});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(FirstFramePixel(out, 5, 88), red);
    EXPECT_EQ(FirstFramePixel(out, 700, 88), stretch ? red : grey);
  }
  const Outcome missing = Klaptor({"--render", out, "--set", "Bitmap=" + dir.File("none.bmp")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("none.bmp"), std::string::npos) << missing.err;
}
