// Octree colour quantizer: reads a true-colour bitmap once, keeps a tree of
// colour cells one level per channel bit, and whenever it holds more leaves
// than allowed merges the most recently created inner node of the deepest
// level into one leaf. Each leaf gives one palette colour, the (rounded down)
// average of the pixels that reached it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "gif/color/DIB.h"
#include "platform/Graphics.h"

class TOctreeNode {
 public:
  explicit TOctreeNode(bool leaf) : Leaf(leaf) {}
  ~TOctreeNode();  // children 7 down to 0, then the node
  TOctreeNode(const TOctreeNode&) = delete;
  TOctreeNode& operator=(const TOctreeNode&) = delete;

  bool Leaf;
  int32_t PixelCount = 0;
  int32_t SumRed = 0;
  int32_t SumGreen = 0;
  int32_t SumBlue = 0;
  TOctreeNode* NextReducible = nullptr;         // not owning
  std::array<std::unique_ptr<TOctreeNode>, 8> Child;
};

// One colour array entry of the quantizer, laid out as a bitmap colour table.
struct TQuantizedColor {
  uint8_t Blue, Green, Red, Reserved;
};

class TColorQuantizer {
 public:
  // A limit below 1 cannot be met (merging always leaves one leaf) and is
  // taken as 1; the depth is at most 8, one level per channel bit.
  TColorQuantizer(int colorLimit, int treeDepth);
  ~TColorQuantizer();
  TColorQuantizer(const TColorQuantizer&) = delete;
  TColorQuantizer& operator=(const TColorQuantizer&) = delete;

  // Adds every pixel of the reader's 24-bit bitmap, rows top to bottom.
  bool AddImage(TDIB& reader);
  // Adds one colour (the per-pixel step of AddImage).
  void AddColor(uint8_t red, uint8_t green, uint8_t blue);
  // One entry per leaf in tree order from colors[0]; at most capacity entries.
  // Returns the number written.
  int ReadColors(TQuantizedColor* colors, int capacity) const;

  int Leaves() const { return FLeaves; }
  int ColorLimit() const { return FColorLimit; }
  int TreeDepth() const { return FTreeDepth; }
  const TOctreeNode* Root() const { return FRoot.get(); }

 private:
  void InsertColor(std::unique_ptr<TOctreeNode>& slot, uint8_t r, uint8_t g, uint8_t b, int level);
  void MergeDeepest();
  void FreeTree();

  std::unique_ptr<TOctreeNode> FRoot;
  int FLeaves = 0;
  std::array<TOctreeNode*, 8> FReducible{};  // per level, newest first
  int FColorLimit;
  int FTreeDepth;
};

// Palette of the reader's bitmap quantized to `colors` entries (1 to 256).
// With system colours the 20 static system colours take entries 0-9 and
// 246-255, 236 quantized colours sit between, and the palette has 256 entries.
// Entries the tree could not fill are black.
std::unique_ptr<TPalette> OctreePalette(TDIB& reader, int colors, int treeDepth, bool systemColors);
// The same over a bitmap, which is converted in place to 24 bits per pixel.
std::unique_ptr<TPalette> BitmapOctreePalette(TBitmap& bitmap, int colors, int treeDepth,
                                              bool systemColors);
