#include "dbsql/components/DbSession.h"

#include <algorithm>
#include <mutex>

#include "dbengine/remote/RemoteClient.h"
#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"
#include "dbengine/session/Engine.h"
#include "dbsql/components/DbDataSet.h"
#include "dbsql/components/DbPasswordDialog.h"
#include "framework/core/Exception.h"
#include "framework/core/SysUtils.h"
#include "framework/data/DataSet.h"
#include "framework/data/RemoteLogin.h"

namespace dbsql {

using framework::DatabaseError;
using framework::FmtMsg;
using framework::SameText;

namespace {

constexpr size_t ShortMax = 255;

std::recursive_mutex& SessionLock() {
    static std::recursive_mutex lock;
    return lock;
}

std::string Short(const std::string& text) {
    return text.substr(0, std::min(text.size(), ShortMax));
}

std::string Backslashed(const std::string& text) {
    std::string out = Short(text);
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

bool IsMemoryName(const std::string& name) {
    return SameText(name, "Memory");
}

bool IsPathName(const std::string& name) {
    return name.find(':') != std::string::npos || name.find('\\') != std::string::npos;
}

// Holds the session lock of a session for a scope.
class TSessionLockScope {
public:
    explicit TSessionLockScope(TDbSession& session) : FSession(session) { FSession.LockSession(); }
    ~TSessionLockScope() { FSession.UnlockSession(); }
    TSessionLockScope(const TSessionLockScope&) = delete;
    TSessionLockScope& operator=(const TSessionLockScope&) = delete;

private:
    TDbSession& FSession;
};

// The process's list; it stays reachable until the process ends.
TDbSessionList* SessionList = nullptr;

}  // namespace

// ---- TDbSessionList ------------------------------------------------------------------------------

TDbSessionList::TDbSessionList() = default;

TDbSessionList::~TDbSessionList() {
    FreeAll();
}

void TDbSessionList::AddSession(TDbSession* session) {
    std::lock_guard<std::recursive_mutex> guard(SessionLock());
    session->FIsDefault = FSessions.empty();
    FSessions.push_back(session);
}

void TDbSessionList::RemoveSession(TDbSession* session) {
    std::lock_guard<std::recursive_mutex> guard(SessionLock());
    FSessions.erase(std::remove(FSessions.begin(), FSessions.end(), session), FSessions.end());
}

TDbSession* TDbSessionList::FindSession(const std::string& name) const {
    if (name.empty()) return DefaultSession();
    for (auto* s : FSessions)
        if (SameText(s->SessionName(), name)) return s;
    return nullptr;
}

TDbSession* TDbSessionList::GetSession(const std::string& name) const {
    TDbSession* s = FindSession(name);
    if (s == nullptr) DatabaseError(FmtMsg(dbsmsg::SInvalidSessionName, {name}));
    return s;
}

void TDbSessionList::FreeAll() {
    // The default session goes last: it finalises the engine.
    while (!FSessions.empty()) delete FSessions.back();
}

TDbSessionList& Sessions() {
    if (SessionList == nullptr) {
        std::lock_guard<std::recursive_mutex> guard(SessionLock());
        if (SessionList == nullptr) {
            SessionList = new TDbSessionList;
            auto* session = new TDbSession(nullptr);
            session->SetSessionName("Default");
        }
    }
    return *SessionList;
}

TDbSession& DefaultSession() {
    return *Sessions().DefaultSession();
}

// ---- TDbSession ----------------------------------------------------------------------------------

TDbSession::TDbSession(framework::TComponent* AOwner) : TComponent(AOwner) {
    if (AOwner != nullptr)
        for (int i = 0; i < AOwner->ComponentCount(); ++i) {
            auto* other = dynamic_cast<TDbSession*>(AOwner->Components(i));
            if (other != nullptr && other != this && other->FAutoSessionName)
                DatabaseError(dbsmsg::SAutoSessionExists);
        }
    // The first use of the list makes the default session, which comes through here first.
    Sessions().AddSession(this);
}

void TDbSession::SetAutoSessionName(bool value) {
    if (value == FAutoSessionName) return;
    if (value) {
        CheckInactive();
        if (Owner() != nullptr)
            for (int i = 0; i < Owner()->ComponentCount(); ++i) {
                auto* other = dynamic_cast<TDbSession*>(Owner()->Components(i));
                if (other != nullptr && other != this) DatabaseError(dbsmsg::SAutoSessionExclusive);
            }
        {
            std::lock_guard<std::recursive_mutex> guard(SessionLock());
            auto& bits = Sessions().AutoSessionNumbers;
            size_t n = 0;
            while (n < bits.size() && bits[n]) ++n;
            if (n == bits.size()) bits.push_back(false);
            bits[n] = true;
            FAutoSessionNumber = int32_t(n);
        }
        FAutoSessionName = true;
        ApplyAutoName();
    } else {
        if (FAutoSessionNumber >= 0) {
            std::lock_guard<std::recursive_mutex> guard(SessionLock());
            Sessions().AutoSessionNumbers[size_t(FAutoSessionNumber)] = false;
            FAutoSessionNumber = -1;
        }
        FAutoSessionName = false;
    }
}

void TDbSession::ApplyAutoName() {
    FRenamingAllowed = true;
    try {
        SetSessionName(Name() + "_" + std::to_string(FAutoSessionNumber + 1));
    } catch (...) {
        FRenamingAllowed = false;
        throw;
    }
    FRenamingAllowed = false;
    HandOnSessionName();
}

void TDbSession::HandOnSessionName() {
    if (Owner() == nullptr) return;
    for (int i = 0; i < Owner()->ComponentCount(); ++i) {
        TComponent* c = Owner()->Components(i);
        if (auto* ds = dynamic_cast<TDbDBDataSet*>(c)) {
            if (!SameText(ds->SessionName(), FSessionName)) ds->SetSessionName(FSessionName);
        } else if (auto* db = dynamic_cast<TDbDatabase*>(c)) {
            if (!SameText(db->SessionName(), FSessionName)) db->SetSessionName(FSessionName);
        }
    }
}

void TDbSession::SetName(const std::string& NewName) {
    TComponent::SetName(NewName);
    if (FAutoSessionName) ApplyAutoName();
}

void TDbSession::Notification(framework::TComponent* AComponent, framework::TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation != framework::opInsert || !FAutoSessionName || AComponent->Owner() != Owner()) return;
    if (auto* ds = dynamic_cast<TDbDBDataSet*>(AComponent))
        ds->SetSessionName(FSessionName);
    else if (auto* db = dynamic_cast<TDbDatabase*>(AComponent))
        db->SetSessionName(FSessionName);
}

TDbSession::~TDbSession() {
    try {
        SetActive(false);
        SetAutoSessionName(false);
    } catch (...) {
    }
    Sessions().RemoveSession(this);
}

void TDbSession::Loaded() {
    TComponent::Loaded();
    if (FAutoSessionName) HandOnSessionName();
    if (FActiveWhenLoaded) SetActive(true);
}

void TDbSession::SetActive(bool value) {
    if ((ComponentState() & framework::csLoading) != 0) {
        FActiveWhenLoaded = value;
        return;
    }
    if (value != Active()) StartSession(value);
}

void TDbSession::StartSession(bool value) {
    std::lock_guard<std::recursive_mutex> guard(SessionLock());
    if (value) {
        try {
            Start();
        } catch (...) {
            Stop();
            throw;
        }
    } else {
        Stop();
    }
}

void TDbSession::Start() {
    if (OnStartup) OnStartup(this);
    if (FSessionName.empty()) DatabaseError(dbsmsg::SSessionNameMissing);
    TDbSession& def = DefaultSession();
    if (&def != this) def.SetActive(true);
    if (FIsDefault) {
        dbengine::InitializeEngine();
        FEngineSession = dbengine::GetEngineSession();
    } else {
        dbengine::TDataSession* made = nullptr;
        dbengine::CreateEngineSession(made, false);
        FEngineSession = made;
    }
    auto* s = FEngineSession;
    s->SetPrivateDir(Short(FPrivateDir));
    s->SetStrictChangeDetection(FStrictChangeDetection);
    s->SetForceBufferFlush(FForceBufferFlush);
    s->SetLockRetryCount(FLockRetryCount);
    s->SetLockWaitTime(FLockWaitTime);
    s->SetLockProtocol(FLockProtocol == lpPessimistic ? dbengine::TLockProtocol::lpPessimistic
                                                      : dbengine::TLockProtocol::lpOptimistic);
    s->SetProgressSteps(FProgressSteps);
    s->DataBufferSize = BufferSizes[0];
    s->MaxDataBufferRecords = BufferSizes[1];
    s->IndexBufferSize = BufferSizes[2];
    s->BlobBufferSize = BufferSizes[3];
    s->MaxBlobBufferBlocks = BufferSizes[4];
    if (FSessionType == stRemote)
        StartRemote();
    else
        s->SetRemote(false);
}

void TDbSession::StartRemote() {
    auto* s = FEngineSession;
    s->SetLANMode(FRemoteType == rtLAN);
    FRemoteClient = &dbengine::InstallRemoteClient(*s);
    FRemoteClient->RemoteHost = Short(FRemoteHost);
    FRemoteClient->RemoteAddress = Short(FRemoteAddress);
    FRemoteClient->RemotePort = FRemotePort;
    FRemoteClient->RemoteService = Short(FRemoteService);
    FRemoteClient->RemoteTrace = FRemoteTrace;
    FRemoteClient->RemoteUser = Short(FRemoteUser);
    FRemoteClient->RemotePassword = Short(FRemotePassword);
    FRemoteClient->Connect();
    FRemoteClient->SetTraceCallback([this](const std::string& message) {
        if (OnRemoteTrace) OnRemoteTrace(this, message);
    });
    FRemoteClient->SetLoginCallback(
        [this](std::string& user, std::string& password) { return RemoteLoginCallback(user, password); });
    try {
        FRemoteClient->Login();
    } catch (...) {
        FRemoteClient->SetLoginCallback({});
        throw;
    }
    FRemoteClient->SetLoginCallback({});
    FRemoteClient->SendSessionParams();
}

bool TDbSession::RemoteLoginCallback(std::string& userName, std::string& password) {
    bool goOn = true;
    std::string user = userName, pass = password;
    if (OnRemoteLogin)
        OnRemoteLogin(this, user, pass, goOn);
    else
        goOn = framework::AskRemoteLogin(user, pass);
    userName = Short(user);
    password = Short(pass);
    return goOn;
}

void TDbSession::Stop() {
    if (FEngineSession == nullptr) return;
    dbengine::SetEngineSession(FEngineSession);
    for (size_t i = FDatabases.size(); i-- > 0;) {
        if (i >= FDatabases.size()) continue;
        TDbDatabase* db = FDatabases[i];
        if (db->Temporary())
            delete db;
        else
            db->Close();
    }
    if (FRemoteClient != nullptr) {
        try {
            FRemoteClient->Logout();
        } catch (...) {
        }
        FRemoteClient->SetTraceCallback({});
        FEngineSession->RemoteLink.reset();
        FRemoteClient = nullptr;
    }
    if (FIsDefault) {
        dbengine::FinalizeEngine();
    } else {
        dbengine::FreeEngineSession(FEngineSession);
        if (DefaultSession().FEngineSession != nullptr)
            dbengine::SetEngineSession(DefaultSession().FEngineSession);
    }
    FEngineSession = nullptr;
}

void TDbSession::LockSession() {
    if (FLockDepth > 0) {
        ++FLockDepth;
        return;
    }
    SessionLock().lock();
    FLockDepth = 1;
    try {
        MakeCurrent();
    } catch (...) {
        if (--FLockDepth == 0) SessionLock().unlock();
        throw;
    }
}

void TDbSession::UnlockSession() {
    if (--FLockDepth == 0) SessionLock().unlock();
}

void TDbSession::MakeCurrent() {
    if (!Active()) SetActive(true);
    dbengine::SetEngineSession(FEngineSession);
}

void TDbSession::CheckInactive() const {
    if (Active()) DatabaseError(dbsmsg::SSessionActive);
}

void TDbSession::SetSessionName(const std::string& name) {
    if (FAutoSessionName && !FRenamingAllowed) DatabaseError(dbsmsg::SAutoSessionActive);
    CheckInactive();
    if (!name.empty()) {
        TDbSession* other = Sessions().FindSession(name);
        if (other != nullptr && other != this) DatabaseError(FmtMsg(dbsmsg::SDuplicateSessionName, {name}));
    }
    FSessionName = name;
}

template <class T, class Apply>
void TDbSession::ChangeSetting(T& field, T value, Apply apply) {
    if (Active()) {
        TSessionLockScope scope(*this);
        if (field != value) {
            field = value;
            apply(*FEngineSession);
        }
    } else {
        field = value;
    }
}

void TDbSession::SetForceBufferFlush(bool value) {
    ChangeSetting(FForceBufferFlush, value, [&](dbengine::TDataSession& s) { s.SetForceBufferFlush(value); });
}

void TDbSession::SetLockRetryCount(uint8_t value) {
    ChangeSetting(FLockRetryCount, value, [&](dbengine::TDataSession& s) { s.SetLockRetryCount(value); });
}

void TDbSession::SetLockWaitTime(uint16_t value) {
    ChangeSetting(FLockWaitTime, value, [&](dbengine::TDataSession& s) { s.SetLockWaitTime(value); });
}

void TDbSession::SetLockProtocol(TLockProtocol value) {
    ChangeSetting(FLockProtocol, value, [&](dbengine::TDataSession& s) {
        s.SetLockProtocol(value == lpPessimistic ? dbengine::TLockProtocol::lpPessimistic
                                                 : dbengine::TLockProtocol::lpOptimistic);
    });
}

void TDbSession::SetStrictChangeDetection(bool value) {
    ChangeSetting(FStrictChangeDetection, value,
                  [&](dbengine::TDataSession& s) { s.SetStrictChangeDetection(value); });
}

void TDbSession::SetProgressSteps(uint16_t value) {
    if (value > 100) return;
    ChangeSetting(FProgressSteps, value, [&](dbengine::TDataSession& s) { s.SetProgressSteps(value); });
}

void TDbSession::SetPrivateDir(const std::string& value) {
    ChangeSetting(FPrivateDir, value, [&](dbengine::TDataSession& s) { s.SetPrivateDir(Short(value)); });
}

void TDbSession::SetRemoteTrace(bool value) {
    FRemoteTrace = value;
    if (FRemoteClient != nullptr) FRemoteClient->RemoteTrace = value;
}

#define KORVANE_REMOTE_SETTER(Name, Type)    \
    void TDbSession::Set##Name(Type value) { \
        CheckInactive();                     \
        F##Name = value;                     \
    }
