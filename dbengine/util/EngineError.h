#pragma once
// Engine error codes, the process-wide error context and the engine's exception.
//
// The engine never returns text for a failure: it stores a 16-bit code and up to seven context
// strings in one process-wide error context and raises EDbEngineError, whose message is built
// from the code's format and that context.

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

#include "framework/core/Exception.h"

namespace dbengine {

using TEngineErrorCode = uint16_t;

// Codes are grouped by their high byte: 0x22 positioning, 0x23 corruption, 0x24 input/output,
// 0x25 limits, 0x26 integrity, 0x27 invalid definitions, 0x28 locks, 0x29 rights, 0x2A BLOB and
// engine state, 0x2B operating system, 0x2C database server, 0x2E SQL, 0x2F version.
constexpr TEngineErrorCode DBE_NONE = 0;
constexpr TEngineErrorCode DBE_BOF = 8705;
constexpr TEngineErrorCode DBE_EOF = 8706;
constexpr TEngineErrorCode DBE_KEYORRECDELETED = 8708;
constexpr TEngineErrorCode DBE_NOCURRREC = 8709;
constexpr TEngineErrorCode DBE_RECNOTFOUND = 8710;
constexpr TEngineErrorCode DBE_ENDOFBLOB = 8711;
constexpr TEngineErrorCode DBE_HEADERCORRUPT = 8961;
constexpr TEngineErrorCode DBE_FILECORRUPT = 8962;
constexpr TEngineErrorCode DBE_MEMOCORRUPT = 8963;
constexpr TEngineErrorCode DBE_INDEXCORRUPT = 8965;
constexpr TEngineErrorCode DBE_READERR = 9217;
constexpr TEngineErrorCode DBE_WRITEERR = 9218;
constexpr TEngineErrorCode DBE_FILEDELETEFAIL = 9220;
constexpr TEngineErrorCode DBE_FILENOACCESS = 9221;
constexpr TEngineErrorCode DBE_RECTOOBIG = 9477;
constexpr TEngineErrorCode DBE_TABLEFULL = 9479;
constexpr TEngineErrorCode DBE_INTERNALLIMIT = 9482;
constexpr TEngineErrorCode DBE_INDEXLIMIT = 9487;
constexpr TEngineErrorCode DBE_FLDLIMIT = 9492;
constexpr TEngineErrorCode DBE_OPENBLOBLIMIT = 9494;
constexpr TEngineErrorCode DBE_BLOBLIMIT = 9498;
constexpr TEngineErrorCode DBE_KEYVIOL = 9729;
constexpr TEngineErrorCode DBE_MINVALERR = 9730;
constexpr TEngineErrorCode DBE_MAXVALERR = 9731;
constexpr TEngineErrorCode DBE_REQDERR = 9732;
constexpr TEngineErrorCode DBE_OUTOFRANGE = 9985;
constexpr TEngineErrorCode DBE_PRIMARYKEYREDEFINE = 9993;
constexpr TEngineErrorCode DBE_INVALIDBLOBOFFSET = 9998;
constexpr TEngineErrorCode DBE_INVALIDFLDTYPE = 10000;
constexpr TEngineErrorCode DBE_INVALIDVCHKSTRUCT = 10006;
constexpr TEngineErrorCode DBE_INDEXNAMEREQUIRED = 10010;
constexpr TEngineErrorCode DBE_INVALIDPASSWORD = 10015;
constexpr TEngineErrorCode DBE_INVALIDINDEXNAME = 10022;
constexpr TEngineErrorCode DBE_INVALIDIDXDESC = 10023;
constexpr TEngineErrorCode DBE_INVALIDKEY = 10026;
constexpr TEngineErrorCode DBE_INDEXEXISTS = 10027;
constexpr TEngineErrorCode DBE_INVALIDBLOBLEN = 10029;
constexpr TEngineErrorCode DBE_INVALIDBLOBHANDLE = 10030;
constexpr TEngineErrorCode DBE_TABLEOPEN = 10031;
constexpr TEngineErrorCode DBE_INVALIDFIELDNAME = 10038;
constexpr TEngineErrorCode DBE_NOSUCHFILTER = 10050;
constexpr TEngineErrorCode DBE_INVALIDFILTER = 10051;
constexpr TEngineErrorCode DBE_INVALIDINDEXDELETE = 10055;
constexpr TEngineErrorCode DBE_LOCKED = 10241;
constexpr TEngineErrorCode DBE_UNLOCKFAILED = 10242;
constexpr TEngineErrorCode DBE_LOCKTIMEOUT = 10249;
constexpr TEngineErrorCode DBE_NEEDEXCLACCESS = 10253;
constexpr TEngineErrorCode DBE_RECLOCKFAILED = 10258;
constexpr TEngineErrorCode DBE_NOTSUFFTABLERIGHTS = 10498;
constexpr TEngineErrorCode DBE_NOTABLOB = 10753;
constexpr TEngineErrorCode DBE_NOTINITIALIZED = 10758;
constexpr TEngineErrorCode DBE_OSENOENT = 11010;
constexpr TEngineErrorCode DBE_OSEMFILE = 11012;
constexpr TEngineErrorCode DBE_OSEACCES = 11013;
constexpr TEngineErrorCode DBE_OSEBADF = 11014;
constexpr TEngineErrorCode DBE_OSENOMEM = 11016;
constexpr TEngineErrorCode DBE_OSEINVMEM = 11017;
constexpr TEngineErrorCode DBE_OSENODEV = 11023;
constexpr TEngineErrorCode DBE_OSENOTSAM = 11025;
constexpr TEngineErrorCode DBE_OSUNKNOWN = 11047;
constexpr TEngineErrorCode DBE_REMOTECOMMLOST = 11276;
constexpr TEngineErrorCode DBE_REMOTEUNKNOWN = 11279;
constexpr TEngineErrorCode DBE_REMOTECONNECT = 11280;
constexpr TEngineErrorCode DBE_REMOTENOLOGIN = 11281;
constexpr TEngineErrorCode DBE_REMOTEMAXCONNECT = 11282;
constexpr TEngineErrorCode DBE_REMOTEADDRESSBLOCK = 11283;
constexpr TEngineErrorCode DBE_REMOTECALLBACK = 11284;
constexpr TEngineErrorCode DBE_REMOTECALLBACKERR = 11285;
constexpr TEngineErrorCode DBE_REMOTEVERSION = 11286;
constexpr TEngineErrorCode DBE_REMOTEINVLOGIN = 11287;
constexpr TEngineErrorCode DBE_REMOTENOTAUTH = 11288;
constexpr TEngineErrorCode DBE_REMOTENOTADMIN = 11289;
constexpr TEngineErrorCode DBE_REMOTEINVUSER = 11290;
constexpr TEngineErrorCode DBE_REMOTENOUSER = 11291;
constexpr TEngineErrorCode DBE_REMOTEDUPUSER = 11292;
constexpr TEngineErrorCode DBE_REMOTEINVDB = 11293;
constexpr TEngineErrorCode DBE_REMOTENODB = 11294;
constexpr TEngineErrorCode DBE_REMOTEDUPDB = 11295;
constexpr TEngineErrorCode DBE_REMOTEINVDBUSER = 11296;
constexpr TEngineErrorCode DBE_REMOTENODBUSER = 11297;
constexpr TEngineErrorCode DBE_REMOTEDUPDBUSER = 11298;
constexpr TEngineErrorCode DBE_REMOTEINVREQUEST = 11299;
constexpr TEngineErrorCode DBE_IMPORTERROR = 11300;
constexpr TEngineErrorCode DBE_EXPORTERROR = 11301;
constexpr TEngineErrorCode DBE_SQLPARSE = 11949;
constexpr TEngineErrorCode DBE_OLDVERSION = 12035;
constexpr TEngineErrorCode DBE_SEARCHCOLREQD = 12292;
constexpr TEngineErrorCode DBE_TABLEEXISTS = 13060;
constexpr TEngineErrorCode DBE_COMPRESS = 15001;
constexpr TEngineErrorCode DBE_UNCOMPRESS = 15002;
constexpr TEngineErrorCode DBE_CANNOTLOADLDDRV = 15878;

// Context items, numbered for reading with GetEngineErrorContext.
enum TEngineErrorItem : int {
    eiServer = 0,
    eiUser = 1,
    eiDatabase = 2,
    eiTable = 3,
    eiField = 4,
    eiIndex = 5,
    eiMessage = 6,
    eiOSError = 7,
    eiSocketError = 8,
};

// The longest text a context string (a short string) holds; longer texts are cut when stored.
constexpr size_t ShortStringMax = 255;

// The exception of every engine failure. Constructed for a code, it copies the message and the
// context items from the error context as it stands at that moment.
class EDbEngineError : public framework::EDatabaseError {
public:
    explicit EDbEngineError(TEngineErrorCode code);

