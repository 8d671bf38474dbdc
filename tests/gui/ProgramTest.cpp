// The klaptor program itself: without --render it opens the window (here on
// the offscreen platform, photographing itself and ending); with --render it
// never starts Qt, so it runs without any display.
#include <gtest/gtest.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const std::string kKlaptor = std::string(KLAPTOR_BINARY_DIR) + "/klaptor";

int RunCommand(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("klaptor-gui-program-" + name)).string();
}

}  // namespace

TEST(Program, OpensTheWindowWithAFlipFile) {
  struct Case {
    const char* name;
    const char* env;
  };
  for (const Case& c : {Case{"still", ""}, Case{"rendering", "KLAPTOR_SCREENSHOT_RENDER=5 "}}) {
    SCOPED_TRACE(c.name);
    const std::string shot = TempPath(std::string(c.name) + ".png");
    std::filesystem::remove(shot);
    const std::string flip = std::string(KLAPTOR_SOURCE_DIR) + "/examples/departures.Flp";
    const int code = RunCommand("QT_QPA_PLATFORM=offscreen KLAPTOR_SCREENSHOT='" + shot +
                         "' KLAPTOR_SCREENSHOT_DELAY=200 " + c.env + "timeout 60 '" + kKlaptor + "' '" + flip +
                         "' 2>/dev/null");
    EXPECT_EQ(code, 0);
    const QImage image(QString::fromStdString(shot));
    EXPECT_FALSE(image.isNull()) << "no screenshot written";
    EXPECT_GE(image.width(), 766);
    EXPECT_GE(image.height(), 349);
    std::filesystem::remove(shot);
  }
}

TEST(Program, RenderNeverStartsQt) {
  const std::string out = TempPath("headless.gif");
  std::filesystem::remove(out);
  // An X platform without a display would abort a Qt start-up.
  const int code = RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb timeout 120 '" + kKlaptor +
                       "' --render '" + out + "' --quiet --set FramesPerLine=2");
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(std::filesystem::exists(out));
  std::filesystem::remove(out);
}
