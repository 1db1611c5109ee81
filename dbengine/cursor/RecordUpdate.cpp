// Adding, changing and removing records through a cursor: checks, locks, keys of every index and
// of the record-status index, the record slot and the live-record count.
//
// Every check that can refuse the edit runs before anything is written. A failure after the
// first key was written gives back what was written (keys, record slot, data header), so the
// files end as they were.

#include <algorithm>
#include <cstring>
#include <optional>

#include "dbengine/cursor/CursorBlob.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/cursor/RemoteCursor.h"
#include "dbengine/data/DataFile.h"
#include "dbengine/data/Record.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/index/IndexKeys.h"
#include "dbengine/index/IndexTree.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/FirstFailure.h"

namespace dbengine {

namespace {

constexpr uint8_t StatusLive = 0;
constexpr uint8_t StatusDeleted = 1;

// One key change made during an edit, undone in reverse order when a later step fails.
struct TKeyChange {
    uint8_t Index;
    std::vector<uint8_t> OldKey;  // empty: the key was inserted
    std::vector<uint8_t> NewKey;  // empty: the key was deleted
    int32_t RecNo;
};

// The record-status key of a record with the given status and the record ID of idRecord.
std::vector<uint8_t> StatusKey(uint8_t status, const uint8_t* idRecord) {
    uint8_t record[RecordHeaderSize] = {};
    record[0] = status;
    std::vector<uint8_t> key(SysDeletedKeySize + 8, 0);
    BuildRecordIdKey(record, key.data(), idRecord);
    return key;
}

// Puts the bytes a record slot held before a failed edit back into the cached slot and marks it
// for writing: the edit's flush may have written, or may still write, the changed slot.
void RestoreSlot(TDataCursor& cursor, TDataFile& data, int32_t recNo, const std::vector<uint8_t>& before) {
    if (recNo <= 0 || before.empty()) return;
    TRecord* rec = nullptr;
    if (!data.GetRecord(&cursor, recNo, 1, false, false, rec) || rec == nullptr) return;
    std::memcpy(rec->Data(), before.data(), std::min<size_t>(before.size(), data.RecordSize()));
    rec->Modified = true;
    data.ReleaseRecord(rec);
}

// The write journal of one edit of a shared table: the edit is written at once, so a failure
// can put the table's files back as they were before it. An exclusive table or a transaction
// writes later, from memory, and keeps none.
class TEditJournal {
public:
    explicit TEditJournal(TDataTable& table) : Table(table) {}
    ~TEditJournal() {
        if (Active) Table.EndWriteJournal();
    }
    TEditJournal(const TEditJournal&) = delete;
    TEditJournal& operator=(const TEditJournal&) = delete;

