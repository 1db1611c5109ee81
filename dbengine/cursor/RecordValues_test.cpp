#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/expr/ValueTypes.h"
#include "dbengine/testsupport/TableFixture.h"
#include "framework/testsupport/FakeTime.h"

namespace dbengine {
namespace {

using testsupport::CodeOf;

// Field positions of the test table.
enum : uint16_t { fName = 1, fCode, fFlag, fCount, fBig, fStamp, fNotes, fRatio };

class RecordValuesTest : public testsupport::TableFixture {
protected:
    static TFieldDescriptor Field(int16_t no, const char* name, uint8_t type, uint8_t size = 0) {
        TFieldDescriptor f;
        f.FieldNo = no;
        f.Name = name;
        f.FieldType = type;
        f.Size = size;
        return f;
    }

    // Name (string 10), Code (string 6, upper case), Flag (boolean), Count (integer), Big
    // (largeint), Stamp (timestamp), Notes (memo), Ratio (float); the rules and defaults are the
    // caller's.
    std::unique_ptr<TDataCursor> Open(
        const std::function<void(std::vector<TFieldDescriptor>&)>& adjust = {}) {
        TTableDefinition def;
        def.Fields = {Field(fName, "Name", fldString, 10), Field(fCode, "Code", fldString, 6),
                      Field(fFlag, "Flag", fldBoolean),    Field(fCount, "Count", fldInteger),
                      Field(fBig, "Big", fldLargeInt),     Field(fStamp, "Stamp", fldTimestamp),
                      Field(fNotes, "Notes", fldBlob),     Field(fRatio, "Ratio", fldFloat)};
        def.Fields[fCode - 1].CharCase = 2;
        def.Fields[fNotes - 1].SubType = fldstMemo;
        if (adjust) adjust(def.Fields);
        for (auto& f : def.Fields) ComputeValueSize(f);
        AssignFieldOffsets(def.Fields);
        EXPECT_EQ(Database->CreateSharedTable("T", false, false, def), 0);
        EXPECT_EQ(Database->ReleaseSharedTable(Database->FindTable("T", false), false, false, false), 0);
        auto c = std::make_unique<TDataCursor>(Database);
        c->SetTableName("T");
        c->OpenCursor();
        Record.assign(c->GetRecordSize(), 0xEE);
        return c;
    }

    void PutText(TDataCursor& c, uint16_t field, const std::string& text) {
        uint8_t v[251] = {};
        std::memcpy(v, text.data(), text.size());
        c.PutField(field, Record.data(), v, false, false);
    }
    // The stored text, or "<null>".
    std::string GetText(TDataCursor& c, uint16_t field) {
        uint8_t v[251] = {};
        bool blank = false;
        c.GetField(field, Record.data(), v, blank);
        return blank ? "<null>" : std::string(reinterpret_cast<const char*>(v));
    }

