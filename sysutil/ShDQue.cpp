#include "sysutil/ShDQue.h"

namespace sysutil {

void* TUtDQue::PeekHead() {
    TUtContainerLock guard(this);
    return Head() != nullptr ? Head()->Data : nullptr;
}

void TUtDQue::PopHead() {
    TUtContainerLock guard(this);
    if (Head() != nullptr) Delete(Head());
}

}  // namespace sysutil
