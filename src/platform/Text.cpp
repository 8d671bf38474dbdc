// TCanvas's text calls: they hand the canvas's font, brush and bitmap to the
// text engine (TextEngine.cpp).
#include "platform/Graphics.h"
#include "platform/TextEngine.h"

namespace {

// Formats without direct byte access (1, 4, 8, 15, 16 bits) go through the
// bitmap's pixel access: read, blend, and let the bitmap map the result.
class PixelSurface : public kltext::Surface {
 public:
  explicit PixelSurface(TBitmap& bitmap) : FBitmap(bitmap) {
    Width = bitmap.Width();
    Height = bitmap.Height();
  }
  void BlendSpan(int x, int y, const uint8_t* coverage, int n, uint8_t r, uint8_t g,
                 uint8_t b) override {
    for (int i = 0; i < n; ++i) {
      const unsigned a = coverage[i];
      if (a == 0) continue;
      TColor c = RGBColor(r, g, b);
      if (a != 255) {
        const TColor d = FBitmap.GetPixelColor(x + i, y);
        auto mix = [a](unsigned dv, unsigned cv) {
          return static_cast<uint8_t>((dv * (255 - a) + cv * a + 127) / 255);
        };
        c = RGBColor(mix(GetRValue(d), r), mix(GetGValue(d), g), mix(GetBValue(d), b));
      }
      FBitmap.SetPixelColor(x + i, y, c);
    }
  }
  void FillSpan(int x, int y, int n, uint8_t r, uint8_t g, uint8_t b) override {
    for (int i = 0; i < n; ++i) FBitmap.SetPixelColor(x + i, y, RGBColor(r, g, b));
  }

 private:
  TBitmap& FBitmap;
};

// Runs draw(surface) on the cheapest surface the bitmap's format allows.
template <typename F>
void WithSurface(TBitmap& bitmap, F&& draw) {
  if (bitmap.Empty()) return;
  const int bpp = bitmap.BitsPerPixel();
  if (bpp == 24 || bpp == 32) {
    // The row step comes from the bitmap itself, so any row order works.
    uint8_t* top = bitmap.ScanLine(0);
    const std::ptrdiff_t stride =
        bitmap.Height() > 1 ? bitmap.ScanLine(1) - top : bitmap.BytesPerRow();
    kltext::RawSurface s(top, stride, bitmap.Width(), bitmap.Height(), bpp / 8);
    draw(s);
  } else {
    PixelSurface s(bitmap);
    draw(s);
  }
}

kltext::Background BackgroundOf(TBrush& brush) {
  return kltext::Background{brush.Style() != bsClear, brush.Color()};
}

}  // namespace

int TCanvas::DrawText(const std::string& utf8, TRect& r, unsigned flags) {
  if (flags & DT_CALCRECT) return kltext::DrawText(FFont, nullptr, utf8, r, flags, {});
  int height = 0;
  bool drawn = false;
  WithSurface(*FBitmap, [&](kltext::Surface& s) {
    height = kltext::DrawText(FFont, &s, utf8, r, flags, BackgroundOf(FBrush));
    drawn = true;
  });
  // An empty bitmap still answers with the text's height.
  if (!drawn) height = kltext::DrawText(FFont, nullptr, utf8, r, flags, {});
  return height;
}

int TCanvas::TextWidth(const std::string& utf8) { return kltext::TextWidth(FFont, utf8); }

// One line's cell height, whatever the text (as GetTextExtentPoint32).
int TCanvas::TextHeight(const std::string&) { return kltext::Metrics(FFont).Height(); }

void TCanvas::TextOut(int x, int y, const std::string& utf8) {
  WithSurface(*FBitmap, [&](kltext::Surface& s) {
    kltext::TextOut(FFont, s, x, y, utf8, BackgroundOf(FBrush));
  });
  FPenPos = TPoint{x + TextWidth(utf8), y};
}
