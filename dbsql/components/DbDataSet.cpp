#include "dbsql/components/DbDataSet.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/cursor/TableCursor.h"
#include "dbengine/expr/ExpEvaluate.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/util/EngineError.h"
#include "dbsql/components/DbBlobStream.h"
#include "dbsql/components/DbSession.h"
#include "framework/core/Exception.h"
#include "framework/core/SysUtils.h"
#include "framework/ui/Forms.h"

namespace dbsql {

using namespace framework;
using dbengine::TEngineErrorCode;

// ---- Operations of the concrete cursor -----------------------------------------------------------
// The engine's cursor interface lacks these; with TDbDataSet::Engine, CheckCursorError and
// TDbDBDataSet::InstallPasswordCallback they are the only uses of TDataCursor itself.

namespace {

bool CursorReadOnly(const dbengine::TDataCursor& c) {
    return c.GetReadOnly();
}
bool CursorIsQueryResult(const dbengine::TDataCursor& c) {
    return c.GetQueryResult();
}
bool CursorWalksBitmap(const dbengine::TDataCursor& c) {
    return c.HasActiveFilter() || c.IsNaturalOrder();
}
bool CursorIsQueryResultAndSource(const dbengine::TDataCursor& c) {
    return c.GetQueryResult() && c.GetQuerySource();
}
// The SQL engine's internal columns are left out of the definitions: the hidden counters of AVG
// columns in a result table, known by their name.
bool CursorIsHidden(const dbengine::TFieldDescriptor& d) {
    return d.Name.rfind("Sys__Avg__Count", 0) == 0;
}

}  // namespace

// ---- Field types ---------------------------------------------------------------------------------

TEngineFieldType EngineFieldType(TFieldType type) {
    switch (type) {
        case ftString:
        case ftGuid:
            return {1, 0};
        case ftSmallint:
            return {5, 0};
        case ftInteger:
            return {6, 0};
        case ftWord:
            return {12, 0};
        case ftBoolean:
            return {4, 0};
        case ftFloat:
            return {7, 0};
        case ftCurrency:
            return {7, 21};
        case ftBCD:
            return {8, 0};
        case ftDate:
            return {2, 0};
        case ftTime:
            return {10, 0};
        case ftDateTime:
            return {11, 0};
        case ftBytes:
            return {9, 0};
        case ftVarBytes:
            return {15, 0};
        case ftAutoInc:
            return {6, 29};
        case ftBlob:
        case ftParadoxOle:
        case ftDBaseOle:
        case ftOraBlob:
        case ftOraClob:
            return {3, 0};
        case ftMemo:
            return {3, 22};
        case ftGraphic:
            return {3, 26};
        case ftFmtMemo:
            return {3, 24};
        case ftTypedBinary:
            return {3, 28};
        case ftCursor:
            return {17, 0};
        case ftFixedChar:
            return {1, 31};
        case ftWideString:
            return {1, 32};
        case ftLargeint:
            return {18, 0};
        case ftADT:
            return {20, 0};
        case ftArray:
            return {21, 0};
        case ftReference:
            return {22, 0};
        case ftDataSet:
            return {23, 0};
        default:
            return {0, 0};
    }
}

bool FrameworkFieldType(uint8_t type, uint8_t subType, TFieldType& result) {
    switch (type) {
        case 1:
            result = subType == 31 ? ftFixedChar : ftString;
            return true;
        case 2:
            result = ftDate;
            return true;
        case 3:
            switch (subType) {
                case 22:
                    result = ftMemo;
                    break;
                case 24:
                    result = ftFmtMemo;
                    break;
                case 26:
                    result = ftGraphic;
                    break;
                case 28:
                    result = ftTypedBinary;
                    break;
                default:
                    result = ftBlob;
                    break;
            }
            return true;
        case 4:
            result = ftBoolean;
            return true;
        case 5:
            result = ftSmallint;
            return true;
        case 6:
            result = subType == 29 ? ftAutoInc : ftInteger;
            return true;
        case 7:
            result = subType == 21 ? ftCurrency : ftFloat;
            return true;
        case 8:
            result = ftBCD;
            return true;
        case 9:
            result = ftBytes;
            return true;
        case 10:
            result = ftTime;
            return true;
        case 11:
            result = ftDateTime;
            return true;
        case 12:
            result = ftWord;
            return true;
        case 13:
            result = ftInteger;
            return true;
        case 15:
            result = ftVarBytes;
            return true;
        case 18:
        case 19:
            result = ftLargeint;
            return true;
        case 20:
            result = ftADT;
            return true;
        case 21:
            result = ftArray;
            return true;
        case 22:
            result = ftReference;
            return true;
        case 23:
            result = ftDataSet;
            return true;
        default:
            return false;
    }
}

void AddFieldDefs(TFieldDefs& defs, const std::vector<dbengine::TFieldDescriptor>& descs) {
    for (size_t i = 0; i < descs.size(); ++i) {
        const dbengine::TFieldDescriptor& d = descs[i];
        TFieldType type;
        if (CursorIsHidden(d) || !FrameworkFieldType(d.FieldType, d.SubType, type)) continue;
        std::string name = d.Name;
        for (int n = 1; defs.IndexOf(name) >= 0; ++n) name = d.Name + "_" + std::to_string(n);
        int size = 0;
        if (d.FieldType == 1 || d.FieldType == 9 || d.FieldType == 15) size = d.Size;
        if (d.FieldType == 8) size = d.Decimals;
        TFieldDef* def = defs.Add(name, type, size, d.Required != 0);
        def->FieldNo = int(i + 1);
        if (d.FieldType == 8) def->Precision = 32;
        def->InternalCalcField = false;
    }
}

size_t BlockBufferSize(int64_t count, int64_t recordSize) {
    if (count < 0 || recordSize < 0 ||
        (recordSize != 0 && count > int64_t(std::numeric_limits<int32_t>::max()) / recordSize))
        throw EOutOfMemory("Out of memory");
    return size_t(count * recordSize);
}

size_t BlobArrayCapacity(int64_t size) {
    int64_t wanted = size + size / 4;
    if (size < 0 || wanted > int64_t(std::numeric_limits<int32_t>::max()))
        throw EOutOfMemory("Out of memory");
    return size_t(wanted);
}

dbengine::TDataCursor& TDbDataSet::Engine() const {
    return *FCursor;
}

void TDbDataSet::CheckCursorError(uint16_t code, const std::string& message) const {
    Engine().CheckError(code, message);
}

void TDbDBDataSet::InstallPasswordCallback(dbengine::TDataCursor& cursor) const {
    TDbSession* session = FDatabase != nullptr ? FDatabase->Session() : &DefaultSession();
    cursor.SetPasswordCallback([session](dbengine::TDataCursor&) { return session->PasswordCallback(); });
}

// ---- TDbDataSet ----------------------------------------------------------------------------------

TDbDataSet::TDbDataSet(TComponent* AOwner) : TDataSet(AOwner) {}

TDbDataSet::~TDbDataSet() {
    try {
        Close();
    } catch (...) {
    }
}

dbengine::TTableCursor* TDbDataSet::Cursor() const {
    return FCursor;
}

void TDbDataSet::SetAutoDisplayLabels(bool value) {
    if (value == FAutoDisplayLabels) return;
    FAutoDisplayLabels = value;
    SetFieldDisplayLabels();
}

void TDbDataSet::FlushBuffers() {
    CheckActive();
    dbengine::TDataCursor& c = Engine();
    if (c.GetExclusive() && !c.InTransaction()) c.FlushBuffers(true, false, true, true, true);
    c.FlushOSBuffers();
}

void TDbDataSet::OpenCursor() {
    FCursor = CreateCursorHandle();
    if (FCursor == nullptr) DatabaseError(dbdmsg::SHandleError);
    FOwnsCursor = !CursorIsQueryResult(*FCursor);
    TDataSet::OpenCursor();
}

void TDbDataSet::CloseCursor() {
    TDataSet::CloseCursor();
    if (FCursor != nullptr) {
        FreeCursorHandle();
        FCursor = nullptr;
    }
}

void TDbDataSet::FreeCursorHandle() {
    if (!FOwnsCursor) return;
    std::unique_ptr<dbengine::TDataCursor> owned(FCursor);
    owned->CloseCursor(false);
}

void TDbDataSet::InternalOpen() {
    dbengine::TTableCursor& c = *FCursor;
    FRecordSize = c.GetRecordSize();
    BookmarkSize = c.GetBookmarkSize();
    FCanModify = !CursorReadOnly(Engine());
    FieldDefs.Updated = false;
    InitFieldDefs();
    IndexFieldMap.clear();
    KeyFieldCount = 0;
    if (DefaultFields()) CreateFields();
    BindFields(true);
    SetFieldDisplayLabels();
    SetFieldOrigins();
    FOldValueBuffer.assign(size_t(BookmarkOffset() + BookmarkSize), 0);
    Engine().ClearRecordBuffer(FOldValueBuffer.data());
    c.SetToBegin();
    ApplyIndexSettings();
    RebuildFilters();
    if (Filtered()) EnableFilters();
}

void TDbDataSet::IndexChanged() {
    int count = BufferCount();
    bool buffered = !FBuffers.empty();
    if (buffered) SetBufListSize(0);
    BookmarkSize = FCursor->GetBookmarkSize();
    FOldValueBuffer.assign(size_t(BookmarkOffset() + BookmarkSize), 0);
    Engine().ClearRecordBuffer(FOldValueBuffer.data());
    if (buffered) SetBufListSize(std::max(count, 1));
}

// ---- Filters -------------------------------------------------------------------------------------

void TDbDataSet::DropFilters() {
    if (FCursor != nullptr) {
        if (FFuncFilter != nullptr) FCursor->DropFilter(FFuncFilter);
        if (FExprFilter != nullptr) FCursor->DropFilter(FExprFilter);
    }
    FExprFilter = nullptr;
    FFuncFilter = nullptr;
}

void TDbDataSet::RebuildFilters() {
    DropFilters();
    if (FCursor == nullptr) return;
    if (!Trim(FFilterText).empty())
        FExprFilter = FCursor->AddFilter(this, FFilterText, nullptr, false, {}, false, false, false,
                                         (FFilterOptions & foCaseInsensitive) != 0,
                                         (FFilterOptions & foNoPartialCompare) != 0);
    if (FOnFilterRecord) {
        auto callback = [this](void*, dbengine::TDataCursor&, const uint8_t* record, int32_t) {
            return RecordFilterAccepts(const_cast<uint8_t*>(record));
        };
        FFuncFilter =
            FCursor->AddFilter(this, {}, nullptr, false, callback, true, false, false, false, false);
    }
}

void TDbDataSet::EnableFilters() {
    if (FExprFilter != nullptr) FCursor->ActivateFilter(FExprFilter);
    if (FFuncFilter != nullptr) FCursor->ActivateFilter(FFuncFilter);
}

void TDbDataSet::DisableFilters() {
    if (FFuncFilter != nullptr) FCursor->DeactivateFilter(FFuncFilter);
    if (FExprFilter != nullptr) FCursor->DeactivateFilter(FExprFilter);
}

void TDbDataSet::InternalHandleException() {
    if (framework::Application != nullptr) framework::Application->HandleException(this);
}

void TDbDataSet::SetFiltered(bool value) {
    if (Active()) {
        CheckBrowseMode();
        if (value != Filtered()) {
            FreeLookupCursor();
            if (value)
                EnableFilters();
            else
                DisableFilters();
        }
    }
    TDataSet::SetFiltered(value);
}

void TDbDataSet::FilterSettingChanged() {
    if (!Active()) return;
    FreeLookupCursor();
    RebuildFilters();
    if (Filtered()) {
        EnableFilters();
        First();
    }
}

void TDbDataSet::SetFilterText(const std::string& text) {
    if (Active()) CheckBrowseMode();
    FFilterText = text;
    FilterSettingChanged();
}

void TDbDataSet::SetFilterOptions(TFilterOptions options) {
    if (Active()) CheckBrowseMode();
    FFilterOptions = options;
    FilterSettingChanged();
}

void TDbDataSet::SetOnFilterRecord(TFilterRecordEvent handler) {
    if (Active()) CheckBrowseMode();
    FOnFilterRecord = std::move(handler);
    FilterSettingChanged();
}

bool TDbDataSet::FindRecord(bool restart, bool goForward) {
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(this);
    FFound = false;
    UpdateCursorPos();
    CursorPosChanged();
    TRecordBuffer buffer = TempBuffer();
    if (!Filtered()) EnableFilters();
    try {
        if (restart) {
            if (goForward)
                InternalFirst();
            else
                InternalLast();
        }
        FFound = GetRecord(buffer, goForward ? gmNext : gmPrior, true) == grOK;
    } catch (...) {
        if (!Filtered()) DisableFilters();
        throw;
    }
    if (!Filtered()) DisableFilters();
    if (FFound) {
        InternalSetToRecord(buffer);
        Resync(rmExact | rmCenter);
        if (AfterScroll) AfterScroll(this);
    } else {
        UpdateCursorPos();
    }
    return FFound;
}

// ---- Locate and Lookup ---------------------------------------------------------------------------

namespace {

// Value i of count key values: a single value may come alone or as an array of one.
const Variant& KeyValue(const Variant& values, size_t i, size_t count) {
    if (count == 1) return values.IsArray() ? values[0] : values;
    return values[int(i)];
}

// A partial-key value: the characters before a trailing "*".
std::string PartialKeyText(std::string text) {
    if (!text.empty() && text.back() == '*') text.pop_back();
    return text;
}

bool IsStringType(TFieldType type) {
    return type == ftString || type == ftFixedChar;
}

// Fields whose value the filter compares as text.
bool ComparesAsText(TFieldType type) {
    switch (type) {
        case ftString:
        case ftFixedChar:
        case ftWideString:
        case ftMemo:
        case ftFmtMemo:
        case ftBlob:
        case ftGraphic:
        case ftTypedBinary:
            return true;
        default:
            return false;
    }
}

dbengine::TExpToken* NewNode(uint8_t kind, uint8_t code, uint8_t dataType = 0) {
    dbengine::TExpToken* t = dbengine::NewExpToken();
    t->Kind = kind;
    t->Code = code;
    t->DataType = dataType;
    return t;
}

}  // namespace

bool TDbDataSet::MapsToIndex(const std::vector<TField*>& fields, bool caseInsensitive) const {
    for (TField* f : fields)
        if (IsStringType(f->DataType()) && caseInsensitive != CaseInsIndex) return false;
    if (int(fields.size()) > KeyFieldCount) return false;
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i]->FieldNo() < 1 || IndexFieldMap[i] != uint16_t(fields[i]->FieldNo())) return false;
    return true;
}

