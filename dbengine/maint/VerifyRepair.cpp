// Verification and repair of a whole table through an exclusive cursor: the headers of the three
// files, a pass over every physical record (record IDs, BLOB references and chains, the index
// entries of each record), the index file's live-record count and the next record ID. Repair
// fixes what the checks find and, when the indexes do not match the records, empties every index
// and builds it again from the records, dropping a record whose key a unique index already holds.
//
// Every problem met with one record is logged and the passes go on; only a failure outside the
// per-record handling (opening, a header check that raises) stops the run.

#include "dbengine/maint/VerifyRepair.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "dbengine/blob/BlobFile.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/DataFile.h"
#include "dbengine/data/Record.h"
#include "dbengine/index/DefaultTextParams.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/index/IndexKeys.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"
#include "framework/core/DateTime.h"

namespace dbengine {

namespace {

constexpr uint8_t StatusLive = 0;
// A BLOB field's value bytes: the first block number, then the stamp.
constexpr uint32_t BlobStampOffset = 4;
constexpr uint32_t BlobReferenceSize = 8;

// The code an exception carries for the log: its engine code, else the last one raised.
TEngineErrorCode CodeOf(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        return GetEngineErrorCode(e);
    } catch (...) {
        return GetLastEngineErrorCode();
    }
}

}  // namespace

TPassProgress::TPassProgress(TDataCursor& cursor, std::string text, int32_t count, int step)
    : Cursor(cursor), Text(std::move(text)), Count(count), Step(std::max(step, 1)) {}

void TPassProgress::RecordDone(int32_t recordNo) {
    if (Count <= 0) return;
    int percent = static_cast<int>(int64_t{recordNo} * 100 / Count);
    if (percent >= Last + Step) {
        Cursor.DoVerifyProgress(Text, percent);
        Last = percent;
    }
}

void TPassProgress::Finish() {
    if (Last == 100) return;
    Cursor.DoVerifyProgress(Text, 100);
    Last = 100;
}

// One run of VerifyRepairTable on an open cursor in verify mode.
class TDataCursor::TVerifyRun {
public:
    TVerifyRun(TDataCursor& cursor, bool verifyOnly, bool tolerant, bool forceRebuild)
        : C(cursor), VerifyOnly(verifyOnly), Tolerant(tolerant), ForceRebuild(forceRebuild) {}

    bool Execute();

private:
    void Log(const std::string& text) { C.DoVerifyLog(text); }
    // The verification text, with the repair ending appended in repair.
    void LogFixed(const std::string& text) { Log(VerifyOnly ? text : text + ", error fixed"); }
    static std::string When() {
        const framework::TDateTime now = framework::Now();
        return framework::DateToStr(now) + " " + framework::TimeToStr(now);
    }
    void LogRecordId(int32_t recNo) {
        Log("Logical record ID for physical record # " + std::to_string(recNo) + " is " +
            (VerifyOnly ? "invalid" : "invalid, error fixed"));
    }
    std::string Title() const {
        return (VerifyOnly ? "Verification of table " : "Repair of table ") + C.TableName + " ";
    }
    void CheckTextParams();
    // Whether every field lies inside the record: a data header that verification found damaged
    // may describe fields past the stored record size, which no record may then be read by.
    bool FieldsFitRecord() const;
    // The records the data file really holds: the header's count, but no more than the file's
    // whole records (a damaged header may count any number).
    int32_t RecordsToScan() const;
    void RecordPass();
    void CheckRecord(TRecord& record, int32_t recNo);
    void CheckDeletedRecord(TRecord& record, int32_t recNo);
    void CheckLiveRecord(TRecord& record, int32_t recNo);
    void CheckBlobFields(TRecord& record, int32_t recNo, bool live);
    void RebuildIndexes();
    void RebuildRecord(TRecord& record, int32_t recNo);
    void DropDuplicate(TRecord& record, int32_t recNo);
    std::vector<uint8_t> StatusKey(uint8_t status, const uint8_t* record) const;
    bool HasEntry(uint8_t index, const std::vector<uint8_t>& key, int32_t recNo);
    // Walks every entry of the index in key order along its leaf chain, as a cursor does: each
    // page must read, keys must rise, each entry must point at a record of the pass whose key
    // (or record-status key) it holds, and the index must hold one entry per live record (the
    // record-status index one per record). False on the first thing wrong.
    bool IndexEntriesMatch(uint8_t index);
    void GiveNewRecordId(TRecord& record);
    // Fetches record recNo pinned; raises when the cache gives none.
    TRecord* Fetch(int32_t recNo);

