#include "gui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <new>

#include "gui/DisplayWidget.h"
#include "gui/HelpWindow.h"
#include "gui/Icons.h"
#include "gui/QtFormHost.h"
#include "gui/QtMessageLoop.h"
#include "gui/TapeWidget.h"

namespace {

constexpr int kInitialWidth = 766;
constexpr int kInitialHeight = 349;
constexpr int kSettingsHeight = 163;
constexpr int kTextAreaWidth = 302;
const char kHelpContextProperty[] = "klaptorHelpContext";

QString Q(const std::string& s) { return QString::fromStdString(s); }

QColor ToQColor(TColor c) {
  const TColor rgb = ColorToRGB(c);
  return QColor(GetRValue(rgb), GetGValue(rgb), GetBValue(rgb));
}

// A line edit that reports losing the focus (the model's Exit) every time,
// not only after a change.
class TFieldEdit : public QLineEdit {
 public:
  using QLineEdit::QLineEdit;
  std::function<void()> OnFocusLost;

 protected:
  void focusOutEvent(QFocusEvent* event) override {
    QLineEdit::focusOutEvent(event);
    if (OnFocusLost) OnFocusLost();
  }
};

// Swallows tooltips of toolbar buttons whose model button has its hint off
// (the toolbar is quiet during a rendering).
class THintFilter : public QObject {
 public:
  THintFilter(const TToolbarButton& button, QObject* parent) : QObject(parent), FButton(button) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::ToolTip && !FButton.ShowHint()) return true;
    return QObject::eventFilter(watched, event);
  }

 private:
  const TToolbarButton& FButton;
};

// The memo's caret in the model's terms: a byte offset into the text with CR LF
// line breaks.
int ModelCaret(const QString& text, int position) {
  const QString before = text.left(position);
  return static_cast<int>(before.toUtf8().size()) + static_cast<int>(before.count(QLatin1Char('\n')));
}

std::string WithCrLf(const QString& text) { return text.toStdString(); }  // the model normalises

QString WithoutCr(const std::string& text) {
  QString q = Q(text);
  q.remove(QLatin1Char('\r'));
  return q;
}

}  // namespace

TMainWindow::TMainWindow(TQtFormHost& host, TQtMessageLoop& loop, std::vector<std::string> params)
    : FHost(host), FLoop(loop) {
  setObjectName(QStringLiteral("Form1"));
  FHost.SetWindow(this);
  // An error in a timer tick or a paint goes to the error box like any other.
  FLoop.OnError = [this](const std::string& message) { FHost.ShowError(message); };
  // The window's font is small, as the settings area is laid out for it.
  QFont f = font();
  f.setPixelSize(11);
  setFont(f);
  setWindowIcon(AppIcon());

  FForm = std::make_unique<TForm1>(FHost, std::move(params));
  TForm1& form = *FForm;

  BuildMenus();
  addToolBar(Qt::TopToolBarArea, BuildToolbar());

  auto* central = new QWidget(this);
  auto* column = new QVBoxLayout(central);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);

  // The display area: the flip display at its top-left corner, scrolling when
  // it is larger than the area.
  FDisplayArea = new QScrollArea(central);
  FDisplayArea->setObjectName(QStringLiteral("DisplayArea"));
  FDisplayArea->setFrameShape(QFrame::NoFrame);
  FDisplayArea->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  FDisplayArea->setWidgetResizable(false);
  FDisplay = new TDisplayWidget(*form.FlipLabel2);
  FDisplay->setObjectName(QStringLiteral("FlipLabel2"));
  FDisplayArea->setWidget(FDisplay);
  column->addWidget(FDisplayArea, 1);

  auto* bottom = new QWidget(central);
  bottom->setFixedHeight(kSettingsHeight);
  auto* bottomRow = new QHBoxLayout(bottom);
  bottomRow->setContentsMargins(0, 0, 0, 0);
  bottomRow->setSpacing(0);
  bottomRow->addWidget(BuildSettings(), 1);
  bottomRow->addWidget(BuildTextArea());
  column->addWidget(bottom);
  setCentralWidget(central);

  BuildStatusBar();

  FLoop.OnPainted = [this](TGraphicControl* c) {
    if (FForm && c == FForm->FlipLabel2.get()) DisplayPainted();
  };
  form.OnCaptionChange = [this] { SyncCaption(); };

  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  help->setContext(Qt::WindowShortcut);
  QObject::connect(help, &QShortcut::activated, this, [this] { HelpOnFocus(); });

  setAcceptDrops(true);
  SyncCaption();
  SyncMemo();
  SyncStatus();
  SyncProgress();
  SyncColorIcons();
  FDisplay->SurfaceChanged();

  resize(kInitialWidth, kInitialHeight);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(kInitialWidth / 2, kInitialHeight / 2));
  }
}

