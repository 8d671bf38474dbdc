// The fixed palettes of the colour reduction (4 grays, black and white, 256
// grays), the halftone and system palettes borrowed from the platform, and
// small helpers to build and read palette objects. The 216-colour cube,
// NetscapePalette, lives with the document model in gif/Palettes.h.
#pragma once

#include <memory>
#include <vector>

#include "platform/Graphics.h"

// Levels 0x00, 0x80, 0xC0, 0xFF; flags PC_NOCOLLAPSE.
std::unique_ptr<TPalette> Gray4Palette();
// (0, 0, 0) and (0xFF, 0xFF, 0xFF); flags PC_NOCOLLAPSE.
std::unique_ptr<TPalette> MonochromePalette();
// Entry i = (i, i, i); flags PC_NOCOLLAPSE.
std::unique_ptr<TPalette> Gray256Palette();
// A copy of the platform's halftone palette (256 entries).
std::unique_ptr<TPalette> HalftonePalette();
// The 20 static colours of the default system palette: entries 0-9 are the
// low ten, 10-19 the high ten.
const std::vector<TPaletteEntry>& StaticSystemColors();

std::unique_ptr<TPalette> MakePalette(std::vector<TPaletteEntry> entries);
// Copies up to `capacity` entries of the palette (none for null); returns the count.
int CopyPaletteEntries(const TPalette* palette, TPaletteEntry* out, int capacity);
