#pragma once
// One BLOB value of one record, open in one cursor, held whole in memory: loaded from its block
// chain, changed in memory, saved back into a chain when its record is written.

#include <cstdint>
#include <vector>

#include "dbengine/blob/BlobFile.h"

namespace dbengine {

constexpr uint8_t BlobOpenRead = 1;
constexpr uint8_t BlobOpenWrite = 2;

class TBlobBuffer {
public:
    TBlobBuffer(TBlockFetchClient* cursor, TBlobFile* file) : Cursor(cursor), File(file) {}

    // A different size marks the value modified; growing adds zero bytes; 0 or less empties the
    // value and frees its bytes. A smaller positive size cuts the value (the area is kept).
    void SetSize(int32_t newSize);
    void AddRef();
    void Release();
    uint8_t* GetData() { return Data.data(); }
    const uint8_t* GetOldData() const { return OldData.data(); }
    int32_t GetOldSize() const { return OldSize; }
    void KeepOldData();

    // Fills the value from the chain at FirstBlock (nothing when 0; 8963 for a number that is no
    // block of the file).
    void Load();
    // Writes the value (size at least 1) into the chain at FirstBlock, reusing its blocks, taking
    // more from the free chain or the end, and freeing the surplus.
    void Save();
    // Frees the chain of a value whose size dropped below 1.
    void Delete();
    // Walks the stored chain at FirstBlock (none: nothing) as a save into it would, raising 8963
    // for a damaged one; nothing changes.
    void CheckStoredChain();

    TBlockFetchClient* Cursor;
    TBlobFile* File;
    bool Modified = false;
    int32_t Stamp = 0;
    int32_t RecordNo = 0;
    uint16_t FieldNo = 0;
    int32_t FirstBlock = 0;
    int32_t Size = 0;
    uint8_t OpenMode = BlobOpenRead;
    uint16_t OpenCount = 0;
    bool RecordBound = false;
    int32_t ServerHandle = 0;
    // The positive number a record buffer holds, negated, while the value is open in a cursor.
    int32_t Handle = 0;

private:
    bool TryLoad();
    bool TrySave();

    std::vector<uint8_t> Data;
    std::vector<uint8_t> OldData;
    int32_t OldSize = 0;
};

}  // namespace dbengine