TMainWindow::~TMainWindow() {
  FLoop.OnPainted = nullptr;
  FLoop.OnError = nullptr;
  if (FForm) {
    // The model outlives no widget callback: unhook before it goes.
    FForm->OnCaptionChange = nullptr;
    for (TWidget* w : std::initializer_list<TWidget*>{
             &FForm->Edit1, &FForm->Edit2, &FForm->Edit3, &FForm->Edit4, &FForm->Edit6, &FForm->Edit7,
             &FForm->cbContinuous, &FForm->CheckBoxMerge, &FForm->CheckBoxCrop, &FForm->CheckBoxPalette,
             &FForm->cbStretch, &FForm->Ruler1, &FForm->Ruler2, &FForm->Button1, &FForm->Memo1,
             &FForm->AdvStatusBar1, &FForm->ProgressBar})
      w->OnUpdate = nullptr;
    for (auto& [button, action] : FActions) const_cast<TToolbarButton*>(button)->OnUpdate = nullptr;
    FForm.reset();
  }
  FHost.SetWindow(nullptr);
}

QAction* TMainWindow::ToolAction(const TToolbarButton& button) const {
  auto it = FActions.find(&button);
  return it == FActions.end() ? nullptr : it->second;
}

bool TMainWindow::Run(const std::function<void()>& handler) {
  bool ok = false;
  ++FRunDepth;
  try {
    ok = FForm->Perform(handler);
  } catch (...) {
    // Perform shows what derives from std::exception; nothing else may
    // reach Qt either.
    FHost.ShowError("Unknown error");
  }
  --FRunDepth;
  if (FRunDepth == 0 && FCloseAfterRender && !FForm->Rendering) {
    FCloseAfterRender = false;
    QTimer::singleShot(0, this, [this] { close(); });
  }
  return ok;
}

void TMainWindow::HelpOnFocus() {
  int context = 0;
  for (QWidget* w = QApplication::focusWidget(); w && context == 0; w = w->parentWidget())
    context = w->property(kHelpContextProperty).toInt();
  Run([this, context] { FHost.ShowHelp(context); });
}

// --- Building ---------------------------------------------------------------

