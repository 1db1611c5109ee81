#pragma once
// Sessions and databases of the dataset components.
//
// TDbSession stands for one engine session: it starts the engine, hands the session-wide
// settings to it, keeps the table passwords and answers the engine's password requests, and owns
// the databases opened through it. TDbDatabase stands for one engine database: a folder of tables
// or the in-memory database "Memory". TDbSessionList is the process-wide list of sessions; its
// first session, "Default", is made when the list is first used and starts the engine on first
// use.
//
// One process-wide lock serialises session starts and stops, password and setting changes of
// active sessions and the opening of databases; nested use on one thread is counted per session.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/Component.h"

namespace dbengine {
class TDataSession;
class TDataDirectory;
class TRemoteClient;
}  // namespace dbengine

namespace dbsql {

class TDbSession;
class TDbDatabase;
class TDbDBDataSet;

// ---- Messages of the session and database components
namespace dbsmsg {
inline constexpr const char* SInvalidSessionName = "Session name %s is not valid.";
inline constexpr const char* SSessionActive = "Cannot perform this operation on an active session.";
inline constexpr const char* SAutoSessionActive = "Cannot perform this operation on the active auto-session.";
inline constexpr const char* SAutoSessionExclusive =
    "The active auto-session can be the only active session.";
inline constexpr const char* SAutoSessionExists = "This auto-session already exists.";
inline constexpr const char* SDuplicateSessionName = "Session name %s already exists.";
inline constexpr const char* SSessionNameMissing = "Session name is missing.";
inline constexpr const char* SDatabaseClosed = "Cannot perform this operation on a closed database.";
inline constexpr const char* SDatabaseOpen = "Cannot perform this operation on an open database.";
inline constexpr const char* SDatabaseNameMissing = "Database name is missing.";
inline constexpr const char* SInvalidDatabaseName = "Database name %s is not valid.";
inline constexpr const char* SDuplicateDatabaseName = "Database name %s already exists.";
inline constexpr const char* SNotInTransaction = "Database %s has no active transaction.";
inline constexpr const char* SInTransaction = "Database %s already has an active transaction.";
}  // namespace dbsmsg

enum TLockProtocol { lpPessimistic, lpOptimistic };
enum TSessionType { stLocal, stRemote };
enum TRemoteType { rtLAN, rtInternet };

using TDbPasswordEvent = std::function<void(TDbSession* Sender, bool& Continue)>;
using TLoginEvent =
    std::function<void(TDbSession* Sender, std::string& UserName, std::string& Password, bool& Continue)>;
using TRemoteTraceEvent = std::function<void(TDbSession* Sender, const std::string& Message)>;
using TNotifyEvent = std::function<void(framework::TObject* Sender)>;

class TDbSessionList {
public:
    TDbSessionList();
    ~TDbSessionList();
    TDbSessionList(const TDbSessionList&) = delete;
    TDbSessionList& operator=(const TDbSessionList&) = delete;

    // The first session added becomes the default session.
    void AddSession(TDbSession* session);
    void RemoveSession(TDbSession* session);
    // Empty name: the default session; otherwise the session of that name (no regard to case).
    TDbSession* FindSession(const std::string& name) const;
    // As FindSession; none raises "Session name %s is not valid.".
    TDbSession* GetSession(const std::string& name) const;
    void FreeAll();
    int Count() const { return int(FSessions.size()); }
    TDbSession* Sessions(int index) const { return FSessions[size_t(index)]; }
    TDbSession* DefaultSession() const { return FSessions.empty() ? nullptr : FSessions.front(); }

    // Automatic session numbers in use.
    std::vector<bool> AutoSessionNumbers;

private:
    std::vector<TDbSession*> FSessions;  // in creation order
};

// The process's session list, made with its default session "Default" on first use.
TDbSessionList& Sessions();
// The default session.
TDbSession& DefaultSession();

class TDbSession : public framework::TComponent {
public:
    explicit TDbSession(framework::TComponent* AOwner);
    ~TDbSession() override;