    TEngineErrorCode ErrorCode;
    int32_t OSErrorCode = 0;
    int32_t SocketErrorCode = 0;
    std::string ErrorServer;
    std::string ErrorUser;
    std::string ErrorDatabase;
    std::string ErrorTable;
    std::string ErrorField;
    std::string ErrorIndex;
    std::string ErrorContext;
};

// Builds EDbEngineError for the code from the current context and throws it.
[[noreturn]] void RaiseEngineErrorCode(TEngineErrorCode code);

// The one way the engine reports a failure: records the code, the thread's last OS and socket
// errors and the seven context strings, then raises. Items that do not apply stay empty. The OS
// error is read here, so a caller wanting a failed call's error in the message raises at once.
[[noreturn]] void RaiseEngineError(TEngineErrorCode code, std::string_view server, std::string_view user,
                                   std::string_view database, std::string_view table,
                                   std::string_view field = {}, std::string_view index = {},
                                   std::string_view message = {});

// Shorthands for the common cases: only the table, or the table and one more item.
[[noreturn]] void RaiseTableError(TEngineErrorCode code, std::string_view table);
[[noreturn]] void RaiseFieldError(TEngineErrorCode code, std::string_view table, std::string_view field);
[[noreturn]] void RaiseIndexError(TEngineErrorCode code, std::string_view table, std::string_view index);
[[noreturn]] void RaiseMessageError(TEngineErrorCode code, std::string_view table, std::string_view message);

// Message text of a code from its format and the current context, at most 254 characters;
// "An unknown error occurred" for 0, 11284 and every code outside the list.
std::string GetEngineErrorMessage(TEngineErrorCode code);

// Item 0..6: the stored string; 7 and 8: the OS and socket error in decimal; else empty.
std::string GetEngineErrorContext(int item);

// Code of the most recent RaiseEngineError.
TEngineErrorCode GetLastEngineErrorCode();

// ErrorCode of an EDbEngineError, 11047 for any other exception.
TEngineErrorCode GetEngineErrorCode(const std::exception& e);

// The constant name of a code ("DBE_KEYVIOL"), empty for a code outside the list.
std::string GetEngineErrorName(TEngineErrorCode code);

// Map of a Windows-numbered OS error to an engine code; the no-argument form maps the calling
// thread's last OS error.
TEngineErrorCode OSErrorToEngineError(uint32_t osError);
TEngineErrorCode OSErrorToEngineError();

// Lower-level access to the error context.
void SetEngineErrorContext(TEngineErrorCode code, int32_t osError, int32_t socketError,
                           std::string_view server, std::string_view user, std::string_view database,
                           std::string_view table, std::string_view field, std::string_view index,
                           std::string_view message);
void ClearEngineErrorContext();
void EnterErrorContextLock();
void LeaveErrorContextLock();

}  // namespace dbengine
