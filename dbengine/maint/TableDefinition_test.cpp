#include <gtest/gtest.h>
#include <sys/stat.h>

#include <tuple>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/index/DefaultTextParams.h"
#include "dbengine/testsupport/CatalogTable.h"
#include "dbengine/testsupport/Descriptors.h"
#include "dbengine/testsupport/TableFixture.h"

namespace dbengine {
namespace {

using testsupport::CodeOf;
using testsupport::Field;
using testsupport::Index;

using testsupport::CatalogEntries;

class TableDefinitionTest : public testsupport::TableFixture {
protected:
    std::unique_ptr<TDataCursor> Cursor(const std::string& name) {
        auto c = std::make_unique<TDataCursor>(Database);
        c->SetTableName(name);
        c->SetExclusive(true);
        return c;
    }
    TEngineErrorCode CheckOf(TTableDefinition def, bool allowAutoPrimary = true) {
        auto c = Cursor("T");
        return CodeOf([&] { c->CheckTableDefinition(def, 0, allowAutoPrimary, false); });
    }
};

TEST_F(TableDefinitionTest, Limits) {
    auto fields = [](int n) {
        TTableDefinition def;
        for (int i = 1; i <= n; ++i)
            def.Fields.push_back(Field(int16_t(i), "F" + std::to_string(i), fldInteger));
        return def;
    };
    auto secondaries = [](int n) {
        TTableDefinition def;
        def.Fields = {Field(1, "A", fldInteger)};
        for (int i = 1; i <= n; ++i) def.SecondaryIndexes.push_back(Index("I" + std::to_string(i), {1}));
        return def;
    };
    auto withField = [](TFieldDescriptor f) {
        TTableDefinition def;
        def.Fields = {Field(1, "A", fldInteger), f};
        return def;
    };
    auto blockSize = [](uint16_t size) {
        TTableDefinition def;
        def.Fields = {Field(1, "A", fldInteger)};
        def.BlobBlockSize = size;
        return def;
    };
    TTableDefinition duplicateNames = withField(Field(2, "a", fldString, 5));
    TTableDefinition encrypted = withField(Field(2, "B", fldString, 5));
    encrypted.Encrypted = true;
    encrypted.Password = "   ";
    struct Case {
        const char* Name;
        TTableDefinition Def;
        TEngineErrorCode Code;
    } cases[] = {
        {"1,024 fields", fields(1024), 0},
        {"1,025 fields", fields(1025), DBE_FLDLIMIT},
        {"30 secondary indexes", secondaries(30), 0},
        {"31 secondary indexes", secondaries(31), DBE_INDEXLIMIT},
        {"string of 250", withField(Field(2, "S", fldString, 250)), 0},
        {"string of 251", withField(Field(2, "S", fldString, 251)), DBE_INVALIDFLDTYPE},
        {"Name and NAME", duplicateNames, DBE_INVALIDFIELDNAME},
        {"name starting with a digit", withField(Field(2, "1st", fldString, 5)), DBE_INVALIDFIELDNAME},
        {"field number twice", withField(Field(1, "B", fldString, 5)), DBE_INVALIDFLDTYPE},
        {"no type", withField(Field(2, "B", fldNone)), DBE_INVALIDFLDTYPE},
        {"blank password", encrypted, DBE_INVALIDPASSWORD},
        {"block size 63", blockSize(63), DBE_BLOBLIMIT},
        {"block size 64", blockSize(64), 0},
    };
    for (const Case& c : cases) EXPECT_EQ(CheckOf(c.Def), c.Code) << c.Name;
}

TEST_F(TableDefinitionTest, DescriptorsAreCompleted) {
    TTableDefinition def;
    def.Fields = {Field(1, "  Count  ", fldInteger, 20), Field(2, "Price", fldBCD),
                  Field(3, "Memo", fldBlob, 0, fldstMemo), Field(4, "Id", fldInteger, 0, fldstAutoInc)};
    def.Fields[1].Decimals = 2;
    def.Fields[0].Decimals = 3;
    def.PrimaryIndex = Index("", {});
    def.SecondaryIndexes = {Index(" ByCount", {1}), Index("ByPrice", {2, 1}, true)};
    def.TextIndex = Index("", {3});
    auto c = Cursor("T");
    c->CheckTableDefinition(def, 0, true, false);
    EXPECT_EQ(def.Fields[0].Name, "Count");
    EXPECT_EQ(def.Fields[0].Size, 0);
    EXPECT_EQ(def.Fields[0].Decimals, 0);
    EXPECT_EQ(def.Fields[1].Decimals, 2);
    EXPECT_EQ(def.Fields[0].Offset, 9);
    EXPECT_EQ(def.Fields[3].Offset, AutoIncFieldOffset);
    EXPECT_EQ(def.PrimaryIndex.KeySize, 0) << "automatic primary index";
    EXPECT_EQ(def.PrimaryIndex.Unique, 1);
    EXPECT_EQ(def.SecondaryIndexes[0].KeySize, 1 + 4 + 4);
    EXPECT_EQ(def.SecondaryIndexes[0].FieldCount, 1);
    EXPECT_EQ(def.SecondaryIndexes[1].KeySize, 1 + 8 + 1 + 4);
    EXPECT_EQ(def.TextIndex.KeySize, SysTextKeySize);

    struct Case {
        const char* Name;
        std::function<void(TTableDefinition&)> Change;
        bool AllowAutoPrimary;
        TEngineErrorCode Code;
    } cases[] = {
        {"no primary fields without automatic primary", [](TTableDefinition&) {}, false, DBE_INVALIDKEY},
        {"hole in the field list",
         [](TTableDefinition& d) {
             d.SecondaryIndexes[0] = Index("X", {1, 0, 2});
         },
         true, DBE_INVALIDIDXDESC},
        {"unknown field", [](TTableDefinition& d) { d.SecondaryIndexes[0] = Index("X", {9}); }, true,
         DBE_INVALIDIDXDESC},
        {"memo in a key", [](TTableDefinition& d) { d.SecondaryIndexes[0] = Index("X", {3}); }, true,
         DBE_SEARCHCOLREQD},
        {"index name starting with a digit", [](TTableDefinition& d) { d.SecondaryIndexes[0].Name = "9X"; },
         true, DBE_INVALIDINDEXNAME},
        {"index name twice", [](TTableDefinition& d) { d.SecondaryIndexes[1].Name = "bycount"; }, true,
         DBE_INDEXEXISTS},
        {"number in the full-text index", [](TTableDefinition& d) { d.TextIndex = Index("", {1}); }, true,
         DBE_SEARCHCOLREQD},
    };
    for (const Case& k : cases) {
        TTableDefinition changed = def;
        k.Change(changed);
        EXPECT_EQ(CheckOf(changed, k.AllowAutoPrimary), k.Code) << k.Name;
    }
}

TEST_F(TableDefinitionTest, CatalogEntriesTableIsCreatedAndReopened) {
    auto c = Cursor("Main_CAT");
    c->CreateTable(CatalogEntries(200, 200, 90), true, false);
    EXPECT_FALSE(c->IsCursorOpen());
    EXPECT_TRUE(Database->Tables.empty());

    auto reader = std::make_unique<TDataCursor>(Database);
    reader->SetTableName("Main_CAT");
    reader->OpenCursor();
    ASSERT_TRUE(reader->IsCursorOpen());
    EXPECT_EQ(reader->GetFieldCount(), 11);
    EXPECT_TRUE(reader->HasAutoInc());
    EXPECT_TRUE(reader->HasValidity());
    EXPECT_EQ(reader->GetFieldDescs()[0].Size, 200);
    EXPECT_EQ(reader->GetUserMajorVersion(), 1);
    TIndexFile& index = *reader->GetTable()->IndexFile;
    EXPECT_EQ(index.GetIndexCount(), 2);
    // Four strings with their flag bytes: 201 + 12 + 201 + 91 value bytes and four flags.
    EXPECT_EQ(index.GetIndexDesc(0).KeySize, 509);
    EXPECT_EQ(index.GetIndexDesc(0).CaseInsensitive, 1);
    EXPECT_EQ(index.GetIndexDesc(1).Name, "ByTag");
    EXPECT_EQ(index.GetIndexDesc(1).KeySize, 5 + 4);
    EXPECT_EQ(index.GetIndexDesc(2).KeySize, 509 + 4);
    EXPECT_TRUE(reader->IndexExists("BYVOLUMELABEL"));
    EXPECT_TRUE(reader->IndexExists(""));
    EXPECT_FALSE(reader->IndexExists("ByName"));
    reader->CloseCursor(false);

    auto wide = Cursor("Wide_CAT");
    EXPECT_EQ(CodeOf([&] { wide->CreateTable(CatalogEntries(200, 200, 104), true, false); }), DBE_INVALIDKEY);
    EXPECT_FALSE(Exists("Wide_CAT.DAT"));
}

TEST_F(TableDefinitionTest, ExistingTableIsKeptWithoutOverwrite) {
    MakeTable("T", false, 3);
    struct stat before {};
    ASSERT_EQ(stat((Root / "T.DAT").c_str(), &before), 0);
    std::string bytes = Bytes("T.DAT");
    auto c = Cursor("T");
    EXPECT_EQ(CodeOf([&] { c->CreateTable(Definition(false), true, false); }), DBE_TABLEEXISTS);
    struct stat after {};
    ASSERT_EQ(stat((Root / "T.DAT").c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(Bytes("T.DAT"), bytes);
    // With overwrite it is made anew, empty.
    c->CreateTable(Definition(false), true, true);
    EXPECT_EQ(Open("T")->DataFile->RecordCount(), 0);
}

TEST_F(TableDefinitionTest, CreateNeedsAnExclusiveWritableCursor) {
    auto c = std::make_unique<TDataCursor>(Database);
    c->SetTableName("T");
    EXPECT_EQ(CodeOf([&] { c->CreateTable(Definition(false), true, false); }), DBE_NEEDEXCLACCESS);
    c->SetExclusive(true);
    c->SetReadOnly(true);
    EXPECT_EQ(CodeOf([&] { c->CreateTable(Definition(false), true, false); }), DBE_OSEACCES);
    EXPECT_FALSE(Exists("T.DAT"));
}

TEST_F(TableDefinitionTest, DeleteAndRenameThroughACursor) {
    MakeTable("T", true, 1);
    auto c = Cursor("T");
    c->RenameTable("U");
    EXPECT_FALSE(Exists("T.DAT"));
    EXPECT_TRUE(Exists("U.BLB"));
    c->SetTableName("U");
    TDataTable* open = Open("U");
    EXPECT_EQ(CodeOf([&] { c->DeleteTable(); }), DBE_OSEACCES);
    Database->ReleaseSharedTable(open, false, false, false);
    c->DeleteTable();
    EXPECT_FALSE(Exists("U.DAT"));
    EXPECT_FALSE(Exists("U.IDX"));
    EXPECT_FALSE(Exists("U.BLB"));
    EXPECT_EQ(CodeOf([&] { c->DeleteTable(); }), DBE_OSENOENT);
}

}  // namespace
}  // namespace dbengine

namespace dbengine {
namespace {

class TablePropertiesTest : public testsupport::TableFixture {};

TEST_F(TablePropertiesTest, ClosedCursorReadsTheHeader) {
    TTableDefinition def = Definition(true);
    def.UserMajorVersion = 3;
    def.UserMinorVersion = 7;
    def.BlobBlockSize = 1024;
    def.Description = "Entries";
    auto maker = std::make_unique<TDataCursor>(Database);
    maker->SetTableName("T");
    maker->SetExclusive(true);
    maker->CreateTable(def, true, false);

    auto c = std::make_unique<TDataCursor>(Database);
    c->SetTableName("T");
    auto snapshot = [&] {
        return std::make_tuple(c->GetLanguageId(), c->GetSortId(), c->GetUserMajorVersion(),
                               c->GetUserMinorVersion(), c->GetBlobBlockSize(), c->GetBlobDataSize(),
                               c->GetLastRecordId(), c->IsEncrypted(), c->GetTableDescription(),
                               c->GetTablePassword());
    };
    auto closed = snapshot();
    EXPECT_EQ(std::get<2>(closed), 3);
    EXPECT_EQ(std::get<4>(closed), 1024u);
    EXPECT_EQ(std::get<5>(closed), 1006u);
    EXPECT_EQ(std::get<8>(closed), "Entries");
    EXPECT_EQ(std::get<9>(closed), "");
    c->OpenCursor();
    EXPECT_EQ(snapshot(), closed);
    c->CloseCursor(false);

    c->SetTableName("Missing");
    EXPECT_EQ(testsupport::CodeOf([&] { c->GetLanguageId(); }), DBE_OSENOENT);
}

TEST_F(TablePropertiesTest, ResultDescriptorsWithCalculatedFields) {
    MakeTable("R", false, 1);
    auto c = std::make_unique<TDataCursor>(Database);
    c->SetTableName("R");
    c->OpenCursor();
    uint16_t stored = c->GetRecordSize();
    std::vector<TFieldDescriptor> fields = {Field(1, "Name", fldString, 20), Field(2, "Count", fldInteger),
                                            Field(3, "Twice", fldInteger)};
    fields[0].Offset = 9;
    fields[1].Offset = 31;
    fields[2].Calculated = 1;
    c->SetFieldDescs(fields);
    EXPECT_EQ(c->GetFieldCount(), 3);
    EXPECT_EQ(c->GetFieldDescs()[1].Offset, 31) << "offsets are kept";
    EXPECT_EQ(c->GetFieldDescs()[2].Offset, stored);
    EXPECT_EQ(c->GetRecordSize(), stored + 5);
    c->SetFieldOrigins();
    EXPECT_EQ(c->GetFieldDescs()[2].OriginName, "R.Twice");
    EXPECT_EQ(c->GetFieldDescs()[2].OriginFieldNo, 3);
    fields.push_back(Field(4, "twice", fldInteger));
    EXPECT_EQ(testsupport::CodeOf([&] { c->SetFieldDescs(fields); }), DBE_INVALIDFIELDNAME);
}

TEST_F(TablePropertiesTest, EncryptedClosedTableNeedsItsPassword) {
    TTableDefinition def = Definition(false);
    def.Encrypted = true;
    def.Password = "Key1";
    def.Description = "Hidden";
    auto c = std::make_unique<TDataCursor>(Database);
    c->SetTableName("E");
    c->SetExclusive(true);
    c->CreateTable(def, true, false);
    EXPECT_EQ(testsupport::CodeOf([&] { c->GetTableDescription(); }), DBE_NOTSUFFTABLERIGHTS);
    EXPECT_EQ(testsupport::CodeOf([&] { c->DeleteTable(); }), DBE_NOTSUFFTABLERIGHTS);
    EXPECT_TRUE(Exists("E.DAT"));
    Session->AddPassword("Key1");
    EXPECT_EQ(c->GetTableDescription(), "Hidden");
    EXPECT_EQ(c->GetTablePassword(), "Key1");
}

TEST_F(TablePropertiesTest, EmptyTableKeepsTheFullTextParameters) {
    MakeTable("T", false, 4);
    auto c = std::make_unique<TDataCursor>(Database);
    c->SetTableName("T");
    c->OpenCursor();
    EXPECT_EQ(testsupport::CodeOf([&] { c->EmptyTable(); }), DBE_NEEDEXCLACCESS);
    c->CloseCursor(false);
    c->SetExclusive(true);
    c->OpenCursor();
    std::vector<std::string> words = {"KEEP"};
    c->SetTextIndexParams(&words, DefaultSpaceChars(), DefaultIncludeChars());
    c->CloseCursor(false);
    c->OpenCursor();
    c->EmptyTable();
    EXPECT_EQ(c->GetPhysicalRecordCount(), 0);
    c->CloseCursor(false);
    EXPECT_EQ(Bytes("T.DAT").size(), DataHeaderSize + 2 * FieldDescriptorSize);
    c->OpenCursor();
    EXPECT_EQ(c->GetStopWords().Count(), 1);
    EXPECT_EQ(c->GetStopWords().Get(0), "KEEP");
}

}  // namespace
}  // namespace dbengine
