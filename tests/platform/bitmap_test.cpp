// TBitmap: formats, palette, ScanLine, in-place conversion, resizing, and BMP
// files (round trips of every format, hand-made files, and damaged files that
// must end in a clear EInvalidGraphic).
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/Classes.h"
#include "platform/Graphics.h"

namespace {

const TPixelFormat kAllFormats[] = {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfDevice};

const char* Name(TPixelFormat pf) {
  switch (pf) {
    case pfDevice: return "pfDevice";
    case pf1bit: return "pf1bit";
    case pf4bit: return "pf4bit";
    case pf8bit: return "pf8bit";
    case pf15bit: return "pf15bit";
    case pf16bit: return "pf16bit";
    case pf24bit: return "pf24bit";
    case pf32bit: return "pf32bit";
  }
  return "?";
}

// A bitmap of the given format whose pixels are all different where the
// format allows (random palette for indexed formats).
TBitmap Pattern(TPixelFormat pf, int w, int h, unsigned seed = 1) {
  TBitmap b(w, h, pf);
  std::mt19937 rng(seed);
  if (BitsPerPixel(pf) <= 8) {
    std::vector<TPaletteEntry> pal(size_t{1} << BitsPerPixel(pf));
    for (auto& e : pal) e = {static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng()), 0};
    b.SetPalette(pal);
  }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const TColor c = static_cast<TColor>(rng() & 0xFFFFFF);
      if (BitsPerPixel(pf) <= 8) {
        // Pick a palette colour so the pixel is exact.
        const auto& pal = b.Palette();
        const auto& e = pal[rng() % pal.size()];
        b.SetPixelColor(x, y, RGBColor(e.peRed, e.peGreen, e.peBlue));
      } else {
        b.SetPixelColor(x, y, c);
      }
    }
  return b;
}

void ExpectSamePixels(const TBitmap& a, const TBitmap& b) {
  ASSERT_EQ(a.Width(), b.Width());
  ASSERT_EQ(a.Height(), b.Height());
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      ASSERT_EQ(a.GetPixelColor(x, y), b.GetPixelColor(x, y)) << "pixel (" << x << ", " << y << ")";
}

std::vector<uint8_t> Bytes(TMemoryStream& m) { return std::vector<uint8_t>(m.Memory(), m.Memory() + m.Size()); }

std::vector<uint8_t> SaveBytes(const TBitmap& b) {
  TMemoryStream m;
  b.SaveToStream(m);
  return Bytes(m);
}

TBitmap LoadBytes(const std::vector<uint8_t>& bytes) {
  TMemoryStream m;
  if (!bytes.empty()) m.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  m.SetPosition(0);
  TBitmap b;
  b.LoadFromStream(m);
  return b;
}

void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}
void Put16(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  v[at] = static_cast<uint8_t>(x);
  v[at + 1] = static_cast<uint8_t>(x >> 8);
}

// BITMAPFILEHEADER + BITMAPINFOHEADER for hand-made files.
std::vector<uint8_t> Header(int w, int h, int bpp, uint32_t compression, uint32_t colours,
                            const std::vector<uint8_t>& extra, const std::vector<uint8_t>& pixels) {
  std::vector<uint8_t> v(54, 0);
  v[0] = 'B';
  v[1] = 'M';
  const uint32_t off = 54 + static_cast<uint32_t>(extra.size());
  Put32(v, 2, off + static_cast<uint32_t>(pixels.size()));
  Put32(v, 10, off);
  Put32(v, 14, 40);
  Put32(v, 18, static_cast<uint32_t>(w));
  Put32(v, 22, static_cast<uint32_t>(h));
  Put16(v, 26, 1);
  Put16(v, 28, static_cast<uint32_t>(bpp));
  Put32(v, 30, compression);
  Put32(v, 34, static_cast<uint32_t>(pixels.size()));
  Put32(v, 46, colours);
  v.insert(v.end(), extra.begin(), extra.end());
  v.insert(v.end(), pixels.begin(), pixels.end());
  return v;
}

// Colour table entries (blue, green, red, 0) for index i = grey level i * 16.
std::vector<uint8_t> GreyTable(int n) {
  std::vector<uint8_t> t;
  for (int i = 0; i < n; ++i) {
    const auto g = static_cast<uint8_t>(i * 16);
    t.insert(t.end(), {g, g, g, 0});
  }
  return t;
}

