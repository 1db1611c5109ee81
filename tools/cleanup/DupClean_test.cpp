// The cleanup and retrieve window over a catalog made by cataloguing runs of three mapped disks:
// the scans, squelching and tags, and the erase and retrieve work disk by disk.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "catalog/CatalogStore.h"
#include "catalog/GetStringForm.h"
#include "catalog/Globals.h"
#include "catalog/MessageWindow.h"
#include "catalog/ProgramTables.h"
#include "catalog/ProgressForm.h"
#include "catalog/SelectCatalogForm.h"
#include "catalog/ToolsSettingsForm.h"
#include "cataloging/run/CatalogProgressForm.h"
#include "controls/grid/CtlDbTable.h"
#include "controls/grid/CtlNotebook.h"
#include "dbsql/components/DbSession.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/Seams.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"
#include "platform/Files.h"
#include "platform/testsupport/TestDrives.h"
#include "platform/testsupport/UserEnv.h"
#include "tools/cleanup/DupCleanDialogs.h"
#include "tools/cleanup/DupCleanForm.h"

namespace tools {
namespace {

using namespace framework;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;
using Names = std::vector<std::string>;

// A ZIP archive whose members are stored (only the directory is read when cataloguing).
std::string StoredZip(const std::vector<std::pair<std::string, std::string>>& Members) {
    auto Crc = [](const std::string& Data) {
        uint32_t C = 0xFFFFFFFFu;
        for (unsigned char B : Data) {
            C ^= B;
            for (int K = 0; K < 8; ++K) C = (C >> 1) ^ (0xEDB88320u & (0u - (C & 1u)));
        }
        return ~C;
    };
    std::string Out, Directory;
    auto Put = [](std::string& S, uint32_t V, int Bytes) {
        for (int I = 0; I < Bytes; ++I) S += static_cast<char>((V >> (8 * I)) & 0xFF);
    };
    for (const auto& [Name, Data] : Members) {
        const uint32_t Offset = static_cast<uint32_t>(Out.size());
        const uint32_t Sum = Crc(Data), Size = static_cast<uint32_t>(Data.size());
        const uint32_t NameSize = static_cast<uint32_t>(Name.size());
        Put(Out, 0x04034B50, 4);
        for (uint32_t V : {20u, 0u, 0u, 0x6000u, 0x5821u}) Put(Out, V, 2);
        for (uint32_t V : {Sum, Size, Size}) Put(Out, V, 4);
        Put(Out, NameSize, 2);
        Put(Out, 0, 2);
        Out += Name + Data;
        Put(Directory, 0x02014B50, 4);
        for (uint32_t V : {20u, 20u, 0u, 0u, 0x6000u, 0x5821u}) Put(Directory, V, 2);
        for (uint32_t V : {Sum, Size, Size}) Put(Directory, V, 4);
        for (uint32_t V : {NameSize, 0u, 0u, 0u, 0u}) Put(Directory, V, 2);
        Put(Directory, 0x20, 4);
        Put(Directory, Offset, 4);
        Directory += Name;
    }
    const uint32_t DirOffset = static_cast<uint32_t>(Out.size());
    Out += Directory;
    Put(Out, 0x06054B50, 4);
    const uint32_t Count = static_cast<uint32_t>(Members.size());
    for (uint32_t V : {0u, 0u, Count, Count}) Put(Out, V, 2);
    Put(Out, static_cast<uint32_t>(Directory.size()), 4);
    Put(Out, DirOffset, 4);
    Put(Out, 0, 2);
    return Out;
}

class DupCleanTest : public ::testing::Test {
protected:
    platform::testsupport::ScopedUserEnv Env;
    TFormDriver Driver;
    TTempFolder Program, Disk1, Disk2, Disk3, Out;
    std::unique_ptr<TScopedDrives> Drives;
    catalog::TMsg* Msg = nullptr;
    catalog::TProgressForm* Progress = nullptr;
    std::vector<std::string> ProgressCaptions;
    TDupCleanForm* Form = nullptr;

