// The main window as a launcher: every command's frame switch and refusals, the frames and their
// layout, the menus and their keys, frame buttons against menu items, and the commands whose
// windows belong to this part of the program (folder for catalogs, help, About).

#include <gtest/gtest.h>

#include <filesystem>

#include "app/FrameCatalogingUnit.h"
#include "app/FrameHelpUnit.h"
#include "app/FrameReportsUnit.h"
#include "app/FrameSettingsUnit.h"
#include "app/FrameToolsUnit.h"
#include "app/MainUnit.h"
#include "app/testsupport/MainWindowFixture.h"
#include "catalog/CatalogFolderForm.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "controls/entry/CtlState.h"
#include "controls/kit/StyledGrad.h"
#include "controls/kit/StyledMnuBtn.h"
#include "dbsql/components/DbSession.h"
#include "dbsql/components/DbTable.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Menus.h"
#include "framework/ui/testsupport/FormDriver.h"
#include "platform/Beep.h"
#include "platform/testsupport/TestDrives.h"
#include "platform/testsupport/UserEnv.h"

using namespace app;
using namespace framework;

namespace {

namespace fs = std::filesystem;

const std::string kCatalogMessage =
    "A Catalog Must Be Selected Before This Operation Can Take Place.\r\n\r\nYou May Select A Catalog By "
    "Using "
    "The \"Select/Create/Configure Catalog\"\r\nFeature Found In The \"Settings\" Menu.";
const std::string kReportsMessage = "Please Close All Open Reports First";

using CommandsTest = app::testsupport::TMainWindowFixture;

// Chooses a menu item as the message loop does: an exception of the command goes to the
// application's handler, which shows its message.
void ChooseMenuItem(TMenuItem& Item) {
    try {
        Item.Click();
    } catch (...) {
        Application->HandleException(&Item);
    }
}

struct TCommandCase {
    const char* Item;
    int Option;  // 0: the frame stays
    bool NeedsCatalog;
    bool RefusesWithReports;
};

const TCommandCase kCommandCases[] = {
    {"CatalogDisks1", 1, true, true},
    {"UnCatalogDisks1", 1, true, true},
    {"TextFileImport1", 1, true, true},
    {"AByFileSpec1", 1, true, true},
    {"BByVolumeID1", 1, true, true},
    {"CByFolderName1", 1, true, true},
    {"DByArchiveID1", 1, true, true},
    {"EByFileSize1", 1, true, true},
    {"FByFileDate1", 1, true, true},
    {"GByCategory1", 1, true, true},
    {"HByEmptyCategory1", 1, true, true},
    {"IByFileComment1", 1, true, true},
    {"JByEmptyFileComment1", 1, true, true},
    {"ModifyDiskComments1", 1, true, true},
    {"ImportFileComments1", 1, true, true},
    {"LabelADisk1", 1, false, true},
    {"DirectoryOfADisk1", 1, false, true},
    {"FileCategories1", 1, false, true},
    {"ViewPurgeCatalogActivityLog1", 1, true, true},
    {"KillSpecificFileEntriesInThisCatalog1", 1, true, true},
    {"ExitProgram1", 0, false, false},
    {"ADiskSummaryAllDisksSortedByVolumeID1", 2, true, false},
    {"BDiskSummaryAllDisksSortedByHighestFreeSpace1", 2, true, false},
    {"CCustomSummaryReports1", 2, true, false},
    {"DFilesForWildcardFilespec1", 2, true, false},
    {"EFilesForWildcardVolumeLabel1", 2, true, false},
    {"FFilesForWildcardFolderName1", 2, true, false},
    {"GFilesForWildcardArchiveID1", 2, true, false},
    {"HFilesForACategory1", 2, true, false},
    {"IFilesByComment1", 2, true, false},
    {"JFilesByFilenameCommentText1", 2, true, false},
    {"KDuplicateFilesInCatalog1", 2, false, false},
    {"LUniqueFilesInCatalog1", 2, false, false},
    {"MVolumeSummaryFileContents1", 2, true, false},
    {"ASortByFileName1", 2, true, false},
    {"BSortByFileExtension1", 2, true, false},
    {"CSortByVolumeLabel1", 2, true, false},
    {"DSortByFolderName1", 2, true, false},
    {"ESortByArchiveID1", 2, true, false},
    {"FSortByFileSize1", 2, true, false},
    {"GSortByFileDateTime1", 2, true, false},
    {"HSortByCategoryCode1", 2, true, false},
    {"OCustomFileReports1", 2, true, false},
    {"ManageCatalogs1", 3, false, true},
    {"CompareCatalogs1", 3, true, true},
    {"OffloadFilesToOfflineMedia1", 3, true, true},
    {"DuplicateRedundantFileCleanup1", 3, true, true},
    {"GeneralFileCleanup1", 3, true, true},
    {"RetrieveCatalogedFiles1", 3, true, true},
    {"SelectCreateCatalog1", 4, false, true},
    {"FolderForCatalogs1", 4, false, true},
    {"MainWindowAppearanceOptions1", 4, false, true},
    {"IncludeExcludeSpecs1", 4, false, true},
    {"ToolsSettings1", 4, false, true},
    {"ConvertOldCatalogs1", 0, false, true},
    {"DiagnoseRepairTables1", 0, false, true},
    {"Contents1", 5, false, false},
    {"Index1", 5, false, false},
    {"HowToUseHelp1", 5, false, false},
    {"TipsTricks1", 0, false, false},
    {"AboutWindows1", 0, false, false},
    {"About1", 5, false, false},
};

TEST_F(CommandsTest, EveryCommandSwitchesItsFrameThenChecksTheCatalogThenOpenReports) {
    Driver.Strict = false;  // the windows that do open are closed at once
    for (const TCommandCase& c : kCommandCases) {
        SCOPED_TRACE(c.Item);
        for (const bool withCatalog : {false, true}) {
            NoFrame();
            catalog::CurrentCatalogName = withCatalog ? "Games" : "";
            catalog::OpenReportCount = 1;
            Driver.Shown.clear();
            platform::ClearBeepHistory();
            ChooseMenuItem(*Item(c.Item));
            EXPECT_EQ(Form->CurrentFrame, c.Option);
            if (c.Option) {
                EXPECT_TRUE(OptionButton(c.Option)->Down());
                EXPECT_NE(Form->Frame, nullptr);
            }
            const std::string first = Driver.Shown.empty() ? "" : Driver.Shown[0].Text;
            if (!withCatalog && c.NeedsCatalog) {
                // Only the catalog message, also for the commands that refuse with reports open.
                ASSERT_EQ(Driver.Shown.size(), 1u);
                EXPECT_EQ(first, kCatalogMessage);
                EXPECT_EQ(Driver.Shown[0].DlgType, mtInformation);
                EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{16});
            } else if (c.RefusesWithReports) {
                ASSERT_EQ(Driver.Shown.size(), 1u);
                EXPECT_EQ(first, kReportsMessage);
                EXPECT_EQ(Driver.Shown[0].DlgType, mtError);
                EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{16});
            } else {
                EXPECT_NE(first, kCatalogMessage);
                EXPECT_NE(first, kReportsMessage);
                EXPECT_TRUE(platform::BeepHistory().empty());
            }
        }
        Application->ResetTerminated();
    }
    // Every command of the menus is in the table.
    size_t commands = 0;
    for (int i = 0; i < Form->ComponentCount(); ++i)
        if (auto* item = dynamic_cast<TMenuItem*>(Form->Components(i));
            item && item->Parent() && item->Parent()->Parent() && !item->IsLine() && item->Count() == 0)
            ++commands;
    EXPECT_EQ(commands, std::size(kCommandCases));
}

