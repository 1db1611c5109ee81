// The tool settings dialog over a real options table: its pages and captions, patterns typed in
// place (upper case, blanks stored empty), Save writing every field of both blocks, Cancel and the
// close box reading the stored blocks back, and failing saves and restores.

#include "catalog/ToolsSettingsForm.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "catalog/testsupport/CatalogTestFixture.h"
#include "controls/entry/CtlArrayEditor.h"
#include "controls/grid/CtlNotebook.h"
#include "dbsql/components/DbTable.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/GroupBox.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"
#include "platform/Files.h"

using namespace catalog;
using namespace framework;

namespace {

struct ToolsSettingsFormTest : catalog::testsupport::TCatalogFixture {
    TToolsSettingsForm* Form = nullptr;
    TSquelchSettings KeptOffload = OffloadSquelch, KeptCleanup = CleanupSquelch;

    void SetUp() override {
        TCatalogFixture::SetUp();
        auto t = Table("KorvaneOptions");
        DefineTable(*t, KorvaneOptionsSchema());
        t->CreateTable();
        t->Open();
        InsertNewOptionsRecord(*t);
        t->Edit();
        t->FieldByName("SquelchSpec01")->SetAsString("WORK*");
        t->FieldByName("SquelchSpec02")->SetAsString("TEMP");
        t->FieldByName("SquelchDrive03")->SetAsBoolean(true);
        t->FieldByName("DCSquelchSpec05")->SetAsString("OLD?");
        t->FieldByName("DCSquelchDrive26")->SetAsBoolean(true);
        t->Post();
        LoadOptions(*t);
        t->Close();
    }
    void TearDown() override {
        if (Form) Form->Free();
        Driver.RunPending();
        OffloadSquelch = KeptOffload;
        CleanupSquelch = KeptCleanup;
        TCatalogFixture::TearDown();
    }
    void Open() {
        Form = TCustomForm::Create<TToolsSettingsForm>(Application);
        Form->Show();
        Driver.RunPending();
    }
    // Types into row Row of an editor, replacing the row's text.
    void Type(entry::TCtlPictureArrayEditor& Editor, int Row, const std::string& Text) {
        Editor.SetFocus();
        Driver.RunPending();
        Driver.Click(Editor, 20, Row * Editor.RowHeight() + Editor.RowHeight() / 2);
        Driver.RunPending();
        Driver.Key(VK_END);
        for (int i = 0; i < 11; ++i) Driver.Key(VK_BACK);
        Driver.Type(Text);
        Driver.RunPending();
    }
    void Click(TControl& c) {
        Driver.Click(c);
        Driver.RunPending();
    }
    std::unique_ptr<dbsql::TDbTable> Options() {
        auto t = Table("KorvaneOptions");
        t->Open();
        t->First();
        return t;
    }
    std::string Stored(const std::string& Field) { return Options()->FieldByName(Field)->AsString(); }
    // Runs the dialog modally as the menu does; Act works on it while it is up.
    void RunModal(std::function<void(TToolsSettingsForm&)> Act) {
        Driver.AnswerWith([&](TCustomForm& f) { Act(static_cast<TToolsSettingsForm&>(f)); });
        ShowToolsSettingsForm();
        Driver.RunPending();
    }
};

TEST_F(ToolsSettingsFormTest, PagesGroupsAndControls) {
    Open();
    EXPECT_EQ(Form->Caption(), "Bonus Utility Settings");
    EXPECT_EQ(Form->HelpContext, 10);
    ASSERT_EQ(Form->Notebook->PageCount(), 2);
    EXPECT_EQ(Form->Notebook->Pages(0)->Caption(), "\"Offload Files\" Squelch Settings");
    EXPECT_EQ(Form->Notebook->Pages(1)->Caption(), "\"Cleanup\" Squelch Settings");
    EXPECT_EQ(Form->Notebook->PageIndex(), 0);
    EXPECT_EQ(Form->VolumesGroup->Caption(), "Squelch These Volumes");
    EXPECT_EQ(Form->DCVolumesGroup->Caption(), "Squelch These Volumes");
    EXPECT_EQ(Form->DrivesGroup->Caption(), "Do Not Recommend Disks Cataloged From Checked Drives");
    EXPECT_EQ(Form->DCDrivesGroup->Caption(), "Do Not Include Files On Disks Cataloged From Checked Drives");
    for (auto* editor : {Form->Volsq, Form->DCVolSQ}) {
        EXPECT_EQ(editor->NumItems(), 40);
        EXPECT_EQ(editor->PictureMask(), "!!!!!!!!!!!");
        EXPECT_EQ(editor->MaxLength(), 11);
        EXPECT_EQ(editor->RowHeight(), 17);
        EXPECT_TRUE(editor->UseScrollBar());
    }
    EXPECT_EQ(Form->Drv[0]->Caption(), "Drive A:");
    EXPECT_EQ(Form->Drv[25]->Caption(), "Drive Z:");
    EXPECT_EQ(Form->DCDrv[12]->Caption(), "Drive M:");
    EXPECT_EQ(Form->BitBtn1->Caption(), "&Save");
    EXPECT_EQ(Form->BitBtn1->ModalResult, mrOk);
    // Show sets the boxes from Globals.
    EXPECT_TRUE(Form->Drv[2]->Checked());
    EXPECT_FALSE(Form->Drv[3]->Checked());
    EXPECT_TRUE(Form->DCDrv[25]->Checked());
    EXPECT_FALSE(Form->Saved);
    EXPECT_EQ(Form->Volsq->Cell()->GetAsString(), "WORK*");
    EXPECT_TRUE(Driver.Grab(*Form, std::string(KORVANE_BUILD_DIR) + "/tools-settings.png"));
    Form->Notebook->SetPageIndex(1);
    Driver.RunPending();
    EXPECT_TRUE(Driver.Grab(*Form, std::string(KORVANE_BUILD_DIR) + "/tools-settings-cleanup.png"));
}

TEST_F(ToolsSettingsFormTest, OpensOnTheAskedPage) {
    const struct {
        std::function<void()> Show;
        int Page;
    } cases[] = {{[] { ShowToolsSettingsForm(); }, 0},
                 {[] { ShowToolsSettingsForm(1); }, 1},
                 {[] { ShowToolsSettingsForm(0); }, 0}};
    for (const auto& c : cases) {
        int shown = -1;
        Driver.AnswerWith([&](TCustomForm& f) {
            shown = static_cast<TToolsSettingsForm&>(f).Notebook->PageIndex();
            f.SetModalResult(mrCancel);
        });
        c.Show();
        Driver.RunPending();
        EXPECT_EQ(shown, c.Page);
    }
}

TEST_F(ToolsSettingsFormTest, TypedPatternsEditGlobalsAtOnceAndSaveStoresThemUpperCasedAndTrimmed) {
    RunModal([&](TToolsSettingsForm& f) {
        Type(*f.Volsq, 3, "backup*");
        Type(*f.Volsq, 4, "   ");
        // Moving to another row stores the row into Globals while the dialog is up.
        Type(*f.Volsq, 0, "");
        EXPECT_EQ(OffloadSquelch.VolumeSpecs[3].Text(), "BACKUP*");
        EXPECT_EQ(OffloadSquelch.VolumeSpecs[0].Text(), "WORK*") << "row 0 is still being edited";
        Click(*f.Drv[6]);
        EXPECT_FALSE(OffloadSquelch.DriveFlags[6]) << "drive flags wait for Save";
        f.Notebook->SetPageIndex(1);
        Driver.RunPending();
        Type(*f.DCVolSQ, 39, "last row");
        Click(*f.DCDrv[25]);
        Click(*f.BitBtn1);
    });
    EXPECT_TRUE(Driver.Shown.size() == 1 && Driver.Shown[0].Kind == "form");
    EXPECT_EQ(Stored("SquelchSpec01"), "");
    EXPECT_EQ(Stored("SquelchSpec02"), "TEMP");
    EXPECT_EQ(Stored("SquelchSpec04"), "BACKUP*");
    EXPECT_EQ(Stored("SquelchSpec05"), "");
    EXPECT_EQ(Stored("SquelchDrive03"), "True");
    EXPECT_EQ(Stored("SquelchDrive07"), "True");
    EXPECT_EQ(Stored("DCSquelchSpec40"), "LAST ROW");
    EXPECT_EQ(Stored("DCSquelchSpec05"), "OLD?");
    EXPECT_EQ(Stored("DCSquelchDrive26"), "False");
    EXPECT_EQ(OffloadSquelch.VolumeSpecs[0].Text(), "");
    EXPECT_EQ(OffloadSquelch.VolumeSpecs[3].Text(), "BACKUP*");
    EXPECT_EQ(OffloadSquelch.VolumeSpecs[4].Text(), "");
    EXPECT_TRUE(OffloadSquelch.DriveFlags[6]);
    EXPECT_EQ(CleanupSquelch.VolumeSpecs[39].Text(), "LAST ROW");
    EXPECT_FALSE(CleanupSquelch.DriveFlags[25]);
}

TEST_F(ToolsSettingsFormTest, SaveWritesEveryFieldOfBothBlocks) {
    for (int i = 0; i < 40; ++i) {
        OffloadSquelch.VolumeSpecs[size_t(i)] = "O" + std::to_string(i + 1);
        CleanupSquelch.VolumeSpecs[size_t(i)] = "C" + std::to_string(i + 1);
    }
    // The cleanup flags start blank in a new options record; Save gives each one a value.
    RunModal([&](TToolsSettingsForm& f) {
        for (int i = 0; i < 26; ++i) {
            f.Drv[size_t(i)]->SetChecked(i % 2 == 0);
            f.DCDrv[size_t(i)]->SetChecked(i % 3 == 0);
        }
        Click(*f.BitBtn1);
    });
    auto t = Options();
    for (int n = 1; n <= 40; ++n) {
        EXPECT_EQ(t->FieldByName(NumberedName("SquelchSpec", n))->AsString(), "O" + std::to_string(n));
        EXPECT_EQ(t->FieldByName(NumberedName("DCSquelchSpec", n))->AsString(), "C" + std::to_string(n));
    }
    for (int n = 1; n <= 26; ++n) {
        const TField* offload = t->FieldByName(NumberedName("SquelchDrive", n));
        const TField* cleanup = t->FieldByName(NumberedName("DCSquelchDrive", n));
        EXPECT_FALSE(cleanup->IsNull()) << n;
        EXPECT_EQ(offload->AsBoolean(), (n - 1) % 2 == 0) << n;
        EXPECT_EQ(cleanup->AsBoolean(), (n - 1) % 3 == 0) << n;
        EXPECT_EQ(OffloadSquelch.DriveFlags[size_t(n - 1)], (n - 1) % 2 == 0);
        EXPECT_EQ(CleanupSquelch.DriveFlags[size_t(n - 1)], (n - 1) % 3 == 0);
    }
}

TEST_F(ToolsSettingsFormTest, CancelAndTheCloseBoxRestoreTheStoredPatternsAndKeepTheDriveFlags) {
    const TSquelchSettings offload = OffloadSquelch, cleanup = CleanupSquelch;
    for (bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox ? "close box" : "Cancel");
        Driver.Shown.clear();
        RunModal([&](TToolsSettingsForm& f) {
            Type(*f.Volsq, 0, "");  // clears a stored pattern
            Type(*f.Volsq, 6, "new");
            Type(*f.Volsq, 1, "x");
            EXPECT_EQ(OffloadSquelch.VolumeSpecs[0].Text(), "");
            EXPECT_EQ(OffloadSquelch.VolumeSpecs[6].Text(), "NEW");
            Click(*f.Drv[2]);
            Click(*f.Drv[4]);
            if (closeBox)
                f.Close();
            else
                Click(*f.CancelBtn);
        });
        EXPECT_EQ(Driver.Shown.size(), 1u) << "no error box";
        for (size_t i = 0; i < 40; ++i) {
            EXPECT_EQ(OffloadSquelch.VolumeSpecs[i].Text(), offload.VolumeSpecs[i].Text()) << i;
            EXPECT_EQ(CleanupSquelch.VolumeSpecs[i].Text(), cleanup.VolumeSpecs[i].Text()) << i;
        }
        EXPECT_EQ(OffloadSquelch.DriveFlags, offload.DriveFlags);
        EXPECT_EQ(CleanupSquelch.DriveFlags, cleanup.DriveFlags);
        EXPECT_EQ(Stored("SquelchSpec01"), "WORK*");
        EXPECT_EQ(Stored("SquelchSpec07"), "");
    }
}

