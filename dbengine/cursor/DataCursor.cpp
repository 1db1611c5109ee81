#include "dbengine/cursor/DataCursor.h"

#include <exception>

#include "dbengine/cursor/RemoteCursor.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/util/EngineUtils.h"

namespace dbengine {

namespace {

std::unique_ptr<TRecordsBitmap> PooledBitmap() {
    return RecordsBitmapPool() != nullptr ? GetRecordsBitmap() : std::make_unique<TRecordsBitmap>();
}

void ReturnBitmap(std::unique_ptr<TRecordsBitmap>& b) {
    if (b && RecordsBitmapPool() != nullptr) ReleaseRecordsBitmap(b);
    b.reset();
}

}  // namespace

std::unique_ptr<TTableCursor> NewTableCursor(TDataDirectory* database) {
    return std::make_unique<TDataCursor>(database);
}

TDataCursor::TDataCursor(TDataDirectory* database)
    : TIndexCursor(nullptr), Database(database), StopWords(std::make_unique<TLanguageStringList>()) {
    StopWords->SetSorted(true);
    StopWords->Duplicates = framework::dupIgnore;
    VisibleBitmap = PooledBitmap();
    RangeBitmap = PooledBitmap();
    LiveBitmap = PooledBitmap();
    if (Database != nullptr) Database->AddUser(this);
    ChooseImplementations();
    Life->Created();
}

void TDataCursor::ChooseImplementations() {
    // Where the database lives picks them: its server, through the remote cursor's requests, or
    // this process, through the cursor's own routines. Without a database they are the latter.
    if (Database != nullptr && Database->OnServer()) {
        Navigator = &Remote();
        Editor = &Remote();
        Tables = &Remote();
        Blobs = &Remote();
        Life = &Remote();
        Sharing = &Remote();
        Filtering = &Remote();
    } else {
        Navigator = &LocalNavigation;
        Editor = &LocalEditing;
        Tables = &LocalTables;
        Blobs = &LocalBlobs;
        Life = &LocalLife;
        Sharing = &LocalSharing;
        Filtering = &LocalFiltering;
    }
}

void TDataCursor::AdoptDatabase(TDataDirectory* database) {
    if (Database != nullptr) Database->RemoveUser(this);
    Database = database;
    if (Database != nullptr) Database->AddUser(this);
    ChooseImplementations();
}

void TDataCursor::DirectoryFreed() noexcept {
    try {
        CloseCursor(true);
    } catch (...) {
        // The table is given back by the close all the same.
    }
    Table = nullptr;
    IsOpen = false;
    Database = nullptr;
    DatabaseFreed = true;
    ChooseImplementations();
}

TDataCursor::~TDataCursor() {
    try {
        CloseCursor(true);
    } catch (...) {
        // A destructor must not raise; the table was given back by the close all the same.
    }
    Life->Destroyed();
    if (Database != nullptr) Database->RemoveUser(this);
    ReturnBitmap(VisibleBitmap);
    ReturnBitmap(RangeBitmap);
    ReturnBitmap(LiveBitmap);
}

TRemoteCursor& TDataCursor::Remote() const {
    if (RemoteState == nullptr)
        RemoteState = std::make_unique<TRemoteCursor>(const_cast<TDataCursor&>(*this));
    return *RemoteState;
}

double TDataCursor::GetServerVersion() const {
    return Life->ServerEngineVersion();
}

bool TDataCursor::IsRemote() const {
    return Database != nullptr && Database->OnServer();
}

std::string TDataCursor::GetDatabaseName() const {
    return Database != nullptr ? Database->GetDatabaseName() : "";
}

void TDataCursor::RaiseCursor(TEngineErrorCode code) const {
    RaiseEngineError(code, {}, {}, GetDatabaseName(), TableName);
}

// ---- Checks ----

void TDataCursor::CheckDatabase() const {
    if (DatabaseFreed) RaiseCursor(DBE_NOTINITIALIZED);
}

void TDataCursor::CheckExclusive() const {
    CheckDatabase();
    if (!Exclusive) RaiseCursor(DBE_NEEDEXCLACCESS);
}

void TDataCursor::CheckWritable() const {
    CheckDatabase();
    if (ReadOnly) RaiseCursor(DBE_OSEACCES);
}

void TDataCursor::CheckClosed() const {
    CheckDatabase();
    if (IsOpen) RaiseCursor(DBE_TABLEOPEN);
}

// ---- Options ----

void TDataCursor::SetTableName(const std::string& name) {
    CheckClosed();
    std::string cleaned = ExtractTableName(name, ".DAT");
    if (cleaned == TableName) return;
    TableName = cleaned;
    // Another table has parameters of its own.
    TextParamsLoaded = false;
}

void TDataCursor::SetExclusive(bool value) {
    CheckClosed();
    Exclusive = value;
}

void TDataCursor::SetShareExclusive(bool value) {
    CheckClosed();
    ShareExclusive = value;
}

void TDataCursor::SetReadOnly(bool value) {
    CheckClosed();
    ReadOnly = value;
}

void TDataCursor::SetInMemory(bool value) {
    CheckClosed();
    InMemory = value;
}

void TDataCursor::SetQuerySource(bool value) {
    CheckClosed();
    IsQuerySource = value;
}

void TDataCursor::SetTemporary(bool value) {
    CheckClosed();
    IsTemporary = value;
}

void TDataCursor::SetSuppressAutoInc(bool value) {
    if (!IsOpen || !HasAutoIncField || value == SuppressAutoInc) return;
    Life->SuppressAutoIncChanged(value);
    SuppressAutoInc = value;
}

// ---- Life cycle ----

void TDataCursor::OpenCursor() {
    if (IsOpen) return;
    CheckDatabase();
    FieldDescs.clear();
    TDataTable* table = nullptr;
    int32_t result = Database->OpenSharedTable(TableName, table, Exclusive, ShareExclusive, InMemory,
                                               IsTemporary, IsQueryResult, IsQuerySource);
    if (result < 0) RaiseCursor(static_cast<TEngineErrorCode>(-result));
    Table = table;
    IsOpen = true;
    try {
        TakeReadOnlyFrom(*Table);
        Life->Open();
    } catch (...) {
        try {
            CloseCursor(true);
        } catch (...) {
            // The first failure is the one reported.
        }
        throw;
    }
}

void TDataCursor::TakeReadOnlyFrom(const TDataTable& table) {
    if (table.ReadOnly) ReadOnly = true;
    ReadOnlyByAttribute = table.ReadOnlyByAttribute;
    if (ReadOnlyByAttribute) ReadOnly = true;
}

void TDataCursor::AdoptServerOptions(const std::string& tableName, bool exclusive, bool inMemory,
                                     bool temporary, bool queryResult, bool querySource) {
    Exclusive = exclusive;
    InMemory = inMemory;
    IsTemporary = temporary;
    IsQueryResult = queryResult;
    IsQuerySource = querySource;
    TableName = tableName;
}

void TDataCursor::CopyOptionsFrom(const TDataCursor& other) {
    TableName = other.TableName;
    Exclusive = other.Exclusive;
    ShareExclusive = other.Exclusive;
    ReadOnly = other.ReadOnly;
    InMemory = other.InMemory;
    IsQueryResult = other.IsQueryResult;
    IsQuerySource = other.IsQuerySource;
    IsTemporary = other.IsTemporary;
}

void TDataCursor::LocalOpen() {
    if (!VerifyMode && !RestructureMode && Table->OpenCount == 1 &&
        (!Table->InTransaction || !Table->FilesWritten)) {
        Table->BeginAccess();
        try {
            Table->CheckHeaders();
        } catch (...) {
            Table->EndAccess();
            throw;
        }
        Table->EndAccess();
    } else if (VerifyMode || RestructureMode) {
        Table->CheckVersions();
    }

    if (IsEncrypted()) RequirePassword(GetTablePassword());

    LanguageId = static_cast<uint16_t>(Table->DataFile->LanguageId());
    SortId = Table->DataFile->SortId();
    GetCharMap(LanguageId, SortId, CharOrder);
    FieldCount = Table->DataFile->FieldCount();
    RecordSize = Table->DataFile->RecordSize();
    SaveChangeCounters();
    LoadFieldDescriptors();
    OwnedRecord = Table->DataFile->NewRecord();
    OwnedRecord->SetBufferSize(RecordSize);
    CurrentRecord = OwnedRecord.get();

    IndexFile = Table->IndexFile.get();
    ClearRange();
    EntryNo = 1;
    SeqNo = 1;
    BitmapNavigation = false;
    AtBeginning = AtEnd = false;
    if (VerifyMode) return;
    // An index file made anew at open knows no record yet.
    if (Table->IndexRecreated) RebuildInternalIndex();
    // A SQL source reads in natural order; everyone else starts on the primary index.
    SelectIndex(IsQuerySource ? NaturalOrderIndex : PrimaryIndex);
    if (IsNaturalOrder()) {
        BitmapNavigation = true;
        ComputeRangeBounds();
        RebuildBitmaps();
    }
    SetToBegin();
}

void TDataCursor::CloseCursor(bool discard) {
    if (!IsOpen) return;
    Life->Closing();
    std::exception_ptr failure;
    try {
        // An edit left open ends with the cursor: its record lock goes, also when other cursors
        // keep the table open.
        // (A server's lock went with its close.)
        if (LockedRecNo != 0 && Table != nullptr) UnlockRecord(LockedRecNo, true);
    } catch (...) {
        failure = std::current_exception();
    }
    LockedRecNo = 0;
    RecordChangedMark = false;
    if (BracketTable != nullptr) {
        // Closed inside its own operation: that operation no longer counts among the table's.
        LeaveTableBracket();
        try {
            ReleaseReadLock();
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    try {
        WriteTextIndexParams();
    } catch (...) {
        // The cursor closes all the same; the failure is reported after.
        if (!failure) failure = std::current_exception();
    }
    TextParamsLoaded = false;
    TextParamsChanged = false;
    // A server's values went with its close.
    FreeAllBlobs(true, true);
    Filters.clear();
    ResetIndexState();
    CurrentIndex = PrimaryIndex;
    IndexFile = nullptr;
    VisibleBitmap->SetSize(0);
    RangeBitmap->SetSize(0);
    LiveBitmap->SetSize(0);
    if (OwnedRecord && Table != nullptr) Table->DataFile->DisposeRecord(OwnedRecord);
    OwnedRecord.reset();
    CurrentRecord = nullptr;
    int32_t result = 0;
    if (Table != nullptr) {
        TDataTable* table = Table;
        Table = nullptr;
        try {
            result = Database->ReleaseSharedTable(table, discard, IsQueryResult, IsQuerySource);
        } catch (...) {
            LanguageId = SortId = 0;
            FreeFieldDescriptors();
            ClearCallbacks();
            IsOpen = false;
            throw;
        }
    }
    LanguageId = SortId = 0;
    FreeFieldDescriptors();
    ClearCallbacks();
    IsOpen = false;
    if (failure) std::rethrow_exception(failure);
    if (result < 0) RaiseCursor(static_cast<TEngineErrorCode>(-result));
}

std::unique_ptr<TDataCursor> TDataCursor::CloneCursor() {
    return Life->Clone();
}

std::unique_ptr<TDataCursor> TDataCursor::LocalCloneCursor() {
    auto clone = std::make_unique<TDataCursor>(Database);
    clone->CopyOptionsFrom(*this);
    TReadBracket bracket(*this);
    clone->OpenCursor();
    clone->FieldDescs = FieldDescs;
    clone->HasCalculatedFields = HasCalculatedFields;
    clone->RecordSize = RecordSize;
    if (clone->CurrentRecord != nullptr) clone->CurrentRecord->SetBufferSize(RecordSize);
    if (VerifyMode) return clone;
    if (CurrentIndex != clone->CurrentIndex) {
        if (CurrentIndex == NaturalOrderIndex || CurrentIndex > MaxSecondaryIndexes)
            clone->SetIndexNumber(CurrentIndex);
        else
            clone->SetIndexName(CurrentIndexName);
    }
    if (RangeActive) clone->SetRange(true, RangeStartKey.data(), 0, RangeEndKey.data(), 0);
    for (const auto& f : Filters) {
        TExpToken* tree = f->IsCallback ? nullptr : CopyExpTree(f->Expression);
        TFilter* copy = clone->AddFilter(f->Owner, {}, tree, true, f->Callback, f->EvaluateLast,
                                         f->EstimateCounts, f->CostBased, false, false);
        copy->OptimizeLevel = f->OptimizeLevel;
        if (f->Active) copy->Activate();
    }
    if (clone->HasActiveFilter()) {
        clone->UpdateBitmapNavigation();
        clone->RebuildBitmaps();
    }
    if (AtBeginning && AtEnd) {
        clone->SetNoCurrent();
    } else {
        clone->SetToCursor(*this);
    }
    return clone;
}

// ---- Field descriptors ----

void TDataCursor::LoadFieldDescriptors() {
    FieldDescs.clear();
    FieldDescs.reserve(FieldCount);
    bool serverSide = Database->Session != nullptr && Database->Session->ServerSide;
    for (uint16_t i = 1; i <= FieldCount; ++i) {
        TFieldDescriptor d = Table->DataFile->GetFieldDescriptor(i);
        d.Position = i;
        if (d.IsAutoInc()) HasAutoIncField = true;
        if (d.Required != 0 || !d.MinValue.empty() || !d.MaxValue.empty()) HasValidityChecks = true;
        if (!d.DefaultValue.empty()) HasDefaults = true;
        if (!IsQueryResult) {
            d.OriginName = (TableName + "." + d.Name).substr(0, MaxOriginNameLength);
            d.OriginFieldNo = d.FieldNo;
            d.DatabaseName =
                (serverSide ? Database->DatabaseName : Database->Directory).substr(0, MaxOriginNameLength);
        } else if (!IsQuerySource) {
            d.OriginFieldNo = d.FieldNo;
        }
        FieldDescs.push_back(std::move(d));
    }
}

void TDataCursor::FreeFieldDescriptors() {
    FieldDescs.clear();
    FieldCount = RecordSize = 0;
    HasValidityChecks = HasDefaults = HasCalculatedFields = HasAutoIncField = false;
}

// ---- Change counters ----

void TDataCursor::SaveChangeCounters() {
    if (Table == nullptr) return;
    DataChangeCount = Table->DataChangeCount();
    IndexChangeCount = Table->IndexChangeCount();
    BlobChangeCount = Table->BlobChangeCount();
}

bool TDataCursor::HasTableChanged() const {
    if ((Exclusive && !ShareExclusive) || Table == nullptr || Table->ReadOnlyByAttribute) return false;
    return DataChangeCount != Table->DataChangeCount() || IndexChangeCount != Table->IndexChangeCount() ||
           BlobChangeCount != Table->BlobChangeCount();
}

// ---- Properties ----

namespace {

// The description or password characters of a header as the user gave them.
std::string Unscrambled(const TDataHeader& header, bool password) {
    TDataFile reader(nullptr);
    reader.Header = header;
    return password ? reader.GetPassword() : reader.GetDescription();
}

}  // namespace

uint16_t TDataCursor::GetLanguageId() {
    return IsOpen ? LanguageId : static_cast<uint16_t>(ReadTableHeader().LanguageId);
}

uint16_t TDataCursor::GetSortId() {
    return IsOpen ? SortId : ReadTableHeader().SortId;
}

int16_t TDataCursor::GetUserMajorVersion() {
    return IsOpen && Table != nullptr ? Table->DataFile->UserMajorVersion()
                                      : ReadTableHeader().UserMajorVersion;
}

int16_t TDataCursor::GetUserMinorVersion() {
    return IsOpen && Table != nullptr ? Table->DataFile->UserMinorVersion()
                                      : ReadTableHeader().UserMinorVersion;
}

uint32_t TDataCursor::GetBlobBlockSize() {
    return IsOpen && Table != nullptr ? Table->DataFile->BlobBlockSize()
                                      : ReadTableHeader().BlobBlockSize & 0xFFFF;
}

int32_t TDataCursor::GetLastRecordId() {
    return IsOpen && Table != nullptr ? Table->DataFile->LastRecordId() : ReadTableHeader().LastRecordId;
}

bool TDataCursor::IsEncrypted() {
    return IsOpen && Table != nullptr ? Table->DataFile->Encrypted() : ReadTableHeader().Encrypted != 0;
}

std::string TDataCursor::GetTableDescription() {
    if (IsOpen && Table != nullptr) return Table->DataFile->GetDescription();
    return Unscrambled(ReadTableHeader(), false);
}

std::string TDataCursor::GetTablePassword() {
    if (IsOpen && Table != nullptr) return Table->DataFile->GetPassword();
    return Unscrambled(ReadTableHeader(), true);
}

int32_t TDataCursor::GetPhysicalRecordCount() const {
    return Table != nullptr ? Table->DataFile->RecordCount() : 0;
}

uint16_t TDataCursor::GetProgressIncrement() const {
    return Database->Session != nullptr ? Database->Session->GetProgressIncrement() : 5;
}

void TDataCursor::ClearCallbacks() {
    PasswordCallback = nullptr;
    VerifyProgressCallback = nullptr;
    VerifyLogCallback = nullptr;
    IndexProgressCallback = nullptr;
    RestructureProgressCallback = nullptr;
    DataLostCallback = nullptr;
}

void TDataCursor::DoVerifyProgress(const std::string& message, int percent) {
    if (VerifyProgressCallback) VerifyProgressCallback(*this, message, percent);
}

void TDataCursor::DoVerifyLog(const std::string& message) {
    if (VerifyLogCallback) VerifyLogCallback(*this, message);
}

void TDataCursor::DoIndexProgress(int percent) {
    if (IndexProgressCallback) IndexProgressCallback(*this, percent);
}

void TDataCursor::DoRestructureProgress(int percent) {
    if (RestructureProgressCallback) RestructureProgressCallback(*this, percent);
}

void TDataCursor::DoDataLost(int cause, const std::string& context, bool& continueWork, bool& stopAsking) {
    if (DataLostCallback) DataLostCallback(*this, cause, context, continueWork, stopAsking);
}

bool TDataCursor::AskPassword() {
    return PasswordCallback ? PasswordCallback(*this) : false;
}

}  // namespace dbengine