TEST_F(CommandsTest, UncatalogWithNoCatalogAndAReportOpenShowsOnlyTheCatalogMessage) {
    catalog::OpenReportCount = 1;
    Driver.Answer(IDOK);
    Form->RunCommand("UnCatalogDisks1", nullptr);
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].Kind, "message");
    EXPECT_EQ(Driver.Shown[0].Text, kCatalogMessage);
    EXPECT_EQ(Driver.Shown[0].DlgType, mtInformation);
    EXPECT_EQ(platform::BeepHistory(), std::vector<uint32_t>{16});
}

TEST_F(CommandsTest, FramesHeadersAndTheirGradient) {
    const char* headers[] = {"Sub-Options",       "Cataloging Sub-Options", "Report Sub-Options",
                             "Tools Sub-Options", "Settings Sub-Options",   "Help Sub-Options"};
    const char* classes[] = {
        "", "TFrameCataloging", "TFrameReports", "TFrameTools", "TFrameSettings", "TFrameHelp"};
    Form->SubOptGradient->SetFromColor(clRed);
    Form->SubOptGradient->SetToColor(clYellow);
    Form->SubOptGradient->SetDirection(kit::dVertical);
    for (int option : {1, 2, 3, 4, 5, 0, 3}) {
        Form->ActivateFrame(option);
        EXPECT_EQ(Form->CurrentFrame, option);
        EXPECT_EQ(Form->SubOptHeaderPanel->Caption(), headers[option]);
        if (option == 0) {
            EXPECT_EQ(Form->Frame, nullptr);
            continue;
        }
        ASSERT_NE(Form->Frame, nullptr);
        EXPECT_EQ(Form->Frame->ClassName(), classes[option]);
        EXPECT_EQ(Form->Frame->Parent(), static_cast<TWinControl*>(Form->SubOptPanel));
        EXPECT_EQ(Form->Frame->Owner(), Application);
        EXPECT_EQ(Form->Frame->Gradient->FromColor(), clRed);
        EXPECT_EQ(Form->Frame->Gradient->ToColor(), clYellow);
        EXPECT_EQ(Form->Frame->Gradient->Direction(), kit::dVertical);
        EXPECT_EQ(Form->Frame->Gradient->ColorBands(), 256);
        EXPECT_EQ(Form->Frame->Color(), clNavy);
    }
    TOptionFrame* tools = Form->Frame;
    Form->ActivateFrame(3);
    EXPECT_EQ(Form->Frame, tools) << "the same option twice does nothing";

    Form->ActivateFrame(5);
    EXPECT_EQ(static_cast<TFrameHelp*>(Form->Frame)->AboutBtn->Caption(), "About Korvane 2003");
}

