// TFont value handling. Rendering lives in Text.cpp.
#include "platform/Font.h"

#include "platform/SysUtils.h"

namespace {
constexpr int kPixelsPerInch = 96;
}

TFont::TFont(const TFont& other)
    : FName(other.FName),
      FHeight(other.FHeight),
      FColor(other.FColor),
      FStyle(other.FStyle),
      FCharset(other.FCharset) {
  // OnChange belongs to the owner of each font, so a copy starts without one.
}

TFont& TFont::operator=(const TFont& other) {
  Assign(other);
  return *this;
}

void TFont::Changed() {
  if (OnChange) OnChange();
}

void TFont::SetName(const std::string& value) {
  if (value.empty() || value == FName) return;
  FName = value;
  Changed();
}

void TFont::SetHeight(int value) {
  if (value == FHeight) return;
  FHeight = value;
  Changed();
}

int TFont::Size() const { return -MulDiv(FHeight, 72, kPixelsPerInch); }

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, kPixelsPerInch, 72)); }

void TFont::SetColor(TColor value) {
  if (value == FColor) return;
  FColor = value;
  Changed();
}

void TFont::SetStyle(TFontStyles value) {
  value &= (1u << fsBold) | (1u << fsItalic) | (1u << fsUnderline) | (1u << fsStrikeOut);
  if (value == FStyle) return;
  FStyle = value;
  Changed();
}

void TFont::SetCharset(TFontCharset value) {
  if (value == FCharset) return;
  FCharset = value;
  Changed();
}

void TFont::Assign(const TFont& source) {
  if (&source == this) return;
  const bool same = FName == source.FName && FHeight == source.FHeight &&
                    FColor == source.FColor && FStyle == source.FStyle &&
                    FCharset == source.FCharset;
  if (same) return;
  FName = source.FName;
  FHeight = source.FHeight;
  FColor = source.FColor;
  FStyle = source.FStyle;
  FCharset = source.FCharset;
  Changed();
}
