#pragma once
// Turns a catalog of the earlier DOS and 16-bit versions into a new catalog: its CatalogConfigs
// record, options, volumes and file entries with their comments and categories. The conversion
// dialog calls ConvertOldCatalog with the data file the user picked.

#include <string>

namespace catalog {
class TCatalogStore;
}

namespace catalog::oldformat {

// The files of an old catalog named after its data file.
struct TOldCatalogFiles {
    std::string Data;        // <name>.DTA
    std::string Summary;     // <name>.SUM
    std::string Config;      // <name>.CFG
    std::string Comments;    // <name>.CMT
    std::string Categories;  // KORVANE.CAT in the same folder
    static TOldCatalogFiles For(const std::string& DataPath);
};

// A usable file opens, holds whole records and its first two records start with the marker of
// their kind; an empty file passes. The error text of a file that is not usable, else nullptr.
const char* OldDataFileError(const std::string& Path);
const char* OldSummaryFileError(const std::string& Path);
// The same with the error box (after the beep): true when the file is usable.
bool CheckOldDataFile(const std::string& Path);
bool CheckOldSummaryFile(const std::string& Path);

// The longest folder name of the old data file (0 when none can be read).
int LongestOldFolderName(const std::string& Path);

// Makes the catalog named by CurrentCatalogName and fills it from the old files; skipped records
// are counted and reported once per file. False when the catalog could not be made.
bool ImportOldCatalog(TCatalogStore& Store, const TOldCatalogFiles& Files);

// The Convert action: checks the picked data file (empty when nothing is picked) and its summary
// file, asks for the new catalog's name and imports. A converted catalog becomes the current one.
void ConvertOldCatalog(const std::string& DataPath);

}  // namespace catalog::oldformat
