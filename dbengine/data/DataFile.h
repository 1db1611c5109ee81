#pragma once
// The data file of a table: a 127-byte header, one 768-byte descriptor per field, then records
// of one fixed size. Record r (from 1) starts at 127 + FieldCount * 768 + (r - 1) * RecordSize.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dbengine/data/FieldDescriptor.h"
#include "dbengine/data/Record.h"
#include "dbengine/data/RecordSlots.h"
#include "dbengine/file/FileHandler.h"
#include "dbengine/file/TableFileOwner.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/VerifyLog.h"

namespace dbengine {

class TDataQuery;

// What a record fetch asks of the cursor it serves; the cursor implements it.
class TRecordFetchClient {
public:
    virtual ~TRecordFetchClient() = default;
    // Takes the table's short-term shared lock and re-reads changed headers; true when the table
    // had changed (the cursor has re-synchronised and the fetch starts over).
    virtual bool SyncBeforeRead() = 0;
    // How many of the records the cursor visits next in the direction, from r on, have
    // consecutive physical numbers; at most max.
    virtual int32_t CountConsecutiveRecords(int32_t r, int direction, int32_t max) = 0;
};

// Limits of a data file.
constexpr int32_t MaxRecordCount = 200000000;
constexpr int64_t MaxDataFileSize = 4000000000LL;
// Lock bytes at the top of the 32-bit range: the header's, and record r's at 0xFFFFFFFE - r.
constexpr int64_t HeaderLockOffset = 0xFFFFFFFFLL;
constexpr int64_t RecordLockBase = 0xFFFFFFFELL;
constexpr int64_t AllRecordLocksStart = 0xF4143DFDLL;
constexpr int64_t AllRecordLocksLength = 200000001LL;

// Scrambler seeds of an encrypted table's records and descriptors (its index pages use them too).
constexpr uint8_t DataSeed1 = 0x6B;
constexpr uint8_t DataSeed2 = 0x2F;

constexpr size_t DataHeaderSize = 127;
constexpr uint8_t DataFileVersion = 5;
// The engine version written by every header write: 3.24 as major * 10000 + minor * 100.
constexpr uint32_t EngineWriterVersion = 32400;
// The stored write time is the day number minus this (the day count of 30 December 1899 from
// the start of the calendar).
constexpr double StoredTimeBias = 693594.0;
constexpr uint16_t MaxFieldCount = 1024;
constexpr int16_t MaxBlobFieldCount = 128;
constexpr size_t MaxTableDescriptionLength = 50;
constexpr size_t MaxTablePasswordLength = 15;

// The header as stored; Description and Password hold the stored (scrambled when encrypted)
// characters.
struct TDataHeader {
    int32_t ChangeCount = 0;
    uint32_t BlobBlockSize = 0;  // low 16 bits used; 0 means 512
    uint8_t Version = 0;
    int32_t FirstFreeRecord = 0;
    int32_t NextRecordNo = 0;
    int32_t LastRecordId = 0;
    uint16_t RecordSize = 0;
    uint16_t FieldCount = 0;
    int16_t BlobFieldCount = 0;
    double LastWriteTime = 0;
    std::string Description;
    uint8_t Encrypted = 0;
    std::string Password;
    int16_t LanguageId = 0;
    uint16_t SortId = 0;
    int16_t UserMajorVersion = 0;
    int16_t UserMinorVersion = 0;
    uint8_t HeaderModified = 0;
    int32_t LastBlobStamp = 0;
    uint32_t WriterVersion = 0;
    uint32_t Reserved120 = 0;

    std::array<uint8_t, DataHeaderSize> Encode() const;
    static TDataHeader Decode(const uint8_t* bytes);
};

class TDataFile : public TFileHandler {
public:
    explicit TDataFile(TTableFileOwner* table) : Table(table) {}
    ~TDataFile() override;

