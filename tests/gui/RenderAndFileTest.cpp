// Rendering from the window (the GIF decoded by giflib), cancelling it with the
// real Cancel button, and flip files reaching every widget.
#include <gif_lib.h>

#include <QCheckBox>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTimer>
#include <QToolTip>
#include <QUrl>
#include <fstream>

#include "GuiFixture.h"
#include "gui/DisplayWidget.h"

namespace {

// Frame count of a GIF as giflib reads it; -1 when it cannot.
int GiflibFrames(const std::string& path) {
  int error = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &error);
  if (!gif) return -1;
  const int frames = DGifSlurp(gif) == GIF_OK ? gif->ImageCount : -1;
  DGifCloseFile(gif, &error);
  return frames;
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::string Text(const QString& s) { return s.toStdString(); }

// What a tooltip request over the widget shows ("" for none).
std::string ToolTipShown(QWidget* w) {
  QToolTip::hideText();
  const QPoint at(4, 4);
  QHelpEvent help(QEvent::ToolTip, at, w->mapToGlobal(at));
  QApplication::sendEvent(w, &help);
  const std::string shown = QToolTip::isVisible() ? QToolTip::text().toStdString() : std::string();
  QToolTip::hideText();
  return shown;
}

}  // namespace

class GuiRenderTest : public GuiTest {
 protected:
  // Three short lines and 4 frames per fold: 3 x (4 + 1) = 15 frames.
  void SmallAnimation() {
    QPlainTextEdit* memo = Find<QPlainTextEdit>("Memo1");
    memo->selectAll();
    QTest::keyClicks(memo, QStringLiteral("AB"));
    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keyClicks(memo, QStringLiteral("CD"));
    QTest::keyClick(memo, Qt::Key_Return);
    QTest::keyClicks(memo, QStringLiteral("EF"));
    Type(Find<QLineEdit>("Edit2"), QStringLiteral("4"));
    Type(Find<QLineEdit>("Edit6"), QStringLiteral("120"));
    Type(Find<QLineEdit>("Edit7"), QStringLiteral("40"));
    ASSERT_EQ(Form().Memo1.LineCount(), 3);
  }
};

TEST_F(GuiRenderTest, RenderWritesAGifThatGiflibDecodes) {
  Open();
  SmallAnimation();
  TForm1& f = Form();
  QProgressBar* progress = Find<QProgressBar>("ProgressBar");
  QLabel* panel0 = Find<QLabel>("StatusPanel0");
  int highest = 0;
  int displayPaints = 0;
  std::string toolTipDuringRun = "(not asked)";
  std::vector<std::string> panels;
  QObject::connect(progress, &QProgressBar::valueChanged, [&](int v) {
    if (v == 0) return;  // the bar emptied at the end
    highest = std::max(highest, v);
    panels.push_back(Text(panel0->text()));
    // Each captured frame is what the display widget shows.
    if (BitmapToImage(f.FlipLabel2->Surface()) == Window->Display()->grab().toImage().convertToFormat(QImage::Format_RGB32))
      ++displayPaints;
    // Hints are off while it runs: the button shows no tooltip.
    EXPECT_FALSE(f.tbRender.ShowHint());
    if (v == 1) toolTipDuringRun = ToolTipShown(ToolButton(f.tbRender));
  });
  // Without the size optimisations every captured frame stays a frame.
  for (const char* box : {"CheckBoxMerge", "CheckBoxCrop", "CheckBoxPalette"})
    Click(Find<QCheckBox>(box));
  const std::string out = File("out.gif");
  Host.FileAnswers.push_back(out);
  QTest::mouseClick(ToolButton(f.tbRender), Qt::LeftButton);

  EXPECT_TRUE(Host.Errors.empty()) << Host.Errors.front();
  EXPECT_EQ(Host.DialogsShown, std::vector<std::string>{"SaveDialog1"});
  EXPECT_EQ(GiflibFrames(out), 15);
  EXPECT_EQ(highest, 15);
  EXPECT_EQ(progress->maximum(), 15);
  EXPECT_EQ(displayPaints, 15);
  ASSERT_FALSE(panels.empty());
  EXPECT_EQ(panels.front(), "Rendering GIF");
  // After the run: done, bar empty, hints back, live display stopped.
  EXPECT_EQ(Text(panel0->text()), "Done");
  EXPECT_EQ(progress->value(), 0);
  EXPECT_TRUE(f.tbRender.ShowHint());
  EXPECT_EQ(toolTipDuringRun, "");
  EXPECT_EQ(ToolTipShown(ToolButton(f.tbRender)), "Render Animated GIF");
  EXPECT_FALSE(Window->ToolAction(f.tbAnimate)->isChecked());
  EXPECT_EQ(Loop.QtTimer(&f.Timer2), nullptr);

  // The menu item renders too, optimised: merging drops repeated frames,
  // and giflib still reads the result.
  for (const char* box : {"CheckBoxMerge", "CheckBoxCrop", "CheckBoxPalette"})
    Click(Find<QCheckBox>(box));
  const std::string optimised = File("optimised.gif");
  Host.FileAnswers.push_back(optimised);
  Find<QAction>("RenderGIF1")->trigger();
  const int frames = GiflibFrames(optimised);
  EXPECT_GT(frames, 0);
  EXPECT_LE(frames, 15);
  EXPECT_LT(std::filesystem::file_size(optimised), std::filesystem::file_size(out));

  // Cancelling the save dialog writes nothing.
  Find<QAction>("RenderGIF1")->trigger();
  EXPECT_EQ(Host.DialogsShown.size(), 3u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir), std::filesystem::directory_iterator()), 2);
}

