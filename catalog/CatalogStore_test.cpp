// A catalog's record and its three tables as the catalog operations make and check them: the
// tables read back from their files, the boxes shown, the upgrade of an old summary table, the
// lengths taken from an existing file-entry table, the failure paths (injected through the
// platform's file hook) and the keys the schemas give.

#include "catalog/CatalogStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>

#include "catalog/Globals.h"
#include "dbsql/testsupport/DbTestTable.h"
#include "framework/core/Seams.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"
#include "platform/Files.h"

using namespace catalog;
using namespace framework;
using dbsql::testsupport::Raised;

namespace {

struct CatalogStoreTest : dbsql::testsupport::SessionFixture {
    TFormDriver Driver;
    void SetUp() override {
        SessionFixture::SetUp();
        Driver.Strict = false;  // every box is answered OK and recorded
        ProgramFolder = "D:\\";
        CatalogDataFolder = "D:\\";
        CurrentCatalogName = "Games";
        LastCatalogedLabel = "";
        platform::ClearBeepHistory();
    }
    void TearDown() override {
        CurrentCatalogName.clear();
        ProgramFolder.clear();
        CatalogDataFolder.clear();
        LastCatalogedLabel = "";
        SessionFixture::TearDown();
    }
    std::unique_ptr<dbsql::TDbTable> Table(const std::string& name) {
        auto t = std::make_unique<dbsql::TDbTable>();
        t->SetDatabaseName("D:\\");
        t->SetTableName(name);
        return t;
    }
    void MakeConfigTable() {
        auto t = Table("CatalogConfigs");
        DefineTable(*t, CatalogConfigsSchema());
        t->CreateTable();
    }
    // The catalog's record, made as a new catalog's is.
    void MakeCatalog(TNameLengths lengths = {30, 60, 20}) {
        MakeConfigTable();
        TCatalogStore store;
        store.CreateCatalogConfig(false, lengths);
        ASSERT_EQ(CurrentCatalogName, "Games");
    }
    void Open(bool silent) {
        TCatalogStore store;
        store.MessageWindow.Show = [this](const std::string& text) { Windows.push_back("show " + text); };
        store.MessageWindow.Remove = [this] { Windows.push_back("remove"); };
        store.OpenCatalog(silent);
    }
    // The texts of the boxes shown so far, each with its kind.
    std::vector<std::string> Boxes() const {
        std::vector<std::string> out;
        for (const auto& s : Driver.Shown)
            out.push_back((s.DlgType == mtError         ? "error: "
                           : s.DlgType == mtInformation ? "info: "
                                                        : "?: ") +
                          s.Text);
        return out;
    }
    std::vector<std::string> FilesOf(const std::string& table) const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(Root.Path())) {
            std::string name = e.path().filename().string();
            if (name.starts_with(table + ".")) out.push_back(name);
        }
        return out;
    }
    // The table's files with their bytes.
    std::map<std::string, std::string> Snapshot(const std::string& table) const {
        std::map<std::string, std::string> out;
        for (const std::string& f : FilesOf(table))
            out[f] = platform::testsupport::ReadNativeFile(Root.Path() + "/" + f);
        return out;
    }
    bool Exists(const std::string& name) { return Table(name)->Exists(); }
    std::unique_ptr<dbsql::TDbTable> Config() {
        auto t = Table("CatalogConfigs");
        t->Open();
        EXPECT_TRUE(t->FindKey({Variant(std::string("Games"))}));
        return t;
    }
    std::vector<std::string> Windows;
};

struct IndexShape {
    std::string Name, Fields;
    unsigned Options;
    int Compression;
};

