#include "framework/data/Fields.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "framework/core/DateTime.h"
#include "framework/core/Stream.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSet.h"
#include "framework/data/DataText.h"

namespace framework {

using namespace datatext;

// ---- data form conversions -------------------------------------------------------------------------

int32_t DateTimeToDateData(double dateTime) {
    return int32_t(std::trunc(dateTime)) + DateDelta;
}
double DateDataToDateTime(int32_t days) {
    return double(days - DateDelta);
}

int32_t DateTimeToTimeData(double dateTime) {
    double frac = std::fabs(dateTime - std::trunc(dateTime));
    return int32_t(std::llround(frac * MSecsPerDay)) % int32_t(MSecsPerDay);
}
double TimeDataToDateTime(int32_t msecs) {
    return double(msecs) / MSecsPerDay;
}

double DateTimeToTimeStampData(double dateTime) {
    double days = std::trunc(dateTime) + DateDelta;
    double ms = std::llround(std::fabs(dateTime - std::trunc(dateTime)) * MSecsPerDay);
    return days * MSecsPerDay + ms;
}

double TimeStampDataToDateTime(double msecs) {
    double days = std::floor(msecs / MSecsPerDay);
    double ms = msecs - days * MSecsPerDay;
    double date = days - DateDelta;
    // Dates before 30 December 1899 carry their time as a positive fraction below the negative day.
    return date < 0 ? date - ms / MSecsPerDay : date + ms / MSecsPerDay;
}

TBcd CurrToBCD(int64_t scaled, int places) {
    TBcd bcd;
    places = std::clamp(places, 0, 4);
    bool neg = scaled < 0;
    uint64_t mag = neg ? uint64_t(0) - uint64_t(scaled) : uint64_t(scaled);
    for (int i = places; i < 4; ++i) mag = (mag + 5) / 10;  // rounds half away from zero
    std::string digits = std::to_string(mag);
    while (int(digits.size()) <= places) digits = "0" + digits;
    bcd.Precision = uint8_t(digits.size());
    bcd.SignSpecialPlaces = uint8_t((neg && mag != 0 ? 0x80 : 0) | places);
    for (size_t i = 0; i < digits.size(); ++i) {
        uint8_t d = uint8_t(digits[i] - '0');
        bcd.Fraction[i / 2] |= (i % 2 == 0) ? uint8_t(d << 4) : d;
    }
    return bcd;
}

int64_t BCDToCurr(const TBcd& bcd) {
    int places = bcd.SignSpecialPlaces & 0x3F;
    int precision = std::min<int>(bcd.Precision, 64);
    if (places > precision) DatabaseError("BCD overflow");
    // Integer digits and the first four decimals make the currency; further decimals round.
    __int128 value = 0;
    int intDigits = precision - places;
    auto digitAt = [&](int i) {
        return (i % 2 == 0) ? (bcd.Fraction[i / 2] >> 4) : (bcd.Fraction[i / 2] & 0x0F);
    };
    for (int i = 0; i < precision; ++i) {
        int d = digitAt(i);
        if (d > 9) DatabaseError("BCD overflow");
    }
    for (int i = 0; i < intDigits + std::min(places, 4); ++i) {
        value = value * 10 + digitAt(i);
        if (value > (__int128(1) << 63)) DatabaseError("BCD overflow");
    }
    for (int i = places; i < 4; ++i) value *= 10;
    if (places > 4 && digitAt(intDigits + 4) >= 5) value += 1;
    bool neg = (bcd.SignSpecialPlaces & 0x80) != 0;
    if (value > std::numeric_limits<int64_t>::max()) DatabaseError("BCD overflow");
    return neg ? -int64_t(value) : int64_t(value);
}

std::string FieldTypeName(TFieldType type) {
    static const char* const names[] = {
        "Unknown",     "String",    "SmallInt",  "Integer",    "Word",     "Boolean",    "Float",
        "Currency",    "BCD",       "Date",      "Time",       "DateTime", "Bytes",      "VarBytes",
        "AutoInc",     "Blob",      "Memo",      "Graphic",    "FmtMemo",  "ParadoxOle", "DBaseOle",
        "TypedBinary", "Cursor",    "FixedChar", "WideString", "LargeInt", "ADT",        "Array",
        "Reference",   "DataSet",   "OraBlob",   "OraClob",    "Variant",  "Interface",  "IDispatch",
        "Guid",        "TimeStamp", "FMTBcd"};
    int i = int(type);
    return i >= 0 && i < int(std::size(names)) ? names[i] : "Unknown";
}

// ---- TField --------------------------------------------------------------------------------------------

TField::TField(TFieldType dataType) : TComponent(nullptr), FDataType(dataType) {
    ValidChars.set();
}

TField::~TField() = default;

int TField::Index() const {
    return FDataSet ? FDataSet->Fields.IndexOf(this) : -1;
}

int TField::DataSize() const {
    return 0;
}

void TField::CheckSizeValue(int size) const {
    if (size != 0) DatabaseError(dbmsg::SInvalidFieldSize);
}

void TField::SetSize(int size) {
    if (FDataSet && FDataSet->Active()) FDataSet->CheckInactive();
    CheckSizeValue(size);
    FSize = size;
}

void TField::CheckTypeSize(int size) const {
    CheckSizeValue(size);
}

bool TField::IsBlob() const {
    switch (FDataType) {
        case ftBlob:
        case ftMemo:
        case ftGraphic:
        case ftFmtMemo:
        case ftParadoxOle:
        case ftDBaseOle:
        case ftTypedBinary:
        case ftOraBlob:
        case ftOraClob:
            return true;
        default:
            return false;
    }
}

void TField::SetDisplayLabel(std::string label) {
    FDisplayLabel = label == FieldName ? std::string() : std::move(label);
    if (FDataSet) FDataSet->DataEvent(deLayoutChange, 0);
}

void TField::SetDisplayWidth(int width) {
    FDisplayWidth = width;
    if (FDataSet) FDataSet->DataEvent(deLayoutChange, 0);
}

bool TField::GetData(void* buffer) const {
    if (FValidating) {
        if (!FValueBuffer) return false;
        if (buffer) std::memcpy(buffer, FValueBuffer, size_t(DataSize()));
        return true;
    }
    if (!FDataSet) DatabaseErrorFmt("Field '%s' has no dataset", {DisplayName()});
    return FDataSet->GetFieldData(const_cast<TField*>(this), buffer);
}

void TField::SetData(const void* buffer) {
    if (!FDataSet) DatabaseErrorFmt("Field '%s' has no dataset", {DisplayName()});
    FDataSet->SetFieldData(this, buffer);
}

void TField::SetLookupDataSet(TDataSet* dataSet) {
    if (FLookupDataSet == dataSet) return;
    if (FLookupDataSet) FLookupDataSet->RemoveFreeNotification(this);
    FLookupDataSet = dataSet;
    if (FLookupDataSet) FLookupDataSet->FreeNotification(this);
}

void TField::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == FLookupDataSet) FLookupDataSet = nullptr;
}

