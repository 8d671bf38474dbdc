// Documents of generated frames saved by us must read in giflib as exactly
// what we hold: screen, colour tables, frame bounds, interlace, pixels,
// delays, disposal, transparency and loop count. giflib writing the same
// frames must give a file of about the same size.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "gif/GIFImage.h"
#include "GifTestUtil.h"

using namespace giftest;

namespace {

struct MemoryReader {
  const Bytes* data;
  size_t pos = 0;
  static int Read(GifFileType* gif, GifByteType* buf, int n) {
    auto* r = static_cast<MemoryReader*>(gif->UserData);
    const size_t k = std::min<size_t>(static_cast<size_t>(n), r->data->size() - r->pos);
    std::memcpy(buf, r->data->data() + r->pos, k);
    r->pos += k;
    return static_cast<int>(k);
  }
};

struct GifFile {
  GifFileType* gif = nullptr;
  MemoryReader reader;
  explicit GifFile(const Bytes& b) : reader{&b} {
    int err = 0;
    gif = DGifOpen(&reader, &MemoryReader::Read, &err);
    if (gif != nullptr && DGifSlurp(gif) != GIF_OK) ADD_FAILURE() << "giflib: " << GifErrorString(gif->Error);
  }
  ~GifFile() {
    int err;
    if (gif != nullptr) DGifCloseFile(gif, &err);
  }
};

struct FrameSpec {
  int left, top, w, h;
  bool local, interlace;
  std::vector<TColor> colors;
  Bytes pixels;
  bool gce;
  uint16_t delay;
  TDisposalMethod disposal;
  int transparent;  // -1: none
};

struct DocSpec {
  int width, height, bpp;
  std::vector<TColor> global;
  std::vector<FrameSpec> frames;
  int loops;  // -1: no looping block
};

DocSpec Generate(std::mt19937& rng, int round) {
  auto rnd = [&](int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<uint32_t>(hi - lo + 1)); };
  DocSpec d;
  d.bpp = 1 + round % 8;
  const int maxColors = 1 << d.bpp;
  const int minColors = d.bpp == 1 ? 1 : (1 << (d.bpp - 1)) + 1;
  const int mode = round % 3;  // 0 global only, 1 local only, 2 mixed
  auto palette = [&] {
    std::vector<TColor> c(static_cast<size_t>(rnd(minColors, maxColors)));
    for (auto& v : c) v = static_cast<TColor>(rng() & 0xFFFFFF);
    return c;
  };
  if (mode != 1) d.global = palette();
  const int frames = rnd(1, 4);
  d.width = d.height = 0;
  for (int i = 0; i < frames; ++i) {
    FrameSpec f;
    f.w = round < 4 ? 1 : rnd(1, 300);
    f.h = round < 4 ? 1 : rnd(1, 200);
    f.left = rnd(0, 20);
    f.top = rnd(0, 20);
    f.local = mode == 1 || (mode == 2 && rng() % 2 == 0);
    f.interlace = rng() % 3 == 0;
    if (f.local) f.colors = palette();
    const int n = static_cast<int>(f.local ? f.colors.size() : d.global.size());
    f.pixels.resize(static_cast<size_t>(f.w * f.h));
    size_t k = 0;
    while (k < f.pixels.size()) {
      const uint8_t v = static_cast<uint8_t>(rnd(0, n - 1));
      int run = rng() % 4 == 0 ? 1 : rnd(1, 60);
      while (run-- > 0 && k < f.pixels.size()) f.pixels[k++] = v;
    }
    f.gce = rng() % 4 != 0;
    f.delay = static_cast<uint16_t>(rnd(0, 500));
    f.disposal = static_cast<TDisposalMethod>(rnd(0, 3));
    f.transparent = rng() % 2 == 0 ? rnd(0, n - 1) : -1;
    d.width = std::max(d.width, f.left + f.w);
    d.height = std::max(d.height, f.top + f.h);
    d.frames.push_back(std::move(f));
  }
  d.loops = rng() % 3 == 0 ? -1 : rnd(0, 65535);
  return d;
}

