#pragma once
// The structure a table is to have after TDbTable::AlterTable: one list of field definitions and
// one of index definitions. Beyond the class library's field and index definitions they carry
// what the engine stores: the number of the existing field whose data a definition receives
// (FieldNo), default, minimum and maximum value texts, a description, a character-case rule and
// each index's key compression.
//
// Update loads a list from the table (once; Loaded says the list still holds what the table has);
// Add and Clear change it and clear Loaded, so the next Update drops unapplied changes.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/data/FieldDefs.h"

namespace dbsql {

class TDbTable;
class TRestructureFieldDefs;
class TRestructureIndexDefs;

namespace dbrmsg {
inline constexpr const char* SFieldNameMissing = "Field name missing";
inline constexpr const char* SDuplicateIndexName = "Duplicate index name '%s'";
}  // namespace dbrmsg

class TRestructureFieldDef {
public:
    // Nothing is checked here (loading takes the table's definitions as they are).
    TRestructureFieldDef(TRestructureFieldDefs* owner, int32_t fieldNo, const std::string& name,
                         framework::TFieldType dataType, uint16_t size, bool required,
                         const std::string& defaultValue, const std::string& minimumValue,
                         const std::string& maximumValue, const std::string& description, uint8_t charCase);

    TRestructureFieldDefs* Owner;
    std::string Name;
    framework::TFieldType DataType;
    bool Required;
    uint16_t Size;
    // The existing field whose data this definition receives (a number no field has: none).
    int32_t FieldNo;
    std::string DefaultValue, MinimumValue, MaximumValue;
    std::string Description;
    uint8_t CharCase;  // 0 as entered, 1 lower case, 2 upper case
};

class TRestructureFieldDefs {
public:
    explicit TRestructureFieldDefs(TDbTable* table) : Table(table) {}

    // Raises "Invalid field size" unless the size suits the type (1 to 250 for strings and
    // bytes, 0 to 32, the scale, for BCD, 0 for every other type), "Field name missing" or
    // "Duplicate field name '%s'" (letter case aside); appends otherwise.
    TRestructureFieldDef* Add(int32_t fieldNo, const std::string& name, framework::TFieldType dataType,
                              uint16_t size, bool required, const std::string& defaultValue = {},
                              const std::string& minimumValue = {}, const std::string& maximumValue = {},
                              const std::string& description = {}, uint8_t charCase = 0);
    void Clear();
    // Loads the table's current field definitions unless Loaded.
    void Update();
    int Count() const { return int(Items.size()); }
    TRestructureFieldDef* GetItem(int index) const;
    int IndexOf(const std::string& name) const;
    // Raises "Field '%s' not found".
    TRestructureFieldDef* FieldByName(const std::string& name) const;

    TDbTable* Table;
    bool Loaded = false;

private:
    std::vector<std::unique_ptr<TRestructureFieldDef>> Items;
};

struct TRestructureIndexDef {
    TRestructureIndexDefs* Owner = nullptr;
    std::string Name;    // empty for the primary index
    std::string Fields;  // field names joined by ";"
    framework::TIndexOptions Options = 0;
    uint8_t Compression = 0;  // 0 none, 1 duplicate bytes, 2 trailing bytes, 3 full
};

class TRestructureIndexDefs {
public:
    explicit TRestructureIndexDefs(TDbTable* table) : Table(table) {}

    // Raises "Duplicate index name '%s'" (letter case aside); appends otherwise.
    TRestructureIndexDef* Add(const std::string& name, const std::string& fields,
                              framework::TIndexOptions options, uint8_t compression);
    void Clear();
    // Loads the table's current indexes unless Loaded; the field names come from the table's
    // RestructureFieldDefs, which are loaded first when empty.
    void Update();
    int Count() const { return int(Items.size()); }
    TRestructureIndexDef* GetItem(int index) const;
    int IndexOf(const std::string& name) const;
    void Delete(int index);
    void Assign(const TRestructureIndexDefs& other);
    // Moves an item to the front (the primary index goes first).
    void MoveToFront(int index);

    TDbTable* Table;
    bool Loaded = false;

private:
    std::vector<std::unique_ptr<TRestructureIndexDef>> Items;
};

}  // namespace dbsql
