// The main window's commands that open the cataloguing, catalog manager, disk label and offload
// windows: each opens its window modally, frees it, and refreshes the status panels where the
// catalog may have changed.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/FrameHelpUnit.h"
#include "app/MainUnit.h"
#include "app/testsupport/MainWindowFixture.h"
#include "catalog/CatalogStore.h"
#include "catalog/Globals.h"
#include "catalog/ProgressForm.h"
#include "catalog/ProgramTables.h"
#include "cataloging/dialogs/CatalogDiskSpecForm.h"
#include "cataloging/run/CatalogProgressForm.h"
#include "cataloging/volume/VolumeForms.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/Seams.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/testsupport/TestDrives.h"
#include "tools/compare/CompareCatalogsForm.h"
#include "tools/offload/DiskFillForm.h"

using namespace app;
using namespace framework;

namespace {

// The main window over catalog folder D: holding the catalog CAT1, which is current, and drive E:,
// a small disk labelled WORK01 with three files.
class FeatureCommandsTest : public app::testsupport::TMainWindowFixture {
protected:
    void SetUp() override {
        TMainWindowFixture::SetUp();
        SetSleepHandler([](uint32_t) {});
        for (const char* name : {"A.TXT", "B.TXT", "SUB/C.DAT"}) Disk.WriteFile(name, name);
        BothDrives = std::make_unique<platform::testsupport::TScopedDrives>(
            "D=" + Root.Path() + ";E=" + Disk.Path() + "|label=WORK01|serial=12345678|fs=FAT|type=removable");
        Driver.Strict = false;
        MakeCatalogConfigs();
        catalog::CurrentCatalogName = "CAT1";
        catalog::TCatalogStore store;
        store.CreateCatalogConfig(false, {30, 60, 20});
        store.OpenCatalog(true);
        Progress = TCustomForm::Create<catalog::TProgressForm>(Application);
        catalog::ProgressForm = Progress;
    }
    void TearDown() override {
        catalog::ProgressForm = nullptr;
        Progress->Free();
        Driver.RunPending();
        SetSleepHandler({});
        TMainWindowFixture::TearDown();
        BothDrives.reset();
    }
    static cataloging::TCatalogProgressForm* RunWindow() {
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (auto* f = dynamic_cast<cataloging::TCatalogProgressForm*>(Screen->Forms(i))) return f;
        return nullptr;
    }
    template <class T>
    static int OpenCount() {
        int n = 0;
        for (int i = 0; i < Screen->FormCount(); ++i)
            if (dynamic_cast<T*>(Screen->Forms(i))) ++n;
        return n;
    }