    TDataCursor& C;
    const bool VerifyOnly;
    const bool Tolerant;
    const bool ForceRebuild;
    bool Valid = true;
    bool IndexesOk = true;
    bool FieldsFit = true;
    int32_t LiveCount = 0;
    int32_t LargestId = 0;
    int32_t RecordCount = 0;
    bool ReadAhead = true;
    std::vector<uint8_t> EditIndexes;
};

bool TDataCursor::VerifyTableHeaders(bool verifyOnly, bool& indexOk) {
    bool dataOk = true;
    bool blobOk = true;
    indexOk = true;
    Table->VerifyFiles(*this, verifyOnly, dataOk, indexOk, blobOk);
    return dataOk && indexOk && blobOk;
}

bool TDataCursor::VerifyBlobs(bool verifyOnly, int32_t& firstBlock, int32_t stamp, int32_t recordNo,
                              bool tolerant) {
    return Table->VerifyBlobs(*this, verifyOnly, firstBlock, stamp, recordNo, tolerant);
}

bool TDataCursor::VerifyRepairTable(bool verifyOnly, bool tolerant, bool hasProgress, bool hasLog,
                                    bool forceIndexRebuild) {
    CheckClosed();
    CheckExclusive();
    if (!verifyOnly) CheckWritable();
    return Tables->VerifyRepairTable(verifyOnly, tolerant, hasProgress, hasLog, forceIndexRebuild);
}

bool TDataCursor::LocalVerifyRepairTable(bool verifyOnly, bool tolerant, bool /*hasProgress*/,
                                         bool /*hasLog*/, bool forceIndexRebuild) {
    VerifyMode = true;
    try {
        OpenCursor();
    } catch (...) {
        VerifyMode = false;
        throw;
    }
    bool valid = false;
    try {
        TVerifyRun run(*this, verifyOnly, tolerant, forceIndexRebuild);
        valid = run.Execute();
    } catch (...) {
        try {
            CloseCursor(false);
        } catch (...) {
            // The failure of the run is the one reported.
        }
        VerifyMode = false;
        throw;
    }
    try {
        CloseCursor(false);
    } catch (...) {
        VerifyMode = false;
        throw;
    }
    VerifyMode = false;
    return valid;
}

