#include "DecodeTestUtil.h"

#include <cstring>
#include <stdexcept>

namespace dtest {

DecodeResult Decode(const Bytes& Data, int Width, int Height, bool Interlaced, uint8_t Fill, bool Reference) {
  DecodeResult r;
  TMemoryStream s;
  Load(s, Data);
  r.Pixels.assign(static_cast<size_t>(std::max(Width, 0)) * static_cast<size_t>(std::max(Height, 0)), Fill);
  TLZWDecoder d(s, [&r](const char* m) { r.Warnings.emplace_back(m); });
  d.SetReferenceMode(Reference);
  try {
    d.Decode(r.Pixels.data(), Width, Height, Interlaced);
  } catch (const std::exception& e) {
    r.Error = e.what();
  }
  r.Position = s.Position();
  return r;
}

namespace {

int WriteToVector(GifFileType* Gif, const GifByteType* Data, int Len) {
  auto* v = static_cast<Bytes*>(Gif->UserData);
  v->insert(v->end(), Data, Data + Len);
  return Len;
}

struct ReadCursor {
  const Bytes* Data;
  size_t Pos;
};

int ReadFromVector(GifFileType* Gif, GifByteType* Buf, int Len) {
  auto* c = static_cast<ReadCursor*>(Gif->UserData);
  size_t n = std::min(static_cast<size_t>(Len), c->Data->size() - c->Pos);
  std::memcpy(Buf, c->Data->data() + c->Pos, n);
  c->Pos += n;
  return static_cast<int>(n);
}

ColorMapObject* MakeMap(int BitsPerPixel) {
  std::vector<GifColorType> colors(static_cast<size_t>(1) << BitsPerPixel);
  for (size_t i = 0; i < colors.size(); ++i)
    colors[i] = GifColorType{static_cast<GifByteType>(i * 7), static_cast<GifByteType>(i * 13),
                             static_cast<GifByteType>(255 - i)};
  return GifMakeMapObject(static_cast<int>(colors.size()), colors.data());
}

}  // namespace

Bytes GiflibFile(const std::vector<std::vector<uint8_t>>& Frames, int Width, int Height, int BitsPerPixel,
                 bool Interlaced, bool LocalTables) {
  Bytes out;
  int err = 0;
  GifFileType* gif = EGifOpen(&out, WriteToVector, &err);
  if (!gif) throw std::runtime_error("EGifOpen failed");
  ColorMapObject* global = LocalTables ? nullptr : MakeMap(BitsPerPixel);
  EGifSetGifVersion(gif, true);
  if (EGifPutScreenDesc(gif, Width, Height, BitsPerPixel, 0, global) == GIF_ERROR)
    throw std::runtime_error("EGifPutScreenDesc failed");
  for (const auto& f : Frames) {
    ColorMapObject* local = LocalTables ? MakeMap(BitsPerPixel) : nullptr;
    if (EGifPutImageDesc(gif, 0, 0, Width, Height, Interlaced, local) == GIF_ERROR)
      throw std::runtime_error("EGifPutImageDesc failed");
    auto put = [&](int row) {
      if (EGifPutLine(gif, const_cast<GifPixelType*>(f.data() + static_cast<size_t>(row) * Width), Width) ==
          GIF_ERROR)
        throw std::runtime_error("EGifPutLine failed");
    };
    if (Interlaced) {
      const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
      for (int p = 0; p < 4; ++p)
        for (int y = start[p]; y < Height; y += step[p]) put(y);
    } else {
      for (int y = 0; y < Height; ++y) put(y);
    }
    if (local) GifFreeMapObject(local);
  }
  EGifCloseFile(gif, &err);
  if (global) GifFreeMapObject(global);
  return out;
}

Bytes FirstImageData(const Bytes& File) {
  size_t p = 13;
  if (File[10] & 0x80) p += 3u * (2u << (File[10] & 7));
  while (File.at(p) == 0x21) {  // extensions: label, then sub-blocks
    p += 2;
    while (File.at(p) != 0) p += File[p] + 1u;
    ++p;
  }
  if (File.at(p) != 0x2C) throw std::runtime_error("no image descriptor");
  uint8_t packed = File.at(p + 9);
  p += 10;
  if (packed & 0x80) p += 3u * (2u << (packed & 7));
  size_t begin = p++;
  while (File.at(p) != 0) p += File[p] + 1u;
  return Bytes(File.begin() + static_cast<long>(begin), File.begin() + static_cast<long>(p + 1));
}

std::vector<GiflibFrame> GiflibDecode(const Bytes& File, int* Error) {
  ReadCursor cur{&File, 0};
  int err = 0;
  std::vector<GiflibFrame> frames;
  GifFileType* gif = DGifOpen(&cur, ReadFromVector, &err);
  if (!gif) {
    if (Error) *Error = err;
    return frames;
  }
  int rc = DGifSlurp(gif);
  if (Error) *Error = rc == GIF_OK ? 0 : gif->Error;
  for (int i = 0; rc == GIF_OK && i < gif->ImageCount; ++i) {
    const SavedImage& s = gif->SavedImages[i];
    GiflibFrame f{s.ImageDesc.Left, s.ImageDesc.Top, s.ImageDesc.Width, s.ImageDesc.Height,
                  s.ImageDesc.Interlace, {}};
    f.Pixels.assign(s.RasterBits, s.RasterBits + static_cast<size_t>(f.Width) * f.Height);
    frames.push_back(std::move(f));
  }
  DGifCloseFile(gif, &err);
  return frames;
}

Bytes RandomPixels(std::mt19937& Rng, size_t Count, int Colors, double RunChance) {
  Bytes p(Count);
  std::uniform_int_distribution<int> color(0, Colors - 1);
  std::uniform_real_distribution<double> chance(0, 1);
  for (size_t i = 0; i < Count; ++i)
    p[i] = (i > 0 && chance(Rng) < RunChance) ? p[i - 1] : static_cast<uint8_t>(color(Rng));
  return p;
}

}  // namespace dtest
