// Filter conditions answered from indexes: rating a condition tree, choosing an index for a
// field, the key ranges of each condition, counting and scanning them, and evaluating a tree
// into a bitmap.

#include "dbengine/cursor/FilterOptimizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "dbengine/cursor/DataCursor.h"
#include "dbengine/data/DataFile.h"
#include "dbengine/expr/ExpEvaluate.h"
#include "dbengine/expr/ExpToken.h"
#include "dbengine/index/IndexFile.h"
#include "dbengine/index/IndexKeys.h"
#include "dbengine/session/DataTable.h"

namespace dbengine {

namespace {

// A bitmap from the pool for the length of one step, given back on every path.
class TScratchBitmap {
public:
    explicit TScratchBitmap(uint32_t size)
        : Bits(RecordsBitmapPool() != nullptr ? GetRecordsBitmap() : std::make_unique<TRecordsBitmap>()) {
        Bits->SetSize(size);
        Bits->ClearAll();
    }
    ~TScratchBitmap() {
        if (RecordsBitmapPool() != nullptr) ReleaseRecordsBitmap(Bits);
    }
    TScratchBitmap(const TScratchBitmap&) = delete;
    TScratchBitmap& operator=(const TScratchBitmap&) = delete;
    TRecordsBitmap& operator*() { return *Bits; }
    TRecordsBitmap* operator->() { return Bits.get(); }

private:
    std::unique_ptr<TRecordsBitmap> Bits;
};

// Puts the cursor's index back as it was when the scope began.
class TIndexRestore {
public:
    explicit TIndexRestore(TDataCursor& cursor) : Cursor(cursor), Saved(cursor.CurrentIndex) {}
    ~TIndexRestore() {
        if (Cursor.CurrentIndex == Saved) return;
        try {
            Cursor.SelectIndex(Saved);
        } catch (...) {
            // Only a damaged descriptor raises here, and the next use of that index reports it
            // again; a destructor must not raise.
            Cursor.CurrentIndex = Saved;
        }
    }
    TIndexRestore(const TIndexRestore&) = delete;
    TIndexRestore& operator=(const TIndexRestore&) = delete;

private:
    TDataCursor& Cursor;
    uint8_t Saved;
};

bool IsComparisonCode(uint8_t code) {
    return code >= ecEqual && code <= ecLessOrEqual;
}

bool IsConstant(const TExpToken* t) {
    return t != nullptr && t->Kind == tkConstant;
}

// The column of an indexed operand: a column of the cursor's own table, or UPPER of one.
const TExpToken* IndexedColumn(const TDataCursor& cursor, const TExpToken* t, bool& upper) {
    upper = false;
    if (t == nullptr) return nullptr;
    if (t->Kind == tkFunction && t->Code == ecUpper && t->ArgumentCount() == 1) {
        upper = true;
        t = t->GetArgument(0);
        if (t == nullptr) return nullptr;
    }
    if (t->Kind != tkColumn || t->FieldNo == 0) return nullptr;
    if (t->Table != nullptr && t->Table != static_cast<const void*>(&cursor)) return nullptr;
    return t;
}

// The shape of a condition that an index on one field may answer, and the index it asks for.
struct TNodeShape {
    const TExpToken* Column = nullptr;
    bool Upper = false;
    bool CaseInsensitive = false;
    bool AnyCase = false;
};

bool ShapeOf(const TDataCursor& cursor, const TExpToken* node, TNodeShape& shape) {
    if (node == nullptr) return false;
    switch (node->Kind) {
        case tkUnary:
            if (node->Code != ecIsNull && node->Code != ecIsNotNull) return false;
            shape.Column = IndexedColumn(cursor, node->Left, shape.Upper);
            if (shape.Upper) return false;
            shape.AnyCase = true;
            break;
        case tkBinary:
            if (!IsComparisonCode(node->Code) || !IsConstant(node->Right)) return false;
            shape.Column = IndexedColumn(cursor, node->Left, shape.Upper);
            shape.CaseInsensitive = shape.Upper;
            break;
        case tkStringCompare:
            if ((node->Code != ecEqual && node->Code != ecNotEqual) || !IsConstant(node->Right)) return false;
            shape.Column = IndexedColumn(cursor, node->Left, shape.Upper);
            shape.CaseInsensitive = shape.Upper || node->CaseInsensitive;
            break;
        case tkPredicate:
            if (node->Code == ecIn || node->Code == ecNotIn) {
                if (node->ArgumentCount() < 2) return false;
                for (int i = 1; i < node->ArgumentCount(); ++i)
                    if (!IsConstant(node->GetArgument(i))) return false;
            } else if (node->Code == ecBetween || node->Code == ecNotBetween) {
                if (node->ArgumentCount() != 3 || !IsConstant(node->GetArgument(1)) ||
                    !IsConstant(node->GetArgument(2)))
                    return false;
            } else {
                return false;
            }
            shape.Column = IndexedColumn(cursor, node->GetArgument(0), shape.Upper);
            shape.CaseInsensitive = shape.Upper;
            break;
        default:
            return false;
    }
    return shape.Column != nullptr;
}

bool SelectIndexForNode(TDataCursor& cursor, const TExpToken* node) {
    TNodeShape shape;
    return ShapeOf(cursor, node, shape) &&
           cursor.SelectIndexForField(shape.Column->FieldNo, shape.CaseInsensitive, shape.AnyCase);
}

// Field types whose key bytes sort as the evaluator compares their values.
bool HasOrderedKeys(uint8_t type) {
    switch (type) {
        case fldString:
        case fldDate:
        case fldTime:
        case fldTimestamp:
        case fldSmallInt:
        case fldInteger:
        case fldWord:
        case fldLargeInt:
        case fldFloat:
        case fldBCD:
        case fldBoolean:
            return true;
        default:
            return false;
    }
}

bool IsTextToken(const TExpToken* t) {
    return t->DataType == fldString || (t->DataType == fldBlob && t->SubType == fldstMemo);
}

// Builds the key ranges of one condition with the index for it current.
class TRangeBuilder {
public:
    TRangeBuilder(TDataCursor& cursor, const TFieldDescriptor& field, bool upperConstant)
        : Cursor(cursor),
          Field(field),
          Part(KeyPartSize(field)),
          IsString(field.FieldType == fldString),
          UpperConstant(upperConstant),
          EncodeDescending(!cursor.IsIndexDescending() && cursor.IsFirstIndexFieldDescending()),
          ValueDescending(cursor.IsIndexDescending() || cursor.IsFirstIndexFieldDescending()) {}

