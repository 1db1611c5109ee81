#pragma once
// Field objects: one per column of a dataset, reading and writing the column's value in the
// dataset's active record buffer through the dataset (GetFieldData / SetFieldData).
//
// Field data forms (what GetData/SetData exchange with the dataset):
//   string        Size + 1 bytes, zero-terminated
//   smallint      int16          word       uint16       integer, auto-increment   int32
//   largeint      int64          float, currency          double
//   BCD           TBcd (34 bytes: precision, sign and places, 64 packed digits)
//   boolean       int16, 0 = false
//   date          int32 day number, 1 = 1 January of year 1
//   time          int32 milliseconds since midnight
//   date-time     double milliseconds since 1 January of year 1 (day 1 at 0:00 is 86,400,000)
//   bytes         Size bytes     var-bytes  uint16 length followed by Size bytes
//   BLOB, memo, graphic: no record data; read through the dataset's BLOB access.

#include <bitset>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/core/Alignment.h"
#include "framework/core/Component.h"
#include "framework/core/DateTime.h"
#include "framework/data/FieldDefs.h"
#include "framework/data/Variant.h"

namespace framework {

class TDataSet;
class TField;

enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };

using TFieldNotifyEvent = std::function<void(TField* Sender)>;
using TFieldGetTextEvent = std::function<void(TField* Sender, std::string& Text, bool DisplayText)>;
using TFieldSetTextEvent = std::function<void(TField* Sender, const std::string& Text)>;

// Field data conversions used by date, time and date-time fields.
int32_t DateTimeToDateData(double dateTime);
double DateDataToDateTime(int32_t days);
int32_t DateTimeToTimeData(double dateTime);
double TimeDataToDateTime(int32_t msecs);
double DateTimeToTimeStampData(double dateTime);
double TimeStampDataToDateTime(double msecs);

// Packed decimal field data.
struct TBcd {
    uint8_t Precision = 0;          // number of digits held
    uint8_t SignSpecialPlaces = 0;  // bit 7 negative, bits 0..5 digits after the decimal point
    uint8_t Fraction[32] = {};      // digits, two per byte, high nibble first
};
static_assert(sizeof(TBcd) == 34);
// Currency (scaled by 10,000) to BCD with the given number of decimal places (0..4), and back.
TBcd CurrToBCD(int64_t scaled, int places = 4);
// Raises EDatabaseError when the value does not fit a currency.
int64_t BCDToCurr(const TBcd& bcd);

// A field is a component without owner: the dataset holds it (persistent fields through AddField,
// default fields made from FieldDefs while the dataset is open).
class TField : public TComponent {
public:
    explicit TField(TFieldType dataType);
    ~TField() override;
    TField(const TField&) = delete;
    TField& operator=(const TField&) = delete;

    // ---- identity and layout
    std::string FieldName;
    TDataSet* DataSet() const { return FDataSet; }
    TFieldType DataType() const { return FDataType; }
    TFieldKind FieldKind = fkData;
    int FieldNo() const { return FFieldNo; }
    int Index() const;
    int Size() const { return FSize; }
    virtual void SetSize(int size);
    // Bytes of this field's data form (0 for BLOB kinds).
    virtual int DataSize() const;
    // Offset of the field's value in the calculated-field area (calculated and lookup fields).
    int Offset() const { return FOffset; }
    bool Calculated() const { return FieldKind == fkCalculated; }
    bool Lookup() const { return FieldKind == fkLookup; }
    bool IsBlob() const;

    // ---- presentation
    std::string DisplayLabel() const { return FDisplayLabel.empty() ? FieldName : FDisplayLabel; }
    void SetDisplayLabel(std::string label);
    std::string DisplayName() const { return DisplayLabel(); }
    int DisplayWidth() const { return FDisplayWidth > 0 ? FDisplayWidth : DefaultDisplayWidth(); }
    void SetDisplayWidth(int width);
    TAlignment Alignment = taLeftJustify;
    bool Visible = true;
    bool ReadOnly = false;
    bool Required = false;
    std::string DisplayFormat;  // numeric and date-time kinds
    std::string EditFormat;     // numeric kinds
    std::string EditMask;
    // Where the value comes from (table and field), as a descendant reports it.
    std::string Origin;
    // The value as read before editing began (dsOldValue) and the value being written (dsNewValue).
    Variant OldValue() const;
    Variant NewValue() const;
    void SetNewValue(const Variant& value);

