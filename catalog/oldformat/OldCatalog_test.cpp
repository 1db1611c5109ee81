// Old catalogs turned into new ones: the record readers on records written field by field, the
// checks of the Convert action, the name prompt, and whole conversions read back from the tables.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "catalog/CatalogStore.h"
#include "catalog/GetStringForm.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "catalog/ProgressForm.h"
#include "catalog/oldformat/ConvertForm.h"
#include "catalog/oldformat/ConvertOldCatalog.h"
#include "catalog/oldformat/OldRecords.h"
#include "catalog/testsupport/CatalogTestFixture.h"
#include "catalog/testsupport/OldCatalogWriter.h"
#include "dbsql/testsupport/DbTestTable.h"
#include "framework/core/DateTime.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"
#include "platform/Files.h"
#include "sysutil/shell/UtShell.h"
#include "sysutil/shell/UtShlViews.h"

using namespace catalog;
using namespace catalog::oldformat;
using namespace catalog::testsupport;
using namespace framework;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

TOldDataRecord Entry(const TOldEntry& e) {
    const std::vector<uint8_t> b = Bytes(OldDataRecord(e));
    return ParseDataRecord(std::span<const uint8_t, kDataRecordSize>(b.data(), kDataRecordSize));
}

std::string Stamp(TDateTime d) {
    return FormatDateTime("yyyy-mm-dd hh:nn:ss", d);
}

// ---- Records ----

TEST(OldRecords, PackedDatesAndTimes) {
    struct Case {
        int32_t Packed;
        const char* Date;  // nullptr: no valid date
        const char* Time;  // nullptr: no valid time
    } cases[] = {
        {961137230, "1999-03-15", "10:20:30"},
        {PackOldDate(1999, 3, 15, 10, 20, 30), "1999-03-15", "10:20:30"},
        {-((1 * 500 + 1 * 32 + 1) * 100000), "2023-01-01", "00:00:00"},
        {0, nullptr, "00:00:00"},                         // month 0
        {PackOldDate(2001, 2, 29), nullptr, "00:00:00"},  // no 29 February in 2001
        {PackOldDate(2000, 2, 29, 23, 59, 59), "2000-02-29", "23:59:59"},
        {PackOldDate(1999, 3, 15) + 86400, "1999-03-15", nullptr},  // hour 24
        {INT32_MIN, nullptr, "23:14:08"},                           // 2147483648: month 14
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Packed);
        TDateTime d = 0, t = 0;
        EXPECT_EQ(DecodeOldDate(c.Packed, d), c.Date != nullptr);
        if (c.Date) {
            EXPECT_EQ(Stamp(d).substr(0, 10), c.Date);
        }
        EXPECT_EQ(DecodeOldTime(c.Packed, t), c.Time != nullptr);
        if (c.Time) {
            EXPECT_EQ(Stamp(t).substr(11), c.Time);
        }
    }
}

TEST(OldRecords, EntryNamesKindsAndArchives) {
    TOldEntry e;
    e.Name = "READ    .ME ";
    e.Folder = " \\GAMES ";
    e.Label = "DISK 1";
    e.Comment = "  first line  ";
    e.Next = 7;
    e.Category = 3;
    TOldDataRecord r = Entry(e);
    EXPECT_EQ(r.FileName, "READ.ME");
    EXPECT_EQ(r.FolderName, "\\GAMES");
    EXPECT_EQ(r.VolumeLabel, "DISK 1");
    EXPECT_EQ(r.FirstCommentLine, "first line");
    EXPECT_EQ(r.NextComment, 7);
    EXPECT_EQ(r.Category, 3);
    EXPECT_EQ(r.FileSize, 1234);

    struct Case {
        std::string Archive;
        uint8_t Kind;
        int32_t Attribute;
        std::string ArchiveID;
    } cases[] = {
        {"........", 20, 20, ""},       {"........", 0, 0, ""},         {"TOOLS", 252, 0, "TOOLS.ZIP"},
        {"TOOLS", 63, 63, "TOOLS"},     {"TOOLS", 64, 0, "TOOLS"},      {"TOOLS", 143, 0, "TOOLS"},
        {"SETUP", 144, 0, "SETUP.EXE"}, {"SETUP", 243, 0, "SETUP.EXE"}, {"A", 244, 0, "A.RAR"},
        {"A", 245, 0, "A.SQZ"},         {"A", 246, 0, "A.HYP"},         {"A", 247, 0, "A.ARJ"},
        {"A", 248, 0, "A.DWC"},         {"A", 249, 0, "A.ZOO"},         {"A", 250, 0, "A.LZS"},
        {"A", 251, 0, "A.LZH"},         {"A", 252, 0, "A.ZIP"},         {"A", 253, 0, "A.PAK"},
        {"A", 254, 0, "A.ARC"},         {"A", 255, 0, "A.LBR"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Archive + " " + std::to_string(c.Kind));
        e.Archive = c.Archive;
        e.Kind = c.Kind;
        r = Entry(e);
        EXPECT_EQ(r.Attribute, c.Attribute);
        EXPECT_EQ(r.ArchiveID, c.ArchiveID);
    }
}

