// Field kinds: their data forms as the dataset stores them, conversions between value kinds,
// display and edit text, validation and the BCD and date encodings.

#include "framework/data/Fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "framework/core/DateTime.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSet.h"
#include "framework/testsupport/MemDataSet.h"

using namespace framework;
using framework::testsupport::TMemDataSet;

namespace {

// One record holding a field of every kind, in edit state.
struct AllKinds : ::testing::Test {
    TMemDataSet ds;
    void SetUp() override {
        ResetFormatSettings();
        ds.FieldDefs.Add("S", ftString, 8);
        ds.FieldDefs.Add("Small", ftSmallint);
        ds.FieldDefs.Add("Int", ftInteger);
        ds.FieldDefs.Add("W", ftWord);
        ds.FieldDefs.Add("Auto", ftAutoInc);
        ds.FieldDefs.Add("Large", ftLargeint);
        ds.FieldDefs.Add("F", ftFloat);
        ds.FieldDefs.Add("Cur", ftCurrency);
        ds.FieldDefs.Add("Bcd", ftBCD, 2);
        ds.FieldDefs.Add("B", ftBoolean);
        ds.FieldDefs.Add("D", ftDate);
        ds.FieldDefs.Add("T", ftTime);
        ds.FieldDefs.Add("DT", ftDateTime);
        ds.FieldDefs.Add("Bytes", ftBytes, 4);
        ds.FieldDefs.Add("VarBytes", ftVarBytes, 6);
        ds.FieldDefs.Add("Blob", ftBlob);
        ds.FieldDefs.Add("Memo", ftMemo);
        ds.FieldDefs.Add("Pic", ftGraphic);
        ds.Open();
        ds.Append();
    }
    TField* F(const char* name) { return ds.FieldByName(name); }
    template <class T>
    T Raw(const char* name) {
        T v{};
        EXPECT_TRUE(F(name)->GetData(&v)) << name;
        return v;
    }
};

}  // namespace

