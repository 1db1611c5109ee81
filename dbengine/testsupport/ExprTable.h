#pragma once
// A small table for expression tests: field descriptors, record buffers built from optional
// values, a value source over them that counts the columns it reads, and the parse-and-check
// steps of a filter.

#include <cstring>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "dbengine/expr/ExpEvaluate.h"
#include "dbengine/expr/ExpTypeCheck.h"
#include "dbengine/expr/ExpressionParser.h"
#include "dbengine/util/EngineUtils.h"
#include "framework/core/SysUtils.h"

namespace dbengine::testing {

struct ExprRow {
    std::optional<std::string> Name;
    std::optional<int> Qty;  // smallint
    std::optional<int32_t> Num;
    std::optional<double> Rate;
    std::optional<int64_t> Price;  // BCD, scale 2, as a count of 1/10,000
    std::optional<int64_t> Cost;   // BCD, scale 4
    std::optional<int32_t> Day;    // day number
    std::optional<double> Stamp;   // timestamp
    std::optional<bool> Flag;
    std::optional<std::string> Memo;
    std::optional<int64_t> Big;
    std::optional<int32_t> Clock;  // time
};

class ExprTable : public TExpTypeResolver, public TRecordValueSource {
public:
    ExprTable() : TRecordValueSource(Fields, this) {
        struct F {
            const char* Name;
            uint8_t Type, SubType, Size, Decimals;
        } defs[] = {{"Name", fldString, 0, 20, 0}, {"Qty", fldSmallInt, 0, 0, 0},
                    {"Num", fldInteger, 0, 0, 0},  {"Rate", fldFloat, 0, 0, 0},
                    {"Price", fldBCD, 0, 32, 2},   {"Cost", fldBCD, 0, 32, 4},
                    {"Day", fldDate, 0, 0, 0},     {"Stamp", fldTimestamp, 0, 0, 0},
                    {"Flag", fldBoolean, 0, 0, 0}, {"Memo", fldBlob, fldstMemo, 0, 0},
                    {"Big", fldLargeInt, 0, 0, 0}, {"Clock", fldTime, 0, 0, 0}};
        int16_t no = 1;
        for (const F& f : defs) {
            TFieldDescriptor d;
            d.FieldNo = no++;
            d.Name = f.Name;
            d.FieldType = f.Type;
            d.SubType = f.SubType;
            d.Size = f.Size;
            d.Decimals = f.Decimals;
            ComputeValueSize(d);
            Fields.push_back(d);
        }
        RecordSize = AssignFieldOffsets(Fields);
    }

    bool ResolveColumn(TExpToken* node) override {
        for (const TFieldDescriptor& d : Fields) {
            if (!framework::SameText(d.Name, node->ColumnName)) continue;
            node->FieldNo = static_cast<uint16_t>(d.FieldNo);
            node->DataType = d.FieldType;
            node->SubType = d.SubType;
            node->DataSize = d.ValueSize;
            node->Scale = d.ValueDecimals;
            return true;
        }
        return false;
    }

    void LinkAutoIncTable(TExpToken* node, const std::string&) override { node->Table = this; }

    bool GetColumnValue(const uint8_t* record, TExpToken* column) override {
        ++Reads[column->ColumnName];
        if (ThrowOn == column->ColumnName) throw std::runtime_error("read failed");
        return TRecordValueSource::GetColumnValue(record, column);
    }
    bool TextSearch(void* table, const std::string& search, const std::string& text, bool count,
                    int32_t& answer) override {
        if (table != this) return false;
        size_t n = TextOccurrences(search, text);
        answer = count ? static_cast<int32_t>(n) : (n > 0 ? 1 : 0);
        return true;
    }
    int32_t LastAutoIncValue(void* table) override { return table == this ? 41 : 0; }
    int32_t SubSelectRecordCount(TDataQuery*) override { return SubSelectCount; }

    std::vector<uint8_t> Record(const ExprRow& row) {
        std::vector<uint8_t> r(RecordSize, 0);
        Memo = row.Memo.value_or("");
        auto put = [&](int fieldNo, const void* bytes, size_t n) {
            const TFieldDescriptor& d = Fields[static_cast<size_t>(fieldNo - 1)];
            r[d.Offset] = 1;
            std::memcpy(r.data() + d.Offset + 1, bytes, n);
        };
        auto bcd = [&](int fieldNo, int64_t amount, int scale) {
            TBcd b;
            CurrencyToBcd(scale, b, amount);
            uint8_t bytes[34];
            bytes[0] = b.Precision;
            bytes[1] = b.SignSpecialPlaces;
            std::memcpy(bytes + 2, b.Fraction, 32);
            put(fieldNo, bytes, 34);
        };
        if (row.Name) put(1, row.Name->c_str(), row.Name->size() + 1);
        if (row.Qty) {
            int16_t v = static_cast<int16_t>(*row.Qty);
            put(2, &v, 2);
        }
        if (row.Num) put(3, &*row.Num, 4);
        if (row.Rate) put(4, &*row.Rate, 8);
        if (row.Price) bcd(5, *row.Price, 2);
        if (row.Cost) bcd(6, *row.Cost, 4);
        if (row.Day) put(7, &*row.Day, 4);
        if (row.Stamp) put(8, &*row.Stamp, 8);
        if (row.Flag) {
            uint16_t v = *row.Flag ? 1 : 0;
            put(9, &v, 2);
        }
        if (row.Memo) {
            uint8_t ref[8] = {1, 0, 0, 0, 0, 0, 0, 0};
            put(10, ref, 8);
        }
        if (row.Big) put(11, &*row.Big, 8);
        if (row.Clock) put(12, &*row.Clock, 4);
        return r;
    }

    // Parsed and checked; a condition has its lone booleans wrapped as a filter's are.
    TExpToken* Parse(const std::string& text, bool condition) {
        TExpressionParser p;
        p.ErrorCode = DBE_INVALIDFILTER;
        p.ContextText = "filter expression";
        p.SetExpression(text);
        p.NextToken();
        TExpTreeHolder t(p.ParseExpression(AllowPredicates | AllowAggregates));
        CheckExpTokenTypes(DBE_INVALIDFILTER, "DB", "T", "filter expression", t.get(), nullptr, this,
                           condition, false);
        return t.release();
    }

    std::vector<TFieldDescriptor> Fields;
    uint32_t RecordSize = 0;
    std::string Memo;
    std::map<std::string, int> Reads;
    std::string ThrowOn;
    int32_t SubSelectCount = 0;

protected:
    std::string ReadBlob(const uint8_t*, const TFieldDescriptor&) override { return Memo; }
};

}  // namespace dbengine::testing
