#include "controls/entry/CtlPictureMask.h"

#include <algorithm>
#include <cstring>

#include "platform/Locale.h"

namespace entry {
namespace {

bool IsAlphaSet(char Ch) {
    const auto c = static_cast<uint8_t>(Ch);
    if ((Ch >= 'A' && Ch <= 'Z') || (Ch >= 'a' && Ch <= 'z')) return true;
    if (Ch == ' ' || Ch == ',' || Ch == '-' || Ch == '.') return true;
    return c >= 128 && platform::IsCharAlpha(Ch);
}

bool IsDigit(char Ch) {
    return Ch >= '0' && Ch <= '9';
}

bool InSet(char Ch, const char* Set) {
    return Ch != '\0' && std::strchr(Set, Ch) != nullptr;
}

char ForceFor(char MaskChar, char Ch, char Prev, const TCtlUserData& User) {
    auto upperX = [&] { return (Prev == ' ' || Prev == '-') ? platform::CharUpper(Ch) : Ch; };
    if (MaskChar >= '1' && MaskChar <= '8') {
        switch (User.GetForceCase(MaskChar)) {
            case 1:
                return platform::CharUpper(Ch);
            case 2:
                return platform::CharLower(Ch);
            case 3:
                return upperX();
            default:
                return Ch;
        }
    }
    if (InSet(MaskChar, "!AEKBYN")) return platform::CharUpper(Ch);
    if (InSet(MaskChar, "Ll")) return platform::CharLower(Ch);
    if (MaskChar == 'x') return upperX();
    return Ch;
}

}  // namespace

bool IsEditableMaskChar(char MaskChar) {
    return InSet(MaskChar, "X!LxaAl9i#EKObBY12345678dDmMyhHsSnNt");
}

bool IsPictureCharValid(char MaskChar, char& Ch, bool Force, char Prev, const TCtlIntlSup& Intl,
                        const TCtlUserData& User) {
    if (Ch == '\0') return false;
    if (Force) Ch = ForceFor(MaskChar, Ch, Prev, User);
    if (MaskChar >= '1' && MaskChar <= '8') {
        TCtlCharSet set;
        User.GetUserCharSet(MaskChar, set);
        return set.test(static_cast<uint8_t>(Ch));
    }
    switch (MaskChar) {
        case 'X':
        case '!':
        case 'L':
        case 'x':
        case 't':
            return true;
        case 'a':
        case 'A':
        case 'l':
        case 'n':
        case 'N':
            return IsAlphaSet(Ch);
        case '9':
        case 'd':
        case 'D':
        case 'm':
        case 'M':
        case 'y':
        case 'h':
        case 'H':
        case 's':
        case 'S':
            return Ch == ' ' || IsDigit(Ch);
        case 'i':
            return Ch == ' ' || IsDigit(Ch) || Ch == '-';
        case '#':
            return Ch == ' ' || IsDigit(Ch) || Ch == '-' || Ch == '.';
        case 'E':
            return Ch == ' ' || IsDigit(Ch) || InSet(Ch, "-.+E");
        case 'K':
            return Ch == ' ' || IsDigit(Ch) || (Ch >= 'A' && Ch <= 'F');
        case 'O':
            return Ch == ' ' || (Ch >= '0' && Ch <= '7');
        case 'b':
            return Ch == ' ' || Ch == '0' || Ch == '1';
        case 'B':
            return Ch == Intl.TrueChar || Ch == Intl.FalseChar;
        case 'Y':
            return Ch == Intl.YesChar || Ch == Intl.NoChar;
        default:
            return false;
    }
}

void TCtlPictureMask::Assign(const std::string& Mask, uint16_t MaxLength) {
    FMaxLength = std::min<uint16_t>(MaxLength, MaxPictureLength);
    FMask = Mask.substr(0, MaxPictureLength);
    FFullMask = FMask.substr(0, FMaxLength);
    if (!FMask.empty() && FFullMask.size() < FMaxLength) FFullMask.resize(FMaxLength, FMask.back());
    FFullMask.resize(FMaxLength, ' ');
    FFlags.assign(FMaxLength, pfLiteral);
    FSpecialCount = 0;
    FAllPicture = true;
    for (int i = 0; i < FMaxLength; ++i) {
        const char m = FFullMask[static_cast<size_t>(i)];
        if (IsEditableMaskChar(m)) {
            FFlags[static_cast<size_t>(i)] = pfEditable;
        } else {
            FAllPicture = false;
            if (m == '$' || m == ',') {
                FFlags[static_cast<size_t>(i)] = pfSpecial;
                ++FSpecialCount;
            }
        }
    }
}

char TCtlPictureMask::MaskAt(int Pos) const {
    return (Pos >= 0 && Pos < FMaxLength) ? FFullMask[static_cast<size_t>(Pos)] : '\0';
}

uint8_t TCtlPictureMask::Flag(int Pos) const {
    return (Pos >= 0 && Pos < FMaxLength) ? FFlags[static_cast<size_t>(Pos)] : uint8_t{pfLiteral};
}

int TCtlPictureMask::PointPos() const {
    const auto p = FFullMask.find('.');
    return p == std::string::npos ? -1 : static_cast<int>(p);
}

int TCtlPictureMask::FirstEditPosition() const {
    int i = 0;
    while (i < FMaxLength - 1 && Flag(i) == pfLiteral) ++i;
    return i + FSpecialCount;
}

int TCtlPictureMask::LastEditPosition() const {
    for (int i = FMaxLength - 1; i >= 1; --i)
        if (Flag(i) != pfLiteral) return i;
    return 0;
}

int TCtlPictureMask::EndOfText(const std::string& Text) const {
    const int last = std::min<int>(LastEditPosition(), static_cast<int>(Text.size()) - 1);
    for (int i = last; i >= 0; --i)
        if (Flag(i) != pfLiteral && Text[static_cast<size_t>(i)] != ' ') return i + 1;
    return 0;
}

bool TCtlPictureMask::IsEmpty(const std::string& Text) const {
    const int n = std::min<int>(FMaxLength, static_cast<int>(Text.size()));
    for (int i = 0; i < n; ++i)
        if (Flag(i) != pfLiteral && Text[static_cast<size_t>(i)] != ' ') return false;
    return true;
}

std::string TCtlPictureMask::Merge(const std::string& Value) const {
    std::string dest = FFullMask;
    const int len = static_cast<int>(dest.size());
    const std::string curLeft = FIntl.CurrencyLeftStr();
    const std::string curRight = FIntl.CurrencyRightStr();
    auto literalAt = [&](int i) {
        const char m = MaskAt(i);
        const char sub = FUser.GetSubstChar(m);
        if (sub != '\0') dest[static_cast<size_t>(i)] = sub;
    };

    // Currency runs: the left string right-aligned in the 'c' run, the right one left-aligned in
    // the 'C' run.
    if (auto c = FFullMask.find('c'); c != std::string::npos) {
        size_t e = c;
        while (e + 1 < FFullMask.size() && FFullMask[e + 1] == 'c') ++e;
        size_t k = curLeft.size();
        for (size_t i = e + 1; i-- > c;) dest[i] = k > 0 ? curLeft[--k] : ' ';
    }
    if (auto c = FFullMask.find('C'); c != std::string::npos) {
        size_t k = 0;
        for (size_t i = c; i < FFullMask.size() && FFullMask[i] == 'C'; ++i)
            dest[i] = k < curRight.size() ? curRight[k++] : ' ';
    }

    const bool numeric =
        FSpecialCount > 0 || Numeric || IsRadixMask() || HasChar('.') || HasChar('c') || HasChar('C');
    if (numeric) {
        size_t budget = 0;
        int lastDollar = -1;
        if (auto d = FFullMask.find('$'); d != std::string::npos) {
            size_t e = d;
            while (e + 1 < FFullMask.size() && FFullMask[e + 1] == '$') ++e;
            budget = std::min(curLeft.size(), e - d + 1);
            lastDollar = static_cast<int>(e);
        }
        std::string v = Value;
        v.erase(0, v.find_first_not_of(' '));
        v.erase(v.find_last_not_of(' ') + 1);
        const bool hadValue = !v.empty();
        const bool negative = !v.empty() && v[0] == '-';
        if (negative) v.erase(0, 1);
        const auto vp = v.find('.');
        const std::string intPart = v.substr(0, vp);
        const std::string fracPart = vp == std::string::npos ? std::string() : v.substr(vp + 1);

        const int point = PointPos();
        if (point >= 0) {
            size_t k = 0;
            for (int i = point + 1; i < len; ++i) {
                if (Flag(i) == pfEditable)
                    dest[static_cast<size_t>(i)] = k < fracPart.size() ? fracPart[k++] : '0';
                else if (Flag(i) == pfLiteral)
                    literalAt(i);
            }
        }

        const std::string cut = curLeft.substr(0, budget);
        size_t curIdx = cut.size();
        bool signDone = !negative;
        const char fill = IsRadixMask() ? '0' : ' ';
        auto filler = [&]() -> char {
            if (curIdx > 0 && hadValue) return cut[--curIdx];
            if (!signDone) {
                signDone = true;
                return '-';
            }
            return fill;
        };
        size_t digits = intPart.size();
        int newPoint = point;
        for (int i = point >= 0 ? point : len - 1; i >= 0; --i) {
            const auto at = static_cast<size_t>(i);
            const char m = MaskAt(i);
            if (Flag(i) == pfLiteral) {
                if (m == '.')
                    dest[at] = FIntl.DecimalChar;
                else
                    literalAt(i);
            } else if (m == ',') {
                if (digits == 0) {
                    dest[at] = filler();
                } else if (FIntl.ThousandChar == '\0') {
                    dest.erase(at, 1);
                    --newPoint;
                } else {
                    dest[at] = FIntl.ThousandChar;
                }
            } else {
                dest[at] = (digits > 0 && i > lastDollar) ? intPart[--digits] : filler();
            }
        }
        if (newPoint > 0 && dest[static_cast<size_t>(newPoint - 1)] == ' ')
            dest[static_cast<size_t>(newPoint - 1)] = '0';
    } else {
        std::string v = Value;
        if (Floating && v.size() > FMaxLength && v.find('.') != std::string::npos) {
            v.erase(v.find_last_not_of('0') + 1);
            if (!v.empty() && v.back() == '.') v.pop_back();
        }
        auto lay = [&](int i, size_t& k, bool fromRight) {
            const auto at = static_cast<size_t>(i);
            if (Flag(i) == pfLiteral) {
                literalAt(i);
                return;
            }
            char ch = ' ';
            if (fromRight ? k > 0 : k < v.size()) ch = fromRight ? v[--k] : v[k++];
            dest[at] = ForceFor(MaskAt(i), ch, '\0', FUser);
        };
        size_t k = RightJustify ? v.size() : 0;
        if (RightJustify)
            for (int i = len - 1; i >= 0; --i) lay(i, k, true);
        else
            for (int i = 0; i < len; ++i) lay(i, k, false);
        if (Floating) std::replace(dest.begin(), dest.end(), '.', FIntl.DecimalChar);
    }
    if (dest.size() > FMaxLength) dest.resize(FMaxLength);
    return dest;
}

std::string TCtlPictureMask::Strip(const std::string& Source) const {
    if (Source.size() != FMaxLength) return Source;
    const int point = PointPos();
    std::string dest;
    for (int i = 0; i < FMaxLength; ++i)
        if (Flag(i) != pfLiteral || i == point) dest += Source[static_cast<size_t>(i)];
    if (auto d = FFullMask.find('$'); d != std::string::npos) {
        size_t e = d;
        while (e + 1 < FFullMask.size() && FFullMask[e + 1] == '$') ++e;
        const std::string cut = FIntl.CurrencyLeftStr().substr(0, e - d + 1);
        if (!cut.empty())
            if (auto f = dest.find(cut); f != std::string::npos) dest.erase(f, cut.size());
    }
    if (HasChar(',') && FIntl.ThousandChar != '\0')
        dest.erase(std::remove(dest.begin(), dest.end(), FIntl.ThousandChar), dest.end());
    std::replace(dest.begin(), dest.end(), FIntl.DecimalChar, '.');
    return dest;
}

bool TCtlPictureMask::PrepareEditBuffer(std::string& Text) const {
    if (FSpecialCount == 0) return IsRadixMask();
    auto p = static_cast<size_t>(FirstEditPosition() - FSpecialCount);
    const std::string curLeft = FIntl.CurrencyLeftStr();
    if (HasChar('$') && !curLeft.empty()) {
        if (auto f = Text.find(curLeft); f != std::string::npos) {
            Text.erase(f, curLeft.size());
            Text.insert(std::min(p, Text.size()), curLeft.size(), ' ');
            p += curLeft.size();
        }
    }
    if (HasChar(',') && FIntl.ThousandChar != '\0') {
        const auto last = static_cast<size_t>(LastEditPosition());
        for (size_t i = p; i <= last && i < Text.size(); ++i) {
            if (Text[i] != FIntl.ThousandChar) continue;
            Text.erase(i, 1);
            Text.insert(std::min(p, Text.size()), 1, ' ');
            ++p;
        }
    }
    return true;
}

void TCtlPictureMask::AlignDecimal(std::string& Text, int PointPos, int FirstPos, bool Right, bool Left,
                                   int LastPos) const {
    const int n = static_cast<int>(Text.size());
    if (PointPos < 0 || PointPos >= n) return;
    if (Left) {
        int s = PointPos;
        while (s - 1 >= std::max(FirstPos, 0) && Flag(s - 1) == pfEditable) --s;
        std::string run = Text.substr(static_cast<size_t>(s), static_cast<size_t>(PointPos - s));
        std::string kept;
        for (char c : run)
            if (c != ' ') kept += c;
        run = std::string(run.size() - kept.size(), ' ') + kept;
        if (!run.empty() && run.back() == ' ') run.back() = '0';
        Text.replace(static_cast<size_t>(s), run.size(), run);
    }
    if (Right) {
        int e = PointPos + 1;
        while (e < n && e <= LastPos && Flag(e) == pfEditable) ++e;
        const auto s = static_cast<size_t>(PointPos + 1);
        std::string run = Text.substr(s, static_cast<size_t>(e) - s);
        std::string kept;
        for (char c : run)
            if (c != ' ') kept += c;
        kept.resize(run.size(), '0');
        Text.replace(s, kept.size(), kept);
    }
}

std::string TCtlPictureMask::DisplayString(const std::string& Text, char PadChar, bool PasswordMode,
                                           char PasswordChar, bool UninitializedUnfocused) const {
    if (UninitializedUnfocused) return std::string(FMaxLength, ' ');
    std::string s = Text;
    if (!PasswordMode && PadChar == ' ') return s;
    for (int i = 0; i < static_cast<int>(s.size()); ++i) {
        if (Flag(i) == pfLiteral && !FAllPicture) continue;
        char& c = s[static_cast<size_t>(i)];
        if (c == ' ')
            c = PadChar;
        else if (PasswordMode)
            c = PasswordChar;
    }
    return s;
}

}  // namespace entry
