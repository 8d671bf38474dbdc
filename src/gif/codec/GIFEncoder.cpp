#include "gif/codec/GIFEncoder.h"

#include "gif/codec/LZWEncoder.h"
#include "gif/codec/RLEEncoder.h"

namespace {
// Interlace passes of the GIF format: first row and row step.
constexpr int kPassStart[4] = {0, 4, 2, 1};
constexpr int kPassStep[4] = {8, 8, 4, 2};
}  // namespace

void TGIFEncoder::Compress(TStream& Stream, int BitsPerPixel, int AWidth, int AHeight,
                           bool AInterlace, const uint8_t* AData, int AMaxColor) {
  OutStream = &Stream;
  Width = AWidth;
  Height = AHeight;
  Interlace = AInterlace;
  Data = AData;
  MaxColor = AMaxColor;
  InitCodeSize = static_cast<uint8_t>(BitsPerPixel < 2 ? 2 : BitsPerPixel);

  // LZW minimum code size.
  WriteByte(Stream, InitCodeSize);

  InitCodeBits = InitCodeSize + 1;
  CodeBits = InitCodeBits;
  MaxCode = static_cast<int16_t>(CodeMask(CodeBits));
  ClearCode = static_cast<int16_t>(1 << InitCodeSize);
  EndCode = static_cast<int16_t>(ClearCode + 1);
  FirstFreeCode = static_cast<int16_t>(ClearCode + 2);
  BitBuffer = 0;
  BitCount = 0;
  ClearPending = false;
  PixelsLeft = Interlace ? Width : Width * Height;
  Row = 0;
  Pass = 0;

  TGIFWriter writer(Stream);
  Writer = &writer;
  try {
    if (Data != nullptr && Height > 0 && Width > 0) EncodePixels();
    PutCode(EndCode);
  } catch (...) {
    // The complete and partial sub-blocks still reach the stream; the
    // terminator does not.
    Writer = nullptr;
    try {
      writer.Close();
    } catch (...) {
    }
    throw;
  }
  Writer = nullptr;
  writer.Close();
  // Block terminator.
  WriteByte(Stream, 0);
}

void TGIFEncoder::EmitClear() {
  ClearPending = true;
  PutCode(ClearCode);
}

bool TGIFEncoder::NextInterlacedRow() {
  PixelsLeft = Width;
  Row += kPassStep[Pass];
  while (Row >= Height && Pass < 3) {
    ++Pass;
    Row = kPassStart[Pass];
  }
  if (Row >= Height) return false;
  PixelPtr = Data + static_cast<int64_t>(Row) * Width;
  return true;
}

std::unique_ptr<TGIFEncoder> CreateEncoder(TGIFCompression Compression) {
  switch (Compression) {
    case gcRLE:
      return std::make_unique<TRLEEncoder>();
    case gcLZW:
    default:
      return std::make_unique<TLZWEncoder>();
  }
}