bool TField::IsNull() const {
    return !GetData(nullptr);
}

void TField::Validate(const void* buffer) {
    if (!OnValidate) return;
    // While the handler runs, reading the field answers the value being written.
    FValueBuffer = buffer;
    FValidating = true;
    try {
        OnValidate(this);
    } catch (...) {
        FValidating = false;
        FValueBuffer = nullptr;
        throw;
    }
    FValidating = false;
    FValueBuffer = nullptr;
}

void TField::Change() {
    if (OnChange) OnChange(this);
}

void TField::FocusControl() {
    if (FDataSet) FDataSet->DataEvent(deFocusControl, reinterpret_cast<intptr_t>(this));
}

bool TField::CanModify() const {
    if (ReadOnly || !FDataSet) return false;
    if (FDataSet->State() == dsSetKey) return IsIndexField();
    return (FieldKind == fkData || FieldKind == fkInternalCalc) ? FDataSet->CanModify() : true;
}

bool TField::IsIndexField() const {
    return FDataSet && FieldKind == fkData && FDataSet->GetIsIndexField(const_cast<TField*>(this));
}

void TField::AccessError(const std::string& typeName) const {
    DatabaseErrorFmt(dbmsg::SFieldAccessError, {DisplayName(), typeName});
}

void TField::RangeError(double value, double min, double max) const {
    DatabaseErrorFmt(dbmsg::SFieldRangeError,
                     {FloatText(value), DisplayName(), FloatText(min), FloatText(max)});
}

std::string TField::GetAsString() const {
    AccessError("String");
}
void TField::SetAsStringImpl(const std::string&) {
    AccessError("String");
}
int32_t TField::GetAsInteger() const {
    AccessError("Integer");
}
void TField::SetAsIntegerImpl(int32_t) {
    AccessError("Integer");
}
double TField::GetAsFloat() const {
    AccessError("Float");
}
void TField::SetAsFloatImpl(double) {
    AccessError("Float");
}
bool TField::GetAsBoolean() const {
    AccessError("Boolean");
}
void TField::SetAsBooleanImpl(bool) {
    AccessError("Boolean");
}
double TField::GetAsDateTime() const {
    AccessError("DateTime");
}
void TField::SetAsDateTimeImpl(double) {
    AccessError("DateTime");
}
int64_t TField::GetAsCurrency() const {
    return std::llround(GetAsFloat() * 10000.0);
}
void TField::SetAsCurrencyImpl(int64_t v) {
    SetAsFloatImpl(double(v) / 10000.0);
}
Variant TField::GetAsVariant() const {
    AccessError("Variant");
}
void TField::SetVariantValue(const Variant&) {
    AccessError("Variant");
}

