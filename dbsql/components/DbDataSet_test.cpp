// The dataset base over engine tables: engine errors through the dataset, posting with the error
// event, field definitions and type tables, bookmarks, state checks of field writes, a walk with
// edits over a larger table, block reads and BLOB reads.

#include "dbsql/components/DbDataSet.h"

#include <gtest/gtest.h>

#include <limits>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/util/EngineError.h"
#include "dbsql/testsupport/DbTestTable.h"
#include "framework/core/Stream.h"

using namespace dbsql;
using namespace framework;
using dbsql::testsupport::CreateTestTable;
using dbsql::testsupport::Raised;
using dbsql::testsupport::TTestField;
using dbsql::testsupport::TTestTable;

namespace {

// People: ID (integer, the key), Name (string 20), Notes (memo).
struct People : dbsql::testsupport::SessionFixture {
    TTestTable t;
    void Make(int count, const std::string& database = "D:\\") {
        CreateTestTable(database, "People", {{"ID", 6}, {"Name", 1, 0, 20}, {"Notes", 3, 22}}, 1);
        t.SetDatabaseName(database);
        t.TableName = "People";
        t.Open();
        for (int i = 1; i <= count; ++i)
            t.AppendRecord({Variant(i), Variant("Person " + std::to_string(i)), Variant()});
        t.First();
    }
    int Id() { return t.FieldByName("ID")->AsInteger(); }
    dbengine::TDataCursor& Cursor() { return dynamic_cast<dbengine::TDataCursor&>(*t.Cursor()); }
};

}  // namespace

TEST(EngineErrors, MessageLeadsWithTheCodeAndOtherExceptionsCountAsUnknown) {
    dbengine::ClearEngineErrorContext();
    try {
        dbengine::RaiseEngineErrorCode(9729);
    } catch (const dbengine::EDbEngineError& e) {
        EXPECT_EQ(e.Message.rfind("Engine Error # 9729 ", 0), 0u) << e.Message;
        for (auto* s : {&e.ErrorServer, &e.ErrorUser, &e.ErrorDatabase, &e.ErrorTable, &e.ErrorField,
                        &e.ErrorIndex, &e.ErrorContext})
            EXPECT_EQ(*s, "");
        EXPECT_EQ(e.OSErrorCode, 0);
        EXPECT_EQ(e.SocketErrorCode, 0);
    }
    EXPECT_EQ(dbengine::GetEngineErrorCode(EDatabaseError("x")), 11047);
    EXPECT_EQ(dbengine::GetEngineErrorCode(dbengine::EDbEngineError(8706)), 8706);
}

TEST_F(People, BeginningOfTableRaisedThroughTheDatasetCarriesTheCodeAndTheTable) {
    Make(1);
    try {
        Cursor().CheckError(8705, "");
        ADD_FAILURE();
    } catch (const dbengine::EDbEngineError& e) {
        EXPECT_EQ(e.Message, "Engine Error # 8705 " + dbengine::GetEngineErrorMessage(8705));
        EXPECT_NE(e.Message.find("People"), std::string::npos) << e.Message;
        EXPECT_EQ(e.ErrorTable, "People");
    }
}

TEST_F(People, DuplicateKeyPostGoesToThePostErrorEvent) {
    Make(3);
    int calls = 0;
    TDataAction answer = daFail;
    t.OnPostError = [&](TDataSet*, EDatabaseError& e, TDataAction& action) {
        ++calls;
        EXPECT_NE(e.Message.find("9729"), std::string::npos) << e.Message;
        action = answer;
        if (answer == daRetry) {
            t.FieldByName("ID")->SetAsInteger(40);
            answer = daFail;
        }
    };
    t.Append();
    t.FieldByName("ID")->SetAsInteger(2);
    EXPECT_NE(Raised([&] { t.Post(); }).find("9729"), std::string::npos);
    answer = daAbort;
    EXPECT_THROW(t.Post(), EAbort);
    EXPECT_EQ(t.State(), dsInsert);
    answer = daRetry;
    t.Post();
    EXPECT_EQ(t.State(), dsBrowse);
    EXPECT_EQ(Id(), 40);
    EXPECT_EQ(t.RecordCount(), 4);
    EXPECT_EQ(calls, 3);  // fail, abort, retry; the retried post succeeds
}

