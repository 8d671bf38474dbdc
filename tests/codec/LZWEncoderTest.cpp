// Sub-block writer and LZW encoder: worked byte examples, code width timing,
// clears, interlaced row order, and round trips through an independent
// decoder written here (the textbook algorithm) and through giflib.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "gif/GIFImage.h"
#include "gif/codec/GIFStream.h"
#include "gif/codec/LZWEncoder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes StreamBytes(TMemoryStream& s) { return Bytes(s.Memory(), s.Memory() + s.Size()); }

Bytes Encode(int bpp, int w, int h, bool interlace, const uint8_t* data, int maxColor) {
  TMemoryStream out;
  TLZWEncoder encoder;
  encoder.Compress(out, bpp, w, h, interlace, data, maxColor);
  return StreamBytes(out);
}

// The textbook GIF LZW decoder, kept apart from the program's code. Records
// every code with the width it was read at.
struct Trace {
  std::vector<int> Codes;
  std::vector<int> Widths;
  Bytes Pixels;
  bool SawEnd = false;
  size_t Consumed = 0;  // bytes of image data used, terminator included
};

Trace Decode(const Bytes& d) {
  Trace t;
  size_t pos = 0;
  const int codeSize = d.at(pos++);
  // Gather the sub-blocks.
  Bytes data;
  for (;;) {
    const int n = d.at(pos++);
    if (n == 0) break;
    data.insert(data.end(), d.begin() + static_cast<long>(pos), d.begin() + static_cast<long>(pos + n));
    pos += static_cast<size_t>(n);
  }
  t.Consumed = pos;
  const int clear = 1 << codeSize, end = clear + 1;
  int width = codeSize + 1, next = clear + 2, prev = -1;
  std::vector<Bytes> table(4096);
  auto reset = [&] {
    for (int i = 0; i < clear; ++i) table[static_cast<size_t>(i)] = Bytes{static_cast<uint8_t>(i)};
    width = codeSize + 1;
    next = clear + 2;
    prev = -1;
  };
  reset();
  size_t bit = 0;
  while (bit + static_cast<size_t>(width) <= data.size() * 8) {
    int code = 0;
    for (int i = 0; i < width; ++i, ++bit)
      if (data[bit / 8] & (1 << (bit % 8))) code |= 1 << i;
    t.Codes.push_back(code);
    t.Widths.push_back(width);
    if (code == clear) {
      reset();
      continue;
    }
    if (code == end) {
      t.SawEnd = true;
      break;
    }
    Bytes entry;
    if (code < next && !table[static_cast<size_t>(code)].empty()) {
      entry = table[static_cast<size_t>(code)];
    } else {
      EXPECT_EQ(code, next) << "code beyond the table";
      entry = table[static_cast<size_t>(prev)];
      entry.push_back(entry[0]);
    }
    t.Pixels.insert(t.Pixels.end(), entry.begin(), entry.end());
    if (prev >= 0 && next < 4096) {
      Bytes grown = table[static_cast<size_t>(prev)];
      grown.push_back(entry[0]);
      table[static_cast<size_t>(next++)] = grown;
      if (next == (1 << width) && width < 12) ++width;
    }
    prev = code;
  }
  return t;
}