Variant TField::AsVariant() const {
    return GetAsVariant();
}

void TField::SetAsVariant(const Variant& v) {
    if (v.IsNull())
        Clear();
    else
        SetVariantValue(v);
}

void TField::GetText(std::string& text, bool) const {
    text = GetAsString();
}
void TField::SetTextValue(const std::string& text) {
    SetAsStringImpl(text);
}

std::string TField::DisplayText() const {
    std::string text;
    if (OnGetText)
        OnGetText(const_cast<TField*>(this), text, true);
    else
        GetText(text, true);
    return text;
}

std::string TField::Text() const {
    std::string text;
    if (OnGetText)
        OnGetText(const_cast<TField*>(this), text, false);
    else
        GetText(text, false);
    return text;
}

void TField::SetText(const std::string& text) {
    if (OnSetText)
        OnSetText(this, text);
    else
        SetTextValue(text);
}

// ---- TStringField ----------------------------------------------------------------------------------

TStringField::TStringField() : TField(ftString) {
    FSize = 20;
}

void TStringField::CheckSizeValue(int size) const {
    if (size < 1 || size > 8192) DatabaseError(dbmsg::SInvalidFieldSize);
}

bool TStringField::GetValue(std::string& value) const {
    std::vector<char> buf(size_t(DataSize()) + 1, '\0');
    if (!GetData(buf.data())) return false;
    value.assign(buf.data(), strnlen(buf.data(), size_t(FSize)));
    return true;
}

std::string TStringField::GetAsString() const {
    std::string s;
    return GetValue(s) ? s : std::string();
}

void TStringField::SetAsStringImpl(const std::string& v) {
    std::vector<char> buf(size_t(DataSize()), '\0');
    std::memcpy(buf.data(), v.data(), std::min(v.size(), size_t(FSize)));
    SetData(buf.data());
}

int32_t TStringField::GetAsInteger() const {
    int64_t v = ParseInteger(GetAsString());
    if (v < INT32_MIN || v > INT32_MAX)
        throw EConvertError("'" + GetAsString() + "' is not a valid integer value");
    return int32_t(v);
}
void TStringField::SetAsIntegerImpl(int32_t v) {
    SetAsStringImpl(std::to_string(v));
}
double TStringField::GetAsFloat() const {
    return ParseFloat(GetAsString());
}
void TStringField::SetAsFloatImpl(double v) {
    SetAsStringImpl(FloatText(v));
}

bool TStringField::GetAsBoolean() const {
    std::string s = GetAsString();
    if (s.empty()) return false;
    char c = char(std::toupper(static_cast<unsigned char>(s[0])));
    if (c == 'T' || c == 'Y') return true;
    if (c == 'F' || c == 'N') return false;
    DatabaseErrorFmt(dbmsg::SNotBoolean, {s, DisplayName()});
}
void TStringField::SetAsBooleanImpl(bool v) {
    SetAsStringImpl(v ? "T" : "F");
}
double TStringField::GetAsDateTime() const {
    return ParseDateTime(GetAsString());
}
void TStringField::SetAsDateTimeImpl(double v) {
    SetAsStringImpl(DateTimeText(v));
}
int64_t TStringField::GetAsCurrency() const {
    return ParseCurrency(GetAsString());
}
void TStringField::SetAsCurrencyImpl(int64_t v) {
    SetAsStringImpl(CurrencyText(v));
}

Variant TStringField::GetAsVariant() const {
    std::string s;
    return GetValue(s) ? Variant(s) : Variant();
}
void TStringField::SetVariantValue(const Variant& v) {
    SetAsStringImpl(v.AsString());
}

// ---- number kinds -------------------------------------------------------------------------------------

TNumericField::TNumericField(TFieldType dataType) : TField(dataType) {
    Alignment = taRightJustify;
    ValidChars.reset();
    for (const char* p = "+-0123456789"; *p; ++p) ValidChars.set(static_cast<unsigned char>(*p));
}

std::string TNumericField::FormatNumber(double value, bool displayText) const {
    const std::string& fmt = (displayText || EditFormat.empty()) ? DisplayFormat : EditFormat;
    return FormatFloat(fmt, value);
}

TIntegerField::TIntegerField() : TIntegerField(ftInteger, INT32_MIN, INT32_MAX) {}

TIntegerField::TIntegerField(TFieldType dataType, int32_t minRange, int32_t maxRange)
    : TNumericField(dataType), FMinRange(minRange), FMaxRange(maxRange) {}