TEST_F(CommandsTest, OptionButtonsShowAndDestroyTheirFrames) {
    Driver.Click(*Form->CatalogingBtn);
    EXPECT_TRUE(Form->CatalogingBtn->Down());
    EXPECT_EQ(Form->CurrentFrame, 1);
    Driver.Click(*Form->ReportsBtn);
    EXPECT_FALSE(Form->CatalogingBtn->Down());
    EXPECT_EQ(Form->CurrentFrame, 2);
    Driver.Click(*Form->ReportsBtn);  // raising the down button
    EXPECT_FALSE(Form->ReportsBtn->Down());
    EXPECT_EQ(Form->CurrentFrame, 0);
    EXPECT_EQ(Form->Frame, nullptr);
    EXPECT_EQ(Form->SubOptHeaderPanel->Caption(), "Sub-Options");
}

TEST_F(CommandsTest, F2WhileReportsAreShownPutsCatalogingDownFirst) {
    Form->SimulateBtnClick(2);
    ASSERT_EQ(Form->CurrentFrame, 2);
    auto* reports = static_cast<TFrameReports*>(Form->Frame);
    Driver.Answer(IDOK);
    PressInFrame(*reports->SumAllByVolBtn, VK_F2);
    EXPECT_TRUE(Form->CatalogingBtn->Down());
    EXPECT_FALSE(Form->ReportsBtn->Down());
    EXPECT_EQ(Form->CurrentFrame, 1);
    EXPECT_EQ(Form->SubOptHeaderPanel->Caption(), "Cataloging Sub-Options");
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].Text, kCatalogMessage);
}

TEST_F(CommandsTest, FunctionKeysFireFromAnyControl) {
    const struct {
        int Key;
        const char* Item;
        int Option;
        bool CatalogMessage;
    } keys[] = {{VK_F2, "CatalogDisks1", 1, true},
                {VK_F3, "UnCatalogDisks1", 1, true},
                {VK_F4, "ADiskSummaryAllDisksSortedByVolumeID1", 2, true},
                {VK_F5, "CCustomSummaryReports1", 2, true},
                {VK_F6, "DFilesForWildcardFilespec1", 2, true},
                {VK_F7, "OCustomFileReports1", 2, true},
                {VK_F8, "ManageCatalogs1", 3, false},
                {VK_F9, "OffloadFilesToOfflineMedia1", 3, true},
                {VK_F10, "DuplicateRedundantFileCleanup1", 3, true},
                {VK_F11, "RetrieveCatalogedFiles1", 3, true},
                {VK_F12, "SelectCreateCatalog1", 4, false}};
    for (const auto& k : keys) {
        SCOPED_TRACE(k.Item);
        if (k.Key == VK_F8) MakeCatalogConfigs();
        EXPECT_EQ(Item(k.Item)->ShortCut, ShortCut(uint16_t(k.Key), 0));
        NoFrame();
        Form->SimulateBtnClick(5);
        Driver.Shown.clear();
        if (k.CatalogMessage) Driver.Answer(IDOK);
        // F12 opens the catalog selection, F8 the catalog manager.
        const bool opensWindow = k.Key == VK_F12 || k.Key == VK_F8;
        if (opensWindow) Driver.Answer(mrCancel);
        PressInFrame(*static_cast<TFrameHelp*>(Form->Frame)->IndexBtn, k.Key);
        EXPECT_EQ(Form->CurrentFrame, k.Option);
        EXPECT_EQ(Driver.Shown.size(), k.CatalogMessage || opensWindow ? 1u : 0u);
    }
}

