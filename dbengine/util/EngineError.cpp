#include "dbengine/util/EngineError.h"

#include <algorithm>
#include <mutex>

#include "dbengine/os/OSLayer.h"

namespace dbengine {

namespace {

struct CodeEntry {
    TEngineErrorCode Code;
    const char* Name;
    const char* Format;  // empty: the code has no text of its own
    // The context item of each "%s", in order: S server, U user, D database, T table, F field,
    // I index, M message, O the OS error number in decimal.
    const char* Args;
};

// clang-format off
const CodeEntry CodeTable[] = {
    {0, "DBE_NONE", "", ""},
    {8705, "DBE_BOF", "Beginning of table '%s' unexpectedly encountered", "T"},
    {8706, "DBE_EOF", "End of table '%s' unexpectedly encountered", "T"},
    {8708, "DBE_KEYORRECDELETED", "Record has been changed or deleted by another user, session, or table cursor in the table '%s'", "T"},
    {8709, "DBE_NOCURRREC", "No current record in the table '%s'", "T"},
    {8710, "DBE_RECNOTFOUND", "Record not found in the table '%s'", "T"},
    {8711, "DBE_ENDOFBLOB", "End of blob data in the table '%s' reached prematurely", "T"},
    {8961, "DBE_HEADERCORRUPT", "Header information corrupt in the table '%s'", "T"},
    {8962, "DBE_FILECORRUPT", "Data record buffers corrupt in the table '%s'", "T"},
    {8963, "DBE_MEMOCORRUPT", "BLOB block buffers corrupt in the table '%s'", "T"},
    {8965, "DBE_INDEXCORRUPT", "Index page buffers corrupt in the table '%s'", "T"},
    {9217, "DBE_READERR", "Error reading from the table '%s'", "T"},
    {9218, "DBE_WRITEERR", "Error writing to the table '%s'", "T"},
    {9220, "DBE_FILEDELETEFAIL", "Cannot delete the table '%s'", "T"},
    {9221, "DBE_FILENOACCESS", "Error accessing header information for the table '%s'", "T"},
    {9477, "DBE_RECTOOBIG", "Maximum record size exceeded in the table '%s'", "T"},
    {9479, "DBE_TABLEFULL", "The table '%s' is full and cannot contain any more data", "T"},
    {9482, "DBE_INTERNALLIMIT", "Too many filters defined for the table '%s'", "T"},
    {9487, "DBE_INDEXLIMIT", "Maximum or minimum limits on number of indexes or fields in an index exceeded in the table '%s'", "T"},
    {9492, "DBE_FLDLIMIT", "Maximum or minimum limits on number of fields, auto-increment field value, or field size exceeded in the table '%s'", "T"},
    {9494, "DBE_OPENBLOBLIMIT", "Too many blobs opened in the table '%s'", "T"},
    {9498, "DBE_BLOBLIMIT", "Too many blob fields or invalid blob block size specified for the table '%s'", "T"},
    {9729, "DBE_KEYVIOL", "Duplicate key found in the index '%s' of the table '%s'", "IT"},
    {9730, "DBE_MINVALERR", "The value for the field '%s' in the table '%s' is below the minimum allowable value", "FT"},
    {9731, "DBE_MAXVALERR", "The value for the field '%s' in the table '%s' is above the maximum allowable value", "FT"},
    {9732, "DBE_REQDERR", "A value must be provided for the field '%s' in the table '%s'", "FT"},
    {9985, "DBE_OUTOFRANGE", "Invalid field number or name '%s' specified for the table '%s'", "FT"},
    {9993, "DBE_PRIMARYKEYREDEFINE", "A primary index is already defined for the table '%s' and cannot be added again", "T"},
    {9998, "DBE_INVALIDBLOBOFFSET", "Invalid blob offset into the table '%s' specified", "T"},
    {10000, "DBE_INVALIDFLDTYPE", "Invalid field definition specified for the field '%s' in the table '%s'", "FT"},
    {10006, "DBE_INVALIDVCHKSTRUCT", "Invalid default, min or max validity check, or expression specified for the field '%s' in the table '%s'", "FT"},
    {10010, "DBE_INDEXNAMEREQUIRED", "The secondary index name is missing or not specified for the table '%s'", "T"},
    {10015, "DBE_INVALIDPASSWORD", "Password provided for the table '%s' is invalid", "T"},
    {10022, "DBE_INVALIDINDEXNAME", "Invalid secondary index name '%s' specified for the table '%s'", "IT"},
    {10023, "DBE_INVALIDIDXDESC", "Invalid field number '%s' specified in the index '%s' for the table '%s'", "FIT"},
    {10026, "DBE_INVALIDKEY", "Invalid key size specified in the index '%s' for the table '%s'", "IT"},
    {10027, "DBE_INDEXEXISTS", "The secondary index '%s' already exists for the table '%s'", "IT"},
    {10029, "DBE_INVALIDBLOBLEN", "Invalid blob length in the table '%s'", "T"},
    {10030, "DBE_INVALIDBLOBHANDLE", "Invalid blob handle for the table '%s' specified", "T"},
    {10031, "DBE_TABLEOPEN", "The table '%s' is already in use", "T"},
    {10038, "DBE_INVALIDFIELDNAME", "Invalid or duplicate field name '%s' specified for the table '%s'", "FT"},
    {10050, "DBE_NOSUCHFILTER", "Invalid filter handle specified for the table '%s'", "T"},
    {10051, "DBE_INVALIDFILTER", "Filter error for the table '%s' - %s", "TM"},
    {10055, "DBE_INVALIDINDEXDELETE", "The primary index cannot be removed from the table '%s'", "T"},
    {10241, "DBE_LOCKED", "The table '%s' is already locked by another user", "T"},
    {10242, "DBE_UNLOCKFAILED", "Cannot unlock table or record in the table '%s'", "T"},
    {10249, "DBE_LOCKTIMEOUT", "General lock failure with the table '%s'", "T"},
    {10253, "DBE_NEEDEXCLACCESS", "The table '%s' must be opened exclusively", "T"},
    {10258, "DBE_RECLOCKFAILED", "Record in the table '%s' is in use by another user", "T"},
    {10498, "DBE_NOTSUFFTABLERIGHTS", "Insufficient rights to the table '%s', a password is required", "T"},
    {10753, "DBE_NOTABLOB", "Invalid blob field '%s' specified for the table '%s'", "FT"},
    {10758, "DBE_NOTINITIALIZED", "The database engine is not initialized", ""},
    {11010, "DBE_OSENOENT", "Table '%s' does not exist", "T"},
    {11012, "DBE_OSEMFILE", "Too many operating system files open while attempting to open the table '%s'", "T"},
    {11013, "DBE_OSEACCES", "Access denied to table '%s'", "T"},
    {11014, "DBE_OSEBADF", "Invalid operating system file handle for the table '%s'", "T"},
    {11016, "DBE_OSENOMEM", "There is insufficient operating system memory available for the current operation", ""},
    {11017, "DBE_OSEINVMEM", "Invalid length for the in-memory table '%s'", "T"},
    {11023, "DBE_OSENODEV", "Access denied to logical operating system device for the table '%s'", "T"},
    {11025, "DBE_OSENOTSAM", "The table '%s' has been moved", "T"},
    {11047, "DBE_OSUNKNOWN", "An unknown operating system error %s occurred with the table '%s'", "OT"},
    {11276, "DBE_REMOTECOMMLOST", "The connection to the database server at '%s' has been lost", "S"},
    {11279, "DBE_REMOTEUNKNOWN", "An unknown error ('%s') occurred with the connection to the database server at '%s', please check the server log", "MS"},
    {11280, "DBE_REMOTECONNECT", "A connection to the database server at '%s' cannot be established", "S"},
    {11281, "DBE_REMOTENOLOGIN", "A connection to the database server at '%s' cannot be established, the server is not accepting new logins", "S"},
    {11282, "DBE_REMOTEMAXCONNECT", "A connection to the database server at '%s' cannot be established, the maximum number of connections has been reached", "S"},
    {11283, "DBE_REMOTEADDRESSBLOCK", "A connection to the database server at '%s' cannot be established, the client address is blocked", "S"},
    {11284, "DBE_REMOTECALLBACK", "", ""},
    {11285, "DBE_REMOTECALLBACKERR", "A server callback error occurred for the database server at '%s'", "S"},
    {11286, "DBE_REMOTEVERSION", "A call to the database server at '%s' failed, the client engine version does not match the server", "S"},
    {11287, "DBE_REMOTEINVLOGIN", "A connection to the database server at '%s' cannot be established, the login information provided is invalid", "S"},
    {11288, "DBE_REMOTENOTAUTH", "The user '%s' is not authorized to perform this operation with the database '%s' on the database server at '%s'", "UDS"},
    {11289, "DBE_REMOTENOTADMIN", "The user '%s' is not authorized to perform administration functions on the database server at '%s'", "US"},
    {11290, "DBE_REMOTEINVUSER", "The user name is either invalid or blank", ""},
    {11291, "DBE_REMOTENOUSER", "The user '%s' does not exist on the database server at '%s'", "US"},
    {11292, "DBE_REMOTEDUPUSER", "The user '%s' already exists on the database server at '%s'", "US"},
    {11293, "DBE_REMOTEINVDB", "The database name or directory is either invalid or blank", ""},
    {11294, "DBE_REMOTENODB", "The database '%s' does not exist on the database server at '%s'", "DS"},
    {11295, "DBE_REMOTEDUPDB", "The database '%s' already exists on the database server at '%s'", "DS"},
    {11296, "DBE_REMOTEINVDBUSER", "The database user name is either invalid or blank", ""},
    {11297, "DBE_REMOTENODBUSER", "The database user '%s' does not exist for the database '%s' on the database server at '%s'", "UDS"},
    {11298, "DBE_REMOTEDUPDBUSER", "The database user '%s' already exists for the database '%s' on the database server at '%s'", "UDS"},
    {11299, "DBE_REMOTEINVREQUEST", "An invalid or unknown request was made to the database server at '%s'", "S"},
    {11300, "DBE_IMPORTERROR", "An error occurred during the import into the table '%s' - %s", "TM"},
    {11301, "DBE_EXPORTERROR", "An error occurred during the export from the table '%s' - %s", "TM"},
    {11949, "DBE_SQLPARSE", "SQL error - %s", "M"},
    {12035, "DBE_OLDVERSION", "The table '%s' is not the correct version", "T"},
    {12292, "DBE_SEARCHCOLREQD", "Invalid field '%s' specified for the index '%s' in the table '%s'", "FIT"},
    {13060, "DBE_TABLEEXISTS", "The table '%s' already exists", "T"},
    {15001, "DBE_COMPRESS", "Error compressing data", ""},
    {15002, "DBE_UNCOMPRESS", "Error uncompressing data", ""},
    {15878, "DBE_CANNOTLOADLDDRV", "The language driver for the table '%s' is not available or installed", "T"},
};
// clang-format on

int ItemOfArg(char c) {
    switch (c) {
        case 'S':
            return eiServer;
        case 'U':
            return eiUser;
        case 'D':
            return eiDatabase;
        case 'T':
            return eiTable;
        case 'F':
            return eiField;
        case 'I':
            return eiIndex;
        default:
            return eiMessage;
    }
}

const CodeEntry* FindCode(TEngineErrorCode code) {
    for (const CodeEntry& e : CodeTable)
        if (e.Code == code) return &e;
    return nullptr;
}

struct ErrorContextRecord {
    TEngineErrorCode Code = 0;
    int32_t OSError = 0;
    int32_t SocketError = 0;
    std::string Items[7];  // server, user, database, table, field, index, message
};

struct ErrorContextState {
    std::recursive_mutex Lock;  // ErrorContextLock
    ErrorContextRecord Context;
};

// Created on first use, so that it exists before any engine code can raise.
ErrorContextState& State() {
    static ErrorContextState state;
    return state;
}

std::string Short(std::string_view s) {
    return std::string(s.substr(0, ShortStringMax));
}

const char UnknownErrorText[] = "An unknown error occurred";

}  // namespace

EDbEngineError::EDbEngineError(TEngineErrorCode code) : framework::EDatabaseError(""), ErrorCode(code) {
    std::string text = GetEngineErrorMessage(code);
    ErrorServer = GetEngineErrorContext(eiServer);
    ErrorUser = GetEngineErrorContext(eiUser);
    ErrorDatabase = GetEngineErrorContext(eiDatabase);
    ErrorTable = GetEngineErrorContext(eiTable);
    ErrorField = GetEngineErrorContext(eiField);
    ErrorIndex = GetEngineErrorContext(eiIndex);
    ErrorContext = GetEngineErrorContext(eiMessage);
    OSErrorCode = std::stoi(GetEngineErrorContext(eiOSError));
    SocketErrorCode = std::stoi(GetEngineErrorContext(eiSocketError));
    Message = "Engine Error # " + std::to_string(code) + " " + text;
}

void RaiseEngineErrorCode(TEngineErrorCode code) {
    throw EDbEngineError(code);
}

void RaiseEngineError(TEngineErrorCode code, std::string_view server, std::string_view user,
                      std::string_view database, std::string_view table, std::string_view field,
                      std::string_view index, std::string_view message) {
    // Read the last errors before anything else can overwrite them.
    int32_t osError = static_cast<int32_t>(LastOSErrorCode());
    int32_t socketError = static_cast<int32_t>(LastSocketErrorCode());
    std::lock_guard<std::recursive_mutex> guard(State().Lock);
    ClearEngineErrorContext();
    SetEngineErrorContext(code, osError, socketError, server, user, database, table, field, index, message);
    RaiseEngineErrorCode(code);
}

void RaiseTableError(TEngineErrorCode code, std::string_view table) {
    RaiseEngineError(code, {}, {}, {}, table);
}

void RaiseFieldError(TEngineErrorCode code, std::string_view table, std::string_view field) {
    RaiseEngineError(code, {}, {}, {}, table, field);
}

void RaiseIndexError(TEngineErrorCode code, std::string_view table, std::string_view index) {
    RaiseEngineError(code, {}, {}, {}, table, {}, index);
}

void RaiseMessageError(TEngineErrorCode code, std::string_view table, std::string_view message) {
    RaiseEngineError(code, {}, {}, {}, table, {}, {}, message);
}

std::string GetEngineErrorMessage(TEngineErrorCode code) {
    const CodeEntry* entry = FindCode(code);
    std::string text;
    if (entry == nullptr || entry->Format[0] == '\0') {
        text = UnknownErrorText;
    } else {
        const ErrorContextRecord& ctx = State().Context;
        const char* arg = entry->Args;
        for (const char* p = entry->Format; *p != '\0'; ++p) {
            if (p[0] == '%' && p[1] == 's') {
                if (*arg != '\0') {
                    text += *arg == 'O' ? std::to_string(ctx.OSError) : ctx.Items[ItemOfArg(*arg)];
                    ++arg;
                }
                ++p;
            } else {
                text += *p;
            }
        }
    }
    if (text.size() > 254) text.resize(254);
    return text;
}

std::string GetEngineErrorContext(int item) {
    const ErrorContextRecord& ctx = State().Context;
    if (item >= eiServer && item <= eiMessage) return ctx.Items[item];
    if (item == eiOSError) return std::to_string(ctx.OSError);
    if (item == eiSocketError) return std::to_string(ctx.SocketError);
    return {};
}

TEngineErrorCode GetLastEngineErrorCode() {
    std::lock_guard<std::recursive_mutex> guard(State().Lock);
    return State().Context.Code;
}

TEngineErrorCode GetEngineErrorCode(const std::exception& e) {
    if (auto* engineError = dynamic_cast<const EDbEngineError*>(&e)) return engineError->ErrorCode;
    return DBE_OSUNKNOWN;
}

std::string GetEngineErrorName(TEngineErrorCode code) {
    const CodeEntry* entry = FindCode(code);
    return entry != nullptr ? entry->Name : "";
}

TEngineErrorCode OSErrorToEngineError(uint32_t osError) {
    switch (osError) {
        case 2:  // file not found
        case 3:  // path not found
            return DBE_OSENOENT;
        case 4:  // too many open files
            return DBE_OSEMFILE;
        case 5:   // access denied
        case 32:  // sharing violation
        case 65:  // network access denied
            return DBE_OSEACCES;
        case 6:  // invalid handle
            return DBE_OSEBADF;
        case 8:  // not enough memory
            return DBE_OSENOMEM;
        case 15:  // invalid drive
            return DBE_OSENODEV;
        case 17:  // not the same device
            return DBE_OSENOTSAM;
        default:
            return DBE_OSUNKNOWN;
    }
}

TEngineErrorCode OSErrorToEngineError() {
    return OSErrorToEngineError(LastOSErrorCode());
}

void SetEngineErrorContext(TEngineErrorCode code, int32_t osError, int32_t socketError,
                           std::string_view server, std::string_view user, std::string_view database,
                           std::string_view table, std::string_view field, std::string_view index,
                           std::string_view message) {
    ErrorContextRecord& ctx = State().Context;
    ctx.Code = code;
    ctx.OSError = osError;
    ctx.SocketError = socketError;
    const std::string_view items[7] = {server, user, database, table, field, index, message};
    for (int i = 0; i < 7; ++i) ctx.Items[i] = Short(items[i]);
}

void ClearEngineErrorContext() {
    State().Context = ErrorContextRecord{};
}

void EnterErrorContextLock() {
    State().Lock.lock();
}

void LeaveErrorContextLock() {
    State().Lock.unlock();
}

}  // namespace dbengine
