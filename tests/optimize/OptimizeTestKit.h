// Helpers of the optimisation tests: frames built by hand, a reference
// compositor that plays an animation by the GIF rules (disposal 0..3,
// transparency, a transparent screen to start with and for "restore to
// background"), giflib as an independent reader of what we save, and a
// generator of random animations whose pictures the optimisers must keep.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "gif/GIFImage.h"

namespace otest {

using Bytes = std::vector<uint8_t>;

struct RGB {
  uint8_t R, G, B;
  friend bool operator==(const RGB&, const RGB&) = default;
};

// Adds a frame to Doc: bounds, pixels (row by row), a local table (empty =
// use the global one) and, when Delay/Disposal/Transparent say so, a graphic
// control extension. Returns the frame.
struct FrameSpec {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  std::vector<uint8_t> Pixels{};
  std::vector<RGB> Local{};
  bool Control = true;  // give it a graphic control extension
  int Delay = 10;
  int Disposal = 0;
  int Transparent = -1;  // transparent colour index, -1 none
};
TGIFSubImage* AddFrame(TGIFImage& Doc, const FrameSpec& Spec);
void SetGlobal(TGIFImage& Doc, const std::vector<RGB>& Colors);
TColor ColorOf(const RGB& C);

// A neutral description of an animation, made from our document or from
// giflib's reading of a file.
struct PlainFrame {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  std::vector<uint8_t> Pixels{};
  std::vector<RGB> Palette;  // the table the frame uses
  bool Local = false;        // it is the frame's own table
  int Transparent = -1;
  int Disposal = 0;
  int Delay = 0;
};
struct PlainAnimation {
  int Width = 0, Height = 0;
  std::vector<RGB> Global;
  std::vector<PlainFrame> Frames;
};
PlainAnimation FromDocument(TGIFImage& Doc);
// Reads a GIF file image with giflib; Error gets giflib's complaint.
bool FromGiflib(const Bytes& File, PlainAnimation& Out, std::string& Error);
// Builds our document from giflib's reading of a file (for inputs our own
// reader should not be needed for).
void ToDocument(const PlainAnimation& Anim, TGIFImage& Doc);

// One picture of the screen: 0 is transparent, else 0xFF000000 | rgb.
using Picture = std::vector<uint32_t>;
struct Shown {
  Picture Screen;
  int Time = 0;  // hundredths of a second
};
// Every picture the animation shows, in order, consecutive equal pictures
// joined (their times added).
std::vector<Shown> Play(const PlainAnimation& Anim);
// "" when the two timelines are the same, else where they differ.
std::string CompareTimelines(const std::vector<Shown>& Want, const std::vector<Shown>& Have);

Bytes SaveToBytes(TGIFImage& Doc);

// A random animation: moving blocks over a background, repeated areas,
// transparent frames, local and global tables, disposals 0 to 3. At most
// MaxColors distinct colours in all, so a shared table holds them all.
void GenerateAnimation(std::mt19937& Rng, TGIFImage& Doc, int MaxColors = 40);

// Collects warnings of a document.
struct WarningLog {
  std::vector<std::string> Messages;
  void Attach(TGIFImage& Doc) {
    Doc.OnWarning = [this](void*, int, const std::string& m) { Messages.push_back(m); };
  }
};

}  // namespace otest
