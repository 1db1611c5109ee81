// Table restructure: a new definition for an existing table with the least work the change
// needs. Names, descriptions and header values alone rewrite descriptors; index changes rebuild
// the changed indexes in place (with a copy of the index file as the way back); anything else
// builds a new table beside the old one, copies every record into it and swaps the files.
//
// The swap never leaves the table unreachable: the old files are moved aside (to the backup
// names, or to a spare name when no backup is kept), the new files are moved in (copied when a
// rename fails, as between file systems), and only then are the old files given up. A failure
// on the way moves the old files back; the new table under its temporary name is deleted.

#include "dbengine/maint/Restructure.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/DataFile.h"
#include "dbengine/data/Record.h"
#include "dbengine/expr/FieldConvert.h"
#include "dbengine/file/FileHandler.h"
#include "dbengine/file/FileList.h"
#include "dbengine/index/DefaultTextParams.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/index/IndexKeys.h"
#include "dbengine/os/OSLayer.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineUtils.h"
#include "dbengine/util/FirstFailure.h"

namespace dbengine {

namespace {

constexpr const char* TableExtensions[3] = {".DAT", ".IDX", ".BLB"};
constexpr const char* BackupExtensions[3] = {".DBK", ".IBK", ".BBK"};
// Converted values are built in a zero-filled buffer of this size.
constexpr size_t ConvertBufferSize = 251;
// Field values are read into buffers of this size.
constexpr size_t ValueBufferBytes = 256;
// The stored key size of the full-text index descriptor.
constexpr uint16_t TextIndexKeySize = 68;

TFileList& Files() {
    TFileList* list = EngineFileList();
    if (list == nullptr) RaiseEngineError(DBE_NOTINITIALIZED, {}, {}, {}, {});
    return *list;
}

void RaiseFileResult(int32_t result, const std::string& name) {
    if (result < 0) RaiseEngineError(static_cast<TEngineErrorCode>(-result), {}, {}, {}, name);
}

// Same words in the same order, letter case aside.
bool SameStopWords(const TLanguageStringList& a, const TLanguageStringList& b) {
    if (a.Count() != b.Count()) return false;
    for (int i = 0; i < a.Count(); ++i)
        if (!SameNameText(a.Strings(i), b.Strings(i))) return false;
    return true;
}

// Reports whole percentages of a pass when they have grown by at least the step.
class TPassProgress {
public:
    TPassProgress(int32_t count, uint16_t step, TDataCursor& cursor) : Count(count), Step(step), C(cursor) {}
    void After(int32_t i) {
        if (Count <= 0) return;
        int percent = static_cast<int>(static_cast<int64_t>(i) * 100 / Count);
        if (percent >= Last + Step) {
            Last = percent;
            C.DoRestructureProgress(percent);
        }
    }
    void Finish() {
        if (Last != 100) {
            Last = 100;
            C.DoRestructureProgress(100);
        }
    }

private:
    int32_t Count;
    int Step;
    TDataCursor& C;
    int Last = 0;
};

// The caller's answers about lost records: once StopAsking is set, the last Continue holds.
class TLossQuestions {
public:
    explicit TLossQuestions(TDataCursor& cursor) : C(cursor) {}
    bool Ask(TDataLostCause cause, const std::string& context) {
        if (!StopAsking) C.DoDataLost(cause, context, Continue, StopAsking);
        return Continue;
    }
    bool Continue = true;

private:
    TDataCursor& C;
    bool StopAsking = false;
};

// A record read from the data file, pinned until the scope ends.
class TPinnedRecord {
public:
    TPinnedRecord(TDataFile& file, TRecordFetchClient* client, int32_t recordNo) : File(file) {
        if (!File.GetRecord(client, recordNo, 1, false, true, Rec) || Rec == nullptr)
            RaiseEngineError(DBE_KEYORRECDELETED, {}, {}, {},
                             File.Table != nullptr ? File.Table->GetTableName() : "");
    }
    ~TPinnedRecord() {
        if (Rec != nullptr) File.ReleaseRecord(Rec);
    }
    TPinnedRecord(const TPinnedRecord&) = delete;
    TPinnedRecord& operator=(const TPinnedRecord&) = delete;
    TRecord* operator->() const { return Rec; }

private:
    TDataFile& File;
    TRecord* Rec = nullptr;
};

std::string NameWith(const std::string& base, const char* extension) {
    return base + extension;
}

// The three files of a table base name that exist (a table without BLOB fields has no ".BLB").
std::vector<int> ExistingFiles(const std::string& base, bool inMemory, const char* const* extensions) {
    std::vector<int> present;
    for (int i = 0; i < 3; ++i)
        if (Files().FileExists(NameWith(base, extensions[i]), inMemory)) present.push_back(i);
    return present;
}

}  // namespace

void MoveTableFile(const std::string& from, const std::string& to, bool inMemory) {
    TFileList& list = Files();
    if (list.RenameFile(from, inMemory, to) >= 0) return;
    // Between file systems a rename cannot work: the bytes are copied, then the source goes.
    {
        TFileHandler source;
        source.FileName = from;
        source.InMemory = inMemory;
        source.OpenFile();
        try {
            source.CopyToFile(to, false, 0, {}, nullptr);
        } catch (...) {
            source.CloseFile();
            if (list.FileExists(to, inMemory)) list.DeleteFile(to, inMemory);
            throw;
        }
        source.CloseFile();
    }
    int32_t result = list.DeleteFile(from, inMemory);
    if (result < 0) {
        // Two copies would leave the caller unsure which one is the table: the copy goes.
        list.DeleteFile(to, inMemory);
        RaiseFileResult(result, from);
    }
}

// ---- Comparisons ----

bool TDataCursor::FieldDefChanged(const TFieldDescriptor& oldDesc, const TFieldDescriptor& newDesc) const {
    return oldDesc.FieldNo != newDesc.FieldNo || oldDesc.FieldType != newDesc.FieldType ||
           oldDesc.SubType != newDesc.SubType || oldDesc.ValueSize != newDesc.ValueSize ||
           oldDesc.ValueDecimals != newDesc.ValueDecimals || oldDesc.Required != newDesc.Required ||
           oldDesc.CharCase != newDesc.CharCase ||
           !SameNameText(oldDesc.DefaultValue, newDesc.DefaultValue) ||
           !SameNameText(oldDesc.MinValue, newDesc.MinValue) ||
           !SameNameText(oldDesc.MaxValue, newDesc.MaxValue);
}

bool TDataCursor::IndexDefChanged(const TIndexDescriptor& oldDesc, const TIndexDescriptor& newDesc,
                                  const std::vector<TFieldDescriptor>& fields) const {
    if (oldDesc.KeySize != newDesc.KeySize || oldDesc.FieldCount != newDesc.FieldCount ||
        oldDesc.Descending != newDesc.Descending || oldDesc.CaseInsensitive != newDesc.CaseInsensitive ||
        oldDesc.Unique != newDesc.Unique || oldDesc.Compression != newDesc.Compression)
        return true;
    for (int k = 0; k < MaxIndexFields && newDesc.FieldNumbers[k] != 0; ++k) {
        uint16_t number = newDesc.FieldNumbers[k];
        auto found = std::find_if(fields.begin(), fields.end(),
                                  [&](const TFieldDescriptor& f) { return f.FieldNo == number; });
        if (found == fields.end()) RaiseField(DBE_OUTOFRANGE, std::to_string(number));
        if (oldDesc.FieldNumbers[k] != number) return true;
        TFieldDescriptor tableField;
        if (!Table->DataFile->FindFieldByNumber(static_cast<int16_t>(number), tableField)) return true;
        if (FieldDefChanged(tableField, *found)) return true;
    }
    return false;
}

// ---- Helpers of the rebuilt table and of the index backup ----

void TDataCursor::RemapIndexFields(TIndexDescriptor& desc) const {
    const std::vector<TFieldDescriptor>& fields = Table->DataFile->Descriptors;
    for (int k = 0; k < MaxIndexFields && desc.FieldNumbers[k] != 0; ++k) {
        auto found = std::find_if(fields.begin(), fields.end(), [&](const TFieldDescriptor& f) {
            return f.FieldNo == static_cast<int16_t>(desc.FieldNumbers[k]);
        });
        if (found == fields.end()) RaiseField(DBE_OUTOFRANGE, std::to_string(desc.FieldNumbers[k]));
        desc.FieldNumbers[k] = static_cast<uint16_t>(found - fields.begin() + 1);
    }
}

void TDataCursor::RenumberFields() {
    TIndexFile& file = *Table->IndexFile;
    // The index field lists name fields by the numbers about to change: they go first.
    std::vector<uint8_t> indexes;
    for (int i = 0; i <= file.GetIndexCount(); ++i) indexes.push_back(static_cast<uint8_t>(i));
    indexes.push_back(SysTextIndex);
    for (uint8_t i : indexes) {
        TIndexDescriptor desc = file.GetIndexDesc(i);
        if (desc.FieldNumbers[0] == 0) continue;
        RemapIndexFields(desc);
        file.RenameIndexDesc(i, desc);
    }
    TDataFile& data = *Table->DataFile;
    for (uint16_t position = 1; position <= data.FieldCount(); ++position) {
        TFieldDescriptor d = data.GetFieldDescriptor(position);
        d.FieldNo = static_cast<int16_t>(position);
        data.UpdateDescriptor(position, d);
    }
    data.DescriptorsModified = true;
    for (size_t k = 0; k < FieldDescs.size(); ++k) FieldDescs[k].FieldNo = static_cast<int16_t>(k + 1);
}

void TDataCursor::BackupTableFiles() {
    std::string base = Database->Directory + TableName;
    for (int i : ExistingFiles(base, InMemory, TableExtensions)) {
        std::string backup = NameWith(base, BackupExtensions[i]);
        if (Files().FileExists(backup, InMemory))
            RaiseFileResult(Files().DeleteFile(backup, InMemory), backup);
        MoveTableFile(NameWith(base, TableExtensions[i]), backup, InMemory);
    }
}

void TDataCursor::BackupIndexFile() {
    Table->BackupIndexFile();
}

void TDataCursor::EndIndexBackup(bool noRestore, bool deleteBackup) {
    if (!noRestore) Table->DiscardBuffers(false, false);
    Table->RestoreIndexFile(noRestore, deleteBackup);
    if (!noRestore) Table->DiscardBuffers(false, true);
}

// ---- The restructure ----

namespace {

class TRestructureRun {
public:
    TRestructureRun(TDataCursor& source, TTableDefinition& definition, bool allowAutoPrimary,
                    int32_t lastAutoInc, bool suppressBackup)
        : C(source),
          Def(definition),
          AllowAutoPrimary(allowAutoPrimary),
          LastAutoInc(lastAutoInc),
          SuppressBackup(suppressBackup),
          Losses(source) {}

