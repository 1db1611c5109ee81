#include "dbengine/index/Keys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineUtils.h"

namespace dbengine {
namespace {

std::string Hex(const uint8_t* bytes, size_t n) {
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[bytes[i] >> 4];
        s += digits[bytes[i] & 15];
    }
    return s;
}

TFieldDescriptor Field(int16_t no, uint8_t type, uint8_t size = 0, uint8_t subType = 0) {
    TFieldDescriptor d;
    d.FieldNo = no;
    d.Name = "F" + std::to_string(no);
    d.FieldType = type;
    d.Size = size;
    d.SubType = subType;
    ComputeValueSize(d);
    return d;
}

// The key part of one value (flag 1) of a field, ascending, language 0.
std::string Encoded(uint8_t type, const void* value, size_t valueSize, uint8_t size = 0) {
    TFieldDescriptor f = Field(1, type, size);
    uint8_t buffer[251] = {};
    std::memcpy(buffer, value, valueSize);
    uint8_t key[260] = {};
    key[0] = 1;
    EncodeKeyValue(f, buffer, key, false, false, 0, 0);
    return Hex(key + 1, KeyPartSize(f));
}

TEST(KeysTest, EncodingVectors) {
    auto i32 = [](int32_t v) { return Encoded(fldInteger, &v, 4); };
    EXPECT_EQ(i32(1), "80000001");
    EXPECT_EQ(i32(-1), "7FFFFFFF");
    EXPECT_EQ(i32(0), "80000000");
    EXPECT_EQ(i32(INT32_MIN), "00000000");
    int32_t day = 730000;
    EXPECT_EQ(Encoded(fldDate, &day, 4), "800B2390");
    int32_t ms = 3600000;
    EXPECT_EQ(Encoded(fldTime, &ms, 4), "8036EE80");
    int16_t small = -2;
    EXPECT_EQ(Encoded(fldSmallInt, &small, 2), "7FFE");
    uint16_t word = 0x1234;
    EXPECT_EQ(Encoded(fldWord, &word, 2), "1234");
    uint16_t boolean = 1;
    EXPECT_EQ(Encoded(fldBoolean, &boolean, 2), "0001");
    int64_t large = -5;
    EXPECT_EQ(Encoded(fldLargeInt, &large, 8), "7FFFFFFFFFFFFFFB");
    // Doubles as computed once from the big-endian IEEE bytes (struct.pack('>d')).
    const std::pair<double, const char*> doubles[] = {
        {1.0, "BFF0000000000000"},    {-1.0, "400FFFFFFFFFFFFF"}, {0.0, "8000000000000000"},
        {-0.0, "8000000000000000"},   {2.5, "C004000000000000"},  {-1e300, "01C81BC377FF8A63"},
        {1e-310, "800012688B70E62B"},
    };
    for (auto [v, hex] : doubles) {
        EXPECT_EQ(Encoded(fldFloat, &v, 8), hex) << v;
        EXPECT_EQ(Encoded(fldTimestamp, &v, 8), hex) << v;
    }
    // BCD keys go through the currency value: 1.5 is 15,000 units.
    TBcd bcd;
    ASSERT_TRUE(CurrencyToBcd(2, bcd, 15000));
    uint8_t raw[34];
    raw[0] = bcd.Precision;
    raw[1] = bcd.SignSpecialPlaces;
    std::memcpy(raw + 2, bcd.Fraction, 32);
    EXPECT_EQ(Encoded(fldBCD, raw, 34), "8000000000003A98");
    // Strings: up to the first zero, the rest zero.
    const char text[] = "ab\0zz";
    EXPECT_EQ(Encoded(fldString, text, 5, 4), "6162000000");
}

TEST(KeysTest, DescendingStringFieldInvertsAllButItsLastByte) {
    TKeyLayout layout;
    layout.Fields = {Field(1, fldString, 10)};
    layout.Fields[0].Offset = 9;
    layout.Index.KeySize = 12;
    layout.Index.Unique = 1;
    layout.Index.FieldCount = 1;
    layout.Index.FieldNumbers[0] = 1;
    layout.Index.FieldDescending[0] = 1;
    uint8_t record[21] = {};
    record[9] = 1;
    std::memcpy(record + 10, "AB", 2);
    uint8_t key[12];
    BuildKey(layout, record, record, key);
    EXPECT_EQ(Hex(key, 12), "FEBEBDFFFFFFFFFFFFFFFF00");
    // With the index itself descending no byte is inverted; the comparison negates instead.
    layout.Index.Descending = 1;
    BuildKey(layout, record, record, key);
    EXPECT_EQ(Hex(key, 12), "014142000000000000000000");
}

// Keys of records sorted by their keys come out in the intended order.
TEST(KeysTest, NullsNonUniqueSuffixAndDescendingOrder) {
    TKeyLayout layout;
    layout.Fields = {Field(1, fldInteger)};
    layout.Fields[0].Offset = 9;
    layout.Index.KeySize = 9;  // 5 + the record ID
    layout.Index.Unique = 0;
    layout.Index.FieldCount = 1;
    layout.Index.FieldNumbers[0] = 1;
    struct Row {
        bool HasValue;
        int32_t Value, Id;
    };
    const Row rows[] = {{true, 5, 3}, {false, 0, 9}, {true, -7, 4}, {true, 5, 1}, {true, 100, 2}};
    auto sorted = [&](bool descending, uint16_t language) {
        layout.Index.FieldDescending[0] = descending ? 1 : 0;
        layout.LanguageId = language;
        std::vector<std::pair<std::vector<uint8_t>, int32_t>> keys;
        for (const Row& r : rows) {
            uint8_t record[14] = {};
            record[9] = r.HasValue ? 1 : 0;
            PutInt32(record + 10, r.HasValue ? r.Value : 0);
            PutInt32(record + 5, r.Id);
            std::vector<uint8_t> key(9);
            BuildKey(layout, record, record, key.data());
            keys.push_back({key, r.Id});
        }
        std::sort(keys.begin(), keys.end(), [&](auto& a, auto& b) {
            return CompareKeys(layout, a.first.data(), b.first.data(), 9) < 0;
        });
        std::vector<int32_t> ids;
        for (auto& k : keys) ids.push_back(k.second);
        return ids;
    };
    // Ascending: NULL first, then -7, then the two 5s by record ID, then 100.
    EXPECT_EQ(sorted(false, 0), (std::vector<int32_t>{9, 4, 1, 3, 2}));
    // Descending field: NULL last; equal values still by record ID.
    EXPECT_EQ(sorted(true, 0), (std::vector<int32_t>{2, 1, 3, 4, 9}));
    // A table with a language compares field by field, negating for the descending field.
    EXPECT_EQ(sorted(true, 0x0409), (std::vector<int32_t>{2, 1, 3, 4, 9}));
    EXPECT_EQ(sorted(false, 0x0409), (std::vector<int32_t>{9, 4, 1, 3, 2}));
}

TEST(KeysTest, CaseInsensitivePrefixesAndInternalIndexes) {
    TKeyLayout layout;
    layout.Fields = {Field(1, fldString, 5), Field(2, fldInteger, 0, fldstAutoInc)};
    layout.Fields[0].Offset = 9;
    layout.Fields[1].Offset = 5;
    layout.Index.KeySize = 12;
    layout.Index.Unique = 1;
    layout.Index.CaseInsensitive = 1;
    layout.Index.FieldCount = 2;
    uint8_t a[16] = {}, b[16] = {};
    a[9] = b[9] = 1;
    std::memcpy(a + 10, "abc", 3);
    std::memcpy(b + 10, "ABD", 3);
    PutInt32(a + 5, 7);
    uint8_t ka[12], kb[12];
    BuildKey(layout, a, a, ka);
    BuildKey(layout, b, b, kb);
    EXPECT_EQ(Hex(ka, 12), "014142430000000180000007");  // upper-cased; auto-increment always has a value
    EXPECT_EQ(CompareKeys(layout, ka, kb, 3), 0);        // the flag and two characters
    EXPECT_EQ(CompareKeys(layout, ka, kb, 4), -1);
    layout.LanguageId = 0x0409;
    EXPECT_EQ(CompareKeys(layout, ka, kb, 3), 0);
    EXPECT_EQ(CompareKeys(layout, ka, kb, 12), -1);

    uint8_t deleted[5];
    uint8_t rec[9] = {1, 0, 0, 0, 0, 0, 0, 0, 2};
    BuildRecordIdKey(rec, rec, deleted);
    EXPECT_EQ(Hex(deleted, 5), "0182000000");
    TKeyLayout sys;
    sys.IndexNo = SysDeletedIndexNo;
    uint8_t live[5] = {0, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(CompareKeys(sys, live, deleted, 5), -1);  // live records before deleted ones

    TKeyLayout text;
    text.IndexNo = SysTextIndexNo;
    uint8_t t1[68] = {}, t2[68] = {};
    std::memcpy(t1 + 3, "apple", 5);
    std::memcpy(t2 + 3, "apply", 5);
    t1[67] = 9;
    EXPECT_EQ(CompareKeys(text, t1, t2, 1), -1);  // the length plays no part
    std::memcpy(t2 + 3, "apple", 5);
    EXPECT_EQ(CompareKeys(text, t1, t2, 68), 1);
}

}  // namespace
}  // namespace dbengine
