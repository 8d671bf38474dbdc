// The GIF rendering: frames per line, delays, the looping block, cancel,
// errors, the window's state after every kind of end, and the saved file as
// giflib reads it.
#include <gif_lib.h>

#include "AppFixture.h"

namespace {

struct Decoded {
  int frames = -1;
  std::vector<int> delays;
  int loopBlocks = 0;
  int width = 0, height = 0;
};

// Reads a GIF with giflib: frame count, each frame's delay, looping blocks.
Decoded DecodeWithGiflib(const std::string& path) {
  Decoded d;
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (gif == nullptr) {
    ADD_FAILURE() << "giflib cannot open " << path << ": " << GifErrorString(error);
    return d;
  }
  if (DGifSlurp(gif) != GIF_OK) {
    ADD_FAILURE() << "giflib cannot read " << path << ": " << GifErrorString(gif->Error);
  } else {
    d.frames = gif->ImageCount;
    d.width = gif->SWidth;
    d.height = gif->SHeight;
    for (int i = 0; i < gif->ImageCount; ++i) {
      GraphicsControlBlock gcb{};
      gcb.DelayTime = -1;
      DGifSavedExtensionToGCB(gif, i, &gcb);
      d.delays.push_back(gcb.DelayTime);
      const SavedImage& im = gif->SavedImages[i];
      for (int e = 0; e < im.ExtensionBlockCount; ++e)
        if (im.ExtensionBlocks[e].Function == APPLICATION_EXT_FUNC_CODE &&
            im.ExtensionBlocks[e].ByteCount == 11 &&
            std::string(reinterpret_cast<char*>(im.ExtensionBlocks[e].Bytes), 11) == "NETSCAPE2.0")
          ++d.loopBlocks;
    }
  }
  DGifCloseFile(gif, &error);
  return d;
}

std::vector<int> Delays(TGIFImage& doc) {
  std::vector<int> delays;
  for (int i = 0; i < doc.Images().Count(); ++i) {
    TGIFSubImage* f = doc.Images()[i];
    const TGIFGraphicControlExtension* gce = nullptr;
    for (int e = 0; e < f->Extensions().Count(); ++e)
      if (auto* g = dynamic_cast<TGIFGraphicControlExtension*>(f->Extensions()[e])) gce = g;
    delays.push_back(gce ? gce->Delay() : -1);
  }
  return delays;
}

// Count of pixels in which two frames differ (all of them when the sizes do).
int Differ(TGIFImage& doc, int a, int b) {
  TGIFSubImage* fa = doc.Images()[a];
  TGIFSubImage* fb = doc.Images()[b];
  if (fa->DataSize() != fb->DataSize()) return std::max(fa->DataSize(), fb->DataSize());
  int n = 0;
  for (int i = 0; i < fa->DataSize(); ++i) n += fa->Data()[i] != fb->Data()[i];
  return n;
}

}  // namespace

class RenderTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    ApplyFields();  // Interval 50, Frames 14, HingeSize 2
    Form->Memo1.SetLines({"One", "Two", "Three"});
    // The size optimisations change the frames; these tests look at them raw.
    Form->CheckBoxMerge.SetChecked(false);
    Form->CheckBoxCrop.SetChecked(false);
    Form->CheckBoxPalette.SetChecked(false);
    Form->ProgressBar.OnUpdate = [this] {
      MaxProgress = std::max(MaxProgress, Form->ProgressBar.Position());
    };
  }
  // Renders; true when no error was shown.
  bool Render() { return Form->Perform([this] { Form->tbRenderClick(nullptr); }); }
  // The window is back in its usual state after a rendering of any end.
  void ExpectRestored() {
    EXPECT_FALSE(Form->Rendering);
    EXPECT_EQ(Form->ProgressBar.Position(), 0);
    EXPECT_TRUE(Form->FlipLabel2->AutoAnimate());
    for (TToolbarButton* b : Form->tbKlaptor.Buttons()) EXPECT_TRUE(b->ShowHint()) << b->Name();
  }
  int MaxProgress = 0;
};