TEST_F(CommandsTest, MenusItemsAndSeparators) {
    std::vector<std::string> top;
    for (int i = 0; i < Form->MainMenu1->Items()->Count(); ++i)
        top.push_back(Form->MainMenu1->Items()->Items(i)->Caption);
    EXPECT_EQ(top, (std::vector<std::string>{"&Cataloging", "&Reports", "&Tools", "&Settings", "C&onvert",
                                             "&Diagnose", "&Help"}));
    auto captions = [](TMenuItem& Menu) {
        std::vector<std::string> out;
        for (int i = 0; i < Menu.Count(); ++i) out.push_back(Menu.Items(i)->Caption);
        return out;
    };
    TMenuItem& items = *Form->MainMenu1->Items();
    EXPECT_EQ(
        captions(*items.Items(0)),
        (std::vector<std::string>{"&Catalog / Re-Catalog Disk(s)", "&UnCatalog Disk(s)", "&Text File Import",
                                  "-", "&Add/Change File Comments", "&Modify Disk Comments",
                                  "&Import File Comments", "-", "&Label A Disk", "&Directory Of A Disk",
                                  "&File Category Maintenance", "-", "&View/Purge Catalog Activity Log",
                                  "&Erase Specific File Entries In This Catalog", "-", "&Exit Program"}));
    EXPECT_EQ(captions(*items.Items(0)->Items(4)),
              (std::vector<std::string>{"&A. By FileSpec", "&B. By Volume ID", "&C. By FolderName",
                                        "&D. By Archive ID", "&E. By File Size", "&F. By File Date",
                                        "&G. By Category", "&H. By Empty Category", " &I. By File Comment",
                                        "&J. By Empty File Comment"}));
    EXPECT_EQ(captions(*items.Items(1)),
              (std::vector<std::string>{
                  "&A. Disk Summary - All Disks Sorted By Volume ID",
                  "&B. Disk Summary - All Disks Sorted By Free Space", "-", "&C. Custom Summary Reports", "-",
                  "&D. Files For Wildcard Filespec", "&E. Files For Wildcard Volume Label",
                  "&F. Files For Wildcard Folder Name", "&G. Files For Wildcard Archive ID",
                  "&H. Files By Category", "&I. Files By Comment Text / Keywords",
                  "&J. Files By Filename / Comment Text", "&K. Duplicate Files In Catalog",
                  "&L. Unique Files In Catalog", "&M. Volume Summary/File Contents",
                  "&N. Sorted Listings Of All Files", "-", "&O. Custom File Reports"}));
    EXPECT_EQ(captions(*items.Items(1)->Items(15)),
              (std::vector<std::string>{"&A. Sort By FileName", "&B. Sort By File Extension",
                                        "&C. Sort By Volume Label", "&D. Sort By Folder Name",
                                        "&E. Sort By Archive ID", "&F. Sort By File Size",
                                        "&G. Sort By File Date/Time", "&H. Sort By Category Code"}));
    EXPECT_EQ(
        captions(*items.Items(2)),
        (std::vector<std::string>{"&Manage Catalogs", "&Compare Catalogs ", "-",
                                  "&Offload Files To Removable Disks", "&Duplicate/Redundant File Cleanup",
                                  "&General File Cleanup", "&Retrieve Cataloged Files"}));
    EXPECT_EQ(captions(*items.Items(3)),
              (std::vector<std::string>{"&Select/Create/Configure Catalog", "&Folder For Catalogs", "-",
                                        "&Main Window Appearance Options", "&Include/Exclude Specs",
                                        "&Offload && Cleanup Tools Settings"}));
    EXPECT_EQ(captions(*items.Items(4)),
              (std::vector<std::string>{"&Convert Korvane For DOS/Win16 Catalogs"}));
    EXPECT_EQ(captions(*items.Items(5)), (std::vector<std::string>{"&Diagnose/Repair Korvane's Tables"}));
    EXPECT_EQ(captions(*items.Items(6)),
              (std::vector<std::string>{"&Contents", "&Index", "&How To Use Help", "-", "&Tips && Tricks",
                                        "-", "&About Windows", "&About"}));
}