    void SetUp() override {
        SetSleepHandler([](uint32_t) {});
        Driver.Strict = false;
        Drives = std::make_unique<TScopedDrives>(
            "P=" + Program.Path() + ";D=" + Disk1.Path() +
            "|label=BACKUP01|serial=00000001|fs=FAT|type=removable" + ";E=" + Disk2.Path() +
            "|label=BACKUP02|serial=00000002|fs=FAT|type=removable" + ";G=" + Disk3.Path() +
            "|label=BACKUP03|serial=00000003|fs=FAT|type=removable" + ";F=" + Out.Path());
        catalog::ProgramFolder = "P:\\";
        catalog::CatalogDataFolder = "P:\\";
        catalog::CleanupSquelch = {};
        catalog::StopRequested = false;
        for (const catalog::TTableSchema* Schema :
             {&catalog::CatalogConfigsSchema(), &catalog::CategoriesSchema()}) {
            dbsql::TDbTable T(nullptr);
            T.SetDatabaseName("P:\\");
            T.SetTableName(Schema->TableName);
            catalog::DefineTable(T, *Schema);
            T.CreateTable();
        }
        {
            dbsql::TDbTable T(nullptr);
            T.SetDatabaseName("P:\\");
            T.SetTableName("Categories");
            T.Open();
            T.Append();
            T.FieldByName("Code")->SetAsString("TEXT");
            T.FieldByName("Description")->SetAsString("Plain Text");
            T.Post();
        }
        catalog::CurrentCatalogName = "Tools";
        catalog::TCatalogStore().CreateCatalogConfig(false, {40, 60, 30});
        catalog::TCatalogStore().OpenCatalog(true);
        ASSERT_EQ(catalog::CurrentCatalogName, "Tools");
        SetOption("ExpandArchives", "Always");
        // The tests catalogue a disk again without the question about a disk already catalogued.
        SetOption("WarnIfExists", "False");
        Msg = TCustomForm::Create<catalog::TMsg>(Application);
        Progress = TCustomForm::Create<catalog::TProgressForm>(Application);
        Progress->OnShow = [this](TObject*) {
            ProgressCaptions.push_back(Progress->Caption() +
                                       (Progress->CancelBtn->Visible() ? " (cancel)" : ""));
        };
        catalog::Msg = Msg;
        catalog::ProgressForm = Progress;

        // BACKUP01 on D:, BACKUP02 on E:, BACKUP03 on G:.
        Disk1.WriteFile("A.TXT", "one");
        Disk1.WriteFile("REPORT12", "twelve");
        Disk1.WriteFile("REPORT-3", "three");
        Disk1.WriteFile("README.TXT", "first");
        Disk1.WriteFile("DOCS/NOTE.TXT", "note 1");
        Disk1.WriteFile("PACK.ZIP", StoredZip({{"A.TXT", "member"}}));
        Disk2.WriteFile("A.TXT", "two");
        Disk2.WriteFile("readme.txt", "second");
        Disk2.WriteFile("DOCS/NOTE.TXT", "note 2");
        Disk2.WriteFile("BIG.DAT", std::string(200000, 'b'));
        Disk3.WriteFile("README.TXT", "third");
        for (char Drive : {'D', 'E', 'G'}) Catalogue(Drive);
        platform::ClearBeepHistory();
    }
    void TearDown() override {
        if (Form) Form->Free();
        Form = nullptr;
        catalog::Msg = nullptr;
        catalog::ProgressForm = nullptr;
        Msg->Free();
        Progress->Free();
        Driver.RunPending();
        dbsql::DefaultSession().SetActive(false);
        SetSleepHandler({});
        catalog::CleanupSquelch = {};
        catalog::ProgramFolder.clear();
        catalog::CatalogDataFolder.clear();
        catalog::CurrentCatalogName.clear();
        Drives.reset();
    }
    void SetOption(const std::string& Name, const std::string& Value) {
        dbsql::TDbTable T(nullptr);
        T.SetDatabaseName("P:\\");
        T.SetTableName("CatalogConfigs");
        T.Open();
        ASSERT_TRUE(T.FindKey({Variant(std::string("Tools"))}));
        T.Edit();
        T.FieldByName(Name)->SetAsString(Value);
        T.Post();
    }
    void Catalogue(char Drive) {
        cataloging::TCatalogRunRequest Request;
        Request.Fields.DriveLetter = Drive;
        Request.Fields.StartFolder = std::string(1, Drive) + ":\\";
        Request.Fields.Recurse = true;
        Request.PauseAfter = false;
        ASSERT_TRUE(cataloging::RunCatalogDisk(Request)) << Drive;
    }
    // Sets a field of a volume's record in the catalog's volume table (or deletes the record).
    void EditVolume(const std::string& Label, const std::string& Field, const std::string& Value,
                    bool Delete = false) {
        dbsql::TDbTable T(nullptr);
        T.SetDatabaseName("P:\\");
        T.SetTableName("Tools_SUM");
        T.Open();
        ASSERT_TRUE(T.FindKey({Variant(Label)}));
        if (Delete) {
            T.Delete();
            return;
        }
        T.Edit();
        T.FieldByName(Field)->SetAsString(Value);
        T.Post();
    }
    // The window in a mode, shown (which scans the catalog).
    void Open(int Mode, const std::string& Pattern = "*", bool Versions = false) {
        Form = TCustomForm::Create<TDupCleanForm>(Application);
        Form->Mode = Mode;
        Form->PatternEdit->SetText(Pattern);
        Form->UseVersions->SetChecked(Versions);
        Form->Show();
        Driver.RunPending();
    }
    // The rows of the list: "FileName|VolumeLabel|CatalogedFrom", with " *" when tagged, in order.
    Names Rows() {
        Names Out;
        dbsql::TDbTable& T = *Form->ResultTable;
        for (T.First(); !T.Eof(); T.Next())
            Out.push_back(T.FieldByName("FileName")->AsString() + "|" +
                          T.FieldByName("VolumeLabel")->AsString() + "|" +
                          T.FieldByName("CatalogedFrom")->AsString() +
                          (T.FieldByName("Tagged")->AsBoolean() ? " *" : ""));
        T.First();
        return Out;
    }
    // "FileName|VolumeLabel" of the tagged rows.
    Names TaggedRows() {
        Names Out;
        dbsql::TDbTable& T = *Form->ResultTable;
        for (T.First(); !T.Eof(); T.Next())
            if (T.FieldByName("Tagged")->AsBoolean())
                Out.push_back(T.FieldByName("FileName")->AsString() + "|" +
                              T.FieldByName("VolumeLabel")->AsString());
        T.First();
        return Out;
    }
    // Moves the list to a row by its name and volume.
    int RowOf(const std::string& Name, const std::string& Volume) {
        dbsql::TDbTable& T = *Form->ResultTable;
        int Row = 0;
        for (T.First(); !T.Eof(); T.Next(), ++Row)
            if (T.FieldByName("FileName")->AsString() == Name &&
                T.FieldByName("VolumeLabel")->AsString() == Volume)
                return Row;
        ADD_FAILURE() << Name << " " << Volume;
        return -1;
    }
    // Clicks the tag cell of a row (the list's first screen rows hold every row here).
    void ClickTag(const std::string& Name, const std::string& Volume) {
        const int Row = RowOf(Name, Volume);
        Form->ResultTable->First();
        Driver.RunPending();
        const TRect Cell = Form->Grid->CellRect(Row, 0);
        Driver.Click(*Form->Grid, (Cell.Left + Cell.Right) / 2, (Cell.Top + Cell.Bottom) / 2);
        Driver.RunPending();
    }
    void Tag(const std::vector<std::pair<std::string, std::string>>& Which) {
        for (const auto& [Name, Volume] : Which) ClickTag(Name, Volume);
    }
    Names Catalogued(const std::string& Volume) {
        dbsql::TDbTable T(nullptr);
        T.SetDatabaseName("P:\\");
        T.SetTableName("Tools_CAT");
        T.Open();
        Names Out;
        for (T.First(); !T.Eof(); T.Next())
            if (T.FieldByName("VolumeLabel")->AsString() == Volume &&
                T.FieldByName("ArchiveID")->AsString().empty())
                Out.push_back(T.FieldByName("FolderName")->AsString() + "|" +
                              T.FieldByName("FileName")->AsString());
        std::sort(Out.begin(), Out.end());
        return Out;
    }
    Names Messages() const {
        Names Out;
        for (const auto& S : Driver.Shown)
            if (S.Kind == "message") Out.push_back(S.Text);
        return Out;
    }
    bool ResultTableExists() {
        dbsql::TDbTable T(nullptr);
        T.SetDatabaseName("P:\\");
        T.SetTableName("Temp001");
        return T.Exists();
    }
};

// ---- Scans ------------------------------------------------------------------------------------------

TEST_F(DupCleanTest, TheDuplicateScanListsNeighbouringPlainFilesWithEqualKeys) {
    struct TCase {
        bool Versions;
        const char* Pattern;
        Names Expected;
    };
    const TCase Cases[] = {
        // The archive member A.TXT is never listed; readme.txt lies between the two README.TXT.
        {false,
         "*",
         {"A.TXT|BACKUP01|D", "A.TXT|BACKUP02|E", "NOTE.TXT|BACKUP01|D", "NOTE.TXT|BACKUP02|E",
          "README.TXT|BACKUP01|D", "README.TXT|BACKUP03|G"}},
        {true, "REPORT*", {"REPORT-3|BACKUP01|D", "REPORT12|BACKUP01|D"}},
        {false, "REPORT*", {}},
        {false, "N*", {"NOTE.TXT|BACKUP01|D", "NOTE.TXT|BACKUP02|E"}},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(std::string(C.Pattern) + (C.Versions ? " versions" : ""));
        ProgressCaptions.clear();
        Open(0, C.Pattern, C.Versions);
        EXPECT_EQ(Rows(), C.Expected);
        EXPECT_EQ(ProgressCaptions, Names{"Scanning For Duplicate/Redundant Files (cancel)"});
        EXPECT_EQ(Form->FilesInListLabel->Caption(), std::to_string(C.Expected.size()));
        EXPECT_TRUE(Form->Enabled());
        Form->Free();
        Form = nullptr;
    }
}

TEST_F(DupCleanTest, ThePatternScanListsMatchingPlainFilesAndTheirOrigin) {
    EditVolume("BACKUP02", "", "", true);
    Open(1, "*.TXT");
    EXPECT_EQ(Rows(),
              (Names{"A.TXT|BACKUP01|D", "A.TXT|BACKUP02|", "NOTE.TXT|BACKUP01|D", "NOTE.TXT|BACKUP02|",
                     "README.TXT|BACKUP01|D", "readme.txt|BACKUP02|", "README.TXT|BACKUP03|G"}));
    EXPECT_EQ(ProgressCaptions, Names{"Scanning For Matching Files (cancel)"});
    EXPECT_EQ(Form->FilesInListLabel->Caption(), "7");
    EXPECT_EQ(Form->BytesInListLabel->Caption(), "34");
    // The details of the current row.
    Form->ResultTable->First();
    EXPECT_EQ(Form->CatalogedFromText->Caption(), "D");

    // A new pattern scans again when the field is left.
    Form->PatternEdit->SetText("BIG.*");
    Form->PatternEditExit();
    EXPECT_EQ(Rows(), Names{"BIG.DAT|BACKUP02|"});
    EXPECT_EQ(Form->BytesInListLabel->Caption(), "200,000");
}

TEST_F(DupCleanTest, CancelKeepsWhatWasFoundAndSaysSo) {
    Form = TCustomForm::Create<TDupCleanForm>(Application);
    Form->Mode = 1;
    // Cancel is pressed once the first row has been written.
    Form->ResultTable->AfterPost = [this](TDataSet*) { Progress->CancelPressed = true; };
    Form->Show();
    Driver.RunPending();
    Form->ResultTable->AfterPost = nullptr;
    EXPECT_EQ(Rows().size(), 1u);
    EXPECT_EQ(Messages(),
              Names{"You Cancelled This Operation - Korvane Will Show You What It Found, But The List "
                    "May Not Be Complete"});
    EXPECT_TRUE(Form->Enabled());
    EXPECT_FALSE(Progress->Visible());
}

// ---- Squelching and tags -----------------------------------------------------------------------------

TEST_F(DupCleanTest, SquelchedRowsAreShadedAndNeverTaggedByTheCommands) {
    struct TCase {
        const char* How;
        std::function<void()> Squelch;
    };
    const TCase Cases[] = {
        {"pattern", [] { catalog::CleanupSquelch.VolumeSpecs[3] = "BACKUP0[2]"; }},
        {"drive", [] { catalog::CleanupSquelch.DriveFlags['E' - 'A'] = true; }},
        {"text import", [this] { EditVolume("BACKUP02", "CatalogedFrom", "*"); }},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.How);
        C.Squelch();
        Open(0, "A.TXT");
        ASSERT_EQ(Rows().size(), 2u);
        // Tag All and a click leave the squelched row alone.
        Driver.Click(*Form->TagAllBtn);
        ClickTag("A.TXT", "BACKUP02");
        EXPECT_EQ(TaggedRows(), Names{"A.TXT|BACKUP01"});
        EXPECT_EQ(Form->TaggedFilesLabel->Caption(), "1");
        EXPECT_EQ(Form->TaggedBytesLabel->Caption(), "3");

        // The squelched row's cells (not its tag cell) show the squelch colour.
        Form->ResultTable->First();
        Driver.RunPending();
        const TRect Cell = Form->Grid->CellRect(1, 1);
        const TRect Plain = Form->Grid->CellRect(0, 1);
        const TRect TagCell = Form->Grid->CellRect(1, 0);
        EXPECT_EQ(Driver.PixelAt(*Form->Grid, Cell.Right - 3, Cell.Top + 3), 0x00CBFEFCu);
        EXPECT_NE(Driver.PixelAt(*Form->Grid, Plain.Right - 3, Plain.Top + 3), 0x00CBFEFCu);
        EXPECT_NE(Driver.PixelAt(*Form->Grid, TagCell.Left + 2, TagCell.Top + 2), 0x00CBFEFCu);
        if (const char* Dir = std::getenv("KORVANE_GRABS"))
            Driver.Grab(*Form, std::string(Dir) + "/cleanup-squelched-" + C.How + ".png");

        // Tagged while squelching was ignored, the row keeps its tag through Clear Tags.
        Form->IgnoreSquelched->SetChecked(true);
        ClickTag("A.TXT", "BACKUP02");
        Form->IgnoreSquelched->SetChecked(false);
        Driver.Click(*Form->ClearTagsBtn);
        EXPECT_EQ(TaggedRows(), Names{"A.TXT|BACKUP02"});
        Form->Free();
        Form = nullptr;
        catalog::CleanupSquelch = {};
    }
}

TEST_F(DupCleanTest, RetrieveNeverSquelches) {
    catalog::CleanupSquelch.VolumeSpecs[0] = "BACKUP02";
    Open(2, "A.TXT");
    Driver.Click(*Form->TagAllBtn);
    EXPECT_EQ(Rows(), (Names{"A.TXT|BACKUP01|D *", "A.TXT|BACKUP02|E *"}));
    const TRect Cell = Form->Grid->CellRect(1, 1);
    EXPECT_NE(Driver.PixelAt(*Form->Grid, Cell.Right - 3, Cell.Top + 3), 0x00CBFEFCu);
}

TEST_F(DupCleanTest, TagCommandsWorkOnTheWholeList) {
    Open(1, "*.TXT");
    Driver.AnswerWith([](TCustomForm& F) {
        auto& Ask = dynamic_cast<catalog::TGetStringForm&>(F);
        EXPECT_EQ(Ask.Caption(), "Tag Several");
        EXPECT_EQ(Ask.Prompt->Caption(), "Tag Files Conforming To This Filespec");
        Ask.ResultString->SetText("  r*  ");
        Ask.SetModalResult(mrOk);
    });
    Driver.Click(*Form->TagSeveralBtn);
    EXPECT_EQ(Form->TaggedFilesLabel->Caption(), "3");
    Driver.AnswerWith([](TCustomForm& F) {
        auto& Ask = dynamic_cast<catalog::TGetStringForm&>(F);
        EXPECT_EQ(Ask.Caption(), "UnTag Several");
        Ask.ResultString->SetText("README.TXT");
        Ask.SetModalResult(mrOk);
    });
    Driver.Click(*Form->UntagSeveralBtn);
    EXPECT_EQ(Form->TaggedFilesLabel->Caption(), "0");
    Driver.Click(*Form->InvertTagsBtn);
    EXPECT_EQ(Form->TaggedFilesLabel->Caption(), "7");
    EXPECT_EQ(Form->TaggedBytesLabel->Caption(), "34");
    // A malformed mask changes nothing.
    Driver.AnswerWith([](TCustomForm& F) {
        dynamic_cast<catalog::TGetStringForm&>(F).ResultString->SetText("[A");
        F.SetModalResult(mrOk);
    });
    Driver.Click(*Form->UntagSeveralBtn);
    EXPECT_EQ(Form->TaggedFilesLabel->Caption(), "7");
    EXPECT_EQ(ProgressCaptions,
              (Names{"Scanning For Matching Files (cancel)", "Tagging Files Matching The Specified Filespec",
                     "UnTagging Files Matching The Specified Filespec", "Inverting All Tags"}));
}

TEST_F(DupCleanTest, ChoosingACatalogScansItOnlyWhenItChanged) {
    Open(1, "*.TXT");
    Tag({{"A.TXT", "BACKUP01"}});
    // The same catalog: the list and its tags stay.
    Driver.AnswerWith([](TCustomForm& F) { F.SetModalResult(mrCancel); });
    Form->Panel6Click();
    EXPECT_EQ(TaggedRows(), Names{"A.TXT|BACKUP01"});
    // Another catalog (empty): its tables are opened and the list is built from it.
    {
        catalog::CurrentCatalogName = "Other";
        catalog::TCatalogStore().CreateCatalogConfig(false, {40, 60, 30});
        catalog::TCatalogStore().OpenCatalog(true);
        catalog::CurrentCatalogName = "Tools";
    }
    Driver.AnswerWith([](TCustomForm& F) {
        auto& Select = dynamic_cast<catalog::TSelectCatalogForm&>(F);
        ASSERT_TRUE(Select.CfgTable2->Locate("CatalogName", Variant(std::string("Other")), 0));
        Select.SelectBtn->Click();
    });
    Form->Panel6Click();
    EXPECT_EQ(catalog::CurrentCatalogName, "Other");
    EXPECT_EQ(Form->ActiveCatalogName->Caption(), "Other");
    EXPECT_EQ(Rows(), Names{});
    EXPECT_EQ(Form->TaggedFilesLabel->Caption(), "0");
}

// ---- Modes and state ----------------------------------------------------------------------------------

TEST_F(DupCleanTest, TheModesShowTheirCaptionsAndShareTheirSavedState) {
    struct TCase {
        int Mode;
        const char* Caption;
        int Help;
        bool Versions, Squelch;
    };
    const TCase Cases[] = {{0, "Duplicate/Redundant File Cleanup", 82, true, true},
                           {1, "General File Cleanup", 83, false, true},
                           {2, "Retrieve Cataloged Files", 84, false, false}};
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Caption);
        Driver.AnswerWith([&](TCustomForm& F) {
            auto& D = dynamic_cast<TDupCleanForm&>(F);
            EXPECT_EQ(D.Caption(), C.Caption);
            EXPECT_EQ(D.HelpContext, C.Help);
            EXPECT_EQ(D.UseVersions->Visible() && D.VersionsPanel->Visible(), C.Versions);
            EXPECT_EQ(D.IgnoreSquelched->Visible(), C.Squelch);
            EXPECT_EQ(D.EraseBtn->Visible(), C.Mode != 2);
            EXPECT_EQ(D.RetrieveBtn->Visible(), C.Mode == 2);
            EXPECT_TRUE(ResultTableExists());
            // What one mode keeps, the next finds.
            EXPECT_EQ(D.RetrieveDestination->Text(), C.Mode == 0 ? "C:\\" : "F:\\KEPT");
            EXPECT_EQ(D.EraseReCatalog->Checked(), C.Mode == 0);
            D.RetrieveDestination->SetText("F:\\KEPT");
            D.EraseReCatalog->SetChecked(false);
            F.Close();
        });
        ShowDupCleanForm(C.Mode);
        EXPECT_FALSE(ResultTableExists());
    }
}