TEST(OldRecords, LengthBytesAboveTheCapacityAreCut) {
    // Every length byte 255: each text stops at its own field.
    std::vector<uint8_t> b = Bytes(OldDataRecord(TOldEntry{}));
    for (size_t offset : {0u, 13u, 32u, 44u, 63u}) b[offset] = 255;
    const TOldDataRecord r =
        ParseDataRecord(std::span<const uint8_t, kDataRecordSize>(b.data(), kDataRecordSize));
    EXPECT_EQ(r.FolderName, "\\DOCS") << "the padding blanks are trimmed";
    EXPECT_EQ(OldText(b, 13, 18).size(), 18u);
    EXPECT_EQ(OldText(b, 63, 43).size(), 43u);
    EXPECT_EQ(OldText(b, 110, 43).size(), 0u) << "never past the record";
}

TEST(OldRecords, SummaryConfigAndCategories) {
    TOldVolume v;
    v.Label = " VOL ";
    v.Drive = 2;
    v.Comment = "  kept as it is ";
    std::vector<uint8_t> b = Bytes(OldSummaryRecord(v));
    const TOldSummaryRecord s =
        ParseSummaryRecord(std::span<const uint8_t, kSummaryRecordSize>(b.data(), 72));
    EXPECT_EQ(s.VolumeLabel, "VOL");
    EXPECT_EQ(s.CatalogedFrom, "C");
    EXPECT_EQ(s.Comment, "  kept as it is ");
    EXPECT_EQ(s.FilesOnDisk, 12);
    EXPECT_EQ(s.DiskFree, 457664);

    TOldConfig config;
    b = Bytes(OldConfigRecord(2, {2, 15, 51}));
    ASSERT_TRUE(ParseConfigRecord(std::span<const uint8_t, kConfigRecordSize>(b.data(), 286), config));
    EXPECT_EQ(config.ExpandArchives, "On Demand");
    int set = 0;
    for (const auto& [field, value] : config.Flags) set += value;
    EXPECT_EQ(set, 3);
    EXPECT_EQ(config.Flags.size(), 16u);
    b = Bytes(OldConfigRecord(7, {}));
    ASSERT_TRUE(ParseConfigRecord(std::span<const uint8_t, kConfigRecordSize>(b.data(), 286), config));
    EXPECT_EQ(config.ExpandArchives, "") << "an unknown expansion keeps the default";
    b = Bytes(OldConfigRecord(2, {2}, "WQZX"));
    EXPECT_FALSE(ParseConfigRecord(std::span<const uint8_t, kConfigRecordSize>(b.data(), 286), config));

    b = Bytes(OldCategoryRecord({{1, 65}, {3, 7}, {255, 200}}));
    const auto codes = ParseCategoryRecord(std::span<const uint8_t, kCategoryRecordSize>(b.data(), 4335));
    EXPECT_EQ(codes[1], "65");
    EXPECT_EQ(codes[3], "7");
    EXPECT_EQ(codes[255], "200");
}

// ---- Conversion ----

struct ConvertTest : TCatalogFixture {
    std::vector<TOldEntry> Entries{TOldEntry{}};
    std::vector<TOldVolume> Volumes{TOldVolume{}};
    std::vector<std::string> Comments;  // records of the .CMT file; none: no file
    std::string Config;                 // the .CFG file; empty: none
    std::string Categories;             // KORVANE.CAT; empty: none

