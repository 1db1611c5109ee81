#include "sysutil/ShBase.h"

#include <cstdlib>

#include "platform/Shell.h"

namespace sysutil {

namespace {
constexpr size_t kShortMax = 255;
}

TShShellComponent::TShShellComponent(framework::TComponent* AOwner)
    : TShComponent(AOwner), FShellVersion(platform::SHELL_VERSION) {}

std::string PadLeftWith(std::string_view text, char c, size_t length) {
    if (length > kShortMax) length = kShortMax;
    std::string s(text.substr(0, kShortMax));
    if (length <= s.size()) return s;
    return std::string(length - s.size(), c) + s;
}

std::string PadLeft(std::string_view text, size_t length) {
    return PadLeftWith(text, ' ', length);
}

bool FindChar(std::string_view text, char c, size_t& position) {
    size_t i = text.find(c);
    position = i == std::string_view::npos ? 0 : i + 1;
    return position != 0;
}

std::string IntText(int32_t value) {
    return std::to_string(value);
}

std::string TrimBlanks(std::string_view text) {
    auto low = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    size_t a = 0, b = text.size();
    while (a < b && low(text[a])) ++a;
    while (b > a && low(text[b - 1])) --b;
    return std::string(text.substr(a, b - a));
}

std::string GroupDigits(int32_t value, char separator) {
    // The magnitude in 64 bits: the most negative 32-bit value has no 32-bit opposite.
    std::string digits = std::to_string(std::llabs(static_cast<long long>(value)));
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
        out += digits[i];
    }
    return value < 0 ? "-" + out : out;
}

std::string GroupDigitsComma(int32_t value) {
    return GroupDigits(value, ',');
}

}  // namespace sysutil