bool TDataCursor::TVerifyRun::Execute() {
    Log(Title() + "started at " + When());
    const std::string headerText = VerifyOnly ? "Verifying headers" : "Repairing headers";
    C.DoVerifyProgress(headerText, 0);
    bool indexOk = true;
    Valid = C.VerifyTableHeaders(VerifyOnly, indexOk);
    IndexesOk = indexOk;
    if (!VerifyOnly) {
        // Repair may have changed sizes and offsets: the cursor works with the repaired fields.
        C.FieldCount = C.Table->DataFile->FieldCount();
        C.RecordSize = C.Table->DataFile->RecordSize();
        C.LoadFieldDescriptors();
        C.CurrentRecord->SetBufferSize(C.RecordSize);
    }
    CheckTextParams();
    C.DoVerifyProgress(headerText, 100);

    FieldsFit = FieldsFitRecord();
    // Without a sound record layout no key can be built from the records to compare.
    if (!FieldsFit) IndexesOk = false;
    EditIndexes = C.EditIndexes();
    RecordCount = RecordsToScan();
    // Reading ahead goes by the header's count, which must then not reach past the file.
    ReadAhead = RecordCount == C.Table->DataFile->RecordCount();
    RecordPass();
    if (C.GetTableRecordCount() != LiveCount) IndexesOk = false;
    // What the record pass cannot see from the records: entries without a record, entries of
    // records gone or changed, pages that only a walk reaches.
    if (IndexesOk) {
        for (uint8_t i : EditIndexes)
            if (IndexesOk && !IndexEntriesMatch(i)) IndexesOk = false;
        if (IndexesOk && !IndexEntriesMatch(SysDeletedIndex)) IndexesOk = false;
    }

    // A repair raises the last record ID before the indexes are rebuilt, so that a record given a
    // new ID there cannot take one that a later record holds already.
    TDataFile& data = *C.Table->DataFile;
    const bool idTooSmall = data.LastRecordId() < LargestId;
    if (idTooSmall && !VerifyOnly) data.SetLastRecordId(LargestId);

    if (ForceRebuild || !IndexesOk) {
        if (VerifyOnly) {
            if (!IndexesOk) Log("Indexes do not match record data and are invalid");
        } else {
            RebuildIndexes();
        }
        if (!IndexesOk) Valid = false;
    }
    if (idTooSmall) {
        Log(VerifyOnly ? "Invalid next available record ID (auto-increment)"
                       : "Invalid next available record ID (auto-increment), error fixed");
        Valid = false;
    }
    Log(Title() + "completed at " + When());
    return Valid;
}

void TDataCursor::TVerifyRun::CheckTextParams() {
    try {
        C.ReadTextIndexParams();
        C.TextParamsLoaded = true;
        return;
    } catch (const EDbEngineError&) {
        // Reported below; repair puts the defaults in their place.
    }
    Log(VerifyOnly ? "Invalid or corrupt text indexing parameters in index"
                   : "Invalid or corrupt text indexing parameters in index, error fixed");
    Valid = false;
    if (VerifyOnly) return;
    std::vector<std::string> words(std::begin(DefaultStopWords), std::end(DefaultStopWords));
    C.SetTextIndexParams(&words, DefaultSpaceChars(), DefaultIncludeChars());
    IndexesOk = false;
}

bool TDataCursor::TVerifyRun::FieldsFitRecord() const {
    const uint32_t size = C.Table->DataFile->RecordSize();
    if (size < RecordHeaderSize) return false;
    for (const TFieldDescriptor& d : C.Table->DataFile->Descriptors) {
        uint32_t end = d.IsAutoInc() ? d.Offset + 4u : d.Offset + 1u + d.ValueSize;
        if (d.FieldType == fldBlob) end = std::max<uint32_t>(end, d.Offset + 1u + BlobReferenceSize);
        if (end > size) return false;
    }
    return true;
}

int32_t TDataCursor::TVerifyRun::RecordsToScan() const {
    TDataFile& data = *C.Table->DataFile;
    if (data.RecordSize() < RecordHeaderSize) return 0;
    const int64_t start = data.RecordOffset(1);
    const int64_t size = data.GetFileSize();
    const int64_t whole = size > start ? (size - start) / data.RecordSize() : 0;
    return static_cast<int32_t>(
        std::clamp<int64_t>(std::min<int64_t>(data.RecordCount(), whole), 0, MaxRecordCount));
}

TRecord* TDataCursor::TVerifyRun::Fetch(int32_t recNo) {
    TRecord* record = nullptr;
    if (!C.Table->DataFile->GetRecord(&C, recNo, 1, false, ReadAhead, record) || record == nullptr)
        C.RaiseCursor(DBE_KEYORRECDELETED);
    return record;
}

