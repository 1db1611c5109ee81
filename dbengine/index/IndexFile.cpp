#include "dbengine/index/IndexFile.h"

#include <algorithm>
#include <cstring>

#include "dbengine/data/DataFile.h"
#include "dbengine/data/DataTable.h"
#include "dbengine/os/OSLayer.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineUtils.h"
#include "framework/core/Seams.h"

namespace dbengine {

namespace {

// Header offsets.
constexpr size_t OfsChangeCount = 0;
constexpr size_t OfsVersion = 8;
constexpr size_t OfsNextPageNo = 9;
constexpr size_t OfsIndexCount = 13;
constexpr size_t OfsDescriptors = 14;
constexpr size_t OfsRecordCount = 3974;
constexpr size_t OfsInternalPrimaryIndex = 3978;
constexpr size_t OfsHeaderModified = 3979;

// Descriptor offsets.
constexpr size_t DOfsName = 0;
constexpr size_t DOfsKeySize = 31;
constexpr size_t DOfsDescending = 33;
constexpr size_t DOfsCaseInsensitive = 34;
constexpr size_t DOfsUnique = 35;
constexpr size_t DOfsCompression = 36;
constexpr size_t DOfsFieldCount = 37;
constexpr size_t DOfsFieldDescending = 38;
constexpr size_t DOfsFieldNumbers = 54;
constexpr size_t DOfsRootPage = 86;
constexpr size_t DOfsFreePage = 90;
constexpr size_t DOfsByte94 = 94;
constexpr size_t DOfsRemoveMark = 95;
constexpr size_t DOfsDataRootPage = 96;
constexpr size_t DOfsNoCounts = 100;
constexpr size_t DOfsTemporary = 101;
constexpr size_t DOfsReserved = 102;

constexpr size_t MaxIndexNameLength = 30;
constexpr uint32_t LockPauseMs = 3;

// The last secondary descriptor of a count, which a damaged header may give beyond 30.
int LastSecondary(int indexCount) {
    return std::min(indexCount, MaxSecondaryIndexes);
}

const char SysDeletedName[] = "Sys Deleted";
const char SysTextName[] = "Sys Text";
const char PrimaryIndexName[] = "Primary";

}  // namespace

std::array<uint8_t, IndexDescriptorSize> TIndexDescriptor::Encode() const {
    std::array<uint8_t, IndexDescriptorSize> b{};
    uint8_t* p = b.data();
    PutShortString(p + DOfsName, Name, MaxIndexNameLength);
    PutUInt16(p + DOfsKeySize, KeySize);
    p[DOfsDescending] = Descending;
    p[DOfsCaseInsensitive] = CaseInsensitive;
    p[DOfsUnique] = Unique;
    p[DOfsCompression] = Compression;
    p[DOfsFieldCount] = FieldCount;
    for (int i = 0; i < MaxIndexFields; ++i) {
        p[DOfsFieldDescending + i] = FieldDescending[i];
        PutUInt16(p + DOfsFieldNumbers + 2 * i, FieldNumbers[i]);
    }
    PutInt32(p + DOfsRootPage, RootPage);
    PutInt32(p + DOfsFreePage, FreePage);
    p[DOfsByte94] = Byte94;
    p[DOfsRemoveMark] = RemoveMark;
    PutInt32(p + DOfsDataRootPage, DataRootPage);
    p[DOfsNoCounts] = NoCounts;
    p[DOfsTemporary] = Temporary;
    std::copy(Reserved.begin(), Reserved.end(), p + DOfsReserved);
    return b;
}

TIndexDescriptor TIndexDescriptor::Decode(const uint8_t* p) {
    TIndexDescriptor d;
    d.Name = GetShortString(p + DOfsName, MaxIndexNameLength);
    d.KeySize = GetUInt16(p + DOfsKeySize);
    d.Descending = p[DOfsDescending];
    d.CaseInsensitive = p[DOfsCaseInsensitive];
    d.Unique = p[DOfsUnique];
    d.Compression = p[DOfsCompression];
    d.FieldCount = p[DOfsFieldCount];
    for (int i = 0; i < MaxIndexFields; ++i) {
        d.FieldDescending[i] = p[DOfsFieldDescending + i];
        d.FieldNumbers[i] = GetUInt16(p + DOfsFieldNumbers + 2 * i);
    }
    d.RootPage = GetInt32(p + DOfsRootPage);
    d.FreePage = GetInt32(p + DOfsFreePage);
    d.Byte94 = p[DOfsByte94];
    d.RemoveMark = p[DOfsRemoveMark];
    d.DataRootPage = GetInt32(p + DOfsDataRootPage);
    d.NoCounts = p[DOfsNoCounts];
    d.Temporary = p[DOfsTemporary];
    std::copy(p + DOfsReserved, p + IndexDescriptorSize, d.Reserved.begin());
    return d;
}

std::array<uint8_t, IndexHeaderSize> TIndexHeader::Encode() const {
    std::array<uint8_t, IndexHeaderSize> b{};
    uint8_t* p = b.data();
    PutInt32(p + OfsChangeCount, ChangeCount);
    std::copy(Reserved4.begin(), Reserved4.end(), p + 4);
    p[OfsVersion] = Version;
    PutInt32(p + OfsNextPageNo, NextPageNo);
    p[OfsIndexCount] = IndexCount;
    for (int i = 0; i < IndexDescriptorCount; ++i) {
        auto d = Descriptors[i].Encode();
        std::copy(d.begin(), d.end(), p + OfsDescriptors + IndexDescriptorSize * i);
    }
    PutInt32(p + OfsRecordCount, RecordCount);
    p[OfsInternalPrimaryIndex] = InternalPrimaryIndex;
    p[OfsHeaderModified] = HeaderModified;
    return b;
}

TIndexHeader TIndexHeader::Decode(const uint8_t* p) {
    TIndexHeader h;
    h.ChangeCount = GetInt32(p + OfsChangeCount);
    std::copy(p + 4, p + 8, h.Reserved4.begin());
    h.Version = p[OfsVersion];
    h.NextPageNo = GetInt32(p + OfsNextPageNo);
    h.IndexCount = p[OfsIndexCount];
    for (int i = 0; i < IndexDescriptorCount; ++i)
        h.Descriptors[i] = TIndexDescriptor::Decode(p + OfsDescriptors + IndexDescriptorSize * i);
    h.RecordCount = GetInt32(p + OfsRecordCount);
    h.InternalPrimaryIndex = p[OfsInternalPrimaryIndex];
    h.HeaderModified = p[OfsHeaderModified];
    return h;
}

TIndexFile::~TIndexFile() {
    try {
        CloseFile();
    } catch (...) {
        // A destructor must not raise.
    }
}

void TIndexFile::RaiseTable(TEngineErrorCode code, const std::string& field, const std::string& index) const {
    std::string table = Table != nullptr && !Table->TableName.empty() ? Table->TableName : FileName;
    RaiseEngineError(code, {}, {}, Table != nullptr ? Table->GetDatabaseName() : "", table, field, index);
}

void TIndexFile::ScramblePage(uint8_t* bytes) const {
    if (Fields != nullptr) Fields->ScrambleRecord(bytes, IndexPageSize);
}

void TIndexFile::UnscramblePage(uint8_t* bytes) const {
    if (Fields != nullptr) Fields->UnscrambleRecord(bytes, IndexPageSize);
}

bool TIndexFile::Encrypted() const {
    return Fields != nullptr && Fields->Encrypted();
}

void TIndexFile::CreateIndexFile() {
    TFileHandler::CreateFile();
    TIndexHeader h;
    h.Version = IndexFileVersion;
    h.NextPageNo = 1;
    h.Descriptors[SysDeletedIndexNo].Name = SysDeletedName;
    h.Descriptors[SysDeletedIndexNo].KeySize = 5;
    h.Descriptors[SysDeletedIndexNo].Compression = 0;
    h.Descriptors[SysTextIndexNo].Name = SysTextName;
    h.Descriptors[SysTextIndexNo].KeySize = 68;
    h.Descriptors[SysTextIndexNo].Compression = 3;
    h.RecordCount = 0;
    h.HeaderModified = 1;
    Header = h;
    ResetPageCaches();
}

void TIndexFile::OpenFile() {
    if (IsOpen) return;
    TFileHandler::OpenFile();
    try {
        ReadHeader();
        if (Header.IndexCount > 32) RaiseTable(DBE_HEADERCORRUPT);
        ResetPageCaches();
    } catch (...) {
        CloseFile();
        throw;
    }
}

void TIndexFile::CloseFile() {
    if (!IsOpen) return;
    // Cached pages go without being written: the table flushes before it closes its files.
    for (TPageList& list : Caches) {
        for (auto& p : list.Pages) PagePool.Give(p);
        list.Pages.clear();
        list.Head = list.Tail = nullptr;
    }
    DropTemporaryIndexes();
    TFileHandler::CloseFile();
}

void TIndexFile::ReadHeader() {
    std::vector<uint8_t> bytes(IndexHeaderSize);
    ReadAt(0, bytes.data(), IndexHeaderSize);
    if (Fields != nullptr) Fields->UnscrambleRecord(bytes.data(), IndexHeaderSize);
    Header = TIndexHeader::Decode(bytes.data());
    Header.HeaderModified = 0;
}

bool TIndexFile::ReloadHeaderIfChanged() {
    std::vector<uint8_t> bytes(IndexHeaderSize);
    ReadAt(0, bytes.data(), IndexHeaderSize);
    if (Fields != nullptr) Fields->UnscrambleRecord(bytes.data(), IndexHeaderSize);
    if (GetInt32(bytes.data()) == Header.ChangeCount) return false;
    Header = TIndexHeader::Decode(bytes.data());
    return true;
}

bool TIndexFile::WriteHeader(bool force) {
    if (!force && Header.HeaderModified == 0) return false;
    ++Header.ChangeCount;
    TIndexHeader copy = Header;
    // Temporary descriptors never reach the disk. They always follow every permanent one
    // (AddIndexDesc refuses a permanent index after a temporary one), so no hole is left.
    for (int i = LastSecondary(copy.IndexCount); i >= 1; --i) {
        if (copy.Descriptors[i].Temporary != 0) {
            ClearIndexDesc(copy.Descriptors[i]);
            --copy.IndexCount;
        }
    }
    auto bytes = copy.Encode();
    if (Fields != nullptr) Fields->ScrambleRecord(bytes.data(), IndexHeaderSize);
    WriteAt(0, bytes.data(), IndexHeaderSize);
    if (Table != nullptr) Table->FilesWritten = true;
    Header.HeaderModified = 0;
    return true;
}

void TIndexFile::MarkHeaderChanged() {
    ++Header.ChangeCount;
    Header.HeaderModified = 1;
    if (Table != nullptr) Table->FilesWritten = true;
}

void TIndexFile::EmptyIndexFile() {
    EnterFileLock();
    try {
        if (SeekFile(0, IndexHeaderSize) != static_cast<int64_t>(IndexHeaderSize)) RaiseTable(DBE_WRITEERR);
        TruncateFile();
    } catch (...) {
        LeaveFileLock();
        throw;
    }
    LeaveFileLock();
    if (Table != nullptr && Table->ForceBufferFlush()) FlushFile();
    Header.Version = IndexFileVersion;
    Header.NextPageNo = 1;
    Header.RecordCount = 0;
    for (TIndexDescriptor& d : Header.Descriptors) {
        d.RootPage = 0;
        d.FreePage = 0;
        d.DataRootPage = 0;
    }
    Header.HeaderModified = 1;
}

void TIndexFile::CheckVersion() {
    if (Header.Version != IndexFileVersion) RaiseTable(DBE_OLDVERSION);
}

void TIndexFile::CheckHeader() {
    CheckVersion();
    auto corrupt = [this] { RaiseTable(DBE_HEADERCORRUPT); };
    auto pagesValid = [this](const TIndexDescriptor& d) {
        return IsValidPageNumber(d.RootPage) && IsValidPageNumber(d.FreePage) &&
               IsValidPageNumber(d.DataRootPage);
    };
    if (Header.IndexCount > MaxSecondaryIndexes) corrupt();
    for (int i = 0; i <= Header.IndexCount; ++i) {
        const TIndexDescriptor& d = Header.Descriptors[i];
        bool internalPrimary = i == PrimaryIndexNo && Header.InternalPrimaryIndex != 0;
        if (i == PrimaryIndexNo) {
            if (!d.Name.empty() || (Header.InternalPrimaryIndex == 0 && d.Unique == 0)) corrupt();
        } else {
            std::string upper = TrimText(d.Name);
            UpperCaseLocale(0, 0, upper);
            if (upper.empty() || !IsIdentStart(upper[0])) corrupt();
            for (int k = 1; k <= Header.IndexCount; ++k)
                if (k != i && SameNameText(TrimText(Header.Descriptors[k].Name), upper)) corrupt();
        }
        if (d.FieldCount > MaxIndexFields) corrupt();
        int keyPart = 0;
        for (int j = 0; j < MaxIndexFields; ++j) {
            uint16_t fieldNo = d.FieldNumbers[j];
            if (fieldNo == 0) {
                for (int later = j + 1; later < MaxIndexFields; ++later)
                    if (d.FieldNumbers[later] != 0) corrupt();  // a gap in the list
                break;
            }
            TFieldDescriptor field;
            bool exists =
                Fields != nullptr && Fields->FindFieldByNumber(static_cast<int16_t>(fieldNo), field);
            if (!exists) {
                if (internalPrimary) break;
                corrupt();
            }
            if (field.FieldType == fldBlob) corrupt();
            keyPart += KeyPartSize(field) + 1;
        }
        if (keyPart > MaxKeyPartSize || (keyPart == 0 && !internalPrimary)) corrupt();
        if (!pagesValid(d)) corrupt();
    }
    const TIndexDescriptor& text = Header.Descriptors[SysTextIndexNo];
    if (text.FieldCount > MaxIndexFields) corrupt();
    for (int j = 0; j < MaxIndexFields; ++j) {
        uint16_t fieldNo = text.FieldNumbers[j];
        if (fieldNo == 0) {
            for (int later = j + 1; later < MaxIndexFields; ++later)
                if (text.FieldNumbers[later] != 0) corrupt();
            break;
        }
        TFieldDescriptor field;
        if (Fields == nullptr || !Fields->FindFieldByNumber(static_cast<int16_t>(fieldNo), field)) corrupt();
        bool memo = field.FieldType == fldBlob && field.SubType == fldstMemo;
        if (field.FieldType != fldString && !memo) corrupt();
    }
    if (!pagesValid(text)) corrupt();
}

void TIndexFile::CheckIndexFields(const TIndexDescriptor& desc, const std::string& indexName) const {
    if (Fields == nullptr) return;
    for (int i = 0; i < desc.FieldCount && i < MaxIndexFields; ++i) {
        TFieldDescriptor field;
        if (!Fields->FindFieldByNumber(static_cast<int16_t>(desc.FieldNumbers[i]), field)) continue;
        if (field.FieldType == fldBlob) RaiseTable(DBE_SEARCHCOLREQD, field.Name, indexName);
    }
}

void TIndexFile::SetPrimaryIndexDesc(const TIndexDescriptor& desc) {
    if (Header.Descriptors[PrimaryIndexNo].KeySize != 0)
        RaiseTable(DBE_PRIMARYKEYREDEFINE, {}, PrimaryIndexName);
    if (desc.FieldCount > MaxIndexFields) RaiseTable(DBE_INDEXLIMIT);
    if (desc.FieldCount == 0) {
        SetInternalPrimaryIndex(true);
        Header.HeaderModified = 1;
        return;
    }
    SetInternalPrimaryIndex(false);
    for (int i = 0; i < desc.FieldCount; ++i) {
        TFieldDescriptor field;
        bool exists =
            Fields == nullptr || Fields->FindFieldByNumber(static_cast<int16_t>(desc.FieldNumbers[i]), field);
        if (!exists) RaiseTable(DBE_SEARCHCOLREQD, std::to_string(desc.FieldNumbers[i]), PrimaryIndexName);
        if (Fields != nullptr && field.FieldType == fldBlob)
            RaiseTable(DBE_SEARCHCOLREQD, field.Name, PrimaryIndexName);
    }
    TIndexDescriptor& d = Header.Descriptors[PrimaryIndexNo];
    d.Name.clear();
    d.KeySize = desc.KeySize;
    d.Descending = desc.Descending;
    d.CaseInsensitive = desc.CaseInsensitive;
    d.Unique = 1;
    d.NoCounts = desc.NoCounts;
    d.Compression = desc.Compression;
    d.FieldCount = desc.FieldCount;
    d.FieldNumbers = desc.FieldNumbers;
    d.FieldDescending = desc.FieldDescending;
    Header.HeaderModified = 1;
}

void TIndexFile::AddIndexDesc(const TIndexDescriptor& desc) {
    if (Header.IndexCount >= MaxSecondaryIndexes || desc.FieldCount > MaxIndexFields)
        RaiseTable(DBE_INDEXLIMIT);
    if (desc.Name.empty()) RaiseTable(DBE_INDEXNAMEREQUIRED);
    if (!IsIdentStart(desc.Name[0])) RaiseTable(DBE_INVALIDINDEXNAME, {}, desc.Name);
    std::string trimmed = TrimText(desc.Name);
    for (int i = 1; i <= LastSecondary(Header.IndexCount); ++i)
        if (SameNameText(TrimText(Header.Descriptors[i].Name), trimmed))
            RaiseTable(DBE_INDEXEXISTS, {}, desc.Name);
    CheckIndexFields(desc, desc.Name);
    // A permanent index after a temporary one would sit above it; the stored header, which leaves
    // temporary indexes out, would then lose it. The temporary index keeps the table in use.
    if (desc.Temporary == 0)
        for (int i = 1; i <= LastSecondary(Header.IndexCount); ++i)
            if (Header.Descriptors[i].Temporary != 0) RaiseTable(DBE_TABLEOPEN);
    ++Header.IndexCount;
    TIndexDescriptor& d = Header.Descriptors[Header.IndexCount];
    d.Name = desc.Name.substr(0, MaxIndexNameLength);
    d.KeySize = desc.KeySize;
    d.Descending = desc.Descending;
    d.CaseInsensitive = desc.CaseInsensitive;
    d.Unique = desc.Unique;
    d.NoCounts = desc.NoCounts;
    d.Compression = desc.Compression;
    d.FieldCount = desc.FieldCount;
    d.FieldNumbers = desc.FieldNumbers;
    d.FieldDescending = desc.FieldDescending;
    d.RootPage = 0;
    d.Temporary = desc.Temporary;
    if (desc.Temporary != 0 && !TempFile) {
        auto temp = std::make_unique<TFileHandler>();
        std::string dir = Table != nullptr && Table->Session != nullptr ? Table->Session->GetTempDirectory()
                                                                        : QueryTempDirectory();
        temp->InMemory = InMemory;
        temp->FileName = MakeTempFileName(dir, ".IDX", InMemory);
        temp->Temporary = true;
        temp->CreateFile();
        TempFile = std::move(temp);
        TempNextPageNo = 1;
    }
    Header.HeaderModified = 1;
}

void TIndexFile::ReplaceIndexDesc(int index, const TIndexDescriptor& desc) {
    TIndexDescriptor& d = Header.Descriptors.at(index);
    d.Name = desc.Name.substr(0, MaxIndexNameLength);
    d.KeySize = desc.KeySize;
    d.Descending = desc.Descending;
    d.CaseInsensitive = desc.CaseInsensitive;
    d.Unique = desc.Unique;
    d.NoCounts = desc.NoCounts;
    d.Compression = desc.Compression;
    d.FieldCount = desc.FieldCount;
    d.FieldDescending = desc.FieldDescending;
    d.FieldNumbers = desc.FieldNumbers;
    d.Temporary = desc.Temporary;
    d.RootPage = 0;
    d.Byte94 = 0;
    d.Reserved.fill(0);
    Header.HeaderModified = 1;
}

void TIndexFile::RenameIndexDesc(int index, const TIndexDescriptor& desc) {
    TIndexDescriptor& d = Header.Descriptors.at(index);
    d.Name = desc.Name.substr(0, MaxIndexNameLength);
    d.FieldNumbers = desc.FieldNumbers;
    Header.HeaderModified = 1;
}

void TIndexFile::RemoveIndexDesc(int index, bool remove) {
    if (index == PrimaryIndexNo) {
        SetInternalPrimaryIndex(true);
    } else if (remove && index >= 1 && index <= LastSecondary(Header.IndexCount)) {
        int last = LastSecondary(Header.IndexCount);
        TIndexDescriptor removed = Header.Descriptors[index];
        for (int i = index; i < last; ++i) Header.Descriptors[i] = Header.Descriptors[i + 1];
        // The removed descriptor, with its free-page chain, waits just past the last one for the
        // next index added.
        Header.Descriptors[last] = removed;
        --Header.IndexCount;
    }
    Header.HeaderModified = 1;
}

void TIndexFile::DropTemporaryIndexes() {
    for (int i = LastSecondary(Header.IndexCount); i >= 1; --i) {
        if (Header.Descriptors[i].Temporary != 0) {
            ClearIndexDesc(Header.Descriptors[i]);
            --Header.IndexCount;
        }
    }
    if (TempFile) {
        TempFile->CloseFile();
        try {
            TempFile->DeleteFile();
        } catch (const EDbEngineError&) {
            // Already gone.
        }
        TempFile.reset();
        TempNextPageNo = 1;
    }
}

bool TIndexFile::IndexNameExists(const std::string& name) const {
    for (int i = 0; i <= LastSecondary(Header.IndexCount); ++i)
        if (SameNameText(Header.Descriptors[i].Name, name)) return true;
    return false;
}

void TIndexFile::SetInternalPrimaryIndex(bool flag) {
    if ((Header.InternalPrimaryIndex != 0) == flag) return;
    Header.InternalPrimaryIndex = flag ? 1 : 0;
    if (flag) ClearIndexDesc(Header.Descriptors[PrimaryIndexNo]);
    Header.HeaderModified = 1;
}

int32_t TIndexFile::NextPageNo(int index) const {
    return Header.Descriptors.at(index).Temporary != 0 ? TempNextPageNo : Header.NextPageNo;
}

int32_t TIndexFile::AppendPageNo(int index) {
    int32_t p = NextPageNo(index);
    if (p > MaxIndexPageNo || int64_t(p) * IndexPageSize + IndexPageSize > MaxIndexFileSize)
        RaiseTable(DBE_TABLEFULL);
    if (Header.Descriptors.at(index).Temporary != 0) {
        ++TempNextPageNo;
    } else {
        ++Header.NextPageNo;
        MarkHeaderChanged();
    }
    return p;
}

void TIndexFile::SetRecordCount(int32_t n) {
    if (Header.RecordCount == n) return;
    Header.RecordCount = n;
    Header.HeaderModified = 1;
}

void TIndexFile::AddRecordCount(int32_t delta) {
    Header.RecordCount += delta;
    Header.HeaderModified = 1;
}

void TIndexFile::SetRootPage(int index, int32_t page) {
    if (Header.Descriptors.at(index).RootPage == page) return;
    Header.Descriptors[index].RootPage = page;
    Header.HeaderModified = 1;
}

void TIndexFile::SetFreePage(int index, int32_t page) {
    if (Header.Descriptors.at(index).FreePage == page) return;
    Header.Descriptors[index].FreePage = page;
    Header.HeaderModified = 1;
}

void TIndexFile::SetDataRootPage(int index, int32_t page) {
    if (Header.Descriptors.at(index).DataRootPage == page) return;
    Header.Descriptors[index].DataRootPage = page;
    Header.HeaderModified = 1;
}

bool TIndexFile::LockForWrite() {
    for (int32_t attempt = 0; attempt < LockAttempts; ++attempt) {
        if (LockFileRange(true, IndexWriteLockOffset, IndexWriteLockLength)) return true;
        framework::Sleep(LockPauseMs);
    }
    return false;
}

bool TIndexFile::UnlockForWrite() {
    return LockFileRange(false, IndexWriteLockOffset, IndexWriteLockLength);
}

bool TIndexFile::LockForRead(int32_t& slot) {
    for (int32_t attempt = 0; attempt < LockAttempts; ++attempt) {
        slot = framework::Random(65536);
        if (slot == 0) slot = 1;
        if (LockFileRange(true, IndexReadSlotBase - slot, 1)) return true;
        framework::Sleep(LockPauseMs);
    }
    return false;
}

bool TIndexFile::UnlockForRead(int32_t slot) {
    return LockFileRange(false, IndexReadSlotBase - slot, 1);
}

}  // namespace dbengine

