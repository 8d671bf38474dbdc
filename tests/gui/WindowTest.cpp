// The window as a user meets it: initial texts and states, typing into the
// fields, dragging the tapes, the live display's timers, menus and help.
#include <QCheckBox>
#include <QDropEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <set>

#include "GuiFixture.h"
#include "gui/DisplayWidget.h"
#include "gui/HelpWindow.h"
#include "gui/TapeWidget.h"

namespace {

std::string Text(const QString& s) { return s.toStdString(); }

}  // namespace

TEST_F(GuiTest, StartsWithTheInitialTextsAndStates) {
  Open();
  TForm1& f = Form();
  EXPECT_EQ(Text(Window->windowTitle()), "Klaptor");
  EXPECT_EQ(Window->size(), QSize(766, 349));

  struct Field {
    const char* name;
    const char* text;
  };
  for (const Field& c : {Field{"Edit1", "50"}, Field{"Edit2", "14"}, Field{"Edit3", "2"}, Field{"Edit4", "1500"},
                         Field{"Edit6", "757"}, Field{"Edit7", "90"}}) {
    SCOPED_TRACE(c.name);
    QLineEdit* e = Find<QLineEdit>(c.name);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(Text(e->text()), c.text);
    EXPECT_TRUE(e->isEnabled());
    EXPECT_FALSE(e->toolTip().isEmpty());
  }
  struct Box {
    const char* name;
    const char* caption;
    bool checked;
  };
  for (const Box& c : {Box{"cbContinuous", "Continuous", false}, Box{"CheckBoxMerge", "Merge", true},
                       Box{"CheckBoxCrop", "Crop", true}, Box{"CheckBoxPalette", "Palette", true},
                       Box{"cbStretch", "Bitmap Stretch to Fit", false}}) {
    SCOPED_TRACE(c.name);
    QCheckBox* b = Find<QCheckBox>(c.name);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(Text(b->text()), c.caption);
    EXPECT_EQ(b->isChecked(), c.checked);
  }
  EXPECT_EQ(Text(Find<QGroupBox>("GroupBoxOptimize")->title()), "GIF  Size Optimize ");
  EXPECT_EQ(Text(Find<QLineEdit>("Edit1")->toolTip()), "Waiting time in ms before advancing to the next frame");
  EXPECT_EQ(Text(Find<QCheckBox>("CheckBoxPalette")->toolTip()),
            "Creates a single global color map instead of multiple local color maps");

  // Every toolbar button with its hint as tooltip, in order; the toggle and
  // the alignment group start as stated.
  const std::vector<std::pair<const TToolbarButton*, const char*>> buttons = {
      {&f.tbOpen, "Load Flip File"},
      {&f.tbSave, "Save Flip File"},
      {&f.tbAnimate, "Start / Stop Animation"},
      {&f.tbRender, "Render Animated GIF"},
      {&f.ToolbarButton973, "Cancel Gif Rendering"},
      {&f.tbLeft, "Left Align Text "},
      {&f.tbCenter, "Center Align Text "},
      {&f.tbRight, "Right Align Text "},
      {&f.tbFont, "Change Font Properties"},
      {&f.ToolbarButton974, "Change Font Color"},
      {&f.tbHingeColor, "Change Seconday Hinge Color"},
      {&f.tbBackColor, "Change Background Color"},
      {&f.ToolbarButton971, "Load Background Picture"},
      {&f.ToolbarButton972, "Clear Background Picture"},
      {&f.ToolbarButton975, "Clear the text entry area"},
      {&f.ToolbarButton976, "Load a text file into the text entry area"}};
  QToolBar* top = Find<QToolBar>("tbKlaptor");
  ASSERT_NE(top, nullptr);
  std::vector<QAction*> topActions;
  for (QAction* a : top->actions())
    if (!a->isSeparator()) topActions.push_back(a);
  ASSERT_EQ(topActions.size(), 14u);
  for (size_t i = 0; i < buttons.size(); ++i) {
    SCOPED_TRACE(buttons[i].first->Name());
    QAction* a = Window->ToolAction(*buttons[i].first);
    ASSERT_NE(a, nullptr);
    if (i < topActions.size()) {
      EXPECT_EQ(a, topActions[i]);
    }
    EXPECT_EQ(Text(a->toolTip()), buttons[i].second);
    EXPECT_NE(ToolButton(*buttons[i].first), nullptr);
  }
  // Separators after Save, Animate, Cancel, Right and Back Color.
  std::vector<std::string> order;
  for (QAction* a : top->actions()) order.push_back(a->isSeparator() ? "|" : Text(a->objectName()));
  const std::vector<std::string> wantOrder = {
      "tbOpen", "tbSave", "|", "tbAnimate", "|", "tbRender", "ToolbarButton973", "|", "tbLeft", "tbCenter",
      "tbRight", "|", "tbFont", "ToolbarButton974", "tbHingeColor", "tbBackColor", "|", "ToolbarButton971",
      "ToolbarButton972"};
  EXPECT_EQ(order, wantOrder);
  EXPECT_TRUE(Window->ToolAction(f.tbAnimate)->isChecked());
  EXPECT_TRUE(Window->ToolAction(f.tbLeft)->isChecked());
  EXPECT_FALSE(Window->ToolAction(f.tbCenter)->isChecked());
  EXPECT_FALSE(Window->ToolAction(f.tbRight)->isChecked());
  EXPECT_FALSE(Window->ToolAction(f.tbRender)->isCheckable());

  // Display, tapes, text area, status bar.
  EXPECT_EQ(Window->Display()->size(), QSize(757, 90));
  EXPECT_EQ(Window->WidthTape()->width(), 29);
  EXPECT_EQ(Window->HeightTape()->width(), 29);
  EXPECT_DOUBLE_EQ(f.Ruler2.Start(), 75.7);
  EXPECT_DOUBLE_EQ(f.Ruler1.Start(), 9.0);
  EXPECT_EQ(Text(Find<QLabel>("TextHeader")->text()), " Enter your text here");
  EXPECT_EQ(Text(Find<QPushButton>("Button1")->text()), "&Wrap to Fit");
  EXPECT_EQ(Text(Find<QPushButton>("Button1")->toolTip()), "Rearrange the text to fin in the image.");
  QPlainTextEdit* memo = Find<QPlainTextEdit>("Memo1");
  ASSERT_NE(memo, nullptr);
  EXPECT_EQ(Text(memo->toPlainText().section('\n', 0, 0)), "Welcome to Klaptor V1.0");
  EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_EQ(Text(Find<QLabel>("StatusPanel0")->text()), "Animating");
  EXPECT_EQ(Find<QLabel>("StatusPanel0")->width(), 100);
  QProgressBar* progress = Find<QProgressBar>("ProgressBar");
  EXPECT_EQ(progress->width(), 200);
  EXPECT_EQ(progress->minimum(), 0);
  EXPECT_EQ(progress->maximum(), 100);
  EXPECT_EQ(progress->value(), 0);
  EXPECT_EQ(Text(Find<QLabel>("StatusPanel2")->text()), "");

  // Timer2 runs on a Qt timer from the start, 1500 ms apart.
  const QTimer* timer2 = Loop.QtTimer(&f.Timer2);
  ASSERT_NE(timer2, nullptr);
  EXPECT_EQ(timer2->interval(), 1500);
  EXPECT_TRUE(Host.Errors.empty());
}

