// The platform message loop on Qt: TTimers tick from QTimers, paint requests
// of graphic controls are delivered from Qt's event queue (and on every
// ProcessMessages), and ProcessMessages is Qt's own event processing, so a
// long handler that yields lets the window repaint and take input.
//
//   QApplication app(argc, argv);
//   TQtMessageLoop loop;       // becomes the current loop; before any TTimer
//   loop.OnPainted = [&](TGraphicControl* c) { displayWidget->update(); };
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QElapsedTimer>
#include <QObject>

#include "platform/Controls.h"

class QTimer;

class TQtMessageLoop : public TMessageLoop {
 public:
  // Makes itself the current loop; the destructor returns to the built-in one.
  TQtMessageLoop();
  ~TQtMessageLoop() override;

  int64_t Now() override;
  void TimerChanged(TTimer* timer) override;
  void TimerDestroyed(TTimer* timer) override;
  void Invalidate(TGraphicControl* control) override;
  void ControlDestroyed(TGraphicControl* control) override;
  // Pending paints first, then whatever Qt has queued (timer ticks that are
  // due, input, widget repaints), then the paints those caused.
  void ProcessMessages() override;

  // Repaints every control that asked for it, then tells OnPainted.
  void DeliverPaints();
  bool PaintPending(const TGraphicControl* control) const;
  // The QTimer standing for a TTimer (nullptr while it is stopped).
  const QTimer* QtTimer(const TTimer* timer) const;

  // After a control painted its surface: the widget showing it updates.
  std::function<void(TGraphicControl*)> OnPainted;
  // An exception that escaped a timer tick or a paint (nothing may cross Qt's
  // event loop): the front end shows it in its error box.
  std::function<void(const std::string&)> OnError;

 private:
  void Tick(TTimer* timer);
  void Guarded(const std::function<void()>& action);

  QElapsedTimer FClock;
  QObject FContext;  // receiver of the queued paint delivery
  std::map<TTimer*, std::unique_ptr<QTimer>> FTimers;
  std::vector<TGraphicControl*> FPaints;
  std::vector<TGraphicControl*> FDelivering;
  bool FDeliveryQueued = false;
};