TEST_F(RenderTest, ThreeLinesGiveFramesPlusOneFramesEachWithTheirDelays) {
  ASSERT_TRUE(Render());
  TGIFImage& doc = *Form->GIFDocument;
  ASSERT_EQ(doc.Images().Count(), 45);
  EXPECT_EQ(Form->ProgressBar.Max(), 45);
  EXPECT_EQ(MaxProgress, 45);
  EXPECT_EQ(Form->AdvStatusBar1.PanelText(0), "Done");
  EXPECT_EQ(Host.DialogsShown, std::vector<std::string>{"SaveDialog1"});

  // Frame 0 is the last line in full (the loop closes), frames 14 and 15 the
  // first line in full, 29 and 30 the second.
  EXPECT_EQ(Differ(doc, 0, 44), 0);
  EXPECT_EQ(Differ(doc, 14, 15), 0);
  EXPECT_EQ(Differ(doc, 29, 30), 0);
  EXPECT_GT(Differ(doc, 0, 14), 0);
  EXPECT_GT(Differ(doc, 14, 29), 0);
  EXPECT_GT(Differ(doc, 14, 7), 0);  // mid-fold differs from both ends
  EXPECT_GT(Differ(doc, 0, 7), 0);
  for (int i = 0; i < 45; ++i) {
    EXPECT_EQ(doc.Images()[i]->Width(), 757);
    EXPECT_EQ(doc.Images()[i]->Height(), 90);
  }

  std::vector<int> want(45, 5);  // Interval 50 -> 5/100 s
  for (int end : {14, 29, 44}) want[static_cast<size_t>(end)] = 80;  // (1500 - 700) / 10
  EXPECT_EQ(Delays(doc), want);

  // Only frame 0 carries the looping block, before its delay.
  TGIFExtensionList& ext0 = doc.Images()[0]->Extensions();
  ASSERT_EQ(ext0.Count(), 2);
  auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(ext0[0]);
  ASSERT_NE(loop, nullptr);
  EXPECT_EQ(loop->Loops(), 0);
  EXPECT_NE(dynamic_cast<TGIFGraphicControlExtension*>(ext0[1]), nullptr);
  for (int i = 1; i < 45; ++i) EXPECT_EQ(doc.Images()[i]->Extensions().Count(), 1) << i;

  // After the run the display shows the last line and waits.
  EXPECT_FALSE(Form->Timer2.Enabled());
  EXPECT_FALSE(Form->tbAnimate.Down());
  EXPECT_EQ(Form->FlipLabel2->Caption(), "Three");
  EXPECT_EQ(Form->FlipLabel2->CurrentFrame(), 14);
  ExpectRestored();
}

TEST_F(RenderTest, DelaysFollowIntervalTimePerLineAndContinuous) {
  struct Case {
    const char* name;
    std::string interval, timePerLine;
    bool continuous;
    int frameDelay, lastDelay;
  };
  const std::vector<Case> cases = {
      {"defaults", "50", "1500", false, 5, 80},
      {"continuous", "50", "1500", true, 5, 0},
      {"interval truncates", "55", "1500", false, 5, 73},  // (1500 - 770) / 10
      {"time per line truncates", "50", "1504", false, 5, 80},
      {"time shorter than the fold", "50", "100", false, 5, 0},
      {"delay past 16 bits", "50", "999999999", false, 5, 65535},
  };
  Form->Memo1.SetLines({"Solo"});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Form->Edit1.SetText(c.interval);
    Form->Edit4.SetText(c.timePerLine);
    Form->cbContinuous.SetChecked(c.continuous);
    ASSERT_TRUE(Render());
    std::vector<int> want(15, c.frameDelay);
    want[14] = c.lastDelay;
    EXPECT_EQ(Delays(*Form->GIFDocument), want);
  }
}

