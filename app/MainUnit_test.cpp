// The program as a user meets it: the entry run in this process under the form driver (first run,
// later runs, stored settings that no longer fit, damaged tables), the main window's layout and
// status panels, the Exit command, and the built program started as a process and ended by a
// signal.

#include "app/MainUnit.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "app/AppearanceOptionsUnit.h"
#include "app/OptionFrame.h"
#include "app/ProgramEntry.h"
#include "catalog/CatalogFolderForm.h"
#include "catalog/CatalogOptionsForm.h"
#include "catalog/CatalogStore.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "catalog/SelectCatalogForm.h"
#include "controls/entry/CtlPictureField.h"
#include "controls/entry/CtlState.h"
#include "controls/kit/KitCheckBox.h"
#include "controls/kit/KitColorCombo.h"
#include "controls/kit/KitTipDlg.h"
#include "controls/kit/StyledGrad.h"
#include "dbsql/components/DbSession.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/Seams.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/ComboBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Menus.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/testsupport/TestDrives.h"
#include "platform/testsupport/UserEnv.h"

using namespace app;
using namespace framework;
using platform::testsupport::ReadNativeFile;
using platform::testsupport::ReadTextFile;

namespace {

namespace fs = std::filesystem;

const char* const kProgramTables[] = {"Categories", "KorvaneOptions", "CatalogConfigs",
                                      "CustomSummaryReportDefs", "CustomFileReportDefs"};

// A private home: the program folder is <root>/home, seen as D:\home\ (or as D:\ when the drive
// is the program folder itself), the settings live under <root>/config.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        Home = Env.Root() + "/home";
        fs::create_directories(Home);
        Env.Set("KORVANE_HOME", Home);
        MapDrives("D=" + Env.Root());
        SetSleepHandler([this](uint32_t Ms) { Sleeps.push_back(Ms); });
        platform::ClearBeepHistory();
        Driver.Strict = true;
        // The tips dialog stays away unless a test asks for it.
        Store("Tips.ShowAtStart", "False");
    }
    void TearDown() override {
        SetSleepHandler({});
        dbsql::DefaultSession().SetActive(false);
        catalog::ProgramFolder.clear();
        catalog::CatalogDataFolder.clear();
        catalog::CurrentCatalogName.clear();
        catalog::OpenReportCount = 0;
        Application->HelpFile.clear();
    }
    void MapDrives(const std::string& Map) {
        Env.Set("KORVANE_DRIVES", Map);
        platform::ReloadDriveMap();
    }
    static void Store(const std::string& Name, const std::string& Value) {
        platform::TRegIniFile ini("Software\\Korvane");
        ini.WriteString("TMainForm", Name, Value);
    }
    static std::string Stored(const std::string& Name) {
        platform::TRegIniFile ini("Software\\Korvane");
        return ini.ReadString("TMainForm", Name, "<none>");
    }
    // Runs the program; While sees the running main window, then Exit ends the program unless
    // While ended it.
    void Run(const std::function<void(TMainForm&)>& While = {}) {
        bool ran = false;
        ProgramEntry([&] {
            ran = true;
            ASSERT_NE(MainForm, nullptr);
            if (While) While(*MainForm);
            if (!Application->Terminated()) {
                catalog::OpenReportCount = 0;
                MainForm->ExitProgram1->Click();
            }
        });
        EXPECT_TRUE(ran);
        EXPECT_EQ(MainForm, nullptr);
    }
    // Runs the program once, cancelling the folder dialog: the data folder is the program folder.
    void FirstRun() {
        Driver.Answer(mrCancel);
        Run();
        Driver.Shown.clear();
        platform::ClearBeepHistory();
    }
    bool TableExists(const std::string& Folder, const std::string& Name) {
        dbsql::TDbTable t;
        t.SetDatabaseName(Folder);
        t.SetTableName(Name);
        return t.Exists();
    }
    std::map<std::string, std::string> Files(const std::string& Folder) {
        std::map<std::string, std::string> out;
        for (const auto& e : fs::directory_iterator(Folder))
            out[e.path().filename().string()] = ReadNativeFile(e.path().string());
        return out;
    }

    platform::testsupport::ScopedUserEnv Env;
    std::string Home;
    std::vector<uint32_t> Sleeps;
    TFormDriver Driver;
};

