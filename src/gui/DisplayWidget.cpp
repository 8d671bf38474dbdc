#include "gui/DisplayWidget.h"

#include <QPainter>
#include <cstring>

#include "platform/Controls.h"
#include "platform/Graphics.h"

QImage BitmapToImage(const TBitmap& bitmap) {
  const int w = bitmap.Width();
  const int h = bitmap.Height();
  if (w <= 0 || h <= 0) return QImage();
  QImage image(w, h, QImage::Format_RGB32);
  const int bits = bitmap.BitsPerPixel();
  for (int y = 0; y < h; ++y) {
    const uint8_t* src = bitmap.ScanLine(y);
    auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
    if (bits == 32) {
      for (int x = 0; x < w; ++x) dst[x] = qRgb(src[4 * x + 2], src[4 * x + 1], src[4 * x]);
    } else if (bits == 24) {
      for (int x = 0; x < w; ++x) dst[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
    } else {
      // Indexed and 16-bit surfaces are rare here: read them pixel by pixel.
      TBitmap& b = const_cast<TBitmap&>(bitmap);
      for (int x = 0; x < w; ++x) {
        const TColor c = b.Canvas().Pixels(x, y);
        dst[x] = qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
      }
    }
  }
  return image;
}

TDisplayWidget::TDisplayWidget(TGraphicControl& control, QWidget* parent)
    : QWidget(parent), FControl(control) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  SurfaceChanged();
}

QSize TDisplayWidget::sizeHint() const { return QSize(FControl.Width(), FControl.Height()); }

void TDisplayWidget::SurfaceChanged() {
  const QSize size(std::max(FControl.Width(), 0), std::max(FControl.Height(), 0));
  if (this->size() != size) setFixedSize(size);
  update();
}

void TDisplayWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QImage image;
  try {
    image = BitmapToImage(FControl.Surface());
  } catch (...) {
    // Nothing may cross Qt's event loop; a surface we cannot read shows grey.
  }
  if (image.isNull()) {
    painter.fillRect(rect(), Qt::gray);
    return;
  }
  painter.drawImage(0, 0, image);
}
