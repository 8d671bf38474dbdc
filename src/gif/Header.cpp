// Signature, logical screen descriptor and global colour table.
#include <cctype>
#include <cstring>

#include "gif/GIFImage.h"

TGIFHeader::TGIFHeader(TGIFImage* Image)
    : TGIFItem(Image), FColorMap(std::make_unique<TGIFGlobalColorMap>(this)) {}

TGIFHeader::~TGIFHeader() = default;

void TGIFHeader::Clear() {
  FColorMap->Clear();
  FWidth = FHeight = 0;
  FPacked = FBackgroundColorIndex = FAspectRatio = 0;
}

void TGIFHeader::Assign(const TGIFHeader& Source) {
  if (&Source == this) return;
  FColorMap->Assign(Source.ColorMap());
  FWidth = Source.FWidth;
  FHeight = Source.FHeight;
  FPacked = Source.FPacked;
  FBackgroundColorIndex = Source.FBackgroundColorIndex;
  FAspectRatio = Source.FAspectRatio;
}

void TGIFHeader::Assign(const TGIFColorMap& Source) {
  Clear();
  FColorMap->Assign(Source);
}

TColor TGIFHeader::BackgroundColor() { return FColorMap->Colors(FBackgroundColorIndex); }

int TGIFHeader::BitsPerPixel() const { return FColorMap->BitsPerPixel(); }

int TGIFHeader::ColorResolution() const { return FColorMap->BitsPerPixel() - 1; }

void TGIFHeader::Prepare() {
  const bool hasTable = FColorMap->Count() > 0;
  const int resolution = FImage != nullptr ? FImage->ColorResolution() : ColorResolution();
  const int bpp = FImage != nullptr ? FImage->BitsPerPixel() : BitsPerPixel();
  uint8_t packed = 0;
  if (hasTable) packed |= 0x80;
  packed |= static_cast<uint8_t>((resolution & 0x07) << 4);
  if (hasTable && FColorMap->Optimized()) packed |= 0x08;
  packed |= static_cast<uint8_t>(((hasTable ? FColorMap->BitsPerPixel() : bpp) - 1) & 0x07);
  FPacked = packed;
}

void TGIFHeader::SaveToStream(TStream& Stream) {
  const int version = FImage != nullptr ? FImage->Version() : 0;
  if (version < 1 || version > 2) Error(gifmsg::BadVersion);
  // Signature and version.
  Stream.WriteBuffer(version == 1 ? "GIF87a" : "GIF89a", 6);
  Prepare();
  // Logical screen descriptor.
  const uint8_t lsd[7] = {static_cast<uint8_t>(FWidth), static_cast<uint8_t>(FWidth >> 8),
                          static_cast<uint8_t>(FHeight), static_cast<uint8_t>(FHeight >> 8),
                          FPacked, FBackgroundColorIndex, FAspectRatio};
  Stream.WriteBuffer(lsd, 7);
  // Global colour table.
  if (FPacked & 0x80) FColorMap->SaveToStream(Stream);
}

namespace {
bool IsSignature(const char* b) {
  return std::toupper(static_cast<unsigned char>(b[0])) == 'G' &&
         std::toupper(static_cast<unsigned char>(b[1])) == 'I' &&
         std::toupper(static_cast<unsigned char>(b[2])) == 'F';
}
}  // namespace

void TGIFHeader::LoadFromStream(TStream& Stream) {
  const int64_t start = Stream.Position();
  char sig[6];
  ReadCheck(Stream, sig, 6);
  if (!IsSignature(sig)) {
    // Some containers put a 4-byte length before the file.
    Stream.SetPosition(start + 4);
    ReadCheck(Stream, sig, 6);
    if (!IsSignature(sig)) Error(gifmsg::BadSignature);
  }
  // The version is not examined.
  uint8_t lsd[7];
  ReadCheck(Stream, lsd, 7);
  FWidth = static_cast<uint16_t>(lsd[0] | (lsd[1] << 8));
  FHeight = static_cast<uint16_t>(lsd[2] | (lsd[3] << 8));
  FPacked = lsd[4];
  FBackgroundColorIndex = lsd[5];
  FAspectRatio = lsd[6];
  if (FPacked & 0x80)
    FColorMap->LoadFromStream(Stream, 2 << (FPacked & 0x07));
  else
    FColorMap->Clear();
}
