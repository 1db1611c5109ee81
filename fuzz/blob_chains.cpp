// Loading, rewriting and freeing BLOB chains of a crafted ".BLB": any file either works or stops
// with one of the engine's file errors; never a crash, a hang or an allocation the file's own
// blocks do not justify. A value saved successfully loads back unchanged.
//
// Input: byte 0 picks the block size, byte 1 the options (bit 0 encrypted, bit 1 a cache of four
// blocks, bit 2 tolerant free, bit 3 save before freeing), bytes 2..5 the first block, bytes 6..9
// the stamp, bytes 10..11 the size of the value to save; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/blob/BlobFile.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/session/Engine.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"

#include "EngineFuzz.h"

using namespace dbengine;

namespace {

bool Expected(TEngineErrorCode code) {
    switch (code) {
        case DBE_MEMOCORRUPT:
        case DBE_KEYORRECDELETED:
        case DBE_ENDOFBLOB:
        case DBE_HEADERCORRUPT:
        case DBE_OLDVERSION:
        case DBE_READERR:
        case DBE_TABLEFULL:
        case DBE_INVALIDBLOBLEN:
            return true;
        default:
            return false;
    }
}

void Run(TBlobFile& file, const uint8_t* data, size_t size) {
    uint8_t options = data[1];
    int32_t first = GetInt32(data + 2);
    int32_t stamp = GetInt32(data + 6);
    int32_t saveSize = GetUInt16(data + 10) % 2048;
    const uint8_t* image = data + 12;
    uint32_t imageSize = static_cast<uint32_t>(size - 12);

    file.CreateFile();
    if (imageSize > 0) file.WriteAt(0, image, imageSize);
    file.ReadHeader();
    file.CheckHeader();

    TBlobBuffer loaded(nullptr, &file);
    loaded.FirstBlock = first;
    loaded.Stamp = stamp;
    try {
        loaded.Load();
    } catch (const EDbEngineError& e) {
        if (!Expected(e.ErrorCode)) __builtin_trap();
    }

    if ((options & 8) != 0 && saveSize > 0) {
        TBlobBuffer value(nullptr, &file);
        value.FirstBlock = first;
        value.Stamp = stamp;
        value.SetSize(saveSize);
        for (int32_t i = 0; i < saveSize; ++i) value.GetData()[i] = static_cast<uint8_t>(i * 13 + 1);
        value.Save();
        file.WriteDirtyBlocks();
        TBlobBuffer back(nullptr, &file);
        back.FirstBlock = value.FirstBlock;
        back.Stamp = stamp;
        back.Load();
        if (back.Size != saveSize) __builtin_trap();
        for (int32_t i = 0; i < saveSize; ++i)
            if (back.GetData()[i] != value.GetData()[i]) __builtin_trap();
        first = value.FirstBlock;
    }
    file.FreeBlob(nullptr, first, stamp, 1, (options & 4) != 0);
    if (first != 0) __builtin_trap();
    // Allocation after the frees follows the free chain without looping.
    for (int i = 0; i < 4; ++i) file.ReleaseBlock(file.AllocateBlock(nullptr));
    // What was left without an error has a free chain that ends.
    std::vector<bool> seen(static_cast<size_t>(file.BlockCount()) + 1, false);
    for (int32_t no = file.FirstFreeBlock(); no != 0;) {
        if (no < 1 || no > file.BlockCount() || seen[static_cast<size_t>(no)]) __builtin_trap();
        seen[static_cast<size_t>(no)] = true;
        TBlock* b = nullptr;
        file.GetBlock(nullptr, no, b, 1, false);
        no = b->NextBlock();
        file.ReleaseBlock(b);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzsupport::StartEngineOnce();
    if (size < 12) return 0;
    static const uint16_t blockSizes[] = {19, 20, 64, 512, 1024, 4096, 0, 18};
    TDataSession* session = GetEngineSession();
    session->BlobBufferSize = (data[1] & 2) != 0 ? 4 * 512 : 32768;
    TDataTable table(nullptr, session);
    table.TableName = "FUZZ";
    table.InMemory = true;
    {
        TBlobFile file(&table);
        file.InMemory = true;
        file.Temporary = true;
        file.FileName = "FUZZ.BLB";
        file.BlockSize = blockSizes[data[0] & 7];
        file.Encrypted = (data[1] & 1) != 0;
        try {
            Run(file, data, size);
        } catch (const EDbEngineError& e) {
            if (!Expected(e.ErrorCode)) __builtin_trap();
        }
        file.CloseFile();
    }
    return 0;
}
