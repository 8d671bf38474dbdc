#include "gif/color/Octree.h"

#include <algorithm>
#include <vector>

#include "gif/color/FixedPalettes.h"

TOctreeNode::~TOctreeNode() {
  for (int i = 7; i >= 0; --i) Child[i].reset();
}

TColorQuantizer::TColorQuantizer(int colorLimit, int treeDepth)
    : FColorLimit(std::max(colorLimit, 1)), FTreeDepth(std::clamp(treeDepth, 0, 8)) {}

TColorQuantizer::~TColorQuantizer() { FreeTree(); }

void TColorQuantizer::FreeTree() {
  FRoot.reset();
  FReducible.fill(nullptr);
  FLeaves = 0;
}

bool TColorQuantizer::AddImage(TDIB& reader) {
  TBitmap& bitmap = reader.Bitmap();
  const int width = bitmap.Width(), height = bitmap.Height();
  for (int y = 0; y < height; ++y) {
    const uint8_t* p = reader.Scanline(y);
    for (int x = 0; x < width; ++x, p += 3) AddColor(p[2], p[1], p[0]);
  }
  return true;
}

void TColorQuantizer::AddColor(uint8_t red, uint8_t green, uint8_t blue) {
  InsertColor(FRoot, red, green, blue, 0);
  while (FLeaves > FColorLimit) MergeDeepest();
}

void TColorQuantizer::InsertColor(std::unique_ptr<TOctreeNode>& slot, uint8_t r, uint8_t g, uint8_t b,
                                  int level) {
  std::unique_ptr<TOctreeNode>* at = &slot;
  for (;; ++level) {
    if (!*at) {
      *at = std::make_unique<TOctreeNode>(level == FTreeDepth);
      TOctreeNode* node = at->get();
      if (node->Leaf) {
        ++FLeaves;
      } else {
        node->NextReducible = FReducible[level];
        FReducible[level] = node;
      }
    }
    TOctreeNode* node = at->get();
    if (node->Leaf) {
      node->PixelCount += 1;
      node->SumRed += r;
      node->SumGreen += g;
      node->SumBlue += b;
      return;
    }
    const int m = 0x80 >> level, s = 7 - level;
    const int index = (((r & m) >> s) << 2) | (((g & m) >> s) << 1) | ((b & m) >> s);
    at = &node->Child[index];
  }
}

void TColorQuantizer::MergeDeepest() {
  int l = FTreeDepth - 1;
  while (l > 0 && !FReducible[l]) --l;
  if (l < 0 || !FReducible[l]) return;  // nothing left to merge (a single leaf)
  TOctreeNode* node = FReducible[l];
  FReducible[l] = node->NextReducible;
  node->NextReducible = nullptr;

  int32_t red = 0, green = 0, blue = 0;
  int children = 0;
  for (auto& child : node->Child) {
    if (!child) continue;
    node->PixelCount += child->PixelCount;
    red += child->SumRed;
    green += child->SumGreen;
    blue += child->SumBlue;
    child.reset();
    ++children;
  }
  node->Leaf = true;
  node->SumRed = red;
  node->SumGreen = green;
  node->SumBlue = blue;
  FLeaves -= children - 1;
}

int TColorQuantizer::ReadColors(TQuantizedColor* colors, int capacity) const {
  int n = 0;
  // Depth-first, children in index order: colours come out ordered by their
  // interleaved bits (red, green, blue of each level) from the top.
  auto walk = [&](auto&& self, const TOctreeNode* node) -> void {
    if (!node || n >= capacity) return;
    if (node->Leaf) {
      TQuantizedColor& c = colors[n++];
      if (node->PixelCount > 0) {
        c.Red = static_cast<uint8_t>(node->SumRed / node->PixelCount);
        c.Green = static_cast<uint8_t>(node->SumGreen / node->PixelCount);
        c.Blue = static_cast<uint8_t>(node->SumBlue / node->PixelCount);
      } else {
        c.Red = c.Green = c.Blue = 0;
      }
      c.Reserved = 0;
      return;
    }
    for (const auto& child : node->Child) self(self, child.get());
  };
  walk(walk, FRoot.get());
  return n;
}

std::unique_ptr<TPalette> OctreePalette(TDIB& reader, int colors, int treeDepth, bool systemColors) {
  int count = std::clamp(colors, 1, 256);
  std::vector<TPaletteEntry> entries(count);  // zero: unfilled entries stay black
  int start = 0;
  if (systemColors) {
    entries.assign(256, TPaletteEntry{0, 0, 0, 0});
    const auto& statics = StaticSystemColors();
    std::copy(statics.begin(), statics.begin() + 10, entries.begin());
    std::copy(statics.begin() + 10, statics.end(), entries.begin() + 246);
    count = 236;
    start = 10;
  }
  std::array<TQuantizedColor, 256> quantized{};
  {
    TColorQuantizer quantizer(count, treeDepth);
    quantizer.AddImage(reader);
    quantizer.ReadColors(quantized.data(), static_cast<int>(quantized.size()));
  }
  for (int i = 0; i < count; ++i) {
    const TQuantizedColor& q = quantized[i];
    entries[start + i] = TPaletteEntry{q.Red, q.Green, q.Blue, 0};
  }
  return MakePalette(std::move(entries));
}

std::unique_ptr<TPalette> BitmapOctreePalette(TBitmap& bitmap, int colors, int treeDepth,
                                              bool systemColors) {
  TDIBReader reader(bitmap, pf24bit);
  return OctreePalette(reader, colors, treeDepth, systemColors);
}