KORVANE_REMOTE_SETTER(SessionType, TSessionType)
KORVANE_REMOTE_SETTER(RemoteType, TRemoteType)
KORVANE_REMOTE_SETTER(RemoteHost, const std::string&)
KORVANE_REMOTE_SETTER(RemoteAddress, const std::string&)
KORVANE_REMOTE_SETTER(RemotePort, uint16_t)
KORVANE_REMOTE_SETTER(RemoteService, const std::string&)
KORVANE_REMOTE_SETTER(RemoteUser, const std::string&)
KORVANE_REMOTE_SETTER(RemotePassword, const std::string&)
#undef KORVANE_REMOTE_SETTER

void TDbSession::AddPassword(const std::string& password) {
    TSessionLockScope scope(*this);
    FEngineSession->AddPassword(password);
}

void TDbSession::RemovePassword(const std::string& password) {
    TSessionLockScope scope(*this);
    FEngineSession->RemovePassword(Short(password));
}

void TDbSession::RemoveAllPasswords() {
    TSessionLockScope scope(*this);
    FEngineSession->RemoveAllPasswords();
}

bool TDbSession::PasswordCallback() {
    if (OnPassword) {
        bool goOn = false;
        OnPassword(this, goOn);
        return goOn;
    }
    return PasswordDialog(this);
}

