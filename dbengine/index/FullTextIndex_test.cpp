#include "dbengine/index/FullTextIndex.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "dbengine/index/DefaultTextParams.h"
#include "dbengine/index/IndexFormat.h"

namespace dbengine {
namespace {

// word=count pairs in list order.
std::vector<std::string> Listed(const TTextWordList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list.Get(i) + "=" + std::to_string(list.Occurrences(i)));
    return out;
}

std::vector<std::string> Split(const std::string& text, bool wildcard = false) {
    TTextWordList list;
    ExtractTextIndexWords(text.data(), static_cast<int32_t>(text.size()), list, wildcard, DefaultSpaceChars(),
                          DefaultIncludeChars());
    return Listed(list);
}

TEST(FullTextIndexTest, SplitsWordsWithTheDefaultCharacters) {
    struct {
        std::string Text;
        bool Wildcard;
        std::vector<std::string> Words;
    } cases[] = {
        // The apostrophe is in neither set: dropped without ending the word.
        {"Don't stop-believing, e-mail me",
         false,
         {"believing=1", "Dont=1", "e=1", "mail=1", "me=1", "stop=1"}},
        {"The cat and THE hat", false, {"and=1", "cat=1", "hat=1", "The=2"}},
        {"", false, {}},
        {" ,.;:- ", false, {}},
        {"x(y)z [a]", false, {"a=1", "xyz=1"}},
        // Code 255 and the quote characters are dropped; codes 128..254 are word characters.
        {"caf\xe9 \"na\xefve\" \xff", false, {"caf\xe9=1", "na\xefve=1"}},
        {"C:\\DOCS\\README.TXT", false, {"C=1", "DOCS=1", "README=1", "TXT=1"}},
        // "*" separates, unless wildcards are asked for.
        {"data* a*b", false, {"a=1", "b=1", "data=1"}},
        {"data* a*b", true, {"a*b=1", "data*=1"}},
        {"*", true, {"*=1"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(Split(c.Text, c.Wildcard), c.Words);
    }
}

TEST(FullTextIndexTest, LongRunsKeepSixtyCharactersAndCountsStopAtTheCap) {
    std::string run70(70, 'q');
    run70.replace(60, 10, "zzzzzzzzzz");
    EXPECT_EQ(Split(run70 + " end"), (std::vector<std::string>{"end=1", std::string(60, 'q') + "=1"}));

    // The count is a 16-bit number that stops at its maximum instead of wrapping.
    std::string many;
    for (int i = 0; i < 65537; ++i) many += "w ";
    EXPECT_EQ(Split(many), (std::vector<std::string>{"w=65535"}));
}

TEST(FullTextIndexTest, OtherParametersSplitByTheirOwnSets) {
    TCharSet space = CharsToSet("|");
    TCharSet include = CharsToSet("abc-");
    TTextWordList list;
    std::string text = "ab-c|cab d|";
    ExtractTextIndexWords(text.data(), static_cast<int32_t>(text.size()), list, false, space, include);
    EXPECT_EQ(Listed(list), (std::vector<std::string>{"ab-c=1", "cab=1"}));
    // A length shorter than the text stops there; the list was cleared first.
    ExtractTextIndexWords(text.data(), 2, list, false, space, include);
    EXPECT_EQ(Listed(list), (std::vector<std::string>{"ab=1"}));
}

TEST(FullTextIndexTest, WordKeyLayout) {
    uint8_t key[SysTextKeySize + 4];
    std::memset(key, 0xEE, sizeof key);
    BuildTextWordKey(0x0102, "Mail", 5, 0, 0, key);
    std::vector<uint8_t> expected(SysTextKeySize, 0);
    expected[0] = 1;
    expected[1] = 0x01;
    expected[2] = 0x02;
    expected[3] = 'M';
    expected[4] = 'A';
    expected[5] = 'I';
    expected[6] = 'L';
    expected[64] = 0x80;  // record ID 5, sign bit flipped, big-endian
    expected[67] = 0x05;
    EXPECT_EQ(std::vector<uint8_t>(key, key + SysTextKeySize), expected);
    EXPECT_EQ(key[SysTextKeySize], 0xEE) << "nothing is written past the key";

    // The longest word fills bytes 3..62 and leaves byte 63 zero; a longer one is cut.
    BuildTextWordKey(1, std::string(70, 'x'), -1, 0, 0, key);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(key + 3), 60), std::string(60, 'X'));
    EXPECT_EQ(key[63], 0);
    EXPECT_EQ(std::vector<uint8_t>(key + 64, key + 68), (std::vector<uint8_t>{0x7F, 0xFF, 0xFF, 0xFF}));
    // Windows-1252 letters upper-case too.
    BuildTextWordKey(1, "\xe9t\xe9", 1, 0, 0, key);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(key + 3)), "\xc9T\xc9");
}

