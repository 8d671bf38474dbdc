// Word wrap for "Wrap to Fit": breaks text lines at spaces so that every piece
// fits a given pixel width in a given font, as a word-wrapping edit box of that
// outer width would show them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Font.h"

// What a word-wrapping edit box loses from its outer width: a 2-pixel sunken
// border on each side, a 17-pixel vertical scroll bar and its 2-pixel text
// margins left and right.
constexpr int kWrapBoxBorder = 2 * 2;
constexpr int kWrapBoxScrollBar = 17;
constexpr int kWrapBoxMargins = 2 * 2;
constexpr int kWrapBoxChrome = kWrapBoxBorder + kWrapBoxScrollBar + kWrapBoxMargins;

// Pixel width of a piece of UTF-8 text.
using TTextMeasure = std::function<int(const std::string&)>;

// Wraps each line to `textWidth` pixels. Breaks fall at runs of spaces or tabs,
// which are dropped at the break; a word wider than the width is split between
// characters (at least one character per piece). Empty lines stay; leading
// blanks of a line are kept.
std::vector<std::string> WrapText(const std::vector<std::string>& lines, int textWidth,
                                  const TTextMeasure& measure);

// Wraps as an edit box of outer width `boxWidth` in `font` shows it: the text
// width is boxWidth less kWrapBoxChrome (at least one pixel), measured with
// the platform's text metrics.
std::vector<std::string> WrapToFitLines(const std::vector<std::string>& lines, int boxWidth,
                                        const TFont& font);