// ---- Page cache ----

namespace dbengine {

namespace {

// Pages looked at in the recency chain before the binary search.
constexpr int RecentPageProbe = 2;
// Growth of a list whose every page is pinned or dirty.
constexpr size_t PageCacheGrowth = 4;

bool ByPageNo(const std::unique_ptr<TPage>& p, int32_t n) {
    return p->PageNo < n;
}

}  // namespace

size_t TIndexFile::PagesPerIndex() const {
    int64_t bufferSize = 16384;
    if (Table != nullptr && Table->Session != nullptr) bufferSize = Table->Session->DataBufferSize;
    return static_cast<size_t>(std::max<int64_t>(bufferSize / 8192, 0));
}

void TIndexFile::ResetPageCaches() {
    for (TPageList& list : Caches) {
        for (auto& p : list.Pages) PagePool.Give(p);
        list.Pages.clear();
        list.Head = list.Tail = nullptr;
        list.Capacity = PagesPerIndex();
    }
}

bool TIndexFile::IndexIsTemporary(int index) const {
    return index <= MaxSecondaryIndexes && Header.Descriptors[index].Temporary != 0;
}

TFileHandler& TIndexFile::PageFile(int index) {
    if (IndexIsTemporary(index) && TempFile) return *TempFile;
    return *this;
}

void TIndexFile::SetPageSettings(int index, TPage& page) const {
    const TIndexDescriptor& d = Header.Descriptors[index];
    page.IndexNo = static_cast<uint8_t>(index);
    page.KeySize = d.KeySize;
    page.Descending = d.Descending != 0;
    page.Unique = d.Unique != 0;
    page.NoCounts = d.NoCounts != 0;
    page.Compression = d.Compression;
}

void TIndexFile::LinkHead(TPageList& list, TPage* page) {
    page->Older = list.Head;
    page->Newer = nullptr;
    if (list.Head != nullptr) list.Head->Newer = page;
    list.Head = page;
    if (list.Tail == nullptr) list.Tail = page;
}

void TIndexFile::UnlinkPage(TPageList& list, TPage* page) {
    if (page->Newer != nullptr) page->Newer->Older = page->Older;
    if (page->Older != nullptr) page->Older->Newer = page->Newer;
    if (list.Head == page) list.Head = page->Older;
    if (list.Tail == page) list.Tail = page->Newer;
    page->Older = page->Newer = nullptr;
}

TPage* TIndexFile::FindCachedPage(int index, int32_t pageNo) const {
    const TPageList& list = Caches.at(index);
    auto it = std::lower_bound(list.Pages.begin(), list.Pages.end(), pageNo, ByPageNo);
    return it != list.Pages.end() && (*it)->PageNo == pageNo ? it->get() : nullptr;
}

void TIndexFile::InsertPage(int index, std::unique_ptr<TPage> page) {
    TPageList& list = Caches[index];
    auto it = std::lower_bound(list.Pages.begin(), list.Pages.end(), page->PageNo, ByPageNo);
    TPage* raw = page.get();
    list.Pages.insert(it, std::move(page));
    LinkHead(list, raw);
}

std::unique_ptr<TPage> TIndexFile::RemovePage(int index, TPage* page) {
    TPageList& list = Caches[index];
    auto it = std::lower_bound(list.Pages.begin(), list.Pages.end(), page->PageNo, ByPageNo);
    if (it == list.Pages.end() || it->get() != page) RaisePageError();
    std::unique_ptr<TPage> owned = std::move(*it);
    list.Pages.erase(it);
    UnlinkPage(list, page);
    return owned;
}

TPage* TIndexFile::TakeRecyclable(TPageList& list) {
    for (TPage* p = list.Tail; p != nullptr; p = p->Newer)
        if (!p->Dirty && p->PinCount == 0) return p;
    return nullptr;
}

std::unique_ptr<TPage> TIndexFile::ObtainPage(int index, int32_t pageNo) {
    TPageList& list = Caches[index];
    std::unique_ptr<TPage> page;
    if (list.Pages.size() < list.Capacity) {
        page = PagePool.Take();
    } else {
        TPage* victim = TakeRecyclable(list);
        if (victim == nullptr && !(Table != nullptr && Table->HoldsTransactionLock)) {
            if (FlushPages(IndexIsTemporary(index))) victim = TakeRecyclable(list);
        }
        if (victim == nullptr) {
            list.Capacity += PageCacheGrowth;
            page = PagePool.Take();
        } else {
            page = RemovePage(index, victim);
            page->Reset();
        }
    }
    page->PageNo = pageNo;
    SetPageSettings(index, *page);
    return page;
}

void TIndexFile::ReadPage(int index, int32_t pageNo, bool newPage) {
    PageBuffer.assign(IndexPageSize, 0);
    TFileHandler& file = PageFile(index);
    uint32_t got = file.ReadAt(int64_t(pageNo) * IndexPageSize, PageBuffer.data(), IndexPageSize, true);
    if (got < IndexPageSize) {
        // Pages appended in memory may not be on disk yet.
        bool written = Table != nullptr && Table->FilesWritten;
        bool mayBeShort = &file != this || Temporary || (Table != nullptr && Table->HoldsTransactionLock);
        if (!(written && mayBeShort)) RaiseTable(DBE_READERR);
    }
    std::unique_ptr<TPage> page = ObtainPage(index, pageNo);
    page->LoadFromBuffer(PageBuffer.data(), newPage);
    InsertPage(index, std::move(page));
}

bool TIndexFile::GetPage(TPageFetchClient* cursor, int32_t pageNo, bool newPage, TPage*& page) {
    page = nullptr;
    int index = cursor->CurrentIndex();
    if (index < 0 || index >= IndexDescriptorCount) RaisePageError();
    if (pageNo <= 0) RaisePageError();
    TPageList& list = Caches[index];
    if (pageNo == NextPageNo(index)) {
        AppendPageNo(index);  // checks the file limits (9479)
        std::unique_ptr<TPage> fresh = ObtainPage(index, pageNo);
        fresh->Pin();
        page = fresh.get();
        InsertPage(index, std::move(fresh));
        return true;
    }
    TPage* found = nullptr;
    int probed = 0;
    for (TPage* p = list.Head; p != nullptr && probed < RecentPageProbe; p = p->Older, ++probed)
        if (p->PageNo == pageNo) {
            found = p;
            break;
        }
    if (found == nullptr) found = FindCachedPage(index, pageNo);
    if (found == nullptr) {
        bool strict = Table != nullptr && Table->Session != nullptr && Table->Session->StrictChangeDetection;
        if (!strict && cursor->TableChanged()) return false;
        if (pageNo > NextPageNo(index)) RaisePageError();  // beyond the file's pages
        ReadPage(index, pageNo, newPage);
        found = FindCachedPage(index, pageNo);
        if (found == nullptr) RaisePageError();
    }
    UnlinkPage(list, found);
    LinkHead(list, found);
    found->Pin();
    page = found;
    return true;
}

void TIndexFile::ReleasePage(TPage* page) {
    if (page != nullptr) page->Unpin();
}

bool TIndexFile::GetRootPage(TPageFetchClient* cursor, TPage*& page, bool& changed) {
    page = nullptr;
    changed = false;
    int32_t root = Header.Descriptors.at(cursor->CurrentIndex()).RootPage;
    if (root == 0) return false;
    bool ok = GetPage(cursor, root, false, page);
    changed = !ok;
    return ok;
}

bool TIndexFile::GetDataRootPage(TPageFetchClient* cursor, TPage*& page, bool& changed) {
    page = nullptr;
    changed = false;
    int32_t root = Header.Descriptors.at(cursor->CurrentIndex()).DataRootPage;
    if (root == 0) return false;
    changed = !GetPage(cursor, root, false, page);
    return true;
}

bool TIndexFile::FlushPages(bool temporary) {
    if (Header.IndexCount > 32) return false;
    std::vector<TPage*> due;
    for (int i = 0; i < IndexDescriptorCount; ++i) {
        bool internal = i > MaxSecondaryIndexes;
        if (internal ? temporary : IndexIsTemporary(i) != temporary) continue;
        for (auto& p : Caches[i].Pages)
            if (p->Dirty && p->PinCount == 0) due.push_back(p.get());
    }
    if (due.empty()) return false;
    std::sort(due.begin(), due.end(), [](TPage* a, TPage* b) { return a->PageNo < b->PageNo; });
    TFileHandler& file = temporary && TempFile ? *TempFile : static_cast<TFileHandler&>(*this);
    std::vector<uint8_t> out;
    for (size_t i = 0; i < due.size();) {
        size_t j = i + 1;
        while (j < due.size() && due[j]->PageNo == due[j - 1]->PageNo + 1) ++j;
        out.assign((j - i) * IndexPageSize, 0);
        for (size_t k = i; k < j; ++k) due[k]->SaveToBuffer(out.data() + (k - i) * IndexPageSize);
        file.WriteAt(int64_t(due[i]->PageNo) * IndexPageSize, out.data(), static_cast<uint32_t>(out.size()));
        if (Table != nullptr) Table->FilesWritten = true;
        i = j;
    }
    return true;
}

void TIndexFile::DropPages(bool temporary) {
    if (Header.IndexCount > 32) return;
    for (int i = 0; i < IndexDescriptorCount; ++i) {
        bool internal = i > MaxSecondaryIndexes;
        if (internal ? temporary : IndexIsTemporary(i) != temporary) continue;
        TPageList& list = Caches[i];
        for (auto& p : list.Pages) PagePool.Give(p);
        list.Pages.clear();
        list.Head = list.Tail = nullptr;
    }
}

void TIndexFile::TrimCache() {
    if (Header.IndexCount > 32) return;
    size_t n = PagesPerIndex();
    for (int i = 0; i < IndexDescriptorCount; ++i) {
        TPageList& list = Caches[i];
        while (list.Pages.size() > n) {
            TPage* victim = TakeRecyclable(list);
            if (victim == nullptr) {
                FlushPages(IndexIsTemporary(i));
                victim = TakeRecyclable(list);
            }
            if (victim == nullptr) break;
            std::unique_ptr<TPage> owned = RemovePage(i, victim);
            PagePool.Give(owned);
        }
        list.Capacity = std::max(list.Pages.size(), n);
    }
}

bool TIndexFile::AllocatePage(TPageFetchClient* cursor, TPage*& page) {
    int index = cursor->CurrentIndex();
    int32_t free = Header.Descriptors.at(index).FreePage;
    int32_t pageNo = free != 0 ? free : NextPageNo(index);
    if (!GetPage(cursor, pageNo, true, page)) return false;
    if (free != 0) SetFreePage(index, page->NextPage);
    SetPageSettings(index, *page);
    page->Reset();
    return true;
}

void TIndexFile::FreePage(TPageFetchClient* cursor, TPage* page) {
    int index = cursor->CurrentIndex();
    page->NextPage = Header.Descriptors.at(index).FreePage;
    page->IsFree = true;
    page->Dirty = true;
    SetFreePage(index, page->PageNo);
}

// ---- The "Sys Text" parameter chain ----

namespace {

// Writes items into a chain of data pages, never splitting an item between two pages.
class TParameterWriter {
public:
    TParameterWriter(TIndexFile& file, TPageFetchClient* cursor, TPage* first)
        : File(file), Cursor(cursor), Page(first) {}
    ~TParameterWriter() { File.ReleasePage(Page); }

