#include "platform/LittleEndian.h"

#include <gtest/gtest.h>

#include <limits>

namespace platform {
namespace {

TEST(LittleEndianTest, NumbersAreStoredLowByteFirstAndReadBack) {
    uint8_t b[8] = {};
    PutUInt16(b, 0x1234);
    EXPECT_EQ(b[0], 0x34);
    EXPECT_EQ(b[1], 0x12);
    EXPECT_EQ(GetUInt16(b), 0x1234);
    PutInt16(b, -2);
    EXPECT_EQ(GetInt16(b), -2);
    EXPECT_EQ(GetUInt16(b), 0xFFFE);

    PutUInt32(b, 0x89ABCDEF);
    const uint8_t expected32[] = {0xEF, 0xCD, 0xAB, 0x89};
    EXPECT_EQ(0, std::memcmp(b, expected32, 4));
    EXPECT_EQ(GetUInt32(b), 0x89ABCDEFu);
    EXPECT_EQ(GetInt32(b), static_cast<int32_t>(0x89ABCDEF));

    PutUInt64(b, 0x0102030405060708ull);
    const uint8_t expected64[] = {8, 7, 6, 5, 4, 3, 2, 1};
    EXPECT_EQ(0, std::memcmp(b, expected64, 8));
    EXPECT_EQ(GetUInt64(b), 0x0102030405060708ull);
    PutInt64(b, std::numeric_limits<int64_t>::min());
    EXPECT_EQ(GetInt64(b), std::numeric_limits<int64_t>::min());

    PutDouble(b, 1.0);  // 0x3FF0000000000000
    const uint8_t one[] = {0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
    EXPECT_EQ(0, std::memcmp(b, one, 8));
    EXPECT_EQ(GetDouble(b), 1.0);
}

TEST(LittleEndianTest, AppendingGrowsTheBuffer) {
    std::vector<uint8_t> out;
    AppendUInt16(out, 0xBEEF);
    AppendUInt32(out, 0x01020304);
    EXPECT_EQ(out, (std::vector<uint8_t>{0xEF, 0xBE, 4, 3, 2, 1}));
}

}  // namespace
}  // namespace platform
