#include "platform/Controls.h"

#include <algorithm>

namespace {

// Every live loop, so that a dying timer or control can be forgotten by all of
// them (a loop may hold it even after another loop became current).
std::vector<TMessageLoop*>& AllLoops() {
  static auto* loops = new std::vector<TMessageLoop*>();
  return *loops;
}

TMessageLoop* gCurrent = nullptr;

// Every live timer, so that a change of the current loop can move them.
std::vector<TTimer*>& AllTimers() {
  static auto* timers = new std::vector<TTimer*>();
  return *timers;
}

void MoveTimersToCurrentLoop();

THeadlessLoop& DefaultLoop() {
  // Never destroyed: timers and controls with static lifetime may outlive any
  // ordinary static.
  static auto* loop = new THeadlessLoop();
  return *loop;
}

}  // namespace

// ------------------------------------------------------------- TComponent

TComponent::~TComponent() {
  const std::vector<TComponent*> others = std::move(FFreeNotifies);
  FFreeNotifies.clear();
  for (TComponent* c : others) {
    auto& list = c->FFreeNotifies;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    c->Notification(this, opRemove);
  }
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end())
    FFreeNotifies.push_back(component);
  auto& back = component->FFreeNotifies;
  if (std::find(back.begin(), back.end(), this) == back.end()) back.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (!component) return;
  FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), component),
                      FFreeNotifies.end());
  auto& back = component->FFreeNotifies;
  back.erase(std::remove(back.begin(), back.end(), this), back.end());
}

void TComponent::Notification(TComponent*, TOperation) {}

// ----------------------------------------------------------- TMessageLoop

TMessageLoop::TMessageLoop() { AllLoops().push_back(this); }

TMessageLoop::~TMessageLoop() {
  auto& loops = AllLoops();
  loops.erase(std::remove(loops.begin(), loops.end(), this), loops.end());
  if (gCurrent == this) {
    gCurrent = nullptr;
    MoveTimersToCurrentLoop();
  }
}

void SetMessageLoop(TMessageLoop* loop) {
  if (loop == gCurrent) return;
  gCurrent = loop;
  MoveTimersToCurrentLoop();
}

TMessageLoop& MessageLoop() { return gCurrent ? *gCurrent : DefaultLoop(); }

// ------------------------------------------------------------------ TTimer

namespace {

void UpdateTimer(TTimer* timer) {
  TMessageLoop& current = MessageLoop();
  for (TMessageLoop* loop : AllLoops())
    if (loop != &current) loop->TimerDestroyed(timer);
  current.TimerChanged(timer);
}

void MoveTimersToCurrentLoop() {
  for (TTimer* t : AllTimers()) UpdateTimer(t);
}

}  // namespace

TTimer::TTimer() {
  AllTimers().push_back(this);
  UpdateTimer(this);
}

TTimer::~TTimer() {
  auto& timers = AllTimers();
  timers.erase(std::remove(timers.begin(), timers.end(), this), timers.end());
  for (TMessageLoop* loop : AllLoops()) loop->TimerDestroyed(this);
}

void TTimer::SetInterval(int value) {
  if (value == FInterval) return;
  FInterval = value;
  UpdateTimer(this);
}

void TTimer::SetEnabled(bool value) {
  if (value == FEnabled) return;
  FEnabled = value;
  UpdateTimer(this);
}

void TTimer::Tick() {
  if (OnTimer) OnTimer();
}

// ----------------------------------------------------------- THeadlessLoop

THeadlessLoop::~THeadlessLoop() = default;

void THeadlessLoop::TimerChanged(TTimer* timer) {
  if (timer->Running())
    FTimers[timer] = Entry{FNow + timer->Interval(), ++FOrder};
  else
    FTimers.erase(timer);
}

void THeadlessLoop::TimerDestroyed(TTimer* timer) { FTimers.erase(timer); }