TEST_F(RenderTest, OneLineFoldsOntoItself) {
  Form->Memo1.SetLines({"Same"});
  ASSERT_TRUE(Render());
  TGIFImage& doc = *Form->GIFDocument;
  ASSERT_EQ(doc.Images().Count(), 15);
  // Both ends show the line in full; between them the flap turns over the
  // same picture (squeezed, so not pixel-equal), and the half-way frame shows
  // the upper half unchanged over the old lower half: the line itself again.
  EXPECT_EQ(Differ(doc, 0, 14), 0);
  EXPECT_EQ(Differ(doc, 0, 7), 0);
}

TEST_F(RenderTest, CancelDuringFrameKKeepsFrameKAndStopsBeforeTheNext) {
  const int k = 20;
  int calls = 0;
  Host.OnProcessMessages = [&] {
    // Call 1 primes the display; call f + 2 repaints frame f of the document.
    if (++calls == k + 2) Form->ToolbarButton973.Click();
    if (Form->Rendering) {
      EXPECT_EQ(Form->AdvStatusBar1.PanelText(0), "Rendering GIF");
      for (TToolbarButton* b : Form->tbKlaptor.Buttons()) EXPECT_FALSE(b->ShowHint()) << b->Name();
    }
  };
  ASSERT_TRUE(Render());
  EXPECT_EQ(Form->GIFDocument->Images().Count(), k + 1);
  EXPECT_EQ(MaxProgress, k + 1);
  EXPECT_EQ(Form->AdvStatusBar1.PanelText(0), "Cancelled");
  EXPECT_TRUE(Host.DialogsShown.empty());  // no save
  EXPECT_FALSE(Form->Timer2.Enabled());
  ExpectRestored();
}

TEST_F(RenderTest, RenderPressedDuringARenderingStartsNothing) {
  int calls = 0;
  Host.OnProcessMessages = [&] {
    if (++calls == 5) Form->tbRender.Click();
  };
  ASSERT_TRUE(Render());
  EXPECT_EQ(Form->GIFDocument->Images().Count(), 45);
  EXPECT_EQ(Host.DialogsShown.size(), 1u);
}

TEST_F(RenderTest, ANonNumericTimePerLineEndsTheRunWithTheConversionError) {
  Form->Edit4.SetText("soon");
  EXPECT_FALSE(Render());
  ASSERT_EQ(Host.Errors.size(), 1u);
  EXPECT_EQ(Host.Errors[0], "'soon' is not a valid integer value");
  // The error comes at the first last-frame of a line (its frame was added).
  EXPECT_EQ(Form->GIFDocument->Images().Count(), 15);
  EXPECT_TRUE(Host.DialogsShown.empty());
  EXPECT_EQ(Form->AdvStatusBar1.PanelText(0), "");
  ExpectRestored();
}

TEST_F(RenderTest, AnAnimationTooLargeForMemoryIsRefusedBeforeItStarts) {
  Form->Edit2.SetText("100000");
  Form->Edit6.SetText("8192");
  EXPECT_FALSE(Render());
  ASSERT_EQ(Host.Errors.size(), 1u);
  EXPECT_NE(Host.Errors[0].find("MiB for its frames"), std::string::npos) << Host.Errors[0];
  EXPECT_EQ(Form->GIFDocument->Images().Count(), 0);
  EXPECT_TRUE(Host.DialogsShown.empty());
  ExpectRestored();
}

TEST_F(RenderTest, AnEmptyTextAddsNoFrameAndCannotBeSaved) {
  Form->Memo1.Clear();
  const std::string out = Dir.File("empty.gif");
  WriteAll(out, "GIF89a old");
  Host.FileAnswers.push_back(out);
  EXPECT_FALSE(Render());
  EXPECT_EQ(Form->GIFDocument->Images().Count(), 0);
  EXPECT_EQ(Form->ProgressBar.Max(), 0);
  EXPECT_EQ(Host.DialogsShown, std::vector<std::string>{"SaveDialog1"});
  // A document without frames has no GIF version to write; the file that was
  // there is left as it was.
  ASSERT_EQ(Host.Errors.size(), 1u);
  EXPECT_EQ(Host.Errors[0], gifmsg::BadVersion);
  EXPECT_EQ(ReadAll(out), "GIF89a old");
  EXPECT_EQ(Dir.Entries(), std::vector<std::string>{"empty.gif"});
  ExpectRestored();
}

