// TFont: the description of a typeface that a canvas draws text with.
// It only holds values (name, pixel height, colour, style, character set) and
// tells its owner through OnChange when one of them changes; finding the face
// and rendering glyphs happen in the text code behind TCanvas (Text.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/Types.h"

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
// Bit set of TFontStyle values: (1u << fsBold) | (1u << fsItalic) ...
using TFontStyles = unsigned;
using TFontCharset = uint8_t;

constexpr TFontCharset ANSI_CHARSET = 0;
constexpr TFontCharset DEFAULT_CHARSET = 1;

class TFont {
 public:
  TFont() = default;
  TFont(const TFont& other);
  TFont& operator=(const TFont& other);

  // Face name as the user knows it ("Arial"); fontconfig resolves it to an
  // installed face when drawing. An empty name is ignored.
  const std::string& Name() const { return FName; }
  void SetName(const std::string& value);

  // Pixel height: negative = character (em) height, positive = cell height
  // (ascent + descent). Zero means the default height.
  int Height() const { return FHeight; }
  void SetHeight(int value);

  // Points at 96 pixels per inch: Size = -Height * 72 / 96 (rounded);
  // SetSize(s) sets Height = -MulDiv(s, 96, 72).
  int Size() const;
  void SetSize(int points);

  TColor Color() const { return FColor; }
  void SetColor(TColor value);

  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles value);
  bool HasStyle(TFontStyle s) const { return (FStyle & (1u << s)) != 0; }

  // Kept for the flip file and dialogs; glyph lookup is by Unicode anyway.
  TFontCharset Charset() const { return FCharset; }
  void SetCharset(TFontCharset value);

  // Copies every value and calls OnChange once when anything differed.
  void Assign(const TFont& source);

  // Called after every change of a value (not when a setter repeats it).
  std::function<void()> OnChange;

 private:
  void Changed();

  std::string FName = "Arial";
  int FHeight = -11;  // 8 points at 96 ppi
  TColor FColor = clWindowText;
  TFontStyles FStyle = 0;
  TFontCharset FCharset = DEFAULT_CHARSET;
};