void THeadlessLoop::Invalidate(TGraphicControl* control) {
  if (std::find(FPaints.begin(), FPaints.end(), control) == FPaints.end()) FPaints.push_back(control);
}

void THeadlessLoop::ControlDestroyed(TGraphicControl* control) {
  FPaints.erase(std::remove(FPaints.begin(), FPaints.end(), control), FPaints.end());
  std::replace(FDelivering.begin(), FDelivering.end(), control, static_cast<TGraphicControl*>(nullptr));
}

bool THeadlessLoop::PaintPending(const TGraphicControl* control) const {
  return std::find(FPaints.begin(), FPaints.end(), control) != FPaints.end();
}

int64_t THeadlessLoop::NextDue(const TTimer* timer) const {
  const auto it = FTimers.find(const_cast<TTimer*>(timer));
  return it == FTimers.end() ? -1 : it->second.Due;
}

void THeadlessLoop::DeliverPaints() {
  if (FPaints.empty()) return;
  FDelivering.swap(FPaints);
  FPaints.clear();
  for (size_t i = 0; i < FDelivering.size(); ++i)
    if (TGraphicControl* c = FDelivering[i]) c->Repaint();
  FDelivering.clear();
}

bool THeadlessLoop::FireNextDue(int64_t limit) {
  auto earliest = [this]() {
    auto best = FTimers.end();
    for (auto it = FTimers.begin(); it != FTimers.end(); ++it)
      if (best == FTimers.end() || it->second.Due < best->second.Due ||
          (it->second.Due == best->second.Due && it->second.Order < best->second.Order))
        best = it;
    return best;
  };
  auto it = earliest();
  if (it == FTimers.end() || it->second.Due > limit) return false;
  FNow = std::max(FNow, it->second.Due);
  // Paints go before the tick; they may change the timers.
  DeliverPaints();
  it = earliest();
  if (it == FTimers.end() || it->second.Due > FNow) return true;
  TTimer* timer = it->first;
  // Schedule the next period first, so that the handler's own changes win.
  it->second.Due += timer->Interval();
  it->second.Order = ++FOrder;
  timer->Tick();
  return true;
}

void THeadlessLoop::ProcessMessages() {
  DeliverPaints();
  while (FireNextDue(FNow)) {
  }
}

void THeadlessLoop::AdvanceTime(int64_t ms) {
  const int64_t target = FNow + std::max<int64_t>(ms, 0);
  while (FireNextDue(target)) {
  }
  FNow = target;
  DeliverPaints();
}

// --------------------------------------------------------- TGraphicControl

TGraphicControl::TGraphicControl() {
  FFont.OnChange = [this] { FontChanged(); };
}

TGraphicControl::~TGraphicControl() {
  FFont.OnChange = nullptr;
  for (TMessageLoop* loop : AllLoops()) loop->ControlDestroyed(this);
}

void TGraphicControl::SetBounds(int left, int top, int width, int height) {
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
  // The surface first: a size it refuses leaves the control unchanged.
  FSurface.SetSize(std::max(width, 0), std::max(height, 0));
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  Invalidate();
}

void TGraphicControl::SetCaption(const std::string& value) {
  if (value == FCaption) return;
  FCaption = value;
  TextChanged();
}

void TGraphicControl::SetColor(TColor value) {
  if (value == FColor) return;
  FColor = value;
  Invalidate();
}

void TGraphicControl::SetEnabled(bool value) {
  if (value == FEnabled) return;
  FEnabled = value;
  Invalidate();
}

void TGraphicControl::SetVisible(bool value) {
  if (value == FVisible) return;
  FVisible = value;
  if (FVisible) Invalidate();
}

void TGraphicControl::Invalidate() {
  if (FVisible) MessageLoop().Invalidate(this);
}

void TGraphicControl::Repaint() {
  if (FVisible) Paint();
}

bool TGraphicControl::DialogChar(char) { return false; }
