// The record sort of a data file: records rewritten in place in the order of a few fields, with
// DISTINCT, GROUP BY folding and a limit on the output. A wholly cached table is sorted in
// memory; any other is cut into sorted runs in temporary ".TMP" files which are then merged back.

#include <algorithm>
#include <cstring>

#include "dbengine/data/DataFile.h"
#include "dbengine/file/FileList.h"
#include "dbengine/index/IndexKeys.h"
#include "dbengine/os/OSLayer.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineUtils.h"
#include "dbengine/util/QueryHooks.h"
#include "platform/Files.h"
#include "platform/Process.h"

namespace dbengine {

namespace {

// A run holds at most this many bytes of records, so that it is read and written in one transfer.
constexpr int64_t MaxRunBytes = 1048576;
// The read buffers of the merge together, and the most one run's buffer holds.
constexpr int64_t MaxMergeBufferBytes = 16 * 1048576;
constexpr int64_t MaxRunBufferBytes = 262144;

// Bytes of the record ID at the end of a sort key.
constexpr size_t SortKeyIdSize = 4;

struct TRun {
    std::unique_ptr<TFileHandler> File;
    bool Created = false;  // the name is ours: delete it at the end
    int32_t Next = 0;      // the next record to read, from 0
    int32_t Count = 0;
    // Entries read ahead: Buffered entries from number BufferFirst on.
    std::vector<uint8_t> Buffer;
    int32_t BufferFirst = 0;
    int32_t Buffered = 0;
};

// The run files of one sort; every one is closed and deleted when the sort ends, whichever way.
class TRunFiles {
public:
    TRunFiles() = default;
    TRunFiles(const TRunFiles&) = delete;
    TRunFiles& operator=(const TRunFiles&) = delete;
    ~TRunFiles() {
        for (TRun& run : Runs) {
            // A failure here must not hide the one that ended the sort: each file is tried on
            // its own and the rest are still removed.
            try {
                if (run.File->IsOpen) run.File->CloseFile();
            } catch (...) {
            }
            if (!run.Created) continue;
            try {
                run.File->DeleteFile();
            } catch (...) {
                if (!run.File->InMemory) platform::DeleteFile(run.File->FileName);
            }
        }
    }

    // A new, empty run file in dir. On disk its name is first claimed by an exclusive creation,
    // so that neither another sort of this process nor another process can pick the same name
    // between the name check and the creation; a name taken meanwhile moves on to the next one.
    TRun& Create(const std::string& dir, bool inMemory) {
        std::string name;
        bool claimed = false;
        for (int attempt = 0;; ++attempt) {
            name = MakeTempFileName(dir, ".TMP", inMemory);
            if (inMemory) break;
            platform::HANDLE h =
                platform::CreateFile(name, platform::GENERIC_READ | platform::GENERIC_WRITE, 0,
                                     platform::CREATE_NEW, platform::FILE_ATTRIBUTE_NORMAL);
            if (h != platform::INVALID_HANDLE_VALUE) {
                platform::CloseHandle(h);
                claimed = true;
                break;
            }
            // Any failure but a name in use is left to the creation below to report.
            if (platform::GetLastError() != platform::ERROR_FILE_EXISTS || attempt >= 1000) break;
        }
        TRun& run = Runs.emplace_back();
        run.File = std::make_unique<TFileHandler>();
        run.File->FileName = name;
        run.File->InMemory = inMemory;
        run.File->Exclusive = true;
        run.Created = claimed;
        run.File->CreateFile();
        run.Created = true;
        return run;
    }

    std::vector<TRun> Runs;
};

// The output of the sort: a buffer of records in their final form (still unscrambled, so that
// the grouping callbacks can work on the last one), written to the data file from the first
// record's position on. The last output record always stays in the buffer: the buffer is written
// only when room is needed for the next record.
class TSortOutput {
public:
    TSortOutput(TDataFile& file, size_t capacity)
        : File(file),
          RecordSize(file.RecordSize()),
          Capacity(std::max<size_t>(capacity, 1)),
          Buffer(Capacity * RecordSize),
          WritePosition(file.RecordOffset(1)) {}