struct TMatchCase {
    std::string Search;
    std::string Value;
    bool Found;
    int32_t Occurs;
};

TEST(FullTextIndexTest, SearchAndOccurrenceMatching) {
    TLanguageStringList stop;
    stop.SetSorted(true);
    TCharSet space, include;
    SetDefaultTextParams(stop, space, include);
    const TMatchCase cases[] = {
        {"data*", "database engine", true, 1},
        {"data", "database engine", false, 0},
        {"e*", "engine eats eggs, engine", true, 4},
        {"ENGINE", "engine eats eggs, engine", true, 2},
        {"engine eggs", "engine eats eggs, engine", true, 3},
        {"engine bacon", "engine eats eggs, engine", false, 2},
        // Without words, or with stop words only, every value matches and nothing counts.
        {"", "anything", true, 0},
        {" ,-. ", "anything", true, 0},
        {"the AND of", "nothing here", true, 0},
        {"the engine", "engine", true, 1},
        // "*" alone has an empty prefix, which matches no word; a "*" inside a word is literal.
        {"*", "engine", false, 0},
        {"a*b", "a b ab", false, 0},
        {"a*b", "a*b", false, 0},
        // A wildcard word that is a stop word still searches by prefix.
        {"the*", "theory", true, 1},
        {"e*", "", false, 0},
    };
    for (const TMatchCase& c : cases) {
        SCOPED_TRACE(c.Search + " / " + c.Value);
        TTextWordList search, value;
        ExtractTextIndexWords(c.Search.data(), static_cast<int32_t>(c.Search.size()), search, true, space,
                              include);
        ExtractTextIndexWords(c.Value.data(), static_cast<int32_t>(c.Value.size()), value, false, space,
                              include);
        EXPECT_EQ(TextWordsMatch(search, value, stop), c.Found);
        EXPECT_EQ(CountTextWordMatches(search, value, stop), c.Occurs);
    }
}

TEST(FullTextIndexTest, ParameterTextForms) {
    TLanguageStringList stop;  // unsorted: the defaults keep their order
    TCharSet space{}, include{};
    SetDefaultTextParams(stop, space, include);
    ASSERT_EQ(stop.Count(), 22);
    EXPECT_EQ(stop[0], "A");
    EXPECT_EQ(stop[21], "WILL");

    std::string spaceText = CharSetToString(space);
    std::string expected;
    for (int c = 1; c <= 32; ++c) expected.push_back(static_cast<char>(c));
    expected += "*+,-./:;<=>\\`";
    EXPECT_EQ(spaceText, expected);
    EXPECT_EQ(CharsToSet(spaceText), space);
    // Code 0 never appears in the text form, so it does not survive the round trip.
    TCharSet withZero = CharsToSet(std::string("\0ab", 3));
    EXPECT_EQ(CharSetToString(withZero), "ab");
    EXPECT_EQ(CharsToSet(CharSetToString(withZero)), CharsToSet("ab"));
    EXPECT_EQ(CharSetToString(include).size(), 10u + 26 + 26 + 1 + 127);

    framework::TStringList parts;
    SplitWordsToList("a  bc d", parts);
    ASSERT_EQ(parts.Count(), 4);
    EXPECT_EQ(parts[1], "");
    EXPECT_EQ(parts[3], "d");
    SplitWordsToList("", parts);
    EXPECT_EQ(parts.Count(), 0);
}

TEST(FullTextIndexTest, SameWordLists) {
    framework::TStringList a, b, c;
    for (const char* w : {"the", "And"}) a.Add(w);
    for (const char* w : {"THE", "and"}) b.Add(w);
    for (const char* w : {"and", "the"}) c.Add(w);
    EXPECT_TRUE(SameWordLists(0, 0, &a, &b));
    EXPECT_FALSE(SameWordLists(0, 0, &a, &c)) << "order counts";
    EXPECT_TRUE(SameWordLists(0, 0, nullptr, nullptr));
    EXPECT_FALSE(SameWordLists(0, 0, &a, nullptr));
    b.Add("of");
    EXPECT_FALSE(SameWordLists(0, 0, &a, &b));
}

}  // namespace
}  // namespace dbengine