TEST_F(GuiTest, MenusCarryTheirItemsAndShortcuts) {
  Open();
  struct Item {
    const char* name;
    const char* text;
    QKeySequence keys;
  };
  for (const Item& c : {Item{"Open1", "&Open...", QKeySequence("Ctrl+O")},
                        Item{"Save1", "&Save...", QKeySequence("Ctrl+S")},
                        Item{"SaveAs1", "Save &As...", QKeySequence("Ctrl+Shift+S")},
                        Item{"Exit1", "&Exit", QKeySequence("Ctrl+Q")}, Item{"Font1", "&Font...", {}},
                        Item{"HingeColor1", "&Hinge Color...", {}}, Item{"BackColor1", "&Back Color...", {}},
                        Item{"RenderGIF1", "Render GIF", {}}, Item{"Contents1", "&Contents\tF1", {}},
                        Item{"Index1", "&Index", {}}}) {
    SCOPED_TRACE(c.name);
    QAction* a = Find<QAction>(c.name);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(Text(a->text()), c.text);
    EXPECT_EQ(a->shortcut(), c.keys);
  }
  std::vector<std::string> menus;
  for (QAction* a : Window->menuBar()->actions()) menus.push_back(Text(a->text()));
  EXPECT_EQ(menus, (std::vector<std::string>{"&File", "&Appearance", "&Help"}));

  // Ctrl+Shift+S runs Save As: the flip file save dialog comes up.
  QTest::keyClick(Window.get(), Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(Host.DialogsShown, std::vector<std::string>{"SaveDialog2"});
}

// Typing reaches the model on every keystroke; letters leave the value alone
// without a message.
TEST_F(GuiTest, TypingInEachFieldReachesTheModel) {
  Open();
  TForm1& f = Form();
  struct Case {
    const char* field;
    const char* typed;
    std::function<int()> value;
    int want;
  };
  const std::vector<Case> cases = {
      {"Edit1", "80", [&] { return f.FlipLabel2->Interval(); }, 80},
      {"Edit2", "12", [&] { return f.FlipLabel2->Frames(); }, 12},
      {"Edit3", "5", [&] { return f.FlipLabel2->HingeSize(); }, 5},
      {"Edit4", "2000", [&] { return f.Timer2.Interval(); }, 2000},
      {"Edit6", "640", [&] { return f.FlipLabel2->Width(); }, 640},
      {"Edit7", "64.6", [&] { return f.FlipLabel2->Height(); }, 65},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    QLineEdit* e = Find<QLineEdit>(c.field);
    ASSERT_NE(e, nullptr);
    Type(e, QString::fromLatin1(c.typed));
    EXPECT_EQ(c.value(), c.want);
    // Letters after the number: the text shows them, the value stays.
    QTest::keyClicks(e, QStringLiteral("x"));
    EXPECT_EQ(Text(e->text()), std::string(c.typed) + "x");
    EXPECT_EQ(c.value(), c.want) << "letters changed the value";
    Type(e, QStringLiteral("abc"));
    EXPECT_EQ(c.value(), c.want);
    EXPECT_EQ(Text(e->text()), "abc");
  }
  EXPECT_TRUE(Host.Errors.empty());
  // The Qt timer follows Timer2's interval; the display widget and tapes the size.
  EXPECT_EQ(Loop.QtTimer(&f.Timer2)->interval(), 2000);
  Loop.ProcessMessages();
  EXPECT_EQ(Window->Display()->size(), QSize(640, 65));
  EXPECT_DOUBLE_EQ(f.Ruler2.Start(), 64.0);
  EXPECT_DOUBLE_EQ(f.Ruler1.Start(), 6.5);
}

TEST_F(GuiTest, DraggingATapeChangesTheFieldAndTheDisplay) {
  Open();
  TForm1& f = Form();
  TTapeWidget* tape = Window->WidthTape();
  QLineEdit* width = Find<QLineEdit>("Edit6");
  // Pull the width tape up by 43 pixels: 75.7 + 4.3 = 80 units = 800 pixels.
  QTest::mousePress(tape, Qt::LeftButton, {}, QPoint(14, 100));
  QTest::mouseMove(tape, QPoint(14, 80));
  QTest::mouseMove(tape, QPoint(14, 57));
  QTest::mouseRelease(tape, Qt::LeftButton, {}, QPoint(14, 57));
  EXPECT_EQ(Text(width->text()), "800");
  EXPECT_EQ(f.FlipLabel2->Width(), 800);
  EXPECT_DOUBLE_EQ(f.Ruler2.Start(), 80.0);
  Loop.ProcessMessages();
  EXPECT_EQ(Window->Display()->width(), 800);
  // Wider than the area now: the display area scrolls.
  EXPECT_TRUE(Window->DisplayArea()->horizontalScrollBar()->maximum() > 0);

  // Down far past zero: held at the lower limit (1 pixel).
  QTest::mousePress(tape, Qt::LeftButton, {}, QPoint(14, 10));
  QTest::mouseMove(tape, QPoint(14, 5000));
  QTest::mouseRelease(tape, Qt::LeftButton, {}, QPoint(14, 5000));
  EXPECT_EQ(Text(width->text()), "1");
  EXPECT_EQ(f.FlipLabel2->Width(), 1);
  EXPECT_DOUBLE_EQ(f.Ruler2.Start(), 0.1);

  // No upper limit: the height tape pulled up a long way.
  QTest::mousePress(Window->HeightTape(), Qt::LeftButton, {}, QPoint(14, 140));
  QTest::mouseMove(Window->HeightTape(), QPoint(14, -3000));
  QTest::mouseRelease(Window->HeightTape(), Qt::LeftButton, {}, QPoint(14, -3000));
  // 9 + (140 + 3000) / 10 = 323 units.
  EXPECT_EQ(Text(Find<QLineEdit>("Edit7")->text()), "3230");
  EXPECT_EQ(f.FlipLabel2->Height(), 3230);
  EXPECT_TRUE(Host.Errors.empty());
}

TEST_F(GuiTest, TapeLabelsComeFromTheTickHandler) {
  Open();
  TForm1& f = Form();
  // Ticks are labelled with ten times their value, "#" formatted.
  EXPECT_EQ(f.Ruler2.TickLabel(80), "800");
  EXPECT_EQ(f.Ruler2.TickLabel(0), "");
  // The tape paints without errors at its start and near zero.
  QImage before = Window->WidthTape()->grab().toImage();
  Type(Find<QLineEdit>("Edit6"), QStringLiteral("3"));
  QImage after = Window->WidthTape()->grab().toImage();
  EXPECT_NE(before, after) << "the tape did not scroll with the field";
}

// The live display states: which timers run after each toggle.
TEST_F(GuiTest, AnimateAndContinuousDriveTheTimers) {
  Open();
  TForm1& f = Form();
  QAction* animate = Window->ToolAction(f.tbAnimate);
  QCheckBox* continuous = Find<QCheckBox>("cbContinuous");
  QLineEdit* time = Find<QLineEdit>("Edit4");
  QLabel* panel0 = Find<QLabel>("StatusPanel0");
  auto timer2Runs = [&] { return Loop.QtTimer(&f.Timer2) != nullptr; };

  struct Step {
    const char* what;
    std::function<void()> act;
    bool timer2, autoAnimate, animateDown, timeEnabled;
    const char* panel;
  };
  const std::vector<Step> steps = {
      {"start", [] {}, true, true, true, true, "Animating"},
      {"animate released", [&] { QTest::mouseClick(ToolButton(f.tbAnimate), Qt::LeftButton); }, false, false,
       false, true, ""},
      {"animate pressed", [&] { QTest::mouseClick(ToolButton(f.tbAnimate), Qt::LeftButton); }, true, true, true,
       true, "Animating"},
      {"continuous checked", [&] { Click(continuous); }, false, true, true, false,
       "Animating"},
      {"animate released in continuous", [&] { QTest::mouseClick(ToolButton(f.tbAnimate), Qt::LeftButton); },
       false, true, false, false, ""},
      // Unchecking continuous starts Timer2 even with the animation released.
      {"continuous unchecked", [&] { Click(continuous); }, true, true, false, true,
       ""},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    s.act();
    EXPECT_EQ(timer2Runs(), s.timer2);
    EXPECT_EQ(f.Timer2.Enabled(), s.timer2);
    EXPECT_EQ(f.FlipLabel2->AutoAnimate(), s.autoAnimate);
    EXPECT_EQ(animate->isChecked(), s.animateDown);
    EXPECT_EQ(f.tbAnimate.Down(), s.animateDown);
    EXPECT_EQ(time->isEnabled(), s.timeEnabled);
    EXPECT_EQ(Text(panel0->text()), s.panel);
  }
  EXPECT_TRUE(Host.Errors.empty());
}

// Qt's timers really drive the model: with a short time per line the lines
// come one after another; in continuous mode the display's own fold chains them.
TEST_F(GuiTest, QtTimersPlayTheLines) {
  Open();
  TForm1& f = Form();
  Type(Find<QLineEdit>("Edit1"), QStringLiteral("5"));
  Type(Find<QLineEdit>("Edit2"), QStringLiteral("2"));
  Type(Find<QLineEdit>("Edit4"), QStringLiteral("30"));
  // Lines of the text area, one after another (a slow machine may skip one
  // between two looks, so count distinct lines seen).
  std::set<std::string> seen;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        const std::string& caption = f.FlipLabel2->Caption();
        const auto& lines = f.Memo1.Lines();
        if (std::find(lines.begin(), lines.end(), caption) != lines.end()) seen.insert(caption);
        return seen.size() >= 3;
      },
      10000));

  Click(Find<QCheckBox>("cbContinuous"));
  ASSERT_EQ(Loop.QtTimer(&f.Timer2), nullptr);
  const std::string now = f.FlipLabel2->Caption();
  EXPECT_TRUE(QTest::qWaitFor([&] { return f.FlipLabel2->Caption() != now; }, 10000))
      << "continuous mode did not move on";
  // The fold repaints the display widget from the surface.
  Loop.ProcessMessages();
  const QImage shown = Window->Display()->grab().toImage();
  const QImage surface = BitmapToImage(f.FlipLabel2->Surface());
  EXPECT_EQ(shown.convertToFormat(QImage::Format_RGB32), surface);
  EXPECT_TRUE(Host.Errors.empty());
}

