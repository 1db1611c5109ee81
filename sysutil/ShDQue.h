#pragma once
// TUtDQue: a double-ended queue on TUtList.

#include "sysutil/ShList.h"

namespace sysutil {

class TUtDQue : public TUtList {
public:
    explicit TUtDQue(framework::TPersistentClass nodeClass = framework::ClassOf<TUtListNode>())
        : TUtList(nodeClass) {}

    // The data of Head, or nil when the queue is empty.
    void* PeekHead();
    // Deletes Head (disposing its data); nothing when the queue is empty.
    void PopHead();
};

}  // namespace sysutil
