// Row access to bitmaps for the colour conversion. TDIBReader converts an
// existing bitmap in place to the pixel format it needs and hands out its rows;
// TDIBWriter builds an 8- or 24-bit device-independent bitmap in memory of its
// own (header, 256-entry colour table, bottom-up rows padded to 32 bits) and
// hands it to a bitmap when it is finished.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/Graphics.h"

class TDIB {
 public:
  TDIB(TBitmap& bitmap, TPixelFormat pixelFormat) : FBitmap(&bitmap), FPixelFormat(pixelFormat) {}
  virtual ~TDIB() = default;
  TDIB(const TDIB&) = delete;
  TDIB& operator=(const TDIB&) = delete;

  // First byte of pixel row `row` (0 = top).
  virtual uint8_t* Scanline(int row) = 0;

  TBitmap& Bitmap() const { return *FBitmap; }
  TPixelFormat PixelFormat() const { return FPixelFormat; }

 protected:
  TBitmap* FBitmap;  // not owned
  TPixelFormat FPixelFormat;
};

// Converts the bitmap to the pixel format at creation: the bitmap stays
// converted afterwards. Rows are the bitmap's own (24-bit pixels blue, green, red).
class TDIBReader : public TDIB {
 public:
  TDIBReader(TBitmap& bitmap, TPixelFormat pixelFormat);
  uint8_t* Scanline(int row) override;
};

class TDIBWriter : public TDIB {
 public:
  static constexpr int kHeaderSize = 40;
  static constexpr int kColorTableSize = 256 * 4;

  // pixelFormat: pf8bit or pf24bit ("Unsupported PixelFormat"); width and
  // height at least 1 ("Invalid image dimensions"). The palette (8 bits only,
  // may be null) is read when the blocks are made; it is not owned.
  TDIBWriter(TBitmap& bitmap, TPixelFormat pixelFormat, int width, int height,
             const TPalette* palette);
  // Hands the bitmap over if that has not happened yet; errors are swallowed
  // here, so callers on the success path call UpdateBitmap themselves.
  ~TDIBWriter() override;

  // Row `row` (0 = top) of the writer's own block; makes the blocks first.
  uint8_t* Scanline(int row) override;
  // Gives the finished rows to the bitmap (size, format, 256-entry colour
  // table for 8 bits) and releases the blocks. Nothing when no row was asked for.
  void UpdateBitmap();

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  const TPalette* Palette() const { return FPalette; }
  const uint8_t* InfoHeader() const { return FInfoHeader.get(); }
  int InfoSize() const { return FInfoSize; }
  const uint8_t* Bits() const { return FBits.get(); }
  size_t BitsSize() const { return FBitsSize; }
  size_t Stride() const;
  int BitsPerPixel() const { return FPixelFormat == pf8bit ? 8 : 24; }

 private:
  void NeedDIB() {
    if (!FBits) CreateDIB();
  }
  void CreateDIB();
  void FreeDIB();

  const TPalette* FPalette;
  int FWidth;
  int FHeight;
  std::unique_ptr<uint8_t[]> FInfoHeader;
  int FInfoSize = 0;
  std::unique_ptr<uint8_t[]> FBits;
  size_t FBitsSize = 0;
};

// Makes `bitmap` what an 8-bit TDIBWriter with this palette hands over: width x
// height, 8 bits per pixel, a 256-entry colour table of the palette's colours
// (flags dropped) followed by black. The rows are then written in place, which
// spares a second pixel block when the whole image is produced in one pass.
void PrepareIndexedBitmap(TBitmap& bitmap, int width, int height, const TPalette* palette);
