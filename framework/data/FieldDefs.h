#pragma once
// Field and index definitions of a dataset: what the underlying table holds, independent of the
// field objects the dataset creates from them.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace framework {

class TDataSet;
class TField;

enum TFieldType {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
    ftGraphic,
    ftFmtMemo,
    ftParadoxOle,
    ftDBaseOle,
    ftTypedBinary,
    ftCursor,
    ftFixedChar,
    ftWideString,
    ftLargeint,
    ftADT,
    ftArray,
    ftReference,
    ftDataSet,
    ftOraBlob,
    ftOraClob,
    ftVariant,
    ftInterface,
    ftIDispatch,
    ftGuid,
    ftTimeStamp,
    ftFMTBcd
};

// Name of a field type as messages show it ("String", "Integer", ...).
std::string FieldTypeName(TFieldType type);

class TFieldDefs;

class TFieldDef {
public:
    TFieldDef(TFieldDefs* owner, std::string name, TFieldType dataType, int size, bool required, int fieldNo);

    std::string Name;
    TFieldType DataType;
    int Size;
    bool Required;
    int FieldNo;  // 1-based position in the record
    int Precision = 0;
    bool InternalCalcField = false;

    int Index() const;
    // The field class the dataset creates for this definition; owned by the dataset.
    TField* CreateField(TDataSet* dataSet) const;

private:
    TFieldDefs* FOwner;
};

class TFieldDefs {
public:
    explicit TFieldDefs(TDataSet* dataSet) : FDataSet(dataSet) {}

    TFieldDef* Add(const std::string& name, TFieldType dataType, int size = 0, bool required = false);
    void Clear();
    int Count() const { return int(FItems.size()); }
    TFieldDef* Items(int index) const;
    TFieldDef* operator[](int index) const { return Items(index); }
    // Case-insensitive search; Find raises "Field '%s' not found".
    int IndexOf(const std::string& name) const;
    TFieldDef* Find(const std::string& name) const;
    void Assign(const TFieldDefs& source);

    // Definitions are loaded from the open dataset on demand (InitFieldDefs); Update reloads them
    // when they are not marked up to date.
    bool Updated = false;
    void Update();

    TDataSet* DataSet() const { return FDataSet; }

private:
    TDataSet* FDataSet;
    std::vector<std::unique_ptr<TFieldDef>> FItems;
};

enum TIndexOption : unsigned {
    ixPrimary = 1u << 0,
    ixUnique = 1u << 1,
    ixDescending = 1u << 2,
    ixCaseInsensitive = 1u << 3,
    ixExpression = 1u << 4,
};
using TIndexOptions = unsigned;

class TIndexDef {
public:
    TIndexDef(std::string name, std::string fields, TIndexOptions options)
        : Name(std::move(name)), Fields(std::move(fields)), Options(options) {}
    std::string Name;
    std::string Fields;      // ";"-separated field names in key order
    std::string Expression;  // for ixExpression
    TIndexOptions Options;
};

class TIndexDefs {
public:
    explicit TIndexDefs(TDataSet* dataSet) : FDataSet(dataSet) {}

    TIndexDef* Add(const std::string& name, const std::string& fields, TIndexOptions options);
    void Clear();
    void Delete(int index);
    int Count() const { return int(FItems.size()); }
    TIndexDef* Items(int index) const;
    TIndexDef* operator[](int index) const { return Items(index); }
    int IndexOf(const std::string& name) const;      // case-insensitive, -1 when absent
    TIndexDef* Find(const std::string& name) const;  // raises "Index '%s' not found"
    void Assign(const TIndexDefs& source);
    // Moves an item to a new position (used to put the primary index first).
    void Move(int from, int to);

    // The first index whose field list equals the names (case-insensitive; expression indexes never
    // match); FindIndexForFields raises "No index for fields '%s'" when there is none.
    TIndexDef* GetIndexForFields(const std::string& fields, bool caseInsensitive) const;
    TIndexDef* FindIndexForFields(const std::string& fields) const;

    bool Updated = false;
    void Update();

private:
    TDataSet* FDataSet;
    std::vector<std::unique_ptr<TIndexDef>> FItems;
};

}  // namespace framework
