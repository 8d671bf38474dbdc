// Fuzz target: arbitrary bytes loaded as a BMP file. A load either gives a
// bitmap or raises one of the platform's exceptions.
#include <cstdint>

#include "platform/Classes.h"
#include "platform/Graphics.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TMemoryStream in;
  if (Size > 0) in.WriteBuffer(Data, static_cast<int64_t>(Size));
  in.SetPosition(0);
  TBitmap bmp;
  try {
    bmp.LoadFromStream(in);
  } catch (const Exception&) {
    return 0;
  }
  // Touch every row so that a bitmap claiming more than it holds shows up.
  volatile uint8_t sink = 0;
  for (int y = 0; !bmp.Empty() && y < bmp.Height(); ++y) {
    const uint8_t* row = bmp.ScanLine(y);
    sink = sink ^ row[0] ^ row[bmp.BytesPerRow() - 1];
  }
  TMemoryStream out;
  bmp.SaveToStream(out);
  return 0;
}
