// Opening a data file of unknown bytes and checking its header: any input either opens and
// passes, or raises an engine error; never a crash, a hang or an unbounded allocation.
#include <cstddef>
#include <cstdint>

#include "dbengine/data/DataFile.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/session/Engine.h"
#include "dbengine/util/EngineError.h"

#include "EngineFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dbengine;
    fuzzsupport::StartEngineOnce();
    TDataTable table(nullptr, nullptr);
    table.TableName = "FUZZ";
    fuzzsupport::PutDataFile(table, data, size);
    TDataFile file(&table);
    file.FileName = "FUZZ.DAT";
    file.InMemory = true;
    try {
        file.OpenFile();
        file.CheckHeader();
        for (uint16_t i = 1; i <= file.FieldCount(); ++i) file.GetFieldDescriptor(i);
        file.GetDescription();
        file.GetPassword();
    } catch (const EDbEngineError&) {
    }
    file.CloseFile();
    file.DeleteFile();
    return 0;
}
