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

// Whether a ";"-separated field list starts with the names (letter case aside): they make the
// whole list or are followed by ";".
bool LeadingFieldsMatch(const std::string& list, const std::string& names) {
    if (names.empty() || list.size() < names.size() || !AnsiSameText(list.substr(0, names.size()), names))
        return false;
    return list.size() == names.size() || list[names.size()] == ';';
}

// One index of a table definition to make, from the framework's or the restructure list.
struct TIndexSpec {
    std::string Name;
    std::string Fields;
    TIndexOptions Options;
    uint8_t Compression;
};

// The full-text index every table gets: no fields, full key compression.
constexpr const char* SysTextIndexName = "Sys Text";
constexpr uint8_t FullKeyCompression = 3;

dbengine::TFieldDescriptor EncodeFieldDesc(int fieldNo, const std::string& name, TFieldType type, int size,
                                           bool required) {
    TEngineFieldType t = EngineFieldType(type);
    dbengine::TFieldDescriptor d;
    d.FieldNo = int16_t(fieldNo);
    d.Name = name.substr(0, dbengine::MaxFieldNameLength);
    d.FieldType = t.Type;
    d.SubType = t.SubType;
    // A size that does not fit the descriptor reaches the engine's check as too large, not wrapped.
    auto stored = uint8_t(std::clamp(size, 0, 255));
    if (t.Type == dbengine::fldString || t.Type == dbengine::fldBytes || t.Type == dbengine::fldVarBytes)
        d.Size = stored;
    else if (t.Type == dbengine::fldBCD)
        d.Decimals = stored;
    d.Required = required ? 1 : 0;
    return d;
}

// Raises 10023 for an index of more than 16 fields, before any file is touched.
void CheckIndexSpecs(const std::vector<TIndexSpec>& specs, const std::string& database,
                     const std::string& table) {
    for (const TIndexSpec& spec : specs) {
        std::vector<std::string> names = SplitNames(spec.Fields);
        if (names.size() > size_t(dbengine::MaxIndexFields))
            dbengine::RaiseEngineError(dbengine::DBE_INVALIDIDXDESC, {}, {}, database, table,
                                       names[dbengine::MaxIndexFields], spec.Name);
    }
}

// The index descriptors of a definition; the first spec is the primary index when it is marked so.
void PutIndexes(dbengine::TTableDefinition& def, const std::vector<TIndexSpec>& specs,
                const std::function<uint16_t(const std::string&)>& fieldNumber) {
    def.TextIndex.Name = SysTextIndexName;
    def.TextIndex.Compression = FullKeyCompression;
    for (size_t i = 0; i < specs.size(); ++i) {
        const TIndexSpec& spec = specs[i];
        dbengine::TIndexDescriptor d;
        d.Name = spec.Name.substr(0, dbengine::MaxFieldNameLength);
        d.Unique = (spec.Options & ixUnique) != 0 ? 1 : 0;
        d.Descending = (spec.Options & ixDescending) != 0 ? 1 : 0;
        d.CaseInsensitive = (spec.Options & ixCaseInsensitive) != 0 ? 1 : 0;
        d.Compression = spec.Compression;
        std::vector<std::string> names = SplitNames(spec.Fields);
        d.FieldCount = uint8_t(names.size());
        for (size_t k = 0; k < names.size(); ++k) {
            d.FieldNumbers[k] = fieldNumber(names[k]);
            d.FieldDescending[k] = d.Descending;
        }
        // Without a primary index first, the engine keeps its own record order as index 0.
        if (i == 0 && (spec.Options & ixPrimary) != 0)
            def.PrimaryIndex = d;
        else
            def.SecondaryIndexes.push_back(d);
    }
}

}  // namespace

TDbTable::TDbTable(TComponent* AOwner) : TDbDBDataSet(AOwner) {
    FMasterLink.OnMasterChange = [this](TObject*) { MasterChanged(); };
    FMasterLink.OnMasterDisable = [this](TObject*) { MasterDisabled(); };
}

TDbTable::~TDbTable() {
    Close();
}

