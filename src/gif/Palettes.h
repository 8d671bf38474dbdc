// Fixed palettes shared by the document model and the colour conversion.
#pragma once

#include <memory>

#include "platform/Graphics.h"

// The 6 x 6 x 6 colour cube: entry 36 r + 6 g + b is (51 r, 51 g, 51 b), flags 0.
// Entry 0 is black, 215 white.
std::unique_ptr<TPalette> NetscapePalette();
