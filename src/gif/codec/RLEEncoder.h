// Run-length coder of GIF image data. It writes ordinary LZW codes that any
// GIF decoder reads, but never searches for repeated strings: it emits plain
// pixel codes, and for a run of one colour the codes a decoder's string table
// has just built for runs of that colour (after a clear, pixel C followed by
// the first free code, the next, ... stands for runs of C of length 1, 2, 3,
// ...). It tracks the decoder's code count so that its code width changes
// exactly when the decoder's does, and clears before the table could fill.
// Chosen by a document whose Compression is gcRLE.
#pragma once

#include <cstdint>

#include "gif/codec/GIFEncoder.h"

class TRLEEncoder final : public TGIFEncoder {
 public:
  // Largest integer whose square does not exceed X (X >= 0).
  static int IntegerSqrt(int X);
  // Codes needed for a run of Count pixels when the table may hold runs up
  // to RunMax long.
  static int RunCost(int Count, int RunMax);

 protected:
  void EmitClear() override;
  void EncodePixels() override;

 private:
  void EmitPlain(int Code);
  void LiftClearLimit() { ClearLimit = CodeBudget; }
  void RestoreClearLimit();
  void EmitRunAfterClear(int Count);
  void EmitRunFresh(int Count);
  void EmitRunWithTable(int Count);
  void EmitRun(int Count);

  // Codes allowed between two clears once a run table is in use.
  int32_t CodeBudget = 0;
  // Written-code count at which the width first grows (ClearCode - 1).
  int32_t WidthBumpStart = 0;
  // Written-code count that normally forces a clear.
  int32_t ClearLimitStart = 0;
  // Pixel value of the current run; -1 before the first pixel.
  int32_t RunColor = -1;
  // Longest run of TableColor the decoder's table can express now.
  int32_t TableRunMax = 0;
  int32_t TableColor = 0;
  // Codes written since the last clear.
  int32_t CodesOut = 0;
  int32_t ClearLimit = 0;
  int32_t WidthBump = 0;
};
