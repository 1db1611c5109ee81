#include "dbengine/data/DataFile.h"

#include <cstring>

#include "dbengine/os/OSLayer.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineUtils.h"
#include "dbengine/util/Invariant.h"
#include "framework/core/DateTime.h"
#include "framework/core/Seams.h"

namespace dbengine {

namespace {

// Header offsets.
constexpr size_t OfsChangeCount = 0;
constexpr size_t OfsBlobBlockSize = 4;
constexpr size_t OfsVersion = 8;
constexpr size_t OfsFirstFreeRecord = 9;
constexpr size_t OfsNextRecordNo = 13;
constexpr size_t OfsLastRecordId = 17;
constexpr size_t OfsRecordSize = 21;
constexpr size_t OfsFieldCount = 23;
constexpr size_t OfsBlobFieldCount = 25;
constexpr size_t OfsLastWriteTime = 27;
constexpr size_t OfsDescription = 35;
constexpr size_t OfsEncrypted = 86;
constexpr size_t OfsPassword = 87;
constexpr size_t OfsLanguageId = 103;
constexpr size_t OfsSortId = 105;
constexpr size_t OfsUserMajorVersion = 107;
constexpr size_t OfsUserMinorVersion = 109;
constexpr size_t OfsHeaderModified = 111;
constexpr size_t OfsLastBlobStamp = 112;
constexpr size_t OfsWriterVersion = 116;
constexpr size_t OfsReserved120 = 120;

// Scrambler seeds of the header's description and password characters.
constexpr uint8_t TextSeed1 = 0x91;
constexpr uint8_t TextSeed2 = 0xD4;

constexpr int32_t MaxCounter = 2147483647;
constexpr uint32_t MaxRecordSize = 65535;

std::string Scrambled(std::string s) {
    ScrambleBuffer(s.data(), static_cast<uint32_t>(s.size()), TextSeed1, TextSeed2);
    return s;
}

}  // namespace

std::array<uint8_t, DataHeaderSize> TDataHeader::Encode() const {
    std::array<uint8_t, DataHeaderSize> b{};
    uint8_t* p = b.data();
    PutInt32(p + OfsChangeCount, ChangeCount);
    PutUInt32(p + OfsBlobBlockSize, BlobBlockSize);
    p[OfsVersion] = Version;
    PutInt32(p + OfsFirstFreeRecord, FirstFreeRecord);
    PutInt32(p + OfsNextRecordNo, NextRecordNo);
    PutInt32(p + OfsLastRecordId, LastRecordId);
    PutUInt16(p + OfsRecordSize, RecordSize);
    PutUInt16(p + OfsFieldCount, FieldCount);
    PutInt16(p + OfsBlobFieldCount, BlobFieldCount);
    PutDouble(p + OfsLastWriteTime, LastWriteTime);
    PutShortString(p + OfsDescription, Description, MaxTableDescriptionLength);
    p[OfsEncrypted] = Encrypted;
    PutShortString(p + OfsPassword, Password, MaxTablePasswordLength);
    PutInt16(p + OfsLanguageId, LanguageId);
    PutUInt16(p + OfsSortId, SortId);
    PutInt16(p + OfsUserMajorVersion, UserMajorVersion);
    PutInt16(p + OfsUserMinorVersion, UserMinorVersion);
    p[OfsHeaderModified] = HeaderModified;
    PutInt32(p + OfsLastBlobStamp, LastBlobStamp);
    PutUInt32(p + OfsWriterVersion, WriterVersion);
    PutUInt32(p + OfsReserved120, Reserved120);
    return b;
}

TDataHeader TDataHeader::Decode(const uint8_t* p) {
    TDataHeader h;
    h.ChangeCount = GetInt32(p + OfsChangeCount);
    h.BlobBlockSize = GetUInt32(p + OfsBlobBlockSize);
    h.Version = p[OfsVersion];
    h.FirstFreeRecord = GetInt32(p + OfsFirstFreeRecord);
    h.NextRecordNo = GetInt32(p + OfsNextRecordNo);
    h.LastRecordId = GetInt32(p + OfsLastRecordId);
    h.RecordSize = GetUInt16(p + OfsRecordSize);
    h.FieldCount = GetUInt16(p + OfsFieldCount);
    h.BlobFieldCount = GetInt16(p + OfsBlobFieldCount);
    h.LastWriteTime = GetDouble(p + OfsLastWriteTime);
    h.Description = GetShortString(p + OfsDescription, MaxTableDescriptionLength);
    h.Encrypted = p[OfsEncrypted];
    h.Password = GetShortString(p + OfsPassword, MaxTablePasswordLength);
    h.LanguageId = GetInt16(p + OfsLanguageId);
    h.SortId = GetUInt16(p + OfsSortId);
    h.UserMajorVersion = GetInt16(p + OfsUserMajorVersion);
    h.UserMinorVersion = GetInt16(p + OfsUserMinorVersion);
    h.HeaderModified = p[OfsHeaderModified];
    h.LastBlobStamp = GetInt32(p + OfsLastBlobStamp);
    h.WriterVersion = GetUInt32(p + OfsWriterVersion);
    h.Reserved120 = GetUInt32(p + OfsReserved120);
    return h;
}

TDataFile::~TDataFile() {
    try {
        CloseFile();
    } catch (...) {
        // A destructor must not raise.
    }
}

std::string TDataFile::TableNameForErrors() const {
    if (Table == nullptr) return FileName;
    std::string name = Table->GetTableName();
    return !name.empty() ? name : FileName;
}

void TDataFile::RaiseTable(TEngineErrorCode code) const {
    RaiseEngineError(code, {}, {}, Table != nullptr ? Table->GetDatabaseName() : "", TableNameForErrors());
}

bool TDataFile::ForceFlush() const {
    const TEngineSettings* settings = Table != nullptr ? Table->GetSettings() : nullptr;
    return settings != nullptr && settings->ForceBufferFlush;
}

void TDataFile::OpenFile() {
    if (IsOpen) return;
    TFileHandler::OpenFile();
    try {
        ReadHeader();
        RecordsPerRead = Header.RecordSize == 0 ? 1 : 8192 / Header.RecordSize;
        if (RecordsPerRead == 0) RecordsPerRead = 1;
        if (Header.FieldCount > MaxFieldCount) RaiseTable(DBE_HEADERCORRUPT);
        ReadDescriptors();
        DropCachedRecords();
        Capacity = CacheLimit();
    } catch (...) {
        CloseFile();
        throw;
    }
}

void TDataFile::CloseFile() {
    if (!IsOpen) return;
    Descriptors.clear();
    DropCachedRecords();
    TFileHandler::CloseFile();
}

void TDataFile::CreateDataFile(int16_t languageId, uint16_t sortId, int16_t userMajorVersion,
                               int16_t userMinorVersion, bool encrypted, const std::string& password,
                               const std::string& description, uint16_t blobBlockSize,
                               const std::vector<TFieldDescriptor>& descriptors) {
    TDataHeader h;
    h.LanguageId = languageId;
    h.SortId = sortId;
    h.UserMajorVersion = userMajorVersion;
    h.UserMinorVersion = userMinorVersion;
    h.Encrypted = encrypted ? 1 : 0;
    if (encrypted) {
        h.Password = Scrambled(password.substr(0, MaxTablePasswordLength));
        h.Description = Scrambled(description.substr(0, MaxTableDescriptionLength));
    } else {
        h.Description = description.substr(0, MaxTableDescriptionLength);
    }
    if (descriptors.size() > MaxFieldCount) RaiseTable(DBE_FLDLIMIT);
    h.FieldCount = static_cast<uint16_t>(descriptors.size());
    h.BlobBlockSize = blobBlockSize;
    uint32_t recordSize = RecordHeaderSize;
    for (const TFieldDescriptor& d : descriptors) {
        if (d.FieldType == fldBlob) {
            if (h.BlobFieldCount == MaxBlobFieldCount) RaiseTable(DBE_BLOBLIMIT);
            ++h.BlobFieldCount;
        }
        if (!d.IsAutoInc() && d.Calculated == 0) recordSize += d.ValueSize + 1u;
    }
    if (recordSize > MaxRecordSize) RaiseTable(DBE_RECTOOBIG);
    h.Version = DataFileVersion;
    h.FirstFreeRecord = 0;
    h.NextRecordNo = 1;
    h.LastRecordId = 0;
    h.ChangeCount = 0;
    h.RecordSize = static_cast<uint16_t>(recordSize);
    h.HeaderModified = 1;
    TFileHandler::CreateFile();
    Header = h;
    Descriptors = descriptors;
    DescriptorsModified = true;
    RecordsPerRead = std::max(1, 8192 / static_cast<int>(h.RecordSize));
    DropCachedRecords();
    Capacity = CacheLimit();
}

void TDataFile::ReadHeader() {
    uint8_t bytes[DataHeaderSize];
    ReadAt(0, bytes, DataHeaderSize);
    NoteStoredBytes(0, bytes, DataHeaderSize);
    Header = TDataHeader::Decode(bytes);
    Header.HeaderModified = 0;
}

bool TDataFile::ReloadHeaderIfChanged() {
    // Unchanged by anyone, as the file's view shows: nothing to read.
    if (PeekStoredCounterIs(OfsChangeCount, Header.ChangeCount)) return false;
    uint8_t bytes[DataHeaderSize];
    ReadAt(0, bytes, DataHeaderSize);
    NoteStoredBytes(0, bytes, DataHeaderSize);
    if (GetInt32(bytes + OfsChangeCount) == Header.ChangeCount) return false;
    Header = TDataHeader::Decode(bytes);
    // The header now equals the file's: nothing of it is left to write, whatever the stored flag
    // says (a header still marked changed would stop this process re-reading the files).
    Header.HeaderModified = 0;
    return true;
}

int32_t TDataFile::StoredChangeCount() {
    uint8_t bytes[4];
    if (!PeekStored(OfsChangeCount, bytes, sizeof bytes)) ReadAt(OfsChangeCount, bytes, sizeof bytes);
    return GetInt32(bytes);
}

bool TDataFile::WriteHeader(bool force) {
    if (!force && Header.HeaderModified == 0) return false;
    Header.ChangeCount = static_cast<int32_t>(static_cast<uint32_t>(Header.ChangeCount) + 1u);  // wraps
    Header.WriterVersion = EngineWriterVersion;
    Header.Reserved120 = 0;
    Header.LastWriteTime = framework::Now() - StoredTimeBias;
    auto bytes = Header.Encode();
    WriteAt(0, bytes.data(), DataHeaderSize);
    if (Table != nullptr) Table->SetFilesWritten();
    Header.HeaderModified = 0;
    return true;
}

void TDataFile::MarkChanged() {
    Header.ChangeCount = static_cast<int32_t>(static_cast<uint32_t>(Header.ChangeCount) + 1u);  // wraps
    Header.HeaderModified = 1;
    if (Table != nullptr) Table->SetFilesWritten();
}

void TDataFile::ReadDescriptors() {
    size_t count = Header.FieldCount;
    std::vector<uint8_t> bytes(count * FieldDescriptorSize);
    if (!bytes.empty()) ReadAt(DataHeaderSize, bytes.data(), static_cast<uint32_t>(bytes.size()));
    if (Encrypted()) ScrambleBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()), DataSeed1, DataSeed2);
    Descriptors.clear();
    Descriptors.reserve(count);
    for (size_t i = 0; i < count; ++i)
        Descriptors.push_back(TFieldDescriptor::Decode(bytes.data() + i * FieldDescriptorSize));
    DescriptorsModified = false;
}

