#include "catalog/TextHelpers.h"

#include <algorithm>

namespace catalog {

namespace {

std::string Cut(std::string_view s) {
    return std::string(s.substr(0, kShortTextMax));
}

}  // namespace

void UpperCaseInPlace(std::string& S) {
    for (char& c : S)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
}

std::string UpperCaseCopy(std::string_view S) {
    std::string result = Cut(S);
    UpperCaseInPlace(result);
    return result;
}

std::string FillString(uint8_t Count, char Ch) {
    return std::string(Count, Ch);
}

std::string LeftJustify(std::string_view S, uint8_t Width) {
    if (Width < S.size()) return std::string(S.substr(0, Width));
    return std::string(S) + std::string(Width - S.size(), ' ');
}

std::string RightJustify(std::string_view S, uint8_t Width) {
    if (Width < S.size()) return std::string(S.substr(0, Width));
    return std::string(Width - S.size(), ' ') + std::string(S);
}

std::string CenterJustify(std::string_view S, uint8_t Width) {
    if (Width < S.size()) return std::string(S.substr(0, Width));
    const std::size_t left = (Width - S.size()) / 2;
    return std::string(left, ' ') + std::string(S) + std::string(Width - left - S.size(), ' ');
}

std::string TrimTrailing(std::string_view S) {
    std::size_t end = S.size();
    while (end > 0) {
        const auto c = static_cast<unsigned char>(S[end - 1]);
        if (c != 0 && c != ' ' && c != 0xFF) break;
        --end;
    }
    return Cut(S.substr(0, end));
}

std::string BlanksToZeros(std::string_view S) {
    std::string result = Cut(S);
    std::replace(result.begin(), result.end(), ' ', '0');
    return result;
}

std::string QuoteForSql(std::string_view S) {
    std::string result;
    result.reserve(kShortTextMax);
    for (char c : S) {
        const std::size_t need = c == '"' ? 2 : 1;
        if (result.size() + need > kShortTextMax) break;
        result.append(need, c);
    }
    return result;
}

std::string FormatSqlDate(framework::TDateTime D) {
    uint16_t year = 0, month = 0, day = 0;
    framework::DecodeDate(D, year, month, day);
    return std::to_string(year) + "-" + std::to_string(month) + "-" + std::to_string(day);
}

}  // namespace catalog
