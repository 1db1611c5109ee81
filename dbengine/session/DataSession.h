#pragma once
// An engine session: the settings that govern locking, flushing, change detection, progress and
// buffering for everything opened through it, its folder for temporary files, the table
// passwords the user has supplied, and its open databases.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/util/EngineSettings.h"
#include "framework/core/Object.h"

namespace dbengine {

class TDataDirectory;

// What a remote session asks of its connection to a database server. The client protocol
// supplies the implementation; a local session has none.
class TRemoteSessionLink {
public:
    virtual ~TRemoteSessionLink() = default;
    virtual bool IsConnected() const = 0;
    virtual bool IsLoggedIn() const = 0;
    virtual uint32_t ServerVersion() const = 0;
    // Raises the connection errors when the connection is not usable.
    virtual void CheckConnection() = 0;
    virtual void Disconnect() = 0;
    virtual void SendSessionParams() = 0;
    virtual void AddPassword(const std::string& password) = 0;
    virtual void RemovePassword(const std::string& password) = 0;
    virtual void RemoveAllPasswords() = 0;
    // Opens the named database on the server and returns its handle there.
    virtual uint32_t OpenDataDir(const std::string& databaseName) = 0;
    virtual void CloseDataDir(uint32_t serverHandle) = 0;
    // Whether the database with the server's handle has the table (name normalised to ".DAT").
    virtual bool TableExists(uint32_t serverHandle, const std::string& tableName, bool inMemory) = 0;
};

// The settings (TEngineSettings) are read directly; change them through the setters below.
class TDataSession : public framework::TObject, public TEngineSettings {
public:
    explicit TDataSession(bool serverSide);
    ~TDataSession() override;
    TDataSession(const TDataSession&) = delete;
    TDataSession& operator=(const TDataSession&) = delete;

    // Setters: nothing when unchanged; a logged-in remote session sends its parameters again.
    void SetProgressSteps(uint16_t value);
    void SetForceBufferFlush(bool value);
    void SetStrictChangeDetection(bool value);
    void SetLockRetryCount(uint8_t value);
    void SetLockWaitTime(uint16_t value);
    void SetLockProtocol(TLockProtocol value);
    // Both are ignored while connected.
    void SetRemote(bool value);
    void SetLANMode(bool value);

    // Empty clears PrivateDir; otherwise trimmed, with a trailing backslash.
    void SetPrivateDir(const std::string& dir);

    void AddPassword(const std::string& password);
    void RemovePassword(const std::string& password);
    void RemoveAllPasswords();
    bool HasPassword(const std::string& password) const;

    // A database is found by its folder (locally) or by its name (remote); a second open of the
    // same database raises its use count.
    TDataDirectory* OpenDataDirectory(const std::string& databaseName, const std::string& directory,
                                      bool noRemoteRequest);
    void CloseDataDirectory(TDataDirectory* directory, bool noRemoteRequest);
    // Asks the server whether a remote database has the table.
    bool RemoteTableExists(uint32_t serverHandle, const std::string& tableName, bool inMemory);
    void CloseAllDataDirectories();

    // Hooks of a server-side session; nothing installs them in this system.
    std::function<void(std::string& directory, int maxLength)> OnGetMemoryDirectory;
    std::function<void(const std::string& databaseName, std::string& directory, int maxLength)>
        OnGetDatabaseDirectory;
    std::function<void(const std::string& databaseName, bool& flag)> OnGetDatabaseFlag;
    std::function<void(TDataDirectory* database, int reason)> OnDirectoryOpened;
    void DoGetMemoryDirectory(std::string& directory, int maxLength = 255);
    void DoGetDatabaseDirectory(const std::string& databaseName, std::string& directory, int maxLength = 255);
    void DoGetDatabaseFlag(const std::string& databaseName, bool& flag);
    void DoDirectoryOpened(TDataDirectory* database, int reason);

    const bool ServerSide;
    std::vector<std::unique_ptr<TDataDirectory>> Databases;
    std::vector<std::string> Passwords;
    // The connection of a remote session; installed by the client protocol.
    std::unique_ptr<TRemoteSessionLink> RemoteLink;

private:
    bool IsConnected() const;
    void ResendParams(uint32_t minServerVersion = 0);
    TRemoteSessionLink& Link();
};

}  // namespace dbengine