    // ---- lookup fields: value of LookupResultField in LookupDataSet where LookupKeyFields equal
    // this dataset's KeyFields.
    TDataSet* LookupDataSet() const { return FLookupDataSet; }
    // The field forgets the lookup dataset when that dataset is freed.
    void SetLookupDataSet(TDataSet* dataSet);
    std::string KeyFields;
    std::string LookupKeyFields;
    std::string LookupResultField;

    // ---- events
    TFieldNotifyEvent OnValidate;
    TFieldNotifyEvent OnChange;
    TFieldGetTextEvent OnGetText;
    TFieldSetTextEvent OnSetText;

    // ---- values
    std::string AsString() const { return GetAsString(); }
    void SetAsString(const std::string& v) { SetAsStringImpl(v); }
    int32_t AsInteger() const { return GetAsInteger(); }
    void SetAsInteger(int32_t v) { SetAsIntegerImpl(v); }
    double AsFloat() const { return GetAsFloat(); }
    void SetAsFloat(double v) { SetAsFloatImpl(v); }
    bool AsBoolean() const { return GetAsBoolean(); }
    void SetAsBoolean(bool v) { SetAsBooleanImpl(v); }
    double AsDateTime() const { return GetAsDateTime(); }
    void SetAsDateTime(double v) { SetAsDateTimeImpl(v); }
    int64_t AsCurrency() const { return GetAsCurrency(); }  // scaled by 10,000
    void SetAsCurrency(int64_t v) { SetAsCurrencyImpl(v); }
    Variant AsVariant() const;
    void SetAsVariant(const Variant& v);
    Variant Value() const { return AsVariant(); }
    void SetValue(const Variant& v) { SetAsVariant(v); }

    bool IsNull() const;
    void Clear() { SetData(nullptr); }
    // The text shown in a grid (DisplayFormat, OnGetText) and the text offered for editing.
    std::string DisplayText() const;
    std::string Text() const;  // EditText
    std::string EditText() const { return Text(); }
    void SetText(const std::string& text);
    void SetEditText(const std::string& text) { SetText(text); }

    // Raw data in the field's data form; GetData answers false for null.
    bool GetData(void* buffer) const;
    void SetData(const void* buffer);

    std::bitset<256> ValidChars;
    bool IsValidChar(char c) const { return ValidChars.test(static_cast<unsigned char>(c)); }
    bool CanModify() const;
    bool IsIndexField() const;
    void FocusControl();

    // Called by a dataset while it writes the field's data: OnValidate sees the new value.
    void Validate(const void* buffer);
    void Change();

    // The dataset calls these while binding fields.
    void SetFieldNo(int fieldNo) { FFieldNo = fieldNo; }
    void SetOffset(int offset) { FOffset = offset; }
    void SetDataSetInternal(TDataSet* dataSet) { FDataSet = dataSet; }
    void CheckTypeSize(int size) const;
    // The dataset's fields that KeyFields name, bound when the dataset opens.
    std::vector<TField*> LookupKeyFieldList;

protected:
    virtual std::string GetAsString() const;
    virtual void SetAsStringImpl(const std::string& v);
    virtual int32_t GetAsInteger() const;
    virtual void SetAsIntegerImpl(int32_t v);
    virtual double GetAsFloat() const;
    virtual void SetAsFloatImpl(double v);
    virtual bool GetAsBoolean() const;
    virtual void SetAsBooleanImpl(bool v);
    virtual double GetAsDateTime() const;
    virtual void SetAsDateTimeImpl(double v);
    virtual int64_t GetAsCurrency() const;
    virtual void SetAsCurrencyImpl(int64_t v);
    virtual Variant GetAsVariant() const;
    virtual void SetVariantValue(const Variant& v);
    virtual void GetText(std::string& text, bool displayText) const;
    virtual void SetTextValue(const std::string& text);
    virtual int DefaultDisplayWidth() const { return 10; }
    virtual void CheckSizeValue(int size) const;

    void Notification(TComponent* component, TOperation operation) override;
    [[noreturn]] void AccessError(const std::string& typeName) const;
    [[noreturn]] void RangeError(double value, double min, double max) const;
    void SetFieldType(TFieldType t) { FDataType = t; }
    int FSize = 0;

private:
    TDataSet* FDataSet = nullptr;
    TDataSet* FLookupDataSet = nullptr;
    TFieldType FDataType;
    int FFieldNo = 0;
    int FOffset = 0;
    std::string FDisplayLabel;
    int FDisplayWidth = 0;
    const void* FValueBuffer = nullptr;  // the new value while OnValidate runs
    bool FValidating = false;
};

