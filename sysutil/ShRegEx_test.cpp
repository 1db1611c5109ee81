#include "sysutil/ShRegEx.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sysutil/ShConst.h"
#include "sysutil/ShStrms.h"

using namespace sysutil;
using framework::TStringStream;

namespace {

std::vector<std::string> Lines(framework::TStringList* list) {
    std::vector<std::string> lines;
    for (int i = 0; i < list->Count(); ++i) lines.push_back((*list)[i]);
    return lines;
}

std::vector<int> Kinds(const TUtRegExNode* n) {
    std::vector<int> kinds;
    for (; n; n = n->Next) kinds.push_back(n->Kind);
    return kinds;
}

// ---- File masks ------------------------------------------------------------------------------------

class FileMaskPatterns : public ::testing::Test {
protected:
    FileMaskPatterns() { regex.IgnoreCase = true; }
    bool Passes(const std::string& name) {
        TUtMatchPosition where;
        return regex.CheckString(name, where);
    }
    TUtRegEx regex;
};

TEST_F(FileMaskPatterns, AnExtensionMask) {
    ASSERT_TRUE(regex.SetMatchMasks("*.DTA"));
    EXPECT_EQ(Lines(regex.MatchPattern()), std::vector<std::string>{"(.*\\.DTA\\n)"});
    EXPECT_TRUE(Passes("old.dta"));
    EXPECT_TRUE(Passes("OLD.DTA"));
    EXPECT_TRUE(Passes(".dta"));
    EXPECT_TRUE(Passes("a.b.dta"));
    EXPECT_FALSE(Passes("OLD.DTA.BAK"));
    EXPECT_FALSE(Passes("DTA"));
    EXPECT_FALSE(Passes("oldxdta"));
}

TEST_F(FileMaskPatterns, SeveralMasks) {
    ASSERT_TRUE(regex.SetMatchMasks("*.DTA;*.SUM"));
    EXPECT_EQ(Lines(regex.MatchPattern()), (std::vector<std::string>{"(.*\\.DTA\\n)", "|(.*\\.SUM\\n)"}));
    EXPECT_TRUE(Passes("old.dta"));
    EXPECT_TRUE(Passes("new.sum"));
    EXPECT_FALSE(Passes("new.txt"));
    EXPECT_FALSE(Passes("new.sum.txt"));

    ASSERT_TRUE(regex.SetMatchMasks(";A*;;?B;"));  // empty pieces are passed over
    EXPECT_EQ(Lines(regex.MatchPattern()), (std::vector<std::string>{"((^[A]).*\\n)", "|((^.)B\\n)"}));
    EXPECT_TRUE(Passes("alpha"));
    EXPECT_TRUE(Passes("xb"));
    EXPECT_FALSE(Passes("xxb"));
    EXPECT_FALSE(Passes("balpha"));
}

TEST_F(FileMaskPatterns, WildcardsAndTheFirstCharacter) {
    struct Case {
        const char* mask;
        const char* pattern;
        std::vector<const char*> pass;
        std::vector<const char*> fail;
    } cases[] = {
        {"X", "((^[X])\\n)", {"x", "X"}, {"xy", "yx", ""}},
        {"*", "(.*\\n)", {"a", "any.name", ""}, {}},
        {"?b*", "((^.)b.*\\n)", {"ab", "abc.d"}, {"b", "aab"}},
        // A '?' inside the mask takes a character when there is one.
        {"a?c", "((^[a]).?c\\n)", {"abc"}, {"ac", "abbc", "xac"}},
        {"ab?", "((^[a])b.?\\n)", {"ab", "abc"}, {"abcd", "a"}},
        {"*a*b", "(.*a.*b\\n)", {"ab", "xaxb", "ab.b"}, {"ba", "abx"}},
        {"r??d.*", "((^[r]).?.?d\\..*\\n)", {"rxyd.a", "rxyd."}, {"rd.", "rxd.txt", "rxyzd.a", "rd"}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(regex.SetMatchMasks(c.mask)) << c.mask;
        EXPECT_EQ(Lines(regex.MatchPattern()), std::vector<std::string>{c.pattern}) << c.mask;
        for (const char* name : c.pass) EXPECT_TRUE(Passes(name)) << c.mask << " " << name;
        for (const char* name : c.fail) EXPECT_FALSE(Passes(name)) << c.mask << " " << name;
    }
}

TEST_F(FileMaskPatterns, PatternCharactersInNamesAreLiteral) {
    struct Case {
        const char* mask;
        std::vector<const char*> pass;
        std::vector<const char*> fail;
    } cases[] = {
        {"a+b[1].txt", {"a+b[1].txt", "A+B[1].TXT"}, {"aab1.txt", "a+b1.txt", "ab[1].txt", "xa+b[1].txt"}},
        {"{x}.dat", {"{x}.dat"}, {"x.dat"}},
        {"^a$(b)|c.*", {"^a$(b)|c.txt", "^A$(B)|C."}, {"a$(b)|c.txt", "^a$b|c.txt"}},
        {"[ab]*", {"[ab]", "[ab]x"}, {"a", "b", "ab]"}},
        {"\\x?", {"\\x", "\\xy"}, {"x", "\\"}},
        {"]*", {"]", "]x"}, {"x]"}},
        {"-a*", {"-a", "-abc"}, {"a", "b-a"}},
        {"(?)", {"(x)"}, {"()", "(xy)"}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(regex.SetMatchMasks(c.mask)) << c.mask;
        for (const char* name : c.pass) EXPECT_TRUE(Passes(name)) << c.mask << " " << name;
        for (const char* name : c.fail) EXPECT_FALSE(Passes(name)) << c.mask << " " << name;
    }
}

TEST_F(FileMaskPatterns, NoMaskKeepsThePreviousPattern) {
    ASSERT_TRUE(regex.SetMatchMasks("*.DTA"));
    for (const char* nothing : {"", ";", ";;;"}) {
        EXPECT_FALSE(regex.SetMatchMasks(nothing));
        EXPECT_EQ(Lines(regex.MatchPattern()), std::vector<std::string>{"(.*\\.DTA\\n)"});
        EXPECT_TRUE(Passes("old.dta"));
        EXPECT_FALSE(Passes("old.sum"));
    }
}

TEST_F(FileMaskPatterns, ALongMaskListKeepsItsLastMask) {
    std::string masks;
    for (int i = 0; masks.size() < 300; ++i) masks += "*.A" + std::to_string(100 + i) + ";";
    masks += "*.ZZZ";
    ASSERT_GT(masks.size(), 300u);
    ASSERT_TRUE(regex.SetMatchMasks(masks));
    EXPECT_EQ(Lines(regex.MatchPattern()).back(), "|(.*\\.ZZZ\\n)");
    EXPECT_TRUE(Passes("x.zzz"));
    EXPECT_TRUE(Passes("x.a100"));
    EXPECT_FALSE(Passes("x.zz"));
}

TEST_F(FileMaskPatterns, CaseCountsUnlessIgnored) {
    TUtStreamRegEx engine;
    ASSERT_TRUE(engine.SetMatchMasks("*.DTA"));
    TUtMatchPosition where;
    EXPECT_TRUE(engine.CheckString("OLD.DTA", where));
    EXPECT_FALSE(engine.CheckString("old.dta", where));
    engine.IgnoreCase = true;
    EXPECT_TRUE(engine.CheckString("old.dta", where));
    // Letters beyond ASCII fold through the code page's table.
    ASSERT_TRUE(engine.SetMatchMasks("\xC9T\xC9.*"));
    EXPECT_TRUE(engine.CheckString("\xE9t\xE9.doc", where));
}

// ---- Patterns --------------------------------------------------------------------------------------

// The match of pattern over text as (start, end, length); (0, 0, 0) when there is none.
std::tuple<int, int, int> Match(const std::string& pattern, const std::string& text,
                                bool ignoreCase = false) {
    TUtStreamRegEx engine;
    engine.IgnoreCase = ignoreCase;
    engine.MatchPattern()->Add(pattern);
    TUtMatchPosition where;
    const bool matched = engine.CheckString(text, where);
    EXPECT_EQ(matched, where.Length > 0 || where.StartPos > 0) << pattern;
    return {where.StartPos, where.EndPos, where.Length};
}

using Pos = std::tuple<int, int, int>;
const Pos kNone{0, 0, 0};

TEST(RegExPatterns, MatchPositions) {
    struct Case {
        const char* pattern;
        const char* text;
        Pos expected;
    } cases[] = {
        {"a+", "aaa", {1, 3, 3}},
        {"a+", "baab", {2, 3, 2}},
        {"a*b", "aab", {1, 3, 3}},
        {"a*", "xyz", {1, 0, 0}},  // an empty match at the first position
        {"*a", "*a", {1, 2, 2}},
        {"*a", "a", kNone},
        {"+a", "b+a", {2, 3, 2}},
        {"?x", "a?x", {2, 3, 2}},
        {"colou?r", "colour", {1, 6, 6}},
        {"colou?r", "the color", {5, 9, 5}},
        {"colou?r", "colouur", kNone},
        {"a?ab", "ab", kNone},  // the option is not retried without its operand
        {"a?ab", "aab", {1, 3, 3}},
        {"ab|cd", "abd", {1, 3, 3}},
        {"ab|cd", "acd", {1, 3, 3}},
        {"ab|cd", "ab", kNone},
        {"ab|cd", "cd", kNone},
        {"a|b|cd", "xcd", {2, 3, 2}},
        {"(ab)*c", "ababc", {1, 5, 5}},
        {"(ab)+", "xababa", {2, 5, 4}},
        {"(ab)|(cd)e", "cde", {1, 3, 3}},
        {"^(ab)*bc", "abc", kNone},  // a closure gives back whole repetitions only
        {"^(ab)*bc", "ababbc", {1, 6, 6}},
        {"^(ab)*abc", "ababc", {1, 5, 5}},
        {"a.c", "xabc", {2, 4, 3}},
        {"c.", "abc", kNone},  // '.' stops at the line end
        {"^b", "ab", kNone},
        {"^a", "ab", {1, 1, 1}},
        {"c$", "abc", {3, 3, 1}},
        {"b$", "abc", kNone},
        {"c\\n", "abc", {3, 5, 3}},
        {"\\s\\t\\b", "a \t\b", {2, 4, 3}},
        {"\\r\\l", "ab", {3, 4, 2}},
        {"\\.\\*\\q", "a.*q", {2, 4, 3}},
        {"x\\", "x\\", {1, 2, 2}},
        {"\\h+", "xx1F9g", {3, 5, 3}},
        {"\\h", "f", kNone},
        {"\\w\\w", "ab(!cd", {3, 4, 2}},
        {"[abc]+", "xxcab", {3, 5, 3}},
        {"[a-c]+", "xxcabd", {3, 5, 3}},
        {"[^a-c]+", "abxyc", {3, 4, 2}},
        {"[^a]", "a", kNone},  // not CR or LF either
        {"[a-]+", "b-a-", {2, 4, 3}},
        {"[-a]+", "b-a-", {2, 4, 3}},
        {"[z-a]+", "y-za", {2, 4, 3}},  // a range running down is three members
        {"[.-/]+", "a-./", {2, 4, 3}},  // so is one between non-alphanumerics
        {"[\\]x]+", "a]x]", {2, 4, 3}},
        {"[\\s\\t]+", "a \t ", {2, 4, 3}},
        {"[]a", "xa", kNone},  // an empty class
        {"[^]a", "xa", {1, 2, 2}},
        {"{ab}", "xab", {2, 3, 2}},
        {"}a{}", "}a", {1, 2, 2}},  // a '}' without an open tag is a character
        {"(a?b?)*x", "abbx", {1, 4, 4}},
        {"{*a}", "a", {1, 1, 1}},
        {"()*a", "ba", {2, 2, 1}},
        {"x|a*b", "xb", {1, 2, 2}},  // the alternative to x is the whole closure a*
        {"x|a*b", "aab", {1, 3, 3}},
        {"x|a*b", "b", {1, 1, 1}},
        {"x|a?b", "xb", {1, 2, 2}},
        {"c\\n{}", "abc", {3, 5, 3}},  // zero-width tokens match at the very end
        {"c\\n(a?)", "abc", {3, 5, 3}},
        {"a)", "a)", {1, 2, 2}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Match(c.pattern, c.text), c.expected) << "'" << c.pattern << "' on '" << c.text << "'";
}

TEST(RegExPatterns, IgnoringCase) {
    EXPECT_EQ(Match("ABC", "xabc", true), Pos(2, 4, 3));
    EXPECT_EQ(Match("abc", "XABC", true), Pos(2, 4, 3));
    EXPECT_EQ(Match("abc", "XABC", false), kNone);
    EXPECT_EQ(Match("[a-c]+", "XbCa", true), Pos(2, 4, 3));
    EXPECT_EQ(Match("[^a-c]+", "bXyA", true), Pos(2, 3, 2));
    EXPECT_EQ(Match("\xE9+", "\xC9\xE9", true), Pos(1, 2, 2));
    EXPECT_EQ(Match("\\h+", "fa", true), Pos(1, 2, 2));
}

TEST(RegExPatterns, TokenLists) {
    TUtStreamRegEx engine;
    TUtMatchPosition where;
    auto compiled = [&](const char* pattern) {
        engine.MatchPattern()->Clear();
        engine.MatchPattern()->Add(pattern);
        engine.CheckString("", where);
        return Kinds(engine.MatchList());
    };
    EXPECT_EQ(compiled("a*"), (std::vector<int>{rkStart, rkClosure, rkChar}));
    EXPECT_EQ(compiled("*a"), (std::vector<int>{rkStart, rkChar, rkChar}));
    EXPECT_EQ(compiled("a+"), (std::vector<int>{rkStart, rkChar, rkClosure, rkChar}));
    EXPECT_EQ(compiled("a?b"), (std::vector<int>{rkStart, rkOption, rkChar, rkChar}));
    EXPECT_EQ(compiled("^.$"), (std::vector<int>{rkStart, rkBegOfLine, rkAnyChar, rkEndOfLine}));
    EXPECT_EQ(compiled("\\n"), (std::vector<int>{rkStart, rkChar, rkChar}));
    EXPECT_EQ(compiled("[a][^a]{}"), (std::vector<int>{rkStart, rkClass, rkNotClass, rkBegTag, rkEndTag}));
    EXPECT_EQ(compiled("(ab)+"), (std::vector<int>{rkStart, rkGroup, rkClosure, rkGroup}));
    const TUtRegExNode* group = engine.MatchList()->Next;
    const TUtRegExNode* copy = group->Next->Next;
    EXPECT_NE(group->Child, copy->Child);
    EXPECT_EQ(Kinds(copy->Child), (std::vector<int>{rkStart, rkChar, rkChar}));
    EXPECT_EQ(compiled("ab|cd"), (std::vector<int>{rkStart, rkChar, rkChar, rkChar, rkChar}));
    EXPECT_TRUE(engine.MatchList()->Next->Next->IsAlternative);
    EXPECT_FALSE(engine.MatchList()->Next->Next->Next->IsAlternative);

    engine.MatchPattern()->Clear();
    engine.MatchPattern()->Add("[a-ea-c]");
    engine.CheckString("", where);
    EXPECT_EQ(engine.MatchList()->Next->ClassText, "abcdeabc");
    engine.IgnoreCase = true;
    engine.CheckString("", where);
    EXPECT_EQ(engine.MatchList()->Next->ClassText, "ABCDE");

    // Ranges run between letters and digits of the code page only; a class holds any number of
    // members.
    engine.IgnoreCase = false;
    engine.MatchPattern()->Clear();
    engine.MatchPattern()->Add("[\x01-\x7F]");
    engine.MatchPattern()->Add("[0-9A-Za-z\xC0-\xD6\xD8-\xF6\xF8-\xFF]");
    engine.MatchPattern()->Add("[" + std::string(100, 'x') + "a-zA-Z0-9\xC0-\xFF" + std::string(100, 'y') +
                               "Q]");
    engine.CheckString("", where);
    EXPECT_EQ(engine.MatchList()->Next->ClassText, "\x01-\x7F");
    EXPECT_EQ(engine.MatchList()->Next->Next->ClassText.size(), 10u + 52 + 23 + 31 + 8);
    EXPECT_EQ(engine.MatchList()->Next->Next->Next->ClassText.size(), 100u + 62 + 64 + 100 + 1);
    EXPECT_TRUE(engine.CheckString(std::string(1, '\x7F') + "\xE9Q", where));
    EXPECT_EQ(where.StartPos, 1);
}

TEST(RegExPatterns, PatternLinesAreTrimmedAndJoined) {
    TUtStreamRegEx engine;
    engine.MatchPattern()->Add("  ab ");
    engine.MatchPattern()->Add("\tc");
    TUtMatchPosition where;
    EXPECT_TRUE(engine.CheckString("xabc", where));
    EXPECT_EQ(where.StartPos, 2);
    EXPECT_EQ(where.Length, 3);
}

TEST(RegExPatterns, AClosureOverAnEmptyMatchEnds) {
    const std::string bs(20000, 'b');
    EXPECT_EQ(Match("(a?b?)*x", bs), kNone);
    EXPECT_EQ(Match("(a?b?)*", bs), Pos(1, 20000, 20000));
    EXPECT_EQ(Match("({a?}b?)*x", bs + "x"), Pos(1, 20001, 20001));
    // Closures in front of closures try each position once per closure: no exponential search.
    std::string many;
    for (int i = 0; i < 20; ++i) many += "a*";
    EXPECT_EQ(Match(many + "b", std::string(200, 'a')), kNone);
    EXPECT_EQ(Match("(a*a*a*a*)*(a*a*a*a*)*b", std::string(200, 'a')), kNone);
}

struct ErrorCase {
    std::string pattern;
    int32_t code;
};

void ExpectError(TUtStreamRegEx& engine, int32_t code, const std::string& what) {
    TUtMatchPosition where;
    try {
        engine.CheckString("abc", where);
        ADD_FAILURE() << what << ": no exception";
    } catch (const EShRegExError& e) {
        EXPECT_EQ(e.ErrorCode, code) << what;
        EXPECT_EQ(e.Message, ShMessageText(code)) << what;
    }
}

TEST(RegExPatterns, CompileErrors) {
    const ErrorCase cases[] = {
        {"(a*)*", 302}, {"(a?)+", 302}, {"(\\a*)*", 302}, {"x(b?)*", 302}, {"^*", 294},    {"$+", 294},
        {"a**", 294},   {"a*+", 294},   {"a?*", 294},     {"a??", 294},    {"(a)*?", 294}, {"[a-", 291},
        {"[", 291},     {"[a\\]", 291}, {"([a)", 291},    {"(ab", 295},    {"((a)", 295},  {"a(", 295},
        {"{ab", 296},   {"({a)", 296},  {"a*|b", 292},    {"a?|b", 292},   {"a+|b", 292},  {"}a{", 296},
    };
    for (const auto& c : cases) {
        TUtStreamRegEx engine;
        engine.MatchPattern()->Add(c.pattern);
        ExpectError(engine, c.code, c.pattern);
        // The text stays; the next check compiles it again and fails again.
        EXPECT_EQ(Lines(engine.MatchPattern()), std::vector<std::string>{c.pattern});
        ExpectError(engine, c.code, c.pattern + " again");
        EXPECT_EQ(engine.NodeHeap().NodesFree(), engine.NodeHeap().NodesAllocated()) << c.pattern;
    }
    EXPECT_EQ(ShMessageText(302), "A * or + operand could be empty");
    EXPECT_EQ(ShMessageText(294),
              "Closure cannot immediately follow BegOfLine, EndOfLine or another closure");
    EXPECT_EQ(ShMessageText(291), "Problem in expanding character class");

    // Groups that only may be empty compile; the matcher stops their repetition.
    for (const char* accepted : {"(ab)*", "(a?b?)*", "(a*b)*", "{*}", "(a)*", "()+"}) {
        TUtStreamRegEx engine;
        engine.MatchPattern()->Add(accepted);
        TUtMatchPosition where;
        EXPECT_NO_THROW(engine.CheckString("abab", where)) << accepted;
    }
}

TEST(RegExPatterns, NoPatternsAtAll) {
    TUtStreamRegEx engine;
    ExpectError(engine, 297, "no lists");
    EXPECT_EQ(ShMessageText(297), "No Match, Replace, or SelAvoid Patterns defined");
    engine.MatchPattern()->Add("   ");
    engine.MatchPattern()->Add("\t");
    ExpectError(engine, 297, "blank lines");
    engine.ReplacePattern()->Add("x");  // a check does not look at the replace list
    ExpectError(engine, 297, "only a replace list");
    TStringStream in("abc\r\n"), out;
    EXPECT_NO_THROW(engine.Execute(&in, &out));  // a run does
    engine.ReplacePattern()->Clear();
    TStringStream in2("abc\r\n");
    EXPECT_THROW(engine.Execute(&in2, &out), EShRegExError);
}

TEST(RegExPatterns, OversizedPatternsAreRefused) {
    // '+' copies its operand: twenty nested levels would need a million nodes.
    std::string doubling = "a";
    for (int i = 0; i < 20; ++i) doubling = "(" + doubling + ")+";
    std::string deep = std::string(2500, '(') + "a" + std::string(2500, ')');
    for (const std::string& pattern : {doubling, deep}) {
        TUtStreamRegEx engine;
        engine.MatchPattern()->Add(pattern);
        ExpectError(engine, 290, pattern.substr(0, 20));
        EXPECT_EQ(engine.NodeHeap().NodesFree(), engine.NodeHeap().NodesAllocated());
    }
    // Just below the limits everything works.
    std::string nested = std::string(1900, '(') + "a*b" + std::string(1900, ')');
    EXPECT_EQ(Match(nested, "xaab"), Pos(2, 4, 3));
    std::string closures;
    for (int i = 0; i < 999; ++i) closures += "a*";
    EXPECT_EQ(Match(closures + "b", std::string(50, 'a') + "b"), Pos(1, 51, 51));
}

TEST(RegExNodeHeap, NodesAreRecycled) {
    TUtStreamRegEx engine;
    engine.MatchPattern()->Add("(ab|[cd])+x*\\n");
    engine.SelAvoidPattern()->Add("a");
    TUtMatchPosition where;
    ASSERT_TRUE(engine.CheckString("abab", where));
    const size_t allocated = engine.NodeHeap().NodesAllocated();
    const size_t free = engine.NodeHeap().NodesFree();
    for (int i = 0; i < 100; ++i) engine.CheckString("abab", where);
    EXPECT_EQ(engine.NodeHeap().NodesAllocated(), allocated);
    EXPECT_EQ(engine.NodeHeap().NodesFree(), free);

    TUtNodeHeap heap;
    TUtRegExNode* a = heap.AllocNode();
    a->Kind = rkGroup;
    a->IsAlternative = true;
    a->Child = heap.AllocNode();
    a->Child->Next = heap.AllocNode();
    a->Child->Next->Kind = rkClass;
    a->Child->Next->ClassText = "xyz";
    a->Next = heap.AllocNode();
    TUtRegExNode* copy = heap.CloneList(a);
    EXPECT_EQ(copy->Kind, rkGroup);
    EXPECT_TRUE(copy->IsAlternative);
    EXPECT_NE(copy->Child, a->Child);
    EXPECT_EQ(copy->Child->Next->ClassText, "xyz");
    ASSERT_NE(copy->Next, nullptr);
    EXPECT_EQ(heap.NodesAllocated() - heap.NodesFree(), 8u);
    heap.FreeList(a);
    heap.FreeList(copy);
    EXPECT_EQ(heap.NodesFree(), heap.NodesAllocated());
    TUtRegExNode* again = heap.AllocNode();
    EXPECT_EQ(again->ClassText, "");
    EXPECT_EQ(again->Child, nullptr);
    EXPECT_FALSE(again->IsAlternative);
    heap.FreeNode(again);
}

// ---- Runs over a text stream ------------------------------------------------------------------------

const char* const kMenu = "apple pie\r\nbanana split\r\ncherry pie\r\ndate\r\napple tart\r\n";

class RegExRuns : public ::testing::Test {
protected:
    std::string Run(const char* input = kMenu) {
        TStringStream in(input), out;
        regex.Execute(&in, &out);
        return out.DataString();
    }
    TUtRegEx regex;
};

TEST_F(RegExRuns, MatchingLines) {
    regex.MatchPattern()->Add("pie");
    EXPECT_EQ(Run(), "apple pie\r\ncherry pie\r\n");
    EXPECT_EQ(regex.LineCount(), 5);
    EXPECT_EQ(regex.SelectCount(), 5);
    EXPECT_EQ(regex.MatchCount(), 2);
    EXPECT_EQ(regex.ReplaceCount(), 0);
}

TEST_F(RegExRuns, SelectAndAvoid) {
    regex.MatchPattern()->Add("pie");
    regex.SelAvoidPattern()->Add("^apple");
    EXPECT_EQ(Run(), "apple pie\r\n");
    EXPECT_EQ(regex.SelectCount(), 2);
    EXPECT_EQ(regex.MatchCount(), 1);

    regex.Avoid = true;
    EXPECT_EQ(Run(), "cherry pie\r\n");
    EXPECT_EQ(regex.SelectCount(), 3);
    EXPECT_EQ(regex.MatchCount(), 1);

    regex.SetOutputOptions(ooUnselected);
    EXPECT_EQ(Run(), "apple pie\r\ncherry pie\r\napple tart\r\n");

    // Without a match list the selected lines are the output.
    regex.MatchPattern()->Clear();
    regex.SetOutputOptions(0);
    EXPECT_EQ(Run(), "banana split\r\ncherry pie\r\ndate\r\n");
    EXPECT_EQ(regex.SelectCount(), 3);
    EXPECT_EQ(regex.MatchCount(), 0);
}

TEST_F(RegExRuns, CheckStringDecidesAsARun) {
    regex.MatchPattern()->Add("pie");
    regex.SelAvoidPattern()->Add("apple");
    regex.Avoid = true;
    TUtMatchPosition where;
    EXPECT_TRUE(regex.CheckString("cherry pie", where));
    EXPECT_EQ(where.StartPos, 8);
    EXPECT_EQ(where.EndPos, 10);
    EXPECT_EQ(where.Length, 3);
    EXPECT_FALSE(regex.CheckString("apple pie", where));
    EXPECT_EQ(where.StartPos, 0);
    EXPECT_FALSE(regex.CheckString("cherry tart", where));
    EXPECT_EQ(regex.SelectCount(), 1);
    EXPECT_EQ(regex.MatchCount(), 0);
    regex.MatchPattern()->Clear();
    EXPECT_TRUE(regex.CheckString("cherry tart", where));
}

TEST_F(RegExRuns, Replacing) {
    regex.MatchPattern()->Add("pie");
    regex.ReplacePattern()->Add("cake");
    EXPECT_EQ(Run(), "apple cake\r\nbanana split\r\ncherry cake\r\ndate\r\napple tart\r\n");
    EXPECT_EQ(regex.ReplaceCount(), 2);

    regex.SetOutputOptions(ooReplaceMatchedOnly);
    EXPECT_EQ(Run(), "apple cake\r\ncherry cake\r\n");
    EXPECT_EQ(regex.ReplaceCount(), 2);
    EXPECT_EQ(regex.MatchCount(), 2);

    // Only literal characters of the replace pattern reach the line, in the case they were typed.
    regex.SetOutputOptions(0);
    regex.IgnoreCase = true;
    regex.MatchPattern()->Clear();
    regex.MatchPattern()->Add("P[IO]E");
    regex.ReplacePattern()->Clear();
    regex.ReplacePattern()->Add("<Cake.*>");
    EXPECT_EQ(Run("apple pie, pot pOe\r\n"), "apple <Cake>, pot <Cake>\r\n");
    EXPECT_EQ(regex.ReplaceCount(), 2);
}

TEST_F(RegExRuns, ReplacingEveryRepetitionAndTheLineEnd) {
    regex.MatchPattern()->Add("a+");
    regex.ReplacePattern()->Add("-");
    EXPECT_EQ(Run("baaab a\r\n"), "b-b -\r\n");
    EXPECT_EQ(regex.ReplaceCount(), 2);
    // An empty match copies a character and moves on.
    regex.MatchPattern()->Clear();
    regex.MatchPattern()->Add("x*");
    EXPECT_EQ(Run("abc\r\n"), "abc\r\n");
    EXPECT_EQ(regex.ReplaceCount(), 0);
    // A match of the line end takes it away.
    regex.MatchPattern()->Clear();
    regex.MatchPattern()->Add("c\\n");
    regex.ReplacePattern()->Clear();
    regex.ReplacePattern()->Add("C");
    EXPECT_EQ(Run("abc\r\nc\r\n"), "abC\r\nC\r\n");
}

TEST_F(RegExRuns, LineNumbers) {
    regex.MatchPattern()->Add("pie");
    regex.LineNumbers = true;
    EXPECT_EQ(Run(), "     1  apple pie\r\n     3  cherry pie\r\n");
    regex.SetOutputOptions(ooUnselected);
    regex.SelAvoidPattern()->Add("e$");
    EXPECT_EQ(Run(),
              "     1  apple pie\r\n     2  banana split\r\n     3  cherry pie\r\n     5  apple tart\r\n");
    regex.MaxLineLength = 12;
    EXPECT_EQ(Run(), "     1  appl\r\n     2  bana\r\n     3  cher\r\n     5  appl\r\n");
    regex.MaxLineLength = 5;
    EXPECT_EQ(Run(), "     1  \r\n     2  \r\n     3  \r\n     5  \r\n");
}

TEST_F(RegExRuns, CountOnlyWritesNothing) {
    regex.MatchPattern()->Add("pie");
    regex.ReplacePattern()->Add("cake");
    regex.SetOutputOptions(ooCountOnly | ooUnselected | ooReplaceMatchedOnly);
    EXPECT_EQ(regex.OutputOptions(), ooCountOnly);
    EXPECT_EQ(Run(), "");
    EXPECT_EQ(regex.LineCount(), 5);
    EXPECT_EQ(regex.ReplaceCount(), 2);
    regex.ReplacePattern()->Clear();
    EXPECT_EQ(Run(), "");
    EXPECT_EQ(regex.MatchCount(), 2);
    TUtStreamRegEx engine;
    engine.SetOutputOptions(ooUnselected | ooCountOnly);
    EXPECT_EQ(engine.OutputOptions(), ooCountOnly);
}

TEST_F(RegExRuns, LinesNeverExceedMaxLineLength) {
    regex.MatchPattern()->Add(".");
    regex.ReplacePattern()->Add("xyz");
    regex.MaxLineLength = 20;
    EXPECT_EQ(Run("abcdefghijklmnopqrstuvwxyz0123\r\n"), "xyzxyzxyzxyzxyzxyzxy\r\n");
    EXPECT_EQ(regex.ReplaceCount(), 30);
    regex.ReplacePattern()->Clear();
    EXPECT_EQ(Run("abcdefghijklmnopqrstuvwxyz0123\r\n"), "abcdefghijklmnopqrst\r\n");
}

TEST_F(RegExRuns, InputAndOutputLineKinds) {
    regex.MatchPattern()->Add("a");
    regex.InLineTerminator = ltLF;
    regex.OutLineTerminator = ltNone;
    regex.OutFixedLineLength = 6;
    EXPECT_EQ(Run("ab\nxy\nbanana split\nlast a"),
              "ab    banana"
              "last a");
    EXPECT_EQ(regex.LineCount(), 4);

    regex.InLineTerminator = ltNone;
    regex.InFixedLineLength = 3;
    regex.OutLineTerminator = ltOther;
    regex.OutLineTermChar = ';';
    EXPECT_EQ(Run("abcxyzcab12"), "abc;cab;");

    regex.InLineTerminator = ltCRLF;  // a lone LF ends a line too
    regex.OutLineTerminator = ltCR;
    EXPECT_EQ(Run("a1\r\nb2\nc3\ra4"), "a1\rc3\ra4\r");
    EXPECT_EQ(regex.LineCount(), 3);

    regex.InLineTerminator = 9;
    EXPECT_THROW(Run(), EShBufStreamError);
    regex.InLineTerminator = ltCRLF;
    regex.OutLineTerminator = 9;
    EXPECT_THROW(Run(), EShBufStreamError);
}

}  // namespace
