// Adding and removing secondary indexes of an open table, the rebuild of the record-status
// index after a missing index file was made anew, the physical record sort of a result table,
// and the small forwarders that table maintenance uses.
//
// A new unique index is built into pages appended to the end of the index file: the free pages
// its descriptor slot may keep from an earlier index are set aside during the build and handed
// back afterwards. A failed build (a repeated key, or any other error) has then touched nothing
// but appended pages and the header in memory, and is undone by dropping the cached pages,
// cutting the file back and restoring the header image. Other indexes reuse free pages; a failed
// build frees what it built and removes its descriptor.

#include <algorithm>
#include <string>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/cursor/RemoteCursor.h"
#include "dbengine/data/DataFile.h"
#include "dbengine/data/Record.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/index/IndexKeys.h"
#include "dbengine/os/OSLayer.h"
#include "dbengine/util/EngineUtils.h"

namespace dbengine {

namespace {

// Gives a pinned record back to the cache on every path.
class TPinnedRecord {
public:
    explicit TPinnedRecord(TDataFile& file) : File(file) {}
    ~TPinnedRecord() {
        if (Rec != nullptr) File.ReleaseRecord(Rec);
    }
    TPinnedRecord(const TPinnedRecord&) = delete;
    TPinnedRecord& operator=(const TPinnedRecord&) = delete;
    TRecord*& Ref() { return Rec; }
    TRecord* operator->() const { return Rec; }

private:
    TDataFile& File;
    TRecord* Rec = nullptr;
};

// Reports whole percentages of a pass over count records when they have grown by at least step
// since the last report, and 100 at the end.
class TPassProgress {
public:
    TPassProgress(int32_t count, uint16_t step, std::function<void(int)> report)
        : Count(count), Step(step), Report(std::move(report)) {}
    void After(int32_t recordNo) {
        if (Count <= 0) return;
        int percent = static_cast<int>(static_cast<int64_t>(recordNo) * 100 / Count);
        if (percent >= Last + Step) {
            Last = percent;
            Report(percent);
        }
    }
    void Finish() {
        if (Last != 100) {
            Last = 100;
            Report(100);
        }
    }

private:
    int32_t Count;
    int Step;
    std::function<void(int)> Report;
    int Last = 0;
};

}  // namespace

void TDataCursor::AddIndex(TIndexDescriptor desc, bool flag) {
    if (desc.Temporary == 0) {
        CheckExclusive();
        CheckWritable();
    }
    int keySize = 0;
    uint8_t fieldCount = 0;
    for (; fieldCount < MaxIndexFields && desc.FieldNumbers[fieldCount] != 0; ++fieldCount) {
        const TFieldDescriptor* field = Table->FindField(desc.FieldNumbers[fieldCount]);
        if (field == nullptr) CheckFieldError(DBE_OUTOFRANGE, std::to_string(desc.FieldNumbers[fieldCount]));
        keySize += KeyPartSize(*field) + 1;
    }
    if (keySize == 0 || keySize > MaxKeyFieldPart) RaiseIndex(DBE_INVALIDKEY, desc.Name);
    if (desc.Unique == 0) keySize += 4;  // the record-ID suffix
    desc.KeySize = static_cast<uint16_t>(keySize);
    desc.FieldCount = fieldCount;
    return Tables->AddIndex(desc, flag);
}

void TDataCursor::LocalAddIndex(TIndexDescriptor desc, bool /*flag: the remote protocol's*/) {
    TIndexFile& file = *IndexFile;
    bool temporary = desc.Temporary != 0;
    // A unique index may meet a repeated key, which refuses the whole index: its build only
    // appends pages, so that undoing it leaves the file byte for byte as it was. Everything
    // pending reaches the file first, so that cached pages can then be thrown away and the file
    // cut without losing anyone else's changes.
    // Inside a transaction pending pages of other indexes may not be written yet: there the
    // failed build is undone by freeing its pages instead.
    bool appendOnly = !temporary && desc.Unique != 0 && !Table->InTransaction;
    if (appendOnly) Table->FlushBuffers();
    TIndexHeader savedHeader = file.Header;
    int64_t savedSize = appendOnly ? file.GetFileSize() : 0;
    uint8_t savedIndex = CurrentIndex;

    file.AddIndexDesc(desc);
    uint8_t indexNo = file.GetIndexCount();
    int32_t keptFreePages = 0;
    if (appendOnly) {
        keptFreePages = file.GetFreePage(indexNo);
        file.SetFreePage(indexNo, 0);
    }
    try {
        BuildIndexKeys(indexNo);
    } catch (...) {
        try {
            if (appendOnly) {
                file.DropPages(false);
                file.Header = savedHeader;
                {
                    TFileLockScope scope(file);
                    file.SeekFile(0, savedSize);
                    file.TruncateFile();
                }
            } else {
                // A half-built index would answer searches without some records: its pages
                // go back to the slot's free chain and the descriptor is removed.
                if (!temporary) FreeIndexOf(indexNo);
                file.RemoveIndexDesc(indexNo, true);
            }
            SelectIndex(savedIndex);
        } catch (...) {
            // The build's own failure is the one reported.
        }
        throw;
    }
    // Inserting never frees a page, so the set-aside chain comes back as the slot's whole chain.
    if (appendOnly && file.GetFreePage(indexNo) == 0) file.SetFreePage(indexNo, keptFreePages);
    SetToBegin();
}

void TDataCursor::BuildIndexKeys(uint8_t indexNo) {
    TDataFile& data = *Table->DataFile;
    int32_t count = data.RecordCount();
    if (count <= 0) return;
    uint8_t savedIndex = CurrentIndex;
    SelectIndex(indexNo);
    TPassProgress progress(count, GetProgressIncrement(), [this](int percent) { DoIndexProgress(percent); });
    for (int32_t r = 1; r <= count; ++r) {
        TPinnedRecord rec(data);
        if (!data.GetRecord(this, r, 1, false, true, rec.Ref()) || rec.Ref() == nullptr)
            RaiseCursor(DBE_INDEXCORRUPT);
        if (rec->Status() == 0) {
            std::vector<uint8_t> key = RecordKey(rec->Data(), rec->Data());
            // A unique index over records that repeat a key is refused as a whole: no record
            // is given up to make room for the index.
            if (IsDuplicateKey(key.data())) RaiseDuplicateKey();
            InsertKey(key.data(), r);
        }
        progress.After(r);
    }
    progress.Finish();
    SelectIndex(savedIndex);
}

uint8_t TDataCursor::FindIndexByName(const std::string& name) const {
    std::string wanted = TrimText(name);
    uint8_t count = GetSecondaryIndexCount();
    for (int i = 0; i <= count; ++i)
        if (SameNameText(TrimText(IndexFile->GetIndexDesc(static_cast<uint8_t>(i)).Name), wanted))
            return static_cast<uint8_t>(i);
    RaiseIndex(DBE_INVALIDINDEXNAME, name);
}

void TDataCursor::DeleteIndex(const std::string& name, bool flag) {
    CheckExclusive();
    CheckWritable();
    FindIndexByName(name);  // 10022 for an unknown name, on either kind of table
    return Tables->DeleteIndex(name, flag);
}

void TDataCursor::LocalDeleteIndex(const std::string& name, bool flag) {
    uint8_t indexNo = FindIndexByName(name);
    FreeIndexOf(indexNo);
    IndexFile->RemoveIndexDesc(indexNo, flag);
    // The current index may be the one removed, or may have moved down a place.
    ClearRange();
    SelectIndex(PrimaryIndex);
    RefreshRange();
    SetToBegin();
}

void TDataCursor::DropIndexNumber(uint8_t indexNo, bool flag) {
    CheckExclusive();
    CheckWritable();
    if (indexNo > GetSecondaryIndexCount() && indexNo != SysTextIndex)
        RaiseIndex(DBE_INVALIDINDEXNAME, std::to_string(indexNo));
    FreeIndexOf(indexNo);
    IndexFile->RemoveIndexDesc(indexNo, flag);
}

void TDataCursor::FreeIndexOf(uint8_t indexNo) {
    int32_t root = IndexFile->GetRootPage(indexNo);
    if (root <= 0) return;
    uint8_t savedIndex = CurrentIndex;
    // Only the descriptor is needed to walk the pages: the index's fields may be gone already.
    CurrentIndex = indexNo;
    try {
        FreeIndexPages(root);
        // A descriptor that stays (removal without moving the later ones down) must not point
        // at freed pages.
        IndexFile->SetRootPage(indexNo, 0);
    } catch (...) {
        CurrentIndex = savedIndex;
        throw;
    }
    CurrentIndex = savedIndex;
}

void TDataCursor::FreeIndexPages(int32_t pageNo) {
    std::vector<int32_t> children;
    {
        TPage* page = IndexFile->FetchPage(CurrentIndex, pageNo);
        try {
            if (page->IsInner())
                for (int pos = 1; pos <= page->EntryCount; ++pos) children.push_back(page->GetValue(pos));
        } catch (...) {
            IndexFile->ReleasePage(page);
            throw;
        }
        IndexFile->ReleasePage(page);
    }
    // Depth first: every page below is free before the page that points at it.
    for (int32_t child : children) FreeIndexPages(child);
    TPage* page = IndexFile->FetchPage(CurrentIndex, pageNo);
    try {
        IndexFile->FreePage(*this, *page);
    } catch (...) {
        IndexFile->ReleasePage(page);
        throw;
    }
    IndexFile->ReleasePage(page);
}

void TDataCursor::RebuildInternalIndex() {
    bool wasLocked = Table->WriteLocked;
    Table->LockForWrite();
    bool lockedHere = !wasLocked && Table->WriteLocked;
    try {
        SetHasInternalPrimaryIndex(true);
        SetTableRecordCount(0);
        RebuildRecordStatusKeys(true);
        Table->FlushBuffers(false, false, true, false);
        Table->IndexRecreated = false;
    } catch (...) {
        try {
            if (lockedHere) Table->UnlockForWrite();
        } catch (...) {
        }
        throw;
    }
    if (lockedHere) Table->UnlockForWrite();
}

void TDataCursor::RebuildRecordStatusKeys(bool countLive) {
    TDataFile& data = *Table->DataFile;
    uint8_t savedIndex = CurrentIndex;
    SelectIndex(SysDeletedIndex);
    try {
        int32_t count = data.RecordCount();
        for (int32_t r = 1; r <= count; ++r) {
            TPinnedRecord rec(data);
            if (!data.GetRecord(this, r, 1, false, true, rec.Ref()) || rec.Ref() == nullptr)
                RaiseCursor(DBE_INDEXCORRUPT);
            if (rec->Status() == 0 && countLive) IncTableRecordCount();
            uint8_t key[SysDeletedKeySize + 8] = {};
            BuildRecordIdKey(rec->Data(), key, rec->Data());
            InsertKey(key, r);
        }
    } catch (...) {
        try {
            SelectIndex(savedIndex);
        } catch (...) {
        }
        throw;
    }
    SelectIndex(savedIndex);
}

void TDataCursor::SetHasInternalPrimaryIndex(bool value) {
    IndexFile->SetInternalPrimaryIndex(value);
}

void TDataCursor::SetIndexHeaderByte(uint8_t value) {
    IndexFile->SetIndexCount(value);
}

void TDataCursor::WriteAllBuffers(bool dropCaches, bool extra) {
    Table->FlushBuffers(dropCaches, extra, extra, extra, extra);
}

void TDataCursor::SortRecords(const std::vector<TFieldDescriptor>& fields, bool caseInsensitive,
                              int32_t limit, bool distinct, bool grouping, bool finish, bool filter,
                              TDataQuery* context) {
    CheckExclusive();
    if (GetSecondaryIndexCount() != 0 || !HasInternalPrimaryIndex()) return;
    Table->SortRecords(fields, caseInsensitive, limit, distinct, grouping, finish, filter, context);
    // Records moved (and, with distinct or grouping, were renumbered): the record-status index
    // is made again from the sorted file.
    FreeIndexOf(SysDeletedIndex);
    RebuildRecordStatusKeys(false);
    Table->FlushBuffers();
    ClearRange();
    RefreshRange();
    SetToBegin();
}

}  // namespace dbengine