    void OpenFile() override;
    void CloseFile() override;
    // Prepares header and descriptors in memory and creates the file; both reach the file with
    // the next WriteHeader and WriteDescriptors.
    void CreateDataFile(int16_t languageId, uint16_t sortId, int16_t userMajorVersion,
                        int16_t userMinorVersion, bool encrypted, const std::string& password,
                        const std::string& description, uint16_t blobBlockSize,
                        const std::vector<TFieldDescriptor>& descriptors);

    void ReadHeader();
    // True (and the new header taken) when another writer changed the header since it was read.
    bool ReloadHeaderIfChanged();
    // The change counter as the file holds it now, read without any lock (a torn read only
    // makes the caller look again under a lock).
    int32_t StoredChangeCount();
    bool WriteHeader(bool force);
    void MarkChanged();
    void ReadDescriptors();
    bool WriteDescriptors();
    // Drops every record: the file ends after the descriptors, numbering starts again.
    void EmptyFile();
    void CheckVersion();
    void CheckHeader();
    // Runs every header and descriptor check, logging each problem through the cursor; unless
    // verifyOnly, fixes what it can in memory (written with the next header and descriptor
    // writes) and cuts a partial record off the file. True when nothing was found.
    bool VerifyHeader(TVerifyLog& log, bool verifyOnly);
    void SetTableInfo(const std::string& password, const std::string& description, int32_t lastRecordId,
                      int16_t userMajorVersion, int16_t userMinorVersion);
    int32_t NextRecordId();
    void SetLastRecordId(int32_t value);
    int32_t NextBlobStamp();
    std::string GetDescription() const;
    std::string GetPassword() const;

    uint16_t FieldCount() const { return Header.FieldCount; }
    int16_t BlobFieldCount() const { return Header.BlobFieldCount; }
    int32_t LastRecordId() const { return Header.LastRecordId; }
    uint16_t RecordSize() const { return Header.RecordSize; }
    uint32_t BlobBlockSize() const;
    int16_t LanguageId() const { return Header.LanguageId; }
    uint16_t SortId() const { return Header.SortId; }
    int16_t UserMajorVersion() const { return Header.UserMajorVersion; }
    int16_t UserMinorVersion() const { return Header.UserMinorVersion; }
    bool Encrypted() const { return Header.Encrypted != 0; }
    int32_t RecordCount() const { return Header.NextRecordNo - 1; }
    std::array<uint8_t, DataHeaderSize> HeaderImage() const { return Header.Encode(); }
    // File offset of record r (from 1).
    int64_t RecordOffset(int32_t recordNo) const;

    // Descriptor lookups: by position (1..FieldCount), by field number, by name (ignoring case);
    // the copies found by number or name carry their Position. GetFieldPosition is 0 when absent.
    TFieldDescriptor GetFieldDescriptor(uint16_t position) const;
    bool FindFieldByNumber(int16_t fieldNo, TFieldDescriptor& out) const;
    bool FindFieldByName(const std::string& name, TFieldDescriptor& out) const;
    uint16_t GetFieldPosition(const std::string& name) const;
    void UpdateDescriptor(uint16_t position, const TFieldDescriptor& d);

    // ---- Record cache ----

    // The record r, pinned: from the cache, read (with read-ahead) or, for r = NextRecordNo,
    // appended as a zero record without reading. False (no record) when the cursor found the
    // table changed and re-synchronised.
    bool GetRecord(TRecordFetchClient* cursor, int32_t recordNo, int direction, bool useCursorOrder,
                   bool readAhead, TRecord*& record);
    void ReleaseRecord(TRecord* record);
    TRecord* GetFreeRecord(TRecordFetchClient* cursor);
    void FreeRecord(TRecord* record);
    int32_t NextFreeRecord() const;
    void SetFirstFreeRecord(int32_t n);
    bool WriteModifiedRecords();
    void DropCachedRecords();
    void TrimCache();
    std::unique_ptr<TRecord> NewRecord() { return Pool.Pop(); }
    void DisposeRecord(std::unique_ptr<TRecord>& r) { Pool.Push(r); }
    // The cache limit from the session's buffer settings.
    size_t CacheLimit() const;
    size_t CachedCount() const { return CachedRecords.size(); }
    size_t CacheCapacity() const { return Capacity; }
    TRecord* FindCached(int32_t recordNo) const;

