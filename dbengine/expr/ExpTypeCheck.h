#pragma once
// Type checking of expression trees: resolves columns, checks that the operands of every
// operator, predicate and function fit together, and writes each node's result type, subtype,
// size and scale. Rewrites string constants that name columns into columns, date and time
// texts compared with dates and times into typed constants, and lone booleans of a condition
// into "= True" comparisons.

#include <cstdint>
#include <string>

#include "dbengine/expr/ExpToken.h"
#include "dbengine/util/EngineError.h"

namespace dbengine {

class TDataQuery;

// What the checker needs of the caller: the cursor of a filter or the query of an SQL clause.
class TExpTypeResolver {
public:
    virtual ~TExpTypeResolver() = default;
    // For the column in Node's ColumnName and TableName: sets FieldNo, DataType, SubType,
    // DataSize and Scale (and, in SQL, Table and the qualifier) and returns true; false when no
    // such column exists.
    virtual bool ResolveColumn(TExpToken* Node) = 0;
    // Number of result columns of a sub-select query (SQL only).
    virtual int SubSelectColumnCount(TDataQuery* Query) {
        (void)Query;
        return 1;
    }
    // LASTAUTOINC and IDENT_CURRENT in SQL: creates a source table of the query named by the
    // text, adds it to the query's source tables and links it as Node's Table. Filters have no
    // source tables and do nothing.
    virtual void LinkAutoIncTable(TExpToken* Node, const std::string& Name) {
        (void)Node;
        (void)Name;
    }
};

// The caller's error code, database and table name go into every error, whose message ends
// with the context words. WrapBooleans is on for conditions, off for values;
// ConstantsAsColumns lets string constants stand for columns. On failure the tree keeps what
// was already checked and rewritten, and stays the caller's to free.
void CheckExpTokenTypes(TEngineErrorCode ErrorCode, const std::string& DatabaseName,
                        const std::string& TableName, const std::string& ContextWord, TExpToken* Node,
                        TExpToken* Parent, TExpTypeResolver* Resolver, bool WrapBooleans,
                        bool ConstantsAsColumns);

// The shared check of IF, IFNULL and COALESCE over the arguments from First on: one of them
// must not be NULL, neighbours must compare with "=", and the node takes the result type.
void CheckResultArguments(const std::string& FunctionWord, TEngineErrorCode ErrorCode,
                          const std::string& DatabaseName, bool WrapBooleans, TExpToken* Node, int First,
                          const std::string& ContextWord, const std::string& TableName);

// Sizes a data-type node (a CAST target or a column definition) from its arguments 1 and 2;
// argument 0 is the value cast, absent for a column definition.
void CheckDataTypeArguments(TEngineErrorCode ErrorCode, const std::string& DatabaseName,
                            const std::string& TableName, TExpToken* Node, const std::string& ContextWord);

// Turns a boolean node into "= True" with a copy of the node as its left operand.
void WrapBooleanAsComparison(TExpToken* Node);

// The type tables.
bool IsOperandTypeAllowed(uint8_t Operator, uint8_t LeftType, uint8_t LeftSubType, uint8_t RightType,
                          uint8_t RightSubType);
uint8_t BinaryResultType(uint8_t Operator, uint8_t LeftType, uint8_t RightType);
uint8_t BinaryResultSubType(uint8_t Operator, uint8_t LeftType, uint8_t LeftSubType, uint8_t RightType,
                            uint8_t RightSubType);
void SetBinaryResultType(TExpToken* Node, const TExpToken* Left, const TExpToken* Right);
bool IsUnaryOperandAllowed(uint8_t Operator, uint8_t OperandType);
uint8_t UnaryResultType(uint8_t Operator, uint8_t OperandType);
uint8_t UnaryResultSubType(uint8_t Operator, uint8_t OperandSubType);
bool IsCastAllowed(uint8_t TargetType, uint8_t SourceType);

}  // namespace dbengine