TEST_F(DupCleanTest, TheSquelchButtonOpensTheCleanupPageOfTheToolSettings) {
    Open(0);
    int Page = -1;
    Driver.AnswerWith([&](TCustomForm& F) {
        Page = dynamic_cast<catalog::TToolsSettingsForm&>(F).Notebook->PageIndex();
        F.SetModalResult(mrCancel);
    });
    Form->SquelchManagementBtnClick();
    EXPECT_EQ(Page, 1);
}

// ---- Erasing --------------------------------------------------------------------------------------------

TEST_F(DupCleanTest, NothingTaggedIsRefused) {
    for (int Mode : {0, 2}) {
        Open(Mode);
        Driver.Shown.clear();
        Driver.Click(Mode == 2 ? *Form->RetrieveBtn : *Form->EraseBtn);
        EXPECT_EQ(Messages(), Names{Mode == 2 ? "No Files Were Tagged For Retrieval"
                                              : "No Files Were Tagged For Deletion"});
        EXPECT_FALSE(Form->ErasePanel->Visible());
        EXPECT_TRUE(Form->Grid->Visible());
        Form->Free();
        Form = nullptr;
    }
}

TEST_F(DupCleanTest, TaggedFilesAreErasedDiskByDisk) {
    for (const bool Recatalog : {true, false}) {
        SCOPED_TRACE(Recatalog ? "re-catalogued" : "not re-catalogued");
        Disk1.WriteFile("NOTE2.TXT", "x");
        Disk2.WriteFile("NOTE2.TXT", "y");
        Catalogue('D');
        Catalogue('E');
        Open(0, "NOTE*");
        ASSERT_EQ(Rows().size(), 4u);
        Tag({{"NOTE.TXT", "BACKUP02"}, {"NOTE2.TXT", "BACKUP01"}, {"NOTE2.TXT", "BACKUP02"}});
        Form->EraseReCatalog->SetChecked(Recatalog);
        Driver.Click(*Form->EraseBtn);
        ASSERT_TRUE(Form->ErasePanel->Visible());
        EXPECT_FALSE(Form->Grid->Visible());
        EXPECT_FALSE(Form->TagAllBtn->Enabled());
        EXPECT_EQ(Form->EraseInfo->Caption(), "Insert Disk Cataloged Under \"BACKUP01\" In Drive D:");
        if (const char* Dir = std::getenv("KORVANE_GRABS"))
            Driver.Grab(*Form, std::string(Dir) + "/cleanup-erase.png");
        Driver.Click(*Form->StartEraseBtn);
        EXPECT_FALSE(std::filesystem::exists(Disk1 / "NOTE2.TXT"));
        EXPECT_TRUE(std::filesystem::exists(Disk1 / "DOCS/NOTE.TXT"));
        // The first disk is catalogued again before the second is asked for.
        EXPECT_EQ(Catalogued("BACKUP01").size(), Recatalog ? 6u : 7u);
        EXPECT_EQ(Form->EraseInfo->Caption(), "Insert Disk Cataloged Under \"BACKUP02\" In Drive E:");
        EXPECT_TRUE(Form->StartEraseBtn->Visible());
        EXPECT_FALSE(Form->EraseAbortBtn->Visible());
        Driver.Click(*Form->StartEraseBtn);
        EXPECT_FALSE(std::filesystem::exists(Disk2 / "DOCS/NOTE.TXT"));
        EXPECT_FALSE(std::filesystem::exists(Disk2 / "NOTE2.TXT"));
        // Back at the list, scanned again.
        EXPECT_FALSE(Form->ErasePanel->Visible());
        EXPECT_TRUE(Form->Grid->Visible());
        EXPECT_TRUE(Form->TagAllBtn->Enabled());
        if (Recatalog)
            EXPECT_EQ(Rows(), Names{});
        else
            EXPECT_EQ(Rows(), (Names{"NOTE.TXT|BACKUP01|D", "NOTE.TXT|BACKUP02|E", "NOTE2.TXT|BACKUP01|D",
                                     "NOTE2.TXT|BACKUP02|E"}));
        EXPECT_EQ(Catalogued("BACKUP02"), Recatalog ? (Names{"\\|A.TXT", "\\|BIG.DAT", "\\|readme.txt"})
                                                    : (Names{"\\DOCS|NOTE.TXT", "\\|A.TXT", "\\|BIG.DAT",
                                                             "\\|NOTE2.TXT", "\\|readme.txt"}));
        Form->Free();
        Form = nullptr;
        Disk2.WriteFile("DOCS/NOTE.TXT", "note 2");
    }
}

