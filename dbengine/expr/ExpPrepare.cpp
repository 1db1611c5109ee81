#include "dbengine/expr/ExpPrepare.h"

#include <cmath>
#include <string>

#include "dbengine/data/FieldDescriptor.h"
#include "dbengine/expr/ValueTypes.h"
#include "dbengine/os/OSLayer.h"

namespace dbengine {

namespace {

bool IsIntegerType(uint8_t t) {
    return t == fldSmallInt || t == fldInteger || t == fldWord || t == fldLargeInt;
}

bool IsComparison(uint8_t code) {
    return code >= ecEqual && code <= ecLessOrEqual;
}

// A whole number held by a folded value, when it holds one exactly.
bool WholeValue(const TExpToken* v, int64_t& out) {
    if (IsIntegerType(v->DataType)) {
        out = ExpIntegerValue(v);
        return true;
    }
    if (v->DataType == fldFloat) {
        double d = ExpFloatValue(v);
        if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) >= 9.2e18) return false;
        out = static_cast<int64_t>(d);
        return true;
    }
    if (v->DataType == fldBCD) {
        int64_t amount = ExpBcdAmount(v);
        if (amount % 10000 != 0) return false;
        out = amount / 10000;
        return true;
    }
    return false;
}

void TakeType(TExpToken* value, const TExpToken* reference) {
    value->DataType = reference->DataType;
    value->SubType = reference->SubType;
    value->DataSize = reference->DataSize;
    value->Scale = reference->Scale;
    value->SetCapacity(value->DataSize);
}

// A string constant of the prepared tree whose text ends in a wildcard run.
bool IsTextConstant(const TExpToken* t) {
    return t != nullptr && t->Kind == tkConstant && t->DataType == fldString && !t->IsNull;
}

void StripTrailing(TExpToken* constant, char wildcard) {
    std::string text = ExpTextValue(constant);
    while (!text.empty() && text.back() == wildcard) text.pop_back();
    SetExpText(constant, text);
}

TExpToken* NullConstant() {
    TExpToken* t = NewExpToken();
    t->Kind = tkConstant;
    t->Text = "NULL";
    t->IsNull = true;
    return t;
}

class TPreparer {
public:
    TExpValueSource* Source;
    uint16_t Language, Sort;
    bool CaseInsensitive, NoPartialCompare;

    TExpToken* Prepare(const TExpToken* n);

private:
    TExpToken* PrepareOrFold(const TExpToken* reference, const TExpToken* operand) {
        if (operand == nullptr) return nullptr;
        if (ExpTreeHasColumn(operand) || operand->Kind == tkSubSelect) return Prepare(operand);
        return FoldConstantOperand(reference, operand, Source, Language, Sort);
    }
    void RewriteEquality(TExpToken* node);
    void RewriteLike(TExpToken* node);
};

TExpToken* TPreparer::Prepare(const TExpToken* n) {
    if (n == nullptr) return nullptr;
    TExpTreeHolder holder(NewExpToken());
    TExpToken* node = holder.get();
    node->Assign(*n);
    node->Left = node->Right = nullptr;
    node->Arguments.assign(n->Arguments.size(), nullptr);
    switch (n->Kind) {
        case tkUnary:
            node->Left = Prepare(n->Left);
            break;
        case tkBinary:
            node->Left = Prepare(n->Left);
            if (IsComparison(n->Code) && n->Right != nullptr && !ExpTreeHasColumn(n->Right) &&
                n->Left != nullptr) {
                node->Right = FoldConstantOperand(n->Left, n->Right, Source, Language, Sort);
                RewriteEquality(node);
            } else {
                node->Right = Prepare(n->Right);
            }
            break;
        case tkFunction:
            for (size_t i = 0; i < n->Arguments.size(); ++i)
                node->Arguments[i] = PrepareOrFold(n->Arguments[i], n->Arguments[i]);
            break;
        case tkPredicate: {
            const TExpToken* tested = n->GetArgument(0);
            node->Arguments[0] = Prepare(tested);
            for (size_t i = 1; i < n->Arguments.size(); ++i) {
                const TExpToken* a = n->Arguments[i];
                node->Arguments[i] = n->Code == ecInSelect || n->Code == ecNotInSelect || tested == nullptr
                                         ? Prepare(a)
                                         : PrepareOrFold(tested, a);
            }
            if (n->Code == ecLike || n->Code == ecNotLike) RewriteLike(node);
            break;
        }
        default:
            break;
    }
    if (node->Left != nullptr) node->Left->Parent = node;
    if (node->Right != nullptr) node->Right->Parent = node;
    for (TExpToken* a : node->Arguments)
        if (a != nullptr) a->Parent = node;
    return holder.release();
}