TEST_F(ToolsSettingsFormTest, AFailedSaveIsReportedAndTheStoredValuesReturn) {
    const TSquelchSettings offload = OffloadSquelch;
    {
        platform::TScopedFileFault fault(
            [](platform::TFileOperation op, const std::string& path, int64_t, uint32_t) {
                const bool hit =
                    op == platform::TFileOperation::Write && path.find("KorvaneOptions") != std::string::npos;
                return platform::TFileFault{hit ? 5u : 0u};
            });
        RunModal([&](TToolsSettingsForm& f) {
            Type(*f.Volsq, 1, "gone");
            Click(*f.Drv[0]);
            Click(*f.BitBtn1);
            EXPECT_FALSE(f.Saved);
        });
    }
    ASSERT_EQ(Texts(), (std::vector<std::string>{"Error Saving Tool Settings"}));
    EXPECT_EQ(platform::BeepHistory(), (std::vector<uint32_t>{16}));
    EXPECT_EQ(OffloadSquelch.VolumeSpecs[1].Text(), "TEMP");
    EXPECT_EQ(OffloadSquelch.DriveFlags, offload.DriveFlags);
    EXPECT_EQ(Stored("SquelchSpec02"), "TEMP");
    EXPECT_EQ(Stored("SquelchDrive01"), "False");
}

TEST_F(ToolsSettingsFormTest, AnUnreadableOptionsTableOnCancelIsReported) {
    RunModal([&](TToolsSettingsForm& f) {
        Type(*f.Volsq, 1, "kept");
        Table("KorvaneOptions")->DeleteTable();
        Click(*f.CancelBtn);
    });
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Error Restoring Tool Settings"}));
    EXPECT_EQ(platform::BeepHistory(), (std::vector<uint32_t>{16}));
}

}  // namespace
