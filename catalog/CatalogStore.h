#pragma once
// A catalog is its record in CatalogConfigs plus three tables in CatalogDataFolder named after it:
// <catalog>_SUM (one record per volume), <catalog>_CAT (one record per file entry) and
// <catalog>_LOG (the activity log). This unit holds the three schemas as data and the operations
// that make sure a catalog's record and tables exist and are current: OpenCatalog and
// CreateCatalogConfig. Both signal failure only by clearing CurrentCatalogName, after an error box.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/ProgramTables.h"
#include "dbsql/components/DbTable.h"

namespace catalog {

// A catalog table: its fields and indexes (TableName holds the suffix that follows the catalog
// name), the key compression of each index and the user version the table is restructured to after
// CreateTable. A table without compressions is left as CreateTable makes it.
struct TCatalogTableSchema {
    TTableSchema Table;
    std::vector<uint8_t> Compression;  // one per index, in the order of Table.Indexes
    uint16_t UserMajorVersion = 0;
    uint16_t UserMinorVersion = 0;
    bool Restructured() const { return !Compression.empty(); }
};

const TCatalogTableSchema& SummaryTableSchema();
// The file entries, with the catalog's three name lengths.
TCatalogTableSchema CatalogTableSchema(int FileNameLength, int FolderNameLength, int ArchiveIDLength);
const TCatalogTableSchema& LogTableSchema();
// Adds one record to a catalog's activity log (LogTable points at its "_LOG" table), dated and
// timed now, holding the operation's first 50 characters. The table is opened for it and closed.
void AppendActivityLog(dbsql::TDbTable& LogTable, const std::string& Operation);

// A catalog name becomes part of three file names: it must not be empty, "." or "..", nor hold a
// control code or any of \ / : * ? " < > |.
bool IsValidCatalogName(std::string_view Name);
// The error shown for a name IsValidCatalogName refuses.
extern const char* const InvalidCatalogNameText;

// The name lengths of a new catalog.
struct TNameLengths {
    int FileName = 16;
    int FolderName = 16;
    int ArchiveID = 16;
};

// The shared message window ("please wait" text shown while a table is restructured). The windows
// plug the real one in; while a part is empty nothing is shown.
struct TMessageWindowHook {
    std::function<void(const std::string& Text)> Show;
    std::function<void()> Remove;
};

// Owns the table components the catalog operations work on: the configuration table and the
// working table for a catalog's own tables.
class TCatalogStore {
public:
    TCatalogStore();
    ~TCatalogStore();
    TCatalogStore(const TCatalogStore&) = delete;
    TCatalogStore& operator=(const TCatalogStore&) = delete;

    // Checks the current catalog's record and brings its three tables into shape, creating missing
    // ones. Silent suppresses the boxes that announce a missing table being made anew; error boxes
    // are always shown. Sets LastCatalogedLabel from the record.
    void OpenCatalog(bool Silent);
    // Adds the record of the catalog named by CurrentCatalogName with the default options; a
    // conversion takes 16 for all three lengths.
    void CreateCatalogConfig(bool ForConversion, TNameLengths Lengths = {});

    TMessageWindowHook MessageWindow;
    dbsql::TDbTable CfgTable;
    dbsql::TDbTable DataTable;

private:
    void OpenSummaryTable(bool Silent);
    void OpenCatalogTable(bool Silent);
    void OpenLogTable(bool Silent);
    // Closes DataTable and points it at the current catalog's table with the suffix; true when it exists.
    bool PointDataTableAt(const std::string& Suffix);
    // Makes DataTable's table from the schema; a table made whose restructure then fails is deleted.
    void CreateDataTable(const TCatalogTableSchema& Schema);
    // Restructures DataTable's table to its own fields and the given indexes, at the user version.
    void AlterDataTable(const TCatalogTableSchema* Indexes, uint16_t Major, uint16_t Minor);
    // Beep, error box, no current catalog.
    void Fail(const std::string& Message);
};

// How an entry's attribute bits show: "R", "H", "S", "A" for 1, 2, 4 and 32, in that order.
std::string EntryAttributeLetters(int32_t Attribute);
// A comment's first line, without its line end.
std::string CommentFirstLine(const std::string& Comment);

}  // namespace catalog
