#include "dbengine/session/DataTable.h"

#include <algorithm>
#include <exception>

#include "dbengine/file/FileList.h"
#include "dbengine/os/OSLayer.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/util/EngineUtils.h"
#include "dbengine/util/FirstFailure.h"
#include "framework/core/Seams.h"

namespace dbengine {

namespace {

// Lock bitmaps start with room for this many records.
constexpr uint32_t InitialBitmapSize = 8192;

bool EndsWithDat(const std::string& name) {
    return name.size() >= 4 && SameNameText(name.substr(name.size() - 4), ".DAT");
}

// The name with a trailing ".DAT" replaced by the extension, or the extension appended.
std::string WithExtension(const std::string& name, const char* extension) {
    return (EndsWithDat(name) ? name.substr(0, name.size() - 4) : name) + extension;
}

}  // namespace

TDataTable::TDataTable(TDataDirectory* directory, TDataSession* session)
    : Directory(directory),
      Session(session != nullptr || directory == nullptr ? session : directory->Session),
      DataFile(std::make_unique<TDataFile>(this)),
      IndexFile(std::make_unique<TIndexFile>(this)),
      BlobFile(std::make_unique<TBlobFile>(this)) {
    LockedRecords.SetSize(InitialBitmapSize);
    EditLocks.SetSize(InitialBitmapSize);
    DeferredUnlocks.SetSize(InitialBitmapSize);
}

TDataTable::~TDataTable() {
    CloseForGood();
}

void TDataTable::CloseForGood() noexcept {
    try {
        Rollback();
    } catch (...) {
        // Nothing may be raised here; the files are closed below all the same.
    }
    InTransaction = false;
    if (IsOpen) {
        OpenCount = 1;
        try {
            CloseTable(true);
        } catch (...) {
        }
    }
}

std::string TDataTable::GetDatabaseName() const {
    return Directory != nullptr ? Directory->GetDatabaseName() : "";
}

std::string TDataTable::GetDatabaseName() {
    return static_cast<const TDataTable*>(this)->GetDatabaseName();
}

bool TDataTable::ForceBufferFlush() const {
    return Session != nullptr && Session->ForceBufferFlush;
}

void TDataTable::RecordsSorted(int32_t recordCount) {
    if (IndexFile) IndexFile->SetRecordCount(recordCount);
}

const TEngineSettings* TDataTable::GetSettings() {
    return Session;
}

bool TDataTable::HasUserPrimaryIndex() const {
    return !IndexFile->GetInternalPrimaryIndex();
}

bool TDataTable::HasBlobFields() const {
    return DataFile->BlobFieldCount() > 0;
}

void TDataTable::SetTableName(const std::string& name) {
    if (name != TableName) TableName = name;
}

void TDataTable::RaiseTable(TEngineErrorCode code) const {
    RaiseEngineError(code, {}, {}, GetDatabaseName(), TableName);
}

const TFieldDescriptor* TDataTable::FindField(uint16_t fieldNo) {
    for (const TFieldDescriptor& d : DataFile->Descriptors)
        if (d.FieldNo == fieldNo) return &d;
    return nullptr;
}

// ---- Files ----

void TDataTable::BuildFileNames() {
    std::string folder = Directory != nullptr ? Directory->Directory : std::string();
    std::string base = folder + TableName;
    TFileHandler* files[] = {DataFile.get(), IndexFile.get(), BlobFile.get()};
    const char* extensions[] = {".DAT", ".IDX", ".BLB"};
    for (int i = 0; i < 3; ++i) {
        files[i]->FileName = WithExtension(base, extensions[i]);
        files[i]->Exclusive = Exclusive;
        files[i]->InMemory = InMemory;
        files[i]->Temporary = Temporary;
    }
}

void TDataTable::OpenFiles() {
    try {
        DataFile->OpenFile();
        try {
            IndexFile->OpenFile();
        } catch (const EDbEngineError& e) {
            if (e.ErrorCode != DBE_OSENOENT) throw;
            IndexRecreated = true;
            IndexFile->CreateIndexFile();
            IndexFile->WriteHeader(true);
            IndexFile->CloseFile();
            IndexFile->OpenFile();
        }
        if (HasBlobFields()) {
            BlobFile->BlockSize = static_cast<uint16_t>(DataFile->BlobBlockSize());
            BlobFile->Encrypted = DataFile->Encrypted();
            BlobFile->OpenFile();
        }
    } catch (...) {
        CloseFiles();
        throw;
    }
    bool blob = BlobFile->IsOpen;
    ReadOnly = DataFile->ReadOnly || IndexFile->ReadOnly || (blob && BlobFile->ReadOnly);
    ReadOnlyByAttribute = DataFile->ReadOnlyByAttribute || IndexFile->ReadOnlyByAttribute ||
                          (blob && BlobFile->ReadOnlyByAttribute);
    if (ReadOnlyByAttribute) ReadOnly = true;
    AccessIndexSlot = AccessBlobSlot = ReadIndexSlot = ReadBlobSlot = 0;
}

void TDataTable::CloseFiles() {
    TFirstFailure steps;
    steps.Run([this] { IndexFile->CloseFile(); });
    steps.Run([this] { BlobFile->CloseFile(); });
    steps.Run([this] { DataFile->CloseFile(); });
    IndexRecreated = false;
    FilesWritten = false;
    steps.RaiseIfAny();
}

void TDataTable::OpenTable() {
    IncOpenCount();
    if (IsOpen) return;
    IndexRecreated = false;
    IsOpen = true;
    try {
        OpenStorage();
    } catch (...) {
        // The files are closed already; only the count and the flag are taken back.
        DecOpenCount();
        IsOpen = false;
        throw;
    }
}

void TDataTable::CloseTable(bool discard) {
    if (!IsOpen) return;
    DecOpenCount();
    if (InTransaction || OpenCount > 0) return;
    try {
        Rollback();
    } catch (...) {
    }
    TFirstFailure steps;
    steps.Run([this] { ReleaseAllRecordsLock(); });
    steps.Run([this] { ReleaseRecordLocks(false); });
    EditLocks.ClearAll();
    steps.Run([&] { CloseStorage(discard); });
    IsOpen = false;
    steps.RaiseIfAny();
}

void TDataTable::OpenStorage() {
    BuildFileNames();
    OpenFiles();
}

void TDataTable::CloseStorage(bool discard) {
    // An exclusive table holds no file lock of a record, so its buffers may go after the record
    // locks; whatever happens to them, the table locks go and the files close.
    TFirstFailure steps;
    if (Exclusive && !ReadOnly) {
        if (discard && Temporary)
            steps.Run([this] { DiscardBuffers(true, false); });
        else
            steps.Run([this] { FlushBuffers(true); });
    }
    steps.Run([this] { EndAccess(); });
    steps.Run([this] { UnlockForRead(); });
    steps.Run([this] { UnlockForWrite(); });
    AccessIndexSlot = AccessBlobSlot = ReadIndexSlot = ReadBlobSlot = 0;
    steps.Run([this] { CloseFiles(); });
    steps.RaiseIfAny();
}

void TDataTable::CreateTable(const TTableDefinition& definition) {
    IncOpenCount();
    IsOpen = true;
    try {
        CreateStorage(definition);
    } catch (...) {
        DecOpenCount();
        IsOpen = false;
        throw;
    }
}

void TDataTable::CreateStorage(const TTableDefinition& definition) {
    bool madeData = false, madeIndex = false, madeBlob = false;
    try {
        BuildFileNames();
        DataFile->CreateDataFile(definition.LanguageId, definition.SortId, definition.UserMajorVersion,
                                 definition.UserMinorVersion, definition.Encrypted, definition.Password,
                                 definition.Description, definition.BlobBlockSize, definition.Fields);
        madeData = DataFile->IsOpen;
        IndexFile->CreateIndexFile();
        madeIndex = true;
        IndexFile->SetPrimaryIndexDesc(definition.PrimaryIndex);
        for (const TIndexDescriptor& d : definition.SecondaryIndexes) IndexFile->AddIndexDesc(d);
        TIndexDescriptor text = definition.TextIndex;
        if (text.Name.empty()) {
            text.Name = SysTextName;
            text.KeySize = SysTextKeySize;
            text.Compression = icFull;
        }
        IndexFile->ReplaceIndexDesc(SysTextIndex, text);
        if (HasBlobFields()) {
            BlobFile->BlockSize = static_cast<uint16_t>(DataFile->BlobBlockSize());
            BlobFile->Encrypted = DataFile->Encrypted();
            BlobFile->CreateFile();
            madeBlob = true;
        }
        DataFile->WriteHeader(true);
        DataFile->WriteDescriptors();
        IndexFile->WriteHeader(true);
        if (madeBlob) BlobFile->WriteHeader(true);
        if (Temporary) {
            // Temporary files go with their last handle: the creating handles stay.
            ReadOnly = ReadOnlyByAttribute = false;
        } else {
            // A new file is held by its creator alone: reopened, it takes the table's sharing.
            CloseFiles();
            OpenFiles();
        }
    } catch (...) {
        try {
            CloseFiles();
        } catch (...) {
        }
        // A failed create leaves no file of its own behind.
        if (madeBlob && BlobFile->FileExists()) EngineFileList()->DeleteFile(BlobFile->FileName, InMemory);
        if (madeIndex && IndexFile->FileExists()) EngineFileList()->DeleteFile(IndexFile->FileName, InMemory);
        if (madeData && DataFile->FileExists()) EngineFileList()->DeleteFile(DataFile->FileName, InMemory);
        throw;
    }
}

void TDataTable::DeleteTable() {
    BuildFileNames();
    DataFile->DeleteFile();
    IndexFile->DeleteFile();
    if (BlobFile->FileExists()) BlobFile->DeleteFile();
}

void TDataTable::RenameTable(const std::string& newName, bool asBackup) {
    BuildFileNames();
    std::string folder = Directory != nullptr ? Directory->Directory : std::string();
    bool asGiven = newName.empty() || newName.find_first_of(":\\") != std::string::npos || InMemory;
    std::string target = asGiven ? newName : folder + newName;
    TFileHandler* files[] = {DataFile.get(), IndexFile.get(), BlobFile.get()};
    const char* backupExtensions[] = {".DBK", ".IBK", ".BBK"};
    const char* tableExtensions[] = {".DAT", ".IDX", ".BLB"};
    std::string oldNames[3];
    int renamed = 0;
    try {
        for (int i = 0; i < 3; ++i) {
            oldNames[i] = files[i]->FileName;
            std::string name = WithExtension(target, asBackup ? backupExtensions[i] : tableExtensions[i]);
            TFileList* list = EngineFileList();
            if (asBackup && list != nullptr && list->FileExists(name, InMemory)) {
                int32_t result = list->DeleteFile(name, InMemory);
                if (result < 0) RaiseTableError(static_cast<TEngineErrorCode>(-result), name);
            }
            if (files[i]->FileExists()) files[i]->RenameFile(name);
            renamed = i + 1;
        }
    } catch (...) {
        // The set is renamed whole or not at all: the files renamed already get their names back.
        for (int i = renamed - 1; i >= 0; --i) {
            if (files[i]->FileName == oldNames[i]) continue;
            try {
                files[i]->RenameFile(oldNames[i]);
            } catch (...) {
            }
        }
        throw;
    }
}

void TDataTable::EmptyTable() {
    if (DataFile->IsOpen) DataFile->EmptyFile();
    if (IndexFile->IsOpen) IndexFile->EmptyIndexFile();
    if (BlobOpen()) BlobFile->EmptyFile();
    DiscardBuffers(true, false);
}

void TDataTable::BackupIndexFile() {
    FlushBuffers();
    std::string folder = Directory != nullptr ? Directory->Directory : std::string();
    IndexFile->CopyToFile(WithExtension(folder + TableName, ".IBK"), false, 0, {}, nullptr);
}

void TDataTable::RestoreIndexFile(bool keepCurrent, bool deleteBackup) {
    std::string folder = Directory != nullptr ? Directory->Directory : std::string();
    std::string backup = WithExtension(folder + TableName, ".IBK");
    if (!keepCurrent) IndexFile->CopyFromFile(backup, false, 0, {}, nullptr);
    TFileList* list = EngineFileList();
    if (deleteBackup && list != nullptr && list->FileExists(backup, InMemory)) {
        int32_t result = list->DeleteFile(backup, InMemory);
        if (result < 0) RaiseTableError(static_cast<TEngineErrorCode>(-result), backup);
    }
}

bool TDataTable::ReloadIfChanged() {
    bool changed = false;
    if (IndexFile->IsOpen && IndexFile->ReloadHeaderIfChanged()) {
        IndexFile->DropPages(false);
        DataFile->ReadHeader();
        DataFile->DropCachedRecords();
        changed = true;
    } else if (DataFile->IsOpen && DataFile->ReloadHeaderIfChanged()) {
        DataFile->DropCachedRecords();
        changed = true;
    }
    if (BlobOpen() && BlobFile->ReloadHeaderIfChanged()) {
        BlobFile->DropAllBlocks();
        return true;
    }
    return changed;
}

bool TDataTable::HoldsUnwrittenChanges() const {
    return DataFile->Header.HeaderModified != 0 || IndexFile->Header.HeaderModified != 0 ||
           (BlobOpen() && BlobFile->HeaderModified());
}

bool TDataTable::ChangedOnDisk() {
    if (!IsOpen || InMemory || TakesNoLocks() || !DataFile->IsOpen) return false;
    if (AccessLocked || ReadLocked || WriteLocked || TransactionLocked) return false;
    return DataFile->StoredChangeCount() != DataFile->Header.ChangeCount;
}

void TDataTable::FlushBuffers(bool trim, bool forceDataHeader, bool forceIndexHeader, bool forceBlobHeader,
                              bool forceOSFlush) {
    if (ReadOnly) return;
    if (InTransaction) {
        MarkFilesChanged(forceDataHeader, forceIndexHeader, forceBlobHeader);
        return;
    }
    bool toDisk = forceOSFlush || ForceBufferFlush();
    // A write killed part way leaves every record whole: new BLOB blocks reach the file before
    // the records that point at them, records before their index keys, and chains given up by
    // the records are freed (their blocks rewritten) only once no written record holds them.
    auto writeBlobs = [&](bool forceHeader) {
        if (!BlobOpen()) return;
        bool wrote = BlobFile->WriteDirtyBlocks();
        wrote = BlobFile->WriteHeader(forceHeader) || wrote;
        if (wrote && toDisk) BlobFile->FlushFile();
    };
    writeBlobs(forceBlobHeader);
    if (DataFile->IsOpen) {
        bool wrote = DataFile->WriteModifiedRecords();
        wrote = DataFile->WriteHeader(forceDataHeader) || wrote;
        wrote = DataFile->WriteDescriptors() || wrote;
        if (wrote && toDisk) DataFile->FlushFile();
        if (trim) DataFile->TrimCache();
    }
    if (IndexFile->IsOpen) {
        bool wrote = IndexFile->FlushPages(false);
        wrote = IndexFile->WriteHeader(forceIndexHeader) || wrote;
        if (wrote && toDisk) IndexFile->FlushFile();
        if (trim) IndexFile->TrimCache();
    }
    if (FreeReleasedChains()) writeBlobs(false);
    if (BlobOpen() && trim) BlobFile->TrimCache();
}

void TDataTable::ReleaseChain(int32_t firstBlock, int32_t stamp, int32_t recordNo) {
    if (firstBlock > 0) ReleasedChains.push_back({firstBlock, stamp, recordNo});
}

bool TDataTable::FreeReleasedChains() {
    if (ReleasedChains.empty() || InTransaction) return false;
    std::vector<TReleasedChain> chains;
    chains.swap(ReleasedChains);
    if (!BlobOpen()) return false;
    for (TReleasedChain& c : chains) {
        try {
            BlobFile->FreeBlob(nullptr, c.FirstBlock, c.Stamp, c.RecordNo, true);
        } catch (const EDbEngineError&) {
            // A chain that cannot be walked stays unused: nothing of a record is lost by that.
        }
    }
    return true;
}

void TDataTable::MarkFilesChanged(bool data, bool index, bool blob) {
    if (data && DataFile->IsOpen) DataFile->MarkChanged();
    if (index && IndexFile->IsOpen) IndexFile->MarkHeaderChanged();
    if (blob && BlobOpen()) BlobFile->TouchHeader();
}

void TDataTable::DiscardBuffers(bool trim, bool rereadHeaders) {
    if (DataFile->IsOpen) {
        DataFile->DropCachedRecords();
        if (trim) DataFile->TrimCache();
        if (rereadHeaders) DataFile->ReadHeader();
    }
    if (IndexFile->IsOpen) {
        IndexFile->DropPages(false);
        if (trim) IndexFile->TrimCache();
        if (rereadHeaders) IndexFile->ReadHeader();
    }
    if (BlobOpen()) {
        BlobFile->DropAllBlocks();
        if (trim) BlobFile->TrimCache();
        if (rereadHeaders) BlobFile->ReadHeader();
    }
}

void TDataTable::BeginWriteJournal() {
    if (DataFile->IsOpen) DataFile->BeginWriteJournal();
    if (IndexFile->IsOpen) IndexFile->BeginWriteJournal();
    if (BlobOpen()) BlobFile->BeginWriteJournal();
}

void TDataTable::EndWriteJournal() {
    DataFile->EndWriteJournal();
    IndexFile->EndWriteJournal();
    if (BlobFile != nullptr) BlobFile->EndWriteJournal();
}

bool TDataTable::PutBackJournaledWrites() noexcept {
    // Nothing written: the caches hold the whole state and are written back as before.
    if (!DataFile->JournalWrote() && !IndexFile->JournalWrote() &&
        (BlobFile == nullptr || !BlobFile->JournalWrote())) {
        EndWriteJournal();
        return false;
    }
    bool ok = true;
    // Newest writes last in the flush order first: index, data, then the BLOB file.
    ok = IndexFile->TakeBackWrites() && ok;
    ok = DataFile->TakeBackWrites() && ok;
    if (BlobFile != nullptr) ok = BlobFile->TakeBackWrites() && ok;
    if (!ok) return false;
    try {
        DiscardBuffers(false, true);
    } catch (...) {
        return false;
    }
    return true;
}

void TDataTable::FlushOSBuffers() {
    if (ReadOnly || ForceBufferFlush()) return;
    if (DataFile->IsOpen) DataFile->FlushFile();
    if (IndexFile->IsOpen) IndexFile->FlushFile();
    if (BlobOpen()) BlobFile->FlushFile();
}

void TDataTable::CheckHeaders() {
    DataFile->CheckHeader();
    if (!IndexRecreated) IndexFile->CheckHeader();
    if (HasBlobFields()) BlobFile->CheckHeader();
}

void TDataTable::CheckVersions() {
    DataFile->CheckVersion();
    if (!IndexRecreated) IndexFile->CheckVersion();
    if (HasBlobFields()) BlobFile->CheckVersion();
}

// ---- Locks ----

void TDataTable::SizeBitmaps(int32_t atLeast) {
    int64_t wanted = std::max<int64_t>(int64_t(DataFile->RecordCount()) + 1, atLeast);
    auto size = static_cast<uint32_t>(std::max<int64_t>(wanted, 1));
    for (TRecordsBitmap* b : {&LockedRecords, &EditLocks, &DeferredUnlocks})
        if (b->Size < size) b->SetSize(size);
}

void TDataTable::ReleaseAllRecordsLock() {
    if (!AllRecordsLocked) return;
    AllRecordsLocked = false;
    if (!TakesNoLocks() && !UnlockAllRecordsInFile()) RaiseTable(DBE_UNLOCKFAILED);
}

bool TDataTable::UnlockAllRecordsInFile() {
    return DataFile->UnlockAllRecords();
}

bool TDataTable::LockRecord(int32_t recordNo) {
    if (AllRecordsLocked || TakesNoLocks()) return false;
    if (recordNo <= 0) RaiseTable(DBE_RECLOCKFAILED);
    SizeBitmaps(recordNo);
    if (TransactionLocked && LockedRecords.Test(recordNo)) return false;
    bool changed = WaitForRecordLock(recordNo);
    // The record count may have grown while the lock was awaited.
    SizeBitmaps(recordNo);
    LockedRecords.SetBit(recordNo);
    DeferredUnlocks.ClearBit(recordNo);
    return changed;
}

bool TDataTable::WaitForRecordLock(int32_t recordNo) {
    bool strict = Session != nullptr && Session->StrictChangeDetection;
    uint8_t retries = Session != nullptr ? Session->LockRetryCount : 15;
    uint16_t wait = Session != nullptr ? Session->LockWaitTime : 100;
    bool changed = strict ? false : BeginAccess();
    for (int attempts = 0;;) {
        if (DataFile->LockRecord(recordNo)) return changed;
        EndAccess();
        if (++attempts > retries) RaiseTable(DBE_RECLOCKFAILED);
        framework::Sleep(wait);
        changed = BeginAccess() || changed;
    }
}

void TDataTable::UnlockRecord(int32_t recordNo) {
    if (DeferredAllUnlock) {
        DeferredAllUnlock = false;
        ReleaseAllRecordsLock();
        return;
    }
    if (AllRecordsLocked || TakesNoLocks()) return;
    if (recordNo > 0) SizeBitmaps(recordNo);
    if (recordNo > 0 && TransactionLocked) {
        DeferredUnlocks.SetBit(recordNo);
        return;
    }
    if (recordNo > 0 && LockedRecords.Test(recordNo) && UnlockRecordInFile(recordNo)) {
        LockedRecords.ClearBit(recordNo);
        DeferredUnlocks.ClearBit(recordNo);
        return;
    }
    RaiseTable(DBE_UNLOCKFAILED);
}

bool TDataTable::UnlockRecordInFile(int32_t recordNo) {
    return DataFile->UnlockRecord(recordNo);
}

void TDataTable::ReleaseRecordLocks(bool deferredOnly) {
    TFirstFailure steps;
    for (uint32_t r = 1; r <= LockedRecords.Size; ++r) {
        if (!LockedRecords.Test(r) || (deferredOnly && !DeferredUnlocks.Test(r))) continue;
        steps.Run([&] { UnlockRecord(static_cast<int32_t>(r)); });
    }
    steps.RaiseIfAny();
}

void TDataTable::TakeSharedSlots(uint16_t& indexSlot, uint16_t& blobSlot) {
    indexSlot = blobSlot = 0;
    uint16_t slot = 0;
    if (!IndexFile->LockForRead(slot)) RaiseTable(DBE_LOCKTIMEOUT);
    indexSlot = slot;
    if (BlobOpen()) {
        uint16_t blob = 0;
        if (!BlobFile->LockShared(blob)) {
            IndexFile->UnlockForRead(indexSlot);
            indexSlot = 0;
            RaiseTable(DBE_LOCKTIMEOUT);
        }
        blobSlot = blob;
    }
}

void TDataTable::ReleaseSharedSlots(uint16_t& indexSlot, uint16_t& blobSlot) {
    bool ok = true;
    if (blobSlot != 0) ok = BlobFile->UnlockShared(blobSlot) && ok;
    if (indexSlot != 0) ok = IndexFile->UnlockForRead(indexSlot) && ok;
    indexSlot = blobSlot = 0;
    if (!ok) RaiseTable(DBE_UNLOCKFAILED);
}

bool TDataTable::BeginAccess() {
    if (ReadLocked || AllRecordsLocked || TransactionLocked || WriteLocked || AccessLocked || TakesNoLocks())
        return false;
    TakeSharedSlots(AccessIndexSlot, AccessBlobSlot);
    AccessLocked = true;
    return ReloadIfChanged();
}

void TDataTable::EndAccess() {
    if (!AccessLocked) return;
    AccessLocked = false;
    ReleaseSharedSlots(AccessIndexSlot, AccessBlobSlot);
}

bool TDataTable::LockForRead() {
    if (ReadLocked || AllRecordsLocked || TransactionLocked || WriteLocked || AccessLocked || TakesNoLocks())
        return false;
    TakeSharedSlots(ReadIndexSlot, ReadBlobSlot);
    ReadLocked = true;
    return ReloadIfChanged();
}

void TDataTable::UnlockForRead() {
    if (!ReadLocked) return;
    ReadLocked = false;
    ReleaseSharedSlots(ReadIndexSlot, ReadBlobSlot);
}

bool TDataTable::LockForWrite() {
    if (WriteLocked || TakesNoLocks()) return false;
    LockFilesForWrite();
    WriteLocked = true;
    if (TransactionLocked) return false;
    bool changed = ReloadIfChanged();
    // The headers were just read under the write lock: until it goes, the files change only
    // through this table, and a write journal may take its headers' images from memory.
    TrustHeaderImages(true);
    return changed;
}

void TDataTable::LockFilesForWrite() {
    bool header = false;
    if (!TransactionLocked) {
        if (!DataFile->LockHeader()) RaiseTable(DBE_LOCKTIMEOUT);
        header = true;
    }
    // A step that fails part way gives back what it took, or other writers would wait forever.
    if (!IndexFile->LockForWrite()) {
        if (header) DataFile->UnlockHeader();
        RaiseTable(DBE_LOCKTIMEOUT);
    }
    if (BlobOpen() && !BlobFile->LockExclusive()) {
        IndexFile->UnlockForWrite();
        if (header) DataFile->UnlockHeader();
        RaiseTable(DBE_LOCKTIMEOUT);
    }
}

void TDataTable::TrustHeaderImages(bool trusted) {
    DataFile->TrustStoredBytes(trusted);
    IndexFile->TrustStoredBytes(trusted);
    if (BlobFile != nullptr) BlobFile->TrustStoredBytes(trusted);
}

void TDataTable::UnlockForWrite() {
    if (!WriteLocked) return;
    WriteLocked = false;
    TrustHeaderImages(false);
    UnlockFilesForWrite();
}

void TDataTable::UnlockFilesForWrite() {
    bool ok = true;
    if (BlobOpen()) ok = BlobFile->UnlockExclusive() && ok;
    ok = IndexFile->UnlockForWrite() && ok;
    if (!TransactionLocked) ok = DataFile->UnlockHeader() && ok;
    if (!ok) RaiseTable(DBE_LOCKTIMEOUT);
}

void TDataTable::LockForTransaction() {
    if (TransactionLocked || ReadOnlyByAttribute) return;
    // An exclusive table has no other process to keep out and none whose writes to read.
    if (!Exclusive && !LockDataHeader()) RaiseTable(DBE_LOCKTIMEOUT);
    SavedAllRecordsLocked = AllRecordsLocked;
    TransactionLocked = true;
    if (Exclusive) return;
    try {
        ReloadIfChanged();
    } catch (...) {
        TransactionLocked = false;
        UnlockDataHeader();
        throw;
    }
}

bool TDataTable::LockDataHeader() {
    return DataFile->LockHeader();
}

bool TDataTable::UnlockDataHeader() {
    return DataFile->UnlockHeader();
}

void TDataTable::UnlockForTransaction() {
    if (!TransactionLocked) return;
    bool ok = true;
    if (!Exclusive) ok = UnlockDataHeader();
    TransactionLocked = false;
    if (!Exclusive) {
        if (AllRecordsLocked && !SavedAllRecordsLocked)
            ReleaseAllRecordsLock();
        else
            ReleaseRecordLocks(true);
    }
    if (!ok) RaiseTable(DBE_LOCKTIMEOUT);
}

// ---- Transactions ----

void TDataTable::StartTransaction() {
    if (ReadOnly || InTransaction) return;
    SaveBeforeTransaction();
    InTransaction = true;
    TransactionLocked = false;
    LockForTransaction();
}

void TDataTable::SaveBeforeTransaction() {
    if (Exclusive) FlushBuffers();
    if (IndexFile->IsOpen) IndexFile->FlushPages(true);
}

void TDataTable::CommitLock() {
    if (!ReadOnly && InTransaction) TakeCommitLock();
}

void TDataTable::TakeCommitLock() {
    LockForWrite();
}

void TDataTable::ReleaseCommitLock() {
    UnlockForWrite();
}

void TDataTable::CommitWrite(bool trim, bool flushToDisk) {
    if (ReadOnly || !InTransaction) return;
    InTransaction = false;
    // The transaction's changes reach a shared table's files in one go, under the write journal
    // of a single edit: a commit that fails part way puts the files back as they were before it
    // and the caches are read again from them, so the transaction is as if rolled back.
    const bool journaled = !Exclusive;
    if (journaled) BeginWriteJournal();
    try {
        FlushBuffers(trim, false, false, false, flushToDisk);
        if (IndexFile->IsOpen) IndexFile->FlushPages(true);
    } catch (...) {
        if (journaled && !PutBackJournaledWrites()) EndWriteJournal();
        InTransaction = true;
        throw;
    }
    if (journaled) EndWriteJournal();
    InTransaction = true;
}

void TDataTable::CommitEnd(bool endTransaction) {
    if (ReadOnly || !InTransaction) return;
    TFirstFailure steps;
    if (endTransaction) {
        steps.Run([this] { ReleaseCommitLock(); });
        steps.Run([this] { UnlockForTransaction(); });
        InTransaction = false;
        steps.RaiseIfAny();
        return;
    }
    // An interval commit: the deferred unlocks happen now, the transaction and its header
    // byte go on.
    bool transactionLocked = TransactionLocked;
    InTransaction = false;
    TransactionLocked = false;
    steps.Run([this] {
        if (AllRecordsLocked && !SavedAllRecordsLocked)
            ReleaseAllRecordsLock();
        else
            ReleaseRecordLocks(true);
    });
    InTransaction = true;
    TransactionLocked = transactionLocked;
    steps.Run([this] { ReleaseCommitLock(); });
    steps.RaiseIfAny();
}

void TDataTable::Rollback() {
    if (ReadOnly || !InTransaction) return;
    InTransaction = false;
    // The records of the transaction never reached the files: the chains they gave up stay theirs.
    ReleasedChains.clear();
    TFirstFailure steps;
    steps.Run([this] { DropTransactionChanges(); });
    steps.Run([this] { UnlockForTransaction(); });
    steps.RaiseIfAny();
}

void TDataTable::DropTransactionChanges() {
    TFirstFailure steps;
    steps.Run([this] { DiscardBuffers(true, true); });
    steps.Run([this] {
        if (IndexFile->IsOpen) IndexFile->DropPages(true);
    });
    // A rollback after a failed commit may still hold the write lock.
    steps.Run([this] { ReleaseCommitLock(); });
    steps.RaiseIfAny();
}

}  // namespace dbengine
