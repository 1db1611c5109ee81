#pragma once
// Small stateless routines shared by the whole engine: buffers and bytes, minimum and maximum,
// calendar and rounding helpers, text-validity tests, string, path and file-name helpers,
// character classes and the LIKE matcher.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dbengine {

// ---- Buffers and bytes ----

// Whole-buffer zlib deflate at level 9; failure raises 15001.
std::vector<uint8_t> CompressBuffer(const void* source, size_t size);
// Inflates a buffer made by CompressBuffer; failure (damaged or truncated data) raises 15002.
std::vector<uint8_t> UncompressBuffer(const void* source, size_t size);

// The byte scrambler of encrypted tables; applying it twice restores the data.
void ScrambleBuffer(void* buffer, uint32_t length, uint8_t seed1, uint8_t seed2);
void UnscrambleBuffer(void* buffer, uint32_t length, uint8_t seed1, uint8_t seed2);

// Unsigned byte comparison: -1, 0, 1 (negated when descending); a missing A gives 1.
int CompareBytes(const void* a, const void* b, size_t count, bool descending);
// Equal leading bytes of A and B, at most count and at most 254.
size_t SharedPrefixLength(const void* a, const void* b, size_t count);
// Zero bytes going backwards from *last (included), at most count and at most 254.
size_t TrailingZeroCount(const void* last, size_t count);
// Fills count bytes (at most 255) with 0.
void ZeroBytes(void* dest, size_t count);

template <typename T>
void CopyListItems(const std::vector<T>& source, std::vector<T>& dest) {
    dest.clear();
    dest.reserve(source.capacity());
    dest.assign(source.begin(), source.end());
}

// ---- Minimum and maximum ----

inline int32_t MaxInteger(int32_t a, int32_t b) {
    return a > b ? a : b;
}
inline int32_t MinInteger(int32_t a, int32_t b) {
    return a < b ? a : b;
}
inline int64_t MaxInt64(int64_t a, int64_t b) {
    return a > b ? a : b;
}
inline int64_t MinInt64(int64_t a, int64_t b) {
    return a < b ? a : b;
}
inline uint16_t MaxWord(uint16_t a, uint16_t b) {
    return a > b ? a : b;
}
inline uint16_t MinWord(uint16_t a, uint16_t b) {
    return a < b ? a : b;
}
inline int16_t MaxSmallInt(int16_t a, int16_t b) {
    return a > b ? a : b;
}
inline int16_t MinSmallInt(int16_t a, int16_t b) {
    return a < b ? a : b;
}
inline uint8_t MaxByte(uint8_t a, uint8_t b) {
    return a > b ? a : b;
}
// Currency values are 64-bit counts of 1/10,000, compared as floating-point numbers.
inline int64_t MaxCurrency(int64_t a, int64_t b) {
    return static_cast<long double>(a) > b ? a : b;
}
inline int64_t MinCurrency(int64_t a, int64_t b) {
    return static_cast<long double>(a) < b ? a : b;
}
inline long double MaxExtended(long double a, long double b) {
    return a > b ? a : b;
}
inline long double MinExtended(long double a, long double b) {
    return a < b ? a : b;
}

// ---- Dates: day numbers with the time of day as fraction, day 0 = 30 December 1899 ----

int IsoDayOfWeek(double date);     // Monday 1 .. Sunday 7
int64_t DayOfYear(double date);    // 1 for 1 January
double IsoWeekOneStart(int year);  // the Monday that starts ISO week 1
int IsoWeekNumber(double date);    // 1..53
double EncodeDay(int year, int month, int day);
void DecodeDay(double date, int& year, int& month, int& day);

// ---- Numbers ----

// Half away from zero to the given decimals.
double RoundFloat(int decimals, double value);
double TruncFloat(double value);
// Currency: 64-bit counts of 1/10,000. Decimals above 4 count as 4.
int64_t RoundCurrency(int decimals, int64_t value);
int64_t TruncCurrency(int64_t value);