void TPreparer::RewriteEquality(TExpToken* node) {
    TExpToken* constant = node->Right;
    if (!IsTextConstant(constant) || (node->Code != ecEqual && node->Code != ecNotEqual)) return;
    const std::string text = ExpTextValue(constant);
    const bool partial = !NoPartialCompare && EndsWithWildcardRun(Language, Sort, text, '*');
    if (!CaseInsensitive && !partial) return;
    if (partial) {
        StripTrailing(constant, '*');
        const int32_t remaining = static_cast<int32_t>(ExpTextValue(constant).size());
        if (remaining == 0) {
            // A prefix of no characters: every value that is not NULL. A compare length of 0
            // would mean the whole (empty) text instead.
            node->Code = node->Code == ecEqual ? ecNotEqual : ecEqual;
            TExpToken* old = node->Right;
            ReleaseExpToken(old);
            node->Right = NullConstant();
            return;
        }
        node->CompareLength = remaining;
    } else {
        node->CompareLength = 0;
    }
    node->Kind = tkStringCompare;
    node->CaseInsensitive = CaseInsensitive;
}

void TPreparer::RewriteLike(TExpToken* node) {
    TExpToken* pattern = node->GetArgument(1);
    if (node->ArgumentCount() != 2 || !IsTextConstant(pattern)) return;
    const std::string text = ExpTextValue(pattern);
    if (!EndsWithWildcardRun(Language, Sort, text, '%')) return;
    std::string prefix = text;
    while (!prefix.empty() && prefix.back() == '%') prefix.pop_back();
    // "_" stands for any character in a pattern but only for itself in a prefix comparison.
    if (prefix.find('_') != std::string::npos) return;
    const bool notLike = node->Code == ecNotLike;
    node->Left = node->Arguments[0];
    node->Right = pattern;
    node->Arguments.clear();
    node->Kind = tkBinary;
    if (prefix.empty()) {
        // LIKE '%' holds for every value that is not NULL.
        node->Code = notLike ? ecEqual : ecNotEqual;
        ReleaseExpToken(node->Right);
        node->Right = NullConstant();
        return;
    }
    SetExpText(pattern, prefix);
    node->Kind = tkStringCompare;
    node->Code = notLike ? ecNotEqual : ecEqual;
    node->CompareLength = static_cast<int32_t>(prefix.size());
    // The pattern matcher compares characters as the language does; where it ignores case
    // (language 0 always), so must the prefix comparison.
    node->CaseInsensitive = CompareLocaleChar(Language, Sort, 'a', 'A') == 0;
}

}  // namespace

bool EndsWithWildcardRun(uint16_t LanguageId, uint16_t SortId, std::string_view Text, char Wildcard) {
    (void)LanguageId;
    (void)SortId;
    if (Text.empty()) return false;
    size_t p = Text.find(Wildcard);
    if (p == std::string_view::npos) return false;
    if (p == Text.size() - 1) return true;
    return p == Text.size() - 2 && Text[p + 1] == Wildcard;
}

