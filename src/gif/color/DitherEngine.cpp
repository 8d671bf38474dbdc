#include "gif/color/DitherEngine.h"

#include <algorithm>

namespace {

// input + (raw + d div 2) div d, truncating toward zero, clamped to a byte.
inline int Corrected(int input, int raw, int divisor) {
  return std::clamp(input + (raw + divisor / 2) / divisor, 0, 255);
}

}  // namespace

// --- TDitherEngine ----------------------------------------------------------------

TDitherEngine::TDitherEngine(int rowWidth, TColorLookup& lookup)
    : FRowWidth(rowWidth), FColorLookup(&lookup) {}

uint8_t TDitherEngine::DitherPixel(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                                   uint8_t& B) {
  const uint8_t index = FColorLookup->Lookup(Red, Green, Blue, R, G, B);
  FCurrentColumn += FScanDirection;
  return index;
}

void TDitherEngine::ReverseDirection() {
  FScanDirection = -FScanDirection;
  FCurrentColumn = FScanDirection > 0 ? 0 : FRowWidth - 1;
}

void TDitherEngine::EndRow() { ReverseDirection(); }

void TDitherEngine::SkipColumn() {
  ColumnSkipped();
  FCurrentColumn += FScanDirection;
}

// --- TErrorRows ----------------------------------------------------------------------

TErrorRows::TErrorRows(int rows, int rowWidth, int margin) : FMargin(margin) {
  const size_t entries = static_cast<size_t>(std::max(rowWidth, 0)) + 2 * static_cast<size_t>(margin);
  for (auto& channel : FRows) channel.assign(rows, std::vector<int32_t>(entries, 0));
}

void TErrorRows::Advance() {
  for (auto& channel : FRows) {
    std::fill(channel.front().begin(), channel.front().end(), 0);
    std::rotate(channel.begin(), channel.begin() + 1, channel.end());
  }
}

// --- TErrorDiffusionDitherer ---------------------------------------------------------

TErrorDiffusionDitherer::TErrorDiffusionDitherer(int rowWidth, TColorLookup& lookup, int rows,
                                                 int margin, int divisor)
    : TDitherEngine(rowWidth, lookup), FErrors(rows, rowWidth, margin), FDivisor(divisor),
      FRowCount(rows) {}

uint8_t TErrorDiffusionDitherer::DitherPixel(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R,
                                             uint8_t& G, uint8_t& B) {
  const int pos = FCurrentColumn + FErrors.Margin();
  const int in[3] = {Red, Green, Blue};
  int v[3];
  for (int c = 0; c < 3; ++c) v[c] = Corrected(in[c], FErrors.Row(c, 0)[pos], FDivisor);
  const uint8_t index = FColorLookup->Lookup(static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]),
                                             static_cast<uint8_t>(v[2]), R, G, B);
  const int chosen[3] = {R, G, B};
  for (int c = 0; c < 3; ++c) {
    const int e = v[c] - chosen[c];  // measured from the clamped value
    if (e == 0) continue;
    int32_t* rows[4];
    for (int j = 0; j < FRowCount; ++j) rows[j] = FErrors.Row(c, j) + pos;
    SpreadError(rows, e);
  }
  FCurrentColumn += FScanDirection;
  return index;
}

void TErrorDiffusionDitherer::EndRow() {
  FErrors.Advance();
  ReverseDirection();
  StepsChanged();
}

T5by3Ditherer::T5by3Ditherer(int rowWidth, TColorLookup& lookup, int divisor)
    : TErrorDiffusionDitherer(rowWidth, lookup, 3, 2, divisor), FKernelDivisor(divisor) {}

TStuckiDitherer::TStuckiDitherer(int rowWidth, TColorLookup& lookup)
    : T5by3Ditherer(rowWidth, lookup, 42) {}

void TStuckiDitherer::Spread(int32_t* row0, int32_t* row1, int32_t* row2, int e) {
  const int d = FScanDirection, dd = FDoubleStep;
  row0[d] += 8 * e;
  row0[dd] += 4 * e;
  row1[-dd] += 2 * e;
  row1[-d] += 4 * e;
  row1[0] += 8 * e;
  row1[d] += 4 * e;
  row1[dd] += 2 * e;
  row2[-dd] += e;
  row2[-d] += 2 * e;
  row2[0] += 4 * e;
  row2[d] += 2 * e;
  row2[dd] += e;
}

TSierraDitherer::TSierraDitherer(int rowWidth, TColorLookup& lookup)
    : T5by3Ditherer(rowWidth, lookup, 32) {}

void TSierraDitherer::Spread(int32_t* row0, int32_t* row1, int32_t* row2, int e) {
  const int d = FScanDirection, dd = FDoubleStep;
  row0[d] += 5 * e;
  row0[dd] += 3 * e;
  row1[-dd] += 2 * e;
  row1[-d] += 4 * e;
  row1[0] += 5 * e;
  row1[d] += 4 * e;
  row1[dd] += 2 * e;
  row2[-d] += 2 * e;
  row2[0] += 3 * e;
  row2[d] += 2 * e;
}