TEST_F(RenderTest, TheSavedFileDecodesWithGiflib) {
  const std::string out = Dir.File("three.gif");
  Host.FileAnswers.push_back(out);
  ASSERT_TRUE(Render());
  const Decoded d = DecodeWithGiflib(out);
  EXPECT_EQ(d.frames, 45);
  EXPECT_EQ(d.width, 757);
  EXPECT_EQ(d.height, 90);
  EXPECT_EQ(d.loopBlocks, 1);
  std::vector<int> want(45, 5);
  for (int end : {14, 29, 44}) want[static_cast<size_t>(end)] = 80;
  EXPECT_EQ(d.delays, want);
  EXPECT_EQ(Dir.Entries(), std::vector<std::string>{"three.gif"});  // no temporary left
}

TEST_F(RenderTest, ASaveThatFailsIsReportedAndKeepsTheFrames) {
  const std::string out = Dir.File("missing/dir/x.gif");
  Host.FileAnswers.push_back(out);
  EXPECT_FALSE(Render());
  ASSERT_EQ(Host.Errors.size(), 1u);
  EXPECT_NE(Host.Errors[0].find(out), std::string::npos) << Host.Errors[0];
  EXPECT_EQ(Form->GIFDocument->Images().Count(), 45);
  ExpectRestored();
}

TEST_F(RenderTest, AbandonedSaveLeavesTheOldFileWhole) {
  struct RefusingHost : TScriptedHost {
    bool KeepWrittenFile() override { return false; }
  } refusing;
  Form.reset();
  Form = std::make_unique<TForm1>(refusing);
  Form->Memo1.SetLines({"x"});
  const std::string out = Dir.File("old.gif");
  WriteAll(out, "GIF89a old");
  refusing.FileAnswers.push_back(out);
  Form->tbRenderClick(nullptr);
  EXPECT_EQ(ReadAll(out), "GIF89a old");
  EXPECT_EQ(Dir.Entries(), std::vector<std::string>{"old.gif"});
  Form.reset();  // before the host it refers to
}

TEST_F(RenderTest, AddBitmapWithTransparencyTakesTheBottomLeftPixel) {
  TBitmap bmp(4, 3, pf24bit);
  bmp.Canvas().Brush().SetColor(clWhite);
  bmp.Canvas().FillRect(Rect(0, 0, 4, 3));
  bmp.Canvas().SetPixel(0, 2, clRed);
  TGIFImage doc;
  Form->AddBitmap(doc, bmp, true);
  TGIFSubImage* f = doc.Images()[0];
  const int index = Form->TransparentIndex(*f);
  EXPECT_EQ(index, f->Pixels(0, 2));
  EXPECT_NE(index, f->Pixels(1, 2));
  auto* gce = dynamic_cast<TGIFGraphicControlExtension*>(f->Extensions()[1]);
  ASSERT_NE(gce, nullptr);
  EXPECT_TRUE(gce->Transparent());
  EXPECT_EQ(gce->TransparentColorIndex(), index);
}

