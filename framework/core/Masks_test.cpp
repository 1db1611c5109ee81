#include "framework/core/Masks.h"

#include <gtest/gtest.h>

namespace framework {
namespace {

TEST(MaskTest, MatchesWholeNamesWithoutRegardToCase) {
    struct Case {
        const char *name, *mask;
        bool matches;
    } cases[] = {
        {"readme.txt", "*.TXT", true},
        {"README.TXT", "*.txt", true},
        {"readme.txt.bak", "*.TXT", false},  // the whole name
        {"Bfile", "[a-c]*", true},
        {"dfile", "[a-c]*", false},
        {"bx", "[!a]x", true},
        {"ax", "[!a]x", false},
        {"Ax", "[!a]x", false},    // sets ignore case too
        {"README", "*.*", false},  // a dot in the mask needs a dot in the name
        {"a.b", "*.*", true},
        {"", "*", true},
        {"", "?", false},
        {"abc", "a?c", true},
        {"ab", "ab?", false},
        {"XXAB", "*AB*B", false},
        {"XXABAB", "*AB*B", true},
        {"C:\\DOCS\\A.TXT", "C:\\*.TXT", true},  // "*" crosses backslashes
        {"file1.doc", "file[0-9].doc", true},
        {"fileA.doc", "file[0-9].doc", false},
        {"x-y", "x[+-]y", true},  // "-" before "]" stands for itself
        {"x,y", "x[+-]y", false},
        {"a", "[abc]", true},
        {"\xE9t\xE9", "\xC9T\xC9", true},  // accented letters through the code page
        {"\xE9", "[\xC0-\xDE]", true},
        {"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*a*c", false},
        {"abcabcabd", "*abd", true},
        {"report.txt", "re*rt.t?t", true},
        {"ab", "a**b", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " ~ " + c.mask);
        EXPECT_EQ(MatchesMask(c.name, c.mask), c.matches);
    }
    TMask mask("*.BAK");
    EXPECT_TRUE(mask.Matches("old.bak"));
    EXPECT_FALSE(mask.Matches("old.bat"));
}

TEST(MaskTest, ALiteralMaskMatchesItsTextOnly) {
    struct Case {
        const char *text, *other;
    } cases[] = {
        {"DISK*", "DISKETTE"}, {"A?C", "ABC"}, {"V[1]", "V1"}, {"[!]", "X"}, {"**", "X"}, {"a-]b", "A-B"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string mask = LiteralMask(c.text);
        EXPECT_TRUE(MatchesMask(c.text, mask));
        EXPECT_FALSE(MatchesMask(c.other, mask));
    }
    EXPECT_TRUE(MatchesMask("disk*", LiteralMask("DISK*"))) << "case is still ignored";
}

TEST(MaskTest, MalformedMasksNameThePosition) {
    struct Case {
        const char* mask;
        int position;
    } cases[] = {
        {"[a-", 4}, {"[abc", 5}, {"*.[", 4}, {"[]", 2}, {"[!]", 3}, {"x[!", 4}, {"[a-z", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mask);
        try {
            MatchesMask("anything", c.mask);
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message, "'" + std::string(c.mask) + "' is an invalid mask at (" +
                                     std::to_string(c.position) + ")");
            EXPECT_EQ(e.ClassName(), "EMaskException");
        }
    }
}

}  // namespace
}  // namespace framework
