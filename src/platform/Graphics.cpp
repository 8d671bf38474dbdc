// Bitmap storage, pixel format conversion, palettes, the canvas's non-text
// drawing and the block copies. BMP reading and writing live in BitmapFile.cpp.
#include "platform/Graphics.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <new>

#include "platform/PixelAccess.h"

// ------------------------------------------------------------- palettes

int BitsPerPixel(TPixelFormat pf) {
  switch (pf) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    case pfDevice:
    case pf32bit: return 32;
  }
  return 32;
}

TPalette::TPalette(std::vector<TPaletteEntry> entries) { SetEntries(std::move(entries)); }

void TPalette::SetEntries(std::vector<TPaletteEntry> entries) {
  if (entries.size() > 256) throw EInvalidGraphic("A palette holds at most 256 entries");
  FEntries = std::move(entries);
}

int TPalette::NearestIndex(TColor color) const {
  return kl::NearestPaletteIndex(FEntries.data(), static_cast<int>(FEntries.size()), ColorToRGB(color));
}

namespace {

TPaletteEntry Entry(int r, int g, int b) {
  return TPaletteEntry{static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b), 0};
}

const std::array<TPaletteEntry, 10> kStaticLow = {
    Entry(0, 0, 0),       Entry(128, 0, 0),     Entry(0, 128, 0),   Entry(128, 128, 0),
    Entry(0, 0, 128),     Entry(128, 0, 128),   Entry(0, 128, 128), Entry(192, 192, 192),
    Entry(192, 220, 192), Entry(166, 202, 240)};
const std::array<TPaletteEntry, 10> kStaticHigh = {
    Entry(255, 251, 240), Entry(160, 160, 164), Entry(128, 128, 128), Entry(255, 0, 0),
    Entry(0, 255, 0),     Entry(255, 255, 0),   Entry(0, 0, 255),     Entry(255, 0, 255),
    Entry(0, 255, 255),   Entry(255, 255, 255)};

std::vector<TPaletteEntry> DefaultPalette(TPixelFormat pf) {
  switch (pf) {
    case pf1bit: return {Entry(0, 0, 0), Entry(255, 255, 255)};
    case pf4bit:
      // The 16 colours of the classic VGA colour table, in Windows order.
      return {Entry(0, 0, 0),       Entry(128, 0, 0),   Entry(0, 128, 0),   Entry(128, 128, 0),
              Entry(0, 0, 128),     Entry(128, 0, 128), Entry(0, 128, 128), Entry(192, 192, 192),
              Entry(128, 128, 128), Entry(255, 0, 0),   Entry(0, 255, 0),   Entry(255, 255, 0),
              Entry(0, 0, 255),     Entry(255, 0, 255), Entry(0, 255, 255), Entry(255, 255, 255)};
    case pf8bit: return PlatformHalftonePalette().Entries();
    default: return {};
  }
}

bool IsIndexed(TPixelFormat pf) { return pf == pf1bit || pf == pf4bit || pf == pf8bit; }

// Storage format: pfDevice is stored exactly as pf32bit.
TPixelFormat Storage(TPixelFormat pf) { return pf == pfDevice ? pf32bit : pf; }

}  // namespace

const TPalette& PlatformSystemPalette() {
  static const TPalette palette = [] {
    std::vector<TPaletteEntry> e(kStaticLow.begin(), kStaticLow.end());
    e.insert(e.end(), kStaticHigh.begin(), kStaticHigh.end());
    return TPalette(std::move(e));
  }();
  return palette;
}

const TPalette& PlatformHalftonePalette() {
  static const TPalette palette = [] {
    std::vector<TPaletteEntry> e(kStaticLow.begin(), kStaticLow.end());
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b) e.push_back(Entry(r * 51, g * 51, b * 51));
    for (int k = 1; k <= 20; ++k) {
      const int v = (k * 255 * 2 + 21) / 42;  // round(k * 255 / 21)
      e.push_back(Entry(v, v, v));
    }
    e.insert(e.end(), kStaticHigh.begin(), kStaticHigh.end());
    return TPalette(std::move(e));
  }();
  return palette;
}

// ---------------------------------------------------------------- TBitmap

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height, TPixelFormat pf) {
  SetPixelFormat(pf);
  SetSize(width, height);
}

TBitmap::TBitmap(const TBitmap& other) { Assign(other); }

TBitmap& TBitmap::operator=(const TBitmap& other) {
  if (this != &other) Assign(other);
  return *this;
}