class TStringField : public TField {
public:
    TStringField();
    int DataSize() const override { return FSize + 1; }
    bool FixedChar = false;
    // Reads the value; false for null.
    bool GetValue(std::string& value) const;

protected:
    std::string GetAsString() const override;
    void SetAsStringImpl(const std::string& v) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerImpl(int32_t v) override;
    double GetAsFloat() const override;
    void SetAsFloatImpl(double v) override;
    bool GetAsBoolean() const override;
    void SetAsBooleanImpl(bool v) override;
    double GetAsDateTime() const override;
    void SetAsDateTimeImpl(double v) override;
    int64_t GetAsCurrency() const override;
    void SetAsCurrencyImpl(int64_t v) override;
    Variant GetAsVariant() const override;
    void SetVariantValue(const Variant& v) override;
    int DefaultDisplayWidth() const override { return FSize; }
    void CheckSizeValue(int size) const override;
};

// Common base of the number kinds: right-aligned, digits and signs only, DisplayFormat/EditFormat.
class TNumericField : public TField {
public:
    explicit TNumericField(TFieldType dataType);

protected:
    std::string FormatNumber(double value, bool displayText) const;
};

class TIntegerField : public TNumericField {
public:
    TIntegerField();
    int DataSize() const override { return 4; }
    int32_t MinValue = 0, MaxValue = 0;  // both 0: the data form's own range
    bool GetValue(int32_t& value) const;

protected:
    explicit TIntegerField(TFieldType dataType, int32_t minRange, int32_t maxRange);
    std::string GetAsString() const override;
    void SetAsStringImpl(const std::string& v) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerImpl(int32_t v) override;
    double GetAsFloat() const override;
    void SetAsFloatImpl(double v) override;
    int64_t GetAsCurrency() const override;
    void SetAsCurrencyImpl(int64_t v) override;
    Variant GetAsVariant() const override;
    void SetVariantValue(const Variant& v) override;
    void GetText(std::string& text, bool displayText) const override;
    int DefaultDisplayWidth() const override { return 11; }

private:
    int32_t FMinRange, FMaxRange;
};

class TSmallintField : public TIntegerField {
public:
    TSmallintField();
    int DataSize() const override { return 2; }

protected:
    int DefaultDisplayWidth() const override { return 6; }
};

class TWordField : public TIntegerField {
public:
    TWordField();
    int DataSize() const override { return 2; }

protected:
    int DefaultDisplayWidth() const override { return 5; }
};

class TAutoIncField : public TIntegerField {
public:
    TAutoIncField();
};

class TLargeintField : public TNumericField {
public:
    TLargeintField();
    int DataSize() const override { return 8; }
    int64_t AsLargeInt() const;
    void SetAsLargeInt(int64_t v);
    bool GetValue(int64_t& value) const;

protected:
    std::string GetAsString() const override;
    void SetAsStringImpl(const std::string& v) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerImpl(int32_t v) override;
    double GetAsFloat() const override;
    void SetAsFloatImpl(double v) override;
    Variant GetAsVariant() const override;
    void SetVariantValue(const Variant& v) override;
    void GetText(std::string& text, bool displayText) const override;
    int DefaultDisplayWidth() const override { return 15; }
};

class TFloatField : public TNumericField {
public:
    TFloatField();
    int DataSize() const override { return 8; }
    bool Currency = false;  // shown as money
    int Precision = 15;
    double MinValue = 0, MaxValue = 0;  // both 0: no range check

protected:
    explicit TFloatField(TFieldType dataType);
    std::string GetAsString() const override;
    void SetAsStringImpl(const std::string& v) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerImpl(int32_t v) override;
    double GetAsFloat() const override;
    void SetAsFloatImpl(double v) override;
    int64_t GetAsCurrency() const override;
    void SetAsCurrencyImpl(int64_t v) override;
    Variant GetAsVariant() const override;
    void SetVariantValue(const Variant& v) override;
    void GetText(std::string& text, bool displayText) const override;
};

class TCurrencyField : public TFloatField {
public:
    TCurrencyField();
};

