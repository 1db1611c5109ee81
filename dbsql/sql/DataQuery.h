#pragma once
// The parsed-statement model: one TDataQuery per statement or sub-statement (UNION part, source
// of INSERT ... SELECT, sub-select), owned by its TQueryStatement, with the items the parser
// fills and binding and execution read. Expression trees inside come from the engine's
// expression parser; the model owns them and gives them back to the token pool.

#include <bitset>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dbengine/data/FieldDescriptor.h"
#include "dbengine/expr/ExpEvaluate.h"
#include "dbengine/expr/ExpTypeCheck.h"
#include "dbengine/index/IndexFormat.h"
#include "dbengine/util/QueryHooks.h"
#include "dbsql/sql/SourceTable.h"

namespace dbengine {
class TExpressionParser;
struct TTableDefinition;
class TFilter;
}  // namespace dbengine

namespace dbsql {

class TQueryStatement;
class TDataQuery;
class TResultField;

// The column binding and value callbacks of the type checker and evaluator over the current rows
// of a query's source tables.
class TSourceColumns final : public dbengine::TExpTypeResolver, public dbengine::TExpValueSource {
public:
    explicit TSourceColumns(TDataQuery* query) : Query(query) {}
    bool ResolveColumn(dbengine::TExpToken* node) override;
    int SubSelectColumnCount(dbengine::TDataQuery* query) override;
    bool GetColumnValue(const uint8_t* recordBuffer, dbengine::TExpToken* column) override;
    int32_t SubSelectRecordCount(dbengine::TDataQuery* query) override;
    bool TextSearch(void* table, const std::string& searchText, const std::string& columnText, bool count,
                    int32_t& answer) override;

private:
    TDataQuery* Query;
};

// The type checker's and evaluator's view of a grouped result row: a column or result name means
// that result column, aggregates included.
class TResultColumns final : public dbengine::TExpTypeResolver, public dbengine::TExpValueSource {
public:
    explicit TResultColumns(TDataQuery* query) : Query(query) {}
    bool ResolveColumn(dbengine::TExpToken* node) override;
    bool GetColumnValue(const uint8_t* recordBuffer, dbengine::TExpToken* column) override;
    static void BindResultColumn(dbengine::TExpToken* node, const TResultField& column);
    // The result record the values are read from.
    const uint8_t* Record = nullptr;

private:
    TDataQuery* Query;
};

// Counts the driving rows of a row loop and reports the percentage done whenever it has grown
// by the session's progress increment.
class TRowProgress {
public:
    explicit TRowProgress(TDataQuery& query);
    // True when the progress callback asks to stop.
    bool Step();

private:
    TDataQuery& Query;
    int32_t Rows;
    int Increment;
    int32_t Done = 0;
    uint64_t LastRead = 0;
};

// Holds a read bracket on every source cursor of a query across a block of driving rows: the
// look for other processes' changes and the short-term shared lock that a cache miss takes come
// once per block instead of once per record read. The brackets are given up and taken anew every
// RowsPerBlock rows, so a writer of another process waits for one block at most.
class TSourceReadBlock {
public:
    explicit TSourceReadBlock(TDataQuery& query);
    ~TSourceReadBlock();
    TSourceReadBlock(const TSourceReadBlock&) = delete;
    TSourceReadBlock& operator=(const TSourceReadBlock&) = delete;
    // Counts one driving row; at the end of a block the brackets are renewed.
    void Step();
    // Gives the brackets up before the progress callback runs (which may change the tables);
    // the next row takes them anew.
    void Release();

