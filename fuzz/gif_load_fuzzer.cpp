// Fuzz target: arbitrary bytes loaded as a GIF document. A load either gives
// a document or raises GIFException; a document that loads and saves must
// load again and save to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "gif/GIFImage.h"
#include "gif/codec/LZWDecoder.h"

namespace {

void Check(bool Ok, const char* What) {
  if (!Ok) {
    std::fprintf(stderr, "gif_load: %s\n", What);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Small limits keep each input fast; the limit checks themselves are
  // exercised all the more.
  SetGIFPixelLimits({int64_t{4} << 20, int64_t{16} << 20});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TMemoryStream in;
  if (Size > 0) in.WriteBuffer(Data, static_cast<int64_t>(Size));
  in.SetPosition(0);
  TGIFImage doc;
  try {
    doc.LoadFromStream(in);
  } catch (const GIFException&) {
    return 0;
  }
  if (doc.Images().Count() == 0) return 0;  // nothing to save

  TMemoryStream first;
  try {
    doc.SaveToStream(first);
  } catch (const GIFException&) {
    return 0;  // e.g. pixels beyond the colour table
  }

  first.SetPosition(0);
  TGIFImage again;
  try {
    again.LoadFromStream(first);
  } catch (const GIFException& e) {
    std::fprintf(stderr, "reload: %s\n", e.what());
    Check(false, "a saved document does not load again");
  }
  TMemoryStream second;
  again.SaveToStream(second);
  Check(second.Size() == first.Size() && std::memcmp(second.Memory(), first.Memory(),
                                                    static_cast<size_t>(first.Size())) == 0,
        "save, load, save changed the bytes");
  return 0;
}
