// Timers, the message loop and the windowless graphic-control base.
// Everything runs on one thread. A TMessageLoop delivers pending paints before
// due timer ticks; THeadlessLoop does so on a virtual clock that tests (and the
// headless renderer) advance by exact milliseconds. The GUI supplies its own
// TMessageLoop built on its toolkit's timers.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/Classes.h"
#include "platform/Graphics.h"

class TTimer;
class TGraphicControl;
class TComponent;

enum TOperation { opInsert, opRemove };

// Minimal component: loading state, free notification and the after-loading
// hook. a.FreeNotification(&b) links a and b: when either is destroyed the
// other gets Notification(dying, opRemove).
class TComponent {
 public:
  TComponent() = default;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;
  virtual ~TComponent();

  const std::string& Name() const { return FName; }
  void SetName(const std::string& name) { FName = name; }

  // True while stored properties are being read (between BeginLoading and
  // the Loaded call that EndLoading makes).
  bool Loading() const { return FLoading; }
  void BeginLoading() { FLoading = true; }
  void EndLoading() { Loaded(); }

  // `component` will be told (Notification) when this one is destroyed.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // After-loading hook: the base clears the loading state.
  virtual void Loaded() { FLoading = false; }
  virtual void Notification(TComponent* component, TOperation operation);

 private:
  std::string FName;
  bool FLoading = false;
  std::vector<TComponent*> FFreeNotifies;
};

// A windowed control as far as graphic controls need one: something that can
// take the focus.
class TWinControl : public TComponent {
 public:
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value) { FEnabled = value; }
  bool Visible() const { return FVisible; }
  void SetVisible(bool value) { FVisible = value; }
  virtual bool CanFocus() const { return FEnabled && FVisible; }
  virtual void SetFocus() { FFocused = true; }
  bool Focused() const { return FFocused; }
  void KillFocus() { FFocused = false; }

 private:
  bool FEnabled = true;
  bool FVisible = true;
  bool FFocused = false;
};

// A loop learns about timers only through TimerChanged/TimerDestroyed and
// about paint requests through Invalidate/ControlDestroyed. It delivers a tick
// by calling TTimer::Tick() and a paint by calling TGraphicControl::Repaint()
// (then shows the control's Surface()).
class TMessageLoop {
 public:
  TMessageLoop();
  TMessageLoop(const TMessageLoop&) = delete;
  TMessageLoop& operator=(const TMessageLoop&) = delete;
  // A loop being destroyed stops being the current one.
  virtual ~TMessageLoop();
  // Milliseconds on the loop's clock.
  virtual int64_t Now() = 0;
  // A timer's Enabled or Interval changed (or it was created): (re)start it
  // from now when it is enabled with a positive interval, else stop it.
  virtual void TimerChanged(TTimer* timer) = 0;
  virtual void TimerDestroyed(TTimer* timer) = 0;
  // Asks for a later Paint of the control (requests before delivery merge).
  virtual void Invalidate(TGraphicControl* control) = 0;
  virtual void ControlDestroyed(TGraphicControl* control) = 0;
  // Delivers pending paints, then timer ticks that are due now.
  virtual void ProcessMessages() = 0;
};

// The process-wide current loop. Without one set, a built-in THeadlessLoop is
// used. SetMessageLoop(nullptr) returns to the built-in one. Changing the
// current loop (also by destroying it) moves every timer to the new one, where
// running timers start their period afresh.
void SetMessageLoop(TMessageLoop* loop);
TMessageLoop& MessageLoop();

// A message-loop timer: OnTimer runs on every tick, Interval ms apart, while
// Enabled. Interval 0 never ticks. Changing Enabled or Interval restarts the
// period from now.
class TTimer {
 public:
  TTimer();
  ~TTimer();
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  int Interval() const { return FInterval; }
  void SetInterval(int value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  // True when the timer would tick: enabled with a positive interval.
  bool Running() const { return FEnabled && FInterval > 0; }

  std::function<void()> OnTimer;
  // Called by the loop on a tick.
  void Tick();

 private:
  int FInterval = 1000;
  bool FEnabled = true;
};

// Message loop on a virtual clock starting at 0 ms.
class THeadlessLoop : public TMessageLoop {
 public:
  THeadlessLoop() = default;
  ~THeadlessLoop() override;

