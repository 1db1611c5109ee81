#pragma once
// The shared table: one per open table and database in the process, owning the table's three
// file objects. This holds what the table files rely on so far.

#include <string>

#include "framework/core/Object.h"

namespace dbengine {

class TDataDirectory;
class TDataSession;

class TDataTable : public framework::TObject {
public:
    TDataTable(TDataDirectory* database, TDataSession* session) : Database(database), Session(session) {}

    // The database's name as messages show it (its folder for a local database).
    std::string GetDatabaseName() const;
    // Whether buffers written are also to be flushed to disk (the session's setting).
    bool ForceBufferFlush() const;

    TDataDirectory* Database;
    TDataSession* Session;
    std::string TableName;
    bool InMemory = false;
    bool Exclusive = false;
    bool Temporary = false;
    // Set whenever one of the table's files was written.
    bool FilesWritten = false;
    // The primary index is defined by the user (not the internal record order): only then are
    // deleted records reused.
    bool HasUserPrimaryIndex = false;
    // The table holds its transaction lock: changed records stay in memory until it ends.
    bool HoldsTransactionLock = false;
    // The data file's header lock is held for a transaction.
    bool TransactionLocked = false;
};

}  // namespace dbengine
