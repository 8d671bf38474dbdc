// LZW decoder of GIF image data: reads the code-size byte, the data
// sub-blocks and the terminator of one frame and writes colour indices into
// the frame's pixel buffer, in plain or interlaced row order. Damaged data is
// tolerated where the pixels can still be trusted: the decoder warns, stops,
// and leaves the remaining pixels at the fill value.
//
//   DecodeFrame(frame, stream);   // the frame's descriptor has been read
//
// TLZWDecoder is the engine behind it and can decode into any buffer; tests
// and tools use it directly.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class TStream;
class TGIFSubImage;

namespace gifmsg {
// Warning: a code size above 11 cannot address the 4096-entry string table.
inline constexpr const char* DecodeBadCodeSize = "Invalid LZW code size";
}  // namespace gifmsg

class TLZWDecoder {
 public:
  // Receives each warning (the messages of gif/GIFMessages.h).
  using TWarningSink = std::function<void(const char* Message)>;

  TLZWDecoder(TStream& Source, TWarningSink Warning);
  TLZWDecoder(const TLZWDecoder&) = delete;
  TLZWDecoder& operator=(const TLZWDecoder&) = delete;

  // Decodes the image data at the stream's position into Pixels, Width x
  // Height bytes already holding the fill value. Afterwards the stream stands
  // after the block terminator (or at its end when the data is cut short).
  // Raises GIFException "Circular decoder table entry" for a string table
  // that refers to itself.
  void Decode(uint8_t* Pixels, int Width, int Height, bool Interlaced);

  // Decodes with the table walk alone, never with the copy-from-output fast
  // path; both give the same pixels. For tests that compare the two.
  void SetReferenceMode(bool Value) { FReferenceMode = Value; }

  static constexpr int TableSize = 4096;
  static constexpr int MaxCodeSize = 11;

 private:
  // Bit reader state, copied into locals by the hot loop.
  struct TBitState {
    uint64_t Bits;        // unread bits, lowest first
    int Count;            // number of valid bits in Bits
    const uint8_t* Cur;   // next unread byte of the current sub-block
    const uint8_t* End;   // end of the current sub-block's data
  };

  void DecodeLinear(uint8_t* Out, int64_t N);
  void DecodeLoop(uint8_t* Out, int64_t N, int64_t& Pos);
  // Copy-from-output loop for a clean table; returns the new position and
  // leaves FPendingCode >= 0 when a code needs the table walk.
  int64_t RunFast(uint8_t* Out, int64_t Pos, int64_t N);
  // One code through the table walk (clear and end codes included); returns a
  // pixel, -1 (no more data) or -2 (end code). Further pixels go on the stack.
  int DecodeCode(int Code);
  int DecodeNext();
  // A code of Width bits, or -1; the path that may read the next sub-block.
  int ReadCode(int Width);
  int ReadCodeSlow(int Width);
  // Loads bytes of the current sub-block into the bit buffer.
  static void Fill(TBitState& B);
  void ResetTable();
  // Reads and drops sub-blocks up to and including the terminator.
  void SkipSubBlocks();
  void Push(int Pixel);

  TStream& FSource;
  TWarningSink FWarning;
  bool FReferenceMode = false;

  int FSizeByte = 0;
  int FCodeWidth = 0;
  int FClearCode = 0;
  int FEndCode = 0;
  int FGrowAt = 0;
  int FFreeSlot = 0;
  int FDirtyTop = 0;  // slots at and above ClearCode written since the last reset end here
  int FFirstPixel = 0;
  int FPrevCode = 0;

  // True while every table entry since the last clear is an ordinary string
  // (the previous string plus one pixel), so strings can be copied from the
  // output instead of walking the table.
  bool FClean = false;
  bool FFastAllowed = false;
  int FPendingCode = -1;   // code the fast loop handed over to the table walk
  bool FStopped = false;   // a negative code ended decoding
  int64_t FLastPos = 0;    // output position and length of the previous string
  int64_t FLastLen = 0;
  int64_t FLeftover = 0;   // pixels of the last string that did not fit

  TBitState FB{};
  bool FAtEnd = false;     // the terminator has been read
  bool FEndSeen = false;   // the end code has been met; no more codes
  bool FClearFirst = true;

  std::array<uint16_t, TableSize> FPrefixOf{};
  std::array<uint16_t, TableSize> FSuffixOf{};
  std::array<uint32_t, TableSize> FStart{};   // output offset of each string
  std::array<uint16_t, TableSize> FLength{};  // its length in pixels
  std::array<uint16_t, 2 * TableSize> FPixelStack{};
  int FStackTop = 0;
  std::array<uint8_t, 256 + 8> FBlock{};      // data of the current sub-block
  std::vector<uint8_t> FInterlaceBuffer;
};

// Fills the frame's pixel buffer from the image data at the stream's
// position: allocates Width x Height bytes (after checking the pixel buffer
// limits), fills them with the transparent colour index or 0, and decodes.
// Warnings go through the frame.
void DecodeFrame(TGIFSubImage& Frame, TStream& Source);

// Upper bounds on pixel buffers while reading, so that a hostile descriptor
// cannot make the reader allocate gigabytes. Process-wide; a frame or a
// document beyond them is refused with a GIFException before allocating.
struct TGIFPixelLimits {
  int64_t MaxFrameBytes = int64_t{256} << 20;      // one frame's Width x Height
  int64_t MaxDocumentBytes = int64_t{1} << 30;     // all frames of a document
};
TGIFPixelLimits GIFPixelLimits();
void SetGIFPixelLimits(const TGIFPixelLimits& Limits);

namespace gifmsg {
inline constexpr const char* FrameTooLarge = "Frame exceeds the pixel buffer limit";
inline constexpr const char* DocumentTooLarge = "Frames exceed the pixel buffer limit of a document";
}  // namespace gifmsg

// Raises FrameTooLarge / DocumentTooLarge (with the sizes) when a frame of
// Width x Height would pass the limits, given the bytes the document's other
// frames already hold.
void CheckPixelLimits(int Width, int Height, int64_t DocumentBytes);
