// Opening an index file of unknown bytes: its header either reads or raises an engine error.
#include <cstddef>
#include <cstdint>

#include "dbengine/data/DataTable.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/session/Engine.h"
#include "dbengine/session/EngineError.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dbengine;
    static bool started = [] {
        InitializeEngine();
        return true;
    }();
    (void)started;
    TDataTable table(nullptr, nullptr);
    table.TableName = "FUZZ";
    {
        TFileHandler writer;
        writer.FileName = "FUZZ.IDX";
        writer.InMemory = true;
        writer.CreateFile();
        writer.WriteAt(0, data, static_cast<uint32_t>(size));
        writer.CloseFile();
    }
    TIndexFile file(&table);
    file.FileName = "FUZZ.IDX";
    file.InMemory = true;
    try {
        file.OpenFile();
        file.CheckVersion();
        file.CheckHeader();
        for (int i = 0; i <= file.Header.IndexCount && i < IndexDescriptorCount; ++i) file.GetIndexDesc(i);
        file.WriteHeader(true);
    } catch (const EDbEngineError&) {
    }
    file.CloseFile();
    file.DeleteFile();
    return 0;
}
