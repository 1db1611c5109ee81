// Join planning: which conditions join two tables, which stay on one table, which are tested
// per joined row, and the order in which the tables are walked.

#include <algorithm>
#include <cstring>
#include <string_view>

#include "dbengine/cursor/CursorFilters.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/expr/ExpEvaluate.h"
#include "dbengine/expr/ExpPrepare.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/index/IndexFormat.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/EngineUtils.h"
#include "dbsql/sql/DataQuery.h"
#include "dbsql/sql/QueryStatement.h"
#include "framework/core/SysUtils.h"

namespace dbsql {

using dbengine::TExpToken;

namespace {

[[noreturn]] void PlanError(const std::string& message) {
    dbengine::RaiseEngineError(dbengine::DBE_SQLPARSE, {}, {}, {}, {}, {}, {}, message);
}

bool IsBoolean(const TExpToken* t) {
    return t->Kind == dbengine::tkBinary && (t->Code == dbengine::ecAnd || t->Code == dbengine::ecOr);
}

bool IsComparison(const TExpToken* t) {
    return t != nullptr && t->Kind == dbengine::tkBinary && t->Code >= dbengine::ecEqual &&
           t->Code <= dbengine::ecLessOrEqual;
}

void SetParents(TExpToken* t, TExpToken* parent) {
    if (t == nullptr) return;
    t->Parent = parent;
    SetParents(t->Left, t);
    SetParents(t->Right, t);
    SetParents(t->Third, t);
    for (TExpToken* a : t->Arguments) SetParents(a, t);
}

// The operator by which a subtree taken from the tree joins what was taken before it.
uint8_t ParentOperator(const TExpToken* t) {
    return t->Parent != nullptr && IsBoolean(t->Parent) ? t->Parent->Code : 0;
}

void AttachColumns(TExpToken* t, TSourceTable* table) {
    if (t == nullptr) return;
    if (t->Kind == dbengine::tkColumn) t->Table = table;
    AttachColumns(t->Left, table);
    AttachColumns(t->Right, table);
    for (TExpToken* a : t->Arguments) AttachColumns(a, table);
}

bool SameName(const std::string& a, const std::string& b) {
    return framework::AnsiSameText(a, b);
}

template <typename Test>
bool AnyNode(const TExpToken* t, Test test) {
    if (t == nullptr) return false;
    if (test(t)) return true;
    if (AnyNode(t->Left, test) || AnyNode(t->Right, test) || AnyNode(t->Third, test)) return true;
    for (const TExpToken* a : t->Arguments)
        if (AnyNode(a, test)) return true;
    return false;
}

void AppendResidual(TExpToken*& residual, bool& flag, TExpToken* tree, uint8_t op) {
    flag = true;
    residual = CombineConditions(residual, tree, op);
}

}  // namespace

TSourceTable* TDataQuery::FindSourceTable(const std::string& correlationName) const {
    if (SourceTables.empty()) return nullptr;
    if (correlationName.empty()) return SourceTables.front().get();
    for (const auto& table : SourceTables)
        if (SameName(table->CorrelationName, correlationName)) return table.get();
    return nullptr;
}

TSourceTable* TDataQuery::ResolveColumnTable(const std::string& tableName, const std::string& columnName,
                                             uint16_t& fieldNumber) const {
    fieldNumber = 0;
    const bool allColumns = columnName.empty() || columnName == "*";
    if (!tableName.empty()) {
        TSourceTable* table = FindSourceTable(tableName);
        if (table == nullptr || allColumns) return table;
        fieldNumber = table->FieldNumber(columnName);
        return fieldNumber != 0 ? table : nullptr;
    }
    if (allColumns) return SourceTables.empty() ? nullptr : SourceTables.front().get();
    for (const auto& table : SourceTables) {
        fieldNumber = table->FieldNumber(columnName);
        if (fieldNumber != 0) return table.get();
    }
    return nullptr;
}

bool TDataQuery::TablesOfExpression(TExpToken* tree, std::string& correlationName) {
    correlationName.clear();
    if (tree == nullptr) return false;
    if (tree->Kind == dbengine::tkColumn) {
        if (!tree->TableName.empty() && FindSourceTable(tree->TableName) == nullptr)
            PlanError("Table correlation name '" + tree->TableName +
                      "' referenced in WHERE clause is not defined in the FROM clause");
        uint16_t field = 0;
        TSourceTable* table = ResolveColumnTable(tree->TableName, tree->ColumnName, field);
        if (table != nullptr) {
            tree->Table = table;
            tree->FieldNo = field;
            tree->TableName = table->CorrelationName;
            correlationName = table->CorrelationName;
        }
        return false;
    }
    if (tree->Kind == dbengine::tkSubSelect || tree->Kind == dbengine::tkConstant) return false;
    std::vector<TExpToken*> operands{tree->Left, tree->Right, tree->Third};
    operands.insert(operands.end(), tree->Arguments.begin(), tree->Arguments.end());
    for (TExpToken* operand : operands) {
        std::string name;
        if (TablesOfExpression(operand, name)) return true;
        if (name.empty()) continue;
        if (correlationName.empty())
            correlationName = name;
        else if (!SameName(correlationName, name))
            return true;
    }
    return false;
}

namespace {

template <typename Test>
bool AnyComparison(TExpToken* t, Test test) {
    if (t == nullptr) return false;
    if (t->Kind == dbengine::tkUnary && t->Code == dbengine::ecNot) return AnyComparison(t->Left, test);
    if (IsBoolean(t)) return AnyComparison(t->Left, test) || AnyComparison(t->Right, test);
    return IsComparison(t) && test(t);
}

}  // namespace

bool TDataQuery::HasJoinComparison(TExpToken* tree) {
    return AnyComparison(tree, [this](TExpToken* t) {
        std::string name;
        return dbengine::ExpTreeHasColumn(t->Left) && dbengine::ExpTreeHasColumn(t->Right) &&
               TablesOfExpression(t, name);
    });
}

bool TDataQuery::HasOuterJoinComparison(TExpToken* tree) {
    return AnyComparison(tree, [this](TExpToken* t) {
        std::string name;
        return (t->JoinRole == 2 || t->JoinRole == 3) && dbengine::ExpTreeHasColumn(t->Left) &&
               dbengine::ExpTreeHasColumn(t->Right) && TablesOfExpression(t, name);
    });
}

void TDataQuery::OpenSourceTables() {
    for (auto& table : SourceTables) table->Open(RequestLive);
}

void TDataQuery::CloseSourceTables() {
    ResetJoinState();
    for (auto& table : SourceTables) table->Close();
}

void TDataQuery::ChainSourceTables() {
    for (size_t i = 0; i + 1 < SourceTables.size(); ++i)
        SourceTables[i]->Joins.push_back(
            std::make_unique<TTableJoin>(SourceTables[i].get(), 0, SourceTables[i + 1].get(), nullptr));
}

void TDataQuery::AddJoinResidual(TExpToken* tree, uint8_t op) {
    AppendResidual(JoinResidualCondition, HasJoinResidual, tree, op);
}

void TDataQuery::AddTableResidual(TExpToken* tree, uint8_t op) {
    AppendResidual(TableResidualCondition, HasTableResidual, tree, op);
}

void TDataQuery::ExtractJoinConditions() {
    SetParents(WhereCondition, nullptr);
    ExtractNode(WhereCondition);
    AttachOuterOnlyConditions();
    if (WhereCondition == nullptr) HasWhere = false;
}

bool TDataQuery::TakeOuterOnlyCondition(TExpToken*& slot) {
    TExpToken* node = slot;
    const uint8_t clause = node->JoinChecked;
    if (clause == 0 || clause >= 255 || clause > OnClauses.size()) return false;
    const TOnClause& on = OnClauses[clause - 1];
    if (on.Kind != 2 && on.Kind != 3) return false;
    // Only a whole conjunct of the ON condition.
    if (node->Parent != nullptr && ParentOperator(node) != dbengine::ecAnd) return false;
    std::string name;
    if (TablesOfExpression(node, name) ||
        AnyNode(node, [](const TExpToken* t) { return t->Kind == dbengine::tkSubSelect; }))
        return false;
    const TSourceTable* table = name.empty() ? nullptr : FindSourceTable(name);
    // A left join's clause joins its inner table, a right join's its outer one.
    const bool outerOnly = on.Kind == 2 ? table != on.Table : table == nullptr || table == on.Table;
    if (!outerOnly) return false;
    slot = nullptr;
    node->Parent = nullptr;
    FOuterOnlyConditions.push_back({clause, node, name});
    return true;
}

void TDataQuery::AttachOuterOnlyConditions() {
    for (TOuterOnlyCondition& item : FOuterOnlyConditions) {
        // The outer join made from a comparison of the same clause, whose owner is the one table
        // the condition reads (or any, for a condition of constants).
        TTableJoin* target = nullptr;
        for (auto& table : SourceTables)
            for (auto& join : table->Joins)
                if (target == nullptr && join->JoinKind == 2 &&
                    AnyNode(join->Condition,
                            [&](const TExpToken* t) { return t->JoinChecked == item.Clause; }) &&
                    (item.CorrelationName.empty() || SameName(table->CorrelationName, item.CorrelationName)))
                    target = join.get();
        if (target != nullptr) {
            target->AddOuterCondition(item.Tree);
        } else {
            // No such join: the condition stays where the statement put it.
            WhereCondition = CombineConditions(WhereCondition, item.Tree, 0);
            HasWhere = true;
        }
        item.Tree = nullptr;
    }
    FOuterOnlyConditions.clear();
}

void TDataQuery::ExtractNode(TExpToken*& slot) {
    TExpToken* node = slot;
    if (node == nullptr) return;
    if (TakeOuterOnlyCondition(slot)) return;
    std::string name;
    auto toResidual = [&] {
        const uint8_t op = ParentOperator(node);
        slot = nullptr;
        AddJoinResidual(node, op);
    };
    if (node->Kind == dbengine::tkUnary) {
        if (TablesOfExpression(node, name)) {
            // A negation over several tables is tested whole per joined row: taking a part of its
            // operand out as a join would drop the negation. Only a double negation is looked
            // through, its operand analysed in its place.
            const bool doubleNot = node->Code == dbengine::ecNot && node->Left != nullptr &&
                                   node->Left->Kind == dbengine::tkUnary &&
                                   node->Left->Code == dbengine::ecNot;
            if (doubleNot) {
                TExpToken* inner = node->Left;
                ExtractNode(inner->Left);
                if (inner->Left == nullptr) {
                    dbengine::ReleaseExpToken(inner);
                    node->Left = nullptr;
                    dbengine::ReleaseExpToken(node);
                    slot = nullptr;
                }
                return;
            }
            if (!HasOuterJoinComparison(node)) {
                toResidual();
                return;
            }
        }
        ExtractNode(node->Left);
        if (node->Left == nullptr) {
            dbengine::ReleaseExpToken(node);
            slot = nullptr;
        }
        return;
    }
    if (IsBoolean(node)) {
        if (TablesOfExpression(node, name) && !HasOuterJoinComparison(node) &&
            dbengine::ExpTreeIsDisjunction(node)) {
            toResidual();
            return;
        }
        ExtractNode(node->Left);
        ExtractNode(node->Right);
        if (node->Left != nullptr && node->Right != nullptr) return;
        TExpToken* rest = node->Left != nullptr ? node->Left : node->Right;
        if (rest != nullptr) rest->Parent = node->Parent;
        node->Left = node->Right = nullptr;
        dbengine::ReleaseExpToken(node);
        slot = rest;
        return;
    }
    if (IsComparison(node)) {
        const bool leftColumns = dbengine::ExpTreeHasColumn(node->Left);
        const bool rightColumns = dbengine::ExpTreeHasColumn(node->Right);
        if (leftColumns && rightColumns && HasJoins) {
            std::string leftName, rightName;
            if (TablesOfExpression(node->Left, leftName) || TablesOfExpression(node->Right, rightName))
                PlanError(
                    "The join condition cannot contain multiple table correlation names in either the left "
                    "or "
                    "right operand in WHERE or JOIN clause");
            if (SameName(leftName, rightName)) return;
            TSourceTable* left = leftName.empty() ? nullptr : FindSourceTable(leftName);
            TSourceTable* right = rightName.empty() ? nullptr : FindSourceTable(rightName);
            if (left == nullptr || right == nullptr)
                PlanError(
                    "Internal join error attempting to validate table correlation names involved in join");
            slot = nullptr;
            ApplyLevelRule(node, left, right);
        } else if (!leftColumns && rightColumns) {
            MirrorComparison(node);
        }
        return;
    }
    if ((node->Kind == dbengine::tkFunction || node->Kind == dbengine::tkPredicate ||
         node->Kind == dbengine::tkStringCompare) &&
        TablesOfExpression(node, name))
        toResidual();
}

void TDataQuery::ApplyLevelRule(TExpToken* comparison, TSourceTable* left, TSourceTable* right) {
    uint8_t mark = comparison->JoinRole;
    if (mark == 0) mark = 1;
    if (mark == 3) mark = 2;
    comparison->JoinRole = mark;
    auto raise = [](TSourceTable* table, int level) {
        table->JoinLevel = static_cast<uint16_t>(level);
        table->SetJoinLevels();
    };
    bool swap = false;
    if (left->HasJoinTo(right)) {
        if (right->JoinLevel < left->JoinLevel) raise(right, left->JoinLevel + 1);
    } else if (right->HasJoinTo(left)) {
        if (left->JoinLevel < right->JoinLevel) raise(left, right->JoinLevel + 1);
        swap = true;
    } else if (right->JoinLevel < left->JoinLevel) {
        if (mark == 1 && IsJoinTarget(left, nullptr))
            raise(right, left->JoinLevel + 1);
        else
            swap = true;
    } else if (IsJoinTarget(right, nullptr) && mark == 1 && !IsJoinTarget(left, nullptr)) {
        raise(left, right->JoinLevel + 1);
        swap = true;
    }
    if (swap) {
        MirrorComparison(comparison);
        std::swap(left, right);
    }
    const uint8_t op = ParentOperator(comparison);
    comparison->Parent = nullptr;
    left->AddJoinCondition(mark, comparison, right, op);
}

void TDataQuery::SortSourceTablesByLevel() {
    std::stable_sort(SourceTables.begin(), SourceTables.end(),
                     [](const auto& a, const auto& b) { return SourceTableByLevel(a.get(), b.get()); });
    for (size_t i = 0; i < SourceTables.size(); ++i)
        SourceTables[i]->JoinLevel = static_cast<uint16_t>(i + 1);
}

void TDataQuery::CheckJoinTargets() {
    for (auto& table : SourceTables) {
        auto& joins = table->Joins;
        for (size_t i = joins.size(); i-- > 0;) {
            TTableJoin* join = joins[i].get();
            if (IsJoinTarget(join->JoinedTable, join)) {
                if (join->JoinKind != 0)
                    PlanError("Internal join error - table correlation name \"" +
                              join->JoinedTable->CorrelationName +
                              "\" is target of multiple join conditions in WHERE or JOIN clause");
                joins.erase(joins.begin() + static_cast<std::ptrdiff_t>(i));
            } else if (join->JoinKind == 0 && join->JoinedTable->JoinLevel == 1) {
                joins.erase(joins.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }
}

bool TDataQuery::IsJoinTarget(const TSourceTable* table, const TTableJoin* exceptJoin) const {
    for (const auto& source : SourceTables)
        for (const auto& join : source->Joins)
            if (join.get() != exceptJoin && join->JoinKind != 0 && join->JoinedTable == table) return true;
    return false;
}

bool TDataQuery::IsInnerJoinTarget(const TSourceTable* table) const {
    return InnerJoinSource(table) != nullptr;
}

bool TDataQuery::IsOuterJoinTarget(const TSourceTable* table) const {
    for (const auto& source : SourceTables)
        for (const auto& join : source->Joins)
            if (join->JoinKind == 2 && join->JoinedTable == table) return true;
    return false;
}

TSourceTable* TDataQuery::InnerJoinSource(const TSourceTable* table) const {
    for (const auto& source : SourceTables)
        for (const auto& join : source->Joins)
            if (join->JoinKind == 1 && join->JoinedTable == table) return source.get();
    return nullptr;
}

TSourceTable* TDataQuery::InnerJoinRoot(const TSourceTable* table) const {
    TSourceTable* root = nullptr;
    for (TSourceTable* source = InnerJoinSource(table); source != nullptr && source != table;
         source = InnerJoinSource(source))
        root = source;
    return root;
}

void TDataQuery::PrepareJoins() {
    OpenSourceTables();
    for (size_t i = 0; i < SourceTables.size(); ++i)
        SourceTables[i]->JoinLevel = static_cast<uint16_t>(i + 1);
    ChainSourceTables();
    if (HasWhere) ExtractJoinConditions();
    SortSourceTablesByLevel();
    CheckJoinTargets();
    DrivingTable = SourceTables.empty() ? nullptr : SourceTables.front().get();
    std::string name;
    TablesOfExpression(WhereCondition, name);  // an undefined correlation name is named as such
    CheckConditions();
}

void TDataQuery::CheckConditions() {
    if (WhereCondition != nullptr) CheckCondition(WhereCondition);
    if (JoinResidualCondition != nullptr) CheckCondition(JoinResidualCondition);
    for (auto& table : SourceTables)
        for (auto& join : table->Joins)
            if (join->JoinKind != 0) {
                CheckCondition(join->Condition);
                if (join->OuterCondition != nullptr) CheckCondition(join->OuterCondition);
            }
}

void TDataQuery::ResetJoinState() {
    if (DrivingTable != nullptr) DrivingTable->DropKeyRange();
    for (auto& [cursor, filter] : FTableFilters) cursor->DropFilter(filter);
    FTableFilters.clear();
    TableFilter = nullptr;
    if (SubSelectFilter != nullptr && FResultCursor != nullptr)
        FResultCursor->DropFilter(static_cast<dbengine::TFilter*>(SubSelectFilter));
    SubSelectFilter = nullptr;
    for (auto& table : SourceTables)
        for (auto& join : table->Joins) join->Reset();
    dbengine::FreeExpTree(TableResidualCondition);
    HasTableResidual = false;
}

void TDataQuery::PlaceConditions() {
    ResetJoinState();
    if (!LiveResult) {
        if (HasWhere) PlaceWhereConditions(1);
        if (HasJoins) ReorderJoins();
    }
    if (HasWhere) PlaceWhereConditions(2);
    if (!LiveResult && HasWhere) RangeDrivingTable();
    for (auto& table : SourceTables) table->AllocRecordBuffer();
}

namespace {

// A conjunct the driving table's key range can come from: column = value, or column LIKE 'text%'
// (prefix true). The column is the node's, the value node is returned.
const TExpToken* RangeOperand(const TExpToken* t, const TSourceTable* table, const TExpToken*& column,
                              bool& prefix) {
    prefix = false;
    const TExpToken* value = nullptr;
    if (t->JoinChecked != 0) return nullptr;  // from a join's ON clause
    if (t->Kind == dbengine::tkBinary && t->Code == dbengine::ecEqual) {
        column = t->Left;
        value = t->Right;
    } else if (t->Kind == dbengine::tkPredicate && t->Code == dbengine::ecLike && t->Arguments.size() == 2) {
        column = t->Arguments[0];
        value = t->Arguments[1];
        prefix = true;
    } else {
        return nullptr;
    }
    if (column == nullptr || value == nullptr || column->Kind != dbengine::tkColumn ||
        column->Table != table || column->FieldNo == 0 || dbengine::ExpTreeHasColumn(value) ||
        AnyNode(value, [](const TExpToken* n) { return n->Kind == dbengine::tkSubSelect; }))
        return nullptr;
    return value;
}

}  // namespace

bool TDataQuery::FiltersTable(const dbengine::TDataCursor* cursor) const {
    return std::any_of(FTableFilters.begin(), FTableFilters.end(),
                       [cursor](const auto& placed) { return placed.first == cursor; });
}

void TDataQuery::RangeDrivingTable() {
    CollectRowsFirst = false;
    TSourceTable* table = DrivingTable;
    if (table == nullptr || table->Cursor == nullptr || WhereCondition == nullptr) return;
    // Which rows a row limit keeps depends on the order they are read in.
    if (TopCount != -1 || MaxRowCount >= 0 || IsOuterJoinTarget(table)) return;
    dbengine::TDataCursor& cursor = *table->Cursor;
    std::vector<const TExpToken*> conjuncts, pending{WhereCondition};
    while (!pending.empty()) {
        const TExpToken* t = pending.back();
        pending.pop_back();
        if (t->Kind == dbengine::tkBinary && t->Code == dbengine::ecAnd) {
            pending.push_back(t->Right);
            pending.push_back(t->Left);
        } else {
            conjuncts.push_back(t);
        }
    }
    // A DELETE, and an UPDATE that changes the keys of the index it walks, find their rows
    // first and change them after.
    auto updatesIndex = [&](uint8_t indexNo) {
        if (Kind != skUpdate) return false;
        const auto keys = cursor.GetIndexFieldNumbers(indexNo);
        const int count = cursor.GetIndexDesc(indexNo).FieldCount;
        for (const auto& update : UpdateFields)
            for (int k = 0; k < count; ++k)
                if (update->FieldNumber == static_cast<int16_t>(keys[static_cast<size_t>(k)])) return true;
        return false;
    };
    for (const TExpToken* t : conjuncts) {
        const TExpToken* column = nullptr;
        bool prefix = false;
        const TExpToken* operand = RangeOperand(t, table, column, prefix);
        if (operand == nullptr) continue;
        const auto field = static_cast<uint16_t>(column->FieldNo);
        dbengine::TFieldDescriptor desc;
        cursor.GetTableFieldDesc(field, desc);
        const bool text = desc.FieldType == dbengine::fldString;
        if (!(text || IsKeyRangeType(desc.FieldType)) || desc.Calculated != 0 || (prefix && !text)) continue;
        // Texts: the keys of a case-insensitive index of language 0 hold every spelling of a
        // value together, so the range holds whatever the comparison or pattern accepts.
        if (text && cursor.GetLanguageId() != 0) continue;
        dbengine::TExpTreeHolder value(
            dbengine::FoldConstantOperand(column, operand, SourceValues(), LanguageId, SortId));
        if (value->IsNull || value->DataType != desc.FieldType) continue;
        std::string textValue;
        if (text) {
            textValue.assign(reinterpret_cast<const char*>(value->Data.get()),
                             strnlen(reinterpret_cast<const char*>(value->Data.get()),
                                     static_cast<size_t>(std::max(value->DataSize, 0))));
            if (prefix) {
                // Only a pattern of a fixed text and a trailing run of "%".
                const size_t cut = textValue.find_last_not_of('%');
                if (cut == std::string::npos || cut + 1 == textValue.size()) continue;
                textValue.resize(cut + 1);
                if (textValue.find_first_of("%_") != std::string::npos) continue;
            } else if (textValue.find('*') != std::string::npos) {
                continue;  // a partial comparison
            }
            if (textValue.empty() || textValue.back() == ' ' || textValue.size() > desc.Size) continue;
        } else if (value->DataSize < desc.ValueSize) {
            continue;
        }
        const int indexCount = cursor.GetSecondaryIndexCount();
        for (int n = 0; n <= indexCount; ++n) {
            if (n == 0 && cursor.HasInternalPrimaryIndex()) continue;
            const auto indexNo = static_cast<uint8_t>(n);
            const dbengine::TIndexDescriptor index = cursor.GetIndexDesc(indexNo);
            if (index.FieldCount == 0 || cursor.GetIndexFieldNumbers(indexNo)[0] != field) continue;
            if (OrderBySatisfied && indexNo != ResultIndex) continue;  // the index gives the order
            if (index.Descending != 0 || index.FieldDescending[0] != 0) continue;
            if (text && index.CaseInsensitive == 0) continue;
            if (Kind == skDelete || updatesIndex(indexNo)) {
                if (TargetTable != table) continue;
                CollectRowsFirst = true;
            }
            table->UseKeyIndex(indexNo);
            std::vector<uint8_t> record(cursor.GetRecordSize() + 1u, 0);
            cursor.InitRecord(record.data());
            std::vector<uint8_t> bytes(std::max<size_t>(desc.ValueSize, textValue.size()) + 1u, 0);
            if (text)
                std::memcpy(bytes.data(), textValue.data(), textValue.size());
            else
                std::memcpy(bytes.data(), value->Data.get(), desc.ValueSize);
            cursor.PutTableField(field, record.data(), bytes.data(), false);
            if (!prefix) {
                cursor.SetRange(false, record.data(), 1, record.data(), 1);
                return;
            }
            // The first key field is a flag byte and the characters: the keys that start with the
            // prefix's lie between it filled with the lowest and with the highest bytes.
            std::vector<uint8_t> low(dbengine::MaxKeyFieldPart, 0), high;
            cursor.BuildKey(record.data(), low.data());
            high = low;
            const int length = static_cast<int>(textValue.size()) + 1;
            cursor.FillKeyLow(low.data(), length);
            cursor.FillKeyHigh(high.data(), length);
            cursor.SetRange(true, low.data(), 0, high.data(), 0);
            return;
        }
    }
}

void TDataQuery::PlaceWhereConditions(int pass) {
    SplitWhereConditions(pass, WhereCondition);
}

TSourceTable* TDataQuery::TableOrFirst(const std::string& correlationName) {
    TSourceTable* table = FindSourceTable(correlationName);
    if (table == nullptr)
        PlanError("Table correlation name '" + correlationName +
                  "' referenced in WHERE clause is not defined in the FROM clause");
    return table;
}

void TDataQuery::SplitWhereConditions(int pass, TExpToken* node) {
    if (node == nullptr) return;
    std::string name;
    if (node->Kind == dbengine::tkUnary) {
        if (!TablesOfExpression(node, name) && !HasJoinComparison(node))
            PlaceTableCondition(pass, node, TableOrFirst(name));
        else
            SplitWhereConditions(pass, node->Left);
        return;
    }
    if (IsBoolean(node)) {
        std::string leftName, rightName;
        const bool leftMany = TablesOfExpression(node->Left, leftName);
        const bool rightMany = TablesOfExpression(node->Right, rightName);
        if (!leftMany && !rightMany && !HasJoinComparison(node->Left) && !HasJoinComparison(node->Right) &&
            (leftName.empty() || rightName.empty() || SameName(leftName, rightName))) {
            PlaceTableCondition(pass, node, TableOrFirst(leftName.empty() ? rightName : leftName));
        } else {
            SplitWhereConditions(pass, node->Left);
            SplitWhereConditions(pass, node->Right);
        }
        return;
    }
    if (IsComparison(node)) {
        std::string leftName, rightName;
        const bool leftColumns = dbengine::ExpTreeHasColumn(node->Left);
        const bool rightColumns = dbengine::ExpTreeHasColumn(node->Right);
        const bool leftMany = TablesOfExpression(node->Left, leftName);
        const bool rightMany = TablesOfExpression(node->Right, rightName);
        if (leftMany || rightMany || (leftColumns && rightColumns && !SameName(leftName, rightName)))
            PlanError("Internal table filter error");
        PlaceTableCondition(pass, node, TableOrFirst(leftName.empty() ? rightName : leftName));
        return;
    }
    // Predicates, functions, bare boolean columns and constants restrict their one table.
    if (TablesOfExpression(node, name)) PlanError("Internal table filter error");
    PlaceTableCondition(pass, node, TableOrFirst(name));
}

namespace {

// column LIKE 'pattern' over a text field of the table with a constant pattern, as a filter
// callback that matches the field's value in each record against the pattern, in place of the
// evaluation of the condition's tree per record; empty for any other condition. A NULL field
// does not match, as in the evaluator.
dbengine::TFilterCallback LikeFilterCallback(const TExpToken* node, dbengine::TDataCursor& cursor) {
    if (node->Kind != dbengine::tkPredicate || node->Code != dbengine::ecLike || node->Arguments.size() != 2)
        return {};
    const TExpToken* column = node->Arguments[0];
    const TExpToken* pattern = node->Arguments[1];
    if (column->Kind != dbengine::tkColumn || column->FieldNo == 0 || pattern->Kind != dbengine::tkConstant ||
        pattern->IsNull || pattern->DataType != dbengine::fldString)
        return {};
    dbengine::TFieldDescriptor desc;
    cursor.GetTableFieldDesc(static_cast<uint16_t>(column->FieldNo), desc);
    if (desc.FieldType != dbengine::fldString || desc.Calculated != 0) return {};
    return [desc, text = dbengine::ExpTextValue(pattern), language = cursor.GetLanguageId(),
            sort = cursor.GetSortId()](void*, dbengine::TDataCursor& c, const uint8_t* record, int32_t) {
        uint8_t value[dbengine::MaxFieldSize + 2] = {};
        bool blank = false;
        c.GetFieldValue(desc, record, value, blank);
        if (blank) return false;
        const auto* chars = reinterpret_cast<const char*>(value);
        return dbengine::MatchLike(language, sort, std::string_view(chars, strnlen(chars, sizeof value)),
                                   text);
    };
}

}  // namespace

bool TDataQuery::HasSubSelect(const TExpToken* node) {
    return AnyNode(node, [](const TExpToken* t) { return t->Kind == dbengine::tkSubSelect; });
}

void TDataQuery::PlaceTableCondition(int pass, TExpToken* node, TSourceTable* table) {
    dbengine::TExpTreeHolder copy(
        dbengine::PrepareExpTree(node, SourceValues(), LanguageId, SortId, false, false));
    DetachFilterColumns(copy.get());
    dbengine::TDataCursor* cursor = table->Cursor;
    auto addFilter = [&](dbengine::TFilterCallback callback = {}) {
        const bool byTree = !callback;
        dbengine::TFilter* filter =
            byTree ? cursor->AddFilter(this, {}, copy.get(), true, {}, false, false, false, false, false)
                   : cursor->AddFilter(this, {}, nullptr, false, std::move(callback), false, false, false,
                                       false, false);
        if (byTree) copy.release();
        FTableFilters.emplace_back(cursor, filter);
        cursor->ActivateFilter(filter);
        TableFilter = filter;
    };
    auto toResidual = [&] {
        AttachColumns(copy.get(), table);
        AddTableResidual(copy.release());
    };
    // A sub-select is run by this query's evaluator only: a condition holding one is tested
    // after the rows are joined, never by a table's filter.
    if (!LiveResult && HasSubSelect(node)) {
        if (pass == 2) toResidual();
        return;
    }
    if (LiveResult || CountStarOnly || node->JoinChecked != 0) {
        if (pass == 1 || LiveResult) addFilter();
        return;
    }
    const uint8_t level = cursor->GetConditionOptimizeLevel(copy.get(), false, false);
    if (level != 0) {
        if (pass != 1) return;
        if (IsOuterJoinTarget(table))
            toResidual();
        else
            addFilter();
        return;
    }
    if (pass != 2) return;
    // A SELECT reads its one table through the table's filter, as it reads the driving table of a
    // join: the engine tests the records in the file's order instead of this query row by row. A
    // statement that changes the table it reads tests each row itself.
    if ((!HasJoins && Kind != skSelect) || IsInnerJoinTarget(table) || IsOuterJoinTarget(table))
        toResidual();
    else
        addFilter(LikeFilterCallback(copy.get(), *cursor));
}

void TDataQuery::ReorderJoins() {
    if (NoJoinOptimize || DrivingTable == nullptr) return;
    TSourceTable* best = nullptr;
    int32_t bestCount = 0;
    const bool changes = Kind == skUpdate || Kind == skDelete;
    for (auto& table : SourceTables) {
        TSourceTable* source = InnerJoinSource(table.get());
        if (source == nullptr || IsOuterJoinTarget(source)) continue;
        if (changes && (table.get() == DrivingTable || InnerJoinRoot(table.get()) == DrivingTable)) continue;
        const int32_t count = table->Cursor->GetRecordCount();
        if (best == nullptr || count < bestCount) {
            best = table.get();
            bestCount = count;
        }
    }
    if (best == nullptr || bestCount >= DrivingTable->Cursor->GetRecordCount()) return;
    MakeDrivingTable(best);
    for (size_t i = 0; i < SourceTables.size(); ++i)
        SourceTables[i]->JoinLevel = static_cast<uint16_t>(i + 1);
    DrivingTable = SourceTables.front().get();
}

void TDataQuery::MakeDrivingTable(TSourceTable* table) {
    TSourceTable* source = InnerJoinSource(table);
    if (source == nullptr) return;
    MakeDrivingTable(source);
    auto& joins = source->Joins;
    auto found = std::find_if(joins.begin(), joins.end(),
                              [table](const auto& j) { return j->JoinKind == 1 && j->JoinedTable == table; });
    if (found == joins.end()) PlanError("Internal join optimization error");
    const bool severalJoins = joins.size() > 1;
    std::unique_ptr<TTableJoin> join = std::move(*found);
    joins.erase(found);
    join->Reset();
    join->Owner = table;
    join->JoinedTable = source;
    join->MirrorCondition();
    table->Joins.push_back(std::move(join));
    auto position = [this](const TSourceTable* t) {
        return std::find_if(SourceTables.begin(), SourceTables.end(),
                            [t](const auto& s) { return s.get() == t; });
    };
    auto tablePos = position(table);
    auto sourcePos = position(source);
    if (tablePos == SourceTables.end() || sourcePos == SourceTables.end())
        PlanError("Internal join optimization error");
    if (severalJoins) {
        const auto at = sourcePos - SourceTables.begin();
        std::unique_ptr<TSourceTable> moved = std::move(*tablePos);
        SourceTables.erase(tablePos);
        SourceTables.insert(SourceTables.begin() + at, std::move(moved));
    } else {
        std::iter_swap(tablePos, sourcePos);
    }
}

}  // namespace dbsql
