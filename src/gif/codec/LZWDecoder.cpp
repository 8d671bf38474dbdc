#include "gif/codec/LZWDecoder.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "gif/GIFImage.h"
#include "platform/Classes.h"

namespace {

std::atomic<int64_t> gMaxFrameBytes{TGIFPixelLimits{}.MaxFrameBytes};
std::atomic<int64_t> gMaxDocumentBytes{TGIFPixelLimits{}.MaxDocumentBytes};

// Reads up to Count bytes, retrying short reads until the stream ends.
int64_t ReadSome(TStream& S, uint8_t* Buffer, int64_t Count) {
  int64_t got = 0;
  while (got < Count) {
    int64_t n = S.Read(Buffer + got, Count - got);
    if (n <= 0) break;
    got += n;
  }
  return got;
}

// Row order of an interlaced frame: every 8th row from 0, every 8th from 4,
// every 4th from 2, every 2nd from 1. Calls Visit(row) for each, in order.
template <class F>
void ForEachInterlacedRow(int Height, F Visit) {
  static constexpr int kStart[4] = {0, 4, 2, 1};
  static constexpr int kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int row = kStart[pass]; row < Height; row += kStep[pass]) Visit(row);
}

}  // namespace

TGIFPixelLimits GIFPixelLimits() {
  return TGIFPixelLimits{gMaxFrameBytes.load(), gMaxDocumentBytes.load()};
}

void SetGIFPixelLimits(const TGIFPixelLimits& Limits) {
  gMaxFrameBytes.store(Limits.MaxFrameBytes);
  gMaxDocumentBytes.store(Limits.MaxDocumentBytes);
}

void CheckPixelLimits(int Width, int Height, int64_t DocumentBytes) {
  const int64_t bytes = int64_t{std::max(Width, 0)} * std::max(Height, 0);
  // The frame keeps its size in 32 bits, so nothing beyond that is accepted
  // whatever the setting says.
  const int64_t frameLimit = std::min<int64_t>(gMaxFrameBytes.load(), INT_MAX);
  if (bytes > frameLimit)
    Error(std::string(gifmsg::FrameTooLarge) + " (" + std::to_string(Width) + " x " +
          std::to_string(Height) + " pixels, limit " + std::to_string(frameLimit) + " bytes)");
  const int64_t docLimit = gMaxDocumentBytes.load();
  if (DocumentBytes + bytes > docLimit)
    Error(std::string(gifmsg::DocumentTooLarge) + " (" + std::to_string(DocumentBytes + bytes) +
          " bytes, limit " + std::to_string(docLimit) + " bytes)");
}

// ---------------------------------------------------------------------------

TLZWDecoder::TLZWDecoder(TStream& Source, TWarningSink Warning)
    : FSource(Source), FWarning(std::move(Warning)) {}

void TLZWDecoder::Decode(uint8_t* Pixels, int Width, int Height, bool Interlaced) {
  const int64_t n = (Width > 0 && Height > 0) ? int64_t{Width} * Height : 0;

  uint8_t sizeByte;
  if (ReadSome(FSource, &sizeByte, 1) != 1) return;  // no data: every pixel keeps the fill
  if (sizeByte > MaxCodeSize) {
    // The clear code would lie beyond the string table; nothing in this
    // frame's data can be trusted, but the blocks after it still can.
    if (FWarning) FWarning(gifmsg::DecodeBadCodeSize);
    SkipSubBlocks();
    return;
  }

  FSizeByte = sizeByte;
  FClearCode = 1 << sizeByte;
  FEndCode = FClearCode + 1;
  FCodeWidth = sizeByte + 1;
  FGrowAt = 2 * FClearCode;
  FFreeSlot = FClearCode + 2;
  FB = TBitState{0, 0, FBlock.data(), FBlock.data()};
  FAtEnd = false;
  FEndSeen = false;
  FClearFirst = true;
  FStackTop = 0;
  FStopped = false;
  FPendingCode = -1;
  FLeftover = 0;
  FClean = false;
  // Pixel values above 255 (code sizes 9 to 11) are stored by their low
  // byte, so the output no longer holds the strings; walk the table then.
  FFastAllowed = !FReferenceMode && sizeByte <= 8;
  for (int i = 0; i < FClearCode; ++i) {
    FPrefixOf[static_cast<size_t>(i)] = 0;
    FSuffixOf[static_cast<size_t>(i)] = static_cast<uint16_t>(i);
    FLength[static_cast<size_t>(i)] = 1;  // a pixel is a string of one
  }
  FLength[static_cast<size_t>(FClearCode)] = 0;
  FLength[static_cast<size_t>(FEndCode)] = 0;
  FDirtyTop = TableSize;  // the first clear zeroes the whole string part

  const bool scatter = Interlaced && Height > 1 && n > 0;
  uint8_t* out = Pixels;
  if (scatter) {
    // Decode in stream order, then place the rows; strings are copied from
    // earlier output, which must therefore be in stream order too.
    FInterlaceBuffer.assign(static_cast<size_t>(n), Pixels[0]);
    out = FInterlaceBuffer.data();
  }
  auto place = [&] {
    if (!scatter) return;
    const uint8_t* src = FInterlaceBuffer.data();
    ForEachInterlacedRow(Height, [&](int row) {
      std::memcpy(Pixels + int64_t{row} * Width, src, static_cast<size_t>(Width));
      src += Width;
    });
  };
  try {
    DecodeLinear(out, n);
  } catch (...) {
    place();
    throw;
  }
  place();

  // One more code after the last pixel: for well-formed data it is the end
  // code. Whatever it is, the rest of the sub-blocks is skipped so that the
  // stream stands at the next block even when the data holds more pixels
  // than the frame.
  if (!FEndSeen && !FStopped && FLeftover == 0 && FStackTop == 0) {
    int code = ReadCode(FCodeWidth);
    if (code == FEndCode) FEndSeen = true;
  }
  if (!FAtEnd) SkipSubBlocks();
}

