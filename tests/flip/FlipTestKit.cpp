#include "FlipTestKit.h"

#include <sstream>

void TagRows(TBitmap& bm, int image) {
  for (int y = 0; y < bm.Height(); ++y)
    for (int x = 0; x < bm.Width(); ++x)
      bm.SetPixelColor(x, y, RGBColor(static_cast<uint8_t>(y & 0xFF), static_cast<uint8_t>(y >> 8),
                                      static_cast<uint8_t>(image)));
}

std::vector<RowTag> ReadTags(const TBitmap& bm) {
  std::vector<RowTag> tags;
  for (int y = 0; y < bm.Height(); ++y) {
    const TColor c = bm.GetPixelColor(0, y);
    RowTag tag{GetBValue(c), GetRValue(c) | (GetGValue(c) << 8)};
    for (int x = 1; x < bm.Width(); ++x)
      if (bm.GetPixelColor(x, y) != c) tag.Image = -1;
    tags.push_back(tag);
  }
  return tags;
}

std::string PixelDiff(const TBitmap& a, const TBitmap& b) {
  std::ostringstream out;
  if (a.Width() != b.Width() || a.Height() != b.Height()) {
    out << "size " << a.Width() << "x" << a.Height() << " vs " << b.Width() << "x" << b.Height();
    return out.str();
  }
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.GetPixelColor(x, y) != b.GetPixelColor(x, y)) {
        out << "pixel (" << x << ", " << y << "): " << std::hex << a.GetPixelColor(x, y) << " vs "
            << b.GetPixelColor(x, y);
        return out.str();
      }
  return "";
}

std::vector<int> InkedRows(const TBitmap& bm, TColor back) {
  std::vector<int> rows;
  const TColor rgb = ColorToRGB(back);
  for (int y = 0; y < bm.Height(); ++y)
    for (int x = 0; x < bm.Width(); ++x)
      if (bm.GetPixelColor(x, y) != rgb) {
        rows.push_back(y);
        break;
      }
  return rows;
}

std::vector<int> InkedColumns(const TBitmap& bm, TColor back) {
  std::vector<int> cols;
  const TColor rgb = ColorToRGB(back);
  for (int x = 0; x < bm.Width(); ++x)
    for (int y = 0; y < bm.Height(); ++y)
      if (bm.GetPixelColor(x, y) != rgb) {
        cols.push_back(x);
        break;
      }
  return cols;
}
