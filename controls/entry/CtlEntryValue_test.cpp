#include "controls/entry/CtlEntryValue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/entry/CtlMessages.h"

namespace entry {
namespace {

std::string Hex(const TCtlRangeRec& r) {
    std::string s;
    for (uint8_t b : r.Bytes) {
        s += "0123456789ABCDEF"[b >> 4];
        s += "0123456789ABCDEF"[b & 15];
    }
    return s;
}

TEST(CtlEntryValue, SizesByTypeAndBadCodes) {
    const int sizes[] = {16, 1, 1, 1, 4, 2, 2, 1, 1, 8, 10, 8, 4, 8, 4, 4};
    for (int t = 0; t < CtlDataTypeCount; ++t)
        EXPECT_EQ(CtlValueSize(static_cast<uint8_t>(t), 16), sizes[t]) << t;
    try {
        CtlValueSize(16, 16);
        FAIL() << "code 16 taken";
    } catch (const ECtlException& e) {
        EXPECT_EQ(e.Message, "Parameter value is invalid");
    }
}

TEST(CtlEntryValue, IntegersAreNarrowedToTheTypeAndWidenedBack) {
    struct Case {
        uint8_t Type;
        int32_t In;
        int32_t Out;
    };
    for (Case c :
         {Case{dtByte, 300, 44}, Case{dtWord, 65535, 65535}, Case{dtSmallInt, -1, -1},
          Case{dtShortInt, 200, -56}, Case{dtLongInt, INT32_MIN, INT32_MIN}, Case{dtWord, -1, 65535}}) {
        SCOPED_TRACE(c.In);
        const TCtlEntryValue v = CtlIntegerValue(c.Type, c.In);
        EXPECT_EQ(static_cast<int>(v.Bytes.size()), CtlValueSize(c.Type, 0));
        EXPECT_EQ(CtlValueAsInteger(v), c.Out);
    }
    EXPECT_THROW(CtlIntegerValue(dtString, 1), EInvalidDataType);
    TCtlEntryValue s;
    s.DataType = dtString;
    try {
        CtlValueAsInteger(s);
        FAIL() << "a string read as an integer";
    } catch (const EInvalidDataType& e) {
        EXPECT_EQ(e.Message, "Invalid data type for this field");
    }
    // A value of the wrong size or type is refused.
    TCtlEntryValue wrong = CtlIntegerValue(dtWord, 5);
    wrong.Bytes.push_back(0xFF);
    EXPECT_THROW(CtlValueAsInteger(wrong), ECtlException);
    EXPECT_THROW(CtlCheckEntryValue(CtlIntegerValue(dtWord, 5), dtSmallInt, 2), ECtlException);
    EXPECT_NO_THROW(CtlCheckEntryValue(CtlIntegerValue(dtWord, 5), dtWord, 2));
}

TEST(CtlRangeRec, BytesByDataType) {
    TCtlRangeRec r;
    r.SetInteger(-2);
    EXPECT_EQ(Hex(r), "FEFFFFFF000000000000");
    r.SetChar('A');
    EXPECT_EQ(Hex(r), "41000000000000000000");
    r.SetReal(1.0);
    EXPECT_EQ(Hex(r), "000000000000F03F0000");
    EXPECT_EQ(r.AsReal(), 1.0);
    r.SetExtended(-1.0L);
    EXPECT_EQ(Hex(r), "0000000000000080FFBF");
    EXPECT_EQ(r.AsExtended(), -1.0L);
    EXPECT_EQ(Hex(CtlDefaultRangeHi(dtLongInt)), "FFFFFF7F000000000000");
    EXPECT_EQ(CtlDefaultRangeHi(dtDate).AsInteger(), 876581);
    EXPECT_EQ(CtlDefaultRangeLo(dtSingle).AsExtended(), -3.4e38L);
    EXPECT_EQ(CtlDefaultRangeHi(dtExtended).AsExtended(), 1.1e4932L);
    EXPECT_EQ(CtlDefaultRangeLo(dtString), TCtlRangeRec{});
    EXPECT_FALSE(CtlStoresRange(dtString));
    EXPECT_FALSE(CtlStoresRange(dtYesNo));
    EXPECT_TRUE(CtlStoresRange(dtChar));
}

TEST(CtlRangeRec, TextOfCharAndIntegerLimits) {
    struct Case {
        uint8_t Type;
        const char* Mask;
        bool High;
        const char* Text;
    };
    const Case cases[] = {
        {dtChar, "X", false, "#32"},
        {dtLongInt, "KKKKKKKK", false, "80000000"},
        {dtLongInt, "KKKKKKKK", true, "7FFFFFFF"},
        {dtByte, "bbbbbbbb", false, "00000000"},
        {dtByte, "bbbbbbbb", true, "11111111"},
        {dtSmallInt, "OOOOOOOO", false, "00100000"},
        {dtLongInt, "OOOOOOOOOOOO", true, "017777777777"},
        {dtWord, "99999", true, "65535"},
        {dtShortInt, "iiii", false, "-128"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Text);
        const TCtlRangeRec rec = c.High ? CtlDefaultRangeHi(c.Type) : CtlDefaultRangeLo(c.Type);
        EXPECT_EQ(CtlRangeToText(c.Type, rec, c.Mask), c.Text);
        TCtlRangeRec back;
        ASSERT_TRUE(CtlTextToRange(c.Type, c.Text, c.Mask, back));
        EXPECT_EQ(back, rec);
    }
}

TEST(CtlRangeRec, TextsThatDoNotConvertOrFitAreRefused) {
    struct Case {
        uint8_t Type;
        const char* Mask;
        std::string Text;
    };
    const Case bad[] = {
        {dtLongInt, "iii", "abc"}, {dtByte, "999", "300"},
        {dtByte, "999", "-1"},     {dtSmallInt, "KKKK", "18000"},
        {dtByte, "bbbbbbbb", "2"}, {dtLongInt, "OOO", "77777777777"},
        {dtWord, "KKKK", "$1G"},   {dtLongInt, "bbb", std::string(33, '1')},
    };
    for (const Case& c : bad) {
        SCOPED_TRACE(c.Text);
        TCtlRangeRec r;
        r.SetInteger(7);
        EXPECT_FALSE(CtlTextToRange(c.Type, c.Text, c.Mask, r));
        EXPECT_EQ(r.AsInteger(), 7) << "unchanged";
    }
    TCtlRangeRec r;
    ASSERT_TRUE(CtlTextToRange(dtLongInt, "  ", "iii", r));
    EXPECT_EQ(r.AsInteger(), 0);
    ASSERT_TRUE(CtlTextToRange(dtLongInt, "-2147483648", "iii", r));
    EXPECT_EQ(r.AsInteger(), INT32_MIN);
    ASSERT_TRUE(CtlTextToRange(dtWord, "$ff", "KKKK", r));
    EXPECT_EQ(r.AsInteger(), 255);
    for (auto [text, code] :
         {std::pair{"#65", 'A'}, std::pair{"#x", ' '}, std::pair{"", ' '}, std::pair{"Zed", 'Z'}}) {
        ASSERT_TRUE(CtlTextToRange(dtChar, text, "X", r));
        EXPECT_EQ(r.AsChar(), code) << text;
    }
    EXPECT_EQ(CtlRangeToText(dtChar, r, "X"), "Z");
}

}  // namespace
}  // namespace entry
