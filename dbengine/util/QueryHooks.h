#pragma once
// What the engine needs of the SQL layer above it. The engine declares these interfaces and
// calls them; the SQL layer implements them. The record sort hands a query through to its
// grouping callbacks, and the expression grammar, type checker and evaluator create, bind and
// filter the queries of sub-selects.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace dbengine {

class TDataCursor;
class TExpToken;
class TQueryStatement;

// One parsed SQL statement.
class TDataQuery {
public:
    virtual ~TDataQuery() = default;

    // GROUP BY accumulate: with newGroup false fold recordA's aggregate values into recordB's
    // (NULLs skipped); with newGroup true start a group from recordB's own values.
    virtual bool AccumulateGroupRecord(bool newGroup, uint8_t* recordA, uint8_t* recordB) = 0;
    // GROUP BY finish: completes the averages of a finished group's output record in place.
    virtual bool FinishGroupRecord(uint8_t flag, uint8_t* record, uint8_t* otherRecord) = 0;
    // HAVING: false makes the sort drop the group's output record.
    virtual bool GroupFilter(uint8_t flag, uint8_t* record, uint8_t* otherRecord) = 0;

    // Parses one statement from the owning statement's expression parser, starting at the
    // current token; returns with the current token after the statement. Errors raise 11949.
    virtual void ParseStatement(bool nested, bool unionPart, TDataQuery* unionMaster) = 0;
    // Binds a sub-select operand node to the single result column; false when it cannot.
    virtual bool BindSubSelectColumn(TExpToken* node) = 0;
    // Installs "tested value = sub-select column", bound to the outer row, as the expression
    // filter of the result cursor; the caller then reads that cursor's record count.
    virtual void ApplySubSelectFilter(TExpToken* comparison) = 0;
    virtual TDataCursor* ResultCursor() = 0;

    // 1 on a query created for IN (SELECT ...), set before it is parsed.
    uint8_t SubSelect = 0;
    bool RequestLive = false;
};

// A source table of a query, created for LASTAUTOINC and IDENT_CURRENT.
class TSourceTable {
public:
    virtual ~TSourceTable() = default;
    // Table name and directory from the text as written in SQL.
    virtual void SetTableName(const std::string& name) = 0;
};

// The statement that owns the queries and the parameter nodes.
class TQueryStatement {
public:
    virtual ~TQueryStatement() = default;
    // A new query owned by this statement, with no kind yet and SubSelect 0. It joins the
    // statement's list only through AddQuery.
    virtual std::unique_ptr<TDataQuery> CreateQuery() = 0;
    // Takes ownership and returns the query's position in the list.
    virtual int AddQuery(std::unique_ptr<TDataQuery> query) = 0;
    // The "?" nodes of the statement in order of appearance.
    virtual std::vector<TExpToken*>& ParamTokens() = 0;
    // A new source table of the query, not yet in its source-table list.
    virtual std::unique_ptr<TSourceTable> CreateSourceTable(TDataQuery* owner) = 0;
};

}  // namespace dbengine