void TLZWDecoder::DecodeLinear(uint8_t* Out, int64_t N) {
  if (N <= 0) return;
  // The fast copies may write up to 7 bytes past the string they copy; those
  // bytes are overwritten by the next string, and when decoding stops early
  // they get the fill value back.
  const uint8_t fill = Out[0];
  int64_t pos = 0;
  auto restoreFill = [&] {
    if (pos < N) std::memset(Out + pos, fill, static_cast<size_t>(std::min<int64_t>(8, N - pos)));
  };
  try {
    DecodeLoop(Out, N, pos);
  } catch (...) {
    restoreFill();
    throw;
  }
  restoreFill();
}

void TLZWDecoder::DecodeLoop(uint8_t* Out, int64_t N, int64_t& pos) {
  while (pos < N && !FStopped) {
    if (FClean && FStackTop == 0 && FPendingCode < 0) {
      pos = RunFast(Out, pos, N);
      continue;
    }
    if (FStackTop > 0) {
      int64_t k = std::min<int64_t>(FStackTop, N - pos);
      while (k-- > 0) Out[pos++] = static_cast<uint8_t>(FPixelStack[static_cast<size_t>(--FStackTop)]);
      continue;
    }
    int r;
    if (FPendingCode >= 0) {
      int code = FPendingCode;
      FPendingCode = -1;
      r = DecodeCode(code);
    } else {
      r = DecodeNext();
    }
    if (r < 0) {
      FStopped = true;
      break;
    }
    Out[pos] = static_cast<uint8_t>(r);
    if (FClean) {
      // A clear code made the table clean again: the fast loop continues
      // from this single-pixel string.
      FLastPos = pos;
      FLastLen = 1;
    }
    ++pos;
  }
}

// Inlined: it runs once every few codes in the hot loop.
[[gnu::always_inline]] inline void TLZWDecoder::Fill(TBitState& B) {
  if (B.End - B.Cur >= 8) {
    // Loads 8 bytes but counts only the whole bytes that fit; the bits of a
    // partly loaded byte are loaded again, identically, next time.
    uint64_t v;
    std::memcpy(&v, B.Cur, 8);
    B.Bits |= v << B.Count;
    const int take = (63 - B.Count) >> 3;
    B.Cur += take;
    B.Count += take << 3;
  } else {
    while (B.Count <= 56 && B.Cur < B.End) {
      B.Bits |= uint64_t{*B.Cur++} << B.Count;
      B.Count += 8;
    }
  }
}

