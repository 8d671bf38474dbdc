#include "gui/QtMessageLoop.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <new>

TQtMessageLoop::TQtMessageLoop() {
  FClock.start();
  SetMessageLoop(this);
}

TQtMessageLoop::~TQtMessageLoop() {
  for (auto& [timer, qt] : FTimers) qt->stop();
  FTimers.clear();
  if (&MessageLoop() == this) SetMessageLoop(nullptr);
}

int64_t TQtMessageLoop::Now() { return FClock.elapsed(); }

void TQtMessageLoop::TimerChanged(TTimer* timer) {
  if (!timer->Running()) {
    auto it = FTimers.find(timer);
    if (it != FTimers.end()) it->second->stop();
    return;
  }
  std::unique_ptr<QTimer>& qt = FTimers[timer];
  if (!qt) {
    qt = std::make_unique<QTimer>();
    // The display's frame interval is tens of milliseconds: coarse timers
    // (5 % slack) would make the folds stutter.
    qt->setTimerType(Qt::PreciseTimer);
    QObject::connect(qt.get(), &QTimer::timeout, &FContext, [this, timer] { Tick(timer); });
  }
  // (Re)starts the period from now, as a changed TTimer does.
  qt->start(timer->Interval());
}

void TQtMessageLoop::TimerDestroyed(TTimer* timer) {
  auto it = FTimers.find(timer);
  if (it == FTimers.end()) return;
  it->second->stop();
  // The timer may be dying inside its own tick: let Qt drop the QTimer later.
  QTimer* qt = it->second.release();
  QObject::disconnect(qt, nullptr, nullptr, nullptr);
  qt->deleteLater();
  FTimers.erase(it);
}

const QTimer* TQtMessageLoop::QtTimer(const TTimer* timer) const {
  auto it = FTimers.find(const_cast<TTimer*>(timer));
  if (it == FTimers.end() || !it->second->isActive()) return nullptr;
  return it->second.get();
}

void TQtMessageLoop::Tick(TTimer* timer) {
  // Paints go before ticks, as on the headless loop.
  DeliverPaints();
  if (FTimers.count(timer) == 0 || !timer->Running()) return;
  Guarded([timer] { timer->Tick(); });
}

void TQtMessageLoop::Invalidate(TGraphicControl* control) {
  if (std::find(FPaints.begin(), FPaints.end(), control) == FPaints.end()) FPaints.push_back(control);
  if (!FDeliveryQueued) {
    FDeliveryQueued = true;
    QMetaObject::invokeMethod(&FContext, [this] { DeliverPaints(); }, Qt::QueuedConnection);
  }
}

void TQtMessageLoop::ControlDestroyed(TGraphicControl* control) {
  FPaints.erase(std::remove(FPaints.begin(), FPaints.end(), control), FPaints.end());
  std::replace(FDelivering.begin(), FDelivering.end(), control, static_cast<TGraphicControl*>(nullptr));
}

bool TQtMessageLoop::PaintPending(const TGraphicControl* control) const {
  return std::find(FPaints.begin(), FPaints.end(), control) != FPaints.end();
}

void TQtMessageLoop::DeliverPaints() {
  FDeliveryQueued = false;
  if (FPaints.empty() || !FDelivering.empty()) return;  // no nested delivery
  FDelivering.swap(FPaints);
  FPaints.clear();
  for (size_t i = 0; i < FDelivering.size(); ++i) {
    TGraphicControl* c = FDelivering[i];
    if (!c) continue;
    Guarded([c] { c->Repaint(); });
    if (OnPainted && FDelivering[i]) OnPainted(c);
  }
  FDelivering.clear();
  // A paint that asked for another one: deliver it on the next turn.
  if (!FPaints.empty() && !FDeliveryQueued) {
    FDeliveryQueued = true;
    QMetaObject::invokeMethod(&FContext, [this] { DeliverPaints(); }, Qt::QueuedConnection);
  }
}

void TQtMessageLoop::ProcessMessages() {
  DeliverPaints();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  DeliverPaints();
}

void TQtMessageLoop::Guarded(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::bad_alloc&) {
    if (OnError) OnError("Out of memory");
  } catch (const std::exception& e) {
    if (OnError) OnError(e.what());
  } catch (...) {
    if (OnError) OnError("Unknown error");
  }
}