dbengine::TExpToken* TDbDataSet::BuildValueFilter(const std::vector<TField*>& fields,
                                                  const Variant& keyValues, TLocateOptions options) {
    // A comparison of text that the checked tree must then make a prefix or case-blind one.
    struct TTextCompare {
        dbengine::TExpToken* Node;
        int32_t Prefix;
    };
    std::vector<TTextCompare> textCompares;
    const bool partial = (options & loPartialKey) != 0;
    const bool caseIns = (options & loCaseInsensitive) != 0;
    dbengine::TExpTreeHolder tree;
    for (size_t i = 0; i < fields.size(); ++i) {
        TField* field = fields[i];
        dbengine::TFieldDescriptor d;
        if (field->FieldNo() < 1 || field->FieldNo() > FCursor->GetFieldCount())
            DatabaseError(FmtMsg(dbmsg::SFieldNotFound, {field->FieldName}), this);
        FCursor->GetFieldDesc(uint16_t(field->FieldNo()), d);
        const Variant& value = KeyValue(keyValues, i, fields.size());

        dbengine::TExpTreeHolder node(NewNode(dbengine::tkBinary, dbengine::ecEqual, dbengine::fldBoolean));
        node->Left = NewNode(dbengine::tkColumn, 0);
        node->Left->Text = node->Left->ColumnName = d.Name;
        node->Right = NewNode(dbengine::tkConstant, 0);
        dbengine::TExpToken* constant = node->Right;
        if (value.IsNull()) {
            constant->Text = "NULL";
            constant->IsNull = true;
        } else if (ComparesAsText(field->DataType())) {
            std::string text = partial ? PartialKeyText(value.AsString()) : value.AsString();
            constant->DataType = dbengine::fldString;
            constant->Text = text;
            dbengine::SetExpText(constant, text);
            if (partial || caseIns) textCompares.push_back({node.get(), partial ? int32_t(text.size()) : 0});
        } else {
            // The field puts the value into the engine's form (day numbers, milliseconds, 0 or 1).
            field->SetValue(value);
            std::vector<uint8_t> bytes(std::max<size_t>(d.ValueSize, 8), 0);
            bool blank = true;
            FCursor->GetField(uint16_t(field->FieldNo()), GetActiveRecBuf(), bytes.data(), blank);
            constant->DataType = d.FieldType;
            constant->SubType = d.SubType;
            constant->Scale = d.ValueDecimals;
            constant->SetDataSize(d.ValueSize);
            std::copy(bytes.begin(), bytes.begin() + d.ValueSize, constant->Data.get());
            constant->IsNull = blank;
        }
        node->Left->Parent = node->Right->Parent = node.get();
        if (tree.get() == nullptr) {
            tree.reset(node.release());
        } else {
            dbengine::TExpToken* both = NewNode(dbengine::tkBinary, dbengine::ecAnd, dbengine::fldBoolean);
            both->Left = tree.release();
            both->Right = node.release();
            both->Left->Parent = both->Right->Parent = both;
            tree.reset(both);
        }
    }
    Engine().CheckFilterExpression(tree.get());
    for (const TTextCompare& t : textCompares) {
        if (partial && t.Prefix == 0) {
            // An empty prefix: every value that is not NULL.
            t.Node->Code = dbengine::ecNotEqual;
            dbengine::SetExpNull(t.Node->Right);
            continue;
        }
        t.Node->Kind = dbengine::tkStringCompare;
        t.Node->CompareLength = t.Prefix;
        t.Node->CaseInsensitive = caseIns;
    }
    return tree.release();
}

