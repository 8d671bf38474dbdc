// Documents read from odd files survive our own save and reload: what is
// written reads back as the same blocks, and the second save repeats the
// first.
#include <gtest/gtest.h>

#include <algorithm>

#include "gif/GIFImage.h"
#include "GifTestUtil.h"

using namespace giftest;

namespace {

void LoadBytes(TGIFImage& doc, const Bytes& b) {
  TMemoryStream s;
  Fill(s, b);
  doc.LoadFromStream(s);
}

// A 1x1 frame at (0,0) with no local table, pixel 0, LZW minimum code size 2.
const Bytes kPixelFrame = Cat({
    {0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0x00},  // descriptor: 1x1 at 0,0, no local table
    {0x02, 0x02, 0x44, 0x01, 0x00},        // code size 2; clear, 0, end; terminator
});

TGIFUnknownAppExtension* OnlyRawAppBlock(TGIFImage& doc) {
  EXPECT_EQ(doc.Images().Count(), 1);
  if (doc.Images().Count() != 1 || doc.Images()[0]->Extensions().Count() != 1) return nullptr;
  return dynamic_cast<TGIFUnknownAppExtension*>(doc.Images()[0]->Extensions()[0]);
}

TEST(SaveReload, OversizedApplicationBlockReadsBackRaw) {
  struct Case {
    const char* Identifier;
    uint8_t WrittenSize;  // block size of the saved block
  };
  // A registered identifier stays oversized (one zero byte of padding) so it
  // does not come back as the looping block; any other keeps size 11.
  for (const Case& c : {Case{"NETSCAPE2.0", 12}, Case{"ANIMEXTS1.0", 12}, Case{"XYZWVUTS1.0", 11}}) {
    SCOPED_TRACE(c.Identifier);
    const Bytes file = Cat({
        Str("GIF89a"),
        {1, 0, 1, 0, 0x80, 0, 0},            // screen 1x1, global table of 2
        {0, 0, 0, 0xFF, 0xFF, 0xFF},         // black, white
        {0x21, 0xFF, 13},                    // application block of size 13
        Str(c.Identifier), {'x', 'y'},       // identifier, then two skipped bytes
        {0x01, 0x01, 0x00},                  // one sub-block {1}: too short to be a loop count
        kPixelFrame,
        {0x3B},
    });
    TGIFImage doc;
    LoadBytes(doc, file);
    TGIFUnknownAppExtension* raw = OnlyRawAppBlock(doc);
    ASSERT_NE(raw, nullptr);

    const Bytes first = SaveBytes(doc);
    const Bytes block = Cat({{0x21, 0xFF, c.WrittenSize}, Str(c.Identifier)});
    const auto at = std::search(first.begin(), first.end(), block.begin(), block.end());
    ASSERT_NE(at, first.end());
    EXPECT_EQ(Bytes(at + static_cast<long>(block.size()), at + static_cast<long>(block.size()) + c.WrittenSize - 11 + 3),
              c.WrittenSize == 12 ? (Bytes{0x00, 0x01, 0x01, 0x00}) : (Bytes{0x01, 0x01, 0x00}));

    TGIFImage again;
    LoadBytes(again, first);
    TGIFUnknownAppExtension* back = OnlyRawAppBlock(again);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->IdentifierString(), raw->IdentifierString());
    ASSERT_EQ(back->Blocks().size(), 1u);
    EXPECT_EQ(back->Blocks()[0]->Size(), 1);
    EXPECT_EQ(SaveBytes(again), first);
  }
}

TEST(SaveReload, TableOfAFrameWithoutPixelsDoesNotSetTheDepth) {
  Bytes localTable;
  for (int i = 0; i < 8; ++i) localTable.insert(localTable.end(), {uint8_t(i), uint8_t(i), uint8_t(i)});
  const Bytes file = Cat({
      Str("GIF89a"),
      {0, 0, 0, 0, 0x80, 0, 0},                 // screen 0x0, global table of 2
      {0, 0, 0, 0xFF, 0xFF, 0xFF},              // black, white
      {0x2C, 0, 0, 0, 0, 0, 0, 0, 0, 0x82},     // descriptor: 0x0, local table of 8
      localTable,                               // (not written back: no pixels)
      {0x03, 0x00},                             // code size 3, no data
      kPixelFrame,                              // codes at the global table's depth
      {0x3B},
  });
  TGIFImage doc;
  LoadBytes(doc, file);
  ASSERT_EQ(doc.Images().Count(), 2);
  ASSERT_TRUE(doc.Images()[0]->Empty());
  EXPECT_EQ(doc.BitsPerPixel(), 1);

  const Bytes first = SaveBytes(doc);
  TGIFImage again;
  LoadBytes(again, first);
  EXPECT_EQ(again.Images().Count(), 1);
  EXPECT_EQ(SaveBytes(again), first);
}

TEST(SaveReload, DocumentThatWouldWriteNoFrameIsRefused) {
  const Bytes header = Cat({
      Str("GIF89a"),
      {0, 0, 0, 0, 0x00, 0, 0},                 // screen 0x0, no global table
  });
  const Bytes emptyFrame = {
      0x2C, 0, 0, 0, 0, 0, 0, 0, 0, 0x00,       // descriptor: 0x0, no local table
      0x02, 0x00,                               // code size 2, no data
  };
  const Bytes comment = {0x21, 0xFE, 0x02, 'h', 'i', 0x00};  // comment "hi"

  // Frames with neither pixels nor blocks: saving would lose every frame.
  TGIFImage blank;
  LoadBytes(blank, Cat({header, emptyFrame, emptyFrame, {0x3B}}));
  ASSERT_EQ(blank.Images().Count(), 2);
  ExpectError<GIFException>([&] { SaveBytes(blank); }, gifmsg::EmptyImage);

  // A frame of blocks only is written and comes back.
  TGIFImage commented;
  LoadBytes(commented, Cat({header, comment, {0x3B}}));
  ASSERT_EQ(commented.Images().Count(), 1);
  const Bytes first = SaveBytes(commented);
  TGIFImage again;
  LoadBytes(again, first);
  ASSERT_EQ(again.Images().Count(), 1);
  EXPECT_EQ(again.Images()[0]->Extensions().Count(), 1);
  EXPECT_EQ(SaveBytes(again), first);
}

}  // namespace
