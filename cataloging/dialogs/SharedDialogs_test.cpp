// The folder picker and the file-not-found dialog over a fixture drive map: D: and E: are temporary
// folders, Q: is mapped to a folder that does not exist. Both dialogs are driven headless as the
// windows that open them use them.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "cataloging/dialogs/FileNotFoundForm.h"
#include "cataloging/dialogs/SelectDirectoryForm.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"
#include "platform/testsupport/TestDrives.h"
#include "platform/testsupport/UserEnv.h"

namespace cataloging {
namespace {

using namespace framework;
using platform::testsupport::TScopedDrives;
using platform::testsupport::TTempFolder;

class SharedDialogsTest : public ::testing::Test {
protected:
    platform::testsupport::ScopedUserEnv Env;
    TFormDriver Driver;
    TTempFolder DiskD, DiskE;
    std::unique_ptr<TScopedDrives> Drives;

    void SetUp() override {
        DiskD.WriteFile("DOCS/MANUAL.DOC", "manual");
        DiskD.MakeFolder("DOCS/OLD");
        DiskD.MakeFolder("GAMES");
        DiskE.MakeFolder("BACKUP");
        Drives = std::make_unique<TScopedDrives>("D=" + DiskD.Path() + "|label=BACKUP01;E=" + DiskE.Path() +
                                                 ";Q=" + DiskE.Path() + "/gone");
        platform::ClearBeepHistory();
    }
    void TearDown() override {
        Driver.RunPending();
        Drives.reset();
    }
    static std::vector<std::string> ItemsOf(TCustomListBox& List) {
        std::vector<std::string> out;
        for (int i = 0; i < List.Items().Count(); ++i) out.push_back(List.Items()[i]);
        return out;
    }
    // Opens a folder of the list as a double click does.
    void Open(TDirectoryListBox& List, const std::string& Name) {
        const std::vector<std::string> items = ItemsOf(List);
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i] == Name) {
                const TRect r = List.ItemRect(int(i));
                Driver.DoubleClick(List, 5, r.Top + 2);
                return;
            }
        ADD_FAILURE() << "no item " << Name;
    }
    std::string Grabbed(const char* Name) { return std::string(KORVANE_BUILD_DIR) + "/" + Name + ".png"; }
    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> out;
        for (const auto& s : Driver.Shown)
            if (s.Kind == "message") out.push_back(s.Text);
        return out;
    }
};

TEST_F(SharedDialogsTest, StartFolderPickerOpensOnTheDrivesRootAndTakesTheOpenedFolderOnOk) {
    std::string startFolder = "D:\\";
    Driver.AnswerWith([&](TCustomForm& Form) {
        auto& f = static_cast<TSelectDirectoryForm&>(Form);
        EXPECT_EQ(f.Caption(), "Select Folder");
        EXPECT_EQ(f.BorderStyle(), bsSizeable);
        EXPECT_EQ(f.HelpContext, 74);
        EXPECT_EQ(f.SelectionLabel->Caption(), "Current Selection (Double Click In List To Change)");
        EXPECT_FALSE(f.DrivePanel->Visible());
        // Only the selected drive: its root first, then its folders.
        EXPECT_EQ(ItemsOf(*f.DirectoryList), (std::vector<std::string>{"D:\\", "DOCS", "GAMES"}));
        EXPECT_EQ(f.DirLabel->Caption(), "D:\\");
        Open(*f.DirectoryList, "DOCS");
        EXPECT_EQ(f.DirLabel->Caption(), "D:\\DOCS");
        EXPECT_TRUE(Driver.Grab(f, Grabbed("SelectFolder")));
        Driver.Click(*f.OKBtn);
    });
    EXPECT_TRUE(ChooseStartFolder('d', startFolder));
    EXPECT_EQ(startFolder, "D:\\DOCS");
    EXPECT_TRUE(platform::BeepHistory().empty());
    ASSERT_EQ(Driver.Shown.size(), 1u);
}

