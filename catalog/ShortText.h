#pragma once
// A text of fixed capacity: 0 to N single-byte characters. Storing a longer value keeps its first N
// characters, so a variable of this type never holds more than its capacity.

#include <cstddef>
#include <string>
#include <string_view>

namespace catalog {

template <std::size_t N>
class TShortText {
public:
    static constexpr std::size_t Capacity = N;

    TShortText() = default;
    // Implicit, so that a variable takes a plain text as an ordinary string variable would.
    TShortText(std::string_view value) { Assign(value); }
    TShortText(const char* value) { Assign(value); }

    TShortText& operator=(std::string_view value) {
        Assign(value);
        return *this;
    }
    TShortText& operator=(const char* value) {
        Assign(value);
        return *this;
    }

    const std::string& Text() const { return FText; }
    operator std::string_view() const { return FText; }
    std::size_t Length() const { return FText.size(); }
    bool Empty() const { return FText.empty(); }

    // An editor's slot over the text (a type made by Slot::Text(std::string&, int Capacity)), so
    // that the editor changes the text in place; the slot carries the capacity, and the editor
    // writes no more than that.
    template <class Slot>
    Slot EditSlot() {
        return Slot::Text(FText, int(N));
    }

    friend bool operator==(const TShortText& a, std::string_view b) { return a.FText == b; }

private:
    void Assign(std::string_view value) { FText.assign(value.substr(0, N)); }

    std::string FText;
};

}  // namespace catalog
