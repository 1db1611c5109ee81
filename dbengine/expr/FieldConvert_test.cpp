#include "dbengine/expr/FieldConvert.h"
#include "dbengine/data/FieldDescriptor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "dbengine/expr/TextForms.h"
#include "dbengine/expr/ValueTypes.h"
#include "dbengine/util/EngineUtils.h"

namespace dbengine {
namespace {

// A conversion buffer filled with a value of the source type.
struct Buf {
    uint8_t Bytes[ConvertBufferSize + 5];

    Buf() { std::memset(Bytes, 0xAA, sizeof Bytes); }
    static Buf Text(const std::string& s) {
        Buf b;
        std::memcpy(b.Bytes, s.c_str(), s.size() + 1);
        return b;
    }
    template <typename T>
    static Buf Of(T v) {
        Buf b;
        std::memcpy(b.Bytes, &v, sizeof v);  // little-endian host, as records are
        return b;
    }
    template <typename T>
    T As() const {
        T v;
        std::memcpy(&v, Bytes, sizeof v);
        return v;
    }
    std::string Str() const { return reinterpret_cast<const char*>(Bytes); }
    int64_t Currency() const {
        TBcd bcd;
        bcd.Precision = Bytes[0];
        bcd.SignSpecialPlaces = Bytes[1];
        std::memcpy(bcd.Fraction, Bytes + 2, 32);
        return BcdToCurrency(bcd);
    }
};

bool Convert(Buf& b, uint8_t src, uint8_t dst, uint8_t srcSize = 0, uint8_t dstSize = 0,
             uint8_t dstScale = 4) {
    return ConvertFieldValue(src, srcSize, 0, dst, dstSize, dstScale, b.Bytes);
}

constexpr double Ts(int32_t day, int32_t ms) {
    return double(day) * MSecsPerDay + ms;
}

TEST(FieldConvertTest, IntegerLikeDestinations) {
    struct Case {
        std::string Text;
        uint8_t Dst;
        int64_t Value;
        bool Ok;
    } cases[] = {
        {"12", fldSmallInt, 12, true},
        {"x", fldSmallInt, 0, false},
        {"70000", fldSmallInt, 0, false},
        {"-32768", fldSmallInt, -32768, true},
        {"65535", fldWord, 65535, true},
        {"-1", fldWord, 0, false},
        {"2147483647", fldInteger, INT32_MAX, true},
        {"2147483648", fldInteger, 0, false},
        {"-9223372036854775808", fldLargeInt, INT64_MIN, true},
        {"9223372036854775808", fldLargeInt, 0, false},
        {"", fldInteger, 0, false},
    };
    for (const auto& c : cases) {
        Buf b = Buf::Text(c.Text);
        EXPECT_EQ(Convert(b, fldString, c.Dst, 51), c.Ok) << c.Text;
        int64_t got = c.Dst == fldSmallInt  ? b.As<int16_t>()
                      : c.Dst == fldWord    ? b.As<uint16_t>()
                      : c.Dst == fldInteger ? b.As<int32_t>()
                                            : b.As<int64_t>();
        EXPECT_EQ(got, c.Value) << c.Text;
    }
}

TEST(FieldConvertTest, NumbersBetweenTypes) {
    Buf b = Buf::Of(2.7);
    EXPECT_TRUE(Convert(b, fldFloat, fldInteger));
    EXPECT_EQ(b.As<int32_t>(), 2);
    b = Buf::Of(-2.7);
    EXPECT_TRUE(Convert(b, fldFloat, fldInteger));
    EXPECT_EQ(b.As<int32_t>(), -2);
    for (double bad : {1e30, 3e9, 40000.0, std::nan("")}) {
        b = Buf::Of(bad);
        EXPECT_FALSE(Convert(b, fldFloat, bad == 40000.0 ? fldSmallInt : fldInteger)) << bad;
        EXPECT_EQ(b.As<int32_t>(), 0);
    }
    b = Buf::Of(1.23456);
    EXPECT_TRUE(Convert(b, fldFloat, fldBCD, 0, 0, 4));
    EXPECT_EQ(b.Currency(), 12346);
    b = Buf::Of(2.5);
    EXPECT_TRUE(Convert(b, fldFloat, fldBCD));
    EXPECT_EQ(b.Currency(), 25000);
    EXPECT_EQ(b.Bytes[1] & 0x3F, 4);  // places of the destination
    b = Buf::Of(int32_t(70000));
    EXPECT_FALSE(Convert(b, fldInteger, fldSmallInt));
    b = Buf::Of(int16_t(-1));
    EXPECT_FALSE(Convert(b, fldSmallInt, fldWord));
    b = Buf::Of(int16_t(-5));
    EXPECT_TRUE(Convert(b, fldSmallInt, fldLargeInt));
    EXPECT_EQ(b.As<int64_t>(), -5);
    b = Buf::Of(uint16_t(65535));
    EXPECT_TRUE(Convert(b, fldWord, fldInteger));
    EXPECT_EQ(b.As<int32_t>(), 65535);
    b = Buf::Of(int64_t(INT64_MAX));
    EXPECT_FALSE(Convert(b, fldLargeInt, fldBCD));  // beyond the currency range
    b = Buf::Of(int32_t(-7));
    EXPECT_TRUE(Convert(b, fldInteger, fldBCD, 0, 0, 2));
    EXPECT_EQ(b.Currency(), -70000);
    EXPECT_TRUE(Convert(b, fldBCD, fldString));
    EXPECT_EQ(b.Str(), "-7");
    b = Buf::Text("1.25");
    EXPECT_TRUE(Convert(b, fldString, fldBCD, 10, 0, 2));  // "." whatever the locale
    EXPECT_EQ(b.Currency(), 12500);
    EXPECT_TRUE(Convert(b, fldBCD, fldFloat));
    EXPECT_EQ(b.As<double>(), 1.25);
    b = Buf::Of(1.5);
    EXPECT_TRUE(Convert(b, fldFloat, fldString));
    EXPECT_EQ(b.Str(), "1.5");
}

TEST(FieldConvertTest, Booleans) {
    struct Case {
        uint8_t Src;
        int64_t Value;
        uint16_t Result;
    } cases[] = {
        {fldInteger, 0, 0},  {fldInteger, -3, 1}, {fldLargeInt, 1LL << 40, 1},
        {fldSmallInt, 5, 1}, {fldWord, 0, 0},
    };
    for (const auto& c : cases) {
        Buf b = c.Src == fldInteger    ? Buf::Of(int32_t(c.Value))
                : c.Src == fldLargeInt ? Buf::Of(int64_t(c.Value))
                : c.Src == fldSmallInt ? Buf::Of(int16_t(c.Value))
                                       : Buf::Of(uint16_t(c.Value));
        EXPECT_TRUE(Convert(b, c.Src, fldBoolean));
        EXPECT_EQ(b.As<uint16_t>(), c.Result);
    }
    Buf b = Buf::Of(uint16_t(1));
    EXPECT_TRUE(Convert(b, fldBoolean, fldString));
    EXPECT_EQ(b.Str(), "True");
    b = Buf::Text("false");
    EXPECT_TRUE(Convert(b, fldString, fldBoolean, 6));
    EXPECT_EQ(b.As<uint16_t>(), 0);
    for (uint8_t src : {fldFloat, fldBCD}) {
        b = Buf::Of(1.0);
        EXPECT_FALSE(Convert(b, src, fldBoolean));
    }
    b = Buf::Of(uint16_t(1));
    EXPECT_FALSE(Convert(b, fldBoolean, fldFloat));
    EXPECT_EQ(NormalizeBoolean(2), 1);
    EXPECT_EQ(NormalizeBoolean(0xFFFF), 1);
    EXPECT_EQ(NormalizeBoolean(0), 0);
}

TEST(FieldConvertTest, DatesTimesAndTimestamps) {
    Buf b = Buf::Of(int32_t(730120));
    EXPECT_TRUE(Convert(b, fldDate, fldString));
    EXPECT_EQ(b.Str(), "2000-01-01");
    b = Buf::Of(int32_t(730120));
    EXPECT_TRUE(Convert(b, fldDate, fldTimestamp));
    EXPECT_EQ(b.As<double>(), 63082368000000.0);
    b = Buf::Of(int32_t(0));
    EXPECT_FALSE(Convert(b, fldDate, fldString));
    EXPECT_EQ(b.Str(), "");

    b = Buf::Of(Ts(730120, 43200000));
    EXPECT_TRUE(Convert(b, fldTimestamp, fldDate));
    EXPECT_EQ(b.As<int32_t>(), 730120);
    b = Buf::Of(Ts(730120, 43200000));
    EXPECT_TRUE(Convert(b, fldTimestamp, fldTime));
    EXPECT_EQ(b.As<int32_t>(), 43200000);
    b = Buf::Of(Ts(730120, 43200000));
    EXPECT_TRUE(Convert(b, fldTimestamp, fldString));
    EXPECT_EQ(b.Str(), "2000-01-01 12:00");

    b = Buf::Of(int32_t(3723004));
    EXPECT_TRUE(Convert(b, fldTime, fldString));
    EXPECT_EQ(b.Str(), "01:02:03.4");
    b = Buf::Of(int32_t(1000));
    EXPECT_TRUE(Convert(b, fldTime, fldTimestamp));
    EXPECT_EQ(b.As<double>(), NullDateTimestamp + 1000);

    b = Buf::Text("2000-01-01 10:00");
    EXPECT_FALSE(Convert(b, fldString, fldDate, 20));
    EXPECT_EQ(b.As<int32_t>(), DateDelta);
    b = Buf::Text("2000-01-01 10:00");
    EXPECT_TRUE(Convert(b, fldString, fldTimestamp, 20));
    EXPECT_EQ(b.As<double>(), Ts(730120, 36000000));
    b = Buf::Text("soon");
    EXPECT_FALSE(Convert(b, fldString, fldTimestamp, 20));
    EXPECT_EQ(b.As<double>(), 59926521600000.0);
    b = Buf::Of(int32_t(730120));
    EXPECT_FALSE(Convert(b, fldDate, fldInteger));
    EXPECT_EQ(b.As<int32_t>(), 0);
}

TEST(FieldConvertTest, StringsBytesAndBlobs) {
    Buf b = Buf::Text("abcdef");
    EXPECT_TRUE(Convert(b, fldString, fldString, 7, 4));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b.Bytes), 5), std::string("abcd\0", 5));
    EXPECT_EQ(b.Bytes[ConvertBufferSize - 1], 0);
    EXPECT_EQ(b.Bytes[ConvertBufferSize], 0xAA);  // nothing beyond the buffer is touched

    b = Buf::Of(int32_t(0x04030201));
    EXPECT_TRUE(Convert(b, fldInteger, fldBytes, 0, 2));
    EXPECT_EQ(b.Bytes[0], 1);
    EXPECT_EQ(b.Bytes[1], 2);
    EXPECT_EQ(b.Bytes[2], 0);
    b = Buf::Of(int32_t(0x04030201));
    EXPECT_TRUE(Convert(b, fldBytes, fldInteger, 4));
    EXPECT_EQ(b.As<int32_t>(), 0x04030201);
    b = Buf::Of(int32_t(1));
    EXPECT_FALSE(Convert(b, fldBytes, fldBlob, 4));

    Buf blob = Buf::Of(int64_t(0x1122334455667788));
    Buf before = blob;
    EXPECT_TRUE(Convert(blob, fldBlob, fldString));
    EXPECT_EQ(std::memcmp(blob.Bytes, before.Bytes, sizeof blob.Bytes), 0);
    b = Buf::Of(int32_t(5));
    EXPECT_FALSE(Convert(b, fldInteger, fldBlob));
}

