#pragma once
// The engine error code a call raises; 0 when it raises none.

#include "dbengine/util/EngineError.h"

namespace dbengine::testsupport {

template <typename F>
TEngineErrorCode CodeOf(F&& f) {
    try {
        f();
    } catch (const EDbEngineError& e) {
        return e.ErrorCode;
    }
    return 0;
}

}  // namespace dbengine::testsupport
