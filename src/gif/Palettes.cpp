#include "gif/Palettes.h"

#include <vector>

std::unique_ptr<TPalette> NetscapePalette() {
  std::vector<TPaletteEntry> entries;
  entries.reserve(216);
  // Red varies slowest, blue fastest, so index = 36 r + 6 g + b.
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        entries.push_back(TPaletteEntry{static_cast<uint8_t>(51 * r), static_cast<uint8_t>(51 * g),
                                        static_cast<uint8_t>(51 * b), 0});
  return std::make_unique<TPalette>(std::move(entries));
}