TBitmap::~TBitmap() = default;

int TBitmap::BytesPerRow(int width, TPixelFormat pf) {
  const int64_t bits = static_cast<int64_t>(std::max(width, 0)) * ::BitsPerPixel(pf);
  const int64_t bytes = ((bits + 31) / 32) * 4;
  return bytes > INT32_MAX ? INT32_MAX : static_cast<int>(bytes);
}

void TBitmap::Allocate(int width, int height, TPixelFormat pf, std::vector<uint8_t>& out,
                       int& stride) const {
  const int64_t rowBytes = ((static_cast<int64_t>(width) * ::BitsPerPixel(pf) + 31) / 32) * 4;
  if (rowBytes > MaxPixelBytes || rowBytes * height > MaxPixelBytes)
    throw EOutOfResources("Bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels is too large (more than 256 MiB)");
  stride = static_cast<int>(rowBytes);
  try {
    out.assign(static_cast<size_t>(rowBytes * height), 0);
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory for a bitmap of " + std::to_string(width) + " x " +
                       std::to_string(height) + " pixels");
  }
}

void TBitmap::SetSize(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == FWidth && height == FHeight) return;
  std::vector<uint8_t> bits;
  int stride = 0;
  Allocate(width, height, FPixelFormat, bits, stride);
  // Keep the overlapping block. Partial bytes of 1- and 4-bit rows copy whole
  // bytes; the bits past the new width are padding nobody reads.
  const int rows = std::min(height, FHeight);
  const int bytes = std::min(BytesPerRow(std::min(width, FWidth), FPixelFormat), std::min(stride, FStride));
  for (int y = 0; y < rows && bytes > 0; ++y)
    std::memcpy(bits.data() + static_cast<size_t>(y) * stride,
                FBits.data() + static_cast<size_t>(y) * FStride, static_cast<size_t>(bytes));
  // Bits past the old width in a shared partial byte are new pixels: clear them.
  if (width > FWidth && BitsPerPixel() < 8) {
    const int perByte = 8 / BitsPerPixel();
    const int end = std::min(width, (FWidth + perByte - 1) / perByte * perByte);
    for (int y = 0; y < rows; ++y)
      for (int x = FWidth; x < end; ++x)
        kl::WriteRaw(bits.data() + static_cast<size_t>(y) * stride, x, FPixelFormat, 0);
  }
  FBits.swap(bits);
  FStride = stride;
  FWidth = width;
  FHeight = height;
}

void TBitmap::SetPixelFormat(TPixelFormat pf) {
  if (pf == FPixelFormat) {
    if (IsIndexed(pf) && FPalette.empty()) FPalette = DefaultPalette(pf);
    return;
  }
  const TPixelFormat oldPf = FPixelFormat;
  if (Storage(pf) == Storage(oldPf)) {
    FPixelFormat = pf;
    return;
  }
  std::vector<TPaletteEntry> newPalette;
  bool copyIndices = false;
  if (IsIndexed(pf)) {
    const size_t capacity = size_t{1} << ::BitsPerPixel(pf);
    if (IsIndexed(oldPf) && FPalette.size() <= capacity) {
      // Every old index fits: keep palette and indices, nothing is lost.
      newPalette = FPalette;
      copyIndices = true;
    } else if (!IsIndexed(oldPf) && !FPalette.empty() && FPalette.size() <= capacity) {
      // A palette given to a true-colour bitmap is the one to reduce to.
      newPalette = FPalette;
    } else {
      newPalette = DefaultPalette(pf);
    }
  }
  std::vector<uint8_t> bits;
  int stride = 0;
  Allocate(FWidth, FHeight, pf, bits, stride);
  const TPixelFormat from = Storage(oldPf), to = Storage(pf);
  kl::NearestCache cache(newPalette.data(), static_cast<int>(newPalette.size()));
  for (int y = 0; y < FHeight; ++y) {
    const uint8_t* src = FBits.data() + static_cast<size_t>(y) * FStride;
    uint8_t* dst = bits.data() + static_cast<size_t>(y) * stride;
    for (int x = 0; x < FWidth; ++x) {
      uint32_t value;
      if (copyIndices) {
        value = kl::ReadRaw(src, x, from);
      } else {
        const TColor c = kl::ReadColor(src, x, from, FPalette);
        value = IsIndexed(to) ? static_cast<uint32_t>(cache.Find(c)) : kl::PackColor(c, to);
      }
      kl::WriteRaw(dst, x, to, value);
    }
  }
  FBits.swap(bits);
  FStride = stride;
  FPixelFormat = pf;
  FPalette = std::move(newPalette);
}

