#pragma once
// The engine's entry points: start-up once per process, sessions, shutdown.

#include "dbengine/session/DataSession.h"

namespace dbengine {

// The process's engine state and entry points.
void InitializeEngine();
void FinalizeEngine();
bool IsEngineInitialized();
// The current session; before InitializeEngine raises 10758.
TDataSession* GetEngineSession();
void SetEngineSession(TDataSession* session);
void CreateEngineSession(TDataSession*& session, bool serverSide);
void FreeEngineSession(TDataSession* session);

}  // namespace dbengine
