#include "framework/core/SysUtils.h"

#include <algorithm>
#include <cstring>

#include "platform/CodePage.h"
#include "platform/Files.h"

namespace framework {

namespace {

unsigned char Byte(char c) {
    return static_cast<unsigned char>(c);
}

unsigned char AsciiUpper(unsigned char c) {
    return c >= 'a' && c <= 'z' ? c - 32 : c;
}

unsigned char AnsiUpperByte(unsigned char c) {
    return platform::AnsiUpperChar(c);
}

template <typename Key>
int CompareBy(std::string_view a, std::string_view b, Key key) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int d = int(key(Byte(a[i]))) - int(key(Byte(b[i])));
        if (d != 0) return d;
    }
    return int(a.size() > b.size()) - int(a.size() < b.size());
}

bool IsBlankOrControl(char c) {
    return Byte(c) <= ' ';
}

}  // namespace

// The code page's case table is the one the platform pins, shared with the engine and every other
// case-insensitive comparison of the system.
char AnsiUpperChar(char c) {
    return static_cast<char>(platform::AnsiUpperChar(Byte(c)));
}
char AnsiLowerChar(char c) {
    return static_cast<char>(platform::AnsiLowerChar(Byte(c)));
}

std::string UpperCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return r;
}

std::string LowerCase(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return r;
}

std::string AnsiUpperCase(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = AnsiUpperChar(c);
    return r;
}

std::string AnsiLowerCase(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = AnsiLowerChar(c);
    return r;
}

int CompareStr(std::string_view a, std::string_view b) {
    return CompareBy(a, b, [](unsigned char c) { return c; });
}

int CompareText(std::string_view a, std::string_view b) {
    return CompareBy(a, b, AsciiUpper);
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareText(a, b) == 0;
}

int AnsiCompareText(std::string_view a, std::string_view b) {
    return CompareBy(a, b, AnsiUpperByte);
}

int AnsiCompareStr(std::string_view a, std::string_view b) {
    if (int d = AnsiCompareText(a, b); d != 0) return d;
    // Same letters; the first difference in case decides, the lower-case letter first.
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i]) continue;
        const bool aIsLower = AnsiUpperChar(a[i]) != a[i];
        return aIsLower ? -1 : 1;
    }
    return 0;
}

bool AnsiSameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && AnsiCompareText(a, b) == 0;
}

bool AnsiSameStr(std::string_view a, std::string_view b) {
    return a == b;
}

int AnsiStrComp(const char* a, const char* b) {
    return AnsiCompareStr(a, b);
}
int AnsiStrIComp(const char* a, const char* b) {
    return AnsiCompareText(a, b);
}

int AnsiStrLComp(const char* a, const char* b, std::size_t maxLen) {
    return AnsiCompareStr(std::string_view(a, strnlen(a, maxLen)), std::string_view(b, strnlen(b, maxLen)));
}

int AnsiStrLIComp(const char* a, const char* b, std::size_t maxLen) {
    return AnsiCompareText(std::string_view(a, strnlen(a, maxLen)), std::string_view(b, strnlen(b, maxLen)));
}

std::string Trim(std::string_view s) {
    return TrimLeft(TrimRight(s));
}

std::string TrimLeft(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && IsBlankOrControl(s[i])) ++i;
    return std::string(s.substr(i));
}

std::string TrimRight(std::string_view s) {
    std::size_t n = s.size();
    while (n > 0 && IsBlankOrControl(s[n - 1])) --n;
    return std::string(s.substr(0, n));
}

std::string QuotedStr(std::string_view s) {
    return AnsiQuotedStr(s, '\'');
}

std::string AnsiQuotedStr(std::string_view s, char quote) {
    std::string r;
    r.reserve(s.size() + 2);
    r += quote;
    for (char c : s) {
        r += c;
        if (c == quote) r += quote;
    }
    r += quote;
    return r;
}

std::string AnsiDequotedStr(std::string_view s, char quote) {
    if (s.empty() || s[0] != quote) return std::string(s);
    std::string r;
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i] == quote) {
            if (i + 1 < s.size() && s[i + 1] == quote) {
                r += quote;
                ++i;
                continue;
            }
            break;
        }
        r += s[i];
    }
    return r;
}

std::string StringReplace(std::string_view s, std::string_view oldPattern, std::string_view newPattern,
                          TReplaceFlags flags) {
    if (oldPattern.empty()) return std::string(s);
    std::string haystack, needle;
    std::string_view searchIn = s, searchFor = oldPattern;
    if (flags & rfIgnoreCase) {
        haystack = AnsiUpperCase(s);
        needle = AnsiUpperCase(oldPattern);
        searchIn = haystack;
        searchFor = needle;
    }
    std::string r;
    std::size_t from = 0;
    while (true) {
        const std::size_t at = searchIn.find(searchFor, from);
        if (at == std::string_view::npos) break;
        r.append(s.substr(from, at - from));
        r.append(newPattern);
        from = at + searchFor.size();
        if (!(flags & rfReplaceAll)) break;
    }
    r.append(s.substr(from));
    return r;
}

int Pos(std::string_view sub, std::string_view s) {
    if (sub.empty()) return 0;
    const std::size_t at = s.find(sub);
    return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

std::string Copy(std::string_view s, int index, int count) {
    if (index < 1) index = 1;
    if (count <= 0 || static_cast<std::size_t>(index) > s.size()) return {};
    return std::string(s.substr(static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count)));
}

void Delete(std::string& s, int index, int count) {
    if (index < 1 || static_cast<std::size_t>(index) > s.size() || count <= 0) return;
    s.erase(static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count));
}

void Insert(std::string_view sub, std::string& s, int index) {
    const int at = std::clamp(index, 1, static_cast<int>(s.size()) + 1);
    s.insert(static_cast<std::size_t>(at - 1), sub);
}

bool DirectoryExists(const std::string& name) {
    if (name.empty() || name.find_first_of("*?") != std::string::npos) return false;
    uint32_t attributes = platform::GetFileAttributes(name);
    return attributes != platform::INVALID_FILE_ATTRIBUTES &&
           (attributes & platform::FILE_ATTRIBUTE_DIRECTORY);
}

bool ForceDirectories(const std::string& dir) {
    std::string path = dir;
    while (path.size() > 3 && path.back() == '\\') path.pop_back();  // "C:\" keeps its backslash
    if (path.empty()) return false;
    if (DirectoryExists(path)) return true;
    size_t slash = path.find_last_of('\\');
    if (slash != std::string::npos && slash > 0 && path[slash - 1] != ':' &&
        !ForceDirectories(path.substr(0, slash)))
        return false;
    return platform::CreateDirectory(path) || DirectoryExists(path);
}

int32_t PercentOf(int64_t done, int64_t total) {
    if (total <= 0) return 0;
    if (done >= total) return 100;
    if (done <= 0) return 0;
    // 0 < done < total: a 128-bit product cannot overflow, and the quotient is below 100.
    return static_cast<int32_t>(static_cast<__int128>(done) * 100 / total);
}

}  // namespace framework
