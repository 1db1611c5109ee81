#pragma once
// Evaluation of type-checked expression trees for one record at a time, and the operator
// routines that combine typed operand values.
//
// Value tokens come from the token pool and are given back on every path, also when a value
// source raises part way.

#include <cstdint>
#include <string>
#include <vector>

#include "dbengine/data/FieldDescriptor.h"
#include "dbengine/expr/ExpToken.h"

namespace dbengine {

class TDataCursor;
class TDataQuery;

// What the evaluator asks of its caller (a cursor's filter or an SQL statement): the context
// object and value callback together.
class TExpValueSource {
public:
    virtual ~TExpValueSource() = default;
    // False when the caller gives no value callback: columns then keep the values they hold
    // when they came from a constant, and any other column is an error.
    virtual bool SuppliesColumns() const { return true; }
    // Puts the column's value of the record into Column: Data, DataSize (a string's text length
    // + 1; a BLOB read whole, a memo with its terminating zero) and IsNull (a NULL value's bytes
    // zero). The result is not used.
    virtual bool GetColumnValue(const uint8_t* RecordBuffer, TExpToken* Column) = 0;
    // The full-text word search of TEXTSEARCH (Count false: 1 when the words match, else 0)
    // and TEXTOCCURS (Count true: the number of matches), answered by the table behind Table.
    // False when Table is no table of the caller's.
    virtual bool TextSearch(void* Table, const std::string& SearchText, const std::string& ColumnText,
                            bool Count, int32_t& Answer) {
        (void)Table;
        (void)SearchText;
        (void)ColumnText;
        (void)Count;
        Answer = 0;
        return false;
    }
    // LASTAUTOINC and IDENT_CURRENT: the last auto-increment value of the table behind Table, 0
    // when Table is no source table.
    virtual int32_t LastAutoIncValue(void* Table) {
        (void)Table;
        return 0;
    }
    // Records held by a sub-select's result cursor once its filter is installed.
    virtual int32_t SubSelectRecordCount(TDataQuery* Query) {
        (void)Query;
        return 0;
    }
};

// A value source over record buffers of a table: NULL flag byte at the field's offset, value
// after it; an auto-increment field's value at its offset, never NULL. BLOB contents come from
// ReadBlob. Columns without a table are given FilterTable (the filtering cursor).
class TRecordValueSource : public TExpValueSource {
public:
    explicit TRecordValueSource(const std::vector<TFieldDescriptor>& Fields, void* FilterTable = nullptr)
        : Fields(Fields), FilterTable(FilterTable) {}
    bool GetColumnValue(const uint8_t* RecordBuffer, TExpToken* Column) override;

protected:
    // The whole BLOB of a non-NULL BLOB field of the record.
    virtual std::string ReadBlob(const uint8_t* RecordBuffer, const TFieldDescriptor& Field) = 0;

private:
    const std::vector<TFieldDescriptor>& Fields;
    void* FilterTable;
};

// Evaluates Node for one record; the caller releases the result with ReleaseExpToken. Source
// may be null (no callback).
TExpToken* EvaluateExpToken(const TExpToken* Node, const uint8_t* RecordBuffer, TExpValueSource* Source,
                            uint16_t LanguageId, uint16_t SortId);

// Converts Value into Result's type, size and scale (CAST, IF, IFNULL, COALESCE).
void AssignConverted(TExpToken* Result, const TExpToken* Value);

// The operator routines. Result arrives with its type, size and scale set and a buffer of at
// least its DataSize; nothing is raised.
void EvaluateUnaryOperator(uint8_t Code, const TExpToken* Operand, TExpToken* Result);
void EvaluateOperator(uint8_t Code, const TExpToken* Left, const TExpToken* Right, TExpToken* Result,
                      uint16_t LanguageId, uint16_t SortId);
void EvaluateOptionCompare(uint8_t Code, int32_t CompareLength, bool CaseInsensitive, const TExpToken* Left,
                           const TExpToken* Right, TExpToken* Result, uint16_t LanguageId, uint16_t SortId);

// Value access shared by the evaluator, preparation and tests.
int64_t ExpIntegerValue(const TExpToken* t);   // smallint, word, integer, largeint, date, time, boolean
double ExpFloatValue(const TExpToken* t);      // float, timestamp
int64_t ExpBcdAmount(const TExpToken* t);      // BCD as a count of 1/10,000
std::string ExpTextValue(const TExpToken* t);  // string or memo text up to its zero byte
void SetExpInteger(TExpToken* t, int64_t v);   // by t's type: 2, 4 or 8 bytes
void SetExpFloat(TExpToken* t, double v);
void SetExpBcd(TExpToken* t, int64_t amount, uint8_t scale);
// Text and its zero byte; DataSize becomes the length + 1.
void SetExpText(TExpToken* t, const std::string& text);
void SetExpNull(TExpToken* t);

}  // namespace dbengine