    // The records whose field is NULL, or (nonNull) is not.
    TKeyBound FlagBound(bool nonNull) const {
        TKeyBound b;
        b.Key.assign(std::max<size_t>(Cursor.GetKeySize(), Part + 1u), 0);
        b.Key[0] = nonNull ? 1 : 0;
        uint8_t value[KeyValueBufferSize] = {};
        EncodeKeyValue(Field, value, b.Key.data(), false, EncodeDescending, Cursor.LanguageId, Cursor.SortId);
        b.Length = 1;
        return b;
    }

    // The key prefix of a value over length bytes (0: the whole field); false when the constant
    // cannot be put into the field's key exactly.
    bool ValueBound(const TExpToken* constant, int length, bool strict, TKeyBound& b) const {
        uint8_t value[KeyValueBufferSize] = {};
        if (IsString) {
            if (!IsTextToken(constant)) return false;
            std::string text = constant->IsNull ? std::string() : ExpTextValue(constant);
            if (!TextBound(text, length, strict, b)) return false;
            return true;
        }
        if (constant->DataType != Field.FieldType) return false;
        size_t n = std::min<size_t>(
            {static_cast<size_t>(std::max(0, constant->Capacity)), Field.ValueSize, sizeof value});
        if (n < Field.ValueSize) return false;
        std::memcpy(value, constant->Data.get(), n);
        return Encode(value, length, strict, b);
    }