TDbDatabase* TDbSession::FindDatabase(const std::string& name, framework::TComponent* owner) const {
    if (owner != nullptr)
        for (int i = 0; i < owner->ComponentCount(); ++i)
            if (auto* db = dynamic_cast<TDbDatabase*>(owner->Components(i)))
                if (db->HandleShared && SameText(db->DatabaseName(), name)) return db;
    for (auto* db : FDatabases)
        if ((!db->DatabaseName().empty() || db->Temporary()) && SameText(db->DatabaseName(), name)) return db;
    return nullptr;
}

TDbDatabase* TDbSession::OpenDatabase(const std::string& name, framework::TComponent* owner) {
    TSessionLockScope scope(*this);
    TDbDatabase* db = FindDatabase(name, owner);
    bool made = false;
    if (db == nullptr) {
        db = new TDbDatabase(this);
        made = true;
        try {
            db->FTemporary = true;
            db->SetDatabaseName(name);
            bool remote = FSessionType == stRemote;
            if (!IsMemoryName(name)) {
                if (remote)
                    db->SetRemoteDatabase(name);
                else
                    db->SetDirectory(name);
            } else if (remote) {
                db->SetRemoteDatabase(name);
            }
            db->SetKeepConnection(KeepConnections);
        } catch (...) {
            delete db;
            throw;
        }
    }
    try {
        db->Open();
    } catch (...) {
        if (made) delete db;
        throw;
    }
    ++db->FUserCount;
    return db;
}

