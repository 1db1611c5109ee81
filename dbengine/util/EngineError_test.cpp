#include "dbengine/util/EngineError.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "dbengine/os/OSLayer.h"
#include "platform/Process.h"

namespace dbengine {
namespace {

struct CodeCase {
    TEngineErrorCode Code;
    const char* Name;
    const char* Text;
};

// Every code raised with the context server "srv1", user "ann", database "db1", table "T",
// field "F", index "ByName", message "msg" and the last OS error 1234.
const CodeCase AllCodes[] = {
    {0, "DBE_NONE", "An unknown error occurred"},
    {8705, "DBE_BOF", "Beginning of table 'T' unexpectedly encountered"},
    {8706, "DBE_EOF", "End of table 'T' unexpectedly encountered"},
    {8708, "DBE_KEYORRECDELETED",
     "Record has been changed or deleted by another user, session, or table cursor in the table 'T'"},
    {8709, "DBE_NOCURRREC", "No current record in the table 'T'"},
    {8710, "DBE_RECNOTFOUND", "Record not found in the table 'T'"},
    {8711, "DBE_ENDOFBLOB", "End of blob data in the table 'T' reached prematurely"},
    {8961, "DBE_HEADERCORRUPT", "Header information corrupt in the table 'T'"},
    {8962, "DBE_FILECORRUPT", "Data record buffers corrupt in the table 'T'"},
    {8963, "DBE_MEMOCORRUPT", "BLOB block buffers corrupt in the table 'T'"},
    {8965, "DBE_INDEXCORRUPT", "Index page buffers corrupt in the table 'T'"},
    {9217, "DBE_READERR", "Error reading from the table 'T'"},
    {9218, "DBE_WRITEERR", "Error writing to the table 'T'"},
    {9220, "DBE_FILEDELETEFAIL", "Cannot delete the table 'T'"},
    {9221, "DBE_FILENOACCESS", "Error accessing header information for the table 'T'"},
    {9477, "DBE_RECTOOBIG", "Maximum record size exceeded in the table 'T'"},
    {9479, "DBE_TABLEFULL", "The table 'T' is full and cannot contain any more data"},
    {9482, "DBE_INTERNALLIMIT", "Too many filters defined for the table 'T'"},
    {9487, "DBE_INDEXLIMIT",
     "Maximum or minimum limits on number of indexes or fields in an index exceeded in the table 'T'"},
    {9492, "DBE_FLDLIMIT",
     "Maximum or minimum limits on number of fields, auto-increment field value, or field size exceeded in "
     "the table 'T'"},
    {9494, "DBE_OPENBLOBLIMIT", "Too many blobs opened in the table 'T'"},
    {9498, "DBE_BLOBLIMIT", "Too many blob fields or invalid blob block size specified for the table 'T'"},
    {9729, "DBE_KEYVIOL", "Duplicate key found in the index 'ByName' of the table 'T'"},
    {9730, "DBE_MINVALERR",
     "The value for the field 'F' in the table 'T' is below the minimum allowable value"},
    {9731, "DBE_MAXVALERR",
     "The value for the field 'F' in the table 'T' is above the maximum allowable value"},
    {9732, "DBE_REQDERR", "A value must be provided for the field 'F' in the table 'T'"},
    {9985, "DBE_OUTOFRANGE", "Invalid field number or name 'F' specified for the table 'T'"},
    {9993, "DBE_PRIMARYKEYREDEFINE",
     "A primary index is already defined for the table 'T' and cannot be added again"},
    {9998, "DBE_INVALIDBLOBOFFSET", "Invalid blob offset into the table 'T' specified"},
    {10000, "DBE_INVALIDFLDTYPE", "Invalid field definition specified for the field 'F' in the table 'T'"},
    {10006, "DBE_INVALIDVCHKSTRUCT",
     "Invalid default, min or max validity check, or expression specified for the field 'F' in the table "
     "'T'"},
    {10010, "DBE_INDEXNAMEREQUIRED",
     "The secondary index name is missing or not specified for the table 'T'"},
    {10015, "DBE_INVALIDPASSWORD", "Password provided for the table 'T' is invalid"},
    {10022, "DBE_INVALIDINDEXNAME", "Invalid secondary index name 'ByName' specified for the table 'T'"},
    {10023, "DBE_INVALIDIDXDESC",
     "Invalid field number 'F' specified in the index 'ByName' for the table 'T'"},
    {10026, "DBE_INVALIDKEY", "Invalid key size specified in the index 'ByName' for the table 'T'"},
    {10027, "DBE_INDEXEXISTS", "The secondary index 'ByName' already exists for the table 'T'"},
    {10029, "DBE_INVALIDBLOBLEN", "Invalid blob length in the table 'T'"},
    {10030, "DBE_INVALIDBLOBHANDLE", "Invalid blob handle for the table 'T' specified"},
    {10031, "DBE_TABLEOPEN", "The table 'T' is already in use"},
    {10038, "DBE_INVALIDFIELDNAME", "Invalid or duplicate field name 'F' specified for the table 'T'"},
    {10050, "DBE_NOSUCHFILTER", "Invalid filter handle specified for the table 'T'"},
    {10051, "DBE_INVALIDFILTER", "Filter error for the table 'T' - msg"},
    {10055, "DBE_INVALIDINDEXDELETE", "The primary index cannot be removed from the table 'T'"},
    {10241, "DBE_LOCKED", "The table 'T' is already locked by another user"},
    {10242, "DBE_UNLOCKFAILED", "Cannot unlock table or record in the table 'T'"},
    {10249, "DBE_LOCKTIMEOUT", "General lock failure with the table 'T'"},
    {10253, "DBE_NEEDEXCLACCESS", "The table 'T' must be opened exclusively"},
    {10258, "DBE_RECLOCKFAILED", "Record in the table 'T' is in use by another user"},
    {10498, "DBE_NOTSUFFTABLERIGHTS", "Insufficient rights to the table 'T', a password is required"},
    {10753, "DBE_NOTABLOB", "Invalid blob field 'F' specified for the table 'T'"},
    {10758, "DBE_NOTINITIALIZED", "The database engine is not initialized"},
    {11010, "DBE_OSENOENT", "Table 'T' does not exist"},
    {11012, "DBE_OSEMFILE", "Too many operating system files open while attempting to open the table 'T'"},
    {11013, "DBE_OSEACCES", "Access denied to table 'T'"},
    {11014, "DBE_OSEBADF", "Invalid operating system file handle for the table 'T'"},
    {11016, "DBE_OSENOMEM",
     "There is insufficient operating system memory available for the current operation"},
    {11017, "DBE_OSEINVMEM", "Invalid length for the in-memory table 'T'"},
    {11023, "DBE_OSENODEV", "Access denied to logical operating system device for the table 'T'"},
    {11025, "DBE_OSENOTSAM", "The table 'T' has been moved"},
    {11047, "DBE_OSUNKNOWN", "An unknown operating system error 1234 occurred with the table 'T'"},
    {11276, "DBE_REMOTECOMMLOST", "The connection to the database server at 'srv1' has been lost"},
    {11279, "DBE_REMOTEUNKNOWN",
     "An unknown error ('msg') occurred with the connection to the database server at 'srv1', please check "
     "the server log"},
    {11280, "DBE_REMOTECONNECT", "A connection to the database server at 'srv1' cannot be established"},
    {11281, "DBE_REMOTENOLOGIN",
     "A connection to the database server at 'srv1' cannot be established, the server is not accepting new "
     "logins"},
    {11282, "DBE_REMOTEMAXCONNECT",
     "A connection to the database server at 'srv1' cannot be established, the maximum number of connections "
     "has been reached"},
    {11283, "DBE_REMOTEADDRESSBLOCK",
     "A connection to the database server at 'srv1' cannot be established, the client address is blocked"},
    {11284, "DBE_REMOTECALLBACK", "An unknown error occurred"},
    {11285, "DBE_REMOTECALLBACKERR", "A server callback error occurred for the database server at 'srv1'"},
    {11286, "DBE_REMOTEVERSION",
     "A call to the database server at 'srv1' failed, the client engine version does not match the server"},
    {11287, "DBE_REMOTEINVLOGIN",
     "A connection to the database server at 'srv1' cannot be established, the login information provided is "
     "invalid"},
    {11288, "DBE_REMOTENOTAUTH",
     "The user 'ann' is not authorized to perform this operation with the database 'db1' on the database "
     "server at 'srv1'"},
    {11289, "DBE_REMOTENOTADMIN",
     "The user 'ann' is not authorized to perform administration functions on the database server at 'srv1'"},
    {11290, "DBE_REMOTEINVUSER", "The user name is either invalid or blank"},
    {11291, "DBE_REMOTENOUSER", "The user 'ann' does not exist on the database server at 'srv1'"},
    {11292, "DBE_REMOTEDUPUSER", "The user 'ann' already exists on the database server at 'srv1'"},
    {11293, "DBE_REMOTEINVDB", "The database name or directory is either invalid or blank"},
    {11294, "DBE_REMOTENODB", "The database 'db1' does not exist on the database server at 'srv1'"},
    {11295, "DBE_REMOTEDUPDB", "The database 'db1' already exists on the database server at 'srv1'"},
    {11296, "DBE_REMOTEINVDBUSER", "The database user name is either invalid or blank"},
    {11297, "DBE_REMOTENODBUSER",
     "The database user 'ann' does not exist for the database 'db1' on the database server at 'srv1'"},
    {11298, "DBE_REMOTEDUPDBUSER",
     "The database user 'ann' already exists for the database 'db1' on the database server at 'srv1'"},
    {11299, "DBE_REMOTEINVREQUEST",
     "An invalid or unknown request was made to the database server at 'srv1'"},
    {11300, "DBE_IMPORTERROR", "An error occurred during the import into the table 'T' - msg"},
    {11301, "DBE_EXPORTERROR", "An error occurred during the export from the table 'T' - msg"},
    {11949, "DBE_SQLPARSE", "SQL error - msg"},
    {12035, "DBE_OLDVERSION", "The table 'T' is not the correct version"},
    {12292, "DBE_SEARCHCOLREQD", "Invalid field 'F' specified for the index 'ByName' in the table 'T'"},
    {13060, "DBE_TABLEEXISTS", "The table 'T' already exists"},
    {15001, "DBE_COMPRESS", "Error compressing data"},
    {15002, "DBE_UNCOMPRESS", "Error uncompressing data"},
    {15878, "DBE_CANNOTLOADLDDRV", "The language driver for the table 'T' is not available or installed"},
};

TEST(EngineErrorTest, EveryCodeFillsItsFormatFromItsContextItems) {
    for (const CodeCase& c : AllCodes) {
        SCOPED_TRACE(c.Code);
        platform::SetLastError(1234);
        try {
            RaiseEngineError(c.Code, "srv1", "ann", "db1", "T", "F", "ByName", "msg");
            FAIL() << "did not raise";
        } catch (const EDbEngineError& e) {
            EXPECT_EQ(e.ErrorCode, c.Code);
            EXPECT_EQ(e.Message, "Engine Error # " + std::to_string(c.Code) + " " + c.Text);
            EXPECT_EQ(GetEngineErrorMessage(c.Code), c.Text);
            EXPECT_EQ(GetEngineErrorName(c.Code), c.Name);
            EXPECT_EQ(GetLastEngineErrorCode(), c.Code);
            EXPECT_EQ(GetEngineErrorCode(e), c.Code);
            EXPECT_EQ(e.OSErrorCode, 1234);
            EXPECT_EQ(e.ErrorServer, "srv1");
            EXPECT_EQ(e.ErrorUser, "ann");
            EXPECT_EQ(e.ErrorDatabase, "db1");
            EXPECT_EQ(e.ErrorTable, "T");
            EXPECT_EQ(e.ErrorField, "F");
            EXPECT_EQ(e.ErrorIndex, "ByName");
            EXPECT_EQ(e.ErrorContext, "msg");
        }
    }
    EXPECT_EQ(std::size(AllCodes), 92u);
}

TEST(EngineErrorTest, CodesWithoutTextOfTheirOwnGiveTheGenericText) {
    for (TEngineErrorCode code : {0, 11284, 1, 9000, 65535}) {
        SCOPED_TRACE(code);
        try {
            RaiseEngineError(code, "srv1", "ann", "db1", "T");
        } catch (const EDbEngineError& e) {
            EXPECT_EQ(e.Message, "Engine Error # " + std::to_string(code) + " An unknown error occurred");
        }
    }
    EXPECT_EQ(GetEngineErrorName(0), "DBE_NONE");
    EXPECT_EQ(GetEngineErrorName(11284), "DBE_REMOTECALLBACK");
    EXPECT_EQ(GetEngineErrorName(1), "");
    EXPECT_EQ(GetEngineErrorName(9000), "");
}

TEST(EngineErrorTest, EmptyContextAndItemNumbers) {
    platform::SetLastError(0);
    SetLastSocketErrorCode(0);
    try {
        RaiseEngineError(DBE_OSENOENT, {}, {}, {}, {});
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.Message, "Engine Error # 11010 Table '' does not exist");
        EXPECT_EQ(e.OSErrorCode, 0);
        EXPECT_EQ(e.SocketErrorCode, 0);
    }
    EXPECT_EQ(GetEngineErrorContext(eiOSError), "0");
    EXPECT_EQ(GetEngineErrorContext(eiSocketError), "0");
    EXPECT_EQ(GetEngineErrorContext(9), "");
    EXPECT_EQ(GetEngineErrorContext(-1), "");
}

TEST(EngineErrorTest, TheOSAndSocketErrorsAreThoseAtTheMomentOfRaising) {
    SetLastSocketErrorCode(10061);
    platform::SetLastError(1117);
    try {
        RaiseTableError(DBE_OSUNKNOWN, "Orders");
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.Message,
                  "Engine Error # 11047 An unknown operating system error 1117 occurred with the "
                  "table 'Orders'");
        EXPECT_EQ(e.SocketErrorCode, 10061);
    }
    SetLastSocketErrorCode(0);
    // The exception keeps its own copy: a later error does not change it.
    try {
        RaiseTableError(DBE_BOF, "First");
    } catch (const EDbEngineError& first) {
        try {
            RaiseTableError(DBE_EOF, "Second");
        } catch (const EDbEngineError&) {
        }
        EXPECT_EQ(first.ErrorTable, "First");
        EXPECT_EQ(first.Message, "Engine Error # 8705 Beginning of table 'First' unexpectedly encountered");
    }
}