TEST_F(AllKinds, DefaultFieldClassesAndDataSizes) {
    struct Case {
        const char* name;
        const char* className;
        int dataSize;
    };
    const Case cases[] = {
        {"S", "TStringField", 9},    {"Small", "TSmallintField", 2}, {"Int", "TIntegerField", 4},
        {"W", "TWordField", 2},      {"Auto", "TAutoIncField", 4},   {"Large", "TLargeintField", 8},
        {"F", "TFloatField", 8},     {"Cur", "TCurrencyField", 8},   {"Bcd", "TBCDField", 34},
        {"B", "TBooleanField", 2},   {"D", "TDateField", 4},         {"T", "TTimeField", 4},
        {"DT", "TDateTimeField", 8}, {"Bytes", "TBytesField", 4},    {"VarBytes", "TVarBytesField", 8},
        {"Blob", "TBlobField", 0},   {"Memo", "TMemoField", 0},      {"Pic", "TGraphicField", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(F(c.name)->ClassName(), c.className) << c.name;
        EXPECT_EQ(F(c.name)->DataSize(), c.dataSize) << c.name;
        EXPECT_TRUE(F(c.name)->IsNull()) << c.name;
    }
}

TEST_F(AllKinds, DateTimeAndBooleanDataForms) {
    double dt = EncodeDate(2003, 1, 2) + EncodeTime(14, 30, 15, 250);
    F("D")->SetAsDateTime(dt);
    F("T")->SetAsDateTime(dt);
    F("DT")->SetAsDateTime(dt);
    // 1 January of year 1 is day 1; 2 January 2003 is day 731217.
    EXPECT_EQ(Raw<int32_t>("D"), 731217);
    EXPECT_EQ(Raw<int32_t>("T"), ((14 * 60 + 30) * 60 + 15) * 1000 + 250);
    EXPECT_EQ(Raw<double>("DT"), 731217.0 * 86400000.0 + 52215250.0);
    EXPECT_EQ(F("D")->AsDateTime(), std::trunc(dt));
    EXPECT_NEAR(F("T")->AsDateTime(), dt - std::trunc(dt), 1e-9);
    EXPECT_NEAR(F("DT")->AsDateTime(), dt, 1e-9);
    // The first day of year 1 and the zero of TDateTime.
    F("D")->SetAsDateTime(EncodeDate(1, 1, 1));
    EXPECT_EQ(Raw<int32_t>("D"), 1);
    F("D")->SetAsDateTime(0.0);
    EXPECT_EQ(Raw<int32_t>("D"), DateDelta);

    F("B")->SetAsBoolean(true);
    EXPECT_EQ(Raw<int16_t>("B"), 1);
    F("B")->SetAsBoolean(false);
    EXPECT_EQ(Raw<int16_t>("B"), 0);
    EXPECT_FALSE(F("B")->IsNull());
}

TEST_F(AllKinds, TextOfEachKind) {
    struct Case {
        const char* field;
        const char* input;  // through AsString
        const char* asString;
        const char* display;
    };
    const Case cases[] = {
        {"S", "hello", "hello", "hello"},
        {"S", "longer than eight", "longer t", "longer t"},
        {"Small", "-123", "-123", "-123"},
        {"Int", "2147483647", "2147483647", "2147483647"},
        {"W", "65535", "65535", "65535"},
        {"Large", "-9000000000", "-9000000000", "-9000000000"},
        {"F", "1.5", "1.5", "1.5"},
        {"F", "0.1", "0.1", "0.1"},
        {"Cur", "1234.5", "1234.5", "$1,234.50"},
        {"Cur", "-2", "-2", "($2.00)"},
        {"Bcd", "12.345", "12.35", "12.35"},
        {"B", "t", "True", "True"},
        {"B", "FALSE", "False", "False"},
        {"D", "1/2/2003", "1/2/2003", "1/2/2003"},
        {"T", "2:30 PM", "2:30:00 PM", "2:30:00 PM"},
        {"DT", "12/31/1999 11:59:59 PM", "12/31/1999 11:59:59 PM", "12/31/1999 11:59:59 PM"},
        {"DT", "3/4/2005", "3/4/2005", "3/4/2005"},
        {"VarBytes", "abc", "abc", "(VarBytes)"},
    };
    for (const Case& c : cases) {
        F(c.field)->SetAsString(c.input);
        EXPECT_EQ(F(c.field)->AsString(), c.asString) << c.field << " " << c.input;
        EXPECT_EQ(F(c.field)->DisplayText(), c.display) << c.field << " " << c.input;
    }
    // An empty text clears a number, a date or a boolean.
    for (const char* name : {"Int", "F", "D", "B", "Bcd"}) {
        F(name)->SetAsString("");
        EXPECT_TRUE(F(name)->IsNull()) << name;
        EXPECT_EQ(F(name)->DisplayText(), "") << name;
    }
}

TEST_F(AllKinds, ValuesOutsideTheRangeOrNotNumbersAreRefused) {
    struct Case {
        const char* field;
        const char* input;
        const char* message;
    };
    const Case cases[] = {
        {"Small", "40000",
         "40000 is not a valid value for field 'Small'. The allowed range is -32768 to 32767"},
        {"W", "-1", "-1 is not a valid value for field 'W'. The allowed range is 0 to 65535"},
        {"Int", "12x", "'12x' is not a valid integer value"},
        {"F", "1.2.3", "'1.2.3' is not a valid floating point value"},
        {"B", "maybe", "'maybe' is not a valid boolean value for field 'B'"},
        {"D", "2/30/2003", "'2/30/2003' is not a valid date"},
    };
    for (const Case& c : cases) {
        try {
            F(c.field)->SetAsString(c.input);
            ADD_FAILURE() << c.field << " accepted " << c.input;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message, c.message);
        }
        EXPECT_TRUE(F(c.field)->IsNull()) << c.field;
    }
    auto* i = static_cast<TIntegerField*>(F("Int"));
    i->MinValue = 1;
    i->MaxValue = 10;
    EXPECT_THROW(i->SetAsInteger(11), EDatabaseError);
    i->SetAsInteger(10);
    EXPECT_EQ(i->AsInteger(), 10);
    EXPECT_THROW(F("S")->AsInteger(), EConvertError);
    EXPECT_THROW(F("Bytes")->AsFloat(), EDatabaseError);  // no number in a bytes field
}

