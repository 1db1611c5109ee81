#include "dbengine/session/DataDirectory.h"

#include <algorithm>
#include <cstdlib>
#include <exception>

#include "dbengine/file/FileList.h"
#include "dbengine/os/OSLayer.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/session/DataTable.h"
#include "dbengine/session/ServerTable.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/EngineUtils.h"
#include "platform/Process.h"

namespace dbengine {

namespace {

TThreadIdFunc& ThreadIdSource() {
    static TThreadIdFunc source;
    return source;
}

uint32_t TempNameThreadId() {
    return ThreadIdSource() ? ThreadIdSource()() : platform::GetCurrentThreadId();
}

// Trimmed, with ".DAT" as its extension: a trailing ".dat" in any case is written ".DAT",
// anything else gets ".DAT" appended. "T", "t.dat" and "T.DAT" all name one table.
std::string NormalisedTableName(const std::string& name) {
    std::string trimmed = TrimText(name);
    if (trimmed.size() >= 4 && SameNameText(trimmed.substr(trimmed.size() - 4), ".DAT"))
        trimmed.resize(trimmed.size() - 4);
    return trimmed + ".DAT";
}

bool InUse(const TDataTable& table) {
    return table.OpenCount > 0 || table.InTransaction;
}

}  // namespace

TThreadIdFunc SetTempNameThreadIdSource(TThreadIdFunc source) {
    TThreadIdFunc previous = std::move(ThreadIdSource());
    ThreadIdSource() = std::move(source);
    return previous;
}

TDataDirectory::TDataDirectory(TDataSession* session) : Session(session) {}

TDataDirectory::~TDataDirectory() {
    // Cursors still open close now, while their tables exist; afterwards they refuse to work.
    while (!Users.empty()) {
        TDirectoryUser* user = Users.back();
        Users.pop_back();
        user->DirectoryFreed();
    }
    if (Session == nullptr || !Session->ServerSide) {
        try {
            Rollback(false);
        } catch (...) {
            // A destructor must not raise; the tables are freed below all the same.
        }
    }
    // Each table closes its files as it goes, last registered first.
    while (!Tables.empty()) {
        std::unique_ptr<TDataTable> owned = std::move(Tables.back());
        Tables.pop_back();
    }
}

void TDataDirectory::AddUser(TDirectoryUser* user) {
    if (std::find(Users.begin(), Users.end(), user) == Users.end()) Users.push_back(user);
}

void TDataDirectory::RemoveUser(TDirectoryUser* user) {
    Users.erase(std::remove(Users.begin(), Users.end(), user), Users.end());
}

std::string TDataDirectory::GetDatabaseName() const {
    if (Session != nullptr && (Session->Remote || Session->ServerSide)) return DatabaseName;
    return Directory;
}

bool TDataDirectory::OnServer() const {
    return Session != nullptr && Session->Remote;
}

TDataTable* TDataDirectory::FindTable(const std::string& tableName, bool inMemory) const {
    std::string wanted = NormalisedTableName(tableName);
    for (const auto& t : Tables)
        if (t->InMemory == inMemory && SameNameText(NormalisedTableName(t->TableName), wanted))
            return t.get();
    return nullptr;
}

std::unique_ptr<TDataTable> TDataDirectory::NewTable(const std::string& tableName, bool exclusive,
                                                     bool inMemory, bool isTemporary) {
    std::unique_ptr<TDataTable> table;
    if (OnServer())
        table = std::make_unique<TServerTable>(this, Session);
    else
        table = std::make_unique<TDataTable>(this, Session);
    table->SetTableName(tableName);
    table->SetExclusive(exclusive);
    table->SetInMemory(inMemory);
    table->SetTemporary(isTemporary);
    return table;
}

void TDataDirectory::FreeTable(TDataTable* table) {
    auto it = std::find_if(Tables.begin(), Tables.end(), [&](auto& t) { return t.get() == table; });
    if (it == Tables.end()) return;
    std::unique_ptr<TDataTable> owned = std::move(*it);
    Tables.erase(it);
}

int32_t TDataDirectory::OpenSharedTable(const std::string& tableName, TDataTable*& table, bool exclusive,
                                        bool shareExclusive, bool inMemory, bool isTemporary,
                                        bool isQueryResult, bool isQuerySource) {
    table = nullptr;
    bool counts = isQueryResult == isQuerySource;
    TDataTable* found = FindTable(tableName, inMemory);
    if (found != nullptr && InUse(*found)) {
        // A table held only by an open transaction, with no cursor, may be opened exclusively.
        if ((found->Exclusive || exclusive) && found->OpenCount > 0 && !shareExclusive) return -DBE_OSEACCES;
        found->OpenTable();
        if (counts) found->IncUserCursorCount();
        table = found;
        return 0;
    }
    if (found != nullptr) {
        found->SetExclusive(exclusive);
        found->SetInMemory(inMemory);
        found->SetTemporary(isTemporary);
        found->OpenTable();
        if (counts) found->IncUserCursorCount();
        if (InTransaction) found->StartTransaction();
        table = found;
        return 0;
    }
    std::unique_ptr<TDataTable> created = NewTable(tableName, exclusive, inMemory, isTemporary);
    created->OpenTable();
    if (counts) created->IncUserCursorCount();
    if (InTransaction) created->StartTransaction();
    table = created.get();
    Tables.push_back(std::move(created));
    return 0;
}

int32_t TDataDirectory::CreateSharedTable(const std::string& tableName, bool inMemory, bool isTemporary,
                                          const TTableDefinition& definition) {
    TDataTable* found = FindTable(tableName, inMemory);
    if (found != nullptr && InUse(*found)) return -DBE_OSEACCES;
    if (found != nullptr) {
        found->SetExclusive(true);
        found->SetInMemory(inMemory);
        found->SetTemporary(isTemporary);
        found->CreateTable(definition);
        return 0;
    }
    std::unique_ptr<TDataTable> created = NewTable(tableName, true, inMemory, isTemporary);
    created->CreateTable(definition);
    Tables.push_back(std::move(created));
    return 0;
}

int32_t TDataDirectory::ReleaseSharedTable(TDataTable* table, bool discard, bool isQueryResult,
                                           bool isQuerySource) {
    auto it = std::find_if(Tables.begin(), Tables.end(), [&](auto& t) { return t.get() == table; });
    if (it == Tables.end()) return -DBE_OSENOENT;
    std::exception_ptr failure;
    if (table->OpenCount > 0) {
        try {
            table->CloseTable(discard);
        } catch (...) {
            // The files are closed whatever the failure; the registry still follows the count.
            failure = std::current_exception();
        }
    }
    if (table->OpenCount == 0 && !table->InTransaction)
        FreeTable(table);
    else if (isQueryResult == isQuerySource)
        table->DecUserCursorCount();
    if (failure) std::rethrow_exception(failure);
    return 0;
}

int32_t TDataDirectory::RenameTableFiles(const std::string& tableName, const std::string& newName,
                                         bool inMemory, bool asBackup) {
    TDataTable* found = FindTable(tableName, inMemory);
    if (found != nullptr && found->OpenCount > 0) return -DBE_OSEACCES;
    if (found != nullptr) {
        found->RenameTable(newName, asBackup);
        return 0;
    }
    std::unique_ptr<TDataTable> temporary = NewTable(tableName, false, inMemory, false);
    temporary->RenameTable(newName, asBackup);
    return 0;
}

int32_t TDataDirectory::DeleteTableFiles(const std::string& tableName, bool inMemory) {
    TDataTable* found = FindTable(tableName, inMemory);
    if (found != nullptr && found->OpenCount > 0) return -DBE_OSEACCES;
    if (found != nullptr) {
        found->DeleteTable();
        FreeTable(found);
        return 0;
    }
    std::unique_ptr<TDataTable> temporary = NewTable(tableName, false, inMemory, false);
    temporary->DeleteTable();
    return 0;
}

bool TDataDirectory::TableExists(const std::string& tableName, bool inMemory) {
    if (FindTable(tableName, inMemory) != nullptr) return true;
    if (OnServer()) return Session->RemoteTableExists(ServerHandle, NormalisedTableName(tableName), inMemory);
    TFileList* list = EngineFileList();
    if (list == nullptr) RaiseEngineError(DBE_NOTINITIALIZED, {}, {}, {}, {});
    return list->FileExists(Directory + NormalisedTableName(tableName), inMemory);
}

std::string TDataDirectory::GetTempTableName(bool inMemory) {
    // The id as the system's 32-bit signed value; its magnitude is what the name shows.
    int64_t id = static_cast<int32_t>(TempNameThreadId());
    std::string prefix = std::to_string(std::llabs(id)).substr(0, 5);
    for (uint32_t n = 0; n <= 0xFFFF; ++n) {
        std::string candidate = prefix + std::to_string(n) + ".DAT";
        if (!TableExists(candidate, inMemory)) return candidate;
    }
    RaiseEngineError(DBE_OSEACCES, {}, {}, GetDatabaseName(), prefix);
}

void TDataDirectory::StartTransaction(bool /*localOnly*/) {
    if (InTransaction) return;
    try {
        for (auto& t : Tables) t->StartTransaction();
    } catch (...) {
        for (auto& t : Tables) {
            try {
                t->Rollback();
            } catch (...) {
            }
        }
        throw;
    }
    InTransaction = true;
}

void TDataDirectory::Commit(bool endTransaction, bool forceFlush, bool /*localOnly*/) {
    std::exception_ptr failure;
    try {
        for (size_t i = Tables.size(); i-- > 0;) Tables[i]->CommitLock();
        for (size_t i = Tables.size(); i-- > 0;) Tables[i]->CommitWrite(endTransaction, forceFlush);
    } catch (...) {
        failure = std::current_exception();
    }
    // Whatever the writes did, the transaction mark ends and unused tables go.
    for (size_t i = Tables.size(); i-- > 0;) {
        TDataTable* t = Tables[i].get();
        try {
            t->CommitEnd(endTransaction);
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
        if (t->OpenCount == 0) {
            try {
                ReleaseSharedTable(t, true, false, false);
            } catch (...) {
                if (!failure) failure = std::current_exception();
            }
        }
    }
    InTransaction = false;
    if (failure) {
        // A failed commit may have put the files back and read the caches again: cursors catch
        // up as after a rollback.
        NotifyRolledBack();
        std::rethrow_exception(failure);
    }
}

void TDataDirectory::NotifyRolledBack() noexcept {
    // A copy, since a cursor may close meanwhile.
    std::vector<TDirectoryUser*> users = Users;
    for (TDirectoryUser* user : users)
        if (std::find(Users.begin(), Users.end(), user) != Users.end()) user->TransactionRolledBack();
}

void TDataDirectory::Rollback(bool /*localOnly*/) {
    std::exception_ptr failure;
    for (size_t i = Tables.size(); i-- > 0;) {
        TDataTable* t = Tables[i].get();
        try {
            t->Rollback();
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
        if (t->OpenCount == 0) {
            try {
                ReleaseSharedTable(t, true, false, false);
            } catch (...) {
                if (!failure) failure = std::current_exception();
            }
        }
    }
    InTransaction = false;
    // Cursors catch up with the headers read again at once (their record counts, say), not at
    // their next operation.
    NotifyRolledBack();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace dbengine
