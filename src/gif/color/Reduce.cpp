#include "gif/color/Reduce.h"

#include <algorithm>
#include <cstring>
#include <vector>

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
// `bitmap` and `reader` (24-bit) are only used by the octree methods.
const TPalette* PaletteFor(int method, TBitmap* bitmap, TDIB* reader, int reductionBits,
                           const TPalette* callers, std::unique_ptr<TPalette>& owned) {
  switch (method) {
    case ReduceSystem20: return &PlatformSystemPalette();
    case ReduceHalftone: owned = HalftonePalette(); break;
    case ReduceGray4: owned = Gray4Palette(); break;
    case ReduceMonochrome: owned = MonochromePalette(); break;
    case ReduceGray256: owned = Gray256Palette(); break;
    case ReduceNetscape216: owned = NetscapePalette(); break;
    case ReduceOctree: owned = OctreePalette(*reader, OctreeColorsForBits(reductionBits), 8, false); break;
    case ReduceOctreeSystem: owned = BitmapOctreePalette(*bitmap, 256, 8, true); break;
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

namespace {

// 24-bit rows (blue, green, red) of a bitmap that is read as it is: a 24-bit
// bitmap's own rows, or 32-bit rows repacked one at a time.
class Rows24 {
 public:
  explicit Rows24(const TBitmap& bitmap) : FBitmap(bitmap), FRepack(bitmap.PixelFormat() != pf24bit) {
    if (FRepack) FRow.resize(3 * static_cast<size_t>(std::max(bitmap.Width(), 0)));
  }
  static bool CanRead(const TBitmap& bitmap) {
    const TPixelFormat pf = bitmap.PixelFormat();
    return pf == pf24bit || pf == pf32bit || pf == pfDevice;
  }
  const uint8_t* Row(int y) {
    const uint8_t* src = FBitmap.ScanLine(y);
    if (!FRepack) return src;
    uint8_t* dst = FRow.data();
    for (size_t x = 0, n = FRow.size() / 3; x < n; ++x, src += 4, dst += 3) {
      dst[0] = src[0];
      dst[1] = src[1];
      dst[2] = src[2];
    }
    return FRow.data();
  }

 private:
  const TBitmap& FBitmap;
  bool FRepack;
  std::vector<uint8_t> FRow;
};

// Steps common to both entry points once the palette is known: lookup,
// engine, and the serpentine walk writing indices into the result.
std::unique_ptr<TBitmap> ReduceRows(Rows24& rows, int width, int height, int method, int ditherMode,
                                    const TPalette* colors) {
  auto result = std::make_unique<TBitmap>();
  if (!colors) return result;
  std::unique_ptr<TColorLookup> lookup = LookupFor(method)(colors);
  if (lookup->ColorCount() == 0) return result;
  if (ditherMode < 0 || ditherMode > DitherBurkes) return result;
  std::unique_ptr<TDitherEngine> engine = kEngines[ditherMode](width, *lookup);
  if (width <= 0 || height <= 0) return result;  // an empty source gives an empty result

  // The result is produced in one pass, so its rows are written in place
  // rather than through a TDIBWriter's own block: same bitmap, one block less.
  PrepareIndexedBitmap(*result, width, height, colors);
  const bool plain = !engine->DiffusesError();
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = rows.Row(y);
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

std::unique_ptr<TBitmap> TrueColorCopy(const TBitmap& bitmap) {
  auto result = std::make_unique<TBitmap>(bitmap);
  result->SetPixelFormat(pf24bit);
  return result;
}

}  // namespace

std::unique_ptr<TBitmap> ReduceColors(TBitmap& bitmap, int method, int ditherMode, int reductionBits,
                                      const TPalette* palette) {
  if (method == ReduceNone) return TrueColorCopy(bitmap);
  TDIBReader reader(bitmap, pf24bit);
  std::unique_ptr<TPalette> owned;
  const TPalette* colors = PaletteFor(method, &bitmap, &reader, reductionBits, palette, owned);
  Rows24 rows(bitmap);
  return ReduceRows(rows, bitmap.Width(), bitmap.Height(), method, ditherMode, colors);
}

std::unique_ptr<TBitmap> ReduceColorsOf(const TBitmap& bitmap, int method, int ditherMode, int reductionBits,
                                        const TPalette* palette) {
  if (method == ReduceNone) return TrueColorCopy(bitmap);
  // The octree methods read the whole bitmap first, and other formats need a
  // conversion: both work on a converted copy.
  if (method == ReduceOctree || method == ReduceOctreeSystem || !Rows24::CanRead(bitmap)) {
    TBitmap copy(bitmap);
    return ReduceColors(copy, method, ditherMode, reductionBits, palette);
  }
  std::unique_ptr<TPalette> owned;
  const TPalette* colors = PaletteFor(method, nullptr, nullptr, reductionBits, palette, owned);
  Rows24 rows(bitmap);
  return ReduceRows(rows, bitmap.Width(), bitmap.Height(), method, ditherMode, colors);
}
