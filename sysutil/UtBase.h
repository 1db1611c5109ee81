#pragma once
// One-character upper-casing with the system's Windows-1252 case table, and the base of the
// utility components.

#include <string>

#include "framework/core/Component.h"

namespace sysutil {

char CharToUpper(char c);

// The base of the utility components: a read-only library version text.
class TUtComponent : public framework::TComponent {
public:
    using TComponent::TComponent;
    std::string Version() const { return "4.03"; }
    // The version cannot be set: the value is ignored.
    void SetVersion(const std::string&) {}
};

}  // namespace sysutil
