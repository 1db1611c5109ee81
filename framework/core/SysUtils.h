#pragma once
// Text routines of the class library over byte strings in Windows-1252 (one character = one byte).
//
// Two families of case handling exist side by side:
//  - the plain routines (UpperCase, CompareText, SameText) touch only the ASCII letters a-z/A-Z;
//  - the "Ansi" routines use the code page's own case table, so that accented letters such as
//    0xE9 and 0xC9 are the same letter in two cases.
// Positions taken or returned by Pos, Copy, Delete and Insert count from 1, as the callers do.

#include <cstdint>
#include <string>
#include <string_view>

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

}  // namespace framework
