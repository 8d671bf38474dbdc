// One frame: descriptor, local colour map, pixels, extensions.
#include <algorithm>
#include <cstring>

#include "gif/GIFImage.h"
#include "gif/Palettes.h"
#include "gif/codec/GIFEncoder.h"
#include "gif/codec/LZWDecoder.h"

TGIFSubImage::TGIFSubImage(TGIFImage* Image)
    : TGIFItem(Image),
      FColorMap(std::make_unique<TGIFLocalColorMap>(this)),
      FExtensions(std::make_unique<TGIFExtensionList>(Image)) {}

TGIFSubImage::~TGIFSubImage() {
  if (FImage != nullptr) FImage->Images().Detach(this);
  // While the frame is whole: a graphic control extension updates it as it goes.
  FExtensions->Clear();
}

int TGIFSubImage::Version() const {
  return FColorMap->Optimized() || FExtensions->Count() > 0 ? 2 : 1;
}

void TGIFSubImage::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
  const bool resized = AWidth != FWidth || AHeight != FHeight;
  FLeft = static_cast<uint16_t>(ALeft);
  FTop = static_cast<uint16_t>(ATop);
  FWidth = static_cast<uint16_t>(AWidth);
  FHeight = static_cast<uint16_t>(AHeight);
  if (resized) {
    FreeBitmap();
    FreeMask();
    NewImage();
  }
  if (FImage == nullptr) return;
  // The logical screen grows to hold the frame; silently for the first frame.
  bool warned = false;
  TGIFHeader& header = FImage->Header();
  const int right = std::min(FLeft + FWidth, 0xFFFF);
  const int bottom = std::min(FTop + FHeight, 0xFFFF);
  bool grown = false;
  if (header.Width() < right) {
    if (header.Width() >= 1) {
      Warning(1, gifmsg::BadWidth);
      warned = true;
    }
    header.SetWidth(right);
    grown = true;
  }
  if (header.Height() < bottom) {
    if (header.Height() > 0) {
      Warning(1, gifmsg::BadHeight);
      warned = true;
    }
    header.SetHeight(bottom);
    grown = true;
  }
  if (warned) Warning(1, gifmsg::ImageExceedsScreen);
  if (grown) {
    FImage->FreeBitmap();
    FImage->Changed();
  }
}

void TGIFSubImage::SetInterlaced(bool Value) {
  FPacked = static_cast<uint8_t>(Value ? (FPacked | 0x40) : (FPacked & ~0x40));
}

TGIFColorMap& TGIFSubImage::ActiveColorMap() {
  if (FColorMap->Count() > 0) return *FColorMap;
  if (FImage != nullptr && FImage->GlobalColorMap().Count() > 0) return FImage->GlobalColorMap();
  return *FColorMap;
}

uint8_t TGIFSubImage::Pixels(int X, int Y) {
  if (X < 0 || X > FWidth - 1) Error(gifmsg::BadPixelCoordinates);
  return Scanline(Y)[X];
}

void TGIFSubImage::SetPixels(int X, int Y, uint8_t Value) {
  if (X < 0 || X > FWidth - 1) Error(gifmsg::BadPixelCoordinates);
  Scanline(Y)[X] = Value;
}

uint8_t* TGIFSubImage::Scanline(int Y) {
  if (Y < 0 || Y > FHeight - 1) Error(gifmsg::BadPixelCoordinates);
  NeedImage();
  return FData.get() + static_cast<int64_t>(Y) * FWidth;
}

void TGIFSubImage::NeedImage() {
  if (!FData) NewImage();
  if (FDataSize == 0) Error(gifmsg::EmptyImage);
}

void TGIFSubImage::NewImage() {
  FreeImage();
  const int64_t size = static_cast<int64_t>(FWidth) * FHeight;
  if (size == 0) return;
  // Checked before allocating: a hostile descriptor must not claim gigabytes.
  if (size > kMaxFramePixels) throw EOutOfMemory(gifmsg::ImageTooLarge);
  FData = std::make_unique<uint8_t[]>(static_cast<size_t>(size));  // zero-filled
  FDataSize = static_cast<int>(size);
}

void TGIFSubImage::FreeImage() {
  FData.reset();
  FDataSize = 0;
}

void TGIFSubImage::Clear() {
  FExtensions->Clear();
  FColorMap->Clear();
  FPalette.reset();
  FreeImage();
  SetHeight(0);
  SetWidth(0);
  FTransparent = false;
  FGraphicControlExtension = nullptr;
  FreeBitmap();
  FreeMask();
}

void TGIFSubImage::NewBitmap() {
  FBitmap = std::make_unique<TBitmap>();
  FBitmapPalette.reset();
}

void TGIFSubImage::FreeBitmap() {
  FBitmap.reset();
  FBitmapPalette.reset();
}

void TGIFSubImage::FreeMask() {
  FMask.reset();
  FNeedMask = true;
}

const TPalette* TGIFSubImage::Palette() {
  if (FBitmap && !FBitmap->Palette().empty()) {
    FBitmapPalette = std::make_unique<TPalette>(FBitmap->Palette());
    return FBitmapPalette.get();
  }
  if (FPalette) return FPalette.get();
  if (FImage != nullptr && FImage->UsesFixedPalette())
    FPalette = NetscapePalette();
  else if (FColorMap->Count() > 0)
    FPalette = FColorMap->ExportPalette();
  if (FPalette) return FPalette.get();
  return FImage != nullptr ? FImage->Palette() : nullptr;
}

