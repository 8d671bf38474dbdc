// The main window's settings handlers and the live display on the virtual clock.
#include "AppFixture.h"
#include "app/WordWrap.h"

namespace {

// Captions the display showed, each with the time it first appeared, sampled
// every `step` ms until `until`.
std::vector<std::pair<int64_t, std::string>> CaptionsOverTime(THeadlessLoop& loop, TFlipLabel& d,
                                                               int64_t until, int64_t step = 100) {
  std::vector<std::pair<int64_t, std::string>> seen = {{loop.Now(), d.Caption()}};
  while (loop.Now() < until) {
    loop.AdvanceTime(step);
    if (d.Caption() != seen.back().second) seen.emplace_back(loop.Now(), d.Caption());
  }
  return seen;
}

std::vector<std::string> Texts(const std::vector<std::pair<int64_t, std::string>>& seen) {
  std::vector<std::string> t;
  for (const auto& s : seen) t.push_back(s.second);
  return t;
}

}  // namespace

using WindowTest = AppTest;

TEST_F(WindowTest, StartsWithTheStatedInitialValues) {
  TFlipLabel& d = *Form->FlipLabel2;
  EXPECT_EQ(Form->Caption(), "Klaptor");
  EXPECT_EQ(d.Width(), 757);
  EXPECT_EQ(d.Height(), 90);
  EXPECT_TRUE(d.AutoAnimate());
  EXPECT_TRUE(d.Center());
  EXPECT_EQ(d.Color(), 3684408);
  EXPECT_EQ(d.Font().Height(), -64);
  EXPECT_EQ(d.Font().Color(), 54741);
  EXPECT_EQ(d.Font().Name(), "Arial");
  // The fields reach the display only when applied.
  EXPECT_EQ(d.Interval(), 100);
  EXPECT_EQ(d.Frames(), 10);
  EXPECT_EQ(d.HingeSize(), 1);
  EXPECT_EQ(Form->Edit1.Text(), "50");
  EXPECT_EQ(Form->Edit2.Text(), "14");
  EXPECT_EQ(Form->Edit3.Text(), "2");
  EXPECT_EQ(Form->Edit4.Text(), "1500");
  EXPECT_EQ(Form->Timer2.Interval(), 1500);
  EXPECT_TRUE(Form->Timer2.Enabled());
  EXPECT_TRUE(Form->tbAnimate.Down());
  EXPECT_TRUE(Form->tbLeft.Down());
  EXPECT_DOUBLE_EQ(Form->Ruler2.Start(), 75.7);
  EXPECT_DOUBLE_EQ(Form->Ruler1.Start(), 9);
  EXPECT_EQ(Form->AdvStatusBar1.PanelText(0), "Animating");
  EXPECT_EQ(Form->Memo1.Line(0), "Welcome to Klaptor V1.0");
  EXPECT_TRUE(Form->CheckBoxMerge.Checked() && Form->CheckBoxCrop.Checked() &&
              Form->CheckBoxPalette.Checked());
  EXPECT_FALSE(Form->cbContinuous.Checked() || Form->cbStretch.Checked());
  EXPECT_NE(Form->GIFDocument, nullptr);
  EXPECT_TRUE(Host.Errors.empty());
}

TEST_F(WindowTest, IntegerFieldsApplyNumbersAndIgnoreEverythingElse) {
  struct Case {
    std::string text;
    int want;
  };
  const std::vector<Case> cases = {{"70", 70}, {"+7", 7}, {"$10", 16}, {"abc", 16}, {"", 16},
                                   {" 5", 16}, {"5.0", 16}, {"99999999999", 16}, {"40", 40}};
  for (const Case& c : cases) {
    SCOPED_TRACE("Edit1 = '" + c.text + "'");
    Form->Edit1.SetText(c.text);
    EXPECT_EQ(Form->FlipLabel2->Interval(), c.want);
  }
  Form->Edit2.SetText("12");
  Form->Edit2.SetText("0");  // a fold needs at least one step
  Form->Edit2.SetText("-3");
  Form->Edit3.SetText("3");
  Form->Edit4.SetText("900");
  EXPECT_EQ(Form->FlipLabel2->Frames(), 12);
  EXPECT_EQ(Form->FlipLabel2->HingeSize(), 3);
  EXPECT_EQ(Form->Timer2.Interval(), 900);
  EXPECT_TRUE(Host.Errors.empty());
}

