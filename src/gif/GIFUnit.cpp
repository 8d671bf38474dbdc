// Shared routines and process-wide switches of the GIF unit.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "gif/GIFImage.h"

bool PaletteDevice = false;
bool RenderOnLoad = false;
bool OptimizeOnStream = false;

void Error(const std::string& Message) { throw GIFException(Message); }

void ReadCheck(TStream& Stream, void* Buffer, int64_t Size) {
  if (Size <= 0) return;
  if (Stream.Read(Buffer, Size) != Size) Error(gifmsg::OutOfData);
}

void WriteByte(TStream& Stream, uint8_t Value) { Stream.WriteBuffer(&Value, 1); }

uint8_t ReadByte(TStream& Stream) {
  uint8_t b = 0;
  if (Stream.Read(&b, 1) != 1) return 0;
  return b;
}

bool TryReadByte(TStream& Stream, uint8_t& Value) { return Stream.Read(&Value, 1) == 1; }

void WriteStrings(TStream& Stream, const TStringList& Strings) {
  for (const std::string& line : Strings.Vector()) {
    size_t pos = 0;
    while (pos < line.size()) {
      size_t n = std::min<size_t>(line.size() - pos, 255);
      WriteByte(Stream, static_cast<uint8_t>(n));
      Stream.WriteBuffer(line.data() + pos, static_cast<int64_t>(n));
      pos += n;
    }
  }
  // Block terminator.
  WriteByte(Stream, 0);
}

void ReadStrings(TStream& Stream, TStringList& Strings) {
  Strings.Clear();
  uint8_t size;
  if (!TryReadByte(Stream, size)) return;
  char buffer[256];
  while (size != 0) {
    ReadCheck(Stream, buffer, size);
    Strings.Add(std::string(buffer, size));
    if (!TryReadByte(Stream, size)) return;
  }
}

int ColorsToBits(int Colors) {
  if (Colors <= 0) return 0;
  int bits = 1;
  while ((1 << bits) < Colors) ++bits;
  return bits;
}

int BytesPerScanline(int Width, int BitsPerPixel, int Alignment) {
  const int64_t bits = static_cast<int64_t>(Width) * BitsPerPixel + Alignment - 1;
  return static_cast<int>((bits & ~static_cast<int64_t>(Alignment - 1)) / 8);
}

bool BitmapPaletteDiffers(const TBitmap* Bitmap, const TPalette* Palette) {
  if (Bitmap == nullptr) return false;
  static const std::vector<TPaletteEntry> kNone;
  return Bitmap->Palette() != (Palette != nullptr ? Palette->Entries() : kNone);
}

void CheckHandleFailed() {
  const int err = errno;
  if (err != 0) throw EOutOfResources(std::strerror(err));
  throw EOutOfResources(gifmsg::OutOfResources);
}
