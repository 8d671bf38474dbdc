// What the main window asks of its surroundings: the file, colour and font
// dialogs, the application's error box, "process pending messages" and help.
// The desktop front end answers with real dialogs, the command line with its
// arguments, tests with scripted answers (TScriptedHost).
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/Font.h"
#include "platform/Types.h"

// A file dialog's description; Execute fills FileName when confirmed.
struct TFileDialog {
  enum TKind { dkOpen, dkSave };
  std::string Name;        // "OpenDialog1", "SaveDialog1" ...
  TKind Kind = dkOpen;
  std::string DefaultExt;  // without the dot, e.g. "FLP"
  std::string Filter;      // "FlipFile|*.Flp|All Files|*.*"
  bool OverwritePrompt = false;
  bool HideReadOnly = false;
  std::string FileName;
};

struct TColorDialog {
  std::string Name = "ColorDialog1";
  TColor Color = clBlack;
};

struct TFontDialog {
  std::string Name = "FontDialog1";
  TFont Font;
};

class TFormHost {
 public:
  virtual ~TFormHost() = default;
  // Each returns true when the user confirmed (the dialog then holds the
  // answer).
  virtual bool Execute(TFileDialog& dialog) = 0;
  virtual bool Execute(TColorDialog& dialog) = 0;
  virtual bool Execute(TFontDialog& dialog) = 0;
  // The application's standard error box: one message, the operation ended.
  virtual void ShowError(const std::string& message) = 0;
  // Delivers pending paints and timer ticks (and, in a real window, input).
  // The default runs the platform's current message loop.
  virtual void ProcessMessages();
  // Opens help at a context number (0: the contents page).
  virtual void ShowHelp(int context) { (void)context; }
  // Asks the window to close (the program ends with it).
  virtual void CloseWindow() {}
  // Consulted right before a written file replaces the old one; false keeps
  // the old file (the command line answers false after Ctrl+C).
  virtual bool KeepWrittenFile() { return true; }
};

// Answers dialogs from queues (an empty queue cancels the dialog), records
// every dialog shown and every error. For tests and scripted front ends.
class TScriptedHost : public TFormHost {
 public:
  std::deque<std::string> FileAnswers;
  std::deque<TColor> ColorAnswers;
  std::deque<TFont> FontAnswers;
  std::vector<std::string> DialogsShown;  // dialog names in order
  std::vector<std::string> Errors;
  std::vector<int> HelpShown;
  int ProcessMessagesCalls = 0;
  bool CloseRequested = false;
  // Runs inside ProcessMessages (after the loop), e.g. to press Cancel.
  std::function<void()> OnProcessMessages;

  bool Execute(TFileDialog& dialog) override;
  bool Execute(TColorDialog& dialog) override;
  bool Execute(TFontDialog& dialog) override;
  void ShowError(const std::string& message) override { Errors.push_back(message); }
  void ProcessMessages() override;
  void ShowHelp(int context) override { HelpShown.push_back(context); }
  void CloseWindow() override { CloseRequested = true; }
};
