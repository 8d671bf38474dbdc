// The bytes a document writes: header, screen descriptor, colour tables,
// image descriptors, extension blocks, image data and trailer, checked
// against worked examples.
#include <gtest/gtest.h>

#include "gif/GIFImage.h"
#include "gif/codec/LZWEncoder.h"
#include "GifTestUtil.h"

using namespace giftest;

namespace {

Bytes ImageData(int bpp, int w, int h, bool interlace, const uint8_t* px, int maxColor) {
  TMemoryStream s;
  TLZWEncoder e;
  e.Compress(s, bpp, w, h, interlace, px, maxColor);
  return StreamBytes(s);
}

Bytes Pattern(int w, int h, int colors) {
  Bytes px(static_cast<size_t>(w * h));
  for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<uint8_t>((i * 7 / 5) % static_cast<size_t>(colors));
  return px;
}

const std::vector<TColor> kRGB = {clRed, clLime, clBlue};

TEST(StreamLayout, TenByTenFrameWithLocalMap) {
  TGIFImage doc;
  const Bytes px = Pattern(10, 10, 3);
  TGIFSubImage* f = AddFrame(doc, 10, 10, kRGB, px);
  f->Extensions().Add(new TGIFGraphicControlExtension(f));
  const Bytes want = Cat({Str("GIF89a"),
                          {0x0A, 0x00, 0x0A, 0x00, 0x11, 0x00, 0x00},      // screen: 10 x 10, packed 0x11
                          {0x21, 0xF9, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00},  // graphic control
                          {0x2C, 0, 0, 0, 0, 0x0A, 0x00, 0x0A, 0x00, 0x81},  // descriptor, local table of 4
                          {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0},      // 3 colours + black pad
                          ImageData(2, 10, 10, false, px.data(), 3),          // code size 02 ... 00
                          {0x3B}});
  const Bytes have = SaveBytes(doc);
  EXPECT_EQ(have, want);
  EXPECT_EQ(have[have.size() - 2], 0x00);  // block terminator before the trailer
}

TEST(StreamLayout, TenByTenFrameWithGlobalMap) {
  for (bool sorted : {false, true}) {
    SCOPED_TRACE(sorted);
    TGIFImage doc;
    for (TColor c : kRGB) doc.GlobalColorMap().Add(c);
    doc.GlobalColorMap().SetOptimized(sorted);
    const Bytes px = Pattern(10, 10, 3);
    TGIFSubImage* f = AddFrame(doc, 10, 10, {}, px);
    f->Extensions().Add(new TGIFGraphicControlExtension(f));
    const Bytes want = Cat({Str("GIF89a"),
                            {0x0A, 0x00, 0x0A, 0x00, static_cast<uint8_t>(sorted ? 0x99 : 0x91), 0x00, 0x00},
                            {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0},  // global table of 4
                            {0x21, 0xF9, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00},
                            {0x2C, 0, 0, 0, 0, 0x0A, 0x00, 0x0A, 0x00, 0x00},
                            ImageData(2, 10, 10, false, px.data(), 4),
                            {0x3B}});
    EXPECT_EQ(SaveBytes(doc), want);
  }
}

TEST(StreamLayout, InterlacedFrameKeepsItsFlagAndRowOrder) {
  TGIFImage doc;
  const Bytes px = Pattern(7, 11, 3);
  TGIFSubImage* f = AddFrame(doc, 7, 11, kRGB, px);
  f->SetInterlaced(true);
  const Bytes have = SaveBytes(doc);
  const Bytes desc = {0x2C, 0, 0, 0, 0, 0x07, 0x00, 0x0B, 0x00, 0xC1};
  ASSERT_GE(have.size(), 13u + 10 + 12);
  EXPECT_EQ(Bytes(have.begin() + 13, have.begin() + 23), desc);
  const Bytes data = ImageData(2, 7, 11, true, px.data(), 3);
  EXPECT_EQ(Bytes(have.begin() + 35, have.end() - 1), data);
}

std::string Signature(TGIFImage& doc) {
  const Bytes b = SaveBytes(doc);
  return std::string(b.begin(), b.begin() + 6);
}

TEST(StreamLayout, VersionFollowsTheFrames) {
  TGIFImage doc;
  AddFrame(doc, 2, 2, kRGB);
  EXPECT_EQ(Signature(doc), "GIF87a");
  // A sorted local map needs 89a, and so does any extension.
  doc.Images()[0]->ColorMap().SetOptimized(true);
  EXPECT_EQ(Signature(doc), "GIF89a");
  doc.Images()[0]->ColorMap().SetOptimized(false);
  EXPECT_EQ(Signature(doc), "GIF87a");
  TGIFSubImage* f = AddFrame(doc, 2, 2, kRGB);
  f->Extensions().Add(new TGIFCommentExtension(f));
  EXPECT_EQ(doc.Version(), 2);
  EXPECT_EQ(Signature(doc), "GIF89a");
}

TEST(StreamLayout, DocumentWithoutFramesIsNotWritten) {
  TGIFImage doc;
  TMemoryStream s;
  ExpectError<GIFException>([&] { doc.SaveToStream(s); }, gifmsg::BadVersion);
  EXPECT_EQ(s.Size(), 0);
}

TEST(StreamLayout, FrameWithoutImageWritesOnlyItsExtensions) {
  TGIFImage doc;
  AddFrame(doc, 1, 1, {clBlack, clWhite});
  auto empty = std::make_unique<TGIFSubImage>(&doc);
  auto* comment = new TGIFCommentExtension(empty.get());
  comment->Text().Add("end");
  empty->Extensions().Add(comment);
  doc.Add(std::move(empty));
  const Bytes have = SaveBytes(doc);
  const Bytes tail = {0x21, 0xFE, 0x03, 'e', 'n', 'd', 0x00, 0x3B};
  ASSERT_GE(have.size(), tail.size());
  EXPECT_EQ(Bytes(have.end() - static_cast<long>(tail.size()), have.end()), tail);
}

// --- Extension blocks

Bytes Write(TGIFExtension& e) {
  TMemoryStream s;
  e.SaveToStream(s);
  return StreamBytes(s);
}

TEST(ExtensionBytes, GraphicControl) {
  TGIFImage doc;
  TGIFSubImage* f = AddFrame(doc, 1, 1, std::vector<TColor>(16, clBlack));
  auto* gce = new TGIFGraphicControlExtension(f);
  f->Extensions().Add(gce);
  gce->SetDelay(10);
  gce->SetDisposal(dmBackground);
  EXPECT_EQ(Write(*gce), (Bytes{0x21, 0xF9, 0x04, 0x08, 0x0A, 0x00, 0x00, 0x00}));

  gce->SetTransparent(true);
  gce->SetTransparentColorIndex(5);
  EXPECT_TRUE(f->Transparent());
  EXPECT_EQ(Write(*gce), (Bytes{0x21, 0xF9, 0x04, 0x09, 0x0A, 0x00, 0x05, 0x00}));
}

TEST(ExtensionBytes, TransparentIndexIsCheckedAgainstTheActiveMap) {
  TGIFImage doc;
  Warnings w(doc);
  TGIFSubImage* f = AddFrame(doc, 1, 1, std::vector<TColor>(16, clBlack));
  TGIFGraphicControlExtension gce(f);
  gce.SetTransparentColorIndex(20);
  EXPECT_EQ(gce.TransparentColorIndex(), 0);
  EXPECT_EQ(w.Messages(), std::vector<std::string>{gifmsg::BadColorIndex});
  gce.SetTransparentColorIndex(15);
  EXPECT_EQ(gce.TransparentColorIndex(), 15);

  // A frame without any colours takes any index.
  TGIFSubImage* bare = AddFrame(doc, 1, 1, {});
  TGIFGraphicControlExtension gce2(bare);
  gce2.SetTransparentColorIndex(20);
  EXPECT_EQ(gce2.TransparentColorIndex(), 20);
  EXPECT_EQ(w.List.size(), 1u);
}

TEST(ExtensionBytes, LoopingBlock) {
  TGIFAppExtNSLoop loop(nullptr);
  const Bytes head = Cat({{0x21, 0xFF, 0x0B}, Str("NETSCAPE2.0")});
  EXPECT_EQ(Write(loop), Cat({head, {0x03, 0x01, 0x00, 0x00, 0x00}}));
  loop.SetBufferSize(4096);
  EXPECT_EQ(Write(loop), Cat({head, {0x03, 0x01, 0x00, 0x00, 0x05, 0x02, 0x00, 0x10, 0x00, 0x00, 0x00}}));
  loop.SetLoops(0x1234);
  loop.SetBufferSize(0);
  EXPECT_EQ(Write(loop), Cat({head, {0x03, 0x01, 0x34, 0x12, 0x00}}));
}

TEST(ExtensionBytes, CommentLinesAsSubBlocks) {
  TGIFCommentExtension c(nullptr);
  c.Text().Add("a");
  c.Text().Add("");
  EXPECT_EQ(Write(c), (Bytes{0x21, 0xFE, 0x01, 0x61, 0x00}));

  TGIFCommentExtension longer(nullptr);
  const std::string line(300, 'x');
  longer.Text().Add(line);
  const Bytes want = Cat({{0x21, 0xFE, 0xFF}, Str(line.substr(0, 255)), {0x2D}, Str(line.substr(255)), {0x00}});
  EXPECT_EQ(Write(longer), want);

  TMemoryStream s;
  Fill(s, want);
  TGIFCommentExtension back(nullptr);
  back.LoadFromStream(s);
  ASSERT_EQ(back.Text().Count(), 2);
  EXPECT_EQ(back.Text()[0], line.substr(0, 255));
  EXPECT_EQ(back.Text()[1], line.substr(255));
}

TEST(ExtensionBytes, PlainTextBlock) {
  TGIFTextExtension t(nullptr);
  t.SetLeft(0x102);
  t.SetTop(3);
  t.SetGridWidth(40);
  t.SetGridHeight(16);
  t.SetCharWidth(8);
  t.SetCharHeight(16);
  t.SetForegroundColorIndex(1);
  t.SetBackgroundColorIndex(2);
  t.Text().Add("Hi");
  const Bytes want = {0x21, 0x01, 0x0C, 0x02, 0x01, 0x03, 0x00, 0x28, 0x00, 0x10, 0x00,
                      0x08, 0x10, 0x01, 0x02, 0x02, 'H', 'i', 0x00};
  EXPECT_EQ(Write(t), want);
  TMemoryStream s;
  Fill(s, want);
  TGIFTextExtension back(nullptr);
  back.LoadFromStream(s);
  EXPECT_EQ(Write(back), want);
}

TEST(ExtensionOwnership, DestroyingTheTransparentControlBlockResetsTheFrame) {
  TGIFImage doc;
  TGIFSubImage* f = AddFrame(doc, 1, 1, {clBlack, clWhite});
  auto* gce = new TGIFGraphicControlExtension(f);
  f->Extensions().Add(gce);
  EXPECT_EQ(f->GraphicControlExtension(), gce);
  gce->SetTransparent(true);
  EXPECT_TRUE(f->Transparent());
  delete gce;  // leaves the list by itself
  EXPECT_EQ(f->Extensions().Count(), 0);
  EXPECT_FALSE(f->Transparent());
  EXPECT_EQ(f->GraphicControlExtension(), nullptr);

  // Only the first control block becomes the frame's.
  auto* first = new TGIFGraphicControlExtension(f);
  auto* second = new TGIFGraphicControlExtension(f);
  f->Extensions().Add(first);
  f->Extensions().Add(second);
  EXPECT_EQ(f->GraphicControlExtension(), first);
  f->Extensions().Delete(0);
  EXPECT_EQ(f->GraphicControlExtension(), nullptr);
  EXPECT_EQ(f->Extensions().Count(), 1);
}

}  // namespace
