// Whole files through TGIFImage: giflib's files load to giflib's pixels, our
// files (LZW and run-length) load in giflib, save/load/save is byte-stable,
// and hostile files end in warnings or a GIFException, never in a crash.
#include <gtest/gtest.h>

#include <random>

#include "DecodeTestUtil.h"
#include "gif/GIFImage.h"

using namespace dtest;

namespace {

struct FrameSpec {
  int Width, Height;
  bool Interlaced;
  Bytes Pixels;
};

// A document of frames over one global table (or a local table each) of
// 2^Bpp colours, written with the given coder.
std::unique_ptr<TGIFImage> MakeDocument(const std::vector<FrameSpec>& Frames, int Bpp, bool Local,
                                        TGIFCompression Compression, uint16_t Delay = 0) {
  auto doc = std::make_unique<TGIFImage>();
  doc->SetCompression(Compression);
  auto fillMap = [&](TGIFColorMap& m) {
    for (int i = 0; i < (1 << Bpp); ++i) m.Add(RGBColor(uint8_t(i * 3), uint8_t(255 - i), uint8_t(i * 5)));
  };
  if (!Local) fillMap(doc->GlobalColorMap());
  for (const FrameSpec& f : Frames) {
    auto* frame = new TGIFSubImage(doc.get());
    frame->SetBounds(0, 0, f.Width, f.Height);
    std::copy(f.Pixels.begin(), f.Pixels.end(), frame->Data());
    frame->SetInterlaced(f.Interlaced);
    if (Local) fillMap(frame->ColorMap());
    if (Delay) {
      auto* gce = new TGIFGraphicControlExtension(frame);
      gce->SetDelay(Delay);
      frame->Extensions().Add(gce);
    }
    doc->Add(frame);
  }
  return doc;
}

Bytes Save(TGIFImage& Doc) {
  TMemoryStream s;
  Doc.SaveToStream(s);
  return Bytes(s.Memory(), s.Memory() + s.Size());
}

struct Loaded {
  std::unique_ptr<TGIFImage> Doc = std::make_unique<TGIFImage>();
  std::vector<std::string> Warnings;
  std::string Error;      // GIFException message
  std::string Other;      // any other exception: a defect
};

Loaded Load(const Bytes& File) {
  Loaded l;
  l.Doc->OnWarning = [&l](void*, int, const std::string& m) { l.Warnings.push_back(m); };
  TMemoryStream s;
  dtest::Load(s, File);
  try {
    l.Doc->LoadFromStream(s);
  } catch (const GIFException& e) {
    l.Error = e.what();
  } catch (const std::exception& e) {
    l.Other = e.what();
  }
  return l;
}

std::string Join(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& x : v) s += "[" + x + "]";
  return s;
}

Bytes FramePixels(TGIFSubImage* F) { return Bytes(F->Data(), F->Data() + F->DataSize()); }

// A small animation: looping block, graphic control blocks, a comment,
// two frames (the second interlaced with a local table).
Bytes SampleFile(TGIFCompression Compression = gcLZW) {
  std::mt19937 rng(8);
  auto doc = MakeDocument({{12, 9, false, RandomPixels(rng, 12 * 9, 4, 0.5)},
                           {7, 11, true, RandomPixels(rng, 7 * 11, 4, 0.3)}},
                          2, false, Compression, 10);
  auto* loop = new TGIFAppExtNSLoop(doc->Images()[0]);
  doc->Images()[0]->Extensions().Insert(0, std::unique_ptr<TGIFItem>(loop));
  auto* comment = new TGIFCommentExtension(doc->Images()[1]);
  comment->Text().Add("hello");
  doc->Images()[1]->Extensions().Add(comment);
  auto* gce = doc->Images()[1]->GraphicControlExtension();
  gce->SetTransparent(true);
  gce->SetTransparentColorIndex(3);
  return Save(*doc);
}

}  // namespace

