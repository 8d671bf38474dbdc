// A captured frame written as a GIF and decoded by giflib shows the cube
// colours of the captured pixels.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>

#include "ColorTestUtil.h"
#include "gif/GIFImage.h"
#include "platform/Classes.h"

namespace {

struct MemoryReader {
  const uint8_t* data;
  size_t size, pos;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buf, int count) {
  auto* r = static_cast<MemoryReader*>(gif->UserData);
  const size_t n = std::min(static_cast<size_t>(count), r->size - r->pos);
  std::memcpy(buf, r->data + r->pos, n);
  r->pos += n;
  return static_cast<int>(n);
}

TEST(CapturedFrameThroughGiflib, DecodesToTheCubeColoursOfThePixels) {
  std::mt19937 rng(2024);
  for (auto [w, h] : {std::pair{1, 1}, std::pair{757, 9}, std::pair{13, 40}}) {
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    const auto pixels = RandomPixels(rng, w * h);
    TBitmap capture = Make24(w, h, pixels);
    TGIFImage doc;
    doc.Add(capture);
    TMemoryStream stream;
    doc.SaveToStream(stream);

    MemoryReader reader{stream.Memory(), static_cast<size_t>(stream.Size()), 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&reader, ReadFromMemory, &error);
    ASSERT_NE(gif, nullptr) << GifErrorString(error);
    ASSERT_EQ(DGifSlurp(gif), GIF_OK) << GifErrorString(gif->Error);
    ASSERT_EQ(gif->ImageCount, 1);
    const SavedImage& image = gif->SavedImages[0];
    ASSERT_EQ(image.ImageDesc.Width, w);
    ASSERT_EQ(image.ImageDesc.Height, h);
    const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
    ASSERT_NE(map, nullptr);
    for (int i = 0; i < w * h; ++i) {
      const int index = image.RasterBits[i];
      ASSERT_LT(index, map->ColorCount);
      const GifColorType& got = map->Colors[index];
      const Rgb& p = pixels[size_t(i)];
      auto level = [](int v) { return 51 * ((v + 3) / 51); };
      ASSERT_EQ(got.Red, level(p.r)) << "pixel " << i;
      ASSERT_EQ(got.Green, level(p.g)) << "pixel " << i;
      ASSERT_EQ(got.Blue, level(p.b)) << "pixel " << i;
    }
    DGifCloseFile(gif, &error);
  }
}

}  // namespace
