// Shows a graphic control's surface bitmap (the flip display's pixels) at its
// natural size. The widget follows the control's size; it never draws into
// the control, it only copies what the control painted.
#pragma once

#include <QImage>
#include <QWidget>

class TGraphicControl;
class TBitmap;

// The bitmap's pixels as a QImage (32-bit RGB): 24- and 32-bit rows are
// copied straight, other formats go through the canvas colours.
QImage BitmapToImage(const TBitmap& bitmap);

class TDisplayWidget : public QWidget {
 public:
  TDisplayWidget(TGraphicControl& control, QWidget* parent = nullptr);

  // Called after the control painted: take its size and repaint.
  void SurfaceChanged();
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TGraphicControl& FControl;
};