uint8_t* TBitmap::ScanLine(int row) {
  if (row < 0 || row >= FHeight) throw EInvalidGraphicOperation("Scan line index out of range");
  return FBits.data() + static_cast<size_t>(row) * FStride;
}

const uint8_t* TBitmap::ScanLine(int row) const {
  if (row < 0 || row >= FHeight) throw EInvalidGraphicOperation("Scan line index out of range");
  return FBits.data() + static_cast<size_t>(row) * FStride;
}

void TBitmap::SetPalette(std::vector<TPaletteEntry> entries) {
  const size_t capacity = IsIndexed(FPixelFormat) ? size_t{1} << BitsPerPixel() : 256;
  if (entries.size() > capacity) entries.resize(capacity);
  FPalette = std::move(entries);
}

TColor TBitmap::GetPixelColor(int x, int y) const {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight)
    throw EInvalidGraphic("Pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                          ") lies outside the bitmap");
  return kl::ReadColor(FBits.data() + static_cast<size_t>(y) * FStride, x, Storage(FPixelFormat), FPalette);
}

void TBitmap::SetPixelColor(int x, int y, TColor color) {
  if (x < 0 || y < 0 || x >= FWidth || y >= FHeight)
    throw EInvalidGraphic("Pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                          ") lies outside the bitmap");
  kl::WriteRaw(FBits.data() + static_cast<size_t>(y) * FStride, x, Storage(FPixelFormat),
               ColorToPixelValue(color));
}

uint32_t TBitmap::ColorToPixelValue(TColor rgb) const {
  rgb = ColorToRGB(rgb);
  if (IsIndexed(FPixelFormat)) {
    const int i = kl::NearestPaletteIndex(FPalette.data(), static_cast<int>(FPalette.size()), rgb);
    return i < 0 ? 0 : static_cast<uint32_t>(i);
  }
  return kl::PackColor(rgb, Storage(FPixelFormat));
}

TCanvas& TBitmap::Canvas() {
  if (!FCanvas) FCanvas = std::make_unique<TCanvas>(*this);
  return *FCanvas;
}

void TBitmap::Assign(const TBitmap& other) {
  if (this == &other) return;
  FWidth = other.FWidth;
  FHeight = other.FHeight;
  FPixelFormat = other.FPixelFormat;
  FStride = other.FStride;
  FBits = other.FBits;
  FPalette = other.FPalette;
}

// ------------------------------------------------------------ block copies

namespace {

struct Span {
  int dst;  // first target position
  int src;  // first source position
  int n;    // length
};

// Clips a 1:1 span against [0, dstLimit) and [0, srcLimit).
bool ClipSpan(int& d, int& s, int& n, int dstLimit, int srcLimit) {
  if (n <= 0) return false;
  if (d < 0) {
    s -= d;
    n += d;
    d = 0;
  }
  if (s < 0) {
    d -= s;
    n += s;
    s = 0;
  }
  n = std::min({n, dstLimit - d, srcLimit - s});
  return n > 0;
}

bool SameIndexedLayout(const TBitmap& a, const TBitmap& b) { return a.Palette() == b.Palette(); }

}  // namespace