TEST_F(AllKinds, ConversionsBetweenValueKinds) {
    F("Int")->SetAsFloat(2.6);
    EXPECT_EQ(F("Int")->AsInteger(), 3);
    EXPECT_EQ(F("Int")->AsCurrency(), 30000);
    F("F")->SetAsInteger(7);
    EXPECT_EQ(F("F")->AsString(), "7");
    F("Cur")->SetAsCurrency(12345);  // 1.2345
    EXPECT_DOUBLE_EQ(F("Cur")->AsFloat(), 1.2345);
    F("Bcd")->SetAsCurrency(-98765);  // -9.8765 kept with 2 places
    EXPECT_EQ(F("Bcd")->AsCurrency(), -98800);
    EXPECT_EQ(F("Bcd")->AsVariant().VarType(), TVarType::varCurrency);
    F("S")->SetAsBoolean(true);
    EXPECT_EQ(F("S")->AsString(), "T");
    EXPECT_TRUE(F("S")->AsBoolean());
    F("S")->SetAsString("No");
    EXPECT_FALSE(F("S")->AsBoolean());
    F("S")->SetAsInteger(42);
    EXPECT_EQ(F("S")->AsInteger(), 42);
    F("DT")->SetAsVariant(Variant("1/2/2003 6:00:00 AM"));
    EXPECT_DOUBLE_EQ(F("DT")->AsFloat(), EncodeDate(2003, 1, 2) + 0.25);
    EXPECT_EQ(F("DT")->AsVariant().VarType(), TVarType::varDate);
    F("Large")->SetAsVariant(Variant(int64_t(1) << 40));
    EXPECT_EQ(static_cast<TLargeintField*>(F("Large"))->AsLargeInt(), int64_t(1) << 40);
    EXPECT_THROW(F("Large")->AsInteger(), EDatabaseError);
    F("Int")->SetAsVariant(Variant());
    EXPECT_TRUE(F("Int")->IsNull());
    EXPECT_TRUE(F("Int")->AsVariant().IsNull());
    F("Bytes")->SetAsString(std::string("\x01\x02", 2));
    EXPECT_EQ(F("Bytes")->AsString(), std::string("\x01\x02\x00\x00", 4));
}

TEST_F(AllKinds, BlobKindsHoldTextAndShowTheirKind) {
    EXPECT_EQ(F("Memo")->DisplayText(), "(memo)");
    EXPECT_EQ(F("Blob")->DisplayText(), "(blob)");
    F("Memo")->SetAsString("a long comment");
    F("Blob")->SetAsString(std::string("\0\1\2", 3));
    F("Pic")->SetAsString("GIF89a");
    EXPECT_EQ(F("Memo")->AsString(), "a long comment");
    EXPECT_EQ(F("Memo")->DisplayText(), "(MEMO)");
    EXPECT_EQ(F("Memo")->Text(), "a long comment");
    EXPECT_EQ(F("Blob")->AsString(), std::string("\0\1\2", 3));
    EXPECT_EQ(F("Pic")->DisplayText(), "(GRAPHIC)");
    ds.FieldByName("S")->SetAsString("x");
    ds.Post();
    EXPECT_EQ(F("Memo")->AsString(), "a long comment");
    EXPECT_FALSE(F("Memo")->IsNull());
}

TEST_F(AllKinds, DisplayAndEditFormats) {
    auto* f = static_cast<TFloatField*>(F("F"));
    f->SetAsFloat(1234.5);
    struct Case {
        const char* format;
        const char* text;
    };
    const Case cases[] = {
        {"0.00", "1234.50"},     {"#,##0.00", "1,234.50"}, {"#,##0", "1,235"}, {"0.000E", "1234.500E"},
        {"\"$\"0.0", "$1234.5"}, {"000000", "001235"},     {"0.##", "1234.5"},
    };
    for (const Case& c : cases) {
        f->DisplayFormat = c.format;
        EXPECT_EQ(f->DisplayText(), c.text) << c.format;
    }
    f->DisplayFormat = "#,##0.00";
    f->EditFormat = "0.0";
    EXPECT_EQ(f->Text(), "1234.5");
    f->SetAsFloat(-3);
    f->DisplayFormat = "0.00;(0.00);zero";
    EXPECT_EQ(f->DisplayText(), "(3.00)");
    f->SetAsFloat(0);
    EXPECT_EQ(f->DisplayText(), "zero");

    auto* d = static_cast<TDateTimeField*>(F("DT"));
    d->SetAsDateTime(EncodeDate(2003, 1, 2) + EncodeTime(14, 5, 9, 0));
    d->DisplayFormat = "dd.mm.yyyy hh:nn";
    EXPECT_EQ(d->DisplayText(), "02.01.2003 14:05");
    d->DisplayFormat = "mmmm d, yyyy h:nn am/pm";
    EXPECT_EQ(d->DisplayText(), "January 2, 2003 2:05 pm");
    d->DisplayFormat = "ddd dd/mm/yy";
    EXPECT_EQ(d->DisplayText(), "Thu 02/01/03");
    EXPECT_EQ(d->Text(), "1/2/2003 2:05:09 PM");  // editing ignores the display format

    auto* b = static_cast<TBooleanField*>(F("B"));
    b->SetDisplayValues("Yes;No");
    b->SetAsString("n");
    EXPECT_EQ(b->DisplayText(), "No");
    b->SetAsString("YES");
    EXPECT_EQ(b->DisplayText(), "Yes");
    EXPECT_EQ(b->DisplayWidth(), 3);
}

