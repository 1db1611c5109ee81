#include "controls/entry/CtlStrings.h"

#include <algorithm>
#include <cstring>

#include "framework/graphics/Gdi.h"
#include "framework/ui/Graphics.h"
#include "framework/ui/Messages.h"
#include "framework/ui/Resources.h"
#include "framework/ui/Windows.h"
#include "platform/Locale.h"

namespace entry {

namespace {

size_t Clamp(std::string_view S, uint32_t Pos) {
    return std::min<size_t>(Pos, S.size());
}

void TrimLeft(std::string& S) {
    size_t i = 0;
    while (i < S.size() && S[i] == ' ') ++i;
    S.erase(0, i);
}

void TrimRight(std::string& S) {
    while (!S.empty() && S.back() == ' ') S.pop_back();
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads an integer as the class library's Val does: blanks, a sign, then decimal digits or
// hexadecimal ones after "$", "x" or "0x". Returns 0, or the 1-based position of the first
// character that does not fit (one past the end when the digits are missing).
size_t ValLong(std::string_view s, int32_t& Value) {
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    bool hex = false;
    if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= s.size()) return i + 1;
    uint64_t v = 0;
    const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 2147483648ull : 2147483647ull);
    for (; i < s.size(); ++i) {
        const int d = hex ? HexDigit(s[i]) : ((s[i] >= '0' && s[i] <= '9') ? s[i] - '0' : -1);
        if (d < 0) return i + 1;
        v = v * (hex ? 16 : 10) + static_cast<uint64_t>(d);
        if (v > limit) return i + 1;
    }
    const uint32_t bits = static_cast<uint32_t>(v);
    Value = static_cast<int32_t>(negative ? 0u - bits : bits);
    return 0;
}

}  // namespace

bool CtlCharPos(std::string_view S, char Ch, uint32_t& Pos) {
    const size_t p = S.find(Ch);
    if (p == std::string_view::npos) return false;
    Pos = static_cast<uint32_t>(p);
    return true;
}

bool CtlTextPos(std::string_view S, std::string_view T, uint32_t& Pos) {
    if (S.empty() || T.empty() || T.size() > S.size()) return false;
    const size_t p = S.find(T);
    if (p == std::string_view::npos) return false;
    Pos = static_cast<uint32_t>(p);
    return true;
}

void CtlInsertChar(std::string& S, char Ch, uint32_t Pos) {
    S.insert(Clamp(S, Pos), 1, Ch);
}

void CtlDeleteChar(std::string& S, uint32_t Pos) {
    if (Pos < S.size()) S.erase(Pos, 1);
}

void CtlInsertChars(std::string& S, char Ch, uint32_t Pos, uint32_t Count) {
    S.insert(Clamp(S, Pos), Count, Ch);
}

void CtlInsertText(std::string& S, std::string_view T, uint32_t Pos) {
    if (!T.empty()) S.insert(Clamp(S, Pos), T);
}

void CtlDeleteText(std::string& S, uint32_t Pos, uint32_t Count) {
    if (Pos >= S.size()) return;
    if (Count >= S.size() - Pos)
        S.resize(Pos);
    else
        S.erase(Pos, Count);
}

std::string CtlCopyText(std::string_view S, uint32_t Pos, uint32_t Count) {
    if (Pos >= S.size()) return {};
    return std::string(S.substr(Pos, Count));
}

std::string CtlFillChars(char Ch, uint32_t Count) {
    return std::string(Count, Ch);
}

void CtlTrimSpaces(std::string& S) {
    TrimRight(S);
    TrimLeft(S);
}

std::string& CtlTrimTrailing(std::string& S) {
    while (!S.empty() && static_cast<unsigned char>(S.back()) <= 32) S.pop_back();
    return S;
}

void CtlTrimTrailingZeros(std::string& S) {
    while (!S.empty() && S.back() == '0') S.pop_back();
    if (!S.empty() && S.back() == '.') S.pop_back();
    CtlTrimSpaces(S);
}

void CtlTrimEmbeddedZeros(std::string& S) {
    size_t e = S.find('E');
    if (e == std::string::npos) return;
    size_t z = e;
    while (z > 0 && S[z - 1] == '0') --z;
    S.erase(z, e - z);
    e = z;
    if (e > 0 && S[e - 1] == '.') {
        S.erase(e - 1, 1);
        --e;
    }
    size_t digits = e + 1;
    if (digits < S.size() && (S[digits] == '+' || S[digits] == '-')) ++digits;
    size_t firstNonZero = digits;
    while (firstNonZero < S.size() && S[firstNonZero] == '0') ++firstNonZero;
    if (firstNonZero >= S.size())
        S.resize(e);
    else
        S.erase(digits, firstNonZero - digits);
}

bool CtlTextToLong(std::string_view S, int32_t& Value) {
    if (S.size() >= 256) {
        Value = -1;
        return false;
    }
    std::string s(S);
    TrimRight(s);
    if (size_t p = s.find("0x"); p != std::string::npos) s.replace(p, 2, "$");
    int32_t v = 0;
    const size_t error = ValLong(s, v);
    if (error != 0) {
        Value = static_cast<int32_t>(error) - 1;
        return false;
    }
    Value = v;
    return true;
}