void Build(const DocSpec& d, TGIFImage& doc) {
  for (TColor c : d.global) doc.GlobalColorMap().Add(c);
  for (size_t i = 0; i < d.frames.size(); ++i) {
    const FrameSpec& f = d.frames[i];
    TGIFSubImage* frame = AddFrame(doc, f.w, f.h, f.colors, f.pixels, f.left, f.top);
    frame->SetInterlaced(f.interlace);
    if (i == 0 && d.loops >= 0) {
      auto* loop = new TGIFAppExtNSLoop(frame);
      loop->SetLoops(static_cast<uint16_t>(d.loops));
      frame->Extensions().Add(loop);
    }
    if (f.gce) {
      auto* gce = new TGIFGraphicControlExtension(frame);
      frame->Extensions().Add(gce);
      gce->SetDelay(f.delay);
      gce->SetDisposal(f.disposal);
      if (f.transparent >= 0) {
        gce->SetTransparent(true);
        gce->SetTransparentColorIndex(f.transparent);
      }
    }
  }
}

void ExpectColorMap(const ColorMapObject* map, const std::vector<TColor>& colors, int bpp) {
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map->ColorCount, 1 << bpp);
  for (int i = 0; i < map->ColorCount; ++i) {
    const TColor want = i < static_cast<int>(colors.size()) ? colors[static_cast<size_t>(i)] : 0;
    const GifColorType c = map->Colors[i];
    EXPECT_EQ(RGBColor(c.Red, c.Green, c.Blue), want) << "entry " << i;
  }
}

int LoopCount(const SavedImage& image) {
  for (int i = 0; i + 1 < image.ExtensionBlockCount; ++i) {
    const ExtensionBlock& b = image.ExtensionBlocks[i];
    if (b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11 &&
        std::memcmp(b.Bytes, "NETSCAPE2.0", 11) == 0) {
      const ExtensionBlock& sub = image.ExtensionBlocks[i + 1];
      if (sub.ByteCount >= 3 && sub.Bytes[0] == 1) return sub.Bytes[1] | (sub.Bytes[2] << 8);
    }
  }
  return -1;
}

// The same frames written by giflib; returns the file size.
size_t GiflibSize(const DocSpec& d) {
  Bytes out;
  int err = 0;
  GifFileType* gif = EGifOpen(&out, [](GifFileType* g, const GifByteType* buf, int n) {
    auto* o = static_cast<Bytes*>(g->UserData);
    o->insert(o->end(), buf, buf + n);
    return n;
  }, &err);
  auto makeMap = [&](const std::vector<TColor>& colors) {
    std::vector<GifColorType> c(static_cast<size_t>(1 << d.bpp), GifColorType{0, 0, 0});
    for (size_t i = 0; i < colors.size(); ++i)
      c[i] = GifColorType{GetRValue(colors[i]), GetGValue(colors[i]), GetBValue(colors[i])};
    return GifMakeMapObject(1 << d.bpp, c.data());
  };
  EGifSetGifVersion(gif, true);
  ColorMapObject* screenMap = d.global.empty() ? nullptr : makeMap(d.global);
  EXPECT_EQ(EGifPutScreenDesc(gif, d.width, d.height, d.bpp, 0, screenMap), GIF_OK);
  GifFreeMapObject(screenMap);  // giflib keeps its own copy
  for (size_t i = 0; i < d.frames.size(); ++i) {
    const FrameSpec& f = d.frames[i];
    if (i == 0 && d.loops >= 0) {
      EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE);
      EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0");
      const unsigned char sub[3] = {1, static_cast<unsigned char>(d.loops), static_cast<unsigned char>(d.loops >> 8)};
      EGifPutExtensionBlock(gif, 3, sub);
      EGifPutExtensionTrailer(gif);
    }
    if (f.gce) {
      GraphicsControlBlock gcb{f.disposal, false, f.delay, f.transparent};
      GifByteType buf[4];
      EGifGCBToExtension(&gcb, buf);
      EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, buf);
    }
    ColorMapObject* local = f.local ? makeMap(f.colors) : nullptr;
    EXPECT_EQ(EGifPutImageDesc(gif, f.left, f.top, f.w, f.h, f.interlace, local), GIF_OK);
    GifFreeMapObject(local);
    std::vector<int> rows;
    if (f.interlace) {
      const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < f.h; y += step[pass]) rows.push_back(y);
    } else {
      for (int y = 0; y < f.h; ++y) rows.push_back(y);
    }
    for (int y : rows)
      EGifPutLine(gif, const_cast<GifPixelType*>(f.pixels.data()) + y * f.w, f.w);
    // Not freed by EGifCloseFile.
    GifFreeMapObject(gif->Image.ColorMap);
    gif->Image.ColorMap = nullptr;
  }
  EXPECT_EQ(EGifCloseFile(gif, &err), GIF_OK);
  return out.size();
}

