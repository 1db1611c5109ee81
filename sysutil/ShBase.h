#pragma once
// Padding, searching, trimming and digit grouping on short strings (at most 255 characters).

#include <cstdint>
#include <string>
#include <string_view>

#include "framework/core/Component.h"

namespace sysutil {

// The base of the shell components: a read-only library version text.
class TShComponent : public framework::TComponent {
public:
    using TComponent::TComponent;
    std::string Version() const { return "1.02"; }
    // The version cannot be set: the value is ignored.
    void SetVersion(const std::string&) {}
};

// A shell component that knows the version of the system's shell (4.72, 6.0, ...), read when it
// is created; the shell views compare it with the version they need.
class TShShellComponent : public TShComponent {
public:
    explicit TShShellComponent(framework::TComponent* AOwner);
    double ShellVersion() const { return FShellVersion; }

private:
    double FShellVersion;
};

// The text right-aligned in length characters (at most 255) filled with c; unchanged when it is
// already that long.
std::string PadLeftWith(std::string_view text, char c, size_t length);
std::string PadLeft(std::string_view text, size_t length);

// True and the 1-based position of the first c; false and 0 when absent.
bool FindChar(std::string_view text, char c, size_t& position);

std::string IntText(int32_t value);

// The text without leading and trailing characters of codes 0 to 32.
std::string TrimBlanks(std::string_view text);

// Decimal digits with separator before every group of three from the right, "-" in front of a
// negative value ("1,234,567", "-1.234").
std::string GroupDigits(int32_t value, char separator);
std::string GroupDigitsComma(int32_t value);

}  // namespace sysutil
