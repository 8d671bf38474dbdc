// The document: frames, header, settings, palette, save and load.
#include "gif/GIFImage.h"

#include "gif/Palettes.h"
#include "platform/FileUtils.h"

TGIFImage::TGIFImage()
    : FImages(std::make_unique<TGIFImageList>(this)),
      FHeader(std::make_unique<TGIFHeader>(this)),
      FDrawOptions(GIFImageDefaults.DrawOptions),
      FColorReduction(GIFImageDefaults.ColorReduction),
      FReductionBits(GIFImageDefaults.ReductionBits),
      FDitherMode(GIFImageDefaults.DitherMode),
      FCompression(GIFImageDefaults.Compression),
      FThreadPriority(GIFImageDefaults.ThreadPriority),
      FAnimationSpeed(GIFImageDefaults.AnimationSpeed),
      FBackgroundColor(GIFImageDefaults.BackgroundColor) {
  Clear();
}

TGIFImage::~TGIFImage() {
  StopDraw();
  FBitmap.reset();
  // Frames first, while the lists they detach from are whole.
  FImages->Clear();
}

void TGIFImage::Clear() {
  StopDraw();
  FreeBitmap();
  FImages->Clear();
  FHeader->ColorMap().Clear();
  FHeader->SetWidth(0);
  FHeader->SetHeight(0);
  FHeader->Prepare();
  FPalette.reset();
}

int TGIFImage::Add(std::unique_ptr<TGIFSubImage> Source) {
  if (!Source) Error(gifmsg::UnsupportedClass);
  const int index = FImages->Add(std::move(Source));
  FreeBitmap();
  Changed();
  return index;
}

void TGIFImage::SetWidth(int Value) {
  for (int i = 0; i < FImages->Count(); ++i) {
    TGIFSubImage* frame = FImages->Items(i);
    if (Value < frame->Left() + frame->Width()) Error(gifmsg::BadWidth);
  }
  if (Value == FHeader->Width()) return;
  FHeader->SetWidth(Value);
  FreeBitmap();
  Changed();
}

void TGIFImage::SetHeight(int Value) {
  for (int i = 0; i < FImages->Count(); ++i) {
    TGIFSubImage* frame = FImages->Items(i);
    if (Value < frame->Top() + frame->Height()) Error(gifmsg::BadHeight);
  }
  if (Value == FHeader->Height()) return;
  FHeader->SetHeight(Value);
  FreeBitmap();
  Changed();
}

int TGIFImage::Version() const {
  int version = 0;
  for (int i = 0; i < FImages->Count() && version < 2; ++i) version = std::max(version, FImages->Items(i)->Version());
  return version;
}

int TGIFImage::BitsPerPixel() const {
  int bpp = FHeader->BitsPerPixel();
  // A frame without pixels writes no colour table, so its table must not set
  // the depth: the document would code at another depth once reloaded.
  for (int i = 0; i < FImages->Count(); ++i)
    if (!FImages->Items(i)->Empty()) bpp = std::max(bpp, FImages->Items(i)->BitsPerPixel());
  return bpp;
}

int TGIFImage::ColorResolution() const {
  int resolution = FHeader->ColorResolution();
  for (int i = 0; i < FImages->Count(); ++i)
    if (!FImages->Items(i)->Empty()) resolution = std::max(resolution, FImages->Items(i)->ColorResolution());
  return resolution;
}

bool TGIFImage::UsesFixedPalette() const {
  return (FDrawOptions & doFixedPalette) != 0 && ((FDrawOptions & doPaletteDeviceOnly) == 0 || PaletteDevice);
}

const TPalette* TGIFImage::Palette() {
  // A document without any colours comes back here through frame 0.
  if (FResolvingPalette) Error(gifmsg::NoColorTable);
  struct Guard {
    bool& flag;
    explicit Guard(bool& f) : flag(f) { flag = true; }
    ~Guard() { flag = false; }
  } guard(FResolvingPalette);

  if (FBitmap && !FBitmap->Palette().empty()) {
    FBitmapPalette = std::make_unique<TPalette>(FBitmap->Palette());
    return FBitmapPalette.get();
  }
  if (FPalette) return FPalette.get();
  if (UsesFixedPalette()) {
    FPalette = NetscapePalette();
    return FPalette.get();
  }
  if (FHeader->ColorMap().Count() > 0) {
    FPalette = FHeader->ColorMap().ExportPalette();
    return FPalette.get();
  }
  if (FImages->Count() > 0) return FImages->Items(0)->Palette();
  return nullptr;
}

void TGIFImage::SetPalette(std::unique_ptr<TPalette> Value) {
  if (Value.get() == FPalette.get()) return;
  const bool bitmapDiffers = BitmapPaletteDiffers(FBitmap.get(), Value.get());
  FPalette = std::move(Value);
  if (bitmapDiffers) {
    FreeBitmap();
    FPaletteModified = true;
    Changed();
  }
}

void TGIFImage::FreeBitmap() {
  FBitmap.reset();
  FBitmapPalette.reset();
}

void TGIFImage::Warning(void* Sender, int Severity, const std::string& Message) {
  if (OnWarning) OnWarning(Sender, Severity, Message);
}

void TGIFImage::Changed() {
  if (OnChange) OnChange(this);
}