std::vector<uint8_t> Indices(const TBitmap& b, int y) {
  std::vector<uint8_t> out;
  for (int x = 0; x < b.Width(); ++x) out.push_back(static_cast<uint8_t>(b.GetPixelColor(x, y) & 0xFF) / 16);
  return out;
}

// --------------------------------------------------------------- in memory

TEST(Bitmap, RowsArePaddedTo32Bits) {
  EXPECT_EQ(TBitmap::BytesPerRow(1, pf1bit), 4);
  EXPECT_EQ(TBitmap::BytesPerRow(33, pf1bit), 8);
  EXPECT_EQ(TBitmap::BytesPerRow(9, pf4bit), 8);
  EXPECT_EQ(TBitmap::BytesPerRow(5, pf8bit), 8);
  EXPECT_EQ(TBitmap::BytesPerRow(3, pf16bit), 8);
  EXPECT_EQ(TBitmap::BytesPerRow(3, pf24bit), 12);
  EXPECT_EQ(TBitmap::BytesPerRow(757, pf24bit), 2272);
  EXPECT_EQ(TBitmap::BytesPerRow(3, pfDevice), 12);
  TBitmap b(757, 2, pf24bit);
  EXPECT_EQ(b.BytesPerRow(), 2272);
  EXPECT_EQ(b.ScanLine(1) - b.ScanLine(0), 2272);  // rows top-down
}

TEST(Bitmap, TwentyFourBitRowsAreBlueGreenRed) {
  TBitmap b(2, 1, pf24bit);
  b.SetPixelColor(1, 0, RGBColor(0x11, 0x22, 0x33));
  const uint8_t* row = b.ScanLine(0);
  EXPECT_EQ(row[3], 0x33);
  EXPECT_EQ(row[4], 0x22);
  EXPECT_EQ(row[5], 0x11);
  TBitmap d(1, 1);  // device format behaves as 32 bits: blue, green, red, 0
  EXPECT_EQ(d.PixelFormat(), pfDevice);
  d.SetPixelColor(0, 0, RGBColor(1, 2, 3));
  EXPECT_EQ(std::vector<uint8_t>(d.ScanLine(0), d.ScanLine(0) + 4), (std::vector<uint8_t>{3, 2, 1, 0}));
}

TEST(Bitmap, ScanLineOutsideTheBitmapRaises) {
  TBitmap b(4, 3, pf8bit);
  for (int row : {-1, 3, 1000}) {
    SCOPED_TRACE(row);
    try {
      b.ScanLine(row);
      ADD_FAILURE() << "no exception";
    } catch (const EInvalidGraphicOperation& e) {
      EXPECT_EQ(e.Message(), "Scan line index out of range");
    }
  }
  EXPECT_THROW(b.ScanLine(-1), EInvalidGraphic);  // the operation error is a graphic error
  EXPECT_THROW(TBitmap().ScanLine(0), EInvalidGraphic);
  EXPECT_THROW(b.GetPixelColor(4, 0), EInvalidGraphic);
}

TEST(Bitmap, SetSizeKeepsTheOverlapInEveryFormat) {
  for (TPixelFormat pf : kAllFormats) {
    SCOPED_TRACE(Name(pf));
    const TBitmap original = Pattern(pf, 13, 7);
    for (auto [w, h] : {std::pair{5, 3}, std::pair{20, 9}, std::pair{3, 12}, std::pair{13, 7}}) {
      SCOPED_TRACE(testing::Message() << w << " x " << h);
      TBitmap b = original;
      b.SetSize(w, h);
      ASSERT_EQ(b.Width(), w);
      ASSERT_EQ(b.Height(), h);
      EXPECT_EQ(b.PixelFormat(), pf);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const TColor want = (x < 13 && y < 7) ? original.GetPixelColor(x, y)
                              : BitsPerPixel(pf) <= 8
                                  ? RGBColor(b.Palette()[0].peRed, b.Palette()[0].peGreen, b.Palette()[0].peBlue)
                                  : clBlack;
          ASSERT_EQ(b.GetPixelColor(x, y), want) << "pixel (" << x << ", " << y << ")";
        }
    }
  }
  TBitmap b(4, 4);
  b.SetSize(-3, 2);  // negative counts as 0
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Height(), 2);
}

