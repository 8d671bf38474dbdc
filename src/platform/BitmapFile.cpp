// BMP reading and writing for TBitmap. Every size and offset in a file is
// checked before it is used, so a damaged file ends in EInvalidGraphic with a
// message that says what is wrong, never in a read or write out of bounds.
#include <algorithm>
#include <cstring>

#include "platform/Classes.h"
#include "platform/Graphics.h"
#include "platform/PixelAccess.h"

namespace {

// Error texts.
constexpr const char* kNotBitmap = "not a BMP file (no \"BM\" signature)";
constexpr const char* kTruncatedHeader = "the BMP header is truncated";
constexpr const char* kBadHeaderSize = "unknown BMP header size";
constexpr const char* kBadDimensions = "invalid BMP dimensions";
constexpr const char* kBadPlanes = "invalid BMP plane count (must be 1)";
constexpr const char* kBadBitCount = "unsupported BMP bit count";
constexpr const char* kBadCompression = "unsupported BMP compression";
constexpr const char* kBadMasks = "invalid BMP bit field masks";
constexpr const char* kTopDownRle = "a compressed BMP cannot be stored top-down";
constexpr const char* kTooLarge = "BMP image too large (more than 256 MiB of pixels)";
constexpr const char* kTruncatedPalette = "the BMP colour table is truncated";
constexpr const char* kBadOffset = "the BMP pixel data offset points into the header";
constexpr const char* kTruncatedPixels = "the BMP pixel data is truncated";
constexpr const char* kTruncatedRle = "the BMP compressed pixel data is truncated";

constexpr uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_ALPHABITFIELDS = 6;

[[noreturn]] void Fail(const char* what) { throw EInvalidGraphic(std::string("Invalid bitmap: ") + what); }

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Reads up to count bytes; returns how many arrived.
size_t ReadSome(TStream& s, uint8_t* buf, size_t count) {
  size_t got = 0;
  while (got < count) {
    const int64_t n = s.Read(buf + got, static_cast<int64_t>(count - got));
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  return got;
}

// One channel of a bit-field mask: position and width of a contiguous run.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
  uint8_t Get(uint32_t v) const {
    if (!bits) return 0;
    const uint32_t x = (v & mask) >> shift;
    if (bits >= 8) return static_cast<uint8_t>(x >> (bits - 8));
    // Widen by repeating the top bits: a full channel gives 255.
    uint32_t out = 0;
    int have = 0;
    while (have < 8) {
      out = (out << bits) | x;
      have += bits;
    }
    return static_cast<uint8_t>(out >> (have - 8));
  }
};

bool MakeChannel(uint32_t mask, int bitCount, Channel& c) {
  c = Channel{};
  if (mask == 0) return true;
  if (bitCount < 32 && (mask >> bitCount) != 0) return false;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  const uint32_t run = mask >> shift;
  if ((run & (run + 1)) != 0) return false;  // not contiguous
  int bits = 0;
  while (bits < 32 && ((run >> bits) & 1)) ++bits;  // a full 32-bit mask has 32
  c.mask = mask;
  c.shift = shift;
  c.bits = bits;
  return true;
}

void DecodeRle(const uint8_t* data, size_t size, bool four, TBitmap& bmp) {
  const int w = bmp.Width(), h = bmp.Height();
  int x = 0, line = 0;  // line counts from the bottom
  size_t i = 0;
  auto put = [&](uint32_t index) {
    if (x < w && line < h) kl::WriteRaw(bmp.ScanLine(h - 1 - line), x, four ? pf4bit : pf8bit, index);
    ++x;
  };
  for (;;) {
    if (i + 2 > size) {
      // Data may end without an end-of-bitmap marker once every line is done.
      if (i == size && line >= h) return;
      Fail(kTruncatedRle);
    }
    const uint8_t a = data[i], b = data[i + 1];
    i += 2;
    if (a > 0) {
      // Encoded run: `a` pixels of b (RLE4: alternating high and low nibble).
      for (int k = 0; k < a; ++k) put(four ? ((k & 1) ? (b & 0x0F) : (b >> 4)) : b);
      continue;
    }
    if (b == 0) {  // end of line
      x = 0;
      ++line;
      continue;
    }
    if (b == 1) return;  // end of bitmap
    if (b == 2) {        // delta
      if (i + 2 > size) Fail(kTruncatedRle);
      x += data[i];
      line += data[i + 1];
      i += 2;
      continue;
    }
    // Absolute run of b pixels, padded to a 16-bit boundary.
    const size_t bytes = four ? (static_cast<size_t>(b) + 1) / 2 : b;
    if (i + bytes > size) Fail(kTruncatedRle);
    for (int k = 0; k < b; ++k) {
      const uint8_t v = four ? data[i + static_cast<size_t>(k / 2)] : data[i + static_cast<size_t>(k)];
      put(four ? ((k & 1) ? (v & 0x0F) : (v >> 4)) : v);
    }
    i += bytes + (bytes & 1);
    if (i > size) i = size;
  }
}

}  // namespace

