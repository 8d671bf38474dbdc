// The platform message loop on Qt: TTimers tick from Qt timers, paint
// requests merge and are delivered before ticks, and nothing thrown in a tick
// or a paint escapes into Qt.
#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "gui/QtMessageLoop.h"

namespace {

class TCountingControl : public TGraphicControl {
 public:
  int Paints = 0;
  bool Throw = false;
  void Paint() override {
    ++Paints;
    if (Throw) throw std::runtime_error("paint failed");
  }
};

}  // namespace

TEST(QtMessageLoop, PaintRequestsMergeAndArriveThroughQt) {
  TQtMessageLoop loop;
  TCountingControl control;
  std::vector<TGraphicControl*> painted;
  loop.OnPainted = [&](TGraphicControl* c) { painted.push_back(c); };
  control.Invalidate();
  control.Invalidate();
  EXPECT_TRUE(loop.PaintPending(&control));
  // Delivered by Qt's own event processing, once.
  QTest::qWait(1);
  QCoreApplication::processEvents();
  EXPECT_EQ(control.Paints, 1);
  EXPECT_EQ(painted, std::vector<TGraphicControl*>{&control});
  EXPECT_FALSE(loop.PaintPending(&control));
  // And by ProcessMessages at once.
  control.Invalidate();
  loop.ProcessMessages();
  EXPECT_EQ(control.Paints, 2);
}

TEST(QtMessageLoop, TimersFollowEnabledAndInterval) {
  TQtMessageLoop loop;
  TTimer timer;
  timer.SetInterval(25);
  ASSERT_NE(loop.QtTimer(&timer), nullptr);
  EXPECT_EQ(loop.QtTimer(&timer)->interval(), 25);
  timer.SetInterval(0);  // never ticks
  EXPECT_EQ(loop.QtTimer(&timer), nullptr);
  timer.SetInterval(5);
  timer.SetEnabled(false);
  EXPECT_EQ(loop.QtTimer(&timer), nullptr);

  // A pending paint is delivered before the tick.
  TCountingControl control;
  int paintsAtTick = -1;
  timer.OnTimer = [&] {
    if (paintsAtTick < 0) paintsAtTick = control.Paints;
  };
  control.Invalidate();
  timer.SetEnabled(true);
  EXPECT_TRUE(QTest::qWaitFor([&] { return paintsAtTick >= 0; }, 5000));
  EXPECT_EQ(paintsAtTick, 1);
}

TEST(QtMessageLoop, ErrorsInTicksAndPaintsGoToTheErrorBox) {
  TQtMessageLoop loop;
  std::vector<std::string> errors;
  loop.OnError = [&](const std::string& m) { errors.push_back(m); };
  auto timer = std::make_unique<TTimer>();
  timer->SetInterval(5);
  int ticks = 0;
  timer->OnTimer = [&] {
    ++ticks;
    throw std::runtime_error("tick failed");
  };
  EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 2; }, 5000));
  ASSERT_GE(errors.size(), 2u);
  EXPECT_EQ(errors[0], "tick failed");

  TCountingControl control;
  control.Throw = true;
  control.Invalidate();
  loop.ProcessMessages();
  EXPECT_EQ(errors.back(), "paint failed");

  // A timer that destroys itself in its own tick.
  timer->OnTimer = [&] { timer.reset(); };
  EXPECT_TRUE(QTest::qWaitFor([&] { return timer == nullptr; }, 5000));
  QTest::qWait(20);
}