class TBCDField : public TNumericField {
public:
    TBCDField();
    int DataSize() const override { return int(sizeof(TBcd)); }
    int Precision = 0;  // 0: as many digits as the data holds
    bool Currency = false;

protected:
    std::string GetAsString() const override;
    void SetAsStringImpl(const std::string& v) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerImpl(int32_t v) override;
    double GetAsFloat() const override;
    void SetAsFloatImpl(double v) override;
    int64_t GetAsCurrency() const override;
    void SetAsCurrencyImpl(int64_t v) override;
    Variant GetAsVariant() const override;
    void SetVariantValue(const Variant& v) override;
    void GetText(std::string& text, bool displayText) const override;
    void CheckSizeValue(int size) const override;
};

class TBooleanField : public TField {
public:
    TBooleanField();
    int DataSize() const override { return 2; }
    // "TrueText;FalseText"
    std::string DisplayValues() const { return FDisplayValues; }
    void SetDisplayValues(const std::string& values);

protected:
    std::string GetAsString() const override;
    void SetAsStringImpl(const std::string& v) override;
    bool GetAsBoolean() const override;
    void SetAsBooleanImpl(bool v) override;
    int32_t GetAsInteger() const override;
    void SetAsIntegerImpl(int32_t v) override;
    Variant GetAsVariant() const override;
    void SetVariantValue(const Variant& v) override;
    int DefaultDisplayWidth() const override;

private:
    std::string FDisplayValues = "True;False";
    std::string FTrueText = "True", FFalseText = "False";
};

class TDateTimeField : public TField {
public:
    TDateTimeField();
    int DataSize() const override { return 8; }
    bool GetValue(double& value) const;

protected:
    explicit TDateTimeField(TFieldType dataType);
    std::string GetAsString() const override;
    void SetAsStringImpl(const std::string& v) override;
    double GetAsFloat() const override;
    void SetAsFloatImpl(double v) override;
    double GetAsDateTime() const override;
    void SetAsDateTimeImpl(double v) override;
    Variant GetAsVariant() const override;
    void SetVariantValue(const Variant& v) override;
    void GetText(std::string& text, bool displayText) const override;
    int DefaultDisplayWidth() const override { return 18; }
};

class TDateField : public TDateTimeField {
public:
    TDateField();
    int DataSize() const override { return 4; }

protected:
    int DefaultDisplayWidth() const override { return 10; }
};

class TTimeField : public TDateTimeField {
public:
    TTimeField();
    int DataSize() const override { return 4; }

protected:
    int DefaultDisplayWidth() const override { return 10; }
};

class TBinaryField : public TField {
public:
    explicit TBinaryField(TFieldType dataType);

protected:
    std::string GetAsString() const override;
    void SetAsStringImpl(const std::string& v) override;
    Variant GetAsVariant() const override;
    void SetVariantValue(const Variant& v) override;
    void GetText(std::string& text, bool displayText) const override;
    void CheckSizeValue(int size) const override;
};

class TBytesField : public TBinaryField {
public:
    TBytesField();
    int DataSize() const override { return FSize; }
};

class TVarBytesField : public TBinaryField {
public:
    TVarBytesField();
    int DataSize() const override { return FSize + 2; }
};

class TStream;

class TBlobField : public TField {
public:
    TBlobField();
    int DataSize() const override { return 0; }
    bool Modified = false;
    int BlobSize() const;
    // Replace the value with the whole of a stream (from its start) / append the value to a stream.
    void LoadFromStream(TStream* stream);
    void SaveToStream(TStream* stream) const;

protected:
    explicit TBlobField(TFieldType dataType);
    std::string GetAsString() const override;
    void SetAsStringImpl(const std::string& v) override;
    Variant GetAsVariant() const override;
    void SetVariantValue(const Variant& v) override;
    void GetText(std::string& text, bool displayText) const override;
};

class TMemoField : public TBlobField {
public:
    TMemoField();

protected:
    void GetText(std::string& text, bool displayText) const override;
};

class TGraphicField : public TBlobField {
public:
    TGraphicField();
};

// The field class for a field type; ftUnknown and types without a field class give nullptr.
std::unique_ptr<TField> CreateFieldOfType(TFieldType type);

// The dataset's ordered list of fields.
class TFields {
public:
    int Count() const { return int(FItems.size()); }
    TField* operator[](int index) const;
    TField* Fields(int index) const { return (*this)[index]; }
    int IndexOf(const TField* field) const;
    TField* FindField(const std::string& name) const;  // case-insensitive
    TField* FieldByName(const std::string& name) const;
    TField* FieldByNumber(int fieldNo) const;

    void Add(TField* field) { FItems.push_back(field); }
    void Remove(TField* field);
    void Clear() { FItems.clear(); }

private:
    std::vector<TField*> FItems;
};

}  // namespace framework
