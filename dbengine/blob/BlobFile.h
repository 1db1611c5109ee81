#pragma once
// The BLOB file of a table (".BLB"): a 512-byte header, then blocks of the table's BLOB block size,
// block n at 512 + (n - 1) * BlockSize. Each block is an 18-byte block header and BlockSize - 18
// data bytes; one BLOB value lives in a chain of blocks, free blocks form a chain whose head is in
// the header. Block number 0 means "no block" everywhere.
//
// The file keeps a cache of blocks (a list sorted by number plus a recency list) with a pool of
// spare block objects. Blocks are changed in the cache and reach the file when the shared table
// writes its buffers (WriteDirtyBlocks, WriteHeader).

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "dbengine/file/FileHandler.h"
#include "dbengine/file/TableFileOwner.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/VerifyLog.h"

namespace dbengine {

class TBlobFile;

constexpr uint32_t BlobHeaderSize = 512;
constexpr uint32_t BlockHeaderSize = 18;
constexpr uint8_t BlobFileVersion = 5;
constexpr uint16_t DefaultBlobBlockSize = 512;
// Appending stops at this block number and at this file size (64-bit arithmetic): 9479.
constexpr int32_t MaxBlobBlockNo = 2000000000;
constexpr int64_t MaxBlobFileSize = 4000000000;
// Multi-block reads are at most this many bytes.
constexpr uint32_t BlobReadAheadBytes = 16384;
// Byte-range locks between processes: the exclusive range covers every shared slot byte
// (0xFFFFFFFF - slot for slot 1..65535), so exclusive and shared holders exclude each other.
constexpr int64_t BlobExclusiveLockOffset = 0xFFFEFFFF;
constexpr int64_t BlobExclusiveLockLength = 65536;
constexpr int64_t BlobSharedLockBase = 0xFFFFFFFF;
constexpr int BlobLockRetries = 32766;
constexpr uint32_t BlobLockPauseMs = 3;
// Scrambler seeds of the header and blocks of an encrypted table.
constexpr uint8_t BlobSeed1 = 0xC5;
constexpr uint8_t BlobSeed2 = 0x3A;

// Blocks that n bytes need with the given data bytes per block; 0 bytes need none.
int32_t BlobBlocksFor(int64_t bytes, uint16_t blockDataSize);

// The 512-byte header. Bytes 4..7 and 18..511 are kept as read and written back unchanged.
struct TBlobHeader {
    int32_t ChangeCount = 0;
    uint8_t Version = 0;
    int32_t FirstFreeBlock = 0;
    int32_t NextBlockNo = 0;
    uint8_t HeaderModified = 0;
    std::array<uint8_t, BlobHeaderSize> Raw{};

    std::array<uint8_t, BlobHeaderSize> Encode() const;
    static TBlobHeader Decode(const uint8_t* bytes);
};

// The 18-byte block header.
struct TBlockHeader {
    int32_t PrevBlock = 0;
    int32_t NextBlock = 0;
    uint16_t UsedBytes = 0;
    int32_t Stamp = 0;
    int32_t BlobSize = 0;

    void EncodeTo(uint8_t* bytes) const;
    static TBlockHeader Decode(const uint8_t* bytes);
};

// One cached block. Setting a header field to a different value marks the block dirty.
class TBlock {
public:
    TBlock(TBlobFile* owner, uint16_t dataSize);

    int32_t PrevBlock() const { return Fields.PrevBlock; }
    int32_t NextBlock() const { return Fields.NextBlock; }
    uint16_t UsedBytes() const { return Fields.UsedBytes; }
    int32_t Stamp() const { return Fields.Stamp; }
    int32_t BlobSize() const { return Fields.BlobSize; }
    void SetPrevBlock(int32_t value);
    void SetNextBlock(int32_t value);
    void SetUsedBytes(uint16_t value);
    void SetStamp(int32_t value);
    void SetBlobSize(int32_t value);

    // Copies min(count, UsedBytes) bytes from data offset `offset` (never past the data area);
    // a count above the data size raises 10029.
    uint32_t ReadData(uint32_t offset, uint32_t count, void* dest) const;
    // Copies count bytes to data offset `offset`, UsedBytes := offset + count, marks dirty; a
    // count above the data size, or one that would not fit behind the offset, raises 10029.
    uint32_t WriteData(uint32_t offset, uint32_t count, const void* source);

    // BlockSize bytes: header run then data run, each scrambled afresh when encrypted.
    void Encode(uint8_t* out, bool encrypted);
    void Decode(const uint8_t* in, bool encrypted);
    void Reset();
    uint16_t DataSize() const { return static_cast<uint16_t>(Data.size()); }

