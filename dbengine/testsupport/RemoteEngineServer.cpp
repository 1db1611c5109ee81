#include "dbengine/testsupport/RemoteEngineServer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "dbengine/blob/BlobBuffer.h"
#include "dbengine/cursor/DataCursor.h"
#include "dbengine/cursor/RemoteCursor.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/expr/ExpTreeStream.h"
#include "dbengine/index/FullTextIndex.h"
#include "dbengine/remote/RemoteMessage.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"

namespace dbengine::testing {

namespace {

std::string Bytes(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

}  // namespace

// The parameters of a request, read in order.
struct TRemoteEngineServer::TArgs {
    const TServerRequest& Request;
    size_t Next = 0;

    const std::string& Item() {
        if (Next >= Request.Params.size()) throw std::runtime_error("test server: parameter missing");
        return Request.Params[Next++];
    }
    int64_t Number() { return ParamNumber(Item()); }
    int32_t Int() { return static_cast<int32_t>(Number()); }
    bool Bool() { return Number() != 0; }
    bool More() const { return Next < Request.Params.size(); }
    std::vector<uint8_t> Data() {
        const std::string& s = Item();
        return std::vector<uint8_t>(s.begin(), s.end());
    }
};

TRemoteEngineServer::TRemoteEngineServer(TDataDirectory* database, int64_t serverVersion)
    : Database(database), Version(serverVersion) {
    Server.Configure([&](TRemoteTestServer::TScript& s) { s.ServerVersion = serverVersion; });
    Install();
}

TRemoteEngineServer::~TRemoteEngineServer() {
    // The listening thread goes first (the destructor of Server runs last otherwise).
    Server.Configure([](TRemoteTestServer::TScript& s) { s.Handlers.clear(); });
}

TDataCursor* TRemoteEngineServer::CursorOf(uint32_t handle) {
    auto it = Cursors.find(handle);
    if (it != Cursors.end()) return it->second.get();
    auto lent = Lent.find(handle);
    return lent != Lent.end() ? lent->second : nullptr;
}

uint32_t TRemoteEngineServer::Lend(TDataCursor& cursor) {
    uint32_t handle = NextHandle++;
    Lent[handle] = &cursor;
    return handle;
}

void TRemoteEngineServer::Withdraw(uint32_t handle) {
    Lent.erase(handle);
}

void TRemoteEngineServer::Serve(uint16_t code, std::function<TServerReply(const TServerRequest&)> work) {
    Server.On(code, [work = std::move(work)](const TServerRequest& request) {
        try {
            return work(request);
        } catch (const EDbEngineError& e) {
            return TServerReply::Error(e.ErrorCode, {e.ErrorUser, e.ErrorDatabase, e.ErrorTable, e.ErrorField,
                                                     e.ErrorIndex, e.ErrorContext});
        }
    });
}

void TRemoteEngineServer::Position(TDataCursor& c, std::vector<std::string>& out) const {
    out.push_back(Int32Param(c.GetRecNo()));
    out.push_back(Int32Param(c.GetPhysicalRecNo()));
    out.push_back(Int32Param(c.GetRecordCount()));
    TDataTable& t = *c.GetTable();
    out.push_back(Int32Param(t.DataFile->RecordCount()));
    out.push_back(Int32Param(t.DataFile->LastRecordId()));
    out.push_back(DoubleParam(t.DataFile->Header.LastWriteTime + RemoteDayOffset));
    out.push_back(Int32Param(t.IndexFile->GetChangeCount()));
    out.push_back(Int32Param(t.IndexFile->GetRecordCount()));
    std::vector<uint8_t> bookmark = c.GetBookmark();
    out.push_back(Bytes(bookmark.data(), bookmark.size()));
    out.push_back(BoolParam(c.IsAtBeginning()));
    out.push_back(BoolParam(c.IsAtEnd()));
}

void TRemoteEngineServer::Headers(TDataCursor& c, std::vector<std::string>& out) const {
    TDataTable& t = *c.GetTable();
    if (Version >= RemoteVersionTableState) {
        out.push_back(BoolParam(t.ReadOnly));
        out.push_back(BoolParam(t.ReadOnlyByAttribute));
    }
    auto data = t.DataFile->HeaderImage();
    out.push_back(Bytes(data.data(), data.size()));
    for (const TFieldDescriptor& d : t.DataFile->Descriptors) {
        auto bytes = d.Encode();
        out.push_back(Bytes(bytes.data(), bytes.size()));
    }
    std::vector<uint8_t> index(IndexHeaderSize);
    EncodeIndexHeader(t.IndexFile->Header, index.data());
    out.push_back(Bytes(index.data(), index.size()));
    auto blob = t.BlobFile->HeaderImage();
    out.push_back(Bytes(blob.data(), blob.size()));
}

void TRemoteEngineServer::OpenReply(TDataCursor& c, std::vector<std::string>& out) const {
    bool headers = Version < RemoteVersionOpenOnce ||
                   (Version < RemoteVersionUserCursors && c.GetTable()->OpenCount == 1) ||
                   (Version >= RemoteVersionUserCursors &&
                    (c.GetQueryResult() != c.GetQuerySource() || c.GetTable()->UserCursorCount == 1));
    if (headers) Headers(c, out);
    Position(c, out);
    out.push_back(ByteParam(c.CurrentIndex));
}

void TRemoteEngineServer::TakeBlobs(TDataCursor& c, TArgs& args, std::vector<uint8_t>& record) const {
    if (!args.More()) return;
    int32_t count = args.Int();
    for (int32_t i = 0; i < count; ++i) {
        int32_t handle = args.Int();
        int32_t size = args.Int();
        TBlobBuffer* buffer = c.FindOpenBlob(-handle);
        if (buffer == nullptr) throw std::runtime_error("test server: unknown BLOB handle");
        buffer->SetSize(size);
        if (size > 0) {
            std::vector<uint8_t> bytes = args.Data();
            std::memcpy(buffer->GetData(), bytes.data(), std::min<size_t>(bytes.size(), size_t(size)));
        }
        buffer->Modified = true;
        // The record names the value by the server's handle.
        TFieldDescriptor d;
        c.GetFieldDesc(buffer->FieldNo, d);
        uint8_t* at = record.data() + d.Offset;
        PutInt32(at + 1, -handle);
        at[0] = size != 0 ? 1 : 0;
    }
}

TDataCursor& TRemoteEngineServer::Head(TArgs& args) {
    TDataCursor* c = CursorOf(static_cast<uint32_t>(args.Number()));
    if (c == nullptr) throw std::runtime_error("test server: unknown cursor");
    std::vector<uint8_t> key = args.Data();
    bool atBeginning = args.Bool();
    bool atEnd = args.Bool();
    if (atBeginning)
        c->SetToBegin();
    else if (atEnd)
        c->SetToEnd();
    else if (!key.empty() && key.size() == c->GetBookmarkSize())
        // On the record itself, not in the crack before it: the next step moves off it.
        c->SetToBookmark(key.data(), false, false);
    return *c;
}

void TRemoteEngineServer::Install() {
    using TWork = std::function<void(TArgs&, std::vector<std::string>&)>;
    auto on = [this](uint16_t code, TWork work) {
        Serve(code, [work](const TServerRequest& request) {
            TArgs args{request};
            std::vector<std::string> out;
            work(args, out);
            return TServerReply::Ok(std::move(out));
        });
    };
    auto cursorOf = [this](TArgs& args) -> TDataCursor& {
        TDataCursor* c = CursorOf(static_cast<uint32_t>(args.Number()));
        if (c == nullptr) throw std::runtime_error("test server: unknown cursor");
        return *c;
    };

    on(REQUEST_OPENDATADIR, [](TArgs&, std::vector<std::string>& out) { out.push_back(Int32Param(1)); });
    on(REQUEST_TABLEEXISTS, [this](TArgs& a, std::vector<std::string>& out) {
        a.Number();  // the database handle: this server has one database
        std::string name = a.Item();
        out.push_back(BoolParam(Database->TableExists(name, a.Bool())));
    });
    on(REQUEST_CREATECURSOR, [this](TArgs&, std::vector<std::string>& out) {
        uint32_t handle = NextHandle++;
        Cursors[handle] = std::make_unique<TDataCursor>(Database);
        out.push_back(Int32Param(static_cast<int32_t>(handle)));
    });
    on(REQUEST_FREECURSOR,
       [this](TArgs& a, std::vector<std::string>&) { Cursors.erase(static_cast<uint32_t>(a.Number())); });
    on(REQUEST_OPENCURSOR, [this, cursorOf](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = cursorOf(a);
        c.SetTableName(a.Item());
        c.SetExclusive(a.Bool());
        c.SetReadOnly(a.Bool());
        c.SetInMemory(a.Bool());
        c.OpenCursor();
        OpenReply(c, out);
    });
    on(REQUEST_CLONECURSOR, [this](TArgs& a, std::vector<std::string>& out) {
        std::unique_ptr<TDataCursor> clone = Head(a).CloneCursor();
        uint32_t handle = NextHandle++;
        out.push_back(Int32Param(static_cast<int32_t>(handle)));
        OpenReply(*clone, out);
        Cursors[handle] = std::move(clone);
    });
    on(REQUEST_CLOSECURSOR,
       [cursorOf](TArgs& a, std::vector<std::string>&) { cursorOf(a).CloseCursor(false); });
    on(REQUEST_CREATETABLE, [this, cursorOf](TArgs& a, std::vector<std::string>&) {
        TDataCursor& c = cursorOf(a);
        c.SetTableName(a.Item());
        c.SetInMemory(a.Bool());
        c.SetTemporary(a.Bool());
        TTableDefinition def;
        def.LanguageId = static_cast<int16_t>(a.Number());
        def.SortId = static_cast<uint16_t>(a.Number());
        def.UserMajorVersion = static_cast<int16_t>(a.Number());
        def.UserMinorVersion = static_cast<int16_t>(a.Number());
        def.Encrypted = a.Bool();
        def.Password = a.Item();
        def.Description = a.Item();
        def.BlobBlockSize = static_cast<uint16_t>(a.Number());
        int fields = a.Int();
        for (int i = 0; i < fields; ++i) def.Fields.push_back(TFieldDescriptor::Decode(a.Data().data()));
        int indexes = a.Int();
        def.PrimaryIndex = DecodeIndexDescriptor(a.Data().data());
        for (int i = 0; i < indexes; ++i)
            def.SecondaryIndexes.push_back(DecodeIndexDescriptor(a.Data().data()));
        if (Version >= RemoteVersionLockProtocol) {
            def.TextIndex = DecodeIndexDescriptor(a.Data().data());
            int words = a.Int();
            if (words >= 0) {
                def.StopWords.emplace();
                for (int i = 0; i < words; ++i) def.StopWords->push_back(a.Item());
            }
            def.SpaceChars = CharsToSet(a.Item());
            def.IncludeChars = CharsToSet(a.Item());
        }
        bool allowAutoPrimary = a.Bool();
        bool overwrite = a.Bool();
        c.SetExclusive(true);
        try {
            c.CreateTable(def, allowAutoPrimary, overwrite);
        } catch (...) {
            c.SetExclusive(false);
            throw;
        }
        c.SetExclusive(false);
    });
    on(REQUEST_SETINDEXNAME, [this](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = Head(a);
        c.SetIndexName(a.Item());
        out.push_back(ByteParam(c.CurrentIndex));
        Position(c, out);
    });
    on(REQUEST_FIND, [this](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = Head(a);
        std::vector<uint8_t> key = a.Data();
        int fieldCount = a.Int();
        bool nearest = a.Bool();
        int partial = a.Int();
        bool want = a.Bool();
        std::vector<uint8_t> record(c.GetRecordSize());
        bool found =
            c.FindKey(true, key.data(), fieldCount, nearest, partial, want ? record.data() : nullptr);
        out.push_back(BoolParam(found));
        Position(c, out);
        if (want) out.push_back(Bytes(record.data(), record.size()));
    });
    on(REQUEST_SETRANGE, [this](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = Head(a);
        std::vector<uint8_t> start = a.Data();
        int startCount = a.Int();
        std::vector<uint8_t> end = a.Data();
        int endCount = a.Int();
        c.SetRange(true, start.empty() ? nullptr : start.data(), startCount,
                   end.empty() ? nullptr : end.data(), endCount);
        Position(c, out);
    });
    on(REQUEST_RESETRANGE, [this](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = Head(a);
        c.ResetRange();
        Position(c, out);
    });
    on(REQUEST_REFRESH, [this](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = Head(a);
        c.Refresh();
        Position(c, out);
    });
    on(REQUEST_SETTOBEGIN, [this, cursorOf](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = cursorOf(a);
        c.SetToBegin();
        Position(c, out);
    });
    on(REQUEST_SETTOEND, [this, cursorOf](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = cursorOf(a);
        c.SetToEnd();
        Position(c, out);
    });
    on(REQUEST_SETTORECNO, [this, cursorOf](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = cursorOf(a);
        c.SetToRecNo(a.Int());
        Position(c, out);
    });
    on(REQUEST_SETTOBOOKMARK, [this, cursorOf](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = cursorOf(a);
        std::vector<uint8_t> bookmark = a.Data();
        bool keepCrack = a.Bool();
        bool noBracket = a.Bool();
        bool result =
            bookmark.size() == c.GetBookmarkSize() && c.SetToBookmark(bookmark.data(), keepCrack, noBracket);
        out.push_back(BoolParam(result));
        Position(c, out);
    });
    on(REQUEST_GETCURRECORD, [this](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = Head(a);
        std::vector<uint8_t> record = a.Data();
        record.resize(c.GetRecordSize());
        TEngineErrorCode code = c.GetCurrentRecord(record.data(), a.Bool());
        out.push_back(WordParam(code));
        Position(c, out);
        out.push_back(Bytes(record.data(), record.size()));
    });
    for (uint16_t code : {REQUEST_GETNEXTRECORD, REQUEST_GETPRIORRECORD}) {
        on(code, [this, code](TArgs& a, std::vector<std::string>& out) {
            TDataCursor& c = Head(a);
            int32_t block = a.Int();
            std::vector<uint8_t> record(c.GetRecordSize());
            for (int32_t i = 0; i < block; ++i) {
                TEngineErrorCode result = code == REQUEST_GETNEXTRECORD ? c.GetNextRecord(record.data())
                                                                        : c.GetPriorRecord(record.data());
                out.push_back(WordParam(result));
                Position(c, out);
                out.push_back(Bytes(record.data(), record.size()));
                if (result != 0) break;
            }
        });
    }
    on(REQUEST_READRECORDBLOCK, [this](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = Head(a);
        int32_t count = a.Int();
        std::vector<uint8_t> buffers(static_cast<size_t>(count) * c.GetRecordSize());
        TEngineErrorCode code = c.ReadRecordBlock(count, buffers.data());
        out.push_back(WordParam(code));
        out.push_back(Int32Param(count));
        for (int32_t i = 0; i < count; ++i)
            out.push_back(
                Bytes(buffers.data() + static_cast<size_t>(i) * c.GetRecordSize(), c.GetRecordSize()));
        Position(c, out);
    });
    on(REQUEST_SETTOCURSOR, [this, cursorOf](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = Head(a);
        TDataCursor& other = Head(a);
        TEngineErrorCode code = c.SetToCursor(other);
        out.push_back(WordParam(code));
        Position(c, out);
        (void)cursorOf;
    });
    on(REQUEST_APPENDRECORD, [this](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = Head(a);
        std::vector<uint8_t> record = a.Data();
        record.resize(c.GetRecordSize());
        bool reposition = a.Bool();
        TakeBlobs(c, a, record);
        c.InsertRecord(record.data(), reposition);
        Position(c, out);
    });
    on(REQUEST_MODIFYRECORD, [this](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = Head(a);
        std::vector<uint8_t> record = a.Data();
        record.resize(c.GetRecordSize());
        bool unlock = a.Bool();
        bool reposition = a.Bool();
        TakeBlobs(c, a, record);
        c.ModifyRecord(record.data(), unlock, reposition);
        Position(c, out);
    });
    on(REQUEST_DELETERECORD, [this](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = Head(a);
        std::vector<uint8_t> record = a.Data();
        record.resize(c.GetRecordSize());
        c.DeleteRecord(record.data(), a.Bool());
        Position(c, out);
    });
    on(REQUEST_ADDEXPRFILTER, [this, cursorOf](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = cursorOf(a);
        std::vector<uint8_t> bytes = a.Data();
        TExpToken* tree = nullptr;
        if (ReadExpTree(bytes.data(), bytes.size(), tree) == 0)
            throw std::runtime_error("test server: malformed expression tree");
        a.Bool();  // the client's ownership of its own copy
        bool evaluateLast = a.Bool();
        bool costBased = a.Bool();
        bool estimates = a.More() && a.Bool();
        TFilter* f =
            c.AddFilter(nullptr, {}, tree, true, {}, evaluateLast, estimates, costBased, false, false);
        uint32_t handle = NextHandle++;
        Filters[handle] = f;
        out.push_back(Int32Param(static_cast<int32_t>(handle)));
        out.push_back(ByteParam(f->OptimizeLevel));
    });
    for (uint16_t code : {REQUEST_DROPFILTER, REQUEST_ACTIVATEFILTER, REQUEST_DEACTIVATEFILTER}) {
        on(code, [this, code](TArgs& a, std::vector<std::string>& out) {
            TDataCursor& c = Head(a);
            uint32_t handle = static_cast<uint32_t>(a.Number());
            TFilter* f = handle != 0 ? Filters.at(handle) : nullptr;
            if (code == REQUEST_DROPFILTER) {
                c.DropFilter(f);
                Filters.erase(handle);
            } else if (code == REQUEST_ACTIVATEFILTER) {
                c.ActivateFilter(f);
            } else {
                c.DeactivateFilter(f);
            }
            Position(c, out);
        });
    }
    on(REQUEST_OPENBLOB, [this, cursorOf](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = cursorOf(a);
        uint16_t fieldNo = static_cast<uint16_t>(a.Number());
        std::vector<uint8_t> record = a.Data();
        record.resize(c.GetRecordSize());
        uint8_t mode = static_cast<uint8_t>(a.Number());
        bool byTableDesc = a.Bool();
        bool recordBound = a.Bool();
        int32_t size = 0;
        TEngineErrorCode code = c.OpenBlob(fieldNo, record.data(), mode, byTableDesc, recordBound, size);
        out.push_back(WordParam(code));
        out.push_back(Bytes(record.data(), record.size()));
        if (code == 0 && Version >= RemoteVersionLocalBlobs) {
            std::vector<uint8_t> bytes(static_cast<size_t>(size));
            int32_t read = 0;
            c.GetBlob(fieldNo, record.data(), 0, bytes.data(), size, read, byTableDesc);
            out.push_back(Int32Param(size));
            out.push_back(Bytes(bytes.data(), bytes.size()));
        }
    });
    on(REQUEST_FREEBLOB, [cursorOf](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = cursorOf(a);
        uint16_t fieldNo = static_cast<uint16_t>(a.Number());
        std::vector<uint8_t> record = a.Data();
        record.resize(c.GetRecordSize());
        bool byTableDesc = a.Bool();
        TEngineErrorCode code = c.FreeBlob(fieldNo, record.data(), byTableDesc, a.Bool());
        out.push_back(WordParam(code));
        out.push_back(Bytes(record.data(), record.size()));
    });
    on(REQUEST_GETBLOB, [cursorOf](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = cursorOf(a);
        uint16_t fieldNo = static_cast<uint16_t>(a.Number());
        std::vector<uint8_t> record = a.Data();
        int32_t offset = a.Int();
        int32_t count = a.Int();
        std::vector<uint8_t> bytes(static_cast<size_t>(std::max(count, 0)));
        int32_t read = 0;
        TEngineErrorCode code =
            c.GetBlob(fieldNo, record.data(), offset, bytes.data(), count, read, a.Bool());
        out.push_back(WordParam(code));
        out.push_back(Int32Param(read));
        out.push_back(Bytes(bytes.data(), static_cast<size_t>(read)));
    });
    on(REQUEST_PUTBLOB, [cursorOf](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = cursorOf(a);
        uint16_t fieldNo = static_cast<uint16_t>(a.Number());
        std::vector<uint8_t> record = a.Data();
        int32_t offset = a.Int();
        int32_t count = a.Int();
        std::vector<uint8_t> bytes = a.Data();
        TEngineErrorCode code = c.PutBlob(fieldNo, record.data(), offset, bytes.data(), count, a.Bool());
        out.push_back(WordParam(code));
        out.push_back(Bytes(record.data(), record.size()));
    });
    on(REQUEST_TRUNCATEBLOB, [cursorOf](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = cursorOf(a);
        uint16_t fieldNo = static_cast<uint16_t>(a.Number());
        std::vector<uint8_t> record = a.Data();
        int32_t length = a.Int();
        TEngineErrorCode code = c.TruncateBlob(fieldNo, record.data(), length, a.Bool());
        out.push_back(WordParam(code));
        out.push_back(Bytes(record.data(), record.size()));
    });
    on(REQUEST_GETBLOBSIZE, [cursorOf](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = cursorOf(a);
        uint16_t fieldNo = static_cast<uint16_t>(a.Number());
        std::vector<uint8_t> record = a.Data();
        int32_t size = 0;
        TEngineErrorCode code = c.GetBlobSize(fieldNo, record.data(), size, a.Bool());
        out.push_back(WordParam(code));
        out.push_back(Int32Param(size));
    });
    on(REQUEST_FREEALLBLOBS, [cursorOf](TArgs& a, std::vector<std::string>&) {
        TDataCursor& c = cursorOf(a);
        c.FreeAllBlobs(a.Bool(), false);
    });
    on(REQUEST_ADDSECONDARYINDEX, [this](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = Head(a);
        TIndexDescriptor desc = DecodeIndexDescriptor(a.Data().data());
        c.AddIndex(desc, a.Bool());
        Position(c, out);
    });
    on(REQUEST_DELETEINDEX, [this](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = Head(a);
        std::string name = a.Item();
        c.DeleteIndex(name, a.Bool());
        out.push_back(ByteParam(c.CurrentIndex));
        Position(c, out);
    });
    on(REQUEST_WRITEUNLOCKRECORD, [this](TArgs& a, std::vector<std::string>&) {
        TDataCursor& c = Head(a);
        c.UnlockRecord(a.Int(), false);
    });
    on(REQUEST_CANCELRECORD, [cursorOf](TArgs& a, std::vector<std::string>&) { cursorOf(a).CancelRecord(); });
    on(REQUEST_FLUSHBUFFERS, [cursorOf](TArgs& a, std::vector<std::string>&) {
        TDataCursor& c = cursorOf(a);
        bool force = a.Bool(), drop = a.Bool(), data = a.Bool(), index = a.Bool(), blob = a.Bool();
        c.FlushBuffers(force, drop, data, index, blob);
    });
    on(REQUEST_FLUSHOSBUFFERS,
       [cursorOf](TArgs& a, std::vector<std::string>&) { cursorOf(a).FlushOSBuffers(); });
    on(REQUEST_REPAIRTABLE, [cursorOf](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = cursorOf(a);
        c.SetTableName(a.Item());
        c.SetInMemory(a.Bool());
        bool verifyOnly = a.Bool(), tolerant = a.Bool(), progress = a.Bool(), log = a.Bool();
        bool force = a.More() && a.Bool();
        c.SetExclusive(true);
        bool valid = false;
        try {
            valid = c.VerifyRepairTable(verifyOnly, tolerant, progress, log, force);
        } catch (...) {
            c.SetExclusive(false);
            throw;
        }
        c.SetExclusive(false);
        out.push_back(ByteParam(valid ? 1 : 0));
    });
    on(REQUEST_EMPTYTABLE, [this, cursorOf](TArgs& a, std::vector<std::string>& out) {
        TDataCursor& c = cursorOf(a);
        c.EmptyTable();
        Position(c, out);
    });
}

}  // namespace dbengine::testing
