#include "tools/import/ImportFilesForm.h"

#include <algorithm>

#include "catalog/FormParts.h"
#include "catalog/GetStringForm.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "cataloging/specs/IncludeExclude.h"
#include "controls/entry/CtlClock.h"
#include "controls/entry/CtlMeter.h"
#include "controls/grid/CtlNotebook.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/DateTime.h"
#include "framework/core/Seams.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Button.h"
#include "framework/stdctrls/CheckBox.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/ExtCtrls.h"

namespace tools {

using namespace framework;

namespace {

const char* const kImportPostError =
    "Error Writing Information To Temporary Database - Your Computer's Memory or Disk May Be Full.\r\r"
    "If The \"Keep Temporary Database(s) In Memory\" Option Was Checked, Try Turning It Off.\r"
    "If It Wasn't Checked, Freeing Up Hard Disk Space May Help Alleviate The Problem.";

}  // namespace

// ---- The progress window ----

TTFImportProgressForm::TTFImportProgressForm(TComponent* AOwner) : TCatalogProgressForm(AOwner) {
    SetName("TFImportProgressForm");
    SetCaption("Import Files From A Text File");
    Spec.FromTextImport = true;
    Spec.DriveLetter = '*';
    ArchiveOperationLabel->SetVisible(false);
    ArchiveNamePanel->SetVisible(false);
    MainOperationLabel->SetCaption("");
    for (TPanel* panel : {SerialNoPanel, DiskSizePanel, DiskFreePanel, DiskClusterSizePanel}) {
        panel->SetAlignment(taCenter);
        panel->SetCaption("N/A");
    }
}

void TTFImportProgressForm::ShowImportCounters() {
    ShowScanCounters();
    FoldersScannedPanel->SetCaption("N/A");
}

void TTFImportProgressForm::PostImportEntry(const TFileImportEntry& Entry) {
    const bool passes = cataloging::PassesIncludeExclude(Entry.FolderName, Entry.FileName);
    std::array<std::string, 3> names{Entry.FileName, Entry.FolderName, Entry.ArchiveID};
    if (!FitNames(names) || catalog::StopRequested) return;
    dbsql::TDbTable& fresh = *NewDataTable;
    if (fresh.FindKey({Variant(names[0]), Variant(names[1]), Variant(names[2])})) {
        if (!Spec.DuplicateWarned) {
            Spec.DuplicateWarned = true;
            catalog::ErrorBox(
                std::string(DuplicateText) + "\r\n\r\nFilename = " + names[0] + "\r\nFolder = " + names[1] +
                "\r\nArchiveID = " + names[2] +
                "\r\n\r\nKorvane Will Ignore Any Duplicate Entries Such As This That It Encounters");
        }
        return;
    }
    if (passes) {
        try {
            fresh.Append();
            fresh.FieldByName("FileName")->SetAsString(names[0]);
            fresh.FieldByName("FolderName")->SetAsString(names[1]);
            fresh.FieldByName("ArchiveID")->SetAsString(names[2]);
            int64_t size = 0;
            if (TryStrToInt64(Entry.SizeText, size))
                fresh.FieldByName("FileSize")->SetAsString(IntToStr(size));
            TDateTime stamp = 0;
            if (!Entry.DateText.empty())
                fresh.FieldByName("DateModified")
                    ->SetAsDateTime(TryStrToDate(Entry.DateText, stamp) ? stamp : Date());
            if (!Entry.TimeText.empty())
                fresh.FieldByName("TimeModified")
                    ->SetAsDateTime(TryStrToTime(Entry.TimeText, stamp) ? stamp : Time());
            fresh.FieldByName("Attribute")->SetAsInteger(ImportAttributeFromLetters(Entry.AttributeText));
            fresh.FieldByName("CategoryCode")->SetAsString(Entry.CategoryCode);
            fresh.FieldByName("Comment")->SetAsString(Entry.Comment);
            fresh.FieldByName("Tagged")->SetAsBoolean(Spec.SelectiveCataloging ? Spec.SelectiveCatAutotag
                                                                               : true);
            fresh.Post();
        } catch (const std::exception&) {
            try {
                fresh.Cancel();
            } catch (...) {
            }
            catalog::ErrorBox(kImportPostError);
            catalog::StopRequested = true;
            return;
        }
    }
    int64_t size = 0;
    if (!TryStrToInt64(Entry.SizeText, size)) size = 0;
    if (names[2].empty()) {
        ++Spec.FilesOnDiskScanned;
        Spec.BytesInFilesOnDisk += size;
    } else {
        ++ArchiveFileCount;
        ArchiveByteCount += size;
    }
    if (passes) {
        ++Spec.ToBeCataloged;
        Spec.BytesInToBeCataloged += size;
        int16_t* longest[] = {&Spec.LongestFileName, &Spec.LongestFolderName, &Spec.LongestArchiveID};
        int16_t* widest[] = {&Spec.FileNamePixels, &Spec.FolderNamePixels, &Spec.ArchiveIDPixels};
        entry::TCtlMeter* meters[] = {LongestFileNameMeter, LongestFolderNameMeter, LongestArchiveNameMeter};
        const int limits[] = {200, 200, 90};
        for (size_t i = 0; i < 3; ++i) {
            const int length = int(names[i].size());
            if (length > *longest[i]) {
                *longest[i] = int16_t(length);
                SetMeter(meters[i], length, limits[i]);
            }
            *widest[i] =
                int16_t(std::max<int>(*widest[i], std::min(TextPixels(WidthLabel, names[i]), 32767)));
        }
    }
    ShowImportCounters();
}

void TTFImportProgressForm::UpdateCatalog() {
    // A listing's disk is as large as its files outside archives, and full.
    Spec.DiskSizeBytes = Spec.BytesInFilesOnDisk;
    Spec.DiskFreeBytes = Spec.ClusterBytes = 0;
    Spec.VolumeSerial = 0;
    UpdateSummaryTable();
    MergeIntoCatalogTable();
    if (!Spec.KeepActivityLog) return;
    const std::string operation = std::string(Spec.Recataloged ? "RECATALOGED" : "CATALOGED") +
                                  ": Volume ID = \"" + Spec.CatalogLabel + "\" From Text File";
    AppendActivityLog(operation);
}

// ---- The window ----

TImportFilesForm::TImportFilesForm(TComponent* AOwner)
    : TImportProfileForm(AOwner, FileImportProfilesSchema()) {
    SetName("ImportFilesForm");
    SetCaption("Text File Import");
    SetClientSize(640, 380);
    HelpContext = 28;
    BuildProfileList(*this, 8, 8, 320);
    Notebook = catalog::NewNotebook(*this, *this, "Notebook", 216, 8, 416, 320, {"General", "Column Specs"});
    BuildGeneralFields(*Notebook->Pages(0), 12, 12);
    KeepInMemory =
        catalog::NewControl<TCheckBox>(*this, *Notebook->Pages(0), "KeepInMemory", 12, 170, 300, 19);
    KeepInMemory->SetCaption("Keep Temporary Database(s) In Memory");
    BuildColumnGrid(*Notebook->Pages(1), 12, 6,
                    {{"FileName", "FNStartCol", "FNEndCol"},
                     {"Folder Name", "FldStartCol", "FldEndCol"},
                     {"Archive ID", "ArcStartCol", "ArcEndCol"},
                     {"File Size", "FSizeStartCol", "FSizeEndCol"},
                     {"Date Modified", "FDateStartCol", "FDateEndCol"},
                     {"Time Modified", "FTimeStartCol", "FTimeEndCol"},
                     {"Category Code", "FCatCodeStartCol", "FCatCodeEndCol"},
                     {"Attribute", "FAttrStartCol", "FAttrEndCol"},
                     {"Comment", "CmtStartCol", "CmtEndCol"}});
    BuildButtons(*this, 120, 340, "&Import Text");
}

bool TImportFilesForm::LoadImportOptions(TTFImportProgressForm& Run) {
    dbsql::TDbTable& config = *Run.ConfigTable;
    config.SetDatabaseName(catalog::ProgramFolder);
    config.SetTableName(catalog::CatalogConfigsSchema().TableName);
    bool found = false;
    try {
        config.Open();
        found = config.FindKey({Variant(catalog::CurrentCatalogName)});
    } catch (const std::exception&) {
    }
    if (!found) {
        catalog::ErrorBox(NoConfigText);
        return false;
    }
    cataloging::TCatalogRunSpec& spec = Run.Spec;
    const std::pair<const char*, bool cataloging::TCatalogRunSpec::*> options[] = {
        {"SelectiveCatAutotag", &cataloging::TCatalogRunSpec::SelectiveCatAutotag},
        {"TfiSelectiveCataloging", &cataloging::TCatalogRunSpec::SelectiveCataloging},
        {"WarnIfExists", &cataloging::TCatalogRunSpec::WarnIfExists},
        {"KeepActivityLog", &cataloging::TCatalogRunSpec::KeepActivityLog},
        {"AutoEditDiskComments", &cataloging::TCatalogRunSpec::AutoEditDiskComments},
        {"AutoEditFileComments", &cataloging::TCatalogRunSpec::AutoEditFileComments},
        {"CommentOverrideFromDisk", &cataloging::TCatalogRunSpec::CommentOverrideFromDisk}};
    for (const auto& [name, option] : options) {
        try {
            spec.*option = catalog::IsTrueText(config.FieldByName(name)->AsString());
        } catch (const std::exception&) {
        }
    }
    return true;
}

bool TImportFilesForm::AskVolumeLabel(TTFImportProgressForm& Run) {
    auto* prompt = TCustomForm::Create<catalog::TGetStringForm>(Application);
    prompt->Prompt->SetCaption("Enter The Volume Label Under Which To Catalog This Text");
    prompt->ResultString->SetMaxLength(11);
    prompt->ResultString->SetCharCase(ecUpperCase);
    bool accepted = false;
    try {
        while (!accepted && prompt->ShowModal() == mrOk) {
            // Stored as the cataloguing run stores labels: trimmed, in capitals.
            const std::string label = UpperCase(Trim(prompt->ResultString->Text()));
            if (label.empty()) {
                catalog::ErrorBox(BlankLabelText, false);
                continue;
            }
            bool exists = false;
            try {
                exists = Run.SummaryTable->Active() && Run.SummaryTable->FindKey({Variant(label)});
            } catch (const std::exception&) {
            }
            if (Run.Spec.WarnIfExists && exists &&
                MessageDlg(
                    "A Disk With This Name (\"" + label + "\") Already Exists In The Catalog.  Continue?",
                    mtConfirmation, {mbYes, mbNo}, 0) != mrYes)
                continue;
            Run.Spec.CatalogLabel = Run.Spec.ActualLabel = label;
            accepted = true;
        }
    } catch (...) {
        prompt->Free();
        throw;
    }
    prompt->Free();
    return accepted;
}

void TImportFilesForm::ReadListing(TTFImportProgressForm& Run, TImportFile& File,
                                   const TFileImportColumns& Columns) {
    TFileListingParser parser(Columns);
    int64_t index = -int64_t(ProfileInt("SkipLines"));
    std::string line;
    while (!catalog::StopRequested) {
        const TImportLineReader::TResult read = File.ReadLine(line);
        if (read == TImportLineReader::lrEnd) break;
        if (read == TImportLineReader::lrError) {
            File.Close();
            catalog::ErrorBox(ReadErrorText);
            parser.Drop();
            catalog::StopRequested = false;
            break;
        }
        if (index >= 0)
            if (auto entry = parser.Feed(line)) Run.PostImportEntry(*entry);
        ++index;
        Run.ProcessMessages();
    }
    if (auto entry = parser.Finish()) Run.PostImportEntry(*entry);
    File.Close();
}

void TImportFilesForm::FinishRun(TTFImportProgressForm& Run) {
    cataloging::TCatalogRunSpec& spec = Run.Spec;
    if (spec.ToBeCataloged > 0 && spec.SelectiveCataloging) {
        Run.RedetermineLongestNames();
        if (!catalog::StopRequested) Run.ShowImportCounters();
    }
    if (!catalog::StopRequested && !Run.CheckFieldSizes()) catalog::StopRequested = true;
    if (!catalog::StopRequested) {
        Run.AbortBtn->SetEnabled(false);
        Run.UpdateCatalog();
        Run.MainOperationLabel->SetCaption("");
        Run.MainOperationPanel->SetAlignment(taCenter);
        Run.MainOperationPanel->SetCaption("Catalog Update Completed");
        Run.ProgressBar->SetVisible(false);
    }
    // The figures stay on screen until the user closes the window.
    Run.AbortBtn->SetVisible(false);
    Run.CloseBtn->SetVisible(true);
    Run.CloseBtn->SetEnabled(true);
    Run.SetActiveControl(Run.CloseBtn);
    catalog::StopRequested = false;
    while (!catalog::StopRequested && !Application->Terminated()) {
        Run.ProcessMessages();
        if (!catalog::StopRequested) Sleep(100);
    }
}

void TImportFilesForm::BitBtn3Click() {
    catalog::StopRequested = false;
    auto* run = TCustomForm::Create<TTFImportProgressForm>(Application);
    Progress = run;
    const auto release = [this, run] {
        Progress = nullptr;
        run->SummaryTable->Close();
        run->ConfigTable->Close();
        run->Hide();
        run->Release();
    };
    try {
        if (!LoadImportOptions(*run)) return release();
        const std::string path = ProfileText("ImportFrom");
        if (Trim(path).empty()) {
            catalog::ErrorBox(NoFileText);
            return release();
        }
        TFileImportColumns columns;
        columns.FileName = ProfileColumns("FNStartCol", "FNEndCol");
        columns.FolderName = ProfileColumns("FldStartCol", "FldEndCol");
        columns.ArchiveID = ProfileColumns("ArcStartCol", "ArcEndCol");
        columns.FileSize = ProfileColumns("FSizeStartCol", "FSizeEndCol");
        columns.DateModified = ProfileColumns("FDateStartCol", "FDateEndCol");
        columns.TimeModified = ProfileColumns("FTimeStartCol", "FTimeEndCol");
        columns.Attribute = ProfileColumns("FAttrStartCol", "FAttrEndCol");
        columns.CategoryCode = ProfileColumns("FCatCodeStartCol", "FCatCodeEndCol");
        columns.Comment = ProfileColumns("CmtStartCol", "CmtEndCol");
        if (const std::string failed = FileImportColumnCheck(columns); !failed.empty()) {
            catalog::ErrorBox(failed);
            return release();
        }
        std::unique_ptr<TImportFile> file = OpenImportFile(path);
        if (!file->Opened()) {
            catalog::ErrorBox(OpenErrorText);
            return release();
        }
        const std::string& catalogName = catalog::CurrentCatalogName;
        const auto point = [&](dbsql::TDbTable* Table, const char* Suffix) {
            Table->SetDatabaseName(catalog::CatalogDataFolder);
            Table->SetTableName(catalogName + Suffix);
        };
        point(run->SummaryTable, "_SUM");
        point(run->CatalogTable, "_CAT");
        point(run->LogTable, "_LOG");
        try {
            run->SummaryTable->Open();
        } catch (const std::exception&) {
        }
        if (!AskVolumeLabel(*run)) return release();
        run->Spec.KeepInMemory = KeepInMemory->Checked();
        if (!run->CreateNewDataTable()) return release();

        run->Show();
        run->VolumeIDPanel->SetCaption(run->Spec.CatalogLabel);
        run->ShowImportCounters();
        ReadListing(*run, *file, columns);
        if (!catalog::StopRequested && run->Spec.ToBeCataloged > 0 && run->Spec.SelectiveCataloging)
            run->SelectEntries();
        if (!catalog::StopRequested) FinishRun(*run);

        run->NewDataTable->Close();
        try {
            run->NewDataTable->DeleteTable();
        } catch (const std::exception&) {
            catalog::ErrorBox(DeleteNewErrorText, false);
        }
    } catch (...) {
        release();
        throw;
    }
    release();
}

void ShowImportFilesForm() {
    catalog::ShowModalForm<TImportFilesForm>();
}

}  // namespace tools
