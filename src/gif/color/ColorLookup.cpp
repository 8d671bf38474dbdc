#include "gif/color/ColorLookup.h"

#include <algorithm>
#include <cstdlib>

#include "gif/color/FixedPalettes.h"

TColorLookup::TColorLookup(const TPalette*) {}

void TColorLookup::LookupRow(const uint8_t* bgr, uint8_t* indices, int count, int direction) {
  uint8_t r, g, b;
  if (direction >= 0) {
    for (int i = 0; i < count; ++i, bgr += 3) indices[i] = Lookup(bgr[2], bgr[1], bgr[0], r, g, b);
  } else {
    bgr += 3 * (count - 1);
    for (int i = count - 1; i >= 0; --i, bgr -= 3) indices[i] = Lookup(bgr[2], bgr[1], bgr[0], r, g, b);
  }
}

// --- TFastColorLookup ---------------------------------------------------------

TFastColorLookup::TFastColorLookup(const TPalette* palette)
    : TColorLookup(palette), FInverseTable(std::make_unique<std::array<int16_t, 32768>>()) {
  const int n = CopyPaletteEntries(palette, FPaletteEntries.data(), 256);
  FColorCount = n;
  // Unused slots: at least 3 x (1000 - 255) away from any colour, never chosen.
  FReds.fill(1000);
  FGreens.fill(1000);
  FBlues.fill(1000);
  for (int i = 0; i < n; ++i) {
    FReds[i] = FPaletteEntries[i].peRed;
    FGreens[i] = FPaletteEntries[i].peGreen;
    FBlues[i] = FPaletteEntries[i].peBlue;
  }
  FInverseTable->fill(-1);
  // Prefill the cells of the palette's own colours; the lowest index of a cell wins.
  for (int i = 0; i < n; ++i) {
    const TPaletteEntry& e = FPaletteEntries[i];
    int16_t& cell = (*FInverseTable)[Key(e.peRed, e.peGreen, e.peBlue)];
    if (cell < 0) cell = static_cast<int16_t>(i);
  }
}

int TFastColorLookup::Search(uint8_t r, uint8_t g, uint8_t b) const {
  // City-block distance to every slot (unused slots sit far outside the
  // colour cube). Keys of distance shl 8 or index make the smallest key the
  // nearest entry with the lowest index among equals; fixed-length passes with
  // independent minima keep the search short.
  std::array<uint32_t, 256> key;
  for (int i = 0; i < 256; ++i)
    key[i] = static_cast<uint32_t>(std::abs(FReds[i] - r) + std::abs(FGreens[i] - g) + std::abs(FBlues[i] - b)) << 8 |
             static_cast<uint32_t>(i);
  uint32_t m[8] = {~0u, ~0u, ~0u, ~0u, ~0u, ~0u, ~0u, ~0u};
  for (int i = 0; i < 256; i += 8)
    for (int j = 0; j < 8; ++j) m[j] = std::min(m[j], key[i + j]);
  uint32_t best = m[0];
  for (int j = 1; j < 8; ++j) best = std::min(best, m[j]);
  return static_cast<int>(best & 0xFF);
}

uint8_t TFastColorLookup::Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                                 uint8_t& B) {
  const uint8_t index = IndexOf(Red, Green, Blue);
  const TPaletteEntry& e = FPaletteEntries[index];
  R = e.peRed;
  G = e.peGreen;
  B = e.peBlue;
  return index;
}

void TFastColorLookup::LookupRow(const uint8_t* bgr, uint8_t* indices, int count, int direction) {
  if (direction >= 0) {
    for (int i = 0; i < count; ++i, bgr += 3) indices[i] = IndexOf(bgr[2], bgr[1], bgr[0]);
  } else {
    bgr += 3 * (count - 1);
    for (int i = count - 1; i >= 0; --i, bgr -= 3) indices[i] = IndexOf(bgr[2], bgr[1], bgr[0]);
  }
}

// --- Arithmetic lookups --------------------------------------------------------

namespace {

struct CubeTables {
  // Level (v + 3) div 51 of a channel value, pre-multiplied for red and green.
  std::array<uint8_t, 256> Red{}, Green{}, Blue{};
  CubeTables() {
    for (int v = 0; v < 256; ++v) {
      const int level = (v + 3) / 51;
      Red[v] = static_cast<uint8_t>(36 * level);
      Green[v] = static_cast<uint8_t>(6 * level);
      Blue[v] = static_cast<uint8_t>(level);
    }
  }
};

const CubeTables& Cube() {
  static const CubeTables tables;
  return tables;
}

inline int Luma(int r, int g, int b) { return 77 * r + 150 * g + 29 * b; }

}  // namespace

TNetscapeColorLookup::TNetscapeColorLookup(const TPalette* palette) : TColorLookup(palette) {
  FColorCount = 216;
}

uint8_t TNetscapeColorLookup::Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                                     uint8_t& B) {
  const int r = (Red + 3) / 51, g = (Green + 3) / 51, b = (Blue + 3) / 51;
  R = static_cast<uint8_t>(51 * r);
  G = static_cast<uint8_t>(51 * g);
  B = static_cast<uint8_t>(51 * b);
  return static_cast<uint8_t>(36 * r + 6 * g + b);
}

void TNetscapeColorLookup::LookupRow(const uint8_t* bgr, uint8_t* indices, int count, int) {
  // Stateless, so the visiting order does not matter.
  const CubeTables& t = Cube();
  for (int i = 0; i < count; ++i, bgr += 3)
    indices[i] = static_cast<uint8_t>(t.Blue[bgr[0]] + t.Green[bgr[1]] + t.Red[bgr[2]]);
}

TGrayScaleLookup::TGrayScaleLookup(const TPalette* palette) : TColorLookup(palette) {
  FColorCount = 256;
}

uint8_t TGrayScaleLookup::Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                                 uint8_t& B) {
  const uint8_t y = static_cast<uint8_t>(Luma(Red, Green, Blue) >> 8);
  R = G = B = y;
  return y;
}

void TGrayScaleLookup::LookupRow(const uint8_t* bgr, uint8_t* indices, int count, int) {
  for (int i = 0; i < count; ++i, bgr += 3)
    indices[i] = static_cast<uint8_t>(Luma(bgr[2], bgr[1], bgr[0]) >> 8);
}

TMonochromeLookup::TMonochromeLookup(const TPalette* palette) : TColorLookup(palette) {
  FColorCount = 2;
}

uint8_t TMonochromeLookup::Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                                  uint8_t& B) {
  const bool white = Luma(Red, Green, Blue) > 32512;
  R = G = B = white ? 255 : 0;
  return white ? 1 : 0;
}

void TMonochromeLookup::LookupRow(const uint8_t* bgr, uint8_t* indices, int count, int) {
  for (int i = 0; i < count; ++i, bgr += 3) indices[i] = Luma(bgr[2], bgr[1], bgr[0]) > 32512 ? 1 : 0;
}