    // Appends a copy of record numbered by its output position (1, 2, ...): record number and
    // record ID both become the position.
    void Append(const TRecord& record) {
        if (Count == Capacity) Flush();
        uint8_t* slot = Buffer.data() + Count * RecordSize;
        std::memcpy(slot, record.Data(), RecordSize);
        ++Count;
        ++OutputCount;
        if (RecordSize >= RecordHeaderSize) {
            if (slot[0] == 0) PutInt32(slot + 1, OutputCount);
            PutInt32(slot + RecordIdOffset, OutputCount);
        }
    }
    void RemoveLast() {
        --Count;
        --OutputCount;
    }
    bool HasLast() const { return Count > 0; }
    uint8_t* Last() { return Buffer.data() + (Count - 1) * RecordSize; }

    void Flush() {
        if (Count == 0) return;
        for (size_t i = 0; i < Count; ++i) File.ScrambleRecord(Buffer.data() + i * RecordSize, RecordSize);
        size_t length = Count * RecordSize;
        File.WriteAt(WritePosition, Buffer.data(), static_cast<uint32_t>(length));
        if (File.Table != nullptr) File.Table->SetFilesWritten();
        WritePosition += static_cast<int64_t>(length);
        Count = 0;
    }

    int32_t OutputCount = 0;

private:
    TDataFile& File;
    size_t RecordSize;
    size_t Capacity;
    std::vector<uint8_t> Buffer;
    size_t Count = 0;
    int64_t WritePosition;
};

// Decides for each record taken in sorted order whether it is output, folded into the last
// output record or dropped, and when the sort stops.
class TOutputRule {
public:
    TOutputRule(TDataFile& file, TSortOutput& output, int32_t limit, bool distinct, bool grouping,
                bool finish, bool filter, TDataQuery* context)
        : File(file),
          Output(output),
          Limit(limit),
          Distinct(distinct),
          Grouping(grouping),
          Finish(finish && context != nullptr),
          Filter(filter && context != nullptr),
          Context(context) {
        if (Context == nullptr) Grouping = false;
    }

    // False when the sort is to stop.
    bool Take(TRecord& record) {
        if (Limit == 0) return false;  // no output at all, not one record past the limit
        bool newKey = !Taken || File.CompareSortKeys(PreviousKey.data(), record.SortKey.data(), false) != 0;
        bool stop = false;
        if (Grouping) {
            if (!Taken) {
                Context->AccumulateGroupRecord(true, record.Data(), record.Data());
                Put(record);
            } else if (!newKey) {
                Context->AccumulateGroupRecord(false, record.Data(), Output.Last());
            } else {
                Context->AccumulateGroupRecord(true, Output.Last(), record.Data());
                Complete();
                // The limit counts complete groups: a group is complete only when the next key
                // shows up, so the check waits for it instead of cutting a group short.
                if (Limit >= 0 && Output.OutputCount >= Limit)
                    stop = true;
                else
                    Put(record);
            }
        } else if (!Distinct || newKey) {
            Put(record);
        }
        Taken = true;
        PreviousKey = record.SortKey;
        if (!Grouping && Limit >= 0 && Output.OutputCount >= Limit) {
            if (Filter && Output.HasLast())
                stop = stop || Context->GroupFilter(0, Output.Last(), Output.Last());
            else
                stop = true;
        }
        return !stop;
    }

    // Finishes and filters the last output record.
    void End() { Complete(); }

private:
    void Put(TRecord& record) {
        Output.Append(record);
        Pending = true;
    }

    void Complete() {
        if (!Pending || !Output.HasLast()) return;
        Pending = false;
        if (Finish) Context->FinishGroupRecord(0, Output.Last(), Output.Last());
        if (Filter && !Context->GroupFilter(0, Output.Last(), Output.Last())) Output.RemoveLast();
    }

