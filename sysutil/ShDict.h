#pragma once
// TUtDictionary: a hash dictionary of data pointers keyed by text. Names are compared without
// regard to case by default (the hash works on the upper-cased text). A found node moves to the
// head of its chain.
//
// Streamed as its class name, its node class name, HashSize and a list of items, each the node's
// Name followed by what DoStoreData writes, buckets in order.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sysutil/ShList.h"

namespace sysutil {

class TUtDictNode : public TUtNode {
public:
    TUtDictNode() = default;
    TUtDictNode* Next = nullptr;  // the next node of the same bucket
    std::string Name;
};

// 0 when the two names are equal.
using TUtEqualFunc = int32_t (*)(const std::string& first, const std::string& second);
using TUtEqualEvent =
    std::function<int32_t(framework::TObject* sender, const std::string& first, const std::string& second)>;
// The bucket of a name among size buckets.
using TUtHashFunc = uint32_t (*)(const std::string& text, uint32_t size);

// The default hash: h XOR= (code of the upper-cased character i, rotated left by i mod 32 bits)
// over the text, then h mod size (0 for an empty text).
uint32_t UtHashText(const std::string& text, uint32_t size);
// The default equality: the locale-aware case-insensitive comparison.
int32_t UtEqualText(const std::string& first, const std::string& second);

// Above this a stream's hash size is refused (code 53) rather than allocated.
constexpr int32_t kUtMaxStreamedHashSize = 1 << 24;

class TUtDictionary : public TUtContainer {
public:
    explicit TUtDictionary(int32_t hashSize);
    ~TUtDictionary() override;

    TUtEqualFunc EqualFunc = UtEqualText;
    TUtEqualEvent OnEqual;
    TUtHashFunc HashFunc = UtHashText;

    int32_t HashSize() const { return FHashSize; }
    // Code 53 below 1. A new size moves every entry into a new table, built aside and installed
    // only when every entry is in: a failure leaves the dictionary as it was, and no data is
    // disposed.
    void SetHashSize(int32_t n);
    virtual int32_t DoEqual(const std::string& first, const std::string& second);

    // Code 54 when the name is present already (the dictionary is then unchanged).
    void Add(const std::string& name, void* data);
    // The data of the name; the node moves to the head of its chain.
    bool Find(const std::string& name, void*& data);
    void Clear() override;
    // Buckets 0 upward, each chain from its head; the node where the callback stopped, or nil.
    TUtDictNode* IterateNodes(const TUtNodeIterator& callback, void* userValue);
    // The head of a bucket's chain.
    TUtDictNode* Bucket(int32_t index) const { return FBuckets.at(static_cast<size_t>(index)); }
    // From a dictionary or from a string list (each line with its object).
    void Assign(framework::TPersistent* source) override;

    // Loading clears the dictionary first; a stream that fails leaves it empty. Codes 57/61 for
    // a class name unregistered or not this class, 58/62 for a node class other than the
    // dictionary's, 53 for a hash size below 1 or above kUtMaxStreamedHashSize.
    void LoadFromStream(framework::TStream* stream) override;
    void StoreToStream(framework::TStream* stream) override;

private:
    uint32_t BucketOf(const std::string& name);
    TUtDictNode* Lookup(const std::string& name, uint32_t& bucket, TUtDictNode*& previous);

    std::vector<TUtDictNode*> FBuckets;
    int32_t FHashSize = 0;
};

}  // namespace sysutil