void TGIFSubImage::SetPalette(std::unique_ptr<TPalette> Value) {
  if (Value.get() == FPalette.get()) return;
  const bool bitmapDiffers = BitmapPaletteDiffers(FBitmap.get(), Value.get());
  FPalette = std::move(Value);
  if (bitmapDiffers) {
    FreeBitmap();
    if (FImage != nullptr) {
      FImage->SetPaletteModified(true);
      FImage->Changed();
    }
  }
}

void TGIFSubImage::Assign(const TGIFSubImage* Source) {
  if (Source == this) return;
  Clear();
  if (Source == nullptr || Source->Empty()) return;
  FLeft = Source->FLeft;
  FTop = Source->FTop;
  FWidth = Source->FWidth;
  FHeight = Source->FHeight;
  FPacked = Source->FPacked;
  FTransparent = Source->FTransparent;
  NewImage();
  std::memcpy(FData.get(), Source->FData.get(), static_cast<size_t>(std::min(FDataSize, Source->FDataSize)));
  FColorMap->Assign(*Source->FColorMap);
  // Fresh copies of the extensions: write them out and read them back.
  TMemoryStream ms;
  const_cast<TGIFExtensionList&>(*Source->FExtensions).SaveToStream(ms);
  ms.SetPosition(0);
  FExtensions->LoadFromStream(ms, this);
  if (Source->FBitmap) {
    NewBitmap();
    FBitmap->Assign(*Source->FBitmap);
  }
}

void TGIFSubImage::Prepare() {
  uint8_t packed = FPacked & 0x58;  // interlace and reserved bits are kept
  if (FColorMap->Count() > 0) {
    packed |= 0x80;
    if (FColorMap->Optimized()) packed |= 0x20;
    packed |= static_cast<uint8_t>((FColorMap->BitsPerPixel() - 1) & 0x07);
  }
  FPacked = packed;
}

void TGIFSubImage::SaveToStream(TStream& Stream) {
  FExtensions->SaveToStream(Stream);
  if (Empty()) return;
  Prepare();
  // Image descriptor.
  const uint8_t desc[10] = {0x2C,
                            static_cast<uint8_t>(FLeft), static_cast<uint8_t>(FLeft >> 8),
                            static_cast<uint8_t>(FTop), static_cast<uint8_t>(FTop >> 8),
                            static_cast<uint8_t>(FWidth), static_cast<uint8_t>(FWidth >> 8),
                            static_cast<uint8_t>(FHeight), static_cast<uint8_t>(FHeight >> 8),
                            FPacked};
  Stream.WriteBuffer(desc, 10);
  // Local colour table.
  FColorMap->SaveToStream(Stream);
  WriteImageData(Stream);
}

void TGIFSubImage::WriteImageData(TStream& Stream) {
  int bitsPerPixel;
  int maxColor;
  if (FColorMap->Count() > 0) {
    bitsPerPixel = FColorMap->BitsPerPixel();
    maxColor = FColorMap->Count();
  } else {
    bitsPerPixel = FImage != nullptr ? FImage->BitsPerPixel() : 0;
    maxColor = 1 << bitsPerPixel;
  }
  std::unique_ptr<TGIFEncoder> encoder = CreateEncoder(FImage != nullptr ? FImage->Compression() : gcLZW);
  encoder->Compress(Stream, bitsPerPixel, FWidth, FHeight, Interlaced(), FData.get(), maxColor);
}

void TGIFSubImage::LoadFromStream(TStream& Stream) {
  Clear();
  FExtensions->LoadFromStream(Stream, this);

  // Only extensions before the trailer, a zero byte or the end: a frame
  // without image, which keeps the blocks in their place when saved again.
  uint8_t next;
  if (!TryReadByte(Stream, next)) return;
  Stream.Seek(-1, soCurrent);
  if (next == 0x3B || next == 0x00) return;

  // Image descriptor (the separator byte is not examined).
  uint8_t desc[10];
  ReadCheck(Stream, desc, 10);
  FLeft = static_cast<uint16_t>(desc[1] | (desc[2] << 8));
  FTop = static_cast<uint16_t>(desc[3] | (desc[4] << 8));
  FWidth = static_cast<uint16_t>(desc[5] | (desc[6] << 8));
  FHeight = static_cast<uint16_t>(desc[7] | (desc[8] << 8));
  FPacked = desc[9];
  if (FWidth == 0 || FHeight == 0) {
    if (FImage != nullptr) {
      FHeight = static_cast<uint16_t>(FImage->Height());
      FWidth = static_cast<uint16_t>(FImage->Width());
    }
    Warning(1, gifmsg::ImageExceedsScreen);
  }
  // Local colour table; its sort flag is not carried into Optimized.
  if (FPacked & 0x80) FColorMap->LoadFromStream(Stream, 2 << (FPacked & 0x07));

  ReadImageData(Stream);
  if (RenderOnLoad) Bitmap();
}

// ---------------------------------------------------------------------------
// Image data reading: the LZW decoder fills the pixel buffer (after checking
// the pixel buffer limits) and leaves the stream after the terminator.
void TGIFSubImage::ReadImageData(TStream& Stream) { DecodeFrame(*this, Stream); }
