// klaptor-gif as a user runs it: exit codes, exact output of info, files
// written by recode (read back by giflib) and frames (PAM bytes).
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gif/GIFImage.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct RunResult {
  int Status;
  std::string Out, Err;
};

std::string ReadText(const fs::path& P) {
  std::ifstream f(P, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

Bytes ReadBytes(const fs::path& P) {
  const std::string s = ReadText(P);
  return Bytes(s.begin(), s.end());
}

void WriteBytes(const fs::path& P, const Bytes& B) {
  std::ofstream f(P, std::ios::binary);
  f.write(reinterpret_cast<const char*>(B.data()), static_cast<std::streamsize>(B.size()));
}

class KlaptorGif : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("klaptor-gif-test-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir);
    ASSERT_TRUE(fs::exists(Tool)) << Tool << " is not built";
  }
  void TearDown() override { fs::remove_all(Dir); }

  RunResult Exec(const std::string& Args) {
    const fs::path out = Dir / "stdout.txt", err = Dir / "stderr.txt";
    const std::string cmd = Tool + " " + Args + " >" + out.string() + " 2>" + err.string();
    const int rc = std::system(cmd.c_str());
    return RunResult{WIFEXITED(rc) ? WEXITSTATUS(rc) : -1, ReadText(out), ReadText(err)};
  }

  // Two frames over a 4-colour global table: frame 0 (4x3) with a looping
  // block and a graphic control block; frame 1 (3x2 at 1,1), interlaced, with
  // its own 8-colour table, transparent index 2 and a comment.
  fs::path Sample(TGIFCompression Compression = gcLZW) {
    TGIFImage doc;
    doc.SetCompression(Compression);
    for (TColor c : {RGBColor(0, 0, 0), RGBColor(255, 0, 0), RGBColor(0, 255, 0), RGBColor(0, 0, 255)})
      doc.GlobalColorMap().Add(c);
    auto* f0 = new TGIFSubImage(&doc);
    f0->SetBounds(0, 0, 4, 3);
    const uint8_t px0[] = {0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 1, 1};
    std::copy(std::begin(px0), std::end(px0), f0->Data());
    f0->Extensions().Add(new TGIFAppExtNSLoop(f0));
    auto* g0 = new TGIFGraphicControlExtension(f0);
    g0->SetDelay(10);
    g0->SetDisposal(dmBackground);
    f0->Extensions().Add(g0);
    doc.Add(f0);
    auto* f1 = new TGIFSubImage(&doc);
    f1->SetBounds(1, 1, 3, 2);
    for (int i = 0; i < 8; ++i) f1->ColorMap().Add(RGBColor(uint8_t(i * 30), uint8_t(i * 20), uint8_t(i * 10)));
    const uint8_t px1[] = {2, 7, 0, 5, 2, 2};
    std::copy(std::begin(px1), std::end(px1), f1->Data());
    f1->SetInterlaced(true);
    auto* g1 = new TGIFGraphicControlExtension(f1);
    f1->Extensions().Add(g1);
    g1->SetTransparent(true);
    g1->SetTransparentColorIndex(2);
    auto* note = new TGIFCommentExtension(f1);
    note->Text().Add("made by a test");
    f1->Extensions().Add(note);
    doc.Add(f1);
    const fs::path p = Dir / "sample.gif";
    doc.SaveToFile(p.string());
    return p;
  }

  fs::path Dir;
  const std::string Tool = std::string(KLAPTOR_BINARY_DIR) + "/klaptor-gif";
};

std::vector<Bytes> GiflibPixels(const fs::path& P) {
  int err = 0;
  GifFileType* gif = DGifOpenFileName(P.c_str(), &err);
  std::vector<Bytes> frames;
  if (!gif) return frames;
  if (DGifSlurp(gif) == GIF_OK)
    for (int i = 0; i < gif->ImageCount; ++i) {
      const SavedImage& s = gif->SavedImages[i];
      frames.emplace_back(s.RasterBits, s.RasterBits + s.ImageDesc.Width * s.ImageDesc.Height);
    }
  DGifCloseFile(gif, &err);
  return frames;
}

}  // namespace

