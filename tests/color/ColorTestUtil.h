// Small helpers shared by the colour conversion tests.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "platform/Graphics.h"

struct Rgb {
  uint8_t r, g, b;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// A 24-bit bitmap of width x height from pixels given row by row, top first.
inline TBitmap Make24(int width, int height, const std::vector<Rgb>& pixels) {
  TBitmap bmp(width, height, pf24bit);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = bmp.ScanLine(y);
    for (int x = 0; x < width; ++x) {
      const Rgb& p = pixels[static_cast<size_t>(y) * width + x];
      row[3 * x] = p.b;
      row[3 * x + 1] = p.g;
      row[3 * x + 2] = p.r;
    }
  }
  return bmp;
}

inline std::vector<Rgb> RandomPixels(std::mt19937& rng, int count) {
  std::uniform_int_distribution<int> byte(0, 255);
  std::vector<Rgb> out(static_cast<size_t>(count));
  for (auto& p : out) p = Rgb{uint8_t(byte(rng)), uint8_t(byte(rng)), uint8_t(byte(rng))};
  return out;
}

// The index bytes of an 8-bit bitmap, row by row, without padding.
inline std::vector<uint8_t> Indices(TBitmap& bmp) {
  std::vector<uint8_t> out;
  for (int y = 0; y < bmp.Height(); ++y) {
    const uint8_t* row = bmp.ScanLine(y);
    out.insert(out.end(), row, row + bmp.Width());
  }
  return out;
}

inline TPalette PaletteOf(std::initializer_list<Rgb> colors) {
  std::vector<TPaletteEntry> e;
  for (const Rgb& c : colors) e.push_back(TPaletteEntry{c.r, c.g, c.b, 0});
  return TPalette(std::move(e));
}
