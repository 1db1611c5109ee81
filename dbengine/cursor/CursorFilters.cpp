// Filters of a cursor: adding, dropping, activating and deactivating them, testing records one
// by one and combining the filters' bitmaps into the cursor's visible records.

#include <algorithm>
#include <cstring>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/DataFile.h"
#include "dbengine/expr/ExpEvaluate.h"
#include "dbengine/expr/ExpPrepare.h"
#include "dbengine/expr/ExpTypeCheck.h"
#include "dbengine/expr/ExpressionParser.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/session/DataTable.h"
#include "framework/core/SysUtils.h"

namespace dbengine {

namespace {

std::unique_ptr<TRecordsBitmap> PooledFilterBitmap() {
    return RecordsBitmapPool() != nullptr ? GetRecordsBitmap() : std::make_unique<TRecordsBitmap>();
}

// Column values of the cursor's records for filter expressions; a column without a table is
// this cursor's.
class TFilterValueSource : public TRecordValueSource {
public:
    explicit TFilterValueSource(TDataCursor& cursor)
        : TRecordValueSource(cursor.GetFieldDescs(), &cursor), Cursor(cursor) {}
    bool TextSearch(void* table, const std::string& search, const std::string& text, bool count,
                    int32_t& answer) override {
        return Cursor.AnswerTextSearch(table, search, text, count, answer);
    }

protected:
    std::string ReadBlob(const uint8_t* record, const TFieldDescriptor& field) override {
        return Cursor.ReadBlobValue(record, field);
    }

private:
    TDataCursor& Cursor;
};

bool IsComparison(const TExpToken* t) {
    return (t->Kind == tkBinary || t->Kind == tkStringCompare) && t->Code >= ecEqual &&
           t->Code <= ecLessOrEqual;
}

uint8_t MirroredComparison(uint8_t code) {
    switch (code) {
        case ecGreater:
            return ecLess;
        case ecLess:
            return ecGreater;
        case ecGreaterOrEqual:
            return ecLessOrEqual;
        case ecLessOrEqual:
            return ecGreaterOrEqual;
        default:
            return code;
    }
}

}  // namespace

bool TFieldColumns::ResolveColumn(TExpToken* node) {
    for (const TFieldDescriptor& d : Fields) {
        if (!framework::AnsiSameText(d.Name, node->ColumnName)) continue;
        node->FieldNo = static_cast<uint16_t>(d.FieldNo);
        node->DataType = d.FieldType;
        node->SubType = d.SubType;
        node->DataSize = d.ValueSize;
        node->Scale = d.ValueDecimals;
        node->TableName.clear();
        return true;
    }
    return false;
}

// ---- TFilter ----

TFilter::TFilter(TDataCursor* cursor, TExpToken* expression, bool ownsExpression, void* owner,
                 TFilterCallback callback, bool evaluateLast, bool estimateCounts, bool costBased)
    : Cursor(cursor),
      OwnsExpression(ownsExpression),
      Expression(expression),
      Owner(owner),
      Callback(std::move(callback)),
      Bitmap(PooledFilterBitmap()),
      IsCallback(expression == nullptr),
      EvaluateLast(evaluateLast),
      EstimateCounts(estimateCounts),
      CostBased(costBased) {
    if (!IsCallback && cursor->IsCursorOpen())
        OptimizeLevel = cursor->RateFilterCondition(
            Expression, EstimateCounts, CostBased && cursor->GetQuerySource() && !cursor->GetQueryResult());
}

TFilter::~TFilter() {
    if (OwnsExpression) FreeExpTree(Expression);
    if (Bitmap && RecordsBitmapPool() != nullptr) ReleaseRecordsBitmap(Bitmap);
    Active = false;
    OptimizeLevel = 0;
}

void TFilter::Evaluate(bool& restart) {
    if (IsCallback) {
        OptimizeLevel = 0;
        TestRecords(*Bitmap, restart, ecAnd);
        return;
    }
    EvaluateNode(*Bitmap, Expression, restart, ecAnd);
}

void TFilter::TestRecords(TRecordsBitmap& bitmap, bool& restart, uint8_t parentOp, const TExpToken* node) {
    TDataFile& file = *Cursor->GetTable()->DataFile;
    std::vector<uint8_t> buffer(Cursor->GetRecordSize(), 0);
    auto test = [&](int32_t r) -> bool {
        TRecord* record = nullptr;
        Cursor->CountFilterRecordRead();
        if (!file.GetRecord(Cursor, r, 1, false, true, record)) {
            restart = true;
            return false;
        }
        bool deleted = record->Status() == 1;
        size_t size = std::min<size_t>(buffer.size(), record->BufferSize);
        std::memcpy(buffer.data(), record->Data(), size);
        file.ReleaseRecord(record);
        if (!deleted || parentOp == ecAnd) {
            if (Cursor->HasCalculated()) Cursor->ComputeCalculatedFields(buffer.data());
            if (node == nullptr || node == Expression)
                Cursor->TestRecord(*this, buffer.data(), r, bitmap);
            else if (!Cursor->RecordPassesNode(node, buffer.data()))
                bitmap.ClearBit(r);
        }
        return true;
    };
    if (parentOp == ecAnd) {
        int32_t r = 0, seq = 0;
        while (bitmap.StepForward(r, 1, seq)) {
            if (!test(r)) return;
        }
        return;
    }
    bitmap.SetAll();
    for (int32_t r = 1; r <= static_cast<int32_t>(bitmap.Size); ++r) {
        if (!test(r)) return;
    }
}

void TFilter::RecordAdded(int32_t recordNo, const uint8_t* buffer) {
    if (Bitmap->Size < static_cast<uint32_t>(recordNo)) Bitmap->SetSize(static_cast<uint32_t>(recordNo));
    Bitmap->SetBit(recordNo);
    Cursor->TestRecord(*this, buffer, recordNo, *Bitmap);
}

void TFilter::RecordRemoved(int32_t recordNo) {
    Bitmap->ClearBit(recordNo);
}

void TFilter::ReplaceExpression(TExpToken* tree) {
    FreeExpTree(Expression);
    Expression = tree;
    OptimizeLevel = Cursor->RateFilterCondition(Expression, false, false);
}

// ---- Parsing ----

TExpToken* TDataCursor::ParseFilterExpression(const std::string& text) {
    TExpressionParser parser(this);
    parser.ErrorCode = DBE_INVALIDFILTER;
    parser.DatabaseName = GetDatabaseName();
    parser.TableName = TableName;
    parser.ContextText = "filter expression";
    parser.SetExpression(text);
    parser.NextToken();
    if (parser.IsTokenKind(etEnd))
        RaiseEngineError(DBE_INVALIDFILTER, {}, {}, GetDatabaseName(), TableName, {}, {},
                         "filter expression is empty");
    TExpTreeHolder tree(parser.ParseExpression(AllowPredicates));
    // Whatever follows the one expression is not part of it and must not be dropped silently.
    if (!parser.IsTokenKind(etEnd))
        RaiseEngineError(DBE_INVALIDFILTER, {}, {}, GetDatabaseName(), TableName, {}, {},
                         "Unknown or unexpected symbol '" + parser.GetTokenText() + "' in filter expression");
    return tree.release();
}

void TDataCursor::CheckFilterExpression(TExpToken* tree) {
    TFieldColumns columns(FieldDescs);
    CheckExpTokenTypes(DBE_INVALIDFILTER, GetDatabaseName(), TableName, "filter expression", tree, nullptr,
                       &columns, true, true);
    if (tree->DataType != fldBoolean)
        RaiseEngineError(DBE_INVALIDFILTER, {}, {}, GetDatabaseName(), TableName, {}, {},
                         "filter expression must be a boolean expression");
}

void TDataCursor::NormalizeComparisons(TExpToken* tree) {
    // Every depth, so that a comparison inside AND, OR or NOT reads the same as a whole filter.
    std::vector<TExpToken*> pending{tree};
    while (!pending.empty()) {
        TExpToken* t = pending.back();
        pending.pop_back();
        if (t == nullptr) continue;
        if (IsComparison(t) && t->Left != nullptr && t->Right != nullptr && !ExpTreeHasColumn(t->Left) &&
            ExpTreeHasColumn(t->Right)) {
            std::swap(t->Left, t->Right);
            t->Code = MirroredComparison(t->Code);
        }
        pending.push_back(t->Left);
        pending.push_back(t->Right);
        for (int i = 0; i < t->ArgumentCount(); ++i) pending.push_back(t->GetArgument(i));
    }
}

// ---- Adding and removing ----

TFilter* TDataCursor::AddFilter(void* owner, const std::string& expressionText, TExpToken* tree,
                                bool ownsTree, TFilterCallback callback, bool evaluateLast,
                                bool estimateCounts, bool costBased, bool caseInsensitive,
                                bool noPartialCompare) {
    if (Filters.size() >= MaxFilters) RaiseCursor(DBE_INTERNALLIMIT);
    std::unique_ptr<TFilter> filter;
    if (!expressionText.empty()) {
        TExpTreeHolder parsed(ParseFilterExpression(expressionText));
        CheckFilterExpression(parsed.get());
        NormalizeComparisons(parsed.get());
        TFilterValueSource source(*this);
        TExpTreeHolder prepared(
            PrepareExpTree(parsed.get(), &source, LanguageId, SortId, caseInsensitive, noPartialCompare));
        filter = std::make_unique<TFilter>(this, prepared.get(), true, owner, nullptr, evaluateLast,
                                           estimateCounts, costBased);
        prepared.release();
    } else if (tree != nullptr) {
        filter = std::make_unique<TFilter>(this, tree, ownsTree, owner, nullptr, evaluateLast, estimateCounts,
                                           costBased);
    } else if (callback) {
        filter = std::make_unique<TFilter>(this, nullptr, false, owner, std::move(callback), evaluateLast,
                                           estimateCounts, costBased);
    } else {
        RaiseEngineError(DBE_INVALIDFILTER, {}, {}, GetDatabaseName(), TableName, {}, {},
                         "filter expression is invalid");
    }
    TFilter* result = filter.get();
    auto at = Filters.end();
    if (!result->EvaluateLast)
        at = std::find_if(Filters.begin(), Filters.end(), [](const auto& f) { return f->EvaluateLast; });
    Filters.insert(at, std::move(filter));
    if (IsOpen) Filtering->FilterAdded(*result, ownsTree);
    return result;
}

uint8_t TDataCursor::RateFilterCondition(TExpToken* node, bool estimateCounts, bool costRule) {
    return Filtering->RateCondition(node, estimateCounts, costRule);
}

std::vector<std::unique_ptr<TFilter>>::iterator TDataCursor::FindFilter(TFilter* filter) {
    return std::find_if(Filters.begin(), Filters.end(), [&](const auto& f) { return f.get() == filter; });
}

void TDataCursor::DropFilter(TFilter* filter) {
    Filtering->DropFilter(filter);
}

void TDataCursor::RemoveFilter(TFilter* filter) {
    bool found = true;
    if (filter == nullptr) {
        Filters.clear();
    } else {
        auto it = FindFilter(filter);
        found = it != Filters.end();
        if (found) Filters.erase(it);
    }
    UpdateBitmapNavigation();
    if (!found) RaiseCursor(DBE_NOSUCHFILTER);
}

void TDataCursor::LocalDropFilter(TFilter* filter) {
    RemoveFilter(filter);
    if (!IsOpen) return;
    TReadBracket bracket(*this);
    CombineBitmaps();
    Resync();
}

void TDataCursor::MarkFilterActive(TFilter* filter, bool active) {
    bool found = true;
    if (filter == nullptr) {
        if (active)
            ActivateAllFilters();
        else
            DeactivateAllFilters();
    } else {
        auto it = FindFilter(filter);
        found = it != Filters.end();
        if (found && active) filter->Activate();
        if (found && !active) filter->Deactivate();
    }
    UpdateBitmapNavigation();
    if (!found) RaiseCursor(DBE_NOSUCHFILTER);
}

void TDataCursor::ActivateFilter(TFilter* filter) {
    Filtering->ActivateFilter(filter);
}

void TDataCursor::LocalActivateFilter(TFilter* filter) {
    MarkFilterActive(filter, true);
    if (!IsOpen) return;
    TReadBracket bracket(*this);
    if (filter == nullptr)
        RebuildBitmaps();
    else
        EvaluateFilter(filter);
    CombineBitmaps();
    Resync();
}

void TDataCursor::DeactivateFilter(TFilter* filter) {
    Filtering->DeactivateFilter(filter);
}

void TDataCursor::LocalDeactivateFilter(TFilter* filter) {
    MarkFilterActive(filter, false);
    if (!IsOpen) return;
    TReadBracket bracket(*this);
    if (BitmapNavigation && VisibleBitmap->Size == 0) RebuildBitmaps();
    CombineBitmaps();
    Resync();
}

void TDataCursor::ReplaceFilterExpression(TExpToken* tree, TFilter* filter) {
    if (tree != nullptr) Filtering->ReplaceFilterExpression(tree, filter);
}

void TDataCursor::LocalReplaceFilterExpression(TExpToken* tree, TFilter* filter) {
    TReadBracket bracket(*this);
    auto it = FindFilter(filter);
    if (it == Filters.end() || !filter->Active || filter->IsCallback) RaiseCursor(DBE_NOSUCHFILTER);
    filter->ReplaceExpression(tree);
    EvaluateFilter(filter);
    CombineBitmaps();
    Resync();
}

void TDataCursor::ActivateAllFilters() {
    for (auto& f : Filters) f->Activate();
}

void TDataCursor::DeactivateAllFilters() {
    for (auto& f : Filters) f->Deactivate();
}

void TDataCursor::FreeAllFilters() {
    while (!Filters.empty()) Filters.erase(Filters.begin());
    UpdateBitmapNavigation();
}

bool TDataCursor::HasActiveFilter() const {
    return std::any_of(Filters.begin(), Filters.end(), [](const auto& f) { return f->Active; });
}

void TDataCursor::UpdateBitmapNavigation() {
    bool was = BitmapNavigation;
    BitmapNavigation = IsOpen && (HasActiveFilter() || IsNaturalOrder());
    Filtering->BitmapNavigationChanged(was);
}

void TDataCursor::LocalBitmapNavigationChanged(bool was) {
    if (!BitmapNavigation) {
        VisibleBitmap->SetSize(0);
        RangeBitmap->SetSize(0);
        LiveBitmap->SetSize(0);
    } else if (!was && IsOpen) {
        // Index order turning to the bitmap: the position moves to its record's bit.
        VisibleBitmap->SetSize(0);
        if (!(AtBeginning && AtEnd) && CurrentPage.PageNo != 0 && EntryNo >= 1 &&
            EntryNo <= CurrentPage.EntryCount)
            PhysRecNo = CurrentPage.Value;
    }
}

// ---- Bitmaps ----

void TDataCursor::BuildRangeBitmap() {
    if (!RangeActive || IsNaturalOrder()) {
        RangeBitmap->SetSize(0);
        return;
    }
    RangeBitmap->SetSize(VisibleBitmap->Size);
    RangeBitmap->ClearAll();
    if (RangeStart == 0 || RangeEnd == 0) return;
    TPage leaf;
    int32_t entry = 0;
    if (!DescendToSeq(RangeStart, leaf, entry)) return;
    int64_t crossings = 0;
    for (int32_t seq = RangeStart; seq <= RangeEnd; ++seq) {
        RangeBitmap->SetBit(leaf.GetValue(entry));
        if (seq == RangeEnd) break;
        int32_t page = leaf.PageNo;
        if (!StepEntry(leaf, entry, true)) break;
        if (leaf.PageNo != page && ++crossings > IndexFile->GetPageCount())
            IndexFile->RaiseError(DBE_INDEXCORRUPT);
    }
}

void TDataCursor::SeedFilterBitmap(TFilter& filter) {
    filter.Bitmap->SetSize(VisibleBitmap->Size);
    filter.Bitmap->Assign(*LiveBitmap);
    if (RangeBitmap->Size != 0) filter.Bitmap->AndWith(*RangeBitmap);
    if (filter.OptimizeLevel != 2 && filter.EvaluateLast) {
        // Records that failed an earlier filter are not asked again.
        for (auto& f : Filters) {
            if (f.get() == &filter) break;
            if (f->Active) filter.Bitmap->AndWith(*f->Bitmap);
        }
    }
}

void TDataCursor::EvaluateFilters(TFilter* only) {
    std::vector<TFilter*> targets;
    if (only != nullptr)
        targets.push_back(only);
    else
        for (auto& f : Filters)
            if (f->Active) targets.push_back(f.get());
    Rebuilding = true;
    try {
        bool restart = true;
        while (restart) {
            restart = false;
            int32_t physical = Table->DataFile->RecordCount();
            VisibleBitmap->SetSize(static_cast<uint32_t>(physical));
            BuildRangeBitmap();
            BuildLiveBitmap();
            if (physical == 0) break;
            for (TFilter* filter : targets) {
                SeedFilterBitmap(*filter);
                filter->Evaluate(restart);
                if (restart) break;
            }
        }
    } catch (...) {
        Rebuilding = false;
        throw;
    }
    Rebuilding = false;
}

void TDataCursor::EvaluateFilter(TFilter* filter) {
    if (Rebuilding || ComputingRange || !filter->Active) return;
    if (VisibleBitmap->Size == 0) {
        RebuildBitmaps();
        return;
    }
    EvaluateFilters(filter);
}

void TDataCursor::RebuildBitmaps() {
    if (Rebuilding || ComputingRange) return;
    EvaluateFilters(nullptr);
    CombineBitmaps();
}

void TDataCursor::CombineBitmaps() {
    if (Rebuilding || ComputingRange || !BitmapNavigation) return;
    VisibleSeqNo = 0;
    if (VisibleBitmap->Size == 0) return;
    VisibleBitmap->Assign(*LiveBitmap);
    if (RangeBitmap->Size != 0) VisibleBitmap->AndWith(*RangeBitmap);
    for (auto& f : Filters)
        if (f->Active) VisibleBitmap->AndWith(*f->Bitmap);
}

void TDataCursor::TestRecord(TFilter& filter, const uint8_t* buffer, int32_t recordNo,
                             TRecordsBitmap& bitmap) {
    bool passes = true;
    if (filter.IsCallback) {
        passes = filter.Callback(filter.Owner, *this, buffer, recordNo);
    } else {
        TFilterValueSource source(*this);
        TExpToken* result = EvaluateExpToken(filter.Expression, buffer, &source, LanguageId, SortId);
        passes = result != nullptr && !result->IsNull && result->Capacity >= 2 &&
                 (result->Data[0] | result->Data[1] << 8) != 0;
        ReleaseExpToken(result);
    }
    if (!passes) bitmap.ClearBit(recordNo);
}

bool TDataCursor::RecordPassesNode(const TExpToken* node, const uint8_t* buffer) {
    TFilterValueSource source(*this);
    TExpToken* result = EvaluateExpToken(node, buffer, &source, LanguageId, SortId);
    bool passes = result != nullptr && !result->IsNull && result->Capacity >= 2 &&
                  (result->Data[0] | result->Data[1] << 8) != 0;
    ReleaseExpToken(result);
    return passes;
}

void TDataCursor::BitmapsRecordInserted(int32_t recordNo, const uint8_t* buffer) {
    if (!BitmapNavigation) return;
    int32_t physical = Table->DataFile->RecordCount();
    VisibleBitmap->SetSize(static_cast<uint32_t>(physical));
    if (physical == 0) {
        RangeBitmap->SetSize(0);
        LiveBitmap->SetSize(0);
        return;
    }
    if (RangeActive && !IsNaturalOrder()) {
        RangeBitmap->SetSize(static_cast<uint32_t>(physical));
        std::vector<uint8_t> key(MaxKeyFieldPart, 0);
        BuildKey(buffer, key.data());
        bool inside = CompareKeys(key.data(), RangeStartKey.data(), KeySize) >= 0 &&
                      CompareKeys(key.data(), RangeEndKey.data(), KeySize) <= 0;
        if (inside)
            RangeBitmap->SetBit(recordNo);
        else
            RangeBitmap->ClearBit(recordNo);
    } else {
        RangeBitmap->SetSize(0);
    }
    LiveBitmap->SetSize(static_cast<uint32_t>(physical));
    LiveBitmap->SetBit(recordNo);
    for (auto& f : Filters)
        if (f->Active) f->RecordAdded(recordNo, buffer);
}

void TDataCursor::BitmapsRecordDeleted(int32_t recordNo) {
    if (!BitmapNavigation || VisibleBitmap->Size == 0) return;
    if (RangeBitmap->Size != 0) RangeBitmap->ClearBit(recordNo);
    LiveBitmap->ClearBit(recordNo);
    VisibleBitmap->ClearBit(recordNo);
    for (auto& f : Filters)
        if (f->Active) f->RecordRemoved(recordNo);
}

}  // namespace dbengine
