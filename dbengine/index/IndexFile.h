#pragma once
// The index file of a table: a 4096-byte header with 33 index descriptors, followed by
// 4096-byte pages shared by every index of the table.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/data/FieldDescriptor.h"
#include "dbengine/index/Page.h"
#include "dbengine/os/FileHandler.h"
#include "dbengine/session/EngineError.h"

namespace dbengine {

class TDataTable;
class TDataFile;

constexpr size_t IndexPageSize = 4096;
constexpr size_t IndexHeaderSize = 4096;
constexpr size_t IndexDescriptorSize = 120;
constexpr uint8_t IndexFileVersion = 5;
constexpr int MaxSecondaryIndexes = 30;
constexpr int MaxIndexFields = 16;
// Index numbers.
constexpr int PrimaryIndexNo = 0;
constexpr int SysDeletedIndexNo = 31;
constexpr int SysTextIndexNo = 32;
constexpr int IndexDescriptorCount = 33;
constexpr int NaturalOrderIndexNo = 255;
// Page appends stop at 2,000,000,000 pages or a file of 4,000,000,000 bytes.
constexpr int64_t MaxIndexPageNo = 2000000000LL;
constexpr int64_t MaxIndexFileSize = 4000000000LL;
// Table-wide locks in the index file: the write range covers every read slot byte.
constexpr int64_t IndexWriteLockOffset = 0xFFFEFFFFLL;
constexpr int64_t IndexWriteLockLength = 65536;
constexpr int64_t IndexReadSlotBase = 0xFFFFFFFFLL;
// The most bytes the fields of one key take (flags and values).
constexpr int MaxKeyPartSize = 522;

struct TIndexDescriptor {
    std::string Name;
    uint16_t KeySize = 0;
    uint8_t Descending = 0;
    uint8_t CaseInsensitive = 0;
    uint8_t Unique = 0;
    uint8_t Compression = 0;  // 0 none, 1 shared leading bytes, 2 trailing zeros dropped, 3 both
    uint8_t FieldCount = 0;
    std::array<uint8_t, MaxIndexFields> FieldDescending{};
    std::array<uint16_t, MaxIndexFields> FieldNumbers{};
    int32_t RootPage = 0;
    int32_t FreePage = 0;
    uint8_t Byte94 = 0;
    uint8_t RemoveMark = 0;
    int32_t DataRootPage = 0;
    uint8_t NoCounts = 0;
    uint8_t Temporary = 0;
    std::array<uint8_t, 18> Reserved{};

    std::array<uint8_t, IndexDescriptorSize> Encode() const;
    static TIndexDescriptor Decode(const uint8_t* bytes);
};

struct TIndexHeader {
    int32_t ChangeCount = 0;
    std::array<uint8_t, 4> Reserved4{};
    uint8_t Version = 0;
    int32_t NextPageNo = 0;
    uint8_t IndexCount = 0;
    std::array<TIndexDescriptor, IndexDescriptorCount> Descriptors;
    int32_t RecordCount = 0;
    uint8_t InternalPrimaryIndex = 0;
    uint8_t HeaderModified = 0;

    std::array<uint8_t, IndexHeaderSize> Encode() const;
    static TIndexHeader Decode(const uint8_t* bytes);
};

// What a page fetch asks of the cursor it serves; the cursor implements it.
class TPageFetchClient {
public:
    virtual ~TPageFetchClient() = default;
    // The cursor's current index, whose pages are fetched.
    virtual int CurrentIndex() const = 0;
    // Whether another process changed the table (the cursor then restarts its walk).
    virtual bool TableChanged() = 0;
};

// The parameters of the full-text index kept in the "Sys Text" parameter chain.
struct TTextParameters {
    std::vector<std::string> StopWords;
    std::array<uint8_t, 32> SpaceChars{};  // bit c of byte c div 8 for character code c
    std::array<uint8_t, 32> IncludeChars{};
};

class TIndexFile : public TFileHandler {
public:
    explicit TIndexFile(TDataTable* table) : Table(table) {}
    ~TIndexFile() override;

    void CreateIndexFile();
    void OpenFile() override;
    void CloseFile() override;
    void ReadHeader();
    bool ReloadHeaderIfChanged();
    bool WriteHeader(bool force);
    void MarkHeaderChanged();
    void EmptyIndexFile();
    void CheckVersion();
    // The header against the table's fields: 12035 for the version, 8961 for anything else.
    void CheckHeader();
    // 0, or a page of the file (1 .. NextPageNo - 1).
    bool IsValidPageNumber(int32_t page) const {
        return page == 0 || (page >= 1 && page < Header.NextPageNo);
    }