// Each frame button against the menu item it stands for, in the same state: the same frame, the
// same boxes and windows, the same help requests.
TEST_F(CommandsTest, FrameButtonsDoWhatTheirMenuItemsDo) {
    const struct {
        int Option;
        const char* Button;
        const char* Item;
    } buttons[] = {
        {1, "CatalogRecatalogBtn", "CatalogDisks1"},
        {1, "UncatalogBtn", "UnCatalogDisks1"},
        {1, "TextFileImportBtn", "TextFileImport1"},
        {1, "ViewPurgeCatalogActivityLogBtn", "ViewPurgeCatalogActivityLog1"},
        {1, "ModifyDiskCommentsBtn", "ModifyDiskComments1"},
        {1, "ImportFileCommentsBtn", "ImportFileComments1"},
        {1, "LabelADiskBtn", "LabelADisk1"},
        {1, "DirectoryOfADiskBtn", "DirectoryOfADisk1"},
        {1, "FileCategoryMaintenanceBtn", "FileCategories1"},
        {1, "EraseFileEntriesBtn", "KillSpecificFileEntriesInThisCatalog1"},
        {1, "CloseBtn", "ExitProgram1"},
        {2, "SumAllByVolBtn", "ADiskSummaryAllDisksSortedByVolumeID1"},
        {2, "SumAllByFreeBtn", "BDiskSummaryAllDisksSortedByHighestFreeSpace1"},
        {2, "CustomSummaryBtn", "CCustomSummaryReports1"},
        {2, "CustomFileBtn", "OCustomFileReports1"},
        {2, "ByFileSpecBtn", "DFilesForWildcardFilespec1"},
        {2, "ByVolumeLabelBtn", "EFilesForWildcardVolumeLabel1"},
        {2, "ByFolderNameBtn", "FFilesForWildcardFolderName1"},
        {2, "ByArchiveIDBtn", "GFilesForWildcardArchiveID1"},
        {2, "ByCategoryBtn", "HFilesForACategory1"},
        {2, "ByCommentTextKeywordsBtn", "IFilesByComment1"},
        {2, "ByFileNameCommentTextBtn", "JFilesByFilenameCommentText1"},
        {2, "DuplicateFilesBtn", "KDuplicateFilesInCatalog1"},
        {2, "UniqueFilesBtn", "LUniqueFilesInCatalog1"},
        {2, "VolSummaryFileContentsBtn", "MVolumeSummaryFileContents1"},
        {3, "ManageBtn", "ManageCatalogs1"},
        {3, "CompareBtn", "CompareCatalogs1"},
        {3, "OffloadBtn", "OffloadFilesToOfflineMedia1"},
        {3, "DuplicateBtn", "DuplicateRedundantFileCleanup1"},
        {3, "GeneralCleanupBtn", "GeneralFileCleanup1"},
        {3, "RetrieveBtn", "RetrieveCatalogedFiles1"},
        {4, "SelectCreateBtn", "SelectCreateCatalog1"},
        {4, "FolderBtn", "FolderForCatalogs1"},
        {4, "MainWinBtn", "MainWindowAppearanceOptions1"},
        {4, "IncludeExcludeBtn", "IncludeExcludeSpecs1"},
        {4, "ToolsSettingsBtn", "ToolsSettings1"},
        {5, "ContentsBtn", "Contents1"},
        {5, "IndexBtn", "Index1"},
        {5, "HowToBtn", "HowToUseHelp1"},
        {5, "TipsBtn", "TipsTricks1"},
        {5, "AboutWindowsBtn", "AboutWindows1"},
        {5, "AboutBtn", "About1"},
    };
    Driver.Strict = false;
    catalog::OpenReportCount = 1;
    struct TEffect {
        int Frame;
        std::vector<std::string> Shown;
        std::vector<std::pair<uint32_t, uintptr_t>> Help;
        bool operator==(const TEffect&) const = default;
    };
    auto effect = [&](int Option, const std::function<void()>& Act) {
        NoFrame();
        Form->SimulateBtnClick(Option);
        Driver.Shown.clear();
        HelpLog.clear();
        Act();
        Driver.RunPending();
        Application->ResetTerminated();
        return TEffect{Form->CurrentFrame, ShownTexts(), HelpLog};
    };
    for (const auto& b : buttons) {
        SCOPED_TRACE(b.Button);
        const TEffect byMenu = effect(b.Option, [&] { ChooseMenuItem(*Item(b.Item)); });
        const TEffect byButton = effect(b.Option, [&] {
            auto* button = dynamic_cast<TBitBtn*>(Form->Frame->FindComponent(b.Button));
            ASSERT_NE(button, nullptr);
            Driver.Click(*button);
        });
        EXPECT_TRUE(byMenu == byButton);
    }
    // The two menu buttons: each item of their menus against the main menu's item.
    const struct {
        int Option;
        const char* Button;
        std::vector<std::pair<std::string, std::string>> Items;
    } menuButtons[] = {
        {1,
         "AddChangeFileCommentsBtn",
         {{"&A. By Filespec", "AByFileSpec1"},
          {"&B. By Volume ID", "BByVolumeID1"},
          {"&C. By Folder Name", "CByFolderName1"},
          {"&D. By Archive ID", "DByArchiveID1"},
          {"&E. By File Size", "EByFileSize1"},
          {"&F. By File Date", "FByFileDate1"},
          {"&G. By Category", "GByCategory1"},
          {"&H. By Empty Category", "HByEmptyCategory1"},
          {" &I. By File Comment", "IByFileComment1"},
          {"&J. By Empty File Comment", "JByEmptyFileComment1"}}},
        {2,
         "SortedListingsBtn",
         {{"&A. Sort By FileName", "ASortByFileName1"},
          {"&B. Sort By File Extension", "BSortByFileExtension1"},
          {"&C. Sort By Volume Label", "CSortByVolumeLabel1"},
          {"&D. Sort By Folder Name", "DSortByFolderName1"},
          {"&E. Sort By Archive ID", "ESortByArchiveID1"},
          {"&F. Sort By File Size", "FSortByFileSize1"},
          {"&G. Sort By File Date/Time", "GSortByFileDateTime1"},
          {"&H. Sort By Category Code", "HSortByCategoryCode1"}}},
    };
    for (const auto& m : menuButtons) {
        for (size_t i = 0; i < m.Items.size(); ++i) {
            SCOPED_TRACE(m.Items[i].second);
            const TEffect byMenu = effect(m.Option, [&] { ChooseMenuItem(*Item(m.Items[i].second)); });
            std::string caption;
            const TEffect byButton = effect(m.Option, [&] {
                auto* button = dynamic_cast<kit::TStyledMenuButton*>(Form->Frame->FindComponent(m.Button));
                ASSERT_NE(button, nullptr);
                Driver.AnswerMenu([&](TMenuItem& Items) {
                    caption = Items.Items(int(i))->Caption;
                    return Items.Items(int(i));
                });
                Driver.Click(*button);
            });
            EXPECT_EQ(caption, m.Items[i].first);
            EXPECT_EQ(byMenu.Frame, byButton.Frame);
            EXPECT_EQ(byMenu.Shown, byButton.Shown);
            EXPECT_EQ(byMenu.Shown, std::vector<std::string>{"message:TMessageForm:" + kCatalogMessage});
        }
    }
}