    ~TRestructureRun() {
        try {
            Release();
        } catch (...) {
        }
    }

    void Run() {
        C.OpenCursor();
        TDataSession* session = C.GetDatabase()->Session;
        WorkDatabase = C.GetInMemory() ? session->OpenDataDirectory("Memory", "", false)
                                  : session->OpenDataDirectory(session->GetTempDirectory(),
                                                               session->GetTempDirectory(), false);
        if (LastAutoInc == -1) LastAutoInc = C.GetLastRecordId();
        MergeTextParams();
        if (NeedsFullRebuild())
            FullRebuild();
        else if (NeedsIndexRebuild())
            IndexRebuild();
        else
            StoreDescriptors();
        Release();
    }

private:
    void MergeTextParams() {
        C.ReadTextIndexParams();
        StopWords = std::make_unique<TLanguageStringList>();
        StopWords->LanguageId = static_cast<uint16_t>(Def.LanguageId);
        StopWords->SortId = Def.SortId;
        StopWords->SetSorted(true);
        StopWords->Duplicates = framework::dupIgnore;
        if (Def.StopWords) {
            for (const std::string& w : *Def.StopWords) StopWords->Add(w);
        } else {
            TLanguageStringList& current = C.GetStopWords();
            for (int i = 0; i < current.Count(); ++i) StopWords->Add(current.Strings(i));
        }
        if (CharSetIsEmpty(Def.SpaceChars)) Def.SpaceChars = C.GetSpaceChars();
        if (CharSetIsEmpty(Def.IncludeChars)) Def.IncludeChars = C.GetIncludeChars();
        std::vector<std::string> words;
        for (int i = 0; i < StopWords->Count(); ++i) words.push_back(StopWords->Strings(i));
        Def.StopWords = words;
    }

