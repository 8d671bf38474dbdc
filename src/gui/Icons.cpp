#include "gui/Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

namespace {

constexpr int kSize = 20;

QPixmap Canvas() {
  QPixmap pm(kSize, kSize);
  pm.fill(Qt::transparent);
  return pm;
}

void Lines(QPainter& p, int align) {
  // Four text lines of varying length, aligned left (0), centre (1) or right (2).
  const int widths[] = {14, 9, 12, 7};
  p.setPen(QPen(QColor(30, 30, 30), 2, Qt::SolidLine, Qt::FlatCap));
  for (int i = 0; i < 4; ++i) {
    const int w = widths[i];
    const int x = align == 0 ? 3 : align == 1 ? (kSize - w) / 2 : kSize - 3 - w;
    const int y = 4 + i * 4;
    p.drawLine(x, y, x + w, y);
  }
}

void Page(QPainter& p) {
  p.setPen(QColor(80, 80, 80));
  p.setBrush(Qt::white);
  QPolygonF page({QPointF(4, 2), QPointF(12, 2), QPointF(16, 6), QPointF(16, 18), QPointF(4, 18)});
  p.drawPolygon(page);
  p.setPen(QColor(150, 150, 150));
  for (int y = 8; y <= 15; y += 3) p.drawLine(6, y, 14, y);
}

void Picture(QPainter& p) {
  p.setPen(QColor(60, 60, 60));
  p.setBrush(QColor(170, 210, 250));
  p.drawRect(2, 4, 15, 12);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(60, 150, 60));
  p.drawPolygon(QPolygonF({QPointF(3, 16), QPointF(8, 9), QPointF(12, 13), QPointF(14, 11), QPointF(17, 16)}));
  p.setBrush(QColor(250, 200, 0));
  p.drawEllipse(QPointF(13.5, 7.5), 1.8, 1.8);
}