TEST_F(DupCleanTest, AMissingFileCanBeFoundOnAnotherDrive) {
    Open(1, "*.TXT");
    Tag({{"A.TXT", "BACKUP01"}, {"NOTE.TXT", "BACKUP01"}});
    Form->EraseReCatalog->SetChecked(false);
    // BACKUP01's files are now in drive E:.
    std::filesystem::remove(Disk1 / "A.TXT");
    std::filesystem::remove(Disk1 / "DOCS/NOTE.TXT");
    Driver.Click(*Form->EraseBtn);
    std::string Shown;
    Driver.AnswerWith([&](TCustomForm& F) {
        auto& Missing = dynamic_cast<TSourceFileNotFoundForm&>(F);
        Shown =
            F.Caption() + " " + Missing.WhatFile->Caption() + " " + std::string(1, Missing.NewDrive->Drive());
        Missing.NewDrive->SetDrive('E');
        Missing.RetryBtn->Click();
    });
    Driver.Click(*Form->StartEraseBtn);
    EXPECT_EQ(Shown, "File Not Found D:\\A.TXT D");
    EXPECT_FALSE(std::filesystem::exists(Disk2 / "A.TXT"));
    // The second file was looked for in E: without asking.
    EXPECT_FALSE(std::filesystem::exists(Disk2 / "DOCS/NOTE.TXT"));
    EXPECT_FALSE(Form->ErasePanel->Visible());
    EXPECT_EQ(Form->TaggedFilesLabel->Caption(), "0");
}