// giflib reads the bytes as one frame's image data in a minimal file.
Bytes GiflibDecode(const Bytes& imageData, int w, int h, int bpp, bool interlace) {
  Bytes file = {'G', 'I', 'F', '8', '9', 'a', static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8),
                static_cast<uint8_t>(h), static_cast<uint8_t>(h >> 8),
                static_cast<uint8_t>(0x80 | (bpp - 1)), 0, 0};
  for (int i = 0; i < (1 << bpp) * 3; ++i) file.push_back(static_cast<uint8_t>(i));
  const uint8_t desc[10] = {0x2C, 0, 0, 0, 0, static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 8),
                            static_cast<uint8_t>(h), static_cast<uint8_t>(h >> 8),
                            static_cast<uint8_t>(interlace ? 0x40 : 0)};
  file.insert(file.end(), desc, desc + 10);
  file.insert(file.end(), imageData.begin(), imageData.end());
  file.push_back(0x3B);
  struct Src {
    const Bytes* b;
    size_t pos;
  } src{&file, 0};
  int err = 0;
  GifFileType* gif = DGifOpen(&src, [](GifFileType* g, GifByteType* buf, int n) {
    auto* s = static_cast<Src*>(g->UserData);
    const int k = static_cast<int>(std::min<size_t>(static_cast<size_t>(n), s->b->size() - s->pos));
    std::memcpy(buf, s->b->data() + s->pos, static_cast<size_t>(k));
    s->pos += static_cast<size_t>(k);
    return k;
  }, &err);
  EXPECT_NE(gif, nullptr);
  if (gif == nullptr) return {};
  EXPECT_EQ(DGifSlurp(gif), GIF_OK) << GifErrorString(gif->Error);
  Bytes pixels;
  if (gif->ImageCount == 1)
    pixels.assign(gif->SavedImages[0].RasterBits, gif->SavedImages[0].RasterBits + w * h);
  DGifCloseFile(gif, &err);
  return pixels;
}

// --- Sub-block writer

TEST(GIFWriter, CutsBytesIntoSubBlocks) {
  struct Case {
    const char* name;
    std::vector<int> writes;  // sizes of successive Write calls
    std::vector<int> blocks;  // expected count bytes
  };
  const Case cases[] = {
      {"255 single bytes", std::vector<int>(255, 1), {255}},
      {"256 single bytes", std::vector<int>(256, 1), {255, 1}},
      {"one write of 600", {600}, {255, 255, 90}},
      {"nothing", {}, {}},
      {"510 in two writes", {300, 210}, {255, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TMemoryStream out;
    Bytes written;
    {
      TGIFWriter w(out);
      uint8_t value = 0;
      for (int n : c.writes) {
        Bytes chunk(static_cast<size_t>(n));
        for (auto& b : chunk) b = value++;
        EXPECT_EQ(w.Write(chunk.data(), n), n);
        written.insert(written.end(), chunk.begin(), chunk.end());
      }
      w.Close();
    }
    Bytes expected;
    size_t from = 0;
    for (int n : c.blocks) {
      expected.push_back(static_cast<uint8_t>(n));
      expected.insert(expected.end(), written.begin() + static_cast<long>(from),
                      written.begin() + static_cast<long>(from + static_cast<size_t>(n)));
      from += static_cast<size_t>(n);
    }
    EXPECT_EQ(StreamBytes(out), expected);
  }
}

TEST(GIFWriter, FullBlockGoesOutWhenItsLastByteArrives) {
  TMemoryStream out;
  TGIFWriter w(out);
  for (int i = 0; i < 254; ++i) w.PutByte(1);
  EXPECT_EQ(out.Size(), 0);
  w.PutByte(1);
  EXPECT_EQ(out.Size(), 256);
}

TEST(GIFWriter, RefusesReadingAndSeeking) {
  TMemoryStream out;
  TGIFWriter w(out);
  uint8_t b;
  for (auto op : std::vector<std::function<void()>>{[&] { w.Read(&b, 1); }, [&] { w.Seek(0, soBeginning); },
                                                    [&] { w.Position(); }, [&] { w.Size(); }}) {
    try {
      op();
      ADD_FAILURE() << "no exception";
    } catch (const GIFException&) {
      ADD_FAILURE() << "want the plain Exception, have GIFException";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), gifmsg::InvalidStream);
    }
  }
}

// --- String table

