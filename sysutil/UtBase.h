#pragma once
// One-character upper-casing with the system's Windows-1252 case table.

namespace sysutil {

char CharToUpper(char c);

}  // namespace sysutil