TEST_F(DupCleanTest, SkippingDisksGoesOnInLabelOrderAndTheLastReturnsToTheList) {
    Open(1, "README.TXT");
    ASSERT_EQ(Rows().size(), 3u);
    Tag({{"README.TXT", "BACKUP01"}, {"README.TXT", "BACKUP03"}});
    Driver.Click(*Form->EraseBtn);
    EXPECT_EQ(Form->EraseInfo->Caption(), "Insert Disk Cataloged Under \"BACKUP01\" In Drive D:");
    Driver.Click(*Form->EraseSkipDiskBtn);
    // The next volume is asked for even though none of its rows is tagged.
    EXPECT_EQ(Form->EraseInfo->Caption(), "Insert Disk Cataloged Under \"BACKUP02\" In Drive E:");
    Form->EraseDriveSelect->SetDrive('G');
    EXPECT_EQ(Form->EraseInfo->Caption(), "Insert Disk Cataloged Under \"BACKUP02\" In Drive G:");
    Driver.Click(*Form->StartEraseBtn);
    EXPECT_EQ(Form->EraseInfo->Caption(), "Insert Disk Cataloged Under \"BACKUP03\" In Drive G:");
    Driver.Click(*Form->EraseSkipDiskBtn);
    EXPECT_FALSE(Form->ErasePanel->Visible());
    EXPECT_TRUE(Form->Grid->Visible());
    EXPECT_TRUE(std::filesystem::exists(Disk1 / "README.TXT"));
    EXPECT_TRUE(std::filesystem::exists(Disk3 / "README.TXT"));
    EXPECT_EQ(Form->TaggedFilesLabel->Caption(), "2");
}

