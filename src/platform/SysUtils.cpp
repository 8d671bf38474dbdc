#include "platform/SysUtils.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <limits>
#include <vector>

#include <sys/stat.h>

namespace {

[[noreturn]] void ThrowInt(const std::string& s) {
  throw EConvertError("'" + s + "' is not a valid integer value");
}

[[noreturn]] void ThrowFloat(const std::string& s) {
  throw EConvertError("'" + s + "' is not a valid floating point value");
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Parses [sign] (digits | "$" hex | "0x" hex). Decimal values must lie within
// [minValue, maxValue]; hex values may use every bit of `bits` (they wrap, so
// "$FFFFFFFF" is -1 for 32 bits), as the toolkit's Val does.
bool ParseInteger(const std::string& s, int bits, int64_t& out) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < s.size() && s[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= s.size()) return false;
  const uint64_t mask = bits == 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1;
  uint64_t magnitude = 0;
  if (hex) {
    for (; i < s.size(); ++i) {
      const int d = HexDigit(s[i]);
      if (d < 0) return false;
      if (magnitude > (mask >> 4)) return false;
      magnitude = (magnitude << 4) | static_cast<uint64_t>(d);
    }
    uint64_t v = negative ? (~magnitude + 1) & mask : magnitude;
    // Sign-extend from `bits`.
    if (bits < 64 && (v >> (bits - 1)) & 1) v |= ~mask;
    out = static_cast<int64_t>(v);
    return true;
  }
  // Decimal: the magnitude may reach 2^(bits-1) only for a negative value.
  const uint64_t limit = (uint64_t{1} << (bits - 1)) - (negative ? 0 : 1);
  for (; i < s.size(); ++i) {
    const char c = s[i];
    if (c < '0' || c > '9') return false;
    const uint64_t d = static_cast<uint64_t>(c - '0');
    if (magnitude > (limit - d) / 10) return false;
    magnitude = magnitude * 10 + d;
  }
  out = negative ? static_cast<int64_t>(~magnitude + 1) : static_cast<int64_t>(magnitude);
  return true;
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

bool TryStrToInt(const std::string& s, int& value) {
  int64_t v;
  if (!ParseInteger(s, 32, v)) return false;
  value = static_cast<int>(v);
  return true;
}

int StrToInt(const std::string& s) {
  int v;
  if (!TryStrToInt(s, v)) ThrowInt(s);
  return v;
}

int StrToIntDef(const std::string& s, int def) {
  int v;
  return TryStrToInt(s, v) ? v : def;
}

bool TryStrToInt64(const std::string& s, int64_t& value) { return ParseInteger(s, 64, value); }

int64_t StrToInt64(const std::string& s) {
  int64_t v;
  if (!TryStrToInt64(s, v)) ThrowInt(s);
  return v;
}

bool TryStrToFloat(const std::string& s, double& value) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  // Validate the shape ourselves: from_chars alone would take "inf", "nan" and
  // hex floats, which the toolkit does not.
  size_t i = b;
  if (i < e && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < e && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < e && s[i] == '.') {
    ++i;
    while (i < e && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < e && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < e && (s[i] == '+' || s[i] == '-')) ++i;
    size_t expDigits = 0;
    while (i < e && s[i] >= '0' && s[i] <= '9') ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  if (i != e) return false;
  const char* first = s.data() + b;
  if (*first == '+') ++first;  // from_chars takes no plus sign
  double v = 0;
  const auto res = std::from_chars(first, s.data() + e, v);
  if (res.ec == std::errc::result_out_of_range) {
    // from_chars leaves v alone here; ask strtod (C locale) which way it went:
    // overflow is an error, underflow reads as 0 or a denormal.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const std::string text(first, s.data() + e);
    v = strtod_l(text.c_str(), nullptr, cLocale);
    if (std::isinf(v)) return false;
  } else if (res.ec != std::errc() || res.ptr != s.data() + e) {
    return false;
  }
  if (!std::isfinite(v)) return false;
  value = v;
  return true;
}

double StrToFloat(const std::string& s) {
  double v;
  if (!TryStrToFloat(s, v)) ThrowFloat(s);
  return v;
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string IntToHex(uint64_t value, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*llX", digits < 0 ? 0 : (digits > 16 ? 16 : digits),
                static_cast<unsigned long long>(value));
  return buf;
}

std::string FloatToStr(double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15G", value);
  std::string s = buf;
  // "1E+20" -> "1E20", "1E-05" -> "1E-5", as the toolkit writes exponents.
  const size_t e = s.find('E');
  if (e != std::string::npos) {
    std::string mant = s.substr(0, e);
    std::string exp = s.substr(e + 1);
    bool neg = false;
    if (!exp.empty() && (exp[0] == '+' || exp[0] == '-')) {
      neg = exp[0] == '-';
      exp.erase(0, 1);
    }
    while (exp.size() > 1 && exp[0] == '0') exp.erase(0, 1);
    s = mant + "E" + (neg ? "-" : "") + exp;
  }
  return s;
}

std::string FormatFloat(const std::string& pattern, double value) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (pattern.empty()) return FloatToStr(value);  // as the toolkit: general format
  // Sections: positive;negative;zero. Quoted text is literal.
  std::vector<std::string> sections(1);
  char quote = 0;
  for (char c : pattern) {
    if (quote) {
      if (c == quote) quote = 0;
      sections.back() += c;
    } else if (c == '"' || c == '\'') {
      quote = c;
      sections.back() += c;
    } else if (c == ';') {
      sections.emplace_back();
    } else {
      sections.back() += c;
    }
  }
  std::string section = sections[0];
  bool useMinus = value < 0;
  if (value < 0 && sections.size() >= 2 && !sections[1].empty()) {
    section = sections[1];
    useMinus = false;
  }
  if (value == 0 && sections.size() >= 3 && !sections[2].empty()) section = sections[2];

  // Read the picture: prefix literals, placeholders, suffix literals.
  std::string prefix, suffix;
  int intZeros = 0, fracZeros = 0, fracPlaces = 0;
  bool seenPlaceholder = false, seenPoint = false, thousands = false;
  std::string literalRun;
  quote = 0;
  for (size_t i = 0; i < section.size(); ++i) {
    const char c = section[i];
    if (quote) {
      if (c == quote) quote = 0;
      else literalRun += c;
      continue;
    }
    if (c == '"' || c == '\'') {
      quote = c;
      continue;
    }
    if (c == '0' || c == '#') {
      if (!seenPlaceholder) prefix += literalRun;
      literalRun.clear();
      seenPlaceholder = true;
      if (seenPoint) {
        ++fracPlaces;
        if (c == '0') fracZeros = fracPlaces;
      }
    } else if (c == '.' && !seenPoint) {
      if (!seenPlaceholder) prefix += literalRun;
      literalRun.clear();
      seenPoint = true;
      seenPlaceholder = true;
    } else if (c == ',' && seenPlaceholder && !seenPoint) {
      thousands = true;
    } else {
      literalRun += c;
    }
  }
  if (!seenPlaceholder) return literalRun;
  suffix = literalRun;
  // Integer digits always shown: the placeholders from the first '0' on.
  {
    int count = 0;
    bool started = false;
    bool point = false;
    quote = 0;
    for (char c : section) {
      if (quote) {
        if (c == quote) quote = 0;
        continue;
      }
      if (c == '"' || c == '\'') {
        quote = c;
        continue;
      }
      if (c == '.') point = true;
      if (point) continue;
      if (c == '0') started = true;
      if (started && (c == '0' || c == '#')) ++count;
    }
    intZeros = count;
  }

  // printf rounds the exact binary value, ties to even.
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", fracPlaces, std::fabs(value));
  std::string digits = buf;
  std::string intPart = digits, fracPart;
  const size_t dot = digits.find('.');
  if (dot != std::string::npos) {
    intPart = digits.substr(0, dot);
    fracPart = digits.substr(dot + 1);
  }
  while (static_cast<int>(fracPart.size()) > fracZeros && !fracPart.empty() && fracPart.back() == '0')
    fracPart.pop_back();
  const bool allZero = intPart.find_first_not_of('0') == std::string::npos &&
                       fracPart.find_first_not_of('0') == std::string::npos;
  if (intPart == "0") intPart.clear();
  while (static_cast<int>(intPart.size()) < intZeros) intPart.insert(0, "0");
  if (thousands && intPart.size() > 3) {
    std::string grouped;
    const int n = static_cast<int>(intPart.size());
    for (int k = 0; k < n; ++k) {
      if (k > 0 && (n - k) % 3 == 0) grouped += ',';
      grouped += intPart[static_cast<size_t>(k)];
    }
    intPart = grouped;
  }
  std::string out = prefix;
  if (useMinus && !allZero) out.insert(0, "-");
  out += intPart;
  if (!fracPart.empty()) out += "." + fracPart;
  out += suffix;
  return out;
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const int64_t p = static_cast<int64_t>(a) * b;
  const bool negative = (p < 0) != (c < 0);
  const uint64_t q = p < 0 ? static_cast<uint64_t>(-p) : static_cast<uint64_t>(p);
  const uint64_t d = c < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(c)) : static_cast<uint64_t>(c);
  const uint64_t r = (q + d / 2) / d;  // half away from zero
  if (negative) {
    if (r > uint64_t{1} << 31) return -1;
    return static_cast<int>(-static_cast<int64_t>(r));
  }
  if (r > static_cast<uint64_t>(std::numeric_limits<int>::max())) return -1;
  return static_cast<int>(r);
}

int64_t RoundHalfEven(double value) {
  // nearbyint uses the current rounding mode, which is to-nearest-even.
  const double r = std::nearbyint(value);
  if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0))
    throw Exception("Invalid floating point operation");
  return static_cast<int64_t>(r);
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string UpperCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return r;
}

std::string LowerCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

int CompareText(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return x - y;
  }
  return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

bool SameText(const std::string& a, const std::string& b) { return CompareText(a, b) == 0; }

bool FileExists(const std::string& name) {
  struct stat st;
  return ::stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
