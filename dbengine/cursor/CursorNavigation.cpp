// The cursor's current index, key search, key range, position and movement.
//
// Index order: the position is the current leaf's page number, the entry number on it (1-based),
// the sequence number of that entry over the whole index (1-based) and a copy of its key. Natural order: the
// physical record number and the count of visible records up to it, walking VisibleBitmap.

#include <algorithm>
#include <cstring>
#include <optional>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/cursor/RemoteCursor.h"
#include "dbengine/data/DataFile.h"
#include "dbengine/data/Record.h"
#include "dbengine/index/IndexKeys.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineUtils.h"
#include "framework/core/SysUtils.h"

namespace dbengine {

namespace {

// A page read that reports another process's change is tried again this many times before the
// cursor gives up; the page cache has re-synchronised by then.
constexpr int PageRetries = 8;

}  // namespace

// ---- Pages and descents ----

TPage* TDataCursor::FetchIndexPage(int32_t pageNo) {
    TPage* page = nullptr;
    for (int attempt = 0; attempt < PageRetries; ++attempt) {
        ++PageFetches;
        if (IndexFile->GetPage(*this, pageNo, false, page)) return page;
        // The pages and positions the caller holds belong to the table as it was: its work
        // starts over from the cursor's record.
        if (RestartDepth > 0) throw TChangedUnderneath{};
    }
    IndexFile->RaiseError(DBE_INDEXCORRUPT);
}

void TDataCursor::Restartable(const std::function<void()>& body) {
    if (RestartDepth > 0) return body();
    for (int attempt = 1;; ++attempt) {
        RestartDepth = 1;
        try {
            body();
            RestartDepth = 0;
            return;
        } catch (const TChangedUnderneath&) {
            RestartDepth = 0;
            if (attempt >= PageRetries) IndexFile->RaiseError(DBE_INDEXCORRUPT);
        } catch (...) {
            RestartDepth = 0;
            throw;
        }
    }
}

// A leaf of the current index held in the page cache (pinned) while a walk reads it. A walk
// holds one leaf at a time and lets it go before it fetches another page: a fetch may find the
// table changed and drop every cached page.
class TDataCursor::TLeafWalk {
public:
    explicit TLeafWalk(TDataCursor& cursor) : C(cursor) {}
    ~TLeafWalk() { Release(); }
    TLeafWalk(const TLeafWalk&) = delete;
    TLeafWalk& operator=(const TLeafWalk&) = delete;

    void Take(TPage* page) {
        Release();
        Page = page;
    }
    void Release() {
        if (Page != nullptr) C.IndexFile->ReleasePage(Page);
        Page = nullptr;
    }
    const uint8_t* Key() const { return Page->EntryKey(Entry); }
    int32_t Value() const { return Page->GetValue(Entry); }