    void SetUp() override {
        TCatalogFixture::SetUp();
        CurrentCatalogName = "Before";
        LastCatalogedLabel = "BEFORE";
        std::filesystem::create_directory(Root.Path() + "/OLD");
    }
    void Write(const std::string& name, const std::string& bytes) {
        std::ofstream(Root.Path() + "/OLD/" + name, std::ios::binary) << bytes;
    }
    void WriteFiles() {
        std::string data, summary, comments;
        for (const TOldEntry& e : Entries) data += OldDataRecord(e);
        for (const TOldVolume& v : Volumes) summary += OldSummaryRecord(v);
        Write("OLD.DTA", data);
        Write("OLD.SUM", summary);
        if (!Comments.empty()) {
            for (const std::string& c : Comments) comments += c;
            Write("OLD.CMT", comments);
        }
        if (!Config.empty()) Write("OLD.CFG", Config);
        if (!Categories.empty()) Write("KORVANE.CAT", Categories);
    }
    // Converts D:\OLD\OLD.DTA, answering the name prompt with Name.
    void Convert(const std::string& name = "Games", const std::string& path = "D:\\OLD\\OLD.DTA") {
        WriteFiles();
        Driver.AnswerWith([name](TCustomForm& f) {
            auto& prompt = dynamic_cast<TGetStringForm&>(f);
            prompt.ResultString->SetText(name);
            prompt.SetModalResult(mrOk);
        });
        ConvertOldCatalog(path);
    }
    // The entries of the new catalog in key order, one field.
    std::vector<std::string> Column(const std::string& field, const std::string& table = "Games_CAT") {
        auto t = Table(table);
        t->Open();
        std::vector<std::string> out;
        for (t->First(); !t->Eof(); t->Next()) out.push_back(t->FieldByName(field)->AsString());
        return out;
    }
    std::unique_ptr<dbsql::TDbTable> Config_(const std::string& name = "Games") {
        auto t = Table("CatalogConfigs");
        t->Open();
        EXPECT_TRUE(t->FindKey({Variant(name)}));
        return t;
    }
};

TEST_F(ConvertTest, TheConvertActionRefusesWhatItCannotRead) {
    struct Case {
        const char* What;
        std::string Path;
        std::string Data;     // nullopt-like: "-" means no file
        std::string Summary;  // "-" means no file
        const char* Message;
    };
    const std::string dta = OldDataRecord(TOldEntry{});
    const std::string sum = OldSummaryRecord(TOldVolume{});
    const std::string badData = std::string(dta).replace(0, 1, 1, char(13));
    const std::string badSecond = dta + std::string(dta).replace(0, 1, 1, char(13));
    const std::string badSum = std::string(sum).replace(0, 1, 1, char(12));
    const std::vector<Case> cases = {
        {"lower-case extension", "D:\\OLD\\OLD.dta", dta, sum, "Please Select A \"DTA\" File"},
        {"nothing selected", "", dta, sum, "Please Select A \"DTA\" File"},
        {"no data file", "D:\\OLD\\OLD.DTA", "-", sum, "The Catalog Data File (.DTA) Is Missing"},
        {"no summary file", "D:\\OLD\\OLD.DTA", dta, "-", "The Catalog Summary File (.SUM) Is Missing"},
        {"data size", "D:\\OLD\\OLD.DTA", dta + "x", sum,
         "The Catalog Data File Appears To Be The Incorrect Version"},
        {"data marker", "D:\\OLD\\OLD.DTA", badData, sum,
         "The Catalog Data File Appears To Be The Incorrect Version"},
        {"second marker", "D:\\OLD\\OLD.DTA", badSecond, sum,
         "The Catalog Data File Appears To Be The Incorrect Version"},
        {"summary size", "D:\\OLD\\OLD.DTA", dta, sum.substr(1),
         "The Summary File Appears To Be The Incorrect Version"},
        {"summary marker", "D:\\OLD\\OLD.DTA", dta, badSum,
         "The Summary File Appears To Be The Incorrect Version"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        std::filesystem::remove_all(Root.Path() + "/OLD");
        std::filesystem::create_directory(Root.Path() + "/OLD");
        if (c.Data != "-") Write("OLD.DTA", c.Data);
        if (c.Summary != "-") Write("OLD.SUM", c.Summary);
        Driver.Shown.clear();
        platform::ClearBeepHistory();
        ConvertOldCatalog(c.Path);
        EXPECT_EQ(Texts(), std::vector<std::string>{c.Message});
        EXPECT_EQ(Driver.Shown.back().DlgType, mtError);
        EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{16});
    }
    // Empty files pass the checks: the name is asked for.
    Write("OLD.DTA", "");
    Write("OLD.SUM", "");
    Driver.Shown.clear();
    Driver.Answer(mrCancel);
    ConvertOldCatalog("D:\\OLD\\OLD.DTA");
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].ClassName, "TGetStringForm");
    EXPECT_EQ(CurrentCatalogName, "Before");
}

