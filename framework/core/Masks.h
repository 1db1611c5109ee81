#pragma once
// File-name masks: a mask matches the whole name, without regard to case. "*" stands for any run of
// characters (none too, dots and backslashes included), "?" for exactly one character, "[set]" for
// one character of the set (single characters and ranges such as a-z), "[!set]" for one character
// not in it; any other character stands for itself, so "*.*" needs a dot in the name.

#include <string>
#include <string_view>
#include <vector>

#include "framework/core/Exception.h"

namespace framework {

// A malformed mask: "'<mask>' is an invalid mask at (<position>)", the position counting from 1 where
// the mask went wrong (one past its end when it ends inside a set).
class EMaskException : public EConvertError {
public:
    using EConvertError::EConvertError;
};

class TMask {
public:
    // Compiles the mask; raises EMaskException when it is malformed.
    explicit TMask(std::string_view mask);
    bool Matches(std::string_view name) const;

private:
    enum class Kind { Literal, AnyChar, AnyRun, Set };
    struct Element {
        Kind kind;
        char literal = 0;        // upper case
        bool negated = false;    // [!set]
        bool members[256] = {};  // upper-case members of a set
    };
    std::vector<Element> elements_;
};

// One-off form of TMask(mask).Matches(name).
bool MatchesMask(std::string_view name, std::string_view mask);

// A mask that matches exactly Text (ignoring case): "*", "?" and "[" become one-character sets.
std::string LiteralMask(std::string_view text);

}  // namespace framework