    TDataFile& File;
    TSortOutput& Output;
    int32_t Limit;
    bool Distinct;
    bool Grouping;
    bool Finish;
    bool Filter;
    TDataQuery* Context;
    bool Taken = false;
    bool Pending = false;  // the last output record awaits finish and filter
    std::vector<uint8_t> PreviousKey;
};

}  // namespace

void TDataFile::BuildSortKey(TRecord& record) const {
    record.SortKey.assign(SortKeySize, 0);
    uint8_t* key = record.SortKey.data();
    const uint8_t* data = record.Data();
    size_t recordSize = Header.RecordSize;
    size_t p = 0;
    for (const TFieldDescriptor& field : SortFields) {
        uint8_t value[KeyValueBufferSize] = {};
        if (field.IsAutoInc()) {
            // The value is the record ID in the record header; it is never NULL.
            key[p] = 1;
            std::memcpy(value, data + RecordIdOffset, 4);
        } else if (field.Offset < recordSize) {
            // A descriptor reaching past the record reads no further than its end.
            key[p] = data[field.Offset];
            size_t available = recordSize - field.Offset - 1u;
            std::memcpy(value, data + field.Offset + 1, std::min<size_t>(field.ValueSize, available));
        }
        EncodeKeyValue(field, value, key + p, SortCaseInsensitive, field.SortDescending != 0,
                       static_cast<uint16_t>(Header.LanguageId), Header.SortId);
        p += KeyPartSize(field) + 1u;
    }
    EncodeKeyInteger(GetInt32(data + RecordIdOffset), key + p);
}

int TDataFile::CompareSortKeys(const uint8_t* a, const uint8_t* b, bool withRecordId) const {
    auto sign = [](int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); };
    size_t fieldsEnd = SortKeySize - SortKeyIdSize;
    if (Header.LanguageId != 0) {
        size_t p = 0;
        for (const TFieldDescriptor& field : SortFields) {
            if (p >= fieldsEnd) break;
            size_t part = KeyPartSize(field);
            int direction = field.SortDescending != 0 ? -1 : 1;
            int result = 0;
            if (field.FieldType == fldString) {
                result = a[p] < b[p] ? -1 : (a[p] > b[p] ? 1 : 0);
                if (result == 0) {
                    // The texts are zero-padded to the part size; compared as zero-ended copies.
                    size_t length = std::min(part, fieldsEnd - p - 1);
                    std::string ta(reinterpret_cast<const char*>(a + p + 1), length);
                    std::string tb(reinterpret_cast<const char*>(b + p + 1), length);
                    result = sign(CompareLocaleText(static_cast<uint16_t>(Header.LanguageId), Header.SortId,
                                                    ta.c_str(), tb.c_str(), 0, SortCaseInsensitive));
                }
            } else {
                size_t length = std::min(part + 1, fieldsEnd - p);
                result = sign(std::memcmp(a + p, b + p, length));
            }
            if (result != 0) return result * direction;
            p += part + 1;
        }
    } else {
        int result = sign(std::memcmp(a, b, fieldsEnd));
        if (result != 0) return result;
    }
    if (!withRecordId) return 0;
    return sign(std::memcmp(a + fieldsEnd, b + fieldsEnd, SortKeyIdSize));
}

