// GIF colour tables: the shared operations and the global and local kinds.
#include <algorithm>
#include <cstring>

#include "gif/GIFImage.h"

namespace {
TGIFColor ColorToEntry(TColor Color) {
  return TGIFColor{GetRValue(Color), GetGValue(Color), GetBValue(Color)};
}
TColor EntryToColor(const TGIFColor& E) { return E.Red + E.Green * 256 + E.Blue * 65536; }
}  // namespace

TGIFColorMap::TGIFColorMap() = default;
TGIFColorMap::~TGIFColorMap() = default;

void TGIFColorMap::Clear() {
  FColors.clear();
  FColors.shrink_to_fit();
  FCount = 0;
  FOptimized = false;
}

void TGIFColorMap::GrowTo(int N) {
  if (N < Capacity()) return;
  int capacity = N <= 16 ? 16 : (N + 31) / 32 * 32;
  capacity = std::min(capacity, 256);
  FColors.resize(static_cast<size_t>(capacity), TGIFColor{0, 0, 0});
}

TColor TGIFColorMap::Colors(int Index) {
  if (Index < 0 || Index >= FCount) {
    Warning(1, gifmsg::BadColorIndex);
    if (FCount == 0) Error(gifmsg::EmptyColorMap);
    Index = 0;
  }
  return EntryToColor(FColors[static_cast<size_t>(Index)]);
}

int TGIFColorMap::IndexOf(TColor Color) const {
  const TGIFColor e = ColorToEntry(Color);
  if (FOptimized) {
    // Most used first.
    for (int i = 0; i < FCount; ++i)
      if (FColors[static_cast<size_t>(i)] == e) return i;
  } else {
    // The most recently added duplicate wins.
    for (int i = FCount - 1; i >= 0; --i)
      if (FColors[static_cast<size_t>(i)] == e) return i;
  }
  return -1;
}

int TGIFColorMap::Add(TColor Color) {
  if (FCount >= 256) Error(gifmsg::TooManyColors);
  if (FCount >= Capacity()) GrowTo(FCount + 1);
  FColors[static_cast<size_t>(FCount)] = ColorToEntry(Color);
  const int index = FCount++;
  FOptimized = false;
  Changed();
  return index;
}

int TGIFColorMap::AddUnique(TColor Color) {
  const int index = IndexOf(Color);
  return index >= 0 ? index : Add(Color);
}

void TGIFColorMap::Delete(int Index) {
  if (Index < 0 || Index >= FCount) Error(gifmsg::BadColorIndex);
  std::copy(FColors.begin() + Index + 1, FColors.begin() + FCount, FColors.begin() + Index);
  --FCount;
  FOptimized = false;
  Changed();
}

void TGIFColorMap::ImportPalette(const TPalette& Palette) { ImportPalette(Palette.Entries()); }

void TGIFColorMap::ImportPalette(const std::vector<TPaletteEntry>& Entries) {
  Clear();
  const int n = std::min<int>(static_cast<int>(Entries.size()), 256);
  if (n == 0) return;
  FColors.resize(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const TPaletteEntry& p = Entries[static_cast<size_t>(i)];
    FColors[static_cast<size_t>(i)] = TGIFColor{p.peRed, p.peGreen, p.peBlue};
  }
  FCount = n;
  Changed();
}

void TGIFColorMap::ImportColorTable(const void* Table, int Count) {
  Clear();
  Count = std::min(Count, 256);
  if (Count <= 0) return;
  const uint8_t* quad = static_cast<const uint8_t*>(Table);
  FColors.resize(static_cast<size_t>(Count));
  // Bitmap colour-table entries: blue, green, red, reserved.
  for (int i = 0; i < Count; ++i, quad += 4) FColors[static_cast<size_t>(i)] = TGIFColor{quad[2], quad[1], quad[0]};
  FCount = Count;
  Changed();
}

