#pragma once
// Routines on short strings (at most 255 characters; longer results are cut): hexadecimal text,
// and the parts of a file name. A folder part ends at the last of the delimiters NUL, ":" and
// "\"; positions are 1-based.

#include <cstdint>
#include <string>
#include <string_view>

namespace sysutil {

inline constexpr size_t kShortStringMax = 255;

// Four upper-case hexadecimal digits, most significant first ("000A" for 10).
std::string WordToHexText(uint16_t value);
// Eight upper-case hexadecimal digits, high word first, no separator.
std::string LongToHexText(uint32_t value);

bool ContainsChar(std::string_view text, char c);

// The text after the last delimiter; the whole text when there is none.
std::string FileNamePart(std::string_view path);

// The folder part: empty without a delimiter; a leading lone delimiter itself; up to and
// including a "\" that follows ":" (a drive's root) or a ":" or NUL; else up to, without, the
// final "\".
std::string FolderPart(std::string_view path);

// True when the text holds a "." and no "\" follows the last one; dotPos receives the position
// of the last "." (0 when there is none) in either case.
bool HasFileExt(std::string_view name, size_t& dotPos);

// The text after the last "." when HasFileExt, else empty.
std::string FileExtPart(std::string_view name);

}  // namespace sysutil
