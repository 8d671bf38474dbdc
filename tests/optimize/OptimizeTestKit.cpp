#include "optimize/OptimizeTestKit.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <sstream>

namespace otest {

TColor ColorOf(const RGB& C) { return RGBColor(C.R, C.G, C.B); }

void SetGlobal(TGIFImage& Doc, const std::vector<RGB>& Colors) {
  Doc.GlobalColorMap().Clear();
  for (const RGB& c : Colors) Doc.GlobalColorMap().Add(ColorOf(c));
}

TGIFSubImage* AddFrame(TGIFImage& Doc, const FrameSpec& Spec) {
  auto frame = std::make_unique<TGIFSubImage>(&Doc);
  TGIFSubImage* f = frame.get();
  f->SetBounds(Spec.Left, Spec.Top, Spec.Width, Spec.Height);
  if (!Spec.Pixels.empty()) std::memcpy(f->Data(), Spec.Pixels.data(), Spec.Pixels.size());
  for (const RGB& c : Spec.Local) f->ColorMap().Add(ColorOf(c));
  Doc.Add(std::move(frame));
  if (Spec.Control || Spec.Transparent >= 0 || Spec.Disposal != 0) {
    auto gce = std::make_unique<TGIFGraphicControlExtension>(f);
    gce->SetDelay(static_cast<uint16_t>(Spec.Delay));
    gce->SetDisposal(static_cast<TDisposalMethod>(Spec.Disposal));
    if (Spec.Transparent >= 0) {
      gce->SetTransparent(true);
      gce->SetTransparentColorIndex(Spec.Transparent);
    }
    f->Extensions().Add(std::move(gce));
  }
  return f;
}

PlainAnimation FromDocument(TGIFImage& Doc) {
  PlainAnimation a;
  a.Width = Doc.Width();
  a.Height = Doc.Height();
  for (int i = 0; i < Doc.GlobalColorMap().Count(); ++i) {
    const TGIFColor& c = Doc.GlobalColorMap().Entry(i);
    a.Global.push_back(RGB{c.Red, c.Green, c.Blue});
  }
  for (int i = 0; i < Doc.Images().Count(); ++i) {
    TGIFSubImage* f = Doc.Images()[i];
    if (f->Empty()) continue;  // shows nothing
    PlainFrame p;
    p.Left = f->Left();
    p.Top = f->Top();
    p.Width = f->Width();
    p.Height = f->Height();
    p.Pixels.assign(f->Data(), f->Data() + f->DataSize());
    TGIFColorMap& map = f->ActiveColorMap();
    for (int k = 0; k < map.Count(); ++k) p.Palette.push_back(RGB{map.Entry(k).Red, map.Entry(k).Green, map.Entry(k).Blue});
    p.Local = f->ColorMap().Count() > 0;
    if (const TGIFGraphicControlExtension* gce = f->GraphicControlExtension()) {
      p.Delay = gce->Delay();
      p.Disposal = gce->Disposal();
      if (f->Transparent()) p.Transparent = gce->TransparentColorIndex();
    }
    a.Frames.push_back(std::move(p));
  }
  return a;
}

namespace {
struct MemoryReader {
  const Bytes* Data;
  size_t Pos;
};
int ReadMemory(GifFileType* gif, GifByteType* buf, int n) {
  auto* r = static_cast<MemoryReader*>(gif->UserData);
  const size_t k = std::min<size_t>(static_cast<size_t>(n), r->Data->size() - r->Pos);
  std::memcpy(buf, r->Data->data() + r->Pos, k);
  r->Pos += k;
  return static_cast<int>(k);
}
std::vector<RGB> TableOf(const ColorMapObject* map) {
  std::vector<RGB> out;
  if (map == nullptr) return out;
  for (int i = 0; i < map->ColorCount; ++i)
    out.push_back(RGB{map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue});
  return out;
}
}  // namespace

bool FromGiflib(const Bytes& File, PlainAnimation& Out, std::string& Error) {
  MemoryReader reader{&File, 0};
  int err = 0;
  GifFileType* gif = DGifOpen(&reader, &ReadMemory, &err);
  if (gif == nullptr) {
    Error = std::string("DGifOpen: ") + GifErrorString(err);
    return false;
  }
  if (DGifSlurp(gif) != GIF_OK) {
    Error = std::string("DGifSlurp: ") + GifErrorString(gif->Error);
    DGifCloseFile(gif, &err);
    return false;
  }
  Out = PlainAnimation{};
  Out.Width = gif->SWidth;
  Out.Height = gif->SHeight;
  Out.Global = TableOf(gif->SColorMap);
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& s = gif->SavedImages[i];
    PlainFrame p;
    p.Left = s.ImageDesc.Left;
    p.Top = s.ImageDesc.Top;
    p.Width = s.ImageDesc.Width;
    p.Height = s.ImageDesc.Height;
    p.Pixels.assign(s.RasterBits, s.RasterBits + static_cast<size_t>(p.Width) * p.Height);
    p.Local = s.ImageDesc.ColorMap != nullptr;
    p.Palette = p.Local ? TableOf(s.ImageDesc.ColorMap) : Out.Global;
    GraphicsControlBlock gcb;
    if (DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK) {
      p.Delay = gcb.DelayTime;
      p.Disposal = gcb.DisposalMode;
      p.Transparent = gcb.TransparentColor;
    }
    Out.Frames.push_back(std::move(p));
  }
  DGifCloseFile(gif, &err);
  return true;
}

