#include "dbengine/data/DataTable.h"

#include "dbengine/session/DataDirectory.h"
#include "dbengine/session/DataSession.h"

namespace dbengine {

std::string TDataTable::GetDatabaseName() const {
    return Database != nullptr ? Database->GetDatabaseName() : "";
}

bool TDataTable::ForceBufferFlush() const {
    return Session != nullptr && Session->ForceBufferFlush;
}

}  // namespace dbengine