void TGIFColorMap::ImportDIBColors(const TBitmap& Bitmap) {
  Clear();
  const std::vector<TPaletteEntry>& pal = Bitmap.Palette();
  const int n = std::min<int>(static_cast<int>(pal.size()), 256);
  uint8_t table[1024] = {};
  for (int i = 0; i < n; ++i) {
    table[i * 4 + 0] = pal[static_cast<size_t>(i)].peBlue;
    table[i * 4 + 1] = pal[static_cast<size_t>(i)].peGreen;
    table[i * 4 + 2] = pal[static_cast<size_t>(i)].peRed;
  }
  ImportColorTable(table, n);
  Changed();
}

void TGIFColorMap::ImportColors(const TGIFColor* Triples, int Count) {
  // The source may be this map's own storage: copy it aside first. Only the
  // entries asked for are read.
  Count = std::clamp(Count, 0, 256);
  TGIFColor copy[256];
  if (Count > 0) std::memcpy(copy, Triples, static_cast<size_t>(Count) * sizeof(TGIFColor));
  Clear();
  if (Count == 0) return;
  FColors.assign(copy, copy + Count);
  FCount = Count;
  Changed();
}

std::unique_ptr<TPalette> TGIFColorMap::ExportPalette() const {
  if (FCount == 0) return nullptr;
  std::vector<TPaletteEntry> entries(static_cast<size_t>(FCount));
  for (int i = 0; i < FCount; ++i) {
    const TGIFColor& c = FColors[static_cast<size_t>(i)];
    entries[static_cast<size_t>(i)] = TPaletteEntry{c.Red, c.Green, c.Blue, PC_NOCOLLAPSE};
  }
  return std::make_unique<TPalette>(std::move(entries));
}

void TGIFColorMap::Assign(const TGIFColorMap& Source) {
  if (&Source == this) return;
  Clear();
  FColors.assign(static_cast<size_t>(Source.Capacity()), TGIFColor{0, 0, 0});
  std::copy(Source.FColors.begin(), Source.FColors.begin() + Source.FCount, FColors.begin());
  FCount = Source.FCount;
  FOptimized = Source.FOptimized;
  Changed();
}

void TGIFColorMap::SaveToStream(TStream& Stream) const {
  if (FCount == 0) return;
  Stream.WriteBuffer(FColors.data(), static_cast<int64_t>(FCount) * 3);
  // Pad to a power of two (at least 2 entries) with black.
  const int pad = (1 << BitsPerPixel()) - FCount;
  if (pad > 0) {
    static const uint8_t zeros[3 * 256] = {};
    Stream.WriteBuffer(zeros, static_cast<int64_t>(pad) * 3);
  }
}

void TGIFColorMap::LoadFromStream(TStream& Stream, int Count) {
  Clear();
  Count = std::clamp(Count, 0, 256);
  FColors.resize(static_cast<size_t>(Count));
  ReadCheck(Stream, FColors.data(), static_cast<int64_t>(Count) * 3);
  FCount = Count;
}

bool TGIFColorMap::DoOptimize() {
  if (FCount <= 1) return false;
  FOptimized = true;

  TColorMapHistogram histogram;
  BuildHistogram(histogram);
  // Most used first; the order of ties is the one this quicksort gives.
  QuickSort(histogram.data(), 0, FCount - 1,
            [](const TColorMapHistogramEntry& a, const TColorMapHistogramEntry& p) {
              return p.Count < a.Count ? -1 : (p.Count > a.Count ? 1 : 0);
            });

  bool inOrder = true;
  for (int k = 0; k < FCount && inOrder; ++k) inOrder = histogram[static_cast<size_t>(k)].Index == k;
  if (inOrder) return true;

  // Pixels at or above Count have no entry; they become 0.
  TColorMapRemap map{};
  for (int k = 0; k < FCount; ++k) map[static_cast<size_t>(histogram[static_cast<size_t>(k)].Index)] = static_cast<uint8_t>(k);
  MapImages(map);

  std::vector<TGIFColor> sorted(FColors.size(), TGIFColor{0, 0, 0});
  for (int i = 0; i < FCount; ++i) sorted[map[static_cast<size_t>(i)]] = FColors[static_cast<size_t>(i)];
  FColors = std::move(sorted);

  // Unused colours, now at the end, are dropped.
  for (int k = 0; k < FCount; ++k) {
    if (histogram[static_cast<size_t>(k)].Count == 0) {
      FCount = k;
      break;
    }
  }
  Changed();
  return true;
}

