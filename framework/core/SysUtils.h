#pragma once
// Text routines of the class library over byte strings in Windows-1252 (one character = one byte).
//
// Two families of case handling exist side by side:
//  - the plain routines (UpperCase, CompareText, SameText) touch only the ASCII letters a-z/A-Z;
//  - the "Ansi" routines use the code page's own case table, so that accented letters such as
//    0xE9 and 0xC9 are the same letter in two cases.
// Positions taken or returned by Pos, Copy, Delete and Insert count from 1, as the callers do.

#include <compare>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace framework {

// ---- Case mapping -------------------------------------------------------------------------------

std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
std::string AnsiUpperCase(std::string_view s);
std::string AnsiLowerCase(std::string_view s);

// One character through the code page's case table.
char AnsiUpperChar(char c);
char AnsiLowerChar(char c);

// ---- Comparison ---------------------------------------------------------------------------------
// Every comparison returns < 0, 0 or > 0. The plain ones compare byte values (after ASCII upper-casing
// for the -Text forms); a shorter text that is a prefix of the longer one sorts first.

int CompareStr(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);

// Locale-aware forms. AnsiCompareText orders by the code page's upper-case table; AnsiCompareStr orders
// the same way and breaks ties between texts that differ only in case by putting the lower-case letter
// first at the first position where the case differs ("a" < "A" < "b").
int AnsiCompareText(std::string_view a, std::string_view b);
int AnsiCompareStr(std::string_view a, std::string_view b);
bool AnsiSameText(std::string_view a, std::string_view b);
bool AnsiSameStr(std::string_view a, std::string_view b);

// Null-terminated forms; the L variants look at no more than maxLen characters.
int AnsiStrComp(const char* a, const char* b);
int AnsiStrIComp(const char* a, const char* b);
int AnsiStrLComp(const char* a, const char* b, std::size_t maxLen);
int AnsiStrLIComp(const char* a, const char* b, std::size_t maxLen);

// ---- Trimming -----------------------------------------------------------------------------------
// Blanks and control characters (every byte up to and including 0x20) are removed.

std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// ---- Quoting ------------------------------------------------------------------------------------

// 'text' with every quote inside doubled.
std::string QuotedStr(std::string_view s);
std::string AnsiQuotedStr(std::string_view s, char quote);
// Inverse of AnsiQuotedStr: a text that starts with the quote loses its enclosing quotes and has
// doubled quotes halved; the text ends at the first single closing quote (or at the end when the
// closing quote is missing). A text that does not start with the quote comes back unchanged.
std::string AnsiDequotedStr(std::string_view s, char quote);

// ---- Replacing ----------------------------------------------------------------------------------

enum TReplaceFlag : unsigned { rfReplaceAll = 1u, rfIgnoreCase = 2u };
using TReplaceFlags = unsigned;

// Replaces the first occurrence of oldPattern (every occurrence with rfReplaceAll), searching left to
// right without rescanning replaced text; rfIgnoreCase compares through the code page's case table.
// An empty oldPattern replaces nothing.
std::string StringReplace(std::string_view s, std::string_view oldPattern, std::string_view newPattern,
                          TReplaceFlags flags = 0);

// ---- 1-based positions --------------------------------------------------------------------------

// Position (from 1) of the first occurrence of sub in s, 0 when absent or when sub is empty.
int Pos(std::string_view sub, std::string_view s);
// count characters of s from position index; an index below 1 counts as 1, and the part beyond the
// end of s is simply missing.
std::string Copy(std::string_view s, int index, int count);
// Removes count characters from position index; nothing happens when index is outside 1..length.
void Delete(std::string& s, int index, int count);
// Inserts sub before position index (clamped to 1..length + 1).
void Insert(std::string_view sub, std::string& s, int index);

// ---- Format settings ----------------------------------------------------------------------------
// The process-wide settings that number, currency, date and time texts follow. They start from the
// user's regional settings (GetFormatSettings) and tests may set them freely.