// ---- Layout ----

class FrameLayoutTest : public CommandsTest {
protected:
    void ExpectColumn(const std::vector<TControl*>& Buttons, int W, int H) {
        int top = 6;
        for (TControl* b : Buttons) {
            EXPECT_EQ(b->BoundsRect(), Rect(W / 4 + 1, top, W / 4 + 1 + W / 2, top + H)) << b->Name();
            top += H + 4;
        }
    }
    void ExpectAllFrames() {
        const int p = Form->MainOptPanel->Height();
        Form->ActivateFrame(1);
        {
            auto& f = static_cast<TFrameCataloging&>(*Form->Frame);
            const int w = f.ClientWidth(), h = (p - 63) / 6;
            const int lw = (w - 15) * 211 / 446, rw = (w - 15) * 235 / 446;
            const std::pair<TControl*, TControl*> rows[] = {
                {f.CatalogRecatalogBtn, f.LabelADiskBtn},
                {f.UncatalogBtn, f.DirectoryOfADiskBtn},
                {f.TextFileImportBtn, f.FileCategoryMaintenanceBtn},
                {f.AddChangeFileCommentsBtn, f.ViewPurgeCatalogActivityLogBtn},
                {f.ModifyDiskCommentsBtn, f.EraseFileEntriesBtn},
                {f.ImportFileCommentsBtn, f.CloseBtn}};
            for (int r = 0; r < 6; ++r) {
                const int top = 6 + r * (h + 4);
                EXPECT_EQ(rows[r].first->BoundsRect(), Rect(6, top, 6 + lw, top + h))
                    << rows[r].first->Name();
                EXPECT_EQ(rows[r].second->BoundsRect(), Rect(6 + lw + 5, top, 6 + lw + 5 + rw, top + h))
                    << rows[r].second->Name();
            }
        }
        Form->ActivateFrame(2);
        {
            auto& f = static_cast<TFrameReports&>(*Form->Frame);
            const int w = f.ClientWidth(), h = (p - 57) / 8;
            const std::pair<TControl*, TControl*> rows[] = {{f.SumAllByVolBtn, f.CustomSummaryBtn},
                                                            {f.SumAllByFreeBtn, f.CustomFileBtn},
                                                            {f.ByFileSpecBtn, f.ByFileNameCommentTextBtn},
                                                            {f.ByVolumeLabelBtn, f.DuplicateFilesBtn},
                                                            {f.ByFolderNameBtn, f.UniqueFilesBtn},
                                                            {f.ByArchiveIDBtn, f.VolSummaryFileContentsBtn},
                                                            {f.ByCategoryBtn, f.SortedListingsBtn},
                                                            {f.ByCommentTextKeywordsBtn, nullptr}};
            for (int r = 0; r < 8; ++r) {
                const int lw = r < 2 ? (w - 15) * 265 / 446 : (w - 15) / 2;
                const int rw = r < 2 ? (w - 15) * 181 / 446 : (w - 15) / 2;
                const int top = 6 + r * (h + 2);
                EXPECT_EQ(rows[r].first->BoundsRect(), Rect(6, top, 6 + lw, top + h))
                    << rows[r].first->Name();
                if (rows[r].second) {
                    EXPECT_EQ(rows[r].second->BoundsRect(), Rect(6 + lw + 5, top, 6 + lw + 5 + rw, top + h))
                        << rows[r].second->Name();
                }
            }
        }
        Form->ActivateFrame(3);
        {
            auto& f = static_cast<TFrameTools&>(*Form->Frame);
            ExpectColumn(
                {f.ManageBtn, f.CompareBtn, f.OffloadBtn, f.DuplicateBtn, f.GeneralCleanupBtn, f.RetrieveBtn},
                f.ClientWidth(), (p - 63) / 6);
        }
        Form->ActivateFrame(4);
        {
            auto& f = static_cast<TFrameSettings&>(*Form->Frame);
            ExpectColumn(
                {f.SelectCreateBtn, f.FolderBtn, f.MainWinBtn, f.IncludeExcludeBtn, f.ToolsSettingsBtn},
                f.ClientWidth(), (p - 59) / 5);
        }
        Form->ActivateFrame(5);
        {
            auto& f = static_cast<TFrameHelp&>(*Form->Frame);
            ExpectColumn({f.ContentsBtn, f.IndexBtn, f.HowToBtn, f.TipsBtn, f.AboutWindowsBtn, f.AboutBtn},
                         f.ClientWidth(), (p - 67) / 7);
        }
    }
};

