#pragma once
// The five tables that belong to the whole program rather than to one catalog, kept in the program
// folder: their schemas (fields in order with kind, size and Required; indexes with name, fields
// and options), the filling of a table component's definitions from a schema, the options table's
// new record, and the text form through which the program reads and writes Boolean fields.

#include <string>
#include <string_view>
#include <vector>

#include "framework/data/FieldDefs.h"

namespace framework {
class TDataSet;
}

namespace catalog {

struct TFieldSchema {
    std::string Name;
    framework::TFieldType Kind;
    int Size = 0;  // characters of a string; 0 for every other kind
    bool Required = false;
};

struct TIndexSchema {
    std::string Name;    // empty for the primary index
    std::string Fields;  // ";"-separated, in key order
    framework::TIndexOptions Options;
};

struct TTableSchema {
    std::string TableName;
    std::vector<TFieldSchema> Fields;
    std::vector<TIndexSchema> Indexes;
};

const TTableSchema& CategoriesSchema();
const TTableSchema& KorvaneOptionsSchema();
const TTableSchema& CatalogConfigsSchema();
const TTableSchema& CustomSummaryReportDefsSchema();
const TTableSchema& CustomFileReportDefsSchema();
// All five, in the order start-up checks and creates them.
const std::vector<const TTableSchema*>& ProgramTableSchemas();

// Prefix followed by N in two digits: ("IncludeSpec", 1) gives "IncludeSpec01".
std::string NumberedName(std::string_view Prefix, int N);

// Replaces the dataset's field and index definitions by the schema's, in the schema's order (the
// table component then makes the table from them with CreateTable).
void DefineTable(framework::TDataSet& Table, const TTableSchema& Schema);

// Inserts and posts the record a newly made options table starts with: the include, exclude and
// offload volume specs empty, the offload drive flags "False", the cleanup settings left blank.
void InsertNewOptionsRecord(framework::TDataSet& Options);

// Boolean fields are written as the text "True" or "False" and read back as true only when their
// text is exactly "True"; a blank (null) field reads as false.
std::string BooleanText(bool Value);
bool IsTrueText(std::string_view Text);

}  // namespace catalog
