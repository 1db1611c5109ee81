#pragma once
// Messages between the engine's remote client and a database server.
//
// Layout of a request and of a reply (little-endian):
//   0  4  total length in bytes, these 10 header bytes included
//   4  2  request code, or reply code (0 success, else an engine error code)
//   6  4  body length in bytes
//   10 ..  body: parameters, each a 4-byte length and that many bytes
// A compressed body is one zlib stream of the parameters; the header's lengths are then those of
// the compressed form. An empty body is never compressed.

#include <cstdint>
#include <memory>
#include <string>

namespace dbengine {

constexpr uint32_t RemoteHeaderSize = 10;
// Messages travel in pieces of at most this many bytes.
constexpr uint32_t RemotePieceSize = 65536;
// Request and reply buffers grow in steps of this many bytes.
constexpr int64_t RemoteBufferGranularity = 32768;
// The largest message the client accepts: a reply announcing more is damaged, not merely large.
constexpr uint32_t RemoteMessageLimit = (uint32_t(256) << 20) + RemoteHeaderSize;

// Engine versions times 10000.
constexpr int64_t RemoteClientVersion = 32400;
constexpr int64_t RemoteDefaultServerVersion = 30300;

constexpr uint16_t REQUEST_RECONNECT = 0;
constexpr uint16_t REQUEST_LOGIN = 1;
constexpr uint16_t REQUEST_LOGOUT = 2;
constexpr uint16_t REQUEST_SESSIONPARAMS = 3;
constexpr uint16_t REQUEST_GETTABLENAMES = 4;
constexpr uint16_t REQUEST_OPENDATADIR = 5;
constexpr uint16_t REQUEST_CLOSEDATADIR = 6;
constexpr uint16_t REQUEST_ADDPASSWORD = 7;
constexpr uint16_t REQUEST_DELPASSWORD = 8;
constexpr uint16_t REQUEST_DELALLPASSWORDS = 9;
constexpr uint16_t REQUEST_GETDBNAMES = 10;
constexpr uint16_t REQUEST_STARTTXN = 11;
constexpr uint16_t REQUEST_COMMITTXN = 12;
constexpr uint16_t REQUEST_ROLLBACKTXN = 13;
constexpr uint16_t REQUEST_CREATECURSOR = 14;
constexpr uint16_t REQUEST_OPENCURSOR = 15;
constexpr uint16_t REQUEST_CLOSECURSOR = 16;
constexpr uint16_t REQUEST_CLONECURSOR = 17;
constexpr uint16_t REQUEST_FREECURSOR = 18;
constexpr uint16_t REQUEST_SETINDEXNAME = 19;
constexpr uint16_t REQUEST_SETTOBEGIN = 20;
constexpr uint16_t REQUEST_SETTOEND = 21;
constexpr uint16_t REQUEST_SETTORECNO = 22;
constexpr uint16_t REQUEST_SETTOCURSOR = 23;
constexpr uint16_t REQUEST_GETCURRECORD = 24;
constexpr uint16_t REQUEST_CLONECURRECORD = 25;
constexpr uint16_t REQUEST_GETNEXTRECORD = 26;
constexpr uint16_t REQUEST_GETPRIORRECORD = 27;
constexpr uint16_t REQUEST_APPENDRECORD = 28;
constexpr uint16_t REQUEST_MODIFYRECORD = 29;
constexpr uint16_t REQUEST_DELETERECORD = 30;
constexpr uint16_t REQUEST_FLUSHBUFFERS = 31;
constexpr uint16_t REQUEST_FLUSHOSBUFFERS = 32;
constexpr uint16_t REQUEST_REFRESH = 33;
constexpr uint16_t REQUEST_SETTOBOOKMARK = 34;
constexpr uint16_t REQUEST_FIND = 35;
constexpr uint16_t REQUEST_SETRANGE = 36;
constexpr uint16_t REQUEST_RESETRANGE = 37;
constexpr uint16_t REQUEST_TABLEISLOCKED = 38;
constexpr uint16_t REQUEST_RECORDISLOCKED = 39;
constexpr uint16_t REQUEST_WRITELOCKTABLE = 40;
constexpr uint16_t REQUEST_WRITEUNLOCKTABLE = 41;
constexpr uint16_t REQUEST_WRITEUNLOCKRECORD = 42;
constexpr uint16_t REQUEST_LOCKSEMAPHORE = 43;
constexpr uint16_t REQUEST_UNLOCKSEMAPHORE = 44;
constexpr uint16_t REQUEST_GETDATAHEADER = 45;
constexpr uint16_t REQUEST_TABLEEXISTS = 46;
constexpr uint16_t REQUEST_PROGRESSCALLBACK = 47;
constexpr uint16_t REQUEST_CREATETABLE = 48;
constexpr uint16_t REQUEST_RESTRUCTURETABLE = 49;
constexpr uint16_t REQUEST_REPAIRTABLE = 50;
constexpr uint16_t REQUEST_UPGRADETABLE = 51;
constexpr uint16_t REQUEST_EMPTYTABLE = 52;
constexpr uint16_t REQUEST_DELETETABLE = 53;
constexpr uint16_t REQUEST_RENAMETABLE = 54;
constexpr uint16_t REQUEST_OPTIMIZETABLE = 55;
constexpr uint16_t REQUEST_COPYTABLE = 56;
constexpr uint16_t REQUEST_ADDPRIMARYINDEX = 57;
constexpr uint16_t REQUEST_ADDSECONDARYINDEX = 58;
constexpr uint16_t REQUEST_DELETEINDEX = 59;
constexpr uint16_t REQUEST_DELETEALLINDEXES = 60;
constexpr uint16_t REQUEST_SUPPRESSAUTOINC = 61;
constexpr uint16_t REQUEST_OPENBLOB = 62;
constexpr uint16_t REQUEST_FREEBLOB = 63;
constexpr uint16_t REQUEST_FREEALLBLOBS = 64;
constexpr uint16_t REQUEST_GETBLOB = 65;
constexpr uint16_t REQUEST_PUTBLOB = 66;
constexpr uint16_t REQUEST_TRUNCATEBLOB = 67;
constexpr uint16_t REQUEST_GETBLOBSIZE = 68;
constexpr uint16_t REQUEST_ADDEXPRFILTER = 69;
constexpr uint16_t REQUEST_ADDCALLBACKFILTER = 70;
constexpr uint16_t REQUEST_DROPFILTER = 71;
constexpr uint16_t REQUEST_ACTIVATEFILTER = 72;
constexpr uint16_t REQUEST_DEACTIVATEFILTER = 73;
constexpr uint16_t REQUEST_GETFILTEROPTIMIZELEVEL = 74;
constexpr uint16_t REQUEST_CALLBACKRESPONSE = 75;
constexpr uint16_t REQUEST_CREATESTMT = 76;
constexpr uint16_t REQUEST_PREPARESTMT = 77;
constexpr uint16_t REQUEST_SETSTMTPARAMS = 78;
constexpr uint16_t REQUEST_EXECUTESTMT = 79;
constexpr uint16_t REQUEST_FREESTMT = 80;
constexpr uint16_t REQUEST_SAVERESULT = 81;
constexpr uint16_t REQUEST_CONNECTPARAMS = 82;
constexpr uint16_t REQUEST_BEGINBUFFERLOAD = 83;
constexpr uint16_t REQUEST_ENDBUFFERLOAD = 84;
constexpr uint16_t REQUEST_BEGINBUFFERSAVE = 85;
constexpr uint16_t REQUEST_ENDBUFFERSAVE = 86;
constexpr uint16_t REQUEST_GETUSERNAMES = 87;
constexpr uint16_t REQUEST_ADDUSER = 88;
constexpr uint16_t REQUEST_MODIFYUSER = 89;
constexpr uint16_t REQUEST_DELETEUSER = 90;
constexpr uint16_t REQUEST_GETUSER = 91;
constexpr uint16_t REQUEST_ADDDB = 92;
constexpr uint16_t REQUEST_MODIFYDB = 93;
constexpr uint16_t REQUEST_DELETEDB = 94;
constexpr uint16_t REQUEST_GETDB = 95;
constexpr uint16_t REQUEST_GETDBUSERNAMES = 96;
constexpr uint16_t REQUEST_ADDDBUSER = 97;
constexpr uint16_t REQUEST_MODIFYDBUSER = 98;
constexpr uint16_t REQUEST_DELETEDBUSER = 99;
constexpr uint16_t REQUEST_GETDBUSER = 100;
constexpr uint16_t REQUEST_MODIFYCONFIG = 101;
constexpr uint16_t REQUEST_GETCONFIG = 102;
constexpr uint16_t REQUEST_GETLOG = 103;
constexpr uint16_t REQUEST_STARTSERVER = 104;
constexpr uint16_t REQUEST_STOPSERVER = 105;
constexpr uint16_t REQUEST_GETUPTIME = 106;
constexpr uint16_t REQUEST_GETMEMORYUSAGE = 107;
constexpr uint16_t REQUEST_GETMAINPORT = 108;
constexpr uint16_t REQUEST_GETADMINPORT = 109;
constexpr uint16_t REQUEST_GETSESSIONS = 110;
constexpr uint16_t REQUEST_GETCONNECTEDSESSIONS = 111;
constexpr uint16_t REQUEST_GETSESSIONINFO = 112;
constexpr uint16_t REQUEST_DISCONNECTSESSION = 113;
constexpr uint16_t REQUEST_REMOVESESSION = 114;
constexpr uint16_t REQUEST_IMPORTTABLE = 115;
constexpr uint16_t REQUEST_EXPORTTABLE = 116;
// 117 to 119 are unused.
constexpr uint16_t REQUEST_TEXTINDEXPARAMS = 120;
constexpr uint16_t REQUEST_BACKUPTABLE = 121;
constexpr uint16_t REQUEST_RESTORETABLE = 122;
constexpr uint16_t REQUEST_READRECORDBLOCK = 123;
constexpr uint16_t REQUEST_CANCELRECORD = 124;
constexpr uint16_t REQUEST_GETMAINADDRESS = 125;
constexpr uint16_t REQUEST_GETADMINADDRESS = 126;
constexpr uint16_t REQUEST_GETSERVERNAME = 127;
constexpr uint16_t REQUEST_SETTORECBUF = 128;
constexpr uint16_t REQUEST_READNEXTRECORDBLOCK = 129;
constexpr uint16_t REQUEST_READPRIORRECORDBLOCK = 130;
constexpr uint16_t REQUEST_READFIRSTRECORDBLOCK = 131;
constexpr uint16_t REQUEST_READLASTRECORDBLOCK = 132;
constexpr uint16_t REQUEST_READABSOLUTERECORDBLOCK = 133;
constexpr uint16_t REQUEST_READBOOKMARKRECORDBLOCK = 134;
constexpr uint16_t REQUEST_REFRESHRECORDBLOCK = 135;
constexpr uint16_t REQUEST_ADDRECORDBLOCK = 136;
constexpr uint16_t REQUEST_UPDATERECORDBLOCK = 137;
constexpr uint16_t REQUEST_DELETERECORDBLOCK = 138;

// The constant name of a request code ("REQUEST_LOGIN"); empty for a code without a request.
std::string GetRemoteRequestName(uint16_t code);

// A request being built: header and body in one buffer that serves the next request again.
class TRemoteRequest {
public:
    void SetRequestCode(uint16_t code) { RequestCode = code; }
    uint16_t GetRequestCode() const { return RequestCode; }