    std::vector<uint8_t> Record;
};

TEST_F(RecordValuesTest, StringsAreTrimmedCutCasedAndBlankMeansNull) {
    auto c = Open();
    struct Case {
        uint16_t Field;
        std::string Written, Read;
    } cases[] = {
        {fName, "abc   ", "abc"},
        {fName, "   ", "<null>"},
        {fName, "", "<null>"},
        {fName, "abcdefghijKL", "abcdefghij"},
        {fName, "  lead", "  lead"},
        {fCode, "mixEd", "MIXED"},
        {fCode, "\xe9t\xe9", "\xc9T\xc9"},
    };
    for (const Case& k : cases) {
        PutText(*c, k.Field, k.Written);
        EXPECT_EQ(GetText(*c, k.Field), k.Read) << k.Written;
    }
    // The stored bytes: flag, text, zero padding up to the value size.
    PutText(*c, fName, "abc   ");
    TFieldDescriptor d;
    c->GetFieldDesc(fName, d);
    const uint8_t* at = Record.data() + d.Offset;
    EXPECT_EQ(at[0], 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(at + 1), 11), std::string("abc\0\0\0\0\0\0\0\0", 11));
}

TEST_F(RecordValuesTest, NumbersBooleansAndNull) {
    auto c = Open();
    uint8_t v[251] = {};
    bool blank = true;
    struct Case {
        int16_t Written, Read;
    } booleans[] = {{0, 0}, {1, 1}, {5, 1}, {-1, 1}};
    for (const Case& k : booleans) {
        PutInt16(v, k.Written);
        c->PutField(fFlag, Record.data(), v, false, false);
        uint8_t out[251] = {};
        c->GetField(fFlag, Record.data(), out, blank);
        EXPECT_FALSE(blank);
        EXPECT_EQ(GetInt16(out), k.Read) << k.Written;
    }
    PutInt32(v, -42);
    c->PutField(fCount, Record.data(), v, false, false);
    uint8_t out[251];
    std::memset(out, 0xAB, sizeof out);
    c->GetField(fCount, Record.data(), out, blank);
    EXPECT_FALSE(blank);
    EXPECT_EQ(GetInt32(out), -42);
    // NULL: flag 0 and zero value bytes; only the NULL state may be asked for.
    c->PutField(fCount, Record.data(), nullptr, false, false);
    c->GetField(fCount, Record.data(), nullptr, blank);
    EXPECT_TRUE(blank);
    c->GetField(fCount, Record.data(), out, blank);
    EXPECT_EQ(GetInt32(out), 0);
}

TEST_F(RecordValuesTest, BlobHandlesSetTheFlagByTheirSign) {
    auto c = Open();
    struct Case {
        int32_t Handle;
        bool BlobBlank;
        bool Blank;
    } cases[] = {{0, false, true}, {7, false, false}, {7, true, false}, {-3, false, false}, {-3, true, true}};
    for (const Case& k : cases) {
        uint8_t v[4];
        PutInt32(v, k.Handle);
        c->PutField(fNotes, Record.data(), v, false, k.BlobBlank);
        uint8_t out[8];
        std::memset(out, 0xAB, sizeof out);
        bool blank = false;
        c->GetField(fNotes, Record.data(), out, blank);
        EXPECT_EQ(blank, k.Blank) << k.Handle << " " << k.BlobBlank;
        EXPECT_EQ(GetInt32(out), k.Handle);
        EXPECT_EQ(out[4], 0xAB) << "only the 4-byte handle is read";
    }
}

TEST_F(RecordValuesTest, UnknownFieldsRaise9985WithTheNumberOrName) {
    auto c = Open();
    TFieldDescriptor d;
    struct Case {
        std::function<void()> Call;
        const char* Field;
    } cases[] = {
        {[&] { c->GetFieldDescAt(0, d); }, "0"},
        {[&] { c->GetFieldDescAt(9, d); }, "9"},
        {[&] { c->GetFieldDescByNumber(12, d); }, "12"},
        {[&] { c->FindFieldDescByName("Nothing", d); }, "Nothing"},
        {[&] {
             bool blank;
             c->GetField(9, Record.data(), nullptr, blank);
         },
         "9"},
    };
    for (const Case& k : cases) {
        try {
            k.Call();
            ADD_FAILURE() << k.Field;
        } catch (const EDbEngineError& e) {
            EXPECT_EQ(e.ErrorCode, DBE_OUTOFRANGE);
            EXPECT_EQ(e.ErrorField, k.Field);
            EXPECT_EQ(e.ErrorTable, "T");
            EXPECT_EQ(std::string(e.what()), "Engine Error # 9985 Invalid field number or name '" +
                                                 std::string(k.Field) + "' specified for the table 'T'");
        }
    }
    c->FindFieldDescByName("bIG", d);
    EXPECT_EQ(d.FieldNo, fBig);
    EXPECT_EQ(c->GetTableFieldNumber("ratio"), fRatio);
    EXPECT_EQ(c->GetTableFieldNumber("none"), 0);
    EXPECT_EQ(c->GetTableFieldCount(), 8);
    EXPECT_EQ(c->GetTableBlobFieldCount(), 1);
}

TEST_F(RecordValuesTest, RequiredMinimumAndMaximumRules) {
    auto c = Open([](std::vector<TFieldDescriptor>& f) {
        f[fName - 1].Required = 1;
        f[fCount - 1].MinValue = "1";
        f[fBig - 1].MaxValue = "4294967296";
        f[fRatio - 1].MinValue = "0.5";
        f[fCode - 1].MaxValue = "M";
    });
    auto valid = [&] {
        c->ClearRecordBuffer(Record.data());
        PutText(*c, fName, "x");
        uint8_t v[8] = {};
        PutInt32(v, 1);
        c->PutField(fCount, Record.data(), v, false, false);
        PutDouble(v, 0.5);
        c->PutField(fRatio, Record.data(), v, false, false);
    };
    valid();
    EXPECT_EQ(CodeOf([&] { c->CheckRecordValidity(Record.data()); }), 0);

    c->PutField(fName, Record.data(), nullptr, false, false);
    try {
        c->CheckRecordValidity(Record.data());
        ADD_FAILURE();
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, DBE_REQDERR);
        EXPECT_EQ(e.ErrorField, "Name");
        EXPECT_EQ(e.ErrorDatabase, "D:\\");
        EXPECT_EQ(std::string(e.what()),
                  "Engine Error # 9732 A value must be provided for the field 'Name' in the table 'T'");
    }

