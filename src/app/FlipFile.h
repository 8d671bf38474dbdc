// The flip file (*.Flp): settings, colours, font, background picture path,
// optimisation switches and text lines as "key=value" lines ended by CR LF.
// TFlipFileData is what the main window writes; TFlipFileReader answers the
// reader's key lookups. The window applies the values itself (main.h).
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Font.h"
#include "platform/Types.h"

namespace flipkey {
inline constexpr const char* Alignment = "Alignment";
inline constexpr const char* Interval = "Interval";
inline constexpr const char* FramesPerLine = "FramesPerLine";
inline constexpr const char* HingeSize = "HingeSize";
inline constexpr const char* TimePerLine = "TimePerLine";
inline constexpr const char* Width = "Width";
inline constexpr const char* Height = "Height";
inline constexpr const char* Bitmap = "Bitmap";
inline constexpr const char* Stretch = "Stretch";
inline constexpr const char* Merge = "Merge";
inline constexpr const char* Crop = "Crop";
inline constexpr const char* Palette = "Pallete";  // the file's own spelling
inline constexpr const char* BackColor = "BackColor";
inline constexpr const char* HingeColor = "HingeColor";
inline constexpr const char* FontColor = "FontColor";
inline constexpr const char* FontName = "FontName";
inline constexpr const char* FontSize = "FontSize";
inline constexpr const char* Bold = "Bold";
inline constexpr const char* Italic = "Italic";
inline constexpr const char* Underline = "Underline";
inline constexpr const char* StrikeOut = "StrikeOut";
inline constexpr const char* LinePrefix = "Line";
inline constexpr const char* EndOfText = "EndOfText";
inline constexpr const char* True = "True";
inline constexpr const char* False = "False";
}  // namespace flipkey

// The settings keys in the order they are written (the "Line" keys follow).
const std::vector<std::string>& FlipSettingKeys();

struct TFlipFileData {
  std::string Alignment = "Left";  // "Left", "Center" or "Right"
  // Settings fields' texts, written as typed.
  std::string Interval;
  std::string FramesPerLine;
  std::string HingeSize;
  std::string TimePerLine;
  std::string Width;
  std::string Height;
  std::string Bitmap;
  bool Stretch = false;
  bool Merge = true;
  bool Crop = true;
  bool Palette = true;
  TColor BackColor = 0;
  TColor HingeColor = 0;
  TColor FontColor = 0;
  std::string FontName;
  int FontSize = 0;
  TFontStyles FontStyle = 0;
  std::vector<std::string> Lines;
};

// The file's bytes: every line ended by CR LF, colours as signed decimals.
std::string FormatFlipFile(const TFlipFileData& data);

// Key lookup over a flip file's text: the value of the first line whose part
// before its first "=" equals the key without regard to ASCII letter case; the
// value is everything after that "=", untrimmed. Lines without "=" are no keys.
class TFlipFileReader {
 public:
  // `text` is already decoded to UTF-8 (see DecodeText).
  explicit TFlipFileReader(std::string_view text);
  bool Has(const std::string& key) const;
  // Empty when no line has the key.
  std::string Value(const std::string& key) const;
  // The text lines: "Line0", "Line1" ... up to "EndOfText" or the first
  // missing "Line" key (a file cut short still ends).
  std::vector<std::string> TextLines() const;

 private:
  std::unordered_map<std::string, std::string> FValues;  // lower-case key -> value
};
