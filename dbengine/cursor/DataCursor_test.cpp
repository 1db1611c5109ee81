#include "dbengine/cursor/DataCursor.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "dbengine/testsupport/TableFixture.h"

namespace dbengine {
namespace {

using testsupport::CodeOf;

class DataCursorTest : public testsupport::TableFixture {
protected:
    std::unique_ptr<TDataCursor> Cursor(const std::string& name) {
        auto c = std::make_unique<TDataCursor>(Database);
        c->SetTableName(name);
        return c;
    }
    void MakeEncrypted(const std::string& name, const std::string& password) {
        TTableDefinition def = Definition(true);
        def.Encrypted = true;
        def.Password = password;
        def.Description = "Secret things";
        ASSERT_EQ(Database->CreateSharedTable(name, false, false, def), 0);
        ASSERT_EQ(Database->ReleaseSharedTable(Database->FindTable(name, false), false, false, false), 0);
    }
};

TEST_F(DataCursorTest, OpeningAnOpenCursorOrClosingAClosedOneDoesNothing) {
    MakeTable("T", false, 2);
    auto c = Cursor("T");
    c->CloseCursor(false);
    EXPECT_FALSE(c->IsCursorOpen());
    c->OpenCursor();
    ASSERT_TRUE(c->IsCursorOpen());
    c->OpenCursor();
    ASSERT_NE(c->GetTable(), nullptr);
    EXPECT_EQ(c->GetTable()->OpenCount, 1);
    EXPECT_EQ(c->GetFieldCount(), 2);
    EXPECT_EQ(c->GetFieldDescs()[1].Name, "Count");
    EXPECT_EQ(c->GetFieldDescs()[1].OriginName, "T.Count");
    EXPECT_EQ(c->GetFieldDescs()[1].DatabaseName, "D:\\");
    EXPECT_EQ(c->GetPhysicalRecordCount(), 2);
    EXPECT_FALSE(c->HasTableChanged());
    EXPECT_NE(c->GetRecordObject(), nullptr);
    c->CloseCursor(false);
    EXPECT_FALSE(c->IsCursorOpen());
    EXPECT_EQ(c->GetTable(), nullptr);
    EXPECT_EQ(c->GetFieldCount(), 0);
    EXPECT_TRUE(Database->Tables.empty());
    c->CloseCursor(false);
    EXPECT_FALSE(c->IsCursorOpen());
}

// Finalising the engine closes every cursor of its sessions; a cursor used afterwards raises
// 10758 instead of reaching into freed tables, and can still be destroyed.
TEST_F(DataCursorTest, ACursorUsedAfterTheEngineWasFinalisedRaises10758) {
    MakeTable("T", true, 3);
    auto open = Cursor("T");
    open->OpenCursor();
    std::vector<uint8_t> b(open->GetRecordSize());
    auto exclusive = Cursor("T");
    auto closed = Cursor("T");
    FinalizeEngine();
    EXPECT_FALSE(open->IsCursorOpen());
    EXPECT_EQ(open->GetTable(), nullptr);
    struct TCase {
        const char* Name;
        std::function<void()> Call;
    };
    const TCase cases[] = {
        {"next", [&] { open->GetNextRecord(b.data()); }},
        {"prior", [&] { open->GetPriorRecord(b.data()); }},
        {"current", [&] { open->GetCurrentRecord(b.data(), false); }},
        {"begin", [&] { open->SetToBegin(); }},
        {"record number", [&] { open->SetToRecNo(1); }},
        {"insert", [&] { open->InsertRecord(b.data(), false); }},
        {"modify", [&] { open->ModifyRecord(b.data(), true, false); }},
        {"delete", [&] { open->DeleteRecord(b.data(), false); }},
        {"refresh", [&] { open->Refresh(); }},
        {"open", [&] { closed->OpenCursor(); }},
        {"verify",
         [&] {
             exclusive->SetExclusive(true);
             exclusive->VerifyRepairTable(true, false, false, false, false);
         }},
    };
    for (const TCase& k : cases) EXPECT_EQ(CodeOf(k.Call), DBE_NOTINITIALIZED) << k.Name;
    open.reset();
    closed.reset();
    exclusive.reset();
}

TEST_F(DataCursorTest, OptionsAreSetWhileClosed) {
    MakeTable("T", false);
    auto c = Cursor("T");
    c->OpenCursor();
    struct Case {
        const char* Name;
        std::function<void(TDataCursor&)> Set;
    } cases[] = {
        {"table name", [](TDataCursor& x) { x.SetTableName("U"); }},
        {"exclusive", [](TDataCursor& x) { x.SetExclusive(true); }},
        {"share exclusive", [](TDataCursor& x) { x.SetShareExclusive(true); }},
        {"read-only", [](TDataCursor& x) { x.SetReadOnly(true); }},
        {"in memory", [](TDataCursor& x) { x.SetInMemory(true); }},
        {"query source", [](TDataCursor& x) { x.SetQuerySource(true); }},
        {"temporary", [](TDataCursor& x) { x.SetTemporary(true); }},
    };
    for (const Case& k : cases) EXPECT_EQ(CodeOf([&] { k.Set(*c); }), DBE_TABLEOPEN) << k.Name;
    EXPECT_EQ(c->GetTableName(), "T");
    EXPECT_FALSE(c->GetExclusive() || c->GetShareExclusive() || c->GetReadOnly() || c->GetInMemory() ||
                 c->GetQuerySource() || c->GetTemporary());
    // The two exempt ones.
    EXPECT_EQ(CodeOf([&] { c->SetQueryResult(true); }), 0);
    EXPECT_TRUE(c->GetQueryResult());
    c->SetQueryResult(false);
    c->SetSuppressAutoInc(true);
    EXPECT_FALSE(c->GetSuppressAutoInc()) << "no auto-increment field";
    c->CloseCursor(false);
    c->SetSuppressAutoInc(true);
    EXPECT_FALSE(c->GetSuppressAutoInc()) << "closed";

    struct Name {
        const char* Given;
        const char* Stored;
    } names[] = {{"D:\\Data\\Files.DAT", "Files"}, {"files.dat", "files"}, {"Files.TXT", "Files.TXT"}};
    for (const Name& n : names) {
        c->SetTableName(n.Given);
        EXPECT_EQ(c->GetTableName(), n.Stored) << n.Given;
    }
}

TEST_F(DataCursorTest, EncryptedTableNeedsItsPassword) {
    MakeEncrypted("E", "Open Sesame");
    auto c = Cursor("E");
    EXPECT_EQ(CodeOf([&] { c->OpenCursor(); }), DBE_NOTSUFFTABLERIGHTS);
    EXPECT_FALSE(c->IsCursorOpen());
    EXPECT_TRUE(Database->Tables.empty()) << "the shared table was given back";

    int asked = 0;
    c->SetPasswordCallback([&](TDataCursor&) {
        ++asked;
        Session->AddPassword("Open Sesame");
        return true;
    });
    c->OpenCursor();
    EXPECT_TRUE(c->IsCursorOpen());
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(c->IsEncrypted());
    EXPECT_EQ(c->GetTablePassword(), "Open Sesame");
    EXPECT_EQ(c->GetTableDescription(), "Secret things");

    // A second cursor fails the same way once the session forgets the password; the first one
    // keeps the table, whose use count is back where it was.
    Session->RemovePassword("Open Sesame");
    auto second = Cursor("E");
    second->SetPasswordCallback([](TDataCursor&) { return false; });
    EXPECT_EQ(CodeOf([&] { second->OpenCursor(); }), DBE_NOTSUFFTABLERIGHTS);
    EXPECT_FALSE(second->IsCursorOpen());
    EXPECT_EQ(c->GetTable()->OpenCount, 1);
    EXPECT_EQ(c->GetTable()->UserCursorCount, 1);
    // Closing clears the callbacks: the next open asks nobody.
    c->CloseCursor(false);
    EXPECT_FALSE(c->AskPassword());
    EXPECT_EQ(CodeOf([&] { c->OpenCursor(); }), DBE_NOTSUFFTABLERIGHTS);
    EXPECT_EQ(asked, 1);
}

TEST_F(DataCursorTest, ExclusiveCursorAndItsClone) {
    MakeTable("T", false, 1);
    auto owner = Cursor("T");
    owner->SetExclusive(true);
    owner->OpenCursor();
    auto clone = Cursor("T");
    clone->SetExclusive(true);
    clone->SetShareExclusive(true);
    clone->OpenCursor();
    EXPECT_TRUE(owner->IsCursorOpen());
    EXPECT_TRUE(clone->IsCursorOpen());
    EXPECT_EQ(owner->GetTable(), clone->GetTable());
    EXPECT_EQ(owner->GetTable()->OpenCount, 2);

    for (bool exclusive : {true, false}) {
        auto other = Cursor("T");
        other->SetExclusive(exclusive);
        EXPECT_EQ(CodeOf([&] { other->OpenCursor(); }), DBE_OSEACCES);
        EXPECT_FALSE(other->IsCursorOpen());
    }
    EXPECT_EQ(owner->GetTable()->OpenCount, 2);
    // A clone made by the cursor itself shares the table the same way.
    std::unique_ptr<TDataCursor> made = owner->CloneCursor();
    EXPECT_TRUE(made->IsCursorOpen());
    EXPECT_TRUE(made->GetShareExclusive());
    EXPECT_EQ(made->GetTable(), owner->GetTable());
    EXPECT_EQ(made->GetFieldDescs().size(), owner->GetFieldDescs().size());
    made.reset();
    EXPECT_EQ(owner->GetTable()->OpenCount, 2);
    // The clone keeps its change detection; the owner sees no other writer.
    EXPECT_FALSE(owner->HasTableChanged());
    owner->GetTable()->DataFile->MarkChanged();
    EXPECT_FALSE(owner->HasTableChanged());
    EXPECT_TRUE(clone->HasTableChanged());
    clone->SaveChangeCounters();
    EXPECT_FALSE(clone->HasTableChanged());
}

TEST_F(DataCursorTest, MaintenanceCallbacksLastUntilClose) {
    MakeTable("T", false);
    auto c = Cursor("T");
    std::vector<std::string> heard;
    c->SetSteppedProgressCallback(
        [&](TDataCursor&, const std::string& m, int p) { heard.push_back(m + " " + std::to_string(p)); });
    c->SetLogCallback([&](TDataCursor&, const std::string& m) { heard.push_back(m); });
    c->SetRestructureProgressCallback([&](TDataCursor&, int p) { heard.push_back(std::to_string(p)); });
    c->SetDataLostCallback([&](TDataCursor&, int cause, const std::string& context, bool& go, bool& stop) {
        heard.push_back(context + std::to_string(cause));
        go = true;
        stop = true;
    });
    c->OpenCursor();
    bool go = false, stop = false;
    c->DoVerifyProgress("Checking", 40);
    c->DoVerifyLog("Record 3, error fixed");
    c->DoIndexProgress(10);  // nobody listens
    c->DoRestructureProgress(100);
    c->DoDataLost(2, "Name", go, stop);
    EXPECT_EQ(heard, (std::vector<std::string>{"Checking 40", "Record 3, error fixed", "100", "Name2"}));
    EXPECT_TRUE(go && stop);
    c->CloseCursor(false);
    c->OpenCursor();
    c->DoVerifyLog("unheard");
    go = stop = false;
    c->DoDataLost(1, "x", go, stop);
    EXPECT_EQ(heard.size(), 4u);
    EXPECT_FALSE(go || stop);
}

TEST_F(DataCursorTest, MissingTableAndChecks) {
    auto c = Cursor("Nothing");
    EXPECT_EQ(CodeOf([&] { c->OpenCursor(); }), DBE_OSENOENT);
    EXPECT_FALSE(c->IsCursorOpen());
    EXPECT_EQ(CodeOf([&] { c->CheckExclusive(); }), DBE_NEEDEXCLACCESS);
    EXPECT_EQ(CodeOf([&] { c->CheckWritable(); }), 0);
    c->SetReadOnly(true);
    EXPECT_EQ(CodeOf([&] { c->CheckWritable(); }), DBE_OSEACCES);
    EXPECT_EQ(CodeOf([&] { c->CheckClosed(); }), 0);
}

}  // namespace
}  // namespace dbengine