void TMainWindow::BuildMenus() {
  TForm1& form = *FForm;
  auto add = [this](QMenu* menu, const QString& text, const QKeySequence& keys, void (TForm1::*handler)(void*)) {
    QAction* a = menu->addAction(text);
    if (!keys.isEmpty()) a->setShortcut(keys);
    QObject::connect(a, &QAction::triggered, this, [this, handler] { Run([this, handler] { (FForm.get()->*handler)(nullptr); }); });
    return a;
  };
  (void)form;
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  add(file, QStringLiteral("&Open..."), QKeySequence(Qt::CTRL | Qt::Key_O), &TForm1::tbOpenClick)
      ->setObjectName(QStringLiteral("Open1"));
  add(file, QStringLiteral("&Save..."), QKeySequence(Qt::CTRL | Qt::Key_S), &TForm1::tbSaveClick)
      ->setObjectName(QStringLiteral("Save1"));
  add(file, QStringLiteral("Save &As..."), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), &TForm1::SaveAs1Click)
      ->setObjectName(QStringLiteral("SaveAs1"));
  file->addSeparator();
  add(file, QStringLiteral("&Exit"), QKeySequence(Qt::CTRL | Qt::Key_Q), &TForm1::Exit1Click)
      ->setObjectName(QStringLiteral("Exit1"));

  QMenu* look = menuBar()->addMenu(QStringLiteral("&Appearance"));
  add(look, QStringLiteral("&Font..."), {}, &TForm1::tbFontClick)->setObjectName(QStringLiteral("Font1"));
  add(look, QStringLiteral("&Hinge Color..."), {}, &TForm1::tbHingeColorClick)
      ->setObjectName(QStringLiteral("HingeColor1"));
  add(look, QStringLiteral("&Back Color..."), {}, &TForm1::tbBackColorClick)
      ->setObjectName(QStringLiteral("BackColor1"));
  look->addSeparator();
  add(look, QStringLiteral("Render GIF"), {}, &TForm1::tbRenderClick)->setObjectName(QStringLiteral("RenderGIF1"));

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  // F1 itself opens help on the focused field (HelpOnFocus); the menu shows the key.
  add(help, QStringLiteral("&Contents\tF1"), {}, &TForm1::Contents1Click)->setObjectName(QStringLiteral("Contents1"));
  add(help, QStringLiteral("&Index"), {}, &TForm1::Index1Click)->setObjectName(QStringLiteral("Index1"));
}

QAction* TMainWindow::BindButton(TToolbarButton& button, QToolBar* bar, const QString& text) {
  QAction* a = bar->addAction(ToolIcon(Q(button.Name())), text);
  a->setObjectName(Q(button.Name()));
  a->setToolTip(Q(button.Hint()));
  a->setCheckable(button.GroupIndex() != 0);
  a->setChecked(button.Down());
  FActions[&button] = a;
  if (QWidget* w = bar->widgetForAction(a)) w->installEventFilter(new THintFilter(button, w));
  auto sync = [a, &button] {
    const QSignalBlocker block(a);
    a->setChecked(button.Down());
    a->setEnabled(button.Enabled());
    a->setToolTip(Q(button.Hint()));
  };
  button.OnUpdate = sync;
  QObject::connect(a, &QAction::triggered, this, [this, &button, sync] {
    Run([&button] { button.Click(); });
    sync();  // Qt toggled the action itself; the model decides
  });
  return a;
}

QToolBar* TMainWindow::BuildToolbar() {
  TForm1& f = *FForm;
  auto* bar = new QToolBar(QStringLiteral("Klaptor"), this);
  bar->setObjectName(QStringLiteral("tbKlaptor"));
  bar->setIconSize(QSize(20, 20));
  bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  BindButton(f.tbOpen, bar, QStringLiteral("Open"));
  BindButton(f.tbSave, bar, QStringLiteral("Save"));
  bar->addSeparator();
  BindButton(f.tbAnimate, bar, QStringLiteral("Animate"));
  bar->addSeparator();
  BindButton(f.tbRender, bar, QStringLiteral("Render"));
  BindButton(f.ToolbarButton973, bar, QStringLiteral("Cancel"));
  bar->addSeparator();
  BindButton(f.tbLeft, bar, QStringLiteral("Left"));
  BindButton(f.tbCenter, bar, QStringLiteral("Center"));
  BindButton(f.tbRight, bar, QStringLiteral("Right"));
  bar->addSeparator();
  BindButton(f.tbFont, bar, QStringLiteral("Font"));
  BindButton(f.ToolbarButton974, bar, QStringLiteral("Font Color"));
  BindButton(f.tbHingeColor, bar, QStringLiteral("Hinge Color"));
  BindButton(f.tbBackColor, bar, QStringLiteral("Back Color"));
  bar->addSeparator();
  BindButton(f.ToolbarButton971, bar, QStringLiteral("Load Picture"));
  BindButton(f.ToolbarButton972, bar, QStringLiteral("Clear Picture"));
  return bar;
}

void TMainWindow::SetHelpContext(QWidget* widget, const TWidget& model) {
  if (model.HelpContext() != 0) widget->setProperty(kHelpContextProperty, model.HelpContext());
}