namespace {

// What a viewer shows: each frame composed over the previous picture with
// GIF transparency and disposal, as (picture, delay) with runs of the same
// picture joined and their delays added.
struct Timeline {
  std::vector<std::pair<std::vector<uint8_t>, int>> shots;
  int frames = 0;
  bool globalMap = false;
  int localMaps = 0;
  int transparentFrames = 0;
  int smallerFrames = 0;
};

Timeline Play(const std::string& path) {
  Timeline t;
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (gif == nullptr || DGifSlurp(gif) != GIF_OK) {
    ADD_FAILURE() << "giflib cannot read " << path;
    if (gif) DGifCloseFile(gif, &error);
    return t;
  }
  const int w = gif->SWidth, h = gif->SHeight;
  std::vector<uint8_t> screen(static_cast<size_t>(w * h * 3), 0);
  t.frames = gif->ImageCount;
  t.globalMap = gif->SColorMap != nullptr;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& im = gif->SavedImages[i];
    GraphicsControlBlock gcb{};
    gcb.TransparentColor = NO_TRANSPARENT_COLOR;
    DGifSavedExtensionToGCB(gif, i, &gcb);
    const ColorMapObject* map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : gif->SColorMap;
    t.localMaps += im.ImageDesc.ColorMap != nullptr;
    t.transparentFrames += gcb.TransparentColor != NO_TRANSPARENT_COLOR;
    t.smallerFrames += im.ImageDesc.Width < w || im.ImageDesc.Height < h;
    const std::vector<uint8_t> before = screen;
    for (int y = 0; y < im.ImageDesc.Height; ++y)
      for (int x = 0; x < im.ImageDesc.Width; ++x) {
        const int index = im.RasterBits[y * im.ImageDesc.Width + x];
        if (index == gcb.TransparentColor) continue;
        const GifColorType c = map->Colors[index];
        uint8_t* p = &screen[static_cast<size_t>(((im.ImageDesc.Top + y) * w + im.ImageDesc.Left + x) * 3)];
        p[0] = c.Red, p[1] = c.Green, p[2] = c.Blue;
      }
    if (!t.shots.empty() && t.shots.back().first == screen)
      t.shots.back().second += gcb.DelayTime;
    else
      t.shots.emplace_back(screen, gcb.DelayTime);
    if (gcb.DisposalMode == DISPOSE_PREVIOUS) screen = before;
    if (gcb.DisposalMode == DISPOSE_BACKGROUND)
      for (int y = 0; y < im.ImageDesc.Height; ++y)
        for (int x = 0; x < im.ImageDesc.Width; ++x)
          std::fill_n(&screen[static_cast<size_t>(((im.ImageDesc.Top + y) * w + im.ImageDesc.Left + x) * 3)], 3, 0);
  }
  DGifCloseFile(gif, &error);
  return t;
}

}  // namespace

TEST_F(RenderTest, OptimisationsShrinkTheFileAndShowTheSameAnimation) {
  const std::string raw = Dir.File("raw.gif");
  Host.FileAnswers.push_back(raw);
  ASSERT_TRUE(Render());
  const Timeline reference = Play(raw);
  ASSERT_EQ(reference.frames, 45);
  EXPECT_EQ(reference.localMaps, 45);
  EXPECT_FALSE(reference.globalMap);
  EXPECT_EQ(reference.transparentFrames, 0);
  EXPECT_EQ(reference.smallerFrames, 0);

  struct Case {
    const char* name;
    bool palette, merge, crop;
  };
  for (const Case& c : {Case{"palette", true, false, false}, Case{"merge", false, true, false},
                        Case{"crop", false, false, true}, Case{"merge and crop", false, true, true},
                        Case{"palette and merge", true, true, false},
                        Case{"palette and crop", true, false, true}, Case{"all three", true, true, true}}) {
    SCOPED_TRACE(c.name);
    Form->CheckBoxPalette.SetChecked(c.palette);
    Form->CheckBoxMerge.SetChecked(c.merge);
    Form->CheckBoxCrop.SetChecked(c.crop);
    const std::string out = Dir.File(std::string(c.name) + ".gif");
    Host.FileAnswers.push_back(out);
    ASSERT_TRUE(Render()) << (Host.Errors.empty() ? "" : Host.Errors.back());
    const Timeline t = Play(out);
    EXPECT_TRUE(t.shots == reference.shots) << "the optimised file shows another animation";
    EXPECT_EQ(t.globalMap, c.palette);
    EXPECT_EQ(t.localMaps == 0, c.palette);
    // Merging marks repeated pixels transparent, which needs a free colour:
    // a captured frame's own 256-entry map has none, the shared map made by
    // the palette step has. Cropping then trims the transparent borders.
    const bool merged = c.merge && c.palette;
    EXPECT_EQ(t.transparentFrames > 0, merged);
    EXPECT_EQ(t.smallerFrames > 0, merged && c.crop);
    EXPECT_LE(std::filesystem::file_size(out), std::filesystem::file_size(raw));
  }
}
