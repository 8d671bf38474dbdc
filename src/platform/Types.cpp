#include "platform/Types.h"

#include <algorithm>
#include <array>

namespace {

// Classic Windows default colours by system colour index (red, green, blue).
constexpr std::array<uint32_t, 25> kSystemColors = {
    0xC0C0C0,  // 0 scroll bar
    0x808000,  // 1 desktop background (teal)
    0x800000,  // 2 active caption (navy)
    0x808080,  // 3 inactive caption
    0xC0C0C0,  // 4 menu
    0xFFFFFF,  // 5 window
    0x000000,  // 6 window frame
    0x000000,  // 7 menu text
    0x000000,  // 8 window text
    0xFFFFFF,  // 9 caption text
    0xC0C0C0,  // 10 active border
    0xC0C0C0,  // 11 inactive border
    0x808080,  // 12 application work space
    0x800000,  // 13 highlight (navy)
    0xFFFFFF,  // 14 highlight text
    0xC0C0C0,  // 15 button face
    0x808080,  // 16 button shadow
    0x808080,  // 17 grey text
    0x000000,  // 18 button text
    0xC0C0C0,  // 19 inactive caption text
    0xFFFFFF,  // 20 button highlight
    0x000000,  // 21 3D dark shadow
    0xC0C0C0,  // 22 3D light
    0x000000,  // 23 tooltip text
    0xE1FFFF,  // 24 tooltip background (255, 255, 225)
};

}  // namespace

TColor ColorToRGB(TColor color) {
  if (color >= 0) return color;
  const unsigned index = static_cast<unsigned>(color) & 0xFF;
  // Unknown indices read as black, as GetSysColor gives 0 for them.
  return index < kSystemColors.size() ? static_cast<TColor>(kSystemColors[index]) : clBlack;
}

bool IntersectRect(TRect& dst, const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
  if (r.Right <= r.Left || r.Bottom <= r.Top) {
    dst = TRect{};
    return false;
  }
  dst = r;
  return true;
}

void OffsetRect(TRect& r, int dx, int dy) {
  r.Left += dx;
  r.Right += dx;
  r.Top += dy;
  r.Bottom += dy;
}