    bool TextBound(const std::string& text, int length, bool strict, TKeyBound& b) const {
        // A text the field cannot hold has no key; a stored value keeps its closing zero byte.
        if (text.size() + 1 > Part) return false;
        uint8_t value[KeyValueBufferSize] = {};
        std::memcpy(value, text.data(), text.size());
        return Encode(value, length, strict, b);
    }

    // Value order [low, high] turned into the index's order.
    TKeyRange Range(TKeyBound low, TKeyBound high) const {
        TKeyRange r;
        if (ValueDescending) {
            r.Start = std::move(high);
            r.End = std::move(low);
        } else {
            r.Start = std::move(low);
            r.End = std::move(high);
        }
        return r;
    }

    // What "field op constant" selects (NULL rules of the evaluator; an ordering comparison of
    // strings reads a NULL text as the empty text).
    bool Comparison(uint8_t op, const TExpToken* constant, int length, TRangeSet& set) const {
        if (op == ecEqual || op == ecNotEqual) {
            if (constant->IsNull) {
                set.Ranges.push_back(Range(FlagBound(op == ecNotEqual), FlagBound(op == ecNotEqual)));
                return true;
            }
            TKeyBound v;
            if (!ValueBound(constant, length, false, v)) return false;
            set.Ranges.push_back(Range(v, v));
            set.Invert = op == ecNotEqual;
            return true;
        }
        if (!IsComparisonCode(op) || length != 0) return false;
        if (Field.FieldType == fldBoolean) return false;
        bool greater = op == ecGreater || op == ecGreaterOrEqual;
        bool strict = op == ecGreater || op == ecLess;
        if (!IsString && constant->IsNull) {
            // Two NULLs compare their stored (zero) values: equal.
            if (!strict) set.Ranges.push_back(Range(FlagBound(false), FlagBound(false)));
            return true;
        }
        TKeyBound v;
        if (!ValueBound(constant, 0, strict, v)) return false;
        if (greater)
            set.Ranges.push_back(Range(v, FlagBound(true)));
        else
            set.Ranges.push_back(Range(FlagBound(true), v));
        if (IsString) {
            bool emptyConstant = constant->IsNull || ExpTextValue(constant).empty();
            bool nullPasses = emptyConstant ? !strict : !greater;
            if (nullPasses) set.Ranges.push_back(Range(FlagBound(false), FlagBound(false)));
        }
        return true;
    }

private:
    bool Encode(const uint8_t* value, int length, bool strict, TKeyBound& b) const {
        b.Key.assign(std::max<size_t>(Cursor.GetKeySize(), Part + 1u), 0);
        b.Key[0] = 1;
        EncodeKeyValue(Field, value, b.Key.data(), UpperConstant, EncodeDescending, Cursor.LanguageId,
                       Cursor.SortId);
        b.Length = length != 0 ? length : Part + 1;
        b.Strict = strict;
        return true;
    }