    TBlobFile* Owner;
    uint8_t Dirty = 0;
    uint16_t RefCount = 0;
    int32_t BlockNo = 0;
    std::array<uint8_t, BlockHeaderSize> RawHeader{};
    // Recency links: towards the most and the least recently used block.
    TBlock* MoreRecent = nullptr;
    TBlock* LessRecent = nullptr;
    // Dropped from the cache while still held; destroyed by its last release.
    bool Detached = false;
    // Position in the file's list of blocks that may need writing; -1 when not listed.
    int32_t CandidateSlot = -1;

    // What a block was before a change, to put it back when the change is taken back.
    struct TImage {
        int32_t BlockNo = 0;
        uint8_t Dirty = 0;
        std::array<uint8_t, BlockHeaderSize> RawHeader{};
        TBlockHeader Fields;
        std::vector<uint8_t> Data;
    };
    TImage Snapshot() const;
    void Restore(const TImage& image);

private:
    void SetField(int32_t& field, int32_t value);
    // Sets Dirty and lists the block for the next write-back.
    void MarkDirty();
    // Tells the owner, before the first change, so that it can keep the block's old image.
    void BeforeChange();

    TBlockHeader Fields;
    std::vector<uint8_t> Data;
};

// Spare block objects of one file.
class TBlockStack {
public:
    static constexpr size_t MaxSpare = 32;

    // The last spare block, reset and unheld, or a new one.
    std::unique_ptr<TBlock> Take(TBlobFile* owner, uint16_t dataSize);
    // Kept while fewer than MaxSpare are kept, destroyed otherwise.
    void Return(std::unique_ptr<TBlock> block);
    size_t Count() const { return Spare.size(); }

private:
    std::vector<std::unique_ptr<TBlock>> Spare;
};

// What a block fetch asks of the cursor it serves; the cursor implements it.
class TBlockFetchClient {
public:
    virtual ~TBlockFetchClient() = default;
    // On a cache miss: takes the table's short-term shared lock and re-reads changed headers;
    // true when the table had changed (the cursor has re-synchronised and the caller starts over).
    virtual bool SyncBeforeRead() = 0;
};

class TBlobFile : public TFileHandler {
public:
    explicit TBlobFile(TTableFileOwner* table);
    ~TBlobFile() override;

    void OpenFile() override;
    void CloseFile() override;
    // Creates the file; the header (version 5, no free block, next block 1) reaches the disk
    // with the next WriteHeader.
    void CreateFile() override;

    void ReadHeader();
    bool WriteHeader(bool force);
    void TouchHeader();
    // True (and the new header image taken) when another writer changed the header.
    bool ReloadHeaderIfChanged();
    // Cuts the file after the header and starts numbering again.
    void EmptyFile();
    void CheckHeader();
    void CheckVersion();
    // Checks the header against the file's length, logging each problem through the cursor;
    // unless verifyOnly, cuts a partial block off the file and fixes the header in memory. True
    // when nothing was found.
    bool VerifyHeader(TVerifyLog& log, bool verifyOnly);
    // Checks the chain of one BLOB value of physical record recordNo, logging each problem;
    // unless verifyOnly, repairs the chain in the cache (firstBlock becomes 0 when the value
    // cannot be kept). Tolerant corrects differing stamps silently (in repair). True when sound.
    bool VerifyBlobs(TVerifyLog& log, bool verifyOnly, int32_t& firstBlock, int32_t stamp, int32_t recordNo,
                     bool tolerant);
    bool IsFreeBlockValid(int32_t blockNo) const;
    // For a remote table: the header image as the server sent it (512 bytes).
    void ReceiveHeader(const uint8_t* image);

    int32_t GetChangeCount() const { return Header.ChangeCount; }
    int32_t BlockCount() const { return Header.NextBlockNo - 1; }
    uint16_t BlockDataSize() const { return static_cast<uint16_t>(BlockSize - BlockHeaderSize); }
    int32_t NewBlockNumber() const;
    void SetFirstFreeBlock(int32_t blockNo);
    int32_t FirstFreeBlock() const { return Header.FirstFreeBlock; }
    int32_t NextBlockNo() const { return Header.NextBlockNo; }
    bool HeaderModified() const { return Header.HeaderModified != 0; }
    std::array<uint8_t, BlobHeaderSize> HeaderImage() const { return Header.Encode(); }

    // The block, held (RefCount raised), read from the file when not cached; block NextBlockNo
    // appends a new one. False, with no block, when the cursor was resynchronised on a miss.
    bool GetBlock(TBlockFetchClient* cursor, int32_t blockNo, TBlock*& block, int32_t readCount,
                  bool readAhead);
    // Lowers RefCount unless 0; null is allowed.
    void ReleaseBlock(TBlock* block);
    // A held, zeroed, clean block for new data: the head of the free chain or an appended one.
    TBlock* AllocateBlock(TBlockFetchClient* cursor);
    // Puts the block at the head of the free chain; its other fields and data stay.
    void FreeBlock(TBlock* block);