    void Put(const void* bytes, size_t size) {
        if (Position + size > PageDataSize) NextPage();
        std::memcpy(Page->Data() + Position, bytes, size);
        Position += size;
        Page->Dirty = true;
    }
    void PutLength(uint32_t n) {
        uint8_t b[4];
        PutUInt32(b, n);
        Put(b, 4);
    }

private:
    void NextPage() {
        TPage* next = nullptr;
        if (Page->NextPage != 0) {
            if (!File.GetPage(Cursor, Page->NextPage, false, next)) File.RaisePageError();
        } else {
            if (!File.AllocatePage(Cursor, next)) File.RaisePageError();
            next->PageType = ptData;
            next->SetEntryCount(0);
            Page->NextPage = next->PageNo;
            next->PrevPage = Page->PageNo;
        }
        Page->Dirty = true;
        File.ReleasePage(Page);
        Page = next;
        std::fill(Page->Data(), Page->Data() + PageDataSize, 0);
        Page->Dirty = true;
        Position = 0;
    }

    TIndexFile& File;
    TPageFetchClient* Cursor;
    TPage* Page;
    size_t Position = 0;
};

class TParameterReader {
public:
    TParameterReader(TIndexFile& file, TPageFetchClient* cursor, TPage* first, int32_t maxPages)
        : File(file), Cursor(cursor), Page(first), PagesLeft(maxPages) {
        if (Page->PageType != ptData) File.RaisePageError();
    }
    ~TParameterReader() { File.ReleasePage(Page); }

