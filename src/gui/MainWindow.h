// The main window: Qt widgets over TForm1. The model keeps every value and
// runs every handler; each widget passes the user's action to its model
// widget and redraws when the model says it changed (TWidget::OnUpdate).
// Widgets carry the model's component names as object names ("Edit1",
// "tbRender" ...), so tests and help find them by name. Every handler runs
// inside Run(): no exception crosses Qt's event loop.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QMainWindow>

#include "app/main.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QToolBar;
class TDisplayWidget;
class TQtFormHost;
class TQtMessageLoop;
class TTapeWidget;

class TMainWindow : public QMainWindow {
 public:
  // The loop must be the current message loop already (the model's timers
  // register with it as the form is built). `params` as TForm1 takes them.
  TMainWindow(TQtFormHost& host, TQtMessageLoop& loop, std::vector<std::string> params = {});
  ~TMainWindow() override;

  TForm1& Form() { return *FForm; }
  TDisplayWidget* Display() const { return FDisplay; }
  QScrollArea* DisplayArea() const { return FDisplayArea; }
  TTapeWidget* WidthTape() const { return FWidthTape; }
  TTapeWidget* HeightTape() const { return FHeightTape; }
  QAction* ToolAction(const TToolbarButton& button) const;

  // Runs a model handler as the message loop would: an error ends it and is
  // shown in the error box.
  bool Run(const std::function<void()>& handler);
  // Opens help at the section of the focused widget's context number.
  void HelpOnFocus();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildMenus();
  QToolBar* BuildToolbar();
  QWidget* BuildSettings();
  QWidget* BuildTextArea();
  void BuildStatusBar();

  QLineEdit* BindEdit(TEdit& edit, int width);
  QCheckBox* BindCheckBox(TCheckBox& box);
  QAction* BindButton(TToolbarButton& button, QToolBar* bar, const QString& text);
  void BindMemo();
  void SetHelpContext(QWidget* widget, const TWidget& model);
  void ShowHint(QWidget* widget, const TWidget& model);

  void SyncMemo();
  void SyncStatus();
  void SyncProgress();
  void SyncCaption();
  void SyncColorIcons();
  void DisplayPainted();

  TQtFormHost& FHost;
  TQtMessageLoop& FLoop;
  std::unique_ptr<TForm1> FForm;

  TDisplayWidget* FDisplay = nullptr;
  QScrollArea* FDisplayArea = nullptr;
  TTapeWidget* FWidthTape = nullptr;
  TTapeWidget* FHeightTape = nullptr;
  QPlainTextEdit* FMemo = nullptr;
  QLabel* FPanel0 = nullptr;
  QLabel* FPanel2 = nullptr;
  QProgressBar* FProgress = nullptr;
  std::map<const TToolbarButton*, QAction*> FActions;
  // Colours the colour buttons' glyphs show now.
  TColor FShownFontColor = -1, FShownHingeColor = -1, FShownBackColor = -1;
  int FRunDepth = 0;
  bool FCloseAfterRender = false;
};
