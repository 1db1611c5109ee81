#pragma once
// Sets what no cursor operation sets, for tests and fuzz targets that exercise one part of a
// cursor without opening it: a table lent with a record size, and the character order.

#include <cstdint>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/expr/CharMaps.h"
#include "dbengine/session/DataTable.h"

namespace dbengine {

class TDataCursorTestAccess {
public:
    // The cursor reads replies for table as if open on it with records of recordSize bytes; a
    // null table takes the loan back (before the cursor goes).
    static void LendTable(TDataCursor& cursor, TDataTable* table, uint16_t recordSize) {
        cursor.Table = table;
        cursor.RecordSize = recordSize;
    }
    static TCharMap& CharOrder(TDataCursor& cursor) { return cursor.CharOrder; }
};

}  // namespace dbengine