extern char DecimalSeparator;
extern char ThousandSeparator;
extern std::string CurrencyString;
// Placement of CurrencyString for positive amounts: 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $".
extern uint8_t CurrencyFormat;
// Pattern for negative amounts, 0 to 15: 0 "($1)", 1 "-$1", 2 "$-1", 3 "$1-", 4 "(1$)", 5 "-1$",
// 6 "1-$", 7 "1$-", 8 "-1 $", 9 "-$ 1", 10 "1 $-", 11 "$ 1-", 12 "$ -1", 13 "1- $", 14 "($ 1)",
// 15 "(1 $)".
extern uint8_t NegCurrFormat;
extern uint8_t CurrencyDecimals;
extern char DateSeparator;
extern char TimeSeparator;
extern std::string ShortDateFormat;
extern std::string LongDateFormat;
extern std::string ShortTimeFormat;
extern std::string LongTimeFormat;
extern std::string TimeAMString;
extern std::string TimePMString;
extern std::string ShortMonthNames[12];
extern std::string LongMonthNames[12];
// Day names start with Sunday.
extern std::string ShortDayNames[7];
extern std::string LongDayNames[7];
// Two-digit years in date texts fall into the century window that starts this many years before the
// current year; 0 takes them in the current century.
extern int TwoDigitYearCenturyWindow;

// Sets every format setting from the regional settings in force (platform/RegionalSettings.h; done
// once at start-up): the short date picture with its separator written as "/", the time formats of
// the clock ("h:mm:ss AMPM" on a 12-hour clock, "hh:mm:ss" on a 24-hour clock with leading zeros).
void GetFormatSettings();
// Sets every format setting to the United States English values, whatever the locale says.
void ResetFormatSettings();

// ---- Integers -----------------------------------------------------------------------------------

std::string IntToStr(int32_t value);
std::string IntToStr(int64_t value);
// Every other integer type (unsigned, long long, short) by its own value.
template <typename T>
requires std::is_integral_v<T> &&(!std::is_same_v<T, bool>)&&(!std::is_same_v<T, char>)std::string
    IntToStr(T value) {
    return std::to_string(value);
}
// Upper-case hexadecimal, zero-padded to at least digits characters. A negative value shows its
// two's-complement bits (32 of them for the 32-bit form).
std::string IntToHex(int32_t value, int digits);
std::string IntToHex(int64_t value, int digits);
// Other integer types: those of up to 32 bits show 32 bits, wider ones 64.
template <typename T>
requires std::is_integral_v<T> &&(!std::is_same_v<T, bool>)std::string IntToHex(T value, int digits) {
    if constexpr (sizeof(T) <= 4)
        return IntToHex(static_cast<int32_t>(value), digits);
    else
        return IntToHex(static_cast<int64_t>(value), digits);
}

// Decimal text with optional leading blanks and sign, or hexadecimal after "$" or "0x"; anything else,
// including a value out of range, raises EConvertError "'<text>' is not a valid integer value".
int32_t StrToInt(std::string_view s);
int64_t StrToInt64(std::string_view s);
int32_t StrToIntDef(std::string_view s, int32_t def);
int64_t StrToInt64Def(std::string_view s, int64_t def);
bool TryStrToInt(std::string_view s, int32_t& value);
bool TryStrToInt64(std::string_view s, int64_t& value);

// ---- Currency -----------------------------------------------------------------------------------

// A fixed-point amount: a 64-bit integer counting ten-thousandths.
struct Currency {
    int64_t Value = 0;  // the amount times 10,000

    static constexpr int64_t Scale = 10000;
    static constexpr Currency FromRaw(int64_t raw) { return Currency{raw}; }
    static constexpr Currency FromInt(int64_t units) { return Currency{units * Scale}; }
    double ToDouble() const { return static_cast<double>(Value) / Scale; }
    friend constexpr auto operator<=>(Currency, Currency) = default;
};

// ---- Floating point -----------------------------------------------------------------------------

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

// Value in the general form with up to 15 significant digits ("1.5", "1E20", "1E-5").
std::string FloatToStr(double value);
// precision: significant digits (1 to 18, at most 15 are meaningful for a double); digits: the
// minimum exponent digits (ffGeneral, ffExponent) or the digits after the decimal point (ffFixed,
// ffNumber, ffCurrency). Rounding is half away from zero on the value's 15-digit decimal form.
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits);
// The same for an extended value, from its 18 significant digits (precision up to 18).
std::string ExtendedToStrF(long double value, TFloatFormat format, int precision, int digits);
std::string CurrToStr(Currency value);
std::string CurrToStrF(Currency value, TFloatFormat format, int digits);