TEST(DocumentDecode, GiflibFilesLoadToGiflibPixels) {
  std::mt19937 rng(31);
  for (int bpp = 1; bpp <= 8; ++bpp)
    for (bool interlaced : {false, true})
      for (bool local : {false, true}) {
        const int w = 1 + int(rng() % 120), h = 1 + int(rng() % 50), n = 1 + int(rng() % 9);
        SCOPED_TRACE("bpp " + std::to_string(bpp) + (interlaced ? " interlaced" : "") + (local ? " local" : "") +
                     " " + std::to_string(n) + " frames of " + std::to_string(w) + "x" + std::to_string(h));
        std::vector<std::vector<uint8_t>> frames;
        for (int i = 0; i < n; ++i) frames.push_back(RandomPixels(rng, size_t(w) * h, 1 << bpp, i % 2 ? 0.9 : 0.1));
        const Bytes file = GiflibFile(frames, w, h, bpp, interlaced, local);
        auto want = GiflibDecode(file);
        ASSERT_EQ(int(want.size()), n);
        Loaded l = Load(file);
        ASSERT_EQ(l.Error + l.Other, "");
        EXPECT_TRUE(l.Warnings.empty()) << Join(l.Warnings);
        ASSERT_EQ(l.Doc->Images().Count(), n);
        for (int i = 0; i < n; ++i) {
          TGIFSubImage* f = l.Doc->Images()[i];
          EXPECT_EQ(f->Width(), w);
          EXPECT_EQ(f->Height(), h);
          EXPECT_EQ(f->Interlaced(), interlaced);
          EXPECT_EQ(f->ColorMap().Count() > 0, local);
          EXPECT_EQ(FramePixels(f), want[size_t(i)].Pixels) << "frame " << i;
          EXPECT_EQ(want[size_t(i)].Pixels, frames[size_t(i)]);
        }
      }
}

TEST(DocumentDecode, OurFilesDecodeInGiflibWithEitherCoder) {
  std::mt19937 rng(41);
  for (TGIFCompression c : {gcLZW, gcRLE})
    for (int bpp : {1, 2, 3, 5, 8})
      for (bool local : {false, true}) {
        SCOPED_TRACE(std::string(c == gcRLE ? "RLE" : "LZW") + " bpp " + std::to_string(bpp) +
                     (local ? " local" : ""));
        std::vector<FrameSpec> frames;
        for (int i = 0; i < 5; ++i) {
          const int w = 1 + int(rng() % 90), h = 1 + int(rng() % 40);
          frames.push_back({w, h, i % 2 == 1, RandomPixels(rng, size_t(w) * h, 1 << bpp, 0.2 * i)});
        }
        auto doc = MakeDocument(frames, bpp, local, c, 5);
        const Bytes file = Save(*doc);
        int err = 0;
        auto got = GiflibDecode(file, &err);
        ASSERT_EQ(err, 0);
        ASSERT_EQ(got.size(), frames.size());
        for (size_t i = 0; i < frames.size(); ++i) EXPECT_EQ(got[i].Pixels, frames[i].Pixels) << "frame " << i;
        Loaded l = Load(file);
        ASSERT_EQ(l.Error + l.Other, "");
        EXPECT_TRUE(l.Warnings.empty()) << Join(l.Warnings);
        for (size_t i = 0; i < frames.size(); ++i)
          EXPECT_EQ(FramePixels(l.Doc->Images()[int(i)]), frames[i].Pixels) << "frame " << i;
      }
}

TEST(DocumentDecode, SaveLoadSaveGivesIdenticalBytes) {
  std::mt19937 rng(51);
  for (TGIFCompression c : {gcLZW, gcRLE}) {
    SCOPED_TRACE(c == gcRLE ? "RLE" : "LZW");
    const Bytes first = SampleFile(c);
    Loaded l = Load(first);
    ASSERT_EQ(l.Error + l.Other, "");
    l.Doc->SetCompression(c);
    EXPECT_EQ(Save(*l.Doc), first);

    // A giflib file: our first save may differ from giflib's bytes, the
    // second must not differ from the first.
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < 4; ++i) frames.push_back(RandomPixels(rng, 40 * 30, 16, 0.7));
    Loaded g = Load(GiflibFile(frames, 40, 30, 4, true, true));
    ASSERT_EQ(g.Error + g.Other, "");
    g.Doc->SetCompression(c);
    const Bytes once = Save(*g.Doc);
    Loaded again = Load(once);
    again.Doc->SetCompression(c);
    EXPECT_EQ(Save(*again.Doc), once);
  }
}