    TDataCursor& Cursor;
    const TFieldDescriptor& Field;
    uint8_t Part;
    bool IsString;
    bool UpperConstant;
    bool EncodeDescending;
    bool ValueDescending;
};

// The entries of the whole index.
TKeyBound WholeIndex(uint16_t keySize) {
    TKeyBound b;
    b.Key.assign(std::max<uint16_t>(keySize, 1), 0);
    return b;
}

}  // namespace

// ---- Choosing an index ----

bool TDataCursor::SelectIndexForField(uint16_t fieldNo, bool caseInsensitive, bool anyCase) {
    if (IndexFile == nullptr || Table == nullptr) return false;
    uint8_t count = GetSecondaryIndexCount();
    for (int i = HasInternalPrimaryIndex() ? 1 : 0; i <= count; ++i) {
        TIndexDescriptor d = GetIndexDesc(static_cast<uint8_t>(i));
        if (d.FieldCount == 0 || d.FieldNumbers[0] != fieldNo) continue;
        const TFieldDescriptor* f = Table->FindField(fieldNo);
        if (f == nullptr) continue;
        if (!anyCase && f->FieldType == fldString && (d.CaseInsensitive != 0) != caseInsensitive) continue;
        if (CurrentIndex != i) SelectIndex(static_cast<uint8_t>(i));
        return true;
    }
    return false;
}

// ---- Key ranges of a condition ----

bool TDataCursor::BuildConditionRanges(const TExpToken* node, TConditionRanges& ranges) {
    TNodeShape shape;
    if (!ShapeOf(*this, node, shape) || IsNaturalOrder() || IndexFieldDescs.empty()) return false;
    const TFieldDescriptor* field = Table->FindField(shape.Column->FieldNo);
    if (field == nullptr || IndexFieldDescs[0].FieldNo != field->FieldNo) return false;
    if (!HasOrderedKeys(field->FieldType)) return false;
    bool isString = field->FieldType == fldString;
    // Other languages collate strings by the locale, which key bytes do not follow exactly.
    if (isString && LanguageId != 0) return false;
    if (shape.Upper && !isString) return false;
    bool upperConstant = node->Kind == tkStringCompare && node->CaseInsensitive;
    if (isString && !shape.AnyCase && IndexCaseInsensitive != (shape.Upper || upperConstant)) return false;
    TRangeBuilder builder(*this, *field, upperConstant);
    ranges = TConditionRanges();
    switch (node->Kind) {
        case tkUnary: {
            TRangeSet set;
            bool nonNull = node->Code == ecIsNotNull;
            set.Ranges.push_back(builder.Range(builder.FlagBound(nonNull), builder.FlagBound(nonNull)));
            ranges.Parts.push_back(std::move(set));
            return true;
        }
        case tkBinary: {
            TRangeSet set;
            if (!builder.Comparison(node->Code, node->Right, 0, set)) return false;
            ranges.Parts.push_back(std::move(set));
            return true;
        }
        case tkStringCompare: {
            if (!isString) return false;
            int32_t n = node->CompareLength;
            if (n < 0 || n + 1 > KeyPartSize(*field)) return false;
            TRangeSet set;
            if (!builder.Comparison(node->Code, node->Right, n != 0 ? n + 1 : 0, set)) return false;
            ranges.Parts.push_back(std::move(set));
            return true;
        }
        case tkPredicate: {
            if (node->Code == ecIn || node->Code == ecNotIn) {
                TRangeSet all;
                for (int i = 1; i < node->ArgumentCount(); ++i) {
                    TRangeSet one;
                    if (!builder.Comparison(ecEqual, node->GetArgument(i), 0, one)) return false;
                    all.Ranges.insert(all.Ranges.end(), one.Ranges.begin(), one.Ranges.end());
                }
                ranges.Parts.push_back(std::move(all));
                ranges.Invert = node->Code == ecNotIn;
                return true;
            }
            TRangeSet low, high;
            if (!builder.Comparison(ecGreaterOrEqual, node->GetArgument(1), 0, low) ||
                !builder.Comparison(ecLessOrEqual, node->GetArgument(2), 0, high))
                return false;
            ranges.Parts.push_back(std::move(low));
            ranges.Parts.push_back(std::move(high));
            ranges.Invert = node->Code == ecNotBetween;
            return true;
        }
        default:
            return false;
    }
}

// ---- Counting and scanning ----

namespace {

// Leading entries of the page that lie before bound (orEqual: not after it).
int EntriesBefore(const TDataCursor& cursor, const TPage& page, const TKeyBound& bound, bool orEqual) {
    int low = 0, high = page.EntryCount;  // the answer lies in [low, high]
    while (low < high) {
        int mid = (low + high + 1) / 2;
        int c = cursor.CompareKeys(page.EntryKey(mid), bound.Key.data(), static_cast<size_t>(bound.Length));
        if (orEqual ? c <= 0 : c < 0)
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

}  // namespace

int32_t TDataCursor::CountEntriesBefore(const TKeyBound& bound, bool orEqual) {
    int32_t pageNo = IndexFile->GetRootPage(CurrentIndex);
    int32_t total = 0;
    for (int depth = 0; depth <= MaxTreeLevels; ++depth) {
        if (pageNo == 0) return total;
        TPage* p = FetchIndexPage(pageNo);
        if (p->EntryCount == 0) {
            IndexFile->ReleasePage(p);
            return total;
        }
        int k = EntriesBefore(*this, *p, bound, orEqual);
        if (p->IsLeaf()) {
            IndexFile->ReleasePage(p);
            return total + k;
        }
        // Inner keys are the first keys of their subtrees: every subtree left of the last one
        // that starts before the bound lies wholly before it.
        int child = std::max(k, 1);
        total += p->CountBefore(child);
        pageNo = p->GetValue(child);
        IndexFile->ReleasePage(p);
    }
    IndexFile->RaiseError(DBE_INDEXCORRUPT);
}

int32_t TDataCursor::ScanRange(const TKeyRange& range, TRecordsBitmap* bitmap) {
    int32_t pageNo = IndexFile->GetRootPage(CurrentIndex);
    TPage leaf;
    int32_t entry = 0;
    for (int depth = 0;; ++depth) {
        if (depth > MaxTreeLevels) IndexFile->RaiseError(DBE_INDEXCORRUPT);
        if (pageNo == 0) return 0;
        TPage* p = FetchIndexPage(pageNo);
        if (p->EntryCount == 0) {
            IndexFile->ReleasePage(p);
            return 0;
        }
        int k = EntriesBefore(*this, *p, range.Start, range.Start.Strict);
        if (p->IsLeaf()) {
            leaf.Assign(*p);
            IndexFile->ReleasePage(p);
            entry = k;
            break;
        }
        pageNo = p->GetValue(std::max(k, 1));
        IndexFile->ReleasePage(p);
    }
    // entry is the last one before the start (0: none on this leaf); the range begins after it.
    if (entry == 0) {
        entry = 1;
    } else if (!StepEntry(leaf, entry, true)) {
        return 0;
    }
    int32_t walked = 0;
    int64_t crossings = 0;
    for (;;) {
        int c =
            CompareKeys(leaf.EntryKey(entry), range.End.Key.data(), static_cast<size_t>(range.End.Length));
        if (range.End.Strict ? c >= 0 : c > 0) break;
        ++walked;
        if (bitmap != nullptr) bitmap->SetBit(leaf.GetValue(entry));
        int32_t page = leaf.PageNo;
        if (!StepEntry(leaf, entry, true)) break;
        // A damaged leaf chain may loop: no walk crosses more leaves than the file has pages.
        if (leaf.PageNo != page && ++crossings > IndexFile->GetPageCount())
            IndexFile->RaiseError(DBE_INDEXCORRUPT);
    }
    return walked;
}

int32_t TDataCursor::CountKeysInRange(const TKeyRange& range) {
    if (GetIndexDesc(CurrentIndex).NoCounts != 0) return ScanRange(range, nullptr);
    int32_t before = CountEntriesBefore(range.Start, range.Start.Strict);
    int32_t upTo = CountEntriesBefore(range.End, !range.End.Strict);
    return std::max(0, upTo - before);
}

// ---- Rating ----

int32_t TDataCursor::EstimateMatches(const TExpToken* node) {
    TIndexRestore restore(*this);
    TConditionRanges ranges;
    if (!SelectIndexForNode(*this, node) || !BuildConditionRanges(node, ranges)) return -1;
    // The positive form counts: "<>", NOT IN and NOT BETWEEN take the count of "=", IN and
    // BETWEEN; an IN list the smallest count of its values.
    bool inList = node->Kind == tkPredicate && (node->Code == ecIn || node->Code == ecNotIn);
    int32_t best = -1;
    for (const TRangeSet& set : ranges.Parts) {
        int32_t sum = 0;
        for (const TKeyRange& r : set.Ranges) {
            int32_t n = CountKeysInRange(r);
            if (inList) {
                best = best < 0 ? n : std::min(best, n);
            } else {
                sum += n;
            }
        }
        if (!inList) best = best < 0 ? sum : std::min(best, sum);
    }
    return std::max(best, 0);
}

uint8_t TDataCursor::GetConditionOptimizeLevel(TExpToken* node, bool estimateCounts, bool costRule) {
    if (node == nullptr) return 0;
    node->OptimizeLevel = 0;
    node->EstimatedCount = -1;
    node->EstimatedCost = -1;
    node->OptimizeFlag1 = 0;
    node->OptimizeFlag2 = 0;
    if (node->Kind == tkUnary &&
        (node->Code == ecNot || node->Code == ecNegate || node->Code == ecPlusSign)) {
        if (node->Left == nullptr) return 0;
        GetConditionOptimizeLevel(node->Left, estimateCounts, costRule);
        node->OptimizeLevel = node->Left->OptimizeLevel;
        node->EstimatedCount = node->Left->EstimatedCount;
        node->EstimatedCost = node->Left->EstimatedCost;
        return node->OptimizeLevel;
    }
    if (node->Kind == tkBinary && (node->Code == ecAnd || node->Code == ecOr)) {
        if (node->Left == nullptr || node->Right == nullptr) return 0;
        TExpToken* l = node->Left;
        TExpToken* r = node->Right;
        GetConditionOptimizeLevel(l, estimateCounts, costRule);
        GetConditionOptimizeLevel(r, estimateCounts, costRule);
        // Counts and costs of operands that were not estimated (-1) do not take part.
        auto pick = [](int32_t a, int32_t b, bool smaller) {
            if (a < 0) return b;
            if (b < 0) return a;
            return smaller ? std::min(a, b) : std::max(a, b);
        };
        node->EstimatedCount = pick(l->EstimatedCount, r->EstimatedCount, node->Code == ecAnd);
        if (l->EstimatedCost >= 0 || r->EstimatedCost >= 0)
            node->EstimatedCost = std::max(0, l->EstimatedCost) + std::max(0, r->EstimatedCost);
        if (costRule) {
            // Beside a condition answered from an index, one left to record tests by the 90 % rule
            // costs no more from its own index.
            for (auto [a, b] : {std::pair{l, r}, std::pair{r, l}}) {
                if (a->OptimizeLevel == 2 && b->OptimizeLevel == 0 && b->OptimizeFlag1 != 0) {
                    b->OptimizeLevel = 2;
                    b->OptimizeFlag1 = 0;
                }
            }
        }
        uint8_t left = l->OptimizeLevel, right = r->OptimizeLevel;
        if (node->Code == ecOr) {
            node->OptimizeLevel = left == 2 && right == 2 ? 2 : 0;
        } else if (left == 2 && right == 2) {
            node->OptimizeLevel = 2;
        } else if (left > 0 || right > 0) {
            node->OptimizeLevel = 1;
            // The operand answered from an index goes first, so the other tests fewer records.
            if (right > left) std::swap(node->Left, node->Right);
        }
        return node->OptimizeLevel;
    }
    uint16_t keySize = 0;
    {
        TIndexRestore restore(*this);
        TConditionRanges ranges;
        if (!SelectIndexForNode(*this, node) || !BuildConditionRanges(node, ranges)) return 0;
        keySize = KeySize;
    }
    node->OptimizeLevel = 2;
    if (!estimateCounts) return 2;
    node->EstimatedCount = EstimateMatches(node);
    node->EstimatedCost = node->EstimatedCount * keySize;
    if (costRule) {
        // nearbyint rounds halves to even in the default rounding mode.
        double limit = std::nearbyint(static_cast<double>(GetTableRecordCount()) * 0.9);
        if (node->EstimatedCount > limit) {
            node->OptimizeLevel = 0;
            node->OptimizeFlag1 = 1;
            node->OptimizeFlag2 = 2;
        }
    }
    return node->OptimizeLevel;
}

// ---- Evaluation into a bitmap ----

bool TFilter::UseIndex(uint8_t level, int32_t cost, int64_t candidateCount) const {
    if (level == 0) return false;
    if (cost == -1) return true;
    return static_cast<int64_t>(cost) <= candidateCount * Cursor->GetTableRecordSize();
}

bool TFilter::ScanCondition(TRecordsBitmap& bitmap, const TExpToken* node) {
    TDataCursor& c = *Cursor;
    TIndexRestore restore(c);
    TConditionRanges ranges;
    if (!SelectIndexForNode(c, node) || !c.BuildConditionRanges(node, ranges)) return false;
    const uint32_t size = bitmap.Size;
    const bool countsKept = c.GetIndexDesc(c.CurrentIndex).NoCounts == 0;
    TScratchBitmap result(size);
    bool first = true;
    for (const TRangeSet& set : ranges.Parts) {
        TScratchBitmap part(size);
        for (const TKeyRange& range : set.Ranges) {
            TScratchBitmap bits(size);
            int32_t n = CostBased && countsKept && c.LanguageId == 0 ? c.CountKeysInRange(range) : -1;
            if (n >= 0 && c.GetTableRecordCount() - n < n) {
                // More than half the records: the two ranges outside are shorter to walk.
                TKeyRange below{WholeIndex(c.GetKeySize()), range.Start};
                below.End.Strict = !range.Start.Strict;
                TKeyRange above{range.End, WholeIndex(c.GetKeySize())};
                above.Start.Strict = !range.End.Strict;
                c.ScanRange(below, &*bits);
                c.ScanRange(above, &*bits);
                bits->Invert();
                c.CountComplementScan();
            } else {
                c.ScanRange(range, &*bits);
            }
            part->OrWith(*bits);
        }
        if (set.Invert) part->Invert();
        if (first)
            result->Assign(*part);
        else
            result->AndWith(*part);
        first = false;
    }
    if (ranges.Invert) result->Invert();
    bitmap.Assign(*result);
    return true;
}

void TFilter::EvaluateNode(TRecordsBitmap& bitmap, TExpToken* node, bool& restart, uint8_t parentOp) {
    if (bitmap.Size == 0 || node == nullptr) return;
    const bool index = UseIndex(node->OptimizeLevel, node->EstimatedCost, bitmap.Count());
    if (node->Kind == tkUnary &&
        (node->Code == ecNot || node->Code == ecNegate || node->Code == ecPlusSign)) {
        if (!index || node->Left == nullptr) {
            TestRecords(bitmap, restart, parentOp, node);
            return;
        }
        TScratchBitmap copy(bitmap.Size);
        copy->Assign(bitmap);
        EvaluateNode(*copy, node->Left, restart, node->Code);
        if (restart) return;
        bitmap.Assign(*copy);
        if (node->Code == ecNot) bitmap.Invert();
        return;
    }
    if (node->Kind == tkBinary && node->Code == ecAnd && node->Left != nullptr && node->Right != nullptr) {
        if (!index) {
            TestRecords(bitmap, restart, parentOp, node);
            return;
        }
        if (node->Right->OptimizeLevel > node->Left->OptimizeLevel) std::swap(node->Left, node->Right);
        TScratchBitmap a(bitmap.Size);
        a->Assign(bitmap);
        EvaluateNode(*a, node->Left, restart, ecAnd);
        if (restart) return;
        a->AndWith(bitmap);
        TScratchBitmap b(bitmap.Size);
        b->Assign(*a);
        EvaluateNode(*b, node->Right, restart, ecAnd);
        if (restart) return;
        b->AndWith(*a);
        bitmap.Assign(*b);
        return;
    }
    if (node->Kind == tkBinary && node->Code == ecOr && node->Left != nullptr && node->Right != nullptr) {
        if (node->OptimizeLevel != 2) {
            TestRecords(bitmap, restart, parentOp, node);
            return;
        }
        TScratchBitmap a(bitmap.Size);
        a->Assign(bitmap);
        EvaluateNode(*a, node->Left, restart, ecOr);
        if (restart) return;
        TScratchBitmap b(bitmap.Size);
        b->SetAll();
        EvaluateNode(*b, node->Right, restart, ecOr);
        if (restart) return;
        b->OrWith(*a);
        bitmap.Assign(*b);
        return;
    }
    if (index && ScanCondition(bitmap, node)) return;
    TestRecords(bitmap, restart, parentOp, node);
}

}  // namespace dbengine
