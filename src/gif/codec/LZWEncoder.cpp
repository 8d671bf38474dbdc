#include "gif/codec/LZWEncoder.h"

void TLZWEncoder::PutCode(int Code) {
  PackCode(Code);
  // The width grows after the first code written once FreeCode has passed
  // the largest code of the current width, which is when a decoder, one
  // table entry behind us, grows too.
  if (FreeCode > MaxCode || ClearPending) {
    if (ClearPending) {
      CodeBits = InitCodeBits;
      MaxCode = static_cast<int16_t>(CodeMask(CodeBits));
      ClearPending = false;
    } else {
      ++CodeBits;
      // At 12 bits no code can pass 4096, so the width stays.
      MaxCode = CodeBits == 12 ? int16_t{4096} : static_cast<int16_t>(CodeMask(CodeBits));
    }
  }
}

void TLZWEncoder::EmitClear() {
  TGIFEncoder::EmitClear();
  Table.Reset();
  FreeCode = FirstFreeCode;
}

void TLZWEncoder::EncodePixels() {
  FreeCode = FirstFreeCode;
  EmitClear();

  PixelPtr = Data;
  Prefix = *PixelPtr++;
  if (Prefix >= MaxColor) Error(gifmsg::InvalidColor);

  while (StepPixel()) {
    const uint8_t c = *PixelPtr++;
    if (c >= MaxColor) Error(gifmsg::InvalidColor);
    const uint32_t key = (static_cast<uint32_t>(Prefix) << 8) | c;
    int slot;
    const int code = Table.Lookup(key, slot);
    if (code >= 0) {
      Prefix = static_cast<int16_t>(code);
      continue;
    }
    TLZWEncoder::PutCode(Prefix);
    Prefix = c;
    if (FreeCode >= 4095) {
      // Code 4095 is never assigned: the table starts over instead.
      EmitClear();
    } else {
      Table.Store(slot, key, FreeCode);
      ++FreeCode;
    }
  }
  TLZWEncoder::PutCode(Prefix);
}