TEST(DocumentDecode, ShortDataLeavesTheTransparentIndex) {
  // Frame 1 of the sample is transparent with index 3: cut its image data
  // short with an early end code and the rest of the frame reads as 3.
  auto doc = MakeDocument({{4, 2, false, Bytes(8, 1)}}, 2, false, gcLZW);
  auto* gce = new TGIFGraphicControlExtension(doc->Images()[0]);
  doc->Images()[0]->Extensions().Add(gce);
  gce->SetTransparent(true);
  gce->SetTransparentColorIndex(3);
  Bytes file = Save(*doc);
  // Replace the image data by: code size 2, clear, 1, 1, end.
  CodeStream cs(2);
  cs.Clear();
  cs.Code(1);
  cs.Code(1);
  cs.End();
  const Bytes data = cs.Finish();
  const Bytes old = FirstImageData(file);
  auto at = std::search(file.begin(), file.end(), old.begin(), old.end());
  ASSERT_NE(at, file.end());
  file.erase(at, at + long(old.size()));
  file.insert(file.begin() + (at - file.begin()), data.begin(), data.end());
  Loaded l = Load(file);
  ASSERT_EQ(l.Error + l.Other, "");
  EXPECT_EQ(FramePixels(l.Doc->Images()[0]), (Bytes{1, 1, 3, 3, 3, 3, 3, 3}));
}

