// The table diagnosis window over real tables in a temporary drive: what it lists, Diagnose and
// Repair on both pages (a sound catalog, one without its log, a damaged table, a table held open
// elsewhere), the step lines of the engine's progress, the refusal without a selection, and the
// layout kept between runs.

#include "app/RepairUnit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "controls/entry/CtlState.h"
#include "controls/grid/CtlNotebook.h"
#include "dbengine/index/IndexFormat.h"
#include "dbsql/components/DbSession.h"
#include "dbsql/components/DbTable.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/ComCtrls.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/ListBox.h"
#include "framework/stdctrls/Memo.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"
#include "platform/Registry.h"
#include "platform/testsupport/TestDrives.h"
#include "platform/testsupport/UserEnv.h"

using namespace app;
using namespace framework;

namespace {

namespace fs = std::filesystem;

class RepairFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(Root.Path() + "/cats");
        catalog::ProgramFolder = "D:\\";
        // As the folder list gives it: no backslash at the end.
        catalog::CatalogDataFolder = "D:\\cats";
        for (const catalog::TTableSchema* s :
             {&catalog::CatalogConfigsSchema(), &catalog::KorvaneOptionsSchema()})
            Make("D:\\", s->TableName);
        Make("D:\\", "Tmp1");
        for (const char* t : {"Games_SUM", "Games_CAT", "Games_LOG", "Music_SUM", "Music_CAT"})
            Make("D:\\cats", t, 5);
        platform::ClearBeepHistory();
        Driver.Strict = false;  // boxes nobody answers get OK
    }
    void TearDown() override {
        if (Form) Form->Free();
        Driver.RunPending();
        dbsql::DefaultSession().SetActive(false);
        catalog::ProgramFolder.clear();
        catalog::CatalogDataFolder.clear();
    }
    // A table with a key and a name field, holding Records records.
    static void Make(const std::string& Folder, const std::string& Name, int Records = 0) {
        dbsql::TDbTable t;
        t.SetDatabaseName(Folder);
        t.SetTableName(Name);
        t.FieldDefs.Add("Id", ftInteger, 0, true);
        t.FieldDefs.Add("Name", ftString, 20);
        t.IndexDefs.Add("", "Id", ixPrimary | ixUnique);
        t.IndexDefs.Add("ByName", "Name", 0);
        t.CreateTable();
        t.Open();
        for (int i = 1; i <= Records; ++i) {
            t.Append();
            t.FieldByName("Id")->SetAsInteger(i);
            t.FieldByName("Name")->SetAsString("N" + std::to_string(i));
            t.Post();
        }
        t.Close();
    }
    // Says the index file holds 99 records: verify finds the table damaged.
    void Damage(const std::string& NativeFile) {
        std::fstream f(Root.Path() + "/" + NativeFile, std::ios::in | std::ios::out | std::ios::binary);
        ASSERT_TRUE(f.good()) << NativeFile;
        f.seekp(dbengine::IhRecordCount);
        const int32_t count = 99;
        char bytes[4];
        std::memcpy(bytes, &count, 4);
        f.write(bytes, 4);
    }
    void Open() {
        Form = TCustomForm::Create<TRepairForm>(Application);
        Form->Show();
        Driver.RunPending();
    }
    void Click(TControl& c) {
        Driver.Click(c);
        Driver.RunPending();
    }
    void ShowCatalogs() {
        Form->Notebook->SetPageIndex(1);
        Driver.RunPending();
    }
    static std::vector<std::string> Lines(TMemo& Memo) {
        std::vector<std::string> out;
        for (int i = 0; i < Memo.Lines().Count(); ++i) out.push_back(Memo.Lines().Strings(i));
        return out;
    }
    // The window's own lines: the log without the engine's step and log lines.
    static std::vector<std::string> OwnLines(TMemo& Memo) {
        std::vector<std::string> out;
        for (const std::string& l : Lines(Memo))
            if (l.empty() ||
                ((l.starts_with("Verifying ") || l.starts_with("Repairing ")) && !l.ends_with("%")) ||
                l.starts_with("Table "))
                out.push_back(l);
        return out;
    }
    std::vector<std::string> Items(TListBox& List) {
        std::vector<std::string> out;
        for (int i = 0; i < List.Items().Count(); ++i) out.push_back(List.Items().Strings(i));
        return out;
    }

    platform::testsupport::ScopedUserEnv Env;
    platform::testsupport::TTempFolder Root;
    platform::testsupport::TScopedDrives Drives{"D=" + Root.Path()};
    TFormDriver Driver;
    TRepairForm* Form = nullptr;
};

