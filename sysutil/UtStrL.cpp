#include "sysutil/UtStrL.h"

#include "sysutil/UtStrS.h"

namespace sysutil {

std::string PadToLength(std::string_view text, char c, size_t length) {
    std::string out(text);
    if (out.size() < length) out.append(length - out.size(), c);
    return out;
}

bool ContainsCharLong(std::string_view text, char c) {
    return ContainsChar(text, c);
}

bool HasFileExtLong(std::string_view name, size_t& dotPos) {
    return HasFileExt(name, dotPos);
}

std::string FileExtPartLong(std::string_view name) {
    size_t dotPos;
    if (!HasFileExtLong(name, dotPos)) return {};
    return std::string(name.substr(dotPos, kLongFileNameMax));
}

void WrapAtMargin(std::string_view text, std::string& line, std::string& rest, int margin, bool pad) {
    const size_t m = margin < 1 ? 1 : static_cast<size_t>(margin);
    const size_t len = text.size();
    // at(i) is the character at 1-based position i.
    auto blank = [&](size_t i) { return text[i - 1] == ' '; };
    if (len == 0) {
        line.clear();
        rest.clear();
        return;
    }
    size_t b = len;
    if (len > m) {
        // The end of the word that reaches or crosses the margin.
        b = 0;
        for (size_t i = m; i <= len && b == 0; ++i)
            if (blank(i)) b = i;
        if (b == 0) b = len;
        while (b > 0 && blank(b)) --b;
        if (b > m) {
            // That word crosses the margin: end the line with the word before it.
            while (b > 0 && !blank(b)) --b;
            if (b == 0) {
                b = m;  // one word longer than the line: cut it
            } else {
                while (b > 0 && blank(b)) --b;
                if (b == 0) b = m;  // only blanks before the word: cut, so that the text moves on
            }
        }
    }
    line = std::string(text.substr(0, b));
    size_t r = b;
    while (r < len && text[r] == ' ') ++r;
    rest = std::string(text.substr(r));
    if (pad && line.size() < m) line.append(m - line.size(), ' ');
}

}  // namespace sysutil