TEST_F(ProgramTest, FirstRunAsksForTheDataFolderAndMakesTheProgramTables) {
    bool splashUp = false;
    TCursor cursorDuringDialog = crDefault;
    std::string preselected;
    Driver.AnswerWith(
        [&](TCustomForm& Form) {
            ASSERT_EQ(Form.ClassName(), "TCatalogFolderForm");
            EXPECT_EQ(Form.Caption(), "Select Folder For Korvane Data");
            preselected = static_cast<catalog::TCatalogFolderForm&>(Form).DList->Directory();
            cursorDuringDialog = Screen->Cursor();
            for (int i = 0; i < Screen->FormCount(); ++i)
                if (Screen->Forms(i)->ClassName() == "TSplashScreenForm" && Screen->Forms(i)->Visible())
                    splashUp = true;
        },
        mrCancel);
    Run([&](TMainForm& Form) {
        EXPECT_EQ(Screen->Cursor(), crDefault);
        EXPECT_EQ(catalog::ProgramFolder, "D:\\home\\");
        EXPECT_EQ(catalog::CatalogDataFolder, catalog::ProgramFolder);
        EXPECT_EQ(Form.DDirname->Caption(), "D:\\home\\");
        EXPECT_EQ(Application->HelpFile, "D:\\home\\Korvane.HLP");
        EXPECT_EQ(Form.Caption(), "Korvane 2003 Version 1.03A  (Created 15 September 2003)");
        EXPECT_EQ(Form.About1->Caption, "About Korvane 2003");
        EXPECT_EQ(Form.ActiveCatalogName->Caption(), "");
        EXPECT_EQ(Form.DisksInCatalog->Caption(), "");
        EXPECT_EQ(Form.FilesInCatalog->Caption(), "");
        EXPECT_TRUE(Form.Visible());
        EXPECT_TRUE(Form.Enabled());
        EXPECT_EQ(Application->MainForm(), &Form);
        for (const char* table : kProgramTables) EXPECT_TRUE(TableExists("D:\\home\\", table)) << table;
        dbsql::TDbTable options;
        options.SetDatabaseName("D:\\home\\");
        options.SetTableName("KorvaneOptions");
        options.Open();
        EXPECT_EQ(options.RecordCount(), 1);
        options.Close();
    });
    EXPECT_TRUE(splashUp);
    EXPECT_EQ(cursorDuringDialog, crHourGlass);
    EXPECT_EQ(Screen->Cursor(), crDefault);
    EXPECT_EQ(preselected.rfind("D:\\home", 0), 0u) << preselected;
    ASSERT_EQ(Driver.Shown.size(), 1u) << "the folder dialog and no error box";
    EXPECT_TRUE(platform::BeepHistory().empty());
    EXPECT_EQ(Sleeps, (std::vector<uint32_t>{1000, 1000}));
    EXPECT_EQ(Stored("DDirname.Caption"), "D:\\home\\");
    EXPECT_NE(ReadTextFile(platform::RegistryFileName(platform::HKEY_CURRENT_USER)).find("TMainForm"),
              std::string::npos);
}