TEST_F(DupCleanTest, TheAnswersToAMissingFileEndTheFileTheDiskOrTheWholeErase) {
    struct TCase {
        TModalResult Answer;
        const char* How;
        bool NoteErased, SecondDiskErased;
    };
    const TCase Cases[] = {{mrIgnore, "skip the file", true, true},
                           {mrAbort, "skip the disk", false, true},
                           {mrCancel, "cancel everything", false, false}};
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.How);
        Disk1.WriteFile("A.TXT", "one");
        Disk1.WriteFile("DOCS/NOTE.TXT", "note 1");
        Disk2.WriteFile("A.TXT", "two");
        Catalogue('D');
        Catalogue('E');
        Open(1, "*.TXT");
        Tag({{"A.TXT", "BACKUP01"}, {"NOTE.TXT", "BACKUP01"}, {"A.TXT", "BACKUP02"}});
        std::filesystem::remove(Disk1 / "A.TXT");
        Driver.Click(*Form->EraseBtn);
        Driver.Answer(C.Answer);
        Driver.Click(*Form->StartEraseBtn);
        EXPECT_EQ(std::filesystem::exists(Disk1 / "DOCS/NOTE.TXT"), !C.NoteErased);
        // After the first disk: the second is asked for, unless everything was cancelled.
        EXPECT_EQ(Form->ErasePanel->Visible(), C.Answer != mrCancel);
        if (C.Answer != mrCancel) {
            EXPECT_EQ(Form->EraseInfo->Caption(), "Insert Disk Cataloged Under \"BACKUP02\" In Drive E:");
            Driver.Click(*Form->StartEraseBtn);
        }
        EXPECT_EQ(std::filesystem::exists(Disk2 / "A.TXT"), !C.SecondDiskErased);
        EXPECT_FALSE(Form->ErasePanel->Visible());
        // A cancelled erase does not catalogue the disk again.
        EXPECT_EQ(Catalogued("BACKUP01").size(), C.NoteErased ? 4u : 6u);
        Form->Free();
        Form = nullptr;
    }
}

