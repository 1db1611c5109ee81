#include "framework/data/Variant.h"

#include <cmath>

#include "framework/core/SysUtils.h"
#include "framework/data/DataText.h"

namespace framework {

namespace {

[[noreturn]] void BadConversion() {
    throw EVariantError("Invalid variant type conversion");
}

}  // namespace

Variant Variant::FromCurrency(int64_t scaled) {
    Variant v(scaled);
    v.FType = TVarType::varCurrency;
    return v;
}

Variant Variant::FromDateTime(double dateTime) {
    Variant v(dateTime);
    v.FType = TVarType::varDate;
    return v;
}

bool Variant::AsBoolean() const {
    switch (FType) {
        case TVarType::varBoolean:
            return std::get<bool>(FValue);
        case TVarType::varInteger:
        case TVarType::varCurrency:
            return std::get<int64_t>(FValue) != 0;
        case TVarType::varDouble:
        case TVarType::varDate:
            return std::get<double>(FValue) != 0.0;
        case TVarType::varString: {
            const std::string& s = std::get<std::string>(FValue);
            if (SameText(s, "True")) return true;
            if (SameText(s, "False")) return false;
            try {
                return datatext::ParseFloat(s) != 0.0;
            } catch (const EConvertError&) {
                BadConversion();
            }
        }
        default:
            BadConversion();
    }
}

int64_t Variant::AsInteger() const {
    switch (FType) {
        case TVarType::varBoolean:
            return std::get<bool>(FValue) ? -1 : 0;
        case TVarType::varInteger:
            return std::get<int64_t>(FValue);
        case TVarType::varCurrency:
            return std::llround(double(std::get<int64_t>(FValue)) / 10000.0);
        case TVarType::varDouble:
        case TVarType::varDate: {
            double d = std::get<double>(FValue);
            if (!std::isfinite(d) || std::fabs(d) > 9.2e18) BadConversion();
            return std::llround(d);
        }
        case TVarType::varString: {
            const std::string& s = std::get<std::string>(FValue);
            try {
                return datatext::ParseInteger(s);
            } catch (const EConvertError&) {
                try {
                    return std::llround(datatext::ParseFloat(s));
                } catch (const EConvertError&) {
                    BadConversion();
                }
            }
        }
        default:
            BadConversion();
    }
}

double Variant::AsFloat() const {
    switch (FType) {
        case TVarType::varBoolean:
            return std::get<bool>(FValue) ? -1.0 : 0.0;
        case TVarType::varInteger:
            return double(std::get<int64_t>(FValue));
        case TVarType::varCurrency:
            return double(std::get<int64_t>(FValue)) / 10000.0;
        case TVarType::varDouble:
        case TVarType::varDate:
            return std::get<double>(FValue);
        case TVarType::varString:
            try {
                return datatext::ParseFloat(std::get<std::string>(FValue));
            } catch (const EConvertError&) {
                BadConversion();
            }
        default:
            BadConversion();
    }
}

int64_t Variant::AsCurrency() const {
    if (FType == TVarType::varCurrency) return std::get<int64_t>(FValue);
    if (FType == TVarType::varInteger) return std::get<int64_t>(FValue) * 10000;
    double d = AsFloat();
    if (std::fabs(d) >= 922337203685477.0) BadConversion();
    return std::llround(d * 10000.0);
}

double Variant::AsDateTime() const {
    if (FType == TVarType::varString) {
        try {
            return datatext::ParseDateTime(std::get<std::string>(FValue));
        } catch (const EConvertError&) {
            BadConversion();
        }
    }
    return AsFloat();
}

std::string Variant::AsString() const {
    switch (FType) {
        case TVarType::varBoolean:
            return std::get<bool>(FValue) ? "True" : "False";
        case TVarType::varInteger:
            return std::to_string(std::get<int64_t>(FValue));
        case TVarType::varCurrency:
            return datatext::CurrencyText(std::get<int64_t>(FValue));
        case TVarType::varDouble:
            return datatext::FloatText(std::get<double>(FValue));
        case TVarType::varDate:
            return datatext::DateTimeText(std::get<double>(FValue));
        case TVarType::varString:
            return std::get<std::string>(FValue);
        default:
            BadConversion();
    }
}

int Variant::ArrayCount() const {
    return FType == TVarType::varArray ? int(std::get<std::vector<Variant>>(FValue).size()) : 0;
}

const Variant& Variant::operator[](int index) const {
    if (FType != TVarType::varArray || index < 0 || index >= ArrayCount())
        throw EVariantError("Variant array index out of bounds");
    return std::get<std::vector<Variant>>(FValue)[size_t(index)];
}

bool Variant::operator==(const Variant& other) const {
    return FType == other.FType && FValue == other.FValue;
}

}  // namespace framework
