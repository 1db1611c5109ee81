#pragma once
// A database server for end-to-end tests of remote cursors: the scripted test server with a
// handler per cursor request that carries the request out on a local engine, with local cursors
// on a local database, and answers with what the client reads back. Engine errors go back as
// error replies with their six strings.
//
// The server moves a cursor to the position named in a request head before it does the work, so
// a client that reads ahead in blocks finds the server where it left off.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/testsupport/RemoteTestServer.h"

namespace dbengine {
class TDataCursor;
class TDataDirectory;
class TFilter;
}  // namespace dbengine

namespace dbengine::testing {

class TRemoteEngineServer {
public:
    // Serves the tables of database; the server version is the one the connect reply announces.
    TRemoteEngineServer(TDataDirectory* database, int64_t serverVersion);
    ~TRemoteEngineServer();
    TRemoteEngineServer(const TRemoteEngineServer&) = delete;
    TRemoteEngineServer& operator=(const TRemoteEngineServer&) = delete;

    uint16_t Port() const { return Server.Port(); }
    TRemoteTestServer& Scripted() { return Server; }
    // The server's cursor of a handle (nullptr when none).
    TDataCursor* CursorOf(uint32_t handle);
    TDataDirectory* ServedDatabase() const { return Database; }
    int64_t ServerVersion() const { return Version; }

    // A cursor owned elsewhere (the result of a statement) served under a new handle until it is
    // withdrawn.
    uint32_t Lend(TDataCursor& cursor);
    void Withdraw(uint32_t handle);
    // Requests of code answered by work; an engine error it raises goes back as an error reply
    // with its six strings.
    void Serve(uint16_t code, std::function<TServerReply(const TServerRequest&)> work);

    // The items of a position reply and of an open reply (headers when the client's table has not
    // had them, position, index number) about cursor c.
    void Position(TDataCursor& c, std::vector<std::string>& out) const;
    void OpenReply(TDataCursor& c, std::vector<std::string>& out) const;

private:
    struct TArgs;
    void Install();
    void Headers(TDataCursor& c, std::vector<std::string>& out) const;
    TDataCursor& Head(TArgs& args);
    // The BLOB values a record write carries into the server's open buffers, and their handles
    // into the record's fields.
    void TakeBlobs(TDataCursor& c, TArgs& args, std::vector<uint8_t>& record) const;

    TDataDirectory* Database;
    int64_t Version;
    std::map<uint32_t, std::unique_ptr<TDataCursor>> Cursors;
    std::map<uint32_t, TDataCursor*> Lent;
    std::map<uint32_t, TFilter*> Filters;
    uint32_t NextHandle = 100;
    // Declared last: its thread stops first, before the cursors it works on go.
    TRemoteTestServer Server;
};

}  // namespace dbengine::testing
