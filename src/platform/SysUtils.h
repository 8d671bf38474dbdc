// Exceptions and number/text conversions of the platform layer. Conversions
// follow the classic toolkit: StrToInt takes an optional sign and decimal digits
// or "$" hex and nothing else; failures raise EConvertError.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

// Root of every error the program raises on purpose; Message() is the one-line
// text shown to the user.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : FMessage(std::move(message)) {}
  const std::string& Message() const { return FMessage; }
  void SetMessage(std::string message) { FMessage = std::move(message); }
  const char* what() const noexcept override { return FMessage.c_str(); }

 private:
  std::string FMessage;
};

#define KL_DECLARE_EXCEPTION(Name, Base)                       \
  class Name : public Base {                                   \
   public:                                                     \
    explicit Name(std::string message) : Base(std::move(message)) {} \
  }

KL_DECLARE_EXCEPTION(EInvalidGraphic, Exception);
// An operation on a graphic that is not possible in its current state (bad
// scan line, unsupported format). Derives from EInvalidGraphic so that callers
// catching graphic errors see both.
KL_DECLARE_EXCEPTION(EInvalidGraphicOperation, EInvalidGraphic);
KL_DECLARE_EXCEPTION(EConvertError, Exception);
KL_DECLARE_EXCEPTION(EOutOfResources, Exception);
KL_DECLARE_EXCEPTION(EOutOfMemory, Exception);
KL_DECLARE_EXCEPTION(EListError, Exception);
KL_DECLARE_EXCEPTION(EStreamError, Exception);
KL_DECLARE_EXCEPTION(EReadError, EStreamError);
KL_DECLARE_EXCEPTION(EWriteError, EStreamError);
KL_DECLARE_EXCEPTION(EFOpenError, EStreamError);
KL_DECLARE_EXCEPTION(EFCreateError, EStreamError);

#undef KL_DECLARE_EXCEPTION

// Optional "+" or "-", then decimal digits or "$" followed by hex digits
// (also "0x"/"0X" as the toolkit allows). No whitespace, no empty string, no
// overflow past 32 bits. Hex values may use the full 32 bits ("$FFFFFFFF" = -1).
// Failure: EConvertError "'abc' is not a valid integer value".
int StrToInt(const std::string& s);
bool TryStrToInt(const std::string& s, int& value);
int StrToIntDef(const std::string& s, int def);
int64_t StrToInt64(const std::string& s);
bool TryStrToInt64(const std::string& s, int64_t& value);

// Decimal number with optional sign, fraction (".") and exponent; leading and
// trailing blanks are allowed, as the toolkit trims them. No hex, no "inf"/"nan".
// Failure: EConvertError "'x' is not a valid floating point value".
double StrToFloat(const std::string& s);
bool TryStrToFloat(const std::string& s, double& value);

std::string IntToStr(int64_t value);
std::string IntToHex(uint64_t value, int digits);
// Shortest text that reads back as the same double (no exponent for ordinary
// magnitudes), like the toolkit's FloatToStr.
std::string FloatToStr(double value);

// Formats value with a picture of "0", "#", ".", "," and literal characters.
// "#" alone gives the value rounded to an integer, half to even, with no
// leading zero ("#" of 0 is ""; "0" of 0 is "0").
std::string FormatFloat(const std::string& pattern, double value);

// (a * b) / c with a 64-bit product, rounded half away from zero; -1 when c is 0
// or the result does not fit in 32 bits, as the Windows call.
int MulDiv(int a, int b, int c);

// Round to nearest, ties to even (banker's rounding), as the toolkit's Round.
int64_t RoundHalfEven(double value);

std::string Trim(const std::string& s);
std::string UpperCase(const std::string& s);
std::string LowerCase(const std::string& s);
// ASCII case-insensitive comparison: <0, 0, >0.
int CompareText(const std::string& a, const std::string& b);
bool SameText(const std::string& a, const std::string& b);
bool FileExists(const std::string& name);