TEST(Bitmap, MoreThan256MiBIsRefused) {
  TBitmap b;
  EXPECT_THROW(b.SetSize(16385, 4096), EOutOfResources);  // 4 bytes/pixel: just over
  EXPECT_NO_THROW(b.SetSize(16384, 16));
  EXPECT_THROW(b.SetSize(2147483647, 2147483647), EOutOfResources);
  EXPECT_EQ(b.Width(), 16384);  // a refused size leaves the bitmap as it was
}

TEST(Bitmap, FormatConversionsInPlace) {
  // True colour formats convert among themselves without loss (16-bit ones
  // quantise, widening with the top bits repeated).
  TBitmap b = Pattern(pf24bit, 9, 5);
  const TBitmap original = b;
  b.SetPixelFormat(pf32bit);
  ExpectSamePixels(b, original);
  b.SetPixelFormat(pfDevice);
  ExpectSamePixels(b, original);
  b.SetPixelFormat(pf24bit);
  ExpectSamePixels(b, original);

  TBitmap q(1, 1, pf24bit);
  q.SetPixelColor(0, 0, RGBColor(0x80, 0xFF, 0x07));
  q.SetPixelFormat(pf16bit);
  EXPECT_EQ(q.GetPixelColor(0, 0), RGBColor(0x84, 0xFF, 0x00));
  q.SetPixelFormat(pf15bit);
  EXPECT_EQ(q.GetPixelColor(0, 0), RGBColor(0x84, 0xFF, 0x00));
  q.SetPixelFormat(pf24bit);
  EXPECT_EQ(q.GetPixelColor(0, 0), RGBColor(0x84, 0xFF, 0x00));

  // To 8 bits: the default (halftone) palette holds the pure colours exactly.
  TBitmap c(3, 1, pf24bit);
  c.SetPixelColor(0, 0, clRed);
  c.SetPixelColor(1, 0, RGBColor(51, 102, 153));
  c.SetPixelColor(2, 0, RGBColor(50, 100, 150));  // nearest: 51, 102, 153
  c.SetPixelFormat(pf8bit);
  ASSERT_EQ(c.Palette().size(), 256u);
  EXPECT_EQ(c.GetPixelColor(0, 0), clRed);
  EXPECT_EQ(c.GetPixelColor(1, 0), RGBColor(51, 102, 153));
  EXPECT_EQ(c.GetPixelColor(2, 0), RGBColor(51, 102, 153));
  c.SetPixelFormat(pf1bit);  // 256 colours do not fit: black/white by nearness
  EXPECT_EQ(c.Palette().size(), 2u);
  EXPECT_EQ(c.GetPixelColor(0, 0), clBlack);  // red (255,0,0) is nearer black
  c.SetPixelFormat(pf24bit);
  EXPECT_EQ(c.GetPixelColor(1, 0), clBlack);

  // Indexed to a wider indexed format keeps palette and indices.
  TBitmap i = Pattern(pf4bit, 7, 3);
  const auto pal = i.Palette();
  const TBitmap i0 = i;
  i.SetPixelFormat(pf8bit);
  EXPECT_EQ(i.Palette(), pal);
  ExpectSamePixels(i, i0);
  EXPECT_EQ(i.ScanLine(0)[0] < 16, true);

  // A palette given to a true-colour bitmap is the one it reduces to.
  TBitmap g(2, 1, pf24bit);
  g.SetPixelColor(0, 0, RGBColor(10, 10, 10));
  g.SetPixelColor(1, 0, RGBColor(250, 240, 250));
  g.SetPalette({{0, 0, 0, 0}, {128, 128, 128, 0}, {255, 255, 255, 0}});
  g.SetPixelFormat(pf8bit);
  EXPECT_EQ(g.Palette().size(), 3u);
  EXPECT_EQ(g.ScanLine(0)[0], 0);
  EXPECT_EQ(g.ScanLine(0)[1], 2);
}

TEST(Bitmap, IndexPastThePaletteReadsBlack) {
  TBitmap b(1, 1, pf8bit);
  b.SetPalette({{255, 255, 255, 0}});
  b.ScanLine(0)[0] = 200;
  EXPECT_EQ(b.GetPixelColor(0, 0), clBlack);
}