TEST_F(ProgramTest, LaterRunsAskNothingUntilTheStoredFolderIsGone) {
    FirstRun();
    Run();
    EXPECT_TRUE(Driver.Shown.empty());
    EXPECT_TRUE(platform::BeepHistory().empty());

    fs::create_directories(Env.Root() + "/cats");
    Store("DDirname.Caption", "D:\\cats");
    Run([](TMainForm&) { EXPECT_EQ(catalog::CatalogDataFolder, "D:\\cats"); });
    EXPECT_TRUE(Driver.Shown.empty());

    fs::remove(Env.Root() + "/cats");
    std::string dialogStart;
    Driver.Answer(IDOK);
    Driver.AnswerWith(
        [&](TCustomForm& Form) {
            auto& dialog = static_cast<catalog::TCatalogFolderForm&>(Form);
            dialogStart = dialog.DList->Directory();
            fs::create_directories(Env.Root() + "/chosen");
            dialog.DList->SetDirectory("D:\\chosen");
        },
        mrOk);
    Run([](TMainForm& Form) {
        EXPECT_EQ(catalog::CatalogDataFolder, "D:\\chosen");
        EXPECT_EQ(Form.DDirname->Caption(), "D:\\chosen");
    });
    ASSERT_EQ(Driver.Shown.size(), 2u);
    EXPECT_EQ(Driver.Shown[0].Kind, "message");
    EXPECT_EQ(Driver.Shown[0].DlgType, mtError);
    EXPECT_EQ(
        Driver.Shown[0].Text,
        "The Folder Currently Set For The Location Of Your Catalog Data\r\n\r\n(D:\\cats)\r\n\r\nDoes Not "
        "Exist.  You Will Need To Select Another Location After You Close This Dialog Box.");
    EXPECT_EQ(Driver.Shown[1].ClassName, "TCatalogFolderForm");
    EXPECT_EQ(platform::BeepHistory(), (std::vector<uint32_t>{16}));
    EXPECT_EQ(dialogStart.rfind("D:\\home", 0), 0u) << dialogStart;
    EXPECT_EQ(Stored("DDirname.Caption"), "D:\\chosen");
}

TEST_F(ProgramTest, TipsShowAtStartUntilTheUserTurnsThemOff) {
    platform::TRegIniFile("Software\\Korvane").DeleteKey("TMainForm", "Tips.ShowAtStart");
    struct TSeen {
        std::string Caption, Header, Tip;
        int Tips = 0;
        bool MainWindowUp = false, SplashGone = true;
    } seen;
    Driver.Answer(mrCancel);  // the folder dialog of the first run
    Driver.AnswerWith(
        [&](TCustomForm& F) {
            seen.Caption = F.Caption();
            auto* tips = MainForm->Tips;
            seen.Header = tips->HeaderLabel()->Caption();
            seen.Tip = tips->TipLabel()->Caption();
            seen.Tips = tips->TipsCount();
            seen.MainWindowUp = MainForm->Visible() && MainForm->Enabled();
            for (int i = 0; i < Screen->FormCount(); ++i)
                if (Screen->Forms(i)->ClassName() == "TSplashScreenForm") seen.SplashGone = false;
            tips->CheckBox()->SetState(kit::cbUnchecked);
        },
        mrOk);
    Run();
    EXPECT_EQ(seen.Caption, "Korvane 2003 Tips & Tricks");
    EXPECT_EQ(seen.Header, "Did You Know?");
    EXPECT_FALSE(seen.Tip.empty());
    EXPECT_EQ(seen.Tips, 12);
    EXPECT_TRUE(seen.MainWindowUp);
    EXPECT_TRUE(seen.SplashGone);
    EXPECT_EQ(Stored("Tips.ShowAtStart"), "False");

    Driver.Shown.clear();
    Run();
    EXPECT_TRUE(Driver.Shown.empty()) << "no tips once they are turned off";

    // The menu command shows them all the same.
    std::string caption;
    Run([&](TMainForm& Form) {
        Driver.AnswerWith([&](TCustomForm& F) { caption = F.Caption(); }, mrOk);
        Form.RunCommand("TipsTricks1", nullptr);
    });
    EXPECT_EQ(caption, "Korvane 2003 Tips & Tricks");
}

TEST_F(ProgramTest, ProgramTablesOfAnyUserVersionAreUsedUnchanged) {
    FirstRun();
    // Categories at 0.0, CatalogConfigs at 2.0, the others as made (1.0).
    for (auto [name, major] : {std::pair{"Categories", 0}, std::pair{"CatalogConfigs", 2}}) {
        dbsql::TDbTable t;
        t.SetDatabaseName("D:\\home\\");
        t.SetTableName(name);
        t.FieldDefs.Update();
        t.RestructureFieldDefs.Clear();
        t.RestructureIndexDefs.Clear();
        t.RestructureFieldDefs.Update();
        t.RestructureIndexDefs.Update();
        t.AlterTable(0, 0, uint16_t(major), 0, false, "", "", 0, -1, true);
        EXPECT_EQ(t.GetUserMajorVersion(), major);
    }
    dbsql::DefaultSession().SetActive(false);
    const auto before = Files(Home);
    Run();
    dbsql::DefaultSession().SetActive(false);
    const auto after = Files(Home);
    ASSERT_EQ(before.size(), after.size());
    for (const auto& [name, bytes] : before) {
        ASSERT_TRUE(after.count(name)) << name;
        EXPECT_TRUE(after.at(name) == bytes) << name << " changed";
    }
    EXPECT_TRUE(Driver.Shown.empty());
}