void TBitmap::LoadFromStream(TStream& stream) {
  const int64_t start = stream.Position();
  const int64_t available = stream.Size() - start;
  if (available <= 0) {
    // An empty stream is an empty bitmap, as an empty bitmap saves nothing.
    SetSize(0, 0);
    return;
  }
  uint8_t fh[14] = {};
  if (ReadSome(stream, fh, 14) < 14) {
    if (fh[0] != 'B') Fail(kNotBitmap);
    Fail(kTruncatedHeader);
  }
  if (fh[0] != 'B' || fh[1] != 'M') Fail(kNotBitmap);
  const uint32_t offBits = U32(fh + 10);

  uint8_t ih[124] = {};
  if (ReadSome(stream, ih, 4) < 4) Fail(kTruncatedHeader);
  const uint32_t headerSize = U32(ih);
  if (headerSize != 12 && headerSize != 40 && headerSize != 52 && headerSize != 56 &&
      headerSize != 64 && headerSize != 108 && headerSize != 124)
    Fail(kBadHeaderSize);
  if (ReadSome(stream, ih + 4, headerSize - 4) < headerSize - 4) Fail(kTruncatedHeader);

  int64_t width, height;
  int planes, bitCount;
  uint32_t compression = BI_RGB, clrUsed = 0;
  uint32_t masks[3] = {0, 0, 0};
  size_t paletteEntrySize = 4;
  if (headerSize == 12) {  // OS/2 core header: 16-bit sizes, 3-byte colour entries
    width = U16(ih + 4);
    height = static_cast<int16_t>(U16(ih + 6));
    planes = U16(ih + 8);
    bitCount = U16(ih + 10);
    paletteEntrySize = 3;
  } else {
    width = static_cast<int32_t>(U32(ih + 4));
    height = static_cast<int32_t>(U32(ih + 8));
    planes = U16(ih + 12);
    bitCount = U16(ih + 14);
    compression = U32(ih + 16);
    clrUsed = U32(ih + 32);
    if (headerSize == 64 && compression != BI_RGB) Fail(kBadCompression);
    if (headerSize >= 52) {
      masks[0] = U32(ih + 40);
      masks[1] = U32(ih + 44);
      masks[2] = U32(ih + 48);
    }
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0) Fail(kBadDimensions);
  if (planes != 1) Fail(kBadPlanes);
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
    Fail(kBadBitCount);
  const bool rle = compression == BI_RLE8 || compression == BI_RLE4;
  if (compression == BI_RLE8 && bitCount != 8) Fail(kBadCompression);
  if (compression == BI_RLE4 && bitCount != 4) Fail(kBadCompression);
  const bool bitFields = compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS;
  if (bitFields && bitCount != 16 && bitCount != 32) Fail(kBadCompression);
  if (compression != BI_RGB && !rle && !bitFields) Fail(kBadCompression);
  if (rle && topDown) Fail(kTopDownRle);

  int64_t consumed = 14 + headerSize;
  if (bitFields && headerSize == 40) {
    // Masks follow the short header (a fourth one, alpha, for BI_ALPHABITFIELDS).
    const size_t n = compression == BI_ALPHABITFIELDS ? 16 : 12;
    uint8_t m[16];
    if (ReadSome(stream, m, n) < n) Fail(kTruncatedHeader);
    masks[0] = U32(m);
    masks[1] = U32(m + 4);
    masks[2] = U32(m + 8);
    consumed += static_cast<int64_t>(n);
  }

  // Result format and size check before any pixel memory exists.
  TPixelFormat pf;
  Channel ch[3];
  if (bitCount <= 8) {
    pf = bitCount == 1 ? pf1bit : bitCount == 4 ? pf4bit : pf8bit;
  } else if (bitCount == 16) {
    if (!bitFields) {
      masks[0] = 0x7C00;
      masks[1] = 0x03E0;
      masks[2] = 0x001F;
    }
    pf = (masks[0] == 0x7C00 && masks[1] == 0x03E0 && masks[2] == 0x001F)   ? pf15bit
         : (masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F) ? pf16bit
                                                                            : pf24bit;
  } else if (bitCount == 24) {
    pf = pf24bit;
  } else {
    if (!bitFields) {
      masks[0] = 0xFF0000;
      masks[1] = 0x00FF00;
      masks[2] = 0x0000FF;
    }
    pf = pf32bit;
  }
  if (bitFields || bitCount == 16 || bitCount == 32)
    for (int c = 0; c < 3; ++c)
      if (!MakeChannel(masks[c], bitCount, ch[c])) Fail(kBadMasks);
  const int64_t outRow = ((width * ::BitsPerPixel(pf) + 31) / 32) * 4;
  const int64_t inRow = ((width * bitCount + 31) / 32) * 4;
  if (outRow > MaxPixelBytes || inRow > MaxPixelBytes || outRow * height > MaxPixelBytes ||
      inRow * height > MaxPixelBytes)
    Fail(kTooLarge);

  // Colour table.
  std::vector<TPaletteEntry> palette;
  if (bitCount <= 8) {
    const uint32_t capacity = 1u << bitCount;
    uint32_t count = clrUsed == 0 ? capacity : std::min(clrUsed, capacity);
    // A colour table may not run into the pixel data.
    if (offBits >= consumed && offBits != 0) {
      const int64_t room = (static_cast<int64_t>(offBits) - consumed) / static_cast<int64_t>(paletteEntrySize);
      if (clrUsed == 0 && room < count && room >= 2) count = static_cast<uint32_t>(room);
    }
    std::vector<uint8_t> raw(count * paletteEntrySize);
    if (ReadSome(stream, raw.data(), raw.size()) < raw.size()) Fail(kTruncatedPalette);
    palette.resize(count);
    for (uint32_t k = 0; k < count; ++k) {
      const uint8_t* e = raw.data() + k * paletteEntrySize;
      palette[k] = TPaletteEntry{e[2], e[1], e[0], 0};
    }
    consumed += static_cast<int64_t>(raw.size());
  }
  // A colour table in a true-colour file is optional and skipped by the offset.

  // Pixel data.
  int64_t dataStart = consumed;
  if (offBits != 0) {
    if (offBits < 14 + headerSize) Fail(kBadOffset);
    dataStart = offBits;
  }
  const int64_t left = available - dataStart;
  std::vector<uint8_t> data;
  if (rle) {
    const int64_t cap = std::min<int64_t>(left, 2 * MaxPixelBytes);
    if (cap <= 0) Fail(kTruncatedRle);
    data.resize(static_cast<size_t>(cap));
  } else {
    // The last row's padding may be missing.
    const int64_t need = inRow * (height - 1) + (width * bitCount + 7) / 8;
    if (left < need) Fail(kTruncatedPixels);
    data.resize(static_cast<size_t>(std::min(left, inRow * height)));
  }
  stream.SetPosition(start + dataStart);
  if (ReadSome(stream, data.data(), data.size()) < data.size()) Fail(rle ? kTruncatedRle : kTruncatedPixels);

  TBitmap result;
  result.FPixelFormat = pf;
  result.SetSize(static_cast<int>(width), static_cast<int>(height));
  if (bitCount <= 8) result.FPalette = palette;
  const int w = static_cast<int>(width), h = static_cast<int>(height);
  if (rle) {
    DecodeRle(data.data(), data.size(), compression == BI_RLE4, result);
  } else {
    const size_t copyBytes = static_cast<size_t>(std::min<int64_t>(inRow, result.FStride));
    for (int y = 0; y < h; ++y) {
      const size_t off = static_cast<size_t>(inRow) * static_cast<size_t>(topDown ? y : h - 1 - y);
      const uint8_t* src = data.data() + off;
      const size_t have = std::min(copyBytes, data.size() - off);
      uint8_t* dst = result.ScanLine(y);
      if (pf == pf15bit || pf == pf16bit || bitCount <= 8 || bitCount == 24) {
        std::memcpy(dst, src, have);
      } else if (bitCount == 16) {  // unusual masks: widen to 24 bits
        for (int x = 0; x < w; ++x) {
          const uint32_t v = U16(src + 2 * x);
          dst[3 * x] = ch[2].Get(v);
          dst[3 * x + 1] = ch[1].Get(v);
          dst[3 * x + 2] = ch[0].Get(v);
        }
      } else {  // 32 bits through masks; the fourth byte is always 0 here
        for (int x = 0; x < w; ++x) {
          const uint32_t v = U32(src + 4 * x);
          dst[4 * x] = ch[2].Get(v);
          dst[4 * x + 1] = ch[1].Get(v);
          dst[4 * x + 2] = ch[0].Get(v);
          dst[4 * x + 3] = 0;
        }
      }
    }
  }
  stream.SetPosition(start + dataStart + static_cast<int64_t>(data.size()));
  // Keep pfDevice when the file is 32 bits and the bitmap was a device bitmap.
  if (pf == pf32bit && FPixelFormat == pfDevice) result.FPixelFormat = pfDevice;
  FWidth = result.FWidth;
  FHeight = result.FHeight;
  FPixelFormat = result.FPixelFormat;
  FStride = result.FStride;
  FBits.swap(result.FBits);
  FPalette.swap(result.FPalette);
}

