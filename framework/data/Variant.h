#pragma once
// A small tagged value used by the dataset framework where a value of any field type travels:
// Locate and Lookup keys and results, parameter values and field AsVariant.
//
// Kinds: null, boolean, integer (64-bit), double, currency (64-bit scaled by 10,000), date-time
// (days since 30 December 1899 in a double), string (Windows-1252 bytes) and an array of variants.
// Conversions between kinds follow the usual rules: numbers and strings convert both ways, a
// boolean is -1/0 as a number and "True"/"False" as text; converting null raises EVariantError.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "framework/core/Exception.h"

namespace framework {

KORVANE_DECLARE_EXCEPTION(EVariantError, Exception);

enum class TVarType { varNull, varBoolean, varInteger, varDouble, varCurrency, varDate, varString, varArray };

class Variant {
public:
    // Currency and date-time share their storage types with integer and double, so they are made
    // through the named constructors below.
    Variant() = default;
    Variant(bool v) : FType(TVarType::varBoolean), FValue(v) {}
    Variant(int v) : FType(TVarType::varInteger), FValue(int64_t(v)) {}
    Variant(int64_t v) : FType(TVarType::varInteger), FValue(v) {}
    Variant(double v) : FType(TVarType::varDouble), FValue(v) {}
    Variant(const char* v) : FType(TVarType::varString), FValue(std::string(v)) {}
    Variant(std::string v) : FType(TVarType::varString), FValue(std::move(v)) {}
    Variant(std::vector<Variant> items) : FType(TVarType::varArray), FValue(std::move(items)) {}

    static Variant Null() { return Variant(); }
    // value is the amount scaled by 10,000 (1.5 is 15000).
    static Variant FromCurrency(int64_t scaled);
    static Variant FromDateTime(double dateTime);
    static Variant Array(std::vector<Variant> items) { return Variant(std::move(items)); }

    TVarType VarType() const { return FType; }
    bool IsNull() const { return FType == TVarType::varNull; }
    bool IsArray() const { return FType == TVarType::varArray; }

    bool AsBoolean() const;
    int64_t AsInteger() const;
    double AsFloat() const;
    int64_t AsCurrency() const;  // scaled by 10,000
    double AsDateTime() const;
    std::string AsString() const;

    // Array access; index outside 0..ArrayCount()-1 raises EVariantError.
    int ArrayCount() const;
    const Variant& operator[](int index) const;

    // Same kind and same value (arrays element by element); null equals only null.
    bool operator==(const Variant& other) const;

private:
    TVarType FType = TVarType::varNull;
    std::variant<std::monostate, bool, int64_t, double, std::string, std::vector<Variant>> FValue;
};

// VarArrayOf([...]) of the class library: an array variant of the given items.
inline Variant VarArrayOf(std::vector<Variant> items) {
    return Variant(std::move(items));
}
inline bool VarIsNull(const Variant& v) {
    return v.IsNull();
}

}  // namespace framework