TEST(HashTable, FindsEveryStoredKeyAndNothingElse) {
  THashTable table;
  std::mt19937 rng(3);
  std::vector<uint32_t> keys;
  std::vector<bool> used(1 << 20, false);
  // As many strings as one table ever holds between two clears.
  while (keys.size() < 4089) {
    const uint32_t key = ((rng() % 4095) << 8) | (rng() & 0xFF);
    if (used[key]) continue;
    used[key] = true;
    table.AddCode(key, static_cast<int>(258 + keys.size()) & 0xFFF);
    keys.push_back(key);
  }
  for (size_t i = 0; i < keys.size(); ++i) ASSERT_EQ(table.FindCode(keys[i]), static_cast<int>(258 + i) & 0xFFF);
  int absent = 0;
  for (uint32_t key = 0; key < (1u << 20) && absent < 20000; key += 7)
    if (!used[key]) {
      ASSERT_EQ(table.FindCode(key), -1) << key;
      ++absent;
    }
  table.Reset();
  for (uint32_t key : keys) ASSERT_EQ(table.FindCode(key), -1);
}

// --- LZW encoder: worked examples

TEST(LZWEncoder, WorkedExamples) {
  const uint8_t zero = 0;
  // Code size 2; one sub-block: clear 4, pixel 0, end 5 in 3 bits each.
  EXPECT_EQ(Encode(1, 1, 1, false, &zero, 2), (Bytes{0x02, 0x02, 0x44, 0x01, 0x00}));
  // Without pixels the data is the end code alone (257 in 9 bits).
  EXPECT_EQ(Encode(8, 0, 5, false, &zero, 256), (Bytes{0x08, 0x02, 0x01, 0x01, 0x00}));
  EXPECT_EQ(Encode(8, 5, 0, false, &zero, 256), (Bytes{0x08, 0x02, 0x01, 0x01, 0x00}));
  EXPECT_EQ(Encode(8, 5, 5, false, nullptr, 256), (Bytes{0x08, 0x02, 0x01, 0x01, 0x00}));
}

TEST(LZWEncoder, OneBitPixelsUseCodeSizeTwo) {
  const uint8_t px[4] = {0, 1, 0, 1};
  const Bytes out = Encode(1, 4, 1, false, px, 2);
  ASSERT_EQ(out[0], 2);
  const Trace t = Decode(out);
  // Clear 4, then 0, 1, 6 ("0 1"), end 5. Writing 6 follows the assignment
  // of code 7, so the end code is the first of 4 bits.
  EXPECT_EQ(t.Codes, (std::vector<int>{4, 0, 1, 6, 5}));
  EXPECT_EQ(t.Widths, (std::vector<int>{3, 3, 3, 3, 4}));
}


Bytes Noise(size_t n, int maxColor, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& v : b) v = static_cast<uint8_t>(rng() % static_cast<uint32_t>(maxColor));
  return b;
}

TEST(LZWEncoder, CodesStayNineBitsUntilCode511IsAssignedAndOneMoreWritten) {
  const Bytes px = Noise(2000, 256, 1);
  const Trace t = Decode(Encode(8, 2000, 1, false, px.data(), 256));
  ASSERT_GT(t.Codes.size(), 300u);
  // Code 0 is the clear; code k >= 2 adds table entry 256 + k - 1, so the code
  // at position 254 adds 511 and the next one is the first of 10 bits.
  for (size_t i = 0; i <= 254; ++i) ASSERT_EQ(t.Widths[i], 9) << "position " << i;
  EXPECT_EQ(t.Widths[255], 9);
  EXPECT_EQ(t.Widths[256], 10);
  EXPECT_EQ(t.Pixels, px);
}