// Cancel is the real toolbar button, clicked while the render yields to Qt.
TEST_F(GuiRenderTest, CancelDuringARenderStopsIt) {
  Open();
  SmallAnimation();
  TForm1& f = Form();
  QProgressBar* progress = Find<QProgressBar>("ProgressBar");
  QToolButton* cancel = ToolButton(f.ToolbarButton973);
  ASSERT_NE(cancel, nullptr);
  bool clicked = false;
  QObject::connect(progress, &QProgressBar::valueChanged, [&](int v) {
    if (v == 3 && !clicked) {
      clicked = true;
      // Queued: the click arrives in the render's next message processing.
      QMetaObject::invokeMethod(
          cancel, [cancel] { QTest::mouseClick(cancel, Qt::LeftButton); }, Qt::QueuedConnection);
    }
  });
  Host.FileAnswers.push_back(File("never.gif"));
  Window->ToolAction(f.tbRender)->trigger();

  EXPECT_TRUE(clicked);
  EXPECT_EQ(Text(Find<QLabel>("StatusPanel0")->text()), "Cancelled");
  EXPECT_EQ(progress->value(), 0);
  // The frame being captured when Cancel came still went in; no save asked.
  EXPECT_EQ(f.GIFDocument->Images().Count(), 4);
  EXPECT_TRUE(Host.DialogsShown.empty());
  EXPECT_FALSE(std::filesystem::exists(File("never.gif")));
  EXPECT_TRUE(f.tbRender.ShowHint());
  EXPECT_TRUE(Host.Errors.empty());
}

// Closing the window while it renders cancels the run, then closes.
TEST_F(GuiRenderTest, ClosingDuringARenderCancelsFirst) {
  Open();
  SmallAnimation();
  TForm1& f = Form();
  bool closedEarly = false;
  QObject::connect(Find<QProgressBar>("ProgressBar"), &QProgressBar::valueChanged, [&](int v) {
    if (v == 2) {
      Window->close();
      closedEarly = !Window->isVisible();
    }
  });
  Window->ToolAction(f.tbRender)->trigger();
  EXPECT_FALSE(closedEarly) << "the window went while the render still ran";
  EXPECT_EQ(f.AdvStatusBar1.PanelText(0), "Cancelled");
  EXPECT_TRUE(QTest::qWaitFor([&] { return !Window->isVisible(); }, 5000));
}

class GuiFlipFileTest : public GuiTest {
 protected:
  std::string WriteSample() {
    const std::string path = File("sample.Flp");
    WriteText(path,
              "Alignment=Right\r\nInterval=40\r\nFramesPerLine=12\r\nHingeSize=3\r\nTimePerLine=2000\r\n"
              "Width=640\r\nHeight=80\r\nBitmap=\r\nStretch=True\r\nMerge=False\r\nCrop=True\r\n"
              "Pallete=False\r\nBackColor=1052688\r\nHingeColor=3947580\r\nFontColor=45311\r\n"
              "FontName=DejaVu Sans Mono\r\nFontSize=40\r\nBold=True\r\nItalic=False\r\nUnderline=False\r\n"
              "StrikeOut=False\r\nLine0=DEPARTURES\r\nLine1=08:15  BERLIN\r\nLine2=EndOfText\r\n");
    return path;
  }