TEST_F(DupCleanTest, SkippingTheDiskWhileItIsWorkedPassesItsOtherFiles) {
    Open(1, "*.TXT");
    Tag({{"A.TXT", "BACKUP01"}, {"NOTE.TXT", "BACKUP01"}, {"A.TXT", "BACKUP02"}});
    Form->EraseReCatalog->SetChecked(false);
    Driver.Click(*Form->EraseBtn);
    // The skip button is pressed while the first file is erased.
    platform::TScopedFileFault Fault(
        [this](platform::TFileOperation Op, const std::string& Path, int64_t, uint32_t) {
            if (Op == platform::TFileOperation::Delete && Path.find("A.TXT") != std::string::npos &&
                Form->EraseSkipFileBtn->Visible()) {
                EXPECT_EQ(Form->EraseSkipDiskBtn->Left(), Form->StartEraseBtn->Left());
                Form->EraseSkipDiskBtn->Click();
            }
            return platform::TFileFault{};
        });
    Driver.Click(*Form->StartEraseBtn);
    EXPECT_FALSE(std::filesystem::exists(Disk1 / "A.TXT"));
    EXPECT_TRUE(std::filesystem::exists(Disk1 / "DOCS/NOTE.TXT"));
    EXPECT_EQ(Form->EraseInfo->Caption(), "Insert Disk Cataloged Under \"BACKUP02\" In Drive E:");
    EXPECT_EQ(Form->EraseSkipDiskBtn->Left(), Form->StartEraseBtn->Left() - 150);
}

// ---- Retrieving -----------------------------------------------------------------------------------------

TEST_F(DupCleanTest, TheDestinationMustHoldADriveLetter) {
    struct TCase {
        const char* Destination;
        const char* Error;
    };
    const TCase Cases[] = {{"   ", "The Destination For Retrieved Files Cannot Be Blank"},
                           {"backup", "The Destination For Retrieved Files Must Contain A Drive Letter"},
                           {"1:\\X", "The Destination For Retrieved Files Must Contain A Drive Letter"},
                           {"f:", ""},
                           {"F:\\OUT", ""}};
    for (const TCase& C : Cases) EXPECT_EQ(RetrieveDestinationError(C.Destination), C.Error) << C.Destination;

    Open(2, "A.TXT");
    Driver.Click(*Form->TagAllBtn);
    Driver.Click(*Form->RetrieveBtn);
    Form->RetrieveDestination->SetText("backup");
    Driver.Shown.clear();
    Driver.Click(*Form->StartRetrieveBtn);
    EXPECT_EQ(Messages(), Names{"The Destination For Retrieved Files Must Contain A Drive Letter"});
    EXPECT_TRUE(Form->StartRetrieveBtn->Visible());
    EXPECT_EQ(Form->TaggedFilesLabel->Caption(), "2");
}