TEST(Bitmap, CopiesAreDeepAndHaveTheirOwnCanvas) {
  TBitmap a = Pattern(pf24bit, 4, 4);
  TBitmap b = a;
  b.Canvas().Brush().SetColor(clLime);
  b.Canvas().FillRect(Rect(0, 0, 4, 4));
  EXPECT_NE(a.GetPixelColor(0, 0), clLime);
  EXPECT_EQ(b.GetPixelColor(3, 3), clLime);
  EXPECT_EQ(&b.Canvas().Bitmap(), &b);
}

// ------------------------------------------------------------------- BMP

TEST(BitmapFile, RoundTripEveryFormat) {
  for (TPixelFormat pf : kAllFormats) {
    for (auto [w, h] : {std::pair{1, 1}, std::pair{13, 7}, std::pair{32, 3}}) {
      SCOPED_TRACE(testing::Message() << Name(pf) << " " << w << " x " << h);
      const TBitmap b = Pattern(pf, w, h, static_cast<unsigned>(w * 100 + pf));
      const auto bytes = SaveBytes(b);
      const int bpp = BitsPerPixel(pf);
      // File header fields: signature, size, bit count, bottom-up height.
      ASSERT_GE(bytes.size(), 54u);
      EXPECT_EQ(bytes[0], 'B');
      EXPECT_EQ(bytes[1], 'M');
      EXPECT_EQ(bytes[2] | bytes[3] << 8 | bytes[4] << 16, static_cast<int>(bytes.size()));
      EXPECT_EQ(bytes[28], bpp);
      EXPECT_EQ(bytes[22], h);
      const TBitmap back = LoadBytes(bytes);
      EXPECT_EQ(BitsPerPixel(back.PixelFormat()), bpp);
      if (pf != pfDevice && pf != pf32bit) {
        EXPECT_EQ(back.PixelFormat(), pf);
      }
      EXPECT_EQ(back.Palette(), b.Palette());
      ExpectSamePixels(back, b);
      EXPECT_EQ(SaveBytes(back), bytes) << "saving what was loaded gives the same file";
    }
  }
}

// Turns a bottom-up file (as we write it) into the same image stored top-down.
std::vector<uint8_t> ToTopDown(std::vector<uint8_t> v, int h) {
  const uint32_t off = v[10] | v[11] << 8 | v[12] << 16;
  const size_t stride = (v.size() - off) / static_cast<size_t>(h);
  std::vector<uint8_t> flipped(v.begin(), v.begin() + off);
  for (int y = h - 1; y >= 0; --y)
    flipped.insert(flipped.end(), v.begin() + off + static_cast<long>(stride) * y,
                   v.begin() + off + static_cast<long>(stride) * (y + 1));
  Put32(flipped, 22, static_cast<uint32_t>(-h));
  return flipped;
}

TEST(BitmapFile, TopDownFilesReadTheSame) {
  for (TPixelFormat pf : kAllFormats) {
    SCOPED_TRACE(Name(pf));
    const TBitmap b = Pattern(pf, 11, 6, 9);
    ExpectSamePixels(LoadBytes(ToTopDown(SaveBytes(b), 6)), b);
  }
}

TEST(BitmapFile, FilesAndTheirErrorsNameTheFile) {
  const std::string name = ::testing::TempDir() + "kl_bitmap_roundtrip.bmp";
  const TBitmap b = Pattern(pf24bit, 5, 4);
  b.SaveToFile(name);
  TBitmap c;
  c.LoadFromFile(name);
  ExpectSamePixels(c, b);
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer("BMxx", 4);
    f.Flush();
  }
  try {
    c.LoadFromFile(name);
    ADD_FAILURE() << "loaded a damaged file";
  } catch (const EInvalidGraphic& e) {
    EXPECT_NE(e.Message().find(name), std::string::npos) << e.Message();
    EXPECT_NE(e.Message().find("truncated"), std::string::npos) << e.Message();
  }
  ExpectSamePixels(c, b);  // a failed load leaves the bitmap as it was
  std::remove(name.c_str());
  EXPECT_THROW(c.LoadFromFile(name), EFOpenError);
}