TSmallintField::TSmallintField() : TIntegerField(ftSmallint, -32768, 32767) {}
TWordField::TWordField() : TIntegerField(ftWord, 0, 65535) {}
TAutoIncField::TAutoIncField() : TIntegerField(ftAutoInc, INT32_MIN, INT32_MAX) {}

bool TIntegerField::GetValue(int32_t& value) const {
    uint8_t buf[4] = {};
    if (!GetData(buf)) return false;
    if (DataType() == ftSmallint) {
        int16_t v;
        std::memcpy(&v, buf, 2);
        value = v;
    } else if (DataType() == ftWord) {
        uint16_t v;
        std::memcpy(&v, buf, 2);
        value = v;
    } else {
        std::memcpy(&value, buf, 4);
    }
    return true;
}

std::string TIntegerField::GetAsString() const {
    int32_t v;
    return GetValue(v) ? std::to_string(v) : std::string();
}

void TIntegerField::SetAsStringImpl(const std::string& v) {
    if (v.empty()) {
        Clear();
        return;
    }
    int64_t n = ParseInteger(v);
    if (n < FMinRange || n > FMaxRange) {
        bool own = MinValue != 0 || MaxValue != 0;
        RangeError(double(n), own ? MinValue : FMinRange, own ? MaxValue : FMaxRange);
    }
    SetAsIntegerImpl(int32_t(n));
}

int32_t TIntegerField::GetAsInteger() const {
    int32_t v;
    return GetValue(v) ? v : 0;
}

void TIntegerField::SetAsIntegerImpl(int32_t v) {
    int32_t lo = FMinRange, hi = FMaxRange;
    if (MinValue != 0 || MaxValue != 0) {
        lo = MinValue;
        hi = MaxValue;
    }
    if (v < lo || v > hi) RangeError(v, lo, hi);
    uint8_t buf[4] = {};
    if (DataSize() == 2) {
        uint16_t w = uint16_t(v);
        std::memcpy(buf, &w, 2);
    } else {
        std::memcpy(buf, &v, 4);
    }
    SetData(buf);
}

double TIntegerField::GetAsFloat() const {
    return GetAsInteger();
}

void TIntegerField::SetAsFloatImpl(double v) {
    double r = std::round(v);
    if (!(r >= INT32_MIN && r <= INT32_MAX)) RangeError(v, FMinRange, FMaxRange);
    SetAsIntegerImpl(int32_t(r));
}

int64_t TIntegerField::GetAsCurrency() const {
    return int64_t(GetAsInteger()) * 10000;
}
void TIntegerField::SetAsCurrencyImpl(int64_t v) {
    SetAsFloatImpl(double(v) / 10000.0);
}

Variant TIntegerField::GetAsVariant() const {
    int32_t v;
    return GetValue(v) ? Variant(int64_t(v)) : Variant();
}

void TIntegerField::SetVariantValue(const Variant& v) {
    int64_t n = v.AsInteger();
    if (n < INT32_MIN || n > INT32_MAX) RangeError(double(n), FMinRange, FMaxRange);
    SetAsIntegerImpl(int32_t(n));
}

void TIntegerField::GetText(std::string& text, bool displayText) const {
    int32_t v;
    if (!GetValue(v)) {
        text.clear();
        return;
    }
    const std::string& fmt = (displayText || EditFormat.empty()) ? DisplayFormat : EditFormat;
    text = fmt.empty() ? std::to_string(v) : FormatFloat(fmt, v);
}

TLargeintField::TLargeintField() : TNumericField(ftLargeint) {}

bool TLargeintField::GetValue(int64_t& value) const {
    uint8_t buf[8];
    if (!GetData(buf)) return false;
    std::memcpy(&value, buf, 8);
    return true;
}

int64_t TLargeintField::AsLargeInt() const {
    int64_t v;
    return GetValue(v) ? v : 0;
}

void TLargeintField::SetAsLargeInt(int64_t v) {
    uint8_t buf[8];
    std::memcpy(buf, &v, 8);
    SetData(buf);
}

