// klaptor-gif optimize as a user runs it: exit codes, the size report, and an
// output that giflib reads and that shows the same pictures.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "optimize/OptimizeTestKit.h"

namespace {

namespace fs = std::filesystem;
using namespace otest;

std::string ReadText(const fs::path& P) {
  std::ifstream f(P, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

class OptimizeCommand : public ::testing::Test {
 protected:
  const std::string Tool = std::string(KLAPTOR_BINARY_DIR) + "/klaptor-gif";
  const std::string Input = std::string(KLAPTOR_TEST_DATA) + "/optimize/folds-160x30.gif";
  fs::path Dir;

  void SetUp() override {
    if (!fs::exists(Tool)) GTEST_SKIP() << Tool << " is not built";
    Dir = fs::temp_directory_path() / ("klaptor-optimize-test-" + std::to_string(::getpid()));
    fs::create_directories(Dir);
  }
  void TearDown() override {
    if (!Dir.empty()) fs::remove_all(Dir);
  }
  struct Result {
    int Code;
    std::string Out, Err;
  };
  Result Run(const std::string& Args) {
    const fs::path out = Dir / "stdout", err = Dir / "stderr";
    const int rc = std::system((Tool + " optimize " + Args + " >" + out.string() + " 2>" + err.string()).c_str());
    return Result{WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, ReadText(out), ReadText(err)};
  }
};

TEST_F(OptimizeCommand, ShrinksAndKeepsThePictures) {
  const Bytes in = [&] {
    const std::string s = ReadText(Input);
    return Bytes(s.begin(), s.end());
  }();
  PlainAnimation before;
  std::string error;
  ASSERT_TRUE(FromGiflib(in, before, error)) << error;

  const struct {
    const char* Options;
  } cases[] = {{""}, {"--palette --merge --crop"}, {"--merge --crop --cleanup --colormaps"},
               {"--palette --merge --crop --cleanup --colormaps"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Options);
    const fs::path out = Dir / "out.gif";
    const Result r = Run(Input + " " + out.string() + " " + c.Options);
    ASSERT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    const std::string bytes = ReadText(out);
    const std::string want = Input + ": " + std::to_string(in.size()) + " bytes\n" + out.string() + ": " +
                             std::to_string(bytes.size()) + " bytes (";
    EXPECT_EQ(r.Out.substr(0, want.size()), want);
    PlainAnimation after;
    ASSERT_TRUE(FromGiflib(Bytes(bytes.begin(), bytes.end()), after, error)) << error;
    EXPECT_EQ("", CompareTimelines(Play(before), Play(after)));
  }
}

TEST_F(OptimizeCommand, Errors) {
  const struct {
    std::string Args;
    int Code;
    std::string Err;
  } cases[] = {
      {"", 2, "klaptor-gif: optimize takes an input and an output file; see --help\n"},
      {"a.gif", 2, "klaptor-gif: optimize takes an input and an output file; see --help\n"},
      {"a.gif b.gif --fast", 2, "klaptor-gif: optimize: unknown option '--fast'; see --help\n"},
      {"/nonexistent/a.gif b.gif", 1, "klaptor-gif: Cannot open file \"/nonexistent/a.gif\". No such file or directory\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Args);
    const Result r = Run(c.Args);
    EXPECT_EQ(r.Code, c.Code);
    EXPECT_EQ(r.Err, c.Err);
    EXPECT_EQ(r.Out, "");
  }
}

}  // namespace