bool TDataFile::WriteDescriptors() {
    if (!DescriptorsModified) return false;
    std::vector<uint8_t> bytes(Descriptors.size() * FieldDescriptorSize);
    for (size_t i = 0; i < Descriptors.size(); ++i) {
        auto one = Descriptors[i].Encode();
        std::memcpy(bytes.data() + i * FieldDescriptorSize, one.data(), FieldDescriptorSize);
    }
    if (Encrypted()) ScrambleBuffer(bytes.data(), static_cast<uint32_t>(bytes.size()), DataSeed1, DataSeed2);
    if (!bytes.empty()) WriteAt(DataHeaderSize, bytes.data(), static_cast<uint32_t>(bytes.size()));
    if (ForceFlush()) FlushFile();
    DescriptorsModified = false;
    return true;
}

void TDataFile::EmptyFile() {
    {
        TFileLockScope scope(*this);
        int64_t end = static_cast<int64_t>(DataHeaderSize) + int64_t(Header.FieldCount) * FieldDescriptorSize;
        if (SeekFile(0, end) != end) RaiseTable(DBE_WRITEERR);
        TruncateFile();
    }
    if (ForceFlush()) FlushFile();
    DropCachedRecords();  // none of the cached records exists any more
    Header.ChangeCount = 0;
    Header.FirstFreeRecord = 0;
    Header.NextRecordNo = 1;
    Header.LastRecordId = 0;
    Header.HeaderModified = 1;
}