TEST_F(DupCleanTest, RetrievedFilesArriveInACreatedFolderWithTheirAttributesAndDates) {
    const std::string ReadOnly = (Disk1 / "README.TXT");
    struct stat Before {};
    ASSERT_EQ(chmod(ReadOnly.c_str(), 0444), 0);
    ASSERT_EQ(stat(ReadOnly.c_str(), &Before), 0);
    Open(2, "*.TXT");
    Tag({{"README.TXT", "BACKUP01"}, {"A.TXT", "BACKUP01"}, {"NOTE.TXT", "BACKUP02"}});
    Driver.Click(*Form->RetrieveBtn);
    Form->RetrieveDestination->SetText("F:\\NEW");
    if (const char* Dir = std::getenv("KORVANE_GRABS"))
        Driver.Grab(*Form, std::string(Dir) + "/cleanup-retrieve.png");
    Driver.AnswerWith([](TCustomForm& F) {
        auto& Folder = dynamic_cast<TTargetFolderDoesntExistForm&>(F);
        EXPECT_EQ(F.Caption(), "Target Folder Does Not Exist");
        EXPECT_EQ(Folder.WhatFolder->Caption(), "F:\\NEW");
        Folder.BitBtn3->Click();
    });
    Driver.Click(*Form->StartRetrieveBtn);
    EXPECT_EQ(Form->RetrieveDestination->Text(), "F:\\NEW");
    EXPECT_EQ(platform::testsupport::ReadNativeFile((Out / "NEW/A.TXT")), "one");
    const std::string Copy = (Out / "NEW/README.TXT");
    struct stat After {};
    ASSERT_EQ(stat(Copy.c_str(), &After), 0);
    EXPECT_EQ(After.st_mtime, Before.st_mtime);
    EXPECT_EQ(platform::GetFileAttributes("F:\\NEW\\README.TXT") & platform::FILE_ATTRIBUTE_READONLY,
              platform::FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(Form->RetrieveInfo->Caption(), "Insert Disk Cataloged Under \"BACKUP02\" In Drive E:");
    Driver.Click(*Form->StartRetrieveBtn);
    EXPECT_EQ(platform::testsupport::ReadNativeFile((Out / "NEW/NOTE.TXT")), "note 2");
    EXPECT_FALSE(Form->RetrievePanel->Visible());
    EXPECT_EQ(Form->TaggedFilesLabel->Caption(), "0");
    // Retrieving never changes the catalog.
    EXPECT_EQ(Catalogued("BACKUP01").size(), 6u);
}

TEST_F(DupCleanTest, OnlyYesOverwritesAndNoToAllHoldsForOneDisk) {
    const std::string Question =
        "This File Already Exists In The Target Folder.  Overwrite (Even If Marked As \"Read Only\")?";
    for (const char* Name : {"A.TXT", "NOTE.TXT", "README.TXT"}) Out.WriteFile(Name, "old");
    Open(2, "*.TXT");
    Tag({{"A.TXT", "BACKUP01"},
         {"NOTE.TXT", "BACKUP01"},
         {"README.TXT", "BACKUP01"},
         {"README.TXT", "BACKUP03"}});
    Driver.Click(*Form->RetrieveBtn);
    Form->RetrieveDestination->SetText("F:\\");
    Driver.Shown.clear();
    Driver.Answer(mrCancel);   // the question closed on A.TXT: kept, and asked again
    Driver.Answer(mrNoToAll);  // NOTE.TXT, and README.TXT of the same disk without a question
    Driver.Click(*Form->StartRetrieveBtn);
    EXPECT_EQ(Messages(), (Names{Question, Question}));
    for (const char* Name : {"A.TXT", "NOTE.TXT", "README.TXT"})
        EXPECT_EQ(platform::testsupport::ReadNativeFile(Out / Name), "old") << Name;
    // The next disk is asked again.
    EXPECT_EQ(Form->RetrieveInfo->Caption(), "Insert Disk Cataloged Under \"BACKUP03\" In Drive G:");
    Driver.Shown.clear();
    Driver.Answer(mrYes);
    Driver.Click(*Form->StartRetrieveBtn);
    EXPECT_EQ(Messages(), Names{Question});
    EXPECT_EQ(platform::testsupport::ReadNativeFile((Out / "README.TXT")), "third");
    EXPECT_EQ(Form->TaggedFilesLabel->Caption(), "3");
}

TEST_F(DupCleanTest, ARetrieveTargetThatIsTheSourceIsNeverDeleted) {
    // The destination is the folder the disk's files are in.
    Open(2, "A.TXT");
    Tag({{"A.TXT", "BACKUP01"}});
    Driver.Click(*Form->RetrieveBtn);
    Form->RetrieveDestination->SetText("D:\\");
    Driver.Answer(mrYes);
    Driver.Click(*Form->StartRetrieveBtn);
    EXPECT_EQ(platform::testsupport::ReadNativeFile((Disk1 / "A.TXT")), "one");
    EXPECT_EQ(Messages().back(), "A.TXT\r\n\r\nThe Source And Destination Are The Same File");
    EXPECT_EQ(Form->TaggedFilesLabel->Caption(), "1");
}

TEST_F(DupCleanTest, CancelDuringACopyLeavesNoPartialTarget) {
    Open(2, "BIG.DAT");
    Tag({{"BIG.DAT", "BACKUP02"}});
    Driver.Click(*Form->RetrieveBtn);
    Form->RetrieveDestination->SetText("F:\\");
    // The abort button is pressed while the second block is read.
    platform::TScopedFileFault Fault(
        [this](platform::TFileOperation Op, const std::string& Path, int64_t Position, uint32_t) {
            if (Op == platform::TFileOperation::Read && Position > 0 &&
                Path.find("BIG.DAT") != std::string::npos && Form->RetrieveAbortBtn->Visible())
                Form->RetrieveAbortBtn->Click();
            return platform::TFileFault{};
        });
    Driver.Click(*Form->StartRetrieveBtn);
    EXPECT_FALSE(std::filesystem::exists(Out / "BIG.DAT"));
    EXPECT_FALSE(Form->RetrievePanel->Visible());
    EXPECT_EQ(Form->TaggedFilesLabel->Caption(), "1");
}

}  // namespace
}  // namespace tools
