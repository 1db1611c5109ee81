#pragma once
// Routines on long strings: padding, extensions of long file names and word wrapping of report
// lines.

#include <string>
#include <string_view>

namespace sysutil {

inline constexpr size_t kLongFileNameMax = 260;

// The text filled with c up to length characters; never cut.
std::string PadToLength(std::string_view text, char c, size_t length);

bool ContainsCharLong(std::string_view text, char c);
bool HasFileExtLong(std::string_view name, size_t& dotPos);
// The text after the last "." when no "\" follows it, at most 260 characters; else empty.
std::string FileExtPartLong(std::string_view name);

// Splits text for lines of at most margin characters: line is the words that fit (cut hard at the
// margin when the first word is longer), without its trailing blanks unless the whole text fits;
// rest is what follows, without leading blanks. With pad, a short line is filled with blanks to
// margin characters. A margin below 1 counts as 1.
void WrapAtMargin(std::string_view text, std::string& line, std::string& rest, int margin, bool pad);

}  // namespace sysutil
