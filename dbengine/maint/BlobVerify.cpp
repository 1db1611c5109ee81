// Verification and repair of the BLOB file: its header against the file's length, and the block
// chain of one value.

#include <algorithm>
#include <string>
#include <unordered_set>

#include "dbengine/blob/BlobFile.h"
#include "dbengine/session/DataTable.h"

namespace dbengine {

namespace {

// Holds a block for the length of a scope.
class TBlockHold {
public:
    explicit TBlockHold(TBlobFile& file) : File(file) {}
    ~TBlockHold() { File.ReleaseBlock(Block); }
    TBlockHold(const TBlockHold&) = delete;
    TBlockHold& operator=(const TBlockHold&) = delete;
    void Reset(TBlock* block) {
        File.ReleaseBlock(Block);
        Block = block;
    }
    TBlock* Block = nullptr;

private:
    TBlobFile& File;
};

}  // namespace

bool TBlobFile::VerifyHeader(TVerifyLog& log, bool verifyOnly) {
    bool valid = true;
    auto report = [&](const std::string& text) {
        valid = false;
        log.DoVerifyLog(verifyOnly ? text : text + ", error fixed");
        return !verifyOnly;
    };
    int64_t length = GetFileSize();
    if (length > BlobHeaderSize && BlockSize != 0) {
        int64_t rest = (length - BlobHeaderSize) % BlockSize;
        if (rest != 0 && report("BLOB blocks not aligned on even block size boundaries")) {
            if (SeekFile(0, length - rest) != length - rest) RaiseTable(DBE_WRITEERR);
            TruncateFile();
            if (ForceBufferFlush()) FlushFile();
            length = GetFileSize();
        }
    }
    int64_t blocks = length > BlobHeaderSize && BlockSize != 0 ? (length - BlobHeaderSize) / BlockSize : 0;
    if (Header.NextBlockNo != blocks + 1 && report("Physical BLOB block count not correct"))
        Header.NextBlockNo = static_cast<int32_t>(blocks + 1);
    // The free pointer is judged against the blocks the file really holds.
    bool freeBad =
        Header.FirstFreeBlock != 0 && (Header.FirstFreeBlock < 1 || Header.FirstFreeBlock > blocks);
    // So is every link of the free chain: a chain that leaves the file or comes back on itself
    // (a write killed part way) would make the next value saved fail, or take a block twice.
    if (!freeBad && Header.FirstFreeBlock != 0) {
        std::unordered_set<int32_t> seen;
        for (int32_t no = Header.FirstFreeBlock; no != 0 && !freeBad;) {
            if (no < 1 || no > blocks || !seen.insert(no).second) {
                freeBad = true;
                break;
            }
            try {
                no = StoredNextBlock(no);
            } catch (const EDbEngineError&) {
                freeBad = true;
            }
        }
    }
    // Blocks cut off the free chain stay unused; nothing points at them any more.
    if (freeBad && report("Invalid free BLOB block pointer in header")) Header.FirstFreeBlock = 0;
    if (!verifyOnly) {
        Header.Version = BlobFileVersion;
        Header.HeaderModified = 1;
        ForgetFreeBlocks();
    }
    return valid;
}

bool TBlobFile::VerifyBlobs(TVerifyLog& log, bool verifyOnly, int32_t& firstBlock, int32_t stamp,
                            int32_t recordNo, bool tolerant) {
    if (firstBlock == 0) return true;
    const std::string number = std::to_string(recordNo);
    auto report = [&](const std::string& prefix) {
        log.DoVerifyLog(prefix + number + (verifyOnly ? "" : ", error fixed"));
        return !verifyOnly;
    };
    // 64-bit: a damaged header may hold any counter.
    const int64_t blockCount = int64_t{Header.NextBlockNo} - 1;
    // A first block outside the file would be appended by the fetch: it is a bad reference.
    if (firstBlock < 1 || firstBlock > blockCount) {
        if (report("Invalid BLOB offset in BLOB file for physical record # ")) firstBlock = 0;
        return false;
    }
    // Verification runs on an exclusive cursor: no other process changes the file meanwhile.
    TBlockHold first(*this);
    GetBlock(nullptr, firstBlock, first.Block, 1, false);
    if (first.Block->Stamp() != stamp) {
        if (!tolerant) {
            if (report("Invalid BLOB offset in BLOB file for physical record # ")) firstBlock = 0;
            return false;
        }
        if (!verifyOnly) first.Block->SetStamp(stamp);
    }
    const int64_t size = first.Block->BlobSize();
    if (!verifyOnly) first.Block->SetPrevBlock(0);
    if (size <= 0) {
        if (report("BLOB size mismatch in BLOB file for physical record # ")) firstBlock = 0;
        return false;
    }

    bool valid = true;
    int64_t total = 0;
    // Every block number met, so that a chain leading back into itself is caught at its first
    // repetition; the walk thus visits each block at most once.
    std::unordered_set<int32_t> seen{firstBlock};
    TBlockHold previous(*this);
    TBlockHold current(*this);
    TBlock* prev = nullptr;
    TBlock* block = first.Block;
    for (;;) {
        if (prev != nullptr && total >= size) {
            // The value was complete with the previous block: this block and any behind it lie
            // past its size. Cutting here would count their bytes into a size that the blocks
            // before could never match, so the chain ends with the previous block instead.
            if (report(block->NextBlock() != 0 ? "Invalid block size in BLOB file for physical record # "
                                               : "BLOB size mismatch in BLOB file for physical record # "))
                prev->SetNextBlock(0);
            return false;
        }
        if (block->NextBlock() == 0) break;
        auto cut = [&](const std::string& prefix) {
            valid = false;
            if (report(prefix)) block->SetNextBlock(0);
        };
        int64_t want = std::min<int64_t>(BlockDataSize(), size - total);
        if (block->UsedBytes() != want) {
            cut("Invalid block size in BLOB file for physical record # ");
            break;
        }
        const int32_t nextNo = block->NextBlock();
        if (nextNo < 1 || nextNo > blockCount) {
            cut("Invalid intra-block pointer in BLOB file for physical record # ");
            break;
        }
        if (!seen.insert(nextNo).second) {
            cut("Recursive intra-block pointer in BLOB file for physical record # ");
            break;
        }
        TBlockHold nextHold(*this);
        int32_t readCount = BlobBlocksFor(std::max<int64_t>(size - total, 1), BlockDataSize());
        GetBlock(nullptr, nextNo, nextHold.Block, readCount, true);
        TBlock* next = nextHold.Block;
        if (next->Stamp() != stamp) {
            if (!tolerant) {
                cut("Invalid intra-block pointer in BLOB file for physical record # ");
                break;
            }
            if (!verifyOnly) next->SetStamp(stamp);
        }
        if (!verifyOnly) next->SetPrevBlock(block->BlockNo);
        total += block->UsedBytes();
        // The holds move along: the previous block stays held for a cut, the new one is current.
        previous.Reset(current.Block);
        current.Block = nextHold.Block;
        nextHold.Block = nullptr;
        prev = block;
        block = next;
    }
    // The last block is not held to a size by the walk; it still cannot hold more than its data
    // area, and a value counted with such bytes could never be read.
    if (block->UsedBytes() > BlockDataSize()) {
        valid = false;
        if (report("Invalid block size in BLOB file for physical record # "))
            block->SetUsedBytes(BlockDataSize());
    }
    total += std::min<int64_t>(block->UsedBytes(), BlockDataSize());
    if (total != size) {
        valid = false;
        if (report("BLOB size mismatch in BLOB file for physical record # ")) {
            // A chain that holds no byte at all is no value: the field loses its reference rather
            // than keep a size of 0, which the next check would reject.
            if (total == 0)
                firstBlock = 0;
            else
                first.Block->SetBlobSize(static_cast<int32_t>(total));
        }
    }
    return valid;
}

}  // namespace dbengine