void ExpectShape(dbsql::TDbTable& t, const TCatalogTableSchema& schema,
                 const std::vector<IndexShape>& indexes, int major, int minor) {
    SCOPED_TRACE(t.TableName());
    t.FieldDefs.Update();
    ASSERT_EQ(t.FieldDefs.Count(), int(schema.Table.Fields.size()));
    for (int i = 0; i < t.FieldDefs.Count(); ++i) {
        const TFieldSchema& f = schema.Table.Fields[size_t(i)];
        EXPECT_EQ(t.FieldDefs[i]->Name, f.Name);
        EXPECT_EQ(t.FieldDefs[i]->DataType, f.Kind) << f.Name;
        if (f.Kind == ftString) {
            EXPECT_EQ(t.FieldDefs[i]->Size, f.Size) << f.Name;
        }
        EXPECT_EQ(t.FieldDefs[i]->Required, f.Required) << f.Name;
    }
    t.RestructureIndexDefs.Clear();
    t.RestructureFieldDefs.Clear();
    t.RestructureIndexDefs.Update();
    ASSERT_EQ(t.RestructureIndexDefs.Count(), int(indexes.size()));
    for (int i = 0; i < t.RestructureIndexDefs.Count(); ++i) {
        const auto* got = t.RestructureIndexDefs.GetItem(i);
        EXPECT_EQ(got->Name, indexes[size_t(i)].Name);
        EXPECT_EQ(got->Fields, indexes[size_t(i)].Fields);
        EXPECT_EQ(got->Options & (ixPrimary | ixUnique | ixDescending | ixCaseInsensitive),
                  indexes[size_t(i)].Options)
            << got->Name;
        if (indexes[size_t(i)].Compression >= 0) {
            EXPECT_EQ(got->Compression, indexes[size_t(i)].Compression) << got->Name;
        }
    }
    EXPECT_EQ(t.GetUserMajorVersion(), major);
    EXPECT_EQ(t.GetUserMinorVersion(), minor);
}

}  // namespace

TEST_F(CatalogStoreTest, NewCatalogOpenedSilentlyGetsItsThreeTables) {
    MakeCatalog();
    Open(true);
    EXPECT_EQ(CurrentCatalogName, "Games");
    EXPECT_TRUE(Driver.Shown.empty());
    EXPECT_TRUE(platform::BeepHistory().empty());
    EXPECT_TRUE(Windows.empty());
    auto sum = Table("Games_SUM");
    ExpectShape(*sum, SummaryTableSchema(),
                {{"", "CatalogVolumeLabel", 11, 3},
                 {"ByActualVolumeLabel", "ActualVolumeLabel;CatalogVolumeLabel", 10, 3},
                 {"ByFreeSpace", "DiskFree;CatalogVolumeLabel", 12, 3},
                 {"ByTag", "Tag", 0, 0}},
                2, 0);
    auto cat = Table("Games_CAT");
    ExpectShape(*cat, CatalogTableSchema(30, 60, 20),
                {{"", "FileName;VolumeLabel;FolderName;ArchiveID", 11, 3},
                 {"ByTag", "Tag", 0, 0},
                 {"ByVolumeLabel", "VolumeLabel;FileName;FolderName;ArchiveID", 8, 3}},
                0, 0);
    auto log = Table("Games_LOG");
    ExpectShape(
        *log, LogTableSchema(),
        // the engine's primary index is unique by nature: options 1 read back as 3
        {{"", "OpDate;OpTime;AutoInc", 3, -1}, {"ByOperation", "Operation;OpDate;OpTime;AutoInc", 0, -1}}, 1,
        0);
}

TEST_F(CatalogStoreTest, ActivityLogRecordsAreDatedNowAndHoldFiftyCharacters) {
    MakeCatalog();
    Open(true);
    const TDateTime when = EncodeDate(2024, 3, 9) + EncodeTime(14, 5, 30, 0);
    const TClockFunc saved = SetClock([&] { return when; });
    auto log = Table("Games_LOG");
    const std::string longest = "CATALOGED: Volume ID = \"A VERY LONG LABEL\" From Drive D: and more";
    AppendActivityLog(*log, "MOVED: Volume ID = \"BACKUP01\"");
    AppendActivityLog(*log, longest);
    SetClock(saved);
    EXPECT_FALSE(log->Active());
    log->Open();
    std::vector<std::string> rows;
    for (log->First(); !log->Eof(); log->Next())
        rows.push_back(DateToStr(log->FieldByName("OpDate")->AsDateTime()) + " " +
                       TimeToStr(log->FieldByName("OpTime")->AsDateTime()) + " " +
                       log->FieldByName("Operation")->AsString());
    const std::string stamp = DateToStr(when) + " " + TimeToStr(when) + " ";
    EXPECT_EQ(rows, (std::vector<std::string>{stamp + "MOVED: Volume ID = \"BACKUP01\"",
                                              stamp + longest.substr(0, 50)}));
}