TEST(GiflibDifferential, SavedDocumentsReadBackInGiflib) {
  std::mt19937 rng(20261211);
  size_t ourTotal = 0, giflibTotal = 0;
  for (int round = 0; round < 48; ++round) {
    const DocSpec d = Generate(rng, round);
    SCOPED_TRACE(::testing::Message() << "round " << round << ", bpp " << d.bpp << ", " << d.frames.size()
                                      << " frames, screen " << d.width << "x" << d.height);
    TGIFImage doc;
    Build(d, doc);
    const Bytes file = SaveBytes(doc);
    GifFile g(file);
    ASSERT_NE(g.gif, nullptr);
    EXPECT_EQ(g.gif->SWidth, d.width);
    EXPECT_EQ(g.gif->SHeight, d.height);
    if (d.global.empty())
      EXPECT_EQ(g.gif->SColorMap, nullptr);
    else
      ExpectColorMap(g.gif->SColorMap, d.global, d.bpp);
    ASSERT_EQ(g.gif->ImageCount, static_cast<int>(d.frames.size()));
    for (size_t i = 0; i < d.frames.size(); ++i) {
      SCOPED_TRACE(::testing::Message() << "frame " << i);
      const FrameSpec& f = d.frames[i];
      const SavedImage& img = g.gif->SavedImages[i];
      EXPECT_EQ(img.ImageDesc.Left, f.left);
      EXPECT_EQ(img.ImageDesc.Top, f.top);
      ASSERT_EQ(img.ImageDesc.Width, f.w);
      ASSERT_EQ(img.ImageDesc.Height, f.h);
      EXPECT_EQ(img.ImageDesc.Interlace, f.interlace);
      if (f.local)
        ExpectColorMap(img.ImageDesc.ColorMap, f.colors, d.bpp);
      else
        EXPECT_EQ(img.ImageDesc.ColorMap, nullptr);
      EXPECT_EQ(Bytes(img.RasterBits, img.RasterBits + f.w * f.h), f.pixels);
      GraphicsControlBlock gcb;
      if (f.gce) {
        ASSERT_EQ(DGifSavedExtensionToGCB(g.gif, static_cast<int>(i), &gcb), GIF_OK);
        EXPECT_EQ(gcb.DelayTime, f.delay);
        EXPECT_EQ(gcb.DisposalMode, f.disposal);
        EXPECT_EQ(gcb.TransparentColor, f.transparent);
      } else {
        EXPECT_EQ(DGifSavedExtensionToGCB(g.gif, static_cast<int>(i), &gcb), GIF_ERROR);
      }
    }
    EXPECT_EQ(LoopCount(g.gif->SavedImages[0]), d.loops);

    const size_t theirs = GiflibSize(d);
    EXPECT_LE(std::abs(static_cast<double>(file.size()) - static_cast<double>(theirs)),
              0.01 * static_cast<double>(theirs))
        << "have " << file.size() << " bytes, giflib " << theirs;
    ourTotal += file.size();
    giflibTotal += theirs;
  }
  RecordProperty("our_bytes", static_cast<int>(ourTotal));
  RecordProperty("giflib_bytes", static_cast<int>(giflibTotal));
}

// And our own reader gives back what we saved.
TEST(GiflibDifferential, SavedDocumentsReadBackHere) {
  std::mt19937 rng(7);
  for (int round = 0; round < 24; ++round) {
    const DocSpec d = Generate(rng, round);
    SCOPED_TRACE(round);
    TGIFImage doc;
    Build(d, doc);
    const Bytes file = SaveBytes(doc);
    TGIFImage back;
    Warnings w(back);
    TMemoryStream s;
    Fill(s, file);
    back.LoadFromStream(s);
    EXPECT_TRUE(w.List.empty());
    ASSERT_EQ(back.Images().Count(), static_cast<int>(d.frames.size()));
    for (size_t i = 0; i < d.frames.size(); ++i) {
      TGIFSubImage* f = back.Images()[static_cast<int>(i)];
      EXPECT_EQ(Bytes(f->Data(), f->Data() + f->DataSize()), d.frames[i].pixels);
    }
    EXPECT_EQ(SaveBytes(back), file);
  }
}

}  // namespace
