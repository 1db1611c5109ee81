#pragma once
// A filter of a cursor: an expression over the table's columns or a callback of the caller,
// asked record by record. Each filter keeps the bitmap of the records that pass it; the
// cursor's visible records are the live records of its range that pass every active filter.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "dbengine/data/FieldDescriptor.h"
#include "dbengine/expr/ExpTypeCheck.h"
#include "dbengine/util/RecordsBitmap.h"
#include "framework/core/Object.h"

namespace dbengine {

class TDataCursor;
class TExpToken;

// Resolves the columns of filter and calculated-field expressions among field descriptors, by
// name without regard to case.
class TFieldColumns : public TExpTypeResolver {
public:
    explicit TFieldColumns(const std::vector<TFieldDescriptor>& fields) : Fields(fields) {}
    bool ResolveColumn(TExpToken* node) override;

private:
    const std::vector<TFieldDescriptor>& Fields;
};

// True when the record passes. Owner is what the caller gave when adding the filter.
using TFilterCallback =
    std::function<bool(void* owner, TDataCursor& cursor, const uint8_t* recordBuffer, int32_t recordNo)>;

class TFilter : public framework::TObject {
public:
    // A filter with an expression or (expression null) with a callback; inactive.
    TFilter(TDataCursor* cursor, TExpToken* expression, bool ownsExpression, void* owner,
            TFilterCallback callback, bool evaluateLast, bool estimateCounts, bool costBased);
    ~TFilter() override;
    TFilter(const TFilter&) = delete;
    TFilter& operator=(const TFilter&) = delete;

    void Activate() { Active = true; }
    void Deactivate() { Active = false; }
    // Narrows Bitmap (holding the candidate records) to the records that pass.
    void Evaluate(bool& restart);
    // Under AND (parentOp 10) only the records set in bitmap are tested; otherwise every live
    // record is, deleted ones keeping their bit. A read that finds the table changed sets restart.
    // node: the part of the expression to test (the whole expression when null).
    void TestRecords(TRecordsBitmap& bitmap, bool& restart, uint8_t parentOp,
                     const TExpToken* node = nullptr);
    // Index path (FilterOptimizer.cpp). Bitmap holds the candidate records on entry and on exit
    // the result, which is right for every candidate; a part answered from an index answers for
    // the whole table.
    void EvaluateNode(TRecordsBitmap& bitmap, TExpToken* node, bool& restart, uint8_t parentOp);
    // Whether a node of this level and estimated cost is answered from its index rather than by
    // reading the candidates.
    bool UseIndex(uint8_t level, int32_t cost, int64_t candidateCount) const;
    // The records node selects, from its index, into bitmap; false (bitmap untouched) when no
    // index answers it exactly.
    bool ScanCondition(TRecordsBitmap& bitmap, const TExpToken* node);
    void RecordAdded(int32_t recordNo, const uint8_t* buffer);
    void RecordRemoved(int32_t recordNo);
    // Takes tree in place of the current expression, which is freed.
    void ReplaceExpression(TExpToken* tree);

    TDataCursor* Cursor;
    bool OwnsExpression;
    TExpToken* Expression;
    void* Owner;
    TFilterCallback Callback;
    std::unique_ptr<TRecordsBitmap> Bitmap;
    bool Active = false;
    bool IsCallback;
    uint8_t OptimizeLevel = 0;
    bool EvaluateLast;
    bool EstimateCounts;
    bool CostBased;
    uint32_t ServerHandle = 0;
};

}  // namespace dbengine