    static constexpr const char* EngineVersion = "3.24";

    bool Active() const { return FEngineSession != nullptr; }
    void SetActive(bool value);
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    void Loaded() override;

    const std::string& SessionName() const { return FSessionName; }
    void SetSessionName(const std::string& name);
    bool IsDefault() const { return FIsDefault; }
    // An automatic session name: the component's name and a number unique in the process
    // ("Session1_1"), handed on to the datasets and databases of the same owner.
    bool AutoSessionName() const { return FAutoSessionName; }
    void SetAutoSessionName(bool value);
    int32_t AutoSessionNumber() const { return FAutoSessionNumber; }
    void SetName(const std::string& NewName) override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

    // ---- settings
    bool ForceBufferFlush() const { return FForceBufferFlush; }
    void SetForceBufferFlush(bool value);
    uint8_t LockRetryCount() const { return FLockRetryCount; }
    void SetLockRetryCount(uint8_t value);
    uint16_t LockWaitTime() const { return FLockWaitTime; }
    void SetLockWaitTime(uint16_t value);
    TLockProtocol LockProtocol() const { return FLockProtocol; }
    void SetLockProtocol(TLockProtocol value);
    bool StrictChangeDetection() const { return FStrictChangeDetection; }
    void SetStrictChangeDetection(bool value);
    uint16_t ProgressSteps() const { return FProgressSteps; }
    // Values above 100 are ignored.
    void SetProgressSteps(uint16_t value);
    const std::string& PrivateDir() const { return FPrivateDir; }
    void SetPrivateDir(const std::string& value);
    bool KeepConnections = true;

    // ---- remote settings (only while inactive)
    TSessionType SessionType() const { return FSessionType; }
    void SetSessionType(TSessionType value);
    TRemoteType RemoteType() const { return FRemoteType; }
    void SetRemoteType(TRemoteType value);
    const std::string& RemoteHost() const { return FRemoteHost; }
    void SetRemoteHost(const std::string& value);
    const std::string& RemoteAddress() const { return FRemoteAddress; }
    void SetRemoteAddress(const std::string& value);
    uint16_t RemotePort() const { return FRemotePort; }
    void SetRemotePort(uint16_t value);
    const std::string& RemoteService() const { return FRemoteService; }
    void SetRemoteService(const std::string& value);
    const std::string& RemoteUser() const { return FRemoteUser; }
    void SetRemoteUser(const std::string& value);
    const std::string& RemotePassword() const { return FRemotePassword; }
    void SetRemotePassword(const std::string& value);
    bool RemoteTrace() const { return FRemoteTrace; }
    void SetRemoteTrace(bool value);

    // ---- events
    TDbPasswordEvent OnPassword;
    TNotifyEvent OnStartup;
    TLoginEvent OnRemoteLogin;
    TRemoteTraceEvent OnRemoteTrace;

    // ---- passwords (the session is started when needed)
    void AddPassword(const std::string& password);
    void RemovePassword(const std::string& password);
    void RemoveAllPasswords();
    // What the engine asks when a table's password is not among the session's: true asks it to
    // look again.
    bool PasswordCallback();
    // Answers the remote login request: the names may be changed; true goes on.
    bool RemoteLoginCallback(std::string& userName, std::string& password);

    // ---- databases
    TDbDatabase* FindDatabase(const std::string& name, framework::TComponent* owner) const;
    TDbDatabase* OpenDatabase(const std::string& name, framework::TComponent* owner = nullptr);
    void CloseDatabase(TDbDatabase* database);
    int DatabaseCount() const { return int(FDatabases.size()); }
    TDbDatabase* Databases(int index) const { return FDatabases[size_t(index)]; }

    // ---- the process-wide lock: makes this session's engine session current (starting it)
    void LockSession();
    void UnlockSession();
    dbengine::TDataSession* EngineSession() const { return FEngineSession; }

private:
    friend class TDbDatabase;
    friend class TDbSessionList;
    void StartSession(bool value);
    void Start();
    void Stop();
    void StartRemote();
    void CheckInactive() const;
    void MakeCurrent();
    void ApplyAutoName();
    void HandOnSessionName();
    template <class T, class Apply>
    void ChangeSetting(T& field, T value, Apply apply);