void TDataFile::CheckVersion() {
    if (Header.Version != DataFileVersion) RaiseTable(DBE_OLDVERSION);
}

void TDataFile::CheckHeader() {
    CheckVersion();
    if (Header.LanguageId != 0 &&
        !IsLocaleInstalled(MakeLocaleId(static_cast<uint16_t>(Header.LanguageId), Header.SortId)))
        RaiseTable(DBE_CANNOTLOADLDDRV);
    if (Descriptors.size() != Header.FieldCount) RaiseTable(DBE_HEADERCORRUPT);
    uint32_t expected = RecordHeaderSize;
    for (size_t i = 0; i < Descriptors.size(); ++i) {
        TFieldDescriptor& d = Descriptors[i];
        ComputeValueSize(d);
        std::string upper = d.Name;
        UpperCaseLocale(0, 0, upper);
        if (upper.empty() || !IsValidFieldNameStart(upper[0]) || upper.size() > MaxFieldNameLength)
            RaiseTable(DBE_HEADERCORRUPT);
        for (size_t j = 0; j < Descriptors.size(); ++j) {
            if (j == i) continue;
            if (SameNameText(TrimText(Descriptors[j].Name), TrimText(upper))) RaiseTable(DBE_HEADERCORRUPT);
            if (Descriptors[j].FieldNo == d.FieldNo) RaiseTable(DBE_HEADERCORRUPT);
        }
        if (d.FieldType == fldNone) RaiseTable(DBE_HEADERCORRUPT);
        bool sized = d.FieldType == fldString || d.FieldType == fldBytes || d.FieldType == fldVarBytes;
        if (sized ? d.Size > MaxFieldSize : d.Size != 0) RaiseTable(DBE_HEADERCORRUPT);
        if (!IsValidValueText(d.DefaultValue, d.FieldType) || !IsValidValueText(d.MinValue, d.FieldType) ||
            !IsValidValueText(d.MaxValue, d.FieldType))
            RaiseTable(DBE_HEADERCORRUPT);
        if (d.FieldType != fldBCD && d.Decimals != 0) RaiseTable(DBE_HEADERCORRUPT);
        if (d.IsAutoInc()) {
            if (d.Offset != AutoIncFieldOffset) RaiseTable(DBE_HEADERCORRUPT);
        } else {
            if (d.Offset != expected) RaiseTable(DBE_HEADERCORRUPT);
            expected += d.ValueSize + 1u;
        }
        if (d.FieldNo != static_cast<int32_t>(i + 1)) RaiseTable(DBE_HEADERCORRUPT);
    }
    if (Header.RecordSize != expected) RaiseTable(DBE_HEADERCORRUPT);
    int64_t dataStart =
        static_cast<int64_t>(DataHeaderSize) + int64_t(Header.FieldCount) * FieldDescriptorSize;
    int64_t size = GetFileSize();
    int64_t records = 0;
    if (size > dataStart) {
        if ((size - dataStart) % Header.RecordSize != 0) RaiseTable(DBE_HEADERCORRUPT);
        records = (size - dataStart) / Header.RecordSize;
    }
    if (Header.NextRecordNo != records + 1) RaiseTable(DBE_HEADERCORRUPT);
    if (Header.FirstFreeRecord < 0 || Header.FirstFreeRecord > records) RaiseTable(DBE_HEADERCORRUPT);
}

