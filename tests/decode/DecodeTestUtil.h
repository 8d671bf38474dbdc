// Helpers of the decoding tests: an LZW code packer for hand-made image data,
// giflib as a writer of reference files, and a warning collector.
#pragma once

#include <gif_lib.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "gif/codec/LZWDecoder.h"
#include "platform/Classes.h"

namespace dtest {

using Bytes = std::vector<uint8_t>;

// Packs codes least significant bit first and cuts the bytes into sub-blocks
// of BlockSize. Widths follow a decoder's string table exactly as long as
// every code is one the decoder accepts (Code adds a table slot, except for
// the first code after a clear).
class CodeStream {
 public:
  explicit CodeStream(int SizeByte, int BlockSize = 255) : FSize(SizeByte), FBlockSize(BlockSize) { Reset(); }

  int ClearCode() const { return 1 << FSize; }
  int EndCode() const { return ClearCode() + 1; }
  int Width() const { return FWidth; }
  int FreeSlot() const { return FFree; }

  void Clear() {
    Put(ClearCode(), FWidth);
    Reset();
  }
  void Code(int C) {
    Put(C, FWidth);
    if (!FAfterClear && FFree < 4096) {
      ++FFree;
      if (FFree >= FGrowAt && FGrowAt < 4096) {
        FGrowAt *= 2;
        ++FWidth;
      }
    }
    FAfterClear = false;
  }
  void End() { Put(EndCode(), FWidth); }
  // A code at an explicit width, without touching the table model.
  void Raw(int C, int W) { Put(C, W); }

  // Code-size byte, sub-blocks, and (unless told otherwise) the terminator.
  Bytes Finish(bool Terminator = true) const {
    Bytes bits = FBytes;
    if (FBitCount > 0) bits.push_back(static_cast<uint8_t>(FAcc));
    Bytes out{static_cast<uint8_t>(FSize)};
    for (size_t i = 0; i < bits.size(); i += static_cast<size_t>(FBlockSize)) {
      size_t n = std::min(bits.size() - i, static_cast<size_t>(FBlockSize));
      out.push_back(static_cast<uint8_t>(n));
      out.insert(out.end(), bits.begin() + static_cast<long>(i), bits.begin() + static_cast<long>(i + n));
    }
    if (Terminator) out.push_back(0);
    return out;
  }
  size_t BitsWritten() const { return FBytes.size() * 8 + static_cast<size_t>(FBitCount); }

 private:
  void Reset() {
    FWidth = FSize + 1;
    FFree = ClearCode() + 2;
    FGrowAt = 2 * ClearCode();
    FAfterClear = true;
  }
  void Put(int C, int W) {
    FAcc |= static_cast<uint32_t>(C) << FBitCount;
    FBitCount += W;
    while (FBitCount >= 8) {
      FBytes.push_back(static_cast<uint8_t>(FAcc));
      FAcc >>= 8;
      FBitCount -= 8;
    }
  }

  int FSize;
  int FBlockSize;
  int FWidth = 0;
  int FFree = 0;
  int FGrowAt = 0;
  bool FAfterClear = true;
  Bytes FBytes;
  uint32_t FAcc = 0;
  int FBitCount = 0;
};

// A memory stream holding Data, positioned at 0.
inline void Load(TMemoryStream& S, const Bytes& Data) {
  S.Clear();
  if (!Data.empty()) S.WriteBuffer(Data.data(), static_cast<int64_t>(Data.size()));
  S.SetPosition(0);
}

struct DecodeResult {
  Bytes Pixels;
  std::vector<std::string> Warnings;
  int64_t Position = 0;  // stream position afterwards
  std::string Error;     // message of a raised exception, else empty
};

// Decodes Data into a Width x Height buffer filled with Fill.
DecodeResult Decode(const Bytes& Data, int Width, int Height, bool Interlaced = false, uint8_t Fill = 0,
                    bool Reference = false);

// One frame written by giflib: Pixels in row order (giflib is given the rows
// in interlaced order when Interlaced). Returns the whole GIF file.
Bytes GiflibFile(const std::vector<std::vector<uint8_t>>& Frames, int Width, int Height, int BitsPerPixel,
                 bool Interlaced, bool LocalTables = false);
// The image data (code-size byte to terminator) of the first frame of a GIF
// file, found by walking its blocks.
Bytes FirstImageData(const Bytes& File);

// Frames decoded by giflib's DGifSlurp, in row order.
struct GiflibFrame {
  int Left, Top, Width, Height;
  bool Interlaced;
  Bytes Pixels;
};
std::vector<GiflibFrame> GiflibDecode(const Bytes& File, int* Error = nullptr);

// Random pixels below Colors, with runs when RunChance > 0.
Bytes RandomPixels(std::mt19937& Rng, size_t Count, int Colors, double RunChance = 0.0);

}  // namespace dtest