void ToDocument(const PlainAnimation& Anim, TGIFImage& Doc) {
  Doc.Clear();
  SetGlobal(Doc, Anim.Global);
  for (const PlainFrame& p : Anim.Frames) {
    FrameSpec s;
    s.Left = p.Left;
    s.Top = p.Top;
    s.Width = p.Width;
    s.Height = p.Height;
    s.Pixels = p.Pixels;
    if (p.Local) s.Local = p.Palette;
    s.Delay = p.Delay;
    s.Disposal = p.Disposal;
    s.Transparent = p.Transparent;
    AddFrame(Doc, s);
  }
  if (Doc.Width() < Anim.Width) Doc.SetWidth(Anim.Width);
  if (Doc.Height() < Anim.Height) Doc.SetHeight(Anim.Height);
}

std::vector<Shown> Play(const PlainAnimation& Anim) {
  const int w = Anim.Width, h = Anim.Height;
  Picture screen(static_cast<size_t>(w) * h, 0);
  std::vector<Shown> out;
  for (const PlainFrame& f : Anim.Frames) {
    const Picture before = screen;
    for (int y = 0; y < f.Height; ++y) {
      const int sy = f.Top + y;
      if (sy >= h) break;
      for (int x = 0; x < f.Width; ++x) {
        const int sx = f.Left + x;
        if (sx >= w) break;
        const int index = f.Pixels[static_cast<size_t>(y) * f.Width + x];
        if (index == f.Transparent) continue;
        uint32_t value = 0xFE000000u | static_cast<uint32_t>(index);  // outside the table: marked, not guessed
        if (index < static_cast<int>(f.Palette.size())) {
          const RGB& c = f.Palette[static_cast<size_t>(index)];
          value = 0xFF000000u | (uint32_t{c.R} << 16) | (uint32_t{c.G} << 8) | c.B;
        }
        screen[static_cast<size_t>(sy) * w + sx] = value;
      }
    }
    if (!out.empty() && out.back().Screen == screen)
      out.back().Time += f.Delay;
    else
      out.push_back(Shown{screen, f.Delay});
    if (f.Disposal == 2) {
      for (int y = f.Top; y < std::min(h, f.Top + f.Height); ++y)
        for (int x = f.Left; x < std::min(w, f.Left + f.Width); ++x) screen[static_cast<size_t>(y) * w + x] = 0;
    } else if (f.Disposal == 3) {
      screen = before;
    }
  }
  return out;
}

std::string CompareTimelines(const std::vector<Shown>& Want, const std::vector<Shown>& Have) {
  std::ostringstream s;
  if (Want.size() != Have.size()) {
    s << "have " << Have.size() << " distinct pictures, want " << Want.size();
    return s.str();
  }
  for (size_t i = 0; i < Want.size(); ++i) {
    if (Want[i].Screen != Have[i].Screen) {
      size_t k = 0;
      while (Want[i].Screen[k] == Have[i].Screen[k]) ++k;
      s << "picture " << i << " differs at pixel " << k << ": have " << std::hex << Have[i].Screen[k] << ", want "
        << Want[i].Screen[k];
      return s.str();
    }
    // A single picture stays for ever: its time says nothing.
    if (Want.size() > 1 && Want[i].Time != Have[i].Time) {
      s << "picture " << i << " shown for " << Have[i].Time << ", want " << Want[i].Time;
      return s.str();
    }
  }
  return "";
}

Bytes SaveToBytes(TGIFImage& Doc) {
  TMemoryStream ms;
  Doc.SaveToStream(ms);
  const auto* p = static_cast<const uint8_t*>(ms.Memory());
  return Bytes(p, p + ms.Size());
}