TEST(DocumentDecode, HostileFiles) {
  const Bytes head{'G', 'I', 'F', '8', '9', 'a', 4, 0, 4, 0, 0x80, 0, 0, /*table*/ 0, 0, 0, 255, 255, 255};
  auto desc = [](int w, int h, uint8_t packed = 0) {
    return Bytes{0x2C, 0, 0, 0, 0, uint8_t(w), uint8_t(w >> 8), uint8_t(h), uint8_t(h >> 8), packed};
  };
  const Bytes good = [] {  // 16 pixels of 0 and the end code
    CodeStream cs(2);
    cs.Clear();
    for (int i = 0; i < 16; ++i) cs.Code(0);
    cs.End();
    return cs.Finish();
  }();
  auto cat = [](std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  const std::string prefixFrame = gifmsg::FrameTooLarge;
  // Code 7 while the free slot is 6 (read as the free slot).
  const Bytes pastTable = [] {
    CodeStream cs(2);
    cs.Clear();
    for (int c : {1, 7, 0}) cs.Code(c);
    cs.End();
    return cs.Finish();
  }();
  // Slot 7 defined with prefix 7, then used.
  const Bytes circular = [] {
    CodeStream cs(2);
    for (auto [c, w] : {std::pair{4, 3}, {0, 3}, {7, 3}, {1, 3}, {7, 4}, {5, 4}}) cs.Raw(c, w);
    return cs.Finish();
  }();
  struct Case {
    const char* Name;
    Bytes File;
    int Frames;                         // -1: an error is expected
    std::vector<std::string> Warnings;  // exact, in order
    std::string ErrorStart;             // start of the GIFException message
  };
  const Case cases[] = {
      {"well formed", cat({head, desc(4, 4), good, {0x3B}}), 1, {}, ""},
      {"missing trailer", cat({head, desc(4, 4), good}), 1, {}, ""},
      {"garbage after the trailer", cat({head, desc(4, 4), good, {0x3B, 0xDE, 0xAD}}), 1, {}, ""},
      {"bad code size", cat({head, desc(4, 4), {0x0C, 0x01, 0xFF, 0x00}, desc(4, 4), good, {0x3B}}), 2,
       {gifmsg::DecodeBadCodeSize}, ""},
      {"code past the table", cat({head, desc(4, 4), pastTable, {0x3B}}), 1, {}, ""},
      {"sub-block past the end", cat({head, desc(4, 4), {0x02, 0x30, 0x44, 0x01}}), 1, {gifmsg::OutOfData}, ""},
      {"zero-sized frame", cat({head, desc(0, 0), good, {0x3B}}), 1, {gifmsg::ImageExceedsScreen}, ""},
      {"huge frame", cat({head, desc(65535, 65535), good, {0x3B}}), -1, {}, prefixFrame},
      {"circular table", cat({head, desc(4, 4), circular, {0x3B}}), -1, {},
       gifmsg::DecodeCircular},
      {"application block size 3", cat({head, {0x21, 0xFF, 0x03, 'a', 'b', 'c', 0x00}, desc(4, 4), good, {0x3B}}),
       -1, {}, gifmsg::BadAppBlockSize},
      {"unknown block", cat({head, desc(4, 4), good, {0x99, 0x3B}}), 1,
       {gifmsg::UnknownBlockType, gifmsg::BadTrailer}, ""},
      {"truncated descriptor", cat({head, Bytes{0x2C, 0, 0, 0}}), -1, {}, gifmsg::OutOfData},
      {"truncated colour table", Bytes(head.begin(), head.end() - 2), -1, {}, gifmsg::OutOfData},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    Loaded l = Load(c.File);
    EXPECT_EQ(l.Other, "");
    if (c.Frames < 0) {
      EXPECT_EQ(l.Error.substr(0, c.ErrorStart.size()), c.ErrorStart) << "have: " << l.Error;
      EXPECT_FALSE(c.ErrorStart.empty());
    } else {
      EXPECT_EQ(l.Error, "");
      EXPECT_EQ(l.Doc->Images().Count(), c.Frames);
      EXPECT_EQ(Join(l.Warnings), Join(c.Warnings));
    }
  }
}

TEST(DocumentDecode, PixelBufferLimits) {
  const TGIFPixelLimits saved = GIFPixelLimits();
  std::mt19937 rng(3);
  auto doc = MakeDocument({{30, 30, false, RandomPixels(rng, 900, 4)},
                           {30, 30, false, RandomPixels(rng, 900, 4)},
                           {30, 30, false, RandomPixels(rng, 900, 4)}},
                          2, false, gcLZW);
  const Bytes file = Save(*doc);

  SetGIFPixelLimits({899, 100000});
  Loaded frame = Load(file);
  EXPECT_EQ(frame.Error.rfind(gifmsg::FrameTooLarge, 0), 0u) << frame.Error;
  EXPECT_NE(frame.Error.find("30 x 30"), std::string::npos) << frame.Error;

  SetGIFPixelLimits({900, 2000});
  Loaded document = Load(file);
  EXPECT_EQ(document.Error.rfind(gifmsg::DocumentTooLarge, 0), 0u) << document.Error;
  EXPECT_EQ(document.Doc->Images().Count(), 2) << "the frames before the limit stay";

  SetGIFPixelLimits({900, 2700});
  EXPECT_EQ(Load(file).Error, "");
  SetGIFPixelLimits(saved);
  EXPECT_EQ(GIFPixelLimits().MaxFrameBytes, int64_t{256} << 20);
  EXPECT_EQ(GIFPixelLimits().MaxDocumentBytes, int64_t{1} << 30);
}

TEST(DocumentDecode, EveryTruncationAndByteChangeEndsCleanly) {
  // Cut the sample animation at every byte, and overwrite every byte with
  // values that mean something to a reader: each load ends with a document
  // or a GIFException.
  const Bytes file = SampleFile();
  for (size_t cut = 0; cut <= file.size(); ++cut) {
    Loaded l = Load(Bytes(file.begin(), file.begin() + long(cut)));
    ASSERT_EQ(l.Other, "") << "cut at " << cut;
  }
  for (size_t i = 0; i < file.size(); ++i)
    for (uint8_t v : {0x00, 0x01, 0x0B, 0x2C, 0x21, 0x3B, 0x7F, 0xFF}) {
      Bytes m = file;
      m[i] = v;
      Loaded l = Load(m);
      ASSERT_EQ(l.Other, "") << "byte " << i << " set to " << int(v);
    }
}
