// The statement dispatcher and the grammar of SELECT, INSERT, UPDATE, DELETE and the transaction
// statements: recursive descent over the tokens of the statement's expression parser, every
// expression inside handed to that parser with the context of its clause.

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <vector>

#include "dbengine/expr/ExpToken.h"
#include "dbengine/expr/ExpressionParser.h"
#include "dbengine/expr/ValueTypes.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/EngineUtils.h"
#include "dbsql/sql/DataQuery.h"
#include "dbsql/sql/QueryStatement.h"
#include "framework/core/SysUtils.h"

namespace dbsql {

using dbengine::TExpToken;
using dbengine::TExpTreeHolder;

namespace {

bool IsComparison(const TExpToken* node) {
    return node->Kind == dbengine::tkBinary && node->Code >= dbengine::ecEqual &&
           node->Code <= dbengine::ecLessOrEqual;
}

// Marks every node of a JOIN ... ON condition with the number of its ON clause (from 1; the last
// number is shared by clauses beyond it), and every comparison between two column expressions
// with the join's kind.
void MarkJoinCondition(TExpToken* condition, uint8_t joinKind, uint8_t clause) {
    std::vector<TExpToken*> pending{condition};
    while (!pending.empty()) {
        TExpToken* node = pending.back();
        pending.pop_back();
        if (node == nullptr) continue;
        node->JoinChecked = clause;
        if (IsComparison(node) && dbengine::ExpTreeHasColumn(node->Left) &&
            dbengine::ExpTreeHasColumn(node->Right))
            node->JoinRole = joinKind;
        pending.push_back(node->Left);
        pending.push_back(node->Right);
        for (TExpToken* argument : node->Arguments) pending.push_back(argument);
    }
}

uint8_t AggregateKindOf(uint8_t code) {
    switch (code) {
        case dbengine::ecSum:
            return akSum;
        case dbengine::ecRunSum:
            return akRunSum;
        case dbengine::ecMin:
            return akMin;
        case dbengine::ecMax:
            return akMax;
        case dbengine::ecAvg:
            return akAvg;
        case dbengine::ecCount:
            return akCount;
        default:
            return akNone;
    }
}

// Counts the queries being parsed inside one another, so that deep sub-selects and long UNION
// chains end with an error instead of exhausting the stack.
class TNesting {
public:
    explicit TNesting(int& depth) : Depth(depth) { ++Depth; }
    ~TNesting() { --Depth; }
    TNesting(const TNesting&) = delete;
    TNesting& operator=(const TNesting&) = delete;

private:
    int& Depth;
};

}  // namespace

// ---- Token helpers ----

dbengine::TExpressionParser& TDataQuery::Parser() const {
    return *Statement->Parser;
}

void TDataQuery::SqlError(const std::string& message) const {
    dbengine::RaiseEngineError(dbengine::DBE_SQLPARSE, {}, {}, {}, {}, {}, {}, message);
}

void TDataQuery::ExpectedFound(const std::string& prefix) const {
    SqlError(prefix + Parser().GetTokenText() + "'");
}

bool TDataQuery::Keyword(const char* word) const {
    return Parser().IsKeyword(word);
}

bool TDataQuery::AnyKeyword(std::initializer_list<const char*> words) const {
    for (const char* word : words)
        if (Keyword(word)) return true;
    return false;
}

void TDataQuery::ExpectKeyword(const char* word, const std::string& prefix) {
    if (!Keyword(word)) ExpectedFound(prefix);
    Parser().NextToken();
}

void TDataQuery::ExpectSymbol(char symbol, const std::string& prefix) {
    if (!Parser().IsTokenKind(static_cast<uint8_t>(symbol))) ExpectedFound(prefix);
    Parser().NextToken();
}

std::string TDataQuery::ConsumeText() {
    std::string text = Parser().GetTokenText();
    Parser().NextToken();
    return text;
}

int64_t TDataQuery::ConsumeInteger(int64_t min, int64_t max, const std::string& prefix) {
    dbengine::TExpressionParser& p = Parser();
    if (!p.IsTokenKind(dbengine::etInteger)) ExpectedFound(prefix);
    const std::string text = p.GetTokenText();
    int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    // A value that does not fit its field is refused rather than wrapped.
    if (error != std::errc() || end != text.data() + text.size() || value < min || value > max)
        ExpectedFound(prefix);
    p.NextToken();
    return value;
}

TExpToken* TDataQuery::ParseItem(const char* context, uint8_t flags, TItemLevel level,
                                 const char* emptyMessage, bool fromEndsItem) {
    dbengine::TExpressionParser& p = Parser();
    if (p.IsTokenKind(dbengine::etEnd) || p.IsTokenKind(';') || p.IsTokenKind(',') || p.IsTokenKind(')') ||
        (fromEndsItem && Keyword("FROM")))
        SqlError(emptyMessage);
    // The context names the clause in the expression parser's messages; a sub-select inside
    // sets its own and gives this one back.
    const std::string saved = p.ContextText;
    p.ContextText = context;
    TExpTreeHolder tree;
    try {
        switch (level) {
            case TItemLevel::Expression:
                tree.reset(p.ParseExpression(flags));
                break;
            case TItemLevel::Unary:
                tree.reset(p.ParseUnary(flags));
                break;
            case TItemLevel::Primary:
                tree.reset(p.ParsePrimary(flags));
                break;
        }
        if (tree.get() == nullptr) SqlError(emptyMessage);
        // The parser checks the depth of outermost expressions only; those of a sub-select are
        // checked here, before anything walks them.
        if (dbengine::ExpTreeDepth(tree.get()) > dbengine::MaxExpTreeDepth)
            p.RaiseParseError(std::string("Expression too complex in ") + context);
    } catch (...) {
        p.ContextText = saved;
        throw;
    }
    p.ContextText = saved;
    return tree.release();
}

void TDataQuery::AndIntoWhere(TExpToken* condition) {
    if (WhereCondition == nullptr) {
        WhereCondition = condition;
        return;
    }
    TExpToken* node = dbengine::NewExpToken();
    node->Kind = dbengine::tkBinary;
    node->Code = dbengine::ecAnd;
    node->Text = "AND";
    node->DataType = dbengine::fldBoolean;
    node->Left = WhereCondition;
    node->Right = condition;
    WhereCondition = node;
}

void TDataQuery::CheckEndOfStatement() {
    dbengine::TExpressionParser& p = Parser();
    if (p.IsTokenKind(';')) {
        p.NextToken();
        return;
    }
    if (!p.IsTokenKind(dbengine::etEnd))
        SqlError("End of " + StatementKindName(Kind) + " statement expected, " + "instead found " + "'" +
                 p.GetTokenText() + "'");
}

// ---- Dispatch ----

void TDataQuery::ParseStatement(bool nested, bool unionPart, dbengine::TDataQuery* unionMaster) {
    if (Executed) return;
    TNesting nesting(Statement->ParseDepth);
    if (Statement->ParseDepth > MaxQueryNesting)
        ExpectedFound("Sub-select and UNION queries nested too deeply, instead found '");
    Reset();
    IsNested = nested;
    IsUnionPart = unionPart;
    UnionMaster = dynamic_cast<TDataQuery*>(unionMaster);
    dbengine::TExpressionParser& p = Parser();
    if (p.IsTokenKind('(')) {
        p.NextToken();
        Parenthesized = true;
        if (!Keyword("SELECT")) ExpectedFound("SELECT keyword expected, instead found '");
        Kind = skSelect;
    } else if (Keyword("SELECT")) {
        Kind = skSelect;
    } else if (unionPart) {
        // Only a SELECT can be UNIONed to a SELECT.
        ExpectedFound("SELECT keyword expected, instead found '");
    } else if (Keyword("INSERT")) {
        Kind = skInsert;
    } else if (Keyword("UPDATE")) {
        Kind = skUpdate;
    } else if (Keyword("DELETE")) {
        Kind = skDelete;
    } else if (Keyword("CREATE")) {
        p.NextToken();
        if (Keyword("TABLE"))
            Kind = skCreateTable;
        else if (AnyKeyword({"INDEX", "UNIQUE", "ASC", "ASCENDING", "DESC", "DESCENDING", "NOCASE"}))
            Kind = skCreateIndex;
        else
            ExpectedFound(
                "TABLE, INDEX, UNIQUE, ASC, ASCENDING, DESC, DESCENDING, or NOCASE keyword expected, instead "
                "found '");
    } else if (Keyword("ALTER")) {
        p.NextToken();
        if (!Keyword("TABLE")) ExpectedFound("TABLE keyword expected, instead found '");
        Kind = skAlterTable;
    } else if (Keyword("DROP")) {
        p.NextToken();
        if (Keyword("TABLE"))
            Kind = skDropTable;
        else if (Keyword("INDEX"))
            Kind = skDropIndex;
        else
            ExpectedFound("TABLE or INDEX keyword expected, instead found '");
    } else if (Keyword("START")) {
        p.NextToken();
        if (!Keyword("TRANSACTION")) ExpectedFound("TRANSACTION keyword expected, instead found '");
        Kind = skStartTransaction;
    } else if (Keyword("ROLLBACK")) {
        Kind = skRollback;
    } else if (Keyword("COMMIT")) {
        Kind = skCommit;
    } else {
        ExpectedFound(
            "SELECT, INSERT, UPDATE, DELETE, CREATE, ALTER, or DROP keyword expected, instead found '");
    }
    switch (Kind) {
        case skSelect:
            ParseSelect();
            break;
        case skInsert:
            ParseInsert();
            break;
        case skUpdate:
            ParseUpdate();
            break;
        case skDelete:
            ParseDelete();
            break;
        case skCreateTable:
            ParseCreateTable();
            break;
        case skAlterTable:
            ParseAlterTable();
            break;
        case skDropTable:
            ParseDropTable();
            break;
        case skCreateIndex:
            ParseCreateIndex();
            break;
        case skDropIndex:
            ParseDropIndex();
            break;
        default:
            ParseTransaction();
            break;
    }
}

// ---- SELECT ----

void TDataQuery::ParseSelect() {
    dbengine::TExpressionParser& p = Parser();
    p.NextToken();  // SELECT
    if (Keyword("ALL")) p.NextToken();
    if (Keyword("DISTINCT")) {
        Distinct = true;
        p.NextToken();
    }
    for (;;) {
        ParseSelectItem();
        if (!p.IsTokenKind(',')) break;
        p.NextToken();
    }
    if (ResultFields.size() == 1) {
        const TResultField& only = *ResultFields.front();
        SelectAll = only.ColumnName == "*" && only.AggregateKind == akNone && !only.IsExpression;
    }
    ParseInto();
    if (!Keyword("FROM")) ExpectedFound("FROM keyword expected, instead found '");
    ParseFromSources(false);
    ParseWhere();
    ParseGroupBy();
    ParseHaving();
    if (!IsUnionPart) ParseOrderBy();
    ParseTop();
    ParseWithLocks();
    ParseLanguage();
    ParseEncrypted();
    if (Keyword("NOJOINOPTIMIZE")) {
        NoJoinOptimize = true;
        p.NextToken();
    }
    if (Parenthesized)
        ExpectSymbol(')', "Right parentheses expected after SELECT statement, instead found '");
    if (Keyword("UNION")) ParseUnion();
    if (HasUnion && !IsUnionPart) {
        ParseOrderBy();
        ParseTop();
        if (!IsNested) CheckEndOfStatement();
    } else if (!HasUnion && !IsNested && !IsUnionPart) {
        CheckEndOfStatement();
    }
}

void TDataQuery::ParseSelectItem() {
    dbengine::TExpressionParser& p = Parser();
    ResultFields.push_back(std::make_unique<TResultField>(this));
    TResultField* field = ResultFields.back().get();
    p.MarkTextStart();
    field->Expression =
        ParseItem("source column expression",
                  dbengine::AllowAggregates | dbengine::AllowAllColumns | dbengine::AllowPredicates,
                  TItemLevel::Expression, "Source column expression is empty", true);
    field->SourceText = p.GetMarkedText();

    const TExpToken* item = field->Expression;
    const bool aggregate = item->Kind == dbengine::tkFunction && AggregateKindOf(item->Code) != akNone;
    if (item->Kind == dbengine::tkColumn) {
        field->TableName = item->TableName;
        field->SetColumnName(item->ColumnName);
    } else if (aggregate) {
        field->AggregateKind = AggregateKindOf(item->Code);
        if (field->AggregateKind == akAvg) HasAvg = true;
        const TExpToken* argument = item->GetArgument(0);
        if (dbengine::ExpTreeHasAggregate(argument)) SqlError("Aggregate functions cannot be nested");
        if (argument != nullptr && argument->Kind == dbengine::tkColumn) {
            field->TableName = argument->TableName;
            field->SetColumnName(argument->ColumnName);
            field->ResultName.clear();
        } else {
            field->IsExpression = true;
            HasExpressionColumns = true;
        }
    } else {
        if (dbengine::ExpTreeHasAggregate(item))
            SqlError("Aggregate functions cannot be used within expressions");
        field->IsExpression = true;
        HasExpressionColumns = true;
    }

    std::string name;
    bool named = false;
    if (Keyword("AS")) {
        p.NextToken();
        if (!p.IsNameToken()) ExpectedFound("Symbol or string expected after AS keyword, instead found '");
        name = ConsumeText();
        named = true;
    } else if (p.IsNameToken() && !Keyword("INTO") && !Keyword("FROM")) {
        name = ConsumeText();
        named = true;
    }
    if (!named) return;
    field->ResultName = name;
    field->DefaultName = false;
    if (p.IsTokenKind('.')) {
        p.NextToken();
        if (!p.IsNameToken())
            ExpectedFound("Symbol or string expected after table correlation name, instead found '");
        field->ResultName = ConsumeText();
    }
}

void TDataQuery::ParseInto() {
    if (!Keyword("INTO")) return;
    if (Statement->MasterQuery != this) SqlError("The INTO clause can only be used with the master query");
    dbengine::TExpressionParser& p = Parser();
    p.NextToken();
    if (Keyword("MEMORY")) {
        InMemory = true;
        p.NextToken();
        if (p.IsNameToken() && !Keyword("FROM")) TargetTableName = ConsumeText();
    } else {
        const std::string missing = "Result table name expected in INTO clause, instead found '";
        if (!p.IsNameToken()) ExpectedFound(missing);
        TargetTableName = ConsumeText();
        if (p.IsTokenKind('\\')) {
            p.NextToken();
            if (!p.IsNameToken()) ExpectedFound(missing);
            TargetTableName += "\\" + ConsumeText();
        }
    }
    RequestLive = false;
}

TSourceTable* TDataQuery::AddSourceTable(bool atFront) {
    auto table = std::make_unique<TSourceTable>(this);
    TSourceTable* raw = table.get();
    raw->TableNumber = static_cast<uint16_t>(SourceTables.size() + 1);
    if (atFront)
        SourceTables.insert(SourceTables.begin(), std::move(table));
    else
        SourceTables.push_back(std::move(table));
    return raw;
}

std::string TDataQuery::ParseTableReference(TSourceTable* table, const std::string& missingMessage) {
    dbengine::TExpressionParser& p = Parser();
    if (Keyword("MEMORY")) {
        if (table != nullptr) table->InMemory = true;
        p.NextToken();
    }
    if (!p.IsNameToken()) ExpectedFound(missingMessage);
    std::string text = ConsumeText();
    if (p.IsTokenKind('\\')) {
        p.NextToken();
        if (!p.IsNameToken()) ExpectedFound(missingMessage);
        text += "\\" + ConsumeText();
    }
    return text;
}

bool TDataQuery::IsSourceEnd() const {
    if (AnyKeyword({"LEFT", "RIGHT", "INNER", "JOIN", "WHERE", "NOJOINOPTIMIZE"})) return true;
    switch (Kind) {
        case skSelect:
            return AnyKeyword({"ORDER", "GROUP", "HAVING", "TOP", "RANGE", "WITH", "ENCRYPTED", "LANGUAGE",
                               "UNION"}) ||
                   (FInsertSource && AnyKeyword({"NOAUTOINC", "COMMIT"}));
        case skUpdate:
            return AnyKeyword({"NOAUTOINC", "COMMIT"});
        case skDelete:
            return Keyword("COMMIT");
        default:
            return false;
    }
}

bool TDataQuery::ParseCorrelationName(std::string& name, bool joinedTable) {
    dbengine::TExpressionParser& p = Parser();
    if (Keyword("AS")) {
        p.NextToken();
        if (!p.IsNameToken()) ExpectedFound("Symbol or string expected after AS keyword, instead found '");
        name = ConsumeText();
        return true;
    }
    if (p.IsNameToken() && (joinedTable ? !Keyword("ON") : !IsSourceEnd())) {
        name = ConsumeText();
        return true;
    }
    return false;
}

void TDataQuery::CheckDuplicateCorrelation(const TSourceTable* table) const {
    for (const auto& other : SourceTables)
        if (other.get() != table && framework::AnsiSameText(other->CorrelationName, table->CorrelationName))
            SqlError("Duplicate table correlation name '" + table->CorrelationName + "'" +
                     " found in source tables");
}

void TDataQuery::ParseFromSources(bool updateFrom) {
    dbengine::TExpressionParser& p = Parser();
    const std::string missing = "Table name expected after FROM keyword, instead found '";
    p.NextToken();  // FROM
    int openParens = 0;
    for (bool first = true;; first = false) {
        while (p.IsTokenKind('(')) {
            ++openParens;
            p.NextToken();
        }
        if (updateFrom && first) {
            // The first source names the updated table again.
            const TSourceTable* target = SourceTables.front().get();
            bool memory = Keyword("MEMORY");
            std::string text = ParseTableReference(nullptr, missing);
            std::string correlation;
            const bool correlated = ParseCorrelationName(correlation, false);
            std::replace(text.begin(), text.end(), '/', '\\');
            if ((memory && !target->InMemory) ||
                !framework::AnsiSameText(dbengine::ExtractTableName(text, ".DAT"), target->TableName) ||
                (correlated && !framework::AnsiSameText(correlation, target->CorrelationName)))
                SqlError(
                    "The first source table specified in FROM clause must match the table being updated in "
                    "the "
                    "UPDATE statement");
        } else {
            TSourceTable* table = AddSourceTable(false);
            table->SetTableName(ParseTableReference(table, missing));
            std::string correlation;
            if (ParseCorrelationName(correlation, false)) table->SetCorrelationName(correlation);
            CheckDuplicateCorrelation(table);
        }
        ParseJoins(openParens);
        if (!p.IsTokenKind(',')) break;
        HasJoins = true;
        p.NextToken();
    }
}

void TDataQuery::ParseJoins(int& openParens) {
    dbengine::TExpressionParser& p = Parser();
    bool joined = false;
    for (;;) {
        uint8_t joinKind;
        if (Keyword("JOIN")) {
            p.NextToken();
            joinKind = 1;
        } else if (Keyword("INNER")) {
            p.NextToken();
            ExpectKeyword("JOIN", "JOIN keyword expected after INNER keyword, instead found '");
            joinKind = 1;
        } else if (Keyword("LEFT") || Keyword("RIGHT")) {
            const bool left = Keyword("LEFT");
            p.NextToken();
            if (Keyword("OUTER")) p.NextToken();
            ExpectKeyword("JOIN",
                          left ? "JOIN keyword expected after LEFT or OUTER keyword, instead found '"
                               : "JOIN keyword expected after RIGHT or OUTER keyword, instead found '");
            joinKind = left ? 2 : 3;
        } else {
            break;
        }
        joined = true;
        HasJoins = true;
        TSourceTable* table = AddSourceTable(joinKind == 3);
        table->SetTableName(
            ParseTableReference(table, "Table name expected after JOIN keyword, instead found '"));
        std::string correlation;
        if (ParseCorrelationName(correlation, true)) table->SetCorrelationName(correlation);
        CheckDuplicateCorrelation(table);
        ExpectKeyword("ON", "ON keyword expected in JOIN clause, instead found '");
        TExpToken* condition =
            ParseItem("WHERE or JOIN clause", dbengine::AllowPredicates | dbengine::AllowParameters,
                      TItemLevel::Expression, "WHERE or JOIN clause is empty");
        OnClauses.push_back({joinKind, table});
        MarkJoinCondition(condition, joinKind, static_cast<uint8_t>(std::min<size_t>(OnClauses.size(), 255)));
        AndIntoWhere(condition);
        HasWhere = true;
        for (; openParens > 0; --openParens) {
            if (!p.IsTokenKind(')')) SqlError("Mismatched join parentheses");
            p.NextToken();
        }
    }
    if (joined && Keyword("FULL"))
        SqlError("Full outer joins are currently not supported in database engine SQL SELECT statements");
}

void TDataQuery::ParseWhere() {
    if (!Keyword("WHERE")) return;
    Parser().NextToken();
    HasWhere = true;
    AndIntoWhere(ParseItem("WHERE or JOIN clause",
                           dbengine::AllowPredicates | dbengine::AllowParameters | dbengine::AllowSubSelects,
                           TItemLevel::Expression, "WHERE or JOIN clause is empty"));
}

void TDataQuery::ParseColumnItem(std::string& tableName, std::string& columnName, int16_t& columnNumber,
                                 const std::string& message) {
    dbengine::TExpressionParser& p = Parser();
    if (p.IsNameToken()) {
        std::string first = ConsumeText();
        if (p.IsTokenKind('.')) {
            p.NextToken();
            tableName = first;
            columnName = ConsumeText();
        } else {
            columnName = first;
        }
    } else if (p.IsTokenKind(dbengine::etInteger)) {
        columnNumber = static_cast<int16_t>(ConsumeInteger(0, INT16_MAX, message));
    } else {
        ExpectedFound(message);
    }
}

void TDataQuery::ParseGroupBy() {
    if (!Keyword("GROUP")) return;
    dbengine::TExpressionParser& p = Parser();
    p.NextToken();
    ExpectKeyword("BY", "BY keyword expected after GROUP keyword, instead found '");
    HasGroupBy = true;
    for (;;) {
        GroupByFields.push_back(std::make_unique<TGroupByField>(this));
        TGroupByField& item = *GroupByFields.back();
        ParseColumnItem(item.TableName, item.ColumnName, item.ColumnNumber,
                        "Column name or column number expected in GROUP BY clause, instead found '");
        if (!p.IsTokenKind(',')) break;
        p.NextToken();
    }
}

void TDataQuery::ParseHaving() {
    if (!Keyword("HAVING")) return;
    Parser().NextToken();
    HasHaving = true;
    HavingCondition = ParseItem("HAVING clause", dbengine::AllowAggregates, TItemLevel::Expression,
                                "HAVING clause is empty");
}

void TDataQuery::ParseOrderBy() {
    if (!Keyword("ORDER")) return;
    dbengine::TExpressionParser& p = Parser();
    p.NextToken();
    ExpectKeyword("BY", "BY keyword expected after ORDER keyword, instead found '");
    HasOrderBy = true;
    for (;;) {
        OrderByFields.push_back(std::make_unique<TOrderByField>(this));
        TOrderByField& item = *OrderByFields.back();
        ParseColumnItem(item.TableName, item.ColumnName, item.ColumnNumber,
                        "Column name or column number expected in ORDER BY clause, instead found '");
        if (AnyKeyword({"ASC", "ASCENDING"})) {
            p.NextToken();
        } else if (AnyKeyword({"DESC", "DESCENDING"})) {
            item.Descending = true;
            p.NextToken();
        }
        if (!p.IsTokenKind(',')) break;
        p.NextToken();
    }
    if (Keyword("NOCASE")) {
        OrderByNoCase = true;
        p.NextToken();
    }
}

void TDataQuery::ParseTop() {
    if (!Keyword("TOP")) return;
    Parser().NextToken();
    TopCount = static_cast<int32_t>(
        ConsumeInteger(0, INT32_MAX, "Integer value expected after TOP keyword, instead found '"));
}

void TDataQuery::ParseWithLocks() {
    if (!Keyword("WITH")) return;
    Parser().NextToken();
    ExpectKeyword("LOCKS", "LOCKS keyword expected after WITH keyword, instead found '");
    LockSourceTables = true;
}

void TDataQuery::ParseUnion() {
    if (HasOrderBy) SqlError("You cannot use an ORDER BY clause within a UNIONed query");
    dbengine::TExpressionParser& p = Parser();
    p.NextToken();  // UNION
    HasUnion = true;
    RequestLive = true;
    std::unique_ptr<dbengine::TDataQuery> created = Statement->CreateQuery();
    auto* part = static_cast<TDataQuery*>(created.get());
    Statement->AddQuery(std::move(created));
    UnionQuery = part;
    part->RequestLive = true;
    part->FInsertSource = FInsertSource;
    UnionAll = Keyword("ALL");
    if (UnionAll) p.NextToken();
    part->ParseStatement(false, true, this);
}

// ---- INSERT, UPDATE, DELETE ----

// An INSERT column or UPDATE SET target: a text constant stands for the column of that name.
void TDataQuery::ParseUpdateField(TItemLevel level) {
    dbengine::TExpressionParser& p = Parser();
    UpdateFields.push_back(std::make_unique<TUpdateField>(this));
    TUpdateField* field = UpdateFields.back().get();
    p.MarkTextStart();
    field->ColumnExpression = ParseItem("table column", 0, level, "Table column name is empty");
    field->ColumnText = p.GetMarkedText();
    const TExpToken* column = field->ColumnExpression;
    if (column->Kind == dbengine::tkConstant && column->DataType == dbengine::fldString) {
        field->ColumnName = column->Text;
    } else {
        field->ColumnName = column->ColumnName;
        field->TableName = column->TableName;
    }
}

void TDataQuery::ParseUpdateValue() {
    dbengine::TExpressionParser& p = Parser();
    UpdateValues.push_back(std::make_unique<TUpdateValue>(this));
    TUpdateValue* value = UpdateValues.back().get();
    p.MarkTextStart();
    value->ValueExpression = ParseItem("value expression", dbengine::AllowParameters, TItemLevel::Expression,
                                       "Value expression is empty");
    value->ValueText = p.GetMarkedText();
}

void TDataQuery::ParseInsert() {
    dbengine::TExpressionParser& p = Parser();
    RequestLive = true;
    p.NextToken();  // INSERT
    ExpectKeyword("INTO", "INTO keyword expected, instead found '");
    if (!p.IsNameToken()) ExpectedFound("Table name expected after INTO clause, instead found '");
    TSourceTable* table = AddSourceTable(false);
    table->SetTableName(
        ParseTableReference(table, "Table name expected after INTO keyword, instead found '"));
    if (p.IsNameToken() && !Keyword("VALUES") && !Keyword("SELECT")) table->SetCorrelationName(ConsumeText());

    bool parenthesizedSelect = false;
    bool columnList = false;
    if (p.IsTokenKind('(')) {
        p.NextToken();
        parenthesizedSelect = Keyword("SELECT");
        columnList = !parenthesizedSelect;
    }
    if (columnList) {
        for (;;) {
            ParseUpdateField(TItemLevel::Expression);
            if (!p.IsTokenKind(',')) break;
            p.NextToken();
        }
        ExpectSymbol(')', "Right parentheses expected after list of table columns, instead found '");
    } else {
        UpdateFields.push_back(std::make_unique<TUpdateField>(this));
        UpdateFields.back()->ColumnName = "*";
    }

    if (!parenthesizedSelect && Keyword("VALUES")) {
        p.NextToken();
        ExpectSymbol('(', "Left parentheses expected after VALUES keyword, instead found '");
        for (;;) {
            ParseUpdateValue();
            if (!p.IsTokenKind(',')) break;
            p.NextToken();
        }
        ExpectSymbol(')', "Right parentheses expected after list of values, instead found '");
    } else if (Keyword("SELECT")) {
        InsertFromSelect = true;
        std::unique_ptr<dbengine::TDataQuery> created = Statement->CreateQuery();
        auto* source = static_cast<TDataQuery*>(created.get());
        Statement->AddQuery(std::move(created));
        InsertSource = source;
        source->RequestLive = true;
        source->FInsertSource = true;
        source->ParseStatement(true, false, nullptr);
        if (parenthesizedSelect) {
            source->Parenthesized = true;
            ExpectSymbol(')', "Right parentheses expected after SELECT statement, instead found '");
        }
    } else {
        ExpectedFound("VALUES or SELECT  keyword expected, instead found '");
    }
    if (Keyword("NOAUTOINC")) {
        NoAutoInc = true;
        p.NextToken();
    }
    ParseCommitClause();
    CheckEndOfStatement();
}

void TDataQuery::ParseUpdate() {
    dbengine::TExpressionParser& p = Parser();
    RequestLive = true;
    p.NextToken();  // UPDATE
    const std::string missing = "Table name expected, instead found '";
    if (!p.IsNameToken()) ExpectedFound(missing);
    TSourceTable* table = AddSourceTable(false);
    table->SetTableName(ParseTableReference(table, missing));
    if (Keyword("AS")) {
        p.NextToken();
        if (!p.IsNameToken()) ExpectedFound("Symbol or string expected after AS keyword, instead found '");
        table->SetCorrelationName(ConsumeText());
    } else if (p.IsNameToken() && !Keyword("SET")) {
        table->SetCorrelationName(ConsumeText());
    }
    ExpectKeyword("SET", "SET keyword expected, instead found '");
    for (;;) {
        ParseUpdateField(TItemLevel::Primary);
        ExpectSymbol('=', "Assignment (=) operator expected after column name, instead found '");
        ParseUpdateValue();
        if (!p.IsTokenKind(',')) break;
        p.NextToken();
    }
    if (Keyword("FROM")) ParseFromSources(true);
    ParseWhere();
    if (Keyword("NOAUTOINC")) {
        NoAutoInc = true;
        p.NextToken();
    }
    ParseCommitClause();
    if (Keyword("NOJOINOPTIMIZE")) {
        NoJoinOptimize = true;
        p.NextToken();
    }
    CheckEndOfStatement();
}

void TDataQuery::ParseDelete() {
    dbengine::TExpressionParser& p = Parser();
    RequestLive = true;
    p.NextToken();  // DELETE
    if (!Keyword("FROM")) ExpectedFound("FROM keyword expected, instead found '");
    ParseFromSources(false);
    ParseWhere();
    ParseCommitClause();
    if (Keyword("NOJOINOPTIMIZE")) {
        NoJoinOptimize = true;
        p.NextToken();
    }
    CheckEndOfStatement();
}

void TDataQuery::ParseCommitClause() {
    if (!Keyword("COMMIT")) return;
    dbengine::TExpressionParser& p = Parser();
    p.NextToken();
    if (Keyword("INTERVAL")) {
        p.NextToken();
        CommitInterval = static_cast<int32_t>(
            ConsumeInteger(0, INT32_MAX, "Integer value expected after INTERVAL keyword, instead found '"));
        CommitIntervalGiven = true;
        if (Keyword("FLUSH")) {
            CommitFlush = true;
            p.NextToken();
        }
    } else if (Keyword("FLUSH")) {
        CommitFlush = true;
        p.NextToken();
    } else {
        ExpectedFound("INTERVAL and/or FLUSH keywords expected after COMMIT keyword, instead found '");
    }
}

void TDataQuery::ParseTransaction() {
    dbengine::TExpressionParser& p = Parser();
    p.NextToken();  // TRANSACTION, ROLLBACK or COMMIT
    if (Kind != skStartTransaction && Keyword("WORK")) p.NextToken();
    if (Kind == skCommit && Keyword("FLUSH")) {
        CommitFlush = true;
        p.NextToken();
    }
    CheckEndOfStatement();
}

}  // namespace dbsql