    TPage* Page = nullptr;
    int32_t Entry = 0;  // 1-based on Page
    int32_t Seq = 0;    // over the whole index

private:
    TDataCursor& C;
};

void TDataCursor::PlaceOn(const TLeafWalk& walk) {
    CurrentPage.Set(walk.Page->PageNo, walk.Page->EntryCount, walk.Value(), walk.Key(), KeySize);
    EntryNo = walk.Entry;
    SeqNo = walk.Seq;
    PhysRecNo = CurrentPage.Value;
    VisibleSeqNo = 0;
    BeforeCurrent = false;
}

bool TDataCursor::DescendFirstGE(const uint8_t* key, TLeafWalk& walk) {
    return DescendToKey(key, true, walk);
}

bool TDataCursor::DescendLastLE(const uint8_t* key, TLeafWalk& walk) {
    return DescendToKey(key, false, walk);
}

// The first entry not below key (forward) or the last entry not above it (backward), with its
// sequence number; false when there is none.
bool TDataCursor::DescendToKey(const uint8_t* key, bool forward, TLeafWalk& walk) {
    walk.Release();
    int32_t pageNo = IndexFile->GetRootPage(CurrentIndex);
    if (pageNo == 0) return false;
    int32_t count = 0;
    for (int depth = 0; depth <= MaxTreeLevels; ++depth) {
        TPage* p = FetchIndexPage(pageNo);
        if (p->EntryCount == 0) {
            IndexFile->ReleasePage(p);
            return false;
        }
        int pos = forward ? p->FindFirstGE(*this, key, count) : p->FindLastLE(*this, key, count);
        if (p->IsInner()) {
            pageNo = p->GetValue(pos);
            IndexFile->ReleasePage(p);
            continue;
        }
        walk.Take(p);
        walk.Entry = pos;
        walk.Seq = count + 1;
        int order = CompareKeys(walk.Key(), key, KeySize);
        if (forward ? order >= 0 : order <= 0) return true;
        // Every key of this leaf lies on the wrong side: the answer is the neighbouring leaf's
        // nearest entry.
        walk.Seq += forward ? 1 : -1;
        return StepEntry(walk, forward);
    }
    IndexFile->RaiseError(DBE_INDEXCORRUPT);
}

bool TDataCursor::DescendToSeq(int32_t seq, TLeafWalk& walk) {
    walk.Release();
    int32_t pageNo = IndexFile->GetRootPage(CurrentIndex);
    if (pageNo == 0 || seq < 1) return false;
    int32_t before = 0;  // entries left of the page being searched
    for (int depth = 0; depth <= MaxTreeLevels; ++depth) {
        TPage* p = FetchIndexPage(pageNo);
        if (p->EntryCount == 0) {
            IndexFile->ReleasePage(p);
            return false;
        }
        if (p->IsLeaf()) {
            int32_t pos = seq - before;
            walk.Entry = pos;
            walk.Seq = seq;
            if (pos < 1 || pos > p->EntryCount) {
                IndexFile->ReleasePage(p);
                return false;
            }
            walk.Take(p);
            return true;
        }
        // The subtree counts of the inner entries tell which child holds the wanted entry.
        int pos = 1;
        while (pos < p->EntryCount && before + p->GetSubtreeCount(pos) < seq) {
            before += p->GetSubtreeCount(pos);
            ++pos;
        }
        pageNo = p->GetValue(pos);
        IndexFile->ReleasePage(p);
    }
    IndexFile->RaiseError(DBE_INDEXCORRUPT);
}

// On failure the walk stays where it was.
bool TDataCursor::StepEntry(TLeafWalk& walk, bool forward) {
    if (forward && walk.Entry < walk.Page->EntryCount) {
        ++walk.Entry;
        return true;
    }
    if (!forward && walk.Entry > 1) {
        --walk.Entry;
        return true;
    }
    int32_t next = forward ? walk.Page->NextPage : walk.Page->PrevPage;
    // A leaf chain never leads back to the same page; an empty neighbour is a damaged chain.
    if (next == 0) return false;
    if (next == walk.Page->PageNo) IndexFile->RaiseError(DBE_INDEXCORRUPT);
    walk.Release();
    TPage* p = FetchIndexPage(next);
    if (p->EntryCount == 0 || !p->IsLeaf()) {
        IndexFile->ReleasePage(p);
        IndexFile->RaiseError(DBE_INDEXCORRUPT);
    }
    walk.Take(p);
    walk.Entry = forward ? 1 : p->EntryCount;
    return true;
}

bool TDataCursor::DescendToSeq(int32_t seq, TPage& leaf, int32_t& entry) {
    TLeafWalk walk(*this);
    if (!DescendToSeq(seq, walk)) {
        entry = walk.Entry;
        return false;
    }
    leaf.Assign(*walk.Page);
    entry = walk.Entry;
    return true;
}

bool TDataCursor::StepEntry(TPage& leaf, int32_t& entry, bool forward) {
    if (forward ? entry < leaf.EntryCount : entry > 1) {
        entry += forward ? 1 : -1;
        return true;
    }
    int32_t next = forward ? leaf.NextPage : leaf.PrevPage;
    if (next == 0) return false;
    if (next == leaf.PageNo) IndexFile->RaiseError(DBE_INDEXCORRUPT);
    TLeafWalk walk(*this);
    walk.Take(FetchIndexPage(next));
    if (walk.Page->EntryCount == 0 || !walk.Page->IsLeaf()) IndexFile->RaiseError(DBE_INDEXCORRUPT);
    leaf.Assign(*walk.Page);
    entry = forward ? 1 : leaf.EntryCount;
    return true;
}

// ---- Index state ----

uint8_t TDataCursor::GetSecondaryIndexCount() const {
    return IndexFile != nullptr ? IndexFile->GetIndexCount() : 0;
}

TIndexDescriptor TDataCursor::GetIndexDesc(uint8_t indexNo) const {
    if (indexNo == NaturalOrderIndex || IndexFile == nullptr) return {};
    return IndexFile->GetIndexDesc(indexNo);
}

std::array<uint16_t, MaxIndexFields> TDataCursor::GetIndexFieldNumbers(uint8_t indexNo) const {
    return GetIndexDesc(indexNo).FieldNumbers;
}

bool TDataCursor::HasInternalPrimaryIndex() const {
    return IndexFile != nullptr && IndexFile->GetInternalPrimaryIndex();
}

bool TDataCursor::IsNaturalOrder() const {
    return CurrentIndex == NaturalOrderIndex || (CurrentIndex == PrimaryIndex && HasInternalPrimaryIndex());
}

void TDataCursor::LoadIndexState() {
    TIndexDescriptor d = GetIndexDesc(CurrentIndex);
    CurrentIndexName = d.Name;
    KeySize = d.KeySize;
    IndexFieldCount = std::min<uint8_t>(d.FieldCount, MaxIndexFields);
    IndexDescending = d.Descending != 0;
    IndexCaseInsensitive = d.CaseInsensitive != 0;
    IndexUnique = d.Unique != 0;
    IndexFieldDescending = d.FieldDescending;
    IndexFieldDescs.clear();
    for (int i = 0; i < IndexFieldCount; ++i) {
        const TFieldDescriptor* f = Table->FindField(d.FieldNumbers[i]);
        if (f == nullptr) IndexFile->RaiseError(DBE_INDEXCORRUPT);
        IndexFieldDescs.push_back(*f);
    }
}

void TDataCursor::SelectIndex(uint8_t indexNo) {
    CurrentIndex = indexNo;
    LoadIndexState();
    BitmapNavigation = IsNaturalOrder() || HasActiveFilter();
}

void TDataCursor::ReloadIndexState() {
    if (IsOpen) LoadIndexState();
}

void TDataCursor::ResetIndexState() {
    IndexFieldDescs.clear();
    CurrentIndexName.clear();
    KeySize = 0;
    IndexFieldCount = 0;
    RangeActive = false;
    RangeStartKey.clear();
    RangeEndKey.clear();
    RangeStart = RangeEnd = 0;
    CurrentPage.Reset();
    EntryNo = SeqNo = PhysRecNo = 0;
    AtBeginning = AtEnd = false;
    BitmapNavigation = false;
}

void TDataCursor::ClearIndexes() {
    if (Table == nullptr) return;
    // Cached pages would otherwise be written back over the emptied file.
    Table->IndexFile->DropPages(false);
    Table->IndexFile->DropPages(true);
    Table->IndexFile->EmptyIndexFile();
    Table->SetFilesWritten();
    ComputeRangeBounds();
    if (BitmapNavigation) RebuildBitmaps();
    SetNoCurrent();
}

void TDataCursor::SetIndexName(const std::string& name) {
    return Navigator->SetIndexName(name);
}

void TDataCursor::LocalSetIndexName(const std::string& name) {
    if (framework::AnsiSameText(name, CurrentIndexName) && CurrentIndex != NaturalOrderIndex) return;
    TReadBracket bracket(*this);
    uint8_t count = GetSecondaryIndexCount();
    for (int i = 0; i <= count; ++i) {
        if (framework::AnsiSameText(name, IndexFile->GetIndexDesc(static_cast<uint8_t>(i)).Name)) {
            ClearRange();
            SelectIndex(static_cast<uint8_t>(i));
            Restartable([this] {
                RefreshRange();
                Resync();
            });
            return;
        }
    }
    RaiseIndex(DBE_INVALIDINDEXNAME, name);
}

void TDataCursor::SetIndexNumber(uint8_t indexNo) {
    if (indexNo == CurrentIndex) return;
    if (indexNo != NaturalOrderIndex && indexNo > GetSecondaryIndexCount())
        RaiseIndex(DBE_INVALIDINDEXNAME, std::to_string(indexNo));
    TReadBracket bracket(*this);
    ClearRange();
    SelectIndex(indexNo);
    Restartable([this] {
        RefreshRange();
        Resync();
    });
}

// ---- Keys ----

void TDataCursor::BuildKey(const uint8_t* record, uint8_t* key) {
    dbengine::BuildKey(*IndexFile, CurrentIndex, LanguageId, SortId, record, key, record);
}

int TDataCursor::PrefixLength(int fieldCount, int partialLength) const {
    int length = 0;
    for (int i = 0; i < fieldCount && i < static_cast<int>(IndexFieldDescs.size()); ++i)
        length += KeyPartSize(IndexFieldDescs[static_cast<size_t>(i)]) + 1;
    if (partialLength != 0) length += partialLength + 1;
    return std::min<int>(length, KeySize);
}

namespace {

void FillKey(uint8_t* key, int length, bool high, const TDataCursor& c) {
    uint8_t plain = high ? 255 : 0;
    uint8_t text = high ? c.GetCharOrder()[255] : c.GetCharOrder()[0];
    int keySize = c.GetKeySize();
    if (c.CurrentIndex == SysTextIndex) {
        // Flag byte and word characters from L + 2 (never before byte 3) up to byte 63; the
        // record ID always gets plain bytes.
        for (int i = std::max(length + 2, 3); i < 64 && i < keySize; ++i) key[i] = text;
        for (int i = 64; i < 68 && i < keySize; ++i) key[i] = plain;
        return;
    }
    if (c.CurrentIndex == SysDeletedIndex || c.LanguageId == 0) {
        for (int i = length; i < keySize; ++i) key[i] = plain;
        return;
    }
    int at = 0;
    for (const TFieldDescriptor& f : c.GetIndexFieldDescs()) {
        int end = at + KeyPartSize(f) + 1;
        if (end > length) {
            uint8_t fill = f.FieldType == fldString ? text : plain;
            for (int i = std::max(at, length); i < end && i < keySize; ++i) key[i] = fill;
        }
        at = end;
    }
    for (int i = std::max(at, length); i < keySize; ++i) key[i] = plain;
}

}  // namespace

void TDataCursor::FillKeyLow(uint8_t* key, int length) {
    FillKey(key, length, false, *this);
}

void TDataCursor::FillKeyHigh(uint8_t* key, int length) {
    FillKey(key, length, true, *this);
}

// ---- Key search ----

bool TDataCursor::SeekKey(const uint8_t* key, bool nearest, bool keepCrack) {
    bool wasBeginning = AtBeginning;
    bool wasEnd = AtEnd;
    if (GetRecordCount() == 0) {
        SetNoCurrent();
        return false;
    }
    bool found = false;
    if (RangeActive && CompareKeys(key, RangeStartKey.data(), KeySize) < 0) {
        if (!nearest) return false;
        SeekFirst();
        found = !AtEnd && CompareKeys(CurrentPage.Key.data(), key, KeySize) == 0;
    } else if (RangeActive && CompareKeys(key, RangeEndKey.data(), KeySize) > 0) {
        if (!nearest) return false;
        SeekLast();
        if (!(AtBeginning && AtEnd)) AtEnd = true;
    } else {
        TLeafWalk leaf(*this);
        bool exists = DescendFirstGE(key, leaf);
        found = exists && CompareKeys(leaf.Key(), key, KeySize) == 0;
        bool inRange = exists && (!RangeActive || CompareKeys(leaf.Key(), RangeEndKey.data(), KeySize) <= 0);
        if (found || (nearest && inRange)) {
            PlaceOn(leaf);
            AtBeginning = AtEnd = false;
        } else if (!nearest) {
            return false;
        } else {
            // Nothing at or after the key: the last record, standing after it.
            leaf.Release();
            SeekLast();
            if (!(AtBeginning && AtEnd)) AtEnd = true;
        }
    }
    if (keepCrack) RestoreKeepCrack(wasBeginning, wasEnd);
    return found;
}

void TDataCursor::RestoreKeepCrack(bool wasBeginning, bool wasEnd) {
    if (AtBeginning && AtEnd) return;
    if (wasBeginning && !wasEnd) {
        MoveBy(-1);
        if (!AtBeginning) MoveBy(1);
    } else if (wasEnd && !wasBeginning) {
        MoveBy(1);
        if (!AtEnd) MoveBy(-1);
    } else {
        AtBeginning = AtEnd = false;
    }
}

bool TDataCursor::FindKey(bool keyGiven, const uint8_t* key, int fieldCount, bool nearest, int partialLength,
                          uint8_t* outRecord) {
    if (key == nullptr || IsNaturalOrder()) return false;
    return Navigator->FindKey(keyGiven, key, fieldCount, nearest, partialLength, outRecord);
}

bool TDataCursor::LocalFindKey(bool keyGiven, const uint8_t* key, int fieldCount, bool nearest,
                               int partialLength, uint8_t* outRecord) {
    TReadBracket bracket(*this);
    std::vector<uint8_t> search(MaxKeyFieldPart, 0);
    if (keyGiven)
        std::memcpy(search.data(), key, KeySize);
    else
        BuildKey(key, search.data());
    bool prefix = (fieldCount > 0 && fieldCount < IndexFieldCount) || !IndexUnique ||
                  (fieldCount == 0 && partialLength != 0);
    bool found = false;
    if (prefix) {
        if (!IndexUnique && fieldCount == 0 && partialLength == 0) fieldCount = IndexFieldCount;
        int length = PrefixLength(fieldCount, partialLength);
        if (IndexDescending)
            FillKeyHigh(search.data(), length);
        else
            FillKeyLow(search.data(), length);
        Restartable([&] {
            SeekKey(search.data(), true, false);
            found = GetRecordCount() != 0 && !(AtBeginning && AtEnd) &&
                    CompareKeys(CurrentPage.Key.data(), search.data(), static_cast<size_t>(length)) == 0;
            if (AtEnd) found = false;
            if (AtEnd && !AtBeginning) SeekLast();
        });
    } else {
        Restartable([&] {
            found = SeekKey(search.data(), nearest, false);
            if (AtEnd && !AtBeginning) SeekLast();
        });
    }
    LoadCurrentRecord(1);
    if (outRecord != nullptr) std::memcpy(outRecord, CurrentRecord->Data(), RecordSize);
    return found;
}

// ---- Ranges ----

void TDataCursor::SetRangeStartKey(const uint8_t* key) {
    if (IsNaturalOrder()) return;
    RangeStartKey.assign(MaxKeyFieldPart, 0);
    std::memcpy(RangeStartKey.data(), key, KeySize);
}

void TDataCursor::SetRangeEndKey(const uint8_t* key) {
    if (IsNaturalOrder()) return;
    RangeEndKey.assign(MaxKeyFieldPart, 0);
    std::memcpy(RangeEndKey.data(), key, KeySize);
}

void TDataCursor::ClearRange() {
    RangeStartKey.assign(MaxKeyFieldPart, 0);
    RangeEndKey.assign(MaxKeyFieldPart, 255);
    RangeActive = false;
    RangeStart = 1;
    RangeEnd = Table != nullptr ? Table->IndexFile->GetRecordCount() : 0;
}

void TDataCursor::CompleteKey(uint8_t* key, int fieldCount, bool high) {
    if ((fieldCount > 0 && fieldCount < IndexFieldCount) || !IndexUnique) {
        if (fieldCount == 0) fieldCount = IndexFieldCount;
        int length = PrefixLength(fieldCount, 0);
        if (high != IndexDescending)
            FillKeyHigh(key, length);
        else
            FillKeyLow(key, length);
    }
}

void TDataCursor::SetRange(bool keysGiven, const uint8_t* startKey, int startFieldCount,
                           const uint8_t* endKey, int endFieldCount) {
    if (IsNaturalOrder()) return;
    return Navigator->SetRange(keysGiven, startKey, startFieldCount, endKey, endFieldCount);
}

void TDataCursor::LocalSetRange(bool keysGiven, const uint8_t* startKey, int startFieldCount,
                                const uint8_t* endKey, int endFieldCount) {
    TReadBracket bracket(*this);
    std::vector<uint8_t> key(MaxKeyFieldPart, 0);
    // A missing end is open: the lowest (start) or highest (end) key of the index order.
    auto boundKey = [&](const uint8_t* given, int fieldCount, bool end) {
        std::fill(key.begin(), key.end(), 0);
        if (given == nullptr) {
            if (IndexDescending != end)
                FillKeyHigh(key.data(), 0);
            else
                FillKeyLow(key.data(), 0);
            return;
        }
        if (keysGiven)
            std::memcpy(key.data(), given, KeySize);
        else
            BuildKey(given, key.data());
        CompleteKey(key.data(), fieldCount, end);
    };
    boundKey(startKey, startFieldCount, false);
    SetRangeStartKey(key.data());
    boundKey(endKey, endFieldCount, true);
    SetRangeEndKey(key.data());
    RangeActive = true;
    Restartable([this] {
        RefreshRange();
        Resync();
    });
}

void TDataCursor::ResetRange() {
    return Navigator->ResetRange();
}

void TDataCursor::LocalResetRange() {
    TReadBracket bracket(*this);
    ClearRange();
    Restartable([this] {
        RefreshRange();
        Resync();
    });
}

void TDataCursor::ComputeRangeBounds() {
    if (ComputingRange) return;
    ComputingRange = true;
    try {
        RangeStart = 1;
        RangeEnd = Table->IndexFile->GetRecordCount();
        if (!IsNaturalOrder() && RangeActive) {
            TLeafWalk leaf(*this);
            int32_t first = 0;
            bool empty = CompareKeys(RangeStartKey.data(), RangeEndKey.data(), KeySize) > 0 ||
                         !DescendFirstGE(RangeStartKey.data(), leaf);
            if (!empty) {
                first = leaf.Seq;
                empty = !DescendLastLE(RangeEndKey.data(), leaf) || first > leaf.Seq;
            }
            if (empty) {
                RangeStart = RangeEnd = 0;
            } else {
                RangeStart = first;
                RangeEnd = leaf.Seq;
            }
        }
    } catch (...) {
        ComputingRange = false;
        throw;
    }
    ComputingRange = false;
}

void TDataCursor::RefreshRange() {
    ComputeRangeBounds();
    if (BitmapNavigation) RebuildBitmaps();
}

void TDataCursor::BuildLiveBitmap() {
    int32_t physical = Table->DataFile->RecordCount();
    LiveBitmap->SetSize(static_cast<uint32_t>(physical));
    LiveBitmap->SetAll();
    if (Table->IndexFile->GetRecordCount() == physical) return;
    // Deleted records have status 1 in the keys of the internal record index.
    LiveBitmap->ClearAll();
    uint8_t saved = CurrentIndex;
    uint16_t savedKeySize = KeySize;
    CurrentIndex = SysDeletedIndex;
    KeySize = SysDeletedKeySize;
    try {
        uint8_t low[SysDeletedKeySize] = {1, 0, 0, 0, 0};
        TLeafWalk leaf(*this);
        bool more = DescendFirstGE(low, leaf);
        // A damaged leaf chain may loop: no walk crosses more leaves than the file has pages.
        int64_t crossings = 0;
        while (more && leaf.Key()[0] == 1) {
            LiveBitmap->SetBit(leaf.Value());
            int32_t page = leaf.Page->PageNo;
            more = StepEntry(leaf, true);
            if (leaf.Page->PageNo != page && ++crossings > IndexFile->GetPageCount())
                IndexFile->RaiseError(DBE_INDEXCORRUPT);
        }
    } catch (...) {
        CurrentIndex = saved;
        KeySize = savedKeySize;
        throw;
    }
    CurrentIndex = saved;
    KeySize = savedKeySize;
    LiveBitmap->Invert();
}

// ---- Position ----

void TDataCursor::SetNoCurrent() {
    BeforeCurrent = false;
    SeqNo = 0;
    VisibleSeqNo = 0;
    AtBeginning = AtEnd = true;
    CurrentPage.Reset();
    EntryNo = 0;
    PhysRecNo = 0;
}

void TDataCursor::SeekFirst() {
    BeforeCurrent = false;
    if (WalksBitmap()) {
        int32_t r = 0, seq = 0;
        if (VisibleBitmap->Count() == 0 || !VisibleBitmap->StepForward(r, 1, seq)) {
            SetNoCurrent();
            return;
        }
        PhysRecNo = r;
        SeqNo = seq;
        AtBeginning = AtEnd = false;
        return;
    }
    TLeafWalk leaf(*this);
    bool ok = RangeActive ? DescendFirstGE(RangeStartKey.data(), leaf) : DescendToSeq(1, leaf);
    if (!ok || (RangeActive && CompareKeys(leaf.Key(), RangeEndKey.data(), KeySize) > 0) ||
        (BitmapNavigation && !SkipHidden(leaf, true))) {
        leaf.Release();
        SetNoCurrent();
        return;
    }
    PlaceOn(leaf);
    if (BitmapNavigation) VisibleSeqNo = 1;
    AtBeginning = AtEnd = false;
}

void TDataCursor::SeekLast() {
    BeforeCurrent = false;
    if (WalksBitmap()) {
        int32_t physical = Table->DataFile->RecordCount();
        // Counted from the visible records, so that a sequence number never exceeds the count.
        int32_t r = physical + 1;
        int32_t seq = static_cast<int32_t>(VisibleBitmap->Count()) + 1;
        if (VisibleBitmap->Count() == 0 || !VisibleBitmap->StepBack(r, 1, seq)) {
            SetNoCurrent();
            return;
        }
        PhysRecNo = r;
        SeqNo = seq;
        AtBeginning = AtEnd = false;
        return;
    }
    TLeafWalk leaf(*this);
    bool ok;
    if (RangeActive)
        ok = DescendLastLE(RangeEndKey.data(), leaf) &&
             CompareKeys(leaf.Key(), RangeStartKey.data(), KeySize) >= 0;
    else
        ok = DescendToSeq(Table->IndexFile->GetRecordCount(), leaf);
    if (!ok || (BitmapNavigation && !SkipHidden(leaf, false))) {
        leaf.Release();
        SetNoCurrent();
        return;
    }
    PlaceOn(leaf);
    if (BitmapNavigation) VisibleSeqNo = static_cast<int32_t>(VisibleBitmap->Count());
    AtBeginning = AtEnd = false;
}

void TDataCursor::MoveBy(int32_t count) {
    if (count == 0 || (AtBeginning && AtEnd)) return;
    BeforeCurrent = false;
    bool forward = count > 0;
    int32_t steps = forward ? count : -count;
    if (WalksBitmap()) {
        int32_t r = PhysRecNo, seq = SeqNo;
        bool ok =
            forward ? VisibleBitmap->StepForward(r, steps, seq) : VisibleBitmap->StepBack(r, steps, seq);
        PhysRecNo = r;
        SeqNo = seq;
        if (!ok) {
            AtEnd = forward;
            AtBeginning = !forward;
        }
        return;
    }
    if (BitmapNavigation && SparseOrderUsable() && SparseMoveBy(count)) return;
    int32_t knownVisible = VisibleSeqNo;
    const int32_t wanted = steps;
    // The current leaf is read again by its number: another cursor may have changed it. The walk
    // reads the cached leaves in place and copies only the entry it ends on.
    TLeafWalk leaf(*this);
    leaf.Take(FetchIndexPage(CurrentPage.PageNo));
    const bool leafUsable = leaf.Page->IsLeaf() && leaf.Page->EntryCount != 0;
    const bool hasKey = CurrentPage.Key.size() == KeySize && KeySize != 0;
    if (!leafUsable && !hasKey) {
        leaf.Release();
        SetNoCurrent();
        return;
    }
    leaf.Entry = leafUsable ? std::clamp<int32_t>(EntryNo, 1, leaf.Page->EntryCount) : 0;
    leaf.Seq = SeqNo;
    bool ranOut = false;
    int64_t crossings = 0;
    // Under a filter only visible entries count as steps, and the walk ends on the last one;
    // `last` keeps that entry once the walk has left its leaf.
    TLeafPlace last;
    bool lastOnLeaf = true;
    int32_t lastEntry = leaf.Entry, lastSeq = leaf.Seq;
    // The walk already stands on the entry of its first step, not yet looked at.
    bool onNextEntry = false;
    if (!leafUsable || !StillOnCurrentEntry(*leaf.Page)) {
        // The cursor's entry moved or went away since the cursor was placed (an edit of this
        // cursor that kept no new position, such as a delete): its key is found again. When
        // the record is gone, the entry that follows it in the move's direction is the first
        // step, so that a walk that deletes each record it reaches passes over none.
        knownVisible = 0;
        if (!DescendToKey(CurrentPage.Key.data(), forward, leaf)) {
            AtBeginning = !forward;
            AtEnd = forward;
            return;
        }
        if (CompareKeys(leaf.Key(), CurrentPage.Key.data(), KeySize) != 0) {
            onNextEntry = true;
            lastOnLeaf = false;
            last = CurrentPage;
            lastEntry = EntryNo;
            lastSeq = SeqNo;
        } else {
            lastEntry = leaf.Entry;
            lastSeq = leaf.Seq;
        }
    }
    while (steps > 0) {
        if (onNextEntry) {
            onNextEntry = false;
            if (RangeActive && OutsideRange(leaf.Key(), forward)) {
                ranOut = true;
                break;
            }
        } else if (forward ? leaf.Entry < leaf.Page->EntryCount : leaf.Entry > 1) {
            int32_t e = leaf.Entry + (forward ? 1 : -1);
            if (RangeActive && OutsideRange(leaf.Page->EntryKey(e), forward)) {
                ranOut = true;
                break;
            }
            leaf.Entry = e;
            leaf.Seq += forward ? 1 : -1;
        } else {
            int32_t nextNo = forward ? leaf.Page->NextPage : leaf.Page->PrevPage;
            if (nextNo == 0) {
                ranOut = true;
                break;
            }
            // A leaf chain never leads back to the same page; an empty neighbour is a damaged chain.
            if (nextNo == leaf.Page->PageNo) IndexFile->RaiseError(DBE_INDEXCORRUPT);
            if (lastOnLeaf) {
                last.Set(leaf.Page->PageNo, leaf.Page->EntryCount, leaf.Page->GetValue(lastEntry),
                         leaf.Page->EntryKey(lastEntry), KeySize);
                lastOnLeaf = false;
            }
            leaf.Release();
            leaf.Take(FetchIndexPage(nextNo));
            if (leaf.Page->EntryCount == 0 || !leaf.Page->IsLeaf()) IndexFile->RaiseError(DBE_INDEXCORRUPT);
            // A damaged leaf chain may loop: no walk crosses more leaves than the file has pages.
            if (++crossings > IndexFile->GetPageCount()) IndexFile->RaiseError(DBE_INDEXCORRUPT);
            leaf.Entry = forward ? 1 : leaf.Page->EntryCount;
            if (RangeActive && OutsideRange(leaf.Key(), forward)) {
                ranOut = true;
                break;
            }
            leaf.Seq += forward ? 1 : -1;
        }
        if (BitmapNavigation && !VisibleBitmap->Test(leaf.Value())) continue;
        lastOnLeaf = true;
        lastEntry = leaf.Entry;
        lastSeq = leaf.Seq;
        --steps;
    }
    if (lastOnLeaf) {
        leaf.Entry = lastEntry;
        leaf.Seq = lastSeq;
        PlaceOn(leaf);
    } else {
        leaf.Release();
        CurrentPage = std::move(last);
        EntryNo = lastEntry;
        SeqNo = lastSeq;
        PhysRecNo = CurrentPage.Value;
        VisibleSeqNo = 0;
        BeforeCurrent = false;
    }
    if (BitmapNavigation) {
        // Each step counted passed one visible record.
        int32_t moved = wanted - steps;
        if (knownVisible != 0) VisibleSeqNo = knownVisible + (forward ? moved : -moved);
    }
    AtBeginning = !forward && ranOut;
    AtEnd = forward && ranOut;
}

bool TDataCursor::StillOnCurrentEntry(const TPage& leaf) const {
    // A place without a key (none was taken yet) is taken as it stands.
    if (CurrentPage.Key.size() != KeySize || KeySize == 0) return true;
    return leaf.IsLeaf() && leaf.PageNo == CurrentPage.PageNo && EntryNo >= 1 && EntryNo <= leaf.EntryCount &&
           leaf.GetValue(EntryNo) == CurrentPage.Value &&
           std::memcmp(leaf.EntryKey(EntryNo), CurrentPage.Key.data(), KeySize) == 0;
}

bool TDataCursor::OutsideRange(const uint8_t* key, bool forward) const {
    return forward ? CompareKeys(key, RangeEndKey.data(), KeySize) > 0
                   : CompareKeys(key, RangeStartKey.data(), KeySize) < 0;
}

bool TDataCursor::SkipHidden(TLeafWalk& walk, bool forward) {
    int64_t crossings = 0;
    while (!VisibleBitmap->Test(walk.Value())) {
        int32_t page = walk.Page->PageNo;
        if (!StepEntry(walk, forward)) return false;
        if (walk.Page->PageNo != page && ++crossings > IndexFile->GetPageCount())
            IndexFile->RaiseError(DBE_INDEXCORRUPT);
        walk.Seq += forward ? 1 : -1;
        if (RangeActive && OutsideRange(walk.Key(), forward)) return false;
    }
    return true;
}

void TDataCursor::SettleOnVisible() {
    if (!BitmapNavigation || IsNaturalOrder() || (AtBeginning && AtEnd) || CurrentPage.PageNo == 0 ||
        EntryNo < 1 || EntryNo > CurrentPage.EntryCount || VisibleBitmap->Test(PhysRecNo))
        return;
    const int32_t pageNo = CurrentPage.PageNo, entry = EntryNo, seq = SeqNo;
    for (bool forward : {true, false}) {
        TLeafWalk leaf(*this);
        leaf.Take(FetchIndexPage(pageNo));
        if (!leaf.Page->IsLeaf() || entry > leaf.Page->EntryCount) break;
        leaf.Entry = entry;
        leaf.Seq = seq;
        if (SkipHidden(leaf, forward)) {
            PlaceOn(leaf);
            return;
        }
    }
    SetNoCurrent();
}

namespace {

// A filter that shows at most one index entry in this many is walked through its records' keys.
constexpr int64_t SparseWalkRatio = 64;

}  // namespace

bool TDataCursor::SparseOrderUsable() {
    TSparseOrder& o = SparseOrder;
    if (o.Bitmap == VisibleBitmap.get() && o.BitmapChanges == VisibleBitmap->Changes &&
        o.Index == CurrentIndex && o.KeySize == KeySize && o.DataChanges == Table->DataChangeCount() &&
        o.IndexChanges == Table->IndexChangeCount())
        return o.Usable;
    o.Bitmap = VisibleBitmap.get();
    o.BitmapChanges = VisibleBitmap->Changes;
    o.Index = CurrentIndex;
    o.KeySize = KeySize;
    o.DataChanges = Table->DataChangeCount();
    o.IndexChanges = Table->IndexChangeCount();
    o.Usable = false;
    o.Keys.clear();
    if (CurrentIndex > MaxSecondaryIndexes || KeySize == 0 ||
        IndexFile->GetIndexDesc(CurrentIndex).NoCounts != 0)
        return false;
    int64_t visible = VisibleBitmap->Count();
    if (visible * SparseWalkRatio > IndexFile->GetRecordCount()) return false;
    std::vector<uint8_t> keys(static_cast<size_t>(visible) * KeySize);
    TDataFile& file = *Table->DataFile;
    int32_t r = 0, n = 0, seq = 0;
    while (n < visible && VisibleBitmap->StepForward(r, 1, seq)) {
        TRecord* record = nullptr;
        if (!file.GetRecord(this, r, 1, false, true, record)) {
            // The table changed while its records were read: the position starts over, and the
            // list is worked out again from what the table holds now.
            o.Bitmap = nullptr;
            if (RestartDepth > 0) throw TChangedUnderneath{};
            return false;
        }
        try {
            BuildKey(record->Data(), keys.data() + static_cast<size_t>(n) * KeySize);
        } catch (...) {
            file.ReleaseRecord(record);
            o.Bitmap = nullptr;
            throw;
        }
        file.ReleaseRecord(record);
        ++n;
    }
    std::vector<int32_t> order(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) order[static_cast<size_t>(i)] = i;
    auto keyAt = [&](int32_t i) { return keys.data() + static_cast<size_t>(i) * KeySize; };
    std::sort(order.begin(), order.end(),
              [&](int32_t a, int32_t b) { return CompareKeys(keyAt(a), keyAt(b), KeySize) < 0; });
    o.Keys.resize(keys.size());
    for (size_t i = 0; i < order.size(); ++i)
        std::memcpy(o.Keys.data() + i * KeySize, keyAt(order[i]), KeySize);
    o.Usable = true;
    return true;
}

bool TDataCursor::SparseMoveBy(int32_t count) {
    if (CurrentPage.PageNo == 0 || EntryNo < 1 || EntryNo > CurrentPage.EntryCount) return false;
    const TSparseOrder& o = SparseOrder;
    auto below = [this](const uint8_t* a, const uint8_t* b) { return CompareKeys(a, b, KeySize) < 0; };
    // The listed keys inside the range, as positions lo..hi - 1.
    auto lowerBound = [&](const uint8_t* key) {
        size_t low = 0, high = o.Count();
        while (low < high) {
            size_t mid = (low + high) / 2;
            if (below(o.Key(mid), key))
                low = mid + 1;
            else
                high = mid;
        }
        return low;
    };
    auto upperBound = [&](const uint8_t* key) {
        size_t low = 0, high = o.Count();
        while (low < high) {
            size_t mid = (low + high) / 2;
            if (!below(key, o.Key(mid)))
                low = mid + 1;
            else
                high = mid;
        }
        return low;
    };
    int64_t lo = RangeActive ? static_cast<int64_t>(lowerBound(RangeStartKey.data())) : 0;
    int64_t hi =
        RangeActive ? static_cast<int64_t>(upperBound(RangeEndKey.data())) : static_cast<int64_t>(o.Count());
    const uint8_t* here = CurrentPage.Key.data();
    bool forward = count > 0;
    int64_t steps = forward ? count : -static_cast<int64_t>(count);
    // The nearest listed key past the current one, and how far the move can go from it.
    int64_t first = forward ? std::max<int64_t>(lo, static_cast<int64_t>(upperBound(here)))
                            : std::min<int64_t>(hi, static_cast<int64_t>(lowerBound(here))) - 1;
    int64_t room = forward ? hi - first : first - lo + 1;
    int64_t moved = std::clamp<int64_t>(room, 0, steps);
    bool ranOut = moved < steps;
    const int32_t knownVisible = VisibleSeqNo;
    if (moved > 0) {
        const uint8_t* key = o.Key(static_cast<size_t>(forward ? first + moved - 1 : first - moved + 1));
        TLeafWalk leaf(*this);
        if (!DescendToKey(key, true, leaf) || CompareKeys(leaf.Key(), key, KeySize) != 0 ||
            !VisibleBitmap->Test(leaf.Value())) {
            // The index does not hold the key as listed: the list is not used again until it
            // is worked out anew.
            SparseOrder.Usable = false;
            return false;
        }
        PlaceOn(leaf);
        if (knownVisible != 0) VisibleSeqNo = knownVisible + static_cast<int32_t>(forward ? moved : -moved);
    }
    AtBeginning = !forward && ranOut;
    AtEnd = forward && ranOut;
    return true;
}

void TDataCursor::SeekRecNo(int32_t recNo) {
    BeforeCurrent = false;
    if (WalksBitmap()) {
        int32_t r = 0, seq = 0;
        AtBeginning = AtEnd = false;
        if (VisibleBitmap->Count() == 0) {
            SetNoCurrent();
            return;
        }
        if (recNo < 1) {
            SeekFirst();
            AtBeginning = true;
            return;
        }
        if (!VisibleBitmap->StepForward(r, recNo, seq)) AtEnd = true;
        PhysRecNo = r;
        SeqNo = seq;
        return;
    }
    int32_t count = GetRecordCount();
    if (count == 0) {
        SetNoCurrent();
        return;
    }
    if (recNo < 1) {
        SeekFirst();
        MoveBy(-1);
        return;
    }
    if (BitmapNavigation) {
        // Under a filter the visible entries are counted from the first.
        SeekFirst();
        if (!(AtBeginning && AtEnd)) MoveBy(recNo - 1);
        return;
    }
    if (recNo > count) {
        SeekLast();
        MoveBy(1);
        return;
    }
    TLeafWalk leaf(*this);
    if (!DescendToSeq(RangeStart + recNo - 1, leaf)) IndexFile->RaiseError(DBE_INDEXCORRUPT);
    PlaceOn(leaf);
    AtBeginning = AtEnd = false;
}

void TDataCursor::SeekPhysicalRecNo(int32_t recNo) {
    if (!IsNaturalOrder() || recNo == 0) return;
    BeforeCurrent = false;
    AtBeginning = AtEnd = false;
    int32_t physical = Table->DataFile->RecordCount();
    recNo = std::clamp<int32_t>(recNo, 1, std::max(physical, 1));
    int32_t r = recNo - 1, seq = 0;
    if (!VisibleBitmap->StepForward(r, 1, seq)) {
        r = recNo + 1;
        if (!VisibleBitmap->StepBack(r, 1, seq)) {
            SetNoCurrent();
            return;
        }
    }
    PhysRecNo = r;
    SeqNo = static_cast<int32_t>(VisibleBitmap->CountBefore(r)) + 1;
}

void TDataCursor::Resync() {
    if (WalksBitmap()) {
        if (PhysRecNo == 0) {
            SeekFirst();
            if (!(AtBeginning && AtEnd)) AtBeginning = true;
        } else {
            bool b = AtBeginning, e = AtEnd;
            SeekPhysicalRecNo(PhysRecNo);
            if (!(AtBeginning && AtEnd) && b != e) {
                AtBeginning = b;
                AtEnd = e;
            }
        }
    } else if (PhysRecNo == 0) {
        SetToBegin();
    } else {
        std::vector<uint8_t> key(MaxKeyFieldPart, 0);
        BuildKey(CurrentRecord->Data(), key.data());
        SeekKey(key.data(), true, true);
        SettleOnVisible();
    }
    LoadCurrentRecord(1);
}

// Reads ahead only the records the cursor visits next with consecutive physical numbers: a random
// lookup then reads one record, a walk in physical order reads a whole group.
void TDataCursor::LoadCurrentRecord(int direction) {
    if (!(AtBeginning && AtEnd) && PhysRecNo != 0) {
        TRecord* record = nullptr;
        bool ok = Table->DataFile->GetRecord(this, PhysRecNo, direction, true, true, record);
        if (!ok) ok = Table->DataFile->GetRecord(this, PhysRecNo, direction, true, true, record);
        if (!ok) IndexFile->RaiseError(DBE_INDEXCORRUPT);
        CurrentRecord->Assign(*record);
        CurrentRecord->SetBufferSize(RecordSize);
        Table->DataFile->ReleaseRecord(record);
    } else {
        // The record size may have grown by calculated fields since the buffer was sized.
        CurrentRecord->SetBufferSize(RecordSize);
        std::fill(CurrentRecord->Data(), CurrentRecord->Data() + RecordSize, uint8_t{0});
    }
    if (HasCalculatedFields) ComputeCalculatedFields(CurrentRecord->Data());
}

int32_t TDataCursor::CountConsecutiveRecords(int32_t r, int direction, int32_t max) {
    bool forward = direction != 2;
    if (max < 1) return 0;
    if (!WalksBitmap()) {
        if (CurrentPage.PageNo == 0 || EntryNo < 1 || EntryNo > CurrentPage.EntryCount ||
            CurrentPage.Value != r)
            return 1;
        // Read ahead only along the leaf as the cache holds it, without reading a page for it.
        const TPage* leaf = IndexFile->CachedPage(CurrentIndex, CurrentPage.PageNo);
        if (leaf == nullptr || !leaf->IsLeaf() || EntryNo > leaf->EntryCount || leaf->GetValue(EntryNo) != r)
            return 1;
        return leaf->CountConsecutive(max, forward, EntryNo);
    }
    int32_t n = 1;
    while (n < max && VisibleBitmap->Test(forward ? r + n : r - n)) ++n;
    return n;
}

// ---- Moving and fetching ----

void TDataCursor::SetToBegin() {
    return Navigator->SetToBegin();
}

void TDataCursor::LocalSetToBegin() {
    TReadBracket bracket(*this);
    Restartable([this] {
        SeekFirst();
        if (AtBeginning && AtEnd) return;
        if (WalksBitmap())
            AtBeginning = true;
        else
            MoveBy(-1);
    });
}

void TDataCursor::SetToEnd() {
    return Navigator->SetToEnd();
}

void TDataCursor::LocalSetToEnd() {
    TReadBracket bracket(*this);
    Restartable([this] {
        SeekLast();
        if (AtBeginning && AtEnd) return;
        if (WalksBitmap())
            AtEnd = true;
        else
            MoveBy(1);
    });
}

bool TDataCursor::SetToRecNo(int32_t recNo) {
    return Navigator->SetToRecNo(recNo);
}

bool TDataCursor::LocalSetToRecNo(int32_t recNo) {
    TReadBracket bracket(*this);
    Restartable([this, recNo] { SeekRecNo(recNo); });
    LoadCurrentRecord(1);
    return GetRecNo() == recNo && !AtBeginning && !AtEnd;
}

TEngineErrorCode TDataCursor::GetCurrentRecord(uint8_t* buffer, bool lock) {
    return Navigator->GetCurrentRecord(buffer, lock);
}

TEngineErrorCode TDataCursor::LocalGetCurrentRecord(uint8_t* buffer, bool lock) {
    TReadBracket bracket(*this);
    TEngineErrorCode code = 0;
    if (AtBeginning && AtEnd)
        code = DBE_NOCURRREC;
    else if (AtBeginning)
        code = DBE_BOF;
    else if (AtEnd)
        code = DBE_EOF;
    if (code != 0) {
        if (buffer != nullptr) std::memset(buffer, 0, RecordSize);
        return code;
    }
    LoadCurrentRecord(1);
    // The caller now stands on the record it was given.
    BeforeCurrent = false;
    if (lock) LockForEdit(buffer);
    if (buffer != nullptr) std::memcpy(buffer, CurrentRecord->Data(), RecordSize);
    return 0;
}

TEngineErrorCode TDataCursor::GetNextRecord(uint8_t* buffer) {
    return Navigator->GetNextRecord(buffer);
}

TEngineErrorCode TDataCursor::LocalGetNextRecord(uint8_t* buffer) {
    TReadBracket bracket(*this);
    Restartable([this] {
        if (BeforeCurrent)
            // The record after the crack is the next one: it is not passed over.
            BeforeCurrent = false;
        else if (AtBeginning)
            SeekFirst();
        else
            MoveBy(1);
    });
    if (AtEnd) {
        if (buffer != nullptr) std::memset(buffer, 0, RecordSize);
        return DBE_EOF;
    }
    LoadCurrentRecord(1);
    // A change found while the record was read put the cursor back on it, or in the crack
    // before the record that replaced it, which is the one given out.
    BeforeCurrent = false;
    if (buffer != nullptr) std::memcpy(buffer, CurrentRecord->Data(), RecordSize);
    return 0;
}

TEngineErrorCode TDataCursor::GetPriorRecord(uint8_t* buffer) {
    return Navigator->GetPriorRecord(buffer);
}

TEngineErrorCode TDataCursor::LocalGetPriorRecord(uint8_t* buffer) {
    TReadBracket bracket(*this);
    Restartable([this] {
        if (AtEnd)
            SeekLast();
        else
            MoveBy(-1);
    });
    if (AtBeginning) {
        if (buffer != nullptr) std::memset(buffer, 0, RecordSize);
        return DBE_BOF;
    }
    LoadCurrentRecord(2);
    if (BeforeCurrent) {
        // The record given out went away while it was read: the one before the crack is the
        // prior one.
        Restartable([this] { MoveBy(-1); });
        if (AtBeginning) {
            if (buffer != nullptr) std::memset(buffer, 0, RecordSize);
            return DBE_BOF;
        }
        LoadCurrentRecord(2);
        BeforeCurrent = false;
    }
    if (buffer != nullptr) std::memcpy(buffer, CurrentRecord->Data(), RecordSize);
    return 0;
}

TEngineErrorCode TDataCursor::ReadRecordBlock(int32_t& count, uint8_t* buffers) {
    return Navigator->ReadRecordBlock(count, buffers);
}

TEngineErrorCode TDataCursor::LocalReadRecordBlock(int32_t& count, uint8_t* buffers) {
    for (int32_t i = 0; i < count; ++i) {
        TEngineErrorCode code = GetNextRecord(buffers + static_cast<size_t>(i) * RecordSize);
        if (code != 0) {
            count = i;
            return code;
        }
    }
    return 0;
}

int32_t TDataCursor::GetRecNo() const {
    return Navigator->GetRecNo();
}

int32_t TDataCursor::LocalGetRecNo() const {
    if (WalksBitmap()) return SeqNo;
    if (SeqNo == 0) return 0;
    if (BitmapNavigation) {
        // Under a filter the number counts the visible records only, as GetRecordCount does.
        if (VisibleSeqNo == 0) VisibleSeqNo = const_cast<TDataCursor*>(this)->CountVisibleUpToCurrent();
        return VisibleSeqNo;
    }
    return SeqNo - RangeStart + 1;
}

int32_t TDataCursor::CountVisibleUpToCurrent() {
    if (CurrentPage.PageNo == 0 || EntryNo < 1 || EntryNo > CurrentPage.EntryCount) return 0;
    const std::vector<uint8_t> current = CurrentPage.Key;
    TLeafWalk leaf(*this);
    bool more = RangeActive ? DescendFirstGE(RangeStartKey.data(), leaf) : DescendToSeq(1, leaf);
    int32_t visible = 0;
    int64_t crossings = 0;
    while (more) {
        int order = CompareKeys(leaf.Key(), current.data(), KeySize);
        if (order > 0) break;
        if (VisibleBitmap->Test(leaf.Value())) ++visible;
        if (order == 0) break;
        int32_t page = leaf.Page->PageNo;
        more = StepEntry(leaf, true);
        if (leaf.Page->PageNo != page && ++crossings > IndexFile->GetPageCount())
            IndexFile->RaiseError(DBE_INDEXCORRUPT);
    }
    return visible;
}

int32_t TDataCursor::GetPhysicalRecNo() const {
    if (GetRecordCount() == 0) return 0;
    return Navigator->GetPhysicalRecNo();
}

int32_t TDataCursor::LocalGetPhysicalRecNo() const {
    if (BitmapNavigation) return PhysRecNo;
    if (CurrentPage.PageNo == 0 || EntryNo < 1 || EntryNo > CurrentPage.EntryCount) return 0;
    return CurrentPage.Value;
}

int32_t TDataCursor::GetRecordCount() const {
    if (Table == nullptr) return 0;
    return Navigator->GetRecordCount();
}

int32_t TDataCursor::LocalGetRecordCount() const {
    if (BitmapNavigation) return static_cast<int32_t>(VisibleBitmap->Count());
    if (RangeStart == 0 || RangeEnd == 0) return 0;
    return RangeEnd - RangeStart + 1;
}

uint16_t TDataCursor::GetBookmarkSize() const {
    return IsNaturalOrder() ? 4 : KeySize;
}

void TDataCursor::GetBookmark(uint8_t* buffer) const {
    if (IsNaturalOrder()) {
        PutInt32(buffer, PhysRecNo);
        return;
    }
    Navigator->GetBookmark(buffer);
}

void TDataCursor::LocalGetBookmark(uint8_t* buffer) const {
    if (CurrentPage.PageNo == 0 || EntryNo < 1 || EntryNo > CurrentPage.EntryCount ||
        CurrentPage.Key.size() != KeySize)
        std::memset(buffer, 0, KeySize);
    else
        std::memcpy(buffer, CurrentPage.Key.data(), KeySize);
}

std::vector<uint8_t> TDataCursor::GetBookmark() const {
    std::vector<uint8_t> b(GetBookmarkSize());
    if (!b.empty()) GetBookmark(b.data());
    return b;
}

bool TDataCursor::SetToBookmark(const uint8_t* bookmark, bool keepCrack, bool noBracket) {
    return Navigator->SetToBookmark(bookmark, keepCrack, noBracket);
}

bool TDataCursor::LocalSetToBookmark(const uint8_t* bookmark, bool keepCrack, bool noBracket) {
    std::optional<TReadBracket> bracket;
    if (!noBracket) bracket.emplace(*this);
    Restartable([&] {
        if (IsNaturalOrder())
            SeekPhysicalRecNo(GetInt32(bookmark));
        else
            SeekKey(bookmark, true, keepCrack);
    });
    LoadCurrentRecord(1);
    if (keepCrack) return true;
    if (AtBeginning && AtEnd) return false;
    std::vector<uint8_t> now = GetBookmark();
    return CompareBookmarks(now.data(), bookmark) == 0;
}

int TDataCursor::CompareBookmarks(const uint8_t* b1, const uint8_t* b2) const {
    if (IsNaturalOrder()) {
        int32_t a = GetInt32(b1), b = GetInt32(b2);
        return a < b ? -1 : a > b ? 1 : 0;
    }
    return CompareKeys(b1, b2, KeySize);
}

TEngineErrorCode TDataCursor::SetToCursor(TDataCursor& other) {
    return Navigator->SetToCursor(other);
}

TEngineErrorCode TDataCursor::LocalSetToCursor(TDataCursor& other) {
    TReadBracket bracket(*this);
    TEngineErrorCode code = 0;
    if (other.AtBeginning && other.AtEnd) {
        SetNoCurrent();
        code = DBE_RECNOTFOUND;
    } else if (IsNaturalOrder()) {
        int32_t wanted = other.GetPhysicalRecNo();
        SeekPhysicalRecNo(wanted);
        if (PhysRecNo != wanted || (AtBeginning && AtEnd)) code = DBE_RECNOTFOUND;
    } else {
        std::vector<uint8_t> key(MaxKeyFieldPart, 0);
        BuildKey(other.CurrentRecord->Data(), key.data());
        if (!SeekKey(key.data(), false, false)) code = DBE_RECNOTFOUND;
    }
    if (code == 0 && !(other.AtBeginning && other.AtEnd)) {
        // The other cursor may stand before its first or after its last record.
        AtBeginning = other.AtBeginning;
        AtEnd = other.AtEnd;
    }
    LoadCurrentRecord(1);
    return code;
}

// ---- Refreshing ----

bool TDataCursor::ResyncIfChanged() {
    return Sharing->ResyncIfChanged();
}

bool TDataCursor::LocalResyncIfChanged() {
    if (!IsOpen || !HasTableChanged()) return false;
    SaveChangeCounters();
    ReturnToRecord();
    return true;
}

void TDataCursor::Refresh() {
    CheckDatabase();
    return Navigator->Refresh();
}

void TDataCursor::LocalRefresh() {
    if (!IsOpen) return;
    // Always under the short-term lock, strict change detection or not.
    TReadBracket bracket(*this);
    if (LockAndResync()) return;
    Restartable([this] { ReturnToRecord(); });
}

void TDataCursor::ReturnToRecord() {
    if (AtBeginning && AtEnd) {
        // No record to return to: the table may have records now.
        RefreshRange();
        SeekFirst();
        if (!(AtBeginning && AtEnd)) AtBeginning = true;
        LoadCurrentRecord(1);
        return;
    }
    if (AtBeginning || AtEnd) {
        // Before the first or after the last record the cursor stays there, whatever records
        // came or went at that end.
        bool end = AtEnd;
        RefreshRange();
        if (end) {
            SeekLast();
            if (!(AtBeginning && AtEnd)) AtEnd = true;
        } else {
            SeekFirst();
            if (!(AtBeginning && AtEnd)) AtBeginning = true;
        }
        LoadCurrentRecord(1);
        return;
    }
    bool wasBefore = BeforeCurrent;
    std::vector<uint8_t> bookmark = GetBookmark();
    RefreshRange();
    SetToBookmark(bookmark.data(), true, true);
    if ((AtBeginning && AtEnd) || AtEnd) return;
    // The record is gone when the cursor now stands elsewhere: on the record that followed it
    // (the crack before it is where the cursor stands), or on the last one before it.
    std::vector<uint8_t> now = GetBookmark();
    int order = CompareBookmarks(now.data(), bookmark.data());
    if (order > 0 || (order == 0 && wasBefore))
        BeforeCurrent = true;
    else if (order < 0)
        AtEnd = true;
}

}  // namespace dbengine
