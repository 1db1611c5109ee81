// The main window's report commands (the fixed file reports, duplicate and unique files and the
// sorted listings), the comment editor commands of the Cataloging menu, and the tips dialog.

#include <array>
#include <functional>
#include <optional>
#include <string>

#include "app/MainUnit.h"
#include "catalog/FormParts.h"
#include "catalog/GetStringForm.h"
#include "catalog/Globals.h"
#include "cataloging/editors/CategoryForm.h"
#include "cataloging/editors/CommentFilter.h"
#include "cataloging/editors/EditDiskCommentForm.h"
#include "cataloging/editors/EditFileCommentForm.h"
#include "cataloging/editors/SelectVolumeForms.h"
#include "controls/entry/CtlDateEdit.h"
#include "controls/kit/KitTipDlg.h"
#include "framework/core/SysUtils.h"
#include "framework/stdctrls/Buttons.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"
#include "framework/stdctrls/StdCtrls.h"
#include "reports/custom/CustomFileReportForm.h"
#include "reports/custom/CustomSummaryReportForm.h"
#include "reports/filereport/DupUniqueFinder.h"
#include "reports/filereport/FileReportScreenForm.h"
#include "reports/summary/SummaryReportScreenForm.h"
#include "reports/volsummary/VolSummaryScreenForm.h"
#include "dbsql/components/DbTable.h"
#include "framework/data/Fields.h"

