// Verification and repair of a data file of unknown bytes: verification changes nothing, and
// unless a problem was reported as one that cannot be fixed, the repaired header and descriptors
// pass the open check and verify clean.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/DataFile.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/session/Engine.h"
#include "dbengine/util/EngineError.h"

#include "EngineFuzz.h"

using namespace dbengine;

namespace {

bool Open(TDataFile& file) {
    file.FileName = "FUZZ.DAT";
    file.InMemory = true;
    try {
        file.OpenFile();
    } catch (const EDbEngineError&) {
        return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::StartEngineOnce();
    TDataTable table(nullptr, nullptr);
    table.TableName = "FUZZ";
    fuzzsupport::PutDataFile(table, data, size);
    bool unfixable = false;
    TDataCursor cursor(nullptr);
    cursor.SetLogCallback([&](TDataCursor&, const std::string& text) {
        if (std::getenv("FUZZ_LOG") != nullptr) std::fprintf(stderr, "%s\n", text.c_str());
        if (text.find("cannot be fixed") != std::string::npos) unfixable = true;
    });
    {
        TDataFile file(&table);
        if (Open(file)) {
            const int64_t before = file.GetFileSize();
            file.VerifyHeader(cursor, true);
            if (file.GetFileSize() != before) __builtin_trap();
            file.CloseFile();
        }
    }
    {
        TDataFile file(&table);
        if (Open(file)) {
            file.VerifyHeader(cursor, false);
            file.WriteHeader(false);
            file.WriteDescriptors();
            file.CloseFile();
            if (!unfixable) {
                TDataFile again(&table);
                if (!Open(again)) __builtin_trap();
                try {
                    again.CheckHeader();
                } catch (const EDbEngineError& e) {
                    if (e.ErrorCode != DBE_CANNOTLOADLDDRV) {
                        std::fprintf(stderr,
                                     "repaired header fails its check: %d (record size %u, %u fields)\n",
                                     e.ErrorCode, again.RecordSize(), again.FieldCount());
                        if (std::getenv("FUZZ_LOG") != nullptr) {
                            for (const auto& d : again.Descriptors)
                                std::fprintf(stderr,
                                             "  len %zu %d [%s] type %u size %u value %u dec %u offset %u\n",
                                             d.Name.size(), d.FieldNo, d.Name.c_str(), d.FieldType, d.Size,
                                             d.ValueSize, d.Decimals, d.Offset);
                            std::fprintf(stderr, "  next %d free %d file %lld\n", again.Header.NextRecordNo,
                                         again.Header.FirstFreeRecord,
                                         static_cast<long long>(again.GetFileSize()));
                        }
                        __builtin_trap();
                    }
                }
                if (!again.VerifyHeader(cursor, true)) __builtin_trap();
                again.CloseFile();
            }
        }
    }
    TDataFile cleanup(&table);
    cleanup.FileName = "FUZZ.DAT";
    cleanup.InMemory = true;
    cleanup.DeleteFile();
    return 0;
}