    bool NeedsFullRebuild() {
        TDataFile& data = *C.GetTable()->DataFile;
        uint32_t blockSize = Def.BlobBlockSize == 0 ? 512 : Def.BlobBlockSize;
        if (Def.Encrypted != C.IsEncrypted() || blockSize != C.GetBlobBlockSize() ||
            static_cast<uint16_t>(Def.LanguageId) != C.GetLanguageId() || Def.SortId != C.GetSortId() ||
            Def.Fields.size() != data.FieldCount())
            return true;
        for (uint16_t p = 1; p <= data.FieldCount(); ++p)
            if (C.FieldDefChanged(data.GetFieldDescriptor(p), Def.Fields[p - 1u])) return true;
        return false;
    }

    TIndexDescriptor NewIndexDesc(uint8_t indexNo) const {
        if (indexNo == PrimaryIndex) return Def.PrimaryIndex;
        if (indexNo == SysTextIndex) return Def.TextIndex;
        return Def.SecondaryIndexes[indexNo - 1u];
    }

    bool TextParamsDiffer() {
        return !SameStopWords(C.GetStopWords(), *StopWords) || C.GetSpaceChars() != Def.SpaceChars ||
               C.GetIncludeChars() != Def.IncludeChars;
    }

    // The stored full-text descriptor as a definition gives it: its key size and compression
    // are the engine's own.
    TIndexDescriptor StoredTextDesc() const {
        TIndexDescriptor stored = C.GetIndexDesc(SysTextIndex);
        stored.KeySize = TextIndexKeySize;
        stored.Compression = Def.TextIndex.Compression;
        return stored;
    }