// The 34-byte BCD record: precision byte, sign-and-places byte (sign in bit 7), 32 bytes of
// packed decimal digits, two per byte, high nibble first.
struct TBcd {
    uint8_t Precision = 0;
    uint8_t SignSpecialPlaces = 0;
    uint8_t Fraction[32] = {};
};
bool CurrencyToBcd(int decimals, TBcd& bcd, int64_t value);
int64_t BcdToCurrency(const TBcd& bcd);

// ---- Text-validity tests ----

bool IsWordText(std::string_view s);
bool IsIntegerText(std::string_view s);
bool IsSmallIntText(std::string_view s);
bool IsLargeIntText(std::string_view s);
bool IsBooleanText(std::string_view s);
bool IsFloatText(std::string_view s);
bool IsCurrencyText(std::string_view s);
// Date "yyyy-mm-dd", time "hh:mm[:ss[.n]]" (also with AM or PM), and a date, a blank and a time.
bool IsDateText(std::string_view s);
bool IsTimeText(std::string_view s);
bool IsTimestampText(std::string_view s);
// The readers behind the three tests: false when the text is not such a date or time.
bool ReadDateText(std::string_view s, int& year, int& month, int& day);
bool ReadTimeText(std::string_view s, int& hour, int& minute, int& second, int& millisecond);

// ---- Strings ----

// Removes characters at or below the blank from both ends (or one end).
std::string TrimText(std::string_view s);
std::string TrimLeftText(std::string_view s);
std::string TrimRightText(std::string_view s);

std::string CutAtSeparator(std::string& text, std::string_view separator);
std::string PadLeft(std::string_view source, size_t length, char c);
std::string LeftStr(std::string_view s, size_t n);
std::string RightStr(std::string_view s, size_t n);
size_t LastPos(std::string_view sub, std::string_view s);
void StrTrimLeftChar(char* s, char c);
void StrTrimRightChar(char* s, char c);
void TrimChar(char* s, char c);
// 1-based position of the first occurrence, case-sensitive; 0 when none or when sub is empty.
size_t TextPos(std::string_view sub, std::string_view s);
// Non-overlapping occurrences from left to right; 0 for an empty sub.
size_t TextOccurrences(std::string_view sub, std::string_view s);
size_t ReplacedLength(std::string_view sub, std::string_view repl, std::string_view s);
// S with every non-overlapping occurrence of sub replaced; an empty sub changes nothing.
std::string ReplaceAllText(std::string_view sub, std::string_view repl, std::string_view s);
bool MatchLike(uint16_t languageId, uint16_t sortId, std::string_view text, std::string_view pattern);
std::string RemoveLineBreaks(std::string_view s);
std::string UndoubleQuotes(char quote, std::string_view s);
int CompareCharEntries(uint16_t languageId, uint16_t sortId, char c1, char c2);
int CompareChars(uint16_t languageId, uint16_t sortId, char c1, uint32_t c2);

// ---- Paths and file names ("\" is the delimiter) ----

std::string SlashesToBackslashes(std::string_view s);
std::string RemoveFileExt(std::string_view name, std::string_view ext);
std::string ChangeTableFileExt(std::string_view name, std::string_view oldExt, std::string_view newExt);
std::string AddTrailingBackslash(std::string_view s);
std::string DropTrailingBackslash(std::string_view s);
std::string DropLeadingBackslash(std::string_view s);
std::string RemoveTrailingBackslashes(std::string_view s);
std::string DropLeadingBackslashes(std::string_view s);
std::string TrimBackslashes(std::string_view s);
bool HasPathChars(std::string_view s);
std::string ExtractTableName(std::string_view path, std::string_view ext);

// ---- Character classes ----

bool IsIdentStart(char c);
bool IsDigitChar(char c);
bool IsIdentChar(char c);
bool IsNameExtraChar(char c);
bool IsWordBreakChar(char c);

}  // namespace dbengine