void TDataCursor::TVerifyRun::RecordPass() {
    TPassProgress progress(C,
                           VerifyOnly ? "Verifying record and BLOB data" : "Repairing record and BLOB data",
                           RecordCount, C.GetProgressIncrement());
    TDataFile& data = *C.Table->DataFile;
    for (int32_t recNo = 1; recNo <= RecordCount; ++recNo) {
        TRecord* record = nullptr;
        try {
            record = Fetch(recNo);
            CheckRecord(*record, recNo);
        } catch (...) {
            const TEngineErrorCode code = CodeOf(std::current_exception());
            Log("Unexpected error " + std::to_string(code) +
                (VerifyOnly ? " during verification" : " during repair") + " for physical record # " +
                std::to_string(recNo) +
                (VerifyOnly ? ", continuing with verification" : ", continuing with repair"));
            Valid = false;
        }
        progress.RecordDone(recNo);
        if (record != nullptr) {
            // Verification leaves the cache as the file has it; repair's changes are written.
            if (VerifyOnly) record->Modified = false;
            data.ReleaseRecord(record);
        }
    }
    progress.Finish();
}

void TDataCursor::TVerifyRun::CheckRecord(TRecord& record, int32_t recNo) {
    if (record.RecordId() == 0) {
        LogRecordId(recNo);
        if (!VerifyOnly) GiveNewRecordId(record);
        Valid = false;
    }
    if (record.Status() != StatusLive)
        CheckDeletedRecord(record, recNo);
    else
        CheckLiveRecord(record, recNo);
}

std::vector<uint8_t> TDataCursor::TVerifyRun::StatusKey(uint8_t status, const uint8_t* record) const {
    uint8_t head[RecordHeaderSize] = {};
    head[0] = status;
    std::vector<uint8_t> key(SysDeletedKeySize + 8, 0);
    BuildRecordIdKey(head, key.data(), record);
    return key;
}

bool TDataCursor::TVerifyRun::HasEntry(uint8_t index, const std::vector<uint8_t>& key, int32_t recNo) {
    C.SelectIndex(index);
    return C.KeyEntryExists(key.data(), recNo);
}

bool TDataCursor::TVerifyRun::IndexEntriesMatch(uint8_t index) {
    TDataFile& data = *C.Table->DataFile;
    try {
        C.SelectIndex(index);
        const size_t keySize = C.KeySize;
        TPage leaf;
        int32_t entry = 0;
        int32_t entries = 0;
        std::vector<uint8_t> previous;
        bool more = C.DescendToSeq(1, leaf, entry);
        int64_t crossings = 0;
        while (more) {
            const uint8_t* key = leaf.EntryKey(entry);
            if (!previous.empty() && C.CompareKeys(previous.data(), key, keySize) >= 0) return false;
            previous.assign(key, key + keySize);
            const int32_t recNo = leaf.GetValue(entry);
            if (recNo < 1 || recNo > RecordCount) return false;
            TRecord* record = Fetch(recNo);
            std::vector<uint8_t> expected =
                index == SysDeletedIndex         ? StatusKey(record->Status(), record->Data())
                : record->Status() == StatusLive ? C.RecordKey(record->Data(), record->Data())
                                                 : std::vector<uint8_t>{};
            data.ReleaseRecord(record);
            if (expected.size() < keySize || std::memcmp(expected.data(), key, keySize) != 0) return false;
            ++entries;
            const int32_t page = leaf.PageNo;
            more = C.StepEntry(leaf, entry, true);
            if (more && leaf.PageNo != page && ++crossings > C.IndexFile->GetPageCount()) return false;
        }
        return entries == (index == SysDeletedIndex ? RecordCount : LiveCount);
    } catch (...) {
        return false;
    }
}

void TDataCursor::TVerifyRun::GiveNewRecordId(TRecord& record) {
    record.SetRecordId(C.Table->DataFile->NextRecordId());
    record.Modified = true;
}

void TDataCursor::TVerifyRun::CheckDeletedRecord(TRecord& record, int32_t recNo) {
    if (IndexesOk) {
        try {
            for (uint8_t i : EditIndexes) {
                C.SelectIndex(i);
                if (C.KeyEntryExists(C.RecordKey(record.Data(), record.Data()).data(), recNo)) {
                    IndexesOk = false;
                    break;
                }
            }
            if (IndexesOk && !HasEntry(SysDeletedIndex, StatusKey(record.Status(), record.Data()), recNo))
                IndexesOk = false;
        } catch (...) {
            IndexesOk = false;
        }
    }
    if (!VerifyOnly) {
        C.Table->DataFile->FreeRecord(&record);
        record.Modified = true;
    }
    CheckBlobFields(record, recNo, false);
}