std::string TLargeintField::GetAsString() const {
    int64_t v;
    return GetValue(v) ? std::to_string(v) : std::string();
}
void TLargeintField::SetAsStringImpl(const std::string& v) {
    if (v.empty())
        Clear();
    else
        SetAsLargeInt(ParseInteger(v));
}
int32_t TLargeintField::GetAsInteger() const {
    int64_t v = AsLargeInt();
    if (v < INT32_MIN || v > INT32_MAX) RangeError(double(v), INT32_MIN, INT32_MAX);
    return int32_t(v);
}
void TLargeintField::SetAsIntegerImpl(int32_t v) {
    SetAsLargeInt(v);
}
double TLargeintField::GetAsFloat() const {
    return double(AsLargeInt());
}
void TLargeintField::SetAsFloatImpl(double v) {
    double r = std::round(v);
    if (!(r >= -9.2e18 && r <= 9.2e18)) RangeError(v, -9.2e18, 9.2e18);
    SetAsLargeInt(int64_t(r));
}
Variant TLargeintField::GetAsVariant() const {
    int64_t v;
    return GetValue(v) ? Variant(v) : Variant();
}
void TLargeintField::SetVariantValue(const Variant& v) {
    SetAsLargeInt(v.AsInteger());
}
void TLargeintField::GetText(std::string& text, bool displayText) const {
    int64_t v;
    if (!GetValue(v)) {
        text.clear();
        return;
    }
    const std::string& fmt = (displayText || EditFormat.empty()) ? DisplayFormat : EditFormat;
    text = fmt.empty() ? std::to_string(v) : FormatFloat(fmt, double(v));
}

TFloatField::TFloatField() : TFloatField(ftFloat) {}

TFloatField::TFloatField(TFieldType dataType) : TNumericField(dataType) {
    for (const char* p = ".Ee"; *p; ++p) ValidChars.set(static_cast<unsigned char>(*p));
}

TCurrencyField::TCurrencyField() : TFloatField(ftCurrency) {
    Currency = true;
}

double TFloatField::GetAsFloat() const {
    double v = 0;
    return GetData(&v) ? v : 0.0;
}

void TFloatField::SetAsFloatImpl(double v) {
    if ((MinValue != 0 || MaxValue != 0) && (v < MinValue || v > MaxValue)) RangeError(v, MinValue, MaxValue);
    SetData(&v);
}

std::string TFloatField::GetAsString() const {
    double v;
    return GetData(&v) ? FloatText(v) : std::string();
}

void TFloatField::SetAsStringImpl(const std::string& v) {
    if (Trim(v).empty())
        Clear();
    else
        SetAsFloatImpl(ParseFloat(v));
}

int32_t TFloatField::GetAsInteger() const {
    double v = std::round(GetAsFloat());
    if (!(v >= INT32_MIN && v <= INT32_MAX)) RangeError(v, INT32_MIN, INT32_MAX);
    return int32_t(v);
}
void TFloatField::SetAsIntegerImpl(int32_t v) {
    SetAsFloatImpl(v);
}
int64_t TFloatField::GetAsCurrency() const {
    return std::llround(GetAsFloat() * 10000.0);
}
void TFloatField::SetAsCurrencyImpl(int64_t v) {
    SetAsFloatImpl(double(v) / 10000.0);
}

Variant TFloatField::GetAsVariant() const {
    double v;
    if (!GetData(&v)) return Variant();
    return Variant(v);
}
void TFloatField::SetVariantValue(const Variant& v) {
    SetAsFloatImpl(v.AsFloat());
}

void TFloatField::GetText(std::string& text, bool displayText) const {
    double v;
    if (!GetData(&v)) {
        text.clear();
        return;
    }
    const std::string& fmt = (displayText || EditFormat.empty()) ? DisplayFormat : EditFormat;
    if (!fmt.empty())
        text = FormatFloat(fmt, v);
    else if (Currency && displayText)
        text = CurrencyDisplayText(v);
    else if (Currency)
        text = FormatFloat("0.00", v);
    else
        text = FloatText(v);
}

TBCDField::TBCDField() : TNumericField(ftBCD) {
    FSize = 4;
    ValidChars.set(static_cast<unsigned char>('.'));
}

void TBCDField::CheckSizeValue(int size) const {
    // Size is the number of decimal places; a currency keeps four of them, more are rounded away.
    if (size < 0 || size > 32) DatabaseError(dbmsg::SInvalidFieldSize);
}

