// The GIF unit's shared routines and the document's bitmap of the screen.
#include <gtest/gtest.h>

#include "gif/GIFImage.h"
#include "gif/Palettes.h"
#include "GifTestUtil.h"

using namespace giftest;

namespace {

TEST(UnitRoutines, ColorsToBits) {
  const std::pair<int, int> cases[] = {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {4, 2}, {5, 3}, {8, 3},
                                       {9, 4}, {16, 4}, {17, 5}, {128, 7}, {129, 8}, {256, 8}};
  for (auto [colors, bits] : cases) EXPECT_EQ(ColorsToBits(colors), bits) << colors << " colours";
}

TEST(UnitRoutines, BytesPerScanline) {
  struct Case {
    int width, bpp, align, bytes;
  };
  const Case cases[] = {{10, 1, 32, 4}, {32, 1, 32, 4}, {33, 1, 32, 8}, {3, 24, 32, 12},
                        {3, 8, 32, 4},  {5, 4, 8, 3},   {0, 8, 32, 0},  {1, 32, 32, 4}};
  for (const Case& c : cases)
    EXPECT_EQ(BytesPerScanline(c.width, c.bpp, c.align), c.bytes) << c.width << " x " << c.bpp << " / " << c.align;
}

TEST(UnitRoutines, ReadingBytesAndStrings) {
  TMemoryStream s;
  Fill(s, {0x07});
  EXPECT_EQ(ReadByte(s), 7);
  EXPECT_EQ(ReadByte(s), 0);  // the end reads as 0
  uint8_t b;
  EXPECT_FALSE(TryReadByte(s, b));
  uint8_t buf[4];
  s.SetPosition(0);
  ExpectError<GIFException>([&] { ReadCheck(s, buf, 2); }, gifmsg::OutOfData);

  TStringList lines;
  lines.Add("first");
  lines.Add("");
  lines.Add("third");
  TMemoryStream out;
  WriteStrings(out, lines);
  EXPECT_EQ(StreamBytes(out), Cat({{5}, Str("first"), {5}, Str("third"), {0}}));
  out.SetPosition(0);
  TStringList back;
  back.Add("stale");
  ReadStrings(out, back);
  EXPECT_EQ(back.Vector(), (std::vector<std::string>{"first", "third"}));
  // Without a terminator the end of the stream ends the list.
  Fill(out, Cat({{2}, Str("ab")}));
  ReadStrings(out, back);
  EXPECT_EQ(back.Vector(), std::vector<std::string>{"ab"});
  Fill(out, Cat({{3}, Str("ab")}));
  ExpectError<GIFException>([&] { ReadStrings(out, back); }, gifmsg::OutOfData);
}

TEST(UnitRoutines, CheckHandle) {
  int x = 0;
  EXPECT_EQ(CheckHandle(&x), &x);
  EXPECT_THROW(CheckHandle(static_cast<int*>(nullptr)), EOutOfResources);
}

TEST(UnitRoutines, NetscapePaletteIsTheCube) {
  auto p = NetscapePalette();
  ASSERT_EQ(p->Count(), 216);
  EXPECT_EQ((*p)[0], (TPaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ((*p)[215], (TPaletteEntry{255, 255, 255, 0}));
  EXPECT_EQ((*p)[180], (TPaletteEntry{255, 0, 0, 0}));
  EXPECT_EQ((*p)[30], (TPaletteEntry{0, 255, 0, 0}));
  EXPECT_EQ((*p)[5], (TPaletteEntry{0, 0, 255, 0}));
  EXPECT_EQ((*p)[36 * 3 + 6 * 2 + 0], (TPaletteEntry{153, 102, 0, 0}));
}

TEST(UnitRoutines, OversizedFrameIsRefusedBeforeAllocating) {
  TGIFImage doc;
  TGIFSubImage* f = AddFrame(doc, 1, 1, {clBlack, clWhite});
  EXPECT_THROW(f->SetBounds(0, 0, 65535, 65535), EOutOfMemory);
  EXPECT_TRUE(f->Empty());
}

TEST(DocumentBitmap, ShowsFrameZeroOnTheScreen) {
  TGIFImage doc;
  EXPECT_EQ(doc.Bitmap(), nullptr);
  AddFrame(doc, 2, 1, {clRed, clBlue}, {0, 1}, 1, 1);
  doc.SetWidth(4);
  doc.SetHeight(3);
  TBitmap* b = doc.Bitmap();
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->Width(), 4);
  EXPECT_EQ(b->Height(), 3);
  EXPECT_EQ(b->GetPixelColor(1, 1), clRed);
  EXPECT_EQ(b->GetPixelColor(2, 1), clBlue);
  TBitmap copy;
  doc.AssignTo(copy);
  EXPECT_EQ(copy.Width(), 4);
  EXPECT_EQ(copy.GetPixelColor(2, 1), clBlue);
  // A change of the screen drops it.
  doc.SetWidth(5);
  EXPECT_EQ(doc.Bitmap()->Width(), 5);
}

}  // namespace