TEST_F(CatalogStoreTest, NewRecordCarriesTheDefaultOptions) {
    MakeConfigTable();
    {
        TCatalogStore store;
        store.CreateCatalogConfig(true, {40, 50, 60});  // a conversion ignores the lengths
    }
    auto cfg = Config();
    EXPECT_EQ(cfg->FieldByName("FileNameFieldLength")->AsInteger(), 16);
    EXPECT_EQ(cfg->FieldByName("FolderNameFieldLength")->AsInteger(), 16);
    EXPECT_EQ(cfg->FieldByName("ArchiveIDFieldLength")->AsInteger(), 16);
    EXPECT_EQ(cfg->FieldByName("ExpandArchives")->AsString(), "Never");
    EXPECT_EQ(cfg->FieldByName("LastVolumeLabel")->AsString(), "");
    EXPECT_EQ(cfg->FieldByName("LastPointer")->AsInteger(), 0);
    for (const TFieldSchema& f : CatalogConfigsSchema().Fields) {
        if (f.Kind != ftBoolean) continue;
        bool on = f.Name == "DoCAB" || f.Name == "DoZIP" || f.Name == "WarnIfExists";
        EXPECT_EQ(cfg->FieldByName(f.Name)->AsString(), on ? "True" : "False") << f.Name;
    }
    cfg->Close();
    CurrentCatalogName = "Other";
    {
        TCatalogStore store;
        store.CreateCatalogConfig(false, {200, 150, 90});
    }
    auto other = Table("CatalogConfigs");
    other->Open();
    ASSERT_TRUE(other->FindKey({Variant(std::string("Other"))}));
    EXPECT_EQ(other->FieldByName("FileNameFieldLength")->AsInteger(), 200);
    EXPECT_EQ(other->FieldByName("FolderNameFieldLength")->AsInteger(), 150);
    EXPECT_EQ(other->FieldByName("ArchiveIDFieldLength")->AsInteger(), 90);
}

TEST_F(CatalogStoreTest, MissingTablesAreAnnouncedInOrderUnlessSilent) {
    MakeCatalog();
    Open(false);
    EXPECT_EQ(Boxes(), (std::vector<std::string>{
                           "info: Cannot Find Summary File For Current Catalog - Creating A New One",
                           "info: Cannot Find Data File For Current Catalog - Creating A New One",
                           "info: Cannot Find Log File For Current Catalog - Creating A New One"}));
    EXPECT_TRUE(platform::BeepHistory().empty());
    Driver.Shown.clear();
    Open(false);  // all present now
    EXPECT_TRUE(Driver.Shown.empty());
    // One table gone: only it is made again, the others keep their records.
    auto sum = Table("Games_SUM");
    sum->Open();
    sum->Append();
    sum->FieldByName("CatalogVolumeLabel")->SetAsString("V1");
    sum->FieldByName("ActualVolumeLabel")->SetAsString("V1");
    sum->Post();
    sum->Close();
    Table("Games_LOG")->DeleteTable();
    Open(false);
    EXPECT_EQ(Boxes(), std::vector<std::string>{
                           "info: Cannot Find Log File For Current Catalog - Creating A New One"});
    sum->Open();
    EXPECT_EQ(sum->RecordCount(), 1);
}

TEST_F(CatalogStoreTest, OldSummaryTableIsUpgradedOnceKeepingRecordsAndCounter) {
    MakeCatalog();
    {
        auto old = Table("Games_SUM");
        DefineTable(*old, SummaryTableSchema().Table);
        old->CreateTable();  // user version 1.0
        old->Open();
        for (const char* label : {"A", "B"}) {
            old->Append();
            old->FieldByName("CatalogVolumeLabel")->SetAsString(label);
            old->FieldByName("ActualVolumeLabel")->SetAsString(label);
            old->Post();
        }
        old->Close();
    }
    Open(true);
    EXPECT_EQ(CurrentCatalogName, "Games");
    EXPECT_EQ(Windows, (std::vector<std::string>{"show Updating Summary File Format", "remove"}));
    auto sum = Table("Games_SUM");
    EXPECT_EQ(sum->GetUserMajorVersion(), 2);
    EXPECT_EQ(sum->GetUserMinorVersion(), 0);
    sum->Open();
    EXPECT_EQ(sum->RecordCount(), 2);
    sum->Append();
    sum->FieldByName("CatalogVolumeLabel")->SetAsString("C");
    sum->FieldByName("ActualVolumeLabel")->SetAsString("C");
    sum->Post();
    EXPECT_EQ(sum->FieldByName("Tag")->AsInteger(), 3);
    sum->Close();
    Windows.clear();
    Open(false);
    EXPECT_TRUE(Windows.empty());
    EXPECT_TRUE(Driver.Shown.empty());
}

