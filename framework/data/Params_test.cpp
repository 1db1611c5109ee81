// Parameters, variants and definitions.

#include "framework/data/Params.h"

#include <gtest/gtest.h>

#include "framework/core/SysUtils.h"
#include "framework/data/DataSet.h"
#include "framework/data/FieldDefs.h"
#include "framework/data/Fields.h"
#include "framework/data/Variant.h"
#include "framework/testsupport/MemDataSet.h"

using namespace framework;

TEST(Params, ParseSqlTurnsNamesIntoPlaces) {
    TParams params;
    std::string text = params.ParseSQL("select * from t where a = :x and b = :y", true);
    EXPECT_EQ(text, "select * from t where a = ? and b = ?");
    ASSERT_EQ(params.Count(), 2);
    EXPECT_EQ(params[0]->Name, "x");
    EXPECT_EQ(params[1]->Name, "y");
    EXPECT_EQ(params[0]->ParamType, ptInput);
    EXPECT_EQ(params[0]->DataType, ftUnknown);
}

TEST(Params, ParseSqlLeavesQuotedTextAndLoneColonsAlone) {
    struct Case {
        const char* sql;
        const char* text;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"select ':x' from t where a=:a", "select ':x' from t where a=?", {"a"}},
        {"select \"T:1\".f from \"T:1\" where f = :p", "select \"T:1\".f from \"T:1\" where f = ?", {"p"}},
        {"update t set s = 'it''s :not' where k = :k1", "update t set s = 'it''s :not' where k = ?", {"k1"}},
        {"select a::b, c : d from t", "select a:b, c : d from t", {}},
        {"where a = :\"two words\" or b = :x", "where a = ? or b = ?", {"two words", "x"}},
        {"where a = :x or b = :x", "where a = ? or b = ?", {"x", "x"}},
        {"where a = :\"x?y\" and b = '?'", "where a = ? and b = '?'", {"x?y"}},
        {"where a=:\xe9t\xe9", "where a=?", {"\xe9t\xe9"}},
        {"trailing :", "trailing :", {}},
        {"unclosed 'text :x", "unclosed 'text :x", {}},
    };
    for (const Case& c : cases) {
        TParams params;
        EXPECT_EQ(params.ParseSQL(c.sql, true), c.text) << c.sql;
        std::vector<std::string> names;
        for (int i = 0; i < params.Count(); ++i) names.push_back(params[i]->Name);
        EXPECT_EQ(names, c.names) << c.sql;
        TParams none;
        none.ParseSQL(c.sql, false);
        EXPECT_EQ(none.Count(), 0);
    }
}

TEST(Params, ValuesBindByNameAndAssignAcross) {
    TParams params;
    params.ParseSQL("select * from t where a = :A and b = :b and c = :a", true);
    EXPECT_FALSE(params[0]->Bound);
    params.ParamByName("b")->SetAsInteger(5);
    EXPECT_TRUE(params[1]->Bound);
    EXPECT_EQ(params[1]->DataType, ftInteger);
    try {
        params.ParamByName("zz");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Parameter 'zz' not found");
    }
    TParams source;
    source.CreateParam(ftString, "a", ptInput)->SetAsString("text");
    source.CreateParam(ftFloat, "other", ptInput)->SetAsFloat(1.5);
    params.AssignValues(source);
    EXPECT_EQ(params[0]->AsString(), "text");  // both places named a (in any case) take it
    EXPECT_EQ(params[2]->AsString(), "text");
    EXPECT_EQ(params[0]->DataType, ftString);
    EXPECT_EQ(params[1]->AsInteger(), 5);  // untouched
    TParams copy;
    copy.Assign(params);
    EXPECT_TRUE(copy.IsEqual(params));
    copy[1]->SetAsInteger(6);
    EXPECT_FALSE(copy.IsEqual(params));
    // A value of unknown type gives the parameter its type; a null value is still a bound one.
    TParam p("v");
    p.SetValue(Variant(2.5));
    EXPECT_EQ(p.DataType, ftFloat);
    p.SetValue(Variant());
    EXPECT_TRUE(p.IsNull());
    EXPECT_TRUE(p.Bound);
}

