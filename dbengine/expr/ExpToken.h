#pragma once
// The node of every expression tree, the process-wide pool the nodes come from, and the tree
// utilities (free, copy, compare, search).
//
// A tree owns its nodes: Left, Right and the Arguments entries belong to their node. Parent,
// Table and Query are references. Nodes are taken with NewExpToken and given back with
// ReleaseExpToken / FreeExpTree; the pool counts both, so tests can prove that no path loses one.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dbengine/os/OSLayer.h"
#include "framework/core/Object.h"

namespace dbengine {

class TDataQuery;

// Node kinds.
constexpr uint8_t tkUnary = 1;
constexpr uint8_t tkBinary = 2;
constexpr uint8_t tkStringCompare = 3;
constexpr uint8_t tkColumn = 4;
constexpr uint8_t tkConstant = 5;
constexpr uint8_t tkSubSelect = 6;
constexpr uint8_t tkFunction = 10;
constexpr uint8_t tkPredicate = 12;

// Node codes: operators, aggregates, predicates and functions share one number space.
constexpr uint8_t ecIsNull = 1;
constexpr uint8_t ecIsNotNull = 2;
constexpr uint8_t ecEqual = 3;
constexpr uint8_t ecNotEqual = 4;
constexpr uint8_t ecGreater = 5;
constexpr uint8_t ecLess = 6;
constexpr uint8_t ecGreaterOrEqual = 7;
constexpr uint8_t ecLessOrEqual = 8;
constexpr uint8_t ecNot = 9;
constexpr uint8_t ecAnd = 10;
constexpr uint8_t ecOr = 11;
constexpr uint8_t ecNegate = 15;
constexpr uint8_t ecPlusSign = 16;
constexpr uint8_t ecAdd = 17;
constexpr uint8_t ecSubtract = 18;
constexpr uint8_t ecMultiply = 19;
constexpr uint8_t ecDivide = 20;
constexpr uint8_t ecSum = 23;
constexpr uint8_t ecRunSum = 24;
constexpr uint8_t ecCount = 25;
constexpr uint8_t ecMin = 26;
constexpr uint8_t ecMax = 27;
constexpr uint8_t ecAvg = 28;
constexpr uint8_t ecLike = 32;
constexpr uint8_t ecIn = 33;
constexpr uint8_t ecInSelect = 34;
constexpr uint8_t ecUpper = 36;
constexpr uint8_t ecLower = 37;
constexpr uint8_t ecBetween = 41;
constexpr uint8_t ecNotBetween = 42;
constexpr uint8_t ecNotLike = 43;
constexpr uint8_t ecNotIn = 44;
constexpr uint8_t ecNotInSelect = 45;
constexpr uint8_t ecSubstring = 46;
constexpr uint8_t ecReplace = 47;
constexpr uint8_t ecPos = 48;
constexpr uint8_t ecOccurs = 49;
constexpr uint8_t ecTrimLeading = 50;
constexpr uint8_t ecTrimTrailing = 51;
constexpr uint8_t ecTrimBoth = 52;
constexpr uint8_t ecLength = 53;
constexpr uint8_t ecCast = 54;
constexpr uint8_t ecExtractYear = 55;
constexpr uint8_t ecExtractMonth = 56;
constexpr uint8_t ecExtractWeek = 57;
constexpr uint8_t ecExtractDay = 58;
constexpr uint8_t ecExtractDayOfWeek = 59;
constexpr uint8_t ecExtractDayOfYear = 60;
constexpr uint8_t ecExtractHour = 61;
constexpr uint8_t ecExtractMinute = 62;
constexpr uint8_t ecExtractSecond = 63;
constexpr uint8_t ecIf = 64;
constexpr uint8_t ecCoalesce = 65;
constexpr uint8_t ecIfNull = 66;
constexpr uint8_t ecAbs = 67;
constexpr uint8_t ecRound = 68;
constexpr uint8_t ecTextSearch = 69;
constexpr uint8_t ecTextOccurs = 70;
constexpr uint8_t ecLastAutoInc = 71;
constexpr uint8_t ecIdentCurrent = 72;

// Value buffers grow in steps of this many bytes.
constexpr int32_t ExpTokenBufferStep = 256;
// Idle tokens the pool keeps at most.
constexpr int ExpTokenPoolCapacity = 256;
// The deepest tree a parse may build; the recursive walks over trees (checking, copying,
// comparing, evaluating) stay well inside the thread's stack at this depth.
constexpr int MaxExpTreeDepth = 2000;

class TExpToken : public framework::TObject {
public:
    TExpToken();
    ~TExpToken() override;
    TExpToken(const TExpToken&) = delete;
    TExpToken& operator=(const TExpToken&) = delete;