void TMainWindow::ShowHint(QWidget* widget, const TWidget& model) {
  widget->setToolTip(model.ShowHint() ? Q(model.Hint()) : QString());
}

QLineEdit* TMainWindow::BindEdit(TEdit& edit, int width) {
  auto* e = new TFieldEdit(Q(edit.Text()));
  e->setObjectName(Q(edit.Name()));
  e->setFixedWidth(width);
  // A file dropped here opens as a flip file (the window takes it), not as text.
  e->setAcceptDrops(false);
  SetHelpContext(e, edit);
  ShowHint(e, edit);
  e->setEnabled(edit.Enabled());
  QObject::connect(e, &QLineEdit::textEdited, this,
                   [this, &edit](const QString& text) { Run([&edit, text] { edit.SetText(text.toStdString()); }); });
  e->OnFocusLost = [this, &edit] { Run([&edit] { edit.Exit(); }); };
  edit.OnUpdate = [this, e, &edit] {
    if (e->text() != Q(edit.Text())) {
      const QSignalBlocker block(e);
      e->setText(Q(edit.Text()));
    }
    e->setEnabled(edit.Enabled());
    ShowHint(e, edit);
  };
  return e;
}

QCheckBox* TMainWindow::BindCheckBox(TCheckBox& box) {
  auto* c = new QCheckBox(Q(box.Caption()));
  c->setObjectName(Q(box.Name()));
  c->setChecked(box.Checked());
  SetHelpContext(c, box);
  ShowHint(c, box);
  QObject::connect(c, &QCheckBox::clicked, this, [this, &box, c](bool checked) {
    Run([&box, checked] { box.SetChecked(checked); });
    const QSignalBlocker block(c);
    c->setChecked(box.Checked());
  });
  box.OnUpdate = [this, c, &box] {
    const QSignalBlocker block(c);
    c->setChecked(box.Checked());
    c->setEnabled(box.Enabled());
    ShowHint(c, box);
  };
  return c;
}

QWidget* TMainWindow::BuildSettings() {
  TForm1& f = *FForm;
  auto* area = new QWidget;
  area->setObjectName(QStringLiteral("SettingsArea"));
  auto* row = new QHBoxLayout(area);
  row->setContentsMargins(4, 3, 2, 2);
  row->setSpacing(5);

  // Timing fields.
  auto* timing = new QGridLayout;
  timing->setHorizontalSpacing(4);
  timing->setVerticalSpacing(4);
  const std::pair<const char*, TEdit*> fields[] = {{"Frame Interval (ms)", &f.Edit1},
                                                   {"Line Frames", &f.Edit2},
                                                   {"Hinge Size", &f.Edit3},
                                                   {"Time per line (ms)", &f.Edit4}};
  int r = 0;
  for (const auto& [label, edit] : fields) {
    QLineEdit* e = BindEdit(*edit, 42);
    auto* l = new QLabel(QString::fromUtf8(label));
    l->setBuddy(e);
    timing->addWidget(l, r, 0);
    timing->addWidget(e, r, 1);
    ++r;
  }
  timing->addWidget(BindCheckBox(f.cbContinuous), r, 0, 1, 2);
  timing->setRowStretch(r + 1, 1);
  row->addLayout(timing);

  // Width and height, each with its tape.
  auto addSize = [this, row](const char* label, TEdit& edit, TRuler& ruler, TTapeWidget*& tape) {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(3);
    grid->setVerticalSpacing(2);
    QLineEdit* e = BindEdit(edit, 42);
    auto* l = new QLabel(QString::fromUtf8(label));
    l->setBuddy(e);
    tape = new TTapeWidget(ruler);
    tape->setObjectName(Q(ruler.Name()));
    tape->setFocusPolicy(Qt::ClickFocus);
    SetHelpContext(tape, ruler);
    ShowHint(tape, ruler);
    tape->OnUserScroll = [this, &ruler](double start) { Run([&ruler, start] { ruler.Scroll(start); }); };
    ruler.OnUpdate = [tape] { tape->update(); };
    grid->addWidget(l, 0, 0);
    grid->addWidget(e, 1, 0);
    grid->setRowStretch(2, 1);
    grid->addWidget(tape, 0, 1, 3, 1);
    row->addLayout(grid);
  };
  addSize("Width", f.Edit6, f.Ruler2, FWidthTape);
  addSize("Height", f.Edit7, f.Ruler1, FHeightTape);

  // Optimisation switches and the picture stretch.
  auto* right = new QVBoxLayout;
  auto* group = new QGroupBox(QStringLiteral("GIF  Size Optimize "));
  group->setObjectName(QStringLiteral("GroupBoxOptimize"));
  auto* groupColumn = new QVBoxLayout(group);
  groupColumn->setContentsMargins(4, 2, 4, 2);
  groupColumn->setSpacing(2);
  groupColumn->addWidget(BindCheckBox(f.CheckBoxMerge));
  groupColumn->addWidget(BindCheckBox(f.CheckBoxCrop));
  groupColumn->addWidget(BindCheckBox(f.CheckBoxPalette));
  right->addWidget(group);
  right->addWidget(BindCheckBox(f.cbStretch));
  right->addStretch(1);
  row->addLayout(right);
  row->addStretch(1);
  return area;
}