  int64_t Now() override { return FNow; }
  void TimerChanged(TTimer* timer) override;
  void TimerDestroyed(TTimer* timer) override;
  void Invalidate(TGraphicControl* control) override;
  void ControlDestroyed(TGraphicControl* control) override;
  void ProcessMessages() override;

  // Moves the clock forward by ms, delivering in time order every tick that
  // falls due (the clock reads the tick's time while it runs, and pending paints
  // are delivered before each tick), then the paints pending at the end.
  // Ticks of timers with equal due times run in the order the timers started.
  void AdvanceTime(int64_t ms);
  // Delivers the paints pending now (a paint requested during delivery waits
  // for the next delivery).
  void DeliverPaints();
  bool PaintPending(const TGraphicControl* control) const;
  // Due time of a running timer, or -1.
  int64_t NextDue(const TTimer* timer) const;

 private:
  struct Entry {
    int64_t Due;
    uint64_t Order;
  };
  bool FireNextDue(int64_t limit);

  int64_t FNow = 0;
  uint64_t FOrder = 0;
  std::map<TTimer*, Entry> FTimers;
  std::vector<TGraphicControl*> FPaints;
  std::vector<TGraphicControl*> FDelivering;
};

// Windowless control: bounds, caption, font, colour, enabled and the opaque
// style flag, with a surface bitmap standing for its area on the screen
// (Width x Height, pfDevice). Paint draws it; Invalidate asks the loop for a
// later Paint.
class TGraphicControl : public TComponent {
 public:
  TGraphicControl();
  ~TGraphicControl() override;

  int Left() const { return FLeft; }
  int Top() const { return FTop; }
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
  void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
  void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
  void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
  // Moves and resizes; the surface follows the size (keeping its overlapping
  // content) and the control is invalidated when anything changed.
  virtual void SetBounds(int left, int top, int width, int height);
  TRect ClientRect() const { return Rect(0, 0, FWidth, FHeight); }

  // UTF-8. A different value is stored and TextChanged() called; an equal
  // value does nothing.
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& value);

  // Every change of the font calls FontChanged().
  TFont& Font() { return FFont; }
  const TFont& Font() const { return FFont; }
  void SetFont(const TFont& font) { FFont.Assign(font); }

  TColor Color() const { return FColor; }
  void SetColor(TColor value);  // invalidates when changed
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);  // invalidates when changed
  bool Visible() const { return FVisible; }
  void SetVisible(bool value);
  bool ControlStyleOpaque() const { return FOpaque; }
  void SetControlStyleOpaque(bool value) { FOpaque = value; }

  // Asks the current message loop for a later Paint.
  void Invalidate();
  // Paints now (what the loop calls to deliver a pending paint).
  void Repaint();
  virtual void Paint() {}

  // The control's area on the screen and its canvas.
  TBitmap& Surface() { return FSurface; }
  TCanvas& Canvas() { return FSurface.Canvas(); }

  // Accelerator key: true when the control handled it. The base handles none.
  virtual bool DialogChar(char key);

  TNotifyEvent OnClick;

 protected:
  // Called after the caption changed. The base does nothing.
  virtual void TextChanged() {}
  // Called after the font changed. The base invalidates.
  virtual void FontChanged() { Invalidate(); }

 private:
  int FLeft = 0;
  int FTop = 0;
  int FWidth = 0;
  int FHeight = 0;
  std::string FCaption;
  TFont FFont;
  TColor FColor = clWindow;  // the toolkit's default control colour
  bool FEnabled = true;
  bool FVisible = true;
  bool FOpaque = false;
  TBitmap FSurface;
};