TEST_F(GuiTest, AlignmentGroupKeepsExactlyOneDown) {
  Open();
  TForm1& f = Form();
  struct Step {
    const TToolbarButton* click;
    TAlignment want;
  };
  for (const Step& s : {Step{&f.tbCenter, taCenter}, Step{&f.tbCenter, taCenter}, Step{&f.tbRight, taRightJustify},
                        Step{&f.tbLeft, taLeftJustify}}) {
    SCOPED_TRACE(s.click->Name());
    QTest::mouseClick(ToolButton(*s.click), Qt::LeftButton);
    EXPECT_EQ(f.FlipLabel2->Alignment(), s.want);
    int down = 0;
    for (const TToolbarButton* b : {&f.tbLeft, &f.tbCenter, &f.tbRight}) {
      EXPECT_EQ(Window->ToolAction(*b)->isChecked(), b == s.click) << b->Name();
      down += b->Down();
    }
    EXPECT_EQ(down, 1);
  }
}

// Typing in the fourth line shows that line on the display.
TEST_F(GuiTest, TypingInTheTextAreaShowsTheCaretLine) {
  Open();
  TForm1& f = Form();
  QPlainTextEdit* memo = Find<QPlainTextEdit>("Memo1");
  memo->setFocus();
  QTextCursor c = memo->textCursor();
  c.movePosition(QTextCursor::Start);
  c.movePosition(QTextCursor::Down, QTextCursor::MoveAnchor, 3);
  c.movePosition(QTextCursor::EndOfLine);
  memo->setTextCursor(c);
  QTest::keyClicks(memo, QStringLiteral("!"));
  EXPECT_EQ(f.FlipLabel2->Caption(), "then press Render!");
  EXPECT_EQ(f.Memo1.Line(3), "then press Render!");
  // A new line with non-ASCII text: the caret line counts in the model's bytes.
  QTest::keyClick(memo, Qt::Key_Return);
  QTest::keyClicks(memo, QStringLiteral("Gr"));
  for (const QString& ch : {QStringLiteral("\u00fc"), QStringLiteral("\u00df")}) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, ch);
    QApplication::sendEvent(memo, &press);
  }
  QTest::keyClicks(memo, QStringLiteral("e"));
  EXPECT_EQ(f.FlipLabel2->Caption(), "Grüße");
  EXPECT_EQ(f.Memo1.LineCount(), 6);
  // Clear text area button empties both.
  QTest::mouseClick(ToolButton(f.ToolbarButton975), Qt::LeftButton);
  EXPECT_TRUE(memo->toPlainText().isEmpty());
  EXPECT_EQ(f.Memo1.LineCount(), 0);
}

