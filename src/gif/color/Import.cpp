// Bitmap import into a frame (TGIFSubImage::Assign from a bitmap), transparency
// from a mask, and the frame's rendering back into a bitmap.
#include <algorithm>
#include <array>
#include <cstring>

#include "gif/GIFImage.h"
#include "gif/color/ColorMessages.h"
#include "gif/color/DIB.h"
#include "gif/color/DitherEngine.h"
#include "gif/color/Reduce.h"

namespace {

constexpr int kProgressRows = 32;  // running progress every so many rows

// Start, running and end notices of one long operation of a frame. The end
// notice goes out in any case: 100 % when finished, 0 % when left by an error.
class FrameProgress {
 public:
  FrameProgress(TGIFSubImage& frame, const char* message) : FFrame(frame), FMessage(message) {
    Send(psStarting, 0);
  }
  // Left by an error: the end notice with 0 %. A handler failing now must not
  // replace the error already on its way.
  ~FrameProgress() {
    if (FDone) return;
    try {
      Send(psEnding, 0);
    } catch (...) {
    }
  }
  FrameProgress(const FrameProgress&) = delete;
  FrameProgress& operator=(const FrameProgress&) = delete;

  void Row(int row, int height) {
    if (row % kProgressRows == 0) Send(psRunning, MulDiv(row, 100, height));
  }
  void Done() {
    FDone = true;
    Send(psEnding, 100);
  }

 private:
  void Send(TProgressStage stage, int percent) {
    if (TGIFImage* image = FFrame.Image()) image->Progress(&FFrame, stage, percent, false, FMessage);
  }
  TGIFSubImage& FFrame;
  const char* FMessage;
  bool FDone = false;
};

// The reduction settings of the frame's document, or a new document's.
struct ReductionSettings {
  int Method, Dither, Bits;
};

ReductionSettings SettingsOf(const TGIFSubImage& frame) {
  if (const TGIFImage* image = frame.Image())
    return {image->ColorReduction(), image->DitherMode(), image->ReductionBits()};
  return {GIFImageDefaults.ColorReduction, GIFImageDefaults.DitherMode, GIFImageDefaults.ReductionBits};
}

TColor ColorOf(uint8_t r, uint8_t g, uint8_t b) { return RGBColor(r, g, b); }

void Import1Bit(TDIB& reader, TGIFSubImage& frame, FrameProgress& progress) {
  frame.ColorMap().ImportPalette(reader.Bitmap().Palette());
  const int w = frame.Width(), h = frame.Height();
  for (int y = 0; y < h; ++y) {
    progress.Row(y, h);
    const uint8_t* src = reader.Scanline(y);
    uint8_t* dst = frame.Data() + static_cast<size_t>(y) * w;
    for (int x = 0; x < w; ++x) dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
  }
}

void Import4Bit(TDIB& reader, TGIFSubImage& frame, FrameProgress& progress) {
  frame.ColorMap().ImportPalette(reader.Bitmap().Palette());
  const int w = frame.Width(), h = frame.Height();
  for (int y = 0; y < h; ++y) {
    progress.Row(y, h);
    const uint8_t* src = reader.Scanline(y);
    uint8_t* dst = frame.Data() + static_cast<size_t>(y) * w;
    for (int x = 0; x < w; ++x) dst[x] = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
  }
}

void Import8Bit(TDIB& reader, TGIFSubImage& frame, FrameProgress& progress) {
  frame.ColorMap().ImportDIBColors(reader.Bitmap());
  const int w = frame.Width(), h = frame.Height();
  for (int y = 0; y < h; ++y) {
    progress.Row(y, h);
    std::memcpy(frame.Data() + static_cast<size_t>(y) * w, reader.Scanline(y), static_cast<size_t>(w));
  }
}

// Builds the colour map from the pixels in order of first appearance. An
// 8-slot cache of recent (colour, index) pairs saves most map searches on
// images of few colours; it never changes the result.
void Import24Bit(TDIB& reader, TGIFSubImage& frame, FrameProgress& progress) {
  struct Slot {
    int32_t Key = 0;
    int Index = -1;  // empty
  };
  std::array<Slot, 8> cache{};
  int p = 0;
  TGIFColorMap& map = frame.ColorMap();
  const int w = frame.Width(), h = frame.Height();
  for (int y = 0; y < h; ++y) {
    progress.Row(y, h);
    const uint8_t* src = reader.Scanline(y);
    uint8_t* dst = frame.Data() + static_cast<size_t>(y) * w;
    for (int x = 0; x < w; ++x, src += 3) {
      const int32_t key = src[0] | (src[1] << 8) | (src[2] << 16);
      int index = -1;
      int s = p;
      do {
        if (cache[s].Index < 0) break;
        if (cache[s].Key == key) {
          index = cache[s].Index;
          p = s;
          break;
        }
        s = (s + 7) & 7;
      } while (s != p);
      if (index < 0) {
        index = map.AddUnique(ColorOf(src[2], src[1], src[0]));  // "Color table overflow" past 256
        p = (p + 1) & 7;
        cache[p] = Slot{key, index};
      }
      dst[x] = static_cast<uint8_t>(index);
    }
  }
}

}  // namespace

