#include "dbsql/components/RestructureDefs.h"

#include "dbengine/cursor/DataCursor.h"
#include "dbsql/components/DbDataSet.h"
#include "dbsql/components/DbTable.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSet.h"

namespace dbsql {

using namespace framework;

namespace {

void CheckFieldSize(TFieldType type, uint16_t size) {
    bool ok = false;
    switch (type) {
        case ftString:
        case ftFixedChar:
        case ftBytes:
        case ftVarBytes:
            ok = size >= 1 && size <= dbengine::MaxFieldSize;
            break;
        case ftBCD:
            ok = size <= 32;
            break;
        default:
            ok = size == 0;
            break;
    }
    if (!ok) DatabaseError(dbmsg::SInvalidFieldSize);
}

// Lookups shared by both lists: an item by position ("Field index out of range." outside), and
// the position of a name without regard to case (-1 when absent).
template <class T>
T* ItemAt(const std::vector<std::unique_ptr<T>>& items, int index) {
    if (index < 0 || index >= int(items.size())) DatabaseError(dbtmsg::SFieldIndexError);
    return items[size_t(index)].get();
}

template <class T>
int IndexOfName(const std::vector<std::unique_ptr<T>>& items, const std::string& name) {
    for (size_t i = 0; i < items.size(); ++i)
        if (AnsiSameText(items[i]->Name, name)) return int(i);
    return -1;
}

}  // namespace

TRestructureFieldDef::TRestructureFieldDef(TRestructureFieldDefs* owner, int32_t fieldNo,
                                           const std::string& name, TFieldType dataType, uint16_t size,
                                           bool required, const std::string& defaultValue,
                                           const std::string& minimumValue, const std::string& maximumValue,
                                           const std::string& description, uint8_t charCase)
    : Owner(owner),
      Name(name),
      DataType(dataType),
      Required(required),
      Size(size),
      FieldNo(fieldNo),
      DefaultValue(defaultValue),
      MinimumValue(minimumValue),
      MaximumValue(maximumValue),
      Description(description),
      CharCase(charCase) {}

// ---- Field definitions ---------------------------------------------------------------------------

TRestructureFieldDef* TRestructureFieldDefs::Add(int32_t fieldNo, const std::string& name,
                                                 TFieldType dataType, uint16_t size, bool required,
                                                 const std::string& defaultValue,
                                                 const std::string& minimumValue,
                                                 const std::string& maximumValue,
                                                 const std::string& description, uint8_t charCase) {
    CheckFieldSize(dataType, size);
    if (name.empty()) DatabaseError(dbrmsg::SFieldNameMissing);
    if (IndexOf(name) >= 0) DatabaseError(FmtMsg(dbmsg::SDuplicateFieldName, {name}));
    Items.push_back(std::make_unique<TRestructureFieldDef>(this, fieldNo, name, dataType, size, required,
                                                           defaultValue, minimumValue, maximumValue,
                                                           description, charCase));
    Loaded = false;
    return Items.back().get();
}

void TRestructureFieldDefs::Clear() {
    while (!Items.empty()) Items.pop_back();
    Loaded = false;
}

void TRestructureFieldDefs::Update() {
    if (Loaded) return;
    Table->WithDefinitionCursor(dbfFieldList, [this](dbengine::TDataCursor& c) {
        Clear();
        for (uint16_t i = 1; i <= c.GetFieldCount(); ++i) {
            dbengine::TFieldDescriptor d;
            c.GetFieldDesc(i, d);
            TFieldType type;
            if (!FrameworkFieldType(d.FieldType, d.SubType, type)) continue;
            uint16_t size = 0;
            if (d.FieldType == dbengine::fldString || d.FieldType == dbengine::fldBytes ||
                d.FieldType == dbengine::fldVarBytes)
                size = d.Size;
            else if (d.FieldType == dbengine::fldBCD)
                size = d.Decimals;
            Items.push_back(std::make_unique<TRestructureFieldDef>(
                this, d.FieldNo, d.Name, type, size, d.Required != 0, d.DefaultValue, d.MinValue, d.MaxValue,
                d.Description, d.CharCase));
        }
    });
    Loaded = true;
}

TRestructureFieldDef* TRestructureFieldDefs::GetItem(int index) const {
    return ItemAt(Items, index);
}

int TRestructureFieldDefs::IndexOf(const std::string& name) const {
    return IndexOfName(Items, name);
}

TRestructureFieldDef* TRestructureFieldDefs::FieldByName(const std::string& name) const {
    int at = IndexOf(name);
    if (at < 0) DatabaseError(FmtMsg(dbmsg::SFieldNotFound, {name}));
    return Items[size_t(at)].get();
}

// ---- Index definitions ---------------------------------------------------------------------------

TRestructureIndexDef* TRestructureIndexDefs::Add(const std::string& name, const std::string& fields,
                                                 TIndexOptions options, uint8_t compression) {
    if (IndexOf(name) >= 0) DatabaseError(FmtMsg(dbrmsg::SDuplicateIndexName, {name}));
    auto item = std::make_unique<TRestructureIndexDef>();
    item->Owner = this;
    item->Name = name;
    item->Fields = fields;
    item->Options = options;
    item->Compression = compression;
    Items.push_back(std::move(item));
    Loaded = false;
    return Items.back().get();
}

void TRestructureIndexDefs::Clear() {
    while (!Items.empty()) Items.pop_back();
    Loaded = false;
}

void TRestructureIndexDefs::Update() {
    if (Loaded) return;
    TRestructureFieldDefs& fields = Table->RestructureFieldDefs;
    if (fields.Count() == 0) fields.Update();
    Table->WithDefinitionCursor(dbfIndexList, [&](dbengine::TDataCursor& c) {
        Clear();
        for (int i = c.HasInternalPrimaryIndex() ? 1 : 0; i <= c.GetSecondaryIndexCount(); ++i) {
            dbengine::TIndexDescriptor d = c.GetIndexDesc(uint8_t(i));
            TIndexOptions options = i == 0 ? TIndexOptions(ixPrimary) : 0;
            if (d.Descending != 0) options |= ixDescending;
            if (d.CaseInsensitive != 0) options |= ixCaseInsensitive;
            if (d.Unique != 0) options |= ixUnique;
            std::string names;
            for (int k = 0; k < d.FieldCount; ++k) {
                int at = d.FieldNumbers[size_t(k)] - 1;
                if (at < 0 || at >= fields.Count()) continue;
                names += (names.empty() ? "" : ";") + fields.GetItem(at)->Name;
            }
            Add(d.Name, names, options, d.Compression);
        }
    });
    Loaded = true;
}

TRestructureIndexDef* TRestructureIndexDefs::GetItem(int index) const {
    return ItemAt(Items, index);
}

int TRestructureIndexDefs::IndexOf(const std::string& name) const {
    return IndexOfName(Items, name);
}

void TRestructureIndexDefs::Delete(int index) {
    GetItem(index);
    Items.erase(Items.begin() + index);
    Loaded = false;
}

void TRestructureIndexDefs::Assign(const TRestructureIndexDefs& other) {
    if (&other == this) return;
    Clear();
    for (const auto& item : other.Items) Add(item->Name, item->Fields, item->Options, item->Compression);
}

void TRestructureIndexDefs::MoveToFront(int index) {
    GetItem(index);
    auto item = std::move(Items[size_t(index)]);
    Items.erase(Items.begin() + index);
    Items.insert(Items.begin(), std::move(item));
}

}  // namespace dbsql
