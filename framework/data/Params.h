#pragma once
// Query parameters: named values bound to the "?" places of an SQL text.

#include <memory>
#include <string>
#include <vector>

#include "framework/data/FieldDefs.h"
#include "framework/data/Variant.h"

namespace framework {

class TField;

enum TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

class TParam {
public:
    TParam(std::string name, TParamType paramType = ptInput) : Name(std::move(name)), ParamType(paramType) {}

    std::string Name;
    TFieldType DataType = ftUnknown;
    TParamType ParamType;
    // Set when a value was given (also a null value given on purpose).
    bool Bound = false;

    const Variant& Value() const { return FValue; }
    // Stores the value; an unknown DataType takes the value's kind.
    void SetValue(const Variant& v);
    bool IsNull() const { return FValue.IsNull(); }
    void Clear();

    std::string AsString() const { return FValue.IsNull() ? std::string() : FValue.AsString(); }
    void SetAsString(const std::string& v) { SetTyped(ftString, Variant(v)); }
    int32_t AsInteger() const { return FValue.IsNull() ? 0 : int32_t(FValue.AsInteger()); }
    void SetAsInteger(int32_t v) { SetTyped(ftInteger, Variant(v)); }
    double AsFloat() const { return FValue.IsNull() ? 0.0 : FValue.AsFloat(); }
    void SetAsFloat(double v) { SetTyped(ftFloat, Variant(v)); }
    bool AsBoolean() const { return !FValue.IsNull() && FValue.AsBoolean(); }
    void SetAsBoolean(bool v) { SetTyped(ftBoolean, Variant(v)); }
    double AsDateTime() const { return FValue.IsNull() ? 0.0 : FValue.AsDateTime(); }
    void SetAsDateTime(double v) { SetTyped(ftDateTime, Variant::FromDateTime(v)); }
    void SetAsDate(double v) { SetTyped(ftDate, Variant::FromDateTime(v)); }
    void SetAsTime(double v) { SetTyped(ftTime, Variant::FromDateTime(v)); }
    int64_t AsCurrency() const { return FValue.IsNull() ? 0 : FValue.AsCurrency(); }
    void SetAsCurrency(int64_t v) { SetTyped(ftCurrency, Variant::FromCurrency(v)); }
    void SetAsMemo(const std::string& v) { SetTyped(ftMemo, Variant(v)); }
    void SetAsBlob(const std::string& v) { SetTyped(ftBlob, Variant(v)); }

    // Bytes of the value in its data form (the form fields exchange with their dataset, see
    // Fields.h; text kinds are the text and a terminating zero) and the value in that form.
    int GetDataSize() const;
    void GetData(void* buffer) const;

    // Name, type and value of another parameter.
    void Assign(const TParam& source);
    // Type and value of a field (Bound unchanged).
    void AssignField(const TField* field);

private:
    void SetTyped(TFieldType type, Variant v);
    Variant FValue;
};

class TParams {
public:
    int Count() const { return int(FItems.size()); }
    TParam* Items(int index) const;
    TParam* operator[](int index) const { return Items(index); }
    TParam* CreateParam(TFieldType dataType, const std::string& name, TParamType paramType);
    TParam* FindParam(const std::string& name) const;    // case-insensitive, first of that name
    TParam* ParamByName(const std::string& name) const;  // raises "Parameter '%s' not found"
    void Clear() { FItems.clear(); }
    void Assign(const TParams& source);
    // Values of the parameters of the same name in source; others keep theirs.
    void AssignValues(const TParams& source);
    bool IsEqual(const TParams& other) const;

    // Replaces each ":name" of the SQL text (outside quoted text) by "?" and, with doCreate, makes
    // one parameter per place in order of appearance (a name used twice gives two parameters).
    // A name may be written in double quotes (:"two words"); "::" stands for one ":" and a ":" not
    // followed by a name is left alone. Answers the rewritten text.
    std::string ParseSQL(const std::string& sql, bool doCreate);

private:
    std::vector<std::unique_ptr<TParam>> FItems;
};

}  // namespace framework