    int32_t Capacity = 0;
    std::string Text;
    uint8_t Kind = 0;
    uint8_t Code = 0;
    uint8_t OptimizeLevel = 0;
    uint8_t OptimizeFlag1 = 0;
    uint8_t OptimizeFlag2 = 0;
    int32_t EstimatedCount = -1;
    int32_t EstimatedCost = -1;
    uint8_t JoinRole = 0;
    uint8_t JoinChecked = 0;
    std::string ColumnName;  // at most 255 characters
    uint16_t FieldNo = 0;
    std::string TableName;  // at most 255 characters
    // The table a column or function reads: a source table of a query, or the filtering cursor.
    void* Table = nullptr;
    TDataQuery* Query = nullptr;
    std::unique_ptr<uint8_t[]> Data;
    bool IsNull = false;
    bool IsParam = false;
    int32_t CompareLength = 0;
    bool CaseInsensitive = false;
    uint8_t DataType = 0;
    uint8_t SubType = 0;
    int32_t DataSize = 0;
    uint8_t Scale = 0;
    bool FromConstant = false;
    uint8_t ConstType = 0;
    uint8_t ConstSubType = 0;
    int32_t ConstSize = 0;
    uint8_t ConstScale = 0;
    TExpToken* Parent = nullptr;
    TExpToken* Left = nullptr;
    TExpToken* Right = nullptr;
    TExpToken* Third = nullptr;
    std::vector<TExpToken*> Arguments;
    int32_t LeftOffset = 0;
    int32_t RightOffset = 0;
    int32_t ThirdOffset = 0;
    int32_t ArgumentsOffset = 0;
    int32_t WritePos = 0;
    int32_t ReadPos = 0;

    // Back to the state of a token fresh from the pool, with a new zeroed 256-byte buffer.
    void Clear();
    // Below 1 releases the buffer; otherwise grows it to n rounded up to 256 (never shrinks),
    // keeping the old bytes and zeroing the new ones.
    void SetCapacity(int32_t n);
    void SetDataSize(int32_t n);
    // Copies every field but Third, the offsets and the positions. Links and the argument list
    // are shared with the source, not copied.
    void Assign(const TExpToken& Source);
    TExpToken* GetArgument(int i) const;
    void SetArgument(int i, TExpToken* t);
    int ArgumentCount() const { return static_cast<int>(Arguments.size()); }
};

class TExpTokenStack {
public:
    TExpTokenStack();
    ~TExpTokenStack();
    TExpToken* Take();
    void Return(TExpToken* t);
    int IdleCount();

private:
    std::unique_ptr<TEngineCriticalSection> Lock;
    std::vector<TExpToken*> Idle;
};

// The process-wide pool; null before library start-up and after shut-down (NewExpToken then
// creates tokens and ReleaseExpToken destroys them).
TExpTokenStack* ExpTokenPool();
void CreateExpTokenPool();
void FreeExpTokenPool();

TExpToken* NewExpToken();
void ReleaseExpToken(TExpToken*& t);
// Tokens taken by NewExpToken and not yet given back, process-wide.
int64_t ExpTokensInUse();

// Frees without recursion, so a tree of any depth can be given back.
void FreeExpTree(TExpToken*& t);
// Number of nodes on the longest path from t down (0 for nil), counted without recursion.
int ExpTreeDepth(const TExpToken* t);
TExpToken* CopyExpTree(const TExpToken* t);
bool SameExpTree(const TExpToken* a, const TExpToken* b);
TExpToken* FindColumnInExpTree(TExpToken* t);
bool ExpTreeHasColumn(const TExpToken* t);
bool ExpTreeHasAggregate(const TExpToken* t);
bool ExpTreeIsDisjunction(const TExpToken* t);
bool ExpTreeIsNot(const TExpToken* t);
// 23 SUM, 24 RUNSUM, 25 COUNT, 26 MIN, 27 MAX, 28 AVG (any case); 0 for any other name.
uint8_t AggregateCode(const std::string& name);

// Owns a tree until released: the tree is freed if the holder goes out of scope first, so a
// parse that raises half way gives every node back to the pool.
class TExpTreeHolder {
public:
    TExpTreeHolder() = default;
    explicit TExpTreeHolder(TExpToken* t) : Tree(t) {}
    ~TExpTreeHolder() { FreeExpTree(Tree); }
    TExpTreeHolder(const TExpTreeHolder&) = delete;
    TExpTreeHolder& operator=(const TExpTreeHolder&) = delete;
    TExpToken* get() const { return Tree; }
    TExpToken* operator->() const { return Tree; }
    void reset(TExpToken* t) {
        FreeExpTree(Tree);
        Tree = t;
    }
    TExpToken* release() {
        TExpToken* t = Tree;
        Tree = nullptr;
        return t;
    }

private:
    TExpToken* Tree = nullptr;
};

}  // namespace dbengine