bool TDbDataSet::FindByValues(const std::string& keyFields, const Variant& keyValues, TLocateOptions options,
                              bool move) {
    CheckBrowseMode();
    CursorPosChanged();
    TRecordBuffer buffer = TempBuffer();
    std::vector<TField*> fields;
    GetFieldList(fields, keyFields);
    const bool caseIns = (options & loCaseInsensitive) != 0;
    // With loPartialKey the last string field is searched by its leading characters; a trailing
    // "*" is left out of them, as the value filter does. An empty prefix of the only key field
    // would be a whole-key search for an empty key, so the value filter takes it.
    const size_t n = fields.size();
    const bool partialString = (options & loPartialKey) != 0 && fields.back()->DataType() == ftString;
    Variant last = KeyValue(keyValues, n - 1, n);
    if (partialString && !last.IsNull()) last = Variant(PartialKeyText(last.AsString()));
    const bool emptyPrefixOnly = partialString && n == 1 && (last.IsNull() || last.AsString().empty());
    dbengine::TDataCursor* cursor = nullptr;
    if (!emptyPrefixOnly)
        cursor = MapsToIndex(fields, caseIns) ? FCursor : GetLookupCursor(keyFields, caseIns);

    TDataSetState saved = SetTempState(dsFilter);
    TRecordBuffer savedFilter = FFilterBuffer;
    FFilterBuffer = buffer;
    bool found = false;
    try {
        Engine().ClearRecordBuffer(buffer);
        if (cursor != nullptr) {
            int fieldCount = int(n);
            int partialLength = 0;
            for (size_t i = 0; i < n; ++i) fields[i]->SetValue(i + 1 == n ? last : KeyValue(keyValues, i, n));
            if (partialString) {
                --fieldCount;
                partialLength = int(fields.back()->AsString().size());
            }
            found = cursor->FindKey(false, buffer, fieldCount, partialLength > 0, partialLength, buffer);
        } else {
            dbengine::TExpToken* tree = BuildValueFilter(fields, keyValues, options);
            dbengine::TFilter* filter =
                FCursor->AddFilter(this, {}, tree, true, nullptr, false, false, false, caseIns, false);
            try {
                FCursor->ActivateFilter(filter);
                FCursor->SetToBegin();
                found = FCursor->GetNextRecord(buffer) == 0;
            } catch (...) {
                FCursor->DropFilter(filter);
                throw;
            }
            FCursor->DropFilter(filter);
        }
    } catch (...) {
        FFilterBuffer = savedFilter;
        RestoreState(saved);
        throw;
    }
    FFilterBuffer = savedFilter;
    RestoreState(saved);
    if (found && move && cursor != nullptr && cursor != FCursor)
        CheckCursorError(FCursor->SetToCursor(*cursor), std::string());
    return found;
}