void TGIFSubImage::Assign(const TBitmap& Source) {
  if (FBitmap && &Source == FBitmap.get()) {
    // The frame's own rendering: Clear would free it under our feet.
    const TBitmap own(Source);
    Assign(own);
    return;
  }
  Clear();
  if (Source.Empty()) return;
  // The descriptor holds 16-bit sizes; a larger bitmap cannot become a frame.
  if (Source.Width() > 0xFFFF || Source.Height() > 0xFFFF) Error(gifmsg::ImageTooLarge);
  SetBounds(FLeft, FTop, Source.Width(), Source.Height());

  TPixelFormat format = Source.PixelFormat();
  if (format == pf1bit || format == pf4bit || format == pf8bit) {
    // Indexed bitmaps are taken over as they are: their colours become the map.
    NewBitmap();
    FBitmap->Assign(Source);
  } else {
    const ReductionSettings settings = SettingsOf(*this);
    // ReduceColors answers arguments it cannot use with an empty bitmap; say
    // why instead of importing nothing.
    if (const char* problem = ReductionArgumentsProblem(settings.Method, settings.Dither, nullptr))
      Error(problem);
    // The caller's bitmap stays as it is (a reduction would convert it in place).
    std::unique_ptr<TBitmap> reduced =
        ReduceColorsOf(Source, settings.Method, settings.Dither, settings.Bits, nullptr);
    if (reduced->Empty()) Error(gifmsg::NoReductionColors);
    FBitmap = std::move(reduced);
    FBitmapPalette.reset();
    format = FBitmap->PixelFormat();
  }
  if (!FData) NewImage();

  FrameProgress progress(*this, gifmsg::ProgressConverting);
  if (format != pf1bit && format != pf4bit && format != pf8bit) format = pf24bit;
  TDIBReader reader(*FBitmap, format);
  switch (format) {
    case pf1bit: Import1Bit(reader, *this, progress); break;
    case pf4bit: Import4Bit(reader, *this, progress); break;
    case pf8bit: Import8Bit(reader, *this, progress); break;
    default: Import24Bit(reader, *this, progress); break;
  }
  // Our platform bitmaps carry no transparent colour of their own, so there is
  // no source mask to apply here; callers with a mask use ApplyMask.
  progress.Done();
}

void TGIFSubImage::ApplyMask(const TBitmap& Mask) {
  // Black marks an opaque pixel, any other colour a transparent one: read the
  // mask as 24-bit colours so that no palette mapping can turn a dark colour
  // into black. A copy, as the mask may be one of the frame's own bitmaps.
  TBitmap mask(Mask);
  FColorMap->Optimize();
  if (FColorMap->Count() == 0 || FColorMap->Count() >= 256) return;
  const int t = FColorMap->Add(clBlack);
  TDIBReader reader(mask, pf24bit);
  const int w = std::min<int>(FWidth, mask.Width()), h = std::min<int>(FHeight, mask.Height());
  bool any = false;
  for (int y = 0; y < h; ++y) {
    const uint8_t* m = reader.Scanline(y);
    uint8_t* dst = Scanline(y);
    for (int x = 0; x < w; ++x, m += 3) {
      if (m[0] | m[1] | m[2]) {
        dst[x] = static_cast<uint8_t>(t);
        any = true;
      }
    }
  }
  if (!any) {
    FColorMap->Delete(t);
    return;
  }
  auto* gce = new TGIFGraphicControlExtension(this);
  FExtensions->Add(gce);
  gce->SetTransparent(true);
  gce->SetTransparentColorIndex(t);
}

namespace {

// A frame's indices into a new 8-bit bitmap. With a transparent index, the
// pixels of that index set their bit in `maskBits` (rows of 16-bit aligned,
// most significant bit first).
class FrameRenderer {
 public:
  FrameRenderer(TGIFSubImage& frame, int transparent, FrameProgress& progress)
      : FFrame(frame), FTransparent(transparent), FProgress(progress),
        FMaskStride(((frame.Width() + 15) / 16) * 2) {
    if (transparent >= 0) FMaskBits.assign(static_cast<size_t>(FMaskStride) * frame.Height(), 0);
  }

  std::unique_ptr<TBitmap> Direct() {
    auto bitmap = std::make_unique<TBitmap>();
    const int w = FFrame.Width(), h = FFrame.Height();
    TDIBWriter writer(*bitmap, pf8bit, w, h, FFrame.Palette());
    for (int y = 0; y < h; ++y) {
      FProgress.Row(y, h);
      const uint8_t* src = FFrame.Data() + static_cast<size_t>(y) * w;
      std::memcpy(writer.Scanline(y), src, static_cast<size_t>(w));
      if (FTransparent >= 0)
        for (int x = 0; x < w; ++x)
          if (src[x] == FTransparent) SetMaskBit(x, y);
    }
    writer.UpdateBitmap();
    return bitmap;
  }

