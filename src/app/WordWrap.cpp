#include "app/WordWrap.h"

#include <algorithm>

#include "platform/Graphics.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Byte offsets where UTF-8 code points start, plus the end.
std::vector<size_t> CodePointStarts(const std::string& s) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < s.size(); ++i)
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) starts.push_back(i);
  starts.push_back(s.size());
  return starts;
}

// Splits a word wider than the width into pieces of as many whole characters
// as fit (at least one each). All pieces but the last are emitted; the last is
// returned to continue the line with.
std::string SplitLongWord(const std::string& word, int width, const TTextMeasure& measure,
                          std::vector<std::string>& out) {
  std::string rest = word;
  for (;;) {
    if (measure(rest) <= width) return rest;
    const std::vector<size_t> starts = CodePointStarts(rest);
    const size_t chars = starts.size() - 1;
    // Largest count of leading characters that fits, by bisection.
    size_t lo = 1, hi = chars;
    while (lo < hi) {
      const size_t mid = (lo + hi + 1) / 2;
      if (measure(rest.substr(0, starts[mid])) <= width)
        lo = mid;
      else
        hi = mid - 1;
    }
    out.push_back(rest.substr(0, starts[lo]));
    rest = rest.substr(starts[lo]);
  }
}

void WrapLine(const std::string& line, int width, const TTextMeasure& measure,
              std::vector<std::string>& out) {
  std::string current;    // the piece being filled
  bool hasWord = false;   // current holds at least one word
  size_t i = 0;
  // Leading blanks belong to the first word as typed.
  size_t lead = 0;
  while (lead < line.size() && IsBlank(line[lead])) ++lead;
  std::string blanks = line.substr(0, lead);
  i = lead;
  while (i < line.size()) {
    size_t end = i;
    while (end < line.size() && !IsBlank(line[end])) ++end;
    const std::string word = line.substr(i, end - i);
    size_t next = end;
    while (next < line.size() && IsBlank(line[next])) ++next;
    const std::string following = line.substr(end, next - end);
    i = next;

    std::string candidate = current + blanks + word;
    if (measure(candidate) <= width) {
      current = std::move(candidate);
    } else if (hasWord) {
      out.push_back(current);  // the blanks at the break are dropped
      current = SplitLongWord(word, width, measure, out);
    } else {
      current = SplitLongWord(candidate, width, measure, out);
    }
    hasWord = true;
    blanks = following;
  }
  // Blanks at the end of the line stay with its last piece (or make it).
  current += blanks;
  out.push_back(current);
}

}  // namespace

std::vector<std::string> WrapText(const std::vector<std::string>& lines, int textWidth,
                                  const TTextMeasure& measure) {
  const int width = std::max(textWidth, 1);
  std::vector<std::string> out;
  for (const std::string& line : lines) WrapLine(line, width, measure, out);
  return out;
}

std::vector<std::string> WrapToFitLines(const std::vector<std::string>& lines, int boxWidth,
                                        const TFont& font) {
  TBitmap scratch(1, 1, pf24bit);
  TCanvas& canvas = scratch.Canvas();
  canvas.SetFont(font);
  return WrapText(lines, boxWidth - kWrapBoxChrome,
                  [&canvas](const std::string& s) { return canvas.TextWidth(s); });
}