TEST_F(CatalogStoreTest, RecordTakesTheLengthsOfAnExistingEntryTable) {
    MakeCatalog({16, 16, 16});
    auto cat = Table("Games_CAT");
    DefineTable(*cat, CatalogTableSchema(40, 120, 30).Table);
    cat->CreateTable();
    auto before = Snapshot("Games_CAT");
    Open(true);
    EXPECT_EQ(CurrentCatalogName, "Games");
    auto cfg = Config();
    EXPECT_EQ(cfg->FieldByName("FileNameFieldLength")->AsInteger(), 40);
    EXPECT_EQ(cfg->FieldByName("FolderNameFieldLength")->AsInteger(), 120);
    EXPECT_EQ(cfg->FieldByName("ArchiveIDFieldLength")->AsInteger(), 30);
    EXPECT_TRUE(Snapshot("Games_CAT") == before) << "the entry table changed";
}

TEST_F(CatalogStoreTest, LastCatalogedLabelComesTrimmedFromTheRecord) {
    MakeCatalog();
    {
        auto cfg = Config();
        cfg->Edit();
        cfg->FieldByName("LastVolumeLabel")->SetAsString("  DISK 7   ");
        cfg->Post();
    }
    LastCatalogedLabel = "stale";
    Open(true);
    EXPECT_EQ(LastCatalogedLabel.Text(), "DISK 7");
}

TEST_F(CatalogStoreTest, MissingDefinitionOrConfigurationTable) {
    // No configuration table at all: the name is kept.
    Open(false);
    EXPECT_EQ(Boxes(),
              std::vector<std::string>{"error: Unable To Open File Containing Catalog Configurations"});
    EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{16});
    EXPECT_EQ(CurrentCatalogName, "Games");
    // A table without the catalog's record, or a stored name unfit for file names: the name goes.
    MakeConfigTable();
    for (const char* name : {"Games", "..", "a:b"}) {
        SCOPED_TRACE(name);
        Driver.Shown.clear();
        platform::ClearBeepHistory();
        CurrentCatalogName = name;
        Open(false);
        EXPECT_EQ(Boxes(), std::vector<std::string>{
                               "error: Cannot Find Catalog Definition - You Need To Create A New Catalog"});
        EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{16});
        EXPECT_EQ(CurrentCatalogName, "");
    }
    EXPECT_FALSE(Exists("Games_SUM"));
}

TEST_F(CatalogStoreTest, FailuresOfTheConfigurationRecord) {
    TCatalogStore store;
    store.CreateCatalogConfig(false);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"error: Unable To Open Catalog Configuration File"});
    EXPECT_EQ(CurrentCatalogName, "");
    CurrentCatalogName = "Games";
    MakeCatalog();
    Driver.Shown.clear();
    platform::ClearBeepHistory();
    CurrentCatalogName = "GAMES";  // the key ignores case: a second record is refused
    store.CreateCatalogConfig(false);
    EXPECT_EQ(Boxes(),
              std::vector<std::string>{"error: Unable To Create Configuration Record For New Catalog"});
    EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{16});
    EXPECT_EQ(CurrentCatalogName, "");
}