void GenerateAnimation(std::mt19937& Rng, TGIFImage& Doc, int MaxColors) {
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(Rng); };
  auto chance = [&](int percent) { return uniform(0, 99) < percent; };
  auto randomColor = [&] {
    return RGB{static_cast<uint8_t>(uniform(0, 255)), static_cast<uint8_t>(uniform(0, 255)),
               static_cast<uint8_t>(uniform(0, 255))};
  };

  Doc.Clear();
  const int w = uniform(4, 40), h = uniform(3, 30);
  const int k = uniform(2, std::max(2, std::min(MaxColors, 12)));
  std::vector<RGB> colors;
  for (int i = 0; i < k; ++i) colors.push_back(randomColor());
  // Sometimes the same colour twice: tables then hold duplicates.
  if (k > 2 && chance(40)) colors[1] = colors[0];

  // Background of blocks over the colours: large repeated areas.
  std::vector<int> background(static_cast<size_t>(w) * h);
  const int bs = uniform(2, 6);
  std::vector<int> blocks(static_cast<size_t>((w / bs + 1) * (h / bs + 1)));
  for (int& b : blocks) b = uniform(0, k - 1);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) background[static_cast<size_t>(y) * w + x] = blocks[static_cast<size_t>((y / bs) * (w / bs + 1) + x / bs)];

  // Tables: a permutation of the colours, then spare entries for transparency.
  auto makeTable = [&](int spare, bool full) {
    std::vector<RGB> t = colors;
    std::shuffle(t.begin(), t.end(), Rng);
    for (int i = 0; i < spare; ++i) t.push_back(randomColor());
    if (full)
      while (t.size() < 256) t.push_back(randomColor());
    return t;
  };
  auto indexOf = [&](const std::vector<RGB>& table, int color) {
    // Any entry of that colour among the real ones, chosen at random.
    std::vector<int> found;
    for (int i = 0; i < k; ++i)
      if (table[static_cast<size_t>(i)] == colors[static_cast<size_t>(color)]) found.push_back(i);
    return found[static_cast<size_t>(uniform(0, static_cast<int>(found.size()) - 1))];
  };

  const bool useGlobal = chance(60);
  std::vector<RGB> global;
  if (useGlobal) {
    global = makeTable(2, false);
    SetGlobal(Doc, global);
  }

  const int frames = uniform(2, 7);
  const int blockW = uniform(1, std::max(1, w / 2)), blockH = uniform(1, std::max(1, h / 2));
  const int blockColor = uniform(0, k - 1);
  for (int c = 0; c < frames; ++c) {
    // The scene at time c: the background with a block that moves.
    std::vector<int> scene = background;
    const int bx = (c * uniform(0, 3)) % std::max(1, w - blockW + 1);
    const int by = (c * uniform(0, 2)) % std::max(1, h - blockH + 1);
    for (int y = by; y < std::min(h, by + blockH); ++y)
      for (int x = bx; x < std::min(w, bx + blockW); ++x) scene[static_cast<size_t>(y) * w + x] = blockColor;
    if (chance(30)) scene[static_cast<size_t>(uniform(0, w * h - 1))] = uniform(0, k - 1);

    FrameSpec s;
    if (c == 0 || chance(50)) {
      s.Width = w;
      s.Height = h;
    } else {
      s.Left = uniform(0, w - 1);
      s.Top = uniform(0, h - 1);
      s.Width = uniform(1, w - s.Left);
      s.Height = uniform(1, h - s.Top);
    }
    const bool local = !useGlobal || chance(40);
    std::vector<RGB> table;
    if (local) {
      table = makeTable(1, chance(20));
      s.Local = table;
    } else {
      table = global;
    }
    const bool transparent = chance(40);
    // Mostly a spare entry; sometimes a real colour, which other frames on
    // the same table then show as an opaque colour.
    if (transparent)
      s.Transparent = chance(70) ? uniform(k, static_cast<int>(table.size()) - 1) : uniform(0, k - 1);
    s.Disposal = chance(50) ? 0 : uniform(0, 3);
    s.Delay = uniform(0, 30);
    s.Control = transparent || s.Disposal != 0 || chance(70);
    // Which pixels are left out when the frame is transparent.
    const int holeMode = uniform(0, 2);
    for (int y = 0; y < s.Height; ++y) {
      for (int x = 0; x < s.Width; ++x) {
        int v = indexOf(table, scene[static_cast<size_t>(s.Top + y) * w + s.Left + x]);
        if (transparent) {
          const bool hole = holeMode == 0 ? chance(30) : holeMode == 1 ? (x < s.Width / 3 || y < s.Height / 4) : true;
          if (hole) v = s.Transparent;
        }
        s.Pixels.push_back(static_cast<uint8_t>(v));
      }
    }
    AddFrame(Doc, s);
  }
}

}  // namespace otest
