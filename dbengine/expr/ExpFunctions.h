#pragma once
// Every function and aggregate of the expression language, described once: its keyword (the word
// the parser reads and the messages name), a second keyword that picks the variant (TRIM LEADING,
// EXTRACT YEAR), the node code, the type the parser gives the node, how its arguments are written
// between the parentheses, and how many arguments the linked layout's links can carry. The parser,
// the type checker and the tree writer read this table instead of keeping lists of their own.

#include <cstddef>
#include <cstdint>
#include <span>

namespace dbengine {

// How the arguments of a function are written between its parentheses.
enum class TExpArgumentSyntax : uint8_t {
    Aggregate,  // SUM(x): one additive expression
    Single,     // UPPER(x)
    Substring,  // SUBSTRING(x FROM start [FOR count])
    Replace,    // REPLACE(search WITH replacement IN x)
    SearchIn,   // POS(search IN x)
    Trim,       // TRIM(LEADING c FROM x)
    Extract,    // EXTRACT(YEAR FROM x)
    Cast,       // CAST(x AS type)
    RoundTo,    // ROUND(x [TO places])
    ThenElse,   // IF(c THEN a ELSE b), IFNULL(x, a, b): THEN/ELSE or commas
    List,       // COALESCE(a, b, ...)
    TextIn,     // TEXTSEARCH(text IN column)
    TableName,  // LASTAUTOINC(table)
};

struct TExpFunction {
    uint8_t Code;
    const char* Keyword;
    const char* Variant;  // the second keyword, or nullptr
    uint8_t DataType;     // the type the parser gives the node; 0 when the type check sets it
    TExpArgumentSyntax Syntax;
    size_t LinkedArguments;  // 0: the node is not converted to the linked layout
};

// The table, in the order the parser tries the keywords.
std::span<const TExpFunction> ExpFunctions();
// The function or aggregate with the code; nullptr for any other code.
const TExpFunction* ExpFunctionOf(uint8_t Code);

}  // namespace dbengine
