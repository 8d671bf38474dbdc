// Frame optimisation: pixels that repeat what the frame beneath already shows
// become transparent (merge), transparent borders are trimmed and frames that
// end up showing nothing are dropped (crop), and colour tables, extensions and
// graphic control blocks can be tidied (cleanup, colour maps). None of it
// changes the pictures the animation shows or how long it plays.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <mutex>

#include "gif/GIFImage.h"

namespace {

TDisposalMethod DisposalOf(const TGIFSubImage* Frame) {
  const TGIFGraphicControlExtension* gce = Frame->GraphicControlExtension();
  return gce != nullptr ? gce->Disposal() : dmNone;
}

// The frame's transparent colour index, or -1 when it has none.
int TransparentIndexOf(const TGIFSubImage* Frame) {
  if (!Frame->Transparent() || Frame->GraphicControlExtension() == nullptr) return -1;
  return Frame->GraphicControlExtension()->TransparentColorIndex();
}

// A pixel buffer that holds every pixel of the frame's rectangle.
bool HasWholeBuffer(const TGIFSubImage* Frame) {
  return Frame->Data() != nullptr && int64_t{Frame->Width()} * Frame->Height() <= Frame->DataSize();
}

int32_t ColorKey(const TGIFColor& C) { return C.Red | (C.Green << 8) | (C.Blue << 16); }

bool SameRect(const TRect& A, const TRect& B) {
  return A.Left == B.Left && A.Top == B.Top && A.Right == B.Right && A.Bottom == B.Bottom;
}

// True when every pixel of the frame equals Index.
bool AllPixelsAre(const TGIFSubImage* Frame, uint8_t Index) {
  const uint8_t* p = Frame->Data();
  const int n = Frame->DataSize();
  for (int i = 0; i < n; ++i)
    if (p[i] != Index) return false;
  return true;
}

bool FrameUsesIndex(const TGIFSubImage* Frame, uint8_t Index) {
  const uint8_t* p = Frame->Data();
  if (p == nullptr) return false;
  return std::memchr(p, Index, static_cast<size_t>(Frame->DataSize())) != nullptr;
}

TGIFGraphicControlExtension& EnsureGraphicControl(TGIFSubImage* Frame) {
  if (Frame->GraphicControlExtension() == nullptr) {
    auto gce = std::make_unique<TGIFGraphicControlExtension>(Frame);
    Frame->Extensions().Add(std::move(gce));
  }
  return *Frame->GraphicControlExtension();
}

// Shrinks a transparent frame that shows nothing to its top-left pixel, so it
// keeps its place, its extensions (delay, looping block) and its disposal.
void ShrinkToOnePixel(TGIFSubImage* Frame) {
  const uint8_t t = Frame->GraphicControlExtension()->TransparentColorIndex();
  Frame->SetBounds(Frame->Left(), Frame->Top(), 1, 1);
  Frame->Data()[0] = t;
  Frame->FreeBitmap();
  Frame->FreeMask();
}

}  // namespace

bool TGIFSubImage::CanAddColor() {
  if (FColorMap->Count() > 0) return FColorMap->Count() < 256;
  if (FImage != nullptr && FImage->GlobalColorMap().Count() > 0) return FImage->GlobalColorMap().Count() < 256;
  return false;
}

int TGIFSubImage::PickTransparentIndex() {
  if (FColorMap->Count() > 0 || FImage == nullptr) return FColorMap->Add(0);
  // Frames on the global map share one transparent entry. Another frame's
  // entry is only borrowed when this frame shows no pixel of that index:
  // otherwise those pixels, real colours here, would vanish with it.
  const TGIFImageList& frames = FImage->Images();
  for (int i = 0; i < frames.Count(); ++i) {
    const TGIFSubImage* other = frames[i];
    const int index = TransparentIndexOf(other);
    if (other == this || index < 0 || other->ColorMap().Count() > 0) continue;
    if (index >= FImage->GlobalColorMap().Count() || FrameUsesIndex(this, static_cast<uint8_t>(index))) continue;
    return index;
  }
  return FImage->GlobalColorMap().Add(0);
}

