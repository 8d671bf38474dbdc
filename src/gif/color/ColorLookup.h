// Colour lookups: which palette index stands for a 24-bit colour, and what
// colour that index really has. The reduction and the dithering engines ask
// one lookup per pixel; the kind is picked at run time through a
// TColorLookupClass (a "virtual constructor").
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Graphics.h"

class TColorLookup {
 public:
  explicit TColorLookup(const TPalette* palette);
  virtual ~TColorLookup() = default;
  TColorLookup(const TColorLookup&) = delete;
  TColorLookup& operator=(const TColorLookup&) = delete;

  // How many palette colours the lookup can return; 0 means the palette gave
  // nothing and the lookup must not be used.
  int ColorCount() const { return FColorCount; }

  // Index for (Red, Green, Blue); R, G, B receive that index's palette colour.
  virtual uint8_t Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                         uint8_t& B) = 0;

  // Indices for a row of 24-bit pixels (blue, green, red), visited in the
  // given direction (+1 from the left, -1 from the right) so that lookups that
  // remember earlier answers see the same sequence as pixel-by-pixel calls.
  virtual void LookupRow(const uint8_t* bgr, uint8_t* indices, int count, int direction);

 protected:
  int FColorCount = 0;
};

// Nearest colour (city-block distance) over any palette of up to 256 entries,
// remembered per 15-bit colour cell: the first answer for a cell is reused for
// every later colour of that cell.
class TFastColorLookup : public TColorLookup {
 public:
  explicit TFastColorLookup(const TPalette* palette);
  uint8_t Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                 uint8_t& B) override;
  void LookupRow(const uint8_t* bgr, uint8_t* indices, int count, int direction) override;

  static int Key(uint8_t r, uint8_t g, uint8_t b) { return (r >> 3) | ((g >> 3) << 5) | ((b >> 3) << 10); }

 private:
  int Search(uint8_t r, uint8_t g, uint8_t b) const;
  uint8_t IndexOf(uint8_t r, uint8_t g, uint8_t b) {
    int16_t& cell = (*FInverseTable)[Key(r, g, b)];
    if (cell < 0) cell = static_cast<int16_t>(Search(r, g, b));
    return static_cast<uint8_t>(cell);
  }

  std::array<TPaletteEntry, 256> FPaletteEntries{};
  // The entries' channels apart, so that a search computes its distances in
  // one straight pass the compiler can vectorise.
  std::array<int16_t, 256> FReds{}, FGreens{}, FBlues{};
  std::unique_ptr<std::array<int16_t, 32768>> FInverseTable;
};

// The 6 x 6 x 6 cube of NetscapePalette: level (v + 3) div 51 per channel,
// index 36 r + 6 g + b. Ignores the palette it is given.
class TNetscapeColorLookup : public TColorLookup {
 public:
  explicit TNetscapeColorLookup(const TPalette* palette = nullptr);
  uint8_t Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                 uint8_t& B) override;
  void LookupRow(const uint8_t* bgr, uint8_t* indices, int count, int direction) override;
};

// 256 grays of Gray256Palette: Y = (77 R + 150 G + 29 B) shr 8.
class TGrayScaleLookup : public TColorLookup {
 public:
  explicit TGrayScaleLookup(const TPalette* palette = nullptr);
  uint8_t Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                 uint8_t& B) override;
  void LookupRow(const uint8_t* bgr, uint8_t* indices, int count, int direction) override;
};

// Black and white of MonochromePalette: white when 77 R + 150 G + 29 B > 32512.
class TMonochromeLookup : public TColorLookup {
 public:
  explicit TMonochromeLookup(const TPalette* palette = nullptr);
  uint8_t Lookup(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                 uint8_t& B) override;
  void LookupRow(const uint8_t* bgr, uint8_t* indices, int count, int direction) override;
};

// Class reference: creates a lookup of one kind over a palette.
using TColorLookupClass = std::unique_ptr<TColorLookup> (*)(const TPalette* palette);

template <class T>
std::unique_ptr<TColorLookup> CreateColorLookup(const TPalette* palette) {
  return std::make_unique<T>(palette);
}
