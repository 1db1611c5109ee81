#include <gtest/gtest.h>

#include "dbengine/os/OSLayer.h"
#include "platform/CodePage.h"

namespace dbengine {
namespace {

TEST(LocaleTest, LanguageZeroCaseMappingIsThePlatformTable) {
    const unsigned char* upper = platform::AnsiUpperTable();
    const unsigned char* lower = platform::AnsiLowerTable();
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    std::string up = all, down = all;
    UpperCaseLocale(0, 0, up);
    LowerCaseLocale(0, 0, down);
    std::string upZ = all, downZ = all;
    UpperCaseLocale(0, 0, upZ.data());
    LowerCaseLocale(0, 0, downZ.data());
    for (int c = 1; c < 256; ++c) {
        EXPECT_EQ(static_cast<unsigned char>(up[c - 1]), upper[c]) << c;
        EXPECT_EQ(static_cast<unsigned char>(down[c - 1]), lower[c]) << c;
        EXPECT_EQ(upZ[c - 1], up[c - 1]);
        EXPECT_EQ(downZ[c - 1], down[c - 1]);
    }
    EXPECT_TRUE(IsLocaleInstalled(MakeLocaleId(0, 0)));
    EXPECT_FALSE(IsLocaleInstalled(MakeLocaleId(0x0409, 0)));
    EXPECT_FALSE(IsLocaleInstalled(MakeLocaleId(0x0407, 1)));
}

TEST(LocaleTest, TextComparison) {
    struct Case {
        const char* A;
        const char* B;
        size_t Length;
        bool IgnoreCase;
        int Result;
    };
    const Case cases[] = {
        {"abc", "abcd", 0, false, -1},  // the terminating zero orders a prefix first
        {"abcd", "abc", 0, false, 1},
        {"Hello", "hELLO", 0, true, 0},
        {"Hello", "hELLO", 0, false, -1},
        {"\xE9t\xE9", "\xC9T\xC9", 0, true, 0},
        {"abX", "abY", 2, false, 0},    // only the given length counts
        {"\x80", "\x7F", 0, false, 1},  // bytes compare unsigned
        {"", "", 0, false, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CompareLocaleText(0, 0, c.A, c.B, c.Length, c.IgnoreCase), c.Result) << c.A << " " << c.B;
    EXPECT_EQ(CompareLocaleText(0, 0, nullptr, "a", 0, false), 1);
    EXPECT_EQ(CompareLocaleChar(0, 0, 'a', 'A'), 0);
    EXPECT_EQ(CompareLocaleChar(0, 0, 'a', 'B'), -1);
    EXPECT_TRUE(SameNameText("Orders", "ORDERS"));
    EXPECT_FALSE(SameNameText("Orders", "Order"));
}

TEST(EnsureBufferSizeTest, GrowsInGranulesZeroesAndNeverShrinks) {
    std::unique_ptr<uint8_t[]> buffer;
    int64_t capacity = 0;
    EnsureBufferSize(10, 32768, buffer, capacity);
    ASSERT_EQ(capacity, 32768);
    for (int i = 0; i < 32768; ++i) ASSERT_EQ(buffer[i], 0);
    std::fill_n(buffer.get(), 32768, 0xAB);
    EnsureBufferSize(40000, 32768, buffer, capacity);
    ASSERT_EQ(capacity, 65536);
    EXPECT_EQ(buffer[0], 0xAB);
    EXPECT_EQ(buffer[32767], 0xAB);
    for (int i = 32768; i < 65536; ++i) ASSERT_EQ(buffer[i], 0);
    EnsureBufferSize(100, 32768, buffer, capacity);
    EXPECT_EQ(capacity, 65536);
    EXPECT_EQ(buffer[0], 0xAB);
    EnsureBufferSize(0, 32768, buffer, capacity);
    EXPECT_EQ(capacity, 0);
    EXPECT_EQ(buffer, nullptr);
}

}  // namespace
}  // namespace dbengine