TEST(LZWEncoder, ClearsInsteadOfAssigningCode4095) {
  for (int bpp : {2, 5, 8}) {
    SCOPED_TRACE(bpp);
    const int colors = 1 << bpp;
    const Bytes px = Noise(60000, colors, static_cast<uint32_t>(bpp));
    const Trace t = Decode(Encode(bpp, 300, 200, false, px.data(), colors));
    ASSERT_TRUE(t.SawEnd);
    EXPECT_EQ(t.Pixels, px);
    const int clear = colors < 4 ? 4 : colors;
    // Between two clears: one code that adds nothing, then one per entry
    // from clear + 2 up to 4094.
    std::vector<size_t> clears;
    for (size_t i = 0; i < t.Codes.size(); ++i)
      if (t.Codes[i] == clear) clears.push_back(i);
    ASSERT_GE(clears.size(), 3u);
    for (size_t k = 1; k < clears.size(); ++k) {
      EXPECT_EQ(clears[k] - clears[k - 1] - 1, static_cast<size_t>(4096 - (clear + 2))) << "clear " << k;
      // The clear is written at 12 bits and the width drops right after it.
      EXPECT_EQ(t.Widths[clears[k]], 12);
      EXPECT_EQ(t.Widths[clears[k] + 1], bpp < 2 ? 3 : bpp + 1);
    }
  }
}

TEST(LZWEncoder, InterlacedRowOrder) {
  struct Case {
    int height;
    std::vector<int> order;
  };
  const Case cases[] = {
      {1, {0}},
      {2, {0, 1}},
      {3, {0, 2, 1}},
      {5, {0, 4, 2, 1, 3}},
      {10, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}},
      {17, {0, 8, 16, 4, 12, 2, 6, 10, 14, 1, 3, 5, 7, 9, 11, 13, 15}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.height);
    const int w = 3;
    Bytes px;
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < w; ++x) px.push_back(static_cast<uint8_t>(y));
    const Trace t = Decode(Encode(5, w, c.height, true, px.data(), 32));
    ASSERT_EQ(t.Pixels.size(), px.size());
    std::vector<int> rows;
    for (int r = 0; r < c.height; ++r) rows.push_back(t.Pixels[static_cast<size_t>(r * w)]);
    EXPECT_EQ(rows, c.order);
  }
}

TEST(LZWEncoder, PixelAtMaxColorAborts) {
  struct Case {
    int bpp, maxColor;
    Bytes px;
  };
  const Case cases[] = {
      {4, 16, {1, 2, 16}},
      {4, 16, {16}},
      {2, 3, {0, 1, 2, 3}},
  };
  for (const Case& c : cases) {
    TMemoryStream out;
    TLZWEncoder encoder;
    try {
      encoder.Compress(out, c.bpp, static_cast<int>(c.px.size()), 1, false, c.px.data(), c.maxColor);
      ADD_FAILURE() << "no exception";
    } catch (const GIFException& e) {
      EXPECT_EQ(e.Message(), gifmsg::InvalidColor);
    }
  }
}

TEST(LZWEncoder, DecodesInGiflibToThePixels) {
  std::mt19937 rng(42);
  for (int round = 0; round < 60; ++round) {
    const int bpp = 1 + round % 8;
    const int colors = 1 << bpp;
    const int w = 1 + static_cast<int>(rng() % 300), h = 1 + static_cast<int>(rng() % 200);
    const bool interlace = (round / 8) % 2 == 1;
    SCOPED_TRACE(::testing::Message() << w << "x" << h << " bpp " << bpp << " interlace " << interlace);
    // Runs of random length, as in drawn pictures, with some noise.
    Bytes px(static_cast<size_t>(w * h));
    size_t i = 0;
    while (i < px.size()) {
      const uint8_t v = static_cast<uint8_t>(rng() % static_cast<uint32_t>(colors));
      size_t run = round % 3 == 0 ? 1 : 1 + rng() % 40;
      while (run-- > 0 && i < px.size()) px[i++] = v;
    }
    const Bytes data = Encode(bpp, w, h, interlace, px.data(), colors);
    const Trace t = Decode(data);
    EXPECT_EQ(t.Consumed, data.size()) << "terminator not last";
    EXPECT_EQ(GiflibDecode(data, w, h, bpp, interlace), px);
  }
}

}  // namespace