    void SetPrimaryIndexDesc(const TIndexDescriptor& desc);
    void AddIndexDesc(const TIndexDescriptor& desc);
    void ReplaceIndexDesc(int index, const TIndexDescriptor& desc);
    void RenameIndexDesc(int index, const TIndexDescriptor& desc);
    void RemoveIndexDesc(int index, bool remove);
    void DropTemporaryIndexes();
    static void ClearIndexDesc(TIndexDescriptor& desc) { desc = TIndexDescriptor{}; }
    TIndexDescriptor GetIndexDesc(int index) const { return Header.Descriptors.at(index); }
    std::array<uint16_t, MaxIndexFields> GetIndexFields(int index) const {
        return Header.Descriptors.at(index).FieldNumbers;
    }
    bool IndexNameExists(const std::string& name) const;
    void SetInternalPrimaryIndex(bool flag);

    // The page number the next page of the index is appended at, and the append itself
    // (9479 past the file's limits). A temporary index counts its own pages.
    int32_t NextPageNo(int index) const;
    int32_t AppendPageNo(int index);
    int32_t PageCount() const { return Header.NextPageNo - 1; }
    TFileHandler* TemporaryFile() { return TempFile.get(); }

    void SetRecordCount(int32_t n);
    void AddRecordCount(int32_t delta);
    void SetRootPage(int index, int32_t page);
    void SetFreePage(int index, int32_t page);
    void SetDataRootPage(int index, int32_t page);

    // Pages: scrambled in place for an encrypted table (4096 bytes), and the page error.
    void ScramblePage(uint8_t* bytes) const;
    void UnscramblePage(uint8_t* bytes) const;
    [[noreturn]] void RaisePageError() const { RaiseTable(DBE_INDEXCORRUPT); }

    // ---- Page cache: per index a sorted list and a recency chain ----

    // The page pinned; false with no page when another process changed the table.
    bool GetPage(TPageFetchClient* cursor, int32_t pageNo, bool newPage, TPage*& page);
    void ReleasePage(TPage* page);
    bool GetRootPage(TPageFetchClient* cursor, TPage*& page, bool& changed);
    bool GetDataRootPage(TPageFetchClient* cursor, TPage*& page, bool& changed);
    bool FlushPages(bool temporary);
    void DropPages(bool temporary);
    void TrimCache();
    // A page for the cursor's index from its free chain or appended, reset and pinned.
    bool AllocatePage(TPageFetchClient* cursor, TPage*& page);
    // Puts a page at the head of the index's free chain.
    void FreePage(TPageFetchClient* cursor, TPage* page);
    size_t CachedPageCount(int index) const { return Caches.at(index).Pages.size(); }
    size_t PageCacheCapacity(int index) const { return Caches.at(index).Capacity; }
    TPage* FindCachedPage(int index, int32_t pageNo) const;

    // The full-text parameters: false when the index keeps the defaults (no chain).
    bool ReadTextParameters(TPageFetchClient* cursor, TTextParameters& params);
    void WriteTextParameters(TPageFetchClient* cursor, const TTextParameters& params);

    bool LockForWrite();
    bool UnlockForWrite();
    bool LockForRead(int32_t& slot);
    bool UnlockForRead(int32_t slot);
    int32_t LockAttempts = 32767;

    TDataTable* Table;
    // The table's data file: its fields (for the index field checks) and its encryption.
    const TDataFile* Fields = nullptr;
    TIndexHeader Header;

private:
    [[noreturn]] void RaiseTable(TEngineErrorCode code, const std::string& field = {},
                                 const std::string& index = {}) const;
    bool Encrypted() const;
    void CheckIndexFields(const TIndexDescriptor& desc, const std::string& indexName) const;

    struct TPageList {
        std::vector<std::unique_ptr<TPage>> Pages;  // sorted by page number
        size_t Capacity = 0;
        TPage* Head = nullptr;  // most recently used
        TPage* Tail = nullptr;
    };
    size_t PagesPerIndex() const;
    void ResetPageCaches();
    bool IndexIsTemporary(int index) const;
    TFileHandler& PageFile(int index);
    std::unique_ptr<TPage> ObtainPage(int index, int32_t pageNo);
    TPage* TakeRecyclable(TPageList& list);
    void InsertPage(int index, std::unique_ptr<TPage> page);
    std::unique_ptr<TPage> RemovePage(int index, TPage* page);
    void LinkHead(TPageList& list, TPage* page);
    void UnlinkPage(TPageList& list, TPage* page);
    void ReadPage(int index, int32_t pageNo, bool newPage);
    void SetPageSettings(int index, TPage& page) const;

    std::unique_ptr<TFileHandler> TempFile;
    int32_t TempNextPageNo = 1;
    std::array<TPageList, IndexDescriptorCount> Caches;
    TPageStack PagePool{this};
    std::vector<uint8_t> PageBuffer;
};

}  // namespace dbengine
