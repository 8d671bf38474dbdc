// One shared colour table for a whole animation. TGIFImage::OptimizeColorMaps
// runs a TColorMapOptimizer: it counts the colours every frame really uses
// (one THistogram per colour table in use), merges equal colours from all
// tables, keeps the most used 256 (255 plus one transparent entry when some
// frame shows transparency), installs them as the global table, empties the
// local tables and rewrites every frame's pixels to the new indexes.
//
//   TColorMapOptimizer optimizer(&doc);
//   optimizer.Execute();
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "gif/GIFImage.h"

// One colour table entry being counted.
struct THistogramEntry {
  int32_t Uses = 0;      // pixels counted with this entry; 0 once merged into an equal colour
  int32_t OldIndex = 0;  // index in its own table
  int32_t NewIndex = 256;  // index in the new global table; 256 until assigned
  uint32_t Key = 0;      // red | green << 8 | blue << 16
  THistogramEntry* MergedInto = nullptr;  // the surviving equal colour, once merged
};

// Use counts of one colour table over the frames that use it.
class THistogram {
 public:
  explicit THistogram(TGIFColorMap& ColorMap);

  // Counts the frame's pixels; returns whether its transparent colour occurs.
  // Pixels outside the table become 0 (with a warning); a transparent frame
  // whose transparent colour never occurs loses its transparency.
  bool CountFrame(TGIFSubImage& Frame);
  // Sorts by use and keeps only the used entries; returns how many.
  int Prune();

  int UsedCount() const { return FUsedCount; }
  TGIFColorMap& CountedMap() const { return *FCountedMap; }
  // Entries in table order.
  std::vector<THistogramEntry>& EntryArray() { return FEntryArray; }
  // The entries, sortable; after Prune only the used ones, most used first.
  std::vector<THistogramEntry*>& EntryList() { return FEntryList; }
  const std::vector<TGIFSubImage*>& CountedFrames() const { return FCountedFrames; }

 private:
  std::vector<THistogramEntry> FEntryArray;
  int FUsedCount;
  TGIFColorMap* FCountedMap;
  std::vector<THistogramEntry*> FEntryList;
  std::vector<TGIFSubImage*> FCountedFrames;
};

class TColorMapOptimizer {
 public:
  explicit TColorMapOptimizer(TGIFImage* Image);
  ~TColorMapOptimizer();
  TColorMapOptimizer(const TColorMapOptimizer&) = delete;
  TColorMapOptimizer& operator=(const TColorMapOptimizer&) = delete;

  void Execute();

  // The outcome, for inspection after Execute.
  int NewCount() const { return FNewCount; }
  bool UseTransparency() const { return FUseTransparency; }
  uint8_t NewTransparentIndex() const { return FNewTransparentIndex; }
  const std::array<TGIFColor, 256>& NewColors() const { return FNewColors; }

  // Sort orders of the entry lists: most used first; highest key first (only
  // brings equal colours together). Both give ties the platform quicksort's order.
  static int CompareByUse(THistogramEntry* A, THistogramEntry* B);
  static int CompareByColor(THistogramEntry* A, THistogramEntry* B);

 private:
  void Gather();
  void MergeDuplicates();
  void ChooseColors();
  void Install();
  void Remap();

  TGIFImage* FImage;
  std::vector<std::unique_ptr<THistogram>> FHistograms;
  std::vector<THistogramEntry*> FAllEntries;
  std::array<TGIFColor, 256> FNewColors{};
  int FNewCount = 0;
  bool FUseTransparency = false;
  uint8_t FNewTransparentIndex = 0;
};

// Sorts entry references with the platform list quicksort.
void SortEntries(std::vector<THistogramEntry*>& List, int (*Compare)(THistogramEntry*, THistogramEntry*));
