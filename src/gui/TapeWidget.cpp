#include "gui/TapeWidget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cmath>

#include "app/Widgets.h"

namespace {

const QColor kTapeColor(255, 232, 0);
const QColor kInkColor(40, 32, 0);

// Tape values in whole tenths (whole pixels of the display).
double ToTenths(double value) { return std::round(value * 10.0) / 10.0; }

}  // namespace

TTapeWidget::TTapeWidget(TRuler& ruler, QWidget* parent) : QWidget(parent), FRuler(ruler) {
  setFixedWidth(kWidth);
  setMinimumHeight(40);
  setCursor(Qt::SizeVerCursor);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TTapeWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect r = rect();
  p.fillRect(r, kTapeColor);
  p.setPen(kInkColor);
  QFont f = font();
  f.setPixelSize(9);
  p.setFont(f);

  const double start = FRuler.Start();
  const int first = static_cast<int>(std::ceil(start - 1e-9));
  const int last = static_cast<int>(std::floor(start + r.height() / double(kPixelsPerUnit)));
  for (int v = first; v <= last; ++v) {
    const int y = static_cast<int>(std::lround((v - start) * kPixelsPerUnit));
    const bool major = v % 5 == 0;
    const int len = major ? 9 : 4;
    p.drawLine(r.right() - len, y, r.right(), y);
    if (major) {
      QString label;
      try {
        label = QString::fromStdString(FRuler.TickLabel(v));
      } catch (...) {
        // A label the handler cannot make stays blank; painting goes on.
      }
      p.drawText(QRect(1, y + 1, r.width() - 3, 11), Qt::AlignRight | Qt::AlignTop, label);
    }
  }
  // The origin: the value the field shows.
  p.setPen(QPen(QColor(200, 0, 0), 2));
  p.drawLine(0, 1, r.right(), 1);
  p.setPen(QColor(150, 120, 0));
  p.drawRect(r.adjusted(0, 0, -1, -1));
}

void TTapeWidget::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  FDragging = true;
  FDragY = event->position().y();
  FDragStart = FRuler.Start();
}

void TTapeWidget::mouseMoveEvent(QMouseEvent* event) {
  if (!FDragging) return QWidget::mouseMoveEvent(event);
  // The tape follows the mouse: pulling it up brings higher values to the top.
  ScrollTo(FDragStart + (FDragY - event->position().y()) / kPixelsPerUnit);
}

void TTapeWidget::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && FDragging) {
    ScrollTo(FDragStart + (FDragY - event->position().y()) / kPixelsPerUnit);
    FDragging = false;
  }
}

void TTapeWidget::wheelEvent(QWheelEvent* event) {
  const int notches = event->angleDelta().y() / 120;
  if (notches != 0) ScrollTo(FRuler.Start() + notches);
  event->accept();
}

void TTapeWidget::ScrollTo(double start) {
  start = ToTenths(start);
  if (start < FRuler.MinStart()) start = FRuler.MinStart();
  if (start == FRuler.Start()) return;
  if (OnUserScroll) OnUserScroll(start);
  update();
}
