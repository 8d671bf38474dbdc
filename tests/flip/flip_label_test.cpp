// The display as a control on the virtual clock: the timed fold tick by tick,
// interruptions, direct frame choice, CurrentFrame clamping, what repaints and
// what does not, buffer resizing, and the accelerator key.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "FlipTestKit.h"

namespace {

// A display on the virtual clock with a visible caption and a counter of
// OnDone calls. The twin is an identical display driven frame by frame.
struct FlipFixture : ::testing::Test {
  LoopScope Scope;
  TProbeLabel Label;
  TProbeLabel Twin;
  int Done = 0;
  void* DoneSender = nullptr;

  void SetUp() override {
    for (TProbeLabel* l : {&Label, &Twin}) {
      l->SetBounds(0, 0, 120, 40);
      l->Font().SetName("Liberation Sans");
      l->Font().SetHeight(-24);
      l->Font().SetColor(clYellow);
      l->SetColor(clNavy);
      l->SetCaption("Old");
    }
    Twin.SetAutoAnimate(false);
    Label.OnDone = [this](void* sender) {
      ++Done;
      DoneSender = sender;
    };
    // Let the first fold run out so both show "Old" as settled text.
    Scope.Loop.AdvanceTime(5000);
    Twin.SetCurrentFrame(Twin.Frames());
    Scope.Loop.AdvanceTime(0);
    Done = 0;
    DoneSender = nullptr;
  }

  void Tick() { Scope.Loop.AdvanceTime(Label.Interval()); }

