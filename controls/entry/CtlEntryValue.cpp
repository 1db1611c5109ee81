#include "controls/entry/CtlEntryValue.h"

#include <cstring>
#include <limits>

#include "controls/entry/CtlMessages.h"
#include "framework/core/Extended80.h"
#include "framework/core/SysUtils.h"

namespace entry {

namespace {

constexpr uint32_t SCtlParameterInvalid = 30188;

[[noreturn]] void ParameterInvalid() {
    throw ECtlException(CtlGetMessage(SCtlParameterInvalid));
}

struct TIntRange {
    int64_t Lo, Hi;
};

TIntRange IntegerRange(uint8_t DataType) {
    switch (DataType) {
        case dtWord:
            return {0, 65535};
        case dtSmallInt:
            return {-32768, 32767};
        case dtByte:
            return {0, 255};
        case dtShortInt:
            return {-128, 127};
        default:
            return {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()};
    }
}

// Reads Text in base 2, 8 or 16 as a bit pattern of at most 32 bits.
bool ParseBase(const std::string& Text, int Base, uint32_t& Value) {
    if (Text.empty()) return false;
    uint64_t v = 0;
    for (char c : Text) {
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            return false;
        if (d >= Base) return false;
        v = v * static_cast<uint64_t>(Base) + static_cast<uint64_t>(d);
        if (v > 0xFFFFFFFFull) return false;
    }
    Value = static_cast<uint32_t>(v);
    return true;
}

std::string Digits(uint32_t Value, int Base, int Count) {
    std::string s(static_cast<size_t>(Count), '0');
    for (int i = Count - 1; i >= 0 && Value != 0; --i) {
        s[static_cast<size_t>(i)] = "0123456789ABCDEF"[Value % static_cast<uint32_t>(Base)];
        Value /= static_cast<uint32_t>(Base);
    }
    return s;
}

bool Has(const std::string& Mask, char C) {
    return Mask.find(C) != std::string::npos;
}

}  // namespace

bool CtlIsIntegerType(uint8_t DataType) {
    return DataType >= dtLongInt && DataType <= dtShortInt;
}

bool CtlIsFloatType(uint8_t DataType) {
    return DataType >= dtReal && DataType <= dtComp;
}

int CtlValueSize(uint8_t DataType, int StringSize) {
    static constexpr int kSizes[CtlDataTypeCount] = {0, 1, 1, 1, 4, 2, 2, 1, 1, 8, 10, 8, 4, 8, 4, 4};
    if (DataType >= CtlDataTypeCount) ParameterInvalid();
    return DataType == dtString ? StringSize : kSizes[DataType];
}

void CtlCheckEntryValue(const TCtlEntryValue& Value, uint8_t DataType, int Size) {
    if (DataType >= CtlDataTypeCount || Value.DataType != DataType || Size < 0 ||
        Value.Bytes.size() != static_cast<size_t>(Size))
        ParameterInvalid();
}

TCtlEntryValue CtlIntegerValue(uint8_t DataType, int32_t Value) {
    if (!CtlIsIntegerType(DataType)) throw EInvalidDataType();
    TCtlEntryValue v;
    v.DataType = DataType;
    const auto bits = static_cast<uint32_t>(Value);
    v.Bytes.resize(static_cast<size_t>(CtlValueSize(DataType, 0)));
    for (size_t i = 0; i < v.Bytes.size(); ++i) v.Bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
    return v;
}

int32_t CtlValueAsInteger(const TCtlEntryValue& Value) {
    if (!CtlIsIntegerType(Value.DataType)) throw EInvalidDataType();
    CtlCheckEntryValue(Value, Value.DataType, CtlValueSize(Value.DataType, 0));
    const uint8_t* b = Value.Bytes.data();
    switch (Value.DataType) {
        case dtWord:
            return static_cast<int32_t>(b[0] | (b[1] << 8));
        case dtSmallInt:
            return static_cast<int16_t>(b[0] | (b[1] << 8));
        case dtByte:
            return b[0];
        case dtShortInt:
            return static_cast<int8_t>(b[0]);
        default:
            return static_cast<int32_t>(uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) |
                                        (uint32_t{b[3]} << 24));
    }
}

// ---- Range records ----

void TCtlRangeRec::SetChar(char Value) {
    *this = {};
    Bytes[0] = static_cast<uint8_t>(Value);
}

int32_t TCtlRangeRec::AsInteger() const {
    return static_cast<int32_t>(uint32_t{Bytes[0]} | (uint32_t{Bytes[1]} << 8) | (uint32_t{Bytes[2]} << 16) |
                                (uint32_t{Bytes[3]} << 24));
}

void TCtlRangeRec::SetInteger(int32_t Value) {
    *this = {};
    for (int i = 0; i < 4; ++i) Bytes[i] = static_cast<uint8_t>(static_cast<uint32_t>(Value) >> (8 * i));
}