void TGIFSubImage::MergeFrame(TGIFSubImage* Below) {
  if (Empty() || Below == nullptr || Below->Empty()) return;
  if (!HasWholeBuffer(this) || !HasWholeBuffer(Below)) return;
  const TDisposalMethod belowDisposal = DisposalOf(Below);
  if (belowDisposal == dmBackground || belowDisposal == dmPrevious) return;

  TRect r;
  if (!IntersectRect(r, Below->BoundsRect(), BoundsRect())) return;

  const bool wasTransparent = TransparentIndexOf(this) >= 0;
  int t = 0;
  bool needIndex = false;
  if (wasTransparent) {
    t = TransparentIndexOf(this);
    // An index outside the table could not be written out again.
    if (t >= ActiveColorMap().Count()) return;
  } else {
    if (!CanAddColor()) return;
    needIndex = true;
  }
  bool chosen = false;

  const int bt = TransparentIndexOf(Below);

  TGIFColorMap& map = ActiveColorMap();
  TGIFColorMap& belowMap = Below->ActiveColorMap();
  const bool sameMap = &map == &belowMap;

  // Pixels match when their entries hold the same colour: each index gets the
  // colour as a number, so one comparison decides. An index outside its map
  // matches only the same index of the same map.
  std::array<int32_t, 256> idF, idB;
  auto buildIds = [&] {
    for (int v = 0; v < 256; ++v) {
      idF[static_cast<size_t>(v)] = v < map.Count() ? ColorKey(map.Entry(v)) : -1 - v;
      idB[static_cast<size_t>(v)] =
          v < belowMap.Count() ? ColorKey(belowMap.Entry(v)) : (sameMap ? -1 - v : -1000 - v);
    }
  };
  buildIds();

  const int span = r.Width();
  for (int y = r.Top; y < r.Bottom; ++y) {
    uint8_t* row = FData.get() + static_cast<int64_t>(y - FTop) * FWidth + (r.Left - FLeft);
    const uint8_t* belowRow =
        Below->Data() + static_cast<int64_t>(y - Below->Top()) * Below->Width() + (r.Left - Below->Left());
    for (int x = 0; x < span; ++x) {
      const int p = row[x];
      if (!needIndex && p == t) continue;
      const int q = belowRow[x];
      if (q == bt) continue;  // bt is -1 when the frame beneath has no transparency
      if (idF[static_cast<size_t>(p)] != idB[static_cast<size_t>(q)]) continue;
      if (needIndex) {
        t = PickTransparentIndex();
        needIndex = false;
        chosen = true;
        buildIds();  // a map may have grown by the new entry
      }
      row[x] = static_cast<uint8_t>(t);
    }
  }

  if (!wasTransparent && chosen) {
    TGIFGraphicControlExtension& gce = EnsureGraphicControl(this);
    gce.SetTransparent(true);
    gce.SetTransparentColorIndex(t);
  }
  FreeBitmap();
  FreeMask();
}

void TGIFSubImage::CropFrame() {
  if (Empty() || TransparentIndexOf(this) < 0 || !HasWholeBuffer(this)) return;
  const uint8_t t = static_cast<uint8_t>(TransparentIndexOf(this));
  const int w = FWidth;
  const uint8_t* data = FData.get();
  // The smallest rectangle holding every pixel that is not transparent: the
  // first and last such column over all rows, then the first and last row.
  // One pass row by row finds the same as scanning columns, in memory order.
  int l = FWidth, rt = -1, tp = FHeight, bt = -1;
  for (int y = 0; y < FHeight; ++y) {
    const uint8_t* row = data + static_cast<int64_t>(y) * w;
    int first = 0;
    while (first < w && row[first] == t) ++first;
    if (first == w) continue;
    int last = w - 1;
    while (row[last] == t) --last;
    l = std::min(l, first);
    rt = std::max(rt, last);
    if (tp == FHeight) tp = y;
    bt = y;
  }
  if (l > rt || tp > bt) {
    Clear();
    return;
  }
  if (l == 0 && tp == 0 && rt == FWidth - 1 && bt == FHeight - 1) return;

  const int nw = rt - l + 1;
  const int nh = bt - tp + 1;
  auto cropped = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(nw) * nh);
  for (int y = 0; y < nh; ++y)
    std::memcpy(cropped.get() + static_cast<int64_t>(y) * nw, data + static_cast<int64_t>(tp + y) * w + l,
                static_cast<size_t>(nw));
  FData = std::move(cropped);
  FDataSize = nw * nh;
  // The descriptor changes in place: the screen and the buffer stay as they are.
  FLeft = static_cast<uint16_t>(FLeft + l);
  FTop = static_cast<uint16_t>(FTop + tp);
  FWidth = static_cast<uint16_t>(nw);
  FHeight = static_cast<uint16_t>(nh);
  FreeBitmap();
  FreeMask();
}