  // The twin's full composition of step n of the fold to `caption`.
  const TBitmap& TwinStep(int n) {
    Twin.SetCurrentFrame(n);
    Scope.Loop.AdvanceTime(0);
    return Twin.Surface();
  }
};

TEST(FlipLabelDefaultsTest, ConstructedState) {
  LoopScope scope;
  TFlipLabel l;
  EXPECT_EQ(l.Width(), 65);
  EXPECT_EQ(l.Height(), 17);
  for (const TBitmap* b : {&l.LeavingImage(), &l.ArrivingImage(), &l.FrameImage()}) {
    EXPECT_EQ(b->Width(), 65);
    EXPECT_EQ(b->Height(), 17);
  }
  EXPECT_EQ(l.picture().Width(), 0);
  EXPECT_EQ(l.Frames(), 10);
  EXPECT_EQ(l.Interval(), 100);
  EXPECT_EQ(l.FlipTimer().Interval(), 100);
  EXPECT_FALSE(l.FlipTimer().Enabled());
  EXPECT_TRUE(l.AutoAnimate());
  EXPECT_TRUE(l.ShowAccelChar());
  EXPECT_EQ(l.HingeSize(), 1);
  EXPECT_EQ(l.HingeColor(), clBlack);
  EXPECT_EQ(l.Color(), clWindow);
  EXPECT_FALSE(l.Transparent());
  EXPECT_TRUE(l.ControlStyleOpaque());
  EXPECT_FALSE(l.Center());
  EXPECT_FALSE(l.Stretch());
  EXPECT_EQ(l.Alignment(), taLeftJustify);
  EXPECT_EQ(l.Layout(), tlTop);
  EXPECT_EQ(l.CurrentFrame(), 0);
  EXPECT_EQ(l.FramesLeft(), 0);
  EXPECT_EQ(l.FocusControl(), nullptr);
}

// Ticks 1..11 show steps 0..10 (each equal to the twin's full composition of
// that step), tick 12 ends the fold with one OnDone and the timer off.
TEST_F(FlipFixture, TimedFoldShowsEveryStepThenFiresDoneOnce) {
  const int64_t start = Scope.Loop.Now();
  Label.SetCaption("New");
  Twin.SetCaption("New");
  // The twin is told its step before its repaint, as the renderer does: a
  // repaint at the last step would make the new text the old one at once.
  Twin.SetCurrentFrame(0);
  EXPECT_TRUE(Label.FlipTimer().Enabled());
  EXPECT_EQ(Label.FramesLeft(), 10);
  Scope.Loop.AdvanceTime(0);  // the repaint draws the new caption
  // The first paint of a fold leaves the surface to the ticks.
  EXPECT_EQ(PixelDiff(Label.Surface(), Label.FrameImage()), "");
  for (int tick = 1; tick <= 11; ++tick) {
    SCOPED_TRACE(testing::Message() << "tick " << tick);
    Tick();
    EXPECT_EQ(Scope.Loop.Now() - start, 100 * tick);
    EXPECT_EQ(Label.FramesLeft(), 10 - tick);
    EXPECT_EQ(PixelDiff(Label.Surface(), TwinStep(tick - 1)), "");
    EXPECT_EQ(Done, 0);
    EXPECT_TRUE(Label.FlipTimer().Enabled());
  }
  EXPECT_EQ(PixelDiff(Label.LeavingImage(), Label.ArrivingImage()), "");
  Tick();
  EXPECT_EQ(Scope.Loop.Now() - start, 1200);
  EXPECT_EQ(Done, 1);
  EXPECT_EQ(DoneSender, &Label);
  EXPECT_FALSE(Label.FlipTimer().Enabled());
  EXPECT_EQ(Label.FramesLeft(), 0);
  Scope.Loop.AdvanceTime(10000);
  EXPECT_EQ(Done, 1);
}

// Odd and even fold lengths through the real timer: every tick's picture is
// the fully composed step of the same number.
TEST_F(FlipFixture, EveryTimedStepEqualsTheFullStep) {
  for (int frames : {7, 4, 1, 3}) {
    SCOPED_TRACE(testing::Message() << "frames " << frames);
    Label.SetFrames(frames);
    Twin.SetFrames(frames);
    const std::string caption = "Fold " + std::to_string(frames);
    Label.SetCaption(caption);
    Twin.SetCaption(caption);
    Twin.SetCurrentFrame(-1);  // back to step 0 of the new fold
    for (int n = 0; n <= frames; ++n) {
      Tick();
      ASSERT_EQ(PixelDiff(Label.Surface(), TwinStep(n)), "") << "step " << n;
    }
    Tick();
    ASSERT_FALSE(Label.FlipTimer().Enabled());
  }
  EXPECT_EQ(Done, 4);
}

// While the timer runs a paint only redraws the caption image; the screen
// changes at the next tick.
TEST_F(FlipFixture, PaintDuringAFoldOnlyRefreshesTheCaptionImage) {
  Label.SetCaption("New");
  Tick();
  Tick();
  const TBitmap screen = Label.Surface();
  const TBitmap frame = Label.FrameImage();
  Label.SetHingeSize(5);
  Label.SetHingeColor(clRed);
  Scope.Loop.AdvanceTime(0);
  EXPECT_EQ(Label.ArrivingImage().GetPixelColor(0, 20), clRed);
  EXPECT_EQ(PixelDiff(Label.Surface(), screen), "");
  EXPECT_EQ(PixelDiff(Label.FrameImage(), frame), "");
  // Step 2 of 10 at half height 20: rows 0..3 of the new caption image show
  // above the squeezed flap (d = 16).
  Tick();
  EXPECT_EQ(Label.Surface().GetPixelColor(0, 3), Label.ArrivingImage().GetPixelColor(0, 3));
  EXPECT_NE(PixelDiff(Label.Surface(), screen), "");
}

TEST_F(FlipFixture, EqualCaptionStartsNothing) {
  Label.SetCaption("Old");
  EXPECT_FALSE(Label.FlipTimer().Enabled());
  EXPECT_EQ(Label.FramesLeft(), 0);
  EXPECT_FALSE(Scope.Loop.PaintPending(&Label));
  Scope.Loop.AdvanceTime(5000);
  EXPECT_EQ(Done, 0);
}

// A caption change during a fold shows the fold's target at once and
// restarts the countdown; the next fold starts from the text before the
// interrupted fold and ends with one OnDone.
TEST_F(FlipFixture, CaptionChangeDuringAFold) {
  Label.SetCaption("Mid");
  Tick();
  Tick();
  Tick();
  ASSERT_EQ(Label.FramesLeft(), 7);
  TBitmap midImage = Label.ArrivingImage();
  TBitmap oldLeaving = Label.LeavingImage();
  Label.SetCaption("End");
  EXPECT_EQ(PixelDiff(Label.Surface(), midImage), "");
  EXPECT_EQ(Label.FramesLeft(), 10);
  EXPECT_EQ(PixelDiff(Label.LeavingImage(), oldLeaving), "");
  Scope.Loop.AdvanceTime(0);
  Tick();  // step 0 of the new fold: the text before "Mid", whole
  EXPECT_EQ(PixelDiff(Label.Surface(), oldLeaving), "");
  Scope.Loop.AdvanceTime(1000);
  EXPECT_EQ(Done, 0);
  EXPECT_EQ(PixelDiff(Label.Surface(), Label.ArrivingImage()), "");
  Tick();
  EXPECT_EQ(Done, 1);
}

TEST_F(FlipFixture, AutoAnimateOffStopsTheFoldAndShowsCurrentFrame) {
  Label.SetCaption("New");
  Tick();
  Tick();
  Tick();
  Tick();
  Label.SetAutoAnimate(false);
  EXPECT_FALSE(Label.FlipTimer().Enabled());
  EXPECT_EQ(Label.FramesLeft(), 6);
  Scope.Loop.AdvanceTime(0);
  // CurrentFrame 0: the repaint shows step 0 of the fold, the old text.
  Twin.SetCaption("New");
  Twin.SetCurrentFrame(0);
  EXPECT_EQ(PixelDiff(Label.Surface(), TwinStep(0)), "");
  Scope.Loop.AdvanceTime(10000);
  EXPECT_EQ(Done, 0);
  EXPECT_EQ(Label.FramesLeft(), 6);
  // Setting it back does not start the timer.
  Label.SetAutoAnimate(true);
  EXPECT_FALSE(Label.FlipTimer().Enabled());
}

TEST_F(FlipFixture, IntervalZeroHoldsTheFoldUntilPositive) {
  Label.SetInterval(0);
  EXPECT_EQ(Label.FlipTimer().Interval(), 0);
  Label.SetCaption("New");
  Scope.Loop.AdvanceTime(60000);
  EXPECT_EQ(Label.FramesLeft(), 10);
  EXPECT_TRUE(Label.FlipTimer().Enabled());
  Label.SetInterval(50);
  Scope.Loop.AdvanceTime(50 * 11);
  EXPECT_EQ(Label.FramesLeft(), -1);
  EXPECT_EQ(Done, 0);
  Scope.Loop.AdvanceTime(50);
  EXPECT_EQ(Done, 1);
}

// Fewer than one frame: the fold takes one step (two frames), then OnDone.
TEST_F(FlipFixture, ZeroAndNegativeFramesFoldInOneStep) {
  for (int frames : {0, -4}) {
    SCOPED_TRACE(frames);
    Done = 0;
    Label.SetFrames(frames);
    Label.SetCaption("F" + std::to_string(frames));
    EXPECT_EQ(Label.FramesLeft(), 1);
    Tick();
    Tick();
    EXPECT_EQ(PixelDiff(Label.LeavingImage(), Label.ArrivingImage()), "");
    EXPECT_EQ(PixelDiff(Label.Surface(), Label.ArrivingImage()), "");
    EXPECT_EQ(Done, 0);
    Tick();
    EXPECT_EQ(Done, 1);
    EXPECT_FALSE(Label.FlipTimer().Enabled());
  }
}

TEST_F(FlipFixture, CurrentFrameIsClampedToTheFold) {
  struct Case {
    int Frames, Set, Want;
  };
  const Case cases[] = {{10, 25, 10}, {10, -3, 0}, {10, 4, 4}, {10, 10, 10},
                        {0, 5, 0},    {-6, 3, 0},  {-6, -9, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "frames " << c.Frames << " set " << c.Set);
    Label.SetFrames(c.Frames);
    Label.SetCurrentFrame(c.Set);
    EXPECT_EQ(Label.CurrentFrame(), c.Want);
    Label.SetCurrentFrame(c.Want == 1 ? 2 : 1);  // move away for the next case
  }
}

TEST_F(FlipFixture, SettingTheSameCurrentFrameComposesNothing) {
  Label.SetCurrentFrame(3);
  Scope.Loop.AdvanceTime(0);
  Label.Frame().SetPixelColor(0, 0, clRed);
  Label.Surface().SetPixelColor(0, 0, clRed);
  Label.SetCurrentFrame(3);
  EXPECT_EQ(Label.FrameImage().GetPixelColor(0, 0), clRed);
  EXPECT_EQ(Label.Surface().GetPixelColor(0, 0), clRed);
  EXPECT_FALSE(Scope.Loop.PaintPending(&Label));
}

// With AutoAnimate off the old text stays until the last step is chosen; it
// then becomes the leaving text of the next fold.
TEST_F(FlipFixture, DirectChoiceShowsOldTextUntilTheLastStep) {
  TBitmap oldText = Label.Surface();
  Label.SetAutoAnimate(false);
  Label.SetCaption("New");
  Scope.Loop.AdvanceTime(1000);
  EXPECT_FALSE(Label.FlipTimer().Enabled());
  EXPECT_EQ(PixelDiff(Label.Surface(), oldText), "");
  Label.SetCurrentFrame(5);
  Scope.Loop.AdvanceTime(0);
  EXPECT_NE(PixelDiff(Label.Surface(), oldText), "");
  Label.SetCurrentFrame(10);
  EXPECT_EQ(PixelDiff(Label.Surface(), Label.ArrivingImage()), "");
  EXPECT_EQ(PixelDiff(Label.LeavingImage(), Label.ArrivingImage()), "");
  // Every step now folds the new text onto itself: outside the squeezed
  // band (rows 14..20 at step 4 of 10, half height 20) it is the new text.
  Label.SetCurrentFrame(4);
  for (int y : {0, 13, 20, 39})
    for (int x = 0; x < Label.Width(); ++x)
      ASSERT_EQ(Label.Surface().GetPixelColor(x, y), Label.ArrivingImage().GetPixelColor(x, y))
          << x << ", " << y;
}

// Which setters ask for a repaint.
TEST_F(FlipFixture, RepaintRequests) {
  struct Case {
    const char* Name;
    void (*Set)(TProbeLabel&);
    bool Repaints;
  };
  const Case cases[] = {
      {"Frames", [](TProbeLabel& l) { l.SetFrames(12); }, false},
      {"Center", [](TProbeLabel& l) { l.SetCenter(true); }, false},
      {"Stretch", [](TProbeLabel& l) { l.SetStretch(true); }, false},
      {"Interval", [](TProbeLabel& l) { l.SetInterval(40); }, false},
      {"same Alignment", [](TProbeLabel& l) { l.SetAlignment(taLeftJustify); }, false},
      {"same HingeSize", [](TProbeLabel& l) { l.SetHingeSize(1); }, false},
      {"same Layout", [](TProbeLabel& l) { l.SetLayout(tlTop); }, false},
      {"same ShowAccelChar", [](TProbeLabel& l) { l.SetShowAccelChar(true); }, false},
      {"same Transparent", [](TProbeLabel& l) { l.SetTransparent(false); }, false},
      {"Alignment", [](TProbeLabel& l) { l.SetAlignment(taCenter); }, true},
      {"HingeSize", [](TProbeLabel& l) { l.SetHingeSize(2); }, true},
      {"same HingeColor", [](TProbeLabel& l) { l.SetHingeColor(l.HingeColor()); }, true},
      {"Layout", [](TProbeLabel& l) { l.SetLayout(tlBottom); }, true},
      {"ShowAccelChar", [](TProbeLabel& l) { l.SetShowAccelChar(false); }, true},
      {"Transparent", [](TProbeLabel& l) { l.SetTransparent(true); }, true},
      {"AutoAnimate", [](TProbeLabel& l) { l.SetAutoAnimate(true); }, true},
      {"picture", [](TProbeLabel& l) { l.Setpicture(nullptr); }, true},
      {"Color", [](TProbeLabel& l) { l.SetColor(clRed); }, true},
      {"Enabled", [](TProbeLabel& l) { l.SetEnabled(false); }, true},
      {"Font", [](TProbeLabel& l) { l.Font().SetHeight(-30); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Scope.Loop.AdvanceTime(0);
    ASSERT_FALSE(Scope.Loop.PaintPending(&Label));
    c.Set(Label);
    EXPECT_EQ(Scope.Loop.PaintPending(&Label), c.Repaints);
  }
  EXPECT_TRUE(Label.Transparent());
  EXPECT_FALSE(Label.ControlStyleOpaque());
}

// The buffers follow the control's size only when they are resized: on a
// caption or font change, after loading, when AutoSize is switched on.
TEST_F(FlipFixture, BuffersResizeOnlyAtTheirMoments) {
  auto bufferSize = [this] {
    return std::to_string(Label.FrameImage().Width()) + "x" + std::to_string(Label.FrameImage().Height());
  };
  Label.SetBounds(0, 0, 80, 30);
  EXPECT_EQ(bufferSize(), "120x40");
  Scope.Loop.AdvanceTime(0);
  EXPECT_EQ(bufferSize(), "120x40");
  Label.SetCaption("Resized");
  EXPECT_EQ(bufferSize(), "80x30");
  EXPECT_EQ(Label.LeavingImage().Width(), 80);
  EXPECT_EQ(Label.ArrivingImage().Height(), 30);

  Label.SetBounds(0, 0, 90, 31);
  Label.Font().SetHeight(-20);
  EXPECT_EQ(bufferSize(), "90x31");

  Label.SetAutoSize(false);
  Label.SetBounds(0, 0, 50, 20);
  Label.SetCaption("Fixed");
  Label.Font().SetHeight(-21);
  EXPECT_EQ(bufferSize(), "90x31");
  Label.SetAutoSize(true);
  EXPECT_EQ(bufferSize(), "50x20");

  Label.BeginLoading();
  Label.SetBounds(0, 0, 70, 25);
  Label.SetCaption("Loading");
  EXPECT_EQ(bufferSize(), "50x20");
  Label.EndLoading();
  EXPECT_FALSE(Label.Loading());
  EXPECT_EQ(bufferSize(), "70x25");
}

TEST(FlipLabelAccelTest, AcceleratorFocusesTheFocusControl) {
  LoopScope scope;
  TFlipLabel l;
  l.SetCaption("&Name && more");
  TWinControl edit;
  EXPECT_FALSE(l.DialogChar('n'));  // no FocusControl yet
  l.SetFocusControl(&edit);
  EXPECT_FALSE(l.DialogChar('x'));
  EXPECT_FALSE(edit.Focused());
  EXPECT_TRUE(l.DialogChar('N'));
  EXPECT_TRUE(edit.Focused());
  edit.KillFocus();
  EXPECT_TRUE(l.DialogChar('n'));
  edit.KillFocus();

  l.SetShowAccelChar(false);
  EXPECT_FALSE(l.DialogChar('n'));
  l.SetShowAccelChar(true);
  l.SetEnabled(false);
  EXPECT_FALSE(l.DialogChar('n'));
  l.SetEnabled(true);
  edit.SetEnabled(false);  // cannot take the focus
  EXPECT_FALSE(l.DialogChar('n'));
  EXPECT_FALSE(edit.Focused());
  edit.SetEnabled(true);

  // The key is the character after the first "&", whatever it is.
  l.SetCaption("a&&b");
  EXPECT_TRUE(l.DialogChar('&'));
  l.SetCaption("trailing&");
  EXPECT_FALSE(l.DialogChar('\0'));
  l.SetCaption("none");
  EXPECT_FALSE(l.DialogChar('n'));
}

TEST(FlipLabelAccelTest, DestroyedFocusControlIsForgotten) {
  LoopScope scope;
  TFlipLabel l;
  {
    TWinControl edit;
    l.SetFocusControl(&edit);
    EXPECT_EQ(l.FocusControl(), &edit);
  }
  EXPECT_EQ(l.FocusControl(), nullptr);
  l.SetCaption("&x");
  EXPECT_FALSE(l.DialogChar('x'));
  // The other way round: the label goes first, the control lives on.
  TWinControl edit;
  {
    TFlipLabel gone;
    gone.SetFocusControl(&edit);
  }
  edit.SetName("still fine");
}

}  // namespace

namespace {

// Degenerate sizes fold without touching anything outside the buffers.
TEST(FlipLabelSizesTest, TinyEmptyAndNegativeSizesFold) {
  LoopScope scope;
  struct Size {
    int W, H;
  };
  for (Size s : {Size{0, 0}, Size{1, 1}, Size{757, 1}, Size{1, 3}, Size{-5, -3}, Size{10, -4}}) {
    SCOPED_TRACE(testing::Message() << s.W << " x " << s.H);
    TFlipLabel l;
    int done = 0;
    l.OnDone = [&done](void*) { ++done; };
    l.SetBounds(0, 0, s.W, s.H);
    l.SetHingeSize(3);
    l.SetCaption("Tiny");
    scope.Loop.AdvanceTime(1200);
    EXPECT_EQ(done, 1);
    l.SetAutoAnimate(false);
    for (int n : {5, 10, 0}) l.SetCurrentFrame(n);
    scope.Loop.AdvanceTime(0);
    EXPECT_EQ(l.FrameImage().Width(), std::max(s.W, 0));
  }
}

}  // namespace