void TDataCursor::TVerifyRun::CheckLiveRecord(TRecord& record, int32_t recNo) {
    LargestId = std::max(LargestId, record.RecordId());
    ++LiveCount;
    if (IndexesOk) {
        try {
            for (uint8_t i : EditIndexes) {
                C.SelectIndex(i);
                if (!C.KeyEntryExists(C.RecordKey(record.Data(), record.Data()).data(), recNo)) {
                    IndexesOk = false;
                    break;
                }
            }
            if (IndexesOk && !HasEntry(SysDeletedIndex, StatusKey(StatusLive, record.Data()), recNo)) {
                IndexesOk = false;
                LogRecordId(recNo);
                if (!VerifyOnly) GiveNewRecordId(record);
            }
        } catch (...) {
            IndexesOk = false;
        }
    }
    CheckBlobFields(record, recNo, true);
    if (IndexesOk) {
        try {
            if (!C.CheckRecordWords(record.Data())) IndexesOk = false;
        } catch (...) {
            IndexesOk = false;
        }
    }
}

void TDataCursor::TVerifyRun::CheckBlobFields(TRecord& record, int32_t recNo, bool live) {
    if (!FieldsFit || !C.Table->HasBlobFields()) return;
    const std::string offsetLine =
        "Invalid BLOB offset into BLOB file for physical record # " + std::to_string(recNo);
    const int64_t blockCount = C.Table->BlobFile->IsOpen ? C.Table->BlobFile->BlockCount() : 0;
    for (const TFieldDescriptor& d : C.Table->DataFile->Descriptors) {
        if (d.FieldType != fldBlob) continue;
        uint8_t* at = record.Data() + d.Offset;
        int32_t firstBlock = GetInt32(at + 1);
        const int32_t stamp = GetInt32(at + 1 + BlobStampOffset);
        auto setNull = [&] {
            at[0] = 0;
            std::fill(at + 1, at + 1 + BlobReferenceSize, uint8_t{0});
            record.Modified = true;
        };
        if (!live || at[0] == 0) {
            // A deleted record or a NULL field keeps no chain.
            if (firstBlock == 0) continue;
            LogFixed(offsetLine);
            if (!VerifyOnly) setNull();
            Valid = false;
            continue;
        }
        const int32_t before = firstBlock;
        bool sound = true;
        if (firstBlock < 0 || firstBlock > blockCount) {
            LogFixed(offsetLine);
            firstBlock = 0;
            sound = false;
        } else {
            sound = C.VerifyBlobs(VerifyOnly, firstBlock, stamp, recNo, Tolerant);
        }
        if (!sound) {
            Valid = false;
            // The words of a damaged memo (and of the one repair leaves) are not those the text
            // index holds for it: its keys are rebuilt, or stale ones would go on finding it.
            if (C.IsTextIndexedField(static_cast<uint16_t>(d.FieldNo))) IndexesOk = false;
        }
        if (VerifyOnly || firstBlock == before) continue;
        // A value whose chain could not be kept loses its reference: the field becomes NULL.
        if (firstBlock == 0) {
            setNull();
        } else {
            PutInt32(at + 1, firstBlock);
            record.Modified = true;
        }
    }
}