TEST(BitmapFile, EmptyBitmapWritesNothingAndEmptyStreamReadsEmpty) {
  EXPECT_TRUE(SaveBytes(TBitmap()).empty());
  TBitmap b = LoadBytes({});
  EXPECT_TRUE(b.Empty());
}

TEST(BitmapFile, Rle8WithRunsAbsoluteRunDeltaAndEndMarkers) {
  const std::vector<uint8_t> rle = {
      3, 5,              // bottom row: 3 x index 5
      0, 3, 1, 2, 3, 0,  // absolute run of 3 (1, 2, 3), padded to 16 bits
      0, 0,              // end of line
      0, 2, 2, 0,        // delta: 2 right, 0 up
      2, 7,              // 2 x index 7
      0, 1,              // end of bitmap
  };
  const TBitmap b = LoadBytes(Header(6, 2, 8, 1, 16, GreyTable(16), rle));
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_EQ(Indices(b, 1), (std::vector<uint8_t>{5, 5, 5, 1, 2, 3}));
  EXPECT_EQ(Indices(b, 0), (std::vector<uint8_t>{0, 0, 7, 7, 0, 0}));
}

TEST(BitmapFile, Rle4RunsAlternateNibbles) {
  const std::vector<uint8_t> rle = {
      5, 0x12,           // 1 2 1 2 1
      0, 3, 0xAB, 0xC0,  // absolute: A B C (2 bytes, already 16-bit aligned)
      0, 1,              // end of bitmap
  };
  const TBitmap b = LoadBytes(Header(8, 1, 4, 2, 16, GreyTable(16), rle));
  EXPECT_EQ(b.PixelFormat(), pf4bit);
  EXPECT_EQ(Indices(b, 0), (std::vector<uint8_t>{1, 2, 1, 2, 1, 10, 11, 12}));
}