    struct Case {
        const char* What;
        std::function<void()> Change;
        TEngineErrorCode Code;
    } cases[] = {
        {"NULL integer below its minimum", [&] { c->PutField(fCount, Record.data(), nullptr, false, false); },
         DBE_MINVALERR},
        {"largeint just below a maximum past 32 bits",
         [&] {
             uint8_t v[8];
             PutUInt64(v, 4294967295u);
             c->PutField(fBig, Record.data(), v, false, false);
         },
         0},
        {"largeint at the maximum",
         [&] {
             uint8_t v[8];
             PutUInt64(v, 4294967296u);
             c->PutField(fBig, Record.data(), v, false, false);
         },
         0},
        {"largeint just above it",
         [&] {
             uint8_t v[8];
             PutUInt64(v, 4294967297u);
             c->PutField(fBig, Record.data(), v, false, false);
         },
         DBE_MAXVALERR},
        {"NaN fails a minimum",
         [&] {
             uint8_t v[8];
             PutDouble(v, std::numeric_limits<double>::quiet_NaN());
             c->PutField(fRatio, Record.data(), v, false, false);
         },
         DBE_MINVALERR},
        {"text above its maximum", [&] { PutText(*c, fCode, "n"); }, DBE_MAXVALERR},
        {"text at its maximum", [&] { PutText(*c, fCode, "m"); }, 0},
    };
    for (const Case& k : cases) {
        valid();
        k.Change();
        EXPECT_EQ(CodeOf([&] { c->CheckRecordValidity(Record.data()); }), k.Code) << k.What;
    }
}

TEST_F(RecordValuesTest, NewRecordsGetTheDefaults) {
    framework::TFakeTime clock(framework::EncodeDate(2024, 3, 5) + 0.75);
    auto c = Open([](std::vector<TFieldDescriptor>& f) {
        f[fName - 1].DefaultValue = "none";
        f[fFlag - 1].DefaultValue = "True";
        f[fCount - 1].DefaultValue = "-7";
        f[fBig - 1].DefaultValue = "5000000000";
        f[fStamp - 1].DefaultValue = "current_date";
        f[fRatio - 1].DefaultValue = "2.5";
        f[fNotes - 1].DefaultValue = "ignored";
    });
    c->InitRecord(Record.data());
    EXPECT_EQ(GetText(*c, fName), "none");
    uint8_t v[251] = {};
    bool blank = true;
    c->GetField(fFlag, Record.data(), v, blank);
    EXPECT_EQ(GetInt16(v), 1);
    c->GetField(fCount, Record.data(), v, blank);
    EXPECT_EQ(GetInt32(v), -7);
    c->GetField(fBig, Record.data(), v, blank);
    EXPECT_EQ(static_cast<int64_t>(GetUInt64(v)), 5000000000);
    c->GetField(fStamp, Record.data(), v, blank);
    EXPECT_FALSE(blank);
    EXPECT_EQ(GetDouble(v), static_cast<double>(EncodeDayNumber(2024, 3, 5)) * 86'400'000.0) << "midnight";
    c->GetField(fRatio, Record.data(), v, blank);
    EXPECT_EQ(GetDouble(v), 2.5);
    c->GetField(fNotes, Record.data(), v, blank);
    EXPECT_TRUE(blank);
    EXPECT_EQ(GetInt32(v), 0);
    EXPECT_EQ(GetText(*c, fCode), "<null>");

    // The other timestamp forms.
    struct Case {
        const char* Text;
        double Ms;
    } cases[] = {
        {"CURRENT_TIMESTAMP", EncodeDayNumber(2024, 3, 5) * 86'400'000.0 + 18 * 3'600'000.0},
        {"Current_Time", DateDelta * 86'400'000.0 + 18 * 3'600'000.0},
    };
    for (const Case& k : cases) {
        TFieldDescriptor d;
        c->GetTableFieldDesc(fStamp, d);
        d.DefaultValue = k.Text;
        c->PutTableFieldDesc(fStamp, d);
        c->InitRecord(Record.data());
        c->GetField(fStamp, Record.data(), v, blank);
        EXPECT_EQ(GetDouble(v), k.Ms) << k.Text;
    }
}

}  // namespace
}  // namespace dbengine

namespace dbengine {
namespace {

TEST_F(RecordValuesTest, CheckErrorRaisesOnlyForAnErrorCode) {
    auto c = Open();
    EXPECT_EQ(testsupport::CodeOf([&] { c->CheckError(0, "ignored"); }), 0);
    EXPECT_EQ(testsupport::CodeOf([&] { c->CheckFieldError(0, "Name"); }), 0);
    try {
        c->CheckError(DBE_KEYVIOL, "context");
        ADD_FAILURE();
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, DBE_KEYVIOL);
        EXPECT_EQ(e.ErrorTable, "T");
        EXPECT_EQ(e.ErrorDatabase, "D:\\");
        EXPECT_EQ(e.ErrorContext, "context");
    }
    try {
        c->CheckFieldError(DBE_REQDERR, "Count");
        ADD_FAILURE();
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorCode, DBE_REQDERR);
        EXPECT_EQ(e.ErrorField, "Count");
        EXPECT_EQ(e.ErrorTable, "T");
    }
}

}  // namespace
}  // namespace dbengine