TEST_F(WindowTest, SizeFieldsTakeWholePixelsFrom1To8192) {
  struct Case {
    std::string text;
    int want;  // the width afterwards
  };
  const std::vector<Case> cases = {
      {"800", 800}, {"64.6", 65}, {"2.5", 2},  {"3.5", 4},     {"0.5", 4},   {"0", 4},
      {"-5", 4},    {"8193", 4},  {"8192", 8192}, {"1e9", 8192}, {"abc", 8192}, {"", 8192},
      {" 300 ", 300}, {"1", 1},   {"nan", 1},  {"1e400", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE("Edit6 = '" + c.text + "'");
    Form->Edit6.SetText(c.text);
    EXPECT_EQ(Form->FlipLabel2->Width(), c.want);
    EXPECT_DOUBLE_EQ(Form->Ruler2.Start(), c.want * 0.1);
  }
}

TEST_F(WindowTest, TapesAndFieldsFollowEachOther) {
  Form->Ruler2.Scroll(80);
  EXPECT_EQ(Form->Edit6.Text(), "800");
  EXPECT_EQ(Form->FlipLabel2->Width(), 800);
  Form->Edit7.SetText("64.6");
  EXPECT_EQ(Form->FlipLabel2->Height(), 65);
  EXPECT_DOUBLE_EQ(Form->Ruler1.Start(), 6.5);
  Form->Ruler1.Scroll(4.25);  // 42.5 rounds to even
  EXPECT_EQ(Form->Edit7.Text(), "42");
  EXPECT_EQ(Form->FlipLabel2->Height(), 42);
  Form->Ruler1.Scroll(-3);  // held at the tape's lower limit
  EXPECT_EQ(Form->Edit7.Text(), "1");
  EXPECT_EQ(Form->FlipLabel2->Height(), 1);

  struct Tick {
    double value;
    const char* label;
  };
  for (const Tick& t : {Tick{0, ""}, Tick{75.7, "757"}, Tick{9, "90"}, Tick{0.05, ""},
                        Tick{0.25, "2"}, Tick{0.35, "4"}, Tick{100, "1000"}}) {
    SCOPED_TRACE(t.value);
    EXPECT_EQ(Form->Ruler1.TickLabel(t.value), t.label);
    EXPECT_EQ(Form->Ruler2.TickLabel(t.value), t.label);
  }
}

TEST_F(WindowTest, AlignmentButtonsFormOneGroup) {
  Form->tbCenter.Click();
  EXPECT_TRUE(Form->tbCenter.Down());
  EXPECT_FALSE(Form->tbLeft.Down());
  EXPECT_EQ(Form->FlipLabel2->Alignment(), taCenter);
  Form->tbRight.Click();
  EXPECT_EQ(Form->FlipLabel2->Alignment(), taRightJustify);
  Form->tbRight.Click();  // a pressed button of the group stays pressed
  EXPECT_TRUE(Form->tbRight.Down());
  Form->tbLeft.Click();
  EXPECT_EQ(Form->FlipLabel2->Alignment(), taLeftJustify);
  EXPECT_FALSE(Form->tbRight.Down() || Form->tbCenter.Down());
}

TEST_F(WindowTest, DialogsChangeTheDisplayOnlyWhenConfirmed) {
  TFlipLabel& d = *Form->FlipLabel2;
  Form->tbBackColor.Click();  // cancelled
  EXPECT_EQ(d.Color(), 3684408);
  Host.ColorAnswers = {clRed, clBlue, clLime};
  Form->tbBackColor.Click();
  Form->tbHingeColor.Click();
  Form->ToolbarButton974.Click();
  EXPECT_EQ(d.Color(), clRed);
  EXPECT_EQ(d.HingeColor(), clBlue);
  EXPECT_EQ(d.Font().Color(), clLime);

  TFont font;
  font.SetName("DejaVu Serif");
  font.SetSize(20);
  Host.FontAnswers.push_back(font);
  Form->tbFont.Click();
  EXPECT_EQ(d.Font().Name(), "DejaVu Serif");
  EXPECT_EQ(d.Font().Size(), 20);

  Form->cbStretch.Click();
  EXPECT_TRUE(d.Stretch());
}

TEST_F(WindowTest, BackgroundPictureButtons) {
  const std::string bmp = Dir.File("p.bmp");
  TBitmap(5, 3, pf24bit).SaveToFile(bmp);
  Host.FileAnswers = {bmp, Dir.File("missing.bmp")};
  Form->ToolbarButton971.Click();
  EXPECT_EQ(Form->PictureFileName, bmp);
  EXPECT_EQ(Form->FlipLabel2->picture().Width(), 5);
  // A picture that cannot be read leaves the one shown and its name.
  EXPECT_FALSE(Form->Perform([&] { Form->ToolbarButton971Click(nullptr); }));
  EXPECT_EQ(Form->PictureFileName, bmp);
  EXPECT_EQ(Form->FlipLabel2->picture().Width(), 5);
  Form->ToolbarButton972.Click();
  EXPECT_EQ(Form->PictureFileName, "");
  EXPECT_EQ(Form->FlipLabel2->picture().Width(), 0);
}

TEST_F(WindowTest, TextAreaButtonsClearAndLoad) {
  const std::string txt = Dir.File("lines.txt");
  WriteAll(txt, "one\r\ntw\xF6\r\nthree\r\n");
  Host.FileAnswers.push_back(txt);
  Form->ToolbarButton976.Click();
  EXPECT_EQ(Form->Memo1.Lines(), (std::vector<std::string>{"one", "twö", "three"}));
  Form->ToolbarButton975.Click();
  EXPECT_EQ(Form->Memo1.LineCount(), 0);
  EXPECT_EQ(Form->FlipLabel2->Caption(), "");
}

TEST_F(WindowTest, TimedModeShowsALineEveryTimePerLineAndCycles) {
  Form->Memo1.SetLines({"a", "b", "c"});
  const auto seen = CaptionsOverTime(Loop, *Form->FlipLabel2, 7500);
  // Editing showed line 0 at once; the timer then walks 0, 1, 2, 0, 1 (the
  // first tick repeats line 0 and so changes nothing).
  EXPECT_EQ(Texts(seen), (std::vector<std::string>{"a", "b", "c", "a", "b"}));
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen[1].first, 3000);
  EXPECT_EQ(seen[2].first, 4500);
  EXPECT_EQ(seen[3].first, 6000);
}