bool TDbDataSet::Locate(const std::string& keyFields, const Variant& keyValues, TLocateOptions options) {
    CheckBrowseMode();
    if (BeforeScroll) BeforeScroll(this);
    bool found = FindByValues(keyFields, keyValues, options, true);
    if (found) {
        Resync(rmExact | rmCenter);
        if (AfterScroll) AfterScroll(this);
    }
    return found;
}

Variant TDbDataSet::Lookup(const std::string& keyFields, const Variant& keyValues,
                           const std::string& resultFields) {
    if (!FindByValues(keyFields, keyValues, 0, false)) return Variant();
    return TempBufferValues(resultFields);
}

void TDbDataSet::InternalClose() {
    DropFilters();
    FreeBlockBuffer();
    FOldValueBuffer.clear();
    BindFields(false);
    if (DefaultFields()) DestroyFields();
    IndexFieldMap.clear();
    KeyFieldCount = 0;
    KeySize = 0;
    CaseInsIndex = false;
    FCanModify = false;
}

void TDbDataSet::InternalInitFieldDefs() {
    FieldDefs.Clear();
    if (FCursor != nullptr) LoadFieldDefs(*FCursor);
}

void TDbDataSet::LoadFieldDefs(dbengine::TTableCursor& cursor) {
    FieldDefs.Clear();
    std::vector<dbengine::TFieldDescriptor> descs(cursor.GetFieldCount());
    for (uint16_t i = 1; i <= descs.size(); ++i) cursor.GetFieldDesc(i, descs[i - 1u]);
    AddFieldDefs(FieldDefs, descs);
}

