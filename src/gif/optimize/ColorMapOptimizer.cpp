// The shared colour table: count, merge equal colours, keep the most used,
// install as the global table, rewrite every frame.
#include "gif/optimize/ColorMapOptimizer.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <mutex>

#include "platform/Classes.h"

namespace {

int32_t SaturatingAdd(int32_t A, int32_t B) {
  const int64_t sum = int64_t{A} + B;
  return sum > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(sum);
}

int TransparentIndexOf(const TGIFSubImage& Frame) {
  if (!Frame.Transparent() || Frame.GraphicControlExtension() == nullptr) return -1;
  return Frame.GraphicControlExtension()->TransparentColorIndex();
}

}  // namespace

void SortEntries(std::vector<THistogramEntry*>& List, int (*Compare)(THistogramEntry*, THistogramEntry*)) {
  if (List.size() > 1) QuickSort(List.data(), 0, static_cast<int>(List.size()) - 1, Compare);
}

// --- THistogram

THistogram::THistogram(TGIFColorMap& ColorMap) : FUsedCount(ColorMap.Count()), FCountedMap(&ColorMap) {
  FEntryArray.resize(static_cast<size_t>(FUsedCount));
  FEntryList.reserve(static_cast<size_t>(FUsedCount));
  for (int i = 0; i < FUsedCount; ++i) {
    THistogramEntry& e = FEntryArray[static_cast<size_t>(i)];
    const TGIFColor& c = ColorMap.Entry(i);
    e.OldIndex = i;
    e.Key = uint32_t{c.Red} | (uint32_t{c.Green} << 8) | (uint32_t{c.Blue} << 16);
    FEntryList.push_back(&e);
  }
}

bool THistogram::CountFrame(TGIFSubImage& Frame) {
  if (Frame.Empty()) return false;
  FCountedFrames.push_back(&Frame);
  const int t = TransparentIndexOf(Frame);
  uint8_t* p = Frame.Data();
  const int64_t n = std::min<int64_t>(int64_t{Frame.Width()} * Frame.Height(), Frame.DataSize());

  // One plain pass over the pixels; what the counts say is sorted out after.
  // Four tables in turn, so that a run of one colour does not wait on its
  // own previous increment.
  std::array<std::array<uint32_t, 256>, 4> lanes{};
  int64_t i = 0;
  for (; i + 4 <= n; i += 4) {
    ++lanes[0][p[i]];
    ++lanes[1][p[i + 1]];
    ++lanes[2][p[i + 2]];
    ++lanes[3][p[i + 3]];
  }
  for (; i < n; ++i) ++lanes[0][p[i]];
  std::array<int64_t, 256> counts;
  for (size_t v = 0; v < 256; ++v) counts[v] = int64_t{lanes[0][v]} + lanes[1][v] + lanes[2][v] + lanes[3][v];

  const bool found = t >= 0 && counts[static_cast<size_t>(t)] > 0;
  if (t >= 0) counts[static_cast<size_t>(t)] = 0;  // transparent pixels show no colour
  int64_t outside = 0;
  for (int v = FUsedCount; v < 256; ++v) outside += counts[static_cast<size_t>(v)];
  if (outside > 0) {
    // Values outside the table become colour 0 (once per frame: a damaged
    // frame must not flood the warning handler).
    for (int64_t k = 0; k < n; ++k)
      if (p[k] >= FUsedCount && p[k] != t) p[k] = 0;
    Frame.Warning(1, gifmsg::InvalidColor);
    counts[0] += outside;
  }
  const int used = std::min(FUsedCount, 256);
  for (int v = 0; v < used; ++v) {
    int32_t& uses = FEntryArray[static_cast<size_t>(v)].Uses;
    uses = static_cast<int32_t>(
        std::min<int64_t>(int64_t{uses} + counts[static_cast<size_t>(v)], std::numeric_limits<int32_t>::max()));
  }
  if (t >= 0 && !found) {
    Frame.GraphicControlExtension()->SetTransparentColorIndex(0);
    Frame.GraphicControlExtension()->SetTransparent(false);
  }
  return found;
}

int THistogram::Prune() {
  SortEntries(FEntryList, &TColorMapOptimizer::CompareByUse);
  size_t kept = 0;
  while (kept < FEntryList.size() && FEntryList[kept]->Uses > 0) ++kept;
  for (size_t i = kept; i < FEntryList.size(); ++i) FEntryList[i]->Uses = -1;
  FEntryList.resize(kept);
  FUsedCount = static_cast<int>(kept);
  return FUsedCount;
}

// --- TColorMapOptimizer

TColorMapOptimizer::TColorMapOptimizer(TGIFImage* Image) : FImage(Image) {}

TColorMapOptimizer::~TColorMapOptimizer() {
  FAllEntries.clear();
  while (!FHistograms.empty()) FHistograms.pop_back();
}

int TColorMapOptimizer::CompareByUse(THistogramEntry* A, THistogramEntry* B) {
  // The sign of B.Uses - A.Uses, without its overflow.
  return B->Uses > A->Uses ? 1 : (B->Uses < A->Uses ? -1 : 0);
}

int TColorMapOptimizer::CompareByColor(THistogramEntry* A, THistogramEntry* B) {
  return static_cast<int>(B->Key) - static_cast<int>(A->Key);
}

