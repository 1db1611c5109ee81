#include "sysutil/UtBase.h"

#include "platform/CodePage.h"

namespace sysutil {

char CharToUpper(char c) {
    return static_cast<char>(platform::AnsiUpperChar(static_cast<unsigned char>(c)));
}

}  // namespace sysutil