TEST(FieldConvertTest, DateTimeConstantsFromText) {
    Buf b = Buf::Text("2001-13-01");
    EXPECT_FALSE(TextToDateTimeValue(b.Bytes, fldDate));
    EXPECT_EQ(b.As<int32_t>(), DateDelta);
    b = Buf::Text("10:30");
    EXPECT_TRUE(TextToDateTimeValue(b.Bytes, fldTime));
    EXPECT_EQ(b.As<int32_t>(), 37800000);
    b = Buf::Text("2000-01-01 12:00");
    EXPECT_TRUE(TextToDateTimeValue(b.Bytes, fldTimestamp));
    EXPECT_EQ(b.As<double>(), Ts(730120, 43200000));
    b = Buf::Text("12");
    EXPECT_TRUE(TextToDateTimeValue(b.Bytes, fldInteger));
    EXPECT_EQ(b.Str(), "12");
}

TEST(FieldConvertTest, ValueTextsOfFieldTypes) {
    struct Case {
        const char* Text;
        uint8_t Type;
        bool Valid;
    } cases[] = {
        {"", fldInteger, true},
        {"", fldDate, true},
        {"CURRENT_DATE", fldTimestamp, true},
        {"current_date", fldDate, true},
        {"CURRENT_DATE", fldTime, false},
        {"CURRENT_TIME", fldTime, true},
        {"40000", fldSmallInt, false},
        {"-32768", fldSmallInt, true},
        {"65535", fldWord, true},
        {"65536", fldWord, false},
        {"2001-02-03", fldDate, true},
        {"2001-02-30", fldDate, false},
        {"10:00", fldTimestamp, true},
        {"2001-02-03 10:00", fldTimestamp, true},
        {"yes", fldBoolean, false},
        {"TRUE", fldBoolean, true},
        {"1.5", fldFloat, true},
        {"1,5", fldFloat, false},
        {"1.5", fldBCD, true},
        {"anything", fldString, true},
        {"anything", fldBlob, true},
        {"9223372036854775807", fldLargeInt, true},
        {"2147483648", fldInteger, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsValidValueText(c.Text, c.Type), c.Valid) << c.Text << " " << int(c.Type);
}

}  // namespace
}  // namespace dbengine