TEST_F(SharedDialogsTest, StartFolderPickerKeepsTheFolderUnlessConfirmed) {
    const struct {
        const char* Name;
        TModalResult Close;
        bool Changed;
        const char* Folder;
    } cases[] = {
        {"ok", mrOk, true, "D:\\GAMES"},
        {"cancel", mrCancel, false, "D:\\OLD\\START"},
        {"close box", mrNone, false, "D:\\OLD\\START"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::string startFolder = "D:\\OLD\\START";
        Driver.AnswerWith([&](TCustomForm& Form) {
            auto& f = static_cast<TSelectDirectoryForm&>(Form);
            Open(*f.DirectoryList, "GAMES");
            if (c.Close == mrNone)
                f.Close();
            else
                f.SetModalResult(c.Close);
        });
        EXPECT_EQ(ChooseStartFolder('D', startFolder), c.Changed);
        EXPECT_EQ(startFolder, c.Folder);
    }
}

TEST_F(SharedDialogsTest, StartFolderPickerReportsADriveItCannotRead) {
    // Q: is mapped to a missing folder; Z: is not mapped at all.
    for (char drive : {'q', 'Z'}) {
        SCOPED_TRACE(drive);
        Driver.Shown.clear();
        platform::ClearBeepHistory();
        std::string startFolder = "D:\\DOCS";
        Driver.Answer(mrOk);
        EXPECT_FALSE(ChooseStartFolder(drive, startFolder));
        EXPECT_EQ(startFolder, "D:\\DOCS");
        EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{platform::MB_ICONEXCLAMATION});
        ASSERT_EQ(Driver.Shown.size(), 1u) << "the error box and no picker";
        EXPECT_EQ(Driver.Shown[0].Kind, "message");
        EXPECT_EQ(Driver.Shown[0].Text,
                  std::string("Error Reading Structure Of Drive ") + char(toupper(drive)) + ":");
        EXPECT_EQ(Driver.Shown[0].DlgType, int(mtError));
    }
}

TEST_F(SharedDialogsTest, FolderPickerWithTheDrivePanelFollowsAnotherDrive) {
    std::string folder = "E:\\BACKUP";
    Driver.AnswerWith([&](TCustomForm& Form) {
        auto& f = static_cast<TSelectDirectoryForm&>(Form);
        EXPECT_TRUE(f.DrivePanel->Visible());
        EXPECT_EQ(f.DriveComboBox1->Drive(), 'E');
        EXPECT_EQ(f.DirLabel->Caption(), "E:\\BACKUP");
        f.DriveComboBox1->SetDrive('d');
        EXPECT_EQ(ItemsOf(*f.DirectoryList), (std::vector<std::string>{"D:\\", "DOCS", "GAMES"}));
        Open(*f.DirectoryList, "DOCS");
        Open(*f.DirectoryList, "OLD");
        EXPECT_TRUE(Driver.Grab(f, Grabbed("SelectFolderAnyDrive")));
        Driver.Click(*f.OKBtn);
    });
    EXPECT_TRUE(ChooseFolderOnAnyDrive(folder));
    EXPECT_EQ(folder, "D:\\DOCS\\OLD");
}

TEST_F(SharedDialogsTest, FolderPickerKeepsItsPlacementAndSizeLimits) {
    auto* form = TCustomForm::Create<TSelectDirectoryForm>(Application);
    EXPECT_EQ(form->Constraints().MinWidth, 350);
    EXPECT_EQ(form->Constraints().MinHeight, 200);
    form->Show();
    form->SetBounds(40, 30, 500, 400);
    Driver.RunPending();
    // The buttons stay at the right edge and the list takes the room between the panels.
    EXPECT_EQ(form->ButtonPanel->Width() - form->HelpBtn->Left(), 372 - 276);
    EXPECT_EQ(form->DirectoryList->Height(),
              form->ClientHeight() - form->TopPanel->Height() - form->ButtonPanel->Height());
    form->Close();
    Driver.RunPending();
    form->Free();

    auto* again = TCustomForm::Create<TSelectDirectoryForm>(Application);
    again->Show();
    Driver.RunPending();
    EXPECT_EQ(again->BoundsRect(), TRect(40, 30, 540, 430));
    again->Free();
}

