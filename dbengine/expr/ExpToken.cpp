#include "dbengine/expr/ExpToken.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "dbengine/expr/ExpFunctions.h"
#include "framework/core/SysUtils.h"

namespace dbengine {

namespace {

std::unique_ptr<TExpTokenStack>& PoolInstance() {
    static std::unique_ptr<TExpTokenStack> pool;
    return pool;
}

std::atomic<int64_t> TokensInUse{0};

std::unique_ptr<uint8_t[]> ZeroedBuffer(int32_t size) {
    return std::unique_ptr<uint8_t[]>(new uint8_t[static_cast<size_t>(size)]());
}

}  // namespace

TExpToken::TExpToken() : Capacity(ExpTokenBufferStep), Data(ZeroedBuffer(ExpTokenBufferStep)) {}

TExpToken::~TExpToken() = default;

void TExpToken::Clear() {
    Text.clear();
    Kind = Code = 0;
    OptimizeLevel = OptimizeFlag1 = OptimizeFlag2 = 0;
    EstimatedCount = EstimatedCost = -1;
    JoinRole = JoinChecked = 0;
    ColumnName.clear();
    FieldNo = 0;
    TableName.clear();
    Table = nullptr;
    Query = nullptr;
    IsNull = IsParam = false;
    CompareLength = 0;
    CaseInsensitive = false;
    DataType = SubType = 0;
    DataSize = 0;
    Scale = 0;
    FromConstant = false;
    ConstType = ConstSubType = 0;
    ConstSize = 0;
    ConstScale = 0;
    Parent = Left = Right = Third = nullptr;
    Arguments.clear();
    LeftOffset = RightOffset = ThirdOffset = ArgumentsOffset = 0;
    WritePos = ReadPos = 0;
    // A token comes back from the pool for every node of every evaluated record: a buffer of
    // the first size is zeroed where it stands instead of being allocated again.
    if (Data != nullptr && Capacity == ExpTokenBufferStep)
        std::memset(Data.get(), 0, static_cast<size_t>(ExpTokenBufferStep));
    else
        Data = ZeroedBuffer(ExpTokenBufferStep);
    Capacity = ExpTokenBufferStep;
}

void TExpToken::SetCapacity(int32_t n) {
    if (n < 1) {
        Data.reset();
        Capacity = 0;
        return;
    }
    int64_t rounded = (int64_t(n) + ExpTokenBufferStep - 1) / ExpTokenBufferStep * ExpTokenBufferStep;
    if (rounded <= Capacity) return;
    auto grown = ZeroedBuffer(static_cast<int32_t>(rounded));
    if (Capacity > 0) std::memcpy(grown.get(), Data.get(), static_cast<size_t>(Capacity));
    Data = std::move(grown);
    Capacity = static_cast<int32_t>(rounded);
}

void TExpToken::SetDataSize(int32_t n) {
    if (n == DataSize) return;
    SetCapacity(n);
    DataSize = n;
}

void TExpToken::Assign(const TExpToken& Source) {
    if (&Source == this) return;
    Text = Source.Text;
    Kind = Source.Kind;
    Code = Source.Code;
    OptimizeLevel = Source.OptimizeLevel;
    OptimizeFlag1 = Source.OptimizeFlag1;
    OptimizeFlag2 = Source.OptimizeFlag2;
    EstimatedCount = Source.EstimatedCount;
    EstimatedCost = Source.EstimatedCost;
    JoinRole = Source.JoinRole;
    JoinChecked = Source.JoinChecked;
    ColumnName = Source.ColumnName;
    FieldNo = Source.FieldNo;
    TableName = Source.TableName;
    Table = Source.Table;
    Query = Source.Query;
    Parent = Source.Parent;
    Left = Source.Left;
    Right = Source.Right;
    IsNull = Source.IsNull;
    IsParam = Source.IsParam;
    CompareLength = Source.CompareLength;
    CaseInsensitive = Source.CaseInsensitive;
    DataType = Source.DataType;
    SubType = Source.SubType;
    DataSize = Source.DataSize;
    Scale = Source.Scale;
    FromConstant = Source.FromConstant;
    ConstType = Source.ConstType;
    ConstSubType = Source.ConstSubType;
    ConstSize = Source.ConstSize;
    ConstScale = Source.ConstScale;
    SetCapacity(Source.Capacity);
    if (Source.Capacity > 0) std::memcpy(Data.get(), Source.Data.get(), static_cast<size_t>(Source.Capacity));
    Arguments = Source.Arguments;
}

TExpToken* TExpToken::GetArgument(int i) const {
    if (i < 0 || i >= ArgumentCount()) return nullptr;
    return Arguments[static_cast<size_t>(i)];
}

void TExpToken::SetArgument(int i, TExpToken* t) {
    if (i < 0) return;
    if (i >= ArgumentCount()) Arguments.resize(static_cast<size_t>(i) + 1, nullptr);
    Arguments[static_cast<size_t>(i)] = t;
}

TExpTokenStack::TExpTokenStack() : Lock(NewCriticalSection()) {
    Idle.reserve(ExpTokenPoolCapacity);
}

TExpTokenStack::~TExpTokenStack() {
    while (!Idle.empty()) {
        delete Idle.back();
        Idle.pop_back();
    }
}

TExpToken* TExpTokenStack::Take() {
    TEngineLockGuard guard(*Lock);
    if (Idle.empty()) return new TExpToken();
    TExpToken* t = Idle.back();
    Idle.pop_back();
    t->Clear();
    return t;
}

void TExpTokenStack::Return(TExpToken* t) {
    TEngineLockGuard guard(*Lock);
    if (static_cast<int>(Idle.size()) >= ExpTokenPoolCapacity) {
        delete t;
        return;
    }
    Idle.push_back(t);
}

int TExpTokenStack::IdleCount() {
    TEngineLockGuard guard(*Lock);
    return static_cast<int>(Idle.size());
}

TExpTokenStack* ExpTokenPool() {
    return PoolInstance().get();
}

void CreateExpTokenPool() {
    if (!PoolInstance()) PoolInstance() = std::make_unique<TExpTokenStack>();
}

void FreeExpTokenPool() {
    PoolInstance().reset();
}

TExpToken* NewExpToken() {
    TExpToken* t = ExpTokenPool() != nullptr ? ExpTokenPool()->Take() : new TExpToken();
    ++TokensInUse;
    return t;
}

void ReleaseExpToken(TExpToken*& t) {
    if (t == nullptr) return;
    --TokensInUse;
    if (ExpTokenPool() != nullptr)
        ExpTokenPool()->Return(t);
    else
        delete t;
    t = nullptr;
}

int64_t ExpTokensInUse() {
    return TokensInUse.load();
}

void FreeExpTree(TExpToken*& t) {
    if (t == nullptr) return;
    // A single node (every evaluation result) needs no walk.
    if (t->Left == nullptr && t->Right == nullptr && t->Third == nullptr &&
        std::all_of(t->Arguments.begin(), t->Arguments.end(),
                    [](const TExpToken* a) { return a == nullptr; })) {
        ReleaseExpToken(t);
        return;
    }
    // Post-order over an explicit stack: a node is released once its subtrees are gone.
    std::vector<TExpToken*> pending{t};
    t = nullptr;
    while (!pending.empty()) {
        TExpToken* node = pending.back();
        // Third links only trees rewired for the linked byte layout.
        TExpToken** child = node->Left != nullptr    ? &node->Left
                            : node->Right != nullptr ? &node->Right
                            : node->Third != nullptr ? &node->Third
                                                     : nullptr;
        if (child == nullptr) {
            for (auto& argument : node->Arguments) {
                if (argument != nullptr) {
                    child = &argument;
                    break;
                }
            }
        }
        if (child != nullptr) {
            pending.push_back(*child);
            *child = nullptr;
            continue;
        }
        pending.pop_back();
        ReleaseExpToken(node);
    }
}

int ExpTreeDepth(const TExpToken* t) {
    int deepest = 0;
    std::vector<std::pair<const TExpToken*, int>> pending;
    if (t != nullptr) pending.emplace_back(t, 1);
    while (!pending.empty()) {
        auto [node, depth] = pending.back();
        pending.pop_back();
        deepest = std::max(deepest, depth);
        if (node->Left != nullptr) pending.emplace_back(node->Left, depth + 1);
        if (node->Right != nullptr) pending.emplace_back(node->Right, depth + 1);
        for (const TExpToken* a : node->Arguments)
            if (a != nullptr) pending.emplace_back(a, depth + 1);
    }
    return deepest;
}

TExpToken* CopyExpTree(const TExpToken* t) {
    if (t == nullptr) return nullptr;
    TExpTreeHolder copy(NewExpToken());
    copy->Assign(*t);
    // The shared links are replaced one by one; until then the copy must not free them.
    copy->Left = copy->Right = nullptr;
    copy->Arguments.assign(t->Arguments.size(), nullptr);
    copy->Left = CopyExpTree(t->Left);
    copy->Right = CopyExpTree(t->Right);
    for (size_t i = 0; i < t->Arguments.size(); ++i) copy->Arguments[i] = CopyExpTree(t->Arguments[i]);
    return copy.release();
}

bool SameExpTree(const TExpToken* a, const TExpToken* b) {
    if (a == nullptr || b == nullptr) return a == b;
    if (!SameExpTree(a->Left, b->Left) || !SameExpTree(a->Right, b->Right)) return false;
    if (a->Arguments.size() != b->Arguments.size()) return false;
    for (size_t i = 0; i < a->Arguments.size(); ++i)
        if (!SameExpTree(a->Arguments[i], b->Arguments[i])) return false;
    if (a->Kind != b->Kind || a->Code != b->Code || !framework::AnsiSameText(a->ColumnName, b->ColumnName) ||
        !framework::AnsiSameText(a->TableName, b->TableName) || a->IsParam != b->IsParam ||
        a->CompareLength != b->CompareLength || a->CaseInsensitive != b->CaseInsensitive ||
        a->DataType != b->DataType || a->SubType != b->SubType || a->DataSize != b->DataSize ||
        a->Scale != b->Scale)
        return false;
    if (a->Kind == tkConstant) {
        if (a->IsNull != b->IsNull) return false;
        int32_t n = a->DataSize;
        if (n > 0 && (n > a->Capacity || n > b->Capacity)) return false;
        if (n > 0 && std::memcmp(a->Data.get(), b->Data.get(), static_cast<size_t>(n)) != 0) return false;
    }
    return true;
}

TExpToken* FindColumnInExpTree(TExpToken* t) {
    if (t == nullptr) return nullptr;
    switch (t->Kind) {
        case tkUnary:
            return FindColumnInExpTree(t->Left);
        case tkBinary:
            if (TExpToken* c = FindColumnInExpTree(t->Left)) return c;
            return FindColumnInExpTree(t->Right);
        case tkColumn:
            return t;
        case tkFunction:
        case tkPredicate:
            for (TExpToken* a : t->Arguments)
                if (TExpToken* c = FindColumnInExpTree(a)) return c;
            return nullptr;
        default:
            return nullptr;
    }
}

bool ExpTreeHasColumn(const TExpToken* t) {
    if (t == nullptr) return false;
    switch (t->Kind) {
        case tkUnary:
            return ExpTreeHasColumn(t->Left);
        case tkBinary:
            return ExpTreeHasColumn(t->Left) || ExpTreeHasColumn(t->Right);
        case tkColumn:
            return true;
        case tkFunction:
        case tkPredicate:
            for (const TExpToken* a : t->Arguments)
                if (ExpTreeHasColumn(a)) return true;
            return false;
        default:
            return false;
    }
}

bool ExpTreeHasAggregate(const TExpToken* t) {
    if (t == nullptr) return false;
    switch (t->Kind) {
        case tkUnary:
            return ExpTreeHasAggregate(t->Left);
        case tkBinary:
            return ExpTreeHasAggregate(t->Left) || ExpTreeHasAggregate(t->Right);
        case tkFunction:
            if (t->Code >= ecSum && t->Code <= ecAvg) return true;
            [[fallthrough]];
        case tkPredicate:
            for (const TExpToken* a : t->Arguments)
                if (ExpTreeHasAggregate(a)) return true;
            return false;
        default:
            return false;
    }
}

bool ExpTreeIsDisjunction(const TExpToken* t) {
    if (t == nullptr) return false;
    if (t->Kind == tkBinary) return t->Code == ecOr;
    if (t->Kind == tkUnary && t->Code == ecNot) return !ExpTreeIsDisjunction(t->Left);
    return false;
}

bool ExpTreeIsNot(const TExpToken* t) {
    // Walks up through binary operators to the nearest other ancestor.
    while (t != nullptr && t->Kind == tkBinary) t = t->Parent;
    return t != nullptr && t->Kind == tkUnary && t->Code == ecNot;
}

uint8_t AggregateCode(const std::string& name) {
    for (const TExpFunction& f : ExpFunctions())
        if (f.Syntax == TExpArgumentSyntax::Aggregate && framework::SameText(name, f.Keyword)) return f.Code;
    return 0;
}

}  // namespace dbengine