void TGIFImage::Optimize(TGIFOptimizeOptions Options, TColorReduction ReductionMethod, TDitherMode /*DitherMode*/,
                         int /*ReductionBits*/) {
  if (Empty()) return;
  std::lock_guard<std::recursive_mutex> lock(PainterLock());
  StopDraw();

  const std::string msg = gifmsg::ProgressOptimizing;
  Progress(this, psStarting, 0, false, msg);
  const int total = 6 * FImages->Count();
  int done = 0;
  auto report = [&] { Progress(this, psRunning, MulDiv(done, 100, total), false, msg); };

  try {
    TGIFImageList& frames = *FImages;

    if (Options & foColorMaps) {
      if (GlobalColorMap().Count() > 0) GlobalColorMap().Optimize();
      for (int i = 0; i < frames.Count(); ++i) {
        ++done;
        if (frames[i]->ColorMap().Count() > 0) {
          frames[i]->ColorMap().Optimize();
          report();
        }
      }
      // A transparent index that no pixel used was dropped with the unused
      // colours; the frame shows the same without it, and keeping it would
      // leave an index outside the table for a later merge to write.
      for (int i = 0; i < frames.Count(); ++i) {
        TGIFSubImage* frame = frames[i];
        if (TransparentIndexOf(frame) >= frame->ActiveColorMap().Count())
          frame->GraphicControlExtension()->SetTransparent(false);
      }
    }

    if (Options & foCleanup) {
      // Transparency that no pixel uses.
      for (int i = 0; i < frames.Count(); ++i) {
        ++done;
        TGIFSubImage* frame = frames[i];
        if (TransparentIndexOf(frame) >= 0) {
          if (!FrameUsesIndex(frame, static_cast<uint8_t>(TransparentIndexOf(frame)))) {
            frame->GraphicControlExtension()->SetTransparent(false);
            report();
          }
        }
      }
      // Disposal that the next frame hides completely. Not when that next
      // frame restores to previous: it would bring this frame back instead of
      // what its disposal left.
      for (int i = 0; i + 1 < frames.Count(); ++i) {
        ++done;
        TGIFSubImage* frame = frames[i];
        TGIFSubImage* next = frames[i + 1];
        const TDisposalMethod disposal = DisposalOf(frame);
        if (frame->GraphicControlExtension() == nullptr || (disposal != dmBackground && disposal != dmPrevious))
          continue;
        if (next->Transparent()) continue;
        TRect r;
        if (!IntersectRect(r, frame->BoundsRect(), next->BoundsRect())) continue;
        if (SameRect(r, frame->BoundsRect()) && DisposalOf(next) != dmPrevious)
          frame->GraphicControlExtension()->SetDisposal(dmNone);
        report();
      }
    } else {
      done += 2 * frames.Count();
    }

    if (Options & foMerge) {
      // Last to first: every frame meets the unmerged pixels beneath it.
      for (int c = frames.Count() - 1; c > 0; --c) {
        ++done;
        int b = c - 1;
        while (b > 0 && DisposalOf(frames[b]) == dmPrevious) --b;
        frames[c]->MergeFrame(frames[b]);
        report();
      }
    } else {
      done += frames.Count();
    }

    if (Options & foCrop) {
      for (int c = frames.Count() - 1; c >= 0; --c) {
        ++done;
        TGIFSubImage* frame = frames[c];
        if (frame->Empty() || TransparentIndexOf(frame) < 0) continue;
        // Restoring to background clears the frame's whole rectangle when it
        // ends; a smaller rectangle would leave pixels that should go.
        if (DisposalOf(frame) == dmBackground) {
          report();
          continue;
        }
        if (AllPixelsAre(frame, static_cast<uint8_t>(TransparentIndexOf(frame)))) {
          // Nothing to show. The frame goes and its time goes to the frame
          // before, which stays on screen meanwhile - unless that one is
          // disposed of when it ends (the screen then changes during this
          // frame's time) or there is none (the first frame carries the
          // looping block): then a one-pixel transparent frame keeps the place.
          TGIFSubImage* previous = c > 0 ? frames[c - 1] : nullptr;
          const TDisposalMethod prevDisposal = previous != nullptr ? DisposalOf(previous) : dmNone;
          if (previous == nullptr || prevDisposal == dmBackground || prevDisposal == dmPrevious) {
            ShrinkToOnePixel(frame);
          } else {
            const int delay = frame->GraphicControlExtension()->Delay();
            TGIFGraphicControlExtension& gce = EnsureGraphicControl(previous);
            gce.SetDelay(static_cast<uint16_t>(std::min(gce.Delay() + delay, 0xFFFF)));
            frame->CropFrame();
            frames.Delete(c);
          }
        } else {
          frame->CropFrame();
        }
        report();
      }
    } else {
      done += frames.Count();
    }

    done += frames.Count();

    if (Options & foCleanup) {
      for (int n = frames.Count() - 1; n >= 0; --n) {
        TGIFSubImage* frame = frames[n];
        TGIFExtensionList& extensions = frame->Extensions();
        for (int e = extensions.Count() - 1; e >= 0; --e) {
          TGIFExtension* ext = extensions[e];
          const TGIFExtensionClass* cls = &ext->ClassType();
          bool drop = cls == &TGIFCommentExtension::Class || cls == &TGIFTextExtension::Class ||
                      cls == &TGIFUnknownAppExtension::Class;
          if (cls == &TGIFAppExtNSLoop::Class) drop = n > 0 || frames.Count() == 1;
          if (drop) extensions.Delete(e);
        }
        if (TGIFGraphicControlExtension* gce = frame->GraphicControlExtension()) {
          const bool single = frames.Count() == 1;
          if ((gce->Delay() == 0 || single) && !gce->Transparent() && !gce->UserInput() &&
              (gce->Disposal() < dmBackground || single))
            delete gce;
        }
        if (frame->Empty() && extensions.Count() == 0) delete frame;
      }
      report();
    } else if ((Options & foReduceColors) && ReductionMethod == ReducePalette) {
      // Reduction to a caller's palette needs that palette, which this call
      // cannot be given.
      Error(gifmsg::InvalidReduction);
    }
  } catch (...) {
    Progress(this, psEnding, 0, false, msg);
    throw;
  }
  Progress(this, psEnding, 100, false, msg);
}