TEST(Params, ParameterTakesAFieldValue) {
    testsupport::TMemDataSet ds;
    ds.FieldDefs.Add("Tag", ftAutoInc);
    ds.FieldDefs.Add("Name", ftString, 10);
    ds.Open();
    ds.AppendRecord({Variant(7), Variant("seven")});
    TParam p("");
    p.AssignField(ds.FieldByName("Tag"));
    EXPECT_EQ(p.Name, "Tag");
    EXPECT_EQ(p.DataType, ftInteger);
    EXPECT_EQ(p.AsInteger(), 7);
    EXPECT_FALSE(p.Bound);  // filled from the field, not given a value of its own
}

TEST(VariantValue, ConversionsBetweenKinds) {
    ResetFormatSettings();
    struct Case {
        Variant v;
        const char* asString;
        double asFloat;
        int64_t asInteger;
        bool asBoolean;
    };
    const Case cases[] = {
        {Variant(true), "True", -1, -1, true},
        {Variant(false), "False", 0, 0, false},
        {Variant(42), "42", 42, 42, true},
        {Variant(2.5), "2.5", 2.5, 3, true},
        {Variant::FromCurrency(15000), "1.5", 1.5, 2, true},
        {Variant("17"), "17", 17, 17, true},
        {Variant("0"), "0", 0, 0, false},
        {Variant("true"), "true", -1, -1, true},
    };
    for (const Case& c : cases) {
        if (c.v.VarType() != TVarType::varString || std::string(c.asString) != "true") {
            EXPECT_EQ(c.v.AsString(), c.asString);
            EXPECT_DOUBLE_EQ(c.v.AsFloat(), c.asFloat) << c.asString;
            EXPECT_EQ(c.v.AsInteger(), c.asInteger) << c.asString;
        }
        EXPECT_EQ(c.v.AsBoolean(), c.asBoolean) << c.asString;
    }
    EXPECT_EQ(Variant::FromDateTime(37623.5).AsString(), "1/2/2003 12:00:00 PM");
    EXPECT_DOUBLE_EQ(Variant("1/2/2003").AsDateTime(), 37623.0);
    EXPECT_EQ(Variant(1.5).AsCurrency(), 15000);
    EXPECT_THROW(Variant().AsString(), EVariantError);
    EXPECT_THROW(Variant("abc").AsInteger(), EVariantError);
    EXPECT_THROW(Variant(1e300).AsInteger(), EVariantError);
    Variant arr = VarArrayOf({Variant(1), Variant("b")});
    EXPECT_EQ(arr.ArrayCount(), 2);
    EXPECT_EQ(arr[1].AsString(), "b");
    EXPECT_THROW(arr[2], EVariantError);
    EXPECT_TRUE(Variant() == Variant::Null());
    EXPECT_FALSE(Variant(1) == Variant(1.0));
    EXPECT_TRUE(VarIsNull(Variant()));
}

TEST(Definitions, FieldDefsAddFindAndRefuseDuplicates) {
    TFieldDefs defs(nullptr);
    defs.Add("Name", ftString, 30, true);
    defs.Add("Size", ftInteger);
    EXPECT_EQ(defs.Count(), 2);
    EXPECT_EQ(defs.Find("name")->Size, 30);
    EXPECT_EQ(defs.Find("SIZE")->FieldNo, 2);
    EXPECT_EQ(defs.IndexOf("Missing"), -1);
    try {
        defs.Find("Missing");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Field 'Missing' not found");
    }
    EXPECT_THROW(defs.Add("NAME", ftInteger), EDatabaseError);
    TFieldDefs copy(nullptr);
    copy.Assign(defs);
    EXPECT_EQ(copy.Count(), 2);
    EXPECT_TRUE(copy[0]->Required);
    EXPECT_EQ(FieldTypeName(ftAutoInc), "AutoInc");
}