TEST_F(GuiTest, WrapToFitRewrapsTheTextArea) {
  Open();
  TForm1& f = Form();
  Type(Find<QLineEdit>("Edit6"), QStringLiteral("200"));
  QPlainTextEdit* memo = Find<QPlainTextEdit>("Memo1");
  memo->selectAll();
  QTest::keyClicks(memo, QStringLiteral("one two three four five six seven eight"));
  QTest::mouseClick(Find<QPushButton>("Button1"), Qt::LeftButton);
  EXPECT_GT(f.Memo1.LineCount(), 1);
  EXPECT_EQ(memo->blockCount(), f.Memo1.LineCount());
  EXPECT_EQ(Text(memo->toPlainText().section('\n', 0, 0)), f.Memo1.Line(0));
}

TEST_F(GuiTest, ColourAndFontDialogsReachTheDisplay) {
  Open();
  TForm1& f = Form();
  Host.ColorAnswers = {RGBColor(1, 2, 3), RGBColor(4, 5, 6), RGBColor(7, 8, 9)};
  QTest::mouseClick(ToolButton(f.ToolbarButton974), Qt::LeftButton);
  QTest::mouseClick(ToolButton(f.tbHingeColor), Qt::LeftButton);
  Find<QAction>("BackColor1")->trigger();
  EXPECT_EQ(f.FlipLabel2->Font().Color(), RGBColor(1, 2, 3));
  EXPECT_EQ(f.FlipLabel2->HingeColor(), RGBColor(4, 5, 6));
  EXPECT_EQ(f.FlipLabel2->Color(), RGBColor(7, 8, 9));
  TFont font;
  font.SetName("DejaVu Serif");
  font.SetSize(30);
  font.SetStyle(1u << fsItalic);
  Host.FontAnswers = {font};
  QTest::mouseClick(ToolButton(f.tbFont), Qt::LeftButton);
  EXPECT_EQ(f.FlipLabel2->Font().Name(), "DejaVu Serif");
  EXPECT_EQ(f.FlipLabel2->Font().Size(), 30);
  EXPECT_EQ(Host.DialogsShown,
            (std::vector<std::string>{"ColorDialog1", "ColorDialog1", "ColorDialog1", "FontDialog1"}));
}

