// The main window's commands: the menus, the frame switch, the precondition checks every command
// starts with, and the commands whose windows this program part owns.

#include "app/AboutForm.h"
#include "app/AppearanceOptionsUnit.h"
#include "app/FrameCatalogingUnit.h"
#include "app/FrameHelpUnit.h"
#include "app/FrameReportsUnit.h"
#include "app/FrameSettingsUnit.h"
#include "app/FrameToolsUnit.h"
#include "app/MainUnit.h"
#include "app/ProgramIdentity.h"
#include "app/RepairUnit.h"
#include "catalog/CatalogFolderForm.h"
#include "catalog/FormParts.h"
#include "catalog/Globals.h"
#include "catalog/SelectCatalogForm.h"
#include "catalog/ToolsSettingsForm.h"
#include "catalog/oldformat/ConvertForm.h"
#include "cataloging/dialogs/CatalogDiskSpecForm.h"
#include "cataloging/editors/ActivityLogForms.h"
#include "cataloging/editors/SelectVolumeForms.h"
#include "cataloging/manager/CatalogManagerForm.h"
#include "cataloging/specs/IncludeExcludeForm.h"
#include "cataloging/volume/VolumeForms.h"
#include "controls/kit/StyledGrad.h"
#include "framework/core/SysUtils.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/FileCtrl.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/Menus.h"
#include "platform/Help.h"
#include "sysutil/shell/UtAbout.h"
#include "reports/directory/ShowDirectoryForm.h"
#include "tools/cleanup/DupCleanForm.h"
#include "tools/compare/CompareCatalogsForm.h"
#include "tools/erase/EraseEntriesForm.h"
#include "tools/import/ImportCommentForm.h"
#include "tools/import/ImportFilesForm.h"
#include "tools/offload/DiskFillForm.h"