  // Onto the fixed colour cube, Floyd-Steinberg dithered. Transparent pixels
  // are skipped (they neither take nor pass error) and keep a fill index.
  std::unique_ptr<TBitmap> Dithered() {
    auto bitmap = std::make_unique<TBitmap>();
    const int w = FFrame.Width(), h = FFrame.Height();
    TGIFColorMap& map = FFrame.ActiveColorMap();
    if (map.Count() == 0) Error(gifmsg::EmptyColorMap);
    // Indices past the map's end show entry 0, as the map's Colors does.
    std::array<TGIFColor, 256> colors;
    for (int i = 0; i < 256; ++i) colors[i] = map.Entry(i < map.Count() ? i : 0);
    uint8_t fill = 0;
    if (FTransparent >= 0) {
      const TGIFColor& c = colors[FTransparent];
      fill = static_cast<uint8_t>(c.Blue / 51 + (12 * c.Green + 51) / 102 + (72 * c.Red + 51) / 102 + 1);
    }
    TNetscapeColorLookup lookup;
    TFloydSteinbergDitherer engine(w, lookup);
    TDIBWriter writer(*bitmap, pf8bit, w, h, FFrame.Palette());
    for (int y = 0; y < h; ++y) {
      FProgress.Row(y, h);
      const uint8_t* src = FFrame.Data() + static_cast<size_t>(y) * w;
      uint8_t* dst = writer.Scanline(y);
      if (FTransparent >= 0) std::memset(dst, fill, static_cast<size_t>(w));
      for (int x = engine.CurrentColumn(); x >= 0 && x < w; x = engine.CurrentColumn()) {
        if (src[x] == FTransparent) {
          SetMaskBit(x, y);
          engine.SkipColumn();
          continue;
        }
        const TGIFColor& c = colors[src[x]];
        uint8_t r, g, b;
        dst[x] = engine.DitherPixel(c.Red, c.Green, c.Blue, r, g, b);
      }
      engine.EndRow();
    }
    writer.UpdateBitmap();
    return bitmap;
  }

  // A 1-bit mask bitmap (set = transparent) when any bit was set, else null.
  std::unique_ptr<TBitmap> Mask() const {
    if (!FAnyMaskBit) return nullptr;
    const int w = FFrame.Width(), h = FFrame.Height();
    auto mask = std::make_unique<TBitmap>(0, 0, pf1bit);
    mask->SetPalette({TPaletteEntry{0, 0, 0, 0}, TPaletteEntry{255, 255, 255, 0}});
    mask->SetSize(w, h);
    const size_t bytes = std::min<size_t>(static_cast<size_t>(FMaskStride), static_cast<size_t>(mask->BytesPerRow()));
    for (int y = 0; y < h; ++y)
      std::memcpy(mask->ScanLine(y), FMaskBits.data() + static_cast<size_t>(y) * FMaskStride, bytes);
    return mask;
  }

 private:
  // Column x's bit: byte x div 8, bit 0x80 shr (x mod 8). A right-to-left row
  // of width 10 therefore starts at bit 0x40 of byte 1.
  void SetMaskBit(int x, int y) {
    FMaskBits[static_cast<size_t>(y) * FMaskStride + (x >> 3)] |= static_cast<uint8_t>(0x80 >> (x & 7));
    FAnyMaskBit = true;
  }

  TGIFSubImage& FFrame;
  int FTransparent;  // -1: no masking
  FrameProgress& FProgress;
  int FMaskStride;
  std::vector<uint8_t> FMaskBits;
  bool FAnyMaskBit = false;
};

}  // namespace

TBitmap* TGIFSubImage::Bitmap() {
  if (FBitmap) return FBitmap.get();
  if (Empty()) return nullptr;
  FrameProgress progress(*this, gifmsg::ProgressRendering);
  const bool masking = FNeedMask && FTransparent && !FMask;
  FNeedMask = false;
  const int transparent =
      masking && FGraphicControlExtension != nullptr ? FGraphicControlExtension->TransparentColorIndex() : -1;
  FrameRenderer renderer(*this, transparent, progress);
  const bool dithered = FImage != nullptr && FImage->UsesFixedPalette();
  std::unique_ptr<TBitmap> bitmap = dithered ? renderer.Dithered() : renderer.Direct();
  if (transparent >= 0) FMask = renderer.Mask();
  FBitmap = std::move(bitmap);
  FBitmapPalette.reset();
  progress.Done();
  if (FImage != nullptr && FImage->PaletteModified()) FImage->Changed();
  return FBitmap.get();
}
