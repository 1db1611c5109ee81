#include "dbengine/blob/BlobBuffer.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace dbengine {

namespace {

// Releases the block it holds on every path; Take hands it over to the caller.
class THeldBlock {
public:
    THeldBlock(TBlobFile& file, TBlock* block) : File(file), Block(block) {}
    ~THeldBlock() { File.ReleaseBlock(Block); }
    THeldBlock(const THeldBlock&) = delete;
    THeldBlock& operator=(const THeldBlock&) = delete;

    TBlock* operator->() const { return Block; }
    TBlock* Get() const { return Block; }
    // Releases the current block and holds the next one instead.
    void MoveTo(TBlock* next) {
        File.ReleaseBlock(Block);
        Block = next;
    }

private:
    TBlobFile& File;
    TBlock* Block;
};

}  // namespace

// ---- Freeing chains ----

void TBlobFile::CheckChainFrom(TBlock* block, int32_t maxBlocks, int32_t stamp, bool tolerant) {
    // Nothing is changed here: a damaged chain is reported before the first block is freed or
    // rewritten. The walk ends after maxBlocks blocks, so a cycle or a runaway link cannot hang.
    // A block already on the free chain is no block of a live chain.
    LearnFreeBlocks();
    if (FreeBlocks.count(block->BlockNo) != 0) RaiseTable(DBE_MEMOCORRUPT);
    std::unordered_set<int32_t> seen{block->BlockNo};
    int32_t count = 1;
    int32_t next = block->NextBlock();
    while (next != 0) {
        if (next < 1 || next > BlockCount() || !seen.insert(next).second || ++count > maxBlocks ||
            FreeBlocks.count(next) != 0)
            RaiseTable(DBE_MEMOCORRUPT);
        TBlock* b = nullptr;
        GetBlock(nullptr, next, b, maxBlocks - count + 1, true);
        bool bad = b->RefCount > 1 || (!tolerant && b->Stamp() != stamp);
        next = b->NextBlock();
        ReleaseBlock(b);
        if (bad) RaiseTable(DBE_MEMOCORRUPT);
    }
}

void TBlobFile::FreeCheckedChain(TBlock* block, int32_t readCount, int32_t stamp, bool tolerant) {
    int32_t n = readCount < 2 ? 1 : readCount - 1;
    THeldBlock current(*this, block);
    while (current->NextBlock() != 0) {
        int32_t next = current->NextBlock();
        if (next < 1 || next > BlockCount()) RaiseTable(DBE_MEMOCORRUPT);
        TBlock* b = nullptr;
        GetBlock(nullptr, next, b, n, true);
        if (b->RefCount > 1 || (!tolerant && b->Stamp() != stamp)) {
            ReleaseBlock(b);
            RaiseTable(DBE_MEMOCORRUPT);
        }
        b->SetStamp(stamp);
        FreeBlock(current.Get());
        current.MoveTo(b);
        if (n > 1) --n;
    }
    FreeBlock(current.Get());
}

bool TBlobFile::FreeChainFrom(TBlockFetchClient* /*cursor*/, TBlock* block, int32_t readCount, int32_t stamp,
                              int32_t /*recordNo*/, bool tolerant) {
    try {
        CheckChainFrom(block, std::max(readCount, 1), stamp, tolerant);
    } catch (...) {
        ReleaseBlock(block);
        throw;
    }
    FreeCheckedChain(block, readCount, stamp, tolerant);
    return true;
}

bool TBlobFile::FreeBlob(TBlockFetchClient* cursor, int32_t& firstBlock, int32_t stamp, int32_t /*recordNo*/,
                         bool tolerant) {
    if (firstBlock == 0) return true;
    if (firstBlock < 0 || firstBlock > BlockCount()) RaiseTable(DBE_MEMOCORRUPT);
    TBlock* first = nullptr;
    while (!GetBlock(cursor, firstBlock, first, 1, false)) {
    }
    int32_t blocks = BlobBlocksFor(first->BlobSize(), BlockDataSize());
    try {
        if (first->Stamp() != stamp && !tolerant) RaiseTable(DBE_MEMOCORRUPT);
        CheckChainFrom(first, std::max(blocks, 1), stamp, tolerant);
    } catch (...) {
        ReleaseBlock(first);
        throw;
    }
    first->SetStamp(stamp);
    FreeCheckedChain(first, blocks, stamp, tolerant);
    firstBlock = 0;
    return true;
}

// ---- TBlobBuffer ----

void TBlobBuffer::SetSize(int32_t newSize) {
    if (newSize != Size) Modified = true;
    if (newSize <= 0) {
        Data.clear();
        Data.shrink_to_fit();
        Size = 0;
        return;
    }
    // resize zero-fills what it adds and keeps the capacity when cutting.
    Data.resize(static_cast<size_t>(newSize));
    Size = newSize;
}

void TBlobBuffer::AddRef() {
    ++OpenCount;
}

void TBlobBuffer::Release() {
    if (OpenCount > 0) --OpenCount;
}

void TBlobBuffer::KeepOldData() {
    OldData.assign(Data.begin(), Data.begin() + Size);
    OldSize = Size;
}

void TBlobBuffer::Load() {
    if (FirstBlock == 0) return;
    // A reference from a damaged record must not reach the block that would be appended next.
    if (FirstBlock < 0 || FirstBlock > File->BlockCount()) File->RaiseTable(DBE_MEMOCORRUPT);
    while (!TryLoad()) {
    }
}

