#pragma once
// Set-up shared by the engine's fuzz targets.

#include <cstddef>
#include <cstdint>

#include "dbengine/data/DataFile.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/session/Engine.h"

namespace fuzzsupport {

// Starts the engine the first time a target runs.
inline void StartEngineOnce() {
    static const bool started = [] {
        dbengine::InitializeEngine();
        return true;
    }();
    (void)started;
}

// Writes the fuzz input as the in-memory data file "FUZZ.DAT" of `table`.
inline void PutDataFile(dbengine::TDataTable& table, const uint8_t* data, size_t size) {
    dbengine::TDataFile writer(&table);
    writer.FileName = "FUZZ.DAT";
    writer.InMemory = true;
    writer.CreateFile();
    writer.WriteAt(0, data, static_cast<uint32_t>(size));
    writer.CloseFile();
}

}  // namespace fuzzsupport
