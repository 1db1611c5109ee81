// Verification and repair of a crafted ".BLB": verification changes nothing, repair never
// crashes, hangs or loops, and what repair leaves verifies clean and loads.
//
// Input: byte 0 picks the block size, byte 1 the options (bit 0 encrypted, bit 1 tolerant),
// bytes 2..5 the first block, bytes 6..9 the stamp; the rest is the file.
#include <cstddef>
#include <cstdint>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/blob/BlobFile.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/session/Engine.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"

#include "EngineFuzz.h"

using namespace dbengine;

namespace {

void Run(TBlobFile& file, const uint8_t* data, size_t size) {
    const bool tolerant = (data[1] & 2) != 0;
    const int32_t stamp = GetInt32(data + 6);
    int32_t first = GetInt32(data + 2);
    file.CreateFile();
    if (size > 10) file.WriteAt(0, data + 10, static_cast<uint32_t>(size - 10));
    if (file.GetFileSize() < BlobHeaderSize) return;
    file.ReadHeader();
    TDataCursor cursor(nullptr);

    // Verification: reading a header that claims more blocks than the file holds may fail, but
    // nothing changes.
    try {
        file.VerifyHeader(cursor, true);
        int32_t ref = first;
        file.VerifyBlobs(cursor, true, ref, stamp, 1, tolerant);
        if (ref != first) __builtin_trap();
    } catch (const EDbEngineError& e) {
        if (e.ErrorCode != DBE_READERR && e.ErrorCode != DBE_MEMOCORRUPT) __builtin_trap();
    }
    if (file.WriteDirtyBlocks()) __builtin_trap();
    file.DropAllBlocks();

    // Repair: the header first, as the table does, then the chain; nothing may fail.
    file.VerifyHeader(cursor, false);
    file.VerifyBlobs(cursor, false, first, stamp, 1, tolerant);
    file.WriteDirtyBlocks();
    file.WriteHeader(false);
    file.DropAllBlocks();
    file.ReadHeader();
    if (!file.VerifyHeader(cursor, true)) __builtin_trap();
    if (first != 0) {
        if (!file.VerifyBlobs(cursor, true, first, stamp, 1, false)) __builtin_trap();
        TBlobBuffer loaded(nullptr, &file);
        loaded.FirstBlock = first;
        loaded.Stamp = stamp;
        loaded.Load();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::StartEngineOnce();
    if (size < 10) return 0;
    static const uint16_t blockSizes[] = {64, 512, 1024, 4096};
    TDataSession* session = GetEngineSession();
    TDataTable table(nullptr, session);
    table.TableName = "FUZZ";
    table.InMemory = true;
    {
        TBlobFile file(&table);
        file.InMemory = true;
        file.Temporary = true;
        file.FileName = "FUZZ.BLB";
        file.BlockSize = blockSizes[data[0] & 3];
        file.Encrypted = (data[1] & 1) != 0;
        Run(file, data, size);
        file.CloseFile();
    }
    return 0;
}