TEST_F(ConvertTest, TheNameIsAskedForUntilOneCanBeTaken) {
    {
        const std::string current = CurrentCatalogName;
        CurrentCatalogName = "Games";
        TCatalogStore store;
        store.CreateCatalogConfig(false);
        CurrentCatalogName = current;
    }
    WriteFiles();
    std::vector<std::string> proposed;
    const auto answer = [&](const std::string& text, TModalResult result) {
        Driver.AnswerWith([&, text, result](TCustomForm& f) {
            auto& prompt = dynamic_cast<TGetStringForm&>(f);
            proposed.push_back(prompt.Prompt->Caption() + " [" + prompt.ResultString->Text() + "]");
            prompt.ResultString->SetText(text);
            prompt.SetModalResult(result);
        });
    };
    answer("GAMES", mrOk);  // exists (letter case aside)
    Driver.Answer(mrOk);
    answer("   ", mrOk);  // asked again without a message
    answer("a:b", mrOk);
    Driver.Answer(mrOk);
    answer("x", mrCancel);
    ConvertOldCatalog("D:\\OLD\\OLD.DTA");
    EXPECT_EQ(proposed.front(), "Enter A Name For This Catalog (20 Characters Max) [OLD]");
    EXPECT_EQ(proposed.size(), 4u);
    EXPECT_EQ(Texts(),
              (std::vector<std::string>{"A Catalog With This Name Already Exists - Please Try A New Name",
                                        InvalidCatalogNameText}));
    EXPECT_EQ(CurrentCatalogName, "Before") << "Cancel stops";
    EXPECT_FALSE(Table("x_SUM")->Exists());
}