void TDataCursor::TVerifyRun::RebuildIndexes() {
    // The parameters live in the index file that is emptied here: they are written again at close.
    C.TextParamsChanged = true;
    if (!ForceRebuild) Log("Indexes do not match record data and are invalid, starting to fix indexes");
    C.ClearIndexes();
    TPassProgress progress(C, ForceRebuild ? "Rebuilding indexes" : "Repairing indexes", RecordCount,
                           C.GetProgressIncrement());
    TDataFile& data = *C.Table->DataFile;
    LiveCount = 0;
    for (int32_t recNo = 1; recNo <= RecordCount; ++recNo) {
        TRecord* record = nullptr;
        try {
            record = Fetch(recNo);
            RebuildRecord(*record, recNo);
        } catch (...) {
            const TEngineErrorCode code = CodeOf(std::current_exception());
            Log("Unexpected error " + std::to_string(code) +
                " during rebuild of index keys for physical record # " + std::to_string(recNo) +
                ", continuing with repair");
            Valid = false;
        }
        if (record != nullptr) data.ReleaseRecord(record);
        progress.RecordDone(recNo);
    }
    progress.Finish();
    C.SetTableRecordCount(LiveCount);
    if (!ForceRebuild) Log("Invalid indexes fixed");
}

void TDataCursor::TVerifyRun::RebuildRecord(TRecord& record, int32_t recNo) {
    if (record.Status() != StatusLive) {
        C.SelectIndex(SysDeletedIndex);
        C.InsertKey(StatusKey(record.Status(), record.Data()).data(), recNo);
        return;
    }
    // Two live records with one record ID would share their record-status key and the keys of
    // every non-unique index: the later one in physical order gets a new ID.
    C.SelectIndex(SysDeletedIndex);
    if (C.KeyInIndex(StatusKey(StatusLive, record.Data()).data())) {
        LogRecordId(recNo);
        GiveNewRecordId(record);
        Valid = false;
    }
    if (!FieldsFit) C.RaiseCursor(DBE_HEADERCORRUPT);
    try {
        for (uint8_t i : EditIndexes) {
            C.SelectIndex(i);
            if (C.IsDuplicateKey(C.RecordKey(record.Data(), record.Data()).data())) C.RaiseDuplicateKey();
        }
    } catch (const EDbEngineError& e) {
        if (e.ErrorCode != DBE_KEYVIOL) throw;
        DropDuplicate(record, recNo);
        return;
    }
    for (uint8_t i : EditIndexes) {
        C.SelectIndex(i);
        C.InsertKey(C.RecordKey(record.Data(), record.Data()).data(), recNo);
    }
    C.SelectIndex(SysDeletedIndex);
    C.InsertKey(StatusKey(StatusLive, record.Data()).data(), recNo);
    C.AddRecordWordsLoadingBlobs(record.Data());
    ++LiveCount;
}

void TDataCursor::TVerifyRun::DropDuplicate(TRecord& record, int32_t recNo) {
    Log("Error rebuilding index keys for physical record # " + std::to_string(recNo) +
        ", error fixed but physical record deleted");
    Valid = false;
    // Its words were not added yet; tolerant removal touches no other record's keys.
    C.RemoveRecordWords(record.Data(), {}, true);
    if (C.Table->HasBlobFields() && C.Table->BlobFile->IsOpen) {
        for (const TFieldDescriptor& d : C.Table->DataFile->Descriptors) {
            if (d.FieldType != fldBlob) continue;
            uint8_t* at = record.Data() + d.Offset;
            int32_t firstBlock = GetInt32(at + 1);
            if (at[0] != 0 && firstBlock != 0) {
                // The chain was checked (and cut where needed) by the record pass; what cannot be
                // freed stays unused rather than stop the rebuild.
                try {
                    C.Table->BlobFile->FreeBlob(nullptr, firstBlock, GetInt32(at + 1 + BlobStampOffset),
                                                recNo, true);
                } catch (const EDbEngineError&) {
                }
            }
            at[0] = 0;
            std::fill(at + 1, at + 1 + BlobReferenceSize, uint8_t{0});
        }
    }
    C.Table->DataFile->FreeRecord(&record);
    record.Modified = true;
    C.SelectIndex(SysDeletedIndex);
    C.InsertKey(StatusKey(record.Status(), record.Data()).data(), recNo);
}

}  // namespace dbengine