TEST_F(ProgramTest, DamagedOptionsTableShowsTheEngineErrorAndTheWindowStillOpens) {
    FirstRun();
    Store("ActiveCatalogName.Caption", "Games");
    dbsql::DefaultSession().SetActive(false);
    fs::remove(Home + "/CatalogConfigs.DAT");
    fs::remove(Home + "/CatalogConfigs.IDX");
    fs::remove(Home + "/CatalogConfigs.BLB");
    {
        std::ofstream damaged(Home + "/KorvaneOptions.DAT", std::ios::binary | std::ios::trunc);
        damaged << std::string(2048, '\0');
    }
    Driver.Answer(IDOK);
    Run([&](TMainForm& Form) {
        EXPECT_TRUE(Form.Visible());
        EXPECT_EQ(Form.DisksInCatalog->Caption(), "");
        EXPECT_EQ(Form.FilesInCatalog->Caption(), "");
        // The steps after the failing table did not run.
        EXPECT_FALSE(TableExists("D:\\home\\", "CatalogConfigs"));
    });
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].Kind, "message");
    EXPECT_NE(Driver.Shown[0].Text.find("KorvaneOptions"), std::string::npos) << Driver.Shown[0].Text;
}

// The catalog manager through the program: Settings, F12, a new catalog made and selected shows in
// the panels and is current again at the next start.
TEST_F(ProgramTest, ANewCatalogSelectedThroughF12IsCurrentAtTheNextStart) {
    FirstRun();
    auto typeInto = [this](TWinControl& Field, const std::string& Text) {
        Field.SetFocus();
        Driver.RunPending();
        Driver.Key(VK_END);
        for (int i = 0; i < 4; ++i) Driver.Key(VK_BACK);
        Driver.Type(Text);
        Driver.RunPending();
    };
    std::string optionsPanel;
    std::vector<std::string> rows;
    Run([&](TMainForm& Form) {
        Form.SimulateBtnClick(4);
        Driver.AnswerWith([&](TCustomForm& F) {
            auto& select = dynamic_cast<catalog::TSelectCatalogForm&>(F);
            Driver.AnswerWith([&](TCustomForm& N) {
                auto& create = dynamic_cast<catalog::TNewCatalogForm&>(N);
                create.CatalogName->SetFocus();
                Driver.Type(" Games ");
                typeInto(*create.FileNameLength, "30");
                typeInto(*create.FolderNameLength, "60");
                typeInto(*create.ArchiveIDLength, "20");
                Driver.Click(*create.CreateBtn);
            });
            Driver.AnswerWith(
                [&](TCustomForm& O) {
                    optionsPanel = dynamic_cast<catalog::TCatalogOptionsForm&>(O).CatalogPanel->Caption();
                },
                mrCancel);
            Driver.Click(*select.NewBtn);
            EXPECT_EQ(select.GridHeader->Caption(), "Catalogs Currently Defined");
            Driver.Click(*select.SelectBtn);
        });
        TWinControl* inFrame = Form.Frame->FindNextControl(nullptr, true, true, false);
        ASSERT_NE(inFrame, nullptr);
        inFrame->SetFocus();
        Driver.KeyDown(VK_F12);
        Driver.KeyUp(VK_F12);
        EXPECT_EQ(catalog::CurrentCatalogName, "Games");
        EXPECT_EQ(Form.ActiveCatalogName->Caption(), "Games");
        EXPECT_EQ(Form.DisksInCatalog->Caption(), "0");
        EXPECT_EQ(Form.FilesInCatalog->Caption(), "0");
    });
    EXPECT_EQ(optionsPanel, "Current Catalog = \"Games\"");
    catalog::CurrentCatalogName.clear();
    Run([](TMainForm& Form) {
        EXPECT_EQ(catalog::CurrentCatalogName, "Games");
        EXPECT_EQ(Form.ActiveCatalogName->Caption(), "Games");
        EXPECT_EQ(Form.DisksInCatalog->Caption(), "0");
    });
    EXPECT_TRUE(platform::BeepHistory().empty());
}

