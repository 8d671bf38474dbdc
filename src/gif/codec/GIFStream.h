// The sub-block writer: a write-only stream that cuts the coded bytes of an
// image into GIF data sub-blocks (a count byte 1..255, then that many bytes).
// It writes neither the LZW code-size byte before the chain nor the 0
// terminator after it; the encoder writes both straight to the target.
//
//   WriteByte(out, codeSize);
//   { TGIFWriter w(out); w.PutByte(...); ...; w.Close(); }
//   WriteByte(out, 0);
#pragma once

#include <array>
#include <cstdint>

#include "platform/Classes.h"

// Common base of the sub-block streams: every stream operation is refused
// with Exception "Invalid stream operation" (position and size included).
class TGIFStream : public TStream {
 public:
  explicit TGIFStream(TStream& Target) : FTarget(&Target) {}
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override;
  void SetSize(int64_t NewSize) override;

 protected:
  // Emits the gathered bytes as one sub-block.
  void FlushBlock();

  TStream* FTarget;
  // Byte 0 takes the count when the block is emitted; 1..255 hold the data.
  std::array<uint8_t, 256> FBlock{};
  // Index of the next free byte: 1 = empty, 256 = full.
  int FBlockFill = 1;
};

class TGIFWriter final : public TGIFStream {
 public:
  explicit TGIFWriter(TStream& Target) : TGIFStream(Target) {}
  // Flushes what is left unless Close already did; errors are swallowed here
  // because a destructor must not throw: call Close to see them.
  ~TGIFWriter() override;
  // Takes all Count bytes; returns Count.
  int64_t Write(const void* Buffer, int64_t Count) override;
  // The encoders' path: one byte, one bounds check.
  void PutByte(uint8_t Value) {
    FBlock[static_cast<size_t>(FBlockFill++)] = Value;
    if (FBlockFill == 256) FlushBlock();
  }
  // Four bytes, lowest first.
  void PutWord(uint32_t Value) {
    if (FBlockFill <= 252) {
      uint8_t* p = FBlock.data() + FBlockFill;
      p[0] = static_cast<uint8_t>(Value);
      p[1] = static_cast<uint8_t>(Value >> 8);
      p[2] = static_cast<uint8_t>(Value >> 16);
      p[3] = static_cast<uint8_t>(Value >> 24);
      FBlockFill += 4;
      if (FBlockFill == 256) FlushBlock();
    } else {
      for (int i = 0; i < 4; ++i, Value >>= 8) PutByte(static_cast<uint8_t>(Value));
    }
  }
  // Emits the last partial sub-block (nothing when empty).
  void Close();
};
