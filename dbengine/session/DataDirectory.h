#pragma once
// One open database of a session: a folder of tables, or the in-memory database "Memory".
//
// Its registry holds exactly one shared table per physical table (name and in-memory flag):
// every cursor open, table creation, rename and deletion goes through it, so that exclusive use
// is enforced and tables taking part in a transaction are kept until it ends. Registry routines
// return 0 or minus an engine error code, which their callers raise.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/Object.h"

namespace dbengine {

class TDataSession;
class TDataTable;
struct TTableDefinition;

// The calling thread's id as the temporary table names use it; tests may replace it (an empty
// function restores the real one). Returns the function it replaces.
using TThreadIdFunc = std::function<uint32_t()>;
TThreadIdFunc SetTempNameThreadIdSource(TThreadIdFunc source);

// Something that works on a database (a cursor): told when a transaction is rolled back, and
// before the database is freed (finalising the engine frees its sessions).
class TDirectoryUser {
public:
    virtual void DirectoryFreed() noexcept = 0;
    // A transaction of the database was rolled back: the tables hold the files' state again.
    virtual void TransactionRolledBack() noexcept {}

protected:
    ~TDirectoryUser() = default;
};

class TDataDirectory : public framework::TObject {
public:
    explicit TDataDirectory(TDataSession* session);
    ~TDataDirectory() override;
    TDataDirectory(const TDataDirectory&) = delete;
    TDataDirectory& operator=(const TDataDirectory&) = delete;

    // The name used in messages: the database name for remote and server-side sessions, else the
    // folder.
    std::string GetDatabaseName() const;
    // Whether the database lives on a server: its session is a remote one. Its tables' files and
    // locks are then the server's.
    bool OnServer() const;

    int32_t OpenSharedTable(const std::string& tableName, TDataTable*& table, bool exclusive,
                            bool shareExclusive, bool inMemory, bool isTemporary, bool isQueryResult,
                            bool isQuerySource);
    int32_t CreateSharedTable(const std::string& tableName, bool inMemory, bool isTemporary,
                              const TTableDefinition& definition);
    int32_t ReleaseSharedTable(TDataTable* table, bool discard, bool isQueryResult, bool isQuerySource);
    int32_t RenameTableFiles(const std::string& tableName, const std::string& newName, bool inMemory,
                             bool asBackup);
    int32_t DeleteTableFiles(const std::string& tableName, bool inMemory);
    bool TableExists(const std::string& tableName, bool inMemory);
    std::string GetTempTableName(bool inMemory);

    void StartTransaction(bool localOnly);
    // Always ends the transaction mark and releases unused tables, also when writing fails; the
    // first failure is raised afterwards. A shared table whose writes fail part way gets its files
    // back as they were before the commit.
    void Commit(bool endTransaction, bool forceFlush, bool localOnly);
    void Rollback(bool localOnly);

    // Users are told of rollbacks and, once each, when the database is freed.
    void AddUser(TDirectoryUser* user);
    void RemoveUser(TDirectoryUser* user);

    // The registered entry for the name (trimmed, ".DAT" or not, any case) and kind, or null.
    TDataTable* FindTable(const std::string& tableName, bool inMemory) const;

    TDataSession* Session;
    uint32_t ServerHandle = 0;  // the server's handle of a remote database
    std::string DatabaseName;
    std::string Directory;  // with a trailing backslash; empty for "Memory" and remote databases
    std::vector<std::unique_ptr<TDataTable>> Tables;
    uint16_t UseCount = 0;
    bool InTransaction = false;
    bool ServerDatabaseFlag = false;
    std::vector<TDirectoryUser*> Users;

private:
    std::unique_ptr<TDataTable> NewTable(const std::string& tableName, bool exclusive, bool inMemory,
                                         bool isTemporary);
    void FreeTable(TDataTable* table);
    void NotifyRolledBack() noexcept;
};

}  // namespace dbengine
