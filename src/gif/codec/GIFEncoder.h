// Framework of the image data coders: code-size byte, variable-width codes
// packed least significant bit first into sub-blocks, the terminator, and the
// walk over the frame's pixels (plain or in the four-pass interlaced order).
// A subclass supplies EncodePixels; one encoder object serves one Compress.
//
//   TLZWEncoder enc;
//   enc.Compress(out, bitsPerPixel, width, height, interlaced, pixels, colors);
#pragma once

#include <cstdint>
#include <memory>

#include "gif/GIFImage.h"
#include "gif/codec/GIFStream.h"

class TGIFEncoder {
 public:
  virtual ~TGIFEncoder() = default;

  // Writes the image data of one frame: the code size (BitsPerPixel, at least
  // 2), the sub-blocks, the terminator. A pixel at or above MaxColor raises
  // "Color not in color table"; the gathered sub-blocks are still written,
  // the terminator is not. Without pixels (Data null, Width or Height 0) the
  // data is the end code alone.
  void Compress(TStream& Stream, int BitsPerPixel, int Width, int Height, bool Interlace,
                const uint8_t* Data, int MaxColor);

  // 2^n - 1 for n = 0..16.
  static uint16_t CodeMask(int n) { return static_cast<uint16_t>((1u << n) - 1u); }

 protected:
  // Packs one code at CodeBits (subclasses add code width management).
  virtual void PutCode(int Code) { PackCode(Code); }
  // Marks the clear and writes the clear code through PutCode.
  virtual void EmitClear();
  virtual void EncodePixels() = 0;

  // The plain bit packer: lowest bit first; whole bytes go to the writer,
  // four at a time; the end code also flushes the last partial byte
  // (zero-padded).
  void PackCode(int Code) {
    BitBuffer |= static_cast<uint64_t>(static_cast<uint32_t>(Code)) << BitCount;
    BitCount += CodeBits;
    if (BitCount >= 32) {
      Writer->PutWord(static_cast<uint32_t>(BitBuffer));
      BitBuffer >>= 32;
      BitCount -= 32;
    }
    if (Code == EndCode) FlushBits();
  }
  // Writes the pending bits, the last byte padded with zero bits.
  void FlushBits() {
    while (BitCount > 0) {
      Writer->PutByte(static_cast<uint8_t>(BitBuffer));
      BitBuffer >>= 8;
      BitCount -= 8;
    }
    BitBuffer = 0;
    BitCount = 0;
  }

  // Advances the pixel walk after a pixel was read (PixelPtr already moved);
  // false when the frame has been read. Interlaced: rows 0, 8, 16..., then
  // 4, 12..., then 2, 6..., then 1, 3....
  bool StepPixel() {
    if (--PixelsLeft > 0) return true;
    if (!Interlace) return false;
    return NextInterlacedRow();
  }
  bool NextInterlacedRow();

  int32_t MaxColor = 0;
  uint8_t InitCodeSize = 0;
  TStream* OutStream = nullptr;
  int32_t Width = 0;
  int32_t Height = 0;
  bool Interlace = false;
  const uint8_t* Data = nullptr;
  TGIFWriter* Writer = nullptr;  // lives for the duration of Compress
  uint64_t BitBuffer = 0;  // pending bits, lowest first (fewer than 32 between codes)
  int32_t BitCount = 0;
  bool ClearPending = false;
  int32_t CodeBits = 0;
  int32_t InitCodeBits = 0;
  int16_t MaxCode = 0;
  int16_t ClearCode = 0;
  int16_t EndCode = 0;
  int16_t FirstFreeCode = 0;
  const uint8_t* PixelPtr = nullptr;
  int32_t PixelsLeft = 0;
  int32_t Row = 0;
  int32_t Pass = 0;
};

// The coder the document's Compression setting selects.
std::unique_ptr<TGIFEncoder> CreateEncoder(TGIFCompression Compression);
