#include "dbengine/expr/ExpressionParser.h"

#include <cmath>
#include <cstring>

#include "dbengine/expr/ExpFunctions.h"
#include "dbengine/expr/TextForms.h"
#include "dbengine/expr/ValueTypes.h"
#include "dbengine/util/EngineUtils.h"
#include "dbengine/util/QueryHooks.h"
#include "framework/core/DateTime.h"
#include "framework/core/Exception.h"
#include "framework/core/SysUtils.h"

namespace dbengine {

namespace {

bool IsNameStart(uint8_t c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || (c >= 128 && c <= 254);
}

bool IsNameChar(uint8_t c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '!' || c == '$' || c == '@';
}

bool IsDigit(uint8_t c) {
    return c >= '0' && c <= '9';
}

bool AsciiSame(std::string_view a, std::string_view b) {
    return framework::SameText(a, b);
}

// Halves doubled quote characters, scanning from the end of the text towards its start.
void UndoublePairs(std::string& s, char quote) {
    if (s.size() < 2) return;
    size_t i = s.size() - 1;
    while (i > 0) {
        if (s[i] == quote && s[i - 1] == quote) {
            s.erase(i, 1);
            if (i < 2) break;
            i -= 2;
        } else {
            --i;
        }
    }
}

void PutInt16(TExpToken* t, uint16_t v) {
    t->Data[0] = static_cast<uint8_t>(v);
    t->Data[1] = static_cast<uint8_t>(v >> 8);
}

void PutLE(TExpToken* t, uint64_t v, int n) {
    for (int i = 0; i < n; ++i, v >>= 8) t->Data[size_t(i)] = static_cast<uint8_t>(v);
}

void PutDouble(TExpToken* t, double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    PutLE(t, bits, 8);
}

std::string ShortString(std::string s) {
    if (s.size() > ShortStringMax) s.resize(ShortStringMax);
    return s;
}

TExpToken* NewNode(uint8_t kind, uint8_t code, const std::string& text, uint8_t dataType = 0) {
    TExpToken* t = NewExpToken();
    t->Kind = kind;
    t->Code = code;
    t->Text = text;
    t->DataType = dataType;
    return t;
}

}  // namespace

double ExpressionClockNow() {
    framework::TDateTime now = framework::Now();
    double day = std::floor(now);
    int64_t ms = std::llround((now - day) * MSecsPerDay);
    if (ms >= MSecsPerDay) {
        day += 1;
        ms -= MSecsPerDay;
    }
    return (day + DateDelta) * MSecsPerDay + static_cast<double>(ms);
}

TExpressionParser::TExpressionParser(void* Owner, TQueryStatement* Statement)
    : Owner(Owner), Statement(Statement) {}

TExpressionParser::~TExpressionParser() {
    ClearExpression();
}

// ---- Scanner ----

void TExpressionParser::SetExpression(std::string_view Text) {
    ClearExpression();
    Buffer.assign(Text.size() + 1, '\0');
    std::memcpy(Buffer.data(), Text.data(), Text.size());
    BufferSize = Buffer.size();
    ScanPos = TokenStart = TokenEnd = 0;
    FTokenKind = etEnd;
    MarkStart = PrevTokenEnd = NoPos;
}

void TExpressionParser::ClearExpression() {
    if (BufferSize == 0) return;
    Buffer.clear();
    Buffer.shrink_to_fit();
    BufferSize = 0;
    ScanPos = TokenStart = TokenEnd = 0;
    MarkStart = PrevTokenEnd = NoPos;
    FTokenKind = etEnd;
}

void TExpressionParser::RaiseParseError(const std::string& Message) const {
    RaiseEngineError(ErrorCode, {}, {}, DatabaseName, TableName, {}, {}, ShortString(Message));
}

uint8_t TExpressionParser::NextToken() {
    if (BufferSize == 0) {
        FTokenKind = etEnd;
        return FTokenKind;
    }
    auto at = [&](size_t p) { return static_cast<uint8_t>(Buffer[p]); };
    PrevTokenEnd = ScanPos;
    // Blanks and comments.
    for (;;) {
        while (at(ScanPos) >= 1 && at(ScanPos) <= 32) ++ScanPos;
        if (at(ScanPos) == '/' && at(ScanPos + 1) == '*') {
            size_t p = ScanPos + 2;
            while (at(p) != 0 && !(at(p) == '*' && at(p + 1) == '/')) ++p;
            if (at(p) == 0) RaiseParseError("Missing ending comment slash and asterisk in " + ContextText);
            ScanPos = p + 2;
            continue;
        }
        break;
    }
    TokenStart = ScanPos;
    size_t p = ScanPos;
    uint8_t c = at(p);
    uint8_t kind;
    if (c == 0) {
        kind = etEnd;
    } else if (IsNameStart(c)) {
        while (IsNameChar(at(p))) ++p;
        kind = etName;
    } else if (c == '#') {
        ++p;
        while (IsDigit(at(p))) ++p;
        kind = etCharConstant;
    } else if (c == '\'' || c == '"' || c == '[') {
        kind = c == '\'' ? etSingleQuoted : c == '"' ? etDoubleQuoted : etBracketName;
        uint8_t close = c == '[' ? ']' : c;
        ++p;
        for (;;) {
            if (at(p) == 0) {
                // Unterminated: the token ends on the character before the terminating zero.
                ScanPos = TokenEnd = p > 0 ? p - 1 : 0;
                FTokenKind = kind;
                const char* what = kind == etSingleQuoted   ? "Missing single quote after '"
                                   : kind == etDoubleQuoted ? "Missing double quote after '"
                                                            : "Missing right bracket after '";
                RaiseParseError(what + GetTokenText() + "'" + " in " + ContextText);
            }
            if (at(p) == close) {
                if (kind != etBracketName && at(p + 1) == close) {
                    p += 2;
                    continue;
                }
                ++p;
                break;
            }
            ++p;
        }
        TokenEnd = p;
    } else if (IsDigit(c)) {
        while (IsDigit(at(p))) ++p;
        kind = etInteger;
        for (;;) {
            uint8_t d = at(p);
            if (IsDigit(d)) {
                ++p;
            } else if (d == '.' || d == 'E' || d == 'e') {
                ++p;
                kind = etFloat;
            } else if ((d == '+' || d == '-') && (at(p - 1) == 'E' || at(p - 1) == 'e')) {
                ++p;
                kind = etFloat;
            } else {
                break;
            }
        }
    } else if (c == '.' && IsDigit(at(p + 1))) {
        ++p;
        kind = etFloat;
        for (;;) {
            uint8_t d = at(p);
            if (IsDigit(d) || d == 'E' || d == 'e')
                ++p;
            else if ((d == '+' || d == '-') && (at(p - 1) == 'E' || at(p - 1) == 'e'))
                ++p;
            else
                break;
        }
    } else {
        ++p;
        kind = c;
    }
    ScanPos = p;
    FTokenKind = kind;
    return kind;
}

std::string TExpressionParser::GetTokenText() const {
    if (BufferSize == 0) return {};
    std::string s;
    if (FTokenKind == etBracketName || FTokenKind == etSingleQuoted || FTokenKind == etDoubleQuoted) {
        // Between the delimiters; an unterminated token may leave nothing between them.
        size_t from = TokenStart + 1;
        size_t to = TokenEnd > 0 ? TokenEnd - 1 : 0;
        if (to > from) s = Buffer.substr(from, to - from);
    } else if (ScanPos > TokenStart) {
        s = Buffer.substr(TokenStart, ScanPos - TokenStart);
    }
    if (FTokenKind == etSingleQuoted) {
        UndoublePairs(s, '\'');
    } else if (FTokenKind == etDoubleQuoted) {
        UndoublePairs(s, '"');
    } else {
        UndoublePairs(s, '\'');
        UndoublePairs(s, '"');
    }
    return s;
}

bool TExpressionParser::IsKeyword(std::string_view Word) const {
    return FTokenKind == etName &&
           AsciiSame(std::string_view(Buffer).substr(TokenStart, ScanPos - TokenStart), Word);
}

void TExpressionParser::MarkTextStart() {
    MarkStart = TokenStart;
}

std::string TExpressionParser::GetMarkedText() const {
    if (MarkStart == NoPos || PrevTokenEnd == NoPos || PrevTokenEnd <= MarkStart) return {};
    std::string s;
    for (size_t i = MarkStart; i < PrevTokenEnd; ++i)
        if (Buffer[i] != '\r' && Buffer[i] != '\n') s += Buffer[i];
    return s;
}

// ---- Grammar helpers ----

void TExpressionParser::RaiseFound(const std::string& Prefix) const {
    RaiseParseError(Prefix + GetTokenText() + "'" + " in " + ContextText);
}

void TExpressionParser::Expect(int Kind, const std::string& Prefix) {
    if (!IsTokenKind(Kind)) RaiseFound(Prefix);
    NextToken();
}

void TExpressionParser::ExpectKeyword(std::string_view Word, const std::string& Prefix) {
    if (!IsKeyword(Word)) RaiseFound(Prefix);
    NextToken();
}

std::string TExpressionParser::ConsumeText() {
    std::string text = GetTokenText();
    NextToken();
    return text;
}

TExpToken* TExpressionParser::Guarded(Level level, uint8_t Flags) {
    size_t params = Statement != nullptr ? Statement->ParamTokens().size() : 0;
    ++GuardDepth;
    try {
        TExpTreeHolder t((this->*level)(Flags));
        // Long operator chains build deep trees without deep parsing; refuse them here, before
        // any recursive walk over the tree can run out of stack.
        if (GuardDepth == 1 && ExpTreeDepth(t.get()) > MaxExpTreeDepth)
            RaiseParseError("Expression too complex in " + ContextText);
        --GuardDepth;
        return t.release();
    } catch (...) {
        --GuardDepth;
        // The nodes were given back to the pool; the statement must not keep pointers to them.
        if (GuardDepth == 0 && Statement != nullptr && Statement->ParamTokens().size() > params)
            Statement->ParamTokens().resize(params);
        throw;
    }
}

TExpToken* TExpressionParser::ParseExpression(uint8_t Flags) {
    return Guarded(&TExpressionParser::DoParseExpression, Flags);
}
TExpToken* TExpressionParser::ParseAnd(uint8_t Flags) {
    return Guarded(&TExpressionParser::DoParseAnd, Flags);
}
TExpToken* TExpressionParser::ParseNot(uint8_t Flags) {
    return Guarded(&TExpressionParser::DoParseNot, Flags);
}
TExpToken* TExpressionParser::ParseComparison(uint8_t Flags) {
    return Guarded(&TExpressionParser::DoParseComparison, Flags);
}
TExpToken* TExpressionParser::ParseAdditive(uint8_t Flags) {
    return Guarded(&TExpressionParser::DoParseAdditive, Flags);
}
TExpToken* TExpressionParser::ParseMultiplicative(uint8_t Flags) {
    return Guarded(&TExpressionParser::DoParseMultiplicative, Flags);
}
TExpToken* TExpressionParser::ParseUnary(uint8_t Flags) {
    return Guarded(&TExpressionParser::DoParseUnary, Flags);
}
TExpToken* TExpressionParser::ParsePrimary(uint8_t Flags) {
    return Guarded(&TExpressionParser::DoParsePrimary, Flags);
}

// ---- Grammar ----

TExpToken* TExpressionParser::DoParseExpression(uint8_t Flags) {
    TExpTreeHolder left(DoParseAnd(Flags));
    while (IsKeyword("OR")) {
        TExpTreeHolder node(NewNode(tkBinary, ecOr, ConsumeText(), fldBoolean));
        node->Left = left.release();
        node->Right = DoParseAnd(Flags);
        left.reset(node.release());
    }
    return left.release();
}

TExpToken* TExpressionParser::DoParseAnd(uint8_t Flags) {
    TExpTreeHolder left(DoParseNot(Flags));
    while (IsKeyword("AND")) {
        TExpTreeHolder node(NewNode(tkBinary, ecAnd, ConsumeText(), fldBoolean));
        node->Left = left.release();
        node->Right = DoParseNot(Flags);
        left.reset(node.release());
    }
    return left.release();
}

TExpToken* TExpressionParser::DoParseNot(uint8_t Flags) {
    if (!IsKeyword("NOT")) return DoParseComparison(Flags);
    TExpTreeHolder node(NewNode(tkUnary, ecNot, ConsumeText(), fldBoolean));
    node->Left = DoParseComparison(Flags);
    return node.release();
}

TExpToken* TExpressionParser::ParseInPredicate(TExpToken* LeftOperand, uint8_t Code, const std::string& Text,
                                               uint8_t Flags) {
    TExpTreeHolder left(LeftOperand);
    const bool negated = Code == ecNotIn;
    const std::string op = negated ? "NOT IN" : "IN";
    Expect('(', "Expected left parentheses for " + op + " operator, instead found '");
    if (IsKeyword("SELECT")) {
        if ((Flags & AllowSubSelects) == 0 || Statement == nullptr)
            RaiseParseError("Sub-select queries are not allowed in " + ContextText);
        TExpTreeHolder node(NewNode(tkPredicate, negated ? ecNotInSelect : ecInSelect, Text, fldBoolean));
        node->SetArgument(0, left.release());
        TExpToken* sub = NewNode(tkSubSelect, 0, GetTokenText());
        node->SetArgument(1, sub);
        std::unique_ptr<TDataQuery> query = Statement->CreateQuery();
        TDataQuery* raw = query.get();
        Statement->AddQuery(std::move(query));
        raw->SubSelect = 1;
        sub->Query = raw;
        raw->ParseStatement(true, false, nullptr);
        Expect(')', "Expected right parentheses for " + op + " operator, instead found '");
        return node.release();
    }
    TExpTreeHolder node(NewNode(tkPredicate, Code, Text, fldBoolean));
    node->SetArgument(0, left.release());
    node->Arguments.push_back(DoParseAdditive(Flags));
    while (IsTokenKind(',')) {
        NextToken();
        node->Arguments.push_back(DoParseAdditive(Flags));
    }
    Expect(')', "Expected right parentheses after " + op + " operator, instead found '");
    return node.release();
}

TExpToken* TExpressionParser::DoParseComparison(uint8_t Flags) {
    TExpTreeHolder left(DoParseAdditive(Flags));
    auto binary = [&](uint8_t code, const std::string& text) {
        TExpTreeHolder node(NewNode(tkBinary, code, text, fldBoolean));
        node->Left = left.release();
        node->Right = DoParseAdditive(Flags);
        return node.release();
    };
    auto requirePredicates = [&] {
        if ((Flags & AllowPredicates) == 0)
            RaiseParseError("Extended predicate operators (LIKE, BETWEEN, IN, IS NULL) are not allowed in " +
                            ContextText);
    };
    auto between = [&](uint8_t code, const std::string& text) {
        const bool negated = code == ecNotBetween;
        TExpTreeHolder node(NewNode(tkPredicate, code, text, fldBoolean));
        node->SetArgument(0, left.release());
        node->SetArgument(1, DoParseAdditive(Flags));
        ExpectKeyword("AND", std::string("Expected AND operator in ") +
                                 (negated ? "NOT BETWEEN" : "BETWEEN") + " operator, instead found '");
        node->SetArgument(2, DoParseAdditive(Flags));
        return node.release();
    };
    auto like = [&](uint8_t code, const std::string& text) {
        TExpTreeHolder node(NewNode(tkPredicate, code, text, fldBoolean));
        node->SetArgument(0, left.release());
        node->SetArgument(1, DoParseAdditive(Flags));
        return node.release();
    };

    if (IsTokenKind('=')) {
        NextToken();
        return binary(ecEqual, "=");
    }
    if (IsTokenKind('<')) {
        NextToken();
        if (IsTokenKind('>')) {
            NextToken();
            return binary(ecNotEqual, "< >");
        }
        if (IsTokenKind('=')) {
            NextToken();
            return binary(ecLessOrEqual, "< =");
        }
        return binary(ecLess, "<");
    }
    if (IsTokenKind('>')) {
        NextToken();
        if (IsTokenKind('=')) {
            NextToken();
            return binary(ecGreaterOrEqual, "> =");
        }
        return binary(ecGreater, ">");
    }
    if (IsKeyword("NOT")) {
        requirePredicates();
        std::string notText = ConsumeText();
        if (IsKeyword("BETWEEN")) return between(ecNotBetween, notText + " " + ConsumeText());
        if (IsKeyword("LIKE")) return like(ecNotLike, notText + " " + ConsumeText());
        if (IsKeyword("IN")) {
            std::string text = notText + " " + ConsumeText();
            return ParseInPredicate(left.release(), ecNotIn, text, Flags);
        }
        RaiseFound("Unknown or unexpected symbol '");
    }
    if (IsKeyword("LIKE")) {
        requirePredicates();
        return like(ecLike, ConsumeText());
    }
    if (IsKeyword("BETWEEN")) {
        requirePredicates();
        return between(ecBetween, ConsumeText());
    }
    if (IsKeyword("IN")) {
        requirePredicates();
        std::string text = ConsumeText();
        return ParseInPredicate(left.release(), ecIn, text, Flags);
    }
    if (IsKeyword("IS")) {
        requirePredicates();
        std::string text = ConsumeText();
        uint8_t code = ecEqual;
        if (IsKeyword("NOT")) {
            text += " " + ConsumeText();
            code = ecNotEqual;
        }
        if (!IsKeyword("NULL"))
            RaiseParseError("Unknown or unexpected symbol '" + GetTokenText() + "'" + " found in " +
                            ContextText);
        std::string nullText = ConsumeText();
        TExpTreeHolder node(NewNode(tkBinary, code, text + " " + nullText, fldBoolean));
        node->Left = left.release();
        TExpToken* nullConstant = NewNode(tkConstant, 0, "NULL");
        nullConstant->IsNull = true;
        node->Right = nullConstant;
        return node.release();
    }
    return left.release();
}

TExpToken* TExpressionParser::DoParseAdditive(uint8_t Flags) {
    TExpTreeHolder left(DoParseMultiplicative(Flags));
    for (;;) {
        uint8_t code;
        std::string text;
        if (IsTokenKind('+')) {
            code = ecAdd;
            text = ConsumeText();
        } else if (IsTokenKind('-')) {
            code = ecSubtract;
            text = ConsumeText();
        } else if (IsTokenKind('|')) {
            NextToken();
            if (!IsTokenKind('|'))
                RaiseFound(
                    "Second concatenation symbol '|' expected after first concatentation symbol, instead "
                    "found '");
            NextToken();
            code = ecAdd;
            text = "||";
        } else {
            break;
        }
        TExpTreeHolder node(NewNode(tkBinary, code, text, left->DataType));
        node->Left = left.release();
        node->Right = DoParseMultiplicative(Flags);
        left.reset(node.release());
    }
    return left.release();
}

TExpToken* TExpressionParser::DoParseMultiplicative(uint8_t Flags) {
    TExpTreeHolder left(DoParseUnary(Flags));
    while (IsTokenKind('*') || IsTokenKind('/')) {
        uint8_t code = IsTokenKind('*') ? ecMultiply : ecDivide;
        TExpTreeHolder node(NewNode(tkBinary, code, ConsumeText(), left->DataType));
        node->Left = left.release();
        node->Right = DoParseUnary(Flags);
        left.reset(node.release());
    }
    return left.release();
}

TExpToken* TExpressionParser::DoParseUnary(uint8_t Flags) {
    if (!IsTokenKind('+') && !IsTokenKind('-')) return DoParsePrimary(Flags);
    uint8_t code = IsTokenKind('-') ? ecNegate : ecPlusSign;
    TExpTreeHolder node(NewNode(tkUnary, code, ConsumeText()));
    node->Left = DoParsePrimary(Flags);
    node->DataType = node->Left->DataType;
    return node.release();
}

TExpToken* TExpressionParser::ParseQualifiedColumn(const std::string& Qualifier, uint8_t Flags) {
    NextToken();  // the full stop
    bool star = IsTokenKind('*');
    if (!IsNameToken() && !star)
        RaiseFound(
            "Symbol or string expression expected after table correlation name separator '.', instead "
            "found '");
    if (star && (Flags & AllowAllColumns) == 0)
        RaiseParseError("* (all columns) symbol is not allowed in " + ContextText);
    std::string column = ConsumeText();
    TExpToken* node = NewNode(tkColumn, 0, Qualifier + "." + column);
    node->ColumnName = ShortString(column);
    node->TableName = ShortString(ExtractTableName(Qualifier, ".DAT"));
    return node;
}

TExpToken* TExpressionParser::ParseNumber() {
    std::string text = GetTokenText();
    TExpTreeHolder node(NewNode(tkConstant, 0, text));
    int64_t v;
    bool done = false;
    if (IsTokenKind(etInteger) && TextToInt64(text, v)) {
        if (v >= INT32_MIN && v <= INT32_MAX) {
            node->DataType = fldInteger;
            node->SetDataSize(4);
            PutLE(node.get(), static_cast<uint64_t>(v), 4);
        } else {
            node->DataType = fldLargeInt;
            node->SetDataSize(8);
            PutLE(node.get(), static_cast<uint64_t>(v), 8);
        }
        done = true;
    }
    if (!done) {
        try {
            double d = TextToFloat(text);
            node->DataType = fldFloat;
            node->SetDataSize(8);
            PutDouble(node.get(), d);
        } catch (const framework::EConvertError&) {
            RaiseParseError("Constant '" + text + "'" + " is not a valid number " + " in " + ContextText);
        }
    }
    NextToken();
    return node.release();
}

TExpToken* TExpressionParser::ParseCharConstant() {
    std::string text = GetTokenText();
    if (text.empty() || text[0] != '#')
        RaiseParseError("Internal character constant parse error in " + ContextText);
    std::string digits = text.substr(1);
    int64_t v = -1;
    if (!TextToInt64(digits, v)) v = -1;
    if (v < 0 || v > 255)
        RaiseParseError(std::string("Character constants (#) must be within the range of ") + "0" + " to " +
                        "255" + " in " + ContextText);
    // The next token is read first: a scanner error there must not strand the new node.
    NextToken();
    TExpToken* node = NewNode(tkConstant, 0, digits, fldString);
    node->SetDataSize(2);
    node->Data[0] = static_cast<uint8_t>(v);
    node->Data[1] = 0;
    return node;
}

TExpToken* TExpressionParser::ParseKeywordConstant() {
    if (IsKeyword("TRUE") || IsKeyword("FALSE")) {
        bool value = IsKeyword("TRUE");
        TExpToken* node = NewNode(tkConstant, 0, ConsumeText(), fldBoolean);
        node->SetDataSize(2);
        PutInt16(node, value ? 1 : 0);
        return node;
    }
    if (IsKeyword("NULL")) {
        TExpToken* node = NewNode(tkConstant, 0, ConsumeText());
        node->IsNull = true;
        return node;
    }
    const char* names[] = {"CURRENT_DATE", "CURRENT_TIME", "CURRENT_TIMESTAMP"};
    for (int which = 0; which < 3; ++which) {
        if (!IsKeyword(names[which])) continue;
        std::string text = ConsumeText();
        if (IsTokenKind('(')) {
            NextToken();
            Expect(')', std::string("Right parentheses expected after first ") + names[which] +
                            " function parentheses, instead found '");
        }
        double now = ExpressionClockNow();
        int64_t ms = static_cast<int64_t>(now);
        TExpToken* node = NewNode(tkConstant, 0, text);
        if (which == 0) {
            node->DataType = fldDate;
            node->SetDataSize(4);
            PutLE(node, static_cast<uint64_t>(ms / MSecsPerDay), 4);
        } else if (which == 1) {
            node->DataType = fldTime;
            node->SetDataSize(4);
            PutLE(node, static_cast<uint64_t>(ms % MSecsPerDay), 4);
        } else {
            node->DataType = fldTimestamp;
            node->SetDataSize(8);
            PutDouble(node, now);
        }
        return node;
    }
    return nullptr;
}

TExpToken* TExpressionParser::ParseAggregate(uint8_t Flags) {
    std::string name = GetTokenText();
    if ((Flags & AllowAggregates) == 0)
        RaiseParseError("Aggregate functions are not allowed in " + ContextText);
    NextToken();
    Expect('(',
           "Left parentheses expected after aggregate function '" + name + "'" + ", instead found " + "'");
    TExpTreeHolder node(NewNode(tkFunction, AggregateCode(name), name));
    node->SetArgument(0, DoParseAdditive(Flags));
    Expect(')',
           "Right parentheses expected after aggregate " + name + " function argument, instead found " + "'");
    return node.release();
}

TExpToken* TExpressionParser::ParseFunction(uint8_t Flags) {
    const TExpFunction* f = nullptr;
    for (const TExpFunction& candidate : ExpFunctions())
        if (candidate.Syntax != TExpArgumentSyntax::Aggregate && f == nullptr && IsKeyword(candidate.Keyword))
            f = &candidate;
    if (f == nullptr) return nullptr;

    const std::string name = f->Keyword;
    const std::string text = ConsumeText();
    Expect('(', "Left parentheses expected after " + name + " keyword, instead found '");
    uint8_t code = f->Code;
    if (f->Variant != nullptr) {
        // The keyword after the parenthesis picks the entry of the same function.
        code = 0;
        for (const TExpFunction& variant : ExpFunctions())
            if (variant.Syntax == f->Syntax && IsKeyword(variant.Variant)) code = variant.Code;
        if (code == 0 && f->Syntax == TExpArgumentSyntax::Trim)
            RaiseFound("LEADING, TRAILING, or BOTH keyword expected after TRIM keyword, instead found '");
        if (code == 0)
            RaiseFound(
                "YEAR, MONTH, WEEK, DAY, DAYOFWEEK, DAYOFYEAR, HOUR, MINUTE, or SECOND keyword expected "
                "after EXTRACT keyword, instead found '");
        NextToken();
        if (f->Syntax == TExpArgumentSyntax::Extract)
            ExpectKeyword("FROM",
                          "FROM keyword expected after second EXTRACT function argument, instead found '");
    }
    TExpTreeHolder node(NewNode(tkFunction, code, text, f->DataType));
    auto arg = [&](TExpToken* t) { node->Arguments.push_back(t); };
    auto close = [&](const std::string& message) { Expect(')', message); };
    auto thenOrComma = [&](const char* word, const char* ordinal) {
        if (IsKeyword(word) || IsTokenKind(',')) {
            NextToken();
            return;
        }
        RaiseFound(std::string(word) + " keyword or comma expected after " + ordinal + " " + name +
                   " function argument, instead found '");
    };

    switch (f->Syntax) {
        case TExpArgumentSyntax::Single:
            arg(DoParseAdditive(Flags));
            close("Right parentheses expected after " + name + " function argument, instead found '");
            break;
        case TExpArgumentSyntax::Substring:
            arg(DoParseAdditive(Flags));
            ExpectKeyword("FROM",
                          "FROM keyword expected after first SUBSTRING function argument, instead found '");
            arg(DoParseAdditive(Flags));
            if (IsKeyword("FOR")) {
                NextToken();
                arg(DoParseAdditive(Flags));
            }
            close("Right parentheses expected after SUBSTRING function arguments, instead found '");
            break;
        case TExpArgumentSyntax::Replace:
            arg(DoParseAdditive(Flags));
            ExpectKeyword("WITH",
                          "WITH keyword expected after first REPLACE function argument, instead found '");
            arg(DoParseAdditive(Flags));
            ExpectKeyword("IN",
                          "IN keyword expected after second REPLACE function argument, instead found '");
            arg(DoParseAdditive(Flags));
            close("Right parentheses expected after REPLACE function arguments, instead found '");
            break;
        case TExpArgumentSyntax::SearchIn:
            arg(DoParseAdditive(Flags));
            ExpectKeyword("IN",
                          "IN keyword expected after first " + name + " function argument, instead found '");
            arg(DoParseAdditive(Flags));
            close("Right parentheses expected after " + name + " function arguments, instead found '");
            break;
        case TExpArgumentSyntax::Cast:
            arg(DoParseAdditive(Flags));
            ExpectKeyword("AS", "AS keyword expected after first CAST function argument, instead found '");
            ParseDataType(node.get(), Flags, false);
            close("Right parentheses expected after CAST function arguments, instead found '");
            break;
        case TExpArgumentSyntax::Trim:
            arg(DoParsePrimary(Flags));
            ExpectKeyword("FROM",
                          "FROM keyword expected after second TRIM function argument, instead found '");
            arg(DoParseAdditive(Flags));
            close("Right parentheses expected after TRIM function arguments, instead found '");
            break;
        case TExpArgumentSyntax::Extract:
            arg(DoParseAdditive(Flags));
            close("Right parentheses expected after EXTRACT function arguments, instead found '");
            break;
        case TExpArgumentSyntax::RoundTo:
            arg(DoParseAdditive(Flags));
            node->DataType = node->Arguments[0]->DataType;
            node->DataSize = node->Arguments[0]->DataSize;
            node->Scale = node->Arguments[0]->Scale;
            if (IsKeyword("TO")) {
                NextToken();
                arg(DoParsePrimary(Flags));
            }
            close("Right parentheses expected after ROUND function arguments, instead found '");
            break;
        case TExpArgumentSyntax::ThenElse:
            // The condition of IF may be a predicate; the tested value of IFNULL may not.
            arg(DoParseExpression(f->Code == ecIf ? uint8_t(Flags | AllowPredicates) : Flags));
            thenOrComma("THEN", "first");
            arg(DoParseAdditive(Flags));
            thenOrComma("ELSE", "second");
            arg(DoParseAdditive(Flags));
            close("Right parentheses expected after " + name + " function arguments, instead found '");
            break;
        case TExpArgumentSyntax::List:
            arg(DoParseAdditive(Flags));
            while (IsTokenKind(',')) {
                NextToken();
                arg(DoParseAdditive(Flags));
            }
            close("Expected right parentheses after COALESCE expression arguments, instead found '");
            break;
        case TExpArgumentSyntax::TextIn:
            arg(DoParseAdditive(Flags));
            ExpectKeyword("IN",
                          "IN keyword expected after first " + name + " function argument, instead found '");
            arg(DoParsePrimary(Flags));
            close("Right parentheses expected after " + name + " function argument, instead found '");
            break;
        case TExpArgumentSyntax::TableName:
            arg(DoParsePrimary(Flags));
            close("Right parentheses expected after " + name + " function argument, instead found '");
            break;
        case TExpArgumentSyntax::Aggregate:
            break;
    }
    return node.release();
}

TExpToken* TExpressionParser::DoParsePrimary(uint8_t Flags) {
    struct Nesting {
        int& Depth;
        explicit Nesting(int& depth) : Depth(depth) { ++Depth; }
        ~Nesting() { --Depth; }
    } nesting(PrimaryDepth);
    if (PrimaryDepth > MaxExpNesting) RaiseParseError("Expression nested too deeply in " + ContextText);
    switch (FTokenKind) {
        case etName: {
            for (const TExpFunction& f : ExpFunctions())
                if (f.Syntax == TExpArgumentSyntax::Aggregate && IsKeyword(f.Keyword))
                    return ParseAggregate(Flags);
            if (TExpToken* f = ParseFunction(Flags)) return f;
            if (TExpToken* c = ParseKeywordConstant()) return c;
            std::string name = ConsumeText();
            if (IsTokenKind('('))
                RaiseParseError("Unknown or unexpected function '" + name + "'" + " found in " + ContextText);
            if (IsTokenKind('.')) return ParseQualifiedColumn(name, Flags);
            TExpToken* node = NewNode(tkColumn, 0, name);
            node->ColumnName = ShortString(name);
            return node;
        }
        case etBracketName: {
            std::string name = ConsumeText();
            if (IsTokenKind('.')) return ParseQualifiedColumn(name, Flags);
            TExpToken* node = NewNode(tkColumn, 0, name);
            node->ColumnName = ShortString(name);
            return node;
        }
        case etSingleQuoted:
        case etDoubleQuoted: {
            std::string text = ConsumeText();
            if (IsTokenKind('.')) return ParseQualifiedColumn(text, Flags);
            TExpToken* node = NewNode(tkConstant, 0, text, fldString);
            node->SetDataSize(static_cast<int32_t>(text.size()) + 1);
            std::memcpy(node->Data.get(), text.data(), text.size());
            node->Data[text.size()] = 0;
            node->IsNull = text.empty();
            return node;
        }
        case etCharConstant:
            return ParseCharConstant();
        case etInteger:
        case etFloat:
            return ParseNumber();
        case '(': {
            NextToken();
            TExpTreeHolder node(DoParseExpression(Flags));
            Expect(')', "Right parentheses expected, instead found '");
            return node.release();
        }
        case '*': {
            if ((Flags & AllowAllColumns) == 0)
                RaiseParseError("* (all columns) symbol is not allowed in " + ContextText);
            NextToken();
            TExpToken* node = NewNode(tkColumn, 0, "*");
            node->ColumnName = "*";
            return node;
        }
        case '?': {
            if ((Flags & AllowParameters) == 0)
                RaiseParseError("Parameters are not allowed in " + ContextText);
            NextToken();
            TExpToken* node = NewNode(tkConstant, 0, "?");
            node->IsParam = true;
            if (Statement != nullptr) Statement->ParamTokens().push_back(node);
            return node;
        }
        default:
            RaiseParseError("Unknown or unexpected symbol '" + GetTokenText() + "'" + " found in " +
                            ContextText);
    }
}

void TExpressionParser::ParseDataType(TExpToken* Node, uint8_t Flags, bool Optional) {
    enum Shape { NoArgs, NumberArgs, LengthArg, BlobArgs };
    struct TypeName {
        const char* Name;
        uint8_t DataType;
        int SubType;  // -1: left as it is
        Shape Args;
    };
    static const TypeName types[] = {
        {"SMALLINT", fldSmallInt, -1, NoArgs},
        {"WORD", fldWord, -1, NoArgs},
        {"INTEGER", fldInteger, -1, NoArgs},
        {"INT", fldInteger, -1, NoArgs},
        {"LARGEINT", fldLargeInt, -1, NoArgs},
        {"AUTOINC", fldInteger, fldstAutoInc, NoArgs},
        {"DECIMAL", fldBCD, -1, NumberArgs},
        {"NUMERIC", fldBCD, -1, NumberArgs},
        {"FLOAT", fldFloat, -1, NumberArgs},
        {"MONEY", fldFloat, fldstMoney, NoArgs},
        {"CHARACTER", fldString, -1, LengthArg},
        {"CHAR", fldString, -1, LengthArg},
        {"VARCHAR", fldString, -1, LengthArg},
        {"BYTES", fldBytes, -1, LengthArg},
        {"VARBYTES", fldBytes, -1, LengthArg},
        {"BINARY", fldBytes, -1, LengthArg},
        {"VARBINARY", fldBytes, -1, LengthArg},
        {"DATE", fldDate, -1, NoArgs},
        {"TIME", fldTime, -1, NoArgs},
        {"TIMESTAMP", fldTimestamp, -1, NoArgs},
        {"BOOLEAN", fldBoolean, -1, NoArgs},
        {"BOOL", fldBoolean, -1, NoArgs},
        {"BIT", fldBoolean, -1, NoArgs},
        {"BLOB", fldBlob, fldstBinary, BlobArgs},
        {"LONGVARBINARY", fldBlob, fldstBinary, NoArgs},
        {"LONGVARCHAR", fldBlob, fldstMemo, NoArgs},
        {"MEMO", fldBlob, fldstMemo, NoArgs},
        {"GRAPHIC", fldBlob, fldstGraphic, NoArgs},
    };
    const TypeName* type = nullptr;
    for (const auto& candidate : types) {
        if (IsKeyword(candidate.Name)) {
            type = &candidate;
            break;
        }
    }
    if (type == nullptr) {
        if (Optional) return;
        RaiseFound("SQL data type keyword expected, instead found '");
    }
    NextToken();
    const std::string name = type->Name;
    int subType = type->SubType;
    switch (type->Args) {
        case NoArgs:
            break;
        case NumberArgs:
            if (IsTokenKind('(')) {
                NextToken();
                Node->SetArgument(1, DoParsePrimary(Flags));
                if (IsTokenKind(')')) {
                    NextToken();
                    break;
                }
                Expect(',', "Comma expected after first " + name + " argument, instead found '");
                Node->SetArgument(2, DoParsePrimary(Flags));
                Expect(')',
                       "Right parentheses expected after " + name + " data type arguments, instead found '");
            }
            break;
        case LengthArg:
            Expect('(', "Left parentheses expected after " + name + " data type, instead found '");
            Node->SetArgument(1, DoParsePrimary(Flags));
            Expect(')', "Right parentheses expected after " + name + " data type arguments, instead found '");
            break;
        case BlobArgs:
            if (IsTokenKind('(')) {
                NextToken();
                Node->SetArgument(1, DoParsePrimary(Flags));
                Expect(',', "Comma expected after first BLOB argument, instead found '");
                Node->SetArgument(2, DoParsePrimary(Flags));
                Expect(')', "Right parentheses expected after BLOB data type arguments, instead found '");
                subType = 0;
            }
            break;
    }
    Node->DataType = type->DataType;
    if (subType >= 0) Node->SubType = static_cast<uint8_t>(subType);
}

bool TExpressionParser::IsUpperOfColumn(const TExpToken* Node) {
    return Node != nullptr && Node->Kind == tkFunction && Node->Code == ecUpper &&
           Node->ArgumentCount() == 1 && Node->Arguments[0] != nullptr &&
           Node->Arguments[0]->Kind == tkColumn;
}

bool TExpressionParser::IsTextSearchCall(const TExpToken* Node) {
    return Node != nullptr && Node->Kind == tkFunction && Node->Code == ecTextSearch;
}

}  // namespace dbengine
