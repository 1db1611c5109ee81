#pragma once
// The index file (".IDX") of one shared table: its header image with the index descriptors, the
// page cache per index, page allocation with per-index free chains, temporary indexes in a
// separate temporary file, and the table-wide byte-range locks that live in this file.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "dbengine/data/FieldDescriptor.h"
#include "dbengine/file/FileHandler.h"
#include "dbengine/file/TableFileOwner.h"
#include "dbengine/index/IndexFormat.h"
#include "dbengine/index/Page.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/VerifyLog.h"

namespace dbengine {

class TIndexCursor;

// What the index file needs of the shared table that owns it, beyond what every file of it needs.
class TIndexFileOwner : public TTableFileOwner {
public:
    // The table field of that number, or null.
    virtual const TFieldDescriptor* FindField(uint16_t fieldNo) = 0;
};

class TIndexFile : public TFileHandler {
public:
    explicit TIndexFile(TIndexFileOwner* owner);
    ~TIndexFile() override;

    // ---- File and header ----
    void CreateIndexFile();
    void OpenFile() override;
    void CloseFile() override;
    void ReadHeader();
    bool ReloadHeaderIfChanged();
    bool WriteHeader(bool force);
    void MarkHeaderChanged();
    void EmptyIndexFile();
    void CheckVersion();
    void CheckHeader();
    // Walks the header rules, logging each problem through the cursor; unless verifyOnly, fixes
    // the header image (written by the caller later) and drops descriptors that cannot be kept.
    // True when nothing was found.
    bool VerifyHeader(TVerifyLog& log, bool verifyOnly);
    static bool IsValidPageNumber(int32_t page, int32_t nextPageNo);

    // ---- Descriptors ----
    void SetPrimaryIndexDesc(const TIndexDescriptor& desc);
    void AddIndexDesc(const TIndexDescriptor& desc);
    void ReplaceIndexDesc(uint8_t index, const TIndexDescriptor& desc);
    void RenameIndexDesc(uint8_t index, const TIndexDescriptor& desc);
    void RemoveIndexDesc(uint8_t index, bool remove);
    void DropTemporaryIndexes();
    static void ClearIndexDesc(TIndexDescriptor& desc);
    TIndexDescriptor GetIndexDesc(uint8_t index) const;
    std::array<uint16_t, MaxIndexFields> GetIndexFields(uint8_t index) const;
    bool IndexNameExists(const std::string& name) const;
    void SetInternalPrimaryIndex(bool flag);

    // ---- Pages ----
    TPage* AllocatePage(TIndexCursor& cursor);
    void FreePage(TIndexCursor& cursor, TPage& page);
    // False with no page when another process changed the table (the caller starts again).
    bool GetPage(TIndexCursor& cursor, int32_t pageNo, bool newPage, TPage*& page);
    void ReleasePage(TPage* page);
    // A page of the index, pinned, without asking about other processes' changes: for the tree
    // work of a writer, which holds the write lock.
    TPage* FetchPage(uint8_t index, int32_t pageNo);
    bool GetRootPage(TIndexCursor& cursor, TPage*& page, bool& changed);
    bool GetDataRootPage(TIndexCursor& cursor, TPage*& page, bool& changed);
    bool FlushPages(bool temporary);
    void DropPages(bool temporary);
    void TrimCache();
    std::unique_ptr<TPage> TakePageObject() { return PagePool.Take(); }
    void ReturnPageObject(std::unique_ptr<TPage>& page) { PagePool.Give(page); }

    // ---- Table-wide locks between processes ----
    bool LockForWrite();
    bool UnlockForWrite();
    bool LockForRead(uint16_t& slot);
    bool UnlockForRead(uint16_t slot);
    static constexpr int64_t WriteLockOffset = 0xFFFEFFFFLL;
    static constexpr int64_t WriteLockLength = 65536;
    static constexpr int64_t ReadLockBase = 0xFFFFFFFFLL;
    static constexpr int LockAttempts = 32767;
    static constexpr uint32_t LockRetryMs = 3;