TEST(ProgramTableLabelTest, EveryProgramTableAndAnyOther) {
    const std::pair<const char*, const char*> cases[] = {
        {"CatalogConfigs.DAT", "Catalog Config Data"},
        {"KORVANEOPTIONS.DAT", "Korvane Options"},
        {"categories.dat", "File Categories"},
        {"CIProfiles.DAT", "Comment Import Profiles"},
        {"FIProfiles.DAT", "File Import Profiles"},
        {"CustomFileReportDefs.DAT", "Custom File Reports"},
        {"CustomSummaryReportDefs.DAT", "Custom Summary Reports"},
        {"Tmp1.DAT", "Unknown Table"},
        {"Categories.DAT.DAT", "Unknown Table"},
    };
    for (const auto& [file, label] : cases) EXPECT_EQ(ProgramTableLabel(file), label) << file;
}

TEST_F(RepairFormTest, ListsTheProgramTablesAndTheCatalogs) {
    Open();
    EXPECT_EQ(Form->Caption(), "Diagnose/Repair Korvane's Tables");
    EXPECT_EQ(Form->HelpContext, 86);
    ASSERT_EQ(Form->Notebook->PageCount(), 2);
    EXPECT_EQ(Form->Notebook->Pages(0)->Caption(), "Korvane's Main Tables");
    EXPECT_EQ(Form->Notebook->Pages(1)->Caption(), "Catalogs");
    EXPECT_EQ(Form->DiagnoseBtn->Caption(), "&Diagnose");
    EXPECT_EQ(Form->RepairBtn->Caption(), "&Repair");
    EXPECT_EQ(Items(*Form->MainTables),
              (std::vector<std::string>{"Catalog Config Data (CatalogConfigs.DAT)",
                                        "Korvane Options (KorvaneOptions.DAT)", "Unknown Table (Tmp1.DAT)"}));
    EXPECT_EQ(Form->MainTables->ItemIndex(), 0);
    // Only "*_SUM" files name catalogs; the data folder's missing backslash is supplied.
    EXPECT_EQ(Items(*Form->CatalogTables), (std::vector<std::string>{"Games", "Music"}));
    EXPECT_EQ(Form->CatalogTables->ItemIndex(), 0);
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_TRUE(Driver.Grab(*Form, std::string(KORVANE_BUILD_DIR) + "/repair.png"));
}