TEST_F(ProgramTest, ProgramAtTheRootOfADrive) {
    MapDrives("D=" + Home);
    Driver.Answer(mrCancel);
    Run([](TMainForm&) {
        EXPECT_EQ(catalog::ProgramFolder, "D:\\");
        EXPECT_EQ(Application->HelpFile, "D:\\Korvane.HLP");
        EXPECT_EQ(catalog::CatalogDataFolder, "D:\\");
    });
}

TEST_F(ProgramTest, StoredCatalogThatNoLongerExists) {
    FirstRun();
    Store("ActiveCatalogName.Caption", "Gone");
    Driver.Answer(IDOK);
    Run([](TMainForm& Form) {
        EXPECT_EQ(catalog::CurrentCatalogName, "");
        EXPECT_EQ(Form.ActiveCatalogName->Caption(), "");
        EXPECT_EQ(Form.DisksInCatalog->Caption(), "");
        EXPECT_EQ(Form.FilesInCatalog->Caption(), "");
    });
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].Text, "Cannot Find Catalog Definition - You Need To Create A New Catalog");
    EXPECT_EQ(Stored("ActiveCatalogName.Caption"), "");
}

TEST_F(ProgramTest, ExitAsksWhileReportsAreOpenAndTheCloseBoxDoesNot) {
    FirstRun();
    Run([&](TMainForm& Form) {
        catalog::OpenReportCount = 2;
        Driver.Answer(mrNo);
        Form.ExitProgram1->Click();
        EXPECT_FALSE(Application->Terminated());
        ASSERT_EQ(Driver.Shown.size(), 1u);
        EXPECT_EQ(Driver.Shown[0].Text,
                  "You Have Reports Open - Are You Sure You Want To Close This Program?");
        EXPECT_EQ(Driver.Shown[0].DlgType, mtConfirmation);
        EXPECT_EQ(Driver.Shown[0].Buttons, TMsgDlgButtons({mbYes, mbNo}).Bits());
        Driver.Answer(mrYes);
        Form.CloseBtnClick(nullptr);
        EXPECT_TRUE(Application->Terminated());
    });
    EXPECT_EQ(Driver.Shown.size(), 2u);

    Driver.Shown.clear();
    Run([&](TMainForm& Form) {
        catalog::OpenReportCount = 2;
        Form.Close();
        EXPECT_TRUE(Application->Terminated());
    });
    EXPECT_TRUE(Driver.Shown.empty());
    catalog::OpenReportCount = 0;
}

TEST_F(ProgramTest, HiddenButtonPanelsGiveTheSmallerMinimumHeight) {
    FirstRun();
    Store("MainOptPanel.Visible", "False");
    Run([](TMainForm& Form) {
        EXPECT_FALSE(Form.MainOptPanel->Visible());
        EXPECT_EQ(Form.Constraints().MinHeight, 110);
    });
    Store("MainOptPanel.Visible", "True");
    Run([](TMainForm& Form) { EXPECT_EQ(Form.Constraints().MinHeight, 375); });
}

TEST_F(ProgramTest, TheLookChosenInTheAppearanceDialogReturnsAtTheNextStart) {
    FirstRun();
    Run([&](TMainForm& Form) {
        Driver.AnswerWith([&](TCustomForm& F) {
            auto& d = static_cast<TAppearanceOptionsForm&>(F);
            d.ShowPanels->SetChecked(false);
            d.MainFromColor->SetSelectedColor(clRed);
            d.SubDirection->SetItemIndex(1);
            d.StatusToColor->SetSelectedColor(clAqua);
            d.StatusHeaderColor->SetSelectedColor(clGreen);
            d.StatusInfoColor->SetSelectedColor(clYellow);
            Driver.Click(*d.OKBtn);
        });
        Form.RunCommand("MainWindowAppearanceOptions1", nullptr);
        EXPECT_EQ(Form.Constraints().MinHeight, 170);
    });
    Run([](TMainForm& Form) {
        EXPECT_FALSE(Form.MainOptPanel->Visible());
        EXPECT_FALSE(Form.SubOptPanel->Visible());
        // The start-up's minimum for a window without the panels.
        EXPECT_EQ(Form.Constraints().MinHeight, 110);
        EXPECT_EQ(Form.MainOptGradient->FromColor(), clRed);
        EXPECT_EQ(Form.SubOptGradient->Direction(), kit::dVertical);
        EXPECT_EQ(Form.FCGradient->ToColor(), clAqua);
        EXPECT_EQ(Form.ACHeader->Font().Color, clGreen);
        EXPECT_EQ(Form.FilesInCatalog->Font().Color, clYellow);
    });
}