void TMainWindow::BindMemo() {
  TMemo& memo = FForm->Memo1;
  FMemo->setObjectName(Q(memo.Name()));
  QObject::connect(FMemo, &QPlainTextEdit::textChanged, this, [this, &memo] {
    const QString text = FMemo->toPlainText();
    const int caret = ModelCaret(text, FMemo->textCursor().position());
    Run([&memo, text, caret] { memo.UserEdit(WithCrLf(text), caret); });
  });
  memo.OnUpdate = [this] { SyncMemo(); };
}

void TMainWindow::SyncMemo() {
  const TMemo& memo = FForm->Memo1;
  const QString text = WithoutCr(memo.Text());
  if (FMemo->toPlainText() == text) return;  // the user's own edit coming back
  const QSignalBlocker block(FMemo);
  FMemo->setPlainText(text);
  QTextCursor cursor = FMemo->textCursor();
  const std::string before = memo.Text().substr(0, static_cast<size_t>(memo.SelStart()));
  cursor.setPosition(static_cast<int>(WithoutCr(before).size()));
  FMemo->setTextCursor(cursor);
}

QWidget* TMainWindow::BuildTextArea() {
  TForm1& f = *FForm;
  auto* area = new QWidget;
  area->setObjectName(QStringLiteral("TextArea"));
  area->setFixedWidth(kTextAreaWidth);
  auto* column = new QVBoxLayout(area);
  column->setContentsMargins(0, 2, 0, 0);
  column->setSpacing(2);

  auto* header = new QHBoxLayout;
  header->setContentsMargins(0, 0, 2, 0);
  auto* title = new QLabel(QStringLiteral(" Enter your text here"));
  title->setObjectName(QStringLiteral("TextHeader"));
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  auto* wrap = new QPushButton(QStringLiteral("&Wrap to Fit"));
  wrap->setObjectName(QStringLiteral("Button1"));
  ShowHint(wrap, f.Button1);
  QObject::connect(wrap, &QPushButton::clicked, this, [this] { Run([this] { FForm->Button1Click(nullptr); }); });
  f.Button1.OnUpdate = [this, wrap] {
    wrap->setEnabled(FForm->Button1.Enabled());
    ShowHint(wrap, FForm->Button1);
  };
  header->addWidget(title, 1);
  header->addWidget(wrap);
  column->addLayout(header);

  auto* body = new QHBoxLayout;
  body->setSpacing(0);
  FMemo = new QPlainTextEdit;
  FMemo->setFrameShape(QFrame::NoFrame);
  FMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
  FMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  FMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Dropped files open as flip files (the window takes them), not as text.
  FMemo->setAcceptDrops(false);
  QFont memoFont = FMemo->font();
  memoFont.setPixelSize(12);
  FMemo->setFont(memoFont);
  BindMemo();
  body->addWidget(FMemo, 1);

  auto* side = new QToolBar(QStringLiteral("Text"));
  side->setObjectName(QStringLiteral("tbTextArea"));
  side->setOrientation(Qt::Vertical);
  side->setMovable(false);
  side->setIconSize(QSize(20, 20));
  BindButton(f.ToolbarButton975, side, QStringLiteral("Clear Text"));
  BindButton(f.ToolbarButton976, side, QStringLiteral("Load Text"));
  body->addWidget(side);
  column->addLayout(body, 1);
  return area;
}