void TDbDataSet::SetFieldDisplayLabels() {
    if (FCursor == nullptr || !FAutoDisplayLabels) return;
    for (int i = 0; i < Fields.Count(); ++i) {
        TField* f = Fields[i];
        if (f->FieldNo() < 1 ||
            (f->FieldKind != fkData && f->FieldKind != fkInternalCalc && f->FieldKind != fkAggregate))
            continue;
        dbengine::TFieldDescriptor d;
        FCursor->GetFieldDesc(uint16_t(f->FieldNo()), d);
        if (!d.Description.empty()) f->SetDisplayLabel(d.Description);
    }
}

void TDbDataSet::SetFieldOrigins() {
    if (FCursor == nullptr) return;
    for (int i = 0; i < Fields.Count(); ++i) {
        TField* f = Fields[i];
        if (f->FieldNo() < 1 ||
            (f->FieldKind != fkData && f->FieldKind != fkInternalCalc && f->FieldKind != fkAggregate))
            continue;
        dbengine::TFieldDescriptor d;
        FCursor->GetFieldDesc(uint16_t(f->FieldNo()), d);
        f->Origin = d.OriginName;
    }
}

TRecordBuffer TDbDataSet::AllocRecordBuffer() {
    return new uint8_t[size_t(BookmarkOffset() + BookmarkSize)]();  // freed by FreeRecordBuffer
}

void TDbDataSet::FreeRecordBuffer(TRecordBuffer& buffer) {
    delete[] buffer;
    buffer = nullptr;
}

void TDbDataSet::ClearCalcFields(TRecordBuffer buffer) {
    std::memset(buffer + FRecordSize, 0, size_t(CalcFieldsSize()));
}

void TDbDataSet::GetBookmarkData(TRecordBuffer buffer, void* data) {
    std::memcpy(data, buffer + BookmarkOffset(), size_t(BookmarkSize));
}

void TDbDataSet::SetBookmarkData(TRecordBuffer buffer, const void* data) {
    std::memcpy(buffer + BookmarkOffset(), data, size_t(BookmarkSize));
}

TBookmarkFlag TDbDataSet::GetBookmarkFlag(TRecordBuffer buffer) {
    return TBookmarkFlag(buffer[RecInfoOffset() + 4]);
}

void TDbDataSet::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
    buffer[RecInfoOffset() + 4] = uint8_t(flag);
}

TGetResult TDbDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) {
    if (FCursor == nullptr) return grError;
    TEngineErrorCode code = 0;
    std::string message;
    try {
        switch (mode) {
            case gmCurrent:
                code = FCursor->GetCurrentRecord(buffer, false);
                break;
            case gmNext:
                code = FCursor->GetNextRecord(buffer);
                break;
            case gmPrior:
                code = FCursor->GetPriorRecord(buffer);
                break;
        }
    } catch (const std::exception& e) {
        code = dbengine::GetEngineErrorCode(e);
        if (dynamic_cast<const dbengine::EDbEngineError*>(&e) != nullptr) message = e.what();
    } catch (...) {
        code = dbengine::DBE_OSUNKNOWN;
    }
    if (code == 0) {
        try {
            int32_t recNo = FCursor->GetRecNo();
            std::memcpy(buffer + RecInfoOffset(), &recNo, 4);
            buffer[RecInfoOffset() + 4] = uint8_t(bfCurrent);
            GetCalcFields(buffer);
            FCursor->GetBookmark(buffer + BookmarkOffset());
            return grOK;
        } catch (const std::exception& e) {
            if (doCheck) throw;
            return grError;
        }
    }
    if (code == dbengine::DBE_BOF) return grBOF;
    if (code == dbengine::DBE_EOF) return grEOF;
    if (doCheck) CheckCursorError(code, message);
    return grError;
}

TRecordBuffer TDbDataSet::GetActiveRecBuf() {
    switch (State()) {
        case dsOldValue:
            return FOldValueBuffer.empty() ? nullptr : FOldValueBuffer.data();
        case dsBlockRead:
            if (FBlockHeld == 0) return nullptr;
            return FBlockBuffer.data() + size_t(FBlockPosition) * size_t(FRecordSize);
        default:
            return TDataSet::GetActiveRecBuf();
    }
}

bool TDbDataSet::GetFieldData(TField* field, void* buffer) {
    if (field->FieldNo() > 0) return GetFieldData(field->FieldNo(), buffer);
    TDataSetState st = State();
    if (st != dsBrowse && st != dsEdit && st != dsInsert && st != dsCalcFields && st != dsBlockRead)
        return false;
    TRecordBuffer rec = st == dsBlockRead ? TempBuffer() : GetActiveRecBuf();
    if (rec == nullptr) return false;
    const uint8_t* p = rec + FRecordSize + field->Offset();
    if (p[0] == 0) return false;
    if (buffer != nullptr) std::memcpy(buffer, p + 1, size_t(field->DataSize()));
    return true;
}