    bool NeedsIndexRebuild() {
        uint8_t count = C.GetSecondaryIndexCount();
        bool internal = C.HasInternalPrimaryIndex();
        if (count != Def.SecondaryIndexes.size()) return true;
        if (Def.PrimaryIndex.FieldCount > 0 && internal) return true;
        if (TextParamsDiffer()) return true;
        for (int i = internal ? 1 : 0; i <= count; ++i)
            if (C.IndexDefChanged(C.GetIndexDesc(static_cast<uint8_t>(i)),
                                  NewIndexDesc(static_cast<uint8_t>(i)), Def.Fields))
                return true;
        return C.IndexDefChanged(StoredTextDesc(), Def.TextIndex, Def.Fields);
    }

    // ---- Descriptors only ----
    void StoreDescriptors() {
        for (size_t p = 0; p < Def.Fields.size(); ++p) {
            TFieldDescriptor d = Def.Fields[p];
            // Only names, descriptions and the value texts may differ here; the layout stays.
            d.Offset = C.GetTable()->DataFile->GetFieldDescriptor(static_cast<uint16_t>(p + 1)).Offset;
            C.PutTableFieldDesc(static_cast<uint16_t>(p + 1), d);
        }
        C.GetTable()->DataFile->DescriptorsModified = true;
        for (size_t i = 0; i <= Def.SecondaryIndexes.size(); ++i)
            C.RenameIndexDesc(static_cast<uint8_t>(i), NewIndexDesc(static_cast<uint8_t>(i)));
        C.SetTableInfo(Def.Password, Def.Description, LastAutoInc, Def.UserMajorVersion,
                       Def.UserMinorVersion);
    }