void TMainWindow::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  bar->setObjectName(QStringLiteral("AdvStatusBar1"));
  const TStatusBar& model = FForm->AdvStatusBar1;
  FPanel0 = new QLabel;
  FPanel0->setObjectName(QStringLiteral("StatusPanel0"));
  FPanel0->setFixedWidth(model.PanelWidth(0));
  FProgress = new QProgressBar;
  FProgress->setObjectName(Q(FForm->ProgressBar.Name()));
  FProgress->setFixedWidth(model.PanelWidth(1));
  FProgress->setMaximumHeight(16);
  FPanel2 = new QLabel;
  FPanel2->setObjectName(QStringLiteral("StatusPanel2"));
  // The last panel takes the rest of the bar: it shows a whole path.
  FPanel2->setMinimumWidth(model.PanelWidth(2));
  FPanel2->setTextInteractionFlags(Qt::TextSelectableByMouse);
  bar->addWidget(FPanel0);
  bar->addWidget(FProgress);
  bar->addWidget(FPanel2, 1);
  FForm->AdvStatusBar1.OnUpdate = [this] { SyncStatus(); };
  FForm->ProgressBar.OnUpdate = [this] { SyncProgress(); };
}

// --- Model -> widgets ---------------------------------------------------------

void TMainWindow::SyncStatus() {
  const TStatusBar& s = FForm->AdvStatusBar1;
  FPanel0->setText(Q(s.PanelText(0)));
  FPanel2->setText(Q(s.PanelText(2)));
  FPanel2->setToolTip(Q(s.PanelText(2)));
}

void TMainWindow::SyncProgress() {
  const TProgressBar& p = FForm->ProgressBar;
  FProgress->setRange(p.Min(), p.Max());
  FProgress->setValue(p.Position());
}

void TMainWindow::SyncCaption() { setWindowTitle(Q(FForm->Caption())); }

void TMainWindow::SyncColorIcons() {
  const TFlipLabel& d = *FForm->FlipLabel2;
  auto refresh = [this](const TToolbarButton& b, TColor c, TColor& shown) {
    if (c == shown) return;
    shown = c;
    if (QAction* a = ToolAction(b)) a->setIcon(ToolIcon(Q(b.Name()), ToQColor(c)));
  };
  refresh(FForm->ToolbarButton974, d.Font().Color(), FShownFontColor);
  refresh(FForm->tbHingeColor, d.HingeColor(), FShownHingeColor);
  refresh(FForm->tbBackColor, d.Color(), FShownBackColor);
}

void TMainWindow::DisplayPainted() {
  FDisplay->SurfaceChanged();
  SyncColorIcons();
}

// --- Window events ------------------------------------------------------------

void TMainWindow::closeEvent(QCloseEvent* event) {
  if (FForm && FForm->Rendering) {
    // The rendering runs inside a handler below us: cancel it and close once
    // it has returned.
    FForm->ToolbarButton973Click(this);
    FCloseAfterRender = true;
    event->ignore();
    return;
  }
  if (FHost.HelpShown()) FHost.Help().close();
  event->accept();
}

void TMainWindow::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* data = event->mimeData();
  if (data->hasUrls() && !data->urls().isEmpty() && data->urls().first().isLocalFile())
    event->acceptProposedAction();
}

void TMainWindow::dropEvent(QDropEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  const std::string path = urls.first().toLocalFile().toStdString();
  event->acceptProposedAction();
  // Load after the drop has finished, outside the drag's own event handling.
  QTimer::singleShot(0, this, [this, path] { Run([this, path] { FForm->LoadFlipFile(path); }); });
}