int64_t TBCDField::GetAsCurrency() const {
    TBcd bcd;
    return GetData(&bcd) ? BCDToCurr(bcd) : 0;
}
void TBCDField::SetAsCurrencyImpl(int64_t v) {
    TBcd bcd = CurrToBCD(v, FSize);
    if (Precision > 0 && bcd.Precision > Precision) {
        double lim = std::pow(10.0, Precision - FSize);
        RangeError(double(v) / 10000.0, -lim, lim);
    }
    SetData(&bcd);
}
double TBCDField::GetAsFloat() const {
    return double(GetAsCurrency()) / 10000.0;
}
void TBCDField::SetAsFloatImpl(double v) {
    if (!(std::fabs(v) < 922337203685477.0)) RangeError(v, -922337203685477.0, 922337203685477.0);
    SetAsCurrencyImpl(std::llround(v * 10000.0));
}
int32_t TBCDField::GetAsInteger() const {
    return int32_t(std::llround(GetAsFloat()));
}
void TBCDField::SetAsIntegerImpl(int32_t v) {
    SetAsCurrencyImpl(int64_t(v) * 10000);
}
std::string TBCDField::GetAsString() const {
    TBcd bcd;
    return GetData(&bcd) ? CurrencyText(BCDToCurr(bcd)) : std::string();
}
void TBCDField::SetAsStringImpl(const std::string& v) {
    if (Trim(v).empty())
        Clear();
    else
        SetAsCurrencyImpl(ParseCurrency(v));
}
Variant TBCDField::GetAsVariant() const {
    TBcd bcd;
    return GetData(&bcd) ? Variant::FromCurrency(BCDToCurr(bcd)) : Variant();
}
void TBCDField::SetVariantValue(const Variant& v) {
    SetAsCurrencyImpl(v.AsCurrency());
}
void TBCDField::GetText(std::string& text, bool displayText) const {
    TBcd bcd;
    if (!GetData(&bcd)) {
        text.clear();
        return;
    }
    double v = double(BCDToCurr(bcd)) / 10000.0;
    const std::string& fmt = (displayText || EditFormat.empty()) ? DisplayFormat : EditFormat;
    if (!fmt.empty())
        text = FormatFloat(fmt, v);
    else if (Currency && displayText)
        text = CurrencyDisplayText(v);
    else
        text = CurrencyText(BCDToCurr(bcd));
}

// ---- TBooleanField ---------------------------------------------------------------------------------

TBooleanField::TBooleanField() : TField(ftBoolean) {}

void TBooleanField::SetDisplayValues(const std::string& values) {
    FDisplayValues = values;
    auto semi = values.find(';');
    if (semi == std::string::npos) {
        FTrueText = values;
        FFalseText.clear();
    } else {
        FTrueText = values.substr(0, semi);
        FFalseText = values.substr(semi + 1);
    }
    if (DataSet()) DataSet()->DataEvent(deLayoutChange, 0);
}

int TBooleanField::DefaultDisplayWidth() const {
    return int(std::max(FTrueText.size(), FFalseText.size()));
}

bool TBooleanField::GetAsBoolean() const {
    int16_t v = 0;
    return GetData(&v) && v != 0;
}

void TBooleanField::SetAsBooleanImpl(bool v) {
    int16_t w = v ? 1 : 0;
    SetData(&w);
}

std::string TBooleanField::GetAsString() const {
    int16_t v = 0;
    if (!GetData(&v)) return std::string();
    return v != 0 ? FTrueText : FFalseText;
}

void TBooleanField::SetAsStringImpl(const std::string& v) {
    if (v.empty()) {
        Clear();
        return;
    }
    // A leading part of either word is enough ("T", "tr", "F").
    if (AnsiSameText(FTrueText.substr(0, v.size()), v))
        SetAsBooleanImpl(true);
    else if (AnsiSameText(FFalseText.substr(0, v.size()), v))
        SetAsBooleanImpl(false);
    else
        DatabaseErrorFmt(dbmsg::SNotBoolean, {v, DisplayName()});
}

int32_t TBooleanField::GetAsInteger() const {
    return GetAsBoolean() ? 1 : 0;
}
void TBooleanField::SetAsIntegerImpl(int32_t v) {
    SetAsBooleanImpl(v != 0);
}

Variant TBooleanField::GetAsVariant() const {
    int16_t v = 0;
    return GetData(&v) ? Variant(v != 0) : Variant();
}
void TBooleanField::SetVariantValue(const Variant& v) {
    SetAsBooleanImpl(v.AsBoolean());
}

// ---- date and time kinds -------------------------------------------------------------------------

TDateTimeField::TDateTimeField() : TDateTimeField(ftDateTime) {}
TDateTimeField::TDateTimeField(TFieldType dataType) : TField(dataType) {}
TDateField::TDateField() : TDateTimeField(ftDate) {}
TTimeField::TTimeField() : TDateTimeField(ftTime) {}

bool TDateTimeField::GetValue(double& value) const {
    uint8_t buf[8] = {};
    if (!GetData(buf)) return false;
    if (DataType() == ftDate) {
        int32_t d;
        std::memcpy(&d, buf, 4);
        value = DateDataToDateTime(d);
    } else if (DataType() == ftTime) {
        int32_t t;
        std::memcpy(&t, buf, 4);
        value = TimeDataToDateTime(t);
    } else {
        double ms;
        std::memcpy(&ms, buf, 8);
        value = TimeStampDataToDateTime(ms);
    }
    return true;
}

double TDateTimeField::GetAsDateTime() const {
    double v;
    return GetValue(v) ? v : 0.0;
}

void TDateTimeField::SetAsDateTimeImpl(double v) {
    uint8_t buf[8] = {};
    if (DataType() == ftDate) {
        int32_t d = DateTimeToDateData(v);
        std::memcpy(buf, &d, 4);
    } else if (DataType() == ftTime) {
        int32_t t = DateTimeToTimeData(v);
        std::memcpy(buf, &t, 4);
    } else {
        double ms = DateTimeToTimeStampData(v);
        std::memcpy(buf, &ms, 8);
    }
    SetData(buf);
}