TEST_F(KlaptorGif, UsageAndUnknownCommands) {
  struct Case {
    const char* Args;
    int Status;
    const char* Err;  // exact stderr; null: not checked
  };
  const Case cases[] = {
      {"--help", 0, ""},
      {"", 2, nullptr},
      {"bogus", 2, "klaptor-gif: unknown command 'bogus'; see --help\n"},
      {"info", 2, "klaptor-gif: info takes one file; see --help\n"},
      {"recode a.gif", 2, "klaptor-gif: recode takes an input and an output file; see --help\n"},
      {"recode a.gif b.gif --fast", 2, "klaptor-gif: recode: unknown option '--fast'; see --help\n"},
      {"frames a.gif", 2, "klaptor-gif: frames takes an input file and a directory; see --help\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Args);
    RunResult r = Exec(c.Args);
    EXPECT_EQ(r.Status, c.Status);
    if (c.Err) {
      EXPECT_EQ(r.Err, c.Err);
    }
  }
  EXPECT_EQ(Exec("--help").Out.rfind("Usage: klaptor-gif info FILE.gif\n", 0), 0u);
  EXPECT_NE(Exec("").Err.find("Usage:"), std::string::npos);
}

TEST_F(KlaptorGif, InfoShowsStructureAndWarnings) {
  const fs::path p = Sample();
  // A stray byte before the trailer: the reader stops there and warns twice.
  Bytes b = ReadBytes(p);
  b.insert(b.end() - 1, 0x99);
  WriteBytes(p, b);
  RunResult r = Exec("info " + p.string());
  EXPECT_EQ(r.Status, 0);
  EXPECT_EQ(r.Err, "");
  EXPECT_EQ(r.Out, "file: " + p.string() +
                       "\n"
                       "version: 89a\n"
                       "screen: 4x3\n"
                       "background index: 0\n"
                       "aspect ratio: 0\n"
                       "colour resolution: 3 bits\n"
                       "global colour table: 4 entries, sorted no\n"
                       "frames: 2\n"
                       "frame 0: 4x3 at 0,0, no local colour table, interlaced no\n"
                       "  loop: \"NETSCAPE2.0\", forever\n"
                       "  graphic control: delay 10, disposal 2, user input no, transparent none\n"
                       "frame 1: 3x2 at 1,1, local colour table 8 entries, interlaced yes\n"
                       "  graphic control: delay 0, disposal 0, user input no, transparent 2\n"
                       "  comment: 1 lines\n"
                       "    \"made by a test\"\n"
                       "warnings: 2\n"
                       "warning: Unknown GIF block type\n"
                       "warning: Invalid Image trailer\n");
}

TEST_F(KlaptorGif, BadInputIsOneLineAndExitOne) {
  const fs::path sample = Sample();
  const fs::path notGif = Dir / "not.gif", cut = Dir / "cut.gif";
  WriteBytes(notGif, Bytes{'J', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  Bytes b = ReadBytes(sample);
  b.resize(20);
  WriteBytes(cut, b);
  const fs::path missing = Dir / "missing.gif";
  struct Case {
    std::string Args, Err;
  };
  const Case cases[] = {
      {"info " + missing.string(), "klaptor-gif: Cannot open file \"" + missing.string() + "\". No such file or directory\n"},
      {"info " + notGif.string(), "klaptor-gif: " + notGif.string() + ": Invalid GIF signature\n"},
      {"info " + cut.string(), "klaptor-gif: " + cut.string() + ": Premature end of data\n"},
      {"recode " + cut.string() + " " + (Dir / "x.gif").string(), "klaptor-gif: " + cut.string() + ": Premature end of data\n"},
      {"frames " + notGif.string() + " " + (Dir / "d").string(), "klaptor-gif: " + notGif.string() + ": Invalid GIF signature\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Args);
    RunResult r = Exec(c.Args);
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, c.Err);
    EXPECT_EQ(r.Out, "");
  }
  EXPECT_FALSE(fs::exists(Dir / "x.gif"));
  // An output that cannot be created: one line naming it.
  RunResult r = Exec("recode " + sample.string() + " " + (Dir / "no" / "such" / "dir.gif").string());
  EXPECT_EQ(r.Status, 1);
  EXPECT_NE(r.Err.find((Dir / "no" / "such" / "dir.gif").string()), std::string::npos) << r.Err;
  EXPECT_EQ(std::count(r.Err.begin(), r.Err.end(), '\n'), 1) << r.Err;
}

TEST_F(KlaptorGif, RecodeWithEitherCoderKeepsThePixels) {
  const fs::path in = Sample();
  const std::vector<Bytes> want = GiflibPixels(in);
  ASSERT_EQ(want.size(), 2u);
  for (const char* flag : {"", " --rle"}) {
    SCOPED_TRACE(flag);
    const fs::path out = Dir / "out.gif", again = Dir / "again.gif";
    RunResult r = Exec("recode " + in.string() + " " + out.string() + flag);
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Err, "");
    EXPECT_EQ(GiflibPixels(out), want);
    ASSERT_EQ(Exec("recode " + out.string() + " " + again.string() + flag).Status, 0);
    EXPECT_EQ(ReadBytes(again), ReadBytes(out)) << "recoding is stable";
  }
  // The run-length coder writes other bytes than LZW for the same pixels.
  Exec("recode " + in.string() + " " + (Dir / "lzw.gif").string());
  Exec("recode " + in.string() + " " + (Dir / "rle.gif").string() + " --rle");
  EXPECT_NE(ReadBytes(Dir / "lzw.gif"), ReadBytes(Dir / "rle.gif"));
}

TEST_F(KlaptorGif, FramesWritesEachFramesOwnPixels) {
  const fs::path in = Sample();
  const fs::path out = Dir / "frames";
  RunResult r = Exec("frames " + in.string() + " " + out.string());
  ASSERT_EQ(r.Status, 0) << r.Err;
  EXPECT_EQ(r.Out, "2 frames written to " + out.string() + "\n");
  // Frame 1: 3x2, its local table (i*30, i*20, i*10), index 2 transparent.
  std::string want = "P7\nWIDTH 3\nHEIGHT 2\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  for (int i : {2, 7, 0, 5, 2, 2}) {
    want += char(i * 30);
    want += char(i * 20);
    want += char(i * 10);
    want += char(i == 2 ? 0 : 255);
  }
  EXPECT_EQ(ReadText(out / "frame-001.pam"), want);
  // Frame 0 uses the global table and has no transparency.
  const std::string f0 = ReadText(out / "frame-000.pam");
  const std::string head0 = "P7\nWIDTH 4\nHEIGHT 3\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  ASSERT_EQ(f0.size(), head0.size() + 4 * 3 * 4);
  EXPECT_EQ(f0.substr(0, head0.size()), head0);
  EXPECT_EQ(f0.substr(head0.size(), 8), std::string("\0\0\0\xFF\xFF\0\0\xFF", 8)) << "black, then red";
}
