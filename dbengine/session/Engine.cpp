#include "dbengine/session/Engine.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "dbengine/file/FileList.h"
#include "dbengine/session/Library.h"
#include "dbengine/util/EngineError.h"
#include "dbengine/util/RecordsBitmap.h"
#include "framework/core/Seams.h"

namespace dbengine {

namespace {

struct EngineState {
    bool EngineInitialized = false;
    TDataSession* CurrentEngineSession = nullptr;
    // Every session the engine created and not yet freed; the engine owns them.
    std::vector<std::unique_ptr<TDataSession>> Sessions;
};

// The engine unit's start-up runs once, on first use: it seeds the random number generator
// (temporary table names draw from it).
EngineState& Engine() {
    static EngineState state = [] {
        framework::Randomize();
        return EngineState{};
    }();
    return state;
}

// The engine library: the parts that live from InitializeEngine to FinalizeEngine.
void StartEngineLibrary() {
    LibraryStartup();
}

void StopEngineLibrary() {
    LibraryShutdown();
}

}  // namespace

void InitializeEngine() {
    EngineState& engine = Engine();
    if (engine.EngineInitialized) return;
    engine.EngineInitialized = true;
    StartEngineLibrary();
    TDataSession* session = nullptr;
    CreateEngineSession(session, false);
    engine.CurrentEngineSession = session;
}

void FinalizeEngine() {
    EngineState& engine = Engine();
    if (!engine.EngineInitialized) return;
    FreeEngineSession(engine.CurrentEngineSession);
    engine.CurrentEngineSession = nullptr;
    StopEngineLibrary();
    engine.EngineInitialized = false;
}

bool IsEngineInitialized() {
    return Engine().EngineInitialized;
}

TDataSession* GetEngineSession() {
    if (!Engine().EngineInitialized) RaiseEngineError(DBE_NOTINITIALIZED, {}, {}, {}, {});
    return Engine().CurrentEngineSession;
}

void SetEngineSession(TDataSession* session) {
    Engine().CurrentEngineSession = session;
}

void CreateEngineSession(TDataSession*& session, bool serverSide) {
    auto owned = std::make_unique<TDataSession>(serverSide);
    session = owned.get();
    Engine().Sessions.push_back(std::move(owned));
}

void FreeEngineSession(TDataSession* session) {
    if (session == nullptr) return;
    auto& sessions = Engine().Sessions;
    auto it = std::find_if(sessions.begin(), sessions.end(), [&](auto& s) { return s.get() == session; });
    if (it != sessions.end()) sessions.erase(it);
    if (Engine().CurrentEngineSession == session) Engine().CurrentEngineSession = nullptr;
}

}  // namespace dbengine
