#include "dbengine/expr/ExpTreeStream.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "dbengine/expr/ExpFunctions.h"

namespace dbengine {

namespace {

void PutLE(uint8_t* p, uint64_t v, int n) {
    for (int i = 0; i < n; ++i, v >>= 8) p[i] = static_cast<uint8_t>(v);
}

uint64_t GetLE(const uint8_t* p, int n) {
    uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

class TRecordWriter {
public:
    TRecordWriter(std::vector<uint8_t>& buffer, size_t pos) : Buffer(buffer), Pos(pos) {}
    void Item(const void* bytes, size_t n) {
        if (Buffer.size() < Pos + 4 + n) Buffer.resize(Pos + 4 + n);
        PutLE(Buffer.data() + Pos, n, 4);
        if (n > 0) std::memcpy(Buffer.data() + Pos + 4, bytes, n);
        Pos += 4 + n;
    }
    void Number(uint64_t v, int n) {
        uint8_t b[8];
        PutLE(b, v, n);
        Item(b, static_cast<size_t>(n));
    }
    std::vector<uint8_t>& Buffer;
    size_t Pos;
};

int32_t WriteNode(TExpToken* t, std::vector<uint8_t>& buffer, int32_t p, TExpTreeLayout layout) {
    int32_t next = p + SerializedSize(t, layout);
    if (buffer.size() < static_cast<size_t>(next)) buffer.resize(static_cast<size_t>(next));
    t->LeftOffset = t->RightOffset = t->ThirdOffset = t->ArgumentsOffset = 0;
    if (t->Left != nullptr) {
        t->LeftOffset = next;
        next = WriteNode(t->Left, buffer, next, layout);
    }
    if (t->Right != nullptr) {
        t->RightOffset = next;
        next = WriteNode(t->Right, buffer, next, layout);
    }
    if (layout == TExpTreeLayout::Arguments && !t->Arguments.empty()) {
        t->ArgumentsOffset = next;
        for (TExpToken* a : t->Arguments) {
            // A hole in the list travels as an empty record of kind 0 and comes back as a hole.
            TExpTreeHolder hole;
            if (a == nullptr) {
                hole.reset(NewExpToken());
                hole->SetCapacity(0);
                a = hole.get();
            }
            next = WriteNode(a, buffer, next, layout);
        }
    }
    if (layout == TExpTreeLayout::Linked && t->Third != nullptr) {
        t->ThirdOffset = next;
        next = WriteNode(t->Third, buffer, next, layout);
    }
    TRecordWriter w(buffer, static_cast<size_t>(p));
    w.Item(t->Text.data(), t->Text.size());
    w.Number(t->Kind, 1);
    w.Number(t->Code, 1);
    w.Number(t->OptimizeLevel, 1);
    w.Item(t->ColumnName.data(), t->ColumnName.size());
    w.Number(t->FieldNo, 2);
    const int32_t size = std::max(0, t->DataSize);
    w.Number(static_cast<uint32_t>(size), 4);
    std::vector<uint8_t> value(static_cast<size_t>(size), 0);
    if (size > 0 && t->Capacity > 0)
        std::memcpy(value.data(), t->Data.get(), static_cast<size_t>(std::min(size, t->Capacity)));
    w.Item(value.data(), value.size());
    w.Number(t->IsNull ? 1 : 0, 1);
    w.Number(static_cast<uint32_t>(t->CompareLength), 4);
    w.Number(t->CaseInsensitive ? 1 : 0, 1);
    w.Number(t->DataType, 1);
    w.Number(t->SubType, 1);
    w.Number(t->Scale, 1);
    w.Number(static_cast<uint32_t>(t->LeftOffset), 4);
    w.Number(static_cast<uint32_t>(t->RightOffset), 4);
    if (layout == TExpTreeLayout::Arguments) {
        w.Number(static_cast<uint32_t>(t->Arguments.size()), 4);
        w.Number(static_cast<uint32_t>(t->ArgumentsOffset), 4);
    } else {
        w.Number(static_cast<uint32_t>(t->ThirdOffset), 4);
    }
    return next;
}

class TTreeReader {
public:
    const uint8_t* Buffer;
    size_t Size;
    size_t Pos = 0;

    // Reads one item; false when its length or bytes run past the buffer.
    bool Item(const uint8_t*& bytes, uint32_t& n) {
        if (Size - Pos < 4) return false;
        n = static_cast<uint32_t>(GetLE(Buffer + Pos, 4));
        if (Size - Pos - 4 < n) return false;
        bytes = Buffer + Pos + 4;
        Pos += 4 + n;
        return true;
    }
    bool Number(int width, uint64_t& v) {
        const uint8_t* b;
        uint32_t n;
        if (!Item(b, n) || n != static_cast<uint32_t>(width)) return false;
        v = GetLE(b, width);
        return true;
    }
    bool Text(std::string& s, size_t limit) {
        const uint8_t* b;
        uint32_t n;
        if (!Item(b, n) || n > limit) return false;
        s.assign(reinterpret_cast<const char*>(b), n);
        return true;
    }

    TExpToken* Node(int depth, bool& ok);
};

TExpToken* TTreeReader::Node(int depth, bool& ok) {
    ok = false;
    if (depth > MaxExpTreeDepth) return nullptr;
    TExpTreeHolder holder(NewExpToken());
    TExpToken* t = holder.get();
    uint64_t kind, code, level, fieldNo, dataSize, isNull, compareLength, caseInsensitive, type, subType,
        scale, left, right, count, arguments;
    const uint8_t* value;
    uint32_t valueLength;
    if (!Text(t->Text, Size) || !Number(1, kind) || !Number(1, code) || !Number(1, level) ||
        !Text(t->ColumnName, 255) || !Number(2, fieldNo) || !Number(4, dataSize) ||
        !Item(value, valueLength) || valueLength != dataSize || !Number(1, isNull) ||
        !Number(4, compareLength) || !Number(1, caseInsensitive) || !Number(1, type) || !Number(1, subType) ||
        !Number(1, scale) || !Number(4, left) || !Number(4, right) || !Number(4, count) ||
        !Number(4, arguments))
        return nullptr;
    // Every record takes at least the fixed bytes, so a count larger than that allows is false.
    if (count > (Size - Pos) / ExpRecordFixedSize) return nullptr;
    if ((count == 0) != (arguments == 0)) return nullptr;
    t->Kind = static_cast<uint8_t>(kind);
    t->Code = static_cast<uint8_t>(code);
    t->OptimizeLevel = static_cast<uint8_t>(level);
    t->FieldNo = static_cast<uint16_t>(fieldNo);
    if (valueLength > 0) t->SetCapacity(static_cast<int32_t>(valueLength));
    if (valueLength > 0) std::memcpy(t->Data.get(), value, valueLength);
    t->DataSize = static_cast<int32_t>(valueLength);
    t->IsNull = isNull != 0;
    t->CompareLength = static_cast<int32_t>(static_cast<uint32_t>(compareLength));
    t->CaseInsensitive = caseInsensitive != 0;
    t->DataType = static_cast<uint8_t>(type);
    t->SubType = static_cast<uint8_t>(subType);
    t->Scale = static_cast<uint8_t>(scale);
    t->LeftOffset = static_cast<int32_t>(left);
    t->RightOffset = static_cast<int32_t>(right);
    t->ArgumentsOffset = static_cast<int32_t>(arguments);
    bool childOk;
    if (left != 0) {
        t->Left = Node(depth + 1, childOk);
        if (!childOk) return nullptr;
        t->Left->Parent = t;
    }
    if (right != 0) {
        t->Right = Node(depth + 1, childOk);
        if (!childOk) return nullptr;
        t->Right->Parent = t;
    }
    t->Arguments.assign(static_cast<size_t>(count), nullptr);
    for (size_t i = 0; i < t->Arguments.size(); ++i) {
        TExpToken* a = Node(depth + 1, childOk);
        if (!childOk) return nullptr;
        if (a->Kind == 0 && a->DataSize == 0 && a->Text.empty() && a->ColumnName.empty() &&
            a->Left == nullptr && a->Right == nullptr && a->Arguments.empty()) {
            ReleaseExpToken(a);
        } else {
            a->Parent = t;
            t->Arguments[i] = a;
        }
    }
    ok = true;
    return holder.release();
}

// Nodes that a conversion chains through Right, for the pre-check.
void ChainTargets(const TExpToken* t, std::vector<const TExpToken*>& targets) {
    if (t->Kind != tkFunction && t->Kind != tkPredicate) return;
    const auto& a = t->Arguments;
    auto arg = [&](size_t i) -> const TExpToken* { return i < a.size() ? a[i] : nullptr; };
    switch (t->Code) {
        case ecSubstring:
        case ecBetween:
        case ecNotBetween:
        case ecCast:
            if (arg(1) != nullptr && arg(2) != nullptr) targets.push_back(arg(1));
            break;
        case ecReplace:
            if (arg(0) != nullptr && arg(1) != nullptr) targets.push_back(arg(0));
            break;
        case ecIn:
        case ecNotIn:
            for (size_t i = 1; i + 1 < a.size(); ++i)
                if (a[i] != nullptr) targets.push_back(a[i]);
            break;
        default:
            break;
    }
}

// Most arguments a converted node may have: the links it moves to can hold no more.
size_t LinkedArgumentLimit(uint8_t c) {
    if (const TExpFunction* f = ExpFunctionOf(c)) return f->LinkedArguments;
    if (c == ecLike || c == ecNotLike || c == ecInSelect || c == ecNotInSelect) return 2;
    if (c == ecBetween || c == ecNotBetween) return 3;
    if (c == ecIn || c == ecNotIn) return SIZE_MAX;
    return 0;  // not converted
}

bool CanConvert(const TExpToken* t, int depth) {
    if (t == nullptr) return true;
    if (depth > MaxExpTreeDepth) return false;
    if (t->Third != nullptr) return false;
    if (t->Kind == tkFunction || t->Kind == tkPredicate) {
        size_t limit = LinkedArgumentLimit(t->Code);
        if (limit > 0) {
            // The node's own links are taken by its arguments.
            if (t->Arguments.size() > limit || t->Left != nullptr || t->Right != nullptr) return false;
        }
    }
    std::vector<const TExpToken*> targets;
    ChainTargets(t, targets);
    for (const TExpToken* x : targets)
        if (x->Right != nullptr) return false;
    if (!CanConvert(t->Left, depth + 1) || !CanConvert(t->Right, depth + 1)) return false;
    for (const TExpToken* a : t->Arguments)
        if (!CanConvert(a, depth + 1)) return false;
    return true;
}

void Convert(TExpToken* t) {
    if (t == nullptr) return;
    if (t->Kind != tkFunction && t->Kind != tkPredicate) {
        Convert(t->Left);
        Convert(t->Right);
        return;
    }
    std::vector<TExpToken*> a = t->Arguments;
    auto arg = [&](size_t i) -> TExpToken* { return i < a.size() ? a[i] : nullptr; };
    auto take = [&] { t->Arguments.clear(); };
    const uint8_t c = t->Code;
    if ((c >= ecSum && c <= ecAvg) || c == ecUpper || c == ecLower || c == ecLength ||
        (c >= ecExtractYear && c <= ecExtractSecond) || c == ecAbs) {
        take();
        t->Left = arg(0);
        Convert(t->Left);
    } else if (c == ecSubstring || c == ecBetween || c == ecNotBetween || c == ecCast) {
        take();
        t->Left = arg(0);
        t->Right = arg(1);
        if (t->Right == nullptr)
            t->Right = arg(2);
        else if (arg(2) != nullptr)
            t->Right->Right = arg(2);
        Convert(t->Left);
    } else if (c == ecReplace) {
        take();
        t->Left = arg(2);
        t->Right = arg(0);
        if (t->Right == nullptr)
            t->Right = arg(1);
        else if (arg(1) != nullptr)
            t->Right->Right = arg(1);
        Convert(t->Left);
    } else if (c == ecPos || c == ecOccurs || c == ecTrimLeading || c == ecTrimTrailing || c == ecTrimBoth) {
        take();
        t->Left = arg(1);
        t->Right = arg(0);
        Convert(t->Left);
    } else if (c == ecIf) {
        take();
        t->Left = arg(0);
        t->Right = arg(1);
        t->Third = arg(2);
        Convert(t->Left);
        Convert(t->Right);
        Convert(t->Third);
    } else if (c == ecRound || c == ecLike || c == ecNotLike || c == ecInSelect || c == ecNotInSelect) {
        take();
        t->Left = arg(0);
        t->Right = arg(1);
        Convert(t->Left);
    } else if (c == ecIn || c == ecNotIn) {
        take();
        t->Left = arg(0);
        TExpToken* last = nullptr;
        for (size_t i = 1; i < a.size(); ++i) {
            if (a[i] == nullptr) continue;
            if (last == nullptr)
                t->Right = a[i];
            else
                last->Right = a[i];
            last = a[i];
        }
        Convert(t->Left);
    }
}

}  // namespace

int32_t SerializedSize(const TExpToken* t, TExpTreeLayout Layout) {
    int32_t fixed = Layout == TExpTreeLayout::Arguments ? ExpRecordFixedSize : ExpLinkedRecordFixedSize;
    return fixed + static_cast<int32_t>(t->Text.size()) + static_cast<int32_t>(t->ColumnName.size()) +
           std::max(0, t->DataSize);
}

int32_t WriteExpTree(TExpToken* t, std::vector<uint8_t>& Buffer, TExpTreeLayout Layout) {
    if (t == nullptr) return 0;
    std::vector<uint8_t> bytes;
    int32_t total = WriteNode(t, bytes, 0, Layout);
    bytes.resize(static_cast<size_t>(total));
    Buffer = std::move(bytes);
    return total;
}

int32_t ReadExpTree(const uint8_t* Buffer, size_t Size, TExpToken*& t) {
    t = nullptr;
    if (Buffer == nullptr || Size == 0) return 0;
    TTreeReader reader{Buffer, std::min<size_t>(Size, INT32_MAX)};
    bool ok;
    TExpToken* tree = reader.Node(1, ok);
    if (!ok) return 0;
    t = tree;
    return static_cast<int32_t>(reader.Pos);
}

bool ConvertToLinkedLayout(TExpToken* t) {
    if (!CanConvert(t, 1)) return false;
    Convert(t);
    return true;
}

}  // namespace dbengine