TEST_F(AllKinds, GetTextHandlerAndPresentationDefaults) {
    TField* s = F("S");
    s->SetAsString("abc");
    s->OnGetText = [](TField* f, std::string& text, bool display) {
        text = (display ? "<" : "[") + f->AsString() + (display ? ">" : "]");
    };
    EXPECT_EQ(s->DisplayText(), "<abc>");
    EXPECT_EQ(s->Text(), "[abc]");
    std::string set;
    s->OnSetText = [&](TField*, const std::string& text) { set = text; };
    s->SetText("typed");
    EXPECT_EQ(set, "typed");
    EXPECT_EQ(s->AsString(), "abc");

    EXPECT_EQ(F("S")->Alignment, taLeftJustify);
    EXPECT_EQ(F("Int")->Alignment, taRightJustify);
    EXPECT_EQ(F("S")->DisplayWidth(), 8);
    EXPECT_EQ(F("S")->DisplayLabel(), "S");
    F("S")->SetDisplayLabel("Name");
    EXPECT_EQ(F("S")->DisplayName(), "Name");
    EXPECT_TRUE(F("S")->IsValidChar('x'));
    EXPECT_TRUE(F("Int")->IsValidChar('7'));
    EXPECT_TRUE(F("Int")->IsValidChar('-'));
    EXPECT_FALSE(F("Int")->IsValidChar('.'));
    EXPECT_TRUE(F("F")->IsValidChar('.'));
    EXPECT_TRUE(F("F")->IsValidChar('E'));
    EXPECT_FALSE(F("F")->IsValidChar('x'));
    EXPECT_EQ(F("D")->Index(), 10);
    EXPECT_EQ(F("D")->FieldNo(), 11);
}

TEST_F(AllKinds, ReadOnlyFieldRefusesWrites) {
    F("Int")->ReadOnly = true;
    try {
        F("Int")->SetAsInteger(1);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Field 'Int' cannot be modified");
    }
    EXPECT_FALSE(F("Int")->CanModify());
    EXPECT_TRUE(F("S")->CanModify());
}

TEST(Bcd, CurrencyRoundTripsThroughPackedDigits) {
    TBcd b = CurrToBCD(123456789, 4);  // 12345.6789
    EXPECT_EQ(b.Precision, 9);
    EXPECT_EQ(b.SignSpecialPlaces, 4);
    EXPECT_EQ(b.Fraction[0], 0x12);
    EXPECT_EQ(b.Fraction[1], 0x34);
    EXPECT_EQ(b.Fraction[4], 0x90);
    EXPECT_EQ(BCDToCurr(b), 123456789);
    const int64_t values[] = {0, 1, -1, 5000, -123456789, 922337203685477LL * 10000};
    for (int64_t v : values)
        for (int places = 0; places <= 4; ++places) {
            int64_t scale = 1;
            for (int i = places; i < 4; ++i) scale *= 10;
            int64_t expected =
                (v / scale + (std::llabs(v % scale) * 2 >= scale ? (v < 0 ? -1 : 1) : 0)) * scale;
            EXPECT_EQ(BCDToCurr(CurrToBCD(v, places)), expected) << v << " " << places;
        }
    TBcd bad{};
    bad.Precision = 2;
    bad.Fraction[0] = 0xA1;  // not a decimal digit
    EXPECT_THROW(BCDToCurr(bad), EDatabaseError);
    TBcd huge{};
    huge.Precision = 30;
    std::memset(huge.Fraction, 0x99, 15);
    EXPECT_THROW(BCDToCurr(huge), EDatabaseError);
}
