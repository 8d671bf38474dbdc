// Bitmaps, palettes and the canvas that draws on a bitmap, plus the two block
// copies BitBlt and StretchBlt. A TBitmap owns its pixels; rows are seen top-down
// through ScanLine and are padded to 32 bits. 24-bit pixels are blue, green,
// red; 32-bit pixels blue, green, red, 0. Text drawing (DrawText and friends)
// is declared on TCanvas here and implemented in Text.cpp.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Font.h"
#include "platform/SysUtils.h"
#include "platform/Types.h"

class TStream;
class TBitmap;

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit };

// Bits per pixel of a format (pfDevice counts as 32).
int BitsPerPixel(TPixelFormat pf);

struct TPaletteEntry {
  uint8_t peRed = 0;
  uint8_t peGreen = 0;
  uint8_t peBlue = 0;
  uint8_t peFlags = 0;
  friend bool operator==(const TPaletteEntry&, const TPaletteEntry&) = default;
};

// Palette entry flags of the logical palette.
constexpr uint8_t PC_RESERVED = 0x01;
constexpr uint8_t PC_EXPLICIT = 0x02;
constexpr uint8_t PC_NOCOLLAPSE = 0x04;

// A logical palette: version 0x300 and up to 256 entries (more are refused with
// EInvalidGraphic, as the toolkit's palettes hold at most 256 here).
class TPalette {
 public:
  TPalette() = default;
  explicit TPalette(std::vector<TPaletteEntry> entries);
  uint16_t Version() const { return FVersion; }
  int Count() const { return static_cast<int>(FEntries.size()); }
  const std::vector<TPaletteEntry>& Entries() const { return FEntries; }
  void SetEntries(std::vector<TPaletteEntry> entries);
  const TPaletteEntry& operator[](int index) const { return FEntries.at(static_cast<size_t>(index)); }
  // Index of the entry closest to color (squared RGB distance, first wins);
  // -1 for an empty palette.
  int NearestIndex(TColor color) const;

 private:
  uint16_t FVersion = 0x300;
  std::vector<TPaletteEntry> FEntries;
};

// The 20 static colours of the classic default system palette (0-9 and the
// 10 high ones, in that order).
const TPalette& PlatformSystemPalette();
// Our halftone palette for a 256-colour screen: the 10 low static colours,
// the 6x6x6 cube (0, 51, ... 255), 20 extra grey levels, then the 10 high static
// colours; 256 entries.
const TPalette& PlatformHalftonePalette();

enum TBrushStyle { bsSolid, bsClear };

class TBrush {
 public:
  TColor Color() const { return FColor; }
  void SetColor(TColor value) { FColor = value; }
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle value) { FStyle = value; }
  void Assign(const TBrush& other) { *this = other; }

 private:
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
};

class TPen {
 public:
  TColor Color() const { return FColor; }
  void SetColor(TColor value) { FColor = value; }
  int Width() const { return FWidth; }
  void SetWidth(int value) { FWidth = value < 1 ? 1 : value; }
  void Assign(const TPen& other) { *this = other; }

 private:
  TColor FColor = clBlack;
  int FWidth = 1;
};

// DrawText flags (the Windows values).
constexpr unsigned DT_TOP = 0x0;
constexpr unsigned DT_LEFT = 0x0;
constexpr unsigned DT_CENTER = 0x1;
constexpr unsigned DT_RIGHT = 0x2;
constexpr unsigned DT_VCENTER = 0x4;
constexpr unsigned DT_BOTTOM = 0x8;
constexpr unsigned DT_WORDBREAK = 0x10;
constexpr unsigned DT_SINGLELINE = 0x20;
constexpr unsigned DT_EXPANDTABS = 0x40;
constexpr unsigned DT_NOCLIP = 0x100;
constexpr unsigned DT_CALCRECT = 0x400;
constexpr unsigned DT_NOPREFIX = 0x800;

// Drawing surface of one bitmap. Coordinates outside the bitmap are clipped.
// Colours are resolved with ColorToRGB; on indexed bitmaps they map to the
// nearest palette entry.
class TCanvas {
 public:
  explicit TCanvas(TBitmap& bitmap);
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  TBrush& Brush() { return FBrush; }
  TPen& Pen() { return FPen; }
  TFont& Font() { return FFont; }
  void SetFont(const TFont& font) { FFont.Assign(font); }
  TBitmap& Bitmap() { return *FBitmap; }
  // The whole bitmap: (0, 0, Width, Height).
  TRect ClipRect() const;

  // Fills r (right and bottom exclusive) with the brush colour; nothing with a
  // clear brush.
  void FillRect(const TRect& r);
  // Outline in the pen, inside filled with the brush (GDI Rectangle).
  void Rectangle(int x1, int y1, int x2, int y2);
  void MoveTo(int x, int y);
  // Straight line from the pen position to (x, y), the end point excluded as in
  // GDI. A pen of width w covers w rows (or columns) centred on the line:
  // from y - w/2 to y - w/2 + w - 1.
  void LineTo(int x, int y);
  TPoint PenPos() const { return FPenPos; }
  void SetPenPos(TPoint p) { FPenPos = p; }
  // Copies graphic 1:1 with its top-left corner at (x, y).
  void Draw(int x, int y, const TBitmap& graphic);
  // Stretches graphic onto dest (nearest row and column).
  void StretchDraw(const TRect& dest, const TBitmap& graphic);
  // Copies source rectangle src of canvas source onto dest (stretching).
  void CopyRect(const TRect& dest, TCanvas& source, const TRect& src);

