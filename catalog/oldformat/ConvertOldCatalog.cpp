#include "catalog/oldformat/ConvertOldCatalog.h"

#include <cmath>
#include <exception>
#include <memory>

#include "catalog/CatalogStore.h"
#include "catalog/GetStringForm.h"
#include "catalog/Globals.h"
#include "catalog/ProgramTables.h"
#include "catalog/ProgressForm.h"
#include "catalog/MessageWindow.h"
#include "catalog/oldformat/OldRecords.h"
#include "controls/kit/CoolGauge.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/Fields.h"
#include "framework/stdctrls/Dialogs.h"
#include "framework/stdctrls/Edit.h"
#include "framework/stdctrls/Label.h"
#include "platform/Files.h"
#include "sysutil/UtStrS.h"

namespace catalog::oldformat {

using namespace framework;

namespace {

constexpr uint32_t kErrorBeep = 16;

bool FileThere(const std::string& Path) {
    const uint32_t attributes = platform::GetFileAttributes(Path);
    return attributes != platform::INVALID_FILE_ATTRIBUTES &&
           !(attributes & platform::FILE_ATTRIBUTE_DIRECTORY);
}

struct TFileCheck {
    size_t RecordSize;
    uint8_t Marker;
    const char* OpenError;
    const char* VersionError;
    const char* ReadError;
};

const char* OldFileError(const std::string& Path, const TFileCheck& Check) {
    TOldRecordFile file;
    if (!file.Open(Path, Check.RecordSize)) return Check.OpenError;
    if (!file.WholeRecords()) return Check.VersionError;
    std::vector<uint8_t> record;
    for (int64_t n = 0; n < std::min<int64_t>(2, file.Count()); ++n) {
        if (!file.Read(n, record)) return Check.ReadError;
        if (record[0] != Check.Marker) return Check.VersionError;
    }
    return nullptr;
}

bool ShownError(const char* Error) {
    if (Error) ErrorBox(Error);
    return Error == nullptr;
}

const TFileCheck kDataCheck{kDataRecordSize, kDataMarker, "Error Opening Data File",
                            "The Catalog Data File Appears To Be The Incorrect Version",
                            "Error Reading Catalog Data File"};
const TFileCheck kSummaryCheck{kSummaryRecordSize, kSummaryMarker, "Error Opening Summary File",
                               "The Summary File Appears To Be The Incorrect Version",
                               "Error Reading Summary File"};

// The shared progress window for one file's records (no Cancel button).
class TImportProgress {
public:
    TImportProgress(const std::string& Caption, int64_t Total) : FTotal(Total) {
        if (ProgressForm) ProgressForm->ShowForm(Caption, false);
    }
    ~TImportProgress() {
        if (ProgressForm) ProgressForm->HideForm();
    }
    TImportProgress(const TImportProgress&) = delete;
    TImportProgress& operator=(const TImportProgress&) = delete;
    void Done(int64_t Count) {
        if (ProgressForm && FTotal > 0)
            ProgressForm->ProgressBar->SetProgress(
                int(std::lround(double(Count) / double(FTotal) * 100)));
        Application->ProcessMessages();
    }

private:
    int64_t FTotal;
};

void WarnSkipped(int Count, const char* What, const std::string& Explanation) {
    MessageBeep(kErrorBeep);
    MessageDlg("Korvane Was Unable To Import " + std::to_string(Count) + " " + What +
                   " Records Due To Conversion Errors or Database Errors.\r\n\r\n" + Explanation,
               mtWarning, {mbOK}, 0);
}

// Appends a record to the catalog table with the suffix for every record of the old file: Fill
// fills the table's new record from the old record's bytes and answers false for a record that
// cannot be converted. A record that cannot be converted or posted is cancelled and counted; the
// count is returned. The progress window shows Caption meanwhile.
template <class TFill>
int ImportRecords(const std::string& Path, size_t RecordSize, const std::string& Caption, const char* Suffix,
                  TFill Fill) {
    TOldRecordFile file;
    if (!file.Open(Path, RecordSize)) return 0;
    TImportProgress progress(Caption, file.Count());
    dbsql::TDbTable table;
    try {
        table.SetDatabaseName(CatalogDataFolder);
        table.SetTableName(CurrentCatalogName + Suffix);
        table.Open();
    } catch (const std::exception&) {
        return 0;
    }
    int skipped = 0;
    std::vector<uint8_t> record;
    for (int64_t n = 0; n < file.Count(); ++n) {
        bool posted = false;
        if (file.Read(n, record)) {
            try {
                table.Append();
                posted = Fill(table, std::span<const uint8_t>(record));
                if (posted) table.Post();
            } catch (const std::exception&) {
                posted = false;
            }
            if (!posted) table.Cancel();
        }
        if (!posted) ++skipped;
        progress.Done(n + 1);
    }
    table.Close();
    return skipped;
}

void ImportConfig(const TOldCatalogFiles& Files) {
    TOldRecordFile file;
    std::vector<uint8_t> record;
    TOldConfig config;
    if (!file.Open(Files.Config, kConfigRecordSize) || !file.WholeRecords() || !file.Read(0, record) ||
        !ParseConfigRecord(std::span<const uint8_t, kConfigRecordSize>(record), config))
        return;
    dbsql::TDbTable table;
    try {
        table.SetDatabaseName(ProgramFolder);
        table.SetTableName(CatalogConfigsSchema().TableName);
        table.Open();
        table.SetKey();
        table.FieldByName("CatalogName")->SetAsString(CurrentCatalogName);
        if (!table.GotoKey()) return;
        table.Edit();
        if (!config.ExpandArchives.empty())
            table.FieldByName("ExpandArchives")->SetAsString(config.ExpandArchives);
        for (const auto& [field, value] : config.Flags)
            table.FieldByName(field)->SetAsString(BooleanText(value));
        table.Post();
    } catch (const std::exception&) {
        if (table.Active()) table.Cancel();
    }
}

void ImportSummary(const TOldCatalogFiles& Files) {
    const int skipped =
        ImportRecords(Files.Summary, kSummaryRecordSize, "Importing Summary Records", "_SUM",
                      [](dbsql::TDbTable& Table, std::span<const uint8_t> Bytes) {
                          const TOldSummaryRecord r = ParseSummaryRecord(Bytes.first<kSummaryRecordSize>());
                          TDateTime date = 0;
                          if (!DecodeOldDate(r.Packed, date)) return false;
                          Table.FieldByName("CatalogVolumeLabel")->SetAsString(r.VolumeLabel);
                          Table.FieldByName("ActualVolumeLabel")->SetAsString(r.VolumeLabel);
                          Table.FieldByName("SerialNumber")->SetAsInteger(0);
                          Table.FieldByName("DateFirstCataloged")->SetAsDateTime(date);
                          Table.FieldByName("DateLastCataloged")->SetAsDateTime(date);
                          Table.FieldByName("DiskSize")->SetAsString(std::to_string(r.DiskSize));
                          Table.FieldByName("DiskClusterSize")->SetAsString("1024");
                          Table.FieldByName("DiskUsed")->SetAsString(std::to_string(r.DiskUsed));
                          Table.FieldByName("DiskFree")->SetAsString(std::to_string(r.DiskFree));
                          Table.FieldByName("FilesOnDisk")->SetAsInteger(r.FilesOnDisk);
                          Table.FieldByName("FilesInArchives")->SetAsInteger(0);
                          Table.FieldByName("CatalogedFrom")->SetAsString(r.CatalogedFrom);
                          Table.FieldByName("Comment")->SetAsString(r.Comment);
                          return true;
                      });
    if (skipped > 0)
        WarnSkipped(
            skipped, "Summary",
            "Database Errors Are Generally Caused By Duplicate Records Where The Volume Labels Are The Same "
            "For "
            "Two Or More Records.  This Usually Indicates A Problem In The Old Summary File, As There Should "
            "Never Be Two Records With The Same Volume Label.  This Is Generally A Minor Problem, As Korvane "
            "Will Have Successfully Imported The First Occurrance Of The Record Anyway.");
}

void ImportEntries(const TOldCatalogFiles& Files) {
    TOldRecordFile comments;
    const bool haveComments = comments.Open(Files.Comments, kCommentRecordSize) && comments.WholeRecords();
    std::array<std::string, 256> categories;
    bool haveCategories = false;
    {
        TOldRecordFile file;
        std::vector<uint8_t> record;
        if (file.Open(Files.Categories, kCategoryRecordSize) && file.Read(0, record)) {
            categories = ParseCategoryRecord(std::span<const uint8_t, kCategoryRecordSize>(record));
            haveCategories = true;
        }
    }
    const int skipped =
        ImportRecords(Files.Data, kDataRecordSize, "Importing Catalog Records", "_CAT",
                      [&](dbsql::TDbTable& Table, std::span<const uint8_t> Bytes) {
                          const TOldDataRecord r = ParseDataRecord(Bytes.first<kDataRecordSize>());
                          TDateTime date = 0, time = 0;
                          if (!DecodeOldDate(r.Packed, date) || !DecodeOldTime(r.Packed, time)) return false;
                          Table.FieldByName("FileName")->SetAsString(r.FileName);
                          Table.FieldByName("VolumeLabel")->SetAsString(r.VolumeLabel);
                          Table.FieldByName("FolderName")->SetAsString(r.FolderName);
                          Table.FieldByName("ArchiveID")->SetAsString(r.ArchiveID);
                          Table.FieldByName("FileSize")->SetAsString(std::to_string(r.FileSize));
                          Table.FieldByName("DateModified")->SetAsDateTime(date);
                          Table.FieldByName("TimeModified")->SetAsDateTime(time);
                          Table.FieldByName("Attribute")->SetAsInteger(r.Attribute);
                          if (haveCategories && r.Category != 0)
                              Table.FieldByName("CategoryCode")->SetAsString(categories[r.Category]);
                          Table.FieldByName("Comment")->SetAsString(OldComment(
                              r.FirstCommentLine, r.NextComment, haveComments ? &comments : nullptr));
                          return true;
                      });
    if (skipped > 0)
        WarnSkipped(
            skipped, "Catalog",
            "Database Errors Are Generally Caused By Duplicate Records Where The File Name, Volume Label, "
            "Folder Name and Archive Name Are The Same For Two Or More Records.  This Should Never Occur On "
            "A "
            "Real Disk, Unless The Disk Or An Archive Has Problems.  This Is Generally A Minor Problem, As "
            "Korvane Will Have Successfully Imported The First Occurrance Of The Record Anyway.");
}

// Asks for the new catalog's name until one can be taken; empty when the user cancels.
std::string AskCatalogName(const std::string& Proposed) {
    const std::unique_ptr<TGetStringForm, void (*)(TGetStringForm*)> owned(
        TCustomForm::Create<TGetStringForm>(Application), [](TGetStringForm* Form) { Form->Free(); });
    TGetStringForm* prompt = owned.get();
    prompt->Prompt->SetCaption("Enter A Name For This Catalog (20 Characters Max)");
    prompt->ResultString->SetMaxLength(20);
    prompt->ResultString->SetText(Proposed);
    std::string name;
    while (prompt->ShowModal() == mrOk) {
        name = Trim(prompt->ResultString->Text());
        if (name.empty()) continue;
        if (!IsValidCatalogName(name)) {
            ErrorBox(InvalidCatalogNameText);
            name.clear();
            continue;
        }
        bool exists = false;
        try {
            dbsql::TDbTable table;
            table.SetDatabaseName(ProgramFolder);
            table.SetTableName(CatalogConfigsSchema().TableName);
            table.Open();
            table.SetKey();
            table.FieldByName("CatalogName")->SetAsString(name);
            exists = table.GotoKey();
        } catch (const std::exception&) {
        }
        if (!exists) break;
        ErrorBox("A Catalog With This Name Already Exists - Please Try A New Name");
        name.clear();
    }
    return name;
}

}  // namespace

TOldCatalogFiles TOldCatalogFiles::For(const std::string& DataPath) {
    TOldCatalogFiles files;
    files.Data = DataPath;
    const std::string stem = DataPath.substr(0, DataPath.size() >= 3 ? DataPath.size() - 3 : 0);
    files.Summary = stem + "SUM";
    files.Config = stem + "CFG";
    files.Comments = stem + "CMT";
    std::string folder = sysutil::FolderPart(DataPath);
    if (folder.empty() || folder.back() != '\\') folder += '\\';
    files.Categories = folder + "KORVANE.CAT";
    return files;
}

const char* OldDataFileError(const std::string& Path) {
    return OldFileError(Path, kDataCheck);
}

const char* OldSummaryFileError(const std::string& Path) {
    return OldFileError(Path, kSummaryCheck);
}

bool CheckOldDataFile(const std::string& Path) {
    return ShownError(OldDataFileError(Path));
}

bool CheckOldSummaryFile(const std::string& Path) {
    return ShownError(OldSummaryFileError(Path));
}

int LongestOldFolderName(const std::string& Path) {
    TOldRecordFile file;
    if (!file.Open(Path, kDataRecordSize)) return 0;
    size_t longest = 0;
    std::vector<uint8_t> record;
    for (int64_t n = 0; n < file.Count() && file.Read(n, record); ++n)
        longest = std::max(longest, Trim(OldText(record, 13, 18)).size());
    return int(longest);
}

bool ImportOldCatalog(TCatalogStore& Store, const TOldCatalogFiles& Files) {
    // Folder names of up to 18 characters are kept whole.
    const int folderLength = std::max(16, LongestOldFolderName(Files.Data));
    Store.CreateCatalogConfig(false, {16, folderLength, 16});
    if (CurrentCatalogName.empty()) return false;
    Store.OpenCatalog(true);
    if (CurrentCatalogName.empty()) return false;
    ImportConfig(Files);
    ImportSummary(Files);
    ImportEntries(Files);
    return true;
}

void ConvertOldCatalog(const std::string& DataPath) {
    if (sysutil::FileExtPart(DataPath) != "DTA") {
        ErrorBox("Please Select A \"DTA\" File");
        return;
    }
    const TOldCatalogFiles files = TOldCatalogFiles::For(DataPath);
    if (!FileThere(files.Data)) {
        ErrorBox("The Catalog Data File (.DTA) Is Missing");
        return;
    }
    if (!FileThere(files.Summary)) {
        ErrorBox("The Catalog Summary File (.SUM) Is Missing");
        return;
    }
    if (!CheckOldDataFile(files.Data) || !CheckOldSummaryFile(files.Summary)) return;
    std::string proposed = sysutil::FileNamePart(DataPath);
    proposed = proposed.substr(0, proposed.size() - 4);
    const std::string name = AskCatalogName(proposed);
    if (name.empty()) return;
    const std::string current = CurrentCatalogName;
    CurrentCatalogName = name;
    TCatalogStore store;
    if (!ImportOldCatalog(store, files)) CurrentCatalogName = current;
}

}  // namespace catalog::oldformat