    // Starts an empty body (write position 10).
    void BeginRequest();
    // Appends one parameter: its 4-byte length, then its bytes.
    void AddRequestParam(const void* data, uint32_t length);
    void AddRequestParam(const std::string& text);
    void AddRequestByte(uint8_t value);
    void AddRequestBoolean(bool value);
    void AddRequestWord(uint16_t value);
    void AddRequestInt32(int32_t value);
    void AddRequestUInt32(uint32_t value);
    void AddRequestInt64(int64_t value);
    // Fills the header; with compress set, a non-empty body is replaced by its zlib stream first.
    void FinishRequest(bool compress);

    const uint8_t* Data() const { return Buffer.get(); }
    uint32_t TotalLength() const { return Total; }
    uint32_t BodyLength() const { return Body; }

private:
    void Reserve(uint64_t size);

    std::unique_ptr<uint8_t[]> Buffer;
    int64_t Capacity = 0;
    uint32_t WritePosition = RemoteHeaderSize;
    uint16_t RequestCode = 0;
    uint32_t Total = 0;
    uint32_t Body = 0;
};

// The last reply: received into the buffer, decoded, then read parameter by parameter. Every
// length is checked against the bytes the reply holds and the destination's capacity; a reply
// that does not hold what it announces raises 15002 and nothing is read past its end.
class TRemoteReply {
public:
    // Makes room for a message of the given size; the bytes already held stay.
    uint8_t* Reserve(uint32_t size);
    // Takes a whole message as received (header included), for decoding.
    void SetMessage(const uint8_t* data, uint32_t size);