  // Colour at (x, y); -1 (CLR_INVALID) outside the bitmap.
  TColor Pixels(int x, int y) const;
  // Sets one pixel; ignored outside the bitmap.
  void SetPixel(int x, int y, TColor color);

  // Text, defined in Text.cpp. DrawText returns the text height; with
  // DT_CALCRECT it only measures and sets r.Right and r.Bottom.
  int DrawText(const std::string& utf8, TRect& r, unsigned flags);
  int TextWidth(const std::string& utf8);
  int TextHeight(const std::string& utf8);
  void TextOut(int x, int y, const std::string& utf8);

 private:
  void FillClipped(int x0, int y0, int x1, int y1, TColor color);

  TBitmap* FBitmap;
  TBrush FBrush;
  TPen FPen;
  TFont FFont;
  TPoint FPenPos;
};

// A bitmap that holds its own pixels. Default format pfDevice (stored as 32-bit).
// Every out-of-range access raises; a bitmap needs at most 256 MiB of pixels.
class TBitmap {
 public:
  // Largest pixel block a bitmap may hold (bytes, rows padded).
  static constexpr int64_t MaxPixelBytes = int64_t{256} * 1024 * 1024;

  TBitmap();
  TBitmap(int width, int height, TPixelFormat pf = pfDevice);
  TBitmap(const TBitmap& other);
  TBitmap& operator=(const TBitmap& other);
  ~TBitmap();

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  // Resizes, keeping the pixels where old and new areas overlap; new pixels are
  // 0 (black, or palette index 0). Negative sizes count as 0. More than
  // MaxPixelBytes raises EOutOfResources.
  void SetSize(int width, int height);
  void SetWidth(int width) { SetSize(width, FHeight); }
  void SetHeight(int height) { SetSize(FWidth, height); }
  bool Empty() const { return FWidth == 0 || FHeight == 0; }

  TPixelFormat PixelFormat() const { return FPixelFormat; }
  // Converts the pixels in place. To an indexed format each colour maps to the
  // nearest entry of the bitmap's palette (the format's default palette when
  // the bitmap had none: black/white, the 16 VGA colours, the halftone palette).
  void SetPixelFormat(TPixelFormat pf);
  int BitsPerPixel() const { return ::BitsPerPixel(FPixelFormat); }

  // Row `row` (0 = top). EInvalidGraphicOperation "Scan line index out of range"
  // outside 0..Height-1.
  uint8_t* ScanLine(int row);
  const uint8_t* ScanLine(int row) const;
  // Bytes of one row, padded to a multiple of 4.
  int BytesPerRow() const { return FStride; }
  static int BytesPerRow(int width, TPixelFormat pf);

  // Colour table of an indexed format (empty for the others). SetPalette
  // replaces the table, keeping pixel indices; at most 2^bpp entries are kept.
  const std::vector<TPaletteEntry>& Palette() const { return FPalette; }
  void SetPalette(std::vector<TPaletteEntry> entries);

  // Pixel colour as RGB (indexed formats through the palette); EInvalidGraphic
  // outside the bitmap.
  TColor GetPixelColor(int x, int y) const;
  void SetPixelColor(int x, int y, TColor color);
  // What a colour becomes in this bitmap's format: the stored value for an
  // indexed format is the palette index (as uint32), else the packed pixel.
  uint32_t ColorToPixelValue(TColor rgb) const;

  TCanvas& Canvas();

  // Copies size, format, palette and pixels.
  void Assign(const TBitmap& other);
  // Releases the pixels: 0 x 0, format kept.
  void Clear() { SetSize(0, 0); }

  // BMP files: reads 1, 4, 8, 16, 24 and 32 bits per pixel (bottom-up or
  // top-down, uncompressed, RLE4, RLE8, bit fields); writes the bitmap's own
  // format (pfDevice as 32 bits, pf15bit/pf16bit as 16 bits), bottom-up.
  // A corrupt or truncated file raises EInvalidGraphic; files are named in
  // the message.
  void LoadFromStream(TStream& stream);
  void SaveToStream(TStream& stream) const;
  void LoadFromFile(const std::string& name);
  void SaveToFile(const std::string& name) const;

 private:
  void Allocate(int width, int height, TPixelFormat pf, std::vector<uint8_t>& out, int& stride) const;

  int FWidth = 0;
  int FHeight = 0;
  TPixelFormat FPixelFormat = pfDevice;
  int FStride = 0;
  std::vector<uint8_t> FBits;  // top-down rows
  std::vector<TPaletteEntry> FPalette;
  std::unique_ptr<TCanvas> FCanvas;
};

// Source copy of the w x h block at (sx, sy) of src to (x, y) of dst, clipped at
// both bitmaps' edges. Returns false when nothing could be copied (empty
// block or bitmaps, or the block lies wholly outside either bitmap).
bool BitBlt(TBitmap& dst, int x, int y, int w, int h, const TBitmap& src, int sx, int sy);

// Source copy of src block (sx, sy, sw, sh) onto dst block (x, y, w, h): each
// target pixel takes the source pixel under its centre, the upper (left) one
// on a tie: target pixel i of n samples source sx + ((2i + 1) * sw - 1) / (2n).
// Equal sizes copy 1:1; integer shrink factors keep rows 0, f, 2f, ...
// A negative target or source width (height) mirrors, covering the pixels
// x + w .. x - 1. Target pixels whose source falls outside src are left alone;
// target pixels outside dst are clipped. False when nothing is copied.
bool StretchBlt(TBitmap& dst, int x, int y, int w, int h, const TBitmap& src, int sx, int sy,
                int sw, int sh);
