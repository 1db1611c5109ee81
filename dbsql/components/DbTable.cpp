#include "dbsql/components/DbTable.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/cursor/TableCursor.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/util/EngineError.h"
#include "dbsql/components/DbSession.h"
#include "framework/core/Exception.h"
#include "framework/core/SysUtils.h"

namespace dbsql {

using namespace framework;

namespace {

std::vector<std::string> SplitNames(const std::string& names) {
    std::vector<std::string> out;
    std::string cur;
    for (char ch : names + ";") {
        if (ch == ';') {
            std::string t = Trim(cur);
            if (!t.empty()) out.push_back(t);
            cur.clear();
        } else {
            cur += ch;
        }
    }
    return out;
}

}  // namespace

TDbTable::TDbTable(TComponent* AOwner) : TDbDBDataSet(AOwner) {}

TDbTable::~TDbTable() {
    Close();
}

// ---- Settings ------------------------------------------------------------------------------------

void TDbTable::SetTableName(const std::string& name) {
    CheckInactive();
    std::string value = name;
    std::replace(value.begin(), value.end(), '/', '\\');
    if (value.find(':') != std::string::npos || value.find('\\') != std::string::npos) {
        size_t cut = value.find_last_of("\\:") + 1;
        if (!InMemory()) SetDatabaseName(value.substr(0, cut));
        value = value.substr(cut);
    }
    FTableName = value;
    DataEvent(dePropertyChange, 0);
}

void TDbTable::SetExclusive(bool value) {
    CheckInactive();
    FExclusive = value;
}

void TDbTable::SetReadOnly(bool value) {
    CheckInactive();
    FReadOnly = value;
}

void TDbTable::SetIndexName(const std::string& name) {
    FIndexName = name;
    FIndexFieldNames.clear();
    if (Active()) {
        CheckBrowseMode();
        UpdateCursorPos();
        SelectIndex();
        Resync(0);
    }
}

void TDbTable::SetIndexFieldNames(const std::string& names) {
    FIndexFieldNames = names;
    FIndexName.clear();
    if (Active()) {
        CheckBrowseMode();
        UpdateCursorPos();
        SelectIndex();
        Resync(0);
    }
}

void TDbTable::CheckTableName() const {
    if (FTableName.empty()) DatabaseError(dbtmsg::SNoTableName, const_cast<TDbTable*>(this));
}

// ---- Cursors -------------------------------------------------------------------------------------

dbengine::TDataCursor* TDbTable::NewCursor(bool exclusive) const {
    auto cursor = std::make_unique<dbengine::TDataCursor>(Database()->Handle());
    cursor->SetTableName(FTableName);
    cursor->SetInMemory(InMemory());
    cursor->SetExclusive(exclusive);
    cursor->SetReadOnly(FReadOnly);
    InstallPasswordCallback(*cursor);
    return cursor.release();
}

dbengine::TDataCursor* TDbTable::CreateCursorHandle() {
    CheckTableName();
    std::unique_ptr<dbengine::TDataCursor> cursor(NewCursor(FExclusive));
    cursor->OpenCursor();
    return cursor.release();
}

void TDbTable::HoldingDatabase(unsigned reason, const std::function<void()>& op) {
    SetDBFlag(reason, true);
    try {
        op();
    } catch (...) {
        SetDBFlag(reason, false);
        throw;
    }
    SetDBFlag(reason, false);
}

void TDbTable::WithTableCursor(const std::function<void(dbengine::TDataCursor&)>& op) {
    CheckInactive();
    CheckTableName();
    HoldingDatabase(dbfTable, [&] {
        std::unique_ptr<dbengine::TDataCursor> cursor(NewCursor(true));
        cursor->SetReadOnly(false);
        op(*cursor);
    });
}

bool TDbTable::Exists() {
    if (Active()) return true;
    if (FTableName.empty()) return false;
    bool result = false;
    HoldingDatabase(dbfTable, [&] {
        dbengine::TDataDirectory* dir = Database() != nullptr ? Database()->Handle() : nullptr;
        result = dir != nullptr && dir->TableExists(FTableName, InMemory());
    });
    return result;
}

// ---- The table's files ---------------------------------------------------------------------------

void TDbTable::CreateTable() {
    CheckInactive();
    // Check every definition before any file is touched.
    int primary = -1;
    for (int i = 0; i < IndexDefs.Count(); ++i) {
        if ((IndexDefs[i]->Options & ixPrimary) != 0 && primary < 0) primary = i;
        std::vector<std::string> names = SplitNames(IndexDefs[i]->Fields);
        if (names.size() > size_t(dbengine::MaxIndexFields))
            dbengine::RaiseEngineError(dbengine::DBE_INVALIDIDXDESC, {}, {}, DatabaseName(), FTableName,
                                       names[dbengine::MaxIndexFields], IndexDefs[i]->Name);
    }
    if (primary > 0) IndexDefs.Move(primary, 0);

    dbengine::TTableDefinition def;
    def.UserMajorVersion = 1;
    def.BlobBlockSize = 512;
    for (int i = 0; i < FieldDefs.Count(); ++i) {
        const TFieldDef* fd = FieldDefs[i];
        TEngineFieldType t = EngineFieldType(fd->DataType);
        dbengine::TFieldDescriptor d;
        d.FieldNo = int16_t(i + 1);
        d.Name = fd->Name;
        d.FieldType = t.Type;
        d.SubType = t.SubType;
        if (t.Type == 1 || t.Type == 9 || t.Type == 15 || t.Type == 3) d.Size = uint16_t(fd->Size);
        d.Required = fd->Required ? 1 : 0;
        def.Fields.push_back(d);
    }
    auto fieldNumber = [&](const std::string& name) -> uint16_t {
        int at = FieldDefs.IndexOf(name);
        if (at < 0) DatabaseError(FmtMsg(dbmsg::SFieldNotFound, {name}), this);
        return uint16_t(at + 1);
    };
    auto makeIndex = [&](const TIndexDef& idx) {
        dbengine::TIndexDescriptor d;
        d.Name = idx.Name;
        d.Unique = (idx.Options & (ixPrimary | ixUnique)) != 0 ? 1 : 0;
        d.Descending = (idx.Options & ixDescending) != 0 ? 1 : 0;
        d.CaseInsensitive = (idx.Options & ixCaseInsensitive) != 0 ? 1 : 0;
        std::vector<std::string> names = SplitNames(idx.Fields);
        d.FieldCount = uint8_t(names.size());
        for (size_t k = 0; k < names.size(); ++k) d.FieldNumbers[k] = fieldNumber(names[k]);
        return d;
    };
    for (int i = 0; i < IndexDefs.Count(); ++i) {
        const TIndexDef& idx = *IndexDefs[i];
        if (i == 0 && (idx.Options & ixPrimary) != 0)
            def.PrimaryIndex = makeIndex(idx);
        else
            def.SecondaryIndexes.push_back(makeIndex(idx));
    }
    WithTableCursor([&](dbengine::TDataCursor& c) { c.CreateTable(def, true, false); });
}

void TDbTable::DeleteTable() {
    WithTableCursor([](dbengine::TDataCursor& c) { c.DeleteTable(); });
}

void TDbTable::RenameTable(const std::string& newName) {
    // The engine keeps the cursor's name as it was; the table takes the new one as given.
    WithTableCursor([&](dbengine::TDataCursor& c) { c.RenameTable(newName); });
    FTableName = newName;
}

void TDbTable::EmptyTable() {
    if (Active()) {
        CheckBrowseMode();
        Cursor()->EmptyTable();
        ClearBuffers();
        DataEvent(deDataSetChange, 0);
        return;
    }
    WithTableCursor([](dbengine::TDataCursor& c) {
        c.OpenCursor();
        c.EmptyTable();
        c.CloseCursor(false);
    });
}

bool TDbTable::VerifyRepair(bool verifyOnly, bool forceIndexRebuild) {
    const TSteppedProgressEvent& progress = verifyOnly ? OnVerifyProgress : OnRepairProgress;
    const TLogEvent& log = verifyOnly ? OnVerifyLog : OnRepairLog;
    bool result = false;
    WithTableCursor([&](dbengine::TDataCursor& c) {
        if (progress)
            c.SetSteppedProgressCallback([&](dbengine::TDataCursor&, const std::string& step, int percent) {
                progress(this, step, percent);
            });
        if (log) c.SetLogCallback([&](dbengine::TDataCursor&, const std::string& line) { log(this, line); });
        result = c.VerifyRepairTable(verifyOnly, false, bool(progress), bool(log), forceIndexRebuild);
    });
    return result;
}

bool TDbTable::VerifyTable() {
    return VerifyRepair(true, false);
}

bool TDbTable::RepairTable(bool forceIndexRebuild) {
    return VerifyRepair(false, forceIndexRebuild);
}

int16_t TDbTable::UserVersion(bool major) {
    if (Cursor() != nullptr) {
        auto& c = static_cast<dbengine::TDataCursor&>(*Cursor());
        return major ? c.GetUserMajorVersion() : c.GetUserMinorVersion();
    }
    CheckTableName();
    int16_t result = 0;
    HoldingDatabase(dbfTable, [&] {
        std::unique_ptr<dbengine::TDataCursor> c(NewCursor(false));
        result = major ? c->GetUserMajorVersion() : c->GetUserMinorVersion();
    });
    return result;
}

uint16_t TDbTable::GetUserMajorVersion() {
    return uint16_t(UserVersion(true));
}

uint16_t TDbTable::GetUserMinorVersion() {
    return uint16_t(UserVersion(false));
}

void TDbTable::UpdateIndexDefs() {
    IndexDefs.Clear();
    auto fill = [this](dbengine::TTableCursor& c) {
        for (int i = 0; i <= c.GetSecondaryIndexCount(); ++i) {
            dbengine::TIndexDescriptor d = c.GetIndexDesc(uint8_t(i));
            if (d.FieldCount == 0) continue;
            TIndexOptions options = 0;
            if (i == 0) options |= ixPrimary;
            if (d.Unique != 0) options |= ixUnique;
            if (d.Descending != 0) options |= ixDescending;
            if (d.CaseInsensitive != 0) options |= ixCaseInsensitive;
            std::string fields;
            for (int k = 0; k < d.FieldCount; ++k) {
                dbengine::TFieldDescriptor fd;
                c.GetFieldDesc(d.FieldNumbers[size_t(k)], fd);
                fields += (k > 0 ? ";" : "") + fd.Name;
            }
            IndexDefs.Add(d.Name, fields, options);
        }
    };
    if (Cursor() != nullptr) {
        fill(*Cursor());
    } else {
        CheckTableName();
        HoldingDatabase(dbfIndexList, [&] {
            std::unique_ptr<dbengine::TDataCursor> c(NewCursor(false));
            c->OpenCursor();
            fill(*c);
            c->CloseCursor(false);
        });
    }
    IndexDefs.Updated = true;
}

// ---- Index information ---------------------------------------------------------------------------

void TDbTable::SelectIndex() {
    dbengine::TTableCursor& c = *Cursor();
    ClearKeyRange();
    if (!FIndexFieldNames.empty()) {
        std::vector<std::string> names = SplitNames(FIndexFieldNames);
        int found = -1;
        for (int i = 0; i <= c.GetSecondaryIndexCount() && found < 0; ++i) {
            dbengine::TIndexDescriptor d = c.GetIndexDesc(uint8_t(i));
            if (d.FieldCount < names.size()) continue;
            bool match = true;
            for (size_t k = 0; k < names.size() && match; ++k) {
                dbengine::TFieldDescriptor fd;
                c.GetFieldDesc(d.FieldNumbers[k], fd);
                match = SameText(fd.Name, names[k]);
            }
            if (match) found = i;
        }
        if (found < 0) DatabaseError(FmtMsg(dbmsg::SNoFieldIndexes, {FIndexFieldNames}), this);
        c.SetIndexNumber(uint8_t(found));
        FIndexNo = found;
    } else if (!FIndexName.empty()) {
        c.SetIndexName(FIndexName);
        for (int i = 0; i <= c.GetSecondaryIndexCount(); ++i)
            if (SameText(c.GetIndexDesc(uint8_t(i)).Name, FIndexName)) FIndexNo = i;
    } else {
        c.SetIndexNumber(0);
        FIndexNo = 0;
    }
    IndexChanged();
    ReadIndexInfo();
}

void TDbTable::ReadIndexInfo() {
    dbengine::TIndexDescriptor d = Cursor()->GetIndexDesc(uint8_t(FIndexNo));
    CaseInsIndex = d.CaseInsensitive != 0;
    KeyFieldCount = d.FieldCount;
    KeySize = d.KeySize;
    IndexFieldMap.assign(d.FieldNumbers.begin(), d.FieldNumbers.end());
}

void TDbTable::ApplyIndexSettings() {
    ClearKeyBuffers();
    SelectIndex();
    Cursor()->SetToBegin();
}

void TDbTable::InternalClose() {
    TDbDBDataSet::InternalClose();
    for (TKeyBuffer& b : FKeyBuffers) b = TKeyBuffer{};
    FKeyBuffer = nullptr;
    FIndexNo = 0;
}

TField* TDbTable::GetIndexField(int index) const {
    if (index < 0 || index >= KeyFieldCount)
        DatabaseError(dbtmsg::SFieldIndexError, const_cast<TDbTable*>(this));
    int fieldNo = IndexFieldMap[size_t(index)];
    for (int i = 0; i < Fields.Count(); ++i)
        if (Fields[i]->FieldNo() == fieldNo) return Fields[i];
    std::string name = fieldNo >= 1 && fieldNo <= FieldDefs.Count() ? FieldDefs[fieldNo - 1]->Name : "";
    DatabaseError(FmtMsg(dbtmsg::SIndexFieldMissing, {name}), const_cast<TDbTable*>(this));
    return nullptr;
}

void TDbTable::SetIndexField(int index, const Variant& value) {
    GetIndexField(index)->SetValue(value);
}

// ---- Key buffers ---------------------------------------------------------------------------------

void TDbTable::ClearKeyBuffer(TKeyBuffer& buffer) {
    buffer.Modified = false;
    buffer.FieldCount = 0;
    buffer.Record.assign(Cursor()->GetRecordSize(), 0);
    Cursor()->InitRecord(buffer.Record.data());
}

void TDbTable::ClearKeyBuffers() {
    for (TKeyBuffer& b : FKeyBuffers) ClearKeyBuffer(b);
}

TRecordBuffer TDbTable::GetActiveRecBuf() {
    if (State() == dsSetKey) return FKeyBuffer != nullptr ? FKeyBuffer->Record.data() : nullptr;
    return TDbDBDataSet::GetActiveRecBuf();
}

void TDbTable::BeginKeyEdit(TKeyIndex which, bool clear) {
    CheckBrowseMode();
    FKeyBuffer = &FKeyBuffers[which];
    FKeyBuffers[kiSave] = *FKeyBuffer;
    if (clear) ClearKeyBuffer(*FKeyBuffer);
    SetState(dsSetKey);
    SetModified(FKeyBuffer->Modified);
    DataEvent(deDataSetChange, 0);
}

void TDbTable::EndKeyEdit(bool keep) {
    DataEvent(deCheckBrowseMode, 0);
    if (keep)
        FKeyBuffer->Modified = Modified();
    else
        *FKeyBuffer = FKeyBuffers[kiSave];
    SetState(dsBrowse);
    DataEvent(deDataSetChange, 0);
}

void TDbTable::Post() {
    if (State() == dsSetKey)
        EndKeyEdit(true);
    else
        TDbDBDataSet::Post();
}

void TDbTable::Cancel() {
    if (State() == dsSetKey)
        EndKeyEdit(false);
    else
        TDbDBDataSet::Cancel();
}

int TDbTable::KeyFieldsUsed() const {
    return FKeyBuffer != nullptr ? FKeyBuffer->FieldCount : 0;
}

void TDbTable::SetKeyFieldsUsed(int count) {
    if (State() != dsSetKey || FKeyBuffer == nullptr) DatabaseError(dbdmsg::SNotEditing, this);
    FKeyBuffer->FieldCount = std::clamp(count, 0, KeyFieldCount);
}

void TDbTable::SetKeyValues(TKeyIndex which, const std::vector<Variant>& values) {
    if (int(values.size()) > KeyFieldCount) DatabaseError(dbtmsg::SFieldIndexError, this);
    BeginKeyEdit(which, true);
    try {
        for (size_t i = 0; i < values.size(); ++i) SetIndexField(int(i), values[i]);
        FKeyBuffer->FieldCount = int(values.size());
    } catch (...) {
        EndKeyEdit(false);
        throw;
    }
    EndKeyEdit(true);
    FKeyBuffers[which].Modified = true;
}

// ---- Key search ----------------------------------------------------------------------------------

void TDbTable::SetKey() {
    BeginKeyEdit(kiLookup, true);
}

void TDbTable::EditKey() {
    BeginKeyEdit(kiLookup, false);
}

bool TDbTable::FindKeyBuffer(bool nearest) {
    CheckBrowseMode();
    if (!nearest && BeforeScroll) BeforeScroll(this);
    CursorPosChanged();
    const TKeyBuffer& key = FKeyBuffers[kiLookup];
    bool found = Cursor()->FindKey(false, key.Record.data(), key.FieldCount, nearest, 0, nullptr);
    if (!found && !nearest) {
        // The dataset stays on its record: the cursor goes back to it.
        UpdateCursorPos();
        return false;
    }
    Resync(nearest ? rmCenter : rmExact | rmCenter);
    if (AfterScroll) AfterScroll(this);
    return found;
}

bool TDbTable::GotoKey() {
    CheckActive();
    return FindKeyBuffer(false);
}

void TDbTable::GotoNearest() {
    CheckActive();
    FindKeyBuffer(true);
}

bool TDbTable::FindKey(const std::vector<Variant>& keyValues) {
    CheckActive();
    SetKeyValues(kiLookup, keyValues);
    return GotoKey();
}

void TDbTable::FindNearest(const std::vector<Variant>& keyValues) {
    CheckActive();
    SetKeyValues(kiLookup, keyValues);
    GotoNearest();
}

// ---- Ranges --------------------------------------------------------------------------------------

void TDbTable::SetRangeStart() {
    BeginKeyEdit(kiRangeStart, true);
    FKeyBuffer->Modified = true;
    SetModified(true);
}

void TDbTable::SetRangeEnd() {
    BeginKeyEdit(kiRangeEnd, true);
    FKeyBuffer->Modified = true;
    SetModified(true);
}

void TDbTable::EditRangeStart() {
    BeginKeyEdit(kiRangeStart, false);
}

void TDbTable::EditRangeEnd() {
    BeginKeyEdit(kiRangeEnd, false);
}

bool TDbTable::ApplyKeyRange() {
    TKeyBuffer& start = FKeyBuffers[kiRangeStart];
    TKeyBuffer& end = FKeyBuffers[kiRangeEnd];
    if (start == FKeyBuffers[kiCurRangeStart] && end == FKeyBuffers[kiCurRangeEnd]) return false;
    Cursor()->SetRange(false, start.Modified ? start.Record.data() : nullptr, start.FieldCount,
                       end.Modified ? end.Record.data() : nullptr, end.FieldCount);
    FKeyBuffers[kiCurRangeStart] = start;
    FKeyBuffers[kiCurRangeEnd] = end;
    return true;
}

bool TDbTable::ClearKeyRange() {
    if (Cursor() == nullptr || FKeyBuffers[kiCurRangeStart].Record.empty()) return false;
    if (!FKeyBuffers[kiCurRangeStart].Modified && !FKeyBuffers[kiCurRangeEnd].Modified) return false;
    Cursor()->ResetRange();
    ClearKeyBuffer(FKeyBuffers[kiCurRangeStart]);
    ClearKeyBuffer(FKeyBuffers[kiCurRangeEnd]);
    return true;
}

void TDbTable::ApplyRange() {
    CheckBrowseMode();
    if (ApplyKeyRange()) First();
}

void TDbTable::CancelRange() {
    CheckBrowseMode();
    UpdateCursorPos();
    if (ClearKeyRange()) Resync(0);
}

void TDbTable::SetRange(const std::vector<Variant>& startValues, const std::vector<Variant>& endValues) {
    CheckActive();
    SetKeyValues(kiRangeStart, startValues);
    SetKeyValues(kiRangeEnd, endValues);
    ApplyRange();
}

}  // namespace dbsql
