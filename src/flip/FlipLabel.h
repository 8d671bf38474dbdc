// The flip display: a windowless control that shows one line of text like a
// split-flap board. Changing Caption folds the old text away around a hinge at
// mid-height, one step per Interval ms on the control's own timer, and fires
// OnDone when the fold is over. CurrentFrame shows any single step of the fold
// instead, which is how the renderer captures it frame by frame.
//
// Three off-screen bitmaps carry the state: LeavingImage (the text folding
// away), ArrivingImage (the current caption, redrawn by Paint) and FrameImage
// (the step last composed, copied to the control's surface). The control only
// uses the platform's timer, Invalidate and surface, so it runs the same under
// the headless loop and the GUI's.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "flip/FoldGeometry.h"
#include "platform/Controls.h"
#include "platform/Graphics.h"

// Fired when a timed fold has finished; Sender is the control.
using TDone = std::function<void(void* Sender)>;

class TCustomFlipLabel : public TGraphicControl {
 public:
  TCustomFlipLabel();
  ~TCustomFlipLabel() override;

  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  void Paint() override;
  bool DialogChar(char key) override;

  // The three buffers and the countdown of a timed fold, for the renderer and
  // for inspection.
  const TBitmap& LeavingImage() const { return *FLeavingImage; }
  const TBitmap& ArrivingImage() const { return *FArrivingImage; }
  const TBitmap& FrameImage() const { return *FFrameImage; }
  int FramesLeft() const { return FFramesLeft; }
  const TTimer& FlipTimer() const { return *FFlipTimer; }

  // Called on the tick after the last frame of a timed fold.
  TDone OnDone;

 protected:
  // Text to draw; the caption here.
  virtual std::string GetDisplayText() const;
  virtual void SetAutoSize(bool value);

  void TextChanged() override;
  void FontChanged() override;

  // Draws (or with measureOnly just measures) the caption into r of
  // ArrivingImage; r is changed in place (Center sets its top, measuring its
  // right and bottom). The drawing pass ends with the picture, the hinge line
  // and, when no timed fold runs, the composed frame CurrentFrame.
  void DrawCaption(TRect& r, unsigned flags, bool measureOnly);
  // Composes step n of the fold into FrameImage and copies it to the surface.
  // With full false only the bands that changed since step n-1 are copied.
  // Step Frames makes LeavingImage a copy of ArrivingImage.
  void DrawFrame(int n, bool full);
  // Sizes the three buffers to the control (not while loading, not without
  // AutoSize).
  void ResizeBuffers();
  void FlipTimerTick();

  // Properties; TFlipLabel publishes them.
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment value);
  bool AutoAnimate() const { return FAutoAnimate; }
  void SetAutoAnimate(bool value);
  bool AutoSize() const { return FAutoSize; }
  bool Center() const { return FCenter; }
  void SetCenter(bool value) { FCenter = value; }
  int CurrentFrame() const { return FCurrentFrame; }
  void SetCurrentFrame(int value);
  TColor HingeColor() const { return FHingeColor; }
  void SetHingeColor(TColor value);
  TWinControl* FocusControl() const { return FFocusControl; }
  void SetFocusControl(TWinControl* value);
  int Frames() const { return FFrames; }
  void SetFrames(int value) { FFrames = value; }
  int HingeSize() const { return FHingeSize; }
  void SetHingeSize(int value);
  int Interval() const { return FInterval; }
  void SetInterval(int value);
  // Background picture; width 0 means none.
  const TBitmap& picture() const { return *FPicture; }
  // Copies the given picture (nullptr: no picture).
  void Setpicture(const TBitmap* value);
  bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool value);
  bool Stretch() const { return FStretch; }
  void SetStretch(bool value) { FStretch = value; }
  // Transparent is the inverse of the opaque style flag.
  bool Transparent() const { return !ControlStyleOpaque(); }
  void SetTransparent(bool value);
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout value);

  // Fields in their declaration order.
  std::unique_ptr<TTimer> FFlipTimer;
  std::unique_ptr<TBitmap> FLeavingImage;
  std::unique_ptr<TBitmap> FPicture;
  bool FStretch = false;
  std::unique_ptr<TBitmap> FFrameImage;
  std::unique_ptr<TBitmap> FArrivingImage;
  int FFrames = 10;
  int FFramesLeft = 0;
  int FInterval = 100;
  TColor FHingeColor = clBlack;
  TWinControl* FFocusControl = nullptr;  // not owned
  TAlignment FAlignment = taLeftJustify;
  bool FAutoSize = true;
  TTextLayout FLayout = tlTop;
  int FCurrentFrame = 0;
  bool FShowAccelChar = true;
  bool FAutoAnimate = true;
  int FHingeSize = 1;
  bool FCenter = false;
};

class TFlipLabel : public TCustomFlipLabel {
 public:
  using TCustomFlipLabel::Alignment;
  using TCustomFlipLabel::SetAlignment;
  using TCustomFlipLabel::AutoAnimate;
  using TCustomFlipLabel::SetAutoAnimate;
  using TCustomFlipLabel::Center;
  using TCustomFlipLabel::SetCenter;
  using TCustomFlipLabel::CurrentFrame;
  using TCustomFlipLabel::SetCurrentFrame;
  using TCustomFlipLabel::HingeColor;
  using TCustomFlipLabel::SetHingeColor;
  using TCustomFlipLabel::FocusControl;
  using TCustomFlipLabel::SetFocusControl;
  using TCustomFlipLabel::Frames;
  using TCustomFlipLabel::SetFrames;
  using TCustomFlipLabel::HingeSize;
  using TCustomFlipLabel::SetHingeSize;
  using TCustomFlipLabel::Interval;
  using TCustomFlipLabel::SetInterval;
  using TCustomFlipLabel::picture;
  using TCustomFlipLabel::Setpicture;
  using TCustomFlipLabel::ShowAccelChar;
  using TCustomFlipLabel::SetShowAccelChar;
  using TCustomFlipLabel::Stretch;
  using TCustomFlipLabel::SetStretch;
  using TCustomFlipLabel::Transparent;
  using TCustomFlipLabel::SetTransparent;
  using TCustomFlipLabel::Layout;
  using TCustomFlipLabel::SetLayout;
};
