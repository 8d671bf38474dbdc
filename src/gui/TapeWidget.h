// The yellow measuring tape beside the Width and Height fields: a vertical
// strip whose top edge reads the ruler's Start value. One tape unit is ten
// screen pixels, so the tape is a true pixel ruler; labels come from the
// ruler's OnTick. Dragging the tape (or the mouse wheel) scrolls its value,
// never below the ruler's lower limit and without an upper one.
#pragma once

#include <functional>

#include <QWidget>

class TRuler;

class TTapeWidget : public QWidget {
 public:
  static constexpr int kWidth = 29;
  static constexpr int kPixelsPerUnit = 10;

  explicit TTapeWidget(TRuler& ruler, QWidget* parent = nullptr);

  // The user moved the tape to a new start value (already in whole tenths).
  // The window runs the ruler's Scroll through its error handling.
  std::function<void(double start)> OnUserScroll;

  TRuler& Ruler() { return FRuler; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void ScrollTo(double start);

  TRuler& FRuler;
  bool FDragging = false;
  double FDragY = 0;
  double FDragStart = 0;
};