    void Get(void* bytes, size_t size) {
        if (Position + size > PageDataSize) NextPage();
        std::memcpy(bytes, Page->Data() + Position, size);
        Position += size;
    }
    int32_t GetLength() {
        uint8_t b[4];
        Get(b, 4);
        return GetInt32(b);
    }

private:
    void NextPage() {
        // A chain longer than the file has pages runs in a circle.
        if (Page->NextPage == 0 || --PagesLeft <= 0) File.RaisePageError();
        TPage* next = nullptr;
        if (!File.GetPage(Cursor, Page->NextPage, false, next)) File.RaisePageError();
        File.ReleasePage(Page);
        Page = next;
        if (Page->PageType != ptData) File.RaisePageError();
        Position = 0;
    }

    TIndexFile& File;
    TPageFetchClient* Cursor;
    TPage* Page;
    int32_t PagesLeft;
    size_t Position = 0;
};

}  // namespace

bool TIndexFile::ReadTextParameters(TPageFetchClient* cursor, TTextParameters& params) {
    TPage* first = nullptr;
    bool changed = true;
    // A table changed by another process is read again, from its fresh header.
    for (int attempt = 0; changed; ++attempt) {
        if (attempt == 3) RaisePageError();
        if (!GetDataRootPage(cursor, first, changed)) return false;
    }
    TParameterReader reader(*this, cursor, first, std::max(1, PageCount()));
    int32_t words = reader.GetLength();
    if (words < 0) RaisePageError();
    params.StopWords.clear();
    for (int32_t i = 0; i < words; ++i) {
        int32_t length = reader.GetLength();
        if (length < 0 || length > static_cast<int32_t>(PageDataSize)) RaisePageError();
        std::string word(static_cast<size_t>(length), '\0');
        reader.Get(word.data(), word.size());
        params.StopWords.push_back(std::move(word));
    }
    for (auto* set : {&params.SpaceChars, &params.IncludeChars}) {
        int32_t length = reader.GetLength();
        if (length != 32) RaisePageError();
        reader.Get(set->data(), 32);
    }
    return true;
}

void TIndexFile::WriteTextParameters(TPageFetchClient* cursor, const TTextParameters& params) {
    TPage* first = nullptr;
    bool changed = false;
    int index = cursor->CurrentIndex();
    if (!GetDataRootPage(cursor, first, changed)) {
        if (!AllocatePage(cursor, first)) RaisePageError();
        first->PageType = ptData;
        first->SetEntryCount(0);
        SetDataRootPage(index, first->PageNo);
    } else if (changed) {
        RaisePageError();
    }
    std::fill(first->Data(), first->Data() + PageDataSize, 0);
    TParameterWriter writer(*this, cursor, first);
    writer.PutLength(static_cast<uint32_t>(params.StopWords.size()));
    for (const std::string& word : params.StopWords) {
        std::string w = word.substr(0, 255);
        writer.PutLength(static_cast<uint32_t>(w.size()));
        writer.Put(w.data(), w.size());
    }
    for (const auto* set : {&params.SpaceChars, &params.IncludeChars}) {
        writer.PutLength(32);
        writer.Put(set->data(), 32);
    }
}

}  // namespace dbengine