void TDbSession::CloseDatabase(TDbDatabase* database) {
    if (database->FUserCount > 0) --database->FUserCount;
    if (database->FUserCount == 0 && !database->FKeepConnection) {
        if (database->FTemporary) {
            if (!database->FDestroying) delete database;
        } else {
            database->Close();
        }
    }
}

// ---- TDbDatabase ---------------------------------------------------------------------------------

TDbDatabase::TDbDatabase(framework::TComponent* AOwner) : TComponent(AOwner) {
    auto* owner = dynamic_cast<TDbSession*>(AOwner);
    FSession = owner != nullptr ? owner : &DefaultSession();
    FSessionName = FSession->SessionName();
    FSession->FDatabases.push_back(this);
}

TDbDatabase::~TDbDatabase() {
    FDestroying = true;
    try {
        Close();
    } catch (...) {
    }
    if (FSession != nullptr) {
        auto& list = FSession->FDatabases;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
}

void TDbDatabase::Loaded() {
    TComponent::Loaded();
    if (FConnectedWhenLoaded)
        Open();
    else
        BindSession(false);
}

void TDbDatabase::Notification(framework::TComponent* AComponent, framework::TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == framework::opRemove && AComponent == FSession && !FSession->IsDefault()) {
        Close();
        auto& list = FSession->FDatabases;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        FSession = &DefaultSession();
        FSession->FDatabases.push_back(this);
        FSessionName.clear();
    }
}

