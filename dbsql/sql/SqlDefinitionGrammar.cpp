// The grammar of CREATE TABLE, CREATE INDEX, ALTER TABLE, DROP TABLE and DROP INDEX, with the
// column definitions, keys and table options they share.

#include <cstdint>
#include <string>

#include "dbengine/expr/ExpEvaluate.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/expr/ExpressionParser.h"
#include "dbengine/expr/ValueTypes.h"
#include "dbengine/session/TableLanguages.h"
#include "dbsql/sql/DataQuery.h"
#include "dbsql/sql/QueryStatement.h"

namespace dbsql {

using dbengine::TExpToken;
using dbengine::TExpTreeHolder;

namespace {

// The characters of a string constant up to its zero byte; empty for NULL.
std::string StringConstantText(const TExpToken* node) {
    std::string text;
    if (node->IsNull || node->Data == nullptr) return text;
    for (int32_t i = 0; i < node->DataSize && node->Data[size_t(i)] != 0; ++i)
        text += static_cast<char>(node->Data[size_t(i)]);
    return text;
}

bool IsStringConstant(const TExpToken* node) {
    return node->Kind == dbengine::tkConstant && node->DataType == dbengine::fldString;
}

}  // namespace

// ---- Shared pieces ----

void TDataQuery::ParseTableTarget(const std::string& missingMessage) {
    dbengine::TExpressionParser& p = Parser();
    if (!p.IsNameToken()) ExpectedFound(missingMessage);
    if (Keyword("MEMORY")) {
        InMemory = true;
        p.NextToken();
        if (!p.IsNameToken()) ExpectedFound(missingMessage);
    }
    TargetTableName = ConsumeText();
    if (p.IsTokenKind('\\')) {
        p.NextToken();
        if (!p.IsNameToken()) ExpectedFound(missingMessage);
        TargetTableName += "\\" + ConsumeText();
    }
}

void TDataQuery::ParseIfNotExists() {
    if (!Keyword("IF")) return;
    Parser().NextToken();
    ExpectKeyword("NOT", "NOT keyword expected after IF keyword, instead found '");
    ExpectKeyword("EXISTS", "EXISTS keyword expected after NOT keyword, instead found '");
    IfNotExists = true;
}

void TDataQuery::ParseIfExists() {
    if (!Keyword("IF")) return;
    Parser().NextToken();
    ExpectKeyword("EXISTS", "EXISTS keyword expected after IF keyword, instead found '");
    IfExists = true;
}

void TDataQuery::ParseColumnDefinition(TCreateField* field, bool typeRequired) {
    dbengine::TExpressionParser& p = Parser();
    field->Definition = ParseItem("table column", 0, TItemLevel::Primary, "Table column name is empty");
    // A column name written as a text constant counts as a name.
    if (IsStringConstant(field->Definition)) field->Definition->ColumnName = field->Definition->Text;
    const std::string saved = p.ContextText;
    p.ContextText = "table column";
    try {
        p.ParseDataType(field->Definition, 0, !typeRequired);
    } catch (...) {
        p.ContextText = saved;
        throw;
    }
    p.ContextText = saved;
}

void TDataQuery::ParseColumnOptions(TCreateField* field, bool alter) {
    dbengine::TExpressionParser& p = Parser();
    if (alter && Keyword("AT")) {
        p.NextToken();
        field->Position = static_cast<int16_t>(
            ConsumeInteger(0, INT16_MAX, "Integer value expected after AT keyword, instead found '"));
    }
    if (Keyword("DESCRIPTION")) {
        p.NextToken();
        field->Description = ConsumeText();
        field->DescriptionGiven = true;
    }
    if (Keyword("NOT")) {
        p.NextToken();
        ExpectKeyword("NULL", "NULL keyword expected after NOT keyword, instead found '");
        field->Required = true;
        field->RequiredGiven = true;
    }
    if (Keyword("DEFAULT")) {
        p.NextToken();
        field->DefaultValue = ConsumeText();
        field->DefaultGiven = true;
    }
    if (AnyKeyword({"MIN", "MINIMUM"})) {
        p.NextToken();
        field->MinValue = ConsumeText();
        field->MinGiven = true;
    }
    if (AnyKeyword({"MAX", "MAXIMUM"})) {
        p.NextToken();
        field->MaxValue = ConsumeText();
        field->MaxGiven = true;
    }
    if (Keyword("CHARCASE")) {
        p.NextToken();
        if (Keyword("UPPER"))
            field->CharCase = 2;
        else if (Keyword("LOWER"))
            field->CharCase = 1;
        else if (Keyword("NOCHANGE"))
            field->CharCase = 0;
        else
            ExpectedFound(
                "UPPER, LOWER, or NOCHANGE keyword expected after CHARCASE keyword, instead found '");
        p.NextToken();
        field->CharCaseGiven = true;
    }
}

bool TDataQuery::IsKeyStart() const {
    return AnyKeyword(
        {"CONSTRAINT", "PRIMARY", "UNIQUE", "ASC", "ASCENDING", "DESC", "DESCENDING", "NOCASE"});
}

void TDataQuery::ParseKeyOptions(TCreateIndex* index) {
    dbengine::TExpressionParser& p = Parser();
    if (Keyword("UNIQUE")) {
        index->Unique = true;
        p.NextToken();
    }
    if (AnyKeyword({"ASC", "ASCENDING"})) {
        p.NextToken();
    } else if (AnyKeyword({"DESC", "DESCENDING"})) {
        index->Descending = true;
        p.NextToken();
    }
    if (Keyword("NOCASE")) {
        index->NoCase = true;
        p.NextToken();
    }
}

void TDataQuery::ParseKeyColumns(TCreateIndex* index) {
    dbengine::TExpressionParser& p = Parser();
    ExpectSymbol('(', "Left parentheses expected, instead found '");
    for (;;) {
        p.MarkTextStart();
        index->Columns.push_back(
            ParseItem("index column", 0, TItemLevel::Primary, "Index column name is empty"));
        index->ColumnText = p.GetMarkedText();
        const TExpToken* column = index->Columns.back();
        if (column->Kind == dbengine::tkColumn && !column->TableName.empty())
            SqlError("Invalid use of table correlation name '" + column->TableName + "'" +
                     " specified in indexed columns");
        if (!p.IsTokenKind(',')) break;
        p.NextToken();
    }
    ExpectSymbol(')', "Right parentheses expected, instead found '");
}

void TDataQuery::ParseCompress(TCreateIndex* index) {
    if (!Keyword("COMPRESS")) return;
    dbengine::TExpressionParser& p = Parser();
    p.NextToken();
    if (Keyword("FULL"))
        index->Compression = icFull;
    else if (Keyword("DUPBYTE"))
        index->Compression = icDupByte;
    else if (Keyword("TRAILBYTE"))
        index->Compression = icTrailByte;
    else if (Keyword("NONE"))
        index->Compression = icNone;
    else
        ExpectedFound(
            "FULL, DUPBYTE, TRAILBYTE, or NONE keyword expected after COMPRESS keyword, instead found '");
    p.NextToken();
}

// Key options, PRIMARY KEY, the key columns and COMPRESS; a CONSTRAINT and its name go first.
void TDataQuery::ParsePrimaryKey(TCreateIndex* index) {
    ParseKeyOptions(index);
    ExpectKeyword("PRIMARY", "PRIMARY keyword expected, instead found '");
    ExpectKeyword("KEY", "KEY keyword expected after PRIMARY keyword, instead found '");
    ParseKeyColumns(index);
    ParseCompress(index);
}

void TDataQuery::SkipConstraint() {
    if (!Keyword("CONSTRAINT")) return;
    Parser().NextToken();
    Parser().NextToken();
}

std::string TDataQuery::ParseConstantText(const char* context, const char* emptyMessage) {
    TExpTreeHolder constant(ParseItem(context, 0, TItemLevel::Primary, emptyMessage));
    // A bare word stands for itself.
    return IsStringConstant(constant.get()) ? StringConstantText(constant.get()) : constant->Text;
}

void TDataQuery::ParseTextIndex() {
    dbengine::TExpressionParser& p = Parser();
    p.NextToken();  // TEXT
    ExpectKeyword("INDEX", "INDEX keyword expected after TEXT keyword, instead found '");
    TextIndex = std::make_unique<TCreateIndex>(this);
    ExpectSymbol('(', "Left parentheses expected after TEXTINDEX keyword, instead found '");
    for (;;) {
        p.MarkTextStart();
        TextIndex->Columns.push_back(
            ParseItem("index column", 0, TItemLevel::Primary, "Index column name is empty"));
        TextIndex->ColumnText = p.GetMarkedText();
        if (!p.IsTokenKind(',')) break;
        p.NextToken();
    }
    ExpectSymbol(')', "Right parentheses expected after TEXT INDEX clause, instead found '");
    if (Keyword("STOP")) {
        p.NextToken();
        ExpectKeyword("WORDS", "WORDS keyword expected after STOP keyword, instead found '");
        const std::string words = ParseConstantText("stop words", "Stop words are empty");
        StopWords.clear();
        // Split at single blanks: two blanks in a row give an empty word.
        if (!words.empty()) {
            size_t start = 0;
            for (;;) {
                const size_t blank = words.find(' ', start);
                StopWords.push_back(words.substr(start, blank - start));
                if (blank == std::string::npos) break;
                start = blank + 1;
            }
        }
        StopWordsGiven = true;
    }
    if (Keyword("SPACE")) {
        p.NextToken();
        ExpectKeyword("CHARS", "CHARS keyword expected after SPACE keyword, instead found '");
        for (unsigned char c : ParseConstantText("character set", "Character set is empty"))
            SpaceChars.set(c);
    }
    if (Keyword("INCLUDE")) {
        p.NextToken();
        ExpectKeyword("CHARS", "CHARS keyword expected after INCLUDE keyword, instead found '");
        for (unsigned char c : ParseConstantText("character set", "Character set is empty"))
            IncludeChars.set(c);
    }
}

void TDataQuery::ParseLanguage() {
    if (!Keyword("LANGUAGE")) return;
    dbengine::TExpressionParser& p = Parser();
    p.NextToken();
    const std::string language = p.GetTokenText();
    if (!dbengine::IsTableLanguageName(language))
        SqlError("Invalid language constant '" + language + "'" + " specified after LANGUAGE keyword");
    LanguageId = dbengine::GetTableLanguageId(language);
    LanguageGiven = true;
    p.NextToken();
    if (!Keyword("SORT")) return;
    p.NextToken();
    const std::string sort = p.GetTokenText();
    if (!dbengine::IsSortOrderName(LanguageId, sort))
        SqlError("Invalid sort constant '" + sort + "'" + " specified after SORT keyword");
    SortId = dbengine::GetSortOrderId(LanguageId, sort);
    SortGiven = true;
    p.NextToken();
}

void TDataQuery::ParseEncrypted() {
    if (!Keyword("ENCRYPTED")) return;
    Parser().NextToken();
    ExpectKeyword("WITH", "WITH keyword expected after ENCRYPTED keyword, instead found '");
    Password = ConsumeText();
    Encrypted = !Password.empty();
    EncryptedGiven = true;
}

void TDataQuery::ParseTableOptions(bool alter) {
    dbengine::TExpressionParser& p = Parser();
    if (Keyword("TEXT")) ParseTextIndex();
    if (Keyword("DESCRIPTION")) {
        p.NextToken();
        Description = ConsumeText();
        DescriptionGiven = true;
    }
    if (Keyword("BLOB")) {
        p.NextToken();
        ExpectKeyword("BLOCK", "BLOCK keyword expected after BLOB keyword, instead found '");
        ExpectKeyword("SIZE", "SIZE keyword expected after BLOCK keyword, instead found '");
        BlobBlockSize = static_cast<uint16_t>(
            ConsumeInteger(0, UINT16_MAX, "Integer value expected after SIZE keyword, instead found '"));
        BlobBlockSizeGiven = true;
    }
    ParseLanguage();
    ParseEncrypted();
    // Both versions may be given, in either order.
    for (int i = 0; i < 2 && Keyword("USER"); ++i) {
        p.NextToken();
        const bool major = Keyword("MAJOR");
        if (!major && !Keyword("MINOR"))
            ExpectedFound("MAJOR or MINOR keyword expected after USER keyword, instead found '");
        p.NextToken();
        ExpectKeyword("VERSION", major ? "VERSION keyword expected after MAJOR keyword, instead found '"
                                       : "VERSION keyword expected after MINOR keyword, instead found '");
        const auto version = static_cast<uint16_t>(
            ConsumeInteger(0, UINT16_MAX, "Integer value expected after VERSION keyword, instead found '"));
        if (major) {
            UserMajorVersion = version;
            UserMajorVersionGiven = true;
        } else {
            UserMinorVersion = version;
            UserMinorVersionGiven = true;
        }
    }
    if (Keyword("LAST")) {
        p.NextToken();
        ExpectKeyword("AUTOINC", "AUTOINC keyword expected after LAST keyword, instead found '");
        ParseLastAutoInc();
    }
    if (alter && Keyword("NOBACKUP")) {
        NoBackup = true;
        p.NextToken();
    }
}

void TDataQuery::ParseLastAutoInc() {
    dbengine::TExpressionParser& p = Parser();
    p.MarkTextStart();
    TExpTreeHolder value(
        ParseItem("next auto-increment number", 0, TItemLevel::Unary, "Next auto-increment number is empty"));
    const std::string written = p.GetMarkedText();
    const TExpToken* constant = value.get();
    bool negative = false;
    if (constant->Kind == dbengine::tkUnary) {
        negative = constant->Code == dbengine::ecNegate;
        constant = constant->Left;
    }
    // -1 keeps the counter; anything else must fit the unsigned 32-bit counter.
    bool valid = constant != nullptr && constant->Kind == dbengine::tkConstant && !constant->IsNull &&
                 (constant->DataType == dbengine::fldInteger || constant->DataType == dbengine::fldLargeInt);
    int64_t number = 0;
    if (valid) {
        number = dbengine::ExpIntegerValue(constant);
        if (negative) number = -number;
        valid = number >= -1 && number <= int64_t(UINT32_MAX);
    }
    if (!valid) SqlError("Integer constant expected after AUTOINC keyword, instead found '" + written + "'");
    LastAutoInc = static_cast<uint32_t>(number);
}

// ---- Statements ----

void TDataQuery::ParseCreateTable() {
    dbengine::TExpressionParser& p = Parser();
    p.NextToken();  // TABLE
    ParseIfNotExists();
    ParseTableTarget("Table name expected after CREATE TABLE keywords, instead found '");
    ExpectSymbol('(', "Left parentheses expected before list of table columns, instead found '");
    while (!IsKeyStart() && !AnyKeyword({"TEXT", "DESCRIPTION", "BLOB", "LANGUAGE", "ENCRYPTED", "USER"}) &&
           !p.IsTokenKind(')')) {
        CreateFields.push_back(std::make_unique<TCreateField>(this));
        TCreateField* field = CreateFields.back().get();
        p.MarkTextStart();
        ParseColumnDefinition(field, true);
        field->DefinitionText = p.GetMarkedText();
        if (!p.IsTokenKind(',')) ParseColumnOptions(field, false);
        if (!p.IsTokenKind(',')) break;
        p.NextToken();
    }
    if (IsKeyStart()) {
        SkipConstraint();
        CreateIndexes.push_back(std::make_unique<TCreateIndex>(this));
        ParsePrimaryKey(CreateIndexes.back().get());
    }
    ParseTableOptions(false);
    ExpectSymbol(')', "Right parentheses expected after CREATE TABLE statement, instead found '");
    CheckEndOfStatement();
}

void TDataQuery::ParseCreateIndex() {
    dbengine::TExpressionParser& p = Parser();
    CreateIndexes.push_back(std::make_unique<TCreateIndex>(this));
    TCreateIndex* index = CreateIndexes.back().get();
    ParseKeyOptions(index);
    ExpectKeyword("INDEX", "INDEX keyword expected, instead found '");
    ParseIfNotExists();
    if (!p.IsNameToken()) ExpectedFound("Index name expected after INDEX keyword, instead found '");
    index->IndexName = ConsumeText();
    ExpectKeyword("ON", "ON keyword expected after index name, instead found '");
    ParseTableTarget("Table name expected after ON keyword, instead found '");
    ParseKeyColumns(index);
    ParseCompress(index);
    CheckEndOfStatement();
}

void TDataQuery::ParseAlterTable() {
    dbengine::TExpressionParser& p = Parser();
    p.NextToken();  // TABLE
    ParseTableTarget("Table name expected after ALTER TABLE keywords, instead found '");
    while (AnyKeyword({"ADD", "REDEFINE", "DROP"})) {
        const bool add = Keyword("ADD");
        const bool drop = Keyword("DROP");
        p.NextToken();
        if (drop && AnyKeyword({"CONSTRAINT", "PRIMARY"})) {
            SkipConstraint();
            CreateIndexes.push_back(std::make_unique<TCreateIndex>(this));
            CreateIndexes.back()->IsDrop = true;
            ExpectKeyword("PRIMARY", "PRIMARY keyword expected, instead found '");
            ExpectKeyword("KEY", "KEY keyword expected after PRIMARY keyword, instead found '");
        } else if (!drop && IsKeyStart()) {
            SkipConstraint();
            CreateIndexes.push_back(std::make_unique<TCreateIndex>(this));
            TCreateIndex* index = CreateIndexes.back().get();
            index->IsAdd = add;
            index->IsRedefine = !add;
            ParsePrimaryKey(index);
        } else {
            if (Keyword("COLUMN")) p.NextToken();
            CreateFields.push_back(std::make_unique<TCreateField>(this));
            TCreateField* field = CreateFields.back().get();
            field->IsAdd = add;
            field->IsRedefine = !add && !drop;
            field->IsDrop = drop;
            p.MarkTextStart();
            ParseColumnDefinition(field, add);
            if (field->IsRedefine && !p.GetTokenText().empty() && !p.IsTokenKind(';') &&
                !p.IsTokenKind(',') &&
                !AnyKeyword({"AT", "DESCRIPTION", "NOT", "DEFAULT", "MIN", "MINIMUM", "MAX", "MAXIMUM",
                             "CHARCASE"})) {
                // REDEFINE old new-definition: the new definition keeps the old name's tree.
                TExpToken* oldName = field->Definition;
                field->Definition = nullptr;
                try {
                    ParseColumnDefinition(field, false);
                } catch (...) {
                    dbengine::FreeExpTree(oldName);
                    throw;
                }
                field->Definition->Third = oldName;
            }
            field->DefinitionText = p.GetMarkedText();
            if (!drop && !p.IsTokenKind(',')) ParseColumnOptions(field, true);
        }
        if (!p.IsTokenKind(',')) break;
        p.NextToken();
    }
    ParseTableOptions(true);
    CheckEndOfStatement();
}

void TDataQuery::ParseDropTable() {
    Parser().NextToken();  // TABLE
    ParseIfExists();
    ParseTableTarget("Table name expected after DROP TABLE keywords, instead found '");
    CheckEndOfStatement();
}

void TDataQuery::ParseDropIndex() {
    dbengine::TExpressionParser& p = Parser();
    const std::string missing = "Table name expected after DROP INDEX keywords, instead found '";
    p.NextToken();  // INDEX
    ParseIfExists();
    if (!p.IsNameToken()) ExpectedFound(missing);
    if (Keyword("MEMORY")) {
        InMemory = true;
        p.NextToken();
        if (!p.IsNameToken()) ExpectedFound(missing);
    }
    // table.index as a qualified column; the table part is taken as written, folder and all.
    auto parseReference = [&](std::string& tablePart, std::string& indexPart) {
        const std::string first = p.GetTokenText();
        TExpTreeHolder reference(
            ParseItem("index name expression", 0, TItemLevel::Primary, "Index name expression is empty"));
        const TExpToken* node = reference.get();
        if (node->Kind == dbengine::tkColumn && !node->TableName.empty()) {
            tablePart = first;
            indexPart = node->ColumnName;
        } else {
            tablePart.clear();
            indexPart = node->Kind == dbengine::tkColumn ? node->ColumnName : node->Text;
        }
    };
    std::string tablePart, indexPart;
    const std::string firstName = p.GetTokenText();
    parseReference(tablePart, indexPart);
    if (p.IsTokenKind('\\')) {
        // The first name was a folder.
        p.NextToken();
        if (!p.IsNameToken()) ExpectedFound(missing);
        parseReference(tablePart, indexPart);
        tablePart = firstName + "\\" + tablePart;
    }
    TargetTableName = tablePart;
    IndexName = indexPart;
    CheckEndOfStatement();
}

}  // namespace dbsql
