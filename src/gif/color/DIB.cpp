#include "gif/color/DIB.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "gif/GIFImage.h"
#include "gif/color/ColorMessages.h"

namespace {

void PutU16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
  PutU16(p, v & 0xFFFF);
  PutU16(p + 2, v >> 16);
}

}  // namespace

// --- TDIBReader -----------------------------------------------------------------

TDIBReader::TDIBReader(TBitmap& bitmap, TPixelFormat pixelFormat) : TDIB(bitmap, pixelFormat) {
  if (bitmap.PixelFormat() != pixelFormat) bitmap.SetPixelFormat(pixelFormat);
}

uint8_t* TDIBReader::Scanline(int row) { return FBitmap->ScanLine(row); }

// --- TDIBWriter -----------------------------------------------------------------

TDIBWriter::TDIBWriter(TBitmap& bitmap, TPixelFormat pixelFormat, int width, int height,
                       const TPalette* palette)
    : TDIB(bitmap, pixelFormat), FPalette(palette), FWidth(width), FHeight(height) {
  if (pixelFormat != pf8bit && pixelFormat != pf24bit) throw GIFException(gifmsg::UnsupportedPixelFormat);
  // Negative sizes would mean mirrored or top-down rows, which the writer never makes.
  if (width <= 0 || height <= 0) throw GIFException(gifmsg::BadDIBDimensions);
}

TDIBWriter::~TDIBWriter() {
  try {
    UpdateBitmap();
  } catch (...) {
    // Destruction on an error path: the caller is already failing.
  }
  FreeDIB();
}

size_t TDIBWriter::Stride() const {
  return ((static_cast<size_t>(FWidth) * BitsPerPixel() + 31) & ~static_cast<size_t>(31)) / 8;
}

void TDIBWriter::FreeDIB() {
  FInfoHeader.reset();
  FInfoSize = 0;
  FBits.reset();
  FBitsSize = 0;
}

void TDIBWriter::CreateDIB() {
  FreeDIB();
  const bool indexed = FPixelFormat == pf8bit;
  FInfoSize = kHeaderSize + (indexed ? kColorTableSize : 0);
  FInfoHeader.reset(new (std::nothrow) uint8_t[FInfoSize]());
  if (!FInfoHeader) {
    FreeDIB();
    throw EOutOfMemory(gifmsg::DIBAllocationFailed);
  }
  uint8_t* h = FInfoHeader.get();
  int copied = 0;
  if (indexed) {
    // Colour table: the palette's entries as blue, green, red, 0; the rest black.
    const int n = FPalette ? std::min(FPalette->Count(), 256) : 0;
    uint8_t* table = h + kHeaderSize;
    for (int i = 0; i < n; ++i) {
      const TPaletteEntry& e = (*FPalette)[i];
      table[4 * i + 0] = e.peBlue;
      table[4 * i + 1] = e.peGreen;
      table[4 * i + 2] = e.peRed;
      table[4 * i + 3] = 0;
    }
    copied = n;
  }
  PutU32(h + 0, kHeaderSize);                          // header size
  PutU32(h + 4, static_cast<uint32_t>(FWidth));        // width
  PutU32(h + 8, static_cast<uint32_t>(FHeight));       // height: positive, rows bottom-up
  PutU16(h + 12, 1);                                   // planes
  PutU16(h + 14, static_cast<uint32_t>(BitsPerPixel()));  // bits per pixel
  PutU32(h + 16, 0);                                   // compression: none
  PutU32(h + 20, 0);                                   // image size
  PutU32(h + 24, 0);                                   // horizontal resolution
  PutU32(h + 28, 0);                                   // vertical resolution
  PutU32(h + 32, indexed ? 256 : 0);                   // colours used
  PutU32(h + 36, static_cast<uint32_t>(copied));       // important colours

  // A bitmap cannot hold more than the platform's pixel limit, so a larger
  // block is refused before anything is allocated.
  const size_t stride = Stride();
  if (static_cast<double>(stride) * FHeight > static_cast<double>(TBitmap::MaxPixelBytes)) {
    FreeDIB();
    throw EOutOfMemory(gifmsg::DIBAllocationFailed);
  }
  FBitsSize = stride * static_cast<size_t>(FHeight);
  // Not cleared: every row is written by the writer's user.
  FBits.reset(new (std::nothrow) uint8_t[FBitsSize]);
  if (!FBits) {
    FreeDIB();
    throw EOutOfMemory(gifmsg::DIBAllocationFailed);
  }
}

uint8_t* TDIBWriter::Scanline(int row) {
  NeedDIB();
  if (!FBits) throw GIFException(gifmsg::NoDIB);
  if (row < 0 || row >= FHeight) throw EInvalidGraphicOperation(gifmsg::ScanLineOutOfRange);
  return FBits.get() + static_cast<size_t>(FHeight - 1 - row) * Stride();
}

void TDIBWriter::UpdateBitmap() {
  if (!FBits) return;
  // Hands header, table and rows to the bitmap directly rather than through an
  // in-memory bitmap file: same size, format and 256-entry table, one copy less.
  TBitmap& bitmap = *FBitmap;
  const bool indexed = FPixelFormat == pf8bit;
  bitmap.SetSize(0, 0);
  bitmap.SetPixelFormat(FPixelFormat);
  if (indexed) {
    std::vector<TPaletteEntry> table(256);
    const uint8_t* t = FInfoHeader.get() + kHeaderSize;
    for (int i = 0; i < 256; ++i) table[i] = TPaletteEntry{t[4 * i + 2], t[4 * i + 1], t[4 * i], 0};
    bitmap.SetPalette(std::move(table));
  }
  bitmap.SetSize(FWidth, FHeight);
  const size_t stride = Stride();
  const size_t rowBytes = std::min<size_t>(stride, static_cast<size_t>(bitmap.BytesPerRow()));
  for (int r = 0; r < FHeight; ++r)
    std::memcpy(bitmap.ScanLine(r), FBits.get() + static_cast<size_t>(FHeight - 1 - r) * stride, rowBytes);
  FreeDIB();
}

void PrepareIndexedBitmap(TBitmap& bitmap, int width, int height, const TPalette* palette) {
  std::vector<TPaletteEntry> table(256);
  const int n = palette ? std::min(palette->Count(), 256) : 0;
  for (int i = 0; i < n; ++i) {
    const TPaletteEntry& e = (*palette)[i];
    table[i] = TPaletteEntry{e.peRed, e.peGreen, e.peBlue, 0};
  }
  bitmap.SetSize(0, 0);
  bitmap.SetPixelFormat(pf8bit);
  bitmap.SetPalette(std::move(table));
  bitmap.SetSize(width, height);
}
