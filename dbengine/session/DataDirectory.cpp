#include "dbengine/session/DataDirectory.h"

#include "dbengine/session/DataSession.h"

namespace dbengine {

TDataDirectory::~TDataDirectory() = default;

std::string TDataDirectory::GetDatabaseName() const {
    if (Session != nullptr && (Session->Remote || Session->ServerSide)) return DatabaseName;
    return Directory;
}

}  // namespace dbengine