    // ---- Index rebuild, in place ----
    void IndexRebuild() {
        try {
            C.BackupIndexFile();
        } catch (...) {
            // A partial copy is no way back.
            std::string copy = C.GetDatabase()->Directory + C.GetTableName() + BackupExtensions[1];
            if (Files().FileExists(copy, C.GetInMemory())) Files().DeleteFile(copy, C.GetInMemory());
            throw;
        }
        IndexBackupTaken = true;
        uint8_t current = C.GetSecondaryIndexCount();
        auto wanted = static_cast<uint8_t>(Def.SecondaryIndexes.size());
        std::array<bool, IndexDescriptorCount> marked{};
        for (int i = current; i > wanted; --i) C.DropIndexNumber(static_cast<uint8_t>(i), true);
        for (int i = current + 1; i <= wanted; ++i) {
            C.ReplaceIndexDesc(static_cast<uint8_t>(i), NewIndexDesc(static_cast<uint8_t>(i)));
            marked[static_cast<size_t>(i)] = true;
        }
        uint8_t kept = std::min(current, wanted);
        for (int i = 0; i <= kept; ++i) {
            auto no = static_cast<uint8_t>(i);
            TIndexDescriptor fresh = NewIndexDesc(no);
            if (!C.IndexDefChanged(C.GetIndexDesc(no), fresh, Def.Fields)) continue;
            marked[no] = true;
            C.DropIndexNumber(no, false);
            C.ReplaceIndexDesc(no, fresh);
            if (no == PrimaryIndex) C.SetHasInternalPrimaryIndex(fresh.FieldCount == 0);
        }
        bool textMarked =
            C.IndexDefChanged(StoredTextDesc(), Def.TextIndex, Def.Fields) || TextParamsDiffer();
        if (textMarked) {
            C.DropIndexNumber(SysTextIndex, false);
            C.ReplaceIndexDesc(SysTextIndex, Def.TextIndex);
            std::vector<std::string> words = *Def.StopWords;
            C.SetTextIndexParams(&words, Def.SpaceChars, Def.IncludeChars);
        }
        C.SetIndexHeaderByte(wanted);
        if (C.HasInternalPrimaryIndex()) marked[PrimaryIndex] = false;

        std::vector<uint8_t> toBuild;
        for (int i = 0; i <= wanted; ++i)
            if (marked[static_cast<size_t>(i)]) toBuild.push_back(static_cast<uint8_t>(i));
        if (!toBuild.empty() || textMarked) RebuildMarked(toBuild, textMarked);

        if (!Losses.Continue) {
            AbandonIndexRebuild();
            return;
        }
        IndexBackupTaken = false;
        C.EndIndexBackup(true, SuppressBackup);
        StoreDescriptors();
    }

    // The index file comes back from its copy; the full-text parameters handed over are dropped
    // with it, and the cursor's index state follows the restored file.
    void AbandonIndexRebuild() {
        IndexBackupTaken = false;
        C.DropTextIndexParams();
        C.EndIndexBackup(false, true);
        C.SelectIndex(PrimaryIndex);
    }

    // Keys of the marked indexes and, with words, the full-text words (memos read from their
    // stored values) of every live record.
    void RebuildMarked(const std::vector<uint8_t>& indexes, bool words) {
        TDataFile& data = *C.GetTable()->DataFile;
        int32_t count = data.RecordCount();
        TPassProgress progress(count, C.GetProgressIncrement(), C);
        uint8_t savedIndex = C.CurrentIndex;
        // Records given up are removed after the pass, so that abandoning half way leaves the
        // data file untouched and the saved index file matches it again.
        std::vector<std::pair<int32_t, std::vector<uint8_t>>> dropped;
        for (int32_t r = 1; r <= count && Losses.Continue; ++r) {
            std::vector<uint8_t> record;
            {
                TPinnedRecord rec(data, &C, r);
                if (rec->Status() == 0) record.assign(rec->Data(), rec->Data() + data.RecordSize());
            }
            if (!record.empty()) {
                try {
                    for (uint8_t i : indexes) {
                        C.SelectIndex(i);
                        std::vector<uint8_t> key(static_cast<size_t>(C.GetKeySize()) + 16, 0);
                        C.BuildKey(record.data(), key.data());
                        if (C.IsDuplicateKey(key.data())) C.RaiseDuplicateKey();
                    }
                    for (uint8_t i : indexes) {
                        C.SelectIndex(i);
                        std::vector<uint8_t> key(static_cast<size_t>(C.GetKeySize()) + 16, 0);
                        C.BuildKey(record.data(), key.data());
                        C.InsertKey(key.data(), r);
                    }
                    if (words) C.AddRecordWordsLoadingBlobs(record.data());
                } catch (const EDbEngineError& e) {
                    bool keyViolation = e.ErrorCode == DBE_KEYVIOL;
                    if (Losses.Ask(keyViolation ? dlKeyViolation : dlOtherError,
                                   keyViolation ? e.ErrorIndex : std::string()))
                        dropped.emplace_back(r, std::move(record));
                }
            }
            progress.After(r);
        }
        C.SelectIndex(savedIndex);
        if (!Losses.Continue) return;
        progress.Finish();
        for (auto& [r, record] : dropped) C.DropRecordEverywhere(record.data(), r);
    }