std::string CtlBinaryStr(uint32_t L) {
    std::string s(32, '0');
    for (int i = 0; i < 32; ++i)
        if (L & (1u << (31 - i))) s[i] = '1';
    return s;
}

std::string CtlOctalLong(uint32_t L) {
    std::string s(12, '0');
    for (int i = 11; i >= 0; --i) {
        s[i] = static_cast<char>('0' + (L & 7));
        L >>= 3;
    }
    return s;
}

std::string CtlHexWord(uint16_t W) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string s(4, '0');
    for (int i = 3; i >= 0; --i) {
        s[i] = kDigits[W & 15];
        W = static_cast<uint16_t>(W >> 4);
    }
    return s;
}

std::string CtlHexLong(uint32_t L) {
    return CtlHexWord(static_cast<uint16_t>(L >> 16)) + CtlHexWord(static_cast<uint16_t>(L));
}

char CtlUpperChar(char Ch) {
    return platform::CharUpper(Ch);
}

char CtlLowerChar(char Ch) {
    return platform::CharLower(Ch);
}

std::string CtlExpandTabs(std::string_view Src, uint32_t TabSize) {
    std::string out;
    if (TabSize == 0) return out;
    for (char c : Src) {
        if (c == '\t') {
            out.append(TabSize - out.size() % TabSize, ' ');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

TCtlSkipTable CtlBuildSkipTable(std::string_view Pattern) {
    TCtlSkipTable table;
    const size_t len = Pattern.size();
    table.fill(static_cast<uint8_t>(std::min<size_t>(len, 255)));
    for (size_t i = 0; i + 1 < len; ++i) {
        // A distance too large for a byte is kept at 255: a shorter skip never misses a match.
        table[static_cast<unsigned char>(Pattern[i])] =
            static_cast<uint8_t>(std::min<size_t>(len - 1 - i, 255));
    }
    return table;
}

namespace {

template <typename Map>
bool SkipSearch(std::string_view Buffer, const TCtlSkipTable& Table, std::string_view Pattern, uint32_t& Pos,
                Map map) {
    const size_t m = Pattern.size();
    const size_t n = Buffer.size();
    if (m == 0 || m > n) return false;
    if (m == 1) {
        for (size_t i = 0; i < n; ++i) {
            if (map(Buffer[i]) == Pattern[0]) {
                Pos = static_cast<uint32_t>(i);
                return true;
            }
        }
        return false;
    }
    size_t i = m - 1;  // buffer position under the pattern's last character
    while (i < n) {
        size_t k = 0;  // characters matched, from the end
        while (k < m && map(Buffer[i - k]) == Pattern[m - 1 - k]) ++k;
        if (k == m) {
            Pos = static_cast<uint32_t>(i - (m - 1));
            return true;
        }
        // The character that failed decides the move; what was already compared is subtracted.
        const size_t skip = Table[static_cast<unsigned char>(map(Buffer[i - k]))];
        i += skip > k ? skip - k : 1;
    }
    return false;
}

}  // namespace

bool CtlSearchText(std::string_view Buffer, const TCtlSkipTable& Table, std::string_view Pattern,
                   uint32_t& Pos) {
    return SkipSearch(Buffer, Table, Pattern, Pos, [](char c) { return c; });
}

bool CtlSearchTextNoCase(std::string_view Buffer, const TCtlSkipTable& Table, std::string_view Pattern,
                         uint32_t& Pos) {
    return SkipSearch(Buffer, Table, Pattern, Pos, [](char c) { return platform::CharUpper(c); });
}

namespace {

bool IsDelim(char c, std::string_view Delims) {
    return Delims.find(c) != std::string_view::npos;
}

}  // namespace

int CtlWordCount(std::string_view S, std::string_view Delims) {
    int count = 0;
    size_t i = 0;
    while (i < S.size()) {
        while (i < S.size() && IsDelim(S[i], Delims)) ++i;
        if (i < S.size()) ++count;
        while (i < S.size() && !IsDelim(S[i], Delims)) ++i;
    }
    return count;
}

int CtlWordPosition(int N, std::string_view S, std::string_view Delims) {
    int count = 0;
    size_t i = 0;
    while (i < S.size()) {
        while (i < S.size() && IsDelim(S[i], Delims)) ++i;
        if (i < S.size() && ++count == N) return static_cast<int>(i) + 1;
        while (i < S.size() && !IsDelim(S[i], Delims)) ++i;
    }
    return 0;
}

std::string CtlExtractWord(int N, std::string_view S, std::string_view Delims) {
    const int p = CtlWordPosition(N, S, Delims);
    if (p == 0) return {};
    size_t e = static_cast<size_t>(p - 1);
    while (e < S.size() && !IsDelim(S[e], Delims)) ++e;
    return std::string(S.substr(p - 1, e - (p - 1)));
}

void CtlFixNumberText(std::string& S, char DecimalChar) {
    CtlTrimSpaces(S);
    if (S.empty()) {
        S = "0";
        return;
    }
    if (S.back() == DecimalChar) {
        S.pop_back();
        CtlTrimSpaces(S);
    }
    size_t point = S.find(DecimalChar);
    if (point != std::string::npos && point != 0) {
        S[point] = '.';
    } else {
        point = S.find('.');
    }
    if (point != std::string::npos) {
        if (point == S.size() - 1) {
            S.push_back('0');
        } else if (point == 0) {
            S.insert(0, 1, '0');
            point = 1;
        } else if (point == 1 && S[0] == '-') {
            S.insert(1, 1, '0');
            point = 2;
        }
    }
    const size_t e = S.find('E');
    if (e != std::string::npos && e != 0) {
        if (point == std::string::npos) {
            S.insert(e, 1, '.');
            point = e;
        }
        const size_t ePos = S.find('E');
        if (ePos > point && ePos - point < 12) S.insert(ePos, "00000");
    }
    if (point != std::string::npos) {
        size_t after = point + 1;
        size_t end = after;
        while (end < S.size() && S[end] == ' ') ++end;
        S.erase(after, end - after);
        size_t start = point;
        while (start > 0 && S[start - 1] == ' ') --start;
        S.erase(start, point - start);
    }
}

namespace {

// The cell height (tmHeight) of a font on a context compatible with the screen.
int FontCellHeight(framework::HDC Dc, framework::HGDIOBJ Font) {
    const framework::HGDIOBJ old = framework::SelectObject(Dc, Font);
    framework::TTextMetric tm;
    const bool ok = framework::GetTextMetrics(Dc, tm);
    framework::SelectObject(Dc, old);
    return ok ? tm.tmHeight : 0;
}

}  // namespace

void CtlFontHeights(const framework::TFont& Font, int& SystemHeight, int& FontHeight) {
    const framework::HDC dc = framework::CreateCompatibleDC(0);
    SystemHeight = FontCellHeight(dc, framework::GetStockObject(framework::SYSTEM_FONT));
    const framework::HFONT font = framework::CreateFontIndirect(Font.LogFont());
    FontHeight = FontCellHeight(dc, font);
    framework::DeleteObject(font);
    framework::DeleteDC(dc);
}

int CtlTextTopOffset(const framework::TFont& Font, bool HasBorder, int Height, bool Ctl3D) {
    int systemHeight = 0, fontHeight = 0;
    CtlFontHeights(Font, systemHeight, fontHeight);

    const int i = std::min(systemHeight, fontHeight);
    if (!HasBorder) {
        if (i < Height - 2) return 0;
        return (Height - i - 2) / 2 - ((Height - i) % 2);
    }
    if (i < Height - 4) return 1;
    if (Ctl3D) return (Height - i - 4) / 2 - 1;
    return (Height - i - 4) / 2 - ((Height - i) % 2);
}

int CtlCompareBuffers(const void* A, const void* B, uint32_t Length) {
    if (Length == 0) return 0;
    const int r = std::memcmp(A, B, Length);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int CtlPrimaryButtonKey() {
    return framework::GetSystemMetrics(framework::SM_SWAPBUTTON) != 0 ? framework::VK_RBUTTON
                                                                      : framework::VK_LBUTTON;
}

uint8_t CtlGetShiftState() {
    uint8_t state = 0;
    if (framework::GetKeyState(framework::VK_CONTROL) < 0) state += 4;
    if (framework::GetKeyState(framework::VK_SHIFT) < 0) state += 2;
    if (framework::GetKeyState(framework::VK_MENU) < 0) state += 8;
    return state;
}

uintptr_t CtlCreateRotatedFont(const framework::TFont& Font, int Angle) {
    framework::TLogFont lf;
    lf.Height = Font.Height();
    lf.Width = 0;
    lf.Escapement = Angle * 10;
    lf.Orientation = 0;
    lf.Weight = (Font.Style & framework::fsBold) ? framework::FW_BOLD : framework::FW_NORMAL;
    lf.Italic = (Font.Style & framework::fsItalic) != 0;
    lf.Underline = (Font.Style & framework::fsUnderline) != 0;
    lf.StrikeOut = (Font.Style & framework::fsStrikeOut) != 0;
    lf.CharSet = framework::DEFAULT_CHARSET;
    lf.FaceName = Font.Name;
    switch (Font.Pitch) {
        case framework::fpFixed:
            lf.PitchAndFamily = framework::FIXED_PITCH;
            break;
        case framework::fpVariable:
            lf.PitchAndFamily = framework::VARIABLE_PITCH;
            break;
        default:
            lf.PitchAndFamily = framework::DEFAULT_PITCH;
            break;
    }
    return framework::CreateFontIndirect(lf);
}

std::unique_ptr<framework::TBitmap> CtlLoadLibraryBitmap(std::string_view Name) {
    auto bitmap = std::make_unique<framework::TBitmap>();
    framework::LoadBitmapResource(*bitmap, std::string(Name), framework::HInstance);
    return bitmap;
}

uintptr_t CtlLoadLibraryCursor(std::string_view Name) {
    return framework::LoadCursor(framework::HInstance, std::string(Name));
}

}  // namespace entry