TEST_F(WindowTest, AnEmptyTextShowsNothingAndKeepsLineIndexAtZero) {
  Form->Memo1.Clear();
  Loop.AdvanceTime(4500);
  EXPECT_EQ(Form->FlipLabel2->Caption(), "");
  EXPECT_EQ(Form->LineIndex, 0);
}

TEST_F(WindowTest, StartAndStopInTimedMode) {
  Form->tbAnimate.Click();
  EXPECT_FALSE(Form->tbAnimate.Down());
  EXPECT_FALSE(Form->Timer2.Enabled());
  EXPECT_FALSE(Form->FlipLabel2->AutoAnimate());
  EXPECT_EQ(Form->AdvStatusBar1.PanelText(0), "");
  const std::string shown = Form->FlipLabel2->Caption();
  Loop.AdvanceTime(6000);
  EXPECT_EQ(Form->FlipLabel2->Caption(), shown);
  Form->tbAnimate.Click();
  EXPECT_TRUE(Form->Timer2.Enabled());
  EXPECT_TRUE(Form->FlipLabel2->AutoAnimate());
  EXPECT_EQ(Form->AdvStatusBar1.PanelText(0), "Animating");
}

TEST_F(WindowTest, ContinuousModeChainsLinesAtTheDisplaysOwnPace) {
  Form->Memo1.SetLines({"a", "b", "c"});  // starts a fold towards "a" at t = 0
  Form->cbContinuous.Click();
  EXPECT_FALSE(Form->Timer2.Enabled());
  EXPECT_FALSE(Form->Edit4.Enabled());
  const auto seen = CaptionsOverTime(Loop, *Form->FlipLabel2, 5000);
  // (Frames + 2) x Interval = 12 x 100 ms per line.
  EXPECT_EQ(Texts(seen), (std::vector<std::string>{"a", "b", "c", "a", "b"}));
  ASSERT_EQ(seen.size(), 5u);
  EXPECT_EQ(seen[1].first, 1200);
  EXPECT_EQ(seen[2].first, 2400);
  EXPECT_EQ(seen[3].first, 3600);

  // Unchecking goes back to the timer.
  Form->cbContinuous.Click();
  EXPECT_TRUE(Form->Timer2.Enabled());
  EXPECT_TRUE(Form->Edit4.Enabled());
}

