#include "dbengine/cursor/RemoteCursor.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/expr/CharMaps.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/expr/ExpTreeStream.h"
#include "dbengine/index/FullTextIndex.h"
#include "dbengine/remote/RemoteClient.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/util/Coding.h"

namespace dbengine {

namespace {

[[noreturn]] void Malformed() {
    RaiseEngineError(DBE_UNCOMPRESS, {}, {}, {}, {});
}

// An item that must be exactly width bytes.
void ReadExactItem(TRemoteReply& reply, uint8_t* destination, uint32_t width) {
    if (reply.ReadReplyParam(destination, width) != width) Malformed();
}

double ReadDouble(TRemoteReply& reply) {
    int64_t bits = reply.ReadReplyInt64();
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Requests that neither move the cursor nor fetch records leave the last request header alone.
bool KeepsLastRequest(uint16_t code) {
    switch (code) {
        case REQUEST_CLONECURSOR:
        case REQUEST_FLUSHBUFFERS:
        case REQUEST_FLUSHOSBUFFERS:
        case REQUEST_TABLEISLOCKED:
        case REQUEST_RECORDISLOCKED:
        case REQUEST_CALLBACKRESPONSE:
        case REQUEST_TEXTINDEXPARAMS:
            return true;
        default:
            break;
    }
    return (code >= REQUEST_WRITEUNLOCKTABLE && code <= REQUEST_GETDATAHEADER) ||
           (code >= REQUEST_SUPPRESSAUTOINC && code <= REQUEST_ADDCALLBACKFILTER) ||
           (code >= REQUEST_BEGINBUFFERLOAD && code <= REQUEST_BEGINBUFFERSAVE);
}

}  // namespace

void ReceiveTableHeaders(TRemoteReply& reply, TDataTable& table, int64_t serverVersion) {
    if (serverVersion >= RemoteVersionTableState) {
        table.ReadOnly = reply.ReadReplyBoolean();
        table.ReadOnlyByAttribute = reply.ReadReplyBoolean();
        if (table.ReadOnlyByAttribute) table.ReadOnly = true;
    }
    std::vector<uint8_t> image(IndexHeaderSize);
    ReadExactItem(reply, image.data(), DataHeaderSize);
    TDataHeader header = TDataHeader::Decode(image.data());
    if (header.FieldCount > MaxFieldCount) Malformed();
    std::vector<TFieldDescriptor> descriptors;
    descriptors.reserve(header.FieldCount);
    for (uint16_t i = 0; i < header.FieldCount; ++i) {
        ReadExactItem(reply, image.data(), FieldDescriptorSize);
        descriptors.push_back(TFieldDescriptor::Decode(image.data()));
    }
    // Every field inside the record, every key inside a key buffer: the cursor's record and key
    // buffers are sized by what arrives here.
    if (header.RecordSize < RecordHeaderSize) Malformed();
    for (TFieldDescriptor& d : descriptors) {
        ComputeValueSize(d);
        if (uint32_t(d.Offset) + 1u + d.ValueSize > header.RecordSize) Malformed();
    }
    ReadExactItem(reply, image.data(), IndexHeaderSize);
    TIndexHeader indexHeader = DecodeIndexHeader(image.data());
    for (const TIndexDescriptor& d : indexHeader.Descriptors)
        if (d.KeySize > MaxKeyFieldPart + 4 || d.FieldCount > MaxIndexFields) Malformed();
    ReadExactItem(reply, image.data(), BlobHeaderSize);
    table.DataFile->Header = header;
    table.DataFile->Descriptors = std::move(descriptors);
    table.IndexFile->Header = indexHeader;
    table.BlobFile->ReceiveHeader(image.data());
}

void ReceiveTableCounts(TRemoteReply& reply, TDataTable& table) {
    int32_t recordCount = reply.ReadReplyInt32();
    int32_t lastRecordId = reply.ReadReplyInt32();
    double lastWrite = ReadDouble(reply);
    int32_t indexChanges = reply.ReadReplyInt32();
    int32_t indexRecords = reply.ReadReplyInt32();
    if (recordCount < 0 || recordCount >= MaxRecordCount) Malformed();
    table.DataFile->Header.NextRecordNo = recordCount + 1;
    table.DataFile->Header.LastRecordId = lastRecordId;
    table.DataFile->Header.LastWriteTime = lastWrite - RemoteDayOffset;
    table.IndexFile->Header.ChangeCount = indexChanges;
    table.IndexFile->Header.RecordCount = indexRecords;
}

TRemoteCursor::TRemoteCursor(TDataCursor& cursor) : Cursor(cursor) {}

TRemoteCursor::~TRemoteCursor() {
    for (TExpToken*& t : ReceivedTrees) FreeExpTree(t);
}

// ---- The request cycle ----

TRemoteClient& TRemoteCursor::Client() const {
    TDataSession* session = Cursor.GetDatabase() != nullptr ? Cursor.GetDatabase()->Session : nullptr;
    if (session == nullptr || session->RemoteLink == nullptr)
        RaiseEngineError(DBE_REMOTECONNECT, {}, {}, {}, {});
    return static_cast<TRemoteClient&>(*session->RemoteLink);
}

int64_t TRemoteCursor::ServerVersion() const {
    return Client().GetServerVersion();
}

TRemoteReply& TRemoteCursor::Reply() {
    return Client().GetReply();
}

void TRemoteCursor::RaiseMalformed() const {
    Malformed();
}

void TRemoteCursor::BeginRequest(uint16_t code) {
    TRemoteClient& client = Client();
    client.CheckConnected();
    client.SetRequestCode(code);
    client.BeginRequest();
}

void TRemoteCursor::PutRequestHead() {
    TRemoteClient& client = Client();
    client.AddRequestUInt32(ServerHandle);
    client.AddRequestParam(PositionKey.data(), static_cast<uint32_t>(PositionKey.size()));
    client.AddRequestBoolean(Cursor.IsAtBeginning());
    client.AddRequestBoolean(Cursor.IsAtEnd());
}

void TRemoteCursor::NoteRequestHeader() {
    const TRemoteRequest& request = Client().GetRequest();
    if (!KeepsLastRequest(request.GetRequestCode()))
        std::memcpy(LastRequestHeader.data(), request.Data(), RemoteHeaderSize);
}

uint16_t TRemoteCursor::GetLastRequestCode() const {
    return GetUInt16(LastRequestHeader.data() + 4);
}

void TRemoteCursor::SendAndReceive() {
    TRemoteClient& client = Client();
    client.FinishRequest();
    client.SendAndReceive();
    NoteRequestHeader();
    while (client.GetReplyCode() == RemoteCallbackReply)
        if (!RunCallback()) client.ReceiveReply();
    client.CheckReplyError();
}

bool TRemoteCursor::RunCallback() {
    TRemoteClient& client = Client();
    TRemoteReply& reply = client.GetReply();
    auto answer = [&](std::initializer_list<bool> flags) {
        client.SetRequestCode(REQUEST_CALLBACKRESPONSE);
        client.BeginRequest();
        for (bool flag : flags) client.AddRequestBoolean(flag);
        client.FinishRequest();
        client.SendAndReceive();
        return true;
    };
    uint8_t kind = reply.ReadReplyByte();
    switch (kind) {
        case 0:
            return answer({Cursor.AskPassword()});
        case 1: {
            std::vector<uint8_t> record(Cursor.GetRecordSize());
            ReadRecordReply(reply, record.data());
            int32_t recordNo = reply.ReadReplyInt32();
            bool passes = false;
            for (auto& f : Cursor.GetFilters())
                if (f->IsCallback) {
                    if (f->Callback) passes = f->Callback(f->Owner, Cursor, record.data(), recordNo);
                    break;
                }
            return answer({passes});
        }
        case 2: {
            std::string text = reply.ReadReplyString(ShortStringMax);
            Cursor.DoVerifyProgress(text, reply.ReadReplyInt32());
            return false;
        }
        case 3:
            Cursor.DoVerifyLog(reply.ReadReplyString(ShortStringMax));
            return false;
        case 4:
            Cursor.DoIndexProgress(reply.ReadReplyInt32());
            return false;
        case 7:
            Cursor.DoRestructureProgress(reply.ReadReplyInt32());
            return false;
        case 8: {
            int32_t cause = reply.ReadReplyInt32();
            std::string context = reply.ReadReplyString(ShortStringMax);
            bool continueWork = reply.ReadReplyBoolean();
            bool stopAsking = reply.ReadReplyBoolean();
            Cursor.DoDataLost(cause, context, continueWork, stopAsking);
            return answer({continueWork, stopAsking});
        }
        case 5:
        case 6:
        case 15:
        case 16:
            // Slots that no setter fills: the percentage is read and nothing runs.
            reply.ReadReplyInt32();
            return false;
        case 9:
            reply.ReadReplyString(ShortStringMax);
            reply.ReadReplyInt32();
            return false;
        case 10:
            reply.ReadReplyString(ShortStringMax);
            return false;
        default:
            RaiseMalformed();
    }
}

void TRemoteCursor::KeepReply() {
    const TRemoteReply& reply = Client().GetReply();
    Kept.SetMessage(reply.Data(), reply.TotalLength());
    Kept.DecodeReply(reply.TotalLength(), false);
}

bool TRemoteCursor::Pessimistic() const {
    TDataSession* session = Cursor.GetDatabase() != nullptr ? Cursor.GetDatabase()->Session : nullptr;
    return session != nullptr && session->LockProtocol == lpPessimistic;
}

void TRemoteCursor::DropLocalLock(int32_t recNo) {
    TDataTable* table = Cursor.GetTable();
    if (table == nullptr || recNo <= 0) return;
    if (Cursor.GetLockedRecNo() == recNo || table->EditLocks.Test(recNo) || table->LockedRecords.Test(recNo))
        Cursor.UnlockRecord(recNo, true);
}

// ---- Reply readers ----

void TRemoteCursor::ReadPositionReply(TRemoteReply& reply) {
    int32_t seqNo = reply.ReadReplyInt32();
    int32_t physRecNo = reply.ReadReplyInt32();
    int32_t count = reply.ReadReplyInt32();
    if (Cursor.GetTable() != nullptr) {
        ReceiveTableCounts(reply, *Cursor.GetTable());
    } else {
        uint8_t skip[8];
        for (int i = 0; i < 5; ++i) reply.ReadReplyParam(skip, sizeof skip);
    }
    uint8_t key[MaxKeyFieldPart + 4];
    uint32_t length = reply.ReadReplyParam(key, sizeof key);
    bool atBeginning = reply.ReadReplyBoolean();
    bool atEnd = reply.ReadReplyBoolean();
    Cursor.TakeServerPosition(seqNo, physRecNo, atBeginning, atEnd);
    RemoteRecordCount = count;
    PositionKey.assign(key, key + length);
}

void TRemoteCursor::ReadPositionReply() {
    ReadPositionReply(Reply());
}

void TRemoteCursor::ReadRecordReply(TRemoteReply& reply, uint8_t* buffer) {
    uint32_t length = reply.ReadReplyParam(buffer, Cursor.GetRecordSize());
    std::memset(buffer + length, 0, Cursor.GetRecordSize() - length);
}

void TRemoteCursor::ReadOpenReply() {
    TRemoteReply& reply = Reply();
    TDataTable& table = *Cursor.GetTable();
    int64_t version = ServerVersion();
    bool headers = version < RemoteVersionOpenOnce ||
                   (version < RemoteVersionUserCursors && table.OpenCount == 1) ||
                   (version >= RemoteVersionUserCursors &&
                    (Cursor.GetQueryResult() != Cursor.GetQuerySource() || table.UserCursorCount == 1));
    if (headers) ReceiveTableHeaders(reply, table, version);
    Cursor.TakeReadOnlyFrom(table);
    Cursor.TakeServerTableLayout();
    ReadPositionReply(reply);
    uint8_t indexNo = reply.ReadReplyByte();
    if (indexNo != NaturalOrderIndex && indexNo >= IndexDescriptorCount) RaiseMalformed();
    Cursor.FinishServerOpen(indexNo);
}

void TRemoteCursor::ReadCursorReply(TRemoteReply& reply) {
    uint32_t handle = reply.ReadReplyUInt32();
    std::string name = reply.ReadReplyString(ShortStringMax);
    const bool exclusive = reply.ReadReplyBoolean();
    const bool inMemory = reply.ReadReplyBoolean();
    const bool temporary = reply.ReadReplyBoolean();
    const bool queryResult = reply.ReadReplyBoolean();
    const bool querySource = reply.ReadReplyBoolean();
    Cursor.AdoptServerOptions(name, exclusive, inMemory, temporary, queryResult, querySource);
    ServerHandle = handle;
}

void TRemoteCursor::ReadFieldDescsReply(TRemoteReply& reply) {
    uint16_t count = reply.ReadReplyWord();
    if (count > MaxFieldCount) RaiseMalformed();
    bool expressions = ServerVersion() >= RemoteVersionTableState;
    std::vector<TFieldDescriptor> fields;
    std::vector<TExpToken*> trees;
    try {
        uint8_t image[FieldDescriptorSize];
        for (uint16_t i = 0; i < count; ++i) {
            ReadExactItem(reply, image, FieldDescriptorSize);
            TFieldDescriptor d = TFieldDescriptor::Decode(image);
            if (expressions && d.Calculated != 0) {
                // A copy, so the tree reader sees exactly the item's bytes.
                std::vector<uint8_t> bytes(reply.TotalLength());
                uint32_t length = reply.ReadReplyParam(bytes.data(), static_cast<uint32_t>(bytes.size()));
                TExpToken* tree = nullptr;
                if (length > 0 && ReadExpTree(bytes.data(), length, tree) == 0) RaiseMalformed();
                if (tree != nullptr) trees.push_back(tree);
                d.Expression = tree;
            }
            fields.push_back(std::move(d));
        }
        Cursor.SetFieldDescs(std::move(fields));
    } catch (...) {
        for (TExpToken*& t : trees) FreeExpTree(t);
        throw;
    }
    ReceivedTrees.insert(ReceivedTrees.end(), trees.begin(), trees.end());
}

// ---- Life cycle ----

void TRemoteCursor::CreateCursor() {
    BeginRequest(REQUEST_CREATECURSOR);
    Client().AddRequestUInt32(Cursor.GetDatabase()->ServerHandle);
    SendAndReceive();
    ServerHandle = Client().ReadReplyUInt32();
}

void TRemoteCursor::FreeCursor() {
    try {
        BeginRequest(REQUEST_FREECURSOR);
        Client().AddRequestUInt32(ServerHandle);
        SendAndReceive();
    } catch (...) {
    }
}

void TRemoteCursor::Destroyed() noexcept {
    if (!Cursor.GetQueryResult()) FreeCursor();
}

void TRemoteCursor::OpenCursor() {
    if (!OpenReplyReady) {
        BeginRequest(REQUEST_OPENCURSOR);
        TRemoteClient& client = Client();
        client.AddRequestUInt32(ServerHandle);
        client.AddRequestParam(Cursor.GetTableName());
        client.AddRequestBoolean(Cursor.GetExclusive());
        client.AddRequestBoolean(Cursor.GetReadOnly());
        client.AddRequestBoolean(Cursor.GetInMemory());
        SendAndReceive();
    }
    OpenReplyReady = false;
    ReadOpenReply();
}

void TRemoteCursor::CloseCursor() {
    if (!Cursor.GetQueryResult()) {
        try {
            BeginRequest(REQUEST_CLOSECURSOR);
            Client().AddRequestUInt32(ServerHandle);
            SendAndReceive();
        } catch (...) {
        }
    }
    PositionKey.clear();
    RemoteRecordCount = 0;
    LastRequestHeader.fill(0);
    Kept = TRemoteReply();
}

std::unique_ptr<TDataCursor> TRemoteCursor::CloneCursor() {
    // Made outside the session so that it asks the server for no handle of its own: the clone
    // request gives it one.
    auto clone = std::make_unique<TDataCursor>(nullptr);
    clone->AdoptDatabase(Cursor.GetDatabase());
    BeginRequest(REQUEST_CLONECURSOR);
    PutRequestHead();
    SendAndReceive();
    TRemoteCursor& remote = clone->Remote();
    remote.ServerHandle = Client().ReadReplyUInt32();
    clone->CopyOptionsFrom(Cursor);
    remote.RemoteReadSize = RemoteReadSize;
    remote.OpenReplyReady = true;
    clone->OpenCursor();
    return clone;
}

void TRemoteCursor::Refresh() {
    BeginRequest(REQUEST_REFRESH);
    PutRequestHead();
    SendAndReceive();
    ReadPositionReply();
}

// ---- Index selection, key search and ranges ----

void TRemoteCursor::SetIndexName(const std::string& name) {
    BeginRequest(REQUEST_SETINDEXNAME);
    PutRequestHead();
    Client().AddRequestParam(name);
    SendAndReceive();
    uint8_t indexNo = Client().ReadReplyByte();
    if (indexNo != NaturalOrderIndex && indexNo >= IndexDescriptorCount) RaiseMalformed();
    ReadPositionReply();
    Cursor.TakeServerIndex(indexNo);
}

bool TRemoteCursor::FindKey(bool keyGiven, const uint8_t* key, int32_t fieldCount, bool nearest,
                            int partialLength, uint8_t* outRecord) {
    std::vector<uint8_t> built(MaxKeyFieldPart + 4, 0);
    if (!keyGiven) {
        Cursor.BuildKey(key, built.data());
        key = built.data();
    }
    BeginRequest(REQUEST_FIND);
    PutRequestHead();
    TRemoteClient& client = Client();
    client.AddRequestParam(key, Cursor.GetKeySize());
    client.AddRequestInt32(fieldCount);
    client.AddRequestBoolean(nearest);
    client.AddRequestByte(static_cast<uint8_t>(partialLength));
    client.AddRequestBoolean(outRecord != nullptr);
    SendAndReceive();
    bool found = client.ReadReplyBoolean();
    ReadPositionReply();
    if (outRecord != nullptr) ReadRecordReply(Reply(), outRecord);
    return found;
}

void TRemoteCursor::SetRange(bool keysGiven, const uint8_t* startKey, int32_t startFieldCount,
                             const uint8_t* endKey, int32_t endFieldCount) {
    std::vector<uint8_t> builtStart(MaxKeyFieldPart + 4, 0), builtEnd(MaxKeyFieldPart + 4, 0);
    if (!keysGiven && startKey != nullptr) {
        Cursor.BuildKey(startKey, builtStart.data());
        startKey = builtStart.data();
    }
    if (!keysGiven && endKey != nullptr) {
        Cursor.BuildKey(endKey, builtEnd.data());
        endKey = builtEnd.data();
    }
    BeginRequest(REQUEST_SETRANGE);
    PutRequestHead();
    TRemoteClient& client = Client();
    client.AddRequestParam(startKey, startKey != nullptr ? Cursor.GetKeySize() : 0);
    client.AddRequestInt32(startFieldCount);
    client.AddRequestParam(endKey, endKey != nullptr ? Cursor.GetKeySize() : 0);
    client.AddRequestInt32(endFieldCount);
    SendAndReceive();
    ReadPositionReply();
    Cursor.MarkRangeActive(true);
}

void TRemoteCursor::ResetRange() {
    BeginRequest(REQUEST_RESETRANGE);
    PutRequestHead();
    SendAndReceive();
    ReadPositionReply();
    Cursor.MarkRangeActive(false);
}

// ---- Positioning and navigation ----

void TRemoteCursor::SetToBegin() {
    BeginRequest(REQUEST_SETTOBEGIN);
    Client().AddRequestUInt32(ServerHandle);
    SendAndReceive();
    ReadPositionReply();
}

void TRemoteCursor::SetToEnd() {
    BeginRequest(REQUEST_SETTOEND);
    Client().AddRequestUInt32(ServerHandle);
    SendAndReceive();
    ReadPositionReply();
}

bool TRemoteCursor::SetToRecNo(int32_t recNo) {
    BeginRequest(REQUEST_SETTORECNO);
    Client().AddRequestUInt32(ServerHandle);
    Client().AddRequestInt32(recNo);
    SendAndReceive();
    ReadPositionReply();
    return Cursor.GetSeqNo() == recNo && !Cursor.IsAtBeginning() && !Cursor.IsAtEnd();
}

TEngineErrorCode TRemoteCursor::GetCurrentRecord(uint8_t* buffer, bool lock) {
    BeginRequest(REQUEST_GETCURRECORD);
    PutRequestHead();
    std::vector<uint8_t> scratch(Cursor.GetRecordSize());
    uint8_t* record = buffer != nullptr ? buffer : scratch.data();
    if (buffer == nullptr) std::fill(scratch.begin(), scratch.end(), 0);
    Client().AddRequestParam(record, Cursor.GetRecordSize());
    Client().AddRequestBoolean(lock);
    SendAndReceive();
    TEngineErrorCode code = Client().ReadReplyWord();
    ReadPositionReply();
    ReadRecordReply(Reply(), record);
    // The server holds the lock; the table keeps its note of it.
    if (lock && code == DBE_NONE && Pessimistic() && Cursor.GetTable() != nullptr &&
        Cursor.GetPhysRecNo() > 0 && Cursor.GetLockedRecNo() != Cursor.GetPhysRecNo())
        Cursor.LockRecord(Cursor.GetPhysRecNo());
    return code;
}

TEngineErrorCode TRemoteCursor::ReadFetchEntry(TRemoteReply& reply, uint8_t* buffer) {
    TEngineErrorCode code = reply.ReadReplyWord();
    ReadPositionReply(reply);
    std::vector<uint8_t> scratch;
    if (buffer == nullptr) {
        scratch.resize(Cursor.GetRecordSize());
        buffer = scratch.data();
    }
    ReadRecordReply(reply, buffer);
    return code;
}

TEngineErrorCode TRemoteCursor::FetchRecord(uint16_t code, uint8_t* buffer) {
    if (!GetKeptReplyRemaining() || GetLastRequestCode() != code) {
        BeginRequest(code);
        PutRequestHead();
        Client().AddRequestInt32(std::max(RemoteReadSize, 1));
        SendAndReceive();
        KeepReply();
    }
    TEngineErrorCode result = ReadFetchEntry(Kept, buffer);
    // The block ends with the first record that could not be had.
    if (result != DBE_NONE) Kept = TRemoteReply();
    return result;
}

TEngineErrorCode TRemoteCursor::GetNextRecord(uint8_t* buffer) {
    return FetchRecord(REQUEST_GETNEXTRECORD, buffer);
}

TEngineErrorCode TRemoteCursor::GetPriorRecord(uint8_t* buffer) {
    return FetchRecord(REQUEST_GETPRIORRECORD, buffer);
}

TEngineErrorCode TRemoteCursor::ReadRecordBlock(int32_t& count, uint8_t* buffers) {
    int32_t asked = count;
    BeginRequest(REQUEST_READRECORDBLOCK);
    PutRequestHead();
    Client().AddRequestInt32(asked);
    SendAndReceive();
    TRemoteReply& reply = Reply();
    TEngineErrorCode code = reply.ReadReplyWord();
    int32_t read = reply.ReadReplyInt32();
    if (read < 0 || read > asked) RaiseMalformed();
    for (int32_t i = 0; i < read; ++i)
        ReadRecordReply(reply, buffers + static_cast<size_t>(i) * Cursor.GetRecordSize());
    // The server moved its cursor: where it stands follows when it says.
    if (reply.HasReplyParam()) ReadPositionReply(reply);
    count = read;
    return code;
}

bool TRemoteCursor::SetToBookmark(const uint8_t* bookmark, bool keepCrack, bool noBracket) {
    BeginRequest(REQUEST_SETTOBOOKMARK);
    TRemoteClient& client = Client();
    client.AddRequestUInt32(ServerHandle);
    client.AddRequestParam(bookmark, bookmark != nullptr ? Cursor.GetBookmarkSize() : 0);
    client.AddRequestBoolean(keepCrack);
    client.AddRequestBoolean(noBracket);
    SendAndReceive();
    bool result = client.ReadReplyBoolean();
    ReadPositionReply();
    return result;
}

TEngineErrorCode TRemoteCursor::SetToCursor(TDataCursor& other) {
    return SetToCursor(other.Remote());
}

TEngineErrorCode TRemoteCursor::SetToCursor(TRemoteCursor& other) {
    BeginRequest(REQUEST_SETTOCURSOR);
    PutRequestHead();
    TRemoteClient& client = Client();
    client.AddRequestUInt32(other.ServerHandle);
    client.AddRequestParam(other.PositionKey.data(), static_cast<uint32_t>(other.PositionKey.size()));
    client.AddRequestBoolean(other.Cursor.IsAtBeginning());
    client.AddRequestBoolean(other.Cursor.IsAtEnd());
    SendAndReceive();
    TEngineErrorCode code = client.ReadReplyWord();
    ReadPositionReply();
    return code;
}

int32_t TRemoteCursor::GetRecNo() const {
    return Cursor.GetSeqNo();
}

int32_t TRemoteCursor::GetPhysicalRecNo() const {
    return Cursor.GetPhysRecNo();
}

void TRemoteCursor::GetPositionKey(uint8_t* buffer) const {
    size_t size = Cursor.GetBookmarkSize();
    std::memset(buffer, 0, size);
    std::memcpy(buffer, PositionKey.data(), std::min(size, PositionKey.size()));
}

// ---- Record edits and locks ----

void TRemoteCursor::PutModifiedBlobs() {
    int32_t modified = 0;
    for (const auto& b : Cursor.GetOpenBlobs())
        if (b->Modified) ++modified;
    Client().AddRequestInt32(modified);
    for (const auto& b : Cursor.GetOpenBlobs()) {
        if (!b->Modified) continue;
        if (b->Size < 1)
            DeleteBlob(*b);
        else
            SaveBlob(*b);
    }
}

void TRemoteCursor::InsertRecord(uint8_t* buffer, bool reposition) {
    BeginRequest(REQUEST_APPENDRECORD);
    PutRequestHead();
    Client().AddRequestParam(ServerRecord(buffer).data(), Cursor.GetRecordSize());
    Client().AddRequestBoolean(reposition);
    if (ServerVersion() >= RemoteVersionLocalBlobs) PutModifiedBlobs();
    SendAndReceive();
    ReadPositionReply();
    AfterRecordWrite();
}

void TRemoteCursor::ModifyRecord(uint8_t* buffer, bool unlock, bool reposition) {
    int32_t recNo = Cursor.GetPhysRecNo();
    BeginRequest(REQUEST_MODIFYRECORD);
    PutRequestHead();
    Client().AddRequestParam(ServerRecord(buffer).data(), Cursor.GetRecordSize());
    Client().AddRequestBoolean(unlock);
    Client().AddRequestBoolean(reposition);
    if (ServerVersion() >= RemoteVersionLocalBlobs) PutModifiedBlobs();
    SendAndReceive();
    ReadPositionReply();
    AfterRecordWrite();
    if (unlock && Pessimistic()) DropLocalLock(recNo);
}

void TRemoteCursor::DeleteRecord(const uint8_t* buffer, bool reposition) {
    int32_t recNo = Cursor.GetPhysRecNo();
    BeginRequest(REQUEST_DELETERECORD);
    PutRequestHead();
    Client().AddRequestParam(ServerRecord(buffer).data(), Cursor.GetRecordSize());
    Client().AddRequestBoolean(reposition);
    SendAndReceive();
    ReadPositionReply();
    // The server freed the record's values with it.
    if (ServerVersion() >= RemoteVersionLocalBlobs)
        Cursor.DropOpenBlobsIf([](const TBlobBuffer&) { return true; });
    else
        Cursor.FreeAllBlobs(false, true);
    DropLocalLock(recNo);
}

void TRemoteCursor::CancelRecord() {
    if (ServerVersion() < RemoteVersionCancel) return;
    BeginRequest(REQUEST_CANCELRECORD);
    Client().AddRequestUInt32(ServerHandle);
    SendAndReceive();
    if (Pessimistic()) DropLocalLock(Cursor.GetLockedRecNo());
}

TEngineErrorCode TRemoteCursor::CloneCurrentRecord(uint8_t* buffer) {
    BeginRequest(REQUEST_CLONECURRECORD);
    PutRequestHead();
    SendAndReceive();
    return ReadFetchEntry(Reply(), buffer);
}

void TRemoteCursor::UnlockRecord(int32_t recNo) {
    BeginRequest(REQUEST_WRITEUNLOCKRECORD);
    PutRequestHead();
    Client().AddRequestInt32(recNo);
    SendAndReceive();
}

void TRemoteCursor::UnlockRecord(int32_t recNo, bool localOnly) {
    if (!localOnly && Cursor.IsCursorOpen()) UnlockRecord(recNo);
    Cursor.EndEditLock(recNo);
}

void TRemoteCursor::FlushBuffers(bool force, bool dropCaches, bool dataChanged, bool indexChanged,
                                 bool blobChanged) {
    BeginRequest(REQUEST_FLUSHBUFFERS);
    TRemoteClient& client = Client();
    client.AddRequestUInt32(ServerHandle);
    for (bool flag : {force, dropCaches, dataChanged, indexChanged, blobChanged})
        client.AddRequestBoolean(flag);
    SendAndReceive();
}

void TRemoteCursor::FlushOSBuffers() {
    BeginRequest(REQUEST_FLUSHOSBUFFERS);
    Client().AddRequestUInt32(ServerHandle);
    SendAndReceive();
}

void TRemoteCursor::SetSuppressAutoInc(bool value) {
    BeginRequest(REQUEST_SUPPRESSAUTOINC);
    Client().AddRequestUInt32(ServerHandle);
    Client().AddRequestBoolean(value);
    SendAndReceive();
}

// ---- Filters ----

void TRemoteCursor::AddFilter(TFilter& filter, bool ownsTree) {
    try {
        SendFilter(filter, ownsTree);
    } catch (...) {
        // The server has no such filter: neither does the cursor.
        Cursor.ForgetFilter(&filter);
        throw;
    }
}

void TRemoteCursor::SendFilter(TFilter& filter, bool ownsTree) {
    TRemoteClient& client = Client();
    bool estimates = ServerVersion() >= RemoteVersionLocalBlobs;
    if (filter.IsCallback) {
        BeginRequest(REQUEST_ADDCALLBACKFILTER);
        client.AddRequestUInt32(ServerHandle);
        client.AddRequestBoolean(filter.EvaluateLast);
        client.AddRequestBoolean(filter.CostBased);
        if (estimates) client.AddRequestBoolean(filter.EstimateCounts);
        SendAndReceive();
        filter.ServerHandle = client.ReadReplyUInt32();
        return;
    }
    TExpTreeLayout layout = TExpTreeLayout::Arguments;
    if (ServerVersion() < RemoteVersionLockProtocol) {
        if (!ConvertToLinkedLayout(filter.Expression))
            RaiseEngineError(DBE_INVALIDFILTER, {}, {}, Cursor.GetDatabaseName(), Cursor.GetTableName(), {},
                             {}, "filter expression is invalid");
        layout = TExpTreeLayout::Linked;
    }
    std::vector<uint8_t> tree;
    WriteExpTree(filter.Expression, tree, layout);
    BeginRequest(REQUEST_ADDEXPRFILTER);
    client.AddRequestUInt32(ServerHandle);
    client.AddRequestParam(tree.data(), static_cast<uint32_t>(tree.size()));
    client.AddRequestBoolean(ownsTree);
    client.AddRequestBoolean(filter.EvaluateLast);
    client.AddRequestBoolean(filter.CostBased);
    if (estimates) client.AddRequestBoolean(filter.EstimateCounts);
    SendAndReceive();
    filter.ServerHandle = client.ReadReplyUInt32();
    filter.OptimizeLevel = client.ReadReplyByte();
}

uint32_t TRemoteCursor::HandleOf(const TFilter* filter) const {
    for (const auto& f : Cursor.GetFilters())
        if (f.get() == filter) return f->ServerHandle;
    return 0;
}

void TRemoteCursor::DropFilter(TFilter* filter) {
    uint32_t handle = HandleOf(filter);
    Cursor.RemoveFilter(filter);
    if (Cursor.IsCursorOpen()) FilterRequest(REQUEST_DROPFILTER, handle);
}

void TRemoteCursor::ActivateFilter(TFilter* filter) {
    Cursor.MarkFilterActive(filter, true);
    if (Cursor.IsCursorOpen()) FilterRequest(REQUEST_ACTIVATEFILTER, HandleOf(filter));
}

void TRemoteCursor::DeactivateFilter(TFilter* filter) {
    Cursor.MarkFilterActive(filter, false);
    if (Cursor.IsCursorOpen()) FilterRequest(REQUEST_DEACTIVATEFILTER, HandleOf(filter));
}

void TRemoteCursor::FilterRequest(uint16_t code, uint32_t filterHandle) {
    BeginRequest(code);
    PutRequestHead();
    Client().AddRequestUInt32(filterHandle);
    SendAndReceive();
    ReadPositionReply();
}

// ---- Table definitions and full-text parameters ----

void TRemoteCursor::PutTableHead(uint16_t code) {
    BeginRequest(code);
    TRemoteClient& client = Client();
    client.AddRequestUInt32(ServerHandle);
    client.AddRequestParam(Cursor.GetTableName());
    client.AddRequestBoolean(Cursor.GetInMemory());
}

void TRemoteCursor::PutDefinition(const TTableDefinition& definition) {
    TRemoteClient& client = Client();
    client.AddRequestWord(static_cast<uint16_t>(definition.LanguageId));
    client.AddRequestWord(definition.SortId);
    client.AddRequestWord(static_cast<uint16_t>(definition.UserMajorVersion));
    client.AddRequestWord(static_cast<uint16_t>(definition.UserMinorVersion));
    client.AddRequestBoolean(definition.Encrypted);
    client.AddRequestParam(definition.Password);
    client.AddRequestParam(definition.Description);
    client.AddRequestWord(definition.BlobBlockSize);
    client.AddRequestWord(static_cast<uint16_t>(definition.Fields.size()));
    for (const TFieldDescriptor& f : definition.Fields) {
        auto bytes = f.Encode();
        client.AddRequestParam(bytes.data(), static_cast<uint32_t>(bytes.size()));
    }
    client.AddRequestByte(static_cast<uint8_t>(definition.SecondaryIndexes.size()));
    uint8_t desc[IndexDescriptorSize];
    EncodeIndexDescriptor(definition.PrimaryIndex, desc);
    client.AddRequestParam(desc, IndexDescriptorSize);
    for (const TIndexDescriptor& d : definition.SecondaryIndexes) {
        EncodeIndexDescriptor(d, desc);
        client.AddRequestParam(desc, IndexDescriptorSize);
    }
    if (ServerVersion() >= RemoteVersionLockProtocol) {
        EncodeIndexDescriptor(definition.TextIndex, desc);
        client.AddRequestParam(desc, IndexDescriptorSize);
        PutTextIndexParams(definition.StopWords ? &*definition.StopWords : nullptr, definition.SpaceChars,
                           definition.IncludeChars);
    }
}

void TRemoteCursor::CreateTable(const TTableDefinition& definition, bool allowAutoPrimary, bool overwrite) {
    PutTableHead(REQUEST_CREATETABLE);
    TRemoteClient& client = Client();
    // The cursor's open option that shapes the files: temporary files.
    client.AddRequestBoolean(Cursor.GetTemporary());
    PutDefinition(definition);
    client.AddRequestBoolean(allowAutoPrimary);
    client.AddRequestBoolean(overwrite);
    SendAndReceive();
}

void TRemoteCursor::RestructureTable(const TTableDefinition& definition, bool allowAutoPrimary,
                                     int32_t lastAutoInc, bool suppressBackup) {
    PutTableHead(REQUEST_RESTRUCTURETABLE);
    TRemoteClient& client = Client();
    PutDefinition(definition);
    client.AddRequestBoolean(allowAutoPrimary);
    client.AddRequestInt32(lastAutoInc);
    client.AddRequestBoolean(suppressBackup);
    client.AddRequestBoolean(Cursor.HasRestructureProgressCallback());
    client.AddRequestBoolean(Cursor.HasDataLostCallback());
    SendAndReceive();
}

bool TRemoteCursor::VerifyRepairTable(bool verifyOnly, bool tolerant, bool hasProgress, bool hasLog,
                                      bool forceIndexRebuild) {
    PutTableHead(REQUEST_REPAIRTABLE);
    TRemoteClient& client = Client();
    client.AddRequestBoolean(verifyOnly);
    client.AddRequestBoolean(tolerant);
    client.AddRequestBoolean(hasProgress);
    client.AddRequestBoolean(hasLog);
    if (ServerVersion() >= RemoteVersionTableState) client.AddRequestBoolean(forceIndexRebuild);
    SendAndReceive();
    return client.ReadReplyBoolean();
}

void TRemoteCursor::DeleteTable() {
    PutTableHead(REQUEST_DELETETABLE);
    SendAndReceive();
}

void TRemoteCursor::RenameTable(const std::string& newName) {
    PutTableHead(REQUEST_RENAMETABLE);
    Client().AddRequestParam(newName);
    SendAndReceive();
}

void TRemoteCursor::EmptyTable() {
    BeginRequest(REQUEST_EMPTYTABLE);
    Client().AddRequestUInt32(ServerHandle);
    SendAndReceive();
    ReadPositionReply();
}

TDataHeader TRemoteCursor::ReadTableHeader() {
    PutTableHead(REQUEST_GETDATAHEADER);
    SendAndReceive();
    uint8_t image[DataHeaderSize];
    ReadExactItem(Reply(), image, DataHeaderSize);
    return TDataHeader::Decode(image);
}

void TRemoteCursor::AddIndex(TIndexDescriptor desc, bool flag) {
    BeginRequest(REQUEST_ADDSECONDARYINDEX);
    PutRequestHead();
    uint8_t bytes[IndexDescriptorSize];
    EncodeIndexDescriptor(desc, bytes);
    Client().AddRequestParam(bytes, IndexDescriptorSize);
    Client().AddRequestBoolean(flag);
    SendAndReceive();
    ReadPositionReply();
    // The header image follows the server's index file, so that the new index can be chosen.
    Cursor.IndexFile->AddIndexDesc(desc);
}

void TRemoteCursor::DeleteIndex(const std::string& name, bool flag) {
    BeginRequest(REQUEST_DELETEINDEX);
    PutRequestHead();
    Client().AddRequestParam(name);
    Client().AddRequestBoolean(flag);
    SendAndReceive();
    uint8_t indexNo = Client().ReadReplyByte();
    if (indexNo != NaturalOrderIndex && indexNo >= IndexDescriptorCount) RaiseMalformed();
    ReadPositionReply();
    // The header image loses the index as the server's file did; those after it move down.
    Cursor.IndexFile->RemoveIndexDesc(Cursor.FindIndexByName(name), flag);
    Cursor.MarkRangeActive(false);
    Cursor.CurrentIndex = indexNo;
    if (indexNo != NaturalOrderIndex) Cursor.LoadIndexState();
}

void TRemoteCursor::LoadTextIndexParams() {
    if (ServerVersion() < RemoteVersionLockProtocol) return;
    BeginRequest(REQUEST_TEXTINDEXPARAMS);
    Client().AddRequestUInt32(ServerHandle);
    SendAndReceive();
    ReadTextIndexParamsReply(Reply());
}

void TRemoteCursor::PutTextIndexParams(const std::vector<std::string>* words, const TCharSet& spaceChars,
                                       const TCharSet& includeChars) {
    TRemoteClient& client = Client();
    client.AddRequestInt32(words != nullptr ? static_cast<int32_t>(words->size()) : -1);
    if (words != nullptr)
        for (const std::string& w : *words) client.AddRequestParam(w);
    client.AddRequestParam(CharSetToString(spaceChars));
    client.AddRequestParam(CharSetToString(includeChars));
}

void TRemoteCursor::ReadTextIndexParamsReply(TRemoteReply& reply) {
    std::vector<std::string> words;
    int32_t count = reply.ReadReplyInt32();
    if (count < 0) RaiseMalformed();
    for (int32_t i = 0; i < count; ++i) words.push_back(reply.ReadReplyString(ShortStringMax));
    TCharSet spaceChars = CharsToSet(reply.ReadReplyString(255));
    TCharSet includeChars = CharsToSet(reply.ReadReplyString(255));
    Cursor.TakeServerTextIndexParams(words, spaceChars, includeChars);
}

// ---- BLOBs ----

void TRemoteCursor::PutBlobHead(uint16_t code, uint16_t fieldNo, const uint8_t* record) {
    BeginRequest(code);
    TRemoteClient& client = Client();
    client.AddRequestUInt32(ServerHandle);
    client.AddRequestWord(fieldNo);
    client.AddRequestParam(record, Cursor.GetRecordSize());
}

TEngineErrorCode TRemoteCursor::ReadBlobResult(uint8_t* record) {
    TEngineErrorCode code = Client().ReadReplyWord();
    if (record != nullptr) ReadRecordReply(Reply(), record);
    return code;
}

TEngineErrorCode TRemoteCursor::RequestOpenBlob(uint16_t fieldNo, uint8_t* record, uint8_t mode,
                                                bool byTableDesc, bool recordBound, TBlobBuffer* loadInto) {
    PutBlobHead(REQUEST_OPENBLOB, fieldNo, record);
    TRemoteClient& client = Client();
    client.AddRequestByte(mode);
    client.AddRequestBoolean(byTableDesc);
    client.AddRequestBoolean(recordBound);
    SendAndReceive();
    TEngineErrorCode code = ReadBlobResult(record);
    if (code == DBE_NONE && ServerVersion() >= RemoteVersionLocalBlobs && loadInto != nullptr)
        LoadBlob(Reply(), *loadInto);
    return code;
}

TEngineErrorCode TRemoteCursor::RequestFreeBlob(uint16_t fieldNo, uint8_t* record, bool byTableDesc,
                                                bool flag) {
    PutBlobHead(REQUEST_FREEBLOB, fieldNo, record);
    Client().AddRequestBoolean(byTableDesc);
    Client().AddRequestBoolean(flag);
    SendAndReceive();
    return ReadBlobResult(record);
}

TEngineErrorCode TRemoteCursor::RequestGetBlob(uint16_t fieldNo, const uint8_t* record, int32_t offset,
                                               int32_t count, void* dest, int32_t& bytesRead,
                                               bool byTableDesc) {
    PutBlobHead(REQUEST_GETBLOB, fieldNo, record);
    TRemoteClient& client = Client();
    client.AddRequestInt32(offset);
    client.AddRequestInt32(count);
    client.AddRequestBoolean(byTableDesc);
    SendAndReceive();
    TEngineErrorCode code = client.ReadReplyWord();
    int32_t announced = client.ReadReplyInt32();
    if (announced < 0 || announced > std::max(count, 0)) RaiseMalformed();
    uint32_t got = client.ReadReplyParam(dest, static_cast<uint32_t>(announced));
    if (got != static_cast<uint32_t>(announced)) RaiseMalformed();
    bytesRead = announced;
    return code;
}

TEngineErrorCode TRemoteCursor::RequestPutBlob(uint16_t fieldNo, uint8_t* record, int32_t offset,
                                               int32_t count, const void* source, bool byTableDesc) {
    PutBlobHead(REQUEST_PUTBLOB, fieldNo, record);
    TRemoteClient& client = Client();
    client.AddRequestInt32(offset);
    client.AddRequestInt32(count);
    client.AddRequestParam(source, static_cast<uint32_t>(std::max(count, 0)));
    client.AddRequestBoolean(byTableDesc);
    SendAndReceive();
    return ReadBlobResult(record);
}

TEngineErrorCode TRemoteCursor::RequestTruncateBlob(uint16_t fieldNo, uint8_t* record, int32_t newLength,
                                                    bool byTableDesc) {
    PutBlobHead(REQUEST_TRUNCATEBLOB, fieldNo, record);
    Client().AddRequestInt32(newLength);
    Client().AddRequestBoolean(byTableDesc);
    SendAndReceive();
    return ReadBlobResult(record);
}

TEngineErrorCode TRemoteCursor::RequestGetBlobSize(uint16_t fieldNo, const uint8_t* record, int32_t& size,
                                                   bool byTableDesc) {
    PutBlobHead(REQUEST_GETBLOBSIZE, fieldNo, record);
    Client().AddRequestBoolean(byTableDesc);
    SendAndReceive();
    TEngineErrorCode code = Client().ReadReplyWord();
    size = Client().ReadReplyInt32();
    return code;
}

void TRemoteCursor::FreeingAllBlobs(bool all) {
    if (Cursor.IsCursorOpen()) RequestFreeAllBlobs(all);
}

void TRemoteCursor::RequestFreeAllBlobs(bool all) {
    BeginRequest(REQUEST_FREEALLBLOBS);
    Client().AddRequestUInt32(ServerHandle);
    Client().AddRequestBoolean(all);
    SendAndReceive();
}

namespace {

// Handles of values opened through a server, apart from those of local cursors in practice.
std::atomic<uint32_t> RemoteHandleCounter{0};

void WriteOpenValue(uint8_t* at, const TBlobBuffer& buffer) {
    PutInt32(at + 1, -buffer.Handle);
    at[0] = buffer.Size != 0 ? 1 : 0;
}

}  // namespace

bool TRemoteCursor::FindBlobField(uint16_t fieldNo, bool byTableDesc, TFieldDescriptor& desc) const {
    try {
        if (byTableDesc)
            Cursor.GetTableFieldDesc(fieldNo, desc);
        else
            Cursor.GetFieldDesc(fieldNo, desc);
    } catch (const EDbEngineError&) {
        return false;
    }
    return desc.FieldType == fldBlob;
}

TEngineErrorCode TRemoteCursor::OpenBlob(uint16_t fieldNo, uint8_t* record, uint8_t mode, bool byTableDesc,
                                         bool recordBound, int32_t& size, bool keepRemoteHandle) {
    size = 0;
    TFieldDescriptor d;
    if (!FindBlobField(fieldNo, byTableDesc, d)) return DBE_NOTABLOB;
    uint8_t* at = record + d.Offset;
    int32_t value = GetInt32(at + 1);
    if (value < 0) {
        TBlobBuffer* open = Cursor.FindOpenBlob(value);
        if (open != nullptr) {
            if (mode == BlobOpenWrite) open->RecordBound = recordBound;
            open->AddRef();
            size = open->Size;
            return 0;
        }
        if (!keepRemoteHandle) return DBE_INVALIDBLOBOFFSET;
    }
    if (Cursor.GetOpenBlobs().size() >= TDataCursor::MaxOpenBlobs) return DBE_OPENBLOBLIMIT;
    auto buffer = std::make_unique<TBlobBuffer>(nullptr, Cursor.GetTable()->BlobFile.get());
    if (keepRemoteHandle) {
        // The field holds the server's handle already.
        buffer->ServerHandle = -value;
    } else {
        TEngineErrorCode code = RequestOpenBlob(fieldNo, record, mode, byTableDesc, recordBound,
                                                BlobsOnServer() ? nullptr : buffer.get());
        if (code != DBE_NONE) return code;
        buffer->ServerHandle = -GetInt32(at + 1);
        buffer->FirstBlock = value;
    }
    buffer->FieldNo = fieldNo;
    buffer->OpenMode = mode;
    buffer->RecordBound = recordBound;
    buffer->Stamp = GetInt32(at + 5);
    buffer->RecordNo = GetInt32(record + 1);
    buffer->Modified = false;
    buffer->AddRef();
    do {
        buffer->Handle = static_cast<int32_t>(RemoteHandleCounter.fetch_add(1) % 0x3FFFFFFF + 0x40000000);
    } while (Cursor.FindOpenBlob(-buffer->Handle) != nullptr);
    size = buffer->Size;
    // An old server keeps the value: its flag in the field stays as the server set it.
    if (BlobsOnServer())
        PutInt32(at + 1, -buffer->Handle);
    else
        WriteOpenValue(at, *buffer);
    Cursor.AddOpenBlob(std::move(buffer));
    return 0;
}

TEngineErrorCode TRemoteCursor::FreeBlob(uint16_t fieldNo, uint8_t* record, bool byTableDesc, bool flag) {
    TFieldDescriptor d;
    if (!FindBlobField(fieldNo, byTableDesc, d)) return DBE_NOTABLOB;
    uint8_t* at = record + d.Offset;
    TBlobBuffer* buffer = Cursor.FindOpenBlob(GetInt32(at + 1));
    if (buffer == nullptr) return DBE_INVALIDBLOBHANDLE;
    buffer->Release();
    if (buffer->OpenCount > 0) {
        WriteOpenValue(at, *buffer);
        return 0;
    }
    PutInt32(at + 1, -buffer->ServerHandle);
    TEngineErrorCode code = RequestFreeBlob(fieldNo, record, byTableDesc, flag);
    if (code != DBE_NONE) {
        buffer->AddRef();
        WriteOpenValue(at, *buffer);
        return code;
    }
    int32_t firstBlock = buffer->FirstBlock;
    Cursor.DropOpenBlobsIf([buffer](const TBlobBuffer& b) { return &b == buffer; });
    PutInt32(at + 1, firstBlock);
    at[0] = firstBlock != 0 ? 1 : 0;
    return 0;
}

TEngineErrorCode TRemoteCursor::OnServerValue(uint16_t fieldNo, uint8_t* record, bool byTableDesc,
                                              const std::function<TEngineErrorCode(uint8_t* copy)>& request) {
    TFieldDescriptor d;
    if (!FindBlobField(fieldNo, byTableDesc, d)) return DBE_NOTABLOB;
    TBlobBuffer* buffer = Cursor.FindOpenBlob(GetInt32(record + d.Offset + 1));
    if (buffer == nullptr) return DBE_INVALIDBLOBHANDLE;
    std::vector<uint8_t> copy(record, record + Cursor.GetRecordSize());
    PutInt32(copy.data() + d.Offset + 1, -buffer->ServerHandle);
    TEngineErrorCode code = request(copy.data());
    PutInt32(copy.data() + d.Offset + 1, -buffer->Handle);
    std::memcpy(record, copy.data(), Cursor.GetRecordSize());
    return code;
}

TEngineErrorCode TRemoteCursor::GetBlob(uint16_t fieldNo, const uint8_t* record, int32_t offset,
                                        uint8_t* dest, int32_t count, int32_t& bytesRead, bool byTableDesc) {
    if (!BlobsOnServer())
        return Cursor.GetOpenBlob(fieldNo, record, offset, dest, count, bytesRead, byTableDesc);
    bytesRead = 0;
    std::vector<uint8_t> copy(record, record + Cursor.GetRecordSize());
    return OnServerValue(fieldNo, copy.data(), byTableDesc, [&](uint8_t* sent) {
        return RequestGetBlob(fieldNo, sent, offset, count, dest, bytesRead, byTableDesc);
    });
}

TEngineErrorCode TRemoteCursor::PutBlob(uint16_t fieldNo, uint8_t* record, int32_t offset,
                                        const uint8_t* source, int32_t count, bool byTableDesc) {
    if (!BlobsOnServer()) return Cursor.PutOpenBlob(fieldNo, record, offset, source, count, byTableDesc);
    return OnServerValue(fieldNo, record, byTableDesc, [&](uint8_t* sent) {
        return RequestPutBlob(fieldNo, sent, offset, count, source, byTableDesc);
    });
}

TEngineErrorCode TRemoteCursor::TruncateBlob(uint16_t fieldNo, uint8_t* record, int32_t newLength,
                                             bool byTableDesc) {
    if (!BlobsOnServer()) return Cursor.TruncateOpenBlob(fieldNo, record, newLength, byTableDesc);
    return OnServerValue(fieldNo, record, byTableDesc, [&](uint8_t* sent) {
        return RequestTruncateBlob(fieldNo, sent, newLength, byTableDesc);
    });
}

TEngineErrorCode TRemoteCursor::GetBlobSize(uint16_t fieldNo, const uint8_t* record, int32_t& size,
                                            bool byTableDesc) {
    if (!BlobsOnServer()) return Cursor.GetOpenBlobSize(fieldNo, record, size, byTableDesc);
    size = 0;
    std::vector<uint8_t> copy(record, record + Cursor.GetRecordSize());
    return OnServerValue(fieldNo, copy.data(), byTableDesc,
                         [&](uint8_t* sent) { return RequestGetBlobSize(fieldNo, sent, size, byTableDesc); });
}

std::vector<uint8_t> TRemoteCursor::ServerRecord(const uint8_t* record) const {
    std::vector<uint8_t> copy(record, record + Cursor.GetRecordSize());
    for (const auto& b : Cursor.GetOpenBlobs()) {
        TFieldDescriptor d;
        if (!FindBlobField(b->FieldNo, false, d)) continue;
        uint8_t* at = copy.data() + d.Offset;
        if (GetInt32(at + 1) == -b->Handle) PutInt32(at + 1, -b->ServerHandle);
    }
    return copy;
}

void TRemoteCursor::AfterRecordWrite() {
    for (auto& b : Cursor.GetOpenBlobs()) b->Modified = false;
    // The server freed its values bound to the record; the cursor's go the same way.
    Cursor.FreeAllBlobs(false, true);
}

void TRemoteCursor::LoadBlob(TRemoteReply& reply, TBlobBuffer& buffer) {
    int32_t size = reply.ReadReplyInt32();
    // Checked before the buffer grows: a reply cannot hold more bytes than its own length.
    if (size < 0 || static_cast<uint32_t>(size) > reply.TotalLength()) RaiseMalformed();
    buffer.SetSize(size);
    if (reply.ReadReplyParam(buffer.GetData(), static_cast<uint32_t>(size)) != static_cast<uint32_t>(size))
        RaiseMalformed();
    buffer.Modified = false;
}

void TRemoteCursor::SaveBlob(const TBlobBuffer& buffer) {
    TRemoteClient& client = Client();
    client.AddRequestInt32(buffer.ServerHandle);
    client.AddRequestInt32(buffer.Size);
    client.AddRequestParam(const_cast<TBlobBuffer&>(buffer).GetData(), static_cast<uint32_t>(buffer.Size));
}

void TRemoteCursor::DeleteBlob(const TBlobBuffer& buffer) {
    Client().AddRequestInt32(buffer.ServerHandle);
    Client().AddRequestInt32(buffer.Size);
}

}  // namespace dbengine