// Each injected failure shows its error after the beep, clears the name and stops the later steps.
TEST_F(CatalogStoreTest, InjectedFileFailuresStopTheOpening) {
    struct Case {
        const char* What;
        const char* FailOn;  // file-name part whose renames and writes fail
        bool OldSummary;
        std::string Message;
        std::vector<std::string> Made;  // tables present afterwards
    };
    const std::vector<Case> cases = {
        {"summary", "Games_SUM", false, "Error Creating Summary File", {}},
        // The index backup is touched only by the restructure that follows CreateTable: the
        // table made is deleted again rather than left half-made.
        {"summary restructure", "Games_SUM.IBK", false, "Error Creating Summary File", {}},
        {"entries restructure", "Games_CAT.IBK", false, "Error Creating Catalog File", {"Games_SUM"}},
        {"summary upgrade", "Games_SUM", true, "Error Restructuring Summary File", {"Games_SUM"}},
        {"entries", "Games_CAT", false, "Error Creating Catalog File", {"Games_SUM"}},
        {"log", "Games_LOG", false, "Error Creating Log File", {"Games_SUM", "Games_CAT"}},
    };
    MakeConfigTable();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        CurrentCatalogName = "Games";
        {
            TCatalogStore store;
            store.CreateCatalogConfig(false, {30, 60, 20});
        }
        if (c.OldSummary) {
            auto old = Table("Games_SUM");
            DefineTable(*old, SummaryTableSchema().Table);
            old->CreateTable();
            old->Open();
            old->Append();
            old->FieldByName("CatalogVolumeLabel")->SetAsString("A");
            old->FieldByName("ActualVolumeLabel")->SetAsString("A");
            old->Post();
            old->Close();
        }
        Driver.Shown.clear();
        Windows.clear();
        platform::ClearBeepHistory();
        std::map<std::string, std::string> before = Snapshot("Games_SUM");
        {
            std::string part = c.FailOn;
            platform::TScopedFileFault fault([&](platform::TFileOperation op, const std::string& path,
                                                 int64_t, uint32_t) {
                bool hit = path.find(part) != std::string::npos &&
                           (op == platform::TFileOperation::Rename || op == platform::TFileOperation::Write ||
                            (!c.OldSummary && op == platform::TFileOperation::Open));
                return platform::TFileFault{hit ? 5u : 0u};  // access denied
            });
            Open(true);
        }
        EXPECT_EQ(Boxes(), std::vector<std::string>{"error: " + c.Message});
        EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{16});
        EXPECT_EQ(CurrentCatalogName, "");
        for (const char* suffix : {"_SUM", "_CAT", "_LOG"}) {
            std::string name = std::string("Games") + suffix;
            bool made = std::find(c.Made.begin(), c.Made.end(), name) != c.Made.end();
            EXPECT_EQ(Exists(name), made) << name;
            if (!made) {
                EXPECT_TRUE(FilesOf(name).empty()) << name << " files left";
            }
        }
        if (c.OldSummary) {
            EXPECT_EQ(Windows, (std::vector<std::string>{"show Updating Summary File Format", "remove"}));
            // The old table stays usable with its records.
            EXPECT_EQ(FilesOf("Games_SUM").size(), before.size());
            auto sum = Table("Games_SUM");
            sum->Open();
            EXPECT_EQ(sum->RecordCount(), 1);
        }
        // Start the next case from nothing.
        for (const char* suffix : {"_SUM", "_CAT", "_LOG"})
            if (Exists(std::string("Games") + suffix)) Table(std::string("Games") + suffix)->DeleteTable();
        auto cfg = Config();
        cfg->Delete();
    }
}

TEST_F(CatalogStoreTest, KeysOfTheVolumeAndEntryTables) {
    MakeCatalog();
    Open(true);
    auto sum = Table("Games_SUM");
    sum->Open();
    auto volume = [&](const char* label, const char* actual, double free) {
        sum->Append();
        sum->FieldByName("CatalogVolumeLabel")->SetAsString(label);
        sum->FieldByName("ActualVolumeLabel")->SetAsString(actual);
        sum->FieldByName("DiskFree")->SetAsFloat(free);
        sum->Post();
    };
    volume("Disk1", "SAME", 10);
    volume("Disk2", "SAME", 30);  // two volumes may carry one actual label
    volume("Disk3", "OTHER", 20);
    EXPECT_NE(Raised([&] { volume("DISK1", "X", 0); }), "(nothing raised)");
    sum->Cancel();
    EXPECT_EQ(sum->RecordCount(), 3);
    sum->SetIndexName("ByFreeSpace");
    sum->First();
    std::vector<std::string> order;
    for (; !sum->Eof(); sum->Next()) order.push_back(sum->FieldByName("CatalogVolumeLabel")->AsString());
    EXPECT_EQ(order, (std::vector<std::string>{"Disk2", "Disk3", "Disk1"}));

    auto cat = Table("Games_CAT");
    cat->Open();
    auto entry = [&](const char* archive) {
        cat->Append();
        cat->FieldByName("FileName")->SetAsString("README.TXT");
        cat->FieldByName("VolumeLabel")->SetAsString("Disk1");
        cat->FieldByName("FolderName")->SetAsString("\\DOCS");
        cat->FieldByName("ArchiveID")->SetAsString(archive);
        cat->Post();
    };
    entry("ONE.ZIP");
    entry("TWO.ZIP");
    EXPECT_NE(Raised([&] { entry("one.zip"); }), "(nothing raised)");
    cat->Cancel();
    EXPECT_EQ(cat->RecordCount(), 2);
}

TEST(CatalogName, NamesThatCannotMakeFileNamesAreRefused) {
    for (const char* good : {"Games", "My Disks", "a.b", "...x", "x-1_2"})
        EXPECT_TRUE(IsValidCatalogName(good)) << good;
    for (const char* bad :
         {"", ".", "..", "a\\b", "a/b", "c:", "a*", "a?", "a\"b", "<a", "a>", "a|b", "tab\tx"})
        EXPECT_FALSE(IsValidCatalogName(bad)) << bad;
    EXPECT_FALSE(IsValidCatalogName(std::string("a\x7F", 2)));
}
