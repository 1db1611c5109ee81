#include "sysutil/ShList.h"

#include <memory>

#include "sysutil/ShConst.h"

namespace sysutil {
namespace {

constexpr int32_t kIncompatibleClass = 52;
constexpr int32_t kContainerUnregistered = 57;
constexpr int32_t kNodeUnregistered = 58;
constexpr int32_t kContainerClassDiffers = 61;
constexpr int32_t kNodeClassDiffers = 62;

}  // namespace

TUtList::TUtList(framework::TPersistentClass nodeClass) : TUtContainer(nodeClass) {
    Clear();
}

TUtList::~TUtList() {
    Clear();
    ++NodeGuard;
}

TUtListNode* TUtList::Append(void* data) {
    TUtContainerLock guard(this);
    TUtNode* made = NewNode(data);
    auto* node = dynamic_cast<TUtListNode*>(made);
    if (node == nullptr) {
        delete made;
        RaiseContainerError(kIncompatibleClass);
    }
    node->Prev = FTail;
    node->Next = nullptr;
    if (FTail != nullptr)
        FTail->Next = node;
    else
        FHead = node;
    FTail = node;
    ++FCount;
    return node;
}

void TUtList::Delete(TUtNode* node) {
    TUtContainerLock guard(this);
    if (node == nullptr || FHead == nullptr) return;
    auto* listNode = dynamic_cast<TUtListNode*>(node);
    if (listNode == nullptr || !FNodeClass->IsClassOf(node)) RaiseContainerError(kIncompatibleClass);
    if (listNode->Prev != nullptr)
        listNode->Prev->Next = listNode->Next;
    else
        FHead = listNode->Next;
    if (listNode->Next != nullptr)
        listNode->Next->Prev = listNode->Prev;
    else
        FTail = listNode->Prev;
    std::unique_ptr<TUtListNode> owned(listNode);
    --FCount;
    DoDisposeData(listNode->Data);
}

void TUtList::Clear() {
    TUtContainerLock guard(this);
    // Unlinked first, so that a disposal routine that calls back finds the list consistent.
    TUtListNode* node = FHead;
    FHead = FTail = nullptr;
    FCount = 0;
    while (node != nullptr) {
        std::unique_ptr<TUtListNode> owned(node);
        node = node->Next;
        DoDisposeData(owned->Data);
    }
}

void TUtList::Iterate(const TUtIterator& callback, void* userValue) {
    TUtContainerLock guard(this);
    for (TUtListNode* node = FHead; node != nullptr; node = node->Next)
        if (!callback(this, node->Data, userValue)) break;
}

TUtListNode* TUtList::IterateNodes(const TUtNodeIterator& callback, bool forward, void* userValue) {
    TUtContainerLock guard(this);
    for (TUtListNode* node = forward ? FHead : FTail; node != nullptr;
         node = forward ? node->Next : node->Prev)
        if (!callback(this, node, userValue)) return node;
    return nullptr;
}

void TUtList::Assign(framework::TPersistent* source) {
    if (!AssignFrom(source,
                    [](TUtContainer* self, void* data) { static_cast<TUtList*>(self)->Append(data); }))
        TUtContainer::Assign(source);
}

void TUtList::LoadFromStream(framework::TStream* stream) {
    TUtContainerLock guard(this);
    Clear();
    try {
        framework::TReader reader(stream, 1024);
        const framework::TPersistentClass listClass = ReadStreamClass(reader, kContainerUnregistered);
        if (!listClass->IsClassOf(this) || !listClass->InheritsFrom(framework::ClassOf<TUtList>()))
            RaiseContainerError(kContainerClassDiffers);
        const framework::TPersistentClass nodeClass = ReadStreamClass(reader, kNodeUnregistered);
        if (!FNodeClass->InheritsFrom(nodeClass) ||
            !nodeClass->InheritsFrom(framework::ClassOf<TUtListNode>()))
            RaiseContainerError(kNodeClassDiffers);
        reader.ReadListBegin();
        while (!reader.EndOfList()) {
            void* data = DoLoadData(&reader);
            try {
                Append(data);
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

void TUtList::StoreToStream(framework::TStream* stream) {
    TUtContainerLock guard(this);
    framework::TWriter writer(stream, 1024);
    writer.WriteString(ClassName());
    writer.WriteString(FNodeClass->ClassName());
    writer.WriteListBegin();
    for (TUtListNode* node = FHead; node != nullptr; node = node->Next) DoStoreData(&writer, node->Data);
    writer.WriteListEnd();
    writer.FlushBuffer();
}

}  // namespace sysutil
