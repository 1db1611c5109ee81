#pragma once
// The expression parser: a scanner over the text of a filter or SQL statement and the
// recursive-descent grammar that builds TExpToken trees from it.
//
// One token of look-ahead: the current token is the next one not yet consumed. Every error is
// raised as EDbEngineError with the parser's ErrorCode, DatabaseName and TableName and a message
// ending in " in " + ContextText. A parse that raises gives every node it built back to the
// token pool.

#include <cstdint>
#include <string>
#include <string_view>

#include "dbengine/expr/ExpToken.h"
#include "dbengine/util/EngineError.h"
#include "framework/core/Object.h"

namespace dbengine {

class TQueryStatement;

// Token kinds of the scanner; any other value is a single character, the kind being its code.
constexpr uint8_t etEnd = 0;
constexpr uint8_t etName = 1;
constexpr uint8_t etBracketName = 2;
constexpr uint8_t etSingleQuoted = 3;
constexpr uint8_t etDoubleQuoted = 4;
constexpr uint8_t etCharConstant = 5;
constexpr uint8_t etInteger = 6;
constexpr uint8_t etFloat = 7;

// Parentheses, function calls and sub-selects nest at most this deep in one parse.
constexpr int MaxExpNesting = 200;

// Allow flags of the parse operations.
constexpr uint8_t AllowAggregates = 1;
constexpr uint8_t AllowAllColumns = 2;
constexpr uint8_t AllowPredicates = 4;
constexpr uint8_t AllowParameters = 8;
constexpr uint8_t AllowSubSelects = 16;

// The local date and time that CURRENT_DATE, CURRENT_TIME and CURRENT_TIMESTAMP take, from the
// class library's clock seam, as a timestamp (day number * 86,400,000 + milliseconds).
double ExpressionClockNow();

class TExpressionParser : public framework::TObject {
public:
    // Owner is the cursor or statement that drives the parser; when Statement is given, "?"
    // markers join its parameter list and IN (SELECT ...) creates its sub-select queries.
    explicit TExpressionParser(void* Owner = nullptr, TQueryStatement* Statement = nullptr);
    ~TExpressionParser() override;
    TExpressionParser(const TExpressionParser&) = delete;
    TExpressionParser& operator=(const TExpressionParser&) = delete;

    void* Owner;
    TQueryStatement* Statement;
    TEngineErrorCode ErrorCode = 0;
    std::string DatabaseName;
    std::string TableName;
    std::string ContextText;

    // ---- Scanner ----
    void SetExpression(std::string_view Text);
    void ClearExpression();
    uint8_t NextToken();
    uint8_t TokenKind() const { return FTokenKind; }
    std::string GetTokenText() const;
    bool IsNameToken() const { return FTokenKind >= etName && FTokenKind <= etDoubleQuoted; }
    // A plain name equal to Word, ignoring the case of ASCII letters.
    bool IsKeyword(std::string_view Word) const;
    bool IsTokenKind(int Kind) const { return FTokenKind == Kind; }
    void MarkTextStart();
    // Source text from the mark to the end of the last consumed token, without line breaks.
    std::string GetMarkedText() const;
    // Raises the parser's error with the message (cut to 255 characters).
    [[noreturn]] void RaiseParseError(const std::string& Message) const;

    // ---- Grammar ----
    TExpToken* ParseExpression(uint8_t Flags);
    TExpToken* ParseAnd(uint8_t Flags);
    TExpToken* ParseNot(uint8_t Flags);
    TExpToken* ParseComparison(uint8_t Flags);
    TExpToken* ParseAdditive(uint8_t Flags);
    TExpToken* ParseMultiplicative(uint8_t Flags);
    TExpToken* ParseUnary(uint8_t Flags);
    TExpToken* ParsePrimary(uint8_t Flags);
    // Reads a data type name and its arguments into Node (type, subtype, arguments 1 and 2).
    // A token that is no type name raises, or with Optional leaves everything untouched.
    void ParseDataType(TExpToken* Node, uint8_t Flags, bool Optional);

    static bool IsUpperOfColumn(const TExpToken* Node);
    static bool IsTextSearchCall(const TExpToken* Node);

private:
    using Level = TExpToken* (TExpressionParser::*)(uint8_t);
    // Runs a grammar level as a public entry: when it raises, the parameters it added to the
    // statement's list (already given back to the pool) are taken off the list again.
    TExpToken* Guarded(Level level, uint8_t Flags);
    TExpToken* DoParseExpression(uint8_t Flags);
    TExpToken* DoParseAnd(uint8_t Flags);
    TExpToken* DoParseNot(uint8_t Flags);
    TExpToken* DoParseComparison(uint8_t Flags);
    TExpToken* DoParseAdditive(uint8_t Flags);
    TExpToken* DoParseMultiplicative(uint8_t Flags);
    TExpToken* DoParseUnary(uint8_t Flags);
    TExpToken* DoParsePrimary(uint8_t Flags);
    TExpToken* ParseFunction(uint8_t Flags);
    TExpToken* ParseAggregate(uint8_t Flags);
    TExpToken* ParseKeywordConstant();
    TExpToken* ParseQualifiedColumn(const std::string& Qualifier, uint8_t Flags);
    TExpToken* ParseNumber();
    TExpToken* ParseCharConstant();
    TExpToken* ParseInPredicate(TExpToken* Left, uint8_t Code, const std::string& Text, uint8_t Flags);

    [[noreturn]] void RaiseFound(const std::string& Prefix) const;
    void Expect(int Kind, const std::string& Prefix);
    void ExpectKeyword(std::string_view Word, const std::string& Prefix);
    std::string ConsumeText();

    std::string Buffer;  // the text and a terminating zero
    size_t BufferSize = 0;
    size_t ScanPos = 0;
    size_t TokenStart = 0;
    size_t TokenEnd = 0;
    static constexpr size_t NoPos = static_cast<size_t>(-1);
    size_t MarkStart = NoPos;
    size_t PrevTokenEnd = NoPos;
    uint8_t FTokenKind = etEnd;
    int GuardDepth = 0;
    int PrimaryDepth = 0;  // primaries being parsed inside one another
};

}  // namespace dbengine
