// The control side of the flip display: construction, property setters,
// notifications and the timer that steps a fold. The drawing is in
// FlipCompose.cpp.
#include "flip/FlipLabel.h"

#include <cctype>

namespace {

// The key marked by the first "&" of a caption (the character after it).
bool IsAccel(char key, const std::string& caption) {
  const std::string::size_type p = caption.find('&');
  if (p == std::string::npos || p + 1 >= caption.size()) return false;
  const auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
  return lower(caption[p + 1]) == lower(key);
}

}  // namespace

TCustomFlipLabel::TCustomFlipLabel() {
  SetControlStyleOpaque(true);
  SetColor(clWindow);
  SetBounds(Left(), Top(), 65, 17);
  FLeavingImage = std::make_unique<TBitmap>(Width(), Height());
  FFrameImage = std::make_unique<TBitmap>(Width(), Height());
  FPicture = std::make_unique<TBitmap>();
  FArrivingImage = std::make_unique<TBitmap>(Width(), Height());
  FInterval = 100;
  FAutoAnimate = true;
  FFlipTimer = std::make_unique<TTimer>();
  FFlipTimer->SetEnabled(false);
  FFlipTimer->SetInterval(FInterval);
  FFlipTimer->OnTimer = [this] { FlipTimerTick(); };
  FFrames = 10;
  FHingeSize = 1;
  FAutoSize = true;
  FShowAccelChar = true;
}

TCustomFlipLabel::~TCustomFlipLabel() {
  FLeavingImage.reset();
  FFrameImage.reset();
  FArrivingImage.reset();
  FPicture.reset();
  FFlipTimer.reset();
}

void TCustomFlipLabel::Loaded() {
  TGraphicControl::Loaded();
  ResizeBuffers();
}

void TCustomFlipLabel::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == opRemove && component == FFocusControl) FFocusControl = nullptr;
}

bool TCustomFlipLabel::DialogChar(char key) {
  if (FFocusControl && Enabled() && FShowAccelChar && IsAccel(key, Caption()) &&
      FFocusControl->CanFocus()) {
    FFocusControl->SetFocus();
    return true;
  }
  return TGraphicControl::DialogChar(key);
}

std::string TCustomFlipLabel::GetDisplayText() const { return Caption(); }

void TCustomFlipLabel::SetAutoSize(bool value) {
  if (FAutoSize == value) return;
  FAutoSize = value;
  ResizeBuffers();
}

void TCustomFlipLabel::ResizeBuffers() {
  if (Loading() || !FAutoSize) return;
  FLeavingImage->SetSize(Width(), Height());
  FArrivingImage->SetSize(Width(), Height());
  FFrameImage->SetSize(Width(), Height());
}

void TCustomFlipLabel::TextChanged() {
  Invalidate();
  ResizeBuffers();
  // A fold is under way: jump to its target at once. The repaint asked for
  // above has not run yet, so ArrivingImage still shows that target.
  if (FFramesLeft > 0) Canvas().Draw(0, 0, *FArrivingImage);
  FFramesLeft = FoldFrames(FFrames);
  if (FAutoAnimate) FFlipTimer->SetEnabled(true);
}

void TCustomFlipLabel::FontChanged() {
  TGraphicControl::FontChanged();
  ResizeBuffers();
}

void TCustomFlipLabel::FlipTimerTick() {
  if (FFramesLeft < 0) {
    FFramesLeft = 0;
    FFlipTimer->SetEnabled(false);
    if (OnDone) OnDone(this);
    return;
  }
  DrawFrame(FoldFrames(FFrames) - FFramesLeft, false);
  --FFramesLeft;
}

void TCustomFlipLabel::SetAlignment(TAlignment value) {
  if (FAlignment == value) return;
  FAlignment = value;
  Invalidate();
}

void TCustomFlipLabel::SetAutoAnimate(bool value) {
  FAutoAnimate = value;
  if (!value) FFlipTimer->SetEnabled(false);
  Invalidate();
}

void TCustomFlipLabel::SetCurrentFrame(int value) {
  if (value == FCurrentFrame) return;
  // Upper bound first, so that a negative Frames still gives 0.
  if (value > FFrames) value = FFrames;
  if (value < 0) value = 0;
  FCurrentFrame = value;
  DrawFrame(value, true);
  Invalidate();
}

void TCustomFlipLabel::SetHingeColor(TColor value) {
  FHingeColor = value;
  Invalidate();
}

void TCustomFlipLabel::SetFocusControl(TWinControl* value) {
  FFocusControl = value;
  if (value) value->FreeNotification(this);
}

void TCustomFlipLabel::SetHingeSize(int value) {
  if (FHingeSize == value) return;
  FHingeSize = value;
  Invalidate();
}

void TCustomFlipLabel::SetInterval(int value) {
  FFlipTimer->SetInterval(value);
  FInterval = value;
}

void TCustomFlipLabel::Setpicture(const TBitmap* value) {
  if (value)
    FPicture->Assign(*value);
  else
    FPicture->SetSize(0, 0);
  Invalidate();
}

void TCustomFlipLabel::SetShowAccelChar(bool value) {
  if (FShowAccelChar == value) return;
  FShowAccelChar = value;
  Invalidate();
}

void TCustomFlipLabel::SetTransparent(bool value) {
  if (Transparent() == value) return;
  SetControlStyleOpaque(!value);
  Invalidate();
}

void TCustomFlipLabel::SetLayout(TTextLayout value) {
  if (FLayout == value) return;
  FLayout = value;
  Invalidate();
}