    // Checks the header against the bytes held (size) and, when compressed, inflates a non-empty
    // body and rewrites the header to the inflated sizes; the read position goes to the first
    // parameter. A damaged header or body raises 15002.
    void DecodeReply(uint32_t size, bool compressed);

    uint16_t GetReplyCode() const { return ReplyCode; }
    // The message as decoded (header included), TotalLength bytes.
    const uint8_t* Data() const { return Buffer.get(); }
    uint32_t TotalLength() const { return Total; }
    uint32_t BodyLength() const { return Body; }
    // Whether another parameter follows.
    bool HasReplyParam() const { return ReadPosition < Total; }

    // Reads the next parameter into the destination and returns its length; raises 15002 when the
    // reply holds fewer bytes than announced or the parameter is longer than the capacity.
    uint32_t ReadReplyParam(void* destination, uint32_t capacity);
    // A string parameter, cut to maxLength characters.
    std::string ReadReplyString(size_t maxLength);
    // Numbers travel in their own width; a parameter of another length raises 15002.
    uint8_t ReadReplyByte();
    bool ReadReplyBoolean();
    uint16_t ReadReplyWord();
    int32_t ReadReplyInt32();
    uint32_t ReadReplyUInt32();
    int64_t ReadReplyInt64();

private:
    // Position and length of the next parameter, checked; moves the read position past it.
    uint32_t NextParam(uint32_t& offset);
    void ReadExact(void* destination, uint32_t width);

    std::unique_ptr<uint8_t[]> Buffer;
    int64_t Capacity = 0;
    uint32_t ReadPosition = RemoteHeaderSize;
    uint16_t ReplyCode = 0;
    uint32_t Total = 0;
    uint32_t Body = 0;
};

}  // namespace dbengine
