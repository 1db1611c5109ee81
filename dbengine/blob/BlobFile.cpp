#include "dbengine/blob/BlobFile.h"

#include <algorithm>
#include <cstring>

#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineUtils.h"
#include "framework/core/Seams.h"

namespace dbengine {

namespace {

// Header offsets.
constexpr size_t OfsChangeCount = 0;
constexpr size_t OfsVersion = 8;
constexpr size_t OfsFirstFreeBlock = 9;
constexpr size_t OfsNextBlockNo = 13;
constexpr size_t OfsHeaderModified = 17;

// Block header offsets.
constexpr size_t OfsPrevBlock = 0;
constexpr size_t OfsNextBlock = 4;
constexpr size_t OfsUsedBytes = 8;
constexpr size_t OfsStamp = 10;
constexpr size_t OfsBlobSize = 14;

// Read and write buffers grow in steps of this many bytes.
constexpr int64_t BufferGranularity = 4096;
// The cache grows by this many blocks when every block is dirty or held.
constexpr int32_t CacheGrowth = 32;
// Lookups scan this many most recently used blocks before the binary search.
constexpr int RecentScan = 4;

}  // namespace

int32_t BlobBlocksFor(int64_t bytes, uint16_t blockDataSize) {
    if (bytes <= 0 || blockDataSize == 0) return 0;
    int64_t blocks = bytes / blockDataSize + (bytes % blockDataSize != 0 ? 1 : 0);
    return static_cast<int32_t>(std::min<int64_t>(blocks, INT32_MAX));
}

// ---- TBlobHeader ----

std::array<uint8_t, BlobHeaderSize> TBlobHeader::Encode() const {
    std::array<uint8_t, BlobHeaderSize> b = Raw;
    uint8_t* p = b.data();
    PutInt32(p + OfsChangeCount, ChangeCount);
    p[OfsVersion] = Version;
    PutInt32(p + OfsFirstFreeBlock, FirstFreeBlock);
    PutInt32(p + OfsNextBlockNo, NextBlockNo);
    p[OfsHeaderModified] = HeaderModified;
    return b;
}

TBlobHeader TBlobHeader::Decode(const uint8_t* p) {
    TBlobHeader h;
    std::memcpy(h.Raw.data(), p, BlobHeaderSize);
    h.ChangeCount = GetInt32(p + OfsChangeCount);
    h.Version = p[OfsVersion];
    h.FirstFreeBlock = GetInt32(p + OfsFirstFreeBlock);
    h.NextBlockNo = GetInt32(p + OfsNextBlockNo);
    h.HeaderModified = 0;  // the stored flag means nothing to a reader
    return h;
}

// ---- TBlockHeader ----

void TBlockHeader::EncodeTo(uint8_t* p) const {
    PutInt32(p + OfsPrevBlock, PrevBlock);
    PutInt32(p + OfsNextBlock, NextBlock);
    PutUInt16(p + OfsUsedBytes, UsedBytes);
    PutInt32(p + OfsStamp, Stamp);
    PutInt32(p + OfsBlobSize, BlobSize);
}

TBlockHeader TBlockHeader::Decode(const uint8_t* p) {
    TBlockHeader h;
    h.PrevBlock = GetInt32(p + OfsPrevBlock);
    h.NextBlock = GetInt32(p + OfsNextBlock);
    h.UsedBytes = GetUInt16(p + OfsUsedBytes);
    h.Stamp = GetInt32(p + OfsStamp);
    h.BlobSize = GetInt32(p + OfsBlobSize);
    return h;
}

// ---- TBlock ----

TBlock::TBlock(TBlobFile* owner, uint16_t dataSize) : Owner(owner), Data(dataSize, 0) {}

void TBlock::BeforeChange() {
    if (Owner != nullptr && Owner->Changing) Owner->NoteChange(this);
}

TBlock::TImage TBlock::Snapshot() const {
    return TImage{BlockNo, Dirty, RawHeader, Fields, Data};
}

void TBlock::Restore(const TImage& image) {
    RawHeader = image.RawHeader;
    Fields = image.Fields;
    std::copy(image.Data.begin(), image.Data.end(), Data.begin());
    Dirty = image.Dirty;
}

void TBlock::MarkDirty() {
    Dirty = 1;
    // A detached block is no longer the file's: it is never written.
    if (!Detached) Owner->ListCandidate(this);
}

void TBlock::SetField(int32_t& field, int32_t value) {
    if (field == value) return;
    BeforeChange();
    field = value;
    MarkDirty();
}

void TBlock::SetPrevBlock(int32_t value) {
    SetField(Fields.PrevBlock, value);
}
void TBlock::SetNextBlock(int32_t value) {
    SetField(Fields.NextBlock, value);
}
void TBlock::SetStamp(int32_t value) {
    SetField(Fields.Stamp, value);
}
void TBlock::SetBlobSize(int32_t value) {
    SetField(Fields.BlobSize, value);
}
void TBlock::SetUsedBytes(uint16_t value) {
    if (Fields.UsedBytes == value) return;
    BeforeChange();
    Fields.UsedBytes = value;
    MarkDirty();
}

uint32_t TBlock::ReadData(uint32_t offset, uint32_t count, void* dest) const {
    if (count > Data.size()) Owner->RaiseTable(DBE_INVALIDBLOBLEN);
    // A damaged UsedBytes may claim more than the block holds: never copy past the data area.
    uint32_t n = std::min<uint32_t>(count, Fields.UsedBytes);
    if (offset >= Data.size()) return 0;
    n = std::min<uint32_t>(n, static_cast<uint32_t>(Data.size()) - offset);
    std::memcpy(dest, Data.data() + offset, n);
    return n;
}

uint32_t TBlock::WriteData(uint32_t offset, uint32_t count, const void* source) {
    if (count > Data.size() || offset > Data.size() - count) Owner->RaiseTable(DBE_INVALIDBLOBLEN);
    BeforeChange();
    std::memcpy(Data.data() + offset, source, count);
    Fields.UsedBytes = static_cast<uint16_t>(offset + count);
    MarkDirty();
    return count;
}

void TBlock::Encode(uint8_t* out, bool encrypted) {
    Fields.EncodeTo(RawHeader.data());
    std::memcpy(out, RawHeader.data(), BlockHeaderSize);
    std::memcpy(out + BlockHeaderSize, Data.data(), Data.size());
    if (encrypted) {
        ScrambleBuffer(out, BlockHeaderSize, BlobSeed1, BlobSeed2);
        ScrambleBuffer(out + BlockHeaderSize, static_cast<uint32_t>(Data.size()), BlobSeed1, BlobSeed2);
    }
    Dirty = 0;
}

void TBlock::Decode(const uint8_t* in, bool encrypted) {
    std::memcpy(RawHeader.data(), in, BlockHeaderSize);
    std::memcpy(Data.data(), in + BlockHeaderSize, Data.size());
    if (encrypted) {
        UnscrambleBuffer(RawHeader.data(), BlockHeaderSize, BlobSeed1, BlobSeed2);
        UnscrambleBuffer(Data.data(), static_cast<uint32_t>(Data.size()), BlobSeed1, BlobSeed2);
    }
    Fields = TBlockHeader::Decode(RawHeader.data());
    Dirty = 0;
}

void TBlock::Reset() {
    RawHeader.fill(0);
    std::fill(Data.begin(), Data.end(), uint8_t{0});
    Fields = TBlockHeader{};
    Dirty = 0;
}

// ---- TBlockStack ----

std::unique_ptr<TBlock> TBlockStack::Take(TBlobFile* owner, uint16_t dataSize) {
    while (!Spare.empty()) {
        std::unique_ptr<TBlock> b = std::move(Spare.back());
        Spare.pop_back();
        if (b->Owner != owner || b->DataSize() != dataSize) continue;  // block size changed
        b->Reset();
        b->RefCount = 0;
        b->BlockNo = 0;
        b->MoreRecent = b->LessRecent = nullptr;
        b->Detached = false;
        return b;
    }
    return std::make_unique<TBlock>(owner, dataSize);
}

void TBlockStack::Return(std::unique_ptr<TBlock> block) {
    if (block && Spare.size() < MaxSpare) {
        if (Spare.capacity() < MaxSpare) Spare.reserve(MaxSpare);
        Spare.push_back(std::move(block));
    }
}

// ---- TBlobFile: table and session ----

TBlobFile::TBlobFile(TTableFileOwner* table) : Table(table) {}

TBlobFile::~TBlobFile() {
    try {
        CloseFile();
    } catch (...) {
        // A destructor must not raise.
    }
}

void TBlobFile::RaiseTable(TEngineErrorCode code) const {
    std::string table = Table != nullptr ? Table->GetTableName() : std::string();
    if (table.empty()) table = FileName;
    RaiseEngineError(code, {}, {}, Table != nullptr ? Table->GetDatabaseName() : "", table);
}

bool TBlobFile::TransactionLocked() const {
    return Table != nullptr && Table->HoldsTransactionLock();
}

bool TBlobFile::FilesWrittenFlag() const {
    return Table != nullptr && Table->GetFilesWritten();
}

void TBlobFile::MarkFilesWritten() {
    if (Table != nullptr) Table->SetFilesWritten();
}

bool TBlobFile::StrictChangeDetection() const {
    const TEngineSettings* settings = Table != nullptr ? Table->GetSettings() : nullptr;
    return settings != nullptr && settings->StrictChangeDetection;
}

bool TBlobFile::ForceBufferFlush() const {
    const TEngineSettings* settings = Table != nullptr ? Table->GetSettings() : nullptr;
    return settings != nullptr && settings->ForceBufferFlush;
}

int32_t TBlobFile::CacheLimit() const {
    int32_t bufferSize = 32768, maxBlocks = 8192;
    if (const TEngineSettings* settings = Table != nullptr ? Table->GetSettings() : nullptr) {
        bufferSize = settings->BlobBufferSize;
        maxBlocks = settings->MaxBlobBufferBlocks;
    }
    if (BlockSize == 0) return maxBlocks;
    return std::min(bufferSize / BlockSize, maxBlocks);
}

void TBlobFile::SetupCache() {
    // A block needs room for its header and at least one data byte.
    if (BlockSize == 0) BlockSize = DefaultBlobBlockSize;
    if (BlockSize <= BlockHeaderSize) RaiseTable(DBE_HEADERCORRUPT);
    Capacity = std::max(CacheLimit(), 0);
    BlocksPerRead = std::max<int32_t>(1, static_cast<int32_t>(BlobReadAheadBytes / BlockSize));
}

// ---- TBlobFile: file and header ----

void TBlobFile::OpenFile() {
    if (IsOpen) return;
    if (BlockSize == 0) BlockSize = DefaultBlobBlockSize;
    if (BlockSize <= BlockHeaderSize) RaiseTable(DBE_HEADERCORRUPT);
    TFileHandler::OpenFile();
    try {
        ReadHeader();
        SetupCache();
    } catch (...) {
        TFileHandler::CloseFile();
        throw;
    }
}

void TBlobFile::CloseFile() {
    if (!IsOpen) return;
    DropAllBlocks();
    TFileHandler::CloseFile();
}

void TBlobFile::CreateFile() {
    if (BlockSize == 0) BlockSize = DefaultBlobBlockSize;
    if (BlockSize <= BlockHeaderSize) RaiseTable(DBE_HEADERCORRUPT);
    TFileHandler::CreateFile();
    DropAllBlocks();
    Header = TBlobHeader{};
    Header.Version = BlobFileVersion;
    Header.FirstFreeBlock = 0;
    Header.NextBlockNo = 1;
    Header.HeaderModified = 1;
    ForgetFreeBlocks();
    SetupCache();
}

void TBlobFile::ReadHeader() {
    uint8_t bytes[BlobHeaderSize];
    ReadAt(0, bytes, BlobHeaderSize);
    NoteStoredBytes(0, bytes, BlobHeaderSize);
    if (Encrypted) UnscrambleBuffer(bytes, BlobHeaderSize, BlobSeed1, BlobSeed2);
    Header = TBlobHeader::Decode(bytes);
    ForgetFreeBlocks();
}

bool TBlobFile::WriteHeader(bool force) {
    if (!force && Header.HeaderModified == 0) return false;
    Header.ChangeCount = static_cast<int32_t>(static_cast<uint32_t>(Header.ChangeCount) + 1u);  // wraps
    // The stored flag tells whether the header was written because it had changed.
    auto bytes = Header.Encode();
    if (Encrypted) ScrambleBuffer(bytes.data(), BlobHeaderSize, BlobSeed1, BlobSeed2);
    EnsureBufferSize(BlobHeaderSize, BufferGranularity, WriteBuf, WriteBufCapacity);
    std::memcpy(WriteBuf.get(), bytes.data(), BlobHeaderSize);
    if (Changing) WrittenWhileChanging = true;
    WriteAt(0, WriteBuf.get(), BlobHeaderSize);
    MarkFilesWritten();
    Header.HeaderModified = 0;
    return true;
}

void TBlobFile::TouchHeader() {
    Header.ChangeCount = static_cast<int32_t>(static_cast<uint32_t>(Header.ChangeCount) + 1u);  // wraps
    Header.HeaderModified = 1;
    MarkFilesWritten();
}

bool TBlobFile::ReloadHeaderIfChanged() {
    // Unchanged by anyone, as the file's view shows: nothing to read.
    if (!Encrypted && PeekStoredCounterIs(OfsChangeCount, Header.ChangeCount)) return false;
    uint8_t bytes[BlobHeaderSize];
    ReadAt(0, bytes, BlobHeaderSize);
    NoteStoredBytes(0, bytes, BlobHeaderSize);
    if (Encrypted) UnscrambleBuffer(bytes, BlobHeaderSize, BlobSeed1, BlobSeed2);
    if (GetInt32(bytes + OfsChangeCount) == Header.ChangeCount) return false;
    Header = TBlobHeader::Decode(bytes);
    ForgetFreeBlocks();
    return true;
}

void TBlobFile::EmptyFile() {
    {
        TFileLockScope scope(*this);
        if (SeekFile(0, BlobHeaderSize) != BlobHeaderSize) RaiseTable(DBE_WRITEERR);
        TruncateFile();
    }
    if (ForceBufferFlush()) FlushFile();
    Header.Version = BlobFileVersion;
    Header.NextBlockNo = 1;
    Header.FirstFreeBlock = 0;
    Header.HeaderModified = 1;
    ForgetFreeBlocks();
}

void TBlobFile::CheckVersion() {
    if (Header.Version != BlobFileVersion) RaiseTable(DBE_OLDVERSION);
}

void TBlobFile::CheckHeader() {
    CheckVersion();
    // A block count below 0 or past the block limit cannot come from this engine.
    if (Header.NextBlockNo < 1 || Header.NextBlockNo > MaxBlobBlockNo + 1) RaiseTable(DBE_HEADERCORRUPT);
    if (!IsFreeBlockValid(Header.FirstFreeBlock)) RaiseTable(DBE_HEADERCORRUPT);
    // Blocks are written before the header that counts them, so a header counting blocks past
    // the end of the file is damaged; appending behind it would grow the file by the gap.
    if (IsOpen && GetFileSize() < int64_t(BlobHeaderSize) + int64_t(BlockCount()) * BlockSize)
        RaiseTable(DBE_HEADERCORRUPT);
}

bool TBlobFile::IsFreeBlockValid(int32_t blockNo) const {
    if (Header.NextBlockNo == 1) return blockNo == 0;
    return blockNo >= 0 && blockNo <= BlockCount();
}

void TBlobFile::ReceiveHeader(const uint8_t* image) {
    Header = TBlobHeader::Decode(image);
    ForgetFreeBlocks();
}

int32_t TBlobFile::NewBlockNumber() const {
    return Header.FirstFreeBlock != 0 ? Header.FirstFreeBlock : Header.NextBlockNo;
}

void TBlobFile::SetFirstFreeBlock(int32_t blockNo) {
    if (Header.FirstFreeBlock != blockNo) ForgetFreeBlocks();
    StoreFirstFree(blockNo);
}

void TBlobFile::StoreFirstFree(int32_t blockNo) {
    if (Header.FirstFreeBlock == blockNo) return;
    Header.FirstFreeBlock = blockNo;
    Header.HeaderModified = 1;
}

void TBlobFile::ForgetFreeBlocks() {
    FreeBlocks.clear();
    FreeBlocksKnown = false;
}

int32_t TBlobFile::StoredNextBlock(int32_t blockNo) {
    if (TBlock* b = FindCached(blockNo)) return b->NextBlock();
    uint8_t bytes[BlockHeaderSize];
    ReadAt(int64_t(BlobHeaderSize) + int64_t(blockNo - 1) * BlockSize, bytes, BlockHeaderSize);
    if (Encrypted) UnscrambleBuffer(bytes, BlockHeaderSize, BlobSeed1, BlobSeed2);
    return TBlockHeader::Decode(bytes).NextBlock;
}

void TBlobFile::LearnFreeBlocks() {
    if (FreeBlocksKnown) return;
    FreeBlocks.clear();
    // Every step takes a new block number within the count, so the walk ends.
    for (int32_t no = Header.FirstFreeBlock; no != 0; no = StoredNextBlock(no)) {
        if (no < 1 || no > BlockCount() || !FreeBlocks.insert(no).second) {
            FreeBlocks.clear();
            RaiseTable(DBE_MEMOCORRUPT);
        }
    }
    FreeBlocksKnown = true;
}

// ---- TBlobFile: the cache lists ----

void TBlobFile::LinkFront(TBlock* b) {
    b->LessRecent = MostRecent;
    b->MoreRecent = nullptr;
    if (MostRecent != nullptr) MostRecent->MoreRecent = b;
    MostRecent = b;
    if (LeastRecent == nullptr) LeastRecent = b;
}

void TBlobFile::Unlink(TBlock* b) {
    if (b->MoreRecent != nullptr)
        b->MoreRecent->LessRecent = b->LessRecent;
    else if (MostRecent == b)
        MostRecent = b->LessRecent;
    if (b->LessRecent != nullptr)
        b->LessRecent->MoreRecent = b->MoreRecent;
    else if (LeastRecent == b)
        LeastRecent = b->MoreRecent;
    b->MoreRecent = b->LessRecent = nullptr;
}

TBlock* TBlobFile::FindCached(int32_t blockNo) const {
    auto it = std::lower_bound(Sorted.begin(), Sorted.end(), blockNo,
                               [](const std::unique_ptr<TBlock>& b, int32_t no) { return b->BlockNo < no; });
    return it != Sorted.end() && (*it)->BlockNo == blockNo ? it->get() : nullptr;
}

TBlock* TBlobFile::Lookup(int32_t blockNo) {
    TBlock* found = nullptr;
    TBlock* b = MostRecent;
    for (int i = 0; i < RecentScan && b != nullptr; ++i, b = b->LessRecent) {
        if (b->BlockNo == blockNo) {
            found = b;
            break;
        }
    }
    if (found == nullptr) found = FindCached(blockNo);
    if (found != nullptr && found != MostRecent) {
        Unlink(found);
        LinkFront(found);
    }
    return found;
}

std::unique_ptr<TBlock> TBlobFile::RemoveSorted(TBlock* block) {
    auto it = std::lower_bound(Sorted.begin(), Sorted.end(), block->BlockNo,
                               [](const std::unique_ptr<TBlock>& b, int32_t no) { return b->BlockNo < no; });
    if (it == Sorted.end() || it->get() != block) RaiseTable(DBE_MEMOCORRUPT);
    std::unique_ptr<TBlock> owned = std::move(*it);
    Sorted.erase(it);
    UnlistCandidate(block);
    return owned;
}

void TBlobFile::ListCandidate(TBlock* block) {
    if (block->CandidateSlot >= 0) return;
    block->CandidateSlot = static_cast<int32_t>(WriteCandidates.size());
    WriteCandidates.push_back(block);
}

void TBlobFile::UnlistCandidate(TBlock* block) {
    if (block->CandidateSlot < 0) return;
    size_t slot = static_cast<size_t>(block->CandidateSlot);
    TBlock* last = WriteCandidates.back();
    WriteCandidates[slot] = last;
    last->CandidateSlot = static_cast<int32_t>(slot);
    WriteCandidates.pop_back();
    block->CandidateSlot = -1;
}

TBlock* TBlobFile::InsertSorted(std::unique_ptr<TBlock> block) {
    auto it = std::lower_bound(Sorted.begin(), Sorted.end(), block->BlockNo,
                               [](const std::unique_ptr<TBlock>& b, int32_t no) { return b->BlockNo < no; });
    if (it != Sorted.end() && (*it)->BlockNo == block->BlockNo) {
        Unlink(block.get());
        RaiseTable(DBE_MEMOCORRUPT);
    }
    TBlock* raw = block.get();
    Sorted.insert(it, std::move(block));
    return raw;
}

TBlock* TBlobFile::FindRecyclable() const {
    for (TBlock* b = LeastRecent; b != nullptr; b = b->MoreRecent)
        if (b->Dirty == 0 && b->RefCount == 0) return b;
    return nullptr;
}

std::unique_ptr<TBlock> TBlobFile::ObtainBlock(int32_t blockNo) {
    std::unique_ptr<TBlock> b;
    if (static_cast<int64_t>(Sorted.size()) < Capacity) {
        b = Pool.Take(this, BlockDataSize());
    } else {
        TBlock* victim = FindRecyclable();
        if (victim == nullptr && !TransactionLocked() && !Changing) {
            WriteDirtyBlocks();
            victim = FindRecyclable();
        }
        if (victim != nullptr) {
            b = RemoveSorted(victim);
            Unlink(victim);
        } else {
            Capacity += CacheGrowth;
            b = Pool.Take(this, BlockDataSize());
        }
    }
    b->Reset();
    b->RefCount = 0;
    b->BlockNo = blockNo;
    LinkFront(b.get());
    return b;
}

// ---- TBlobFile: getting, reading and writing blocks ----

bool TBlobFile::GetBlock(TBlockFetchClient* cursor, int32_t blockNo, TBlock*& block, int32_t readCount,
                         bool readAhead) {
    block = nullptr;
    // Block 0 does not exist; a number past the next one can only come from a damaged link.
    if (blockNo <= 0 || blockNo > Header.NextBlockNo) RaiseTable(DBE_MEMOCORRUPT);
    if (blockNo == Header.NextBlockNo) {
        int64_t end = int64_t(BlobHeaderSize) + int64_t(Header.NextBlockNo) * BlockSize;
        if (Header.NextBlockNo > MaxBlobBlockNo || end > MaxBlobFileSize) RaiseTable(DBE_TABLEFULL);
        TBlock* b = InsertSorted(ObtainBlock(blockNo));
        ++Header.NextBlockNo;
        Header.HeaderModified = 1;
        ++b->RefCount;
        block = b;
        return true;
    }
    TBlock* b = Lookup(blockNo);
    if (b == nullptr) {
        if (cursor != nullptr && !StrictChangeDetection() && cursor->SyncBeforeRead()) return false;
        int32_t count = 1;
        if (readAhead)
            count = std::max(1, std::min({BlocksPerRead, readCount, Header.NextBlockNo - blockNo}));
        ReadBlocks(blockNo, count);
        b = Lookup(blockNo);
    }
    if (b == nullptr || b->BlockNo != blockNo) RaiseTable(DBE_MEMOCORRUPT);
    ++b->RefCount;
    block = b;
    return true;
}

void TBlobFile::ReleaseBlock(TBlock* block) {
    if (block == nullptr) return;
    if (block->RefCount > 0) --block->RefCount;
    if (block->Detached && block->RefCount == 0) {
        auto it = std::find_if(DetachedBlocks.begin(), DetachedBlocks.end(),
                               [&](const std::unique_ptr<TBlock>& b) { return b.get() == block; });
        if (it != DetachedBlocks.end()) DetachedBlocks.erase(it);
    }
}

void TBlobFile::ReadBlocks(int32_t firstNo, int32_t count) {
    int64_t position = int64_t(BlobHeaderSize) + int64_t(firstNo - 1) * BlockSize;
    int64_t length = int64_t(count) * BlockSize;
    EnsureBufferSize(length, BufferGranularity, ReadBuf, ReadBufCapacity);
    ReadWindowPos = position;
    ReadWindowLen = length;
    try {
        uint32_t got = ReadAt(position, ReadBuf.get(), static_cast<uint32_t>(length), true);
        // Blocks this process appended may not be on disk yet; only a holder that nobody else
        // can write beside may take a short read for that.
        if (got < length && !((Exclusive || TransactionLocked()) && FilesWrittenFlag()))
            RaiseTable(DBE_READERR);
        int32_t whole = static_cast<int32_t>(got / BlockSize);
        for (int32_t i = whole - 1; i >= 0; --i) {
            const uint8_t* bytes = ReadBuf.get() + int64_t(i) * BlockSize;
            int32_t no = firstNo + i;
            TBlock* b = FindCached(no);
            if (b != nullptr) {
                if (b->Dirty == 0 && b->RefCount == 0) b->Decode(bytes, Encrypted);
                if (b != MostRecent) {
                    Unlink(b);
                    LinkFront(b);
                }
            } else {
                std::unique_ptr<TBlock> fresh = ObtainBlock(no);
                fresh->Decode(bytes, Encrypted);
                InsertSorted(std::move(fresh));
            }
        }
    } catch (...) {
        ReadWindowPos = ReadWindowLen = 0;
        throw;
    }
    ReadWindowPos = ReadWindowLen = 0;
}

bool TBlobFile::WriteDirtyBlocks() {
    std::vector<TBlock*>& dirty = DueBlocks;
    dirty.clear();
    for (TBlock* b : WriteCandidates) {
        if (b->Dirty == 0 || b->RefCount != 0) continue;
        int64_t position = int64_t(BlobHeaderSize) + int64_t(b->BlockNo - 1) * BlockSize;
        if (ReadWindowLen > 0 && position < ReadWindowPos + ReadWindowLen &&
            position + BlockSize > ReadWindowPos)
            continue;
        dirty.push_back(b);
    }
    if (dirty.empty()) {
        ForgetCleanCandidates();
        return false;
    }
    std::sort(dirty.begin(), dirty.end(),
              [](const TBlock* a, const TBlock* b) { return a->BlockNo < b->BlockNo; });
    size_t i = 0;
    while (i < dirty.size()) {
        size_t j = i + 1;
        while (j < dirty.size() && dirty[j]->BlockNo == dirty[j - 1]->BlockNo + 1) ++j;
        int64_t length = int64_t(j - i) * BlockSize;
        EnsureBufferSize(length, BufferGranularity, WriteBuf, WriteBufCapacity);
        for (size_t k = i; k < j; ++k)
            dirty[k]->Encode(WriteBuf.get() + int64_t(k - i) * BlockSize, Encrypted);
        if (Changing) WrittenWhileChanging = true;
        WriteAt(int64_t(BlobHeaderSize) + int64_t(dirty[i]->BlockNo - 1) * BlockSize, WriteBuf.get(),
                static_cast<uint32_t>(length));
        MarkFilesWritten();
        i = j;
    }
    ForgetCleanCandidates();
    return true;
}

void TBlobFile::ForgetCleanCandidates() {
    // Only blocks still dirty or held can need a later write.
    for (size_t k = 0; k < WriteCandidates.size();) {
        TBlock* b = WriteCandidates[k];
        if (b->Dirty != 0 || b->RefCount != 0)
            ++k;
        else
            UnlistCandidate(b);
    }
}

bool TBlobFile::DropOneBlock() {
    TBlock* victim = FindRecyclable();
    if (victim == nullptr && !Changing) {
        WriteDirtyBlocks();
        victim = FindRecyclable();
    }
    if (victim == nullptr) return false;
    std::unique_ptr<TBlock> owned = RemoveSorted(victim);
    Unlink(victim);
    Pool.Return(std::move(owned));
    return true;
}

void TBlobFile::TrimCache() {
    int32_t limit = CacheLimit();
    while (static_cast<int64_t>(Sorted.size()) > limit)
        if (!DropOneBlock()) break;
    Capacity = std::max(static_cast<int32_t>(Sorted.size()), limit);
}

void TBlobFile::DropAllBlocks() {
    for (TBlock* b : WriteCandidates) b->CandidateSlot = -1;
    WriteCandidates.clear();
    for (auto& b : Sorted) {
        b->MoreRecent = b->LessRecent = nullptr;
        if (b->RefCount > 0) {
            // A holder still points at it: keep it alive, out of the cache, until released.
            b->Detached = true;
            DetachedBlocks.push_back(std::move(b));
        } else {
            Pool.Return(std::move(b));
        }
    }
    Sorted.clear();
    MostRecent = LeastRecent = nullptr;
    ForgetFreeBlocks();  // links changed in dropped blocks are gone
}

// ---- TBlobFile: allocation ----

TBlock* TBlobFile::AllocateBlock(TBlockFetchClient* cursor) {
    TBlock* b = nullptr;
    do {
        if (!IsFreeBlockValid(Header.FirstFreeBlock)) RaiseTable(DBE_MEMOCORRUPT);
        // Knowing the whole free chain catches a chain that loops back into blocks in use.
        if (Header.FirstFreeBlock != 0) LearnFreeBlocks();
    } while (!GetBlock(cursor, NewBlockNumber(), b, 1, false));
    if (Header.FirstFreeBlock != 0) {
        // A free block must not be in use, and its link must lead to another free block.
        if (b->RefCount > 1 || !FreeBlocksKnown || FreeBlocks.erase(b->BlockNo) == 0 ||
            b->NextBlock() == b->BlockNo || !IsFreeBlockValid(b->NextBlock())) {
            ReleaseBlock(b);
            ForgetFreeBlocks();
            RaiseTable(DBE_MEMOCORRUPT);
        }
        StoreFirstFree(b->NextBlock());
    }
    if (Changing) NoteChange(b);
    b->Reset();
    return b;
}

void TBlobFile::FreeBlock(TBlock* block) {
    if (FreeBlocksKnown && FreeBlocks.count(block->BlockNo) != 0) RaiseTable(DBE_MEMOCORRUPT);
    block->SetNextBlock(NewBlockNumber() == Header.NextBlockNo ? 0 : Header.FirstFreeBlock);
    StoreFirstFree(block->BlockNo);
    if (FreeBlocksKnown) FreeBlocks.insert(block->BlockNo);
}

// ---- TBlobFile: taking changes back ----

void TBlobFile::BeginChanges() {
    HeaderBefore = Header;
    ImagesBefore.clear();
    Noted.clear();
    WrittenWhileChanging = false;
    Changing = true;
}

void TBlobFile::EndChanges() {
    Changing = false;
    ImagesBefore.clear();
    Noted.clear();
}

void TBlobFile::NoteChange(TBlock* block) {
    // Blocks appended since the start did not exist: taking back drops them whole.
    if (block->BlockNo >= HeaderBefore.NextBlockNo) return;
    if (Noted.insert(block->BlockNo).second) ImagesBefore.push_back(block->Snapshot());
}

void TBlobFile::DiscardBlock(TBlock* block) {
    Unlink(block);
    std::unique_ptr<TBlock> owned = RemoveSorted(block);
    if (owned->RefCount > 0) {
        owned->Detached = true;
        DetachedBlocks.push_back(std::move(owned));
    } else {
        Pool.Return(std::move(owned));
    }
}

void TBlobFile::TakeBackChanges() {
    if (!Changing) return;
    Changing = false;
    // Nothing was written since the start, so a changed block is still cached (dirty blocks are
    // never recycled) or, when it left the cache clean, the file holds its old bytes.
    // A flush that failed part way may have written some of it: then the old images go out
    // again with the next flush.
    for (const TBlock::TImage& image : ImagesBefore)
        if (TBlock* b = FindCached(image.BlockNo)) {
            b->Restore(image);
            if (WrittenWhileChanging) b->Dirty = 1;
            ListCandidate(b);
        }
    std::vector<TBlock*> appended;
    for (const auto& b : Sorted)
        if (b->BlockNo >= HeaderBefore.NextBlockNo) appended.push_back(b.get());
    for (TBlock* b : appended) DiscardBlock(b);
    // The change counter only ever grows: other processes compare it.
    int32_t changeCount = Header.ChangeCount;
    Header = HeaderBefore;
    if (changeCount != HeaderBefore.ChangeCount || WrittenWhileChanging) Header.HeaderModified = 1;
    Header.ChangeCount = changeCount;
    ImagesBefore.clear();
    Noted.clear();
    ForgetFreeBlocks();
}

// ---- TBlobFile: locks ----

bool TBlobFile::LockExclusive() {
    for (int attempt = 0; attempt <= BlobLockRetries; ++attempt) {
        if (attempt > 0) framework::Sleep(BlobLockPauseMs);
        if (LockFileRange(true, BlobExclusiveLockOffset, BlobExclusiveLockLength)) return true;
    }
    return false;
}

bool TBlobFile::UnlockExclusive() {
    return LockFileRange(false, BlobExclusiveLockOffset, BlobExclusiveLockLength);
}

bool TBlobFile::LockShared(uint16_t& slot) {
    for (int attempt = 0; attempt <= BlobLockRetries; ++attempt) {
        if (attempt > 0) framework::Sleep(BlobLockPauseMs);
        int32_t drawn = framework::Random(65536);
        uint16_t s = static_cast<uint16_t>(drawn == 0 ? 1 : drawn);
        if (LockFileRange(true, BlobSharedLockBase - s, 1)) {
            slot = s;
            return true;
        }
    }
    return false;
}

bool TBlobFile::UnlockShared(uint16_t slot) {
    return LockFileRange(false, BlobSharedLockBase - slot, 1);
}

}  // namespace dbengine