TEST_F(ConvertTest, AWholeCatalogArrives) {
    Entries.clear();
    TOldEntry read;
    read.Name = "READ    .ME ";
    read.Comment = "  first  ";
    read.Next = 1;
    read.Category = 3;
    Entries.push_back(read);
    TOldEntry tools;
    tools.Name = "SETUP   .EXE";
    tools.Archive = "TOOLS";
    tools.Kind = 252;
    tools.Comment = "";
    tools.Next = 3;  // empty first line with a continuation
    tools.Packed = -((1 * 500 + 1 * 32 + 1) * 100000);
    Entries.push_back(tools);
    TOldEntry looping;
    looping.Name = "LOOP    .TXT";
    looping.Comment = "loop";
    looping.Next = 4;
    Entries.push_back(looping);
    Comments = {OldCommentRecord("unused", 0), OldCommentRecord(" second ", 2), OldCommentRecord("third", 0),
                OldCommentRecord("only", 0), OldCommentRecord("again", 4)};
    Categories = OldCategoryRecord({{3, 42}});
    Config = OldConfigRecord(2, {2, 15, 51});
    TOldVolume second;
    second.Label = "DISK2";
    second.Drive = 2;
    second.Comment = "  spaced ";
    Volumes.push_back(second);
    Convert();
    EXPECT_EQ(Texts(), std::vector<std::string>{});
    EXPECT_EQ(Windows, (std::vector<std::string>{"progress Importing Summary Records",
                                                 "progress Importing Catalog Records"}));
    EXPECT_FALSE(Progress->Visible());
    EXPECT_EQ(CurrentCatalogName, "Games");
    EXPECT_EQ(LastCatalogedLabel.Text(), "");

    EXPECT_EQ(Column("FileName"), (std::vector<std::string>{"LOOP.TXT", "READ.ME", "SETUP.EXE"}));
    EXPECT_EQ(Column("ArchiveID"), (std::vector<std::string>{"", "", "TOOLS.ZIP"}));
    EXPECT_EQ(Column("Attribute"), (std::vector<std::string>{"32", "32", "0"}));
    EXPECT_EQ(Column("CategoryCode"), (std::vector<std::string>{"", "42", ""}));
    EXPECT_EQ(Column("Comment"),
              (std::vector<std::string>{"loop\r\nagain\r\nagain\r\nagain\r\nagain\r\nagain",
                                        "first\r\nsecond\r\nthird", "\r\nonly"}));
    EXPECT_EQ(Column("FileSize")[0], "1234");
    auto cat = Table("Games_CAT");
    cat->Open();
    cat->Last();
    EXPECT_EQ(Stamp(cat->FieldByName("DateModified")->AsDateTime()).substr(0, 10), "2023-01-01");
    cat->First();
    EXPECT_EQ(Stamp(cat->FieldByName("DateModified")->AsDateTime()).substr(0, 10), "1999-03-15");
    EXPECT_EQ(Stamp(cat->FieldByName("TimeModified")->AsDateTime()).substr(11), "10:20:30");

    EXPECT_EQ(Column("CatalogVolumeLabel", "Games_SUM"), (std::vector<std::string>{"DISK1", "DISK2"}));
    EXPECT_EQ(Column("CatalogedFrom", "Games_SUM"), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(Column("DiskClusterSize", "Games_SUM"), (std::vector<std::string>{"1024", "1024"}));
    EXPECT_EQ(Column("SerialNumber", "Games_SUM"), (std::vector<std::string>{"0", "0"}));
    EXPECT_EQ(Column("FilesInArchives", "Games_SUM"), (std::vector<std::string>{"0", "0"}));
    EXPECT_EQ(Column("Comment", "Games_SUM")[1], "  spaced ");
    auto sum = Table("Games_SUM");
    sum->Open();
    EXPECT_EQ(Stamp(sum->FieldByName("DateFirstCataloged")->AsDateTime()).substr(0, 10), "1999-03-15");
    EXPECT_EQ(Stamp(sum->FieldByName("DateLastCataloged")->AsDateTime()).substr(0, 10), "1999-03-15");

    auto cfg = Config_();
    EXPECT_EQ(cfg->FieldByName("ExpandArchives")->AsString(), "On Demand");
    EXPECT_EQ(cfg->FieldByName("GetMainComment")->AsString(), "True");
    EXPECT_EQ(cfg->FieldByName("WarnIfExists")->AsString(), "True");
    EXPECT_EQ(cfg->FieldByName("HandleArjMultiDisks")->AsString(), "True");
    EXPECT_EQ(cfg->FieldByName("SuggestVol")->AsString(), "False");
    EXPECT_EQ(cfg->FieldByName("DoZIP")->AsString(), "True") << "format flags keep their defaults";
    EXPECT_EQ(cfg->FieldByName("DoARC")->AsString(), "False");
}

TEST_F(ConvertTest, FolderNamesOfUpTo18CharactersArriveWhole) {
    struct Case {
        std::string Folder;
        int Length;
    } cases[] = {{"\\" + std::string(17, 'F'), 18}, {"\\" + std::string(15, 'F'), 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Length);
        Entries[0].Folder = c.Folder;
        Convert("Games" + std::to_string(c.Length));
        const std::string name = "Games" + std::to_string(c.Length);
        EXPECT_EQ(Column("FolderName", name + "_CAT"), std::vector<std::string>{c.Folder});
        auto cfg = Config_(name);
        EXPECT_EQ(cfg->FieldByName("FileNameFieldLength")->AsInteger(), 16);
        EXPECT_EQ(cfg->FieldByName("FolderNameFieldLength")->AsInteger(), c.Length);
        EXPECT_EQ(cfg->FieldByName("ArchiveIDFieldLength")->AsInteger(), 16);
    }
}

TEST_F(ConvertTest, RecordsThatFailAreCountedAndReportedOncePerFile) {
    Volumes.push_back(TOldVolume{});  // the same label again
    TOldEntry undated;
    undated.Name = "NODATE  .TXT";
    undated.Packed = 0;
    Entries.push_back(undated);
    Entries.push_back(TOldEntry{});  // the same key again
    Config = OldConfigRecord(2, {2}, "XXXX");
    Convert();
    const std::vector<std::string> texts = Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(
        texts[0],
        "Korvane Was Unable To Import 1 Summary Records Due To Conversion Errors or Database Errors.\r\n\r\n"
        "Database Errors Are Generally Caused By Duplicate Records Where The Volume Labels Are The Same For "
        "Two "
        "Or More Records.  This Usually Indicates A Problem In The Old Summary File, As There Should Never "
        "Be "
        "Two Records With The Same Volume Label.  This Is Generally A Minor Problem, As Korvane Will Have "
        "Successfully Imported The First Occurrance Of The Record Anyway.");
    EXPECT_EQ(
        texts[1],
        "Korvane Was Unable To Import 2 Catalog Records Due To Conversion Errors or Database Errors.\r\n\r\n"
        "Database Errors Are Generally Caused By Duplicate Records Where The File Name, Volume Label, Folder "
        "Name and Archive Name Are The Same For Two Or More Records.  This Should Never Occur On A Real "
        "Disk, "
        "Unless The Disk Or An Archive Has Problems.  This Is Generally A Minor Problem, As Korvane Will "
        "Have "
        "Successfully Imported The First Occurrance Of The Record Anyway.");
    EXPECT_EQ(platform::BeepHistory(), (std::vector<uint32_t>{16, 16}));
    EXPECT_EQ(Column("FileName"), std::vector<std::string>{"README.TXT"});
    EXPECT_EQ(Column("CategoryCode"), std::vector<std::string>{""});
    EXPECT_EQ(Config_()->FieldByName("ExpandArchives")->AsString(), "Never") << "no signature: defaults";
}

TEST_F(ConvertTest, WithoutCategoryFileEveryCodeIsEmpty) {
    Entries[0].Category = 3;
    Convert();
    EXPECT_EQ(Column("CategoryCode"), std::vector<std::string>{""});
    EXPECT_EQ(CurrentCatalogName, "Games");
}

}  // namespace

