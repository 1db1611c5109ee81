#pragma once
// The file entries table of a catalog, as the program defines it, for tests and benchmarks: four
// name fields under a case-insensitive unique primary key, "ByTag" over the auto-increment and
// "ByVolumeLabel", a memo comment. The three name lengths are the catalog's configuration.

#include <cstdint>

#include "dbengine/session/DataTable.h"
#include "dbengine/testsupport/Descriptors.h"

namespace dbengine::testsupport {

inline TTableDefinition CatalogEntries(uint8_t fileName, uint8_t folderName, uint8_t archiveId) {
    TTableDefinition def;
    def.UserMajorVersion = 1;
    def.BlobBlockSize = 512;
    def.Fields = {Field(1, "FileName", fldString, fileName),
                  Field(2, "VolumeLabel", fldString, 11),
                  Field(3, "FolderName", fldString, folderName),
                  Field(4, "ArchiveID", fldString, archiveId),
                  Field(5, "FileSize", fldBCD),
                  Field(6, "DateModified", fldDate),
                  Field(7, "TimeModified", fldTime),
                  Field(8, "Attribute", fldInteger),
                  Field(9, "CategoryCode", fldString, 6),
                  Field(10, "Comment", fldBlob, 0, fldstMemo),
                  Field(11, "Tag", fldInteger, 0, fldstAutoInc)};
    def.Fields[0].Required = 1;
    def.PrimaryIndex = Index("", {1, 2, 3, 4}, true);
    def.PrimaryIndex.CaseInsensitive = 1;
    def.PrimaryIndex.Compression = icFull;
    def.SecondaryIndexes = {Index("ByTag", {11}), Index("ByVolumeLabel", {2, 1, 3, 4})};
    def.SecondaryIndexes[1].CaseInsensitive = 1;
    def.SecondaryIndexes[1].Compression = icFull;
    return def;
}

}  // namespace dbengine::testsupport
