// Bitmap row access: the writer's header, colour table, strides and bottom-up
// rows, its errors and the hand-over; the reader's in-place conversion.
#include <gtest/gtest.h>

#include <cstring>

#include "ColorTestUtil.h"
#include "gif/GIFImage.h"
#include "gif/color/ColorMessages.h"
#include "gif/color/DIB.h"

namespace {

uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

TEST(DIBWriter, Strides) {
  struct Case {
    TPixelFormat pf;
    int width;
    size_t stride;
  } cases[] = {
      {pf8bit, 1, 4}, {pf24bit, 1, 4}, {pf24bit, 5, 16}, {pf8bit, 5, 8},
      {pf8bit, 8, 8}, {pf24bit, 4, 12}, {pf8bit, 757, 760}, {pf24bit, 757, 2272},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("bpp " + std::to_string(c.pf == pf8bit ? 8 : 24) + " width " + std::to_string(c.width));
    TBitmap bmp;
    TDIBWriter writer(bmp, c.pf, c.width, 3, nullptr);
    EXPECT_EQ(writer.Stride(), c.stride);
    const uint8_t* row0 = writer.Scanline(0);
    EXPECT_EQ(writer.BitsSize(), 3 * c.stride);
    // Rows are bottom-up: row 0 of a 3-row writer lies two strides in.
    EXPECT_EQ(row0, writer.Bits() + 2 * c.stride);
    EXPECT_EQ(writer.Scanline(2), writer.Bits());
  }
}

TEST(DIBWriter, HeaderAndColourTableFromPalette) {
  std::vector<TPaletteEntry> entries;
  for (int i = 0; i < 20; ++i) entries.push_back({uint8_t(i), uint8_t(100 + i), uint8_t(200 + i), 4});
  const TPalette palette(entries);
  TBitmap bmp;
  TDIBWriter writer(bmp, pf8bit, 7, 2, &palette);
  EXPECT_EQ(writer.InfoHeader(), nullptr) << "no memory before the first row";
  writer.Scanline(0);
  ASSERT_EQ(writer.InfoSize(), 1064);
  const uint8_t* h = writer.InfoHeader();
  EXPECT_EQ(U32(h + 0), 40u);
  EXPECT_EQ(U32(h + 4), 7u);
  EXPECT_EQ(U32(h + 8), 2u);
  EXPECT_EQ(U16(h + 12), 1);
  EXPECT_EQ(U16(h + 14), 8);
  EXPECT_EQ(U32(h + 16), 0u);
  EXPECT_EQ(U32(h + 32), 256u) << "colours used";
  EXPECT_EQ(U32(h + 36), 20u) << "important colours";
  const uint8_t* table = h + 40;
  for (int i = 0; i < 20; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(table[4 * i + 0], 200 + i) << "blue first";
    EXPECT_EQ(table[4 * i + 1], 100 + i);
    EXPECT_EQ(table[4 * i + 2], i);
    EXPECT_EQ(table[4 * i + 3], 0) << "flags are not copied";
  }
  for (int i = 20 * 4; i < 1024; ++i) ASSERT_EQ(table[i], 0) << "byte " << i;
}

TEST(DIBWriter, TwentyFourBitHeader) {
  TBitmap bmp;
  TDIBWriter writer(bmp, pf24bit, 3, 1, nullptr);
  writer.Scanline(0);
  ASSERT_EQ(writer.InfoSize(), 40);
  EXPECT_EQ(U16(writer.InfoHeader() + 14), 24);
  EXPECT_EQ(U32(writer.InfoHeader() + 32), 0u);
  EXPECT_EQ(U32(writer.InfoHeader() + 36), 0u);
}

TEST(DIBWriter, RefusedArguments) {
  struct Case {
    const char* name;
    TPixelFormat pf;
    int width, height;
    const char* message;
  } cases[] = {
      {"1 bit", pf1bit, 4, 4, gifmsg::UnsupportedPixelFormat},
      {"4 bits", pf4bit, 4, 4, gifmsg::UnsupportedPixelFormat},
      {"32 bits", pf32bit, 4, 4, gifmsg::UnsupportedPixelFormat},
      {"device", pfDevice, 4, 4, gifmsg::UnsupportedPixelFormat},
      {"zero width", pf8bit, 0, 4, gifmsg::BadDIBDimensions},
      {"zero height", pf24bit, 4, 0, gifmsg::BadDIBDimensions},
      {"negative height", pf8bit, 4, -3, gifmsg::BadDIBDimensions},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TBitmap bmp;
    try {
      TDIBWriter writer(bmp, c.pf, c.width, c.height, nullptr);
      ADD_FAILURE() << "no exception";
    } catch (const GIFException& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(DIBWriter, ScanlineOutOfRange) {
  TBitmap bmp;
  TDIBWriter writer(bmp, pf8bit, 4, 3, nullptr);
  for (int row : {-1, 3}) {
    SCOPED_TRACE(row);
    try {
      writer.Scanline(row);
      ADD_FAILURE() << "no exception";
    } catch (const EInvalidGraphicOperation& e) {
      EXPECT_STREQ(e.what(), gifmsg::ScanLineOutOfRange);
    }
  }
}

TEST(DIBWriter, HugeImageIsAnOrderlyOutOfMemory) {
  TBitmap bmp;
  TDIBWriter writer(bmp, pf24bit, 0x7FFFFFFF, 0x7FFFFFFF, nullptr);
  try {
    writer.Scanline(0);
    ADD_FAILURE() << "no exception";
  } catch (const EOutOfMemory& e) {
    EXPECT_STREQ(e.what(), gifmsg::DIBAllocationFailed);
  }
  EXPECT_EQ(writer.InfoHeader(), nullptr) << "both blocks released";
  EXPECT_EQ(writer.Bits(), nullptr);
}

TEST(DIBWriter, HandsRowsAndTableToTheBitmap) {
  const TPalette palette = PaletteOf({{1, 2, 3}, {4, 5, 6}});
  TBitmap bmp(2, 2, pf24bit);
  {
    TDIBWriter writer(bmp, pf8bit, 5, 3, &palette);
    for (int y = 0; y < 3; ++y) {
      uint8_t* row = writer.Scanline(y);
      for (int x = 0; x < 5; ++x) row[x] = uint8_t(10 * y + x);
    }
    writer.UpdateBitmap();
    EXPECT_EQ(writer.Bits(), nullptr) << "blocks released after the hand-over";
  }
  EXPECT_EQ(bmp.PixelFormat(), pf8bit);
  EXPECT_EQ(bmp.Width(), 5);
  EXPECT_EQ(bmp.Height(), 3);
  ASSERT_EQ(bmp.Palette().size(), 256u);
  EXPECT_EQ(bmp.Palette()[1], (TPaletteEntry{4, 5, 6, 0}));
  EXPECT_EQ(bmp.Palette()[2], (TPaletteEntry{0, 0, 0, 0}));
  EXPECT_EQ(Indices(bmp), (std::vector<uint8_t>{0, 1, 2, 3, 4, 10, 11, 12, 13, 14, 20, 21, 22, 23, 24}));
}

TEST(DIBWriter, HandOverOnDestruction24Bit) {
  TBitmap bmp;
  {
    TDIBWriter writer(bmp, pf24bit, 2, 1, nullptr);
    uint8_t* row = writer.Scanline(0);
    const uint8_t px[6] = {1, 2, 3, 4, 5, 6};
    std::memcpy(row, px, 6);
  }
  ASSERT_EQ(bmp.PixelFormat(), pf24bit);
  ASSERT_EQ(bmp.Width(), 2);
  const uint8_t* row = bmp.ScanLine(0);
  EXPECT_EQ(std::vector<uint8_t>(row, row + 6), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
}

TEST(DIBWriter, UnusedWriterLeavesTheBitmapAlone) {
  TBitmap bmp(3, 2, pf24bit);
  { TDIBWriter writer(bmp, pf8bit, 5, 5, nullptr); }
  EXPECT_EQ(bmp.PixelFormat(), pf24bit);
  EXPECT_EQ(bmp.Width(), 3);
  EXPECT_EQ(bmp.Height(), 2);
}

TEST(DIBReader, ConvertsInPlaceAndReadsBgrRows) {
  TBitmap bmp(3, 2, pfDevice);
  bmp.Canvas().SetPixel(1, 1, RGBColor(10, 20, 30));
  TDIBReader reader(bmp, pf24bit);
  EXPECT_EQ(bmp.PixelFormat(), pf24bit) << "the reader changes the bitmap it reads";
  const uint8_t* row = reader.Scanline(1);
  EXPECT_EQ(row[3], 30);
  EXPECT_EQ(row[4], 20);
  EXPECT_EQ(row[5], 10);
  EXPECT_THROW(reader.Scanline(2), EInvalidGraphic);
}

}  // namespace
