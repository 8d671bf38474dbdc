// TFormHost answered by Qt: file dialogs with the model's filters and default
// extensions, the colour and font dialogs, the application's error box, the
// help window and closing the main window. Tests derive from it to script the
// dialogs while keeping Qt's message processing.
#pragma once

#include <QFont>
#include <QString>
#include <memory>
#include <string>

#include "app/FormHost.h"

class QWidget;
class THelpWindow;

// "FlipFile|*.Flp|All Files|*.*" -> "FlipFile (*.Flp);;All Files (*)".
QString QtFileFilter(const std::string& filter);
// The file name with the dialog's default extension added when it has none.
// Flip files keep the program's own spelling ".Flp"; other extensions are
// added in lower case, as is usual on this system.
std::string WithDefaultExtension(const std::string& fileName, const std::string& defaultExt);
// Our font <-> Qt's, for the font dialog: name, size in points and style; a
// Qt font in pixels maps to a character height. The colour and character set
// stay with TFont.
QFont ToQFont(const TFont& font);
void AssignQFont(TFont& font, const QFont& qfont);

class TQtFormHost : public TFormHost {
 public:
  TQtFormHost();
  ~TQtFormHost() override;

  // The main window: parent of the dialogs and what CloseWindow closes.
  void SetWindow(QWidget* window) { FWindow = window; }

  bool Execute(TFileDialog& dialog) override;
  bool Execute(TColorDialog& dialog) override;
  bool Execute(TFontDialog& dialog) override;
  void ShowError(const std::string& message) override;
  void ShowHelp(int context) override;
  void CloseWindow() override;

  // The help window, created on first use.
  THelpWindow& Help();
  bool HelpShown() const { return FHelp != nullptr; }

 protected:
  QWidget* FWindow = nullptr;

 private:
  std::unique_ptr<THelpWindow> FHelp;
};