    dbengine::TDataSession* FEngineSession = nullptr;
    std::unique_ptr<dbengine::TDataSession> FOwnSession;  // a session other than the default's
    dbengine::TRemoteClient* FRemoteClient = nullptr;
    std::vector<TDbDatabase*> FDatabases;
    bool FActiveWhenLoaded = false;
    bool FIsDefault = false;
    bool FAutoSessionName = false;
    bool FRenamingAllowed = false;
    int32_t FAutoSessionNumber = -1;
    int32_t FLockDepth = 0;
    std::string FSessionName;
    bool FForceBufferFlush = false;
    uint8_t FLockRetryCount = 15;
    uint16_t FLockWaitTime = 100;
    TLockProtocol FLockProtocol = lpPessimistic;
    bool FStrictChangeDetection = false;
    uint16_t FProgressSteps = 20;
    std::string FPrivateDir;
    TSessionType FSessionType = stLocal;
    TRemoteType FRemoteType = rtLAN;
    std::string FRemoteHost;
    std::string FRemoteAddress = "127.0.0.1";
    uint16_t FRemotePort = 12005;
    std::string FRemoteService;
    std::string FRemoteUser;
    std::string FRemotePassword;
    bool FRemoteTrace = false;
    // Buffer sizes handed to the engine session when it starts.
    static constexpr int32_t BufferSizes[5] = {16384, 8192, 16384, 32768, 8192};
};

class TDbDatabase : public framework::TComponent {
public:
    explicit TDbDatabase(framework::TComponent* AOwner);
    ~TDbDatabase() override;

    static constexpr const char* EngineVersion = "3.24";

    void Open();
    void Close();
    bool Connected() const { return FHandle != nullptr; }
    void SetConnected(bool value);
    void Loaded() override;
    void Notification(framework::TComponent* AComponent, framework::TOperation Operation) override;

    const std::string& DatabaseName() const { return FDatabaseName; }
    void SetDatabaseName(const std::string& name);
    const std::string& Directory() const { return FDirectory; }
    void SetDirectory(const std::string& path);
    const std::string& RemoteDatabase() const { return FRemoteDatabase; }
    void SetRemoteDatabase(const std::string& name);
    const std::string& SessionName() const { return FSessionName; }
    void SetSessionName(const std::string& name);
    bool KeepConnection() const { return FKeepConnection; }
    void SetKeepConnection(bool value);
    bool HandleShared = false;
    TNotifyEvent BeforeConnect;

    bool Temporary() const { return FTemporary; }
    int32_t UserCount() const { return FUserCount; }
    TDbSession* Session() const { return FSession; }
    dbengine::TDataDirectory* Handle() const { return FHandle; }
    bool InTransaction() const;

    virtual void StartTransaction();
    virtual void Commit(bool forceFlush = true);
    virtual void Rollback();

    // The datasets holding this database (they register themselves).
    void AddDataSet(TDbDBDataSet* dataSet);
    void RemoveDataSet(TDbDBDataSet* dataSet);
    int DataSetCount() const { return int(FDataSets.size()); }

private:
    friend class TDbSession;
    void BindSession(bool raise);
    void CheckDuplicate(const std::string& name);
    void CheckClosed() const;
    void CheckOpen() const;
    std::vector<TDbDBDataSet*> FDataSets;
    bool FKeepConnection = true;
    bool FTemporary = false;
    bool FConnectedWhenLoaded = false;
    bool FHandleBorrowed = false;
    bool FDestroying = false;
    int32_t FUserCount = 0;
    dbengine::TDataDirectory* FHandle = nullptr;
    TDbSession* FSession = nullptr;
    std::string FSessionName;
    std::string FDatabaseName;
    std::string FDirectory;
    std::string FRemoteDatabase;
};

}  // namespace dbsql