// Formats value after a picture: "0" a digit always shown, "#" a digit shown when significant, "." the
// decimal separator, "," thousands separators, "E+0"/"E-0" (or "e") exponent forms, text in quotes
// verbatim, anything else (including "%") as it stands. Up to three sections separated by ";" give
// the forms of positive, negative and zero values; a negative value shown with the positive section
// gets a leading "-". An empty picture gives the general form.
std::string FormatFloat(std::string_view picture, double value);
std::string FormatCurr(std::string_view picture, Currency value);

// Optional blanks, optional sign, digits with the DecimalSeparator, optional exponent ("E" or "e",
// optional sign, digits), optional blanks; anything else raises EConvertError
// "'<text>' is not a valid floating point value".
double StrToFloat(std::string_view s);
double StrToFloatDef(std::string_view s, double def);
bool TextToFloat(std::string_view s, double& value);
bool TryStrToFloat(std::string_view s, double& value);
// TextToFloat for an extended value (every digit an extended holds).
bool TextToExtended(std::string_view s, long double& value);

// The amount nearest to value (ties to even), EConvertError when it lies outside the currency range.
Currency FloatToCurr(double value);
bool TryFloatToCurr(double value, Currency& result);
// Read exactly from the decimal text (no detour through a double), rounded to four decimals.
Currency StrToCurr(std::string_view s);
Currency StrToCurrDef(std::string_view s, Currency def);
bool TextToCurr(std::string_view s, Currency& value);

// ---- Format -------------------------------------------------------------------------------------

// One argument of Format: an integer (32 or 64 bits), a float, a currency amount, a text, a
// character, a pointer or a Boolean. Unsigned integers are kept as their value in the 64-bit form.
class TVarRec {
public:
    enum TKind { vtInteger, vtInt64, vtExtended, vtCurrency, vtString, vtChar, vtPointer, vtBoolean };

    TVarRec(int v) : Kind(vtInteger), Int(v) {}
    TVarRec(long v) : Kind(vtInt64), Int(v) {}
    TVarRec(long long v) : Kind(vtInt64), Int(v) {}
    TVarRec(unsigned v) : Kind(vtInt64), Int(v) {}
    TVarRec(unsigned long v) : Kind(vtInt64), Int(static_cast<int64_t>(v)) {}
    TVarRec(unsigned long long v) : Kind(vtInt64), Int(static_cast<int64_t>(v)) {}
    TVarRec(double v) : Kind(vtExtended), Float(v) {}
    TVarRec(Currency v) : Kind(vtCurrency), Int(v.Value) {}
    TVarRec(const char* v) : Kind(vtString), Text(v ? v : "") {}
    TVarRec(const std::string& v) : Kind(vtString), Text(v) {}
    TVarRec(std::string_view v) : Kind(vtString), Text(v) {}
    TVarRec(char v) : Kind(vtChar), Int(static_cast<unsigned char>(v)) {}
    TVarRec(const void* v) : Kind(vtPointer), Pointer(v) {}
    TVarRec(bool v) : Kind(vtBoolean), Int(v) {}

    TKind Kind;
    int64_t Int = 0;
    double Float = 0;
    std::string_view Text;  // valid for the duration of the Format call
    const void* Pointer = nullptr;
};

// The class library's formatting: "%" [index ":"] ["-"] [width] ["." precision] type, with width and
// precision given as digits or "*" (taken from the next argument), and the types
//   d decimal integer (precision = minimum digits)        u unsigned integer
//   x hexadecimal integer, upper case                      p pointer in hexadecimal
//   s text or character (precision = maximum length)      e scientific (precision = significant digits, 15)
//   f fixed (precision = decimals, 2)                      g general (precision = significant digits, 15)
//   n fixed with thousands separators (2)                  m currency (CurrencyDecimals)
// and "%%" for a percent sign. A malformed specifier, a missing argument or an argument of the wrong
// kind raises EConvertError "Format '<format>' invalid or incompatible with argument".
std::string Format(std::string_view format, std::initializer_list<TVarRec> args);

// ---- Folders and progress -------------------------------------------------------------------------

// Whether the name (Windows form) is an existing folder; a name with wildcards is none.
bool DirectoryExists(const std::string& name);
// Makes the folder and every missing folder above it; true when the folder exists afterwards (false
// for an empty name).
bool ForceDirectories(const std::string& dir);
// The whole percentage of done in total, 0 to 100: 0 when total is not positive, 100 once done
// reaches total.
int32_t PercentOf(int64_t done, int64_t total);

}  // namespace framework