TEST(BitmapFile, RleRunsPastTheRowAreClippedNotWritten) {
  // 200 pixels into a 4-pixel row, then a delta far outside: nothing leaks.
  const std::vector<uint8_t> rle = {200, 9, 0, 2, 250, 250, 3, 1, 0, 1};
  const TBitmap b = LoadBytes(Header(4, 2, 8, 1, 16, GreyTable(16), rle));
  EXPECT_EQ(Indices(b, 1), (std::vector<uint8_t>{9, 9, 9, 9}));
  EXPECT_EQ(Indices(b, 0), (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST(BitmapFile, BitFieldsAndOs2Headers) {
  // 16 bits, 4-4-4 masks: widened by repeating bits (0xF -> 0xFF, 0x8 -> 0x88).
  std::vector<uint8_t> masks(12);
  Put32(masks, 0, 0x0F00);
  Put32(masks, 4, 0x00F0);
  Put32(masks, 8, 0x000F);
  const TBitmap a = LoadBytes(Header(2, 1, 16, 3, 0, masks, {0x8F, 0x0F, 0x00, 0x0F}));
  EXPECT_EQ(a.PixelFormat(), pf24bit);
  EXPECT_EQ(a.GetPixelColor(0, 0), RGBColor(0xFF, 0x88, 0xFF));
  EXPECT_EQ(a.GetPixelColor(1, 0), RGBColor(0xFF, 0x00, 0x00));

  // 32 bits with shifted masks (red in the top byte).
  Put32(masks, 0, 0xFF000000);
  Put32(masks, 4, 0x00FF0000);
  Put32(masks, 8, 0x0000FF00);
  const TBitmap c = LoadBytes(Header(1, 1, 32, 3, 0, masks, {0x00, 0x33, 0x22, 0x11}));
  EXPECT_EQ(c.GetPixelColor(0, 0), RGBColor(0x11, 0x22, 0x33));

  // A mask of all 32 bits is one 32-bit channel: its top 8 bits count.
  Put32(masks, 0, 0xFFFFFFFF);
  Put32(masks, 4, 0);
  Put32(masks, 8, 0);
  const TBitmap full = LoadBytes(Header(1, 1, 32, 3, 0, masks, {0x00, 0x00, 0x00, 0xAB}));
  EXPECT_EQ(full.GetPixelColor(0, 0), RGBColor(0xAB, 0, 0));

  // 16 bits 5-6-5 masks read as pf16bit.
  Put32(masks, 0, 0xF800);
  Put32(masks, 4, 0x07E0);
  Put32(masks, 8, 0x001F);
  const TBitmap d = LoadBytes(Header(1, 1, 16, 3, 0, masks, {0x1F, 0xF8, 0, 0}));
  EXPECT_EQ(d.PixelFormat(), pf16bit);
  EXPECT_EQ(d.GetPixelColor(0, 0), RGBColor(0xFF, 0, 0xFF));

  // OS/2 core header: 12 bytes, 16-bit sizes, 3-byte colour entries.
  std::vector<uint8_t> os2 = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0, 0,  // file header
                              12, 0, 0, 0, 3, 0, 1, 0, 1, 0, 1, 0,            // core header
                              0, 0, 0, 0xFF, 0xFF, 0xFF,                     // black, white
                              0xA0, 0, 0, 0};                                // 1 0 1
  const TBitmap e = LoadBytes(os2);
  EXPECT_EQ(e.PixelFormat(), pf1bit);
  EXPECT_EQ(e.GetPixelColor(0, 0), clWhite);
  EXPECT_EQ(e.GetPixelColor(1, 0), clBlack);
  EXPECT_EQ(e.GetPixelColor(2, 0), clWhite);
}

TEST(BitmapFile, ShortColourTableUsesOnlyItsEntries) {
  // 8 bits with 2 colours used: indices above 1 read black.
  std::vector<uint8_t> table = {0, 0, 255, 0, 255, 0, 0, 0};  // red, blue
  const TBitmap b = LoadBytes(Header(4, 1, 8, 0, 2, table, {0, 1, 7, 1}));
  ASSERT_EQ(b.Palette().size(), 2u);
  EXPECT_EQ(b.GetPixelColor(0, 0), clRed);
  EXPECT_EQ(b.GetPixelColor(1, 0), clBlue);
  EXPECT_EQ(b.GetPixelColor(2, 0), clBlack);
}

struct CorruptCase {
  const char* name;
  std::vector<uint8_t> bytes;
  const char* message;  // part of the expected message
};

std::vector<CorruptCase> CorruptCases() {
  const std::vector<uint8_t> good = Header(4, 3, 8, 0, 16, GreyTable(16), std::vector<uint8_t>(12, 1));
  auto with = [&](auto change) {
    auto v = good;
    change(v);
    return v;
  };
  std::vector<uint8_t> masks(12);
  Put32(masks, 0, 0x0F0F);  // not contiguous
  Put32(masks, 4, 0x00F0);
  Put32(masks, 8, 0x0000);
  std::vector<uint8_t> rleTruncated = {3, 5, 0, 5, 1, 2};  // absolute run of 5, 2 bytes present
  return {
      {"signature", with([](auto& v) { v[1] = 'X'; }), "no \"BM\" signature"},
      {"one byte", {'B'}, "header is truncated"},
      {"file header only", std::vector<uint8_t>(good.begin(), good.begin() + 14), "header is truncated"},
      {"info header cut", std::vector<uint8_t>(good.begin(), good.begin() + 30), "header is truncated"},
      {"header size 41", with([](auto& v) { Put32(v, 14, 41); }), "unknown BMP header size"},
      {"header size huge", with([](auto& v) { Put32(v, 14, 0xFFFFFFF0); }), "unknown BMP header size"},
      {"width 0", with([](auto& v) { Put32(v, 18, 0); }), "invalid BMP dimensions"},
      {"width negative", with([](auto& v) { Put32(v, 18, static_cast<uint32_t>(-4)); }), "invalid BMP dimensions"},
      {"height 0", with([](auto& v) { Put32(v, 22, 0); }), "invalid BMP dimensions"},
      {"planes 2", with([](auto& v) { Put16(v, 26, 2); }), "plane count"},
      {"bit count 7", with([](auto& v) { Put16(v, 28, 7); }), "unsupported BMP bit count"},
      {"bit count 0", with([](auto& v) { Put16(v, 28, 0); }), "unsupported BMP bit count"},
      {"JPEG compression", with([](auto& v) { Put32(v, 30, 4); }), "unsupported BMP compression"},
      {"RLE4 at 8 bits", with([](auto& v) { Put32(v, 30, 2); }), "unsupported BMP compression"},
      {"bit fields at 8 bits", with([](auto& v) { Put32(v, 30, 3); }), "unsupported BMP compression"},
      {"top-down RLE", with([](auto& v) { Put32(v, 30, 1); Put32(v, 22, static_cast<uint32_t>(-3)); }),
       "cannot be stored top-down"},
      {"over 256 MiB", with([](auto& v) { Put16(v, 28, 32); Put32(v, 46, 0); Put32(v, 18, 20000); Put32(v, 22, 20000); }),
       "too large"},
      {"largest sizes", with([](auto& v) { Put32(v, 18, 0x7FFFFFFF); Put32(v, 22, 0x80000000); }), "too large"},
      {"colour table cut", std::vector<uint8_t>(good.begin(), good.begin() + 60), "colour table is truncated"},
      {"offset into header", with([](auto& v) { Put32(v, 10, 20); }), "points into the header"},
      {"offset past the end", with([](auto& v) { Put32(v, 10, 100000); }), "pixel data is truncated"},
      {"pixels cut", std::vector<uint8_t>(good.begin(), good.end() - 5), "pixel data is truncated"},
      {"masks not contiguous", Header(2, 1, 16, 3, 0, masks, {0, 0, 0, 0}), "bit field masks"},
      {"RLE cut in a run", Header(4, 2, 8, 1, 16, GreyTable(16), rleTruncated), "compressed pixel data is truncated"},
      {"RLE without end", Header(4, 2, 8, 1, 16, GreyTable(16), {4, 1, 0, 0}), "compressed pixel data is truncated"},
      {"RLE no data", Header(4, 2, 8, 1, 16, GreyTable(16), {}), "compressed pixel data is truncated"},
  };
}

TEST(BitmapFile, CorruptFilesRaiseClearErrors) {
  for (const auto& c : CorruptCases()) {
    SCOPED_TRACE(c.name);
    try {
      LoadBytes(c.bytes);
      ADD_FAILURE() << "loaded";
    } catch (const EInvalidGraphic& e) {
      EXPECT_NE(e.Message().find(c.message), std::string::npos) << "have: " << e.Message() << "\nwant: " << c.message;
      EXPECT_EQ(e.Message().rfind("Invalid bitmap: ", 0), 0u) << e.Message();
    }
  }
}

TEST(BitmapFile, EveryTruncationFailsCleanlyOrKeepsAllPixels) {
  for (TPixelFormat pf : {pf1bit, pf4bit, pf8bit, pf16bit, pf24bit, pf32bit}) {
    SCOPED_TRACE(Name(pf));
    const TBitmap b = Pattern(pf, 7, 3, 5);
    const auto bytes = SaveBytes(b);
    for (size_t n = 1; n < bytes.size(); ++n) {
      SCOPED_TRACE(n);
      try {
        const TBitmap c = LoadBytes(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(n)));
        // Only the last row's padding may be missing.
        ExpectSamePixels(c, b);
      } catch (const EInvalidGraphic&) {
      }
    }
  }
}

TEST(BitmapFile, RandomDamageEndsInABitmapOrAClearError) {
  std::mt19937 rng(3);
  std::vector<std::vector<uint8_t>> seeds = {
      SaveBytes(Pattern(pf8bit, 9, 4)), SaveBytes(Pattern(pf4bit, 9, 4)), SaveBytes(Pattern(pf16bit, 9, 4)),
      Header(6, 2, 8, 1, 16, GreyTable(16), {3, 5, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 2, 0, 2, 7, 0, 1}),
      Header(8, 2, 4, 2, 16, GreyTable(16), {5, 0x12, 0, 3, 0xAB, 0xC0, 0, 0, 9, 0x34, 0, 1})};
  for (int round = 0; round < 1000; ++round) {
    auto v = seeds[static_cast<size_t>(round) % seeds.size()];
    const int flips = 1 + static_cast<int>(rng() % 4);
    for (int k = 0; k < flips; ++k) v[rng() % v.size()] = static_cast<uint8_t>(rng());
    try {
      const TBitmap b = LoadBytes(v);
      for (int y = 0; y < b.Height(); ++y) (void)b.ScanLine(y);
    } catch (const EInvalidGraphic&) {
    }
  }
}

}  // namespace
