// Helpers for the flip display tests: a label that exposes its protected
// drawing steps and buffers, a headless message loop installed for one test,
// row-tagged pictures whose every row says where it came from, and pixel
// comparisons that report the first difference.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flip/FlipLabel.h"

class TProbeLabel : public TFlipLabel {
 public:
  using TCustomFlipLabel::AutoSize;
  using TCustomFlipLabel::DrawFrame;
  using TCustomFlipLabel::ResizeBuffers;
  using TCustomFlipLabel::SetAutoSize;
  TBitmap& Leaving() { return *FLeavingImage; }
  TBitmap& Arriving() { return *FArrivingImage; }
  TBitmap& Frame() { return *FFrameImage; }
};

// Installs a fresh virtual-clock loop as the current loop for its lifetime.
// Declare it before the controls that use it.
struct LoopScope {
  THeadlessLoop Loop;
  LoopScope() { SetMessageLoop(&Loop); }
  ~LoopScope() { SetMessageLoop(nullptr); }
};

// Which picture a row came from and which of its rows it was.
struct RowTag {
  int Image = 0;
  int Row = 0;
  friend bool operator==(const RowTag&, const RowTag&) = default;
};

// Paints every row of bm with its own colour: red/green = row, blue = image.
void TagRows(TBitmap& bm, int image);
// Reads the tag of every row; a row whose pixels disagree gets Image -1.
std::vector<RowTag> ReadTags(const TBitmap& bm);

// "" when a and b have the same size and pixels, else the first difference.
std::string PixelDiff(const TBitmap& a, const TBitmap& b);

// Rows (top to bottom) and columns that hold any pixel other than `back`.
std::vector<int> InkedRows(const TBitmap& bm, TColor back);
std::vector<int> InkedColumns(const TBitmap& bm, TColor back);