TEST_F(ProgramTest, AnExceptionInsideStartUpGoesToTheApplicationAndTheWindowOpens) {
    FirstRun();
    // A program table that is a folder cannot be opened: the engine's error ends the start-up.
    dbsql::DefaultSession().SetActive(false);
    for (const char* ext : {".DAT", ".IDX", ".BLB"}) fs::remove(Home + "/Categories" + ext);
    fs::create_directories(Home + "/Categories.DAT");
    Driver.Answer(IDOK);
    Run([](TMainForm& Form) {
        EXPECT_TRUE(Form.Visible());
        EXPECT_EQ(Form.Caption(), MainWindowCaption());
    });
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].Kind, "message");
}

// ---- The window on its own ----

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        catalog::CatalogDataFolder = "D:\\";
        catalog::CurrentCatalogName.clear();
        Form = TCustomForm::Create<TMainForm>(Application);
        Form->OnShow = nullptr;  // the window without the start-up work
    }
    void TearDown() override {
        Form->ComponentState->SetActive(false);
        Form->FormState->SetActive(false);
        Form->Free();
        dbsql::DefaultSession().SetActive(false);
        catalog::CatalogDataFolder.clear();
        catalog::CurrentCatalogName.clear();
    }
    // A table of the schema with Records records (their required fields filled in).
    void MakeTable(const catalog::TTableSchema& Schema, const std::string& Name, int Records) {
        dbsql::TDbTable t;
        t.SetDatabaseName("D:\\");
        t.SetTableName(Name);
        catalog::DefineTable(t, Schema);
        t.CreateTable();
        t.Open();
        for (int i = 0; i < Records; ++i) {
            t.Append();
            for (const catalog::TFieldSchema& f : Schema.Fields)
                if (f.Required) t.FieldByName(f.Name)->SetAsString(std::to_string(i + 1));
            t.Post();
        }
        t.Close();
    }
    platform::testsupport::ScopedUserEnv Env;
    platform::testsupport::TTempFolder Root;
    platform::testsupport::TScopedDrives Drives{"D=" + Root.Path()};
    TFormDriver Driver;
    TMainForm* Form = nullptr;
};

