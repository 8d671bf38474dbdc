// Drawing of the flip display: the caption image (ArrivingImage) and the
// composition of one fold step from LeavingImage and ArrivingImage.
#include "flip/FlipLabel.h"

namespace {

constexpr unsigned kAlignmentFlags[] = {DT_LEFT, DT_RIGHT, DT_CENTER};  // by TAlignment

// Vertical stretch of rows sy..sy+sh-1 of src onto rows y..y+h-1 of dst, full
// width w. Nearest row, as StretchBlt samples it (target row i of h takes
// source row sy + (2i+1)*sh / (2h)); columns map 1:1, so each row is a plain
// block copy instead of a per-pixel gather.
void SqueezeRows(TBitmap& dst, int y, int h, int w, const TBitmap& src, int sy, int sh) {
  if (h <= 0 || sh <= 0) return;
  for (int i = 0; i < h; ++i) {
    const int from = sy + static_cast<int>((2 * int64_t{i} + 1) * sh / (2 * int64_t{h}));
    BitBlt(dst, 0, y + i, w, 1, src, 0, from);
  }
}

}  // namespace

void TCustomFlipLabel::Paint() {
  const int w = Width();
  const int h = Height();
  TCanvas& canvas = FArrivingImage->Canvas();
  if (!Transparent()) {
    canvas.Brush().SetColor(Color());
    canvas.Brush().SetStyle(bsSolid);
    canvas.FillRect(Rect(0, 0, w, h));
  }
  canvas.Brush().SetStyle(bsClear);
  TRect r = Rect(0, 0, w, h);
  const unsigned flags = DT_EXPANDTABS | kAlignmentFlags[FAlignment];
  if (FLayout != tlTop) {
    DrawCaption(r, flags | DT_CALCRECT, true);
    const int dy = FLayout == tlBottom ? h - r.Bottom : (h - r.Bottom) / 2;
    // Measuring narrows r to the text; only its height is wanted here, or
    // right and centred text would end up at the left edge.
    r.Left = 0;
    r.Right = w;
    OffsetRect(r, 0, dy);
  }
  DrawCaption(r, flags, false);
}

void TCustomFlipLabel::DrawCaption(TRect& r, unsigned flags, bool measureOnly) {
  std::string text = GetDisplayText();
  // An empty caption (or a lone accelerator mark) still measures one line.
  if (measureOnly && (text.empty() || (FShowAccelChar && text == "&"))) text += ' ';
  if (!FShowAccelChar) flags |= DT_NOPREFIX;
  TCanvas& canvas = FArrivingImage->Canvas();
  canvas.Font().Assign(Font());
  const int w = Width();
  const int h = Height();

  if (!measureOnly && FPicture->Width() > 0) {
    if (FStretch)
      StretchBlt(*FArrivingImage, 0, 0, w, h, *FPicture, 0, 0, FPicture->Width(), FPicture->Height());
    else
      BitBlt(*FArrivingImage, 0, 0, w, h, *FPicture, 0, 0);
  }

  if (!Enabled()) {
    // Embossed look: a highlight copy one pixel right and down, the shadow
    // copy over it.
    OffsetRect(r, 1, 1);
    canvas.Font().SetColor(clBtnHighlight);
    if (FCenter) r.Top = (h - canvas.TextHeight(text)) / 2;
    canvas.DrawText(text, r, flags);
    OffsetRect(r, -1, -1);
    canvas.Font().SetColor(clBtnShadow);
    canvas.DrawText(text, r, flags);
  } else {
    if (FCenter) r.Top = (h - canvas.TextHeight(text)) / 2;
    canvas.DrawText(text, r, flags);
  }

  if (measureOnly) return;
  if (FHingeSize > 0) {
    canvas.Pen().SetColor(FHingeColor);
    canvas.Pen().SetWidth(FHingeSize);
    canvas.MoveTo(0, h / 2);
    canvas.LineTo(w, h / 2);
  }
  // While a timed fold runs, its ticks put the frames on the surface.
  if (!FFlipTimer->Enabled()) DrawFrame(FCurrentFrame, true);
}

void TCustomFlipLabel::DrawFrame(int n, bool full) {
  const int frames = FoldFrames(FFrames);
  const int w = Width();
  const int half = Height() / 2;  // the hinge row; halves are rows 0..half-1 and half..2*half-1
  const TFoldStep step = FoldStep(n, frames, half);
  const int d = step.Squeeze;
  TBitmap& frame = *FFrameImage;
  const TBitmap& leaving = *FLeavingImage;
  const TBitmap& arriving = *FArrivingImage;

  // Copying only the changed bands needs the previous step in FrameImage. The
  // first step of a fold has none it can trust (an interrupted fold or a
  // frame chosen directly may have left anything there), so it is composed
  // whole; that costs no more bands than its partial form.
  if (n <= 0) full = true;

  switch (step.Phase) {
    case fpFirstHalf:
      BitBlt(frame, 0, 0, w, half - d, arriving, 0, 0);
      SqueezeRows(frame, half - d, d, w, leaving, 0, half);
      if (full) BitBlt(frame, 0, half, w, half, leaving, 0, half);
      break;
    case fpEdgeOn:
      BitBlt(frame, 0, 0, w, half, arriving, 0, 0);
      if (full) BitBlt(frame, 0, half, w, half, leaving, 0, half);
      break;
    case fpSecondHalf: {
      // With an odd number of frames no step is edge-on, so the step after
      // the first half must clear the old flap's squeezed band itself.
      const bool afterFirstHalf = FoldStep(n - 1, frames, half).Phase == fpFirstHalf;
      if (full || afterFirstHalf) BitBlt(frame, 0, 0, w, half, arriving, 0, 0);
      if (full) BitBlt(frame, 0, half, w, half, leaving, 0, half);
      SqueezeRows(frame, half, d, w, arriving, half, half);
      break;
    }
  }

  BitBlt(Surface(), 0, 0, Width(), Height(), frame, 0, 0);
  // The fold is complete: the arriving text is the leaving text of the next.
  if (n == frames) FLeavingImage->Canvas().Draw(0, 0, *FArrivingImage);
}