    platform::testsupport::TTempFolder Disk;
    std::unique_ptr<platform::testsupport::TScopedDrives> BothDrives;
    catalog::TProgressForm* Progress = nullptr;
};

TEST_F(FeatureCommandsTest, F2CataloguesADiskAndThePanelsFollowEachRun) {
    Form->DisksInCatalog->SetCaption("stale");
    struct {
        bool Modal = false;
        std::string DisksAfterRun, FilesAfterRun;
    } seen;
    Driver.AnswerWith(
        [&](TCustomForm& F) {
            auto& spec = dynamic_cast<cataloging::TCatalogDiskSpecForm&>(F);
            seen.Modal = F.Modal();
            spec.DriveComboBox->SetDrive('E');
            Application->OnIdle = [&](TObject*) {
                if (auto* run = RunWindow(); run && run->CloseBtn->Visible()) Driver.Click(*run->CloseBtn);
            };
            Driver.Click(*spec.BitBtn1);
            Application->OnIdle = nullptr;
            // The run itself refreshed the main window while the dialog stays open.
            seen.DisksAfterRun = Form->DisksInCatalog->Caption();
            seen.FilesAfterRun = Form->FilesInCatalog->Caption();
            Form->DisksInCatalog->SetCaption("stale");
            Driver.Click(*spec.BitBtn2);
        },
        mrCancel);
    // F2 typed on a button of the help frame.
    Form->SimulateBtnClick(5);
    PressInFrame(*static_cast<TFrameHelp*>(Form->Frame)->IndexBtn, VK_F2);
    Driver.RunPending();
    EXPECT_TRUE(seen.Modal);
    EXPECT_EQ(Form->CurrentFrame, 1);
    EXPECT_EQ(seen.DisksAfterRun, "1");
    EXPECT_EQ(seen.FilesAfterRun, "3");
    // And once more when the dialog has closed; the dialog is gone.
    EXPECT_EQ(Form->DisksInCatalog->Caption(), "1");
    EXPECT_EQ(Form->ActiveCatalogName->Caption(), "CAT1");
    EXPECT_EQ(OpenCount<cataloging::TCatalogDiskSpecForm>(), 0);
    EXPECT_EQ(RunWindow(), nullptr);
}

TEST_F(FeatureCommandsTest, LabelADiskOpensTheDriveChoosingDialogWithoutACatalog) {
    catalog::CurrentCatalogName.clear();
    bool fromCataloguing = true, driveEnabled = false, modal = false;
    Driver.AnswerWith(
        [&](TCustomForm& F) {
            auto& label = dynamic_cast<cataloging::TDiskLabelForm&>(F);
            fromCataloguing = label.FromCataloguing;
            driveEnabled = label.DriveComboBox->Enabled();
            modal = F.Modal();
        },
        mrCancel);
    Form->RunCommand("LabelADisk1", nullptr);
    EXPECT_TRUE(modal);
    EXPECT_FALSE(fromCataloguing);
    EXPECT_TRUE(driveEnabled);
    EXPECT_EQ(Form->CurrentFrame, 1);
    EXPECT_EQ(OpenCount<cataloging::TDiskLabelForm>(), 0);
    EXPECT_EQ(ShownTexts().size(), 1u) << "no box besides the dialog";
}

TEST_F(FeatureCommandsTest, ManagerAndOffloadOpenTheirWindowsThenRefreshThePanels) {
    const struct {
        const char* Item;
        const char* ClassName;
    } cases[] = {
        {"ManageCatalogs1", "TCatalogManagerForm"},
        {"OffloadFilesToOfflineMedia1", "TDiskFillForm"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Item);
        NoFrame();
        catalog::CurrentCatalogName = "CAT1";
        Form->ActiveCatalogName->SetCaption("Old");
        Form->DisksInCatalog->SetCaption("12");
        std::string opened;
        bool modal = false;
        // The window leaves another catalog current (none); the main window shows that.
        Driver.AnswerWith(
            [&](TCustomForm& F) {
                opened = F.ClassName();
                modal = F.Modal();
                catalog::CurrentCatalogName.clear();
            },
            mrCancel);
        Driver.Shown.clear();
        Form->RunCommand(c.Item, nullptr);
        EXPECT_EQ(opened, c.ClassName);
        EXPECT_TRUE(modal);
        EXPECT_EQ(Form->CurrentFrame, 3);
        EXPECT_EQ(Form->ActiveCatalogName->Caption(), "");
        EXPECT_EQ(Form->DisksInCatalog->Caption(), "");
        EXPECT_EQ(ShownTexts().size(), 1u) << "no error box";
    }
    EXPECT_EQ(OpenCount<tools::TDiskFillForm>(), 0);
}

TEST_F(FeatureCommandsTest, CompareCatalogsOpensItsWindowModallyOnTheCurrentCatalog) {
    NoFrame();
    catalog::CurrentCatalogName = "CAT1";
    std::string opened;
    bool modal = false;
    Driver.AnswerWith(
        [&](TCustomForm& F) {
            opened = F.ClassName();
            modal = F.Modal();
        },
        mrCancel);
    Driver.Shown.clear();
    Form->RunCommand("CompareCatalogs1", nullptr);
    EXPECT_EQ(opened, "TCompareCatalogsForm");
    EXPECT_TRUE(modal);
    EXPECT_EQ(Form->CurrentFrame, 3);
    EXPECT_EQ(catalog::CurrentCatalogName, "CAT1");
    EXPECT_EQ(OpenCount<tools::TCompareCatalogsForm>(), 0);
}

TEST_F(FeatureCommandsTest, CataloguingToolAndCleanupCommandsOpenTheirWindowsModally) {
    {
        dbsql::TDbTable categories;
        categories.SetDatabaseName("D:\\");
        categories.SetTableName("Categories");
        catalog::DefineTable(categories, catalog::CategoriesSchema());
        categories.CreateTable();
    }
    const struct {
        const char* Item;
        const char* ClassName;
        const char* Caption;  // null: not checked
        int Frame;
    } cases[] = {
        {"UnCatalogDisks1", "TSelectVolumeIDForm", nullptr, 1},
        {"BByVolumeID1", "TSelectVolumeIDForm", "Select Volume(s) For File Comment Editor", 1},
        {"TextFileImport1", "TImportFilesForm", "Text File Import", 1},
        {"ImportFileComments1", "TImportFileCommentForm", "Import File Comments", 1},
        {"DirectoryOfADisk1", "TShowDirectoryForm", nullptr, 1},
        {"ViewPurgeCatalogActivityLog1", "TViewCatalogActivityLogForm", nullptr, 1},
        {"KillSpecificFileEntriesInThisCatalog1", "TEraseSpecificFileEntriesForm",
         "Erase Specific File Entries In This Catalog", 1},
        {"DuplicateRedundantFileCleanup1", "TDupCleanForm", nullptr, 3},
        {"GeneralFileCleanup1", "TDupCleanForm", "General File Cleanup", 3},
        {"RetrieveCatalogedFiles1", "TDupCleanForm", "Retrieve Cataloged Files", 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Item);
        NoFrame();
        catalog::CurrentCatalogName = "CAT1";
        std::string opened, caption;
        bool modal = false;
        Driver.AnswerWith(
            [&](TCustomForm& F) {
                opened = F.ClassName();
                caption = F.Caption();
                modal = F.Modal();
            },
            mrCancel);
        Driver.Shown.clear();
        Form->RunCommand(c.Item, nullptr);
        Driver.RunPending();
        EXPECT_EQ(opened, c.ClassName);
        if (c.Caption) {
            EXPECT_EQ(caption, c.Caption);
        }
        EXPECT_TRUE(modal);
        EXPECT_EQ(Form->CurrentFrame, c.Frame);
        for (const auto& shown : Driver.Shown) EXPECT_NE(shown.Kind, "message") << shown.Text;
    }
}

}  // namespace
