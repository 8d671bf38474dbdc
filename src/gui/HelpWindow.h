// The in-program help: one window with the whole guide (what each setting does
// and how to make a GIF), opened at its contents or at the section of a
// control's context number (230 height, 240 width, 250 optimisation, 440
// timing).
#pragma once

#include <QString>
#include <QWidget>

class QTextBrowser;

// The guide as HTML; every context number has an anchor "ctx<N>".
QString HelpHtml();
// Anchor of a context number ("contents" for 0 and for unknown numbers).
QString HelpAnchor(int context);

class THelpWindow : public QWidget {
 public:
  explicit THelpWindow(QWidget* parent = nullptr);
  // Shows the window, raised, scrolled to the section of `context`.
  void ShowContext(int context);
  int CurrentContext() const { return FContext; }
  QTextBrowser* Browser() const { return FBrowser; }

 private:
  QTextBrowser* FBrowser;
  int FContext = 0;
};
