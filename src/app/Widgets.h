// Toolkit-neutral stand-ins for the main window's widgets: each holds the state
// the application reads and writes (texts, pressed and checked states, hints,
// the memo's lines and caret) and raises the same events a real widget would.
// A front end mirrors them both ways: it calls the user-side operations
// (UserEdit, Click, Exit, Scroll ...) and listens to OnUpdate to redraw.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Classes.h"

// Common state of every widget. OnUpdate fires after any change made through
// the model, so a front end can refresh the real widget.
class TWidget {
 public:
  explicit TWidget(std::string name = {}) : FName(std::move(name)) {}
  virtual ~TWidget() = default;
  TWidget(const TWidget&) = delete;
  TWidget& operator=(const TWidget&) = delete;

  const std::string& Name() const { return FName; }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);
  const std::string& Hint() const { return FHint; }
  void SetHint(const std::string& value);
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool value);
  int HelpContext() const { return FHelpContext; }
  void SetHelpContext(int value) { FHelpContext = value; }

  std::function<void()> OnUpdate;

 protected:
  void Changed() {
    if (OnUpdate) OnUpdate();
  }

 private:
  std::string FName;
  bool FEnabled = true;
  std::string FHint;
  bool FShowHint = true;
  int FHelpContext = 0;
};

// Single-line edit field. SetText raises OnChange only when the text differs
// (as the toolkit does); Exit() is the focus loss.
class TEdit : public TWidget {
 public:
  using TWidget::TWidget;
  const std::string& Text() const { return FText; }
  void SetText(const std::string& value);
  void Exit();  // the field lost the focus

  TNotifyEvent OnChange;
  TNotifyEvent OnExit;

 private:
  std::string FText;
};

// Check box. SetChecked raises OnClick when the state changes, as the toolkit's
// does; Click() is the user's click (toggles).
class TCheckBox : public TWidget {
 public:
  TCheckBox(std::string name, std::string caption) : TWidget(std::move(name)), FCaption(std::move(caption)) {}
  const std::string& Caption() const { return FCaption; }
  bool Checked() const { return FChecked; }
  void SetChecked(bool value);
  void Click() { SetChecked(!FChecked); }

  TNotifyEvent OnClick;

 private:
  std::string FCaption;
  bool FChecked = false;
};

class TToolbar;

// Toolbar button. Buttons with the same non-zero GroupIndex on one toolbar
// form a group in which at most one is down; AllowAllUp lets the down one be
// released by a click (a toggle button is a group of one with AllowAllUp).
class TToolbarButton : public TWidget {
 public:
  TToolbarButton(TToolbar& owner, std::string name, std::string hint, int groupIndex = 0,
                 bool allowAllUp = false);
  int GroupIndex() const { return FGroupIndex; }
  bool AllowAllUp() const { return FAllowAllUp; }
  bool Down() const { return FDown; }
  // Presses (releasing the others of its group) or releases; no OnClick.
  void SetDown(bool value);
  // The user's click: a grouped button goes down (or, when it is down and may
  // be released, up), then OnClick runs.
  void Click();

  TNotifyEvent OnClick;

 private:
  TToolbar& FOwner;
  int FGroupIndex;
  bool FAllowAllUp;
  bool FDown = false;
};

// A toolbar: its buttons in order from left to right (separators are not
// modelled; they carry no state).
class TToolbar : public TWidget {
 public:
  using TWidget::TWidget;
  const std::vector<TToolbarButton*>& Buttons() const { return FButtons; }

 private:
  friend class TToolbarButton;
  std::vector<TToolbarButton*> FButtons;
};

// Multi-line text area. The text is kept as the edit control holds it: lines
// joined by CR LF. Lines() drops one empty line after a final line break, as
// the toolkit counts lines. The caret is a character (byte) offset into Text().
class TMemo : public TWidget {
 public:
  using TWidget::TWidget;

  const std::string& Text() const { return FText; }
  // Replaces the text (line breaks of any kind become CR LF), caret to 0.
  void SetText(const std::string& value);
  // What typing does: new text and caret together, then one OnChange.
  void UserEdit(const std::string& text, int selStart);
  int SelStart() const { return FSelStart; }
  void SetSelStart(int value);

  int LineCount() const { return static_cast<int>(FLines.size()); }
  // Line i, or empty past the end.
  std::string Line(int i) const;
  const std::vector<std::string>& Lines() const { return FLines; }
  // Replaces every line; one OnChange.
  void SetLines(const std::vector<std::string>& lines);
  // Appends a line and puts the caret at the end of the text.
  void Add(const std::string& line);
  void Clear() { SetText(std::string()); }
  // Loads a text file, one line per text line (UTF-8, or Windows-1252 when the
  // bytes are not UTF-8). Raises the file error of the platform.
  void LoadFromFile(const std::string& fileName);

  TNotifyEvent OnChange;

 private:
  void Store(std::string text, int selStart);
  std::string FText;
  std::vector<std::string> FLines;
  int FSelStart = 0;
};

struct TStatusPanel {
  std::string Text;
  int Width = 0;
};

class TStatusBar : public TWidget {
 public:
  TStatusBar(std::string name, std::vector<int> widths);
  int PanelCount() const { return static_cast<int>(FPanels.size()); }
  const std::string& PanelText(int i) const { return FPanels.at(static_cast<size_t>(i)).Text; }
  int PanelWidth(int i) const { return FPanels.at(static_cast<size_t>(i)).Width; }
  void SetPanelText(int i, const std::string& text);

 private:
  std::vector<TStatusPanel> FPanels;
};

class TProgressBar : public TWidget {
 public:
  using TWidget::TWidget;
  int Min() const { return FMin; }
  int Max() const { return FMax; }
  int Position() const { return FPosition; }
  void SetMax(int value);
  // Kept within Min..Max as the toolkit's bar does.
  void SetPosition(int value);

 private:
  int FMin = 0;
  int FMax = 100;
  int FPosition = 0;
};

// Measuring tape: Start is the value (in tape units) at its origin. The tape
// asks OnTick for each tick's label and reports a drag through OnScroll.
class TRuler : public TWidget {
 public:
  using TWidget::TWidget;
  double Start() const { return FStart; }
  void SetStart(double value);
  // Lowest start value a drag can reach.
  double MinStart() const { return FMinStart; }
  void SetMinStart(double value) { FMinStart = value; }
  std::string TickLabel(double value);
  // The user dragged the tape to `start` (held at MinStart).
  void Scroll(double start);

  std::function<void(void* Sender, double Value, std::string& Label)> OnTick;
  std::function<void(void* Sender, double Start)> OnScroll;

 private:
  double FStart = 0;
  double FMinStart = 0;
};