void TDataFile::SortRecords(const std::vector<TFieldDescriptor>& fields, bool caseInsensitive, int32_t limit,
                            bool distinct, bool grouping, bool finish, bool filter, TDataQuery* context) {
    struct TStateScope {
        TDataFile& File;
        ~TStateScope() {
            File.SortFields.clear();
            File.SortFieldCount = 0;
            File.SortCaseInsensitive = false;
            File.SortKeySize = 0;
        }
    } stateScope{*this};
    SortFields = fields;
    SortFieldCount = static_cast<uint16_t>(fields.size());
    SortCaseInsensitive = caseInsensitive;
    SortKeySize = SortKeyIdSize;
    for (const TFieldDescriptor& f : SortFields) SortKeySize += KeyPartSize(f) + 1u;

    const size_t recordSize = Header.RecordSize;
    if (recordSize < RecordHeaderSize) RaiseTable(DBE_FILECORRUPT);
    const int32_t total = Header.NextRecordNo - 1;
    auto before = [this](const TRecord* a, const TRecord* b) {
        return CompareSortKeys(a->SortKey.data(), b->SortKey.data(), true) < 0;
    };
    int32_t outputCount = 0;

    if (total <= 0 || static_cast<size_t>(total) == CachedRecords.size()) {
        // Every record is cached: sorted in memory, written in one transfer.
        struct TCacheScope {
            TDataFile& File;
            ~TCacheScope() { File.DropCachedRecords(); }
        } cacheScope{*this};
        std::vector<TRecord*> list;
        list.reserve(CachedRecords.size());
        CachedRecords.ForEach([&list](TRecord* r) { list.push_back(r); });
        // Taken in record-number order, so that the outcome never depends on the cache's layout.
        std::sort(list.begin(), list.end(),
                  [](const TRecord* a, const TRecord* b) { return a->RecordNo < b->RecordNo; });
        for (TRecord* r : list) BuildSortKey(*r);
        std::sort(list.begin(), list.end(), before);
        TSortOutput output(*this, list.size());
        TOutputRule rule(*this, output, limit, distinct, grouping, finish, filter, context);
        for (TRecord* r : list)
            if (!rule.Take(*r)) break;
        rule.End();
        output.Flush();
        outputCount = output.OutputCount;
    } else {
        WriteModifiedRecords();
        DropCachedRecords();
        int64_t maxRecords = 8192;
        std::string tempDir;
        if (const TEngineSettings* settings = Table != nullptr ? Table->GetSettings() : nullptr) {
            maxRecords = settings->MaxDataBufferRecords;
            tempDir = settings->GetTempDirectory();
        }
        const size_t entrySize = recordSize + SortKeySize;
        const int32_t runSize = static_cast<int32_t>(std::max<int64_t>(
            1, std::min<int64_t>(maxRecords, MaxRunBytes / static_cast<int64_t>(recordSize))));

        TRunFiles runs;
        // Records in flight go back to the pool whichever way the sort ends.
        struct TRecordList {
            TDataFile& File;
            std::vector<std::unique_ptr<TRecord>> Items;
            ~TRecordList() {
                for (auto& r : Items) File.Pool.Push(r);
            }
        } list{*this, {}};

        // Sorted runs.
        for (int32_t first = 1; first <= total; first += runSize) {
            int32_t count = std::min(runSize, total - first + 1);
            size_t length = static_cast<size_t>(count) * recordSize;
            if (IOBuffer.size() < length) IOBuffer.resize(length);
            ReadAt(RecordOffset(first), IOBuffer.data(), static_cast<uint32_t>(length));
            for (int32_t i = 0; i < count; ++i) {
                std::unique_ptr<TRecord> r = Pool.Pop();
                r->RecordNo = first + i;
                r->LoadFrom(IOBuffer.data() + static_cast<size_t>(i) * recordSize);
                BuildSortKey(*r);
                list.Items.push_back(std::move(r));
            }
            std::sort(list.Items.begin(), list.Items.end(),
                      [&](const auto& a, const auto& b) { return before(a.get(), b.get()); });
            // Each entry of a run is the record followed by its sort key, which the merge then
            // need not build again; both are scrambled as the records of the table are.
            TRun& run = runs.Create(tempDir, InMemory);
            size_t runLength = static_cast<size_t>(count) * entrySize;
            if (IOBuffer.size() < runLength) IOBuffer.resize(runLength);
            for (int32_t i = 0; i < count; ++i) {
                TRecord& r = *list.Items[static_cast<size_t>(i)];
                uint8_t* entry = IOBuffer.data() + static_cast<size_t>(i) * entrySize;
                r.StoreTo(entry);
                std::memcpy(entry + recordSize, r.SortKey.data(), SortKeySize);
                ScrambleRecord(entry + recordSize, SortKeySize);
            }
            run.File->WriteAt(0, IOBuffer.data(), static_cast<uint32_t>(runLength));
            run.Count = count;
            for (auto& r : list.Items) Pool.Push(r);
            list.Items.clear();
        }

        // Merge: the list holds the next record of every run, as a heap whose top is the first.
        // Each run is read ahead in blocks; the blocks together stay within MaxMergeBufferBytes.
        const int32_t aheadEntries = static_cast<int32_t>(std::max<int64_t>(
            1, std::min<int64_t>(
                   MaxRunBufferBytes,
                   MaxMergeBufferBytes / std::max<int64_t>(1, static_cast<int64_t>(runs.Runs.size()))) /
                   static_cast<int64_t>(entrySize)));
        auto after = [&](const auto& a, const auto& b) { return before(b.get(), a.get()); };
        auto readNext = [&](size_t runIndex) {
            TRun& run = runs.Runs[runIndex];
            if (run.Next >= run.BufferFirst + run.Buffered) {
                run.BufferFirst = run.Next;
                run.Buffered = std::min(aheadEntries, run.Count - run.Next);
                size_t length = static_cast<size_t>(run.Buffered) * entrySize;
                if (run.Buffer.size() < length) run.Buffer.resize(length);
                run.File->ReadAt(static_cast<int64_t>(run.Next) * static_cast<int64_t>(entrySize),
                                 run.Buffer.data(), static_cast<uint32_t>(length));
            }
            uint8_t* entry = run.Buffer.data() + static_cast<size_t>(run.Next - run.BufferFirst) * entrySize;
            ++run.Next;
            std::unique_ptr<TRecord> r = Pool.Pop();
            r->RecordNo = 0;
            r->LoadFrom(entry);
            r->RunIndex = static_cast<int32_t>(runIndex);
            UnscrambleRecord(entry + recordSize, SortKeySize);
            r->SortKey.assign(entry + recordSize, entry + recordSize + SortKeySize);
            list.Items.push_back(std::move(r));
            std::push_heap(list.Items.begin(), list.Items.end(), after);
        };
        for (size_t k = 0; k < runs.Runs.size(); ++k)
            if (runs.Runs[k].Count > 0) readNext(k);
        TSortOutput output(*this, static_cast<size_t>(runSize));
        TOutputRule rule(*this, output, limit, distinct, grouping, finish, filter, context);
        while (!list.Items.empty()) {
            std::pop_heap(list.Items.begin(), list.Items.end(), after);
            std::unique_ptr<TRecord> r = std::move(list.Items.back());
            list.Items.pop_back();
            bool more = rule.Take(*r);
            auto runIndex = static_cast<size_t>(r->RunIndex);
            Pool.Push(r);
            if (!more) break;
            if (runs.Runs[runIndex].Next < runs.Runs[runIndex].Count) readNext(runIndex);
        }
        rule.End();
        output.Flush();
        outputCount = output.OutputCount;
    }

    if (distinct || grouping || limit >= 0) {
        // The file ends after the last output record.
        {
            TFileLockScope scope(*this);
            int64_t end = RecordOffset(outputCount + 1);
            if (SeekFile(0, end) != end) RaiseTable(DBE_WRITEERR);
            TruncateFile();
        }
        Header.NextRecordNo = outputCount + 1;
        Header.HeaderModified = 1;
        if (Table != nullptr) {
            Table->SetFilesWritten();
            Table->RecordsSorted(outputCount);
        }
    }
}

}  // namespace dbengine
