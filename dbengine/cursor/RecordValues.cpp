// Reading and writing one field of a record buffer, default values of a new record, the
// required/minimum/maximum checks and the descriptor lookups behind them.
//
// A field in a record: a flag byte (1 value, 0 NULL) at its offset, then its value bytes. An
// auto-increment field has no flag: its four bytes are the record ID in the record header.

#include <cmath>
#include <cstring>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/expr/TextForms.h"
#include "dbengine/expr/ValueTypes.h"
#include "dbengine/os/OSLayer.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineUtils.h"
#include "framework/core/DateTime.h"
#include "framework/core/SysUtils.h"

namespace dbengine {

namespace {

// Every value passes through a zero-filled buffer of this size (a string's 250 characters and
// its terminating zero).
constexpr size_t ValueBufferSize = 251;
constexpr int32_t MillisecondsPerDay = 86'400'000;

int64_t TextToInteger(const std::string& text) {
    int64_t value = 0;
    if (!TextToInt64(text, value)) RaiseConvertError("'%s' is not a valid integer value", text);
    return value;
}

TBcd ReadBcd(const uint8_t* p) {
    TBcd bcd;
    bcd.Precision = p[0];
    bcd.SignSpecialPlaces = p[1];
    std::memcpy(bcd.Fraction, p + 2, sizeof bcd.Fraction);
    return bcd;
}

void WriteBcd(uint8_t* p, const TBcd& bcd) {
    p[0] = bcd.Precision;
    p[1] = bcd.SignSpecialPlaces;
    std::memcpy(p + 2, bcd.Fraction, sizeof bcd.Fraction);
}

// Today's day number and the milliseconds of the current time of day, from the clock seam.
int32_t TodayDayNumber() {
    return static_cast<int32_t>(std::floor(framework::Now())) + DateDelta;
}
int32_t TimeOfDayMs() {
    double now = framework::Now();
    double fraction = now - std::floor(now);
    return static_cast<int32_t>(std::llround(fraction * MillisecondsPerDay)) % MillisecondsPerDay;
}

template <typename T>
bool PassesLimit(T value, T limit, bool isMax) {
    return isMax ? !(value > limit) : !(value < limit);
}

}  // namespace

// ---- Buffers and values ----

void TDataCursor::ClearRecordBuffer(uint8_t* buffer) const {
    std::memset(buffer, 0, RecordSize);
}

void TDataCursor::GetFieldValue(const TFieldDescriptor& desc, const uint8_t* record, uint8_t* value,
                                bool& isBlank) const {
    const uint8_t* at = record + desc.Offset;
    isBlank = desc.IsAutoInc() ? false : at[0] == 0;
    if (value == nullptr) return;
    if (desc.IsAutoInc()) {
        std::memcpy(value, at, desc.ValueSize);
    } else if (desc.FieldType == fldBlob) {
        std::memcpy(value, at + 1, 4);
    } else {
        std::memcpy(value, at + 1, desc.ValueSize);
    }
}

void TDataCursor::PutFieldValue(const TFieldDescriptor& desc, uint8_t* record, const uint8_t* value,
                                bool force, bool blobBlank) {
    if (desc.Calculated != 0 && !force) return;
    uint8_t* at = record + desc.Offset;
    if (value == nullptr) {
        if (!desc.IsAutoInc()) {
            at[0] = 0;
            std::memset(at + 1, 0, desc.FieldType == fldBlob ? 4 : desc.ValueSize);
        }
    } else {
        uint8_t v[ValueBufferSize] = {};
        switch (desc.FieldType) {
            case fldString: {
                size_t size = desc.ValueSize;
                std::memcpy(v, value, size);
                v[size > 0 ? size - 1 : 0] = 0;
                std::string text(reinterpret_cast<const char*>(v));
                size_t end = text.find_last_not_of(' ');
                text.erase(end == std::string::npos ? 0 : end + 1);
                if (desc.CharCase == 1) LowerCaseLocale(LanguageId, SortId, text);
                if (desc.CharCase == 2) UpperCaseLocale(LanguageId, SortId, text);
                if (size > 0 && text.size() > size - 1) text.resize(size - 1);
                std::memset(at + 1, 0, size);
                std::memcpy(at + 1, text.data(), text.size());
                at[0] = text.empty() ? 0 : 1;
                break;
            }
            case fldBlob: {
                int32_t handle = GetInt32(value);
                PutInt32(at + 1, handle);
                at[0] = handle < 0 ? (blobBlank ? 0 : 1) : (handle != 0 ? 1 : 0);
                break;
            }
            case fldBoolean: {
                int16_t b = GetInt16(value);
                PutInt16(at + 1, b == 0 || b == 1 ? b : 1);
                at[0] = 1;
                break;
            }
            default:
                if (desc.IsAutoInc()) {
                    std::memcpy(at, value, desc.ValueSize);
                } else {
                    at[0] = 1;
                    std::memcpy(at + 1, value, desc.ValueSize);
                }
                break;
        }
    }
    if (desc.Calculated == 0) ComputeCalculatedFields(record);
}

void TDataCursor::GetField(uint16_t fieldNo, const uint8_t* record, uint8_t* value, bool& isBlank) {
    if (!RestructureMode) {
        // Read in place: a descriptor holds strings, and nothing here changes the cursor's fields.
        if (fieldNo == 0 || fieldNo > FieldDescs.size()) RaiseField(DBE_OUTOFRANGE, std::to_string(fieldNo));
        GetFieldValue(FieldDescs[fieldNo - 1], record, value, isBlank);
        return;
    }
    TFieldDescriptor d;
    GetFieldDesc(fieldNo, d);
    GetFieldValue(d, record, value, isBlank);
}

void TDataCursor::GetTableField(uint16_t fieldNo, const uint8_t* record, uint8_t* value, bool& isBlank) {
    TFieldDescriptor d;
    GetTableFieldDesc(fieldNo, d);
    GetFieldValue(d, record, value, isBlank);
}

void TDataCursor::PutField(uint16_t fieldNo, uint8_t* record, const uint8_t* value, bool force,
                           bool blobBlank) {
    if (!RestructureMode) {
        // Read in place, as in GetField; the calculated fields computed after the value leave
        // the descriptors alone.
        if (fieldNo == 0 || fieldNo > FieldDescs.size()) RaiseField(DBE_OUTOFRANGE, std::to_string(fieldNo));
        PutFieldValue(FieldDescs[fieldNo - 1], record, value, force, blobBlank);
        return;
    }
    TFieldDescriptor d;
    GetFieldDesc(fieldNo, d);
    PutFieldValue(d, record, value, force, blobBlank);
}

void TDataCursor::PutTableField(uint16_t fieldNo, uint8_t* record, const uint8_t* value, bool blobBlank) {
    TFieldDescriptor d;
    GetTableFieldDesc(fieldNo, d);
    PutFieldValue(d, record, value, false, blobBlank);
}

void TDataCursor::InitRecord(uint8_t* buffer) {
    ClearRecordBuffer(buffer);
    if (!HasDefaults) return;
    for (uint16_t f = 1; f <= GetTableFieldCount(); ++f) {
        TFieldDescriptor d;
        GetDataFileFieldDesc(f, d);
        const std::string& text = d.DefaultValue;
        if (text.empty()) continue;
        uint8_t v[ValueBufferSize] = {};
        switch (d.FieldType) {
            case fldString:
                std::memcpy(v, text.data(), std::min(text.size(), ValueBufferSize - 1));
                break;
            case fldDate:
                PutInt32(v, framework::SameText(text, "CURRENT_DATE") ? TodayDayNumber() : TextToDate(text));
                break;
            case fldTime:
                PutInt32(v, framework::SameText(text, "CURRENT_TIME") ? TimeOfDayMs() : TextToTime(text));
                break;
            case fldTimestamp: {
                double ms;
                if (framework::SameText(text, "CURRENT_TIMESTAMP"))
                    ms = static_cast<double>(TodayDayNumber()) * MillisecondsPerDay + TimeOfDayMs();
                else if (framework::SameText(text, "CURRENT_DATE"))
                    ms = static_cast<double>(TodayDayNumber()) * MillisecondsPerDay;
                else if (framework::SameText(text, "CURRENT_TIME"))
                    ms = static_cast<double>(DateDelta) * MillisecondsPerDay + TimeOfDayMs();
                else
                    ms = TextToDateTime(text);
                PutDouble(v, ms);
                break;
            }
            case fldBoolean:
                PutInt16(v, TextToBoolean(text) != 0 ? 1 : 0);
                break;
            case fldSmallInt:
            case fldWord:
                PutInt16(v, static_cast<int16_t>(TextToInteger(text)));
                break;
            case fldInteger:
                PutInt32(v, static_cast<int32_t>(TextToInteger(text)));
                break;
            case fldLargeInt:
                PutUInt64(v, static_cast<uint64_t>(TextToInteger(text)));
                break;
            case fldFloat:
                PutDouble(v, TextToFloat(text));
                break;
            case fldBCD: {
                TBcd bcd;
                CurrencyToBcd(d.Decimals, bcd, TextToCurrency(text));
                bcd.Precision = 32;
                WriteBcd(v, bcd);
                break;
            }
            default:
                break;
        }
        PutTableField(f, buffer, v, false);
    }
}

// ---- Validity ----

bool TDataCursor::CheckFieldLimit(const std::string& limitText, bool isMax, const TFieldDescriptor& desc,
                                  const uint8_t* value) const {
    switch (desc.FieldType) {
        case fldString: {
            int c = CompareLocaleText(LanguageId, SortId, reinterpret_cast<const char*>(value),
                                      limitText.c_str(), 0, false);
            return isMax ? c <= 0 : c >= 0;
        }
        case fldDate:
            return PassesLimit<int64_t>(GetInt32(value), TextToDate(limitText), isMax);
        case fldTime:
            return PassesLimit<int64_t>(GetInt32(value), TextToTime(limitText), isMax);
        case fldTimestamp:
            return PassesLimit<double>(GetDouble(value), TextToDateTime(limitText), isMax);
        case fldSmallInt:
            return PassesLimit<int64_t>(GetInt16(value), static_cast<int16_t>(TextToInteger(limitText)),
                                        isMax);
        case fldInteger:
            return PassesLimit<int64_t>(GetInt32(value), static_cast<int32_t>(TextToInteger(limitText)),
                                        isMax);
        case fldWord:
            return PassesLimit<int64_t>(GetUInt16(value), static_cast<uint16_t>(TextToInteger(limitText)),
                                        isMax);
        case fldLargeInt:
            return PassesLimit<int64_t>(static_cast<int64_t>(GetUInt64(value)), TextToInteger(limitText),
                                        isMax);
        case fldFloat: {
            double v = GetDouble(value);
            double limit = TextToFloat(limitText);
            // An unordered value fails a minimum and passes a maximum.
            if (std::isnan(v) || std::isnan(limit)) return isMax;
            return PassesLimit(v, limit, isMax);
        }
        case fldBCD:
            return PassesLimit<int64_t>(BcdToCurrency(ReadBcd(value)), TextToCurrency(limitText), isMax);
        default:
            return true;
    }
}

void TDataCursor::CheckRecordValidity(const uint8_t* record) {
    if (!HasValidityChecks) return;
    for (uint16_t f = 1; f <= GetTableFieldCount(); ++f) {
        TFieldDescriptor d;
        GetDataFileFieldDesc(f, d);
        if (d.Required == 0 && d.MinValue.empty() && d.MaxValue.empty()) continue;
        uint8_t value[ValueBufferSize] = {};
        bool blank = false;
        GetFieldValue(d, record, value, blank);
        if (d.Required != 0 && blank) RaiseField(DBE_REQDERR, d.Name);
        if (!d.MinValue.empty() && !CheckFieldLimit(d.MinValue, false, d, value))
            RaiseField(DBE_MINVALERR, d.Name);
        if (!d.MaxValue.empty() && !CheckFieldLimit(d.MaxValue, true, d, value))
            RaiseField(DBE_MAXVALERR, d.Name);
    }
}

// ---- Descriptors ----

void TDataCursor::GetFieldDesc(uint16_t fieldNo, TFieldDescriptor& desc) const {
    if (!RestructureMode)
        GetFieldDescAt(fieldNo, desc);
    else
        GetFieldDescByNumber(static_cast<int16_t>(fieldNo), desc);
}

void TDataCursor::GetFieldDescAt(uint16_t position, TFieldDescriptor& desc) const {
    if (position == 0 || position > FieldDescs.size()) RaiseField(DBE_OUTOFRANGE, std::to_string(position));
    desc = FieldDescs[position - 1];
}

uint16_t TDataCursor::FieldAddress(uint16_t position, const TFieldDescriptor& desc) const {
    return !RestructureMode ? position : static_cast<uint16_t>(desc.FieldNo);
}

void TDataCursor::GetFieldDescByNumber(int16_t fieldNo, TFieldDescriptor& desc) const {
    for (const TFieldDescriptor& d : FieldDescs) {
        if (d.FieldNo == fieldNo) {
            desc = d;
            return;
        }
    }
    RaiseField(DBE_OUTOFRANGE, std::to_string(fieldNo));
}

void TDataCursor::FindFieldDescByName(const std::string& name, TFieldDescriptor& desc) const {
    for (const TFieldDescriptor& d : FieldDescs) {
        if (framework::SameText(d.Name, name)) {
            desc = d;
            return;
        }
    }
    RaiseField(DBE_OUTOFRANGE, name);
}

bool TDataCursor::GetSourceFieldDesc(const std::string& name, TFieldDescriptor& desc) const {
    TFieldDescriptor field;
    FindFieldDescByName(name, field);
    if (field.OriginFieldNo == 0) return false;
    GetMappedTableFieldDesc(field.OriginFieldNo, desc);
    return true;
}

void TDataCursor::GetTableFieldDesc(uint16_t fieldNo, TFieldDescriptor& desc) const {
    if (!RestructureMode)
        GetDataFileFieldDesc(fieldNo, desc);
    else
        GetMappedTableFieldDesc(static_cast<int16_t>(fieldNo), desc);
}

void TDataCursor::GetDataFileFieldDesc(uint16_t position, TFieldDescriptor& desc) const {
    desc = Table->DataFile->GetFieldDescriptor(position);
}

void TDataCursor::GetMappedTableFieldDesc(int16_t fieldNo, TFieldDescriptor& desc) const {
    TFieldDescriptor found;
    if (Table->DataFile->FindFieldByNumber(fieldNo, found)) desc = found;
}

bool TDataCursor::GetTableFieldDescByName(const std::string& name, TFieldDescriptor& desc) const {
    return Table->DataFile->FindFieldByName(name, desc);
}

uint16_t TDataCursor::GetTableFieldNumber(const std::string& name) const {
    return Table->DataFile->GetFieldPosition(name);
}

void TDataCursor::PutTableFieldDesc(uint16_t fieldNo, const TFieldDescriptor& desc) {
    Table->DataFile->UpdateDescriptor(fieldNo, desc);
}

uint16_t TDataCursor::GetTableRecordSize() const {
    return Table->DataFile->RecordSize();
}
uint16_t TDataCursor::GetTableFieldCount() const {
    return Table->DataFile->FieldCount();
}
int16_t TDataCursor::GetTableBlobFieldCount() const {
    return Table->DataFile->BlobFieldCount();
}

void TDataCursor::CheckError(TEngineErrorCode code, const std::string& message) const {
    if (code == 0) return;
    RaiseEngineError(code, {}, {}, GetDatabaseName(), TableName, {}, {}, message);
}

void TDataCursor::CheckFieldError(TEngineErrorCode code, const std::string& fieldName) const {
    if (code == 0) return;
    RaiseField(code, fieldName);
}

}  // namespace dbengine
