// The Catalog Disk criteria dialog over the fixture disk and catalog: its defaults, the drive and
// start folder, the settings kept between sessions, the catalog's options and runs started from it.

#include "cataloging/dialogs/CatalogDiskSpecForm.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "catalog/CatalogOptionsForm.h"
#include "cataloging/dialogs/SelectDirectoryForm.h"
#include "cataloging/dialogs/testsupport/CatalogDiskFixture.h"
#include "cataloging/run/CatalogProgressForm.h"
#include "cataloging/volume/VolumeForms.h"
#include "dbsql/components/DbTable.h"
#include "framework/dbctrls/DBCtrls.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/GroupBox.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/RadioButton.h"

namespace cataloging {
namespace {

using namespace framework;

struct CatalogDiskSpecTest : testsupport::TCatalogDiskFixture {
    TCatalogDiskSpecForm* Form = nullptr;
    int Refreshes = 0;

    void TearDown() override {
        Application->OnIdle = nullptr;
        if (Form) Form->Free();
        TCatalogDiskFixture::TearDown();
    }
    TCatalogDiskSpecForm& Open() {
        Form = TCustomForm::Create<TCatalogDiskSpecForm>(Application);
        Form->RefreshStatPanels = [this] { ++Refreshes; };
        Form->Show();
        Driver.RunPending();
        return *Form;
    }
    // Shows a dialog modally (with the settings kept so far), lets Act work on it and closes it
    // with its Close button.
    void Session(const std::function<void(TCatalogDiskSpecForm&)>& Act) {
        auto* dialog = TCustomForm::Create<TCatalogDiskSpecForm>(Application);
        Driver.AnswerWith([&](TCustomForm&) {
            Act(*dialog);
            Driver.Click(*dialog->BitBtn2);
        });
        dialog->ShowModal();
        dialog->Free();
    }
    // The run window open now, or null.
    static TCatalogProgressForm* RunWindow() {
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (auto* f = dynamic_cast<TCatalogProgressForm*>(Screen->Forms(i))) return f;
        return nullptr;
    }
};

TEST_F(CatalogDiskSpecTest, ANewDialogShowsTheDefaults) {
    TCatalogDiskSpecForm& f = Open();
    EXPECT_EQ(f.Caption(), "Catalog Disk- Criteria");
    EXPECT_EQ(f.BorderStyle(), bsDialog);
    EXPECT_EQ(f.HelpContext, 25);
    EXPECT_EQ(f.Position, poScreenCenter);
    EXPECT_EQ(f.DriveLetter(), 'D');
    EXPECT_EQ(f.StartDir->Text(), "D:\\");
    EXPECT_TRUE(f.StartDir->ReadOnly());
    EXPECT_EQ(f.StartDir->Color(), clBtnFace);
    EXPECT_EQ(f.SpeedButton1->Hint, "Select Directory From List");
    EXPECT_EQ(f.Recurse->Caption(), "Catalog All Sub-Folders Within This Folder");
    EXPECT_EQ(f.CatalogGroup->Caption(), "Catalog");
    EXPECT_EQ(f.StatsFiles->Caption(), "Disk Stats && Files");
    EXPECT_EQ(f.StatsOnly->Caption(), "Disk Stats Only");
    EXPECT_EQ(f.IgnoreRecycle->Caption(), "Skip Files In The Windows Recycle Bin");
    EXPECT_EQ(f.KeepInMemory->Caption(), "Keep Temporary Database(s) In Memory");
    EXPECT_TRUE(f.Recurse->Checked());
    EXPECT_TRUE(f.StatsFiles->Checked());
    EXPECT_FALSE(f.StatsOnly->Checked());
    EXPECT_TRUE(f.IgnoreRecycle->Checked());
    EXPECT_FALSE(f.KeepInMemory->Checked());
    EXPECT_FALSE(f.LastDriveLabel->Visible());
    EXPECT_EQ(f.LastDriveLabel->Caption(), "");
    EXPECT_EQ(f.BitBtn1->Caption(), "Catalog &Now");
    EXPECT_TRUE(f.BitBtn1->Default());
    EXPECT_EQ(f.OptionsBtn->Caption(), "&Catalog &Options");
    EXPECT_EQ(f.OptionsBtn->Hint, "Set Cataloging And Reporting Options For The Highlighted Catalog");
    EXPECT_EQ(f.BitBtn2->Caption(), "&Close");
    EXPECT_EQ(f.BitBtn3->Caption(), "&Help");
    EXPECT_TRUE(Driver.Grab(f, Grabbed("CatalogDiskCriteria")));
}

TEST_F(CatalogDiskSpecTest, TheStartFolderFollowsTheDriveAndThePicker) {
    TCatalogDiskSpecForm& f = Open();
    // The picker opens on the selected drive's root; OK takes the list's folder.
    Driver.AnswerWith([&](TCustomForm& Form) {
        auto& picker = static_cast<TSelectDirectoryForm&>(Form);
        EXPECT_EQ(picker.DirectoryList->Directory(), "D:\\");
        picker.DirectoryList->SetDirectory("D:\\DOCS");
        picker.SetModalResult(mrOk);
    });
    Driver.Click(*f.SpeedButton1);
    EXPECT_EQ(f.StartDir->Text(), "D:\\DOCS");
    // Cancel leaves it.
    Driver.Answer(mrCancel);
    Driver.Click(*f.SpeedButton1);
    EXPECT_EQ(f.StartDir->Text(), "D:\\DOCS");
    // Another drive resets a chosen folder to its root.
    f.DriveComboBox->SetDrive('e');
    EXPECT_EQ(f.StartDir->Text(), "E:\\");
    EXPECT_TRUE(platform::BeepHistory().empty());
}

TEST_F(CatalogDiskSpecTest, APickerOnADriveWhoseFolderIsMissingIsNotShown) {
    Drives.reset();
    Drives = std::make_unique<platform::testsupport::TScopedDrives>(
        "D=" + Disk.Path() + ";P=" + Program.Path() + ";Q=" + Empty.Path() + "/missing");
    TCatalogDiskSpecForm& f = Open();
    f.DriveComboBox->SetDrive('Q');
    ASSERT_EQ(f.StartDir->Text(), "Q:\\");
    Driver.Shown.clear();
    Driver.Click(*f.SpeedButton1);
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Error Reading Structure Of Drive Q:"});
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{platform::MB_ICONEXCLAMATION});
    EXPECT_EQ(f.StartDir->Text(), "Q:\\");
}

TEST_F(CatalogDiskSpecTest, SettingsAndTheLastDriveAreKeptForTheNextDialog) {
    Session([](TCatalogDiskSpecForm& f) {
        f.DriveComboBox->SetDrive('E');
        f.Recurse->SetChecked(false);
        f.StatsOnly->SetChecked(true);
        f.IgnoreRecycle->SetChecked(false);
        f.KeepInMemory->SetChecked(true);
    });
    Session([](TCatalogDiskSpecForm& f) {
        EXPECT_EQ(f.LastDriveLabel->Caption(), "E");
        EXPECT_EQ(f.DriveLetter(), 'E');
        EXPECT_EQ(f.StartDir->Text(), "E:\\");
        EXPECT_FALSE(f.Recurse->Checked());
        EXPECT_FALSE(f.StatsFiles->Checked());
        EXPECT_TRUE(f.StatsOnly->Checked());
        EXPECT_FALSE(f.IgnoreRecycle->Checked());
        EXPECT_TRUE(f.KeepInMemory->Checked());
    });
    // A remembered drive the map no longer holds leaves the box on its first drive.
    Drives.reset();
    Drives =
        std::make_unique<platform::testsupport::TScopedDrives>("D=" + Disk.Path() + ";P=" + Program.Path());
    Session([](TCatalogDiskSpecForm& f) {
        EXPECT_EQ(f.DriveLetter(), 'D');
        EXPECT_EQ(f.StartDir->Text(), "D:\\");
        EXPECT_TRUE(f.StatsOnly->Checked());
    });
    Session([](TCatalogDiskSpecForm& f) { EXPECT_EQ(f.LastDriveLabel->Caption(), "D"); });
}

TEST_F(CatalogDiskSpecTest, CatalogOptionsOpenOnTheCurrentCatalogsRecord) {
    TCatalogDiskSpecForm& f = Open();
    // Found: the options form on the record in edit mode; Save Options keeps a change.
    std::string panel;
    Driver.AnswerWith([&](TCustomForm& Form) {
        auto& options = static_cast<catalog::TCatalogOptionsForm&>(Form);
        panel = options.CatalogPanel->Caption();
        EXPECT_EQ(options.Table->State(), dsEdit);
        EXPECT_EQ(options.Table->FieldByName("CatalogName")->AsString(), "CAT1");
        Driver.Click(*options.BoxFor("SelectiveCataloging"));
        Driver.Click(*options.BitBtn1);
    });
    Driver.Click(*f.OptionsBtn);
    EXPECT_EQ(panel, "Current Catalog = \"CAT1\"");
    auto configs = Table("CatalogConfigs");
    configs->Open();
    ASSERT_TRUE(configs->FindKey({Variant(std::string("CAT1"))}));
    EXPECT_TRUE(configs->FieldByName("SelectiveCataloging")->AsBoolean());
    configs->Close();
    EXPECT_TRUE(platform::BeepHistory().empty());

    // The failures: no record for the catalog, no configuration table at all.
    const struct {
        const char* Catalog;
        const char* ProgramFolder;
        const char* Message;
    } failures[] = {
        {"CAT2", "P:\\", "Cannot Find Configuration Data For This Catalog"},
        {"CAT1", "E:\\", "Error Retrieving Configuration Data For This Catalog"},
    };
    for (const auto& c : failures) {
        SCOPED_TRACE(c.Message);
        catalog::CurrentCatalogName = c.Catalog;
        catalog::ProgramFolder = c.ProgramFolder;
        Driver.Shown.clear();
        platform::ClearBeepHistory();
        Driver.Click(*f.OptionsBtn);
        EXPECT_EQ(MessageTexts(), std::vector<std::string>{c.Message});
        EXPECT_EQ(Driver.Shown.size(), 1u) << "no options form";
        EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{platform::MB_ICONHAND});
    }
}

