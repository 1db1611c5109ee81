#pragma once
// Small routines on the texts the entry controls edit, on words in strings, on keyboard state, fonts
// and resources. Positions count from 0 unless said otherwise; a position past the end of a text
// means its end. Texts are std::string, so no routine can write past the end of its buffer.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace framework {
class TBitmap;
class TFont;
}  // namespace framework

namespace entry {

bool CtlCharPos(std::string_view S, char Ch, uint32_t& Pos);
// False when T or S is empty or T is longer than S.
bool CtlTextPos(std::string_view S, std::string_view T, uint32_t& Pos);
void CtlInsertChar(std::string& S, char Ch, uint32_t Pos);
void CtlDeleteChar(std::string& S, uint32_t Pos);
void CtlInsertChars(std::string& S, char Ch, uint32_t Pos, uint32_t Count);
void CtlInsertText(std::string& S, std::string_view T, uint32_t Pos);
// Removes Count characters at Pos; when fewer remain, cuts S at Pos.
void CtlDeleteText(std::string& S, uint32_t Pos, uint32_t Count);
std::string CtlCopyText(std::string_view S, uint32_t Pos, uint32_t Count);
std::string CtlFillChars(char Ch, uint32_t Count);
void CtlTrimSpaces(std::string& S);
// Removes trailing characters with codes up to 32.
std::string& CtlTrimTrailing(std::string& S);
// Trailing "0"s, then a trailing ".", then blanks at both ends.
void CtlTrimTrailingZeros(std::string& S);
// For a text with an exponent: the zeros before the "E" (and a "." left before it) and the leading
// zeros of the exponent go; an all-zero exponent cuts the text at the "E".
void CtlTrimEmbeddedZeros(std::string& S);
// Decimal, or hexadecimal after "$" (the first "0x" reads as "$"); trailing blanks are ignored.
// On failure Value is the 1-based position of the offending character less one; texts of 256
// characters or more fail with -1.
bool CtlTextToLong(std::string_view S, int32_t& Value);
std::string CtlBinaryStr(uint32_t L);
std::string CtlOctalLong(uint32_t L);
std::string CtlHexWord(uint16_t W);
std::string CtlHexLong(uint32_t L);
char CtlUpperChar(char Ch);
char CtlLowerChar(char Ch);
// Each tab becomes blanks up to the next column (from 0) that is a multiple of TabSize; TabSize 0
// gives an empty text.
std::string CtlExpandTabs(std::string_view Src, uint32_t TabSize);

using TCtlSkipTable = std::array<uint8_t, 256>;
TCtlSkipTable CtlBuildSkipTable(std::string_view Pattern);
// Search of Pattern in Buffer with the skip table built for it; case-sensitive.
bool CtlSearchText(std::string_view Buffer, const TCtlSkipTable& Table, std::string_view Pattern,
                   uint32_t& Pos);
// As CtlSearchText, with the buffer's characters upper-cased and Pattern (and its table) given in
// upper case.
bool CtlSearchTextNoCase(std::string_view Buffer, const TCtlSkipTable& Table, std::string_view Pattern,
                         uint32_t& Pos);

// Words are runs of characters that are not in Delims; N counts from 1.
int CtlWordCount(std::string_view S, std::string_view Delims);
// The 1-based position of the N-th word, 0 when there is none.
int CtlWordPosition(int N, std::string_view S, std::string_view Delims);
std::string CtlExtractWord(int N, std::string_view S, std::string_view Delims);

// Normalizes a typed number for conversion: DecimalChar becomes ".", a lone point gets its zero,
// an exponent gets a point.
void CtlFixNumberText(std::string& S, char DecimalChar);

// The vertical offset of single-line text in a field of the given height: the smaller of the
// heights (tmHeight) of the system font and of Font, measured on a screen context, decides.
int CtlTextTopOffset(const framework::TFont& Font, bool HasBorder, int Height, bool Ctl3D);
// The cell heights (tmHeight) of the system font and of Font on a screen context.
void CtlFontHeights(const framework::TFont& Font, int& SystemHeight, int& FontHeight);

// 0 when equal, -1 or 1 by the first differing byte (unsigned).
int CtlCompareBuffers(const void* A, const void* B, uint32_t Length);

// VK_LBUTTON, or VK_RBUTTON when the system swaps the mouse buttons.
int CtlPrimaryButtonKey();
// 4 when Ctrl is down, + 2 for Shift, + 8 for Alt.
uint8_t CtlGetShiftState();
// A font handle for the font turned by Angle degrees.
uintptr_t CtlCreateRotatedFont(const framework::TFont& Font, int Angle);

// The bitmap resource of that name that the program registered (names ignore case); an empty bitmap
// for an unknown name.
std::unique_ptr<framework::TBitmap> CtlLoadLibraryBitmap(std::string_view Name);
// The cursor resource of that name (loaded once, kept for the program's life); 0 for an unknown name.
uintptr_t CtlLoadLibraryCursor(std::string_view Name);

constexpr int32_t CtlMinInt(int32_t A, int32_t B) {
    return A < B ? A : B;
}
constexpr int32_t CtlMaxInt(int32_t A, int32_t B) {
    return A > B ? A : B;
}

}  // namespace entry
