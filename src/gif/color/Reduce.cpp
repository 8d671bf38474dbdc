#include "gif/color/Reduce.h"

#include <algorithm>
#include <cstring>

#include "gif/Palettes.h"
#include "gif/color/ColorLookup.h"
#include "gif/color/ColorMessages.h"
#include "gif/color/DIB.h"
#include "gif/color/DitherEngine.h"
#include "gif/color/FixedPalettes.h"
#include "gif/color/Octree.h"

namespace {

constexpr TDitherEngineClass kEngines[] = {
    &CreateDitherEngine<TDitherEngine>,         &CreateDitherEngine<TFloydSteinbergDitherer>,
    &CreateDitherEngine<TStuckiDitherer>,       &CreateDitherEngine<TSierraDitherer>,
    &CreateDitherEngine<TJaJuNiDitherer>,       &CreateDitherEngine<TSteveArcheDitherer>,
    &CreateDitherEngine<TBurkesDitherer>,
};

TColorLookupClass LookupFor(int method) {
  switch (method) {
    case ReduceMonochrome: return &CreateColorLookup<TMonochromeLookup>;
    case ReduceGray256: return &CreateColorLookup<TGrayScaleLookup>;
    case ReduceNetscape216: return &CreateColorLookup<TNetscapeColorLookup>;
    default: return &CreateColorLookup<TFastColorLookup>;
  }
}

// The method's palette; null for a method that is not one. The system
// palette of method 1 is borrowed, every other palette is owned by `owned`.
const TPalette* PaletteFor(int method, TBitmap& bitmap, TDIB& reader, int reductionBits,
                           const TPalette* callers, std::unique_ptr<TPalette>& owned) {
  switch (method) {
    case ReduceSystem20: return &PlatformSystemPalette();
    case ReduceHalftone: owned = HalftonePalette(); break;
    case ReduceGray4: owned = Gray4Palette(); break;
    case ReduceMonochrome: owned = MonochromePalette(); break;
    case ReduceGray256: owned = Gray256Palette(); break;
    case ReduceNetscape216: owned = NetscapePalette(); break;
    case ReduceOctree: owned = OctreePalette(reader, OctreeColorsForBits(reductionBits), 8, false); break;
    case ReduceOctreeSystem: owned = BitmapOctreePalette(bitmap, 256, 8, true); break;
    case ReducePalette:
      if (callers) owned = std::make_unique<TPalette>(*callers);
      break;
    default: return nullptr;
  }
  return owned.get();
}

}  // namespace

int OctreeColorsForBits(int reductionBits) { return 1 << std::clamp(reductionBits, 1, 8); }

const char* ReductionArgumentsProblem(int method, int ditherMode, const TPalette* palette) {
  if (method < 0 || method > ReducePalette) return gifmsg::BadColorReduction;
  if (method == ReduceNone) return nullptr;
  if (method == ReducePalette && (!palette || palette->Count() == 0)) return gifmsg::NoReductionColors;
  if (ditherMode < 0 || ditherMode > DitherBurkes) return gifmsg::BadDitherMode;
  return nullptr;
}

std::unique_ptr<TBitmap> ReduceColors(TBitmap& bitmap, int method, int ditherMode, int reductionBits,
                                      const TPalette* palette) {
  auto result = std::make_unique<TBitmap>();
  if (method == ReduceNone) {
    result->Assign(bitmap);
    result->SetPixelFormat(pf24bit);
    return result;
  }
  TDIBReader reader(bitmap, pf24bit);
  std::unique_ptr<TPalette> owned;
  const TPalette* colors = PaletteFor(method, bitmap, reader, reductionBits, palette, owned);
  if (!colors) return result;
  std::unique_ptr<TColorLookup> lookup = LookupFor(method)(colors);
  if (lookup->ColorCount() == 0) return result;
  if (ditherMode < 0 || ditherMode > DitherBurkes) return result;
  const int width = bitmap.Width(), height = bitmap.Height();
  std::unique_ptr<TDitherEngine> engine = kEngines[ditherMode](width, *lookup);
  if (width <= 0 || height <= 0) return result;  // an empty source gives an empty result

  // The result is produced in one pass, so its rows are written in place
  // rather than through a TDIBWriter's own block: same bitmap, one block less.
  PrepareIndexedBitmap(*result, width, height, colors);
  const bool plain = !engine->DiffusesError();
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = reader.Scanline(y);
    uint8_t* dst = result->ScanLine(y);
    if (plain) {
      // The base engine only looks up: a row at a time, in the engine's direction.
      lookup->LookupRow(src, dst, width, engine->ScanDirection());
    } else {
      uint8_t r, g, b;
      for (int x = engine->CurrentColumn(); x >= 0 && x < width; x = engine->CurrentColumn()) {
        const uint8_t* p = src + 3 * x;
        dst[x] = engine->DitherPixel(p[2], p[1], p[0], r, g, b);
      }
    }
    engine->EndRow();
  }
  return result;
}