TJaJuNiDitherer::TJaJuNiDitherer(int rowWidth, TColorLookup& lookup)
    : T5by3Ditherer(rowWidth, lookup, 48) {}

void TJaJuNiDitherer::Spread(int32_t* row0, int32_t* row1, int32_t* row2, int e) {
  const int d = FScanDirection, dd = FDoubleStep;
  row0[d] += 7 * e;
  row0[dd] += 5 * e;
  row1[-dd] += 3 * e;
  row1[-d] += 5 * e;
  row1[0] += 7 * e;
  row1[d] += 5 * e;
  row1[dd] += 3 * e;
  row2[-dd] += e;
  row2[-d] += 3 * e;
  row2[0] += 5 * e;
  row2[d] += 3 * e;
  row2[dd] += e;
}

TSteveArcheDitherer::TSteveArcheDitherer(int rowWidth, TColorLookup& lookup)
    : TErrorDiffusionDitherer(rowWidth, lookup, 4, 3, 200) {}

void TSteveArcheDitherer::SpreadError(int32_t* const* rows, int e) {
  const int d = FScanDirection, dd = FDoubleStep, ddd = FTripleStep;
  rows[0][dd] += 32 * e;
  rows[1][-ddd] += 12 * e;
  rows[1][-d] += 26 * e;
  rows[1][d] += 30 * e;
  rows[1][ddd] += 16 * e;
  rows[2][-dd] += 12 * e;
  rows[2][0] += 26 * e;
  rows[2][dd] += 12 * e;
  rows[3][-ddd] += 5 * e;
  rows[3][-d] += 12 * e;
  rows[3][d] += 12 * e;
  rows[3][ddd] += 5 * e;
}

TBurkesDitherer::TBurkesDitherer(int rowWidth, TColorLookup& lookup)
    : TErrorDiffusionDitherer(rowWidth, lookup, 2, 2, 32) {}

void TBurkesDitherer::SpreadError(int32_t* const* rows, int e) {
  const int d = FScanDirection, dd = FDoubleStep;
  rows[0][d] += 8 * e;
  rows[0][dd] += 4 * e;
  rows[1][-dd] += 2 * e;
  rows[1][-d] += 4 * e;
  rows[1][0] += 8 * e;
  rows[1][d] += 4 * e;
  rows[1][dd] += 2 * e;
}

// --- TFloydSteinbergDitherer ---------------------------------------------------------
//
// Before the pixel at column c: FAt holds the partial sum for column c of the
// row below, FBehind the one for column c - direction, which the pixel at c
// completes (its 3/16 share) and writes back; FCarry is the 7/16 share of the
// previous pixel.

TFloydSteinbergDitherer::TFloydSteinbergDitherer(int rowWidth, TColorLookup& lookup)
    : TDitherEngine(rowWidth, lookup) {
  FErrors.assign(3 * (static_cast<size_t>(std::max(rowWidth, 0)) + 2), 0);
}

uint8_t TFloydSteinbergDitherer::DitherPixel(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R,
                                             uint8_t& G, uint8_t& B) {
  const int d = FScanDirection;
  int32_t* at = FErrors.data() + 3 * (FCurrentColumn + 1);  // this column's red, green, blue
  int32_t* behind = at - 3 * d;
  const int vr = Corrected(Red, at[0] + FCarry[0], 16);
  const int vg = Corrected(Green, at[1] + FCarry[1], 16);
  const int vb = Corrected(Blue, at[2] + FCarry[2], 16);
  const uint8_t index = FColorLookup->Lookup(static_cast<uint8_t>(vr), static_cast<uint8_t>(vg),
                                             static_cast<uint8_t>(vb), R, G, B);
  const int e[3] = {vr - R, vg - G, vb - B};
  for (int c = 0; c < 3; ++c) {
    behind[c] = FBehind[c] + 3 * e[c];
    FBehind[c] = FAt[c] + 5 * e[c];
    FAt[c] = e[c];
    FCarry[c] = 7 * e[c];
  }
  FCurrentColumn += d;
  return index;
}

void TFloydSteinbergDitherer::ColumnSkipped() {
  int32_t* behind = FErrors.data() + 3 * (FCurrentColumn + 1 - FScanDirection);
  for (int c = 0; c < 3; ++c) {
    behind[c] = FBehind[c];
    FBehind[c] = FAt[c];
    FAt[c] = 0;
    FCarry[c] = 0;
  }
}

void TFloydSteinbergDitherer::EndRow() {
  // The column behind the position past the row's end is the row's last one.
  const int entry = FCurrentColumn + 1 - FScanDirection;
  if (entry >= 0 && 3 * static_cast<size_t>(entry) < FErrors.size())
    for (int c = 0; c < 3; ++c) FErrors[3 * static_cast<size_t>(entry) + c] = FBehind[c];
  FCarry.fill(0);
  FBehind.fill(0);
  FAt.fill(0);
  ReverseDirection();
}