TEST_F(MainWindowTest, Layout) {
    EXPECT_EQ(Form->Width(), 590);
    EXPECT_EQ(Form->Height(), 375);
    EXPECT_EQ(Form->Constraints().MinWidth, 590);
    EXPECT_EQ(Form->Constraints().MinHeight, 375);
    EXPECT_EQ(Form->Position, poDefaultPosOnly);
    EXPECT_EQ(Form->Font().Name, "Arial");
    EXPECT_EQ(Form->Font().Size(), 10);
    EXPECT_EQ(Form->HelpContext, 18);
    Form->Show();
    Driver.RunPending();
    EXPECT_EQ(Form->MainOptHeaderPanel->Caption(), "Main Options");
    EXPECT_EQ(Form->SubOptHeaderPanel->Caption(), "Sub-Options");
    EXPECT_EQ(Form->ACHeader->Caption(), "Active Catalog");
    EXPECT_EQ(Form->DCHeader->Caption(), "Disks Cataloged");
    EXPECT_EQ(Form->FCHeader->Caption(), "Files Cataloged");
    EXPECT_EQ(Form->MainOptPanel->Width(), 112);
    EXPECT_EQ(Form->MainOptHeaderPanel->Height(), 29);
    EXPECT_EQ(Form->SubOptHeaderPanel->Height(), 29);
    EXPECT_EQ(Form->StatPanel->Height(), 43);
    EXPECT_EQ(Form->DCPanel->Width(), 139);
    EXPECT_EQ(Form->FCPanel->Width(), 170);
    EXPECT_EQ(Form->CopyrightPanel->Height(), 22);
    EXPECT_FALSE(Form->DDirname->Visible());
    // From the left: Active Catalog, Disks, Files; the copyright line below the status panels.
    EXPECT_LT(Form->ACPanel->Left(), Form->DCPanel->Left());
    EXPECT_LT(Form->DCPanel->Left(), Form->FCPanel->Left());
    EXPECT_EQ(Form->FCPanel->Left() + Form->FCPanel->Width(), Form->StatPanel->ClientWidth());
    EXPECT_EQ(Form->CopyrightPanel->Top(), Form->StatPanel->Top() + 43);
    EXPECT_EQ(Form->CopyrightPanel->Top() + 22, Form->ClientHeight());
    EXPECT_EQ(Form->SubOptPanel->Left(), 112);
    EXPECT_EQ(Form->MainOptGradient->ColorBands(), 256);
    EXPECT_EQ(Form->MainOptGradient->FromColor(), clTeal);
    EXPECT_EQ(Form->SubOptGradient->ToColor(), clNavy);
    EXPECT_EQ(Form->ACGradient->FromColor(), clBtnFace);
    EXPECT_EQ(Form->ACHeader->Font().Color, clBlue);
    EXPECT_EQ(Form->ActiveCatalogName->Font().Size(), 12);
    // Pixels: the teal and navy areas and the blue-on-grey status header.
    EXPECT_EQ(Driver.PixelAt(*Form->MainOptPanel, 108, 150), uint32_t(clTeal));
    EXPECT_EQ(Driver.PixelAt(*Form->SubOptPanel, 200, 200), uint32_t(clNavy));
    EXPECT_TRUE(Driver.Grab(*Form, std::string(KORVANE_BUILD_DIR) + "/MainWindow.png"));
}

TEST_F(MainWindowTest, OptionButtonsFollowThePanelHeight) {
    Form->Show();
    for (int height : {375, 520}) {
        Form->SetHeight(height);
        Driver.RunPending();
        const int p = Form->MainOptPanel->Height();
        const int h = (p - 60) / 6;
        int top = 37;
        for (TSpeedButton* b : {Form->CatalogingBtn, Form->ReportsBtn, Form->ToolsBtn, Form->SettingsBtn,
                                Form->HelpBtn, Form->CloseBtn}) {
            EXPECT_EQ(b->Top(), top) << b->Name() << " at panel height " << p;
            EXPECT_EQ(b->Height(), h) << b->Name();
            top += h + 4;
        }
    }
}

TEST_F(MainWindowTest, StatusPanels) {
    Form->SetStatPanels();
    EXPECT_EQ(Form->ActiveCatalogName->Caption(), "");
    EXPECT_EQ(Form->DisksInCatalog->Caption(), "");
    EXPECT_EQ(Form->FilesInCatalog->Caption(), "");

    catalog::CurrentCatalogName = "Games";
    MakeTable(catalog::SummaryTableSchema().Table, "Games_SUM", 2);
    Form->SetStatPanels();
    EXPECT_EQ(Form->ActiveCatalogName->Caption(), "Games");
    EXPECT_EQ(Form->DisksInCatalog->Caption(), "2");
    EXPECT_EQ(Form->FilesInCatalog->Caption(), "Error");
    EXPECT_FALSE(Form->DataTable->Active());

    MakeTable(catalog::CatalogTableSchema(30, 60, 20).Table, "Games_CAT", 3);
    Form->SetStatPanels();
    EXPECT_EQ(Form->FilesInCatalog->Caption(), "3");

    catalog::CurrentCatalogName = "Nothing";
    EXPECT_NO_THROW(Form->SetStatPanels());
    EXPECT_EQ(Form->DisksInCatalog->Caption(), "Error");
    EXPECT_EQ(Form->FilesInCatalog->Caption(), "Error");
}