    static constexpr int RowsPerBlock = 1024;

private:
    struct THeld;
    TDataQuery& Query;
    std::unique_ptr<THeld> Held;
    int Rows = 0;
};

// Result-set limits.
constexpr size_t MaxResultColumns = 1024;
constexpr size_t MaxResultNameLength = 30;
// A computed string's size, its terminating zero counted.
constexpr int32_t MaxComputedStringSize = 251;
// The hidden counter field of an AVG column is named this, followed by its field number.
extern const char* const AvgCountFieldPrefix;

// Statement kinds (TDataQuery::Kind).
constexpr uint8_t skUnknown = 0;
constexpr uint8_t skSelect = 1;
constexpr uint8_t skInsert = 2;
constexpr uint8_t skUpdate = 3;
constexpr uint8_t skDelete = 4;
constexpr uint8_t skCreateTable = 5;
constexpr uint8_t skAlterTable = 6;
constexpr uint8_t skDropTable = 7;
constexpr uint8_t skCreateIndex = 8;
constexpr uint8_t skDropIndex = 9;
constexpr uint8_t skStartTransaction = 10;
constexpr uint8_t skRollback = 11;
constexpr uint8_t skCommit = 12;

// The kind's name in messages: "UNKNOWN", "SELECT", ..., "COMMIT".
std::string StatementKindName(uint8_t kind);

// Aggregate kinds of a select item.
constexpr uint8_t akNone = 0;
constexpr uint8_t akSum = 1;
constexpr uint8_t akRunSum = 2;
constexpr uint8_t akMin = 3;
constexpr uint8_t akMax = 4;
constexpr uint8_t akAvg = 5;
constexpr uint8_t akCount = 6;

// One item of the select list.
class TResultField {
public:
    explicit TResultField(TDataQuery* query) : Query(query) {}
    ~TResultField();
    TResultField(const TResultField&) = delete;
    TResultField& operator=(const TResultField&) = delete;

    // Stores a changed name; an empty ResultName takes it too, unless it is "*".
    void SetColumnName(const std::string& name);

    TDataQuery* Query;
    TSourceTable* SourceTable = nullptr;
    std::string ColumnName;
    int16_t FieldNumber = 0;
    std::string TableName;  // the correlation name written before the column
    uint8_t DataType = 0, SubType = 0, Size = 0, Scale = 0;
    // The type of the result field, which differs for SUM, RUNSUM, AVG and COUNT.
    uint8_t ResultType = 0, ResultSubType = 0, ResultSize = 0, ResultScale = 0;
    std::string ResultName;
    bool DefaultName = true;
    int16_t ResultFieldNumber = 0;
    bool IsExpression = false;
    uint8_t AggregateKind = akNone;
    int16_t AvgCountField = 0;
    bool CountStar = false;
    std::string SourceText;
    dbengine::TExpToken* Expression = nullptr;  // owned
};

// One INSERT column or UPDATE SET target.
class TUpdateField {
public:
    explicit TUpdateField(TDataQuery* query) : Query(query) {}
    ~TUpdateField();
    TUpdateField(const TUpdateField&) = delete;
    TUpdateField& operator=(const TUpdateField&) = delete;

    TDataQuery* Query;
    TSourceTable* SourceTable = nullptr;
    std::string ColumnName;  // "*" for every column of the table when INSERT names none
    int16_t FieldNumber = 0;
    std::string TableName;
    uint8_t DataType = 0, SubType = 0, Size = 0, Scale = 0;
    std::string ColumnText;
    dbengine::TExpToken* ColumnExpression = nullptr;  // owned
};

// One INSERT value or UPDATE SET value, parallel to the update fields.
class TUpdateValue {
public:
    explicit TUpdateValue(TDataQuery* query) : Query(query) {}
    ~TUpdateValue();
    TUpdateValue(const TUpdateValue&) = delete;
    TUpdateValue& operator=(const TUpdateValue&) = delete;

    TDataQuery* Query;
    std::string ValueText;
    dbengine::TExpToken* ValueExpression = nullptr;  // owned
};

// One column of CREATE TABLE or one column item of ALTER TABLE.
class TCreateField {
public:
    explicit TCreateField(TDataQuery* query) : Query(query) {}
    ~TCreateField();
    TCreateField(const TCreateField&) = delete;
    TCreateField& operator=(const TCreateField&) = delete;

    // Copies name, number and type from Definition (a string's definition size counts the
    // terminating zero). For a renaming REDEFINE the old name, held by the definition's Third
    // link, becomes ColumnName and the definition's name NewColumnName.
    void ApplyDefinition(int16_t fieldNumber);

