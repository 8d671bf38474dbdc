// Number/text conversions, rounding and colours: the cases the rest of the
// program leans on (settings fields, percentages, system colours).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/SysUtils.h"
#include "platform/Types.h"

namespace {

struct IntCase {
  const char* text;
  bool ok;
  int value;
};

TEST(StrToInt, AcceptsSignDecimalAndHexOnly) {
  const IntCase cases[] = {
      {"0", true, 0},
      {"42", true, 42},
      {"+42", true, 42},
      {"-42", true, -42},
      {"007", true, 7},
      {"2147483647", true, 2147483647},
      {"-2147483648", true, std::numeric_limits<int>::min()},
      {"2147483648", false, 0},
      {"-2147483649", false, 0},
      {"99999999999999999999", false, 0},
      {"$1F", true, 31},
      {"$1f", true, 31},
      {"0x10", true, 16},
      {"0X10", true, 16},
      {"-$10", true, -16},
      {"$7FFFFFFF", true, 2147483647},
      {"$FFFFFFFF", true, -1},  // hex uses all 32 bits
      {"$100000000", false, 0},
      {"", false, 0},
      {"+", false, 0},
      {"-", false, 0},
      {"$", false, 0},
      {"0x", false, 0},
      {" 1", false, 0},
      {"1 ", false, 0},
      {"1\t", false, 0},
      {"1.0", false, 0},
      {"1e3", false, 0},
      {"abc", false, 0},
      {"12a", false, 0},
      {"$G", false, 0},
      {"--1", false, 0},
      {"+-1", false, 0},
      {"1,000", false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("input '") + c.text + "'");
    int v = 12345;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok);
    if (c.ok) {
      EXPECT_EQ(v, c.value);
      EXPECT_EQ(StrToInt(c.text), c.value);
    } else {
      EXPECT_EQ(v, 12345) << "a failed conversion must not change the output";
      try {
        StrToInt(c.text);
        ADD_FAILURE() << "no EConvertError";
      } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), std::string("'") + c.text + "' is not a valid integer value");
      }
    }
  }
}

TEST(StrToInt, Int64AndDefault) {
  EXPECT_EQ(StrToInt64("9223372036854775807"), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(StrToInt64("-9223372036854775808"), std::numeric_limits<int64_t>::min());
  EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
  EXPECT_EQ(StrToInt64("$FFFFFFFFFFFFFFFF"), -1);
  EXPECT_EQ(StrToIntDef("x", 7), 7);
  EXPECT_EQ(StrToIntDef("-8", 7), -8);
}

TEST(StrToFloat, Table) {
  struct Case {
    const char* text;
    bool ok;
    double value;
  } cases[] = {
      {"1", true, 1.0},         {"-1.5", true, -1.5},    {"+2.25", true, 2.25},
      {".5", true, 0.5},        {"5.", true, 5.0},       {"1e3", true, 1000.0},
      {"1E-2", true, 0.01},     {"2.5e+1", true, 25.0},  {" 3.5 ", true, 3.5},
      {"0.1", true, 0.1},       {"", false, 0},          {".", false, 0},
      {"-", false, 0},          {"1e", false, 0},        {"1e+", false, 0},
      {"abc", false, 0},        {"1,5", false, 0},       {"inf", false, 0},
      {"nan", false, 0},        {"0x10", false, 0},      {"1..2", false, 0},
      {"1e400", false, 0},      {"$10", false, 0},       {"1e-400", true, 0.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("input '") + c.text + "'");
    double v = -7;
    EXPECT_EQ(TryStrToFloat(c.text, v), c.ok);
    if (c.ok) {
      EXPECT_EQ(v, c.value);
    } else {
      try {
        StrToFloat(c.text);
        ADD_FAILURE() << "no EConvertError";
      } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), std::string("'") + c.text + "' is not a valid floating point value");
      }
    }
  }
}

TEST(FormatFloat, HashPatternRoundsHalfToEven) {
  struct Case {
    const char* pattern;
    double value;
    const char* want;
  } cases[] = {
      {"#", 0.0, ""},  // "#" shows no digit for zero
      {"#", 0.4, ""},
      {"#", 0.5, ""},  // tie to even: 0
      {"#", 1.5, "2"},
      {"#", 2.5, "2"},
      {"#", 3.5, "4"},
      {"#", -2.5, "-2"},
      {"#", -0.4, ""},  // no lone minus sign
      {"#", 2.4999999, "2"},
      {"#", 2.5000001, "3"},
      {"#", 1234567.0, "1234567"},
      {"0", 0.0, "0"},
      {"0", 0.5, "0"},
      {"00", 7.0, "07"},
      {"#,##0", 1234567.0, "1,234,567"},
      {"0.00", 1.005, "1.00"},  // 1.005 is 1.00499999... in binary
      {"0.00", 0.125, "0.12"},  // exact tie: even
      {"0.00", 0.375, "0.38"},
      {"0.##", 1.5, "1.5"},
      {"#.##", 0.25, ".25"},
      {"0.0#", 2.0, "2.0"},
      {"# %", 37.5, "38 %"},
      {"#;(#)", -5.0, "(5)"},
      {"#;-#;zero", 0.0, "zero"},
      {"", 2.5, "2.5"},  // no picture: general format
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("FormatFloat(\"") + c.pattern + "\", " + std::to_string(c.value) + ")");
    EXPECT_EQ(FormatFloat(c.pattern, c.value), c.want);
  }
}