bool TDbDataSet::GetFieldData(int fieldNo, void* buffer) {
    TRecordBuffer rec = GetActiveRecBuf();
    if (rec == nullptr || FCursor == nullptr) return false;
    std::vector<uint8_t> scratch;
    uint8_t* out = static_cast<uint8_t*>(buffer);
    if (out == nullptr) {
        scratch.assign(512, 0);
        out = scratch.data();
    }
    bool blank = true;
    FCursor->GetField(uint16_t(fieldNo), rec, out, blank);
    return !blank;
}

void TDbDataSet::SetFieldData(TField* field, const void* buffer) {
    TDataSetState st = State();
    if (st != dsEdit && st != dsInsert && st != dsSetKey && st != dsCalcFields && st != dsFilter &&
        st != dsNewValue && st != dsInternalCalc)
        DatabaseError(dbdmsg::SNotEditing, this);
    if (st == dsSetKey) {
        bool inIndex = field->FieldNo() > 0 &&
                       (KeyFieldCount == 0 ||
                        std::find(IndexFieldMap.begin(), IndexFieldMap.begin() + KeyFieldCount,
                                  uint16_t(field->FieldNo())) != IndexFieldMap.begin() + KeyFieldCount);
        if (!inIndex) DatabaseError(FmtMsg(dbdmsg::SNotIndexField, {field->DisplayName()}), this);
    }
    TRecordBuffer rec = GetActiveRecBuf();
    if (field->FieldNo() < 1) {
        uint8_t* p = rec + FRecordSize + field->Offset();
        p[0] = buffer != nullptr ? 1 : 0;
        if (buffer != nullptr) std::memcpy(p + 1, buffer, size_t(field->DataSize()));
    } else {
        if (st == dsCalcFields) DatabaseError(dbdmsg::SNotEditing, this);
        if (field->ReadOnly && st != dsSetKey && st != dsFilter)
            DatabaseError(FmtMsg(dbdmsg::SFieldReadOnly, {field->DisplayName()}), this);
        field->Validate(buffer);
        if (field->FieldKind != fkInternalCalc)
            FCursor->PutField(uint16_t(field->FieldNo()), rec, static_cast<const uint8_t*>(buffer), false,
                              false);
    }
    if (st != dsCalcFields && st != dsFilter && st != dsNewValue)
        DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
}

void TDbDataSet::SetStateFieldValue(TDataSetState state, TField* field, const Variant& value) {
    if (state == dsOldValue) DatabaseError(FmtMsg(dbdmsg::SFieldReadOnly, {field->DisplayName()}), this);
    TDataSet::SetStateFieldValue(state, field, value);
}

int TDbDataSet::GetBlobFieldData(int fieldNo, std::vector<uint8_t>& buffer) {
    TRecordBuffer rec = GetActiveRecBuf();
    if (rec == nullptr || FCursor == nullptr) return 0;
    TField* field = nullptr;
    for (int i = 0; i < Fields.Count(); ++i)
        if (Fields[i]->FieldNo() == fieldNo) field = Fields[i];
    std::string fieldName = field != nullptr ? field->FieldName : std::string();
    TEngineErrorCode noted = 0;
    int32_t size = 0;
    for (int attempt = 0;; ++attempt) {
        noted = 0;
        try {
            noted =
                FCursor->OpenBlob(uint16_t(fieldNo), rec, dbengine::BlobOpenRead, false, true, size, false);
        } catch (const std::exception& e) {
            noted = dbengine::GetEngineErrorCode(e);
        }
        if (noted != dbengine::DBE_KEYORRECDELETED || attempt == BlobChangedRetries) break;
        Refresh();
        rec = GetActiveRecBuf();
        if (rec == nullptr) return 0;
    }
    if (noted != 0) {
        if (BlockReadSize() > 0) return 0;
        Engine().CheckFieldError(noted, fieldName);
    }
    if (size > 0) {
        if (buffer.size() < size_t(size)) buffer.resize(BlobArrayCapacity(size));
        int32_t read = 0;
        noted = FCursor->GetBlob(uint16_t(fieldNo), rec, 0, buffer.data(), size, read, false);
    }
    FCursor->FreeBlob(uint16_t(fieldNo), rec, false, false);
    if (noted != 0 && BlockReadSize() == 0) Engine().CheckFieldError(noted, fieldName);
    return size;
}

void TDbDataSet::SetBlobFieldData(TField* field, const std::vector<uint8_t>& data) {
    if (State() != dsEdit && State() != dsInsert) DatabaseError(dbdmsg::SNotEditing, this);
    if (field->ReadOnly) DatabaseError(FmtMsg(dbdmsg::SFieldReadOnly, {field->DisplayName()}), this);
    TRecordBuffer rec = ActiveBuffer();
    auto no = uint16_t(field->FieldNo());
    int32_t size = 0;
    dbengine::TDataCursor& c = Engine();
    c.CheckFieldError(FCursor->OpenBlob(no, rec, dbengine::BlobOpenWrite, false, true, size, false),
                      field->FieldName);
    c.CheckFieldError(FCursor->TruncateBlob(no, rec, 0, false), field->FieldName);
    if (!data.empty())
        c.CheckFieldError(FCursor->PutBlob(no, rec, 0, data.data(), int32_t(data.size()), false),
                          field->FieldName);
    DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
}

std::unique_ptr<TStream> TDbDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode) {
    auto* blob = dynamic_cast<TBlobField*>(field);
    if (blob == nullptr) return TDataSet::CreateBlobStream(field, mode);
    return std::make_unique<TDbBlobStream>(blob, mode);
}

