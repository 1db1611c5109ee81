#pragma once
// Catalogs made the way a user makes them: each volume is a temporary folder mapped as drive E:
// with its own label, catalogued into the current catalog by a real cataloguing run.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "catalog/CatalogStore.h"
#include "catalog/Globals.h"
#include "cataloging/run/CatalogProgressForm.h"
#include "platform/testsupport/TestDrives.h"

namespace reports::testsupport {

// A file of a volume: its path below the root ("DOCS/A.TXT") and its content.
using TVolumeFile = std::pair<std::string, std::string>;

// Creates catalog Name (its record and tables) and makes it the current catalog. ProgramFolder
// must be drive D: (DriveMap is the map in force, "D=<folder>").
inline void CreateRunCatalog(const std::string& Name) {
    catalog::CurrentCatalogName = Name;
    catalog::TCatalogStore store;
    store.CreateCatalogConfig(false, {60, 60, 40});
    ASSERT_EQ(catalog::CurrentCatalogName, Name);
    catalog::TCatalogStore().OpenCatalog(true);
    ASSERT_EQ(catalog::CurrentCatalogName, Name);
}

// Catalogs a volume labelled Label holding Files into the current catalog. Figures adds drive
// attributes such as "|size=1000000|free=200000".
inline void CatalogVolumeByRun(const std::string& DriveMap, const std::string& Label,
                               const std::vector<TVolumeFile>& Files, uint32_t Serial,
                               const std::string& Figures = "") {
    platform::testsupport::TTempFolder volume;
    for (const auto& [path, content] : Files) volume.WriteFile(path, content);
    char serial[16];
    snprintf(serial, sizeof serial, "%08X", Serial);
    platform::testsupport::TScopedDrives drives(DriveMap + ";E=" + volume.Path() + "|label=" + Label +
                                                "|serial=" + serial + "|fs=FAT|type=removable" + Figures);
    cataloging::TCatalogRunRequest request;
    request.Fields.DriveLetter = 'E';
    request.Fields.StartFolder = "E:\\";
    request.Fields.Recurse = true;
    request.PauseAfter = false;
    ASSERT_TRUE(cataloging::RunCatalogDisk(request)) << Label;
}

}  // namespace reports::testsupport