bool BitBlt(TBitmap& dst, int x, int y, int w, int h, const TBitmap& src, int sx, int sy) {
  if (!ClipSpan(x, sx, w, dst.Width(), src.Width())) return false;
  if (!ClipSpan(y, sy, h, dst.Height(), src.Height())) return false;
  const TPixelFormat df = Storage(dst.PixelFormat()), sf = Storage(src.PixelFormat());
  const int bpp = ::BitsPerPixel(df);
  const bool sameBitmap = &dst == &src;
  if (df == sf && bpp >= 8 && (bpp > 8 || SameIndexedLayout(dst, src))) {
    // Same byte layout. Whole rows of equal stride are one contiguous block:
    // a single memmove (it also handles overlap within one bitmap).
    const int dStride = dst.BytesPerRow(), sStride = src.BytesPerRow();
    uint8_t* d = dst.ScanLine(y);
    const uint8_t* s = src.ScanLine(sy);
    if (x == 0 && sx == 0 && w == dst.Width() && w == src.Width() && dStride == sStride) {
      std::memmove(d, s, static_cast<size_t>(h) * static_cast<size_t>(dStride));
      return true;
    }
    const size_t bytes = static_cast<size_t>(w) * (bpp / 8);
    d += static_cast<size_t>(x) * (bpp / 8);
    s += static_cast<size_t>(sx) * (bpp / 8);
    if (!sameBitmap) {
      for (int k = 0; k < h; ++k, d += dStride, s += sStride) std::memcpy(d, s, bytes);
      return true;
    }
    // Within one bitmap the blocks may overlap: rows go bottom-up when the
    // target lies lower, and each row uses memmove.
    const bool upward = y > sy;
    for (int k = 0; k < h; ++k) {
      const int r = upward ? h - 1 - k : k;
      std::memmove(d + static_cast<ptrdiff_t>(r) * dStride, s + static_cast<ptrdiff_t>(r) * sStride, bytes);
    }
    return true;
  }
  const TBitmap* from = &src;
  TBitmap copy;
  if (sameBitmap) {
    // Sub-byte or colour-mapped copy within one bitmap: read from a snapshot.
    copy = src;
    from = &copy;
  }
  kl::PixelConverter conv(*from, dst);
  for (int r = 0; r < h; ++r) conv.Row(dst.ScanLine(y + r), x, from->ScanLine(sy + r), sx, w);
  return true;
}

namespace {

// Target-to-source map of one axis. Returns false when no target position
// maps inside both bitmaps.
bool BuildAxis(int d, int n, int s, int sn, int dstLimit, int srcLimit, std::vector<int>& map,
               int& first, int& count) {
  if (n == 0 || sn == 0) return false;
  bool mirror = false;
  if (n < 0) {
    d += n;
    n = -n;
    mirror = !mirror;
  }
  if (sn < 0) {
    s += sn;
    sn = -sn;
    mirror = !mirror;
  }
  map.resize(static_cast<size_t>(n));
  // offset(k) = ((2k + 1) * sn - 1) div 2n, stepped without a division per
  // pixel: the numerator grows by 2 * sn per step.
  const int64_t twoN = int64_t{2} * n, step = int64_t{2} * sn;
  int64_t q = (sn - 1) / twoN, rem = (sn - 1) % twoN;
  const int64_t qStep = step / twoN, rStep = step % twoN;
  for (int k = 0; k < n; ++k) {
    const int64_t sp = s + q;
    map[static_cast<size_t>(mirror ? n - 1 - k : k)] = (sp < 0 || sp >= srcLimit) ? -1 : static_cast<int>(sp);
    q += qStep;
    rem += rStep;
    if (rem >= twoN) {
      rem -= twoN;
      ++q;
    }
  }
  // Clip target to the bitmap.
  int lo = std::max(0, -d), hi = std::min(n, dstLimit - d);
  if (lo >= hi) return false;
  first = d + lo;
  count = hi - lo;
  map.erase(map.begin(), map.begin() + lo);
  map.resize(static_cast<size_t>(count));
  return std::any_of(map.begin(), map.end(), [](int v) { return v >= 0; });
}

}  // namespace

bool StretchBlt(TBitmap& dst, int x, int y, int w, int h, const TBitmap& src, int sx, int sy, int sw,
                int sh) {
  if (w == sw && h == sh && w > 0 && h > 0) return BitBlt(dst, x, y, w, h, src, sx, sy);
  thread_local std::vector<int> cols, rows;
  int x0, nx, y0, ny;
  if (!BuildAxis(x, w, sx, sw, dst.Width(), src.Width(), cols, x0, nx)) return false;
  if (!BuildAxis(y, h, sy, sh, dst.Height(), src.Height(), rows, y0, ny)) return false;
  const TBitmap* from = &src;
  TBitmap copy;
  if (&dst == &src) {
    copy = src;
    from = &copy;
  }
  bool straight = cols[0] >= 0;
  for (int i = 1; i < nx && straight; ++i) straight = cols[static_cast<size_t>(i)] == cols[0] + i;
  kl::PixelConverter conv(*from, dst);
  for (int r = 0; r < ny; ++r) {
    const int srow = rows[static_cast<size_t>(r)];
    if (srow < 0) continue;
    conv.GatherRow(dst.ScanLine(y0 + r), x0, from->ScanLine(srow), cols.data(), nx, straight);
  }
  return true;
}

// ----------------------------------------------------------------- TCanvas

TCanvas::TCanvas(TBitmap& bitmap) : FBitmap(&bitmap) {}

