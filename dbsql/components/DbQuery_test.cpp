// The query component: preparing and unpreparing, opening a SELECT, parameters, progress and the
// master/detail path.

#include "dbsql/components/DbQuery.h"

#include <gtest/gtest.h>

#include "dbengine/util/EngineError.h"
#include "dbsql/components/DbTable.h"
#include "dbsql/sql/QueryStatement.h"
#include "dbsql/testsupport/DbTestTable.h"
#include "framework/core/Filer.h"

using namespace dbsql;
using namespace framework;
using dbsql::testsupport::Raised;

namespace {

// Disks (Label string 11 key, Tag integer) and Files (Name string 20, FTag integer, Size
// integer) in D:\.
struct Queries : dbsql::testsupport::SessionFixture {
    void SetUp() override {
        SessionFixture::SetUp();
        testsupport::CreateTestTable(
            "D:\\", "Disks", {{"Label", dbengine::fldString, 0, 11}, {"Tag", dbengine::fldInteger}}, 1);
        testsupport::CreateTestTable("D:\\", "Files",
                                     {{"Name", dbengine::fldString, 0, 20},
                                      {"FTag", dbengine::fldInteger},
                                      {"Size", dbengine::fldInteger}},
                                     0);
        TDbTable disks;
        disks.SetDatabaseName("D:\\");
        disks.SetTableName("Disks");
        disks.Open();
        disks.AppendRecord({Variant("BACKUP"), Variant(1)});
        disks.AppendRecord({Variant("ARCHIVE"), Variant(2)});
        disks.Close();
        TDbTable files;
        files.SetDatabaseName("D:\\");
        files.SetTableName("Files");
        files.Open();
        const char* names[] = {"b.txt", "a.txt", "c.txt", "d.txt"};
        const int tags[] = {1, 1, 2, 2};
        for (int i = 0; i < 4; ++i)
            files.AppendRecord({Variant(names[i]), Variant(tags[i]), Variant(i * 10)});
        files.Close();
    }

    static std::vector<std::string> Column(TDataSet& d, const std::string& field) {
        std::vector<std::string> values;
        d.First();
        while (!d.Eof()) {
            values.push_back(d.FieldByName(field)->AsString());
            d.Next();
        }
        return values;
    }
};

TEST_F(Queries, ASelectOpensOnItsResultAndTheStatementGoesWithTheClose) {
    TDbQuery q;
    q.SetDatabaseName("D:\\");
    q.SetSQL("Select * From \"Files\" Where FTag = 2 Order By Name Desc");
    q.Open();
    EXPECT_EQ(Column(q, "Name"), (std::vector<std::string>{"d.txt", "c.txt"}));
    EXPECT_EQ(q.RowsAffected(), 2);
    EXPECT_TRUE(q.Prepared());
    q.Close();
    // Prepared only by the open: unprepared with it, the database given back.
    EXPECT_FALSE(q.Prepared());
    EXPECT_EQ(q.DBFlags(), 0);
    // ExecuteStatement leaves a SELECT open.
    q.ExecuteStatement();
    EXPECT_TRUE(q.Active());
    EXPECT_EQ(q.RecordCount(), 2);
    q.Close();
    EXPECT_EQ(q.DBFlags(), 0);
}

TEST_F(Queries, TheReportJoinReadsRowsOfBothTablesOrdered) {
    TDbQuery q;
    q.SetDatabaseName("D:\\");
    q.SetSQL("Select * From \"Files\", \"Disks\" Where (FTag = Tag) Order By Name ASC NOCASE");
    q.Open();
    EXPECT_EQ(Column(q, "Name"), (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "d.txt"}));
    EXPECT_EQ(Column(q, "Label"), (std::vector<std::string>{"BACKUP", "BACKUP", "ARCHIVE", "ARCHIVE"}));
}

TEST_F(Queries, ALiveResultIsEditedInItsTable) {
    TDbQuery q;
    q.SetDatabaseName("D:\\");
    q.SetRequestLive(true);
    q.SetSQL("Select * From \"Files\" Where FTag = 1");
    q.Open();
    EXPECT_TRUE(q.Statement()->LiveResult);
    EXPECT_TRUE(q.CanModify());
    EXPECT_EQ(q.RecordCount(), 2);
    q.First();
    q.Edit();
    q.FieldByName("Size")->SetAsInteger(99);
    q.Post();
    q.Close();
    q.SetRequestLive(false);
    q.SetSQL("Select Size From \"Files\" Where Size = 99");
    q.Open();
    EXPECT_EQ(q.RecordCount(), 1);
}