    void ScrambleRecord(uint8_t* bytes, size_t length) const;
    void UnscrambleRecord(uint8_t* bytes, size_t length) const;

    // ---- Record sort (RecordSort.cpp) ----

    // Rewrites the records in place in the order of the sort fields (each descriptor's
    // SortDescending gives its direction). limit < 0 keeps every output record. With distinct a
    // record whose key repeats the previous one is dropped; with grouping records of equal keys
    // are folded into one through the query's AccumulateGroupRecord, and with finish and filter
    // every completed group passes FinishGroupRecord and GroupFilter. Sorts in memory when every
    // record is cached, otherwise through sorted runs in temporary files.
    void SortRecords(const std::vector<TFieldDescriptor>& fields, bool caseInsensitive, int32_t limit,
                     bool distinct, bool grouping, bool finish, bool filter, TDataQuery* context);
    // Fills record.SortKey: per sort field its flag byte and encoded value, then the record ID.
    void BuildSortKey(TRecord& record) const;
    // -1, 0 or 1; without withRecordId the trailing record ID is not compared.
    int CompareSortKeys(const uint8_t* a, const uint8_t* b, bool withRecordId) const;
    std::vector<TFieldDescriptor> SortFields;
    uint16_t SortFieldCount = 0;
    bool SortCaseInsensitive = false;
    size_t SortKeySize = 0;

    // ---- Locks between processes ----
    bool LockRecord(int32_t recordNo);
    bool UnlockRecord(int32_t recordNo);
    bool UnlockAllRecords();
    // Retries every 3 ms; false after HeaderLockAttempts failed tries.
    bool LockHeader();
    bool UnlockHeader();
    int32_t HeaderLockAttempts = 32767;

    TTableFileOwner* Table;
    TDataHeader Header;
    std::vector<TFieldDescriptor> Descriptors;
    bool DescriptorsModified = false;
    int32_t RecordsPerRead = 1;

private:
    std::unique_ptr<TRecord> CacheSlot(int32_t recordNo);
    TRecord* TakeEvictable();
    void InsertCached(std::unique_ptr<TRecord> record);
    std::unique_ptr<TRecord> RemoveCached(TRecord* record);
    void GroupRead(int32_t recordNo, int32_t count, int direction);
    void LinkHead(TRecord* r);
    void Unlink(TRecord* r);

    // Adds the record to WriteCandidates unless it is listed already.
    void ListCandidate(TRecord* r);
    void UnlistCandidate(TRecord* r);
    // Debug and sanitizer builds: each write candidate knows its slot, every modified or pinned
    // cached record is a candidate, and every cached record stands once on the recency list.
    void CheckCache() const;

    TRecordSlots CachedRecords;  // by record number
    // Every cached record handed out by GetRecord since the last write-back, and every record
    // still modified or pinned after it. Records are changed only while held, so a modified
    // record is always listed here and a write-back need not look at the rest of the cache.
    std::vector<TRecord*> WriteCandidates;
    std::vector<TRecord*> DueRecords;  // scratch list of one write-back
    size_t Capacity = 0;
    TRecord* RecentHead = nullptr;  // most recently used
    TRecord* RecentTail = nullptr;
    TRecordStack Pool{this};
    std::vector<uint8_t> IOBuffer;
    std::vector<uint8_t> OutBuffer;  // the write buffer of write-back runs
    int64_t ReadWindowStart = 0;
    int64_t ReadWindowLength = 0;

    [[noreturn]] void RaiseTable(TEngineErrorCode code) const;
    std::string TableNameForErrors() const;
    bool ForceFlush() const;
};

}  // namespace dbengine