    // ---- Accessors ----
    int32_t GetChangeCount() const { return Header.ChangeCount; }
    int32_t GetRecordCount() const { return Header.RecordCount; }
    void SetRecordCount(int32_t count);
    void IncRecordCount();
    void DecRecordCount();
    uint8_t GetIndexCount() const { return Header.IndexCount; }
    void SetIndexCount(uint8_t count);
    bool GetInternalPrimaryIndex() const { return Header.InternalPrimaryIndex != 0; }
    int32_t GetRootPage(uint8_t index) const { return Desc(index).RootPage; }
    void SetRootPage(uint8_t index, int32_t page);
    int32_t GetFreePage(uint8_t index) const { return Desc(index).FreePage; }
    void SetFreePage(uint8_t index, int32_t page);
    int32_t GetDataRootPage(uint8_t index) const { return Desc(index).DataRootPage; }
    void SetDataRootPage(uint8_t index, int32_t page);
    int32_t GetNextPageNo(uint8_t index) const;
    void SetNextPageNo(uint8_t index, int32_t page);
    int32_t GetPageCount() const { return Header.NextPageNo - 1; }
    bool IsTemporaryIndex(uint8_t index) const {
        return index <= MaxSecondaryIndexes && Desc(index).Temporary;
    }
    std::string GetDatabaseName() const { return Owner->GetDatabaseName(); }
    std::string GetTableName() const { return Owner->GetTableName(); }
    [[noreturn]] void RaiseError(TEngineErrorCode code, std::string_view field = {},
                                 std::string_view index = {}) const;

    // Cache state of one index, for the table's statistics and for tests.
    size_t CachedPageCount(uint8_t index) const { return Caches[index].List.size(); }
    // The memory the cached pages of every index hold, and the most they may hold before a page
    // of the index with the most pages is given up for another: the larger of the session's
    // index and data buffer sizes. No index is brought below two pages by it.
    int64_t CachedPageBytes() const { return CachedBytes; }
    int64_t PageMemoryBudget() const;
    int CacheCapacity(uint8_t index) const { return Caches[index].Capacity; }
    bool IsCached(uint8_t index, int32_t pageNo) const;
    // The cached page, read neither from the file nor moved in the recency order; null when
    // the cache does not hold it.
    const TPage* CachedPage(uint8_t index, int32_t pageNo) const;
    TFileHandler* GetTempFile() const { return TempFile.get(); }

    // The table's scrambler over one 4096-byte run; nothing for a table that is not encrypted.
    void Scramble(uint8_t* buffer);
    void Unscramble(uint8_t* buffer);

    TIndexFileOwner* Owner;
    TIndexHeader Header;

private:
    struct TPageCache {
        // The cached pages by number; the recency chain orders them.
        std::unordered_map<int32_t, std::unique_ptr<TPage>> List;
        TPage* MruHead = nullptr;
        TPage* MruTail = nullptr;
        int Capacity = 2;
    };

    const TIndexDescriptor& Desc(uint8_t index) const;
    TIndexDescriptor& Desc(uint8_t index);
    const TEngineSettings* Settings() const;
    int DefaultCacheCapacity() const;
    TFileHandler& FileOf(uint8_t index);
    void CheckAppend(int32_t pageNo) const;
    TPage* FindCached(uint8_t index, int32_t pageNo);
    void MoveToHead(TPageCache& cache, TPage* page);
    void Unlink(TPageCache& cache, TPage* page);
    // Places a page object for pageNo, which is not cached, in the cache of `index` (giving up the
    // least recently used page that is neither dirty nor pinned when the cache is full) and
    // returns it, at the head of the recency chain.
    TPage* ObtainPage(uint8_t index, int32_t pageNo);
    TPage* FindVictim(TPageCache& cache);
    // Counts what the page holds now in CachedBytes.
    void CountPageBytes(TPage* page);
    void UncountPageBytes(TPage* page);
    // While the cached pages hold more than the budget, gives up the least recently used clean
    // page of the index with the most pages (above two); stops when there is none.
    void KeepWithinBudget();
    void ReadPage(uint8_t index, int32_t pageNo, bool newPage, TPage*& page);
    void RemoveFromList(uint8_t index, TPage* page);
    void DropIndexPages(uint8_t index);
    // Adds the page to WriteCandidates unless it is listed already.
    void ListCandidate(TPage* page);
    void UnlistCandidate(TPage* page);
    // Drops from WriteCandidates the pages that are neither dirty nor pinned.
    void ForgetCleanCandidates();
    // Debug and sanitizer builds: each write candidate knows its slot, every dirty or pinned cached
    // page is a candidate and stands under its own number, and all stand once on its recency chain.
    void CheckCaches() const;
    void DescriptorCheckFields(const TIndexDescriptor& desc, std::string_view indexName);
    void CreateTempFile();

    std::vector<uint8_t> ReadBuf;
    std::vector<uint8_t> WriteBuf;
    TPageStack PagePool;
    std::array<TPageCache, IndexDescriptorCount> Caches;
    // Every cached page handed out by GetPage since the last flush of its kind, and every page
    // still dirty or pinned after it. Pages are changed only while held, so a dirty page is always
    // listed here and a flush need not look at the rest of the cache.
    std::vector<TPage*> WriteCandidates;
    std::vector<TPage*> DuePages;  // scratch list of one flush
    std::unique_ptr<TFileHandler> TempFile;
    int32_t TempNextPageNo = 1;
    int64_t CachedBytes = 0;
};

}  // namespace dbengine
