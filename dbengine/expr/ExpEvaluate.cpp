#include "dbengine/expr/ExpEvaluate.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dbengine/expr/ExpTypeCheck.h"
#include "dbengine/expr/FieldConvert.h"
#include "dbengine/expr/ValueTypes.h"
#include "dbengine/os/OSLayer.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/EngineUtils.h"
#include "dbengine/util/QueryHooks.h"

namespace dbengine {

namespace {

uint64_t GetLE(const uint8_t* p, int n) {
    uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

void PutLE(uint8_t* p, uint64_t v, int n) {
    for (int i = 0; i < n; ++i, v >>= 8) p[i] = static_cast<uint8_t>(v);
}

enum Family { fNull, fString, fBlob, fDate, fTime, fStamp, fBool, fInt, fFloat, fBcd, fBytes, fOther };

Family FamilyOf(const TExpToken* t) {
    switch (t->DataType) {
        case 0:
            return fNull;
        case fldString:
            return fString;
        case fldBlob:
            return t->SubType == fldstMemo ? fString : fBlob;
        case fldDate:
            return fDate;
        case fldTime:
            return fTime;
        case fldTimestamp:
            return fStamp;
        case fldBoolean:
            return fBool;
        case fldSmallInt:
        case fldInteger:
        case fldWord:
        case fldLargeInt:
            return fInt;
        case fldFloat:
            return fFloat;
        case fldBCD:
            return fBcd;
        case fldBytes:
        case fldVarBytes:
            return fBytes;
        default:
            return fOther;
    }
}

bool IsText(const TExpToken* t) {
    Family f = FamilyOf(t);
    return f == fString || f == fBlob;
}

bool IsComparison(uint8_t code) {
    return code >= ecEqual && code <= ecLessOrEqual;
}

// The result of a comparison from an ordering -1, 0, 1.
bool Decide(uint8_t code, int order) {
    switch (code) {
        case ecEqual:
            return order == 0;
        case ecNotEqual:
            return order != 0;
        case ecGreater:
            return order > 0;
        case ecLess:
            return order < 0;
        case ecGreaterOrEqual:
            return order >= 0;
        case ecLessOrEqual:
            return order <= 0;
        default:
            return false;
    }
}

template <typename T>
int Order(T a, T b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

void SetBoolean(TExpToken* t, bool v) {
    t->SetCapacity(2);
    t->Data[0] = v ? 1 : 0;
    t->Data[1] = 0;
}

uint16_t BooleanValue(const TExpToken* t) {
    return t->Capacity >= 2 ? static_cast<uint16_t>(t->Data[0] | t->Data[1] << 8) : 0;
}

void NormalizeIfBoolean(TExpToken* t) {
    if (t->DataType == fldBoolean) SetBoolean(t, BooleanValue(t) != 0);
}

int64_t RoundToUnit(long double v) {
    return static_cast<int64_t>(v < 0 ? std::ceil(v - 0.5L) : std::floor(v + 0.5L));
}

// A number of any numeric family in the BCD domain (count of 1/10,000).
long double AsAmount(const TExpToken* t) {
    switch (FamilyOf(t)) {
        case fBcd:
            return static_cast<long double>(ExpBcdAmount(t));
        case fFloat:
            return static_cast<long double>(ExpFloatValue(t)) * 10000;
        default:
            return static_cast<long double>(ExpIntegerValue(t)) * 10000;
    }
}

long double AsReal(const TExpToken* t) {
    switch (FamilyOf(t)) {
        case fBcd:
            return static_cast<long double>(ExpBcdAmount(t)) / 10000;
        case fFloat:
            return ExpFloatValue(t);
        default:
            return static_cast<long double>(ExpIntegerValue(t));
    }
}

bool IsLargeInt(const TExpToken* t) {
    return t->DataType == fldLargeInt;
}

// A date as the timestamp of its midnight; a timestamp as it is.
double AsTimestamp(const TExpToken* t) {
    if (FamilyOf(t) == fDate) return static_cast<double>(ExpIntegerValue(t)) * MSecsPerDay;
    return ExpFloatValue(t);
}

int CompareValues(const TExpToken* l, const TExpToken* r, uint16_t language, uint16_t sort, bool& known) {
    known = true;
    Family lf = FamilyOf(l), rf = FamilyOf(r);
    if (lf == fNull) lf = rf;
    if (rf == fNull) rf = lf;
    if ((lf == fString || lf == fBlob) && (rf == fString || rf == fBlob)) {
        std::string a = ExpTextValue(l), b = ExpTextValue(r);
        return CompareLocaleText(language, sort, a.c_str(), b.c_str(), 0, false);
    }
    if ((lf == fDate && rf == fDate) || (lf == fTime && rf == fTime))
        return Order(ExpIntegerValue(l), ExpIntegerValue(r));
    if ((lf == fStamp || lf == fDate) && (rf == fStamp || rf == fDate))
        return Order(AsTimestamp(l), AsTimestamp(r));
    if (lf == fBool && rf == fBool) return (BooleanValue(l) != 0) == (BooleanValue(r) != 0) ? 0 : 1;
    if (lf == fBytes && rf == fBytes) {
        int32_t n = std::max(0, std::min({l->DataSize, l->Capacity, r->Capacity}));
        if (l->DataSize > r->Capacity) return 1;
        return std::memcmp(l->Data.get(), r->Data.get(), static_cast<size_t>(n)) == 0 ? 0 : 1;
    }
    if (lf == fInt && rf == fInt) return Order(ExpIntegerValue(l), ExpIntegerValue(r));
    if ((lf == fFloat && (rf == fInt || rf == fFloat)) || (lf == fInt && rf == fFloat))
        return Order(static_cast<long double>(AsReal(l)), AsReal(r));
    if ((lf == fBcd && (rf == fInt || rf == fFloat || rf == fBcd)) ||
        ((lf == fInt || lf == fFloat) && rf == fBcd))
        return Order(AsAmount(l), AsAmount(r));
    known = false;
    return 0;
}

void Concatenate(const TExpToken* l, const TExpToken* r, TExpToken* result) {
    std::string text = ExpTextValue(l) + ExpTextValue(r);
    int32_t size = std::max<int32_t>(result->DataSize, static_cast<int32_t>(text.size()) + 1);
    result->SetCapacity(size);
    std::memset(result->Data.get(), 0, static_cast<size_t>(size));
    std::memcpy(result->Data.get(), text.data(), text.size());
    result->DataSize = size;
}

void Arithmetic(uint8_t code, const TExpToken* l, const TExpToken* r, TExpToken* result) {
    Family lf = FamilyOf(l), rf = FamilyOf(r);
    auto toNull = [&] { SetExpNull(result); };
    // Dates and times.
    if (lf == fDate || lf == fTime || lf == fStamp || rf == fDate || rf == fTime || rf == fStamp) {
        if (code == ecSubtract && lf == rf && (lf == fDate || lf == fTime)) {
            SetExpInteger(result, static_cast<int32_t>(static_cast<uint32_t>(ExpIntegerValue(l)) -
                                                       static_cast<uint32_t>(ExpIntegerValue(r))));
            return;
        }
        if (code == ecSubtract && lf == fStamp && rf == fStamp) {
            SetExpFloat(result, ExpFloatValue(l) - ExpFloatValue(r));
            return;
        }
        if (code == ecSubtract && lf == fStamp && (rf == fDate || rf == fTime)) {
            int64_t ms = std::llround(ExpFloatValue(l));
            int64_t day = ms >= 0 ? ms / MSecsPerDay : -((-ms + MSecsPerDay - 1) / MSecsPerDay);
            int64_t part = rf == fDate ? day : ms - day * MSecsPerDay;
            SetExpInteger(result, static_cast<int32_t>(part - ExpIntegerValue(r)));
            return;
        }
        const TExpToken* moment = (lf == fInt) ? r : l;
        const TExpToken* count = (lf == fInt) ? l : r;
        if (FamilyOf(count) != fInt) return;
        int32_t n = static_cast<int32_t>(static_cast<uint32_t>(ExpIntegerValue(count)));
        if (code == ecSubtract) n = static_cast<int32_t>(0u - static_cast<uint32_t>(n));
        if (FamilyOf(moment) == fStamp) {
            int64_t ms = std::llround(ExpFloatValue(moment));
            int64_t day = ms >= 0 ? ms / MSecsPerDay : -((-ms + MSecsPerDay - 1) / MSecsPerDay);
            int64_t time = ms - day * MSecsPerDay;
            SetExpFloat(result, static_cast<double>((day + n) * MSecsPerDay + time));
        } else {
            SetExpInteger(result, static_cast<int32_t>(static_cast<uint32_t>(ExpIntegerValue(moment)) +
                                                       static_cast<uint32_t>(n)));
        }
        return;
    }
    if (lf == fInt && rf == fInt && code != ecDivide) {
        if (IsLargeInt(l) || IsLargeInt(r)) {
            uint64_t a = static_cast<uint64_t>(ExpIntegerValue(l)),
                     b = static_cast<uint64_t>(ExpIntegerValue(r));
            uint64_t v = code == ecAdd ? a + b : code == ecSubtract ? a - b : a * b;
            SetExpInteger(result, static_cast<int64_t>(v));
        } else {
            uint32_t a = static_cast<uint32_t>(ExpIntegerValue(l)),
                     b = static_cast<uint32_t>(ExpIntegerValue(r));
            uint32_t v = code == ecAdd ? a + b : code == ecSubtract ? a - b : a * b;
            SetExpInteger(result, static_cast<int32_t>(v));
        }
        return;
    }
    const bool zeroDivisor = code == ecDivide && (rf == fBcd ? ExpBcdAmount(r) == 0 : AsReal(r) == 0);
    if (zeroDivisor) {
        toNull();
        return;
    }
    if (lf != fBcd && rf != fBcd) {
        // Integer division and every float operation are 64-bit float arithmetic.
        double a = static_cast<double>(AsReal(l)), b = static_cast<double>(AsReal(r));
        double v = code == ecAdd ? a + b : code == ecSubtract ? a - b : code == ecMultiply ? a * b : a / b;
        SetExpFloat(result, v);
        return;
    }
    if (lf == fFloat || rf == fFloat) {
        // Left op right over the values themselves, whichever side the float stands on.
        long double a = AsReal(l), b = AsReal(r);
        long double v = code == ecAdd        ? a + b
                        : code == ecSubtract ? a - b
                        : code == ecMultiply ? a * b
                                             : a / b;
        SetExpFloat(result, static_cast<double>(v));
        return;
    }
    // BCD with BCD or an integer, in the currency domain. The result is built at the node's
    // scale, the larger of the operands' scales, so no decimal of either operand is cut.
    long double a = AsAmount(l), b = AsAmount(r);
    long double v;
    switch (code) {
        case ecAdd:
            v = a + b;
            break;
        case ecSubtract:
            v = a - b;
            break;
        case ecMultiply:
            v = a * b / 10000;
            break;
        default:
            v = a / b * 10000;
            break;
    }
    SetExpBcd(result, RoundToUnit(v), result->Scale);
}

std::string TrimRun(const std::string& s, char c, bool leading, bool trailing) {
    size_t b = 0, e = s.size();
    if (leading)
        while (b < e && s[b] == c) ++b;
    if (trailing)
        while (e > b && s[e - 1] == c) --e;
    return s.substr(b, e - b);
}

// A string result of a function: empty text becomes NULL.
void SetFunctionText(TExpToken* t, const std::string& text) {
    SetExpText(t, text);
    t->IsNull = text.empty();
}

void CopyValue(TExpToken* to, const TExpToken* from) {
    int32_t n = std::max(0, std::min(from->DataSize, from->Capacity));
    to->SetCapacity(std::max(n + 1, to->DataSize));
    std::memset(to->Data.get(), 0, static_cast<size_t>(to->Capacity));
    if (n > 0) std::memcpy(to->Data.get(), from->Data.get(), static_cast<size_t>(n));
    to->DataSize = from->DataSize;
    to->IsNull = from->IsNull;
}

class TEvaluator {
public:
    const uint8_t* Record;
    TExpValueSource* Source;
    uint16_t Language, Sort;

    TExpToken* Eval(const TExpToken* node);

private:
    TExpToken* Arg(const TExpToken* node, int i) {
        const TExpToken* a = node->GetArgument(i);
        if (a != nullptr) return Eval(a);
        TExpToken* missing = NewExpToken();
        missing->Kind = tkConstant;
        missing->IsNull = true;
        return missing;
    }
    void Function(const TExpToken* node, TExpToken* result);
    void Predicate(const TExpToken* node, TExpToken* result);
    void Extract(uint8_t code, const TExpToken* v, TExpToken* result);
};

TExpToken* TEvaluator::Eval(const TExpToken* node) {
    TExpTreeHolder holder(NewExpToken());
    TExpToken* result = holder.get();
    result->Assign(*node);
    result->Left = result->Right = nullptr;
    result->Arguments.clear();
    if (result->DataSize > 0) result->SetCapacity(result->DataSize);

    switch (node->Kind) {
        case tkUnary: {
            TExpTreeHolder v(node->Left != nullptr ? Eval(node->Left) : nullptr);
            if (v.get() != nullptr) EvaluateUnaryOperator(node->Code, v.get(), result);
            break;
        }
        case tkBinary: {
            if (node->Left == nullptr || node->Right == nullptr) break;
            if (node->Code == ecAnd || node->Code == ecOr) {
                TExpTreeHolder r(Eval(node->Right));
                bool rightDecides =
                    node->Code == ecAnd ? BooleanValue(r.get()) == 0 : BooleanValue(r.get()) != 0;
                if (rightDecides) {
                    SetBoolean(result, BooleanValue(r.get()) != 0);
                    result->IsNull = r->IsNull;
                } else {
                    TExpTreeHolder l(Eval(node->Left));
                    EvaluateOperator(node->Code, l.get(), r.get(), result, Language, Sort);
                }
                break;
            }
            TExpTreeHolder l(Eval(node->Left));
            TExpTreeHolder r(Eval(node->Right));
            SetBinaryResultType(result, l.get(), r.get());
            EvaluateOperator(node->Code, l.get(), r.get(), result, Language, Sort);
            break;
        }
        case tkStringCompare: {
            if (node->Left == nullptr || node->Right == nullptr) break;
            TExpTreeHolder l(Eval(node->Left));
            TExpTreeHolder r(Eval(node->Right));
            if (FamilyOf(l.get()) == fString)
                EvaluateOptionCompare(node->Code, node->CompareLength, node->CaseInsensitive, l.get(),
                                      r.get(), result, Language, Sort);
            else
                EvaluateOperator(node->Code, l.get(), r.get(), result, Language, Sort);
            break;
        }
        case tkColumn:
            if (Source != nullptr && Source->SuppliesColumns()) {
                Source->GetColumnValue(Record, result);
            } else if (!node->FromConstant) {
                RaiseEngineError(
                    DBE_SQLPARSE, {}, {}, {}, {}, {}, {},
                    "Internal error: Column '" + node->ColumnName + "'" + " specified illegally");
            }
            break;
        case tkFunction:
            Function(node, result);
            break;
        case tkPredicate:
            Predicate(node, result);
            break;
        default:
            break;
    }
    NormalizeIfBoolean(result);
    result->Kind = node->Kind == tkSubSelect ? tkColumn : tkConstant;
    result->Left = result->Right = nullptr;
    result->Arguments.clear();
    return holder.release();
}

void TEvaluator::Extract(uint8_t code, const TExpToken* v, TExpToken* result) {
    // Day number (1 January of year 1 is day 1) and milliseconds of the day; a time lies on day
    // 30 December 1899 for the week fields and has no date fields.
    int64_t day = DateDelta, ms = 0;
    bool hasDate = false, hasTime = false;
    switch (FamilyOf(v)) {
        case fDate:
            day = ExpIntegerValue(v);
            hasDate = true;
            break;
        case fTime:
            ms = ExpIntegerValue(v);
            hasTime = true;
            break;
        case fStamp: {
            int64_t all = std::llround(ExpFloatValue(v));
            day = all >= 0 ? all / MSecsPerDay : -((-all + MSecsPerDay - 1) / MSecsPerDay);
            ms = all - day * MSecsPerDay;
            hasDate = hasTime = true;
            break;
        }
        default:
            break;
    }
    int year = 0, month = 0, dayOfMonth = 0;
    if (hasDate && !DecodeDayNumber(static_cast<int32_t>(day), year, month, dayOfMonth))
        year = month = dayOfMonth = 0;
    const double libraryDate = static_cast<double>(day - DateDelta);
    int64_t answer = 0;
    switch (code) {
        case ecExtractYear:
            answer = year;
            break;
        case ecExtractMonth:
            answer = month;
            break;
        case ecExtractDay:
            answer = dayOfMonth;
            break;
        case ecExtractWeek:
            answer = IsoWeekNumber(libraryDate);
            break;
        case ecExtractDayOfWeek:
            answer = IsoDayOfWeek(libraryDate);
            break;
        case ecExtractDayOfYear:
            answer = DayOfYear(libraryDate);
            break;
        case ecExtractHour:
            answer = hasTime ? ms / 3600000 : 0;
            break;
        case ecExtractMinute:
            answer = hasTime ? ms / 60000 % 60 : 0;
            break;
        case ecExtractSecond:
            answer = hasTime ? ms / 1000 % 60 : 0;
            break;
        default:
            break;
    }
    SetExpInteger(result, answer);
}

void TEvaluator::Function(const TExpToken* node, TExpToken* result) {
    const uint8_t code = node->Code;
    switch (code) {
        case ecSum:
        case ecRunSum:
        case ecCount:
        case ecMin:
        case ecMax:
        case ecAvg: {
            TExpTreeHolder v(Arg(node, 0));
            CopyValue(result, v.get());
            break;
        }
        case ecUpper:
        case ecLower: {
            TExpTreeHolder v(Arg(node, 0));
            CopyValue(result, v.get());
            std::string text = ExpTextValue(result);
            if (code == ecUpper)
                UpperCaseLocale(Language, Sort, text);
            else
                LowerCaseLocale(Language, Sort, text);
            std::memcpy(result->Data.get(), text.data(), text.size());
            break;
        }
        case ecSubstring: {
            TExpTreeHolder t(Arg(node, 0));
            TExpTreeHolder from(Arg(node, 1));
            const std::string text = ExpTextValue(t.get());
            const int64_t length = static_cast<int64_t>(text.size());
            int64_t f = std::max<int64_t>(1, ExpIntegerValue(from.get()));
            int64_t n = length - f + 1;
            if (node->GetArgument(2) != nullptr) {
                TExpTreeHolder count(Arg(node, 2));
                n = ExpIntegerValue(count.get());
            }
            n = std::max<int64_t>(0, n);
            std::string part;
            if (f <= length)
                part =
                    text.substr(static_cast<size_t>(f - 1), static_cast<size_t>(std::min(n, length - f + 1)));
            SetFunctionText(result, part);
            break;
        }
        case ecReplace: {
            TExpTreeHolder t(Arg(node, 2));
            TExpTreeHolder r(Arg(node, 1));
            TExpTreeHolder s(Arg(node, 0));
            const std::string text = ExpTextValue(t.get()), with = ExpTextValue(r.get()),
                              what = ExpTextValue(s.get());
            SetFunctionText(result, what.empty() || what == with ? text : ReplaceAllText(what, with, text));
            break;
        }
        case ecPos:
        case ecOccurs: {
            // Both the text and the search argument are evaluated: the search may hold columns.
            TExpTreeHolder t(Arg(node, 1));
            TExpTreeHolder s(Arg(node, 0));
            if (t->IsNull) {
                SetExpNull(result);
                break;
            }
            const std::string text = ExpTextValue(t.get()), what = ExpTextValue(s.get());
            SetExpInteger(result, static_cast<int64_t>(code == ecPos ? TextPos(what, text)
                                                                     : TextOccurrences(what, text)));
            result->IsNull = false;
            break;
        }
        case ecTrimLeading:
        case ecTrimTrailing:
        case ecTrimBoth: {
            TExpTreeHolder c(Arg(node, 0));
            TExpTreeHolder t(Arg(node, 1));
            const std::string ch = ExpTextValue(c.get());
            const std::string text = ExpTextValue(t.get());
            std::string trimmed =
                ch.empty() ? text : TrimRun(text, ch[0], code != ecTrimTrailing, code != ecTrimLeading);
            SetFunctionText(result, trimmed);
            break;
        }
        case ecLength: {
            TExpTreeHolder v(Arg(node, 0));
            if (v->IsNull) {
                SetExpNull(result);
                break;
            }
            SetExpInteger(result, static_cast<int64_t>(ExpTextValue(v.get()).size()));
            result->IsNull = false;
            break;
        }
        case ecCast: {
            TExpTreeHolder v(Arg(node, 0));
            AssignConverted(result, v.get());
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
            TExpTreeHolder v(Arg(node, 0));
            if (v->IsNull) {
                SetExpNull(result);
                break;
            }
            Extract(code, v.get(), result);
            result->IsNull = false;
            break;
        }
        case ecIf: {
            TExpTreeHolder c(Arg(node, 0));
            bool chooseThen = !c->IsNull && BooleanValue(c.get()) != 0;
            TExpTreeHolder v(Arg(node, chooseThen ? 1 : 2));
            AssignConverted(result, v.get());
            break;
        }
        case ecIfNull: {
            TExpTreeHolder x(Arg(node, 0));
            TExpTreeHolder v(Arg(node, x->IsNull ? 1 : 2));
            AssignConverted(result, v.get());
            break;
        }
        case ecCoalesce: {
            bool found = false;
            for (int i = 0; i < node->ArgumentCount() && !found; ++i) {
                TExpTreeHolder v(Arg(node, i));
                if (!v->IsNull) {
                    AssignConverted(result, v.get());
                    found = true;
                }
            }
            if (!found) SetExpNull(result);
            break;
        }
        case ecAbs: {
            TExpTreeHolder v(Arg(node, 0));
            if (v->IsNull) {
                SetExpNull(result);
                break;
            }
            result->IsNull = false;
            switch (v->DataType) {
                case fldSmallInt:
                case fldInteger:
                case fldLargeInt: {
                    int64_t x = ExpIntegerValue(v.get());
                    SetExpInteger(result, x < 0 ? static_cast<int64_t>(0 - static_cast<uint64_t>(x)) : x);
                    break;
                }
                case fldFloat:
                    SetExpFloat(result, std::fabs(ExpFloatValue(v.get())));
                    break;
                case fldBCD: {
                    int64_t a = ExpBcdAmount(v.get());
                    SetExpBcd(result, a < 0 ? -a : a, v->Scale);
                    break;
                }
                default:
                    CopyValue(result, v.get());
                    break;
            }
            break;
        }
        case ecRound: {
            TExpTreeHolder v(Arg(node, 0));
            int places = 0;
            if (node->GetArgument(1) != nullptr) {
                TExpTreeHolder p(Arg(node, 1));
                places = static_cast<int>(std::clamp<int64_t>(ExpIntegerValue(p.get()), 0, 32));
            }
            if (v->IsNull) {
                SetExpNull(result);
                break;
            }
            result->IsNull = false;
            if (v->DataType == fldBCD)
                SetExpBcd(result, RoundCurrency(places, ExpBcdAmount(v.get())), node->Scale);
            else
                SetExpFloat(result, RoundFloat(places, ExpFloatValue(v.get())));
            break;
        }
        case ecTextSearch:
        case ecTextOccurs: {
            TExpTreeHolder s(Arg(node, 0));
            TExpTreeHolder c(Arg(node, 1));
            int32_t answer = 0;
            if (Source == nullptr || !Source->TextSearch(c->Table, ExpTextValue(s.get()),
                                                         ExpTextValue(c.get()), code == ecTextOccurs, answer))
                answer = 0;
            if (code == ecTextSearch)
                SetBoolean(result, answer != 0);
            else
                SetExpInteger(result, answer);
            result->IsNull = false;
            break;
        }
        case ecLastAutoInc:
        case ecIdentCurrent:
            SetExpInteger(result, Source != nullptr ? Source->LastAutoIncValue(node->Table) : 0);
            result->IsNull = false;
            break;
        default:
            break;
    }
}

void TEvaluator::Predicate(const TExpToken* node, TExpToken* result) {
    const uint8_t code = node->Code;
    bool answer = false;
    result->DataType = fldBoolean;
    result->DataSize = 2;
    switch (code) {
        case ecLike:
        case ecNotLike: {
            TExpTreeHolder t(Arg(node, 0));
            TExpTreeHolder p(Arg(node, 1));
            bool like = !t->IsNull && !p->IsNull &&
                        MatchLike(Language, Sort, ExpTextValue(t.get()), ExpTextValue(p.get()));
            answer = code == ecLike ? like : !like;
            break;
        }
        case ecIn:
        case ecNotIn: {
            TExpTreeHolder v(Arg(node, 0));
            bool found = false;
            for (int i = 1; i < node->ArgumentCount() && !found; ++i) {
                TExpTreeHolder w(Arg(node, i));
                EvaluateOperator(ecEqual, v.get(), w.get(), result, Language, Sort);
                found = BooleanValue(result) != 0;
            }
            answer = code == ecIn ? found : !found;
            break;
        }
        case ecBetween:
        case ecNotBetween: {
            TExpTreeHolder v(Arg(node, 0));
            TExpTreeHolder low(Arg(node, 1));
            EvaluateOperator(ecGreaterOrEqual, v.get(), low.get(), result, Language, Sort);
            bool inside = BooleanValue(result) != 0;
            if (inside) {
                TExpTreeHolder high(Arg(node, 2));
                EvaluateOperator(ecLessOrEqual, v.get(), high.get(), result, Language, Sort);
                inside = BooleanValue(result) != 0;
            }
            answer = code == ecBetween ? inside : !inside;
            break;
        }
        case ecInSelect:
        case ecNotInSelect: {
            TExpTreeHolder comparison(NewExpToken());
            comparison->Kind = tkBinary;
            comparison->Code = ecEqual;
            comparison->Text = "=";
            comparison->DataType = fldBoolean;
            comparison->DataSize = 2;
            comparison->Left = Arg(node, 0);
            comparison->Right = Arg(node, 1);
            TDataQuery* query = comparison->Right->Query;
            bool found = false;
            if (query != nullptr) {
                query->ApplySubSelectFilter(comparison.get());
                found = Source != nullptr && Source->SubSelectRecordCount(query) > 0;
            }
            answer = code == ecInSelect ? found : !found;
            break;
        }
        default:
            break;
    }
    SetBoolean(result, answer);
    result->IsNull = false;
}

}  // namespace

// ---- Value access ----

int64_t ExpIntegerValue(const TExpToken* t) {
    if (t == nullptr || t->Capacity < 8) return 0;
    const uint8_t* d = t->Data.get();
    switch (t->DataType) {
        case fldSmallInt:
            return static_cast<int16_t>(GetLE(d, 2));
        case fldWord:
        case fldBoolean:
            return static_cast<uint16_t>(GetLE(d, 2));
        case fldInteger:
        case fldDate:
        case fldTime:
            return static_cast<int32_t>(GetLE(d, 4));
        case fldLargeInt:
            return static_cast<int64_t>(GetLE(d, 8));
        case fldFloat:
        case fldTimestamp:
            return static_cast<int64_t>(std::clamp(std::trunc(ExpFloatValue(t)), -9.2e18, 9.2e18));
        case fldBCD:
            return ExpBcdAmount(t) / 10000;
        default:
            return 0;
    }
}

double ExpFloatValue(const TExpToken* t) {
    if (t == nullptr || t->Capacity < 8) return 0;
    if (t->DataType != fldFloat && t->DataType != fldTimestamp)
        return static_cast<double>(ExpIntegerValue(t));
    uint64_t bits = GetLE(t->Data.get(), 8);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

int64_t ExpBcdAmount(const TExpToken* t) {
    if (t == nullptr || t->Capacity < BcdRecordSize || t->DataType != fldBCD) return 0;
    TBcd bcd;
    bcd.Precision = t->Data[0];
    bcd.SignSpecialPlaces = t->Data[1];
    std::memcpy(bcd.Fraction, t->Data.get() + 2, sizeof bcd.Fraction);
    try {
        return BcdToCurrency(bcd);
    } catch (const std::exception&) {
        return 0;  // beyond the currency range
    }
}

std::string ExpTextValue(const TExpToken* t) {
    if (t == nullptr || t->Capacity <= 0) return {};
    const char* p = reinterpret_cast<const char*>(t->Data.get());
    size_t limit = static_cast<size_t>(t->Capacity);
    if (t->DataType == fldBlob && t->SubType != fldstMemo)
        return std::string(p, std::min(limit, static_cast<size_t>(std::max(0, t->DataSize))));
    return std::string(p, strnlen(p, limit));
}

void SetExpInteger(TExpToken* t, int64_t v) {
    t->SetCapacity(8);
    std::memset(t->Data.get(), 0, 8);
    switch (t->DataType) {
        case fldSmallInt:
        case fldWord:
        case fldBoolean:
            PutLE(t->Data.get(), static_cast<uint64_t>(v), 2);
            break;
        case fldLargeInt:
            PutLE(t->Data.get(), static_cast<uint64_t>(v), 8);
            break;
        default:
            PutLE(t->Data.get(), static_cast<uint64_t>(v), 4);
            break;
    }
}

void SetExpFloat(TExpToken* t, double v) {
    t->SetCapacity(8);
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    PutLE(t->Data.get(), bits, 8);
}

void SetExpBcd(TExpToken* t, int64_t amount, uint8_t scale) {
    t->SetCapacity(BcdRecordSize);
    TBcd bcd;
    if (!CurrencyToBcd(std::min<int>(scale, 32), bcd, amount)) bcd = TBcd{};
    t->Data[0] = bcd.Precision;
    t->Data[1] = bcd.SignSpecialPlaces;
    std::memcpy(t->Data.get() + 2, bcd.Fraction, sizeof bcd.Fraction);
}

void SetExpText(TExpToken* t, const std::string& text) {
    int32_t size = static_cast<int32_t>(text.size()) + 1;
    t->SetCapacity(size);
    std::memcpy(t->Data.get(), text.data(), text.size());
    t->Data[text.size()] = 0;
    t->DataSize = size;
}

void SetExpNull(TExpToken* t) {
    if (t->Capacity > 0)
        std::memset(t->Data.get(), 0, static_cast<size_t>(std::min(t->Capacity, std::max(t->DataSize, 8))));
    t->IsNull = true;
}

// ---- Operators ----

void EvaluateUnaryOperator(uint8_t Code, const TExpToken* Operand, TExpToken* Result) {
    switch (Code) {
        case ecIsNull:
        case ecIsNotNull:
            SetBoolean(Result, Code == ecIsNull ? Operand->IsNull : !Operand->IsNull);
            Result->IsNull = false;
            break;
        case ecNot:
            SetBoolean(Result, BooleanValue(Operand) == 0);
            Result->IsNull = false;
            break;
        case ecNegate:
        case ecPlusSign: {
            if (Operand->IsNull) {
                SetExpNull(Result);
                break;
            }
            Result->IsNull = false;
            const bool negate = Code == ecNegate;
            switch (Operand->DataType) {
                case fldFloat:
                case fldTimestamp:
                    SetExpFloat(Result, negate ? -ExpFloatValue(Operand) : ExpFloatValue(Operand));
                    break;
                case fldBCD:
                    SetExpBcd(Result, negate ? -ExpBcdAmount(Operand) : ExpBcdAmount(Operand),
                              Operand->Scale);
                    break;
                case fldLargeInt:
                case fldSmallInt:
                case fldInteger:
                case fldDate:
                case fldTime:
                case fldWord: {
                    uint64_t v = static_cast<uint64_t>(ExpIntegerValue(Operand));
                    SetExpInteger(Result, static_cast<int64_t>(negate ? 0 - v : v));
                    break;
                }
                default:
                    break;
            }
            break;
        }
        default:
            break;
    }
    NormalizeIfBoolean(Result);
}

void EvaluateOperator(uint8_t Code, const TExpToken* Left, const TExpToken* Right, TExpToken* Result,
                      uint16_t LanguageId, uint16_t SortId) {
    if (IsComparison(Code)) {
        const bool strings = IsText(Left) && (IsText(Right) || FamilyOf(Right) == fNull);
        Result->IsNull = false;
        if (Code == ecEqual || Code == ecNotEqual || !strings) {
            if (Left->IsNull != Right->IsNull) {
                SetBoolean(Result, Code == ecNotEqual);
                return;
            }
            if (Left->IsNull && (Code == ecEqual || Code == ecNotEqual)) {
                SetBoolean(Result, Code == ecEqual);
                return;
            }
        }
        bool known;
        int order = CompareValues(Left, Right, LanguageId, SortId, known);
        if (known) SetBoolean(Result, Decide(Code, order));
        NormalizeIfBoolean(Result);
        return;
    }
    switch (Code) {
        case ecAnd:
            SetBoolean(Result, BooleanValue(Left) != 0 && BooleanValue(Right) != 0);
            Result->IsNull = false;
            return;
        case ecOr:
            SetBoolean(Result, BooleanValue(Left) != 0 || BooleanValue(Right) != 0);
            Result->IsNull = false;
            return;
        case ecAdd:
            if ((IsText(Left) || FamilyOf(Left) == fNull) && (IsText(Right) || FamilyOf(Right) == fNull) &&
                (IsText(Left) || IsText(Right))) {
                Concatenate(Left, Right, Result);
                Result->IsNull = false;
                return;
            }
            [[fallthrough]];
        case ecSubtract:
        case ecMultiply:
        case ecDivide:
            if (Left->IsNull || Right->IsNull) {
                SetExpNull(Result);
                return;
            }
            Result->IsNull = false;
            Arithmetic(Code, Left, Right, Result);
            return;
        default:
            NormalizeIfBoolean(Result);
            return;
    }
}

void EvaluateOptionCompare(uint8_t Code, int32_t CompareLength, bool CaseInsensitive, const TExpToken* Left,
                           const TExpToken* Right, TExpToken* Result, uint16_t LanguageId, uint16_t SortId) {
    Result->IsNull = false;
    if (Code != ecEqual && Code != ecNotEqual) {
        NormalizeIfBoolean(Result);
        return;
    }
    if (Left->IsNull != Right->IsNull) {
        SetBoolean(Result, Code == ecNotEqual);
        return;
    }
    if (Left->IsNull) {
        SetBoolean(Result, Code == ecEqual);
        return;
    }
    if (!IsText(Left) || !IsText(Right)) {
        NormalizeIfBoolean(Result);
        return;
    }
    std::string a = ExpTextValue(Left), b = ExpTextValue(Right);
    size_t length = CompareLength > 0 ? static_cast<size_t>(CompareLength) : 0;
    // A prefix comparison reads exactly that many bytes of both texts: pad them with zeros.
    if (length > 0) {
        a.resize(std::max(a.size(), length), '\0');
        b.resize(std::max(b.size(), length), '\0');
    }
    bool equal = CompareLocaleText(LanguageId, SortId, a.c_str(), b.c_str(), length, CaseInsensitive) == 0;
    SetBoolean(Result, Code == ecEqual ? equal : !equal);
}

void AssignConverted(TExpToken* Result, const TExpToken* Value) {
    if (Value->IsNull) {
        SetExpNull(Result);
        return;
    }
    Result->IsNull = false;
    const int32_t valueSize = std::max(0, std::min(Value->DataSize, Value->Capacity));
    if (Value->DataType == fldBlob || Result->DataType == fldBlob) {
        if (Result->DataType != fldString) {
            Result->SetCapacity(valueSize + 1);
            std::memset(Result->Data.get(), 0, static_cast<size_t>(Result->Capacity));
            if (valueSize > 0)
                std::memcpy(Result->Data.get(), Value->Data.get(), static_cast<size_t>(valueSize));
            Result->DataSize = Value->DataSize;
        } else if (Result->DataSize > 0) {
            Result->SetCapacity(Result->DataSize);
            std::memset(Result->Data.get(), 0, static_cast<size_t>(Result->Capacity));
            int32_t n = std::min(valueSize, Result->DataSize);
            if (n > 0) std::memcpy(Result->Data.get(), Value->Data.get(), static_cast<size_t>(n));
            Result->Data[static_cast<size_t>(Result->DataSize - 1)] = 0;
        }
        return;
    }
    uint8_t area[ConvertBufferSize + 8] = {};
    std::memcpy(area, Value->Data.get(), static_cast<size_t>(std::min(valueSize, ConvertBufferSize)));
    auto sizeByte = [](const TExpToken* t) -> uint8_t {
        return static_cast<uint8_t>(std::clamp<int32_t>(t->DataSize, 0, ConvertBufferSize));
    };
    if (Value->DataType == fldString) area[ConvertBufferSize - 1] = 0;
    ConvertFieldValue(Value->DataType, sizeByte(Value), Value->Scale, Result->DataType, sizeByte(Result),
                      Result->Scale, area);
    const int32_t size = std::max(0, Result->DataSize);
    Result->SetCapacity(std::max(size, 8));
    std::memset(Result->Data.get(), 0, static_cast<size_t>(Result->Capacity));
    std::memcpy(Result->Data.get(), area, static_cast<size_t>(std::min(size, ConvertBufferSize)));
    if (Result->DataType == fldString && size > 0) Result->Data[static_cast<size_t>(size - 1)] = 0;
}

TExpToken* EvaluateExpToken(const TExpToken* Node, const uint8_t* RecordBuffer, TExpValueSource* Source,
                            uint16_t LanguageId, uint16_t SortId) {
    if (Node == nullptr) return nullptr;
    TEvaluator evaluator{RecordBuffer, Source, LanguageId, SortId};
    return evaluator.Eval(Node);
}

// ---- Record values ----

bool TRecordValueSource::GetColumnValue(const uint8_t* RecordBuffer, TExpToken* Column) {
    if (Column->Table == nullptr) Column->Table = FilterTable;
    const TFieldDescriptor* field = nullptr;
    for (const TFieldDescriptor& d : Fields)
        if (d.FieldNo == Column->FieldNo) field = &d;
    if (field == nullptr || RecordBuffer == nullptr) {
        SetExpNull(Column);
        return true;
    }
    const bool autoInc = field->IsAutoInc();
    const uint8_t* value = RecordBuffer + field->Offset + (autoInc ? 0 : 1);
    const bool isNull = !autoInc && RecordBuffer[field->Offset] == 0;
    if (field->FieldType == fldBlob) {
        std::string blob = isNull ? std::string() : ReadBlob(RecordBuffer, *field);
        const bool memo = field->SubType == fldstMemo;
        int32_t size = static_cast<int32_t>(blob.size()) + (memo ? 1 : 0);
        Column->SetCapacity(size + 1);
        std::memset(Column->Data.get(), 0, static_cast<size_t>(Column->Capacity));
        std::memcpy(Column->Data.get(), blob.data(), blob.size());
        Column->DataSize = size;
        Column->IsNull = isNull;
        return true;
    }
    Column->SetCapacity(field->ValueSize + 1);
    std::memset(Column->Data.get(), 0, static_cast<size_t>(Column->Capacity));
    // A NULL value reads as zero bytes whatever the record holds behind its flag.
    if (!isNull) std::memcpy(Column->Data.get(), value, field->ValueSize);
    if (field->FieldType == fldString) {
        const char* text = reinterpret_cast<const char*>(Column->Data.get());
        Column->DataSize = static_cast<int32_t>(strnlen(text, field->ValueSize)) + 1;
    } else {
        Column->DataSize = field->ValueSize;
    }
    Column->IsNull = isNull;
    return true;
}

}  // namespace dbengine