    // ---- Full rebuild into a new table ----
    void FullRebuild() {
        TDataSession* session = C.GetDatabase()->Session;
        if (Def.Encrypted && !session->HasPassword(Def.Password)) {
            session->AddPassword(Def.Password);
            AddedPassword = Def.Password;
        }
        Target = std::make_unique<TDataCursor>(WorkDatabase);
        Target->SetTableName(WorkDatabase->GetTempTableName(C.GetInMemory()));
        Target->SetExclusive(true);
        Target->SetInMemory(C.GetInMemory());
        Target->CreateTable(Def, AllowAutoPrimary, true);
        TargetCreated = true;
        Target->OpenForRestructure();
        Target->KeepRecordIds();
        Target->SetIndexNumber(NaturalOrderIndex);

        CopyRecords();

        Target->RenumberFields();
        Target->GetTable()->DataFile->SetLastRecordId(LastAutoInc);
        CloseTarget();
        C.CloseCursor(false);
        if (!Losses.Continue) return;  // Release deletes the new table; the source stays as it was
        SwapFiles();
    }

    void CopyRecords() {
        TDataFile& data = *C.GetTable()->DataFile;
        int32_t count = data.RecordCount();
        TPassProgress progress(count, C.GetProgressIncrement(), C);
        std::vector<uint8_t> buffer(Target->GetRecordSize());
        for (int32_t r = 1; r <= count && Losses.Continue; ++r) {
            std::vector<uint8_t> record;
            {
                TPinnedRecord rec(data, &C, r);
                if (rec->Status() == 0) record.assign(rec->Data(), rec->Data() + data.RecordSize());
            }
            if (!record.empty()) CopyRecord(record, buffer);
            progress.After(r);
        }
        if (Losses.Continue) progress.Finish();
    }

    void CopyRecord(const std::vector<uint8_t>& record, std::vector<uint8_t>& buffer) {
        // The values opened in the buffer are the target's record-bound BLOBs: whatever happens
        // to the record, none stays open for the next one.
        struct TFreeTargetBlobs {
            TDataCursor& Target;
            ~TFreeTargetBlobs() { Target.FreeAllBlobs(false, false); }
        } freeBlobs{*Target};
        TDataFile& data = *C.GetTable()->DataFile;
        Target->InitRecord(buffer.data());
        bool idFromField = false;
        for (uint16_t p = 1; p <= data.FieldCount(); ++p) {
            TFieldDescriptor old = data.GetFieldDescriptor(p);
            auto fresh = std::find_if(Def.Fields.begin(), Def.Fields.end(),
                                      [&](const TFieldDescriptor& f) { return f.FieldNo == old.FieldNo; });
            if (fresh == Def.Fields.end()) {
                if (!Losses.Ask(dlFieldDropped, old.Name)) break;
                continue;
            }
            TFieldDescriptor target;
            Target->GetFieldDesc(static_cast<uint16_t>(fresh->FieldNo), target);
            uint8_t value[ValueBufferBytes] = {};
            bool blank = false;
            C.GetFieldValue(old, record.data(), value, blank);
            if (blank) continue;
            if (target.IsAutoInc()) idFromField = true;
            if (old.FieldType == fldBlob) {
                if (target.FieldType != fldBlob) {
                    if (!Losses.Ask(dlNotConverted, old.Name)) break;
                    continue;
                }
                // Reading the source or its BLOBs fails the restructure.
                CopyBlob(record.data() + old.Offset, buffer.data(), static_cast<uint16_t>(target.FieldNo));
                continue;
            }
            uint8_t converted[ValueBufferBytes] = {};
            std::memcpy(converted, value, std::min<size_t>(old.ValueSize, ConvertBufferSize));
            if (!ConvertFieldValue(old.FieldType, old.ValueSize, old.ValueDecimals, target.FieldType,
                                   target.ValueSize, target.ValueDecimals, converted)) {
                // Going on keeps the conversion's fallback value.
                if (!Losses.Ask(dlNotConverted, old.Name)) break;
            }
            Target->PutField(static_cast<uint16_t>(target.FieldNo), buffer.data(), converted, true, false);
        }
        if (!Losses.Continue) return;
        if (!idFromField) std::memcpy(buffer.data() + RecordIdOffset, record.data() + RecordIdOffset, 4);
        try {
            Target->InsertRecord(buffer.data(), false);
        } catch (const EDbEngineError& e) {
            // A record the new table refuses is a loss the caller decides about; the insert gave
            // back what it wrote, its BLOB chains included.
            InsertFailure(e);
        }
    }