    TDataQuery* Query;
    std::string ColumnName;
    std::string NewColumnName;
    int16_t FieldNumber = 0;
    uint8_t DataType = 0, SubType = 0, Size = 0, Scale = 0;
    std::string Description;
    bool DescriptionGiven = false;
    bool Required = false;
    bool RequiredGiven = false;
    uint8_t CharCase = 0;  // 0 no change, 1 lower, 2 upper
    bool CharCaseGiven = false;
    std::string MinValue;
    bool MinGiven = false;
    std::string MaxValue;
    bool MaxGiven = false;
    std::string DefaultValue;
    bool DefaultGiven = false;
    bool IsAdd = false, IsRedefine = false, IsDrop = false;
    int16_t Position = 0;  // AT n, 0 when not given
    std::string DefinitionText;
    // Name, data type and size; a renaming REDEFINE keeps the old name's tree in Third. Owned.
    dbengine::TExpToken* Definition = nullptr;
};

// Compression of an index (TCreateIndex::Compression).
constexpr uint8_t icNone = 0;
constexpr uint8_t icDupByte = 1;
constexpr uint8_t icTrailByte = 2;
constexpr uint8_t icFull = 3;

// One index definition: primary key, CREATE INDEX, a key item of ALTER TABLE or the TEXT INDEX.
class TCreateIndex {
public:
    explicit TCreateIndex(TDataQuery* query) : Query(query) {}
    ~TCreateIndex();
    TCreateIndex(const TCreateIndex&) = delete;
    TCreateIndex& operator=(const TCreateIndex&) = delete;

    // ColumnNames from Columns: each tree's column name, or the text of a non-null string constant.
    void BuildColumnNames();

    TDataQuery* Query;
    std::string IndexName;
    std::vector<std::string> ColumnNames;
    bool Descending = false;
    bool Unique = false;
    bool NoCase = false;
    uint8_t Compression = icNone;
    bool IsAdd = false, IsRedefine = false, IsDrop = false;
    std::string ColumnText;                     // the last index column as written
    std::vector<dbengine::TExpToken*> Columns;  // in the order written; owned
};

class TOrderByField {
public:
    explicit TOrderByField(TDataQuery* query) : Query(query) {}
    TDataQuery* Query;
    std::string ColumnName;
    std::string TableName;
    int16_t ColumnNumber = 0;  // 1-based when the item is a number
    bool Descending = false;
};

class TGroupByField {
public:
    explicit TGroupByField(TDataQuery* query) : Query(query) {}
    TDataQuery* Query;
    std::string ColumnName;
    std::string TableName;
    int16_t ColumnNumber = 0;
};

// The scalar state of a query, which a re-parse puts back to these defaults.
struct TDataQueryScalars {
    bool Executed = false;
    bool IsNested = false;
    uint8_t Kind = skUnknown;
    bool Parenthesized = false;
    double ExecutionTime = 0;
    int32_t RowsAffected = 0;
    int32_t MaxRowCount = -1;
    bool Distinct = false;
    bool HasAvg = false;
    bool HasExpressionColumns = false;
    bool HasBlobExpression = false;
    bool HasJoinResidual = false;
    bool HasTableResidual = false;
    bool HasJoins = false;
    bool NoJoinOptimize = false;
    bool HasWhere = false;
    bool HasHaving = false;
    bool HasOrderBy = false;
    bool OrderByIndexFound = false;
    uint8_t ResultIndex = 255;  // natural order
    bool OrderByOnExpression = false;
    bool OrderByNoCase = false;
    bool HasGroupBy = false;
    bool OrderBySatisfied = false;
    bool AggregateOnly = false;
    bool CountStarOnly = false;
    bool LiveResult = false;
    bool InMemory = false;
    bool InsertFromSelect = false;
    TDataQuery* InsertSource = nullptr;
    bool IsUnionPart = false;
    bool HasUnion = false;
    bool UnionAll = true;
    TDataQuery* UnionQuery = nullptr;
    TDataQuery* UnionMaster = nullptr;
    std::string TargetTableName;
    std::string IndexName;
    bool HasBlobColumns = false;
    bool LockSourceTables = false;
    TSourceTable* DrivingTable = nullptr;
    bool Encrypted = false;
    std::string Password;
    uint16_t LanguageId = 0;
    uint16_t SortId = 0;
    uint16_t BlobBlockSize = 512;
    std::string Description;
    uint16_t UserMajorVersion = 1;
    uint16_t UserMinorVersion = 0;
    uint32_t LastAutoInc = 0xFFFFFFFF;  // -1: the counter is kept
    bool NoAutoInc = false;
    bool NoBackup = false;
    int32_t CommitInterval = 0;
    bool CommitFlush = false;
    bool EncryptedGiven = false;
    bool LanguageGiven = false;
    bool SortGiven = false;
    bool BlobBlockSizeGiven = false;
    bool DescriptionGiven = false;
    bool UserMajorVersionGiven = false;
    bool UserMinorVersionGiven = false;
    bool CommitIntervalGiven = false;
    int32_t TopCount = -1;
    bool IfExists = false;
    bool IfNotExists = false;
    bool FirstGroup = false;
    bool StopWordsGiven = false;
    std::bitset<256> SpaceChars;
    std::bitset<256> IncludeChars;
    bool SelectAll = false;
};

class TDataQuery : public dbengine::TDataQuery, public TDataQueryScalars {
public:
    // A query of the statement with every default set and empty lists; whoever creates it
    // registers it with TQueryStatement::AddQuery.
    explicit TDataQuery(TQueryStatement* statement);
    ~TDataQuery() override;
    TDataQuery(const TDataQuery&) = delete;
    TDataQuery& operator=(const TDataQuery&) = delete;