// --- Global map: shared by every frame without colours of its own.

TGIFGlobalColorMap::TGIFGlobalColorMap(TGIFHeader* Header) : FHeader(Header) {}

// Destruction drops nothing: the owner is going away with its caches.
TGIFGlobalColorMap::~TGIFGlobalColorMap() = default;

void TGIFGlobalColorMap::Warning(int Severity, const std::string& Message) {
  if (FHeader != nullptr && FHeader->Image() != nullptr) FHeader->Image()->Warning(this, Severity, Message);
}

namespace {
void InitHistogram(TColorMapHistogram& Histogram) {
  for (int i = 0; i < 256; ++i) Histogram[static_cast<size_t>(i)] = TColorMapHistogramEntry{0, i};
}
void CountPixels(TGIFSubImage& Frame, TColorMapHistogram& Histogram) {
  const uint8_t* p = Frame.Data();
  if (p == nullptr) return;
  const int64_t n = static_cast<int64_t>(Frame.Width()) * Frame.Height();
  if (n > Frame.DataSize()) return;
  for (int64_t i = 0; i < n; ++i) ++Histogram[p[i]].Count;
}
void RemapPixels(TGIFSubImage& Frame, const TColorMapRemap& Map) {
  uint8_t* p = Frame.Data();
  if (p != nullptr) {
    const int n = Frame.DataSize();
    for (int i = 0; i < n; ++i) p[i] = Map[p[i]];
  }
  if (Frame.Transparent() && Frame.GraphicControlExtension() != nullptr) {
    TGIFGraphicControlExtension* gce = Frame.GraphicControlExtension();
    gce->SetTransparentColorIndex(Map[gce->TransparentColorIndex()]);
  }
}
}  // namespace

void TGIFGlobalColorMap::BuildHistogram(TColorMapHistogram& Histogram) {
  InitHistogram(Histogram);
  TGIFImage* image = FHeader != nullptr ? FHeader->Image() : nullptr;
  if (image == nullptr) return;
  for (int i = 0; i < image->Images().Count(); ++i) {
    TGIFSubImage* frame = image->Images()[i];
    if (&frame->ActiveColorMap() == this) CountPixels(*frame, Histogram);
  }
}

void TGIFGlobalColorMap::MapImages(const TColorMapRemap& Map) {
  TGIFImage* image = FHeader != nullptr ? FHeader->Image() : nullptr;
  if (image == nullptr) return;
  for (int i = 0; i < image->Images().Count(); ++i) {
    TGIFSubImage* frame = image->Images()[i];
    if (&frame->ActiveColorMap() == this) RemapPixels(*frame, Map);
  }
}

bool TGIFGlobalColorMap::Optimize() {
  TGIFImage* image = FHeader != nullptr ? FHeader->Image() : nullptr;
  if (image == nullptr || image->Images().Count() == 0) return false;
  return DoOptimize();
}

void TGIFGlobalColorMap::Changed() {
  if (FHeader != nullptr && FHeader->Image() != nullptr) FHeader->Image()->SetPalette(nullptr);
}

// --- Local map: one frame's own colours.

TGIFLocalColorMap::TGIFLocalColorMap(TGIFSubImage* SubImage) : FSubImage(SubImage) {}

TGIFLocalColorMap::~TGIFLocalColorMap() = default;

void TGIFLocalColorMap::Warning(int Severity, const std::string& Message) {
  if (FSubImage != nullptr && FSubImage->Image() != nullptr) FSubImage->Image()->Warning(this, Severity, Message);
}

void TGIFLocalColorMap::BuildHistogram(TColorMapHistogram& Histogram) {
  InitHistogram(Histogram);
  if (FSubImage != nullptr) CountPixels(*FSubImage, Histogram);
}

void TGIFLocalColorMap::MapImages(const TColorMapRemap& Map) {
  if (FSubImage != nullptr) RemapPixels(*FSubImage, Map);
}

bool TGIFLocalColorMap::Optimize() { return DoOptimize(); }

void TGIFLocalColorMap::Changed() {
  if (FSubImage != nullptr) FSubImage->SetPalette(nullptr);
}
