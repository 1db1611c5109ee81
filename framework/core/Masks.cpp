#include "framework/core/Masks.h"

#include "framework/core/SysUtils.h"

namespace framework {

namespace {

unsigned char Upper(char c) {
    return static_cast<unsigned char>(AnsiUpperChar(c));
}

[[noreturn]] void InvalidMask(std::string_view mask, std::size_t position) {
    throw EMaskException("'" + std::string(mask) + "' is an invalid mask at (" + std::to_string(position) +
                         ")");
}

}  // namespace

TMask::TMask(std::string_view mask) {
    std::size_t i = 0;
    while (i < mask.size()) {
        const char c = mask[i];
        Element e{};
        if (c == '*') {
            e.kind = Kind::AnyRun;
            ++i;
            if (!elements_.empty() && elements_.back().kind == Kind::AnyRun) continue;  // "**" is "*"
        } else if (c == '?') {
            e.kind = Kind::AnyChar;
            ++i;
        } else if (c == '[') {
            e.kind = Kind::Set;
            ++i;
            if (i < mask.size() && mask[i] == '!') {
                e.negated = true;
                ++i;
            }
            bool any = false;
            while (true) {
                if (i >= mask.size()) InvalidMask(mask, i + 1);
                if (mask[i] == ']') {
                    if (!any) InvalidMask(mask, i + 1);  // an empty set
                    ++i;
                    break;
                }
                unsigned char low = Upper(mask[i]), high = low;
                ++i;
                if (i < mask.size() && mask[i] == '-') {
                    ++i;
                    if (i >= mask.size()) InvalidMask(mask, i + 1);
                    if (mask[i] == ']') {
                        e.members[static_cast<unsigned char>('-')] = true;  // "-" before "]" is itself
                    } else {
                        high = Upper(mask[i]);
                        ++i;
                    }
                }
                for (unsigned v = low; v <= high; ++v) e.members[v] = true;  // a reversed range is empty
                any = true;
            }
        } else {
            e.kind = Kind::Literal;
            e.literal = static_cast<char>(Upper(c));
            ++i;
        }
        elements_.push_back(e);
    }
}

bool TMask::Matches(std::string_view name) const {
    // Greedy matching with one backtrack point: the most recent "*" retries one character further.
    // Linear in name length times mask length; no recursion.
    std::size_t n = 0, m = 0;
    std::size_t starElement = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (m < elements_.size()) {
            const Element& e = elements_[m];
            const unsigned char c = Upper(name[n]);
            bool ok = false;
            switch (e.kind) {
                case Kind::AnyRun:
                    starElement = m++;
                    starName = n;
                    continue;
                case Kind::AnyChar:
                    ok = true;
                    break;
                case Kind::Literal:
                    ok = static_cast<unsigned char>(e.literal) == c;
                    break;
                case Kind::Set:
                    ok = e.members[c] != e.negated;
                    break;
            }
            if (ok) {
                ++n;
                ++m;
                continue;
            }
        }
        if (starElement == std::string_view::npos) return false;
        m = starElement + 1;
        n = ++starName;
    }
    while (m < elements_.size() && elements_[m].kind == Kind::AnyRun) ++m;
    return m == elements_.size();
}

bool MatchesMask(std::string_view name, std::string_view mask) {
    return TMask(mask).Matches(name);
}

std::string LiteralMask(std::string_view text) {
    std::string mask;
    mask.reserve(text.size());
    for (char c : text) {
        if (c == '*' || c == '?' || c == '[') {
            mask += '[';
            mask += c;
            mask += ']';
        } else {
            mask += c;
        }
    }
    return mask;
}

}  // namespace framework
