#include "framework/data/DataSet.h"

#include <algorithm>
#include <cstring>

#include "framework/core/Stream.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSource.h"

namespace framework {

// ---- messages -----------------------------------------------------------------------------------

std::string FmtMsg(const char* pattern, std::initializer_list<std::string> args) {
    std::string out;
    auto it = args.begin();
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && p[1] == 's' && it != args.end()) {
            out += *it++;
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

void DatabaseError(const std::string& message, const TDataSet* component) {
    if (component && !component->Name().empty()) throw EDatabaseError(component->Name() + ": " + message);
    throw EDatabaseError(message);
}

void DatabaseErrorFmt(const char* pattern, std::initializer_list<std::string> args,
                      const TDataSet* component) {
    DatabaseError(FmtMsg(pattern, args), component);
}

// ---- life -----------------------------------------------------------------------------------------

TDataSet::TDataSet(TComponent* AOwner) : TComponent(AOwner) {}

TDataSet::~TDataSet() {
    // Descendants close the dataset in their own destructor, while their buffers can still be freed.
    for (TDataSource* source : std::vector<TDataSource*>(FDataSources)) source->DataSetDestroyed();
    FDataSources.clear();
    for (auto& f : FOwnedFields) f->SetDataSetInternal(nullptr);
}

void TDataSet::CheckActive() const {
    if (!FActive) DatabaseError(dbmsg::SDataSetClosed, this);
}

void TDataSet::CheckInactive() const {
    if (FActive) DatabaseError(dbmsg::SDataSetOpen, this);
}

void TDataSet::SetActive(bool value) {
    if (value == FActive) return;
    if (value) {
        DoEvent(BeforeOpen);
        try {
            OpenCursor();
        } catch (...) {
            try {
                CloseCursor();
            } catch (...) {
            }
            FActive = false;
            throw;
        }
        OpenCursorComplete();
    } else {
        DoEvent(BeforeClose);
        SetState(dsInactive);
        CloseCursor();
        FActive = false;
        DoEvent(AfterClose);
    }
}

void TDataSet::OpenCursor() {
    DoInternalOpen();
}

void TDataSet::DoInternalOpen() {
    FDefaultFields = Fields.Count() == 0;
    InternalOpen();
    FActive = true;
    FBOF = true;
    int wanted = 1;
    for (TDataSource* s : FDataSources)
        for (TDataLink* l : s->DataLinks())
            if (!l->IsDetailLink()) wanted = std::max(wanted, l->BufferCount());
    SetBufListSize(wanted);
    ClearBuffers();
    GetNextRecord();
    GetNextRecords();
    FBOF = true;
    FEOF = FRecordCount == 0;
}

void TDataSet::OpenCursorComplete() {
    SetState(dsBrowse);
    DoEvent(AfterOpen);
    if (!IsEmpty()) DoEvent(AfterScroll);
}

void TDataSet::CloseCursor() {
    SetBufListSize(0);
    if (IsCursorOpen()) InternalClose();
}

void TDataSet::InitFieldDefs() {
    if (FieldDefs.Updated) return;
    InternalInitFieldDefs();
    FieldDefs.Updated = true;
}

// ---- state and events -------------------------------------------------------------------------

void TDataSet::SetState(TDataSetState value) {
    if (FState == value) return;
    FState = value;
    FModified = false;
    DataEvent(deUpdateState, 0);
}

TDataSetState TDataSet::SetTempState(TDataSetState value) {
    TDataSetState old = FState;
    FState = value;
    ++FDisableCount;
    return old;
}

void TDataSet::RestoreState(TDataSetState value) {
    FState = value;
    --FDisableCount;
}

void TDataSet::DataEvent(TDataEvent event, intptr_t info) {
    switch (event) {
        case deFieldChange: {
            TField* field = reinterpret_cast<TField*>(info);
            if (field->FieldKind == fkData || field->FieldKind == fkInternalCalc) SetModified(true);
            if (FState != dsSetKey && AutoCalcFields && field->FieldKind == fkData &&
                (FCalcFieldsSize != 0 || FInternalCalcFields) && ActiveBuffer())
                GetCalcFields(ActiveBuffer());
            field->Change();
            break;
        }
        case dePropertyChange:
            FieldDefs.Updated = false;
            break;
        default:
            break;
    }
    if (FDisableCount == 0) {
        NotifyDataSources(event, info);
    } else if (event == deUpdateState && FState == dsInactive) {
        // Links learn at once that the dataset closed, even while controls are disabled.
        NotifyDataSources(event, info);
    } else if (event != deCheckBrowseMode && event != deUpdateRecord) {
        FEnableEvent = true;
        if (event == deLayoutChange) FDisableEvent = deLayoutChange;
        // Disabling suspends the controls only: a dataset that follows this one as its master
        // still moves with each record a walk reaches (a temporary state is no move).
        if ((event == deDataSetScroll || event == deDataSetChange) && FState == dsBrowse)
            for (TDataSource* source : std::vector<TDataSource*>(FDataSources))
                source->NotifyDetailLinks(event, info);
    }
}

void TDataSet::NotifyDataSources(TDataEvent event, intptr_t info) {
    for (TDataSource* source : std::vector<TDataSource*>(FDataSources)) source->DataEvent(event, info);
}

void TDataSet::DisableControls() {
    if (FDisableCount == 0) {
        FDisableState = FState;
        FDisableEvent = deDataSetChange;
        FEnableEvent = false;
    }
    ++FDisableCount;
}

void TDataSet::EnableControls() {
    if (FDisableCount == 0) return;
    if (--FDisableCount != 0) return;
    if (FDisableState != FState) NotifyDataSources(deUpdateState, 0);
    if (FState != dsInactive && (FEnableEvent || FDisableState != FState))
        NotifyDataSources(FDisableEvent, 0);
}

void TDataSet::AddDataSource(TDataSource* source) {
    if (std::find(FDataSources.begin(), FDataSources.end(), source) == FDataSources.end())
        FDataSources.push_back(source);
    SetBufferCountFromLinks();
}

void TDataSet::RemoveDataSource(TDataSource* source) {
    FDataSources.erase(std::remove(FDataSources.begin(), FDataSources.end(), source), FDataSources.end());
    SetBufferCountFromLinks();
}

bool TDataSet::IsLinkedTo(TDataSource* source) const {
    int guard = 0;
    while (source && guard++ < 1000) {
        TDataSet* ds = source->DataSet();
        if (!ds) return false;
        if (ds == this) return true;
        source = ds->GetDataSource();
    }
    return false;
}

// ---- buffers ------------------------------------------------------------------------------------

TRecordBuffer TDataSet::ActiveBuffer() const {
    if (FBuffers.empty() || FActiveRecord >= FRecordCount) return nullptr;
    return FBuffers[size_t(FActiveRecord)];
}

TRecordBuffer TDataSet::GetActiveRecBuf() {
    switch (FState) {
        case dsBrowse:
            return IsEmpty() ? nullptr : ActiveBuffer();
        case dsEdit:
        case dsInsert:
        case dsNewValue:
            return ActiveBuffer();
        case dsCalcFields:
        case dsInternalCalc:
            return FCalcBuffer;
        case dsFilter:
            return FFilterBuffer;
        case dsBlockRead:
            return ActiveBuffer();
        default:
            return nullptr;
    }
}

void TDataSet::SetBufListSize(int value) {
    if (value == FBufferCount && (value == 0) == FBuffers.empty()) return;
    if (value <= 0) {
        for (auto& b : FBuffers) FreeRecordBuffer(b);
        FBuffers.clear();
        FBufferCount = 0;
        FRecordCount = 0;
        FActiveRecord = 0;
        FCurrentRecord = -1;
        FRingAtEnd = false;
        return;
    }
    if (value > FBufferCount || FBuffers.empty()) {
        FBuffers.reserve(size_t(value) + 1);
        while (int(FBuffers.size()) < value + 1) FBuffers.push_back(AllocRecordBuffer());
    } else {
        // Keep the active record inside the smaller window: drop records from the top first.
        if (FActiveRecord > value - 1) {
            int drop = FActiveRecord - (value - 1);
            std::rotate(FBuffers.begin(), FBuffers.begin() + drop, FBuffers.begin() + FRecordCount);
            FRecordCount -= drop;
            FActiveRecord -= drop;
            FCurrentRecord = FCurrentRecord >= drop ? FCurrentRecord - drop : -1;
        }
        if (FRecordCount > value) {
            FRecordCount = value;
            FRingAtEnd = false;  // cut from the bottom
        }
        while (int(FBuffers.size()) > value + 1) {
            FreeRecordBuffer(FBuffers.back());
            FBuffers.pop_back();
        }
        if (FCurrentRecord >= FRecordCount) FCurrentRecord = -1;
    }
    FBufferCount = value;
}

void TDataSet::SetBufferCountFromLinks() {
    if (!FActive || FBuffers.empty()) return;
    int wanted = 1;
    for (TDataSource* s : FDataSources)
        for (TDataLink* l : s->DataLinks())
            if (!l->IsDetailLink()) wanted = std::max(wanted, l->BufferCount());
    if (wanted == FBufferCount) return;
    int oldActive = FActiveRecord;
    SetBufListSize(wanted);
    // Records dropped from the top of a shrinking ring, and earlier records fetched to fill a
    // growing one, move every link's window by the same amount.
    int topDrop = oldActive - FActiveRecord;
    int added = 0;
    if (FState == dsBrowse) {
        GetNextRecords();
        if (FRecordCount < FBufferCount) {
            added = GetPriorRecords();
            FActiveRecord += added;
        }
    }
    for (TDataSource* s : FDataSources)
        for (TDataLink* l : s->DataLinks()) l->FFirstRecord += added - topDrop;
    if (FRecordCount > 0) DataEvent(deDataSetChange, 0);
}

void TDataSet::ClearBuffers() {
    FRingAtEnd = false;
    FRecordCount = 0;
    FActiveRecord = 0;
    FCurrentRecord = -1;
    FBOF = true;
    FEOF = true;
}

void TDataSet::MoveBuffer(int curIndex, int newIndex) {
    if (curIndex == newIndex) return;
    TRecordBuffer b = FBuffers[size_t(curIndex)];
    FBuffers.erase(FBuffers.begin() + curIndex);
    FBuffers.insert(FBuffers.begin() + newIndex, b);
}

void TDataSet::SetCurrentRecord(int index) {
    if (FCurrentRecord == index) return;
    TRecordBuffer buffer = FBuffers[size_t(index)];
    switch (GetBookmarkFlag(buffer)) {
        case bfCurrent:
        case bfInserted:
            InternalSetToRecord(buffer);
            break;
        case bfBOF:
            InternalFirst();
            break;
        case bfEOF:
            InternalLast();
            break;
    }
    FCurrentRecord = index;
}

void TDataSet::UpdateCursorPos() {
    if (FRecordCount > 0) SetCurrentRecord(FActiveRecord);
}

bool TDataSet::GetNextRecord() {
    if (FRecordCount > 0) {
        SetCurrentRecord(FRecordCount - 1);
        // An appended record at the end has nothing after it.
        if (FState == dsInsert && FCurrentRecord == FActiveRecord && GetBookmarkFlag(ActiveBuffer()) == bfEOF)
            return false;
    }
    if (TGetResult got = GetRecord(FBuffers[size_t(FRecordCount)], gmNext, true); got != grOK) {
        if (got == grEOF) FRingAtEnd = true;
        CursorPosChanged();
        return false;
    }
    FRingAtEnd = false;
    if (FRecordCount == 0) {
        FRecordCount = 1;
        FActiveRecord = 0;
    } else if (FRecordCount < FBufferCount) {
        ++FRecordCount;
    } else {
        MoveBuffer(0, FRecordCount);
    }
    FCurrentRecord = FRecordCount - 1;
    return true;
}

bool TDataSet::GetPriorRecord() {
    if (FRecordCount > 0) SetCurrentRecord(0);
    if (GetRecord(FBuffers[size_t(FRecordCount)], gmPrior, true) != grOK) {
        CursorPosChanged();
        return false;
    }
    MoveBuffer(FRecordCount, 0);
    if (FRecordCount < FBufferCount)
        ++FRecordCount;
    else
        FRingAtEnd = false;  // the bottom record left the full ring
    FCurrentRecord = 0;
    return true;
}

int TDataSet::GetNextRecords() {
    int n = 0;
    while (FRecordCount < FBufferCount && GetNextRecord()) ++n;
    return n;
}

int TDataSet::GetPriorRecords() {
    int n = 0;
    while (FRecordCount < FBufferCount && GetPriorRecord()) ++n;
    return n;
}

void TDataSet::Resync(TResyncMode mode) {
    TRecordBuffer scratch = FBuffers[size_t(FRecordCount)];
    if (mode & rmExact) {
        CursorPosChanged();
        if (GetRecord(scratch, gmCurrent, true) != grOK) DatabaseError(dbmsg::SRecordNotFound, this);
    } else if (GetRecord(scratch, gmCurrent, false) != grOK && GetRecord(scratch, gmNext, false) != grOK &&
               GetRecord(scratch, gmPrior, false) != grOK) {
        ClearBuffers();
        DataEvent(deDataSetChange, 0);
        return;
    }
    int above = (mode & rmCenter) ? (FBufferCount - 1) / 2 : FActiveRecord;
    MoveBuffer(FRecordCount, 0);
    FRingAtEnd = false;
    FRecordCount = 1;
    FActiveRecord = 0;
    FCurrentRecord = 0;
    FBOF = false;
    FEOF = false;
    int got = 0;
    while (got < above && GetPriorRecord()) ++got;
    FActiveRecord = got;
    GetNextRecords();
    // Near the end the window is filled from above, so that only a dataset smaller than the
    // window leaves buffers empty.
    if (FRecordCount < FBufferCount) FActiveRecord += GetPriorRecords();
    DataEvent(deDataSetChange, 0);
}

// ---- navigation -----------------------------------------------------------------------------------

void TDataSet::First() {
    CheckBrowseMode();
    DoEvent(BeforeScroll);
    ClearBuffers();
    try {
        InternalFirst();
        GetNextRecord();
        GetNextRecords();
    } catch (...) {
        FBOF = true;
        FEOF = FRecordCount == 0;
        DataEvent(deDataSetChange, 0);
        throw;
    }
    FBOF = true;
    FEOF = FRecordCount == 0;
    DataEvent(deDataSetChange, 0);
    DoEvent(AfterScroll);
}

void TDataSet::Last() {
    CheckBrowseMode();
    DoEvent(BeforeScroll);
    ClearBuffers();
    try {
        InternalLast();
        GetPriorRecord();
        GetPriorRecords();
    } catch (...) {
        FActiveRecord = std::max(0, FRecordCount - 1);
        FEOF = true;
        FBOF = FRecordCount == 0;
        DataEvent(deDataSetChange, 0);
        throw;
    }
    FActiveRecord = std::max(0, FRecordCount - 1);
    FEOF = true;
    FBOF = FRecordCount == 0;
    FRingAtEnd = true;
    DataEvent(deDataSetChange, 0);
    DoEvent(AfterScroll);
}

int TDataSet::MoveBy(int distance) {
    CheckBrowseMode();
    int moved = 0;
    if ((distance > 0 && !FEOF) || (distance < 0 && !FBOF)) {
        FBOF = false;
        FEOF = false;
        DoEvent(BeforeScroll);
        // shift: how far the buffer contents moved up (a record that was in buffer i is now in
        // buffer i - shift); the data links move their windows by it.
        int shift = 0;
        try {
            while (distance > 0) {
                if (FActiveRecord < FRecordCount - 1) {
                    ++FActiveRecord;
                } else {
                    bool full = FRecordCount == FBufferCount;
                    if (!GetNextRecord()) {
                        FEOF = true;
                        break;
                    }
                    if (full) ++shift;
                    FActiveRecord = FRecordCount - 1;
                }
                --distance;
                ++moved;
            }
            while (distance < 0) {
                if (FActiveRecord > 0) {
                    --FActiveRecord;
                } else {
                    if (!GetPriorRecord()) {
                        FBOF = true;
                        break;
                    }
                    --shift;
                    FActiveRecord = 0;
                }
                ++distance;
                --moved;
            }
        } catch (...) {
            DataEvent(deDataSetScroll, shift);
            throw;
        }
        DataEvent(deDataSetScroll, shift);
        DoEvent(AfterScroll);
    }
    return moved;
}

// ---- editing ---------------------------------------------------------------------------------------

void TDataSet::CheckCanModify() {
    if (!GetCanModify()) DatabaseError(dbmsg::SDataSetReadOnly, this);
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(deCheckBrowseMode, 0);
    switch (FState) {
        case dsEdit:
        case dsInsert:
            UpdateRecord();
            if (FModified)
                Post();
            else
                Cancel();
            break;
        case dsSetKey:
            Post();
            break;
        default:
            break;
    }
}

void TDataSet::UpdateRecord() {
    if (FState != dsEdit && FState != dsInsert && FState != dsSetKey) DatabaseError(dbmsg::SNotEditing, this);
    DataEvent(deUpdateRecord, 0);
}

void TDataSet::CheckOperation(const std::function<void()>& operation, const TDataSetErrorEvent& errorEvent) {
    for (;;) {
        try {
            UpdateCursorPos();
            operation();
            return;
        } catch (EDatabaseError& e) {
            TDataAction action = daFail;
            if (errorEvent) errorEvent(this, e, action);
            if (action == daFail) throw;
            if (action == daAbort) Abort();
            // daRetry: run the operation again
        }
    }
}

void TDataSet::FreeFieldBuffers() {
    for (int i = 0; i < Fields.Count(); ++i)
        if (auto* blob = dynamic_cast<TBlobField*>(Fields[i])) blob->Modified = false;
}

void TDataSet::InitRecord(TRecordBuffer buffer) {
    InternalInitRecord(buffer);
    ClearCalcFields(buffer);
    SetBookmarkFlag(buffer, bfInserted);
}

void TDataSet::BeginInsertAppend() {
    CheckBrowseMode();
    CheckCanModify();
    DoEvent(BeforeInsert);
    DoEvent(BeforeScroll);
}

void TDataSet::EndInsertAppend() {
    SetState(dsInsert);
    try {
        DoOnNewRecord();
    } catch (...) {
        // The new record is dropped again and the error goes on.
        try {
            Cancel();
        } catch (...) {
        }
        throw;
    }
    FModified = false;
    DataEvent(deDataSetChange, 0);
    DoEvent(AfterInsert);
    DoEvent(AfterScroll);
}

void TDataSet::Insert() {
    BeginInsertAppend();
    std::vector<uint8_t> before;
    bool hasCurrent = FRecordCount > 0 && GetBookmarkFlag(ActiveBuffer()) == bfCurrent;
    if (hasCurrent) {
        before.resize(size_t(std::max(BookmarkSize, 0)));
        GetBookmarkData(ActiveBuffer(), before.data());
    }
    if (FRecordCount == 0) FActiveRecord = 0;
    FRingAtEnd = false;
    MoveBuffer(FRecordCount, FActiveRecord);
    if (FRecordCount < FBufferCount) ++FRecordCount;
    CursorPosChanged();
    TRecordBuffer buffer = ActiveBuffer();
    InitRecord(buffer);
    if (hasCurrent) {
        // The new record goes before the one that was current: its bookmark finds that place.
        SetBookmarkData(buffer, before.data());
        SetBookmarkFlag(buffer, bfInserted);
    } else {
        SetBookmarkFlag(buffer, bfEOF);
    }
    InternalInsert();
    FBOF = false;
    FEOF = false;
    EndInsertAppend();
}

void TDataSet::Append() {
    BeginInsertAppend();
    // The new record goes at the bottom of the ring with the dataset's last records above it.
    if (FRingAtEnd) {
        // They are buffered already: only the top one leaves a full ring to make room. A ring that
        // is not full holds every record (browsing fills it), so nothing is read.
        if (FRecordCount == FBufferCount) {
            MoveBuffer(0, FRecordCount);
            --FRecordCount;
        }
        CursorPosChanged();
    } else {
        ClearBuffers();
        InternalLast();
        while (FRecordCount < FBufferCount - 1 && GetPriorRecord()) {
        }
    }
    FRingAtEnd = false;
    TRecordBuffer buffer = FBuffers[size_t(FRecordCount)];
    ++FRecordCount;
    FActiveRecord = FRecordCount - 1;
    InitRecord(buffer);
    SetBookmarkFlag(buffer, bfEOF);
    InternalInsert();
    FBOF = false;
    FEOF = true;
    EndInsertAppend();
}

void TDataSet::Edit() {
    if (FState == dsEdit || FState == dsInsert) return;
    CheckActive();
    if (FRecordCount == 0) {
        // Nothing to edit: a new record is started instead.
        Append();
        return;
    }
    CheckBrowseMode();
    CheckCanModify();
    DoEvent(BeforeEdit);
    CheckOperation([this] { InternalEdit(); }, OnEditError);
    GetCalcFields(ActiveBuffer());
    SetState(dsEdit);
    DataEvent(deRecordChange, 0);
    DoEvent(AfterEdit);
}

void TDataSet::InternalPost() {
    CheckRequiredFields();
}

void TDataSet::CheckRequiredFields() {
    for (int i = 0; i < Fields.Count(); ++i) {
        TField* f = Fields[i];
        if (f->Required && !f->ReadOnly && f->FieldKind == fkData && f->IsNull()) {
            f->FocusControl();
            DatabaseErrorFmt(dbmsg::SFieldRequired, {f->DisplayName()}, this);
        }
    }
}

void TDataSet::Post() {
    if (FState == dsEdit || FState == dsInsert) UpdateRecord();
    switch (FState) {
        case dsEdit:
        case dsInsert:
            DataEvent(deCheckBrowseMode, 0);
            DoEvent(BeforePost);
            CheckOperation([this] { InternalPost(); }, OnPostError);
            FreeFieldBuffers();
            SetState(dsBrowse);
            Resync(0);
            DoEvent(AfterPost);
            break;
        default:
            break;
    }
}

void TDataSet::Cancel() {
    switch (FState) {
        case dsEdit:
        case dsInsert: {
            bool inserting = FState == dsInsert;
            DataEvent(deCheckBrowseMode, 0);
            DoEvent(BeforeCancel);
            if (inserting) {
                // Back to the record the new one stood before (it may have left a full ring to make
                // room), or to the end for an appended one; Resync rebuilds the rows around it.
                TRecordBuffer buffer = ActiveBuffer();
                if (GetBookmarkFlag(buffer) == bfInserted)
                    InternalSetToRecord(buffer);
                else
                    InternalLast();
                // The new record's buffer leaves the ring and becomes the scratch buffer again.
                MoveBuffer(FActiveRecord, FRecordCount - 1);
                --FRecordCount;
                CursorPosChanged();
            } else {
                UpdateCursorPos();
            }
            InternalCancel();
            FreeFieldBuffers();
            SetState(dsBrowse);
            Resync(0);
            DoEvent(AfterCancel);
            break;
        }
        default:
            break;
    }
}

void TDataSet::Delete() {
    CheckActive();
    if (FState == dsInsert || FState == dsSetKey) {
        Cancel();
        return;
    }
    if (FRecordCount == 0) DatabaseError(dbmsg::SDataSetEmpty, this);
    DataEvent(deCheckBrowseMode, 0);
    DoEvent(BeforeDelete);
    DoEvent(BeforeScroll);
    CheckOperation([this] { InternalDelete(); }, OnDeleteError);
    FreeFieldBuffers();
    SetState(dsBrowse);
    Resync(0);
    DoEvent(AfterDelete);
    DoEvent(AfterScroll);
}

void TDataSet::Refresh() {
    CheckBrowseMode();
    DoEvent(BeforeRefresh);
    UpdateCursorPos();
    InternalRefresh();
    Resync(0);
    DoEvent(AfterRefresh);
}

void TDataSet::DoOnNewRecord() {
    DoEvent(OnNewRecord);
}

void TDataSet::InternalHandleException() {}

void TDataSet::ClearFields() {
    if (FState != dsEdit && FState != dsInsert) DatabaseError(dbmsg::SNotEditing, this);
    DataEvent(deCheckBrowseMode, 0);
    InternalInitRecord(ActiveBuffer());
    if (FState != dsSetKey) GetCalcFields(ActiveBuffer());
    DataEvent(deRecordChange, 0);
}

void TDataSet::SetFields(const std::vector<Variant>& values) {
    int n = std::min(int(values.size()), Fields.Count());
    for (int i = 0; i < n; ++i) Fields[i]->SetAsVariant(values[size_t(i)]);
}

void TDataSet::InsertRecordValues(const std::vector<Variant>& values, bool append) {
    if (append)
        Append();
    else
        Insert();
    SetFields(values);
    Post();
}

// ---- bookmarks ------------------------------------------------------------------------------------

TBookmark TDataSet::GetBookmark() {
    TBookmark b;
    if (FActive && FRecordCount > 0 && FState != dsInsert && GetBookmarkFlag(ActiveBuffer()) == bfCurrent &&
        BookmarkSize > 0) {
        b.resize(size_t(BookmarkSize));
        GetBookmarkData(ActiveBuffer(), b.data());
    }
    return b;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
    if (bookmark.empty()) return;
    CheckBrowseMode();
    DoEvent(BeforeScroll);
    InternalGotoBookmark(bookmark.data());
    Resync(rmExact | rmCenter);
    DoEvent(AfterScroll);
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
    if (a.empty() && b.empty()) return 0;
    if (b.empty()) return -1;
    if (a.empty()) return 1;
    int c = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    if (c == 0) c = a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

bool TDataSet::BookmarkValid(const TBookmark&) {
    return false;
}

// ---- fields ---------------------------------------------------------------------------------------

TField* TDataSet::FieldByName(const std::string& name) const {
    TField* f = FindField(name);
    if (!f) DatabaseErrorFmt(dbmsg::SFieldNotFound, {name}, this);
    return f;
}

void TDataSet::GetFieldList(std::vector<TField*>& list, const std::string& fieldNames) const {
    size_t pos = 0;
    while (pos <= fieldNames.size()) {
        size_t end = fieldNames.find(';', pos);
        if (end == std::string::npos) end = fieldNames.size();
        std::string name = Trim(fieldNames.substr(pos, end - pos));
        if (!name.empty()) list.push_back(FieldByName(name));
        pos = end + 1;
    }
}

void TDataSet::GetFieldNames(std::vector<std::string>& names) const {
    for (int i = 0; i < Fields.Count(); ++i) names.push_back(Fields[i]->FieldName);
}

TField* TDataSet::AddField(std::unique_ptr<TField> field) {
    CheckInactive();
    if (FindField(field->FieldName)) DatabaseErrorFmt(dbmsg::SDuplicateFieldName, {field->FieldName}, this);
    field->SetDataSetInternal(this);
    TField* f = field.get();
    Fields.Add(f);
    FOwnedFields.push_back(std::move(field));
    return f;
}

TField* TDataSet::AddDefaultField(std::unique_ptr<TField> field) {
    field->SetDataSetInternal(this);
    TField* f = field.get();
    Fields.Add(f);
    FDefaultFieldObjects.push_back(std::move(field));
    return f;
}

void TDataSet::CreateFields() {
    for (int i = 0; i < FieldDefs.Count(); ++i) {
        TFieldDef* def = FieldDefs[i];
        if (!FindField(def->Name)) def->CreateField(this);
    }
}

void TDataSet::DestroyFields() {
    for (auto& f : FDefaultFieldObjects) Fields.Remove(f.get());
    FDefaultFieldObjects.clear();
}

void TDataSet::BindFields(bool binding) {
    FCalcFieldsSize = 0;
    FInternalCalcFields = false;
    for (int i = 0; i < Fields.Count(); ++i) {
        TField* f = Fields[i];
        if (!binding) {
            f->LookupKeyFieldList.clear();
            continue;
        }
        if (f->FieldKind == fkData || f->FieldKind == fkInternalCalc) {
            int index = FieldDefs.IndexOf(f->FieldName);
            if (index < 0) DatabaseErrorFmt(dbmsg::SFieldNotFound, {f->DisplayName()}, this);
            TFieldDef* def = FieldDefs[index];
            bool same = f->DataType() == def->DataType ||
                        (f->DataType() == ftString &&
                         (def->DataType == ftFixedChar || def->DataType == ftWideString));
            if (!same)
                DatabaseErrorFmt(
                    dbmsg::SFieldTypeMismatch,
                    {f->DisplayName(), FieldTypeName(f->DataType()), FieldTypeName(def->DataType)}, this);
            f->SetFieldNo(def->FieldNo);
            if (def->Size > 0 && (f->DataType() == ftString || f->DataType() == ftBytes ||
                                  f->DataType() == ftVarBytes || f->DataType() == ftBCD))
                f->SetSize(def->Size);
            if (f->FieldKind == fkInternalCalc) FInternalCalcFields = true;
        } else {
            f->SetFieldNo(-1);
            f->SetOffset(FCalcFieldsSize);
            FCalcFieldsSize += f->DataSize() + 1;
            if (f->FieldKind == fkLookup) {
                if (!f->LookupDataSet() || f->KeyFields.empty() || f->LookupKeyFields.empty() ||
                    f->LookupResultField.empty())
                    DatabaseErrorFmt(dbmsg::SLookupInfoError, {f->DisplayName()}, this);
                f->LookupKeyFieldList.clear();
                GetFieldList(f->LookupKeyFieldList, f->KeyFields);
            }
        }
    }
}

Variant TDataSet::FieldValues(const std::string& fieldNames) const {
    std::vector<TField*> list;
    GetFieldList(list, fieldNames);
    if (list.size() == 1) return list[0]->AsVariant();
    std::vector<Variant> values;
    for (TField* f : list) values.push_back(f->AsVariant());
    return Variant(std::move(values));
}

bool TDataSet::GetFieldData(TField* field, void* buffer) {
    return GetFieldData(field->FieldNo(), buffer);
}

bool TDataSet::GetFieldData(int, void*) {
    return false;
}

void TDataSet::SetFieldData(TField*, const void*) {
    DatabaseError(dbmsg::SNotEditing, this);
}

bool TDataSet::GetCurrentRecord(TRecordBuffer) {
    return false;
}

int TDataSet::GetBlobFieldData(int, std::vector<uint8_t>& buffer) {
    buffer.clear();
    return 0;
}

void TDataSet::SetBlobFieldData(TField* field, const std::vector<uint8_t>&) {
    DatabaseErrorFmt(dbmsg::SFieldReadOnly, {field->DisplayName()}, this);
}

// ---- calculated and lookup fields ------------------------------------------------------------------

void TDataSet::GetCalcFields(TRecordBuffer buffer) {
    if (FCalcFieldsSize == 0 && !FInternalCalcFields && !OnCalcFields) return;
    TDataSetState old = SetTempState(dsCalcFields);
    TRecordBuffer oldCalc = FCalcBuffer;
    FCalcBuffer = buffer;
    try {
        CalculateFields(buffer);
    } catch (...) {
        FCalcBuffer = oldCalc;
        RestoreState(old);
        throw;
    }
    FCalcBuffer = oldCalc;
    RestoreState(old);
}

void TDataSet::ClearCalcFields(TRecordBuffer) {}

void TDataSet::CalculateFields(TRecordBuffer buffer) {
    ClearCalcFields(buffer);
    for (int i = 0; i < Fields.Count(); ++i)
        if (Fields[i]->FieldKind == fkLookup) CalcLookupValue(Fields[i]);
    DoEvent(OnCalcFields);
}

void TDataSet::CalcLookupValue(TField* field) {
    TDataSet* lookup = field->LookupDataSet();
    if (!lookup || !lookup->Active() || field->LookupKeyFieldList.empty()) return;
    std::vector<Variant> keys;
    for (TField* k : field->LookupKeyFieldList) {
        Variant v = k->AsVariant();
        if (v.IsNull()) return;  // no key, no value
        keys.push_back(std::move(v));
    }
    Variant key = keys.size() == 1 ? keys[0] : Variant(std::move(keys));
    field->SetAsVariant(lookup->Lookup(field->LookupKeyFields, key, field->LookupResultField));
}

// ---- searching -------------------------------------------------------------------------------------

bool TDataSet::FieldMatches(TField* field, const Variant& value, TLocateOptions options) {
    if (value.IsNull()) return field->IsNull();
    if (field->IsNull()) return false;
    switch (field->DataType()) {
        case ftString:
        case ftFixedChar:
        case ftWideString:
        case ftMemo: {
            std::string s = field->AsString();
            std::string v = value.AsString();
            if (options & loPartialKey) s = s.substr(0, v.size());
            return (options & loCaseInsensitive) ? AnsiSameText(s, v) : s == v;
        }
        case ftBoolean:
            return field->AsBoolean() == value.AsBoolean();
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc:
            return int64_t(field->AsInteger()) == value.AsInteger();
        case ftLargeint:
            return static_cast<TLargeintField*>(field)->AsLargeInt() == value.AsInteger();
        case ftCurrency:
        case ftBCD:
            return field->AsCurrency() == value.AsCurrency();
        case ftFloat:
            return field->AsFloat() == value.AsFloat();
        case ftDate:
        case ftTime:
        case ftDateTime:
            return field->AsDateTime() == value.AsDateTime();
        default:
            return field->AsString() == value.AsString();
    }
}

bool TDataSet::RecordFilterAccepts(TRecordBuffer buffer) {
    if (!FOnFilterRecord) return true;
    TDataSetState old = SetTempState(dsFilter);
    TRecordBuffer oldFilter = FFilterBuffer;
    FFilterBuffer = buffer;
    bool accept = true;
    try {
        FOnFilterRecord(this, accept);
    } catch (...) {
        // A failing handler never stops the walk: the error is the application's to show, and
        // the record's answer is what the handler had said so far.
        InternalHandleException();
    }
    FFilterBuffer = oldFilter;
    RestoreState(old);
    return accept;
}

bool TDataSet::ScanForValues(const std::vector<TField*>& fields, const Variant& keyValues,
                             TLocateOptions options) {
    CursorPosChanged();
    TRecordBuffer buffer = TempBuffer();
    TDataSetState old = SetTempState(dsFilter);
    TRecordBuffer oldFilter = FFilterBuffer;
    FFilterBuffer = buffer;
    bool found = false;
    try {
        InternalFirst();
        while (!found && GetRecord(buffer, gmNext, true) == grOK) {
            found = true;
            for (size_t i = 0; i < fields.size() && found; ++i) {
                const Variant& v =
                    fields.size() == 1 ? (keyValues.IsArray() ? keyValues[0] : keyValues) : keyValues[int(i)];
                found = FieldMatches(fields[i], v, options);
            }
        }
    } catch (...) {
        FFilterBuffer = oldFilter;
        RestoreState(old);
        throw;
    }
    FFilterBuffer = oldFilter;
    RestoreState(old);
    return found;
}

bool TDataSet::Locate(const std::string& keyFields, const Variant& keyValues, TLocateOptions options) {
    CheckBrowseMode();
    std::vector<TField*> fields;
    GetFieldList(fields, keyFields);
    DoEvent(BeforeScroll);
    bool found = ScanForValues(fields, keyValues, options);
    if (found) {
        InternalSetToRecord(TempBuffer());
        Resync(rmExact | rmCenter);
        DoEvent(AfterScroll);
    }
    return found;
}

Variant TDataSet::Lookup(const std::string& keyFields, const Variant& keyValues,
                         const std::string& resultFields) {
    CheckBrowseMode();
    std::vector<TField*> fields;
    GetFieldList(fields, keyFields);
    if (!ScanForValues(fields, keyValues, 0)) return Variant();
    return TempBufferValues(resultFields);
}

Variant TDataSet::TempBufferValues(const std::string& resultFields) {
    Variant result;
    TDataSetState old = SetTempState(dsCalcFields);
    TRecordBuffer oldCalc = FCalcBuffer;
    FCalcBuffer = TempBuffer();
    try {
        CalculateFields(TempBuffer());
        std::vector<TField*> out;
        GetFieldList(out, resultFields);
        if (out.size() == 1) {
            result = out[0]->AsVariant();
        } else {
            std::vector<Variant> values;
            for (TField* f : out) values.push_back(f->AsVariant());
            result = Variant(std::move(values));
        }
    } catch (...) {
        FCalcBuffer = oldCalc;
        RestoreState(old);
        throw;
    }
    FCalcBuffer = oldCalc;
    RestoreState(old);
    return result;
}

bool TDataSet::FindRecord(bool restart, bool goForward) {
    CheckBrowseMode();
    DoEvent(BeforeScroll);
    FFound = false;
    UpdateCursorPos();
    CursorPosChanged();
    TRecordBuffer buffer = TempBuffer();
    if (restart) {
        if (goForward)
            InternalFirst();
        else
            InternalLast();
    }
    while (GetRecord(buffer, goForward ? gmNext : gmPrior, true) == grOK) {
        if (RecordFilterAccepts(buffer)) {
            FFound = true;
            break;
        }
    }
    if (FFound) {
        InternalSetToRecord(buffer);
        Resync(rmExact | rmCenter);
        DoEvent(AfterScroll);
    }
    return FFound;
}

// ---- filter properties -------------------------------------------------------------------------------

void TDataSet::SetFiltered(bool value) {
    if (FActive) {
        CheckBrowseMode();
        FFiltered = value;
        First();
    } else {
        FFiltered = value;
    }
}

void TDataSet::SetFilterText(const std::string& text) {
    if (FActive) CheckBrowseMode();
    FFilterText = text;
    if (FActive && FFiltered) First();
}

void TDataSet::SetFilterOptions(TFilterOptions options) {
    if (FActive) CheckBrowseMode();
    FFilterOptions = options;
    if (FActive && FFiltered) First();
}

void TDataSet::SetOnFilterRecord(TFilterRecordEvent handler) {
    if (FActive) CheckBrowseMode();
    FOnFilterRecord = std::move(handler);
    if (FActive && FFiltered) First();
}

}  // namespace framework

// ---- BLOB streams, block reads, state values ------------------------------------------------------

namespace framework {

namespace {

// A BLOB value held in memory; writes go back to the field at once.
class TDataSetBlobStream : public TMemoryStream {
public:
    TDataSetBlobStream(TDataSet* dataSet, TField* field, TBlobStreamMode mode)
        : FDataSet(dataSet), FField(field), FMode(mode) {
        if (mode != bmWrite) {
            std::vector<uint8_t> data;
            int n = dataSet->GetBlobFieldData(field->FieldNo(), data);
            if (n > 0) TMemoryStream::Write(data.data(), n);
            Seek(0, soFromBeginning);
        }
        FReady = true;
        if (mode == bmWrite) Store();
    }
    int32_t Write(const void* buffer, int32_t count) override {
        if (!FReady) return TMemoryStream::Write(buffer, count);
        if (FMode == bmRead) throw EStreamError("Cannot write to a read-only BLOB stream");
        int32_t n = TMemoryStream::Write(buffer, count);
        Store();
        if (auto* blob = dynamic_cast<TBlobField*>(FField)) blob->Modified = true;
        return n;
    }
    void SetSize(int64_t newSize) override {
        if (!FReady) return TMemoryStream::SetSize(newSize);
        if (FMode == bmRead) throw EStreamError("Cannot write to a read-only BLOB stream");
        TMemoryStream::SetSize(newSize);
        Store();
    }

private:
    void Store() {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(Memory());
        FDataSet->SetBlobFieldData(FField, std::vector<uint8_t>(p, p + Size()));
    }
    TDataSet* FDataSet;
    TField* FField;
    TBlobStreamMode FMode;
    bool FReady = false;  // false while the stream is filled with the stored value
};

}  // namespace

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode) {
    if (mode != bmRead && FState != dsEdit && FState != dsInsert) DatabaseError(dbmsg::SNotEditing, this);
    return std::make_unique<TDataSetBlobStream>(this, field, mode);
}

void TDataSet::Next() {
    if (FBlockReadSize > 0)
        BlockReadNext();
    else
        MoveBy(1);
}

void TDataSet::SetBlockReadSize(int value) {
    if (value > 0) {
        CheckActive();
        CheckBrowseMode();
        SetState(dsBlockRead);
    } else if (FState == dsBlockRead) {
        FBlockReadSize = 0;
        SetState(dsBrowse);
        // The controls have seen nothing of the records passed meanwhile.
        Resync(0);
        return;
    }
    FBlockReadSize = std::max(value, 0);
}

void TDataSet::BlockReadNext() {
    bool full = FRecordCount == FBufferCount;
    if (FActiveRecord < FRecordCount - 1) {
        ++FActiveRecord;
        DataEvent(deDataSetScroll, 0);
    } else if (GetNextRecord()) {
        FActiveRecord = FRecordCount - 1;
        DataEvent(deDataSetScroll, full ? 1 : 0);
    } else {
        FEOF = true;
    }
}

Variant TDataSet::GetStateFieldValue(TDataSetState state, TField* field) {
    TDataSetState old = SetTempState(state);
    try {
        Variant v = field->AsVariant();
        RestoreState(old);
        return v;
    } catch (...) {
        RestoreState(old);
        throw;
    }
}

void TDataSet::SetStateFieldValue(TDataSetState state, TField* field, const Variant& value) {
    TDataSetState old = SetTempState(state);
    try {
        field->SetAsVariant(value);
    } catch (...) {
        RestoreState(old);
        throw;
    }
    RestoreState(old);
}

void TDataSet::GetDetailLinkFields(std::vector<TField*>& masterFields, std::vector<TField*>& detailFields) {
    masterFields.clear();
    detailFields.clear();
}

}  // namespace framework
