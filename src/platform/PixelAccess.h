// Internal to the platform layer: reading and writing single pixels of every
// storage format, nearest-palette lookup, and the row converter behind the block
// copies. Not for use outside src/platform.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/Graphics.h"

namespace kl {

// Raw stored value of pixel x: palette index, packed 16-bit word, or
// 0x00RRGGBB-ordered little-endian bytes (B, G, R) for 24/32 bits.
inline uint32_t ReadRaw(const uint8_t* row, int x, TPixelFormat pf) {
  switch (pf) {
    case pf1bit: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case pf4bit: return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4);
    case pf8bit: return row[x];
    case pf15bit:
    case pf16bit: return static_cast<uint32_t>(row[2 * x] | (row[2 * x + 1] << 8));
    case pf24bit: {
      const uint8_t* p = row + 3 * x;
      return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
    }
    default: {
      const uint8_t* p = row + 4 * x;
      return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
    }
  }
}

inline void WriteRaw(uint8_t* row, int x, TPixelFormat pf, uint32_t v) {
  switch (pf) {
    case pf1bit: {
      const uint8_t bit = static_cast<uint8_t>(0x80u >> (x & 7));
      if (v & 1) row[x >> 3] |= bit;
      else row[x >> 3] &= static_cast<uint8_t>(~bit);
      return;
    }
    case pf4bit: {
      uint8_t& b = row[x >> 1];
      if (x & 1) b = static_cast<uint8_t>((b & 0xF0) | (v & 0x0F));
      else b = static_cast<uint8_t>((b & 0x0F) | ((v & 0x0F) << 4));
      return;
    }
    case pf8bit: row[x] = static_cast<uint8_t>(v); return;
    case pf15bit:
    case pf16bit:
      row[2 * x] = static_cast<uint8_t>(v);
      row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
      return;
    case pf24bit: {
      uint8_t* p = row + 3 * x;
      p[0] = static_cast<uint8_t>(v);
      p[1] = static_cast<uint8_t>(v >> 8);
      p[2] = static_cast<uint8_t>(v >> 16);
      return;
    }
    default: {
      uint8_t* p = row + 4 * x;
      p[0] = static_cast<uint8_t>(v);
      p[1] = static_cast<uint8_t>(v >> 8);
      p[2] = static_cast<uint8_t>(v >> 16);
      p[3] = 0;
      return;
    }
  }
}

// 5- and 6-bit channels widen by repeating their top bits, so full intensity
// stays 255.
inline uint32_t Expand5(uint32_t v) { return (v << 3) | (v >> 2); }
inline uint32_t Expand6(uint32_t v) { return (v << 2) | (v >> 4); }

// Stored value of a non-indexed format for an RGB colour (red in the low byte).
inline uint32_t PackColor(TColor c, TPixelFormat pf) {
  const uint32_t r = static_cast<uint32_t>(c) & 0xFF, g = (static_cast<uint32_t>(c) >> 8) & 0xFF,
                 b = (static_cast<uint32_t>(c) >> 16) & 0xFF;
  switch (pf) {
    case pf15bit: return ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3);
    case pf16bit: return ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3);
    default: return b | (g << 8) | (r << 16);
  }
}

inline TColor UnpackColor(uint32_t v, TPixelFormat pf) {
  uint32_t r, g, b;
  switch (pf) {
    case pf15bit:
      r = Expand5((v >> 10) & 31);
      g = Expand5((v >> 5) & 31);
      b = Expand5(v & 31);
      break;
    case pf16bit:
      r = Expand5((v >> 11) & 31);
      g = Expand6((v >> 5) & 63);
      b = Expand5(v & 31);
      break;
    default:
      b = v & 0xFF;
      g = (v >> 8) & 0xFF;
      r = (v >> 16) & 0xFF;
      break;
  }
  return static_cast<TColor>(r | (g << 8) | (b << 16));
}

inline bool Indexed(TPixelFormat pf) { return pf == pf1bit || pf == pf4bit || pf == pf8bit; }

inline TColor EntryColor(const TPaletteEntry& e) {
  return static_cast<TColor>(e.peRed | (e.peGreen << 8) | (e.peBlue << 16));
}

// Colour of pixel x; an index past the palette reads as black.
inline TColor ReadColor(const uint8_t* row, int x, TPixelFormat pf, const std::vector<TPaletteEntry>& pal) {
  const uint32_t v = ReadRaw(row, x, pf);
  if (Indexed(pf)) return v < pal.size() ? EntryColor(pal[v]) : clBlack;
  return UnpackColor(v, pf);
}

// Nearest entry by squared RGB distance, the first on a tie (as the Windows
// nearest-palette-index call); -1 for an empty palette.
inline int NearestPaletteIndex(const TPaletteEntry* pal, int count, TColor c) {
  const int r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
  int best = -1;
  int bestDist = 1 << 30;
  for (int i = 0; i < count; ++i) {
    const int dr = pal[i].peRed - r, dg = pal[i].peGreen - g, db = pal[i].peBlue - b;
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDist) {
      bestDist = d;
      best = i;
      if (d == 0) break;
    }
  }
  return best;
}