void TDbDataSet::CheckFieldCode(uint16_t code, const std::string& fieldName) const {
    if (code != 0) Engine().CheckFieldError(code, fieldName);
}

void TDbDataSet::CloseBlob(TField* field) {
    TRecordBuffer rec = GetActiveRecBuf();
    if (rec != nullptr && FCursor != nullptr)
        FCursor->FreeBlob(uint16_t(field->FieldNo()), rec, false, false);
}

bool TDbDataSet::GetIsIndexField(TField* field) {
    int no = field->FieldNo();
    if (no < 1) return false;
    for (int i = 0; i < KeyFieldCount && i < int(IndexFieldMap.size()); ++i)
        if (IndexFieldMap[size_t(i)] == no) return true;
    return false;
}

int TDbDataSet::FillWithFetchCount(const std::function<int()>& fill) {
    if (FCursor == nullptr) return 0;
    int saved = RemoteFetchCount;
    RemoteFetchCount = BufferCount();
    try {
        int n = fill();
        RemoteFetchCount = saved;
        return n;
    } catch (...) {
        RemoteFetchCount = saved;
        throw;
    }
}

int TDbDataSet::GetNextRecords() {
    return FillWithFetchCount([this] { return TDataSet::GetNextRecords(); });
}

int TDbDataSet::GetPriorRecords() {
    return FillWithFetchCount([this] { return TDataSet::GetPriorRecords(); });
}

int TDbDataSet::GetRecordCount() {
    CheckActive();
    return FCursor == nullptr ? 0 : FCursor->GetRecordCount();
}

int TDbDataSet::GetRecNo() {
    CheckActive();
    TRecordBuffer buffer = State() == dsCalcFields ? CalcBuffer() : ActiveBuffer();
    if (buffer == nullptr) return -1;
    int32_t recNo;
    std::memcpy(&recNo, buffer + RecInfoOffset(), 4);
    return recNo;
}

void TDbDataSet::SetRecNoImpl(int value) {
    CheckBrowseMode();
    if (value == RecNo()) return;
    if (BeforeScroll) BeforeScroll(this);
    FCursor->SetToRecNo(value);
    Resync(rmCenter);
    if (AfterScroll) AfterScroll(this);
}

void TDbDataSet::InitRecord(TRecordBuffer buffer) {
    TDataSet::InitRecord(buffer);
    int32_t recNo = -1;
    std::memcpy(buffer + RecInfoOffset(), &recNo, 4);
    buffer[RecInfoOffset() + 4] = uint8_t(bfInserted);
}

void TDbDataSet::InternalInitRecord(TRecordBuffer buffer) {
    FCursor->InitRecord(buffer);
}

void TDbDataSet::DoOnNewRecord() {
    TRecordBuffer active = ActiveBuffer();
    if (CopyOnAppend && active != nullptr && !IsEmpty()) {
        // The record the new one was started from is the one the cursor stood on.
        Engine().CloneCurrentRecord(active);
        std::memcpy(FOldValueBuffer.data(), active, size_t(FRecordSize));
    } else if (!FOldValueBuffer.empty()) {
        Engine().ClearRecordBuffer(FOldValueBuffer.data());
    }
    TDataSet::DoOnNewRecord();
}

void TDbDataSet::InternalCancel() {
    if (State() == dsEdit) FCursor->CancelRecord();
    dbengine::TDataCursor& c = Engine();
    if (c.GetServerVersion() >= 31100)
        c.FreeRecordBlobs(ActiveBuffer());
    else
        c.FreeAllBlobs(false, false);
}

void TDbDataSet::InternalEdit() {
    TRecordBuffer active = ActiveBuffer();
    std::string message;
    TEngineErrorCode code = FCursor->GetCurrentRecord(active, true);
    CheckCursorError(code, message);
    std::memcpy(FOldValueBuffer.data(), active, size_t(FRecordSize));
}

void TDbDataSet::InternalRefresh() {
    Engine().Refresh();
}

void TDbDataSet::InternalAddRecord(TRecordBuffer buffer, bool) {
    FCursor->InsertRecord(buffer, true);
}

void TDbDataSet::InternalDelete() {
    FCursor->DeleteRecord(ActiveBuffer(), true);
}

void TDbDataSet::InternalFirst() {
    FCursor->SetToBegin();
}

void TDbDataSet::InternalLast() {
    FCursor->SetToEnd();
}

void TDbDataSet::InternalGotoBookmark(const void* bookmark) {
    FCursor->SetToBookmark(static_cast<const uint8_t*>(bookmark), false, false);
}

void TDbDataSet::InternalSetToRecord(TRecordBuffer buffer) {
    InternalGotoBookmark(buffer + BookmarkOffset());
}

void TDbDataSet::InternalPost() {
    TDataSet::InternalPost();
    if (State() == dsEdit)
        FCursor->ModifyRecord(ActiveBuffer(), true, true);
    else
        FCursor->InsertRecord(ActiveBuffer(), true);
}

void TDbDataSet::Post() {
    TDataSet::Post();
}

void TDbDataSet::Cancel() {
    TDataSet::Cancel();
}

int TDbDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
    if (a.empty() && b.empty()) return 0;
    if (b.empty()) return -1;
    if (a.empty()) return 1;
    if (FCursor == nullptr) return 0;
    int r = FCursor->CompareBookmarks(a.data(), b.data());
    return r == 2 ? 0 : r;
}

bool TDbDataSet::BookmarkValid(const TBookmark& bookmark) {
    if (FCursor == nullptr || bookmark.size() != size_t(BookmarkSize)) return false;
    CursorPosChanged();
    try {
        return FCursor->SetToBookmark(bookmark.data(), false, false);
    } catch (const EDatabaseError&) {
        return false;
    }
}

