#include "gif/codec/LZWEncoder.h"

namespace {
constexpr std::array<uint16_t, 4096> MakeCodeHash() {
  std::array<uint16_t, 4096> h{};
  for (uint32_t i = 0; i < 4096; ++i) h[i] = static_cast<uint16_t>(((i + 1) * 2654435761u) >> 18);
  return h;
}
constexpr std::array<uint16_t, 256> MakePixelHash() {
  std::array<uint16_t, 256> h{};
  for (uint32_t i = 0; i < 256; ++i) h[i] = static_cast<uint16_t>(((i + 0x3A5) * 0x85EBCA77u) >> 18);
  return h;
}
}  // namespace

const std::array<uint16_t, 4096> THashTable::CodeHash = MakeCodeHash();
const std::array<uint16_t, 256> THashTable::PixelHash = MakePixelHash();

// The width grows after the first code written once FreeCode has passed the
// largest code of the current width, which is when a decoder, one table
// entry behind us, grows too. A clear code drops it back.
void TLZWEncoder::NextCodeWidth() {
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

void TLZWEncoder::EmitClear() {
  TGIFEncoder::EmitClear();
  Table.Reset();
  FreeCode = FirstFreeCode;
}

void TLZWEncoder::EncodePixels() {
  FreeCode = FirstFreeCode;
  EmitClear();

  const uint32_t maxColor = static_cast<uint32_t>(MaxColor);
  const uint8_t* ptr = Data;
  uint32_t prefix = *ptr++;
  if (prefix >= maxColor) Error(gifmsg::InvalidColor);
  uint32_t prefixHash = THashTable::CodeHash[prefix];
  // Pixels left in the current run (the whole frame, or one interlaced row).
  int32_t remaining = PixelsLeft - 1;

  uint32_t* const keys = Table.Keys.data();
  const uint16_t* const hashes = Table.Hashes.data();
  for (;;) {
    const uint8_t* const end = ptr + remaining;
    while (ptr < end) {
      const uint32_t c = *ptr++;
      if (c >= maxColor) {
        Prefix = static_cast<int16_t>(prefix);
        Error(gifmsg::InvalidColor);
      }
      const uint32_t key = (prefix << 8) | c;
      uint32_t slot = prefixHash ^ THashTable::PixelHash[c];
      for (;;) {
        const uint32_t e = keys[slot];
        if ((e >> 12) == key) {
          // Known string: extend it.
          prefix = e & 0xFFF;
          prefixHash = hashes[slot];
          goto next_pixel;
        }
        if (e == THashTable::Empty) break;
        slot = THashTable::NextSlot(slot);
      }
      // New string: emit the known part, start again from this pixel.
      EmitCode(static_cast<int>(prefix));
      prefix = c;
      prefixHash = THashTable::CodeHash[c];
      if (FreeCode >= 4095) {
        // Code 4095 is never assigned: the table starts over instead.
        EmitClear();
      } else {
        Table.Store(slot, key, FreeCode);
        ++FreeCode;
      }
    next_pixel:;
    }
    // The run is used up: on to the next interlaced row, if any.
    PixelPtr = ptr;
    PixelsLeft = 1;
    if (!StepPixel()) break;
    ptr = PixelPtr;
    remaining = PixelsLeft;
  }
  Prefix = static_cast<int16_t>(prefix);
  EmitCode(Prefix);
}