TEST_F(Queries, TheCounterOfAnAverageIsNoField) {
    TDbQuery q;
    q.SetDatabaseName("D:\\");
    q.SetSQL("Select FTag, Avg(Size) As Mean From \"Files\" Group By FTag");
    q.Open();
    EXPECT_EQ(q.FieldCount(), 2);
    EXPECT_EQ(Column(q, "Mean"), (std::vector<std::string>{"5", "25"}));
}

TEST_F(Queries, PreparingNeedsATextAndASyntaxErrorUnprepares) {
    TDbQuery q;
    q.SetDatabaseName("D:\\");
    q.SetSQL("S");
    EXPECT_EQ(Raised([&] { q.Prepare(); }), "No SQL statement available");
    q.SetSQL("");
    EXPECT_EQ(Raised([&] { q.ExecuteStatement(); }), "No SQL statement available");
    q.SetSQL("Select * Fron \"Files\"");
    EXPECT_NE(Raised([&] { q.Prepare(); }), "(nothing raised)");
    EXPECT_FALSE(q.Prepared());
    q.SetSQL("Select * From \"Files\"");
    q.Prepare();
    EXPECT_TRUE(q.Prepared());
    TQueryStatement* statement = q.Statement();
    // The same text again changes nothing; another one unprepares.
    q.SetSQL("Select * From \"Files\"");
    EXPECT_EQ(q.Statement(), statement);
    q.Open();
    q.Close();
    EXPECT_TRUE(q.Prepared());  // prepared by Prepare, it stays prepared
    q.SetSQL("Select Name From \"Files\"");
    EXPECT_FALSE(q.Prepared());
    // A changed row limit reaches the prepared statement.
    q.Prepare();
    q.SetMaxRowCount(3);
    EXPECT_EQ(q.Statement()->MasterQuery->MaxRowCount, 3);
    q.Open();
    EXPECT_EQ(q.RecordCount(), 3);
    q.Close();
    q.Unprepare();
    EXPECT_EQ(q.DBFlags(), 0);
}

TEST_F(Queries, AnAbortFromOnQueryProgressOpensWithTheRowsSoFar) {
    TDbQuery q;
    q.SetDatabaseName("D:\\");
    q.SetSQL("Select Name From \"Files\" Order By Name");
    std::vector<int> reported;
    q.OnQueryProgress = [&](TObject*, uint16_t percent, bool& abort) {
        reported.push_back(percent);
        abort = percent >= 75;
    };
    q.Open();
    EXPECT_EQ(Column(q, "Name"), (std::vector<std::string>{"a.txt", "b.txt"}));
    ASSERT_FALSE(reported.empty());
}

TEST_F(Queries, ParametersArePassedByTypeAndBlanksAreNull) {
    TDbQuery q;
    q.SetDatabaseName("D:\\");
    q.SetSQL("Select Name From \"Files\" Where FTag = :tag Or Name = :name");
    ASSERT_EQ(q.Params().Count(), 2);
    q.Params().ParamByName("tag")->SetAsInteger(2);
    q.Params().ParamByName("name")->SetAsString("   ");
    q.Open();
    EXPECT_EQ(Column(q, "Name"), (std::vector<std::string>{"c.txt", "d.txt"}));
    q.Close();
    q.Params().ParamByName("tag")->Clear();
    q.Params().ParamByName("name")->SetAsString("a.txt");
    q.Open();
    EXPECT_EQ(Column(q, "Name"), (std::vector<std::string>{"a.txt"}));
    q.Close();
    // A long text goes as a BLOB; a parameter without a type has no value.
    TParam longText("x");
    longText.SetAsString(std::string(251, 'x'));
    EXPECT_EQ(ParamEngineType(longText), dbengine::fldBlob);
    EXPECT_EQ(ParamDataSize(longText), static_cast<int>(BlobParamSize));
    TParam shortText("y");
    shortText.SetAsString(std::string(250, 'x'));
    EXPECT_EQ(ParamEngineType(shortText), dbengine::fldString);
    q.Params().ParamByName("tag")->DataType = ftUnknown;
    EXPECT_EQ(Raised([&] { q.Open(); }), "No value for parameter 'tag'");
}

TEST_F(Queries, ADetailQueryFollowsItsMaster) {
    TDbTable disks;
    disks.SetDatabaseName("D:\\");
    disks.SetTableName("Disks");
    TDataSource source;
    source.SetDataSet(&disks);
    TDbQuery q;
    q.SetDatabaseName("D:\\");
    q.SetSQL("Select Name From \"Files\" Where FTag = :Tag Order By Name");
    q.SetDataSource(&source);
    disks.Open();  // in key order: ARCHIVE (2), BACKUP (1)
    q.Open();
    EXPECT_EQ(Column(q, "Name"), (std::vector<std::string>{"c.txt", "d.txt"}));
    disks.Next();
    EXPECT_EQ(Column(q, "Name"), (std::vector<std::string>{"a.txt", "b.txt"}));
    // A source whose dataset follows this query closes a circle.
    TDataSource own;
    own.SetDataSet(&q);
    TDbQuery other;
    other.SetDataSource(&own);
    TDataSource others;
    others.SetDataSet(&other);
    EXPECT_EQ(Raised([&] { q.SetDataSource(&own); }), "Circular data links are not allowed.");
    EXPECT_EQ(Raised([&] { q.SetDataSource(&others); }), "Circular data links are not allowed.");
    q.Close();
    disks.Close();
}

}  // namespace

