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
  SetGIFPixelLimits({int64_t{1} << 20, int64_t{4} << 20});
  return 0;
}

namespace {

bool Load(TGIFImage& Doc, TMemoryStream& S) {
  S.SetPosition(0);
  try {
    Doc.LoadFromStream(S);
    return true;
  } catch (const GIFException&) {
    return false;
  }
}

bool Save(TGIFImage& Doc, TMemoryStream& S) {
  try {
    Doc.SaveToStream(S);
    return true;
  } catch (const GIFException&) {
    return false;  // e.g. pixels beyond the colour table
  }
}

bool SameBytes(TMemoryStream& A, TMemoryStream& B) {
  return A.Size() == B.Size() && std::memcmp(A.Memory(), B.Memory(), static_cast<size_t>(A.Size())) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TMemoryStream in;
  if (Size > 0) in.WriteBuffer(Data, static_cast<int64_t>(Size));
  TGIFImage doc;
  if (!Load(doc, in) || doc.Images().Count() == 0) return 0;
  TMemoryStream first;
  if (!Save(doc, first)) return 0;

  // What was saved loads again, with the same frames and pixels.
  TGIFImage again;
  Check(Load(again, first), "a saved document does not load again");
  int n = 0;
  for (int i = 0; i < doc.Images().Count(); ++i) {
    TGIFSubImage* f = doc.Images()[i];
    if (f->Empty()) continue;  // frames without pixels write only their extensions
    while (n < again.Images().Count() && again.Images()[n]->Empty()) ++n;
    Check(n < again.Images().Count(), "a frame was lost");
    TGIFSubImage* g = again.Images()[n++];
    Check(f->Width() == g->Width() && f->Height() == g->Height() && f->Left() == g->Left() &&
              f->Top() == g->Top() && f->Interlaced() == g->Interlaced(),
          "a frame changed its descriptor");
    Check(std::memcmp(f->Data(), g->Data(), static_cast<size_t>(f->DataSize())) == 0, "a frame changed its pixels");
  }

  // A save that succeeds writes at least one frame.
  Check(again.Images().Count() > 0, "every frame was lost");

  // From the second save on the bytes are stable. (The first save may
  // normalise blocks, for example an application block of an unusual size.)
  // Known gap: pixels beyond their frame's colour table are coded at the
  // depth the other frames' tables give; such documents may not save again.
  for (int i = 0; i < again.Images().Count(); ++i) {
    TGIFSubImage* f = again.Images()[i];
    if (f->Empty()) continue;
    const int colors = f->ActiveColorMap().Count();
    for (int k = 0; k < f->DataSize(); ++k)
      if (f->Data()[k] >= colors) return 0;
  }
  TMemoryStream second;
  Check(Save(again, second), "a reloaded document does not save");
  TGIFImage third;
  Check(Load(third, second), "the second save does not load");
  TMemoryStream last;
  Check(Save(third, last), "the third document does not save");
  Check(SameBytes(second, last), "save, load, save changed the bytes");
  return 0;
}
