// Text layout and rendering behind TCanvas's text calls (internal to the
// platform layer). fontconfig resolves a TFont to a face, FreeType renders
// anti-aliased glyphs that are cached per face, pixel size and style, and the
// layout follows the Windows DrawText rules the canvas promises.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Font.h"
#include "platform/Graphics.h"
#include "platform/Types.h"

namespace kltext {

// Where glyphs land. Spans are clipped by the caller to [0, Width) x [0, Height).
class Surface {
 public:
  virtual ~Surface() = default;
  int Width = 0;
  int Height = 0;
  // Blends colour (r, g, b) over n pixels starting at (x, y) with coverage
  // 0 (keep) .. 255 (colour).
  virtual void BlendSpan(int x, int y, const uint8_t* coverage, int n, uint8_t r, uint8_t g,
                         uint8_t b) = 0;
  // Sets n pixels starting at (x, y) to (r, g, b).
  virtual void FillSpan(int x, int y, int n, uint8_t r, uint8_t g, uint8_t b) = 0;
};

// A 24- or 32-bit surface in memory: rows of blue, green, red (, unused) bytes.
class RawSurface : public Surface {
 public:
  RawSurface(uint8_t* pixels, std::ptrdiff_t stride, int width, int height, int bytesPerPixel);
  void BlendSpan(int x, int y, const uint8_t* coverage, int n, uint8_t r, uint8_t g,
                 uint8_t b) override;
  void FillSpan(int x, int y, int n, uint8_t r, uint8_t g, uint8_t b) override;

 private:
  uint8_t* Row(int y) const { return FPixels + FStride * y; }
  uint8_t* FPixels;
  std::ptrdiff_t FStride;
  int FBpp;
};

// Vertical metrics of a font at its pixel size, as Windows reports them.
struct FontMetrics {
  int Ascent = 0;        // baseline to the top of the cell
  int Descent = 0;       // baseline to the bottom of the cell
  int AveCharWidth = 0;  // tab stops are 8 of these apart
  int Height() const { return Ascent + Descent; }
};

FontMetrics Metrics(const TFont& font);

// Background behind each drawn line's cell; Opaque false leaves it alone.
struct Background {
  bool Opaque = false;
  TColor Color = 0;
};

// DrawText: lays out utf8 in r with the canvas's DT_* flags; draws onto target
// unless flags has DT_CALCRECT (then only measures and sets r.Right and r.Bottom) or target is
// null. Returns the height of the text.
int DrawText(const TFont& font, Surface* target, const std::string& utf8, TRect& r,
             unsigned flags, Background background);

// Width of one line of text as drawn by TextOut: no prefix or tab processing.
int TextWidth(const TFont& font, const std::string& utf8);

// Draws utf8 with the top of its cell at (x, y), no prefix or tab processing.
void TextOut(const TFont& font, Surface& target, int x, int y, const std::string& utf8,
             Background background);

// The file fontconfig chose for a font (tests and diagnostics).
std::string ResolvedFile(const TFont& font);

}  // namespace kltext