double TDateTimeField::GetAsFloat() const {
    return GetAsDateTime();
}
void TDateTimeField::SetAsFloatImpl(double v) {
    SetAsDateTimeImpl(v);
}

std::string TDateTimeField::GetAsString() const {
    std::string text;
    GetText(text, false);
    return text;
}

void TDateTimeField::SetAsStringImpl(const std::string& v) {
    if (Trim(v).empty()) {
        Clear();
        return;
    }
    double dt = DataType() == ftDate ? ParseDate(v) : DataType() == ftTime ? ParseTime(v) : ParseDateTime(v);
    SetAsDateTimeImpl(dt);
}

Variant TDateTimeField::GetAsVariant() const {
    double v;
    return GetValue(v) ? Variant::FromDateTime(v) : Variant();
}
void TDateTimeField::SetVariantValue(const Variant& v) {
    SetAsDateTimeImpl(v.AsDateTime());
}

void TDateTimeField::GetText(std::string& text, bool displayText) const {
    double v;
    if (!GetValue(v)) {
        text.clear();
        return;
    }
    if (displayText && !DisplayFormat.empty())
        text = FormatDateTime(DisplayFormat, v);
    else if (DataType() == ftDate)
        text = DateText(v);
    else if (DataType() == ftTime)
        text = TimeText(v);
    else
        text = DateTimeText(v);
}

// ---- binary and BLOB kinds -----------------------------------------------------------------------

TBinaryField::TBinaryField(TFieldType dataType) : TField(dataType) {
    FSize = 16;
}
TBytesField::TBytesField() : TBinaryField(ftBytes) {}
TVarBytesField::TVarBytesField() : TBinaryField(ftVarBytes) {}

void TBinaryField::CheckSizeValue(int size) const {
    if (size < 1 || size > 65535) DatabaseError(dbmsg::SInvalidFieldSize);
}

std::string TBinaryField::GetAsString() const {
    std::vector<uint8_t> buf(size_t(DataSize()), 0);
    if (!GetData(buf.data())) return std::string();
    if (DataType() == ftVarBytes) {
        uint16_t len;
        std::memcpy(&len, buf.data(), 2);
        len = std::min<uint16_t>(len, uint16_t(FSize));
        return std::string(reinterpret_cast<const char*>(buf.data()) + 2, len);
    }
    return std::string(buf.begin(), buf.end());
}

void TBinaryField::SetAsStringImpl(const std::string& v) {
    std::vector<uint8_t> buf(size_t(DataSize()), 0);
    size_t n = std::min(v.size(), size_t(FSize));
    if (DataType() == ftVarBytes) {
        uint16_t len = uint16_t(n);
        std::memcpy(buf.data(), &len, 2);
        std::memcpy(buf.data() + 2, v.data(), n);
    } else {
        std::memcpy(buf.data(), v.data(), n);
    }
    SetData(buf.data());
}

Variant TBinaryField::GetAsVariant() const {
    return IsNull() ? Variant() : Variant(GetAsString());
}
void TBinaryField::SetVariantValue(const Variant& v) {
    SetAsStringImpl(v.AsString());
}
void TBinaryField::GetText(std::string& text, bool) const {
    text = DataType() == ftVarBytes ? "(VarBytes)" : "(Bytes)";
}

TBlobField::TBlobField() : TBlobField(ftBlob) {}
TBlobField::TBlobField(TFieldType dataType) : TField(dataType) {}
TMemoField::TMemoField() : TBlobField(ftMemo) {}
TGraphicField::TGraphicField() : TBlobField(ftGraphic) {}

// The value goes through the dataset's BLOB stream both ways, so a dataset that keeps its BLOBs
// elsewhere (an engine) serves fields through its own stream.
std::string TBlobField::GetAsString() const {
    if (!DataSet()) return std::string();
    auto stream = DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), bmRead);
    std::string value;
    char chunk[65536];
    for (;;) {
        int32_t n = stream->Read(chunk, int32_t(sizeof chunk));
        if (n <= 0) break;
        value.append(chunk, size_t(n));
    }
    return value;
}

void TBlobField::SetAsStringImpl(const std::string& v) {
    if (!DataSet()) DatabaseErrorFmt("Field '%s' has no dataset", {DisplayName()});
    auto stream = DataSet()->CreateBlobStream(this, bmWrite);
    if (!v.empty()) stream->WriteBuffer(v.data(), int32_t(v.size()));
    Modified = true;
}