void TDbDatabase::BindSession(bool raise) {
    TDbSession* session = raise ? Sessions().GetSession(FSessionName) : Sessions().FindSession(FSessionName);
    if (session == nullptr) return;
    if (session != FSession) {
        auto& old = FSession->FDatabases;
        old.erase(std::remove(old.begin(), old.end(), this), old.end());
        FSession = session;
        FSession->FDatabases.push_back(this);
        try {
            CheckDuplicate(FDatabaseName);
        } catch (...) {
            FDatabaseName.clear();
            throw;
        }
    }
    if (raise) FSession->SetActive(true);
}

void TDbDatabase::CheckDuplicate(const std::string& name) {
    if (name.empty()) return;
    for (size_t i = 0; i < FSession->FDatabases.size(); ++i) {
        TDbDatabase* other = FSession->FDatabases[i];
        if (other == this || !SameText(other->FDatabaseName, name)) continue;
        if (HandleShared && other->HandleShared) continue;
        if (!other->FTemporary || other->FUserCount > 0)
            DatabaseError(FmtMsg(dbsmsg::SDuplicateDatabaseName, {name}));
        delete other;
        return;
    }
}

void TDbDatabase::CheckClosed() const {
    if (Connected()) DatabaseError(dbsmsg::SDatabaseOpen);
}

void TDbDatabase::CheckOpen() const {
    if (!Connected()) DatabaseError(dbsmsg::SDatabaseClosed);
}