namespace app {

using namespace framework;
using namespace catalog;

// One line of the menus: a top-level menu (Level 0), an item (1) or an item of a submenu (2); a
// caption "-" is a separator. A command's main option is 0 for none (its frame stays), 1
// Cataloging .. 5 Help; it may need a catalog and may refuse while report windows are open.
struct TCommandDef {
    int Level;
    const char* Item;
    const char* Caption;
    int Option = 0;
    bool NeedsCatalog = false;
    bool RefusesWithReports = false;
    uint16_t Key = 0;
    void (TMainForm::*Action)(TObject*) = nullptr;
};

namespace {
constexpr uint32_t kErrorBeep = 16;
constexpr int C = 1, R = 2, T = 3, S = 4, H = 5;

// Commands without an action here open windows that are not part of the program yet (the custom
// reports); they run their frame switch and checks only.
const TCommandDef kCommands[] = {
    {0, "Cataloging1", "&Cataloging"},
    {1, "CatalogDisks1", "&Catalog / Re-Catalog Disk(s)", C, true, true, VK_F2,
     &TMainForm::CatalogDisks1Click},
    {1, "UnCatalogDisks1", "&UnCatalog Disk(s)", C, true, true, VK_F3, &TMainForm::UnCatalogDisks1Click},
    {1, "TextFileImport1", "&Text File Import", C, true, true, 0, &TMainForm::TextFileImport1Click},
    {1, nullptr, "-"},
    {1, "AddChangeFileComments1", "&Add/Change File Comments"},
    {2, "AByFileSpec1", "&A. By FileSpec", C, true, true, 0, &TMainForm::AByFileSpec1Click},
    {2, "BByVolumeID1", "&B. By Volume ID", C, true, true, 0, &TMainForm::BByVolumeID1Click},
    {2, "CByFolderName1", "&C. By FolderName", C, true, true, 0, &TMainForm::CByFolderName1Click},
    {2, "DByArchiveID1", "&D. By Archive ID", C, true, true, 0, &TMainForm::DByArchiveID1Click},
    {2, "EByFileSize1", "&E. By File Size", C, true, true, 0, &TMainForm::EByFileSize1Click},
    {2, "FByFileDate1", "&F. By File Date", C, true, true, 0, &TMainForm::FByFileDate1Click},
    {2, "GByCategory1", "&G. By Category", C, true, true, 0, &TMainForm::GByCategory1Click},
    {2, "HByEmptyCategory1", "&H. By Empty Category", C, true, true, 0, &TMainForm::HByEmptyCategory1Click},
    {2, "IByFileComment1", " &I. By File Comment", C, true, true, 0, &TMainForm::IByFileComment1Click},
    {2, "JByEmptyFileComment1", "&J. By Empty File Comment", C, true, true, 0, &TMainForm::JByEmptyFileComment1Click},
    {1, "ModifyDiskComments1", "&Modify Disk Comments", C, true, true, 0, &TMainForm::ModifyDiskComments1Click},
    {1, "ImportFileComments1", "&Import File Comments", C, true, true, 0, &TMainForm::ImportFileComments1Click},
    {1, nullptr, "-"},
    {1, "LabelADisk1", "&Label A Disk", C, false, true, 0, &TMainForm::LabelADisk1Click},
    {1, "DirectoryOfADisk1", "&Directory Of A Disk", C, false, true, 0, &TMainForm::DirectoryOfADisk1Click},
    {1, "FileCategories1", "&File Category Maintenance", C, false, true, 0, &TMainForm::FileCategories1Click},
    {1, nullptr, "-"},
    {1, "ViewPurgeCatalogActivityLog1", "&View/Purge Catalog Activity Log", C, true, true, 0, &TMainForm::ViewPurgeCatalogActivityLog1Click},
    {1, "KillSpecificFileEntriesInThisCatalog1", "&Erase Specific File Entries In This Catalog", C, true, true, 0, &TMainForm::KillSpecificFileEntriesInThisCatalog1Click},
    {1, nullptr, "-"},
    {1, "ExitProgram1", "&Exit Program", 0, false, false, 0, &TMainForm::ExitProgram1Click},

    {0, "Reports1", "&Reports"},
    {1, "ADiskSummaryAllDisksSortedByVolumeID1", "&A. Disk Summary - All Disks Sorted By Volume ID", R, true, false, VK_F4, &TMainForm::ADiskSummaryAllDisksSortedByVolumeID1Click},
    {1, "BDiskSummaryAllDisksSortedByHighestFreeSpace1", "&B. Disk Summary - All Disks Sorted By Free Space", R, true, false, 0, &TMainForm::BDiskSummaryAllDisksSortedByHighestFreeSpace1Click},
    {1, nullptr, "-"},
    {1, "CCustomSummaryReports1", "&C. Custom Summary Reports", R, true, false, VK_F5, &TMainForm::CCustomSummaryReports1Click},
    {1, nullptr, "-"},
    {1, "DFilesForWildcardFilespec1", "&D. Files For Wildcard Filespec", R, true, false, VK_F6, &TMainForm::DFilesForWildcardFilespec1Click},
    {1, "EFilesForWildcardVolumeLabel1", "&E. Files For Wildcard Volume Label", R, true, false, 0, &TMainForm::EFilesForWildcardVolumeLabel1Click},
    {1, "FFilesForWildcardFolderName1", "&F. Files For Wildcard Folder Name", R, true, false, 0, &TMainForm::FFilesForWildcardFolderName1Click},
    {1, "GFilesForWildcardArchiveID1", "&G. Files For Wildcard Archive ID", R, true, false, 0, &TMainForm::GFilesForWildcardArchiveID1Click},
    {1, "HFilesForACategory1", "&H. Files By Category", R, true, false, 0, &TMainForm::HFilesForACategory1Click},
    {1, "IFilesByComment1", "&I. Files By Comment Text / Keywords", R, true, false, 0, &TMainForm::IFilesByComment1Click},
    {1, "JFilesByFilenameCommentText1", "&J. Files By Filename / Comment Text", R, true, false, 0, &TMainForm::JFilesByFilenameCommentText1Click},
    {1, "KDuplicateFilesInCatalog1", "&K. Duplicate Files In Catalog", R, false, false, 0, &TMainForm::KDuplicateFilesInCatalog1Click},
    {1, "LUniqueFilesInCatalog1", "&L. Unique Files In Catalog", R, false, false, 0, &TMainForm::LUniqueFilesInCatalog1Click},
    {1, "MVolumeSummaryFileContents1", "&M. Volume Summary/File Contents", R, true, false, 0, &TMainForm::MVolumeSummaryFileContents1Click},
    {1, "NSortedListingsOfAllFiles1", "&N. Sorted Listings Of All Files"},
    {2, "ASortByFileName1", "&A. Sort By FileName", R, true, false, 0, &TMainForm::ASortByFileName1Click},
    {2, "BSortByFileExtension1", "&B. Sort By File Extension", R, true, false, 0, &TMainForm::BSortByFileExtension1Click},
    {2, "CSortByVolumeLabel1", "&C. Sort By Volume Label", R, true, false, 0, &TMainForm::CSortByVolumeLabel1Click},
    {2, "DSortByFolderName1", "&D. Sort By Folder Name", R, true, false, 0, &TMainForm::DSortByFolderName1Click},
    {2, "ESortByArchiveID1", "&E. Sort By Archive ID", R, true, false, 0, &TMainForm::ESortByArchiveID1Click},
    {2, "FSortByFileSize1", "&F. Sort By File Size", R, true, false, 0, &TMainForm::FSortByFileSize1Click},
    {2, "GSortByFileDateTime1", "&G. Sort By File Date/Time", R, true, false, 0, &TMainForm::GSortByFileDateTime1Click},
    {2, "HSortByCategoryCode1", "&H. Sort By Category Code", R, true, false, 0, &TMainForm::HSortByCategoryCode1Click},
    {1, nullptr, "-"},
    {1, "OCustomFileReports1", "&O. Custom File Reports", R, true, false, VK_F7, &TMainForm::OCustomFileReports1Click},

    {0, "Tools1", "&Tools"},
    {1, "ManageCatalogs1", "&Manage Catalogs", T, false, true, VK_F8, &TMainForm::ManageCatalogs1Click},
    {1, "CompareCatalogs1", "&Compare Catalogs ", T, true, true, 0, &TMainForm::CompareCatalogs1Click},
    {1, nullptr, "-"},
    {1, "OffloadFilesToOfflineMedia1", "&Offload Files To Removable Disks", T, true, true, VK_F9,
     &TMainForm::OffloadFilesToOfflineMedia1Click},
    {1, "DuplicateRedundantFileCleanup1", "&Duplicate/Redundant File Cleanup", T, true, true, VK_F10, &TMainForm::DuplicateRedundantFileCleanup1Click},
    {1, "GeneralFileCleanup1", "&General File Cleanup", T, true, true, 0, &TMainForm::GeneralFileCleanup1Click},
    {1, "RetrieveCatalogedFiles1", "&Retrieve Cataloged Files", T, true, true, VK_F11, &TMainForm::RetrieveCatalogedFiles1Click},

    {0, "Settings1", "&Settings"},
    {1, "SelectCreateCatalog1", "&Select/Create/Configure Catalog", S, false, true, VK_F12,
     &TMainForm::SelectCreateCatalog1Click},
    {1, "FolderForCatalogs1", "&Folder For Catalogs", S, false, true, 0, &TMainForm::FolderForCatalogs1Click},
    {1, nullptr, "-"},
    {1, "MainWindowAppearanceOptions1", "&Main Window Appearance Options", S, false, true, 0,
     &TMainForm::MainWindowAppearanceOptions1Click},
    {1, "IncludeExcludeSpecs1", "&Include/Exclude Specs", S, false, true, 0,
     &TMainForm::IncludeExcludeSpecs1Click},
    {1, "ToolsSettings1", "&Offload && Cleanup Tools Settings", S, false, true, 0,
     &TMainForm::ToolsSettings1Click},

    {0, "Convert1", "C&onvert"},
    {1, "ConvertOldCatalogs1", "&Convert Korvane For DOS/Win16 Catalogs", 0, false, true, 0,
     &TMainForm::ConvertOldCatalogs1Click},

    {0, "Diagnose1", "&Diagnose"},
    {1, "DiagnoseRepairTables1", "&Diagnose/Repair Korvane's Tables", 0, false, true, 0,
     &TMainForm::DiagnoseRepairTables1Click},

    {0, "Help1", "&Help"},
    {1, "Contents1", "&Contents", H, false, false, 0, &TMainForm::Contents1Click},
    {1, "Index1", "&Index", H, false, false, 0, &TMainForm::Index1Click},
    {1, "HowToUseHelp1", "&How To Use Help", H, false, false, 0, &TMainForm::HowToUseHelp1Click},
    {1, nullptr, "-"},
    {1, "TipsTricks1", "&Tips && Tricks", 0, false, false, 0, &TMainForm::TipsTricks1Click},
    {1, nullptr, "-"},
    {1, "AboutWindows1", "&About Windows", 0, false, false, 0, &TMainForm::AboutWindows1Click},
    {1, "About1", "&About", H, false, false, 0, &TMainForm::About1Click},
};

// Creates a form of class T owned by the application, lets Setup prepare it, shows it modally and
// frees it, also when showing it raises.
template <class T, class TSetup>
void ShowModalPrepared(TSetup&& Setup) {
    auto* form = TCustomForm::Create<T>(Application);
    try {
        Setup(*form);
        form->ShowModal();
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
}

const char* const kFrameHeaders[] = {"Sub-Options",       "Cataloging Sub-Options", "Report Sub-Options",
                                     "Tools Sub-Options", "Settings Sub-Options",   "Help Sub-Options"};
}  // namespace

void TMainForm::BuildMainMenu() {
    MainMenu1 = NewComponent<TMainMenu>(this);
    MainMenu1->SetName("MainMenu1");
    TMenuItem* parents[2] = {nullptr, nullptr};
    int separators = 0;
    for (const TCommandDef& c : kCommands) {
        auto* item = NewComponent<TMenuItem>(this);
        item->SetName(c.Item ? c.Item : "N" + std::to_string(++separators));
        item->Caption = c.Caption;
        if (c.Key) item->ShortCut = ShortCut(c.Key, 0);
        if (c.Level == 0)
            MainMenu1->Items()->Add(item);
        else
            parents[c.Level - 1]->Add(item);
        if (c.Level < 2) parents[c.Level] = item;
        if (c.Item && c.Level > 0) item->OnClick = [this, &c](TObject* Sender) { Execute(c, Sender); };
    }
    ExitProgram1 = static_cast<TMenuItem*>(FindComponent("ExitProgram1"));
    About1 = static_cast<TMenuItem*>(FindComponent("About1"));
    UtShellAbout1 = NewComponent<sysutil::TUtShellAbout>(this);
    UtShellAbout1->SetName("UtShellAbout1");
}

void TMainForm::RunCommand(const std::string& ItemName, TObject* Sender) {
    auto* item = dynamic_cast<TMenuItem*>(FindComponent(ItemName));
    if (item && item->OnClick) item->OnClick(Sender);
}

bool TMainForm::Prologue(const TCommandDef& Command) {
    if (Command.Option != 0 && CurrentFrame != Command.Option) SimulateBtnClick(Command.Option);
    if (Command.NeedsCatalog && Trim(CurrentCatalogName).empty()) {
        ShowCatalogNotSelected();
        return false;
    }
    if (Command.RefusesWithReports && OpenReportCount != 0) {
        MessageBeep(kErrorBeep);
        MessageDlg("Please Close All Open Reports First", mtError, {mbOK}, 0);
        return false;
    }
    return true;
}

void TMainForm::Execute(const TCommandDef& Command, TObject* Sender) {
    if (Prologue(Command) && Command.Action) (this->*Command.Action)(Sender);
}

void TMainForm::ShowCatalogNotSelected() {
    MessageBeep(kErrorBeep);
    MessageDlg(
        "A Catalog Must Be Selected Before This Operation Can Take Place.\r\n\r\nYou May Select A Catalog By "
        "Using The \"Select/Create/Configure Catalog\"\r\nFeature Found In The \"Settings\" Menu.",
        mtInformation, {mbOK}, 0);
}

TSpeedButton* TMainForm::OptionButton(int Option) const {
    switch (Option) {
        case 1:
            return CatalogingBtn;
        case 2:
            return ReportsBtn;
        case 3:
            return ToolsBtn;
        case 4:
            return SettingsBtn;
        case 5:
            return HelpBtn;
        default:
            return nullptr;
    }
}

void TMainForm::ActivateFrame(int Option) {
    if (Option == CurrentFrame || Option < 0 || Option > 5) return;
    if (Frame) {
        Frame->Free();
        Frame = nullptr;
    }
    SubOptHeaderPanel->SetCaption(kFrameHeaders[Option]);
    switch (Option) {
        case 1:
            Frame = NewComponent<TFrameCataloging>(Application, *this);
            break;
        case 2:
            Frame = NewComponent<TFrameReports>(Application, *this);
            break;
        case 3:
            Frame = NewComponent<TFrameTools>(Application, *this);
            break;
        case 4:
            Frame = NewComponent<TFrameSettings>(Application, *this);
            break;
        case 5: {
            auto* help = NewComponent<TFrameHelp>(Application, *this);
            help->AboutBtn->SetCaption("About Korvane " + EditionText());
            Frame = help;
            break;
        }
        default:
            break;
    }
    if (Frame) {
        Frame->Gradient->SetFromColor(SubOptGradient->FromColor());
        Frame->Gradient->SetToColor(SubOptGradient->ToColor());
        Frame->Gradient->SetDirection(SubOptGradient->Direction());
        Frame->SetParent(SubOptPanel);
        Frame->FrameResize(Frame);
        Frame->SetVisible(true);
    }
    CurrentFrame = static_cast<int16_t>(Option);
}

void TMainForm::SimulateBtnClick(int Option) {
    TSpeedButton* button = OptionButton(Option);
    if (!button || button->Down()) return;
    button->SetDown(true);
    ActivateFrame(Option);
}

void TMainForm::CatalogingBtnClick(TObject*) {
    ActivateFrame(CatalogingBtn->Down() ? 1 : 0);
}

void TMainForm::ReportsBtnClick(TObject*) {
    ActivateFrame(ReportsBtn->Down() ? 2 : 0);
}

void TMainForm::ToolsBtnClick(TObject*) {
    ActivateFrame(ToolsBtn->Down() ? 3 : 0);
}

void TMainForm::SettingsBtnClick(TObject*) {
    ActivateFrame(SettingsBtn->Down() ? 4 : 0);
}

void TMainForm::HelpBtnClick(TObject*) {
    ActivateFrame(HelpBtn->Down() ? 5 : 0);
}

void TMainForm::FolderForCatalogs1Click(TObject*) {
    auto* dialog = TCustomForm::Create<TCatalogFolderForm>(Application);
    try {
        if (Trim(DDirname->Caption()).empty()) DDirname->SetCaption(ProgramFolder);
        try {
            dialog->DList->SetDirectory(DDirname->Caption());
        } catch (const std::exception&) {
            // The list starts where it can.
        }
        if (dialog->ShowModal() == mrOk) {
            DDirname->SetCaption(dialog->DList->Directory());
            CatalogDataFolder = DDirname->Caption();
            CurrentCatalogName.clear();
            SetStatPanels();
        }
    } catch (...) {
        dialog->Free();
        throw;
    }
    dialog->Free();
}

void TMainForm::SelectCreateCatalog1Click(TObject*) {
    catalog::ShowSelectCatalogForm();
    ActiveCatalogName->SetCaption(catalog::CurrentCatalogName);
    SetStatPanels();
}

void TMainForm::ConvertOldCatalogs1Click(TObject*) {
    catalog::oldformat::ShowConvertForm();
    SetStatPanels();
}

void TMainForm::CatalogDisks1Click(TObject*) {
    ShowModalPrepared<cataloging::TCatalogDiskSpecForm>([this](cataloging::TCatalogDiskSpecForm& Form) {
        Form.RefreshStatPanels = [this] { SetStatPanels(); };
    });
    SetStatPanels();
}

void TMainForm::UnCatalogDisks1Click(TObject*) {
    ShowModalPrepared<cataloging::TSelectVolumeIDForm>(
        [](cataloging::TSelectVolumeIDForm& Form) { Form.ForCommentEditor = false; });
    SetStatPanels();
}

// An import adds volumes, so the counts are refreshed too.
void TMainForm::TextFileImport1Click(TObject*) {
    tools::ShowImportFilesForm();
    SetStatPanels();
}

void TMainForm::ImportFileComments1Click(TObject*) {
    tools::ShowImportFileCommentForm();
}

void TMainForm::DirectoryOfADisk1Click(TObject*) {
    reports::ShowDirectoryOfADisk();
}

void TMainForm::ViewPurgeCatalogActivityLog1Click(TObject*) {
    catalog::ShowModalForm<cataloging::TViewCatalogActivityLogForm>();
}

void TMainForm::KillSpecificFileEntriesInThisCatalog1Click(TObject*) {
    catalog::ShowModalForm<tools::TEraseSpecificFileEntriesForm>();
    SetStatPanels();
}

void TMainForm::LabelADisk1Click(TObject*) {
    ShowModalPrepared<cataloging::TDiskLabelForm>(
        [](cataloging::TDiskLabelForm& Form) { Form.FromCataloguing = false; });
}

void TMainForm::ManageCatalogs1Click(TObject*) {
    cataloging::ShowCatalogManagerForm();
    SetStatPanels();
}

void TMainForm::CompareCatalogs1Click(TObject*) {
    catalog::ShowModalForm<tools::TCompareCatalogsForm>();
}

void TMainForm::OffloadFilesToOfflineMedia1Click(TObject*) {
    catalog::ShowModalForm<tools::TDiskFillForm>();
    ActiveCatalogName->SetCaption(catalog::CurrentCatalogName);
    SetStatPanels();
}

void TMainForm::RunCleanupWindow(int Mode) {
    tools::ShowDupCleanForm(Mode);
    ActiveCatalogName->SetCaption(catalog::CurrentCatalogName);
    SetStatPanels();
}

void TMainForm::DuplicateRedundantFileCleanup1Click(TObject*) {
    RunCleanupWindow(0);
}

void TMainForm::GeneralFileCleanup1Click(TObject*) {
    RunCleanupWindow(1);
}

void TMainForm::RetrieveCatalogedFiles1Click(TObject*) {
    RunCleanupWindow(2);
}

void TMainForm::IncludeExcludeSpecs1Click(TObject*) {
    catalog::ShowModalForm<cataloging::TIncludeExcludeForm>();
}

void TMainForm::MainWindowAppearanceOptions1Click(TObject*) {
    ShowAppearanceOptions(*this);
}

void TMainForm::ToolsSettings1Click(TObject*) {
    catalog::ShowToolsSettingsForm();
}

void TMainForm::DiagnoseRepairTables1Click(TObject*) {
    ShowRepairForm();
}

void TMainForm::Contents1Click(TObject*) {
    Application->HelpCommand(platform::HELP_FINDER, 0);
}

void TMainForm::Index1Click(TObject*) {
    static const char kNoKey[] = "";
    Application->HelpCommand(platform::HELP_PARTIALKEY, reinterpret_cast<uintptr_t>(kNoKey));
}

void TMainForm::HowToUseHelp1Click(TObject*) {
    Application->HelpCommand(platform::HELP_HELPONHELP, 0);
}

void TMainForm::AboutWindows1Click(TObject*) {
    UtShellAbout1->Execute();
}

void TMainForm::About1Click(TObject*) {
    catalog::ShowModalForm<TAboutForm>();
}

}  // namespace app