Variant TBlobField::GetAsVariant() const {
    return IsNull() ? Variant() : Variant(GetAsString());
}
void TBlobField::SetVariantValue(const Variant& v) {
    SetAsStringImpl(v.AsString());
}

void TBlobField::GetText(std::string& text, bool) const {
    // Upper case when the BLOB holds data, lower case when it is empty.
    bool empty = IsNull();
    if (DataType() == ftGraphic)
        text = empty ? "(graphic)" : "(GRAPHIC)";
    else if (DataType() == ftMemo)
        text = empty ? "(memo)" : "(MEMO)";
    else
        text = empty ? "(blob)" : "(BLOB)";
}

void TMemoField::GetText(std::string& text, bool displayText) const {
    if (displayText)
        TBlobField::GetText(text, true);
    else
        text = GetAsString();
}

int TBlobField::BlobSize() const {
    if (!DataSet()) return 0;
    return int(DataSet()->CreateBlobStream(const_cast<TBlobField*>(this), bmRead)->Size());
}

void TBlobField::LoadFromStream(TStream* stream) {
    stream->SetPosition(0);
    std::string data(size_t(std::max<int64_t>(stream->Size(), 0)), '\0');
    if (!data.empty()) stream->ReadBuffer(data.data(), int32_t(data.size()));
    SetAsStringImpl(data);
}

void TBlobField::SaveToStream(TStream* stream) const {
    std::string data = GetAsString();
    if (!data.empty()) stream->WriteBuffer(data.data(), int32_t(data.size()));
}

Variant TField::OldValue() const {
    return DataSet() ? DataSet()->GetStateFieldValue(dsOldValue, const_cast<TField*>(this)) : Variant();
}

Variant TField::NewValue() const {
    return DataSet() ? DataSet()->GetStateFieldValue(dsNewValue, const_cast<TField*>(this)) : Variant();
}

void TField::SetNewValue(const Variant& value) {
    if (DataSet()) DataSet()->SetStateFieldValue(dsNewValue, this, value);
}

std::unique_ptr<TField> CreateFieldOfType(TFieldType type) {
    switch (type) {
        case ftString:
        case ftFixedChar:
        case ftWideString:
        case ftGuid: {
            auto f = std::make_unique<TStringField>();
            f->FixedChar = type == ftFixedChar;
            return f;
        }
        case ftSmallint:
            return std::make_unique<TSmallintField>();
        case ftInteger:
            return std::make_unique<TIntegerField>();
        case ftWord:
            return std::make_unique<TWordField>();
        case ftAutoInc:
            return std::make_unique<TAutoIncField>();
        case ftLargeint:
            return std::make_unique<TLargeintField>();
        case ftFloat:
            return std::make_unique<TFloatField>();
        case ftCurrency:
            return std::make_unique<TCurrencyField>();
        case ftBCD:
            return std::make_unique<TBCDField>();
        case ftBoolean:
            return std::make_unique<TBooleanField>();
        case ftDate:
            return std::make_unique<TDateField>();
        case ftTime:
            return std::make_unique<TTimeField>();
        case ftDateTime:
            return std::make_unique<TDateTimeField>();
        case ftBytes:
            return std::make_unique<TBytesField>();
        case ftVarBytes:
            return std::make_unique<TVarBytesField>();
        case ftBlob:
        case ftFmtMemo:
        case ftParadoxOle:
        case ftDBaseOle:
        case ftTypedBinary:
        case ftOraBlob:
        case ftOraClob:
            return std::make_unique<TBlobField>();
        case ftMemo:
            return std::make_unique<TMemoField>();
        case ftGraphic:
            return std::make_unique<TGraphicField>();
        default:
            return nullptr;
    }
}

// ---- TFields -----------------------------------------------------------------------------------------

TField* TFields::operator[](int index) const {
    if (index < 0 || index >= Count()) DatabaseError(dbmsg::SFieldIndexError);
    return FItems[size_t(index)];
}

int TFields::IndexOf(const TField* field) const {
    auto it = std::find(FItems.begin(), FItems.end(), field);
    return it == FItems.end() ? -1 : int(it - FItems.begin());
}

TField* TFields::FindField(const std::string& name) const {
    for (TField* f : FItems)
        if (AnsiSameText(f->FieldName, name)) return f;
    return nullptr;
}

TField* TFields::FieldByName(const std::string& name) const {
    TField* f = FindField(name);
    if (!f) DatabaseErrorFmt(dbmsg::SFieldNotFound, {name});
    return f;
}

TField* TFields::FieldByNumber(int fieldNo) const {
    for (TField* f : FItems)
        if (f->FieldNo() == fieldNo) return f;
    return nullptr;
}

void TFields::Remove(TField* field) {
    FItems.erase(std::remove(FItems.begin(), FItems.end(), field), FItems.end());
}

}  // namespace framework