double TCtlRangeRec::AsReal() const {
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | Bytes[i];
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

void TCtlRangeRec::SetReal(double Value) {
    *this = {};
    uint64_t bits;
    std::memcpy(&bits, &Value, sizeof bits);
    for (int i = 0; i < 8; ++i) Bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
}

long double TCtlRangeRec::AsExtended() const {
    return framework::BytesToExtended(Bytes);
}

void TCtlRangeRec::SetExtended(long double Value) {
    framework::ExtendedToBytes(Value, Bytes);
}

namespace {
TCtlRangeRec DefaultRange(uint8_t DataType, bool High) {
    TCtlRangeRec r;
    const int sign = High ? 1 : -1;
    switch (DataType) {
        case dtChar:
            r.SetChar(' ');
            break;
        case dtLongInt:
        case dtWord:
        case dtSmallInt:
        case dtByte:
        case dtShortInt: {
            const TIntRange range = IntegerRange(DataType);
            r.SetInteger(static_cast<int32_t>(High ? range.Hi : range.Lo));
            break;
        }
        case dtReal:
            r.SetReal(sign * 1.7e38);
            break;
        case dtExtended:
            r.SetExtended(sign * 1.1e4932L);
            break;
        case dtDouble:
            r.SetExtended(sign * 1.7e308L);
            break;
        case dtSingle:
            r.SetExtended(sign * 3.4e38L);
            break;
        case dtComp:
            r.SetExtended(sign * 9.2e18L);
            break;
        case dtDate:
            r.SetInteger(High ? 876581 : 0);
            break;
        case dtTime:
            r.SetInteger(High ? 86399 : 0);
            break;
        default:
            break;
    }
    return r;
}
}  // namespace

TCtlRangeRec CtlDefaultRangeLo(uint8_t DataType) {
    return DefaultRange(DataType, false);
}

TCtlRangeRec CtlDefaultRangeHi(uint8_t DataType) {
    return DefaultRange(DataType, true);
}

bool CtlStoresRange(uint8_t DataType) {
    return DataType != dtString && DataType != dtBoolean && DataType != dtYesNo &&
           DataType < CtlDataTypeCount;
}

std::string CtlRangeToText(uint8_t DataType, const TCtlRangeRec& Rec, const std::string& Mask) {
    if (DataType == dtChar) {
        const auto c = static_cast<uint8_t>(Rec.AsChar());
        return c > 32 ? std::string(1, static_cast<char>(c)) : "#" + std::to_string(c);
    }
    if (!CtlIsIntegerType(DataType)) return "";
    const int size = CtlValueSize(DataType, 0);
    const uint32_t mask = size == 4 ? 0xFFFFFFFFu : (1u << (8 * size)) - 1;
    const uint32_t bits = static_cast<uint32_t>(Rec.AsInteger()) & mask;
    if (Has(Mask, 'K')) return Digits(bits, 16, 2 * size);
    if (Has(Mask, 'O')) return Digits(bits, 8, size == 4 ? 12 : size == 2 ? 8 : 4);
    if (Has(Mask, 'b')) return Digits(bits, 2, 8 * size);
    return std::to_string(Rec.AsInteger());
}

bool CtlTextToRange(uint8_t DataType, const std::string& Text, const std::string& Mask, TCtlRangeRec& Rec) {
    TCtlRangeRec r;
    if (DataType == dtChar) {
        char c = ' ';
        if (Text.size() > 1 && Text[0] == '#' && Text.size() <= 4) {
            int32_t code = 0;
            if (framework::TryStrToInt(Text.substr(1), code) && code >= 0 && code <= 255)
                c = static_cast<char>(code);
        } else if (!Text.empty()) {
            c = Text[0];
        }
        r.SetChar(c);
        Rec = r;
        return true;
    }
    if (DataType == dtString || DataType == dtBoolean || DataType == dtYesNo) {
        Rec = r;
        return true;
    }
    if (!CtlIsIntegerType(DataType)) return false;
    const std::string text = framework::Trim(Text);
    int64_t value = 0;
    if (!text.empty()) {
        uint32_t bits = 0;
        if (Has(Mask, 'b')) {
            if (text.size() > 32 || !ParseBase(text, 2, bits)) return false;
            value = static_cast<int32_t>(bits);
        } else if (Has(Mask, 'O')) {
            if (!ParseBase(text, 8, bits)) return false;
            value = static_cast<int32_t>(bits);
        } else if (Has(Mask, 'K')) {
            if (!ParseBase(text[0] == '$' ? text.substr(1) : text, 16, bits)) return false;
            value = static_cast<int32_t>(bits);
        } else {
            int32_t v = 0;
            if (!framework::TryStrToInt(text, v)) return false;
            value = v;
        }
    }
    // A digit pattern of a signed 8- or 16-bit type is read at that width, as its text is written.
    const bool pattern = Has(Mask, 'b') || Has(Mask, 'O') || Has(Mask, 'K');
    if (pattern && (DataType == dtSmallInt || DataType == dtShortInt) && value >= 0) {
        const int bits = 8 * CtlValueSize(DataType, 0);
        if (value < (int64_t{1} << bits) && value >= (int64_t{1} << (bits - 1))) value -= int64_t{1} << bits;
    }
    const TIntRange range = IntegerRange(DataType);
    if (value < range.Lo || value > range.Hi) return false;
    r.SetInteger(static_cast<int32_t>(value));
    Rec = r;
    return true;
}

}  // namespace entry
