#include "dbengine/expr/ExpTypeCheck.h"

#include <algorithm>
#include <cstring>

#include "dbengine/expr/ExpFunctions.h"
#include "dbengine/expr/FieldConvert.h"
#include "dbengine/expr/ValueTypes.h"
#include "dbengine/util/QueryHooks.h"

namespace dbengine {

namespace {

// Type groups of the compatibility tables.
enum Group { gN, gS, gB, gD, gT, gTS, gL, gI, gF, gC, gY, gOther };

Group GroupOf(uint8_t type, uint8_t subType) {
    switch (type) {
        case 0:
            return gN;
        case fldString:
            return gS;
        case fldBlob:
            return subType == fldstMemo ? gS : gB;
        case fldDate:
            return gD;
        case fldTime:
            return gT;
        case fldTimestamp:
            return gTS;
        case fldBoolean:
            return gL;
        case fldSmallInt:
        case fldInteger:
        case fldWord:
        case fldLargeInt:
            return gI;
        case fldFloat:
            return gF;
        case fldBCD:
            return gC;
        case fldBytes:
            return gY;
        default:
            return gOther;
    }
}

Group GroupOf(const TExpToken* t) {
    return t == nullptr ? gN : GroupOf(t->DataType, t->SubType);
}

bool In(Group g, std::initializer_list<Group> set) {
    return std::find(set.begin(), set.end(), g) != set.end();
}

bool IsNumeric(Group g) {
    return g == gI || g == gF || g == gC;
}

bool IsDateTime(Group g) {
    return g == gD || g == gT || g == gTS;
}

bool IsComparison(uint8_t code) {
    return code >= ecEqual && code <= ecLessOrEqual;
}

const char* KindWord(const TExpToken* t) {
    if (t == nullptr) return "";
    switch (t->Kind) {
        case tkUnary:
        case tkBinary:
            return "expression";
        case tkColumn:
            return "column";
        case tkConstant:
            return "constant";
        case tkFunction:
            return "function";
        default:
            return "";
    }
}

std::string OperatorWord(uint8_t code) {
    switch (code) {
        case ecLike:
            return "LIKE";
        case ecNotLike:
            return "NOT LIKE";
        case ecIn:
        case ecInSelect:
            return "IN";
        case ecNotIn:
        case ecNotInSelect:
            return "NOT IN";
        case ecBetween:
            return "BETWEEN";
        case ecNotBetween:
            return "NOT BETWEEN";
        default:
            return "";
    }
}

std::string Cut255(std::string s) {
    if (s.size() > 255) s.resize(255);
    return s;
}

// An integer constant's value; false for anything else.
bool ConstantInteger(const TExpToken* t, int64_t& v) {
    if (t == nullptr || t->Kind != tkConstant || t->IsNull || t->Capacity < 8) return false;
    const uint8_t* d = t->Data.get();
    switch (t->DataType) {
        case fldSmallInt:
            v = static_cast<int16_t>(d[0] | d[1] << 8);
            return true;
        case fldWord:
            v = static_cast<uint16_t>(d[0] | d[1] << 8);
            return true;
        case fldInteger:
            v = static_cast<int32_t>(uint32_t(d[0]) | uint32_t(d[1]) << 8 | uint32_t(d[2]) << 16 |
                                     uint32_t(d[3]) << 24);
            return true;
        case fldLargeInt: {
            uint64_t u = 0;
            for (int i = 7; i >= 0; --i) u = u << 8 | d[i];
            v = static_cast<int64_t>(u);
            return true;
        }
        default:
            return false;
    }
}

int32_t FixedValueSize(uint8_t type) {
    switch (type) {
        case fldDate:
        case fldInteger:
        case fldTime:
            return 4;
        case fldBlob:
        case fldFloat:
        case fldTimestamp:
        case fldLargeInt:
            return 8;
        case fldBoolean:
        case fldSmallInt:
        case fldWord:
            return 2;
        case fldBCD:
            return BcdRecordSize;
        default:
            return -1;
    }
}

class TTypeChecker {
public:
    TEngineErrorCode ErrorCode;
    std::string DatabaseName;
    std::string TableName;
    std::string Context;
    TExpTypeResolver* Resolver;
    bool WrapBooleans;

    [[noreturn]] void Fail(const std::string& message) const {
        RaiseEngineError(ErrorCode, {}, {}, DatabaseName, TableName, {}, {}, Cut255(message));
    }
    [[noreturn]] void FailIn(const std::string& message) const { Fail(message + " in " + Context); }

    void Check(TExpToken* node, TExpToken* parent, bool constantsAsColumns);

