#include "sysutil/ShDict.h"

#include <algorithm>
#include <bit>
#include <memory>
#include <utility>

#include "framework/core/Strings.h"
#include "framework/core/SysUtils.h"
#include "sysutil/ShConst.h"

namespace sysutil {
namespace {

constexpr int32_t kBadSize = 53;
constexpr int32_t kDuplicate = 54;
constexpr int32_t kContainerUnregistered = 57;
constexpr int32_t kNodeUnregistered = 58;
constexpr int32_t kContainerClassDiffers = 61;
constexpr int32_t kNodeClassDiffers = 62;

}  // namespace

uint32_t UtHashText(const std::string& text, uint32_t size) {
    const std::string upper = framework::AnsiUpperCase(text);
    uint32_t h = 0;
    for (size_t i = 0; i < upper.size(); ++i)
        h ^= std::rotl(static_cast<uint32_t>(static_cast<unsigned char>(upper[i])), static_cast<int>(i % 32));
    return size == 0 ? 0 : h % size;
}

int32_t UtEqualText(const std::string& first, const std::string& second) {
    return framework::AnsiCompareText(first, second);
}

TUtDictionary::TUtDictionary(int32_t hashSize) : TUtContainer(framework::ClassOf<TUtDictNode>()) {
    SetHashSize(hashSize);
}

TUtDictionary::~TUtDictionary() {
    if (NodeGuard == 0) Clear();
    FBuckets.clear();
    ++NodeGuard;
}

int32_t TUtDictionary::DoEqual(const std::string& first, const std::string& second) {
    if (OnEqual) return OnEqual(this, first, second);
    if (EqualFunc != nullptr) return EqualFunc(first, second);
    return 0;
}

uint32_t TUtDictionary::BucketOf(const std::string& name) {
    // Taken modulo once more, so that a hash function of the caller's cannot point outside.
    return HashFunc(name, static_cast<uint32_t>(FHashSize)) % static_cast<uint32_t>(FHashSize);
}

TUtDictNode* TUtDictionary::Lookup(const std::string& name, uint32_t& bucket, TUtDictNode*& previous) {
    bucket = BucketOf(name);
    previous = nullptr;
    for (TUtDictNode* node = FBuckets[bucket]; node != nullptr; previous = node, node = node->Next)
        if (DoEqual(node->Name, name) == 0) return node;
    previous = nullptr;
    return nullptr;
}

void TUtDictionary::Add(const std::string& name, void* data) {
    TUtContainerLock guard(this);
    uint32_t bucket = 0;
    TUtDictNode* previous = nullptr;
    if (Lookup(name, bucket, previous) != nullptr) RaiseContainerError(kDuplicate);
    std::unique_ptr<TUtNode> made(NewNode(data));
    auto* node = dynamic_cast<TUtDictNode*>(made.get());
    if (node == nullptr) RaiseContainerError(52);
    node->Name = name;
    node->Next = FBuckets[bucket];
    FBuckets[bucket] = node;
    made.release();
    ++FCount;
}

bool TUtDictionary::Find(const std::string& name, void*& data) {
    TUtContainerLock guard(this);
    uint32_t bucket = 0;
    TUtDictNode* previous = nullptr;
    TUtDictNode* node = Lookup(name, bucket, previous);
    if (node == nullptr) return false;
    if (previous != nullptr) {
        previous->Next = node->Next;
        node->Next = FBuckets[bucket];
        FBuckets[bucket] = node;
    }
    data = node->Data;
    return true;
}

void TUtDictionary::Clear() {
    TUtContainerLock guard(this);
    if (FCount == 0) return;
    // Unlinked first, so that a disposal routine that calls back finds the dictionary consistent.
    std::vector<TUtDictNode*> chains;
    chains.swap(FBuckets);
    FBuckets.assign(chains.size(), nullptr);
    FCount = 0;
    for (TUtDictNode* node : chains)
        while (node != nullptr) {
            std::unique_ptr<TUtDictNode> owned(node);
            node = node->Next;
            DoDisposeData(owned->Data);
        }
}

void TUtDictionary::SetHashSize(int32_t n) {
    TUtContainerLock guard(this);
    if (n < 1) RaiseContainerError(kBadSize);
    if (n == FHashSize) return;
    // Every entry's new bucket is found first (hash, equality and allocation may fail); nothing
    // of the dictionary changes until every entry has its place. Entries go in the order of the
    // old table, each at the head of its new chain, as adding them one by one would put them.
    std::vector<std::pair<uint32_t, TUtDictNode*>> placed;
    placed.reserve(static_cast<size_t>(FCount));
    std::vector<TUtDictNode*> buckets(static_cast<size_t>(n), nullptr);
    const int32_t oldSize = FHashSize;
    FHashSize = n;
    try {
        for (TUtDictNode* head : FBuckets)
            for (TUtDictNode* node = head; node != nullptr; node = node->Next)
                placed.emplace_back(BucketOf(node->Name), node);
        std::stable_sort(placed.begin(), placed.end(),
                         [](const auto& x, const auto& y) { return x.first < y.first; });
        for (size_t i = 0; i < placed.size(); ++i)
            for (size_t k = i; k > 0 && placed[k - 1].first == placed[i].first; --k)
                if (DoEqual(placed[k - 1].second->Name, placed[i].second->Name) == 0)
                    RaiseContainerError(kDuplicate);
    } catch (...) {
        FHashSize = oldSize;
        throw;
    }
    for (const auto& [bucket, node] : placed) {
        node->Next = buckets[bucket];
        buckets[bucket] = node;
    }
    FBuckets.swap(buckets);
}

TUtDictNode* TUtDictionary::IterateNodes(const TUtNodeIterator& callback, void* userValue) {
    TUtContainerLock guard(this);
    if (FCount == 0) return nullptr;
    for (TUtDictNode* head : FBuckets)
        for (TUtDictNode* node = head; node != nullptr; node = node->Next)
            if (!callback(this, node, userValue)) return node;
    return nullptr;
}

void TUtDictionary::Assign(framework::TPersistent* source) {
    if (auto* other = dynamic_cast<TUtDictionary*>(source)) {
        TUtContainerLock guard(this);
        if (other == this) return;
        Clear();
        other->IterateNodes(
            [this](TUtContainer*, TUtNode* node, void*) {
                auto* d = static_cast<TUtDictNode*>(node);
                Add(d->Name, d->Data);
                return true;
            },
            nullptr);
        return;
    }
    if (auto* strings = dynamic_cast<framework::TStrings*>(source)) {
        TUtContainerLock guard(this);
        Clear();
        for (int i = 0; i < strings->Count(); ++i) Add(strings->Strings(i), strings->Objects(i));
        return;
    }
    TUtContainer::Assign(source);
}

void TUtDictionary::LoadFromStream(framework::TStream* stream) {
    TUtContainerLock guard(this);
    Clear();
    try {
        framework::TReader reader(stream, 1024);
        const framework::TPersistentClass dictClass = ReadStreamClass(reader, kContainerUnregistered);
        if (dictClass->Type() != typeid(*this)) RaiseContainerError(kContainerClassDiffers);
        const framework::TPersistentClass nodeClass = ReadStreamClass(reader, kNodeUnregistered);
        if (nodeClass != FNodeClass) RaiseContainerError(kNodeClassDiffers);
        const int32_t hashSize = reader.ReadInteger();
        if (hashSize > kUtMaxStreamedHashSize) RaiseContainerError(kBadSize);
        SetHashSize(hashSize);
        reader.ReadListBegin();
        while (!reader.EndOfList()) {
            const std::string name = reader.ReadString();
            void* data = DoLoadData(&reader);
            try {
                Add(name, data);
            } catch (...) {
                DoDisposeData(data);
                throw;
            }
        }
        reader.ReadListEnd();
    } catch (...) {
        Clear();
        throw;
    }
}

void TUtDictionary::StoreToStream(framework::TStream* stream) {
    TUtContainerLock guard(this);
    framework::TWriter writer(stream, 1024);
    writer.WriteString(ClassName());
    writer.WriteString(FNodeClass->ClassName());
    writer.WriteInteger(FHashSize);
    writer.WriteListBegin();
    for (TUtDictNode* head : FBuckets)
        for (TUtDictNode* node = head; node != nullptr; node = node->Next) {
            writer.WriteString(node->Name);
            DoStoreData(&writer, node->Data);
        }
    writer.WriteListEnd();
    writer.FlushBuffer();
}

}  // namespace sysutil