TEST_F(FrameLayoutTest, ButtonsFollowTheFormulasAtTwoHeights) {
    for (int height : {375, 560}) {
        SCOPED_TRACE(height);
        Form->SetHeight(height);
        Driver.RunPending();
        ExpectAllFrames();
        // Resizing a shown frame lays it out again.
        Form->SetWidth(Form->Width() + 37);
        Driver.RunPending();
        ExpectAllFrames();
    }
}

TEST_F(FrameLayoutTest, A461WideCatalogingFrameHasColumnsOf211And235) {
    Form->ActivateFrame(1);
    Form->Constraints().SetMinWidth(0);  // 461 is a little below the window's smallest width
    Form->SetWidth(Form->Width() + 461 - Form->Frame->ClientWidth());
    Driver.RunPending();
    auto& f = static_cast<TFrameCataloging&>(*Form->Frame);
    ASSERT_EQ(f.ClientWidth(), 461);
    EXPECT_EQ(f.CatalogRecatalogBtn->Left(), 6);
    EXPECT_EQ(f.CatalogRecatalogBtn->Width(), 211);
    EXPECT_EQ(f.LabelADiskBtn->Left(), 222);
    EXPECT_EQ(f.LabelADiskBtn->Width(), 235);
    EXPECT_TRUE(Driver.Grab(*Form, std::string(KORVANE_BUILD_DIR) + "/CatalogingFrame.png"));
    Form->ActivateFrame(2);
    EXPECT_TRUE(Driver.Grab(*Form, std::string(KORVANE_BUILD_DIR) + "/ReportsFrame.png"));
}

TEST_F(FrameLayoutTest, FramesTakeTheMainOptionPanelsHeightAlsoWhileItIsHidden) {
    Form->SetHeight(500);
    Driver.RunPending();
    const int p = Form->MainOptPanel->Height();
    Form->MainOptPanel->SetVisible(false);
    Form->SetHeight(420);
    Driver.RunPending();
    EXPECT_EQ(Form->MainOptPanel->Height(), p);
    ExpectAllFrames();
    EXPECT_NE(Form->Frame->Height(), p);
}

// ---- The commands of this part ----

