// Colour reduction: any bitmap to a new 8-bit bitmap whose colour table is
// the chosen method's palette followed by black up to 256 entries. A method
// picks the palette and the lookup; a dither mode picks the engine.
#pragma once

#include <cstdint>
#include <memory>

#include "gif/GIFImage.h"  // TColorReduction and TDitherMode values
#include "platform/Graphics.h"

// Colour count that method 7 asks the octree for: ReductionBits taken as the
// nearest of 1 to 8 (a colour table holds at most 256 entries), so 2 to 256.
int OctreeColorsForBits(int reductionBits);

// Returns a new bitmap: a 24-bit copy for method 0 (the source keeps its
// format); otherwise an 8-bit bitmap with a 256-entry colour table, the source
// being converted in place to 24 bits per pixel. Rows are scanned in
// serpentine order. An empty bitmap comes back when the arguments give it
// nothing to do: a method above 9, a dither mode above 6, or a palette without
// colours (method 9 without `palette`). `palette` is only read by method 9.
std::unique_ptr<TBitmap> ReduceColors(TBitmap& bitmap, int method, int ditherMode, int reductionBits,
                                      const TPalette* palette);

// The same reduction of a bitmap that stays as it is: 24- and 32-bit bitmaps
// are read in place, anything else is converted in a copy. This is what the
// frame import uses, so that adding a capture leaves the capture alone.
std::unique_ptr<TBitmap> ReduceColorsOf(const TBitmap& bitmap, int method, int ditherMode, int reductionBits,
                                        const TPalette* palette);

// Why ReduceColors would return an empty bitmap for these arguments, as a
// message text; nullptr when it would reduce.
const char* ReductionArgumentsProblem(int method, int ditherMode, const TPalette* palette);