    // Scalar state back to the defaults, stop words cleared; the lists, the items and the
    // condition trees stay. RequestLive and SubSelect, which callers set before the parse, stay.
    void Reset();

    // Parses one statement from the statement's parser, starting at its current token.
    void ParseStatement(bool nested, bool unionPart, dbengine::TDataQuery* unionMaster) override;

    // Passes the database to the session's hook with the access code of the kind.
    void ReportDatabaseAccess(dbengine::TDataDirectory* database);

    // Grouping, sub-select binding and filtering belong to binding and execution; until a query
    // is bound there is nothing to group, bind or filter.
    bool AccumulateGroupRecord(bool newGroup, uint8_t* recordA, uint8_t* recordB) override;
    bool FinishGroupRecord(uint8_t flag, uint8_t* record, uint8_t* otherRecord) override;
    bool GroupFilter(uint8_t flag, uint8_t* record, uint8_t* otherRecord) override;
    bool BindSubSelectColumn(dbengine::TExpToken* node) override;
    void ApplySubSelectFilter(dbengine::TExpToken* comparison) override;
    dbengine::TDataCursor* ResultCursor() override { return FResultCursor; }

    // ---- Source tables and join planning (JoinPlanning.cpp) ----
    // The source table a column reference means (and the column's field number), or null.
    TSourceTable* ResolveColumnTable(const std::string& tableName, const std::string& columnName,
                                     uint16_t& fieldNumber) const;
    // By correlation name in any letter case; the first table for an empty name.
    TSourceTable* FindSourceTable(const std::string& correlationName) const;
    // True when the tree references more than one source table; otherwise false with the one
    // correlation name it references (empty for none). Binds the column references it meets.
    bool TablesOfExpression(dbengine::TExpToken* tree, std::string& correlationName);
    bool HasJoinComparison(dbengine::TExpToken* tree);
    bool HasOuterJoinComparison(dbengine::TExpToken* tree);
    // Opens every source table with the query's RequestLive.
    void OpenSourceTables();
    void CloseSourceTables();
    // Every source table gets a join without condition to the next one.
    void ChainSourceTables();
    // Comparisons between two tables become joins, other conditions over several tables the join
    // residual; WhereCondition keeps the single-table conditions.
    void ExtractJoinConditions();
    void AddJoinResidual(dbengine::TExpToken* tree, uint8_t op = 0);
    void AddTableResidual(dbengine::TExpToken* tree, uint8_t op = 0);
    void SortSourceTablesByLevel();
    void CheckJoinTargets();
    // The planning steps of a SELECT, UPDATE or DELETE: open, chain, extract, order, check the
    // join targets and the types of every condition.
    void PrepareJoins();
    // Filters dropped, single-table conditions placed in two passes around the join reorder.
    void PlaceConditions();
    void PlaceWhereConditions(int pass);
    // The driving table read through an index range that a conjunct of the WHERE clause on one
    // of its indexed columns gives (column = value, column LIKE 'text%'); its filters still test
    // each row.
    void RangeDrivingTable();
    // A filter of this query's conditions is placed on the cursor.
    bool FiltersTable(const dbengine::TDataCursor* cursor) const;
    // The rows of an UPDATE or DELETE through a range are found first, then changed: the
    // range's index has keys that the UPDATE changes, or the DELETE takes rows out of it.
    bool CollectRowsFirst = false;
    // The bookmarks of the target's rows that pass; then the target on one of them, read into
    // its record buffer (false when it is gone).
    std::vector<std::vector<uint8_t>> CollectTargetRows(TRowProgress& progress);
    bool SeekTargetRow(const std::vector<uint8_t>& bookmark);
    void ReorderJoins();
    bool IsJoinTarget(const TSourceTable* table, const TTableJoin* exceptJoin) const;
    bool IsInnerJoinTarget(const TSourceTable* table) const;
    bool IsOuterJoinTarget(const TSourceTable* table) const;
    TSourceTable* InnerJoinSource(const TSourceTable* table) const;
    TSourceTable* InnerJoinRoot(const TSourceTable* table) const;
    void MakeDrivingTable(TSourceTable* table);
    // Drops every table filter and join filter of the last execution.
    void ResetJoinState();