TEST(EngineErrorTest, LongTextsAreCutToShortStringsAndTheMessageTo254) {
    std::string longName(300, 'x');
    try {
        RaiseTableError(DBE_OSENOENT, longName);
    } catch (const EDbEngineError& e) {
        EXPECT_EQ(e.ErrorTable, std::string(255, 'x'));
        std::string text = GetEngineErrorMessage(DBE_OSENOENT);
        EXPECT_EQ(text.size(), 254u);
        EXPECT_EQ(text, ("Table '" + std::string(255, 'x')).substr(0, 254));
    }
}

TEST(EngineErrorTest, ForeignExceptionsHaveTheUnknownOSErrorCode) {
    EXPECT_EQ(GetEngineErrorCode(framework::EConvertError("x")), DBE_OSUNKNOWN);
    EXPECT_EQ(GetEngineErrorCode(std::runtime_error("x")), DBE_OSUNKNOWN);
    EXPECT_EQ(GetEngineErrorCode(EDbEngineError(DBE_KEYVIOL)), DBE_KEYVIOL);
    // The engine error is a database error of the class library.
    try {
        RaiseTableError(DBE_KEYVIOL, "T");
    } catch (const framework::EDatabaseError& e) {
        EXPECT_NE(e.Message.find("9729"), std::string::npos);
    }
}