TEST_F(RepairFormTest, DiagnoseASoundCatalogAndOneWithoutItsLog) {
    Open();
    ShowCatalogs();
    Click(*Form->DiagnoseBtn);
    const std::vector<std::string> sound{"Verifying Games_SUM", "Table Is Okay.", "",
                                         "Verifying Games_CAT", "Table Is Okay.", "",
                                         "Verifying Games_LOG", "Table Is Okay.", ""};
    EXPECT_EQ(OwnLines(*Form->CatalogResults), sound);
    // The engine's log lines are there too.
    EXPECT_GT(Lines(*Form->CatalogResults).size(), sound.size());
    EXPECT_TRUE(Lines(*Form->MainResults).empty());

    Form->CatalogTables->SetItemIndex(1);
    Click(*Form->RepairBtn);  // Repair of sound tables only verifies them
    EXPECT_EQ(OwnLines(*Form->CatalogResults),
              (std::vector<std::string>{"Verifying Music_SUM", "Table Is Okay.", "", "Verifying Music_CAT",
                                        "Table Is Okay.", ""}));
    for (const std::string& l : Lines(*Form->CatalogResults))
        EXPECT_EQ(l.find("_LOG"), std::string::npos) << l;
    EXPECT_TRUE(Driver.Shown.empty());
    EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(RepairFormTest, RepairOfADamagedCatalogTable) {
    Damage("cats/Games_CAT.IDX");
    Open();
    ShowCatalogs();
    Click(*Form->DiagnoseBtn);
    EXPECT_EQ(
        OwnLines(*Form->CatalogResults),
        (std::vector<std::string>{"Verifying Games_SUM", "Table Is Okay.", "", "Verifying Games_CAT",
                                  "Table Is Damaged.", "", "Verifying Games_LOG", "Table Is Okay.", ""}));
    Click(*Form->RepairBtn);
    const std::vector<std::string> all = Lines(*Form->CatalogResults);
    EXPECT_EQ(
        OwnLines(*Form->CatalogResults),
        (std::vector<std::string>{"Verifying Games_SUM", "Table Is Okay.", "", "Verifying Games_CAT",
                                  "Table Is Damaged.", "Repairing Games_CAT", "Table Repair Successful.", "",
                                  "Verifying Games_LOG", "Table Is Okay.", ""}));
    // The engine's repair log lies between "Repairing" and the result.
    const auto repairing = std::find(all.begin(), all.end(), "Repairing Games_CAT");
    const auto done = std::find(all.begin(), all.end(), "Table Repair Successful.");
    ASSERT_TRUE(repairing != all.end() && done != all.end());
    EXPECT_GT(done - repairing, 1);
    Click(*Form->DiagnoseBtn);
    EXPECT_EQ(OwnLines(*Form->CatalogResults)[4], "Table Is Okay.");
}

TEST_F(RepairFormTest, DiagnoseAndRepairOfAProgramTable) {
    Damage("KorvaneOptions.IDX");
    Open();
    Form->MainTables->SetItemIndex(1);
    Click(*Form->DiagnoseBtn);
    EXPECT_EQ(OwnLines(*Form->MainResults),
              (std::vector<std::string>{"Verifying KorvaneOptions.DAT", "Table Is Damaged."}));
    Click(*Form->RepairBtn);
    EXPECT_EQ(OwnLines(*Form->MainResults),
              (std::vector<std::string>{"Verifying KorvaneOptions.DAT", "Table Is Damaged.",
                                        "Repairing KorvaneOptions.DAT", "Table Repair Successful."}));
    Form->MainTables->SetItemIndex(2);
    Click(*Form->RepairBtn);
    EXPECT_EQ(OwnLines(*Form->MainResults),
              (std::vector<std::string>{"Verifying Tmp1.DAT", "Table Is Okay."}));
    EXPECT_TRUE(Lines(*Form->CatalogResults).empty());
}

TEST_F(RepairFormTest, AStepReportedAgainCountsUpOnItsOwnLine) {
    Open();
    struct TCall {
        const char* Step;  // null: a log line
        int Percent;
    };
    const TCall calls[] = {{"Checking records", 0},
                           {"Checking records", 50},
                           {"Checking records", 100},
                           {"Checking index", 10},
                           {nullptr, 0},
                           {"Checking index", 90},
                           {"Checking records", 100}};
    // Both pages, through the verify and the repair handlers.
    using TProgress = std::function<void(const std::string&, int)>;
    using TLog = std::function<void(const std::string&)>;
    struct THandlers {
        TProgress Progress;
        TLog Log;
        TMemo* Memo;
    };
    TRepairForm& f = *Form;
    const THandlers handlers[] = {
        {[&](const std::string& s, int p) { f.MainTableVerifyProgress(nullptr, s, p); },
         [&](const std::string& l) { f.MainTableVerifyLog(nullptr, l); }, f.MainResults},
        {[&](const std::string& s, int p) { f.MainTableRepairProgress(nullptr, s, p); },
         [&](const std::string& l) { f.MainTableRepairLog(nullptr, l); }, f.MainResults},
        {[&](const std::string& s, int p) { f.CatTableVerifyProgress(nullptr, s, p); },
         [&](const std::string& l) { f.CatTableVerifyLog(nullptr, l); }, f.CatalogResults},
        {[&](const std::string& s, int p) { f.CatTableRepairProgress(nullptr, s, p); },
         [&](const std::string& l) { f.CatTableRepairLog(nullptr, l); }, f.CatalogResults},
    };
    // A log line between two reports of one step keeps its place.
    const std::vector<std::string> expected{"Verifying X", "Checking records 100%", "Checking index 10%",
                                            "a log line",  "Checking index 90%",    "Checking records 100%"};
    for (const THandlers& h : handlers) {
        h.Memo->Lines().Clear();
        h.Log("Verifying X");
        for (const TCall& c : calls) {
            if (c.Step)
                h.Progress(c.Step, c.Percent);
            else
                h.Log("a log line");
        }
        EXPECT_EQ(Lines(*h.Memo), expected);
    }
}

TEST_F(RepairFormTest, NoSelectionIsRefused) {
    fs::remove(Root.Path() + "/cats/Games_SUM.DAT");
    fs::remove(Root.Path() + "/cats/Music_SUM.DAT");
    Open();
    Form->MainTables->SetItemIndex(-1);
    Click(*Form->RepairBtn);
    ShowCatalogs();
    EXPECT_TRUE(Items(*Form->CatalogTables).empty());
    Click(*Form->DiagnoseBtn);
    ASSERT_EQ(Driver.Shown.size(), 2u);
    for (const auto& s : Driver.Shown) {
        EXPECT_EQ(s.Text, "No Table Selected");
        EXPECT_EQ(s.DlgType, mtError);
    }
    EXPECT_EQ(platform::BeepHistory(), (std::vector<uint32_t>{16, 16}));
    EXPECT_TRUE(Lines(*Form->MainResults).empty());
    EXPECT_TRUE(Lines(*Form->CatalogResults).empty());
}

TEST_F(RepairFormTest, ATableHeldOpenElsewhereEndsTheActionWithTheEnginesError) {
    dbsql::TDbTable held;
    held.SetDatabaseName("D:\\cats");
    held.SetTableName("Games_CAT");
    held.SetExclusive(true);
    held.Open();
    Open();
    ShowCatalogs();
    Click(*Form->DiagnoseBtn);
    // The application's own error box.
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].Kind, "message");
    EXPECT_NE(Driver.Shown[0].Text.find("Games_CAT"), std::string::npos) << Driver.Shown[0].Text;
    EXPECT_EQ(OwnLines(*Form->CatalogResults),
              (std::vector<std::string>{"Verifying Games_SUM", "Table Is Okay.", "", "Verifying Games_CAT"}));
    EXPECT_EQ(Screen->Cursor(), crDefault);
}