// Nearest-index lookups with a small direct-mapped cache: converting an image
// repeats few colours many times.
class NearestCache {
 public:
  NearestCache(const TPaletteEntry* pal, int count) : FPal(pal), FCount(count) {}
  int Find(TColor c) {
    if (!FReady) {
      // Filled on first use: most copies never look a colour up.
      FKeys.fill(-1);
      FReady = true;
    }
    c &= 0xFFFFFF;
    const uint32_t h = (static_cast<uint32_t>(c) * 2654435761u) >> 20;  // 12 bits
    if (FKeys[h] == c) return FValues[h];
    int i = NearestPaletteIndex(FPal, FCount, c);
    if (i < 0) i = 0;
    FKeys[h] = c;
    FValues[h] = i;
    return i;
  }

 private:
  const TPaletteEntry* FPal;
  int FCount;
  bool FReady = false;
  std::array<int32_t, 4096> FKeys;
  std::array<int32_t, 4096> FValues;
};

inline void FillRow(uint8_t* row, int x, int n, TPixelFormat pf, uint32_t v) {
  switch (pf) {
    case pf8bit: std::memset(row + x, static_cast<int>(v), static_cast<size_t>(n)); return;
    case pf32bit: {
      uint32_t* p = reinterpret_cast<uint32_t*>(row) + x;
      const uint32_t word = v & 0xFFFFFF;
      for (int i = 0; i < n; ++i) std::memcpy(p + i, &word, 4);
      return;
    }
    default:
      for (int i = 0; i < n; ++i) WriteRaw(row, x + i, pf, v);
      return;
  }
}

// Copies pixels between rows of two bitmaps, converting formats.
class PixelConverter {
 public:
  PixelConverter(const TBitmap& src, TBitmap& dst)
      : FSrcPf(src.PixelFormat() == pfDevice ? pf32bit : src.PixelFormat()),
        FDstPf(dst.PixelFormat() == pfDevice ? pf32bit : dst.PixelFormat()),
        FSrcPal(src.Palette()),
        FCache(dst.Palette().data(), static_cast<int>(dst.Palette().size())) {
    FRawCopy = FSrcPf == FDstPf && (!Indexed(FSrcPf) || src.Palette() == dst.Palette());
    FBytes = FRawCopy && BitsPerPixel(FSrcPf) >= 8 ? BitsPerPixel(FSrcPf) / 8 : 0;
  }

  uint32_t Convert(uint32_t raw) {
    if (FRawCopy) return raw;
    const TColor c = Indexed(FSrcPf) ? (raw < FSrcPal.size() ? EntryColor(FSrcPal[raw]) : clBlack)
                                     : UnpackColor(raw, FSrcPf);
    return Indexed(FDstPf) ? static_cast<uint32_t>(FCache.Find(c)) : PackColor(c, FDstPf);
  }

  // n pixels from source x = sx on to target x = dx.
  void Row(uint8_t* d, int dx, const uint8_t* s, int sx, int n) {
    if (FBytes) {
      std::memmove(d + static_cast<size_t>(dx) * FBytes, s + static_cast<size_t>(sx) * FBytes,
                   static_cast<size_t>(n) * FBytes);
      return;
    }
    if (FSrcPf == pf24bit && FDstPf == pf32bit) {
      const uint8_t* p = s + 3 * sx;
      uint8_t* q = d + 4 * dx;
      for (int i = 0; i < n; ++i, p += 3, q += 4) {
        q[0] = p[0];
        q[1] = p[1];
        q[2] = p[2];
        q[3] = 0;
      }
      return;
    }
    if (FSrcPf == pf32bit && FDstPf == pf24bit) {
      const uint8_t* p = s + 4 * sx;
      uint8_t* q = d + 3 * dx;
      for (int i = 0; i < n; ++i, p += 4, q += 3) {
        q[0] = p[0];
        q[1] = p[1];
        q[2] = p[2];
      }
      return;
    }
    for (int i = 0; i < n; ++i) WriteRaw(d, dx + i, FDstPf, Convert(ReadRaw(s, sx + i, FSrcPf)));
  }

  // Target pixels dx .. dx+n-1 take source columns cols[i]; -1 leaves a pixel alone.
  // `straight`: cols[i] == cols[0] + i for every i (a purely vertical
  // stretch, as the fold's), copied as one block per row.
  void GatherRow(uint8_t* d, int dx, const uint8_t* s, const int* cols, int n, bool straight) {
    if (straight && FBytes) {
      std::memmove(d + static_cast<size_t>(dx) * FBytes, s + static_cast<size_t>(cols[0]) * FBytes,
                   static_cast<size_t>(n) * FBytes);
      return;
    }
    if (FBytes == 4) {
      for (int i = 0; i < n; ++i)
        if (cols[i] >= 0) std::memcpy(d + 4 * (dx + i), s + 4 * cols[i], 4);
      return;
    }
    if (FBytes == 3) {
      for (int i = 0; i < n; ++i)
        if (cols[i] >= 0) std::memcpy(d + 3 * (dx + i), s + 3 * cols[i], 3);
      return;
    }
    for (int i = 0; i < n; ++i)
      if (cols[i] >= 0) WriteRaw(d, dx + i, FDstPf, Convert(ReadRaw(s, cols[i], FSrcPf)));
  }

 private:
  TPixelFormat FSrcPf, FDstPf;
  const std::vector<TPaletteEntry>& FSrcPal;
  NearestCache FCache;
  bool FRawCopy = false;
  int FBytes = 0;
};

}  // namespace kl
