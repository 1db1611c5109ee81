#include "dbengine/index/IndexKeys.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dbengine/index/IndexCursor.h"
#include "dbengine/index/testsupport/IndexTestSupport.h"
#include "dbengine/util/EngineUtils.h"

namespace dbengine {
namespace {

using testsupport::TFakeIndexTable;

std::string Hex(const uint8_t* p, size_t n) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}

template <typename F>
std::string Encoded(F encode, size_t n) {
    uint8_t out[8] = {};
    encode(out);
    return Hex(out, n);
}

TEST(IndexKeyEncoding, NumberVectors) {
    struct Case {
        std::string got;
        const char* want;
    } cases[] = {
        {Encoded([](uint8_t* o) { EncodeKeyInteger(1, o); }, 4), "80000001"},
        {Encoded([](uint8_t* o) { EncodeKeyInteger(-1, o); }, 4), "7FFFFFFF"},
        {Encoded([](uint8_t* o) { EncodeKeyInteger(0, o); }, 4), "80000000"},
        {Encoded([](uint8_t* o) { EncodeKeyInteger(INT32_MIN, o); }, 4), "00000000"},
        {Encoded([](uint8_t* o) { EncodeKeySmallInt(1, o); }, 2), "8001"},
        {Encoded([](uint8_t* o) { EncodeKeySmallInt(-2, o); }, 2), "7FFE"},
        {Encoded([](uint8_t* o) { EncodeKeyWord(0xFFFE, o); }, 2), "FFFE"},
        {Encoded([](uint8_t* o) { EncodeKeyWord(1, o); }, 2), "0001"},
        {Encoded([](uint8_t* o) { EncodeKeyLargeInt(1, o); }, 8), "8000000000000001"},
        {Encoded([](uint8_t* o) { EncodeKeyLargeInt(-1, o); }, 8), "7FFFFFFFFFFFFFFF"},
        {Encoded([](uint8_t* o) { EncodeKeyCurrency(12345678, o); }, 8), "8000000000BC614E"},
        // Doubles: struct.pack('>d', v) with the top bit set, or every byte inverted below 0.
        {Encoded([](uint8_t* o) { EncodeKeyDouble(1.0, o); }, 8), "BFF0000000000000"},
        {Encoded([](uint8_t* o) { EncodeKeyDouble(-1.0, o); }, 8), "400FFFFFFFFFFFFF"},
        {Encoded([](uint8_t* o) { EncodeKeyDouble(0.0, o); }, 8), "8000000000000000"},
        {Encoded([](uint8_t* o) { EncodeKeyDouble(-0.0, o); }, 8), "8000000000000000"},
        {Encoded([](uint8_t* o) { EncodeKeyDouble(2.5, o); }, 8), "C004000000000000"},
        {Encoded([](uint8_t* o) { EncodeKeyDouble(-1e300, o); }, 8), "01C81BC377FF8A63"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(IndexKeyEncoding, EncodedNumbersSortLikeTheirValues) {
    std::vector<double> values = {-1e300, -2.5, -1.0, -1e-300, 0.0, 1e-300, 1.0, 2.5, 1e300};
    for (size_t i = 1; i < values.size(); ++i) {
        uint8_t a[8], b[8];
        EncodeKeyDouble(values[i - 1], a);
        EncodeKeyDouble(values[i], b);
        EXPECT_LT(std::memcmp(a, b, 8), 0) << values[i - 1] << " " << values[i];
    }
    std::vector<int64_t> ints = {INT64_MIN, -70000, -1, 0, 1, 70000, INT64_MAX};
    for (size_t i = 1; i < ints.size(); ++i) {
        uint8_t a[8], b[8];
        EncodeKeyLargeInt(ints[i - 1], a);
        EncodeKeyLargeInt(ints[i], b);
        EXPECT_LT(std::memcmp(a, b, 8), 0);
    }
}

class IndexKeysTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeEngine();
        name = &table.AddField("Name", 1, 11);  // declared length 10
        table.AddField("Amount", 7, 8);
        table.AddField("Day", 2, 4);
        table.AddField("Id", 6, 4, 29);  // auto-increment: the record ID
        table.AddField("Small", 5, 2);
        table.AddField("Flag", 4, 2);
        table.AddField("Big", 18, 8);
        table.AddField("Stamp", 11, 8);
        table.AddField("Moment", 10, 4);
        table.AddField("Num", 12, 2);
        table.AddField("Price", 8, 34);  // 11: BCD
        name = &table.Fields[0];
        file = std::make_unique<TIndexFile>(&table);
        file->FileName = "KEYS.IDX";
        file->InMemory = true;
        file->CreateIndexFile();
        record.assign(table.RecordSize, 0);
    }
    void TearDown() override {
        file.reset();
        FinalizeEngine();
    }
    void SetValue(uint16_t fieldNo, const void* value, size_t n) {
        const TFieldDescriptor& f = table.Fields[fieldNo - 1];
        record[f.Offset] = 1;
        std::memcpy(record.data() + f.Offset + 1, value, n);
    }
    void SetNull(uint16_t fieldNo) {
        const TFieldDescriptor& f = table.Fields[fieldNo - 1];
        record[f.Offset] = 0;
        std::memset(record.data() + f.Offset + 1, 0, f.ValueSize);
    }
    void SetId(int32_t id) { std::memcpy(record.data() + 5, &id, 4); }
    uint8_t AddIndex(std::initializer_list<uint16_t> fields, bool unique, bool descending = false,
                     std::initializer_list<uint8_t> fieldDescending = {}, bool caseInsensitive = false) {
        TIndexDescriptor d;
        d.Name = "I" + std::to_string(file->GetIndexCount() + 1);
        int i = 0, keyPart = 0;
        for (uint16_t f : fields) {
            d.FieldNumbers[i++] = f;
            keyPart += KeyPartSize(table.Fields[f - 1]) + 1;
        }
        i = 0;
        for (uint8_t fd : fieldDescending) d.FieldDescending[i++] = fd;
        d.FieldCount = static_cast<uint8_t>(fields.size());
        d.Unique = unique;
        d.Descending = descending;
        d.CaseInsensitive = caseInsensitive;
        d.KeySize = static_cast<uint16_t>(keyPart + (unique ? 0 : 4));
        file->AddIndexDesc(d);
        return file->GetIndexCount();
    }
    std::vector<uint8_t> Key(uint8_t index, uint16_t language = 0) {
        std::vector<uint8_t> key(file->GetIndexDesc(index).KeySize + 3, 0xEE);
        BuildKey(*file, index, language, 0, record.data(), key.data(), record.data());
        key.resize(file->GetIndexDesc(index).KeySize);
        return key;
    }

    TFakeIndexTable table;
    const TFieldDescriptor* name = nullptr;
    std::unique_ptr<TIndexFile> file;
    std::vector<uint8_t> record;
};

TEST_F(IndexKeysTest, FieldEncodingsInAKey) {
    uint8_t index = AddIndex({2, 3, 5, 6, 7, 8, 9, 10}, true);
    double amount = -1.0, stamp = 1.0;
    int32_t day = 730000, moment = -5;
    int16_t small = -2;
    uint16_t flag = 1, num = 0x1234;
    int64_t big = 1;
    SetValue(2, &amount, 8);
    SetValue(3, &day, 4);
    SetValue(5, &small, 2);
    SetValue(6, &flag, 2);
    SetValue(7, &big, 8);
    SetValue(8, &stamp, 8);
    SetValue(9, &moment, 4);
    SetValue(10, &num, 2);
    std::vector<uint8_t> key = Key(index);
    EXPECT_EQ(Hex(key.data(), key.size()),
              "01400FFFFFFFFFFFFF"  // float -1.0
              "01800B2390"          // date 730000
              "017FFE"              // smallint -2
              "010001"              // boolean true
              "018000000000000001"  // largeint 1
              "01BFF0000000000000"  // timestamp 1.0
              "017FFFFFFB"          // time -5
              "011234");            // word
}

TEST_F(IndexKeysTest, BcdValuesEncodeAsCurrency) {
    uint8_t index = AddIndex({11}, true);
    EXPECT_EQ(file->GetIndexDesc(index).KeySize, 9);  // a BCD key part is 8 bytes
    TBcd bcd;
    ASSERT_TRUE(CurrencyToBcd(2, bcd, -12345600));  // -1234.56
    uint8_t value[34];
    value[0] = bcd.Precision;
    value[1] = bcd.SignSpecialPlaces;
    std::memcpy(value + 2, bcd.Fraction, 32);
    SetValue(11, value, 34);
    std::vector<uint8_t> key = Key(index);
    EXPECT_EQ(Hex(key.data(), key.size()), "017FFFFFFFFF439F00");
    value[0] = 0;  // precision 0: the value counts as 0
    SetValue(11, value, 34);
    key = Key(index);
    EXPECT_EQ(Hex(key.data(), key.size()), "018000000000000000");
}

TEST_F(IndexKeysTest, StringsNullsAndAutoIncrement) {
    uint8_t index = AddIndex({1, 4}, true, false, {}, true);
    SetValue(1, "abc\0zz", 6);
    SetId(7);
    std::vector<uint8_t> key = Key(index);
    // Upper-cased, zero after the first zero byte; the auto-increment value always counts.
    EXPECT_EQ(Hex(key.data(), key.size()), "0141424300000000000000000180000007");
    SetNull(1);
    key = Key(index);
    EXPECT_EQ(Hex(key.data(), 12), "000000000000000000000000");
}

TEST_F(IndexKeysTest, DescendingStringFieldInvertsAllButItsLastByte) {
    uint8_t index = AddIndex({1}, true, false, {1});
    SetValue(1, "AB", 2);
    std::vector<uint8_t> key = Key(index);
    ASSERT_EQ(key.size(), 12u);
    EXPECT_EQ(Hex(key.data(), key.size()), "FEBEBDFFFFFFFFFFFFFFFF00");
    // A descending index never inverts: its order comes from the comparison.
    uint8_t whole = AddIndex({1}, true, true, {1});
    key = Key(whole);
    EXPECT_EQ(Hex(key.data(), key.size()), "014142000000000000000000");
}

TEST_F(IndexKeysTest, NullOrderAndRecordIdTiebreak) {
    struct Order {
        bool indexDescending;
        bool fieldDescending;
    } orders[] = {{false, false}, {false, true}, {true, false}};
    for (const Order& o : orders) {
        SCOPED_TRACE(testing::Message() << o.indexDescending << o.fieldDescending);
        uint8_t index = AddIndex({2}, false, o.indexDescending, {static_cast<uint8_t>(o.fieldDescending)});
        TIndexCursor cursor(file.get());
        cursor.CurrentIndex = index;
        SetNull(2);
        SetId(1);
        std::vector<uint8_t> null = Key(index);
        double v = -1e9;
        SetValue(2, &v, 8);
        std::vector<uint8_t> low = Key(index);
        v = 5;
        SetValue(2, &v, 8);
        SetId(2);
        std::vector<uint8_t> fiveA = Key(index);
        SetId(3);
        std::vector<uint8_t> fiveB = Key(index);
        EXPECT_EQ(fiveA.size(), 13u);
        bool descending = o.indexDescending || o.fieldDescending;
        int sign = descending ? -1 : 1;
        size_t k = null.size();
        EXPECT_EQ(cursor.CompareKeys(null.data(), low.data(), k), -sign);
        EXPECT_EQ(cursor.CompareKeys(low.data(), fiveA.data(), k), -sign);
        // Equal values: ordered by record ID (ascending unless the whole index is descending).
        EXPECT_EQ(cursor.CompareKeys(fiveA.data(), fiveB.data(), k), o.indexDescending ? 1 : -1);
        // The same order through the field-by-field comparison of a table with a language.
        cursor.LanguageId = 1033;
        if (!o.fieldDescending) {
            EXPECT_EQ(cursor.CompareKeys(null.data(), low.data(), k), -sign);
            EXPECT_EQ(cursor.CompareKeys(fiveA.data(), fiveB.data(), k), o.indexDescending ? 1 : -1);
        }
    }
}

TEST_F(IndexKeysTest, PartialLengthComparesAPrefix) {
    uint8_t index = AddIndex({1}, true);
    TIndexCursor cursor(file.get());
    cursor.CurrentIndex = index;
    SetValue(1, "ABC", 3);
    std::vector<uint8_t> abc = Key(index);
    SetValue(1, "ABD", 3);
    std::vector<uint8_t> abd = Key(index);
    for (uint16_t language : {uint16_t(0), uint16_t(1033)}) {
        cursor.LanguageId = language;
        EXPECT_EQ(cursor.CompareKeys(abc.data(), abd.data(), 3), 0);
        EXPECT_EQ(cursor.CompareKeys(abc.data(), abd.data(), 4), -1);
        EXPECT_EQ(cursor.CompareKeys(abd.data(), abc.data(), abc.size()), 1);
    }
}

TEST_F(IndexKeysTest, InternalIndexKeys) {
    record[0] = 1;  // deleted
    SetId(0x01020304);
    uint8_t key[5];
    BuildRecordIdKey(record.data(), key, record.data());
    EXPECT_EQ(Hex(key, 5), "0181020304");

    // "Sys Text": flag, field number, word (compared as text), record ID.
    TIndexCursor cursor(file.get());
    cursor.CurrentIndex = SysTextIndex;
    uint8_t a[68] = {1, 0, 3}, b[68] = {1, 0, 3};
    std::memcpy(a + 3, "CAT", 3);
    std::memcpy(b + 3, "HAT", 3);
    EncodeKeyInteger(9, a + 64);
    EncodeKeyInteger(1, b + 64);
    EXPECT_EQ(cursor.CompareKeys(a, b, 68), -1);
    std::memcpy(b + 3, "CAT", 3);
    EXPECT_EQ(cursor.CompareKeys(a, b, 68), 1);
    b[2] = 4;
    EXPECT_EQ(cursor.CompareKeys(a, b, 68), -1);
}

}  // namespace
}  // namespace dbengine