void TColorMapOptimizer::Gather() {
  FUseTransparency = false;
  TGIFImageList& frames = FImage->Images();
  TGIFGlobalColorMap& global = FImage->GlobalColorMap();
  if (global.Count() > 0) {
    auto histogram = std::make_unique<THistogram>(global);
    for (int i = 0; i < frames.Count(); ++i) {
      TGIFSubImage* frame = frames[i];
      if (frame->ColorMap().Count() == 0 && !frame->Empty())
        FUseTransparency = histogram->CountFrame(*frame) || FUseTransparency;
    }
    if (!histogram->CountedFrames().empty()) FHistograms.push_back(std::move(histogram));
  }
  for (int i = 0; i < frames.Count(); ++i) {
    TGIFSubImage* frame = frames[i];
    if (frame->ColorMap().Count() == 0 || frame->Empty()) continue;
    FHistograms.push_back(std::make_unique<THistogram>(frame->ColorMap()));
    FUseTransparency = FHistograms.back()->CountFrame(*frame) || FUseTransparency;
  }
}

void TColorMapOptimizer::MergeDuplicates() {
  if (FAllEntries.empty()) return;
  SortEntries(FAllEntries, &CompareByColor);
  THistogramEntry* s = FAllEntries.front();
  for (size_t i = 1; i < FAllEntries.size(); ++i) {
    THistogramEntry* e = FAllEntries[i];
    if (e->Key == s->Key) {
      s->Uses = SaturatingAdd(s->Uses, e->Uses);
      e->Uses = 0;
      e->MergedInto = s;
    } else {
      s = e;
    }
  }
}

void TColorMapOptimizer::ChooseColors() {
  SortEntries(FAllEntries, &CompareByUse);
  const int limit = FUseTransparency ? 255 : 256;
  const int all = static_cast<int>(FAllEntries.size());
  FNewCount = 0;
  while (FNewCount < all && FNewCount < limit && FAllEntries[static_cast<size_t>(FNewCount)]->Uses > 0) ++FNewCount;

  for (int i = 0; i < FNewCount; ++i) {
    THistogramEntry* e = FAllEntries[static_cast<size_t>(i)];
    e->NewIndex = i;
    FNewColors[static_cast<size_t>(i)] =
        TGIFColor{static_cast<uint8_t>(e->Key), static_cast<uint8_t>(e->Key >> 8), static_cast<uint8_t>(e->Key >> 16)};
  }
  for (int i = FNewCount; i < all; ++i) {
    THistogramEntry* e = FAllEntries[static_cast<size_t>(i)];
    if (e->Uses == 0 && e->MergedInto != nullptr) {
      // A merged duplicate: its survivor has uses, so it sorted ahead of it
      // and has its index already.
      e->NewIndex = e->MergedInto->NewIndex;
      continue;
    }
    // A colour beyond the limit goes to the nearest kept one, by the sum of
    // the absolute channel differences; the first strictly closer one wins.
    const int r = static_cast<int>(e->Key & 0xFF), g = static_cast<int>((e->Key >> 8) & 0xFF),
              b = static_cast<int>((e->Key >> 16) & 0xFF);
    int best = std::numeric_limits<int>::max();
    int bestIndex = 0;
    for (int j = 0; j < FNewCount; ++j) {
      const TGIFColor& k = FNewColors[static_cast<size_t>(j)];
      const int d = std::abs(k.Red - r) + std::abs(k.Green - g) + std::abs(k.Blue - b);
      if (d < best) {
        best = d;
        bestIndex = j;
      }
    }
    e->NewIndex = bestIndex;
  }
  if (FUseTransparency) {
    FNewTransparentIndex = static_cast<uint8_t>(FNewCount);
    FNewColors[static_cast<size_t>(FNewCount)] = TGIFColor{0, 0, 0};
    ++FNewCount;
  }
}

void TColorMapOptimizer::Install() {
  TGIFImageList& frames = FImage->Images();
  for (int i = 0; i < frames.Count(); ++i) frames[i]->ColorMap().Clear();
  FImage->GlobalColorMap().ImportColors(FNewColors.data(), FNewCount);
  FImage->GlobalColorMap().SetOptimized(true);
}

void TColorMapOptimizer::Remap() {
  for (const auto& histogram : FHistograms) {
    TColorMapRemap table{};
    for (THistogramEntry* e : histogram->EntryList())
      table[static_cast<size_t>(e->OldIndex)] = static_cast<uint8_t>(e->NewIndex);
    for (TGIFSubImage* frame : histogram->CountedFrames()) {
      int oldT = -1;
      if (FUseTransparency && TransparentIndexOf(*frame) >= 0) {
        oldT = TransparentIndexOf(*frame);
        frame->GraphicControlExtension()->SetTransparentColorIndex(FNewTransparentIndex);
      }
      TColorMapRemap frameTable = table;
      if (oldT >= 0) frameTable[static_cast<size_t>(oldT)] = FNewTransparentIndex;
      uint8_t* p = frame->Data();
      const int n = frame->DataSize();
      for (int i = 0; i < n; ++i) p[i] = frameTable[p[i]];
    }
  }
}

void TColorMapOptimizer::Execute() {
  std::lock_guard<std::recursive_mutex> lock(FImage->PainterLock());
  FImage->StopDraw();

  Gather();

  size_t used = 0;
  for (const auto& histogram : FHistograms) used += static_cast<size_t>(histogram->Prune());
  FAllEntries.clear();
  FAllEntries.reserve(used);
  for (const auto& histogram : FHistograms)
    FAllEntries.insert(FAllEntries.end(), histogram->EntryList().begin(), histogram->EntryList().end());

  MergeDuplicates();
  ChooseColors();
  Install();
  Remap();

  TGIFImageList& frames = FImage->Images();
  for (int i = 0; i < frames.Count(); ++i) {
    frames[i]->SetHasBitmap(false);
    frames[i]->SetPalette(nullptr);
  }
}

void TGIFImage::OptimizeColorMaps() {
  TColorMapOptimizer optimizer(this);
  optimizer.Execute();
}