void TDbDatabase::SetDatabaseName(const std::string& name) {
    if ((ComponentState() & framework::csLoading) != 0) {
        FDatabaseName = name;
        return;
    }
    std::string value = Backslashed(name);
    if (value == FDatabaseName) return;
    CheckClosed();
    if (!FTemporary && IsPathName(value)) DatabaseError(FmtMsg(dbsmsg::SInvalidDatabaseName, {value}));
    CheckDuplicate(value);
    FDatabaseName = value;
}

void TDbDatabase::SetDirectory(const std::string& path) {
    CheckClosed();
    FDirectory = Backslashed(path);
}

void TDbDatabase::SetRemoteDatabase(const std::string& name) {
    CheckClosed();
    std::string value = framework::Trim(Backslashed(name));
    size_t first = value.find_first_not_of('\\');
    size_t last = value.find_last_not_of('\\');
    FRemoteDatabase = first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
}

void TDbDatabase::SetSessionName(const std::string& name) {
    if ((ComponentState() & framework::csLoading) != 0) {
        FSessionName = name;
        return;
    }
    CheckClosed();
    if (name == FSessionName) return;
    FSessionName = name;
    BindSession(false);
}

void TDbDatabase::SetKeepConnection(bool value) {
    if (value == FKeepConnection) return;
    FKeepConnection = value;
    if (!value && FUserCount == 0) Close();
}

void TDbDatabase::SetConnected(bool value) {
    if ((ComponentState() & framework::csLoading) != 0) {
        FConnectedWhenLoaded = value;
        return;
    }
    if (value)
        Open();
    else
        Close();
}

void TDbDatabase::Open() {
    if (Connected()) return;
    if (BeforeConnect) BeforeConnect(this);
    if (FDatabaseName.empty() && !FTemporary) DatabaseError(dbsmsg::SDatabaseNameMissing);
    BindSession(true);
    if (HandleShared) {
        for (auto* other : FSession->FDatabases)
            if (other != this && other->HandleShared && other->Connected() &&
                SameText(other->FDatabaseName, FDatabaseName)) {
                FHandle = other->FHandle;
                FHandleBorrowed = true;
                return;
            }
    }
    TSessionLockScope scope(*FSession);
    std::string engineName = IsPathName(FDatabaseName) ? std::string() : FDatabaseName;
    if (FSession->SessionType() == stRemote)
        FHandle = FSession->FEngineSession->OpenDataDirectory(FRemoteDatabase, std::string(), false);
    else
        FHandle = FSession->FEngineSession->OpenDataDirectory(engineName, FDirectory, false);
}

void TDbDatabase::Close() {
    if (!Connected()) return;
    while (!FDataSets.empty()) FDataSets.back()->Disconnect();
    if (!FHandleBorrowed && FSession->FEngineSession != nullptr) {
        dbengine::SetEngineSession(FSession->FEngineSession);
        FSession->FEngineSession->CloseDataDirectory(FHandle, false);
    }
    FHandle = nullptr;
    FUserCount = 0;
    FHandleBorrowed = false;
}

bool TDbDatabase::InTransaction() const {
    return FHandle != nullptr && FHandle->InTransaction;
}

void TDbDatabase::StartTransaction() {
    CheckOpen();
    if (InTransaction()) DatabaseError(FmtMsg(dbsmsg::SInTransaction, {FDatabaseName}));
    FHandle->StartTransaction(false);
}

void TDbDatabase::Commit(bool forceFlush) {
    CheckOpen();
    if (!InTransaction()) DatabaseError(FmtMsg(dbsmsg::SNotInTransaction, {FDatabaseName}));
    FHandle->Commit(true, forceFlush, false);
}

void TDbDatabase::Rollback() {
    CheckOpen();
    if (!InTransaction()) DatabaseError(FmtMsg(dbsmsg::SNotInTransaction, {FDatabaseName}));
    FHandle->Rollback(false);
}

void TDbDatabase::AddDataSet(TDbDBDataSet* dataSet) {
    FDataSets.push_back(dataSet);
}

void TDbDatabase::RemoveDataSet(TDbDBDataSet* dataSet) {
    FDataSets.erase(std::remove(FDataSets.begin(), FDataSets.end(), dataSet), FDataSets.end());
}

}  // namespace dbsql