TEST(MulDiv, RoundsHalfAwayFromZeroWith64BitProduct) {
  struct Case {
    int a, b, c, want;
  } cases[] = {
      {1, 1, 2, 1},        {3, 1, 2, 2},     {-1, 1, 2, -1},    {-3, 1, 2, -2},
      {1, -1, 2, -1},      {1, 1, -2, -1},   {-1, -1, 2, 1},    {1, 1, 3, 0},
      {2, 1, 3, 1},        {50, 100, 100, 50}, {1, 100, 3, 33},  {2, 100, 3, 67},
      {10, 96, 72, 13},    {8, 96, 72, 11},  {9, 96, 72, 12},   {7, 1, 0, -1},
      {0, 0, 0, -1},       {65536, 65536, 65536, 65536},  // product needs 64 bits
      {2147483647, 2, 2, 2147483647},
      {2147483647, 2, 1, -1},  // result does not fit: -1, as the Windows call
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "MulDiv(" << c.a << ", " << c.b << ", " << c.c << ")");
    EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.want);
  }
}

TEST(RoundHalfEven, Ties) {
  const std::pair<double, int64_t> cases[] = {{0.5, 0},   {1.5, 2},   {2.5, 2},  {-0.5, 0},
                                              {-1.5, -2}, {-2.5, -2}, {2.51, 3}, {-2.49, -2},
                                              {1e15 + 0.5, 1000000000000000}};
  for (const auto& [in, want] : cases) {
    SCOPED_TRACE(in);
    EXPECT_EQ(RoundHalfEven(in), want);
  }
  EXPECT_THROW(RoundHalfEven(std::nan("")), Exception);
  EXPECT_THROW(RoundHalfEven(1e300), Exception);
}

TEST(FloatToStr, FifteenSignificantDigits) {
  EXPECT_EQ(FloatToStr(0.1), "0.1");
  EXPECT_EQ(FloatToStr(1.0 / 3), "0.333333333333333");
  EXPECT_EQ(FloatToStr(-2.5), "-2.5");
  EXPECT_EQ(FloatToStr(1e20), "1E20");
  EXPECT_EQ(FloatToStr(1e-5), "1E-5");
  EXPECT_EQ(FloatToStr(100), "100");
}

TEST(Colors, SystemColoursResolveThroughTheClassicTable) {
  EXPECT_EQ(ColorToRGB(clBtnFace), RGBColor(192, 192, 192));
  EXPECT_EQ(ColorToRGB(clBtnShadow), RGBColor(128, 128, 128));
  EXPECT_EQ(ColorToRGB(clBtnHighlight), clWhite);
  EXPECT_EQ(ColorToRGB(clWindow), clWhite);
  EXPECT_EQ(ColorToRGB(clWindowText), clBlack);
  EXPECT_EQ(ColorToRGB(clGrayText), RGBColor(128, 128, 128));
  EXPECT_EQ(ColorToRGB(clHighlight), clNavy);
  EXPECT_EQ(ColorToRGB(clHighlightText), clWhite);
  EXPECT_EQ(ColorToRGB(clBtnText), clBlack);
  // Plain colours and the special values pass through unchanged.
  EXPECT_EQ(ColorToRGB(0x123456), 0x123456);
  EXPECT_EQ(ColorToRGB(clNone), clNone);
  EXPECT_EQ(ColorToRGB(clDefault), clDefault);
  EXPECT_EQ(GetRValue(0x123456), 0x56);
  EXPECT_EQ(GetGValue(0x123456), 0x34);
  EXPECT_EQ(GetBValue(0x123456), 0x12);
  EXPECT_EQ(RGBColor(0x56, 0x34, 0x12), 0x123456);
  EXPECT_EQ(clRed, RGBColor(255, 0, 0));
  EXPECT_EQ(clBlue, RGBColor(0, 0, 255));
}

TEST(Rects, IntersectAndBounds) {
  TRect r;
  EXPECT_TRUE(IntersectRect(r, Rect(0, 0, 10, 10), Rect(5, -5, 20, 7)));
  EXPECT_EQ(r, Rect(5, 0, 10, 7));
  EXPECT_FALSE(IntersectRect(r, Rect(0, 0, 10, 10), Rect(10, 0, 20, 10)));  // touching edges
  EXPECT_EQ(r, TRect{});
  EXPECT_EQ(Bounds(3, 4, 5, 6), Rect(3, 4, 8, 10));
  EXPECT_EQ(Bounds(3, 4, 5, 6).Width(), 5);
  EXPECT_EQ(Bounds(3, 4, 5, 6).Height(), 6);
}

}  // namespace