TEST_F(RepairFormTest, ResizingAndTheLayoutKeptBetweenRuns) {
    Open();
    EXPECT_EQ(Form->Constraints().MinWidth, 400);
    EXPECT_EQ(Form->Constraints().MinHeight, 200);
    Form->SetBounds(Form->Left(), Form->Top(), 500, 300);
    Driver.RunPending();
    EXPECT_EQ(Form->Panel1->Height(), Form->Height() - 78);
    EXPECT_GT(Form->DiagnoseBtn->Top(), Form->Panel1->Height());
    Form->SetBounds(Form->Left(), Form->Top(), 100, 100);
    Driver.RunPending();
    EXPECT_EQ(Form->Width(), 400);
    EXPECT_EQ(Form->Height(), 200);
    EXPECT_EQ(Form->Panel1->Height(), 122);
    for (const char* splitter : {"Splitter0", "Splitter1"}) {
        auto* s = dynamic_cast<TSplitter*>(Form->FindComponent(splitter));
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->FindControl(), splitter[8] == '0' ? Form->Panel4 : Form->Panel8);
    }
    Form->Panel4->SetWidth(150);
    Form->Panel8->SetWidth(260);
    Form->Close();
    Form->Free();
    Form = nullptr;
    platform::TRegIniFile ini("Software\\Korvane");
    EXPECT_EQ(ini.ReadString("TRepairForm", "Panel4.Width", ""), "150");
    EXPECT_EQ(ini.ReadString("TRepairForm", "Panel8.Width", ""), "260");
    Open();
    EXPECT_EQ(Form->Panel4->Width(), 150);
    EXPECT_EQ(Form->Panel8->Width(), 260);
}

}  // namespace
