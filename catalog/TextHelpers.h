#pragma once
// Routines on short texts shared by the application units: upper-casing, filling, justifying to a
// column width, trimming trailing padding, blanks to zeros, quoting for SQL text and dates for SQL
// text. Texts are Windows-1252 byte strings; every result is cut to its first 255 characters
// (kShortTextMax), the capacity of the fixed-width texts the callers keep. None of them raises.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "framework/core/DateTime.h"

namespace catalog {

inline constexpr std::size_t kShortTextMax = 255;

// Only the letters "a" to "z" change; accented letters and every other byte stay as they are.
void UpperCaseInPlace(std::string& S);
std::string UpperCaseCopy(std::string_view S);

// Count copies of Ch.
std::string FillString(uint8_t Count, char Ch);

// Each of the three keeps the first Width characters of a longer S (the start is kept also when
// justifying to the right); a shorter S is padded with blanks on the right, on the left, or on both
// sides with the odd blank on the right.
std::string LeftJustify(std::string_view S, uint8_t Width);
std::string RightJustify(std::string_view S, uint8_t Width);
std::string CenterJustify(std::string_view S, uint8_t Width);

// Drops trailing NUL, blank and 0xFF bytes (the padding of names read from headers and label
// fields); leading characters are never touched.
std::string TrimTrailing(std::string_view S);

// Every blank becomes "0"; the length stays.
std::string BlanksToZeros(std::string_view S);

// S ready to stand between double quotes in SQL text: every double quote is doubled. When the cut
// to 255 characters would split a doubled quote, both halves go, so that the result never ends in
// a lone quote that would close the literal early.
std::string QuoteForSql(std::string_view S);

// Year, month and day joined with "-", without leading zeros: "2003-9-15".
std::string FormatSqlDate(framework::TDateTime D);

}  // namespace catalog
