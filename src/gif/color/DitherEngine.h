// Dithering engines: walk an image row by row in serpentine order (first row
// left to right, the next right to left, ...) and turn each pixel into a
// palette index through a colour lookup. The base engine only looks up; the
// error-diffusing engines first add the error that processed neighbours passed
// on, then pass the difference between asked and chosen colour to pixels not
// yet processed. Callers loop while CurrentColumn() is inside the row, calling
// DitherPixel or SkipColumn, then EndRow.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "gif/color/ColorLookup.h"

class TDitherEngine {
 public:
  TDitherEngine(int rowWidth, TColorLookup& lookup);
  virtual ~TDitherEngine() = default;
  TDitherEngine(const TDitherEngine&) = delete;
  TDitherEngine& operator=(const TDitherEngine&) = delete;

  // Index for the pixel at CurrentColumn(); R, G, B get the chosen palette
  // colour. Moves CurrentColumn one step in ScanDirection.
  virtual uint8_t DitherPixel(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                              uint8_t& B);
  // Ends the row: the direction reverses and the column moves to the new start.
  virtual void EndRow();
  // Moves past the pixel at CurrentColumn(): it uses none of the error
  // accumulated for it and passes none on.
  void SkipColumn();

  int ScanDirection() const { return FScanDirection; }
  int CurrentColumn() const { return FCurrentColumn; }
  int RowWidth() const { return FRowWidth; }
  TColorLookup& ColorLookup() const { return *FColorLookup; }
  // False for the base engine, whose indices do not depend on neighbours.
  virtual bool DiffusesError() const { return false; }

 protected:
  // Hook for engines whose running state must learn about a skipped pixel.
  virtual void ColumnSkipped() {}
  void ReverseDirection();

  int FScanDirection = 1;
  int FCurrentColumn = 0;
  int FRowWidth;
  TColorLookup* FColorLookup;  // not owned
};

// Per colour channel, a ring of error rows of RowWidth + 2 * margin raw
// (undivided) 32-bit errors; entry k belongs to column k - margin, so shares
// that fall up to margin columns outside the image land in entries never read.
class TErrorRows {
 public:
  TErrorRows(int rows, int rowWidth, int margin);
  // Row j below the current one of channel c (0 red, 1 green, 2 blue).
  int32_t* Row(int c, int j) { return FRows[c][j].data(); }
  // Clears each channel's current row and moves it last.
  void Advance();
  int Margin() const { return FMargin; }

 private:
  int FMargin;
  std::array<std::vector<std::vector<int32_t>>, 3> FRows;
};

// Shared body of the engines that keep whole error rows.
class TErrorDiffusionDitherer : public TDitherEngine {
 public:
  uint8_t DitherPixel(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                      uint8_t& B) override;
  void EndRow() override;
  bool DiffusesError() const override { return true; }

 protected:
  TErrorDiffusionDitherer(int rowWidth, TColorLookup& lookup, int rows, int margin, int divisor);
  // Adds the kernel's shares of one channel's error e; rows[j] points at the
  // current column's entry of the error row j rows below.
  virtual void SpreadError(int32_t* const* rows, int e) = 0;
  virtual void StepsChanged() {}

  TErrorRows FErrors;
  int FDivisor;
  int FRowCount;
};

// Five columns by three rows of error; the descendant supplies the kernel.
class T5by3Ditherer : public TErrorDiffusionDitherer {
 public:
  int KernelDivisor() const { return FKernelDivisor; }

 protected:
  T5by3Ditherer(int rowWidth, TColorLookup& lookup, int divisor);
  virtual void Spread(int32_t* row0, int32_t* row1, int32_t* row2, int e) = 0;
  void SpreadError(int32_t* const* rows, int e) override { Spread(rows[0], rows[1], rows[2], e); }
  void StepsChanged() override { FDoubleStep = 2 * FScanDirection; }

  int FKernelDivisor;
  int FDoubleStep = 2;
};

class TStuckiDitherer : public T5by3Ditherer {  // divisor 42
 public:
  TStuckiDitherer(int rowWidth, TColorLookup& lookup);

 protected:
  void Spread(int32_t* row0, int32_t* row1, int32_t* row2, int e) override;
};

class TSierraDitherer : public T5by3Ditherer {  // divisor 32
 public:
  TSierraDitherer(int rowWidth, TColorLookup& lookup);

 protected:
  void Spread(int32_t* row0, int32_t* row1, int32_t* row2, int e) override;
};

// Jarvis, Judice and Ninke, divisor 48.
class TJaJuNiDitherer : public T5by3Ditherer {
 public:
  TJaJuNiDitherer(int rowWidth, TColorLookup& lookup);

 protected:
  void Spread(int32_t* row0, int32_t* row1, int32_t* row2, int e) override;
};

// Stevenson and Arce: seven columns by four rows, divisor 200.
class TSteveArcheDitherer : public TErrorDiffusionDitherer {
 public:
  TSteveArcheDitherer(int rowWidth, TColorLookup& lookup);

 protected:
  void SpreadError(int32_t* const* rows, int e) override;
  void StepsChanged() override {
    FDoubleStep = 2 * FScanDirection;
    FTripleStep = 3 * FScanDirection;
  }
  int FDoubleStep = 2;
  int FTripleStep = 3;
};

// Burkes: five columns by two rows, divisor 32.
class TBurkesDitherer : public TErrorDiffusionDitherer {
 public:
  TBurkesDitherer(int rowWidth, TColorLookup& lookup);

 protected:
  void SpreadError(int32_t* const* rows, int e) override;
  void StepsChanged() override { FDoubleStep = 2 * FScanDirection; }
  int FDoubleStep = 2;
};

// Floyd-Steinberg (7 ahead; 3, 5, 1 below; divisor 16) in one error row per
// channel: while a row is scanned the entries ahead still hold this row's
// errors and the entries behind already hold the next row's.
class TFloydSteinbergDitherer : public TDitherEngine {
 public:
  TFloydSteinbergDitherer(int rowWidth, TColorLookup& lookup);
  uint8_t DitherPixel(uint8_t Red, uint8_t Green, uint8_t Blue, uint8_t& R, uint8_t& G,
                      uint8_t& B) override;
  void EndRow() override;
  bool DiffusesError() const override { return true; }

 protected:
  void ColumnSkipped() override;

 private:
  // RowWidth + 2 entries (margin 1) of red, green and blue side by side.
  std::vector<int32_t> FErrors;
  std::array<int32_t, 3> FCarry{};              // 7/16 share for the next pixel in the row
  std::array<int32_t, 3> FBehind{};             // row below, column behind the next pixel
  std::array<int32_t, 3> FAt{};                 // row below, column of the next pixel
};

// Class reference: creates an engine of one kind for a row width and lookup.
using TDitherEngineClass = std::unique_ptr<TDitherEngine> (*)(int rowWidth, TColorLookup& lookup);

template <class T>
std::unique_ptr<TDitherEngine> CreateDitherEngine(int rowWidth, TColorLookup& lookup) {
  return std::make_unique<T>(rowWidth, lookup);
}
