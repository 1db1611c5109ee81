#pragma once
// A table that a query reads or writes, and the joins from it to the tables joined below it.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/util/QueryHooks.h"

namespace dbengine {
class TDataDirectory;
class TExpToken;
}  // namespace dbengine

namespace dbsql {

class TDataQuery;
class TSourceTable;

class TTableJoin {
public:
    TTableJoin(TSourceTable* owner, uint8_t joinKind, TSourceTable* joinedTable,
               dbengine::TExpToken* condition);
    ~TTableJoin();
    TTableJoin(const TTableJoin&) = delete;
    TTableJoin& operator=(const TTableJoin&) = delete;

    TSourceTable* Owner;
    // 0 no condition yet (a cross product), 1 inner, 2 left outer, 3 right outer.
    uint8_t JoinKind;
    TSourceTable* JoinedTable;
    dbengine::TExpToken* Condition;  // owned
    void* Filter = nullptr;          // the engine filter on the inner cursor, once installed
};

class TSourceTable : public dbengine::TSourceTable {
public:
    explicit TSourceTable(TDataQuery* query);
    ~TSourceTable() override;
    TSourceTable(const TSourceTable&) = delete;
    TSourceTable& operator=(const TSourceTable&) = delete;

    // Database and table from the text as written: a folder inside the text (it holds ":" or "\")
    // becomes the database, "/" counting as "\"; ".DAT" is dropped in any letter case; without a
    // folder the database is the statement's. Does nothing once the cursor is open or when the
    // text is the current table name; an empty correlation name takes the table name.
    void SetTableName(const std::string& name) override;
    // Does nothing once the cursor is open or when the text is the current name.
    void SetCorrelationName(const std::string& name);
    // The cursor exists only while the table is open.
    bool IsOpen() const { return Cursor != nullptr; }

    TDataQuery* Query;
    dbengine::TDataDirectory* Database = nullptr;
    dbengine::TDataCursor* Cursor = nullptr;
    bool InMemory = false;
    uint16_t JoinLevel = 0;
    uint16_t TableNumber = 0;  // 1-based order in which the statement names the table
    std::string DatabaseName;
    std::string TableName;
    std::string CorrelationName;
    uint16_t RecordSize = 0;
    std::unique_ptr<uint8_t[]> RecordBuffer;
    std::vector<std::unique_ptr<TTableJoin>> Joins;
    bool AtEnd = false;
};

// Orderings of source tables for binding: ascending, the 16-bit values compared without sign.
bool SourceTableByNumber(const TSourceTable* a, const TSourceTable* b);
bool SourceTableByLevel(const TSourceTable* a, const TSourceTable* b);

}  // namespace dbsql
