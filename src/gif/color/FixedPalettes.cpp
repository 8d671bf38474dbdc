#include "gif/color/FixedPalettes.h"

#include <algorithm>

namespace {

std::unique_ptr<TPalette> GrayLevels(std::initializer_list<int> levels) {
  std::vector<TPaletteEntry> entries;
  entries.reserve(levels.size());
  for (int v : levels) {
    const auto b = static_cast<uint8_t>(v);
    entries.push_back(TPaletteEntry{b, b, b, PC_NOCOLLAPSE});
  }
  return MakePalette(std::move(entries));
}

}  // namespace

std::unique_ptr<TPalette> Gray4Palette() { return GrayLevels({0x00, 0x80, 0xC0, 0xFF}); }

std::unique_ptr<TPalette> MonochromePalette() { return GrayLevels({0x00, 0xFF}); }

std::unique_ptr<TPalette> Gray256Palette() {
  std::vector<TPaletteEntry> entries(256);
  for (int i = 0; i < 256; ++i) {
    const auto b = static_cast<uint8_t>(i);
    entries[i] = TPaletteEntry{b, b, b, PC_NOCOLLAPSE};
  }
  return MakePalette(std::move(entries));
}

std::unique_ptr<TPalette> HalftonePalette() { return std::make_unique<TPalette>(PlatformHalftonePalette()); }

const std::vector<TPaletteEntry>& StaticSystemColors() { return PlatformSystemPalette().Entries(); }

std::unique_ptr<TPalette> MakePalette(std::vector<TPaletteEntry> entries) {
  return std::make_unique<TPalette>(std::move(entries));
}

int CopyPaletteEntries(const TPalette* palette, TPaletteEntry* out, int capacity) {
  if (!palette) return 0;
  const auto& entries = palette->Entries();
  const int n = std::min(static_cast<int>(entries.size()), capacity);
  std::copy_n(entries.begin(), n, out);
  return n;
}
