#pragma once
// One open database of a session: a folder of tables, or the in-memory database "Memory".

#include <cstdint>
#include <string>

#include "framework/core/Object.h"

namespace dbengine {

class TDataSession;

class TDataDirectory : public framework::TObject {
public:
    explicit TDataDirectory(TDataSession* session) : Session(session) {}
    ~TDataDirectory() override;

    // The name used in messages: the database name for remote and server-side sessions, else the
    // folder.
    std::string GetDatabaseName() const;

    TDataSession* Session;
    uint32_t ServerHandle = 0;  // the server's handle of a remote database
    std::string DatabaseName;
    std::string Directory;  // with a trailing backslash; empty for "Memory" and remote databases
    uint16_t UseCount = 0;
    bool InTransaction = false;
    bool ServerDatabaseFlag = false;
};

}  // namespace dbengine