namespace {

// The catalog's record stays when its tables cannot be made; the catalog current before returns.
TEST_F(ConvertTest, ACatalogWhoseTablesCannotBeMadeKeepsItsRecord) {
    platform::TScopedFileFault fault(
        [](platform::TFileOperation op, const std::string& path, int64_t, uint32_t) {
            const bool hit = path.find("Games_SUM") != std::string::npos &&
                             (op == platform::TFileOperation::Open || op == platform::TFileOperation::Write);
            return platform::TFileFault{hit ? 5u : 0u};
        });
    Convert();
    EXPECT_EQ(Texts(), std::vector<std::string>{"Error Creating Summary File"});
    EXPECT_EQ(CurrentCatalogName, "Before");
    EXPECT_EQ(Config_()->FieldByName("CatalogName")->AsString(), "Games");
    EXPECT_EQ(Windows, std::vector<std::string>{}) << "nothing imported";
}

}  // namespace

namespace {

TEST_F(ConvertTest, TheDialogConvertsTheSelectedDataFileAndStaysOpen) {
    WriteFiles();
    Write("OTHER.SUM", "");
    auto* form = TCustomForm::Create<TConvertForm>(Application);
    EXPECT_EQ(form->Caption(), "Convert Korvane For DOS/Win16 Catalogs");
    EXPECT_EQ(form->HelpContext, 85);
    EXPECT_EQ(form->BitBtn1->Caption(), "&Convert");
    EXPECT_EQ(form->FileList->FileFilter(), "*.DTA");
    EXPECT_TRUE(form->FileList->MultiSelect());
    form->Show();
    Driver.RunPending();
    // Nothing selected.
    Driver.Click(*form->BitBtn1);
    Driver.RunPending();
    EXPECT_EQ(Texts(), std::vector<std::string>{"Please Select A \"DTA\" File"});

    form->FileList->SetRootFolder("D:\\OLD");
    Driver.RunPending();
    std::vector<std::string> shown;
    int row = -1;
    for (int i = 0; i < form->FileList->ItemCount(); ++i) {
        shown.push_back(form->FileList->ShellItem(i)->DisplayName);
        if (shown.back() == "OLD.DTA") row = i;
    }
    EXPECT_EQ(shown, std::vector<std::string>{"OLD.DTA"}) << "data files only";
    ASSERT_GE(row, 0);
    form->FileList->SetSelected(form->FileList->Items()[row]);
    EXPECT_EQ(form->SelectedPath(), "D:\\OLD\\OLD.DTA");
    Driver.AnswerWith([](TCustomForm& f) {
        auto& prompt = dynamic_cast<TGetStringForm&>(f);
        prompt.ResultString->SetText("Games");
        prompt.SetModalResult(mrOk);
    });
    EXPECT_TRUE(Driver.Grab(*form, std::string(KORVANE_BUILD_DIR) + "/ConvertForm.png"));
    Driver.Click(*form->BitBtn1);
    Driver.RunPending();
    EXPECT_EQ(CurrentCatalogName, "Games");
    EXPECT_EQ(Column("FileName"), std::vector<std::string>{"README.TXT"});
    EXPECT_TRUE(form->Visible()) << "the dialog stays open";
    form->Free();
}

}  // namespace