TEST(EngineErrorTest, OSErrorMap) {
    const std::pair<uint32_t, TEngineErrorCode> cases[] = {
        {2, 11010}, {3, 11010},  {4, 11012},  {5, 11013}, {32, 11013}, {65, 11013}, {6, 11014},
        {8, 11016}, {15, 11023}, {17, 11025}, {0, 11047}, {1, 11047},  {33, 11047}, {80, 11047},
    };
    for (auto [os, code] : cases) {
        EXPECT_EQ(OSErrorToEngineError(os), code) << os;
        platform::SetLastError(os);
        EXPECT_EQ(OSErrorToEngineError(), code) << os;
    }
}

TEST(EngineErrorTest, ConcurrentRaisersEachGetTheirOwnContext) {
    std::vector<std::thread> threads;
    std::atomic<int> mismatches{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &mismatches] {
            std::string table = "Table" + std::to_string(t);
            for (int i = 0; i < 200; ++i) {
                platform::SetLastError(static_cast<uint32_t>(100 + t));
                try {
                    RaiseTableError(DBE_OSUNKNOWN, table);
                } catch (const EDbEngineError& e) {
                    std::string expected = "Engine Error # 11047 An unknown operating system error " +
                                           std::to_string(100 + t) + " occurred with the table '" + table +
                                           "'";
                    if (e.Message != expected || e.ErrorTable != table) ++mismatches;
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(mismatches.load(), 0);
}

// The context lock keeps two threads' context updates apart.
TEST(ErrorContextLockTest, EnterAndLeaveExcludeOtherThreads) {
    int counter = 0;
    auto count = [&] {
        for (int i = 0; i < 20000; ++i) {
            EnterErrorContextLock();
            counter = counter + 1;
            LeaveErrorContextLock();
        }
    };
    std::thread other(count);
    count();
    other.join();
    EXPECT_EQ(counter, 40000);
}

}  // namespace
}  // namespace dbengine