void TDataFile::SetTableInfo(const std::string& password, const std::string& description,
                             int32_t lastRecordId, int16_t userMajorVersion, int16_t userMinorVersion) {
    if (Encrypted()) {
        Header.Password = Scrambled(password.substr(0, MaxTablePasswordLength));
        Header.Description = Scrambled(description.substr(0, MaxTableDescriptionLength));
    } else {
        Header.Password.clear();
        Header.Description = description.substr(0, MaxTableDescriptionLength);
    }
    Header.LastRecordId = lastRecordId;
    Header.UserMajorVersion = userMajorVersion;
    Header.UserMinorVersion = userMinorVersion;
    Header.HeaderModified = 1;
}

int32_t TDataFile::NextRecordId() {
    if (Header.LastRecordId == MaxCounter) Header.LastRecordId = 0;
    ++Header.LastRecordId;
    Header.HeaderModified = 1;
    return Header.LastRecordId;
}

void TDataFile::SetLastRecordId(int32_t value) {
    if (Header.LastRecordId == value) return;
    Header.LastRecordId = value;
    Header.HeaderModified = 1;
}

int32_t TDataFile::NextBlobStamp() {
    if (Header.LastBlobStamp == MaxCounter) Header.LastBlobStamp = 0;
    ++Header.LastBlobStamp;
    Header.HeaderModified = 1;
    return Header.LastBlobStamp;
}