    void InsertFailure(const EDbEngineError& e) {
        switch (e.ErrorCode) {
            case DBE_KEYVIOL:
                Losses.Ask(dlKeyViolation, e.ErrorIndex);
                break;
            case DBE_MINVALERR:
            case DBE_MAXVALERR:
            case DBE_REQDERR:
                Losses.Ask(dlValidity, e.ErrorField);
                break;
            default:
                Losses.Ask(dlOtherError, {});
                break;
        }
    }

    // The stored value of a source BLOB field (flag, first block, stamp) becomes a new value
    // open in the target buffer's field fieldNo, saved by the insert. Written through the
    // target's BLOB access, a memo of the full-text index brings its words along.
    void CopyBlob(const uint8_t* from, uint8_t* buffer, uint16_t fieldNo) {
        TBlobBuffer in(nullptr, C.GetTable()->BlobFile.get());
        in.FirstBlock = GetInt32(from + 1);
        in.Stamp = GetInt32(from + 5);
        in.Load();
        if (in.Size <= 0) return;
        int32_t size = 0;
        Target->CheckError(Target->OpenBlob(fieldNo, buffer, BlobOpenWrite, false, true, size), {});
        Target->CheckError(Target->PutBlob(fieldNo, buffer, 0, in.GetData(), in.Size, false), {});
    }

    void CloseTarget() {
        if (!Target) return;
        Target->LeaveRestructureMode();
        Target->SetSuppressAutoInc(false);
        Target->CloseCursor(false);
    }

    void SwapFiles() {
        bool inMemory = C.GetInMemory();
        std::string base = C.GetDatabase()->Directory + C.GetTableName();
        std::string newBase = WorkDatabase->Directory + Target->GetTableName();
        bool keepBackup = !SuppressBackup && !inMemory;
        std::string asideBase;
        const char* const* asideExtensions = keepBackup ? BackupExtensions : TableExtensions;
        if (keepBackup) {
            asideBase = base;
        } else {
            std::string spare = C.GetDatabase()->GetTempTableName(inMemory);
            asideBase = C.GetDatabase()->Directory + spare.substr(0, spare.size() - 4);
        }
        // 1. The old files move aside. Backups of an earlier restructure go first, all three, so
        // that no stale one stays beside the new set.
        if (keepBackup)
            for (int i : ExistingFiles(asideBase, inMemory, asideExtensions)) {
                std::string stale = NameWith(asideBase, asideExtensions[i]);
                RaiseFileResult(Files().DeleteFile(stale, inMemory), stale);
            }
        std::vector<int> oldFiles = ExistingFiles(base, inMemory, TableExtensions);
        std::vector<int> movedAside;
        try {
            for (int i : oldFiles) {
                std::string aside = NameWith(asideBase, asideExtensions[i]);
                if (Files().FileExists(aside, inMemory))
                    RaiseFileResult(Files().DeleteFile(aside, inMemory), aside);
                MoveTableFile(NameWith(base, TableExtensions[i]), aside, inMemory);
                movedAside.push_back(i);
            }
        } catch (...) {
            MoveBack(movedAside, asideBase, asideExtensions, base, inMemory);
            throw;
        }
        // 2. The new files move in.
        std::vector<int> movedIn;
        try {
            for (int i : ExistingFiles(newBase, inMemory, TableExtensions)) {
                MoveTableFile(NameWith(newBase, TableExtensions[i]), NameWith(base, TableExtensions[i]),
                              inMemory);
                movedIn.push_back(i);
            }
        } catch (...) {
            for (int i : movedIn) {
                try {
                    MoveTableFile(NameWith(base, TableExtensions[i]), NameWith(newBase, TableExtensions[i]),
                                  inMemory);
                } catch (...) {
                    try {
                        Files().DeleteFile(NameWith(base, TableExtensions[i]), inMemory);
                    } catch (...) {
                    }
                }
            }
            MoveBack(movedAside, asideBase, asideExtensions, base, inMemory);
            throw;
        }
        TargetCreated = false;
        // 3. Without a backup the old files are given up; failing to delete them leaves spare
        // files, never a damaged table.
        if (!keepBackup)
            for (int i : movedAside) Files().DeleteFile(NameWith(asideBase, asideExtensions[i]), inMemory);
    }

