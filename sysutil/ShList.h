#pragma once
// TUtList: a doubly linked list of data pointers, streamed as its class name, its node class name
// and a list of the items that DoStoreData writes.

#include <cstdint>
#include <functional>

#include "sysutil/ShBase.h"

namespace sysutil {

class TUtListNode : public TUtNode {
public:
    TUtListNode() = default;
    TUtListNode* Next = nullptr;
    TUtListNode* Prev = nullptr;
};

// Returns false to stop an iteration over nodes.
using TUtNodeIterator = std::function<bool(TUtContainer* container, TUtNode* node, void* userValue)>;

class TUtList : public TUtContainer {
public:
    // nodeClass names TUtListNode or a descendant of it.
    explicit TUtList(framework::TPersistentClass nodeClass = framework::ClassOf<TUtListNode>());
    ~TUtList() override;

    TUtListNode* Head() const { return FHead; }
    TUtListNode* Tail() const { return FTail; }

    // A new node of the node class with data, linked after Tail.
    TUtListNode* Append(void* data);
    // Unlinks the node, disposes its data and frees it; nothing for nil or an empty list; code 52
    // for a node that is not of the node class.
    void Delete(TUtNode* node);
    // Disposes every node's data and frees the nodes.
    void Clear() override;
    void Iterate(const TUtIterator& callback, void* userValue) override;
    // Walks the nodes from Head (forward) or Tail; the node where the callback stopped, or nil.
    TUtListNode* IterateNodes(const TUtNodeIterator& callback, bool forward, void* userValue);
    TUtListNode* Next(TUtListNode* node) const { return node != nullptr ? node->Next : nullptr; }
    void Assign(framework::TPersistent* source) override;
    bool StoresPointers() const override { return true; }

    // Loading clears the list first; a stream that fails leaves it empty. Codes 57/61 for a class
    // name that is unregistered or does not fit, 58/62 for the node class name; the stream's
    // class may be this class or an ancestor that descends from TUtList, its node class this
    // list's node class or an ancestor that descends from TUtListNode.
    void LoadFromStream(framework::TStream* stream) override;
    void StoreToStream(framework::TStream* stream) override;

private:
    TUtListNode* FHead = nullptr;
    TUtListNode* FTail = nullptr;
};

}  // namespace sysutil