void RedCross(QPainter& p, const QRectF& r) {
  p.setPen(QPen(QColor(210, 20, 20), 2.2, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(r.topLeft(), r.bottomRight());
  p.drawLine(r.topRight(), r.bottomLeft());
}

void Swatch(QPainter& p, const QColor& c) {
  p.setPen(QColor(40, 40, 40));
  p.setBrush(c.isValid() ? c : QColor(Qt::gray));
  p.drawRect(2, 15, 15, 4);
}

void Letter(QPainter& p, const QString& text, const QRectF& r, const QColor& color, int px) {
  QFont f(QStringLiteral("DejaVu Sans"));
  f.setBold(true);
  f.setPixelSize(px);
  p.setFont(f);
  p.setPen(color);
  p.drawText(r, Qt::AlignCenter, text);
}

}  // namespace

QIcon ToolIcon(const QString& name, const QColor& swatch) {
  QPixmap pm = Canvas();
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  if (name == QLatin1String("tbOpen")) {
    p.setPen(QColor(120, 90, 20));
    p.setBrush(QColor(240, 200, 90));
    p.drawPolygon(QPolygonF({QPointF(2, 5), QPointF(8, 5), QPointF(10, 7), QPointF(17, 7), QPointF(17, 16),
                             QPointF(2, 16)}));
    p.setBrush(QColor(252, 222, 130));
    p.drawPolygon(QPolygonF({QPointF(4, 10), QPointF(19, 10), QPointF(17, 16), QPointF(2, 16)}));
  } else if (name == QLatin1String("tbSave")) {
    p.setPen(QColor(30, 50, 100));
    p.setBrush(QColor(60, 100, 180));
    p.drawRoundedRect(QRectF(2.5, 2.5, 15, 15), 1.5, 1.5);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(5.5, 2.5, 9, 6));
    p.setBrush(QColor(200, 200, 210));
    p.drawRect(QRectF(6, 12, 8, 5.5));
  } else if (name == QLatin1String("tbAnimate")) {
    p.setPen(QColor(20, 90, 20));
    p.setBrush(QColor(60, 170, 60));
    p.drawPolygon(QPolygonF({QPointF(5, 3), QPointF(17, 10), QPointF(5, 17)}));
  } else if (name == QLatin1String("tbRender")) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    p.drawRoundedRect(QRectF(1, 3, 18, 14), 2, 2);
    p.setBrush(QColor(230, 230, 230));
    for (int x = 3; x < 18; x += 4) {
      p.drawRect(x, 4, 2, 2);
      p.drawRect(x, 14, 2, 2);
    }
    Letter(p, QStringLiteral("GIF"), QRectF(1, 5, 18, 10), QColor(255, 220, 0), 7);
  } else if (name == QLatin1String("ToolbarButton973")) {
    p.setPen(QColor(140, 0, 0));
    p.setBrush(QColor(220, 40, 40));
    p.drawEllipse(QRectF(2, 2, 16, 16));
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(7, 7), QPointF(13, 13));
    p.drawLine(QPointF(13, 7), QPointF(7, 13));
  } else if (name == QLatin1String("tbLeft")) {
    Lines(p, 0);
  } else if (name == QLatin1String("tbCenter")) {
    Lines(p, 1);
  } else if (name == QLatin1String("tbRight")) {
    Lines(p, 2);
  } else if (name == QLatin1String("tbFont")) {
    Letter(p, QStringLiteral("F"), QRectF(0, 0, 11, 20), QColor(20, 20, 20), 15);
    Letter(p, QStringLiteral("a"), QRectF(9, 4, 11, 16), QColor(60, 60, 160), 11);
  } else if (name == QLatin1String("ToolbarButton974")) {
    Letter(p, QStringLiteral("A"), QRectF(0, -2, 20, 17), QColor(20, 20, 20), 14);
    Swatch(p, swatch);
  } else if (name == QLatin1String("tbHingeColor")) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(70, 70, 70));
    p.drawRect(QRectF(3, 1, 14, 6.5));
    p.drawRect(QRectF(3, 9.5, 14, 6.5));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRectF(3, 7.5, 14, 2));
    Swatch(p, swatch);
  } else if (name == QLatin1String("tbBackColor")) {
    p.setPen(QColor(60, 60, 60));
    p.setBrush(swatch.isValid() ? swatch : QColor(Qt::gray));
    p.drawRect(QRectF(2.5, 2.5, 15, 11));
    Letter(p, QStringLiteral("a"), QRectF(2, 1, 16, 12), QColor(235, 235, 235), 10);
    Swatch(p, swatch);
  } else if (name == QLatin1String("ToolbarButton971")) {
    Picture(p);
  } else if (name == QLatin1String("ToolbarButton972")) {
    Picture(p);
    RedCross(p, QRectF(9, 9, 9, 9));
  } else if (name == QLatin1String("ToolbarButton975")) {
    Page(p);
    RedCross(p, QRectF(9, 9, 9, 9));
  } else if (name == QLatin1String("ToolbarButton976")) {
    Page(p);
    p.setPen(QPen(QColor(30, 120, 30), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14, 9), QPointF(14, 17));
    p.drawLine(QPointF(11, 14), QPointF(14, 17));
    p.drawLine(QPointF(17, 14), QPointF(14, 17));
  }
  p.end();
  return QIcon(pm);
}

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128}) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size / 64.0;
    p.scale(s, s);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(56, 56, 56));
    p.drawRoundedRect(QRectF(6, 4, 52, 27), 5, 5);
    p.drawRoundedRect(QRectF(6, 33, 52, 27), 5, 5);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setBold(true);
    f.setPixelSize(46);
    p.setFont(f);
    p.setPen(QColor(213, 213, 0));
    p.drawText(QRectF(6, 4, 52, 56), Qt::AlignCenter, QStringLiteral("K"));
    p.setPen(QPen(QColor(20, 20, 20), 2.5));
    p.drawLine(QPointF(4, 32), QPointF(60, 32));
    p.end();
    icon.addPixmap(pm);
  }
  return icon;
}
