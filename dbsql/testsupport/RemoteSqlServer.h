#pragma once
// A database server for end-to-end tests of remote statements: the remote engine server, whose
// cursor requests run on cursors of this process, with the statement requests (create, prepare,
// parameters, execute, free) carried out by statements of this process on the served database.
// A SELECT's result cursor is lent to the engine server, so the client walks it with ordinary
// cursor requests. A script's later statements are announced by state callbacks sent ahead of the
// execute reply. The server asks for no password and reports no progress.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/testsupport/RemoteEngineServer.h"
#include "dbsql/sql/QueryStatement.h"

namespace dbsql::testsupport {

class TRemoteSqlServer {
public:
    TRemoteSqlServer(dbengine::TDataDirectory* database, int64_t serverVersion);
    ~TRemoteSqlServer();
    TRemoteSqlServer(const TRemoteSqlServer&) = delete;
    TRemoteSqlServer& operator=(const TRemoteSqlServer&) = delete;

    uint16_t Port() const { return Engine.Port(); }
    dbengine::testing::TRemoteEngineServer& EngineServer() { return Engine; }
    // The statement of a handle (nullptr when none).
    TQueryStatement* StatementOf(uint32_t handle) const;

private:
    struct TServed;
    void Install();
    TServed& Served(uint32_t handle);
    // The state items of the statement after a prepare: kind, live, source cursor, select-all.
    void StateItems(const TQueryStatement& statement, std::vector<std::string>& out) const;
    // What the client reads to open a SELECT's result cursor: the database name of a live result,
    // the cursor reply, the open reply and the field descriptors (unless all fields are selected).
    void ResultItems(TServed& served, dbengine::TDataCursor& cursor, std::vector<std::string>& out);
    // A state callback about the statement, with the result cursor to open when one is given.
    dbengine::testing::TServerReply StateCallback(TServed& served, dbengine::TDataCursor* cursor);
    // The parameters of a request from item index on: count, descriptors, slots.
    void TakeParams(TServed& served, const std::vector<std::string>& items, size_t index) const;

    // The name the client opened the served database by.
    std::string DatabaseName;
    std::map<uint32_t, std::unique_ptr<TServed>> Statements;
    uint32_t NextHandle = 1;
    // Declared last: its thread stops first, before the statements it works on go.
    dbengine::testing::TRemoteEngineServer Engine;
};

}  // namespace dbsql::testsupport
