// Timers on the virtual clock, paint delivery order, and the graphic-control
// base the flip display builds on.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Controls.h"

namespace {

class Loop : public testing::Test {
 protected:
  Loop() { SetMessageLoop(&loop); }
  ~Loop() override { SetMessageLoop(nullptr); }
  THeadlessLoop loop;
};

struct Probe : TGraphicControl {
  std::vector<std::string>* log;
  int textChanges = 0, fontChanges = 0;
  explicit Probe(std::vector<std::string>* l) : log(l) {}
  void Paint() override { log->push_back("paint"); }
  void TextChanged() override { ++textChanges; }
  void FontChanged() override {
    ++fontChanges;
    TGraphicControl::FontChanged();
  }
};

using TimerTest = Loop;

TEST_F(TimerTest, TicksEveryIntervalOnTheVirtualClock) {
  TTimer t;
  t.SetInterval(100);
  std::vector<int64_t> at;
  t.OnTimer = [&] { at.push_back(loop.Now()); };
  loop.AdvanceTime(99);
  EXPECT_TRUE(at.empty());
  loop.AdvanceTime(1101);
  ASSERT_EQ(at.size(), 12u);  // 100, 200 ... 1200
  for (size_t i = 0; i < at.size(); ++i) EXPECT_EQ(at[i], 100 * static_cast<int64_t>(i + 1));
  EXPECT_EQ(loop.Now(), 1200);
  t.SetEnabled(false);
  loop.AdvanceTime(1000);
  EXPECT_EQ(at.size(), 12u);
}

TEST_F(TimerTest, DefaultsAndIntervalZeroNeverTicks) {
  TTimer t;
  EXPECT_EQ(t.Interval(), 1000);
  EXPECT_TRUE(t.Enabled());
  int ticks = 0;
  t.OnTimer = [&] { ++ticks; };
  t.SetInterval(0);
  EXPECT_FALSE(t.Running());
  loop.AdvanceTime(100000);
  EXPECT_EQ(ticks, 0);
  t.SetInterval(50);  // a positive interval starts from now
  loop.AdvanceTime(49);
  EXPECT_EQ(ticks, 0);
  loop.AdvanceTime(1);
  EXPECT_EQ(ticks, 1);
  t.SetInterval(-5);
  loop.AdvanceTime(1000);
  EXPECT_EQ(ticks, 1);
}

TEST_F(TimerTest, EnablingAndRetimingRestartThePeriod) {
  TTimer t;
  t.SetEnabled(false);
  t.SetInterval(100);
  std::vector<int64_t> at;
  t.OnTimer = [&] { at.push_back(loop.Now()); };
  loop.AdvanceTime(50);
  t.SetEnabled(true);
  loop.AdvanceTime(260);  // now 310
  EXPECT_EQ(at, (std::vector<int64_t>{150, 250}));
  t.SetInterval(30);  // from 310: 340, 370
  loop.AdvanceTime(60);
  EXPECT_EQ(at, (std::vector<int64_t>{150, 250, 340, 370}));
  t.SetEnabled(true);  // no change: no restart
  loop.AdvanceTime(30);
  EXPECT_EQ(at.back(), 400);
}

TEST_F(TimerTest, HandlerChangesWinOverTheSchedule) {
  TTimer t;
  t.SetInterval(100);
  std::vector<int64_t> at;
  t.OnTimer = [&] {
    at.push_back(loop.Now());
    if (at.size() == 2) t.SetInterval(10);
    if (at.size() == 4) t.SetEnabled(false);
  };
  loop.AdvanceTime(1000);
  EXPECT_EQ(at, (std::vector<int64_t>{100, 200, 210, 220}));
}

TEST_F(TimerTest, EqualDueTimesTickInStartOrderAndTimersMayDieInTheirHandler) {
  std::vector<std::string> log;
  auto a = std::make_unique<TTimer>();
  TTimer b;
  a->SetInterval(0);
  b.SetInterval(0);
  b.SetInterval(100);  // b starts first
  a->SetInterval(100);
  a->OnTimer = [&] {
    log.push_back("a");
    a.reset();  // destroyed inside its own tick
  };
  b.OnTimer = [&] { log.push_back("b"); };
  loop.AdvanceTime(300);
  EXPECT_EQ(log, (std::vector<std::string>{"b", "a", "b", "b"}));
}

TEST_F(TimerTest, PaintsComeBeforeDueTicks) {
  // A caption change asks for a paint and starts a timer; the paint must run
  // before the first tick, and a paint asked for by a tick before the next.
  std::vector<std::string> log;
  Probe control(&log);
  TTimer t;
  t.SetEnabled(false);
  t.SetInterval(100);
  int ticks = 0;
  t.OnTimer = [&] {
    log.push_back("tick" + std::to_string(++ticks));
    if (ticks == 1) control.Invalidate();
  };
  control.Invalidate();
  control.Invalidate();  // merged with the first request
  t.SetEnabled(true);
  loop.AdvanceTime(300);
  EXPECT_EQ(log, (std::vector<std::string>{"paint", "tick1", "paint", "tick2", "tick3"}));
  log.clear();
  control.Invalidate();
  EXPECT_TRUE(loop.PaintPending(&control));
  loop.ProcessMessages();
  EXPECT_EQ(log, (std::vector<std::string>{"paint"}));
  EXPECT_FALSE(loop.PaintPending(&control));
}

TEST_F(TimerTest, ADestroyedControlIsNotPainted) {
  std::vector<std::string> log;
  auto c = std::make_unique<Probe>(&log);
  c->Invalidate();
  c.reset();
  loop.ProcessMessages();
  EXPECT_TRUE(log.empty());
}

TEST_F(TimerTest, TimersMoveWithTheCurrentLoop) {
  TTimer t;
  t.SetInterval(100);
  int ticks = 0;
  t.OnTimer = [&] { ++ticks; };
  loop.AdvanceTime(50);
  {
    THeadlessLoop inner;
    SetMessageLoop(&inner);  // t moves and starts its period on inner's clock
    EXPECT_EQ(loop.NextDue(&t), -1);
    EXPECT_EQ(inner.NextDue(&t), 100);
    loop.AdvanceTime(1000);
    EXPECT_EQ(ticks, 0);
    inner.AdvanceTime(250);
    EXPECT_EQ(ticks, 2);
    EXPECT_EQ(&MessageLoop(), &inner);
  }
  // Destroying the current loop falls back to the built-in one, taking t along.
  EXPECT_NE(&MessageLoop(), &loop);
  SetMessageLoop(&loop);
  EXPECT_EQ(loop.NextDue(&t), 1150);
  loop.AdvanceTime(100);
  EXPECT_EQ(ticks, 3);
}

using GraphicControlTest = Loop;

TEST_F(GraphicControlTest, CaptionAndFontNotifications) {
  std::vector<std::string> log;
  Probe c(&log);
  c.SetCaption("Hello");
  c.SetCaption("Hello");  // equal value: no notification
  EXPECT_EQ(c.textChanges, 1);
  c.SetCaption("");
  EXPECT_EQ(c.textChanges, 2);
  loop.ProcessMessages();
  log.clear();
  c.Font().SetHeight(-20);
  EXPECT_EQ(c.fontChanges, 1);
  TFont same = c.Font();
  c.SetFont(same);  // nothing differs
  EXPECT_EQ(c.fontChanges, 1);
  loop.ProcessMessages();
  EXPECT_EQ(log, (std::vector<std::string>{"paint"})) << "the base font handling repaints";
}

TEST_F(GraphicControlTest, BoundsColourEnabledAndSurface) {
  std::vector<std::string> log;
  Probe c(&log);
  EXPECT_TRUE(c.Enabled());
  EXPECT_FALSE(c.ControlStyleOpaque());
  c.SetControlStyleOpaque(true);
  EXPECT_TRUE(c.ControlStyleOpaque());
  c.SetBounds(10, 20, 65, 17);
  EXPECT_EQ(c.Surface().Width(), 65);
  EXPECT_EQ(c.Surface().Height(), 17);
  EXPECT_EQ(c.Left(), 10);
  EXPECT_EQ(c.Top(), 20);
  c.Canvas().Brush().SetColor(clRed);
  c.Canvas().FillRect(Rect(0, 0, 65, 17));
  c.SetWidth(100);  // the surface follows, keeping what was drawn
  EXPECT_EQ(c.Surface().Width(), 100);
  EXPECT_EQ(c.Surface().GetPixelColor(64, 16), clRed);
  EXPECT_EQ(c.Surface().GetPixelColor(65, 16), clBlack);
  loop.ProcessMessages();
  EXPECT_EQ(log.size(), 1u);
  c.SetColor(c.Color());
  c.SetEnabled(true);
  loop.ProcessMessages();
  EXPECT_EQ(log.size(), 1u) << "unchanged values repaint nothing";
  c.SetColor(clWindow);
  c.SetEnabled(false);
  loop.ProcessMessages();
  EXPECT_EQ(log.size(), 2u);
  EXPECT_FALSE(c.DialogChar('a'));
  // A size the surface cannot hold is refused and changes nothing.
  EXPECT_THROW(c.SetBounds(0, 0, 100000, 100000), EOutOfResources);
  EXPECT_EQ(c.Width(), 100);
  EXPECT_EQ(c.Left(), 10);
}

TEST_F(GraphicControlTest, FreeNotificationWorksBothWays) {
  struct Watcher : TComponent {
    std::vector<TComponent*> removed;
    void Notification(TComponent* c, TOperation op) override {
      if (op == opRemove) removed.push_back(c);
    }
  };
  Watcher w;
  auto target = std::make_unique<TWinControl>();
  TComponent* raw = target.get();
  target->FreeNotification(&w);
  target.reset();
  EXPECT_EQ(w.removed, (std::vector<TComponent*>{raw}));
  // A watcher that dies first is forgotten by the watched component.
  TWinControl other;
  {
    Watcher shortLived;
    other.FreeNotification(&shortLived);
  }
  SUCCEED();  // destroying `other` must not touch the dead watcher (ASan checks it)
}

TEST_F(GraphicControlTest, LoadingStateEndsWithLoaded) {
  struct Late : TGraphicControl {
    bool loadingSeenInLoaded = true;
    void Loaded() override {
      TGraphicControl::Loaded();
      loadingSeenInLoaded = Loading();
    }
  } c;
  c.BeginLoading();
  EXPECT_TRUE(c.Loading());
  c.EndLoading();
  EXPECT_FALSE(c.Loading());
  EXPECT_FALSE(c.loadingSeenInLoaded);
}

}  // namespace
