// Calculated fields: each one's expression evaluated for the record in a buffer and stored in
// the field's room at the end of the cursor's record.

#include <algorithm>
#include <cstring>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/expr/ExpEvaluate.h"
#include "dbengine/expr/FieldConvert.h"

namespace dbengine {

namespace {

// Reads columns through the cursor's descriptors; a column read while a calculated value is
// being computed from inside another one reports success without touching the column.
class TCalculatedValueSource : public TRecordValueSource {
public:
    TCalculatedValueSource(TDataCursor& cursor, bool& calculating)
        : TRecordValueSource(cursor.GetFieldDescs(), &cursor), Cursor(cursor), Calculating(calculating) {}
    bool TextSearch(void* table, const std::string& search, const std::string& text, bool count,
                    int32_t& answer) override {
        return Cursor.AnswerTextSearch(table, search, text, count, answer);
    }

    bool GetColumnValue(const uint8_t* record, TExpToken* column) override {
        if (Calculating) return true;
        Calculating = true;
        try {
            bool ok = TRecordValueSource::GetColumnValue(record, column);
            Calculating = false;
            return ok;
        } catch (...) {
            Calculating = false;
            throw;
        }
    }

protected:
    std::string ReadBlob(const uint8_t* record, const TFieldDescriptor& field) override {
        return Cursor.ReadBlobValue(record, field);
    }

private:
    TDataCursor& Cursor;
    bool& Calculating;
};

}  // namespace

void TDataCursor::ComputeCalculatedFields(uint8_t* buffer) {
    if (!HasCalculatedFields || buffer == nullptr) return;
    bool calculating = false;
    TCalculatedValueSource source(*this, calculating);
    for (const TFieldDescriptor& d : FieldDescs) {
        if (d.Calculated == 0 || d.Expression == nullptr) continue;
        TExpToken* result = EvaluateExpToken(d.Expression, buffer, &source, LanguageId, SortId);
        uint8_t* at = buffer + d.Offset;
        std::memset(at, 0, static_cast<size_t>(d.ValueSize) + 1);
        if (result != nullptr && !result->IsNull && result->Data != nullptr) {
            // Converted through a zero-filled buffer into the field's own type and size.
            uint8_t value[ConvertBufferSize] = {};
            size_t size = static_cast<size_t>(std::clamp<int32_t>(result->DataSize, 0, ConvertBufferSize));
            std::memcpy(value, result->Data.get(), size);
            ConvertFieldValue(result->DataType, static_cast<uint8_t>(std::min<size_t>(size, 255)),
                              result->Scale, d.FieldType, d.ValueSize, d.ValueDecimals, value);
            at[0] = 1;
            std::memcpy(at + 1, value, std::min<size_t>(d.ValueSize, ConvertBufferSize));
            // A string keeps its terminating zero whatever was converted into it.
            if (d.FieldType == fldString && d.ValueSize > 0) at[d.ValueSize] = 0;
        }
        ReleaseExpToken(result);
    }
}

}  // namespace dbengine