  void ExpectLoaded(const std::string& path) {
    TForm1& f = Form();
    EXPECT_TRUE(Host.Errors.empty()) << Host.Errors.front();
    EXPECT_EQ(Text(Window->windowTitle()), path + " - Klaptor");
    EXPECT_EQ(Text(Find<QLabel>("StatusPanel2")->text()), path);
    struct Field {
      const char* name;
      const char* text;
    };
    for (const Field& c : {Field{"Edit1", "40"}, Field{"Edit2", "12"}, Field{"Edit3", "3"}, Field{"Edit4", "2000"},
                           Field{"Edit6", "640"}, Field{"Edit7", "80"}}) {
      SCOPED_TRACE(c.name);
      EXPECT_EQ(Text(Find<QLineEdit>(c.name)->text()), c.text);
    }
    struct Box {
      const char* name;
      bool checked;
    };
    for (const Box& c : {Box{"cbStretch", true}, Box{"CheckBoxMerge", false}, Box{"CheckBoxCrop", true},
                         Box{"CheckBoxPalette", false}, Box{"cbContinuous", false}}) {
      SCOPED_TRACE(c.name);
      EXPECT_EQ(Find<QCheckBox>(c.name)->isChecked(), c.checked);
    }
    EXPECT_TRUE(Window->ToolAction(f.tbRight)->isChecked());
    EXPECT_FALSE(Window->ToolAction(f.tbLeft)->isChecked());
    EXPECT_FALSE(Window->ToolAction(f.tbCenter)->isChecked());
    EXPECT_EQ(Text(Find<QPlainTextEdit>("Memo1")->toPlainText()), "DEPARTURES\n08:15  BERLIN");
    Loop.ProcessMessages();
    EXPECT_EQ(Window->Display()->size(), QSize(640, 80));
    EXPECT_DOUBLE_EQ(f.Ruler2.Start(), 64.0);
    EXPECT_DOUBLE_EQ(f.Ruler1.Start(), 8.0);
    EXPECT_EQ(f.FlipLabel2->Color(), 1052688);
    EXPECT_EQ(f.FlipLabel2->Font().Name(), "DejaVu Sans Mono");
    EXPECT_EQ(Loop.QtTimer(&f.Timer2)->interval(), 2000);
  }
};

TEST_F(GuiFlipFileTest, OpeningAFileUpdatesEveryWidgetAndTheCaption) {
  Open();
  const std::string path = WriteSample();
  Host.FileAnswers.push_back(path);
  QTest::keyClick(Window.get(), Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(Host.DialogsShown, std::vector<std::string>{"OpenDialog1"});
  ExpectLoaded(path);

  // Ctrl+S now saves straight back to it, and what it writes loads again.
  QTest::keyClick(Window.get(), Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(Host.DialogsShown.size(), 1u);
  std::ifstream in(path, std::ios::binary);
  const std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(saved.rfind("Alignment=Right\r\n", 0), 0u) << saved;
}

TEST_F(GuiFlipFileTest, AFileNamedAtStartLoads) {
  const std::string path = WriteSample();
  Open({path});
  ExpectLoaded(path);
}

TEST_F(GuiFlipFileTest, ADroppedFileLoads) {
  Open();
  const std::string path = WriteSample();
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
  QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Window.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Window.get(), &drop);
  EXPECT_TRUE(QTest::qWaitFor([&] { return Form().FlipFileName == path; }, 5000));
  ExpectLoaded(path);
}

// A file that cannot be read: one error box, the window goes on.
TEST_F(GuiFlipFileTest, AMissingFileShowsTheErrorBox) {
  Open();
  Host.FileAnswers.push_back(File("missing.Flp"));
  Find<QAction>("Open1")->trigger();
  ASSERT_EQ(Host.Errors.size(), 1u);
  EXPECT_NE(Host.Errors[0].find("missing.Flp"), std::string::npos) << Host.Errors[0];
  EXPECT_EQ(Text(Window->windowTitle()), "Klaptor");
  EXPECT_TRUE(Window->isVisible());
}