    static void MoveBack(const std::vector<int>& moved, const std::string& asideBase,
                         const char* const* asideExtensions, const std::string& base, bool inMemory) {
        for (int i : moved) {
            try {
                MoveTableFile(NameWith(asideBase, asideExtensions[i]), NameWith(base, TableExtensions[i]),
                              inMemory);
            } catch (...) {
            }
        }
    }

    // Everything opened or made for the run goes, on success and on failure alike.
    void Release() {
        TFirstFailure steps;
        if (IndexBackupTaken) steps.Run([&] { AbandonIndexRebuild(); });
        StopWords.reset();
        if (Target) {
            steps.Run([&] { CloseTarget(); });
            if (TargetCreated) {
                TargetCreated = false;
                steps.Run([&] {
                    int32_t result = WorkDatabase->DeleteTableFiles(Target->GetTableName(), C.GetInMemory());
                    RaiseFileResult(result, Target->GetTableName());
                });
            }
            Target.reset();
        }
        if (!AddedPassword.empty()) {
            steps.Run([&] { C.GetDatabase()->Session->RemovePassword(AddedPassword); });
            AddedPassword.clear();
        }
        if (WorkDatabase != nullptr) {
            TDataDirectory* work = WorkDatabase;
            WorkDatabase = nullptr;
            steps.Run([&] { C.GetDatabase()->Session->CloseDataDirectory(work, false); });
        }
        steps.Run([&] { C.CloseCursor(false); });
        steps.RaiseIfAny();
    }

    TDataCursor& C;
    TTableDefinition& Def;
    bool AllowAutoPrimary;
    int32_t LastAutoInc;
    bool SuppressBackup;
    TLossQuestions Losses;
    TDataDirectory* WorkDatabase = nullptr;
    std::unique_ptr<TDataCursor> Target;
    bool TargetCreated = false;
    bool IndexBackupTaken = false;
    std::string AddedPassword;
    std::unique_ptr<TLanguageStringList> StopWords;
};

}  // namespace

void TDataCursor::RestructureTable(TTableDefinition definition, bool allowAutoPrimary, int32_t lastAutoInc,
                                   bool suppressBackup, bool /*hasProgress*/, bool /*hasDataLost*/) {
    CheckClosed();
    CheckExclusive();
    CheckWritable();
    CheckTableDefinition(definition, lastAutoInc, allowAutoPrimary, false);
    Tables->RestructureTable(definition, allowAutoPrimary, lastAutoInc, suppressBackup);
}

void TDataCursor::LocalRestructureTable(const TTableDefinition& definition, bool allowAutoPrimary,
                                        int32_t lastAutoInc, bool suppressBackup) {
    TTableDefinition target = definition;  // the run completes it
    TRestructureRun run(*this, target, allowAutoPrimary, lastAutoInc, suppressBackup);
    run.Run();
}

}  // namespace dbengine