TRect TCanvas::ClipRect() const { return Rect(0, 0, FBitmap->Width(), FBitmap->Height()); }

void TCanvas::FillClipped(int x0, int y0, int x1, int y1, TColor color) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, FBitmap->Width());
  y1 = std::min(y1, FBitmap->Height());
  if (x0 >= x1 || y0 >= y1) return;
  const uint32_t value = FBitmap->ColorToPixelValue(color);
  const TPixelFormat pf = Storage(FBitmap->PixelFormat());
  for (int y = y0; y < y1; ++y) kl::FillRow(FBitmap->ScanLine(y), x0, x1 - x0, pf, value);
}

void TCanvas::FillRect(const TRect& r) {
  if (FBrush.Style() == bsClear) return;
  FillClipped(r.Left, r.Top, r.Right, r.Bottom, FBrush.Color());
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  const int pw = FPen.Width();
  if (FBrush.Style() != bsClear) FillClipped(x1, y1, x2, y2, FBrush.Color());
  // The outline lies inside the rectangle.
  const TColor c = FPen.Color();
  FillClipped(x1, y1, x2, std::min(y1 + pw, y2), c);
  FillClipped(x1, std::max(y2 - pw, y1), x2, y2, c);
  FillClipped(x1, y1, std::min(x1 + pw, x2), y2, c);
  FillClipped(std::max(x2 - pw, x1), y1, x2, y2, c);
}

void TCanvas::MoveTo(int x, int y) { FPenPos = TPoint{x, y}; }

void TCanvas::LineTo(int x, int y) {
  const int x0 = FPenPos.X, y0 = FPenPos.Y;
  FPenPos = TPoint{x, y};
  const int w = FPen.Width();
  const int before = w / 2;  // rows above (columns left of) the line
  const TColor color = FPen.Color();
  const int dx = std::abs(x - x0), dy = std::abs(y - y0);
  if (dx == 0 && dy == 0) return;
  // Axis-parallel lines are spans; the end point is excluded as in GDI.
  if (dy == 0) {
    const int a = std::min(x0, x) + (x < x0 ? 1 : 0), b = std::max(x0, x) + (x < x0 ? 1 : 0);
    FillClipped(a, y0 - before, b, y0 - before + w, color);
    return;
  }
  if (dx == 0) {
    const int a = std::min(y0, y) + (y < y0 ? 1 : 0), b = std::max(y0, y) + (y < y0 ? 1 : 0);
    FillClipped(x0 - before, a, x0 - before + w, b, color);
    return;
  }
  // Bresenham; a wide pen draws a span across the line's minor axis at each step.
  const int sx = x > x0 ? 1 : -1, sy = y > y0 ? 1 : -1;
  const bool xMajor = dx >= dy;
  const int steps = xMajor ? dx : dy;
  int err = (xMajor ? dx : dy) / 2;
  int px = x0, py = y0;
  for (int i = 0; i < steps; ++i) {
    if (xMajor) FillClipped(px, py - before, px + 1, py - before + w, color);
    else FillClipped(px - before, py, px - before + w, py + 1, color);
    if (xMajor) {
      px += sx;
      err -= dy;
      if (err < 0) {
        py += sy;
        err += dx;
      }
    } else {
      py += sy;
      err -= dx;
      if (err < 0) {
        px += sx;
        err += dy;
      }
    }
  }
}

void TCanvas::Draw(int x, int y, const TBitmap& graphic) {
  BitBlt(*FBitmap, x, y, graphic.Width(), graphic.Height(), graphic, 0, 0);
}

void TCanvas::StretchDraw(const TRect& dest, const TBitmap& graphic) {
  StretchBlt(*FBitmap, dest.Left, dest.Top, dest.Width(), dest.Height(), graphic, 0, 0, graphic.Width(),
             graphic.Height());
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& src) {
  StretchBlt(*FBitmap, dest.Left, dest.Top, dest.Width(), dest.Height(), source.Bitmap(), src.Left,
             src.Top, src.Width(), src.Height());
}

TColor TCanvas::Pixels(int x, int y) const {
  if (x < 0 || y < 0 || x >= FBitmap->Width() || y >= FBitmap->Height()) return -1;
  return FBitmap->GetPixelColor(x, y);
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  if (x < 0 || y < 0 || x >= FBitmap->Width() || y >= FBitmap->Height()) return;
  FBitmap->SetPixelColor(x, y, color);
}