    void ApplyWrapRule(TExpToken* node) const {
        if (!WrapBooleans || node->DataType != fldBoolean) return;
        const TExpToken* p = node->Parent;
        if (p == nullptr || (p->Kind == tkUnary && p->Code == ecNot) ||
            (p->Kind == tkBinary && (p->Code == ecAnd || p->Code == ecOr)))
            WrapBooleanAsComparison(node);
    }

    // A string constant compared with a date, time or timestamp becomes a typed constant.
    void ConvertDateText(TExpToken* text, const TExpToken* like) const {
        if (!TextToDateTimeValue(text->Data.get(), like->DataType))
            FailIn("Date, time, or timestamp expression expected, instead found '" + text->Text + "'");
        text->DataType = like->DataType;
        text->SubType = like->SubType;
        text->SetDataSize(like->DataSize);
        text->Scale = like->Scale;
        text->IsNull = false;
    }

    void CheckUnary(TExpToken* node, bool constantsAsColumns);
    void CheckBinary(TExpToken* node, bool constantsAsColumns);
    void CheckFunction(TExpToken* node, bool constantsAsColumns);
    void CheckPredicate(TExpToken* node, bool constantsAsColumns);
    void CheckResult(const std::string& word, TExpToken* node, int first);
    void CheckDataType(TExpToken* node);
};

void RevertToConstant(TExpToken* column) {
    column->Kind = tkConstant;
    column->ColumnName.clear();
    column->FieldNo = 0;
    column->FromConstant = false;
    column->DataType = column->ConstType;
    column->SubType = column->ConstSubType;
    column->DataSize = column->ConstSize;
    column->Scale = column->ConstScale;
}

void TTypeChecker::Check(TExpToken* node, TExpToken* parent, bool constantsAsColumns) {
    if (node == nullptr) return;
    node->Parent = parent;

    if (constantsAsColumns && node->Kind == tkConstant && node->DataType == fldString && !node->IsParam) {
        node->ColumnName = Cut255(node->Text);
        if (!node->ColumnName.empty() && node->ColumnName != "*") {
            node->ConstType = node->DataType;
            node->ConstSubType = node->SubType;
            node->ConstSize = node->DataSize;
            node->ConstScale = node->Scale;
            if (Resolver != nullptr && Resolver->ResolveColumn(node)) {
                node->Kind = tkColumn;
                node->FromConstant = true;
            } else {
                RevertToConstant(node);
            }
        } else {
            node->ColumnName.clear();
        }
    }

    switch (node->Kind) {
        case tkUnary:
            CheckUnary(node, constantsAsColumns);
            break;
        case tkBinary:
            CheckBinary(node, constantsAsColumns);
            break;
        case tkColumn:
            if (node->ColumnName != "*" && Resolver != nullptr && !node->FromConstant &&
                !Resolver->ResolveColumn(node))
                Fail("Invalid column name '" + node->ColumnName + "'" + " or table correlation name " + "'" +
                     node->TableName + "'" + " specified in " + Context);
            ApplyWrapRule(node);
            break;
        case tkSubSelect:
            if (node->Query != nullptr) {
                int columns = Resolver != nullptr ? Resolver->SubSelectColumnCount(node->Query) : 1;
                if (columns > 1) Fail("More than 1 column for sub-select  specified in " + Context);
                if (!node->Query->BindSubSelectColumn(node))
                    Fail("Invalid column name '" + node->ColumnName + "'" + " or table correlation name " +
                         "'" + node->TableName + "'" + " specified in " + Context);
            }
            break;
        case tkFunction:
            CheckFunction(node, constantsAsColumns);
            break;
        case tkPredicate:
            CheckPredicate(node, constantsAsColumns);
            break;
        default:
            break;
    }
}

void TTypeChecker::CheckUnary(TExpToken* node, bool constantsAsColumns) {
    Check(node->Left, node, constantsAsColumns);
    const TExpToken* operand = node->Left;
    uint8_t type = operand != nullptr ? operand->DataType : 0;
    if (operand == nullptr || !IsUnaryOperandAllowed(node->Code, type))
        FailIn("Type mismatch between '" + node->Text + "'" + " operator and " + "'" +
               (operand != nullptr ? operand->Text : std::string()) + "'");
    node->DataType = UnaryResultType(node->Code, type);
    node->SubType = UnaryResultSubType(node->Code, operand->SubType);
    node->DataSize = operand->DataSize;
    node->Scale = operand->Scale;
}

void TTypeChecker::CheckBinary(TExpToken* node, bool constantsAsColumns) {
    Check(node->Left, node, constantsAsColumns);
    Check(node->Right, node, constantsAsColumns);
    TExpToken* left = node->Left;
    TExpToken* right = node->Right;
    if (left == nullptr || right == nullptr)
        FailIn("Type mismatch between " + std::string(KindWord(left)) + " '" + (left ? left->Text : "") +
               "'" + " and " + KindWord(right) + " '" + (right ? right->Text : "") + "'");

    // Two columns compared, one of them written as a string: that one meant the text.
    auto columnish = [](const TExpToken* t) {
        return t->Kind == tkColumn || (t->Kind == tkFunction && ExpTreeHasColumn(t));
    };
    if ((IsComparison(node->Code) || node->Code == ecAdd) && node->JoinChecked == 0 && columnish(left) &&
        columnish(right)) {
        TExpToken* r = FindColumnInExpTree(right);
        TExpToken* l = FindColumnInExpTree(left);
        if (r != nullptr && r->FromConstant)
            RevertToConstant(r);
        else if (l != nullptr && l->FromConstant)
            RevertToConstant(l);
    }

    // Only a constant's text is converted; a string column compared with a date stays a mismatch.
    if (left->Kind == tkConstant || right->Kind == tkConstant) {
        Group lg = GroupOf(left), rg = GroupOf(right);
        if (IsDateTime(lg) && right->Kind == tkConstant && right->DataType == fldString)
            ConvertDateText(right, left);
        else if (IsDateTime(rg) && left->Kind == tkConstant && left->DataType == fldString)
            ConvertDateText(left, right);
    }

    if (!IsOperandTypeAllowed(node->Code, left->DataType, left->SubType, right->DataType, right->SubType))
        FailIn("Type mismatch between " + std::string(KindWord(left)) + " " + "'" + left->Text + "'" +
               " and " + KindWord(right) + " " + "'" + right->Text + "'");
    SetBinaryResultType(node, left, right);
}

void TTypeChecker::CheckFunction(TExpToken* node, bool constantsAsColumns) {
    const uint8_t code = node->Code;
    // The function's keyword, as the messages name it.
    const TExpFunction* function = ExpFunctionOf(code);
    const std::string word = function != nullptr ? function->Keyword : "";
    auto arg = [&](int i) { return node->GetArgument(i); };
    auto checkArg = [&](int i, bool asColumns) { Check(arg(i), node, asColumns); };
    auto isString = [&](const TExpToken* t) { return t != nullptr && GroupOf(t) == gS; };
    auto isStringType = [&](const TExpToken* t) { return t != nullptr && t->DataType == fldString; };
    auto isMemo = [&](const TExpToken* t) { return t != nullptr && t->DataType == fldBlob; };
    auto takeType = [&](const TExpToken* from) {
        node->DataType = from->DataType;
        node->SubType = from->SubType;
        node->DataSize = from->DataSize;
        node->Scale = from->Scale;
    };
    auto setFixed = [&](uint8_t type, int32_t size) {
        node->DataType = type;
        node->SubType = 0;
        node->DataSize = size;
        node->Scale = 0;
    };
    auto stringLike = [&](const TExpToken* from) {
        node->DataType = isMemo(from) ? fldBlob : fldString;
        node->SubType = isMemo(from) ? fldstMemo : 0;
        node->DataSize = from->DataSize;
        node->Scale = 0;
    };

    switch (code) {
        case ecSum:
        case ecRunSum:
        case ecMin:
        case ecMax:
        case ecAvg: {
            checkArg(0, constantsAsColumns);
            Group g = GroupOf(arg(0));
            if (arg(0) == nullptr || !(IsDateTime(g) || IsNumeric(g)))
                Fail(word + " aggregate function " +
                     "must contain a numeric, date, time, or timestamp expression in " + Context);
            takeType(arg(0));
            break;
        }
        case ecCount:
            checkArg(0, constantsAsColumns);
            setFixed(fldInteger, 4);
            break;
        case ecUpper:
        case ecLower:
            checkArg(0, constantsAsColumns);
            if (!isString(arg(0)))
                FailIn("Type mismatch between " + word + " function and function argument");
            stringLike(arg(0));
            break;
        case ecSubstring:
            checkArg(0, constantsAsColumns);
            checkArg(1, false);
            checkArg(2, false);
            if (!isString(arg(0)))
                FailIn("Expression argument of SUBSTRING function must be a string or memo");
            if (arg(1) == nullptr || arg(1)->DataType != fldInteger)
                FailIn("FROM argument of SUBSTRING function must be an integer value");
            if (arg(2) != nullptr && arg(2)->DataType != fldInteger)
                FailIn("FOR argument of SUBSTRING function must be an integer value");
            stringLike(arg(0));
            break;
        case ecReplace:
            checkArg(0, false);
            checkArg(1, false);
            checkArg(2, constantsAsColumns);
            if (!isString(arg(2))) FailIn("IN argument of REPLACE function must be a string or memo");
            if (!isStringType(arg(0)))
                FailIn("Type mismatch between REPLACE function and search string argument");
            if (!isStringType(arg(1)))
                FailIn("Type mismatch between REPLACE function and replacement string argument");
            stringLike(arg(2));
            break;
        case ecPos:
        case ecOccurs:
            checkArg(0, false);
            checkArg(1, constantsAsColumns);
            if (!isString(arg(1))) FailIn("Type mismatch between " + word + " function and IN argument");
            if (!isStringType(arg(0)))
                FailIn("Type mismatch between " + word + " function and search string argument");
            setFixed(fldInteger, 4);
            break;
        case ecTrimLeading:
        case ecTrimTrailing:
        case ecTrimBoth: {
            checkArg(0, false);
            checkArg(1, constantsAsColumns);
            if (!isString(arg(1))) FailIn("FROM argument of TRIM function must be a string or memo");
            const TExpToken* c = arg(0);
            if (c == nullptr || c->Kind != tkConstant || c->DataType != fldString || c->DataSize != 2)
                FailIn("Trim character argument of TRIM function must be a single character constant");
            stringLike(arg(1));
            break;
        }
        case ecLength:
            checkArg(0, constantsAsColumns);
            if (!isString(arg(0))) FailIn("Type mismatch between LENGTH function and function argument");
            setFixed(fldInteger, 4);
            break;
        case ecCast: {
            for (int i = 0; i < node->ArgumentCount(); ++i) checkArg(i, i == 0 && constantsAsColumns);
            const TExpToken* value = arg(0);
            bool nullSource =
                value != nullptr && value->Kind == tkConstant && value->IsNull && value->DataType == 0;
            if (!nullSource && (value == nullptr || !IsCastAllowed(node->DataType, value->DataType)))
                FailIn("Type mismatch between " + std::string(KindWord(value)) + " " + "'" +
                       (value ? value->Text : "") + "'" + " and AS argument");
            CheckDataType(node);
            ApplyWrapRule(node);
            break;
        }
        case ecExtractYear:
        case ecExtractMonth:
        case ecExtractWeek:
        case ecExtractDay:
        case ecExtractDayOfWeek:
        case ecExtractDayOfYear:
        case ecExtractHour:
        case ecExtractMinute:
        case ecExtractSecond: {
            checkArg(0, constantsAsColumns);
            TExpToken* value = arg(0);
            if (value != nullptr && value->Kind == tkConstant && value->DataType == fldString) {
                // A date, else a time, else a timestamp; the text is kept until one reads it.
                static const struct {
                    uint8_t Type;
                    int32_t Size;
                } tries[] = {{fldDate, 4}, {fldTime, 4}, {fldTimestamp, 8}};
                for (const auto& t : tries) {
                    uint8_t work[ConvertBufferSize + 5] = {};
                    std::memcpy(work, value->Data.get(),
                                std::min<size_t>(ConvertBufferSize, size_t(value->Capacity)));
                    work[ConvertBufferSize - 1] = 0;
                    if (TextToDateTimeValue(work, t.Type)) {
                        value->SetDataSize(t.Size);
                        std::memcpy(value->Data.get(), work, size_t(t.Size));
                        value->DataType = t.Type;
                        value->IsNull = false;
                        break;
                    }
                }
            }
            if (!IsDateTime(GroupOf(value)))
                FailIn("FROM argument of EXTRACT function must be a date, time, or timestamp");
            setFixed(fldInteger, 4);
            break;
        }
        case ecIf:
            checkArg(0, constantsAsColumns);
            checkArg(1, true);
            checkArg(2, true);
            if (arg(0) == nullptr || arg(0)->DataType != fldBoolean)
                FailIn("First expression argument of IF function must be a boolean type");
            CheckResult("IF", node, 1);
            break;
        case ecIfNull:
            checkArg(0, constantsAsColumns);
            checkArg(1, true);
            checkArg(2, true);
            CheckResult("IFNULL", node, 1);
            break;
        case ecCoalesce:
            for (int i = 0; i < node->ArgumentCount(); ++i) checkArg(i, false);
            CheckResult("COALESCE", node, 0);
            break;
        case ecAbs:
            checkArg(0, constantsAsColumns);
            if (arg(0) == nullptr || !IsNumeric(GroupOf(arg(0))))
                FailIn("Expression argument of ABS function must be an integer, floating-point, or BCD type");
            takeType(arg(0));
            break;
        case ecRound: {
            checkArg(0, constantsAsColumns);
            checkArg(1, false);
            if (arg(0) == nullptr || (arg(0)->DataType != fldFloat && arg(0)->DataType != fldBCD))
                FailIn("Expression argument of ROUND function must be a floating-point or BCD type");
            if (arg(1) != nullptr) {
                int64_t places;
                if (!ConstantInteger(arg(1), places))
                    FailIn("Decimal places argument of ROUND function must be an integer constant");
                if (places < 0 || places > 32)
                    FailIn(
                        "Decimal places argument of ROUND function must be an integer constant between 0 and "
                        "32");
            }
            takeType(arg(0));
            break;
        }
        case ecTextSearch:
        case ecTextOccurs: {
            checkArg(0, false);
            checkArg(1, constantsAsColumns);
            const TExpToken* text = arg(0);
            const TExpToken* column = arg(1);
            if (!isStringType(text))
                FailIn("Type mismatch between " + word + " function and search text function argument");
            if (text->Kind != tkConstant)
                FailIn(word + " search text function argument must be a string constant");
            if (column == nullptr || column->Kind != tkColumn)
                FailIn(word + " function column argument must be a valid column name");
            if (!isString(column))
                FailIn("Type mismatch between " + word + " function and column function argument");
            if (code == ecTextSearch) {
                setFixed(fldBoolean, 2);
                ApplyWrapRule(node);
            } else {
                setFixed(fldInteger, 4);
            }
            break;
        }
        case ecLastAutoInc:
        case ecIdentCurrent: {
            checkArg(0, false);
            const TExpToken* name = arg(0);
            if (!isStringType(name))
                FailIn("Type mismatch between " + word + " function and " + "table name function argument");
            if (name->Kind != tkConstant)
                FailIn(word + " table name function argument must " + "be a string constant");
            if (Resolver != nullptr) Resolver->LinkAutoIncTable(node, name->Text);
            setFixed(fldInteger, 4);
            break;
        }
        default:
            for (int i = 0; i < node->ArgumentCount(); ++i) checkArg(i, constantsAsColumns);
            break;
    }
}

void TTypeChecker::CheckPredicate(TExpToken* node, bool constantsAsColumns) {
    const std::string word = OperatorWord(node->Code);
    auto arg = [&](int i) { return node->GetArgument(i); };
    auto mismatch = [&](const TExpToken* t) {
        FailIn("Type mismatch between " + word + " operator and expression " + "'" + (t ? t->Text : "") +
               "'");
    };
    Check(arg(0), node, constantsAsColumns);
    TExpToken* tested = arg(0);
    switch (node->Code) {
        case ecLike:
        case ecNotLike:
            Check(arg(1), node, false);
            if (tested == nullptr || GroupOf(tested) != gS) mismatch(tested);
            if (arg(1) == nullptr || arg(1)->DataType != fldString) mismatch(arg(1));
            break;
        case ecInSelect:
        case ecNotInSelect:
            Check(arg(1), node, constantsAsColumns);
            if (tested == nullptr || arg(1) == nullptr ||
                !IsOperandTypeAllowed(ecEqual, tested->DataType, tested->SubType, arg(1)->DataType,
                                      arg(1)->SubType))
                mismatch(arg(1));
            break;
        default:
            for (int i = 1; i < node->ArgumentCount(); ++i) {
                TExpToken* value = arg(i);
                Check(value, node, false);
                if (value == nullptr || tested == nullptr) mismatch(value);
                if (IsDateTime(GroupOf(tested)) && value->Kind == tkConstant && value->DataType == fldString)
                    ConvertDateText(value, tested);
                if (!IsOperandTypeAllowed(ecEqual, tested->DataType, tested->SubType, value->DataType,
                                          value->SubType))
                    mismatch(value);
            }
            if (node->ArgumentCount() < 2) mismatch(nullptr);
            break;
    }
    node->DataType = fldBoolean;
    node->SubType = 0;
    node->DataSize = 2;
    node->Scale = 0;
}

void TTypeChecker::CheckResult(const std::string& word, TExpToken* node, int first) {
    const int count = node->ArgumentCount();
    bool anyValue = false;
    for (int i = first; i < count; ++i)
        if (node->GetArgument(i) != nullptr && !node->GetArgument(i)->IsNull) anyValue = true;
    if (!anyValue)
        Fail("At least one of the " + word + " expression " + "arguments in " + Context +
             " must be a non-NULL value");
    for (int i = first; i + 1 < count; ++i) {
        const TExpToken* a = node->GetArgument(i);
        const TExpToken* b = node->GetArgument(i + 1);
        if (a == nullptr || b == nullptr ||
            !IsOperandTypeAllowed(ecEqual, a->DataType, a->SubType, b->DataType, b->SubType))
            FailIn("Type mismatch between " + word + " expression arguments");
    }
    const TExpToken* f = node->GetArgument(first);
    if (f == nullptr) FailIn("Type mismatch between " + word + " expression arguments");
    node->DataType = f->DataType;
    node->SubType = f->SubType;
    node->DataSize = f->DataSize;
    node->Scale = f->Scale;
    if (f->DataType == fldString) {
        bool anyBlob = false;
        int32_t size = 0;
        uint8_t scale = 0;
        for (int i = first; i < count; ++i) {
            const TExpToken* a = node->GetArgument(i);
            if (a == nullptr) continue;
            anyBlob = anyBlob || a->DataType == fldBlob;
            size = std::max(size, a->DataSize);
            scale = std::max(scale, a->Scale);
        }
        if (!anyBlob) {
            node->DataSize = size;
            node->Scale = scale;
        }
    }
    ApplyWrapRule(node);
}

void TTypeChecker::CheckDataType(TExpToken* node) {
    const TExpToken* value = node->GetArgument(0);
    const TExpToken* a1 = node->GetArgument(1);
    const TExpToken* a2 = node->GetArgument(2);
    int64_t v;
    node->Scale = 0;
    switch (node->DataType) {
        case fldString:
        case fldBytes:
        case fldVarBytes: {
            const bool text = node->DataType == fldString;
            if (a1 != nullptr) {
                if (!ConstantInteger(a1, v)) FailIn("Length argument must be an integer");
                if (v < 1 || v > 250)
                    FailIn(
                        std::string(
                            "Length argument must be an integer greater than 0 and less than or equal to ") +
                        "250");
                node->DataSize = static_cast<int32_t>(text ? v + 1 : v);
            } else {
                node->DataSize = value != nullptr ? value->DataSize : 10;
            }
            break;
        }
        case fldBCD:
            node->DataSize = BcdRecordSize;
            if (a1 != nullptr && a2 != nullptr) {
                if (!ConstantInteger(a2, v)) FailIn("Scale argument must be an integer");
                uint8_t scale = static_cast<uint8_t>(v);
                if (scale > 4)
                    Fail(
                        "Scale argument must be an integer less than or equal to 4 but greater than or equal "
                        "to 0 for "
                        "the BCD data type " +
                        Context);
                node->Scale = scale;
            }
            break;
        case fldBlob:
            if (value != nullptr) node->DataSize = value->DataSize;
            if (node->SubType == 0) {
                int64_t first, kind;
                if (!ConstantInteger(a1, first)) FailIn("First BLOB type argument must be an integer");
                if (!ConstantInteger(a2, kind)) FailIn("BLOB type argument must be an integer");
                uint8_t b = static_cast<uint8_t>(kind);
                if (b != 1 && b != 2 && b != 3 && b != 5 && b != 7)
                    FailIn("BLOB type argument must be an integer with a value of 1,2,3,5, or 7");
                node->SubType = static_cast<uint8_t>(b + 21);
            }
            break;
        default: {
            int32_t size = FixedValueSize(node->DataType);
            if (size > 0) node->DataSize = size;
            break;
        }
    }
}

}  // namespace

// ---- Type tables ----

bool IsOperandTypeAllowed(uint8_t Operator, uint8_t LeftType, uint8_t LeftSubType, uint8_t RightType,
                          uint8_t RightSubType) {
    Group l = GroupOf(LeftType, LeftSubType);
    Group r = GroupOf(RightType, RightSubType);
    if (l == gN) return false;
    switch (Operator) {
        case ecEqual:
        case ecNotEqual:
        case ecGreater:
        case ecLess:
        case ecGreaterOrEqual:
        case ecLessOrEqual: {
            const bool equality = Operator == ecEqual || Operator == ecNotEqual;
            switch (l) {
                case gS:
                    return In(r, {gN, gS});
                case gB:
                    return r == gN;
                case gD:
                case gTS:
                    return In(r, {gN, gD, gTS});
                case gT:
                    return In(r, {gN, gT});
                case gL:
                    return equality && In(r, {gN, gL});
                case gI:
                case gF:
                case gC:
                    return In(r, {gN, gI, gF, gC});
                case gY:
                    return equality && In(r, {gN, gY});
                default:
                    return false;
            }
        }
        case ecAnd:
        case ecOr:
            return l == gL && In(r, {gN, gL});
        case ecAdd:
            switch (l) {
                case gS:
                    return In(r, {gN, gS});
                case gB:
                    return r == gN;
                case gD:
                case gT:
                case gTS:
                    return In(r, {gN, gI});
                case gI:
                    return In(r, {gN, gI, gF, gC, gD, gT, gTS});
                case gF:
                case gC:
                    return In(r, {gN, gI, gF, gC});
                default:
                    return false;
            }
        case ecSubtract:
            switch (l) {
                case gD:
                    return In(r, {gN, gD, gI});
                case gT:
                    return In(r, {gN, gT, gI});
                case gTS:
                    return In(r, {gN, gD, gT, gTS, gI});
                case gI:
                case gF:
                case gC:
                    return In(r, {gN, gI, gF, gC});
                default:
                    return false;
            }
        case ecMultiply:
        case ecDivide:
            return IsNumeric(l) && In(r, {gN, gI, gF, gC});
        default:
            return false;
    }
}

uint8_t BinaryResultType(uint8_t Operator, uint8_t LeftType, uint8_t RightType) {
    if (IsComparison(Operator) || Operator == ecAnd || Operator == ecOr) return fldBoolean;
    // The subtype does not matter to the groups used below, except that a BLOB reaching "+"
    // with a string is a memo (other BLOBs were refused by the operand check).
    Group l = GroupOf(LeftType, LeftType == fldBlob ? fldstMemo : 0);
    Group r = GroupOf(RightType, RightType == fldBlob ? fldstMemo : 0);
    if (r == gN) return 0;
    if (Operator == ecAdd && l == gS && r == gS)
        return LeftType == fldBlob || RightType == fldBlob ? fldBlob : fldString;
    if (Operator == ecAdd || Operator == ecSubtract) {
        auto dateWithInt = [&](Group g, uint8_t type) -> uint8_t {
            if ((l == g && r == gI) || (Operator == ecAdd && l == gI && r == g)) return type;
            return 0;
        };
        if (uint8_t t = dateWithInt(gD, fldDate)) return t;
        if (uint8_t t = dateWithInt(gT, fldTime)) return t;
        if (uint8_t t = dateWithInt(gTS, fldTimestamp)) return t;
    }
    if (Operator == ecSubtract) {
        if ((l == gD && r == gD) || (l == gT && r == gT) || (l == gTS && (r == gD || r == gT)))
            return fldInteger;
        if (l == gTS && r == gTS) return fldFloat;
    }
    if (Operator == ecAdd || Operator == ecSubtract || Operator == ecMultiply) {
        if (l == gI && r == gI)
            return LeftType == fldLargeInt || RightType == fldLargeInt ? fldLargeInt : fldInteger;
        if ((l == gF && IsNumeric(r)) || ((l == gI || l == gC) && r == gF)) return fldFloat;
        if ((l == gC && (r == gI || r == gC)) || (l == gI && r == gC)) return fldBCD;
    }
    if (Operator == ecDivide) {
        if ((l == gI && (r == gI || r == gF)) || l == gF) return fldFloat;
        if ((l == gI && r == gC) || (l == gC && (r == gI || r == gC))) return fldBCD;
        if (l == gC && r == gF) return fldFloat;
    }
    return 0;
}

uint8_t BinaryResultSubType(uint8_t Operator, uint8_t LeftType, uint8_t LeftSubType, uint8_t RightType,
                            uint8_t RightSubType) {
    Group l = GroupOf(LeftType, LeftSubType);
    Group r = GroupOf(RightType, RightSubType);
    if (Operator == ecAdd && l == gS && r == gS)
        return LeftType == fldBlob || RightType == fldBlob ? fldstMemo : 0;
    const bool leftMoney = LeftSubType == fldstMoney;
    const bool rightMoney = RightSubType == fldstMoney;
    if (Operator == ecAdd || Operator == ecMultiply) {
        if ((leftMoney && IsNumeric(r)) || (LeftSubType == 0 && IsNumeric(l) && rightMoney))
            return fldstMoney;
    }
    if (Operator == ecSubtract || Operator == ecDivide) {
        if (leftMoney && IsNumeric(r)) return fldstMoney;
    }
    return 0;
}

void SetBinaryResultType(TExpToken* Node, const TExpToken* Left, const TExpToken* Right) {
    Node->DataType = BinaryResultType(Node->Code, Left->DataType, Right->DataType);
    Node->SubType =
        BinaryResultSubType(Node->Code, Left->DataType, Left->SubType, Right->DataType, Right->SubType);
    Node->Scale = 0;
    if (Node->Code == ecAdd && GroupOf(Left) == gS && GroupOf(Right) == gS) {
        Node->DataSize = Left->DataSize + Right->DataSize - 1;
        return;
    }
    if (Node->DataType == fldBCD) {
        Node->DataSize = BcdRecordSize;
        Node->Scale = std::max(Left->Scale, Right->Scale);
        return;
    }
    int32_t size = FixedValueSize(Node->DataType);
    if (size > 0) Node->DataSize = size;
}

bool IsUnaryOperandAllowed(uint8_t Operator, uint8_t OperandType) {
    switch (Operator) {
        case ecNot:
        case ecIsNull:
        case ecIsNotNull:
            return OperandType == fldBoolean;
        case ecNegate:
        case ecPlusSign:
            switch (OperandType) {
                case 0:
                case fldDate:
                case fldSmallInt:
                case fldInteger:
                case fldFloat:
                case fldBCD:
                case fldTime:
                case fldTimestamp:
                case fldLargeInt:
                    return true;
                case fldWord:
                    return Operator == ecPlusSign;
                default:
                    return false;
            }
        default:
            return false;
    }
}

uint8_t UnaryResultType(uint8_t Operator, uint8_t OperandType) {
    if (Operator == ecNot || Operator == ecIsNull || Operator == ecIsNotNull) return fldBoolean;
    return OperandType;
}

uint8_t UnaryResultSubType(uint8_t Operator, uint8_t OperandSubType) {
    if (Operator == ecNot || Operator == ecIsNull || Operator == ecIsNotNull) return 0;
    return OperandSubType;
}

bool IsCastAllowed(uint8_t TargetType, uint8_t SourceType) {
    auto any = [&](std::initializer_list<uint8_t> set) {
        return std::find(set.begin(), set.end(), SourceType) != set.end();
    };
    switch (TargetType) {
        case fldString:
        case fldBlob:
        case fldBytes:
        case fldVarBytes:
            return true;
        case fldDate:
            return any({0, fldString, fldDate, fldBytes, fldTimestamp, fldVarBytes});
        case fldTime:
            return any({0, fldString, fldBytes, fldTime, fldTimestamp, fldVarBytes});
        case fldTimestamp:
            return any({0, fldString, fldDate, fldBytes, fldTime, fldTimestamp, fldVarBytes});
        case fldBoolean:
            return any({0, fldString, fldBoolean, fldSmallInt, fldInteger, fldBCD, fldBytes, fldWord,
                        fldVarBytes, fldLargeInt});
        case fldSmallInt:
        case fldWord:
            return any({0, fldString, fldBoolean, fldSmallInt, fldInteger, fldFloat, fldBCD, fldBytes,
                        fldWord, fldVarBytes, fldLargeInt});
        case fldInteger:
        case fldFloat:
        case fldBCD:
        case fldLargeInt:
            return any({0, fldString, fldSmallInt, fldInteger, fldFloat, fldBCD, fldBytes, fldWord,
                        fldVarBytes, fldLargeInt});
        default:
            return false;
    }
}

void WrapBooleanAsComparison(TExpToken* Node) {
    TExpTreeHolder copy(NewExpToken());
    TExpTreeHolder truth(NewExpToken());
    copy->Assign(*Node);
    copy->Parent = Node;
    // The copy now owns the node's operands and arguments.
    if (copy->Left != nullptr) copy->Left->Parent = copy.get();
    if (copy->Right != nullptr) copy->Right->Parent = copy.get();
    for (TExpToken* a : copy->Arguments)
        if (a != nullptr) a->Parent = copy.get();
    truth->Kind = tkConstant;
    truth->Text = "True";
    truth->DataType = fldBoolean;
    truth->SetDataSize(2);
    truth->Data[0] = 1;
    truth->Data[1] = 0;
    truth->Parent = Node;

    Node->Kind = tkBinary;
    Node->Code = ecEqual;
    Node->Text = "=";
    Node->DataType = fldBoolean;
    Node->SubType = 0;
    Node->DataSize = 2;
    Node->Scale = 0;
    Node->IsNull = false;
    Node->IsParam = false;
    Node->FromConstant = false;
    Node->ColumnName.clear();
    Node->TableName.clear();
    Node->FieldNo = 0;
    Node->Table = nullptr;
    Node->Query = nullptr;
    Node->Arguments.clear();
    Node->Left = copy.release();
    Node->Right = truth.release();
}

void CheckExpTokenTypes(TEngineErrorCode ErrorCode, const std::string& DatabaseName,
                        const std::string& TableName, const std::string& ContextWord, TExpToken* Node,
                        TExpToken* Parent, TExpTypeResolver* Resolver, bool WrapBooleans,
                        bool ConstantsAsColumns) {
    TTypeChecker checker{ErrorCode, DatabaseName, TableName, ContextWord, Resolver, WrapBooleans};
    checker.Check(Node, Parent, ConstantsAsColumns);
}

void CheckResultArguments(const std::string& FunctionWord, TEngineErrorCode ErrorCode,
                          const std::string& DatabaseName, bool WrapBooleans, TExpToken* Node, int First,
                          const std::string& ContextWord, const std::string& TableName) {
    TTypeChecker checker{ErrorCode, DatabaseName, TableName, ContextWord, nullptr, WrapBooleans};
    checker.CheckResult(FunctionWord, Node, First);
}

void CheckDataTypeArguments(TEngineErrorCode ErrorCode, const std::string& DatabaseName,
                            const std::string& TableName, TExpToken* Node, const std::string& ContextWord) {
    TTypeChecker checker{ErrorCode, DatabaseName, TableName, ContextWord, nullptr, false};
    checker.CheckDataType(Node);
}

}  // namespace dbengine