TEST(FieldDefinitions, RepeatedNamesGetSuffixesAndTypesWithoutAFieldAreLeftOut) {
    std::vector<dbengine::TFieldDescriptor> descs(6);
    const char* names[] = {"A", "A", "Skip14", "A", "Skip16", "Amount"};
    uint8_t types[] = {1, 6, 14, 11, 16, 8};
    for (size_t i = 0; i < descs.size(); ++i) {
        descs[i].Name = names[i];
        descs[i].FieldType = types[i];
        descs[i].Size = 12;
        descs[i].Decimals = 4;
    }
    descs[0].Required = 1;
    TFieldDefs defs(nullptr);
    AddFieldDefs(defs, descs);
    ASSERT_EQ(defs.Count(), 4);
    EXPECT_EQ(defs[0]->Name, "A");
    EXPECT_EQ(defs[1]->Name, "A_1");
    EXPECT_EQ(defs[2]->Name, "A_2");
    EXPECT_EQ(defs[3]->Name, "Amount");
    EXPECT_EQ(defs[0]->Size, 12);    // strings keep their length
    EXPECT_EQ(defs[1]->Size, 0);     // other types have none
    EXPECT_EQ(defs[2]->FieldNo, 4);  // positions of the skipped fields stay counted
    EXPECT_EQ(defs[3]->DataType, ftBCD);
    EXPECT_EQ(defs[3]->Precision, 32);
    EXPECT_EQ(defs[3]->Size, 4);  // the scale
    EXPECT_TRUE(defs[0]->Required);
}

TEST(FieldDefinitions, TypeTablesRoundTrip) {
    struct Case {
        TFieldType type;
        uint8_t engine, sub;
    };
    const Case cases[] = {
        {ftString, 1, 0},    {ftSmallint, 5, 0}, {ftInteger, 6, 0},      {ftWord, 12, 0},
        {ftBoolean, 4, 0},   {ftFloat, 7, 0},    {ftCurrency, 7, 21},    {ftBCD, 8, 0},
        {ftDate, 2, 0},      {ftTime, 10, 0},    {ftDateTime, 11, 0},    {ftBytes, 9, 0},
        {ftVarBytes, 15, 0}, {ftAutoInc, 6, 29}, {ftBlob, 3, 0},         {ftMemo, 3, 22},
        {ftGraphic, 3, 26},  {ftFmtMemo, 3, 24}, {ftTypedBinary, 3, 28}, {ftFixedChar, 1, 31},
        {ftLargeint, 18, 0}, {ftADT, 20, 0},     {ftArray, 21, 0},       {ftReference, 22, 0},
        {ftDataSet, 23, 0}};
    for (const Case& c : cases) {
        TEngineFieldType e = EngineFieldType(c.type);
        EXPECT_EQ(e.Type, c.engine) << FieldTypeName(c.type);
        EXPECT_EQ(e.SubType, c.sub) << FieldTypeName(c.type);
        TFieldType back = ftUnknown;
        EXPECT_TRUE(FrameworkFieldType(c.engine, c.sub, back));
        EXPECT_EQ(back, c.type) << FieldTypeName(c.type);
    }
    // One way only: these share an engine type with another framework type.
    for (TFieldType t : {ftGuid, ftWideString, ftParadoxOle, ftOraClob, ftCursor})
        EXPECT_NE(EngineFieldType(t).Type, 0) << FieldTypeName(t);
    for (TFieldType t : {ftUnknown, ftVariant, ftInterface, ftIDispatch, ftTimeStamp, ftFMTBcd})
        EXPECT_EQ(EngineFieldType(t).Type, 0) << FieldTypeName(t);
    TFieldType out;
    for (uint8_t t : {0, 14, 16, 17, 24, 200}) EXPECT_FALSE(FrameworkFieldType(t, 0, out)) << int(t);
    EXPECT_TRUE(FrameworkFieldType(13, 0, out));
    EXPECT_EQ(out, ftInteger);
    EXPECT_TRUE(FrameworkFieldType(19, 0, out));
    EXPECT_EQ(out, ftLargeint);
}

TEST(BufferSizes, AreComputedIn64BitsAndRefusedWhenTooLarge) {
    EXPECT_EQ(BlockBufferSize(100, 60), 6000u);
    EXPECT_THROW(BlockBufferSize(std::numeric_limits<int32_t>::max() - 1, 65535), EOutOfMemory);
    EXPECT_THROW(BlockBufferSize(-1, 10), EOutOfMemory);
    EXPECT_EQ(BlobArrayCapacity(1000), 1250u);
    EXPECT_THROW(BlobArrayCapacity(std::numeric_limits<int32_t>::max()), EOutOfMemory);
}