namespace app {

using namespace framework;
using reports::TFileReportScreenForm;

namespace {

// The report items by number.
enum : int {
    riFileName = 1,
    riVolumeLabel,
    riFolderName,
    riArchiveID,
    riFileSize,
    riDateModified,
    riTimeModified,
    riAttribute,
    riCategoryCode,
    riCategory,
    riComment,
    riFileExt
};

void SetOp(TFileReportScreenForm& Form, int Item, uint8_t Op) {
    Form.Op[size_t(Item - 1)] = Op;
}

// Sort keys, all ascending, in the order given.
void SortBy(TFileReportScreenForm& Form, std::initializer_list<int> Items) {
    Form.SortSpec = {};
    uint8_t priority = 0;
    for (int item : Items) Form.SortSpec[size_t(item - 1)] = {++priority, 1};
}

// Columns 1 to 8 for items 1 to 8, the category description in 9 and the comment in 10; sorted by
// name, volume, folder and archive.
void StandardLayout(TFileReportScreenForm& Form) {
    Form.ColumnPos = {};
    for (int item = riFileName; item <= riAttribute; ++item) Form.ColumnPos[size_t(item - 1)] = uint8_t(item);
    Form.ColumnPos[riCategory - 1] = 9;
    Form.ColumnPos[riComment - 1] = 10;
    SortBy(Form, {riFileName, riVolumeLabel, riFolderName, riArchiveID});
}

// Creates the file report window, lets Fill set what to report (false: the command ends without a
// report), builds the report and shows the window modeless, or releases it when nothing was built.
void RunFileReport(const std::function<bool(TFileReportScreenForm&)>& Fill) {
    auto* form = TCustomForm::Create<TFileReportScreenForm>(Application);
    bool shown = false;
    try {
        StandardLayout(*form);
        if (Fill(*form) && form->CreateReport()) {
            form->Show();
            shown = true;
        }
    } catch (...) {
        form->Release();
        throw;
    }
    if (!shown) form->Release();
}

// The one-line prompt of the commands: upper case, starting with Initial; no value when cancelled.
std::optional<std::string> AskText(const char* PromptText, const std::string& Initial) {
    auto* form = TCustomForm::Create<catalog::TGetStringForm>(Application);
    std::optional<std::string> answer;
    try {
        form->Prompt->SetCaption(PromptText);
        form->ResultString->SetCharCase(ecUpperCase);
        form->ResultString->SetText(Initial);
        if (form->ShowModal() == mrOk) answer = form->ResultString->Text();
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
    return answer;
}

// A report of the entries whose item matches the typed mask.
void WildcardReport(const char* PromptText, const char* TitleStart, int Item, std::string TFileReportScreenForm::*Spec) {
    RunFileReport([&](TFileReportScreenForm& Form) {
        const auto text = AskText(PromptText, "*");
        if (!text) return false;
        Form.ReportTitle = std::string(TitleStart) + "\"" + *text + "\"";
        Form.*Spec = *text;
        SetOp(Form, Item, reports::rcMatches);
        return true;
    });
}

// The duplicate or unique report after its options dialog.
void DupUniqueReport(bool Duplicates) {
    RunFileReport([&](TFileReportScreenForm& Form) {
        auto* dialog = TCustomForm::Create<reports::TGetDupUniqueFileReportSpecsForm>(Application);
        bool ok = false;
        try {
            dialog->SetCaption(Duplicates ? "Duplicate File Report Specifications"
                                          : "Unique File Report Specifications");
            ok = dialog->ShowModal() == mrOk;
            Form.UseFileSize = dialog->UseFileSize->Checked();
            Form.UseVersions = dialog->UseVersions->Checked();
        } catch (...) {
            dialog->Free();
            throw;
        }
        dialog->Free();
        if (!ok) return false;
        Form.ReportTitle = Duplicates ? "Duplicate Files" : "Unique Files";
        (Duplicates ? Form.OnlyDuplicate : Form.OnlyUnique) = true;
        return true;
    });
}

// A listing of every entry, sorted by the keys given.
void SortedListing(const char* Title, std::initializer_list<int> SortItems) {
    RunFileReport([&](TFileReportScreenForm& Form) {
        Form.ReportTitle = Title;
        Form.FileNameSpec = "*";
        SetOp(Form, riFileName, reports::rcMatches);
        SortBy(Form, SortItems);
        return true;
    });
}

// The comment dialog's lines, each trimmed and upper-cased, the non-empty ones joined with blanks.
std::string CommentWords(const cataloging::TGetCommentForm& Dialog) {
    return Dialog.JoinedText();
}

const char* const kTips[] = {
    "What a run reads can be narrowed: the Include/Exclude Specs of the Settings menu leave out the folders "
    "and files you never want in a catalog, such as temporary files.",
    "To catalog one folder of a disk rather than all of it, choose the folder in the Catalog Disk "
    "criteria before you start the run.",
    "A disk whose label says little can be given an alias: the catalog then shows the alias as its "
    "volume ID, while the disk keeps its own label.",
    "The report windows remember their font. Press Font in any report to choose a smaller or larger "
    "one; the columns follow.",
    "When a disk has been relabelled since it was catalogued, relabel it in the Catalog Manager so the "
    "catalog and the disk agree again.",
    "A summary report lists disks, one line each, with their sizes and free space; a file report lists "
    "the files themselves. Start with a summary to find the disk, then a file report to find the file.",
    "Tape backups can be catalogued too: save the backup program's listing as a text file and bring it "
    "in with Text File Import.",
    "You can keep several catalogs, for example one for work disks and one for home. Select/Create/"
    "Configure Catalog switches between them.",
    "A file found in a report can be opened from the report itself: press Open, and insert the disk "
    "when you are asked for it.",
    "The Catalog Manager copies and moves disks between catalogs, so one large catalog can be split in "
    "two and two can be merged into one.",
    "Most windows have a Help button, and F1 shows help for the window you are in.",
    "The Contents and Index of the Help menu lead to every subject of the help file, including the "
    "reports and the tools.",
};

// The volume list of the current catalog; the chosen volume's label, or empty when cancelled.
std::string ChooseOneVolume() {
    auto* form = TCustomForm::Create<cataloging::TSelectOneVolumeForm>(Application);
    std::string label;
    try {
        if (form->ShowModal() == mrOk) label = form->SummaryTable->FieldByName("CatalogVolumeLabel")->AsString();
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
    return label;
}

}  // namespace

// ---- Disk summaries ----

void TMainForm::ADiskSummaryAllDisksSortedByVolumeID1Click(TObject*) {
    reports::RunSummaryReport(reports::DiskSummaryByVolumeSpec());
}

void TMainForm::BDiskSummaryAllDisksSortedByHighestFreeSpace1Click(TObject*) {
    reports::RunSummaryReport(reports::DiskSummaryByFreeSpaceSpec());
}

void TMainForm::CCustomSummaryReports1Click(TObject*) {
    reports::ShowCustomSummaryReports();
}

void TMainForm::MVolumeSummaryFileContents1Click(TObject*) {
    reports::ShowVolSummaryFileContents();
}

// ---- File reports ----

void TMainForm::DFilesForWildcardFilespec1Click(TObject*) {
    WildcardReport("Enter FileSpec To Match", "Files Matching Wildcard FileName ", riFileName,
                   &TFileReportScreenForm::FileNameSpec);
}

void TMainForm::EFilesForWildcardVolumeLabel1Click(TObject*) {
    RunFileReport([](TFileReportScreenForm& Form) {
        const auto text = AskText("Enter Wildcard Volume Label To Match (Leave Blank For List)", "*");
        if (!text) return false;
        std::string label = *text;
        if (Trim(label).empty()) label = ChooseOneVolume();
        if (label.empty()) return false;
        Form.ReportTitle = "Files With Volume Label \"" + label + "\"";
        Form.VolumeLabelSpec = label;
        SetOp(Form, riVolumeLabel, reports::rcMatches);
        return true;
    });
}

void TMainForm::FFilesForWildcardFolderName1Click(TObject*) {
    WildcardReport("Enter Wildcard Folder Name To Match", "Files With Folder Name ", riFolderName,
                   &TFileReportScreenForm::FolderNameSpec);
}

void TMainForm::GFilesForWildcardArchiveID1Click(TObject*) {
    WildcardReport("Enter Wildcard Archive ID To Match", "Files With Archive ID ", riArchiveID,
                   &TFileReportScreenForm::ArchiveIDSpec);
}

void TMainForm::HFilesForACategory1Click(TObject*) {
    RunFileReport([](TFileReportScreenForm& Form) {
        auto* dialog = TCustomForm::Create<cataloging::TGetCategoryForm>(Application);
        std::string code, description;
        bool ok = false;
        try {
            ok = dialog->ShowModal() == mrOk;
            code = dialog->Code->Text();
            description = dialog->Description->Text();
        } catch (...) {
            dialog->Free();
            throw;
        }
        dialog->Free();
        if (!ok) return false;
        Form.ReportTitle = "Files For Category \"" + code + "\" (" + description + ")";
        Form.CategoryCodeValue = code.substr(0, 6);
        SetOp(Form, riCategoryCode, reports::rcMatches);
        return true;
    });
}

void TMainForm::IFilesByComment1Click(TObject*) {
    RunFileReport([](TFileReportScreenForm& Form) {
        auto* dialog = TCustomForm::Create<cataloging::TGetCommentForm>(Application);
        bool ok = false;
        std::string words;
        uint8_t op = reports::rcAllKeywords;
        int32_t required = 0;
        try {
            dialog->SetCaption("Comment Specification For Report");
            dialog->HelpContext = 49;
            ok = dialog->ShowModal() == mrOk;
            words = CommentWords(*dialog);
            if (words.empty())
                op = reports::rcBlankComment;
            else if (dialog->SomeKeywordsBtn->Checked())
                op = reports::rcSomeKeywords;
            else if (dialog->AnywhereBtn->Checked())
                op = reports::rcMatches;
            required = StrToIntDef(Trim(dialog->WordCount->Text()), 0);
        } catch (...) {
            dialog->Free();
            throw;
        }
        dialog->Free();
        if (!ok) return false;
        const std::string quoted = "\"" + words + "\"";
        switch (op) {
            case reports::rcBlankComment: Form.ReportTitle = "Files With Blank Comments"; break;
            case reports::rcSomeKeywords:
                Form.ReportTitle = "Files With " + std::to_string(required) + "Keywords " + quoted;
                break;
            case reports::rcMatches: Form.ReportTitle = "Files With Comments Containing " + quoted; break;
            default: Form.ReportTitle = "Files With All Keywords " + quoted; break;
        }
        Form.CommentText = words;
        SetOp(Form, riComment, op);
        Form.MatchesRequired = required;
        return true;
    });
}

void TMainForm::JFilesByFilenameCommentText1Click(TObject*) {
    RunFileReport([](TFileReportScreenForm& Form) {
        const auto text = AskText("Enter Text To Find In The FileName or Comment", "");
        if (!text) return false;
        Form.ReportTitle = "Files With \"" + *text + "\" In The FileName/Comment";
        Form.FileNameSpec = *text;
        SetOp(Form, riFileName, reports::rcNameOrComment);
        return true;
    });
}

void TMainForm::KDuplicateFilesInCatalog1Click(TObject*) {
    DupUniqueReport(true);
}

void TMainForm::LUniqueFilesInCatalog1Click(TObject*) {
    DupUniqueReport(false);
}

void TMainForm::OCustomFileReports1Click(TObject*) {
    reports::ShowCustomFileReports();
}

// ---- Sorted listings ----

void TMainForm::ASortByFileName1Click(TObject*) {
    SortedListing("All Files Sorted By FileName", {riFileName, riVolumeLabel, riFolderName, riArchiveID});
}
void TMainForm::BSortByFileExtension1Click(TObject*) {
    SortedListing("All Files Sorted By File Extension",
                  {riFileExt, riFileName, riVolumeLabel, riFolderName, riArchiveID});
}
void TMainForm::CSortByVolumeLabel1Click(TObject*) {
    SortedListing("All Files Sorted By Volume Label", {riVolumeLabel, riFileName, riFolderName, riArchiveID});
}
void TMainForm::DSortByFolderName1Click(TObject*) {
    SortedListing("All Files Sorted By Folder Name", {riFolderName, riFileName, riVolumeLabel, riArchiveID});
}
void TMainForm::ESortByArchiveID1Click(TObject*) {
    SortedListing("All Files Sorted By Archive ID", {riArchiveID, riFileName, riVolumeLabel, riFolderName});
}
void TMainForm::FSortByFileSize1Click(TObject*) {
    SortedListing("All Files Sorted By File Size",
                  {riFileSize, riFileName, riVolumeLabel, riFolderName, riArchiveID});
}
void TMainForm::GSortByFileDateTime1Click(TObject*) {
    SortedListing("All Files Sorted By Date/Time Modified",
                  {riDateModified, riFileName, riVolumeLabel, riFolderName, riArchiveID});
}
void TMainForm::HSortByCategoryCode1Click(TObject*) {
    RunFileReport([](TFileReportScreenForm& Form) {
        Form.ReportTitle = "All Files Sorted Category Code";
        Form.FileNameSpec = "*";
        SetOp(Form, riFileName, reports::rcMatches);
        SortBy(Form, {riCategoryCode, riFileName, riVolumeLabel, riFolderName, riArchiveID});
        Form.ColumnPos = {};
        for (int item = riFileName; item <= riComment; ++item) Form.ColumnPos[size_t(item - 1)] = uint8_t(item);
        return true;
    });
}

// ---- File comment editor commands ----

void TMainForm::EditFileComments(uint8_t FilterMode, uint8_t CompareOp, const std::string& Criteria,
                                 TDateTime DateValue, bool UseDate, int64_t SizeValue, int32_t KeywordCount) {
    cataloging::TCommentEditorSpec spec;
    spec.FilterMode = FilterMode;
    spec.SizeValue = SizeValue;
    if (UseDate) spec.DateValue = DateValue;
    spec.CompareOp = CompareOp;
    spec.KeywordCount = KeywordCount;
    spec.Criteria = {Criteria};
    cataloging::ShowFileCommentEditor(spec);
}

namespace {

void PromptedEditor(TMainForm& Main, const char* PromptText, uint8_t Mode) {
    const auto text = AskText(PromptText, "*");
    if (text) Main.EditFileComments(Mode, 0, *text, 0, false, 0, 0);
}

// The size or date dialog; no value when cancelled.
std::optional<cataloging::TCommentEditorSpec> AskSizeOrDate(bool Date) {
    auto* dialog = TCustomForm::Create<cataloging::TGetFileSizeDateForm>(Application);
    std::optional<cataloging::TCommentEditorSpec> answer;
    try {
        if (Date) dialog->UseDate();
        if (dialog->ShowModal() == mrOk) {
            cataloging::TCommentEditorSpec spec;
            spec.CompareOp = dialog->CompareOp();
            if (Date)
                spec.DateValue = dialog->DateField->GetDate();
            else
                spec.SizeValue = dialog->SizeValue();
            answer = spec;
        }
    } catch (...) {
        dialog->Free();
        throw;
    }
    dialog->Free();
    return answer;
}

}  // namespace

void TMainForm::AByFileSpec1Click(TObject*) {
    PromptedEditor(*this, "Enter FileSpec For File Comment Editor", cataloging::cefFileName);
}

void TMainForm::BByVolumeID1Click(TObject*) {
    auto* form = TCustomForm::Create<cataloging::TSelectVolumeIDForm>(Application);
    try {
        form->ForCommentEditor = true;
        form->ShowModal();
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
}

void TMainForm::CByFolderName1Click(TObject*) {
    PromptedEditor(*this, "Enter FolderSpec For File Comment Editor", cataloging::cefFolderName);
}

void TMainForm::DByArchiveID1Click(TObject*) {
    PromptedEditor(*this, "Enter ArchiveSpec For File Comment Editor", cataloging::cefArchiveID);
}

void TMainForm::EByFileSize1Click(TObject*) {
    if (const auto spec = AskSizeOrDate(false))
        EditFileComments(cataloging::cefFileSize, spec->CompareOp, "", 0, false, spec->SizeValue, 0);
}

void TMainForm::FByFileDate1Click(TObject*) {
    if (const auto spec = AskSizeOrDate(true))
        EditFileComments(cataloging::cefFileDate, spec->CompareOp, "", spec->DateValue, true, 0, 0);
}

void TMainForm::GByCategory1Click(TObject*) {
    auto* form = TCustomForm::Create<cataloging::TCategoryForm>(Application);
    std::optional<std::string> code;
    try {
        form->SetCaption("File Category Criteria For File Comment Editor");
        if (form->ShowModal() == mrOk) code = form->CategoryTable->FieldByName("Code")->AsString();
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
    if (code) EditFileComments(cataloging::cefCategory, 0, *code, 0, false, 0, 0);
}

void TMainForm::HByEmptyCategory1Click(TObject*) {
    EditFileComments(cataloging::cefCategory, 0, "", 0, false, 0, 0);
}

void TMainForm::IByFileComment1Click(TObject*) {
    auto* dialog = TCustomForm::Create<cataloging::TGetCommentForm>(Application);
    std::optional<cataloging::TCommentEditorSpec> spec;
    try {
        if (dialog->ShowModal() == mrOk) {
            cataloging::TCommentEditorSpec s;
            if (dialog->FillSpec(s)) spec = s;
        }
    } catch (...) {
        dialog->Free();
        throw;
    }
    dialog->Free();
    if (spec)
        EditFileComments(spec->FilterMode, spec->CompareOp, spec->Criteria.front(), 0, false, 0,
                         spec->KeywordCount);
}

void TMainForm::JByEmptyFileComment1Click(TObject*) {
    EditFileComments(cataloging::cefEmptyComment, 0, "", 0, false, 0, 0);
}

void TMainForm::ModifyDiskComments1Click(TObject*) {
    auto* form = TCustomForm::Create<cataloging::TEditDiskCommentForm>(Application);
    try {
        form->OpenSummary("");
    } catch (const std::exception&) {
        form->Free();
        catalog::ErrorBox("An Error Occurred While Trying To Set Up To Initialize The Disk Comment Editor");
        return;
    }
    try {
        form->ShowModal();
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
}

void TMainForm::FileCategories1Click(TObject*) {
    auto* form = TCustomForm::Create<cataloging::TCategoryForm>(Application);
    try {
        form->UseAsEditor();
        form->ShowModal();
    } catch (...) {
        form->Free();
        throw;
    }
    form->Free();
}

// ---- Tips ----

void TMainForm::MakeTips() {
    Tips = NewComponent<kit::TKitTipDlg>(this);
    Tips->SetName("Tips");
    Tips->CaptionHeader = "Did You Know?";
    Tips->RelatePos = kit::brMainForm;
    Tips->ShowAtStart = true;
    for (const char* tip : kTips) Tips->Tips().Add(tip);
}

void TMainForm::TipsTricks1Click(TObject*) {
    Tips->Execute();
}

}  // namespace app