    void Begin(bool exclusive) {
        if (exclusive || Table.ReadOnly || Table.InTransaction) return;
        Table.BeginWriteJournal();
        Active = true;
    }
    // True when the files and the caches are as they were before the edit.
    bool PutBack() noexcept {
        if (!Active) return false;
        Active = false;
        return Table.PutBackJournaledWrites();
    }

private:
    TDataTable& Table;
    bool Active = false;
};

}  // namespace

// Undoes key changes in reverse; keeps going past a failing step, the first error is not hidden
// by a later one (the caller re-raises the original).
class TDataCursor::TKeyLog {
public:
    explicit TKeyLog(TDataCursor& c) : C(c) {}
    void Inserted(const std::vector<uint8_t>& key, int32_t recNo) {
        Changes.push_back({C.CurrentIndex, {}, key, recNo});
    }
    void Deleted(const std::vector<uint8_t>& key, int32_t recNo) {
        Changes.push_back({C.CurrentIndex, key, {}, recNo});
    }
    void Replaced(const std::vector<uint8_t>& oldKey, const std::vector<uint8_t>& newKey, int32_t recNo) {
        Changes.push_back({C.CurrentIndex, oldKey, newKey, recNo});
    }
    // Word keys written in the text index go into the log like any other key.
    TWordKeyNote WordKeys() {
        return [this](bool inserted, const uint8_t* key, int32_t recNo) {
            std::vector<uint8_t> k(key, key + SysTextKeySize);
            if (inserted)
                Inserted(k, recNo);
            else
                Deleted(k, recNo);
        };
    }
    void Undo() noexcept {
        for (auto it = Changes.rbegin(); it != Changes.rend(); ++it) {
            try {
                C.SelectIndex(it->Index);
                if (it->OldKey.empty())
                    C.DeleteKey(it->NewKey.data());
                else if (it->NewKey.empty())
                    C.InsertKey(it->OldKey.data(), it->RecNo);
                else
                    C.ReplaceKey(it->NewKey.data(), it->OldKey.data(), it->RecNo);
            } catch (...) {
                // Best effort: the remaining changes are still undone.
            }
        }
        Changes.clear();
    }

private:
    TDataCursor& C;
    std::vector<TKeyChange> Changes;
};

std::vector<uint8_t> TDataCursor::EditIndexes() const {
    std::vector<uint8_t> list;
    if (Table->HasUserPrimaryIndex()) list.push_back(0);
    for (uint8_t i = 1; i <= GetSecondaryIndexCount(); ++i) list.push_back(i);
    return list;
}

std::vector<uint8_t> TDataCursor::RecordKey(const uint8_t* record, const uint8_t* idRecord) {
    std::vector<uint8_t> key(static_cast<size_t>(KeySize) + 16, 0);
    dbengine::BuildKey(*IndexFile, CurrentIndex, LanguageId, SortId, record, key.data(), idRecord);
    key.resize(KeySize);
    return key;
}

bool TDataCursor::ChecksDuplicates() const {
    return !(IsQueryResult && !IsQuerySource);
}

void TDataCursor::InsertRecord(uint8_t* buffer, bool reposition) {
    CheckWritable();
    CheckRecordValidity(buffer);
    return Editor->InsertRecord(buffer, reposition);
}

void TDataCursor::LocalInsertRecord(uint8_t* buffer, bool reposition) {
    TDataFile& data = *Table->DataFile;
    bool tookWrite = !Table->WriteLocked;
    // Taken first: it may re-read the headers that the undo below restores.
    LockTableForWrite();
    TEditJournal journal(*Table);
    ViewCurrentAtEdit = ViewMatchesTable();
    uint8_t savedIndex = CurrentIndex;
    TDataHeader savedHeader = data.Header;
    int32_t savedIndexCount = GetTableRecordCount();
    int32_t recNo = 0;
    bool lockedRecord = false;
    TKeyLog log(*this);
    TRecord* slot = nullptr;
    std::vector<uint8_t> slotBefore;
    bool appended = false;
    bool blobChanged = false;
    bool flushing = false;
    std::optional<TBlobRecordWrite> blobs;
    try {
        journal.Begin(Exclusive);
        recNo = data.NextFreeRecord();
        Table->LockRecord(recNo);
        lockedRecord = Table->LockedRecords.Test(recNo);
        if (!SuppressAutoInc) {
            int32_t id = data.LastRecordId() == 2147483647 ? 1 : data.LastRecordId() + 1;
            PutInt32(buffer + RecordIdOffset, id);
        }
        std::vector<uint8_t> liveKey = StatusKey(StatusLive, buffer);

        const std::vector<uint8_t> indexes = EditIndexes();
        // When the first index refuses equal keys, its insert looks for one on the way down: it
        // goes in first, after every other check, so a refused edit has changed nothing.
        bool firstChecksOnInsert = false;
        if (ChecksDuplicates()) {
            if (!indexes.empty()) {
                SelectIndex(indexes[0]);
                firstChecksOnInsert = RefusesEqualKeys();
            }
            // A record refused by several indexes names the first of them in order, as when each
            // was checked in turn before the inserts.
            auto raiseDuplicate = [&](uint8_t found) {
                if (firstChecksOnInsert) {
                    SelectIndex(indexes[0]);
                    if (IsDuplicateKey(RecordKey(buffer, buffer).data())) RaiseDuplicateKey();
                }
                SelectIndex(found);
                RaiseDuplicateKey();
            };
            for (size_t k = firstChecksOnInsert ? 1 : 0; k < indexes.size(); ++k) {
                SelectIndex(indexes[k]);
                if (IsDuplicateKey(RecordKey(buffer, buffer).data())) raiseDuplicate(indexes[k]);
            }
            if (SuppressAutoInc) {
                SelectIndex(SysDeletedIndex);
                if (KeyInIndex(liveKey.data())) raiseDuplicate(SysDeletedIndex);
            }
        }
        for (size_t k = 0; k < indexes.size(); ++k) {
            SelectIndex(indexes[k]);
            std::vector<uint8_t> key = RecordKey(buffer, buffer);
            if (k == 0 && firstChecksOnInsert) {
                if (!InsertNewTreeKey(*this, key.data(), recNo)) RaiseDuplicateKey();
            } else {
                InsertKey(key.data(), recNo);
            }
            log.Inserted(key, recNo);
        }

        SelectIndex(SysDeletedIndex);
        appended = recNo == data.Header.NextRecordNo;
        if (appended) {
            if (!data.GetRecord(this, recNo, 1, false, false, slot) || slot == nullptr)
                RaiseCursor(DBE_KEYORRECDELETED);
            slotBefore.assign(slot->Data(), slot->Data() + data.RecordSize());
            InsertKey(liveKey.data(), recNo);
            log.Inserted(liveKey, recNo);
        } else {
            slot = data.GetFreeRecord(this);
            slotBefore.assign(slot->Data(), slot->Data() + data.RecordSize());
            std::vector<uint8_t> oldKey = StatusKey(StatusDeleted, slot->Data());
            ReplaceKey(oldKey.data(), liveKey.data(), recNo);
            log.Replaced(oldKey, liveKey, recNo);
        }
        // The record's words, while its changed memos are still open with their new text.
        std::vector<uint8_t> placed(buffer, buffer + RecordSize);
        PutInt32(placed.data() + 1, recNo);
        AddRecordWords(placed.data(), log.WordKeys());
        // The ID went into the buffer above; the header's counter follows it.
        int32_t id = GetInt32(buffer + RecordIdOffset);
        slot->Init(false);
        if (SuppressAutoInc)
            data.SetLastRecordId(std::max(data.LastRecordId(), id));
        else
            data.SetLastRecordId(id);
        blobs.emplace(*this, buffer);
        blobChanged = blobs->Store(0);
        slot->CopyFields(buffer);
        slot->SetRecordId(id);
        slot->Modified = true;
        IncTableRecordCount();
        CurrentRecord->Assign(*slot);
        CurrentRecord->SetBufferSize(RecordSize);
        if (appended) PhysRecNo = recNo;
        data.ReleaseRecord(slot);
        slot = nullptr;
        flushing = true;
        FlushBuffers(false, false, true, true, blobChanged);
        blobs->Finish();
    } catch (...) {
        if (blobs) blobs->TakeBack();
        log.Undo();
        if (slot != nullptr) {
            std::memcpy(slot->Data(), slotBefore.data(), slotBefore.size());
            slot->Modified = false;
            data.ReleaseRecord(slot);
        } else if (!appended) {
            // A reused slot goes back to being the free one at the head of the chain.
            try {
                RestoreSlot(*this, data, recNo, slotBefore);
            } catch (...) {
            }
        }
        data.Header = savedHeader;
        SetTableRecordCount(savedIndexCount);
        if (appended) {
            // The appended slot lies past the restored end of the file: the cache forgets it,
            // and the file is cut back to that end (the flush, or the write just here, may have
            // written the slot, and a file longer than its header says is a damaged one).
            try {
                data.WriteModifiedRecords();
            } catch (...) {
            }
            data.DropCachedRecords();
            try {
                int64_t end = data.RecordOffset(data.Header.NextRecordNo);
                TFileLockScope scope(data);
                if (data.GetFileSize() > end && data.SeekFile(0, end) == end) data.TruncateFile();
            } catch (...) {
            }
        }
        if (!journal.PutBack()) WriteBackUndoneEdit(flushing, blobChanged);
        FinishEdit(savedIndex, reposition, false, recNo, lockedRecord, tookWrite, true);
        throw;
    }
    FinishEdit(savedIndex, reposition, false, recNo, lockedRecord, tookWrite, false);
}

void TDataCursor::WriteBackUndoneEdit(bool flushStarted, bool blobChanged) noexcept {
    // An exclusive cursor writes at the forced flush or the close; a transaction at its end.
    if (Exclusive || Table == nullptr || Table->ReadOnly || Table->InTransaction) return;
    try {
        // Headers forced once the edit's own flush had begun: it may have written some of them.
        // The data header the undo restored carries the counter from before the edit, which a
        // header written by that flush may hold already: the rewrite goes past it.
        if (flushStarted) {
            TDataFile& data = *Table->DataFile;
            int32_t stored = data.StoredChangeCount();
            if (stored != data.Header.ChangeCount) data.Header.ChangeCount = stored;
        }
        FlushBuffers(false, false, flushStarted, flushStarted, flushStarted && blobChanged);
    } catch (...) {
        // The files stay behind the memory, which holds the only whole state; the next write
        // tries again. The edit's own error is the one reported.
    }
}

void TDataCursor::FinishEdit(uint8_t savedIndex, bool reposition, bool deleted, int32_t recNo,
                             bool unlockRecord, bool unlockTable, bool failing) {
    // Each step runs even when an earlier one fails; the first failure goes on afterwards,
    // unless the edit is already failing (its own error is the one the caller sees).
    TFirstFailure steps;
    steps.Run([&] { SelectIndex(savedIndex); });
    // The range positions and bitmaps follow every edit that went through, repositioned or not,
    // so that the record count is right at once. A failed edit changed nothing to follow.
    bool incremental = !failing && ViewCurrentAtEdit;
    ViewCurrentAtEdit = false;
    if (!failing || reposition)
        steps.Run([&] {
            if (failing)
                RefreshRange();
            else if (deleted)
                RefreshAfterDelete(recNo, incremental);
            else
                RefreshAfterInsert(recNo, CurrentRecord->Data(), incremental);
        });
    if (reposition)
        steps.Run([&] {
            // In index order the record is gone from the index: standing in the crack after it
            // makes the seek land on the record that followed, or at the end.
            if (deleted && !BitmapNavigation && PhysRecNo != 0) AtEnd = true;
            Resync();
        });
    if (unlockRecord) steps.Run([&] { UnlockRecord(recNo, true); });
    if (unlockTable) steps.Run([&] { Table->UnlockForWrite(); });
    // The short-term lock that a record lock took goes with the edit.
    if (ReadBracketDepth == 0) steps.Run([&] { ReleaseReadLock(); });
    if (!failing) steps.RaiseIfAny();
}

void TDataCursor::ModifyRecord(uint8_t* buffer, bool unlock, bool reposition) {
    CheckWritable();
    CheckRecordValidity(buffer);
    return Editor->ModifyRecord(buffer, unlock, reposition);
}

void TDataCursor::LocalModifyRecord(uint8_t* buffer, bool unlock, bool reposition) {
    if (PhysRecNo == 0 || (AtBeginning && AtEnd)) RaiseCursor(DBE_NOCURRREC);
    TDataFile& data = *Table->DataFile;
    bool optimistic = Table->Session != nullptr && Table->Session->LockProtocol == lpOptimistic;
    std::vector<uint8_t> seen(CurrentRecord->Data(), CurrentRecord->Data() + RecordSize);
    bool tookWrite = !Table->WriteLocked;
    uint8_t savedIndex = CurrentIndex;
    int32_t recNo = PhysRecNo;
    bool lockedHere = false;
    TKeyLog log(*this);
    TRecord* rec = nullptr;
    std::vector<uint8_t> recBefore;
    TDataHeader savedHeader = data.Header;
    bool keyChanged = false;
    bool blobChanged = false;
    bool flushing = false;
    std::optional<TBlobRecordWrite> blobs;
    TEditJournal journal(*Table);
    try {
        LockTableForWrite();
        journal.Begin(Exclusive);
        ViewCurrentAtEdit = ViewMatchesTable();
        savedHeader = data.Header;
        // Going back to the record after another process's change may find it gone.
        bool gone = PhysRecNo != recNo || AtBeginning || AtEnd;
        if (optimistic && !Exclusive) {
            LoadCurrentRecord(1);
            if (RecordChangedMark || gone ||
                std::memcmp(seen.data(), CurrentRecord->Data(), RecordSize) != 0) {
                RecordChangedMark = true;
                RaiseCursor(DBE_KEYORRECDELETED);
            }
            LockRecord(recNo);
            lockedHere = LockedRecNo == recNo;
        } else {
            if (gone) RaiseCursor(DBE_KEYORRECDELETED);
            // Another cursor of this process is editing the record.
            if (Table->EditLocks.Test(recNo) && LockedRecNo != recNo) RaiseCursor(DBE_RECLOCKFAILED);
        }
        const uint8_t* current = CurrentRecord->Data();
        if (SuppressAutoInc)
            data.SetLastRecordId(std::max(data.LastRecordId(), GetInt32(buffer + RecordIdOffset)));
        else
            std::memcpy(buffer + RecordIdOffset, current + RecordIdOffset, 4);

        std::vector<uint8_t> oldStatus = StatusKey(StatusLive, current);
        std::vector<uint8_t> newStatus = StatusKey(StatusLive, buffer);
        if (ChecksDuplicates()) {
            for (uint8_t i : EditIndexes()) {
                SelectIndex(i);
                std::vector<uint8_t> oldKey = RecordKey(current, current);
                std::vector<uint8_t> newKey = RecordKey(buffer, buffer);
                if (oldKey != newKey && IsDuplicateKey(newKey.data())) RaiseDuplicateKey();
            }
            if (SuppressAutoInc && oldStatus != newStatus) {
                SelectIndex(SysDeletedIndex);
                if (KeyInIndex(newStatus.data())) RaiseDuplicateKey();
            }
        }
        for (uint8_t i : EditIndexes()) {
            SelectIndex(i);
            std::vector<uint8_t> oldKey = RecordKey(current, current);
            std::vector<uint8_t> newKey = RecordKey(buffer, buffer);
            if (oldKey == newKey) continue;
            ReplaceKey(oldKey.data(), newKey.data(), recNo);
            log.Replaced(oldKey, newKey, recNo);
            keyChanged = true;
        }
        if (SuppressAutoInc && oldStatus != newStatus) {
            SelectIndex(SysDeletedIndex);
            ReplaceKey(oldStatus.data(), newStatus.data(), recNo);
            log.Replaced(oldStatus, newStatus, recNo);
            keyChanged = true;
        }
        if (UpdateRecordWords(buffer, current, log.WordKeys())) keyChanged = true;
        if (!data.GetRecord(this, recNo, 1, false, false, rec) || rec == nullptr)
            RaiseCursor(DBE_KEYORRECDELETED);
        recBefore.assign(rec->Data(), rec->Data() + data.RecordSize());
        blobs.emplace(*this, buffer);
        blobChanged = blobs->Store(recNo);
        rec->CopyFields(buffer);
        rec->SetRecordId(GetInt32(buffer + RecordIdOffset));
        rec->Modified = true;
        CurrentRecord->Assign(*rec);
        CurrentRecord->SetBufferSize(RecordSize);
        data.ReleaseRecord(rec);
        rec = nullptr;
        flushing = true;
        FlushBuffers(false, false, true, keyChanged, blobChanged);
        blobs->Finish();
        if (unlock && !optimistic && LockedRecNo == recNo) UnlockRecord(recNo, false);
    } catch (...) {
        if (blobs) blobs->TakeBack();
        log.Undo();
        if (rec != nullptr) {
            std::memcpy(rec->Data(), recBefore.data(), recBefore.size());
            data.ReleaseRecord(rec);
        } else {
            try {
                RestoreSlot(*this, data, recNo, recBefore);
            } catch (...) {
            }
        }
        data.Header.LastRecordId = savedHeader.LastRecordId;
        if (!journal.PutBack()) WriteBackUndoneEdit(flushing, blobChanged);
        FinishEdit(savedIndex, reposition, false, recNo, optimistic && lockedHere, tookWrite, true);
        throw;
    }
    FinishEdit(savedIndex, reposition, false, recNo, optimistic && lockedHere, tookWrite, false);
}

void TDataCursor::DeleteRecord(const uint8_t* buffer, bool reposition) {
    CheckWritable();
    return Editor->DeleteRecord(buffer, reposition);
}

void TDataCursor::LocalDeleteRecord(const uint8_t* buffer, bool reposition) {
    if (PhysRecNo == 0 || (AtBeginning && AtEnd)) RaiseCursor(DBE_NOCURRREC);
    TDataFile& data = *Table->DataFile;
    bool tookWrite = !Table->WriteLocked;
    uint8_t savedIndex = CurrentIndex;
    int32_t recNo = PhysRecNo;
    bool lockedHere = false;
    TKeyLog log(*this);
    TDataHeader savedHeader = data.Header;
    int32_t savedIndexCount = 0;
    std::vector<uint8_t> slotBefore;
    bool flushing = false;
    std::optional<TBlobRecordWrite> blobs;
    TEditJournal journal(*Table);
    try {
        LockTableForWrite();
        journal.Begin(Exclusive);
        ViewCurrentAtEdit = ViewMatchesTable();
        savedHeader = data.Header;
        savedIndexCount = GetTableRecordCount();
        if (PhysRecNo != recNo || AtBeginning || AtEnd) RaiseCursor(DBE_KEYORRECDELETED);
        if (Table->EditLocks.Test(recNo)) {
            // Only the cursor that edits the record may delete it; the delete ends that edit.
            if (LockedRecNo != recNo) RaiseCursor(DBE_RECLOCKFAILED);
            lockedHere = true;
            // The record was being edited here: its open values die with it, unsaved.
            if (Table->HasBlobFields()) FreeAllBlobs(true, false);
        } else {
            if (!Exclusive) {
                LoadCurrentRecord(1);
                if (std::memcmp(buffer + RecordHeaderSize, CurrentRecord->Data() + RecordHeaderSize,
                                RecordSize - RecordHeaderSize) != 0)
                    RaiseCursor(DBE_KEYORRECDELETED);
            }
            LockRecord(recNo);
            lockedHere = LockedRecNo == recNo;
        }
        {
            TRecord* rec = nullptr;
            if (data.GetRecord(this, recNo, 1, false, false, rec) && rec != nullptr) {
                slotBefore.assign(rec->Data(), rec->Data() + data.RecordSize());
                data.ReleaseRecord(rec);
            }
        }
        RemoveRecord(CurrentRecord->Data(), recNo, NaturalOrderIndex, false, log, blobs);
        flushing = true;
        FlushBuffers(false, false, true, true, Table->HasBlobFields());
        blobs->Finish();
    } catch (...) {
        if (blobs) blobs->TakeBack();
        log.Undo();
        data.Header = savedHeader;
        if (savedIndexCount != 0) SetTableRecordCount(savedIndexCount);
        // The freed slot becomes the live record again.
        try {
            RestoreSlot(*this, data, recNo, slotBefore);
        } catch (...) {
        }
        if (!journal.PutBack()) WriteBackUndoneEdit(flushing, Table->HasBlobFields());
        FinishEdit(savedIndex, reposition, true, recNo, lockedHere, tookWrite, true);
        throw;
    }
    FinishEdit(savedIndex, reposition, true, recNo, lockedHere, tookWrite, false);
}

void TDataCursor::RemoveRecord(const uint8_t* record, int32_t recNo, uint8_t keepIndex, bool tolerant,
                               TKeyLog& log, std::optional<TBlobRecordWrite>& blobs) {
    TDataFile& data = *Table->DataFile;
    // 1. The record's key in every index that holds records.
    for (uint8_t i : EditIndexes()) {
        if (i == keepIndex) continue;
        SelectIndex(i);
        std::vector<uint8_t> key = RecordKey(record, record);
        if (tolerant) {
            // An index being rebuilt may not hold the record yet, and a unique index may hold
            // an equal key of another record: only this record's own entry goes.
            if (!KeyEntryExists(key.data(), recNo)) continue;
        }
        DeleteKey(key.data());
        log.Deleted(key, recNo);
    }
    // 2. The record-status key moves to the deleted group.
    SelectIndex(SysDeletedIndex);
    std::vector<uint8_t> liveKey = StatusKey(StatusLive, record);
    std::vector<uint8_t> deadKey = StatusKey(StatusDeleted, record);
    if (tolerant && !KeyEntryExists(liveKey.data(), recNo)) {
        if (!KeyEntryExists(deadKey.data(), recNo)) {
            InsertKey(deadKey.data(), recNo);
            log.Inserted(deadKey, recNo);
        }
    } else {
        ReplaceKey(liveKey.data(), deadKey.data(), recNo);
        log.Replaced(liveKey, deadKey, recNo);
    }
    DecTableRecordCount();
    // 3. Every BLOB of the record is emptied, which frees its chain when stored (the caller
    // finishes or takes back the BLOB changes with the rest of its work). Its words leave the
    // text index in between, while the emptied memos still hold their old text.
    blobs.emplace(*this, record, TBlobRecordWrite::OnCopy);
    blobs->EmptyAll();
    RemoveRecordWords(record, log.WordKeys(), tolerant);
    blobs->Store(recNo);
    // 4. The slot becomes the head of the free chain, keeping no reference to a chain.
    TRecord* rec = nullptr;
    if (!data.GetRecord(this, recNo, 1, false, false, rec) || rec == nullptr)
        RaiseCursor(DBE_KEYORRECDELETED);
    std::vector<uint8_t> before(rec->Data(), rec->Data() + data.RecordSize());
    try {
        blobs->CopyFieldsTo(rec->Data());
        data.FreeRecord(rec);
        rec->Modified = true;
    } catch (...) {
        std::memcpy(rec->Data(), before.data(), before.size());
        data.ReleaseRecord(rec);
        throw;
    }
    data.ReleaseRecord(rec);
}

void TDataCursor::DropRecordEverywhere(const uint8_t* record, int32_t recNo, uint8_t keepIndex) {
    uint8_t savedIndex = CurrentIndex;
    int32_t savedCount = GetTableRecordCount();
    TKeyLog log(*this);
    std::optional<TBlobRecordWrite> blobs;
    try {
        RemoveRecord(record, recNo, keepIndex, true, log, blobs);
        blobs->Finish();
        // Maintenance work (restructure, repair) writes the table as a whole afterwards: the
        // record's chains are free at once.
        Table->FreeReleasedChains();
    } catch (...) {
        if (blobs) blobs->TakeBack();
        log.Undo();
        SetTableRecordCount(savedCount);
        try {
            SelectIndex(savedIndex);
        } catch (...) {
        }
        throw;
    }
    SelectIndex(savedIndex);
}

void TDataCursor::CancelRecord() {
    return Editor->CancelRecord();
}

void TDataCursor::LocalCancelRecord() {
    RecordChangedMark = false;
    // Only the edit lock this cursor holds: another cursor's lock on the record is not ours.
    if (LockedRecNo != 0) UnlockRecord(LockedRecNo, false);
}

TEngineErrorCode TDataCursor::CloneCurrentRecord(uint8_t* buffer) {
    return Editor->CloneCurrentRecord(buffer);
}

TEngineErrorCode TDataCursor::LocalCloneCurrentRecord(uint8_t* buffer) {
    TReadBracket bracket(*this);
    if (AtBeginning && AtEnd) return DBE_NOCURRREC;
    LoadCurrentRecord(1);
    ClearRecordBuffer(buffer);
    std::vector<uint8_t> value(256, 0);
    for (uint16_t p = 1; p <= FieldCount; ++p) {
        TFieldDescriptor d;
        GetFieldDescAt(p, d);
        uint16_t f = FieldAddress(p, d);
        if (value.size() < d.ValueSize + 8u) value.resize(d.ValueSize + 8u);
        bool blank = false;
        GetField(f, CurrentRecord->Data(), value.data(), blank);
        if (blank) continue;
        // A BLOB gets a value of its own: sharing the source's chain would let either record's
        // next write change the other's value.
        if (d.FieldType == fldBlob)
            CloneBlob(f, CurrentRecord->Data(), buffer);
        else
            PutField(f, buffer, value.data(), true, false);
    }
    if (SuppressAutoInc) std::memcpy(buffer + RecordIdOffset, CurrentRecord->Data() + RecordIdOffset, 4);
    return 0;
}

bool TDataCursor::ViewMatchesTable() const {
    return Table != nullptr && DataChangeCount == Table->DataChangeCount() &&
           IndexChangeCount == Table->IndexChangeCount() && BlobChangeCount == Table->BlobChangeCount();
}

void TDataCursor::RefreshAfterInsert(int32_t recNo, const uint8_t* record, bool incremental) {
    ComputeRangeBounds();
    if (!BitmapNavigation) return;
    if (!incremental || recNo <= 0 || VisibleBitmap->Size == 0) {
        // The bitmaps may miss other changes too (or were never built): rebuilt whole.
        RebuildBitmaps();
        return;
    }
    // Only the one record is tested against the range and the active filters, as filters see
    // it: with its calculated fields.
    std::vector<uint8_t> buffer(record, record + RecordSize);
    if (HasCalculatedFields) ComputeCalculatedFields(buffer.data());
    BitmapsRecordInserted(recNo, buffer.data());
    bool visible = LiveBitmap->Test(recNo) && (RangeBitmap->Size == 0 || RangeBitmap->Test(recNo));
    for (auto& f : Filters)
        if (visible && f->Active) visible = f->Bitmap->Test(recNo);
    if (visible)
        VisibleBitmap->SetBit(recNo);
    else
        VisibleBitmap->ClearBit(recNo);
    VisibleSeqNo = 0;
}

void TDataCursor::RefreshAfterDelete(int32_t recNo, bool incremental) {
    ComputeRangeBounds();
    if (!BitmapNavigation) return;
    if (!incremental || recNo <= 0 || VisibleBitmap->Size == 0) {
        RebuildBitmaps();
        return;
    }
    BitmapsRecordDeleted(recNo);
    VisibleSeqNo = 0;
}

}  // namespace dbengine