TEST_F(People, BookmarksAndStateChecksOfFieldWrites) {
    Make(3);
    TBookmark b = t.GetBookmark();
    EXPECT_EQ(t.CompareBookmarks({}, {}), 0);
    EXPECT_EQ(t.CompareBookmarks(b, {}), -1);
    EXPECT_EQ(t.CompareBookmarks({}, b), 1);
    t.Last();
    TBookmark last = t.GetBookmark();
    EXPECT_LT(t.CompareBookmarks(b, last), 0);
    EXPECT_EQ(t.CompareBookmarks(b, b), 0);
    EXPECT_TRUE(t.BookmarkValid(b));
    t.GotoBookmark(b);
    EXPECT_EQ(Id(), 1);
    EXPECT_EQ(Raised([&] { t.FieldByName("Name")->SetAsString("x"); }),
              "Table is not in edit or insert mode.");
    t.Edit();
    t.FieldByName("Name")->SetAsString("Changed");
    EXPECT_EQ(Raised([&] { t.SetStateFieldValue(dsOldValue, t.FieldByName("Name"), Variant("y")); }),
              "Field Name cannot be modified.");
    EXPECT_EQ(t.GetStateFieldValue(dsOldValue, t.FieldByName("Name")).AsString(), "Person 1");
    t.FieldByName("ID")->ReadOnly = true;
    EXPECT_EQ(Raised([&] { t.FieldByName("ID")->SetAsInteger(9); }), "Field ID cannot be modified.");
    t.Cancel();
    EXPECT_EQ(t.FieldByName("Name")->AsString(), "Person 1");
}

TEST_F(People, WalkEditInsertDeleteAndCancelOverAThousandRecords) {
    Make(1000);
    EXPECT_EQ(t.RecordCount(), 1000);
    int n = 0;
    for (t.First(); !t.Eof(); t.Next()) {
        ++n;
        ASSERT_EQ(Id(), n);
        ASSERT_EQ(t.RecNo(), n);
    }
    EXPECT_EQ(n, 1000);
    t.SetRecNo(500);
    EXPECT_EQ(Id(), 500);
    TBookmark at500 = t.GetBookmark();
    t.Edit();
    t.FieldByName("Name")->SetAsString("Edited");
    t.Post();
    t.Prior();
    t.Delete();  // record 499
    EXPECT_EQ(t.RecordCount(), 999);
    t.Insert();
    t.FieldByName("ID")->SetAsInteger(1500);
    t.Cancel();
    t.Append();
    t.FieldByName("ID")->SetAsInteger(1001);
    t.FieldByName("Name")->SetAsString("New");
    t.Post();
    EXPECT_EQ(t.RecordCount(), 1000);
    EXPECT_EQ(t.RecNo(), 1000);
    t.GotoBookmark(at500);
    EXPECT_EQ(Id(), 500);
    EXPECT_EQ(t.RecNo(), 499);
    EXPECT_EQ(t.FieldByName("Name")->AsString(), "Edited");
    t.Prior();
    EXPECT_EQ(Id(), 498);
    // Reopened, the changes are there.
    t.Close();
    t.Open();
    EXPECT_EQ(t.RecordCount(), 1000);
    EXPECT_FALSE(t.Locate("ID", Variant(499), 0));
    EXPECT_TRUE(t.Locate("ID", Variant(1001), 0));
}

TEST_F(People, BlockReadsDeliverTheSameRowsAsNext) {
    Make(1000);
    std::vector<int> walked;
    for (t.First(); !t.Eof(); t.Next()) walked.push_back(Id());
    t.First();
    std::vector<int> blocked;
    t.SetBlockReadSizeValue(100);
    EXPECT_EQ(t.State(), dsBlockRead);
    while (!t.Eof()) {
        blocked.push_back(Id());
        t.Next();
    }
    t.SetBlockReadSizeValue(0);
    EXPECT_EQ(t.State(), dsBrowse);
    EXPECT_EQ(blocked, walked);
}

TEST_F(People, BlobValuesAreReadWholeAndAnEmptyOneLeavesTheArray) {
    Make(2);
    t.Edit();
    std::string text(3000, 'm');
    t.SetBlobFieldData(t.FieldByName("Notes"), std::vector<uint8_t>(text.begin(), text.end()));
    t.Post();
    std::vector<uint8_t> bytes;
    EXPECT_EQ(t.GetBlobFieldData(3, bytes), 3000);
    EXPECT_GE(bytes.size(), 3000u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 3000), text);
    EXPECT_EQ(t.FieldByName("Notes")->AsString(), text);
    t.Next();
    std::vector<uint8_t> kept = {1, 2, 3};
    EXPECT_EQ(t.GetBlobFieldData(3, kept), 0);
    EXPECT_EQ(kept, (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(People, ClosedDatasetGivesBackItsDatabaseReason) {
    Make(1);
    EXPECT_EQ(t.DBFlags(), 1u);
    t.Close();
    EXPECT_EQ(t.DBFlags(), 0u);
    EXPECT_EQ(t.Database(), nullptr);
    t.TableName = "Missing";
    EXPECT_THROW(t.Open(), dbengine::EDbEngineError);
    EXPECT_EQ(t.DBFlags(), 0u);
}
