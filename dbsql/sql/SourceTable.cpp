#include "dbsql/sql/SourceTable.h"

#include <algorithm>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/expr/ExpPrepare.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/EngineUtils.h"
#include "dbsql/sql/DataQuery.h"
#include "dbsql/sql/QueryStatement.h"

namespace dbsql {

TTableJoin::TTableJoin(TSourceTable* owner, uint8_t joinKind, TSourceTable* joinedTable,
                       dbengine::TExpToken* condition)
    : Owner(owner), JoinKind(joinKind), JoinedTable(joinedTable), Condition(condition) {}

TTableJoin::~TTableJoin() {
    Reset();
    dbengine::FreeExpTree(Condition);
    dbengine::FreeExpTree(OuterCondition);
}

namespace {

bool IsComparison(const dbengine::TExpToken* t) {
    return t != nullptr && t->Kind == dbengine::tkBinary && t->Code >= dbengine::ecEqual &&
           t->Code <= dbengine::ecLessOrEqual;
}

uint8_t MirroredOperator(uint8_t code) {
    switch (code) {
        case dbengine::ecGreater:
            return dbengine::ecLess;
        case dbengine::ecLess:
            return dbengine::ecGreater;
        case dbengine::ecGreaterOrEqual:
            return dbengine::ecLessOrEqual;
        case dbengine::ecLessOrEqual:
            return dbengine::ecGreaterOrEqual;
        default:
            return code;
    }
}

// Column nodes of a filter tree are read by the filtering cursor itself.
void DetachColumns(dbengine::TExpToken* t) {
    if (t == nullptr) return;
    if (t->Kind == dbengine::tkColumn) t->Table = nullptr;
    DetachColumns(t->Left);
    DetachColumns(t->Right);
    for (dbengine::TExpToken* a : t->Arguments) DetachColumns(a);
}

}  // namespace

void MirrorComparison(dbengine::TExpToken* comparison) {
    std::swap(comparison->Left, comparison->Right);
    comparison->Code = MirroredOperator(comparison->Code);
}

bool IsKeyRangeType(uint8_t type) {
    switch (type) {
        case dbengine::fldSmallInt:
        case dbengine::fldWord:
        case dbengine::fldInteger:
        case dbengine::fldLargeInt:
        case dbengine::fldDate:
        case dbengine::fldTime:
            return true;
        default:
            return false;
    }
}

void DetachFilterColumns(dbengine::TExpToken* tree) {
    DetachColumns(tree);
}

dbengine::TExpToken* CombineConditions(dbengine::TExpToken* old, dbengine::TExpToken* added, uint8_t op) {
    added->Parent = nullptr;
    if (old == nullptr) return added;
    dbengine::TExpToken* node = dbengine::NewExpToken();
    node->Kind = dbengine::tkBinary;
    node->Code = op == 0 ? dbengine::ecAnd : op;
    node->Text = node->Code == dbengine::ecOr ? "OR" : "AND";
    node->DataType = dbengine::fldBoolean;
    node->DataSize = 2;
    node->Left = old;
    node->Right = added;
    old->Parent = node;
    added->Parent = node;
    return node;
}

void TTableJoin::AddCondition(uint8_t kind, dbengine::TExpToken* condition, uint8_t op) {
    if (condition == nullptr) return;
    if (JoinKind == 0) {
        JoinKind = kind;
        Condition = condition;
        return;
    }
    Condition = CombineConditions(Condition, condition, op);
}

void TTableJoin::MirrorCondition() {
    std::vector<dbengine::TExpToken*> pending{Condition};
    while (!pending.empty()) {
        dbengine::TExpToken* t = pending.back();
        pending.pop_back();
        if (t == nullptr) continue;
        if (IsComparison(t)) {
            MirrorComparison(t);
        } else if (t->Kind == dbengine::tkBinary) {
            pending.push_back(t->Left);
            pending.push_back(t->Right);
        } else if (t->Kind == dbengine::tkUnary) {
            pending.push_back(t->Left);
        }
    }
}

namespace {

// A copy of the join condition for the owner's current row: each comparison tests the inner
// operand against the outer operand's value, folded to the inner operand's type. nullEquality
// is set when an equality of two columns that the whole condition needs (under ANDs only) has a
// NULL outer value: NULL equals nothing, so the row has no partner.
dbengine::TExpToken* BuildJoinFilter(const dbengine::TExpToken* t, TDataQuery* query, bool needed,
                                     bool& nullEquality) {
    if (t == nullptr) return nullptr;
    dbengine::TExpTreeHolder copy(dbengine::NewExpToken());
    copy->Assign(*t);
    copy->Left = copy->Right = copy->Third = nullptr;
    copy->Arguments.clear();
    copy->Parent = nullptr;
    if (IsComparison(t)) {
        copy->Left = dbengine::CopyExpTree(t->Right);
        copy->Left->Parent = copy.get();
        copy->Right = dbengine::FoldConstantOperand(t->Right, t->Left, query->SourceValues(),
                                                    query->LanguageId, query->SortId);
        copy->Right->Parent = copy.get();
        copy->Code = MirroredOperator(t->Code);
        if (needed && t->Code == dbengine::ecEqual && copy->Right->IsNull &&
            dbengine::ExpTreeHasColumn(t->Left) && dbengine::ExpTreeHasColumn(t->Right))
            nullEquality = true;
    } else if (t->Kind == dbengine::tkFunction) {
        for (const dbengine::TExpToken* a : t->Arguments) {
            dbengine::TExpToken* arg = dbengine::ExpTreeHasColumn(a)
                                           ? dbengine::CopyExpTree(a)
                                           : dbengine::FoldConstantOperand(a, a, query->SourceValues(),
                                                                           query->LanguageId, query->SortId);
            arg->Parent = copy.get();
            copy->Arguments.push_back(arg);
        }
    } else {
        const bool conjunct = needed && t->Kind == dbengine::tkBinary && t->Code == dbengine::ecAnd;
        if (t->Left != nullptr) {
            copy->Left = BuildJoinFilter(t->Left, query, conjunct, nullEquality);
            copy->Left->Parent = copy.get();
        }
        if (t->Right != nullptr) {
            copy->Right = BuildJoinFilter(t->Right, query, conjunct, nullEquality);
            copy->Right->Parent = copy.get();
        }
    }
    return copy.release();
}

// The index of the cursor's table whose one field is field, or -1.
int SingleFieldIndex(dbengine::TDataCursor& cursor, uint16_t field) {
    const int count = cursor.GetSecondaryIndexCount();
    for (int n = 0; n <= count; ++n) {
        if (n == 0 && cursor.HasInternalPrimaryIndex()) continue;
        const auto number = static_cast<uint8_t>(n);
        if (cursor.GetIndexDesc(number).FieldCount == 1 && cursor.GetIndexFieldNumbers(number)[0] == field)
            return n;
    }
    return -1;
}

}  // namespace

bool TTableJoin::SeekKeyRange() {
    const dbengine::TExpToken* inner = Condition != nullptr ? Condition->Right : nullptr;
    dbengine::TDataCursor* cursor = JoinedTable->Cursor;
    if (KeyIndex == -2) {
        KeyIndex = -1;
        if (IsComparison(Condition) && Condition->Code == dbengine::ecEqual &&
            inner->Kind == dbengine::tkColumn && inner->Table == JoinedTable && inner->FieldNo != 0 &&
            dbengine::ExpTreeHasColumn(Condition->Left)) {
            dbengine::TFieldDescriptor desc;
            cursor->GetTableFieldDesc(static_cast<uint16_t>(inner->FieldNo), desc);
            if (IsKeyRangeType(desc.FieldType) && desc.Calculated == 0)
                KeyIndex = SingleFieldIndex(*cursor, static_cast<uint16_t>(inner->FieldNo));
        }
    }
    if (KeyIndex < 0) return false;
    TDataQuery* query = Owner->Query;
    dbengine::TExpTreeHolder value(dbengine::FoldConstantOperand(
        inner, Condition->Left, query->SourceValues(), query->LanguageId, query->SortId));
    dbengine::TFieldDescriptor desc;
    cursor->GetTableFieldDesc(static_cast<uint16_t>(inner->FieldNo), desc);
    if (value->IsNull) {
        OuterHolds = false;
        return true;
    }
    if (value->DataType != desc.FieldType || value->DataSize < desc.ValueSize) return false;
    DropFilter();
    if (!RangeSet) {
        IndexBeforeRange = cursor->GetCurrentIndexNumber();
        cursor->SetIndexNumber(static_cast<uint8_t>(KeyIndex));
        RangeSet = true;
    }
    const auto field = static_cast<uint16_t>(inner->FieldNo);
    KeyRecord.assign(cursor->GetRecordSize() + 1u, 0);
    cursor->InitRecord(KeyRecord.data());
    cursor->PutField(field, KeyRecord.data(), value->Data.get(), true, false);
    if (query->FiltersTable(cursor)) {
        // A key search lands on records a filter hides; a range keeps to the visible ones.
        cursor->SetRange(false, KeyRecord.data(), 1, KeyRecord.data(), 1);
        return true;
    }
    // One descent to the first key, then the keys that follow while they hold the value.
    TSourceTable& table = *JoinedTable;
    if (!table.KeySeek || table.SeekField != field) {
        const dbengine::TIndexDescriptor index = cursor->GetIndexDesc(static_cast<uint8_t>(KeyIndex));
        table.SeekDesc = desc;
        table.SeekAscending = index.Descending == 0 && index.FieldDescending[0] == 0;
        table.AheadValid = false;
    }
    table.KeySeek = true;
    table.SeekField = field;
    table.SeekRecord = KeyRecord;
    table.SeekValue.assign(desc.ValueSize, 0);
    bool blank = false;
    cursor->GetTableField(field, KeyRecord.data(), table.SeekValue.data(), blank);
    return true;
}

void TTableJoin::BindCondition() {
    bool nullEquality = false;
    dbengine::TExpToken* tree = BuildJoinFilter(Condition, Owner->Query, true, nullEquality);
    if (nullEquality) {
        dbengine::FreeExpTree(tree);
        OuterHolds = false;
        return;
    }
    DropRange();
    DetachColumns(tree);
    dbengine::TDataCursor* cursor = JoinedTable->Cursor;
    if (Filter != nullptr) {
        cursor->ReplaceFilterExpression(tree, static_cast<dbengine::TFilter*>(Filter));
    } else {
        dbengine::TExpTreeHolder holder(tree);
        dbengine::TFilter* filter =
            cursor->AddFilter(this, {}, tree, true, {}, false, false, false, false, false);
        holder.release();
        cursor->ActivateFilter(filter);
        Filter = filter;
    }
}

bool TTableJoin::Match() {
    OuterHolds = OuterCondition == nullptr || Owner->Query->ConditionHolds(OuterCondition);
    if (JoinKind != 0 && OuterHolds && !SeekKeyRange()) BindCondition();
    return FirstInner();
}

bool TTableJoin::FirstInner() {
    if (!OuterHolds) {
        JoinedTable->SetNoPartner();
        return JoinKind == 2;
    }
    return JoinedTable->FirstMatch(JoinKind) || JoinKind == 2;
}

void TTableJoin::AddOuterCondition(dbengine::TExpToken* condition) {
    OuterCondition = CombineConditions(OuterCondition, condition, 0);
}

void TTableJoin::Reset() {
    DropFilter();
    DropRange();
    KeyIndex = -2;
}

void TTableJoin::DropFilter() {
    if (Filter != nullptr && JoinedTable != nullptr && JoinedTable->Cursor != nullptr)
        JoinedTable->Cursor->DropFilter(static_cast<dbengine::TFilter*>(Filter));
    Filter = nullptr;
}

void TTableJoin::DropRange() {
    if (!RangeSet) return;
    RangeSet = false;
    if (JoinedTable == nullptr) return;
    JoinedTable->KeySeek = false;
    JoinedTable->AheadValid = false;
    if (JoinedTable->Cursor == nullptr) return;
    JoinedTable->Cursor->ResetRange();
    JoinedTable->Cursor->SetIndexNumber(IndexBeforeRange);
}

TSourceTable::TSourceTable(TDataQuery* query) : Query(query) {}

TSourceTable::~TSourceTable() {
    Joins.clear();
    Close();
}

void TSourceTable::Open(bool requestLive) {
    if (IsOpen()) return;
    dbengine::TDataDirectory* database =
        Query != nullptr && Query->Statement != nullptr ? Query->Statement->Database : nullptr;
    if (database == nullptr)
        dbengine::RaiseEngineError(dbengine::DBE_SQLPARSE, {}, {}, {}, {}, {}, {},
                                   "No database for table " + TableName);
    auto cursor = std::make_unique<dbengine::TDataCursor>(database);
    cursor->SetTableName(DatabaseName.empty() || DatabaseName == database->Directory ||
                                 DatabaseName == database->DatabaseName
                             ? TableName
                             : DatabaseName + "\\" + TableName);
    cursor->SetReadOnly(!requestLive);
    cursor->SetExclusive(false);
    cursor->SetInMemory(InMemory);
    cursor->SetQuerySource(true);
    // The statement is asked for an encrypted table's password during the open only.
    TQueryStatement* statement = Query->Statement;
    cursor->SetPasswordCallback([statement](dbengine::TDataCursor&) { return statement->AskPassword(); });
    try {
        cursor->OpenCursor();
    } catch (...) {
        cursor->SetPasswordCallback({});
        throw;
    }
    cursor->SetPasswordCallback({});
    Database = database;
    Cursor = cursor.release();
    RecordSize = 0;
    RecordBuffer.reset();
}

void TSourceTable::Close() {
    if (Cursor == nullptr) return;
    for (auto& join : Joins) join->Reset();
    DropKeyRange();
    std::unique_ptr<dbengine::TDataCursor> cursor(Cursor);
    Cursor = nullptr;
    RecordBuffer.reset();
    RecordSize = 0;
    cursor->CloseCursor(true);
}

uint16_t TSourceTable::FieldNumber(const std::string& name) const {
    return Cursor == nullptr ? 0 : Cursor->GetTableFieldNumber(name);
}

void TSourceTable::AllocRecordBuffer() {
    RecordSize = Cursor->GetRecordSize();
    RecordBuffer = std::make_unique<uint8_t[]>(RecordSize + 1u);
}

void TSourceTable::First() {
    if (!RecordBuffer) AllocRecordBuffer();
    if (KeySeek) {
        if (!StepToSeekValue()) {
            AheadValid = false;
            AtEnd = !Cursor->FindKey(false, SeekRecord.data(), 1, false, 0, RecordBuffer.get()) ||
                    !HoldsSeekValue();
        }
        if (AtEnd)
            std::fill_n(RecordBuffer.get(), RecordSize, uint8_t{0});
        else
            ++RowsRead;
        return;
    }
    Cursor->SetToBegin();
    Next();
}

void TSourceTable::Next() {
    if (!RecordBuffer) AllocRecordBuffer();
    const dbengine::TEngineErrorCode code = Cursor->GetNextRecord(RecordBuffer.get());
    AtEnd = code != 0 || (KeySeek && !HoldsSeekValue());
    if (KeySeek) {
        AheadValid = false;
        if (code == 0 && AtEnd) KeepAhead();
    }
    if (!AtEnd) ++RowsRead;
    if (AtEnd) std::fill_n(RecordBuffer.get(), RecordSize, uint8_t{0});
    if (code != 0 && code != dbengine::DBE_EOF) Cursor->CheckError(code, {});
}

namespace {

// A value of an integer, date or time field as a number (the order of its index keys).
int64_t KeyNumber(uint8_t type, const uint8_t* bytes) {
    switch (type) {
        case dbengine::fldSmallInt:
            return dbengine::GetInt16(bytes);
        case dbengine::fldWord:
            return static_cast<uint16_t>(dbengine::GetInt16(bytes));
        case dbengine::fldLargeInt:
            return static_cast<int64_t>(dbengine::GetUInt64(bytes));
        default:
            return dbengine::GetInt32(bytes);
    }
}

}  // namespace

bool TSourceTable::SeekFieldValue(int64_t& value) const {
    uint8_t bytes[16] = {};
    bool blank = false;
    Cursor->GetFieldValue(SeekDesc, RecordBuffer.get(), bytes, blank);
    if (!blank) value = KeyNumber(SeekDesc.FieldType, bytes);
    return !blank;
}

void TSourceTable::KeepAhead() {
    AheadValid = SeekAscending && SeekFieldValue(AheadKey);
    if (AheadValid) AheadRecord.assign(RecordBuffer.get(), RecordBuffer.get() + RecordSize);
}

bool TSourceTable::StepToSeekValue() {
    if (!AheadValid || SeekValue.size() < 2) return false;
    const int64_t wanted = KeyNumber(SeekDesc.FieldType, SeekValue.data());
    if (wanted < AheadKey) return false;
    AheadValid = false;
    std::copy(AheadRecord.begin(), AheadRecord.end(), RecordBuffer.get());
    int64_t key = AheadKey;
    for (int step = 0;; ++step) {
        if (key == wanted) {
            AtEnd = false;
            return true;
        }
        if (key > wanted) {
            // No run of the value: the record read stays ahead for the next seek.
            AtEnd = true;
            KeepAhead();
            return true;
        }
        if (step == MaxSeekSteps) return false;
        const dbengine::TEngineErrorCode code = Cursor->GetNextRecord(RecordBuffer.get());
        if (code == dbengine::DBE_EOF) {
            AtEnd = true;
            return true;
        }
        if (code != 0) Cursor->CheckError(code, {});
        if (!SeekFieldValue(key)) return false;
    }
}

bool TSourceTable::HoldsSeekValue() {
    std::vector<uint8_t> value(SeekValue.size(), 0);
    bool blank = false;
    Cursor->GetTableField(SeekField, RecordBuffer.get(), value.data(), blank);
    return !blank && value == SeekValue;
}

bool TSourceTable::MatchJoins() {
    for (auto& join : Joins)
        if (!join->Match()) return false;
    return true;
}

bool TSourceTable::MatchFromCurrent() {
    if (AtEnd) {
        for (auto& join : Joins) join->Match();
        return false;
    }
    for (;;) {
        if (MatchJoins()) return true;
        Next();
        if (AtEnd) return false;
    }
}

bool TSourceTable::FirstMatch(uint8_t kind) {
    First();
    if (AtEnd && kind != 2) return false;
    return MatchFromCurrent();
}

bool TSourceTable::NextMatch() {
    if (Joins.empty()) {
        Next();
        return !AtEnd;
    }
    if (AdvanceJoins(static_cast<int>(Joins.size()) - 1)) return true;
    Next();
    return !AtEnd && MatchFromCurrent();
}

bool TSourceTable::AdvanceJoins(int index) {
    if (index < 0) return false;
    TTableJoin& join = *Joins[static_cast<size_t>(index)];
    if (!join.JoinedTable->AtEnd && join.JoinedTable->NextMatch()) return true;
    if (!AdvanceJoins(index - 1)) return false;
    return join.FirstInner();
}

void TSourceTable::SetNoPartner() {
    if (!RecordBuffer) AllocRecordBuffer();
    AtEnd = true;
    std::fill_n(RecordBuffer.get(), RecordSize, uint8_t{0});
    for (auto& join : Joins) join->Match();
}

void TSourceTable::UseKeyIndex(uint8_t indexNo) {
    if (!KeyRangeSet) IndexBeforeKeyRange = Cursor->GetCurrentIndexNumber();
    KeyRangeSet = true;
    Cursor->SetIndexNumber(indexNo);
}

void TSourceTable::DropKeyRange() {
    if (!KeyRangeSet || Cursor == nullptr) return;
    KeyRangeSet = false;
    Cursor->ResetRange();
    Cursor->SetIndexNumber(IndexBeforeKeyRange);
}

bool TSourceTable::ContinueMatch() {
    Next();
    return MatchFromCurrent();
}

void TSourceTable::AddJoinCondition(uint8_t kind, dbengine::TExpToken* condition, TSourceTable* inner,
                                    uint8_t op) {
    for (auto& join : Joins)
        if (join->JoinedTable == inner && (join->JoinKind == kind || join->JoinKind == 0)) {
            join->AddCondition(kind, condition, op);
            return;
        }
    Joins.push_back(std::make_unique<TTableJoin>(this, kind, inner, condition));
}

void TSourceTable::SetJoinLevels() {
    for (auto& join : Joins)
        if (join->JoinKind != 0) {
            join->JoinedTable->JoinLevel = static_cast<uint16_t>(JoinLevel + 1);
            join->JoinedTable->SetJoinLevels();
        }
}

bool TSourceTable::HasJoinTo(const TSourceTable* table) const {
    return std::any_of(Joins.begin(), Joins.end(),
                       [table](const auto& j) { return j->JoinKind != 0 && j->JoinedTable == table; });
}

namespace {

const char* const DataExtension = ".DAT";

bool ServerSideSession(const dbengine::TDataDirectory* database) {
    return database != nullptr && database->Session != nullptr && database->Session->ServerSide;
}

}  // namespace

void TSourceTable::SetTableName(const std::string& name) {
    if (IsOpen()) return;
    std::string text = name;
    std::replace(text.begin(), text.end(), '/', '\\');
    if (text == TableName) return;
    const dbengine::TDataDirectory* statementDatabase =
        Query != nullptr && Query->Statement != nullptr ? Query->Statement->Database : nullptr;
    if (InMemory) {
        TableName = dbengine::ExtractTableName(text, DataExtension);
        DatabaseName = "Memory";
    } else if (dbengine::HasPathChars(text)) {
        const size_t lastDelimiter = text.find_last_of("\\:");
        const size_t nameStart = lastDelimiter == std::string::npos ? 0 : lastDelimiter + 1;
        TableName = dbengine::ExtractTableName(text, DataExtension);
        DatabaseName = dbengine::RemoveTrailingBackslashes(text.substr(0, nameStart));
        if (ServerSideSession(statementDatabase))
            DatabaseName = dbengine::DropLeadingBackslashes(DatabaseName);
    } else {
        TableName = dbengine::ExtractTableName(text, DataExtension);
        if (statementDatabase == nullptr)
            DatabaseName.clear();
        else if (ServerSideSession(statementDatabase))
            DatabaseName = statementDatabase->DatabaseName;
        else
            DatabaseName = statementDatabase->Directory;
    }
    if (CorrelationName.empty()) CorrelationName = TableName;
}

void TSourceTable::SetCorrelationName(const std::string& name) {
    if (IsOpen() || name == CorrelationName) return;
    CorrelationName = name;
}

bool SourceTableByNumber(const TSourceTable* a, const TSourceTable* b) {
    return a->TableNumber < b->TableNumber;
}

bool SourceTableByLevel(const TSourceTable* a, const TSourceTable* b) {
    return a->JoinLevel < b->JoinLevel;
}

}  // namespace dbsql
