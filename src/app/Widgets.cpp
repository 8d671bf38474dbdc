#include "app/Widgets.h"

#include <algorithm>

#include "app/TextFiles.h"

void TWidget::SetEnabled(bool value) {
  if (FEnabled == value) return;
  FEnabled = value;
  Changed();
}

void TWidget::SetHint(const std::string& value) {
  if (FHint == value) return;
  FHint = value;
  Changed();
}

void TWidget::SetShowHint(bool value) {
  if (FShowHint == value) return;
  FShowHint = value;
  Changed();
}

void TEdit::SetText(const std::string& value) {
  if (FText == value) return;
  FText = value;
  Changed();
  if (OnChange) OnChange(this);
}

void TEdit::Exit() {
  if (OnExit) OnExit(this);
}

void TCheckBox::SetChecked(bool value) {
  if (FChecked == value) return;
  FChecked = value;
  Changed();
  if (OnClick) OnClick(this);
}

TToolbarButton::TToolbarButton(TToolbar& owner, std::string name, std::string hint, int groupIndex,
                               bool allowAllUp)
    : TWidget(std::move(name)), FOwner(owner), FGroupIndex(groupIndex), FAllowAllUp(allowAllUp) {
  SetHint(hint);
  owner.FButtons.push_back(this);
}

void TToolbarButton::SetDown(bool value) {
  if (FGroupIndex == 0) value = false;  // plain buttons never stay down
  if (FDown == value) return;
  FDown = value;
  if (value) {
    for (TToolbarButton* b : FOwner.FButtons) {
      if (b != this && b->FGroupIndex == FGroupIndex && b->FDown) {
        b->FDown = false;
        b->Changed();
      }
    }
  }
  Changed();
}

void TToolbarButton::Click() {
  if (!Enabled()) return;
  if (FGroupIndex != 0) {
    if (FDown) {
      if (FAllowAllUp) SetDown(false);
    } else {
      SetDown(true);
    }
  }
  if (OnClick) OnClick(this);
}

namespace {

std::string NormalizeBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += lines[i];
  }
  return text;
}

}  // namespace

void TMemo::Store(std::string text, int selStart) {
  FText = NormalizeBreaks(text);
  FLines = SplitLines(FText);
  // The edit control counts no line after a final line break.
  if (!FLines.empty() && FLines.back().empty() && !FText.empty()) FLines.pop_back();
  FSelStart = std::clamp(selStart, 0, static_cast<int>(FText.size()));
}

void TMemo::SetText(const std::string& value) {
  Store(value, 0);
  Changed();
  if (OnChange) OnChange(this);
}

void TMemo::UserEdit(const std::string& text, int selStart) {
  Store(text, selStart);
  Changed();
  if (OnChange) OnChange(this);
}

void TMemo::SetSelStart(int value) {
  FSelStart = std::clamp(value, 0, static_cast<int>(FText.size()));
  Changed();
}

std::string TMemo::Line(int i) const {
  if (i < 0 || i >= LineCount()) return std::string();
  return FLines[static_cast<size_t>(i)];
}

void TMemo::SetLines(const std::vector<std::string>& lines) {
  // A final empty line needs its own break so that it counts as a line.
  std::string text = JoinLines(lines);
  if (!lines.empty() && lines.back().empty()) text += "\r\n";
  Store(text, 0);
  Changed();
  if (OnChange) OnChange(this);
}

void TMemo::Add(const std::string& line) {
  std::string text = FText;
  // Appending starts a new line unless the text already ends in a break.
  if (!text.empty() && !(text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0))
    text += "\r\n";
  text += line;
  if (line.empty()) text += "\r\n";  // keep an appended empty line countable
  Store(text, static_cast<int>(text.size()));
  Changed();
  if (OnChange) OnChange(this);
}

void TMemo::LoadFromFile(const std::string& fileName) {
  std::string text = DecodeText(ReadFileBytes(fileName));
  SetText(text);
}

TStatusBar::TStatusBar(std::string name, std::vector<int> widths) : TWidget(std::move(name)) {
  for (int w : widths) FPanels.push_back(TStatusPanel{std::string(), w});
}

void TStatusBar::SetPanelText(int i, const std::string& text) {
  TStatusPanel& p = FPanels.at(static_cast<size_t>(i));
  if (p.Text == text) return;
  p.Text = text;
  Changed();
}

void TProgressBar::SetMax(int value) {
  if (value < FMin) value = FMin;
  if (FMax == value) return;
  FMax = value;
  if (FPosition > FMax) FPosition = FMax;
  Changed();
}

void TProgressBar::SetPosition(int value) {
  value = std::clamp(value, FMin, FMax);
  if (FPosition == value) return;
  FPosition = value;
  Changed();
}

void TRuler::SetStart(double value) {
  if (FStart == value) return;
  FStart = value;
  Changed();
}

std::string TRuler::TickLabel(double value) {
  std::string label;
  if (OnTick) OnTick(this, value, label);
  return label;
}

void TRuler::Scroll(double start) {
  if (start < FMinStart) start = FMinStart;
  SetStart(start);
  if (OnScroll) OnScroll(this, start);
}