TEST_F(CommandsTest, FolderForCatalogs) {
    fs::create_directories(Root.Path() + "/cats");
    Form->DDirname->SetCaption("D:\\");
    catalog::CurrentCatalogName = "Games";
    Form->ActiveCatalogName->SetCaption("Games");
    Form->DisksInCatalog->SetCaption("12");

    // Cancel changes nothing.
    Driver.Answer(mrCancel);
    Form->RunCommand("FolderForCatalogs1", nullptr);
    EXPECT_EQ(catalog::CatalogDataFolder, "D:\\");
    EXPECT_EQ(catalog::CurrentCatalogName, "Games");
    EXPECT_EQ(Form->DisksInCatalog->Caption(), "12");

    // OK takes the folder the list shows, leaves no catalog selected and refreshes the panels.
    std::string start;
    Driver.AnswerWith(
        [&](TCustomForm& F) {
            auto& dialog = static_cast<catalog::TCatalogFolderForm&>(F);
            start = dialog.DList->Directory();
            dialog.DList->SetDirectory("D:\\cats");
        },
        mrOk);
    Form->RunCommand("FolderForCatalogs1", nullptr);
    EXPECT_EQ(start.rfind("D:\\", 0), 0u);
    EXPECT_EQ(Form->DDirname->Caption(), "D:\\cats");
    EXPECT_EQ(catalog::CatalogDataFolder, "D:\\cats");
    EXPECT_EQ(catalog::CurrentCatalogName, "");
    EXPECT_EQ(Form->ActiveCatalogName->Caption(), "");
    EXPECT_EQ(Form->DisksInCatalog->Caption(), "");

    // A start folder the list cannot show is passed over; an empty one starts at the program folder.
    for (const char* stored : {"Q:\\Nowhere\\At All", ""}) {
        SCOPED_TRACE(stored);
        Form->DDirname->SetCaption(stored);
        bool opened = false;
        Driver.AnswerWith([&](TCustomForm&) { opened = true; }, mrCancel);
        Form->RunCommand("FolderForCatalogs1", nullptr);
        EXPECT_TRUE(opened);
        EXPECT_EQ(catalog::CatalogDataFolder, "D:\\cats");
    }
    EXPECT_EQ(Form->DDirname->Caption(), "D:\\");
}

TEST_F(CommandsTest, SelectCatalogAndConvertOpenTheirWindowsThenRefreshThePanels) {
    MakeCatalogConfigs();
    catalog::CurrentCatalogName = "Games";
    Form->ActiveCatalogName->SetCaption("Old");
    Form->DisksInCatalog->SetCaption("12");
    std::vector<std::string> opened;
    // The catalog manager leaves another catalog current (none here); the window shows it.
    Driver.AnswerWith(
        [&](TCustomForm& F) {
            opened.push_back(F.ClassName());
            catalog::CurrentCatalogName.clear();
        },
        mrCancel);
    Form->RunCommand("SelectCreateCatalog1", nullptr);
    EXPECT_EQ(Form->ActiveCatalogName->Caption(), "");
    EXPECT_EQ(Form->DisksInCatalog->Caption(), "");

    Form->DisksInCatalog->SetCaption("12");
    Driver.AnswerWith([&](TCustomForm& F) { opened.push_back(F.ClassName()); }, mrCancel);
    Form->RunCommand("ConvertOldCatalogs1", nullptr);
    EXPECT_EQ(Form->DisksInCatalog->Caption(), "");
    EXPECT_EQ(opened, (std::vector<std::string>{"TSelectCatalogForm", "TConvertForm"}));
}

TEST_F(CommandsTest, HelpCommandsAndAbout) {
    for (const char* item : {"Contents1", "Index1", "HowToUseHelp1"}) Form->RunCommand(item, nullptr);
    ASSERT_EQ(HelpLog.size(), 3u);
    EXPECT_EQ(HelpLog[0], (std::pair<uint32_t, uintptr_t>{11, 0}));
    EXPECT_EQ(HelpLog[1].first, 261u);
    ASSERT_NE(HelpLog[1].second, 0u);
    EXPECT_STREQ(reinterpret_cast<const char*>(HelpLog[1].second), "");
    EXPECT_EQ(HelpLog[2], (std::pair<uint32_t, uintptr_t>{4, 0}));
    EXPECT_EQ(Form->CurrentFrame, 5);

    bool modal = false;
    Driver.AnswerWith([&](TCustomForm& F) { modal = F.Modal(); }, mrOk);
    Form->RunCommand("About1", nullptr);
    ASSERT_EQ(Driver.Shown.size(), 1u);
    EXPECT_EQ(Driver.Shown[0].ClassName, "TAboutForm");
    EXPECT_TRUE(modal);

    Driver.Answer(mrOk);
    Form->RunCommand("AboutWindows1", nullptr);
    ASSERT_EQ(Driver.Shown.size(), 2u);
    EXPECT_EQ(Driver.Shown[1].Kind, "form");
}

}  // namespace