// ---- Settings ------------------------------------------------------------------------------------

void TDbTable::SetTableName(const std::string& name) {
    std::string value = name.substr(0, std::min<size_t>(name.size(), 255));
    std::replace(value.begin(), value.end(), '/', '\\');
    if (value == FTableName) return;
    CheckInactive();
    if (value.find(':') != std::string::npos || value.find('\\') != std::string::npos) {
        size_t cut = value.find_last_of("\\:") + 1;
        if (!InMemory()) SetDatabaseName(value.substr(0, cut));
        value = value.substr(cut);
    }
    FTableName = value;
    DataEvent(dePropertyChange, 0);
}

void TDbTable::SetExclusive(bool value) {
    if (value == FExclusive) return;
    CheckInactive();
    FExclusive = value;
}

void TDbTable::SetReadOnly(bool value) {
    if (value == FReadOnly) return;
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
        CheckMasterRange();
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
        CheckMasterRange();
        Resync(0);
    }
}

void TDbTable::DataEvent(TDataEvent event, intptr_t info) {
    if (event == dePropertyChange) {
        IndexDefs.Updated = false;
        RestructureFieldDefs.Loaded = false;
        RestructureIndexDefs.Loaded = false;
    }
    TDbDBDataSet::DataEvent(event, info);
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
    IndexDefs.Updated = false;
    std::unique_ptr<dbengine::TDataCursor> cursor(NewCursor(FExclusive));
    cursor->OpenCursor();
    // The engine opens a table it cannot write read-only.
    FReadOnly = cursor->GetReadOnly();
    return cursor.release();
}

void TDbTable::FreeCursorHandle() {
    FreeLookupCursor();
    TDbDBDataSet::FreeCursorHandle();
}

void TDbTable::WithDefinitionCursor(unsigned reason, const std::function<void(dbengine::TDataCursor&)>& op) {
    if (Cursor() != nullptr) {
        op(static_cast<dbengine::TDataCursor&>(*Cursor()));
        return;
    }
    CheckTableName();
    HoldingDatabase(reason, [&] {
        std::unique_ptr<dbengine::TDataCursor> c(NewCursor(false));
        c->OpenCursor();
        op(*c);
        c->CloseCursor(false);
    });
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
    if (FieldDefs.Count() == 0)
        for (int i = 0; i < Fields.Count(); ++i)
            if (Fields[i]->FieldKind == fkData)
                FieldDefs.Add(Fields[i]->FieldName, Fields[i]->DataType(), Fields[i]->Size(),
                              Fields[i]->Required);
    std::vector<TIndexSpec> specs;
    int primary = -1;
    for (int i = 0; i < IndexDefs.Count(); ++i) {
        const TIndexDef& idx = *IndexDefs[i];
        if ((idx.Options & ixPrimary) != 0 && primary < 0) primary = i;
        specs.push_back({idx.Name, idx.Fields, idx.Options, 0});
    }
    CheckIndexSpecs(specs, DatabaseName(), FTableName);
    if (primary > 0) {
        IndexDefs.Move(primary, 0);
        std::rotate(specs.begin(), specs.begin() + primary, specs.begin() + primary + 1);
    }

    dbengine::TTableDefinition def;
    def.UserMajorVersion = 1;
    def.BlobBlockSize = 512;
    for (int i = 0; i < FieldDefs.Count(); ++i) {
        const TFieldDef* fd = FieldDefs[i];
        def.Fields.push_back(EncodeFieldDesc(i + 1, fd->Name, fd->DataType, fd->Size, fd->Required));
    }
    PutIndexes(def, specs, [&](const std::string& name) -> uint16_t {
        int at = FieldDefs.IndexOf(name);
        if (at < 0) DatabaseError(FmtMsg(dbmsg::SFieldNotFound, {name}), this);
        return uint16_t(at + 1);
    });
    WithTableCursor([&](dbengine::TDataCursor& c) { c.CreateTable(def, true, false); });
}