bool TBlobBuffer::TryLoad() {
    TBlock* first = nullptr;
    if (!File->GetBlock(Cursor, FirstBlock, first, 1, false)) return false;
    THeldBlock current(*File, first);
    if (current->Stamp() != Stamp) File->RaiseTable(DBE_KEYORRECDELETED);
    int32_t target = current->BlobSize();
    uint16_t dataSize = File->BlockDataSize();
    // A size that needs more blocks than the file has is damage, and must not size the buffer.
    if (target < 0 || BlobBlocksFor(target, dataSize) > File->BlockCount()) File->RaiseTable(DBE_MEMOCORRUPT);
    if (target != Size) Modified = true;
    // The bytes arrive block by block, so memory follows the blocks that really exist.
    Data.clear();
    Size = 0;
    std::unordered_set<int32_t> seen{FirstBlock};
    int32_t got = 0;
    while (got < target) {
        if (current->Stamp() != Stamp) File->RaiseTable(DBE_KEYORRECDELETED);
        if (current->RefCount > 1) File->RaiseTable(DBE_MEMOCORRUPT);
        uint32_t want = std::min<uint32_t>(dataSize, static_cast<uint32_t>(target - got));
        Data.resize(static_cast<size_t>(got) + want);
        uint32_t n = current->ReadData(0, want, Data.data() + got);
        got += static_cast<int32_t>(n);
        Data.resize(static_cast<size_t>(got));
        if (n < want || n == 0 || got >= target || current->NextBlock() == 0) break;
        int32_t next = current->NextBlock();
        if (next < 1 || next > File->BlockCount() || !seen.insert(next).second)
            File->RaiseTable(DBE_MEMOCORRUPT);
        TBlock* b = nullptr;
        if (!File->GetBlock(Cursor, next, b, BlobBlocksFor(target - got, dataSize), true)) return false;
        current.MoveTo(b);
    }
    Size = got;
    if (got < target) File->RaiseTable(DBE_ENDOFBLOB);
    Modified = false;
    return true;
}

void TBlobBuffer::Save() {
    if (Size < 1) return;
    while (!TrySave()) {
    }
}

bool TBlobBuffer::TrySave() {
    uint16_t dataSize = File->BlockDataSize();
    int32_t oldSize = 0;
    TBlock* first = nullptr;
    if (FirstBlock == 0) {
        first = File->AllocateBlock(Cursor);
        FirstBlock = first->BlockNo;
    } else {
        if (!File->GetBlock(Cursor, FirstBlock, first, 1, false)) return false;
        oldSize = first->BlobSize();
    }
    THeldBlock current(*File, first);
    // The old chain is walked once before any block changes, so a damaged one stops the save
    // with the file as it was.
    if (oldSize > 0 || current->NextBlock() != 0)
        File->CheckChainFrom(first, std::max(BlobBlocksFor(oldSize, dataSize), 1), Stamp, true);
    current->SetStamp(Stamp);
    current->SetBlobSize(Size);
    std::unordered_set<int32_t> chain{current->BlockNo};
    int32_t written = 0;
    // Blocks after the first are fetched without a change check: the table cannot change under
    // a save, which runs inside the table's write lock.
    for (;;) {
        uint32_t count = std::min<uint32_t>(dataSize, static_cast<uint32_t>(Size - written));
        current->WriteData(0, count, Data.data() + written);
        written += static_cast<int32_t>(count);
        if (written >= Size) break;
        TBlock* next = nullptr;
        int32_t nextNo = current->NextBlock();
        if (nextNo != 0) {
            if (nextNo < 1 || nextNo > File->BlockCount()) File->RaiseTable(DBE_MEMOCORRUPT);
            File->GetBlock(nullptr, nextNo, next, BlobBlocksFor(int64_t(oldSize) - written, dataSize), true);
        } else {
            next = File->AllocateBlock(nullptr);
        }
        if (!chain.insert(next->BlockNo).second) {
            File->ReleaseBlock(next);
            File->RaiseTable(DBE_MEMOCORRUPT);
        }
        current->SetNextBlock(next->BlockNo);
        next->SetPrevBlock(current->BlockNo);
        next->SetStamp(Stamp);
        next->SetBlobSize(0);
        current.MoveTo(next);
    }
    if (written < Size) File->RaiseTable(DBE_ENDOFBLOB);
    int32_t surplus = current->NextBlock();
    if (surplus != 0) {
        if (surplus < 1 || surplus > File->BlockCount()) File->RaiseTable(DBE_MEMOCORRUPT);
        int32_t readCount = BlobBlocksFor(int64_t(oldSize) - written, dataSize);
        TBlock* rest = nullptr;
        File->GetBlock(nullptr, surplus, rest, readCount, true);
        File->FreeChainFrom(nullptr, rest, readCount, Stamp, RecordNo, true);
        current->SetNextBlock(0);
    }
    Modified = false;
    return true;
}

void TBlobBuffer::CheckStoredChain() {
    if (FirstBlock <= 0) return;
    TBlock* first = nullptr;
    while (!File->GetBlock(Cursor, FirstBlock, first, 1, false)) {
    }
    THeldBlock held(*File, first);
    const int32_t oldSize = first->BlobSize();
    if (oldSize > 0 || first->NextBlock() != 0)
        File->CheckChainFrom(first, std::max(BlobBlocksFor(oldSize, File->BlockDataSize()), 1), Stamp, true);
}

void TBlobBuffer::Delete() {
    if (FirstBlock != 0) File->FreeBlob(Cursor, FirstBlock, Stamp, RecordNo, true);
    // An emptied value has nothing left to save; left marked, it would be "saved" again with
    // whatever record is written next.
    Modified = false;
}

}  // namespace dbengine