    // Frees the chain at firstBlock (which becomes 0); stamps must match unless tolerant.
    bool FreeBlob(TBlockFetchClient* cursor, int32_t& firstBlock, int32_t stamp, int32_t recordNo,
                  bool tolerant);
    // Frees the held block and the chain behind it, `readCount` blocks in all, and releases it.
    bool FreeChainFrom(TBlockFetchClient* cursor, TBlock* block, int32_t readCount, int32_t stamp,
                       int32_t recordNo, bool tolerant);

    // Walks the chain behind a held block without changing anything: every link in range, no
    // block twice, no held block, at most maxBlocks blocks, stamps equal unless tolerant.
    void CheckChainFrom(TBlock* block, int32_t maxBlocks, int32_t stamp, bool tolerant);

    bool WriteDirtyBlocks();
    void DropAllBlocks();
    void TrimCache();

    // One all-or-nothing change of the file (the BLOB part of a record write). Between
    // BeginChanges and EndChanges every changed block keeps its old image and no dirty block is
    // written (the cache grows instead), so the file on disk stays as it was and TakeBackChanges
    // can return blocks and header to where they stood. EndChanges keeps the changes.
    void BeginChanges();
    void EndChanges();
    void TakeBackChanges();
    bool InChanges() const { return Changing; }

    bool LockExclusive();
    bool UnlockExclusive();
    bool LockShared(uint16_t& slot);
    bool UnlockShared(uint16_t slot);

    // Cache inspection.
    size_t CachedBlockCount() const { return Sorted.size(); }
    int32_t CacheCapacity() const { return Capacity; }
    int32_t GetBlocksPerRead() const { return BlocksPerRead; }
    // The cached block of that number, or null; does not hold it or change the recency order.
    TBlock* FindCached(int32_t blockNo) const;

    TTableFileOwner* Table;
    // Set by the shared table from the data file before the file is opened or created.
    uint16_t BlockSize = 0;
    bool Encrypted = false;

    [[noreturn]] void RaiseTable(TEngineErrorCode code) const;

private:
    friend class TBlock;

    void SetupCache();
    int32_t CacheLimit() const;
    bool TransactionLocked() const;
    bool FilesWrittenFlag() const;
    void MarkFilesWritten();
    bool StrictChangeDetection() const;
    bool ForceBufferFlush() const;

    TBlock* Lookup(int32_t blockNo);
    std::unique_ptr<TBlock> ObtainBlock(int32_t blockNo);
    TBlock* FindRecyclable() const;
    std::unique_ptr<TBlock> RemoveSorted(TBlock* block);
    TBlock* InsertSorted(std::unique_ptr<TBlock> block);
    void LinkFront(TBlock* block);
    void Unlink(TBlock* block);
    void ReadBlocks(int32_t firstNo, int32_t count);
    bool DropOneBlock();
    // Adds the block to WriteCandidates unless it is listed already.
    void ListCandidate(TBlock* block);
    void UnlistCandidate(TBlock* block);
    // Drops from WriteCandidates the blocks that are neither dirty nor held.
    void ForgetCleanCandidates();
    // The free chain as a set, walked once and then kept up to date, so that a block already
    // free is never freed again (which would loop the free chain). Forgotten whenever the header
    // or the cached links may have changed behind it.
    void LearnFreeBlocks();
    void ForgetFreeBlocks();
    int32_t StoredNextBlock(int32_t blockNo);
    void StoreFirstFree(int32_t blockNo);
    void FreeCheckedChain(TBlock* block, int32_t readCount, int32_t stamp, bool tolerant);

    TBlobHeader Header;
    std::unique_ptr<uint8_t[]> ReadBuf;
    int64_t ReadBufCapacity = 0;
    std::unique_ptr<uint8_t[]> WriteBuf;
    int64_t WriteBufCapacity = 0;
    int64_t ReadWindowPos = 0;
    int64_t ReadWindowLen = 0;

    std::vector<std::unique_ptr<TBlock>> Sorted;
    std::vector<std::unique_ptr<TBlock>> DetachedBlocks;
    // Every cached block marked dirty since the last write-back, every block whose old image was
    // put back, and every block still dirty or held after a write-back: a write-back need not
    // look at the rest of the cache.
    std::vector<TBlock*> WriteCandidates;
    std::vector<TBlock*> DueBlocks;  // scratch list of one write-back
    TBlock* MostRecent = nullptr;
    TBlock* LeastRecent = nullptr;
    TBlockStack Pool;
    int32_t Capacity = 0;
    int32_t BlocksPerRead = 1;
    std::unordered_set<int32_t> FreeBlocks;
    bool FreeBlocksKnown = false;

    // Old images of the blocks changed since BeginChanges, and the header as it was then.
    void NoteChange(TBlock* block);
    void DiscardBlock(TBlock* block);
    bool Changing = false;
    bool WrittenWhileChanging = false;
    TBlobHeader HeaderBefore;
    std::vector<TBlock::TImage> ImagesBefore;
    std::unordered_set<int32_t> Noted;
};

}  // namespace dbengine
