#include "dbengine/remote/RemoteMessage.h"

#include <cstring>
#include <vector>

#include "dbengine/os/OSLayer.h"
#include "dbengine/util/Coding.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/EngineUtils.h"

namespace dbengine {

namespace {

// clang-format off
const char* const RequestNames[] = {
    "REQUEST_RECONNECT", "REQUEST_LOGIN", "REQUEST_LOGOUT", "REQUEST_SESSIONPARAMS",
    "REQUEST_GETTABLENAMES", "REQUEST_OPENDATADIR", "REQUEST_CLOSEDATADIR", "REQUEST_ADDPASSWORD",
    "REQUEST_DELPASSWORD", "REQUEST_DELALLPASSWORDS", "REQUEST_GETDBNAMES", "REQUEST_STARTTXN",
    "REQUEST_COMMITTXN", "REQUEST_ROLLBACKTXN", "REQUEST_CREATECURSOR", "REQUEST_OPENCURSOR",
    "REQUEST_CLOSECURSOR", "REQUEST_CLONECURSOR", "REQUEST_FREECURSOR", "REQUEST_SETINDEXNAME",
    "REQUEST_SETTOBEGIN", "REQUEST_SETTOEND", "REQUEST_SETTORECNO", "REQUEST_SETTOCURSOR",
    "REQUEST_GETCURRECORD", "REQUEST_CLONECURRECORD", "REQUEST_GETNEXTRECORD", "REQUEST_GETPRIORRECORD",
    "REQUEST_APPENDRECORD", "REQUEST_MODIFYRECORD", "REQUEST_DELETERECORD", "REQUEST_FLUSHBUFFERS",
    "REQUEST_FLUSHOSBUFFERS", "REQUEST_REFRESH", "REQUEST_SETTOBOOKMARK", "REQUEST_FIND",
    "REQUEST_SETRANGE", "REQUEST_RESETRANGE", "REQUEST_TABLEISLOCKED", "REQUEST_RECORDISLOCKED",
    "REQUEST_WRITELOCKTABLE", "REQUEST_WRITEUNLOCKTABLE", "REQUEST_WRITEUNLOCKRECORD",
    "REQUEST_LOCKSEMAPHORE", "REQUEST_UNLOCKSEMAPHORE", "REQUEST_GETDATAHEADER", "REQUEST_TABLEEXISTS",
    "REQUEST_PROGRESSCALLBACK", "REQUEST_CREATETABLE", "REQUEST_RESTRUCTURETABLE", "REQUEST_REPAIRTABLE",
    "REQUEST_UPGRADETABLE", "REQUEST_EMPTYTABLE", "REQUEST_DELETETABLE", "REQUEST_RENAMETABLE",
    "REQUEST_OPTIMIZETABLE", "REQUEST_COPYTABLE", "REQUEST_ADDPRIMARYINDEX", "REQUEST_ADDSECONDARYINDEX",
    "REQUEST_DELETEINDEX", "REQUEST_DELETEALLINDEXES", "REQUEST_SUPPRESSAUTOINC", "REQUEST_OPENBLOB",
    "REQUEST_FREEBLOB", "REQUEST_FREEALLBLOBS", "REQUEST_GETBLOB", "REQUEST_PUTBLOB",
    "REQUEST_TRUNCATEBLOB", "REQUEST_GETBLOBSIZE", "REQUEST_ADDEXPRFILTER", "REQUEST_ADDCALLBACKFILTER",
    "REQUEST_DROPFILTER", "REQUEST_ACTIVATEFILTER", "REQUEST_DEACTIVATEFILTER",
    "REQUEST_GETFILTEROPTIMIZELEVEL", "REQUEST_CALLBACKRESPONSE", "REQUEST_CREATESTMT",
    "REQUEST_PREPARESTMT", "REQUEST_SETSTMTPARAMS", "REQUEST_EXECUTESTMT", "REQUEST_FREESTMT",
    "REQUEST_SAVERESULT", "REQUEST_CONNECTPARAMS", "REQUEST_BEGINBUFFERLOAD", "REQUEST_ENDBUFFERLOAD",
    "REQUEST_BEGINBUFFERSAVE", "REQUEST_ENDBUFFERSAVE", "REQUEST_GETUSERNAMES", "REQUEST_ADDUSER",
    "REQUEST_MODIFYUSER", "REQUEST_DELETEUSER", "REQUEST_GETUSER", "REQUEST_ADDDB", "REQUEST_MODIFYDB",
    "REQUEST_DELETEDB", "REQUEST_GETDB", "REQUEST_GETDBUSERNAMES", "REQUEST_ADDDBUSER",
    "REQUEST_MODIFYDBUSER", "REQUEST_DELETEDBUSER", "REQUEST_GETDBUSER", "REQUEST_MODIFYCONFIG",
    "REQUEST_GETCONFIG", "REQUEST_GETLOG", "REQUEST_STARTSERVER", "REQUEST_STOPSERVER",
    "REQUEST_GETUPTIME", "REQUEST_GETMEMORYUSAGE", "REQUEST_GETMAINPORT", "REQUEST_GETADMINPORT",
    "REQUEST_GETSESSIONS", "REQUEST_GETCONNECTEDSESSIONS", "REQUEST_GETSESSIONINFO",
    "REQUEST_DISCONNECTSESSION", "REQUEST_REMOVESESSION", "REQUEST_IMPORTTABLE", "REQUEST_EXPORTTABLE",
    "", "", "",
    "REQUEST_TEXTINDEXPARAMS", "REQUEST_BACKUPTABLE", "REQUEST_RESTORETABLE", "REQUEST_READRECORDBLOCK",
    "REQUEST_CANCELRECORD", "REQUEST_GETMAINADDRESS", "REQUEST_GETADMINADDRESS", "REQUEST_GETSERVERNAME",
    "REQUEST_SETTORECBUF", "REQUEST_READNEXTRECORDBLOCK", "REQUEST_READPRIORRECORDBLOCK",
    "REQUEST_READFIRSTRECORDBLOCK", "REQUEST_READLASTRECORDBLOCK", "REQUEST_READABSOLUTERECORDBLOCK",
    "REQUEST_READBOOKMARKRECORDBLOCK", "REQUEST_REFRESHRECORDBLOCK", "REQUEST_ADDRECORDBLOCK",
    "REQUEST_UPDATERECORDBLOCK", "REQUEST_DELETERECORDBLOCK",
};
// clang-format on
static_assert(sizeof RequestNames / sizeof RequestNames[0] == REQUEST_DELETERECORDBLOCK + 1);

[[noreturn]] void RaiseMalformed() {
    RaiseEngineError(DBE_UNCOMPRESS, {}, {}, {}, {});
}

}  // namespace

std::string GetRemoteRequestName(uint16_t code) {
    return code <= REQUEST_DELETERECORDBLOCK ? RequestNames[code] : "";
}

// ---- TRemoteRequest ---------------------------------------------------------------------------

void TRemoteRequest::Reserve(uint64_t size) {
    // Beyond this a request's total length no longer fits its 32-bit header field.
    if (size > UINT32_MAX) RaiseEngineError(DBE_COMPRESS, {}, {}, {}, {});
    EnsureBufferSize(static_cast<int64_t>(size), RemoteBufferGranularity, Buffer, Capacity);
}

void TRemoteRequest::BeginRequest() {
    Reserve(RemoteHeaderSize);
    WritePosition = RemoteHeaderSize;
    Total = RemoteHeaderSize;
    Body = 0;
}

void TRemoteRequest::AddRequestParam(const void* data, uint32_t length) {
    Reserve(uint64_t(WritePosition) + 4 + length);
    PutUInt32(Buffer.get() + WritePosition, length);
    if (length > 0) std::memcpy(Buffer.get() + WritePosition + 4, data, length);
    WritePosition += 4 + length;
}

void TRemoteRequest::AddRequestParam(const std::string& text) {
    AddRequestParam(text.data(), static_cast<uint32_t>(text.size()));
}

void TRemoteRequest::AddRequestByte(uint8_t value) {
    AddRequestParam(&value, 1);
}

void TRemoteRequest::AddRequestBoolean(bool value) {
    AddRequestByte(value ? 1 : 0);
}

void TRemoteRequest::AddRequestWord(uint16_t value) {
    uint8_t bytes[2];
    PutUInt16(bytes, value);
    AddRequestParam(bytes, 2);
}

void TRemoteRequest::AddRequestInt32(int32_t value) {
    AddRequestUInt32(static_cast<uint32_t>(value));
}

void TRemoteRequest::AddRequestUInt32(uint32_t value) {
    uint8_t bytes[4];
    PutUInt32(bytes, value);
    AddRequestParam(bytes, 4);
}

void TRemoteRequest::AddRequestInt64(int64_t value) {
    uint8_t bytes[8];
    PutUInt64(bytes, static_cast<uint64_t>(value));
    AddRequestParam(bytes, 8);
}

void TRemoteRequest::FinishRequest(bool compress) {
    Reserve(RemoteHeaderSize);
    uint32_t body = WritePosition - RemoteHeaderSize;
    if (compress && body > 0) {
        std::vector<uint8_t> packed = CompressBuffer(Buffer.get() + RemoteHeaderSize, body);
        Reserve(uint64_t(RemoteHeaderSize) + packed.size());
        std::memcpy(Buffer.get() + RemoteHeaderSize, packed.data(), packed.size());
        body = static_cast<uint32_t>(packed.size());
        WritePosition = RemoteHeaderSize + body;
    }
    Body = body;
    Total = RemoteHeaderSize + body;
    PutUInt32(Buffer.get(), Total);
    PutUInt16(Buffer.get() + 4, RequestCode);
    PutUInt32(Buffer.get() + 6, Body);
}

// ---- TRemoteReply -----------------------------------------------------------------------------

uint8_t* TRemoteReply::Reserve(uint32_t size) {
    EnsureBufferSize(size, RemoteBufferGranularity, Buffer, Capacity);
    return Buffer.get();
}

void TRemoteReply::SetMessage(const uint8_t* data, uint32_t size) {
    uint8_t* p = Reserve(size);
    if (size > 0) std::memcpy(p, data, size);
}

void TRemoteReply::DecodeReply(uint32_t size, bool compressed) {
    // Whatever happens below, nothing of a previous reply stays readable.
    ReadPosition = Total = Body = 0;
    ReplyCode = 0;
    if (size < RemoteHeaderSize || Capacity < size) RaiseMalformed();
    uint32_t total = GetUInt32(Buffer.get());
    uint16_t code = GetUInt16(Buffer.get() + 4);
    uint32_t body = GetUInt32(Buffer.get() + 6);
    if (total != size || body != total - RemoteHeaderSize) RaiseMalformed();
    if (compressed && body > 0) {
        std::vector<uint8_t> plain = UncompressBuffer(Buffer.get() + RemoteHeaderSize, body);
        if (plain.size() > RemoteMessageLimit - RemoteHeaderSize) RaiseMalformed();
        body = static_cast<uint32_t>(plain.size());
        total = RemoteHeaderSize + body;
        Reserve(total);
        if (body > 0) std::memcpy(Buffer.get() + RemoteHeaderSize, plain.data(), body);
        PutUInt32(Buffer.get(), total);
        PutUInt32(Buffer.get() + 6, body);
    }
    ReplyCode = code;
    Total = total;
    Body = body;
    ReadPosition = RemoteHeaderSize;
}

uint32_t TRemoteReply::NextParam(uint32_t& offset) {
    // Total never exceeds the bytes held, so every check below stays inside the buffer.
    if (ReadPosition < RemoteHeaderSize || ReadPosition > Total || Total - ReadPosition < 4) RaiseMalformed();
    uint32_t length = GetUInt32(Buffer.get() + ReadPosition);
    if (length > Total - ReadPosition - 4) RaiseMalformed();
    offset = ReadPosition + 4;
    ReadPosition = offset + length;
    return length;
}

uint32_t TRemoteReply::ReadReplyParam(void* destination, uint32_t capacity) {
    uint32_t saved = ReadPosition;
    uint32_t offset = 0;
    uint32_t length = NextParam(offset);
    if (length > capacity) {
        ReadPosition = saved;
        RaiseMalformed();
    }
    if (length > 0) std::memcpy(destination, Buffer.get() + offset, length);
    return length;
}

std::string TRemoteReply::ReadReplyString(size_t maxLength) {
    uint32_t offset = 0;
    uint32_t length = NextParam(offset);
    size_t kept = length < maxLength ? length : maxLength;
    return std::string(reinterpret_cast<const char*>(Buffer.get() + offset), kept);
}

void TRemoteReply::ReadExact(void* destination, uint32_t width) {
    uint32_t saved = ReadPosition;
    uint32_t offset = 0;
    if (NextParam(offset) != width) {
        ReadPosition = saved;
        RaiseMalformed();
    }
    std::memcpy(destination, Buffer.get() + offset, width);
}

uint8_t TRemoteReply::ReadReplyByte() {
    uint8_t value = 0;
    ReadExact(&value, 1);
    return value;
}

bool TRemoteReply::ReadReplyBoolean() {
    return ReadReplyByte() != 0;
}

uint16_t TRemoteReply::ReadReplyWord() {
    uint8_t bytes[2];
    ReadExact(bytes, 2);
    return GetUInt16(bytes);
}

int32_t TRemoteReply::ReadReplyInt32() {
    return static_cast<int32_t>(ReadReplyUInt32());
}

uint32_t TRemoteReply::ReadReplyUInt32() {
    uint8_t bytes[4];
    ReadExact(bytes, 4);
    return GetUInt32(bytes);
}

int64_t TRemoteReply::ReadReplyInt64() {
    uint8_t bytes[8];
    ReadExact(bytes, 8);
    return static_cast<int64_t>(GetUInt64(bytes));
}

}  // namespace dbengine
