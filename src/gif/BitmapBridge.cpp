// The document operations that rely on the bitmap import and rendering of
// gif/color. Kept apart so that the model links on its own.
#include "gif/GIFImage.h"

int TGIFImage::Add(const TBitmap& Source) {
  auto frame = std::make_unique<TGIFSubImage>(this);
  frame->Assign(Source);  // on an error the frame is freed here
  return Add(std::move(frame));
}

TBitmap* TGIFImage::Bitmap() {
  if (Empty()) return nullptr;
  if (FBitmap) return FBitmap.get();
  TGIFSubImage* first = FImages->Items(0);
  TBitmap* frameBitmap = first->Bitmap();
  auto bitmap = std::make_unique<TBitmap>();
  if (first->Width() == Width() && first->Height() == Height() && frameBitmap != nullptr) {
    bitmap->Assign(*frameBitmap);
  } else {
    bitmap->SetPixelFormat(pf8bit);
    if (const TPalette* palette = Palette()) bitmap->SetPalette(palette->Entries());
    bitmap->SetSize(Width(), Height());
    if (frameBitmap != nullptr) bitmap->Canvas().Draw(first->Left(), first->Top(), *frameBitmap);
  }
  FBitmap = std::move(bitmap);
  return FBitmap.get();
}

void TGIFImage::AssignTo(TBitmap& Dest) {
  if (TBitmap* bitmap = Bitmap()) Dest.Assign(*bitmap);
}

void TGIFSubImage::SetHasBitmap(bool Value) {
  if (Value == HasBitmap()) return;
  if (Value)
    Bitmap();
  else
    FreeBitmap();
}

bool TGIFSubImage::HasMask() {
  if (FNeedMask && FTransparent) {
    // Rendering the bitmap builds the mask.
    FreeBitmap();
    Bitmap();
  }
  return FMask != nullptr;
}
