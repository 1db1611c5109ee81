// "STR0" string resources: lookups, the checks made on opening, and the errors reported.
#include "controls/kit/StyledStrings.h"

#include <gtest/gtest.h>

namespace kit {
namespace {

using namespace framework;

std::string ErrorOf(const std::function<void()>& Act) {
    try {
        Act();
    } catch (const EStyledStringResourceError& e) {
        return e.Message;
    }
    return "(no error)";
}

TEST(StyledStringsTest, EnglishTextsByIdAndUnknownIds) {
    TStyledStringResource& english = StyledEnglishStrings();
    ASSERT_TRUE(english.Opened());
    EXPECT_EQ(english.String(0), "Black");
    EXPECT_EQ(english.String(3), "Olive");
    EXPECT_EQ(english.String(15), "White");
    EXPECT_EQ(english.String(30), "No label is attached");
    EXPECT_EQ(english.String(39), "Invalid date");
    EXPECT_EQ(english.String(16), "");
    EXPECT_EQ(english.String(-1), "");

    TStyledStringResource reader(HInstance, "styled_strings_english");  // names ignore case
    reader.ReportErrors = true;
    EXPECT_EQ(reader.String(3), "Olive");
    EXPECT_EQ(ErrorOf([&] { reader.String(16); }), "String not found: 16");
}

TEST(StyledStringsTest, TextsBecomeWindows1252) {
    RegisterDataResource("KIT_TEST_1252", RT_RCDATA,
                         BuildStyledStringResource({{7, "Caf\xE9 \x80"}, {2, "two"}}));
    TStyledStringResource ansi(HInstance, "KIT_TEST_1252");
    EXPECT_EQ(ansi.String(7), "Caf\xE9 \x80");
    EXPECT_EQ(ansi.String(2), "two");

    // "A", a lone high surrogate and a Cyrillic letter: what the code page cannot hold is "?".
    const std::vector<uint8_t> raw = {'S', 'T', 'R', '0', 1, 0, 0, 0,   9, 0,    0,    0,    20,
                                      0,   0,   0,   3,   0, 0, 0, 'A', 0, 0x00, 0xD8, 0x2F, 0x04};
    RegisterDataResource("KIT_TEST_WIDE", RT_RCDATA, raw);
    TStyledStringResource wide(HInstance, "KIT_TEST_WIDE");
    EXPECT_EQ(wide.String(9), "A??");
}

TEST(StyledStringsTest, UnsoundResourcesAreRefused) {
    const auto good = BuildStyledStringResource({{1, "one"}, {2, "two"}});
    struct Case {
        const char* What;
        std::vector<uint8_t> Data;
    };
    std::vector<Case> cases;
    auto badMagic = good;
    badMagic[3] = '1';
    cases.push_back({"wrong magic", badMagic});
    cases.push_back({"too short", {'S', 'T', 'R'}});
    auto bigCount = good;
    bigCount[7] = 0x40;  // an index far beyond the resource
    cases.push_back({"count", bigCount});
    auto farOffset = good;
    farOffset[8 + 4 + 3] = 0x7F;  // first text offset outside
    cases.push_back({"offset", farOffset});
    auto longText = good;
    longText[8 + 12 + 8] = 0xFF;  // second text longer than the resource
    longText[8 + 12 + 11] = 0xFF;
    cases.push_back({"length", longText});
    for (const auto& c : cases) {
        RegisterDataResource("KIT_TEST_BAD", RT_RCDATA, c.Data);
        EXPECT_EQ(ErrorOf([] { TStyledStringResource r(HInstance, "KIT_TEST_BAD"); }),
                  "Invalid string resource")
            << c.What;
    }
    RegisterDataResource("KIT_TEST_GOOD", RT_RCDATA, good);
    TStyledStringResource r(HInstance, "KIT_TEST_GOOD");
    EXPECT_EQ(r.String(2), "two");

    EXPECT_EQ(ErrorOf([] { TStyledStringResource missing(HInstance, "NO_SUCH_STRINGS"); }),
              "String resource not found: NO_SUCH_STRINGS");
    TStyledStringResource closed(HInstance, "");
    EXPECT_FALSE(closed.Opened());
    EXPECT_EQ(closed.String(1), "");
}

}  // namespace
}  // namespace kit
