#include "gif/codec/RLEEncoder.h"

int TRLEEncoder::IntegerSqrt(int X) {
  if (X < 2) return X;
  // Start above the root (a power of two) and step down Newton's way.
  int r = 1;
  for (int v = X; v > 0; v /= 4) r *= 2;
  for (;;) {
    const int v = (X / r + r) / 2;
    if (v == r || v == r + 1) return r;
    r = v;
  }
}

int TRLEEncoder::RunCost(int Count, int RunMax) {
  int cost = 0;
  const int perRep = RunMax * (RunMax + 1) / 2;
  while (Count >= perRep) {
    cost += RunMax;
    Count -= perRep;
  }
  if (Count > 0) {
    // The smallest n with n (n + 1) / 2 >= Count.
    int64_t n = IntegerSqrt(Count);
    while (n * (n + 1) >= 2 * int64_t{Count}) --n;
    while (n * (n + 1) < 2 * int64_t{Count}) ++n;
    cost += static_cast<int>(n);
  }
  return cost;
}

void TRLEEncoder::EmitPlain(int Code) {
  ClearPending = false;
  PutCode(Code);
  ++CodesOut;
  if (CodesOut >= WidthBump) {
    // The decoder's table has just reached the next power of two.
    ++CodeBits;
    WidthBump += 1 << (CodeBits - 1);
  }
  if (CodesOut >= ClearLimit) EmitClear();
}

void TRLEEncoder::EmitClear() {
  WidthBump = WidthBumpStart;
  ClearLimit = ClearLimitStart;
  CodesOut = 0;
  TableRunMax = 0;
  TGIFEncoder::EmitClear();  // the clear code at the width in force
  CodeBits = InitCodeBits;
}

void TRLEEncoder::RestoreClearLimit() {
  ClearLimit = ClearLimitStart;
  if (CodesOut >= ClearLimit) EmitClear();
}

void TRLEEncoder::EmitRunAfterClear(int Count) {
  // Build the triangle: C, then the codes for runs of 2, 3, ... of C.
  LiftClearLimit();
  TableColor = RunColor;
  int n = 1;
  while (Count > 0) {
    if (n == 1) {
      TableRunMax = 1;
      EmitPlain(RunColor);
      Count -= 1;
    } else if (Count >= n) {
      TableRunMax = n;
      EmitPlain(FirstFreeCode + n - 2);
      Count -= n;
    } else if (Count == 1) {
      ++TableRunMax;
      EmitPlain(RunColor);
      Count = 0;
    } else {
      ++TableRunMax;
      EmitPlain(FirstFreeCode + Count - 2);
      Count = 0;
    }
    n = CodesOut == 0 ? 1 : n + 1;  // a clear inside EmitPlain starts over
  }
  RestoreClearLimit();
}

void TRLEEncoder::EmitRunFresh(int Count) {
  const int withClear = 1 + RunCost(Count, CodeBudget);
  if (withClear < Count) {
    EmitClear();
    EmitRunAfterClear(Count);
  } else {
    for (int i = 0; i < Count; ++i) EmitPlain(RunColor);
  }
}

void TRLEEncoder::EmitRunWithTable(int Count) {
  int reps = Count / TableRunMax;
  int left = Count % TableRunMax;
  int leftCodes = left > 0 ? 1 : 0;
  if (CodesOut + reps + leftCodes > CodeBudget) {
    reps = CodeBudget - CodesOut;
    left = Count - reps * TableRunMax;
    leftCodes = 1 + RunCost(left, CodeBudget);
  }
  if (1 + RunCost(Count, CodeBudget) < reps + leftCodes) {
    EmitClear();
    EmitRunAfterClear(Count);
    return;
  }
  LiftClearLimit();
  const int longest = FirstFreeCode + TableRunMax - 2;
  for (int i = 0; i < reps; ++i) EmitPlain(longest);
  if (left > 0) {
    if (ClearPending)
      EmitRunAfterClear(left);
    else if (left == 1)
      EmitPlain(RunColor);
    else
      EmitPlain(FirstFreeCode + left - 2);
  }
  RestoreClearLimit();
}

void TRLEEncoder::EmitRun(int Count) {
  if (Count == 1)
    EmitPlain(RunColor);
  else if (ClearPending)
    EmitRunAfterClear(Count);
  else if (TableRunMax >= 2 && TableColor == RunColor)
    EmitRunWithTable(Count);
  else
    EmitRunFresh(Count);
}

void TRLEEncoder::EncodePixels() {
  WidthBumpStart = ClearCode - 1;
  ClearLimitStart = InitCodeSize > 3 ? ClearCode - 2 : 9;
  CodeBudget = 4095 - FirstFreeCode;
  EmitClear();
  int run = 0;
  PixelPtr = Data;
  RunColor = -1;
  do {
    const int c = *PixelPtr++;
    if (c >= MaxColor) Error(gifmsg::InvalidColor);
    if (run > 0 && c != RunColor) {
      EmitRun(run);
      run = 0;
    }
    if (c == RunColor) {
      ++run;
    } else {
      RunColor = c;
      run = 1;
    }
  } while (StepPixel());
  EmitRun(run);
}
