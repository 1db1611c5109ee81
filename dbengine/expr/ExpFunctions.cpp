#include "dbengine/expr/ExpFunctions.h"

#include <array>
#include <cstdint>

#include "dbengine/data/FieldDescriptor.h"
#include "dbengine/expr/ExpToken.h"

namespace dbengine {

namespace {

using S = TExpArgumentSyntax;

const TExpFunction Functions[] = {
    {ecSum, "SUM", nullptr, 0, S::Aggregate, 1},
    {ecRunSum, "RUNSUM", nullptr, 0, S::Aggregate, 1},
    {ecCount, "COUNT", nullptr, 0, S::Aggregate, 1},
    {ecMin, "MIN", nullptr, 0, S::Aggregate, 1},
    {ecMax, "MAX", nullptr, 0, S::Aggregate, 1},
    {ecAvg, "AVG", nullptr, 0, S::Aggregate, 1},
    {ecLower, "LOWER", nullptr, fldString, S::Single, 1},
    {ecUpper, "UPPER", nullptr, fldString, S::Single, 1},
    {ecLength, "LENGTH", nullptr, fldInteger, S::Single, 1},
    {ecSubstring, "SUBSTRING", nullptr, fldString, S::Substring, 3},
    {ecReplace, "REPLACE", nullptr, fldString, S::Replace, 3},
    {ecPos, "POS", nullptr, fldInteger, S::SearchIn, 2},
    {ecOccurs, "OCCURS", nullptr, fldInteger, S::SearchIn, 2},
    {ecCast, "CAST", nullptr, 0, S::Cast, 3},
    {ecTrimLeading, "TRIM", "LEADING", fldString, S::Trim, 2},
    {ecTrimTrailing, "TRIM", "TRAILING", fldString, S::Trim, 2},
    {ecTrimBoth, "TRIM", "BOTH", fldString, S::Trim, 2},
    {ecExtractYear, "EXTRACT", "YEAR", fldInteger, S::Extract, 1},
    {ecExtractMonth, "EXTRACT", "MONTH", fldInteger, S::Extract, 1},
    {ecExtractWeek, "EXTRACT", "WEEK", fldInteger, S::Extract, 1},
    {ecExtractDay, "EXTRACT", "DAY", fldInteger, S::Extract, 1},
    {ecExtractDayOfWeek, "EXTRACT", "DAYOFWEEK", fldInteger, S::Extract, 1},
    {ecExtractDayOfYear, "EXTRACT", "DAYOFYEAR", fldInteger, S::Extract, 1},
    {ecExtractHour, "EXTRACT", "HOUR", fldInteger, S::Extract, 1},
    {ecExtractMinute, "EXTRACT", "MINUTE", fldInteger, S::Extract, 1},
    {ecExtractSecond, "EXTRACT", "SECOND", fldInteger, S::Extract, 1},
    {ecAbs, "ABS", nullptr, 0, S::Single, 1},
    {ecRound, "ROUND", nullptr, 0, S::RoundTo, 2},
    {ecIf, "IF", nullptr, 0, S::ThenElse, 3},
    {ecIfNull, "IFNULL", nullptr, 0, S::ThenElse, 0},
    {ecCoalesce, "COALESCE", nullptr, 0, S::List, 0},
    {ecTextSearch, "TEXTSEARCH", nullptr, fldBoolean, S::TextIn, 0},
    {ecTextOccurs, "TEXTOCCURS", nullptr, fldWord, S::TextIn, 0},
    {ecLastAutoInc, "LASTAUTOINC", nullptr, fldInteger, S::TableName, 0},
    {ecIdentCurrent, "IDENT_CURRENT", nullptr, fldInteger, S::TableName, 0},
};

// Codes are bytes: the entry of each, found at once.
const std::array<const TExpFunction*, 256>& ByCode() {
    static const std::array<const TExpFunction*, 256> index = [] {
        std::array<const TExpFunction*, 256> codes{};
        for (const TExpFunction& f : Functions) codes[f.Code] = &f;
        return codes;
    }();
    return index;
}

}  // namespace

std::span<const TExpFunction> ExpFunctions() {
    return Functions;
}

const TExpFunction* ExpFunctionOf(uint8_t Code) {
    return ByCode()[Code];
}

}  // namespace dbengine
