// TForm1's GIF rendering: step the display through every frame of every fold,
// capture each frame, add it to GIFDocument with its delay, shrink the result
// and save it where the user says.
#include <algorithm>
#include <exception>
#include <limits>

#include "app/main.h"
#include "platform/FileUtils.h"
#include "platform/SysUtils.h"


void TForm1::ToolbarButton973Click(void*) { Rendering = false; }

int TForm1::TransparentIndex(TGIFSubImage& Frame) { return Frame.Pixels(0, Frame.Height() - 1); }

void TForm1::AddBitmap(TGIFImage& GIF, const TBitmap& Bitmap, bool Transparent) {
  const int index = GIF.Add(Bitmap);
  TGIFSubImage* frame = GIF.Images()[index];
  if (index == 0) {
    // Loop for ever; the block goes before the first frame's delay.
    auto loop = std::make_unique<TGIFAppExtNSLoop>(frame);
    loop->SetLoops(0);
    frame->Extensions().Add(std::move(loop));
  }
  auto control = std::make_unique<TGIFGraphicControlExtension>(frame);
  // Delays are in hundredths of a second.
  int64_t delay = FlipLabel2->Interval() / 10;
  if (FlipLabel2->CurrentFrame() == FlipLabel2->Frames()) {
    // The last frame of a line holds it for the rest of the time per line.
    const int64_t rest = int64_t{StrToInt(Edit4.Text())} -
                         int64_t{FlipLabel2->Interval()} * int64_t{FlipLabel2->Frames()};
    delay = rest / 10;
    if (cbContinuous.Checked()) delay = 0;
  }
  // A time per line shorter than the fold itself leaves no rest: no delay.
  control->SetDelay(static_cast<uint16_t>(std::clamp<int64_t>(delay, 0, 65535)));
  if (Transparent) {
    control->SetTransparent(true);
    control->SetTransparentColorIndex(TransparentIndex(*frame));
  }
  frame->Extensions().Add(std::move(control));
}

void TForm1::SetToolbarHints(bool show) {
  for (TToolbarButton* b : tbKlaptor.Buttons()) b->SetShowHint(show);
}

namespace {

// Pixel bytes of all frames of one rendering at most.
constexpr int64_t kMaxRenderBytes = int64_t{4} << 30;

// Puts the window back into its usual state however a rendering ends: hints
// on, the display animating again, the progress bar empty.
class TRenderEnd {
 public:
  explicit TRenderEnd(std::function<void(bool failed)> restore)
      : FRestore(std::move(restore)), FExceptions(std::uncaught_exceptions()) {}
  ~TRenderEnd() { FRestore(std::uncaught_exceptions() > FExceptions); }
  TRenderEnd(const TRenderEnd&) = delete;
  TRenderEnd& operator=(const TRenderEnd&) = delete;

 private:
  std::function<void(bool)> FRestore;
  int FExceptions;
};

}  // namespace

void TForm1::tbRenderClick(void*) {
  // One rendering at a time: the message processing between frames must not
  // start a second one inside the first.
  if (Rendering) return;
  SetToolbarHints(false);
  Rendering = true;
  TRenderEnd end([this](bool failed) {
    // An error leaves no "Rendering GIF" behind; the error box tells the rest.
    if (failed) AdvStatusBar1.SetPanelText(0, "");
    SetToolbarHints(true);
    ProgressBar.SetPosition(0);
    FlipLabel2->SetAutoAnimate(true);
    Rendering = false;
  });
  AdvStatusBar1.SetPanelText(0, formtext::RenderingGIF);

  const int width = FlipLabel2->Width();
  const int height = FlipLabel2->Height();
  // Every frame keeps one byte per pixel until the file is written: refuse an
  // animation that could never fit rather than run out of memory half way.
  const double frameBytes = static_cast<double>(Memo1.LineCount()) *
                            (static_cast<double>(FlipLabel2->Frames()) + 1) * width * height;
  if (frameBytes > kMaxRenderBytes)
    throw EOutOfResources("The animation would need " + IntToStr(static_cast<int64_t>(frameBytes / (1 << 20))) +
                          " MiB for its frames (at most " + IntToStr(kMaxRenderBytes >> 20) +
                          " MiB): use fewer lines, fewer frames per line or a smaller display");
  auto capture = std::make_unique<TBitmap>(width, height, FlipLabel2->Surface().PixelFormat());
  GIFDocument->Clear();

  // Stop the live display.
  Timer2.SetEnabled(false);
  tbAnimate.SetDown(false);
  LineIndex = 0;
  FlipLabel2->SetAutoAnimate(false);

  // The lines as they are now: edits during the run do not change this one.
  const std::vector<std::string> lines = Memo1.Lines();
  const int frames = FlipLabel2->Frames();

  // Prime the fold with the last line as both old and new text, so that the
  // first fold starts from it and the loop closes without a jump.
  FlipLabel2->SetCaption(lines.empty() ? std::string() : lines.back());
  FlipLabel2->SetCurrentFrame(frames);
  FlipLabel2->Invalidate();
  FHost.ProcessMessages();

  const int64_t total = static_cast<int64_t>(lines.size()) * (int64_t{frames} + 1);
  ProgressBar.SetMax(static_cast<int>(std::clamp<int64_t>(total, 0, std::numeric_limits<int>::max())));
  int counter = 0;

  for (const std::string& line : lines) {
    FlipLabel2->SetCaption(line);
    for (int f = 0; f <= frames; ++f) {
      if (!Rendering) {
        AdvStatusBar1.SetPanelText(0, formtext::Cancelled);
        return;  // the frames so far stay in the document; no optimisation, no save
      }
      FlipLabel2->SetCurrentFrame(f);
      FHost.ProcessMessages();  // the display repaints frame f
      BitBlt(*capture, 0, 0, width, height, FlipLabel2->Surface(), 0, 0);
      AddBitmap(*GIFDocument, *capture, false);
      ++counter;
      ProgressBar.SetPosition(counter);
    }
  }

  AdvStatusBar1.SetPanelText(0, formtext::OptimizingGIF);
  // The shared colour map comes first: the frame optimisation then works on it.
  TGIFOptimizeOptions options = 0;
  if (CheckBoxMerge.Checked()) options |= foMerge;
  if (CheckBoxCrop.Checked()) options |= foCrop;
  if (CheckBoxPalette.Checked()) GIFDocument->OptimizeColorMaps();
  if (options != 0) GIFDocument->Optimize(options, ReduceNone, DitherNone, 0);

  capture.reset();
  FlipLabel2->SetAutoAnimate(true);
  AdvStatusBar1.SetPanelText(0, formtext::Done);

  if (FHost.Execute(SaveDialog1)) {
    WriteFileAtomically(
        SaveDialog1.FileName, [this](TStream& s) { GIFDocument->SaveToStream(s); },
        [this] { return ConfirmWrite(); });
  }
}