std::string TDataFile::GetDescription() const {
    return Encrypted() ? Scrambled(Header.Description) : Header.Description;
}

std::string TDataFile::GetPassword() const {
    return Encrypted() ? Scrambled(Header.Password) : "";
}

uint32_t TDataFile::BlobBlockSize() const {
    uint32_t size = Header.BlobBlockSize & 0xFFFF;
    return size == 0 ? 512 : size;
}

int64_t TDataFile::RecordOffset(int32_t recordNo) const {
    return static_cast<int64_t>(DataHeaderSize) + int64_t(Header.FieldCount) * FieldDescriptorSize +
           int64_t(recordNo - 1) * Header.RecordSize;
}

TFieldDescriptor TDataFile::GetFieldDescriptor(uint16_t position) const {
    if (position < 1 || position > Descriptors.size()) return TFieldDescriptor{};
    return Descriptors[position - 1];
}

bool TDataFile::FindFieldByNumber(int16_t fieldNo, TFieldDescriptor& out) const {
    for (size_t i = 0; i < Descriptors.size(); ++i) {
        if (Descriptors[i].FieldNo == fieldNo) {
            out = Descriptors[i];
            out.Position = static_cast<uint16_t>(i + 1);
            return true;
        }
    }
    return false;
}

bool TDataFile::FindFieldByName(const std::string& name, TFieldDescriptor& out) const {
    uint16_t position = GetFieldPosition(name);
    if (position == 0) return false;
    out = Descriptors[position - 1];
    out.Position = position;
    return true;
}

uint16_t TDataFile::GetFieldPosition(const std::string& name) const {
    for (size_t i = 0; i < Descriptors.size(); ++i)
        if (SameNameText(Descriptors[i].Name, name)) return static_cast<uint16_t>(i + 1);
    return 0;
}

void TDataFile::UpdateDescriptor(uint16_t position, const TFieldDescriptor& d) {
    if (position < 1 || position > Descriptors.size()) return;
    TFieldDescriptor& stored = Descriptors[position - 1];
    stored.FieldNo = d.FieldNo;
    stored.Name = d.Name.substr(0, MaxFieldNameLength);
    stored.SubType = d.SubType;
    stored.Description = d.Description.substr(0, MaxFieldDescriptionLength);
    stored.Required = d.Required;
    stored.MinValue = d.MinValue.substr(0, MaxValueTextLength);
    stored.MaxValue = d.MaxValue.substr(0, MaxValueTextLength);
    stored.DefaultValue = d.DefaultValue.substr(0, MaxValueTextLength);
    DescriptorsModified = true;
}

}  // namespace dbengine

// ---- Record cache ----

