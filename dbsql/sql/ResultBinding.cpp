// Binding of a SELECT's select list and of its GROUP BY, ORDER BY, DISTINCT and HAVING clauses:
// "*" expanded, every column typed, named and tied to its source table, the clause items tied
// to result columns.

#include <algorithm>
#include <cstring>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/expr/ExpTypeCheck.h"
#include "dbengine/util/EngineError.h"
#include "dbsql/sql/DataQuery.h"
#include "dbsql/sql/QueryStatement.h"
#include "framework/core/SysUtils.h"

namespace dbsql {

using dbengine::TExpToken;

namespace {

[[noreturn]] void BindError(const std::string& message) {
    dbengine::RaiseEngineError(dbengine::DBE_SQLPARSE, {}, {}, {}, {}, {}, {}, message);
}

std::string LastChars(const std::string& text, size_t count) {
    return text.size() > count ? text.substr(text.size() - count) : text;
}

std::string InvalidColumnMessage(const std::string& column, const std::string& table,
                                 const std::string& where) {
    return "Invalid column name '" + column + "'" + " or table correlation name " + "'" + table + "'" +
           " specified in " + where;
}

bool IsBlobType(uint8_t type) {
    return type == dbengine::fldBlob;
}

// Two argument trees written alike: the select list's is bound already, so a column matches by
// name and by its table when both name one; constants by type and value.
bool SameArgument(const TExpToken* a, const TExpToken* b) {
    if (a == nullptr || b == nullptr) return a == b;
    if (a->Kind != b->Kind || a->Code != b->Code || a->Arguments.size() != b->Arguments.size()) return false;
    if (a->Kind == dbengine::tkColumn)
        return framework::AnsiSameText(a->ColumnName, b->ColumnName) &&
               (a->TableName.empty() || b->TableName.empty() ||
                framework::AnsiSameText(a->TableName, b->TableName));
    if (a->Kind == dbengine::tkConstant) return dbengine::SameExpTree(a, b);
    if (!SameArgument(a->Left, b->Left) || !SameArgument(a->Right, b->Right) ||
        !SameArgument(a->Third, b->Third))
        return false;
    for (size_t i = 0; i < a->Arguments.size(); ++i)
        if (!SameArgument(a->Arguments[i], b->Arguments[i])) return false;
    return true;
}

bool IsAggregateCode(uint8_t code) {
    return code == dbengine::ecSum || code == dbengine::ecRunSum || code == dbengine::ecMin ||
           code == dbengine::ecMax || code == dbengine::ecAvg || code == dbengine::ecCount;
}

}  // namespace

bool TResultColumns::ResolveColumn(TExpToken* node) {
    int16_t number = 0;
    TResultField* column = Query->FindResultColumn(true, node->ColumnName, node->TableName, number);
    if (column == nullptr) return false;
    BindResultColumn(node, *column);
    return true;
}

void TResultColumns::BindResultColumn(TExpToken* node, const TResultField& column) {
    node->Table = nullptr;
    node->FieldNo = static_cast<uint16_t>(column.ResultFieldNumber);
    node->DataType = column.ResultType;
    node->SubType = column.ResultSubType;
    node->DataSize = column.ResultSize;
    node->Scale = column.ResultScale;
}

bool TResultColumns::GetColumnValue(const uint8_t*, TExpToken* column) {
    dbengine::TDataCursor* cursor = Query->ResultCursor();
    if (cursor == nullptr || Record == nullptr) {
        dbengine::SetExpNull(column);
        return true;
    }
    dbengine::TFieldDescriptor desc;
    cursor->GetFieldDesc(column->FieldNo, desc);
    column->SetCapacity(std::max<int32_t>(desc.ValueSize + 1, 16));
    bool blank = false;
    cursor->GetField(column->FieldNo, Record, column->Data.get(), blank);
    if (blank) {
        dbengine::SetExpNull(column);
        return true;
    }
    column->IsNull = false;
    column->DataSize = desc.FieldType == dbengine::fldString
                           ? static_cast<int32_t>(
                                 strnlen(reinterpret_cast<const char*>(column->Data.get()), desc.ValueSize)) +
                                 1
                           : desc.ValueSize;
    return true;
}

std::string TDataQuery::MakeResultColumnName(const std::string& sourceName, const std::string& givenName,
                                             const TResultField* column, uint8_t aggregateKind) const {
    static const char* const prefixes[] = {"",        "Sum Of ",     "Running Sum Of ", "Min Of ",
                                           "Max Of ", "Average Of ", "Count Of "};
    static const char* const expressionNames[] = {"Expression",   "Sum Of Expr", "Running Sum Of Expr",
                                                  "Min Of Expr",  "Max Of Expr", "Average Of Expr",
                                                  "Count Of Expr"};
    const uint8_t kind = aggregateKind <= akCount ? aggregateKind : akNone;
    std::string base = LastChars(givenName, MaxResultNameLength);
    if (base.empty()) base = sourceName.empty() ? expressionNames[kind] : prefixes[kind] + sourceName;
    std::string candidate = base;
    for (int n = 1;; ++n) {
        const bool clash = std::any_of(ResultFields.begin(), ResultFields.end(), [&](const auto& other) {
            return other.get() != column && framework::AnsiSameText(other->ResultName, candidate);
        });
        if (!clash) return candidate;
        const std::string suffix = "_" + std::to_string(n);
        candidate = LastChars(base, MaxResultNameLength - suffix.size()) + suffix;
    }
}

void TDataQuery::ExpandTableColumns(TSourceTable* table, size_t& position) {
    dbengine::TDataCursor& cursor = *table->Cursor;
    for (uint16_t f = 1; f <= cursor.GetTableFieldCount(); ++f) {
        dbengine::TFieldDescriptor desc;
        cursor.GetTableFieldDesc(f, desc);
        auto column = std::make_unique<TResultField>(this);
        column->SourceTable = table;
        column->TableName = table->CorrelationName;
        column->ColumnName = column->SourceText = desc.Name;
        column->FieldNumber = static_cast<int16_t>(f);
        column->ResultFieldNumber = static_cast<int16_t>(position + 1);
        column->DataType = desc.FieldType;
        column->SubType = desc.SubType;
        column->Size = desc.ValueSize;
        column->Scale = desc.ValueDecimals;
        TExpToken* node = dbengine::NewExpToken();
        node->Kind = dbengine::tkColumn;
        node->ColumnName = desc.Name;
        node->TableName = table->CorrelationName;
        column->Expression = node;
        column->ResultName = MakeResultColumnName({}, desc.Name, column.get(), akNone);
        ResultFields.insert(ResultFields.begin() + static_cast<std::ptrdiff_t>(position), std::move(column));
        ++position;
    }
}

void TDataQuery::BindResultFields() {
    // Expansion of "*".
    for (size_t i = 0; i < ResultFields.size();) {
        TResultField& item = *ResultFields[i];
        if (item.ColumnName != "*" || item.AggregateKind != akNone) {
            ++i;
            continue;
        }
        if (!item.DefaultName)
            BindError("Invalid use of column correlation name '" + item.ResultName + "'" + " for " + "'" +
                      "*" + "'" + " specified in source columns");
        std::vector<TSourceTable*> tables;
        if (!item.TableName.empty()) {
            TSourceTable* table = FindSourceTable(item.TableName);
            if (table == nullptr) BindError(InvalidColumnMessage("*", item.TableName, "source columns"));
            tables.push_back(table);
        } else {
            for (auto& table : SourceTables) tables.push_back(table.get());
            std::stable_sort(tables.begin(), tables.end(), SourceTableByNumber);
        }
        ResultFields.erase(ResultFields.begin() + static_cast<std::ptrdiff_t>(i));
        for (TSourceTable* table : tables) ExpandTableColumns(table, i);
    }
    if (ResultFields.size() > MaxResultColumns)
        BindError("Maximum number of columns (" + std::to_string(MaxResultColumns) +
                  ") in result set exceeded");

    // Typing.
    for (auto& item : ResultFields) {
        TResultField& column = *item;
        if (column.Expression == nullptr) continue;
        dbengine::CheckExpTokenTypes(dbengine::DBE_SQLPARSE, {}, {}, "source columns", column.Expression,
                                     nullptr, SourceColumnResolver(), true, true);
        const TExpToken* tree = column.Expression;
        const TExpToken* reference = tree->Kind == dbengine::tkColumn ? tree : nullptr;
        if (column.AggregateKind != akNone && tree->GetArgument(0) != nullptr &&
            tree->GetArgument(0)->Kind == dbengine::tkColumn)
            reference = tree->GetArgument(0);
        if (column.IsExpression && reference != nullptr) {
            column.IsExpression = false;
            column.TableName = reference->TableName;
            column.ColumnName = reference->ColumnName;
            column.FieldNumber = static_cast<int16_t>(reference->FieldNo);
            if (column.DefaultName && column.AggregateKind == akNone) column.ResultName = column.ColumnName;
        }
        column.DataType = tree->DataType;
        column.SubType = tree->SubType;
        column.Scale = tree->Scale;
        column.Size = static_cast<uint8_t>(std::min<int32_t>(tree->DataSize, MaxComputedStringSize));
        if (column.AggregateKind == akCount && column.ColumnName == "*") {
            column.DataType = dbengine::fldInteger;
            column.Size = 4;
        }
        column.ResultType = column.DataType;
        column.ResultSubType = column.SubType == dbengine::fldstAutoInc ? 0 : column.SubType;
        column.ResultSize = column.Size;
        column.ResultScale = column.Scale;
        if (IsBlobType(column.DataType)) {
            HasBlobColumns = true;
            if (column.IsExpression) HasBlobExpression = true;
        }
        if ((column.DataType == dbengine::fldBytes || column.DataType == dbengine::fldVarBytes) &&
            tree->DataSize > dbengine::MaxFieldSize)
            BindError("Column expression '" + column.SourceText + "'" +
                      " exceeds the maximum allowable field size");
    }

    // Result types of aggregates.
    for (auto& item : ResultFields) {
        TResultField& column = *item;
        auto change = [&](uint8_t type, uint8_t size) {
            column.ResultType = type;
            column.ResultSize = size;
            column.ResultScale = 0;
            column.ResultSubType = 0;
        };
        const uint8_t type = column.DataType;
        const bool smallInteger = type == dbengine::fldSmallInt || type == dbengine::fldWord;
        switch (column.AggregateKind) {
            case akSum:
            case akRunSum:
                // A sum of small integers can pass 32 bits as easily as one of integers.
                if (smallInteger || type == dbengine::fldInteger) change(dbengine::fldLargeInt, 8);
                break;
            case akAvg:
                if (smallInteger || type == dbengine::fldInteger || type == dbengine::fldLargeInt)
                    change(dbengine::fldFloat, 8);
                break;
            case akCount:
                change(dbengine::fldInteger, 4);
                break;
            default:
                break;
        }
    }

    // Binding and naming.
    for (size_t i = 0; i < ResultFields.size(); ++i) {
        TResultField& column = *ResultFields[i];
        column.ResultFieldNumber = static_cast<int16_t>(i + 1);
        uint16_t field = 0;
        TSourceTable* table = nullptr;
        if (column.AggregateKind == akCount && column.ColumnName == "*") {
            column.CountStar = true;
            table = FindSourceTable(column.TableName);
            if (table == nullptr) BindError(InvalidColumnMessage("*", column.TableName, "source columns"));
            dbengine::TFieldDescriptor first;
            table->Cursor->GetTableFieldDesc(1, first);
            column.FieldNumber = 1;
            column.SourceTable = table;
            column.TableName = table->CorrelationName;
            column.ResultName = MakeResultColumnName("*", column.DefaultName ? "" : column.ResultName,
                                                     &column, column.AggregateKind);
            continue;
        }
        if (column.IsExpression && column.ColumnName.empty()) {
            table = FindSourceTable(column.TableName);
        } else {
            table = ResolveColumnTable(column.TableName, column.ColumnName, field);
        }
        if (table == nullptr)
            BindError(InvalidColumnMessage(column.ColumnName, column.TableName, "source columns"));
        column.SourceTable = table;
        column.TableName = table->CorrelationName;
        if (!column.IsExpression) column.FieldNumber = static_cast<int16_t>(field);
        const std::string source = column.IsExpression ? std::string() : column.ColumnName;
        const std::string given =
            column.AggregateKind != akNone && column.DefaultName ? std::string() : column.ResultName;
        column.ResultName = MakeResultColumnName(source, given, &column, column.AggregateKind);
    }

    // An aggregate beside a plain column needs GROUP BY.
    const bool hasAggregate = std::any_of(ResultFields.begin(), ResultFields.end(),
                                          [](const auto& c) { return c->AggregateKind != akNone; });
    const bool hasPlain = std::any_of(ResultFields.begin(), ResultFields.end(), [](const auto& c) {
        return c->AggregateKind == akNone && (!c->IsExpression || dbengine::ExpTreeHasColumn(c->Expression));
    });
    if (hasAggregate && hasPlain && !HasGroupBy && SubSelect == 0 && !FInsertSource && !IsNested) {
        TDataQuery* master = Statement->MasterQuery;
        if (master == this || (IsUnionPart && (master == nullptr || !master->HasGroupBy)))
            BindError("Invalid use of aggregate function(s), the necessary GROUP BY clause is missing");
    }

    // UNION compatibility.
    if (HasUnion && UnionQuery != nullptr) {
        const std::string word = UnionAll ? "UNION ALL" : "UNION";
        if (UnionQuery->ResultFields.size() != ResultFields.size())
            BindError("The number of columns  in the " + word + " query must match the " +
                      " number of columns in the master query");
        for (size_t i = 0; i < ResultFields.size(); ++i) {
            const TResultField& mine = *ResultFields[i];
            const TResultField& theirs = *UnionQuery->ResultFields[i];
            if (mine.ResultType != theirs.ResultType)
                BindError("Type mismatch between column expression '" + theirs.SourceText + "'" + " in the " +
                          word + " query and " + "column expression '" + mine.SourceText + "'" +
                          " in the master query");
        }
    }
}

TResultField* TDataQuery::FindResultColumn(bool includeAggregates, const std::string& columnName,
                                           const std::string& tableName, int16_t& number) const {
    number = 0;
    for (const auto& item : ResultFields) {
        TResultField& column = *item;
        const bool allowed = includeAggregates || column.AggregateKind == akNone;
        bool found;
        if (!tableName.empty())
            found = allowed && framework::AnsiSameText(column.TableName, tableName) &&
                    framework::AnsiSameText(column.ColumnName, columnName);
        else
            found = (allowed && framework::AnsiSameText(column.ColumnName, columnName)) ||
                    framework::AnsiSameText(column.ResultName, columnName);
        if (found) {
            number = column.ResultFieldNumber;
            return &column;
        }
    }
    return nullptr;
}

namespace {

// The result column of a numbered or named clause item; the messages name the clause.
template <typename Item>
TResultField* BindClauseItem(const TDataQuery& query, Item& item, const std::string& clause) {
    if (item.ColumnNumber != 0) {
        if (item.ColumnNumber < 0 || static_cast<size_t>(item.ColumnNumber) > query.ResultFields.size() ||
            IsBlobType(query.ResultFields[static_cast<size_t>(item.ColumnNumber) - 1]->ResultType))
            BindError("Invalid column number '" + std::to_string(item.ColumnNumber) + "'" + " specified in " +
                      clause);
        return query.ResultFields[static_cast<size_t>(item.ColumnNumber) - 1].get();
    }
    int16_t number = 0;
    TResultField* column = query.FindResultColumn(false, item.ColumnName, item.TableName, number);
    if (column == nullptr) BindError(InvalidColumnMessage(item.ColumnName, item.TableName, clause));
    item.ColumnNumber = number;
    return column;
}

}  // namespace

void TDataQuery::BindOrderBy() {
    if (OrderByFields.size() > MaxResultColumns)
        BindError("Maximum number of columns (" + std::to_string(MaxResultColumns) + ") in ORDER BY clause " +
                  "exceeded");
    for (auto& item : OrderByFields) BindClauseItem(*this, *item, "ORDER BY clause");
}

void TDataQuery::BindGroupBy() {
    if (GroupByFields.size() > MaxResultColumns)
        BindError("Maximum number of columns (" + std::to_string(MaxResultColumns) + ") in GROUP BY clause " +
                  "exceeded");
    for (auto& item : GroupByFields) {
        const bool numbered = item->ColumnNumber != 0;
        if (numbered && item->ColumnNumber > 0 &&
            static_cast<size_t>(item->ColumnNumber) <= ResultFields.size()) {
            const TResultField& column = *ResultFields[static_cast<size_t>(item->ColumnNumber) - 1];
            if (IsBlobType(column.ResultType))
                BindError("Invalid BLOB column '" + column.ColumnName + "'" +
                          " specified in GROUP BY clause");
        }
        TResultField* column = BindClauseItem(*this, *item, "GROUP BY clause");
        if (IsBlobType(column->ResultType))
            BindError("Invalid BLOB column '" + item->ColumnName + "'" + " specified in GROUP BY clause");
    }
}

void TDataQuery::CheckDistinct() {
    if (ResultFields.size() > MaxResultColumns)
        BindError("Maximum number of columns (" + std::to_string(MaxResultColumns) + ") in DISTINCT clause " +
                  "exceeded");
    for (const auto& column : ResultFields)
        if (IsBlobType(column->ResultType))
            BindError("Invalid BLOB column '" + column->ColumnName + "'" + " specified in DISTINCT clause");
}

void TDataQuery::CheckHaving() {
    dbengine::CheckExpTokenTypes(dbengine::DBE_SQLPARSE, {}, {}, "HAVING clause", HavingCondition, nullptr,
                                 &FResultColumns, true, true);
    if (HavingCondition->DataType != dbengine::fldBoolean)
        BindError("HAVING clause must be a boolean expression");
}

TResultField* TDataQuery::FindHavingColumn(const TExpToken* call) const {
    for (const auto& column : ResultFields)
        if (column->AggregateKind != akNone && column->Expression != nullptr &&
            column->Expression->Code == call->Code &&
            SameArgument(column->Expression->GetArgument(0), call->GetArgument(0)))
            return column.get();
    return nullptr;
}

void TDataQuery::BindHaving() {
    BindHavingNode(HavingCondition);
}

void TDataQuery::BindHavingNode(TExpToken*& slot) {
    TExpToken* node = slot;
    if (node == nullptr) return;
    if (node->Kind == dbengine::tkFunction && IsAggregateCode(node->Code)) {
        // The same aggregate over an equal argument: HAVING AVG(x) does not mean a SUM(x) column.
        const TResultField* column = FindHavingColumn(node);
        if (column == nullptr) BindError("Expression in HAVING clause not found in source columns");
        TExpToken* reference = dbengine::NewExpToken();
        reference->Kind = dbengine::tkColumn;
        reference->ColumnName = column->ResultName;
        TResultColumns::BindResultColumn(reference, *column);
        reference->Parent = node->Parent;
        slot = reference;
        dbengine::FreeExpTree(node);
        return;
    }
    BindHavingNode(node->Left);
    BindHavingNode(node->Right);
    BindHavingNode(node->Third);
    for (TExpToken*& argument : node->Arguments) BindHavingNode(argument);
}

bool TDataQuery::IsAggregateOnly() const {
    return std::all_of(ResultFields.begin(), ResultFields.end(), [](const auto& c) {
        return c->AggregateKind != akNone || (c->IsExpression && !dbengine::ExpTreeHasColumn(c->Expression));
    });
}

bool TDataQuery::IsCountStarOnly() const {
    // A sub-select in WHERE is run by this query's evaluator, row by row: no table count.
    return SourceTables.size() == 1 && ResultFields.size() == 1 && ResultFields.front()->CountStar &&
           !HasSubSelect(WhereCondition);
}

bool TDataQuery::OrderBySatisfiedByGrouping() const {
    if (!HasOrderBy || OrderByNoCase) return false;
    auto ascending = [&](size_t i, int16_t column) {
        return OrderByFields[i]->ColumnNumber == column && !OrderByFields[i]->Descending;
    };
    if (HasGroupBy && !AggregateOnly) {
        if (OrderByFields.size() != GroupByFields.size()) return false;
        for (size_t i = 0; i < OrderByFields.size(); ++i)
            if (!ascending(i, GroupByFields[i]->ColumnNumber)) return false;
        return true;
    }
    if (Distinct) {
        if (OrderByFields.size() != ResultFields.size()) return false;
        for (size_t i = 0; i < OrderByFields.size(); ++i)
            if (!ascending(i, static_cast<int16_t>(i + 1))) return false;
        return true;
    }
    return false;
}

}  // namespace dbsql