TEST(Definitions, IndexForFieldsPrefersTheExactListThenALeadingPart) {
    TIndexDefs defs(nullptr);
    defs.Add("", "FileName;VolumeLabel;FolderName;ArchiveID", ixPrimary | ixUnique);
    defs.Add("ByTag", "Tag", ixUnique);
    defs.Add("ByVolume", "VolumeLabel", ixCaseInsensitive);
    defs.Add("ByExpr", "Comment", ixExpression);
    defs.Add("ByVolumeFolder", "VolumeLabel;FolderName", 0);
    struct Case {
        const char* fields;
        bool caseInsensitive;
        const char* index;  // nullptr: none
    };
    const Case cases[] = {
        {"Tag", false, "ByTag"},
        {"tag", false, "ByTag"},
        {"VolumeLabel", false, "ByVolume"},
        {"VolumeLabel", true, "ByVolume"},
        {"VolumeLabel;FolderName", false, "ByVolumeFolder"},
        {"VolumeLabel;FolderName", true, nullptr},
        {"FileName", false, ""},
        {"FileName;VolumeLabel", false, ""},
        {"FileName;Volume", false, nullptr},
        {"Comment", false, nullptr},
        {"Size", false, nullptr},
    };
    for (const Case& c : cases) {
        TIndexDef* d = defs.GetIndexForFields(c.fields, c.caseInsensitive);
        EXPECT_EQ(d ? d->Name : std::string("<none>"), c.index ? c.index : "<none>") << c.fields;
    }
    try {
        defs.FindIndexForFields("Size");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "No index for fields 'Size'");
    }
    EXPECT_EQ(defs.Find("byvolume")->Fields, "VolumeLabel");
    EXPECT_THROW(defs.Find("Nope"), EDatabaseError);
    defs.Move(4, 0);
    EXPECT_EQ(defs[0]->Name, "ByVolumeFolder");
    EXPECT_EQ(defs[1]->Options, TIndexOptions(ixPrimary | ixUnique));
}

TEST(Params, DataFormsOfParameterValues) {
    struct Case {
        TFieldType type;
        Variant value;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {ftString, Variant("ab"), {'a', 'b', 0}},
        {ftSmallint, Variant(-2), {0xFE, 0xFF}},
        {ftWord, Variant(0x1234), {0x34, 0x12}},
        {ftInteger, Variant(0x01020304), {4, 3, 2, 1}},
        {ftBoolean, Variant(true), {1, 0}},
        {ftDate, Variant::FromDateTime(0.0), {0x5A, 0x95, 0x0A, 0x00}},  // day 693594
        {ftTime, Variant::FromDateTime(0.5), {0x00, 0x2E, 0x93, 0x02}},  // 43,200,000 ms
        {ftVarBytes, Variant("xy"), {2, 0, 'x', 'y'}},
        {ftInteger, Variant(), {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        TParam p("p");
        p.DataType = c.type;
        if (!c.value.IsNull()) p.SetValue(c.value);
        ASSERT_EQ(p.GetDataSize(), int(c.bytes.size())) << FieldTypeName(c.type);
        std::vector<uint8_t> out(c.bytes.size(), 0xCC);
        p.GetData(out.data());
        EXPECT_EQ(out, c.bytes) << FieldTypeName(c.type);
    }
    TParam f("f");
    f.SetAsFloat(1.5);
    double d = 0;
    ASSERT_EQ(f.GetDataSize(), 8);
    f.GetData(&d);
    EXPECT_EQ(d, 1.5);
    TParam b("b");
    b.SetAsCurrency(123400);  // 12.34
    TBcd bcd;
    b.DataType = ftBCD;
    b.GetData(&bcd);
    EXPECT_EQ(BCDToCurr(bcd), 123400);
}