TEST_F(SharedDialogsTest, FileNotFoundShowsTheFileAndRetriesOnTheDriveThenSelected) {
    // Catalogued from E:, where it is not; the user picks D: and retries.
    std::vector<std::string> seen;
    Driver.AnswerWith([&](TCustomForm& Form) {
        auto& f = static_cast<TFileNotFoundForm&>(Form);
        EXPECT_EQ(f.Caption(), "File Not Found");
        EXPECT_EQ(f.BorderStyle(), bsDialog);
        EXPECT_EQ(f.HelpContext, 93);
        seen.push_back(std::string(1, f.SelectedDrive()) + " " + f.FName->Caption() + " " +
                       f.VLabel->Caption());
        EXPECT_TRUE(Driver.Grab(f, Grabbed("FileNotFound")));
        f.DriveSelect->SetDrive('d');
        EXPECT_EQ(f.SelectedDrive(), 'D');
        Driver.Click(*f.RetryBtn);
    });
    EXPECT_EQ(LocateCatalogedFile('e', "\\DOCS", "MANUAL.DOC", "BACKUP01"), "D:\\DOCS\\MANUAL.DOC");
    EXPECT_EQ(seen, std::vector<std::string>{"E \\DOCS\\MANUAL.DOC BACKUP01"});
    EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{platform::MB_OK});
}

TEST_F(SharedDialogsTest, FileNotFoundAsksAgainUntilFoundOrCancelled) {
    // A file that is there: no dialog.
    EXPECT_EQ(LocateCatalogedFile('D', "\\DOCS", "MANUAL.DOC", "BACKUP01"), "D:\\DOCS\\MANUAL.DOC");
    EXPECT_TRUE(Driver.Shown.empty());

    // Retry on the same drive asks again; Cancel gives up. A volume without a record comes from
    // drive A:, which the map does not hold: the box stays on its first drive.
    std::vector<std::string> seen;
    const auto look = [&](TModalResult Result) {
        Driver.AnswerWith([&seen, Result](TCustomForm& Form) {
            auto& f = static_cast<TFileNotFoundForm&>(Form);
            seen.push_back(std::string(1, f.SelectedDrive()) + " " + f.FName->Caption() + " " +
                           f.VLabel->Caption());
            f.SetModalResult(Result);
        });
    };
    look(mrRetry);
    look(mrRetry);
    look(mrCancel);
    EXPECT_EQ(LocateCatalogedFile('A', "\\", "README.TXT", kUnknownVolumeLabel), "");
    EXPECT_EQ(seen, (std::vector<std::string>{"D \\README.TXT <Unknown>", "D \\README.TXT <Unknown>",
                                              "D \\README.TXT <Unknown>"}));
    EXPECT_EQ(platform::BeepHistory().size(), 3u);
}

TEST_F(SharedDialogsTest, FileNotFoundDesign) {
    auto* form = TCustomForm::Create<TFileNotFoundForm>(Application);
    std::vector<std::string> texts;
    for (int i = 0; i < form->ComponentCount(); ++i)
        if (auto* label = dynamic_cast<TLabel*>(form->Components(i))) texts.push_back(label->Caption());
    EXPECT_EQ(texts,
              (std::vector<std::string>{
                  "Korvane Was Unable To Locate The File:", "On Drive",
                  "(The Drive Above Is Originally Set To The Drive From Which The File Was Originally "
                  "Cataloged, If It Exists)",
                  "Originally Cataloged Under The Volume Label",
                  "If You Wish To Try Again, Set The Drive Above To The Appropriate Drive (If Necessary), "
                  "Make Sure The",
                  "Disk Containing The File Is Inserted And Click ", "Retry",
                  "Or To Abort The File Open Operation, Click", "Cancel"}));
    EXPECT_EQ(form->RetryBtn->ModalResult, mrRetry);
    EXPECT_EQ(form->CancelBtn->ModalResult, mrCancel);
    EXPECT_EQ(form->HelpBtn->Caption(), "&Help");
    form->Free();
}

}  // namespace
}  // namespace cataloging
