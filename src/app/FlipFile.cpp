#include "app/FlipFile.h"

#include "app/TextFiles.h"
#include "platform/SysUtils.h"

const std::vector<std::string>& FlipSettingKeys() {
  static const std::vector<std::string> keys = {
      flipkey::Alignment, flipkey::Interval,   flipkey::FramesPerLine, flipkey::HingeSize,
      flipkey::TimePerLine, flipkey::Width,    flipkey::Height,        flipkey::Bitmap,
      flipkey::Stretch,   flipkey::Merge,      flipkey::Crop,          flipkey::Palette,
      flipkey::BackColor, flipkey::HingeColor, flipkey::FontColor,     flipkey::FontName,
      flipkey::FontSize,  flipkey::Bold,       flipkey::Italic,        flipkey::Underline,
      flipkey::StrikeOut};
  return keys;
}

namespace {

const char* Bool(bool b) { return b ? flipkey::True : flipkey::False; }

void Put(std::string& out, const char* key, const std::string& value) {
  out += key;
  out += '=';
  out += value;
  out += "\r\n";
}

}  // namespace

std::string FormatFlipFile(const TFlipFileData& d) {
  std::string out;
  Put(out, flipkey::Alignment, d.Alignment);
  Put(out, flipkey::Interval, d.Interval);
  Put(out, flipkey::FramesPerLine, d.FramesPerLine);
  Put(out, flipkey::HingeSize, d.HingeSize);
  Put(out, flipkey::TimePerLine, d.TimePerLine);
  Put(out, flipkey::Width, d.Width);
  Put(out, flipkey::Height, d.Height);
  Put(out, flipkey::Bitmap, d.Bitmap);
  Put(out, flipkey::Stretch, Bool(d.Stretch));
  Put(out, flipkey::Merge, Bool(d.Merge));
  Put(out, flipkey::Crop, Bool(d.Crop));
  Put(out, flipkey::Palette, Bool(d.Palette));
  // TColor is signed: system colours (top bit set) come out negative.
  Put(out, flipkey::BackColor, IntToStr(d.BackColor));
  Put(out, flipkey::HingeColor, IntToStr(d.HingeColor));
  Put(out, flipkey::FontColor, IntToStr(d.FontColor));
  Put(out, flipkey::FontName, d.FontName);
  Put(out, flipkey::FontSize, IntToStr(d.FontSize));
  Put(out, flipkey::Bold, Bool(d.FontStyle & (1u << fsBold)));
  Put(out, flipkey::Italic, Bool(d.FontStyle & (1u << fsItalic)));
  Put(out, flipkey::Underline, Bool(d.FontStyle & (1u << fsUnderline)));
  Put(out, flipkey::StrikeOut, Bool(d.FontStyle & (1u << fsStrikeOut)));
  for (size_t n = 0; n < d.Lines.size(); ++n)
    Put(out, (std::string(flipkey::LinePrefix) + std::to_string(n)).c_str(), d.Lines[n]);
  Put(out, (std::string(flipkey::LinePrefix) + std::to_string(d.Lines.size())).c_str(),
      flipkey::EndOfText);
  return out;
}

TFlipFileReader::TFlipFileReader(std::string_view text) {
  for (const std::string& line : SplitLines(text)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    // The first line with a key wins.
    FValues.emplace(LowerCase(line.substr(0, eq)), line.substr(eq + 1));
  }
}

bool TFlipFileReader::Has(const std::string& key) const {
  return FValues.count(LowerCase(key)) != 0;
}

std::string TFlipFileReader::Value(const std::string& key) const {
  auto it = FValues.find(LowerCase(key));
  return it == FValues.end() ? std::string() : it->second;
}

std::vector<std::string> TFlipFileReader::TextLines() const {
  std::vector<std::string> lines;
  for (size_t n = 0;; ++n) {
    auto it = FValues.find("line" + std::to_string(n));
    if (it == FValues.end() || it->second == flipkey::EndOfText) break;
    lines.push_back(it->second);
  }
  return lines;
}