void TDbTable::AlterTable(uint16_t LanguageId, uint16_t SortId, uint16_t UserMajorVersion,
                          uint16_t UserMinorVersion, bool Encrypted, const std::string& Password,
                          const std::string& Description, uint16_t BlobBlockSize, int32_t LastAutoIncValue,
                          bool SuppressBackups) {
    CheckInactive();
    for (int i = 1; i < RestructureIndexDefs.Count(); ++i)
        if ((RestructureIndexDefs.GetItem(i)->Options & ixPrimary) != 0) {
            RestructureIndexDefs.MoveToFront(i);
            break;
        }
    std::vector<TIndexSpec> specs;
    for (int i = 0; i < RestructureIndexDefs.Count(); ++i) {
        const TRestructureIndexDef& idx = *RestructureIndexDefs.GetItem(i);
        specs.push_back({idx.Name, idx.Fields, idx.Options, idx.Compression});
    }
    CheckIndexSpecs(specs, DatabaseName(), FTableName);

    dbengine::TTableDefinition def;
    def.LanguageId = int16_t(LanguageId);
    def.SortId = SortId;
    def.UserMajorVersion = int16_t(UserMajorVersion);
    def.UserMinorVersion = int16_t(UserMinorVersion);
    def.Encrypted = Encrypted;
    def.Password = Password.substr(0, 255);
    def.Description = Description.substr(0, 255);
    def.BlobBlockSize = BlobBlockSize;
    auto valueText = [](const std::string& text) { return text.substr(0, dbengine::MaxValueTextLength); };
    for (int i = 0; i < RestructureFieldDefs.Count(); ++i) {
        const TRestructureFieldDef& f = *RestructureFieldDefs.GetItem(i);
        dbengine::TFieldDescriptor d = EncodeFieldDesc(f.FieldNo, f.Name, f.DataType, f.Size, f.Required);
        d.CharCase = f.CharCase;
        d.MinValue = valueText(f.MinimumValue);
        d.MaxValue = valueText(f.MaximumValue);
        d.DefaultValue = valueText(f.DefaultValue);
        d.Description = f.Description.substr(0, dbengine::MaxFieldDescriptionLength);
        def.Fields.push_back(d);
    }
    PutIndexes(def, specs, [&](const std::string& name) {
        return uint16_t(RestructureFieldDefs.FieldByName(name)->FieldNo);
    });
    WithTableCursor([&](dbengine::TDataCursor& c) {
        if (OnRestructureProgress)
            c.SetRestructureProgressCallback(
                [this](dbengine::TDataCursor&, int percent) { OnRestructureProgress(this, percent); });
        if (OnDataLost)
            c.SetDataLostCallback([this](dbengine::TDataCursor&, int cause, const std::string& context,
                                         bool& continueWork, bool& stopAsking) {
                OnDataLost(this, TDataLossCause(cause), context, continueWork, stopAsking);
            });
        c.RestructureTable(def, true, LastAutoIncValue, SuppressBackups, bool(OnRestructureProgress),
                           bool(OnDataLost));
    });
    // The table's definitions changed: every list reloads when next asked.
    FieldDefs.Updated = false;
    IndexDefs.Updated = false;
    RestructureFieldDefs.Loaded = false;
    RestructureIndexDefs.Loaded = false;
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
    // The engine's repair answers whether it found the table sound; when it had something to mend,
    // the repair succeeded if a quiet check finds the table sound now.
    if (VerifyRepair(false, forceIndexRebuild)) return true;
    bool sound = false;
    WithTableCursor(
        [&](dbengine::TDataCursor& c) { sound = c.VerifyRepairTable(true, false, false, false, false); });
    return sound;
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

void TDbTable::InitFieldDefs() {
    if (Cursor() != nullptr) {
        TDbDBDataSet::InitFieldDefs();
        return;
    }
    CheckTableName();
    WithDefinitionCursor(dbfFieldList, [this](dbengine::TDataCursor& c) { LoadFieldDefs(c); });
    FieldDefs.Updated = true;
}

void TDbTable::UpdateIndexDefs() {
    if (IndexDefs.Updated) return;
    WithDefinitionCursor(dbfIndexList, [this](dbengine::TDataCursor& c) {
        IndexDefs.Clear();
        for (int i = c.HasInternalPrimaryIndex() ? 1 : 0; i <= c.GetSecondaryIndexCount(); ++i) {
            dbengine::TIndexDescriptor d = c.GetIndexDesc(uint8_t(i));
            TIndexOptions options = 0;
            if (i == 0) options |= ixPrimary;
            if (d.Unique != 0) options |= ixUnique;
            if (d.Descending != 0) options |= ixDescending;
            if (d.CaseInsensitive != 0) options |= ixCaseInsensitive;
            std::string fields;
            for (int k = 0; k < d.FieldCount; ++k) {
                if (d.FieldNumbers[size_t(k)] > c.GetFieldCount()) continue;
                dbengine::TFieldDescriptor fd;
                c.GetFieldDesc(d.FieldNumbers[size_t(k)], fd);
                fields += (fields.empty() ? "" : ";") + fd.Name;
            }
            IndexDefs.Add(d.Name, fields, options);
        }
    });
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
    CheckMasterRange();
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
    FreeLookupCursor();
    return true;
}

bool TDbTable::ClearKeyRange() {
    if (Cursor() == nullptr || FKeyBuffers[kiCurRangeStart].Record.empty()) return false;
    if (!FKeyBuffers[kiCurRangeStart].Modified && !FKeyBuffers[kiCurRangeEnd].Modified) return false;
    Cursor()->ResetRange();
    ClearKeyBuffer(FKeyBuffers[kiCurRangeStart]);
    ClearKeyBuffer(FKeyBuffers[kiCurRangeEnd]);
    FreeLookupCursor();
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

// ---- Master/detail -------------------------------------------------------------------------------

void TDbTable::SetMasterSource(TDataSource* source) {
    if (source != nullptr && IsLinkedTo(source)) DatabaseError(dbtmsg::SCircularDataLink, this);
    FMasterLink.SetDataSource(source);
}

void TDbTable::LoadLinkRange(const std::vector<TField*>& fields) {
    // The key fields written here do not make the dataset's record modified.
    const bool wasModified = Modified();
    TDataSetState saved = SetTempState(dsSetKey);
    TKeyBuffer* savedKey = FKeyBuffer;
    TKeyBuffer& start = FKeyBuffers[kiRangeStart];
    auto restore = [&] {
        FKeyBuffer = savedKey;
        RestoreState(saved);
        SetModified(wasModified);
    };
    try {
        ClearKeyBuffer(start);
        FKeyBuffer = &start;
        start.Modified = true;
        for (size_t i = 0; i < fields.size(); ++i) GetIndexField(int(i))->SetValue(fields[i]->AsVariant());
        start.FieldCount = int(fields.size());
    } catch (...) {
        restore();
        throw;
    }
    restore();
    FKeyBuffers[kiRangeEnd] = start;
}

void TDbTable::CheckMasterRange() {
    if (!FMasterLink.Active() || FMasterLink.Fields().empty()) return;
    LoadLinkRange(FMasterLink.Fields());
    ApplyKeyRange();
}

void TDbTable::MasterChanged() {
    CheckBrowseMode();
    LoadLinkRange(FMasterLink.Fields());
    ApplyRange();
}

void TDbTable::MasterDisabled() {
    CancelRange();
}

void TDbTable::DoOnNewRecord() {
    if (FMasterLink.Active() && !FMasterLink.Fields().empty()) {
        const std::vector<TField*>& master = FMasterLink.Fields();
        for (size_t i = 0; i < master.size(); ++i) GetIndexField(int(i))->SetValue(master[i]->AsVariant());
    }
    TDbDBDataSet::DoOnNewRecord();
}

const TIndexDef* TDbTable::DetailIndexDef() {
    IndexDefs.Update();
    if (!FIndexName.empty()) return IndexDefs.Find(FIndexName);
    for (int i = 0; i < IndexDefs.Count(); ++i) {
        const TIndexDef* idx = IndexDefs[i];
        if (FIndexFieldNames.empty() ? (idx->Options & ixPrimary) != 0
                                     : LeadingFieldsMatch(idx->Fields, FIndexFieldNames))
            return idx;
    }
    return nullptr;
}

void TDbTable::GetDetailLinkFields(std::vector<TField*>& masterFields, std::vector<TField*>& detailFields) {
    masterFields.clear();
    detailFields.clear();
    TDataSource* source = MasterSource();
    if (source == nullptr || source->DataSet() == nullptr || MasterFields().empty()) return;
    source->DataSet()->GetFieldList(masterFields, MasterFields());
    if (const TIndexDef* idx = DetailIndexDef()) GetFieldList(detailFields, idx->Fields);
}

void TDbTable::GotoCurrent(TDbTable* other) {
    CheckActive();
    CheckBrowseMode();
    other->CheckBrowseMode();
    if (!AnsiSameText(DatabaseName(), other->DatabaseName()) || !AnsiSameText(FTableName, other->TableName()))
        DatabaseError(dbtmsg::SIncompatibleTables, this);
    other->UpdateCursorPos();
    auto& mine = static_cast<dbengine::TDataCursor&>(*Cursor());
    mine.CheckError(mine.SetToCursor(static_cast<dbengine::TDataCursor&>(*other->Cursor())), std::string());
    if (BeforeScroll) BeforeScroll(this);
    Resync(rmExact | rmCenter);
    if (AfterScroll) AfterScroll(this);
}

// ---- The lookup cursor ---------------------------------------------------------------------------

bool TDbTable::FindIndexForLookup(const std::string& keyFields, bool caseInsensitive,
                                  std::string& indexName) {
    IndexDefs.Update();
    auto usable = [&](const TIndexDef& idx) {
        if ((idx.Options & (ixDescending | ixExpression)) != 0) return false;
        bool hasString = false;
        for (const std::string& name : SplitNames(idx.Fields)) {
            int at = FieldDefs.IndexOf(name);
            if (at >= 0 && (FieldDefs[at]->DataType == ftString || FieldDefs[at]->DataType == ftFixedChar))
                hasString = true;
        }
        return !hasString || ((idx.Options & ixCaseInsensitive) != 0) == caseInsensitive;
    };
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < IndexDefs.Count(); ++i) {
            const TIndexDef& idx = *IndexDefs[i];
            bool fits =
                pass == 0 ? AnsiSameText(idx.Fields, keyFields) : LeadingFieldsMatch(idx.Fields, keyFields);
            if (fits && usable(idx)) {
                indexName = idx.Name;
                return true;
            }
        }
    return false;
}

dbengine::TDataCursor* TDbTable::GetLookupCursor(const std::string& keyFields, bool caseInsensitive) {
    if (FLookupKnown && FLookupFields == keyFields && FLookupCaseIns == caseInsensitive)
        return FLookupCursor.get();
    FreeLookupCursor();
    // A clone would not keep the range.
    if (FKeyBuffers[kiCurRangeStart].Modified || FKeyBuffers[kiCurRangeEnd].Modified) return nullptr;
    std::string indexName;
    if (FindIndexForLookup(keyFields, caseInsensitive, indexName) && Cursor() != nullptr) {
        std::unique_ptr<dbengine::TDataCursor> clone =
            static_cast<dbengine::TDataCursor&>(*Cursor()).CloneCursor();
        if (indexName.empty())
            clone->SetIndexNumber(0);
        else
            clone->SetIndexName(indexName);
        FLookupCursor = std::move(clone);
    }
    FLookupKnown = true;
    FLookupFields = keyFields;
    FLookupCaseIns = caseInsensitive;
    return FLookupCursor.get();
}

void TDbTable::FreeLookupCursor() {
    if (FLookupCursor != nullptr) {
        std::unique_ptr<dbengine::TDataCursor> clone = std::move(FLookupCursor);
        clone->CloseCursor(false);
    }
    FLookupKnown = false;
    FLookupFields.clear();
}

void TDbTable::InternalRefresh() {
    TDbDBDataSet::InternalRefresh();
    if (FLookupCursor != nullptr) FLookupCursor->Refresh();
}

}  // namespace dbsql
