// The run's update of the catalog after the walk: the longest names after selective tagging, the
// field-size check, the volume's record, the merge of New into the volume's entries, the catalog's
// last label and the activity log.

#include <algorithm>
#include <array>

#include "catalog/CatalogSizeForms.h"
#include "catalog/CatalogStore.h"
#include "catalog/Globals.h"
#include "catalog/MessageWindow.h"
#include "catalog/ProgressForm.h"
#include "cataloging/run/CatalogProgressForm.h"
#include "cataloging/run/RunDialogs.h"
#include "controls/entry/CtlMeter.h"
#include "controls/kit/CoolGauge.h"
#include "dbengine/os/OSLayer.h"
#include "dbsql/components/DbSession.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/DateTime.h"
#include "framework/core/Seams.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/ExtCtrls.h"
#include "framework/stdctrls/Label.h"
#include "framework/ui/ExtCtrls.h"
#include "platform/Beep.h"

#include "cataloging/editors/EditDiskCommentForm.h"
#include "cataloging/editors/EditFileCommentForm.h"

namespace cataloging {

using namespace framework;

// The editors open on the volume just read: the disk's row, the disk's file entries.
TRunCommentEditors RunCommentEditors{
    [](const std::string& CatalogVolumeLabel) { ShowDiskCommentEditor(CatalogVolumeLabel); },
    [](const TCatalogRunSpec& Spec) { ShowFileCommentEditor(VolumeEntriesView(Spec.CatalogLabel)); }};

namespace {

std::string Count(int64_t Value) {
    return FormatFloat("#,###,###,##0", double(Value));
}

// An entry's place in the merge: its file name, folder and archive ID, each folded to capitals as
// the catalog's case-insensitive primary index folds them, compared byte by byte field by field
// (the order in which both tables deliver their entries).
using TMergeKey = std::array<std::string, 3>;

TMergeKey MergeKeyOf(TDataSet& Table) {
    TMergeKey key{Table.FieldByName("FileName")->AsString(), Table.FieldByName("FolderName")->AsString(),
                  Table.FieldByName("ArchiveID")->AsString()};
    for (std::string& part : key) dbengine::UpperCaseLocale(0, 0, part);
    return key;
}

bool IsTagged(TDataSet& New) {
    return UpperCase(New.FieldByName("Tagged")->AsString()) == "TRUE";
}

// True when an entry's folder is one the walk could not read, or lies below one.
bool UnderUnreadableFolder(const std::vector<std::string>& Folders, const std::string& FolderName) {
    for (const std::string& folder : Folders) {
        if (AnsiSameText(FolderName, folder)) return true;
        const std::string prefix = folder == "\\" ? folder : folder + "\\";
        if (FolderName.size() > prefix.size() && AnsiSameText(FolderName.substr(0, prefix.size()), prefix))
            return true;
    }
    return false;
}

}  // namespace

// ---- Longest names after selective tagging ----

void TCatalogProgressForm::RedetermineLongestNames() {
    Spec.LongestFileName = Spec.LongestFolderName = Spec.LongestArchiveID = 0;
    LongestFileNameMeter->SetPercent(0);
    LongestFolderNameMeter->SetPercent(0);
    LongestArchiveNameMeter->SetPercent(0);
    NewDataTable->Refresh();
    const int total = NewDataTable->RecordCount();
    if (total <= 0) return;
    Screen->SetCursor(crHourGlass);
    catalog::TProgressForm* progress = catalog::ProgressForm;
    if (progress) progress->ShowForm("Re-Determining Longest Filname, Foldername and Archive ID", false);
    SetEnabled(false);
    try {
        int count = 0, shown = 0;
        NewDataTable->First();
        while (!NewDataTable->Eof()) {
            ++count;
            if (int64_t(count) * 100 / total > shown) {
                shown = int(int64_t(count) * 100 / total);
                if (progress) progress->ProgressBar->SetProgress(shown);
                ProcessMessages();
            }
            if (IsTagged(*NewDataTable)) {
                struct Name {
                    const char* Field;
                    int16_t& Longest;
                    entry::TCtlMeter* Meter;
                    int Limit;
                } names[] = {{"FileName", Spec.LongestFileName, LongestFileNameMeter, 200},
                             {"FolderName", Spec.LongestFolderName, LongestFolderNameMeter, 200},
                             {"ArchiveID", Spec.LongestArchiveID, LongestArchiveNameMeter, 90}};
                for (Name& n : names) {
                    const int length = int(NewDataTable->FieldByName(n.Field)->AsString().size());
                    if (length <= n.Longest) continue;
                    n.Longest = int16_t(length);
                    SetMeter(n.Meter, length, n.Limit);
                }
            }
            NewDataTable->Next();
        }
    } catch (const std::exception&) {
        ErrorBox("An Error Occurred While Performing Re-Determination - Operation Aborted");
        catalog::StopRequested = true;
    }
    SetEnabled(true);
    if (progress) progress->HideForm();
    Screen->SetCursor(crDefault);
}

// ---- Field sizes ----

bool TCatalogProgressForm::CheckFieldSizes() {
    const int fileName = ConfigTable->FieldByName("FileNameFieldLength")->AsInteger();
    const int folderName = ConfigTable->FieldByName("FolderNameFieldLength")->AsInteger();
    const int archiveID = ConfigTable->FieldByName("ArchiveIDFieldLength")->AsInteger();
    if (fileName >= Spec.LongestFileName && folderName >= Spec.LongestFolderName &&
        archiveID >= Spec.LongestArchiveID)
        return true;
    auto* form = TCustomForm::Create<catalog::TResizeWarningForm>(Application);
    form->Table->SetDatabaseName(catalog::CatalogDataFolder);
    form->Table->SetTableName(catalog::CurrentCatalogName + "_CAT");
    form->CatalogFileNameLengthPanel->SetCaption(IntToStr(fileName));
    form->CatalogFolderNameLengthPanel->SetCaption(IntToStr(folderName));
    form->CatalogArchiveIDLengthPanel->SetCaption(IntToStr(archiveID));
    form->FoundFileNameLengthPanel->SetCaption(IntToStr(int32_t(Spec.LongestFileName)));
    form->FoundFolderNameLengthPanel->SetCaption(IntToStr(int32_t(Spec.LongestFolderName)));
    form->FoundArchiveIDLengthPanel->SetCaption(IntToStr(int32_t(Spec.LongestArchiveID)));
    const bool adjusted = form->ShowModal() == mrOk;
    form->Release();
    // The form may have enlarged the sizes in the catalog's record.
    ConfigTable->Close();
    ConfigTable->Open();
    ConfigTable->FindKey({Variant(catalog::CurrentCatalogName)});
    return adjusted;
}

// ---- The update ----

void TCatalogProgressForm::UpdateCatalog() {
    UpdateSummaryTable();
    MergeIntoCatalogTable();
    RecordCatalogedVolume();
}

void TCatalogProgressForm::UpdateSummaryTable() {
    MainOperationLabel->SetCaption("Updating Summary File");
    ProcessMessages();
    dbsql::TDbTable& sum = *SummaryTable;
    if (sum.FindKey({Variant(Trim(Spec.CatalogLabel))})) {
        Spec.Recataloged = true;
        sum.Edit();
    } else {
        Spec.Recataloged = false;
        sum.Append();
        sum.FieldByName("CatalogVolumeLabel")->SetAsString(Spec.CatalogLabel);
        sum.FieldByName("DateFirstCataloged")->SetAsDateTime(Date());
    }
    sum.FieldByName("ActualVolumeLabel")
        ->SetAsString(Trim(Spec.ActualLabel).empty() ? "<None>" : Spec.ActualLabel);
    // The field is a signed 32-bit integer: it keeps the serial's bit pattern, which readers take
    // back as unsigned.
    sum.FieldByName("SerialNumber")->SetAsInteger(static_cast<int32_t>(Spec.VolumeSerial));
    sum.FieldByName("DateLastCataloged")->SetAsDateTime(Date());
    sum.FieldByName("DiskSize")->SetAsString(std::to_string(Spec.DiskSizeBytes));
    sum.FieldByName("DiskClusterSize")->SetAsString(std::to_string(Spec.ClusterBytes));
    sum.FieldByName("DiskUsed")->SetAsString(std::to_string(Spec.BytesInFilesOnDisk));
    sum.FieldByName("DiskFree")->SetAsString(std::to_string(Spec.DiskFreeBytes));
    sum.FieldByName("FilesOnDisk")->SetAsString(std::to_string(Spec.FilesOnDiskScanned));
    sum.FieldByName("FilesInArchives")->SetAsString(std::to_string(ArchiveFileCount));
    sum.FieldByName("CatalogedFrom")->SetAsString(std::string(1, Spec.DriveLetter));
    sum.Post();
    MainOperationLabel->SetCaption("");
    ProcessMessages();
    if (!Spec.FromCleanupTool && Spec.AutoEditDiskComments && RunCommentEditors.EditDiskComment) {
        try {
            RunCommentEditors.EditDiskComment(sum.FieldByName("CatalogVolumeLabel")->AsString());
        } catch (const std::exception&) {
            ErrorBox("An Error Occurred While Trying To Set Up To Edit The Disk Comment - Continuing");
        }
    }
}

void TCatalogProgressForm::MergeIntoCatalogTable() {
    const auto& pair = catalog::GaugeColorPairs[size_t(Random(14))];
    const bool swapped = Random(2) == 1;
    ProgressBar->SetForeColor1(swapped ? pair.second : pair.first);
    ProgressBar->SetForeColor2(swapped ? pair.first : pair.second);
    ProgressBar->SetMaxValue(100);
    ProgressBar->SetProgress(0);
    MainOperationLabel->SetCaption("Updating Catalog File");
    ProgressBar->SetVisible(true);
    CatalogUpdateStatPanel->SetVisible(true);
    ProcessMessages();

    dbsql::TDbTable& cat = *CatalogTable;
    dbsql::TDbTable& fresh = *NewDataTable;
    // The volume's entries: a range of the label index, in the primary key's order within the
    // volume; the label is a key value, never part of an expression.
    cat.SetIndexName("ByVolumeLabel");
    Screen->SetCursor(crHourGlass);
    const bool showMessage = catalog::Msg && !Spec.FromTextImport;
    if (showMessage) catalog::Msg->show_msg("Preparing For Catalog Update");
    int64_t total = 0;
    try {
        cat.Open();
        cat.SetRange({Variant(Spec.CatalogLabel)}, {Variant(Spec.CatalogLabel)});
        total = int64_t(cat.RecordCount()) + fresh.RecordCount();
    } catch (...) {
        if (showMessage) catalog::Msg->remove_msg();
        Screen->SetCursor(crDefault);
        throw;
    }
    if (showMessage) catalog::Msg->remove_msg();
    Screen->SetCursor(crDefault);
    int64_t processed = 0;
    int lastShown = 0;
    Added = Updated = Removed = 0;

    TMergeKey catKey, newKey;
    cat.First();
    bool catLive = !cat.Eof();
    if (catLive) {
        ++processed;
        catKey = MergeKeyOf(cat);
    }
    const auto seekTagged = [&] {
        for (; !fresh.Eof(); fresh.Next()) {
            ++processed;
            if (IsTagged(fresh)) {
                newKey = MergeKeyOf(fresh);
                return true;
            }
        }
        return false;
    };
    fresh.First();
    bool newLive = seekTagged();
    const auto nextNew = [&] {
        fresh.Next();
        newLive = seekTagged();
    };
    const auto nextCat = [&] {
        cat.Next();
        catLive = !cat.Eof();
        if (catLive) {
            ++processed;
            catKey = MergeKeyOf(cat);
        }
    };
    bool ranged = true;
    const auto append = [&] {
        if (!catLive && ranged) {
            // Past the volume's last entry every step adds one (all of them for a volume new to
            // the catalog): they go in without the range, whose bounds each insert would
            // otherwise look up again.
            cat.SetIndexName("");
            ranged = false;
        }
        TBookmark mark;
        if (catLive) mark = cat.GetBookmark();
        cat.Insert();
        for (const char* name : {"FileName", "FolderName", "ArchiveID", "FileSize", "DateModified",
                                 "TimeModified", "Attribute", "Comment"})
            cat.FieldByName(name)->SetAsVariant(fresh.FieldByName(name)->AsVariant());
        cat.FieldByName("VolumeLabel")->SetAsString(Spec.CatalogLabel);
        cat.FieldByName("CategoryCode")
            ->SetAsString(Spec.FromTextImport ? fresh.FieldByName("CategoryCode")->AsString() : "");
        cat.Post();
        if (catLive) {
            cat.GotoBookmark(mark);
            cat.FreeBookmark(mark);
        }
        AddedPanel->SetCaption(Count(++Added));
        nextNew();
    };
    const auto remove = [&] {
        // An entry under a folder the walk could not read is not known to be gone: it stays.
        if (UnderUnreadableFolder(Spec.UnreadableFolderNames, cat.FieldByName("FolderName")->AsString())) {
            nextCat();
            return;
        }
        const TMergeKey removedKey = catKey;
        cat.Delete();
        catLive = !cat.Eof();
        if (catLive) {
            catKey = MergeKeyOf(cat);
            if (catKey < removedKey)
                catLive = false;
            else
                ++processed;
        }
        RemovedPanel->SetCaption(Count(++Removed));
    };
    const auto update = [&] {
        cat.Edit();
        for (const char* name : {"FileSize", "DateModified", "TimeModified", "Attribute"})
            cat.FieldByName(name)->SetAsVariant(fresh.FieldByName(name)->AsVariant());
        if (Spec.FromTextImport)
            cat.FieldByName("CategoryCode")->SetAsString(fresh.FieldByName("CategoryCode")->AsString());
        const std::string comment = fresh.FieldByName("Comment")->AsString();
        // A listing's comment column is taken as it stands, even blank.
        if ((Trim(cat.FieldByName("Comment")->AsString()).empty() || Spec.CommentOverrideFromDisk) &&
            (Spec.FromTextImport || !Trim(comment).empty()))
            cat.FieldByName("Comment")->SetAsString(comment);
        cat.Post();
        UpdatedPanel->SetCaption(Count(++Updated));
        nextNew();
        nextCat();
    };
    const auto mergeStep = [&] {
        if (!catLive)
            append();
        else if (!newLive)
            remove();
        else if (newKey < catKey)
            append();
        else if (catKey < newKey)
            remove();
        else
            update();
        const int percent = total > 0 ? int(std::min<int64_t>(100, processed * 100 / total)) : 100;
        if (percent != lastShown) {
            ProgressBar->SetProgress(percent);
            lastShown = percent;
            ProcessMessages();
        }
    };
    // The steps are written in batches, each under one lock of the catalog and one write of its
    // files: other users see the catalog as it was before a batch or after it, and wait at most
    // one batch to change it. A merge inside the caller's own transaction is left to it.
    dbsql::TDbDatabase* db = cat.Database();
    const bool batching = db != nullptr && !db->InTransaction() && MergeBatch > 1;
    if (batching) db->StartTransaction();
    try {
        int batched = 0;
        while (catLive || newLive) {
            if (batching && ++batched > MergeBatch) {
                db->Commit(false);
                db->StartTransaction();
                batched = 1;
            }
            mergeStep();
        }
    } catch (...) {
        // What was merged before the failure is kept; a failing write of it is the error then.
        if (batching && db->InTransaction()) db->Commit(false);
        throw;
    }
    if (batching) db->Commit(false);
    cat.CancelRange();
    cat.Close();
    cat.SetIndexName("");
    MainOperationLabel->SetCaption("");
    ProcessMessages();
    if (!Spec.FromCleanupTool && Spec.AutoEditFileComments &&
        (Spec.ToBeCataloged > 0 || Spec.FromTextImport) && RunCommentEditors.EditFileComments)
        RunCommentEditors.EditFileComments(Spec);
}

void TCatalogProgressForm::RecordCatalogedVolume() {
    const std::string volume = SummaryTable->FieldByName("CatalogVolumeLabel")->AsString();
    ConfigTable->Edit();
    ConfigTable->FieldByName("LastVolumeLabel")->SetAsString(volume);
    ConfigTable->Post();
    catalog::LastCatalogedLabel = volume;
    if (!Spec.KeepActivityLog) return;
    std::string operation = Spec.Recataloged ? "RECATALOGED: Volume ID = " : "CATALOGED: Volume ID = ";
    operation +=
        "\"" + volume + "\" From Drive " + SummaryTable->FieldByName("CatalogedFrom")->AsString() + ":";
    AppendActivityLog(operation);
}

void TCatalogProgressForm::AppendActivityLog(const std::string& Operation) {
    catalog::AppendActivityLog(*LogTable, Operation);
}

}  // namespace cataloging