TEST_F(WindowTest, ContinuousWithTheButtonReleasedWaitsForTheButton) {
  Form->Memo1.SetLines({"a", "b", "c"});
  Loop.AdvanceTime(1500);  // the timer has shown "a"; "b" is next
  Form->tbAnimate.Click();  // stop (timed): the display stops animating too
  Form->cbContinuous.Click();
  EXPECT_FALSE(Form->Timer2.Enabled());
  Loop.AdvanceTime(6000);
  EXPECT_EQ(Form->FlipLabel2->Caption(), "a");

  // Starting in continuous mode keeps the chain going line after line.
  Form->tbAnimate.Click();
  EXPECT_EQ(Form->AdvStatusBar1.PanelText(0), "Animating");
  EXPECT_TRUE(Form->FlipLabel2->AutoAnimate());
  EXPECT_FALSE(Form->Timer2.Enabled());
  const auto seen = CaptionsOverTime(Loop, *Form->FlipLabel2, Loop.Now() + 3700);
  EXPECT_EQ(Texts(seen), (std::vector<std::string>{"b", "c", "a", "b"}));

  // Releasing in continuous mode ends the chain after the fold under way.
  Form->tbAnimate.Click();
  EXPECT_EQ(Form->AdvStatusBar1.PanelText(0), "");
  const std::string last = Form->FlipLabel2->Caption();
  Loop.AdvanceTime(5000);
  EXPECT_EQ(Form->FlipLabel2->Caption(), last);
}

TEST_F(WindowTest, TypingShowsTheCaretLineWithAFoldAfterEveryKeystroke) {
  Form->Memo1.SetLines({"l0", "l1", "l2", "l3", "l4"});
  Loop.AdvanceTime(700);
  std::string text = "l0\r\nl1\r\nl2\r\nl3x\r\nl4";
  Form->Memo1.UserEdit(text, 15);  // caret after the "x" in line 3
  EXPECT_EQ(CaretLine(Form->Memo1), 3);
  EXPECT_EQ(Form->FlipLabel2->Caption(), "l3x");
  EXPECT_EQ(Form->FlipLabel2->FramesLeft(), Form->FlipLabel2->Frames());
  Loop.AdvanceTime(300);
  EXPECT_LT(Form->FlipLabel2->FramesLeft(), Form->FlipLabel2->Frames());
  // Typing the same text again (a key that changed nothing visible) still
  // restarts the fold towards the line.
  Form->Memo1.UserEdit(text, 15);
  EXPECT_EQ(Form->FlipLabel2->FramesLeft(), Form->FlipLabel2->Frames());
  EXPECT_TRUE(Form->FlipLabel2->FlipTimer().Enabled());
}

TEST(CaretLineTest, CountsCarriageReturnsBeforeTheCaret) {
  TMemo memo;
  memo.SetText("ab\r\ncd\r\n\r\nef");
  for (auto [caret, line] : std::vector<std::pair<int, int>>{{0, 0}, {2, 0}, {3, 1}, {4, 1},
                                                             {8, 2}, {10, 3}, {12, 3}, {99, 3}}) {
    SCOPED_TRACE(caret);
    memo.SetSelStart(caret);
    EXPECT_EQ(CaretLine(memo), line);
  }
}