namespace dbengine {

namespace {

// Records looked at in the recency list before the binary search.
constexpr int RecentProbe = 4;
// Growth of the cache when every cached record is pinned.
constexpr size_t CacheGrowth = 64;
constexpr uint32_t HeaderLockPauseMs = 3;

}  // namespace

void TDataFile::ScrambleRecord(uint8_t* bytes, size_t length) const {
    if (Encrypted()) ScrambleBuffer(bytes, static_cast<uint32_t>(length), DataSeed1, DataSeed2);
}

void TDataFile::UnscrambleRecord(uint8_t* bytes, size_t length) const {
    if (Encrypted()) UnscrambleBuffer(bytes, static_cast<uint32_t>(length), DataSeed1, DataSeed2);
}

size_t TDataFile::CacheLimit() const {
    int64_t bufferSize = 16384, maxRecords = 8192;
    if (const TEngineSettings* settings = Table != nullptr ? Table->GetSettings() : nullptr) {
        bufferSize = settings->DataBufferSize;
        maxRecords = settings->MaxDataBufferRecords;
    }
    if (Header.RecordSize == 0) return static_cast<size_t>(std::max<int64_t>(maxRecords, 1));
    return static_cast<size_t>(
        std::max<int64_t>(std::min<int64_t>(bufferSize / Header.RecordSize, maxRecords), 1));
}

void TDataFile::LinkHead(TRecord* r) {
    r->Older = RecentHead;
    r->Newer = nullptr;
    if (RecentHead != nullptr) RecentHead->Newer = r;
    RecentHead = r;
    if (RecentTail == nullptr) RecentTail = r;
}

void TDataFile::Unlink(TRecord* r) {
    if (r->Newer != nullptr) r->Newer->Older = r->Older;
    if (r->Older != nullptr) r->Older->Newer = r->Newer;
    if (RecentHead == r) RecentHead = r->Older;
    if (RecentTail == r) RecentTail = r->Newer;
    r->Older = r->Newer = nullptr;
}

TRecord* TDataFile::FindCached(int32_t recordNo) const {
    return CachedRecords.Find(recordNo);
}

void TDataFile::InsertCached(std::unique_ptr<TRecord> record) {
    TRecord* raw = record.get();
    CachedRecords.Insert(std::move(record));
    LinkHead(raw);
}

std::unique_ptr<TRecord> TDataFile::RemoveCached(TRecord* record) {
    std::unique_ptr<TRecord> owned = CachedRecords.Remove(record);
    if (owned == nullptr) RaiseTable(DBE_FILECORRUPT);
    Unlink(record);
    UnlistCandidate(record);
    return owned;
}

void TDataFile::ListCandidate(TRecord* r) {
    if (r->CandidateSlot >= 0) return;
    r->CandidateSlot = static_cast<int32_t>(WriteCandidates.size());
    WriteCandidates.push_back(r);
}

void TDataFile::UnlistCandidate(TRecord* r) {
    if (r->CandidateSlot < 0) return;
    size_t slot = static_cast<size_t>(r->CandidateSlot);
    TRecord* last = WriteCandidates.back();
    WriteCandidates[slot] = last;
    last->CandidateSlot = static_cast<int32_t>(slot);
    WriteCandidates.pop_back();
    r->CandidateSlot = -1;
}

TRecord* TDataFile::TakeEvictable() {
    for (TRecord* r = RecentTail; r != nullptr; r = r->Newer)
        if (!r->Modified && r->PinCount == 0) return r;
    return nullptr;
}

std::unique_ptr<TRecord> TDataFile::CacheSlot(int32_t recordNo) {
    std::unique_ptr<TRecord> slot;
    if (CachedRecords.size() < Capacity) {
        slot = Pool.Pop();
    } else {
        TRecord* victim = TakeEvictable();
        if (victim == nullptr && !(Table != nullptr && Table->HoldsTransactionLock())) {
            WriteModifiedRecords();
            victim = TakeEvictable();
        }
        if (victim == nullptr) {
            Capacity += CacheGrowth;
            slot = Pool.Pop();
        } else {
            slot = RemoveCached(victim);
        }
    }
    slot->RecordNo = recordNo;
    slot->SetBufferSize(Header.RecordSize);
    slot->Init(false);
    slot->PinCount = 0;
    return slot;
}

void TDataFile::GroupRead(int32_t recordNo, int32_t count, int direction) {
    int32_t first = direction == 1 ? recordNo : std::max(1, recordNo - count + 1);
    int32_t last = direction == 1 ? recordNo + count - 1 : recordNo;
    size_t length = static_cast<size_t>(last - first + 1) * Header.RecordSize;
    if (IOBuffer.size() < length) IOBuffer.resize((length + 4095) / 4096 * 4096);
    int64_t position = RecordOffset(first);
    ReadWindowStart = position;
    ReadWindowLength = static_cast<int64_t>(length);
    uint32_t got = 0;
    try {
        got = ReadAt(position, IOBuffer.data(), static_cast<uint32_t>(length), true);
    } catch (...) {
        ReadWindowStart = ReadWindowLength = 0;
        throw;
    }
    ReadWindowStart = ReadWindowLength = 0;
    if (got < length) {
        // Records appended in memory may not be on disk yet; only then is a short read expected.
        bool accepted = Table != nullptr && (Table->IsExclusive() || Table->HoldsTransactionLock()) &&
                        Table->GetFilesWritten();
        if (!accepted) RaiseTable(DBE_READERR);
    }
    int32_t whole = static_cast<int32_t>(got / Header.RecordSize);
    auto merge = [&](int32_t n) {
        uint8_t* bytes = IOBuffer.data() + static_cast<size_t>(n - first) * Header.RecordSize;
        TRecord* cached = FindCached(n);
        if (cached != nullptr) {
            if (cached->PinCount == 0 && !cached->Modified) cached->LoadFrom(bytes);
            return;
        }
        std::unique_ptr<TRecord> slot = CacheSlot(n);
        slot->LoadFrom(bytes);
        InsertCached(std::move(slot));
    };
    // From the far end towards the record asked for, which ends up most recently used.
    if (direction == 1) {
        for (int32_t n = first + whole - 1; n >= first; --n) merge(n);
    } else {
        for (int32_t n = first; n < first + whole; ++n)
            if (n != recordNo) merge(n);
        if (first + whole - 1 >= recordNo) merge(recordNo);
    }
}

bool TDataFile::GetRecord(TRecordFetchClient* cursor, int32_t recordNo, int direction, bool useCursorOrder,
                          bool readAhead, TRecord*& record) {
    record = nullptr;
    if (recordNo <= 0 || recordNo > Header.NextRecordNo) RaiseTable(DBE_FILECORRUPT);
    if (recordNo == Header.NextRecordNo) {
        int64_t end = static_cast<int64_t>(DataHeaderSize) +
                      int64_t(Header.FieldCount) * FieldDescriptorSize +
                      int64_t(Header.NextRecordNo) * Header.RecordSize;
        if (Header.NextRecordNo > MaxRecordCount || end > MaxDataFileSize) RaiseTable(DBE_TABLEFULL);
        std::unique_ptr<TRecord> slot = CacheSlot(recordNo);
        slot->Pin();
        record = slot.get();
        InsertCached(std::move(slot));  // the largest number: it goes at the end
        ListCandidate(record);
        ++Header.NextRecordNo;
        Header.HeaderModified = 1;
        return true;
    }
    TRecord* found = nullptr;
    int probed = 0;
    for (TRecord* r = RecentHead; r != nullptr && probed < RecentProbe; r = r->Older, ++probed)
        if (r->RecordNo == recordNo) {
            found = r;
            break;
        }
    if (found == nullptr) found = FindCached(recordNo);
    if (found == nullptr) {
        const TEngineSettings* settings = Table != nullptr ? Table->GetSettings() : nullptr;
        bool strict = settings != nullptr && settings->StrictChangeDetection;
        if (!strict && cursor != nullptr && cursor->SyncBeforeRead()) return false;
        int32_t count = 1;
        if (readAhead) {
            if (useCursorOrder && cursor != nullptr)
                count = std::max(1, cursor->CountConsecutiveRecords(recordNo, direction, RecordsPerRead));
            else
                count = std::min(RecordsPerRead, direction == 1 ? Header.NextRecordNo - recordNo : recordNo);
            count = std::max(count, 1);
        }
        GroupRead(recordNo, count, direction);
        found = FindCached(recordNo);
        if (found == nullptr) RaiseTable(DBE_FILECORRUPT);
    }
    Unlink(found);
    LinkHead(found);
    found->Pin();
    ListCandidate(found);
    record = found;
    return true;
}

void TDataFile::ReleaseRecord(TRecord* record) {
    if (record == nullptr) return;
    ENGINE_INVARIANT(record->PinCount > 0, "a record is released only while held");
    record->Unpin();
}

void TDataFile::CheckCache() const {
#if ENGINE_INVARIANTS_ON
    for (size_t i = 0; i < WriteCandidates.size(); ++i)
        ENGINE_INVARIANT(WriteCandidates[i]->CandidateSlot == static_cast<int32_t>(i),
                         "a write candidate knows its slot");
    size_t listed = 0;
    const TRecord* newer = nullptr;
    for (const TRecord* r = RecentHead; r != nullptr && listed <= CachedRecords.size(); r = r->Older) {
        ENGINE_INVARIANT(r->Newer == newer, "the recency list links both ways");
        newer = r;
        ++listed;
    }
    ENGINE_INVARIANT(RecentTail == newer && listed == CachedRecords.size(),
                     "every cached record stands once on the recency list");
    CachedRecords.ForEach([this](const TRecord* r) {
        ENGINE_INVARIANT(CachedRecords.Find(r->RecordNo) == r, "a cached record is filed under its number");
        if (r->Modified || r->PinCount > 0)
            ENGINE_INVARIANT(r->CandidateSlot >= 0, "a modified or pinned record is a write candidate");
    });
#endif
}

int32_t TDataFile::NextFreeRecord() const {
    bool reuse = Table != nullptr && Table->HasUserPrimaryIndex();
    return Header.FirstFreeRecord == 0 || !reuse ? Header.NextRecordNo : Header.FirstFreeRecord;
}

TRecord* TDataFile::GetFreeRecord(TRecordFetchClient* cursor) {
    TRecord* record = nullptr;
    while (!GetRecord(cursor, NextFreeRecord(), 1, false, false, record)) {
        // The table changed under the cursor: the free chain is read again.
    }
    SetFirstFreeRecord(record->GetFreeLink());
    return record;
}

void TDataFile::FreeRecord(TRecord* record) {
    int32_t next = NextFreeRecord();
    record->SetStatus(1);
    record->SetFreeLink(next == Header.NextRecordNo ? 0 : next);
    SetFirstFreeRecord(record->RecordNo);
}

void TDataFile::SetFirstFreeRecord(int32_t n) {
    if (Header.FirstFreeRecord == n) return;
    Header.FirstFreeRecord = n;
    Header.HeaderModified = 1;
}

bool TDataFile::WriteModifiedRecords() {
    CheckCache();
    DueRecords.clear();
    for (TRecord* r : WriteCandidates) {
        if (!r->Modified || r->PinCount > 0) continue;
        int64_t position = RecordOffset(r->RecordNo);
        if (ReadWindowLength > 0 && position < ReadWindowStart + ReadWindowLength &&
            position + Header.RecordSize > ReadWindowStart)
            continue;
        DueRecords.push_back(r);
    }
    std::sort(DueRecords.begin(), DueRecords.end(),
              [](const TRecord* a, const TRecord* b) { return a->RecordNo < b->RecordNo; });
    const std::vector<TRecord*>& due = DueRecords;
    bool wrote = false;
    for (size_t i = 0; i < due.size();) {
        size_t j = i + 1;
        while (j < due.size() && due[j]->RecordNo == due[j - 1]->RecordNo + 1) ++j;
        size_t length = (j - i) * Header.RecordSize;
        if (OutBuffer.size() < length) OutBuffer.resize((length + 4095) / 4096 * 4096);
        for (size_t k = i; k < j; ++k) due[k]->StoreTo(OutBuffer.data() + (k - i) * Header.RecordSize);
        WriteAt(RecordOffset(due[i]->RecordNo), OutBuffer.data(), static_cast<uint32_t>(length));
        if (Table != nullptr) Table->SetFilesWritten();
        wrote = true;
        i = j;
    }
    // Only records still modified or held can need a later write.
    for (size_t i = 0; i < WriteCandidates.size();) {
        TRecord* r = WriteCandidates[i];
        if (r->Modified || r->PinCount > 0) {
            ++i;
        } else {
            UnlistCandidate(r);
        }
    }
    return wrote;
}

void TDataFile::DropCachedRecords() {
    RecentHead = RecentTail = nullptr;
    for (TRecord* r : WriteCandidates) r->CandidateSlot = -1;
    WriteCandidates.clear();
    CachedRecords.Clear([this](std::unique_ptr<TRecord>& r) { Pool.Push(r); });
}

void TDataFile::TrimCache() {
    size_t limit = CacheLimit();
    while (CachedRecords.size() > limit) {
        TRecord* victim = TakeEvictable();
        if (victim == nullptr) {
            WriteModifiedRecords();
            victim = TakeEvictable();
        }
        if (victim == nullptr) break;
        std::unique_ptr<TRecord> owned = RemoveCached(victim);
        Pool.Push(owned);
    }
    Capacity = std::max(CachedRecords.size(), limit);
}

bool TDataFile::LockRecord(int32_t recordNo) {
    return LockFileRange(true, RecordLockBase - recordNo, 1);
}

bool TDataFile::UnlockRecord(int32_t recordNo) {
    return LockFileRange(false, RecordLockBase - recordNo, 1);
}

bool TDataFile::UnlockAllRecords() {
    return LockFileRange(false, AllRecordLocksStart, AllRecordLocksLength);
}

bool TDataFile::LockHeader() {
    for (int32_t attempt = 0; attempt < HeaderLockAttempts; ++attempt) {
        if (LockFileRange(true, HeaderLockOffset, 1)) return true;
        framework::Sleep(HeaderLockPauseMs);
    }
    return false;
}

bool TDataFile::UnlockHeader() {
    return LockFileRange(false, HeaderLockOffset, 1);
}

}  // namespace dbengine
