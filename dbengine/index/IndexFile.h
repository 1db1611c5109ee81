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
    // Writes the pages held back first (below); a failure to write them raises and keeps the
    // file open.
    void CloseFile() override;
    void DeleteFile() override;
    void CopyToFile(const std::string& destName, bool compress, uint16_t progressStep,
                    const TCopyProgressCallback& callback, void* callbackData) override;
    void CopyFromFile(const std::string& sourceName, bool compress, uint16_t progressStep,
                      const TCopyProgressCallback& callback, void* callbackData) override;
    // Pages held back at or past the new end go with the bytes the file loses.
    void TruncateFile() override;
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

    // An exclusive table's changed pages that the cache gives up are held back in memory, as they
    // are, instead of being written at once: nobody else reads the file meanwhile. A fetch takes
    // such a page back; every flush of the main file's pages, the close and the copies write them
    // first, so the file's bytes after a flush are the same as when each page was written as it
    // left the cache. Past MaxHeldBackBytes the least recently held quarter is written, in runs
    // of adjacent pages. Nothing is held back while the table holds its transaction lock.
    // DropPages (false) drops them with the cached changes: neither was written.
    size_t HeldBackPageCount() const { return HeldBack.List.size(); }
    int64_t HeldBackBytes() const { return HeldBackMemory; }
    static constexpr int64_t MaxHeldBackBytes = 16LL << 20;

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
        // Pages the capacity grew by while every cached page was pinned; given back once the
        // pages are released.
        int Grown = 0;
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
    // A page held back before is placed as given, keeping its entries and its Dirty flag.
    TPage* ObtainPage(uint8_t index, int32_t pageNo, std::unique_ptr<TPage> given = nullptr);
    TPage* FindVictim(TPageCache& cache);
    // The least recently used page of the cache that is not pinned, dirty or not.
    TPage* FindUnpinned(TPageCache& cache);
    // After the capacity grew, gives up unpinned pages (clean ones, or changed ones an exclusive
    // table holds back) until the cache is within its own size again, or none is left to give.
    void GiveBackGrowth(uint8_t index);
    // Counts what the page holds now in CachedBytes.
    void CountPageBytes(TPage* page);
    void UncountPageBytes(TPage* page);
    // While the cached pages hold more than the budget, gives up the least recently used clean
    // page of the index with the most pages (above two); stops when there is none.
    void KeepWithinBudget();
    void ReadPage(uint8_t index, int32_t pageNo, bool newPage, TPage*& page);
    // Takes the page out of the cache of `index` (its entry, its bytes, its recency link and its
    // place among the write candidates) and hands over the object.
    std::unique_ptr<TPage> TakeFromList(uint8_t index, TPage* page);
    void RemoveFromList(uint8_t index, TPage* page);
    void DropIndexPages(uint8_t index);
    // Whether the main file's changed pages may be held back rather than written now.
    bool HoldsBackWrites() const;
    // Moves a dirty, unpinned page of a main-file index from the cache into HeldBack, writing
    // the oldest held pages when they grow past their limit.
    void HoldBack(uint8_t index, TPage* page);
    // The held-back page of that number, taken out of HeldBack; null when there is none.
    std::unique_ptr<TPage> TakeHeldBack(int32_t pageNo);
    // Writes the given held-back pages (all of them when null) in runs of adjacent pages and
    // gives them up; a page whose write failed stays held. True when something was written.
    bool WriteHeldBack(const std::vector<TPage*>* only = nullptr);
    void DropHeldBack();
    // Writes the pages, sorted by number, in runs of adjacent numbers, one write per run; each
    // page's SaveToBuffer fills its slot. written(k) follows the write of the k-th page's run;
    // on a failed write the pages of that run and after it are left dirty.
    template <typename Written>
    void WritePageRuns(TFileHandler& file, const std::vector<TPage*>& pages, Written written);
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
    // Held-back pages by number, on their own recency chain; the memory they hold.
    TPageCache HeldBack;
    int64_t HeldBackMemory = 0;
};

}  // namespace dbengine
