// The main window on Qt's offscreen platform with scripted dialogs: tests
// drive the real widgets (keys, clicks, drags) and read both the widgets and
// the model behind them.
#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "gui/MainWindow.h"
#include "gui/QtFormHost.h"
#include "gui/QtMessageLoop.h"

// Dialogs answered from queues (an empty queue cancels), errors recorded
// instead of a modal box; everything else is the real Qt host.
class TTestHost : public TQtFormHost {
 public:
  std::deque<std::string> FileAnswers;
  std::deque<TColor> ColorAnswers;
  std::deque<TFont> FontAnswers;
  std::vector<std::string> DialogsShown;
  std::vector<std::string> Errors;

  bool Execute(TFileDialog& dialog) override {
    DialogsShown.push_back(dialog.Name);
    if (FileAnswers.empty()) return false;
    dialog.FileName = FileAnswers.front();
    FileAnswers.pop_front();
    return true;
  }
  bool Execute(TColorDialog& dialog) override {
    DialogsShown.push_back(dialog.Name);
    if (ColorAnswers.empty()) return false;
    dialog.Color = ColorAnswers.front();
    ColorAnswers.pop_front();
    return true;
  }
  bool Execute(TFontDialog& dialog) override {
    DialogsShown.push_back(dialog.Name);
    if (FontAnswers.empty()) return false;
    dialog.Font.Assign(FontAnswers.front());
    FontAnswers.pop_front();
    return true;
  }
  void ShowError(const std::string& message) override { Errors.push_back(message); }
};

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string("klaptor-gui-") + info->test_suite_name() + "-" + info->name();
    for (char& c : name)
      if (c == '/') c = '_';
    Dir = std::filesystem::temp_directory_path() / name;
    std::filesystem::remove_all(Dir);
    std::filesystem::create_directories(Dir);
  }
  void TearDown() override {
    Window.reset();
    std::filesystem::remove_all(Dir);
  }

  // Builds and shows the window (with `params` as the command line).
  void Open(std::vector<std::string> params = {}) {
    Window = std::make_unique<TMainWindow>(Host, Loop, std::move(params));
    Window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
    Loop.ProcessMessages();
  }

  TForm1& Form() { return Window->Form(); }
  template <class T>
  T* Find(const char* name) {
    T* w = Window->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << "no widget named " << name;
    return w;
  }
  QToolButton* ToolButton(const TToolbarButton& b) {
    QAction* a = Window->ToolAction(b);
    for (QToolBar* bar : Window->findChildren<QToolBar*>())
      if (QWidget* w = bar->widgetForAction(a)) return static_cast<QToolButton*>(w);
    return nullptr;
  }
  // Clicks a check box on its indicator (a click past its text misses it).
  void Click(QWidget* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(7, box->height() / 2)); }
  // Replaces a field's text by typing, as a user does.
  void Type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
  }
  std::string File(const std::string& name) const { return (Dir / name).string(); }

  TQtMessageLoop Loop;  // before the window: its timers register here
  TTestHost Host;
  std::unique_ptr<TMainWindow> Window;
  std::filesystem::path Dir;
};