bool ConvertFoldedValue(TExpToken* Value, const TExpToken* Reference) {
    const uint8_t to = Reference->DataType, from = Value->DataType;
    if (to == from) return true;
    int64_t whole;
    switch (to) {
        case fldDate: {
            if (from != fldTimestamp) return false;
            double ms = ExpFloatValue(Value);
            if (std::fmod(ms, static_cast<double>(MSecsPerDay)) != 0) return false;
            int64_t day = static_cast<int64_t>(ms / MSecsPerDay);
            TakeType(Value, Reference);
            SetExpInteger(Value, day);
            return true;
        }
        case fldTimestamp: {
            if (from != fldDate) return false;
            double ms = static_cast<double>(ExpIntegerValue(Value)) * MSecsPerDay;
            TakeType(Value, Reference);
            SetExpFloat(Value, ms);
            return true;
        }
        case fldSmallInt:
        case fldWord:
        case fldInteger:
        case fldLargeInt: {
            if (!IsIntegerType(from) && from != fldFloat && from != fldBCD) return false;
            if (!WholeValue(Value, whole)) return false;
            const int64_t low = to == fldSmallInt  ? INT16_MIN
                                : to == fldWord    ? 0
                                : to == fldInteger ? INT32_MIN
                                                   : INT64_MIN;
            const int64_t high = to == fldSmallInt  ? INT16_MAX
                                 : to == fldWord    ? UINT16_MAX
                                 : to == fldInteger ? INT32_MAX
                                                    : INT64_MAX;
            if (whole < low || whole > high) return false;
            TakeType(Value, Reference);
            SetExpInteger(Value, whole);
            return true;
        }
        case fldFloat: {
            double d;
            if (IsIntegerType(from)) {
                int64_t v = ExpIntegerValue(Value);
                if (v > (int64_t(1) << 53) || v < -(int64_t(1) << 53)) return false;
                d = static_cast<double>(v);
            } else if (from == fldBCD) {
                int64_t amount = ExpBcdAmount(Value);
                d = static_cast<double>(amount) / 10000.0;
                if (std::llround(d * 10000.0) != amount) return false;
            } else {
                return false;
            }
            TakeType(Value, Reference);
            SetExpFloat(Value, d);
            return true;
        }
        case fldBCD: {
            long double amount;
            if (IsIntegerType(from))
                amount = static_cast<long double>(ExpIntegerValue(Value)) * 10000;
            else if (from == fldFloat)
                amount = static_cast<long double>(ExpFloatValue(Value) * 10000.0);
            else
                return false;
            if (!std::isfinite(static_cast<double>(amount)) || amount != std::trunc(amount) ||
                std::fabs(amount) >= 9.2e18L)
                return false;
            int64_t units = static_cast<int64_t>(amount);
            int64_t step = 1;
            for (int i = Reference->Scale; i < 4; ++i) step *= 10;
            if (units % step != 0) return false;
            TakeType(Value, Reference);
            SetExpBcd(Value, units, Reference->Scale);
            return true;
        }
        default:
            return false;
    }
}

TExpToken* FoldConstantOperand(const TExpToken* Reference, const TExpToken* Operand, TExpValueSource* Source,
                               uint16_t LanguageId, uint16_t SortId) {
    TExpToken* value = EvaluateExpToken(Operand, nullptr, Source, LanguageId, SortId);
    if (value == nullptr || Reference == nullptr || value->IsNull || value->DataType == fldString ||
        (value->DataType == fldBlob && value->SubType == fldstMemo) || value->DataType == Reference->DataType)
        return value;
    ConvertFoldedValue(value, Reference);
    return value;
}

TExpToken* PrepareExpTree(const TExpToken* Node, TExpValueSource* Source, uint16_t LanguageId,
                          uint16_t SortId, bool CaseInsensitive, bool NoPartialCompare) {
    TPreparer preparer{Source, LanguageId, SortId, CaseInsensitive, NoPartialCompare};
    return preparer.Prepare(Node);
}

}  // namespace dbengine