TEST_F(CatalogDiskSpecTest, CatalogNowRunsAndWaitsForCloseAfterASuccessfulRun) {
    TCatalogDiskSpecForm& f = Open();
    // Two runs from the same dialog, with opposite settings each time; the second finds the disk
    // catalogued by the first and is told to replace it.
    const struct {
        bool Recurse, KeepInMemory, IgnoreRecycle, StatsOnly;
        const char* StartDir;
        const char* StartFolder;
        int64_t ToBeCataloged;
        bool AlreadyCataloged;
    } runs[] = {
        {false, true, true, false, "D:\\GAMES", "D:\\GAMES\\", 1, false},
        {true, false, false, true, "D:\\", "D:\\", 0, true},
    };
    for (const auto& r : runs) {
        SCOPED_TRACE(r.StartDir);
        f.StartDir->SetText(r.StartDir);
        f.Recurse->SetChecked(r.Recurse);
        f.KeepInMemory->SetChecked(r.KeepInMemory);
        f.IgnoreRecycle->SetChecked(r.IgnoreRecycle);
        (r.StatsOnly ? f.StatsOnly : f.StatsFiles)->SetChecked(true);
        struct {
            std::string Caption;
            TCatalogRunSpec Spec;
            bool DialogEnabled = true, CloseReady = false, AbortGone = false;
        } seen;
        int idles = 0;
        Application->OnIdle = [&](TObject*) {
            TCatalogProgressForm* run = RunWindow();
            if (!run || !run->CloseBtn->Visible() || idles++) return;
            seen.Caption = run->Caption();
            seen.Spec = run->Spec;
            seen.DialogEnabled = f.Enabled();
            seen.CloseReady = run->CloseBtn->Enabled() && run->ActiveControl() == run->CloseBtn;
            seen.AbortGone = !run->AbortBtn->Visible() && !run->AbortBtn->Enabled();
            Driver.Click(*run->CloseBtn);
        };
        std::string askedAbout;
        if (r.AlreadyCataloged)
            Driver.AnswerWith([&](TCustomForm& F) {
                auto* asked = dynamic_cast<TDiskAlreadyCatalogedForm*>(&F);
                ASSERT_NE(asked, nullptr) << F.Caption();
                askedAbout = asked->MessageLine->Caption();
                Driver.Click(*asked->ReplaceBtn);
            });
        const int refreshes = Refreshes;
        Driver.Click(*f.BitBtn1);
        Application->OnIdle = nullptr;
        EXPECT_EQ(askedAbout, r.AlreadyCataloged
                                  ? "A Disk With This Name (\"BACKUP01\") Already Exists In The Catalog."
                                  : "");
        EXPECT_EQ(idles, 1);
        EXPECT_EQ(seen.Caption, "Cataloging Disk In Drive D");
        EXPECT_EQ(seen.Spec.DriveLetter, 'D');
        EXPECT_EQ(seen.Spec.StartFolder, r.StartFolder);
        EXPECT_EQ(seen.Spec.Recurse, r.Recurse);
        EXPECT_EQ(seen.Spec.KeepInMemory, r.KeepInMemory);
        EXPECT_EQ(seen.Spec.IgnoreRecycleBin, r.IgnoreRecycle);
        EXPECT_EQ(seen.Spec.StatsOnly, r.StatsOnly);
        EXPECT_EQ(seen.Spec.FilesOnDiskScanned, int64_t(DiskFiles().size()));
        EXPECT_EQ(seen.Spec.ToBeCataloged, r.ToBeCataloged);
        EXPECT_FALSE(seen.DialogEnabled);
        EXPECT_TRUE(seen.CloseReady);
        EXPECT_TRUE(seen.AbortGone);
        EXPECT_TRUE(f.Enabled());
        EXPECT_EQ(Refreshes, refreshes + 1);
        Driver.RunPending();
        EXPECT_EQ(RunWindow(), nullptr);
        EXPECT_TRUE(MessageTexts().empty());
    }
}