void TGIFImage::Progress(void* Sender, TProgressStage Stage, int PercentDone, bool RedrawNow,
                         const std::string& Msg) {
  if (OnProgress) OnProgress(Sender, Stage, static_cast<uint8_t>(PercentDone), RedrawNow, Rect(0, 0, 0, 0), Msg);
}

void TGIFImage::SaveToStream(TStream& Stream) {
  // Frames with neither pixels nor extensions write nothing; when that is
  // all there is, the saved file would load with no frames at all.
  bool writesNothing = FImages->Count() > 0;
  for (int i = 0; i < FImages->Count() && writesNothing; ++i)
    writesNothing = FImages->Items(i)->Empty() && FImages->Items(i)->Extensions().Count() == 0;
  if (writesNothing) Error(gifmsg::EmptyImage);
  Progress(this, psStarting, 0, false, gifmsg::ProgressSaving);
  try {
    FHeader->SaveToStream(Stream);
    const int count = FImages->Count();
    for (int i = 0; i < count; ++i) {
      FImages->Items(i)->SaveToStream(Stream);
      Progress(FImages.get(), psRunning, MulDiv(i + 1, 100, count), false, gifmsg::ProgressSaving);
    }
    TGIFTrailer trailer(this);
    trailer.SaveToStream(Stream);
  } catch (...) {
    Progress(this, psEnding, 0, true, gifmsg::ProgressSaving);
    throw;
  }
  Progress(this, psEnding, 100, true, gifmsg::ProgressSaving);
}

void TGIFImage::LoadFromStream(TStream& Stream) {
  Progress(this, psStarting, 0, false, gifmsg::ProgressLoading);
  int64_t start = 0;
  try {
    Clear();
    start = Stream.Position();
    FHeader->LoadFromStream(Stream);
    FImages->LoadFromStream(Stream, this);
    TGIFTrailer trailer(this);
    trailer.LoadFromStream(Stream);
  } catch (...) {
    try {
      Stream.SetPosition(start);
    } catch (...) {
    }
    Progress(this, psEnding, 0, true, gifmsg::ProgressLoading);
    throw;
  }
  Progress(this, psEnding, 100, true, gifmsg::ProgressLoading);
  Changed();
}

void TGIFImageList::LoadFromStream(TStream& Stream, TGIFImage* Parent) {
  // Zero bytes between blocks are skipped silently.
  auto readBlockStart = [&Stream](uint8_t& b) {
    do {
      if (!TryReadByte(Stream, b)) return false;
    } while (b == 0);
    return true;
  };
  uint8_t b;
  if (!readBlockStart(b)) return;
  while (b != 0x3B) {
    Stream.Seek(-1, soCurrent);
    if (b != 0x21 && b != 0x2C) {
      Warning(1, gifmsg::UnknownBlockType);
      return;
    }
    auto frame = std::make_unique<TGIFSubImage>(Parent);
    frame->LoadFromStream(Stream);
    Add(std::move(frame));
    if (Parent != nullptr) {
      const int64_t size = Stream.Size();
      // Rounded, as MulDiv would, but on 64-bit positions.
      const int percent = size > 0 ? static_cast<int>((Stream.Position() * 200 + size) / (2 * size)) : 100;
      Parent->Progress(this, psRunning, percent, RenderOnLoad, gifmsg::ProgressLoading);
    }
    if (!readBlockStart(b)) return;
  }
  // The trailer is read next.
  Stream.Seek(-1, soCurrent);
}

void TGIFImage::SaveToFile(const std::string& FileName) {
  WriteFileAtomically(FileName, [this](TStream& s) { SaveToStream(s); });
}

void TGIFImage::LoadFromFile(const std::string& FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

void TGIFImage::Assign(const TGIFImage* Source) {
  if (Source == this) return;
  Clear();
  if (Source == nullptr) return;
  FHeader->Assign(Source->Header());
  FThreadPriority = Source->FThreadPriority;
  FBackgroundColor = Source->FBackgroundColor;
  FDrawOptions = Source->FDrawOptions;
  FColorReduction = Source->FColorReduction;
  FDitherMode = Source->FDitherMode;

  // The source's handlers report the copy; ours come back afterwards.
  TProgressEvent savedProgress = std::move(OnProgress);
  TGIFWarning savedWarning = std::move(OnWarning);
  OnProgress = Source->OnProgress;
  OnWarning = Source->OnWarning;
  auto restore = [&] {
    OnProgress = std::move(savedProgress);
    OnWarning = std::move(savedWarning);
  };
  Progress(this, psStarting, 0, false, gifmsg::ProgressCopying);
  try {
    const int count = Source->Images().Count();
    for (int i = 0; i < count; ++i) {
      auto frame = std::make_unique<TGIFSubImage>(this);
      frame->Assign(Source->Images().Items(i));
      Add(std::move(frame));
      Progress(this, psRunning, MulDiv(i + 1, 100, count), false, gifmsg::ProgressCopying);
    }
  } catch (...) {
    Progress(this, psEnding, 0, false, gifmsg::ProgressCopying);
    restore();
    throw;
  }
  Progress(this, psEnding, 100, false, gifmsg::ProgressCopying);
  restore();
}
