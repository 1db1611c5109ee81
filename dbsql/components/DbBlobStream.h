#pragma once
// TDbBlobStream reads and writes the value of one BLOB field of a TDbDataSet's active record
// buffer through the engine's open BLOB: reads go to the engine, writes change the record's BLOB,
// which is stored when the record is posted. Streams made in turn on the same field of the same
// edit buffer share the one open BLOB (the field is then marked modified).
//
// Positions are checked: a position below 0 or past 2^31 - 1, and a write whose end would pass
// it, raise engine error 10029 and change nothing.

#include <cstdint>

#include "framework/core/Stream.h"
#include "framework/data/DataSet.h"

namespace dbsql {

class TDbDataSet;

class TDbBlobStream : public framework::TStream {
public:
    TDbBlobStream(framework::TBlobField* field, framework::TBlobStreamMode mode);
    ~TDbBlobStream() override;

    int32_t Read(void* buffer, int32_t count) override;
    int32_t Write(const void* buffer, int32_t count) override;
    int64_t Seek(int64_t offset, framework::TSeekOrigin origin) override;
    // Cuts the BLOB at the current position.
    void Truncate();
    int32_t GetBlobSize();

private:
    void CheckCode(uint16_t code) const;

    framework::TBlobField* FField;
    TDbDataSet* FDataSet;
    framework::TRecordBuffer FBuffer = nullptr;
    uint16_t FFieldNo = 0;
    bool FOpened = false;
    bool FModified = false;
    int32_t FPosition = 0;
};

}  // namespace dbsql