    // ---- Select-list and clause binding (ResultBinding.cpp) ----
    void BindResultFields();
    void ExpandTableColumns(TSourceTable* table, size_t& position);
    std::string MakeResultColumnName(const std::string& sourceName, const std::string& givenName,
                                     const TResultField* column, uint8_t aggregateKind) const;
    void BindOrderBy();
    void BindGroupBy();
    void CheckDistinct();
    void CheckHaving();
    void BindHaving();
    TResultField* FindResultColumn(bool includeAggregates, const std::string& columnName,
                                   const std::string& tableName, int16_t& number) const;
    // The result column of the same aggregate over an equal argument as the call.
    TResultField* FindHavingColumn(const dbengine::TExpToken* call) const;
    bool IsAggregateOnly() const;
    static bool HasSubSelect(const dbengine::TExpToken* node);
    bool IsCountStarOnly() const;
    bool OrderBySatisfiedByGrouping() const;
    dbengine::TExpTypeResolver* SourceColumnResolver() { return &FSourceColumns; }

    // ---- SELECT execution (SelectExecution.cpp) ----
    // Opens, binds and plans the query of its kind; a SELECT gets its live result or result table.
    void PrepareQuery();
    void PrepareSelect();
    void OpenFunctionTables();
    void FindOrderIndex();
    bool CanUseLiveResult() const;
    void PrepareLiveResult();
    void SetResultTableName();
    void CreateResultTable();
    // Runs the query; returns the result cursor of a SELECT.
    dbengine::TDataCursor* ExecuteQuery();
    void ExecuteSelect();
    void ExecuteAggregateSelect();
    void FillResultRow(uint8_t* row);
    // The source table's descriptor of each plain result column, read once per execution for
    // FillResultRow (the rest stay empty).
    void ReadSourceFieldDescs();
    std::vector<dbengine::TFieldDescriptor> SourceFieldDescs;
    // The most GROUP BY groups a row loop gathers in memory; 0: as many as 32 MB hold.
    size_t MaxGatheredGroups = 0;
    void FillComputedColumns(uint8_t* row);
    void GroupRows(int32_t limit);
    void MergeUnion();
    void SortByOrderBy();
    void ReportProgress(int percent, bool& abort);
    void FinishAverages(uint8_t* row);
    bool TestHaving(const uint8_t* row);
    // The last percentage the row loop reported, -1 before the first.
    int LastPercent = -1;
    // The read block of the running row loop, released while progress is reported.
    TSourceReadBlock* ReadBlock = nullptr;
    // Closes the result table (and with it a temporary table's files).
    void CloseResultTable();
    // The name and place of the result table.
    std::string ResultTableName;
    bool ResultInMemory = false;