TEST(StatusCountsTest, ThousandsSeparators) {
    const struct {
        int Count;
        const char* Text;
    } cases[] = {{0, "0"},
                 {7, "7"},
                 {999, "999"},
                 {1234, "1,234"},
                 {1234567, "1,234,567"},
                 {2147483647, "2,147,483,647"}};
    for (const auto& c : cases) {
        EXPECT_EQ(FormatDiskCount(c.Count), c.Text) << c.Count;
        EXPECT_EQ(FormatFileCount(c.Count), c.Text) << c.Count;
    }
}

// ---- The built program ----

// The built program in a private home (program folder D:\home\), under the offscreen platform.
class ProgramProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        Home = Env.Root() + "/home";
        fs::create_directories(Home);
        Env.Set("KORVANE_HOME", Home);
        Env.Set("KORVANE_DRIVES", "D=" + Env.Root());
        Env.Set("QT_QPA_PLATFORM", "offscreen");
        // A sanitizer build of the program checks its leaks as the tests do, with the same
        // allowance for the font and picture libraries' caches.
        platform::testsupport::WriteTextFile(Env.Root() + "/leaks.supp",
                                             "leak:libfontconfig.so\nleak:libQt6Gui.so\n");
        Env.Set("LSAN_OPTIONS", "suppressions=" + Env.Root() + "/leaks.supp");
        platform::ReloadDriveMap();
    }
    void Start() {
        Pid = fork();
        ASSERT_GE(Pid, 0);
        if (Pid == 0) {
            // Signals wait until the program has its handlers.
            sigset_t signals;
            sigemptyset(&signals);
            for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&signals, s);
            sigprocmask(SIG_BLOCK, &signals, nullptr);
            execl(KORVANE_PROGRAM, KORVANE_PROGRAM, static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    // Waits (up to a minute) until Ready, then a little longer, and sends the signal; the exit status.
    int SignalWhen(const std::function<bool()>& Ready, int Signal) {
        bool ready = false;
        for (int i = 0; i < 600 && !(ready = Ready()); ++i) usleep(100 * 1000);
        EXPECT_TRUE(ready);
        usleep(2500 * 1000);
        kill(Pid, Signal);
        int status = 0;
        EXPECT_EQ(waitpid(Pid, &status, 0), Pid);
        EXPECT_TRUE(WIFEXITED(status)) << "status " << status;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Settings() { return ReadTextFile(platform::RegistryFileName(platform::HKEY_CURRENT_USER)); }

    platform::testsupport::ScopedUserEnv Env;
    std::string Home;
    pid_t Pid = -1;
};

TEST_F(ProgramProcessTest, RunsUntilSigtermAndSavesItsWindowState) {
    {
        platform::TRegIniFile ini("Software\\Korvane");
        ini.WriteString("TMainForm", "DDirname.Caption", "D:\\home\\");
    }
    Start();
    const int status = SignalWhen(
        [&] {
            for (const char* t : kProgramTables)
                if (!fs::exists(Home + "/" + std::string(t) + ".DAT")) return false;
            return true;
        },
        SIGTERM);
    EXPECT_EQ(status, 0);
    const std::string saved = Settings();
    EXPECT_NE(saved.find("[Software\\Korvane\\TMainForm]"), std::string::npos) << saved;
    EXPECT_NE(saved.find("DDirname.Caption"), std::string::npos) << saved;
    EXPECT_NE(saved.find("NormalPos"), std::string::npos) << saved;
}

// A first run ended while it asks for the data folder: the question is cancelled, the start-up
// finishes with the program folder and the program ends.
TEST_F(ProgramProcessTest, SighupDuringTheFirstRunsFolderQuestion) {
    Start();
    // The signal comes while the question is open (or, on a slow machine, before it: the program
    // then takes it at its first chance, which is the open question).
    const int status = SignalWhen([&] { return fs::exists(Home); }, SIGHUP);
    EXPECT_EQ(status, 0);
    for (const char* t : kProgramTables) EXPECT_TRUE(fs::exists(Home + "/" + std::string(t) + ".DAT")) << t;
    EXPECT_NE(Settings().find("D:\\\\home\\\\"), std::string::npos) << Settings();
}

}  // namespace