TEST_F(GuiTest, F1OpensTheSectionOfTheFocusedControl) {
  Open();
  struct Case {
    const char* widget;
    int context;
  };
  for (const Case& c : {Case{"Edit1", 440}, Case{"Edit4", 440}, Case{"cbContinuous", 440}, Case{"Edit6", 240},
                        Case{"Ruler2", 240}, Case{"Edit7", 230}, Case{"Ruler1", 230}, Case{"CheckBoxMerge", 250},
                        Case{"CheckBoxPalette", 250}, Case{"Memo1", 0}}) {
    SCOPED_TRACE(c.widget);
    QWidget* w = Find<QWidget>(c.widget);
    ASSERT_NE(w, nullptr);
    Window->activateWindow();
    w->setFocus(Qt::OtherFocusReason);
    ASSERT_TRUE(w->hasFocus());
    QTest::keyClick(w, Qt::Key_F1);
    ASSERT_TRUE(Host.HelpShown());
    EXPECT_TRUE(Host.Help().isVisible());
    EXPECT_EQ(Host.Help().CurrentContext(), c.context);
    Host.Help().hide();
  }
  // Every context number has its own section in the help text.
  for (int ctx : {230, 240, 250, 440}) EXPECT_TRUE(HelpHtml().contains(QStringLiteral("name=\"ctx%1\"").arg(ctx)));
  Find<QAction>("Contents1")->trigger();
  EXPECT_EQ(Host.Help().CurrentContext(), 0);
  EXPECT_TRUE(Host.Help().isVisible());
  Host.Help().hide();
}

TEST_F(GuiTest, ExitClosesTheWindow) {
  Open();
  EXPECT_TRUE(Window->isVisible());
  QTest::keyClick(Window.get(), Qt::Key_Q, Qt::ControlModifier);
  EXPECT_FALSE(Window->isVisible());
}
