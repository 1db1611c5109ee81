#pragma once
// Preparation of a checked expression tree for repeated evaluation: column-free operands are
// computed once, and comparisons with a trailing-wildcard text become prefix comparisons.
//
// A prepared tree matches exactly the rows the source tree matches: a constant takes the type
// of the operand it is compared with only when no value is lost, and a wildcard rewrite happens
// only where the prefix comparison means the same as the pattern.

#include <cstdint>
#include <string_view>

#include "dbengine/expr/ExpEvaluate.h"
#include "dbengine/expr/ExpToken.h"

namespace dbengine {

// A new tree; Node is not changed. The caller frees the result with FreeExpTree. When folding
// raises, every token taken so far is given back.
TExpToken* PrepareExpTree(const TExpToken* Node, TExpValueSource* Source, uint16_t LanguageId,
                          uint16_t SortId, bool CaseInsensitive, bool NoPartialCompare);

// Operand computed once (no record buffer) and, where that loses nothing, put into Reference's
// type, subtype, size and scale. The caller releases the result.
TExpToken* FoldConstantOperand(const TExpToken* Reference, const TExpToken* Operand, TExpValueSource* Source,
                               uint16_t LanguageId, uint16_t SortId);

// Converts a number, date or timestamp to Reference's type in place when the value survives
// the conversion exactly; false (Value unchanged) otherwise or for a pair without conversion.
bool ConvertFoldedValue(TExpToken* Value, const TExpToken* Reference);

// True when Text ends in one Wildcard, or in exactly two with none before them.
bool EndsWithWildcardRun(uint16_t LanguageId, uint16_t SortId, std::string_view Text, char Wildcard);

}  // namespace dbengine
