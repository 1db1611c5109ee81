#include "dbengine/index/IndexFile.h"

#include <algorithm>
#include <cstring>

#include "dbengine/file/FileList.h"
#include "dbengine/index/IndexCursor.h"
#include "dbengine/index/IndexKeys.h"
#include "dbengine/os/OSLayer.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/EngineUtils.h"
#include "dbengine/util/Invariant.h"
#include "framework/core/Seams.h"

namespace dbengine {

TIndexFile::TIndexFile(TIndexFileOwner* owner) : Owner(owner), PagePool(this) {
    int capacity = DefaultCacheCapacity();
    for (auto& cache : Caches) cache.Capacity = capacity;
}

TIndexFile::~TIndexFile() {
    if (IsOpen && !HeldBack.List.empty()) {
        try {
            WriteHeldBack();
        } catch (...) {
            // A destructor must not raise; the close, which raises, normally wrote them.
        }
    }
    DropHeldBack();
    for (int i = 0; i < IndexDescriptorCount; ++i) DropIndexPages(static_cast<uint8_t>(i));
    if (TempFile) {
        try {
            TempFile->CloseFile();
        } catch (...) {
            // A destructor must not raise; the temporary file goes with its last handle.
        }
    }
}

void TIndexFile::RaiseError(TEngineErrorCode code, std::string_view field, std::string_view index) const {
    RaiseEngineError(code, {}, {}, Owner->GetDatabaseName(), Owner->GetTableName(), field, index);
}

const TEngineSettings* TIndexFile::Settings() const {
    return Owner->GetSettings();
}

int TIndexFile::DefaultCacheCapacity() const {
    const TEngineSettings* session = Settings();
    int32_t size = session != nullptr ? session->DataBufferSize : 16384;
    return std::max(0, size / 8192);
}

const TIndexDescriptor& TIndexFile::Desc(uint8_t index) const {
    if (index >= IndexDescriptorCount) RaiseError(DBE_INDEXCORRUPT);
    return Header.Descriptors[index];
}

TIndexDescriptor& TIndexFile::Desc(uint8_t index) {
    if (index >= IndexDescriptorCount) RaiseError(DBE_INDEXCORRUPT);
    return Header.Descriptors[index];
}

TFileHandler& TIndexFile::FileOf(uint8_t index) {
    if (IsTemporaryIndex(index)) {
        if (!TempFile) RaiseError(DBE_INDEXCORRUPT);
        return *TempFile;
    }
    return *this;
}

void TIndexFile::Scramble(uint8_t* buffer) {
    if (!Owner->IsEncrypted()) return;
    uint8_t s1 = 0, s2 = 0;
    Owner->GetScrambleSeeds(s1, s2);
    ScrambleBuffer(buffer, IndexPageSize, s1, s2);
}

void TIndexFile::Unscramble(uint8_t* buffer) {
    if (!Owner->IsEncrypted()) return;
    uint8_t s1 = 0, s2 = 0;
    Owner->GetScrambleSeeds(s1, s2);
    UnscrambleBuffer(buffer, IndexPageSize, s1, s2);
}

// ---- File and header ----

void TIndexFile::CreateIndexFile() {
    CreateFile();
    Header = TIndexHeader{};
    Header.Version = IndexFileVersion;
    Header.NextPageNo = 1;
    Header.Descriptors[SysDeletedIndex].Name = SysDeletedName;
    Header.Descriptors[SysDeletedIndex].KeySize = SysDeletedKeySize;
    Header.Descriptors[SysDeletedIndex].Compression = icNone;
    Header.Descriptors[SysTextIndex].Name = SysTextName;
    Header.Descriptors[SysTextIndex].KeySize = SysTextKeySize;
    Header.Descriptors[SysTextIndex].Compression = icFull;
    Header.HeaderModified = 1;
}

void TIndexFile::OpenFile() {
    if (IsOpen) return;
    TFileHandler::OpenFile();
    try {
        ReadHeader();
        if (Header.IndexCount > SysTextIndex) RaiseError(DBE_HEADERCORRUPT);
    } catch (...) {
        TFileHandler::CloseFile();
        throw;
    }
}

void TIndexFile::CloseFile() {
    if (!IsOpen) return;
    WriteHeldBack();
    DropTemporaryIndexes();
    for (int i = 0; i < IndexDescriptorCount; ++i) DropIndexPages(static_cast<uint8_t>(i));
    TFileHandler::CloseFile();
}

void TIndexFile::DeleteFile() {
    DropHeldBack();
    TFileHandler::DeleteFile();
}

void TIndexFile::CopyToFile(const std::string& destName, bool compress, uint16_t progressStep,
                            const TCopyProgressCallback& callback, void* callbackData) {
    if (IsOpen) WriteHeldBack();
    TFileHandler::CopyToFile(destName, compress, progressStep, callback, callbackData);
}

void TIndexFile::CopyFromFile(const std::string& sourceName, bool compress, uint16_t progressStep,
                              const TCopyProgressCallback& callback, void* callbackData) {
    // The copy replaces every byte the held-back pages would have changed.
    if (IsOpen) DropHeldBack();
    TFileHandler::CopyFromFile(sourceName, compress, progressStep, callback, callbackData);
}

void TIndexFile::TruncateFile() {
    if (!HeldBack.List.empty()) {
        TFileLockScope scope(*this);
        int64_t end = SeekFile(1, 0);
        std::vector<TPage*> cut;
        for (const auto& [pageNo, page] : HeldBack.List)
            if (end >= 0 && static_cast<int64_t>(pageNo) * IndexPageSize + IndexPageSize > end)
                cut.push_back(page.get());
        for (TPage* page : cut) TakeHeldBack(page->PageNo).reset();
    }
    TFileHandler::TruncateFile();
}

void TIndexFile::ReadHeader() {
    ReadBuf.assign(IndexHeaderSize, 0);
    ReadAt(0, ReadBuf.data(), IndexHeaderSize);
    NoteStoredBytes(0, ReadBuf.data(), IndexHeaderSize);
    Unscramble(ReadBuf.data());
    Header = DecodeIndexHeader(ReadBuf.data());
    Header.HeaderModified = 0;
}

bool TIndexFile::ReloadHeaderIfChanged() {
    // Unchanged by anyone, as the file's view shows: nothing to read (a scrambled counter is
    // read and unscrambled with the whole header).
    if (!Owner->IsEncrypted() && PeekStoredCounterIs(IhChangeCount, Header.ChangeCount)) return false;
    ReadBuf.assign(IndexHeaderSize, 0);
    ReadAt(0, ReadBuf.data(), IndexHeaderSize);
    NoteStoredBytes(0, ReadBuf.data(), IndexHeaderSize);
    Unscramble(ReadBuf.data());
    if (GetLE32(ReadBuf.data() + IhChangeCount) == Header.ChangeCount) return false;
    Header = DecodeIndexHeader(ReadBuf.data());
    // As at ReadHeader: the stored flag is not a change of this process.
    Header.HeaderModified = 0;
    return true;
}

bool TIndexFile::WriteHeader(bool force) {
    if (!force && Header.HeaderModified == 0) return false;
    Header.ChangeCount = static_cast<int32_t>(static_cast<uint32_t>(Header.ChangeCount) + 1u);  // wraps
    TIndexHeader copy = Header;
    // Temporary descriptors never reach the disk; they always follow the permanent ones (a
    // permanent index cannot be added while a temporary one exists), so this leaves no hole.
    for (int i = std::min<int>(copy.IndexCount, MaxSecondaryIndexes); i >= 0; --i) {
        if (copy.Descriptors[i].Temporary) {
            ClearIndexDesc(copy.Descriptors[i]);
            if (copy.IndexCount > 0) --copy.IndexCount;
        }
    }
    for (int i = copy.IndexCount + 1; i <= MaxSecondaryIndexes; ++i)
        if (copy.Descriptors[i].Temporary) ClearIndexDesc(copy.Descriptors[i]);
    WriteBuf.assign(IndexHeaderSize, 0);
    EncodeIndexHeader(copy, WriteBuf.data());
    Scramble(WriteBuf.data());
    WriteAt(0, WriteBuf.data(), IndexHeaderSize);
    Owner->SetFilesWritten();
    Header.HeaderModified = 0;
    return true;
}

void TIndexFile::MarkHeaderChanged() {
    Header.ChangeCount = static_cast<int32_t>(static_cast<uint32_t>(Header.ChangeCount) + 1u);  // wraps
    Header.HeaderModified = 1;
    Owner->SetFilesWritten();
}

void TIndexFile::EmptyIndexFile() {
    {
        TFileLockScope scope(*this);
        if (SeekFile(0, IndexHeaderSize) != IndexHeaderSize) RaiseError(DBE_WRITEERR);
        TruncateFile();
    }
    const TEngineSettings* session = Settings();
    if (session != nullptr && session->ForceBufferFlush) FlushFile();
    Header.Version = IndexFileVersion;
    Header.NextPageNo = 1;
    Header.RecordCount = 0;
    for (auto& d : Header.Descriptors) {
        d.RootPage = 0;
        d.FreePage = 0;
        d.DataRootPage = 0;
    }
    Header.HeaderModified = 1;
}

void TIndexFile::CheckVersion() {
    if (Header.Version != IndexFileVersion) RaiseError(DBE_OLDVERSION);
}

bool TIndexFile::IsValidPageNumber(int32_t page, int32_t nextPageNo) {
    return page == 0 || (page >= 1 && page <= nextPageNo - 1);
}

void TIndexFile::CheckHeader() {
    CheckVersion();
    // The count and the page counter are checked first: everything below indexes by them.
    if (Header.IndexCount > MaxSecondaryIndexes || Header.NextPageNo < 1) RaiseError(DBE_HEADERCORRUPT);
    auto fail = [this] { RaiseError(DBE_HEADERCORRUPT); };
    auto pointersValid = [this](const TIndexDescriptor& d) {
        return IsValidPageNumber(d.RootPage, Header.NextPageNo) &&
               IsValidPageNumber(d.FreePage, Header.NextPageNo) &&
               IsValidPageNumber(d.DataRootPage, Header.NextPageNo);
    };
    auto hasGap = [](const TIndexDescriptor& d) {
        bool ended = false;
        for (uint16_t n : d.FieldNumbers) {
            if (n == 0)
                ended = true;
            else if (ended)
                return true;
        }
        return false;
    };
    bool internalPrimary = Header.InternalPrimaryIndex != 0;
    for (int i = 0; i <= Header.IndexCount; ++i) {
        const TIndexDescriptor& d = Header.Descriptors[i];
        if (i == 0) {
            if (!d.Name.empty() || (!internalPrimary && d.Unique == 0)) fail();
        } else {
            std::string u = TrimText(d.Name);
            UpperCaseLocale(0, 0, u);  // a lower-case y with diaeresis (255) starts a name as 159
            if (u.empty() || !IsIdentStart(u[0])) fail();
            for (int k = 1; k <= Header.IndexCount; ++k)
                if (k != i && SameNameText(TrimText(Header.Descriptors[k].Name), u)) fail();
        }
        if (d.FieldCount > MaxIndexFields) fail();
        if (hasGap(d)) fail();
        int keyPart = 0;
        for (uint16_t n : d.FieldNumbers) {
            if (n == 0) break;
            const TFieldDescriptor* field = Owner->FindField(n);
            if (field == nullptr) {
                if (i == 0 && internalPrimary) break;
                fail();
            }
            if (field->FieldType == fldBlob) fail();
            keyPart += KeyPartSize(*field) + 1;
        }
        if (keyPart > MaxKeyFieldPart) fail();
        if (keyPart == 0 && !(i == 0 && internalPrimary)) fail();
        if (!pointersValid(d)) fail();
    }
    const TIndexDescriptor& text = Header.Descriptors[SysTextIndex];
    if (text.FieldCount > MaxIndexFields || hasGap(text)) fail();
    for (uint16_t n : text.FieldNumbers) {
        if (n == 0) break;
        const TFieldDescriptor* field = Owner->FindField(n);
        if (field == nullptr) fail();
        bool isText =
            field->FieldType == fldString || (field->FieldType == fldBlob && field->SubType == fldstMemo);
        if (!isText) fail();
    }
    if (!pointersValid(text)) fail();
}

// ---- Descriptors ----

void TIndexFile::DescriptorCheckFields(const TIndexDescriptor& desc, std::string_view indexName) {
    for (int j = 0; j < std::min<int>(desc.FieldCount, MaxIndexFields); ++j) {
        const TFieldDescriptor* field = Owner->FindField(desc.FieldNumbers[j]);
        if (field != nullptr && field->FieldType == fldBlob)
            RaiseError(DBE_SEARCHCOLREQD, field->Name, indexName);
    }
}

void TIndexFile::SetPrimaryIndexDesc(const TIndexDescriptor& desc) {
    if (Header.Descriptors[0].KeySize != 0) RaiseError(DBE_PRIMARYKEYREDEFINE, {}, "Primary");
    if (desc.FieldCount > MaxIndexFields) RaiseError(DBE_INDEXLIMIT);
    if (desc.FieldCount == 0) {
        SetInternalPrimaryIndex(true);
        Header.HeaderModified = 1;
        return;
    }
    SetInternalPrimaryIndex(false);
    for (int j = 0; j < desc.FieldCount; ++j) {
        const TFieldDescriptor* field = Owner->FindField(desc.FieldNumbers[j]);
        if (field == nullptr) RaiseError(DBE_SEARCHCOLREQD, std::to_string(desc.FieldNumbers[j]), "Primary");
        if (field->FieldType == fldBlob) RaiseError(DBE_SEARCHCOLREQD, field->Name, "Primary");
    }
    TIndexDescriptor& d = Header.Descriptors[0];
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
        RaiseError(DBE_INDEXLIMIT);
    if (desc.Name.empty()) RaiseError(DBE_INDEXNAMEREQUIRED);
    if (!IsIdentStart(desc.Name[0])) RaiseError(DBE_INVALIDINDEXNAME, {}, desc.Name);
    std::string trimmed = TrimText(desc.Name);
    for (int k = 1; k <= Header.IndexCount; ++k)
        if (SameNameText(TrimText(Header.Descriptors[k].Name), trimmed))
            RaiseError(DBE_INDEXEXISTS, {}, desc.Name);
    DescriptorCheckFields(desc, desc.Name);
    // Temporary descriptors must stay behind the permanent ones, or the header written to disk
    // (which leaves them out) would have a hole and lose the permanent descriptor after it.
    if (!desc.Temporary)
        for (int k = 1; k <= Header.IndexCount; ++k)
            if (Header.Descriptors[k].Temporary) RaiseError(DBE_TABLEOPEN, {}, desc.Name);

    ++Header.IndexCount;
    TIndexDescriptor& d = Header.Descriptors[Header.IndexCount];
    // The slot may keep the free chain of a removed index; a chain of the other file (main or
    // temporary) would hand out page numbers of the wrong file, so it is left behind.
    if (d.Temporary != desc.Temporary) {
        d.FreePage = 0;
        d.DataRootPage = 0;
    }
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
    if (desc.Temporary && !TempFile) CreateTempFile();
    Header.HeaderModified = 1;
}

void TIndexFile::CreateTempFile() {
    auto file = std::make_unique<TFileHandler>();
    file->InMemory = InMemory;
    const TEngineSettings* session = Settings();
    std::string dir = session != nullptr ? session->GetTempDirectory() : std::string();
    file->FileName = MakeTempFileName(dir, ".IDX", InMemory);
    file->Temporary = true;
    file->CreateFile();
    TempFile = std::move(file);
    TempNextPageNo = 1;
}

void TIndexFile::ReplaceIndexDesc(uint8_t index, const TIndexDescriptor& desc) {
    TIndexDescriptor& d = Desc(index);
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
    d.Spare94 = 0;
    d.Reserved.fill(0);
    Header.HeaderModified = 1;
}

void TIndexFile::RenameIndexDesc(uint8_t index, const TIndexDescriptor& desc) {
    TIndexDescriptor& d = Desc(index);
    d.Name = desc.Name.substr(0, MaxIndexNameLength);
    d.FieldNumbers = desc.FieldNumbers;
    Header.HeaderModified = 1;
}

void TIndexFile::RemoveIndexDesc(uint8_t index, bool remove) {
    if (index == 0) SetInternalPrimaryIndex(true);
    if (remove && index != 0 && index <= Header.IndexCount && Header.IndexCount <= MaxSecondaryIndexes) {
        uint8_t last = Header.IndexCount;
        TIndexDescriptor removed = Header.Descriptors[index];
        // Cached pages follow their descriptors: the list of each moved index moves with it.
        for (int k = index; k < last; ++k) {
            Header.Descriptors[k] = Header.Descriptors[k + 1];
            std::swap(Caches[k], Caches[k + 1]);
            for (auto& [number, page] : Caches[k].List) page->IndexNo = static_cast<uint8_t>(k);
        }
        for (auto& [number, page] : Caches[last].List) page->IndexNo = last;
        if (removed.Temporary) {
            // Its pages and free chain live in the temporary file, which the slot's next user
            // may not share; the descriptor must not reach the disk either.
            DropIndexPages(last);
            ClearIndexDesc(removed);
        }
        Header.Descriptors[last] = removed;
        --Header.IndexCount;
    }
    Header.HeaderModified = 1;
}

void TIndexFile::DropTemporaryIndexes() {
    for (int i = std::min<int>(Header.IndexCount, MaxSecondaryIndexes); i >= 0; --i) {
        if (Header.Descriptors[i].Temporary) {
            DropIndexPages(static_cast<uint8_t>(i));
            ClearIndexDesc(Header.Descriptors[i]);
            if (Header.IndexCount > 0) --Header.IndexCount;
        }
    }
    if (TempFile) {
        TempFile->CloseFile();
        if (TempFile->FileExists()) TempFile->DeleteFile();
        TempFile.reset();
        TempNextPageNo = 1;
    }
}

void TIndexFile::ClearIndexDesc(TIndexDescriptor& desc) {
    desc = TIndexDescriptor{};
}

TIndexDescriptor TIndexFile::GetIndexDesc(uint8_t index) const {
    return Desc(index);
}

std::array<uint16_t, MaxIndexFields> TIndexFile::GetIndexFields(uint8_t index) const {
    return Desc(index).FieldNumbers;
}

bool TIndexFile::IndexNameExists(const std::string& name) const {
    for (int i = 0; i <= std::min<int>(Header.IndexCount, SysTextIndex); ++i)
        if (SameNameText(Header.Descriptors[i].Name, name)) return true;
    return false;
}

void TIndexFile::SetInternalPrimaryIndex(bool flag) {
    uint8_t value = flag ? 1 : 0;
    if (Header.InternalPrimaryIndex == value) return;
    Header.InternalPrimaryIndex = value;
    if (flag) ClearIndexDesc(Header.Descriptors[0]);
    Header.HeaderModified = 1;
}

// ---- Accessors ----

void TIndexFile::SetRecordCount(int32_t count) {
    if (Header.RecordCount == count) return;
    Header.RecordCount = count;
    Header.HeaderModified = 1;
}

void TIndexFile::IncRecordCount() {
    ++Header.RecordCount;
    Header.HeaderModified = 1;
}

void TIndexFile::DecRecordCount() {
    --Header.RecordCount;
    Header.HeaderModified = 1;
}

void TIndexFile::SetIndexCount(uint8_t count) {
    if (Header.IndexCount == count) return;
    Header.IndexCount = count;
    Header.HeaderModified = 1;
}

void TIndexFile::SetRootPage(uint8_t index, int32_t page) {
    TIndexDescriptor& d = Desc(index);
    if (d.RootPage == page) return;
    d.RootPage = page;
    Header.HeaderModified = 1;
}

void TIndexFile::SetFreePage(uint8_t index, int32_t page) {
    TIndexDescriptor& d = Desc(index);
    if (d.FreePage == page) return;
    d.FreePage = page;
    Header.HeaderModified = 1;
}

void TIndexFile::SetDataRootPage(uint8_t index, int32_t page) {
    TIndexDescriptor& d = Desc(index);
    if (d.DataRootPage == page) return;
    d.DataRootPage = page;
    Header.HeaderModified = 1;
}

int32_t TIndexFile::GetNextPageNo(uint8_t index) const {
    return IsTemporaryIndex(index) ? TempNextPageNo : Header.NextPageNo;
}

void TIndexFile::SetNextPageNo(uint8_t index, int32_t page) {
    if (IsTemporaryIndex(index)) {
        TempNextPageNo = page;
        return;
    }
    Header.NextPageNo = page;
    MarkHeaderChanged();
}

// ---- Table-wide locks ----

bool TIndexFile::LockForWrite() {
    for (int attempt = 1;; ++attempt) {
        if (LockFileRange(true, WriteLockOffset, WriteLockLength)) return true;
        if (attempt >= LockAttempts) return false;
        framework::Sleep(LockRetryMs);
    }
}

bool TIndexFile::UnlockForWrite() {
    return LockFileRange(false, WriteLockOffset, WriteLockLength);
}

bool TIndexFile::LockForRead(uint16_t& slot) {
    for (int attempt = 1;; ++attempt) {
        auto r = static_cast<uint16_t>(framework::Random(65536));
        if (r == 0) r = 1;
        slot = r;
        if (LockFileRange(true, ReadLockBase - r, 1)) return true;
        if (attempt >= LockAttempts) return false;
        framework::Sleep(LockRetryMs);
    }
}

bool TIndexFile::UnlockForRead(uint16_t slot) {
    return LockFileRange(false, ReadLockBase - slot, 1);
}

// ---- Page allocation ----

void TIndexFile::CheckAppend(int32_t pageNo) const {
    if (pageNo > MaxIndexPageNo ||
        static_cast<int64_t>(pageNo) * IndexPageSize + IndexPageSize > MaxIndexFileSize)
        RaiseError(DBE_TABLEFULL);
}

TPage* TIndexFile::AllocatePage(TIndexCursor& cursor) {
    uint8_t i = cursor.CurrentIndex;
    int32_t free = Desc(i).FreePage;
    int32_t p = free != 0 ? free : GetNextPageNo(i);
    TPage* page = nullptr;
    // A page about to be overwritten needs no check for other processes' changes.
    TIndexCursor plain(this);
    plain.CurrentIndex = i;
    GetPage(plain, p, true, page);
    if (free != 0) {
        // A free page still in use, or a chain that leaves the file, is a damaged chain.
        if (page->PinCount > 1 || !IsValidPageNumber(page->NextPage, GetNextPageNo(i))) {
            ReleasePage(page);
            RaiseError(DBE_INDEXCORRUPT);
        }
        SetFreePage(i, page->NextPage);
    }
    const TIndexDescriptor& d = Desc(i);
    page->SetIndexSettings(i, d.KeySize, d.Descending, d.Unique, d.NoCounts, d.Compression);
    page->Reset();
    return page;
}

void TIndexFile::FreePage(TIndexCursor& cursor, TPage& page) {
    uint8_t i = cursor.CurrentIndex;
    page.SetNextPage(GetFreePage(i));
    page.IsFree = true;
    page.Dirty = true;
    SetFreePage(i, page.PageNo);
}

// ---- Page cache ----

bool TIndexFile::IsCached(uint8_t index, int32_t pageNo) const {
    return Caches[index].List.count(pageNo) != 0;
}

const TPage* TIndexFile::CachedPage(uint8_t index, int32_t pageNo) const {
    if (index >= IndexDescriptorCount) return nullptr;
    auto at = Caches[index].List.find(pageNo);
    return at != Caches[index].List.end() ? at->second.get() : nullptr;
}

int64_t TIndexFile::PageMemoryBudget() const {
    const TEngineSettings* session = Settings();
    if (session == nullptr) return 16384;
    return std::max<int64_t>(session->IndexBufferSize, session->DataBufferSize);
}

void TIndexFile::CountPageBytes(TPage* page) {
    uint32_t now = page->MemoryBytes();
    CachedBytes += static_cast<int64_t>(now) - page->CountedBytes;
    page->CountedBytes = now;
}

void TIndexFile::UncountPageBytes(TPage* page) {
    CachedBytes -= page->CountedBytes;
    page->CountedBytes = 0;
}

void TIndexFile::KeepWithinBudget() {
    const int64_t budget = PageMemoryBudget();
    while (CachedBytes > budget) {
        int fullest = -1;
        for (int i = 0; i < IndexDescriptorCount; ++i)
            if (Caches[i].List.size() > 2 &&
                (fullest < 0 || Caches[i].List.size() > Caches[fullest].List.size()))
                fullest = i;
        if (fullest < 0) return;
        auto index = static_cast<uint8_t>(fullest);
        TPage* victim = FindVictim(Caches[fullest]);
        if (victim == nullptr && !IsTemporaryIndex(index) && HoldsBackWrites() &&
            !Owner->HoldsTransactionLock()) {
            if (TPage* changed = FindUnpinned(Caches[fullest])) {
                HoldBack(index, changed);
                continue;
            }
        }
        if (victim == nullptr) return;
        RemoveFromList(index, victim);
    }
}

TPage* TIndexFile::FindCached(uint8_t index, int32_t pageNo) {
    TPageCache& cache = Caches[index];
    TPage* found = nullptr;
    if (cache.MruHead != nullptr && cache.MruHead->PageNo == pageNo)
        found = cache.MruHead;
    else if (cache.MruHead != nullptr && cache.MruHead->MruNext != nullptr &&
             cache.MruHead->MruNext->PageNo == pageNo)
        found = cache.MruHead->MruNext;
    else if (auto at = cache.List.find(pageNo); at != cache.List.end())
        found = at->second.get();
    if (found != nullptr) MoveToHead(cache, found);
    return found;
}

void TIndexFile::Unlink(TPageCache& cache, TPage* page) {
    if (page->MruPrev != nullptr)
        page->MruPrev->MruNext = page->MruNext;
    else if (cache.MruHead == page)
        cache.MruHead = page->MruNext;
    if (page->MruNext != nullptr)
        page->MruNext->MruPrev = page->MruPrev;
    else if (cache.MruTail == page)
        cache.MruTail = page->MruPrev;
    page->MruPrev = page->MruNext = nullptr;
}

void TIndexFile::MoveToHead(TPageCache& cache, TPage* page) {
    if (cache.MruHead == page) return;
    Unlink(cache, page);
    page->MruNext = cache.MruHead;
    if (cache.MruHead != nullptr) cache.MruHead->MruPrev = page;
    cache.MruHead = page;
    if (cache.MruTail == nullptr) cache.MruTail = page;
}

TPage* TIndexFile::FindVictim(TPageCache& cache) {
    for (TPage* p = cache.MruTail; p != nullptr; p = p->MruPrev)
        if (!p->Dirty && p->PinCount == 0) return p;
    return nullptr;
}

TPage* TIndexFile::FindUnpinned(TPageCache& cache) {
    for (TPage* p = cache.MruTail; p != nullptr; p = p->MruPrev)
        if (p->PinCount == 0) return p;
    return nullptr;
}

void TIndexFile::GiveBackGrowth(uint8_t index) {
    TPageCache& cache = Caches[index];
    const int size = cache.Capacity - cache.Grown;
    bool holdBack = !IsTemporaryIndex(index) && HoldsBackWrites() && !Owner->HoldsTransactionLock();
    while (cache.List.size() > static_cast<size_t>(size)) {
        if (TPage* victim = FindVictim(cache)) {
            RemoveFromList(index, victim);
        } else if (TPage* changed = holdBack ? FindUnpinned(cache) : nullptr) {
            HoldBack(index, changed);
        } else {
            break;
        }
    }
    cache.Capacity = std::max(size, static_cast<int>(cache.List.size()));
    cache.Grown = cache.Capacity - size;
}

std::unique_ptr<TPage> TIndexFile::TakeFromList(uint8_t index, TPage* page) {
    TPageCache& cache = Caches[index];
    auto at = cache.List.find(page->PageNo);
    if (at == cache.List.end() || at->second.get() != page) RaiseError(DBE_INDEXCORRUPT);
    std::unique_ptr<TPage> owned = std::move(at->second);
    cache.List.erase(at);
    UncountPageBytes(page);
    Unlink(cache, page);
    UnlistCandidate(page);
    return owned;
}

void TIndexFile::RemoveFromList(uint8_t index, TPage* page) {
    std::unique_ptr<TPage> owned = TakeFromList(index, page);
    PagePool.Give(owned);
}

TPage* TIndexFile::ObtainPage(uint8_t index, int32_t pageNo, std::unique_ptr<TPage> object) {
    TPageCache& cache = Caches[index];
    if (cache.Grown > 0) GiveBackGrowth(index);
    if (cache.List.size() >= static_cast<size_t>(cache.Capacity)) {
        TPage* victim = FindVictim(cache);
        bool heldBack = false;
        if (victim == nullptr && !Owner->HoldsTransactionLock()) {
            bool temporary = IsTemporaryIndex(index);
            if (!temporary && HoldsBackWrites()) {
                if (TPage* changed = FindUnpinned(cache)) {
                    HoldBack(index, changed);
                    heldBack = true;
                }
            } else if (FlushPages(temporary)) {
                victim = FindVictim(cache);
            }
        }
        if (victim != nullptr) {
            auto at = cache.List.find(victim->PageNo);
            if (at == cache.List.end() || at->second.get() != victim) RaiseError(DBE_INDEXCORRUPT);
            std::unique_ptr<TPage> freed = std::move(at->second);
            cache.List.erase(at);
            UncountPageBytes(victim);
            Unlink(cache, victim);
            UnlistCandidate(victim);
            if (object) {
                PagePool.Give(freed);
            } else {
                object = std::move(freed);
                object->Reset();
            }
        } else if (!heldBack) {
            cache.Capacity += 4;
            cache.Grown += 4;
        }
    }
    if (!object) object = PagePool.Take();
    const TIndexDescriptor& d = Desc(index);
    object->PageNo = pageNo;
    object->SetIndexSettings(index, d.KeySize, d.Descending, d.Unique, d.NoCounts, d.Compression);
    TPage* page = object.get();
    // A page is cached once: a second object for the same number would hide changes of the first.
    if (!cache.List.emplace(pageNo, std::move(object)).second) RaiseError(DBE_INDEXCORRUPT);
    MoveToHead(cache, page);
    CountPageBytes(page);
    return page;
}

void TIndexFile::ReadPage(uint8_t index, int32_t pageNo, bool newPage, TPage*& page) {
    TFileHandler& file = FileOf(index);
    bool temporary = &file != this;
    bool allowShort = Owner->GetFilesWritten() && (temporary || Temporary || Owner->HoldsTransactionLock());
    ReadBuf.assign(IndexPageSize, 0);
    file.ReadAt(static_cast<int64_t>(pageNo) * IndexPageSize, ReadBuf.data(), IndexPageSize, allowShort);
    page = ObtainPage(index, pageNo);
    try {
        page->LoadFromBuffer(ReadBuf.data(), newPage);
    } catch (...) {
        RemoveFromList(index, page);
        page = nullptr;
        throw;
    }
}

bool TIndexFile::GetPage(TIndexCursor& cursor, int32_t pageNo, bool newPage, TPage*& page) {
    page = nullptr;
    uint8_t i = cursor.CurrentIndex;
    if (i >= IndexDescriptorCount || pageNo <= 0) RaiseError(DBE_INDEXCORRUPT);
    int32_t next = GetNextPageNo(i);
    if (pageNo == next) {
        CheckAppend(pageNo);
        page = ObtainPage(i, pageNo);
        page->Pin();
        ListCandidate(page);
        SetNextPageNo(i, pageNo + 1);
        return true;
    }
    // A page past the end was never appended: only a damaged pointer leads there.
    if (pageNo > next) RaiseError(DBE_INDEXCORRUPT);
    TPage* found = FindCached(i, pageNo);
    if (found == nullptr && !HeldBack.List.empty() && !IsTemporaryIndex(i)) {
        if (std::unique_ptr<TPage> held = TakeHeldBack(pageNo))
            found = ObtainPage(i, pageNo, std::move(held));
    }
    if (found == nullptr) {
        const TEngineSettings* session = Settings();
        bool strict = session != nullptr && session->StrictChangeDetection;
        if (!strict && cursor.TableChangedByOthers()) return false;
        ReadPage(i, pageNo, newPage, found);
    }
    if (found->PageNo != pageNo) RaiseError(DBE_INDEXCORRUPT);
    found->Pin();
    ListCandidate(found);
    CountPageBytes(found);
    // The page just fetched is pinned: it is never the one given up.
    if (CachedBytes > PageMemoryBudget()) KeepWithinBudget();
    page = found;
    return true;
}

TPage* TIndexFile::FetchPage(uint8_t index, int32_t pageNo) {
    TIndexCursor plain(this);
    plain.CurrentIndex = index;
    TPage* page = nullptr;
    GetPage(plain, pageNo, false, page);
    return page;
}

void TIndexFile::ReleasePage(TPage* page) {
    if (page == nullptr) return;
    ENGINE_INVARIANT(page->PinCount > 0, "a page is released only while held");
    page->Unpin();
}

bool TIndexFile::GetRootPage(TIndexCursor& cursor, TPage*& page, bool& changed) {
    page = nullptr;
    changed = false;
    int32_t root = Desc(cursor.CurrentIndex).RootPage;
    if (root == 0) return false;
    bool ok = GetPage(cursor, root, false, page);
    changed = !ok;
    return ok;
}

bool TIndexFile::GetDataRootPage(TIndexCursor& cursor, TPage*& page, bool& changed) {
    page = nullptr;
    changed = false;
    int32_t root = Desc(cursor.CurrentIndex).DataRootPage;
    if (root == 0) return false;
    changed = !GetPage(cursor, root, false, page);
    return true;
}

void TIndexFile::ListCandidate(TPage* page) {
    if (page->CandidateSlot >= 0) return;
    page->CandidateSlot = static_cast<int32_t>(WriteCandidates.size());
    WriteCandidates.push_back(page);
}

void TIndexFile::UnlistCandidate(TPage* page) {
    if (page->CandidateSlot < 0) return;
    size_t slot = static_cast<size_t>(page->CandidateSlot);
    TPage* last = WriteCandidates.back();
    WriteCandidates[slot] = last;
    last->CandidateSlot = static_cast<int32_t>(slot);
    WriteCandidates.pop_back();
    page->CandidateSlot = -1;
}

void TIndexFile::CheckCaches() const {
#if ENGINE_INVARIANTS_ON
    for (size_t i = 0; i < WriteCandidates.size(); ++i)
        ENGINE_INVARIANT(WriteCandidates[i]->CandidateSlot == static_cast<int32_t>(i),
                         "a write candidate knows its slot");
    for (const TPageCache& cache : Caches) {
        size_t chained = 0;
        const TPage* newer = nullptr;
        for (const TPage* p = cache.MruHead; p != nullptr && chained <= cache.List.size(); p = p->MruNext) {
            ENGINE_INVARIANT(p->MruPrev == newer, "the recency chain links both ways");
            newer = p;
            ++chained;
        }
        ENGINE_INVARIANT(cache.MruTail == newer && chained == cache.List.size(),
                         "every cached page stands once on the recency chain");
        for (const auto& [number, object] : cache.List) {
            const TPage& page = *object;
            ENGINE_INVARIANT(page.PageNo == number, "a cached page stands under its own number");
            if (page.Dirty || page.PinCount > 0)
                ENGINE_INVARIANT(page.CandidateSlot >= 0, "a dirty or pinned page is a write candidate");
        }
    }
#endif
}

template <typename Written>
void TIndexFile::WritePageRuns(TFileHandler& file, const std::vector<TPage*>& pages, Written written) {
    if (file.Journaling()) {
        // The journal's images of all the pages in few reads rather than one read per write.
        std::vector<std::pair<int64_t, uint32_t>> ranges;
        ranges.reserve(pages.size());
        for (TPage* p : pages)
            ranges.emplace_back(static_cast<int64_t>(p->PageNo) * IndexPageSize, IndexPageSize);
        file.KeepBeforeWrites(ranges);
    }
    size_t start = 0;
    while (start < pages.size()) {
        size_t end = start + 1;
        while (end < pages.size() && pages[end]->PageNo == pages[end - 1]->PageNo + 1) ++end;
        size_t bytes = (end - start) * IndexPageSize;
        if (WriteBuf.size() < bytes) WriteBuf.resize(bytes);
        for (size_t k = start; k < end; ++k)
            pages[k]->SaveToBuffer(WriteBuf.data() + (k - start) * IndexPageSize);
        try {
            file.WriteAt(static_cast<int64_t>(pages[start]->PageNo) * IndexPageSize, WriteBuf.data(),
                         static_cast<uint32_t>(bytes));
        } catch (...) {
            // Pages that did not reach the file stay changed for a later flush.
            for (size_t k = start; k < pages.size(); ++k) pages[k]->Dirty = true;
            throw;
        }
        Owner->SetFilesWritten();
        for (size_t k = start; k < end; ++k) written(k);
        start = end;
    }
}

bool TIndexFile::HoldsBackWrites() const {
    return IsOpen && !ReadOnly && Owner->IsExclusive() && !Journaling();
}

void TIndexFile::HoldBack(uint8_t index, TPage* page) {
    std::unique_ptr<TPage> owned = TakeFromList(index, page);
    if (!page->Dirty) {
        PagePool.Give(owned);
        return;
    }
    page->CountedBytes = page->MemoryBytes();
    HeldBackMemory += page->CountedBytes;
    if (!HeldBack.List.emplace(page->PageNo, std::move(owned)).second) RaiseError(DBE_INDEXCORRUPT);
    MoveToHead(HeldBack, page);
    if (HeldBackMemory <= MaxHeldBackBytes) return;
    // The least recently held quarter goes to the file.
    std::vector<TPage*> oldest;
    int64_t freed = 0;
    for (TPage* p = HeldBack.MruTail; p != nullptr && freed < MaxHeldBackBytes / 4; p = p->MruPrev) {
        oldest.push_back(p);
        freed += p->CountedBytes;
    }
    WriteHeldBack(&oldest);
}

std::unique_ptr<TPage> TIndexFile::TakeHeldBack(int32_t pageNo) {
    auto at = HeldBack.List.find(pageNo);
    if (at == HeldBack.List.end()) return nullptr;
    std::unique_ptr<TPage> page = std::move(at->second);
    HeldBack.List.erase(at);
    Unlink(HeldBack, page.get());
    HeldBackMemory -= page->CountedBytes;
    page->CountedBytes = 0;
    return page;
}

bool TIndexFile::WriteHeldBack(const std::vector<TPage*>* only) {
    if (HeldBack.List.empty()) return false;
    std::vector<TPage*>& pages = DuePages;
    if (only != nullptr) {
        pages = *only;
    } else {
        pages.clear();
        for (const auto& [pageNo, page] : HeldBack.List) pages.push_back(page.get());
    }
    std::sort(pages.begin(), pages.end(), [](TPage* a, TPage* b) { return a->PageNo < b->PageNo; });
    WritePageRuns(*this, pages, [&](size_t k) {
        std::unique_ptr<TPage> written = TakeHeldBack(pages[k]->PageNo);
        PagePool.Give(written);
    });
    return true;
}

void TIndexFile::DropHeldBack() {
    while (HeldBack.MruTail != nullptr) TakeHeldBack(HeldBack.MruTail->PageNo).reset();
}

bool TIndexFile::FlushPages(bool temporary) {
    if (Header.IndexCount > SysTextIndex) return false;
    CheckCaches();
    // Pages of the user indexes whose Temporary flag matches, and, for the main file, of the two
    // system indexes; for the main file also the pages held back, each written once.
    std::vector<TPage*>& pages = DuePages;
    pages.clear();
    for (TPage* p : WriteCandidates)
        if (p->Dirty && p->PinCount == 0 && IsTemporaryIndex(p->IndexNo) == temporary) pages.push_back(p);
    if (!temporary)
        for (const auto& [pageNo, page] : HeldBack.List) pages.push_back(page.get());
    if (pages.empty()) {
        ForgetCleanCandidates();
        return false;
    }
    TFileHandler* file = this;
    if (temporary) {
        if (!TempFile) RaiseError(DBE_INDEXCORRUPT);
        file = TempFile.get();
    }
    std::sort(pages.begin(), pages.end(), [](TPage* a, TPage* b) { return a->PageNo < b->PageNo; });
    WritePageRuns(*file, pages, [&](size_t k) {
        if (!temporary && pages[k]->CandidateSlot < 0) {
            std::unique_ptr<TPage> written = TakeHeldBack(pages[k]->PageNo);
            PagePool.Give(written);
        }
    });
    ForgetCleanCandidates();
    return true;
}

void TIndexFile::ForgetCleanCandidates() {
    // Only pages still dirty or held can need a later flush.
    for (size_t i = 0; i < WriteCandidates.size();) {
        TPage* p = WriteCandidates[i];
        if (p->Dirty || p->PinCount > 0)
            ++i;
        else
            UnlistCandidate(p);
    }
}

void TIndexFile::DropIndexPages(uint8_t index) {
    TPageCache& cache = Caches[index];
    for (auto& [number, page] : cache.List) {
        UncountPageBytes(page.get());
        page->MruPrev = page->MruNext = nullptr;
        UnlistCandidate(page.get());
        PagePool.Give(page);
    }
    cache.List.clear();
    cache.MruHead = cache.MruTail = nullptr;
}

void TIndexFile::DropPages(bool temporary) {
    if (Header.IndexCount > SysTextIndex) return;
    for (int i = 0; i <= MaxSecondaryIndexes; ++i)
        if ((Header.Descriptors[i].Temporary != 0) == temporary) DropIndexPages(static_cast<uint8_t>(i));
    if (!temporary) {
        DropIndexPages(SysDeletedIndex);
        DropIndexPages(SysTextIndex);
        // A held-back page is a change not written yet, like a changed cached one: both go.
        DropHeldBack();
    }
}

void TIndexFile::TrimCache() {
    if (Header.IndexCount > SysTextIndex) return;
    int n = DefaultCacheCapacity();
    for (int i = 0; i < IndexDescriptorCount; ++i) {
        TPageCache& cache = Caches[i];
        bool temporary = IsTemporaryIndex(static_cast<uint8_t>(i));
        while (cache.List.size() > static_cast<size_t>(n)) {
            TPage* victim = FindVictim(cache);
            if (victim == nullptr) {
                FlushPages(temporary);
                victim = FindVictim(cache);
            }
            if (victim == nullptr) break;
            RemoveFromList(static_cast<uint8_t>(i), victim);
        }
        cache.Capacity = std::max(static_cast<int>(cache.List.size()), n);
        cache.Grown = cache.Capacity - n;
    }
}

}  // namespace dbengine
