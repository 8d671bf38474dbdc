// The frame reader's entry into the LZW decoder, and the pixel buffer limits.
#include <cstring>
#include <memory>

#include "gif/GIFImage.h"
#include "gif/codec/LZWDecoder.h"

void DecodeFrame(TGIFSubImage& Frame, TStream& Source) {
  int64_t others = 0;
  if (TGIFImage* doc = Frame.Image()) {
    const TGIFImageList& list = doc->Images();
    for (int i = 0; i < list.Count(); ++i) {
      const TGIFSubImage* f = list.Items(i);
      if (f != &Frame) others += f->DataSize();
    }
  }
  CheckPixelLimits(Frame.Width(), Frame.Height(), others);

  Frame.NewImage();
  uint8_t fill = 0;
  if (Frame.Transparent() && Frame.GraphicControlExtension() != nullptr)
    fill = Frame.GraphicControlExtension()->TransparentColorIndex();
  if (fill != 0 && Frame.Data() != nullptr) std::memset(Frame.Data(), fill, static_cast<size_t>(Frame.DataSize()));

  auto decoder = std::make_unique<TLZWDecoder>(
      Source, [&Frame](const char* Message) { Frame.Warning(1, Message); });
  decoder->Decode(Frame.Data(), Frame.Width(), Frame.Height(), Frame.Interlaced());
}