TEST(MemoTest, LinesCountAsTheEditControlCountsThem) {
  TMemo memo;
  EXPECT_EQ(memo.LineCount(), 0);
  memo.SetText("a\nb\r\n");  // a final break opens no counted line
  EXPECT_EQ(memo.Lines(), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(memo.Text(), "a\r\nb\r\n");
  memo.Add("");
  memo.Add("c");
  EXPECT_EQ(memo.Lines(), (std::vector<std::string>{"a", "b", "", "c"}));
  memo.SetLines({"x", ""});
  EXPECT_EQ(memo.Lines(), (std::vector<std::string>{"x", ""}));
  memo.SetLines({});
  EXPECT_EQ(memo.LineCount(), 0);
  EXPECT_EQ(memo.Line(5), "");
}

// --- Wrap to Fit ----------------------------------------------------------

TEST(WordWrapTest, BreaksAtBlanksAndSplitsWordsWiderThanTheWidth) {
  // Every character 10 pixels wide: a width of 55 holds 5 characters.
  const TTextMeasure measure = [](const std::string& s) {
    int chars = 0;
    for (unsigned char c : s) chars += (c & 0xC0) != 0x80;
    return chars * 10;
  };
  struct Case {
    const char* name;
    std::vector<std::string> in;
    std::vector<std::string> want;
  };
  const std::vector<Case> cases = {
      {"fits", {"ab cd"}, {"ab cd"}},
      {"breaks at the last blank that fits", {"ab cd ef"}, {"ab cd", "ef"}},
      {"blanks at a break are dropped", {"abc    def"}, {"abc", "def"}},
      {"long word split", {"abcdefghijkl"}, {"abcde", "fghij", "kl"}},
      {"long word after a short one", {"ab abcdefg"}, {"ab", "abcde", "fg"}},
      {"multi-byte characters stay whole", {"äöüßéèà"}, {"äöüßé", "èà"}},
      {"empty line stays", {"", "a"}, {"", "a"}},
      {"leading blanks kept", {"  ab"}, {"  ab"}},
      {"blank-only line", {"   "}, {"   "}},
      {"tabs are blanks", {"abc\tdef"}, {"abc", "def"}},
      {"no lines", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(WrapText(c.in, 55, measure), c.want);
  }
}

TEST_F(WindowTest, WrapToFitMakesEveryLineFitTheDisplay) {
  const std::string longLine =
      "The quick brown fox jumps over the lazy dog while the split flap board keeps turning";
  Form->Memo1.SetLines({longLine, "short"});
  Form->Button1Click(nullptr);
  const std::vector<std::string> lines = Form->Memo1.Lines();
  ASSERT_GT(lines.size(), 3u);
  EXPECT_EQ(lines.back(), "short");

  TBitmap scratch(1, 1, pf24bit);
  scratch.Canvas().SetFont(Form->FlipLabel2->Font());
  std::string joined;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    SCOPED_TRACE(lines[i]);
    EXPECT_LE(scratch.Canvas().TextWidth(lines[i]), 757 - kWrapBoxChrome);
    EXPECT_FALSE(lines[i].empty());
    joined += (i ? " " : "") + lines[i];
    // The next word would not have fitted on this line.
    if (i + 2 < lines.size()) {
      const std::string next = lines[i + 1].substr(0, lines[i + 1].find(' '));
      EXPECT_GT(scratch.Canvas().TextWidth(lines[i] + " " + next), 757 - kWrapBoxChrome);
    }
  }
  EXPECT_EQ(joined, longLine);

  Form->Memo1.Clear();
  Form->Button1Click(nullptr);
  EXPECT_EQ(Form->Memo1.LineCount(), 0);
}

TEST_F(WindowTest, HelpAndExitGoToTheHost) {
  const std::string help = Form->HelpFile();
  ASSERT_GE(help.size(), 12u);
  EXPECT_EQ(help.substr(help.size() - 12), "/klaptor.hlp");
  Form->Contents1Click(nullptr);
  Form->Index1Click(nullptr);
  EXPECT_EQ(Host.HelpShown, (std::vector<int>{0, 0}));
  EXPECT_EQ(Form->Edit1.HelpContext(), 440);
  EXPECT_EQ(Form->Edit6.HelpContext(), 240);
  EXPECT_EQ(Form->Ruler1.HelpContext(), 230);
  EXPECT_EQ(Form->CheckBoxCrop.HelpContext(), 250);
  EXPECT_FALSE(Host.CloseRequested);
  Form->Exit1Click(nullptr);
  EXPECT_TRUE(Host.CloseRequested);
}