// Kept with a form: the parameters with their types and values, and data bytes that are only kept
// to be written back. A text set while the form loads leaves the parameters to the stored ones.
TEST_F(Queries, AFormKeepsTheParametersAndTheDataBytes) {
    const std::string sql = "Select Name From \"Files\" Where FTag = :tag Or Name = :name Order By Name";
    TDbQuery stored;
    stored.SetSQL(sql);
    stored.Params().ParamByName("tag")->SetAsInteger(2);
    stored.Params().ParamByName("name")->DataType = ftString;
    TMemoryStream form;
    {
        TWriter writer(&form);
        writer.WriteRootComponent(&stored);
    }

    TDbQuery loaded;
    loaded.SetDatabaseName("D:\\");
    loaded.Loading();
    loaded.SetSQL(sql);
    EXPECT_EQ(loaded.Params().Count(), 0);
    form.SetPosition(0);
    {
        TReader reader(&form);
        reader.ReadRootComponent(&loaded);
    }
    ASSERT_EQ(loaded.Params().Count(), 2);
    EXPECT_EQ(loaded.Params()[0]->DataType, ftInteger);
    EXPECT_EQ(loaded.Params()[0]->AsInteger(), 2);
    EXPECT_EQ(loaded.Params()[1]->Name, "name");
    EXPECT_EQ(loaded.Params()[1]->DataType, ftString);
    EXPECT_TRUE(loaded.Params()[1]->IsNull());
    EXPECT_EQ(loaded.Params()[1]->ParamType, ptInput);
    loaded.Open();
    EXPECT_EQ(Column(loaded, "Name"), (std::vector<std::string>{"c.txt", "d.txt"}));
    loaded.Close();

    // Data bytes from a form are written back as they came, until the text changes.
    const std::string bytes("\x01\x00\xffkept", 7);
    TMemoryStream withData;
    {
        TWriter writer(&withData);
        writer.WriteSignature();
        writer.WriteStr("TDbQuery");
        writer.WriteStr("");
        writer.DefineBinaryProperty(
            "Data", {}, [&](TStream* s) { s->WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size())); },
            true);
        writer.WriteListEnd();
        writer.WriteListEnd();
    }
    auto written = [](TDbQuery& q) {
        TMemoryStream out;
        {
            TWriter writer(&out);
            writer.WriteRootComponent(&q);
        }
        return std::string(static_cast<const char*>(out.Memory()), static_cast<size_t>(out.Size()));
    };
    TDbQuery kept;
    EXPECT_EQ(written(kept).find("Data"), std::string::npos);
    withData.SetPosition(0);
    {
        TReader reader(&withData);
        reader.ReadRootComponent(&kept);
    }
    EXPECT_EQ(written(kept),
              std::string(static_cast<const char*>(withData.Memory()), static_cast<size_t>(withData.Size())));
    kept.SetSQL("Select * From \"Files\"");
    EXPECT_EQ(written(kept).find("Data"), std::string::npos);
}

// A damaged parameter list raises the reader's error and leaves the parameters as they were.
TEST_F(Queries, ADamagedParameterListRaisesAReadError) {
    TDbQuery q;
    q.SetSQL("Select * From \"Files\" Where FTag = :tag");
    TMemoryStream form;
    {
        TWriter writer(&form);
        writer.WriteSignature();
        writer.WriteStr("TDbQuery");
        writer.WriteStr("");
        writer.DefineProperty(
            "ParamData", {},
            [](TWriter* w) {
                w->WriteValue(vaCollection);
                w->WriteListBegin();
                w->WriteStr("DataType");
                w->WriteIdent("ftNoSuchType");
                w->WriteListEnd();
                w->WriteListEnd();
            },
            true);
        writer.WriteListEnd();
        writer.WriteListEnd();
    }
    form.SetPosition(0);
    TReader reader(&form);
    EXPECT_EQ(Raised([&] { reader.ReadRootComponent(&q); }), "Invalid property value");
    ASSERT_EQ(q.Params().Count(), 1);
    EXPECT_EQ(q.Params()[0]->Name, "tag");
}