TEST_F(CatalogDiskSpecTest, AStoppedRunReleasesItsWindowAtOnce) {
    // An empty disk and No to cataloguing it without files: the run stops.
    TCatalogDiskSpecForm& f = Open();
    f.DriveComboBox->SetDrive('E');
    bool waited = false;
    Application->OnIdle = [&](TObject*) {
        if (TCatalogProgressForm* run = RunWindow(); run && run->CloseBtn->Visible()) {
            waited = true;
            run->CloseBtnClick();
        }
    };
    Driver.Answer(mrNo);
    Driver.Click(*f.BitBtn1);
    Application->OnIdle = nullptr;
    EXPECT_FALSE(waited);
    EXPECT_EQ(MessageTexts(),
              std::vector<std::string>{"There Were No Files Passing Your Include/Exclude Specs Found "
                                       "On This Disk - Catalog It As Having No Files Anyway?"});
    EXPECT_TRUE(f.Enabled());
    EXPECT_EQ(Refreshes, 1);
    Driver.RunPending();
    EXPECT_EQ(RunWindow(), nullptr);
    // The dialog is ready for the next disk.
    Driver.Answer(mrNo);
    Driver.Click(*f.BitBtn1);
    EXPECT_EQ(Refreshes, 2);
}

TEST_F(CatalogDiskSpecTest, AFailureLeavingTheRunStillReleasesItsWindowAndRefreshes) {
    TCatalogDiskSpecForm& f = Open();
    // Something raises while the run window waits for Close.
    Application->OnIdle = [&](TObject*) {
        if (TCatalogProgressForm* run = RunWindow(); run && run->CloseBtn->Visible())
            throw Exception("Window system failure");
    };
    Driver.Click(*f.BitBtn1);
    Application->OnIdle = nullptr;
    EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Window system failure."});
    EXPECT_TRUE(f.Enabled());
    EXPECT_EQ(Refreshes, 1);
    Driver.RunPending();
    EXPECT_EQ(RunWindow(), nullptr);
}

}  // namespace
}  // namespace cataloging