void TBitmap::SaveToStream(TStream& stream) const {
  if (Empty()) return;  // an empty bitmap writes nothing
  const TPixelFormat pf = FPixelFormat == pfDevice ? pf32bit : FPixelFormat;
  const int bpp = ::BitsPerPixel(pf);
  std::vector<TPaletteEntry> palette;
  if (bpp <= 8) {
    palette = FPalette;
    if (palette.empty()) {
      TBitmap probe;
      probe.SetPixelFormat(pf);
      palette = probe.FPalette;
    }
  }
  const bool fields = pf == pf16bit;
  const uint32_t headerBytes = 14 + 40 + (fields ? 12 : 0) + static_cast<uint32_t>(palette.size()) * 4;
  const uint32_t imageBytes = static_cast<uint32_t>(FStride) * static_cast<uint32_t>(FHeight);
  std::vector<uint8_t> head(headerBytes, 0);
  uint8_t* p = head.data();
  // BITMAPFILEHEADER: signature, file size, reserved, pixel data offset.
  p[0] = 'B';
  p[1] = 'M';
  Put32(p + 2, headerBytes + imageBytes);
  Put32(p + 10, headerBytes);
  // BITMAPINFOHEADER: size, width, height (positive: bottom-up), planes, bit
  // count, compression, image size, resolution (unset), colours used/important.
  Put32(p + 14, 40);
  Put32(p + 18, static_cast<uint32_t>(FWidth));
  Put32(p + 22, static_cast<uint32_t>(FHeight));
  Put16(p + 26, 1);
  Put16(p + 28, static_cast<uint32_t>(bpp));
  Put32(p + 30, fields ? BI_BITFIELDS : BI_RGB);
  Put32(p + 34, imageBytes);
  const bool fullTable = bpp <= 8 && palette.size() == (size_t{1} << bpp);
  Put32(p + 46, bpp <= 8 && !fullTable ? static_cast<uint32_t>(palette.size()) : 0);
  size_t at = 54;
  if (fields) {  // red, green, blue masks of 5-6-5 pixels
    Put32(p + at, 0xF800);
    Put32(p + at + 4, 0x07E0);
    Put32(p + at + 8, 0x001F);
    at += 12;
  }
  // Colour table: blue, green, red, 0.
  for (const auto& e : palette) {
    p[at] = e.peBlue;
    p[at + 1] = e.peGreen;
    p[at + 2] = e.peRed;
    p[at + 3] = 0;
    at += 4;
  }
  stream.WriteBuffer(head.data(), static_cast<int64_t>(head.size()));
  for (int y = FHeight - 1; y >= 0; --y) stream.WriteBuffer(ScanLine(y), FStride);
}

void TBitmap::LoadFromFile(const std::string& name) {
  TFileStream f(name, fmOpenRead | fmShareDenyWrite);
  try {
    LoadFromStream(f);
  } catch (const EInvalidGraphic& e) {
    throw EInvalidGraphic("Cannot load \"" + name + "\": " + e.Message());
  } catch (const EReadError& e) {
    throw EInvalidGraphic("Cannot load \"" + name + "\": " + e.Message());
  }
}

void TBitmap::SaveToFile(const std::string& name) const {
  TFileStream f(name, fmCreate);
  SaveToStream(f);
  f.Flush();
}
