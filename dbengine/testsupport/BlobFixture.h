#pragma once
// Test helpers for BLOB files: a drive D: over a temporary folder with an initialized engine, a
// shared table to hang the file on, a cursor double, and a builder for crafted ".BLB" bytes.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/blob/BlobFile.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/testsupport/ErrorCode.h"
#include "platform/testsupport/TestDrives.h"

namespace dbengine::testsupport {

// A cursor that, on a cache miss, reloads a changed header and drops the cache as the shared
// table would, and counts its calls.
class TFakeCursor : public TBlockFetchClient {
public:
    explicit TFakeCursor(TBlobFile* file) : File(file) {}
    bool SyncBeforeRead() override {
        ++Calls;
        if (File->ReloadHeaderIfChanged()) {
            File->DropAllBlocks();
            ++Resyncs;
            return true;
        }
        return false;
    }
    TBlobFile* File;
    int Calls = 0;
    int Resyncs = 0;
};

// Bytes of a BLOB file built field by field.
class TBlobImage {
public:
    explicit TBlobImage(uint16_t blockSize = 512, int32_t firstFree = 0, int32_t nextBlockNo = 1,
                        uint8_t version = 5);
    struct TBlockSpec {
        int32_t Prev = 0;
        int32_t Next = 0;
        uint16_t Used = 0;
        int32_t Stamp = 0;
        int32_t BlobSize = 0;
        uint8_t Fill = 0;
    };
    // Appends a block (its number is the count so far + 1) and raises NextBlockNo to match.
    TBlobImage& Block(const TBlockSpec& spec);
    TBlobImage& SetHeader(int32_t firstFree, int32_t nextBlockNo, uint8_t version = 5);
    std::string Bytes() const { return Image; }

private:
    uint16_t BlockSize;
    std::string Image;
};

class BlobFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A file object on D:\<name> with the given block size (not opened).
    std::unique_ptr<TBlobFile> NewFile(uint16_t blockSize = 512, const std::string& name = "T.BLB");
    // Creates the file with its header written and opens it shared.
    std::unique_ptr<TBlobFile> Create(uint16_t blockSize = 512, const std::string& name = "T.BLB");
    std::unique_ptr<TBlobFile> Open(uint16_t blockSize = 512, const std::string& name = "T.BLB");
    void WriteImage(const std::string& bytes, const std::string& name = "T.BLB");
    std::string FileBytes(const std::string& name = "T.BLB") const;
    // Saves a value of `size` bytes (pattern by position and seed) and returns the buffer.
    std::unique_ptr<TBlobBuffer> SaveValue(TBlobFile& file, int32_t size, int32_t stamp, uint8_t seed = 1,
                                           int32_t firstBlock = 0);
    std::unique_ptr<TBlobBuffer> LoadValue(TBlobFile& file, int32_t firstBlock, int32_t stamp);
    static std::vector<uint8_t> Pattern(int32_t size, uint8_t seed);
    static std::vector<uint8_t> Contents(TBlobBuffer& buffer);

    platform::testsupport::TTempFolder root;
    std::unique_ptr<platform::testsupport::TScopedDrives> drives;
    std::unique_ptr<TDataTable> table;
};

}  // namespace dbengine::testsupport