    // ---- INSERT, UPDATE, DELETE and transactions (DmlExecution.cpp) ----
    void PrepareInsert();
    void PrepareUpdateOrDelete();
    void BindUpdateFields(bool allowAll);
    void BindUpdateField(TUpdateField& column, TSourceTable* table, uint16_t field);
    void CheckUpdateValues();
    // Evaluates the value at index and puts it into the target's row.
    void PutValue(size_t index, uint8_t* record);
    void ExecuteInsertValues();
    void BuildInsertSelectValues();
    // The values of INSERT ... SELECT from one row of the SELECT's result.
    void ReadInsertSelectRow(dbengine::TDataCursor& result, const uint8_t* row);
    void ExecuteInsertSelect();
    void ExecuteUpdate();
    void ExecuteDelete();
    void ExecuteTransactionStatement();
    dbengine::TIndexDescriptor IndexOfDefinition(TCreateIndex& index,
                                                 const std::vector<dbengine::TFieldDescriptor>& fields);
    void ExecuteCreateTable();
    void ExecuteDropTable();
    void ExecuteCreateIndex();
    void ExecuteAlterTable();
    void ExecuteDropIndex();
    // The TEXT INDEX of the statement over def's fields, and its stop words and character sets.
    void PutTextIndexDefinition(dbengine::TTableDefinition& def);
    void PutTextParameters(dbengine::TTableDefinition& def) const;
    // A closed exclusive cursor on the statement's target table.
    std::unique_ptr<dbengine::TDataCursor> MakeTargetCursor() const;
    // The target's definition as stored, with the table options the statement gives put in
    // place of the stored ones; true when its primary index is the engine's own record order.
    bool ReadTargetDefinition(dbengine::TTableDefinition& def);
    // The target rebuilt to def (also taking the statement's full-text parameters).
    void RestructureTarget(dbengine::TTableDefinition& def);
    // Runs a statement of any kind but SELECT.
    void ExecuteStatement();
    // The table that INSERT, UPDATE and DELETE change: the first source table at prepare time.
    TSourceTable* TargetTable = nullptr;

    // ---- Evaluation (QueryEvaluation.cpp) ----
    bool BindSourceColumn(dbengine::TExpToken* node);
    bool ReadSourceColumn(dbengine::TExpToken* node);
    dbengine::TExpValueSource* SourceValues() { return &FSourceColumns; }
    // Type checks: the tree must be boolean ("WHERE or JOIN clause must be a boolean expression").
    void CheckCondition(dbengine::TExpToken* tree);
    // The WHERE condition, the join residual and every join's conditions.
    void CheckConditions();
    // The residual conditions over the current joined row; NULL counts as false.
    bool TestJoinResidual();
    // The condition over the current rows; NULL counts as false.
    bool ConditionHolds(const dbengine::TExpToken* tree);
    bool TestTableResidual();
    // The row loop over the driving table: the first, next and (after a delete) following joined
    // row that passes both residual conditions.
    bool FirstRow();
    bool NextRow();
    bool NextRowAfterDelete();

    TQueryStatement* Statement;
    dbengine::TDataDirectory* ResultDatabase = nullptr;
    std::vector<std::unique_ptr<TOrderByField>> OrderByFields;
    std::vector<std::unique_ptr<TGroupByField>> GroupByFields;
    std::vector<std::unique_ptr<TSourceTable>> SourceTables;
    std::vector<std::unique_ptr<TSourceTable>> FunctionTables;
    std::vector<std::unique_ptr<TResultField>> ResultFields;
    std::vector<std::unique_ptr<TUpdateField>> UpdateFields;
    std::vector<std::unique_ptr<TUpdateValue>> UpdateValues;
    std::vector<std::unique_ptr<TCreateField>> CreateFields;
    std::vector<std::unique_ptr<TCreateIndex>> CreateIndexes;
    std::unique_ptr<TCreateIndex> TextIndex;
    dbengine::TExpToken* WhereCondition = nullptr;          // owned
    dbengine::TExpToken* HavingCondition = nullptr;         // owned
    dbengine::TExpToken* JoinResidualCondition = nullptr;   // owned
    dbengine::TExpToken* TableResidualCondition = nullptr;  // owned
    void* TableFilter = nullptr;
    void* SubSelectFilter = nullptr;
    std::vector<std::string> StopWords;
    // The JOIN ... ON clauses in the order written: the join's kind and the table the clause
    // joins. Every node of an ON condition carries its clause's number (from 1) in JoinChecked.
    struct TOnClause {
        uint8_t Kind;
        TSourceTable* Table;
    };
    std::vector<TOnClause> OnClauses;

private:
    // The grammar (SqlGrammar.cpp, SqlDefinitionGrammar.cpp).
    dbengine::TExpressionParser& Parser() const;
    [[noreturn]] void SqlError(const std::string& message) const;
    [[noreturn]] void ExpectedFound(const std::string& prefix) const;
    bool Keyword(const char* word) const;
    bool AnyKeyword(std::initializer_list<const char*> words) const;
    void ExpectKeyword(const char* word, const std::string& prefix);
    void ExpectSymbol(char symbol, const std::string& prefix);
    std::string ConsumeText();
    // The current token as an integer token within [min, max]; else the prefix, the token and "'".
    int64_t ConsumeInteger(int64_t min, int64_t max, const std::string& prefix);
    enum class TItemLevel { Expression, Unary, Primary };
    dbengine::TExpToken* ParseItem(const char* context, uint8_t flags, TItemLevel level,
                                   const char* emptyMessage, bool fromEndsItem = false);
    void AndIntoWhere(dbengine::TExpToken* condition);
    void CheckEndOfStatement();