int64_t TLZWDecoder::RunFast(uint8_t* Out, int64_t Pos, int64_t N) {
  // Every pixel value as a one-byte string, with room for 8-byte reads.
  static constexpr auto kLiterals = [] {
    std::array<uint8_t, 256 + 8> a{};
    for (int i = 0; i < 256; ++i) a[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    return a;
  }();
  TBitState b = FB;
  int width = FCodeWidth;
  const int clearCode = FClearCode;
  int freeSlot = FFreeSlot;
  int growAt = FGrowAt;
  int prevCode = FPrevCode;
  int firstPixel = FFirstPixel;
  int64_t lastPos = FLastPos;
  int64_t lastLen = FLastLen;
  uint16_t* prefixOf = FPrefixOf.data();
  const uint32_t* start = FStart.data();
  const uint16_t* length = FLength.data();
  int64_t pos = Pos;

  while (pos < N) {
    int code;
    if (b.Count <= width) Fill(b);
    if (b.Count > width) {
      code = static_cast<int>(b.Bits & ((1u << width) - 1u));
      b.Bits >>= width;
      b.Count -= width;
    } else {
      FB = b;
      code = ReadCodeSlow(width);
      b = FB;
      if (code < 0) {
        FStopped = true;
        break;
      }
    }

    // Pixels (length 1, read from kLiterals) and strings already in the table
    // (read from the output where they were first written) take one path.
    // The clear and end codes have length 0.
    int64_t len = length[code];
    const uint8_t* src = code < clearCode ? kLiterals.data() + code : Out + start[code];
    uint8_t* dst = Out + pos;
    const int64_t room = N - pos;
    int first;
    if (code < freeSlot && len != 0) {
      first = *src;
      if (len + 8 <= room) {
        // 8 bytes at a time; the overshoot lands on output not yet written.
        uint8_t* e = dst + len;
        do {
          uint64_t v;
          std::memcpy(&v, src, 8);
          std::memcpy(dst, &v, 8);
          src += 8;
          dst += 8;
        } while (dst < e);
      } else {
        const int64_t k = std::min(len, room);
        for (int64_t i = 0; i < k; ++i) dst[i] = src[i];
      }
    } else if (code == freeSlot) {
      // The string being defined: the previous string plus its own first
      // pixel. The previous string ends right where this one starts.
      len = lastLen + 1;
      src = Out + lastPos;
      first = firstPixel;
      if (len + 8 <= room) {
        uint8_t* e = dst + lastLen;
        uint8_t* d = dst;
        do {
          uint64_t v;
          std::memcpy(&v, src, 8);
          std::memcpy(d, &v, 8);
          src += 8;
          d += 8;
        } while (d < e);
        dst[lastLen] = static_cast<uint8_t>(first);
      } else {
        const int64_t k = std::min(len, room);
        for (int64_t i = 0; i < k; ++i) dst[i] = i < lastLen ? src[i] : static_cast<uint8_t>(first);
      }
    } else {
      // Clear code, end code, or a code beyond the table: the table walk
      // handles these exactly.
      if (code > freeSlot) {
        FClean = false;
        // The walk needs the last pixel of every string; in the fast loop
        // they are only in the output.
        for (int k = clearCode + 2; k < freeSlot; ++k)
          FSuffixOf[static_cast<size_t>(k)] = Out[start[k] + length[k] - 1u];
      }
      FPendingCode = code;
      break;
    }

    if (freeSlot < TableSize) {
      prefixOf[freeSlot] = static_cast<uint16_t>(prevCode);
      FStart[static_cast<size_t>(freeSlot)] = static_cast<uint32_t>(lastPos);
      FLength[static_cast<size_t>(freeSlot)] = static_cast<uint16_t>(lastLen + 1);
      if (++freeSlot >= growAt && growAt < TableSize) {
        growAt <<= 1;
        ++width;
      }
    }
    prevCode = code;
    firstPixel = first;
    lastPos = pos;
    lastLen = len;
    pos += len;
    if (pos > N) {
      FLeftover = pos - N;
      pos = N;
    }
  }

  FB = b;
  FCodeWidth = width;
  FFreeSlot = freeSlot;
  FDirtyTop = std::max(FDirtyTop, freeSlot);
  FGrowAt = growAt;
  FPrevCode = prevCode;
  FFirstPixel = firstPixel;
  FLastPos = lastPos;
  FLastLen = lastLen;
  return pos;
}

int TLZWDecoder::DecodeNext() {
  int code = ReadCode(FCodeWidth);
  if (code < 0) return code;
  return DecodeCode(code);
}

void TLZWDecoder::Push(int Pixel) { FPixelStack[static_cast<size_t>(FStackTop++)] = static_cast<uint16_t>(Pixel); }

int TLZWDecoder::DecodeCode(int Code) {
  if (Code == FClearCode) {
    ResetTable();
    do {
      Code = ReadCode(FCodeWidth);
    } while (Code == FClearCode);
    if (Code < 0) return Code;
    if (Code == FEndCode) {
      // An end code right after a clear ends the data like any end code.
      if (!FAtEnd) SkipSubBlocks();
      FEndSeen = true;
      return -2;
    }
    // The first code after a clear is taken as a pixel, whatever it is.
    FFirstPixel = FPrevCode = Code;
    FClean = FFastAllowed && Code < FClearCode;
    return Code;
  }
  if (Code == FEndCode) {
    if (!FAtEnd) SkipSubBlocks();
    FEndSeen = true;
    return -2;
  }

  const int inCode = Code;
  if (Code >= FFreeSlot) {
    // Not in the table yet: the previous string plus its first pixel. A code
    // beyond the next free slot is treated the same way.
    if (Code > FFreeSlot) FClean = false;
    Push(FFirstPixel);
    Code = FPrevCode;
  }
  // A chain longer than the table can hold means the entries form a loop.
  int steps = 0;
  while (Code >= FClearCode) {
    Push(FSuffixOf[static_cast<size_t>(Code)]);
    const int prefix = FPrefixOf[static_cast<size_t>(Code)];
    if (prefix == Code || ++steps >= TableSize) Error(gifmsg::DecodeCircular);
    Code = prefix;
  }
  FFirstPixel = FSuffixOf[static_cast<size_t>(Code)];
  Push(FFirstPixel);

  if (FFreeSlot < TableSize) {
    FPrefixOf[static_cast<size_t>(FFreeSlot)] = static_cast<uint16_t>(FPrevCode);
    FSuffixOf[static_cast<size_t>(FFreeSlot)] = static_cast<uint16_t>(FFirstPixel);
    ++FFreeSlot;
    FDirtyTop = std::max(FDirtyTop, FFreeSlot);
    if (FFreeSlot >= FGrowAt && FGrowAt < TableSize) {
      FGrowAt *= 2;
      ++FCodeWidth;
    }
  }
  FPrevCode = inCode;
  return FPixelStack[static_cast<size_t>(--FStackTop)];
}

void TLZWDecoder::ResetTable() {
  for (int i = FClearCode; i < FDirtyTop; ++i) {
    FPrefixOf[static_cast<size_t>(i)] = 0;
    FSuffixOf[static_cast<size_t>(i)] = 0;
  }
  FDirtyTop = FClearCode;
  FCodeWidth = FSizeByte + 1;
  FGrowAt = 2 * FClearCode;
  FFreeSlot = FClearCode + 2;
  FStackTop = 0;
}


int TLZWDecoder::ReadCode(int Width) {
  if (FClearFirst) {
    // Decoding always starts with a table reset.
    FClearFirst = false;
    return FClearCode;
  }
  if (FB.Count <= Width) return ReadCodeSlow(Width);
  const int code = static_cast<int>(FB.Bits & ((1u << Width) - 1u));
  FB.Bits >>= Width;
  FB.Count -= Width;
  return code;
}

int TLZWDecoder::ReadCodeSlow(int Width) {
  Fill(FB);
  // A code that would end exactly at the last bit still reads the next
  // sub-block's length first, so an end code there also consumes the
  // terminator.
  while (FB.Count <= Width) {
    if (FEndSeen) return -1;
    if (FAtEnd) {
      if (FB.Count == 0 && FWarning) FWarning(gifmsg::DecodeUnderrun);
      return -1;
    }
    uint8_t len;
    if (ReadSome(FSource, &len, 1) != 1) return -1;
    if (len == 0) {
      FAtEnd = true;
      if (FB.Count == Width) break;
      return -1;  // only part of a code is left
    }
    const int64_t got = ReadSome(FSource, FBlock.data(), len);
    if (got < len && FWarning) FWarning(gifmsg::OutOfData);
    FB.Cur = FBlock.data();
    FB.End = FBlock.data() + got;
    Fill(FB);
  }
  const int code = static_cast<int>(FB.Bits & ((1u << Width) - 1u));
  FB.Bits >>= Width;
  FB.Count -= Width;
  return code;
}

void TLZWDecoder::SkipSubBlocks() {
  for (;;) {
    uint8_t len;
    if (ReadSome(FSource, &len, 1) != 1) return;
    if (len == 0) {
      FAtEnd = true;
      return;
    }
    if (ReadSome(FSource, FBlock.data(), len) < len) return;
  }
}

