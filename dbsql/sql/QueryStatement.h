#pragma once
// The engine-side handle of one SQL text: it owns the expression parser that scans the text, every
// TDataQuery of the statement (master, UNION parts, INSERT ... SELECT sources, sub-selects) and
// the list of its "?" parameter nodes.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dbengine/expr/ExpressionParser.h"
#include "dbengine/util/QueryHooks.h"
#include "dbsql/sql/DataQuery.h"

namespace dbengine {
class TDataDirectory;
class TRemoteClient;
}  // namespace dbengine

namespace dbsql {

// Sub-selects and UNION parts nest at most this deep in one statement.
constexpr int MaxQueryNesting = 100;

// A parameter's descriptor as the query component passes it: its slot in the value buffer holds
// a flag byte (1: a value, 0: NULL) and the value; a BLOB's value is a 32-bit length followed by
// a pointer to its bytes.
struct TParamDesc {
    uint16_t FieldNo = 0;  // from 1
    std::string Name;
    uint8_t DataType = 0;
    uint8_t SubType = 0;
    uint8_t Size = 0;
    uint8_t Scale = 0;
    uint16_t Offset = 0;
};

// Bytes of a BLOB parameter's value in its slot: the length and a pointer.
constexpr size_t BlobParamSize = 4 + sizeof(void*);

class TQueryStatement : public dbengine::TQueryStatement {
public:
    // The master query is created and added; Database may be null for a statement that is
    // only parsed.
    explicit TQueryStatement(dbengine::TDataDirectory* database = nullptr);
    ~TQueryStatement() override;
    TQueryStatement(const TQueryStatement&) = delete;
    TQueryStatement& operator=(const TQueryStatement&) = delete;

    std::unique_ptr<dbengine::TDataQuery> CreateQuery() override;
    int AddQuery(std::unique_ptr<dbengine::TDataQuery> query) override;
    std::vector<dbengine::TExpToken*>& ParamTokens() override { return FParamTokens; }
    std::unique_ptr<dbengine::TSourceTable> CreateSourceTable(dbengine::TDataQuery* owner) override;

    // Parses the first statement of the text into the master query: the parser takes the SQL
    // error code and the context "SQL statement", the parameter list is emptied. Raises 11949.
    void ParseSQL(std::string_view text);

    // The query at a position of Queries.
    TDataQuery* Query(size_t index) const;

    // Asked when an encrypted table's password is not among the session's; true when one may
    // have been added and the open is to look again.
    using TPasswordCallback = std::function<bool(TQueryStatement& statement)>;
    void SetPasswordCallback(TPasswordCallback callback) { PasswordCallback = std::move(callback); }
    // False when no callback is installed.
    bool AskPassword() { return PasswordCallback ? PasswordCallback(*this) : false; }

    // Receives the percentage done and a stop flag, false on entry; true ends the execution with
    // the rows collected so far.
    using TProgressCallback = std::function<void(TQueryStatement& statement, int percent, bool& stop)>;
    void SetProgressCallback(TProgressCallback callback) { ProgressCallback = std::move(callback); }
    void ReportProgress(int percent, bool& stop);

    // Told after every prepare: the statement kind and the three result flags.
    using TPreparedCallback = std::function<void(TQueryStatement& statement, uint8_t kind, bool liveResult,
                                                 bool resultIsSourceCursor, bool selectAll)>;
    void SetPreparedCallback(TPreparedCallback callback) { PreparedCallback = std::move(callback); }

    // A changed limit reaches the master query at once.
    void SetMaxRowCount(int32_t count);
    // Parses and prepares the first statement of the text. Raises 11949 for SQL errors.
    void PrepareSQL(std::string_view text);
    // Binds the parameters (to the first statement), runs the statement and every further
    // statement of a script; the result cursor of the last statement when it is a SELECT, else
    // null. The cursor belongs to the statement.
    dbengine::TDataCursor* ExecuteSQL(const std::vector<TParamDesc>& params = {},
                                      const uint8_t* buffer = nullptr);

    // Receives one value of a server notification (remote sessions only).
    using TMessageCallback = std::function<void(TQueryStatement& statement, int32_t value)>;
    void SetMessageCallback(TMessageCallback callback) { MessageCallback = std::move(callback); }

    // Over a remote session every step is a request to the server.
    bool IsRemote() const;
    uint32_t RemoteHandle = 0;
    // The result cursor of a remote SELECT and the database it lives in.
    std::string RemoteResultDatabaseName;
    dbengine::TDataDirectory* RemoteResultDatabase = nullptr;
    std::unique_ptr<dbengine::TDataCursor> RemoteResultCursor;

    bool RequestLive = false;
    bool LiveResult = false;
    bool ResultIsSourceCursor = false;
    bool SelectAll = false;
    int32_t RowsAffected = 0;
    double ExecutionTime = 0;
    bool InScript = false;

    dbengine::TDataDirectory* Database;
    std::unique_ptr<dbengine::TExpressionParser> Parser;
    TDataQuery* MasterQuery = nullptr;
    std::vector<std::unique_ptr<dbengine::TDataQuery>> Queries;  // in order of creation
    uint8_t Kind = skUnknown;
    int32_t MaxRowCount = -1;
    // Sub-selects and UNION parts being parsed inside one another.
    int ParseDepth = 0;

private:
    void PrepareQueries();
    void BindParams(const std::vector<TParamDesc>& params, const uint8_t* buffer);
    dbengine::TDataCursor* ExecuteQueries(int32_t& rows, double& time);
    std::vector<dbengine::TExpToken*> FParamTokens;
    TPasswordCallback PasswordCallback;
    TProgressCallback ProgressCallback;
    TMessageCallback MessageCallback;
    TPreparedCallback PreparedCallback;

    // The remote path (QueryStatementRemote.cpp).
    dbengine::TRemoteClient& Client() const;
    void RemoteCreate();
    void RemotePrepare(std::string_view text);
    void RemoteExecute(const std::vector<TParamDesc>& params, const uint8_t* buffer);
    void RemoteFree() noexcept;
    // Sends the request built, answers the server's callbacks and raises a failure reply.
    void RemoteExchange();
    // One callback of the server; true when it was answered (the answer's reply is then read).
    bool RunRemoteCallback();
    // Every parameter's descriptor and slot as request items.
    void AddRemoteParams(const std::vector<TParamDesc>& params, const uint8_t* buffer);
    // Opens a SELECT's result cursor (anew) from what the reply holds.
    void ReadRemoteResult();
    void CloseRemoteResult() noexcept;
};

}  // namespace dbsql