    void ParseSelect();
    void ParseSelectItem();
    void ParseInto();
    void ParseFromSources(bool updateFrom);
    TSourceTable* AddSourceTable(bool atFront);
    std::string ParseTableReference(TSourceTable* table, const std::string& missingMessage);
    // AS name, or a bare name that does not end the source; true when one was written.
    bool ParseCorrelationName(std::string& name, bool joinedTable);
    // The current token is a word that ends a FROM source of this kind of statement.
    bool IsSourceEnd() const;
    void CheckDuplicateCorrelation(const TSourceTable* table) const;
    void ParseJoins(int& openParens);
    void ParseWhere();
    void ParseColumnItem(std::string& tableName, std::string& columnName, int16_t& columnNumber,
                         const std::string& message);
    void ParseGroupBy();
    void ParseHaving();
    void ParseOrderBy();
    void ParseTop();
    void ParseWithLocks();
    void ParseLanguage();
    void ParseEncrypted();
    void ParseUnion();
    void ParseUpdateField(TItemLevel level);
    void ParseUpdateValue();
    void ParseInsert();
    void ParseUpdate();
    void ParseDelete();
    void ParseCommitClause();
    void ParseTransaction();

    void ParseTableTarget(const std::string& missingMessage);
    void ParseIfNotExists();
    void ParseIfExists();
    void ParseCreateTable();
    void ParseCreateIndex();
    void ParseAlterTable();
    void ParseDropTable();
    void ParseDropIndex();
    void ParseColumnDefinition(TCreateField* field, bool typeRequired);
    void ParseColumnOptions(TCreateField* field, bool alter);
    void ParseKeyOptions(TCreateIndex* index);
    void ParseKeyColumns(TCreateIndex* index);
    void ParseCompress(TCreateIndex* index);
    void ParsePrimaryKey(TCreateIndex* index);
    bool IsKeyStart() const;
    void SkipConstraint();
    void ParseLastAutoInc();
    void ParseTableOptions(bool alter);
    void ParseTextIndex();
    std::string ParseConstantText(const char* context, const char* emptyMessage);

    // Places one single-table condition (PlaceTableCondition).
    void PlaceTableCondition(int pass, dbengine::TExpToken* node, TSourceTable* table);
    void SplitWhereConditions(int pass, dbengine::TExpToken* node);
    void ExtractNode(dbengine::TExpToken*& slot);
    // An ON condition of an outer join that reads only the outer side is taken out of the WHERE
    // tree (true) to become a condition of its join.
    bool TakeOuterOnlyCondition(dbengine::TExpToken*& slot);
    void AttachOuterOnlyConditions();
    struct TOuterOnlyCondition {
        uint8_t Clause;
        dbengine::TExpToken* Tree;  // owned until attached
        std::string CorrelationName;
    };
    std::vector<TOuterOnlyCondition> FOuterOnlyConditions;
    void ApplyLevelRule(dbengine::TExpToken* comparison, TSourceTable* left, TSourceTable* right);
    bool RowPasses();
    TSourceTable* TableOrFirst(const std::string& correlationName);

    dbengine::TDataCursor* FResultCursor = nullptr;
    TSourceColumns FSourceColumns{this};
    TResultColumns FResultColumns{this};
    void BindHavingNode(dbengine::TExpToken*& slot);
    // The result table this query created; its cursor is FResultCursor on that road.
    std::unique_ptr<dbengine::TDataCursor> FResultTable;
    // Table filters installed by the condition placement, dropped by ResetJoinState.
    std::vector<std::pair<dbengine::TDataCursor*, dbengine::TFilter*>> FTableFilters;
    // The SELECT of INSERT ... SELECT (and its UNION parts): NOAUTOINC and COMMIT end its sources.
    bool FInsertSource = false;
};

}  // namespace dbsql
