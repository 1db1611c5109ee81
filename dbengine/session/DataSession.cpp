#include "dbengine/session/DataSession.h"

#include <algorithm>

#include "dbengine/os/OSLayer.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/EngineUtils.h"

namespace dbengine {

namespace {

// The server version from which the lock protocol is one of the session parameters.
constexpr uint32_t LockProtocolServerVersion = 30400;

const char MemoryDatabaseName[] = "Memory";

}  // namespace

TDataSession::TDataSession(bool serverSide) : ServerSide(serverSide) {
    StartDirectory = AddTrailingBackslash(QueryCurrentDirectory());
    PrivateDir = QueryTempDirectory();
}

TDataSession::~TDataSession() {
    if (Remote) {
        if (RemoteLink != nullptr) {
            try {
                RemoteLink->Disconnect();
            } catch (...) {
                // A failed disconnect must not keep the session alive.
            }
        }
    } else {
        RemoveAllPasswords();
    }
    CloseAllDataDirectories();
}

bool TDataSession::IsConnected() const {
    return RemoteLink != nullptr && RemoteLink->IsConnected();
}

TRemoteSessionLink& TDataSession::Link() {
    if (RemoteLink == nullptr) RaiseEngineError(DBE_REMOTECONNECT, {}, {}, {}, {});
    return *RemoteLink;
}

bool TDataSession::RemoteTableExists(uint32_t serverHandle, const std::string& tableName, bool inMemory) {
    Link().CheckConnection();
    return Link().TableExists(serverHandle, tableName, inMemory);
}

void TDataSession::ResendParams(uint32_t minServerVersion) {
    if (Remote && RemoteLink != nullptr && RemoteLink->IsLoggedIn() &&
        RemoteLink->ServerVersion() >= minServerVersion)
        RemoteLink->SendSessionParams();
}

void TDataSession::SetProgressSteps(uint16_t value) {
    if (value == ProgressSteps) return;
    ProgressSteps = value;
    ResendParams();
}

void TDataSession::SetForceBufferFlush(bool value) {
    if (value == ForceBufferFlush) return;
    ForceBufferFlush = value;
    ResendParams();
}

void TDataSession::SetStrictChangeDetection(bool value) {
    if (value == StrictChangeDetection) return;
    StrictChangeDetection = value;
    ResendParams();
}

void TDataSession::SetLockRetryCount(uint8_t value) {
    if (value == LockRetryCount) return;
    LockRetryCount = value;
    ResendParams();
}

void TDataSession::SetLockWaitTime(uint16_t value) {
    if (value == LockWaitTime) return;
    LockWaitTime = value;
    ResendParams();
}

void TDataSession::SetLockProtocol(TLockProtocol value) {
    if (value == LockProtocol) return;
    LockProtocol = value;
    ResendParams(LockProtocolServerVersion);
}

void TDataSession::SetRemote(bool value) {
    if (!IsConnected()) Remote = value;
}

void TDataSession::SetLANMode(bool value) {
    if (!IsConnected()) LANMode = value;
}

void TDataSession::SetPrivateDir(const std::string& dir) {
    if (dir.empty()) {
        PrivateDir.clear();
        return;
    }
    std::string value = AddTrailingBackslash(dir);
    if (value != PrivateDir) PrivateDir = value;
}

void TDataSession::AddPassword(const std::string& password) {
    if (Remote) {
        Link().AddPassword(password);
        return;
    }
    if (password.empty() || HasPassword(password)) return;
    Passwords.push_back(password.substr(0, ShortStringMax));
}

void TDataSession::RemovePassword(const std::string& password) {
    if (Remote) {
        Link().RemovePassword(password);
        return;
    }
    auto it = std::find_if(Passwords.begin(), Passwords.end(),
                           [&](const std::string& p) { return SameCaseText(p, password); });
    if (it != Passwords.end()) Passwords.erase(it);
}

void TDataSession::RemoveAllPasswords() {
    if (Remote) {
        Link().RemoveAllPasswords();
        return;
    }
    while (!Passwords.empty()) Passwords.pop_back();
}

bool TDataSession::HasPassword(const std::string& password) const {
    return std::any_of(Passwords.begin(), Passwords.end(),
                       [&](const std::string& p) { return SameCaseText(p, password); });
}

TDataDirectory* TDataSession::OpenDataDirectory(const std::string& databaseName, const std::string& directory,
                                                bool noRemoteRequest) {
    TDataDirectory* found = nullptr;
    std::string folder;
    if (Remote) {
        std::string name = TrimText(databaseName);
        for (auto& db : Databases)
            if (SameNameText(TrimText(db->DatabaseName), name)) found = db.get();
    } else {
        bool memory = SameNameText(TrimText(databaseName), MemoryDatabaseName);
        folder = AddTrailingBackslash(directory);
        if (folder.empty() && !memory) folder = StartDirectory;
        for (auto& db : Databases)
            if (SameNameText(TrimText(db->Directory), folder)) {
                found = db.get();
                break;
            }
    }
    if (found != nullptr) {
        ++found->UseCount;
        return found;
    }
    auto db = std::make_unique<TDataDirectory>(this);
    if (Remote && !noRemoteRequest) {
        Link().CheckConnection();
        db->ServerHandle = Link().OpenDataDir(databaseName);
    }
    db->DatabaseName = databaseName.substr(0, ShortStringMax);
    db->Directory = folder;
    db->UseCount = 1;
    Databases.push_back(std::move(db));
    return Databases.back().get();
}

void TDataSession::CloseDataDirectory(TDataDirectory* directory, bool noRemoteRequest) {
    if (directory == nullptr) return;
    auto it =
        std::find_if(Databases.begin(), Databases.end(), [&](auto& db) { return db.get() == directory; });
    if (it == Databases.end() || directory->UseCount == 0) return;
    if (--directory->UseCount > 0) return;
    if (Remote && !noRemoteRequest && RemoteLink != nullptr) {
        try {
            RemoteLink->CloseDataDir(directory->ServerHandle);
        } catch (...) {
            // The database is freed all the same.
        }
    }
    // Removed from the list first so that the database's destructor never sees itself listed.
    std::unique_ptr<TDataDirectory> owned = std::move(*it);
    Databases.erase(it);
}

void TDataSession::CloseAllDataDirectories() {
    while (!Databases.empty()) {
        std::unique_ptr<TDataDirectory> owned = std::move(Databases.back());
        Databases.pop_back();
    }
}

void TDataSession::DoGetMemoryDirectory(std::string& directory, int maxLength) {
    if (OnGetMemoryDirectory) OnGetMemoryDirectory(directory, maxLength);
}

void TDataSession::DoGetDatabaseDirectory(const std::string& databaseName, std::string& directory,
                                          int maxLength) {
    if (OnGetDatabaseDirectory) OnGetDatabaseDirectory(databaseName, directory, maxLength);
}

void TDataSession::DoGetDatabaseFlag(const std::string& databaseName, bool& flag) {
    if (OnGetDatabaseFlag) OnGetDatabaseFlag(databaseName, flag);
}

void TDataSession::DoDirectoryOpened(TDataDirectory* database, int reason) {
    if (OnDirectoryOpened) OnDirectoryOpened(database, reason);
}

}  // namespace dbengine
