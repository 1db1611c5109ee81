#pragma once
// A table that a query reads or writes, and the joins from it to the tables joined below it.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/data/FieldDescriptor.h"
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

    // Nothing for a null condition. A join without a condition takes kind and condition; otherwise
    // the old and new conditions are combined by a boolean node with the operator of op (AND
    // when op is 0), the old condition on the left.
    void AddCondition(uint8_t kind, dbengine::TExpToken* condition, uint8_t op = 0);
    // Every comparison of the condition gets its operands exchanged and its operator mirrored.
    void MirrorCondition();
    // Positions the inner table on its first match for the owner's current row; a left outer
    // join succeeds without a partner (the inner table then stands at its end).
    bool Match();
    // The join filter of the inner cursor, rebuilt from the condition for the owner's current row.
    void BindCondition();
    // Drops the join filter and the key range from the inner cursor.
    void Reset();
    // A condition that is one equality between an outer value and a column of the inner table
    // that an index of that column alone orders: the inner table is read as the index's range
    // of the value (true) instead of through a filter. An equality whose outer value is NULL
    // has no partner (OuterHolds false).
    bool SeekKeyRange();
    // The inner table on its first match for the owner's current row, or without a partner
    // when the outer condition does not hold; true when the walk goes on.
    bool FirstInner();
    // An ON condition of an outer join that reads only the outer side: when it does not hold for
    // the owner's row, the inner table has no partner. Combined by AND with one given before.
    void AddOuterCondition(dbengine::TExpToken* condition);

    TSourceTable* Owner;
    // 0 no condition yet (a cross product), 1 inner, 2 left outer, 3 right outer.
    uint8_t JoinKind;
    TSourceTable* JoinedTable;
    dbengine::TExpToken* Condition;                 // owned
    void* Filter = nullptr;                         // the engine filter on the inner cursor, once installed
    dbengine::TExpToken* OuterCondition = nullptr;  // owned
    bool OuterHolds = true;                         // for the owner's current row
    // The index SeekKeyRange reads: -2 not looked for yet, -1 none.
    int KeyIndex = -2;
    bool RangeSet = false;
    uint8_t IndexBeforeRange = 0;  // the inner cursor's index, put back by Reset
    std::vector<uint8_t> KeyRecord;

private:
    void DropFilter();
    void DropRange();
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
    // Opens a cursor on the table (read-only unless requestLive) in natural order; the engine's
    // errors (table missing, locked, wrong password) pass through unchanged.
    void Open(bool requestLive);
    // Drops the joins' filters, closes and frees the cursor and the record buffer.
    void Close();
    // The field's number in the table (any letter case), 0 when there is none.
    uint16_t FieldNumber(const std::string& name) const;
    // A zeroed buffer of the cursor's record size.
    void AllocRecordBuffer();

    // Navigation: First and Next read into the record buffer and set AtEnd.
    void First();
    void Next();
    bool FirstMatch(uint8_t kind);
    bool NextMatch();
    bool AdvanceJoins(int index);
    // After the current row was deleted.
    bool ContinueMatch();
    // From the current row on: the first row whose joins all match; at the end the joins are
    // matched once more (so the tables below read as NULL) and the result is false.
    bool MatchFromCurrent();
    bool MatchJoins();
    // No partner: at the end, the buffer zeroed, the tables below reading NULL.
    void SetNoPartner();
    // Makes indexNo current for a key range over the rows a condition of the query can hold
    // for (the caller sets the range); DropKeyRange drops the range and puts the index back.
    void UseKeyIndex(uint8_t indexNo);
    void DropKeyRange();

    // Adds the condition to a join to inner of kind (or of kind 0), else appends a new join.
    void AddJoinCondition(uint8_t kind, dbengine::TExpToken* condition, TSourceTable* inner, uint8_t op = 0);
    // The tables reached through conditioned joins get their owner's level plus 1, recursively.
    void SetJoinLevels();
    bool HasJoinTo(const TSourceTable* table) const;
    void ClearJoins() { Joins.clear(); }

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
    // Rows read by Next so far: a row loop sees a new driving row when this grows (asking the
    // cursor for its physical record number costs a count of its whole filter).
    uint64_t RowsRead = 0;
    bool KeyRangeSet = false;
    uint8_t IndexBeforeKeyRange = 0;
    // A join's key seek on the current index (no range): First finds the first key whose first
    // field is SeekField's value in SeekRecord, Next ends where that field's value changes.
    bool KeySeek = false;
    uint16_t SeekField = 0;
    std::vector<uint8_t> SeekRecord, SeekValue;
    // The seek's field descriptor; an index that orders it ascending lets a seek of a greater
    // value than the cursor's record step forward from there (at most MaxSeekSteps records)
    // instead of descending the index again.
    dbengine::TFieldDescriptor SeekDesc;
    bool SeekAscending = false;
    static constexpr int MaxSeekSteps = 64;
    // The cursor stands on a record past the last seek's run (a greater key): its key value and
    // its record. Dropped whenever the cursor may have moved otherwise.
    bool AheadValid = false;
    int64_t AheadKey = 0;
    std::vector<uint8_t> AheadRecord;

private:
    bool HoldsSeekValue();
    // The seek field's value in the record buffer as a number; false for NULL.
    bool SeekFieldValue(int64_t& value) const;
    // Steps forward to the run of the seek value from the record ahead; false when the seek
    // must descend the index instead.
    bool StepToSeekValue();
    // Remembers the record just read (past the seek's run) as the one ahead.
    void KeepAhead();
};

// old and added combined by a boolean node with the operator op (AND when 0), old on the left;
// added alone when old is null.
dbengine::TExpToken* CombineConditions(dbengine::TExpToken* old, dbengine::TExpToken* added, uint8_t op);
// Integer, date and time types, whose index keys order as their values.
bool IsKeyRangeType(uint8_t type);
// Exchanges a comparison's operands and mirrors its operator.
void MirrorComparison(dbengine::TExpToken* comparison);
// Clears the table links of a tree's column nodes, which a filtering cursor reads itself.
void DetachFilterColumns(dbengine::TExpToken* tree);

// Orderings of source tables for binding: ascending, the 16-bit values compared without sign.
bool SourceTableByNumber(const TSourceTable* a, const TSourceTable* b);
bool SourceTableByLevel(const TSourceTable* a, const TSourceTable* b);

}  // namespace dbsql