bool TDbDataSet::GetCurrentRecord(TRecordBuffer buffer) {
    if (FCursor == nullptr || IsEmpty() || GetBookmarkFlag(ActiveBuffer()) != bfCurrent) return false;
    UpdateCursorPos();
    return FCursor->GetCurrentRecord(buffer, false) == 0;
}

bool TDbDataSet::IsSequenced() {
    if (FCursor == nullptr) return false;
    dbengine::TDataCursor& c = Engine();
    return !CursorWalksBitmap(c) && !CursorIsQueryResultAndSource(c);
}

// ---- Block reads ---------------------------------------------------------------------------------

void TDbDataSet::FreeBlockBuffer() {
    FBlockBuffer.clear();
    FBlockBuffer.shrink_to_fit();
    FBlockCapacity = FBlockHeld = FBlockPosition = 0;
}

void TDbDataSet::ReadBlock() {
    int32_t count = FBlockCapacity;
    TEngineErrorCode code = Engine().ReadRecordBlock(count, FBlockBuffer.data());
    if (code != 0 && code != dbengine::DBE_EOF) CheckCursorError(code, std::string());
    FBlockHeld = count;
    FBlockTotal += count;
    FBlockPosition = 0;
}

void TDbDataSet::SetBlockReadSize(int value) {
    if (value == BlockReadSize()) return;
    if (value < 1) {
        TDataSet::SetBlockReadSize(value);
        FreeBlockBuffer();
        return;
    }
    if (BlockReadSize() > 0 || BufferCount() >= 2) return;
    FreeBlockBuffer();
    UpdateCursorPos();
    FCursor->GetPriorRecord(nullptr);
    size_t bytes = value == std::numeric_limits<int>::max() ? 65536 : BlockBufferSize(value, FRecordSize);
    FBlockBuffer.assign(bytes, 0);
    FBlockCapacity = FRecordSize == 0 ? 0 : int(bytes / size_t(FRecordSize));
    FBlockHeld = FBlockCapacity;
    FBlockPosition = FBlockCapacity;
    FBlockTotal = 0;
    TDataSet::SetBlockReadSize(value);
    ReadBlock();
}

void TDbDataSet::BlockReadNext() {
    if (FBlockPosition + 1 < FBlockHeld) {
        ++FBlockPosition;
    } else if (FBlockHeld < FBlockCapacity) {
        FEOF = true;
        return;
    } else {
        ReadBlock();
        if (FBlockHeld == 0) {
            FEOF = true;
            return;
        }
    }
    if (CalcFieldsSize() > 0 || OnCalcFields) {
        TRecordBuffer temp = TempBuffer();
        std::memcpy(temp, GetActiveRecBuf(), size_t(FRecordSize));
        GetCalcFields(temp);
    }
    DataEvent(deDataSetScroll, 0);
}

// ---- TDbDBDataSet --------------------------------------------------------------------------------

TDbDBDataSet::TDbDBDataSet(TComponent* AOwner) : TDbDataSet(AOwner) {}

TDbDBDataSet::~TDbDBDataSet() {
    try {
        Close();
        while (FDBFlags != 0) {
            unsigned reason = 0;
            while ((FDBFlags & (1u << reason)) == 0) ++reason;
            SetDBFlag(reason, false);
        }
    } catch (...) {
    }
}

void TDbDBDataSet::SetDBFlag(unsigned reason, bool value) {
    if (reason > 15) return;
    auto bit = uint16_t(1u << reason);
    if (value) {
        if ((FDBFlags & bit) != 0) return;
        if (FDBFlags == 0) {
            TDbSession* session = Sessions().GetSession(FSessionName);
            TDbDatabase* db = session->OpenDatabase(FDatabaseName, Owner());
            db->AddDataSet(this);
            FDatabase = db;
        }
        FDBFlags |= bit;
    } else {
        if ((FDBFlags & bit) == 0) return;
        FDBFlags &= uint16_t(~bit);
        if (FDBFlags == 0 && FDatabase != nullptr) {
            TDbDatabase* db = FDatabase;
            FDatabase = nullptr;
            db->RemoveDataSet(this);
            db->Session()->CloseDatabase(db);
        }
    }
}

void TDbDBDataSet::OpenCursor() {
    SetDBFlag(dbfOpened, true);
    try {
        TDbDataSet::OpenCursor();
    } catch (...) {
        SetDBFlag(dbfOpened, false);
        throw;
    }
}

void TDbDBDataSet::CloseCursor() {
    TDbDataSet::CloseCursor();
    SetDBFlag(dbfOpened, false);
}

void TDbDBDataSet::Disconnect() {
    Close();
}

void TDbDBDataSet::SetDatabaseName(const std::string& name) {
    if ((ComponentState() & csLoading) != 0) {
        FDatabaseName = name;
        FInMemory = SameText(name, "Memory");
        return;
    }
    std::string value = name.substr(0, std::min<size_t>(name.size(), 255));
    std::replace(value.begin(), value.end(), '/', '\\');
    if (value == FDatabaseName) return;
    CheckInactive();
    if (FDBFlags != 0) DatabaseError(dbsmsg::SDatabaseOpen, this);
    FDatabaseName = value;
    FInMemory = SameText(value, "Memory");
    DataEvent(dePropertyChange, 0);
}

void TDbDBDataSet::SetSessionName(const std::string& name) {
    CheckInactive();
    FSessionName = name;
    DataEvent(dePropertyChange, 0);
}

}  // namespace dbsql
